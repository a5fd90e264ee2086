// The per-book style registry: cell formats (XF), fonts, fills, borders and number formats,
// their find-or-append rules and limits, and the operations that change one cell's format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "model/settings.h"
#include "support/results.h"

namespace tabsmith {

struct Book;
struct Cell;

// What the model's index lookups (styles here, sheets in the book) answer when nothing matches.
constexpr int kIndexNotFound = -1;

constexpr std::size_t kMaxXf = 64000;          // MAX_XF
constexpr std::size_t kMaxFont = 512;          // MAX_FONT
constexpr std::size_t kMaxNumFormat = 500;     // TSX_MAX_NUMFORMAT

// Colour fields: 0 = automatic/none, this value = the record's RGB bytes, else a palette index.
constexpr std::uint32_t kStyleColourRgb = kColorRgb;

// Bottom-left: the code of a cell format no ALIGN has touched. Such a format leaves the
// horizontal alignment to the reader (numbers right, texts left), so it is told apart from an
// explicit bottom-left by XfRecord::align_explicit.
constexpr std::uint8_t kAlignDefault = 31;
constexpr std::uint8_t kFontNameOwn = 255;     // the font record's own name text is used

// XF format modes.
constexpr std::uint8_t kFormatBuiltin = 0;
constexpr std::uint8_t kFormatTable = 1;       // format = 1-based number-format table index
constexpr std::uint8_t kFormatText = 2;        // text entry, written with a quote prefix

// Text flags.
constexpr std::uint8_t kTextVertical = 1;
constexpr std::uint8_t kTextWrap = 2;
constexpr std::uint8_t kTextShrink = 4;

// Font style flags.
constexpr std::uint8_t kFontItalic = 1;
constexpr std::uint8_t kFontBold = 2;
constexpr std::uint8_t kFontUnderline = 4;
constexpr std::uint8_t kFontHyperlink = 8;

constexpr std::uint32_t kFillNone = 0;
constexpr std::uint32_t kFillSolid = 1;
constexpr std::uint32_t kFillGray125 = 5;
constexpr std::uint32_t kFillGradient = 100;

// Masks of the set-cell operations: which fields of the caller's record are taken.
constexpr int kFontMaskName = 1, kFontMaskSize = 2, kFontMaskStyle = 4, kFontMaskColour = 8;
constexpr int kFillMaskPattern = 2, kFillMaskColour = 4, kFillMaskPatternColour = 8,
              kFillMaskGradientColour1 = 16, kFillMaskGradientColour2 = 32, kFillMaskGradientKind = 64,
              kFillMaskGradientVariation = 128;
constexpr int kBorderMaskLeft = 1, kBorderMaskRight = 2, kBorderMaskTop = 4, kBorderMaskBottom = 8,
              kBorderMaskColour = 16, kBorderMaskDiagonalUp = 32, kBorderMaskDiagonalDown = 64;

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Rgb &) const = default;
};

// The RGB a colour field stands for: the explicit bytes, or the palette entry of an index
// (unknown indexes are black).
Rgb colour_rgb(std::uint32_t colour, Rgb explicit_rgb);
Rgb palette_rgb(std::uint32_t index);

// Names the writer uses for the registry's codes.
std::string_view builtin_font_name(std::uint8_t name_id);   // name ids other than 255
std::string_view fill_pattern_name(std::uint32_t pattern);  // "none" for unknown codes
std::string_view border_style_name(std::uint8_t style);     // "thin" for unknown codes

struct XfRecord {
    std::uint32_t format = 0;       // built-in id (mode 0) or 1-based number-format index (mode 1)
    std::uint32_t font = 0;         // 0-based
    std::uint32_t fill = 0;         // 0-based; 0 and 1 are reserved
    std::uint32_t border = 0;       // 0 = none, n = border record n-1
    std::uint32_t style_xf = 0;     // written as xfId
    std::uint8_t align = kAlignDefault;
    std::uint8_t pattern = 0;
    std::uint8_t format_mode = kFormatBuiltin;
    std::uint8_t text_flags = 0;
    bool align_explicit = false;    // align was given by set_cell_align, even when it is the default
    bool operator==(const XfRecord &) const = default;
};

struct FontRecord {
    std::uint8_t name_id = 10;
    std::uint16_t size = 11;
    std::uint8_t style = 0;
    std::uint32_t colour = 0;
    Rgb rgb;
    std::string name;               // UTF-8, used when name_id is kFontNameOwn
    bool operator==(const FontRecord &) const = default;
};

struct FillRecord {
    std::uint32_t pattern = kFillNone;
    std::uint32_t pattern_colour = 0;   // palette index, 0 = none
    std::uint32_t colour = 0;           // fill colour; the first stop of a gradient
    Rgb rgb;
    std::uint8_t gradient_kind = 0;
    std::uint8_t gradient_variation = 0;
    std::uint32_t colour2 = 0;          // the second stop of a gradient
    Rgb rgb2;
    bool operator==(const FillRecord &) const = default;
};

struct BorderRecord {
    std::uint8_t left = 0, right = 0, top = 0, bottom = 0, diagonal_up = 0, diagonal_down = 0;
    std::uint32_t colour = 0;
    Rgb rgb;
    bool operator==(const BorderRecord &) const = default;
};

struct NumFormat {
    std::uint16_t kind = 0;
    std::uint16_t assigned_id = 0;  // numFmtId given when the styles part is written
    std::uint8_t decimals = 0;
    std::uint8_t second = 0;
    std::string code;               // plain UTF-8 format text (escaped only when written)
};

namespace style_detail {
struct XfHash { std::size_t operator()(const XfRecord &) const noexcept; };
struct FontHash { std::size_t operator()(const FontRecord &) const noexcept; };
struct FillHash { std::size_t operator()(const FillRecord &) const noexcept; };
struct BorderHash { std::size_t operator()(const BorderRecord &) const noexcept; };
}  // namespace style_detail

// The five tables. Records are only ever appended, so an index stays valid for the book's life;
// each table keeps a hash of record -> first index so that lookups stay constant-time while
// still answering with the first equal record, as a scan from index 0 would.
class StyleRegistry {
public:
    StyleRegistry();

    // Replaces every table with the contents of a new book: 0, or -2 when memory runs out (the
    // tables are then incomplete and the book must not be used).
    int seed_defaults();
    // Empties every table (a package's own records replace the defaults).
    void clear_tables();
    // Empties the XF table (a template's own cell formats replace the presets).
    void clear_xfs();

    const std::vector<XfRecord> &xfs() const { return xfs_; }
    const std::vector<FontRecord> &fonts() const { return fonts_; }
    const std::vector<FillRecord> &fills() const { return fills_; }
    const std::vector<BorderRecord> &borders() const { return borders_; }
    const std::vector<NumFormat> &num_formats() const { return num_formats_; }

    std::uint32_t hyperlink_font() const { return hyperlink_font_; }
    std::uint32_t hyperlink_xf() const { return hyperlink_xf_; }

    // 0-based index of the first equal record, or kIndexNotFound.
    int find_xf(const XfRecord &record) const;
    int find_font(const FontRecord &record) const;
    int find_fill(const FillRecord &record) const;
    // 1-based (the XF's border reference), or kIndexNotFound.
    int find_border(const BorderRecord &record) const;
    // 1-based index of the first entry of the kind (and decimals), or kIndexNotFound.
    int find_num_format(std::uint16_t kind) const;
    int find_num_format(std::uint16_t kind, std::uint8_t decimals) const;

    // Appends without the count limits (the book-level functions below check those).
    // Each returns 0 or kNoMemory; on kNoMemory the table is unchanged.
    int append(const XfRecord &record);
    int append(const FontRecord &record);
    int append(const FillRecord &record);
    int append(const BorderRecord &record);
    int append(const NumFormat &record);

    // Gives every number-format entry the numFmtId it is saved under: 176 upwards in entry order,
    // skipping 185, 195 and 205; the built-in h:mm:ss kind keeps its built-in id and takes none.
    // A step of preparing the save; not a compared field.
    void assign_format_ids();
    // The same for a book read from a package, whose first `package_entries` entries keep the
    // ids they had there: the entries after them take added_format_ids().
    void assign_added_format_ids(std::size_t package_entries);

private:
    std::vector<XfRecord> xfs_;
    std::vector<FontRecord> fonts_;
    std::vector<FillRecord> fills_;
    std::vector<BorderRecord> borders_;
    std::vector<NumFormat> num_formats_;
    std::unordered_map<XfRecord, std::uint32_t, style_detail::XfHash> xf_index_;
    std::unordered_map<FontRecord, std::uint32_t, style_detail::FontHash> font_index_;
    std::unordered_map<FillRecord, std::uint32_t, style_detail::FillHash> fill_index_;
    std::unordered_map<BorderRecord, std::uint32_t, style_detail::BorderHash> border_index_;
    std::unordered_map<std::uint16_t, std::uint32_t> kind_index_;
    std::unordered_map<std::uint32_t, std::uint32_t> kind_decimals_index_;
    std::uint32_t hyperlink_font_ = 0;
    std::uint32_t hyperlink_xf_ = 0;
};

// The numFmtIds the entries after the first `package_entries` (which came from a package) are
// saved under: upwards in entry order from above every id the package uses (at least from 164,
// where the ids of a book's own formats begin); 0 for the built-in h:mm:ss kind, which takes none.
// `highest_package_id` adds an id the package uses beyond those of its entries.
std::vector<std::uint16_t> added_format_ids(const std::vector<NumFormat> &formats, std::size_t package_entries,
                                            std::uint32_t highest_package_id = 0);

// Book-level appends: 0, kNoMemory (TXLS-00002) or kLimit (TXLS-03009 naming the limit).
int tsx_set_xf(Book &book, const XfRecord &record);
int tsx_set_font(Book &book, const FontRecord &record);
int append_fill(Book &book, const FillRecord &record);
int append_border(Book &book, const BorderRecord &record);
// Finds the first entry of `kind` or appends one (assigned id 0, decimals 0, no code);
// `index` receives the 1-based entry index. 0, kNoMemory or kLimit.
int tsx_set_num_format(Book &book, std::uint16_t kind, int &index);
// Appends an entry as given (decimal kinds, readers); `index` receives its 1-based index.
int append_num_format(Book &book, const NumFormat &record, int &index);

// The format a cell shows: its XF record, or the book default for reference 0 (or a
// reference past the table).
XfRecord cell_xf(const Book &book, const Cell &cell);

// Change one component of a cell's format and store the resulting XF reference in the cell.
// Each returns 0 or the failing append's code (kNoMemory, kLimit).
int set_cell_align(Book &book, Cell &cell, std::uint8_t code);
int set_cell_text_flags(Book &book, Cell &cell, std::uint8_t flags);
int set_cell_font(Book &book, Cell &cell, int mask, const FontRecord &font);
int set_cell_fill(Book &book, Cell &cell, int mask, const FillRecord &fill);
int set_cell_border(Book &book, Cell &cell, int mask, const BorderRecord &border);
int set_cell_number_format(Book &book, Cell &cell, std::uint32_t table_index);
// Marks the cell's format as a text entry (format mode 2).
int set_cell_text_format(Book &book, Cell &cell);
// Gives the cell the given XF, found or appended.
int set_cell_xf(Book &book, Cell &cell, const XfRecord &xf);

// Applies the border change to every cell of the rectangle (corners in any order), creating
// the cells and widening the sheet's used rows and columns. 0, -1 (no such sheet) or the first
// failing cell's code (kNoMemory, kLimit).
int set_range_border(Book &book, int sheet, int row1, int column1, int row2, int column2, int mask,
                     const BorderRecord &border);

}  // namespace tabsmith
