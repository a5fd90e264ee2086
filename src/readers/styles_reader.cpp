// The styles part of a package: number formats, fonts, fills, borders and cell formats become
// the book's style tables, numbered so that a cell's s="k" is its style reference k.

#include <algorithm>
#include <charconv>

#include "format/number_format.h"
#include "readers/xlsx_parts.h"
#include "readers/xml_scanner.h"

namespace tabsmith {

namespace {

long to_long(std::string_view text, long fallback = 0) {
    long value = fallback;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() ? value : fallback;
}

double to_double(std::string_view text, double fallback = 0.0) {
    double value = fallback;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() ? value : fallback;
}

bool flag_on(const XmlScanner &scanner) {
    std::string_view value;
    return !scanner.attribute("val", value) || value == "1" || value == "true";
}

// A colour element as the registry codes it: explicit RGB or a palette index; theme colours
// and "automatic" have no code of their own and stay 0.
void read_colour(const XmlScanner &scanner, std::uint32_t &colour, Rgb &rgb) {
    std::string_view value;
    if (scanner.attribute("rgb", value) && value.size() >= 6) {
        std::string_view hex = value.substr(value.size() - 6);
        unsigned bytes = 0;
        if (std::from_chars(hex.data(), hex.data() + 6, bytes, 16).ec == std::errc()) {
            colour = kStyleColourRgb;
            rgb = Rgb{static_cast<std::uint8_t>(bytes >> 16), static_cast<std::uint8_t>(bytes >> 8),
                      static_cast<std::uint8_t>(bytes)};
        }
    } else if (scanner.attribute("indexed", value)) {
        long index = to_long(value, -1);
        if (index > 0 && index < 64) colour = static_cast<std::uint32_t>(index);
    }
}

std::uint8_t border_style_code(std::string_view name) {
    static constexpr std::pair<std::string_view, std::uint8_t> kStyles[] = {
        {"thin", 1},          {"hair", 2},          {"thick", 3},          {"dotted", 4},
        {"medium", 5},        {"double", 6},        {"dashed", 11},        {"dashDot", 12},
        {"dashDotDot", 13},   {"mediumDashed", 21}, {"mediumDashDot", 22}, {"mediumDashDotDot", 23},
        {"slantDashDot", 31},
    };
    for (const auto &[style_name, code] : kStyles)
        if (style_name == name) return code;
    return 0;
}

std::uint32_t fill_pattern_code(std::string_view name) {
    for (std::uint32_t code = 0; code < 19; ++code)
        if (fill_pattern_name(code) == name) return code;
    return kFillNone;
}

// The registry's alignment code (row: top 1x, centre 2x, bottom 3x; column: left, centre,
// right) from the two alignment attributes.
std::uint8_t alignment_code(std::string_view vertical, std::string_view horizontal, bool &explicit_align) {
    int row = vertical == "top" ? 1 : vertical == "center" ? 2 : 3;
    int column = horizontal == "center" ? 2 : horizontal == "right" ? 3 : 1;
    explicit_align = !horizontal.empty() && horizontal != "general";
    return static_cast<std::uint8_t>(row * 10 + column);
}

enum class Section { kNone, kNumFmts, kFonts, kFills, kBorders, kCellXfs, kOther };

struct StylesState {
    Book &book;
    Section section = Section::kNone;
    FontRecord font;
    FillRecord fill;
    BorderRecord border;
    XfRecord xf;
    bool xf_open = false;
    std::size_t borders_seen = 0, xfs_seen = 0;
    std::uint8_t *border_side = nullptr;
    bool in_fill = false;
    bool gradient_second = false;
    int rc = kOk;
};

void start_element(StylesState &state, const XmlScanner &scanner) {
    std::string_view name = scanner.local_name();
    std::string_view value;
    switch (state.section) {
    case Section::kNone:
    case Section::kOther:
        if (scanner.depth() != 2) return;
        if (name == "numFmts") state.section = Section::kNumFmts;
        else if (name == "fonts") state.section = Section::kFonts;
        else if (name == "fills") state.section = Section::kFills;
        else if (name == "borders") state.section = Section::kBorders;
        else if (name == "cellXfs") state.section = Section::kCellXfs;
        else state.section = Section::kOther;
        return;
    case Section::kNumFmts:
        if (name == "numFmt") {
            NumFormat format;
            std::string_view id, code;
            scanner.attribute("numFmtId", id);
            scanner.attribute("formatCode", code);
            long number = to_long(id, -1);
            if (number < 0 || number > 65535) return;
            xml_decode_append(format.code, code);
            format.assigned_id = static_cast<std::uint16_t>(number);
            format.kind = static_cast<std::uint16_t>(format_code_kind(format.code));
            format.decimals = static_cast<std::uint8_t>(format_code_decimals(format.code));
            // Formats past the table's limit are dropped: their cells show as General.
            if (state.book.styles.num_formats().size() >= kMaxNumFormat) return;
            if (state.book.styles.append(format) != kOk) state.rc = kNoMemory;
        }
        return;
    case Section::kFonts:
        if (name == "font") state.font = FontRecord{};
        else if (name == "b" && flag_on(scanner)) state.font.style |= kFontBold;
        else if (name == "i" && flag_on(scanner)) state.font.style |= kFontItalic;
        else if (name == "u" && (!scanner.attribute("val", value) || value != "none")) state.font.style |= kFontUnderline;
        else if (name == "sz" && scanner.attribute("val", value))
            state.font.size = static_cast<std::uint16_t>(std::clamp(to_double(value, 11.0), 1.0, 409.0));
        else if (name == "color") read_colour(scanner, state.font.colour, state.font.rgb);
        else if (name == "name" && scanner.attribute("val", value)) {
            state.font.name_id = kFontNameOwn;
            state.font.name.clear();
            xml_decode_append(state.font.name, value);
        }
        return;
    case Section::kFills:
        if (name == "fill") {
            state.fill = FillRecord{};
            state.gradient_second = false;
        } else if (name == "patternFill") {
            state.fill.pattern = scanner.attribute("patternType", value) ? fill_pattern_code(value) : kFillNone;
        } else if (name == "gradientFill") {
            state.fill.pattern = kFillGradient;
            state.fill.gradient_kind = 1;
        } else if (name == "fgColor") {
            read_colour(scanner, state.fill.colour, state.fill.rgb);
        } else if (name == "bgColor") {
            read_colour(scanner, state.fill.pattern_colour, state.fill.rgb2);
        } else if (name == "color" && state.fill.pattern == kFillGradient) {
            if (state.gradient_second) read_colour(scanner, state.fill.colour2, state.fill.rgb2);
            else read_colour(scanner, state.fill.colour, state.fill.rgb);
            state.gradient_second = true;
        }
        return;
    case Section::kBorders:
        if (name == "border") {
            state.border = BorderRecord{};
            state.border_side = nullptr;
            if (scanner.attribute("diagonalUp", value) && (value == "1" || value == "true")) state.border.diagonal_up = 1;
            if (scanner.attribute("diagonalDown", value) && (value == "1" || value == "true"))
                state.border.diagonal_down = 1;
            return;
        }
        if (name == "left" || name == "start") state.border_side = &state.border.left;
        else if (name == "right" || name == "end") state.border_side = &state.border.right;
        else if (name == "top") state.border_side = &state.border.top;
        else if (name == "bottom") state.border_side = &state.border.bottom;
        else if (name == "diagonal") state.border_side = nullptr;
        else if (name == "color" && state.border_side && *state.border_side != 0)
            read_colour(scanner, state.border.colour, state.border.rgb);
        if (state.border_side && name != "color")
            *state.border_side = scanner.attribute("style", value) ? border_style_code(value) : 0;
        return;
    case Section::kCellXfs:
        if (name == "xf") {
            state.xf = XfRecord{};
            state.xf_open = true;
            if (scanner.attribute("numFmtId", value)) {
                long id = to_long(value);
                state.xf.format = static_cast<std::uint32_t>(std::max(0L, id));
                // A format of the package's own table is referred to by its table index.
                const auto &formats = state.book.styles.num_formats();
                for (std::size_t k = 0; k < formats.size(); ++k) {
                    if (formats[k].assigned_id == id) {
                        state.xf.format_mode = kFormatTable;
                        state.xf.format = static_cast<std::uint32_t>(k + 1);
                        break;
                    }
                }
            }
            if (scanner.attribute("fontId", value)) state.xf.font = static_cast<std::uint32_t>(std::max(0L, to_long(value)));
            if (scanner.attribute("fillId", value)) state.xf.fill = static_cast<std::uint32_t>(std::max(0L, to_long(value)));
            if (scanner.attribute("borderId", value))
                state.xf.border = static_cast<std::uint32_t>(std::max(0L, to_long(value)));
            if (scanner.attribute("xfId", value)) state.xf.style_xf = static_cast<std::uint32_t>(std::max(0L, to_long(value)));
            if (scanner.attribute("quotePrefix", value) && (value == "1" || value == "true"))
                state.xf.format_mode = kFormatText;
        } else if (name == "alignment" && state.xf_open) {
            std::string_view vertical, horizontal;
            scanner.attribute("vertical", vertical);
            scanner.attribute("horizontal", horizontal);
            bool explicit_align = false;
            state.xf.align = alignment_code(vertical, horizontal, explicit_align);
            state.xf.align_explicit = explicit_align;
            if (scanner.attribute("wrapText", value) && (value == "1" || value == "true")) state.xf.text_flags |= kTextWrap;
            if (scanner.attribute("shrinkToFit", value) && (value == "1" || value == "true"))
                state.xf.text_flags |= kTextShrink;
            if (scanner.attribute("textRotation", value) && value == "255") state.xf.text_flags |= kTextVertical;
        }
        return;
    }
}

void end_element(StylesState &state, const XmlScanner &scanner) {
    std::string_view name = scanner.local_name();
    if (scanner.depth() == 1) {
        state.section = Section::kNone;
        return;
    }
    switch (state.section) {
    case Section::kFonts:
        if (name == "font" && state.book.styles.append(state.font) != kOk) state.rc = kNoMemory;
        break;
    case Section::kFills:
        if (name == "fill" && state.book.styles.append(state.fill) != kOk) state.rc = kNoMemory;
        break;
    case Section::kBorders:
        if (name == "border") {
            // Border 0 is the no-line border every cell format without one names.
            if (state.borders_seen++ > 0 && state.book.styles.append(state.border) != kOk) state.rc = kNoMemory;
        } else if (name == "left" || name == "right" || name == "top" || name == "bottom" || name == "start" ||
                   name == "end") {
            state.border_side = nullptr;
        }
        break;
    case Section::kCellXfs:
        if (name == "xf") {
            state.xf_open = false;
            // Cell format 0 is the default every cell without s="k" shows.
            if (state.book.styles.xfs().size() + 1 > kMaxXf) state.rc = kLimit;
            else if (state.xfs_seen++ > 0 && state.book.styles.append(state.xf) != kOk) state.rc = kNoMemory;
        }
        break;
    default: break;
    }
}

}  // namespace

int read_styles_part(Book &book, std::string_view text, PartFault *fault) {
    book.styles.clear_tables();
    StylesState state{book, Section::kNone, {}, {}, {}, {}};
    XmlScanner scanner(text);
    for (XmlToken token; state.rc == kOk && (token = scanner.next()) != XmlToken::kEndOfInput;) {
        if (token == XmlToken::kStart) start_element(state, scanner);
        else if (token == XmlToken::kEnd) end_element(state, scanner);
    }
    if (state.rc == kLimit && fault) *fault = {scanner.token_begin(), "セルの書式の数が上限を超えています"};
    if (state.rc != kOk) return state.rc;
    if (fault && scanner.error() != kOk) *fault = scanner.fault();
    return scanner.error();
}

}  // namespace tabsmith
