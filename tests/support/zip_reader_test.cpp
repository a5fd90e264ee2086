// The package archive reader and the writer's verbatim entry copy: round trips on both routes,
// damaged, cut and hostile archives, zip bombs, limits, and the real workbooks of the corpus.

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/fixtures.h"
#include "support/files.h"
#include "support/mfile.h"
#include "support/zip_archive.h"
#include "support/zip_reader.h"

namespace tabsmith {
namespace {

constexpr std::uint64_t kNoCap = ~0ULL;
const char *const kCorpus = "/work/shared/corpus";

enum class Route { kDisk, kMemory };

std::string route_name(Route r) { return r == Route::kDisk ? "disk" : "memory"; }

std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(size, '\0');
    for (char &c : out) c = static_cast<char>(gen());
    return out;
}

std::uint32_t crc_of(std::string_view data) {
    return static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef *>(data.data()), data.size()));
}

std::string raw_deflate(std::string_view plain) {
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&zs, plain.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(plain.data()));
    zs.avail_in = static_cast<uInt>(plain.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string raw_inflate(std::string_view packed, std::size_t plain_size) {
    z_stream zs{};
    EXPECT_EQ(inflateInit2(&zs, -MAX_WBITS), Z_OK);
    std::string out(plain_size, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.data()));
    zs.avail_in = static_cast<uInt>(packed.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&zs, Z_FINISH);
    inflateEnd(&zs);
    return rc == Z_STREAM_END && zs.total_out == plain_size ? out : "<not inflated>";
}

// A deflate stream of `mebibytes` MiB of zeros that costs about a kilobyte per MiB: one
// compressed MiB, ending on a full flush so it starts from an empty window, repeated.
std::string zero_bomb(std::size_t mebibytes) {
    const std::string mib(1 << 20, '\0');
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::string chunk(deflateBound(&zs, mib.size()) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(mib.data()));
    zs.avail_in = static_cast<uInt>(mib.size());
    zs.next_out = reinterpret_cast<Bytef *>(chunk.data());
    zs.avail_out = static_cast<uInt>(chunk.size());
    EXPECT_EQ(deflate(&zs, Z_FULL_FLUSH), Z_OK);
    chunk.resize(zs.total_out);
    deflateEnd(&zs);
    std::string out;
    for (std::size_t i = 0; i < mebibytes; ++i) out += chunk;
    out += std::string("\x03\x00", 2);  // an empty final block
    return out;
}

std::uint32_t zero_crc(std::size_t mebibytes) {
    const std::string mib(1 << 20, '\0');
    uLong crc = 0;
    for (std::size_t i = 0; i < mebibytes; ++i) crc = crc32_z(crc, reinterpret_cast<const Bytef *>(mib.data()), mib.size());
    return static_cast<std::uint32_t>(crc);
}

struct Part {
    std::string name;
    std::string data;
    bool stored = false;
    std::uint32_t dos_time = 0x5A8B6B2Du;  // 2025-04-11 13:25:26, what stored parts are stamped with
};

// Where one entry's central and local headers start, for the cases that edit their fields.
struct EntryLayout {
    std::size_t central = 0, local = 0;
};

std::uint32_t get32(const std::string &b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint16_t get16(const std::string &b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
void put32(std::string &b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
}
void put16(std::string &b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v);
    b[at + 1] = static_cast<char>(v >> 8);
}

// Walks the central directory of an archive without a comment.
std::vector<EntryLayout> layout(const std::string &zip) {
    std::vector<EntryLayout> out;
    std::size_t end = zip.size() - 22;
    EXPECT_EQ(get32(zip, end), 0x06054b50u);
    std::size_t at = get32(zip, end + 16);
    for (int i = 0, n = get16(zip, end + 10); i < n; ++i) {
        EXPECT_EQ(get32(zip, at), 0x02014b50u);
        out.push_back({at, get32(zip, at + 42)});
        at += 46 + get16(zip, at + 28) + get16(zip, at + 30) + get16(zip, at + 32);
    }
    return out;
}

class ZipReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        mclose_all();
        saved_route_ = zip_route();
    }
    void TearDown() override {
        set_zip_route(saved_route_);
        mclose_all();
    }
    // Where an archive of that base name lives on the route.
    std::string place(Route route, const std::string &base) const {
        return route == Route::kDisk ? dir_ + "/" + base : base;
    }
    static void store(Route route, const std::string &where, const std::string &bytes) {
        if (route == Route::kMemory) {
            MFile *f = mopen(where, "wb");
            ASSERT_NE(f, nullptr);
            if (!bytes.empty()) {
                ASSERT_EQ(mwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
            }
            mclose(f);
            return;
        }
        auto f = aod_open(1, where, kAodWrite);
        ASSERT_TRUE(f);
        ASSERT_EQ(aod_write(f.get(), bytes.data(), bytes.size()), 0);
        ASSERT_EQ(aod_close(f), 0);
    }
    static std::string load(Route route, const std::string &where) {
        if (route == Route::kMemory) {
            const MFile *f = mfind(where);
            return f ? std::string(mdata(f)) : std::string("<missing>");
        }
        std::string out;
        return aod_read_all(1, where, out) == 0 ? out : std::string("<missing>");
    }
    // Writes `parts` with the package writer: deflated parts as the save path writes them,
    // stored parts through copy_entry.
    static void build(Route route, const std::string &where, const std::vector<Part> &parts) {
        set_zip_route(route == Route::kDisk ? 1 : 0);
        ZipPackageWriter writer;
        ASSERT_EQ(writer.open(where), 0);
        for (const Part &p : parts) {
            SCOPED_TRACE(p.name);
            if (p.stored) {
                ZipEntryInfo info;
                info.name = p.name;
                info.method = 0;
                info.crc32 = crc_of(p.data);
                info.packed_size = info.plain_size = p.data.size();
                info.dos_time = p.dos_time;
                ASSERT_EQ(writer.copy_entry(info, p.data), 0);
            } else {
                std::string packed = raw_deflate(p.data);
                ASSERT_EQ(writer.begin_entry(p.name, false), 0);
                ASSERT_EQ(writer.write_raw(packed.data(), packed.size()), 0);
                ASSERT_EQ(writer.end_entry(p.data.size(), crc_of(p.data)), 0);
            }
        }
        ASSERT_EQ(writer.close(), 0);
    }
    // `unzip -t` over the archive; a memory archive is checked from a disk copy.
    bool unzip_passes(Route route, const std::string &where) const {
        std::string path = where;
        if (route == Route::kMemory) {
            path = dir_ + "/unzip-check.zip";
            store(Route::kDisk, path, load(Route::kMemory, where));
        }
        bool ok = std::system(("unzip -tqq '" + path + "' >/dev/null 2>&1").c_str()) == 0;
        if (route == Route::kMemory) std::filesystem::remove(path);
        return ok;
    }

    testing::TempFolder folder;
    const std::string dir_ = folder.path();
    int saved_route_ = -1;
};

std::vector<Part> sample_parts() {
    std::string xml = "<?xml version=\"1.0\"?><sheetData>";
    for (int r = 1; r <= 400; ++r) xml += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" +
                                          std::to_string(r * 37) + "</v></c></row>";
    xml += "</sheetData>";
    return {
        {"[Content_Types].xml", "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {"xl/worksheets/sheet1.xml", xml},
        {"xl/media/image1.png", noise(50000, 5), true},
        {"docProps/empty.xml", ""},
        {"xl/empty-stored.bin", "", true, 0},
        {"xl/worksheets/\xE3\x82\xB7\xE3\x83\xBC\xE3\x83\x88 1.xml", "<sheet name=\"\xE5\xA3\xB2\xE4\xB8\x8A\"/>"},
    };
}

class ZipReaderRouteTest : public ZipReaderTest, public ::testing::WithParamInterface<Route> {};

TEST_P(ZipReaderRouteTest, RoundTripThroughThePackageWriter) {
    const Route route = GetParam();
    const auto parts = sample_parts();
    const std::string where = place(route, "round.xlsx");
    build(route, where, parts);
    EXPECT_TRUE(unzip_passes(route, where));

    // The reader keeps the route it was opened with, whatever the flag says afterwards.
    set_zip_route(route == Route::kDisk ? 0 : 1);
    ZipPackageReader reader;
    ASSERT_EQ(reader.open(where, route == Route::kMemory), 0);
    set_zip_route(route == Route::kDisk ? 0 : 1);
    ASSERT_EQ(reader.entries().size(), parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Part &p = parts[i];
        const ZipEntryInfo &e = reader.entries()[i];
        SCOPED_TRACE(p.name);
        EXPECT_EQ(e.name, p.name);
        EXPECT_EQ(e.method, p.stored ? 0 : 8);
        EXPECT_EQ(e.crc32, crc_of(p.data));
        EXPECT_EQ(e.plain_size, p.data.size());
        EXPECT_FALSE(e.encrypted);
        if (p.stored) {
            EXPECT_EQ(e.packed_size, p.data.size());
            EXPECT_EQ(e.dos_time, p.dos_time);
        }
        EXPECT_EQ(reader.find(p.name), static_cast<int>(i));

        std::string out = "previous contents";
        ASSERT_EQ(reader.read(static_cast<int>(i), out, p.data.size()), 0);
        EXPECT_TRUE(out == p.data);
        std::string raw;
        ASSERT_EQ(reader.read_raw(static_cast<int>(i), raw), 0);
        EXPECT_EQ(raw.size(), e.packed_size);
        EXPECT_TRUE((p.stored ? raw : raw_inflate(raw, p.data.size())) == p.data);
    }
    for (const char *absent : {"", "XL/WORKSHEETS/SHEET1.XML", "xl/worksheets/sheet1.xml ", "/xl/worksheets/sheet1.xml",
                               "xl\\worksheets\\sheet1.xml", "xl/worksheets/sheet"})
        EXPECT_EQ(reader.find(absent), -1) << absent;
}

TEST_P(ZipReaderRouteTest, TruncatedAndMutatedArchivesFailWithACode) {
    const Route route = GetParam();
    const std::string source = place(route, "good.xlsx");
    build(route, source, sample_parts());
    const std::string good = load(route, source);
    const std::string where = place(route, "bad.xlsx");

    auto exercise = [&](const std::string &bytes) {
        store(route, where, bytes);
        ZipPackageReader reader;
        reader.set_budget(1 << 20);
        int rc = reader.open(where, route == Route::kMemory);
        EXPECT_TRUE(rc == 0 || rc == kOpenError || rc == kLimit) << rc;
        for (int i = 0; rc == 0 && i < static_cast<int>(reader.entries().size()); ++i) {
            std::string out;
            int got = reader.read(i, out, 1 << 20);
            EXPECT_TRUE(got == 0 || got == kReadError || got == kUnsupported || got == kLimit) << got;
            got = reader.read_raw(i, out);
            EXPECT_TRUE(got == 0 || got == kReadError) << got;
        }
        return rc;
    };
    for (std::size_t cut = 0; cut < good.size(); cut += good.size() / 61 + 1) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(exercise(good.substr(0, cut)), kOpenError);
    }
    for (std::size_t cut : {good.size() - 21, good.size() - 23})
        EXPECT_EQ(exercise(good.substr(0, cut)), kOpenError) << good.size() - cut << " bytes cut";
    // Losing only the high byte of the comment length loses nothing: minizip reads what is
    // missing at the end as a repeat of the byte before, and the archive still reads whole.
    store(route, where, good.substr(0, good.size() - 1));
    {
        ZipPackageReader reader;
        ASSERT_EQ(reader.open(where, route == Route::kMemory), 0);
        const auto parts = sample_parts();
        ASSERT_EQ(reader.entries().size(), parts.size());
        std::string out;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            ASSERT_EQ(reader.read(static_cast<int>(i), out, kNoCap), 0);
            EXPECT_TRUE(out == parts[i].data);
        }
    }
    // The central directory intact but the data before it gone: the entries list, reads fail.
    std::string hollow = good;
    std::size_t directory = layout(good).front().central;
    std::fill(hollow.begin(), hollow.begin() + static_cast<std::ptrdiff_t>(directory), '\0');
    store(route, where, hollow);
    {
        ZipPackageReader reader;
        ASSERT_EQ(reader.open(where, route == Route::kMemory), 0);
        std::string out;
        for (int i = 0; i < static_cast<int>(reader.entries().size()); ++i) {
            EXPECT_EQ(reader.read(i, out, kNoCap), kReadError);
            EXPECT_TRUE(out.empty());
        }
    }
    std::mt19937 gen(17);
    for (int round = 0; round < (route == Route::kMemory ? 1500 : 300); ++round) {
        std::string copy = good;
        for (int flips = 1 + static_cast<int>(gen() % 3); flips > 0; --flips)
            copy[gen() % copy.size()] = static_cast<char>(gen());
        exercise(copy);
    }
}

INSTANTIATE_TEST_SUITE_P(Routes, ZipReaderRouteTest, ::testing::Values(Route::kDisk, Route::kMemory),
                         [](const auto &info) { return route_name(info.param); });

// Copies every entry of `from` into a new archive at `to` with read_raw + copy_entry.
void copy_archive(Route from_route, const std::string &from, Route to_route, const std::string &to) {
    ZipPackageReader source;
    ASSERT_EQ(source.open(from, from_route == Route::kMemory), 0);
    set_zip_route(to_route == Route::kDisk ? 1 : 0);
    ZipPackageWriter writer;
    ASSERT_EQ(writer.open(to), 0);
    std::string raw;
    for (int i = 0; i < static_cast<int>(source.entries().size()); ++i) {
        ASSERT_EQ(source.read_raw(i, raw), 0);
        ASSERT_EQ(writer.copy_entry(source.entries()[i], raw), 0) << source.entries()[i].name;
    }
    ASSERT_EQ(writer.close(), 0);
}

// Both archives list the same entries with the same stored bytes and the same contents.
void expect_same_archives(Route a_route, const std::string &a, Route b_route, const std::string &b) {
    ZipPackageReader left, right;
    ASSERT_EQ(left.open(a, a_route == Route::kMemory), 0);
    ASSERT_EQ(right.open(b, b_route == Route::kMemory), 0);
    ASSERT_EQ(left.entries().size(), right.entries().size());
    std::string x, y;
    for (int i = 0; i < static_cast<int>(left.entries().size()); ++i) {
        const ZipEntryInfo &l = left.entries()[i], &r = right.entries()[i];
        SCOPED_TRACE(l.name);
        EXPECT_EQ(r.name, l.name);
        EXPECT_EQ(r.method, l.method);
        EXPECT_EQ(r.crc32, l.crc32);
        EXPECT_EQ(r.packed_size, l.packed_size);
        EXPECT_EQ(r.plain_size, l.plain_size);
        EXPECT_EQ(r.dos_time, l.dos_time);
        EXPECT_EQ(r.utf8_name, l.utf8_name);
        ASSERT_EQ(left.read_raw(i, x), 0);
        ASSERT_EQ(right.read_raw(i, y), 0);
        EXPECT_TRUE(x == y);
        ASSERT_EQ(left.read(i, x, kNoCap), 0);
        ASSERT_EQ(right.read(i, y, kNoCap), 0);
        EXPECT_TRUE(x == y);
    }
}

TEST_F(ZipReaderTest, CopiedEntriesKeepTheirBytesOnEveryRoute) {
    for (Route from : {Route::kDisk, Route::kMemory}) {
        for (Route to : {Route::kDisk, Route::kMemory}) {
            SCOPED_TRACE(route_name(from) + " to " + route_name(to));
            const std::string source = place(from, "source.xlsx"), copy = place(to, "copy.xlsx");
            build(from, source, sample_parts());
            copy_archive(from, source, to, copy);
            EXPECT_TRUE(unzip_passes(to, copy));
            expect_same_archives(from, source, to, copy);
            std::filesystem::remove(dir_ + "/source.xlsx");
            std::filesystem::remove(dir_ + "/copy.xlsx");
        }
    }
}

TEST_F(ZipReaderTest, CopiedCorpusWorkbooksPassUnzip) {
    const std::string xlsx = std::string(kCorpus) + "/xlsx";
    if (!std::filesystem::is_directory(xlsx)) GTEST_SKIP() << "no corpus at " << xlsx;
    int copied = 0;
    for (const auto &file : std::filesystem::directory_iterator(xlsx)) {
        const std::string path = file.path().string();
        ZipPackageReader probe;
        if (probe.open(path, false) != 0) continue;  // the encrypted ones are no zip archives
        SCOPED_TRACE(path);
        const std::string copy = dir_ + "/copy.xlsx";
        copy_archive(Route::kDisk, path, Route::kDisk, copy);
        EXPECT_TRUE(unzip_passes(Route::kDisk, copy));
        expect_same_archives(Route::kDisk, path, Route::kDisk, copy);
        ++copied;
    }
    EXPECT_GT(copied, 40);
}

TEST_F(ZipReaderTest, CopyEntryRefusesWhatItCannotCopyFaithfully) {
    set_zip_route(0);
    ZipPackageWriter writer;
    ZipEntryInfo fine;
    fine.name = "xl/a.xml";
    fine.method = 0;
    fine.crc32 = crc_of("abc");
    fine.packed_size = fine.plain_size = 3;
    EXPECT_EQ(writer.copy_entry(fine, "abc"), kOpenError) << "no archive open";
    ASSERT_EQ(writer.open("refused.zip"), 0);
    struct Case {
        const char *why;
        void (*edit)(ZipEntryInfo &);
        std::string raw;
    };
    const Case cases[] = {
        {"unsafe name", [](ZipEntryInfo &e) { e.name = "../a.xml"; }, "abc"},
        {"absolute name", [](ZipEntryInfo &e) { e.name = "/a.xml"; }, "abc"},
        {"encrypted", [](ZipEntryInfo &e) { e.encrypted = true; }, "abc"},
        {"raw bytes shorter than packed_size", [](ZipEntryInfo &) {}, "ab"},
        {"stored with different sizes", [](ZipEntryInfo &e) { e.plain_size = 4; }, "abc"},
    };
    for (const Case &c : cases) {
        ZipEntryInfo e = fine;
        c.edit(e);
        EXPECT_EQ(writer.copy_entry(e, c.raw), kOpenError) << c.why;
    }
    ASSERT_EQ(writer.copy_entry(fine, "abc"), 0);
    // A method the engine cannot inflate (deflate64) still copies through, byte for byte.
    ZipEntryInfo deflate64 = fine;
    deflate64.name = "xl/media/big.bin";
    deflate64.method = 9;
    deflate64.packed_size = 2;
    ASSERT_EQ(writer.copy_entry(deflate64, "xy"), 0);
    ASSERT_EQ(writer.close(), 0);
    ZipPackageReader reader;
    ASSERT_EQ(reader.open("refused.zip", true), 0);
    ASSERT_EQ(reader.entries().size(), 2u) << "a refused copy leaves no entry behind";
    std::string out;
    EXPECT_EQ(reader.read(0, out, 3), 0);
    EXPECT_EQ(out, "abc");
    EXPECT_EQ(reader.entries()[1].method, 9);
    EXPECT_EQ(reader.read(1, out, 3), kUnsupported);
    EXPECT_EQ(reader.read_raw(1, out), 0);
    EXPECT_EQ(out, "xy");
}

TEST_F(ZipReaderTest, DamagedEntriesAreReportedPerEntry) {
    const std::string text = "<sheetData>" + std::string(3000, 'x') + "</sheetData>";
    const std::vector<Part> parts = {{"deflated.xml", text}, {"stored.bin", noise(3000, 9), true}};
    build(Route::kMemory, "base.zip", parts);
    const std::string base = load(Route::kMemory, "base.zip");
    const auto entries = layout(base);
    ASSERT_EQ(entries.size(), 2u);
    const EntryLayout deflated = entries[0], stored = entries[1];
    auto both = [](std::string &b, EntryLayout e, std::size_t central_field, std::size_t local_field, std::uint32_t v,
                   int width) {
        if (width == 4) {
            put32(b, e.central + central_field, v);
            put32(b, e.local + local_field, v);
        } else {
            put16(b, e.central + central_field, static_cast<std::uint16_t>(v));
            put16(b, e.local + local_field, static_cast<std::uint16_t>(v));
        }
    };
    // Central/local offsets: flags 8/6, method 10/8, CRC 16/14, packed size 20/18, plain size 24/22.
    struct Case {
        const char *what;
        int entry;
        std::function<void(std::string &)> edit;
        int read_rc;
        int raw_rc;
    };
    const std::uint32_t deflated_crc = get32(base, deflated.central + 16);
    const std::uint32_t deflated_packed = get32(base, deflated.central + 20);
    const Case cases[] = {
        {"CRC of deflated data", 0, [&](std::string &b) { both(b, deflated, 16, 14, deflated_crc ^ 1, 4); }, kReadError, 0},
        {"CRC of stored data", 1, [&](std::string &b) { both(b, stored, 16, 14, get32(b, stored.central + 16) + 1, 4); },
         kReadError, 0},
        {"CRC in the directory only", 0, [&](std::string &b) { put32(b, deflated.central + 16, deflated_crc ^ 8); },
         kReadError, kReadError},
        {"a byte of deflated data", 0,
         [&](std::string &b) {
             std::size_t at = deflated.local + 30 + get16(b, deflated.local + 26) + 2;
             b[at] = static_cast<char>(b[at] ^ 0x40);
         },
         kReadError, 0},
        {"a byte of stored data", 1,
         [&](std::string &b) {
             std::size_t at = stored.local + 30 + get16(b, stored.local + 26) + 1000;
             b[at] = static_cast<char>(b[at] ^ 1);
         },
         kReadError, 0},
        {"plain size declared larger", 0, [&](std::string &b) { both(b, deflated, 24, 22, text.size() + 100, 4); },
         kReadError, 0},
        {"plain size declared smaller", 0, [&](std::string &b) { both(b, deflated, 24, 22, text.size() - 1, 4); },
         kReadError, 0},
        {"plain size no deflate stream reaches", 0, [&](std::string &b) { both(b, deflated, 24, 22, 0x7FFFFFFF, 4); },
         kReadError, 0},
        {"packed size past the archive's end", 1,
         [&](std::string &b) {
             both(b, stored, 20, 18, 0x7FFFFFFF, 4);
             both(b, stored, 24, 22, 0x7FFFFFFF, 4);
         },
         kReadError, kReadError},
        // The stream ends where it ends and the CRC vouches for the rest: bytes after it are no harm.
        {"packed size reaching into the next entry", 0,
         [&](std::string &b) { both(b, deflated, 20, 18, deflated_packed + 40, 4); }, 0, 0},
        {"stored sizes that differ", 1, [&](std::string &b) { both(b, stored, 24, 22, 2999, 4); }, kReadError, 0},
        {"method 12", 0, [&](std::string &b) { both(b, deflated, 10, 8, 12, 2); }, kUnsupported, 0},
        {"method 99", 1, [&](std::string &b) { both(b, stored, 10, 8, 99, 2); }, kUnsupported, 0},
        {"method in the directory only", 1, [&](std::string &b) { put16(b, stored.central + 10, 8); }, kReadError, kReadError},
        {"encrypted", 0, [&](std::string &b) { both(b, deflated, 8, 6, 1, 2); }, kUnsupported, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = base;
        c.edit(bytes);
        store(Route::kMemory, "damaged.zip", bytes);
        ZipPackageReader reader;
        ASSERT_EQ(reader.open("damaged.zip", true), 0);
        std::string out = "previous";
        EXPECT_EQ(reader.read(c.entry, out, kNoCap), c.read_rc);
        EXPECT_EQ(out.empty(), c.read_rc != 0);
        EXPECT_EQ(reader.read_raw(c.entry, out), c.raw_rc);
        // The other entry is untouched and still reads.
        const int other = 1 - c.entry;
        ASSERT_EQ(reader.read(other, out, kNoCap), 0);
        EXPECT_TRUE(out == parts[static_cast<std::size_t>(other)].data);
    }
}

TEST_F(ZipReaderTest, ZipBombsStopAtTheirDeclaredSize) {
    constexpr std::size_t kBombMiB = 200;
    const std::string bomb = zero_bomb(kBombMiB);
    ASSERT_LT(bomb.size(), 300u * 1024);
    const std::string small_bomb = zero_bomb(3);
    ASSERT_EQ(raw_inflate(small_bomb, 3 << 20), std::string(3 << 20, '\0')) << "the bomb is a valid stream";

    set_zip_route(0);
    ZipPackageWriter writer;
    ASSERT_EQ(writer.open("bomb.zip"), 0);
    auto add = [&](const char *name, const std::string &packed, std::uint64_t plain, std::uint32_t crc) {
        ASSERT_EQ(writer.begin_entry(name, false), 0);
        ASSERT_EQ(writer.write_raw(packed.data(), packed.size()), 0);
        ASSERT_EQ(writer.end_entry(plain, crc), 0);
    };
    add("honest.xml", bomb, std::uint64_t{kBombMiB} << 20, zero_crc(kBombMiB));
    add("claims-1KiB.xml", bomb, 1024, crc_of(std::string(1024, '\0')));
    add("claims-10MiB.xml", bomb, 10 << 20, zero_crc(10));
    add("three.xml", small_bomb, 3 << 20, zero_crc(3));
    ASSERT_EQ(writer.close(), 0);

    ZipPackageReader reader;
    ASSERT_EQ(reader.open("bomb.zip", true), 0);
    struct Case {
        const char *what;
        std::uint64_t budget, max_bytes;
        const char *entry;
        int rc;
    };
    const Case cases[] = {
        {"over max_bytes", kZipReaderDefaultBudget, 1 << 20, "honest.xml", kLimit},
        {"over the budget", 1 << 20, kNoCap, "honest.xml", kLimit},
        {"declared small, inflates to more", kZipReaderDefaultBudget, kNoCap, "claims-1KiB.xml", kReadError},
        {"declared 10 MiB, inflates to more", kZipReaderDefaultBudget, kNoCap, "claims-10MiB.xml", kReadError},
        {"within both", 4 << 20, 3 << 20, "three.xml", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(reader.open("bomb.zip", true), 0);
        reader.set_budget(c.budget);
        std::string out;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(reader.read(reader.find(c.entry), out, c.max_bytes), c.rc);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_LE(out.capacity(), std::size_t{10} << 20 | 0xFFFF);
    }
    // The budget is a running total: the second read of the same entry passes it.
    ASSERT_EQ(reader.open("bomb.zip", true), 0);
    reader.set_budget(5 << 20);
    std::string out;
    EXPECT_EQ(reader.read(reader.find("three.xml"), out, kNoCap), 0);
    EXPECT_EQ(reader.read(reader.find("three.xml"), out, kNoCap), kLimit);
    ASSERT_EQ(reader.open("bomb.zip", true), 0);
    EXPECT_EQ(reader.read(reader.find("three.xml"), out, kNoCap), 0) << "a new archive starts a new total";
}

TEST_F(ZipReaderTest, EntryCountAndNameLengthLimits) {
    set_zip_route(0);
    auto many = [](const char *name, std::size_t count) {
        ZipPackageWriter writer;
        ASSERT_EQ(writer.open(name), 0);
        ZipEntryInfo e;
        e.method = 0;
        for (std::size_t i = 0; i < count; ++i) {
            e.name = std::to_string(i);
            ASSERT_EQ(writer.copy_entry(e, ""), 0);
        }
        ASSERT_EQ(writer.close(), 0);
    };
    many("most.zip", kZipReaderMaxEntries);
    ZipPackageReader reader;
    ASSERT_EQ(reader.open("most.zip", true), 0);
    EXPECT_EQ(reader.entries().size(), kZipReaderMaxEntries);
    EXPECT_EQ(reader.find("99999"), 99999);
    mrelease("most.zip");
    many("too-many.zip", kZipReaderMaxEntries + 1);
    EXPECT_EQ(reader.open("too-many.zip", true), kLimit);
    EXPECT_TRUE(reader.entries().empty());
    mrelease("too-many.zip");

    const std::string longest = std::string(200, 'd') + "/" + std::string(kZipReaderMaxName - 201, 'f');
    build(Route::kMemory, "names.zip", {{longest, "x"}});
    ASSERT_EQ(reader.open("names.zip", true), 0);
    EXPECT_EQ(reader.find(longest), 0);
    build(Route::kMemory, "names.zip", {{"short", "x"}, {longest + "g", "x"}});
    EXPECT_EQ(reader.open("names.zip", true), kLimit);
}

TEST_F(ZipReaderTest, WhatIsNoArchiveDoesNotOpen) {
    store(Route::kMemory, "noise.zip", noise(5000, 3));
    store(Route::kMemory, "zero.zip", "");
    store(Route::kMemory, "empty.zip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    store(Route::kMemory, "pk.zip", "PK");
    struct Case {
        std::string name;
        bool memory;
    };
    const Case cases[] = {{dir_ + "/missing.xlsx", false}, {dir_ + "/missing.xlsx", true}, {dir_, false},
                          {"", false},                     {"noise.zip", true},         {"zero.zip", true},
                          {"empty.zip", true},             {"pk.zip", true},
                          {std::string("a\0b", 3), true}};
    for (const Case &c : cases) {
        ZipPackageReader reader;
        EXPECT_EQ(reader.open(c.name, c.memory), kOpenError) << c.name;
        EXPECT_TRUE(reader.entries().empty());
        std::string out;
        EXPECT_EQ(reader.read(0, out, kNoCap), kBadArgument);
        EXPECT_EQ(reader.read_raw(0, out), kBadArgument);
        EXPECT_EQ(reader.find(""), -1);
    }
    // A failed open forgets the archive open before it.
    build(Route::kMemory, "good.zip", {{"a", "1"}});
    ZipPackageReader reader;
    ASSERT_EQ(reader.open("good.zip", true), 0);
    std::string out;
    EXPECT_EQ(reader.read(1, out, kNoCap), kBadArgument);
    EXPECT_EQ(reader.read(-1, out, kNoCap), kBadArgument);
    EXPECT_EQ(reader.open("noise.zip", true), kOpenError);
    EXPECT_EQ(reader.find("a"), -1);
    EXPECT_EQ(reader.read(0, out, kNoCap), kBadArgument);
}

TEST_F(ZipReaderTest, ReadersOfOneMemoryFileDoNotDisturbEachOther) {
    auto parts = sample_parts();
    build(Route::kMemory, "shared.xlsx", parts);
    ZipPackageReader first;
    ASSERT_EQ(first.open("shared.xlsx", true), 0);
    std::string out;
    {
        ZipPackageReader second;
        ASSERT_EQ(second.open("shared.xlsx", true), 0);
        for (int i = 0; i < static_cast<int>(parts.size()); ++i) {
            ASSERT_EQ(first.read(i, out, kNoCap), 0);
            EXPECT_TRUE(out == parts[static_cast<std::size_t>(i)].data);
            ASSERT_EQ(second.read(static_cast<int>(parts.size()) - 1 - i, out, kNoCap), 0);
            EXPECT_TRUE(out == parts[parts.size() - 1 - static_cast<std::size_t>(i)].data);
        }
    }
    // The second reader has closed the memory file, and someone else closes it again.
    mclose(mfind("shared.xlsx"));
    for (int i = 0; i < static_cast<int>(parts.size()); ++i) {
        ASSERT_EQ(first.read(i, out, kNoCap), 0);
        EXPECT_TRUE(out == parts[static_cast<std::size_t>(i)].data);
    }
}

TEST_F(ZipReaderTest, CorpusWorkbooksReadWithCorrectCrcs) {
    const std::string root = kCorpus;
    if (!std::filesystem::is_directory(root + "/xlsx")) GTEST_SKIP() << "no corpus at " << root;
    int zips = 0, others = 0;
    for (const auto &file : std::filesystem::directory_iterator(root + "/xlsx")) {
        const std::string path = file.path().string();
        SCOPED_TRACE(path);
        std::string head;
        ASSERT_EQ(aod_read_all(1, path, head), 0);
        const bool is_zip = head.compare(0, 2, "PK") == 0;
        for (Route route : {Route::kDisk, Route::kMemory}) {
            ZipPackageReader reader;
            int rc = reader.open(path, route == Route::kMemory);
            if (!is_zip) {
                EXPECT_EQ(rc, kOpenError);
                continue;
            }
            ASSERT_EQ(rc, 0);
            ASSERT_FALSE(reader.entries().empty());
            EXPECT_GE(reader.find("[Content_Types].xml"), 0);
            std::string out;
            for (int i = 0; i < static_cast<int>(reader.entries().size()); ++i) {
                const ZipEntryInfo &e = reader.entries()[i];
                ASSERT_EQ(reader.read(i, out, kNoCap), 0) << e.name;
                EXPECT_EQ(out.size(), e.plain_size);
                EXPECT_EQ(crc_of(out), e.crc32) << e.name;
                // A name stored twice (one workbook has that) finds its first entry.
                const int found = reader.find(e.name);
                EXPECT_LE(found, i);
                EXPECT_EQ(reader.entries()[static_cast<std::size_t>(found)].name, e.name);
            }
        }
        (is_zip ? zips : others) += 1;
    }
    EXPECT_GT(zips, 40);
    EXPECT_GT(others, 0);

    for (const auto &file : std::filesystem::directory_iterator(root + "/broken")) {
        SCOPED_TRACE(file.path().string());
        ZipPackageReader reader;
        reader.set_budget(64 << 20);
        int rc = reader.open(file.path().string(), false);
        EXPECT_TRUE(rc == 0 || rc == kOpenError || rc == kLimit) << rc;
        std::string out;
        for (int i = 0; rc == 0 && i < static_cast<int>(reader.entries().size()); ++i) {
            int got = reader.read(i, out, 16 << 20);
            EXPECT_TRUE(got == 0 || got == kReadError || got == kUnsupported || got == kLimit) << got;
        }
    }
}

}  // namespace
}  // namespace tabsmith
