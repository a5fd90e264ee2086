// Gives the cell formatting statements their effect: value vocabularies, the target region,
// and the walk that moves every cell of it to its new registry format.

#include "props/cell_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unordered_map>

#include "model/format_kinds.h"
#include "props/colour.h"
#include "support/charset.h"

namespace tabsmith {
namespace {

namespace fk = format_kind;

// ---------------------------------------------------------------------------------------------
// Vocabularies

template <typename T>
struct Word {
    std::string_view english;
    std::string_view japanese;
    std::string_view japanese2;
    T code;
};

template <typename T, std::size_t N>
bool find_word(const Word<T> (&words)[N], std::string_view value, T &code) {
    for (const auto &word : words) {
        if (equals_ignore_case(value, word.english) || (!word.japanese.empty() && value == word.japanese) ||
            (!word.japanese2.empty() && value == word.japanese2)) {
            code = word.code;
            return true;
        }
    }
    return false;
}

constexpr Word<std::uint8_t> kLineStyles[] = {
    {"thin", "実線", "", 1},           {"thick", "太線", "", 3},
    {"hair", "細線", "", 2},           {"dashed", "破線", "", 11},
    {"dashDot", "一点鎖線", "", 12},   {"dashDotDot", "二点鎖線", "", 13},
    {"dotted", "点線", "", 4},         {"medium", "中太線", "", 5},
    {"mediumDashed", "中破線", "", 21}, {"mediumDashDot", "中鎖線", "", 22},
    {"mediumDashDotDot", "中二点鎖線", "", 23}, {"slantDashDot", "斜二点鎖線", "", 31},
    {"double", "２重線", "二重線", 6},
};

constexpr Word<std::uint8_t> kFontNames[] = {
    {"", "ゴシック", "", 10}, {"", "明朝", "", 20}, {"", "ポップ", "", 31},
    {"", "教科書", "", 32},   {"", "行書", "", 33},
};

constexpr Word<std::uint8_t> kFontStyles[] = {
    {"regular", "標準", "", 0},
    {"underline", "下線", "", kFontUnderline},
    {"regular_underline", "標準下線", "", kFontUnderline},
    {"italic", "斜体", "", kFontItalic},
    {"italic_underline", "斜体下線", "", kFontItalic | kFontUnderline},
    {"bold", "強調", "", kFontBold},
    {"bold_underline", "強調下線", "", kFontBold | kFontUnderline},
    {"bold_italic", "強調斜体", "", kFontBold | kFontItalic},
    {"bold_italic_underline", "強調斜体下線", "", kFontBold | kFontItalic | kFontUnderline},
};

constexpr Word<std::uint8_t> kAlignments[] = {
    {"TOP_LEFT", "左上", "", 11},       {"TOP_CENTER", "中上", "", 12},    {"TOP_RIGHT", "右上", "", 13},
    {"CENTER_LEFT", "左中", "左", 21},  {"CENTER_CENTER", "中中", "中", 22}, {"CENTER_RIGHT", "右中", "右", 23},
    {"BOTTOM_LEFT", "左下", "", 31},    {"BOTTOM_CENTER", "中下", "", 32}, {"BOTTOM_RIGHT", "右下", "", 33},
};

constexpr Word<std::uint32_t> kPatterns[] = {
    {"solid", "塗りつぶし", "", 1},
    {"darkGray", "75%灰色", "", 2},
    {"mediumGray", "50%灰色", "", 3},
    {"lightGray", "25%灰色", "", 4},
    {"gray125", "12.5%", "12.5%灰色", 5},
    {"gray0625", "6.25%", "6.25%灰色", 6},
    {"darkHorizontal", "横縞", "", 7},
    {"darkVertical", "縦縞", "", 8},
    {"darkDown", "右下がり斜線縞", "", 9},
    {"darkUp", "左下がり斜線縞", "", 10},
    {"darkGrid", "左下がり斜線格子", "", 11},
    {"darkTrellis", "極太線左下がり斜線格子", "", 12},
    {"lightHorizontal", "実線横縞", "", 13},
    {"lightVertical", "実線縦縞", "", 14},
    {"lightDown", "実線右下がり斜線縞", "", 15},
    {"lightUp", "実線左下がり斜線縞", "", 16},
    {"lightGrid", "実線横格子", "", 17},
    {"lightTrellis", "実線左下がり斜線格子", "", 18},
    {"none", "なし", "", 0},
};

constexpr Word<std::uint8_t> kGradientKinds[] = {
    {"HORIZONTAL", "横", "", 0},      {"VERTICAL", "縦", "", 1},        {"DIAG_R_TOP", "右上対角線", "", 2},
    {"DIAG_R_BOTTOM", "右下対角線", "", 3}, {"CORNER", "角から", "", 4}, {"CENTER", "中央から", "", 5},
};

// Named number formats that need no decimal count.
struct NamedFormat {
    std::string_view name;
    std::uint16_t kind;
};

constexpr NamedFormat kNamedFormats[] = {
    {"赤マイナス", fk::kRedMinus},
    {"日付", fk::kDate},
    {"日時", fk::kDateTime},
    {"時刻", fk::kHourMinuteJa},
    {"時分秒", fk::kTimeSeconds},
    {"年月日", fk::kYearMonthDayJa},
    {"西暦", fk::kYearMonthDayJa},
    {"月日", fk::kMonthDayJa},
    {"和暦", fk::kEraLong},
    {"円", fk::kYen},
    {"赤円", fk::kYenRedMinus},
    {"郵便番号", fk::kPostalCode},
    {"正負記号", fk::kSignMarks},
    {"漢数字", fk::kKanjiDigits},
    {"大字", fk::kKanjiFormal},
    {"全角", fk::kFullWidth},
    {"全角桁区切り", fk::kFullWidthGrouped},
};

struct DecimalPrefix {
    std::string_view prefix;
    std::uint16_t kind;
};

// Longest prefixes first: "小数点以下" ends every one of them.
constexpr DecimalPrefix kDecimalPrefixes[] = {
    {"パーセント小数点以下", fk::kPercent},
    {"カンマ小数点以下", fk::kGrouped},
    {"コンマ小数点以下", fk::kGrouped},
    {"小数点以下", fk::kDecimals},
};

constexpr std::string_view kTextFormat = "文字列";

// How a FORMAT value is carried out.
struct FormatChoice {
    enum class How { kText, kKind, kKindDecimals } how = How::kKind;
    std::uint16_t kind = 0;
    std::uint8_t decimals = 0;
};

bool parse_format(std::string_view value, FormatChoice &choice) {
    if (value == kTextFormat) {
        choice.how = FormatChoice::How::kText;
        return true;
    }
    for (const auto &entry : kDecimalPrefixes) {
        if (!value.starts_with(entry.prefix)) continue;
        std::string_view digits = value.substr(entry.prefix.size());
        if (digits.empty() || digits.size() > 2) return false;
        int decimals = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            decimals = decimals * 10 + (c - '0');
        }
        if (decimals > kMaxDecimals) return false;
        choice = {FormatChoice::How::kKindDecimals, entry.kind, static_cast<std::uint8_t>(decimals)};
        return true;
    }
    // The separator and percent kinds carry a decimal count: the plain names mean none.
    if (value == "カンマ" || value == "コンマ") {
        choice = {FormatChoice::How::kKindDecimals, fk::kGrouped, 0};
        return true;
    }
    if (value == "パーセント") {
        choice = {FormatChoice::How::kKindDecimals, fk::kPercent, 0};
        return true;
    }
    for (const auto &entry : kNamedFormats) {
        if (value == entry.name) {
            choice = {FormatChoice::How::kKind, entry.kind, 0};
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Target region

enum class Scope {
    kCells,     // every cell of the rectangle
    kRows,      // whole rows: the row style, and the written cells from column1 on
    kColumns,   // whole columns: the column style, and the written cells from row1 on
};

struct Region {
    Scope scope = Scope::kCells;
    int row1 = 0, column1 = 0, row2 = 0, column2 = 0;
};

enum class RegionResult { kRegion, kNoTarget, kTooLarge };

RegionResult target_region(const Book &book, const PropertyTarget &target, Region &region) {
    const int last_row = std::max(book.max_rows, 1) - 1;
    const int last_column = std::max(book.max_columns, 1) - 1;
    auto row_in = [&](int row) { return std::clamp(row, 0, last_row); };
    auto column_in = [&](int column) { return std::clamp(column, 0, last_column); };

    if (target.area_count > 0) {
        const TargetArea &area = target.areas[0];
        int r1 = row_in(std::min(area.row1, area.row2)), r2 = row_in(std::max(area.row1, area.row2));
        int c1 = column_in(std::min(area.column1, area.column2)), c2 = column_in(std::max(area.column1, area.column2));
        if (target.row_range) {
            region = {Scope::kRows, r1, 0, r2, last_column};
            return RegionResult::kRegion;
        }
        if (target.column_range) {
            region = {Scope::kColumns, 0, c1, last_row, c2};
            return RegionResult::kRegion;
        }
        bool to_bottom = r2 == last_row, to_right = c2 == last_column;
        // What making the cells costs: every row gets a cell array of at least ten slots.
        auto cells = static_cast<long long>(r2 - r1 + 1) * std::max(c2 + 1, 10);
        if (to_bottom && r1 == 0) region = {Scope::kColumns, r1, c1, r2, c2};
        else if (to_right && c1 == 0) region = {Scope::kRows, r1, c1, r2, c2};
        else if (cells <= static_cast<long long>(kMaxFormattedCells)) region = {Scope::kCells, r1, c1, r2, c2};
        else if (to_bottom) region = {Scope::kColumns, r1, c1, r2, c2};
        else if (to_right) region = {Scope::kRows, r1, c1, r2, c2};
        else return RegionResult::kTooLarge;
        return RegionResult::kRegion;
    }
    if (target.row >= 0 && target.column >= 0) {
        int r = row_in(target.row), c = column_in(target.column);
        region = {Scope::kCells, r, c, r, c};
        return RegionResult::kRegion;
    }
    if (target.row >= 0) {
        int r = row_in(target.row);
        region = {Scope::kRows, r, 0, r, last_column};
        return RegionResult::kRegion;
    }
    if (target.column >= 0) {
        int c = column_in(target.column);
        region = {Scope::kColumns, 0, c, last_row, c};
        return RegionResult::kRegion;
    }
    return RegionResult::kNoTarget;
}

// The plain rectangle of the target (rows and columns of a row or column target collapse to
// the first), as the width, height, break, merge and filter statements use it.
bool target_rectangle(const Book &book, const PropertyTarget &target, TargetArea &rect) {
    const int last_row = std::max(book.max_rows, 1) - 1;
    const int last_column = std::max(book.max_columns, 1) - 1;
    if (target.area_count > 0) {
        const TargetArea &area = target.areas[0];
        rect = {std::min(area.row1, area.row2), std::min(area.column1, area.column2), std::max(area.row1, area.row2),
                std::max(area.column1, area.column2)};
    } else if (target.row >= 0 || target.column >= 0) {
        int r = std::max(target.row, 0), c = std::max(target.column, 0);
        rect = {r, c, r, c};
    } else {
        return false;
    }
    rect.row1 = std::clamp(rect.row1, 0, last_row);
    rect.row2 = std::clamp(rect.row2, 0, last_row);
    rect.column1 = std::clamp(rect.column1, 0, last_column);
    rect.column2 = std::clamp(rect.column2, 0, last_column);
    return true;
}

bool has_target(const PropertyTarget &target) {
    return target.area_count > 0 || target.row >= 0 || target.column >= 0;
}

Sheet *target_sheet(Book &book, const PropertyTarget &target) {
    return book.sheet(target.sheet >= 0 ? target.sheet : book.current_sheet);
}

// ---------------------------------------------------------------------------------------------
// Applying one format change to a region

bool written(const Cell &cell) { return !cell.empty() || cell.style != 0; }

int ensure_columns(Sheet &sheet, int column) {
    ensure_column_count(sheet, static_cast<std::size_t>(column) + 1);
    return 0;
}

// The format a cell shows when it carries none of its own: its row's, else its column's.
std::uint16_t shown_style(const Sheet &sheet, const Row &row, int column, const Cell &cell) {
    if (cell.style != 0) return cell.style;
    if (row.style != kNoRowStyle) return row.style;
    auto index = static_cast<std::size_t>(column);
    return index < sheet.columns.size() ? sheet.columns[index].style : 0;
}

// Maps an old XF reference to the new one through `change` (a set-cell operation on a scratch
// cell). A statement meets only a few distinct old formats, so each is looked up once.
template <typename Change>
class StyleMapper {
public:
    StyleMapper(Change &change) : change_(change) {}

    int map(std::uint16_t old_style, std::uint16_t &new_style) {
        if (has_last_ && old_style == last_old_) {
            new_style = last_new_;
            return 0;
        }
        if (const std::uint16_t *known = find(old_style)) {
            new_style = *known;
        } else {
            Cell scratch;
            scratch.style = old_style;
            if (int rc = change_(scratch); rc != 0) return rc;
            new_style = scratch.style;
            remember(old_style, new_style);
        }
        has_last_ = true;
        last_old_ = old_style;
        last_new_ = new_style;
        return 0;
    }

private:
    // An area holds few styles as a rule: they are kept in a short list, and a map takes the rest.
    static constexpr std::size_t kFew = 8;

    const std::uint16_t *find(std::uint16_t old_style) const {
        for (std::size_t i = 0; i < few_count_; ++i)
            if (few_[i].first == old_style) return &few_[i].second;
        if (auto found = more_.find(old_style); found != more_.end()) return &found->second;
        return nullptr;
    }
    void remember(std::uint16_t old_style, std::uint16_t new_style) {
        if (few_count_ < kFew) few_[few_count_++] = {old_style, new_style};
        else more_.emplace(old_style, new_style);
    }

    Change &change_;
    std::array<std::pair<std::uint16_t, std::uint16_t>, kFew> few_{};
    std::size_t few_count_ = 0;
    std::unordered_map<std::uint16_t, std::uint16_t> more_;
    bool has_last_ = false;
    std::uint16_t last_old_ = 0, last_new_ = 0;
};

// What a registry limit is called in the message a statement gives.
struct LimitName {
    const char *name;
    int limit;
};

constexpr LimitName kFontLimit{"Font Style", static_cast<int>(kMaxFont)};
constexpr LimitName kBorderLimit{"Border Style", static_cast<int>(kMaxXf)};
constexpr LimitName kFillLimit{"Fill Style", static_cast<int>(kMaxXf)};
constexpr LimitName kAlignLimit{"Align Style", static_cast<int>(kMaxXf)};
constexpr LimitName kFormatLimit{"STYLE", static_cast<int>(kMaxXf)};

int report(Book &book, int rc, const LimitName &limit) {
    if (rc == kLimit) return book.err.raise(kLimit, Msg::k03008, limit.name, limit.limit);
    return rc;
}

// Applies `change` to every cell of the target; `widen` also grows the sheet's used rows and
// each row's used columns over the rectangle (fills and borders do).
template <typename Change>
int apply_change(Book &book, const PropertyTarget &target, const LimitName &limit, bool widen, Change change) {
    Region region;
    switch (target_region(book, target, region)) {
    case RegionResult::kNoTarget: return 0;
    case RegionResult::kTooLarge:
        return book.err.raise(kLimit, Msg::k03009, static_cast<int>(kMaxFormattedCells), "apply_cell_property() range");
    case RegionResult::kRegion: break;
    }
    Sheet *sheet = target_sheet(book, target);
    if (!sheet) return book.err.raise(kFail, Msg::k03600, "apply_cell_property() sheet");

    StyleMapper<Change> mapper(change);
    auto restyle = [&](Row &row, int column) -> int {
        Cell &cell = row.cells[static_cast<std::size_t>(column)];
        std::uint16_t next = 0;
        if (int rc = mapper.map(shown_style(*sheet, row, column, cell), next); rc != 0) return report(book, rc, limit);
        cell.style = next;
        return 0;
    };

    // A row (column) style also reaches the cells before the region's first column (row);
    // those that show no format of their own are pinned to the one they show now.
    auto pin = [&](Row &row, int column) -> int {
        Cell &cell = row.cells[static_cast<std::size_t>(column)];
        if (cell.style != 0 || !written(cell)) return 0;
        std::uint16_t shown = shown_style(*sheet, row, column, cell);
        if (shown != 0) {
            cell.style = shown;
            return 0;
        }
        return report(book, set_cell_xf(book, cell, XfRecord{}), limit);
    };

    switch (region.scope) {
    case Scope::kCells:
        for (int r = region.row1; r <= region.row2; ++r) {
            if (ensure_cell(book, *sheet, r, region.column2) != 0) return book.err.raise(kNoMemory, Msg::k00002);
            Row &row = sheet->rows[static_cast<std::size_t>(r)];
            for (int c = region.column1; c <= region.column2; ++c)
                if (int rc = restyle(row, c); rc != 0) return rc;
            if (widen) {
                row.used = static_cast<std::uint16_t>(std::max<int>(row.used, region.column2 + 1));
                sheet->rows_used = std::max(sheet->rows_used, r + 1);
            }
        }
        return 0;

    case Scope::kRows: {
        if (ensure_row(book, *sheet, region.row2) != 0) return book.err.raise(kNoMemory, Msg::k00002);
        for (int r = region.row1; r <= region.row2; ++r) {
            Row &row = sheet->rows[static_cast<std::size_t>(r)];
            int end = std::min<int>(static_cast<int>(row.cells.size()) - 1, region.column2);
            for (int c = 0; c < std::min(region.column1, end + 1); ++c)
                if (int rc = pin(row, c); rc != 0) return rc;
            for (int c = region.column1; c <= end; ++c)
                if (written(row.cells[static_cast<std::size_t>(c)]))
                    if (int rc = restyle(row, c); rc != 0) return rc;
            std::uint16_t next = 0;
            std::uint16_t old = row.style == kNoRowStyle ? 0 : row.style;
            if (int rc = mapper.map(old, next); rc != 0) return report(book, rc, limit);
            row.style = next;
        }
        return 0;
    }

    case Scope::kColumns: {
        // Cells first: they read the column formats as they were.
        int rows = static_cast<int>(sheet->rows.size());
        for (int r = 0; r < rows; ++r) {
            Row &row = sheet->rows[static_cast<std::size_t>(r)];
            int end = std::min<int>(static_cast<int>(row.cells.size()) - 1, region.column2);
            for (int c = region.column1; c <= end; ++c) {
                int rc = r < region.row1 ? pin(row, c)
                         : written(row.cells[static_cast<std::size_t>(c)]) ? restyle(row, c)
                                                                          : 0;
                if (rc != 0) return rc;
            }
        }
        ensure_columns(*sheet, region.column2);
        for (int c = region.column1; c <= region.column2; ++c) {
            ColumnAttributes &column = sheet->columns[static_cast<std::size_t>(c)];
            std::uint16_t next = 0;
            if (int rc = mapper.map(column.style, next); rc != 0) return report(book, rc, limit);
            column.style = next;
        }
        return 0;
    }
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The statements

int bad_colour(Book &book, std::string_view value) {
    return book.err.raise(kBadArgument, Msg::k02401, std::string(value).c_str());
}

int read_colour(Book &book, std::string_view value, Colour &colour) {
    if (parse_colour(value, colour) != ColourParse::kColour) return bad_colour(book, value);
    return 0;
}

int apply_font(Book &book, int id, const PropertyTarget &target, std::string_view value) {
    static constexpr int kMasks[] = {kFontMaskName, kFontMaskStyle, kFontMaskSize, kFontMaskColour};
    int mask = kMasks[id - kPropFontName];
    FontRecord font;
    if (int rc = read_font_value(book, mask, value, font); rc != 0) return rc;
    return apply_change(book, target, kFontLimit, false,
                        [&](Cell &cell) { return set_cell_font(book, cell, mask, font); });
}

int apply_border(Book &book, int id, const PropertyTarget &target, std::string_view value) {
    BorderRecord border;
    int mask = 0;
    if (id == kPropBorderColor) {
        Colour colour;
        if (int rc = read_colour(book, value, colour); rc != 0) return rc;
        border.colour = colour.index;
        border.rgb = colour.rgb;
        mask = kBorderMaskColour;
    } else {
        std::uint8_t style = 0;
        if (!find_word(kLineStyles, value, style))
            return book.err.raise(kBadArgument, Msg::k02408, std::string(value).c_str());
        switch (id) {
        case kPropBorder:
            border.left = border.right = border.top = border.bottom = style;
            mask = kBorderMaskLeft | kBorderMaskRight | kBorderMaskTop | kBorderMaskBottom;
            break;
        case kPropBorderLeft: border.left = style, mask = kBorderMaskLeft; break;
        case kPropBorderRight: border.right = style, mask = kBorderMaskRight; break;
        case kPropBorderTop: border.top = style, mask = kBorderMaskTop; break;
        case kPropBorderBottom: border.bottom = style, mask = kBorderMaskBottom; break;
        case kPropBorderDiagonalUp: border.diagonal_up = style, mask = kBorderMaskDiagonalUp; break;
        default: border.diagonal_down = style, mask = kBorderMaskDiagonalDown; break;
        }
    }
    return apply_change(book, target, kBorderLimit, true,
                        [&](Cell &cell) { return set_cell_border(book, cell, mask, border); });
}

constexpr int kGradientMask =
    kFillMaskGradientColour1 | kFillMaskGradientColour2 | kFillMaskGradientKind | kFillMaskGradientVariation;

// The gradient a cell starts from when its fill is not a gradient yet.
FillRecord default_gradient() {
    FillRecord fill;
    fill.pattern = kFillGradient;
    fill.colour = kStyleColourRgb;
    fill.rgb = Rgb{0xFF, 0xFF, 0xFF};
    fill.colour2 = kStyleColourRgb;
    fill.rgb2 = Rgb{0x4F, 0x81, 0xBD};
    fill.gradient_variation = 1;
    return fill;
}

int apply_fill(Book &book, int id, const PropertyTarget &target, std::string_view value) {
    FillRecord fill;
    int mask = 0;
    switch (id) {
    case kPropFillColor: {
        Colour colour;
        if (int rc = read_colour(book, value, colour); rc != 0) return rc;
        fill.colour = colour.index;
        fill.rgb = colour.rgb;
        mask = kFillMaskColour;
        break;
    }
    case kPropFillPatternName:
        // An unknown name is no pattern.
        find_word(kPatterns, value, fill.pattern);
        mask = kFillMaskPattern;
        break;
    case kPropFillPatternColor: {
        // The pattern colour is kept as a palette index only, so only colour names fit.
        int index = colour_name_index(value);
        if (index == kNoPaletteColour) return bad_colour(book, value);
        fill.pattern_colour = static_cast<std::uint32_t>(index);
        mask = kFillMaskPatternColour;
        break;
    }
    default: return kFail;
    }
    return apply_change(book, target, kFillLimit, true,
                        [&](Cell &cell) { return set_cell_fill(book, cell, mask, fill); });
}

int apply_gradient(Book &book, int id, const PropertyTarget &target, std::string_view value) {
    FillRecord change = default_gradient();
    int mask = 0;
    switch (id) {
    case kPropGradationColor1:
    case kPropGradationColor2: {
        Colour colour;
        if (int rc = read_colour(book, value, colour); rc != 0) return rc;
        if (id == kPropGradationColor1) {
            change.colour = colour.index, change.rgb = colour.rgb, mask = kFillMaskGradientColour1;
        } else {
            change.colour2 = colour.index, change.rgb2 = colour.rgb, mask = kFillMaskGradientColour2;
        }
        break;
    }
    case kPropGradationKind:
        if (!find_word(kGradientKinds, value, change.gradient_kind))
            return book.err.raise(kBadArgument, Msg::k02409, std::string(value).c_str());
        mask = kFillMaskGradientKind;
        break;
    default: {
        double number = 0;
        if (!parse_number_form(value, number) || number < 0 || number > 255 || number != std::floor(number))
            return book.err.raise(kBadArgument, Msg::k02409, std::string(value).c_str());
        change.gradient_variation = static_cast<std::uint8_t>(number);
        mask = kFillMaskGradientVariation;
        break;
    }
    }
    // A cell whose fill is not a gradient yet starts from the default one, so that the first
    // gradient statement on it never shows black stops.
    return apply_change(book, target, kFillLimit, true, [&](Cell &cell) {
        XfRecord xf = cell_xf(book, cell);
        const auto &fills = book.styles.fills();
        bool gradient = cell.style != 0 && xf.fill < fills.size() && fills[xf.fill].pattern == kFillGradient;
        return set_cell_fill(book, cell, gradient ? mask : kGradientMask, change);
    });
}

int apply_text_flag(Book &book, int id, const PropertyTarget &target, std::string_view value) {
    int on = parse_switch(value);
    if (on == kNotASwitch) return book.err.raise(kBadArgument, Msg::k02200, std::string(value).c_str());
    if (on == 0) return 0;
    std::uint8_t flag = id == kPropWrap ? kTextWrap : id == kPropRotation ? kTextVertical : kTextShrink;
    return apply_change(book, target, kAlignLimit, false,
                        [&](Cell &cell) { return set_cell_text_flags(book, cell, flag); });
}

int apply_format(Book &book, const PropertyTarget &target, std::string_view value) {
    FormatChoice choice;
    if (!parse_format(value, choice)) return book.err.raise(kBadArgument, Msg::k02311, std::string(value).c_str());
    if (choice.how == FormatChoice::How::kText)
        return apply_change(book, target, kFormatLimit, false,
                            [&](Cell &cell) { return set_cell_text_format(book, cell); });

    int index = 0;
    if (choice.how == FormatChoice::How::kKindDecimals) {
        index = book.styles.find_num_format(choice.kind, choice.decimals);
        if (index == kIndexNotFound) {
            if (book.styles.num_formats().size() >= kMaxNumFormat)
                return book.err.raise(kLimit, Msg::k02319, static_cast<int>(kMaxNumFormat));
            NumFormat entry;
            entry.kind = choice.kind;
            entry.decimals = choice.decimals;
            if (int rc = append_num_format(book, entry, index); rc != 0) return rc;
        }
    } else if (int rc = tsx_set_num_format(book, choice.kind, index); rc != 0) {
        if (rc == kLimit) return book.err.raise(kLimit, Msg::k02319, static_cast<int>(kMaxNumFormat));
        return rc;
    }
    auto table_index = static_cast<std::uint32_t>(index);
    return apply_change(book, target, kFormatLimit, false,
                        [&](Cell &cell) { return set_cell_number_format(book, cell, table_index); });
}

int needs_range(Book &book, const PropertyTarget &target, const char *what) {
    if (target.area_count == 1) return 0;
    return book.err.raise(kBadArgument, Msg::k02101, what);
}

bool overlaps(const MergeArea &a, const TargetArea &b) {
    int r1 = std::min(a.row1, a.row2), r2 = std::max(a.row1, a.row2);
    int c1 = std::min(a.column1, a.column2), c2 = std::max(a.column1, a.column2);
    return r1 <= b.row2 && b.row1 <= r2 && c1 <= b.column2 && b.column1 <= c2;
}

int apply_merge(Book &book, const PropertyTarget &target, std::string_view value) {
    if (int rc = needs_range(book, target, "MERGE"); rc != 0) return rc;
    int on = parse_switch(value);
    if (on == kNotASwitch) return book.err.raise(kBadArgument, Msg::k02200, std::string(value).c_str());
    if (on == 0) return 0;
    Sheet *sheet = target_sheet(book, target);
    TargetArea rect;
    if (!sheet || !target_rectangle(book, target, rect)) return 0;
    for (const auto &merge : sheet->merges)
        if (overlaps(merge, rect)) return book.err.raise(kBadArgument, Msg::k02410);
    // One cell merged with itself is no merge; a workbook would have to repair it.
    if (rect.row1 == rect.row2 && rect.column1 == rect.column2) return 0;
    auto cells = static_cast<long long>(rect.row2 - rect.row1 + 1) * (rect.column2 - rect.column1 + 1);
    if (cells <= static_cast<long long>(kMaxFormattedCells)) {
        for (int r = rect.row1; r <= rect.row2; ++r)
            if (ensure_cell(book, *sheet, r, rect.column2) != 0) return book.err.raise(kNoMemory, Msg::k00002);
    }
    sheet->merges.push_back(MergeArea{rect.row1, rect.column1, rect.row2, rect.column2});
    return 0;
}

int apply_filter(Book &book, const PropertyTarget &target, std::string_view value) {
    if (int rc = needs_range(book, target, "フィルター(FILTER)"); rc != 0) return rc;
    if (parse_switch(value) != 1) return 0;
    Sheet *sheet = target_sheet(book, target);
    TargetArea rect;
    if (!sheet || !target_rectangle(book, target, rect)) return 0;
    SheetSettings &s = sheet->settings;
    s.filter_row1 = rect.row1, s.filter_column1 = rect.column1;
    s.filter_row2 = rect.row2, s.filter_column2 = rect.column2;
    return 0;
}

// Heights and widths are what a workbook accepts: rows up to 409 points, columns up to 255
// characters; anything else would make the saved file need repair.
constexpr double kMaxRowPoints = 409.0;
constexpr double kMaxColumnChars = 255.0;
constexpr double kWidthPadding = 0.625;

int apply_height(Book &book, const PropertyTarget &target, std::string_view value) {
    double points = 0;
    if (!parse_number_form(value, points) || points < 0 || points > kMaxRowPoints)
        return book.err.raise(kBadArgument, Msg::k02302, std::string(value).c_str());
    Sheet *sheet = target_sheet(book, target);
    TargetArea rect;
    if (!sheet || !target_rectangle(book, target, rect)) return 0;
    if (ensure_row(book, *sheet, rect.row2) != 0) return book.err.raise(kNoMemory, Msg::k00002);
    auto hundredths = static_cast<std::int16_t>(static_cast<int>(points * 100.0));
    for (int r = rect.row1; r <= rect.row2; ++r) {
        Row &row = sheet->rows[static_cast<std::size_t>(r)];
        if (!row.attributes) row.attributes = std::make_unique<RowAttributes>();
        row.attributes->height = hundredths;
        row.height_flag = 0;
    }
    sheet->rows_used = std::max(sheet->rows_used, rect.row2 + 1);
    return 0;
}

int apply_width(Book &book, const PropertyTarget &target, std::string_view value) {
    double chars = 0;
    if (!parse_number_form(value, chars) || chars < 0 || chars > kMaxColumnChars - kWidthPadding)
        return book.err.raise(kBadArgument, Msg::k02302, std::string(value).c_str());
    Sheet *sheet = target_sheet(book, target);
    TargetArea rect;
    if (!sheet || !target_rectangle(book, target, rect)) return 0;
    ensure_columns(*sheet, rect.column2);
    for (int c = rect.column1; c <= rect.column2; ++c) {
        sheet->columns[static_cast<std::size_t>(c)].width = chars + kWidthPadding;
        // Marks the width as the caller's, which automatic widths leave alone.
        sheet->column_flags[static_cast<std::size_t>(c)] = 0;
    }
    return 0;
}

void add_break(std::vector<int> &breaks, int position) {
    auto at = std::lower_bound(breaks.begin(), breaks.end(), position);
    if (at == breaks.end() || *at != position) breaks.insert(at, position);
}

int apply_new_page(Book &book, const PropertyTarget &target) {
    if (target.area_count > 0) return book.err.raise(kBadArgument, Msg::k02100, "NEWPAGE/改ページ");
    Sheet *sheet = target_sheet(book, target);
    if (!sheet) return 0;
    // A break goes before the row (column) named; there is nothing before the first one.
    // The stored number is the 1-based number of the last row (column) before the break.
    if (target.row > 0 && target.row < book.max_rows) add_break(sheet->settings.row_breaks, target.row);
    if (target.column > 0 && target.column < book.max_columns)
        add_break(sheet->settings.column_breaks, target.column);
    return 0;
}

int apply_auto_width(Book &book, std::string_view value) {
    int on = parse_switch(value);
    if (on != kNotASwitch) book.settings.auto_width = on == 1;
    return 0;
}

}  // namespace

int parse_switch(std::string_view value) {
    if (equals_ignore_case(value, "TRUE") || value == "する") return 1;
    if (equals_ignore_case(value, "FALSE") || value == "しない") return 0;
    return kNotASwitch;
}

bool parse_number_form(std::string_view value, double &number) {
    std::string plain;
    std::size_t i = 0;
    if (!value.empty() && (value[0] == '+' || value[0] == '-')) plain.push_back(value[i++]);
    bool digit = false, point = false;
    for (; i < value.size(); ++i) {
        char c = value[i];
        if (c >= '0' && c <= '9') {
            digit = true;
            plain.push_back(c);
        } else if (c == ',') {
            continue;
        } else if (c == '.' && !point) {
            point = true;
            plain.push_back(c);
        } else {
            return false;
        }
    }
    if (!digit) return false;
    number = std::strtod(plain.c_str(), nullptr);
    return std::isfinite(number);
}

int read_font_value(Book &book, int font_mask, std::string_view value, FontRecord &font) {
    auto bad_font = [&] { return book.err.raise(kBadArgument, Msg::k02403, std::string(value).c_str()); };
    switch (font_mask) {
    case kFontMaskName: {
        std::uint8_t name_id = 0;
        if (find_word(kFontNames, value, name_id)) {
            font.name_id = name_id;
            font.name.clear();
            return 0;
        }
        if (value.empty() || value.size() > kFontNameBytes) return bad_font();
        font.name_id = kFontNameOwn;
        font.name.assign(value);
        return 0;
    }
    case kFontMaskStyle:
        if (!find_word(kFontStyles, value, font.style)) return bad_font();
        return 0;
    case kFontMaskSize: {
        double points = 0;
        if (!parse_number_form(value, points)) return bad_font();
        // The whole points; a size a workbook cannot show is refused rather than saved.
        double whole = std::trunc(points);
        if (whole < 1 || whole > kMaxFontPoints) return bad_font();
        font.size = static_cast<std::uint16_t>(whole);
        return 0;
    }
    case kFontMaskColour: {
        Colour colour;
        if (parse_colour(value, colour) != ColourParse::kColour) return bad_colour(book, value);
        font.colour = colour.index;
        font.rgb = colour.index == 0 ? Rgb{} : colour.rgb;
        return 0;
    }
    default: return book.err.raise(kFail, Msg::k03600, "read_font_value()");
    }
}

int apply_cell_property(Book &book, int id, const PropertyTarget &target, std::string_view value) {
    if (id == kPropAutoWidth) return apply_auto_width(book, value);
    if (!has_target(target)) return 0;
    switch (id) {
    case kPropHeight: return apply_height(book, target, value);
    case kPropNewPage: return apply_new_page(book, target);
    case kPropWidth: return apply_width(book, target, value);
    case kPropBorder:
    case kPropBorderLeft:
    case kPropBorderRight:
    case kPropBorderTop:
    case kPropBorderBottom:
    case kPropBorderColor:
    case kPropBorderDiagonalUp:
    case kPropBorderDiagonalDown: return apply_border(book, id, target, value);
    case kPropFontName:
    case kPropFontStyle:
    case kPropFontSize:
    case kPropFontColor: return apply_font(book, id, target, value);
    case kPropFillColor:
    case kPropFillPatternName:
    case kPropFillPatternColor: return apply_fill(book, id, target, value);
    case kPropGradationColor1:
    case kPropGradationColor2:
    case kPropGradationKind:
    case kPropGradationVariation: return apply_gradient(book, id, target, value);
    case kPropAlign: {
        std::uint8_t code = 0;
        if (!find_word(kAlignments, value, code))
            return book.err.raise(kBadArgument, Msg::k02405, std::string(value).c_str());
        return apply_change(book, target, kAlignLimit, false,
                            [&](Cell &cell) { return set_cell_align(book, cell, code); });
    }
    case kPropWrap:
    case kPropRotation:
    case kPropShrink: return apply_text_flag(book, id, target, value);
    case kPropMerge: return apply_merge(book, target, value);
    case kPropFormat: return apply_format(book, target, value);
    case kPropFilter: return apply_filter(book, target, value);
    default: return book.err.raise(kFail, Msg::k03600, "apply_cell_property()");
    }
}

}  // namespace tabsmith
