// Places of elements and attributes inside a part's text, and edits of byte ranges: what a save
// into a package read earlier uses to change a part there while keeping every other byte of it.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tabsmith {

// Where one element lies in a part's text (offsets into that text).
struct XmlElementPlace {
    std::string_view qualified;    // the name as written, with any prefix
    std::string_view local;        // the name without its prefix
    std::size_t begin = 0;         // the '<' of the start tag
    std::size_t start_end = 0;     // just after the start tag's '>'
    std::size_t content_end = 0;   // the '<' of the end tag; start_end for an empty-element tag
    std::size_t end = 0;           // just after the end tag
    bool self_closing = false;

    std::string_view start_tag(std::string_view xml) const { return xml.substr(begin, start_end - begin); }
    std::string_view text(std::string_view xml) const { return xml.substr(begin, end - begin); }
};

// The document element of a part (declaration, comments, processing instructions and a
// doctype before it are skipped). False when there is none or its markup does not close.
bool find_root_element(std::string_view xml, XmlElementPlace &root);

// The element children of `parent` in document order (comments, CDATA sections and
// processing instructions between them are skipped). False for markup that does not close.
bool find_child_elements(std::string_view xml, const XmlElementPlace &parent, std::vector<XmlElementPlace> &children);

// The first child of that local name, or nullptr.
const XmlElementPlace *find_child(const std::vector<XmlElementPlace> &children, std::string_view local);

// Attributes of one start tag ("<name a="1">" or "<name a="1"/>"), named as written (with any
// prefix). The value is returned raw: references are not decoded.
bool tag_attribute(std::string_view tag, std::string_view name, std::string_view &value);
// The tag with the attribute set to `value` (escaped already): replaced where it stands, else
// added after the last attribute.
std::string tag_with_attribute(std::string_view tag, std::string_view name, std::string_view value);
// The tag without the attribute (as it was when it has none).
std::string tag_without_attribute(std::string_view tag, std::string_view name);

// The prefix a start tag declares for a namespace ("" when it is the default namespace); false
// when the tag does not declare it.
bool declared_prefix(std::string_view tag, std::string_view uri, std::string &prefix);

// The qualified name of `local` under a prefix ("r" + "id" = "r:id"; "" + "id" = "id").
std::string qualified_name(std::string_view prefix, std::string_view local);
// A root start tag whose own name carries a prefix and which declares no default namespace gets
// the prefix's namespace as its default too, so that unprefixed elements the engine writes
// inside it belong where the prefixed ones do. Any other tag comes back as it is.
std::string with_default_namespace(std::string_view tag);
// The prefix declarations (xmlns:p="...") of a start tag, each with a leading blank.
std::string prefix_declarations(std::string_view tag);

// One replacement of the bytes [begin, end) of a text; begin == end inserts.
struct TextEdit {
    std::size_t begin = 0, end = 0;
    std::string text;
};
// The text with every edit applied. Edits must not overlap; they may come in any order, and
// insertions at the same place keep the order they were given in.
std::string apply_text_edits(std::string_view text, std::vector<TextEdit> edits);

// Edits that append `inner` to the content of `element` and put `start_tag` (the element's
// start tag with a count changed, say; either form) in place of its start tag. An empty-element
// tag becomes a start and end tag pair.
void append_to_element(const XmlElementPlace &element, std::string_view start_tag, std::string_view inner,
                       std::vector<TextEdit> &edits);

// Where a new child of `parent` named `local` goes so that the children keep the order of
// `order` (local names, in schema order): before the first child that the order puts after it,
// else at the end of the parent's content. Children of names outside the order do not move it.
std::size_t ordered_insert_position(const XmlElementPlace &parent, const std::vector<XmlElementPlace> &children,
                                    std::span<const std::string_view> order, std::string_view local);

// The text with the attribute `name` removed from every start tag in it.
std::string without_attribute_everywhere(std::string_view xml, std::string_view name);

// The highest N of the Id="rIdN" attributes of a relationship part (0 when it has none).
int highest_relationship_number(std::string_view rels_xml);

// The part a <Relationship> start tag of `source_part`'s relationships leads to (its Target
// decoded and resolved); "" for an external target, a missing one or one that names no part.
std::string relationship_tag_target(std::string_view tag, std::string_view source_part);

}  // namespace tabsmith
