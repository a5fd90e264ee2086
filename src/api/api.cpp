// Shared plumbing of the exported functions: entering a call on a record and moving texts
// across the boundary in the book's character set; the check that the header's result codes
// are the engine's.

#include "api/api.h"

#include <cstring>

#include "support/charset.h"
#include "support/results.h"

namespace tabsmith {

namespace {

// The header's result codes are the shared results.
constexpr bool header_names_the_results() {
    constexpr int pairs[][2] = {
        {TXLS_OK, kOk},
        {TXLS_ERR_FAIL, kFail},
        {TXLS_ERR_MEMORY, kNoMemory},
        {TXLS_ERR_ARGUMENT, kBadArgument},
        {TXLS_ERR_UNSUPPORTED, kUnsupported},
        {TXLS_ERR_OPEN, kOpenError},
        {TXLS_ERR_READ, kReadError},
        {TXLS_ERR_WRITE, kWriteError},
        {TXLS_ERR_SEEK, kSeekError},
        {TXLS_ERR_NO_SHEET, kNoSheet},
        {TXLS_ERR_SHEET_INDEX, kSheetIndex},
        {TXLS_ERR_ROW_INDEX, kRowIndex},
        {TXLS_ERR_COLUMN_INDEX, kColumnIndex},
        {TXLS_ERR_OVERFLOW, kOverflow},
        {TXLS_ERR_XLS_READ, kXlsRead},
        {TXLS_ERR_CONVERT, kConvertError},
        {TXLS_NO_DATA, kNoData},
    };
    for (const auto &pair : pairs)
        if (pair[0] != pair[1]) return false;
    return true;
}
static_assert(header_names_the_results(), "a TXLS_ERR_* code differs from support/results.h");

}  // namespace

std::string caller_to_utf8(const Book &book, const char *text) {
    if (!text) return {};
    return to_utf8(text, book.charset);
}

CallerText::CallerText(const Book &book, const char *text)
    : CallerText(book, text ? std::string_view(text) : std::string_view()) {}

CallerText::CallerText(const Book &book, std::string_view raw) : view_(to_utf8_view(raw, book.charset, converted_)) {}

int copy_out_converted(const Book &book, std::string_view utf8, char *out, int size) {
    if (!out || size <= 0) return kLimit;
    // Text that is the same in the caller's set (valid UTF-8 for a UTF-8 caller) is copied as it is.
    std::string converted;
    std::string_view text = utf8;
    if (!same_in_utf8(utf8, book.charset)) {
        converted = from_utf8(utf8, book.charset);
        text = converted;
    }
    if (text.size() + 1 > static_cast<std::size_t>(size)) {
        out[0] = '\0';
        return kLimit;
    }
    if (!text.empty()) std::memcpy(out, text.data(), text.size());   // an empty view may have no data
    out[text.size()] = '\0';
    return 0;
}

}  // namespace tabsmith
