// Fuzz target: picture headers. The first byte picks the picture type the rest is measured as
// (201 BMP .. 207 WMF); every measure must stay inside the bytes, give a positive size or none,
// and give the same answer whatever follows the header. The probe runs over the bytes too.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "image/file_type.h"
#include "image/picture_size.h"

using namespace tabsmith;

namespace {

[[noreturn]] void fail(const char *what, int type) {
    std::fprintf(stderr, "\n== picture size check failed: %s (type %d)\n", what, type);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const int type = kFileTypeBmp + data[0] % 7;
    // A copy of exactly the input's length, so that a read past it is caught.
    const std::string bytes(reinterpret_cast<const char *>(data) + 1, size - 1);

    PictureSize measured{-1, -1};
    const bool ok = measure_picture(type, bytes, measured);
    if (ok && (measured.width <= 0 || measured.height <= 0)) fail("a size that is not positive", type);
    if (!ok && (measured.width != -1 || measured.height != -1)) fail("a failed measure changed the size", type);

    // Bytes after a measured header change nothing.
    if (ok) {
        PictureSize again;
        if (!measure_picture(type, bytes + std::string(64, '\xFF'), again) || again.width != measured.width ||
            again.height != measured.height)
            fail("trailing bytes changed the size", type);
    }

    // The probe over the same bytes under a name of each picture kind.
    for (const char *name : {"p.bmp", "p.jpg", "p.png", "p.gif", "p.tif", "p.emf", "p.wmf", "p.xlsx", "p.csv"}) {
        int probed = 0;
        if (probe_named_bytes(bytes, name, probed) != 0 && probed != kFileTypeUnknown)
            fail("a failed probe left a type", probed);
        if (probed != kFileTypeUnknown && probed != kFileTypeCsv && bytes.size() < kProbeLength)
            fail("a type from fewer bytes than the probe needs", probed);
    }
    return 0;
}
