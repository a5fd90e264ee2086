// The hyperlinks element of a worksheet and the relationships of its external targets.

#include "cells/values.h"
#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr std::string_view kHyperlinksOpen = "<hyperlinks>";
constexpr std::string_view kHyperlinksClose = "</hyperlinks>";
constexpr XmlTemplate kExternalHyperlink{"<hyperlink ref=\"{cell}\" r:id=\"rId{id}\"/>"};
constexpr XmlTemplate kPlaceHyperlink{
    "<hyperlink ref=\"{cell}\" location=\"'{sheet}'!{target}\" display=\"{display}\"/>"};
constexpr XmlTemplate kHyperlinkRel{
    "<Relationship Id=\"rId{id}\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "hyperlink\" Target=\"{target}\" TargetMode=\"External\"/>"};

// Markup and a text byte escaped at most as "_xHHHH_".
constexpr std::size_t kHyperlinkMarkupBytes = 160;
constexpr std::size_t kEscapedByteBytes = 7;

// A sheet name inside quotes of a reference doubles its own quotes.
std::string with_doubled_quotes(std::string_view name) {
    std::string out;
    for (char c : name) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

}  // namespace

int external_hyperlink_count(const Sheet &sheet) {
    int count = 0;
    for (const Hyperlink &link : sheet.annotations.hyperlinks) count += link.kind == HyperlinkKind::kExternal;
    return count;
}

void write_hyperlinks(const Book &book, const Sheet &sheet, int sheet_index, int first_hyperlink_id, std::string &out) {
    if (sheet.annotations.hyperlinks.empty()) return;
    out.append(kHyperlinksOpen);
    int external = 0;
    for (const Hyperlink &link : sheet.annotations.hyperlinks) {
        const CellName cell{link.row, link.column};
        if (link.kind == HyperlinkKind::kExternal) {
            xml_fill<kExternalHyperlink>(out, cell, first_hyperlink_id + ++external);
            continue;
        }
        const Cell *shown = find_cell(book, sheet_index, link.row, link.column);
        const std::string display = shown ? cell_value_text(book, *shown) : std::string();
        xml_fill<kPlaceHyperlink>(out, cell, XmlAttribute{with_doubled_quotes(link.target_sheet)},
                                  CellName{link.target_row - 1, link.target_column - 1}, XmlAttribute{display});
    }
    out.append(kHyperlinksClose);
}

void write_hyperlink_relationships(const Sheet &sheet, int first_hyperlink_id, std::string &out) {
    int external = 0;
    for (const Hyperlink &link : sheet.annotations.hyperlinks)
        if (link.kind == HyperlinkKind::kExternal)
            xml_fill<kHyperlinkRel>(out, first_hyperlink_id + ++external, XmlAttribute{link.target});
}

std::size_t hyperlinks_bound(const Book &book, const Sheet &sheet, int sheet_index) {
    std::size_t bound = kHyperlinkMarkupBytes;
    for (const Hyperlink &link : sheet.annotations.hyperlinks) {
        bound += kHyperlinkMarkupBytes + kEscapedByteBytes * link.target_sheet.size();
        if (link.kind == HyperlinkKind::kExternal) continue;
        if (const Cell *shown = find_cell(book, sheet_index, link.row, link.column))
            bound += kEscapedByteBytes * cell_value_text(book, *shown).size();
    }
    return bound;
}

}  // namespace tabsmith
