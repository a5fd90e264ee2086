// How text of a book enters an HTML page: escaped element text and attribute values, CSS
// strings, the link addresses a page may carry, and pictures as data: addresses.
#pragma once

#include <string>
#include <string_view>

namespace tabsmith {

// Appends `text` so that it reads back as itself inside an element or a double-quoted attribute
// value and can never open or close markup: & < > " ' become references; bytes that are not
// UTF-8 become U+FFFD; C0 controls other than tab, LF and CR (NUL included) and DEL become
// U+FFFD too, since a page may not carry them.
void html_escape_append(std::string &out, std::string_view text);

// Appends `text` as the inside of a double-quoted CSS string: letters, digits, blanks, '-',
// '_', '.' and non-ASCII characters stay, everything else becomes a hexadecimal escape, so a
// value can neither end the string nor the style sheet ("</style>").
void css_string_append(std::string &out, std::string_view text);

// Whether `target` may become an href: an absolute http, https or mailto address without blanks,
// controls or backslashes (a browser would strip or reinterpret those). Anything else
// (javascript:, data:, file:, relative paths) stays plain text.
bool safe_link_target(std::string_view target);

// The media type of a picture a browser shows, from its first bytes (PNG, JPEG, GIF, BMP);
// "" for anything else, which is left out rather than handed to the browser under a guess.
std::string_view picture_media_type(std::string_view bytes);

// Appends the bytes in base64 (RFC 4648, with padding).
void base64_append(std::string &out, std::string_view bytes);

}  // namespace tabsmith
