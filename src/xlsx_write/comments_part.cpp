// The comments part of a sheet (xl/comments<n>.xml): each comment as two runs, the creator's
// name in bold and the comment text.

#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr XmlTemplate kCommentsHead{
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?><comments "
    "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors><author>{author}</author>"
    "</authors><commentList>"};
constexpr XmlTemplate kComment{
    "<comment ref=\"{cell}\" authorId=\"0\"><text><r><rPr><b/><sz val=\"14\"/><color indexed=\"81\"/>"
    "<rFont val=\"ＭＳ Ｐゴシック\"/><family val=\"3\"/><charset val=\"128\"/></rPr><t>{author}:</t></r><r><rPr>"
    "<sz val=\"{points}\"/><color indexed=\"{colour}\"/><rFont val=\"ＭＳ Ｐゴシック\"/><family val=\"3\"/>"
    "<charset val=\"128\"/></rPr><t xml:space=\"preserve\">\n{text}</t></r></text></comment>"};
constexpr std::string_view kCommentsTail = "</commentList></comments>";

// Palette colours of the comment text.
constexpr int kColourRed = 10;
constexpr int kColourCommentText = 81;

}  // namespace

std::string comments_part(const Book &book, const Sheet &sheet) {
    std::string out;
    const XmlText author{book.author};
    xml_fill<kCommentsHead>(out, author);
    for (const CellComment &comment : sheet.annotations.comments)
        xml_fill<kComment>(out, CellName{comment.row, comment.column}, author, comment.points,
                           comment.colour_kind == kCommentColourKindRed ? kColourRed : kColourCommentText,
                           XmlText{comment.text});
    out.append(kCommentsTail);
    return out;
}

}  // namespace tabsmith
