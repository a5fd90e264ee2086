// File routines that work on a disk file or a memory file alike, path and folder helpers and
// temporary folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "support/charset.h"
#include "support/mfile.h"
#include "support/results.h"

namespace tabsmith {

// Open modes of aod_open.
enum AodMode : int {
    kAodRead = 1,       // must exist; others may read it at the same time
    kAodWrite = 2,      // created or replaced
    kAodAppend = 3,     // opened or created, positioned at the end
    kAodReadWrite = 4,  // opened or created, positioned at the start
};

// Seek origins of aod_seek.
enum AodOrigin : int { kAodStart = 1, kAodCurrent = 2, kAodEnd = 3 };

// aod_seek's own result besides the shared ones: the position would be invalid.
constexpr int kSeekError = -104;

// An open file: a stdio stream on disk or a memory-file entry. Destroying it closes it.
struct FileHandle {
    std::FILE *fp = nullptr;
    MFile *mem = nullptr;
    int mode = 0;
    // stdio needs a flush or seek between a write and a read on the same stream.
    enum class LastOp { kNone, kRead, kWrite } last = LastOp::kNone;

    FileHandle() = default;
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    ~FileHandle();
};
using FilePtr = std::unique_ptr<FileHandle>;

// `on_disk` non-zero: `name` is a disk path; zero: the memory file of that name.
FilePtr aod_open(int on_disk, std::string_view name, int mode);
// 0, or kWriteError when buffered data could not be written. The handle is released either way.
int aod_close(FilePtr &file);
// Bytes read (0 at the end), or kReadError on a read error.
std::int64_t aod_read(FileHandle *file, void *buffer, std::size_t size);
// 0, or kWriteError when fewer bytes were written.
int aod_write(FileHandle *file, const void *data, std::size_t size);
// Writes the text and CR LF unless the text already ends with CR or LF; 0 or kWriteError.
int aod_write_line(FileHandle *file, std::string_view text);
// 0; kBadArgument for an unknown origin; kSeekError when the position would be invalid.
int aod_seek(FileHandle *file, std::int64_t offset, int origin);
// The position, or -1.
std::int64_t aod_tell(FileHandle *file);

// Reads a file whole into `out`: 0, kOpenError (cannot be opened), kReadError (read error), kNoMemory (memory).
int aod_read_all(int on_disk, std::string_view name, std::string &out);
// Copies disk to disk or memory file to memory file: 0, kOpenError, kReadError or kWriteError.
int aod_copy(int on_disk, std::string_view from, std::string_view to);
// The size in bytes; kOpenError when the file cannot be opened, kFail when its size cannot be read.
std::int64_t aod_fsze(int on_disk, std::string_view name);
// Local date and time of the last write; 0 or kOpenError when the file does not exist.
int aod_fdate(int on_disk, std::string_view name, DateTime &when);

// The running program's path: 0, kLimit when longer than 256 bytes, kFail when unknown.
int module_path(std::string &out);
// Replaces the extension after the last "." of the last path component, or appends one.
std::string replace_extension(std::string_view path, std::string_view extension);
// Splits at the last "/" or "\" (a multibyte character of `charset` is never split). The
// folder excludes the separator, except that a path directly under the root keeps "/".
void split_path(std::string_view path, int charset, std::string &folder, std::string &file);
// Creates every missing folder of `path` ("/" and "\" both separate): 0; kLimit for more than
// 30 levels; kBadArgument for an empty path; kFail when a folder cannot be created.
int make_folders(std::string_view path);
constexpr int kMaxFolderLevels = 30;
// Deletes a folder with everything below it (symbolic links are removed, not followed):
// 0, kBadArgument for an empty path or the root, kFail on failure.
int remove_folder_tree(std::string_view path);
// The folder `name` below the temporary folder (TEMP, else TMPDIR, else /tmp; a variable of
// more than 256 bytes is ignored), created; the result of make_folders, kBadArgument for a bad name.
int temp_folder(std::string_view name, std::string &out);
// A new, private folder below the temporary folder whose name starts with `prefix`, so that
// concurrent saves do not share one working folder: 0, kBadArgument or kFail.
int unique_temp_folder(std::string_view prefix, std::string &out);

// One version of a file as the system tells versions apart: the file itself (device, inode)
// and its contents (size, last write to the nanosecond). Two readings are equal only when
// nothing replaced, removed or rewrote the file in between.
struct FileIdentity {
    bool known = false;   // false: the file could not be looked at (missing, say)
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified_seconds = 0;
    std::int64_t modified_nanoseconds = 0;
    bool operator==(const FileIdentity &) const = default;
};
// The identity of the file at `path`, its links followed.
FileIdentity file_identity(const std::string &path);

// ReplacementFile::commit's result when the destination is no longer the version it was
// expected to be.
constexpr int kTargetChanged = -107;

// A file written under a private name in the folder of the file it replaces and renamed over
// it only when complete, so that the target is never seen half written and nothing planted
// beside it is followed. The private name, `.NAME.tabsmith-PID-XXXXXX.tmp`, says whose it is:
// creating one removes those a process that is gone left for the same target. A target that is
// a symbolic link is replaced at the end of its chain (the link stays a link); the finished
// file keeps the replaced file's permissions, or gets those a new file would get under the
// process umask. Destroying an uncommitted file removes it.
class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // Creates the temporary file (read-write, 0600, never through a link): 0, or kOpenError
    // with the reason in the memory-file layer's last-error buffer (a folder that cannot be
    // written, a target that is a folder or no regular file, a link chain that loops).
    int create(std::string_view target);
    // The open descriptor of the temporary file; it stays owned by this object.
    int descriptor() const { return fd_; }
    const std::string &temporary_path() const { return temporary_; }
    // The file that commit() replaces: the target, or the file its links end at.
    const std::string &destination() const { return destination_; }
    // Gives the file its permissions and renames it over the destination: 0, or kWriteError
    // with the temporary file removed. With a known `expected` identity, the destination must
    // still be that file (another process may have rewritten it since it was read): otherwise
    // kTargetChanged, the temporary file removed and the destination left as it is.
    int commit(const FileIdentity &expected = {});
    // Closes and removes the temporary file; nothing else is touched.
    void abort();

private:
    int fd_ = -1;
    std::string temporary_;
    std::string destination_;
};

// The permission bits a new file gets from open(..., 0666) under the current umask.
unsigned new_file_mode();

// The path a book is read from or saved to: absolute names as they are, others joined to the
// current directory; backslashes count as separators.
std::string working_path(std::string_view name);

// Opens a file the engine reads (statement files, CSV/TSV files, workbooks, pictures): regular
// files only, so that a FIFO or a device such as /dev/zero can never hang a call. nullptr
// otherwise, with errno set.
std::FILE *open_input_file(const std::string &path);
struct InputFileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using InputFile = std::unique_ptr<std::FILE, InputFileCloser>;

}  // namespace tabsmith
