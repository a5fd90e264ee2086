// The package relationship part (_rels/.rels): the workbook, the document properties and,
// where the book has them, the custom properties and the thumbnail.

#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr std::string_view kPackageRelsFixed =
    "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" Target=\"docProps/app.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>";
constexpr XmlTemplate kCustomRelationship{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/custom-properties\" Target=\"docProps/custom.xml\"/>"};
constexpr XmlTemplate kThumbnailRelationship{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/thumbnail\" Target=\"docProps/thumbnail.jpeg\"/>"};
// Ids 1-3 are the fixed entries; the thumbnail comes next and the custom properties after it.
constexpr int kFirstOptionalId = 4;

}  // namespace

std::string package_rels_part(const Book &book) {
    const bool thumbnail = !book.settings.thumbnail_path.empty();
    std::string out(kRelationshipsHead);
    if (book.settings.final) xml_fill<kCustomRelationship>(out, kFirstOptionalId + (thumbnail ? 1 : 0));
    if (thumbnail) xml_fill<kThumbnailRelationship>(out, kFirstOptionalId);
    out += kPackageRelsFixed;
    out += kRelationshipsTail;
    return out;
}

}  // namespace tabsmith
