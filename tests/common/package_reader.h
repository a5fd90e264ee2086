// Saved packages read back by the tests and the fuzz targets: every entry through minizip (not
// the engine's own reader), raw and inflated, and the checks every saved package must pass:
// CRCs and sizes, well-formed XML parts (libxml2), a content type for every part and a part for
// every internal relationship.
#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "support/package_path.h"

namespace tabsmith::testing {

struct ReadEntry {
    std::string name;
    int method = 0;
    std::uint32_t crc32 = 0, dos_time = 0;
    std::uint64_t packed_size = 0, plain_size = 0;
    std::string raw;     // as stored
    std::string text;    // inflated
};

struct ReadPackage {
    std::vector<ReadEntry> entries;   // in archive order
    std::string failure;              // what kept an entry from reading back whole, or ""
    const ReadEntry *find(std::string_view name) const {
        for (const ReadEntry &entry : entries)
            if (entry.name == name) return &entry;
        return nullptr;
    }
    std::string text(std::string_view name) const {
        const ReadEntry *entry = find(name);
        return entry ? entry->text : std::string();
    }
};

namespace package_detail {

struct Bytes {
    std::string_view data;
    std::uint64_t position = 0;
};

inline voidpf ZCALLBACK open_bytes(voidpf opaque, const void *, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    static_cast<Bytes *>(opaque)->position = 0;
    return opaque;
}
inline uLong ZCALLBACK read_bytes(voidpf, voidpf stream, void *out, uLong size) {
    auto *bytes = static_cast<Bytes *>(stream);
    if (bytes->position >= bytes->data.size()) return 0;
    const auto count = static_cast<uLong>(std::min<std::uint64_t>(size, bytes->data.size() - bytes->position));
    std::memcpy(out, bytes->data.data() + bytes->position, count);
    bytes->position += count;
    return count;
}
inline uLong ZCALLBACK write_bytes(voidpf, voidpf, const void *, uLong) { return 0; }
inline ZPOS64_T ZCALLBACK tell_bytes(voidpf, voidpf stream) { return static_cast<Bytes *>(stream)->position; }
inline long ZCALLBACK seek_bytes(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto *bytes = static_cast<Bytes *>(stream);
    const std::uint64_t base = origin == ZLIB_FILEFUNC_SEEK_SET ? 0
                               : origin == ZLIB_FILEFUNC_SEEK_CUR ? bytes->position
                                                                 : bytes->data.size();
    if (offset > bytes->data.size() || base + offset > bytes->data.size()) return -1;
    bytes->position = base + offset;
    return 0;
}
inline int ZCALLBACK close_bytes(voidpf, voidpf) { return 0; }
inline int ZCALLBACK error_bytes(voidpf, voidpf) { return 0; }

inline std::string lower(std::string_view text) {
    std::string out(text);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// Calls `visit(element)` for every child element of the root of `xml` named `name`.
template <typename Visit>
bool for_each_child(std::string_view xml, const char *name, Visit visit) {
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "part", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    if (!doc) return false;
    if (xmlNodePtr root = xmlDocGetRootElement(doc))
        for (xmlNodePtr node = root->children; node; node = node->next)
            if (node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char *>(node->name), name) == 0)
                visit(node);
    xmlFreeDoc(doc);
    return true;
}

inline std::string attribute(xmlNodePtr node, const char *name) {
    xmlChar *value = xmlGetProp(node, reinterpret_cast<const xmlChar *>(name));
    if (!value) return {};
    std::string out(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return out;
}

}  // namespace package_detail

// Every entry of the archive held in `bytes`; `failure` says what did not read back whole (a bad
// CRC or size, an entry that does not inflate, a name stored twice, not an archive at all).
inline ReadPackage read_package(std::string_view bytes) {
    using namespace package_detail;
    ReadPackage package;
    Bytes stream{bytes};
    zlib_filefunc64_def functions{};
    functions.zopen64_file = open_bytes;
    functions.zread_file = read_bytes;
    functions.zwrite_file = write_bytes;
    functions.ztell64_file = tell_bytes;
    functions.zseek64_file = seek_bytes;
    functions.zclose_file = close_bytes;
    functions.zerror_file = error_bytes;
    functions.opaque = &stream;
    unzFile archive = unzOpen2_64("package", &functions);
    if (!archive) {
        package.failure = "not a zip archive (" + std::to_string(bytes.size()) + " bytes)";
        return package;
    }
    std::set<std::string> names;
    auto read_current = [&](std::string &out) {
        char buffer[65536];
        int got;
        while ((got = unzReadCurrentFile(archive, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(got));
        const int closed = unzCloseCurrentFile(archive);
        return got == 0 && closed == UNZ_OK;
    };
    for (int rc = unzGoToFirstFile(archive); rc == UNZ_OK && package.failure.empty(); rc = unzGoToNextFile(archive)) {
        unz_file_info64 info{};
        char name[65536];
        if (unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
            package.failure = "an unreadable entry header";
            break;
        }
        ReadEntry entry;
        entry.name.assign(name, std::min<std::size_t>(info.size_filename, sizeof name - 1));
        entry.method = static_cast<int>(info.compression_method);
        entry.crc32 = static_cast<std::uint32_t>(info.crc);
        entry.dos_time = static_cast<std::uint32_t>(info.dosDate);
        entry.packed_size = info.compressed_size;
        entry.plain_size = info.uncompressed_size;
        int method = 0, level = 0;
        if (!names.insert(entry.name).second) package.failure = "entry '" + entry.name + "' stored twice";
        else if (unzOpenCurrentFile2(archive, &method, &level, 1) != UNZ_OK || !read_current(entry.raw))
            package.failure = "entry '" + entry.name + "' does not read raw";
        else if (unzOpenCurrentFile(archive) != UNZ_OK || !read_current(entry.text))
            package.failure = "entry '" + entry.name + "' does not inflate or fails its CRC";
        else if (entry.text.size() != entry.plain_size)
            package.failure = "entry '" + entry.name + "' has the wrong size";
        package.entries.push_back(std::move(entry));
    }
    unzClose(archive);
    return package;
}

inline ReadPackage read_package_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    return read_package(bytes);
}

// The text of one entry of the package file at `path` ("" when it has none).
inline std::string package_entry(const std::string &path, std::string_view name) { return read_package_file(path).text(name); }

// "" when `xml` is a well-formed document; otherwise where and why not. Nothing is loaded from
// outside and no tree is built.
inline std::string xml_fault(std::string_view xml) {
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.serror = [](void *, xmlErrorPtr) {};
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, "part");
    if (!context) return "no memory for a parser";
    xmlCtxtUseOptions(context, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    xmlParseChunk(context, xml.data(), static_cast<int>(xml.size()), 1);
    std::string fault;
    if (!context->wellFormed) {
        const xmlError *error = xmlCtxtGetLastError(context);
        fault = "line " + std::to_string(error ? error->line : 0) + ": " + (error && error->message ? error->message : "?");
        while (!fault.empty() && fault.back() == '\n') fault.pop_back();
    }
    xmlFreeParserCtxt(context);
    return fault;
}

// What is wrong with a saved package, or "": every entry reads back whole, every XML part is
// well-formed, every part has a content type and every internal relationship names a part.
inline std::string package_fault(const ReadPackage &package) {
    using namespace package_detail;
    if (!package.failure.empty()) return package.failure;
    const ReadEntry *types = package.find("[Content_Types].xml");
    if (!types) return "no [Content_Types].xml";
    std::set<std::string> names, defaults, overrides;
    for (const ReadEntry &entry : package.entries) names.insert(entry.name);
    for (const ReadEntry &entry : package.entries) {
        const std::string lowered = lower(entry.name);
        if (!lowered.ends_with(".xml") && !lowered.ends_with(".rels") && !lowered.ends_with(".vml")) continue;
        if (std::string fault = xml_fault(entry.text); !fault.empty()) return "part '" + entry.name + "' " + fault;
        if (!lowered.ends_with(".rels")) continue;
        std::string source;
        if (!relationships_source(entry.name, source)) return "'" + entry.name + "' is no relationship part";
        std::set<std::string> ids;
        std::string problem;
        for_each_child(entry.text, "Relationship", [&](xmlNodePtr node) {
            const std::string id = attribute(node, "Id");
            if (!problem.empty()) return;
            if (id.empty() || !ids.insert(id).second) problem = "repeats or lacks id '" + id + "'";
            if (attribute(node, "TargetMode") == "External") return;
            const std::string part = resolve_part_target(source, attribute(node, "Target"));
            if (problem.empty() && !names.count(part)) problem = "relates '" + id + "' to a missing part '" + part + "'";
        });
        if (!problem.empty()) return "part '" + entry.name + "' " + problem;
    }
    for_each_child(types->text, "Default", [&](xmlNodePtr node) { defaults.insert(lower(attribute(node, "Extension"))); });
    for_each_child(types->text, "Override", [&](xmlNodePtr node) { overrides.insert(lower(attribute(node, "PartName"))); });
    for (const ReadEntry &entry : package.entries) {
        const std::string &part = entry.name;
        if (part == "[Content_Types].xml" || part.empty() || part.back() == '/' || overrides.count(lower("/" + part))) continue;
        const std::size_t dot = part.rfind('.'), slash = part.rfind('/');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash) && defaults.count(lower(part.substr(dot + 1))))
            continue;
        return "part '" + part + "' has no content type";
    }
    return "";
}

inline std::string package_fault(const std::string &path) { return package_fault(read_package_file(path)); }

}  // namespace tabsmith::testing
