// Relationship parts as the package reader reads them: how it finds the workbook, its sheets and
// its shared parts, whatever names and folders the producing program chose.

#include "readers/xlsx_parts.h"

#include "readers/xml_scanner.h"
#include "support/package_path.h"

namespace tabsmith {

bool relationship_is(const Relationship &relationship, std::string_view kind) {
    std::string_view type = relationship.type;
    return type.size() > kind.size() && type.ends_with(kind) && type[type.size() - kind.size() - 1] == '/';
}

int read_relationships(std::string_view text, std::string_view source_part, std::vector<Relationship> &out,
                       PartFault *fault) {
    XmlScanner scanner(text);
    for (XmlToken token; (token = scanner.next()) != XmlToken::kEndOfInput;) {
        if (token != XmlToken::kStart || scanner.local_name() != "Relationship") continue;
        Relationship relationship;
        std::string_view value;
        if (scanner.attribute("Id", value)) xml_decode_append(relationship.id, value);
        if (scanner.attribute("Type", value)) xml_decode_append(relationship.type, value);
        if (scanner.attribute("TargetMode", value)) relationship.external = value == "External";
        if (scanner.attribute("Target", value)) {
            xml_decode_append(relationship.target, value);
            if (!relationship.external) relationship.target = resolve_part_target(source_part, relationship.target);
        }
        out.push_back(std::move(relationship));
    }
    if (fault && scanner.error() != kOk) *fault = scanner.fault();
    return scanner.error();
}

}  // namespace tabsmith
