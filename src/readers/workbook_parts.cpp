// The book-level parts of a package: the workbook part's sheet list and date system, and the
// shared-string table with its texts assembled from their runs.

#include <charconv>

#include "readers/xlsx_parts.h"

#include "readers/reader_text.h"
#include "readers/xml_scanner.h"

namespace tabsmith {

int read_workbook_part(std::string_view text, std::vector<WorkbookSheet> &sheets, bool &date1904, PartFault *fault) {
    XmlScanner scanner(text);
    for (XmlToken token; (token = scanner.next()) != XmlToken::kEndOfInput;) {
        if (token != XmlToken::kStart) continue;
        std::string_view name = scanner.local_name();
        if (name == "workbookPr") {
            std::string_view value;
            if (scanner.attribute("date1904", value)) date1904 = is_true(value);
        } else if (name == "sheet") {
            WorkbookSheet sheet;
            for (const XmlAttribute &attribute : scanner.attributes()) {
                std::string_view local = attribute.name.substr(attribute.name.find(':') + 1);
                if (attribute.name == "name") {
                    xml_decode_append(sheet.name, attribute.value);
                } else if (local == "id" && attribute.name != "id") {
                    xml_decode_append(sheet.relationship_id, attribute.value);
                } else if (attribute.name == "sheetId") {
                    std::from_chars(attribute.value.data(), attribute.value.data() + attribute.value.size(),
                                    sheet.sheet_id);
                } else {
                    append_attribute_again(sheet.extra_attributes, attribute);
                }
            }
            sheets.push_back(std::move(sheet));
        }
    }
    if (fault && scanner.error() != kOk) *fault = scanner.fault();
    return scanner.error();
}

int read_shared_strings_part(Book &book, std::string_view text, std::string *items, std::string *root_tag,
                             PartFault *fault) {
    XmlScanner scanner(text);
    std::string current;
    int phonetic_depth = 0;      // inside rPh: its texts are readings, not the string
    bool in_text = false;
    std::size_t first_item = std::string_view::npos, last_item_end = 0;
    for (XmlToken token; (token = scanner.next()) != XmlToken::kEndOfInput;) {
        if (token == XmlToken::kText) {
            if (in_text && phonetic_depth == 0) {
                if (scanner.cdata()) current.append(scanner.text());
                else xml_decode_append(current, scanner.text());
            }
            continue;
        }
        std::string_view name = scanner.local_name();
        if (token == XmlToken::kStart) {
            if (root_tag && scanner.depth() == 1)
                root_tag->assign(text.substr(scanner.token_begin(), scanner.token_end() - scanner.token_begin()));
            if (name == "si") {
                current.clear();
                if (first_item == std::string_view::npos) first_item = scanner.token_begin();
            } else if (name == "t") {
                in_text = true;
            } else if (name == "rPh") {
                ++phonetic_depth;
            }
            continue;
        }
        if (name == "t") {
            in_text = false;
        } else if (name == "rPh") {
            --phonetic_depth;
        } else if (name == "si") {
            if (book.shared_strings.put_distinct(current) < 0) return kNoMemory;
            last_item_end = scanner.token_end();
        }
    }
    if (scanner.error() != kOk) {
        if (fault) *fault = scanner.fault();
        return scanner.error();
    }
    if (items && first_item != std::string_view::npos) items->assign(text.substr(first_item, last_item_end - first_item));
    return kOk;
}

}  // namespace tabsmith
