// Statement files behind TXLS_read_file: option reading, byte order marks, the file's character
// set, and running each line through the statement loop.

#include "datasource/statement_file.h"

#include <cstdio>
#include <memory>

#include "datasource/csv_source.h"
#include "props/statements.h"
#include "support/charset.h"
#include "support/files.h"
#include "support/scanner.h"

namespace tabsmith {
namespace {

bool is_any(std::string_view word, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names)
        if (equals_ignore_case(word, name)) return true;
    return false;
}

}  // namespace

int parse_statement_file_options(Book &book, std::string_view text, StatementFileOptions &options) {
    std::size_t pos = 0;
    std::string raw_key, raw_equals, raw_value;
    bool have_file = false;
    for (;;) {
        if (scan_token(ScanMode::kOptions, book.charset, text, pos, raw_key) != 0) break;
        const std::string key = to_utf8(raw_key, book.charset);
        if (scan_token(ScanMode::kOptions, book.charset, text, pos, raw_equals) != 0 || raw_equals != "=")
            return book.err.raise(kBadArgument, Msg::k02303, key.c_str());
        if (scan_token(ScanMode::kOptions, book.charset, text, pos, raw_value) != 0)
            return book.err.raise(kBadArgument, Msg::k02303, key.c_str());
        const std::string value = to_utf8(strip_quotes(raw_value), book.charset);
        if (is_any(key, {"FILE", "ファイル"})) {
            if (value.size() > kDataSourcePathBytes) return book.err.raise(kBadArgument, Msg::k00005);
            if (value.empty()) return book.err.raise(kBadArgument, Msg::k02303, key.c_str());
            options.path = value;
            have_file = true;
        } else if (is_any(key, {"CHARSET", "文字コード"})) {
            if (is_any(value, {"SJIS", "ShiftJIS", "Shift-JIS", "Shift JIS"})) options.charset = kSjis;
            else if (is_any(value, {"EUC"})) options.charset = kEuc;
            else if (is_any(value, {"UTF8", "UTF-8"})) options.charset = kUtf8;
            else return book.err.raise(kBadArgument, Msg::k02200, value.c_str());
        } else {
            return book.err.raise(kBadArgument, Msg::k02200, key.c_str());
        }
    }
    if (!have_file) return book.err.raise(kBadArgument, Msg::k02303, "FILE");
    return 0;
}

int run_statement_file(Book &book, const StatementFileOptions &options) {
    FileNesting nesting;
    if (nesting.too_deep()) return book.err.raise(kFail, Msg::k03600, "TXLS_read_file() nesting");
    InputFile file(open_input_file(options.path));
    if (!file) return book.err.raise(kOpenError, Msg::k03100, options.path.c_str());

    LineReader reader(file.get());
    int charset = options.charset;
    if (int marked = reader.take_byte_order_mark(); marked != 0) charset = marked;

    std::string line;
    for (;;) {
        LineReader::Result got = reader.next(line);
        if (got == LineReader::Result::kEnd) break;
        // Cutting an over-long line would apply half a statement and read its rest as another.
        if (got == LineReader::Result::kTooLong) {
            book.failed_line = reader.line_number();
            return book.err.raise(kFail, Msg::k03009, static_cast<int>(kLineBytes), "TXLS_read_file() line");
        }
        if (!line.empty() && line[0] == kStatementMark) continue;
        std::string statement = convert_charset(line, charset, book.charset);
        if (int rc = run_statements(book, statement); rc != 0) {
            // The outermost file wins: its line is the one the caller can find.
            book.failed_line = reader.line_number();
            return book.err.fail(file_step_failure(rc));
        }
    }
    if (std::ferror(file.get())) return book.err.raise(kOpenError, Msg::k03100, options.path.c_str());
    return 0;
}

}  // namespace tabsmith
