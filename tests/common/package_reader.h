// Reading a saved package back in the tests: every entry's plain bytes by name (minizip, not the
// engine's own reader), and a well-formedness check of its XML parts by libxml2.
#pragma once

#include <libxml/parser.h>
#include <minizip/unzip.h>

#include <map>
#include <string>

namespace tabsmith::testing {

// Every entry of the archive at `path`, inflated; empty when it cannot be opened.
inline std::map<std::string, std::string> package_entries(const std::string &path) {
    std::map<std::string, std::string> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (!zip) return entries;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[1024];
        unz_file_info64 info;
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
        std::string &bytes = entries[name];
        if (unzOpenCurrentFile(zip) != UNZ_OK) continue;
        char buffer[65536];
        for (int n; (n = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<std::size_t>(n));
        unzCloseCurrentFile(zip);
    }
    unzClose(zip);
    return entries;
}

// "" when `xml` is a well-formed document; otherwise libxml2's first complaint.
inline std::string xml_fault(const std::string &xml) {
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "part.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc) {
        xmlFreeDoc(doc);
        return "";
    }
    const xmlError *error = xmlGetLastError();
    return error && error->message ? std::string(error->message) : std::string("not well-formed");
}

// The name and complaint of the first XML part of the package that is not well-formed, or "".
inline std::string first_malformed_part(const std::string &path) {
    for (const auto &[name, bytes] : package_entries(path)) {
        if (!name.ends_with(".xml") && !name.ends_with(".rels") && !name.ends_with(".vml")) continue;
        if (std::string fault = xml_fault(bytes); !fault.empty()) return name + ": " + fault;
    }
    return "";
}

}  // namespace tabsmith::testing
