// The archive route every save shares: how a part becomes an archive entry (a whole text, a
// text written piece by piece, an entry copied as a package stored it) and where the archive goes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "model/book.h"
#include "model/package_source.h"
#include "support/deflate_pipeline.h"
#include "support/zip_archive.h"
#include "xlsx_write/package_writer.h"
#include "xlsx_write/worksheet_part.h"

namespace tabsmith {

// Whatever the archive layer reports (an entry not opened or closed, the central directory
// not written), the archive could not be written: the save reports it as a write error. Memory
// running out stays what it is.
int archive_failure(int rc);

// Writes a part's whole text as one deflated entry; the text is released as it goes.
int archive_text_entry(ZipPackageWriter &zip, const std::string &name, std::string &&text);

// Writes bytes the caller keeps (a picture file) as one deflated entry without copying them whole.
int archive_bytes_entry(ZipPackageWriter &zip, const std::string &name, std::string_view bytes);

// A part written piece by piece: appends to `out` and hands it to the sink whenever it has
// grown past `piece_bytes` (tsx_write_worksheet's contract).
using StreamedPart = std::function<int(std::string &out, PartSink *sink, std::size_t piece_bytes)>;

// Writes a streamed part as one deflated entry, compressing each piece while the next is
// written, so neither the text nor its compressed form is ever held whole. `bound` is an upper
// bound of the text's size (it chooses the entry format before anything is written).
int archive_streamed_entry(ZipPackageWriter &zip, const std::string &name, std::uint64_t bound,
                           const StreamedPart &write, std::size_t piece_bytes = kDeflatePieceBytes);

// Pieces of a book that streams its rows: its save holds a few pieces at once, and a book that
// streams is one whose caller wants memory kept small rather than the last bit of speed.
constexpr std::size_t kStreamingPieceBytes = 256u << 10;
inline std::size_t worksheet_piece_bytes(const Book &book) {
    return book.stream_after > 0 ? kStreamingPieceBytes : kDeflatePieceBytes;
}

// Copies an entry of a package read earlier with the same contents: a deflated entry keeps its
// compressed bytes, CRC and sizes, a stored one is deflated; either gets the save's time stamp.
// 0, kWriteError for a compression method the engine does not write, or the archive layer's error.
int archive_copied_entry(ZipPackageWriter &zip, const PackageEntry &entry);

// Opens the target's archive, lets `fill` write the entries and closes it. A disk target is
// only ever replaced by a complete archive; a memory target is left absent after a failure.
using ArchiveFill = std::function<int(ZipPackageWriter &zip)>;
int write_package_archive(const SaveTarget &target, const ArchiveFill &fill);

}  // namespace tabsmith
