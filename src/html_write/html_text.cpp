// Escaping for the HTML view: element and attribute text, CSS strings, link schemes and
// picture data addresses. Every text of a book passes through here on its way into a page.

#include "html_write/html_text.h"

#include <array>
#include <cstdint>

#include "support/charset.h"

namespace tabsmith {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";   // U+FFFD
constexpr std::string_view kLinkSchemes[] = {"http://"sv, "https://"sv, "mailto:"sv};
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kDelete = 0x7F;

// Byte classes of the escaper: plain ASCII copied as is, a reference, a forbidden control, or
// the start of a multi-byte sequence that must be checked.
enum ByteClass : std::uint8_t { kPlain, kReference, kControl, kMultiByte };

constexpr std::array<ByteClass, 256> byte_classes() {
    std::array<ByteClass, 256> classes{};
    for (int c = 0; c < 256; ++c) {
        if (c >= 0x80) classes[c] = kMultiByte;
        else if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == kDelete) classes[c] = kControl;
        else classes[c] = kPlain;
    }
    for (unsigned char c : {'&', '<', '>', '"', '\''}) classes[c] = kReference;
    return classes;
}
constexpr std::array<ByteClass, 256> kByteClasses = byte_classes();

std::string_view reference_of(char c) {
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    default: return "&#39;";
    }
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t k = 0; k < prefix.size(); ++k) {
        char c = text[k];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[k]) return false;
    }
    return true;
}

}  // namespace

void html_escape_append(std::string &out, std::string_view text) {
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t size = text.size();
    std::size_t plain_from = 0, k = 0;
    while (k < size) {
        const ByteClass kind = kByteClasses[p[k]];
        if (kind == kPlain) {
            ++k;
            continue;
        }
        if (kind == kMultiByte) {
            const Utf8Sequence sequence = utf8_sequence_at(p + k, size - k);
            if (sequence.length > 0) {
                k += sequence.length;
                continue;
            }
            out.append(text.substr(plain_from, k - plain_from));
            out.append(kReplacement);
            k += sequence.broken;
        } else {
            out.append(text.substr(plain_from, k - plain_from));
            out.append(kind == kReference ? reference_of(text[k]) : kReplacement);
            ++k;
        }
        plain_from = k;
    }
    out.append(text.substr(plain_from));
}

void css_string_append(std::string &out, std::string_view text) {
    const auto *p = reinterpret_cast<const unsigned char *>(text.data());
    for (std::size_t k = 0; k < text.size();) {
        const unsigned char c = p[k];
        if (c >= 0x80) {
            const Utf8Sequence sequence = utf8_sequence_at(p + k, text.size() - k);
            if (sequence.length > 0) out.append(text.substr(k, sequence.length));
            else out.append(kReplacement);
            k += sequence.length > 0 ? sequence.length : sequence.broken;
            continue;
        }
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' ||
                          c == '-' || c == '_' || c == '.';
        if (keep) {
            out.push_back(static_cast<char>(c));
        } else if (c == 0) {
            out.append(kReplacement);   // CSS turns an escaped NUL into U+FFFD as well
        } else {
            // "\hh " : the blank ends the escape so that a following hex digit is not taken in.
            out.push_back('\\');
            out.push_back(kHexDigits[c >> 4]);
            out.push_back(kHexDigits[c & 15]);
            out.push_back(' ');
        }
        ++k;
    }
}

bool safe_link_target(std::string_view target) {
    for (unsigned char c : target)
        if (c <= 0x20 || c == kDelete || c == '\\') return false;
    for (std::string_view scheme : kLinkSchemes)
        if (starts_with_ignoring_case(target, scheme) && target.size() > scheme.size()) return true;
    return false;
}

std::string_view picture_media_type(std::string_view bytes) {
    if (bytes.starts_with("\x89PNG\r\n\x1a\n"sv)) return "image/png";
    if (bytes.starts_with("\xFF\xD8\xFF"sv)) return "image/jpeg";
    if (bytes.starts_with("GIF87a"sv) || bytes.starts_with("GIF89a"sv)) return "image/gif";
    if (bytes.starts_with("BM"sv) && bytes.size() > 26) return "image/bmp";
    return {};
}

void base64_append(std::string &out, std::string_view bytes) {
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::size_t whole = bytes.size() / 3 * 3;
    out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
    for (std::size_t k = 0; k < whole; k += 3) {
        const std::uint32_t v = (std::uint32_t{p[k]} << 16) | (std::uint32_t{p[k + 1]} << 8) | p[k + 2];
        out.push_back(kBase64[v >> 18]);
        out.push_back(kBase64[(v >> 12) & 63]);
        out.push_back(kBase64[(v >> 6) & 63]);
        out.push_back(kBase64[v & 63]);
    }
    const std::size_t left = bytes.size() - whole;
    if (left == 0) return;
    std::uint32_t v = std::uint32_t{p[whole]} << 16;
    if (left == 2) v |= std::uint32_t{p[whole + 1]} << 8;
    out.push_back(kBase64[v >> 18]);
    out.push_back(kBase64[(v >> 12) & 63]);
    out.push_back(left == 2 ? kBase64[(v >> 6) & 63] : '=');
    out.push_back('=');
}

}  // namespace tabsmith
