// A pull scanner over the text of one package part: start tags with their attributes, end
// tags and text runs, as views into the part's text. No tree, no copies, no entity expansion.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "support/results.h"

namespace tabsmith {

// Limits a well-formed part never comes near; a part beyond them is refused.
constexpr int kXmlMaxDepth = 100;
constexpr std::size_t kXmlMaxNameBytes = 80;

enum class XmlToken { kStart, kEnd, kText, kEndOfInput };

// Where a part went wrong and how, for the message of a refused package.
struct PartFault {
    std::size_t offset = 0;   // bytes from the start of the part
    std::string what;         // in words, as the messages are written
};

struct XmlAttribute {
    std::string_view name;    // as written, with any prefix
    std::string_view value;   // between the quotes, references not yet decoded
};

class XmlScanner {
public:
    explicit XmlScanner(std::string_view text);

    // The next token. A self-closing tag gives kStart with self_closing() set and then its kEnd.
    // At the end of the text, or at the first fault, kEndOfInput; error() tells which.
    XmlToken next();

    // kOk after a clean end; kFail for malformed markup (unclosed or mismatched tags, a DOCTYPE,
    // text that ends inside a tag); kLimit for nesting deeper than kXmlMaxDepth or a name longer
    // than kXmlMaxNameBytes.
    int error() const { return error_; }
    // After a fault: where the offending markup starts and what was wrong with it.
    PartFault fault() const { return {error_offset_, error_what_ ? error_what_ : ""}; }

    // The current tag's name as written, and without its prefix.
    std::string_view name() const { return name_; }
    std::string_view local_name() const { return local_name_; }
    bool self_closing() const { return self_closing_; }
    const std::vector<XmlAttribute> &attributes() const { return attributes_; }
    // The raw value of the attribute whose name (without prefix) is `local`; false if absent.
    bool attribute(std::string_view local, std::string_view &value) const;
    // The current text run, raw (references not decoded) unless it came from a CDATA section.
    std::string_view text() const { return text_; }
    bool cdata() const { return cdata_; }
    // The byte range of the current token in the text: a start tag from its '<' to after its
    // '>', an end tag likewise (the same range as its start for a self-closing tag).
    std::size_t token_begin() const { return token_begin_; }
    std::size_t token_end() const { return token_end_; }
    // Elements open after the current token (a start tag counts itself, an end tag no longer).
    int depth() const { return static_cast<int>(open_.size()); }

    // Right after the start tag of an element whose whole content is one `child` element
    // holding a non-empty text and nothing else, written without blanks, as most cells are
    // ("<v>12</v>"): that text, raw, and the scanner moved past the element's end tag, which
    // the caller takes as met. False, with nothing moved, for content of any other form, which
    // next() then gives token by token.
    bool take_text_child(std::string_view child, std::string_view &text);

private:
    XmlToken fail(int code, std::size_t at, const char *what);
    XmlToken start_tag(std::size_t at);
    XmlToken end_tag(std::size_t at);
    bool skip_markup(std::size_t at);   // comments, processing instructions, CDATA

    std::string_view text_all_;
    std::size_t pos_ = 0;
    int error_ = kOk;
    std::size_t error_offset_ = 0;
    const char *error_what_ = nullptr;
    bool pending_end_ = false;
    bool self_closing_ = false;
    bool cdata_ = false;
    std::string_view name_, local_name_;
    std::string_view text_;
    std::size_t token_begin_ = 0, token_end_ = 0;
    std::vector<XmlAttribute> attributes_;
    std::vector<std::string_view> open_;
};

// Appends `raw` with its references (the five entities, decimal and hexadecimal character
// references) and the package's _xHHHH_ escapes decoded. Unknown entities stay as written.
void xml_decode_append(std::string &out, std::string_view raw);
// Whether `raw` holds anything xml_decode_append would change.
bool xml_needs_decoding(std::string_view raw);
// Appends ` name="value"` for an attribute kept to be written back: the value is decoded and
// escaped again, since one quoted with apostrophes may hold a quotation mark or a raw '<'.
void append_attribute_again(std::string &out, const XmlAttribute &attribute);

}  // namespace tabsmith
