// Golden chart parts, one per plot form, over a range whose cells hold texts and gaps where
// numbers are expected; and the graphic frame that places a chart on its sheet.

#include <gtest/gtest.h>

#include <string>

#include "common/fixtures.h"
#include "xlsx_write/chart_part.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;

namespace {

// Row 1 names the series, column A the categories. B3 is empty and C2 holds a text: neither
// is a point, while the point count still covers them.
const char *const kData =
    "B1=North C1=South D1=West A2=Jan B2=10 C2=n/a D2=7 A3=Feb C3=2.5 D3=8 A4=Mar B4=15 C4=-4 D4=9 "
    "A5=Apr B5=0.1 C5=3 D5=6";

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<c:lang val=\"ja-JP\"/><c:roundedCorners val=\"0\"/>";
const std::string kStyle2 = "<c:style val=\"2\"/><c:chart>";
const std::string kWalls =
    "<c:floor><c:thickness val=\"0\"/></c:floor><c:sideWall><c:thickness val=\"0\"/></c:sideWall>"
    "<c:backWall><c:thickness val=\"0\"/></c:backWall>";
const std::string kView3dDefault =
    "<c:view3D><c:rotX val=\"15\"/><c:rotY val=\"25\"/><c:depthPercent val=\"100\"/><c:rAngAx val=\"1\"/></c:view3D>" +
    kWalls;
const std::string kPlotArea = "<c:plotArea><c:layout/>";

std::string name(const std::string &cell, const std::string &text) {
    return "<c:tx><c:strRef><c:f>'Data'!" + cell + "</c:f><c:strCache><c:ptCount val=\"1\"/><c:pt idx=\"0\"><c:v>" +
           text + "</c:v></c:pt></c:strCache></c:strRef></c:tx>";
}
std::string series(int k) {
    return "<c:ser><c:idx val=\"" + std::to_string(k) + "\"/><c:order val=\"" + std::to_string(k) + "\"/>";
}
const std::string kNorth = series(0) + name("$B$1", "North");
const std::string kSouth = series(1) + name("$C$1", "South");
const std::string kWest = series(2) + name("$D$1", "West");

std::string months(const std::string &role) {
    return "<c:" + role +
           "><c:strRef><c:f>'Data'!$A$2:$A$5</c:f><c:strCache><c:ptCount val=\"4\"/><c:pt idx=\"0\"><c:v>Jan</c:v></c:pt>"
           "<c:pt idx=\"1\"><c:v>Feb</c:v></c:pt><c:pt idx=\"2\"><c:v>Mar</c:v></c:pt><c:pt idx=\"3\"><c:v>Apr</c:v></c:pt>"
           "</c:strCache></c:strRef></c:" + role + ">";
}
std::string numbers(const std::string &role, const std::string &ref, const std::string &points) {
    return "<c:" + role + "><c:numRef><c:f>'Data'!" + ref +
           "</c:f><c:numCache><c:formatCode>General</c:formatCode><c:ptCount val=\"4\"/>" + points +
           "</c:numCache></c:numRef></c:" + role + ">";
}
std::string north(const std::string &role = "val") {
    return numbers(role, "$B$2:$B$5",
                   "<c:pt idx=\"0\"><c:v>10</c:v></c:pt><c:pt idx=\"2\"><c:v>15</c:v></c:pt><c:pt idx=\"3\"><c:v>0.1</c:v></c:pt>");
}
std::string south(const std::string &role = "val") {
    return numbers(role, "$C$2:$C$5",
                   "<c:pt idx=\"1\"><c:v>2.5</c:v></c:pt><c:pt idx=\"2\"><c:v>-4</c:v></c:pt><c:pt idx=\"3\"><c:v>3</c:v></c:pt>");
}
std::string west() {
    return numbers("val", "$D$2:$D$5",
                   "<c:pt idx=\"0\"><c:v>7</c:v></c:pt><c:pt idx=\"1\"><c:v>8</c:v></c:pt><c:pt idx=\"2\"><c:v>9</c:v></c:pt>"
                   "<c:pt idx=\"3\"><c:v>6</c:v></c:pt>");
}
const std::string kEnd = "</c:ser>";
const std::string kSmooth = "<c:smooth val=\"0\"/>";

std::string labels(int value = 0, int category = 0, int series_name = 0, int percent = 0) {
    return "<c:dLbls><c:showLegendKey val=\"0\"/><c:showVal val=\"" + std::to_string(value) +
           "\"/><c:showCatName val=\"" + std::to_string(category) + "\"/><c:showSerName val=\"" +
           std::to_string(series_name) + "\"/><c:showPercent val=\"" + std::to_string(percent) +
           "\"/><c:showBubbleSize val=\"0\"/><c:showLeaderLines val=\"0\"/></c:dLbls>";
}
const std::string kTwoAxes = "<c:axId val=\"50010001\"/><c:axId val=\"50010002\"/>";
const std::string kThreeAxes = kTwoAxes + "<c:axId val=\"50010003\"/>";

std::string category_axis(const std::string &pos = "b", int size = 1000) {
    return "<c:catAx><c:axId val=\"50010001\"/><c:scaling><c:orientation val=\"minMax\"/></c:scaling>"
           "<c:delete val=\"0\"/><c:axPos val=\"" + pos + "\"/><c:majorTickMark val=\"out\"/>"
           "<c:minorTickMark val=\"none\"/><c:tickLblPos val=\"nextTo\"/><c:txPr><a:bodyPr/><a:lstStyle/><a:p><a:pPr>"
           "<a:defRPr baseline=\"0\" sz=\"" + std::to_string(size) + "\"/></a:pPr><a:endParaRPr lang=\"ja-JP\"/></a:p>"
           "</c:txPr><c:crossAx val=\"50010002\"/><c:crosses val=\"autoZero\"/><c:auto val=\"1\"/>"
           "<c:lblAlgn val=\"ctr\"/><c:lblOffset val=\"100\"/><c:tickLblSkip val=\"1\"/><c:noMultiLvlLbl val=\"0\"/>"
           "</c:catAx>";
}
std::string axis_font(int size) {
    return "<c:txPr><a:bodyPr /><a:lstStyle /><a:p><a:pPr><a:defRPr sz=\"" + std::to_string(size) +
           "\" b=\"0\" i=\"0\" u=\"none\" strike=\"noStrike\" baseline=\"0\"><a:solidFill><a:srgbClr val=\"000000\" />"
           "</a:solidFill><a:latin typeface=\"ＭＳ Ｐゴシック\" /><a:ea typeface=\"ＭＳ Ｐゴシック\" />"
           "<a:cs typeface=\"ＭＳ Ｐゴシック\" /></a:defRPr></a:pPr><a:endParaRPr lang=\"ja-JP\" /></a:p></c:txPr>";
}
struct ValueAxis {
    std::string id = "50010002", cross = "50010001", pos = "l", between = "between", limits = "", unit = "";
    bool gridlines = true;
    int size = 1000;
};
std::string value_axis(const ValueAxis &v) {
    return "<c:valAx><c:axId val=\"" + v.id + "\"/><c:scaling><c:orientation val=\"minMax\"/>" + v.limits +
           "</c:scaling><c:delete val=\"0\"/><c:axPos val=\"" + v.pos + "\"/>" + (v.gridlines ? "<c:majorGridlines/>" : "") +
           "<c:numFmt formatCode=\"General\" sourceLinked=\"1\"/><c:majorTickMark val=\"out\"/>"
           "<c:minorTickMark val=\"none\"/><c:tickLblPos val=\"nextTo\"/>" + axis_font(v.size) + "<c:crossAx val=\"" +
           v.cross + "\"/><c:crosses val=\"autoZero\"/><c:crossBetween val=\"" + v.between + "\"/>" + v.unit +
           "</c:valAx>";
}
const std::string kSeriesAxis =
    "<c:serAx><c:axId val=\"50010003\"/><c:scaling><c:orientation val=\"minMax\"/></c:scaling><c:delete val=\"0\"/>"
    "<c:axPos val=\"b\"/><c:majorTickMark val=\"out\"/><c:minorTickMark val=\"none\"/><c:tickLblPos val=\"nextTo\"/>"
    "<c:crossAx val=\"50010002\"/><c:crosses val=\"autoZero\"/></c:serAx>";

std::string legend(const std::string &pos = "r", int size = 1000) {
    return "<c:legend><c:legendPos val=\"" + pos + "\"/><c:layout/><c:overlay val=\"0\"/><c:txPr><a:bodyPr/><a:lstStyle/>"
           "<a:p><a:pPr><a:defRPr sz=\"" + std::to_string(size) + "\"/></a:pPr><a:endParaRPr lang=\"ja-JP\"/></a:p>"
           "</c:txPr></c:legend>";
}
const std::string kChartEnd =
    "<c:plotVisOnly val=\"1\"/><c:dispBlanksAs val=\"gap\"/><c:showDLblsOverMax val=\"0\"/></c:chart>";
const std::string kPrint =
    "<c:printSettings><c:headerFooter/><c:pageMargins b=\"0.75\" l=\"0.70\" r=\"0.70\" t=\"0.75\" header=\"0.30\" "
    "footer=\"0.30\"/><c:pageSetup/></c:printSettings></c:chartSpace>";

class ChartPart : public BookTest {
protected:
    void SetUp() override {
        reopen("UTF8", "Data");
        ASSERT_EQ(TXLS_put_values(&book, kData), 0) << message();
    }
    // The part of the chart the statements make (the last drawing object).
    std::string part(const std::string &statements) {
        EXPECT_EQ(TXLS_put_values(&book, statements.c_str()), 0) << message();
        if (store().drawings.empty()) return {};
        return chart_part(store(), store().drawings.back());
    }
    std::string frame(int frame_id, int relationship_id) {
        std::string out;
        write_chart_frame(store(), store().drawings.back(), frame_id, relationship_id, out);
        return out;
    }
};

}  // namespace

TEST_F(ChartPart, Bar) {
    EXPECT_EQ(part("A1:C5.CHART=BAR_VERITICAL"),
              kHead + kStyle2 + kPlotArea +
                  "<c:barChart><c:barDir val=\"col\"/><c:grouping val=\"clustered\"/><c:varyColors val=\"0\"/>" + kNorth +
                  months("cat") + north() + kEnd + kSouth + months("cat") + south() + kEnd + labels() +
                  "<c:gapWidth val=\"150\"/><c:overlap val=\"0\"/>" + kTwoAxes + "</c:barChart>" + category_axis() +
                  value_axis({}) + "</c:plotArea>" + legend() + kChartEnd + kPrint);
}

TEST_F(ChartPart, StackedHorizontalBarWithSeriesLinesAndSettings) {
    EXPECT_EQ(part("CHART.SERIES_LINE=TRUE CHART.GAP_WIDTH=800 CHART.STYLE=12 CHART.TITLE=\"Q1 <North & South>\" "
                   "CHART.TITLE.FONT.SIZE=18 CHART.AXIS_X.FONT.SIZE=8 CHART.AXIS_Y.FONT.SIZE=9 CHART.LEGEND.FONT.SIZE=7 "
                   "CHART.LEGEND.POSITION=LEFT A1:C5.CHART=\"BAR_HORIZONTAL TYPE=2\""),
              kHead + "<c:style val=\"12\"/><c:chart>" +
                  "<c:title><c:tx><c:rich><a:bodyPr/><a:lstStyle/><a:p><a:pPr><a:defRPr/></a:pPr><a:r>"
                  "<a:rPr lang=\"ja-JP\" altLang=\"en-US\" sz=\"1800\"/><a:t>Q1 &lt;North &amp; South&gt;</a:t></a:r>"
                  "</a:p></c:rich></c:tx><c:layout/><c:overlay val=\"0\"/>"
                  "</c:title>" +
                  kPlotArea + "<c:barChart><c:barDir val=\"bar\"/><c:grouping val=\"stacked\"/><c:varyColors val=\"0\"/>" +
                  kNorth + months("cat") + north() + kEnd + kSouth + months("cat") + south() + kEnd + labels() +
                  // A gap over 500 is more than a chart part can hold.
                  "<c:gapWidth val=\"500\"/><c:overlap val=\"100\"/><c:serLines><c:spPr><a:ln><a:pattFill prst=\"pct50\">"
                  "<a:fgClr><a:srgbClr val=\"000000\" /></a:fgClr><a:bgClr><a:srgbClr val=\"FFFFFF\" /></a:bgClr>"
                  "</a:pattFill><a:prstDash val=\"solid\" /></a:ln></c:spPr></c:serLines>" +
                  kTwoAxes + "</c:barChart>" + category_axis("l", 800) +
                  value_axis({.pos = "b", .size = 900}) + "</c:plotArea>" + legend("l", 700) + kChartEnd + kPrint);
}

TEST_F(ChartPart, Bar3dStandardCylinderWithPerspective) {
    EXPECT_EQ(part("CHART.3D_PERSPECTIVE=40 CHART.3D_ROTATE_X=-20 CHART.3D_ROTATE_Y=200 A1:C5.CHART=\"BAR_CYLINDER TYPE=4\""),
              kHead + kStyle2 +
                  "<c:view3D><c:rotX val=\"-20\"/><c:rotY val=\"200\"/><c:rAngAx val=\"0\"/><c:perspective val=\"40\"/>"
                  "</c:view3D>" + kWalls + kPlotArea +
                  "<c:bar3DChart><c:barDir val=\"col\"/><c:grouping val=\"standard\"/><c:varyColors val=\"0\"/>" + kNorth +
                  months("cat") + north() + kEnd + kSouth + months("cat") + south() + kEnd + labels() +
                  "<c:gapWidth val=\"150\"/><c:shape val=\"cylinder\"/>" + kThreeAxes + "</c:bar3DChart>" +
                  category_axis() + value_axis({}) + kSeriesAxis + "</c:plotArea>" + legend() + kChartEnd + kPrint);
}

TEST_F(ChartPart, Bar3dShapesAndDirections) {
    const struct {
        const char *word;
        const char *head;
        const char *shape;
    } forms[] = {
        {"BAR_3D_VERITICAL", "<c:barDir val=\"col\"/><c:grouping val=\"clustered\"/>", "box"},
        {"BAR_CONE", "<c:barDir val=\"col\"/><c:grouping val=\"clustered\"/>", "cone"},
        {"BAR_PYRAMLID", "<c:barDir val=\"col\"/><c:grouping val=\"clustered\"/>", "pyramid"},
        {"BAR_3D_HORIZONTAL", "<c:barDir val=\"bar\"/><c:grouping val=\"clustered\"/>", "box"},
        {"BAR_CYLINDER_HORIZONTAL", "<c:barDir val=\"bar\"/><c:grouping val=\"clustered\"/>", "cylinder"},
        {"BAR_CONE_HORIZONTAL", "<c:barDir val=\"bar\"/><c:grouping val=\"clustered\"/>", "cone"},
        {"BAR_PYRAMLID_HORIZONTAL", "<c:barDir val=\"bar\"/><c:grouping val=\"clustered\"/>", "pyramid"},
    };
    for (const auto &f : forms) {
        const std::string text = part(std::string("A1:C5.CHART=") + f.word);
        EXPECT_NE(text.find(kView3dDefault + kPlotArea + "<c:bar3DChart>" + f.head), std::string::npos) << f.word;
        // Clustered 3-D bars stand on two axes: no depth axis is referred to that is not written.
        EXPECT_NE(text.find("<c:shape val=\"" + std::string(f.shape) + "\"/>" + kTwoAxes + "</c:bar3DChart><c:catAx>"),
                  std::string::npos)
            << f.word;
        EXPECT_EQ(text.find("<c:serAx>"), std::string::npos) << f.word;
    }
}

TEST_F(ChartPart, LineWithLabelsAndScale) {
    EXPECT_EQ(part("CHART.DATA_LABEL=VALUE CHART.DATA_LABEL=SERIES CHART.MIN=-5 CHART.MAX=20.25 CHART.MAJOR_UNIT=2.5 "
                   "A1:C5.CHART=LINE"),
              kHead + kStyle2 + kPlotArea + "<c:lineChart><c:grouping val=\"standard\"/><c:varyColors val=\"0\"/>" + kNorth +
                  months("cat") + north() + kSmooth + kEnd + kSouth + months("cat") + south() + kSmooth + kEnd +
                  labels(1, 0, 1, 0) + "<c:marker val=\"1\"/>" + kSmooth + kTwoAxes + "</c:lineChart>" +
                  category_axis() +
                  value_axis({.limits = "<c:max val=\"20.25\"/><c:min val=\"-5\"/>", .unit = "<c:majorUnit val=\"2.5\"/>"}) +
                  "</c:plotArea>" + legend() + kChartEnd + kPrint);
}

TEST_F(ChartPart, Line3dStandsOnThreeAxes) {
    EXPECT_EQ(part("A1:C5.CHART=\"LINE_3D TYPE=2 3D_DEPTH=300\""),
              kHead + kStyle2 +
                  "<c:view3D><c:rotX val=\"15\"/><c:rotY val=\"25\"/><c:depthPercent val=\"300\"/><c:rAngAx val=\"1\"/>"
                  "</c:view3D>" + kWalls + kPlotArea + "<c:line3DChart><c:grouping val=\"standard\"/><c:varyColors val=\"0\"/>" +
                  kNorth + months("cat") + north() + kEnd + kSouth + months("cat") + south() + kEnd + labels() + kThreeAxes +
                  "</c:line3DChart>" + category_axis() + value_axis({}) + kSeriesAxis + "</c:plotArea>" + legend() +
                  kChartEnd + kPrint);
}

TEST_F(ChartPart, StackedAreaWithSolidBackground) {
    EXPECT_EQ(part("CHART.BACK_COLOR=#1A2B3C A1:C5.CHART=\"AREA TYPE=2\""),
              kHead + kStyle2 + kPlotArea + "<c:areaChart><c:grouping val=\"stacked\"/><c:varyColors val=\"0\"/>" + kNorth +
                  months("cat") + north() + kEnd + kSouth + months("cat") + south() + kEnd + labels() + kTwoAxes +
                  "</c:areaChart>" + category_axis() + value_axis({.between = "midCat"}) + "</c:plotArea>" + legend() +
                  kChartEnd + "<c:spPr><a:solidFill><a:srgbClr val=\"1a2b3c\"/></a:solidFill></c:spPr>" + kPrint);
}

TEST_F(ChartPart, Area3d) {
    EXPECT_EQ(part("A1:C5.CHART=AREA_3D"),
              kHead + kStyle2 + kView3dDefault + kPlotArea +
                  "<c:area3DChart><c:grouping val=\"standard\"/><c:varyColors val=\"0\"/>" + kNorth + months("cat") + north() +
                  kEnd + kSouth + months("cat") + south() + kEnd + labels() + kThreeAxes + "</c:area3DChart>" +
                  category_axis() + value_axis({.between = "midCat"}) + kSeriesAxis + "</c:plotArea>" + legend() +
                  kChartEnd + kPrint);
}

TEST_F(ChartPart, ExplodedPieWithLegendBelow) {
    EXPECT_EQ(part("CHART.LEGEND.POSITION=BOTTOM CHART.DATA_LABEL=PERCENTAGE CHART.DATA_LABEL=CLASS "
                   "A1:B5.CHART=\"PIE TYPE=2\""),
              kHead + kStyle2 + kPlotArea + "<c:pieChart><c:varyColors val=\"1\"/>" + kNorth +
                  "<c:explosion val=\"25\"/>" + months("cat") + north() + kEnd + labels(0, 1, 0, 1) +
                  "<c:firstSliceAng val=\"0\"/></c:pieChart></c:plotArea>" + legend("b") + kChartEnd + kPrint);
}

TEST_F(ChartPart, Pie3d) {
    EXPECT_EQ(part("A1:B5.CHART=PIE_3D"),
              kHead + kStyle2 + kView3dDefault + kPlotArea + "<c:pie3DChart><c:varyColors val=\"1\"/>" + kNorth +
                  months("cat") + north() + kEnd + labels() + "</c:pie3DChart></c:plotArea>" + legend() + kChartEnd + kPrint);
}

TEST_F(ChartPart, DoughnutWithGradientAndNoLegend) {
    EXPECT_EQ(part("CHART.LEGEND=FALSE CHART.BACK_COLOR=GRADATION CHART.GRADATION.COLOR1=RED "
                   "CHART.GRADATION.COLOR2=#0000Ff A1:C5.CHART=DOUGHNUT"),
              kHead + kStyle2 + kPlotArea + "<c:doughnutChart><c:varyColors val=\"1\"/>" + kNorth + months("cat") + north() +
                  kEnd + kSouth + months("cat") + south() + kEnd + labels() +
                  "<c:firstSliceAng val=\"0\"/><c:holeSize val=\"50\"/></c:doughnutChart></c:plotArea>" + kChartEnd +
                  "<c:spPr><a:gradFill><a:gsLst><a:gs pos=\"0\"><a:srgbClr val=\"FFFFFF\"/></a:gs><a:gs pos=\"7001\">"
                  "<a:srgbClr val=\"ff0000\"/></a:gs><a:gs pos=\"32001\"><a:srgbClr val=\"ff0000\"/></a:gs>"
                  "<a:gs pos=\"47000\"><a:srgbClr val=\"0000ff\"/></a:gs><a:gs pos=\"85001\"><a:srgbClr val=\"0000ff\"/>"
                  "</a:gs><a:gs pos=\"100000\"><a:srgbClr val=\"0000ff\"/></a:gs></a:gsLst><a:lin scaled=\"0\" "
                  "ang=\"5400000\"/></a:gradFill></c:spPr>" + kPrint);
}

TEST_F(ChartPart, ScatterTakesTheCategoriesAsXValues) {
    EXPECT_EQ(part("CHART.AXIS_X.FONT.SIZE=12 CHART.MAX=50 A1:C5.CHART=SCATTER"),
              kHead + kStyle2 + kPlotArea + "<c:scatterChart><c:scatterStyle val=\"lineMarker\"/><c:varyColors val=\"0\"/>" +
                  kNorth + months("xVal") + north("yVal") + kSmooth + kEnd + kSouth + months("xVal") + south("yVal") +
                  kSmooth + kEnd + labels() + kTwoAxes + "</c:scatterChart>" +
                  value_axis({.id = "50010001", .cross = "50010002", .pos = "b", .between = "midCat", .gridlines = false,
                              .size = 1200}) +
                  value_axis({.between = "midCat", .limits = "<c:max val=\"50\"/>"}) + "</c:plotArea>" + legend() +
                  kChartEnd + kPrint);
}

TEST_F(ChartPart, StockOverHighLowClose) {
    const std::string no_line = "<c:spPr><a:ln w=\"28575\"><a:noFill/></a:ln></c:spPr>";
    EXPECT_EQ(part("A1:D5.CHART=STOCK"),
              kHead + kStyle2 + kPlotArea + "<c:stockChart>" + kNorth + no_line +
                  "<c:marker><c:symbol val=\"none\"/></c:marker>" + months("cat") + north() + kSmooth + kEnd + kSouth +
                  no_line + "<c:marker><c:symbol val=\"none\"/></c:marker>" + months("cat") + south() + kSmooth + kEnd +
                  kWest + no_line + "<c:marker><c:symbol val=\"dash\"/></c:marker>" + months("cat") + west() + kSmooth +
                  kEnd + labels() + "<c:hiLowLines/>" + kTwoAxes + "</c:stockChart>" + category_axis() + value_axis({}) +
                  "</c:plotArea>" + legend() + kChartEnd + kPrint);
}

TEST_F(ChartPart, StockOverOpenHighLowCloseHasUpDownBars) {
    ASSERT_EQ(TXLS_put_values(&book, "E1=Close E2=1 E3=2 E4=3 E5=4"), 0);
    const std::string text = part("A1:E6.CHART=STOCK");
    EXPECT_NE(text.find("<c:hiLowLines/><c:upDownBars><c:gapWidth val=\"150\"/><c:upBars/><c:downBars/></c:upDownBars>" +
                        kTwoAxes + "</c:stockChart>"),
              std::string::npos);
}

// A stock chart holds three or four series; over fewer or more the chart is a line chart with
// high-low lines, which every program opens.
TEST_F(ChartPart, StockOverTwoSeriesIsDrawnAsLines) {
    EXPECT_EQ(part("A1:C5.CHART=STOCK"),
              kHead + kStyle2 + kPlotArea + "<c:lineChart><c:grouping val=\"standard\"/><c:varyColors val=\"0\"/>" + kNorth +
                  months("cat") + north() + kSmooth + kEnd + kSouth + months("cat") + south() + kSmooth + kEnd + labels() +
                  "<c:hiLowLines/><c:marker val=\"1\"/>" + kSmooth + kTwoAxes + "</c:lineChart>" + category_axis() +
                  value_axis({}) + "</c:plotArea>" + legend() + kChartEnd + kPrint);
    const std::string one = part("A1:B5.CHART=STOCK");
    EXPECT_NE(one.find("<c:lineChart>"), std::string::npos);
    EXPECT_EQ(one.find("<c:hiLowLines/>"), std::string::npos);
}

TEST_F(ChartPart, Radar) {
    EXPECT_EQ(part("A1:C5.CHART=RADAR"),
              kHead + kStyle2 + kPlotArea + "<c:radarChart><c:radarStyle val=\"marker\"/><c:varyColors val=\"0\"/>" + kNorth +
                  months("cat") + north() + kEnd + kSouth + months("cat") + south() + kEnd + labels() + kTwoAxes +
                  "</c:radarChart>" + category_axis() + value_axis({}) + "</c:plotArea>" + legend() + kChartEnd + kPrint);
}

TEST_F(ChartPart, SurfaceHasNoLabelsAndThreeAxes) {
    EXPECT_EQ(part("A1:C5.CHART=CONTOUR"),
              kHead + kStyle2 + kView3dDefault + kPlotArea + "<c:surface3DChart><c:wireframe val=\"0\"/>" + kNorth +
                  months("cat") + north() + kEnd + kSouth + months("cat") + south() + kEnd + "<c:bandFmts/>" + kThreeAxes +
                  "</c:surface3DChart>" + category_axis() + value_axis({}) + kSeriesAxis + "</c:plotArea>" + legend() +
                  kChartEnd + kPrint);
}

TEST_F(ChartPart, RowsAsSeriesAndNumbersAsHeaders) {
    // A1:D2: last column D (3) is not below last row 2 (1): each row is one record. Row 2 starts
    // with a text, so its values begin one cell to the right.
    const std::string text = part("A1:D2.CHART=LINE");
    EXPECT_NE(text.find(series(0) + name("$A$2", "Jan") +
                        "<c:cat><c:strRef><c:f>'Data'!$B$1:$D$1</c:f><c:strCache><c:ptCount val=\"3\"/><c:pt idx=\"0\">"
                        "<c:v>North</c:v></c:pt><c:pt idx=\"1\"><c:v>South</c:v></c:pt><c:pt idx=\"2\"><c:v>West</c:v></c:pt>"
                        "</c:strCache></c:strRef></c:cat><c:val><c:numRef><c:f>'Data'!$B$2:$D$2</c:f><c:numCache>"
                        "<c:formatCode>General</c:formatCode><c:ptCount val=\"3\"/><c:pt idx=\"0\"><c:v>10</c:v></c:pt>"
                        "<c:pt idx=\"2\"><c:v>7</c:v></c:pt></c:numCache></c:numRef></c:val>"),
              std::string::npos)
        << text;
    // A series whose first cell holds a number has no header: it starts there, and so do the
    // categories; numbers as categories keep their numbers.
    const std::string plain = part("B4:C5.CHART=\"BAR_VERITICAL\"");
    EXPECT_NE(plain.find(series(0) + name("$C$4", "-4") +
                         "<c:cat><c:numRef><c:f>'Data'!$B$4:$B$5</c:f><c:numCache><c:formatCode>General</c:formatCode>"
                         "<c:ptCount val=\"2\"/><c:pt idx=\"0\"><c:v>15</c:v></c:pt><c:pt idx=\"1\"><c:v>0.1</c:v></c:pt>"
                         "</c:numCache></c:numRef></c:cat><c:val><c:numRef><c:f>'Data'!$C$4:$C$5</c:f>"),
              std::string::npos)
        << plain;
}

TEST_F(ChartPart, DateCategoriesAndALoneRecord) {
    ASSERT_EQ(TXLS_put_values(&book, "F8=Day F9=2024/01/31 F10=2024/02/29 G8=Sales G9=5 G10=6"), 0) << message();
    const std::string text = part("F8:G10.CHART=LINE");
    EXPECT_NE(text.find("<c:cat><c:numRef><c:f>'Data'!$F$9:$F$10</c:f><c:numCache><c:formatCode>m/d/yyyy</c:formatCode>"
                        "<c:ptCount val=\"2\"/><c:pt idx=\"0\"><c:v>45322</c:v></c:pt><c:pt idx=\"1\"><c:v>45351</c:v>"
                        "</c:pt></c:numCache></c:numRef></c:cat>"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<c:axPos val=\"b\"/><c:numFmt formatCode=\"m/d/yyyy\" sourceLinked=\"1\"/><c:majorTickMark"),
              std::string::npos);
    // One column alone is one series without categories, not a chart without series.
    const std::string lone = part("G8:G10.CHART=BAR_VERITICAL");
    EXPECT_NE(lone.find(series(0) + name("$G$8", "Sales") + "<c:val><c:numRef><c:f>'Data'!$G$9:$G$10</c:f>"),
              std::string::npos)
        << lone;
    EXPECT_EQ(lone.find("<c:cat>"), std::string::npos);
}

TEST_F(ChartPart, SheetNamesAreQuoted) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Bob's&<x>"), 0) << message();
    ASSERT_EQ(TXLS_put_values(&book, "A1=x B1=y A2=p B2=1"), 0) << message();
    const std::string text = part("A1:B2.CHART=PIE");
    EXPECT_NE(text.find("<c:f>'Bob''s&amp;&lt;x&gt;'!$A$2</c:f>"), std::string::npos) << text;
    EXPECT_NE(text.find("<c:f>'Bob''s&amp;&lt;x&gt;'!$B$2</c:f>"), std::string::npos) << text;
}

TEST_F(ChartPart, FrameBesideTheRangeOrOverItsLocation) {
    part("B2:E6.CHART=LINE");
    EXPECT_EQ(frame(3, 2),
              "<xdr:twoCellAnchor><xdr:from><xdr:col>6</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>1</xdr:row>"
              "<xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:to><xdr:col>14</xdr:col><xdr:colOff>0</xdr:colOff>"
              "<xdr:row>16</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:to><xdr:graphicFrame macro=\"\">"
              "<xdr:nvGraphicFramePr><xdr:cNvPr id=\"3\" name=\"Chart 3\"/><xdr:cNvGraphicFramePr/></xdr:nvGraphicFramePr>"
              "<xdr:xfrm><a:off y=\"0\" x=\"0\"/><a:ext cy=\"0\" cx=\"0\"/></xdr:xfrm><a:graphic>"
              "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart r:id=\"rId2\" "
              "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
              "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"/></a:graphicData></a:graphic>"
              "</xdr:graphicFrame><xdr:clientData/></xdr:twoCellAnchor>");
    const auto anchor = [&] { return chart_anchor(store(), *store().drawings.back().chart); };
    part("B2:E6.CHART=\"PIE LOCATION=H3:M20\"");
    EXPECT_EQ(anchor().row1, 2);
    EXPECT_EQ(anchor().column1, 7);
    EXPECT_EQ(anchor().row2, 20);
    EXPECT_EQ(anchor().column2, 13);
    // One cell: the chart starts there with the size it has beside a range.
    part("B2:E6.CHART=\"PIE LOCATION=J30\"");
    EXPECT_EQ(anchor().row1, 29);
    EXPECT_EQ(anchor().column1, 9);
    EXPECT_EQ(anchor().row2, 44);
    EXPECT_EQ(anchor().column2, 17);
    // At the right edge of the sheet the chart goes below the range.
    part("XFA1:XFD5.CHART=LINE");
    EXPECT_EQ(anchor().row1, 6);
    EXPECT_EQ(anchor().column1, 16380);
    EXPECT_EQ(anchor().column2, 16383);
}
