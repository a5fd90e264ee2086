// The relationship part of a worksheet (xl/worksheets/_rels/sheet<n>.xml.rels) and the ids it
// gives the sheet's objects, which the worksheet part's r:id attributes use.

#include "xlsx_write/object_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/worksheet_part.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr XmlTemplate kPrinterSettingsRel{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "printerSettings\" Target=\"../printerSettings/printerSettings{sheet}.bin\"/>"};
constexpr XmlTemplate kBackgroundRel{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "image\" Target=\"../media/image{number}.{extension}\" />"};
constexpr XmlTemplate kDrawingRel{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "drawing\" Target=\"../drawings/drawing{number}.xml\"/>"};

}  // namespace

SheetObjectCounts sheet_object_counts(const Book &book, int sheet_index) {
    SheetObjectCounts counts;
    for (const DrawingObject &object : book.drawings) {
        if (object.sheet != sheet_index) continue;
        // A background whose picture the package cannot hold has no media part to refer to.
        if (object.kind == DrawingKind::kBackground && (!object.picture || picture_extension(object.picture->type).empty()))
            continue;
        if (object.kind == DrawingKind::kBackground) counts.background = true;
        else counts.drawing = true;
    }
    // Hyperlinks, comments and tables are counted here once their writers keep them.
    return counts;
}

SheetRelationshipIds sheet_relationship_ids(const SheetObjectCounts &counts) {
    SheetRelationshipIds ids;
    int next = 1;
    if (counts.external_hyperlinks > 0) {
        ids.first_hyperlink = next - 1;
        next += counts.external_hyperlinks;
    }
    ids.printer_settings = next++;
    if (counts.background) ids.background = next++;
    if (counts.drawing) ids.drawing = next++;
    if (counts.comments) {
        ids.comments = next++;
        ids.vml_drawing = next++;
    }
    if (counts.tables > 0) {
        ids.first_table = next - 1;
        next += counts.tables;
    }
    ids.count = next - 1;
    return ids;
}

std::string write_worksheet_rels(const Book &book, int sheet_index) {
    // Only a book with drawing objects needs their numbers.
    if (book.drawings.empty()) return write_worksheet_rels(book, sheet_index, ObjectParts{});
    return write_worksheet_rels(book, sheet_index, plan_object_parts(book));
}

std::string write_worksheet_rels(const Book &book, int sheet_index, const ObjectParts &parts) {
    const SheetRelationshipIds ids = sheet_relationship_ids(sheet_object_counts(book, sheet_index));
    const SheetObjectParts objects =
        sheet_index >= 0 && static_cast<std::size_t>(sheet_index) < parts.sheets.size()
            ? parts.sheets[static_cast<std::size_t>(sheet_index)]
            : SheetObjectParts{};
    std::string out(kRelationshipsHead);
    xml_fill<kPrinterSettingsRel>(out, ids.printer_settings, sheet_index + 1);
    if (ids.background > 0 && objects.background_media > 0) {
        for (const MediaItem &item : parts.media)
            if (item.number == objects.background_media) {
                xml_fill<kBackgroundRel>(out, ids.background, item.number, picture_extension(item.picture->type));
                break;
            }
    }
    if (ids.drawing > 0 && objects.drawing > 0) xml_fill<kDrawingRel>(out, ids.drawing, objects.drawing);
    out.append(kRelationshipsTail);
    return out;
}

}  // namespace tabsmith
