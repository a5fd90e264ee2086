// The COMMENT, HYPERLINK, TABLE_FORMAT and TABLE_FORMAT.COLUMN_NAME statements: the records they
// leave, the header cells tables take their names from, and the statements they refuse.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fixtures.h"
#include "model/annotations.h"

using namespace tabsmith;
using tabsmith::testing::SheetTest;

namespace {

class Annotations : public SheetTest {
protected:
    int put(const std::string &text) { return TXLS_put_values(&book, text.c_str()); }
    SheetAnnotations &notes(int sheet = 0) { return store().sheets[static_cast<std::size_t>(sheet)]->annotations; }
};

std::vector<std::string> cells_of(const std::vector<CellComment> &comments) {
    std::vector<std::string> out;
    for (const CellComment &c : comments)
        out.push_back(std::to_string(c.row) + "," + std::to_string(c.column) + "=" + c.text);
    return out;
}

}  // namespace

TEST_F(Annotations, CommentGoesOnEveryCellRowsFirstWithoutItsQuotes) {
    ASSERT_EQ(put("B2:C3.COMMENT=\"see the total\""), 0);
    EXPECT_EQ(cells_of(notes().comments),
              std::vector<std::string>({"1,1=see the total", "1,2=see the total", "2,1=see the total",
                                        "2,2=see the total"}));
    for (const CellComment &c : notes().comments) {
        EXPECT_EQ(c.points, 11);
        EXPECT_EQ(c.colour_kind, 0);
    }
    // A cell carries one comment: the later text replaces the earlier where it stands.
    ASSERT_EQ(put("C2.コメント=新しい A9.COMMENT=x"), 0);
    EXPECT_EQ(cells_of(notes().comments),
              std::vector<std::string>({"1,1=see the total", "1,2=新しい", "2,1=see the total", "2,2=see the total",
                                        "8,0=x"}));
    ASSERT_EQ(put("SHEET=Other Other!E5.COMMENT=there"), 0);
    EXPECT_EQ(cells_of(notes(1).comments), std::vector<std::string>({"4,4=there"}));
}

TEST_F(Annotations, HyperlinkStatementAddsAnExternalLinkWithTheMailRule) {
    struct Case {
        const char *value, *target;
    } cases[] = {
        {"someone@example.com", "mailto:someone@example.com"},
        {"a@b", "a@b"},                       // no dot after the at-sign
        {"first.last@host", "first.last@host"},   // the dot comes before it only
        {"http://example.com/?a=1&b=2", "http://example.com/?a=1&b=2"},
        {"C:\\reports\\april.xlsx", "C:\\reports\\april.xlsx"},
    };
    for (const Case &c : cases) {
        ASSERT_EQ(put(std::string("B2.HYPERLINK=\"") + c.value + "\""), 0) << c.value;
        ASSERT_EQ(notes().hyperlinks.size(), 1u) << "a cell keeps one link";
        const Hyperlink &link = notes().hyperlinks[0];
        EXPECT_EQ(link.kind, HyperlinkKind::kExternal);
        EXPECT_EQ(link.row, 1);
        EXPECT_EQ(link.column, 1);
        EXPECT_EQ(link.target, c.target);
    }
    EXPECT_EQ(external_hyperlink_target("x@y.z"), "mailto:x@y.z");
    ASSERT_EQ(put("A1=text A1.HYPERLINK=http://a.example/"), 0);
    // The linked cell shows the link format of a new book.
    EXPECT_EQ(store().sheets[0]->rows[0].cells[0].style, kXfHyperlink);
    EXPECT_EQ(notes().hyperlinks.size(), 2u);
}

TEST_F(Annotations, TableTakesItsColumnNamesFromTheFirstRow) {
    ASSERT_EQ(put("A1=Name C1=Amount A2=x B2=1 C2=2 A1:C5.TABLE_FORMAT=Medium9"), 0);
    ASSERT_EQ(notes().tables.size(), 1u);
    const TableFormat &table = notes().tables[0];
    EXPECT_EQ(table.column_names, std::vector<std::string>({"Name", "列2", "Amount"}));
    EXPECT_EQ(table.family, TableStyleFamily::kMedium);
    EXPECT_EQ(table.style, 9);
    EXPECT_EQ(table.row2, 4);
    EXPECT_EQ(table.column2, 2);
    // The header cell shows the name the table gives its column.
    EXPECT_EQ(value("B1"), "列2");
}

TEST_F(Annotations, RepeatedHeaderTextsAreNumberedAndNumbersBecomeHeaderTexts) {
    ASSERT_EQ(put("A1=Name B1=name C1=Name2 D1=Name E1=2024 A1:E3.TABLE_FORMAT=light1"), 0);
    // "name2" and "Name2" are one name to a spreadsheet program.
    EXPECT_EQ(notes().tables[0].column_names, std::vector<std::string>({"Name", "name3", "Name2", "Name4", "2024"}));
    EXPECT_EQ(value("B1"), "name3");
    EXPECT_EQ(value("D1"), "Name4");
    EXPECT_EQ(kind("E1"), "CHARACTER");
    // A new column name wins; a column it now repeats gets the number instead.
    ASSERT_EQ(put("D1.TABLE_FORMAT.COLUMN_NAME=Name"), 0);
    EXPECT_EQ(notes().tables[0].column_names, std::vector<std::string>({"Name4", "name3", "Name2", "Name", "2024"}));
    EXPECT_EQ(value("D1"), "Name");
    EXPECT_EQ(value("A1"), "Name4");
}

TEST_F(Annotations, StyleNamesOfEachFamilyInBothLanguages) {
    struct Case {
        const char *name;
        TableStyleFamily family;
        int style;
    } cases[] = {
        {"Light1", TableStyleFamily::kLight, 1},   {"淡色21", TableStyleFamily::kLight, 21},
        {"MEDIUM28", TableStyleFamily::kMedium, 28}, {"中間2", TableStyleFamily::kMedium, 2},
        {"dark11", TableStyleFamily::kDark, 11},   {"濃色3", TableStyleFamily::kDark, 3},
    };
    int row = 1;
    for (const Case &c : cases) {
        std::string range = "A" + std::to_string(row) + ":B" + std::to_string(row + 1);
        ASSERT_EQ(put(range + ".TABLE_FORMAT=" + c.name), 0) << c.name;
        EXPECT_EQ(notes().tables.back().family, c.family) << c.name;
        EXPECT_EQ(notes().tables.back().style, c.style) << c.name;
        EXPECT_EQ(notes().tables.back().order, static_cast<int>(notes().tables.size()) - 1);
        row += 3;
    }
    for (const char *bad : {"Light22", "Medium0", "Dark12", "Light01", "淡色", "Pastel1", "ＬＩＧＨＴ1"}) {
        EXPECT_EQ(put(std::string("A40:B41.TABLE_FORMAT=") + bad), -3) << bad;
        EXPECT_EQ(message(), std::string("TXLS-02200 サポート外のキーワードです(\"") + bad + "\")。");
    }
}

TEST_F(Annotations, RefusedStatementsLeaveTheBookAsItWas) {
    const std::string overlap = "TXLS-02632 表書式(TABLE_FORMAT)は既に定義したセル範囲に対して定義できません。";
    ASSERT_EQ(put("B2:D5.TABLE_FORMAT=Light1"), 0);
    struct Case {
        std::string text, message;
    } cases[] = {
        {"D5:F8.TABLE_FORMAT=Light1", overlap},          // meets the first at a corner
        {"A1:B2.TABLE_FORMAT=Light1", overlap},
        {"A3:F3.TABLE_FORMAT=Light1", "TXLS-02301 セル範囲指定値が不正です(\"A3:F3.TABLE_FORMAT\")。"},
        {"A1:E9.TABLE_FORMAT=Light1", overlap},          // holds it whole
        {"H1.TABLE_FORMAT=Light1", "TXLS-02101 セル範囲指定(RANGE)が必要です(\"表書式(TABLE_FORMAT)\")。"},
        {"B2:C3.HYPERLINK=http://x.example/", "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"ハイパーリンク(HYPERLINK)\")。"},
        {"H1=\"=1+2\" H1:I3.TABLE_FORMAT=Dark1", "TXLS-02633 表書式(TABLE_FORMAT)の一行目に計算式が含まれています。"},
        {"Z1.TABLE_FORMAT.COLUMN_NAME=x",
         "TXLS-02631 (\"表書式(TABLE_FORMAT).列名(COLUMN_NAME)\")の前に表書式(TABLE_FORMAT)が指定されていません。"},
        {"A1:XFD1048576.COMMENT=x", "TXLS-03008 (\"コメント(COMMENT)\")の数が制限(\"65536\")を超えました。"},
        {"3:4.COMMENT=x", "TXLS-02300 セル指定値が不正です(\"3:4.COMMENT\")。"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(put(c.text), -3) << c.text;
        EXPECT_EQ(message(), c.message) << c.text;
    }
    EXPECT_EQ(notes().tables.size(), 1u);
    EXPECT_TRUE(notes().comments.empty());
    EXPECT_TRUE(notes().hyperlinks.empty());
    // Without any table on the sheet the column name has nothing to name.
    ASSERT_EQ(put("SHEET=Empty"), 0);
    EXPECT_EQ(put("A1.TABLE_FORMAT.COLUMN_NAME=x"), -3);
    EXPECT_NE(message().find("TXLS-02631"), std::string::npos);
}

TEST_F(Annotations, ValueWrittenAsALinkShowsItsTextAndLinksTheCell) {
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "#Sheet2!B3\"Go\""), 0);
    EXPECT_EQ(value("A1"), "Go");
    ASSERT_EQ(notes().hyperlinks.size(), 1u);
    const Hyperlink &link = notes().hyperlinks[0];
    EXPECT_EQ(link.kind, HyperlinkKind::kInValue);
    EXPECT_EQ(link.target_sheet, "Sheet2");
    EXPECT_EQ(link.target_row, 3);
    EXPECT_EQ(link.target_column, 2);
    // The same form through a statement (quoted, with its quotes doubled), with a quoted sheet
    // name and a text holding quotes.
    ASSERT_EQ(put("B1=\"#'Q1 ''24'!$C$7\"\"say \"\"hi\"\"\"\"\""), 0);
    EXPECT_EQ(value("B1"), "say \"hi\"");
    EXPECT_EQ(notes().hyperlinks[1].target_sheet, "Q1 '24");
    EXPECT_EQ(notes().hyperlinks[1].target_column, 3);

    // Values that only start with "#" stay text.
    for (const char *plain : {"#1 seller", "#tag\"quoted\"", "#note!", "#a\"b!c\""}) {
        ASSERT_EQ(TXLS_put_cell(&book, "C1", plain), 0) << plain;
        EXPECT_EQ(value("C1"), plain);
    }
    EXPECT_EQ(notes().hyperlinks.size(), 2u);
    // A target that is no cell name is refused and the cell keeps its value.
    EXPECT_EQ(TXLS_put_cell(&book, "C1", "#Sheet2!Nowhere\"Go\""), -1);
    EXPECT_EQ(message(), "TXLS-02300 セル指定値が不正です(\"Nowhere\")。");
    EXPECT_EQ(value("C1"), "#a\"b!c\"");
    const std::string long_sheet(94, 's');
    EXPECT_EQ(TXLS_put_cell(&book, "C1", ("#" + long_sheet + "!A1\"Go\"").c_str()), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"94\")オーバー(\"tsx_check_hyperlink() XLS_SHEET_LEN\")。");
    EXPECT_EQ(TXLS_put_cell(&book, "C1", ("#S!" + std::string(33, 'A') + "1\"Go\"").c_str()), -909);
    EXPECT_NE(message().find("tsx_check_hyperlink() CELL_NAME_LEN"), std::string::npos);
    EXPECT_EQ(notes().hyperlinks.size(), 2u);
}
