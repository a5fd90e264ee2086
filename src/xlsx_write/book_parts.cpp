// Texts of the book-level package parts. Every fixed piece is a named constant; the bodies
// are filled from the book's sheets and settings.

#include "xlsx_write/book_parts.h"

#include <cctype>
#include <cstdio>
#include <ctime>

#include "model/address.h"
#include "support/printf_text.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/password_hash.h"
#include "xlsx_write/xml_escape.h"

namespace tabsmith {
namespace {

constexpr const char *kContentTypesRoot =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">";
constexpr const char *kContentTypesFixed =
    "<Override PartName=\"/xl/theme/theme1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "<Default Extension=\"bin\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.printerSettings\"/>"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/docProps/app.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>";
constexpr const char *kContentTypesTail =
    "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
    "<Override PartName=\"/docProps/core.xml\" ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/></Types>";
constexpr const char *kCommentsOverride =
    "<Override PartName=\"/xl/comments%d.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.comments+xml\" />";
constexpr const char *kVmlDefault =
    "<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument.vmlDrawing\"/>";
constexpr const char *kTableOverride =
    "<Override PartName=\"/xl/tables/table%d.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.table+xml\" />";
constexpr const char *kCustomOverride =
    "<Override PartName=\"/docProps/custom.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.custom-properties+xml\"/>";
constexpr const char *kChartOverride =
    "<Override PartName=\"/xl/charts/chart%d.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.drawingml.chart+xml\"/>";
constexpr const char *kDrawingOverride =
    "<Override PartName=\"/xl/drawings/drawing%d.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.drawing+xml\"/>";
constexpr const char *kWorksheetOverride =
    "<Override PartName=\"/xl/worksheets/sheet%d.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>";
constexpr const char *kImageDefault = "<Default Extension=\"%s\" ContentType=\"image/%s\"/>";

constexpr const char *kPackageRelsTail =
    "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" Target=\"docProps/app.xml\"/>"
    "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
    "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
    "</Relationships>";
constexpr const char *kCustomRelationship =
    "<Relationship Id=\"rId%d\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/custom-properties\" Target=\"docProps/custom.xml\"/>";
constexpr const char *kThumbnailRelationship =
    "<Relationship Id=\"rId%d\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/thumbnail\" Target=\"docProps/thumbnail.jpeg\"/>";

constexpr const char *kAppHead =
    "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
    "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
    "<Application>Microsoft Excel</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</ScaleCrop>";
constexpr const char *kAppHeadingPairs =
    "<HeadingPairs><vt:vector size=\"%d\" baseType=\"variant\"><vt:variant><vt:lpstr>ワークシート</vt:lpstr></vt:variant>"
    "<vt:variant><vt:i4>%d</vt:i4></vt:variant>%s</vt:vector></HeadingPairs>"
    "<TitlesOfParts><vt:vector size=\"%d\" baseType=\"lpstr\">";
constexpr const char *kAppNamedRanges =
    "<vt:variant><vt:lpstr>名前付き一覧</vt:lpstr></vt:variant><vt:variant><vt:i4>%d</vt:i4></vt:variant>";
constexpr const char *kAppTail =
    "</vt:vector></TitlesOfParts>%s<Company>%s</Company><LinksUpToDate>false</LinksUpToDate>"
    "<SharedDoc>false</SharedDoc><HyperlinksChanged>false</HyperlinksChanged><AppVersion>%s</AppVersion></Properties>";

constexpr const char *kCoreHead =
    "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
    "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
constexpr const char *kCoreBody =
    "%s<dc:creator>%s</dc:creator><cp:lastModifiedBy>%s</cp:lastModifiedBy>"
    "<dcterms:created xsi:type=\"dcterms:W3CDTF\">%s</dcterms:created>"
    "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">%s</dcterms:modified></cp:coreProperties>";

constexpr const char *kCustomText =
    "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/custom-properties\" "
    "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
    "<property fmtid=\"{D5CDD505-2E9C-101B-9397-08002B2CF9AE}\" pid=\"2\" name=\"_MarkAsFinal\"><vt:bool>true</vt:bool></property></Properties>";

constexpr const char *kWorkbookRelsSheet =
    "<Relationship Id=\"rId%d\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet%d.xml\"/>";
constexpr const char *kWorkbookRelsTail =
    "<Relationship Id=\"rId%d\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>"
    "<Relationship Id=\"rId%d\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
    "<Relationship Id=\"rId%d\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme\" Target=\"theme/theme1.xml\"/>"
    "</Relationships>";

constexpr const char *kWorkbookHead =
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">%s%s"
    "<workbookPr %s defaultThemeVersion=\"124226\"/><bookViews><workbookView xWindow=\"120\" yWindow=\"120\" "
    "windowWidth=\"%d\" windowHeight=\"%d\"/></bookViews><sheets>";
constexpr const char *kFileVersion = "<fileVersion appName=\"xl\" lastEdited=\"4\" lowestEdited=\"4\" rupBuild=\"4506\"/>";
constexpr const char *kFileSharing = "<fileSharing userName=\"%s\" reservationPassword=\"%s\"/>";
constexpr const char *kSheetEntry = "<sheet name=\"%s\" sheetId=\"%d\" r:id=\"rId%d\"%s/>";
constexpr const char *kPrintTitlesName = "<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"%d\">%s</definedName>";
constexpr const char *kWorkbookTail = "</sheets>%s<calcPr calcId=\"%d\"/></workbook>";
constexpr int kCalcIdRecalc = 145621;
constexpr int kCalcIdKeep = 114210;

constexpr const char *kSharedStringsHead =
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"%lld\" uniqueCount=\"%lld\">";
constexpr const char *kSharedStringPlain = "<si><t>";
constexpr const char *kSharedStringPreserve = "<si><t xml:space=\"preserve\">";
constexpr const char *kSharedStringEnd = "</t><phoneticPr fontId=\"1\"/></si>";
constexpr const char *kSharedStringsTail = "</sst>";

bool has_print_titles(const Sheet &sheet) {
    return sheet.settings.title_row1 > 0 || sheet.settings.title_column1 > 0;
}

// Sheet names in formulas are quoted when they hold anything but letters, digits and "_".
std::string quoted_sheet_name(const std::string &name) {
    bool plain = !name.empty();
    for (unsigned char c : name)
        if (!(std::isalnum(c) || c == '_' || c >= 0x80)) plain = false;
    if (plain) return name;
    std::string out = "'";
    for (char c : name) {
        out.push_back(c);
        if (c == '\'') out.push_back('\'');
    }
    out.push_back('\'');
    return out;
}

std::string print_titles_value(const Sheet &sheet) {
    const SheetSettings &s = sheet.settings;
    std::string name = quoted_sheet_name(sheet.name);
    std::string value;
    if (s.title_row1 > 0) {
        int last = s.title_row2 > 0 ? s.title_row2 : s.title_row1;
        value += printf_text("%s!$%d:$%d", name.c_str(), s.title_row1, last);
    }
    if (s.title_column1 > 0) {
        int last = s.title_column2 > 0 ? s.title_column2 : s.title_column1;
        if (!value.empty()) value += ",";
        value += name + "!$" + column_letters(s.title_column1 - 1) + ":$" + column_letters(last - 1);
    }
    return xml_escape(value, EscapeMode::kText);
}

}  // namespace

std::string package_time_stamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return printf_text("%04d-%02d-%02dT%02d:%02d:%02dZ", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                  local.tm_hour, local.tm_min, local.tm_sec);
}

std::string content_types_part(const Book &book, const PackageInventory &inventory) {
    std::string out = kXmlDeclaration;
    out += kContentTypesRoot;
    out += inventory.image_extensions;
    if (inventory.thumbnail && inventory.image_extensions.find("\"jpeg\"") == std::string::npos)
        out += printf_text(kImageDefault, "jpeg", "jpeg");
    for (int k = 1; k <= inventory.comment_parts; ++k) out += printf_text(kCommentsOverride, k);
    if (inventory.comment_parts > 0) out += kVmlDefault;
    for (int k = 1; k <= inventory.table_parts; ++k) out += printf_text(kTableOverride, k);
    out += kContentTypesFixed;
    if (book.settings.final) out += kCustomOverride;
    for (int k = 1; k <= inventory.chart_parts; ++k) out += printf_text(kChartOverride, k);
    for (int k = 1; k <= inventory.drawing_parts; ++k) out += printf_text(kDrawingOverride, k);
    for (int k = 1; k <= book.sheet_count(); ++k) out += printf_text(kWorksheetOverride, k);
    out += kContentTypesTail;
    return out;
}

std::string package_rels_part(const Book &book) {
    bool thumbnail = !book.settings.thumbnail_path.empty();
    std::string out = kRelationshipsHead;
    if (book.settings.final) out += printf_text(kCustomRelationship, thumbnail ? 5 : 4);
    if (thumbnail) out += printf_text(kThumbnailRelationship, 4);
    out += kPackageRelsTail;
    return out;
}

std::string app_part(const Book &book) {
    int sheets = book.sheet_count();
    int titled = 0;
    for (const auto &sheet : book.sheets)
        if (has_print_titles(*sheet)) ++titled;
    std::string out = kXmlDeclaration;
    out += kAppHead;
    if (titled == 0) out += printf_text(kAppHeadingPairs, 2, sheets, "", sheets);
    else out += printf_text(kAppHeadingPairs, 4, sheets, printf_text(kAppNamedRanges, titled).c_str(), sheets + titled);
    for (int k = 1; k <= sheets; ++k) out += printf_text("<vt:lpstr>Sheet%d</vt:lpstr>", k);
    for (const auto &sheet : book.sheets)
        if (has_print_titles(*sheet)) out += "<vt:lpstr>" + xml_escape(sheet->name, EscapeMode::kText) + "!Print_Titles</vt:lpstr>";
    std::string manager;
    if (!book.settings.manager.empty())
        manager = "<Manager>" + xml_escape(book.settings.manager, EscapeMode::kText) + "</Manager>";
    out += printf_text(kAppTail, manager.c_str(), xml_escape(book.company, EscapeMode::kText).c_str(),
                  book.settings.app_version == 2010 ? "14.0000" : "12.0000");
    return out;
}

std::string core_part(const Book &book, const std::string &stamp) {
    std::string titles;
    if (!book.settings.title.empty())
        titles += "<dc:title>" + xml_escape(book.settings.title, EscapeMode::kText) + "</dc:title>";
    if (!book.settings.subject.empty())
        titles += "<dc:subject>" + xml_escape(book.settings.subject, EscapeMode::kText) + "</dc:subject>";
    std::string creator = xml_escape(book.author, EscapeMode::kText);
    std::string out = kXmlDeclaration;
    out += kCoreHead;
    out += printf_text(kCoreBody, titles.c_str(), creator.c_str(), creator.c_str(), stamp.c_str(), stamp.c_str());
    return out;
}

std::string custom_part() { return std::string(kXmlDeclaration) + kCustomText; }

std::string workbook_rels_part(const Book &book) {
    int n = book.sheet_count();
    std::string out = kRelationshipsHead;
    for (int k = 1; k <= n; ++k) out += printf_text(kWorkbookRelsSheet, k, k);
    out += printf_text(kWorkbookRelsTail, n + 3, n + 2, n + 1);
    return out;
}

std::string workbook_part(const Book &book) {
    std::string sharing;
    if (!book.settings.write_password.empty()) {
        char hash[8];
        std::snprintf(hash, sizeof hash, "%04X", password_hash(book.settings.write_password));
        sharing = printf_text(kFileSharing, xml_escape(book.author, EscapeMode::kAttribute).c_str(), hash);
    }
    std::string out = kXmlDeclaration;
    out += printf_text(kWorkbookHead, kFileVersion, sharing.c_str(), book.settings.backup ? "backupFile=\"1\"" : "", 19110,
                  11025);
    // A workbook must keep one sheet visible, or spreadsheet programs repair it on opening.
    bool all_hidden = book.sheet_count() > 0;
    for (const auto &sheet : book.sheets) all_hidden = all_hidden && sheet->settings.hidden;
    for (int k = 1; k <= book.sheet_count(); ++k) {
        const Sheet &sheet = *book.sheets[static_cast<std::size_t>(k - 1)];
        bool hidden = sheet.settings.hidden && !(all_hidden && k == 1);
        out += printf_text(kSheetEntry, xml_escape(sheet.name, EscapeMode::kAttribute).c_str(), k, k,
                      hidden ? " state=\"hidden\"" : "");
    }
    std::string names;
    for (int k = 0; k < book.sheet_count(); ++k) {
        const Sheet &sheet = *book.sheets[static_cast<std::size_t>(k)];
        if (has_print_titles(sheet)) names += printf_text(kPrintTitlesName, k, print_titles_value(sheet).c_str());
    }
    if (!names.empty()) names = "<definedNames>" + names + "</definedNames>";
    out += printf_text(kWorkbookTail, names.c_str(), book.settings.recalc ? kCalcIdRecalc : kCalcIdKeep);
    return out;
}

std::string shared_strings_part(const Book &book) {
    const SharedStringTable &table = book.shared_strings;
    std::size_t bytes = 0;
    for (std::size_t k = 0; k < table.entry_count(); ++k) bytes += table.entry_text(k).size() + 48;
    std::string out;
    out.reserve(bytes + 256);
    out += kXmlDeclaration;
    // count: the cells that refer to the table; uniqueCount: its entries.
    out += printf_text(kSharedStringsHead, static_cast<long long>(shared_string_references(book)),
                       static_cast<long long>(table.entry_count()));
    for (std::size_t k = 0; k < table.entry_count(); ++k) {
        const std::string &text = table.entry_text(k);
        out += text.find(' ') != std::string::npos ? kSharedStringPreserve : kSharedStringPlain;
        xml_escape_append(out, text, EscapeMode::kText);
        out += kSharedStringEnd;
    }
    out += kSharedStringsTail;
    return out;
}

}  // namespace tabsmith
