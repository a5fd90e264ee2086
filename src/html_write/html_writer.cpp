// Writes the HTML view of a book: the page head with one CSS class per cell format in use, the
// sheet tabs, and each sheet as blocks of rows, a table each, handed out in pieces.

#include "html_write/html_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <unordered_set>

#include "datasource/row_stream.h"
#include "format/number_format.h"
#include "html_write/html_styles.h"
#include "html_write/html_text.h"
#include "model/address.h"
#include "support/results.h"

namespace tabsmith {
namespace {

using namespace std::string_view_literals;

// The page is handed to the sink whenever this much has gathered.
constexpr std::size_t kHtmlPieceBytes = 256 * 1024;
constexpr int kDefaultColumnPixels = 64;
// How far past the last cell that shows something an empty linked, commented or merged cell
// still widens the page.
constexpr int kNearRows = 100, kNearColumns = 26;
// Rows go into blocks of this many shown rows, each a table of its own that the browser lays
// out only near the screen, so that a sheet of a hundred thousand rows opens as fast as a short
// one. A block ends only where no merged area goes on into the next row.
constexpr int kBlockRows = 200;

// Drawing units per screen pixel, and how the package writer places a picture made here: an
// offset step is 189750 units, and a pixel of the picture at ratio 1 spans 2.54 centimetres of
// 360272 units over 96 pixels.
constexpr double kUnitsPerPixel = 9525.0;
constexpr double kPictureOffsetUnits = 189750.0;
constexpr double kPicturePixelScale = 2.54 * 360272.0 / (96.0 * kUnitsPerPixel);

constexpr std::string_view kPageHead =
    "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">\n"
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src data:; "
    "style-src 'unsafe-inline'\">\n<meta name=\"viewport\" content=\"width=device-width\">\n<title>";
// Tabs need no script: a tab is a link to its pane, and the pane the address names is shown. The
// first pane comes last in the page so that a shown pane can hide it with `~`.
constexpr std::string_view kStyleHead =
    "</title>\n<style>\n"
    "body{margin:8px;background:#fff}\n"
    ".tabs{display:flex;flex-wrap:wrap;gap:2px;margin:0 0 6px;border-bottom:1px solid #888;font:10pt sans-serif}\n"
    ".tabs a{padding:3px 12px;border:1px solid #888;border-bottom:none;background:#eee;color:#000;"
    "text-decoration:none}\n"
    ".pane{display:none}\n.pane.first{display:block}\n.pane:target{display:block}\n"
    ".pane:target~.pane.first{display:none}\n.pane:has(:target){display:block}\n"
    ".pane:has(:target)~.pane.first{display:none}\n"
    ".grid{position:relative}\n.sheet{border-collapse:collapse;table-layout:fixed}\n"
    // A block's own width is its table's, so that nothing of a wide table is clipped; the grid
    // lines of two blocks' edges overlap as one line, as within a table.
    ".rows{content-visibility:auto;width:max-content}\n.lines>.rows+.rows{margin-top:-1px}\n"
    ".pic{position:absolute;display:block}\n"
    ".sheet td{padding:0 2px;overflow:hidden;white-space:pre;";
constexpr std::string_view kCellRules =
    "}\n.lines td{border:1px groove #d8d8d8}\n.sheet td.n{text-align:right}\n.sheet td.c{text-align:center}\n";
constexpr std::string_view kBodyHead = "</style>\n</head>\n<body>\n";
constexpr std::string_view kBlockTail = "</tbody></table></div>\n";
constexpr std::string_view kPageTail = "</body>\n</html>\n";

using CellKey = std::uint64_t;
CellKey place_key(int row, int column) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(row)) << 32) | static_cast<std::uint32_t>(column);
}

void append_number(std::string &out, long long value) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

void append_pixels(std::string &out, double pixels) { append_number(out, std::llround(pixels)); }

// A merged area as the page shows it: its first shown cell carries the spans, counted over the
// shown rows and columns only.
struct MergePlace {
    MergeArea area;
    int anchor_row = 0, anchor_column = 0;
    int row_span = 0, column_span = 0;
};

// What the page needs of one sheet before its rows are written.
struct SheetLayout {
    const Sheet *sheet = nullptr;
    int index = 0;
    int rows = 0, columns = 0;
    int default_row_pixels = 0;
    std::vector<int> column_pixels;     // 0 for a hidden column
    std::vector<MergePlace> merges;     // by first row, shown ones only
    std::unordered_map<CellKey, const Hyperlink *> links;
    std::unordered_map<CellKey, const std::string *> comments;
    std::unordered_set<CellKey> targets;   // cells that links of the page lead to
    std::vector<PlacedPicture> pictures;

    bool column_shown(int c) const { return column_pixels[static_cast<std::size_t>(c)] > 0; }
};

bool row_left_out(const Sheet &sheet, int r) {
    if (r >= static_cast<int>(sheet.rows.size())) return false;
    const Row &row = sheet.rows[static_cast<std::size_t>(r)];
    if (row.hidden_flag == kFlagYes) return true;
    return row.height_flag == kFlagYes && row.attributes && row.attributes->height <= 0;
}

int row_height_pixels(const SheetLayout &layout, int r) {
    const Sheet &sheet = *layout.sheet;
    if (r < static_cast<int>(sheet.rows.size())) {
        const Row &row = sheet.rows[static_cast<std::size_t>(r)];
        if (row.attributes && row.attributes->height > 0) return row_pixels(row.attributes->height);
    }
    return layout.default_row_pixels;
}

// A block of rows: where it ends (one past its last row) and the height of its shown rows.
struct RowBlock {
    int end = 0;
    long long pixels = 0;
};

std::vector<RowBlock> row_blocks(const SheetLayout &layout) {
    std::vector<RowBlock> blocks;
    RowBlock block;
    int shown = 0, reach = -1;   // the last row of the merged areas begun so far
    std::size_t next_merge = 0;
    for (int r = 0; r < layout.rows; ++r) {
        for (; next_merge < layout.merges.size() && layout.merges[next_merge].area.row1 <= r; ++next_merge)
            reach = std::max(reach, layout.merges[next_merge].area.row2);
        if (!row_left_out(*layout.sheet, r)) {
            ++shown;
            block.pixels += row_height_pixels(layout, r);
        }
        if ((shown >= kBlockRows && reach <= r) || r == layout.rows - 1) {
            block.end = r + 1;
            blocks.push_back(block);
            block = {};
            shown = 0;
        }
    }
    if (blocks.empty()) blocks.push_back(block);
    return blocks;
}

// How a value lines up when its format leaves that to the reader: numbers right, truth values
// and errors centred, texts left.
bool computed_number(const Cell &cell);

std::string_view value_alignment_class(const Cell &cell) {
    switch (cell.kind) {
    case kCellInteger:
    case kCellFloat:
    case kCellPercent:
    case kCellDate:
    case kCellDateTime:
    case kCellTimeHm:
    case kCellTimeHms: return " n"sv;
    case kCellBoolean:
    case kCellError: return " c"sv;
    case kCellFormulaValue: {
        const CellExtra *extra = cell.extra_record();
        const char type = extra ? extra->value_type : 0;
        if (type == 'b' || type == 'e') return " c"sv;
        return type == 'n' || (type == 0 && cell.text().empty()) || computed_number(cell) ? " n"sv : ""sv;
    }
    default: return ""sv;
    }
}

// Whether a formula's result is a number the evaluator computed: it keeps the number's text
// beside it, which the format rendering would otherwise take for a text result.
bool computed_number(const Cell &cell) {
    if (cell.kind != kCellFormulaValue || cell.text().empty()) return false;
    const CellExtra *extra = cell.extra_record();
    if (extra && extra->value_type != 0) return false;
    const std::string &text = cell.text();
    double value = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
    return parsed.ec == std::errc() && parsed.ptr == text.data() + text.size() && value == cell.number();
}

// The text a cell shows: its value through its own number format.
std::string shown_text(const Book &book, const Cell &cell) {
    if (computed_number(cell)) {
        Cell number;
        number.kind = kCellFormulaValue;
        number.style = cell.style;
        number.set_number(cell.number());
        return shown_text(book, number);
    }
    const int kind = format_kind_of_cell(book, cell);
    return format_cell_text(book, cell, is_date_kind(kind) ? kind : 0, kind, format_decimals_of_cell(book, cell));
}

void overlay(std::vector<Cell> &into, std::span<const Cell> from) {
    if (into.size() < from.size()) into.resize(from.size());
    for (std::size_t c = 0; c < from.size(); ++c)
        if (!from[c].empty() || from[c].style != 0) into[c] = from[c].clone();
}

class PageWriter {
public:
    PageWriter(const Book &book, const HtmlView &view, HtmlSink &sink) : book_(book), view_(view), sink_(sink) {}

    int write() {
        choose_sheets();
        for (std::size_t k = 0; k < layouts_.size(); ++k) lay_out(layouts_[k]);
        collect_targets();
        out_.append(kPageHead);
        html_escape_append(out_, view_.title);
        out_.append(kStyleHead);
        append_format_css(book_, 0, out_);
        out_.append(kCellRules);
        write_style_classes();
        out_.append(kBodyHead);
        if (layouts_.size() > 1) write_tabs();
        // The first pane goes last (see the tab rules).
        for (std::size_t k = 1; k < layouts_.size(); ++k)
            if (int rc = write_pane(layouts_[k], false); rc != kOk) return rc;
        if (!layouts_.empty())
            if (int rc = write_pane(layouts_[0], true); rc != kOk) return rc;
        out_.append(kPageTail);
        return flush();
    }

private:
    int flush() {
        if (out_.empty()) return kOk;
        const int rc = sink_.write(out_);
        out_.clear();
        return rc;
    }

    void choose_sheets() {
        const int count = book_.sheet_count();
        for (int k = 0; k < count; ++k) {
            const Sheet &sheet = *book_.sheets[static_cast<std::size_t>(k)];
            const bool chosen = view_.sheet == kEverySheet ? !sheet.settings.hidden : view_.sheet == k;
            if (!chosen) continue;
            SheetLayout layout;
            layout.sheet = &sheet;
            layout.index = k;
            pane_of_sheet_[k] = layouts_.size();
            layouts_.push_back(std::move(layout));
        }
    }

    void lay_out(SheetLayout &layout) {
        const Sheet &sheet = *layout.sheet;
        const SheetObjects *package = static_cast<std::size_t>(layout.index) < view_.package_objects.size()
                                          ? &view_.package_objects[static_cast<std::size_t>(layout.index)]
                                          : nullptr;
        // Rows after the last one that shows something are left out, whatever their heights (a
        // package may describe every row of the sheet).
        int rows = 0, columns = 0;
        for (int r = 0; r < std::min(sheet.rows_used, static_cast<int>(sheet.rows.size())); ++r) {
            const Row &row = sheet.rows[static_cast<std::size_t>(r)];
            columns = std::max<int>(columns, row.used);
            for (const Cell &cell : row.cells) {
                if (cell.empty() && cell.style == 0) continue;
                rows = r + 1;
                break;
            }
        }
        auto reach = [&](int row, int column) {
            rows = std::max(rows, std::clamp(row + 1, 0, book_.max_rows));
            columns = std::max(columns, std::clamp(column + 1, 0, book_.max_columns));
        };
        for (const Hyperlink &link : sheet.annotations.hyperlinks) layout.links[place_key(link.row, link.column)] = &link;
        for (const CellComment &comment : sheet.annotations.comments)
            layout.comments[place_key(comment.row, comment.column)] = &comment.text;
        if (package) {
            for (const Hyperlink &link : package->links) layout.links[place_key(link.row, link.column)] = &link;
            for (const CellComment &comment : package->comments)
                layout.comments[place_key(comment.row, comment.column)] = &comment.text;
            layout.pictures = package->pictures;
        }
        if (sheet.row_file && sheet.row_file->records > 0) reach(sheet.row_file->last_row, sheet.row_file->most_slots - 1);
        // Links, comments and merged areas on empty cells widen the page by a bounded amount
        // only, so that an area over a whole sheet cannot make a page of a million empty rows.
        const int content_rows = rows, content_columns = columns;
        auto reach_near = [&](int row, int column) {
            reach(std::min(row, content_rows + kNearRows), std::min(column, content_columns + kNearColumns));
        };
        for (const auto &[key, link] : layout.links) reach_near(link->row, link->column);
        for (const auto &[key, text] : layout.comments)
            reach_near(static_cast<int>(key >> 32), static_cast<int>(key & 0xFFFFFFFFu));
        for (const MergeArea &area : sheet.merges)
            if (area.row1 <= content_rows + kNearRows && area.column1 <= content_columns + kNearColumns)
                reach_near(area.row2, area.column2);
        layout.rows = rows;
        layout.columns = columns;

        layout.column_pixels.assign(static_cast<std::size_t>(columns), kDefaultColumnPixels);
        for (int c = 0; c < columns && c < static_cast<int>(sheet.columns.size()); ++c) {
            const double width = sheet.columns[static_cast<std::size_t>(c)].width;
            if (width < 0) layout.column_pixels[static_cast<std::size_t>(c)] = 0;
            else if (width > 0) layout.column_pixels[static_cast<std::size_t>(c)] = std::max(1, column_pixels(width));
        }
        layout.default_row_pixels = row_pixels(sheet.settings.default_row_height);
        place_merges(layout);
        for (const DrawingObject &object : book_.drawings) {
            if (object.kind != DrawingKind::kPicture || object.sheet != layout.index || !object.picture) continue;
            PlacedPicture picture;
            picture.row = object.row;
            picture.column = object.column;
            picture.x = object.offset_x * kPictureOffsetUnits / kUnitsPerPixel;
            picture.y = object.offset_y * kPictureOffsetUnits / kUnitsPerPixel;
            picture.width = object.picture->width * object.ratio * kPicturePixelScale;
            picture.height = object.picture->height * object.ratio * kPicturePixelScale;
            picture.bytes = object.picture->bytes;
            if (!object.link.empty()) {
                picture.has_link = object.link.starts_with('#') ? parse_book_location(object.link, picture.link) : true;
                if (!object.link.starts_with('#')) picture.link.target = object.link;
            }
            layout.pictures.push_back(std::move(picture));
        }
    }

    void place_merges(SheetLayout &layout) {
        const Sheet &sheet = *layout.sheet;
        for (MergeArea area : sheet.merges) {
            area.row2 = std::min(area.row2, layout.rows - 1);
            area.column2 = std::min(area.column2, layout.columns - 1);
            if (area.row1 < 0 || area.column1 < 0 || area.row2 < area.row1 || area.column2 < area.column1) continue;
            MergePlace place{area, -1, -1, 0, 0};
            for (int r = area.row1; r <= area.row2; ++r) {
                if (row_left_out(sheet, r)) continue;
                if (place.anchor_row < 0) place.anchor_row = r;
                ++place.row_span;
            }
            for (int c = area.column1; c <= area.column2; ++c) {
                if (!layout.column_shown(c)) continue;
                if (place.anchor_column < 0) place.anchor_column = c;
                ++place.column_span;
            }
            if (place.row_span > 0 && place.column_span > 0) layout.merges.push_back(place);
        }
        std::sort(layout.merges.begin(), layout.merges.end(),
                  [](const MergePlace &a, const MergePlace &b) { return a.area.row1 < b.area.row1; });
    }

    // Links inside the page lead to a cell's id; the cells they lead to are known before any
    // row is written.
    void collect_targets() {
        for (const SheetLayout &layout : layouts_) {
            auto note = [&](const Hyperlink &link) {
                if (link.kind == HyperlinkKind::kExternal) return;
                SheetLayout *target = layout_of(link.target_sheet);
                if (target) target->targets.insert(place_key(link.target_row - 1, link.target_column - 1));
            };
            for (const auto &[key, link] : layout.links) note(*link);
            for (const PlacedPicture &picture : layout.pictures)
                if (picture.has_link) note(picture.link);
        }
    }

    SheetLayout *layout_of(const std::string &sheet_name) {
        const int index = find_sheet(book_, sheet_name);
        auto found = pane_of_sheet_.find(index);
        return found == pane_of_sheet_.end() ? nullptr : &layouts_[found->second];
    }

    // Whether cell (r, c) of the layout has a cell element of its own (shown, not inside a
    // merged area other than as its first shown cell).
    static bool cell_rendered(const SheetLayout &layout, int r, int c) {
        if (r < 0 || c < 0 || r >= layout.rows || c >= layout.columns) return false;
        if (row_left_out(*layout.sheet, r) || !layout.column_shown(c)) return false;
        for (const MergePlace &place : layout.merges) {
            const MergeArea &a = place.area;
            if (r >= a.row1 && r <= a.row2 && c >= a.column1 && c <= a.column2)
                return r == place.anchor_row && c == place.anchor_column;
        }
        return true;
    }

    void append_cell_id(int pane_sheet, int r, int c) {
        out_.append("p"sv);
        append_number(out_, pane_sheet);
        out_.push_back('-');
        out_.append(column_letters(c));
        append_number(out_, r + 1);
    }

    // The href of a link, escaped; false when the link may not be one (unsafe scheme, a place
    // outside the page), and its text then stays plain.
    bool append_href(const Hyperlink &link) {
        if (link.kind == HyperlinkKind::kExternal) {
            if (!safe_link_target(link.target)) return false;
            html_escape_append(out_, link.target);
            return true;
        }
        SheetLayout *target = layout_of(link.target_sheet);
        if (!target) return false;
        const int r = link.target_row - 1, c = link.target_column - 1;
        out_.push_back('#');
        if (cell_rendered(*target, r, c)) {
            append_cell_id(target->index, r, c);
        } else {
            out_.append("p"sv);
            append_number(out_, target->index);
        }
        return true;
    }

    void write_style_classes() {
        std::vector<bool> used(book_.styles.xfs().size() + 1, false);
        for (const SheetLayout &layout : layouts_) {
            // Rows handed out of memory are read once, while the page is written: every format
            // gets its class.
            if (layout.sheet->row_file && layout.sheet->row_file->records > 0) used.assign(used.size(), true);
            for (const Row &row : layout.sheet->rows)
                for (const Cell &cell : row.cells)
                    if (cell.style != 0 && cell.style < used.size()) used[cell.style] = true;
        }
        for (std::size_t k = 1; k < used.size(); ++k) {
            if (!used[k]) continue;
            out_.append(".sheet td.x"sv);
            append_number(out_, static_cast<long long>(k));
            out_.push_back('{');
            append_format_css(book_, static_cast<std::uint16_t>(k), out_);
            out_.append("}\n"sv);
        }
        for (const SheetLayout &layout : layouts_) {
            out_.append("#p"sv);
            append_number(out_, layout.index);
            out_.append(" tr{height:"sv);
            append_number(out_, layout.default_row_pixels);
            out_.append("px}\n"sv);
        }
    }

    void write_tabs() {
        out_.append("<nav class=\"tabs\">"sv);
        for (const SheetLayout &layout : layouts_) {
            out_.append("<a href=\"#p"sv);
            append_number(out_, layout.index);
            out_.append("\">"sv);
            html_escape_append(out_, layout.sheet->name);
            out_.append("</a>"sv);
        }
        out_.append("</nav>\n"sv);
    }

    int write_pane(const SheetLayout &layout, bool first) {
        const Sheet &sheet = *layout.sheet;
        long long total = 0;
        for (int px : layout.column_pixels) total += px;
        out_.append(first ? "<section class=\"pane first\" id=\"p"sv : "<section class=\"pane\" id=\"p"sv);
        append_number(out_, layout.index);
        out_.append(sheet.settings.grid_lines ? "\">\n<div class=\"grid lines\">\n"sv : "\">\n<div class=\"grid\">\n"sv);
        std::string table_head = "<table class=\"sheet\" style=\"width:";
        append_number(table_head, total);
        table_head.append("px\"><colgroup>"sv);
        for (int c = 0; c < layout.columns; ++c) {
            if (!layout.column_shown(c)) continue;
            table_head.append("<col style=\"width:"sv);
            append_number(table_head, layout.column_pixels[static_cast<std::size_t>(c)]);
            table_head.append("px\">"sv);
        }
        table_head.append("</colgroup><tbody>\n"sv);
        if (int rc = write_rows(layout, table_head); rc != kOk) return rc;
        write_pictures(layout);
        out_.append("</div>\n</section>\n"sv);
        return kOk;
    }

    bool cell_needed(const SheetLayout &layout, std::span<const Cell> cells, int r, int c) const {
        if (c < static_cast<int>(cells.size())) {
            const Cell &cell = cells[static_cast<std::size_t>(c)];
            if (!cell.empty() || cell.style != 0) return true;
        }
        const CellKey key = place_key(r, c);
        return layout.links.contains(key) || layout.comments.contains(key) || layout.targets.contains(key);
    }

    int write_rows(const SheetLayout &layout, std::string_view table_head) {
        const Sheet &sheet = *layout.sheet;
        const bool extras = !layout.links.empty() || !layout.comments.empty() || !layout.targets.empty();
        // Cover marks of the merged areas over the current row: 0 free, -1 inside an area,
        // n > 0 the first shown cell of area n-1.
        std::vector<int> cover(static_cast<std::size_t>(layout.columns), 0);
        std::vector<std::size_t> active;
        std::size_t next_merge = 0;
        // Rows handed out of memory come back from their records in call order, with what the
        // row holds in memory now on top, as the save merges them.
        std::optional<StreamedRowReader> streamed;
        if (sheet.row_file && sheet.row_file->records > 0) streamed.emplace(*sheet.row_file);
        std::vector<Cell> merged, record;
        const std::vector<RowBlock> blocks = row_blocks(layout);
        auto block = blocks.begin();
        open_block(layout, *block, table_head);
        for (int r = 0; r < layout.rows; ++r) {
            if (r == block->end) {
                out_.append(kBlockTail);
                open_block(layout, *++block, table_head);
            }
            const Row *row = r < static_cast<int>(sheet.rows.size()) ? &sheet.rows[static_cast<std::size_t>(r)] : nullptr;
            std::span<const Cell> cells;
            if (row) cells = row->cells;
            if (streamed && streamed->next_row() == r) {
                merged.clear();
                while (streamed->next_row() == r) {
                    if (streamed->read_next(record) != kOk) return kReadError;
                    overlay(merged, record);
                }
                overlay(merged, cells);
                cells = merged;
            }
            if (row_left_out(sheet, r)) continue;
            while (next_merge < layout.merges.size() && layout.merges[next_merge].area.row1 <= r) active.push_back(next_merge++);
            std::erase_if(active, [&](std::size_t k) { return layout.merges[k].area.row2 < r; });
            int end = 0;   // cells after the last one that shows something are left out
            if (!active.empty()) {
                std::fill(cover.begin(), cover.end(), 0);
                for (std::size_t k : active) {
                    const MergePlace &place = layout.merges[k];
                    const int last = std::min(place.area.column2, layout.columns - 1);
                    for (int c = place.area.column1; c <= last; ++c) cover[static_cast<std::size_t>(c)] = -1;
                    if (place.anchor_row == r) {
                        cover[static_cast<std::size_t>(place.anchor_column)] = static_cast<int>(k) + 1;
                        end = std::max(end, place.anchor_column + 1);
                    }
                }
            }
            const int stored = std::min(static_cast<int>(cells.size()), layout.columns);
            for (int c = (extras ? layout.columns : stored) - 1; c >= end; --c) {
                if (layout.column_shown(c) && cell_needed(layout, cells, r, c)) {
                    end = c + 1;
                    break;
                }
            }
            if (row && row->attributes && row->attributes->height > 0) {
                out_.append("<tr style=\"height:"sv);
                append_number(out_, row_height_pixels(layout, r));
                out_.append("px\">"sv);
            } else {
                out_.append("<tr>"sv);
            }
            for (int c = 0; c < end; ++c) {
                if (!layout.column_shown(c)) continue;
                const int mark = active.empty() ? 0 : cover[static_cast<std::size_t>(c)];
                if (mark < 0) continue;
                const MergePlace *place = mark > 0 ? &layout.merges[static_cast<std::size_t>(mark - 1)] : nullptr;
                write_cell(layout, cells, r, c, place);
            }
            out_.append("</tr>\n"sv);
            if (out_.size() >= kHtmlPieceBytes)
                if (int rc = flush(); rc != kOk) return rc;
        }
        out_.append(kBlockTail);
        return streamed && streamed->failed() ? kReadError : kOk;
    }

    void open_block(const SheetLayout &layout, const RowBlock &block, std::string_view table_head) {
        // Until a block is laid out the page takes it to be as high as its rows; a table's outer
        // grid lines add a pixel.
        out_.append("<div class=\"rows\" style=\"contain-intrinsic-height:auto "sv);
        append_number(out_, block.pixels + (layout.sheet->settings.grid_lines ? 1 : 0));
        out_.append("px\">"sv).append(table_head);
    }

    // One cell element at (r, c); a merged area's shows the value, format, link and comment of
    // the area's top-left cell.
    void write_cell(const SheetLayout &layout, std::span<const Cell> cells, int r, int c, const MergePlace *place) {
        const int source_row = place ? place->area.row1 : r, source_column = place ? place->area.column1 : c;
        const Sheet &sheet = *layout.sheet;
        const Cell *cell = nullptr;
        if (source_row == r) {
            if (source_column < static_cast<int>(cells.size())) cell = &cells[static_cast<std::size_t>(source_column)];
        } else if (source_row < static_cast<int>(sheet.rows.size())) {
            const Row &row = sheet.rows[static_cast<std::size_t>(source_row)];
            if (source_column < static_cast<int>(row.cells.size())) cell = &row.cells[static_cast<std::size_t>(source_column)];
        }
        out_.append("<td"sv);
        if (layout.targets.contains(place_key(r, c))) {
            out_.append(" id=\""sv);
            append_cell_id(layout.index, r, c);
            out_.push_back('"');
        }
        if (cell) write_cell_class(*cell);
        if (place && place->row_span > 1) {
            out_.append(" rowspan=\""sv);
            append_number(out_, place->row_span);
            out_.push_back('"');
        }
        if (place && place->column_span > 1) {
            out_.append(" colspan=\""sv);
            append_number(out_, place->column_span);
            out_.push_back('"');
        }
        const CellKey key = place_key(source_row, source_column);
        if (auto comment = layout.comments.find(key); comment != layout.comments.end()) {
            out_.append(" title=\""sv);
            html_escape_append(out_, *comment->second);
            out_.push_back('"');
        }
        out_.push_back('>');
        const auto link = layout.links.find(key);
        bool linked = false;
        if (link != layout.links.end()) {
            const std::size_t before = out_.size();
            out_.append("<a href=\""sv);
            linked = append_href(*link->second);
            if (linked) out_.append("\">"sv);
            else out_.resize(before);
        }
        if (cell && !cell->empty()) html_escape_append(out_, shown_text(book_, *cell));
        if (linked) out_.append("</a>"sv);
        out_.append("</td>"sv);
    }

    void write_cell_class(const Cell &cell) {
        const bool own_alignment = cell.style != 0 && explicit_alignment(cell.style);
        const std::string_view by_value = own_alignment || cell.empty() ? ""sv : value_alignment_class(cell);
        if (cell.style == 0 && by_value.empty()) return;
        out_.append(" class=\""sv);
        if (cell.style != 0) {
            out_.push_back('x');
            append_number(out_, cell.style);
            out_.append(by_value);
        } else {
            out_.append(by_value.substr(1));
        }
        out_.push_back('"');
    }

    bool explicit_alignment(std::uint16_t style) const {
        const auto &xfs = book_.styles.xfs();
        if (style == 0 || style > xfs.size()) return false;
        const XfRecord &xf = xfs[style - 1u];
        return xf.align != kAlignDefault || xf.align_explicit;
    }

    void write_pictures(const SheetLayout &layout) {
        if (layout.pictures.empty()) return;
        // Distances from the grid's corner to the start of each column and row up to the last one
        // a picture touches.
        int last_row = 0, last_column = 0;
        for (const PlacedPicture &p : layout.pictures) {
            last_row = std::max({last_row, p.row, p.end_row});
            last_column = std::max({last_column, p.column, p.end_column});
        }
        last_row = std::min(last_row, book_.max_rows);
        last_column = std::min(last_column, book_.max_columns);
        std::vector<double> left(static_cast<std::size_t>(last_column) + 2, 0.0), top(static_cast<std::size_t>(last_row) + 2, 0.0);
        for (int c = 0; c <= last_column; ++c)
            left[static_cast<std::size_t>(c) + 1] =
                left[static_cast<std::size_t>(c)] +
                (c < layout.columns ? layout.column_pixels[static_cast<std::size_t>(c)] : kDefaultColumnPixels);
        for (int r = 0; r <= last_row; ++r)
            top[static_cast<std::size_t>(r) + 1] =
                top[static_cast<std::size_t>(r)] + (row_left_out(*layout.sheet, r) ? 0 : row_height_pixels(layout, r));
        auto at = [](const std::vector<double> &starts, int k) {
            return starts[static_cast<std::size_t>(std::clamp(k, 0, static_cast<int>(starts.size()) - 1))];
        };
        for (const PlacedPicture &p : layout.pictures) {
            const std::string_view media = picture_media_type(p.bytes);
            if (media.empty()) continue;
            const double x = at(left, p.column) + p.x, y = at(top, p.row) + p.y;
            double width = p.width, height = p.height;
            if (p.end_row >= 0) {
                width = at(left, p.end_column) + p.end_x - x;
                height = at(top, p.end_row) + p.end_y - y;
            }
            if (!(width > 0) || !(height > 0)) continue;
            bool linked = false;
            if (p.has_link) {
                const std::size_t before = out_.size();
                out_.append("<a href=\""sv);
                linked = append_href(p.link);
                if (linked) out_.append("\">"sv);
                else out_.resize(before);
            }
            out_.append("<img class=\"pic\" alt=\"\" style=\"left:"sv);
            append_pixels(out_, x);
            out_.append("px;top:"sv);
            append_pixels(out_, y);
            out_.append("px;width:"sv);
            append_pixels(out_, width);
            out_.append("px;height:"sv);
            append_pixels(out_, height);
            out_.append("px\" src=\"data:"sv).append(media).append(";base64,"sv);
            base64_append(out_, p.bytes);
            out_.append("\">"sv);
            if (linked) out_.append("</a>"sv);
            out_.push_back('\n');
        }
    }

    const Book &book_;
    const HtmlView &view_;
    HtmlSink &sink_;
    std::string out_;
    std::vector<SheetLayout> layouts_;
    std::unordered_map<int, std::size_t> pane_of_sheet_;
};

}  // namespace

int write_html(const Book &book, const HtmlView &view, HtmlSink &sink) {
    PageWriter writer(book, view, sink);
    return writer.write();
}

}  // namespace tabsmith
