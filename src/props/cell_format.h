// Cell formatting statements (fonts, fills, borders, alignment, text control, merges, filters,
// number formats, widths, heights, page breaks) and the value vocabularies they share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "props/property.h"
#include "model/style_registry.h"

namespace tabsmith {

// A formatting statement never makes more cell records than this; larger rectangles are
// formatted through row or column styles when they reach the sheet's edge, and refused
// otherwise.
constexpr std::size_t kMaxFormattedCells = 2'000'000;

constexpr std::size_t kFontNameBytes = 80;
constexpr std::uint16_t kMaxFontPoints = 409;   // the largest size a workbook accepts
constexpr int kMaxDecimals = 30;                // decimal places a number format can show

// TRUE/する -> 1, FALSE/しない -> 0 (English ignoring case), anything else kNotASwitch.
constexpr int kNotASwitch = -1;
int parse_switch(std::string_view value);

// The statement number form: optional sign, digits with commas anywhere and at most one
// decimal point, at least one digit. `number` receives the value with the commas dropped.
bool parse_number_form(std::string_view value, double &number);

// Reads a FONT.NAME, .SIZE, .STYLE or .COLOR value (kFontMaskName, kFontMaskSize,
// kFontMaskStyle, kFontMaskColour) into that field of `font`. 0, or kBadArgument with
// TXLS-02403 / TXLS-02401 raised.
int read_font_value(Book &book, int font_mask, std::string_view value, FontRecord &font);

// Every value rule and effect of the cell formatting ids; declared in props/property.h:
// int apply_cell_property(Book &, int id, const PropertyTarget &, std::string_view value);

}  // namespace tabsmith
