// Autoshape statements: the shape placed at a cell and the settings the next shape copies.
// (Still to come: the statements resolve and are accepted, and nothing draws them yet.)

#include "props/property.h"

namespace tabsmith {

int apply_shape_property(Book &, int, PropertyTarget &, std::string_view) { return 0; }

}  // namespace tabsmith
