// The style registry: presets of a new book, find-or-append sharing, limits and their messages,
// and the set-cell operations that change one component of a cell's format.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

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

TEST(StylePresets, ValueKindsFindTheirFormatsAndInitialisingStartsAgain) {
    Book book;
    Cell cell;
    ASSERT_EQ(set_cell_font(book, cell, kFontMaskColour, red_font()), 0);
    ASSERT_EQ(set_range_border(book, 0, 0, 0, 0, 0, 15, lines(1)), -1);  // no sheet yet
    ASSERT_EQ(init_book(book, kFileTypeXlsx), 0);
    const StyleRegistry &styles = book.styles;
    EXPECT_EQ(styles.find_font(red_font()), -1);
    // The references that the value writers give dates, times, money and percentages.
    const std::pair<std::uint16_t, std::uint32_t> presets[] = {
        {kXfDate, 14}, {kXfDateTime, 22}, {kXfTimeHm, 20}, {kXfTimeHms, 46}, {kXfCurrency, 5}, {kXfPercent, 9}};
    for (auto [reference, format] : presets) {
        const XfRecord &xf = styles.xfs()[reference - 1u];
        EXPECT_EQ(std::vector<std::uint32_t>({xf.format, xf.align, xf.font, xf.style_xf}),
                  std::vector<std::uint32_t>({format, 33, 0, 0})) << reference;
    }
    const XfRecord &link = styles.xfs()[kXfHyperlink - 1u];
    EXPECT_EQ(styles.hyperlink_xf() + 1u, kXfHyperlink);
    EXPECT_EQ(styles.fonts()[link.font].style, kFontBold | kFontHyperlink);
    EXPECT_EQ(styles.fonts()[styles.hyperlink_font()].style, kFontBold | kFontHyperlink);
}

TEST(StyleLookup, IndexBasesAndTheFirstEqualRecord) {
    Book book;
    EXPECT_EQ(book.styles.find_font(FontRecord{}), 0);
    FillRecord gray;
    gray.pattern = kFillGray125;
    EXPECT_EQ(book.styles.find_fill(gray), 1);
    EXPECT_EQ(book.styles.find_border(lines(1)), -1);
    ASSERT_EQ(append_border(book, lines(1)), 0);
    EXPECT_EQ(book.styles.find_border(lines(1)), 1);  // borders count from one
    EXPECT_EQ(book.styles.find_num_format(302), 1);
    EXPECT_EQ(book.styles.find_num_format(303), -1);
    XfRecord date = book.styles.xfs()[0];
    ASSERT_EQ(tsx_set_xf(book, date), 0);  // readers may append duplicates
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

TEST(StyleNumFormats, KindLookupDecimalEntriesAndTheLimit) {
    Book book;
    int index = 0;
    ASSERT_EQ(tsx_set_num_format(book, 302, index), 0);
    EXPECT_EQ(index, 1);
    ASSERT_EQ(tsx_set_num_format(book, 201, index), 0);
    EXPECT_EQ(index, 2);
    NumFormat two;
    two.kind = 109;
    two.decimals = 2;
    ASSERT_EQ(append_num_format(book, two, index), 0);
    EXPECT_EQ(index, 3);
    EXPECT_EQ(book.styles.find_num_format(109, 2), 3);
    EXPECT_EQ(book.styles.find_num_format(109, 3), -1);
    EXPECT_EQ(book.styles.find_num_format(109), 3);  // by kind: whatever its decimals
    for (std::uint16_t kind = 1000; book.styles.num_formats().size() < kMaxNumFormat; ++kind)
        ASSERT_EQ(tsx_set_num_format(book, kind, index), 0);
    EXPECT_EQ(tsx_set_num_format(book, 302, index), 0);  // found: no append needed
    EXPECT_EQ(tsx_set_num_format(book, 999, index), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"500\")オーバー(\"tsx_set_num_format()\")。");
    EXPECT_EQ(book.styles.num_formats().size(), 500u);
}

TEST(StyleNumFormats, FormatsAddedToAPackageNumberAboveItsIds) {
    auto entry = [](std::uint16_t kind, std::uint16_t id) {
        NumFormat format;
        format.kind = kind;
        format.assigned_id = id;
        return format;
    };
    const std::uint16_t seconds = 404;   // saved through the built-in [h]:mm:ss, takes no id
    struct Case {
        const char *name;
        std::vector<NumFormat> formats;
        std::size_t package_entries;
        std::uint32_t highest_package_id;
        std::vector<std::uint16_t> ids;
    };
    const Case cases[] = {
        {"no package formats", {entry(109, 0), entry(seconds, 0), entry(302, 0)}, 0, 0, {164, 0, 165}},
        {"package ids below 164", {entry(0, 14), entry(0, 22), entry(109, 0)}, 2, 0, {164}},
        {"above the package's highest", {entry(0, 190), entry(0, 170), entry(109, 0), entry(501, 0)}, 2, 0, {191, 192}},
        {"an id only the package text shows", {entry(0, 170), entry(109, 0)}, 1, 300, {301}},
        {"nothing added", {entry(0, 170)}, 1, 0, {}},
    };
    for (const Case &c : cases) EXPECT_EQ(added_format_ids(c.formats, c.package_entries, c.highest_package_id), c.ids) << c.name;

    // The registry of a read book keeps the package entries' ids and numbers the rest.
    StyleRegistry registry;
    const std::size_t seeded = registry.num_formats().size();
    registry.assign_format_ids();
    std::vector<std::uint16_t> before;
    for (const NumFormat &format : registry.num_formats()) before.push_back(format.assigned_id);
    ASSERT_EQ(registry.append(entry(109, 0)), 0);
    registry.assign_added_format_ids(seeded);
    for (std::size_t k = 0; k < seeded; ++k) EXPECT_EQ(registry.num_formats()[k].assigned_id, before[k]);
    const std::uint16_t highest = before.empty() ? 0 : *std::max_element(before.begin(), before.end());
    EXPECT_EQ(registry.num_formats().back().assigned_id, std::max<std::uint16_t>(164, highest + 1));
}

TEST(StyleLimits, XfAndFontTablesRefuseTheOneTooMany) {
    Book book;
    XfRecord xf;
    for (std::uint32_t format = 1000; book.styles.xfs().size() < kMaxXf; ++format) {
        xf.format = format;
        ASSERT_EQ(tsx_set_xf(book, xf), 0);
    }
    Cell cell;
    EXPECT_EQ(set_cell_align(book, cell, 22), -9);
    EXPECT_EQ(book.err.message_utf8(), "TXLS-03009 バッファサイズ(\"64000\")オーバー(\"tsx_set_xf() MAX_XF\")。");
    EXPECT_EQ(cell.style, 0);
    // An existing record is still found and its reference fits the cell.
    xf.format = 1000 + static_cast<std::uint32_t>(kMaxXf) - 8;
    ASSERT_EQ(set_cell_xf(book, cell, xf), 0);
    EXPECT_EQ(cell.style, kMaxXf);

    Book fonts;
    FontRecord font;
    for (std::uint16_t size = 100; fonts.styles.fonts().size() < kMaxFont; ++size) {
        font.size = size;
        ASSERT_EQ(tsx_set_font(fonts, font), 0);
    }
    font.size = 99;
    Cell other;
    std::size_t xfs = fonts.styles.xfs().size();
    EXPECT_EQ(set_cell_font(fonts, other, kFontMaskSize, font), -9);
    EXPECT_EQ(fonts.err.message_utf8(), "TXLS-03009 バッファサイズ(\"512\")オーバー(\"tsx_set_font() MAX_FONT\")。");
    EXPECT_EQ(other.style, 0);
    EXPECT_EQ(fonts.styles.xfs().size(), xfs);
}

TEST(SetCell, MasksChangeOnlyTheSelectedFields) {
    Book book;
    // Fonts: the rest of the record and of the XF is kept, the presets never change.
    Cell link;
    link.style = kXfHyperlink;
    FontRecord change;
    change.size = 20;
    change.colour = 15;
    ASSERT_EQ(set_cell_font(book, link, kFontMaskSize, change), 0);
    const FontRecord &font = book.styles.fonts()[cell_xf(book, link).font];
    EXPECT_EQ(std::vector<std::uint32_t>({font.size, font.style, font.colour}),
              std::vector<std::uint32_t>({20, kFontBold | kFontHyperlink, 0}));
    EXPECT_EQ(cell_xf(book, link).style_xf, 1u);
    EXPECT_EQ(book.styles.fonts()[book.styles.hyperlink_font()].size, 11);

    // Fills: a colour alone makes a solid fill, a pattern chosen first stays, a gradient field
    // turns the fill into a gradient.
    FillRecord red;
    red.colour = 11;
    Cell plain, dated, striped;
    dated.style = kXfDate;
    ASSERT_EQ(set_cell_fill(book, plain, kFillMaskColour, red), 0);
    ASSERT_EQ(set_cell_fill(book, dated, kFillMaskColour, red), 0);
    EXPECT_EQ(book.styles.fills()[cell_xf(book, plain).fill].pattern, kFillSolid);
    EXPECT_EQ(cell_xf(book, dated).fill, cell_xf(book, plain).fill);
    EXPECT_EQ(cell_xf(book, dated).format, 14u);
    FillRecord pattern;
    pattern.pattern = 9;
    ASSERT_EQ(set_cell_fill(book, striped, kFillMaskPattern, pattern), 0);
    ASSERT_EQ(set_cell_fill(book, striped, kFillMaskColour, red), 0);
    EXPECT_EQ(book.styles.fills()[cell_xf(book, striped).fill].pattern, 9u);
    FillRecord stop;
    stop.colour2 = 25;
    ASSERT_EQ(set_cell_fill(book, striped, kFillMaskGradientColour2, stop), 0);
    const FillRecord &gradient = book.styles.fills()[cell_xf(book, striped).fill];
    EXPECT_EQ(std::vector<std::uint32_t>({gradient.pattern, gradient.colour, gradient.colour2}),
              std::vector<std::uint32_t>({kFillGradient, 11, 25}));

    // Borders: sides combine; a formatted cell without a border starts from no lines at all.
    Cell boxed, date;
    date.style = kXfDate;
    BorderRecord left, top;
    left.left = 6;
    top.top = 2;
    top.left = 1;  // not selected by the mask
    ASSERT_EQ(set_cell_border(book, boxed, kBorderMaskLeft, left), 0);
    ASSERT_EQ(set_cell_border(book, boxed, kBorderMaskTop, top), 0);
    EXPECT_EQ(book.styles.borders()[cell_xf(book, boxed).border - 1], (BorderRecord{6, 0, 2, 0, 0, 0, 0, {}}));
    ASSERT_EQ(set_cell_border(book, date, kBorderMaskTop, top), 0);
    EXPECT_EQ(book.styles.borders()[cell_xf(book, date).border - 1], (BorderRecord{0, 0, 2, 0, 0, 0, 0, {}}));

    // Number formats and text modes; flags replace each other rather than accumulate.
    Cell number;
    ASSERT_EQ(set_cell_number_format(book, number, 1), 0);
    EXPECT_EQ(cell_xf(book, number).format_mode, kFormatTable);
    ASSERT_EQ(set_cell_text_format(book, number), 0);
    EXPECT_EQ(cell_xf(book, number).format_mode, kFormatText);
    Cell wrapped;
    ASSERT_EQ(set_cell_text_flags(book, wrapped, kTextWrap), 0);
    ASSERT_EQ(set_cell_text_flags(book, wrapped, kTextShrink), 0);
    EXPECT_EQ(cell_xf(book, wrapped).text_flags, kTextShrink);
    // A reference past the table counts as no format.
    Cell stray;
    stray.style = 5000;
    EXPECT_EQ(cell_xf(book, stray), XfRecord{});
    ASSERT_EQ(set_cell_font(book, stray, kFontMaskColour, red_font()), 0);
    EXPECT_LT(stray.style, 5000);
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
    EXPECT_EQ(sheet.rows[1].cells[1].style, sheet.rows[1000].cells[100].style);
    EXPECT_NE(sheet.rows[1].cells[1].style, 0);
    EXPECT_EQ(sheet.rows[1].cells[0].style, 0);
    EXPECT_EQ(set_range_border(book, 3, 0, 0, 0, 0, 15, lines(1)), -1);
}
