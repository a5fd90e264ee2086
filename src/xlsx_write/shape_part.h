// The anchor of an autoshape in its sheet's drawing part: preset geometry, outline, fill,
// shadow and text.
#pragma once

#include <string>

#include "model/book.h"

namespace tabsmith {

// Appends the shape's anchor; `shape_id` is the object's id within the drawing part.
void write_shape_anchor(const Book &book, const DrawingObject &shape, int shape_id, std::string &out);

}  // namespace tabsmith
