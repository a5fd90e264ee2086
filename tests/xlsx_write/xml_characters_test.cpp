// Character safety of the written parts: bytes that are no UTF-8, C0 controls and U+FFFE/U+FFFF
// in element text, attributes and ready markup, and in every part of a saved package.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/book_init.h"
#include "model/book.h"
#include "model/style_registry.h"
#include "xlsx_write/package_writer.h"
#include "xlsx_write/worksheet_part.h"
#include "support/xml_escape.h"

namespace tabsmith {
namespace {

const std::string kFFFD = "\xEF\xBF\xBD";

// The position of the first byte that is not part of an XML 1.0 Char (strict UTF-8 decoding:
// #x9 | #xA | #xD | #x20-#xD7FF | #xE000-#xFFFD | #x10000-#x10FFFF), or npos.
std::size_t first_forbidden_byte(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        std::size_t size = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                                                                   : (lead & 0xF8) == 0xF0 ? 4 : 0;
        if (size == 0 || i + size > text.size()) return i;
        unsigned code = size == 1 ? lead : size == 2 ? lead & 0x1F : size == 3 ? lead & 0x0F : lead & 0x07;
        for (std::size_t k = 1; k < size; ++k) {
            unsigned char byte = static_cast<unsigned char>(text[i + k]);
            if ((byte & 0xC0) != 0x80) return i;
            code = (code << 6) | (byte & 0x3F);
        }
        const unsigned shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        bool allowed = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                       (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
        if (code < shortest[size] || !allowed) return i;
        i += size;
    }
    return std::string_view::npos;
}

struct CharacterCase {
    const char *what;
    std::string input;
    std::string text;        // escaped as element text
    std::string attribute;   // escaped as attribute text
};

const std::vector<CharacterCase> &character_cases() {
    static const std::vector<CharacterCase> cases = {
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
        {"C0 controls", "\x01\x08\x0B\x0C\x1F", "_x0001__x0008__x000B__x000C__x001F_",
         "_x0001__x0008__x000B__x000C__x001F_"},
        {"tab, LF, CR", "\t\n\r", "&#x9;\n\r", "&#x9;&#xA;&#xD;"},
        {"allowed characters stay", "あ\xF0\x9F\x98\x80\xC2\x80\x7F\xEF\xBF\xBD",
         "あ\xF0\x9F\x98\x80\xC2\x80\x7F\xEF\xBF\xBD", "あ\xF0\x9F\x98\x80\xC2\x80\x7F\xEF\xBF\xBD"},
    };
    return cases;
}

TEST(XmlCharacters, EscapingLeavesOnlyXmlCharacters) {
    for (const CharacterCase &c : character_cases()) {
        std::string text = xml_escape(c.input, EscapeMode::kText);
        std::string attribute = xml_escape(c.input, EscapeMode::kAttribute);
        EXPECT_EQ(text, c.text) << c.what;
        EXPECT_EQ(attribute, c.attribute) << c.what;
        EXPECT_EQ(first_forbidden_byte(text), std::string_view::npos) << c.what;
        EXPECT_EQ(first_forbidden_byte(attribute), std::string_view::npos) << c.what;
    }
}

// Every text a caller can put into a book, each holding the case's bytes; the saved parts
// must hold XML characters only, and the cell text and sheet name their escaped forms.
TEST(XmlCharacters, EveryPartOfASavedBookHoldsOnlyXmlCharacters) {
    for (const CharacterCase &c : character_cases()) {
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
        int index = put_shared_string(book, "s" + c.input);
        ASSERT_GE(index, 0);
        cells[1].kind = kCellString;
        cells[1].sst = static_cast<std::uint32_t>(index);
        cells[2].kind = kCellFormulaValue;
        cells[2].set_formula("\"f" + c.input + "\"");
        cells[2].set_text("v" + c.input);

        FontRecord font;
        font.name_id = kFontNameOwn;
        font.name = "F" + c.input;
        ASSERT_EQ(set_cell_font(book, cells[3], kFontMaskName, font), 0);
        NumFormat format;
        format.kind = 900;
        format.code = "0\"" + c.input + "\"";
        int format_index = 0;
        ASSERT_EQ(append_num_format(book, format, format_index), 0);
        ASSERT_EQ(set_cell_number_format(book, cells[3], static_cast<std::uint32_t>(format_index)), 0);

        std::vector<std::pair<std::string, std::string>> parts;
        ASSERT_EQ(prepare_book_for_save(book), 0);
        ASSERT_EQ(build_package_parts(book, parts), 0);
        std::string worksheet, workbook;
        for (const auto &[name, text] : parts) {
            if (name.ends_with(".bin")) continue;
            EXPECT_EQ(first_forbidden_byte(text), std::string_view::npos) << c.what << " in " << name;
            if (name == "xl/worksheets/sheet1.xml") worksheet = text;
            if (name == "xl/workbook.xml") workbook = text;
        }
        EXPECT_NE(worksheet.find("<t>t" + c.text + "</t>"), std::string::npos) << c.what;
        EXPECT_NE(workbook.find("<sheet name=\"S" + c.attribute + "\" sheetId=\"1\""), std::string::npos) << c.what;
    }
}

}  // namespace
}  // namespace tabsmith
