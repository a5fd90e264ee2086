// Fuzz target: the package archive reader over arbitrary bytes in a memory file. Every entry is
// read and read raw under a small budget; what reads cleanly is copied verbatim into a new
// archive, which must then read back entry for entry with the same contents.

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "support/mfile.h"
#include "support/package_path.h"
#include "support/results.h"
#include "support/zip_archive.h"
#include "support/zip_reader.h"

using namespace tabsmith;

namespace {

constexpr std::uint64_t kEntryMax = 16ULL << 20;

[[noreturn]] void fail(const std::string &what, int entry, int rc = 0) {
    std::fprintf(stderr, "\n== zip reader check failed: %s (entry %d, code %d)\n", what.c_str(), entry, rc);
    std::abort();
}

auto fields(const ZipEntryInfo &e) { return std::tie(e.name, e.method, e.crc32, e.packed_size, e.plain_size, e.dos_time, e.utf8_name); }

void check_archive() {
    ZipPackageReader reader, copy;
    reader.set_budget(64ULL << 20);
    if (const int rc = reader.open("fuzz.zip", true); rc != 0) {
        if ((rc != kOpenError && rc != kLimit) || !reader.entries().empty()) fail("a refused open", -1, rc);
        return;
    }
    set_zip_route(0);
    ZipPackageWriter writer;
    if (writer.open("copy.zip") != 0) fail("the copy cannot be created", -1);
    std::vector<std::pair<ZipEntryInfo, std::string>> copied;
    std::string out, raw;
    for (int i = 0; i < static_cast<int>(reader.entries().size()); ++i) {
        const ZipEntryInfo &entry = reader.entries()[static_cast<std::size_t>(i)];
        const int found = reader.find(entry.name);
        if (found < 0 || found > i || reader.entries()[static_cast<std::size_t>(found)].name != entry.name) fail("find()", i);
        const int rc = reader.read(i, out, kEntryMax);
        const auto crc = static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef *>(out.data()), out.size()));
        if (rc == 0 && (out.size() != entry.plain_size || crc != entry.crc32)) fail("read without its declared size or CRC", i);
        if (rc != 0 && ((rc != kReadError && rc != kUnsupported && rc != kLimit && rc != kNoMemory) || !out.empty()))
            fail("a refused read", i, rc);
        const int raw_rc = reader.read_raw(i, raw);
        if (raw_rc == 0 && raw.size() != entry.packed_size) fail("raw read without the packed size", i);
        if (raw_rc != 0 && raw_rc != kReadError && raw_rc != kNoMemory) fail("read_raw", i, raw_rc);
        if (rc != 0 || raw_rc != 0 || !zip_entry_name_safe(entry.name)) continue;
        if (writer.copy_entry(entry, raw) != 0) fail("read cleanly but does not copy", i);
        copied.emplace_back(entry, std::move(out));
        out.clear();
    }
    if (writer.close() != 0) fail("the copy does not close", -1);
    if (copied.empty()) return;
    if (copy.open("copy.zip", true) != 0 || copy.entries().size() != copied.size()) fail("the copy's entries", -1);
    for (std::size_t i = 0; i < copied.size(); ++i)
        if (fields(copy.entries()[i]) != fields(copied[i].first) || copy.read(static_cast<int>(i), out, kEntryMax) != 0 ||
            out != copied[i].second)
            fail("the copy differs", static_cast<int>(i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    MFile *input = mopen("fuzz.zip", "wb");
    if (!input || (size > 0 && mwrite(data, 1, size, input) != size)) fail("the input does not fit a memory file", -1);
    mclose(input);
    check_archive();
    mclose_all();
    return 0;
}
