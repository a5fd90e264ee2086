// Finds elements and attributes in a part's text by scanning its markup (no tree, no decoding)
// and applies byte-range edits, so that whatever a save does not change stays as it was.

#include "xlsx_write/xml_splice.h"

#include <algorithm>
#include <charconv>

#include "support/package_path.h"
#include "support/xml_escape.h"

namespace tabsmith {
namespace {

using namespace std::string_view_literals;

enum class Markup { kStart, kEnd, kOther, kNone, kBad };

struct Token {
    Markup kind = Markup::kNone;
    std::size_t begin = 0, end = 0;
    std::string_view qualified;
    bool self_closing = false;
};

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool ends_name(char c) { return is_space(c) || c == '/' || c == '>'; }

std::string_view local_of(std::string_view qualified) {
    std::size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// The end of a construct that closes with `close`, or npos.
std::size_t after(std::string_view xml, std::size_t from, std::string_view close) {
    std::size_t at = xml.find(close, from);
    return at == std::string_view::npos ? at : at + close.size();
}

// The '>' that ends a tag, skipping quoted attribute values (which may hold '>'); npos if none.
std::size_t tag_close(std::string_view xml, std::size_t from) {
    char quote = 0;
    for (std::size_t k = from; k < xml.size(); ++k) {
        char c = xml[k];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return k;
        }
    }
    return std::string_view::npos;
}

Token next_token(std::string_view xml, std::size_t from) {
    Token token;
    std::size_t at = xml.find('<', from);
    if (at == std::string_view::npos) return token;
    token.begin = at;
    std::string_view rest = xml.substr(at);
    std::size_t end;
    if (rest.starts_with("<!--"sv)) {
        end = after(xml, at + 4, "-->"sv);
        token.kind = Markup::kOther;
    } else if (rest.starts_with("<![CDATA["sv)) {
        end = after(xml, at + 9, "]]>"sv);
        token.kind = Markup::kOther;
    } else if (rest.starts_with("<?"sv)) {
        end = after(xml, at + 2, "?>"sv);
        token.kind = Markup::kOther;
    } else if (rest.starts_with("<!"sv)) {
        // A doctype; an internal subset in brackets may hold '>' of its own.
        std::size_t close = xml.find('>', at), bracket = xml.find('[', at);
        if (bracket < close) {
            std::size_t subset_end = xml.find("]>"sv, bracket);
            close = subset_end == std::string_view::npos ? subset_end : subset_end + 1;
        }
        end = close == std::string_view::npos ? close : close + 1;
        token.kind = Markup::kOther;
    } else {
        const bool closing = rest.starts_with("</"sv);
        std::size_t name_begin = at + (closing ? 2 : 1), name_end = name_begin;
        while (name_end < xml.size() && !ends_name(xml[name_end])) ++name_end;
        token.qualified = xml.substr(name_begin, name_end - name_begin);
        std::size_t close = tag_close(xml, name_end);
        end = close == std::string_view::npos ? close : close + 1;
        token.kind = closing ? Markup::kEnd : Markup::kStart;
        if (token.qualified.empty()) token.kind = Markup::kBad;
        if (!closing && close != std::string_view::npos && close > name_end && xml[close - 1] == '/')
            token.self_closing = true;
    }
    if (end == std::string_view::npos) token.kind = Markup::kBad;
    token.end = end;
    return token;
}

// Completes the place of an element whose start tag is `start`.
bool close_element(std::string_view xml, const Token &start, XmlElementPlace &place) {
    place.qualified = start.qualified;
    place.local = local_of(start.qualified);
    place.begin = start.begin;
    place.start_end = start.end;
    place.self_closing = start.self_closing;
    if (start.self_closing) {
        place.content_end = place.end = start.end;
        return true;
    }
    int depth = 1;
    for (std::size_t at = start.end;;) {
        Token token = next_token(xml, at);
        switch (token.kind) {
        case Markup::kNone:
        case Markup::kBad: return false;
        case Markup::kOther: break;
        case Markup::kStart:
            if (!token.self_closing) ++depth;
            break;
        case Markup::kEnd:
            if (--depth == 0) {
                if (token.qualified != start.qualified) return false;
                place.content_end = token.begin;
                place.end = token.end;
                return true;
            }
            break;
        }
        at = token.end;
    }
}

// The attributes of a start tag as (name, value) byte ranges in the tag.
struct AttributeRange {
    std::size_t begin = 0;         // the name's first byte
    std::size_t end = 0;           // after the closing quote
    std::string_view name, value;
};

std::vector<AttributeRange> tag_attributes(std::string_view tag) {
    std::vector<AttributeRange> found;
    std::size_t at = 1;
    while (at < tag.size() && !ends_name(tag[at])) ++at;
    for (;;) {
        while (at < tag.size() && is_space(tag[at])) ++at;
        if (at >= tag.size() || tag[at] == '/' || tag[at] == '>') break;
        AttributeRange attribute;
        attribute.begin = at;
        while (at < tag.size() && tag[at] != '=' && !is_space(tag[at]) && tag[at] != '>') ++at;
        attribute.name = tag.substr(attribute.begin, at - attribute.begin);
        while (at < tag.size() && is_space(tag[at])) ++at;
        if (at >= tag.size() || tag[at] != '=') break;
        ++at;
        while (at < tag.size() && is_space(tag[at])) ++at;
        if (at >= tag.size() || (tag[at] != '"' && tag[at] != '\'')) break;
        const char quote = tag[at];
        std::size_t close = tag.find(quote, at + 1);
        if (close == std::string_view::npos) break;
        attribute.value = tag.substr(at + 1, close - at - 1);
        attribute.end = close + 1;
        at = close + 1;
        found.push_back(attribute);
    }
    return found;
}

}  // namespace

bool find_root_element(std::string_view xml, XmlElementPlace &root) {
    for (std::size_t at = 0;;) {
        Token token = next_token(xml, at);
        if (token.kind == Markup::kStart) return close_element(xml, token, root);
        if (token.kind != Markup::kOther) return false;
        at = token.end;
    }
}

bool find_child_elements(std::string_view xml, const XmlElementPlace &parent, std::vector<XmlElementPlace> &children) {
    children.clear();
    for (std::size_t at = parent.start_end; at < parent.content_end;) {
        Token token = next_token(xml.substr(0, parent.content_end), at);
        if (token.kind == Markup::kNone) break;
        if (token.kind == Markup::kBad || token.kind == Markup::kEnd) return false;
        if (token.kind == Markup::kStart) {
            XmlElementPlace child;
            if (!close_element(xml.substr(0, parent.content_end), token, child)) return false;
            children.push_back(child);
            at = child.end;
        } else {
            at = token.end;
        }
    }
    return true;
}

const XmlElementPlace *find_child(const std::vector<XmlElementPlace> &children, std::string_view local) {
    for (const XmlElementPlace &child : children)
        if (child.local == local) return &child;
    return nullptr;
}

bool tag_attribute(std::string_view tag, std::string_view name, std::string_view &value) {
    for (const AttributeRange &attribute : tag_attributes(tag)) {
        if (attribute.name == name) {
            value = attribute.value;
            return true;
        }
    }
    return false;
}

std::string tag_with_attribute(std::string_view tag, std::string_view name, std::string_view value) {
    const std::vector<AttributeRange> attributes = tag_attributes(tag);
    for (const AttributeRange &attribute : attributes) {
        if (attribute.name != name) continue;
        std::string out(tag.substr(0, attribute.begin));
        out.append(name).append("=\"").append(value).append("\"");
        out.append(tag.substr(attribute.end));
        return out;
    }
    // After the last attribute (or the name), so that an empty-element tag keeps its "/>".
    std::size_t at = 1;
    while (at < tag.size() && !ends_name(tag[at])) ++at;
    if (!attributes.empty()) at = attributes.back().end;
    std::string out(tag.substr(0, at));
    out.append(" ").append(name).append("=\"").append(value).append("\"");
    out.append(tag.substr(at));
    return out;
}

std::string tag_without_attribute(std::string_view tag, std::string_view name) {
    for (const AttributeRange &attribute : tag_attributes(tag)) {
        if (attribute.name != name) continue;
        // The blanks before the attribute go with it.
        std::size_t begin = attribute.begin;
        while (begin > 0 && is_space(tag[begin - 1])) --begin;
        std::string out(tag.substr(0, begin));
        out.append(tag.substr(attribute.end));
        return out;
    }
    return std::string(tag);
}

bool declared_prefix(std::string_view tag, std::string_view uri, std::string &prefix) {
    for (const AttributeRange &attribute : tag_attributes(tag)) {
        if (attribute.value != uri) continue;
        if (attribute.name == "xmlns"sv) {
            prefix.clear();
            return true;
        }
        if (attribute.name.starts_with("xmlns:"sv)) {
            prefix = std::string(attribute.name.substr(6));
            return true;
        }
    }
    return false;
}

std::string with_default_namespace(std::string_view tag) {
    std::string_view existing;
    if (tag_attribute(tag, "xmlns", existing)) return std::string(tag);
    std::size_t name_end = 1;
    while (name_end < tag.size() && tag[name_end] != '>' && tag[name_end] != '/' && tag[name_end] != ' ' &&
           tag[name_end] != '\t' && tag[name_end] != '\r' && tag[name_end] != '\n')
        ++name_end;
    const std::string_view qualified = tag.substr(1, name_end - 1);
    const std::size_t colon = qualified.find(':');
    if (colon == std::string_view::npos) return std::string(tag);
    std::string_view uri;
    if (!tag_attribute(tag, "xmlns:" + std::string(qualified.substr(0, colon)), uri)) return std::string(tag);
    std::string out(tag.substr(0, name_end));
    out.append(" xmlns=\"").append(uri).append("\"");
    out.append(tag.substr(name_end));
    return out;
}

std::string prefix_declarations(std::string_view tag) {
    std::string out;
    for (const AttributeRange &attribute : tag_attributes(tag))
        if (attribute.name.starts_with("xmlns:"sv))
            out.append(" ").append(attribute.name).append("=\"").append(attribute.value).append("\"");
    return out;
}

std::string qualified_name(std::string_view prefix, std::string_view local) {
    std::string out(prefix);
    if (!out.empty()) out.push_back(':');
    out.append(local);
    return out;
}

std::string apply_text_edits(std::string_view text, std::vector<TextEdit> edits) {
    std::stable_sort(edits.begin(), edits.end(), [](const TextEdit &a, const TextEdit &b) { return a.begin < b.begin; });
    std::size_t size = text.size();
    for (const TextEdit &edit : edits) size += edit.text.size();
    std::string out;
    out.reserve(size);
    std::size_t cursor = 0;
    for (const TextEdit &edit : edits) {
        const std::size_t begin = std::clamp(edit.begin, cursor, text.size());
        out.append(text.substr(cursor, begin - cursor));
        out.append(edit.text);
        cursor = std::clamp(edit.end, begin, text.size());
    }
    out.append(text.substr(cursor));
    return out;
}

void append_to_element(const XmlElementPlace &element, std::string_view start_tag, std::string_view inner,
                       std::vector<TextEdit> &edits) {
    std::string open(start_tag);
    if (open.ends_with("/>")) {
        open.resize(open.size() - 2);
        while (!open.empty() && is_space(open.back())) open.pop_back();
        open.push_back('>');
    }
    if (element.self_closing) {
        std::string whole = open;
        whole.append(inner).append("</").append(element.qualified).append(">");
        edits.push_back({element.begin, element.end, std::move(whole)});
        return;
    }
    edits.push_back({element.begin, element.start_end, std::move(open)});
    edits.push_back({element.content_end, element.content_end, std::string(inner)});
}

std::size_t ordered_insert_position(const XmlElementPlace &parent, const std::vector<XmlElementPlace> &children,
                                    std::span<const std::string_view> order, std::string_view local) {
    auto rank = [&](std::string_view name) -> std::ptrdiff_t {
        auto found = std::find(order.begin(), order.end(), name);
        return found == order.end() ? -1 : found - order.begin();
    };
    const std::ptrdiff_t own = rank(local);
    for (const XmlElementPlace &child : children) {
        const std::ptrdiff_t other = rank(child.local);
        if (other > own) return child.begin;
    }
    return parent.content_end;
}

int highest_relationship_number(std::string_view rels_xml) {
    int highest = 0;
    for (std::size_t at = rels_xml.find("Id=\""); at != std::string_view::npos; at = rels_xml.find("Id=\"", at + 1)) {
        // "TargetId" and the like end in "Id" too: only the attribute itself counts.
        if (at > 0 && !is_space(rels_xml[at - 1])) continue;
        std::string_view value = rels_xml.substr(at + 4);
        if (!value.starts_with("rId"sv)) continue;
        value.remove_prefix(3);
        int number = 0;
        auto parsed = std::from_chars(value.data(), value.data() + value.size(), number);
        if (parsed.ec == std::errc() && parsed.ptr < value.data() + value.size() && *parsed.ptr == '"')
            highest = std::max(highest, number);
    }
    return highest;
}

std::string without_attribute_everywhere(std::string_view xml, std::string_view name) {
    std::vector<TextEdit> edits;
    for (std::size_t at = 0;;) {
        Token token = next_token(xml, at);
        if (token.kind == Markup::kNone || token.kind == Markup::kBad) break;
        if (token.kind == Markup::kStart) {
            std::string_view tag = xml.substr(token.begin, token.end - token.begin);
            std::string stripped = tag_without_attribute(tag, name);
            if (stripped.size() != tag.size()) edits.push_back({token.begin, token.end, std::move(stripped)});
        }
        at = token.end;
    }
    return apply_text_edits(xml, std::move(edits));
}

std::string relationship_tag_target(std::string_view tag, std::string_view source_part) {
    std::string_view mode, target;
    if (tag_attribute(tag, "TargetMode", mode) && xml_unescape(mode) == "External") return {};
    if (!tag_attribute(tag, "Target", target)) return {};
    return resolve_part_target(source_part, xml_unescape(target));
}

}  // namespace tabsmith
