// The styles part: the golden part of a book whose cells took every kind of font, fill, border,
// alignment and number format the set-cell operations make; the ids a save assigns as facts.

#include <gtest/gtest.h>

#include <string>

#include "model/book.h"
#include "model/style_registry.h"
#include "common/golden.h"
#include "xlsx_write/styles_part.h"

// Records are written with designated initializers; the fields left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace tabsmith;
using tabsmith::testing::has;

namespace {

// The styles part as a save writes it: ids assigned first.
std::string styles_text(Book &book) {
    book.styles.assign_format_ids();
    return write_styles_part(book);
}

int number_format(Book &book, std::uint16_t kind, int decimals = 0, const char *code = "") {
    NumFormat entry;
    entry.kind = kind;
    entry.decimals = static_cast<std::uint8_t>(decimals);
    entry.code = code;
    int index = 0;
    EXPECT_EQ(decimals || *code ? append_num_format(book, entry, index) : tsx_set_num_format(book, kind, index), 0) << kind;
    return index;
}

}  // namespace

// Fonts, fills (gray125 is the reserved fill 1: shared, and written without applyFill), borders,
// alignments and text flags, number formats. Only an ALIGN writes a horizontal alignment: a cell
// that merely got a colour, a border or a format keeps the reader's alignment by value, while an
// explicit bottom-left still says left. Built-in ids a reader fills from its locale are declared
// when a cell format uses them, once each and in id order, before the book's own formats.
TEST(StylesPart, EveryKindOfRecordIsTheGoldenPart) {
    Book book;
    Cell cells[32];
    Cell *next = cells;
    const FontRecord red_bold{.style = kFontBold, .colour = 11};
    const FontRecord orange{.name_id = kFontNameOwn, .style = kFontItalic | kFontUnderline, .colour = kStyleColourRgb,
                            .rgb = {0xFF, 0x80, 0x00}, .name = "A&B <Sans>"};
    const FillRecord yellow{.colour = 12}, gray{.pattern = kFillGray125}, indexed{.colour = 11, .colour2 = 25};
    FillRecord two_tone{.colour = kStyleColourRgb, .rgb = {0xFF, 0xFF, 0xFF}, .gradient_kind = 1, .gradient_variation = 3,
                        .colour2 = kStyleColourRgb, .rgb2 = {0x4F, 0x81, 0xBD}};
    const FillRecord striped{.pattern = 9, .pattern_colour = 25, .colour = kStyleColourRgb, .rgb = {0x12, 0xAB, 0x34}};
    const FillRecord grid{.pattern = 17, .pattern_colour = 26};
    const BorderRecord box{.left = 1, .right = 1, .top = 1, .bottom = 1};
    const BorderRecord cross{.diagonal_up = 11, .diagonal_down = 11, .colour = kStyleColourRgb, .rgb = {0x12, 0xAB, 0x34}};
    const BorderRecord down{.bottom = 6, .diagonal_down = 5, .colour = 15};
    const int gradient = kFillMaskGradientColour1 | kFillMaskGradientColour2 | kFillMaskGradientKind | kFillMaskGradientVariation;
    Cell &a = *next++, &b = *next++;
    ASSERT_EQ(set_cell_font(book, a, kFontMaskStyle | kFontMaskColour, red_bold), 0);
    ASSERT_EQ(set_cell_fill(book, a, kFillMaskColour, yellow), 0);
    ASSERT_EQ(set_cell_border(book, a, 15, box), 0);
    ASSERT_EQ(set_cell_border(book, b, 15, box), 0);
    EXPECT_EQ(a.style, 10);
    EXPECT_EQ(b.style, 11);
    ASSERT_EQ(set_cell_fill(book, *next++, kFillMaskPattern, gray), 0);
    ASSERT_EQ(set_cell_font(book, *next++, kFontMaskColour | kFontMaskStyle | kFontMaskName, orange), 0);
    ASSERT_EQ(set_cell_fill(book, *next++, gradient, two_tone), 0);
    two_tone.gradient_kind = 4;
    two_tone.gradient_variation = 2;
    ASSERT_EQ(set_cell_fill(book, *next++, gradient, two_tone), 0);
    ASSERT_EQ(set_cell_fill(book, *next++, kFillMaskGradientColour1 | kFillMaskGradientColour2, indexed), 0);
    ASSERT_EQ(set_cell_fill(book, *next++, kFillMaskPattern | kFillMaskPatternColour | kFillMaskColour, striped), 0);
    ASSERT_EQ(set_cell_fill(book, *next++, kFillMaskPattern | kFillMaskPatternColour, grid), 0);
    // The second change keeps the down line, drops the up line and takes the palette blue.
    ASSERT_EQ(set_cell_border(book, *next, kBorderMaskDiagonalUp | kBorderMaskDiagonalDown | kBorderMaskColour, cross), 0);
    ASSERT_EQ(set_cell_border(book, *next++, kBorderMaskDiagonalUp | kBorderMaskBottom | kBorderMaskColour, down), 0);
    for (auto [align, flags] : {std::pair{22, 0}, {22, kTextWrap}, {-1, kTextVertical}, {11, 0}, {11, kTextShrink}, {99, 0}}) {
        Cell &cell = *next++;
        EXPECT_EQ(align < 0 ? 0 : set_cell_align(book, cell, align), 0);
        EXPECT_EQ(align == 99 ? set_cell_align(book, cell, 32) : 0, 0);
        EXPECT_EQ(flags ? set_cell_text_flags(book, cell, flags) : 0, 0);
    }
    Cell &left = *next++, &left_then_coloured = *next++;
    ASSERT_EQ(set_cell_align(book, left, kAlignDefault), 0);
    ASSERT_EQ(set_cell_align(book, left_then_coloured, kAlignDefault), 0);
    ASSERT_EQ(set_cell_font(book, left_then_coloured, kFontMaskColour, red_bold), 0);
    const std::size_t xfs = book.styles.xfs().size();
    ASSERT_EQ(set_cell_align(book, left, kAlignDefault), 0);   // the explicit code again finds the same record
    EXPECT_EQ(book.styles.xfs().size(), xfs);
    const int yen = number_format(book, 201);
    number_format(book, 109, 2), number_format(book, 501, 1);
    const int hms = number_format(book, 404);
    number_format(book, 100);
    const int grouped = number_format(book, 107);
    const int kilos = number_format(book, 900, 0, "0.0\"kg\"");
    for (int format : {yen, hms, kilos, grouped}) ASSERT_EQ(set_cell_number_format(book, *next++, static_cast<std::uint32_t>(format)), 0);
    ASSERT_EQ(set_cell_text_format(book, *next++), 0);
    for (std::uint32_t id : {58u, 6u, 14u, 42u, 6u, 9u, 27u, 8u}) {
        XfRecord xf;
        xf.format = id;
        ASSERT_EQ(set_cell_xf(book, *next++, xf), 0);
    }
    EXPECT_EQ(styles_text(book), tabsmith::testing::golden("styles.xml"));
    // In the order made: the date preset, yen, two decimals, percent, 404 (no id), 100 (an id silently).
    std::vector<int> ids;
    for (const NumFormat &format : book.styles.num_formats()) ids.push_back(format.assigned_id);
    EXPECT_EQ(std::vector<int>(ids.begin(), ids.begin() + 6), (std::vector<int>{176, 177, 178, 179, 0, 180}));
    // A book whose cell formats use no locale-dependent id (a template's own formats replaced
    // the presets) declares nothing but its own formats.
    book.styles.clear_xfs();
    EXPECT_TRUE(has(styles_text(book), "<numFmts count=\"6\"><numFmt numFmtId=\"176\" formatCode=\"yyyy/m/d;@\"/>"));
}

TEST(StylesPart, NumberFormatIdsSkip185And195And205) {
    Book book;
    for (std::uint16_t kind = 1000; kind < 1040; ++kind) number_format(book, kind);
    styles_text(book);
    const auto &formats = book.styles.num_formats();
    EXPECT_EQ((std::vector<int>{formats[8].assigned_id, formats[9].assigned_id, formats[18].assigned_id, formats[27].assigned_id,
                                formats[28].assigned_id}),
              (std::vector<int>{184, 186, 196, 206, 207}));
}

// The family kinds without a code of their own take an id but declare none, so their cells are
// written with the built-in id of the family (General, yen, date) rather than an undefined one;
// the yen id is then declared like any other use of it.
TEST(StylesPart, FamilyKindsWithoutACodeWriteTheirBuiltinIds) {
    Book book;
    book.styles.clear_xfs();
    std::string xfs;
    for (auto [kind, id] : {std::pair<std::uint16_t, int>{100, 0}, {200, 5}, {300, 14}}) {
        Cell cell;
        ASSERT_EQ(set_cell_number_format(book, cell, static_cast<std::uint32_t>(number_format(book, kind))), 0);
        xfs += "<xf numFmtId=\"" + std::to_string(id) + "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>";
    }
    const std::string text = styles_text(book);
    EXPECT_TRUE(has(text, "<numFmts count=\"2\"><numFmt numFmtId=\"5\" formatCode=\"&quot;¥&quot;#,##0;&quot;¥&quot;\\-#,##0\"/>"
                          "<numFmt numFmtId=\"176\" formatCode=\"yyyy/m/d;@\"/></numFmts>"));
    EXPECT_TRUE(has(text, "<cellXfs count=\"4\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"><alignment "
                          "vertical=\"center\"/></xf>" + xfs + "</cellXfs>"));
}
