// The worksheet part: the golden sheet holds cells of every form, rows and columns with their
// styles, merges, view, protection, filter, header/footer, breaks and sparklines; variants by facts.

#include <gtest/gtest.h>

#include <string>

#include "cells/values.h"
#include "common/fixtures.h"
#include "model/book.h"
#include "common/golden.h"
#include "xlsx_write/password_hash.h"
#include "xlsx_write/sparkline_ext.h"
#include "xlsx_write/worksheet_part.h"

// Records are written with designated initializers; the fields left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tabsmith {
namespace {

using testing::golden, testing::has, testing::slice;

class WorksheetPart : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(add_sheet(book, "Sheet1"), 0); }
    Sheet &sheet() { return *book.sheets[0]; }
    // A cell slot as the store makes it, marked used.
    Cell &slot(int row, int column) {
        EXPECT_EQ(ensure_cell(book, sheet(), row, column), 0);
        Row &r = sheet().rows[static_cast<std::size_t>(row)];
        sheet().rows_used = std::max(sheet().rows_used, row + 1);
        r.used = std::max<std::uint16_t>(r.used, static_cast<std::uint16_t>(column + 1));
        return r.cells[static_cast<std::size_t>(column)];
    }
    void put(int row, int column, const char *value) { ASSERT_EQ(put_cell_value(book, 0, row, column, value), 0); }
    Cell &formula(int row, int column, const char *text, CellKind kind = kCellFormula) {
        Cell &cell = slot(row, column);
        cell.kind = kind;
        cell.set_formula(text);
        return cell;
    }
    Row &row(int index, double height = 0, int style = -1) {
        EXPECT_EQ(ensure_row(book, sheet(), index), 0);
        Row &r = sheet().rows[static_cast<std::size_t>(index)];
        if (height) (r.attributes = std::make_unique<RowAttributes>())->height = height;
        if (style >= 0) r.style = static_cast<std::uint16_t>(style);
        return r;
    }
    std::string write() {
        std::string out;
        EXPECT_EQ(tsx_write_worksheet(book, 0, out), 0);
        return out;
    }
    std::string cell_text(int row, int column) {
        std::string out;
        EXPECT_EQ(tsx_write_cell(book, 0, row, column, out), 0);
        return out;
    }
    Book book;
};

class Sparklines : public testing::SheetTest {
protected:
    std::string ext(int sheet = 0) {
        std::string out;
        write_sparkline_ext(store(), sheet, out);
        return out;
    }
    void statements(const std::string &text) { ASSERT_EQ(TXLS_put_values(&book, text.c_str()), 0) << text << ": " << message(); }
};

}  // namespace

// Row 1: every cell form. Rows 2-6: hidden rows and heights. Rows 7-11: row styles against the
// column style of K (a cell's own style wins, then its kind's default, then the row's, the
// default format too, then the column's). Rows 13-14: a merge hides the values inside it.
TEST_F(WorksheetPart, EverythingASheetHoldsIsTheGoldenPart) {
    int column = 0;
    for (const char *value : {"abc", "42", "3.25", "25%", "2024/01/15", "2024/01/15 12:00:00", "18:00", "00:00:01"}) put(0, column++, value);
    formula(0, 8, "B1*2");
    formula(0, 9, "B1*2", kCellFormulaValue).set_text("84");
    for (auto [r, c, value] : {std::tuple{1, 0, "2"}, {2, 0, "3"}, {3, 1, "4"}, {6, 0, "1"}, {6, 10, "2"}, {6, 2, "3"}, {7, 10, "4"},
                               {8, 10, "5"}, {12, 0, "top"}, {13, 0, "lost"}, {13, 2, "outside"}})
        put(r, c, value);
    sheet().rows[1].hidden_flag = row(3, 2000).hidden_flag = 0;
    row(2, 1550), row(5, 1200), row(6, 0, 5), row(8, 0, 0), row(9, 1200, 6), row(10, 0, 7);
    slot(6, 2).style = 9;
    slot(6, 3).kind = kCellDate;
    slot(6, 3).set_integer(100);
    slot(12, 1).style = 5;
    sheet().merges.push_back(MergeArea{12, 0, 13, 1});
    sheet().columns[10].style = 8;   // a style and no width
    sheet().columns[3] = {12.5, 9};
    sheet().columns[5].width = -1;   // a width and no style
    SheetSettings &s = sheet().settings;
    s.tab_color = ColorValue{kColorRgb, 0x12, 0xab, 0xcd};
    s.page.fit_to_page = s.selected = s.is_protected = true;
    s.grid_lines = s.headings = false;
    s.code_name = "Data&Co";
    s.selected_row = s.top_row = 4;
    s.selected_column = 2;
    s.zoom = 85;
    s.default_row_height = 1800;
    s.password = "test";
    s.filter_row1 = s.filter_column1 = 0;
    s.filter_row2 = 9;
    s.filter_column2 = 3;
    ASSERT_EQ(book.styles.append(FontRecord{.name_id = 31, .size = 14, .style = kFontBold | kFontItalic | kFontUnderline, .colour = 11}), 0);
    s.header[1] = HeaderFooterSection{true, "&P/&N", -1};
    s.footer[0] = HeaderFooterSection{true, "<Total>", static_cast<int>(book.styles.fonts().size()) - 1};
    s.footer[2] = HeaderFooterSection{true, "x", 9999};   // past the font table: the default font
    s.row_breaks = {5, 10};
    s.column_breaks = {2, 7};
    put(11, 10, "6");
    slot(11, 10).style = 9;   // a cell's own style over its column's
    // Row 16: formulas with cached values (numbers in their shortest round-trip form, texts,
    // errors) or without, markup in a formula as text, general texts, an empty cell with a style
    // and one without (not written). Row 17: date-time fractions.
    const std::tuple<CellKind, const char *, const char *> cells[] = {
        {kCellFormulaValue, "1+2", "3"}, {kCellFormulaValue, "0.1+0.2", ""}, {kCellFormulaValue, "A1&\"<x>\"", "0.3<x>"},
        {kCellFormulaValue, "1/0", "#DIV/0!"}, {kCellFormula, "IF(A2<>\"\",A2&\"x\",\"\")", ""}, {kCellFormula, "<f t=\"shared\" si=\"0\"/>", ""},
        {kCellText, nullptr, "-12.5"}, {kCellText, nullptr, " a&b"}, {kCellEmpty, nullptr, ""}, {kCellEmpty, nullptr, ""}};
    for (int k = 0; k < 10; ++k) {
        auto [kind, text_of_formula, text] = cells[k];
        Cell &cell = slot(15, k);
        cell.kind = kind;
        if (text_of_formula) cell.set_formula(text_of_formula);
        if (*text) cell.set_text(text);
    }
    slot(15, 1).set_number(0.1 + 0.2);
    slot(15, 3).style = 9;
    slot(15, 8).style = 12;
    column = 0;
    for (const char *fraction : {"", "0", ".5", "0.25", "1e-05", "1.5", "bad"}) {
        Cell &date = slot(16, column++);
        date.kind = kCellDateTime;
        date.set_integer(45000);
        date.set_text(fraction);
    }
    // The sparklines of A1:E5's rows down F1:F5 end the part.
    sheet().sparklines.push_back(Sparkline{.data_row2 = 4, .data_column2 = 4, .place_column1 = 5, .place_row2 = 4, .place_column2 = 5});
    EXPECT_EQ(write(), testing::golden("worksheet.xml"));
    // Cells written one by one are those of the part.
    EXPECT_EQ(cell_text(6, 10), R"(<c r="K7" s="5"><v>2</v></c>)");
    EXPECT_EQ(cell_text(8, 10), R"(<c r="K9"><v>5</v></c>)");
    EXPECT_EQ(cell_text(13, 0), R"(<c r="A14" s="1"/>)");
    // Without a styled column, every column up to the last with a width or cell is listed.
    for (auto &c : sheet().columns) c.style = 0;
    const std::string cols = slice(write(), "<cols>", "<sheetData>");
    for (const char *col : {R"(<cols><col min="1" max="1" width="8.380" bestFit="1" customWidth="1"/>)",
                            R"(<col min="4" max="4" width="12.500" bestFit="1" customWidth="1"/>)",
                            R"(<col min="6" max="6" width="0.000" bestFit="1" customWidth="1"/>)",
                            R"(<col min="11" max="11" width="8.380" bestFit="1" customWidth="1"/></cols>)"})
        EXPECT_TRUE(has(cols, col));
}

TEST_F(WorksheetPart, PlainSheetsAndSheetProperties) {
    ASSERT_EQ(add_sheet(book, "Other"), 1);
    std::string plain;
    ASSERT_EQ(tsx_write_worksheet(book, 1, plain), 0);
    EXPECT_EQ(slice(plain, "<sheetPr", "<sheetData>"),
              R"(<sheetPr codeName="Sheet2" /><dimension ref="A1:A1"/><sheetViews><sheetView tabSelected="0" zoomScale="100" )"
              R"(workbookViewId="0" showGridLines="1"><selection activeCell="A1" sqref="A1" /></sheetView></sheetViews>)"
              R"(<sheetFormatPr defaultRowHeight="13.5"/>)");
    EXPECT_TRUE(has(plain, "<sheetData></sheetData><pageMargins left=\"0.699999\" right=\"0.699999\" top=\"0.749999\" "
                           "bottom=\"0.749999\" header=\"0.299999\" footer=\"0.299999\" /><pageSetup paperSize=\"9\" scale=\"100\" "
                           "orientation=\"portrait\" verticalDpi=\"600\" r:id=\"rId1\"/></worksheet>"));
    EXPECT_FALSE(has(plain, "<cols>"));
    const auto sheet_pr = [&] { return slice(write(), "<sheetPr", "<dimension"); };
    sheet().settings.tab_color.index = 11;   // the palette's red
    EXPECT_EQ(sheet_pr(), R"(<sheetPr codeName="Sheet1"><tabColor rgb="FFFF0000"/></sheetPr>)");
    book.settings.suppress_code_names = true;
    sheet().settings.page.fit_to_page = true;
    EXPECT_EQ(sheet_pr(), R"(<sheetPr><tabColor rgb="FFFF0000"/><pageSetUpPr fitToPage="1"/></sheetPr>)");
    sheet().settings.tab_color = ColorValue{};
    sheet().settings.page.fit_to_page = false;
    EXPECT_EQ(sheet_pr(), "(no <sheetPr)");
    for (auto [zoom, written] : {std::pair{1000, "zoomScale=\"400\""}, {-5, "zoomScale=\"10\""}}) {
        sheet().settings.zoom = zoom;   // clamped to the range of the view
        EXPECT_TRUE(has(write(), written));
    }
}

// Cached values are dropped when the book does not compute; a cell of no known kind, or out of
// the sheet, fails.
TEST_F(WorksheetPart, CellsWithoutCachedValuesAndRefusals) {
    formula(0, 0, "1+2", kCellFormulaValue).set_text("3");
    book.settings.recalc = false;
    EXPECT_EQ(cell_text(0, 0), "<c r=\"A1\"><f>1+2</f></c>");
    Cell &tabbed = slot(1, 0);  // a tab at the end is kept like a blank, as a reference readers cannot fold
    tabbed.kind = kCellText;
    tabbed.set_text("tab\t");
    EXPECT_EQ(cell_text(1, 0), "<c r=\"A2\" t=\"inlineStr\"><is><t xml:space=\"preserve\">tab&#x9;</t></is></c>");
    std::string out;
    EXPECT_EQ(tsx_write_cell(book, 0, 5000, 0, out), -1);
    EXPECT_EQ(tsx_write_cell(book, 3, 0, 0, out), -1);
    slot(0, 0).kind = 99;
    EXPECT_EQ(tsx_write_cell(book, 0, 0, 0, out), -1);
    EXPECT_EQ(tsx_write_worksheet(book, 0, out), -1);
    EXPECT_EQ(tsx_write_worksheet(book, 1, out), -1);
}

// Frozen kinds win over a stale split; a split past the sheet is none. The first shown row
// scrolls the unfrozen area under frozen rows (unless above the split), and the view otherwise.
TEST_F(WorksheetPart, PanesSplitsAndTheFirstShownRow) {
    const std::string row = R"(<selection pane="bottomLeft"/>)", column = R"(<selection pane="topRight"/>)";
    const struct {
        FrozenPane frozen;
        int split_row, split_column, top_row;
        std::string view;   // after showGridLines="1"
    } cases[] = {
        {FrozenPane::kFirstRow, 5, 5, -1, R"(><pane ySplit="1" topLeftCell="A2" activePane="bottomLeft" state="frozen"/>)" + row},
        {FrozenPane::kFirstColumn, -1, -1, -1, R"(><pane xSplit="1" topLeftCell="B1" activePane="topRight" state="frozen"/>)" + column},
        {FrozenPane::kNone, 1, 1, -1, R"(><pane xSplit="1" ySplit="1" topLeftCell="B2" activePane="bottomRight" state="frozen"/>)" +
                                          column + row + R"(<selection pane="bottomRight"/>)"},
        {FrozenPane::kNone, 0, 3, -1, R"(><pane xSplit="3" topLeftCell="D1" activePane="topRight" state="frozen"/>)" + column},
        {FrozenPane::kNone, 4, 0, -1, R"(><pane ySplit="4" topLeftCell="A5" activePane="bottomLeft" state="frozen"/>)" + row},
        {FrozenPane::kNone, 0, 0, -1, R"(><selection activeCell="A1" sqref="A1" />)"},
        {FrozenPane::kNone, 1048576, 0, -1, R"(><selection activeCell="A1" sqref="A1" />)"},
        {FrozenPane::kNone, 2, 2, 10, R"(><pane xSplit="2" ySplit="2" topLeftCell="C11" activePane="bottomRight" state="frozen"/>)"},
        {FrozenPane::kNone, 6, 0, 3, R"(><pane ySplit="6" topLeftCell="A7" activePane="bottomLeft" state="frozen"/>)"},
        {FrozenPane::kNone, 0, 2, 10, R"( topLeftCell="A11"><pane xSplit="2" topLeftCell="C11" activePane="topRight" state="frozen"/>)"},
        {FrozenPane::kNone, -1, -1, 0, R"( topLeftCell="A1"><selection activeCell="A1" sqref="A1" />)"},
        {FrozenPane::kNone, -1, -1, 9, R"( topLeftCell="A10"><selection activeCell="A1" sqref="A1" />)"},
        {FrozenPane::kNone, -1, -1, 1048576, R"(><selection activeCell="A1" sqref="A1" />)"},
    };
    for (const auto &c : cases) {
        SheetSettings &s = sheet().settings;
        s.frozen = c.frozen, s.split_row = c.split_row, s.split_column = c.split_column, s.top_row = c.top_row;
        EXPECT_TRUE(has(write(), "showGridLines=\"1\"" + c.view)) << c.split_row << "," << c.split_column << " top " << c.top_row;
    }
}

// The password hash folds each character's bits past bit 14 back to the bottom: for "test",
// 't' 0x74<<1 ^ 'e' 0x65<<2 ^ 's' 0x73<<3 ^ 't' 0x74<<4 = 0x05A4, ^ length 4 ^ 0xCE4B = 0xCBEB.
TEST_F(WorksheetPart, ProtectionWithoutPasswordAndAnIncompleteFilter) {
    for (auto [password, hash] : {std::pair{"test", 0xCBEB}, {"x", 0xCEBA}, {"abcdefghij", 0xFEF1}, {"", 0xCE4B}})
        EXPECT_EQ(password_hash(password), hash) << password;
    sheet().settings.is_protected = true;
    sheet().settings.filter_row1 = sheet().settings.filter_column1 = 0;
    sheet().settings.filter_row2 = 9;   // the last column never set: no filter
    EXPECT_TRUE(has(write(), R"(sort="0" autoFilter="0" pivotTables="0"/><pageMargins)"));
}

TEST_F(WorksheetPart, PageSetupAndHeaderFooterForms) {
    const auto setup = [](const PageSetup &page, int id = 1) {
        std::string out;
        tsx_write_page_setup(page, id, out);
        return out;
    };
    PageSetup page;
    page.fit_width = 1;   // fitting to a width alone has no scale, and pages as many as needed down
    EXPECT_TRUE(has(setup(page), R"(<pageSetup paperSize="9" fitToWidth="1" fitToHeight="0" orientation="portrait" verticalDpi="600" r:id="rId1"/>)"));
    page.fit_width = 0, page.fit_height = 2;
    EXPECT_TRUE(has(setup(page), R"(<pageSetup paperSize="9" fitToWidth="0" fitToHeight="2" orientation)"));
    page.landscape = true;
    page.fit_width = 2, page.fit_height = 3, page.dpi = 300;
    page.left = page.right = page.top = page.bottom = 2.0;
    page.header = page.footer = 1.0;
    EXPECT_EQ(setup(page, 4), R"(<pageMargins left="0.787400" right="0.787400" top="0.787400" bottom="0.787400" header="0.393700" )"
                              R"(footer="0.393700" /><pageSetup paperSize="9" fitToWidth="2" fitToHeight="3" orientation="landscape" )"
                              R"(verticalDpi="300" r:id="rId4"/>)");
    for (auto [index, size] : {std::pair{0, "4401"}, {1, "4403"}, {2, "66"}, {3, "8"}, {4, "9"}, {5, "11"}, {11, "4410"},
                               {12, "4412"}, {13, "4414"}, {14, "12"}, {15, "13"}, {99, "9"}}) {
        PageSetup paper;
        paper.paper = index;
        paper.scale = 75;
        EXPECT_TRUE(has(setup(paper), std::string("<pageSetup paperSize=\"") + size + "\" scale=\"75\" orientation")) << index;
    }
    Sheet bare;
    std::string out;
    EXPECT_EQ(tsx_write_header_footer(bare, {}, out), 0);
    EXPECT_EQ(out, "");
    const FontRecord fonts[] = {FontRecord{}, FontRecord{.name_id = 32, .style = kFontBold, .colour = kStyleColourRgb, .rgb = {0x0a, 0xbc, 0xde}}};
    bare.settings.footer[1] = HeaderFooterSection{true, "p", 1};
    EXPECT_EQ(tsx_write_header_footer(bare, fonts, out), 0);
    EXPECT_EQ(out, R"(<headerFooter alignWithMargins="0"><oddFooter>&amp;C&amp;&quot;HGP教科書体,太字 ﾒﾃﾞｨｳﾑ&quot;&amp;11&amp;K0ABCDEp)"
                   "</oddFooter></headerFooter>");
}

// The rows of the data become one group of sparklines down a column: the list that ends the
// golden worksheet. Its formulas name the sheet as it is called when it is saved.
TEST_F(Sparklines, RowsOfTheDataBecomeOneGroupInAColumn) {
    statements("A1=1 A1:E5.SPARKLINE=F1:F5");
    EXPECT_EQ(ext(), slice(golden("worksheet.xml"), "<extLst>", "</worksheet>"));
    store().sheets[0]->name = "Other";
    EXPECT_TRUE(has(ext(), "<xm:f>Other!A1:E1</xm:f>"));
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Plain"), 0);
    EXPECT_EQ(ext(1), "");   // a sheet without sparklines has no list
    statements("A2:E5.SPARKLINE=A6:E6");   // columns become sparklines along a row
    for (const char *c : {"A", "B", "C", "D", "E"})
        EXPECT_TRUE(has(ext(1), std::string("<xm:f>Plain!") + c + "2:" + c + "5</xm:f><xm:sqref>" + c + "6</xm:sqref>"));
    EXPECT_EQ(store().sheets[1]->sparklines.size(), 1u);
}

TEST_F(Sparklines, SheetNamesAreQuotedWhereAFormulaNeedsIt) {
    for (auto [name, written] : {std::pair{"Data", "Data"}, {"My Data", "&apos;My Data&apos;"}, {"O'Brien", "&apos;O&apos;&apos;Brien&apos;"},
                                 {"データ", "データ"}, {"A1", "&apos;A1&apos;"}, {"2024", "&apos;2024&apos;"},
                                 {"R1C1", "&apos;R1C1&apos;"}, {"a&b", "&apos;a&amp;b&apos;"}}) {
        reopen("UTF8", "\"" + std::string(name) + "\"");
        statements("A1:E1.SPARKLINE=F1:F1");
        EXPECT_TRUE(has(ext(), "<xm:f>" + std::string(written) + "!A1:E1</xm:f>")) << name;
    }
}

TEST_F(Sparklines, Refusals) {
    const std::string bad = "TXLS-02622 スパークライン(SPARKLINE)の指定内容が不正です(\"";
    const std::string first = "の前にスパークラインが指定されていません。";
    for (auto [statements, text] : {
             std::pair<const char *, std::string>{"A1:E5.SPARKLINE=F1:G5", bad + "F1:G5\")。"},
             {"A1:E5.SPARKLINE=F1", bad + "F1\")。"},
             {"A1.SPARKLINE=F1:F5", "TXLS-02101 セル範囲指定(RANGE)が必要です(\"SPARKLINE\")。"},
             {"A1.SPARKLINE.TYPE=BAR", "TXLS-02621 (\"スパークライン.種類\")" + first},
             {"A1.SPARKLINE.MARKER.COLOR=RED", "TXLS-02621 (\"スパークライン.マーカー.色\")" + first},
             {"A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.TYPE=PIE", bad + "PIE\")。"},
             {"A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.DISPLAY=ALL", bad + "ALL\")。"},
             {"A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.LOW.COLOR=#12", "TXLS-02401 色(COLOR)の指定内容が不正です(\"#12\")。"}}) {
        reopen();
        EXPECT_EQ(TXLS_put_values(&book, statements), TXLS_ERR_ARGUMENT) << statements;
        EXPECT_TRUE(has(message(), text)) << statements;
    }
}

}  // namespace tabsmith
