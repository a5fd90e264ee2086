// The colour vocabulary shared by cell, tab and header/footer font colours, and the parsing
// of explicit RGB values.

#include "props/colour.h"

#include "support/charset.h"

namespace tabsmith {
namespace {

struct NamedColour {
    std::string_view english;
    std::string_view japanese;
    int index;               // kNoPaletteColour for NONE
    bool takes_suffix;       // the Japanese name may also end in 色
};

constexpr std::string_view kColourSuffix = "色";

constexpr NamedColour kColours[] = {
    {"BLACK", "黒", 0, true},          {"GRAY", "灰", 1, true},
    {"SILVER", "銀", 2, true},         {"WHITE", "白", 3, true},
    {"RED", "赤", 11, true},           {"YELLOW", "黄", 12, true},
    {"LIME", "黄緑", 13, true},        {"AQUA", "水色", 14, false},
    {"BLUE", "青", 15, true},          {"FUCHSIA", "赤紫", 16, true},
    {"MAROON", "赤茶", 21, true},      {"OLIVE", "オリーブ", 22, true},
    {"GREEN", "緑", 23, true},         {"TEAL", "青緑", 24, true},
    {"NAVY", "紺", 25, true},          {"PURPLE", "紫", 26, true},
    {"LIGHT_RED", "薄紅", 31, true},   {"LIGHT_YELLOW", "肌", 32, true},
    {"LIGHT_GREEN", "若葉", 33, true}, {"LIGHT_CYAN", "淡水", 34, true},
    {"LIGHT_BLUE", "藤", 35, true},    {"LIGHT_MAGENTA", "桜", 36, true},
    {"NONE", "なし", kNoPaletteColour, true},
};

const NamedColour *find_name(std::string_view value) {
    for (const auto &colour : kColours) {
        if (equals_ignore_case(value, colour.english) || value == colour.japanese) return &colour;
        if (colour.takes_suffix && value.size() == colour.japanese.size() + kColourSuffix.size() &&
            value.starts_with(colour.japanese) && value.ends_with(kColourSuffix))
            return &colour;
    }
    return nullptr;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool parse_hex(std::string_view digits, Rgb &rgb) {
    if (digits.size() != 6) return false;
    std::uint8_t bytes[3];
    for (int k = 0; k < 3; ++k) {
        int high = hex_digit(digits[2 * k]), low = hex_digit(digits[2 * k + 1]);
        if (high < 0 || low < 0) return false;
        bytes[k] = static_cast<std::uint8_t>(high * 16 + low);
    }
    rgb = Rgb{bytes[0], bytes[1], bytes[2]};
    return true;
}

}  // namespace

ColourParse parse_colour(std::string_view value, Colour &out) {
    if (const NamedColour *named = find_name(value)) {
        if (named->index == kNoPaletteColour) return ColourParse::kNone;
        out.index = static_cast<std::uint32_t>(named->index);
        out.rgb = palette_rgb(out.index);
        return ColourParse::kColour;
    }
    std::string_view digits = value.starts_with('#') ? value.substr(1) : value;
    Rgb rgb;
    if (!parse_hex(digits, rgb)) return ColourParse::kInvalid;
    out.index = kStyleColourRgb;
    out.rgb = rgb;
    return ColourParse::kColour;
}

int colour_name_index(std::string_view value) {
    const NamedColour *named = find_name(value);
    return named ? named->index : kNoPaletteColour;
}

}  // namespace tabsmith
