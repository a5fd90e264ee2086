// Pictures: the file-type probe (signatures, extensions, encrypted packages; disk, memory, bytes),
// the size from every header and its variants (broken ones give none), loading a file once.

#include <gtest/gtest.h>

#include "common/compound_builder.h"
#include "common/fixtures.h"
#include "common/picture_headers.h"
#include "common/tiny_jpeg.h"
#include "image/file_type.h"
#include "image/picture_file.h"
#include "image/picture_size.h"
#include "support/mfile.h"

namespace tabsmith {
namespace {

using namespace testing;

// `bytes` with `with` written over it at `at`.
std::string edited(std::string bytes, std::size_t at, std::string_view with) { return bytes.replace(at, with.size(), with), bytes; }

std::string padded(std::string head) { return head.resize(64, 'x'), head; }
std::string compound_with(std::vector<testing::CompoundLayout::Entry> entries) {
    return testing::build_compound({9, std::move(entries)}).bytes;
}
std::pair<int, int> probe(int mode, const char *source) {
    int type = 99, rc = orv_file_type(mode, source, &type);
    return {rc, type};
}

TEST(PictureSize, EachFormatGivesItsSizeOrNone) {
    const std::tuple<const char *, int, std::string, int, int> cases[] = {  // 0 x 0: no size
        {"bmp", kFileTypeBmp, bmp_picture(3, 2), 3, 2}, {"bmp top-down", kFileTypeBmp, bmp_picture(5, -7), 5, 7},
        {"bmp core header", kFileTypeBmp, std::string("BM\0\0\0\0\0\0\0\0\0\0\0\0\x0C\0\0\0\x10\0\x20\0", 22), 16, 32},
        {"jpeg tiny", kFileTypeJpeg, kTinyJpeg, 8, 8}, {"jpeg baseline", kFileTypeJpeg, jpeg_header(1024, 768), 1024, 768},
        {"jpeg progressive", kFileTypeJpeg, jpeg_header(300, 200, 0xC2), 300, 200},
        {"jpeg fill bytes before the frame", kFileTypeJpeg, jpeg_header(33, 44).insert(20, "\xFF\xFF"), 33, 44},
        {"jpeg after DQT and an empty COM", kFileTypeJpeg,
         jpeg_header(640, 480).insert(20, std::string("\xFF\xDB\x00\x04\x00\x00\xFF\xFE\x00\x02", 10)), 640, 480},
        {"png", kFileTypePng, png_header(96, 48), 96, 48}, {"png largest", kFileTypePng, png_header(0x7FFFFFFF, 1), 0x7FFFFFFF, 1},
        {"gif", kFileTypeGif, gif_header(320, 200), 320, 200}, {"gif87a", kFileTypeGif, std::string("GIF87a\x01\x01\x02\x00", 10), 257, 2},
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
        {"not a picture type", kFileTypeXlsx, png_header(5, 5), 0, 0}, {"png under a gif type", kFileTypeGif, png_header(5, 5), 0, 0},
        {"png other first chunk", kFileTypePng, edited(png_header(5, 5), 12, "IDAT"), 0, 0},
        {"png zero width", kFileTypePng, png_header(0, 5), 0, 0}, {"png width past int", kFileTypePng, png_header(0x80000000u, 5), 0, 0},
        {"gif zero height", kFileTypeGif, gif_header(5, 0), 0, 0},
        {"gif wrong version", kFileTypeGif, std::string("GIF88a\x05\x00\x05\x00", 10), 0, 0},
        {"bmp zero width", kFileTypeBmp, bmp_picture(0, 5), 0, 0},
        {"bmp unknown info header", kFileTypeBmp, std::string("BM\0\0\0\0\0\0\0\0\0\0\0\0\x08\0\0\0\x10\0\0\0\x10\0\0\0", 26), 0, 0},
        {"jpeg scan before frame", kFileTypeJpeg,
         std::string("\xFF\xD8\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00\xFF\xC0\x00\x0B\x08\x00\x08\x00\x08\x01\x01\x11\x00", 25), 0, 0},
        {"jpeg segment length 1", kFileTypeJpeg,
         std::string("\xFF\xD8\xFF\xE0\x00\x01\xFF\xC0\x00\x0B\x08\x00\x08\x00\x08\x01\x01\x11\x00", 19), 0, 0},
        {"jpeg segment past the end", kFileTypeJpeg, std::string("\xFF\xD8\xFF\xE0\xFF\xFF\x00\x00", 8), 0, 0},
        {"jpeg without marker", kFileTypeJpeg, std::string("\xFF\xD8\x00\xC0\x00\x0B\x08\x00\x08\x00\x08\x01\x01\x11\x00", 15), 0, 0},
        {"jpeg height from DNL", kFileTypeJpeg, jpeg_header(8, 0), 0, 0},
        {"jpeg end before frame", kFileTypeJpeg, std::string("\xFF\xD8\xFF\xD9", 4), 0, 0},
        {"tiff directory past the end", kFileTypeTiff, edited(tiff_header(4, 4), 4, "\xF0"), 0, 0},
        {"tiff width typed ASCII", kFileTypeTiff, edited(tiff_header(4, 4), 24, "\x02"), 0, 0},
        {"tiff entries past the end", kFileTypeTiff, edited(tiff_header(4, 4), 8, "\xFF\xFF"), 0, 0},
        {"tiff big-endian magic wrong", kFileTypeTiff, std::string("MM\0+\0\0\0\x08", 8), 0, 0},
        {"emf without signature", kFileTypeEmf, edited(emf_header(2540, 2540), 40, "X"), 0, 0},
        {"emf header record too short", kFileTypeEmf, edited(emf_header(2540, 2540), 4, "\x28"), 0, 0},
        {"emf empty frame and bounds", kFileTypeEmf, emf_header(0, 0, -1, -1), 0, 0},
        {"wmf zero units per inch", kFileTypeWmf, wmf_placeable(100, 100, 0), 0, 0},
        {"wmf empty box", kFileTypeWmf, wmf_placeable(0, 100, 96), 0, 0},
        {"wmf record of no words", kFileTypeWmf, edited(wmf_plain(10, 10), 18, std::string(1, '\0')), 0, 0},  // never advances
        {"wmf record past the end", kFileTypeWmf, edited(wmf_plain(10, 10), 20, "\x7F"), 0, 0},
        {"wmf without window extent", kFileTypeWmf, wmf_placeable(0, 0, 96).substr(22), 0, 0},
    };
    for (const auto &[what, type, bytes, width, height] : cases) {
        PictureSize size{-1, -1};
        EXPECT_EQ(measure_picture(type, bytes, size), width > 0) << what;
        if (width > 0) {
            EXPECT_EQ(std::pair(size.width, size.height), std::pair(width, height)) << what;
        }
        // Cut before the field that gives the size, a header fails and leaves the size alone; cut
        // after it, it may still succeed, but never with another size. Each cut is a copy of
        // exactly that length, so that a read past it shows under the sanitizer.
        bool measured = false;
        for (std::size_t length = 0; width > 0 && length < bytes.size(); ++length) {
            PictureSize part{-1, -1};
            if (measure_picture(type, bytes.substr(0, length), part)) {
                EXPECT_EQ(std::pair(part.width, part.height), std::pair(width, height)) << what << " cut at " << length;
                measured = true;
            } else {
                EXPECT_TRUE(!measured && part.width == -1) << what << " fails again at " << length;
            }
        }
    }
}

TEST(FileType, DiskAndMemoryFilesByContentAndNameAndBytesBySignatureAlone) {
    const std::string zip = padded(std::string("PK\x03\x04\x14\0\x06\0", 8)), jpeg = padded("\xFF\xD8\xFF\xE0");
    const std::string png = padded("\x89PNG\r\n\x1A\n"), compound = compound_with({{u"Workbook", std::string(5000, 'w')}});
    const std::string encrypted = compound_with({{u"EncryptionInfo", std::string(200, 'i')}, {u"EncryptedPackage", std::string(6000, 'e')}});
    constexpr int kDisk = kProbePath, kMemory = kProbeMemoryFile, kBytes = kProbeBytes;
    const std::tuple<int, const char *, std::string, int, int> cases[] = {
        {kDisk, "report.xlsx", zip, 0, kFileTypeXlsx}, {kDisk, "report.zip", zip, 0, kFileTypeZip},
        {kDisk, "report.docx", zip, 0, kFileTypeDocx}, {kDisk, "REPORT.XLSX", zip, 0, kFileTypeXlsx},
        {kDisk, "report.xlsm", zip, 0, kFileTypeXlsm}, {kDisk, "report.Xlsb", zip, 0, kFileTypeXlsb},
        {kDisk, "deck.pptm", zip, 0, kFileTypePptm}, {kDisk, "report.txt", zip, 0, -1},
        {kDisk, "xlsx", zip, 0, -1},             // the whole name is no extension
        {kDisk, "report.bxlsx", zip, 0, -1},     // nor is a longer one that ends the same
        {kDisk, "sixteen.xlsx", zip.substr(0, 16), 0, kFileTypeXlsx}, {kDisk, "fifteen.xlsx", zip.substr(0, 15), 0, -1},
        {kDisk, "book.xls", compound, 0, kFileTypeXls},
        {kDisk, "book.XLS", encrypted, 0, kFileTypeXls},  // the .xls entry comes first and needs nothing more
        {kDisk, "book.xlsx", encrypted, 0, kFileTypeXlsxEncrypted}, {kDisk, "book.docx", encrypted, 0, kFileTypeDocxEncrypted},
        {kDisk, "book.pptx", encrypted, 0, kFileTypePptxEncrypted},
        {kDisk, "book.xlsx", compound_with({{u"encryptedpackage", std::string(100, 'e')}}), 0, kFileTypeXlsxEncrypted},
        {kDisk, "book.xlsx", compound, kFail, -1},
        {kDisk, "book.xlsx", compound_with({{u"EncryptedPackage", "", 0, true}}), kFail, -1},  // a storage
        {kDisk, "book.xlsx", compound_with({{u"Storage", "", 0, true}, {u"EncryptedPackage", std::string(100, 'e'), 1}}), kFail, -1},
        {kDisk, "book.xlsx", compound.substr(0, 600), kFail, -1},  // no readable compound file
        {kDisk, "book.doc", compound, 0, kFileTypeDoc}, {kDisk, "plan.mpp", compound, 0, kFileTypeMpp},
        {kDisk, "photo.JPG", jpeg, 0, kFileTypeJpeg}, {kDisk, "photo.jpeg", jpeg, 0, kFileTypeJpeg},
        {kDisk, "photo.png", jpeg, 0, -1}, {kDisk, "photo.png", png, 0, kFileTypePng},
        {kDisk, "scan.tif", padded(std::string("MM\0*", 4)), 0, -1},
        {kDisk, "scan.tif", padded(std::string("II*\0", 4)), 0, kFileTypeTiff},
        {kDisk, "clip.emf", padded(std::string("\x01\0\0\0", 4)), 0, kFileTypeEmf},
        {kDisk, "clip.wmv", padded("\x30\x26\xB2\x75\x8E\x66\xCF\x11"), 0, kFileTypeWmv},
        {kDisk, "clip.mpg", padded(std::string("\0\0\x01\xBA", 4)), 0, kFileTypeMpg},
        {kDisk, "data.csv", jpeg, 0, kFileTypeCsv}, {kDisk, "data.CSV", compound, 0, kFileTypeCsv},
        {kDisk, "data.csv", zip.substr(0, 15), 0, -1},
        {kMemory, "memory report.xlsx", zip, 0, kFileTypeXlsx}, {kMemory, "memory report.zip", zip, 0, kFileTypeZip},
        {kMemory, "memory book.xlsx", encrypted, 0, kFileTypeXlsxEncrypted}, {kMemory, "memory plain.xlsx", compound, kFail, -1},
        {kMemory, "memory short.xlsx", zip.substr(0, 10), 0, -1},
        // The bytes mode takes the first entry with the signature, whatever the name.
        {kBytes, "", png, 0, kFileTypePng}, {kBytes, "", jpeg, 0, kFileTypeJpeg}, {kBytes, "", zip, 0, kFileTypeZip},
        {kBytes, "", compound, 0, kFileTypeXls}, {kBytes, "", padded("%PDF-1.4"), 0, kFileTypePdf},
        {kBytes, "", padded("MZ"), 0, kFileTypeExe}, {kBytes, "", padded("plain text"), 0, -1},
        {kBytes, "", padded("data.csv"), 0, -1},  // a name is no buffer
    };
    testing::TempFolder folder;
    for (const auto &[mode, name, bytes, rc, type] : cases) {
        std::string source = name;
        if (mode == kDisk) source = folder.write(std::string("case/") + name, bytes);
        if (mode == kMemory) {
            ASSERT_EQ(TXLS_memory_put(name, bytes.data(), static_cast<long>(bytes.size())), 0);
        }
        EXPECT_EQ(probe(mode, mode == kBytes ? bytes.data() : source.c_str()), std::pair(rc, type)) << mode << " " << name;
        if (mode == kMemory) mrelease(name);
    }
    // The probe itself takes the length it is given.
    int type = 99;
    EXPECT_EQ(probe_file_type(kProbeBytes, std::string_view(png.data(), 15), type), 0);
    EXPECT_EQ(type, -1);
}

}  // namespace
}  // namespace tabsmith
