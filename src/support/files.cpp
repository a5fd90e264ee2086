// Disk-or-memory file routines over POSIX and stdio, path and folder helpers, temporary
// folders. Failures leave a text in the memory-file layer's last-error buffer.

#include "support/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

}  // namespace

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
