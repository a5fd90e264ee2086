// Chart statements through the statement loop: the type words, the options of a CHART value,
// the series a range gives, the limits, and the settings statements with their value rules.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fixtures.h"
#include "props/property.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;

namespace {

class ChartStatements : public BookTest {
protected:
    void SetUp() override { reopen("UTF8", "Data"); }
    int put(const std::string &text) { return TXLS_put_values(&book, text.c_str()); }
    const std::vector<DrawingObject> &drawings() { return store().drawings; }
    const ChartObject &last_chart() { return *store().drawings.back().chart; }
    ChartSettings &current() { return store().chart_settings; }
};

const std::string kGraph = "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"";

}  // namespace

TEST_F(ChartStatements, LineOverARangeMakesOneChartOnTheCurrentSheet) {
    ASSERT_EQ(put("B2:E6.CHART=LINE"), 0) << message();
    ASSERT_EQ(drawings().size(), 1u);
    const DrawingObject &object = drawings().front();
    EXPECT_EQ(object.kind, DrawingKind::kChart);
    EXPECT_EQ(object.sheet, 0);
    ASSERT_TRUE(object.chart);
    EXPECT_EQ(object.chart->type, 3000);
    EXPECT_EQ(object.chart->sheet, 0);
    // Last column E (4) is below last row 6 (5): every column is one record of rows 2..6.
    EXPECT_FALSE(object.chart->series_in_rows);
    ASSERT_EQ(object.chart->series.size(), 4u);
    const int colours[] = {34, 35, 36, 34};
    for (int k = 0; k < 4; ++k) {
        const ChartSeries &s = object.chart->series[static_cast<std::size_t>(k)];
        EXPECT_EQ(s.row1, 1);
        EXPECT_EQ(s.row2, 5);
        EXPECT_EQ(s.column1, 1 + k);
        EXPECT_EQ(s.column2, 1 + k);
        EXPECT_EQ(s.colour, colours[k]);
    }
}

TEST_F(ChartStatements, EveryTypeWordAndAlias) {
    const struct {
        const char *word;
        int code;
    } words[] = {
        {"LINE", 3000}, {"折れ線", 3000}, {"line_3d", 3100}, {"3D折れ線", 3100},
        {"BAR_VERITICAL", 1000}, {"縦棒", 1000}, {"BAR_3D_VERITICAL", 1010}, {"3D縦棒", 1010},
        {"BAR_CYLINDER", 1020}, {"円柱", 1020}, {"BAR_CONE", 1030}, {"円錐", 1030},
        {"BAR_PYRAMLID", 1040}, {"ピラミッド", 1040}, {"BAR_HORIZONTAL", 1100}, {"横棒", 1100},
        {"BAR_3D_HORIZONTAL", 1110}, {"3D横棒", 1110}, {"BAR_CYLINDER_HORIZONTAL", 1120}, {"円柱横棒", 1120},
        {"BAR_CONE_HORIZONTAL", 1130}, {"円錐横棒", 1130}, {"BAR_PYRAMLID_HORIZONTAL", 1140},
        {"ピラミッド横棒", 1140}, {"PIE", 2000}, {"円", 2000}, {"PIE_3D", 2100}, {"3D円", 2100},
        {"AREA", 4000}, {"面", 4000}, {"AREA_3D", 4100}, {"3D面", 4100}, {"SCATTER", 5000}, {"散布図", 5000},
        {"STOCK", 6000}, {"株価", 6000}, {"CONTOUR", 7000}, {"等高線", 7000}, {"DOUGHNUT", 8000},
        {"ドーナツ", 8000}, {"RADAR", 10000}, {"レーダー", 10000},
    };
    for (const auto &w : words) {
        ASSERT_EQ(put(std::string("A1:C4.CHART=") + w.word), 0) << w.word << " " << message();
        EXPECT_EQ(last_chart().type, w.code) << w.word;
    }
    EXPECT_EQ(drawings().size(), std::size(words));
}

TEST_F(ChartStatements, UnknownWordsAndOptionsFailNamingThem) {
    const struct {
        const char *statement;
        const char *named;
    } cases[] = {
        {"B2:E6.CHART=VIEW", "VIEW"},
        {"B2:E6.CHART=BAR_VERTICAL", "BAR_VERTICAL"},     // only the misspelt word is known
        {"B2:E6.CHART=BAR_PYRAMID", "BAR_PYRAMID"},
        {"B2:E6.CHART=\"LINE COLOUR=RED\"", "COLOUR"},
        {"B2:E6.CHART=\"LINE TITLE\"", "TITLE"},
        {"B2:E6.CHART=\"LINE STYLE=abc\"", "abc"},
        {"B2:E6.CHART=\"LINE LEGEND=MAYBE\"", "MAYBE"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(put(c.statement), -3) << c.statement;
        EXPECT_EQ(message(), kGraph + c.named + "\")。") << c.statement;
    }
    EXPECT_TRUE(drawings().empty());
    EXPECT_EQ(put("B2:E6.CHART=\"LINE LOCATION=Q\""), -3);
    EXPECT_EQ(message(), "TXLS-02301 セル範囲指定値が不正です(\"Q\")。");
    EXPECT_EQ(put("B2:E6.CHART=\"LINE BACKCOLOR=MAUVE\""), -3);
    EXPECT_EQ(message(), "TXLS-02401 色(COLOR)の指定内容が不正です(\"MAUVE\")。");
    EXPECT_TRUE(drawings().empty());
}

TEST_F(ChartStatements, OptionsGoToTheChartOnly) {
    ASSERT_EQ(put("A1:D5.CHART=\"BAR_VERITICAL TITLE='Monthly sales' TITLE.FONT.SIZE=14 X.AXIS.SIZE=8 "
                  "Y.AXIS.SIZE=9 LEGEND=FALSE 3D_ROTATE_X=20 3D_ROTATE_Y=40 3D_DEPTH=150 3D_PERSPECTIVE=45 "
                  "TYPE=2 STYLE=7 LOCATION=G2:N20 BACKCOLOR=#336699 GRADATIONCOLOR1=RED GRADATIONCOLOR2=青\""),
              0)
        << message();
    const ChartSettings &s = last_chart().settings;
    EXPECT_EQ(s.title, "Monthly sales");
    EXPECT_EQ(s.title_font_size, 1400);
    EXPECT_EQ(s.axis_x_font_size, 800);
    EXPECT_EQ(s.axis_y_font_size, 900);
    EXPECT_FALSE(s.legend);
    EXPECT_EQ(s.rotate_x, 20);
    EXPECT_EQ(s.rotate_y, 40);
    EXPECT_EQ(s.depth, 150);
    EXPECT_TRUE(s.has_perspective);
    EXPECT_EQ(s.perspective, 45);
    EXPECT_EQ(s.sub_type, 2);
    EXPECT_EQ(s.style, 7);
    EXPECT_TRUE(s.has_location);
    EXPECT_EQ(s.location_row1, 1);
    EXPECT_EQ(s.location_column1, 6);
    EXPECT_EQ(s.location_row2, 19);
    EXPECT_EQ(s.location_column2, 13);
    EXPECT_EQ(s.background, ChartBackground::kSolid);
    EXPECT_EQ(s.back_colour, (Rgb{0x33, 0x66, 0x99}));
    EXPECT_EQ(s.gradient_colour1, (Rgb{255, 0, 0}));
    EXPECT_EQ(s.gradient_colour2, (Rgb{0, 0, 255}));
    // The book's settings are untouched: the next chart starts from them again.
    EXPECT_EQ(current().style, 2);
    EXPECT_TRUE(current().title.empty());
    ASSERT_EQ(put("A1:D5.グラフ=\"円 タイトル=売上 スタイル=9 凡例=なし 背景色=グラデーション\""), 0) << message();
    EXPECT_EQ(last_chart().type, 2000);
    EXPECT_EQ(last_chart().settings.title, "売上");
    EXPECT_EQ(last_chart().settings.style, 9);
    EXPECT_FALSE(last_chart().settings.legend);
    EXPECT_EQ(last_chart().settings.background, ChartBackground::kGradient);
}

TEST_F(ChartStatements, SettingsStatementsAndTheirValueRules) {
    ChartSettings initial;
    struct Step {
        const char *statement;
        int rc;
        const char *message;  // of a failure
    };
    const Step steps[] = {
        {"CHART.STYLE=49", 0, ""},
        {"CHART.STYLE=abc", -3, "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"abc\")。"},
        {"CHART.STYLE=0", 0, ""},
        {"CHART.TYPE=5", 0, ""},
        {"CHART.TYPE=x", -3, "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"x\")。"},
        {"CHART.GAP_WIDTH=1001", 0, ""},
        {"CHART.LEGEND.FONT.SIZE=101", 0, ""},
        {"CHART.AXIS_X=1", -3, "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"CHART.AXIS_X\")。"},
        {"CHART.AXIS_Y.SIZE=1", -3, "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"CHART.AXIS_Y.SIZE\")。"},
        {"CHART.LOCATION=ZZZ", -3, "TXLS-02301 セル範囲指定値が不正です(\"ZZZ\")。"},
        {"CHART.BACK_COLOR=NONE", -3, "TXLS-02401 色(COLOR)の指定内容が不正です(\"NONE\")。"},
        {"CHART.GRADATION.COLOR1=#12345", -3, "TXLS-02401 色(COLOR)の指定内容が不正です(\"#12345\")。"},
        {"CHART.GRADATION.COLOR2=violet", -3, "TXLS-02401 色(COLOR)の指定内容が不正です(\"violet\")。"},
        {"CHART.LEGEND.POSITION=MIDDLE", -3, "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"MIDDLE\")。"},
        {"CHART.DATA_LABEL=ALL", -3, "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"ALL\")。"},
        {"CHART.MIN=low", -3, "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"low\")。"},
    };
    for (const Step &s : steps) {
        EXPECT_EQ(put(s.statement), s.rc) << s.statement;
        if (s.rc != 0) {
            EXPECT_EQ(message(), s.message) << s.statement;
        }
    }
    // Every refused or ignored value left the initial settings.
    EXPECT_EQ(current().style, initial.style);
    EXPECT_EQ(current().sub_type, initial.sub_type);
    EXPECT_EQ(current().gap_width, initial.gap_width);
    EXPECT_EQ(current().legend_font_size, initial.legend_font_size);
    EXPECT_EQ(current().background, ChartBackground::kNone);
    EXPECT_EQ(current().gradient_colour1, initial.gradient_colour1);
    EXPECT_FALSE(current().has_location);
    EXPECT_FALSE(current().has_axis_min);

    ASSERT_EQ(put("CHART.AXIS_X.FONT.SIZE=9 CHART.Y軸.フォント.サイズ=11 グラフ.タイトル=売上推移 CHART.TITLE.FONT.SIZE=16 "
                  "CHART.LEGEND.POSITION=下端 CHART.LEGEND.FONT.SIZE=7 CHART.SERIES_LINE=TRUE CHART.MAJOR_UNIT=25 "
                  "CHART.DATA_LABEL=VALUE CHART.DATA_LABEL=分類名 CHART.MIN=-2.5 CHART.MAX=1e3 CHART.GAP_WIDTH=80 "
                  "CHART.STYLE=48 CHART.TYPE=3 CHART.LOCATION=H2:O18 CHART.BACK_COLOR=LIGHT_YELLOW "
                  "CHART.GRADATION.COLOR1=#00ff00 CHART.GRADATION.COLOR2=赤 CHART.3D_ROTATE_X=-30 "
                  "CHART.3D_ROTATE_Y=300 CHART.3D_DEPTH=400 CHART.3D_PERSPECTIVE=60 CHART.SWITCH=TRUE"),
              0)
        << message();
    const ChartSettings &s = current();
    EXPECT_EQ(s.axis_x_font_size, 900);
    EXPECT_EQ(s.axis_y_font_size, 1100);
    EXPECT_EQ(s.title, "売上推移");
    EXPECT_EQ(s.title_font_size, 1600);
    EXPECT_EQ(s.legend_position, LegendPosition::kBottom);
    EXPECT_EQ(s.legend_font_size, 700);
    EXPECT_TRUE(s.series_lines);
    EXPECT_TRUE(s.has_major_unit);
    EXPECT_EQ(s.major_unit, 25.0);
    EXPECT_EQ(s.data_labels, kLabelValue | kLabelCategory);
    EXPECT_EQ(s.axis_min, -2.5);
    EXPECT_EQ(s.axis_max, 1000.0);
    EXPECT_EQ(s.gap_width, 80);
    EXPECT_EQ(s.style, 48);
    EXPECT_EQ(s.sub_type, 3);
    EXPECT_EQ(s.location_row1, 1);
    EXPECT_EQ(s.location_column2, 14);
    EXPECT_EQ(s.background, ChartBackground::kSolid);
    EXPECT_EQ(s.back_colour, (Rgb{0xFF, 0xFF, 0xCC}));
    EXPECT_EQ(s.gradient_colour1, (Rgb{0, 0xFF, 0}));
    EXPECT_EQ(s.gradient_colour2, (Rgb{0xFF, 0, 0}));
    EXPECT_EQ(s.rotate_x, -30);
    EXPECT_EQ(s.rotate_y, 300);
    EXPECT_EQ(s.depth, 400);
    EXPECT_EQ(s.perspective, 60);
    EXPECT_TRUE(s.switch_rows_columns);

    // The next chart copies them; rows and columns are switched.
    ASSERT_EQ(put("B2:E6.CHART=AREA"), 0) << message();
    EXPECT_EQ(last_chart().settings.title, "売上推移");
    EXPECT_TRUE(last_chart().series_in_rows);
    EXPECT_EQ(last_chart().series.size(), 5u);

    ASSERT_EQ(put("CHART.LEGEND=FALSE"), 0);
    EXPECT_FALSE(current().legend);
    ASSERT_EQ(put("CHART.RESET=FALSE"), 0);
    EXPECT_EQ(current().style, 48);
    ASSERT_EQ(put("CHART.RESET=TRUE"), 0);
    EXPECT_EQ(current().style, 2);
    EXPECT_TRUE(current().legend);
    EXPECT_TRUE(current().title.empty());
    EXPECT_FALSE(current().switch_rows_columns);
    EXPECT_EQ(current().rotate_x, 15);
    EXPECT_EQ(current().rotate_y, 25);
    EXPECT_EQ(current().depth, 100);
    EXPECT_EQ(current().perspective, 30);
    EXPECT_EQ(current().title_font_size, 1000);
    EXPECT_EQ(current().data_labels, 0);
}

TEST_F(ChartStatements, SeriesAndPointLimits) {
    // Last column IU (254) not below last row 2 (1): rows, two records of 255 points.
    EXPECT_EQ(put("A1:IU2.CHART=LINE"), 0) << message();
    EXPECT_TRUE(last_chart().series_in_rows);
    // 255 columns read as columns: too many series.
    EXPECT_EQ(put("A1:IU1000.CHART=LINE"), -3);
    EXPECT_EQ(message(), "TXLS-02431 グラフ(GRAPH)の最大系統数を超えました(255)。");
    EXPECT_EQ(put("A1:IT1000.CHART=LINE"), 0) << message();
    EXPECT_EQ(last_chart().series.size(), 254u);
    // A row holds at most 16384 cells, so the point limit shows with columns of 32000 rows.
    EXPECT_EQ(put("A1:B32000.CHART=LINE"), -3);
    EXPECT_EQ(message(), "TXLS-02432 グラフ(GRAPH)の最大データ要素数を超えました(32000)。");
    EXPECT_EQ(put("A1:B31999.CHART=LINE"), 0) << message();
    // SWITCH checks the target it is given against the limits.
    EXPECT_EQ(put("A1:C300.CHART.SWITCH=TRUE"), -3);
    EXPECT_EQ(message(), "TXLS-02431 グラフ(GRAPH)の最大系統数を超えました(255)。");
    EXPECT_FALSE(store().chart_settings.switch_rows_columns);
    const std::size_t made = drawings().size();
    EXPECT_EQ(made, 3u);
}

TEST_F(ChartStatements, AreasListAndSheetPrefix) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Other"), 0);
    ASSERT_EQ(put("Data!A1:A5,C1:D5.CHART=RADAR"), 0) << message();
    const ChartObject &chart = last_chart();
    EXPECT_EQ(chart.sheet, 0);
    EXPECT_EQ(drawings().back().sheet, 0);
    ASSERT_EQ(chart.areas.size(), 2u);
    ASSERT_EQ(chart.series.size(), 3u);
    EXPECT_EQ(chart.series[0].column1, 0);
    EXPECT_EQ(chart.series[1].column1, 2);
    EXPECT_EQ(chart.series[2].column1, 3);
    // Reversed corners are put in order.
    ASSERT_EQ(put("D5:B2.CHART=PIE"), 0) << message();
    EXPECT_EQ(last_chart().areas.front().row1, 1);
    EXPECT_EQ(last_chart().areas.front().column1, 1);
    EXPECT_EQ(last_chart().sheet, 1);
}
