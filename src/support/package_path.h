// Names inside a package: which entry names a package may hold, and where a relationship's target
// leads. Readers, writers and the fuzz checks all ask here, so that they agree on every name.
#pragma once

#include <string>
#include <string_view>

namespace tabsmith {

// Whether a name may stand for an entry of a package we read or write: not empty, short enough
// for a zip name field (65535 bytes), no leading '/', no backslash (zip names separate with '/'
// only), no drive letter ("C:"), no ".." segment, no control bytes (NUL included).
bool zip_entry_name_safe(std::string_view name);

// The entry name of the part that `target` (an internal relationship's Target, XML references
// decoded already) of `source_part` leads to ("" for the package's own relationships):
//   - relative targets start in the folder of `source_part`, those beginning with '/' at the root;
//   - '\' separates as '/' does; empty and "." segments are dropped; ".." steps up a folder;
//   - %XX escapes are decoded first;
// and "" when the target is empty, steps above the root, starts with a scheme ("http:", "C:"), or would
// give a name zip_entry_name_safe refuses. External targets name no part: never pass them.
std::string resolve_part_target(std::string_view source_part, std::string_view target);

// The Target that a relationship of `source_part` gives `part`, which resolve_part_target leads
// back to: relative below the source's folder, else absolute; '%' escaped.
std::string part_target(std::string_view source_part, std::string_view part);

// Whether two part names are the same: package part names compare without regard to ASCII case.
bool same_part_name(std::string_view a, std::string_view b);

// The folder of a part name ("xl" for "xl/workbook.xml", "" for "workbook.xml").
std::string_view part_folder(std::string_view part);

// The relationship part of a part: "xl/workbook.xml" -> "xl/_rels/workbook.xml.rels", and
// "" (the package) -> "_rels/.rels".
std::string relationships_part_name(std::string_view part);

// The part whose relationships `rels_part` holds, the reverse of the above ("" for the package's
// own); false when the name is no relationship part.
bool relationships_source(std::string_view rels_part, std::string &source_part);

}  // namespace tabsmith
