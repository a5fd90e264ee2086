// The zip file callbacks over POSIX files or memory files, and the writer that packs a
// package's entries into an archive under names the entry-name check lets through.

#include "support/zip_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>


#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "support/datetime.h"
#include "support/package_path.h"
#include "support/zip_format.h"

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

// ---- The writer ----
// Entries go out as local header, data, and a central record kept for the directory written at
// close. A deflated entry's CRC and sizes are known only at its end: its local header is then
// written again in place, so no data descriptor is needed. Zip64 fields appear where a size or
// offset needs them, and always in the local header of an entry announced as possibly large.

namespace {

using namespace zip_format;

constexpr std::uint16_t kVersionDeflate = 20, kVersionZip64 = 45;
constexpr std::uint16_t kUtf8NameFlag = 0x0800;

void put16(std::string &out, std::uint64_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}
void put32(std::string &out, std::uint64_t value) {
    put16(out, value & 0xFFFF);
    put16(out, (value >> 16) & 0xFFFF);
}
void put64(std::string &out, std::uint64_t value) {
    put32(out, value & kMax32);
    put32(out, value >> 32);
}

}  // namespace

struct ZipPackageWriter::Record {
    std::string name;
    std::uint16_t method = 8;
    std::uint16_t flags = 0;
    std::uint32_t dos_time = 0;
    std::uint32_t crc32 = 0;
    std::uint64_t packed_size = 0, plain_size = 0, local_offset = 0;
    bool zip64_local = false;   // the local header carries a zip64 field for the sizes
};

ZipPackageWriter::ZipPackageWriter() = default;

ZipPackageWriter::~ZipPackageWriter() {
    if (stream_) {
        zlib_filefunc64_def functions = zip_file_functions(&target_);
        functions.zclose_file(functions.opaque, stream_);
    }
}

int ZipPackageWriter::open_stream(const std::string &path) {
    zlib_filefunc64_def functions = zip_file_functions(&target_);
    errno = 0;
    stream_ = functions.zopen64_file(functions.opaque, path.c_str(), ZLIB_FILEFUNC_MODE_WRITE | ZLIB_FILEFUNC_MODE_CREATE);
    if (stream_) return 0;
    return errno == ENOMEM ? kNoMemory : kOpenError;
}

int ZipPackageWriter::open(std::string_view archive) {
    if (stream_ || archive.empty() || archive.find('\0') != std::string_view::npos) return kOpenError;
    target_ = ZipOpenTarget{};
    // The route is fixed now, whatever the routing flag says while the archive is written.
    target_.route = zip_route() != 0 ? 1 : 0;
    return open_stream(std::string(archive));
}

int ZipPackageWriter::open_descriptor(int descriptor) {
    if (stream_ || descriptor < 0) return kOpenError;
    target_ = ZipOpenTarget{};
    target_.descriptor = descriptor;
    // The name only has to be non-empty: the callback takes the descriptor instead.
    return open_stream("descriptor");
}

int ZipPackageWriter::put(std::string_view bytes) {
    zlib_filefunc64_def functions = zip_file_functions(&target_);
    while (!bytes.empty()) {
        const auto step = static_cast<uLong>(std::min<std::size_t>(bytes.size(), 1u << 30));
        errno = 0;
        if (functions.zwrite_file(functions.opaque, stream_, bytes.data(), step) != step)
            return errno == ENOMEM ? kNoMemory : kWriteError;
        bytes.remove_prefix(step);
        offset_ += step;
    }
    return 0;
}

std::string ZipPackageWriter::local_header(const Record &record) const {
    std::string header;
    header.reserve(kLocalHeaderBytes + record.name.size() + 20);
    put32(header, kLocalSignature);
    put16(header, record.zip64_local ? kVersionZip64 : kVersionDeflate);
    put16(header, record.flags);
    put16(header, record.method);
    put32(header, record.dos_time);
    put32(header, record.crc32);
    put32(header, record.zip64_local ? kMax32 : record.packed_size);
    put32(header, record.zip64_local ? kMax32 : record.plain_size);
    put16(header, record.name.size());
    put16(header, record.zip64_local ? 20 : 0);
    header.append(record.name);
    if (record.zip64_local) {
        put16(header, kZip64ExtraId);
        put16(header, 16);
        put64(header, record.plain_size);
        put64(header, record.packed_size);
    }
    return header;
}

int ZipPackageWriter::start(Record record) {
    record.local_offset = offset_;
    try {
        const std::string header = local_header(record);
        records_.push_back(std::move(record));
        return put(header);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
}

int ZipPackageWriter::begin_entry(std::string_view name, bool zip64) {
    if (!stream_ || open_entry_ || !zip_entry_name_safe(name) || name.size() > kMax16) return kOpenError;
    Record record;
    try {
        record.name.assign(name);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
    record.dos_time = static_cast<std::uint32_t>(dos_datetime(local_now()));
    record.zip64_local = zip64;
    if (int rc = start(std::move(record)); rc != 0) return rc;
    open_entry_ = true;
    entry_data_ = offset_;
    return 0;
}

int ZipPackageWriter::write_raw(const void *data, std::size_t size) {
    if (!stream_ || !open_entry_) return kWriteError;
    return put(std::string_view(static_cast<const char *>(data), size));
}

int ZipPackageWriter::end_entry(std::uint64_t plain_size, std::uint32_t crc32) {
    if (!stream_ || !open_entry_) return kZipCloseError;
    open_entry_ = false;
    Record &record = records_.back();
    record.plain_size = plain_size;
    record.packed_size = offset_ - entry_data_;
    record.crc32 = crc32;
    // An entry not announced as large must have stayed small: its local header has no room.
    if (!record.zip64_local && (record.plain_size >= kMax32 || record.packed_size >= kMax32)) return kZipCloseError;
    zlib_filefunc64_def functions = zip_file_functions(&target_);
    std::string header;
    try {
        header = local_header(record);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
    const std::uint64_t end = offset_;
    if (functions.zseek64_file(functions.opaque, stream_, record.local_offset, ZLIB_FILEFUNC_SEEK_SET) != 0)
        return kZipCloseError;
    offset_ = record.local_offset;
    if (put(header) != 0) return kZipCloseError;
    if (functions.zseek64_file(functions.opaque, stream_, end, ZLIB_FILEFUNC_SEEK_SET) != 0) return kZipCloseError;
    offset_ = end;
    return 0;
}

int ZipPackageWriter::copy_entry(const ZipEntryInfo &entry, std::string_view raw) {
    // Any method is copied as it was stored: the bytes are never looked at.
    if (!stream_ || open_entry_ || !zip_entry_name_safe(entry.name) || entry.name.size() > kMax16 || entry.encrypted ||
        raw.size() != entry.packed_size || (entry.method == 0 && entry.packed_size != entry.plain_size))
        return kOpenError;
    Record record;
    try {
        record.name = entry.name;
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
    record.method = entry.method;
    // Bit 11 says the name is UTF-8; without it readers take the bytes for code page 437.
    record.flags = entry.utf8_name ? kUtf8NameFlag : 0;
    record.dos_time = entry.dos_time;
    record.crc32 = entry.crc32;
    record.plain_size = entry.plain_size;
    record.packed_size = entry.packed_size;
    record.zip64_local = entry.plain_size >= kMax32 || entry.packed_size >= kMax32;
    if (int rc = start(std::move(record)); rc != 0) return rc;
    return put(raw);
}

int ZipPackageWriter::close() {
    if (!stream_ || open_entry_) return kZipCloseError;
    int rc = 0;
    try {
        const std::uint64_t directory_offset = offset_;
        std::string directory;
        for (const Record &record : records_) {
            std::string extra;
            if (record.plain_size >= kMax32) put64(extra, record.plain_size);
            if (record.packed_size >= kMax32) put64(extra, record.packed_size);
            if (record.local_offset >= kMax32) put64(extra, record.local_offset);
            const bool zip64 = !extra.empty();
            put32(directory, kCentralSignature);
            put16(directory, zip64 || record.zip64_local ? kVersionZip64 : kVersionDeflate);   // made by
            put16(directory, zip64 || record.zip64_local ? kVersionZip64 : kVersionDeflate);   // needed
            put16(directory, record.flags);
            put16(directory, record.method);
            put32(directory, record.dos_time);
            put32(directory, record.crc32);
            put32(directory, std::min<std::uint64_t>(record.packed_size, kMax32));
            put32(directory, std::min<std::uint64_t>(record.plain_size, kMax32));
            put16(directory, record.name.size());
            put16(directory, zip64 ? extra.size() + 4 : 0);
            put16(directory, 0);   // comment
            put16(directory, 0);   // disk
            put16(directory, 0);   // internal attributes
            put32(directory, 0);   // external attributes
            put32(directory, std::min<std::uint64_t>(record.local_offset, kMax32));
            directory.append(record.name);
            if (zip64) {
                put16(directory, kZip64ExtraId);
                put16(directory, extra.size());
                directory.append(extra);
            }
            // Written in pieces: a directory of many entries need not be held whole.
            if (directory.size() >= (1u << 20)) {
                if ((rc = put(directory)) != 0) break;
                directory.clear();
            }
        }
        if (rc == 0) {
            const std::uint64_t directory_size = offset_ + directory.size() - directory_offset;
            const std::uint64_t count = records_.size();
            if (count >= kMax16 || directory_size >= kMax32 || directory_offset >= kMax32) {
                const std::uint64_t zip64_end = offset_ + directory.size();
                put32(directory, kZip64EndSignature);
                put64(directory, 44);
                put16(directory, kVersionZip64);
                put16(directory, kVersionZip64);
                put32(directory, 0);
                put32(directory, 0);
                put64(directory, count);
                put64(directory, count);
                put64(directory, directory_size);
                put64(directory, directory_offset);
                put32(directory, kZip64LocatorSignature);
                put32(directory, 0);
                put64(directory, zip64_end);
                put32(directory, 1);
            }
            put32(directory, kEndSignature);
            put16(directory, 0);
            put16(directory, 0);
            put16(directory, std::min<std::uint64_t>(count, kMax16));
            put16(directory, std::min<std::uint64_t>(count, kMax16));
            put32(directory, std::min<std::uint64_t>(directory_size, kMax32));
            put32(directory, std::min<std::uint64_t>(directory_offset, kMax32));
            put16(directory, 0);
            rc = put(directory);
        }
    } catch (const std::bad_alloc &) {
        rc = kNoMemory;
    }
    zlib_filefunc64_def functions = zip_file_functions(&target_);
    void *stream = stream_;
    stream_ = nullptr;
    // A late write error of the file shows when it is closed.
    const int closed = functions.zclose_file(functions.opaque, stream);
    if (rc == kNoMemory) return rc;
    return rc != 0 || closed != 0 ? kZipCloseError : 0;
}

}  // namespace tabsmith
