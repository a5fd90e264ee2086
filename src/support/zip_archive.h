// Zip archives in a disk file or a memory file: the minizip file callbacks, the routing flag
// that chooses between the two, and the writer that packs a package's entries.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <minizip/ioapi.h>

#include "support/mfile.h"
#include "support/results.h"
#include "support/zip_reader.h"

namespace tabsmith {

// Result code of this layer besides the shared ones (support/results.h).
constexpr int kZipCloseError = -5;     // an entry or the archive could not be closed

// The record minizip hands back to the callbacks. The route is fixed when the archive is
// opened, so a change of the routing flag while an archive is open cannot turn a memory-file
// pointer into a file descriptor.
struct ZipFileHandle {
    int fd = -1;                  // disk route
    MFile *mem = nullptr;  // memory route
    bool on_disk = true;
    // A memory file opened for reading keeps its own cursor: two archives open on one memory
    // file, or a close of that file by someone else, must not move or stop each other's reads.
    bool own_cursor = false;
    std::int64_t position = 0;
    std::uint32_t last_error = 0;  // errno of the last failed read, write, tell or seek; 0 if none
};

// What the opaque pointer of the callback set may point to; it must outlive the archive.
struct ZipOpenTarget {
    int descriptor = -1;  // >= 0: write into a duplicate of this disk file, whatever the route
    int route = -1;       // >= 0: this route (non-zero disk) instead of the routing flag
};

// The callback set every archive is opened with (64-bit positions, narrow paths). Without a
// target each archive follows the routing flag as it stands when it is opened.
zlib_filefunc64_def zip_file_functions();
zlib_filefunc64_def zip_file_functions(const ZipOpenTarget *target);

// The routing flag (per thread, initially -1): non-zero puts archives in disk files, zero in
// memory files named by the archive path. Returns 0.
int set_zip_route(int on);
int zip_route();

// Writes a new archive entry by entry from data its caller has deflated already (raw deflate,
// with the CRC-32 and size of the plain data), so that compression can run elsewhere. The
// archive follows the routing flag as it stands at open(); an unfinished archive is closed by
// the destructor and is then incomplete.
class ZipPackageWriter {
public:
    ZipPackageWriter();
    ~ZipPackageWriter();
    ZipPackageWriter(const ZipPackageWriter &) = delete;
    ZipPackageWriter &operator=(const ZipPackageWriter &) = delete;

    // 0, kOpenError when the archive cannot be created, or kNoMemory when memory runs out (every
    // call below answers kNoMemory for that too).
    int open(std::string_view archive);
    // Writes the archive into a disk file its caller has created and keeps (the writer works
    // on a duplicate of `descriptor`, positioned at the start), whatever the routing flag.
    // 0, or kOpenError.
    int open_descriptor(int descriptor);
    // Starts a deflated entry stamped with the current local time. `zip64` must be set when
    // the plain or packed data may reach 4 GiB. 0, or kOpenError (a name zip_entry_name_safe
    // refuses, no archive, an entry still open).
    int begin_entry(std::string_view name, bool zip64);
    // 0, or kWriteError when the compressed data could not be written.
    int write_raw(const void *data, std::size_t size);
    // 0, or kZipCloseError when the entry could not be closed (or outgrew a header without
    // zip64 fields).
    int end_entry(std::uint64_t plain_size, std::uint32_t crc32);
    // Adds an entry whose data is `raw` exactly as another archive stored it, by any method,
    // keeping its name, CRC, sizes and DOS time. 0; kOpenError (no archive, a name
    // zip_entry_name_safe refuses, an encrypted entry, `raw` not packed_size bytes, a stored
    // entry whose sizes differ); kWriteError.
    int copy_entry(const ZipEntryInfo &entry, std::string_view raw);
    // Writes the central directory and closes the archive. 0, or kZipCloseError.
    int close();

private:
    struct Record;
    int open_stream(const std::string &path);
    int put(std::string_view bytes);
    int start(Record record);
    std::string local_header(const Record &record) const;

    void *stream_ = nullptr;
    ZipOpenTarget target_;  // handed to the file callbacks as their opaque pointer
    std::vector<Record> records_;
    std::uint64_t offset_ = 0;       // where the next byte goes
    std::uint64_t entry_data_ = 0;   // where the open entry's data started
    bool open_entry_ = false;
};

}  // namespace tabsmith
