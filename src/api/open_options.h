// Parsing of the option string of TXLS_open_book: keys, Japanese synonyms, the character set
// switch, version and record-size checks, and the save-name extension rule.
#pragma once

#include <string>
#include <string_view>

#include "model/book.h"
#include "support/charset.h"
#include "support/errors.h"
#include "support/scanner.h"

namespace tabsmith {

struct OpenOptions {
    int charset = 1;
    bool english = false;                   // messages in English (MESSAGES=EN)
    int data_charset = 0;                   // of pasted data files; 0 = the book's character set
    OpenMode mode = OpenMode::kCreate;
    bool has_book = false;
    std::string book_name = "Book1.xlsx";   // UTF-8, extension rule applied
    bool has_template = false;
    std::string template_name;              // UTF-8
    bool read_memory = false;
    bool write_memory = false;
    std::string temp_workbook_path;
    int stream_after = 0;                   // TXLS_write_row streams rows above this one; 0 = none
};

// Walks an option string `KEY=VALUE KEY="VALUE" ...` in the character set `charset` holds (read
// anew for every pair: a CHARSET= pair changes it for the pairs after it), handing each key and
// its unquoted value as UTF-8 to `take(key, value)`, which returns 0 to go on. Returns 0 at the
// end, the first other result of `take`, or kBadArgument: with TXLS-02303 naming what stands where
// "=" belongs, or without a message when the text ends after a key or its "=".
template <typename Take>
int for_each_option(std::string_view text, const int &charset, ErrorSink &err, Take take) {
    std::size_t pos = 0;
    std::string key, equals, value;
    while (scan_token(ScanMode::kOptions, charset, text, pos, key) == 0) {
        const std::string key_utf8 = to_utf8(key, charset);
        if (scan_token(ScanMode::kOptions, charset, text, pos, equals) != 0) return err.fail(kBadArgument);
        if (equals != "=") return err.raise(kBadArgument, Msg::k02303, to_utf8(equals, charset).c_str());
        if (scan_token(ScanMode::kOptions, charset, text, pos, value) != 0) return err.fail(kBadArgument);
        if (int rc = take(key_utf8, to_utf8(strip_quotes(value), charset)); rc != 0) return rc;
    }
    return 0;
}

// Parses `text` (NULL allowed) into `options`. Returns 0, or the failure code after raising
// the message on `err` (some syntax failures give kBadArgument without a message).
int parse_open_options(const char *text, std::size_t record_size, ErrorSink &err, OpenOptions &options);

// The save name rule: ".xlsx" is appended to a name that does not already say what it is.
std::string apply_extension_rule(std::string_view name);
// A book filled from a template takes the template's kind: ".xlsm" for a macro template where the
// rule gave ".xlsx", and ".xlsx" where it gave ".xlsm" for a plain one.
std::string with_template_extension(std::string name, bool macro);

}  // namespace tabsmith
