// The package archive reader: minizip walks the central directory and checks each local header;
// the entries' bytes are then read in one piece and inflated by libdeflate straight into place,
// or, for an entry read as a stream, by ISA-L's inflater (more than twice as fast as zlib's).

#include "support/zip_reader.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "support/results.h"
#include "support/zip_archive.h"
#include "support/zip_format.h"

namespace tabsmith {
namespace {

using namespace zip_format;

// The routes an archive is read through, fixed at open whatever the routing flag says later.
const ZipOpenTarget kDiskTarget{-1, 1};
const ZipOpenTarget kMemoryTarget{-1, 0};

// Deflate spends at least two bits on a match of at most 258 bytes; more plain bytes than this
// per packed byte cannot come out of a valid stream, so such an entry is refused before its
// output is allocated.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
constexpr std::uint64_t kDeflateRatioSlack = 4096;
// Largest single read handed to the callbacks.
constexpr std::uint64_t kReadStep = 1ULL << 30;

unzFile as_unz(void *uf) { return static_cast<unzFile>(uf); }

std::uint32_t entry_crc(const char *data, std::size_t size) {
    return static_cast<std::uint32_t>(libdeflate_crc32(0, data, size));
}

// Frees `out` rather than keeping a failed entry's buffer, which may be large.
int fail(std::string &out, int rc) {
    std::string().swap(out);
    return rc;
}

}  // namespace

ZipPackageReader::ZipPackageReader() = default;

ZipPackageReader::~ZipPackageReader() {
    close();
    if (decompressor_) libdeflate_free_decompressor(static_cast<libdeflate_decompressor *>(decompressor_));
}

void ZipPackageReader::close() {
    if (uf_) unzClose(as_unz(uf_));
    uf_ = nullptr;
    if (data_) {
        zlib_filefunc64_def functions = zip_file_functions(from_memory_ ? &kMemoryTarget : &kDiskTarget);
        functions.zclose_file(functions.opaque, data_);
    }
    data_ = nullptr;
    archive_size_ = 0;
    by_name_.clear();
    entries_.clear();
    positions_.clear();
}

int ZipPackageReader::open(std::string_view archive, bool from_memory) {
    close();
    inflated_ = 0;
    from_memory_ = from_memory;
    if (archive.empty() || archive.find('\0') != std::string_view::npos) return kOpenError;
    try {
        const std::string path(archive);
        zlib_filefunc64_def functions = zip_file_functions(from_memory ? &kMemoryTarget : &kDiskTarget);
        errno = 0;
        data_ = functions.zopen64_file(functions.opaque, path.c_str(),
                                       ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
        if (!data_) return errno == ENOMEM ? kNoMemory : kOpenError;
        if (functions.zseek64_file(functions.opaque, data_, 0, ZLIB_FILEFUNC_SEEK_END) != 0) {
            close();
            return kOpenError;
        }
        ZPOS64_T size = functions.ztell64_file(functions.opaque, data_);
        if (size == static_cast<ZPOS64_T>(-1)) {
            close();
            return kOpenError;
        }
        archive_size_ = size;

        errno = 0;
        uf_ = unzOpen2_64(path.c_str(), &functions);
        if (!uf_) {
            int rc = errno == ENOMEM ? kNoMemory : kOpenError;
            close();
            return rc;
        }
        unz_global_info64 global{};
        if (unzGetGlobalInfo64(as_unz(uf_), &global) != UNZ_OK || global.number_entry == 0) {
            close();
            return kOpenError;
        }
        if (global.number_entry > kZipReaderMaxEntries) {
            close();
            return kLimit;
        }
        // The count comes from the end record; only what the archive can hold is reserved. A
        // count of 0xFFFF without a zip64 record is what writers that never write one put
        // there for "this many or more" (minizip's among them), so the directory is then walked
        // to its end instead.
        const bool open_ended = global.number_entry == 0xFFFF;
        const std::uint64_t count = open_ended ? kZipReaderMaxEntries + 1 : global.number_entry;
        const std::size_t room = static_cast<std::size_t>(
            std::min<std::uint64_t>(std::min<std::uint64_t>(count, kZipReaderMaxEntries), archive_size_ / kCentralHeaderBytes));
        entries_.reserve(room);
        positions_.reserve(room);
        for (std::uint64_t i = 0; i < count; ++i) {
            int rc = i == 0 ? unzGoToFirstFile(as_unz(uf_)) : unzGoToNextFile(as_unz(uf_));
            if (rc != UNZ_OK && open_ended && i >= 0xFFFF) break;  // past the last central header
            if (rc == UNZ_OK && i == kZipReaderMaxEntries) {
                close();
                return kLimit;
            }
            unz_file_info64 info{};
            char name[kZipReaderMaxName + 1];
            if (rc == UNZ_OK)
                rc = unzGetCurrentFileInfo64(as_unz(uf_), &info, name, sizeof name, nullptr, 0, nullptr, 0);
            unz64_file_pos position{};
            if (rc == UNZ_OK) rc = unzGetFilePos64(as_unz(uf_), &position);
            if (rc != UNZ_OK) {
                close();
                return kOpenError;
            }
            if (info.size_filename > kZipReaderMaxName) {
                close();
                return kLimit;
            }
            ZipEntryInfo entry;
            entry.name.assign(name, info.size_filename);
            entry.method = static_cast<std::uint16_t>(info.compression_method);
            entry.crc32 = static_cast<std::uint32_t>(info.crc);
            entry.packed_size = info.compressed_size;
            entry.plain_size = info.uncompressed_size;
            entry.dos_time = static_cast<std::uint32_t>(info.dosDate);
            entry.encrypted = (info.flag & 1) != 0;
            entry.utf8_name = (info.flag & 0x800) != 0;
            entries_.push_back(std::move(entry));
            positions_.push_back(Position{position.pos_in_zip_directory, position.num_of_file});
        }
        // Built once the entries no longer move: the keys view their names.
        by_name_.reserve(entries_.size());
        for (std::size_t i = 0; i < entries_.size(); ++i)
            by_name_.emplace(std::string_view(entries_[i].name), static_cast<int>(i));
    } catch (const std::bad_alloc &) {
        close();
        return kNoMemory;
    }
    return 0;
}

const std::vector<ZipEntryInfo> &ZipPackageReader::entries() const { return entries_; }

int ZipPackageReader::find(std::string_view name) const {
    auto it = by_name_.find(name);
    return it == by_name_.end() ? -1 : it->second;
}

void ZipPackageReader::set_budget(std::uint64_t bytes) { budget_ = bytes; }

// Where the entry's bytes start: after its local header, found through its central record
// (a zip64 field where the offset needs one). The local header must name the same entry with the
// same method, so that no two readers of the archive can see different contents. Read by hand
// rather than by minizip, which would refuse methods it cannot inflate even for a raw copy.
int ZipPackageReader::locate_data(int index, std::uint64_t &offset) {
    const Position &at = positions_[static_cast<std::size_t>(index)];
    const ZipEntryInfo &entry = entries_[static_cast<std::size_t>(index)];
    unsigned char central[kCentralHeaderBytes];
    if (at.directory_offset > archive_size_ || archive_size_ - at.directory_offset < kCentralHeaderBytes ||
        read_at(at.directory_offset, central, kCentralHeaderBytes) != 0 || le32(central) != kCentralSignature)
        return kReadError;
    const std::uint64_t name_size = le16(central + 28), extra_size = le16(central + 30);
    std::uint64_t local = le32(central + 42);
    if (local == 0xFFFFFFFFu) {
        // The zip64 field holds, in this order, only the values its fixed fields could not.
        unsigned char extra[0xFFFF];
        const std::uint64_t extra_at = at.directory_offset + kCentralHeaderBytes + name_size;
        if (extra_at > archive_size_ || archive_size_ - extra_at < extra_size || read_at(extra_at, extra, extra_size) != 0)
            return kReadError;
        bool found = false;
        for (std::uint64_t k = 0; k + 4 <= extra_size && !found;) {
            const std::uint64_t id = le16(extra + k), size = le16(extra + k + 2);
            if (k + 4 + size > extra_size) break;
            if (id == 1) {
                std::uint64_t field = k + 4;
                if (le32(central + 24) == 0xFFFFFFFFu) field += 8;
                if (le32(central + 20) == 0xFFFFFFFFu) field += 8;
                if (field + 8 > k + 4 + size) return kReadError;
                local = le64(extra + field);
                found = true;
            }
            k += 4 + size;
        }
        if (!found) return kReadError;
    }
    unsigned char header[kLocalHeaderBytes];
    if (local > archive_size_ || archive_size_ - local < kLocalHeaderBytes || read_at(local, header, kLocalHeaderBytes) != 0 ||
        le32(header) != kLocalSignature || le16(header + 8) != entry.method)
        return kReadError;
    // Without a data descriptor (flag bit 3) the local header repeats the CRC and sizes.
    if ((le16(header + 6) & 8) == 0) {
        const std::uint64_t packed = le32(header + 18), plain = le32(header + 22);
        if (le32(header + 14) != entry.crc32 || (packed != 0xFFFFFFFFu && packed != entry.packed_size) ||
            (plain != 0xFFFFFFFFu && plain != entry.plain_size))
            return kReadError;
    }
    const std::uint64_t local_name = le16(header + 26), local_extra = le16(header + 28);
    if (local_name != entry.name.size() || archive_size_ - local - kLocalHeaderBytes < local_name) return kReadError;
    std::string name(entry.name.size(), '\0');
    if (read_at(local + kLocalHeaderBytes, name.data(), local_name) != 0 || name != entry.name) return kReadError;
    offset = local + kLocalHeaderBytes + local_name + local_extra;
    // A cut archive or a forged size shows here, before anything is allocated for the entry.
    if (offset > archive_size_ || entry.packed_size > archive_size_ - offset) return kReadError;
    return 0;
}

int ZipPackageReader::read_at(std::uint64_t offset, void *out, std::uint64_t size) {
    zlib_filefunc64_def functions = zip_file_functions(from_memory_ ? &kMemoryTarget : &kDiskTarget);
    if (functions.zseek64_file(functions.opaque, data_, offset, ZLIB_FILEFUNC_SEEK_SET) != 0) return kReadError;
    auto *bytes = static_cast<unsigned char *>(out);
    while (size > 0) {
        auto step = static_cast<uLong>(std::min(size, kReadStep));
        uLong got = functions.zread_file(functions.opaque, data_, bytes, step);
        if (got != step) return kReadError;
        bytes += got;
        size -= got;
    }
    return 0;
}

int ZipPackageReader::read_raw(int index, std::string &out) {
    out.clear();
    if (!uf_ || index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return kBadArgument;
    const ZipEntryInfo &entry = entries_[static_cast<std::size_t>(index)];
    std::uint64_t offset = 0;
    int rc = locate_data(index, offset);
    if (rc != 0) return fail(out, rc);
    try {
        out.resize(static_cast<std::size_t>(entry.packed_size));
    } catch (const std::bad_alloc &) {
        return fail(out, kNoMemory);
    }
    rc = read_at(offset, out.data(), entry.packed_size);
    return rc != 0 ? fail(out, rc) : 0;
}

int ZipPackageReader::read(int index, std::string &out, std::uint64_t max_bytes) {
    out.clear();
    if (!uf_ || index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return kBadArgument;
    const ZipEntryInfo &entry = entries_[static_cast<std::size_t>(index)];
    if (entry.encrypted || (entry.method != 0 && entry.method != Z_DEFLATED)) return kUnsupported;
    // Refused on the declared size, which bounds the output below: a bomb never gets to run.
    const std::uint64_t left = budget_ > inflated_ ? budget_ - inflated_ : 0;
    if (entry.plain_size > max_bytes || entry.plain_size > left) return kLimit;
    if (entry.plain_size > out.max_size()) return kLimit;
    std::uint64_t offset = 0;
    int rc = locate_data(index, offset);
    if (rc != 0) return fail(out, rc);
    if (entry.method == 0 ? entry.packed_size != entry.plain_size
                          : entry.plain_size > entry.packed_size * kMaxDeflateRatio + kDeflateRatioSlack)
        return fail(out, kReadError);
    try {
        out.resize(static_cast<std::size_t>(entry.plain_size));
    } catch (const std::bad_alloc &) {
        return fail(out, kNoMemory);
    }
    inflated_ += entry.plain_size;
    rc = entry.method == 0 ? read_at(offset, out.data(), entry.packed_size) : inflate_entry(entry, offset, out);
    if (rc != 0) return fail(out, rc);
    if (entry_crc(out.data(), out.size()) != entry.crc32) return fail(out, kReadError);
    return 0;
}

// The whole compressed entry is read first and inflated in one call: the output has exactly its
// declared size, so a stream that wants to write more stops at that size with an error.
int ZipPackageReader::inflate_entry(const ZipEntryInfo &entry, std::uint64_t offset, std::string &out) {
    if (!decompressor_) {
        decompressor_ = libdeflate_alloc_decompressor();
        if (!decompressor_) return kNoMemory;
    }
    if (entry.packed_size > std::numeric_limits<std::size_t>::max()) return kReadError;
    const auto packed = static_cast<std::size_t>(entry.packed_size);
    if (packed_capacity_ < packed) {
        packed_.reset();
        packed_capacity_ = 0;
        packed_.reset(new (std::nothrow) unsigned char[packed]);
        if (!packed_) return kNoMemory;
        packed_capacity_ = packed;
    }
    int rc = read_at(offset, packed_.get(), packed);
    if (rc != 0) return rc;
    std::size_t produced = 0;
    libdeflate_result result =
        libdeflate_deflate_decompress(static_cast<libdeflate_decompressor *>(decompressor_), packed_.get(), packed,
                                      out.data(), out.size(), &produced);
    if (result != LIBDEFLATE_SUCCESS || produced != out.size()) return kReadError;
    return 0;
}

int inflate_stored_entry(const ZipEntryInfo &entry, std::string_view raw, std::string &out, std::uint64_t max_bytes) {
    out.clear();
    if (entry.encrypted || (entry.method != 0 && entry.method != Z_DEFLATED)) return kUnsupported;
    if (entry.plain_size > max_bytes) return kLimit;
    if (entry.method == 0 ? raw.size() != entry.plain_size
                          : entry.plain_size > raw.size() * kMaxDeflateRatio + kDeflateRatioSlack)
        return kReadError;
    try {
        out.resize(static_cast<std::size_t>(entry.plain_size));
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
    if (entry.method == 0) {
        out.assign(raw);
    } else {
        libdeflate_decompressor *decompressor = libdeflate_alloc_decompressor();
        if (!decompressor) return fail(out, kNoMemory);
        std::size_t produced = 0;
        const libdeflate_result result =
            libdeflate_deflate_decompress(decompressor, raw.data(), raw.size(), out.data(), out.size(), &produced);
        libdeflate_free_decompressor(decompressor);
        if (result != LIBDEFLATE_SUCCESS || produced != out.size()) return fail(out, kReadError);
    }
    if (entry_crc(out.data(), out.size()) != entry.crc32) return fail(out, kReadError);
    return 0;
}

int ZipPackageReader::open_stream(int index, ZipEntryStream &stream, std::uint64_t max_bytes) {
    stream.release();
    if (!uf_ || index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return kBadArgument;
    const ZipEntryInfo &entry = entries_[static_cast<std::size_t>(index)];
    if (entry.encrypted || (entry.method != 0 && entry.method != Z_DEFLATED)) return kUnsupported;
    const std::uint64_t left = budget_ > inflated_ ? budget_ - inflated_ : 0;
    if (entry.plain_size > max_bytes || entry.plain_size > left) return kLimit;
    if (entry.method == 0 ? entry.packed_size != entry.plain_size
                          : entry.plain_size > entry.packed_size * kMaxDeflateRatio + kDeflateRatioSlack)
        return kReadError;
    std::string raw;
    if (int rc = read_raw(index, raw); rc != 0) return rc;
    inflated_ += entry.plain_size;
    return stream.start(std::move(raw), entry.method, entry.plain_size, entry.crc32);
}

ZipEntryStream::ZipEntryStream() = default;

ZipEntryStream::~ZipEntryStream() { release(); }

void ZipEntryStream::release() {
    delete static_cast<inflate_state *>(inflater_);
    inflater_ = nullptr;
    std::string().swap(raw_);
    bytes_ = {};
    raw_used_ = 0;
    plain_size_ = delivered_ = 0;
    crc_ = expected_crc_ = 0;
    finished_ = false;
    keep_deflated_ = false;
}

int ZipEntryStream::start(std::string raw, std::uint16_t method, std::uint64_t plain_size, std::uint32_t crc32) {
    raw_ = std::move(raw);
    bytes_ = raw_;
    method_ = method;
    plain_size_ = plain_size;
    expected_crc_ = crc32;
    if (method_ == Z_DEFLATED) {
        auto *state = new (std::nothrow) inflate_state;
        if (!state) return kNoMemory;
        isal_inflate_init(state);
        state->crc_flag = ISAL_DEFLATE;   // raw deflate: the entry's CRC is checked here
        inflater_ = state;
    }
    return 0;
}

// Inflates into `to` (up to `room` bytes) from what is left of the raw bytes. Returns the bytes
// produced, or -1 for data that is not deflate; `ended` is set once the final block is done.
std::ptrdiff_t ZipEntryStream::inflate_some(char *to, std::size_t room, bool &ended) {
    auto *state = static_cast<inflate_state *>(inflater_);
    state->next_in = reinterpret_cast<std::uint8_t *>(const_cast<char *>(bytes_.data() + raw_used_));
    state->avail_in = static_cast<std::uint32_t>(std::min<std::size_t>(bytes_.size() - raw_used_, 1u << 30));
    state->next_out = reinterpret_cast<std::uint8_t *>(to);
    state->avail_out = static_cast<std::uint32_t>(room);
    const int rc = isal_inflate(state);
    raw_used_ = static_cast<std::size_t>(reinterpret_cast<const char *>(state->next_in) - bytes_.data());
    if (rc != ISAL_DECOMP_OK) return -1;
    ended = state->block_state == ISAL_BLOCK_FINISH;
    return static_cast<std::ptrdiff_t>(room - state->avail_out);
}

int ZipEntryStream::read(std::string &out, std::size_t max, bool &done) {
    done = false;
    if (finished_) {
        done = true;
        return 0;
    }
    if (method_ == Z_DEFLATED && !inflater_) return kBadArgument;
    // Never more than the declared size: the data cannot outgrow what the budget allowed.
    const std::uint64_t left = plain_size_ - delivered_;
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(max, left));
    const std::size_t before = out.size();
    try {
        out.resize(before + want);
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
    std::size_t got = 0;
    bool ended = false;
    if (method_ == 0) {
        got = std::min(want, bytes_.size() - raw_used_);
        std::memcpy(out.data() + before, bytes_.data() + raw_used_, got);
        raw_used_ += got;
        ended = raw_used_ == bytes_.size();
    } else {
        const std::ptrdiff_t produced = want == 0 ? 0 : inflate_some(out.data() + before, want, ended);
        if (produced < 0) {
            out.resize(before);
            return kReadError;
        }
        got = static_cast<std::size_t>(produced);
        // Output room left and no input: the data ended before its declared size.
        if (!ended && got == 0 && want > 0) {
            out.resize(before);
            return kReadError;
        }
        if (!ended && delivered_ + got == plain_size_) {
            // Everything declared has been delivered; the stream must end here, with no byte more.
            char probe = 0;
            if (inflate_some(&probe, 1, ended) != 0 || !ended) {
                out.resize(before);
                return kReadError;
            }
        }
    }
    out.resize(before + got);
    crc_ = static_cast<std::uint32_t>(libdeflate_crc32(crc_, out.data() + before, got));
    delivered_ += got;
    if (ended || (method_ == 0 && delivered_ == plain_size_)) {
        if (delivered_ != plain_size_ || crc_ != expected_crc_) return kReadError;
        finished_ = true;
        done = true;
        if (!keep_deflated_ || method_ != Z_DEFLATED) {
            bytes_ = {};
            std::string().swap(raw_);
        }
    }
    return 0;
}

std::string ZipEntryStream::take_deflated() {
    if (!finished_ || !keep_deflated_ || method_ != Z_DEFLATED) return {};
    bytes_ = {};
    return std::move(raw_);
}

int ZipEntryStream::open_deflated(std::string_view bytes, std::uint64_t plain_size, std::uint32_t crc32) {
    release();
    const int rc = start({}, Z_DEFLATED, plain_size, crc32);
    bytes_ = bytes;
    return rc;
}

}  // namespace tabsmith
