// The minizip file callbacks over POSIX files or memory files, and the two package operations:
// packing part files into an archive and extracting an archive, guarded against hostile input.

#include "support/zip_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <new>

#include "support/files.h"

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

bool is_separator(char c) { return c == '/' || c == '\\'; }

std::string_view strip_leading_separators(std::string_view name) {
    while (!name.empty() && is_separator(name.front())) name.remove_prefix(1);
    return name;
}

// Closes the archive on every way out, so no handle outlives the call.
struct WriterGuard {
    zipFile zf;
    ~WriterGuard() {
        if (zf) zipClose(zf, nullptr);
    }
};
struct ReaderGuard {
    unzFile uf;
    ~ReaderGuard() {
        if (uf) unzClose(uf);  // also closes an entry left open by a failure
    }
};

// Entry names may only name something below the target folder: no absolute names, no ".."
// component (either separator counts, as archives made on Windows use both), no NUL.
bool safe_entry_name(std::string_view name) {
    if (name.empty() || is_separator(name.front())) return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !is_separator(name[end])) ++end;
        if (name.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

bool is_folder_entry(std::string_view name) { return !name.empty() && is_separator(name.back()); }

// The extraction empties its folder first, so the folder must name exactly what it says: a ".."
// anywhere ("tmp/x/../..") or a folder that resolves to the current folder or the root would
// have the removal take a parent tree with it.
bool folder_too_wide(std::string_view folder) {
    std::size_t start = 0;
    while (start <= folder.size()) {
        std::size_t end = start;
        while (end < folder.size() && !is_separator(folder[end])) ++end;
        if (folder.substr(start, end - start) == "..") return true;
        start = end + 1;
    }
    std::string normal = std::filesystem::path(std::string(folder)).lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    return normal.empty() || normal == "." || normal == "/";
}

// Creates the folders of `relative` (separators '/') below `base`, one component at a time.
bool make_subfolders(const std::string &base, std::string_view relative) {
    std::string path = base;
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t end = relative.find('/', start);
        if (end == std::string_view::npos) end = relative.size();
        if (end > start) {
            path += '/';
            path.append(relative.substr(start, end - start));
            if (::mkdir(path.c_str(), 0777) != 0) {
                struct stat st;
                if (errno != EEXIST || ::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
            }
        }
        start = end + 1;
    }
    return true;
}

int open_disk_output(const std::string &path) {
    // O_NOFOLLOW: only this call creates files in the folder, but a link planted by someone
    // else must not redirect the write.
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
}

bool write_all(int fd, const unsigned char *data, std::size_t size) {
    while (size > 0) {
        ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// The entry's stored local time as the file's modification time; access time untouched.
void stamp_disk_file(int fd, const tm_unz &when) {
    if (when.tm_mon > 11 || when.tm_mday < 1) return;  // a zero DOS date names no day
    std::tm local{};
    local.tm_year = static_cast<int>(when.tm_year) - 1900;
    local.tm_mon = static_cast<int>(when.tm_mon);
    local.tm_mday = static_cast<int>(when.tm_mday);
    local.tm_hour = static_cast<int>(when.tm_hour);
    local.tm_min = static_cast<int>(when.tm_min);
    local.tm_sec = static_cast<int>(when.tm_sec);
    local.tm_isdst = -1;
    std::time_t at = std::mktime(&local);
    if (at == static_cast<std::time_t>(-1)) return;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = at;
    times[1].tv_nsec = 0;
    ::futimens(fd, times);
}

struct EntryInfo {
    unz_file_info64 info{};
    std::string name;
};

// Reads the current entry's header. kLimit for a name over the limit, kZipUnsafeEntry for a name
// that could escape the folder or would overwrite the archive being read.
int read_entry(unzFile uf, std::string_view archive, bool archive_in_memory, EntryInfo &entry) {
    char name[kZipEntryNameMax + 2];
    int rc = unzGetCurrentFileInfo64(uf, &entry.info, name, sizeof name, nullptr, 0, nullptr, 0);
    if (rc != UNZ_OK) return rc;
    if (entry.info.size_filename > kZipEntryNameMax) return kLimit;
    entry.name.assign(name, entry.info.size_filename);
    if (std::strlen(name) != entry.info.size_filename) return kZipUnsafeEntry;  // NUL inside
    std::string_view plain = entry.name;
    if (is_folder_entry(plain)) plain.remove_suffix(1);
    if (plain.empty() && is_folder_entry(entry.name)) return kZipUnsafeEntry;  // "/" alone
    if (!safe_entry_name(plain)) return kZipUnsafeEntry;
    if (archive_in_memory && entry.name == archive) return kZipUnsafeEntry;
    return UNZ_OK;
}

// Walks the central directory once before anything is written, so that an archive refused
// for its names or sizes leaves the target untouched.
int check_entries(unzFile uf, std::string_view archive, bool archive_in_memory, std::uint64_t count) {
    std::uint64_t total = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        int rc = i == 0 ? unzGoToFirstFile(uf) : unzGoToNextFile(uf);
        if (rc != UNZ_OK) return rc == UNZ_END_OF_LIST_OF_FILE ? UNZ_BADZIPFILE : rc;
        EntryInfo entry;
        rc = read_entry(uf, archive, archive_in_memory, entry);
        if (rc != UNZ_OK) return rc;
        if (is_folder_entry(entry.name)) continue;
        if (entry.info.uncompressed_size > kZipMaxEntryBytes) return kLimit;
        total += entry.info.uncompressed_size;
        if (total > kZipMaxTotalBytes) return kLimit;
    }
    return UNZ_OK;
}

// Copies the current (opened) entry into `out`; 0, kNoMemory, kFail or a minizip code.
template <typename Sink>
int copy_entry(unzFile uf, unsigned char *buffer, const EntryInfo &entry, Sink &&sink) {
    std::uint64_t copied = 0;
    for (;;) {
        int got = unzReadCurrentFile(uf, buffer, static_cast<unsigned>(kZipExtractBuffer));
        if (got < 0) return got;
        if (got == 0) break;
        int rc = sink(buffer, static_cast<std::size_t>(got));
        if (rc != 0) return rc;
        copied += static_cast<std::uint64_t>(got);
    }
    // minizip checks the CRC only once the declared size was delivered; a stream that ends
    // early would otherwise pass as a shorter file.
    if (copied != entry.info.uncompressed_size) return kZipBadSize;
    return 0;
}

int extract_to_memory(unzFile uf, unsigned char *buffer, const EntryInfo &entry) {
    MFile *out = mopen(entry.name, "wb");
    if (!out) return kOpenError;
    int rc = copy_entry(uf, buffer, entry, [out](const unsigned char *data, std::size_t size) {
        return mwrite(data, 1, size, out) == size ? 0 : kNoMemory;
    });
    const tm_unz &t = entry.info.tmu_date;
    if (rc == 0 && t.tm_mon <= 11 && t.tm_mday >= 1) {  // a zero DOS date names no day
        mset_datetime(out, DateTime{static_cast<int>(t.tm_year), static_cast<int>(t.tm_mon) + 1,
                                    static_cast<int>(t.tm_mday), static_cast<int>(t.tm_hour),
                                    static_cast<int>(t.tm_min), static_cast<int>(t.tm_sec)});
    }
    mclose(out);
    return rc;
}

int extract_to_disk(unzFile uf, unsigned char *buffer, const EntryInfo &entry, const std::string &folder) {
    std::string relative = entry.name;
    for (char &c : relative)
        if (c == '\\') c = '/';
    std::string path = folder + "/" + relative;
    int fd = open_disk_output(path);
    if (fd < 0 && errno == ENOENT) {
        std::size_t slash = relative.rfind('/');
        if (slash != std::string::npos && make_subfolders(folder, std::string_view(relative).substr(0, slash)))
            fd = open_disk_output(path);
    }
    if (fd < 0) return kOpenError;
    int rc = copy_entry(uf, buffer, entry, [fd](const unsigned char *data, std::size_t size) {
        return write_all(fd, data, size) ? 0 : kFail;
    });
    if (rc == 0) stamp_disk_file(fd, entry.info.tmu_date);
    if (::close(fd) != 0 && rc == 0) rc = kFail;
    return rc;
}

// minizip cannot open an archive without entries (it takes the end record at offset 0 for
// "not found"); such an archive is only that record and its comment.
bool is_empty_archive(const std::string &archive) {
    voidpf stream = open_callback(nullptr, archive.c_str(), ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
    if (!stream) return false;
    unsigned char record[22];
    bool empty = seek_callback(nullptr, stream, 0, ZLIB_FILEFUNC_SEEK_END) == 0;
    ZPOS64_T size = empty ? tell_callback(nullptr, stream) : 0;
    empty = empty && size >= sizeof record && size <= sizeof record + 0xFFFF &&
            seek_callback(nullptr, stream, 0, ZLIB_FILEFUNC_SEEK_SET) == 0 &&
            read_callback(nullptr, stream, record, sizeof record) == sizeof record;
    close_callback(nullptr, stream);
    if (!empty || std::memcmp(record, "PK\5\6", 4) != 0) return false;
    for (int i = 4; i < 20; ++i)  // disk numbers, entry counts, directory size and offset
        if (record[i] != 0) return false;
    return record[20] + 256u * record[21] == size - sizeof record;
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

int zip_write_package(int on_disk, std::string_view archive, std::string_view folder,
                      const std::vector<std::string> &names) {
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kZipPackBuffer]);
    if (!buffer) return kNoMemory;
    if (archive.empty() || archive.find('\0') != std::string_view::npos) return kOpenError;
    const std::string archive_path(archive);
    // Checked before the old archive is deleted: a call that cannot succeed destroys nothing.
    std::string base;
    if (on_disk) {
        struct stat st;
        base.assign(folder);
        if (base.empty() || base.find('\0') != std::string::npos || ::stat(base.c_str(), &st) != 0 ||
            !S_ISDIR(st.st_mode))
            return kFail;
    }
    if (zip_route() != 0) ::unlink(archive_path.c_str());

    zlib_filefunc64_def functions = zip_file_functions();
    WriterGuard writer{zipOpen2_64(archive_path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions)};
    if (!writer.zf) return kOpenError;

    for (const std::string &name : names) {
        std::string entry_name(strip_leading_separators(name));
        // A zip name field holds 16 bits of length; minizip would truncate it silently.
        if (entry_name.empty() || entry_name.size() > 0xFFFF || entry_name.find('\0') != std::string::npos)
            return kOpenError;
        // On disk the part is found below the folder under its entry name, whatever leading
        // separators the list carried; memory files are named exactly as listed.
        const std::string part = on_disk ? base + "/" + entry_name : name;
        // The archive's own memory file was emptied when it was opened for writing.
        if (!on_disk && zip_route() == 0 && name == archive_path) return kOpenError;

        FilePtr input = aod_open(on_disk, part, kAodRead);
        if (!input) return kOpenError;
        zip_fileinfo info{};
        DateTime when;
        if (aod_fdate(on_disk, part, when) == 0) info.dosDate = dos_datetime(when);
        std::int64_t size = aod_fsze(on_disk, part);
        int zip64 = size >= 0xFFFFFFFFLL ? 1 : 0;

        if (zipOpenNewFileInZip3_64(writer.zf, entry_name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                    Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr, 0,
                                    zip64) != ZIP_OK)
            return kOpenError;
        for (;;) {
            std::int64_t got = aod_read(input.get(), buffer.get(), kZipPackBuffer);
            if (got < 0) return kReadError;
            if (got == 0) break;
            if (zipWriteInFileInZip(writer.zf, buffer.get(), static_cast<unsigned>(got)) < 0) return kWriteError;
        }
        aod_close(input);
        if (zipCloseFileInZip(writer.zf) != ZIP_OK) return kZipCloseError;
    }
    zipFile zf = writer.zf;
    writer.zf = nullptr;
    return zipClose(zf, nullptr) == ZIP_OK ? 0 : kZipCloseError;
}

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
    std::string entry_name(strip_leading_separators(name));
    if (!zf_ || entry_name.empty() || entry_name.size() > 0xFFFF || entry_name.find('\0') != std::string::npos)
        return kOpenError;
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
    if (!zf_ || !zip_entry_name_safe(entry.name) || entry.name.size() > 0xFFFF || entry.encrypted ||
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

int zip_extract_package(int to_disk, std::string_view archive, std::string_view folder, int capacity,
                        std::vector<std::string> *names) {
    if (names) names->clear();
    if (capacity < 1) return kBadArgument;
    if (to_disk && (folder.empty() || folder.find('\0') != std::string_view::npos || folder_too_wide(folder)))
        return kBadArgument;
    if (archive.empty() || archive.find('\0') != std::string_view::npos) return kOpenError;
    const std::string archive_path(archive);
    const bool archive_in_memory = zip_route() == 0;

    zlib_filefunc64_def functions = zip_file_functions();
    ReaderGuard reader{unzOpen2_64(archive_path.c_str(), &functions)};
    if (!reader.uf) {
        if (!is_empty_archive(archive_path)) return kOpenError;
        if (to_disk) {
            remove_folder_tree(std::string(folder));
            if (make_folders(folder) != 0) return kOpenError;
        }
        return 0;
    }

    unz_global_info64 global{};
    int rc = unzGetGlobalInfo64(reader.uf, &global);
    if (rc != UNZ_OK) return rc;
    if (global.number_entry >= static_cast<ZPOS64_T>(capacity)) return kLimit;
    rc = check_entries(reader.uf, archive, archive_in_memory, global.number_entry);
    if (rc != UNZ_OK) return rc;

    const std::string base(folder);
    if (to_disk) {
        remove_folder_tree(base);
        if (make_folders(base) != 0) return kOpenError;
    }
    if (global.number_entry == 0) return 0;

    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kZipExtractBuffer]);
    if (!buffer) return kZipNoBuffer;

    for (std::uint64_t i = 0; i < global.number_entry; ++i) {
        rc = i == 0 ? unzGoToFirstFile(reader.uf) : unzGoToNextFile(reader.uf);
        if (rc != UNZ_OK) return rc == UNZ_END_OF_LIST_OF_FILE ? UNZ_BADZIPFILE : rc;
        EntryInfo entry;
        rc = read_entry(reader.uf, archive, archive_in_memory, entry);
        if (rc != UNZ_OK) return rc;
        if (is_folder_entry(entry.name)) {
            if (to_disk) {
                std::string relative = entry.name;
                for (char &c : relative)
                    if (c == '\\') c = '/';
                if (!make_subfolders(base, relative)) return kOpenError;
            }
            continue;
        }
        rc = unzOpenCurrentFilePassword(reader.uf, nullptr);
        if (rc != UNZ_OK) return rc;
        if (names) names->push_back(entry.name);
        rc = to_disk ? extract_to_disk(reader.uf, buffer.get(), entry, base)
                     : extract_to_memory(reader.uf, buffer.get(), entry);
        if (rc != 0) return rc;
        rc = unzCloseCurrentFile(reader.uf);  // reports a CRC mismatch
        if (rc != UNZ_OK) return rc;
    }
    unzFile uf = reader.uf;
    reader.uf = nullptr;
    rc = unzClose(uf);
    return rc == UNZ_OK ? 0 : rc;
}

}  // namespace tabsmith
