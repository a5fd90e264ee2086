// The styles part, compared whole against hand-written text: a new book, fonts, fills and
// borders from the set-cell operations, alignment and text flags, number formats, gradients.

#include <gtest/gtest.h>

#include <string>

#include "model/book.h"
#include "model/style_registry.h"
#include "xlsx_write/styles_part.h"

using namespace tabsmith;

namespace {

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";
const std::string kStyleXfs =
    "<cellStyleXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"><alignment "
    "vertical=\"center\"/></xf><xf numFmtId=\"0\" fontId=\"2\" fillId=\"0\" borderId=\"0\"><alignment "
    "vertical=\"center\"/></xf></cellStyleXfs>";
const std::string kTail =
    "<cellStyles count=\"2\"><cellStyle name=\"ハイパーリンク\" xfId=\"1\" builtinId=\"8\"/><cellStyle "
    "name=\"標準\" xfId=\"0\" builtinId=\"0\"/></cellStyles><dxfs count=\"0\"/><tableStyles count=\"0\" "
    "defaultTableStyle=\"TableStyleMedium9\" defaultPivotStyle=\"PivotStyleLight16\"/></styleSheet>";

// The currency preset uses built-in id 5, whose code is the reader's locale's: every book
// declares it with the Japanese yen format.
const std::string kYenDeclaration =
    "<numFmt numFmtId=\"5\" formatCode=\"&quot;¥&quot;#,##0;&quot;¥&quot;\\-#,##0\"/>";
const std::string kDateNumFmts =
    "<numFmts count=\"2\">" + kYenDeclaration + "<numFmt numFmtId=\"176\" formatCode=\"yyyy/m/d;@\"/></numFmts>";
const std::string kFontTail = "<name val=\"ＭＳ Ｐゴシック\"/><family val=\"3\"/><charset val=\"128\"/></font>";
const std::string kPresetFonts = "<font><sz val=\"11\"/>" + kFontTail + "<font><sz val=\"9\"/>" + kFontTail +
                                 "<font><b/><u/><sz val=\"11\"/><color theme=\"10\"/>" + kFontTail;
const std::string kPresetFills =
    "<fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill>";
const std::string kEmptyBorder = "<border><left/><right/><top/><bottom/><diagonal/></border>";
const std::string kFirstXf =
    "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment vertical=\"center\"/></xf>";
const std::string kPresetXfs =
    kFirstXf +
    "<xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment horizontal=\"right\"/></xf>"
    "<xf numFmtId=\"22\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment horizontal=\"right\"/></xf>"
    "<xf numFmtId=\"20\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment horizontal=\"right\"/></xf>"
    "<xf numFmtId=\"46\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment horizontal=\"right\"/></xf>"
    "<xf numFmtId=\"5\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment horizontal=\"right\"/></xf>"
    "<xf numFmtId=\"9\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment horizontal=\"right\"/></xf>"
    "<xf numFmtId=\"0\" fontId=\"2\" fillId=\"0\" borderId=\"0\" xfId=\"1\"/>";

// A plain XF with the given font, fill and border ids and extra text. No ALIGN touched it, so it
// has no alignment: the reader aligns numbers right and texts left.
std::string xf(int font, int fill, int border, const std::string &attributes = "") {
    return "<xf numFmtId=\"0\" fontId=\"" + std::to_string(font) + "\" fillId=\"" + std::to_string(fill) +
           "\" borderId=\"" + std::to_string(border) + "\"" + attributes + "/>";
}

std::string part(const std::string &num_fmts, int fonts, const std::string &font_text, int fills,
                 const std::string &fill_text, int borders, const std::string &border_text, int xfs,
                 const std::string &xf_text) {
    return kHead + num_fmts + "<fonts count=\"" + std::to_string(fonts) + "\">" + font_text + "</fonts>" +
           "<fills count=\"" + std::to_string(fills) + "\">" + fill_text + "</fills>" + "<borders count=\"" +
           std::to_string(borders) + "\">" + kEmptyBorder + border_text + "</borders>" + kStyleXfs +
           "<cellXfs count=\"" + std::to_string(xfs) + "\">" + kPresetXfs + xf_text + "</cellXfs>" + kTail;
}

BorderRecord thin_box() {
    BorderRecord border;
    border.left = border.right = border.top = border.bottom = 1;
    return border;
}

}  // namespace

// The styles part as a save writes it: ids assigned first.
std::string styles_text(Book &book) {
    book.styles.assign_format_ids();
    return write_styles_part(book);
}

TEST(StylesPart, NewBook) {
    Book book;
    EXPECT_EQ(styles_text(book), part(kDateNumFmts, 3, kPresetFonts, 2, kPresetFills, 1, "", 8, ""));
    EXPECT_EQ(book.styles.num_formats()[0].assigned_id, 176);
}

TEST(StylesPart, RedBoldFontSolidFillThinBorder) {
    Book book;
    Cell a, b, c;
    FontRecord red_bold;
    red_bold.style = kFontBold;
    red_bold.colour = 11;
    ASSERT_EQ(set_cell_font(book, a, kFontMaskStyle | kFontMaskColour, red_bold), 0);
    FillRecord yellow;
    yellow.colour = 12;
    ASSERT_EQ(set_cell_fill(book, a, kFillMaskColour, yellow), 0);
    ASSERT_EQ(set_cell_border(book, a, 15, thin_box()), 0);
    ASSERT_EQ(set_cell_border(book, b, 15, thin_box()), 0);
    // gray125 is the reserved fill 1: shared, and written without applyFill.
    FillRecord gray;
    gray.pattern = kFillGray125;
    ASSERT_EQ(set_cell_fill(book, c, kFillMaskPattern, gray), 0);

    const std::string auto_colour = "<color auto=\"1\"/>";
    std::string expected = part(
        kDateNumFmts, 4,
        kPresetFonts + "<font><b/><sz val=\"11\"/><color rgb=\"FFFF0000\"/>" + kFontTail, 3,
        kPresetFills +
            "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FFffff00\"/><bgColor indexed=\"64\"/>"
            "</patternFill></fill>",
        2,
        "<border><left style=\"thin\">" + auto_colour + "</left><right style=\"thin\">" + auto_colour +
            "</right><top style=\"thin\">" + auto_colour + "</top><bottom style=\"thin\">" + auto_colour +
            "</bottom><diagonal/></border>",
        13,
        xf(3, 0, 0, " xfId=\"0\"") + xf(3, 2, 0, " xfId=\"0\" applyFill=\"1\"") +
            xf(3, 2, 1, " applyBorder=\"1\" xfId=\"0\" applyFill=\"1\"") + xf(0, 0, 1, " applyBorder=\"1\" xfId=\"0\"") +
            xf(0, 1, 0, " xfId=\"0\""));
    EXPECT_EQ(styles_text(book), expected);
    EXPECT_EQ(a.style, 10);
    EXPECT_EQ(b.style, 11);
}

TEST(StylesPart, AlignmentAndTextFlags) {
    Book book;
    Cell centred, vertical, top_left, odd;
    ASSERT_EQ(set_cell_align(book, centred, 22), 0);
    ASSERT_EQ(set_cell_text_flags(book, centred, kTextWrap), 0);
    ASSERT_EQ(set_cell_text_flags(book, vertical, kTextVertical), 0);
    ASSERT_EQ(set_cell_align(book, top_left, 11), 0);
    ASSERT_EQ(set_cell_text_flags(book, top_left, kTextShrink), 0);
    ASSERT_EQ(set_cell_align(book, odd, 99), 0);
    ASSERT_EQ(set_cell_align(book, odd, 32), 0);

    auto with = [](const std::string &alignment) {
        return "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment" + alignment +
               "/></xf>";
    };
    std::string expected =
        part(kDateNumFmts, 3, kPresetFonts, 2, kPresetFills, 1, "", 15,
             with(" vertical=\"center\" horizontal=\"center\"") +
                 with(" vertical=\"center\" horizontal=\"center\" wrapText=\"1\"") +
                 with(" textRotation=\"255\"") + with(" vertical=\"top\" horizontal=\"left\"") +
                 with(" vertical=\"top\" horizontal=\"left\" shrinkToFit=\"1\"") + with(" vertical=\"top\"") +
                 with(" horizontal=\"center\""));
    EXPECT_EQ(styles_text(book), expected);
}

TEST(StylesPart, NumberFormatEntries) {
    Book book;
    int yen = 0, hms = 0, plain = 0, custom = 0, two = 0, percent = 0;
    ASSERT_EQ(tsx_set_num_format(book, 201, yen), 0);
    NumFormat entry;
    entry.kind = 109;
    entry.decimals = 2;
    ASSERT_EQ(append_num_format(book, entry, two), 0);
    entry.kind = 501;
    entry.decimals = 1;
    ASSERT_EQ(append_num_format(book, entry, percent), 0);
    ASSERT_EQ(tsx_set_num_format(book, 404, hms), 0);
    ASSERT_EQ(tsx_set_num_format(book, 100, plain), 0);
    entry = NumFormat{};
    entry.kind = 900;
    entry.code = "0.0\"kg\"";
    ASSERT_EQ(append_num_format(book, entry, custom), 0);
    Cell a, b, c, d;
    ASSERT_EQ(set_cell_number_format(book, a, static_cast<std::uint32_t>(yen)), 0);
    ASSERT_EQ(set_cell_number_format(book, b, static_cast<std::uint32_t>(hms)), 0);
    ASSERT_EQ(set_cell_text_format(book, c), 0);
    ASSERT_EQ(set_cell_number_format(book, d, static_cast<std::uint32_t>(custom)), 0);

    std::string num_fmts =
        "<numFmts count=\"6\">" + kYenDeclaration + "<numFmt numFmtId=\"176\" formatCode=\"yyyy/m/d;@\"/>"
        "<numFmt numFmtId=\"177\" formatCode=\"&quot;¥&quot;#,##0;&quot;¥&quot;\\-#,##0\"/>"
        "<numFmt numFmtId=\"178\" formatCode=\"0.00\"/><numFmt numFmtId=\"179\" formatCode=\"0.0%\"/>"
        "<numFmt numFmtId=\"181\" formatCode=\"0.0&quot;kg&quot;\"/></numFmts>";
    auto with = [](int id, const std::string &attributes) {
        return "<xf numFmtId=\"" + std::to_string(id) + "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"" +
               attributes + "/>";
    };
    std::string expected = part(num_fmts, 3, kPresetFonts, 2, kPresetFills, 1, "", 12,
                                with(177, " applyNumberFormat=\"1\"") + with(46, " applyNumberFormat=\"1\"") +
                                    with(0, " quotePrefix=\"1\" applyAlignment=\"1\"") +
                                    with(181, " applyNumberFormat=\"1\""));
    EXPECT_EQ(styles_text(book), expected);
    EXPECT_EQ(book.styles.num_formats()[1].assigned_id, 177);
    EXPECT_EQ(book.styles.num_formats()[4].assigned_id, 0);    // 404 takes no id
    EXPECT_EQ(book.styles.num_formats()[5].assigned_id, 180);  // 100 takes one silently
}

TEST(StylesPart, NumberFormatIdsSkip185And195And205) {
    Book book;
    int index = 0;
    for (std::uint16_t kind = 1000; kind < 1040; ++kind) ASSERT_EQ(tsx_set_num_format(book, kind, index), 0);
    styles_text(book);
    const auto &formats = book.styles.num_formats();
    EXPECT_EQ(formats[8].assigned_id, 184);
    EXPECT_EQ(formats[9].assigned_id, 186);  // the tenth entry
    EXPECT_EQ(formats[18].assigned_id, 196);
    EXPECT_EQ(formats[27].assigned_id, 206);
    EXPECT_EQ(formats[28].assigned_id, 207);
}

TEST(StylesPart, GradientFills) {
    Book book;
    Cell a, b, c;
    FillRecord two_tone;
    two_tone.colour = kStyleColourRgb;
    two_tone.rgb = {0xFF, 0xFF, 0xFF};
    two_tone.colour2 = kStyleColourRgb;
    two_tone.rgb2 = {0x4F, 0x81, 0xBD};
    two_tone.gradient_kind = 1;
    two_tone.gradient_variation = 3;
    const int all = kFillMaskGradientColour1 | kFillMaskGradientColour2 | kFillMaskGradientKind |
                    kFillMaskGradientVariation;
    ASSERT_EQ(set_cell_fill(book, a, all, two_tone), 0);
    two_tone.gradient_kind = 4;
    two_tone.gradient_variation = 2;
    ASSERT_EQ(set_cell_fill(book, b, all, two_tone), 0);
    FillRecord indexed;
    indexed.colour = 11;
    indexed.colour2 = 25;
    ASSERT_EQ(set_cell_fill(book, c, kFillMaskGradientColour1 | kFillMaskGradientColour2, indexed), 0);

    const std::string white = "<color rgb=\"FFffffff\" />", blue = "<color rgb=\"FF4f81bd\" />";
    std::string fills = kPresetFills +
                        "<fill><gradientFill><stop position=\"0\">" + white + "</stop><stop position=\"0.5\">" +
                        blue + "</stop><stop position=\"1\">" + white + "</stop></gradientFill></fill>" +
                        "<fill><gradientFill type=\"path\" left=\"1\" right=\"1\"><stop position=\"0\">" + white +
                        "</stop><stop position=\"1\">" + blue + "</stop></gradientFill></fill>" +
                        "<fill><gradientFill degree=\"90\"><stop position=\"0\"><color rgb=\"FFff0000\" />"
                        "</stop><stop position=\"1\"><color rgb=\"FF000080\" /></stop></gradientFill></fill>";
    std::string expected = part(kDateNumFmts, 3, kPresetFonts, 5, fills, 1, "", 11,
                                xf(0, 2, 0, " xfId=\"0\" applyFill=\"1\"") + xf(0, 3, 0, " xfId=\"0\" applyFill=\"1\"") +
                                    xf(0, 4, 0, " xfId=\"0\" applyFill=\"1\""));
    EXPECT_EQ(styles_text(book), expected);
}

TEST(StylesPart, ExplicitColoursPatternsDiagonalsAndOwnFontNames) {
    Book book;
    Cell a, b, c, d;
    FontRecord orange;
    orange.colour = kStyleColourRgb;
    orange.rgb = {0xFF, 0x80, 0x00};
    orange.style = kFontItalic | kFontUnderline;
    orange.name_id = kFontNameOwn;
    orange.name = "A&B <Sans>";
    ASSERT_EQ(set_cell_font(book, a, kFontMaskColour | kFontMaskStyle | kFontMaskName, orange), 0);

    FillRecord striped;
    striped.pattern = 9;
    striped.pattern_colour = 25;
    striped.colour = kStyleColourRgb;
    striped.rgb = {0x12, 0xAB, 0x34};
    ASSERT_EQ(set_cell_fill(book, b, kFillMaskPattern | kFillMaskPatternColour | kFillMaskColour, striped), 0);
    FillRecord grid;
    grid.pattern = 17;
    grid.pattern_colour = 26;
    ASSERT_EQ(set_cell_fill(book, c, kFillMaskPattern | kFillMaskPatternColour, grid), 0);

    BorderRecord cross;
    cross.diagonal_up = cross.diagonal_down = 11;
    cross.colour = kStyleColourRgb;
    cross.rgb = {0x12, 0xAB, 0x34};
    ASSERT_EQ(set_cell_border(book, d, kBorderMaskDiagonalUp | kBorderMaskDiagonalDown | kBorderMaskColour, cross),
              0);
    BorderRecord down;
    down.diagonal_down = 5;
    down.bottom = 6;
    down.colour = 15;
    ASSERT_EQ(set_cell_border(book, d, kBorderMaskDiagonalUp | kBorderMaskBottom | kBorderMaskColour, down), 0);

    std::string fonts =
        kPresetFonts +
        "<font><i/><u/><sz val=\"11\"/><color rgb=\"FFFF8000\"/><name val=\"A&amp;B &lt;Sans&gt;\"/>"
        "<family val=\"3\"/><charset val=\"128\"/></font>";
    std::string fills = kPresetFills +
                        "<fill><patternFill patternType=\"darkDown\"><fgColor rgb=\"FF000080\" /><bgColor "
                        "rgb=\"FF12ab34\"/></patternFill></fill>"
                        "<fill><patternFill patternType=\"lightGrid\"><fgColor rgb=\"FF800080\" />"
                        "</patternFill></fill>";
    // The second change keeps the down line, drops the up line and takes the palette blue.
    std::string borders =
        "<border diagonalUp=\"1\" diagonalDown=\"1\"><left/><right/><top/><bottom/><diagonal "
        "style=\"dashed\"><color rgb=\"FF12AB34\"/></diagonal></border>"
        "<border diagonalDown=\"1\"><left/><right/><top/><bottom style=\"double\"><color rgb=\"FF0000FF\"/>"
        "</bottom><diagonal style=\"dashed\"><color rgb=\"FF0000FF\"/></diagonal></border>";
    std::string expected = part(kDateNumFmts, 4, fonts, 4, fills, 3, borders, 13,
                                xf(3, 0, 0, " xfId=\"0\"") + xf(0, 2, 0, " xfId=\"0\" applyFill=\"1\"") +
                                    xf(0, 3, 0, " xfId=\"0\" applyFill=\"1\"") +
                                    xf(0, 0, 1, " applyBorder=\"1\" xfId=\"0\"") +
                                    xf(0, 0, 2, " applyBorder=\"1\" xfId=\"0\""));
    EXPECT_EQ(styles_text(book), expected);
}

// Only an ALIGN writes a horizontal alignment: a cell that merely got a colour, a border or a
// format keeps the reader's alignment by value (numbers right), while an explicit bottom-left
// still says left.
TEST(StylesPart, DefaultAlignmentIsTheReadersAndExplicitBottomLeftIsWritten) {
    Book book;
    Cell coloured, explicit_left, left_then_coloured, wrapped, formatted;
    FontRecord red;
    red.colour = 11;
    ASSERT_EQ(set_cell_font(book, coloured, kFontMaskColour, red), 0);
    ASSERT_EQ(set_cell_align(book, explicit_left, kAlignDefault), 0);
    ASSERT_EQ(set_cell_align(book, left_then_coloured, kAlignDefault), 0);
    ASSERT_EQ(set_cell_font(book, left_then_coloured, kFontMaskColour, red), 0);
    ASSERT_EQ(set_cell_text_flags(book, wrapped, kTextWrap), 0);
    int grouped = 0;
    ASSERT_EQ(tsx_set_num_format(book, 107, grouped), 0);
    ASSERT_EQ(set_cell_number_format(book, formatted, static_cast<std::uint32_t>(grouped)), 0);
    // Giving the explicit code again finds the same record.
    const std::size_t xfs = book.styles.xfs().size();
    ASSERT_EQ(set_cell_align(book, explicit_left, kAlignDefault), 0);
    EXPECT_EQ(book.styles.xfs().size(), xfs);

    auto aligned = [](int font, const std::string &alignment) {
        return "<xf numFmtId=\"0\" fontId=\"" + std::to_string(font) +
               "\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment" + alignment + "/></xf>";
    };
    std::string num_fmts = "<numFmts count=\"3\">" + kYenDeclaration +
                           "<numFmt numFmtId=\"176\" formatCode=\"yyyy/m/d;@\"/>"
                           "<numFmt numFmtId=\"177\" formatCode=\"#,##0_ \"/></numFmts>";
    std::string expected =
        part(num_fmts, 4, kPresetFonts + "<font><sz val=\"11\"/><color rgb=\"FFFF0000\"/>" + kFontTail, 2,
             kPresetFills, 1, "", 13,
             xf(3, 0, 0, " xfId=\"0\"") + aligned(0, " horizontal=\"left\"") + aligned(3, " horizontal=\"left\"") +
                 aligned(0, " wrapText=\"1\"") +
                 "<xf numFmtId=\"177\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>");
    EXPECT_EQ(styles_text(book), expected);
}

// Built-in ids a reader fills from its locale are declared when a cell format uses them, once
// each and in id order, before the book's own formats; the count covers every element written.
TEST(StylesPart, LocaleDependentBuiltinIdsAreDeclared) {
    Book book;
    Cell cells[8];
    const std::uint32_t ids[] = {58, 6, 14, 42, 6, 9, 27, 8};
    for (std::size_t k = 0; k < std::size(ids); ++k) {
        XfRecord xf;
        xf.format = ids[k];
        ASSERT_EQ(set_cell_xf(book, cells[k], xf), 0);
    }
    const std::string text = styles_text(book);
    const std::string declared =
        "<numFmts count=\"7\">" + kYenDeclaration +
        "<numFmt numFmtId=\"6\" formatCode=\"&quot;¥&quot;#,##0;[Red]&quot;¥&quot;\\-#,##0\"/>"
        "<numFmt numFmtId=\"8\" formatCode=\"&quot;¥&quot;#,##0.00;[Red]&quot;¥&quot;\\-#,##0.00\"/>"
        "<numFmt numFmtId=\"27\" formatCode=\"[$-411]ge.m.d\"/>"
        "<numFmt numFmtId=\"42\" formatCode=\"_ &quot;¥&quot;* #,##0_ ;_ &quot;¥&quot;* \\-#,##0_ ;_ "
        "&quot;¥&quot;* &quot;-&quot;_ ;_ @_ \"/>"
        "<numFmt numFmtId=\"58\" formatCode=\"[$-411]ggge&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>"
        "<numFmt numFmtId=\"176\" formatCode=\"yyyy/m/d;@\"/></numFmts>";
    EXPECT_EQ(text.substr(kHead.size(), declared.size()), declared);

    // A book whose cell formats use none of them (a template's own formats replaced the
    // presets) declares nothing.
    book.styles.clear_xfs();
    EXPECT_EQ(styles_text(book).substr(kHead.size(), kDateNumFmts.size() - kYenDeclaration.size()),
              "<numFmts count=\"1\"><numFmt numFmtId=\"176\" formatCode=\"yyyy/m/d;@\"/></numFmts>");
}

// The family kinds without a code of their own take an id but declare none, so their cells are
// written with the built-in id of the family (General, yen, date) rather than an undefined one;
// the yen id is then declared like any other use of it.
TEST(StylesPart, FamilyKindsWithoutACodeWriteTheirBuiltinIds) {
    Book book;
    book.styles.clear_xfs();
    const std::pair<std::uint16_t, int> kinds[] = {{100, 0}, {200, 5}, {300, 14}};
    std::string xfs;
    for (auto [kind, id] : kinds) {
        int index = 0;
        Cell cell;
        ASSERT_EQ(tsx_set_num_format(book, kind, index), 0);
        ASSERT_EQ(set_cell_number_format(book, cell, static_cast<std::uint32_t>(index)), 0);
        xfs += "<xf numFmtId=\"" + std::to_string(id) +
               "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>";
    }
    const std::string text = styles_text(book);
    EXPECT_NE(text.find("<numFmts count=\"2\">" + kYenDeclaration + "<numFmt numFmtId=\"176\" formatCode=\"yyyy/m/d;@\"/>"
                        "</numFmts>"),
              std::string::npos);
    EXPECT_NE(text.find("<cellXfs count=\"4\">" + kFirstXf + xfs + "</cellXfs>"), std::string::npos) << text;
}
