// What a package's book-level parts say of its sheets, kept in step when a save into the package
// copied, reordered, renamed or dropped sheets: names local to a sheet and the sheet titles.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formula/references.h"
#include "model/book.h"

namespace tabsmith {

// One entry of the saved workbook's sheet list.
struct SavedSheet {
    std::string name;
    int package_position = -1;   // its place in the package's sheet list; -1 for a sheet the book added
    const Sheet *sheet = nullptr;  // nullptr for the package's chart, dialog and macro sheets
    const PackageSource::OtherSheet *other = nullptr;
};

// The sheet list a save into the package writes: the book's sheets in order, with the package's
// sheets that hold no cells where they stood.
std::vector<SavedSheet> saved_sheet_list(const Book &book);

// The workbook's definedNames element for the saved list: a name local to a package sheet
// (localSheetId) follows that sheet to its new place, once for the sheet and once for each copy
// of it, its references to the sheet naming the copy; a name of a sheet no longer listed goes.
// References of every name follow renamed sheets. "" when no name is left.
std::string updated_defined_names(std::string_view element, const std::vector<SavedSheet> &list,
                                  const std::vector<std::string> &package_names);

// The extended properties part with the titles of its worksheet group naming the saved list's
// sheets. The package's text unchanged when no title group stands for the package's worksheets
// (the first group with one title per worksheet, or a group listing their names).
std::string updated_app_part(std::string_view app_xml, const std::vector<SavedSheet> &list,
                             const std::vector<std::string> &package_names);

}  // namespace tabsmith
