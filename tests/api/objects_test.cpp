// Hyperlinks and pictures put through the API: the objects recorded, results and messages of
// refused arguments, texts in the book's character set, and the parts a saved book gets.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/fixtures.h"
#include "common/picture_headers.h"
#include "common/tiny_jpeg.h"
#include "model/annotations.h"

using namespace tabsmith;
using namespace tabsmith::testing;

namespace {

class Objects : public SheetTest {
protected:
    const std::vector<Hyperlink> &links() { return store().sheets[0]->annotations.hyperlinks; }
    std::vector<DrawingObject> &drawings() { return store().drawings; }
    int put_image(const char *cell, int type, const std::string &bytes, int width = 0, int height = 0, double ratio = 1.0,
                  const char *link = nullptr) {
        return TXLS_put_image_memory(&book, cell, type, bytes.data(), static_cast<long>(bytes.size()), width, height, ratio,
                                     0.5, 0.25, link);
    }
    // Each call on a book whose error code was left set: the code is cleared on entry.
    void expect(const std::vector<std::tuple<int, std::function<int()>, std::string>> &cases) {
        for (const auto &[rc, call, said] : cases) {
            book.error_code = 77;
            EXPECT_EQ(call(), rc) << said;
            EXPECT_EQ(book.error_code, rc) << said;
            if (said != "-") { EXPECT_EQ(rc == 0 ? "" : message(), said); }
        }
    }
};

}  // namespace

TEST_F(Objects, HyperlinksOnWrittenCellsOfTheCurrentSheet) {
    ASSERT_EQ(TXLS_put_values(&book, "A1=\"to the totals\" A2=mail A3=site B2=x"), 0);
    const std::string cell = "TXLS-02300 セル指定値が不正です(\"", long_name(94, 'n');
    expect({
        {0, [&] { return TXLS_sheet_hyperlink(&book, "A1", "集計", "$C$10"); }, ""},
        {0, [&] { return TXLS_external_hyperlink(&book, "A2", "sales@example.co.jp"); }, ""},
        {0, [&] { return TXLS_external_hyperlink(&book, "A3", "https://example.com/q?x=1&y=\"2\""); }, ""},
        {-3, [&] { return TXLS_external_hyperlink(&book, "B2:C3", "x"); }, cell + "B2:C3\")。"},
        {-3, [&] { return TXLS_external_hyperlink(&book, "C9", "x"); }, cell + "C9\")。"},  // no such cell
        {-3, [&] { return TXLS_sheet_hyperlink(&book, "1B", "S", "A1"); }, "-"},
        {-3, [&] { return TXLS_sheet_hyperlink(&book, "B2", "S", "A0"); }, cell + "A0\")。"},
        {-3, [&] { return TXLS_sheet_hyperlink(&book, "B2", "S", "A*"); }, "-"},
        {-3, [&] { return TXLS_sheet_hyperlink(&book, "B2", "", "A1"); }, "-"},
        {-3, [&] { return TXLS_external_hyperlink(&book, "B2", ""); }, "-"},
        {-3, [&] { return TXLS_external_hyperlink(&book, "B2", nullptr); }, "-"},
        {-909, [&] { return TXLS_sheet_hyperlink(&book, "B2", long_name.c_str(), "A1"); },
         "TXLS-03009 バッファサイズ(\"94\")オーバー(\"tsx_set_hyperlink() XLS_SHEET_LEN\")。"},
        {0, [&] { return TXLS_sheet_hyperlink(&book, "B2", long_name.c_str() + 1, "A1"); }, ""},  // 93 bytes fit
    });
    EXPECT_EQ(TXLS_external_hyperlink(nullptr, "B2", "x"), -3);
    ASSERT_EQ(links().size(), 4u);
    EXPECT_EQ(links()[0].kind, HyperlinkKind::kInBook);
    EXPECT_EQ(links()[0].target_sheet, "集計");
    EXPECT_EQ(links()[0].target_row * 100 + links()[0].target_column, 1003);
    EXPECT_EQ(links()[1].kind, HyperlinkKind::kExternal);
    EXPECT_EQ(links()[1].target, "mailto:sales@example.co.jp");
    EXPECT_EQ(links()[2].target, "https://example.com/q?x=1&y=\"2\"");
}

TEST_F(Objects, PicturesGivenOrMeasured) {
    const std::string png = png_header(30, 20), unsupported = "TXLS-03190 イメージファイルがサポート外のファイル形式です(\"";
    std::string bytes = kTinyJpeg;
    expect({
        {0, [&] { return put_image("B3", 203, png); }, ""},
        {-3, [&] { return put_image("not a cell", 203, png); }, "TXLS-02300 セル指定値が不正です(\"not a cell\")。"},
        {-3, [&] { return put_image("A1:B2", 203, png); }, "-"}, {-3, [&] { return put_image(nullptr, 203, png); }, "-"},
        {-1, [&] { return put_image("A1", 200, png); }, unsupported + "TXLS_put_image_memory() picture type=200\")。"},
        {-1, [&] { return put_image("A1", 208, png); }, "-"}, {-1, [&] { return put_image("A1", 102, png); }, "-"},
        // Without a size from the caller it must come from the header.
        {-1, [&] { return put_image("A1", 202, png); }, unsupported + "TXLS_put_image_memory() header type=202\")。"},
        {-1, [&] { return put_image("A1", 203, ""); }, "-"},
        {0, [&] { return put_image("C1", 202, bytes, 640, 0, 2.0, "https://example.com/a"); }, ""},
        {0, [&] { return put_image("C2", 207, wmf_placeable(96, 96, 96), 10, 20, 0.0, ""); }, ""},
        {0, [&] { return put_image("Sheet1!C3", 206, "anything: the caller gave the size", 5, 6, -1.0); }, ""},
    });
    EXPECT_EQ(TXLS_put_image_memory(nullptr, "A1", 203, png.data(), 1, 1, 1, 1, 0, 0, nullptr), -1);
    bytes.assign(bytes.size(), 'x');  // the bytes were copied: the caller may reuse its buffer at once
    ASSERT_EQ(drawings().size(), 4u);
    const DrawingObject &first = drawings()[0], &jpeg = drawings()[1], &wmf = drawings()[2];
    EXPECT_EQ(std::tuple(first.row, first.column, first.offset_x, first.offset_y, first.picture->width, first.picture->height, first.link),
              std::tuple(2, 1, 0.5, 0.25, 30, 20, std::string()));
    EXPECT_EQ(first.picture->bytes, png);
    // The JPEG's height is measured (the caller gave none); a WMF without a ratio keeps its own size.
    EXPECT_EQ(std::tuple(jpeg.picture->width, jpeg.picture->height, jpeg.picture->bytes, jpeg.ratio, jpeg.link),
              std::tuple(640, 8, std::string(kTinyJpeg), 2.0, std::string("https://example.com/a")));
    EXPECT_EQ(std::tuple(wmf.picture->width, wmf.ratio, wmf.link, drawings()[3].ratio), std::tuple(10, 1.0, std::string(), 1.0));
}
