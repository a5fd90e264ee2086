// Values, settings and names that must come back as they went in: percentages through a save
// and a read, statements on a book without sheets, data files in their own encoding, the names
// of books filled from templates, and the diagnostic lines of failed reads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "api/book_init.h"
#include "common/fixtures.h"
#include "common/package_builder.h"
#include "common/package_reader.h"
#include "readers/xls_reader.h"

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

TEST_F(ReadBack, CopiedTemplateSheetsKeepTheirNamesAndTitles) {
    // A template of two worksheets and a chart sheet, with names local to each worksheet, a name
    // of the whole book and the sheet titles of the extended properties.
    WorkbookPackage package;
    package.sheets = {{"Form", worksheet_xml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")}, {"Data", worksheet_xml("")}};
    PackageParts parts = package.parts();
    const std::string relationships = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    for (auto &part : parts) {
        const std::string &name = part.first;
        std::string &text = part.second;
        auto replace = [&text](const std::string &from, const std::string &to) { text.replace(text.find(from), from.size(), to); };
        if (name == "xl/workbook.xml")
            replace("</sheets>", "<sheet name=\"Graph\" sheetId=\"9\" r:id=\"rIdC\"/></sheets><definedNames>"
                                 "<definedName name=\"_xlnm.Print_Titles\" localSheetId=\"0\">Form!$1:$2</definedName>"
                                 "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"1\">'Data'!$A$1:$C$9</definedName>"
                                 "<definedName name=\"Total\">SUM(Form!$B$3,\"Form!\")</definedName></definedNames>");
        if (name == "xl/_rels/workbook.xml.rels")
            replace("</Relationships>", "<Relationship Id=\"rIdC\" Type=\"" + relationships +
                                            "/chartsheet\" Target=\"chartsheets/sheet1.xml\"/></Relationships>");
        if (name == "_rels/.rels")
            replace("</Relationships>", "<Relationship Id=\"rId2\" Type=\"" + relationships +
                                            "/extended-properties\" Target=\"docProps/app.xml\"/></Relationships>");
    }
    parts.emplace_back("xl/chartsheets/sheet1.xml", std::string("<chartsheet xmlns=\"") + kMainNs + "\"/>");
    parts.emplace_back("docProps/app.xml",
                       "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
                       "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\"><HeadingPairs>"
                       "<vt:vector size=\"4\" baseType=\"variant\"><vt:variant><vt:lpstr>Worksheets</vt:lpstr></vt:variant>"
                       "<vt:variant><vt:i4>2</vt:i4></vt:variant><vt:variant><vt:lpstr>Charts</vt:lpstr></vt:variant>"
                       "<vt:variant><vt:i4>1</vt:i4></vt:variant></vt:vector></HeadingPairs><TitlesOfParts>"
                       "<vt:vector size=\"3\" baseType=\"lpstr\"><vt:lpstr>Form</vt:lpstr><vt:lpstr>Data</vt:lpstr>"
                       "<vt:lpstr>Graph</vt:lpstr></vt:vector></TitlesOfParts><Company>C</Company></Properties>");
    const std::string form = folder / "form.xlsx", saved = folder / "saved.xlsx";
    ASSERT_TRUE(write_package(form, parts));

    ASSERT_EQ(open(("CHARSET=UTF8 BOOK=\"" + saved + "\" TEMPLATE=\"" + form + "\"").c_str()), 0) << message();
    ASSERT_EQ(TXLS_open_sheet(&book, "MODE=TEMPLATE TEMPLATE=Form SHEET_NAME=Form'2"), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    const ReadPackage read = read_package_file(saved);
    EXPECT_EQ(package_fault(read), "");
    const std::string workbook = read.text("xl/workbook.xml"), app = read.text("docProps/app.xml");
    for (const char *fact : {
             ">Form!$1:$2<", "\"Graph\" sheetId=\"9\"", "'Data'!$A$1:$C$9<",
             "localSheetId=\"3\">&apos;Form&apos;&apos;2&apos;!$1:$2<", ">SUM(Form!$B$3,\"Form!\")<"})
        EXPECT_NE(workbook.find(fact), std::string::npos) << fact << " in " << workbook;
    EXPECT_LT(workbook.find("\"Data\""), workbook.find("\"Graph\""));
    EXPECT_LT(workbook.find("\"Graph\""), workbook.find("\"Form&apos;2\""));
    EXPECT_NE(app.find("<vt:i4>3</vt:i4>"), std::string::npos) << app;
    EXPECT_NE(app.find("<vt:vector size=\"4\" baseType=\"lpstr\"><vt:lpstr>Form</vt:lpstr><vt:lpstr>Data</vt:lpstr>"
                       "<vt:lpstr>Form&apos;2</vt:lpstr><vt:lpstr>Graph</vt:lpstr>"),
              std::string::npos) << app;
    EXPECT_NE(app.find("<Company>C</Company>"), std::string::npos);
}

TEST_F(ReadBack, SharedFormulasGiveEachCellItsOwnFormula) {
    WorkbookPackage package;
    package.sheets.push_back({"S", worksheet_xml(
        "<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f t=\"shared\" ref=\"B1:B3\" si=\"0\">A1*2</f><v>2</v></c>"
        "<c r=\"C1\"><f t=\"shared\" ref=\"C1:D1\" si=\"1\">$A1+A$1+\"A1\"</f><v>2</v></c><c r=\"D1\"><f t=\"shared\" si=\"1\"/><v>2</v></c></row>"
        "<row r=\"2\"><c r=\"A2\"><v>2</v></c><c r=\"B2\"><f t=\"shared\" si=\"0\"/><v>4</v></c></row>"
        "<row r=\"3\"><c r=\"B3\"><f t=\"shared\" si=\"0\"></f><v>0</v></c></row>")});
    const std::string form = folder / "shared.xlsx", saved = folder / "saved.xlsx";
    ASSERT_TRUE(write_package(form, package.parts()));
    const struct {
        const char *cell, *kind;
    } cases[] = {
        {"B1", "FORMULA:A1*2"}, {"B2", "FORMULA:A2*2"}, {"B3", "FORMULA:A3*2"},
        {"C1", "FORMULA:$A1+A$1+\"A1\""}, {"D1", "FORMULA:$A1+B$1+\"A1\""},
    };
    // Read as it is, and again after a save into the package kept the shared formula.
    for (const std::string &path : {form, saved}) {
        TXLS_free_book(&book);
        ASSERT_EQ(open(("CHARSET=UTF8 MODE=READ BOOK=\"" + path + "\"").c_str()), 0) << message();
        for (const auto &c : cases) EXPECT_EQ(get(c.cell).second, c.kind) << path << " " << c.cell;
        TXLS_free_book(&book);
        ASSERT_EQ(open(("CHARSET=UTF8 BOOK=\"" + saved + "\" TEMPLATE=\"" + form + "\"").c_str()), 0) << message();
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    }
    const std::string sheet = package_entry(saved, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<c r=\"B2\"><f t=\"shared\" si=\"0\"></f>"), std::string::npos) << sheet;
}

TEST_F(ReadBack, FailedReadsAndTemporaryFilesLeaveADiagnosticLine) {
    std::string header(1024, '\0');
    header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    const std::string order = folder.write("order.xls", header), missing = folder / "missing.xls";
    const std::string broken = folder.write("broken.xlsx", "PK\x03\x04 not a package");
    const struct {
        std::string path;
        bool xls;
        std::string line;
    } cases[] = {
        {missing, true, "ORV-03000: "},
        {order, true, "Invalid Byte Order"},
        {broken, false, "ORV-0"},
    };
    for (const auto &c : cases) {
        Book read;
        std::string reason;
        const int rc = c.xls ? read_xls_workbook(read, c.path, false, &reason) : read_workbook(read, c.path, false, false);
        EXPECT_NE(rc, 0) << c.path;
        ASSERT_EQ(read.diagnostics.lines().size(), 1u) << c.path;
        EXPECT_NE(read.diagnostics.lines().back().find(c.line), std::string::npos) << read.diagnostics.lines().back();
    }
    // Streamed rows whose temporary folder cannot be made.
    const std::string blocked = folder.write("blocked", "a file where the folder would go");
    const char *saved = std::getenv("TEMP");
    const std::string before = saved ? saved : "";
    ::setenv("TEMP", (blocked + "/sub").c_str(), 1);
    ASSERT_EQ(open(("MODE=CREATE STREAM_AFTER=1 BOOK=\"" + folder / "s.xlsx" + "\"").c_str()), 0);
    ASSERT_EQ(TXLS_put_values(&book, "A1=1 A2=2"), 0);
    EXPECT_NE(TXLS_write_row(&book, 2), 0);
    saved ? ::setenv("TEMP", before.c_str(), 1) : ::unsetenv("TEMP");
    ASSERT_FALSE(store().diagnostics.lines().empty());
    EXPECT_NE(store().diagnostics.lines().back().find("ORV-03000: "), std::string::npos);
}

}  // namespace
}  // namespace tabsmith::testing
