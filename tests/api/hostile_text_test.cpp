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
const std::vector<std::string> &hostile_formulas() {
    static const std::vector<std::string> texts = {
        "<B1",
        "</c></row></sheetData><hyperlinks><hyperlink ref=\"A1\" r:id=\"rId9\"/></hyperlinks><sheetData><row><c>",
        "<![CDATA[x]]>",
        "<f>1</f><v>2</v>",
        "&amp;B1",
        "A1&\"<\"",
        "\"a\x01" "b\x1F" "c\"",
    };
    return texts;
}

enum class Path { kPutCell, kStatement, kCsv, kTsv, kStreamedRow };

struct PathCase {
    Path path;
    const char *what;
};

constexpr PathCase kPaths[] = {
    {Path::kPutCell, "TXLS_put_cell"}, {Path::kStatement, "statement"}, {Path::kCsv, "CSV paste"},
    {Path::kTsv, "TSV paste"},         {Path::kStreamedRow, "TXLS_write_row"},
};

std::string quoted_field(const std::string &text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// Puts "=" + formula into A2 of a new book by `path`, saves it and gives the saved file.
std::string save_formula(const TempFolder &dir, Path path, const std::string &formula, std::string &failure) {
    XLS_BOOK book{};
    const std::string target = dir / "hostile.xlsx";
    std::string options = "MODE=CREATE CHARSET=UTF8 BOOK=\"" + target + "\"";
    if (path == Path::kStreamedRow) options += " STREAM_AFTER=1";
    auto fail = [&](const char *step) {
        failure = std::string(step) + ": " + TXLS_error_mesg(&book);
        TXLS_free_book(&book);
        return std::string();
    };
    if (TXLS_open_book(&book, options.c_str()) != 0) return fail("open");
    if (TXLS_open_sheet(&book, "SHEET_NAME=Sheet1") != 0) return fail("sheet");
    if (TXLS_put_cell(&book, "A1", "head") != 0) return fail("A1");
    const std::string value = "=" + formula;
    int rc = 0;
    switch (path) {
    case Path::kPutCell:
    case Path::kStreamedRow: rc = TXLS_put_cell(&book, "A2", value.c_str()); break;
    case Path::kStatement: rc = TXLS_put_values(&book, ("A2=" + quoted_field(value)).c_str()); break;
    case Path::kCsv:
        rc = TXLS_put_values(&book, ("A2.CSV=\"" + dir.write("data.csv", quoted_field(value) + ",x\n") + "\"").c_str());
        break;
    case Path::kTsv:
        rc = TXLS_put_values(&book, ("A2.TSV=\"" + dir.write("data.tsv", quoted_field(value) + "\tx\n") + "\"").c_str());
        break;
    }
    if (rc != 0) return fail("put");
    if (path == Path::kStreamedRow && TXLS_write_row(&book, 2) != 0) return fail("write_row");
    if (TXLS_close_book(&book, "SAVE") != 0) return fail("save");
    return target;
}

// The kind text TXLS_get_cell gives for A2 of the saved book.
std::string formula_read_back(const std::string &file) {
    XLS_BOOK book{};
    std::string kind = "open failed";
    if (TXLS_open_book(&book, ("MODE=READ CHARSET=UTF8 BOOK=\"" + file + "\"").c_str()) == 0 &&
        TXLS_open_sheet(&book, "MODE=READ SHEET_NAME=Sheet1") == 0) {
        char v[1024] = "", k[1024] = "";
        TXLS_get_cell(&book, "A2", v, sizeof v, k, sizeof k);
        kind = k;
    }
    TXLS_free_book(&book);
    return kind;
}

TEST(HostileText, MarkupInAFormulaIsEscapedOnEveryPath) {
    for (const PathCase &path : kPaths) {
        for (const std::string &formula : hostile_formulas()) {
            SCOPED_TRACE(std::string(path.what) + " =" + formula);
            TempFolder dir;
            std::string failure;
            const std::string file = save_formula(dir, path.path, formula, failure);
            ASSERT_FALSE(file.empty()) << failure;
            EXPECT_EQ(package_fault(file), "");
            EXPECT_EQ(formula_read_back(file), "FORMULA:" + formula);
        }
    }
}

// A template whose formulas decode to markup, and whose <f> and <sheet> attributes are quoted
// with apostrophes around a quotation mark: all are written back as text, never as markup.
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

    ASSERT_EQ(TXLS_open_book(&book, ("MODE=READ CHARSET=UTF8 BOOK=\"" + target + "\"").c_str()), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "MODE=READ SHEET_NAME=Sheet1"), 0);
    for (const auto &[cell, kind] : {std::pair{"A1", "FORMULA:<B1"}, {"C1", "FORMULA:</c><x>"}}) {
        char v[256] = "", k[256] = "";
        TXLS_get_cell(&book, cell, v, sizeof v, k, sizeof k);
        EXPECT_STREQ(k, kind) << cell;
    }
    TXLS_free_book(&book);
}

}  // namespace
}  // namespace tabsmith::testing
