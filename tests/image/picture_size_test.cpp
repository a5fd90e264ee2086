// Picture sizes from headers: every format with its variants, every truncation of each header,
// and the malformed headers that must give no size rather than a wrong one.

#include <gtest/gtest.h>

#include <string>

#include "common/picture_headers.h"
#include "common/tiny_jpeg.h"
#include "image/file_type.h"
#include "image/picture_size.h"

namespace tabsmith {
namespace {

using namespace testing;

struct Sample {
    const char *what;
    int type;
    std::string bytes;
    int width, height;
};

std::vector<Sample> good_samples() {
    std::string jpeg_with_fill = jpeg_header(33, 44);
    jpeg_with_fill.insert(20, "\xFF\xFF");  // fill bytes before the frame marker
    std::string jpeg_after_tables = jpeg_header(640, 480);
    jpeg_after_tables.insert(20, std::string("\xFF\xDB\x00\x04\x00\x00\xFF\xFE\x00\x02", 10));  // DQT, empty COM
    return {
        {"bmp", kFileTypeBmp, bmp_picture(3, 2), 3, 2},
        {"bmp top-down", kFileTypeBmp, bmp_picture(5, -7), 5, 7},
        {"bmp core header", kFileTypeBmp, std::string("BM\0\0\0\0\0\0\0\0\0\0\0\0\x0C\0\0\0\x10\0\x20\0", 22), 16, 32},
        {"jpeg tiny", kFileTypeJpeg, kTinyJpeg, 8, 8},
        {"jpeg baseline", kFileTypeJpeg, jpeg_header(1024, 768), 1024, 768},
        {"jpeg progressive", kFileTypeJpeg, jpeg_header(300, 200, 0xC2), 300, 200},
        {"jpeg fill bytes", kFileTypeJpeg, jpeg_with_fill, 33, 44},
        {"jpeg after tables", kFileTypeJpeg, jpeg_after_tables, 640, 480},
        {"png", kFileTypePng, png_header(96, 48), 96, 48},
        {"png largest", kFileTypePng, png_header(0x7FFFFFFF, 1), 0x7FFFFFFF, 1},
        {"gif", kFileTypeGif, gif_header(320, 200), 320, 200},
        {"gif87a", kFileTypeGif, std::string("GIF87a\x01\x01\x02\x00", 10), 257, 2},
        {"tiff little-endian short", kFileTypeTiff, tiff_header(17, 19), 17, 19},
        {"tiff little-endian long", kFileTypeTiff, tiff_header(70000, 3, false, true), 70000, 3},
        {"tiff big-endian short", kFileTypeTiff, tiff_header(17, 19, true), 17, 19},
        {"tiff big-endian long", kFileTypeTiff, tiff_header(100000, 5, true, true), 100000, 5},
        // 2540 hundredths of a millimetre are one inch: 96 pixels.
        {"emf frame", kFileTypeEmf, emf_header(2540, 1270), 96, 48},
        {"emf bounds when the frame is empty", kFileTypeEmf, emf_header(0, 0, 199, 99), 200, 100},
        {"wmf placeable 1440 per inch", kFileTypeWmf, wmf_placeable(1440, 720, 1440), 96, 48},
        {"wmf placeable 96 per inch", kFileTypeWmf, wmf_placeable(300, 150, 96), 300, 150},
        {"wmf without placeable header", kFileTypeWmf, wmf_plain(640, 400), 640, 400},
    };
}

TEST(PictureSize, EachFormatGivesItsSize) {
    for (const Sample &s : good_samples()) {
        PictureSize size;
        ASSERT_TRUE(measure_picture(s.type, s.bytes, size)) << s.what;
        EXPECT_EQ(size.width, s.width) << s.what;
        EXPECT_EQ(size.height, s.height) << s.what;
    }
}

TEST(PictureSize, TruncatedHeadersGiveNoSize) {
    // Cut anywhere before the field that gives the size, a header must fail; cut after it, it
    // may still succeed, but never with another size.
    for (const Sample &s : good_samples()) {
        bool measured_before = false;
        for (std::size_t length = 0; length < s.bytes.size(); ++length) {
            // A copy of exactly `length` bytes, so that a read past it is caught by the sanitizer.
            const std::string cut = s.bytes.substr(0, length);
            PictureSize size{-1, -1};
            if (measure_picture(s.type, cut, size)) {
                EXPECT_EQ(size.width, s.width) << s.what << " cut at " << length;
                EXPECT_EQ(size.height, s.height) << s.what << " cut at " << length;
                measured_before = true;
            } else {
                EXPECT_FALSE(measured_before) << s.what << " fails again at " << length;
                EXPECT_EQ(size.width, -1) << "left unchanged";
            }
        }
    }
}

TEST(PictureSize, MalformedHeadersGiveNoSize) {
    std::string png_other_chunk = png_header(5, 5);
    png_other_chunk.replace(12, 4, "IDAT");
    std::string jpeg_scan_first("\xFF\xD8\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00\xFF\xC0\x00\x0B\x08\x00\x08\x00\x08\x01\x01\x11\x00", 25);
    std::string jpeg_short_segment("\xFF\xD8\xFF\xE0\x00\x01\xFF\xC0\x00\x0B\x08\x00\x08\x00\x08\x01\x01\x11\x00", 19);
    std::string jpeg_huge_segment("\xFF\xD8\xFF\xE0\xFF\xFF\x00\x00", 8);
    std::string jpeg_no_marker("\xFF\xD8\x00\xC0\x00\x0B\x08\x00\x08\x00\x08\x01\x01\x11\x00", 15);
    std::string tiff_far_directory = tiff_header(4, 4);
    tiff_far_directory[4] = '\xF0';
    std::string tiff_text_width = tiff_header(4, 4);
    tiff_text_width[8 + 2 + 12 + 2] = 2;  // ImageWidth typed ASCII
    std::string tiff_many_entries = tiff_header(4, 4);
    tiff_many_entries[8] = '\xFF', tiff_many_entries[9] = '\xFF';
    std::string emf_unsigned = emf_header(2540, 2540);
    emf_unsigned[40] = 'X';
    std::string emf_short_record = emf_header(2540, 2540);
    emf_short_record[4] = 40;
    std::string wmf_record_loop = wmf_plain(10, 10);
    wmf_record_loop[18] = 0;  // a record of no words would never advance
    std::string wmf_long_record = wmf_plain(10, 10);
    wmf_long_record[20] = '\x7F';
    struct Case {
        const char *what;
        int type;
        std::string bytes;
    } cases[] = {
        {"not a picture type", kFileTypeXlsx, png_header(5, 5)},
        {"png under a gif type", kFileTypeGif, png_header(5, 5)},
        {"png other first chunk", kFileTypePng, png_other_chunk},
        {"png zero width", kFileTypePng, png_header(0, 5)},
        {"png width past int", kFileTypePng, png_header(0x80000000u, 5)},
        {"gif zero height", kFileTypeGif, gif_header(5, 0)},
        {"gif wrong version", kFileTypeGif, std::string("GIF88a\x05\x00\x05\x00", 10)},
        {"bmp zero width", kFileTypeBmp, bmp_picture(0, 5)},
        {"bmp unknown info header", kFileTypeBmp, std::string("BM\0\0\0\0\0\0\0\0\0\0\0\0\x08\0\0\0\x10\0\0\0\x10\0\0\0", 26)},
        {"jpeg scan before frame", kFileTypeJpeg, jpeg_scan_first},
        {"jpeg segment length 1", kFileTypeJpeg, jpeg_short_segment},
        {"jpeg segment past the end", kFileTypeJpeg, jpeg_huge_segment},
        {"jpeg without marker", kFileTypeJpeg, jpeg_no_marker},
        {"jpeg height from DNL", kFileTypeJpeg, jpeg_header(8, 0)},
        {"jpeg end before frame", kFileTypeJpeg, std::string("\xFF\xD8\xFF\xD9", 4)},
        {"tiff directory past the end", kFileTypeTiff, tiff_far_directory},
        {"tiff width as text", kFileTypeTiff, tiff_text_width},
        {"tiff entries past the end", kFileTypeTiff, tiff_many_entries},
        {"tiff big-endian magic wrong", kFileTypeTiff, std::string("MM\0+\0\0\0\x08", 8)},
        {"emf without signature", kFileTypeEmf, emf_unsigned},
        {"emf header record too short", kFileTypeEmf, emf_short_record},
        {"emf empty frame and bounds", kFileTypeEmf, emf_header(0, 0, -1, -1)},
        {"wmf zero units per inch", kFileTypeWmf, wmf_placeable(100, 100, 0)},
        {"wmf empty box", kFileTypeWmf, wmf_placeable(0, 100, 96)},
        {"wmf record of no words", kFileTypeWmf, wmf_record_loop},
        {"wmf record past the end", kFileTypeWmf, wmf_long_record},
        {"wmf without window extent", kFileTypeWmf, wmf_placeable(0, 0, 96).substr(22)},
    };
    for (const Case &c : cases) {
        PictureSize size;
        EXPECT_FALSE(measure_picture(c.type, c.bytes, size)) << c.what << " " << size.width << "x" << size.height;
    }
}

}  // namespace
}  // namespace tabsmith
