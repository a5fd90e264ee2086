// Reading a package archive (a workbook's zip) from a disk file or a memory file: the entry list,
// lookup by name, inflating an entry under size limits, and an entry's stored bytes for copying.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tabsmith {

// Most entries and longest entry name (bytes) an archive may have to be opened at all: real
// workbooks stay far below both, and the entry table is built before anything is read.
constexpr std::size_t kZipReaderMaxEntries = 100000;
constexpr std::size_t kZipReaderMaxName = 256;
// What a reader may inflate in all unless set_budget says otherwise.
constexpr std::uint64_t kZipReaderDefaultBudget = 4ULL << 30;

class ZipEntryStream;

// One entry as the central directory describes it.
struct ZipEntryInfo {
    std::string name;              // as stored in the archive
    std::uint16_t method = 0;      // 0 stored, 8 deflate; read() refuses any other
    std::uint32_t crc32 = 0;
    std::uint64_t packed_size = 0, plain_size = 0;
    std::uint32_t dos_time = 0;    // DOS date << 16 | time, as stored
    bool encrypted = false;        // general-purpose flag bit 0
    bool utf8_name = false;        // general-purpose flag bit 11: the name is UTF-8
};

// An open archive. The archive stays open until the next open() or the reader's end; a memory
// file read this way must stay in the table (not dropped by mclose_all/mpark) until then.
class ZipPackageReader {
public:
    ZipPackageReader();
    ~ZipPackageReader();
    ZipPackageReader(const ZipPackageReader &) = delete;
    ZipPackageReader &operator=(const ZipPackageReader &) = delete;

    // Reads the central directory of `archive`, a disk path, or with `from_memory` the name of a
    // memory file (mopen's rules: a name missing from the table is loaded from disk). Nothing is
    // inflated. Any archive open before is closed and the running total of inflated bytes
    // starts again; the budget stays. 0; kOpenError (cannot open, not a zip archive, a damaged
    // or empty central directory); kNoMemory; kLimit (more than kZipReaderMaxEntries entries, a
    // name over kZipReaderMaxName bytes).
    int open(std::string_view archive, bool from_memory);
    // In archive order; empty while nothing is open.
    const std::vector<ZipEntryInfo> &entries() const;
    // The index of the entry of exactly that name (byte for byte), or -1. A name stored twice
    // finds its first entry.
    int find(std::string_view name) const;
    // Inflates entry `index` into `out`, replacing it: `out` is sized once to the declared
    // plain size and the data lands there directly. 0; kBadArgument (no archive, index out of
    // range); kUnsupported (encrypted, a method other than 0 and 8); kLimit (declared plain size
    // over `max_bytes`, or over what is left of the budget: refused before anything is
    // inflated, and the output can never outgrow the declared size); kReadError (CRC or size
    // mismatch, corrupt or cut data, sizes no deflate stream can have); kNoMemory. `out` is
    // left empty after a failure.
    int read(int index, std::string &out, std::uint64_t max_bytes);
    // The entry's data exactly as stored (compressed bytes, no inflation, any method minizip
    // opens). 0; kBadArgument; kReadError; kNoMemory.
    int read_raw(int index, std::string &out);
    // Prepares `stream` to deliver entry `index` piece by piece (see ZipEntryStream): the same
    // checks and budget as read(), but the plain data is never held whole. The compressed data
    // is read at once. 0 or read()'s codes.
    int open_stream(int index, ZipEntryStream &stream, std::uint64_t max_bytes);
    // The most this reader delivers through read() in all (stored entries count too, each read
    // at its declared size); read() refuses an entry that would pass it.
    void set_budget(std::uint64_t bytes);

private:
    struct Position {
        std::uint64_t directory_offset = 0;  // of the entry's central header
        std::uint64_t number = 0;            // of the entry in the directory
    };
    void close();
    int locate_data(int index, std::uint64_t &offset);
    int read_at(std::uint64_t offset, void *out, std::uint64_t size);
    int inflate_entry(const ZipEntryInfo &entry, std::uint64_t offset, std::string &out);

    void *uf_ = nullptr;      // minizip's handle: the directory and the local headers
    void *data_ = nullptr;    // a stream of our own over the same archive, for the entries' bytes
    bool from_memory_ = false;
    std::uint64_t archive_size_ = 0;
    std::uint64_t budget_ = kZipReaderDefaultBudget;
    std::uint64_t inflated_ = 0;
    std::vector<ZipEntryInfo> entries_;
    std::vector<Position> positions_;
    std::unordered_map<std::string_view, int> by_name_;  // views into entries_' names
    void *decompressor_ = nullptr;                       // made on the first deflated entry
    std::unique_ptr<unsigned char[]> packed_;            // compressed input, kept for the next entry
    std::size_t packed_capacity_ = 0;
};

// The plain data of an entry kept as stored (its directory record and its compressed bytes, as
// read_raw gives them): 0; kUnsupported for an encrypted entry or another method than stored or
// deflate; kLimit when the entry is larger than `max_bytes`; kReadError for data that does not
// inflate to the recorded size and CRC; kNoMemory.
int inflate_stored_entry(const ZipEntryInfo &entry, std::string_view raw, std::string &out, std::uint64_t max_bytes);

// One entry's plain data in pieces, for parts too large to hold whole beside what is read from
// them. The CRC and size are checked when the last piece has been delivered.
class ZipEntryStream {
public:
    ZipEntryStream();
    ~ZipEntryStream();
    ZipEntryStream(const ZipEntryStream &) = delete;
    ZipEntryStream &operator=(const ZipEntryStream &) = delete;

    // Appends up to `max` bytes of plain data to `out`; `done` is set once the entry has been
    // delivered whole and found intact. 0; kReadError for corrupt data, a CRC or size mismatch;
    // kBadArgument when the stream was not opened; kNoMemory.
    int read(std::string &out, std::size_t max, bool &done);
    std::uint64_t plain_size() const { return plain_size_; }
    std::uint32_t expected_crc() const { return expected_crc_; }

    // Asks that a deflated entry's bytes be kept once it has been delivered whole and intact;
    // take_deflated() then hands them over (else it gives an empty string).
    void keep_deflated() { keep_deflated_ = true; }
    std::string take_deflated();
    // A stream over deflated bytes held elsewhere (an entry kept earlier), which must outlive
    // it: `plain_size` and `crc32` are what they inflate to. 0, or kNoMemory.
    int open_deflated(std::string_view bytes, std::uint64_t plain_size, std::uint32_t crc32);

private:
    friend class ZipPackageReader;
    int start(std::string raw, std::uint16_t method, std::uint64_t plain_size, std::uint32_t crc32);
    std::ptrdiff_t inflate_some(char *to, std::size_t room, bool &ended);
    void release();

    std::string raw_;                 // the entry's bytes when the stream holds them
    std::string_view bytes_;          // the bytes inflated: raw_, or bytes held elsewhere
    std::size_t raw_used_ = 0;
    std::uint16_t method_ = 0;
    std::uint64_t plain_size_ = 0, delivered_ = 0;
    std::uint32_t expected_crc_ = 0, crc_ = 0;
    void *inflater_ = nullptr;   // the inflater's state for deflated entries
    bool finished_ = false;
    bool keep_deflated_ = false;
};

}  // namespace tabsmith
