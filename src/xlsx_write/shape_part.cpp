// Autoshape anchors in a sheet's drawing part: a one-cell anchor at the shape's cell holding an
// xdr:sp (or xdr:cxnSp for lines) with its geometry, fill, outline, effects, style and text.
//
// What the settings become:
// - the anchor starts at the cell moved by OFFSET; its extent is WIDTH x HEIGHT, or for a line the
//   box spanned by END.OFFSET, with a negative end mirroring the line inside that box;
// - kStyle fills, outlines and shadows write nothing and leave them to the xdr:style block, which
//   every shape carries (the plain look, or STANDARD_STYLE1..12, in the ACCENT colour); explicit
//   settings in spPr override it piece by piece;
// - a colour left unset where one is needed (a SINGLE_COLOR fill without FILL.COLOR, a gradient
//   stop) is the accent colour, the second gradient stop white;
// - VARIATION orders the gradient stops (1 c1-c2, 2 c2-c1, 3 c1-c2-c1, 4 c2-c1-c2); DEGREE turns
//   LINE gradients, the other forms spread from the centre;
// - EFFECT (soft edges) and explicit shadows write the effect list, which replaces the style's
//   effects as a whole;
// - lines carry no text and no fill.

#include "xlsx_write/shape_part.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "support/printf_text.h"
#include "support/xml_escape.h"

namespace tabsmith {
namespace {

constexpr double kUnitsPerPoint = 12700.0;
constexpr long long kUnitsPerDegree = 60000;

long long units(double points) { return std::llround(points * kUnitsPerPoint); }

std::string rgb_hex(const Rgb &rgb) { return printf_text("%02X%02X%02X", rgb.red, rgb.green, rgb.blue); }

std::string accent_name(const ShapeSettings &s) { return "accent" + std::to_string(s.accent); }

// A colour element: the explicit colour, else the accent colour; with its transparency.
void write_colour(std::string &out, const ShapeColour &colour, const ShapeSettings &s, int transparency,
                  std::string_view fallback = {}) {
    std::string alpha;
    if (transparency > 0) alpha = printf_text("<a:alpha val=\"%d\"/>", (100 - transparency) * 1000);
    if (colour.set) {
        out += "<a:srgbClr val=\"" + rgb_hex(colour.rgb) + "\"";
    } else {
        out += "<a:schemeClr val=\"";
        out += fallback.empty() ? accent_name(s) : std::string(fallback);
        out += "\"";
    }
    if (alpha.empty()) {
        out += "/>";
    } else {
        out += ">" + alpha;
        out += colour.set ? "</a:srgbClr>" : "</a:schemeClr>";
    }
}

void write_solid(std::string &out, const ShapeColour &colour, const ShapeSettings &s, int transparency) {
    out += "<a:solidFill>";
    write_colour(out, colour, s, transparency);
    out += "</a:solidFill>";
}

void write_geometry(std::string &out, const ShapeKind &kind, const ShapeSettings &s) {
    out += "<a:prstGeom prst=\"";
    out += kind.preset;
    out += "\">";
    std::string guides;
    auto guide = [&](std::string_view name, bool set, double percent) {
        if (name.empty() || !set) return;
        guides += "<a:gd name=\"";
        guides += name;
        guides += printf_text("\" fmla=\"val %lld\"/>", std::llround(percent * 1000.0));
    };
    guide(kind.adjust_x, s.adjust_x_set, s.adjust_x);
    guide(kind.adjust_y, s.adjust_y_set, s.adjust_y);
    out += guides.empty() ? "<a:avLst/>" : "<a:avLst>" + guides + "</a:avLst>";
    out += "</a:prstGeom>";
}

void write_fill(std::string &out, const ShapeSettings &s) {
    switch (s.fill) {
    case ShapeFill::kStyle: return;
    case ShapeFill::kNone: out += "<a:noFill/>"; return;
    case ShapeFill::kSolid: write_solid(out, s.fill_colour, s, s.fill_transparency); return;
    case ShapeFill::kGradient: break;
    }
    const bool reversed = s.gradient_variation == 2 || s.gradient_variation == 4;
    const bool mirrored = s.gradient_variation >= 3;
    auto stop = [&](int position, bool first) {
        out += printf_text("<a:gs pos=\"%d\">", position);
        if (first) write_colour(out, s.gradient_colour1, s, s.fill_transparency);
        else write_colour(out, s.gradient_colour2, s, s.fill_transparency, "lt1");
        out += "</a:gs>";
    };
    out += "<a:gradFill rotWithShape=\"1\"><a:gsLst>";
    stop(0, !reversed);
    if (mirrored) {
        stop(50000, reversed);
        stop(100000, !reversed);
    } else {
        stop(100000, reversed);
    }
    out += "</a:gsLst>";
    static constexpr std::string_view kPaths[] = {"", "circle", "rect", "shape"};
    if (s.gradient == ShapeGradient::kLine) {
        out += printf_text("<a:lin ang=\"%lld\" scaled=\"0\"/>", s.gradient_degree * kUnitsPerDegree);
    } else {
        out += "<a:path path=\"";
        out += kPaths[static_cast<int>(s.gradient)];
        out += "\"><a:fillToRect l=\"50000\" t=\"50000\" r=\"50000\" b=\"50000\"/></a:path>";
    }
    out += "</a:gradFill>";
}

void write_arrow(std::string &out, const char *element, const ShapeArrow &arrow) {
    if (arrow.head == ArrowHead::kNone) return;
    static constexpr const char *kHeads[] = {"none", "arrow", "triangle", "diamond", "oval"};
    static constexpr const char *kSizes[] = {"sm", "med", "lg"};
    out += printf_text("<a:%s type=\"%s\" w=\"%s\" len=\"%s\"/>", element, kHeads[static_cast<int>(arrow.head)],
                       kSizes[static_cast<int>(arrow.width)], kSizes[static_cast<int>(arrow.length)]);
}

void write_outline(std::string &out, const ShapeSettings &s) {
    const bool arrows = s.arrow_start.head != ArrowHead::kNone || s.arrow_end.head != ArrowHead::kNone;
    if (s.dash == ShapeDash::kStyle && !s.line_colour.set && s.line_width <= 0 && s.line_transparency == 0 && !arrows)
        return;
    out += "<a:ln";
    if (s.line_width > 0) out += printf_text(" w=\"%lld\"", units(s.line_width));
    out += ">";
    if (s.dash == ShapeDash::kNone) {
        out += "<a:noFill/></a:ln>";
        return;
    }
    if (s.line_colour.set || s.line_transparency > 0) write_solid(out, s.line_colour, s, s.line_transparency);
    static constexpr const char *kDashes[] = {"", "", "solid", "sysDot", "sysDash", "dash", "dashDot",
                                              "lgDash", "lgDashDot", "lgDashDotDot"};
    if (s.dash != ShapeDash::kStyle) out += printf_text("<a:prstDash val=\"%s\"/>", kDashes[static_cast<int>(s.dash)]);
    write_arrow(out, "headEnd", s.arrow_start);
    write_arrow(out, "tailEnd", s.arrow_end);
    out += "</a:ln>";
}

void write_effects(std::string &out, const ShapeSettings &s) {
    if (s.shadow == ShapeShadow::kStyle && s.soft_edge <= 0) return;
    if (s.shadow == ShapeShadow::kNone && s.soft_edge <= 0) {
        out += "<a:effectLst/>";   // no effects at all, not even the style's
        return;
    }
    out += "<a:effectLst>";
    if (s.shadow == ShapeShadow::kInner || s.shadow == ShapeShadow::kOuter) {
        const bool inner = s.shadow == ShapeShadow::kInner;
        out += printf_text("<a:%s blurRad=\"%lld\" dist=\"%lld\" dir=\"%lld\"", inner ? "innerShdw" : "outerShdw",
                           units(s.shadow_blur), units(s.shadow_distance), s.shadow_degree * kUnitsPerDegree);
        if (!inner)
            out += printf_text(" sx=\"%d\" sy=\"%d\" algn=\"ctr\" rotWithShape=\"0\"", s.shadow_size * 1000,
                               s.shadow_size * 1000);
        out += ">";
        write_colour(out, ShapeColour{true, s.shadow_colour}, s, s.shadow_transparency);
        out += inner ? "</a:innerShdw>" : "</a:outerShdw>";
    }
    if (s.soft_edge > 0) out += printf_text("<a:softEdge rad=\"%lld\"/>", units(s.soft_edge));
    out += "</a:effectLst>";
}

// The theme references of the shape's look: outline, fill and effect intensities (0 none ..
// 3 intense) with their colours, and the text colour.
enum class Tone { kAccent, kAccentShade, kLight, kDark, kText };

struct StyleRefs {
    int line;
    Tone line_tone;
    int fill;
    Tone fill_tone;
    int effect;
    Tone font_tone;
};

constexpr StyleRefs kPlainShape{2, Tone::kAccentShade, 1, Tone::kAccent, 0, Tone::kLight};
constexpr StyleRefs kPlainLine{1, Tone::kAccent, 0, Tone::kAccent, 0, Tone::kText};
constexpr StyleRefs kStandardStyles[12] = {
    {2, Tone::kAccent, 1, Tone::kLight, 0, Tone::kDark},        // coloured outline
    {2, Tone::kAccentShade, 1, Tone::kAccent, 0, Tone::kLight}, // coloured fill
    {2, Tone::kLight, 1, Tone::kAccent, 1, Tone::kLight},       // light outline, coloured fill
    {1, Tone::kAccent, 2, Tone::kAccent, 1, Tone::kDark},       // subtle effect
    {1, Tone::kAccent, 3, Tone::kAccent, 2, Tone::kLight},      // moderate effect
    {0, Tone::kAccent, 3, Tone::kAccent, 3, Tone::kLight},      // intense effect
    {1, Tone::kAccent, 1, Tone::kLight, 0, Tone::kDark},        // thin outline on white
    {3, Tone::kAccent, 1, Tone::kLight, 0, Tone::kDark},        // thick outline on white
    {0, Tone::kAccent, 1, Tone::kAccent, 0, Tone::kLight},      // fill only
    {0, Tone::kAccent, 2, Tone::kAccent, 1, Tone::kDark},       // subtle fill only
    {2, Tone::kAccentShade, 2, Tone::kAccent, 2, Tone::kLight}, // outlined, moderate
    {3, Tone::kAccentShade, 3, Tone::kAccent, 3, Tone::kLight}, // outlined, intense
};

void write_tone(std::string &out, Tone tone, const ShapeSettings &s) {
    switch (tone) {
    case Tone::kAccent: out += "<a:schemeClr val=\"" + accent_name(s) + "\"/>"; return;
    case Tone::kAccentShade:
        out += "<a:schemeClr val=\"" + accent_name(s) + "\">";
        out += s.modern ? "<a:shade val=\"15000\"/>" : "<a:shade val=\"50000\"/>";
        out += "</a:schemeClr>";
        return;
    case Tone::kLight: out += "<a:schemeClr val=\"lt1\"/>"; return;
    case Tone::kDark: out += "<a:schemeClr val=\"dk1\"/>"; return;
    case Tone::kText: out += "<a:schemeClr val=\"tx1\"/>"; return;
    }
}

void write_style(std::string &out, const ShapeSettings &s, bool connector) {
    const StyleRefs &refs = s.style > 0 ? kStandardStyles[s.style - 1] : connector ? kPlainLine : kPlainShape;
    out += printf_text("<xdr:style><a:lnRef idx=\"%d\">", refs.line);
    write_tone(out, refs.line_tone, s);
    out += printf_text("</a:lnRef><a:fillRef idx=\"%d\">", refs.fill);
    write_tone(out, refs.fill_tone, s);
    out += printf_text("</a:fillRef><a:effectRef idx=\"%d\">", refs.effect);
    write_tone(out, Tone::kAccent, s);
    out += "</a:effectRef><a:fontRef idx=\"minor\">";
    write_tone(out, refs.font_tone, s);
    out += "</a:fontRef></xdr:style>";
}

void write_text(std::string &out, const ShapeSettings &s) {
    if (s.text.empty()) return;
    static constexpr const char *kDirections[] = {"horz", "eaVert", "vert", "vert270", "wordArtVert"};
    static constexpr const char *kVertical[] = {"t", "ctr", "b"};
    static constexpr const char *kHorizontal[] = {"l", "ctr", "r"};
    const int vertical = std::clamp(s.align / 10, 1, 3) - 1, horizontal = std::clamp(s.align % 10, 1, 3) - 1;
    out += printf_text("<xdr:txBody><a:bodyPr vertOverflow=\"clip\" horzOverflow=\"clip\" vert=\"%s\" wrap=\"square\" "
                       "rtlCol=\"0\" anchor=\"%s\"/><a:lstStyle/>",
                       kDirections[std::clamp(s.text_direction, 0, 4)], kVertical[vertical]);
    std::string run_properties = printf_text("<a:rPr lang=\"ja-JP\" altLang=\"en-US\" sz=\"%d\"",
                                             (s.font_size > 0 ? s.font_size : 11) * 100);
    if (s.font_style & kFontBold) run_properties += " b=\"1\"";
    if (s.font_style & kFontItalic) run_properties += " i=\"1\"";
    if (s.font_style & kFontUnderline) run_properties += " u=\"sng\"";
    std::string children;
    if (s.font_colour.set) write_solid(children, s.font_colour, s, 0);
    if (!s.font_name.empty()) {
        std::string face = xml_escape(s.font_name, EscapeMode::kAttribute);
        children += "<a:latin typeface=\"" + face + "\"/><a:ea typeface=\"" + face + "\"/>";
    }
    run_properties += children.empty() ? "/>" : ">" + children + "</a:rPr>";

    std::string_view rest = s.text;
    while (true) {
        std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out += printf_text("<a:p><a:pPr algn=\"%s\"/>", kHorizontal[horizontal]);
        if (!line.empty()) {
            out += "<a:r>" + run_properties + "<a:t>";
            xml_escape_append(out, line, EscapeMode::kText);
            out += "</a:t></a:r>";
        }
        out += "</a:p>";
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    out += "</xdr:txBody>";
}

}  // namespace

void write_shape_anchor(const Book &, const DrawingObject &shape, int shape_id, std::string &out) {
    if (!shape.shape) return;
    const ShapeSettings &s = shape.shape->settings;
    const auto kinds = shape_kinds();
    const ShapeKind &kind = kinds[s.kind >= 0 && static_cast<std::size_t>(s.kind) < kinds.size() ? s.kind : 0];

    long long cx = units(s.width), cy = units(s.height);
    bool flip_h = s.flip_h, flip_v = s.flip_v;
    if (kind.connector) {
        cx = units(std::fabs(s.end_x));
        cy = units(std::fabs(s.end_y));
        flip_h = flip_h != (s.end_x < 0);
        flip_v = flip_v != (s.end_y < 0);
    }

    out += printf_text("<xdr:oneCellAnchor><xdr:from><xdr:col>%d</xdr:col><xdr:colOff>%lld</xdr:colOff>"
                       "<xdr:row>%d</xdr:row><xdr:rowOff>%lld</xdr:rowOff></xdr:from><xdr:ext cx=\"%lld\" cy=\"%lld\"/>",
                       shape.column, units(s.offset_x), shape.row, units(s.offset_y), cx, cy);
    if (kind.connector)
        out += printf_text("<xdr:cxnSp macro=\"\"><xdr:nvCxnSpPr><xdr:cNvPr id=\"%d\" name=\"Line %d\"/>"
                           "<xdr:cNvCxnSpPr/></xdr:nvCxnSpPr>",
                           shape_id, shape_id);
    else
        out += printf_text("<xdr:sp macro=\"\" textlink=\"\"><xdr:nvSpPr><xdr:cNvPr id=\"%d\" name=\"Shape %d\"/>"
                           "<xdr:cNvSpPr/></xdr:nvSpPr>",
                           shape_id, shape_id);

    out += "<xdr:spPr><a:xfrm";
    if (s.rotation != 0) out += printf_text(" rot=\"%lld\"", s.rotation * kUnitsPerDegree);
    if (flip_h) out += " flipH=\"1\"";
    if (flip_v) out += " flipV=\"1\"";
    out += printf_text("><a:off x=\"0\" y=\"0\"/><a:ext cx=\"%lld\" cy=\"%lld\"/></a:xfrm>", cx, cy);
    write_geometry(out, kind, s);
    if (!kind.connector) write_fill(out, s);
    write_outline(out, s);
    write_effects(out, s);
    out += "</xdr:spPr>";
    write_style(out, s, kind.connector);
    if (kind.connector) {
        out += "</xdr:cxnSp>";
    } else {
        write_text(out, s);
        out += "</xdr:sp>";
    }
    out += "<xdr:clientData/></xdr:oneCellAnchor>";
}

}  // namespace tabsmith
