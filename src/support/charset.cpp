// Character-set conversion over glibc iconv, with replacement of invalid input.
// Converters are opened once per thread and reused.

#include "support/charset.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>
#include <utility>

namespace tabsmith {
namespace {

const char *iconv_name(int charset) {
    switch (charset) {
    case kSjis: return "CP932";
    case kEuc: return "EUC-JP-MS";
    case kUtf8: return "UTF-8";
    case kUtf16le: return "UTF-16LE";
    default: return nullptr;
    }
}

class Converters {
public:
    ~Converters() {
        for (auto &entry : table_)
            if (entry.second != reinterpret_cast<iconv_t>(-1)) iconv_close(entry.second);
        for (auto &entry : code_pages_)
            if (entry.second != reinterpret_cast<iconv_t>(-1)) iconv_close(entry.second);
    }
    iconv_t get(int from, int to) {
        auto key = std::make_pair(from, to);
        auto it = table_.find(key);
        if (it != table_.end()) return it->second;
        // A converter that could not be opened for want of memory is no missing converter: it
        // is not remembered, or texts would pass unconverted for the rest of the thread.
        const iconv_t none = reinterpret_cast<iconv_t>(-1);
        iconv_t cd = iconv_open(iconv_name(to), iconv_name(from));
        if (cd == none && errno == ENOMEM) throw std::bad_alloc();
        if (cd == none && (from == kEuc || to == kEuc)) {
            cd = iconv_open(to == kEuc ? "EUC-JP" : iconv_name(to), from == kEuc ? "EUC-JP" : iconv_name(from));
            if (cd == none && errno == ENOMEM) throw std::bad_alloc();
        }
        try {
            table_.emplace(key, cd);
        } catch (...) {
            if (cd != none) iconv_close(cd);
            throw;
        }
        return cd;
    }

    // A converter from a Windows code page (the 8-bit texts of older workbooks) to UTF-8;
    // (iconv_t)-1 when iconv knows no such set.
    iconv_t from_code_page(unsigned code_page) {
        auto it = code_pages_.find(code_page);
        if (it != code_pages_.end()) return it->second;
        const std::string name = code_page_iconv_name(code_page);
        iconv_t cd = iconv_open("UTF-8", name.c_str());
        if (cd == reinterpret_cast<iconv_t>(-1) && errno == ENOMEM) throw std::bad_alloc();
        try {
            code_pages_.emplace(code_page, cd);
        } catch (...) {
            if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
            throw;
        }
        return cd;
    }

private:
    // Windows numbers most sets "CP" and the number; the Macintosh ones have names of their own.
    static std::string code_page_iconv_name(unsigned code_page) {
        switch (code_page) {
        case 367: return "ASCII";
        case 10000:
        case 32768: return "MACINTOSH";
        case 10007: return "MAC-CYRILLIC";
        case 10029: return "MAC-CENTRALEUROPE";
        case 32769: return "CP1252";
        default: return "CP" + std::to_string(code_page);
        }
    }

    std::map<std::pair<int, int>, iconv_t> table_;
    std::map<unsigned, iconv_t> code_pages_;
};

thread_local Converters converters;

bool supported_pair(int from, int to) {
    if (from == to) return false;
    if (to != kSjis && to != kEuc && to != kUtf8) return false;
    return from == kSjis || from == kEuc || from == kUtf8 || from == kUtf16le;
}

std::string_view replacement(int to) { return to == kUtf8 ? std::string_view("\xEF\xBF\xBD") : std::string_view("?"); }

// U+00A5 has no code of its own in either Japanese set. A Shift-JIS reader takes 0x5C for the
// yen sign (its fonts draw it so), whatever a converter's table says; EUC-JP reads 0x5C as a
// backslash, so its only yen sign is the full-width one of JIS X 0208 (A1 EF, U+FFE5).
constexpr std::string_view kUtf8Yen = "\xC2\xA5";

std::string japanese_yen(std::string_view text, int to) {
    const std::string_view yen = to == kSjis ? std::string_view("\\") : std::string_view("\xEF\xBF\xA5");
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t at = 0;;) {
        std::size_t found = text.find(kUtf8Yen, at);
        out.append(text.substr(at, found - at));
        if (found == std::string_view::npos) break;
        out.append(yen);
        at = found + kUtf8Yen.size();
    }
    return out;
}

// Runs one converter over the whole text; each unit of bad input becomes `rep`.
std::string run_converter(iconv_t cd, std::string_view text, std::string_view rep, std::size_t unit) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    std::string out;
    out.resize(text.size() * 2 + 16);
    char *in_ptr = const_cast<char *>(text.data());
    size_t in_left = text.size();
    size_t used = 0;
    while (in_left > 0) {
        char *out_ptr = out.data() + used;
        size_t out_left = out.size() - used;
        size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        used = out.size() - out_left;
        if (rc != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ or EINVAL: replace one unit of bad input and go on.
        if (out.size() - used < rep.size()) out.resize(out.size() * 2 + rep.size());
        out.replace(used, rep.size(), rep);
        used += rep.size();
        size_t skip = unit;
        if (skip > in_left) skip = in_left;
        in_ptr += skip;
        in_left -= skip;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    // Flush any shift state.
    for (;;) {
        char *out_ptr = out.data() + used;
        size_t out_left = out.size() - used;
        size_t rc = iconv(cd, nullptr, nullptr, &out_ptr, &out_left);
        used = out.size() - out_left;
        if (rc != static_cast<size_t>(-1) || errno != E2BIG) break;
        out.resize(out.size() * 2);
    }
    out.resize(used);
    return out;
}

}  // namespace

std::string code_page_to_utf8(std::string_view text, unsigned code_page) {
    if (is_ascii(text)) return std::string(text);
    iconv_t cd = converters.from_code_page(code_page);
    // A set iconv does not know reads as Windows Latin 1, the sets' common ground.
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = converters.from_code_page(1252);
    if (cd == reinterpret_cast<iconv_t>(-1)) return valid_utf8(text);
    return run_converter(cd, text, "\xEF\xBF\xBD", 1);
}

std::string convert_charset(std::string_view text, int from, int to) {
    if (from == kUtf8 && to == kUtf8) return valid_utf8(text);
    if (!supported_pair(from, to) || text.empty()) return std::string(text);
    // Cell names, numbers and dates are plain ASCII, which every set but UTF-16 shares.
    if (from != kUtf16le && is_ascii(text)) return std::string(text);
    std::string yen_mapped;
    if (from == kUtf8 && (to == kSjis || to == kEuc) && text.find(kUtf8Yen) != std::string_view::npos) {
        yen_mapped = japanese_yen(text, to);
        text = yen_mapped;
    }
    iconv_t cd = converters.get(from, to);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(text);
    return run_converter(cd, text, replacement(to), from == kUtf16le ? 2 : 1);
}

Utf8Sequence utf8_sequence_at(const unsigned char *p, std::size_t remaining) {
    if (remaining == 0) return {};
    const unsigned char lead = p[0];
    if (lead < 0x80) return {1, 1};
    std::size_t size = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) size = 2;
    else if (lead == 0xE0) size = 3, low = 0xA0;   // no over-long forms
    else if (lead == 0xED) size = 3, high = 0x9F;  // no surrogates
    else if (lead >= 0xE1 && lead <= 0xEF) size = 3;
    else if (lead == 0xF0) size = 4, low = 0x90;
    else if (lead == 0xF4) size = 4, high = 0x8F;  // nothing beyond U+10FFFF
    else if (lead >= 0xF1 && lead <= 0xF3) size = 4;
    else return {};
    Utf8Sequence sequence;
    for (std::size_t k = 1; k < size; ++k) {
        if (k >= remaining || p[k] < low || p[k] > high) return sequence;
        low = 0x80, high = 0xBF;
        sequence.broken = k + 1;
    }
    sequence.length = size;
    return sequence;
}

namespace {

// Bytes from the start of `text` below 0x80, taken eight at a time: most texts are all of them.
std::size_t ascii_prefix(std::string_view text) {
    std::size_t i = 0;
    for (; text.size() - i >= 8; i += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + i, sizeof word);
        if (word & 0x8080808080808080ULL) break;
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    return i;
}

// Bytes from the start of `text` that are valid UTF-8.
std::size_t valid_utf8_prefix(std::string_view text) {
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        if (p[i] < 0x80) {
            i += ascii_prefix(text.substr(i));
            continue;
        }
        std::size_t n = utf8_sequence_length(p + i, text.size() - i);
        if (n == 0) break;
        i += n;
    }
    return i;
}

}  // namespace

bool is_valid_utf8(std::string_view text) { return valid_utf8_prefix(text) == text.size(); }

bool same_in_utf8(std::string_view text, int charset) {
    return charset == kUtf8 ? is_valid_utf8(text) : charset != kUtf16le && is_ascii(text);
}

std::string_view to_utf8_view(std::string_view text, int from, std::string &converted) {
    if (same_in_utf8(text, from)) return text;
    converted = to_utf8(text, from);
    return converted;
}

std::string valid_utf8(std::string_view text) {
    std::size_t i = valid_utf8_prefix(text);
    if (i == text.size()) return std::string(text);
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    std::string out(text.substr(0, i));
    while (i < text.size()) {
        std::size_t n = utf8_sequence_length(p + i, text.size() - i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::size_t char_width(int charset, const unsigned char *p, std::size_t remaining) {
    if (remaining == 0) return 0;
    unsigned char c = p[0];
    std::size_t width = 1;
    switch (charset) {
    case kSjis:
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) width = 2;
        break;
    case kEuc:
        if ((c >= 0xA1 && c <= 0xFE) || c == 0x8E) width = 2;
        else if (c == 0x8F) width = 3;
        break;
    case kUtf8:
        if (c >= 0xC0 && c <= 0xDF) width = 2;
        else if (c >= 0xE0 && c <= 0xEF) width = 3;
        else if (c >= 0xF0 && c <= 0xF7) width = 4;
        break;
    default:
        break;
    }
    if (width > remaining) width = remaining;
    return width;
}

std::size_t utf8_length(std::string_view text) {
    std::size_t count = 0;
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        i += char_width(kUtf8, p + i, text.size() - i);
        ++count;
    }
    return count;
}

std::size_t utf8_prefix_bytes(std::string_view text, std::size_t chars) {
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    std::size_t i = 0;
    while (i < text.size() && chars > 0) {
        i += char_width(kUtf8, p + i, text.size() - i);
        --chars;
    }
    return i;
}

std::size_t fit_prefix(int charset, std::string_view text, std::size_t max_bytes) {
    if (text.size() <= max_bytes) return text.size();   // the common case: it all fits
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t w = char_width(charset, p + i, text.size() - i);
        if (i + w > max_bytes) break;
        i += w;
    }
    return i;
}

std::string upper_ascii(std::string_view text) {
    std::string out(text);
    for (char &c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

bool is_ascii(std::string_view text) { return ascii_prefix(text) == text.size(); }

bool equals_ignore_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x -= 32;
        if (y >= 'a' && y <= 'z') y -= 32;
        if (x != y) return false;
    }
    return true;
}

void append_utf8_code_point(std::string &out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

}  // namespace tabsmith
