// Pictures placed by statements: IMAGE with its ratio and offsets, sheet backgrounds, the files
// refused and their messages, and one record per file however many cells show it.

#include <gtest/gtest.h>

#include <string>

#include "api/api.h"
#include "common/fixtures.h"
#include "common/picture_headers.h"
#include "common/tiny_jpeg.h"
#include "xlsx_write/object_parts.h"

using namespace tabsmith;
using namespace tabsmith::testing;

namespace {

class PictureStatements : public SheetTest {
protected:
    int put(const std::string &text) { return TXLS_put_values(&book, text.c_str()); }
    std::vector<DrawingObject> &drawings() { return store().drawings; }
    TempFolder folder;
};

}  // namespace

TEST_F(PictureStatements, EveryPictureTypeIsPlacedWithItsSize) {
    struct Case {
        const char *name;
        std::string bytes;
        int type, width, height;
    } cases[] = {
        {"p.bmp", bmp_picture(4, 3), 201, 4, 3},           {"p.JPG", kTinyJpeg, 202, 8, 8},
        {"p.jpeg", jpeg_header(50, 60), 202, 50, 60},      {"p.png", png_header(96, 96), 203, 96, 96},
        {"p.gif", gif_header(7, 9), 204, 7, 9},            {"p.tif", tiff_header(11, 12), 205, 11, 12},
        {"p.tiff", tiff_header(13, 14), 205, 13, 14},      {"p.emf", emf_header(2540, 5080), 206, 96, 192},
        {"p.wmf", wmf_placeable(720, 1440, 1440), 207, 48, 96},
    };
    int row = 1;
    for (const Case &c : cases) {
        const std::string path = folder.write(c.name, c.bytes);
        ASSERT_EQ(put("C" + std::to_string(row) + ".IMAGE=\"" + path + "\""), 0) << c.name << " " << message();
        const DrawingObject &object = drawings().back();
        EXPECT_EQ(object.kind, DrawingKind::kPicture);
        EXPECT_EQ(object.row, row - 1);
        EXPECT_EQ(object.column, 2);
        EXPECT_EQ(object.ratio, 1.0);
        EXPECT_EQ(object.picture->type, c.type) << c.name;
        EXPECT_EQ(object.picture->width, c.width) << c.name;
        EXPECT_EQ(object.picture->height, c.height) << c.name;
        EXPECT_EQ(object.picture->bytes, c.bytes) << c.name;
        ++row;
    }
    EXPECT_EQ(drawings().size(), std::size(cases));
}

TEST_F(PictureStatements, RefusedPicturesAddNothing) {
    const std::string png = folder.write("ok.png", png_header(5, 5));
    const std::string range_message = "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"IMAGE/イメージ\")。";
    const std::string unsupported = "TXLS-03190 イメージファイルがサポート外のファイル形式です(\"";
    const std::string long_name = folder.path() + "/" + std::string(255 - folder.path().size() - 1, 'n');
    struct Case {
        std::string statement;
        std::string message;
    } cases[] = {
        {"A1:B2.IMAGE=" + png, range_message},
        {"A1:A1.IMAGE=" + png, range_message},
        {"A1,C3.IMAGE=" + png, range_message},
        {"A1.IMAGE=" + folder.path() + "/missing.png", "TXLS-03102 イメージファイルオープンエラー(\"" + folder.path() + "/missing.png\")。"},
        {"A1.IMAGE=" + long_name + "x", "TXLS-00005 ファイル名が長すぎます。"},
        {"A1.IMAGE=" + long_name, "TXLS-03102 イメージファイルオープンエラー(\"" + long_name + "\")。"},
        // Known by content and name together: a PNG named .jpg, a PDF, a picture too short to
        // probe, and a header that gives no size.
        {"A1.IMAGE=" + folder.write("png.jpg", png_header(5, 5)), unsupported + folder.path() + "/png.jpg\")。"},
        {"A1.IMAGE=" + folder.write("d.pdf", "%PDF-1.4 ................"), unsupported + folder.path() + "/d.pdf\")。"},
        {"A1.IMAGE=" + folder.write("short.gif", "GIF89a"), unsupported + folder.path() + "/short.gif\")。"},
        {"A1.IMAGE=" + folder.write("zero.png", png_header(0, 5)), unsupported + folder.path() + "/zero.png\")。"},
        {"A1.IMAGE=" + folder.write("cut.jpg", jpeg_header(5, 5).substr(0, 24)), unsupported + folder.path() + "/cut.jpg\")。"},
        {"A1.IMAGE=" + folder.path(), "TXLS-03102 イメージファイルオープンエラー(\"" + folder.path() + "\")。"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(put(c.statement), -3) << c.statement;
        EXPECT_EQ(message(), c.message) << c.statement;
    }
    EXPECT_TRUE(drawings().empty());
    EXPECT_TRUE(store().picture_files.empty());
}

TEST_F(PictureStatements, OneFileOnManyCellsIsOneRecordAndOneMediaPart) {
    const std::string logo = folder.write("logo.png", png_header(40, 20));
    const std::string other = folder.write("other.gif", gif_header(1, 1));
    std::string statements;
    for (int row = 1; row <= 200; ++row) statements += "A" + std::to_string(row) + ".IMAGE=" + logo + " ";
    statements += "B1.IMAGE=" + other;
    ASSERT_EQ(put(statements), 0) << message();
    ASSERT_EQ(drawings().size(), 201u);
    for (const DrawingObject &object : drawings())
        if (object.column == 0) {
            EXPECT_EQ(object.picture.get(), drawings().front().picture.get());
        }
    EXPECT_NE(drawings().back().picture.get(), drawings().front().picture.get());
    EXPECT_EQ(drawings().front().picture.use_count(), 200);
    EXPECT_EQ(plan_object_parts(store()).media.size(), 2u);

    // Once no cell shows a file, its record goes, and a later statement reads the file again.
    drawings().clear();
    folder.write("logo.png", png_header(41, 21));
    ASSERT_EQ(put("A1.IMAGE=" + logo), 0);
    EXPECT_EQ(drawings().front().picture->width, 41);
    EXPECT_EQ(store().picture_files.size(), 1u);
}

TEST_F(PictureStatements, RatioAndOffsetsSetThePictureOfTheCell) {
    const std::string png = folder.write("p.png", png_header(5, 5));
    ASSERT_EQ(put("B2.IMAGE=" + png + " B2.IMAGE.RATIO=0.5 B2.IMAGE.OFFSET.X=1.25 B2.IMAGE.OFFSET.Y=-2"), 0);
    const DrawingObject &first = drawings()[0];
    EXPECT_EQ(first.ratio, 0.5);
    EXPECT_EQ(first.offset_x, 1.25);
    EXPECT_EQ(first.offset_y, -2.0);
    // A second picture at the cell takes the later statements; a cell without one ignores them.
    ASSERT_EQ(put("B2.IMAGE=" + png + " B2.IMAGE.RATIO=3 C3.IMAGE.RATIO=7 Sheet1!B2.IMAGE.OFFSET.X=4x"), 0);
    EXPECT_EQ(drawings()[0].ratio, 0.5);
    EXPECT_EQ(drawings()[1].ratio, 3.0);
    EXPECT_EQ(drawings()[1].offset_x, 4.0);
    ASSERT_EQ(put("B2.IMAGE.RATIO=abc"), 0);
    EXPECT_EQ(drawings()[1].ratio, 0.0);
    // On a range, every picture anchored inside it.
    ASSERT_EQ(put("A1:C3.IMAGE.OFFSET.Y=9"), 0);
    EXPECT_EQ(drawings()[0].offset_y, 9.0);
    EXPECT_EQ(drawings()[1].offset_y, 9.0);
    EXPECT_EQ(drawings().size(), 2u);
}

TEST_F(PictureStatements, SheetPrefixPlacesOnThatSheet) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Two"), 0);
    const std::string png = folder.write("p.png", png_header(5, 5));
    ASSERT_EQ(put("Sheet1!D4.IMAGE=" + png + " E5.IMAGE=" + png), 0) << message();
    EXPECT_EQ(drawings()[0].sheet, 0);
    EXPECT_EQ(drawings()[0].row, 3);
    EXPECT_EQ(drawings()[1].sheet, 1);
}

TEST_F(PictureStatements, BackgroundReplacesTheSheetsEarlierOne) {
    const std::string png = folder.write("bg.png", png_header(64, 64));
    const std::string jpeg = folder.write("bg.jpg", kTinyJpeg);
    const std::string unsupported = "TXLS-03190 イメージファイルがサポート外のファイル形式です(\"";
    ASSERT_EQ(put("SHEET.BACKGROUND.PATH=" + png), 0) << message();
    ASSERT_EQ(put("SHEET.BACKGROUND.PATH=" + jpeg), 0) << message();
    ASSERT_EQ(drawings().size(), 1u);
    EXPECT_EQ(drawings()[0].kind, DrawingKind::kBackground);
    EXPECT_EQ(drawings()[0].picture->type, 202);
    EXPECT_EQ(store().current()->settings.background_type, 202);
    // Only JPEG, PNG, GIF and TIFF make a background; a refused one keeps the earlier.
    for (auto [name, bytes] : {std::pair{"b.bmp", bmp_picture(2, 2)}, std::pair{"b.emf", emf_header(100, 100)},
                               std::pair{"b.wmf", wmf_placeable(96, 96, 96)}}) {
        const std::string path = folder.write(name, bytes);
        EXPECT_EQ(put("SHEET.BACKGROUND.PATH=" + path), -3) << name;
        EXPECT_EQ(message(), unsupported + path + "\")。");
    }
    // A file already placed at a cell is not read again, and still refused as a background.
    const std::string bmp = folder.write("cell.bmp", bmp_picture(2, 2));
    ASSERT_EQ(put("A1.IMAGE=" + bmp), 0);
    EXPECT_EQ(put("SHEET.BACKGROUND.PATH=" + bmp), -3);
    EXPECT_EQ(message(), unsupported + bmp + "\")。");
    ASSERT_EQ(drawings().size(), 2u);
    EXPECT_EQ(drawings()[0].picture->type, 202);

    // A background alone is no drawing part.
    drawings().erase(drawings().begin() + 1);
    ObjectParts parts = plan_object_parts(store());
    EXPECT_EQ(parts.drawing_parts, 0);
    EXPECT_EQ(parts.sheets[0].background_media, 1);
}
