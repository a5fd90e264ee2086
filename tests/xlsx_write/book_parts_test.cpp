// The book-level parts against their golden texts (content types, relationships, document
// properties, workbook, shared strings, theme), the part list of a save, and text escaping.

#include <gtest/gtest.h>

#include "api/book_init.h"
#include "common/package_reader.h"
#include "model/book.h"
#include "model/style_registry.h"
#include "support/xml_escape.h"
#include "xlsx_write/book_parts.h"
#include "common/golden.h"
#include "xlsx_write/package_writer.h"

// Records are written with designated initializers; the fields left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace tabsmith;
using tabsmith::testing::golden;
using tabsmith::testing::has;
using tabsmith::testing::xml_fault;

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

}  // namespace

TEST_F(BookParts, PlainPartsOfATwoSheetBook) {
    EXPECT_EQ(content_types_part(book, {}), golden("content_types.xml"));
    EXPECT_EQ(workbook_rels_part(book), golden("workbook_rels.xml"));
    EXPECT_EQ(custom_part(), golden("custom.xml"));
    EXPECT_EQ(theme_part(), golden("theme.xml"));
    EXPECT_TRUE(has(package_rels_part(book), R"(="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId3" )"));
    EXPECT_TRUE(has(app_part(book), R"(<vt:vector size="2" baseType="variant"><vt:variant><vt:lpstr>ワークシート</vt:lpstr></vt:variant>)"
                                    R"(<vt:variant><vt:i4>2</vt:i4></vt:variant></vt:vector></HeadingPairs>)"));
    EXPECT_TRUE(has(app_part(book), "<Company>MyCompany</Company>"));
    EXPECT_TRUE(has(app_part(book), "<AppVersion>12.0000</AppVersion>"));
    EXPECT_TRUE(has(core_part(book, "2024-01-02T03:04:05Z"),
                    "core-properties\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
                    "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
                    "<dc:creator>MyName</dc:creator><cp:lastModifiedBy>MyName</cp:lastModifiedBy>"));
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

TEST_F(BookParts, PartsInArchiveOrderAndThreeSheetsForAnEmptyBook) {
    Book empty;
    std::vector<std::pair<std::string, std::string>> parts;
    ASSERT_EQ(prepare_book_for_save(empty), 0);
    ASSERT_EQ(build_package_parts(empty, parts), 0);
    std::vector<std::string> names;
    for (const auto &part : parts) names.push_back(part.first);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "[Content_Types].xml", "_rels/.rels", "docProps/app.xml", "docProps/core.xml", "xl/_rels/workbook.xml.rels",
                         "xl/theme/theme1.xml", "xl/workbook.xml", "xl/sharedStrings.xml", "xl/styles.xml", "xl/worksheets/sheet1.xml",
                         "xl/worksheets/_rels/sheet1.xml.rels", "xl/worksheets/sheet2.xml", "xl/worksheets/_rels/sheet2.xml.rels",
                         "xl/worksheets/sheet3.xml", "xl/worksheets/_rels/sheet3.xml.rels", "xl/printerSettings/printerSettings1.bin",
                         "xl/printerSettings/printerSettings2.bin", "xl/printerSettings/printerSettings3.bin"}));
    EXPECT_EQ(empty.sheets[2]->name, "Sheet3");
    empty.settings.final = true;
    ASSERT_EQ(prepare_book_for_save(empty), 0);
    ASSERT_EQ(build_package_parts(empty, parts), 0);
    EXPECT_EQ(parts[4].first, "docProps/custom.xml");
    // The printer settings record: portrait A4, or landscape A3.
    std::string record = printer_settings_part(*empty.sheets[0]);
    ASSERT_EQ(record.size(), 1076u);
    EXPECT_EQ(record.substr(0, 4), std::string("M\0i\0", 4));
    EXPECT_EQ(std::string({record[76], record[78]}), std::string({1, 9}));
    empty.sheets[0]->settings.page.landscape = true;
    empty.sheets[0]->settings.page.paper = 3;
    record = printer_settings_part(*empty.sheets[0]);
    EXPECT_EQ(std::string({record[76], record[78]}), std::string({2, 8}));
}

// Escaped text and attributes hold XML characters only: bytes that are no UTF-8 become U+FFFD,
// C0 controls and U+FFFE/U+FFFF the _xHHHH_ form (and a text that looks like one is protected).
// A book whose every text holds such bytes saves parts that are all well-formed.
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
        Book book;
        ASSERT_EQ(add_sheet(book, "Data"), 0);
        Sheet &sheet = *book.sheets[0];
        sheet.name = "S" + c.input;
        sheet.settings.code_name = "C" + c.input;
        sheet.settings.title_row1 = 1;
        sheet.settings.header[1] = HeaderFooterSection{true, "H" + c.input, -1};
        book.author = "A" + c.input;
        book.company = "Co" + c.input;
        book.settings.title = "T" + c.input;
        book.settings.manager = "M" + c.input;
        book.settings.write_password = "secret";
        ASSERT_EQ(ensure_cell(book, sheet, 0, 3), 0);
        sheet.rows_used = 1;
        sheet.rows[0].used = 4;
        std::vector<Cell> &cells = sheet.rows[0].cells;
        cells[0].kind = kCellText;
        cells[0].set_text("t" + c.input);
        cells[1].kind = kCellString;
        cells[1].sst = static_cast<std::uint32_t>(put_shared_string(book, "s" + c.input));
        cells[2].kind = kCellFormulaValue;
        cells[2].set_formula("\"f" + c.input + "\"");
        cells[2].set_text("v" + c.input);
        ASSERT_EQ(set_cell_font(book, cells[3], kFontMaskName, FontRecord{.name_id = kFontNameOwn, .name = "F" + c.input}), 0);
        int format = 0;
        ASSERT_EQ(append_num_format(book, NumFormat{.kind = 900, .code = "0\"" + c.input + "\""}, format), 0);
        ASSERT_EQ(set_cell_number_format(book, cells[3], static_cast<std::uint32_t>(format)), 0);
        std::vector<std::pair<std::string, std::string>> parts;
        ASSERT_EQ(prepare_book_for_save(book), 0);
        ASSERT_EQ(build_package_parts(book, parts), 0);
        for (const auto &[name, text] : parts)
            EXPECT_EQ(name.ends_with(".bin") ? "" : xml_fault(text), "") << c.what << " in " << name;
        EXPECT_TRUE(has(parts[9].second, "<t>t" + c.text + "</t>")) << c.what;
        EXPECT_TRUE(has(parts[6].second, "<sheet name=\"S" + c.attribute + "\" sheetId=\"1\"")) << c.what;
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
