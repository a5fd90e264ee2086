// The minizip file callbacks over POSIX files or memory files, and the writer that packs a
// package's entries into an archive under names the entry-name check lets through.

#include "support/zip_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <minizip/zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "support/datetime.h"
#include "support/package_path.h"

namespace tabsmith {
namespace {

thread_local int route_flag = -1;

// What minizip expects from a failed callback: tell answers the largest position, seek,
// close and the error test answer non-zero.
constexpr ZPOS64_T kTellFailed = static_cast<ZPOS64_T>(-1);
constexpr int kCallbackFailed = -1;

enum class OpenKind { kNone, kRead, kExisting, kCreate };

OpenKind open_kind(int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ) return OpenKind::kRead;
    if (mode & ZLIB_FILEFUNC_MODE_EXISTING) return OpenKind::kExisting;
    if (mode & ZLIB_FILEFUNC_MODE_CREATE) return OpenKind::kCreate;
    return OpenKind::kNone;
}

ZipFileHandle *as_handle(voidpf stream) { return static_cast<ZipFileHandle *>(stream); }

bool has_target(const ZipFileHandle *h) { return h && (h->on_disk ? h->fd >= 0 : h->mem != nullptr); }

// `opaque`, when set, points to a ZipOpenTarget: either the descriptor of a file the caller
// created (the archive is written there through a duplicate, so that closing the archive never
// closes the caller's file) or the route this archive takes whatever the routing flag says.
voidpf ZCALLBACK open_callback(voidpf opaque, const void *filename, int mode) {
    if (!filename) return nullptr;
    const char *name = static_cast<const char *>(filename);
    OpenKind kind = open_kind(mode);
    if (kind == OpenKind::kNone || name[0] == '\0') return nullptr;
    const auto *target = static_cast<const ZipOpenTarget *>(opaque);
    const int *given = target && target->descriptor >= 0 ? &target->descriptor : nullptr;
    bool on_disk = given || (target && target->route >= 0 ? target->route != 0 : zip_route() != 0);
    int fd = -1;
    MFile *mem = nullptr;
    if (given) {
        fd = ::fcntl(*given, F_DUPFD_CLOEXEC, 0);
        if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) {
            if (fd >= 0) ::close(fd);
            return nullptr;
        }
    } else if (on_disk) {
        int flags = kind == OpenKind::kRead ? O_RDONLY : kind == OpenKind::kExisting ? O_RDWR : O_RDWR | O_CREAT | O_TRUNC;
        fd = ::open(name, flags | O_CLOEXEC, 0666);
        if (fd < 0) return nullptr;
        struct stat st;
        // A folder opens read-only on Linux but is no archive.
        if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            ::close(fd);
            return nullptr;
        }
    } else {
        // No exception may cross minizip's frames: it would leave minizip's own allocations behind.
        try {
            mem = mopen(name, kind == OpenKind::kRead ? "rb" : kind == OpenKind::kExisting ? "r+b" : "wb");
        } catch (const std::bad_alloc &) {
            errno = ENOMEM;
            return nullptr;
        }
        if (!mem) return nullptr;
    }
    auto *handle = new (std::nothrow) ZipFileHandle;
    if (!handle) {
        if (on_disk) ::close(fd);
        else mclose(mem);
        errno = ENOMEM;   // what the opener reports after minizip's plain failure
        return nullptr;
    }
    handle->fd = fd;
    handle->mem = mem;
    handle->on_disk = on_disk;
    handle->own_cursor = !on_disk && kind == OpenKind::kRead;
    return handle;
}

uLong ZCALLBACK read_callback(voidpf, voidpf stream, void *buf, uLong size) {
    ZipFileHandle *h = as_handle(stream);
    if (!has_target(h) || !buf) return 0;
    if (h->own_cursor) {
        std::string_view data = mdata(h->mem);
        if (h->position < 0 || static_cast<std::uint64_t>(h->position) >= data.size()) return 0;
        std::size_t take = std::min<std::size_t>(size, data.size() - static_cast<std::size_t>(h->position));
        std::memcpy(buf, data.data() + h->position, take);
        h->position += static_cast<std::int64_t>(take);
        return static_cast<uLong>(take);
    }
    if (!h->on_disk) return static_cast<uLong>(mread(buf, 1, size, h->mem));
    uLong done = 0;
    while (done < size) {
        ssize_t got = ::read(h->fd, static_cast<char *>(buf) + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            h->last_error = static_cast<std::uint32_t>(errno);
            break;
        }
        if (got == 0) break;  // the end of the file is no error
        done += static_cast<uLong>(got);
    }
    return done;
}

uLong ZCALLBACK write_callback(voidpf, voidpf stream, const void *buf, uLong size) {
    ZipFileHandle *h = as_handle(stream);
    if (!has_target(h) || !buf) return 0;
    if (!h->on_disk) {
        if (size == 0) return 0;
        if (mwrite(buf, 1, size, h->mem) != size) {
            h->last_error = ENOMEM;
            errno = ENOMEM;   // tells the writer why minizip failed
            return 0;
        }
        return size;
    }
    uLong done = 0;
    while (done < size) {
        ssize_t put = ::write(h->fd, static_cast<const char *>(buf) + done, size - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            h->last_error = static_cast<std::uint32_t>(put < 0 ? errno : EIO);
            break;
        }
        done += static_cast<uLong>(put);
    }
    return done;
}

ZPOS64_T ZCALLBACK tell_callback(voidpf, voidpf stream) {
    ZipFileHandle *h = as_handle(stream);
    if (!has_target(h)) return kTellFailed;
    if (h->own_cursor) return static_cast<ZPOS64_T>(h->position);
    if (!h->on_disk) {
        std::int64_t at = mtell(h->mem);
        if (at < 0 || at > h->mem->length) return kTellFailed;
        return static_cast<ZPOS64_T>(at);
    }
    off_t at = ::lseek(h->fd, 0, SEEK_CUR);
    if (at < 0) {
        h->last_error = static_cast<std::uint32_t>(errno);
        return kTellFailed;
    }
    return static_cast<ZPOS64_T>(at);
}

long ZCALLBACK seek_callback(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    ZipFileHandle *h = as_handle(stream);
    if (!has_target(h)) return kCallbackFailed;
    int whence;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: whence = SEEK_SET; break;
    case ZLIB_FILEFUNC_SEEK_CUR: whence = SEEK_CUR; break;
    case ZLIB_FILEFUNC_SEEK_END: whence = SEEK_END; break;
    default: return kCallbackFailed;
    }
    // minizip passes backward moves as unsigned wrap-arounds.
    auto distance = static_cast<std::int64_t>(offset);
    if (h->own_cursor) {
        // Only positions inside the data exist for a reader; anything else is a forged offset.
        auto length = static_cast<std::int64_t>(mdata(h->mem).size());
        std::int64_t base = origin == ZLIB_FILEFUNC_SEEK_SET ? 0 : origin == ZLIB_FILEFUNC_SEEK_CUR ? h->position : length;
        if ((distance > 0 && base > length - distance) || (distance < 0 && base + distance < 0)) {
            h->last_error = EINVAL;
            return kCallbackFailed;
        }
        h->position = base + distance;
        return 0;
    }
    if (!h->on_disk) {
        // Reported, not swallowed: a forged offset must stop minizip rather than let it read
        // from a position it never reached.
        if (mseek(h->mem, distance, origin) != 0) {
            h->last_error = EINVAL;
            return kCallbackFailed;
        }
        return 0;
    }
    if (::lseek(h->fd, static_cast<off_t>(distance), whence) < 0) {
        h->last_error = static_cast<std::uint32_t>(errno);
        return kCallbackFailed;
    }
    return 0;
}

int ZCALLBACK close_callback(voidpf, voidpf stream) {
    ZipFileHandle *h = as_handle(stream);
    if (!h) return kCallbackFailed;
    int rc = kCallbackFailed;
    // A late write error shows here.
    if (h->on_disk && h->fd >= 0) rc = ::close(h->fd) == 0 ? 0 : kCallbackFailed;
    else if (!h->on_disk && h->mem) rc = mclose(h->mem);
    delete h;
    return rc;
}

int ZCALLBACK testerror_callback(voidpf, voidpf stream) {
    ZipFileHandle *h = as_handle(stream);
    return h ? static_cast<int>(h->last_error) : kCallbackFailed;
}

// Local time as a DOS date (high word) and time (low word); years after 2107 are clamped and
// anything else the format cannot hold becomes its first day.
uLong dos_datetime(const DateTime &when) {
    if (when.year < 1980 || when.month < 1 || when.month > 12 || when.day < 1 || when.day > 31 || when.hour < 0 ||
        when.hour > 23 || when.minute < 0 || when.minute > 59 || when.second < 0 || when.second > 61)
        return (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
    int year = when.year > 2107 ? 2107 : when.year;
    return (static_cast<uLong>(year - 1980) << 25) | (static_cast<uLong>(when.month) << 21) |
           (static_cast<uLong>(when.day) << 16) | (static_cast<uLong>(when.hour) << 11) |
           (static_cast<uLong>(when.minute) << 5) | static_cast<uLong>(when.second / 2);
}

}  // namespace

zlib_filefunc64_def zip_file_functions() { return zip_file_functions(nullptr); }

zlib_filefunc64_def zip_file_functions(const ZipOpenTarget *target) {
    zlib_filefunc64_def functions{};
    functions.zopen64_file = open_callback;
    functions.zread_file = read_callback;
    functions.zwrite_file = write_callback;
    functions.ztell64_file = tell_callback;
    functions.zseek64_file = seek_callback;
    functions.zclose_file = close_callback;
    functions.zerror_file = testerror_callback;
    // minizip keeps the pointer and hands it back unchanged; the callbacks only read through it.
    functions.opaque = const_cast<ZipOpenTarget *>(target);
    return functions;
}

int set_zip_route(int on) {
    route_flag = on;
    return 0;
}

int zip_route() { return route_flag; }

ZipPackageWriter::~ZipPackageWriter() {
    if (zf_) zipClose(static_cast<zipFile>(zf_), nullptr);
}

int ZipPackageWriter::open(std::string_view archive) {
    if (zf_ || archive.empty() || archive.find('\0') != std::string_view::npos) return kOpenError;
    const std::string path(archive);
    zlib_filefunc64_def functions = zip_file_functions();
    errno = 0;
    zf_ = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
    if (zf_) return 0;
    return errno == ENOMEM ? kNoMemory : kOpenError;   // minizip says only that it failed
}

int ZipPackageWriter::open_descriptor(int descriptor) {
    if (zf_ || descriptor < 0) return kOpenError;
    target_ = ZipOpenTarget{};
    target_.descriptor = descriptor;
    zlib_filefunc64_def functions = zip_file_functions(&target_);
    // The name only has to be non-empty: the callback takes the descriptor instead.
    errno = 0;
    zf_ = zipOpen2_64("descriptor", APPEND_STATUS_CREATE, nullptr, &functions);
    if (zf_) return 0;
    return errno == ENOMEM ? kNoMemory : kOpenError;   // minizip says only that it failed
}

int ZipPackageWriter::begin_entry(std::string_view name, bool zip64) {
    if (!zf_ || !zip_entry_name_safe(name)) return kOpenError;
    const std::string entry_name(name);
    zip_fileinfo info{};
    info.dosDate = dos_datetime(local_now());
    // Raw mode: minizip writes the headers and the bytes handed over, nothing else.
    errno = 0;
    int rc = zipOpenNewFileInZip3_64(static_cast<zipFile>(zf_), entry_name.c_str(), &info, nullptr, 0, nullptr, 0,
                                     nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 1, -MAX_WBITS, 8,
                                     Z_DEFAULT_STRATEGY, nullptr, 0, zip64 ? 1 : 0);
    if (rc == ZIP_OK) return 0;
    return errno == ENOMEM ? kNoMemory : kOpenError;
}

int ZipPackageWriter::write_raw(const void *data, std::size_t size) {
    if (!zf_) return kWriteError;
    const auto *bytes = static_cast<const unsigned char *>(data);
    while (size > 0) {
        unsigned step = static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30));
        errno = 0;
        if (zipWriteInFileInZip(static_cast<zipFile>(zf_), bytes, step) < 0)
            return errno == ENOMEM ? kNoMemory : kWriteError;
        bytes += step;
        size -= step;
    }
    return 0;
}

int ZipPackageWriter::end_entry(std::uint64_t plain_size, std::uint32_t crc32) {
    if (!zf_) return kZipCloseError;
    errno = 0;
    if (zipCloseFileInZipRaw64(static_cast<zipFile>(zf_), plain_size, crc32) == ZIP_OK) return 0;
    return errno == ENOMEM ? kNoMemory : kZipCloseError;
}

int ZipPackageWriter::copy_entry(const ZipEntryInfo &entry, std::string_view raw) {
    if (!zf_ || !zip_entry_name_safe(entry.name) || entry.encrypted ||
        (entry.method != 0 && entry.method != Z_DEFLATED) || raw.size() != entry.packed_size ||
        (entry.method == 0 && entry.packed_size != entry.plain_size))
        return kOpenError;
    zip_fileinfo info{};
    info.dosDate = entry.dos_time;
    // minizip takes a zero dosDate as "use tmz_date"; month -1 is what turns that into zero again.
    if (entry.dos_time == 0) info.tmz_date.tm_mon = static_cast<uInt>(-1);
    const bool zip64 = entry.plain_size >= 0xFFFFFFFFULL || entry.packed_size >= 0xFFFFFFFFULL;
    // Bit 11 says the name is UTF-8; without it readers take the bytes for code page 437.
    const uLong flags = entry.utf8_name ? 0x800 : 0;
    errno = 0;
    int rc = zipOpenNewFileInZip4_64(static_cast<zipFile>(zf_), entry.name.c_str(), &info, nullptr, 0, nullptr, 0,
                                     nullptr, entry.method, Z_DEFAULT_COMPRESSION, 1, -MAX_WBITS, 8,
                                     Z_DEFAULT_STRATEGY, nullptr, 0, 0, flags, zip64 ? 1 : 0);
    if (rc != ZIP_OK) return errno == ENOMEM ? kNoMemory : kOpenError;
    rc = write_raw(raw.data(), raw.size());
    if (rc != 0) return rc;
    return end_entry(entry.plain_size, entry.crc32);
}

int ZipPackageWriter::close() {
    if (!zf_) return kZipCloseError;
    zipFile zf = static_cast<zipFile>(zf_);
    zf_ = nullptr;
    errno = 0;
    if (zipClose(zf, nullptr) == ZIP_OK) return 0;
    return errno == ENOMEM ? kNoMemory : kZipCloseError;
}

}  // namespace tabsmith
