// TXLS_put_image_memory: a picture handed over as bytes, placed at a cell of the current sheet
// with its size, zoom, offsets and an optional click link.

#include <cmath>
#include <string>

#include "api/api.h"
#include "image/file_type.h"
#include "image/picture_size.h"
#include "model/address.h"

using namespace tabsmith;

namespace {

int put_image(Book &book, const char *cell, int type, const void *bytes, long size, int width, int height,
              double ratio, double offset_x, double offset_y, const char *link) {
    CallerText name(book, cell);
    CellRef ref;
    int rc = cell ? resolve_cell(book, name.view(), ref) : kNotAReference;
    if (rc == kBadArgument) return kBadArgument;
    if (rc != 0 || ref.is_range) return book.err.raise(kBadArgument, Msg::k02300, std::string(name.view()).c_str());
    const int sheet = ref.sheet >= 0 ? ref.sheet : book.current_sheet;
    if (!book.sheet(sheet)) return book.err.raise(kBadArgument, Msg::k02300, std::string(name.view()).c_str());

    auto refuse = [&](const char *why) {
        std::string detail = "TXLS_put_image_memory() ";
        detail += why;
        detail += " type=" + std::to_string(type);
        return book.err.raise(kFail, Msg::k03190, detail.c_str());
    };
    if (type < kFileTypeBmp || type > kFileTypeWmf) return refuse("picture");
    if (!bytes || size <= 0) return refuse("bytes");
    auto picture = std::make_shared<PictureData>();
    picture->type = type;
    picture->bytes.assign(static_cast<const char *>(bytes), static_cast<std::size_t>(size));
    // A size the caller does not give is the picture's own.
    if (width <= 0 || height <= 0) {
        PictureSize measured;
        if (!measure_picture(type, picture->bytes, measured)) return refuse("header");
        if (width <= 0) width = measured.width;
        if (height <= 0) height = measured.height;
    }
    picture->width = width;
    picture->height = height;

    DrawingObject object;
    object.kind = DrawingKind::kPicture;
    object.sheet = sheet;
    object.row = ref.row1;
    object.column = ref.column1;
    // No zoom (0, negative or not a number) is the picture at its own size.
    object.ratio = std::isfinite(ratio) && ratio > 0 ? ratio : 1.0;
    object.offset_x = std::isfinite(offset_x) ? offset_x : 0.0;
    object.offset_y = std::isfinite(offset_y) ? offset_y : 0.0;
    object.link = caller_to_utf8(book, link);
    object.picture = std::move(picture);
    book.drawings.push_back(std::move(object));
    return kOk;
}

}  // namespace

extern "C" {

int TXLS_put_image_memory(XLS_BOOK *record, const char *cell, int type, const void *bytes, long size, int width,
                          int height, double ratio, double offset_x, double offset_y, const char *link) {
    return api_boundary(record, "TXLS_put_image_memory()", [&] {
        Book *book = enter(record);
        if (!book) return kFail;
        return put_image(*book, cell, type, bytes, size, width, height, ratio, offset_x, offset_y, link);
    });
}

}  // extern "C"
