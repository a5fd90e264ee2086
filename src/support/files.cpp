// Disk-or-memory file routines over POSIX and stdio, path and folder helpers, temporary
// folders. Failures leave a text in the memory-file layer's last-error buffer.

#include "support/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>
#include <vector>

namespace tabsmith {
namespace {

void fail_text(const char *where, std::string_view name, int error) {
    std::string text = where;
    text += " ";
    text.append(name);
    text += ": ";
    text += std::strerror(error);
    mset_error(std::move(text));
}

// A path for the system calls; an embedded NUL would silently name another file.
bool to_path(std::string_view name, std::string &out) {
    if (name.empty() || name.find('\0') != std::string_view::npos) return false;
    out.assign(name);
    return true;
}

FilePtr new_handle(int mode) {
    FilePtr handle(new (std::nothrow) FileHandle);
    if (!handle) {
        mset_error("aod_open() malloc()");
        return nullptr;
    }
    handle->mode = mode;
    return handle;
}

FilePtr open_memory(std::string_view name, int mode) {
    MFile *mem = nullptr;
    switch (mode) {
    case kAodRead: mem = mopen(name, "rb"); break;
    case kAodWrite: mem = mopen(name, "wb"); break;
    case kAodAppend:
        mem = mopen(name, "ab");
        if (!mem) mem = mopen(name, "wb");
        break;
    case kAodReadWrite:
        mem = mopen(name, "rb");
        if (!mem) mem = mopen(name, "wb");
        break;
    default: mset_error("aod_open() mode"); return nullptr;
    }
    if (!mem) return nullptr;
    FilePtr handle = new_handle(mode);
    if (!handle) {
        mclose(mem);
        return nullptr;
    }
    handle->mem = mem;
    return handle;
}

// Input files must be regular files: a FIFO, a device such as /dev/zero or a folder would never
// end (or never answer the open), so they are refused. The open itself does not block.
int open_regular_for_reading(const char *path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

FilePtr open_disk(std::string_view name, int mode) {
    int flags;
    const char *stdio_mode;
    switch (mode) {
    case kAodRead: flags = O_RDONLY, stdio_mode = "rb"; break;
    case kAodWrite: flags = O_WRONLY | O_CREAT | O_TRUNC, stdio_mode = "wb"; break;
    // No O_APPEND: a later seek must be able to move the writes.
    case kAodAppend: flags = O_WRONLY | O_CREAT, stdio_mode = "wb"; break;
    case kAodReadWrite: flags = O_RDWR | O_CREAT, stdio_mode = "r+b"; break;
    default: mset_error("aod_open() mode"); return nullptr;
    }
    std::string path;
    if (!to_path(name, path)) {
        mset_error("aod_open() name");
        return nullptr;
    }
    FilePtr handle = new_handle(mode);
    if (!handle) return nullptr;
    int fd = mode == kAodRead ? open_regular_for_reading(path.c_str()) : ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        fail_text("aod_open() open()", name, errno);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        fail_text("aod_open() open()", name, EISDIR);
        ::close(fd);
        return nullptr;
    }
    handle->fp = ::fdopen(fd, stdio_mode);
    if (!handle->fp) {
        fail_text("aod_open() fdopen()", name, errno);
        ::close(fd);
        return nullptr;
    }
    if (mode == kAodAppend && ::fseeko(handle->fp, 0, SEEK_END) != 0) {
        fail_text("aod_open() fseek()", name, errno);
        return nullptr;
    }
    return handle;
}

const char *temp_base() {
    for (const char *variable : {"TEMP", "TMPDIR"}) {
        const char *value = std::getenv(variable);
        if (value && value[0] && std::strlen(value) < 257) return value;
    }
    return "/tmp";
}

bool is_separator(char c) { return c == '/' || c == '\\'; }

// The folder part of a path for the system calls ("." for a bare name, "/" directly under the root).
std::string folder_of(const std::string &path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Follows a chain of symbolic links to the name it ends at, which need not exist yet (a
// dangling link names the file to create). false with errno set for a loop or an unreadable
// link.
bool follow_links(const std::string &path, std::string &out) {
    constexpr int kMaxHops = 40;  // what the kernel allows before ELOOP
    std::string current = path;
    for (int hops = 0;; ++hops) {
        struct stat st;
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        if (hops == kMaxHops) {
            errno = ELOOP;
            return false;
        }
        char link[4097];  // PATH_MAX and one to see a longer one
        ssize_t got = ::readlink(current.c_str(), link, sizeof link);
        if (got < 0) return false;
        if (static_cast<std::size_t>(got) >= sizeof link) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::string target(link, static_cast<std::size_t>(got));
        if (target.empty()) {
            errno = ENOENT;
            return false;
        }
        current = target.front() == '/' ? target : folder_of(current) + "/" + target;
    }
    out = std::move(current);
    return true;
}

// Letters for a temporary name nobody can guess: from the kernel's random source, or from the
// clock and a counter when that gives nothing (the O_EXCL open still keeps names apart).
std::string unguessable_letters(std::size_t count) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[32] = {};
    if (count > sizeof bytes) count = sizeof bytes;
    if (::getrandom(bytes, count, GRND_NONBLOCK) != static_cast<ssize_t>(count)) {
        static std::atomic<unsigned long long> counter{0};
        unsigned long long seed = static_cast<unsigned long long>(
                                      std::chrono::steady_clock::now().time_since_epoch().count()) ^
                                  (static_cast<unsigned long long>(::getpid()) << 32) ^ counter.fetch_add(1) * 0x9E3779B97F4A7C15ull;
        for (std::size_t i = 0; i < count; ++i) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            bytes[i] = static_cast<unsigned char>(seed >> 56);
        }
    }
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += kLetters[bytes[i] % (sizeof kLetters - 1)];
    return out;
}

// The umask as the kernel reports it, without changing it (umask() can only be read by
// setting it, which would race with other threads creating files).
bool read_umask(unsigned &mask) {
    std::FILE *status = std::fopen("/proc/self/status", "re");
    if (!status) return false;
    char line[256];
    bool found = false;
    while (!found && std::fgets(line, sizeof line, status)) found = std::sscanf(line, "Umask: %o", &mask) == 1;
    std::fclose(status);
    return found;
}

// What a replacement's name holds around the writer's process id: ".NAME.tabsmith-" before,
// "-" and kTemporaryLetters letters and ".tmp" after.
constexpr std::string_view kTemporaryMark = ".tabsmith-";
constexpr std::size_t kTemporaryLetters = 6;
constexpr std::string_view kTemporaryEnd = ".tmp";

// The process id in a replacement's name that starts with `prefix`, or 0 when `name` is not
// one (a pid of 0 or below would make kill() reach a whole process group).
pid_t temporary_owner(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix) || !name.ends_with(kTemporaryEnd)) return 0;
    name.remove_prefix(prefix.size());
    name.remove_suffix(kTemporaryEnd.size());
    if (name.size() < kTemporaryLetters + 2 || name[name.size() - kTemporaryLetters - 1] != '-') return 0;
    for (char c : name.substr(name.size() - kTemporaryLetters))
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return 0;
    const std::string_view digits = name.substr(0, name.size() - kTemporaryLetters - 1);
    long long pid = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error != std::errc() || end != digits.data() + digits.size() || digits[0] == '0' || pid <= 0 || pid > INT_MAX)
        return 0;
    return static_cast<pid_t>(pid);
}

// A save killed half way (SIGTERM, a crash) leaves its replacement behind; the next save of
// the same target removes it. Only what is surely abandoned goes: a regular file of this user
// under this target's pattern, whose process no longer exists, and that nobody holds locked
// (the writer's lock still stands for a process of another pid namespace sharing the folder).
// Links are never followed, and nothing here can fail the save.
void remove_abandoned_temporaries(const std::string &folder, std::string_view prefix) {
    DIR *listing = ::opendir(folder.c_str());
    if (!listing) return;
    const int folder_fd = ::dirfd(listing);
    const pid_t self = ::getpid();
    while (const dirent *entry = ::readdir(listing)) {
        const pid_t owner = temporary_owner(entry->d_name, prefix);
        if (owner == 0 || owner == self || ::kill(owner, 0) == 0 || errno != ESRCH) continue;
        struct stat named, opened;
        if (::fstatat(folder_fd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(named.st_mode) ||
            named.st_uid != ::geteuid())
            continue;
        const int fd = ::openat(folder_fd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        if (::fstat(fd, &opened) == 0 && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(folder_fd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(listing);
}

}  // namespace

FileIdentity file_identity(const std::string &path) {
    FileIdentity identity;
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return identity;
    identity.known = true;
    identity.device = st.st_dev;
    identity.inode = st.st_ino;
    identity.size = st.st_size;
    identity.modified_seconds = st.st_mtim.tv_sec;
    identity.modified_nanoseconds = st.st_mtim.tv_nsec;
    return identity;
}

unsigned new_file_mode() {
    unsigned mask = 0;
    if (!read_umask(mask)) {
        static std::mutex umask_mutex;
        std::lock_guard<std::mutex> lock(umask_mutex);
        mode_t old = ::umask(077);
        ::umask(old);
        mask = old;
    }
    return 0666u & ~mask;
}

ReplacementFile::~ReplacementFile() { abort(); }

int ReplacementFile::create(std::string_view target) {
    abort();
    std::string path;
    if (!to_path(target, path) || path.back() == '/') {
        fail_text("ReplacementFile::create()", target, path.empty() ? EINVAL : EISDIR);
        return kOpenError;
    }
    std::string destination;
    if (!follow_links(path, destination)) {
        fail_text("ReplacementFile::create() readlink()", target, errno);
        return kOpenError;
    }
    // Only a regular file is replaced: renaming over a folder fails anyway, and a device or a
    // FIFO must keep its node.
    struct stat st;
    if (::stat(destination.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        fail_text("ReplacementFile::create()", target, S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return kOpenError;
    }
    const std::string folder = folder_of(destination);
    const std::string base = destination.substr(destination.rfind('/') + 1);
    // Hidden, beside the target so that the rename stays within one file system, and short
    // enough for any name limit whatever the target's name.
    const std::string prefix = "." + base.substr(0, 64) + std::string(kTemporaryMark);
    remove_abandoned_temporaries(folder, prefix);
    const std::string stem = folder + "/" + prefix + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = stem + unguessable_letters(kTemporaryLetters) + std::string(kTemporaryEnd);
        int fd = ::open(candidate.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            // Held until the file is closed; where locks work, it tells the cleaning above that
            // the file is in use even when the process id means nothing there.
            (void)::flock(fd, LOCK_EX | LOCK_NB);
            fd_ = fd;
            temporary_ = std::move(candidate);
            destination_ = std::move(destination);
            return 0;
        }
        if (errno != EEXIST) {
            fail_text("ReplacementFile::create() open()", candidate, errno);
            return kOpenError;
        }
    }
    fail_text("ReplacementFile::create() open()", stem, EEXIST);
    return kOpenError;
}

int ReplacementFile::commit(const FileIdentity &expected) {
    if (fd_ < 0) return kWriteError;
    unsigned mode = new_file_mode();
    struct stat old;
    if (::stat(destination_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
        // The owner goes with the permissions where this process may give it (a privileged
        // save over a user's file); set-id bits are only kept together with their owner.
        struct stat fresh;
        if (::fstat(fd_, &fresh) == 0 && (fresh.st_uid != old.st_uid || fresh.st_gid != old.st_gid) &&
            ::fchown(fd_, old.st_uid, old.st_gid) != 0)
            mode &= ~static_cast<unsigned>(S_ISUID | S_ISGID);
    }
    // No fsync: the rename already gives readers the old file or the whole new one, and a save
    // is as durable as any other file the caller writes.
    const char *step = nullptr;
    if (::fchmod(fd_, static_cast<mode_t>(mode)) != 0) step = "fchmod()";
    if (!step) {
        int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0) step = "close()";
    }
    // Everything that can be done before is done: the check and the rename follow each other
    // directly, so that another process's write can only slip between the two system calls.
    if (!step && expected.known && !(file_identity(destination_) == expected)) {
        mset_error("ReplacementFile::commit() " + destination_ + ": changed since it was read");
        abort();
        return kTargetChanged;
    }
    if (!step && std::rename(temporary_.c_str(), destination_.c_str()) != 0) step = "rename()";
    if (step) {
        fail_text((std::string("ReplacementFile::commit() ") + step).c_str(), destination_, errno);
        abort();
        return kWriteError;
    }
    temporary_.clear();
    return 0;
}

void ReplacementFile::abort() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
    destination_.clear();
}

FileHandle::~FileHandle() {
    if (fp) std::fclose(fp);
    if (mem) mclose(mem);
}

FilePtr aod_open(int on_disk, std::string_view name, int mode) {
    return on_disk ? open_disk(name, mode) : open_memory(name, mode);
}

int aod_close(FilePtr &file) {
    if (!file) return kFail;
    int rc = 0;
    if (file->fp) {
        if (std::fclose(file->fp) != 0) {
            mset_error("aod_close() fclose()");
            rc = kWriteError;
        }
        file->fp = nullptr;
    }
    if (file->mem) {
        mclose(file->mem);
        file->mem = nullptr;
    }
    file.reset();
    return rc;
}

std::int64_t aod_read(FileHandle *file, void *buffer, std::size_t size) {
    if (!file || (!buffer && size > 0)) return kReadError;
    if (size == 0) return 0;
    if (file->mem) return static_cast<std::int64_t>(mread(buffer, 1, size, file->mem));
    if (!file->fp) return kReadError;
    if (file->last == FileHandle::LastOp::kWrite && ::fseeko(file->fp, 0, SEEK_CUR) != 0) return kReadError;
    file->last = FileHandle::LastOp::kRead;
    std::size_t got = std::fread(buffer, 1, size, file->fp);
    if (got < size && std::ferror(file->fp)) {
        mset_error("aod_read() fread()");
        std::clearerr(file->fp);
        return kReadError;
    }
    return static_cast<std::int64_t>(got);
}

int aod_write(FileHandle *file, const void *data, std::size_t size) {
    if (!file || (!data && size > 0)) return kWriteError;
    if (size == 0) return 0;
    if (file->mem) return mwrite(data, size, 1, file->mem) == 1 ? 0 : kWriteError;
    if (!file->fp) return kWriteError;
    if (file->last == FileHandle::LastOp::kRead && ::fseeko(file->fp, 0, SEEK_CUR) != 0) return kWriteError;
    file->last = FileHandle::LastOp::kWrite;
    if (std::fwrite(data, 1, size, file->fp) != size) {
        mset_error("aod_write() fwrite()");
        return kWriteError;
    }
    return 0;
}

int aod_write_line(FileHandle *file, std::string_view text) {
    int rc = aod_write(file, text.data(), text.size());
    if (rc != 0) return rc;
    if (!text.empty() && (text.back() == '\r' || text.back() == '\n')) return 0;
    return aod_write(file, "\r\n", 2);
}

int aod_seek(FileHandle *file, std::int64_t offset, int origin) {
    if (!file) return kSeekError;
    int whence;
    switch (origin) {
    case kAodStart: whence = 0; break;
    case kAodCurrent: whence = 1; break;
    case kAodEnd: whence = 2; break;
    default: return kBadArgument;
    }
    if (file->mem) return mseek(file->mem, offset, whence) == 0 ? 0 : kSeekError;
    if (!file->fp) return kSeekError;
    static_assert(SEEK_SET == 0 && SEEK_CUR == 1 && SEEK_END == 2);
    if (::fseeko(file->fp, static_cast<off_t>(offset), whence) != 0) {
        int error = errno;
        mset_error("aod_seek() fseek()");
        return error == EINVAL ? kSeekError : kFail;
    }
    file->last = FileHandle::LastOp::kNone;
    return 0;
}

std::int64_t aod_tell(FileHandle *file) {
    if (!file) return kFail;
    if (file->mem) return mtell(file->mem);
    if (!file->fp) return kFail;
    off_t position = ::ftello(file->fp);
    return position < 0 ? kFail : static_cast<std::int64_t>(position);
}

int aod_read_all(int on_disk, std::string_view name, std::string &out) {
    out.clear();
    FilePtr file = aod_open(on_disk, name, kAodRead);
    if (!file) return kOpenError;
    try {
        if (file->mem) {
            out.assign(mdata(file->mem));
        } else {
            constexpr std::size_t kChunk = 4096;
            out.reserve(kChunk);
            for (;;) {
                std::size_t used = out.size();
                if (out.capacity() - used < kChunk) out.reserve(out.capacity() * 2);
                out.resize(used + kChunk);
                std::int64_t got = aod_read(file.get(), out.data() + used, kChunk);
                if (got < 0) {
                    out.clear();
                    return kReadError;
                }
                out.resize(used + static_cast<std::size_t>(got));
                if (got == 0) break;
            }
        }
    } catch (const std::bad_alloc &) {
        out = std::string();
        mset_error("aod_read_all() malloc()");
        return kNoMemory;
    }
    aod_close(file);
    return 0;
}

int aod_copy(int on_disk, std::string_view from, std::string_view to) {
    // Copying a file onto itself would first empty it.
    if (on_disk) {
        std::string a, b;
        struct stat sa, sb;
        if (to_path(from, a) && to_path(to, b) && ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 &&
            sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
            return 0;
    } else if (from == to) {
        return mfind(from) ? 0 : kOpenError;
    }
    FilePtr source = aod_open(on_disk, from, kAodRead);
    if (!source) return kOpenError;
    FilePtr target = aod_open(on_disk, to, kAodWrite);
    if (!target) return kOpenError;
    char chunk[256];
    for (;;) {
        std::int64_t got = aod_read(source.get(), chunk, sizeof chunk);
        if (got < 0) return kReadError;
        if (got == 0) break;
        if (aod_write(target.get(), chunk, static_cast<std::size_t>(got)) != 0) return kWriteError;
    }
    aod_close(source);
    return aod_close(target) == 0 ? 0 : kWriteError;
}

std::int64_t aod_fsze(int on_disk, std::string_view name) {
    if (!on_disk) {
        const MFile *mem = mfind(name);
        return mem ? mem->length : kOpenError;
    }
    std::string path;
    if (!to_path(name, path)) return kOpenError;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail_text("aod_fsze() open()", name, errno);
        return kOpenError;
    }
    struct stat st;
    int rc = ::fstat(fd, &st);
    ::close(fd);
    if (rc != 0) {
        fail_text("aod_fsze() fstat()", name, errno);
        return kFail;
    }
    if (S_ISDIR(st.st_mode)) {
        fail_text("aod_fsze() open()", name, EISDIR);
        return kOpenError;
    }
    return static_cast<std::int64_t>(st.st_size);
}

int aod_fdate(int on_disk, std::string_view name, DateTime &when) {
    when = DateTime{};
    std::time_t written;
    if (!on_disk) {
        const MFile *mem = mfind(name);
        if (!mem) return kOpenError;
        if (mem->stamped) {
            when = mem->stamp;
            return 0;
        }
        written = mem->written;
    } else {
        std::string path;
        struct stat st;
        if (!to_path(name, path) || ::stat(path.c_str(), &st) != 0) return kOpenError;
        written = st.st_mtime;
    }
    return local_datetime(written, when) ? 0 : kOpenError;
}

int module_path(std::string &out) {
    out.clear();
    char buffer[kMfileNameMax + 2];
    ssize_t got = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (got <= 0) return kFail;
    if (static_cast<std::size_t>(got) > kMfileNameMax) return kLimit;
    out.assign(buffer, static_cast<std::size_t>(got));
    return 0;
}

std::string replace_extension(std::string_view path, std::string_view extension) {
    std::size_t stop = path.find_last_of("/\\");
    std::size_t dot = path.rfind('.');
    std::string result;
    if (dot != std::string_view::npos && (stop == std::string_view::npos || dot > stop)) {
        result.assign(path.substr(0, dot + 1));
    } else {
        result.assign(path);
        result += '.';
    }
    result.append(extension);
    return result;
}

void split_path(std::string_view path, int charset, std::string &folder, std::string &file) {
    std::size_t last = std::string_view::npos;
    auto bytes = reinterpret_cast<const unsigned char *>(path.data());
    for (std::size_t i = 0; i < path.size();) {
        if (is_separator(path[i])) last = i;
        std::size_t width = char_width(charset, bytes + i, path.size() - i);
        i += width ? width : 1;
    }
    if (last == std::string_view::npos) {
        folder.clear();
        file.assign(path);
        return;
    }
    folder.assign(path.substr(0, last == 0 ? 1 : last));
    file.assign(path.substr(last + 1));
}

int make_folders(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos) {
        mset_error("make_folders() path");
        return kBadArgument;
    }
    std::vector<std::string_view> parts;
    for (std::size_t i = 0; i < path.size();) {
        std::size_t end = i;
        while (end < path.size() && !is_separator(path[end])) ++end;
        if (end > i) parts.push_back(path.substr(i, end - i));
        i = end + 1;
    }
    if (parts.size() > static_cast<std::size_t>(kMaxFolderLevels)) {
        mset_error("make_folders() levels > 30");
        return kLimit;
    }
    std::string current = is_separator(path[0]) ? "/" : "";
    for (std::string_view part : parts) {
        if (!current.empty() && current.back() != '/') current += '/';
        current.append(part);
        if (::mkdir(current.c_str(), 0777) == 0) continue;
        int error = errno;
        struct stat st;
        if (error == EEXIST && ::stat(current.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        fail_text("make_folders() mkdir()", current, error == EEXIST ? ENOTDIR : error);
        return kFail;
    }
    return 0;
}

int remove_folder_tree(std::string_view path) {
    namespace fs = std::filesystem;
    std::string text;
    if (!to_path(path, text)) return kBadArgument;
    if (text.find_first_not_of('/') == std::string::npos || fs::path(text).lexically_normal() == "/") {
        mset_error("remove_folder_tree() refuses the root");
        return kBadArgument;
    }
    std::error_code error;
    fs::remove_all(text, error);
    if (error) {
        mset_error("remove_folder_tree() " + text + ": " + error.message());
        return kFail;
    }
    return 0;
}

int temp_folder(std::string_view name, std::string &out) {
    out.clear();
    if (name.empty() || name.find('\0') != std::string_view::npos) {
        mset_error("temp_folder() name");
        return kBadArgument;
    }
    out = temp_base();
    out += '/';
    out.append(name);
    return make_folders(out);
}

int unique_temp_folder(std::string_view prefix, std::string &out) {
    out.clear();
    if (prefix.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) {
        mset_error("unique_temp_folder() prefix");
        return kBadArgument;
    }
    std::string base = temp_base();
    int rc = make_folders(base);
    if (rc != 0) return rc;
    std::string pattern = base + "/" + std::string(prefix) + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        fail_text("unique_temp_folder() mkdtemp()", pattern, errno);
        return kFail;
    }
    out = std::move(pattern);
    return 0;
}

std::string working_path(std::string_view name) {
    std::string path(name);
    for (char &c : path)
        if (c == '\\') c = '/';
    if (!path.empty() && path.front() == '/') return path;
    std::error_code ec;
    std::string cwd = std::filesystem::current_path(ec).string();
    if (ec || cwd.empty()) return path;
    if (cwd.back() == '/') return cwd + path;
    return cwd + "/" + path;
}

std::FILE *open_input_file(const std::string &path) {
    int fd = open_regular_for_reading(path.c_str());
    if (fd < 0) return nullptr;
    std::FILE *file = ::fdopen(fd, "rb");
    if (!file) ::close(fd);
    return file;
}

}  // namespace tabsmith
