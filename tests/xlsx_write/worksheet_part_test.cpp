// Golden tests of the worksheet part and the sheet relationship part: whole texts for cells,
// rows, row and column styles, columns, views and panes, protection, filters, merges, page setup,
// header/footer and row and column breaks.

#include <gtest/gtest.h>

#include <string>

#include "model/book.h"
#include "cells/values.h"
#include "xlsx_write/password_hash.h"
#include "xlsx_write/worksheet_part.h"

namespace tabsmith {
namespace {

constexpr const char *kDefaultSheetPr = "<sheetPr codeName=\"Sheet1\" />";
constexpr const char *kDefaultSelection = "<selection activeCell=\"A1\" sqref=\"A1\" />";
constexpr const char *kDefaultPage =
    "<pageMargins left=\"0.699999\" right=\"0.699999\" top=\"0.749999\" bottom=\"0.749999\" header=\"0.299999\" "
    "footer=\"0.299999\" /><pageSetup paperSize=\"9\" scale=\"100\" orientation=\"portrait\" verticalDpi=\"600\" "
    "r:id=\"rId1\"/>";

// The sections of a worksheet part; a test changes the ones it is about and compares the whole.
struct Expected {
    std::string sheet_pr = kDefaultSheetPr;
    std::string dimension = "A1:A1";
    std::string view_attributes = "tabSelected=\"0\" zoomScale=\"100\" workbookViewId=\"0\" showGridLines=\"1\"";
    std::string view_inner = kDefaultSelection;
    std::string row_height = "13.5";
    std::string cols;
    std::string rows;
    std::string after_data;    // protection, filter, merges
    std::string page = kDefaultPage;
    std::string after_page;    // header/footer, breaks

    std::string text() const {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
               "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
               "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">" +
               sheet_pr + "<dimension ref=\"" + dimension + "\"/><sheetViews><sheetView " + view_attributes + ">" +
               view_inner + "</sheetView></sheetViews><sheetFormatPr defaultRowHeight=\"" + row_height + "\"/>" +
               cols + "<sheetData>" + rows + "</sheetData>" + after_data + page + after_page + "</worksheet>";
    }
};

class WorksheetPartTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(add_sheet(book, "Sheet1"), 0); }

    Sheet &sheet() { return *book.sheets[0]; }

    // A cell slot as the store makes it, marked used.
    Cell &slot(int row, int column) {
        EXPECT_EQ(ensure_cell(book, sheet(), row, column), 0);
        Row &r = sheet().rows[static_cast<std::size_t>(row)];
        if (sheet().rows_used <= row) sheet().rows_used = row + 1;
        if (r.used <= column) r.used = static_cast<std::uint16_t>(column + 1);
        return r.cells[static_cast<std::size_t>(column)];
    }

    void put(int row, int column, const char *value) { ASSERT_EQ(put_cell_value(book, 0, row, column, value), 0); }

    void formula(int row, int column, const char *text, CellKind kind = kCellFormula) {
        Cell &cell = slot(row, column);
        cell.kind = kind;
        cell.set_formula(text);
    }

    void height(int row, double hundredths) {
        ASSERT_EQ(ensure_row(book, sheet(), row), 0);
        Row &r = sheet().rows[static_cast<std::size_t>(row)];
        r.attributes = std::make_unique<RowAttributes>();
        r.attributes->height = hundredths;
    }

    std::string write(int expected_rc = 0) {
        std::string out;
        EXPECT_EQ(tsx_write_worksheet(book, 0, out), expected_rc);
        return out;
    }

    std::string cell_text(int row, int column) {
        std::string out;
        EXPECT_EQ(tsx_write_cell(book, 0, row, column, out), 0);
        return out;
    }

    Book book;
};

// ---- Cells ----

TEST_F(WorksheetPartTest, EmptySheetHasOnlyTheFixedSections) {
    EXPECT_EQ(write(), Expected{}.text());
}

TEST_F(WorksheetPartTest, EveryCellFormInOneRow) {
    put(0, 0, "abc");                      // shared string 0
    put(0, 1, "42");
    put(0, 2, "3.25");
    put(0, 3, "25%");
    put(0, 4, "2024/01/15");               // serial 45306
    put(0, 5, "2024/01/15 12:00:00");
    put(0, 6, "18:00");
    put(0, 7, "00:00:01");                 // 1/86400 of a day
    formula(0, 8, "B1*2");
    formula(0, 9, "B1*2", kCellFormulaValue);
    slot(0, 9).set_text("84");
    Expected expected;
    expected.dimension = "A1:J1";
    expected.rows =
        "<row r=\"1\" spans=\"1:10\">"
        "<c r=\"A1\" t=\"s\"><v>0</v></c>"
        "<c r=\"B1\"><v>42</v></c>"
        "<c r=\"C1\"><v>3.25</v></c>"
        "<c r=\"D1\" s=\"6\"><v>0.250000</v></c>"  // the percent preset
        "<c r=\"E1\" s=\"1\"><v>45306</v></c>"
        "<c r=\"F1\" s=\"2\"><v>45306.5</v></c>"
        "<c r=\"G1\" s=\"3\"><v>0.75</v></c>"
        "<c r=\"H1\" s=\"4\"><v>0.000011574074074074073</v></c>"
        "<c r=\"I1\"><f>B1*2</f></c>"
        "<c r=\"J1\"><f>B1*2</f><v>84</v></c>"
        "</row>";
    EXPECT_EQ(write(), expected.text());
}

TEST_F(WorksheetPartTest, RecalcOffDropsCachedValues) {
    formula(0, 0, "1+2", kCellFormulaValue);
    slot(0, 0).set_text("3");
    EXPECT_EQ(cell_text(0, 0), "<c r=\"A1\"><f>1+2</f><v>3</v></c>");
    book.settings.recalc = false;
    EXPECT_EQ(cell_text(0, 0), "<c r=\"A1\"><f>1+2</f></c>");
}

TEST_F(WorksheetPartTest, FormulaValues) {
    formula(0, 0, "0.1+0.2", kCellFormulaValue);
    slot(0, 0).set_number(0.1 + 0.2);             // no text: the shortest round-trip form
    EXPECT_EQ(cell_text(0, 0), "<c r=\"A1\"><f>0.1+0.2</f><v>0.30000000000000004</v></c>");

    formula(0, 1, "A1&\"<x>\"", kCellFormulaValue);
    slot(0, 1).set_text("0.3<x>");
    EXPECT_EQ(cell_text(0, 1),
              "<c r=\"B1\" t=\"str\"><f>A1&amp;&quot;&lt;x&gt;&quot;</f><v>0.3&lt;x&gt;</v></c>");

    formula(0, 2, "1/0", kCellFormulaValue);
    slot(0, 2).set_text("#DIV/0!");
    slot(0, 2).style = 9;
    EXPECT_EQ(cell_text(0, 2), "<c r=\"C1\" s=\"9\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>");
}

TEST_F(WorksheetPartTest, FormulaTextIsEscaped) {
    formula(0, 0, "IF(A2<>\"\",A2&\"x\",\"\")");
    EXPECT_EQ(cell_text(0, 0),
              "<c r=\"A1\"><f>IF(A2&lt;&gt;&quot;&quot;,A2&amp;&quot;x&quot;,&quot;&quot;)</f></c>");
}

TEST_F(WorksheetPartTest, AFormulaThatLooksLikeMarkupIsText) {
    formula(0, 0, "<f t=\"shared\" si=\"0\"/>", kCellFormula);
    EXPECT_EQ(cell_text(0, 0), "<c r=\"A1\"><f>&lt;f t=&quot;shared&quot; si=&quot;0&quot;/&gt;</f></c>");
}

TEST_F(WorksheetPartTest, StylesFromCellColumnAndKind) {
    slot(0, 0).style = 12;                     // empty, styled
    put(0, 1, "7");
    sheet().columns[1].style = 8;              // column default
    put(0, 2, "8");
    slot(0, 2).style = 9;                      // own style wins over the column's
    Cell &date = slot(0, 3);                   // a date without any style (as a reader leaves it)
    date.kind = kCellDate;
    date.set_integer(100);
    slot(0, 4);                                // empty slot without style: not written
    put(0, 5, "1");
    EXPECT_EQ(cell_text(0, 0), "<c r=\"A1\" s=\"12\"/>");
    EXPECT_EQ(cell_text(0, 1), "<c r=\"B1\" s=\"8\"><v>7</v></c>");
    EXPECT_EQ(cell_text(0, 2), "<c r=\"C1\" s=\"9\"><v>8</v></c>");
    EXPECT_EQ(cell_text(0, 3), "<c r=\"D1\" s=\"1\"><v>100</v></c>");
    EXPECT_EQ(cell_text(0, 4), "");
}

TEST_F(WorksheetPartTest, GeneralTextCells) {
    Cell &number = slot(0, 0);
    number.kind = kCellText;
    number.set_text("-12.5");
    Cell &text = slot(0, 1);
    text.kind = kCellText;
    text.set_text(" a&b");
    EXPECT_EQ(cell_text(0, 0), "<c r=\"A1\"><v>-12.5</v></c>");
    EXPECT_EQ(cell_text(0, 1), "<c r=\"B1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> a&amp;b</t></is></c>");
}

TEST_F(WorksheetPartTest, UnknownKindAndBadPositionFail) {
    std::string out;
    EXPECT_EQ(tsx_write_cell(book, 0, 5000, 0, out), -1);
    EXPECT_EQ(tsx_write_cell(book, 3, 0, 0, out), -1);
    slot(0, 0).kind = 99;
    EXPECT_EQ(tsx_write_cell(book, 0, 0, 0, out), -1);
    EXPECT_EQ(tsx_write_worksheet(book, 0, out), -1);
    EXPECT_EQ(tsx_write_worksheet(book, 1, out), -1);
}

TEST_F(WorksheetPartTest, DateFractionForms) {
    Cell &cell = slot(0, 0);
    cell.kind = kCellDateTime;
    cell.set_integer(45000);
    for (auto [fraction, value] : {std::pair{"", "45000"}, {"0", "45000"}, {".5", "45000.5"},
                                   {"0.25", "45000.25"}, {"1e-05", "45000.00001"},
                                   {"1.5", "45001.5"}, {"bad", "45000"}}) {
        cell.set_text(fraction);
        EXPECT_EQ(cell_text(0, 0), std::string("<c r=\"A1\" s=\"2\"><v>") + value + "</v></c>") << fraction;
    }
}

// ---- Rows, columns and the used area ----

TEST_F(WorksheetPartTest, HiddenRowsAndHeights) {
    put(0, 0, "1");
    put(1, 0, "2");
    sheet().rows[1].hidden_flag = 0;           // hidden, no height
    put(2, 0, "3");
    height(2, 1550);                           // height, visible
    put(3, 1, "4");
    height(3, 2000);
    sheet().rows[3].hidden_flag = 0;           // hidden with a height
    height(5, 1200);                           // a height and no cells
    Expected expected;
    expected.dimension = "A1:B6";
    expected.rows =
        "<row r=\"1\" spans=\"1:1\"><c r=\"A1\"><v>1</v></c></row>"
        "<row r=\"2\" spans=\"1:1\" hidden=\"1\"><c r=\"A2\"><v>2</v></c></row>"
        "<row r=\"3\" spans=\"1:1\"  ht=\"15.500000\" customHeight=\"1\"><c r=\"A3\"><v>3</v></c></row>"
        "<row r=\"4\" spans=\"1:2\" hidden=\"1\" ht=\"20.000000\" customHeight=\"1\"><c r=\"B4\"><v>4</v></c></row>"
        "<row r=\"6\"  ht=\"12.000000\" customHeight=\"1\"></row>";
    EXPECT_EQ(write(), expected.text());
}

TEST_F(WorksheetPartTest, ColumnWidths) {
    put(0, 4, "x");                            // used area reaches column E
    sheet().columns[1].width = 10.625;
    sheet().columns[2].width = -1;
    sheet().settings.default_row_height = 1800;
    Expected expected;
    expected.dimension = "A1:E1";
    expected.row_height = "18.0";
    expected.cols =
        "<cols>"
        "<col min=\"1\" max=\"1\" width=\"8.380\" bestFit=\"1\" customWidth=\"1\"/>"
        "<col min=\"2\" max=\"2\" width=\"10.625\" bestFit=\"1\" customWidth=\"1\"/>"
        "<col min=\"3\" max=\"3\" width=\"0.000\" bestFit=\"1\" customWidth=\"1\"/>"
        "<col min=\"4\" max=\"4\" width=\"8.380\" bestFit=\"1\" customWidth=\"1\"/>"
        "<col min=\"5\" max=\"5\" width=\"8.380\" bestFit=\"1\" customWidth=\"1\"/>"
        "</cols>";
    expected.rows = "<row r=\"1\" spans=\"1:5\"><c r=\"E1\" t=\"s\"><v>0</v></c></row>";
    EXPECT_EQ(write(), expected.text());
}

TEST_F(WorksheetPartTest, ColumnStylesListOnlyTheColumnsThatCarrySomething) {
    put(0, 6, "x");                            // used area reaches column G
    sheet().columns[1].style = 8;              // a style and no width
    sheet().columns[3].width = 12.5;           // both
    sheet().columns[3].style = 9;
    sheet().columns[5].width = -1;             // a width and no style
    Expected expected;
    expected.dimension = "A1:G1";
    expected.cols =
        "<cols>"
        "<col min=\"2\" max=\"2\" width=\"8.380\" style=\"8\"/>"
        "<col min=\"4\" max=\"4\" width=\"12.500\" style=\"9\" bestFit=\"1\" customWidth=\"1\"/>"
        "<col min=\"6\" max=\"6\" width=\"0.000\" bestFit=\"1\" customWidth=\"1\"/>"
        "</cols>";
    expected.rows = "<row r=\"1\" spans=\"1:7\"><c r=\"G1\" t=\"s\"><v>0</v></c></row>";
    EXPECT_EQ(write(), expected.text());
}

TEST_F(WorksheetPartTest, RowStylesMarkTheRowAndComeBeforeColumnStyles) {
    put(0, 0, "1");                            // row style
    sheet().columns[2].style = 8;
    put(0, 1, "2");
    slot(0, 1).style = 9;                      // own style wins
    put(0, 2, "3");                            // row style wins over the column's
    Cell &date = slot(0, 3);                   // the kind default wins over the row's
    date.kind = kCellDate;
    date.set_integer(100);
    sheet().rows[0].style = 5;
    put(1, 2, "4");                            // unstyled row: the column's
    put(2, 2, "5");
    sheet().rows[2].style = 0;                 // the default format, still over the column's
    height(3, 1200);
    sheet().rows[3].style = 6;                 // no cells
    ASSERT_EQ(ensure_row(book, sheet(), 4), 0);
    sheet().rows[4].style = 7;                 // no cells, no height: still written
    Expected expected;
    expected.dimension = "A1:D5";
    expected.cols = "<cols><col min=\"3\" max=\"3\" width=\"8.380\" style=\"8\"/></cols>";
    expected.rows =
        "<row r=\"1\" spans=\"1:4\" s=\"5\" customFormat=\"1\">"
        "<c r=\"A1\" s=\"5\"><v>1</v></c><c r=\"B1\" s=\"9\"><v>2</v></c><c r=\"C1\" s=\"5\"><v>3</v></c>"
        "<c r=\"D1\" s=\"1\"><v>100</v></c></row>"
        "<row r=\"2\" spans=\"1:3\"><c r=\"C2\" s=\"8\"><v>4</v></c></row>"
        "<row r=\"3\" spans=\"1:3\" s=\"0\" customFormat=\"1\"><c r=\"C3\"><v>5</v></c></row>"
        "<row r=\"4\" s=\"6\" customFormat=\"1\"  ht=\"12.000000\" customHeight=\"1\"></row>"
        "<row r=\"5\" s=\"7\" customFormat=\"1\"></row>";
    EXPECT_EQ(write(), expected.text());
    EXPECT_EQ(cell_text(0, 2), "<c r=\"C1\" s=\"5\"><v>3</v></c>");
    EXPECT_EQ(cell_text(2, 2), "<c r=\"C3\"><v>5</v></c>");
}

TEST_F(WorksheetPartTest, NoColsWithoutWidths) {
    put(0, 0, "1");
    std::string text = write();
    EXPECT_EQ(text.find("<cols>"), std::string::npos);
}

TEST_F(WorksheetPartTest, MergedAreaInnerCellsAreEmptyAndStyled) {
    put(0, 0, "top");
    slot(0, 1).style = 5;                      // B1: styled empty
    put(1, 0, "lost");                         // A2: its value is hidden by the merge
    sheet().merges.push_back(MergeArea{0, 0, 1, 1});
    put(1, 2, "outside");
    Expected expected;
    expected.dimension = "A1:C2";
    expected.rows =
        "<row r=\"1\" spans=\"1:2\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" s=\"5\"/></row>"
        "<row r=\"2\" spans=\"1:3\"><c r=\"A2\" s=\"1\"/><c r=\"C2\" t=\"s\"><v>2</v></c></row>";
    expected.after_data = "<mergeCells count=\"1\"><mergeCell ref=\"A1:B2\"/></mergeCells>";
    EXPECT_EQ(write(), expected.text());
    EXPECT_EQ(cell_text(1, 0), "<c r=\"A2\" s=\"1\"/>");
}

// ---- Views and sheet properties ----

TEST_F(WorksheetPartTest, FrozenPanes) {
    sheet().settings.frozen = FrozenPane::kFirstRow;
    Expected row;
    row.view_inner =
        "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
        "<selection pane=\"bottomLeft\"/>";
    EXPECT_EQ(write(), row.text());

    sheet().settings.frozen = FrozenPane::kFirstColumn;
    Expected column;
    column.view_inner =
        "<pane xSplit=\"1\" topLeftCell=\"B1\" activePane=\"topRight\" state=\"frozen\"/>"
        "<selection pane=\"topRight\"/>";
    EXPECT_EQ(write(), column.text());
}

TEST_F(WorksheetPartTest, FrozenSplitsAndTopRow) {
    struct Case {
        FrozenPane frozen;
        int split_row, split_column, top_row;
        const char *view_extra;   // attributes after showGridLines
        const char *inner;
    };
    const Case cases[] = {
        {FrozenPane::kNone, 1, 1, -1, "",
         "<pane xSplit=\"1\" ySplit=\"1\" topLeftCell=\"B2\" activePane=\"bottomRight\" state=\"frozen\"/>"
         "<selection pane=\"topRight\"/><selection pane=\"bottomLeft\"/><selection pane=\"bottomRight\"/>"},
        {FrozenPane::kNone, 0, 3, -1, "",
         "<pane xSplit=\"3\" topLeftCell=\"D1\" activePane=\"topRight\" state=\"frozen\"/>"
         "<selection pane=\"topRight\"/>"},
        {FrozenPane::kNone, 4, 0, -1, "",
         "<pane ySplit=\"4\" topLeftCell=\"A5\" activePane=\"bottomLeft\" state=\"frozen\"/>"
         "<selection pane=\"bottomLeft\"/>"},
        {FrozenPane::kNone, 0, 0, -1, "", kDefaultSelection},
        {FrozenPane::kNone, -1, -1, -1, "", kDefaultSelection},
        {FrozenPane::kNone, 1048576, 0, -1, "", kDefaultSelection},   // below the last row
        {FrozenPane::kNone, 0, 16384, -1, "", kDefaultSelection},     // right of the last column
        {FrozenPane::kFirstRow, 5, 5, -1, "",                        // the kind wins over a stale split
         "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
         "<selection pane=\"bottomLeft\"/>"},
        // The first shown row scrolls the unfrozen area under frozen rows, and the view otherwise.
        {FrozenPane::kNone, 2, 2, 10, "",
         "<pane xSplit=\"2\" ySplit=\"2\" topLeftCell=\"C11\" activePane=\"bottomRight\" state=\"frozen\"/>"
         "<selection pane=\"topRight\"/><selection pane=\"bottomLeft\"/><selection pane=\"bottomRight\"/>"},
        {FrozenPane::kNone, 6, 0, 3, "",                            // above the split: the split wins
         "<pane ySplit=\"6\" topLeftCell=\"A7\" activePane=\"bottomLeft\" state=\"frozen\"/>"
         "<selection pane=\"bottomLeft\"/>"},
        {FrozenPane::kNone, 0, 2, 10, " topLeftCell=\"A11\"",
         "<pane xSplit=\"2\" topLeftCell=\"C11\" activePane=\"topRight\" state=\"frozen\"/>"
         "<selection pane=\"topRight\"/>"},
        {FrozenPane::kNone, -1, -1, 0, " topLeftCell=\"A1\"", kDefaultSelection},
        {FrozenPane::kNone, -1, -1, 9, " topLeftCell=\"A10\"", kDefaultSelection},
        {FrozenPane::kNone, -1, -1, 1048576, "", kDefaultSelection},  // below the last row
    };
    for (const Case &c : cases) {
        SheetSettings &s = sheet().settings;
        s.frozen = c.frozen;
        s.split_row = c.split_row;
        s.split_column = c.split_column;
        s.top_row = c.top_row;
        Expected expected;
        expected.view_attributes += c.view_extra;
        expected.view_inner = c.inner;
        EXPECT_EQ(write(), expected.text()) << c.split_row << "," << c.split_column << " top " << c.top_row;
    }
}

TEST_F(WorksheetPartTest, HiddenHeadingsComeBeforeTheTopRow) {
    sheet().settings.headings = false;
    Expected expected;
    expected.view_attributes += " showRowColHeaders=\"0\"";
    EXPECT_EQ(write(), expected.text());
    sheet().settings.top_row = 4;
    expected.view_attributes += " topLeftCell=\"A5\"";
    EXPECT_EQ(write(), expected.text());
}

TEST_F(WorksheetPartTest, SelectionZoomGridAndTabSelected) {
    sheet().settings.selected_row = 4;
    sheet().settings.selected_column = 2;
    sheet().settings.zoom = 85;
    sheet().settings.grid_lines = false;
    sheet().settings.selected = true;
    Expected expected;
    expected.view_attributes = "tabSelected=\"1\" zoomScale=\"85\" workbookViewId=\"0\" showGridLines=\"0\"";
    expected.view_inner = "<selection activeCell=\"C5\" sqref=\"C5\" />";
    EXPECT_EQ(write(), expected.text());
}

TEST_F(WorksheetPartTest, ZoomOutsideTheViewRangeIsClamped) {
    sheet().settings.zoom = 1000;
    EXPECT_NE(write().find("zoomScale=\"400\""), std::string::npos);
    sheet().settings.zoom = -5;
    EXPECT_NE(write().find("zoomScale=\"10\""), std::string::npos);
}

TEST_F(WorksheetPartTest, SheetPrForms) {
    auto sheet_pr = [&] {
        std::string text = write();
        std::size_t from = text.find("<sheetPr"), to = text.find("<dimension");
        return from == std::string::npos ? std::string() : text.substr(from, to - from);
    };
    sheet().settings.tab_color.index = 11;    // the palette's red
    EXPECT_EQ(sheet_pr(), "<sheetPr codeName=\"Sheet1\"><tabColor rgb=\"FFFF0000\"/></sheetPr>");

    sheet().settings.tab_color = ColorValue{kColorRgb, 0x12, 0xab, 0xcd};
    sheet().settings.page.fit_to_page = true;
    sheet().settings.code_name = "Data&Co";
    EXPECT_EQ(sheet_pr(), "<sheetPr codeName=\"Data&amp;Co\"><tabColor rgb=\"FF12ABCD\"/>"
                          "<pageSetUpPr fitToPage=\"1\"/></sheetPr>");

    book.settings.suppress_code_names = true;
    EXPECT_EQ(sheet_pr(), "<sheetPr><tabColor rgb=\"FF12ABCD\"/><pageSetUpPr fitToPage=\"1\"/></sheetPr>");
    sheet().settings.tab_color = ColorValue{};
    sheet().settings.page.fit_to_page = false;
    EXPECT_EQ(sheet_pr(), "");
}

TEST_F(WorksheetPartTest, SecondSheetGetsItsOwnCodeName) {
    ASSERT_EQ(add_sheet(book, "Other"), 1);
    std::string out;
    ASSERT_EQ(tsx_write_worksheet(book, 1, out), 0);
    EXPECT_NE(out.find("<sheetPr codeName=\"Sheet2\" />"), std::string::npos);
}

// ---- Protection, filter ----

TEST(PasswordHash, KnownPasswords) {
    // "test": 't' 0x74<<1 = 0x00E8, 'e' 0x65<<2 = 0x0194, 's' 0x73<<3 = 0x0398, 't' 0x74<<4 = 0x0740;
    // XOR = 0x05A4; ^ length 4 = 0x05A0; ^ 0xCE4B = 0xCBEB.
    EXPECT_EQ(password_hash("test"), 0xCBEB);
    // "x": 0x78<<1 = 0xF0; ^ 1 = 0xF1; ^ 0xCE4B = 0xCEBA.
    EXPECT_EQ(password_hash("x"), 0xCEBA);
    // Positions 9 and 10 push bits past bit 14, which come back at the bottom:
    // 'i' 0x69<<9 = 0xD200 -> 0x5201, 'j' 0x6A<<10 = 0x1A800 -> 0x2803.
    EXPECT_EQ(password_hash("abcdefghij"), 0xFEF1);
    EXPECT_EQ(password_hash(""), 0xCE4B);
}

TEST_F(WorksheetPartTest, ProtectionWithPasswordComesBeforeAutoFilter) {
    sheet().settings.is_protected = true;
    sheet().settings.password = "test";
    sheet().settings.filter_row1 = 0;
    sheet().settings.filter_column1 = 0;
    sheet().settings.filter_row2 = 9;
    sheet().settings.filter_column2 = 3;
    Expected expected;
    expected.after_data =
        "<sheetProtection sheet=\"1\" formatCells=\"0\" formatColumns=\"0\" formatRows=\"0\" insertColumns=\"0\" "
        "insertRows=\"0\" insertHyperlinks=\"0\" deleteColumns=\"0\" deleteRows=\"0\" sort=\"0\" autoFilter=\"0\" "
        "pivotTables=\"0\" password=\"CBEB\"/>"
        "<autoFilter ref=\"A1:D10\" />";
    EXPECT_EQ(write(), expected.text());
}

TEST_F(WorksheetPartTest, ProtectionWithoutPasswordAndIncompleteFilter) {
    sheet().settings.is_protected = true;
    sheet().settings.filter_row1 = 0;
    sheet().settings.filter_column1 = 0;
    sheet().settings.filter_row2 = 9;          // last column never set: no filter
    Expected expected;
    expected.after_data =
        "<sheetProtection sheet=\"1\" formatCells=\"0\" formatColumns=\"0\" formatRows=\"0\" insertColumns=\"0\" "
        "insertRows=\"0\" insertHyperlinks=\"0\" deleteColumns=\"0\" deleteRows=\"0\" sort=\"0\" autoFilter=\"0\" "
        "pivotTables=\"0\"/>";
    EXPECT_EQ(write(), expected.text());
}

// ---- Page setup, header/footer, breaks ----

TEST(PageSetup, FitToWidthOnlyHasNoScale) {
    PageSetup page;
    page.fit_width = 1;
    std::string out;
    tsx_write_page_setup(page, 1, out);
    EXPECT_EQ(out.substr(out.find("<pageSetup")),
              "<pageSetup paperSize=\"9\" fitToWidth=\"1\" orientation=\"portrait\" verticalDpi=\"600\" "
              "r:id=\"rId1\"/>");
}

TEST(PageSetup, LandscapeBothFitsMarginsAndResolution) {
    PageSetup page;
    page.landscape = true;
    page.fit_width = 2;
    page.fit_height = 3;
    page.dpi = 300;
    page.left = page.right = page.top = page.bottom = 2.0;
    page.header = page.footer = 1.0;
    std::string out;
    tsx_write_page_setup(page, 4, out);
    EXPECT_EQ(out,
              "<pageMargins left=\"0.787400\" right=\"0.787400\" top=\"0.787400\" bottom=\"0.787400\" "
              "header=\"0.393700\" footer=\"0.393700\" /><pageSetup paperSize=\"9\" fitToWidth=\"2\" "
              "fitToHeight=\"3\" orientation=\"landscape\" verticalDpi=\"300\" r:id=\"rId4\"/>");
}

TEST(PageSetup, PaperIndexes) {
    for (auto [index, size] : {std::pair{0, "4401"}, {1, "4403"}, {2, "66"}, {3, "8"}, {4, "9"}, {5, "11"},
                               {11, "4410"}, {12, "4412"}, {13, "4414"}, {14, "12"}, {15, "13"}, {99, "9"}}) {
        PageSetup page;
        page.paper = index;
        page.scale = 75;
        std::string out;
        tsx_write_page_setup(page, 1, out);
        EXPECT_EQ(out.substr(out.find("<pageSetup")),
                  std::string("<pageSetup paperSize=\"") + size +
                      "\" scale=\"75\" orientation=\"portrait\" verticalDpi=\"600\" r:id=\"rId1\"/>")
            << index;
    }
}

TEST_F(WorksheetPartTest, HeaderFooterAndRowBreaks) {
    sheet().settings.header[1] = HeaderFooterSection{true, "&P/&N", -1};
    FontRecord font;
    font.name_id = 31;
    font.size = 14;
    font.style = kFontBold | kFontItalic | kFontUnderline;
    font.colour = 11;
    ASSERT_EQ(book.styles.append(font), 0);
    int font_index = static_cast<int>(book.styles.fonts().size()) - 1;
    sheet().settings.footer[0] = HeaderFooterSection{true, "<Total>", font_index};
    sheet().settings.footer[2] = HeaderFooterSection{true, "x", 9999};   // past the table: default font
    sheet().settings.row_breaks = {5, 10};
    Expected expected;
    expected.after_page =
        "<headerFooter alignWithMargins=\"0\">"
        "<oddHeader>&amp;C&amp;&quot;ＭＳ Ｐゴシック,標準&quot;&amp;11&amp;K000000&amp;P/&amp;N</oddHeader>"
        "<oddFooter>&amp;L&amp;U&amp;&quot;HGP創英角ﾎﾟｯﾌﾟ体,太字 斜体 ﾍﾋﾞｰ&quot;&amp;14&amp;KFF0000&lt;Total&gt;"
        "&amp;R&amp;&quot;ＭＳ Ｐゴシック,標準&quot;&amp;11&amp;K000000x</oddFooter>"
        "</headerFooter>"
        "<rowBreaks count=\"2\" manualBreakCount=\"2\"><brk id=\"5\" max=\"16383\" man=\"1\" />"
        "<brk id=\"10\" max=\"16383\" man=\"1\" /></rowBreaks>";
    EXPECT_EQ(write(), expected.text());
}

TEST_F(WorksheetPartTest, ColumnBreaksFollowRowBreaks) {
    sheet().settings.column_breaks = {2, 7};
    Expected expected;
    expected.after_page =
        "<colBreaks count=\"2\" manualBreakCount=\"2\"><brk id=\"2\" max=\"1048575\" man=\"1\"/>"
        "<brk id=\"7\" max=\"1048575\" man=\"1\"/></colBreaks>";
    EXPECT_EQ(write(), expected.text());
    sheet().settings.row_breaks = {3};
    expected.after_page =
        "<rowBreaks count=\"1\" manualBreakCount=\"1\"><brk id=\"3\" max=\"16383\" man=\"1\" /></rowBreaks>" +
        expected.after_page;
    EXPECT_EQ(write(), expected.text());
}

TEST(HeaderFooter, FooterOnlyAndMediumWeight) {
    Sheet sheet;
    std::string out;
    EXPECT_EQ(tsx_write_header_footer(sheet, {}, out), 0);
    EXPECT_EQ(out, "");
    FontRecord font;
    font.name_id = 32;
    font.style = kFontBold;
    font.colour = kStyleColourRgb;
    font.rgb = Rgb{0x0a, 0xbc, 0xde};
    FontRecord fonts[] = {FontRecord{}, font};
    sheet.settings.footer[1] = HeaderFooterSection{true, "p", 1};
    EXPECT_EQ(tsx_write_header_footer(sheet, fonts, out), 0);
    EXPECT_EQ(out, "<headerFooter alignWithMargins=\"0\"><oddFooter>&amp;C&amp;&quot;HGP教科書体,太字 ﾒﾃﾞｨｳﾑ&quot;"
                   "&amp;11&amp;K0ABCDEp</oddFooter></headerFooter>");
}

// ---- Relationships ----

TEST_F(WorksheetPartTest, RelationshipPartNamesThePrinterSettingsOfItsSheet) {
    ASSERT_EQ(add_sheet(book, "Two"), 1);
    EXPECT_EQ(write_worksheet_rels(book, 1),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
              "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
              "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
              "relationships/printerSettings\" Target=\"../printerSettings/printerSettings2.bin\"/>"
              "</Relationships>");
}

TEST(RelationshipIds, KindsFollowTheListedOrder) {
    SheetObjectCounts counts;
    counts.external_hyperlinks = 2;
    counts.background = true;
    counts.drawing = true;
    counts.comments = true;
    counts.tables = 2;
    SheetRelationshipIds ids = sheet_relationship_ids(counts);
    EXPECT_EQ(ids.first_hyperlink + 1, 1);
    EXPECT_EQ(ids.printer_settings, 3);
    EXPECT_EQ(ids.background, 4);
    EXPECT_EQ(ids.drawing, 5);
    EXPECT_EQ(ids.comments, 6);
    EXPECT_EQ(ids.vml_drawing, 7);
    EXPECT_EQ(ids.first_table + 1, 8);
    EXPECT_EQ(ids.count, 9);

    SheetRelationshipIds plain = sheet_relationship_ids(SheetObjectCounts{});
    EXPECT_EQ(plain.printer_settings, 1);
    EXPECT_EQ(plain.count, 1);
}

// ---- Size ----

TEST_F(WorksheetPartTest, LargeSheetWritesEveryCell) {
    constexpr int kRows = 2000, kColumns = 10;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) put(r, c, "123");
    std::string text = write();
    EXPECT_NE(text.find("<dimension ref=\"A1:J2000\"/>"), std::string::npos);
    EXPECT_NE(text.find("<c r=\"J2000\"><v>123</v></c></row></sheetData>"), std::string::npos);
    std::size_t cells = 0;
    for (std::size_t at = text.find("<c r="); at != std::string::npos; at = text.find("<c r=", at + 1)) ++cells;
    EXPECT_EQ(cells, static_cast<std::size_t>(kRows * kColumns));
}

TEST_F(WorksheetPartTest, SizeBoundCoversWhatIsWritten) {
    // The archive entry format is chosen from this bound before the part exists, so it must
    // never fall short: escaped control characters, every column set, merges, formula results.
    sheet().columns.resize(16384);
    for (auto &column : sheet().columns) {
        column.width = 254.375;
        column.style = 65535;
    }
    EXPECT_GE(worksheet_part_bound(book, 0), write().size()) << "every column set, no cells";

    std::string controls(2000, '\x01');
    for (int r = 0; r < 50; ++r) {
        put(r, 16383, controls.c_str());
        formula(r, 1, "SUM(A1:A2)&\"<&>\"", kCellFormulaValue);
        slot(r, 1).set_text(controls);
        put(r, 2, "12.50");
    }
    for (int k = 0; k < 100; ++k) sheet().merges.push_back(MergeArea{k * 3, 3, k * 3 + 1, 5});
    std::string out = write();
    EXPECT_GE(worksheet_part_bound(book, 0), out.size());
    EXPECT_EQ(worksheet_part_bound(book, 5), 0u);
}

}  // namespace
}  // namespace tabsmith
