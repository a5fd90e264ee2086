// Property paths: the keyword vocabulary with its Japanese aliases, the path-to-id table and the
// resolution of a statement name into one property id and a target.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "model/book.h"
#include "props/property.h"

namespace tabsmith {

constexpr int kMaxPathSections = 6;            // five dots
constexpr std::size_t kMaxSectionBytes = 256;  // in the book's character set
constexpr std::size_t kTargetPrefixBytes = 93; // a Sheet! prefix of a target, name part

// Resolves `name_utf8` (a statement name already converted to UTF-8) into `id` and `target`.
// 0 with id -1 when the name forms no property (a target alone, or recognised keywords that
// build nothing); 0 with id 2001 for a variable name; kBadArgument with the book's message set after a
// parse error (id is then -1).
int tsx_parse_property(Book &book, std::string_view name_utf8, int &id, PropertyTarget &target);

// Splits a Sheet! prefix ("Name!", "'Name'!", "\"Name\"!") off a statement name or target. False
// when there is none; `sheet` is kIndexNotFound when the named sheet does not exist (the current
// sheet is meant, as for cells).
bool split_target_prefix(const Book &book, std::string_view text, int &sheet, std::string_view &rest);

// The keywords of a path: the English spelling (any letter case) and the Japanese aliases
// (matched exactly) that stand for it in any path.
struct Keyword {
    std::string_view english;
    std::array<std::string_view, 3> aliases;
};
std::span<const Keyword> property_keywords();

// The English path that names a property id ("FONT.COLOR", "COMMENT"), or "" for no property.
std::string_view property_path(int id);

// How messages name a resolved property: its target followed by its path ("A1.COMMENT",
// "B2:C3.CHART", "3.HEIGHT", "SHEET.ZOOM").
std::string property_display_name(int id, const PropertyTarget &target);

}  // namespace tabsmith
