// Statement files: the options of TXLS_read_file and the reading of a text file whose every
// line is a property statement (lines starting with "!" are comments).
#pragma once

#include <string>
#include <string_view>

#include "model/book.h"

namespace tabsmith {

struct StatementFileOptions {
    std::string path;   // UTF-8
    int charset = 1;    // kSjis, kEuc or kUtf8: the file's character set without a byte order mark
};

// Reads "FILE=path CHARSET=name" (book character set). 0, or kBadArgument with the message raised.
int parse_statement_file_options(Book &book, std::string_view text, StatementFileOptions &options);

// Applies every statement line of the file. 0; kFail when a statement fails (its message kept) or
// a line is over the line limit; kNoMemory; kOpenError when the file cannot be opened.
int run_statement_file(Book &book, const StatementFileOptions &options);

}  // namespace tabsmith
