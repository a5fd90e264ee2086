// Fuzz target: the package archive reader over arbitrary bytes in a memory file. Every entry is
// read and read raw under a small budget; what reads cleanly is copied verbatim into a new
// archive, which must then read back entry for entry with the same contents.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <zlib.h>

#include "support/mfile.h"
#include "support/results.h"
#include "support/zip_archive.h"
#include "support/package_path.h"
#include "support/zip_reader.h"

using namespace tabsmith;

namespace {

constexpr std::uint64_t kBudget = 64ULL << 20;
constexpr std::uint64_t kEntryMax = 16ULL << 20;

[[noreturn]] void fail(const std::string &what) {
    std::fprintf(stderr, "\n== zip reader check failed: %s\n", what.c_str());
    std::abort();
}

std::uint32_t crc_of(const std::string &data) {
    return static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef *>(data.data()), data.size()));
}

bool same_entry(const ZipEntryInfo &a, const ZipEntryInfo &b) {
    return a.name == b.name && a.method == b.method && a.crc32 == b.crc32 && a.packed_size == b.packed_size &&
           a.plain_size == b.plain_size && a.dos_time == b.dos_time && a.utf8_name == b.utf8_name;
}

void check_archive() {
    ZipPackageReader reader;
    reader.set_budget(kBudget);
    int rc = reader.open("fuzz.zip", true);
    if (rc != 0) {
        if (rc != kOpenError && rc != kLimit) fail("open answered " + std::to_string(rc));
        if (!reader.entries().empty()) fail("a failed open left entries behind");
        return;
    }
    set_zip_route(0);
    ZipPackageWriter writer;
    if (writer.open("copy.zip") != 0) fail("the copy cannot be created");
    std::vector<std::pair<ZipEntryInfo, std::string>> copied;
    std::string out, raw;
    for (int i = 0; i < static_cast<int>(reader.entries().size()); ++i) {
        const ZipEntryInfo &entry = reader.entries()[static_cast<std::size_t>(i)];
        const int found = reader.find(entry.name);
        if (found < 0 || found > i || reader.entries()[static_cast<std::size_t>(found)].name != entry.name)
            fail("find() misses entry " + std::to_string(i));
        rc = reader.read(i, out, kEntryMax);
        if (rc == 0 && (out.size() != entry.plain_size || crc_of(out) != entry.crc32))
            fail("entry " + std::to_string(i) + " read without its declared size or CRC");
        if (rc != 0 && rc != kReadError && rc != kUnsupported && rc != kLimit && rc != kNoMemory)
            fail("read answered " + std::to_string(rc));
        if (rc != 0 && !out.empty()) fail("a failed read left output behind");
        const int raw_rc = reader.read_raw(i, raw);
        if (raw_rc == 0 && raw.size() != entry.packed_size) fail("raw read without the packed size");
        if (raw_rc != 0 && raw_rc != kReadError && raw_rc != kNoMemory) fail("read_raw answered " + std::to_string(raw_rc));
        if (rc != 0 || raw_rc != 0 || !zip_entry_name_safe(entry.name)) continue;
        if (writer.copy_entry(entry, raw) != 0) fail("entry " + std::to_string(i) + " read cleanly but does not copy");
        copied.emplace_back(entry, std::move(out));
        out.clear();
    }
    if (writer.close() != 0) fail("the copy does not close");
    if (copied.empty()) return;

    ZipPackageReader copy;
    if (copy.open("copy.zip", true) != 0) fail("the copy does not open");
    if (copy.entries().size() != copied.size()) fail("the copy lists another number of entries");
    for (std::size_t i = 0; i < copied.size(); ++i) {
        if (!same_entry(copy.entries()[i], copied[i].first)) fail("copied entry " + std::to_string(i) + " differs");
        if (copy.read(static_cast<int>(i), out, kEntryMax) != 0 || out != copied[i].second)
            fail("copied entry " + std::to_string(i) + " reads back differently");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    MFile *input = mopen("fuzz.zip", "wb");
    if (!input) fail("no memory file for the input");
    if (size > 0 && mwrite(data, 1, size, input) != size) fail("the input does not fit a memory file");
    mclose(input);
    check_archive();
    mclose_all();
    return 0;
}
