// Drawing parts and their relationships.
// (Still to come: pictures are refused before a drawing exists.)

#include "xlsx_write/drawing_part.h"

#include "support/results.h"
#include "xlsx_write/part_table.h"

namespace tabsmith {

int drawing_part(const Book &, int, const ObjectParts &, std::string &) { return kFail; }

std::string drawing_rels_part(const Book &, int, const ObjectParts &) {
    return std::string(kRelationshipsHead) + std::string(kRelationshipsTail);
}

}  // namespace tabsmith
