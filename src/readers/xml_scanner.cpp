// The pull scanner of package parts. It checks what a reader relies on (tags nest and match,
// quotes close, names are sane) and nothing more: namespaces are left to the caller.

#include "readers/xml_scanner.h"

#include <cstring>

#include "support/xml_escape.h"

namespace tabsmith {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Ends a name: white space, '/', '>', '=' or the end of the text.
std::size_t name_end(std::string_view text, std::size_t at) {
    while (at < text.size()) {
        char c = text[at];
        if (is_space(c) || c == '/' || c == '>' || c == '=') break;
        ++at;
    }
    return at;
}

// The first `c` at or after `from`, or `end`. Values and texts in package parts are mostly a
// few bytes long, where a plain loop beats a library call; long runs still go to memchr.
const char *find_char(const char *from, const char *end, char c) {
    const char *stop = end - from > 16 ? from + 16 : end;
    for (; from < stop; ++from)
        if (*from == c) return from;
    if (from == end) return end;
    const void *found = std::memchr(from, c, static_cast<std::size_t>(end - from));
    return found ? static_cast<const char *>(found) : end;
}

// Names are short: a loop, not a library search.
std::string_view after_prefix(std::string_view name) {
    for (std::size_t i = 0; i < name.size(); ++i)
        if (name[i] == ':') return name.substr(i + 1);
    return name;
}

// What a refused part did wrong, for the message of the failed open.
constexpr const char *kUnclosed = "要素が閉じないまま終わっています";
constexpr const char *kCutTag = "タグの途中で終わっています";
constexpr const char *kCutMarkup = "コメント、処理命令またはCDATAが閉じていません";
constexpr const char *kDoctype = "DOCTYPE宣言は受け付けません";
constexpr const char *kBadTag = "タグの書式が不正です";
constexpr const char *kBadAttribute = "属性の書式が不正です";
constexpr const char *kMismatched = "終了タグが開始タグと対応していません";
constexpr const char *kLongName = "名前が長すぎます(上限80バイト)";
constexpr const char *kDeep = "要素の入れ子が深すぎます(上限100)";

}  // namespace

XmlScanner::XmlScanner(std::string_view text) : text_all_(text) {
    // A byte-order mark is not content.
    if (text_all_.starts_with("\xEF\xBB\xBF")) pos_ = 3;
    open_.reserve(16);
}


bool XmlScanner::attribute(std::string_view local, std::string_view &value) const {
    for (const XmlAttribute &attribute : attributes_) {
        if (attribute.name == local || after_prefix(attribute.name) == local) {
            value = attribute.value;
            return true;
        }
    }
    return false;
}

bool XmlScanner::take_text_child(std::string_view child, std::string_view &text) {
    if (pending_end_ || error_ != kOk || open_.empty() || open_.size() >= static_cast<std::size_t>(kXmlMaxDepth))
        return false;
    // "<name>" (or "</name>" with first '/') at `at`; names are a few bytes, compared in place.
    auto take = [&](std::size_t &at, char first, std::string_view name) {
        const std::string_view rest = text_all_.substr(at);
        const std::size_t start = first == '/' ? 2 : 1, size = name.size() + start + 1;
        if (rest.size() < size || rest[0] != '<' || (first == '/' && rest[1] != '/') || rest[size - 1] != '>')
            return false;
        for (std::size_t k = 0; k < name.size(); ++k)
            if (rest[start + k] != name[k]) return false;
        at += size;
        return true;
    };
    std::size_t at = pos_;
    if (!take(at, 0, child)) return false;
    const char *base = text_all_.data();
    const std::size_t end = static_cast<std::size_t>(find_char(base + at, base + text_all_.size(), '<') - base);
    if (end == at) return false;
    std::size_t after = end;
    if (!take(after, '/', child) || !take(after, '/', open_.back())) return false;
    text = text_all_.substr(at, end - at);
    token_begin_ = end;
    token_end_ = pos_ = after;
    open_.pop_back();
    return true;
}

XmlToken XmlScanner::fail(int code, std::size_t at, const char *what) {
    error_ = code;
    error_offset_ = at;
    error_what_ = what;
    pos_ = text_all_.size();
    return XmlToken::kEndOfInput;
}

XmlToken XmlScanner::next() {
    if (error_ != kOk) return XmlToken::kEndOfInput;
    if (pending_end_) {
        // The end of a self-closing tag: same name and range as its start.
        pending_end_ = false;
        open_.pop_back();
        return XmlToken::kEnd;
    }
    self_closing_ = false;
    cdata_ = false;
    for (;;) {
        if (pos_ >= text_all_.size()) {
            if (!open_.empty()) return fail(kFail, pos_, kUnclosed);
            return XmlToken::kEndOfInput;
        }
        if (text_all_[pos_] != '<') {
            const char *base = text_all_.data();
            std::size_t end = static_cast<std::size_t>(find_char(base + pos_, base + text_all_.size(), '<') - base);
            token_begin_ = pos_;
            token_end_ = end;
            text_ = text_all_.substr(pos_, end - pos_);
            pos_ = end;
            return XmlToken::kText;
        }
        std::size_t at = pos_;
        if (at + 1 >= text_all_.size()) return fail(kFail, at, kCutTag);
        char c = text_all_[at + 1];
        if (c == '/') return end_tag(at);
        if (c == '!' || c == '?') {
            if (text_all_.substr(at).starts_with("<![CDATA[")) {
                std::size_t close = text_all_.find("]]>", at + 9);
                if (close == std::string_view::npos) return fail(kFail, at, kCutMarkup);
                token_begin_ = at;
                token_end_ = close + 3;
                text_ = text_all_.substr(at + 9, close - at - 9);
                cdata_ = true;
                pos_ = close + 3;
                return XmlToken::kText;
            }
            if (!skip_markup(at))
                return fail(kFail, at, text_all_.substr(at).starts_with("<!DOCTYPE") ? kDoctype : kCutMarkup);
            continue;
        }
        return start_tag(at);
    }
}

bool XmlScanner::skip_markup(std::size_t at) {
    std::string_view rest = text_all_.substr(at);
    std::size_t close;
    if (rest.starts_with("<!--")) {
        close = text_all_.find("-->", at + 4);
        if (close == std::string_view::npos) return false;
        pos_ = close + 3;
        return true;
    }
    if (rest.starts_with("<?")) {
        close = text_all_.find("?>", at + 2);
        if (close == std::string_view::npos) return false;
        pos_ = close + 2;
        return true;
    }
    // A document type declaration could define entities; no package part has one.
    return false;
}

XmlToken XmlScanner::start_tag(std::size_t at) {
    std::size_t name_begin = at + 1;
    std::size_t i = name_end(text_all_, name_begin);
    if (i == name_begin) return fail(kFail, at, kBadTag);
    if (i - name_begin > kXmlMaxNameBytes) return fail(kLimit, at, kLongName);
    name_ = text_all_.substr(name_begin, i - name_begin);
    local_name_ = after_prefix(name_);
    attributes_.clear();
    const std::size_t size = text_all_.size();
    for (;;) {
        while (i < size && is_space(text_all_[i])) ++i;
        if (i >= size) return fail(kFail, at, kCutTag);
        char c = text_all_[i];
        if (c == '>') {
            ++i;
            break;
        }
        if (c == '/') {
            if (i + 1 >= size || text_all_[i + 1] != '>') return fail(kFail, i, kBadTag);
            self_closing_ = true;
            i += 2;
            break;
        }
        std::size_t attribute_begin = i;
        i = name_end(text_all_, i);
        if (i == attribute_begin) return fail(kFail, i, kBadTag);
        if (i - attribute_begin > kXmlMaxNameBytes) return fail(kLimit, attribute_begin, kLongName);
        std::string_view attribute_name = text_all_.substr(attribute_begin, i - attribute_begin);
        while (i < size && is_space(text_all_[i])) ++i;
        if (i >= size || text_all_[i] != '=') return fail(kFail, attribute_begin, kBadAttribute);
        ++i;
        while (i < size && is_space(text_all_[i])) ++i;
        if (i >= size || (text_all_[i] != '"' && text_all_[i] != '\'')) return fail(kFail, attribute_begin, kBadAttribute);
        char quote = text_all_[i];
        const char *base = text_all_.data();
        std::size_t value_end = static_cast<std::size_t>(find_char(base + i + 1, base + size, quote) - base);
        if (value_end >= size) return fail(kFail, attribute_begin, kBadAttribute);
        attributes_.push_back({attribute_name, text_all_.substr(i + 1, value_end - i - 1)});
        i = value_end + 1;
    }
    if (open_.size() >= static_cast<std::size_t>(kXmlMaxDepth)) return fail(kLimit, at, kDeep);
    open_.push_back(name_);
    token_begin_ = at;
    token_end_ = i;
    pos_ = i;
    pending_end_ = self_closing_;
    return XmlToken::kStart;
}

XmlToken XmlScanner::end_tag(std::size_t at) {
    std::size_t name_begin = at + 2;
    std::size_t i = name_end(text_all_, name_begin);
    if (i - name_begin > kXmlMaxNameBytes) return fail(kLimit, at, kLongName);
    std::string_view name = text_all_.substr(name_begin, i - name_begin);
    while (i < text_all_.size() && is_space(text_all_[i])) ++i;
    if (i >= text_all_.size() || text_all_[i] != '>') return fail(kFail, at, kBadTag);
    if (open_.empty() || open_.back() != name) return fail(kFail, at, kMismatched);
    open_.pop_back();
    name_ = name;
    local_name_ = after_prefix(name_);
    attributes_.clear();
    token_begin_ = at;
    token_end_ = i + 1;
    pos_ = i + 1;
    return XmlToken::kEnd;
}

bool xml_needs_decoding(std::string_view raw) {
    return raw.find_first_of("&_\r") != std::string_view::npos;
}

void xml_decode_append(std::string &out, std::string_view raw) {
    if (!xml_needs_decoding(raw)) {
        out.append(raw);
        return;
    }
    // Line ends in markup are one LF, as every XML processor reads them; a CR written as a
    // reference stays, and the unescaping below turns that into the character.
    std::string plain;
    plain.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') {
            plain.push_back('\n');
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
        } else {
            plain.push_back(raw[i]);
        }
    }
    out.append(xml_unescape(plain));
}

void append_attribute_again(std::string &out, const XmlAttribute &attribute) {
    std::string value;
    xml_decode_append(value, attribute.value);
    out.append(" ").append(attribute.name).append("=\"");
    xml_escape_append(out, value, EscapeMode::kAttribute);
    out.append("\"");
}

}  // namespace tabsmith
