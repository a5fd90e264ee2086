// Reading CSV/TSV files into a sheet: line reading, field splitting, the paste loop and the
// dispatch of the CSV and TSV properties with their $ROWNUM/$CLMNUM counters.

#include "datasource/csv_source.h"

#include <algorithm>
#include <memory>

#include "model/address.h"
#include "cells/values.h"
#include "props/statements.h"
#include "support/charset.h"
#include "support/files.h"

namespace tabsmith {

thread_local int FileNesting::depth_ = 0;

namespace {

constexpr std::size_t kReadChunk = 1 << 16;

std::string swap_utf16(std::string_view text) {
    std::string out(text.substr(0, text.size() & ~std::size_t{1}));
    for (std::size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
    return out;
}

}  // namespace

std::string file_text_to_utf8(std::string_view text, int code_page) {
    if (code_page == kUtf8) return valid_utf8(text);
    return valid_utf8(to_utf8(text, code_page));
}

// ---------------------------------------------------------------------------------------------

bool LineReader::fill() {
    if (!file_ || std::feof(file_) || std::ferror(file_)) return false;
    if (pos_ > 0) {
        buffer_.erase(0, pos_);
        pos_ = 0;
    }
    std::size_t old = buffer_.size();
    buffer_.resize(old + kReadChunk);
    std::size_t got = std::fread(buffer_.data() + old, 1, kReadChunk, file_);
    buffer_.resize(old + got);
    return got > 0;
}

int LineReader::get() {
    if (pos_ >= buffer_.size() && !fill()) return EOF;
    return static_cast<unsigned char>(buffer_[pos_++]);
}

int LineReader::take_byte_order_mark() {
    while (buffer_.size() - pos_ < 3 && fill()) {
    }
    std::string_view head(buffer_.data() + pos_, buffer_.size() - pos_);
    if (head.substr(0, 3) == "\xEF\xBB\xBF") {
        pos_ += 3;
        return kUtf8;
    }
    const bool little = head.substr(0, 2) == "\xFF\xFE";
    const bool big = head.substr(0, 2) == "\xFE\xFF";
    if (!little && !big) return 0;
    // UTF-16 has NUL bytes and two-byte line feeds; reading it as UTF-8 keeps the line rules.
    while (fill()) {
    }
    std::string_view body(buffer_.data() + pos_ + 2, buffer_.size() - pos_ - 2);
    std::string utf16 = little ? std::string(body.substr(0, body.size() & ~std::size_t{1})) : swap_utf16(body);
    buffer_ = valid_utf8(convert_charset(utf16, kUtf16le, kUtf8));
    pos_ = 0;
    file_ = nullptr;
    return kUtf8;
}

LineReader::Result LineReader::next(std::string &line) {
    line.clear();
    bool quoted = false;
    bool too_long = false;
    line_number_ = lines_ended_ + 1;
    for (;;) {
        int c = get();
        if (c == EOF) {
            if (too_long) return Result::kTooLong;
            return line.empty() ? Result::kEnd : Result::kLine;
        }
        if (c == '\n' || c == '\r') {
            // LF, CR LF and a lone CR each end one line of the file, inside quotes too.
            int after = c == '\r' ? get() : EOF;
            if (after != EOF && after != '\n') unget();
            ++lines_ended_;
            if (!quoted) return too_long ? Result::kTooLong : Result::kLine;
            if (line.size() + (after == '\n' ? 2 : 1) > kLineBytes) too_long = true;
            else {
                line += static_cast<char>(c);
                if (after == '\n') line += '\n';
            }
            continue;
        }
        if (c == '"') quoted = !quoted;
        // An over-long line is read to its end so that its rest is not taken for a new row.
        if (line.size() >= kLineBytes) too_long = true;
        else line += static_cast<char>(c);
    }
}

// ---------------------------------------------------------------------------------------------

SplitResult split_fields(std::string_view line, char delimiter, std::vector<std::string> &fields) {
    fields.clear();
    std::size_t start = 0;
    bool quoted = false;
    auto close_field = [&](std::size_t end) {
        std::string_view raw = line.substr(start, end - start);
        if (raw.size() > kFieldBytes) return SplitResult::kFieldTooLong;
        if (fields.size() >= kMaxFields) return SplitResult::kTooManyFields;
        std::string &field = fields.emplace_back();
        if (raw.size() >= 2 && raw.front() == '"' && raw.back() == '"') {
            raw = raw.substr(1, raw.size() - 2);
            field.reserve(raw.size());
            for (std::size_t i = 0; i < raw.size(); ++i) {
                field += raw[i];
                if (raw[i] == '"' && i + 1 < raw.size() && raw[i + 1] == '"') ++i;
            }
        } else {
            field.assign(raw);
        }
        return SplitResult::kOk;
    };
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') quoted = !quoted;
        else if (c == delimiter && !quoted) {
            if (SplitResult r = close_field(i); r != SplitResult::kOk) return r;
            start = i + 1;
        }
    }
    if (quoted) return SplitResult::kUnclosedQuote;
    return close_field(line.size());
}

// ---------------------------------------------------------------------------------------------

namespace {

PasteStop stop_for(SplitResult result) {
    switch (result) {
    case SplitResult::kUnclosedQuote: return PasteStop::kUnclosedQuote;
    case SplitResult::kTooManyFields: return PasteStop::kTooManyFields;
    case SplitResult::kFieldTooLong: return PasteStop::kFieldTooLong;
    case SplitResult::kOk: break;
    }
    return PasteStop::kEndOfFile;
}

PasteOutcome failed(int rc) {
    PasteOutcome outcome;
    outcome.rc = rc;
    outcome.stop = PasteStop::kFailed;
    return outcome;
}

// Stops a paste after a failed statement line or cell put; the lines pasted so far stay counted.
PasteOutcome step_failed(Book &book, int rc, PasteOutcome outcome) {
    outcome.rc = book.err.fail(file_step_failure(rc));
    outcome.stop = PasteStop::kFailed;
    return outcome;
}

int row_out_of_sheet(Book &book, int row, int column) {
    std::string name;
    cell_name(row, column, name);
    return book.err.raise(kFail, Msg::k02300, name.c_str());
}

}  // namespace

PasteOutcome paste_delimited(Book &book, const PasteRequest &request, const PasteArea &area) {
    if (request.delimiter_kind != static_cast<int>(DelimiterKind::kComma) &&
        request.delimiter_kind != static_cast<int>(DelimiterKind::kTab))
        return failed(book.err.raise(kBadArgument, Msg::k03600, "paste_delimited() delimiter"));
    const char delimiter = request.delimiter_kind == static_cast<int>(DelimiterKind::kTab) ? '\t' : ',';
    if (area.sheet < 0)
        if (int rc = ensure_first_sheet(book); rc != 0) return failed(rc);
    const int sheet_index = area.sheet >= 0 ? area.sheet : book.current_sheet;
    if (!book.sheet(sheet_index)) return failed(book.err.raise(kFail, Msg::k03600, "paste_delimited() sheet"));

    FileNesting nesting;
    if (nesting.too_deep()) return failed(book.err.raise(kFail, Msg::k03600, "paste_delimited() nesting"));

    InputFile file(open_input_file(request.path));
    if (!file) return failed(book.err.raise(kOpenError, Msg::k00100, request.path.c_str()));

    LineReader reader(file.get());
    int code_page = request.code_page > 0 ? request.code_page : book.charset;
    if (int marked = reader.take_byte_order_mark(); marked != 0) code_page = marked;

    PasteOutcome outcome;
    std::string line;
    std::vector<std::string> fields;
    for (;;) {
        LineReader::Result got = reader.next(line);
        if (got == LineReader::Result::kEnd) break;
        if (got == LineReader::Result::kTooLong) {
            outcome.stop = PasteStop::kLineTooLong;
            break;
        }
        if (!line.empty() && line[0] == kStatementMark) {
            std::string statement = convert_charset(line.substr(1), code_page, book.charset);
            if (int rc = run_statements(book, statement); rc != 0) return step_failed(book, rc, outcome);
            continue;
        }

        const int row = area.first_row + outcome.lines;
        if (area.last_row >= 0 && row > area.last_row) continue;
        Sheet *sheet = book.sheet(sheet_index);
        if (!sheet) return failed(book.err.raise(kFail, Msg::k03600, "paste_delimited() sheet"));
        if (row >= book.max_rows) {
            outcome.rc = row_out_of_sheet(book, row, area.first_column);
            outcome.stop = PasteStop::kFailed;
            return outcome;
        }

        SplitResult split = split_fields(file_text_to_utf8(line, code_page), delimiter, fields);
        if (split != SplitResult::kOk) {
            outcome.stop = stop_for(split);
            break;
        }

        if (ensure_row(book, *sheet, row) != 0) return failed(book.err.raise(kNoMemory, Msg::k00002));
        sheet->rows_used = std::max(sheet->rows_used, row + 1);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].empty()) continue;
            const int column = area.first_column + static_cast<int>(i);
            if (area.last_column >= 0 && column > area.last_column) break;
            if (book.from_file && find_cell(book, sheet_index, row, column)) continue;
            int rc = put_cell_value(book, sheet_index, row, column, fields[i], EnvironmentLookup::kRefused);
            if (rc == kNoVariable) {
                Sheet *now = book.sheet(sheet_index);
                now->rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)].clear();
                continue;
            }
            if (rc != 0) return step_failed(book, rc, outcome);
        }
        ++outcome.lines;
    }
    if (std::ferror(file.get())) return failed(book.err.raise(kOpenError, Msg::k00100, request.path.c_str()));
    return outcome;
}

int apply_data_source(Book &book, int id, const PropertyTarget &target, std::string_view path) {
    if (path.size() > kDataSourcePathBytes) return book.err.raise(kBadArgument, Msg::k00005);
    PasteRequest request;
    request.path.assign(path);
    request.delimiter_kind = static_cast<int>(id == kPropTsv ? DelimiterKind::kTab : DelimiterKind::kComma);

    PasteArea area;
    area.sheet = target.sheet;
    if (target.area_count > 0) {
        const TargetArea &first = target.areas[0];
        area.first_row = first.row1;
        area.first_column = first.column1;
        if (first.row2 != first.row1 || first.column2 != first.column1) {
            area.last_row = first.row2;
            area.last_column = first.column2;
        }
        // Whole rows (3:7) and whole columns (A:C) limit one direction only.
        if (target.row_range) area.last_column = PasteArea::kNoLimit;
        if (target.column_range) area.last_row = PasteArea::kNoLimit;
    } else {
        area.first_row = std::max(target.row, 0);
        area.first_column = std::max(target.column, 0);
    }

    PasteOutcome outcome = paste_delimited(book, request, area);
    if (outcome.rc != 0) return outcome.rc;
    const int sheet_index = area.sheet >= 0 ? area.sheet : book.current_sheet;
    if (Sheet *sheet = book.sheet(sheet_index)) {
        sheet->data_row = sheet->rows_used;
        int columns = 0;
        for (int r = 0; r < sheet->rows_used && static_cast<std::size_t>(r) < sheet->rows.size(); ++r)
            columns = std::max(columns, static_cast<int>(sheet->rows[static_cast<std::size_t>(r)].used));
        sheet->data_column = columns;
    }
    return 0;
}

}  // namespace tabsmith
