// The file-type probe through orv_file_type: signatures and extensions in table order, encrypted
// packages told from plain compound files, the three source modes, and the corpus's files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/compound_builder.h"
#include "common/corpus.h"
#include "common/file_checks.h"
#include "common/fixtures.h"
#include "image/file_type.h"
#include "support/mfile.h"
#include "support/results.h"
#include "tabsmith.h"

namespace tabsmith {
namespace {

using testing::build_compound;
using testing::CompoundLayout;

std::string padded(std::string head) {
    head.resize(64, 'x');
    return head;
}

const std::string kZip = padded(std::string("PK\x03\x04\x14\0\x06\0", 8));
const std::string kJpeg = padded("\xFF\xD8\xFF\xE0");
const std::string kPng = padded("\x89PNG\r\n\x1A\n");

std::string compound_with(std::vector<CompoundLayout::Entry> entries) {
    CompoundLayout layout;
    layout.entries = std::move(entries);
    return build_compound(layout).bytes;
}

const std::string kPlainCompound = compound_with({{u"Workbook", std::string(5000, 'w')}});
const std::string kEncrypted = compound_with({{u"EncryptionInfo", std::string(200, 'i')},
                                              {u"EncryptedPackage", std::string(6000, 'e')}});
const std::string kEncryptedLowerCase = compound_with({{u"encryptedpackage", std::string(100, 'e')}});
const std::string kEncryptedStorage = compound_with({{u"EncryptedPackage", "", 0, true}});
const std::string kEncryptedNested = compound_with(
    {{u"Storage", "", 0, true}, {u"EncryptedPackage", std::string(100, 'e'), 1}});

struct Probe {
    int rc;
    int type;
};

Probe probe(int mode, const char *source) {
    Probe result{99, 99};
    result.rc = orv_file_type(mode, source, &result.type);
    return result;
}

TEST(FileType, DiskFilesByContentAndExtension) {
    struct Case {
        const char *name;
        std::string bytes;
        int rc, type;
    };
    const std::string tiff_be = padded(std::string("MM\0*", 4));
    const std::string fifteen = kZip.substr(0, 15);
    const std::string sixteen = kZip.substr(0, 16);
    const std::string emf = padded(std::string("\x01\0\0\0", 4));
    const std::string wmv = padded("\x30\x26\xB2\x75\x8E\x66\xCF\x11");
    const std::string mpg = padded(std::string("\0\0\x01\xBA", 4));
    const Case cases[] = {
        {"report.xlsx", kZip, 0, 12},
        {"report.zip", kZip, 0, 301},
        {"report.docx", kZip, 0, 22},
        {"REPORT.XLSX", kZip, 0, 12},
        {"report.xlsm", kZip, 0, 14},
        {"report.Xlsb", kZip, 0, 13},
        {"deck.pptm", kZip, 0, 33},
        {"report.txt", kZip, 0, -1},
        {"xlsx", kZip, 0, -1},              // the whole name is no extension
        {"report.bxlsx", kZip, 0, -1},      // nor is a longer one that ends the same
        {"sixteen.xlsx", sixteen, 0, 12},
        {"fifteen.xlsx", fifteen, 0, -1},
        {"book.xls", kPlainCompound, 0, 11},
        {"book.XLS", kEncrypted, 0, 11},    // the .xls entry comes first and needs nothing more
        {"book.xlsx", kEncrypted, 0, 19},
        {"book.docx", kEncrypted, 0, 29},
        {"book.pptx", kEncrypted, 0, 39},
        {"book.xlsx", kEncryptedLowerCase, 0, 19},
        {"book.xlsx", kPlainCompound, kFail, -1},
        {"book.xlsx", kEncryptedStorage, kFail, -1},
        {"book.xlsx", kEncryptedNested, kFail, -1},
        {"book.xlsx", kPlainCompound.substr(0, 600), kFail, -1},  // no readable compound file
        {"book.doc", kPlainCompound, 0, 21},
        {"plan.mpp", kPlainCompound, 0, 40},
        {"photo.JPG", kJpeg, 0, 202},
        {"photo.jpeg", kJpeg, 0, 202},
        {"photo.png", kJpeg, 0, -1},
        {"photo.png", kPng, 0, 203},
        {"scan.tif", tiff_be, 0, -1},
        {"scan.tif", padded(std::string("II*\0", 4)), 0, 205},
        {"clip.emf", emf, 0, 206},
        {"clip.wmv", wmv, 0, 403},
        {"clip.mpg", mpg, 0, 402},
        {"data.csv", kJpeg, 0, 0},
        {"data.CSV", kPlainCompound, 0, 0},
        {"data.csv", fifteen, 0, -1},
    };
    testing::TempFolder folder;
    for (const Case &c : cases) {
        std::string path = folder.write("case/" + std::string(c.name), c.bytes);
        Probe got = probe(1, path.c_str());
        EXPECT_EQ(got.rc, c.rc) << c.name;
        EXPECT_EQ(got.type, c.type) << c.name;
        std::filesystem::remove(path);
    }
}

TEST(FileType, UnopenableSourcesAndNullPointers) {
    testing::TempFolder folder;
    Probe missing = probe(1, (folder / "missing.xlsx").c_str());
    EXPECT_EQ(missing.rc, kOpenError);
    EXPECT_EQ(missing.type, -1);
    EXPECT_EQ(probe(1, folder.path().c_str()).rc, kOpenError);  // a folder is no file
    EXPECT_EQ(probe(1, "").rc, kOpenError);
    EXPECT_EQ(probe(0, "no such memory file.xlsx").rc, kOpenError);

    int type = 99;
    EXPECT_EQ(orv_file_type(1, nullptr, &type), kBadArgument);
    EXPECT_EQ(type, -1);
    EXPECT_EQ(orv_file_type(1, "report.xlsx", nullptr), kBadArgument);
    EXPECT_EQ(orv_file_type(9999, nullptr, nullptr), kBadArgument);
}

class FileTypeMemory : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto &name : names_) mrelease(name);
    }
    void put(const std::string &name, const std::string &bytes) {
        ASSERT_EQ(TXLS_memory_put(name.c_str(), bytes.data(), static_cast<long>(bytes.size())), 0);
        names_.push_back(name);
    }
    std::vector<std::string> names_;
};

TEST_F(FileTypeMemory, MemoryFilesByTheirNames) {
    put("memory report.xlsx", kZip);
    put("memory report.zip", kZip);
    put("memory book.xlsx", kEncrypted);
    put("memory plain.xlsx", kPlainCompound);
    put("memory short.xlsx", kZip.substr(0, 10));
    struct Case {
        const char *name;
        int rc, type;
    } cases[] = {
        {"memory report.xlsx", 0, 12}, {"memory report.zip", 0, 301},   {"memory book.xlsx", 0, 19},
        {"memory plain.xlsx", kFail, -1}, {"memory short.xlsx", 0, -1},
    };
    for (const Case &c : cases) {
        Probe got = probe(0, c.name);
        EXPECT_EQ(got.rc, c.rc) << c.name;
        EXPECT_EQ(got.type, c.type) << c.name;
    }
}

// Mode 0 looks in the memory-file table only, never on the disk.
TEST_F(FileTypeMemory, MemoryModeIgnoresDiskFiles) {
    testing::TempFolder folder;
    std::string path = folder.write("disk.xlsx", kZip);
    EXPECT_EQ(probe(0, path.c_str()).rc, kOpenError);
    EXPECT_EQ(mfind(path), nullptr);
}

TEST(FileType, BytesModeDecidesBySignatureAlone) {
    struct Case {
        std::string bytes;
        int type;
    } cases[] = {
        {kPng, 203},
        {kJpeg, 202},
        {kZip, 301},              // the first entry with the zip signature
        {kPlainCompound, 11},     // the first with the compound signature
        {padded("%PDF-1.4"), 102},
        {padded("MZ"), 900},
        {padded("plain text"), -1},
    };
    for (const Case &c : cases) {
        Probe got = probe(9999, c.bytes.data());
        EXPECT_EQ(got.rc, 0);
        EXPECT_EQ(got.type, c.type) << c.bytes.substr(0, 8);
    }
    // A name is no buffer: read as bytes it matches nothing, whatever its extension.
    char name[16] = "data.csv";
    EXPECT_EQ(probe(9999, name).type, -1);
    // The probe itself takes the length it is given.
    int type = 99;
    EXPECT_EQ(probe_file_type(kProbeBytes, std::string_view(kPng.data(), 15), type), 0);
    EXPECT_EQ(type, -1);
}

TEST(FileType, CorpusFiles) {
    if (testing::corpus_files("xls").empty()) GTEST_SKIP() << "no corpus at " << testing::corpus_dir();
    for (const std::string &path : testing::corpus_files("xls", {".xls"})) {
        Probe got = probe(1, path.c_str());
        EXPECT_EQ(got.rc, 0) << path;
        EXPECT_EQ(got.type, 11) << path;
    }
    int encrypted = 0, packages = 0;
    for (const std::string &path : testing::corpus_files("xlsx", {".xlsx", ".xlsm"})) {
        std::string bytes = testing::contents(path);
        Probe got = probe(1, path.c_str());
        EXPECT_EQ(got.rc, 0) << path;
        if (bytes.rfind("\xD0\xCF\x11\xE0", 0) == 0) {
            EXPECT_EQ(got.type, 19) << path;
            ++encrypted;
        } else {
            EXPECT_EQ(got.type, path.ends_with(".xlsm") ? 14 : 12) << path;
            ++packages;
        }
    }
    EXPECT_GE(encrypted, 5);
    EXPECT_GE(packages, 40);
    for (const std::string &path : testing::corpus_files("broken")) {
        Probe got = probe(1, path.c_str());
        EXPECT_TRUE(got.rc == 0 || got.rc == kFail) << path << ": " << got.rc;
    }
}

}  // namespace
}  // namespace tabsmith
