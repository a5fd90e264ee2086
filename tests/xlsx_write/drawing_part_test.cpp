// The drawing, chart and annotation parts against their golden texts (pictures, chart frames,
// shapes, every chart type; comments, VML boxes, tables, links); units and part numbers as facts.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "api/book_init.h"
#include "common/fixtures.h"
#include "common/golden.h"
#include "model/book.h"
#include "props/property.h"
#include "support/results.h"
#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/chart_part.h"
#include "xlsx_write/drawing_part.h"
#include "xlsx_write/object_parts.h"
#include "xlsx_write/package_writer.h"
#include "xlsx_write/worksheet_part.h"

using namespace tabsmith;
using tabsmith::testing::BookTest, tabsmith::testing::Edits, tabsmith::testing::edited, tabsmith::testing::golden,
    tabsmith::testing::has, tabsmith::testing::slice, tabsmith::testing::operator+;

namespace {

const std::string kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::shared_ptr<PictureData> picture(int type, int width, int height) {
    auto data = std::make_shared<PictureData>();
    data->type = type, data->width = width, data->height = height, data->bytes = "bytes";
    return data;
}

class DrawingPart : public tabsmith::testing::SheetTest {
protected:
    DrawingObject &place(int sheet, int row, int column, std::shared_ptr<const PictureData> data,
                         DrawingKind kind = DrawingKind::kPicture) {
        DrawingObject &object = store().drawings.emplace_back();
        object.kind = kind, object.sheet = sheet, object.row = row, object.column = column, object.picture = std::move(data);
        return object;
    }
    std::string drawing(int sheet) {
        std::string out;
        EXPECT_EQ(drawing_part(store(), sheet, plan_object_parts(store()), out), kOk);
        return out;
    }
    std::string sheet_rels(int sheet) { return write_worksheet_rels(store(), sheet, plan_object_parts(store())); }
    void statements(const std::string &text) { ASSERT_EQ(TXLS_put_values(&book, text.c_str()), 0) << text << ": " << message(); }
};

Sheet &add(Book &book, const char *name) { return *book.sheets[static_cast<std::size_t>(add_sheet(book, name))]; }

void put_text(Book &book, Sheet &sheet, int row, int column, std::string_view text) {
    ASSERT_EQ(ensure_cell(book, sheet, row, column), 0);
    Cell &cell = sheet.rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    cell.kind = kCellString;
    cell.sst = static_cast<std::uint32_t>(put_shared_string(book, text));
    sheet.rows_used = std::max(sheet.rows_used, row + 1);
    Row &r = sheet.rows[static_cast<std::size_t>(row)];
    r.used = std::max<std::uint16_t>(r.used, static_cast<std::uint16_t>(column + 1));
}

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

// A one-inch picture at ratio one is 915090 units; three anchors of one picture share one media
// part while each r:embed and click link has its relationship. Shapes: a plain rectangle at its
// cell, a line with arrows to its end point, a callout with every setting and text.
TEST_F(DrawingPart, PicturesChartAndShapesAreTheGoldenPart) {
    const auto logo = picture(203, 96, 96);
    place(0, 0, 0, logo).link = "https://example.com/?a=1&b=2";
    place(0, 2, 0, logo);
    place(0, 4, 0, logo).link = "#'Two'!B3";
    statements("B2=1 C2=2 B3=3 C3=4 B2:E6.CHART=LINE C2.AUTOSHAPE=RECT B3.AUTOSHAPE=LINE B3.AUTOSHAPE.END.OFFSET.X=-50 "
               "B3.AUTOSHAPE.END.OFFSET.Y=20 B3.AUTOSHAPE.ARROW.START=OVAL B3.AUTOSHAPE.ARROW.END=TRIANGLE "
               "B3.AUTOSHAPE.ARROW.END.WIDTH=LARGE B3.AUTOSHAPE.ARROW.END.LENGTH=SMALL B3.AUTOSHAPE.TEXT=ignored "
               "B3.AUTOSHAPE.FILL.COLOR=RED");
    store().shape_settings = {};   // settings carry over to the next shape
    statements("A1.AUTOSHAPE=CALLOUT_RECT A1.AUTOSHAPE.OFFSET.X=2 A1.AUTOSHAPE.OFFSET.Y=1.5 A1.AUTOSHAPE.WIDTH=100 "
               "A1.AUTOSHAPE.HEIGHT=50 A1.AUTOSHAPE.ROTATION=RIGHT90 A1.AUTOSHAPE.ROTATION=FLIP_H A1.AUTOSHAPE.ADJUST.X=-20 "
               "A1.AUTOSHAPE.ADJUST.Y=62.5 A1.AUTOSHAPE.FILL.COLOR=#FFCC00 A1.AUTOSHAPE.FILL.TRANSPARENT=25 "
               "A1.AUTOSHAPE.LINE=DASH A1.AUTOSHAPE.LINE.COLOR=NAVY A1.AUTOSHAPE.LINE.WIDTH=1.5 A1.AUTOSHAPE.SHADOW=OUTER "
               "A1.AUTOSHAPE.EFFECT=2 A1.AUTOSHAPE.STYLE=STANDARD_STYLE4 A1.AUTOSHAPE.ACCENT=2 A1.AUTOSHAPE.VERSION=2016 "
               "A1.AUTOSHAPE.TEXT=\"a<b & c\" A1.AUTOSHAPE.FONT.NAME=Arial A1.AUTOSHAPE.FONT.SIZE=14 "
               "A1.AUTOSHAPE.FONT.STYLE=BOLD_UNDERLINE A1.AUTOSHAPE.FONT.COLOR=RED A1.AUTOSHAPE.ALIGN=TOP_RIGHT "
               "A1.AUTOSHAPE.ALIGN.TEXT=ROTATE270");
    // Then one shape for each setting given before the shape is placed.
    for (const char *settings : {"FILL=NONE", "LINE=NONE", "SHADOW=NONE", "SHADOW=INNER SHADOW.COLOR=BLUE SHADOW.DEGREE=180",
                                 "FILL.GRADATION.COLOR1=RED FILL.GRADATION.DEGREE=45", "FILL.GRADATION.KIND=RECT FILL.GRADATION.VARIATION=4",
                                 "FILL=SINGLE_COLOR ACCENT=3", "LINE.TRANSPARENT=50", "LINE=SYSDOT", "LINE=LGDASHDOT", "VERSION=2013",
                                 "STYLE=STANDARD_STYLE6", "TYPE=ROUND_RECT ADJUST.X=10 ADJUST.Y=20", "TYPE=PENTAGON ADJUST.X=10",
                                 "ROTATION=LEFT90 ROTATION=FLIP_V", "TEXT=\"one\ntwo\n\""}) {
        store().shape_settings = {};
        std::string text = settings;
        for (std::size_t at = 0; at != std::string::npos; at = text.find(' ', at + 1)) text.insert(at ? at + 1 : 0, "E5.AUTOSHAPE.");
        statements(text + " F6.AUTOSHAPE=\"\"");
    }
    EXPECT_EQ(drawing(0), tabsmith::testing::golden("drawing.xml"));
    EXPECT_EQ(drawing_rels_part(store(), 0, plan_object_parts(store())), tabsmith::testing::golden("drawing_rels.xml"));
    EXPECT_EQ(plan_object_parts(store()).media.size(), 1u);
}

// Media in object order, drawings in sheet order; a background is a sheet relationship before
// the drawing's and no drawing of its own. A picture of a type the package cannot hold stops
// the drawing with the object's place in its message.
TEST_F(DrawingPart, PartNumbersBackgroundsAndUnknownTypes) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Two"), 0);
    place(1, 0, 0, picture(202, 10, 10));
    place(0, 0, 0, picture(204, 10, 10));
    place(1, 5, 0, picture(206, 10, 10));
    ObjectParts parts = plan_object_parts(store());
    ASSERT_EQ(parts.media.size(), 3u);
    EXPECT_EQ(media_part_name(parts.media[0]) + " " + media_part_name(parts.media[1]) + " " + media_part_name(parts.media[2]),
              "xl/media/image1.jpeg xl/media/image2.gif xl/media/image3.emf");
    EXPECT_EQ(parts.drawing_parts, 2);
    EXPECT_EQ(parts.sheets[0].drawing, 1);
    EXPECT_EQ(parts.sheets[1].drawing, 2);
    EXPECT_TRUE(has(drawing_rels_part(store(), 1, parts), "relationships\"><Relationship Id=\"rId1\" Type=\"" + kRelType +
                                                               "image\" Target=\"../media/image1.jpeg\"/><Relationship Id=\"rId2\" Type=\"" +
                                                               kRelType + "image\" Target=\"../media/image3.emf\"/></Relationships>"));
    const std::string printer = "<Relationship Id=\"rId1\" Type=\"" + kRelType + "printerSettings\" Target=\"../printerSettings/printerSettings2.bin\"/>";
    EXPECT_TRUE(has(sheet_rels(1), printer + "<Relationship Id=\"rId2\" Type=\"" + kRelType + "drawing\" Target=\"../drawings/drawing2.xml\"/>"));
    store().drawings.clear();
    place(1, 0, 0, picture(203, 4, 4), DrawingKind::kBackground);
    EXPECT_EQ(plan_object_parts(store()).drawing_parts, 0);
    EXPECT_EQ(plan_object_parts(store()).sheets[1].background_media, 1);
    const std::string background = "<Relationship Id=\"rId2\" Type=\"" + kRelType + "image\" Target=\"../media/image1.png\" />";
    EXPECT_TRUE(has(sheet_rels(1), printer + background + "</Relationships>"));
    std::string sheet;
    ASSERT_EQ(tsx_write_worksheet(store(), 1, sheet), kOk);
    EXPECT_TRUE(has(sheet, "<picture r:id=\"rId2\" /></worksheet>"));
    EXPECT_FALSE(has(sheet, "<drawing "));
    place(1, 0, 0, picture(203, 4, 4));
    EXPECT_TRUE(has(sheet_rels(1), background + "<Relationship Id=\"rId3\" Type=\"" + kRelType + "drawing\" Target=\"../drawings/drawing1.xml\"/>"));
    ASSERT_EQ(tsx_write_worksheet(store(), 1, sheet = ""), kOk);
    EXPECT_TRUE(has(sheet, "<drawing r:id=\"rId3\"/><picture r:id=\"rId2\" /></worksheet>"));
    place(1, 0, 0, picture(102, 1, 1));
    std::string out;
    EXPECT_EQ(drawing_part(store(), 1, plan_object_parts(store()), out), kFail);
    EXPECT_EQ(store().err.code(), kFail);
    EXPECT_TRUE(has(store().err.message_utf8(), "book->draw[2].image->type=102"));
}

// Each comment is the creator in bold and the text escaped (a red one in its own size); each
// has a hidden note box, with shape ids in steps of 25; a table per style family.
TEST(AnnotationParts, CommentsNoteBoxesAndTablesAreTheGoldenParts) {
    Book book;
    book.author = "R&D <team>";
    Sheet &sheet = add(book, "Sheet1");
    sheet.annotations.comments.push_back({1, 1, "check \"this\" & <that>\r\nline two"});
    sheet.annotations.comments.push_back({0, 27, "二つ目"});
    sheet.annotations.comments.back().colour_kind = kCommentColourKindRed;
    sheet.annotations.comments.back().points = 9;
    EXPECT_EQ(comments_part(book, sheet), golden("comments.xml"));
    sheet.annotations.comments = {{1, 1, "a"}, {1, 2, "b"}, {4, 0, "c"}};
    EXPECT_EQ(vml_drawing_part(sheet, 2, 1100), golden("vmlDrawing.xml"));
    TableFormat table;
    table.row1 = 0, table.column1 = 0, table.row2 = 4, table.column2 = 2;
    table.column_names = {"Name", "列2", "A&B \"q\""};
    for (auto [family, style, name] : {std::tuple{TableStyleFamily::kLight, 21, "TableStyleLight21"},
                                       {TableStyleFamily::kMedium, 9, "TableStyleMedium9"},
                                       {TableStyleFamily::kDark, 1, "TableStyleDark1"}}) {
        table.family = family;
        table.style = style;
        EXPECT_EQ(table_part(table, 3), tabsmith::testing::edited(golden("table.xml"), {{"TableStyleLight21", name}}));
    }
}

// A saved book lists every annotation part in the sheet's relationships (the golden part),
// its worksheet and the content types.
TEST(AnnotationParts, SavedBookListsEveryPart) {
    Book book;
    Sheet &first = add(book, "First");
    Sheet &second = add(book, "Second");
    put_text(book, first, 0, 0, "Head");
    put_text(book, first, 1, 0, "x");
    first.annotations.hyperlinks = {{HyperlinkKind::kExternal, 0, 0, "", 0, 0, "http://a.example/"},
                                    {HyperlinkKind::kInBook, 1, 0, "Second", 1, 1, ""}};
    first.annotations.comments = {{0, 0, "note"}};
    TableFormat table;
    table.row2 = 1;
    table.column_names = {"Head"};
    first.annotations.tables = {table};
    second.annotations.comments = {{3, 3, "second"}};
    std::vector<std::pair<std::string, std::string>> list;
    ASSERT_EQ(build_package_parts(book, list), 0);
    std::map<std::string, std::string> parts(list.begin(), list.end());
    EXPECT_EQ(parts["xl/worksheets/_rels/sheet1.xml.rels"], golden("worksheet_rels.xml"));
    EXPECT_EQ(write_worksheet_rels(book, 0), golden("worksheet_rels.xml"));
    const std::string &sheet1 = parts["xl/worksheets/sheet1.xml"];
    EXPECT_TRUE(has(sheet1, R"(</sheetData><hyperlinks><hyperlink ref="A1" r:id="rId1"/><hyperlink ref="A2" location="'Second'!A1" )"
                            R"(display="x"/></hyperlinks><pageMargins )"));
    EXPECT_TRUE(has(sheet1, R"(<legacyDrawing r:id="rId4"/><tableParts count="1"><tablePart r:id="rId5" /></tableParts></worksheet>)"));
    EXPECT_TRUE(has(parts["xl/worksheets/sheet2.xml"], R"(<legacyDrawing r:id="rId3"/></worksheet>)"));
    EXPECT_TRUE(has(parts["xl/drawings/vmlDrawing2.vml"], R"(data="2"/>)"));
    EXPECT_TRUE(has(parts["xl/drawings/vmlDrawing2.vml"], R"(<v:shape id="_x0000_s1050" )"));
    EXPECT_TRUE(has(parts["xl/drawings/vmlDrawing2.vml"], R"(<x:Row>3</x:Row><x:Column>3</x:Column>)"));
    EXPECT_TRUE(has(parts["xl/comments2.xml"], R"(<comment ref="D4" authorId="0"><text><r><rPr><b/>)"));
    EXPECT_EQ(parts.count("xl/tables/table1.xml") + parts.count("xl/tables/table2.xml"), 1u);
    // The printer settings record: its public size and the driver data after it fill the part.
    const std::string &devmode = parts["xl/printerSettings/printerSettings1.bin"];
    auto u16 = [&](std::size_t at) { return static_cast<std::size_t>(static_cast<unsigned char>(devmode[at]) | static_cast<unsigned char>(devmode[at + 1]) << 8); };
    EXPECT_EQ(u16(68) + u16(70), devmode.size());
}

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
