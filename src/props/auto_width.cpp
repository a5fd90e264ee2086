// Computes automatic column widths from the shown cell texts, the cells' font sizes and the
// merged areas (a text spread over several merged columns does not widen one of them).

#include "props/auto_width.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "cells/values.h"

namespace tabsmith {
namespace {

constexpr double kDefaultPoints = 11.0;

bool wide(std::uint32_t code) {
    return (code >= 0x1100 && code <= 0x115F) || (code >= 0x2329 && code <= 0x232A) ||
           (code >= 0x2E80 && code <= 0x303E) || (code >= 0x3041 && code <= 0x33FF) ||
           (code >= 0x3400 && code <= 0x4DBF) || (code >= 0x4E00 && code <= 0x9FFF) ||
           (code >= 0xA000 && code <= 0xA4CF) || (code >= 0xAC00 && code <= 0xD7A3) ||
           (code >= 0xF900 && code <= 0xFAFF) || (code >= 0xFE30 && code <= 0xFE4F) ||
           (code >= 0xFF00 && code <= 0xFF60) || (code >= 0xFFE0 && code <= 0xFFE6) ||
           (code >= 0x1F300 && code <= 0x1F64F) || (code >= 0x1F900 && code <= 0x1F9FF) ||
           (code >= 0x20000 && code <= 0x3FFFD);
}

// Next code point of a UTF-8 text; a stray byte counts as one narrow character.
std::uint32_t next_code(std::string_view text, std::size_t &i) {
    auto byte = static_cast<unsigned char>(text[i]);
    std::size_t length = byte < 0x80 ? 1 : (byte >> 5) == 6 ? 2 : (byte >> 4) == 14 ? 3 : (byte >> 3) == 30 ? 4 : 1;
    if (i + length > text.size()) length = 1;
    std::uint32_t code = length == 1 ? byte : byte & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        auto trail = static_cast<unsigned char>(text[i + k]);
        if ((trail & 0xC0) != 0x80) {
            length = 1;
            code = byte;
            break;
        }
        code = (code << 6) | (trail & 0x3F);
    }
    i += length;
    return code;
}

// The point size of the font a cell shows.
double cell_points(const Book &book, const Sheet &sheet, const Row &row, std::size_t column, const Cell &cell) {
    std::uint16_t style = cell.style;
    if (style == 0 && row.style != kNoRowStyle) style = row.style;
    if (style == 0 && column < sheet.columns.size()) style = sheet.columns[column].style;
    const auto &xfs = book.styles.xfs();
    const auto &fonts = book.styles.fonts();
    if (style == 0 || style > xfs.size()) return kDefaultPoints;
    std::uint32_t font = xfs[style - 1u].font;
    return font < fonts.size() && fonts[font].size > 0 ? fonts[font].size : kDefaultPoints;
}

// Merged areas spanning more than one column, kept while rows go by in order.
class WideMerges {
public:
    explicit WideMerges(const std::vector<MergeArea> &merges) {
        for (const auto &area : merges) {
            MergeArea a{std::min(area.row1, area.row2), std::min(area.column1, area.column2),
                        std::max(area.row1, area.row2), std::max(area.column1, area.column2)};
            if (a.column1 != a.column2) sorted_.push_back(a);
        }
        std::sort(sorted_.begin(), sorted_.end(), [](const MergeArea &x, const MergeArea &y) { return x.row1 < y.row1; });
    }
    void enter_row(int row) {
        std::erase_if(active_, [row](const MergeArea &a) { return a.row2 < row; });
        while (next_ < sorted_.size() && sorted_[next_].row1 <= row) {
            if (sorted_[next_].row2 >= row) active_.push_back(sorted_[next_]);
            ++next_;
        }
    }
    bool covers(int column) const {
        for (const auto &a : active_)
            if (column >= a.column1 && column <= a.column2) return true;
        return false;
    }

private:
    std::vector<MergeArea> sorted_, active_;
    std::size_t next_ = 0;
};

void fit_sheet(const Book &book, Sheet &sheet) {
    std::vector<double> widest;
    WideMerges merges(sheet.merges);
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        const Row &row = sheet.rows[r];
        if (row.cells.empty()) continue;
        merges.enter_row(static_cast<int>(r));
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            const Cell &cell = row.cells[c];
            if (cell.empty() || merges.covers(static_cast<int>(c))) continue;
            std::size_t units = display_units(cell_value_text(book, cell));
            if (units == 0) continue;
            double width = static_cast<double>(units) * cell_points(book, sheet, row, c, cell) / kDefaultPoints +
                           kAutoWidthPadding;
            if (widest.size() <= c) widest.resize(c + 1, 0.0);
            widest[c] = std::max(widest[c], std::min(width, kMaxAutoWidth));
        }
    }
    if (widest.empty()) return;
    ensure_column_count(sheet, widest.size());
    for (std::size_t c = 0; c < widest.size(); ++c) {
        // A width the caller gave stays.
        if (widest[c] <= 0.0 || sheet.column_flags[c] == 0) continue;
        sheet.columns[c].width = widest[c];
    }
}

}  // namespace

std::size_t display_units(std::string_view utf8) {
    std::size_t longest = 0, line = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        std::uint32_t code = next_code(utf8, i);
        if (code == '\n') {
            longest = std::max(longest, line);
            line = 0;
        } else if (code != '\r') {
            line += wide(code) ? 2 : 1;
        }
    }
    return std::max(longest, line);
}

void apply_auto_widths(Book &book) {
    if (!book.settings.auto_width) return;
    for (auto &sheet : book.sheets)
        if (sheet) fit_sheet(book, *sheet);
}

}  // namespace tabsmith
