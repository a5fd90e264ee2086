// Delimited text files: the shared line reader (quoted line breaks, byte order marks), the field
// splitter, and the paste of a CSV/TSV file into a sheet behind the CSV and TSV properties.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "model/book.h"
#include "props/property.h"

namespace tabsmith {

constexpr std::size_t kLineBytes = 16383;
constexpr std::size_t kMaxFields = 1000;
constexpr std::size_t kFieldBytes = 6000;
constexpr std::size_t kDataSourcePathBytes = 256;
constexpr char kStatementMark = '!';

// Reads lines from a file or from memory. A line ends at LF, CR LF or a lone CR, except inside
// a double-quoted stretch, whose line breaks belong to the line (quotes are kept).
class LineReader {
public:
    enum class Result { kLine, kTooLong, kEnd };

    explicit LineReader(std::FILE *file) : file_(file) {}
    explicit LineReader(std::string data) : buffer_(std::move(data)) {}

    // The character set a byte order mark names (kUtf8, kUtf16le) and consumes, or 0. A UTF-16
    // file is converted to UTF-8 as a whole, so its lines are then read as UTF-8 (kUtf8).
    int take_byte_order_mark();

    // kTooLong leaves the reader after the whole over-long line, so reading can go on.
    Result next(std::string &line);
    // The line of the file (1-based) on which the line last returned by next() starts.
    int line_number() const { return line_number_; }

private:
    int get();
    void unget() { --pos_; }
    bool fill();

    std::FILE *file_ = nullptr;
    std::string buffer_;
    std::size_t pos_ = 0;
    int lines_ended_ = 0;
    int line_number_ = 0;
};

enum class SplitResult { kOk, kUnclosedQuote, kTooManyFields, kFieldTooLong };

// Splits one line at `delimiter` outside double quotes. A field that starts and ends with a
// quote loses them and its doubled quotes become single ones. A trailing delimiter gives a last,
// empty field.
SplitResult split_fields(std::string_view line, char delimiter, std::vector<std::string> &fields);

enum class DelimiterKind : int { kComma = 0, kTab = 1 };

struct PasteRequest {
    std::string path;            // UTF-8
    int delimiter_kind = 0;      // DelimiterKind
    int code_page = 0;           // kSjis, kEuc or kUtf8; 0 = the book's character set
};

struct PasteArea {
    static constexpr int kNoLimit = -1;
    int sheet = -1;              // -1 = the current sheet
    int first_row = 0, first_column = 0;
    int last_row = kNoLimit, last_column = kNoLimit;
};

// Why a paste stopped; everything but kFailed comes with result 0 and keeps the pasted rows.
enum class PasteStop { kEndOfFile, kUnclosedQuote, kTooManyFields, kFieldTooLong, kLineTooLong, kFailed };

struct PasteOutcome {
    int rc = 0;          // 0, kFail, kNoMemory, kBadArgument, kOpenError (message raised)
    int lines = 0;       // data lines pasted (statement lines not counted)
    PasteStop stop = PasteStop::kEndOfFile;
};

// Pastes the file: "!" lines run as statements, other lines fill rows from the area's first row.
// Fields never read the process environment for "$NAME" texts.
PasteOutcome paste_delimited(Book &book, const PasteRequest &request, const PasteArea &area);

// The CSV (2002) and TSV (2003) properties: pastes at the target and sets the sheet's data row
// and column counters that $ROWNUM and $CLMNUM read.
int apply_data_source(Book &book, int id, const PropertyTarget &target, std::string_view path);

// Converts file bytes in `code_page` to UTF-8, never leaving invalid UTF-8.
std::string file_text_to_utf8(std::string_view text, int code_page);

// Guards the statements of data-source and statement files against a file that names itself.
class FileNesting {
public:
    static constexpr int kMaxDepth = 8;
    FileNesting() { ++depth_; }
    ~FileNesting() { --depth_; }
    FileNesting(const FileNesting &) = delete;
    FileNesting &operator=(const FileNesting &) = delete;
    bool too_deep() const { return depth_ > kMaxDepth; }

private:
    static thread_local int depth_;
};

// What a failed statement line or cell put inside a file gives the file's caller: kNoMemory
// stays, anything else becomes kFail. The step's own message stays in the book.
inline int file_step_failure(int rc) { return rc == kNoMemory ? kNoMemory : kFail; }

}  // namespace tabsmith
