// The custom properties part (docProps/custom.xml), present only in a book marked final: its
// one property is the mark.

#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"

namespace tabsmith {
namespace {

constexpr std::string_view kCustomText =
    "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/custom-properties\" "
    "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
    "<property fmtid=\"{D5CDD505-2E9C-101B-9397-08002B2CF9AE}\" pid=\"2\" name=\"_MarkAsFinal\"><vt:bool>true</vt:bool></property></Properties>";

}  // namespace

std::string custom_part() {
    std::string out(kXmlDeclaration);
    out += kCustomText;
    return out;
}

}  // namespace tabsmith
