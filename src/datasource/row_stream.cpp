// Row streaming: the record format of the temporary files, TXLS_write_row's work on the book,
// and the reader that gives the worksheet writer the streamed rows back in row order.

#include "datasource/row_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "support/files.h"
#include "support/messages.h"

namespace tabsmith {

namespace {

constexpr std::size_t kPendingBytes = 1u << 16;   // records gather in memory up to this before a write
constexpr std::size_t kReadWindowBytes = 1u << 18;
constexpr std::size_t kFolderPrefixBytes = 64;
constexpr std::string_view kStringsFile = "SST.tmp";

void put_u16(std::string &out, std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
void put_u32(std::string &out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}
void put_u64(std::string &out, std::uint64_t v) {
    for (int k = 0; k < 8; ++k) out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}
std::uint64_t get_le(const char *p, int bytes) {
    std::uint64_t v = 0;
    for (int k = bytes - 1; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(p[k]);
    return v;
}

bool is_formula(std::uint8_t kind) { return kind == kCellFormula || kind == kCellFormulaValue; }
bool is_number(std::uint8_t kind) { return kind == kCellInteger || kind == kCellFloat || kind == kCellPercent; }

// The base name the folder is named after: the book's file name without folder and extension.
std::string folder_prefix(const std::string &file_name) {
    std::string_view name = file_name;
    if (std::size_t slash = name.find_last_of("/\\"); slash != std::string_view::npos) name.remove_prefix(slash + 1);
    if (std::size_t dot = name.rfind('.'); dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    if (name.empty()) name = "Book";
    std::string prefix(name.substr(0, std::min(name.size(), kFolderPrefixBytes)));
    prefix.push_back('-');
    return prefix;
}

std::FILE *open_temporary(const std::string &path) {
    // Exclusive: the folder is private, and nothing found there is ever written through.
    // Unbuffered: the records wait in memory, where a failed write leaves them.
    std::FILE *file = std::fopen(path.c_str(), "w+bx");
    if (file) std::setvbuf(file, nullptr, _IONBF, 0);
    return file;
}

int start_book_stream(Book &book) {
    auto state = std::make_unique<StreamedRows>();
    if (unique_temp_folder(folder_prefix(book.file_name), state->folder) != 0) {
        book.diagnostics.note(kDiagnosticFileOpen, folder_prefix(book.file_name));
        return book.err.raise(kFail, Msg::k03600, "TXLS_write_row(() tsx_tempfile_path()");
    }
    state->strings_path = state->folder + "/" + std::string(kStringsFile);
    state->strings = open_temporary(state->strings_path);
    if (!state->strings) {
        std::string path = state->strings_path;
        book.diagnostics.note(kDiagnosticFileOpen, path);
        return book.err.raise(kOpenError, Msg::k03103, path.c_str());   // the state removes its folder
    }
    book.streamed = std::move(state);
    return 0;
}

int start_sheet_stream(Book &book, Sheet &sheet) {
    auto file = std::make_unique<SheetRowFile>();
    // Named after the sheet's position; a sheet moved into a position that was streamed from
    // before gets a name of its own.
    const std::string base = book.streamed->folder + "/Sheet" + std::to_string(book.current_sheet + 1);
    std::string path = base + ".tmp";
    for (int k = 2; ::access(path.c_str(), F_OK) == 0; ++k) path = base + "-" + std::to_string(k) + ".tmp";
    file->file = open_temporary(path);
    if (!file->file) {
        book.diagnostics.note(kDiagnosticFileOpen, path);
        return book.err.raise(kOpenError, Msg::k03103, path.c_str());
    }
    file->path = std::move(path);
    file->pending.reserve(kPendingBytes);   // what gathers before a write, without growing past it
    sheet.row_file = std::move(file);
    // Formulas may use rows that are no longer in memory: they are computed on opening.
    book.settings.recalc = false;
    return 0;
}

}  // namespace

int flush_row_file(SheetRowFile &file) {
    if (!file.file) return file.pending.empty() ? 0 : kWriteError;
    const int fd = ::fileno(file.file);
    std::size_t done = 0;
    while (done < file.pending.size()) {
        const ssize_t n = ::write(fd, file.pending.data() + done, file.pending.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    // A write cut short leaves whole bytes in the file: the rest follows them later.
    file.written += done;
    file.pending.erase(0, done);
    return file.pending.empty() ? 0 : kWriteError;
}

void append_row_record(const Book &book, const Row &row, int slots, std::string &out) {
    put_u32(out, static_cast<std::uint32_t>(slots));
    for (int c = 0; c < slots; ++c) {
        const Cell &cell = row.cells[static_cast<std::size_t>(c)];
        std::uint8_t kind = cell.kind;
        std::string_view data;
        std::string number_text;   // a text the cell does not hold as such
        if (is_formula(kind)) {
            if (cell.formula()) data = *cell.formula();
            // A text result has no place in the record; the formula is computed on opening.
            if (kind == kCellFormulaValue && !cell.text().empty()) kind = kCellFormula;
        } else if (kind == kCellString) {
            // The table stays in memory; the text makes the record readable on its own.
            number_text = shared_string_text(book, cell);
            data = number_text;
        } else if (is_number(kind)) {
            number_text = exact_number_text(cell);
            data = number_text;
        } else if (kind != kCellEmpty) {
            data = cell.text();
        }
        out.push_back(static_cast<char>(kind));
        out.push_back('\0');
        put_u16(out, cell.style);
        if (kind == kCellString) {
            put_u32(out, cell.sst);
            put_u32(out, 0);
        } else if (kind == kCellFloat || kind == kCellPercent || kind == kCellFormulaValue) {
            std::uint64_t bits = 0;
            double number = cell.number();
            std::memcpy(&bits, &number, sizeof bits);
            put_u64(out, bits);
        } else {
            put_u64(out, static_cast<std::uint64_t>(cell.kind == kCellEmpty ? 0 : cell.integer()));
        }
        put_u32(out, static_cast<std::uint32_t>(data.size()));
        out.append(data);
    }
}

std::size_t decode_row_record(std::string_view record, std::vector<Cell> &cells) {
    if (record.size() < kRowCountBytes) return 0;
    const auto slots = static_cast<std::size_t>(get_le(record.data(), 4));
    std::size_t at = kRowCountBytes;
    cells.clear();
    cells.resize(slots);
    for (std::size_t c = 0; c < slots; ++c) {
        if (record.size() - at < kCellRecordBytes) return 0;
        const char *p = record.data() + at;
        const auto length = static_cast<std::size_t>(get_le(p + 12, 4));
        if (record.size() - at - kCellRecordBytes < length) return 0;
        std::string_view data = record.substr(at + kCellRecordBytes, length);
        at += kCellRecordBytes + length;

        Cell &cell = cells[c];
        cell.kind = static_cast<std::uint8_t>(p[0]);
        cell.style = static_cast<std::uint16_t>(get_le(p + 2, 2));
        const std::uint64_t value = get_le(p + 4, 8);
        if (cell.kind == kCellEmpty) continue;
        if (cell.kind == kCellString) {
            cell.sst = static_cast<std::uint32_t>(value & 0xFFFFFFFFu);
        } else if (cell.kind == kCellFloat || cell.kind == kCellPercent || cell.kind == kCellFormulaValue) {
            double number = 0;
            std::memcpy(&number, &value, sizeof number);
            cell.set_number(number);
        } else {
            cell.set_integer(static_cast<std::int64_t>(value));
        }
        if (is_formula(cell.kind)) {
            cell.set_formula(std::string(data));
        } else if (is_number(cell.kind)) {
            // Kept only where it differs from the number's own text, as a put value is.
            if (data != exact_number_text(cell)) cell.set_text(data);
        } else if (cell.kind != kCellString && !data.empty()) {
            cell.set_text(data);
        }
    }
    return at;
}

int stream_row(Book &book, int row_number) {
    if (book.stream_after <= 0 || row_number <= book.stream_after) return 0;
    if (row_number < 1 || row_number > kXlsxMaxRows) return kBadArgument;
    if (!book.streamed)
        if (int rc = start_book_stream(book); rc != 0) return rc;
    Sheet *sheet = book.current();
    if (!sheet) return 0;
    if (!sheet->row_file)
        if (int rc = start_sheet_stream(book, *sheet); rc != 0) return rc;
    SheetRowFile &file = *sheet->row_file;

    const auto index = static_cast<std::size_t>(row_number - 1);
    Row *row = index < sheet->rows.size() ? &sheet->rows[index] : nullptr;
    const int slots = row ? std::min<int>(row->used, static_cast<int>(row->cells.size())) : 0;

    std::string record;
    if (row) append_row_record(book, *row, slots, record);
    else put_u32(record, 0);
    // Room for the record's row first: a record in the file that the runs do not count would
    // shift every record after it.
    if (file.runs.size() == file.runs.capacity()) file.runs.reserve(std::max<std::size_t>(16, file.runs.capacity() * 2));
    // The records go to the file some 64 KiB at a time. A write that fails leaves what it did
    // not write pending, for a later write or the save: no row streamed before is lost, and the
    // row of this call keeps its cells.
    if (!file.pending.empty() && file.pending.size() + record.size() > kPendingBytes)
        if (flush_row_file(file) != 0) return book.err.raise(kWriteError, Msg::k03122, file.path.c_str());
    file.pending += record;
    file.size += record.size();
    const auto row_index = static_cast<std::int32_t>(index);
    if (!file.runs.empty() && file.runs.back().first_row + static_cast<std::int64_t>(file.runs.back().count) == row_index)
        ++file.runs.back().count;
    else
        file.runs.push_back({row_index, 1});
    ++file.records;
    file.last_row = std::max(file.last_row, static_cast<int>(row_index));
    if (slots > 0) {
        file.last_row_with_cells = std::max(file.last_row_with_cells, static_cast<int>(row_index));
        file.most_slots = std::max(file.most_slots, slots);
        file.slots += static_cast<std::size_t>(slots);
    }
    if (!row) return 0;
    for (int c = 0; c < slots; ++c) file.string_cells += row->cells[static_cast<std::size_t>(c)].kind == kCellString;
    // Only the row record stays: its height, style and flags.
    row->cells.clear();
    row->used = 0;
    row->outline_flag = kFlagUnset;
    return 0;
}

StreamedRowReader::StreamedRowReader(const SheetRowFile &file) : file_(file) {
    if (!file_.file) {
        failed_ = true;
        return;
    }
    // Rows streamed in ascending order, as reports write them, are read through as they are.
    bool ascending = true;
    for (std::size_t k = 1; k < file_.runs.size() && ascending; ++k)
        ascending = file_.runs[k - 1].first_row + static_cast<std::int64_t>(file_.runs[k - 1].count) <= file_.runs[k].first_row;
    if (ascending) {
        next_row_ = file_.runs.empty() ? -1 : file_.runs[0].first_row;
        return;
    }
    // Otherwise every record's place is found once, and the places sorted by row (a row
    // streamed twice keeps its records in call order).
    std::vector<Cell> cells;
    std::uint64_t offset = 0;
    for (const StreamedRun &run : file_.runs) {
        for (std::uint32_t k = 0; k < run.count; ++k) {
            std::size_t length = 0;
            if (read_at(offset, cells, length) != 0) {
                failed_ = true;
                return;
            }
            sorted_.push_back({run.first_row + static_cast<std::int32_t>(k), offset});
            offset += length;
        }
    }
    std::stable_sort(sorted_.begin(), sorted_.end(),
                     [](const SortedRecord &a, const SortedRecord &b) { return a.row < b.row; });
    next_row_ = sorted_.empty() ? -1 : sorted_[0].row;
}

int StreamedRowReader::fill(std::uint64_t offset, std::size_t need) {
    if (offset >= window_start_ && offset + need <= window_start_ + window_.size()) return 0;
    if (offset >= file_.size) return kReadError;
    const auto size =
        static_cast<std::size_t>(std::min<std::uint64_t>(std::max(need, kReadWindowBytes), file_.size - offset));
    window_.resize(size);
    window_start_ = offset;
    // What the file holds, then what is still pending in memory.
    std::size_t got = 0;
    const int fd = ::fileno(file_.file);
    while (got < size && offset + got < file_.written) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(size - got, file_.written - (offset + got)));
        const ssize_t n = ::pread(fd, window_.data() + got, want, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return kReadError;
        got += static_cast<std::size_t>(n);
    }
    if (got < size) {
        const auto from = static_cast<std::size_t>(offset + got - file_.written);
        const std::size_t take = std::min(size - got, file_.pending.size() - from);
        std::memcpy(window_.data() + got, file_.pending.data() + from, take);
        got += take;
    }
    window_.resize(got);
    return got >= need ? 0 : kReadError;
}

int StreamedRowReader::read_at(std::uint64_t offset, std::vector<Cell> &cells, std::size_t &length) {
    // The record's length is known only once its cells are read: grow the window until it holds it.
    std::size_t need = kRowCountBytes;
    for (;;) {
        if (fill(offset, need) != 0) return kReadError;
        std::string_view record(window_.data() + (offset - window_start_),
                                window_.size() - static_cast<std::size_t>(offset - window_start_));
        if (std::size_t used = decode_row_record(record, cells); used != 0) {
            length = used;
            return 0;
        }
        if (offset + record.size() >= file_.size) return kReadError;
        need = record.size() * 2;
    }
}

int StreamedRowReader::read_next(std::vector<Cell> &cells) {
    if (failed_ || next_row_ < 0) return kReadError;
    const bool by_place = !sorted_.empty();
    std::size_t length = 0;
    if (read_at(by_place ? sorted_[next_].offset : offset_, cells, length) != 0) {
        failed_ = true;
        next_row_ = -1;
        return kReadError;
    }
    if (by_place) {
        ++next_;
        next_row_ = next_ < sorted_.size() ? sorted_[next_].row : -1;
        return 0;
    }
    offset_ += length;
    if (++in_run_ == file_.runs[run_].count) {
        in_run_ = 0;
        ++run_;
    }
    next_row_ = run_ < file_.runs.size() ? file_.runs[run_].first_row + static_cast<std::int32_t>(in_run_) : -1;
    return 0;
}

}  // namespace tabsmith
