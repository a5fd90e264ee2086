// What a save into a package read earlier adds for the objects the book placed on its sheets:
// new drawing, chart and media parts numbered after the package's own, anchors added to a drawing
// a sheet already has, the sheets' relationships extended without renumbering what was there,
// and the worksheet elements and content types that refer to them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/book.h"
#include "xlsx_write/object_parts.h"
#include "xlsx_write/update_parts.h"

namespace tabsmith {

// A part the save writes in place of the package's entry of that name, or as a new entry.
struct ObjectPartText {
    std::string name;
    std::string text;
    const PictureData *picture = nullptr;   // a media part: its bytes are the picture's
};

struct SheetObjectUpdate {
    // Worksheet elements the save writes for the sheet's objects (local name and text); each
    // takes the place of the package's element of that name.
    std::vector<SheetSource::Element> elements;
};

struct ObjectUpdate {
    ObjectParts parts;
    std::vector<SheetObjectUpdate> sheets;            // one per sheet of the book
    std::vector<ObjectPartText> written;              // new parts and rewritten package parts
    std::vector<std::pair<std::string, std::string>> overrides;  // part name, content type
    std::vector<std::pair<std::string, std::string>> defaults;   // extension, content type
};

// Plans the objects of a book with a source package. kOk; kFail when a package part that must
// be extended cannot be read or parsed; kNoMemory.
int plan_object_update(const Book &book, const UpdatePlan &plan, ObjectUpdate &update);

}  // namespace tabsmith
