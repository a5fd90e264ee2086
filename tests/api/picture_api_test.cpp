// TXLS_put_image_memory: results and messages, the size measured when the caller gives none,
// and the parts a book with pictures on several sheets saves.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "api/api.h"
#include "common/fixtures.h"
#include "common/picture_headers.h"
#include "common/tiny_jpeg.h"
#include "xlsx_write/package_writer.h"

using namespace tabsmith;
using namespace tabsmith::testing;

namespace {

class PutImage : public SheetTest {
protected:
    int put_image(const char *cell, int type, const std::string &bytes, int width = 0, int height = 0,
                  double ratio = 1.0, const char *link = nullptr) {
        return TXLS_put_image_memory(&book, cell, type, bytes.data(), static_cast<long>(bytes.size()), width, height,
                                     ratio, 0.5, 0.25, link);
    }
    std::vector<DrawingObject> &drawings() { return store().drawings; }
};

}  // namespace

TEST_F(PutImage, ResultsAndMessages) {
    const std::string png = png_header(30, 20);
    struct Case {
        const char *cell;
        int type;
        std::string bytes;
        int rc;
        std::string message;  // "" = not checked
    } cases[] = {
        {"B3", 203, png, 0, ""},
        {"not a cell", 203, png, -3, "TXLS-02300 セル指定値が不正です(\"not a cell\")。"},
        {"A1:B2", 203, png, -3, ""},
        {nullptr, 203, png, -3, ""},
        {"A1", 200, png, -1, "TXLS-03190 イメージファイルがサポート外のファイル形式です(\"TXLS_put_image_memory() picture type=200\")。"},
        {"A1", 208, png, -1, ""},
        {"A1", 102, png, -1, ""},
        // The size must come from the header when the caller gives none.
        {"A1", 202, png, -1, "TXLS-03190 イメージファイルがサポート外のファイル形式です(\"TXLS_put_image_memory() header type=202\")。"},
        {"A1", 203, "", -1, ""},
    };
    for (const Case &c : cases) {
        book.error_code = 77;  // cleared on entry
        EXPECT_EQ(put_image(c.cell, c.type, c.bytes), c.rc) << (c.cell ? c.cell : "null") << " " << c.type;
        EXPECT_EQ(book.error_code, c.rc);
        if (!c.message.empty()) {
            EXPECT_EQ(message(), c.message);
        }
    }
    ASSERT_EQ(drawings().size(), 1u);
    const DrawingObject &object = drawings()[0];
    EXPECT_EQ(object.row, 2);
    EXPECT_EQ(object.column, 1);
    EXPECT_EQ(object.offset_x, 0.5);
    EXPECT_EQ(object.offset_y, 0.25);
    EXPECT_EQ(object.picture->width, 30);
    EXPECT_EQ(object.picture->height, 20);
    EXPECT_EQ(object.picture->bytes, png);
    EXPECT_TRUE(object.link.empty());
    EXPECT_EQ(TXLS_put_image_memory(nullptr, "A1", 203, png.data(), 1, 1, 1, 1, 0, 0, nullptr), -1);
}

TEST_F(PutImage, GivenSizeRatioAndLink) {
    std::string bytes = kTinyJpeg;
    ASSERT_EQ(put_image("C1", 202, bytes, 640, 0, 2.0, "https://example.com/a"), 0);
    // The bytes are copied: the caller may reuse its buffer at once.
    bytes.assign(bytes.size(), 'x');
    ASSERT_EQ(put_image("C2", 207, wmf_placeable(96, 96, 96), 10, 20, 0.0, ""), 0);
    ASSERT_EQ(put_image("Sheet1!C3", 206, "anything: the caller gave the size", 5, 6, -1.0), 0);
    ASSERT_EQ(drawings().size(), 3u);
    EXPECT_EQ(drawings()[0].picture->width, 640);
    EXPECT_EQ(drawings()[0].picture->height, 8);  // measured: the caller gave none
    EXPECT_EQ(drawings()[0].picture->bytes, kTinyJpeg);
    EXPECT_EQ(drawings()[0].ratio, 2.0);
    EXPECT_EQ(drawings()[0].link, "https://example.com/a");
    EXPECT_EQ(drawings()[1].picture->width, 10);
    EXPECT_EQ(drawings()[1].ratio, 1.0);  // no ratio given: its own size
    EXPECT_TRUE(drawings()[1].link.empty());
    EXPECT_EQ(drawings()[2].ratio, 1.0);
}

TEST_F(PutImage, SavedBookHasOneMediaPartPerPictureAndOneDrawingPerSheet) {
    ASSERT_EQ(put_image("A1", 203, png_header(96, 96), 0, 0, 1.0, "#Two!A1"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Two"), 0);
    ASSERT_EQ(put_image("B2", 202, kTinyJpeg), 0);
    ASSERT_EQ(TXLS_open_sheet2(&book, 0), 0);
    ASSERT_EQ(put_image("C3", 204, gif_header(4, 4)), 0);
    std::vector<std::pair<std::string, std::string>> parts;
    ASSERT_EQ(build_package_parts(store(), parts), 0);
    std::vector<std::string> names;
    for (const auto &[name, text] : parts) names.push_back(name);
    for (const char *expected : {"xl/media/image1.png", "xl/media/image2.jpeg", "xl/media/image3.gif",
                                 "xl/drawings/drawing1.xml", "xl/drawings/drawing2.xml",
                                 "xl/drawings/_rels/drawing1.xml.rels", "xl/drawings/_rels/drawing2.xml.rels"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
    EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string &n) { return n.starts_with("xl/media/"); }), 3);
    auto part = [&](const std::string &name) {
        for (const auto &[n, text] : parts)
            if (n == name) return text;
        return std::string();
    };
    const std::string sheet1 = part("xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet1.find("<drawing r:id=\"rId2\"/>"), std::string::npos);
    EXPECT_NE(part("xl/worksheets/_rels/sheet1.xml.rels").find("Target=\"../drawings/drawing1.xml\""), std::string::npos);
    EXPECT_NE(part("xl/drawings/_rels/drawing1.xml.rels").find("Target=\"#Two!A1\"/>"), std::string::npos);
    EXPECT_NE(part("xl/drawings/_rels/drawing1.xml.rels").find("Target=\"../media/image3.gif\""), std::string::npos);
    const std::string types = part("[Content_Types].xml");
    for (const char *entry : {"<Default Extension=\"png\" ContentType=\"image/png\"/>",
                              "<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/>",
                              "<Default Extension=\"gif\" ContentType=\"image/gif\"/>",
                              "/xl/drawings/drawing2.xml"})
        EXPECT_NE(types.find(entry), std::string::npos) << entry;
}
