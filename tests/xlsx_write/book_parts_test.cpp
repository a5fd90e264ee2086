// The book-level parts against their golden texts (content types, relationships, properties,
// workbook, shared strings, theme, styles), the part list of a save, the thumbnail, escaping.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "api/book_init.h"
#include "common/fixtures.h"
#include "common/golden.h"
#include "common/package_reader.h"
#include "common/tiny_jpeg.h"
#include "model/book.h"
#include "model/style_registry.h"
#include "support/xml_escape.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/package_writer.h"
#include "xlsx_write/styles_part.h"

// Records are written with designated initializers; the fields left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace tabsmith;
using tabsmith::testing::golden, tabsmith::testing::has, tabsmith::testing::xml_fault, tabsmith::testing::kTinyJpeg;
namespace fs = std::filesystem;

namespace {

class BookParts : public ::testing::Test {
protected:
    void SetUp() override {
        add_sheet(book, "Sales");
        add_sheet(book, "Costs");
    }
    Book book;
};

const std::string kFFFD = "\xEF\xBF\xBD";

class Thumbnail : public tabsmith::testing::BookTest {
protected:
    // A UTF-8 book saving to dir/book.xlsx with one value and the thumbnail set.
    void open_with_thumbnail() {
        TXLS_free_book(&book);
        ASSERT_EQ(open(("MODE=CREATE CHARSET=UTF8 BOOK=\"" + target + "\"").c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
        ASSERT_EQ(TXLS_put_cell(&book, "A1", "42"), 0);
        ASSERT_EQ(TXLS_put_values(&book, ("BOOK.THUMBNAIL.PATH=\"" + picture + "\"").c_str()), 0);
    }
    void expect_thumbnail_saved() {
        const tabsmith::testing::ReadPackage package = tabsmith::testing::read_package_file(target);
        EXPECT_EQ(tabsmith::testing::package_fault(package), "");
        ASSERT_FALSE(package.entries.empty()) << target;
        EXPECT_EQ(package.entries.back().name, "docProps/thumbnail.jpeg");
        EXPECT_EQ(package.entries.back().text, kTinyJpeg);
        EXPECT_TRUE(has(package.text("[Content_Types].xml"), R"(<Default Extension="jpeg" ContentType="image/jpeg"/>)"));
        EXPECT_TRUE(has(package.text("_rels/.rels"), R"(Target="docProps/thumbnail.jpeg")"));
    }
    tabsmith::testing::TempFolder dir;
    std::string picture = dir.write("thumb.jpg", kTinyJpeg);
    std::string target = dir / "book.xlsx";
};

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

TEST_F(BookParts, PlainPartsOfATwoSheetBook) {
    EXPECT_EQ(content_types_part(book, {}), golden("content_types.xml"));
    EXPECT_EQ(workbook_rels_part(book), golden("workbook_rels.xml"));
    EXPECT_EQ(custom_part(), golden("custom.xml"));
    EXPECT_EQ(theme_part(), golden("theme.xml"));
    EXPECT_TRUE(has(package_rels_part(book), R"(="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId3" )"));
    EXPECT_TRUE(has(app_part(book), R"(<vt:vector size="2" baseType="variant"><vt:variant><vt:lpstr>ワークシート</vt:lpstr></vt:variant>)"
                                    R"(<vt:variant><vt:i4>2</vt:i4></vt:variant></vt:vector></HeadingPairs>)"));
    EXPECT_TRUE(has(app_part(book), "<AppVersion>12.0000</AppVersion>"));
    EXPECT_TRUE(has(core_part(book, "2024-01-02T03:04:05Z"),   // no title or subject unless set
                    R"(XMLSchema-instance"><dc:creator>MyName</dc:creator><cp:lastModifiedBy>MyName</cp:lastModifiedBy>)"));
    const std::string workbook = workbook_part(book);
    EXPECT_TRUE(has(workbook, R"(<workbookPr  defaultThemeVersion="124226"/>)"));
    EXPECT_TRUE(has(workbook, R"(<sheet name="Costs" sheetId="2" r:id="rId2"/></sheets><calcPr calcId="145621"/></workbook>)"));
    // One sheet stays visible when all are hidden.
    book.sheets[0]->settings.hidden = book.sheets[1]->settings.hidden = true;
    EXPECT_TRUE(has(workbook_part(book), R"(<sheet name="Sales" sheetId="1" r:id="rId1"/><sheet name="Costs" sheetId="2" r:id="rId2" )"
                                         R"(state="hidden"/>)"));
    const std::string stamp = package_time_stamp();
    ASSERT_EQ(stamp.size(), 20u);
    EXPECT_EQ(stamp.substr(4, 1) + stamp.substr(10, 1) + stamp.back(), "-TZ");
}

// A final book with a thumbnail, print titles, a hidden sheet, a write password, a backup, no
// recalculation, a manager, a later version, a title, subject and author.
TEST_F(BookParts, EverySettingOfTheBookIsInTheGoldenParts) {
    book.settings.final = true;
    book.settings.thumbnail_path = "thumb.jpg";
    book.sheets[1]->settings.hidden = true;
    book.settings.write_password = "test";
    book.settings.backup = true;
    book.settings.recalc = false;
    book.sheets[0]->settings.title_row1 = 1;
    book.sheets[0]->settings.title_row2 = 2;
    book.sheets[1]->settings.title_column1 = 1;
    book.sheets[1]->settings.title_column2 = 3;
    book.settings.manager = "Boss & Co";
    book.settings.app_version = 2010;
    book.settings.title = "売上<報告>";
    book.settings.subject = "Q1";
    book.author = "山田";
    EXPECT_EQ(app_part(book), golden("app.xml"));
    book.sheets[1]->name = "My Costs";
    EXPECT_EQ(package_rels_part(book), golden("package_rels.xml"));
    EXPECT_EQ(core_part(book, "2024-01-02T03:04:05Z"), golden("core.xml"));
    EXPECT_EQ(workbook_part(book), golden("workbook.xml"));
    PackageInventory inventory;
    inventory.thumbnail = true;
    const std::string types = content_types_part(book, inventory);
    EXPECT_TRUE(has(types, R"(content-types"><Default Extension="jpeg" ContentType="image/jpeg"/><Override PartName="/xl/theme)"));
    EXPECT_TRUE(has(types, R"(+xml"/><Override PartName="/docProps/custom.xml" ContentType="application/vnd.openxmlformats-)"
                           R"(officedocument.custom-properties+xml"/><Override PartName="/xl/worksheets/sheet1.xml")"));
    book.settings.thumbnail_path.clear();
    EXPECT_TRUE(has(package_rels_part(book), R"(relationships"><Relationship Id="rId4" Type="http://schemas.openxmlformats.org/)"
                                             R"(officeDocument/2006/relationships/custom-properties" Target="docProps/custom.xml"/>)"));
    book.settings.thumbnail_path = "thumb.jpg";
    book.settings.final = false;
    EXPECT_TRUE(has(package_rels_part(book), R"(relationships"><Relationship Id="rId4" Type="http://schemas.openxmlformats.org/)"
                                             R"(package/2006/relationships/metadata/thumbnail" Target="docProps/thumbnail.jpeg"/>)"));
}

TEST_F(BookParts, SharedStringsPreserveBlanksAndProtectEscapeLookalikes) {
    for (const char *text : {"plain", "two words", "_x0041_", "a<b&\"c\"", "bell\x07"}) put_shared_string(book, text);
    EXPECT_EQ(shared_strings_part(book), golden("sharedStrings.xml"));   // no cell refers to them yet: count 0
}

// Escaped text and attributes hold XML characters only: bytes that are no UTF-8 become U+FFFD,
// C0 controls and U+FFFE/U+FFFF the _xHHHH_ form (and a text that looks like one is protected).
// That every path a caller's text takes into a saved part escapes is the random-text conformance
// test's, where openpyxl loads the books.
TEST(XmlEscape, TextAndAttributesHoldOnlyXmlCharacters) {
    const struct {
        const char *what;
        std::string input, text, attribute;   // escaped as element text and as attribute text
    } cases[] = {
        {"stray bytes FF FE", "a\xFF\xFE" "b", "a" + kFFFD + kFFFD + "b", "a" + kFFFD + kFFFD + "b"},
        {"encoded surrogate ED A0 80", "\xED\xA0\x80", kFFFD + kFFFD + kFFFD, kFFFD + kFFFD + kFFFD},
        {"cut-off E3 81 at the end", "x\xE3\x81", "x" + kFFFD, "x" + kFFFD},
        {"cut-off E3 81 before markup", "\xE3\x81<", kFFFD + "&lt;", kFFFD + "&lt;"},
        {"cut-off E3 81 before a letter", "\xE3\x81" "A", kFFFD + "A", kFFFD + "A"},
        {"lone lead C3 at the end", "a\xC3", "a" + kFFFD, "a" + kFFFD},
        {"lone continuation byte", "\x80" "a", kFFFD + "a", kFFFD + "a"},
        {"overlong slash C0 AF", "\xC0\xAF", kFFFD + kFFFD, kFFFD + kFFFD},
        {"past U+10FFFF", "\xF4\x90\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD, kFFFD + kFFFD + kFFFD + kFFFD},
        {"U+FFFE", "\xEF\xBF\xBE", "_xFFFE_", "_xFFFE_"},
        {"U+FFFF between letters", "a\xEF\xBF\xBF" "b", "a_xFFFF_b", "a_xFFFF_b"},
        {"C0 controls", "\x01\x08\x0B\x0C\x1F", "_x0001__x0008__x000B__x000C__x001F_", "_x0001__x0008__x000B__x000C__x001F_"},
        {"tab, LF, CR", "a\tb\r\nc", "a&#x9;b\r\nc", "a&#x9;b&#xD;&#xA;c"},
        {"markup", "'\"&<>", "&apos;&quot;&amp;&lt;&gt;", "&apos;&quot;&amp;&lt;&gt;"},
        {"escape lookalikes", "_x12G4_ _xABCD_", "_x12G4_ _x005F_xABCD_", "_x12G4_ _x005F_xABCD_"},
        {"allowed characters stay", "日本\xF0\x9F\x98\x80\xC2\x80\x7F" + kFFFD, "日本\xF0\x9F\x98\x80\xC2\x80\x7F" + kFFFD,
         "日本\xF0\x9F\x98\x80\xC2\x80\x7F" + kFFFD},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(xml_escape(c.input, EscapeMode::kText), c.text) << c.what;
        EXPECT_EQ(xml_escape(c.input, EscapeMode::kAttribute), c.attribute) << c.what;
        EXPECT_EQ(xml_fault("<t a=\"" + c.attribute + "\">" + c.text + "</t>"), "") << c.what;
    }
    for (std::string text : {"_x0041_", "a&b<c>\"d'", "tab\tcr\rlf\n", "\x02 control", "_x005F_x0041_", "&#x41;"}) {
        EXPECT_EQ(xml_unescape(xml_escape(text, EscapeMode::kAttribute)), text);
        EXPECT_EQ(xml_unescape(xml_escape(text, EscapeMode::kText)), text);
    }
    EXPECT_EQ(xml_unescape("&#x41;&#66;&unknown;&amp"), "AB&unknown;&amp");
    std::string in_place = "<";
    EXPECT_EQ(tsx_xml_escape(EscapeMode::kText, in_place), 0);
    EXPECT_EQ(in_place, "&lt;");
}

// Whatever stands at the path at the save (nothing, a folder, a FIFO that would block a read),
// the save fails with the picture's open error and keeps the book, which then saves once the
// picture is back, or can be scrapped.
TEST_F(Thumbnail, AFileThatCannotBeOpenedAtTheSaveFailsItAndKeepsTheBook) {
    const std::pair<const char *, void (*)(const std::string &)> obstacles[] = {
        {"missing", [](const std::string &) {}},
        {"folder", [](const std::string &path) { fs::create_directory(path); }},
        {"fifo", [](const std::string &path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
    };
    for (const auto &[what, place] : obstacles) {
        SCOPED_TRACE(what);
        open_with_thumbnail();
        fs::remove(picture);
        place(picture);
        EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -101);
        EXPECT_EQ(TXLS_error_code(&book), -101);
        EXPECT_EQ(message(), "TXLS-03102 イメージファイルオープンエラー(\"" + picture + "\")。");
        ASSERT_NE(book.work, nullptr);
        EXPECT_EQ(value("A1"), "42");
        EXPECT_FALSE(fs::exists(target));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), what == std::string("missing") ? 0 : 1);
        fs::remove(picture);
        dir.write("thumb.jpg", kTinyJpeg);
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0);
        expect_thumbnail_saved();
        fs::remove(target);
    }
    open_with_thumbnail();   // a book that cannot save is scrapped without complaint
    fs::remove(picture);
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -101);
    EXPECT_EQ(TXLS_close_book(&book, ""), 0);
    EXPECT_EQ(book.work, nullptr);
    EXPECT_FALSE(fs::exists(target));
}

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
