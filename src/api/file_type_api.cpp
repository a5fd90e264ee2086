// The exported file-type probe: checks the caller's pointers and hands the source to the image
// module's probe (a mode-9999 source is the caller's 16 bytes, any other a name).

#include <string_view>

#include "api/api.h"
#include "image/file_type.h"
#include "tabsmith.h"

using namespace tabsmith;

extern "C" {

int orv_file_type(int mode, const char *source, int *type) {
    if (type) *type = kFileTypeUnknown;
    if (!source || !type) return kBadArgument;
    return api_boundary(nullptr, "orv_file_type()", [&] {
        std::string_view bytes = mode == kProbeBytes ? std::string_view(source, kProbeLength) : std::string_view(source);
        return probe_file_type(mode, bytes, *type);
    });
}

}  // extern "C"
