// Autoshape anchors.
// (Still to come: no statement makes a shape yet.)

#include "xlsx_write/shape_part.h"

namespace tabsmith {

void write_shape_anchor(const Book &, const DrawingObject &, int, std::string &) {}

}  // namespace tabsmith
