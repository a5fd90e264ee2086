// The extended properties part (docProps/app.xml): the application, the sheet titles and one
// named-range title per sheet with print titles, the manager and the company.

#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr std::string_view kAppHead =
    "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
    "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
    "<Application>Microsoft Excel</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</ScaleCrop>";
constexpr XmlTemplate kAppHeadingPairs{
    "<HeadingPairs><vt:vector size=\"{pairs}\" baseType=\"variant\"><vt:variant><vt:lpstr>ワークシート</vt:lpstr></vt:variant>"
    "<vt:variant><vt:i4>{sheets}</vt:i4></vt:variant>{named_ranges}</vt:vector></HeadingPairs>"
    "<TitlesOfParts><vt:vector size=\"{titles}\" baseType=\"lpstr\">"};
constexpr XmlTemplate kAppNamedRanges{
    "<vt:variant><vt:lpstr>名前付き一覧</vt:lpstr></vt:variant><vt:variant><vt:i4>{count}</vt:i4></vt:variant>"};
constexpr XmlTemplate kAppSheetTitle{"<vt:lpstr>Sheet{number}</vt:lpstr>"};
constexpr XmlTemplate kAppPrintTitles{"<vt:lpstr>{sheet}!Print_Titles</vt:lpstr>"};
constexpr XmlTemplate kAppManager{"<Manager>{manager}</Manager>"};
constexpr XmlTemplate kAppTail{
    "</vt:vector></TitlesOfParts>{manager}<Company>{company}</Company><LinksUpToDate>false</LinksUpToDate>"
    "<SharedDoc>false</SharedDoc><HyperlinksChanged>false</HyperlinksChanged><AppVersion>{version}</AppVersion></Properties>"};
constexpr std::string_view kAppVersion2010 = "14.0000", kAppVersion2007 = "12.0000";
constexpr int kSheetPairs = 2, kSheetAndNamePairs = 4;  // heading pair entries (name and count each)

bool has_print_titles(const Sheet &sheet) {
    return sheet.settings.title_row1 > 0 || sheet.settings.title_column1 > 0;
}

}  // namespace

std::string app_part(const Book &book) {
    const int sheets = book.sheet_count();
    int titled = 0;
    for (const auto &sheet : book.sheets)
        if (has_print_titles(*sheet)) ++titled;
    std::string out(kXmlDeclaration);
    out += kAppHead;
    auto named_ranges = [&](std::string &o) {
        if (titled > 0) xml_fill<kAppNamedRanges>(o, titled);
    };
    xml_fill<kAppHeadingPairs>(out, titled > 0 ? kSheetAndNamePairs : kSheetPairs, sheets, named_ranges,
                               sheets + titled);
    for (int k = 1; k <= sheets; ++k) xml_fill<kAppSheetTitle>(out, k);
    for (const auto &sheet : book.sheets)
        if (has_print_titles(*sheet)) xml_fill<kAppPrintTitles>(out, XmlText{sheet->name});
    auto manager = [&](std::string &o) {
        if (!book.settings.manager.empty()) xml_fill<kAppManager>(o, XmlText{book.settings.manager});
    };
    xml_fill<kAppTail>(out, manager, XmlText{book.company},
                       book.settings.app_version == 2010 ? kAppVersion2010 : kAppVersion2007);
    return out;
}

}  // namespace tabsmith
