// Cell formatting statements: value vocabularies and their messages, the records they share in
// the style registry, whole-row and whole-column targets, limits, and what a save writes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <chrono>
#include <string>

#include "api/book_init.h"
#include "api/api.h"
#include "props/auto_width.h"
#include "props/cell_format.h"
#include "props/colour.h"
#include "support/fixtures.h"
#include "xlsx_write/package_writer.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;

namespace {

PropertyTarget cell(int row, int column) {
    PropertyTarget t;
    t.row = row;
    t.column = column;
    return t;
}

PropertyTarget range(int row1, int column1, int row2, int column2) {
    PropertyTarget t;
    t.areas[0] = {row1, column1, row2, column2};
    t.area_count = 1;
    return t;
}

PropertyTarget whole_row(int row) {
    PropertyTarget t;
    t.row = row;
    return t;
}

PropertyTarget whole_column(int column) {
    PropertyTarget t;
    t.column = column;
    return t;
}

class CellFormat : public BookTest {
protected:
    void SetUp() override {
        ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8"), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
    }
    Book &b() { return *book_of(&book); }
    Sheet &sheet() { return *b().current(); }
    int apply(int id, const PropertyTarget &target, std::string_view value) {
        return apply_cell_property(b(), id, target, value);
    }
    std::uint16_t style(int row, int column) {
        Sheet &s = sheet();
        if (static_cast<std::size_t>(row) >= s.rows.size()) return 0;
        const Row &r = s.rows[static_cast<std::size_t>(row)];
        return static_cast<std::size_t>(column) < r.cells.size() ? r.cells[static_cast<std::size_t>(column)].style : 0;
    }
    XfRecord xf(int row, int column) {
        std::uint16_t s = style(row, column);
        return s == 0 ? XfRecord{} : b().styles.xfs()[s - 1u];
    }
    FontRecord font(int row, int column) { return b().styles.fonts()[xf(row, column).font]; }
    FillRecord fill(int row, int column) { return b().styles.fills()[xf(row, column).fill]; }
    BorderRecord border(int row, int column) {
        std::uint32_t ref = xf(row, column).border;
        return ref == 0 ? BorderRecord{} : b().styles.borders()[ref - 1];
    }
    std::string part(const std::string &name) {
        std::vector<std::pair<std::string, std::string>> parts;
        EXPECT_EQ(prepare_book_for_save(b()), 0);
        EXPECT_EQ(build_package_parts(b(), parts), 0);
        for (auto &[n, text] : parts)
            if (n == name) return text;
        return {};
    }
};

}  // namespace

TEST_F(CellFormat, FontColourOnFormattedCellsSharesOneRecord) {
    ASSERT_EQ(apply(kPropFontStyle, range(0, 0, 2, 2), "bold"), 0);
    std::size_t fonts = b().styles.fonts().size();
    ASSERT_EQ(apply(kPropFontColor, range(0, 0, 2, 2), "#FF8000"), 0);
    EXPECT_EQ(b().styles.fonts().size(), fonts + 1);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(style(r, c), style(0, 0));
            EXPECT_EQ(font(r, c).colour, kStyleColourRgb);
            EXPECT_EQ(font(r, c).rgb, (Rgb{0xFF, 0x80, 0x00}));
            EXPECT_EQ(font(r, c).style, kFontBold);
        }
    // Setting the value it already has adds nothing.
    std::size_t xfs = b().styles.xfs().size();
    ASSERT_EQ(apply(kPropFontColor, range(0, 0, 2, 2), "ff8000"), 0);
    EXPECT_EQ(b().styles.xfs().size(), xfs);
}

TEST_F(CellFormat, ColourNamesAndTheirRefusals) {
    Colour c;
    EXPECT_EQ(parse_colour("red", c), ColourParse::kColour);
    EXPECT_EQ(c.index, 11u);
    EXPECT_EQ(parse_colour("赤色", c), ColourParse::kColour);
    EXPECT_EQ(parse_colour("水色", c), ColourParse::kColour);
    EXPECT_EQ(c.index, 14u);
    EXPECT_EQ(parse_colour("水色色", c), ColourParse::kInvalid);
    EXPECT_EQ(parse_colour("light_magenta", c), ColourParse::kColour);
    EXPECT_EQ(c.rgb, (Rgb{0xFF, 0xCC, 0xFF}));
    EXPECT_EQ(parse_colour("なし", c), ColourParse::kNone);
    EXPECT_EQ(parse_colour("#12345", c), ColourParse::kInvalid);
    EXPECT_EQ(parse_colour("#12345G", c), ColourParse::kInvalid);

    EXPECT_EQ(apply(kPropFontColor, cell(0, 0), "NONE"), -3);
    EXPECT_EQ(message(), "TXLS-02401 色(COLOR)の指定内容が不正です(\"NONE\")。");
    EXPECT_EQ(apply(kPropFillColor, cell(0, 0), "なし"), -3);
    EXPECT_EQ(message(), "TXLS-02401 色(COLOR)の指定内容が不正です(\"なし\")。");
    EXPECT_EQ(apply(kPropFillPatternColor, cell(0, 0), "#FF0000"), -3);

    ASSERT_EQ(apply(kPropFillColor, cell(0, 0), "BLACK"), 0);
    EXPECT_EQ(fill(0, 0).pattern, kFillSolid);
    EXPECT_EQ(fill(0, 0).colour, 0u);
    ASSERT_EQ(apply(kPropFillPatternColor, cell(0, 0), "赤"), 0);
    EXPECT_EQ(fill(0, 0).pattern_colour, 11u);
}

TEST_F(CellFormat, BordersSidesAndColour) {
    ASSERT_EQ(apply(kPropBorder, cell(0, 0), "HAIR"), 0);
    BorderRecord all = border(0, 0);
    EXPECT_EQ(all.left, 2);
    EXPECT_EQ(all.right, 2);
    EXPECT_EQ(all.top, 2);
    EXPECT_EQ(all.bottom, 2);
    ASSERT_EQ(apply(kPropBorderLeft, cell(0, 0), "二重線"), 0);
    EXPECT_EQ(border(0, 0).left, 6);
    EXPECT_EQ(border(0, 0).top, 2);
    ASSERT_EQ(apply(kPropBorderDiagonalDown, cell(0, 0), "dashdot"), 0);
    EXPECT_EQ(border(0, 0).diagonal_down, 12);
    ASSERT_EQ(apply(kPropBorderColor, cell(0, 0), "blue"), 0);
    EXPECT_EQ(border(0, 0).colour, 15u);
    EXPECT_EQ(apply(kPropBorder, cell(0, 0), "none"), -3);
    EXPECT_EQ(message(), "TXLS-02408 罫線(BORDER)の指定内容が不正です(\"none\")。");
    // Borders widen the used area.
    ASSERT_EQ(apply(kPropBorderBottom, range(4, 1, 6, 3), "thin"), 0);
    EXPECT_GE(sheet().rows_used, 7);
    EXPECT_GE(sheet().rows[6].used, 4);
}

TEST_F(CellFormat, FillPatternsAndGradients) {
    ASSERT_EQ(apply(kPropFillPatternName, cell(0, 0), "12.5%"), 0);
    EXPECT_EQ(fill(0, 0).pattern, 5u);
    ASSERT_EQ(apply(kPropFillPatternName, cell(0, 1), "no such pattern"), 0);
    EXPECT_EQ(fill(0, 1).pattern, 0u);

    // The first gradient statement starts from the default stops.
    ASSERT_EQ(apply(kPropGradationKind, cell(1, 0), "縦"), 0);
    FillRecord g = fill(1, 0);
    EXPECT_EQ(g.pattern, kFillGradient);
    EXPECT_EQ(g.gradient_kind, 1);
    EXPECT_EQ(g.gradient_variation, 1);
    EXPECT_EQ(g.rgb, (Rgb{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(g.rgb2, (Rgb{0x4F, 0x81, 0xBD}));
    ASSERT_EQ(apply(kPropGradationColor2, cell(1, 0), "RED"), 0);
    EXPECT_EQ(fill(1, 0).colour2, 11u);
    EXPECT_EQ(fill(1, 0).gradient_kind, 1);
    ASSERT_EQ(apply(kPropGradationVariation, cell(1, 0), "3"), 0);
    EXPECT_EQ(fill(1, 0).gradient_variation, 3);

    EXPECT_EQ(apply(kPropGradationKind, cell(1, 0), "DIAGONAL"), -3);
    EXPECT_EQ(message(), "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"DIAGONAL\")。");
    EXPECT_EQ(apply(kPropGradationVariation, cell(1, 0), "two"), -3);
}

TEST_F(CellFormat, FontValues) {
    ASSERT_EQ(apply(kPropFontName, cell(0, 0), "明朝"), 0);
    EXPECT_EQ(font(0, 0).name_id, 20);
    ASSERT_EQ(apply(kPropFontName, cell(0, 1), "Noto Sans"), 0);
    EXPECT_EQ(font(0, 1).name_id, kFontNameOwn);
    EXPECT_EQ(font(0, 1).name, "Noto Sans");
    ASSERT_EQ(apply(kPropFontSize, cell(0, 0), "12.7"), 0);
    EXPECT_EQ(font(0, 0).size, 12);
    EXPECT_EQ(font(0, 0).name_id, 20);
    ASSERT_EQ(apply(kPropFontStyle, cell(0, 0), "強調斜体下線"), 0);
    EXPECT_EQ(font(0, 0).style, 7);

    const std::pair<int, std::string> bad[] = {
        {kPropFontName, std::string(81, 'x')}, {kPropFontStyle, "heavy"}, {kPropFontSize, "big"},
        {kPropFontSize, "0"},                  {kPropFontSize, "1000"},
    };
    for (const auto &[id, value] : bad) {
        EXPECT_EQ(apply(id, cell(0, 0), value), -3) << value;
        EXPECT_EQ(message(), "TXLS-02403 フォント(FONT)の指定内容が不正です(\"" + value + "\")。");
    }
    EXPECT_EQ(apply(kPropFontName, cell(0, 2), std::string(80, 'x')), 0);
}

TEST_F(CellFormat, AlignmentAndTextFlags) {
    ASSERT_EQ(apply(kPropAlign, cell(0, 0), "右"), 0);
    EXPECT_EQ(xf(0, 0).align, 23);
    ASSERT_EQ(apply(kPropAlign, cell(0, 0), "top_center"), 0);
    EXPECT_EQ(xf(0, 0).align, 12);
    EXPECT_EQ(apply(kPropAlign, cell(0, 0), "MIDDLE"), -3);
    EXPECT_EQ(message(), "TXLS-02405 配置(ALIGN)の指定内容が不正です(\"MIDDLE\")。");

    ASSERT_EQ(apply(kPropWrap, cell(1, 0), "TRUE"), 0);
    EXPECT_EQ(xf(1, 0).text_flags, kTextWrap);
    ASSERT_EQ(apply(kPropShrink, cell(1, 0), "する"), 0);
    EXPECT_EQ(xf(1, 0).text_flags, kTextShrink);
    ASSERT_EQ(apply(kPropRotation, cell(1, 0), "false"), 0);
    EXPECT_EQ(xf(1, 0).text_flags, kTextShrink);
    EXPECT_EQ(apply(kPropWrap, cell(1, 0), "YES"), -3);
    EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"YES\")。");

    // Two cells without a format that get the same flag share one XF equal to the default
    // but for the flag.
    std::size_t xfs = b().styles.xfs().size();
    ASSERT_EQ(apply(kPropRotation, cell(3, 0), "TRUE"), 0);
    ASSERT_EQ(apply(kPropRotation, cell(3, 1), "TRUE"), 0);
    EXPECT_EQ(b().styles.xfs().size(), xfs + 1);
    XfRecord expected;
    expected.text_flags = kTextVertical;
    EXPECT_EQ(xf(3, 1), expected);
}

TEST_F(CellFormat, MergesNeedARangeAndNeverOverlap) {
    EXPECT_EQ(apply(kPropMerge, cell(0, 0), "TRUE"), -3);
    EXPECT_EQ(message(), "TXLS-02101 セル範囲指定(RANGE)が必要です(\"MERGE\")。");
    ASSERT_EQ(apply(kPropMerge, range(1, 1, 0, 0), "TRUE"), 0);
    ASSERT_EQ(sheet().merges.size(), 1u);
    EXPECT_EQ(sheet().merges[0].row2, 1);
    EXPECT_EQ(apply(kPropMerge, range(0, 0, 1, 1), "TRUE"), -3);
    EXPECT_EQ(message(), "TXLS-02410 結合(MERGE)は既に結合したセルに対して定義できません。");
    EXPECT_EQ(apply(kPropMerge, range(1, 1, 2, 2), "TRUE"), -3);
    EXPECT_EQ(apply(kPropMerge, range(2, 2, 3, 3), "maybe"), -3);
    ASSERT_EQ(apply(kPropMerge, range(2, 2, 3, 3), "FALSE"), 0);
    ASSERT_EQ(apply(kPropMerge, range(5, 5, 5, 5), "TRUE"), 0);  // one cell: nothing to merge
    EXPECT_EQ(sheet().merges.size(), 1u);
}

TEST_F(CellFormat, FilterNeedsARange) {
    EXPECT_EQ(apply(kPropFilter, cell(0, 0), "TRUE"), -3);
    EXPECT_EQ(message(), "TXLS-02101 セル範囲指定(RANGE)が必要です(\"フィルター(FILTER)\")。");
    ASSERT_EQ(apply(kPropFilter, range(9, 2, 0, 0), "TRUE"), 0);
    EXPECT_EQ(sheet().settings.filter_row2, 9);
    EXPECT_EQ(sheet().settings.filter_column2, 2);
    ASSERT_EQ(apply(kPropFilter, range(0, 0, 3, 3), "FALSE"), 0);
    EXPECT_EQ(sheet().settings.filter_row2, 9);
}

TEST_F(CellFormat, NumberFormats) {
    ASSERT_EQ(apply(kPropFormat, cell(0, 0), "小数点以下2"), 0);
    std::size_t entries = b().styles.num_formats().size();
    ASSERT_EQ(apply(kPropFormat, cell(0, 1), "小数点以下2"), 0);
    EXPECT_EQ(b().styles.num_formats().size(), entries);
    EXPECT_EQ(xf(0, 1).format_mode, kFormatTable);
    const NumFormat &entry = b().styles.num_formats()[xf(0, 1).format - 1];
    EXPECT_EQ(entry.kind, 109);
    EXPECT_EQ(entry.decimals, 2);

    ASSERT_EQ(apply(kPropFormat, cell(1, 0), "日付"), 0);
    EXPECT_EQ(xf(1, 0).format, 1u);  // the preset date entry
    ASSERT_EQ(apply(kPropFormat, cell(1, 1), "カンマ小数点以下2"), 0);
    ASSERT_EQ(apply(kPropFormat, cell(1, 2), "カンマ"), 0);  // no decimals, not the entry above
    EXPECT_EQ(b().styles.num_formats()[xf(1, 2).format - 1].decimals, 0);
    ASSERT_EQ(apply(kPropFormat, cell(1, 3), "文字列"), 0);
    EXPECT_EQ(xf(1, 3).format_mode, kFormatText);

    for (std::string bad : {"小数点以下", "小数点以下x", "小数点以下31", "Currency"}) {
        EXPECT_EQ(apply(kPropFormat, cell(2, 0), bad), -3) << bad;
        EXPECT_EQ(message(), "TXLS-02311 書式指定値が不正です(\"" + bad + "\")。");
    }

    // Once the table holds 500 entries the next new one fails; existing ones still serve.
    NumFormat filler;
    filler.kind = 999;
    int index = 0;
    while (b().styles.num_formats().size() < kMaxNumFormat) ASSERT_EQ(append_num_format(b(), filler, index), 0);
    EXPECT_EQ(apply(kPropFormat, cell(3, 1), "小数点以下2"), 0);
    EXPECT_EQ(apply(kPropFormat, cell(3, 1), "パーセント小数点以下30"), -9);
    EXPECT_EQ(message(), "TXLS-02319 書式指定が最大数(500)を超えました。");
    EXPECT_EQ(apply(kPropFormat, cell(3, 1), "郵便番号"), -9);
    EXPECT_EQ(message(), "TXLS-02319 書式指定が最大数(500)を超えました。");
}

TEST_F(CellFormat, WidthsHeightsAndBreaks) {
    ASSERT_EQ(apply(kPropWidth, whole_column(2), "10"), 0);
    EXPECT_DOUBLE_EQ(sheet().columns[2].width, 10.625);
    ASSERT_EQ(apply(kPropHeight, whole_row(2), "15.5"), 0);
    ASSERT_TRUE(sheet().rows[2].attributes);
    EXPECT_DOUBLE_EQ(sheet().rows[2].attributes->height, 1550);
    EXPECT_GE(sheet().rows_used, 3);
    ASSERT_EQ(apply(kPropHeight, range(4, 0, 5, 3), "1,0"), 0);
    EXPECT_DOUBLE_EQ(sheet().rows[5].attributes->height, 1000);
    EXPECT_EQ(apply(kPropHeight, whole_row(2), "tall"), -3);
    EXPECT_EQ(message(), "TXLS-02302 数値が不正です(\"tall\")。");
    EXPECT_EQ(apply(kPropHeight, whole_row(2), "500"), -3);
    EXPECT_EQ(apply(kPropWidth, whole_column(2), "-1"), -3);

    ASSERT_EQ(apply(kPropNewPage, whole_row(0), "TRUE"), 0);
    EXPECT_TRUE(sheet().settings.row_breaks.empty());
    ASSERT_EQ(apply(kPropNewPage, whole_row(4), "whatever"), 0);
    ASSERT_EQ(apply(kPropNewPage, whole_row(4), "TRUE"), 0);
    EXPECT_EQ(sheet().settings.row_breaks, std::vector<int>{4});
    ASSERT_EQ(apply(kPropNewPage, cell(9, 3), "TRUE"), 0);
    EXPECT_EQ(sheet().settings.row_breaks, (std::vector<int>{4, 9}));
    EXPECT_EQ(sheet().settings.column_breaks, std::vector<int>{3});
    EXPECT_EQ(apply(kPropNewPage, range(1, 1, 2, 2), "TRUE"), -3);
    EXPECT_EQ(message(), "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"NEWPAGE/改ページ\")。");
}

TEST_F(CellFormat, StatementsWithoutTargetDoNothing) {
    std::size_t xfs = b().styles.xfs().size();
    EXPECT_EQ(apply(kPropFontColor, PropertyTarget{}, "RED"), 0);
    EXPECT_EQ(apply(kPropMerge, PropertyTarget{}, "TRUE"), 0);
    EXPECT_EQ(b().styles.xfs().size(), xfs);
    EXPECT_EQ(apply(kPropAutoWidth, PropertyTarget{}, "TRUE"), 0);
    EXPECT_TRUE(b().settings.auto_width);
    EXPECT_EQ(apply(kPropAutoWidth, PropertyTarget{}, "maybe"), 0);
    EXPECT_TRUE(b().settings.auto_width);
    EXPECT_EQ(apply(kPropAutoWidth, PropertyTarget{}, "FALSE"), 0);
    EXPECT_FALSE(b().settings.auto_width);
}

TEST_F(CellFormat, OneStatementOnALargeRangeAddsOneFontAndOneXf) {
    std::size_t fonts = b().styles.fonts().size(), xfs = b().styles.xfs().size();
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(apply(kPropFontColor, range(0, 0, 999, 99), "RED"), 0);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(b().styles.fonts().size(), fonts + 1);
    EXPECT_EQ(b().styles.xfs().size(), xfs + 1);
    EXPECT_EQ(style(999, 99), style(0, 0));
    EXPECT_NE(style(500, 50), 0);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 2000);
}

TEST_F(CellFormat, WholeRowsAndColumnsUseRowAndColumnStyles) {
    ASSERT_EQ(TXLS_put_cell(&book, "B5", "x"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "D2", "y"), 0);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(apply(kPropFontColor, range(0, 0, b().max_rows - 1, b().max_columns - 1), "RED"), 0);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count(),
              2000);
    EXPECT_EQ(font(4, 1).colour, 11u);
    EXPECT_EQ(font(1, 3).colour, 11u);
    ASSERT_EQ(sheet().columns.size(), static_cast<std::size_t>(b().max_columns));
    EXPECT_EQ(sheet().columns[16383].style, style(4, 1));
    EXPECT_EQ(style(7, 7), 0);  // nothing made for empty cells

    ASSERT_EQ(apply(kPropFontStyle, whole_row(4), "bold"), 0);
    EXPECT_EQ(font(4, 1).style, kFontBold);
    EXPECT_EQ(font(4, 1).colour, 11u);
    std::uint16_t row_style = sheet().rows[4].style;
    ASSERT_NE(row_style, kNoRowStyle);
    EXPECT_EQ(b().styles.fonts()[b().styles.xfs()[row_style - 1u].font].style, kFontBold);

    // A range reaching the last row but not starting at the first formats its columns; the
    // cells above it keep what they show.
    ASSERT_EQ(TXLS_put_cell(&book, "E1", "head"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "E3", "body"), 0);
    ASSERT_EQ(apply(kPropAlign, range(1, 4, b().max_rows - 1, 4), "中"), 0);
    EXPECT_EQ(xf(2, 4).align, 22);
    EXPECT_EQ(xf(0, 4).align, kAlignDefault);
    EXPECT_NE(style(0, 4), 0);
    EXPECT_EQ(b().styles.xfs()[sheet().columns[4].style - 1u].align, 22);
    EXPECT_EQ(style(100, 4), 0);

    EXPECT_EQ(apply(kPropFontColor, range(0, 0, 999999, 25), "RED"), -9);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"2000000\")オーバー(\"apply_cell_property() range\")。");
}

TEST_F(CellFormat, FontLimitGivesTheStyleMessage) {
    int column = 0;
    while (b().styles.fonts().size() < kMaxFont) {
        ASSERT_EQ(apply(kPropFontName, cell(0, column), "f" + std::to_string(column)), 0);
        ++column;
    }
    EXPECT_EQ(apply(kPropFontName, cell(1, 0), "one more"), -9);
    EXPECT_EQ(message(), "TXLS-03008 (\"Font Style\")の数が制限(\"512\")を超えました。");
    EXPECT_EQ(style(1, 0), 0);
}

TEST_F(CellFormat, AutomaticWidthsFollowTheLongestText) {
    EXPECT_EQ(display_units("abc"), 3u);
    EXPECT_EQ(display_units("日本語ｶﾅ"), 8u);
    EXPECT_EQ(display_units("ab\nabcdef\nx"), 6u);

    ASSERT_EQ(TXLS_put_cell(&book, "A1", "abc"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "A2", "日本語の見出し"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "B1", "a long text that is wider"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "C1", "merged over two columns"), 0);
    ASSERT_EQ(TXLS_put_cell(&book, "E1", "big"), 0);
    ASSERT_EQ(apply(kPropWidth, whole_column(1), "5"), 0);
    ASSERT_EQ(apply(kPropMerge, range(0, 2, 0, 3), "TRUE"), 0);
    ASSERT_EQ(apply(kPropFontSize, cell(0, 4), "22"), 0);

    apply_auto_widths(b());  // off: nothing changes
    EXPECT_EQ(sheet().columns[0].width, 0.0);
    ASSERT_EQ(apply(kPropAutoWidth, PropertyTarget{}, "TRUE"), 0);
    apply_auto_widths(b());
    EXPECT_DOUBLE_EQ(sheet().columns[0].width, 14 + kAutoWidthPadding);
    EXPECT_DOUBLE_EQ(sheet().columns[1].width, 5.625);  // the caller's width stays
    EXPECT_EQ(sheet().columns[2].width, 0.0);           // merged text widens no single column
    EXPECT_DOUBLE_EQ(sheet().columns[4].width, 3 * 2 + kAutoWidthPadding);

    ASSERT_EQ(TXLS_put_cell(&book, "F1", std::string(400, 'w').c_str()), 0);
    apply_auto_widths(b());
    EXPECT_DOUBLE_EQ(sheet().columns[5].width, kMaxAutoWidth);
}

TEST_F(CellFormat, SavedStylesAndSheetCarryTheFormats) {
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "10"), 0);
    ASSERT_EQ(apply(kPropFontColor, cell(0, 0), "#FF8000"), 0);
    ASSERT_EQ(apply(kPropBorder, range(0, 0, 1, 1), "hair"), 0);
    ASSERT_EQ(apply(kPropFillColor, cell(1, 1), "LIGHT_BLUE"), 0);
    ASSERT_EQ(apply(kPropFormat, cell(0, 0), "小数点以下3"), 0);
    ASSERT_EQ(apply(kPropMerge, range(3, 0, 4, 2), "TRUE"), 0);
    ASSERT_EQ(apply(kPropFilter, range(0, 0, 9, 1), "TRUE"), 0);
    ASSERT_EQ(apply(kPropWidth, whole_column(1), "20"), 0);
    ASSERT_EQ(apply(kPropHeight, whole_row(1), "30"), 0);
    ASSERT_EQ(apply(kPropNewPage, whole_row(5), "TRUE"), 0);

    std::string styles = part("xl/styles.xml");
    EXPECT_NE(styles.find("<color rgb=\"FFFF8000\"/>"), std::string::npos);
    EXPECT_NE(styles.find("<left style=\"hair\">"), std::string::npos);
    EXPECT_NE(styles.find("<fgColor rgb=\"FFccccff\"/>"), std::string::npos);
    EXPECT_NE(styles.find("formatCode=\"0.000\""), std::string::npos);
    std::string sheet_xml = part("xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet_xml.find("<mergeCell ref=\"A4:C5\"/>"), std::string::npos);
    EXPECT_NE(sheet_xml.find("<autoFilter ref=\"A1:B10\" />"), std::string::npos);
    EXPECT_NE(sheet_xml.find("width=\"20.625\""), std::string::npos);
    EXPECT_NE(sheet_xml.find("ht=\"30"), std::string::npos);
    EXPECT_NE(sheet_xml.find("<brk id=\"5\""), std::string::npos);

    std::string path = ::testing::TempDir() + "cell_format_" + std::to_string(::getpid()) + ".xlsx";
    b().file_name = path;
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0);
    EXPECT_EQ(std::system(("unzip -tq " + path + " >/dev/null").c_str()), 0);
    std::remove(path.c_str());
}

TEST_F(CellFormat, StatementsReachTheCellsThroughTheStatementLoop) {
    ASSERT_EQ(TXLS_put_values(&book, "A1=1 A1:C3.FONT.COLOR=#FF8000 B:C.FILL.COLOR=YELLOW 2.ALIGN=右 D.WIDTH=12"), 0)
        << message();
    EXPECT_EQ(font(2, 2).rgb, (Rgb{0xFF, 0x80, 0x00}));
    EXPECT_EQ(fill(0, 1).colour, 12u);
    EXPECT_EQ(b().styles.fills()[b().styles.xfs()[sheet().columns[2].style - 1u].fill].colour, 12u);
    EXPECT_EQ(xf(1, 0).align, 23);
    EXPECT_NE(sheet().rows[1].style, kNoRowStyle);
    EXPECT_DOUBLE_EQ(sheet().columns[3].width, 12.625);
    EXPECT_EQ(TXLS_put_values(&book, "A1.MERGE=TRUE"), -3);
    EXPECT_EQ(message(), "TXLS-02101 セル範囲指定(RANGE)が必要です(\"MERGE\")。");
}
