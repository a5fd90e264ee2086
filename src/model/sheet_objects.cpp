// Places in the book as links and pictures name them ("Sheet2!B3").

#include "model/sheet_objects.h"

#include "model/address.h"

namespace tabsmith {

bool parse_book_location(std::string_view text, Hyperlink &link) {
    if (text.starts_with('#')) text.remove_prefix(1);
    const std::size_t bang = text.rfind('!');
    if (bang == std::string_view::npos || bang == 0) return false;
    std::string_view sheet = text.substr(0, bang);
    std::string name;
    if (sheet.size() >= 2 && sheet.front() == '\'' && sheet.back() == '\'') {
        // A quoted name doubles its own quotes.
        sheet = sheet.substr(1, sheet.size() - 2);
        for (std::size_t k = 0; k < sheet.size(); ++k) {
            name.push_back(sheet[k]);
            if (sheet[k] == '\'' && k + 1 < sheet.size() && sheet[k + 1] == '\'') ++k;
        }
    } else {
        name.assign(sheet);
    }
    int row = 0, column = 0;
    std::string_view cell = text.substr(bang + 1);
    // A range names its first cell.
    if (const std::size_t colon = cell.find(':'); colon != std::string_view::npos) cell = cell.substr(0, colon);
    if (name.empty() || parse_cell_name(cell, row, column) != 0) return false;
    link.kind = HyperlinkKind::kInBook;
    link.target_sheet = std::move(name);
    link.target_row = row + 1;
    link.target_column = column + 1;
    return true;
}

}  // namespace tabsmith
