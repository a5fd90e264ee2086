// Golden texts of the drawing parts and their relationships: picture anchors with their drawing
// units, click links, the part numbers of a save, and the worksheet's references to them.

#include <gtest/gtest.h>

#include <memory>

#include "api/book_init.h"
#include "model/book.h"
#include "support/results.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/drawing_part.h"
#include "xlsx_write/object_parts.h"
#include "xlsx_write/worksheet_part.h"

using namespace tabsmith;

namespace {

const std::string kDrawingHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\">";
const std::string kRelsHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
const std::string kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// The picture anchor as the drawing part must hold it.
std::string anchor(int column, long column_offset, int row, long row_offset, long cx, long cy, const std::string &id,
                   int embed, long x, long y) {
    return "<xdr:oneCellAnchor><xdr:from><xdr:col>" + std::to_string(column) + "</xdr:col><xdr:colOff>" +
           std::to_string(column_offset) + "</xdr:colOff><xdr:row>" + std::to_string(row) + "</xdr:row><xdr:rowOff>" +
           std::to_string(row_offset) + "</xdr:rowOff></xdr:from><xdr:ext cx=\"" + std::to_string(cx) + "\" cy=\"" +
           std::to_string(cy) + "\"/><xdr:pic><xdr:nvPicPr>" + id +
           "<xdr:cNvPicPr preferRelativeResize=\"0\"><a:picLocks/></xdr:cNvPicPr></xdr:nvPicPr><xdr:blipFill>"
           "<a:blip xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" r:embed=\"rId" +
           std::to_string(embed) +
           "\" cstate=\"print\"/><a:stretch><a:fillRect/></a:stretch></xdr:blipFill><xdr:spPr><a:xfrm><a:off x=\"" +
           std::to_string(x) + "\" y=\"" + std::to_string(y) +
           "\"/><a:ext cx=\"0\" cy=\"0\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></xdr:spPr>"
           "</xdr:pic><xdr:clientData/></xdr:oneCellAnchor>";
}

std::string plain_id(int number) {
    return "<xdr:cNvPr id=\"" + std::to_string(number) + "\" name=\"Picture " + std::to_string(number) + "\"/>";
}

std::shared_ptr<PictureData> picture(int type, int width, int height) {
    auto data = std::make_shared<PictureData>();
    data->type = type;
    data->width = width;
    data->height = height;
    data->bytes = "bytes";
    return data;
}

DrawingObject placed(int sheet, int row, int column, std::shared_ptr<const PictureData> data,
                     DrawingKind kind = DrawingKind::kPicture) {
    DrawingObject object;
    object.kind = kind;
    object.sheet = sheet;
    object.row = row;
    object.column = column;
    object.picture = std::move(data);
    return object;
}

class DrawingPartTest : public ::testing::Test {
protected:
    void SetUp() override {
        add_sheet(book, "One");
        add_sheet(book, "Two");
    }
    std::string drawing(int sheet) {
        std::string out;
        EXPECT_EQ(drawing_part(book, sheet, plan_object_parts(book), out), kOk);
        return out;
    }
    Book book;
};

}  // namespace

TEST_F(DrawingPartTest, OneInchPictureAtRatioOneIs915090Units) {
    book.drawings.push_back(placed(0, 2, 1, picture(203, 96, 96)));
    EXPECT_EQ(drawing(0), kDrawingHead + anchor(1, 0, 2, 0, 915090, 915090, plain_id(1), 1, 0, 0) + "</xdr:wsDr>");
    EXPECT_EQ(drawing_rels_part(book, 0, plan_object_parts(book)),
              kRelsHead + "<Relationship Id=\"rId1\" Type=\"" + kRelType +
                  "image\" Target=\"../media/image1.png\"/></Relationships>");
}

TEST_F(DrawingPartTest, OffsetsAndRatioTruncateTowardZero) {
    struct Case {
        double offset_x, offset_y, ratio;
        int width, height;
        long column_offset, row_offset, x, y, cx, cy;
    } cases[] = {
        {1.0, 0.0, 1.0, 96, 96, 189750, 0, 27749, 0, 915090, 915090},
        {0.0, 2.5, 0.5, 200, 100, 0, 474375, 0, 69373, 953219, 476609},
        {-1.0, -0.5, 2.0, 1, 3, -189750, -94875, -27749, -13874, 19064, 57193},
        // A ratio or offset past every coordinate stops at the largest one rather than wrapping.
        {1e12, 0.0, 1e12, 96, 0, 2147483647, 0, 314051425, 0, 2147483647, 0},
    };
    for (const Case &c : cases) {
        book.drawings.clear();
        DrawingObject object = placed(1, 0, 0, picture(202, c.width, c.height));
        object.offset_x = c.offset_x;
        object.offset_y = c.offset_y;
        object.ratio = c.ratio;
        book.drawings.push_back(std::move(object));
        EXPECT_EQ(drawing(1), kDrawingHead +
                                  anchor(0, c.column_offset, 0, c.row_offset, c.cx, c.cy, plain_id(1), 1, c.x, c.y) +
                                  "</xdr:wsDr>")
            << c.offset_x << " " << c.offset_y << " " << c.ratio;
    }
}

TEST_F(DrawingPartTest, ClickLinksTakeTheirOwnRelationshipNumbers) {
    auto logo = picture(203, 96, 96);
    DrawingObject linked = placed(0, 0, 0, logo);
    linked.link = "https://example.com/?a=1&b=2";
    DrawingObject inside = placed(0, 4, 0, logo);
    inside.link = "#'Two'!B3";
    book.drawings.push_back(std::move(linked));
    book.drawings.push_back(placed(0, 2, 0, logo));
    book.drawings.push_back(std::move(inside));
    const std::string xmlns_r = "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    EXPECT_EQ(drawing(0),
              kDrawingHead +
                  anchor(0, 0, 0, 0, 915090, 915090,
                         "<xdr:cNvPr id=\"1\" name=\"Picture 1\"><a:hlinkClick r:id=\"rId2\" " + xmlns_r +
                             "/></xdr:cNvPr>",
                         1, 0, 0) +
                  anchor(0, 0, 2, 0, 915090, 915090, plain_id(3), 3, 0, 0) +
                  anchor(0, 0, 4, 0, 915090, 915090,
                         "<xdr:cNvPr id=\"4\" name=\"Picture 4\"><a:hlinkClick r:id=\"rId5\" " + xmlns_r +
                             "/></xdr:cNvPr>",
                         4, 0, 0) +
                  "</xdr:wsDr>");
    // One media part for the three anchors; every r:embed and link id has its relationship.
    EXPECT_EQ(drawing_rels_part(book, 0, plan_object_parts(book)),
              kRelsHead + "<Relationship Id=\"rId1\" Type=\"" + kRelType + "image\" Target=\"../media/image1.png\"/>" +
                  "<Relationship Id=\"rId2\" Type=\"" + kRelType +
                  "hyperlink\" Target=\"https://example.com/?a=1&amp;b=2\" TargetMode=\"External\"/>" +
                  "<Relationship Id=\"rId3\" Type=\"" + kRelType + "image\" Target=\"../media/image1.png\"/>" +
                  "<Relationship Id=\"rId4\" Type=\"" + kRelType + "image\" Target=\"../media/image1.png\"/>" +
                  "<Relationship Id=\"rId5\" Type=\"" + kRelType + "hyperlink\" Target=\"#&apos;Two&apos;!B3\"/>" +
                  "</Relationships>");
    EXPECT_EQ(plan_object_parts(book).media.size(), 1u);
}

TEST_F(DrawingPartTest, PartNumbersFollowObjectsAndSheets) {
    // Two pictures on the second sheet, one on the first: media in object order, drawings in
    // sheet order.
    book.drawings.push_back(placed(1, 0, 0, picture(202, 10, 10)));
    book.drawings.push_back(placed(0, 0, 0, picture(204, 10, 10)));
    book.drawings.push_back(placed(1, 5, 0, picture(206, 10, 10)));
    ObjectParts parts = plan_object_parts(book);
    ASSERT_EQ(parts.media.size(), 3u);
    EXPECT_EQ(media_part_name(parts.media[0]), "xl/media/image1.jpeg");
    EXPECT_EQ(media_part_name(parts.media[1]), "xl/media/image2.gif");
    EXPECT_EQ(media_part_name(parts.media[2]), "xl/media/image3.emf");
    EXPECT_EQ(parts.drawing_parts, 2);
    EXPECT_EQ(parts.sheets[0].drawing, 1);
    EXPECT_EQ(parts.sheets[1].drawing, 2);
    EXPECT_EQ(drawing_rels_part(book, 1, parts),
              kRelsHead + "<Relationship Id=\"rId1\" Type=\"" + kRelType + "image\" Target=\"../media/image1.jpeg\"/>" +
                  "<Relationship Id=\"rId2\" Type=\"" + kRelType + "image\" Target=\"../media/image3.emf\"/>" +
                  "</Relationships>");
    EXPECT_EQ(write_worksheet_rels(book, 1, parts),
              kRelsHead + "<Relationship Id=\"rId1\" Type=\"" + kRelType +
                  "printerSettings\" Target=\"../printerSettings/printerSettings2.bin\"/>" +
                  "<Relationship Id=\"rId2\" Type=\"" + kRelType + "drawing\" Target=\"../drawings/drawing2.xml\"/>" +
                  "</Relationships>");
}

TEST_F(DrawingPartTest, BackgroundIsASheetRelationshipAndNoDrawing) {
    book.drawings.push_back(placed(1, 0, 0, picture(203, 4, 4), DrawingKind::kBackground));
    ObjectParts parts = plan_object_parts(book);
    EXPECT_EQ(parts.drawing_parts, 0);
    EXPECT_EQ(parts.sheets[1].background_media, 1);
    EXPECT_EQ(write_worksheet_rels(book, 1, parts),
              kRelsHead + "<Relationship Id=\"rId1\" Type=\"" + kRelType +
                  "printerSettings\" Target=\"../printerSettings/printerSettings2.bin\"/>" +
                  "<Relationship Id=\"rId2\" Type=\"" + kRelType + "image\" Target=\"../media/image1.png\" />" +
                  "</Relationships>");
    std::string sheet;
    ASSERT_EQ(tsx_write_worksheet(book, 1, sheet), kOk);
    EXPECT_NE(sheet.find("<picture r:id=\"rId2\" /></worksheet>"), std::string::npos);
    EXPECT_EQ(sheet.find("<drawing "), std::string::npos);

    // With a picture too, the background comes first and the drawing after it.
    book.drawings.push_back(placed(1, 0, 0, picture(203, 4, 4)));
    parts = plan_object_parts(book);
    EXPECT_EQ(write_worksheet_rels(book, 1, parts),
              kRelsHead + "<Relationship Id=\"rId1\" Type=\"" + kRelType +
                  "printerSettings\" Target=\"../printerSettings/printerSettings2.bin\"/>" +
                  "<Relationship Id=\"rId2\" Type=\"" + kRelType + "image\" Target=\"../media/image1.png\" />" +
                  "<Relationship Id=\"rId3\" Type=\"" + kRelType + "drawing\" Target=\"../drawings/drawing1.xml\"/>" +
                  "</Relationships>");
    sheet.clear();
    ASSERT_EQ(tsx_write_worksheet(book, 1, sheet), kOk);
    EXPECT_NE(sheet.find("<drawing r:id=\"rId3\"/><picture r:id=\"rId2\" /></worksheet>"), std::string::npos);
}

TEST_F(DrawingPartTest, PictureOfUnknownTypeStopsTheDrawing) {
    book.drawings.push_back(placed(0, 0, 0, picture(203, 1, 1)));
    book.drawings.push_back(placed(0, 0, 0, picture(102, 1, 1)));
    std::string out;
    EXPECT_EQ(drawing_part(book, 0, plan_object_parts(book), out), kFail);
    EXPECT_EQ(book.err.code(), kFail);
    EXPECT_NE(book.err.message_utf8().find("book->draw[1].image->type=102"), std::string::npos) << book.err.message_utf8();
}

TEST(ContentTypes, EachPictureExtensionHasItsMediaType) {
    PackageInventory inventory;
    for (const char *extension : {"png", "jpeg", "gif", "bmp", "tiff", "emf", "wmf", "png"})
        inventory.add_image_extension(extension);
    EXPECT_EQ(inventory.image_extensions,
              "<Default Extension=\"png\" ContentType=\"image/png\"/>"
              "<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>"
              "<Default Extension=\"gif\" ContentType=\"image/gif\"/>"
              "<Default Extension=\"bmp\" ContentType=\"image/bmp\"/>"
              "<Default Extension=\"tiff\" ContentType=\"image/tiff\"/>"
              "<Default Extension=\"emf\" ContentType=\"image/x-emf\"/>"
              "<Default Extension=\"wmf\" ContentType=\"image/x-wmf\"/>");
}
