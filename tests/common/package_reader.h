// Saved packages read back through minizip (not the engine's own reader), and the checks every
// saved package must pass: CRCs, well-formed XML, content types and relationship targets.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <minizip/unzip.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/file_checks.h"
#include "support/package_path.h"

namespace tabsmith::testing {

struct ReadEntry {
    std::string name;
    int method = 0;
    std::uint32_t crc32 = 0, dos_time = 0;
    std::uint64_t packed_size = 0, plain_size = 0;
    std::string raw, text;  // as stored, inflated
};

struct ReadPackage {
    std::vector<ReadEntry> entries;   // in archive order
    std::string failure;              // what kept an entry from reading back whole, or ""
    const ReadEntry *find(std::string_view name) const {
        const auto at = std::find_if(entries.begin(), entries.end(), [&](const ReadEntry &entry) { return entry.name == name; });
        return at == entries.end() ? nullptr : &*at;
    }
    std::string text(std::string_view name) const { return find(name) ? find(name)->text : std::string(); }
};

namespace package_detail {

inline std::string lower(std::string_view text) {
    std::string out(text);
    for (char &c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return out;
}

// The attributes `names` of every child element called `element` of the root of `xml`.
inline std::vector<std::vector<std::string>> child_attributes(std::string_view xml, const char *element,
                                                              std::initializer_list<const char *> names) {
    std::vector<std::vector<std::string>> out;
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "part", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    for (xmlNodePtr node = doc && xmlDocGetRootElement(doc) ? xmlDocGetRootElement(doc)->children : nullptr; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE || std::strcmp(reinterpret_cast<const char *>(node->name), element) != 0) continue;
        out.emplace_back();
        for (const char *name : names) {
            xmlChar *value = xmlGetProp(node, reinterpret_cast<const xmlChar *>(name));
            out.back().emplace_back(value ? reinterpret_cast<const char *>(value) : "");
            xmlFree(value);
        }
    }
    xmlFreeDoc(doc);
    return out;
}

}  // namespace package_detail

// Every entry of the archive held in `bytes`; `failure` says what did not read back whole (a bad
// CRC or size, an entry that does not inflate, a name stored twice, not an archive at all).
inline ReadPackage read_package(std::string_view bytes) {
    ReadPackage package;
    // minizip reads the bytes through an anonymous memory file: nothing is left on disk.
    const int fd = ::memfd_create("package", 0);
    const bool written = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    unzFile archive = written ? unzOpen64(("/proc/self/fd/" + std::to_string(fd)).c_str()) : nullptr;
    if (fd >= 0) ::close(fd);
    if (!archive) return package.failure = "not a zip archive (" + std::to_string(bytes.size()) + " bytes)", package;
    std::set<std::string> names;
    auto read_current = [&](std::string &out) {
        char buffer[65536];
        int got;
        while ((got = unzReadCurrentFile(archive, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(got));
        return unzCloseCurrentFile(archive) == UNZ_OK && got == 0;
    };
    for (int rc = unzGoToFirstFile(archive); rc == UNZ_OK && package.failure.empty(); rc = unzGoToNextFile(archive)) {
        unz_file_info64 info{};
        char name[65536];
        if (unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) package.failure = "an unreadable entry header";
        if (!package.failure.empty()) break;
        ReadEntry entry{std::string(name, std::min<std::size_t>(info.size_filename, sizeof name - 1)),
                        static_cast<int>(info.compression_method), static_cast<std::uint32_t>(info.crc),
                        static_cast<std::uint32_t>(info.dosDate), info.compressed_size, info.uncompressed_size, {}, {}};
        int method = 0, level = 0;
        const std::string quoted = "entry '" + entry.name + "' ";
        if (!names.insert(entry.name).second) package.failure = quoted + "stored twice";
        else if (unzOpenCurrentFile2(archive, &method, &level, 1) != UNZ_OK || !read_current(entry.raw))
            package.failure = quoted + "does not read raw";
        else if (unzOpenCurrentFile(archive) != UNZ_OK || !read_current(entry.text))
            package.failure = quoted + "does not inflate or fails its CRC";
        else if (entry.text.size() != entry.plain_size)
            package.failure = quoted + "has the wrong size";
        package.entries.push_back(std::move(entry));
    }
    unzClose(archive);
    return package;
}

inline ReadPackage read_package_file(const std::string &path) { return read_package(contents(path)); }

// The text of one entry of the package file at `path` ("" when it has none).
inline std::string package_entry(const std::string &path, std::string_view name) { return read_package_file(path).text(name); }

// "" when `xml` is a well-formed document; otherwise where and why not. Nothing is loaded from
// outside.
inline std::string xml_fault(std::string_view xml) {
    xmlResetLastError();
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "part", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    const xmlError *error = xmlGetLastError();
    std::string fault = doc ? "" : "line " + std::to_string(error ? error->line : 0) + ": " + (error && error->message ? error->message : "?");
    while (!fault.empty() && fault.back() == '\n') fault.pop_back();
    return xmlFreeDoc(doc), fault;
}

// What is wrong with a saved package, or "": every entry reads back whole, every XML part is
// well-formed, every part has a content type and every internal relationship names a part.
inline std::string package_fault(const ReadPackage &package) {
    using package_detail::lower, package_detail::child_attributes;
    if (!package.failure.empty()) return package.failure;
    const ReadEntry *types = package.find("[Content_Types].xml");
    if (!types) return "no [Content_Types].xml";
    std::set<std::string> names, defaults, overrides;
    for (const ReadEntry &entry : package.entries) names.insert(entry.name);
    for (const ReadEntry &entry : package.entries) {
        const std::string lowered = lower(entry.name), quoted = "part '" + entry.name + "' ";
        if (!lowered.ends_with(".xml") && !lowered.ends_with(".rels") && !lowered.ends_with(".vml")) continue;
        if (std::string fault = xml_fault(entry.text); !fault.empty()) return quoted + fault;
        std::string source;
        if (!lowered.ends_with(".rels")) continue;
        if (!relationships_source(entry.name, source)) return "'" + entry.name + "' is no relationship part";
        std::set<std::string> ids;
        for (const auto &rel : child_attributes(entry.text, "Relationship", {"Id", "TargetMode", "Target"})) {
            if (rel[0].empty() || !ids.insert(rel[0]).second) return quoted + "repeats or lacks id '" + rel[0] + "'";
            const std::string part = resolve_part_target(source, rel[2]);
            if (rel[1] != "External" && !names.count(part)) return quoted + "relates '" + rel[0] + "' to a missing part '" + part + "'";
        }
    }
    for (const auto &item : child_attributes(types->text, "Default", {"Extension"})) defaults.insert(lower(item[0]));
    for (const auto &item : child_attributes(types->text, "Override", {"PartName"})) overrides.insert(lower(item[0]));
    for (const ReadEntry &entry : package.entries) {
        const std::string &part = entry.name;
        if (part == "[Content_Types].xml" || part.empty() || part.back() == '/' || overrides.count(lower("/" + part))) continue;
        const std::size_t dot = part.rfind('.'), slash = part.rfind('/');
        if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || !defaults.count(lower(part.substr(dot + 1))))
            return "part '" + part + "' has no content type";
    }
    return "";
}

inline std::string package_fault(const std::string &path) { return package_fault(read_package_file(path)); }

}  // namespace tabsmith::testing
