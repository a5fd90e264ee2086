// Fuzz target: the character-set module. Every conversion pair must give text that is valid in
// the target set (a strict UTF-8 decoder of its own, iconv for the Japanese sets), and the width,
// prefix and case helpers must agree with each other.

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/charset.h"

using namespace tabsmith;

namespace {

[[noreturn]] void fail(const char *what, int from, int to) {
    std::fprintf(stderr, "\n== charset check failed: %s (set %d -> set %d)\n", what, from, to);
    std::abort();
}

// Shortest forms only, no surrogates, nothing above U+10FFFF.
bool strict_utf8(std::string_view text) {
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    for (std::size_t i = 0, n = text.size(), len; i < n; i += len) {
        const unsigned char c = p[i];
        std::uint32_t cp = c;
        len = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
        if (len == 0 || i + len > n) return false;
        if (len > 1) cp &= 0x7F >> len;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
    }
    return true;
}

// Whether iconv decodes the whole text from Shift-JIS (CP932) or EUC-JP without a bad or cut sequence.
bool decodes_cleanly(std::string_view text, int charset) {
    static iconv_t sjis = iconv_open("UTF-8", "CP932"), euc = [] {
        iconv_t cd = iconv_open("UTF-8", "EUC-JP-MS");
        return cd != reinterpret_cast<iconv_t>(-1) ? cd : iconv_open("UTF-8", "EUC-JP");
    }();
    iconv_t cd = charset == kSjis ? sjis : euc;
    if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *in = const_cast<char *>(text.data()), out[4096];
    for (std::size_t in_left = text.size(), out_left; in_left > 0;) {
        char *o = out;
        out_left = sizeof out;
        if (iconv(cd, &in, &in_left, &o, &out_left) == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const int sets[] = {kSjis, kEuc, kUtf8, kUtf16le};
    for (int from : sets) {
        for (int to : sets) {
            const std::string out = convert_charset(text, from, to);
            if (from == kUtf8 && to == kUtf8) {  // repairs: valid text unchanged, anything else made valid
                if (!strict_utf8(out) || (strict_utf8(text) && out != text)) fail("UTF-8 repair", from, to);
            } else if (from == to || to == kUtf16le) {
                if (out != text) fail("an unsupported pair changed the text", from, to);
            } else {
                if (from != kUtf16le && is_ascii(text) && out != text) fail("ASCII text changed", from, to);
                if (to == kUtf8 && !strict_utf8(out)) fail("the result is no valid UTF-8", from, to);
                if (to != kUtf8 && !decodes_cleanly(out, to)) fail("the result does not decode in the target set", from, to);
                // What came out must go on through the next conversion unchanged in kind.
                for (int next : {kSjis, kEuc})
                    if (to == kUtf8 && !decodes_cleanly(convert_charset(out, kUtf8, next), next))
                        fail("a second conversion gave undecodable text", kUtf8, next);
            }
        }
        // Walking by char_width visits the character boundaries fit_prefix may stop at.
        const auto *p = reinterpret_cast<const unsigned char *>(text.data());
        std::string boundary(size + 1, 0);
        for (std::size_t i = 0, w; i < size; i += w) {
            boundary[i] = 1, w = char_width(from, p + i, size - i);
            if (w < 1 || w > size - i) fail("char_width out of range", from, from);
        }
        boundary[size] = 1;
        for (std::size_t max : {std::size_t{0}, std::size_t{1}, std::size_t{2}, size / 2, size, size + 3}) {
            const std::size_t fit = fit_prefix(from, text, max);
            if (fit > max || fit > size || !boundary[fit]) fail("fit_prefix too long or inside a character", from, from);
            if (fit < size && fit + char_width(from, p + fit, size - fit) <= max) fail("fit_prefix stopped early", from, from);
        }
    }
    const std::size_t chars = utf8_length(text);
    if (utf8_prefix_bytes(text, chars) != size || utf8_prefix_bytes(text, 0) != 0) fail("utf8_prefix_bytes", kUtf8, kUtf8);
    for (std::size_t k = 1, last = 0, bytes; k <= chars && k <= 64; ++k, last = bytes) {
        bytes = utf8_prefix_bytes(text, k);
        if (bytes <= last || bytes > size || fit_prefix(kUtf8, text, bytes) != bytes) fail("utf8 prefixes", kUtf8, kUtf8);
    }
    const std::string upper = upper_ascii(text);
    const std::string_view a = text.substr(0, size / 2), b = text.substr(size / 2);
    if (upper.size() != size || !equals_ignore_case(text, upper) || is_ascii(upper) != is_ascii(text) ||
        equals_ignore_case(a, b) != equals_ignore_case(b, a) || equals_ignore_case(a, b) != (upper_ascii(a) == upper_ascii(b)))
        fail("case helpers", kUtf8, kUtf8);
    return 0;
}
