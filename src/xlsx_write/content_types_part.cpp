// The content types part ([Content_Types].xml): a Default entry per file extension and an
// Override per part the package holds, in the order spreadsheet programs write them.

#include <utility>

#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/object_parts.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr std::string_view kContentTypesRoot =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
constexpr std::string_view kContentTypesFixed =
    "<Override PartName=\"/xl/theme/theme1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "<Default Extension=\"bin\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.printerSettings\"/>"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/docProps/app.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>";
constexpr std::string_view kContentTypesTail =
    "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
    "<Override PartName=\"/docProps/core.xml\" ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/></Types>";
constexpr XmlTemplate kCommentsOverride{
    "<Override PartName=\"/xl/comments{number}.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml\" />"};
constexpr std::string_view kVmlDefault =
    "<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>";
constexpr XmlTemplate kTableOverride{
    "<Override PartName=\"/xl/tables/table{number}.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml\" />"};
constexpr std::string_view kCustomOverride =
    "<Override PartName=\"/docProps/custom.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.custom-properties+xml\"/>";
constexpr XmlTemplate kChartOverride{
    "<Override PartName=\"/xl/charts/chart{number}.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.drawingml.chart+xml\"/>"};
constexpr XmlTemplate kDrawingOverride{
    "<Override PartName=\"/xl/drawings/drawing{number}.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.drawing+xml\"/>"};
constexpr XmlTemplate kWorksheetOverride{
    "<Override PartName=\"/xl/worksheets/sheet{number}.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"};
constexpr XmlTemplate kImageDefault{"<Default Extension=\"{extension}\" ContentType=\"{content_type}\"/>"};
constexpr std::string_view kThumbnailExtension = "jpeg";

// One Override for each of `count` numbered parts of a kind.
template <const XmlTemplate &Override>
void append_overrides(std::string &out, int count) {
    for (int k = 1; k <= count; ++k) xml_fill<Override>(out, k);
}

// The media type of a picture extension; the metafiles have only the unregistered names every
// spreadsheet program uses.
std::string_view image_content_type(std::string_view extension) {
    static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
        {"png", "image/png"}, {"jpeg", "image/jpeg"}, {"jpg", "image/jpeg"}, {"gif", "image/gif"},
        {"bmp", "image/bmp"}, {"tiff", "image/tiff"}, {"tif", "image/tiff"}, {"emf", "image/x-emf"},
        {"wmf", "image/x-wmf"},
    };
    for (const auto &[known, type] : kTypes)
        if (known == extension) return type;
    return "application/octet-stream";
}

}  // namespace

void PackageInventory::add_image_extension(std::string_view extension) {
    std::string entry;
    xml_fill<kImageDefault>(entry, extension, image_content_type(extension));
    if (image_extensions.find(entry) == std::string::npos) image_extensions += entry;
}

std::string content_types_part(const Book &book, const PackageInventory &inventory) {
    std::string out(kXmlDeclaration);
    out += kContentTypesRoot;
    out += inventory.image_extensions;
    if (inventory.thumbnail && inventory.image_extensions.find("\"jpeg\"") == std::string::npos)
        xml_fill<kImageDefault>(out, kThumbnailExtension, image_content_type(kThumbnailExtension));
    append_overrides<kCommentsOverride>(out, inventory.comment_parts);
    if (inventory.comment_parts > 0) out += kVmlDefault;
    append_overrides<kTableOverride>(out, inventory.table_parts);
    out += kContentTypesFixed;
    if (book.settings.final) out += kCustomOverride;
    append_overrides<kChartOverride>(out, inventory.chart_parts);
    append_overrides<kDrawingOverride>(out, inventory.drawing_parts);
    append_overrides<kWorksheetOverride>(out, book.sheet_count());
    out += kContentTypesTail;
    return out;
}

std::string media_part_name(const MediaItem &item) {
    return "xl/media/image" + std::to_string(item.number) + "." + std::string(picture_extension(item.picture->type));
}

}  // namespace tabsmith
