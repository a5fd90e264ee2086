// Cell formatting statements and the style registry under them: value vocabularies and their
// messages, shared records, whole rows and columns, limits, automatic widths and set-cell masks.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "api/book_init.h"
#include "model/address.h"
#include "props/auto_width.h"
#include "props/colour.h"
#include "props/facts.h"

using namespace tabsmith;
using namespace tabsmith::testing;
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"  // records name only the fields that differ from the defaults

namespace {

// "B3.font.size" is a cell's format, "3.height" a row's, "C.width" a column's; other keys the sheet's.
class CellFormat : public StatementTable {
protected:
    Sheet &sheet() { return *store().current(); }
    std::uint16_t style(int row, int column) {
        const auto &rows = sheet().rows;
        return static_cast<std::size_t>(row) < rows.size() && static_cast<std::size_t>(column) < rows[row].cells.size() ? rows[row].cells[column].style : 0;
    }
    std::string describe_xf(std::uint16_t style) {
        const StyleRegistry &r = store().styles;
        const XfRecord xf = style == 0 || style == kNoRowStyle ? XfRecord{} : r.xfs()[style - 1u];
        const FontRecord &f = r.fonts()[xf.font];
        const FillRecord &g = r.fills()[xf.fill];
        const BorderRecord b = xf.border ? r.borders()[xf.border - 1] : BorderRecord{};
        const NumFormat nf = xf.format_mode == kFormatTable ? r.num_formats()[xf.format - 1] : NumFormat{};
        return describe("style", style, "align", xf.align, "flags", xf.text_flags, "mode", xf.format_mode, "format", xf.format, "nf", nf.kind,
                        "dec", nf.decimals, "parent", xf.style_xf, "font.id", f.name_id, "font.name", f.name, "font.size", f.size, "font.style", f.style,
                        "font.colour", f.colour, "font.rgb", f.rgb, "fill", g.pattern, "fill.colour", g.colour, "fill.pcolour", g.pattern_colour,
                        "fill.colour2", g.colour2, "grad", std::vector<int>{g.gradient_kind, g.gradient_variation}, "grad.rgb",
                        word(g.rgb) + "," + word(g.rgb2), "border.colour", b.colour, "border",
                        std::vector<int>{b.left, b.right, b.top, b.bottom, b.diagonal_up, b.diagonal_down});
    }
    std::string fact(const std::string &key) override {
        const std::string where = key.substr(0, key.find('.')), what = key.substr(std::min(key.size(), where.size() + 1));
        int row = 0, column = 0;
        if (parse_cell_name(where, row, column) == 0) return value_of(describe_xf(style(row, column)), what);
        if (parse_cell_name(where + "1", row, column) == 0)
            return value_of(describe_xf(sheet().columns.at(column).style) + describe("width", sheet().columns[column].width), what);
        if (parse_cell_name("A" + where, row, column) == 0) {
            const Row &r = sheet().rows.at(row);
            return value_of(describe_xf(r.style) + describe("height", r.attributes ? r.attributes->height : 0.0, "used", r.used), what);
        }
        const SheetSettings &s = sheet().settings;
        return value_of(describe("rows_used", sheet().rows_used, "merges", sheet().merges.size(), "merge.row2", sheet().merges.empty() ? -1 : sheet().merges[0].row2,
                                 "filter", std::vector{s.filter_row2, s.filter_column2}, "auto_width", store().settings.auto_width, "row_breaks",
                                 s.row_breaks, "column_breaks", s.column_breaks, "fonts", store().styles.fonts().size(), "xfs",
                                 store().styles.xfs().size(), "formats", store().styles.num_formats().size()),
                        key);
    }
    int count(const char *key) { return std::stoi(fact(key)); }
};

std::string colour(const std::string &value) { return "TXLS-02401 色(COLOR)の指定内容が不正です(\"" + value + "\")。"; }
std::string font(const std::string &value) { return "TXLS-02403 フォント(FONT)の指定内容が不正です(\"" + value + "\")。"; }
std::string bad_number(const std::string &value) { return "TXLS-02302 数値が不正です(\"" + value + "\")。"; }
const std::string kRangeNeeded = "TXLS-02101 セル範囲指定(RANGE)が必要です(\"", kMerged = "TXLS-02410 結合(MERGE)は既に結合したセルに対して定義できません。";

BorderRecord lines(std::uint8_t style) { return BorderRecord{style, style, style, style}; }

}  // namespace

TEST_F(CellFormat, FontsFillsBordersColoursAndTheirVocabularies) {
    run({
        {"A1.FONT.COLOR=NONE", -3, colour("NONE")}, {"A1.FILL.COLOR=なし", -3, colour("なし")}, {"A1.FILL.PATTERN.COLOR=#FF0000", -3, colour("#FF0000")},
        {"A1.FONT.COLOR=水色色", -3, colour("水色色")}, {"A1.FONT.COLOR=#12345", -3, colour("#12345")}, {"A1.FONT.COLOR=#12345G", -3, colour("#12345G")},
        {"A5.FONT.COLOR=red B5.FONT.COLOR=赤色 C5.FONT.COLOR=水色", 0, "A5.font.colour=11 B5.font.colour=11 C5.font.colour=14"},
        {"A1.FILL.COLOR=BLACK", 0, "A1.fill=1 A1.fill.colour=0"}, {"A1.FILL.PATTERN.COLOR=赤", 0, "A1.fill.pcolour=11"},
        {"B1.FILL.PATTERN.NAME=12.5%", 0, "B1.fill=5"}, {"C1.FILL.PATTERN.NAME=\"no such pattern\"", 0, "C1.fill=0"},
        // A pattern chosen first stays under a colour; the first gradient statement starts from the default stops.
        {"D1.FILL.PATTERN.NAME=右下がり斜線縞 D1.FILL.COLOR=RED", 0, "D1.fill=9 D1.fill.colour=11"},
        {"A2.FILL.GRADATION.KIND=縦", 0, "A2.fill=100 A2.grad=1,1 A2.grad.rgb=FFFFFF,4F81BD"}, {"A2.FILL.GRADATION.COLOR2=RED", 0, "A2.fill.colour2=11 A2.grad=1,1"},
        {"A2.FILL.GRADATION.VARIATION=3", 0, "A2.grad=1,3"}, {"A2.FILL.GRADATION.KIND=DIAGONAL", -3, "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"DIAGONAL\")。"},
        {"A2.FILL.GRADATION.VARIATION=two", -3, "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"two\")。"},
        // Border sides combine; a formatted cell without a border starts from no lines at all.
        {"A3.BORDER=HAIR", 0, "A3.border=2,2,2,2,0,0 A3.border.colour=0"}, {"A3.BORDER.LEFT=二重線", 0, "A3.border=6,2,2,2,0,0"},
        {"A3.BORDER.DIAGONAL_DOWN=dashdot", 0, "A3.border=6,2,2,2,0,12"}, {"A3.BORDER.COLOR=blue", 0, "A3.border.colour=15"},
        {"A3.BORDER=none", -3, "TXLS-02408 罫線(BORDER)の指定内容が不正です(\"none\")。"},
        {"E1=2024/1/1 E1.BORDER.TOP=thin E1.FILL.COLOR=BLACK", 0, "E1.border=0,0,1,0,0,0 E1.format=14 E1.fill=1"},
        {"B5:D7.BORDER.BOTTOM=thin", 0, "rows_used=7 7.used=4"},  // borders widen the used area
        {"A4.FONT.NAME=明朝", 0, "A4.font.id=20"}, {"B4.FONT.NAME=\"Noto Sans\"", 0, "B4.font.id=255 B4.font.name=Noto_Sans"},
        {"C4.FONT.NAME=" + std::string(80, 'x'), 0, ""}, {"A4.FONT.SIZE=12.7", 0, "A4.font.size=12 A4.font.id=20"},
        {"A4.FONT.STYLE=強調斜体下線", 0, "A4.font.style=7"}, {"A4.FONT.NAME=" + std::string(81, 'x'), -3, font(std::string(81, 'x'))},
        {"A4.FONT.STYLE=heavy", -3, font("heavy")}, {"A4.FONT.SIZE=big", -3, font("big")}, {"A4.FONT.SIZE=0", -3, font("0")},
        {"A4.FONT.SIZE=1000", -3, font("1000")},
        // A linked cell keeps the link look when its size changes; the preset itself never changes.
        {"F1=x F1.HYPERLINK=http://a.example/ F1.FONT.SIZE=20", 0, "F1.font.size=20 F1.font.style=10 F1.font.colour=0 F1.parent=1"},
    });
    EXPECT_EQ(store().styles.fonts()[store().styles.hyperlink_font()].size, 11);
    Colour magenta;
    EXPECT_EQ(parse_colour("light_magenta", magenta), ColourParse::kColour);
    EXPECT_EQ(magenta.rgb, (Rgb{0xFF, 0xCC, 0xFF}));
}

TEST_F(CellFormat, AlignmentFlagsMergesFiltersAndNumberFormats) {
    const std::string bad = "TXLS-02311 書式指定値が不正です(\"";
    run({
        {"A1.ALIGN=右", 0, "A1.align=23"}, {"A1.ALIGN=top_center", 0, "A1.align=12"}, {"A1.ALIGN=MIDDLE", -3, "TXLS-02405 配置(ALIGN)の指定内容が不正です(\"MIDDLE\")。"},
        // Text flags replace each other; FALSE leaves what is there.
        {"A2.WRAP=TRUE", 0, "A2.flags=2"}, {"A2.SHRINK=する", 0, "A2.flags=4"}, {"A2.ROTATION=false", 0, "A2.flags=4"},
        {"A2.WRAP=YES", -3, "TXLS-02200 サポート外のキーワードです(\"YES\")。"}, {"A1.MERGE=TRUE", -3, kRangeNeeded + "MERGE\")。"},
        {"B2:A1.MERGE=TRUE", 0, "merges=1 merge.row2=1"}, {"A1:B2.MERGE=TRUE", -3, kMerged}, {"B2:C3.MERGE=TRUE", -3, kMerged},
        {"C3:D4.MERGE=maybe", -3, "TXLS-02200 サポート外のキーワードです(\"maybe\")。"}, {"C3:D4.MERGE=FALSE", 0, ""},
        {"F6:F6.MERGE=TRUE", 0, "merges=1"},  // nothing to merge
        {"A1.FILTER=TRUE", -3, kRangeNeeded + "フィルター(FILTER)\")。"}, {"C10:A1.FILTER=TRUE", 0, "filter=9,2"}, {"A1:D4.FILTER=FALSE", 0, "filter=9,2"},
        // Without a target these statements do nothing; the automatic width is the book's.
        {"FONT.COLOR=RED MERGE=TRUE", 0, "merges=1"}, {"AUTO_WIDTH=TRUE", 0, "auto_width=1"}, {"AUTO_WIDTH=maybe", 0, "auto_width=1"},
        {"AUTO_WIDTH=FALSE", 0, "auto_width=0"},
        // Number formats share their entries; a format with no decimals is not one with them.
        {"A3.FORMAT=小数点以下2", 0, "A3.mode=1 A3.nf=109 A3.dec=2"}, {"B3.FORMAT=小数点以下2", 0, "B3.nf=109 B3.dec=2 formats=" + std::to_string(count("formats") + 1)},
        {"A4.FORMAT=日付", 0, "A4.format=1"}, {"B4.FORMAT=カンマ小数点以下2 C4.FORMAT=カンマ", 0, "C4.dec=0"},
        {"D4.FORMAT=文字列", 0, "D4.mode=2"}, {"A5.FORMAT=小数点以下", -3, bad + "小数点以下\")。"}, {"A5.FORMAT=小数点以下x", -3, bad + "小数点以下x\")。"},
        {"A5.FORMAT=小数点以下31", -3, bad + "小数点以下31\")。"}, {"A5.FORMAT=Currency", -3, bad + "Currency\")。"},
    });
    // Once the table holds 500 entries the next new one fails; existing ones still serve.
    for (int index = 0; store().styles.num_formats().size() < kMaxNumFormat;) ASSERT_EQ(append_num_format(store(), NumFormat{.kind = 999}, index), 0);
    const std::string limit = "TXLS-02319 書式指定が最大数(500)を超えました。";
    run({{"B6.FORMAT=小数点以下2", 0, ""}, {"B6.FORMAT=パーセント小数点以下30", -909, limit}, {"B6.FORMAT=郵便番号", -909, limit}});
}

TEST_F(CellFormat, WidthsHeightsBreaksAndWholeRowsAndColumns) {
    run({
        {"C.WIDTH=10", 0, "C.width=10.625"}, {"3.HEIGHT=15.5", 0, "3.height=1550 rows_used=3"}, {"A5:D6.HEIGHT=1,0", 0, "6.height=1000"},
        {"3.HEIGHT=tall", -3, bad_number("tall")}, {"3.HEIGHT=500", -3, bad_number("500")}, {"C.WIDTH=-1", -3, bad_number("-1")},
        {"1.NEWPAGE=TRUE", 0, "row_breaks="}, {"5.NEWPAGE=whatever", 0, ""}, {"5.NEWPAGE=TRUE", 0, "row_breaks=4"},
        {"D10.NEWPAGE=TRUE", 0, "row_breaks=4,9 column_breaks=3"},
        {"B2:C3.NEWPAGE=TRUE", -3, "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"NEWPAGE/改ページ\")。"},
        {"B15=x D12=y", 0, ""},
    });
    // The whole sheet formats its rows and columns, quickly, and makes nothing for empty cells.
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(put("A1:XFD1048576.FONT.COLOR=RED"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    ASSERT_EQ(sheet().columns.size(), static_cast<std::size_t>(store().max_columns));
    EXPECT_TRUE(holds("B15.font.colour=11 D12.font.colour=11 XFD.style=" + fact("B15.style") + " H18.style=0"));
    // A range reaching the last row but not starting at the first formats its columns; the cells
    // above it keep what they show.
    run({{"15.FONT.STYLE=bold", 0, "B15.font.style=2 B15.font.colour=11 15.font.style=2"},
         {"E11=head E13=body E12:E1048576.ALIGN=中", 0, "E13.align=22 E11.align=31 E.align=22 E101.style=0"},
         {"A1:Z1000000.FONT.COLOR=RED", -909, "TXLS-03009 バッファサイズ(\"2000000\")オーバー(\"apply_cell_property() range\")。"},
         {"B:C.FILL.COLOR=YELLOW 12.ALIGN=右", 0, "B15.fill.colour=12 C.fill.colour=12 D12.align=23 12.align=23"}});
    EXPECT_NE(style(10, 4), 0);
}

TEST_F(CellFormat, EqualFormattingSharesOneRecordAndTheLimits) {
    ASSERT_EQ(put("A1:C3.FONT.STYLE=bold"), 0);
    const int fonts = count("fonts");
    ASSERT_EQ(put("A1:C3.FONT.COLOR=#FF8000"), 0);
    EXPECT_TRUE(holds("fonts=" + std::to_string(fonts + 1) + " A3.font.rgb=FF8000 A3.font.style=2 C3.style=" + fact("A1.style") + " B2.style=" + fact("A1.style")));
    // Setting the value it already has adds nothing; two unformatted cells that get the same flag
    // share one XF equal to the default but for it; a large range adds one font and one XF, quickly.
    const int xfs = count("xfs");
    ASSERT_EQ(put("A1:C3.FONT.COLOR=ff8000 A4.ROTATION=TRUE B4.ROTATION=TRUE"), 0);
    EXPECT_EQ(count("xfs"), xfs + 1);
    EXPECT_EQ(store().styles.xfs()[style(3, 1) - 1u], XfRecord{.text_flags = kTextVertical});
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(put("A11:CV1010.FONT.COLOR=RED"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_TRUE(holds("fonts=" + std::to_string(fonts + 2) + " xfs=" + std::to_string(xfs + 2) + " CV1010.style=" + fact("A11.style")));
    for (int n = 0; store().styles.fonts().size() < kMaxFont; ++n) ASSERT_EQ(put("A1.FONT.NAME=f" + std::to_string(n)), 0);
    run({{"Z2000.FONT.NAME=\"one more\"", -909, "TXLS-03008 (\"Font Style\")の数が制限(\"512\")を超えました。|Z2000.style=0"}});
}

TEST_F(CellFormat, AutomaticWidthsFollowTheLongestText) {
    EXPECT_EQ(std::vector({display_units("abc"), display_units("日本語ｶﾅ"), display_units("ab\nabcdef\nx")}), std::vector<std::size_t>({3, 8, 6}));
    ASSERT_EQ(put("A1=abc A2=日本語の見出し B1=\"a long text that is wider\" C1=\"merged over two columns\" E1=big B.WIDTH=5 C1:D1.MERGE=TRUE E1.FONT.SIZE=22"), 0);
    apply_auto_widths(store());  // off: nothing changes
    EXPECT_TRUE(holds("A.width=0"));
    ASSERT_EQ(put("AUTO_WIDTH=TRUE"), 0);
    apply_auto_widths(store());  // the caller's width stays; merged text widens no single column
    EXPECT_TRUE(holds("A.width=" + word(14 + kAutoWidthPadding) + " B.width=5.625 C.width=0 E.width=" + word(3 * 2 + kAutoWidthPadding)));
    ASSERT_EQ(put("F1=" + std::string(400, 'w')), 0);
    apply_auto_widths(store());
    EXPECT_TRUE(holds("F.width=" + word(kMaxAutoWidth)));
}

TEST(StyleRegistry, PresetsLookupsIndexBasesAndStrayReferences) {
    Book book;
    Cell cell;
    ASSERT_EQ(set_cell_font(book, cell, kFontMaskColour, FontRecord{.colour = 11}), 0);
    ASSERT_EQ(set_range_border(book, 0, 0, 0, 0, 0, 15, lines(1)), -1);  // no sheet yet
    ASSERT_EQ(init_book(book, kFileTypeXlsx), 0);  // initialising starts again
    const StyleRegistry &r = book.styles;
    EXPECT_EQ(r.find_font(FontRecord{.colour = 11}), -1);
    // The references that the value writers give dates, times, money and percentages.
    for (auto [reference, format] : {std::pair<int, int>{kXfDate, 14}, {kXfDateTime, 22}, {kXfTimeHm, 20}, {kXfTimeHms, 46}, {kXfCurrency, 5}, {kXfPercent, 9}}) {
        const XfRecord &xf = r.xfs()[reference - 1u];
        EXPECT_EQ(std::vector<std::uint32_t>({xf.format, xf.align, xf.font, xf.style_xf}), std::vector<std::uint32_t>({std::uint32_t(format), 33, 0, 0}));
    }
    EXPECT_EQ(r.hyperlink_xf() + 1u, kXfHyperlink);
    for (std::uint32_t font : {r.xfs()[kXfHyperlink - 1u].font, r.hyperlink_font()}) EXPECT_EQ(r.fonts()[font].style, kFontBold | kFontHyperlink);
    Cell striped, stray;  // a gradient field turns a patterned fill into a gradient that keeps its colour
    ASSERT_EQ(set_cell_fill(book, striped, kFillMaskPattern, FillRecord{.pattern = 9}), 0);
    ASSERT_EQ(set_cell_fill(book, striped, kFillMaskColour, FillRecord{.colour = 11}), 0);
    ASSERT_EQ(set_cell_fill(book, striped, kFillMaskGradientColour2, FillRecord{.colour2 = 25}), 0);
    const FillRecord &gradient = r.fills()[cell_xf(book, striped).fill];
    EXPECT_EQ(std::vector<std::uint32_t>({gradient.pattern, gradient.colour, gradient.colour2}), std::vector<std::uint32_t>({kFillGradient, 11, 25}));
    // A reference past the table counts as no format.
    stray.style = 5000;
    EXPECT_EQ(cell_xf(book, stray), XfRecord{});
    ASSERT_EQ(set_cell_font(book, stray, kFontMaskColour, FontRecord{.colour = 11}), 0);
    EXPECT_LT(stray.style, 5000);

    Book plain;
    StyleRegistry &p = plain.styles;
    EXPECT_EQ(std::vector({p.find_font(FontRecord{}), p.find_fill(FillRecord{.pattern = kFillGray125}), p.find_border(lines(1))}), std::vector({0, 1, -1}));
    ASSERT_EQ(append_border(plain, lines(1)), 0);
    EXPECT_EQ(std::vector({p.find_border(lines(1)), p.find_num_format(302), p.find_num_format(303)}), std::vector({1, 1, -1}));  // borders count from one
    const XfRecord date = p.xfs()[0];
    ASSERT_EQ(tsx_set_xf(plain, date), 0);  // readers may append duplicates: the first is found
    ASSERT_EQ(tsx_set_font(plain, FontRecord{}), 0);
    EXPECT_EQ(std::pair(p.find_xf(date), p.find_font(FontRecord{})), std::pair(0, 0));
    // Every compared field tells records apart, the font name included.
    ASSERT_EQ(tsx_set_font(plain, FontRecord{.name_id = kFontNameOwn, .name = "Arial"}), 0);
    ASSERT_EQ(append_fill(plain, FillRecord{.pattern = kFillGradient, .rgb2 = {0, 0, 1}}), 0);
    EXPECT_EQ(std::pair(p.find_font(FontRecord{.name_id = kFontNameOwn, .name = "Arial Black"}), p.find_fill(FillRecord{.pattern = kFillGradient, .rgb2 = {0, 0, 2}})),
              std::pair(-1, -1));
}

TEST(StyleRegistry, NumberFormatsTheirIdsAndTheLimit) {
    Book book;
    int index[3] = {};
    ASSERT_EQ(tsx_set_num_format(book, 302, index[0]), 0);
    ASSERT_EQ(tsx_set_num_format(book, 201, index[1]), 0);
    ASSERT_EQ(append_num_format(book, NumFormat{.kind = 109, .decimals = 2}, index[2]), 0);
    const StyleRegistry &r = book.styles;  // by kind and decimals, or by kind whatever its decimals
    EXPECT_EQ(std::vector({index[0], index[1], index[2], r.find_num_format(109, 2), r.find_num_format(109, 3), r.find_num_format(109)}), std::vector({1, 2, 3, 3, -1, 3}));
    for (std::uint16_t kind = 1000; r.num_formats().size() < kMaxNumFormat; ++kind) ASSERT_EQ(tsx_set_num_format(book, kind, index[0]), 0);
    EXPECT_EQ(tsx_set_num_format(book, 302, index[0]), 0);  // found: no append needed
    EXPECT_EQ(tsx_set_num_format(book, 999, index[0]), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"500\")オーバー(\"tsx_set_num_format()\")。");
    EXPECT_EQ(r.num_formats().size(), 500u);
    // Formats added to a package are numbered above its ids; 404 is saved through the built-in
    // [h]:mm:ss and takes no id.
    auto entry = [](std::uint16_t kind, std::uint16_t id) { return NumFormat{.kind = kind, .assigned_id = id}; };
    const struct { std::vector<NumFormat> formats; std::size_t package_entries; std::uint32_t highest; std::vector<std::uint16_t> ids; } cases[] = {
        {{entry(109, 0), entry(404, 0), entry(302, 0)}, 0, 0, {164, 0, 165}}, {{entry(0, 14), entry(0, 22), entry(109, 0)}, 2, 0, {164}},
        {{entry(0, 190), entry(0, 170), entry(109, 0), entry(501, 0)}, 2, 0, {191, 192}},
        {{entry(0, 170), entry(109, 0)}, 1, 300, {301}},  // an id only the package text shows
        {{entry(0, 170)}, 1, 0, {}},
    };
    for (const auto &c : cases) EXPECT_EQ(added_format_ids(c.formats, c.package_entries, c.highest), c.ids) << c.formats.size();
    // The registry of a read book keeps the package entries' ids (the date preset's 176) and numbers the rest.
    StyleRegistry registry;
    registry.assign_format_ids();
    ASSERT_EQ(registry.append(entry(109, 0)), 0);
    registry.assign_added_format_ids(1);
    EXPECT_EQ(std::pair(int(registry.num_formats().front().assigned_id), int(registry.num_formats().back().assigned_id)), std::pair(176, 177));
}

TEST(StyleRegistry, XfAndFontTablesRefuseTheOneTooManyAndLargeBorders) {
    Book book;
    for (std::uint32_t format = 1000; book.styles.xfs().size() < kMaxXf; ++format) ASSERT_EQ(tsx_set_xf(book, XfRecord{.format = format}), 0);
    Cell cell;
    EXPECT_EQ(set_cell_align(book, cell, 22), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"64000\")オーバー(\"tsx_set_xf() MAX_XF\")。");
    EXPECT_EQ(cell.style, 0);
    ASSERT_EQ(set_cell_xf(book, cell, XfRecord{.format = 1000 + std::uint32_t(kMaxXf) - 8}), 0);  // an existing record is still found and fits
    EXPECT_EQ(cell.style, kMaxXf);
    Book fonts;
    for (std::uint16_t size = 100; fonts.styles.fonts().size() < kMaxFont; ++size) ASSERT_EQ(tsx_set_font(fonts, FontRecord{.size = size}), 0);
    const std::size_t xfs = fonts.styles.xfs().size();
    Cell other;
    EXPECT_EQ(set_cell_font(fonts, other, kFontMaskSize, FontRecord{.size = 99}), -9);
    EXPECT_EQ(fonts.err.message_utf8(), "TXLS-03009 バッファサイズ(\"512\")オーバー(\"tsx_set_font() MAX_FONT\")。");
    EXPECT_EQ(std::pair(int(other.style), fonts.styles.xfs().size()), std::pair(0, xfs));
    // A large range in reverse corner order shares one record, widens the sheet and is no quadratic job.
    Book wide;
    ASSERT_EQ(add_sheet(wide, "S"), 0);
    ASSERT_EQ(set_range_border(wide, 0, 1000, 100, 1, 1, 15, lines(1)), 0);
    const Sheet &sheet = *wide.sheets[0];
    EXPECT_EQ(std::vector<int>({sheet.rows_used, sheet.rows[1000].used, sheet.rows[0].used, int(wide.styles.borders().size()), sheet.rows[1].cells[0].style}),
              std::vector<int>({1001, 101, 0, 1, 0}));
    EXPECT_EQ(sheet.rows[1].cells[1].style, sheet.rows[1000].cells[100].style);
    EXPECT_NE(sheet.rows[1].cells[1].style, 0);
    EXPECT_EQ(set_range_border(wide, 3, 0, 0, 0, 0, 15, lines(1)), -1);
}
