// Pictures placed at cells: IMAGE, its ratio and offsets.
// (Still to come: every statement of this family answers TXLS-03600.)

#include "props/property.h"
#include "props/property_parser.h"

namespace tabsmith {

int apply_picture_property(Book &book, int id, PropertyTarget &target, std::string_view) {
    return book.err.raise(kFail, Msg::k03600, property_display_name(id, target).c_str());
}

}  // namespace tabsmith
