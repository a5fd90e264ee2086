// Unchanged rows of a package's worksheet written back as stored. A row is unchanged when its
// digest equals the one taken when it was read; runs of such rows that lie side by side in the
// part are written as one stretch of the part's text. Deflate refers back at most 32 KiB, so a
// block of the part that starts that far into such a stretch inflates to the same text wherever
// it is put after the stretch's start: those blocks are copied bit for bit.

#include "xlsx_write/stored_rows.h"

#include <libdeflate.h>

#include <algorithm>

#include "support/results.h"

namespace tabsmith {
namespace {

// How far back a deflate block may refer.
constexpr std::uint64_t kWindow = 32768;
// Fewer plain bytes than this in a group of blocks are written as text: copying blocks ends
// the piece being compressed, which costs a little ratio.
constexpr std::uint64_t kFewestReused = 64 * 1024;
// The copied blocks go to the archive in chunks of about this many bits, so that memory stays small.
constexpr std::uint64_t kChunkBits = std::uint64_t{8} << 20;
// Text inflated at a time.
constexpr std::size_t kPlainPiece = 256 * 1024;

}  // namespace

StoredRowWriter::StoredRowWriter(const Book &book, const Sheet &sheet) : source_(sheet.source.get()) {
    usable_ = source_ && !source_->stored_part.empty() && !source_->stored_rows.empty() && book.source &&
              book.date1904 == book.source->date1904 && !(sheet.row_file && sheet.row_file->records > 0);
    if (usable_) rows_ = source_->stored_rows;
}

int StoredRowWriter::offer(int index, const Row &row, bool merged, std::string &out, PartSink *sink,
                           std::size_t piece_bytes, bool &taken) {
    taken = false;
    // Stored elements before this row are not written as stored now: a run cannot reach over them.
    while (next_ < rows_.size() && rows_[next_].row < index) ++next_;
    if (next_ < rows_.size() && rows_[next_].row == index && !merged && row_digest(row) == rows_[next_].digest) {
        const SheetSource::StoredRow &place = rows_[next_];
        if (!holding_ || last_taken_ + 1 != next_) {
            if (int rc = flush(out, sink, piece_bytes); rc != kOk) return rc;
            holding_ = true;
            run_begin_ = place.begin;
        }
        run_end_ = place.begin + place.length;
        last_taken_ = next_++;
        taken = true;
        return kOk;
    }
    return flush(out, sink, piece_bytes);
}

int StoredRowWriter::finish(std::string &out, PartSink *sink, std::size_t piece_bytes) {
    return flush(out, sink, piece_bytes);
}

int StoredRowWriter::flush(std::string &out, PartSink *sink, std::size_t piece_bytes) {
    if (!holding_) return kOk;
    holding_ = false;
    if (int rc = pass(run_begin_, nullptr, nullptr, nullptr, 0); rc != kOk) return rc;
    if (sink && sink->takes_deflated() && run_end_ - run_begin_ >= kWindow + kFewestReused)
        return write_reusing_blocks(run_begin_, run_end_, out, *sink, piece_bytes);
    return pass(run_end_, &out, nullptr, sink, piece_bytes);
}

int StoredRowWriter::pass(std::uint64_t offset, std::string *out, std::uint32_t *crc, PartSink *sink,
                          std::size_t piece_bytes) {
    if (offset < passed_ || offset > source_->stored_plain_size) return kReadError;
    if (!opened_) {
        if (int rc = stream_.open_deflated(source_->stored_part, source_->stored_plain_size, source_->stored_crc);
            rc != kOk)
            return rc;
        opened_ = true;
    }
    while (passed_ < offset) {
        const std::uint64_t held_end = plain_at_ + plain_.size();
        if (passed_ >= held_end) {
            plain_at_ = held_end;
            plain_.clear();
            bool done = false;
            if (int rc = stream_.read(plain_, kPlainPiece, done); rc != kOk) return rc;
            if (plain_.empty()) return kReadError;
            continue;
        }
        const auto from = static_cast<std::size_t>(passed_ - plain_at_);
        const auto n = static_cast<std::size_t>(std::min(offset, held_end) - passed_);
        if (crc) *crc = static_cast<std::uint32_t>(libdeflate_crc32(*crc, plain_.data() + from, n));
        passed_ += n;
        if (!out) continue;
        out->append(plain_, from, n);
        if (sink && out->size() >= piece_bytes)
            if (int rc = hand_over_piece(*sink, *out, piece_bytes); rc != kOk) return rc;
    }
    return kOk;
}

const std::vector<DeflateBlockStart> &StoredRowWriter::blocks() {
    if (listed_) return blocks_;
    listed_ = true;
    const auto *bytes = reinterpret_cast<const unsigned char *>(source_->stored_part.data());
    DeflateBlocks ends;
    std::uint64_t plain_size = 0;
    if (!list_deflate_blocks(bytes, source_->stored_part.size(), blocks_, ends, plain_size) ||
        plain_size != source_->stored_plain_size)
        std::vector<DeflateBlockStart>().swap(blocks_);
    return blocks_;
}

int StoredRowWriter::write_reusing_blocks(std::uint64_t begin, std::uint64_t end, std::string &out, PartSink &sink,
                                          std::size_t piece_bytes) {
    const std::vector<DeflateBlockStart> &list = blocks();
    const auto *bytes = reinterpret_cast<const unsigned char *>(source_->stored_part.data());
    // The final block (the last listed) is never copied: the part goes on after the rows.
    const std::size_t last = list.empty() ? 0 : list.size() - 1;
    std::size_t i = static_cast<std::size_t>(
        std::lower_bound(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(last), begin + kWindow,
                         [](const DeflateBlockStart &block, std::uint64_t at) { return block.plain_offset < at; }) -
        list.begin());
    while (i < last && list[i + 1].plain_offset <= end) {
        if (list[i].stored) {
            ++i;
            continue;
        }
        // Blocks [i, j): none stored, each ending within the run.
        std::size_t j = i + 1;
        while (j < last && !list[j].stored && list[j + 1].plain_offset <= end) ++j;
        if (list[j].plain_offset - list[i].plain_offset >= kFewestReused) {
            // The text before goes first, in a piece of its own.
            if (int rc = pass(list[i].plain_offset, &out, nullptr, &sink, piece_bytes); rc != kOk) return rc;
            if (!out.empty())
                if (int rc = hand_over_piece(sink, out, piece_bytes); rc != kOk) return rc;
            for (std::size_t a = i; a < j;) {
                std::size_t b = a + 1;
                while (b < j && list[b].header_bit - list[a].header_bit < kChunkBits) ++b;
                std::uint32_t crc = 0;
                if (int rc = pass(list[b].plain_offset, nullptr, &crc, nullptr, 0); rc != kOk) return rc;
                DeflateBytes chunk;
                append_joinable_blocks(bytes, list[a].header_bit, list[b].header_bit, chunk);
                if (int rc = sink.take_deflated(std::move(chunk), crc, list[b].plain_offset - list[a].plain_offset);
                    rc != kOk)
                    return rc;
                a = b;
            }
        }
        i = j;
    }
    return pass(end, &out, nullptr, &sink, piece_bytes);
}

}  // namespace tabsmith
