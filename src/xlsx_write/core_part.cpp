// The core properties part (docProps/core.xml): title, subject, creator and the time stamps,
// and the local time those stamps are made from.

#include <ctime>

#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/xml_writer.h"

namespace tabsmith {
namespace {

constexpr std::string_view kCoreHead =
    "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
    "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
constexpr XmlTemplate kCoreTitle{"<dc:title>{title}</dc:title>"};
constexpr XmlTemplate kCoreSubject{"<dc:subject>{subject}</dc:subject>"};
// The book's author both created and last changed it; created and modified carry the same stamp.
constexpr XmlTemplate kCoreBody{
    "<dc:creator>{author}</dc:creator><cp:lastModifiedBy>{author}</cp:lastModifiedBy>"
    "<dcterms:created xsi:type=\"dcterms:W3CDTF\">{stamp}</dcterms:created>"
    "<dcterms:modified xsi:type=\"dcterms:W3CDTF\">{stamp}</dcterms:modified></cp:coreProperties>"};
constexpr const char *kStampFormat = "%Y-%m-%dT%H:%M:%SZ";
constexpr std::size_t kStampBytes = 32;

}  // namespace

std::string package_time_stamp() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[kStampBytes];
    return std::string(stamp, std::strftime(stamp, sizeof stamp, kStampFormat, &local));
}

std::string core_part(const Book &book, const std::string &stamp) {
    std::string out(kXmlDeclaration);
    out += kCoreHead;
    if (!book.settings.title.empty()) xml_fill<kCoreTitle>(out, XmlText{book.settings.title});
    if (!book.settings.subject.empty()) xml_fill<kCoreSubject>(out, XmlText{book.settings.subject});
    xml_fill<kCoreBody>(out, XmlText{book.author}, std::string_view(stamp));
    return out;
}

}  // namespace tabsmith
