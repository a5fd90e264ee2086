// Sparkline records of a sheet: the data range, the cells that show the small charts, the kind,
// the shown points and the eight colours, as the SPARKLINE statements leave them.
#pragma once

#include <cstdint>

#include "model/settings.h"

namespace tabsmith {

enum class SparklineKind : std::int32_t { kUnset = -1, kLine = 1, kColumn = 2, kStacked = 3 };

// Points a sparkline marks; the bits are the statement language's DISPLAY words.
enum SparklineShow : std::uint32_t {
    kShowHigh = 0x1,
    kShowLow = 0x2,
    kShowFirst = 0x4,
    kShowLast = 0x8,
    kShowNegative = 0x10,
    kShowMarkers = 0x20,
};

// A palette colour of the defaults below, or an explicit one (index kColorRgb and its bytes).
constexpr ColorValue palette_colour(std::uint32_t index) { return ColorValue{index, 0, 0, 0}; }

// One SPARKLINE statement: one sparkline group of the saved sheet. Positions are 0-based and
// inclusive; the place is one row or one column.
struct Sparkline {
    SparklineKind kind = SparklineKind::kUnset;
    int data_row1 = 0, data_column1 = 0, data_row2 = 0, data_column2 = 0;
    int place_row1 = 0, place_column1 = 0, place_row2 = 0, place_column2 = 0;
    std::uint32_t show = 0;
    ColorValue series = palette_colour(25);
    ColorValue axis = palette_colour(0);
    ColorValue high = palette_colour(11);
    ColorValue low = palette_colour(15);
    ColorValue negative = palette_colour(21);
    ColorValue first = palette_colour(23);
    ColorValue last = palette_colour(22);
    ColorValue markers = palette_colour(26);
};

}  // namespace tabsmith
