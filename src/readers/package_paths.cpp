// Relationship parts and part names: how the package reader finds the workbook, its sheets and
// its shared parts, whatever names and folders the producing program chose.

#include "readers/xlsx_parts.h"

#include "readers/xml_scanner.h"

namespace tabsmith {

std::string relationships_path(std::string_view part) {
    std::size_t slash = part.rfind('/');
    std::string_view folder = slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
    std::string_view file = slash == std::string_view::npos ? part : part.substr(slash + 1);
    std::string path(folder);
    path.append("_rels/").append(file).append(".rels");
    return path;
}

std::string resolve_target(std::string_view source_part, std::string_view target) {
    std::string decoded;
    xml_decode_append(decoded, target);
    std::string_view rest = decoded;
    std::vector<std::string_view> parts;
    if (!rest.empty() && rest.front() == '/') {
        rest.remove_prefix(1);
    } else {
        std::size_t slash = source_part.rfind('/');
        std::string_view folder = slash == std::string_view::npos ? std::string_view() : source_part.substr(0, slash);
        while (!folder.empty()) {
            std::size_t next = folder.find('/');
            parts.push_back(folder.substr(0, next));
            if (next == std::string_view::npos) break;
            folder.remove_prefix(next + 1);
        }
    }
    while (!rest.empty()) {
        std::size_t next = rest.find_first_of("/\\");
        std::string_view piece = rest.substr(0, next);
        if (piece == "..") {
            if (parts.empty()) return {};
            parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        if (next == std::string_view::npos) break;
        rest.remove_prefix(next + 1);
    }
    std::string path;
    for (std::string_view piece : parts) {
        if (!path.empty()) path.push_back('/');
        path.append(piece);
    }
    return path;
}

bool relationship_is(const Relationship &relationship, std::string_view kind) {
    std::string_view type = relationship.type;
    return type.size() > kind.size() && type.ends_with(kind) && type[type.size() - kind.size() - 1] == '/';
}

int read_relationships(std::string_view text, std::string_view source_part, std::vector<Relationship> &out) {
    XmlScanner scanner(text);
    for (XmlToken token; (token = scanner.next()) != XmlToken::kEndOfInput;) {
        if (token != XmlToken::kStart || scanner.local_name() != "Relationship") continue;
        Relationship relationship;
        std::string_view value;
        if (scanner.attribute("Id", value)) xml_decode_append(relationship.id, value);
        if (scanner.attribute("Type", value)) xml_decode_append(relationship.type, value);
        if (scanner.attribute("TargetMode", value)) relationship.external = value == "External";
        if (scanner.attribute("Target", value)) {
            if (relationship.external) xml_decode_append(relationship.target, value);
            else relationship.target = resolve_target(source_part, value);
        }
        out.push_back(std::move(relationship));
    }
    return scanner.error();
}

}  // namespace tabsmith
