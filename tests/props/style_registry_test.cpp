// The style registry: presets of a new book, find-or-append sharing, limits and their messages,
// and the set-cell operations that change one component of a cell's format.

#include <gtest/gtest.h>

#include <string>

#include "api/book_init.h"
#include "model/book.h"
#include "model/style_registry.h"

using namespace tabsmith;

namespace {

FontRecord red_font() {
    FontRecord font;
    font.colour = 11;
    return font;
}

BorderRecord lines(std::uint8_t style) {
    BorderRecord border;
    border.left = border.right = border.top = border.bottom = style;
    return border;
}

}  // namespace

TEST(StylePresets, NewBookCarriesThePresetRecords) {
    Book book;
    ASSERT_EQ(init_book(book, kFileTypeXlsx), 0);
    const StyleRegistry &styles = book.styles;

    ASSERT_EQ(styles.fonts().size(), 3u);
    EXPECT_EQ(styles.fonts()[0], FontRecord{});
    EXPECT_EQ(styles.fonts()[1].size, 9);
    EXPECT_EQ(styles.fonts()[2].style, kFontBold | kFontHyperlink);
    EXPECT_EQ(styles.hyperlink_font(), 2u);

    ASSERT_EQ(styles.fills().size(), 2u);
    EXPECT_EQ(styles.fills()[0].pattern, kFillNone);
    EXPECT_EQ(styles.fills()[1].pattern, kFillGray125);
    EXPECT_TRUE(styles.borders().empty());
    ASSERT_EQ(styles.num_formats().size(), 1u);
    EXPECT_EQ(styles.num_formats()[0].kind, 302);

    // The cell references that the value writers use name these records.
    ASSERT_EQ(styles.xfs().size(), 7u);
    const std::pair<std::uint16_t, std::uint32_t> presets[] = {
        {kXfDate, 14}, {kXfDateTime, 22}, {kXfTimeHm, 20}, {kXfTimeHms, 46}, {kXfCurrency, 5}, {kXfPercent, 9}};
    for (auto [reference, format] : presets) {
        const XfRecord &xf = styles.xfs()[reference - 1u];
        EXPECT_EQ(xf.format, format);
        EXPECT_EQ(xf.align, 33);
        EXPECT_EQ(xf.font, 0u);
        EXPECT_EQ(xf.style_xf, 0u);
    }
    const XfRecord &link = styles.xfs()[kXfHyperlink - 1u];
    EXPECT_EQ(styles.hyperlink_xf() + 1u, kXfHyperlink);
    EXPECT_EQ(link.font, 2u);
    EXPECT_EQ(link.style_xf, 1u);
    EXPECT_EQ(link.align, 31);
}

TEST(StylePresets, InitialisingAgainStartsFromThePresets) {
    Book book;
    Cell cell;
    ASSERT_EQ(set_cell_font(book, cell, kFontMaskColour, red_font()), 0);
    ASSERT_EQ(set_range_border(book, 0, 0, 0, 0, 0, 15, lines(1)), -1);  // no sheet yet
    ASSERT_EQ(init_book(book, kFileTypeXls), 0);
    EXPECT_EQ(book.styles.fonts().size(), 3u);
    EXPECT_EQ(book.styles.xfs().size(), 7u);
    EXPECT_EQ(book.styles.find_font(red_font()), -1);
}

TEST(StyleLookup, BordersAreOneBasedFontsAndFillsZeroBased) {
    Book book;
    EXPECT_EQ(book.styles.find_font(FontRecord{}), 0);
    FillRecord gray;
    gray.pattern = kFillGray125;
    EXPECT_EQ(book.styles.find_fill(gray), 1);
    EXPECT_EQ(book.styles.find_border(lines(1)), -1);
    ASSERT_EQ(append_border(book, lines(1)), 0);
    EXPECT_EQ(book.styles.find_border(lines(1)), 1);
    EXPECT_EQ(book.styles.find_num_format(302), 1);
    EXPECT_EQ(book.styles.find_num_format(303), -1);
}

TEST(StyleLookup, TheFirstEqualRecordWins) {
    Book book;
    XfRecord date = book.styles.xfs()[0];
    ASSERT_EQ(tsx_set_xf(book, date), 0);  // readers may append duplicates
    EXPECT_EQ(book.styles.xfs().size(), 8u);
    EXPECT_EQ(book.styles.find_xf(date), 0);
    ASSERT_EQ(tsx_set_font(book, FontRecord{}), 0);
    EXPECT_EQ(book.styles.find_font(FontRecord{}), 0);

    // Every compared field tells records apart, the font name included.
    FontRecord named;
    named.name_id = kFontNameOwn;
    named.name = "Arial";
    ASSERT_EQ(tsx_set_font(book, named), 0);
    named.name = "Arial Black";
    EXPECT_EQ(book.styles.find_font(named), -1);
    FillRecord gradient;
    gradient.pattern = kFillGradient;
    gradient.rgb2.blue = 1;
    ASSERT_EQ(append_fill(book, gradient), 0);
    gradient.rgb2.blue = 2;
    EXPECT_EQ(book.styles.find_fill(gradient), -1);
}

TEST(StyleNumFormats, KindLookupAndDecimalEntries) {
    Book book;
    int index = 0;
    ASSERT_EQ(tsx_set_num_format(book, 302, index), 0);
    EXPECT_EQ(index, 1);
    ASSERT_EQ(tsx_set_num_format(book, 201, index), 0);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(book.styles.num_formats()[1].kind, 201);
    EXPECT_EQ(book.styles.num_formats()[1].assigned_id, 0);

    NumFormat two;
    two.kind = 109;
    two.decimals = 2;
    ASSERT_EQ(append_num_format(book, two, index), 0);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(book.styles.find_num_format(109, 2), 3);
    EXPECT_EQ(book.styles.find_num_format(109, 3), -1);
    EXPECT_EQ(book.styles.find_num_format(109), 3);  // by kind: whatever its decimals
}

TEST(StyleNumFormats, TheFiveHundredFirstEntryFails) {
    Book book;
    int index = 0;
    for (std::uint16_t kind = 1000; book.styles.num_formats().size() < kMaxNumFormat; ++kind)
        ASSERT_EQ(tsx_set_num_format(book, kind, index), 0);
    EXPECT_EQ(tsx_set_num_format(book, 302, index), 0);  // found: no append needed
    EXPECT_EQ(tsx_set_num_format(book, 999, index), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"500\")オーバー(\"tsx_set_num_format()\")。");
    EXPECT_EQ(book.styles.num_formats().size(), 500u);
}

TEST(StyleLimits, The64001stXfFailsWithMaxXf) {
    Book book;
    XfRecord xf;
    for (std::uint32_t format = 1000; book.styles.xfs().size() < kMaxXf; ++format) {
        xf.format = format;
        ASSERT_EQ(tsx_set_xf(book, xf), 0);
    }
    Cell cell;
    EXPECT_EQ(set_cell_align(book, cell, 22), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"64000\")オーバー(\"tsx_set_xf() MAX_XF\")。");
    EXPECT_EQ(book.err.code(), -9);
    EXPECT_EQ(cell.style, 0);
    EXPECT_EQ(book.styles.xfs().size(), kMaxXf);

    // An existing record is still found and its reference fits the cell.
    xf.format = 1000 + static_cast<std::uint32_t>(kMaxXf) - 8;
    ASSERT_EQ(set_cell_xf(book, cell, xf), 0);
    EXPECT_EQ(cell.style, kMaxXf);
}

TEST(StyleLimits, The513thFontFailsWithMaxFont) {
    Book book;
    Cell cell;
    FontRecord font;
    for (std::uint16_t size = 100; book.styles.fonts().size() < kMaxFont; ++size) {
        font.size = size;
        ASSERT_EQ(tsx_set_font(book, font), 0);
    }
    font.size = 99;
    EXPECT_EQ(set_cell_font(book, cell, kFontMaskSize, font), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"512\")オーバー(\"tsx_set_font() MAX_FONT\")。");
    EXPECT_EQ(cell.style, 0);
    EXPECT_EQ(book.styles.xfs().size(), 7u);
}

TEST(SetCell, EqualFormattingSharesRecords) {
    Book book;
    Cell a, b;
    ASSERT_EQ(set_cell_font(book, a, kFontMaskColour, red_font()), 0);
    ASSERT_EQ(set_cell_font(book, b, kFontMaskColour, red_font()), 0);
    EXPECT_EQ(book.styles.fonts().size(), 4u);
    EXPECT_EQ(book.styles.xfs().size(), 8u);
    EXPECT_EQ(a.style, 8);
    EXPECT_EQ(b.style, a.style);
    EXPECT_EQ(book.styles.xfs()[7].font, 3u);

    // Setting the value a cell already has adds nothing.
    ASSERT_EQ(set_cell_font(book, a, kFontMaskColour, red_font()), 0);
    ASSERT_EQ(set_cell_align(book, a, 22), 0);
    std::uint16_t centred = a.style;
    ASSERT_EQ(set_cell_align(book, a, 22), 0);
    EXPECT_EQ(a.style, centred);
    EXPECT_EQ(book.styles.fonts().size(), 4u);
    EXPECT_EQ(book.styles.xfs().size(), 9u);
}

TEST(SetCell, WrapOnAnUnformattedCellDiffersFromTheDefaultOnlyInFlags) {
    Book book;
    Cell a, b;
    ASSERT_EQ(set_cell_text_flags(book, a, kTextWrap), 0);
    ASSERT_EQ(set_cell_text_flags(book, b, kTextWrap), 0);
    XfRecord expected;
    expected.text_flags = kTextWrap;
    EXPECT_EQ(cell_xf(book, a), expected);
    EXPECT_EQ(b.style, a.style);
    EXPECT_EQ(book.styles.xfs().size(), 8u);

    // Flags replace each other rather than accumulate.
    ASSERT_EQ(set_cell_text_flags(book, a, kTextShrink), 0);
    EXPECT_EQ(cell_xf(book, a).text_flags, kTextShrink);
}

TEST(SetCell, FontMaskChangesOnlyTheSelectedFields) {
    Book book;
    Cell cell;
    cell.style = kXfHyperlink;  // bold hyperlink font
    FontRecord change;
    change.size = 20;
    change.colour = 15;
    ASSERT_EQ(set_cell_font(book, cell, kFontMaskSize, change), 0);
    const FontRecord &font = book.styles.fonts()[cell_xf(book, cell).font];
    EXPECT_EQ(font.size, 20);
    EXPECT_EQ(font.style, kFontBold | kFontHyperlink);
    EXPECT_EQ(font.colour, 0u);
    EXPECT_EQ(cell_xf(book, cell).style_xf, 1u);  // the rest of the XF is kept

    // The preset records themselves never change.
    EXPECT_EQ(book.styles.fonts()[2].size, 11);
    EXPECT_EQ(book.styles.xfs()[kXfHyperlink - 1u].font, 2u);
}

TEST(SetCell, FillMasksFollowThePatternRules) {
    Book book;
    FillRecord red;
    red.colour = 11;
    Cell plain, formatted;
    formatted.style = kXfDate;
    ASSERT_EQ(set_cell_fill(book, plain, kFillMaskColour, red), 0);
    ASSERT_EQ(set_cell_fill(book, formatted, kFillMaskColour, red), 0);
    const FillRecord &solid = book.styles.fills()[cell_xf(book, plain).fill];
    EXPECT_EQ(solid.pattern, kFillSolid);
    EXPECT_EQ(solid.colour, 11u);
    EXPECT_EQ(cell_xf(book, formatted).fill, cell_xf(book, plain).fill);
    EXPECT_EQ(cell_xf(book, formatted).format, 14u);

    // A pattern chosen first is kept when the colour follows.
    FillRecord pattern;
    pattern.pattern = 9;
    Cell striped;
    ASSERT_EQ(set_cell_fill(book, striped, kFillMaskPattern, pattern), 0);
    ASSERT_EQ(set_cell_fill(book, striped, kFillMaskColour, red), 0);
    EXPECT_EQ(book.styles.fills()[cell_xf(book, striped).fill].pattern, 9u);

    // Any gradient field turns the fill into a gradient.
    FillRecord stop;
    stop.colour2 = 25;
    ASSERT_EQ(set_cell_fill(book, striped, kFillMaskGradientColour2, stop), 0);
    const FillRecord &gradient = book.styles.fills()[cell_xf(book, striped).fill];
    EXPECT_EQ(gradient.pattern, kFillGradient);
    EXPECT_EQ(gradient.colour, 11u);
    EXPECT_EQ(gradient.colour2, 25u);
}

TEST(SetCell, BorderMasksCombineSides) {
    Book book;
    Cell cell;
    BorderRecord left;
    left.left = 6;
    ASSERT_EQ(set_cell_border(book, cell, kBorderMaskLeft, left), 0);
    EXPECT_EQ(cell_xf(book, cell).border, 1u);
    BorderRecord top;
    top.top = 2;
    top.left = 1;  // not selected by the mask
    ASSERT_EQ(set_cell_border(book, cell, kBorderMaskTop, top), 0);
    const BorderRecord &both = book.styles.borders()[cell_xf(book, cell).border - 1];
    EXPECT_EQ(both.left, 6);
    EXPECT_EQ(both.top, 2);
    EXPECT_EQ(both.bottom, 0);

    // A formatted cell without a border starts from no lines at all.
    Cell date;
    date.style = kXfDate;
    ASSERT_EQ(set_cell_border(book, date, kBorderMaskTop, top), 0);
    EXPECT_EQ(book.styles.borders()[cell_xf(book, date).border - 1], (BorderRecord{0, 0, 2, 0, 0, 0, 0, {}}));
}

TEST(SetCell, NumberFormatAndTextModes) {
    Book book;
    Cell cell;
    ASSERT_EQ(set_cell_number_format(book, cell, 1), 0);
    EXPECT_EQ(cell_xf(book, cell).format, 1u);
    EXPECT_EQ(cell_xf(book, cell).format_mode, kFormatTable);
    ASSERT_EQ(set_cell_text_format(book, cell), 0);
    EXPECT_EQ(cell_xf(book, cell).format_mode, kFormatText);
}

TEST(SetCell, AReferencePastTheTableCountsAsNoFormat) {
    Book book;
    Cell cell;
    cell.style = 5000;
    EXPECT_EQ(cell_xf(book, cell), XfRecord{});
    ASSERT_EQ(set_cell_font(book, cell, kFontMaskColour, red_font()), 0);
    EXPECT_EQ(cell.style, 8);
}

TEST(RangeBorder, LargeRangeSharesOneRecordAndWidensTheSheet) {
    Book book;
    ASSERT_EQ(add_sheet(book, "S"), 0);
    // Corners in reverse order; 100,000 cells must not be a quadratic job.
    ASSERT_EQ(set_range_border(book, 0, 1000, 100, 1, 1, 15, lines(1)), 0);
    const Sheet &sheet = *book.sheets[0];
    EXPECT_EQ(sheet.rows_used, 1001);
    EXPECT_EQ(sheet.rows[1000].used, 101);
    EXPECT_EQ(sheet.rows[0].used, 0);
    EXPECT_EQ(book.styles.borders().size(), 1u);
    EXPECT_EQ(book.styles.xfs().size(), 8u);
    EXPECT_EQ(sheet.rows[1].cells[1].style, 8);
    EXPECT_EQ(sheet.rows[1000].cells[100].style, 8);
    EXPECT_EQ(sheet.rows[1].cells[0].style, 0);

    EXPECT_EQ(set_range_border(book, 3, 0, 0, 0, 0, 15, lines(1)), -1);
}
