// Fuzz target: the compound-file reader. Any bytes either open or are refused; an open file's
// directory links stay inside it, every stream reads exactly its size or is refused, and every
// storage's children are listed once each.

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "support/compound_file.h"
#include "support/results.h"

using namespace tabsmith;

[[noreturn]] static void fail(const char *what, std::size_t index) {
    std::fprintf(stderr, "\n== compound file check failed: %s (entry %zu)\n", what, index);
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    CompoundFile file;
    const int rc = file.open(std::string(reinterpret_cast<const char *>(data), size));
    if (rc != 0 && ((rc != kReadError && rc != kNoMemory) || !file.entries().empty())) fail("a refused open", 0);
    const auto &entries = file.entries();
    if (rc == 0 && (entries.empty() || entries[0].type != kCompoundRoot)) fail("no root entry", 0);
    const auto valid = [&](std::int32_t link) { return link == -1 || (link >= 0 && std::size_t(link) < entries.size()); };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const CompoundEntry &entry = entries[i];
        if (!valid(entry.left) || !valid(entry.right) || !valid(entry.child)) fail("link outside the directory", i);
        std::string out;
        const int read = file.read_stream(static_cast<int>(i), out);
        if (read == 0 && (entry.type != kCompoundStream || out.size() != entry.size || out.size() > size)) fail("a read stream", i);
        if (read == kBadArgument && entry.type == kCompoundStream) fail("stream refused as no stream", i);
        if (read != 0 && read != kBadArgument && ((read != kReadError && read != kNoMemory) || !out.empty())) fail("a refused read", i);
        std::vector<bool> seen(entries.size());
        for (int kid : file.children(static_cast<int>(i))) {
            if (kid < 0 || std::size_t(kid) >= entries.size() || std::size_t(kid) == i || seen[kid]) fail("a child listed", i);
            seen[kid] = true;
        }
    }
    file.find_top("Workbook");
    file.find_top("EncryptedPackage");
    return 0;
}
