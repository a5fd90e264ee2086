// XML escaping shared by every part writer, and the reverse used by the readers and getters.
// Control characters that XML cannot carry at all are written in the workbook's _xHHHH_ form.
#pragma once

#include <string>
#include <string_view>

namespace tabsmith {

enum class EscapeMode {
    kUnescape = 0,
    kAttribute = 1,   // CR and LF become character references
    kText = 2,        // CR and LF stay as they are
};

// Appends the escaped form of `text` to `out`.
void xml_escape_append(std::string &out, std::string_view text, EscapeMode mode);
std::string xml_escape(std::string_view text, EscapeMode mode);

// The reverse of the escaping above (entities, character references, _xHHHH_ forms).
std::string xml_unescape(std::string_view text);

// In-place form with the classic result codes: 0, -2 (memory).
int tsx_xml_escape(EscapeMode mode, std::string &text);

}  // namespace tabsmith
