// Character-set conversion between the caller's text forms (Shift-JIS, EUC-JP, UTF-8, UTF-16LE),
// and from the code pages of older workbooks' texts.
// The only module that talks to iconv; everything inside the engine is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tabsmith {

enum Charset : int {
    kSjis = 1,     // Windows code page 932
    kEuc = 2,      // EUC-JP with the Microsoft extensions
    kUtf8 = 3,
    kUtf16le = 4,
};

// Converts `text` from one character set to another. UTF-8 to UTF-8 checks the text (see
// valid_utf8); other unsupported pairs (including from == to) return the text unchanged. Bytes that are not a valid character of
// the source set are replaced (U+FFFD in UTF-8, "?" elsewhere) so that the result is always
// valid in the target set.
// The yen sign U+00A5 becomes 0x5C in Shift-JIS and the full-width sign (A1 EF) in EUC-JP:
// the characters each set's readers show as a yen sign.
std::string convert_charset(std::string_view text, int from, int to);

// The UTF-8 form of 8-bit text in a Windows code page (932 Shift-JIS, 1252 Latin 1, 10000
// Macintosh Roman...), as older workbooks store their texts; a code page iconv does not know
// reads as 1252, and bytes that are no character become U+FFFD.
std::string code_page_to_utf8(std::string_view text, unsigned code_page);

// Appends the UTF-8 form of one code point (at most U+10FFFF).
void append_utf8_code_point(std::string &out, std::uint32_t code);

inline std::string to_utf8(std::string_view text, int from) { return convert_charset(text, from, kUtf8); }
// The UTF-8 form of `text` (in set `from`) without a copy where none is needed: `text` itself
// when it is valid UTF-8 of a UTF-8 caller, or ASCII of a Shift-JIS or EUC-JP one (the same
// bytes in those sets); otherwise what to_utf8 makes of it, held in `converted`.
std::string_view to_utf8_view(std::string_view text, int from, std::string &converted);
// Whether `text` is the same bytes in UTF-8 and in set `charset`: valid UTF-8 for a UTF-8
// caller, ASCII for a Shift-JIS or EUC-JP one, never for UTF-16.
bool same_in_utf8(std::string_view text, int charset);
inline std::string from_utf8(std::string_view text, int to) { return convert_charset(text, kUtf8, to); }

// The UTF-8 sequence that starts at p. `length` is its size when it is a whole character (1 for
// ASCII); otherwise 0, and `broken` is the size of the longest start of a character there (at
// least 1). Stray trail bytes, over-long forms, encoded surrogates, cut-off sequences and
// anything beyond U+10FFFF are no characters.
struct Utf8Sequence {
    std::size_t length = 0;
    std::size_t broken = 1;
};
Utf8Sequence utf8_sequence_at(const unsigned char *p, std::size_t remaining);
// Length of the valid UTF-8 sequence that starts at p, or 0 when the bytes there are none.
inline std::size_t utf8_sequence_length(const unsigned char *p, std::size_t remaining) {
    return utf8_sequence_at(p, remaining).length;
}
// Whether the whole text is valid UTF-8.
bool is_valid_utf8(std::string_view text);
// The text with every byte that starts no valid UTF-8 sequence replaced by U+FFFD: caller text
// in a UTF-8 book passes through here, so the engine never holds text the writer cannot save.
std::string valid_utf8(std::string_view text);

// Number of bytes of the character that starts at p (1 for single bytes and for a lead byte
// whose trail bytes are missing), following the scanner's lead-byte rules for the set.
std::size_t char_width(int charset, const unsigned char *p, std::size_t remaining);

// Number of characters of a UTF-8 text (invalid bytes count one each).
std::size_t utf8_length(std::string_view text);

// Byte length of the first `chars` characters of a UTF-8 text.
std::size_t utf8_prefix_bytes(std::string_view text, std::size_t chars);

// The longest prefix of `text` (in `charset`) of at most `max_bytes` bytes that ends on a
// character boundary.
std::size_t fit_prefix(int charset, std::string_view text, std::size_t max_bytes);

// ASCII case-insensitive comparison (multibyte bytes compare exactly).
bool equals_ignore_case(std::string_view a, std::string_view b);
// '0' to '9' only, whatever the locale.
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }
// The text with ASCII letters upper-cased (other bytes unchanged).
std::string upper_ascii(std::string_view text);
// Whether every byte is below 0x80: such a text reads the same in every set but UTF-16.
bool is_ascii(std::string_view text);

}  // namespace tabsmith
