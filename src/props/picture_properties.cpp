// Pictures placed at cells (IMAGE with its ratio and offsets) and sheet backgrounds: the files
// are read through a per-book cache, so that one file shown at many cells is one record.

#include "props/picture_properties.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "image/file_type.h"
#include "image/picture_file.h"
#include "props/property.h"
#include "props/property_parser.h"
#include "support/files.h"

namespace tabsmith {
namespace {

// A path must stay under this many bytes.
constexpr std::size_t kPicturePathLimit = 256;
constexpr int kPropImage = 501, kPropImageRatio = 502, kPropImageOffsetX = 503;

// The picture record for a path, read once per book: 0 with `picture` set, or a negative code
// with the book's message naming the path as the statement gave it.
int picture_for_path(Book &book, std::string_view value, int first_type, int last_type,
                     std::shared_ptr<const PictureData> &picture) {
    const std::string path = working_path(value);
    const std::string shown(value);
    if (auto found = book.picture_files.find(path); found != book.picture_files.end()) {
        if (auto cached = found->second.lock()) {
            if (cached->type < first_type || cached->type > last_type)
                return book.err.raise(kBadArgument, Msg::k03190, shown.c_str());
            picture = std::move(cached);
            return 0;
        }
    }
    auto loaded = std::make_shared<PictureData>();
    switch (load_picture_file(path, first_type, last_type, *loaded)) {
    case kOk: break;
    case kNoMemory: return book.err.raise_out_of_memory();
    case kOpenError: return book.err.raise(kBadArgument, Msg::k03102, shown.c_str());
    default: return book.err.raise(kBadArgument, Msg::k03190, shown.c_str());
    }
    // Expired entries go as new ones come, so the cache never outgrows the pictures in use.
    std::erase_if(book.picture_files, [](const auto &entry) { return entry.second.expired(); });
    book.picture_files[path] = loaded;
    picture = std::move(loaded);
    return 0;
}

int sheet_index_of(const Book &book, const PropertyTarget &target) {
    return target.sheet >= 0 ? target.sheet : book.current_sheet;
}

int place_picture(Book &book, const PropertyTarget &target, std::string_view value) {
    if (target.area_count > 0 || target.row < 0 || target.column < 0)
        return book.err.raise(kBadArgument, Msg::k02100, "IMAGE/イメージ");
    if (value.size() >= kPicturePathLimit) return book.err.raise(kBadArgument, Msg::k00005);
    const int sheet = sheet_index_of(book, target);
    if (!book.sheet(sheet)) return 0;
    std::shared_ptr<const PictureData> picture;
    if (int rc = picture_for_path(book, value, kFileTypeBmp, kFileTypeWmf, picture); rc != 0) return rc;
    DrawingObject object;
    object.kind = DrawingKind::kPicture;
    object.sheet = sheet;
    object.row = target.row;
    object.column = target.column;
    object.picture = std::move(picture);
    book.drawings.push_back(std::move(object));
    return 0;
}

// The value of IMAGE.RATIO and the offsets: the leading number of the text, as a C number
// reader takes it; nothing readable (or infinity) counts as 0.
double leading_number(std::string_view value) {
    const std::string text(value);
    const double number = std::strtod(text.c_str(), nullptr);
    return std::isfinite(number) ? number : 0.0;
}

bool in_target(const PropertyTarget &target, int row, int column) {
    if (target.area_count == 0) return row == target.row && column == target.column;
    for (int k = 0; k < target.area_count; ++k) {
        const TargetArea &area = target.areas[static_cast<std::size_t>(k)];
        if (row >= area.row1 && row <= area.row2 && column >= area.column1 && column <= area.column2) return true;
    }
    return false;
}

// Sets the ratio or an offset of the picture at the target cell (on a range, of every picture
// anchored inside it). Of several pictures at one cell the latest placed is meant, the one a
// statement list has just put there. A cell without a picture is left as it is.
int adjust_picture(Book &book, int id, const PropertyTarget &target, std::string_view value) {
    const int sheet = sheet_index_of(book, target);
    const double number = leading_number(value);
    auto adjust = [&](DrawingObject &object) {
        switch (id) {
        case kPropImageRatio: object.ratio = number; break;
        case kPropImageOffsetX: object.offset_x = number; break;
        default: object.offset_y = number; break;
        }
    };
    if (target.area_count == 0) {
        for (auto at = book.drawings.rbegin(); at != book.drawings.rend(); ++at)
            if (at->kind == DrawingKind::kPicture && at->sheet == sheet && in_target(target, at->row, at->column)) {
                adjust(*at);
                break;
            }
        return 0;
    }
    for (DrawingObject &object : book.drawings)
        if (object.kind == DrawingKind::kPicture && object.sheet == sheet && in_target(target, object.row, object.column))
            adjust(object);
    return 0;
}

}  // namespace

int apply_picture_property(Book &book, int id, PropertyTarget &target, std::string_view value) {
    try {
        if (id == kPropImage) return place_picture(book, target, value);
        return adjust_picture(book, id, target, value);
    } catch (const std::bad_alloc &) {
        return book.err.raise_out_of_memory();
    }
}

int place_sheet_background(Book &book, int sheet_index, std::string_view path) {
    if (path.size() > kPicturePathLimit) return book.err.raise(kBadArgument, Msg::k00005);
    Sheet *sheet = book.sheet(sheet_index);
    if (!sheet) return 0;
    try {
        std::shared_ptr<const PictureData> picture;
        if (int rc = picture_for_path(book, path, kFileTypeJpeg, kFileTypeTiff, picture); rc != 0) return rc;
        std::erase_if(book.drawings, [&](const DrawingObject &object) {
            return object.kind == DrawingKind::kBackground && object.sheet == sheet_index;
        });
        sheet->settings.background_type = picture->type;
        sheet->settings.background_path = picture->source;
        DrawingObject object;
        object.kind = DrawingKind::kBackground;
        object.sheet = sheet_index;
        object.picture = std::move(picture);
        book.drawings.push_back(std::move(object));
    } catch (const std::bad_alloc &) {
        return book.err.raise_out_of_memory();
    }
    return 0;
}

}  // namespace tabsmith
