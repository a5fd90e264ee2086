// Colour values of the statement language: the named colours with their Japanese aliases, the
// palette indexes they stand for, and explicit "rrggbb" / "#rrggbb" colours.
#pragma once

#include <cstdint>
#include <string_view>

#include "model/style_registry.h"

namespace tabsmith {

// A parsed colour as the registry codes it: a palette index (0 = black, written as automatic),
// or kStyleColourRgb with the explicit bytes. `rgb` always holds the colour's bytes.
struct Colour {
    std::uint32_t index = 0;
    Rgb rgb;
};

enum class ColourParse {
    kColour,   // a named or explicit colour
    kNone,     // NONE / なし: a valid name that no colour property accepts
    kInvalid,
};

// English names ignore ASCII case; Japanese names match exactly, with or without a trailing 色.
ColourParse parse_colour(std::string_view value, Colour &out);

// The palette index of a colour name (explicit colours are not names). kNoPaletteColour when
// `value` names no palette colour (NONE included).
constexpr int kNoPaletteColour = -1;
int colour_name_index(std::string_view value);

}  // namespace tabsmith
