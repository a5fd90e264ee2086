// Autoshape settings: the book's current shape settings that shape statements change, and the
// shape objects placed at cells.
#pragma once

namespace tabsmith {

struct ShapeSettings {};

struct ShapeObject {
    ShapeSettings settings;
};

}  // namespace tabsmith
