// The book-level parts of a new package, one source file each: content types, package and
// workbook relationships, the document properties, workbook, shared strings, theme, printer
// settings, thumbnail.
#pragma once

#include <string>
#include <string_view>

#include "model/book.h"

namespace tabsmith {

// The attribute of a workbook <sheet> element that hides the sheet.
constexpr std::string_view kHiddenState = " state=\"hidden\"";

// What the book-level parts need to know about the objects that other writers put in.
struct PackageInventory {
    std::string image_extensions;   // content-type Default entries for pictures, ready text
    int comment_parts = 0;
    int table_parts = 0;
    int chart_parts = 0;
    int drawing_parts = 0;
    bool thumbnail = false;

    // Adds the content-type Default of a picture extension once.
    void add_image_extension(std::string_view extension);
};

// The entry name of a stored picture file: xl/media/image<n>.<extension>.
struct MediaItem;
std::string media_part_name(const MediaItem &item);

std::string content_types_part(const Book &book, const PackageInventory &inventory);
std::string package_rels_part(const Book &book);
std::string app_part(const Book &book);
// `stamp` is the local time as "YYYY-MM-DDTHH:MM:SSZ".
std::string core_part(const Book &book, const std::string &stamp);
std::string custom_part();
std::string workbook_rels_part(const Book &book);
std::string workbook_part(const Book &book);
// `package_items`, the <si> elements of a package read earlier as it wrote them, stand for the
// table's first `package_count` entries; the entries after them are written from the table.
// `declarations`: the prefix declarations of a package's own root, which its items may use.
std::string shared_strings_part(const Book &book, std::string_view package_items = {}, std::size_t package_count = 0,
                                std::string_view declarations = {});
// The fixed office theme.
const std::string &theme_part();
// The 1076-byte printer settings record of a sheet.
std::string printer_settings_part(const Sheet &sheet);

// The picture BOOK.THUMBNAIL.PATH names, read whole into `out` for the package to store as it
// is: 0; kPictureOpenError with TXLS-03102 when the file cannot be opened or read; kNoMemory.
int thumbnail_part(const Book &book, std::string &out);

// The local time as "YYYY-MM-DDTHH:MM:SSZ" (marked Z although local, as the files expect).
std::string package_time_stamp();

}  // namespace tabsmith
