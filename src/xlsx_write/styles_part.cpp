// Serialises the style registry as xl/styles.xml: the section writers, the numFmtId
// assignment and every fixed template of the part.

#include "xlsx_write/styles_part.h"

#include <string_view>
#include <vector>

#include "model/style_registry.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

// The part itself; the five holes are the numFmts, fonts, fills, borders and cellXfs sections.
constexpr XmlTemplate kStylesText{
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">{num_fmts}{fonts}{fills}{borders}"
    "<cellStyleXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\">"
    "<alignment vertical=\"center\"/></xf><xf numFmtId=\"0\" fontId=\"2\" fillId=\"0\" borderId=\"0\">"
    "<alignment vertical=\"center\"/></xf></cellStyleXfs>{cell_xfs}"
    "<cellStyles count=\"2\"><cellStyle name=\"ハイパーリンク\" xfId=\"1\" builtinId=\"8\"/>"
    "<cellStyle name=\"標準\" xfId=\"0\" builtinId=\"0\"/></cellStyles><dxfs count=\"0\"/>"
    "<tableStyles count=\"0\" defaultTableStyle=\"TableStyleMedium9\" defaultPivotStyle=\"PivotStyleLight16\"/>"
    "</styleSheet>"};

constexpr XmlTemplate kNumFmtsHead{"<numFmts count=\"{count}\">"};
constexpr std::string_view kNumFmtsTail = "</numFmts>";
constexpr XmlTemplate kNumFmtCode{"<numFmt numFmtId=\"{id}\" formatCode=\"{code}\"/>"};
// The yen sign itself (U+00A5), as Japanese programs store it: a backslash would show as a
// yen sign only in fonts of the Japanese code page.
constexpr std::string_view kCurrencyText = "&quot;¥&quot;";

// Built-in ids that name no format of their own: each reader fills them from its locale, and
// a reader without a meaning for one warns or falls back to General. A book whose cell formats
// use one declares it with the code Japanese programs give it, as they do themselves. Plain
// codes, escaped when written.
struct LocaleFormat {
    std::uint32_t id;
    std::string_view code;
};
constexpr LocaleFormat kLocaleFormats[] = {
    {5, "\"¥\"#,##0;\"¥\"\\-#,##0"},
    {6, "\"¥\"#,##0;[Red]\"¥\"\\-#,##0"},
    {7, "\"¥\"#,##0.00;\"¥\"\\-#,##0.00"},
    {8, "\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00"},
    {27, "[$-411]ge.m.d"},
    {28, "[$-411]ggge\"年\"m\"月\"d\"日\""},
    {29, "[$-411]ggge\"年\"m\"月\"d\"日\""},
    {30, "m/d/yy"},
    {31, "yyyy\"年\"m\"月\"d\"日\""},
    {32, "h\"時\"mm\"分\""},
    {33, "h\"時\"mm\"分\"ss\"秒\""},
    {34, "yyyy\"年\"m\"月\""},
    {35, "m\"月\"d\"日\""},
    {36, "[$-411]ge.m.d"},
    {41, "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ "},
    {42, "_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ "},
    {43, "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ "},
    {44, "_ \"¥\"* #,##0.00_ ;_ \"¥\"* \\-#,##0.00_ ;_ \"¥\"* \"-\"??_ ;_ @_ "},
    {50, "[$-411]ge.m.d"},
    {51, "[$-411]ggge\"年\"m\"月\"d\"日\""},
    {52, "yyyy\"年\"m\"月\""},
    {53, "m\"月\"d\"日\""},
    {54, "[$-411]ggge\"年\"m\"月\"d\"日\""},
    {55, "yyyy\"年\"m\"月\""},
    {56, "m\"月\"d\"日\""},
    {57, "[$-411]ge.m.d"},
    {58, "[$-411]ggge\"年\"m\"月\"d\"日\""},
};

// What fills a kind's template after the id: nothing, the decimal pattern {n} ("0", "0.00"),
// or the currency text {currency} and {n}.
enum class NumArgs { kNone, kNumber, kCurrency };

struct NumFmtTemplate {
    std::uint16_t kind;
    NumArgs args;
    XmlTemplate text;
};

constexpr NumFmtTemplate kNumFmtTemplates[] = {
    {101, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"{n}_);\\({n}\\)\"/>"},
    {102, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"{n}_);[Red]\\({n}\\)\"/>"},
    {103, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"{n};[Red]{n}\"/>"},
    {104, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"{n}_ ;[Red]\\-{n}\\ \"/>"},
    {105, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"{n};&quot;△ &quot;{n}\"/>"},
    {106, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"{n};&quot;▲ &quot;{n}\"/>"},
    {107, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"#,##{n}_ \"/>"},
    {108, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"#,##{n}_);[Red]\\(#,##{n}\\)\"/>"},
    // n decimal places: the plain pattern (the entry carries no code of its own).
    {109, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"{n}\"/>"},
    {201, NumArgs::kCurrency, "<numFmt numFmtId=\"{id}\" formatCode=\"{currency}#,##{n};{currency}\\-#,##{n}\"/>"},
    {202, NumArgs::kCurrency, "<numFmt numFmtId=\"{id}\" formatCode=\"{currency}#,##{n};[Red]{currency}\\-#,##{n}\"/>"},
    {203, NumArgs::kCurrency, "<numFmt numFmtId=\"{id}\" formatCode=\"{currency}#,##{n};[Red]{currency}#,##{n}\"/>"},
    {204, NumArgs::kCurrency, "<numFmt numFmtId=\"{id}\" formatCode=\"{currency}#,##{n}_);\\({currency}#,##{n}\\)\"/>"},
    {205, NumArgs::kCurrency, "<numFmt numFmtId=\"{id}\" formatCode=\"{currency}#,##{n};[Red]{currency};#,##{n}\"/>"},
    {302, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"yyyy/m/d;@\"/>"},
    {303, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"yyyy/m/d\\ h:mm;@\"/>"},
    {331, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"m&quot;月&quot;d&quot;日&quot;;@\"/>"},
    {333, NumArgs::kNone,
     "<numFmt numFmtId=\"{id}\" formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;;@\"/>"},
    {334, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"[$-411]ge\\.m\\.d;@\"/>"},
    {335, NumArgs::kNone,
     "<numFmt numFmtId=\"{id}\" formatCode=\"[$-411]ggge&quot;年&quot;m&quot;月&quot;d&quot;日&quot;;@\"/>"},
    {400, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"h&quot;時&quot;mm&quot;分&quot;;@\"/>"},
    {402, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"h&quot;時&quot;mm&quot;分&quot;;@\"/>"},
    {500, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"{n}%\"/>"},
    {501, NumArgs::kNumber, "<numFmt numFmtId=\"{id}\" formatCode=\"{n}%\"/>"},
    {510, NumArgs::kNone,
     "<numFmt numFmtId=\"{id}\" formatCode=\"[&lt;=999]000;[&lt;=9999]000\\-00;000\\-0000\" />"},
    {511, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"&quot;△&quot;\\ #,##0;&quot;▲&quot;\\ #,##0\" />"},
    {512, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"[DBNum1][$-411]General\" />"},
    {513, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"[DBNum2][$-411]General\" />"},
    {514, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"[DBNum3][$-411]0\" />"},
    {515, NumArgs::kNone, "<numFmt numFmtId=\"{id}\" formatCode=\"[DBNum3][$-411]#,##0\" />"},
};

// Every entry's holes are the ones its kind fills, in that order.
constexpr bool num_fmt_templates_match() {
    for (const auto &entry : kNumFmtTemplates) {
        const XmlTemplate &t = entry.text;
        bool ok = t.values() >= 1 && t.name(0) == "id";
        switch (entry.args) {
        case NumArgs::kNone: ok = ok && t.values() == 1; break;
        case NumArgs::kNumber: ok = ok && t.values() == 2 && t.name(1) == "n"; break;
        case NumArgs::kCurrency: ok = ok && t.values() == 3 && t.name(1) == "currency" && t.name(2) == "n"; break;
        }
        if (!ok) return false;
    }
    return true;
}
static_assert(num_fmt_templates_match(), "a number format template does not fit its kind");

// Kinds that take an id but have no element of their own, with the built-in id their cells are
// written with (General, yen, date: an id no element declares would be undefined to a reader),
// and the kind that takes neither (cells of that kind use the built-in [h]:mm:ss format).
struct SilentKind {
    std::uint16_t kind;
    std::uint32_t builtin_id;
};
constexpr SilentKind kSilentKinds[] = {{100, 0}, {200, 5}, {300, 14}};
constexpr std::uint16_t kKindBuiltinHms = 404;
constexpr std::uint32_t kBuiltinHms = 46;
// Ids from here on belong to the book's own formats.
constexpr std::uint32_t kFirstCustomId = 164;

constexpr XmlTemplate kFontsHead{"<fonts count=\"{count}\">"};
constexpr std::string_view kFontsTail = "</fonts>";
constexpr XmlTemplate kFont{
    "<font>{style}<sz val=\"{size}\"/>{colour}<name val=\"{name}\"/><family val=\"3\"/><charset val=\"128\"/></font>"};
constexpr std::string_view kBoldTag = "<b/>";
constexpr std::string_view kItalicTag = "<i/>";
constexpr std::string_view kUnderlineTag = "<u/>";
constexpr XmlTemplate kFontColour{"<color rgb=\"FF{rgb}\"/>"};
constexpr std::string_view kFontHyperlinkColour = "<color theme=\"10\"/>";

constexpr XmlTemplate kFillsHead{"<fills count=\"{count}\">"};
constexpr std::string_view kFillsTail = "</fills>";
constexpr XmlTemplate kPatternColour{"<fgColor rgb=\"FF{rgb}\" />"};
constexpr XmlTemplate kFillTwoColours{
    "<fill><patternFill patternType=\"{pattern}\">{pattern_colour}<bgColor rgb=\"FF{rgb}\"/></patternFill></fill>"};
constexpr XmlTemplate kFillColour{
    "<fill><patternFill patternType=\"{pattern}\"><fgColor rgb=\"FF{rgb}\"/><bgColor indexed=\"64\"/></patternFill></fill>"};
constexpr XmlTemplate kFillPatternColour{
    "<fill><patternFill patternType=\"{pattern}\">{pattern_colour}</patternFill></fill>"};
constexpr XmlTemplate kFillPattern{"<fill><patternFill patternType=\"{pattern}\"/></fill>"};
constexpr XmlTemplate kGradientFill{"<fill><gradientFill{attributes}>{stops}</gradientFill></fill>"};
constexpr XmlTemplate kGradientColour{"<color rgb=\"FF{rgb}\" />"};
constexpr XmlTemplate kGradientTwoStops{"<stop position=\"0\">{first}</stop><stop position=\"1\">{second}</stop>"};
// A three-stop gradient returns to its first colour.
constexpr XmlTemplate kGradientThreeStops{
    "<stop position=\"0\">{first}</stop><stop position=\"0.5\">{second}</stop><stop position=\"1\">{first}</stop>"};

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

constexpr XmlTemplate kBordersHead{"<borders count=\"{count}\">"};
constexpr std::string_view kBordersTail = "</borders>";
constexpr std::string_view kEmptyBorder = "<border><left/><right/><top/><bottom/><diagonal/></border>";
constexpr std::string_view kBorderOpen = "<border>";
constexpr std::string_view kBorderOpenUp = "<border diagonalUp=\"1\">";
constexpr std::string_view kBorderOpenDown = "<border diagonalDown=\"1\">";
constexpr std::string_view kBorderOpenBoth = "<border diagonalUp=\"1\" diagonalDown=\"1\">";
constexpr std::string_view kBorderAutoColour = "<color auto=\"1\"/>";
constexpr XmlTemplate kBorderColour{"<color rgb=\"FF{rgb}\"/>"};
constexpr XmlTemplate kBorderLeft{"<left style=\"{style}\">{colour}</left>"};
constexpr XmlTemplate kBorderRight{"<right style=\"{style}\">{colour}</right>"};
constexpr XmlTemplate kBorderTop{"<top style=\"{style}\">{colour}</top>"};
constexpr XmlTemplate kBorderBottom{"<bottom style=\"{style}\">{colour}</bottom>"};
constexpr std::string_view kBorderNoLeft = "<left/>", kBorderNoRight = "<right/>", kBorderNoTop = "<top/>",
                           kBorderNoBottom = "<bottom/>";
constexpr XmlTemplate kBorderDiagonal{"<diagonal style=\"{style}\">{colour}</diagonal></border>"};
constexpr std::string_view kBorderNoDiagonal = "<diagonal/></border>";

constexpr XmlTemplate kCellXfsHead{"<cellXfs count=\"{count}\">"};
constexpr std::string_view kCellXfsTail = "</cellXfs>";
constexpr std::string_view kFirstXf =
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment vertical=\"center\"/></xf>";
constexpr XmlTemplate kXf{
    "<xf numFmtId=\"{format}\" fontId=\"{font}\" fillId=\"{fill}\" borderId=\"{border}\"{apply_border} "
    "xfId=\"{style_xf}\"{apply_fill}{apply_format}>{alignment}</xf>"};
// A format that leaves all alignment to the reader.
constexpr XmlTemplate kXfWithoutAlignment{
    "<xf numFmtId=\"{format}\" fontId=\"{font}\" fillId=\"{fill}\" borderId=\"{border}\"{apply_border} "
    "xfId=\"{style_xf}\"{apply_fill}{apply_format}/>"};
constexpr std::string_view kApplyBorder = " applyBorder=\"1\"";
constexpr std::string_view kApplyFill = " applyFill=\"1\"";
constexpr std::string_view kApplyNumberFormat = " applyNumberFormat=\"1\"";
constexpr std::string_view kQuotePrefix = " quotePrefix=\"1\" applyAlignment=\"1\"";
constexpr XmlTemplate kAlignment{"<alignment{vertical}{horizontal}{control}/>"};
constexpr std::string_view kVerticalTop = " vertical=\"top\"";
constexpr std::string_view kVerticalCenter = " vertical=\"center\"";
constexpr std::string_view kHorizontalLeft = " horizontal=\"left\"";
constexpr std::string_view kHorizontalCenter = " horizontal=\"center\"";
constexpr std::string_view kHorizontalRight = " horizontal=\"right\"";
constexpr std::string_view kTextRotation = " textRotation=\"255\"";
constexpr std::string_view kWrapText = " wrapText=\"1\"";
constexpr std::string_view kShrinkToFit = " shrinkToFit=\"1\"";

const NumFmtTemplate *num_fmt_template(std::uint16_t kind) {
    for (const auto &entry : kNumFmtTemplates)
        if (entry.kind == kind) return &entry;
    return nullptr;
}

const SilentKind *silent_kind(std::uint16_t kind) {
    for (const auto &silent : kSilentKinds)
        if (silent.kind == kind) return &silent;
    return nullptr;
}

// The numFmtId an XF is written with, and the attribute text that goes with it.
struct XfFormat {
    std::uint32_t id = 0;
    std::string_view text;
};

// An entry that came from a package keeps the id it had there, whatever its kind.
XfFormat xf_format(const XfRecord &xf, const std::vector<NumFormat> &formats, std::size_t package_formats = 0) {
    if (xf.format_mode == kFormatText) return {0, kQuotePrefix};
    if (xf.format_mode != kFormatTable || xf.format < 1) return {xf.format, {}};
    // An index past the table (never made by the registry itself) falls back to General.
    if (xf.format > formats.size()) return {0, {}};
    const NumFormat &entry = formats[xf.format - 1];
    if (xf.format <= package_formats) return {entry.assigned_id, kApplyNumberFormat};
    if (entry.kind == kKindBuiltinHms) return {kBuiltinHms, kApplyNumberFormat};
    if (const SilentKind *silent = silent_kind(entry.kind)) return {silent->builtin_id, kApplyNumberFormat};
    return {entry.assigned_id, kApplyNumberFormat};
}

// The locale-dependent built-in ids the cell formats are written with, in id order.
std::vector<const LocaleFormat *> used_locale_formats(const StyleRegistry &styles) {
    std::vector<bool> used_ids;
    for (const XfRecord &xf : styles.xfs()) {
        const std::uint32_t id = xf_format(xf, styles.num_formats()).id;
        if (id >= used_ids.size() && id < kFirstCustomId) used_ids.resize(id + 1);
        if (id < used_ids.size()) used_ids[id] = true;
    }
    std::vector<const LocaleFormat *> used;
    for (const LocaleFormat &format : kLocaleFormats)
        if (format.id < used_ids.size() && used_ids[format.id]) used.push_back(&format);
    return used;
}

bool writes_element(const NumFormat &format) {
    return format.kind != kKindBuiltinHms && !silent_kind(format.kind);
}

void write_num_fmts(const StyleRegistry &styles, std::string &out) {
    const auto &formats = styles.num_formats();
    const std::vector<const LocaleFormat *> locale_formats = used_locale_formats(styles);
    std::size_t count = locale_formats.size();
    for (const NumFormat &format : formats)
        if (writes_element(format)) ++count;
    xml_fill<kNumFmtsHead>(out, count);
    for (const LocaleFormat *format : locale_formats) write_num_fmt_code(format->id, format->code, out);
    for (const NumFormat &format : formats) write_num_fmt_record(format, out);
    out.append(kNumFmtsTail);
}

void write_fonts(const StyleRegistry &styles, std::string &out) {
    const auto &fonts = styles.fonts();
    xml_fill<kFontsHead>(out, fonts.size());
    for (const FontRecord &font : fonts) write_font_record(font, out);
    out.append(kFontsTail);
}

void write_gradient_fill(const FillRecord &record, std::string &out) {
    unsigned style = record.gradient_kind;
    unsigned variant = record.gradient_variation;
    std::size_t row = style >= 1 && style <= 5 ? style - 1 : 5;
    std::size_t column = variant >= 2 && variant <= 4 ? variant - 1 : 0;
    auto first = [&](std::string &o) {
        xml_fill<kGradientColour>(o, HexRgb{colour_rgb(record.colour, record.rgb), HexCase::kLower});
    };
    auto second = [&](std::string &o) {
        xml_fill<kGradientColour>(o, HexRgb{colour_rgb(record.colour2, record.rgb2), HexCase::kLower});
    };
    auto stops = [&](std::string &o) {
        if (variant == 3 && style != 4 && style != 5) xml_fill<kGradientThreeStops>(o, first, second);
        else xml_fill<kGradientTwoStops>(o, first, second);
    };
    xml_fill<kGradientFill>(out, kGradientAttributes[row][column], stops);
}

void write_fills(const StyleRegistry &styles, std::string &out) {
    const auto &fills = styles.fills();
    xml_fill<kFillsHead>(out, fills.size());
    for (const FillRecord &record : fills) write_fill_record(record, out);
    out.append(kFillsTail);
}

// One side of a border: its element with style and colour, or the empty element.
template <const XmlTemplate &Side, typename Colour>
void write_border_side(std::uint8_t style, std::string_view empty, const Colour &colour, std::string &out) {
    if (style) xml_fill<Side>(out, border_style_name(style), colour);
    else out.append(empty);
}

void write_borders(const StyleRegistry &styles, std::string &out) {
    const auto &borders = styles.borders();
    xml_fill<kBordersHead>(out, borders.size() + 1);
    out.append(kEmptyBorder);
    for (const BorderRecord &border : borders) write_border_record(border, out);
    out.append(kBordersTail);
}

// The alignment attributes of an XF: vertical, horizontal, text control.
struct AlignmentText {
    std::string_view vertical, horizontal;
    std::uint8_t control = 0;
    bool empty() const { return vertical.empty() && horizontal.empty() && control == 0; }
};

AlignmentText alignment_of(const XfRecord &xf) {
    AlignmentText a;
    a.vertical = kVerticalTop;
    a.control = xf.text_flags & (kTextVertical | kTextWrap | kTextShrink);
    switch (xf.align) {
    case 11: a.horizontal = kHorizontalLeft; break;
    case 12: a.horizontal = kHorizontalCenter; break;
    case 13: a.horizontal = kHorizontalRight; break;
    case 21: a.vertical = kVerticalCenter, a.horizontal = kHorizontalLeft; break;
    case 22: a.vertical = kVerticalCenter, a.horizontal = kHorizontalCenter; break;
    case 23: a.vertical = kVerticalCenter, a.horizontal = kHorizontalRight; break;
    case 31:
        // Untouched by ALIGN: the reader aligns by value (numbers right, texts left), as it
        // does for cells without a format.
        a.vertical = {};
        if (xf.align_explicit) a.horizontal = kHorizontalLeft;
        break;
    case 32: a.vertical = {}, a.horizontal = kHorizontalCenter; break;
    case 33: a.vertical = {}, a.horizontal = kHorizontalRight; break;
    default: break;
    }
    return a;
}

void write_alignment(const AlignmentText &a, std::string &out) {
    auto control = [&](std::string &o) {
        if (a.control & kTextVertical) o.append(kTextRotation);
        if (a.control & kTextWrap) o.append(kWrapText);
        if (a.control & kTextShrink) o.append(kShrinkToFit);
    };
    xml_fill<kAlignment>(out, a.vertical, a.horizontal, control);
}

void write_cell_xfs(const StyleRegistry &styles, std::string &out) {
    const auto &xfs = styles.xfs();
    const auto &formats = styles.num_formats();
    xml_fill<kCellXfsHead>(out, xfs.size() + 1);
    out.append(kFirstXf);
    for (const XfRecord &xf : xfs) write_xf_record(xf, formats, 0, out);
    out.append(kCellXfsTail);
}

}  // namespace

void write_num_fmt_code(std::uint32_t id, std::string_view code, std::string &out) {
    // A code of the caller's (or a template's) is plain text: escaped for the attribute.
    xml_fill<kNumFmtCode>(out, id, XmlAttribute{code});
}

bool write_num_fmt_record(const NumFormat &format, std::string &out) {
    if (!writes_element(format)) return false;
    const NumFmtTemplate *entry = num_fmt_template(format.kind);
    if (!entry) {
        write_num_fmt_code(format.assigned_id, format.code, out);
        return true;
    }
    // The decimal pattern: "0", then "." and one "0" per decimal place.
    auto decimals = [&](std::string &o) {
        o.push_back('0');
        if (format.decimals > 0) o.append(".").append(format.decimals, '0');
    };
    switch (entry->args) {
    case NumArgs::kNone: xml_fill_chosen(out, entry->text, format.assigned_id); break;
    case NumArgs::kNumber: xml_fill_chosen(out, entry->text, format.assigned_id, decimals); break;
    case NumArgs::kCurrency: xml_fill_chosen(out, entry->text, format.assigned_id, kCurrencyText, decimals); break;
    }
    return true;
}

std::string_view locale_format_code(std::uint32_t id) {
    for (const LocaleFormat &format : kLocaleFormats)
        if (format.id == id) return format.code;
    return {};
}

std::uint32_t xf_number_format_id(const XfRecord &xf, const std::vector<NumFormat> &formats,
                                  std::size_t package_formats) {
    return xf_format(xf, formats, package_formats).id;
}

void write_font_record(const FontRecord &font, std::string &out) {
    auto style = [&](std::string &o) {
        if (font.style & kFontBold) o.append(kBoldTag);
        if (font.style & kFontItalic) o.append(kItalicTag);
        if (font.style & (kFontUnderline | kFontHyperlink)) o.append(kUnderlineTag);
    };
    auto colour = [&](std::string &o) {
        if (font.colour != 0) xml_fill<kFontColour>(o, HexRgb{colour_rgb(font.colour, font.rgb), HexCase::kUpper});
        else if (font.style & kFontHyperlink) o.append(kFontHyperlinkColour);
    };
    std::string_view name = font.name_id == kFontNameOwn ? std::string_view(font.name) : builtin_font_name(font.name_id);
    xml_fill<kFont>(out, style, font.size, colour, XmlText{name});
}

void write_fill_record(const FillRecord &record, std::string &out) {
    if (record.pattern == kFillGradient) {
        write_gradient_fill(record, out);
        return;
    }
    std::string_view pattern = fill_pattern_name(record.pattern);
    auto pattern_colour = [&](std::string &o) {
        xml_fill<kPatternColour>(o, HexRgb{palette_rgb(record.pattern_colour), HexCase::kLower});
    };
    if (record.colour != 0) {
        HexRgb colour{colour_rgb(record.colour, record.rgb), HexCase::kLower};
        if (record.pattern_colour != 0) xml_fill<kFillTwoColours>(out, pattern, pattern_colour, colour);
        else xml_fill<kFillColour>(out, pattern, colour);
    } else if (record.pattern_colour != 0) {
        xml_fill<kFillPatternColour>(out, pattern, pattern_colour);
    } else {
        xml_fill<kFillPattern>(out, pattern);
    }
}

void write_border_record(const BorderRecord &border, std::string &out) {
    if (border.diagonal_up && border.diagonal_down) out.append(kBorderOpenBoth);
    else if (border.diagonal_up) out.append(kBorderOpenUp);
    else if (border.diagonal_down) out.append(kBorderOpenDown);
    else out.append(kBorderOpen);
    auto colour = [&](std::string &o) {
        if (border.colour == 0) o.append(kBorderAutoColour);
        else xml_fill<kBorderColour>(o, HexRgb{colour_rgb(border.colour, border.rgb), HexCase::kUpper});
    };
    write_border_side<kBorderLeft>(border.left, kBorderNoLeft, colour, out);
    write_border_side<kBorderRight>(border.right, kBorderNoRight, colour, out);
    write_border_side<kBorderTop>(border.top, kBorderNoTop, colour, out);
    write_border_side<kBorderBottom>(border.bottom, kBorderNoBottom, colour, out);
    // One diagonal element carries both directions; the up line's style wins when both are set
    // with different styles.
    std::uint8_t diagonal = border.diagonal_up ? border.diagonal_up : border.diagonal_down;
    write_border_side<kBorderDiagonal>(diagonal, kBorderNoDiagonal, colour, out);
}

void write_xf_record(const XfRecord &xf, const std::vector<NumFormat> &formats, std::size_t package_formats,
                     std::string &out) {
    const XfFormat format = xf_format(xf, formats, package_formats);
    const AlignmentText align = alignment_of(xf);
    const std::string_view apply_border = xf.border >= 1 ? kApplyBorder : std::string_view();
    const std::string_view apply_fill = xf.fill >= 2 ? kApplyFill : std::string_view();
    if (align.empty()) {
        xml_fill<kXfWithoutAlignment>(out, format.id, xf.font, xf.fill, xf.border, apply_border, xf.style_xf,
                                      apply_fill, format.text);
    } else {
        auto alignment = [&](std::string &o) { write_alignment(align, o); };
        xml_fill<kXf>(out, format.id, xf.font, xf.fill, xf.border, apply_border, xf.style_xf, apply_fill,
                      format.text, alignment);
    }
}

std::string write_styles_part(const Book &book) {
    const StyleRegistry &styles = book.styles;
    std::string out;
    out.reserve(65536);
    xml_fill<kStylesText>(
        out, [&](std::string &o) { write_num_fmts(styles, o); }, [&](std::string &o) { write_fonts(styles, o); },
        [&](std::string &o) { write_fills(styles, o); }, [&](std::string &o) { write_borders(styles, o); },
        [&](std::string &o) { write_cell_xfs(styles, o); });
    return out;
}

}  // namespace tabsmith
