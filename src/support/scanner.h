// The shared token scanner: splits option strings, property statements and formulas.
// One tokenizer, three modes; multibyte characters of the book's character set stay whole.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tabsmith {

enum class ScanMode { kOptions = 0, kStatements = 1, kFormula = 2 };

// Longest token of each mode.
constexpr std::size_t kScanMaxOptions = 6000;
constexpr std::size_t kScanMaxStatements = 98303;
constexpr std::size_t kScanMaxFormula = 6002;

// Results of scan_token besides 0.
constexpr int kScanNoMore = 1403;  // no token left
constexpr int kScanTooLong = -9;   // the token is longer than the mode allows

std::size_t scan_limit(ScanMode mode);

// Reads the token that starts at or after `pos` into `out` and advances `pos` past it.
// Returns 0, kScanNoMore when no token is left, or kScanTooLong when the token is longer than `max`
// (then `pos` is left after the over-long token so that a caller may go on).
int scan_token(ScanMode mode, int charset, std::string_view text, std::size_t &pos, std::string &out,
               std::size_t max);

inline int scan_token(ScanMode mode, int charset, std::string_view text, std::size_t &pos, std::string &out) {
    return scan_token(mode, charset, text, pos, out, scan_limit(mode));
}

// Removes one pair of surrounding double quotes ("" becomes empty).
std::string_view strip_quotes(std::string_view token);

// Matching of option keywords: English ignoring ASCII case, Japanese aliases exactly.
bool keyword_is(std::string_view token, std::string_view english,
                std::initializer_list<std::string_view> aliases = {});

}  // namespace tabsmith
