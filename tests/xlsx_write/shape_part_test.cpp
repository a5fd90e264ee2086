// Autoshape anchors: whole anchors for a plain shape, a dressed-up shape with text and a line with
// arrows, and the pieces each setting turns into.

#include <gtest/gtest.h>

#include <string>

#include "common/fixtures.h"
#include "xlsx_write/shape_part.h"

using namespace tabsmith;
using tabsmith::testing::SheetTest;

namespace {

class ShapeAnchor : public SheetTest {
protected:
    // Runs the statements and gives the anchor of the last shape they placed, with id 4.
    std::string anchor(const std::string &statements) {
        EXPECT_EQ(TXLS_put_values(&book, statements.c_str()), 0) << statements << " " << message();
        std::string out;
        if (!store().drawings.empty()) write_shape_anchor(store(), store().drawings.back(), 4, out);
        return out;
    }
};

}  // namespace

TEST_F(ShapeAnchor, PlainRectangleAtItsCell) {
    EXPECT_EQ(anchor("C2.AUTOSHAPE=RECT"),
              "<xdr:oneCellAnchor><xdr:from><xdr:col>2</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>1</xdr:row>"
              "<xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:ext cx=\"1219200\" cy=\"609600\"/>"
              "<xdr:sp macro=\"\" textlink=\"\"><xdr:nvSpPr><xdr:cNvPr id=\"4\" name=\"Shape 4\"/><xdr:cNvSpPr/>"
              "</xdr:nvSpPr><xdr:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"1219200\" cy=\"609600\"/></a:xfrm>"
              "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></xdr:spPr>"
              "<xdr:style><a:lnRef idx=\"2\"><a:schemeClr val=\"accent1\"><a:shade val=\"50000\"/></a:schemeClr>"
              "</a:lnRef><a:fillRef idx=\"1\"><a:schemeClr val=\"accent1\"/></a:fillRef><a:effectRef idx=\"0\">"
              "<a:schemeClr val=\"accent1\"/></a:effectRef><a:fontRef idx=\"minor\"><a:schemeClr val=\"lt1\"/>"
              "</a:fontRef></xdr:style></xdr:sp><xdr:clientData/></xdr:oneCellAnchor>");
}

TEST_F(ShapeAnchor, DressedCalloutWithText) {
    EXPECT_EQ(anchor("A1.AUTOSHAPE=CALLOUT_RECT A1.AUTOSHAPE.OFFSET.X=2 A1.AUTOSHAPE.OFFSET.Y=1.5 "
                     "A1.AUTOSHAPE.WIDTH=100 A1.AUTOSHAPE.HEIGHT=50 A1.AUTOSHAPE.ROTATION=RIGHT90 "
                     "A1.AUTOSHAPE.ROTATION=FLIP_H A1.AUTOSHAPE.ADJUST.X=-20 A1.AUTOSHAPE.ADJUST.Y=62.5 "
                     "A1.AUTOSHAPE.FILL.COLOR=#FFCC00 A1.AUTOSHAPE.FILL.TRANSPARENT=25 A1.AUTOSHAPE.LINE=DASH "
                     "A1.AUTOSHAPE.LINE.COLOR=NAVY A1.AUTOSHAPE.LINE.WIDTH=1.5 A1.AUTOSHAPE.SHADOW=OUTER "
                     "A1.AUTOSHAPE.EFFECT=2 A1.AUTOSHAPE.STYLE=STANDARD_STYLE4 A1.AUTOSHAPE.ACCENT=2 "
                     "A1.AUTOSHAPE.VERSION=2016 A1.AUTOSHAPE.TEXT=\"a<b & c\" A1.AUTOSHAPE.FONT.NAME=Arial "
                     "A1.AUTOSHAPE.FONT.SIZE=14 A1.AUTOSHAPE.FONT.STYLE=BOLD_UNDERLINE A1.AUTOSHAPE.FONT.COLOR=RED "
                     "A1.AUTOSHAPE.ALIGN=TOP_RIGHT A1.AUTOSHAPE.ALIGN.TEXT=ROTATE270"),
              "<xdr:oneCellAnchor><xdr:from><xdr:col>0</xdr:col><xdr:colOff>25400</xdr:colOff><xdr:row>0</xdr:row>"
              "<xdr:rowOff>19050</xdr:rowOff></xdr:from><xdr:ext cx=\"1270000\" cy=\"635000\"/>"
              "<xdr:sp macro=\"\" textlink=\"\"><xdr:nvSpPr><xdr:cNvPr id=\"4\" name=\"Shape 4\"/><xdr:cNvSpPr/>"
              "</xdr:nvSpPr><xdr:spPr><a:xfrm rot=\"5400000\" flipH=\"1\"><a:off x=\"0\" y=\"0\"/>"
              "<a:ext cx=\"1270000\" cy=\"635000\"/></a:xfrm><a:prstGeom prst=\"wedgeRectCallout\"><a:avLst>"
              "<a:gd name=\"adj1\" fmla=\"val -20000\"/><a:gd name=\"adj2\" fmla=\"val 62500\"/></a:avLst></a:prstGeom>"
              "<a:solidFill><a:srgbClr val=\"FFCC00\"><a:alpha val=\"75000\"/></a:srgbClr></a:solidFill>"
              "<a:ln w=\"19050\"><a:solidFill><a:srgbClr val=\"000080\"/></a:solidFill><a:prstDash val=\"dash\"/></a:ln>"
              "<a:effectLst><a:outerShdw blurRad=\"50800\" dist=\"38100\" dir=\"2700000\" sx=\"100000\" sy=\"100000\" "
              "algn=\"ctr\" rotWithShape=\"0\"><a:srgbClr val=\"000000\"><a:alpha val=\"40000\"/></a:srgbClr>"
              "</a:outerShdw><a:softEdge rad=\"25400\"/></a:effectLst></xdr:spPr>"
              "<xdr:style><a:lnRef idx=\"1\"><a:schemeClr val=\"accent2\"/></a:lnRef><a:fillRef idx=\"2\">"
              "<a:schemeClr val=\"accent2\"/></a:fillRef><a:effectRef idx=\"1\"><a:schemeClr val=\"accent2\"/>"
              "</a:effectRef><a:fontRef idx=\"minor\"><a:schemeClr val=\"dk1\"/></a:fontRef></xdr:style>"
              "<xdr:txBody><a:bodyPr vertOverflow=\"clip\" horzOverflow=\"clip\" vert=\"vert270\" wrap=\"square\" "
              "rtlCol=\"0\" anchor=\"t\"/><a:lstStyle/><a:p><a:pPr algn=\"r\"/><a:r><a:rPr lang=\"ja-JP\" "
              "altLang=\"en-US\" sz=\"1400\" b=\"1\" u=\"sng\"><a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill>"
              "<a:latin typeface=\"Arial\"/><a:ea typeface=\"Arial\"/></a:rPr><a:t>a&lt;b &amp; c</a:t></a:r></a:p>"
              "</xdr:txBody></xdr:sp><xdr:clientData/></xdr:oneCellAnchor>");
}

TEST_F(ShapeAnchor, LineWithArrowsRunsToItsEndPoint) {
    EXPECT_EQ(anchor("B3.AUTOSHAPE=LINE B3.AUTOSHAPE.END.OFFSET.X=-50 B3.AUTOSHAPE.END.OFFSET.Y=20 "
                     "B3.AUTOSHAPE.ARROW.START=OVAL B3.AUTOSHAPE.ARROW.END=TRIANGLE B3.AUTOSHAPE.ARROW.END.WIDTH=LARGE "
                     "B3.AUTOSHAPE.ARROW.END.LENGTH=SMALL B3.AUTOSHAPE.TEXT=ignored B3.AUTOSHAPE.FILL.COLOR=RED"),
              "<xdr:oneCellAnchor><xdr:from><xdr:col>1</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>2</xdr:row>"
              "<xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:ext cx=\"635000\" cy=\"254000\"/>"
              "<xdr:cxnSp macro=\"\"><xdr:nvCxnSpPr><xdr:cNvPr id=\"4\" name=\"Line 4\"/><xdr:cNvCxnSpPr/>"
              "</xdr:nvCxnSpPr><xdr:spPr><a:xfrm flipH=\"1\"><a:off x=\"0\" y=\"0\"/><a:ext cx=\"635000\" cy=\"254000\"/>"
              "</a:xfrm><a:prstGeom prst=\"line\"><a:avLst/></a:prstGeom><a:ln><a:headEnd type=\"oval\" w=\"med\" "
              "len=\"med\"/><a:tailEnd type=\"triangle\" w=\"lg\" len=\"sm\"/></a:ln></xdr:spPr>"
              "<xdr:style><a:lnRef idx=\"1\"><a:schemeClr val=\"accent1\"/></a:lnRef><a:fillRef idx=\"0\">"
              "<a:schemeClr val=\"accent1\"/></a:fillRef><a:effectRef idx=\"0\"><a:schemeClr val=\"accent1\"/>"
              "</a:effectRef><a:fontRef idx=\"minor\"><a:schemeClr val=\"tx1\"/></a:fontRef></xdr:style></xdr:cxnSp>"
              "<xdr:clientData/></xdr:oneCellAnchor>");
}

TEST_F(ShapeAnchor, SettingsBecomeTheirElements) {
    struct Case {
        std::string statements, expected;
    } cases[] = {
        {"AUTOSHAPE.FILL=NONE", "<a:noFill/><"},
        {"AUTOSHAPE.LINE=NONE", "<a:ln><a:noFill/></a:ln>"},
        {"AUTOSHAPE.SHADOW=NONE", "<a:effectLst/>"},
        {"AUTOSHAPE.SHADOW=INNER AUTOSHAPE.SHADOW.COLOR=BLUE AUTOSHAPE.SHADOW.DEGREE=180",
         "<a:effectLst><a:innerShdw blurRad=\"50800\" dist=\"38100\" dir=\"10800000\"><a:srgbClr val=\"0000FF\">"
         "<a:alpha val=\"40000\"/></a:srgbClr></a:innerShdw></a:effectLst>"},
        {"AUTOSHAPE.FILL.GRADATION.COLOR1=RED AUTOSHAPE.FILL.GRADATION.DEGREE=45",
         "<a:gradFill rotWithShape=\"1\"><a:gsLst><a:gs pos=\"0\"><a:srgbClr val=\"FF0000\"/></a:gs>"
         "<a:gs pos=\"100000\"><a:schemeClr val=\"lt1\"/></a:gs></a:gsLst><a:lin ang=\"2700000\" scaled=\"0\"/>"
         "</a:gradFill>"},
        {"AUTOSHAPE.FILL.GRADATION.KIND=RECT AUTOSHAPE.FILL.GRADATION.VARIATION=4",
         "<a:gsLst><a:gs pos=\"0\"><a:schemeClr val=\"lt1\"/></a:gs><a:gs pos=\"50000\"><a:schemeClr val=\"accent1\"/>"
         "</a:gs><a:gs pos=\"100000\"><a:schemeClr val=\"lt1\"/></a:gs></a:gsLst><a:path path=\"rect\">"},
        {"AUTOSHAPE.FILL=SINGLE_COLOR AUTOSHAPE.ACCENT=3", "<a:solidFill><a:schemeClr val=\"accent3\"/></a:solidFill>"},
        {"AUTOSHAPE.LINE.TRANSPARENT=50",
         "<a:ln><a:solidFill><a:schemeClr val=\"accent1\"><a:alpha val=\"50000\"/></a:schemeClr></a:solidFill></a:ln>"},
        {"AUTOSHAPE.LINE=SYSDOT", "<a:ln><a:prstDash val=\"sysDot\"/></a:ln>"},
        {"AUTOSHAPE.LINE=LGDASHDOT", "<a:prstDash val=\"lgDashDot\"/>"},
        {"AUTOSHAPE.VERSION=2013", "<a:shade val=\"15000\"/>"},
        {"AUTOSHAPE.STYLE=STANDARD_STYLE6", "<a:lnRef idx=\"0\"><a:schemeClr val=\"accent1\"/></a:lnRef><a:fillRef idx=\"3\">"},
        {"AUTOSHAPE.TYPE=ROUND_RECT AUTOSHAPE.ADJUST.X=10 AUTOSHAPE.ADJUST.Y=20",
         "<a:prstGeom prst=\"roundRect\"><a:avLst><a:gd name=\"adj\" fmla=\"val 10000\"/></a:avLst></a:prstGeom>"},
        {"AUTOSHAPE.TYPE=PENTAGON AUTOSHAPE.ADJUST.X=10", "<a:prstGeom prst=\"pentagon\"><a:avLst/></a:prstGeom>"},
        {"AUTOSHAPE.ROTATION=LEFT90 AUTOSHAPE.ROTATION=FLIP_V", "<a:xfrm rot=\"16200000\" flipV=\"1\">"},
        {"AUTOSHAPE.TEXT=\"one\ntwo\n\"",
         "<a:p><a:pPr algn=\"ctr\"/><a:r><a:rPr lang=\"ja-JP\" altLang=\"en-US\" sz=\"1100\"/><a:t>one</a:t>"
         "</a:r></a:p><a:p><a:pPr algn=\"ctr\"/><a:r><a:rPr lang=\"ja-JP\" altLang=\"en-US\" sz=\"1100\"/>"
         "<a:t>two</a:t></a:r></a:p><a:p><a:pPr algn=\"ctr\"/></a:p></xdr:txBody>"},
    };
    for (const Case &c : cases) {
        store().shape_settings = {};
        std::string statements;
        for (std::size_t start = 0; start < c.statements.size();) {
            std::size_t end = c.statements.find(" AUTOSHAPE", start);
            statements += "E5." + c.statements.substr(start, end - start) + " ";
            start = end == std::string::npos ? end : end + 1;
        }
        const std::string out = anchor(statements + "F6.AUTOSHAPE=\"\"");
        EXPECT_NE(out.find(c.expected), std::string::npos) << c.statements << "\n" << out;
    }
}
