// Rows of a package's worksheet that the book has not changed, written back as the package
// stored them: their text inflated from the part's kept bytes, or, for a long run of them, the
// part's own deflated blocks handed to the archive without compressing them again.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "model/book.h"
#include "model/package_source.h"
#include "support/deflate_blocks.h"
#include "support/zip_reader.h"
#include "xlsx_write/worksheet_part.h"

namespace tabsmith {

class StoredRowWriter {
public:
    // A writer for `sheet` of `book`, whose part's root start tag the save keeps (the rows'
    // prefixes stay declared). usable() is false when nothing can be written back: the part
    // was not kept, rows were streamed, or the book's date system changed.
    StoredRowWriter(const Book &book, const Sheet &sheet);
    bool usable() const { return usable_; }

    // Row `index` comes next in the sheet's order: `taken` tells whether it was written back
    // as stored (the row is unchanged and no merged area covers it). A row not taken ends the
    // run of rows held so far, whose text then reaches `out` (or the sink, as for the writer
    // of the rows) before the caller writes the row. kOk, kReadError when the kept bytes do
    // not inflate, or the sink's error.
    int offer(int index, const Row &row, bool merged, std::string &out, PartSink *sink, std::size_t piece_bytes,
              bool &taken);
    // Writes the run still held. Returns as offer().
    int finish(std::string &out, PartSink *sink, std::size_t piece_bytes);

private:
    int flush(std::string &out, PartSink *sink, std::size_t piece_bytes);
    // Moves through the plain text up to `offset`, appending it to `out` or adding it to `crc`
    // when given; with a sink, `out` goes to it whenever it has grown past `piece_bytes`. kOk,
    // kReadError, kNoMemory or the sink's error.
    int pass(std::uint64_t offset, std::string *out, std::uint32_t *crc, PartSink *sink, std::size_t piece_bytes);
    // The blocks of the kept bytes, listed on first use; empty when they cannot be.
    const std::vector<DeflateBlockStart> &blocks();
    // Writes [begin, end) of the run as text, except whole blocks that start a window's length
    // into the run, which go to the sink as they are.
    int write_reusing_blocks(std::uint64_t begin, std::uint64_t end, std::string &out, PartSink &sink,
                             std::size_t piece_bytes);

    const SheetSource *source_ = nullptr;
    std::span<const SheetSource::StoredRow> rows_;
    bool usable_ = false;
    std::size_t next_ = 0;                          // the next stored row to be met
    std::size_t last_taken_ = static_cast<std::size_t>(-1);
    bool holding_ = false;                          // a run [run_begin_, run_end_) waits to be written
    std::uint64_t run_begin_ = 0, run_end_ = 0;

    ZipEntryStream stream_;
    bool opened_ = false;
    std::string plain_;                             // inflated text from plain_at_ on
    std::uint64_t plain_at_ = 0, passed_ = 0;       // passed_: where the text has been gone through to
    bool listed_ = false;
    std::vector<DeflateBlockStart> blocks_;
};

}  // namespace tabsmith
