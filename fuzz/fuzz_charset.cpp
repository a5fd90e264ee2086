// Fuzz target: the character-set module. Every conversion pair must give text that is valid in
// the target set (checked with a UTF-8 decoder of our own and a separate iconv decoder), and
// the width, prefix and case helpers must agree with each other.

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/charset.h"

using namespace tabsmith;

namespace {

const char *set_name(int charset) {
    switch (charset) {
    case kSjis: return "SJIS";
    case kEuc: return "EUC";
    case kUtf8: return "UTF8";
    default: return "UTF16LE";
    }
}

[[noreturn]] void fail(const char *what, int from, int to) {
    std::fprintf(stderr, "\n== charset check failed: %s (%s -> %s)\n", what, set_name(from), set_name(to));
    std::abort();
}

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
bool valid_utf8(std::string_view text) {
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    std::size_t n = text.size(), i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t len;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) len = 2, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) len = 3, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) len = 4, cp = c & 0x07;
        else return false;
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        i += len;
    }
    return true;
}

// Whether iconv decodes the whole text from `charset` without an invalid or cut sequence.
bool decodes_cleanly(std::string_view text, int charset) {
    static iconv_t sjis = iconv_open("UTF-8", "CP932");
    static iconv_t euc = [] {
        iconv_t cd = iconv_open("UTF-8", "EUC-JP-MS");
        return cd != reinterpret_cast<iconv_t>(-1) ? cd : iconv_open("UTF-8", "EUC-JP");
    }();
    iconv_t cd = charset == kSjis ? sjis : euc;
    if (cd == reinterpret_cast<iconv_t>(-1)) std::abort();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char *in = const_cast<char *>(text.data());
    std::size_t in_left = text.size();
    char out[4096];
    while (in_left > 0) {
        char *o = out;
        std::size_t o_left = sizeof out;
        if (iconv(cd, &in, &in_left, &o, &o_left) == static_cast<std::size_t>(-1) && errno != E2BIG) return false;
    }
    return true;
}

void check_conversions(std::string_view text) {
    const int sets[] = {kSjis, kEuc, kUtf8, kUtf16le};
    for (int from : sets) {
        for (int to : sets) {
            const std::string out = convert_charset(text, from, to);
            if (from == kUtf8 && to == kUtf8) {
                // UTF-8 to UTF-8 repairs: valid text unchanged, anything else made valid.
                if (!valid_utf8(out)) fail("the result is no valid UTF-8", from, to);
                if (valid_utf8(text) && out != text) fail("valid UTF-8 changed", from, to);
                continue;
            }
            if (from == to || to == kUtf16le) {
                if (out != text) fail("an unsupported pair changed the text", from, to);
                continue;
            }
            if (from != kUtf16le && is_ascii(text) && out != text) fail("ASCII text changed", from, to);
            if (to == kUtf8 && !valid_utf8(out)) fail("the result is no valid UTF-8", from, to);
            if ((to == kSjis || to == kEuc) && !decodes_cleanly(out, to))
                fail("the result does not decode in the target set", from, to);
            // What came out must go on through the next conversion unchanged in kind.
            if (to == kUtf8) {
                for (int next : {kSjis, kEuc}) {
                    const std::string again = convert_charset(out, kUtf8, next);
                    if (!decodes_cleanly(again, next)) fail("a second conversion gave undecodable text", kUtf8, next);
                }
            }
        }
    }
}

void check_widths(std::string_view text) {
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    for (int set : {kSjis, kEuc, kUtf8, kUtf16le}) {
        // Walking by char_width visits the character boundaries fit_prefix may stop at.
        std::string boundary(text.size() + 1, 0);
        std::size_t i = 0;
        while (i < text.size()) {
            boundary[i] = 1;
            std::size_t w = char_width(set, p + i, text.size() - i);
            if (w < 1 || w > text.size() - i) fail("char_width out of range", set, set);
            i += w;
        }
        boundary[text.size()] = 1;
        for (std::size_t max : {std::size_t{0}, std::size_t{1}, std::size_t{2}, text.size() / 2, text.size(),
                                text.size() + 3}) {
            std::size_t fit = fit_prefix(set, text, max);
            if (fit > max || fit > text.size()) fail("fit_prefix longer than allowed", set, set);
            if (!boundary[fit]) fail("fit_prefix ends inside a character", set, set);
            if (fit < text.size() && fit + char_width(set, p + fit, text.size() - fit) <= max)
                fail("fit_prefix stopped early", set, set);
        }
    }
    const std::size_t chars = utf8_length(text);
    if (utf8_prefix_bytes(text, chars) != text.size()) fail("utf8_prefix_bytes of every character", kUtf8, kUtf8);
    if (utf8_prefix_bytes(text, 0) != 0) fail("utf8_prefix_bytes of nothing", kUtf8, kUtf8);
    std::size_t last = 0;
    for (std::size_t k = 1; k <= chars && k <= 64; ++k) {
        std::size_t bytes = utf8_prefix_bytes(text, k);
        if (bytes <= last || bytes > text.size()) fail("utf8_prefix_bytes not increasing", kUtf8, kUtf8);
        if (fit_prefix(kUtf8, text, bytes) != bytes) fail("utf8 prefix and fit_prefix disagree", kUtf8, kUtf8);
        last = bytes;
    }
}

void check_case(std::string_view text) {
    const std::string upper = upper_ascii(text);
    if (upper.size() != text.size() || !equals_ignore_case(text, upper)) fail("upper_ascii", kUtf8, kUtf8);
    bool ascii = true;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        ascii = ascii && c < 0x80;
        unsigned char expected = c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 32) : c;
        if (static_cast<unsigned char>(upper[i]) != expected) fail("upper_ascii changed a non-letter", kUtf8, kUtf8);
    }
    if (ascii != is_ascii(text)) fail("is_ascii", kUtf8, kUtf8);
    const std::string_view a = text.substr(0, text.size() / 2), b = text.substr(text.size() / 2);
    const bool same = equals_ignore_case(a, b);
    if (same != equals_ignore_case(b, a) || same != (upper_ascii(a) == upper_ascii(b)))
        fail("equals_ignore_case", kUtf8, kUtf8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char *>(data), size);
    check_conversions(text);
    check_widths(text);
    check_case(text);
    return 0;
}
