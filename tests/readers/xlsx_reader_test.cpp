// Reading packages through TXLS_open_book: sheets bound through relationships, value kinds,
// styles and dates, the modes, packages refused with a coded error, and books read and saved.
#include <gtest/gtest.h>


#include <cstring>

#include "common/fixtures.h"
#include "common/package_builder.h"
#include "common/package_reader.h"

namespace tabsmith::testing {
namespace {

using Got = std::pair<std::string, std::string>;

class ReaderTest : public BookTest {
protected:
    std::string save(const WorkbookPackage &package, const std::string &name = "book.xlsx") {
        EXPECT_TRUE(write_package(folder / name, package.parts()));
        return folder / name;
    }
    int open_path(const std::string &path, const std::string &mode = "READ") {
        return open(("CHARSET=UTF8 MODE=" + mode + " BOOK=\"" + path + "\"").c_str());
    }
    std::string sheet_name(int index) {
        char name[256] = "";
        TXLS_sheet_name(&book, index, name, sizeof name);
        return name;
    }
    TempFolder folder;
};

std::string cell(const std::string &ref, const std::string &inner, const std::string &attributes = "") {
    return "<c r=\"" + ref + "\"" + attributes + ">" + inner + "</c>";
}
std::string row1(const std::string &cells) { return worksheet_xml("<row r=\"1\">" + cells + "</row>"); }

// Names a workbook may not carry are read as they are and repaired when the book is saved.
TEST_F(ReaderTest, SheetNamesNoWorkbookMayCarryAreRepairedOnSaving) {
    const std::string long_kanji = "日本語の売上集計表日本語の売上集計表日本語の売上集計表日本語の売上";  // 33
    const std::pair<std::string, std::string> names[] = {
        {"a/b:c", "a_b_c"}, {"", "Sheet3"}, {std::string(40, 'x'), std::string(31, 'x')}, {"Dup", "Dup"}, {"dup", "dup (2)"},
        {"'q'", "_q_"}, {long_kanji, long_kanji.substr(0, 31 * 3)}, {"[*?]\\", "_____"}, {"fine", "fine"},
    };
    WorkbookPackage package;
    package.sheets.push_back({"first", worksheet_xml("")});
    for (const auto &[name, repaired] : names) package.sheets.push_back({name, worksheet_xml("")});
    const std::string source = save(package), copy = folder / "copy.xlsx";
    ASSERT_EQ(open_path(source), 0) << message();
    EXPECT_EQ(sheet_name(2), "");
    ASSERT_EQ(open(("CHARSET=UTF8 BOOK=\"" + copy + "\" TEMPLATE=\"" + source + "\"").c_str()), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    ASSERT_EQ(open_path(copy), 0) << message();
    for (std::size_t k = 0; k < std::size(names); ++k) EXPECT_EQ(sheet_name(static_cast<int>(k) + 1), names[k].second) << k;
}

// Row 1 holds one cell per row of the table, from A on; the formulas refer to A1 and B1. Of 501
// custom formats the first 500 are kept: the 501st one's cells read as General.
TEST_F(ReaderTest, ValueKindsAndCustomFormats) {
    const struct {
        const char *attributes, *inner, *value, *kind;
    } kinds[] = {
        {"", "<v>12</v>", "12", "INTEGER"}, {"", "<v>12.5</v>", "12.5", "FLOAT"},
        {" s=\"1\"", "<v>45000</v>", "2023/3/15", "DATE"},  // format 14
        {" t=\"s\"", "<v>0</v>", "zero", nullptr},
        {" t=\"s\"", "<v>1</v>", "rich text", nullptr},  // runs joined, readings left out
        {" t=\"s\"", "<v>3</v>", "", nullptr},           // an index past the table names no string
        {" t=\"b\"", "<v>1</v>", "TRUE", "BOOLEAN"}, {" t=\"e\"", "<v>#DIV/0!</v>", "#DIV/0!", "ERROR"},
        {" t=\"inlineStr\"", "<is><t>in &amp; line</t></is>", "in & line", nullptr},
        {" t=\"s\"", "<v>2</v>", "line\rend", nullptr},  // _x000D_ decoded
        {" s=\"2\"", "<v>7</v>", "7", "INTEGER"},        // text format @ is no time
        {"", "<f>SUM(A1:B1)</f><v>24.5</v>", "24.5", "FORMULA:SUM(A1:B1)"},
        {" t=\"str\"", "<f>A1&amp;\"x\"</f><v>12x</v>", "12x", "FORMULA:A1&\"x\""},
        {" s=\"3\"", "<v>45000</v>", "2023/3/15", "DATE"}, {" s=\"4\"", "<v>45000</v>", "45000", "INTEGER"},
        // Numbers as other programs write them.
        {"", "<v>007</v>", "7", "INTEGER"}, {"", "<v>-0</v>", "0", "INTEGER"}, {"", "<v>+5</v>", "+5", "CHARACTER"},
        {"", "<v>1e3</v>", "1000", "FLOAT"}, {"", "<v>123456789</v>", "123456789", "INTEGER"},
        {"", "<v>-1234567890123</v>", "-1234567890123", "INTEGER"},
        {"", "<v>12345678901234567890</v>", "12345678901234567168", "FLOAT"},
        {"", "<v>158467.10</v>", "158467.1", "FLOAT"}, {"", "<v>-0.5</v>", "-0.5", "FLOAT"},
    };
    std::string formats = "<numFmts>";
    for (int k = 0; k < 501; ++k) formats += "<numFmt numFmtId=\"" + std::to_string(200 + k) + "\" formatCode=\"yyyy/mm/dd\"/>";
    WorkbookPackage package;
    package.shared_strings = shared_strings_xml({"<t>zero</t>", "<r><t>rich </t></r><r><t>text</t></r><rPh><t>ヨミ</t></rPh>", "<t>line_x000D_end</t>"});
    package.styles = styles_xml(formats + "</numFmts>",
                                "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"49\"/><xf numFmtId=\"200\"/><xf numFmtId=\"700\"/>");
    std::string cells;
    char name[16];
    for (int k = 0; k < static_cast<int>(std::size(kinds)); ++k) {
        TXLS_cell_name(1, k + 1, name, sizeof name);
        cells += cell(name, kinds[k].inner, kinds[k].attributes);
    }
    package.sheets.push_back({"Kinds", row1(cells)});
    ASSERT_EQ(open_path(save(package)), 0) << message();
    EXPECT_EQ(store().styles.num_formats().size(), 500u);
    for (int k = 0; k < static_cast<int>(std::size(kinds)); ++k) {
        TXLS_cell_name(1, k + 1, name, sizeof name);
        EXPECT_EQ(value(name), kinds[k].value) << name;
        if (kinds[k].kind) { EXPECT_EQ(kind(name), kinds[k].kind) << name; }
    }
}

TEST_F(ReaderTest, FontFlagsAreReadAsTheyAreSet) {
    WorkbookPackage package;
    package.styles = styles_xml("", "<xf numFmtId=\"0\"/>");
    package.styles.replace(package.styles.find("<font>"), 6, "<font><b/><i val=\"0\"/>");
    package.sheets.push_back({"F", row1(cell("A1", "<v>1</v>"))});
    ASSERT_EQ(open_path(save(package)), 0) << message();
    EXPECT_EQ(store().styles.fonts()[0].style & (kFontBold | kFontItalic), kFontBold);
}

TEST_F(ReaderTest, DatesOfThe1904System) {
    WorkbookPackage package;
    package.workbook_pr = "<workbookPr date1904=\"1\"/>";
    package.styles = styles_xml("", "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>");
    package.sheets.push_back({"D", row1(cell("A1", "<v>0</v>", " s=\"1\"") + cell("B1", "<v>43466</v>", " s=\"1\""))});
    const std::string path = save(package);
    ASSERT_EQ(open_path(path, "UPDATE"), 0) << message();
    EXPECT_EQ(value("A1") + " " + value("B1"), "1904/1/1 2023/1/2");
    // A date put into the book is saved in the book's own system.
    ASSERT_EQ(TXLS_put_cell(&book, "C1", "2023/01/02"), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    ASSERT_EQ(open_path(path), 0) << message();
    EXPECT_EQ(value("C1"), "2023/1/2");
    const Cell *saved = find_cell(store(), 0, 0, 2);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->number(), 43466 + 1462) << "held in the 1900 system, read from 43466 in the file";
}

// A part large enough to be read in pieces by several parsers: rows the dimension does not cover,
// rows without numbers, a row number met twice far apart, inline strings and shared strings,
// and megabytes of blanks before, among and after the rows. A second sheet claims the whole
// sheet in its <dimension>, which costs nothing to write: its row table grows with the rows present.
TEST_F(ReaderTest, LargePartsReadInPiecesAgreeAndClaimedExtentsCostNothing) {
    constexpr int kRows = 90000;
    const char *const words[] = {"zero", "one", "two"};
    std::string rows;
    rows.reserve(12 << 20);
    for (int r = 1; r <= kRows; ++r) {
        const std::string n = std::to_string(r);
        if (r == kRows / 2) rows.append(3 << 20, ' ');
        rows += r % 7 == 0 ? "<row>" : "<row r=\"" + n + "\">";  // follows the row before it
        rows += cell("A" + n, "<v>" + n + "</v>") + cell("B" + n, "<v>" + std::to_string(r % 3) + "</v>", " t=\"s\"") +
                cell("C" + n, "<is><t>line " + n + "</t></is>", " t=\"inlineStr\"") + cell("D" + n, "<v>" + n + ".5</v>") + "</row>";
    }
    // Row 5 again at the end: its later cells win, the others stay.
    rows += "<row r=\"5\">" + cell("E5", "<v>55</v>") + cell("A5", "<v>-5</v>") + "</row>";
    WorkbookPackage package;
    package.shared_strings = shared_strings_xml({"<t>zero</t>", "<t>one</t>", "<t>two</t>"});
    std::string part = worksheet_xml(rows);
    part.insert(part.find("<sheetData>"), "<dimension ref=\"A1:D1000\"/>" + std::string(2 << 20, '\n'));
    part.insert(part.find("<row"), std::string(2 << 20, ' '));
    part.insert(part.find("</worksheet>"), std::string(2 << 20, '\t'));
    package.sheets.push_back({"Big", std::move(part)});
    package.sheets.push_back({"Claimed", "<worksheet xmlns=\"" + std::string(kMainNs) + "\"><dimension ref=\"A1:XFD1048576\"/><sheetData><row r=\"1\">" +
                                             cell("A1", "<v>1</v>") + "</row></sheetData></worksheet>"});
    ASSERT_EQ(open_path(save(package)), 0) << message();
    EXPECT_EQ(TXLS_row_num(&book), kRows);
    for (int r : {1, 2, 6, 7, 8, 999, 1000, 1001, 50000, 89999, kRows}) {
        const std::string n = std::to_string(r);
        EXPECT_EQ(value(("A" + n).c_str()) + "|" + value(("B" + n).c_str()) + "|" + value(("C" + n).c_str()) + "|" + value(("D" + n).c_str()),
                  n + "|" + words[r % 3] + "|line " + n + "|" + n + ".5");
    }
    EXPECT_EQ(value("A5") + value("E5") + value("C5"), "-555line 5");
    EXPECT_LT(store().sheets[1]->rows.size(), 1000u);
    EXPECT_EQ(value("Claimed!A1"), "1");
}

// A refused package gets a coded message that says which part, where and what was wrong.
TEST_F(ReaderTest, RefusedPackagesGetCodedErrors) {
    std::string open_tags, close_tags;
    for (int k = 0; k < 100; ++k) open_tags += "<x>", close_tags += "</x>";  // 101 with the root
    auto one_sheet = [](const std::string &xml, const char *part = "", const char *find = "", const char *put = "") {
        WorkbookPackage package;
        package.sheets.push_back({"S", xml});
        PackageParts parts = package.parts();
        for (auto &[name, text] : parts)
            if (name == part) text.replace(text.find(find), std::strlen(find), put);
        return parts;
    };
    // A bad reference far into a part read by several parsers: the fault is placed in the part.
    std::string rows;
    for (int r = 1; r <= 120000; ++r)  // over 10 MB
        rows += "<row r=\"" + std::to_string(r) + "\">" + cell("A" + std::to_string(r == 80000 ? 0 : r), "<v>1234567.5</v>") +
                cell("B" + std::to_string(r), "<v>7654321.25</v>") + "</row>";
    const std::string large = worksheet_xml(rows);
    const std::string large_fault = "(" + std::to_string(large.find("<c r=\"A0\"") + 1) + "バイト目): セル参照が不正です(\"A0\")";
    PackageParts doubled = one_sheet(worksheet_xml(""));
    doubled.push_back({"XL/Workbook.xml", "<workbook/>"});
    const std::string sheet = "xl/worksheets/sheet1.xml";
    const struct {
        const char *what;
        PackageParts parts;
        const char *raw;  // written as is instead of a package when set
        int rc;
        std::vector<std::string> said;  // all in the message
    } cases[] = {
        {"no workbook part", {{"[Content_Types].xml", "<Types/>"}, {"other.xml", "<a/>"}}, nullptr, -4, {"TXLS-00900"}},
        {"not a zip", {}, "this is no workbook package at all", -4, {"TXLS-00900"}},
        {"a zip without its directory", {}, "PK\x03\x04 and then nothing of a package", -101, {"TXLS-03101"}},
        {"nesting 101 deep", one_sheet(worksheet_xml("", open_tags + close_tags)), nullptr, -1, {"tsx_read_excel2007() rc=-9: " + sheet + "(", "要素の入れ子が深すぎます"}},
        {"an 81-byte tag name", one_sheet(worksheet_xml("", "<" + std::string(81, 'n') + "/>")), nullptr, -1, {"rc=-9: " + sheet + "(", "名前が長すぎます"}},
        {"mismatched tags", one_sheet("<worksheet><sheetData><row></sheetData></worksheet>"), nullptr, -1, {"rc=-1: " + sheet + "(", "要素が閉じないまま終わっています"}},
        {"a wrong end tag", one_sheet("<worksheet><sheetData/></sheet></worksheet>"), nullptr, -1, {"rc=-1: " + sheet + "(24バイト目): 終了タグが開始タグと対応していません"}},
        {"a bad cell reference", one_sheet(worksheet_xml("<row r=\"1\"><c r=\"A0\"/></row>")), nullptr, -1, {"rc=-1: " + sheet + "(", "セル参照が不正です(\"A0\")"}},
        {"a bad cell reference in a large part", one_sheet(large), nullptr, -1, {"rc=-1: " + sheet + large_fault}},
        {"a DOCTYPE", one_sheet(worksheet_xml(""), "xl/workbook.xml", "<workbook", "<!DOCTYPE workbook [<!ENTITY x \"y\">]><workbook"), nullptr, -1,
         {"rc=-1: xl/workbook.xml(22バイト目): DOCTYPE宣言は受け付けません"}},
        {"two entries of one name", doubled, nullptr, -1, {"rc=-1: XL/Workbook.xml: 同じ名前のエントリが複数あります"}},
        {"only an external sheet", one_sheet(worksheet_xml(""), "xl/_rels/workbook.xml.rels", "Target=", "TargetMode=\"External\" Target="), nullptr, -1,
         {"rc=-1: xl/workbook.xml: パッケージ内のシートがありません"}},
        {"an entry leaving the folder", {{"../evil.xml", "<a/>"}, {"xl/workbook.xml", "<workbook/>"}}, nullptr, -4, {"TXLS-00900", "../evil.xml: エントリ名が不正です"}},
    };
    for (const auto &c : cases) {
        std::string path = folder / "refused.xlsx";
        std::filesystem::remove(path);
        if (c.raw) folder.write("refused.xlsx", c.raw);
        else ASSERT_TRUE(write_package(path, c.parts)) << c.what;
        EXPECT_EQ(open_path(path), c.rc) << c.what;
        for (const std::string &said : c.said) EXPECT_NE(message().find(said), std::string::npos) << c.what << ": " << message();
        EXPECT_EQ(book.work, nullptr) << c.what;
    }
}

TEST_F(ReaderTest, NoStaleFormulaResultSurvivesASave) {
    WorkbookPackage package;
    package.sheets.push_back({"S", worksheet_xml("<row r=\"1\">" + cell("A1", "<v>1</v>") + cell("B1", "<f>SUM(A1:A2)</f><v>3</v>") +
                                                 cell("C1", "<f>A1/3</f><v>0.33333333333333331</v>") + cell("D1", "<f>_xlfn.NOSUCH(A1)</f><v>7</v>") +
                                                 "</row><row r=\"2\">" + cell("A2", "<v>2</v>") + "</row>")});
    const std::string path = save(package);
    // Saved untouched: every cached value stays as the package had it.
    ASSERT_EQ(open_path(path, "UPDATE"), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    ASSERT_EQ(open_path(path), 0) << message();
    EXPECT_EQ(value("C1"), "0.3333333333333333");
    EXPECT_EQ(package_entry(path, "xl/workbook.xml").find("fullCalcOnLoad"), std::string::npos);
    // A value changed: what the engine computes is stored, what it cannot loses its old value and
    // the workbook asks to be computed on opening; an unchanged result keeps its exact cached value.
    ASSERT_EQ(open_path(path, "UPDATE"), 0) << message();
    ASSERT_EQ(TXLS_put_cell(&book, "A2", "10"), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    ASSERT_EQ(open_path(path), 0) << message();
    EXPECT_EQ(get("B1"), (Got{"11", "FORMULA:SUM(A1:A2)"}));
    EXPECT_EQ(value("C1"), "0.3333333333333333");
    EXPECT_EQ(get("D1"), (Got{"", "FORMULA:_xlfn.NOSUCH(A1)"}));
    EXPECT_NE(package_entry(path, "xl/workbook.xml").find("fullCalcOnLoad=\"1\""), std::string::npos);
}

}  // namespace
}  // namespace tabsmith::testing
