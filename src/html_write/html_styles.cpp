// CSS for the cell formats of the style registry: each format becomes the declarations of one
// class, from its font, fill, border and alignment records.

#include "html_write/html_styles.h"

#include <charconv>
#include <cmath>

#include "html_write/html_text.h"

namespace tabsmith {
namespace {

using namespace std::string_view_literals;

// A column's width counts characters of the default font, whose digits are 7 pixels wide;
// heights are points, 96 pixels to 72 points.
constexpr double kDigitPixels = 7.0;
constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr double kHundredths = 100.0;

// Alignment codes of the registry: tens the vertical (1 top, 2 centre, 3 bottom), units the
// horizontal (1 left, 2 centre, 3 right).
constexpr int kAlignTens = 10;
constexpr int kAlignTop = 1, kAlignMiddle = 2;
constexpr int kAlignLeft = 1, kAlignCentre = 2, kAlignRight = 3;

constexpr std::string_view kFontFallback = ",sans-serif"sv;

void append_css_number(std::string &out, long value) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, static_cast<std::size_t>(end - digits));
}

void append_hex_colour(std::string &out, Rgb rgb) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('#');
    for (std::uint8_t byte : {rgb.red, rgb.green, rgb.blue}) {
        out.push_back(kHex[byte >> 4]);
        out.push_back(kHex[byte & 15]);
    }
}

// One side's border: "1px solid #000000", from the registry's style code.
void append_border_side(std::string &out, std::string_view side, std::uint8_t code, const BorderRecord &border) {
    if (code == 0) return;
    const std::string_view name = border_style_name(code);
    int width = 1;
    std::string_view style = "solid"sv;
    if (name == "double"sv) width = 3, style = "double"sv;
    else if (name == "thick"sv) width = 3;
    else if (name.starts_with("medium"sv)) width = 2;
    if (name == "dotted"sv || name == "hair"sv) style = "dotted"sv;
    else if (name.find("ash"sv) != std::string_view::npos) style = "dashed"sv;
    out.append("border-"sv).append(side).push_back(':');
    append_css_number(out, width);
    out.append("px "sv).append(style).push_back(' ');
    append_hex_colour(out, border.colour == 0 ? Rgb{} : colour_rgb(border.colour, border.rgb));
    out.push_back(';');
}

void append_font_css(const Book &book, const XfRecord &xf, std::string &out) {
    const auto &fonts = book.styles.fonts();
    if (xf.font >= fonts.size()) return;
    const FontRecord &font = fonts[xf.font];
    out.append("font-family:\""sv);
    css_string_append(out, font.name_id == kFontNameOwn ? std::string_view(font.name) : builtin_font_name(font.name_id));
    out.append("\""sv).append(kFontFallback).append(";font-size:"sv);
    append_css_number(out, font.size);
    out.append("pt;"sv);
    out.append(font.style & kFontBold ? "font-weight:bold;"sv : "font-weight:normal;"sv);
    out.append(font.style & kFontItalic ? "font-style:italic;"sv : "font-style:normal;"sv);
    out.append(font.style & kFontUnderline ? "text-decoration:underline;"sv : "text-decoration:none;"sv);
    out.append("color:"sv);
    append_hex_colour(out, font.colour == 0 ? Rgb{} : colour_rgb(font.colour, font.rgb));
    out.push_back(';');
}

void append_fill_css(const Book &book, const XfRecord &xf, std::string &out) {
    const auto &fills = book.styles.fills();
    if (xf.fill >= fills.size()) return;
    const FillRecord &fill = fills[xf.fill];
    if (fill.pattern == kFillNone || fill.colour == 0) return;
    if (fill.pattern == kFillGradient && fill.colour2 != 0) {
        out.append("background:linear-gradient("sv);
        append_hex_colour(out, colour_rgb(fill.colour, fill.rgb));
        out.push_back(',');
        append_hex_colour(out, colour_rgb(fill.colour2, fill.rgb2));
        out.append(");"sv);
        return;
    }
    out.append("background-color:"sv);
    append_hex_colour(out, colour_rgb(fill.colour, fill.rgb));
    out.push_back(';');
}

void append_borders_css(const Book &book, const XfRecord &xf, std::string &out) {
    const auto &borders = book.styles.borders();
    if (xf.border == 0 || xf.border > borders.size()) return;
    const BorderRecord &border = borders[xf.border - 1];
    append_border_side(out, "left"sv, border.left, border);
    append_border_side(out, "right"sv, border.right, border);
    append_border_side(out, "top"sv, border.top, border);
    append_border_side(out, "bottom"sv, border.bottom, border);
}

void append_alignment_css(const XfRecord &xf, std::string &out) {
    const int vertical = xf.align / kAlignTens, horizontal = xf.align % kAlignTens;
    out.append(vertical == kAlignTop ? "vertical-align:top;"sv
               : vertical == kAlignMiddle ? "vertical-align:middle;"sv
                                          : "vertical-align:bottom;"sv);
    if (xf.align != kAlignDefault || xf.align_explicit) {
        if (horizontal == kAlignLeft) out.append("text-align:left;"sv);
        else if (horizontal == kAlignCentre) out.append("text-align:center;"sv);
        else if (horizontal == kAlignRight) out.append("text-align:right;"sv);
    }
    if (xf.text_flags & kTextWrap) out.append("white-space:pre-wrap;overflow-wrap:anywhere;"sv);
}

}  // namespace

void append_format_css(const Book &book, std::uint16_t reference, std::string &out) {
    // As cell_xf reads it: reference n is record n-1, 0 (or one past the table) the default.
    Cell probe;
    probe.style = reference;
    const XfRecord xf = cell_xf(book, probe);
    append_font_css(book, xf, out);
    append_fill_css(book, xf, out);
    append_borders_css(book, xf, out);
    append_alignment_css(xf, out);
}

int column_pixels(double width) { return static_cast<int>(std::lround(std::max(width, 0.0) * kDigitPixels)); }

int row_pixels(double hundredths_of_point) {
    return static_cast<int>(std::lround(std::max(hundredths_of_point, 0.0) / kHundredths * kPixelsPerPoint));
}

}  // namespace tabsmith
