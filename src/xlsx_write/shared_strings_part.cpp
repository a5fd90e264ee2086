// The shared strings part (xl/sharedStrings.xml): every entry of the book's table in index
// order (a package's own entries as it wrote them), with the count of cells that refer to them.

#include <algorithm>

#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

// count: the cells that refer to the table; uniqueCount: its entries.
constexpr XmlTemplate kSharedStringsHead{
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"{declarations} count=\"{references}\" uniqueCount=\"{entries}\">"};
constexpr std::string_view kSharedStringPlain = "<si><t>";
constexpr std::string_view kSharedStringPreserve = "<si><t xml:space=\"preserve\">";
constexpr std::string_view kSharedStringEnd = "</t><phoneticPr fontId=\"1\"/></si>";
constexpr std::string_view kSharedStringsTail = "</sst>";
// An entry's markup stays under this; reserving it spares the copies of a growing part.
constexpr std::size_t kEntryMarkupBytes = 48;

}  // namespace

std::string shared_strings_part(const Book &book, std::string_view package_items, std::size_t package_count,
                                std::string_view declarations) {
    const SharedStringTable &table = book.shared_strings;
    const std::size_t first = std::min(package_count, table.size());
    std::size_t bytes = package_items.size();
    for (std::size_t k = first; k < table.size(); ++k) bytes += table.text(static_cast<std::uint32_t>(k)).size() + kEntryMarkupBytes;
    std::string out;
    out.reserve(bytes + 256);
    out += kXmlDeclaration;
    xml_fill<kSharedStringsHead>(out, declarations, static_cast<long long>(shared_string_references(book)),
                                 static_cast<long long>(table.size()));
    out += package_items;
    for (std::size_t k = first; k < table.size(); ++k) {
        const std::string &text = table.text(static_cast<std::uint32_t>(k));
        out += text.find(' ') != std::string::npos ? kSharedStringPreserve : kSharedStringPlain;
        append_value(out, XmlText{text});
        out += kSharedStringEnd;
    }
    out += kSharedStringsTail;
    return out;
}

}  // namespace tabsmith
