// Chart settings: the book's current settings that chart statements change, and the chart
// objects that take a copy of them with their source range.
#pragma once

namespace tabsmith {

struct ChartSettings {};

struct ChartObject {
    ChartSettings settings;
};

}  // namespace tabsmith
