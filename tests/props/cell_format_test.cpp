// Cell formatting statements: value vocabularies and their messages, the records they share in
// the style registry, whole-row and whole-column targets, limits and automatic widths.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "api/api.h"
#include "common/fixtures.h"
#include "props/auto_width.h"
#include "props/cell_format.h"
#include "props/colour.h"

using namespace tabsmith;
using tabsmith::testing::SheetTest;

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

PropertyTarget whole_row(int row) { return cell(row, -1); }
PropertyTarget whole_column(int column) { return cell(-1, column); }

class CellFormat : public SheetTest {
protected:
    Book &b() { return store(); }
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
    // Applies each statement in order: its code, then its message or what it left behind.
    struct Step {
        int id;
        PropertyTarget target;
        std::string value;
        int rc;
        std::string message;         // of a failure; "-" = not checked
        std::function<bool()> kept;  // may be empty
    };
    void run(const std::vector<Step> &steps) {
        for (const Step &s : steps) {
            EXPECT_EQ(apply(s.id, s.target, s.value), s.rc) << s.id << " " << s.value;
            if (s.rc != 0 && s.message != "-") {
                EXPECT_EQ(message(), s.message) << s.id << " " << s.value;
            }
            if (s.kept) {
                EXPECT_TRUE(s.kept()) << s.id << " " << s.value;
            }
        }
    }
};

const std::string kKeyword = "TXLS-02200 サポート外のキーワードです(\"";
const std::string kColour = "TXLS-02401 色(COLOR)の指定内容が不正です(\"";
const std::string kFont = "TXLS-02403 フォント(FONT)の指定内容が不正です(\"";

}  // namespace

TEST(Colours, NamesCodesAndRefusals) {
    struct Case {
        const char *text;
        ColourParse result;
        std::uint32_t index;
    } cases[] = {{"red", ColourParse::kColour, 11},  {"赤色", ColourParse::kColour, 11}, {"水色", ColourParse::kColour, 14},
                 {"水色色", ColourParse::kInvalid, 0}, {"なし", ColourParse::kNone, 0},  {"#12345", ColourParse::kInvalid, 0},
                 {"#12345G", ColourParse::kInvalid, 0}};
    for (const Case &c : cases) {
        Colour colour;
        EXPECT_EQ(parse_colour(c.text, colour), c.result) << c.text;
        if (c.index) {
            EXPECT_EQ(colour.index, c.index) << c.text;
        }
    }
    Colour magenta;
    EXPECT_EQ(parse_colour("light_magenta", magenta), ColourParse::kColour);
    EXPECT_EQ(magenta.rgb, (Rgb{0xFF, 0xCC, 0xFF}));
}

TEST_F(CellFormat, FontsFillsBordersAndTheirVocabularies) {
    run({
        {kPropFontColor, cell(0, 0), "NONE", -3, kColour + "NONE\")。", {}},
        {kPropFillColor, cell(0, 0), "なし", -3, kColour + "なし\")。", {}},
        {kPropFillPatternColor, cell(0, 0), "#FF0000", -3, "-", {}},
        {kPropFillColor, cell(0, 0), "BLACK", 0, "", [&] { return fill(0, 0).pattern == kFillSolid && fill(0, 0).colour == 0; }},
        {kPropFillPatternColor, cell(0, 0), "赤", 0, "", [&] { return fill(0, 0).pattern_colour == 11u; }},
        {kPropFillPatternName, cell(0, 1), "12.5%", 0, "", [&] { return fill(0, 1).pattern == 5u; }},
        {kPropFillPatternName, cell(0, 2), "no such pattern", 0, "", [&] { return fill(0, 2).pattern == 0u; }},
        // The first gradient statement starts from the default stops.
        {kPropGradationKind, cell(1, 0), "縦", 0, "", [&] {
             FillRecord g = fill(1, 0);
             return g.pattern == kFillGradient && g.gradient_kind == 1 && g.gradient_variation == 1 &&
                    g.rgb == (Rgb{0xFF, 0xFF, 0xFF}) && g.rgb2 == (Rgb{0x4F, 0x81, 0xBD});
         }},
        {kPropGradationColor2, cell(1, 0), "RED", 0, "", [&] { return fill(1, 0).colour2 == 11u && fill(1, 0).gradient_kind == 1; }},
        {kPropGradationVariation, cell(1, 0), "3", 0, "", [&] { return fill(1, 0).gradient_variation == 3; }},
        {kPropGradationKind, cell(1, 0), "DIAGONAL", -3, "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"DIAGONAL\")。", {}},
        {kPropGradationVariation, cell(1, 0), "two", -3, "-", {}},
        {kPropBorder, cell(2, 0), "HAIR", 0, "", [&] { return border(2, 0) == (BorderRecord{2, 2, 2, 2, 0, 0, 0, {}}); }},
        {kPropBorderLeft, cell(2, 0), "二重線", 0, "", [&] { return border(2, 0).left == 6 && border(2, 0).top == 2; }},
        {kPropBorderDiagonalDown, cell(2, 0), "dashdot", 0, "", [&] { return border(2, 0).diagonal_down == 12; }},
        {kPropBorderColor, cell(2, 0), "blue", 0, "", [&] { return border(2, 0).colour == 15u; }},
        {kPropBorder, cell(2, 0), "none", -3, "TXLS-02408 罫線(BORDER)の指定内容が不正です(\"none\")。", {}},
        // Borders widen the used area.
        {kPropBorderBottom, range(4, 1, 6, 3), "thin", 0, "", [&] { return sheet().rows_used >= 7 && sheet().rows[6].used >= 4; }},
        {kPropFontName, cell(3, 0), "明朝", 0, "", [&] { return font(3, 0).name_id == 20; }},
        {kPropFontName, cell(3, 1), "Noto Sans", 0, "", [&] { return font(3, 1).name_id == kFontNameOwn && font(3, 1).name == "Noto Sans"; }},
        {kPropFontName, cell(3, 2), std::string(80, 'x'), 0, "", {}},
        {kPropFontSize, cell(3, 0), "12.7", 0, "", [&] { return font(3, 0).size == 12 && font(3, 0).name_id == 20; }},
        {kPropFontStyle, cell(3, 0), "強調斜体下線", 0, "", [&] { return font(3, 0).style == 7; }},
        {kPropFontName, cell(3, 0), std::string(81, 'x'), -3, kFont + std::string(81, 'x') + "\")。", {}},
        {kPropFontStyle, cell(3, 0), "heavy", -3, kFont + "heavy\")。", {}},
        {kPropFontSize, cell(3, 0), "big", -3, kFont + "big\")。", {}},
        {kPropFontSize, cell(3, 0), "0", -3, kFont + "0\")。", {}},
        {kPropFontSize, cell(3, 0), "1000", -3, kFont + "1000\")。", {}},
    });
}

TEST_F(CellFormat, EqualFormattingSharesOneRecord) {
    ASSERT_EQ(apply(kPropFontStyle, range(0, 0, 2, 2), "bold"), 0);
    std::size_t fonts = b().styles.fonts().size();
    ASSERT_EQ(apply(kPropFontColor, range(0, 0, 2, 2), "#FF8000"), 0);
    EXPECT_EQ(b().styles.fonts().size(), fonts + 1);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(style(r, c), style(0, 0));
            EXPECT_EQ(font(r, c).rgb, (Rgb{0xFF, 0x80, 0x00}));
            EXPECT_EQ(font(r, c).style, kFontBold);
        }
    // Setting the value it already has adds nothing.
    std::size_t xfs = b().styles.xfs().size();
    ASSERT_EQ(apply(kPropFontColor, range(0, 0, 2, 2), "ff8000"), 0);
    EXPECT_EQ(b().styles.xfs().size(), xfs);
    // Two cells without a format that get the same flag share one XF equal to the default but for it.
    ASSERT_EQ(apply(kPropRotation, cell(3, 0), "TRUE"), 0);
    ASSERT_EQ(apply(kPropRotation, cell(3, 1), "TRUE"), 0);
    EXPECT_EQ(b().styles.xfs().size(), xfs + 1);
    XfRecord vertical;
    vertical.text_flags = kTextVertical;
    EXPECT_EQ(xf(3, 1), vertical);
    // One statement on a large range adds one font and one XF, quickly.
    fonts = b().styles.fonts().size();
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(apply(kPropFontColor, range(10, 0, 1009, 99), "RED"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(b().styles.fonts().size(), fonts + 1);
    EXPECT_EQ(b().styles.xfs().size(), xfs + 2);
    EXPECT_EQ(style(1009, 99), style(10, 0));
}

TEST_F(CellFormat, AlignmentFlagsMergesAndFilters) {
    const std::string range_needed = "TXLS-02101 セル範囲指定(RANGE)が必要です(\"";
    run({
        {kPropAlign, cell(0, 0), "右", 0, "", [&] { return xf(0, 0).align == 23; }},
        {kPropAlign, cell(0, 0), "top_center", 0, "", [&] { return xf(0, 0).align == 12; }},
        {kPropAlign, cell(0, 0), "MIDDLE", -3, "TXLS-02405 配置(ALIGN)の指定内容が不正です(\"MIDDLE\")。", {}},
        // Text flags replace each other; FALSE leaves what is there.
        {kPropWrap, cell(1, 0), "TRUE", 0, "", [&] { return xf(1, 0).text_flags == kTextWrap; }},
        {kPropShrink, cell(1, 0), "する", 0, "", [&] { return xf(1, 0).text_flags == kTextShrink; }},
        {kPropRotation, cell(1, 0), "false", 0, "", [&] { return xf(1, 0).text_flags == kTextShrink; }},
        {kPropWrap, cell(1, 0), "YES", -3, kKeyword + "YES\")。", {}},
        {kPropMerge, cell(0, 0), "TRUE", -3, range_needed + "MERGE\")。", {}},
        {kPropMerge, range(1, 1, 0, 0), "TRUE", 0, "", [&] { return sheet().merges.size() == 1 && sheet().merges[0].row2 == 1; }},
        {kPropMerge, range(0, 0, 1, 1), "TRUE", -3, "TXLS-02410 結合(MERGE)は既に結合したセルに対して定義できません。", {}},
        {kPropMerge, range(1, 1, 2, 2), "TRUE", -3, "-", {}},
        {kPropMerge, range(2, 2, 3, 3), "maybe", -3, "-", {}},
        {kPropMerge, range(2, 2, 3, 3), "FALSE", 0, "", {}},
        {kPropMerge, range(5, 5, 5, 5), "TRUE", 0, "", [&] { return sheet().merges.size() == 1; }},  // nothing to merge
        {kPropFilter, cell(0, 0), "TRUE", -3, range_needed + "フィルター(FILTER)\")。", {}},
        {kPropFilter, range(9, 2, 0, 0), "TRUE", 0, "",
         [&] { return sheet().settings.filter_row2 == 9 && sheet().settings.filter_column2 == 2; }},
        {kPropFilter, range(0, 0, 3, 3), "FALSE", 0, "", [&] { return sheet().settings.filter_row2 == 9; }},
        // Without a target these statements do nothing; the automatic width is the book's.
        {kPropFontColor, PropertyTarget{}, "RED", 0, "", {}},
        {kPropMerge, PropertyTarget{}, "TRUE", 0, "", [&] { return sheet().merges.size() == 1; }},
        {kPropAutoWidth, PropertyTarget{}, "TRUE", 0, "", [&] { return b().settings.auto_width; }},
        {kPropAutoWidth, PropertyTarget{}, "maybe", 0, "", [&] { return b().settings.auto_width; }},
        {kPropAutoWidth, PropertyTarget{}, "FALSE", 0, "", [&] { return !b().settings.auto_width; }},
    });
}

TEST_F(CellFormat, NumberFormatsShareEntriesUpToTheTableLimit) {
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
    for (const char *format : {"パーセント小数点以下30", "郵便番号"}) {
        EXPECT_EQ(apply(kPropFormat, cell(3, 1), format), -9);
        EXPECT_EQ(message(), "TXLS-02319 書式指定が最大数(500)を超えました。");
    }
}

TEST_F(CellFormat, WidthsHeightsAndBreaks) {
    run({
        {kPropWidth, whole_column(2), "10", 0, "", [&] { return sheet().columns[2].width == 10.625; }},
        {kPropHeight, whole_row(2), "15.5", 0, "",
         [&] { return sheet().rows[2].attributes && sheet().rows[2].attributes->height == 1550 && sheet().rows_used >= 3; }},
        {kPropHeight, range(4, 0, 5, 3), "1,0", 0, "", [&] { return sheet().rows[5].attributes->height == 1000; }},
        {kPropHeight, whole_row(2), "tall", -3, "TXLS-02302 数値が不正です(\"tall\")。", {}},
        {kPropHeight, whole_row(2), "500", -3, "-", {}},
        {kPropWidth, whole_column(2), "-1", -3, "-", {}},
        {kPropNewPage, whole_row(0), "TRUE", 0, "", [&] { return sheet().settings.row_breaks.empty(); }},
        {kPropNewPage, whole_row(4), "whatever", 0, "", {}},
        {kPropNewPage, whole_row(4), "TRUE", 0, "", [&] { return sheet().settings.row_breaks == std::vector<int>{4}; }},
        {kPropNewPage, cell(9, 3), "TRUE", 0, "", [&] {
             return sheet().settings.row_breaks == std::vector<int>{4, 9} && sheet().settings.column_breaks == std::vector<int>{3};
         }},
        {kPropNewPage, range(1, 1, 2, 2), "TRUE", -3, "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"NEWPAGE/改ページ\")。", {}},
    });
}

TEST_F(CellFormat, WholeRowsAndColumnsUseRowAndColumnStyles) {
    ASSERT_EQ(TXLS_put_values(&book, "B5=x D2=y"), 0);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(apply(kPropFontColor, range(0, 0, b().max_rows - 1, b().max_columns - 1), "RED"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(font(4, 1).colour, 11u);
    EXPECT_EQ(font(1, 3).colour, 11u);
    ASSERT_EQ(sheet().columns.size(), static_cast<std::size_t>(b().max_columns));
    EXPECT_EQ(sheet().columns[16383].style, style(4, 1));
    EXPECT_EQ(style(7, 7), 0);  // nothing made for empty cells

    ASSERT_EQ(apply(kPropFontStyle, whole_row(4), "bold"), 0);
    EXPECT_EQ(font(4, 1).style, kFontBold);
    EXPECT_EQ(font(4, 1).colour, 11u);
    ASSERT_NE(sheet().rows[4].style, kNoRowStyle);
    EXPECT_EQ(b().styles.fonts()[b().styles.xfs()[sheet().rows[4].style - 1u].font].style, kFontBold);

    // A range reaching the last row but not starting at the first formats its columns; the
    // cells above it keep what they show.
    ASSERT_EQ(TXLS_put_values(&book, "E1=head E3=body"), 0);
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
    for (int column = 0; b().styles.fonts().size() < kMaxFont; ++column)
        ASSERT_EQ(apply(kPropFontName, cell(0, column), "f" + std::to_string(column)), 0);
    EXPECT_EQ(apply(kPropFontName, cell(1, 0), "one more"), -9);
    EXPECT_EQ(message(), "TXLS-03008 (\"Font Style\")の数が制限(\"512\")を超えました。");
    EXPECT_EQ(style(1, 0), 0);
}

TEST_F(CellFormat, AutomaticWidthsFollowTheLongestText) {
    EXPECT_EQ(display_units("abc"), 3u);
    EXPECT_EQ(display_units("日本語ｶﾅ"), 8u);
    EXPECT_EQ(display_units("ab\nabcdef\nx"), 6u);
    ASSERT_EQ(TXLS_put_values(&book, "A1=abc A2=日本語の見出し B1=\"a long text that is wider\" "
                                     "C1=\"merged over two columns\" E1=big"), 0);
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

TEST_F(CellFormat, StatementsReachTheCellsThroughTheStatementLoop) {
    ASSERT_EQ(TXLS_put_values(&book, "A1=1 A1:C3.FONT.COLOR=#FF8000 B:C.FILL.COLOR=YELLOW 2.ALIGN=右 D.WIDTH=12"), 0)
        << message();
    EXPECT_EQ(font(2, 2).rgb, (Rgb{0xFF, 0x80, 0x00}));
    EXPECT_EQ(fill(0, 1).colour, 12u);
    EXPECT_EQ(b().styles.fills()[b().styles.xfs()[sheet().columns[2].style - 1u].fill].colour, 12u);
    EXPECT_EQ(xf(1, 0).align, 23);
    EXPECT_NE(sheet().rows[1].style, kNoRowStyle);
    EXPECT_DOUBLE_EQ(sheet().columns[3].width, 12.625);
}
