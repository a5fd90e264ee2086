// Cell formatting and drawing statements: value vocabularies and their messages, shared records,
// rows and columns, limits, widths, the style registry; charts, autoshapes and pictures placed.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "api/book_init.h"
#include "common/picture_headers.h"
#include "common/tiny_jpeg.h"
#include "model/address.h"
#include "props/auto_width.h"
#include "props/colour.h"
#include "props/facts.h"
#include "props/property.h"
#include "xlsx_write/object_parts.h"

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

std::string describe_chart(const ChartSettings &s) {
    auto optional = [](bool has, double value) { return has ? word(value) : std::string("-"); };
    return describe("title", s.title, "title_size", s.title_font_size, "legend_size", s.legend_font_size, "axis_sizes",
                    std::vector{s.axis_x_font_size, s.axis_y_font_size}, "legend", s.legend, "legend_pos", s.legend_position, "series_lines",
                    s.series_lines, "major", optional(s.has_major_unit, s.major_unit), "labels", s.data_labels, "min",
                    optional(s.has_axis_min, s.axis_min), "max", optional(s.has_axis_max, s.axis_max), "gap", s.gap_width, "style", s.style,
                    "sub_type", s.sub_type, "location",
                    s.has_location ? word(std::vector{s.location_row1, s.location_column1, s.location_row2, s.location_column2}) : "-",
                    "background", s.background, "back", s.back_colour, "grad", word(s.gradient_colour1) + "," + word(s.gradient_colour2),
                    "rotate", std::vector{s.rotate_x, s.rotate_y}, "depth", s.depth, "perspective",
                    word(s.has_perspective) + "/" + word(s.perspective), "switch", s.switch_rows_columns);
}

std::string describe_shape(const ShapeSettings &s) {
    auto colour = [](const ShapeColour &c) { return c.set ? word(c.rgb) : std::string("-"); };
    auto arrow = [](const ShapeArrow &a) { return std::vector{int(a.head), int(a.width), int(a.length)}; };
    return describe("kind", shape_kinds()[s.kind].preset, "width", s.width, "height", s.height, "offset", std::vector{s.offset_x, s.offset_y},
                    "end", std::vector{s.end_x, s.end_y}, "rotation", s.rotation, "flip", std::vector<int>{s.flip_h, s.flip_v}, "adjust",
                    (s.adjust_x_set ? word(s.adjust_x) : "-") + "," + (s.adjust_y_set ? word(s.adjust_y) : "-"), "text", s.text, "font",
                    s.font_name, "font_size", s.font_size, "font_style", s.font_style, "font_colour", colour(s.font_colour), "align", s.align,
                    "direction", s.text_direction, "style", s.style, "accent", s.accent, "modern", s.modern, "soft_edge", s.soft_edge, "fill",
                    s.fill, "fill_colour", colour(s.fill_colour), "fill_clear", s.fill_transparency, "gradient", s.gradient, "variation",
                    s.gradient_variation, "degree", s.gradient_degree, "grad_colours", colour(s.gradient_colour1) + "," + colour(s.gradient_colour2),
                    "dash", s.dash, "line_colour", colour(s.line_colour), "line_width", s.line_width, "line_clear", s.line_transparency,
                    "arrow_start", arrow(s.arrow_start), "arrow_end", arrow(s.arrow_end), "shadow", s.shadow, "shadow_colour", s.shadow_colour,
                    "shadow_clear", s.shadow_transparency, "shadow_size", s.shadow_size, "blur", s.shadow_blur, "shadow_degree",
                    s.shadow_degree, "distance", s.shadow_distance);
}

// "chart.x" and "x" (or "shape.x"): what the next chart or shape copies; "last.x": the last object placed.
class Drawings : public StatementTable {
protected:
    std::vector<DrawingObject> &drawings() { return store().drawings; }
    std::string fact(const std::string &key) override {
        const std::size_t dot = key.find('.');
        const std::string scope = key.substr(0, dot), what = key.substr(dot + 1);
        if (dot == std::string::npos || scope == "shape") return value_of(describe_shape(store().shape_settings), what);
        if (scope == "chart") return value_of(describe_chart(store().chart_settings), what);
        if (drawings().empty()) return value_of(describe("objects", 0), what);
        const DrawingObject &o = drawings().back();
        std::string d = describe("objects", drawings().size(), "object_kind", o.kind, "anchor", std::vector{o.sheet, o.row, o.column}, "ratio",
                                 o.ratio, "shift", std::vector{o.offset_x, o.offset_y});
        if (o.picture) d += describe("picture", std::vector{o.picture->type, o.picture->width, o.picture->height});
        if (o.shape) d += describe_shape(o.shape->settings);
        if (o.chart) {
            std::vector<std::string> series, areas;
            for (const ChartSeries &s : o.chart->series) series.push_back(word(std::vector{s.row1, s.column1, s.row2, s.column2, s.colour}));
            for (const ChartArea &a : o.chart->areas) areas.push_back(word(std::vector{a.row1, a.column1, a.row2, a.column2}));
            d += describe("type", o.chart->type, "chart_sheet", o.chart->sheet, "in_rows", o.chart->series_in_rows, "series_count",
                          o.chart->series.size(), "series", series, "areas", areas) + describe_chart(o.chart->settings);
        }
        return value_of(d, what);
    }
    std::string graph(const std::string &named) { return "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"" + named + "\")。"; }
    TempFolder folder;
};

const std::string kColour = "TXLS-02401 色(COLOR)の指定内容が不正です(\"", kShape = "TXLS-02600 オートシェイプ(AUTOSHAPE)の指定内容が不正です(\"";
const std::string kPictureRefused = "TXLS-03190 イメージファイルがサポート外のファイル形式です(\"";

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
        {"B3.BORDER.RIGHT=thin B3.BORDER.BOTTOM=hair B3.BORDER.DIAGONAL_UP=thin", 0, "B3.border=0,1,0,2,1,0"}, {"A3.BORDER=none", -3, "TXLS-02408 罫線(BORDER)の指定内容が不正です(\"none\")。"},
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
        {"B15=x D12=y", 0, ""}, {"2:3.FONT.STYLE=bold C.FONT.STYLE=bold 4.FONT.STYLE=bold", 0, "2.font.style=2 4.font.style=2 C.font.style=2"},
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
         {"B:C.FILL.COLOR=YELLOW 12.ALIGN=右", 0, "B15.fill.colour=12 C.fill.colour=12 D12.align=23 12.align=23"},
         {"H20=x I20:XFD200.FONT.COLOR=RED", 0, "20.font.colour=11 200.font.colour=11 H20.font.colour=11"}});
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

TEST_F(Drawings, ChartTypeWordsOptionsAndTheSeriesOfARange) {
    // Last column E (4) is below last row 6 (5): every column is one record of rows 2..6.
    run({{"B2:E6.CHART=LINE", 0, "last.objects=1 last.object_kind=20 last.anchor=0,1,1 last.type=3000 last.chart_sheet=0 last.in_rows=0 "
                                 "last.series=1,1,5,1,34,1,2,5,2,35,1,3,5,3,36,1,4,5,4,34"}});
    drawings().clear();  // the type words are the chart part's table
    run({
        {"B2:E6.CHART=VIEW", -3, graph("VIEW")}, {"B2:E6.CHART=BAR_VERTICAL", -3, graph("BAR_VERTICAL")},  // only the misspelt word is known
        {"B2:E6.CHART=BAR_PYRAMID", -3, graph("BAR_PYRAMID")}, {"B2:E6.CHART=\"LINE COLOUR=RED\"", -3, graph("COLOUR")},
        {"B2:E6.CHART=\"LINE TITLE\"", -3, graph("TITLE")}, {"B2:E6.CHART=\"LINE STYLE=abc\"", -3, graph("abc")},
        {"B2:E6.CHART=\"LINE LEGEND=MAYBE\"", -3, graph("MAYBE")},
        {"B2:E6.CHART=\"LINE LOCATION=Q\"", -3, "TXLS-02301 セル範囲指定値が不正です(\"Q\")。"},
        {"B2:E6.CHART=\"LINE BACKCOLOR=MAUVE\"", -3, kColour + "MAUVE\")。|last.objects=0"},
        // Options go to the chart only: the next chart starts from the book's settings again.
        {"A1:D5.CHART=\"BAR_VERITICAL TITLE='Monthly sales' TITLE.FONT.SIZE=14 X.AXIS.SIZE=8 Y.AXIS.SIZE=9 LEGEND=FALSE 3D_ROTATE_X=20 "
         "3D_ROTATE_Y=40 3D_DEPTH=150 3D_PERSPECTIVE=45 TYPE=2 STYLE=7 LOCATION=G2:N20 BACKCOLOR=#336699 GRADATIONCOLOR1=RED GRADATIONCOLOR2=青\"",
         0, "last.title=Monthly_sales last.title_size=1400 last.axis_sizes=800,900 last.legend=0 last.rotate=20,40 last.depth=150 "
            "last.perspective=1/45 last.sub_type=2 last.style=7 last.location=1,6,19,13 last.background=1 last.back=336699 "
            "last.grad=FF0000,0000FF chart.style=2 chart.title="},
        {"A1:D5.グラフ=\"円 タイトル=売上 スタイル=9 凡例=なし 背景色=グラデーション\"", 0,
         "last.type=2000 last.title=売上 last.style=9 last.legend=0 last.background=2"},
    });
}

TEST_F(Drawings, ChartSettingsStatementsAndTheirValueRules) {
    const std::string initial = describe_chart(ChartSettings{});
    run({
        {"CHART.STYLE=49", 0, ""}, {"CHART.STYLE=abc", -3, graph("abc")}, {"CHART.STYLE=0", 0, ""}, {"CHART.3D_DEPTH=2001", 0, ""}, {"CHART.TYPE=5", 0, ""},
        {"CHART.TYPE=x", -3, graph("x")}, {"CHART.GAP_WIDTH=1001", 0, ""}, {"CHART.LEGEND.FONT.SIZE=101", 0, ""},
        {"CHART.AXIS_X=1", -3, graph("CHART.AXIS_X")}, {"CHART.AXIS_Y.SIZE=1", -3, graph("CHART.AXIS_Y.SIZE")},
        {"CHART.LOCATION=ZZZ", -3, "TXLS-02301 セル範囲指定値が不正です(\"ZZZ\")。"}, {"CHART.BACK_COLOR=NONE", -3, kColour + "NONE\")。"},
        {"CHART.GRADATION.COLOR1=#12345", -3, kColour + "#12345\")。"}, {"CHART.GRADATION.COLOR2=violet", -3, kColour + "violet\")。"},
        {"CHART.LEGEND.POSITION=MIDDLE", -3, graph("MIDDLE")}, {"CHART.MAJOR_UNIT=abc", -3, graph("abc")}, {"CHART.MAJOR_UNIT=-1", 0, ""}, {"CHART.DATA_LABEL=ALL", -3, graph("ALL")}, {"CHART.MIN=low", -3, graph("low")},
    });
    EXPECT_EQ(describe_chart(store().chart_settings), initial);  // every refused or ignored value left the initial settings
    run({
        {"CHART.AXIS_X.FONT.SIZE=9 CHART.Y軸.フォント.サイズ=11 グラフ.タイトル=売上推移 CHART.TITLE.FONT.SIZE=16 CHART.LEGEND.POSITION=下端 "
         "CHART.LEGEND.FONT.SIZE=7 CHART.SERIES_LINE=TRUE CHART.MAJOR_UNIT=25 CHART.DATA_LABEL=VALUE CHART.DATA_LABEL=分類名 CHART.MIN=-2.5 "
         "CHART.MAX=1e3 CHART.GAP_WIDTH=80 CHART.STYLE=48 CHART.TYPE=3 CHART.LOCATION=H2:O18 CHART.BACK_COLOR=LIGHT_YELLOW "
         "CHART.GRADATION.COLOR1=#00ff00 CHART.GRADATION.COLOR2=赤 CHART.3D_ROTATE_X=-30 CHART.3D_ROTATE_Y=300 CHART.3D_DEPTH=400 "
         "CHART.3D_PERSPECTIVE=60 CHART.SWITCH=TRUE",
         0, "chart.axis_sizes=900,1100 chart.title=売上推移 chart.title_size=1600 chart.legend_pos=4 chart.legend_size=700 chart.series_lines=1 "
            "chart.major=25 chart.labels=6 chart.min=-2.5 chart.max=1000 chart.gap=80 chart.style=48 chart.sub_type=3 chart.location=1,7,17,14 "
            "chart.background=1 chart.back=FFFFCC chart.grad=00FF00,FF0000 chart.rotate=-30,300 chart.depth=400 chart.perspective=1/60 chart.switch=1"},
        // The next chart copies them; rows and columns are switched.
        {"B2:E6.CHART=AREA", 0, "last.title=売上推移 last.in_rows=1 last.series_count=5"}, {"CHART.LEGEND=FALSE", 0, "chart.legend=0"},
        {"CHART.RESET=FALSE", 0, "chart.style=48"}, {"CHART.LEGEND=BOTTOM", 0, "chart.legend=1 chart.legend_pos=4"},
    });
    ASSERT_EQ(put("CHART.RESET=TRUE"), 0);
    EXPECT_EQ(describe_chart(store().chart_settings), initial);
}

TEST_F(Drawings, ChartSeriesPointLimitsAreasAndSheetPrefix) {
    const std::string series = "TXLS-02431 グラフ(GRAPH)の最大系統数を超えました(255)。";
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Other"), 0);
    run({
        {"A1:IU2.CHART=LINE", 0, "last.in_rows=1"},  // last column IU (254) not below last row 2 (1): rows, two records of 255 points
        {"A1:IU1000.CHART=LINE", -3, series}, {"A1:IT1000.CHART=LINE", 0, "last.series_count=254"},  // 255 columns read as columns: too many
        // A row holds at most 16384 cells, so the point limit shows with columns of 32000 rows.
        {"A1:B32000.CHART=LINE", -3, "TXLS-02432 グラフ(GRAPH)の最大データ要素数を超えました(32000)。"}, {"A1:B31999.CHART=LINE", 0, ""},
        {"A1:C300.CHART.SWITCH=TRUE", -3, series + "|chart.switch=0 last.objects=3"},  // SWITCH checks the target it is given
        {"Sheet1!A1:A5,C1:D5.CHART=RADAR", 0, "last.chart_sheet=0 last.anchor=0,0,0 last.areas=0,0,4,0,0,2,4,3 last.series_count=3"},
        {"D5:B2.CHART=PIE", 0, "last.areas=1,1,4,3 last.chart_sheet=1"},  // reversed corners are put in order
    });
    const std::vector<ChartSeries> &radar = drawings()[3].chart->series;
    EXPECT_EQ(std::vector({radar[0].column1, radar[1].column1, radar[2].column1}), std::vector({0, 2, 3}));
}

TEST_F(Drawings, ShapeVocabulariesSetTheSettingsTheNextShapeCopies) {
    // Each value after C3.AUTOSHAPE. (C3.オートシェイプ. before a Japanese path, to check the whole
    // path resolves) from the default settings; C3 has no shape, so the settings take it. Values
    // the golden drawing part shows in the same form are not repeated here.
    for (const StatementRow &row : std::vector<StatementRow>{
             {"TYPE=HEART", 0, "kind=heart"}, {"WIDTH=150.5", 0, "width=150.5"}, {"幅=20", 0, "width=20"}, {"HEIGHT=1,000", 0, "height=1000"},
             {"終点.オフセット.Y=40 C3.AUTOSHAPE.END.OFFSET.X=-30", 0, "end=-30,40"}, {"回転=上下反転", 0, "flip=0,1"}, {"ROTATION=-45", 0, "rotation=315"},
             {"ADJUST.X=-20.5", 0, "adjust=-20.5,-"}, {"ADJUST.Y=60%", 0, "adjust=-,60"}, {"FONT.NAME=明朝", 0, "font=ＭＳ_Ｐ明朝"},
             {"FONT.STYLE=BOLD_ITALIC", 0, "font_style=3"}, {"FONT.COLOR=#102030", 0, "font_colour=102030"}, {"ALIGN=BOTTOM_RIGHT", 0, "align=33"},
             {"ALIGN=左上", 0, "align=11"}, {"ALIGN.TEXT=VERTICAL", 0, "direction=1"}, {"ALIGN.TEXT=縦積み", 0, "direction=4"},
             {"STYLE=STANDARD_STYLE12", 0, "style=12"}, {"STYLE=NONE", 0, "style=0"}, {"STYLE=標準スタイル3", 0, "style=3"}, {"STYLE=standard_style1", 0, "style=1"}, {"EFFECT=2.5", 0, "soft_edge=2.5"},
             {"ACCENT=accent6", 0, "accent=6"}, {"FILL.KIND=グラデーション", 0, "fill=3"}, {"FILL.COLOR=赤", 0, "fill=2 fill_colour=FF0000"},
             {"FILL.GRADATION.KIND=CIRCLE", 0, "fill=3 gradient=1"}, {"FILL.GRADATION.KIND=SHAPE", 0, "gradient=3"},
             {"FILL.GRADATION.DEGREE=450", -3, "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"450\")。"}, {"FILL.GRADATION.DEGREE=-90", 0, "degree=270"},
             {"FILL.GRADATION.COLOR2=LIGHT_BLUE", 0, "grad_colours=-,CCCCFF"}, {"LINE=LGDASHDOTDOT", 0, "dash=9"}, {"枠線=丸点線", 0, "dash=3"},
             {"LINE.TRANSPARENT=25%", 0, "line_clear=25"}, {"ARROW.START=DIAMOND", 0, "arrow_start=3,1,1"},
             {"ARROW.END.KIND=OVAL", 0, "arrow_end=4,1,1"}, {"ARROW.START.WIDTH=LARGE", 0, "arrow_start=0,2,1"},
             {"矢印.終点.長さ=小", 0, "arrow_end=0,1,0"}, {"SHADOW.BLUR=8", 0, "shadow=3 blur=8"}, {"SHADOW.COLOR=GRAY", 0, "shadow_colour=808080"},
             {"SHADOW.SIZE=110", 0, "shadow_size=110"}, {"SHADOW.DIST=6", 0, "distance=6"},
             {"SHADOW.TRANSPARENT=0", 0, "shadow_clear=0"}}) {
        store().shape_settings = {};
        run({{(static_cast<unsigned char>(row.statement[0]) >= 0x80 ? "C3.オートシェイプ." : "C3.AUTOSHAPE.") + row.statement, row.rc, row.expect}});
    }
    EXPECT_TRUE(drawings().empty());
}

TEST_F(Drawings, RefusedShapeValuesNameTheirMessageAndChangeNothing) {
    auto shape = [](const char *value) { return kShape + value + "\")。"; };
    auto colour = [](const char *value) { return kColour + value + "\")。"; };
    auto gradation = [](const char *value) { return "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"" + std::string(value) + "\")。"; };
    const std::string line = "TXLS-02602 オートシェイプ枠線(LINE)の指定内容が不正です。", arrow = "TXLS-02603 オートシェイプ矢印(ARROW)の指定内容が不正です。";
    const std::string shadow = "TXLS-02604 オートシェイプ影(SHADOW)の指定内容が不正です。", fill = "TXLS-02406 塗りつぶし(FILL)の指定内容が不正です。";
    const std::string offset = "TXLS-02402 オフセット(OFFSET)値の指定内容が不正です。", align = "TXLS-02405 配置(ALIGN)の指定内容が不正です(\"";
    // A placed shape at A1 and changed current settings: neither may move on a refusal.
    ASSERT_EQ(put("A1.AUTOSHAPE=OVAL A1.AUTOSHAPE.TEXT=kept Z9.AUTOSHAPE.FILL.COLOR=BLUE"), 0);
    const ShapeSettings placed = drawings().back().shape->settings, current = store().shape_settings;
    for (const StatementRow &row : std::vector<StatementRow>{
             {"=SQUIRCLE", -3, shape("SQUIRCLE")}, {".TYPE=BLOB", -3, shape("BLOB")}, {".WIDTH=0", -3, shape("0")}, {".HEIGHT=wide", -3, shape("wide")},
             {".ROTATION=UPSIDE", -3, shape("UPSIDE")}, {".STYLE=STANDARD_STYLE13", -3, shape("STANDARD_STYLE13")}, {".STYLE=STANDARD_STYLE", -3, shape("STANDARD_STYLE")},
             {".ACCENT=7", -3, shape("7")}, {".VERSION=1995", -3, shape("1995")}, {".EFFECT=-1", -3, shape("-1")}, {".RESET=MAYBE", -3, shape("MAYBE")},
             {".OFFSET.X=-1", -3, offset}, {".END.OFFSET.Y=far", -3, offset}, {".ADJUST.Y=lots", -3, "TXLS-02605 アジャスト(ADJUST)値の指定内容が不正です。"},
             {".LINE=DOTTED", -3, line}, {".LINE.WIDTH=2000", -3, line}, {".LINE.TRANSPARENT=101", -3, line}, {".ARROW.START=STEALTH", -3, arrow},
             {".ARROW.END.LENGTH=HUGE", -3, arrow}, {".SHADOW=BOTH", -3, shadow}, {".SHADOW.SIZE=0", -3, shadow}, {".FILL=PATTERN", -3, fill},
             {".FILL.TRANSPARENT=x", -3, fill}, {".FILL.GRADATION.KIND=SPIRAL", -3, gradation("SPIRAL")}, {".FILL.GRADATION.VARIATION=5", -3, gradation("5")},
             {".FILL.COLOR=NONE", -3, colour("NONE")}, {".LINE.COLOR=MAUVE", -3, colour("MAUVE")}, {".SHADOW.COLOR=#12345", -3, colour("#12345")},
             {".FILL.GRADATION.COLOR1=なし", -3, colour("なし")}, {".FONT.COLOR=pink", -3, colour("pink")},
             {".FONT.SIZE=big", -3, "TXLS-02403 フォント(FONT)の指定内容が不正です(\"big\")。"}, {".ALIGN=MIDDLE", -3, align + "MIDDLE\")。"},
             {".ALIGN.TEXT=DIAGONAL", -3, align + "DIAGONAL\")。"}}) {
        run({{(row.statement[0] == '=' ? "B2.AUTOSHAPE" : "A1.AUTOSHAPE") + row.statement, row.rc, row.expect}});
        EXPECT_EQ(drawings().size(), 1u);
        EXPECT_TRUE(drawings().back().shape->settings == placed && store().shape_settings == current);
    }
    run({{"B2:C3.AUTOSHAPE=RECT", -3, "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"AUTOSHAPE/オートシェイプ\")。|last.objects=1"}});
}

TEST_F(Drawings, ShapeCellsTuneTheirShapeOtherCellsTheNextShape) {
    run({
        // The statement loop's own example: B2 has no shape, so its colour waits for the next one.
        {"A1.AUTOSHAPE=RECT B2.AUTOSHAPE.LINE.COLOR=RED", 0, "last.objects=1 last.line_colour=- shape.line_colour=FF0000"},
        {"C3.AUTOSHAPE=\"\" C3.AUTOSHAPE.TEXT=hello", 0, "last.kind=rect last.line_colour=FF0000 last.text=hello shape.text="},  // "" keeps the TYPE
        // Two shapes at one cell: the later one is tuned. Another sheet's cell is another cell.
        {"C3.AUTOSHAPE=OVAL C3.AUTOSHAPE.WIDTH=10", 0, "last.width=10"},
        {"SHEET=Other C3.AUTOSHAPE.WIDTH=20 Sheet1!C3.AUTOSHAPE.HEIGHT=30", 0, "shape.width=20 last.height=30"},
        {"C3.AUTOSHAPE=CLOUD", 0, "last.anchor=1,2,2 last.width=20"},
        // RESET: a placed shape keeps its kind, the current settings go back to the defaults.
        {"C3.AUTOSHAPE.RESET=TRUE D4.AUTOSHAPE.RESET=TRUE", 0, "last.kind=cloud last.width=96"},
        // Without a cell there is nowhere to place a shape, and nothing to tune but the settings.
        {"AUTOSHAPE=RECT", -3, kShape + "RECT\")。"}, {"AUTOSHAPE.HEIGHT=12", 0, "shape.height=12"},
        {"D4.AUTOSHAPE.TYPE=MOON C3.AUTOSHAPE.RESET=FALSE", 0, "shape.kind=moon last.objects=4"},
    });
    EXPECT_EQ(drawings()[1].shape->settings.width, 96);
}

TEST_F(Drawings, RefusedPicturesAddNothing) {
    const std::string png = folder.write("ok.png", png_header(5, 5)), dir = folder.path();
    const std::string range = "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"IMAGE/イメージ\")。", open = "TXLS-03102 イメージファイルオープンエラー(\"";
    const std::string long_name = dir + "/" + std::string(255 - dir.size() - 1, 'n');
    run({
        {"A1:B2.IMAGE=" + png, -3, range}, {"A1:A1.IMAGE=" + png, -3, range}, {"A1,C3.IMAGE=" + png, -3, range},
        {"A1.IMAGE=" + dir + "/missing.png", -3, open + dir + "/missing.png\")。"}, {"A1.IMAGE=" + long_name + "x", -3, "TXLS-00005 ファイル名が長すぎます。"},
        {"A1.IMAGE=" + long_name, -3, open + long_name + "\")。"}, {"A1.IMAGE=" + dir, -3, open + dir + "\")。"},
        // Known by content and name together: a PNG named .jpg, a PDF, a picture too short to
        // probe, and a header that gives no size.
        {"A1.IMAGE=" + folder.write("png.jpg", png_header(5, 5)), -3, kPictureRefused + dir + "/png.jpg\")。"},
        {"A1.IMAGE=" + folder.write("d.pdf", "%PDF-1.4 ................"), -3, kPictureRefused + dir + "/d.pdf\")。"},
        {"A1.IMAGE=" + folder.write("short.gif", "GIF89a"), -3, kPictureRefused + dir + "/short.gif\")。"},
        {"A1.IMAGE=" + folder.write("zero.png", png_header(0, 5)), -3, kPictureRefused + dir + "/zero.png\")。"},
        {"A1.IMAGE=" + folder.write("cut.jpg", jpeg_header(5, 5).substr(0, 24)), -3, kPictureRefused + dir + "/cut.jpg\")。|last.objects=0"},
    });
    EXPECT_TRUE(store().picture_files.empty());
}

TEST_F(Drawings, RatioOffsetsAndSheetPrefixesOfPictures) {
    const std::string png = folder.write("p.png", png_header(5, 5));
    run({{"B2.IMAGE=" + png + " B2.IMAGE.RATIO=0.5 B2.IMAGE.OFFSET.X=1.25 B2.IMAGE.OFFSET.Y=-2", 0, "last.ratio=0.5 last.shift=1.25,-2"},
         // A second picture at the cell takes the later statements; a cell without one ignores them.
         {"B2.IMAGE=" + png + " B2.IMAGE.RATIO=3 C3.IMAGE.RATIO=7 Sheet1!B2.IMAGE.OFFSET.X=4x", 0, "last.ratio=3 last.shift=4,0"},
         {"B2.IMAGE.RATIO=abc", 0, "last.ratio=0"}, {"A1:C3.IMAGE.OFFSET.Y=9", 0, "last.shift=4,9 last.objects=2"}});  // a range: every picture in it
    EXPECT_EQ(std::pair(drawings()[0].ratio, drawings()[0].offset_y), std::pair(0.5, 9.0));
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Two"), 0);
    run({{"Sheet1!D4.IMAGE=" + png, 0, "last.anchor=0,3,3"}, {"E5.IMAGE=" + png, 0, "last.anchor=1,4,4"}});
}

TEST_F(Drawings, BackgroundReplacesTheSheetsEarlierOne) {
    const std::string png = folder.write("bg.png", png_header(64, 64)), jpeg = folder.write("bg.jpg", kTinyJpeg);
    const std::string bmp = folder.write("b.bmp", bmp_picture(2, 2)), emf = folder.write("b.emf", emf_header(100, 100));
    const std::string wmf = folder.write("b.wmf", wmf_placeable(96, 96, 96)), cell = folder.write("cell.bmp", bmp_picture(2, 2));
    run({
        {"SHEET.BACKGROUND.PATH=" + png, 0, ""}, {"SHEET.BACKGROUND.PATH=" + jpeg, 0, "last.objects=1 last.object_kind=30 last.picture=202,8,8"},
        // Only JPEG, PNG, GIF and TIFF make a background; a refused one keeps the earlier.
        {"SHEET.BACKGROUND.PATH=" + bmp, -3, kPictureRefused + bmp + "\")。"}, {"SHEET.BACKGROUND.PATH=" + emf, -3, kPictureRefused + emf + "\")。"},
        {"SHEET.BACKGROUND.PATH=" + wmf, -3, kPictureRefused + wmf + "\")。|last.objects=1"},
        // A file already placed at a cell is not read again, and still refused as a background.
        {"A1.IMAGE=" + cell, 0, ""}, {"SHEET.BACKGROUND.PATH=" + cell, -3, kPictureRefused + cell + "\")。|last.objects=2"},
    });
    EXPECT_EQ(drawings()[0].picture->type, 202);
    EXPECT_EQ(store().current()->settings.background_type, 202);
    drawings().erase(drawings().begin() + 1);  // a background alone is no drawing part
    ObjectParts parts = plan_object_parts(store());
    EXPECT_EQ(std::pair(parts.drawing_parts, parts.sheets[0].background_media), std::pair(0, 1));
}
