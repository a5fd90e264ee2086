// Chart parts: the golden column chart over a range whose cells hold texts and gaps where numbers
// are expected, what sets every chart type of the statements apart from it, settings, and anchors.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "common/fixtures.h"
#include "props/property.h"
#include "xlsx_write/chart_part.h"
#include "common/golden.h"

using namespace tabsmith;
using namespace tabsmith::testing;

namespace {

const std::string kWalls = R"(<c:floor><c:thickness val="0"/></c:floor><c:sideWall><c:thickness val="0"/></c:sideWall><c:backWall>)"
                           R"(<c:thickness val="0"/></c:backWall>)";
const std::string kSmooth = R"(<c:smooth val="0"/>)", kGap = R"(<c:gapWidth val="150"/><c:overlap val="0"/>)";
const std::string kTwoAxes = R"(<c:axId val="50010001"/><c:axId val="50010002"/>)", kThirdAxis = R"(<c:axId val="50010003"/>)";

class ChartPart : public BookTest {
protected:
    // Row 1 names the series, column A the categories. B3 is empty and C2 holds a text: neither
    // is a point, while the point count still covers them.
    void SetUp() override {
        reopen("UTF8", "Data");
        ASSERT_EQ(TXLS_put_values(&book, "B1=North C1=South D1=West A2=Jan B2=10 C2=n/a D2=7 A3=Feb C3=2.5 D3=8 A4=Mar B4=15 C4=-4 "
                                         "D4=9 A5=Apr B5=0.1 C5=3 D5=6"), 0) << message();
    }
    // The part of the chart the statements make (the last drawing object), from fresh settings.
    std::string part(const std::string &statements) {
        EXPECT_EQ(TXLS_put_values(&book, ("CHART.RESET=TRUE " + statements).c_str()), 0) << statements << ": " << message();
        return store().drawings.empty() ? "" : chart_part(store(), store().drawings.back());
    }
    const std::string gold = golden("chart.xml");
};

// Edits of the golden column chart into another plot form: its head, and what ends the plot.
Edits plot(const std::string &head) { return {{R"(barChart><c:barDir val="col"/><c:grouping val="clustered"/><c:varyColors val="0"/>)", head}}; }
Edits tail(const std::string &gap, const std::string &close) { return {{kGap, gap}, {"</c:barChart>", close}}; }
const Edits kRotated = {{"<c:chart>", R"(<c:chart><c:view3D><c:rotX val="15"/><c:rotY val="25"/><c:depthPercent val="100"/>)"
                                      R"(<c:rAngAx val="1"/></c:view3D>)" + kWalls}};
const Edits kSwappedAxes = {{R"(<c:axPos val="b"/>)", R"(<c:axPos val="l"/>)"}, {R"(<c:axPos val="l"/>)", R"(<c:axPos val="b"/>)"}};
const Edits kSmoothSeries = {{"</c:val></c:ser>", "</c:val>" + kSmooth + "</c:ser>"}, {"</c:val></c:ser>", "</c:val>" + kSmooth + "</c:ser>"}};
const Edits kDepthAxis = {{"</c:valAx>", R"(</c:valAx><c:serAx><c:axId val="50010003"/><c:scaling><c:orientation val="minMax"/>)"
                                         R"(</c:scaling><c:delete val="0"/><c:axPos val="b"/><c:majorTickMark val="out"/><c:minorTickMark )"
                                         R"(val="none"/><c:tickLblPos val="nextTo"/><c:crossAx val="50010002"/><c:crosses val="autoZero"/></c:serAx>)"}};
const Edits kMidCategory = {{"\"between\"", "\"midCat\""}};

Edits bar_3d(const std::string &direction, const std::string &shape) {
    return kRotated + Edits{{"barChart>", "bar3DChart>"}, {"\"col\"", "\"" + direction + "\""},
                            {"overlap val=\"0\"", "shape val=\"" + shape + "\""}, {"barChart>", "bar3DChart>"}} +
           (direction == "bar" ? kSwappedAxes : Edits{});
}

}  // namespace

// Every type word of the CHART statement (English and Japanese) over the same range gives the
// golden part in the plot form of its type. Clustered 3-D bars stand on two axes; pies have none;
// a stock chart over two series is drawn as lines with high-low lines, which every program opens.
TEST_F(ChartPart, EveryTypeWordIsTheGoldenPartInItsPlotForm) {
    EXPECT_EQ(part("A1:C5.CHART=BAR_VERITICAL"), gold);
    const std::string axes = slice(gold, "<c:catAx>", "</c:plotArea>");
    const auto no_axes = [&](const std::string &close) { return Edits{{kGap + kTwoAxes + "</c:barChart>" + axes, close}}; };
    const std::string x_axis = edited(slice(gold, "<c:valAx>", "</c:plotArea>"), {{"50010002", "50010001"}, {"\"l\"", "\"b\""},
                                      {"<c:majorGridlines/>", ""}, {"50010001", "50010002"}, {"between", "midCat"}});
    const Edits xy = {{"<c:cat>", "<c:xVal>"}, {"</c:cat><c:val>", "</c:xVal><c:yVal>"}, {"</c:val>", "</c:yVal>" + kSmooth}};
    const std::string line = R"(lineChart><c:grouping val="standard"/><c:varyColors val="0"/>)";
    std::map<int, Edits> forms = {
        {kChartBar, {}}, {kChartBarHorizontal, Edits{{"\"col\"", "\"bar\""}} + kSwappedAxes},
        {kChartBar3d, bar_3d("col", "box")}, {kChartBar3dHorizontal, bar_3d("bar", "box")},
        {kChartBarCylinder, bar_3d("col", "cylinder")}, {kChartBarCylinderHorizontal, bar_3d("bar", "cylinder")},
        {kChartBarCone, bar_3d("col", "cone")}, {kChartBarConeHorizontal, bar_3d("bar", "cone")},
        {kChartBarPyramid, bar_3d("col", "pyramid")}, {kChartBarPyramidHorizontal, bar_3d("bar", "pyramid")},
        {kChartLine, plot(line) + kSmoothSeries + tail(R"(<c:marker val="1"/>)" + kSmooth, "</c:lineChart>")},
        {kChartStock, plot(line) + kSmoothSeries + tail(R"(<c:hiLowLines/><c:marker val="1"/>)" + kSmooth, "</c:lineChart>")},
        {kChartLine3d, kRotated + plot(R"(line3DChart><c:grouping val="standard"/><c:varyColors val="0"/>)") +
                           tail("", kThirdAxis + "</c:line3DChart>") + kDepthAxis},
        {kChartArea, plot(R"(areaChart><c:grouping val="standard"/><c:varyColors val="0"/>)") + tail("", "</c:areaChart>") + kMidCategory},
        {kChartArea3d, kRotated + plot(R"(area3DChart><c:grouping val="standard"/><c:varyColors val="0"/>)") +
                           tail("", kThirdAxis + "</c:area3DChart>") + kMidCategory + kDepthAxis},
        {kChartPie, plot(R"(pieChart><c:varyColors val="1"/>)") + no_axes(R"(<c:firstSliceAng val="0"/></c:pieChart>)")},
        {kChartPie3d, kRotated + plot(R"(pie3DChart><c:varyColors val="1"/>)") + no_axes("</c:pie3DChart>")},
        {kChartDoughnut, plot(R"(doughnutChart><c:varyColors val="1"/>)") +
                             no_axes(R"(<c:firstSliceAng val="0"/><c:holeSize val="50"/></c:doughnutChart>)")},
        {kChartScatter, plot(R"(scatterChart><c:scatterStyle val="lineMarker"/><c:varyColors val="0"/>)") + xy + xy +
                            tail("", "</c:scatterChart>") + Edits{{slice(gold, "<c:catAx>", "<c:valAx>"), x_axis}} + kMidCategory},
        {kChartRadar, plot(R"(radarChart><c:radarStyle val="marker"/><c:varyColors val="0"/>)") + tail("", "</c:radarChart>")},
        {kChartContour, kRotated + plot(R"(surface3DChart><c:wireframe val="0"/>)") +
                            Edits{{slice(gold, "<c:dLbls>", "<c:axId"), "<c:bandFmts/>"}, {"</c:barChart>", kThirdAxis + "</c:surface3DChart>"}} +
                            kDepthAxis},
    };
    for (const ChartTypeWord &word : chart_type_words()) {
        ASSERT_EQ(forms.count(word.code), 1u) << word.english << " has no plot form here";
        const std::string expected = edited(gold, forms[word.code]);
        EXPECT_EQ(part("A1:C5.CHART=" + std::string(word.english)), expected) << word.english;
        EXPECT_EQ(part("A1:C5.CHART=" + std::string(word.alias)), expected) << word.alias;
    }
}

// Each setting changes its own element only. A gap over 500 is more than a chart part can hold;
// a 3-D line chart is never stacked.
TEST_F(ChartPart, SettingsChangeTheirElementsOnly) {
    EXPECT_EQ(part("CHART.SERIES_LINE=TRUE CHART.GAP_WIDTH=800 CHART.STYLE=12 CHART.TITLE=\"Q1 <North & South>\" CHART.TITLE.FONT.SIZE=18 "
                   "CHART.AXIS_X.FONT.SIZE=8 CHART.AXIS_Y.FONT.SIZE=9 CHART.LEGEND.FONT.SIZE=7 CHART.LEGEND.POSITION=LEFT "
                   "A1:C5.CHART=\"BAR_HORIZONTAL TYPE=2\""),
              edited(gold, {{R"("2"/><c:chart>)", R"("12"/><c:chart><c:title><c:tx><c:rich><a:bodyPr/><a:lstStyle/><a:p><a:pPr><a:defRPr/>)"
                                                  R"(</a:pPr><a:r><a:rPr lang="ja-JP" altLang="en-US" sz="1800"/><a:t>Q1 &lt;North &amp; )"
                                                  R"(South&gt;</a:t></a:r></a:p></c:rich></c:tx><c:layout/><c:overlay val="0"/></c:title>)"},
                            {"\"col\"", "\"bar\""}, {"clustered", "stacked"},
                            {R"(150"/><c:overlap val="0"/>)", R"(500"/><c:overlap val="100"/><c:serLines><c:spPr><a:ln><a:pattFill prst="pct50">)"
                                                              R"(<a:fgClr><a:srgbClr val="000000" /></a:fgClr><a:bgClr><a:srgbClr val="FFFFFF" />)"
                                                              R"(</a:bgClr></a:pattFill><a:prstDash val="solid" /></a:ln></c:spPr></c:serLines>)"},
                            {"axPos val=\"b\"", "axPos val=\"l\""}, {"sz=\"1000\"", "sz=\"800\""}, {"axPos val=\"l\"", "axPos val=\"b\""},
                            {"sz=\"1000\"", "sz=\"900\""}, {"legendPos val=\"r\"", "legendPos val=\"l\""}, {"sz=\"1000\"", "sz=\"700\""}}));
    EXPECT_EQ(part("CHART.3D_PERSPECTIVE=40 CHART.3D_ROTATE_X=-20 CHART.3D_ROTATE_Y=200 A1:C5.CHART=\"BAR_CYLINDER TYPE=4\""),
              edited(gold, Edits{{"<c:chart>", R"(<c:chart><c:view3D><c:rotX val="-20"/><c:rotY val="200"/><c:rAngAx val="0"/>)"
                                               R"(<c:perspective val="40"/></c:view3D>)" + kWalls},
                                 {"barChart>", "bar3DChart>"}, {"clustered", "standard"}, {"overlap val=\"0\"", "shape val=\"cylinder\""},
                                 {"</c:barChart>", kThirdAxis + "</c:bar3DChart>"}} + kDepthAxis));
    EXPECT_EQ(part("CHART.DATA_LABEL=VALUE CHART.DATA_LABEL=SERIES CHART.MIN=-5 CHART.MAX=20.25 CHART.MAJOR_UNIT=2.5 A1:C5.CHART=BAR_VERITICAL"),
              edited(gold, {{"showVal val=\"0\"", "showVal val=\"1\""}, {"showSerName val=\"0\"", "showSerName val=\"1\""},
                            {R"(<c:valAx><c:axId val="50010002"/><c:scaling><c:orientation val="minMax"/>)",
                             R"(<c:valAx><c:axId val="50010002"/><c:scaling><c:orientation val="minMax"/><c:max val="20.25"/><c:min val="-5"/>)"},
                            {"\"between\"/>", R"("between"/><c:majorUnit val="2.5"/>)"}}));
    const std::string doughnut = part("CHART.LEGEND=FALSE CHART.BACK_COLOR=GRADATION CHART.GRADATION.COLOR1=RED "
                                      "CHART.GRADATION.COLOR2=#0000Ff A1:C5.CHART=DOUGHNUT");
    EXPECT_FALSE(has(doughnut, "<c:legend>"));
    EXPECT_TRUE(has(doughnut, R"(</c:chart><c:spPr><a:gradFill><a:gsLst><a:gs pos="0"><a:srgbClr val="FFFFFF"/></a:gs><a:gs pos="7001">)"
                              R"(<a:srgbClr val="ff0000"/></a:gs><a:gs pos="32001"><a:srgbClr val="ff0000"/></a:gs><a:gs pos="47000">)"
                              R"(<a:srgbClr val="0000ff"/></a:gs><a:gs pos="85001"><a:srgbClr val="0000ff"/></a:gs><a:gs pos="100000">)"
                              R"(<a:srgbClr val="0000ff"/></a:gs></a:gsLst><a:lin scaled="0" ang="5400000"/></a:gradFill></c:spPr>)"));
    const std::string area = part("CHART.BACK_COLOR=#1A2B3C A1:C5.CHART=\"AREA TYPE=2\"");
    EXPECT_TRUE(has(area, R"(<c:areaChart><c:grouping val="stacked"/>)"));
    EXPECT_TRUE(has(area, R"(</c:chart><c:spPr><a:solidFill><a:srgbClr val="1a2b3c"/></a:solidFill></c:spPr><c:printSettings>)"));
    EXPECT_TRUE(has(part("A1:C5.CHART=\"LINE_3D TYPE=2 3D_DEPTH=300\""),
                    R"(<c:depthPercent val="300"/><c:rAngAx val="1"/></c:view3D>)" + kWalls +
                        R"(<c:plotArea><c:layout/><c:line3DChart><c:grouping val="standard"/>)"));
    const std::string pie = part("CHART.LEGEND.POSITION=BOTTOM CHART.DATA_LABEL=PERCENTAGE CHART.DATA_LABEL=CLASS A1:B5.CHART=\"PIE TYPE=2\"");
    EXPECT_TRUE(has(pie, R"(</c:tx><c:explosion val="25"/><c:cat>)"));
    EXPECT_TRUE(has(pie, R"(<c:showVal val="0"/><c:showCatName val="1"/><c:showSerName val="0"/><c:showPercent val="1"/>)"));
    EXPECT_TRUE(has(pie, R"(<c:legendPos val="b"/>)"));
    EXPECT_FALSE(has(pie, R"(<c:idx val="1"/>)"));
    const std::string scatter = part("CHART.AXIS_X.FONT.SIZE=12 CHART.MAX=50 A1:C5.CHART=SCATTER");
    EXPECT_TRUE(has(scatter, R"(<c:axPos val="b"/><c:numFmt formatCode="General" sourceLinked="1"/><c:majorTickMark val="out"/>)"
                             R"(<c:minorTickMark val="none"/><c:tickLblPos val="nextTo"/><c:txPr><a:bodyPr /><a:lstStyle /><a:p><a:pPr>)"
                             R"(<a:defRPr sz="1200")"));
    EXPECT_TRUE(has(scatter, R"(<c:axId val="50010002"/><c:scaling><c:orientation val="minMax"/><c:max val="50"/></c:scaling>)"));
}

// A stock chart holds three or four series, each without a line and marked; over four it has
// up-down bars. Over one series it is a plain line chart.
TEST_F(ChartPart, StockCharts) {
    const std::string three = part("A1:D5.CHART=STOCK"), no_line = R"(<c:spPr><a:ln w="28575"><a:noFill/></a:ln></c:spPr>)";
    EXPECT_TRUE(has(three, R"(<c:plotArea><c:layout/><c:stockChart><c:ser><c:idx val="0"/>)"));
    EXPECT_TRUE(has(three, "</c:tx>" + no_line + R"(<c:marker><c:symbol val="none"/></c:marker><c:cat>)"));
    EXPECT_TRUE(has(three, "West</c:v></c:pt></c:strCache></c:strRef></c:tx>" + no_line + R"(<c:marker><c:symbol val="dash"/></c:marker>)"));
    EXPECT_TRUE(has(three, "</c:val>" + kSmooth + "</c:ser><c:dLbls>"));
    EXPECT_TRUE(has(three, "</c:dLbls><c:hiLowLines/>" + kTwoAxes + "</c:stockChart><c:catAx>"));
    ASSERT_EQ(TXLS_put_values(&book, "E1=Close E2=1 E3=2 E4=3 E5=4"), 0);
    EXPECT_TRUE(has(part("A1:E6.CHART=STOCK"), R"(<c:hiLowLines/><c:upDownBars><c:gapWidth val="150"/><c:upBars/><c:downBars/>)"
                                               R"(</c:upDownBars>)" + kTwoAxes + "</c:stockChart>"));
    const std::string one = part("A1:B5.CHART=STOCK");
    EXPECT_TRUE(has(one, "<c:lineChart>"));
    EXPECT_FALSE(has(one, "<c:hiLowLines/>"));
}

// Over A1:D2 (no taller than wide) each row is a series; a row starting with a text has its
// values one cell to the right. A series whose first cell holds a number has no header, and its
// categories keep their numbers; dates are categories with a date format; one column alone is
// one series without categories; sheet names are quoted and escaped.
TEST_F(ChartPart, SeriesFromRowsColumnsDatesAndQuotedSheets) {
    const std::string rows = part("A1:D2.CHART=LINE");
    EXPECT_TRUE(has(rows, R"(<c:tx><c:strRef><c:f>'Data'!$A$2</c:f>)"));
    EXPECT_TRUE(has(rows, R"(<c:cat><c:strRef><c:f>'Data'!$B$1:$D$1</c:f><c:strCache><c:ptCount val="3"/><c:pt idx="0"><c:v>North</c:v>)"));
    EXPECT_TRUE(has(rows, R"(<c:f>'Data'!$B$2:$D$2</c:f><c:numCache><c:formatCode>General</c:formatCode><c:ptCount val="3"/><c:pt idx="0">)"
                          R"(<c:v>10</c:v></c:pt><c:pt idx="2"><c:v>7</c:v></c:pt></c:numCache>)"));
    EXPECT_TRUE(has(part("B4:C5.CHART=\"BAR_VERITICAL\""),
                    R"(<c:pt idx="0"><c:v>-4</c:v></c:pt></c:strCache></c:strRef></c:tx><c:cat><c:numRef><c:f>'Data'!$B$4:$B$5</c:f>)"
                    R"(<c:numCache><c:formatCode>General</c:formatCode><c:ptCount val="2"/><c:pt idx="0"><c:v>15</c:v></c:pt><c:pt idx="1">)"
                    R"(<c:v>0.1</c:v></c:pt></c:numCache></c:numRef></c:cat><c:val><c:numRef><c:f>'Data'!$C$4:$C$5</c:f>)"));
    ASSERT_EQ(TXLS_put_values(&book, "F8=Day F9=2024/01/31 F10=2024/02/29 G8=Sales G9=5 G10=6"), 0) << message();
    const std::string dates = part("F8:G10.CHART=LINE");
    EXPECT_TRUE(has(dates, R"(<c:cat><c:numRef><c:f>'Data'!$F$9:$F$10</c:f><c:numCache><c:formatCode>m/d/yyyy</c:formatCode>)"
                           R"(<c:ptCount val="2"/><c:pt idx="0"><c:v>45322</c:v></c:pt><c:pt idx="1"><c:v>45351</c:v></c:pt>)"));
    EXPECT_TRUE(has(dates, R"(<c:axPos val="b"/><c:numFmt formatCode="m/d/yyyy" sourceLinked="1"/><c:majorTickMark)"));
    const std::string lone = part("G8:G10.CHART=BAR_VERITICAL");
    EXPECT_TRUE(has(lone, R"(<c:v>Sales</c:v></c:pt></c:strCache></c:strRef></c:tx><c:val><c:numRef><c:f>'Data'!$G$9:$G$10</c:f>)"));
    EXPECT_FALSE(has(lone, "<c:cat>"));
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Bob's&<x>"), 0) << message();
    ASSERT_EQ(TXLS_put_values(&book, "A1=x B1=y A2=p B2=1"), 0) << message();
    const std::string quoted = part("A1:B2.CHART=PIE");
    EXPECT_TRUE(has(quoted, "<c:f>'Bob''s&amp;&lt;x&gt;'!$A$2</c:f>"));
    EXPECT_TRUE(has(quoted, "<c:f>'Bob''s&amp;&lt;x&gt;'!$B$2</c:f>"));
}

// Beside the range without LOCATION (below it at the right edge of the sheet); over a LOCATION
// range; from a LOCATION cell with the size it has beside a range.
TEST_F(ChartPart, AnchorBesideTheRangeOrOverItsLocation) {
    for (auto [statement, corners] : {std::pair{"B2:E6.CHART=LINE", std::vector<int>{1, 6, 16, 14}},
                                      {"B2:E6.CHART=\"PIE LOCATION=H3:M20\"", {2, 7, 20, 13}},
                                      {"B2:E6.CHART=\"PIE LOCATION=J30\"", {29, 9, 44, 17}}, {"XFA1:XFD5.CHART=LINE", {6, 16380, 21, 16383}}}) {
        part(statement);
        const ChartAnchor anchor = chart_anchor(store(), *store().drawings.back().chart);
        EXPECT_EQ((std::vector<int>{anchor.row1, anchor.column1, anchor.row2, anchor.column2}), corners) << statement;
    }
}
