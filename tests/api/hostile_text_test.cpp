// Caller text that looks like markup, through every way a value reaches a sheet: the saved parts
// stay well-formed and the text reads back as it was given.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fixtures.h"
#include "common/package_builder.h"
#include "common/package_reader.h"
#include "tabsmith.h"

namespace tabsmith::testing {
namespace {

// Formula texts (after the "=") that a writer taking its first characters as a cue would put
// into the part as markup.
const char *const kHostileFormulas[] = {
    "<B1",
    "</c></row></sheetData><hyperlinks><hyperlink ref=\"A1\" r:id=\"rId9\"/></hyperlinks><sheetData><row><c>",
    "<![CDATA[x]]>",
    "<f>1</f><v>2</v>",
    "&amp;B1",
    "A1&\"<\"",
    "\"a\x01" "b\x1F" "c\"",
};

std::string quoted_field(const std::string &text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? "\"\"" : std::string(1, c);
    return out + "\"";
}

// The kind text TXLS_get_cell gives for `cell` of the saved book.
std::string kind_read_back(const std::string &file, const char *cell) {
    XLS_BOOK book{};
    char v[1024] = "", k[1024] = "open failed";
    if (TXLS_open_book(&book, ("MODE=READ CHARSET=UTF8 BOOK=\"" + file + "\"").c_str()) == 0 &&
        TXLS_open_sheet(&book, "MODE=READ SHEET_NAME=Sheet1") == 0)
        TXLS_get_cell(&book, cell, v, sizeof v, k, sizeof k);
    TXLS_free_book(&book);
    return k;
}

// Each formula put into A2 of a new book by every path a value takes, the book saved.
TEST(HostileText, MarkupInAFormulaIsEscapedOnEveryPath) {
    const char *const paths[] = {"TXLS_put_cell", "statement", "CSV paste", "TSV paste", "TXLS_write_row"};
    for (const char *path : paths) {
        for (const std::string formula : kHostileFormulas) {
            SCOPED_TRACE(std::string(path) + " =" + formula);
            TempFolder dir;
            const std::string target = dir / "hostile.xlsx", value = "=" + formula, streamed = path == paths[4] ? " STREAM_AFTER=1" : "";
            XLS_BOOK book{};
            ASSERT_EQ(TXLS_open_book(&book, ("MODE=CREATE CHARSET=UTF8 BOOK=\"" + target + "\"" + streamed).c_str()), 0);
            ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet1"), 0);
            ASSERT_EQ(TXLS_put_cell(&book, "A1", "head"), 0);
            int rc = 0;
            if (path == paths[0] || path == paths[4]) rc = TXLS_put_cell(&book, "A2", value.c_str());
            if (path == paths[1]) rc = TXLS_put_values(&book, ("A2=" + quoted_field(value)).c_str());
            if (path == paths[2]) rc = TXLS_put_values(&book, ("A2.CSV=\"" + dir.write("data.csv", quoted_field(value) + ",x\n") + "\"").c_str());
            if (path == paths[3]) rc = TXLS_put_values(&book, ("A2.TSV=\"" + dir.write("data.tsv", quoted_field(value) + "\tx\n") + "\"").c_str());
            EXPECT_EQ(rc, 0) << TXLS_error_mesg(&book);
            if (path == paths[4]) { EXPECT_EQ(TXLS_write_row(&book, 2), 0) << TXLS_error_mesg(&book); }
            ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << TXLS_error_mesg(&book);
            EXPECT_EQ(package_fault(target), "");
            EXPECT_EQ(kind_read_back(target, "A2"), "FORMULA:" + formula);
            TXLS_free_book(&book);
        }
    }
}

TEST(HostileText, TemplateFormulasAndTheirAttributesStayText) {
    TempFolder dir;
    WorkbookPackage form;
    form.sheets.push_back({"Sheet1\" y='\"/&gt;&lt;x' z=\"", worksheet_xml(
        "<row r=\"1\"><c r=\"A1\"><f>&lt;B1</f></c>"
        "<c r=\"B1\"><f t='shared' ref='B1:B2' si='0' aca='\"/&gt;&lt;x y=\"'>1+1</f><v>2</v></c></row>"
        "<row r=\"2\"><c r=\"B2\"><f t=\"shared\" si=\"0\"/><v>2</v></c></row>")});
    const std::string source = dir / "form.xlsx";
    ASSERT_TRUE(write_package(source, form.parts()));
    const std::string target = dir / "filled.xlsx";

    XLS_BOOK book{};
    ASSERT_EQ(TXLS_open_book(&book, ("CHARSET=UTF8 BOOK=\"" + target + "\" TEMPLATE=\"" + source + "\"").c_str()), 0)
        << TXLS_error_mesg(&book);
    ASSERT_EQ(TXLS_open_sheet(&book, "MODE=READ SHEET_NAME=Sheet1"), 0) << TXLS_error_mesg(&book);
    ASSERT_EQ(TXLS_put_cell(&book, "C1", "=</c><x>"), 0);
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << TXLS_error_mesg(&book);

    EXPECT_EQ(package_fault(target), "");
    const std::string sheet = package_entry(target, "xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<f>&lt;B1</f>"), std::string::npos) << sheet;
    EXPECT_NE(sheet.find("aca=\"&quot;/&gt;&lt;x y=&quot;\""), std::string::npos) << sheet;

    EXPECT_EQ(kind_read_back(target, "A1"), "FORMULA:<B1");
    EXPECT_EQ(kind_read_back(target, "C1"), "FORMULA:</c><x>");
}

}  // namespace
}  // namespace tabsmith::testing
