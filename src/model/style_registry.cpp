// The style tables of a book, their presets, limits and find-or-append rules, and the
// set-cell operations that copy a cell's format, change one part and look the result up again.

#include "model/style_registry.h"

#include <algorithm>
#include <functional>
#include <new>
#include <stdexcept>

#include "model/book.h"
#include "model/format_kinds.h"

namespace tabsmith {
namespace {

constexpr std::size_t kFirstRoom = 10;  // XF, fill, border and number-format tables
constexpr std::size_t kFontStep = 10;   // the font table grows by a fixed step

struct PaletteEntry {
    std::uint32_t index;
    Rgb rgb;
};

constexpr PaletteEntry kPalette[] = {
    {0, {0x00, 0x00, 0x00}},  {1, {0x80, 0x80, 0x80}},  {2, {0xC0, 0xC0, 0xC0}},  {3, {0xFF, 0xFF, 0xFF}},
    {11, {0xFF, 0x00, 0x00}}, {12, {0xFF, 0xFF, 0x00}}, {13, {0x00, 0xFF, 0x00}}, {14, {0x00, 0xFF, 0xFF}},
    {15, {0x00, 0x00, 0xFF}}, {16, {0xFF, 0x00, 0xFF}}, {21, {0x80, 0x00, 0x00}}, {22, {0x80, 0x80, 0x00}},
    {23, {0x00, 0x80, 0x00}}, {24, {0x00, 0x80, 0x80}}, {25, {0x00, 0x00, 0x80}}, {26, {0x80, 0x00, 0x80}},
    {31, {0xFF, 0xCC, 0xCC}}, {32, {0xFF, 0xFF, 0xCC}}, {33, {0xCC, 0xFF, 0xCC}}, {34, {0xCC, 0xFF, 0xFF}},
    {35, {0xCC, 0xCC, 0xFF}}, {36, {0xFF, 0xCC, 0xFF}},
};

constexpr std::string_view kPatternNames[] = {
    "none",          "solid",          "darkGray",        "mediumGray",    "lightGray",
    "gray125",       "gray0625",       "darkHorizontal",  "darkVertical",  "darkDown",
    "darkUp",        "darkGrid",       "darkTrellis",     "lightHorizontal", "lightVertical",
    "lightDown",     "lightUp",        "lightGrid",       "lightTrellis",
};

void mix(std::size_t &seed, std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

std::size_t rgb_bits(const Rgb &rgb) {
    return (std::size_t{rgb.red} << 16) | (std::size_t{rgb.green} << 8) | rgb.blue;
}

// Makes room for one more record as the tables always grew: 10 at first, then doubling (the
// font table by a fixed step). Throws std::bad_alloc like any allocation.
template <typename T>
void make_room(std::vector<T> &table, bool fixed_step) {
    if (table.size() < table.capacity()) return;
    std::size_t room = fixed_step ? table.capacity() + kFontStep : std::max(kFirstRoom, table.capacity() * 2);
    table.reserve(std::max(room, table.size() + 1));
}

// Appends `record` and records its index unless an equal record is already there (that one
// stays the first). kNoMemory leaves both the table and its index unchanged.
template <typename T, typename Index>
int append_indexed(std::vector<T> &table, Index &index, const T &record, bool fixed_step) {
    try {
        make_room(table, fixed_step);
        table.push_back(record);
        try {
            index.emplace(record, static_cast<std::uint32_t>(table.size() - 1));
        } catch (...) {
            table.pop_back();
            throw;
        }
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    } catch (const std::length_error &) {
        return kNoMemory;
    }
    return 0;
}

template <typename Map, typename Key>
int lookup(const Map &index, const Key &key) {
    auto found = index.find(key);
    return found == index.end() ? kIndexNotFound : static_cast<int>(found->second);
}

std::uint32_t kind_decimals_key(std::uint16_t kind, std::uint8_t decimals) {
    return (std::uint32_t{kind} << 8) | decimals;
}

int out_of_memory(Book &book) { return book.err.raise(kNoMemory, Msg::k00002); }

void apply_font_mask(FontRecord &font, int mask, const FontRecord &from) {
    if (mask & kFontMaskName) {
        font.name_id = from.name_id;
        font.name = from.name;
    }
    if (mask & kFontMaskSize) font.size = from.size;
    if (mask & kFontMaskStyle) font.style = from.style;
    if (mask & kFontMaskColour) {
        font.colour = from.colour;
        font.rgb = from.rgb;
    }
}

void apply_fill_mask(FillRecord &fill, int mask, const FillRecord &from) {
    if (mask & kFillMaskPattern) fill.pattern = from.pattern;
    if (mask & kFillMaskColour) {
        fill.colour = from.colour;
        fill.rgb = from.rgb;
        if (fill.pattern == kFillNone) fill.pattern = kFillSolid;
    }
    if (mask & kFillMaskPatternColour) fill.pattern_colour = from.pattern_colour;
    if (mask & kFillMaskGradientColour1) {
        fill.colour = from.colour;
        fill.rgb = from.rgb;
        fill.pattern = kFillGradient;
    }
    if (mask & kFillMaskGradientColour2) {
        fill.colour2 = from.colour2;
        fill.rgb2 = from.rgb2;
        fill.pattern = kFillGradient;
    }
    if (mask & kFillMaskGradientKind) {
        fill.gradient_kind = from.gradient_kind;
        fill.pattern = kFillGradient;
    }
    if (mask & kFillMaskGradientVariation) {
        fill.gradient_variation = from.gradient_variation;
        fill.pattern = kFillGradient;
    }
}

void apply_border_mask(BorderRecord &border, int mask, const BorderRecord &from) {
    if (mask & kBorderMaskLeft) border.left = from.left;
    if (mask & kBorderMaskRight) border.right = from.right;
    if (mask & kBorderMaskTop) border.top = from.top;
    if (mask & kBorderMaskBottom) border.bottom = from.bottom;
    if (mask & kBorderMaskColour) {
        border.colour = from.colour;
        border.rgb = from.rgb;
    }
    if (mask & kBorderMaskDiagonalUp) border.diagonal_up = from.diagonal_up;
    if (mask & kBorderMaskDiagonalDown) border.diagonal_down = from.diagonal_down;
}

// The shared shape of the set-cell operations: copy the cell's XF, let `change` alter the
// copy (it may register font, fill or border records first), then find or append the XF.
int change_cell_xf(Book &book, Cell &cell, const std::function<int(XfRecord &)> &change) {
    XfRecord xf = cell_xf(book, cell);
    if (int rc = change(xf); rc != 0) return rc;
    return set_cell_xf(book, cell, xf);
}

}  // namespace

namespace style_detail {

std::size_t XfHash::operator()(const XfRecord &r) const noexcept {
    std::size_t seed = r.format;
    mix(seed, r.font);
    mix(seed, r.fill);
    mix(seed, r.border);
    mix(seed, r.style_xf);
    mix(seed, (std::size_t{r.align_explicit} << 32) | (std::size_t{r.align} << 24) | (std::size_t{r.pattern} << 16) |
                  (std::size_t{r.format_mode} << 8) | r.text_flags);
    return seed;
}

std::size_t FontHash::operator()(const FontRecord &r) const noexcept {
    std::size_t seed = (std::size_t{r.name_id} << 24) | (std::size_t{r.size} << 8) | r.style;
    mix(seed, r.colour);
    mix(seed, rgb_bits(r.rgb));
    mix(seed, std::hash<std::string>{}(r.name));
    return seed;
}

std::size_t FillHash::operator()(const FillRecord &r) const noexcept {
    std::size_t seed = r.pattern;
    mix(seed, r.pattern_colour);
    mix(seed, r.colour);
    mix(seed, rgb_bits(r.rgb));
    mix(seed, (std::size_t{r.gradient_kind} << 8) | r.gradient_variation);
    mix(seed, r.colour2);
    mix(seed, rgb_bits(r.rgb2));
    return seed;
}

std::size_t BorderHash::operator()(const BorderRecord &r) const noexcept {
    std::size_t seed = (std::size_t{r.left} << 40) | (std::size_t{r.right} << 32) | (std::size_t{r.top} << 24) |
                       (std::size_t{r.bottom} << 16) | (std::size_t{r.diagonal_up} << 8) | r.diagonal_down;
    mix(seed, r.colour);
    mix(seed, rgb_bits(r.rgb));
    return seed;
}

}  // namespace style_detail

Rgb palette_rgb(std::uint32_t index) {
    for (const auto &entry : kPalette)
        if (entry.index == index) return entry.rgb;
    return Rgb{};
}

Rgb colour_rgb(std::uint32_t colour, Rgb explicit_rgb) {
    return colour == kStyleColourRgb ? explicit_rgb : palette_rgb(colour);
}

std::string_view builtin_font_name(std::uint8_t name_id) {
    switch (name_id) {
    case 11: return "ＭＳゴシック";
    case 20: return "ＭＳ Ｐ明朝";
    case 21: return "ＭＳ明朝";
    case 31: return "HGP創英角ﾎﾟｯﾌﾟ体";
    case 32: return "HGP教科書体";
    case 33: return "HGP行書体";
    case 100: return "フォント1";
    case 101: return "フォント2";
    case 102: return "フォント3";
    default: return "ＭＳ Ｐゴシック";
    }
}

std::string_view fill_pattern_name(std::uint32_t pattern) {
    return pattern < std::size(kPatternNames) ? kPatternNames[pattern] : kPatternNames[0];
}

std::string_view border_style_name(std::uint8_t style) {
    switch (style) {
    case 2: return "hair";
    case 3: return "thick";
    case 4: return "dotted";
    case 5: return "medium";
    case 6: return "double";
    case 11: return "dashed";
    case 12: return "dashDot";
    case 13: return "dashDotDot";
    case 21: return "mediumDashed";
    case 22: return "mediumDashDot";
    case 23: return "mediumDashDotDot";
    case 31: return "slantDashDot";
    default: return "thin";
    }
}

StyleRegistry::StyleRegistry() {
    if (seed_defaults() != 0) throw std::bad_alloc();
}

int StyleRegistry::seed_defaults() {
    clear_tables();

    FontRecord font;
    if (append(font) != 0) return kNoMemory;
    font.size = 9;
    if (append(font) != 0) return kNoMemory;
    font.size = 11;
    font.style = kFontBold | kFontHyperlink;
    hyperlink_font_ = static_cast<std::uint32_t>(fonts_.size());
    if (append(font) != 0) return kNoMemory;

    FillRecord fill;
    if (append(fill) != 0) return kNoMemory;
    fill.pattern = kFillGray125;
    if (append(fill) != 0) return kNoMemory;

    NumFormat date;
    date.kind = format_kind::kDate;
    if (append(date) != 0) return kNoMemory;

    // The presets of date, date-time, time, time with seconds, currency and percent cells
    // (references kXfDate.. kXfPercent), then the hyperlink format (kXfHyperlink).
    for (std::uint32_t format : {14u, 22u, 20u, 46u, 5u, 9u}) {
        XfRecord xf;
        xf.format = format;
        xf.align = 33;
        if (append(xf) != 0) return kNoMemory;
    }
    XfRecord link;
    link.font = hyperlink_font_;
    link.style_xf = 1;
    hyperlink_xf_ = static_cast<std::uint32_t>(xfs_.size());
    return append(link);
}

void StyleRegistry::clear_tables() {
    xfs_.clear();
    fonts_.clear();
    fills_.clear();
    borders_.clear();
    num_formats_.clear();
    xf_index_.clear();
    font_index_.clear();
    fill_index_.clear();
    border_index_.clear();
    kind_index_.clear();
    kind_decimals_index_.clear();
}

void StyleRegistry::clear_xfs() {
    xfs_.clear();
    xf_index_.clear();
}

int StyleRegistry::find_xf(const XfRecord &record) const { return lookup(xf_index_, record); }
int StyleRegistry::find_font(const FontRecord &record) const { return lookup(font_index_, record); }
int StyleRegistry::find_fill(const FillRecord &record) const { return lookup(fill_index_, record); }

int StyleRegistry::find_border(const BorderRecord &record) const {
    int found = lookup(border_index_, record);
    return found == kIndexNotFound ? kIndexNotFound : found + 1;
}

int StyleRegistry::find_num_format(std::uint16_t kind) const {
    int found = lookup(kind_index_, kind);
    return found == kIndexNotFound ? kIndexNotFound : found + 1;
}

int StyleRegistry::find_num_format(std::uint16_t kind, std::uint8_t decimals) const {
    int found = lookup(kind_decimals_index_, kind_decimals_key(kind, decimals));
    return found == kIndexNotFound ? kIndexNotFound : found + 1;
}

int StyleRegistry::append(const XfRecord &record) { return append_indexed(xfs_, xf_index_, record, false); }
int StyleRegistry::append(const FontRecord &record) { return append_indexed(fonts_, font_index_, record, true); }
int StyleRegistry::append(const FillRecord &record) { return append_indexed(fills_, fill_index_, record, false); }

int StyleRegistry::append(const BorderRecord &record) {
    return append_indexed(borders_, border_index_, record, false);
}

int StyleRegistry::append(const NumFormat &record) {
    auto position = static_cast<std::uint32_t>(num_formats_.size());
    bool added_kind = false;
    try {
        make_room(num_formats_, false);
        num_formats_.push_back(record);
        added_kind = kind_index_.emplace(record.kind, position).second;
        kind_decimals_index_.emplace(kind_decimals_key(record.kind, record.decimals), position);
    } catch (const std::exception &) {
        if (added_kind) kind_index_.erase(record.kind);
        if (num_formats_.size() > position) num_formats_.pop_back();
        return kNoMemory;
    }
    return 0;
}

int tsx_set_xf(Book &book, const XfRecord &record) {
    std::size_t count = book.styles.xfs().size();
    if (count >= kMaxXf)
        return book.err.raise(kLimit, Msg::k03009, static_cast<int>(count), "tsx_set_xf() MAX_XF");
    return book.styles.append(record) == 0 ? 0 : out_of_memory(book);
}

int tsx_set_font(Book &book, const FontRecord &record) {
    std::size_t count = book.styles.fonts().size();
    if (count >= kMaxFont)
        return book.err.raise(kLimit, Msg::k03009, static_cast<int>(count), "tsx_set_font() MAX_FONT");
    return book.styles.append(record) == 0 ? 0 : out_of_memory(book);
}

int append_fill(Book &book, const FillRecord &record) {
    return book.styles.append(record) == 0 ? 0 : out_of_memory(book);
}

int append_border(Book &book, const BorderRecord &record) {
    return book.styles.append(record) == 0 ? 0 : out_of_memory(book);
}

int append_num_format(Book &book, const NumFormat &record, int &index) {
    std::size_t count = book.styles.num_formats().size();
    if (count >= kMaxNumFormat)
        return book.err.raise(kLimit, Msg::k03009, static_cast<int>(count), "tsx_set_num_format()");
    if (book.styles.append(record) != 0) return out_of_memory(book);
    index = static_cast<int>(count + 1);
    return 0;
}

int tsx_set_num_format(Book &book, std::uint16_t kind, int &index) {
    if (int found = book.styles.find_num_format(kind); found > 0) {
        index = found;
        return 0;
    }
    NumFormat entry;
    entry.kind = kind;
    return append_num_format(book, entry, index);
}

XfRecord cell_xf(const Book &book, const Cell &cell) {
    const auto &xfs = book.styles.xfs();
    if (cell.style == 0 || cell.style > xfs.size()) return XfRecord{};
    return xfs[cell.style - 1u];
}

int set_cell_xf(Book &book, Cell &cell, const XfRecord &xf) {
    int found = book.styles.find_xf(xf);
    if (found < 0) {
        if (int rc = tsx_set_xf(book, xf); rc != 0) return rc;
        found = static_cast<int>(book.styles.xfs().size() - 1);
    }
    cell.style = static_cast<std::uint16_t>(found + 1);
    return 0;
}

int set_cell_align(Book &book, Cell &cell, std::uint8_t code) {
    return change_cell_xf(book, cell, [&](XfRecord &xf) {
        xf.align = code;
        xf.align_explicit = true;
        return 0;
    });
}

int set_cell_text_flags(Book &book, Cell &cell, std::uint8_t flags) {
    return change_cell_xf(book, cell, [&](XfRecord &xf) {
        xf.text_flags = flags;
        return 0;
    });
}

int set_cell_number_format(Book &book, Cell &cell, std::uint32_t table_index) {
    return change_cell_xf(book, cell, [&](XfRecord &xf) {
        xf.format = table_index;
        xf.format_mode = kFormatTable;
        return 0;
    });
}

int set_cell_text_format(Book &book, Cell &cell) {
    return change_cell_xf(book, cell, [&](XfRecord &xf) {
        xf.format_mode = kFormatText;
        return 0;
    });
}

// A cell without an XF takes the caller's record whole; one whose XF points past the table
// (a template's index the registry never saw) is treated the same way.
int set_cell_font(Book &book, Cell &cell, int mask, const FontRecord &font) {
    bool has_xf = cell.style != 0 && cell.style <= book.styles.xfs().size();
    return change_cell_xf(book, cell, [&](XfRecord &xf) {
        const auto &fonts = book.styles.fonts();
        FontRecord wanted = font;
        if (has_xf && xf.font < fonts.size()) {
            wanted = fonts[xf.font];
            apply_font_mask(wanted, mask, font);
        }
        int found = book.styles.find_font(wanted);
        if (found < 0) {
            if (int rc = tsx_set_font(book, wanted); rc != 0) return rc;
            found = static_cast<int>(book.styles.fonts().size() - 1);
        }
        xf.font = static_cast<std::uint32_t>(found);
        return 0;
    });
}

int set_cell_fill(Book &book, Cell &cell, int mask, const FillRecord &fill) {
    bool has_xf = cell.style != 0 && cell.style <= book.styles.xfs().size();
    return change_cell_xf(book, cell, [&](XfRecord &xf) {
        const auto &fills = book.styles.fills();
        FillRecord wanted = fill;
        if (has_xf && xf.fill < fills.size()) wanted = fills[xf.fill];
        // The caller's record is taken whole for a cell without a format, but the pattern
        // still follows the mask so that a colour alone gives a visible solid fill.
        apply_fill_mask(wanted, mask, fill);
        int found = book.styles.find_fill(wanted);
        if (found < 0) {
            if (int rc = append_fill(book, wanted); rc != 0) return rc;
            found = static_cast<int>(book.styles.fills().size() - 1);
        }
        xf.fill = static_cast<std::uint32_t>(found);
        return 0;
    });
}

int set_cell_border(Book &book, Cell &cell, int mask, const BorderRecord &border) {
    bool has_xf = cell.style != 0 && cell.style <= book.styles.xfs().size();
    return change_cell_xf(book, cell, [&](XfRecord &xf) {
        const auto &borders = book.styles.borders();
        BorderRecord wanted = border;
        if (has_xf) {
            // Border reference 0 is "no border": the change starts from an empty record.
            wanted = xf.border >= 1 && xf.border <= borders.size() ? borders[xf.border - 1] : BorderRecord{};
            apply_border_mask(wanted, mask, border);
        }
        int found = book.styles.find_border(wanted);
        if (found < 0) {
            if (int rc = append_border(book, wanted); rc != 0) return rc;
            found = static_cast<int>(book.styles.borders().size());
        }
        xf.border = static_cast<std::uint32_t>(found);
        return 0;
    });
}

int set_range_border(Book &book, int sheet_index, int row1, int column1, int row2, int column2, int mask,
                     const BorderRecord &border) {
    Sheet *sheet = book.sheet(sheet_index);
    if (!sheet || row1 < 0 || row2 < 0 || column1 < 0 || column2 < 0) return kFail;
    if (row1 > row2) std::swap(row1, row2);
    if (column1 > column2) std::swap(column1, column2);
    for (int row = row1; row <= row2; ++row) {
        for (int column = column1; column <= column2; ++column) {
            if (ensure_cell(book, *sheet, row, column) != 0) return out_of_memory(book);
            sheet->rows_used = std::max(sheet->rows_used, row + 1);
            Row &r = sheet->rows[static_cast<std::size_t>(row)];
            r.used = static_cast<std::uint16_t>(std::max<int>(r.used, column + 1));
            if (int rc = set_cell_border(book, r.cells[static_cast<std::size_t>(column)], mask, border); rc != 0)
                return rc;
        }
    }
    return 0;
}

void StyleRegistry::assign_format_ids() {
    // Cells of the h:mm:ss kind are saved through the built-in [h]:mm:ss format.
    std::uint16_t id = 176;
    for (NumFormat &format : num_formats_) {
        if (format.kind == format_kind::kTimeSeconds) continue;
        format.assigned_id = id;
        if (++id == 185 || id == 195 || id == 205) ++id;
    }
}

void StyleRegistry::assign_added_format_ids(std::size_t package_entries) {
    const std::vector<std::uint16_t> ids = added_format_ids(num_formats_, package_entries);
    for (std::size_t k = 0; k < ids.size(); ++k) num_formats_[package_entries + k].assigned_id = ids[k];
}

std::vector<std::uint16_t> added_format_ids(const std::vector<NumFormat> &formats, std::size_t package_entries,
                                            std::uint32_t highest_package_id) {
    constexpr std::uint32_t kFirstOwnId = 164, kLastId = 0xFFFF;
    package_entries = std::min(package_entries, formats.size());
    std::uint32_t highest = highest_package_id;
    for (std::size_t k = 0; k < package_entries; ++k) highest = std::max<std::uint32_t>(highest, formats[k].assigned_id);
    std::uint32_t next = std::max(kFirstOwnId, highest + 1);
    std::vector<std::uint16_t> ids;
    ids.reserve(formats.size() - package_entries);
    for (std::size_t k = package_entries; k < formats.size(); ++k) {
        if (formats[k].kind == format_kind::kTimeSeconds || next > kLastId) {
            ids.push_back(0);
            continue;
        }
        ids.push_back(static_cast<std::uint16_t>(next++));
    }
    return ids;
}

}  // namespace tabsmith
