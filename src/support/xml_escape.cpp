// Escaping for XML text and attributes, and the character rule every part obeys. Besides the
// five entities, tab/CR/LF become character references where needed, other C0 controls and
// U+FFFE/U+FFFF the _xHHHH_ form (XML 1.0 forbids them even as references), bytes that are no
// UTF-8 U+FFFD, and a literal "_xHHHH_" in the text is protected with "_x005F": read back,
// "_x005F_" is the underscore and the "xHHHH_" after it stays plain text.

#include "support/xml_escape.h"

#include <array>
#include <new>

#include "support/charset.h"
#include "support/results.h"

namespace tabsmith {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kEscapePrefix = "_x", kEscapeSuffix = "_";
constexpr std::string_view kUnderscoreEscape = "_x005F";

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// "_x" + four hex digits + "_" at position i.
bool looks_like_escape(std::string_view text, std::size_t i) {
    if (i + 7 > text.size()) return false;
    if (text[i] != '_' || text[i + 1] != 'x' || text[i + 6] != '_') return false;
    for (std::size_t k = 2; k < 6; ++k)
        if (!is_hex(text[i + k])) return false;
    return true;
}

int hex_value(std::string_view digits) {
    int value = 0;
    for (char c : digits) {
        value <<= 4;
        if (c >= '0' && c <= '9') value |= c - '0';
        else if (c >= 'a' && c <= 'f') value |= c - 'a' + 10;
        else value |= c - 'A' + 10;
    }
    return value;
}


void append_code_escape(std::string &out, unsigned code) {
    out.append(kEscapePrefix);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kDigits[(code >> shift) & 0xF]);
    out.append(kEscapeSuffix);
}

// The UTF-8 sequence starting with the byte at i: a broken one becomes one U+FFFD for its
// longest start of a character.
Utf8Sequence utf8_sequence(std::string_view text, std::size_t i) {
    return utf8_sequence_at(reinterpret_cast<const unsigned char *>(text.data()) + i, text.size() - i);
}

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// What the escaping loop does with a byte: copy it (most ASCII), look at it (C0 controls, the
// markup characters, the underscore that may start a lookalike of the _xHHHH_ form), or read
// the character it starts: the common two- and three-byte leads take a short check, the rest
// (E0 and ED with their narrower second byte, four-byte leads, bytes that start nothing) the
// full one.
enum ByteKind : std::uint8_t { kCopy, kAscii, kLead2, kLead3, kOtherByte };

constexpr std::array<ByteKind, 256> kByteKinds = [] {
    std::array<ByteKind, 256> kinds{};
    for (int c = 0; c < 0x20; ++c) kinds[static_cast<std::size_t>(c)] = kAscii;
    for (char c : {'"', '&', '\'', '<', '>', '_'}) kinds[static_cast<unsigned char>(c)] = kAscii;
    for (int c = 0x80; c < 0x100; ++c) kinds[static_cast<std::size_t>(c)] = kOtherByte;
    for (int c = 0xC2; c <= 0xDF; ++c) kinds[static_cast<std::size_t>(c)] = kLead2;
    for (int c = 0xE1; c <= 0xEF; ++c) kinds[static_cast<std::size_t>(c)] = c == 0xED ? kOtherByte : kLead3;
    return kinds;
}();

// U+FFFE and U+FFFF: EF BF BE and EF BF BF.
bool is_noncharacter(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]) == 0xEF && static_cast<unsigned char>(text[i + 1]) == 0xBF &&
           static_cast<unsigned char>(text[i + 2]) >= 0xBE;
}

}  // namespace

void xml_escape_append(std::string &out, std::string_view text, EscapeMode mode) {
    const bool attribute = mode == EscapeMode::kAttribute;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
    const std::size_t size = text.size();
    std::size_t run = 0;  // start of the pending run of bytes copied as they are
    auto flush = [&](std::size_t end) {
        if (end > run) out.append(text.data() + run, end - run);
    };
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = bytes[i];
        const ByteKind kind = kByteKinds[c];
        if (kind == kCopy) continue;
        if (kind != kAscii) {
            if (kind == kLead3 && i + 2 < size) {
                // Both trail bytes at once; EF BF BE and EF BF BF (U+FFFE, U+FFFF) go the long way.
                const unsigned trail = bytes[i + 1] | (bytes[i + 2] << 8);
                if ((trail & 0xC0C0) == 0x8080 && !(c == 0xEF && (trail | 0x0100) == 0xBFBF)) {
                    i += 2;
                    continue;
                }
            } else if (kind == kLead2 && i + 1 < size && is_continuation(bytes[i + 1])) {
                i += 1;
                continue;
            }
            const Utf8Sequence sequence = utf8_sequence(text, i);
            if (sequence.length == 3 && is_noncharacter(text, i)) {
                flush(i);
                append_code_escape(out, 0xFFFE + (bytes[i + 2] - 0xBE));
            } else if (sequence.length == 0) {
                flush(i);
                out.append(kReplacementCharacter);
            } else {
                i += sequence.length - 1;
                continue;
            }
            const std::size_t taken = sequence.length ? sequence.length : sequence.broken;
            run = i + taken;
            i += taken - 1;
            continue;
        }
        std::string_view replacement;
        switch (c) {
        case '\t': replacement = "&#x9;"; break;
        case '\n': replacement = attribute ? "&#xA;" : ""; break;
        case '\r': replacement = attribute ? "&#xD;" : ""; break;
        case '"': replacement = "&quot;"; break;
        case '&': replacement = "&amp;"; break;
        case '\'': replacement = "&apos;"; break;
        case '<': replacement = "&lt;"; break;
        case '>': replacement = "&gt;"; break;
        case '_':
            if (looks_like_escape(text, i)) {
                // "_x005F" goes in front of the underscore, which is then copied with the rest.
                flush(i);
                out.append(kUnderscoreEscape);
                run = i;
            }
            continue;
        default:
            // The C0 controls XML cannot carry even as character references.
            flush(i);
            append_code_escape(out, c);
            run = i + 1;
            continue;
        }
        if (replacement.empty()) continue;
        flush(i);
        out.append(replacement);
        run = i + 1;
    }
    flush(size);
}

std::string xml_escape(std::string_view text, EscapeMode mode) {
    std::string out;
    out.reserve(text.size() + 16);
    xml_escape_append(out, text, mode);
    return out;
}

std::string xml_unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char c = text[i];
        if (c == '&') {
            std::size_t end = text.find(';', i);
            if (end != std::string_view::npos && end - i <= 10) {
                std::string_view entity = text.substr(i + 1, end - i - 1);
                bool known = true;
                if (entity == "lt") out.push_back('<');
                else if (entity == "gt") out.push_back('>');
                else if (entity == "amp") out.push_back('&');
                else if (entity == "quot") out.push_back('"');
                else if (entity == "apos") out.push_back('\'');
                else if (entity.size() > 2 && entity[0] == '#' && (entity[1] == 'x' || entity[1] == 'X')) {
                    unsigned code = 0;
                    bool ok = entity.size() <= 8;
                    for (std::size_t k = 2; ok && k < entity.size(); ++k) {
                        ok = is_hex(entity[k]);
                        code = code * 16 + static_cast<unsigned>(hex_value(entity.substr(k, 1)));
                    }
                    if (ok && code <= 0x10FFFF) append_utf8_code_point(out, code);
                    else known = false;
                } else if (entity.size() > 1 && entity[0] == '#') {
                    unsigned code = 0;
                    bool ok = entity.size() <= 8;
                    for (std::size_t k = 1; ok && k < entity.size(); ++k) {
                        ok = entity[k] >= '0' && entity[k] <= '9';
                        code = code * 10 + static_cast<unsigned>(entity[k] - '0');
                    }
                    if (ok && code <= 0x10FFFF) append_utf8_code_point(out, code);
                    else known = false;
                } else {
                    known = false;
                }
                if (known) {
                    i = end + 1;
                    continue;
                }
            }
        } else if (c == '_' && looks_like_escape(text, i)) {
            int code = hex_value(text.substr(i + 2, 4));
            append_utf8_code_point(out, static_cast<std::uint32_t>(code));
            i += 7;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

int tsx_xml_escape(EscapeMode mode, std::string &text) {
    try {
        text = mode == EscapeMode::kUnescape ? xml_unescape(text) : xml_escape(text, mode);
        return kOk;
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
}

}  // namespace tabsmith
