// Values, settings and names that must come back as they went in: percentages through a save
// and a read, statements on a book without sheets, data files in their own encoding, the names
// of books filled from templates, and the diagnostic lines of failed reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/fixtures.h"
#include "common/package_builder.h"
#include "common/package_reader.h"

namespace tabsmith::testing {
namespace {

using Got = std::pair<std::string, std::string>;

class ReadBack : public BookTest {
protected:
    TempFolder folder;
};

TEST_F(ReadBack, PercentagesStayPercentages) {
    // Written by the engine: a percent value, and a number given the percent format.
    const std::string written = folder / "written.xlsx";
    ASSERT_EQ(open(("MODE=CREATE CHARSET=UTF8 BOOK=\"" + written + "\"").c_str()), 0);
    ASSERT_EQ(TXLS_put_values(&book, "A1=8.25% A2=0.5 A2.FORMAT=パーセント A3=0.5"), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    // Written by another program: the built-in percent formats and codes of its own.
    WorkbookPackage package;
    package.styles = styles_xml("<numFmts><numFmt numFmtId=\"170\" formatCode=\"0.0%\"/>"
                                "<numFmt numFmtId=\"171\" formatCode=\"0&quot;%&quot;\"/>"
                                "<numFmt numFmtId=\"172\" formatCode=\"0\\%\"/></numFmts>",
                                "<xf numFmtId=\"0\"/><xf numFmtId=\"9\"/><xf numFmtId=\"10\"/><xf numFmtId=\"170\"/>"
                                "<xf numFmtId=\"172\"/>");
    package.sheets.push_back({"S", worksheet_xml("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>0.25</v></c>"
                                                 "<c r=\"B1\" s=\"2\"><v>0.0825</v></c><c r=\"C1\" s=\"3\"><v>0.1234</v></c>"
                                                 "<c r=\"D1\" s=\"4\"><v>12</v></c><c r=\"E1\"><v>0.25</v></c></row>")});
    const std::string other = folder / "other.xlsx";
    ASSERT_TRUE(write_package(other, package.parts()));

    const struct {
        const std::string &path;
        const char *mode, *cell;
        Got expected;
    } cases[] = {
        {written, "READ", "A1", {"8.25%", "PERCENT"}},  {written, "READ", "A2", {"50.0%", "PERCENT"}},
        {written, "READ", "A3", {"0.5", "FLOAT"}},      {written, "UNLOAD", "A1", {"8.25%", "PERCENT"}},
        {other, "READ", "A1", {"25.0%", "PERCENT"}},      {other, "UNLOAD", "A1", {"25.0%", "PERCENT"}},
        {other, "UNLOAD", "B1", {"8.25%", "PERCENT"}},  {other, "UNLOAD", "C1", {"12.34%", "PERCENT"}},
        {other, "READ", "D1", {"12", "INTEGER"}},       {other, "READ", "E1", {"0.25", "FLOAT"}},
    };
    for (const auto &c : cases) {
        TXLS_free_book(&book);
        ASSERT_EQ(open(("CHARSET=UTF8 MODE=" + std::string(c.mode) + " BOOK=\"" + c.path + "\"").c_str()), 0) << message();
        EXPECT_EQ(get(c.cell), c.expected) << c.path << " " << c.mode << " " << c.cell;
    }
}

// The first value or setting put into a book without sheets adds Sheet1 and makes it current,
// whichever way it arrives; book settings need no sheet, and a sheet name makes its own.
TEST_F(ReadBack, EveryStatementAboutASheetAddsTheFirst) {
    const std::string csv = "A1.CSV=\"" + folder.write("first.csv", "from csv,2\n") + "\"";
    for (const std::string statement : {"A1=5", "A1.FONT.COLOR=RED", "SHEET.ZOOM=150", "B2:D4.BORDER=THIN", "A:A.WIDTH=20",
                                        "PAPER.ORIENTATION=LANDSCAPE", "A1:C1.SPARKLINE=A2:C2", "A1.COMMENT=note", "put_cell", csv.c_str(),
                                        "BOOK.TITLE=t", "SHEET.NAME=Own"}) {
        TXLS_free_book(&book);
        ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8"), 0);
        EXPECT_EQ(statement == "put_cell" ? TXLS_put_cell(&book, "A1", "5") : TXLS_put_values(&book, statement.c_str()), 0)
            << statement << ": " << message();
        const bool book_only = statement.starts_with("BOOK."), own = statement[0] == 'S' && statement[6] == 'N';
        EXPECT_EQ(TXLS_sheet_num(&book), book_only ? 0 : 1) << statement;
        char name[64] = "";
        TXLS_sheet_name(&book, 0, name, sizeof name);
        EXPECT_STREQ(name, book_only ? "" : own ? "Own" : "Sheet1") << statement;
        if (!book_only) { EXPECT_EQ(store().current_sheet, 0) << statement; }
        if (statement == "A1=5" || statement == "put_cell" || statement == csv) { EXPECT_EQ(value("A1"), statement == csv ? "from csv" : "5"); }
    }
}

TEST_F(ReadBack, DataFilesAreReadInTheirOwnEncoding) {
    const std::string text = "品名,数量\n";
    const std::string utf16("\xFF\xFE\xC1\x54\x0D\x54\x2C\x00\x70\x65\xCF\x91\x0A\x00", 14);   // 品名,数量 in UTF-16LE
    const struct {
        const char *options;
        std::string bytes;
    } cases[] = {
        {"CHARSET=UTF8 DATA_CHARSET=SJIS", sjis(text)},   // a Shift-JIS export pasted into a UTF-8 book
        {"CHARSET=UTF8 DATA_CHARSET=EUC", euc(text)},
        {"CHARSET=SJIS", sjis(text)},                     // by default, the book's own set
        {"CHARSET=UTF8", text},
        {"CHARSET=SJIS DATA_CHARSET=EUC", "\xEF\xBB\xBF" + text},   // a byte-order mark decides
        {"CHARSET=EUC", utf16},
    };
    for (const auto &c : cases) {
        const std::string csv = folder.write("data.csv", c.bytes);
        TXLS_free_book(&book);
        ASSERT_EQ(open((std::string("MODE=CREATE ") + c.options).c_str()), 0) << c.options << ": " << message();
        const int charset = store().charset;
        ASSERT_EQ(TXLS_put_values(&book, from_utf8("A1.CSV=\"" + csv + "\"", charset).c_str()), 0) << c.options;
        EXPECT_EQ(to_utf8(value("A1"), charset), "品名") << c.options;
        EXPECT_EQ(to_utf8(value("B1"), charset), "数量") << c.options;
    }
    TXLS_free_book(&book);
    EXPECT_EQ(open("MODE=CREATE DATA_CHARSET=LATIN1"), TXLS_ERR_ARGUMENT);
    EXPECT_NE(message().find("LATIN1"), std::string::npos) << message();
}

TEST_F(ReadBack, ABookFilledFromATemplateIsNamedByTheRuleOfNewBooks) {
    const std::string form = folder / "form.xlsx", macro_form = folder / "form.xlsm";
    ASSERT_EQ(open(("MODE=CREATE BOOK=\"" + form + "\"").c_str()), 0);
    ASSERT_EQ(TXLS_put_values(&book, "A1=1"), 0);
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    std::filesystem::copy_file(form, macro_form);   // a workbook named as a macro book reads as one
    const struct {
        std::string options, saved;
    } cases[] = {
        {"BOOK=\"" + folder / "march" + "\" TEMPLATE=\"" + form + "\"", folder / "march.xlsx"},
        {"BOOK=\"" + folder / "april.xlsx" + "\" TEMPLATE=\"" + form + "\"", folder / "april.xlsx"},
        {"BOOK=\"" + folder / "may" + "\" TEMPLATE=\"" + macro_form + "\"", folder / "may.xlsm"},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(open(c.options.c_str()), 0) << c.options << ": " << message();
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
        EXPECT_TRUE(std::filesystem::exists(c.saved)) << c.options;
    }
    // The TEMPLATE statement in a new book names it the same way.
    ASSERT_EQ(open(("MODE=CREATE BOOK=\"" + folder / "june" + "\"").c_str()), 0);
    ASSERT_EQ(TXLS_put_values(&book, ("TEMPLATE=\"" + macro_form + "\"").c_str()), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    EXPECT_TRUE(std::filesystem::exists(folder / "june.xlsm"));
}

}  // namespace
}  // namespace tabsmith::testing
