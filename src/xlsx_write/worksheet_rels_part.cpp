// The relationship part of a worksheet (xl/worksheets/_rels/sheet<n>.xml.rels) and the ids it
// gives the sheet's objects, which the worksheet part's r:id attributes use.

#include "xlsx_write/part_table.h"
#include "xlsx_write/worksheet_part.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr XmlTemplate kPrinterSettingsRel{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "printerSettings\" Target=\"../printerSettings/printerSettings{sheet}.bin\"/>"};

}  // namespace

SheetObjectCounts sheet_object_counts(const Book &book, int sheet_index) {
    SheetObjectCounts counts;
    for (const DrawingObject &object : book.drawings) {
        if (object.sheet != sheet_index) continue;
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
    const SheetRelationshipIds ids = sheet_relationship_ids(sheet_object_counts(book, sheet_index));
    std::string out(kRelationshipsHead);
    xml_fill<kPrinterSettingsRel>(out, ids.printer_settings, sheet_index + 1);
    out.append(kRelationshipsTail);
    return out;
}

}  // namespace tabsmith
