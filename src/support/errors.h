// The error state of a book (the last code and its Shift-JIS message) and the diagnostic log.
// Every layer raises its failures through ErrorSink::raise with a result code and a catalogue id.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "support/messages.h"
#include "support/results.h"

namespace tabsmith {

constexpr std::size_t kErrorInfoSize = 6001;  // log.error_info, terminator included

class ErrorSink {
public:
    ErrorSink();
    ErrorSink(const ErrorSink &) = delete;
    ErrorSink &operator=(const ErrorSink &) = delete;

    // Points the sink at caller-owned storage (the book record's fields); nullptr returns it
    // to the sink's own buffer.
    void attach(char *info, int *code);

    // Formats the message printf-style (UTF-8 arguments, %s and %d), stores it in Shift-JIS
    // cut to fit the buffer, stores `code` and returns it.
    int raise(int code, Msg id, ...);
    // Messages in English from now on (the catalogue's second text), or in Japanese again.
    void set_english(bool english) { english_ = english; }
    bool english() const { return english_; }
    // Stores kNoMemory with TXLS-00002 without asking for memory (raise() would, to convert the
    // text) and returns kNoMemory.
    int raise_out_of_memory() noexcept;
    // Stores the code and keeps whatever message is present.
    int fail(int code) {
        *code_ = code;
        return code;
    }
    void clear_code() { *code_ = 0; }
    void clear_message() { info_[0] = '\0'; }

    int code() const { return *code_; }
    bool has_message() const { return info_[0] != '\0'; }
    const char *message_sjis() const { return info_; }
    std::string message_utf8() const;

private:
    char own_info_[kErrorInfoSize];
    int own_code_ = 0;
    bool english_ = false;
    char *info_;
    int *code_;
};

// The out-of-memory message written straight into caller-owned fields, for a record that has
// no book (yet) to raise it through. Returns kNoMemory.
int store_out_of_memory(char *info, int *code) noexcept;
// The TXLS-00002 message ready-made in a character set (kSjis, kEuc, kUtf8), for the places
// that must hand it out when there is no memory left to convert it.
std::string_view out_of_memory_text(int charset) noexcept;

// Diagnostic numbers of the lines the readers and the temporary files record.
constexpr int kDiagnosticNoMemory = 2;
constexpr int kDiagnosticFileOpen = 3000;      // a file that cannot be opened or examined
constexpr int kDiagnosticFileContents = 4000;  // a header, directory or part that is no workbook's

// Numbered diagnostic lines kept for the file readers: a ring of the last 32 lines.
class DiagnosticLog {
public:
    static constexpr std::size_t kLines = 32;
    static constexpr std::size_t kLineBytes = 300;

    void set_pending(int number) { pending_ = number; }
    void add(const std::string &detail);
    // A line of a diagnostic number and its detail; a line that finds no memory is not kept,
    // since the failure it would explain is reported anyway.
    void note(int number, std::string_view detail) noexcept;
    const std::deque<std::string> &lines() const { return lines_; }

private:
    int pending_ = 0;
    std::deque<std::string> lines_;
};

}  // namespace tabsmith
