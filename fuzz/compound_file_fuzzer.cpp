// Fuzz target: the compound-file reader. Any bytes either open or are refused; an open file's
// directory links stay inside it, every stream reads exactly its size or is refused, and every
// storage's children are listed once each.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/compound_file.h"
#include "support/results.h"

using namespace tabsmith;

namespace {

[[noreturn]] void fail(const char *what, std::size_t index) {
    std::fprintf(stderr, "\n== compound file check failed: %s (entry %zu)\n", what, index);
    std::abort();
}

bool valid_link(std::int32_t link, std::size_t count) { return link == -1 || (link >= 0 && std::size_t(link) < count); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    CompoundFile file;
    int rc = file.open(std::string(reinterpret_cast<const char *>(data), size));
    if (rc != 0) {
        if (rc != kReadError && rc != kNoMemory) fail("open result", 0);
        if (!file.entries().empty()) fail("entries after a refused open", 0);
        return 0;
    }
    const auto &entries = file.entries();
    if (entries.empty() || entries[0].type != kCompoundRoot) fail("no root entry", 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const CompoundEntry &entry = entries[i];
        if (!valid_link(entry.left, entries.size()) || !valid_link(entry.right, entries.size()) ||
            !valid_link(entry.child, entries.size()))
            fail("link outside the directory", i);
        std::string out;
        int read = file.read_stream(static_cast<int>(i), out);
        if (read == 0) {
            if (entry.type != kCompoundStream) fail("read of a non-stream", i);
            if (out.size() != entry.size) fail("stream size", i);
            if (out.size() > size) fail("stream larger than the file", i);
        } else if (read == kBadArgument) {
            if (entry.type == kCompoundStream) fail("stream refused as no stream", i);
        } else if (read != kReadError && read != kNoMemory) {
            fail("read result", i);
        } else if (!out.empty()) {
            fail("bytes left after a refused read", i);
        }
        std::vector<int> kids = file.children(static_cast<int>(i));
        std::vector<bool> seen(entries.size());
        for (int kid : kids) {
            if (kid < 0 || std::size_t(kid) >= entries.size() || std::size_t(kid) == i) fail("child index", i);
            if (seen[kid]) fail("child listed twice", i);
            seen[kid] = true;
        }
    }
    file.find_top("Workbook");
    file.find_top("EncryptedPackage");
    return 0;
}
