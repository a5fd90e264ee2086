// Serialises the style registry as xl/styles.xml: the section builders, the numFmtId
// assignment and every fixed template of the part.

#include "xlsx_write/styles_part.h"

#include <charconv>
#include <initializer_list>
#include <string_view>

#include "model/style_registry.h"
#include "xlsx_write/xml_escape.h"

namespace tabsmith {
namespace {

// The part itself; the five fields are the numFmts, fonts, fills, borders and cellXfs sections.
constexpr std::string_view kStylesText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">%s%s%s%s"
    "<cellStyleXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\">"
    "<alignment vertical=\"center\"/></xf><xf numFmtId=\"0\" fontId=\"2\" fillId=\"0\" borderId=\"0\">"
    "<alignment vertical=\"center\"/></xf></cellStyleXfs>%s"
    "<cellStyles count=\"2\"><cellStyle name=\"ハイパーリンク\" xfId=\"1\" builtinId=\"8\"/>"
    "<cellStyle name=\"標準\" xfId=\"0\" builtinId=\"0\"/></cellStyles><dxfs count=\"0\"/>"
    "<tableStyles count=\"0\" defaultTableStyle=\"TableStyleMedium9\" defaultPivotStyle=\"PivotStyleLight16\"/>"
    "</styleSheet>";

constexpr std::string_view kNumFmtsHead = "<numFmts count=\"%d\">";
constexpr std::string_view kNumFmtsTail = "</numFmts>";
constexpr std::string_view kNumFmtCode = "<numFmt numFmtId=\"%d\" formatCode=\"%s\"/>";
// The yen sign of the Japanese code page is the backslash.
constexpr std::string_view kCurrencyText = "&quot;\\&quot;";

// What fills a kind's template after the id: nothing, the number text N, or the currency text
// C and N alternately.
enum class NumArgs { kNone, kN, kNN, kCNCN };

struct NumFmtTemplate {
    std::uint16_t kind;
    NumArgs args;
    std::string_view text;
};

constexpr NumFmtTemplate kNumFmtTemplates[] = {
    {101, NumArgs::kNN, "<numFmt numFmtId=\"%d\" formatCode=\"%s_);\\(%s\\)\"/>"},
    {102, NumArgs::kNN, "<numFmt numFmtId=\"%d\" formatCode=\"%s_);[Red]\\(%s\\)\"/>"},
    {103, NumArgs::kNN, "<numFmt numFmtId=\"%d\" formatCode=\"%s;[Red]%s\"/>"},
    {104, NumArgs::kNN, "<numFmt numFmtId=\"%d\" formatCode=\"%s_ ;[Red]\\-%s\\ \"/>"},
    {105, NumArgs::kNN, "<numFmt numFmtId=\"%d\" formatCode=\"%s;&quot;△ &quot;%s\"/>"},
    {106, NumArgs::kNN, "<numFmt numFmtId=\"%d\" formatCode=\"%s;&quot;▲ &quot;%s\"/>"},
    {107, NumArgs::kN, "<numFmt numFmtId=\"%d\" formatCode=\"#,##%s_ \"/>"},
    {108, NumArgs::kNN, "<numFmt numFmtId=\"%d\" formatCode=\"#,##%s_);[Red]\\(#,##%s\\)\"/>"},
    // n decimal places: the plain number text (the entry carries no code of its own).
    {109, NumArgs::kN, kNumFmtCode},
    {201, NumArgs::kCNCN, "<numFmt numFmtId=\"%d\" formatCode=\"%s#,##%s;%s\\-#,##%s\"/>"},
    {202, NumArgs::kCNCN, "<numFmt numFmtId=\"%d\" formatCode=\"%s#,##%s;[Red]%s\\-#,##%s\"/>"},
    {203, NumArgs::kCNCN, "<numFmt numFmtId=\"%d\" formatCode=\"%s#,##%s;[Red]%s#,##%s\"/>"},
    {204, NumArgs::kCNCN, "<numFmt numFmtId=\"%d\" formatCode=\"%s#,##%s_);\\(%s#,##%s\\)\"/>"},
    {205, NumArgs::kCNCN, "<numFmt numFmtId=\"%d\" formatCode=\"%s#,##%s;[Red]%s;#,##%s\"/>"},
    {302, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"yyyy/m/d;@\"/>"},
    {303, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"yyyy/m/d\\ h:mm;@\"/>"},
    {331, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"m&quot;月&quot;d&quot;日&quot;;@\"/>"},
    {333, NumArgs::kNone,
     "<numFmt numFmtId=\"%d\" formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;;@\"/>"},
    {334, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"[$-411]ge\\.m\\.d;@\"/>"},
    {335, NumArgs::kNone,
     "<numFmt numFmtId=\"%d\" formatCode=\"[$-411]ggge&quot;年&quot;m&quot;月&quot;d&quot;日&quot;;@\"/>"},
    {400, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"h&quot;時&quot;mm&quot;分&quot;;@\"/>"},
    {402, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"h&quot;時&quot;mm&quot;分&quot;;@\"/>"},
    {500, NumArgs::kN, "<numFmt numFmtId=\"%d\" formatCode=\"%s%%\"/>"},
    {501, NumArgs::kN, "<numFmt numFmtId=\"%d\" formatCode=\"%s%%\"/>"},
    {510, NumArgs::kNone,
     "<numFmt numFmtId=\"%d\" formatCode=\"[&lt;=999]000;[&lt;=9999]000\\-00;000\\-0000\" />"},
    {511, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"&quot;△&quot;\\ #,##0;&quot;▲&quot;\\ #,##0\" />"},
    {512, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"[DBNum1][$-411]General\" />"},
    {513, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"[DBNum2][$-411]General\" />"},
    {514, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"[DBNum3][$-411]0\" />"},
    {515, NumArgs::kNone, "<numFmt numFmtId=\"%d\" formatCode=\"[DBNum3][$-411]#,##0\" />"},
};

// Kinds that take an id but have no element of their own, and the kind that takes neither
// (cells of that kind use the built-in [h]:mm:ss format).
constexpr std::uint16_t kSilentKinds[] = {100, 200, 300};
constexpr std::uint16_t kKindBuiltinHms = 404;
constexpr std::uint32_t kBuiltinHms = 46;

constexpr std::string_view kFontsHead = "<fonts count=\"%d\">";
constexpr std::string_view kFontsTail = "</fonts>";
constexpr std::string_view kFont =
    "<font>%s<sz val=\"%d\"/>%s<name val=\"%s\"/><family val=\"3\"/><charset val=\"128\"/></font>";
constexpr std::string_view kBoldTag = "<b/>";
constexpr std::string_view kItalicTag = "<i/>";
constexpr std::string_view kUnderlineTag = "<u/>";
constexpr std::string_view kFontColour = "<color rgb=\"FF%s\"/>";
constexpr std::string_view kFontHyperlinkColour = "<color theme=\"10\"/>";

constexpr std::string_view kFillsHead = "<fills count=\"%d\">";
constexpr std::string_view kFillsTail = "</fills>";
constexpr std::string_view kPatternColour = "<fgColor rgb=\"FF%s\" />";
constexpr std::string_view kFillTwoColours =
    "<fill><patternFill patternType=\"%s\">%s<bgColor rgb=\"FF%s\"/></patternFill></fill>";
constexpr std::string_view kFillColour =
    "<fill><patternFill patternType=\"%s\"><fgColor rgb=\"FF%s\"/><bgColor indexed=\"64\"/></patternFill></fill>";
constexpr std::string_view kFillPatternColour = "<fill><patternFill patternType=\"%s\">%s</patternFill></fill>";
constexpr std::string_view kFillPattern = "<fill><patternFill patternType=\"%s\"/></fill>";
constexpr std::string_view kGradientFill = "<fill><gradientFill%s>%s</gradientFill></fill>";
constexpr std::string_view kGradientColour = "<color rgb=\"FF%s\" />";
constexpr std::string_view kGradientTwoStops = "<stop position=\"0\">%s</stop><stop position=\"1\">%s</stop>";
constexpr std::string_view kGradientThreeStops =
    "<stop position=\"0\">%s</stop><stop position=\"0.5\">%s</stop><stop position=\"1\">%s</stop>";

// Gradient attributes by style (row: 1..5, then any other style) and variant (column: 0 or 1,
// 2, 3, 4; any other variant as 0).
constexpr std::string_view kGradientAttributes[6][4] = {
    {"", " degree=\"180\"", "", ""},
    {" degree=\"45\"", " degree=\"225\"", " degree=\"45\"", " degree=\"45\""},
    {" degree=\"135\"", " degree=\"315\"", " degree=\"135\"", " degree=\"135\""},
    {" type=\"path\"", " type=\"path\" left=\"1\" right=\"1\"", " type=\"path\" top=\"1\" bottom=\"1\"",
     " type=\"path\" left=\"1\" right=\"1\" top=\"1\" bottom=\"1\""},
    {" type=\"path\" left=\"0.5\" right=\"0.5\" top=\"0.5\" bottom=\"0.5\"",
     " type=\"path\" left=\"0.5\" right=\"0.5\" top=\"0.5\" bottom=\"0.5\"",
     " type=\"path\" left=\"0.5\" right=\"0.5\" top=\"0.5\" bottom=\"0.5\"",
     " type=\"path\" left=\"0.5\" right=\"0.5\" top=\"0.5\" bottom=\"0.5\""},
    {" degree=\"90\"", " degree=\"270\"", " degree=\"90\"", " degree=\"90\""},
};

constexpr std::string_view kBordersHead = "<borders count=\"%d\">";
constexpr std::string_view kBordersTail = "</borders>";
constexpr std::string_view kEmptyBorder = "<border><left/><right/><top/><bottom/><diagonal/></border>";
constexpr std::string_view kBorderOpen = "<border>";
constexpr std::string_view kBorderOpenUp = "<border diagonalUp=\"1\">";
constexpr std::string_view kBorderOpenDown = "<border diagonalDown=\"1\">";
constexpr std::string_view kBorderOpenBoth = "<border diagonalUp=\"1\" diagonalDown=\"1\">";
constexpr std::string_view kBorderAutoColour = "<color auto=\"1\"/>";
constexpr std::string_view kBorderColour = "<color rgb=\"FF%s\"/>";
constexpr std::string_view kBorderLeft = "<left style=\"%s\">%s</left>";
constexpr std::string_view kBorderRight = "<right style=\"%s\">%s</right>";
constexpr std::string_view kBorderTop = "<top style=\"%s\">%s</top>";
constexpr std::string_view kBorderBottom = "<bottom style=\"%s\">%s</bottom>";
constexpr std::string_view kBorderDiagonal = "<diagonal style=\"%s\">%s</diagonal></border>";
constexpr std::string_view kBorderNoDiagonal = "<diagonal/></border>";

constexpr std::string_view kCellXfsHead = "<cellXfs count=\"%d\">";
constexpr std::string_view kCellXfsTail = "</cellXfs>";
constexpr std::string_view kFirstXf =
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment vertical=\"center\"/></xf>";
constexpr std::string_view kXf =
    "<xf numFmtId=\"%d\" fontId=\"%d\" fillId=\"%d\" borderId=\"%d\"%s xfId=\"%d\"%s%s>%s</xf>";
constexpr std::string_view kApplyBorder = " applyBorder=\"1\"";
constexpr std::string_view kApplyFill = " applyFill=\"1\"";
constexpr std::string_view kApplyNumberFormat = " applyNumberFormat=\"1\"";
constexpr std::string_view kQuotePrefix = " quotePrefix=\"1\" applyAlignment=\"1\"";
constexpr std::string_view kAlignment = "<alignment%s%s%s/>";
constexpr std::string_view kVerticalTop = " vertical=\"top\"";
constexpr std::string_view kVerticalCenter = " vertical=\"center\"";
constexpr std::string_view kHorizontalLeft = " horizontal=\"left\"";
constexpr std::string_view kHorizontalCenter = " horizontal=\"center\"";
constexpr std::string_view kHorizontalRight = " horizontal=\"right\"";
constexpr std::string_view kTextRotation = " textRotation=\"255\"";
constexpr std::string_view kWrapText = " wrapText=\"1\"";
constexpr std::string_view kShrinkToFit = " shrinkToFit=\"1\"";

// Appends `tmpl` with each "%s" or "%d" replaced by the next argument and "%%" by "%".
void fill(std::string &out, std::string_view tmpl, std::initializer_list<std::string_view> args) {
    auto next = args.begin();
    std::size_t run = 0;
    for (std::size_t i = 0; i + 1 < tmpl.size(); ++i) {
        if (tmpl[i] != '%') continue;
        char directive = tmpl[i + 1];
        if (directive != 's' && directive != 'd' && directive != '%') continue;
        out.append(tmpl.substr(run, i - run));
        if (directive == '%') out.push_back('%');
        else if (next != args.end()) out.append(*next++);
        run = i + 2;
        ++i;
    }
    out.append(tmpl.substr(run));
}

struct Number {
    char digits[24];
    std::size_t size;
    explicit Number(long long value) {
        size = static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
    }
    operator std::string_view() const { return {digits, size}; }
};

// "rrggbb" of a colour field, lower or upper case as each element of the part has it.
std::string hex(Rgb rgb, bool upper) {
    const char *digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text(6, '0');
    std::uint8_t bytes[3] = {rgb.red, rgb.green, rgb.blue};
    for (int i = 0; i < 3; ++i) {
        text[static_cast<std::size_t>(2 * i)] = digits[bytes[i] >> 4];
        text[static_cast<std::size_t>(2 * i + 1)] = digits[bytes[i] & 15];
    }
    return text;
}

// The number text N: "0", then "." and one "0" per decimal place.
std::string number_text(std::uint8_t decimals) {
    std::string text = "0";
    if (decimals > 0) text.append(".").append(decimals, '0');
    return text;
}

const NumFmtTemplate *num_fmt_template(std::uint16_t kind) {
    for (const auto &entry : kNumFmtTemplates)
        if (entry.kind == kind) return &entry;
    return nullptr;
}

bool silent_kind(std::uint16_t kind) {
    for (auto silent : kSilentKinds)
        if (silent == kind) return true;
    return false;
}

std::string num_fmts_section(const StyleRegistry &styles) {
    const auto &formats = styles.num_formats();
    std::string out;
    fill(out, kNumFmtsHead, {Number(static_cast<long long>(formats.size()))});
    for (const NumFormat &format : formats) {
        if (format.kind == kKindBuiltinHms || silent_kind(format.kind)) continue;
        Number number(format.assigned_id);
        const NumFmtTemplate *entry = num_fmt_template(format.kind);
        if (!entry) {
            // A code of the caller's (or a template's) is plain text: escaped for the attribute.
            fill(out, kNumFmtCode, {number, xml_escape(format.code, EscapeMode::kAttribute)});
            continue;
        }
        std::string n = number_text(format.decimals);
        switch (entry->args) {
        case NumArgs::kNone: fill(out, entry->text, {number}); break;
        case NumArgs::kN: fill(out, entry->text, {number, n}); break;
        case NumArgs::kNN: fill(out, entry->text, {number, n, n}); break;
        case NumArgs::kCNCN: fill(out, entry->text, {number, kCurrencyText, n, kCurrencyText, n}); break;
        }
    }
    out.append(kNumFmtsTail);
    return out;
}

std::string fonts_section(const StyleRegistry &styles) {
    const auto &fonts = styles.fonts();
    std::string out;
    fill(out, kFontsHead, {Number(static_cast<long long>(fonts.size()))});
    for (const FontRecord &font : fonts) {
        std::string style;
        if (font.style & kFontBold) style.append(kBoldTag);
        if (font.style & kFontItalic) style.append(kItalicTag);
        if (font.style & (kFontUnderline | kFontHyperlink)) style.append(kUnderlineTag);
        std::string colour;
        if (font.colour != 0)
            fill(colour, kFontColour, {hex(colour_rgb(font.colour, font.rgb), true)});
        else if (font.style & kFontHyperlink)
            colour.assign(kFontHyperlinkColour);
        std::string_view name = font.name_id == kFontNameOwn ? std::string_view(font.name)
                                                              : builtin_font_name(font.name_id);
        fill(out, kFont, {style, Number(font.size), colour, xml_escape(name, EscapeMode::kText)});
    }
    out.append(kFontsTail);
    return out;
}

void gradient_fill(std::string &out, const FillRecord &fill_record) {
    unsigned style = fill_record.gradient_kind;
    unsigned variant = fill_record.gradient_variation;
    std::size_t row = style >= 1 && style <= 5 ? style - 1 : 5;
    std::size_t column = variant >= 2 && variant <= 4 ? variant - 1 : 0;
    std::string first, second;
    fill(first, kGradientColour, {hex(colour_rgb(fill_record.colour, fill_record.rgb), false)});
    fill(second, kGradientColour, {hex(colour_rgb(fill_record.colour2, fill_record.rgb2), false)});
    std::string stops;
    bool three_stops = variant == 3 && style != 4 && style != 5;
    if (three_stops)
        fill(stops, kGradientThreeStops, {first, second, first});
    else
        fill(stops, kGradientTwoStops, {first, second});
    fill(out, kGradientFill, {kGradientAttributes[row][column], stops});
}

std::string fills_section(const StyleRegistry &styles) {
    const auto &fills = styles.fills();
    std::string out;
    fill(out, kFillsHead, {Number(static_cast<long long>(fills.size()))});
    for (const FillRecord &record : fills) {
        if (record.pattern == kFillGradient) {
            gradient_fill(out, record);
            continue;
        }
        std::string_view pattern = fill_pattern_name(record.pattern);
        std::string pattern_colour;
        if (record.pattern_colour != 0)
            fill(pattern_colour, kPatternColour, {hex(palette_rgb(record.pattern_colour), false)});
        if (record.colour != 0) {
            std::string colour = hex(colour_rgb(record.colour, record.rgb), false);
            if (record.pattern_colour != 0)
                fill(out, kFillTwoColours, {pattern, pattern_colour, colour});
            else
                fill(out, kFillColour, {pattern, colour});
        } else if (record.pattern_colour != 0) {
            fill(out, kFillPatternColour, {pattern, pattern_colour});
        } else {
            fill(out, kFillPattern, {pattern});
        }
    }
    out.append(kFillsTail);
    return out;
}

std::string borders_section(const StyleRegistry &styles) {
    const auto &borders = styles.borders();
    std::string out;
    fill(out, kBordersHead, {Number(static_cast<long long>(borders.size() + 1))});
    out.append(kEmptyBorder);
    for (const BorderRecord &border : borders) {
        if (border.diagonal_up && border.diagonal_down) out.append(kBorderOpenBoth);
        else if (border.diagonal_up) out.append(kBorderOpenUp);
        else if (border.diagonal_down) out.append(kBorderOpenDown);
        else out.append(kBorderOpen);
        std::string colour;
        if (border.colour == 0)
            colour.assign(kBorderAutoColour);
        else
            fill(colour, kBorderColour, {hex(colour_rgb(border.colour, border.rgb), true)});
        auto side = [&](std::uint8_t style, std::string_view tmpl, std::string_view empty) {
            if (style) fill(out, tmpl, {border_style_name(style), colour});
            else out.append(empty);
        };
        side(border.left, kBorderLeft, "<left/>");
        side(border.right, kBorderRight, "<right/>");
        side(border.top, kBorderTop, "<top/>");
        side(border.bottom, kBorderBottom, "<bottom/>");
        // One diagonal element carries both directions; the up line's style wins when both
        // are set with different styles.
        std::uint8_t diagonal = border.diagonal_up ? border.diagonal_up : border.diagonal_down;
        if (diagonal)
            fill(out, kBorderDiagonal, {border_style_name(diagonal), colour});
        else
            out.append(kBorderNoDiagonal);
    }
    out.append(kBordersTail);
    return out;
}

std::string alignment(const XfRecord &xf) {
    std::string_view vertical = kVerticalTop, horizontal;
    switch (xf.align) {
    case 11: horizontal = kHorizontalLeft; break;
    case 12: horizontal = kHorizontalCenter; break;
    case 13: horizontal = kHorizontalRight; break;
    case 21: vertical = kVerticalCenter, horizontal = kHorizontalLeft; break;
    case 22: vertical = kVerticalCenter, horizontal = kHorizontalCenter; break;
    case 23: vertical = kVerticalCenter, horizontal = kHorizontalRight; break;
    case 31: vertical = {}, horizontal = kHorizontalLeft; break;
    case 32: vertical = {}, horizontal = kHorizontalCenter; break;
    case 33: vertical = {}, horizontal = kHorizontalRight; break;
    default: break;
    }
    std::string control;
    if (xf.text_flags & kTextVertical) control.append(kTextRotation);
    if (xf.text_flags & kTextWrap) control.append(kWrapText);
    if (xf.text_flags & kTextShrink) control.append(kShrinkToFit);
    std::string out;
    fill(out, kAlignment, {vertical, horizontal, control});
    return out;
}

std::string cell_xfs_section(const StyleRegistry &styles) {
    const auto &xfs = styles.xfs();
    const auto &formats = styles.num_formats();
    std::string out;
    fill(out, kCellXfsHead, {Number(static_cast<long long>(xfs.size() + 1))});
    out.append(kFirstXf);
    for (const XfRecord &xf : xfs) {
        long long format_id = xf.format;
        std::string_view format_text;
        if (xf.format_mode == kFormatTable && xf.format >= 1) {
            // An index past the table (never made by the registry itself) falls back to General.
            format_id = 0;
            if (xf.format <= formats.size()) {
                const NumFormat &entry = formats[xf.format - 1];
                format_id = entry.kind == kKindBuiltinHms ? kBuiltinHms : entry.assigned_id;
                format_text = kApplyNumberFormat;
            }
        } else if (xf.format_mode == kFormatText) {
            format_id = 0;
            format_text = kQuotePrefix;
        }
        fill(out, kXf,
             {Number(format_id), Number(xf.font), Number(xf.fill), Number(xf.border),
              xf.border >= 1 ? kApplyBorder : std::string_view(), Number(xf.style_xf),
              xf.fill >= 2 ? kApplyFill : std::string_view(), format_text, alignment(xf)});
    }
    out.append(kCellXfsTail);
    return out;
}

}  // namespace

std::string write_styles_part(const Book &book) {
    const StyleRegistry &styles = book.styles;
    std::string num_fmts = num_fmts_section(styles);
    std::string out;
    out.reserve(65536);
    fill(out, kStylesText,
         {num_fmts, fonts_section(styles), fills_section(styles), borders_section(styles), cell_xfs_section(styles)});
    return out;
}

}  // namespace tabsmith
