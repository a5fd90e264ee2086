// Escaping for XML text and attributes. Besides the five entities, tab/CR/LF become character
// references where needed, other C0 controls the _xHHHH_ form (XML 1.0 forbids them even as
// references), and a literal "_xHHHH_" in the text is protected with "_x005F": read back,
// "_x005F_" is the underscore and the "xHHHH_" after it stays plain text.

#include "xlsx_write/xml_escape.h"

#include <cstdio>
#include <new>

namespace tabsmith {
namespace {

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

void append_utf8(std::string &out, unsigned code) {
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

}  // namespace

void xml_escape_append(std::string &out, std::string_view text, EscapeMode mode) {
    std::size_t run = 0;  // start of the pending run of bytes copied as they are
    auto flush = [&](std::size_t end) {
        if (end > run) out.append(text.data() + run, end - run);
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c > '_') continue;
        const char *replacement = nullptr;
        char control[8];
        switch (c) {
        case '\t': replacement = "&#x9;"; break;
        case '\n': replacement = mode == EscapeMode::kAttribute ? "&#xA;" : nullptr; break;
        case '\r': replacement = mode == EscapeMode::kAttribute ? "&#xD;" : nullptr; break;
        case '"': replacement = "&quot;"; break;
        case '&': replacement = "&amp;"; break;
        case '\'': replacement = "&apos;"; break;
        case '<': replacement = "&lt;"; break;
        case '>': replacement = "&gt;"; break;
        case '_':
            if (looks_like_escape(text, i)) replacement = "_x005F";
            break;
        default:
            if (c < 0x20) {
                std::snprintf(control, sizeof control, "_x%04X_", c);
                replacement = control;
            }
            break;
        }
        if (!replacement) continue;
        flush(i);
        out.append(replacement);
        // "_x005F" goes in front of the underscore, which is then copied with the rest.
        run = c == '_' ? i : i + 1;
    }
    flush(text.size());
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
                    if (ok && code <= 0x10FFFF) append_utf8(out, code);
                    else known = false;
                } else if (entity.size() > 1 && entity[0] == '#') {
                    unsigned code = 0;
                    bool ok = entity.size() <= 8;
                    for (std::size_t k = 1; ok && k < entity.size(); ++k) {
                        ok = entity[k] >= '0' && entity[k] <= '9';
                        code = code * 10 + static_cast<unsigned>(entity[k] - '0');
                    }
                    if (ok && code <= 0x10FFFF) append_utf8(out, code);
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
            append_utf8(out, static_cast<unsigned>(code));
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
        return 0;
    } catch (const std::bad_alloc &) {
        return -2;
    }
}

}  // namespace tabsmith
