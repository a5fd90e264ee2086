// The file-type probe through orv_file_type: signatures and extensions in table order, encrypted
// packages told from plain compound files, on disk files, memory files and bytes.

#include <gtest/gtest.h>

#include "common/compound_builder.h"
#include "common/fixtures.h"
#include "image/file_type.h"
#include "support/mfile.h"

namespace tabsmith {
namespace {

std::string padded(std::string head) { return head.resize(64, 'x'), head; }
std::string compound_with(std::vector<testing::CompoundLayout::Entry> entries) {
    return testing::build_compound({9, std::move(entries)}).bytes;
}
std::pair<int, int> probe(int mode, const char *source) {
    int type = 99, rc = orv_file_type(mode, source, &type);
    return {rc, type};
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

TEST(FileType, UnopenableSourcesAndNullPointers) {
    testing::TempFolder folder;
    const std::string disk = folder.write("disk.xlsx", padded("PK\x03\x04"));
    for (auto [mode, source] : {std::pair{1, folder / "missing.xlsx"}, {1, folder.path()}, {1, std::string()},
                                {0, std::string("no such memory file.xlsx")}, {0, disk}})  // memory mode never reads disk
        EXPECT_EQ(probe(mode, source.c_str()), std::pair(kOpenError, -1)) << source;
    EXPECT_EQ(mfind(disk), nullptr);
    EXPECT_EQ(probe(1, nullptr), std::pair(kBadArgument, -1));
    EXPECT_EQ(orv_file_type(1, "report.xlsx", nullptr), kBadArgument);
    EXPECT_EQ(orv_file_type(9999, nullptr, nullptr), kBadArgument);
}

}  // namespace
}  // namespace tabsmith
