// The package archive reader and the writer's verbatim entry copy (round trips on both routes,
// damaged, cut and bomb archives, limits, other makers' archives), and the names inside a package.

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <functional>
#include <random>
#include <tuple>

#include "common/file_checks.h"
#include "common/fixtures.h"
#include "common/package_reader.h"
#include "support/package_path.h"
#include "support/zip_archive.h"

namespace tabsmith {
namespace {

constexpr std::uint64_t kNoCap = ~0ULL;
enum class Route { kDisk, kMemory };

std::string noise(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(size, '\0');
    return std::generate(out.begin(), out.end(), [&] { return static_cast<char>(gen()); }), out;
}
std::uint32_t crc_of(std::string_view data, std::uint32_t crc = 0) {
    return static_cast<std::uint32_t>(crc32_z(crc, reinterpret_cast<const Bytef *>(data.data()), data.size()));
}
// Raw deflate; Z_FULL_FLUSH leaves the stream open on an empty window, so that copies can be joined.
std::string raw_deflate(std::string_view plain, int flush = Z_FINISH) {
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&zs, plain.size()) + 64, '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(plain.data())), zs.avail_in = static_cast<uInt>(plain.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data()), zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, flush), flush == Z_FINISH ? Z_STREAM_END : Z_OK);
    return out.resize(zs.total_out), deflateEnd(&zs), out;
}
// Entry `index` read as a stream in pieces of `piece` bytes: read()'s code, and the data in `out`
// (empty on a failure).
int read_streamed(ZipPackageReader &reader, int index, std::string &out, std::uint64_t max_bytes, std::size_t piece = 1000) {
    ZipEntryStream stream;
    out.clear();
    int rc = reader.open_stream(index, stream, max_bytes);
    for (bool done = false; rc == 0 && !done;) rc = stream.read(out, piece, done);
    if (rc != 0) out.clear();
    return rc;
}
// Little-endian fields of a built archive.
std::uint32_t get(const std::string &b, std::size_t at, int width = 4) {
    std::uint32_t v = 0;
    while (width-- > 0) v = v << 8 | static_cast<unsigned char>(b[at + width]);
    return v;
}
void put(std::string &b, std::size_t at, std::uint32_t v, int width = 4) { for (int i = 0; i < width; ++i) b[at + i] = static_cast<char>(v >> (8 * i)); }

struct Part {
    std::string name, data;
    bool stored = false;
    std::uint32_t dos_time = 0x5A8B6B2Du;  // 2025-04-11 13:25:26, what stored parts are stamped with
};
std::vector<Part> sample_parts() {
    std::string xml = "<?xml version=\"1.0\"?><sheetData>";
    for (int r = 1; r <= 400; ++r) xml += "<row r=\"" + std::to_string(r) + "\"><c><v>" + std::to_string(r * 37) + "</v></c></row>";
    return {{"[Content_Types].xml", "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
            {"xl/worksheets/sheet1.xml", xml + "</sheetData>"}, {"xl/media/image1.png", noise(50000, 5), true},
            {"docProps/empty.xml", ""}, {"xl/empty-stored.bin", "", true, 0},
            {"xl/worksheets/\xE3\x82\xB7\xE3\x83\xBC\xE3\x83\x88 1.xml", "<sheet name=\"\xE5\xA3\xB2\xE4\xB8\x8A\"/>"}};
}

class ZipReaderTest : public ::testing::Test {
protected:
    void SetUp() override { mclose_all(), saved_route_ = zip_route(); }
    void TearDown() override { set_zip_route(saved_route_), mclose_all(); }
    std::string place(Route route, const std::string &base) const { return route == Route::kDisk ? folder / base : base; }
    void store(Route route, const std::string &base, const std::string &bytes) const {
        EXPECT_EQ(route == Route::kDisk ? (folder.write(base, bytes), 0) : TXLS_memory_put(base.c_str(), bytes.data(), static_cast<long>(bytes.size())), 0);
    }
    static std::string load(Route route, const std::string &where) {
        return route == Route::kDisk ? testing::contents(where) : std::string(mdata(mfind(where)));
    }
    // Deflated parts as the save path writes them, stored parts through copy_entry.
    static void build(Route route, const std::string &where, const std::vector<Part> &parts) {
        set_zip_route(route == Route::kDisk ? 1 : 0);
        ZipPackageWriter writer;
        ASSERT_EQ(writer.open(where), 0);
        for (const Part &p : parts) {
            ZipEntryInfo info;
            info.name = p.name, info.crc32 = crc_of(p.data), info.dos_time = p.dos_time;
            info.packed_size = info.plain_size = p.data.size();
            const std::string packed = raw_deflate(p.data);
            if (p.stored) ASSERT_EQ(writer.copy_entry(info, p.data), 0) << p.name;
            else ASSERT_TRUE(writer.begin_entry(p.name, false) == 0 && writer.write_raw(packed.data(), packed.size()) == 0 &&
                             writer.end_entry(p.data.size(), info.crc32) == 0) << p.name;
        }
        ASSERT_EQ(writer.close(), 0);
    }
    // Every entry of `from` copied to `to` through read_raw and copy_entry: the same entries with
    // the same stored bytes and contents (each read checks its CRC), and a copy minizip reads whole.
    void copy_and_compare(Route from_route, const std::string &from, Route to_route, const std::string &to) {
        ZipPackageReader source, copy;
        ASSERT_EQ(source.open(from, from_route == Route::kMemory), 0);
        set_zip_route(to_route == Route::kDisk ? 1 : 0);
        ZipPackageWriter writer;
        ASSERT_EQ(writer.open(to), 0);
        std::string x, y;
        for (int i = 0; i < static_cast<int>(source.entries().size()); ++i)
            ASSERT_TRUE(source.read_raw(i, x) == 0 && writer.copy_entry(source.entries()[i], x) == 0) << source.entries()[i].name;
        ASSERT_EQ(writer.close(), 0);
        EXPECT_EQ(testing::read_package(load(to_route, to)).failure, "");
        ASSERT_EQ(copy.open(to, to_route == Route::kMemory), 0);
        ASSERT_EQ(copy.entries().size(), source.entries().size());
        for (int i = 0; i < static_cast<int>(copy.entries().size()); ++i) {
            const ZipEntryInfo &s = source.entries()[i], &c = copy.entries()[i];
            EXPECT_EQ(std::tie(c.name, c.method, c.crc32, c.packed_size, c.plain_size, c.dos_time, c.utf8_name),
                      std::tie(s.name, s.method, s.crc32, s.packed_size, s.plain_size, s.dos_time, s.utf8_name));
            EXPECT_TRUE(source.read_raw(i, x) == 0 && copy.read_raw(i, y) == 0 && x == y) << s.name;
            EXPECT_TRUE(source.read(i, x, kNoCap) == 0 && copy.read(i, y, kNoCap) == 0 && x == y) << s.name;
        }
    }

    testing::TempFolder folder;
    int saved_route_ = -1;
};

class ZipReaderRouteTest : public ZipReaderTest, public ::testing::WithParamInterface<Route> {};
INSTANTIATE_TEST_SUITE_P(Routes, ZipReaderRouteTest, ::testing::Values(Route::kDisk, Route::kMemory),
                         [](const auto &info) { return info.param == Route::kDisk ? "disk" : "memory"; });

TEST_P(ZipReaderRouteTest, RoundTripThroughThePackageWriter) {
    const Route route = GetParam();
    const auto parts = sample_parts();
    const std::string where = place(route, "round.xlsx");
    build(route, where, parts);
    EXPECT_EQ(testing::read_package(load(route, where)).failure, "");
    set_zip_route(route == Route::kDisk ? 0 : 1);  // the reader keeps the route it was opened with
    ZipPackageReader reader;
    ASSERT_EQ(reader.open(where, route == Route::kMemory), 0);
    ASSERT_EQ(reader.entries().size(), parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Part &p = parts[i];
        const ZipEntryInfo &e = reader.entries()[i];
        EXPECT_EQ(std::tuple(e.name, e.method, e.crc32, e.plain_size, e.encrypted),
                  std::tuple(p.name, p.stored ? 0 : 8, crc_of(p.data), p.data.size(), false));
        if (p.stored) { EXPECT_EQ(std::tuple(e.packed_size, e.dos_time), std::tuple(p.data.size(), p.dos_time)); }
        EXPECT_EQ(reader.find(p.name), static_cast<int>(i));
        std::string out = "previous contents";
        ASSERT_EQ(reader.read(static_cast<int>(i), out, p.data.size()), 0);
        EXPECT_TRUE(out == p.data) << p.name;
        ASSERT_EQ(reader.read_raw(static_cast<int>(i), out), 0);
        EXPECT_TRUE(out == (p.stored ? p.data : raw_deflate(p.data))) << p.name;
    }
    for (const char *absent : {"", "XL/WORKSHEETS/SHEET1.XML", "xl/worksheets/sheet1.xml ", "/xl/worksheets/sheet1.xml",
                               "xl\\worksheets\\sheet1.xml", "xl/worksheets/sheet"})
        EXPECT_EQ(reader.find(absent), -1) << absent;
    for (Route to : {Route::kDisk, Route::kMemory}) copy_and_compare(route, where, to, place(to, "copy.xlsx"));
}

TEST_P(ZipReaderRouteTest, DamagedArchivesFailWithTheirCode) {
    const Route route = GetParam();
    const std::string text = "<sheetData>" + std::string(3000, 'x') + "</sheetData>";
    const std::vector<Part> parts = {{"deflated.xml", text}, {"stored.bin", noise(3000, 9), true}};
    build(route, place(route, "base.zip"), parts);
    const std::string base = load(route, place(route, "base.zip"));
    const std::size_t c0 = get(base, base.size() - 6);  // the directory's offset in the end record
    const std::size_t central[2] = {c0, c0 + 46 + get(base, c0 + 28, 2) + get(base, c0 + 30, 2) + get(base, c0 + 32, 2)};
    const std::size_t local[2] = {get(base, central[0] + 42), get(base, central[1] + 42)};
    // A field of entry `e` in its central header (flags 8, method 10, CRC 16, packed size 20,
    // plain size 24) and the same field two bytes earlier in its local header.
    auto both = [&](int e, std::size_t field, std::uint32_t v, int width = 4) {
        return [=](std::string &b) { put(b, central[e] + field, v, width), put(b, local[e] + field - 2, v, width); };
    };
    auto data_byte = [&](int e, std::size_t at, int flip) {
        return [=](std::string &b) { b[local[e] + 30 + get(b, local[e] + 26, 2) + at] ^= static_cast<char>(flip); };
    };
    auto cut = [](std::size_t bytes) { return [=](std::string &b) { b.resize(b.size() - bytes); }; };
    auto replace = [](std::string bytes) { return [=](std::string &b) { b = bytes; }; };
    const std::uint32_t crc = get(base, central[0] + 16), packed = get(base, central[0] + 20);
    struct Case {
        std::string what;
        std::function<void(std::string &)> edit;
        int open_rc = 0, entry = 0, read_rc = 0, raw_rc = 0, other_rc = 0;
    };
    std::vector<Case> cases = {
        {"CRC of deflated data", both(0, 16, crc ^ 1), 0, 0, kReadError},
        {"CRC of stored data", both(1, 16, crc_of(parts[1].data) + 1), 0, 1, kReadError},
        {"CRC in the directory only", [&](std::string &b) { put(b, central[0] + 16, crc ^ 8); }, 0, 0, kReadError, kReadError},
        {"a byte of deflated data", data_byte(0, 2, 0x40), 0, 0, kReadError},
        {"a byte of stored data", data_byte(1, 1000, 1), 0, 1, kReadError},
        {"plain size declared larger", both(0, 24, text.size() + 100), 0, 0, kReadError},
        {"plain size declared smaller", both(0, 24, text.size() - 1), 0, 0, kReadError},
        {"plain size no deflate stream reaches", both(0, 24, 0x7FFFFFFF), 0, 0, kReadError},
        {"packed size past the archive's end", [&](std::string &b) { both(1, 20, 0x7FFFFFFF)(b), both(1, 24, 0x7FFFFFFF)(b); }, 0, 1, kReadError, kReadError},
        // The stream ends where it ends and the CRC vouches for the rest: bytes after it are no harm.
        {"packed size reaching into the next entry", both(0, 20, packed + 40)},
        {"stored sizes that differ", both(1, 24, 2999), 0, 1, kReadError},
        {"method 12", both(0, 10, 12, 2), 0, 0, kUnsupported},
        {"method 99", both(1, 10, 99, 2), 0, 1, kUnsupported},
        {"method in the directory only", [&](std::string &b) { put(b, central[1] + 10, 8, 2); }, 0, 1, kReadError, kReadError},
        {"encrypted", both(0, 8, 1, 2), 0, 0, kUnsupported},
        // The local header must repeat what the directory says.
        {"CRC in the local header only", [&](std::string &b) { put(b, local[0] + 14, crc ^ 8); }, 0, 0, kReadError, kReadError},
        {"packed size in the local header only", [&](std::string &b) { put(b, local[1] + 18, 5); }, 0, 1, kReadError, kReadError},
        {"name in the local header only", [&](std::string &b) { b[local[0] + 30] ^= 1; }, 0, 0, kReadError, kReadError},
        {"name length in the local header only", [&](std::string &b) { put(b, local[0] + 26, 11, 2); }, 0, 0, kReadError, kReadError},
        {"second central header's signature", [&](std::string &b) { put(b, central[1], 0); }, kOpenError},
        {"a comment length that leads past the end", [&](std::string &b) { put(b, central[0] + 32, 0xFFFF, 2); }, kOpenError},
        {"data before the directory zeroed", [&](std::string &b) { std::fill_n(b.begin(), central[0], '\0'); }, 0, 0, kReadError, kReadError, kReadError},
        {"end record cut by 21 bytes", cut(21), kOpenError}, {"end record cut by 23 bytes", cut(23), kOpenError},
        {"high byte of the comment length cut", cut(1)},  // read as the byte before it: nothing lost
        {"noise", replace(noise(5000, 3)), kOpenError}, {"PK", replace("PK"), kOpenError},
        {"an end record alone", replace(std::string("PK\5\6") + std::string(18, '\0')), kOpenError},
    };
    for (std::size_t at = 0; at < base.size(); at += base.size() / 31 + 1)
        cases.push_back({"cut at " + std::to_string(at), [at](std::string &b) { b.resize(at); }, kOpenError});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = base, out = "previous";
        c.edit(bytes);
        store(route, "damaged.zip", bytes);
        ZipPackageReader reader;
        ASSERT_EQ(reader.open(place(route, "damaged.zip"), route == Route::kMemory), c.open_rc);
        if (c.open_rc != 0) {
            EXPECT_TRUE(reader.entries().empty());
            EXPECT_EQ(std::tuple(reader.read(0, out, kNoCap), reader.read_raw(0, out), reader.find("")),
                      std::tuple(kBadArgument, kBadArgument, -1));
            continue;
        }
        EXPECT_EQ(reader.read(c.entry, out, kNoCap), c.read_rc);
        EXPECT_EQ(out.empty(), c.read_rc != 0);
        // Read as a stream in small pieces, the entry gives the same answer and the same data.
        std::string streamed;
        EXPECT_EQ(read_streamed(reader, c.entry, streamed, kNoCap), c.read_rc);
        EXPECT_TRUE(streamed == out);
        EXPECT_EQ(reader.read_raw(c.entry, out), c.raw_rc);
        // The other entry is untouched and still reads (unless the damage took it too).
        const std::size_t other = 1 - static_cast<std::size_t>(c.entry);
        EXPECT_EQ(reader.read(static_cast<int>(other), out, kNoCap), c.other_rc);
        EXPECT_TRUE(out == (c.other_rc ? "" : parts[other].data));
    }
}

TEST_F(ZipReaderTest, CopyEntryRefusesWhatItCannotCopyFaithfully) {
    set_zip_route(0);
    ZipPackageWriter writer;
    ZipEntryInfo fine;
    fine.name = "xl/a.xml", fine.crc32 = crc_of("abc"), fine.packed_size = fine.plain_size = 3;
    EXPECT_EQ(writer.copy_entry(fine, "abc"), kOpenError) << "no archive open";
    ASSERT_EQ(writer.open("refused.zip"), 0);
    const std::tuple<const char *, void (*)(ZipEntryInfo &), std::string> cases[] = {
        {"unsafe name", [](ZipEntryInfo &e) { e.name = "../a.xml"; }, "abc"},
        {"absolute name", [](ZipEntryInfo &e) { e.name = "/a.xml"; }, "abc"},
        {"encrypted", [](ZipEntryInfo &e) { e.encrypted = true; }, "abc"},
        {"raw bytes shorter than packed_size", [](ZipEntryInfo &) {}, "ab"},
        {"stored with different sizes", [](ZipEntryInfo &e) { e.plain_size = 4; }, "abc"},
    };
    for (const auto &[why, edit, raw] : cases) {
        ZipEntryInfo e = fine;
        edit(e);
        EXPECT_EQ(writer.copy_entry(e, raw), kOpenError) << why;
    }
    ASSERT_EQ(writer.copy_entry(fine, "abc"), 0);
    ZipEntryInfo deflate64 = fine;  // a method the engine cannot inflate still copies through
    deflate64.name = "xl/media/big.bin", deflate64.method = 9, deflate64.packed_size = 2;
    ASSERT_EQ(writer.copy_entry(deflate64, "xy"), 0);
    ASSERT_EQ(writer.close(), 0);
    ZipPackageReader reader;
    ASSERT_EQ(reader.open("refused.zip", true), 0);
    ASSERT_EQ(reader.entries().size(), 2u) << "a refused copy leaves no entry behind";
    std::string out;
    EXPECT_TRUE(reader.read(0, out, 3) == 0 && out == "abc");
    EXPECT_EQ(reader.entries()[1].method, 9);
    EXPECT_EQ(reader.read(1, out, 3), kUnsupported);
    EXPECT_TRUE(reader.read_raw(1, out) == 0 && out == "xy");
}

TEST_F(ZipReaderTest, ZipBombsStopAtTheirDeclaredSize) {
    // 200 MiB of zeros in about 200 KiB: one deflated MiB repeated, then an empty final block.
    std::string mib = raw_deflate(std::string(1 << 20, '\0'), Z_FULL_FLUSH), bomb, three;
    std::uint32_t crc200 = 0, crc10 = 0;
    for (int i = 0; i < 200; ++i) bomb += mib, crc200 = crc_of(std::string(1 << 20, '\0'), crc200), crc10 = i < 10 ? crc200 : crc10, three += i < 3 ? mib : "";
    bomb += std::string("\3\0", 2), three += std::string("\3\0", 2);
    ASSERT_LT(bomb.size(), 300u * 1024);
    set_zip_route(0);
    ZipPackageWriter writer;
    ASSERT_EQ(writer.open("bomb.zip"), 0);
    const std::tuple<const char *, const std::string &, std::uint64_t, std::uint32_t> entries[] = {
        {"honest.xml", bomb, 200 << 20, crc200}, {"claims-1KiB.xml", bomb, 1024, crc_of(std::string(1024, '\0'))},
        {"claims-10MiB.xml", bomb, 10 << 20, crc10}, {"three.xml", three, 3 << 20, crc_of(std::string(3 << 20, '\0'))}};
    for (const auto &[name, packed, plain, crc] : entries)
        ASSERT_TRUE(writer.begin_entry(name, false) == 0 && writer.write_raw(packed.data(), packed.size()) == 0 &&
                    writer.end_entry(plain, crc) == 0);
    ASSERT_EQ(writer.close(), 0);
    ZipPackageReader reader;
    const std::tuple<const char *, std::uint64_t, std::uint64_t, const char *, int> cases[] = {
        {"over max_bytes", kZipReaderDefaultBudget, 1 << 20, "honest.xml", kLimit},
        {"over the budget", 1 << 20, kNoCap, "honest.xml", kLimit},
        {"declared small, inflates to more", kZipReaderDefaultBudget, kNoCap, "claims-1KiB.xml", kReadError},
        {"declared 10 MiB, inflates to more", kZipReaderDefaultBudget, kNoCap, "claims-10MiB.xml", kReadError},
        {"within both", 4 << 20, 3 << 20, "three.xml", 0},
    };
    std::string out;
    for (const auto &[what, budget, max_bytes, entry, rc] : cases) {
        ASSERT_EQ(reader.open("bomb.zip", true), 0);
        reader.set_budget(budget);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(reader.read(reader.find(entry), out, max_bytes), rc) << what;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2)) << what;
        EXPECT_LE(out.capacity(), std::size_t{10} << 20 | 0xFFFF) << what;
        ASSERT_EQ(reader.open("bomb.zip", true), 0);
        reader.set_budget(budget);
        std::string streamed;
        EXPECT_EQ(read_streamed(reader, reader.find(entry), streamed, max_bytes, 1 << 16), rc) << what << ", as a stream";
    }
    // The budget is a running total: the second read of the same entry passes it.
    reader.set_budget(5 << 20);
    EXPECT_EQ(reader.read(reader.find("three.xml"), out, kNoCap), kLimit);
    ASSERT_EQ(reader.open("bomb.zip", true), 0);
    EXPECT_EQ(reader.read(reader.find("three.xml"), out, kNoCap), 0) << "a new archive starts a new total";
}

TEST_F(ZipReaderTest, EntryCountAndNameLengthLimitsAndNamesOfNoArchive) {
    set_zip_route(0);
    ZipPackageReader reader;
    for (std::size_t count : {kZipReaderMaxEntries, kZipReaderMaxEntries + 1}) {
        ZipPackageWriter writer;
        ASSERT_EQ(writer.open("many.zip"), 0);
        ZipEntryInfo e;
        for (std::size_t i = 0; i < count; ++i) ASSERT_EQ((e.name = std::to_string(i), writer.copy_entry(e, "")), 0);
        ASSERT_EQ(writer.close(), 0);
        EXPECT_EQ(reader.open("many.zip", true), count > kZipReaderMaxEntries ? kLimit : 0);
        EXPECT_EQ(reader.entries().size(), count > kZipReaderMaxEntries ? 0 : count);
        EXPECT_EQ(reader.find("99999"), count > kZipReaderMaxEntries ? -1 : 99999);
        mrelease("many.zip");
    }
    const std::string longest = std::string(200, 'd') + "/" + std::string(kZipReaderMaxName - 201, 'f');
    build(Route::kMemory, "names.zip", {{longest, "x"}});
    ASSERT_EQ(reader.open("names.zip", true), 0);
    EXPECT_EQ(reader.find(longest), 0);
    build(Route::kMemory, "names.zip", {{"short", "x"}, {longest + "g", "x"}});
    EXPECT_EQ(reader.open("names.zip", true), kLimit);

    // A name that is no archive fails, and the archive open before is forgotten.
    build(Route::kMemory, "good.zip", {{"a", "1"}});
    std::string out;
    const std::pair<std::string, bool> names[] = {{folder / "missing.xlsx", false}, {folder / "missing.xlsx", true},
                                                  {folder.path(), false}, {"", false}, {std::string("a\0b", 3), true}};
    for (const auto &[name, memory] : names) {
        ASSERT_EQ(reader.open("good.zip", true), 0);
        EXPECT_EQ(reader.read(1, out, kNoCap), kBadArgument);
        EXPECT_EQ(reader.read(-1, out, kNoCap), kBadArgument);
        EXPECT_EQ(reader.open(name, memory), kOpenError) << name;
        EXPECT_EQ(std::tuple(reader.entries().size(), reader.find("a"), reader.read(0, out, kNoCap)),
                  std::tuple(0u, -1, kBadArgument));
    }
}

TEST(PackagePath, EntryNames) {
    const std::pair<std::string, bool> cases[] = {
        {"xl/workbook.xml", true}, {"[Content_Types].xml", true}, {"xl/worksheets/_rels/sheet1.xml.rels", true},
        {"xl/media/", true}, {"a..b/..c/c..", true}, {"./x", true}, {"\xE3\x82\xB7\xE3\x83\xBC\xE3\x83\x88.xml", true},
        {"1:2.xml", true}, {"xl/C:/x", true}, {std::string(0xFFFF, 'n'), true}, {std::string(0x10000, 'n'), false},
        {"", false}, {"/xl/workbook.xml", false}, {"\\xl\\workbook.xml", false}, {"xl\\workbook.xml", false},
        {"C:", false}, {"c:/windows/x.xml", false}, {"Z:x", false}, {"..", false}, {"../x", false},
        {"xl/../../x", false}, {"xl/..", false}, {"xl/../", false}, {std::string("xl/a\0b.xml", 10), false},
        {"xl/a\nb.xml", false}, {"xl/a\tb.xml", false}, {"xl/\x1f", false}, {"xl/\x7f", false},
    };
    for (const auto &[name, safe] : cases) EXPECT_EQ(zip_entry_name_safe(name), safe) << '"' << name << '"';
}

TEST(PackagePath, RelationshipTargets) {
    const char *const wb = "xl/workbook.xml";
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {wb, "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"}, {"", "xl/workbook.xml", "xl/workbook.xml"},
        {"workbook.xml", "sheet.xml", "sheet.xml"}, {wb, "/xl/calcChain.xml", "xl/calcChain.xml"},
        {wb, "\\xl\\styles.xml", "xl/styles.xml"}, {wb, "worksheets\\sheet1.xml", "xl/worksheets/sheet1.xml"},
        {wb, "../customXml/item1.xml", "customXml/item1.xml"},
        {"xl/worksheets/sheet1.xml", "./../drawings/./drawing1.xml", "xl/drawings/drawing1.xml"},
        {wb, "worksheets//sheet1.xml", "xl/worksheets/sheet1.xml"}, {wb, "a&b.xml", "xl/a&b.xml"},
        {wb, "sheet%201.xml", "xl/sheet 1.xml"}, {wb, "100%.xml", "xl/100%.xml"}, {wb, "a%2Fb.xml", "xl/a/b.xml"},
        {wb, "%2E%2E/x.xml", "x.xml"},
        // Nothing leads above the root, through a scheme, or to a name no package may hold.
        {wb, "../../x.xml", ""}, {wb, "..\\..\\x.xml", ""}, {"", "../x.xml", ""}, {wb, "/../x.xml", ""},
        {wb, "http://example.com/x.xml", ""}, {wb, "C:/x.xml", ""}, {wb, "a%00b.xml", ""}, {wb, "a\nb.xml", ""},
        {wb, "", ""}, {wb, "/", ""},
    };
    for (const auto &[source, target, part] : cases) EXPECT_EQ(resolve_part_target(source, target), part) << source << " -> " << target;
    // The targets a writer gives parts lead back to them.
    const std::tuple<const char *, const char *, const char *> given[] = {
        {wb, "xl/worksheets/sheet3.xml", "worksheets/sheet3.xml"}, {wb, "XL/sharedStrings.xml", "sharedStrings.xml"},
        {wb, "xlsx/sheet.xml", "/xlsx/sheet.xml"}, {wb, "xl/100%.xml", "100%25.xml"}, {"workbook.xml", "sheet.xml", "sheet.xml"},
        {"", "xl/workbook.xml", "xl/workbook.xml"},
    };
    for (const auto &[source, part, target] : given) {
        EXPECT_EQ(part_target(source, part), target) << part;
        EXPECT_TRUE(same_part_name(resolve_part_target(source, target), part)) << part;
    }
}

TEST(PackagePath, RelationshipPartNames) {
    const std::pair<const char *, const char *> cases[] = {
        {"xl/workbook.xml", "xl/_rels/workbook.xml.rels"}, {"xl/worksheets/sheet1.xml", "xl/worksheets/_rels/sheet1.xml.rels"},
        {"workbook.xml", "_rels/workbook.xml.rels"}, {"", "_rels/.rels"},
    };
    std::string source;
    for (auto [part, rels] : cases) {
        EXPECT_EQ(relationships_part_name(part), rels);
        EXPECT_TRUE(relationships_source(rels, source) && source == part) << rels;
    }
    for (const char *other : {"xl/workbook.xml", "xl/_rels/a/b.rels", "xl/x_rels/a.rels", "_rels/a.xml"})
        EXPECT_FALSE(relationships_source(other, source)) << other;
}

}  // namespace
}  // namespace tabsmith
