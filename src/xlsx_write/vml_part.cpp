// The VML drawing of a sheet's comments (xl/drawings/vmlDrawing<n>.vml): one hidden note box per
// comment, shown when the pointer rests on its cell.

#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/object_parts.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr XmlTemplate kVmlHead{
    "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
    "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><o:shapelayout v:ext=\"edit\"><o:idmap v:ext=\"edit\" "
    "data=\"{number}\"/></o:shapelayout>"};
// The note shape type, declared once: every box refers to it by its id.
constexpr std::string_view kNoteShapeType =
    "<v:shapetype id=\"_x0000_t202\" coordsize=\"21600,21600\" o:spt=\"202\" path=\"m,l,21600r21600,l21600,xe\">"
    "<v:stroke joinstyle=\"miter\"/><v:path gradientshapeok=\"t\" o:connecttype=\"rect\"/></v:shapetype>";
// A box at the fixed place programs give a new note, hidden until its cell is pointed at.
constexpr XmlTemplate kNoteShape{
    "<v:shape id=\"_x0000_s{id}\" type=\"#_x0000_t202\" style=\"position:absolute;margin-left:173.25pt;"
    "margin-top:19.5pt;width:156pt;height:90.75pt;z-index:{z};visibility:hidden\" fillcolor=\"#ffffe1\" "
    "o:insetmode=\"auto\"><v:fill color2=\"#ffffe1\"/><v:shadow on=\"t\" color=\"black\" obscured=\"t\"/>"
    "<v:path o:connecttype=\"none\"/><v:textbox style=\"mso-direction-alt:auto\"><div style=\"text-align:left\">"
    "</div></v:textbox><x:ClientData ObjectType=\"Note\"><x:MoveWithCells/><x:SizeWithCells/>"
    "<x:Anchor>3, 15, 1, 8, 6, 7, 8, 3</x:Anchor><x:AutoFill>False</x:AutoFill><x:Row>{row}</x:Row>"
    "<x:Column>{column}</x:Column></x:ClientData></v:shape>"};
constexpr std::string_view kVmlTail = "</xml>";

}  // namespace

std::string vml_drawing_part(const Sheet &sheet, int number, int first_shape_id) {
    std::string out;
    xml_fill<kVmlHead>(out, number);
    out.append(kNoteShapeType);
    int id = first_shape_id, z = 0;
    for (const CellComment &comment : sheet.annotations.comments) {
        xml_fill<kNoteShape>(out, id, ++z, comment.row, comment.column);
        id += kCommentShapeIdStep;
    }
    out.append(kVmlTail);
    return out;
}

}  // namespace tabsmith
