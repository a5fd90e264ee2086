// The drawing part and its relationships: the golden part holds linked pictures, a chart frame and
// shapes of each form and setting; picture units, part numbers and backgrounds as facts.

#include <gtest/gtest.h>

#include <memory>

#include "api/book_init.h"
#include "common/fixtures.h"
#include "support/results.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/drawing_part.h"
#include "common/golden.h"
#include "xlsx_write/object_parts.h"
#include "xlsx_write/worksheet_part.h"

using namespace tabsmith;
using tabsmith::testing::has;

namespace {

const std::string kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::shared_ptr<PictureData> picture(int type, int width, int height) {
    auto data = std::make_shared<PictureData>();
    data->type = type;
    data->width = width;
    data->height = height;
    data->bytes = "bytes";
    return data;
}

class DrawingPart : public tabsmith::testing::SheetTest {
protected:
    DrawingObject &place(int sheet, int row, int column, std::shared_ptr<const PictureData> data,
                         DrawingKind kind = DrawingKind::kPicture) {
        DrawingObject &object = store().drawings.emplace_back();
        object.kind = kind;
        object.sheet = sheet;
        object.row = row;
        object.column = column;
        object.picture = std::move(data);
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

// Offsets and ratios truncate toward zero; past every coordinate they stop at the largest one.
TEST_F(DrawingPart, PictureUnits) {
    const struct {
        double offset_x, offset_y, ratio;
        int width, height;
        std::string column_offset, row_offset, x, y, cx, cy;
    } cases[] = {
        {1.0, 0.0, 1.0, 96, 96, "189750", "0", "27749", "0", "915090", "915090"},
        {0.0, 2.5, 0.5, 200, 100, "0", "474375", "0", "69373", "953219", "476609"},
        {-1.0, -0.5, 2.0, 1, 3, "-189750", "-94875", "-27749", "-13874", "19064", "57193"},
        {1e12, 0.0, 1e12, 96, 0, "2147483647", "0", "314051425", "0", "2147483647", "0"},
    };
    for (const auto &c : cases) {
        store().drawings.clear();
        DrawingObject &object = place(0, 0, 0, picture(202, c.width, c.height));
        object.offset_x = c.offset_x;
        object.offset_y = c.offset_y;
        object.ratio = c.ratio;
        const std::string text = drawing(0);
        EXPECT_TRUE(has(text, "<xdr:colOff>" + c.column_offset + "</xdr:colOff><xdr:row>0</xdr:row><xdr:rowOff>" + c.row_offset +
                                  "</xdr:rowOff></xdr:from><xdr:ext cx=\"" + c.cx + "\" cy=\"" + c.cy + "\"/>"));
        EXPECT_TRUE(has(text, "<a:off x=\"" + c.x + "\" y=\"" + c.y + "\"/><a:ext cx=\"0\" cy=\"0\"/>"));
    }
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
    PackageInventory inventory;
    for (const char *extension : {"png", "jpeg", "gif", "bmp", "tiff", "emf", "wmf", "png"}) inventory.add_image_extension(extension);
    EXPECT_EQ(inventory.image_extensions,
              R"(<Default Extension="png" ContentType="image/png"/><Default Extension="jpeg" ContentType="image/jpeg"/>)"
              R"(<Default Extension="gif" ContentType="image/gif"/><Default Extension="bmp" ContentType="image/bmp"/>)"
              R"(<Default Extension="tiff" ContentType="image/tiff"/><Default Extension="emf" ContentType="image/x-emf"/>)"
              R"(<Default Extension="wmf" ContentType="image/x-wmf"/>)");
}
