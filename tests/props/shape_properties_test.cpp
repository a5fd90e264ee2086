// Autoshape statements: every word of their vocabularies, the messages for refused values (which
// add and change nothing), and the rule that decides whether a statement tunes a placed shape or
// the settings the next shape copies.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/fixtures.h"

using namespace tabsmith;
using tabsmith::testing::SheetTest;

namespace {

class ShapeStatements : public SheetTest {
protected:
    int put(const std::string &text) { return TXLS_put_values(&book, text.c_str()); }
    std::vector<DrawingObject> &drawings() { return store().drawings; }
    const ShapeSettings &last() { return drawings().back().shape->settings; }
};

}  // namespace

TEST_F(ShapeStatements, EveryShapeWordAndItsJapaneseNamePlaceAShape) {
    const auto kinds = shape_kinds();
    int row = 1;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        for (std::string_view word : {kinds[i].word, kinds[i].japanese}) {
            if (word.empty()) continue;
            ASSERT_EQ(put("A" + std::to_string(row) + ".AUTOSHAPE=" + std::string(word)), 0) << word;
            const DrawingObject &placed = drawings().back();
            EXPECT_EQ(placed.kind, DrawingKind::kShape);
            EXPECT_EQ(placed.row, row - 1);
            EXPECT_EQ(placed.column, 0);
            EXPECT_EQ(kinds[placed.shape->settings.kind].preset, kinds[i].preset) << word;
            ++row;
        }
    }
    // English words ignore case; the connector is the line.
    ASSERT_EQ(put("B1.AUTOSHAPE=oval B2.AUTOSHAPE=line"), 0);
    EXPECT_EQ(kinds[drawings()[drawings().size() - 2].shape->settings.kind].preset, "ellipse");
    EXPECT_TRUE(kinds[last().kind].connector);
}

TEST_F(ShapeStatements, VocabulariesSetTheirSettings) {
    using Check = std::function<bool(const ShapeSettings &)>;
    struct Case {
        std::string statement;
        Check check;
    } cases[] = {
        {"TYPE=HEART", [](const ShapeSettings &s) { return shape_kinds()[s.kind].preset == "heart"; }},
        {"WIDTH=150.5", [](const ShapeSettings &s) { return s.width == 150.5; }},
        {"幅=20", [](const ShapeSettings &s) { return s.width == 20; }},
        {"HEIGHT=1,000", [](const ShapeSettings &s) { return s.height == 1000; }},
        {"OFFSET.X=5", [](const ShapeSettings &s) { return s.offset_x == 5; }},
        {"OFFSET.Y=7.5", [](const ShapeSettings &s) { return s.offset_y == 7.5; }},
        {"END.OFFSET.X=-30", [](const ShapeSettings &s) { return s.end_x == -30; }},
        {"終点.オフセット.Y=40", [](const ShapeSettings &s) { return s.end_y == 40; }},
        {"ROTATION=RIGHT90", [](const ShapeSettings &s) { return s.rotation == 90; }},
        {"ROTATION=LEFT90", [](const ShapeSettings &s) { return s.rotation == 270; }},
        {"回転=上下反転", [](const ShapeSettings &s) { return s.flip_v && !s.flip_h; }},
        {"ROTATION=FLIP_H", [](const ShapeSettings &s) { return s.flip_h && !s.flip_v; }},
        {"ROTATION=-45", [](const ShapeSettings &s) { return s.rotation == 315; }},
        {"ADJUST.X=-20.5", [](const ShapeSettings &s) { return s.adjust_x_set && s.adjust_x == -20.5; }},
        {"ADJUST.Y=60%", [](const ShapeSettings &s) { return s.adjust_y_set && s.adjust_y == 60 && !s.adjust_x_set; }},
        {"TEXT=\"two words\"", [](const ShapeSettings &s) { return s.text == "two words"; }},
        {"FONT.NAME=明朝", [](const ShapeSettings &s) { return s.font_name == "ＭＳ Ｐ明朝"; }},
        {"FONT.NAME=Arial", [](const ShapeSettings &s) { return s.font_name == "Arial"; }},
        {"FONT.SIZE=18", [](const ShapeSettings &s) { return s.font_size == 18; }},
        {"FONT.STYLE=BOLD_ITALIC", [](const ShapeSettings &s) { return s.font_style == (kFontBold | kFontItalic); }},
        {"FONT.COLOR=#102030",
         [](const ShapeSettings &s) { return s.font_colour.set && s.font_colour.rgb == Rgb{0x10, 0x20, 0x30}; }},
        {"ALIGN=BOTTOM_RIGHT", [](const ShapeSettings &s) { return s.align == 33; }},
        {"ALIGN=左上", [](const ShapeSettings &s) { return s.align == 11; }},
        {"ALIGN.TEXT=VERTICAL", [](const ShapeSettings &s) { return s.text_direction == 1; }},
        {"ALIGN.TEXT=縦積み", [](const ShapeSettings &s) { return s.text_direction == 4; }},
        {"STYLE=STANDARD_STYLE12", [](const ShapeSettings &s) { return s.style == 12; }},
        {"STYLE=standard_style1", [](const ShapeSettings &s) { return s.style == 1; }},
        {"EFFECT=2.5", [](const ShapeSettings &s) { return s.soft_edge == 2.5; }},
        {"VERSION=2013", [](const ShapeSettings &s) { return s.modern; }},
        {"ACCENT=4", [](const ShapeSettings &s) { return s.accent == 4; }},
        {"ACCENT=accent6", [](const ShapeSettings &s) { return s.accent == 6; }},
        {"FILL=NONE", [](const ShapeSettings &s) { return s.fill == ShapeFill::kNone; }},
        {"FILL.KIND=グラデーション", [](const ShapeSettings &s) { return s.fill == ShapeFill::kGradient; }},
        {"FILL.COLOR=赤", [](const ShapeSettings &s) {
             return s.fill == ShapeFill::kSolid && s.fill_colour.rgb == Rgb{0xFF, 0, 0};
         }},
        {"FILL.TRANSPARENT=40", [](const ShapeSettings &s) { return s.fill_transparency == 40; }},
        {"FILL.GRADATION.KIND=CIRCLE", [](const ShapeSettings &s) {
             return s.fill == ShapeFill::kGradient && s.gradient == ShapeGradient::kCircle;
         }},
        {"FILL.GRADATION.KIND=SHAPE", [](const ShapeSettings &s) { return s.gradient == ShapeGradient::kShape; }},
        {"FILL.GRADATION.VARIATION=3", [](const ShapeSettings &s) { return s.gradient_variation == 3; }},
        {"FILL.GRADATION.DEGREE=450", nullptr},
        {"FILL.GRADATION.DEGREE=-90", [](const ShapeSettings &s) { return s.gradient_degree == 270; }},
        {"FILL.GRADATION.COLOR2=LIGHT_BLUE", [](const ShapeSettings &s) { return s.gradient_colour2.set; }},
        {"LINE=LGDASHDOTDOT", [](const ShapeSettings &s) { return s.dash == ShapeDash::kLgDashDotDot; }},
        {"枠線=丸点線", [](const ShapeSettings &s) { return s.dash == ShapeDash::kSysDot; }},
        {"LINE=NONE", [](const ShapeSettings &s) { return s.dash == ShapeDash::kNone; }},
        {"LINE.WIDTH=2.25", [](const ShapeSettings &s) { return s.line_width == 2.25; }},
        {"LINE.TRANSPARENT=25%", [](const ShapeSettings &s) { return s.line_transparency == 25; }},
        {"ARROW.START=DIAMOND", [](const ShapeSettings &s) { return s.arrow_start.head == ArrowHead::kDiamond; }},
        {"ARROW.END.KIND=OVAL", [](const ShapeSettings &s) { return s.arrow_end.head == ArrowHead::kOval; }},
        {"ARROW.START.WIDTH=LARGE", [](const ShapeSettings &s) { return s.arrow_start.width == ArrowSize::kLarge; }},
        {"矢印.終点.長さ=小", [](const ShapeSettings &s) { return s.arrow_end.length == ArrowSize::kSmall; }},
        {"SHADOW=INNER", [](const ShapeSettings &s) { return s.shadow == ShapeShadow::kInner; }},
        {"SHADOW.BLUR=8", [](const ShapeSettings &s) { return s.shadow == ShapeShadow::kOuter && s.shadow_blur == 8; }},
        {"SHADOW.COLOR=GRAY", [](const ShapeSettings &s) { return s.shadow_colour == Rgb{0x80, 0x80, 0x80}; }},
        {"SHADOW.SIZE=110", [](const ShapeSettings &s) { return s.shadow_size == 110; }},
        {"SHADOW.DEGREE=90", [](const ShapeSettings &s) { return s.shadow_degree == 90; }},
        {"SHADOW.DIST=6", [](const ShapeSettings &s) { return s.shadow_distance == 6; }},
        {"SHADOW.TRANSPARENT=0", [](const ShapeSettings &s) { return s.shadow_transparency == 0; }},
    };
    for (const Case &c : cases) {
        store().shape_settings = {};
        // The Japanese paths carry their own AUTOSHAPE alias to check the whole path resolves.
        const bool japanese = static_cast<unsigned char>(c.statement[0]) >= 0x80;
        const std::string statement = (japanese ? "C3.オートシェイプ." : "C3.AUTOSHAPE.") + c.statement;
        const int rc = put(statement);
        if (!c.check) {
            EXPECT_EQ(rc, -3) << statement;
            continue;
        }
        ASSERT_EQ(rc, 0) << statement << " " << message();
        EXPECT_TRUE(c.check(store().shape_settings)) << statement;
    }
    EXPECT_TRUE(drawings().empty());
}

TEST_F(ShapeStatements, RefusedValuesNameTheirMessageAndChangeNothing) {
    const std::string shape = "TXLS-02600 オートシェイプ(AUTOSHAPE)の指定内容が不正です(\"";
    const std::string colour = "TXLS-02401 色(COLOR)の指定内容が不正です(\"";
    struct Case {
        std::string statement, message;
    } cases[] = {
        {"B2.AUTOSHAPE=SQUIRCLE", shape + "SQUIRCLE\")。"},
        {"A1.AUTOSHAPE.TYPE=BLOB", shape + "BLOB\")。"},
        {"A1.AUTOSHAPE.WIDTH=0", shape + "0\")。"},
        {"A1.AUTOSHAPE.HEIGHT=wide", shape + "wide\")。"},
        {"A1.AUTOSHAPE.ROTATION=UPSIDE", shape + "UPSIDE\")。"},
        {"A1.AUTOSHAPE.STYLE=STANDARD_STYLE13", shape + "STANDARD_STYLE13\")。"},
        {"A1.AUTOSHAPE.STYLE=STANDARD_STYLE", shape + "STANDARD_STYLE\")。"},
        {"A1.AUTOSHAPE.ACCENT=7", shape + "7\")。"},
        {"A1.AUTOSHAPE.VERSION=1995", shape + "1995\")。"},
        {"A1.AUTOSHAPE.EFFECT=-1", shape + "-1\")。"},
        {"A1.AUTOSHAPE.RESET=MAYBE", shape + "MAYBE\")。"},
        {"A1.AUTOSHAPE.OFFSET.X=-1", "TXLS-02402 オフセット(OFFSET)値の指定内容が不正です。"},
        {"A1.AUTOSHAPE.END.OFFSET.Y=far", "TXLS-02402 オフセット(OFFSET)値の指定内容が不正です。"},
        {"A1.AUTOSHAPE.ADJUST.Y=lots", "TXLS-02605 アジャスト(ADJUST)値の指定内容が不正です。"},
        {"A1.AUTOSHAPE.LINE=DOTTED", "TXLS-02602 オートシェイプ枠線(LINE)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.LINE.WIDTH=2000", "TXLS-02602 オートシェイプ枠線(LINE)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.LINE.TRANSPARENT=101", "TXLS-02602 オートシェイプ枠線(LINE)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.ARROW.START=STEALTH", "TXLS-02603 オートシェイプ矢印(ARROW)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.ARROW.END.LENGTH=HUGE", "TXLS-02603 オートシェイプ矢印(ARROW)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.SHADOW=BOTH", "TXLS-02604 オートシェイプ影(SHADOW)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.SHADOW.SIZE=0", "TXLS-02604 オートシェイプ影(SHADOW)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.FILL=PATTERN", "TXLS-02406 塗りつぶし(FILL)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.FILL.TRANSPARENT=x", "TXLS-02406 塗りつぶし(FILL)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.FILL.GRADATION.KIND=SPIRAL", "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"SPIRAL\")。"},
        {"A1.AUTOSHAPE.FILL.GRADATION.VARIATION=5", "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"5\")。"},
        {"A1.AUTOSHAPE.FILL.COLOR=NONE", colour + "NONE\")。"},
        {"A1.AUTOSHAPE.LINE.COLOR=MAUVE", colour + "MAUVE\")。"},
        {"A1.AUTOSHAPE.SHADOW.COLOR=#12345", colour + "#12345\")。"},
        {"A1.AUTOSHAPE.FILL.GRADATION.COLOR1=なし", colour + "なし\")。"},
        {"A1.AUTOSHAPE.FONT.COLOR=pink", colour + "pink\")。"},
        {"A1.AUTOSHAPE.FONT.SIZE=big", "TXLS-02403 フォント(FONT)の指定内容が不正です(\"big\")。"},
        {"A1.AUTOSHAPE.ALIGN=MIDDLE", "TXLS-02405 配置(ALIGN)の指定内容が不正です(\"MIDDLE\")。"},
        {"A1.AUTOSHAPE.ALIGN.TEXT=DIAGONAL", "TXLS-02405 配置(ALIGN)の指定内容が不正です(\"DIAGONAL\")。"},
        {"B2:C3.AUTOSHAPE=RECT", "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"AUTOSHAPE/オートシェイプ\")。"},
    };
    // A placed shape at A1 and changed current settings: neither may move on a refusal.
    ASSERT_EQ(put("A1.AUTOSHAPE=OVAL A1.AUTOSHAPE.TEXT=kept Z9.AUTOSHAPE.FILL.COLOR=BLUE"), 0);
    const ShapeSettings placed = last(), current = store().shape_settings;
    for (const Case &c : cases) {
        EXPECT_EQ(put(c.statement), -3) << c.statement;
        EXPECT_EQ(message(), c.message) << c.statement;
        EXPECT_EQ(drawings().size(), 1u) << c.statement;
        EXPECT_TRUE(last() == placed) << c.statement;
        EXPECT_TRUE(store().shape_settings == current) << c.statement;
    }
}

TEST_F(ShapeStatements, ShapeCellsTuneTheirShapeOtherCellsTheNextShape) {
    // The statement loop's own example: B2 has no shape, so its colour waits for the next one.
    ASSERT_EQ(put("A1.AUTOSHAPE=RECT B2.AUTOSHAPE.LINE.COLOR=RED"), 0);
    ASSERT_EQ(drawings().size(), 1u);
    EXPECT_FALSE(last().line_colour.set);
    EXPECT_TRUE(store().shape_settings.line_colour.set);

    ASSERT_EQ(put("C3.AUTOSHAPE=\"\" C3.AUTOSHAPE.TEXT=hello"), 0);   // an empty word keeps the current TYPE
    EXPECT_EQ(shape_kinds()[last().kind].preset, "rect");
    EXPECT_TRUE(last().line_colour.set);
    EXPECT_EQ(last().text, "hello");
    EXPECT_TRUE(store().shape_settings.text.empty());

    // Two shapes at one cell: the later one is tuned. Another sheet's cell is another cell.
    ASSERT_EQ(put("C3.AUTOSHAPE=OVAL C3.AUTOSHAPE.WIDTH=10"), 0);
    EXPECT_EQ(drawings()[1].shape->settings.width, 96);
    EXPECT_EQ(last().width, 10);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Other"), 0);
    ASSERT_EQ(put("C3.AUTOSHAPE.WIDTH=20 Sheet1!C3.AUTOSHAPE.HEIGHT=30"), 0);
    EXPECT_EQ(store().shape_settings.width, 20);
    EXPECT_EQ(last().height, 30);
    ASSERT_EQ(put("C3.AUTOSHAPE=CLOUD"), 0);
    EXPECT_EQ(drawings().back().sheet, 1);
    EXPECT_EQ(last().width, 20);

    // RESET: a placed shape keeps its kind, the current settings go back to the defaults.
    ASSERT_EQ(put("C3.AUTOSHAPE.RESET=TRUE D4.AUTOSHAPE.RESET=TRUE"), 0);
    EXPECT_EQ(shape_kinds()[last().kind].preset, "cloud");
    EXPECT_EQ(last().width, 96);
    EXPECT_TRUE(store().shape_settings == ShapeSettings{});
    // Without a cell there is nowhere to place a shape, and nothing to tune but the settings.
    EXPECT_EQ(put("AUTOSHAPE=RECT"), -3);
    EXPECT_EQ(message(), "TXLS-02600 オートシェイプ(AUTOSHAPE)の指定内容が不正です(\"RECT\")。");
    ASSERT_EQ(put("AUTOSHAPE.HEIGHT=12"), 0) << message();
    EXPECT_EQ(store().shape_settings.height, 12);
    ASSERT_EQ(put("D4.AUTOSHAPE.TYPE=MOON C3.AUTOSHAPE.RESET=FALSE"), 0);
    EXPECT_EQ(shape_kinds()[store().shape_settings.kind].preset, "moon");
    EXPECT_EQ(drawings().size(), 4u);
}
