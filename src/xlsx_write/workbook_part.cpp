// The workbook part (xl/workbook.xml): file sharing, the sheet list with hidden states, the
// print titles as defined names, and the calculation mode.

#include <cctype>

#include "model/address.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/password_hash.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr XmlTemplate kWorkbookHead{
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<fileVersion appName=\"xl\" lastEdited=\"4\" lowestEdited=\"4\" rupBuild=\"4506\"/>{file_sharing}"
    "<workbookPr {backup} defaultThemeVersion=\"124226\"/><bookViews><workbookView xWindow=\"120\" yWindow=\"120\" "
    "windowWidth=\"19110\" windowHeight=\"11025\"/></bookViews><sheets>"};
constexpr XmlTemplate kFileSharing{"<fileSharing userName=\"{user}\" reservationPassword=\"{hash}\"/>"};
constexpr std::string_view kBackupFile = "backupFile=\"1\"";
constexpr XmlTemplate kSheetEntry{"<sheet name=\"{name}\" sheetId=\"{number}\" r:id=\"rId{number}\"{state}/>"};
constexpr std::string_view kDefinedNamesOpen = "<definedNames>", kDefinedNamesClose = "</definedNames>";
constexpr XmlTemplate kPrintTitlesName{
    "<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"{sheet}\">{titles}</definedName>"};
constexpr XmlTemplate kTitleRange{"{sheet}!${first}:${last}"};  // rows "$1:$2" or columns "$A:$C"
constexpr std::string_view kTitleSeparator = ",";
constexpr XmlTemplate kWorkbookTail{"</sheets>{defined_names}<calcPr calcId=\"{calc_id}\"/></workbook>"};
constexpr int kCalcIdRecalc = 145621;
constexpr int kCalcIdKeep = 114210;

bool has_print_titles(const Sheet &sheet) {
    return sheet.settings.title_row1 > 0 || sheet.settings.title_column1 > 0;
}

// "Name!$1:$2,Name!$A:$C" before escaping.
std::string print_titles_value(const Sheet &sheet) {
    const SheetSettings &s = sheet.settings;
    const std::string name = quoted_sheet_name(sheet.name);
    std::string value;
    if (s.title_row1 > 0)
        xml_fill<kTitleRange>(value, name, s.title_row1, s.title_row2 > 0 ? s.title_row2 : s.title_row1);
    if (s.title_column1 > 0) {
        int last = s.title_column2 > 0 ? s.title_column2 : s.title_column1;
        if (!value.empty()) value += kTitleSeparator;
        xml_fill<kTitleRange>(value, name, column_letters(s.title_column1 - 1), column_letters(last - 1));
    }
    return value;
}

}  // namespace

std::string workbook_part(const Book &book) {
    std::string out(kXmlDeclaration);
    auto file_sharing = [&](std::string &o) {
        if (!book.settings.write_password.empty())
            xml_fill<kFileSharing>(o, XmlAttribute{book.author}, Hex16{password_hash(book.settings.write_password)});
    };
    xml_fill<kWorkbookHead>(out, file_sharing, book.settings.backup ? kBackupFile : std::string_view());

    // A workbook must keep one sheet visible, or spreadsheet programs repair it on opening.
    bool all_hidden = book.sheet_count() > 0;
    for (const auto &sheet : book.sheets) all_hidden = all_hidden && sheet->settings.hidden;
    for (int k = 1; k <= book.sheet_count(); ++k) {
        const Sheet &sheet = *book.sheets[static_cast<std::size_t>(k - 1)];
        bool hidden = sheet.settings.hidden && !(all_hidden && k == 1);
        xml_fill<kSheetEntry>(out, XmlAttribute{sheet.name}, k, hidden ? kHiddenState : std::string_view());
    }

    auto defined_names = [&](std::string &o) {
        bool any = false;
        for (int k = 0; k < book.sheet_count(); ++k) {
            const Sheet &sheet = *book.sheets[static_cast<std::size_t>(k)];
            if (!has_print_titles(sheet)) continue;
            if (!any) o += kDefinedNamesOpen;
            any = true;
            xml_fill<kPrintTitlesName>(o, k, XmlText{print_titles_value(sheet)});
        }
        if (any) o += kDefinedNamesClose;
    };
    xml_fill<kWorkbookTail>(out, defined_names, book.settings.recalc ? kCalcIdRecalc : kCalcIdKeep);
    return out;
}

}  // namespace tabsmith
