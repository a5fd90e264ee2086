// XML escaping shared by every part writer, and the reverse used by the readers and getters.
// The one place that decides which characters a part may carry and what the others become.
#pragma once

#include <string>
#include <string_view>

namespace tabsmith {

enum class EscapeMode {
    kUnescape = 0,
    kAttribute = 1,   // CR and LF become character references
    kText = 2,        // CR and LF stay as they are
};

// Appends the escaped form of `text` to `out`. In every mode the result holds only characters
// XML 1.0 allows: bytes that are not UTF-8 (stray or cut-off bytes, encoded surrogates, overlong
// forms) become U+FFFD, one for each longest run that could have started a character; C0
// controls other than tab, LF and CR, and U+FFFE and U+FFFF, are written in the workbook's
// _xHHHH_ form, which reading programs turn back into the character.
void xml_escape_append(std::string &out, std::string_view text, EscapeMode mode);
std::string xml_escape(std::string_view text, EscapeMode mode);

// The reverse of the escaping above (entities, character references, _xHHHH_ forms).
std::string xml_unescape(std::string_view text);

// In-place form with the classic result codes: kOk, kNoMemory.
int tsx_xml_escape(EscapeMode mode, std::string &text);

}  // namespace tabsmith
