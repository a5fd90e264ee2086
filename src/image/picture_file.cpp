// Picture files read whole in one pass, into a buffer of the file's own size: a picture of
// hundreds of megabytes is held once, never in a growing buffer plus its copy.

#include "image/picture_file.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "image/file_type.h"
#include "image/picture_size.h"
#include "support/files.h"
#include "support/results.h"

namespace tabsmith {
namespace {

// Appends the rest of the file to `bytes`, which already holds what was read before.
int read_rest(std::FILE *file, std::string &bytes) {
    struct stat info {};
    if (::fstat(::fileno(file), &info) == 0 && info.st_size > 0 &&
        static_cast<std::uint64_t>(info.st_size) > bytes.size())
        bytes.reserve(static_cast<std::size_t>(info.st_size));
    for (;;) {
        const std::size_t used = bytes.size();
        if (bytes.capacity() == used) {
            // Full at the measured size: only a file that grew since needs a larger buffer.
            const int next = std::fgetc(file);
            if (next == EOF) return std::ferror(file) ? kOpenError : kOk;
            bytes.push_back(static_cast<char>(next));
            continue;
        }
        const std::size_t room = bytes.capacity() - used;
        bytes.resize(used + room);
        const std::size_t got = std::fread(bytes.data() + used, 1, room, file);
        bytes.resize(used + got);
        if (got < room) return std::ferror(file) ? kOpenError : kOk;
    }
}

}  // namespace

int load_picture_file(const std::string &path, int first_type, int last_type, PictureData &out) {
    InputFile file(open_input_file(path));
    if (!file) return kOpenError;
    try {
        std::string bytes(kProbeLength, '\0');
        bytes.resize(std::fread(bytes.data(), 1, kProbeLength, file.get()));
        if (std::ferror(file.get())) return kOpenError;
        int type = kFileTypeUnknown;
        if (int rc = probe_named_bytes(bytes, path, type); rc != kOk) return rc == kNoMemory ? kNoMemory : kUnsupported;
        if (type < first_type || type > last_type) return kUnsupported;
        if (int rc = read_rest(file.get(), bytes); rc != kOk) return rc;
        PictureSize size;
        if (!measure_picture(type, bytes, size)) return kUnsupported;
        out.type = type;
        out.width = size.width;
        out.height = size.height;
        out.bytes = std::move(bytes);
        out.source = path;
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
    return kOk;
}

}  // namespace tabsmith
