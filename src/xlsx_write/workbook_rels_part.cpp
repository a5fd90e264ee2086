// The workbook relationship part (xl/_rels/workbook.xml.rels): the sheets first, numbered as
// the workbook part refers to them, then the shared strings, styles and theme.

#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr XmlTemplate kWorkbookRelsSheet{
    "<Relationship Id=\"rId{number}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet{number}.xml\"/>"};
constexpr XmlTemplate kWorkbookRelsTail{
    "<Relationship Id=\"rId{shared_strings}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>"
    "<Relationship Id=\"rId{styles}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
    "<Relationship Id=\"rId{theme}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme\" Target=\"theme/theme1.xml\"/>"};

}  // namespace

std::string workbook_rels_part(const Book &book) {
    const int sheets = book.sheet_count();
    std::string out(kRelationshipsHead);
    for (int k = 1; k <= sheets; ++k) xml_fill<kWorkbookRelsSheet>(out, k);
    // The ids after the sheets go theme, styles, shared strings; the entries are listed the other way.
    xml_fill<kWorkbookRelsTail>(out, sheets + 3, sheets + 2, sheets + 1);
    out += kRelationshipsTail;
    return out;
}

}  // namespace tabsmith
