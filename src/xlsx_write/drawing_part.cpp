// Drawing parts and their relationships: one anchor per picture, chart or shape of a sheet, and
// the relationship numbers that tie each picture, click link and chart to its target.

#include "xlsx_write/drawing_part.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

#include "support/results.h"
#include "xlsx_write/chart_part.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/shape_part.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr std::string_view kDrawingHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\">";
constexpr std::string_view kDrawingTail = "</xdr:wsDr>";

constexpr XmlTemplate kPictureId{"<xdr:cNvPr id=\"{number}\" name=\"Picture {number}\"/>"};
constexpr XmlTemplate kLinkedPictureId{
    "<xdr:cNvPr id=\"{number}\" name=\"Picture {number}\"><a:hlinkClick r:id=\"rId{link}\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"/></xdr:cNvPr>"};
constexpr XmlTemplate kPictureAnchor{
    "<xdr:oneCellAnchor><xdr:from><xdr:col>{column}</xdr:col><xdr:colOff>{column_offset}</xdr:colOff>"
    "<xdr:row>{row}</xdr:row><xdr:rowOff>{row_offset}</xdr:rowOff></xdr:from><xdr:ext cx=\"{cx}\" cy=\"{cy}\"/>"
    "<xdr:pic><xdr:nvPicPr>{id}<xdr:cNvPicPr preferRelativeResize=\"0\"><a:picLocks/></xdr:cNvPicPr></xdr:nvPicPr>"
    "<xdr:blipFill><a:blip xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "r:embed=\"rId{embed}\" cstate=\"print\"/><a:stretch><a:fillRect/></a:stretch></xdr:blipFill>"
    "<xdr:spPr><a:xfrm><a:off x=\"{x}\" y=\"{y}\"/><a:ext cx=\"0\" cy=\"0\"/></a:xfrm>"
    "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></xdr:spPr></xdr:pic><xdr:clientData/></xdr:oneCellAnchor>"};

constexpr XmlTemplate kImageRel{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" "
    "Target=\"../media/image{number}.{extension}\"/>"};
constexpr XmlTemplate kExternalLinkRel{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "hyperlink\" Target=\"{target}\" TargetMode=\"External\"/>"};
// A place in the book ("#Sheet2!A1") is a relationship without a target mode, the form
// spreadsheet programs themselves write for a picture linked into its own workbook.
constexpr XmlTemplate kInternalLinkRel{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "hyperlink\" Target=\"{target}\"/>"};
constexpr XmlTemplate kChartRel{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart\" "
    "Target=\"../charts/chart{number}.xml\"/>"};

// Drawing units per centimetre that the anchors use (a little more than the 360000 of the
// drawing format: an inch at 96 pixels comes out as 915090, as the files this engine replaces did).
constexpr double kUnitsPerCentimetre = 360272.0;
constexpr double kPixelsPerInch = 96.0;
constexpr double kCentimetresPerInch = 2.54;
// One offset step in drawing units, and the ratio from those to the shape's own offset.
constexpr double kOffsetUnit = 189750.0;
constexpr double kOffsetToShape = 6.838;

// Truncates toward zero into the range a drawing coordinate may take; a value past it (a huge
// ratio, NaN) would otherwise be undefined to convert and unreadable to every program.
std::int64_t coordinate(double value, double low, double high) {
    if (std::isnan(value)) return 0;
    if (value < low) value = low;
    if (value > high) value = high;
    return static_cast<std::int64_t>(std::trunc(value));
}
constexpr double kMaxCoordinate = 2147483647.0;

// The numbers of one object in its drawing part.
struct ObjectNumbers {
    int id = 0;             // the object's id in the drawing
    int relationship = 0;   // its picture or chart relationship
    int link = 0;           // a picture's click-link relationship, 0 = none
};

// Walks the objects of one sheet's drawing part in object order and gives each its numbers:
// one running step, a picture with a click link taking two. Shapes have no relationship but
// take a step too, so that every object id in the drawing stays distinct. A new drawing starts
// both ids and relationships at 1; anchors added to a package's drawing continue after its own.
template <typename Visit>
void number_sheet_objects(const Book &book, int sheet_index, const ObjectParts &parts, Visit &&visit) {
    SheetObjectParts first;
    if (sheet_index >= 0 && static_cast<std::size_t>(sheet_index) < parts.sheets.size())
        first = parts.sheets[static_cast<std::size_t>(sheet_index)];
    int step = 0;
    for (std::size_t k = 0; k < book.drawings.size(); ++k) {
        const DrawingObject &object = book.drawings[k];
        if (object.sheet != sheet_index || !in_drawing_part(object)) continue;
        ObjectNumbers numbers;
        numbers.id = first.first_drawing_object_id + step;
        numbers.relationship = first.first_drawing_relationship + step++;
        if (object.kind == DrawingKind::kPicture && !object.link.empty())
            numbers.link = first.first_drawing_relationship + step++;
        visit(k, object, numbers);
    }
}

void write_picture_anchor(const DrawingObject &object, const ObjectNumbers &numbers, std::string &out) {
    const PictureData &picture = *object.picture;
    const std::int64_t column_offset = coordinate(object.offset_x * kOffsetUnit, -kMaxCoordinate, kMaxCoordinate);
    const std::int64_t row_offset = coordinate(object.offset_y * kOffsetUnit, -kMaxCoordinate, kMaxCoordinate);
    const std::int64_t x = coordinate(static_cast<double>(column_offset) / kOffsetToShape, -kMaxCoordinate, kMaxCoordinate);
    const std::int64_t y = coordinate(static_cast<double>(row_offset) / kOffsetToShape, -kMaxCoordinate, kMaxCoordinate);
    const double scale = kCentimetresPerInch * kUnitsPerCentimetre * object.ratio;
    const std::int64_t cx = coordinate(picture.width / kPixelsPerInch * scale, 0, kMaxCoordinate);
    const std::int64_t cy = coordinate(picture.height / kPixelsPerInch * scale, 0, kMaxCoordinate);
    auto id = [&](std::string &text) {
        if (numbers.link > 0) xml_fill<kLinkedPictureId>(text, numbers.id, numbers.link);
        else xml_fill<kPictureId>(text, numbers.id);
    };
    xml_fill<kPictureAnchor>(out, object.column, column_offset, object.row, row_offset, cx, cy, id, numbers.relationship,
                             x, y);
}

}  // namespace

int drawing_part(const Book &book, int sheet_index, const ObjectParts &parts, std::string &out) {
    out.append(kDrawingHead);
    int rc = kOk;
    number_sheet_objects(book, sheet_index, parts, [&](std::size_t k, const DrawingObject &object, const ObjectNumbers &numbers) {
        if (rc != kOk) return;
        switch (object.kind) {
        case DrawingKind::kPicture:
            if (!object.picture || picture_extension(object.picture->type).empty()) {
                char detail[64];
                std::snprintf(detail, sizeof detail, "book->draw[%zu].image->type=%d", k,
                              object.picture ? object.picture->type : 0);
                rc = book.err.raise(kFail, Msg::k03190, detail);
                return;
            }
            write_picture_anchor(object, numbers, out);
            break;
        case DrawingKind::kChart:
            write_chart_frame(book, object, numbers.id, numbers.relationship, out);
            break;
        default:
            write_shape_anchor(book, object, numbers.id, out);
            break;
        }
    });
    if (rc != kOk) return rc;
    out.append(kDrawingTail);
    return kOk;
}

std::string drawing_rels_part(const Book &book, int sheet_index, const ObjectParts &parts) {
    std::string out(kRelationshipsHead);
    number_sheet_objects(book, sheet_index, parts, [&](std::size_t k, const DrawingObject &object, const ObjectNumbers &numbers) {
        switch (object.kind) {
        case DrawingKind::kPicture:
            if (!object.picture || k >= parts.media_of_object.size() || parts.media_of_object[k] == 0) return;
            xml_fill<kImageRel>(out, numbers.relationship, parts.media_of_object[k], picture_extension(object.picture->type));
            if (numbers.link > 0) {
                if (object.link.starts_with('#'))
                    xml_fill<kInternalLinkRel>(out, numbers.link, XmlAttribute{object.link});
                else
                    xml_fill<kExternalLinkRel>(out, numbers.link, XmlAttribute{object.link});
            }
            break;
        case DrawingKind::kChart:
            if (k < parts.chart_of_object.size() && parts.chart_of_object[k] > 0)
                xml_fill<kChartRel>(out, numbers.relationship, parts.chart_of_object[k]);
            break;
        default:
            break;
        }
    });
    out.append(kRelationshipsTail);
    return out;
}

}  // namespace tabsmith
