// Autoshape settings: the book's current shape settings that shape statements change, and the
// shape objects placed at cells, with the table of shape kinds both the statements and the writer use.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "model/style_registry.h"

namespace tabsmith {

// One kind of shape: the statement word with its Japanese name, the DrawingML preset geometry it
// draws, and the names of the first two adjust guides of that preset ("" when it has fewer).
// A connector is drawn as a line from its start to its end point rather than as a filled outline.
struct ShapeKind {
    std::string_view word;
    std::string_view japanese;
    std::string_view preset;
    std::string_view adjust_x, adjust_y;
    bool connector = false;
};

// Every kind, index 0 (RECT) first; a shape stores its index.
std::span<const ShapeKind> shape_kinds();

// Where a fill, outline or shadow comes from: kStyle leaves it to the shape's style block (a theme
// reference), the others write it out explicitly.
enum class ShapeFill : std::uint8_t { kStyle, kNone, kSolid, kGradient };
enum class ShapeGradient : std::uint8_t { kLine, kCircle, kRect, kShape };
enum class ShapeShadow : std::uint8_t { kStyle, kNone, kInner, kOuter };
// Outline dashes; kStyle keeps the style's outline, kNone removes it.
enum class ShapeDash : std::uint8_t {
    kStyle, kNone, kSolid, kSysDot, kSysDash, kDash, kDashDot, kLgDash, kLgDashDot, kLgDashDotDot
};
enum class ArrowHead : std::uint8_t { kNone, kArrow, kTriangle, kDiamond, kOval };
enum class ArrowSize : std::uint8_t { kSmall, kMedium, kLarge };

struct ShapeArrow {
    ArrowHead head = ArrowHead::kNone;
    ArrowSize width = ArrowSize::kMedium;
    ArrowSize length = ArrowSize::kMedium;
    bool operator==(const ShapeArrow &) const = default;
};

// An explicit colour of a shape part; `set` false leaves the colour to the style.
struct ShapeColour {
    bool set = false;
    Rgb rgb;
    bool operator==(const ShapeColour &) const = default;
};

// Lengths are points (12,700 drawing units each), angles degrees, transparencies per cent
// (0 opaque .. 100 clear), adjust values per cent of the shape's size.
struct ShapeSettings {
    int kind = 0;                               // index into shape_kinds()
    double width = 96.0, height = 48.0;
    double offset_x = 0.0, offset_y = 0.0;      // shift of the shape inside its anchor cell
    double end_x = 96.0, end_y = 0.0;           // a connector's end point, relative to its start
    int rotation = 0;                           // 0..359, clockwise
    bool flip_h = false, flip_v = false;
    bool adjust_x_set = false, adjust_y_set = false;
    double adjust_x = 0.0, adjust_y = 0.0;

    std::string text;                           // UTF-8; each line feed starts a paragraph
    std::string font_name;                      // "" = the theme's minor font
    int font_size = 0;                          // whole points, 0 = 11
    std::uint8_t font_style = 0;                // kFontBold | kFontItalic | kFontUnderline
    ShapeColour font_colour;
    int align = 22;                             // the cell alignment codes: 11 top-left .. 33 bottom-right
    int text_direction = 0;                     // index into the ALIGN.TEXT words (0 horizontal)

    int style = 0;                              // 0 = the plain look, 1..12 the standard styles
    int accent = 1;                             // theme accent colour 1..6 the style block uses
    bool modern = false;                        // VERSION 2013 and later: the darker outline shade
    double soft_edge = 0.0;                     // EFFECT: soft-edge radius, 0 none

    ShapeFill fill = ShapeFill::kStyle;
    ShapeColour fill_colour;
    int fill_transparency = 0;
    ShapeGradient gradient = ShapeGradient::kLine;
    int gradient_variation = 1;                 // 1..4
    int gradient_degree = 90;
    ShapeColour gradient_colour1, gradient_colour2;

    ShapeDash dash = ShapeDash::kStyle;
    ShapeColour line_colour;
    double line_width = 0.0;                    // 0 = the style's width
    int line_transparency = 0;
    ShapeArrow arrow_start, arrow_end;

    ShapeShadow shadow = ShapeShadow::kStyle;
    Rgb shadow_colour;                          // black
    int shadow_transparency = 60;
    int shadow_size = 100;                      // per cent of the shape (outer shadows)
    double shadow_blur = 4.0;
    int shadow_degree = 45;
    double shadow_distance = 3.0;

    bool operator==(const ShapeSettings &) const = default;
};

struct ShapeObject {
    ShapeSettings settings;
};

}  // namespace tabsmith
