// Numbering of the object parts of one save.

#include "xlsx_write/object_parts.h"

#include <algorithm>
#include <map>

namespace tabsmith {

std::string_view picture_extension(int type) {
    switch (type) {
    case 201: return "bmp";
    case 202: return "jpeg";
    case 203: return "png";
    case 204: return "gif";
    case 205: return "tiff";
    case 206: return "emf";
    case 207: return "wmf";
    default: return "";
    }
}

std::string_view picture_content_type(int type) {
    switch (type) {
    case 201: return "image/bmp";
    case 202: return "image/jpeg";
    case 203: return "image/png";
    case 204: return "image/gif";
    case 205: return "image/tiff";
    case 206: return "image/x-emf";
    case 207: return "image/x-wmf";
    default: return "";
    }
}

ObjectParts plan_object_parts(const Book &book, const TakenPartNumbers &taken) {
    ObjectParts parts;
    parts.sheets.resize(static_cast<std::size_t>(book.sheet_count()));
    parts.chart_of_object.assign(book.drawings.size(), 0);
    parts.media_of_object.assign(book.drawings.size(), 0);

    // Media in object order, one file per picture record however many cells show it.
    std::map<const PictureData *, int> media_number;
    for (std::size_t k = 0; k < book.drawings.size(); ++k) {
        const DrawingObject &object = book.drawings[k];
        if (!object.picture || picture_extension(object.picture->type).empty()) continue;
        if (object.kind != DrawingKind::kPicture && object.kind != DrawingKind::kBackground) continue;
        auto [at, added] = media_number.try_emplace(object.picture.get(), 0);
        if (added) {
            at->second = taken.media + static_cast<int>(parts.media.size()) + 1;
            parts.media.push_back({at->second, object.picture.get()});
        }
        parts.media_of_object[k] = at->second;
        if (object.kind == DrawingKind::kBackground && object.sheet >= 0 && object.sheet < book.sheet_count())
            parts.sheets[static_cast<std::size_t>(object.sheet)].background_media = at->second;
    }
    // Drawing parts over the sheets that have drawn objects, in sheet order; charts in object order.
    for (int s = 0; s < book.sheet_count(); ++s)
        for (const DrawingObject &object : book.drawings)
            if (object.sheet == s && in_drawing_part(object)) {
                parts.sheets[static_cast<std::size_t>(s)].drawing = taken.drawing + ++parts.drawing_parts;
                break;
            }
    for (std::size_t k = 0; k < book.drawings.size(); ++k)
        if (book.drawings[k].kind == DrawingKind::kChart) parts.chart_of_object[k] = taken.chart + ++parts.chart_parts;

    // Comments parts over the sheets with comments in sheet order, each with the VML drawing of
    // its boxes; box shape ids go on from sheet to sheet.
    int shapes = taken.comment_shapes;
    for (int s = 0; s < book.sheet_count(); ++s) {
        const auto &comments = book.sheets[static_cast<std::size_t>(s)]->annotations.comments;
        if (comments.empty()) continue;
        SheetObjectParts &sheet = parts.sheets[static_cast<std::size_t>(s)];
        ++parts.comment_parts;
        sheet.comments = taken.comments + parts.comment_parts;
        sheet.vml_drawing = taken.vml_drawing + parts.comment_parts;
        sheet.first_comment_shape = kFirstCommentShapeId + kCommentShapeIdStep * shapes;
        shapes += static_cast<int>(comments.size());
    }
    // Tables in the order they were made (a copied sheet's tables follow their sheet).
    struct Made {
        int order, sheet;
        std::size_t index;
    };
    std::vector<Made> tables;
    for (int s = 0; s < book.sheet_count(); ++s) {
        const auto &list = book.sheets[static_cast<std::size_t>(s)]->annotations.tables;
        parts.sheets[static_cast<std::size_t>(s)].tables.assign(list.size(), 0);
        for (std::size_t k = 0; k < list.size(); ++k) tables.push_back({list[k].order, s, k});
    }
    std::stable_sort(tables.begin(), tables.end(), [](const Made &a, const Made &b) { return a.order < b.order; });
    for (const Made &made : tables)
        parts.sheets[static_cast<std::size_t>(made.sheet)].tables[made.index] = taken.table + ++parts.table_parts;
    return parts;
}

}  // namespace tabsmith
