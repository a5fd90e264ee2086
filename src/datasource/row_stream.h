// Row streaming: TXLS_write_row hands a finished row of the current sheet to the sheet's
// temporary file and empties it in memory; the worksheet writer reads the records back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/book.h"

namespace tabsmith {

// A row record: a 4-byte slot count, then per slot a 16-byte cell record and its data.
// Cell record: kind (1 byte), reserved (1), style (2), the value (8: the integer or the double
// of numeric kinds, the shared-string index in the first four for text cells), data length (4).
// Data: the formula of formula cells, the text of text cells (shared or not), the value's text
// of numbers, dates and times, the error text of error cells; nothing otherwise. Little-endian.
constexpr std::size_t kRowCountBytes = 4;
constexpr std::size_t kCellRecordBytes = 16;

// Writes row `row_number` (1-based) of the current sheet to the sheet's file and empties it.
// 0 (also when streaming is off or the row is not above the threshold); kBadArgument for a row
// outside 1..1048576; kFail when the temporary folder cannot be made; kOpenError when a file
// cannot be opened; kWriteError after a short write. Messages as the API documents.
int stream_row(Book &book, int row_number);

// Writes a sheet's pending records to its file. 0, or kWriteError with what was not written
// still pending (for the next write or a save to take).
int flush_row_file(SheetRowFile &file);

// Appends the record of one row (its first `slots` cells) to `out`.
void append_row_record(const Book &book, const Row &row, int slots, std::string &out);

// Decodes one row record at the start of `record` into `cells` (resized to the slot count).
// The bytes consumed, or 0 when the record is cut short.
std::size_t decode_row_record(std::string_view record, std::vector<Cell> &cells);

// Reads the streamed rows of one sheet back in row order (rows streamed more than once come
// in call order). Reads with pread on the sheet's file, so the book's own handle is not moved,
// and the records still pending from memory.
// Rows streamed in ascending order are read straight through; otherwise the records' places are
// found once and sorted.
class StreamedRowReader {
public:
    explicit StreamedRowReader(const SheetRowFile &file);
    // The row of the next record, or -1 after the last one (and after a failed read).
    int next_row() const { return next_row_; }
    // The next record's cells; then the one after it is next. 0, or kReadError.
    int read_next(std::vector<Cell> &cells);
    // Whether a record could not be read: the rows read are not all there are.
    bool failed() const { return failed_; }

private:
    struct SortedRecord {
        std::int32_t row;
        std::uint64_t offset;
    };
    int fill(std::uint64_t offset, std::size_t need);
    int read_at(std::uint64_t offset, std::vector<Cell> &cells, std::size_t &length);

    const SheetRowFile &file_;
    std::size_t run_ = 0;                      // ascending: the next record's run and place in it
    std::uint32_t in_run_ = 0;
    std::uint64_t offset_ = 0;                 // ascending: where the next record starts
    std::vector<SortedRecord> sorted_;         // out of order: every record's place, by row
    std::size_t next_ = 0;
    int next_row_ = -1;
    bool failed_ = false;
    std::string window_;
    std::uint64_t window_start_ = 0;
};

}  // namespace tabsmith
