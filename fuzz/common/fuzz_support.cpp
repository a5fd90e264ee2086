// The package check the saving targets share: minizip reads the archive back from memory, libxml2
// parses every part, and relationship targets resolve by the rules the engine's readers follow.

#include "fuzz_support.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <minizip/unzip.h>
#include <sanitizer/common_interface_defs.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/mfile.h"
#include "support/package_path.h"

namespace tabsmith::fuzz {
namespace {

// ---------------------------------------------------------------------------------------------
// Scratch folder

std::string &scratch_path() {
    static std::string path;
    return path;
}

void remove_scratch_folder() {
    if (scratch_path().empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(scratch_path(), ignored);
    scratch_path().clear();
}

// ---------------------------------------------------------------------------------------------
// libxml2: no messages on the terminal for every malformed input, nothing loaded from outside.

void quiet_generic(void *, const char *, ...) {}
void quiet_structured(void *, xmlErrorPtr) {}

xmlParserInputPtr refuse_external(const char *, const char *, xmlParserCtxtPtr) { return nullptr; }

// ---------------------------------------------------------------------------------------------
// minizip over a byte range: the archive is read where TXLS_memory_get handed it out.

struct MemoryStream {
    const unsigned char *data = nullptr;
    std::uint64_t size = 0;
    std::uint64_t position = 0;
};

voidpf ZCALLBACK stream_open(voidpf opaque, const void *, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    auto *stream = static_cast<MemoryStream *>(opaque);
    stream->position = 0;
    return stream;
}

uLong ZCALLBACK stream_read(voidpf, voidpf handle, void *buffer, uLong size) {
    auto *stream = static_cast<MemoryStream *>(handle);
    if (stream->position >= stream->size) return 0;
    std::uint64_t count = std::min<std::uint64_t>(size, stream->size - stream->position);
    std::memcpy(buffer, stream->data + stream->position, static_cast<std::size_t>(count));
    stream->position += count;
    return static_cast<uLong>(count);
}

uLong ZCALLBACK stream_write(voidpf, voidpf, const void *, uLong) { return 0; }

ZPOS64_T ZCALLBACK stream_tell(voidpf, voidpf handle) { return static_cast<MemoryStream *>(handle)->position; }

long ZCALLBACK stream_seek(voidpf, voidpf handle, ZPOS64_T offset, int origin) {
    auto *stream = static_cast<MemoryStream *>(handle);
    std::uint64_t base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = stream->position; break;
    case ZLIB_FILEFUNC_SEEK_END: base = stream->size; break;
    default: return -1;
    }
    if (offset > stream->size || base + offset > stream->size) return -1;
    stream->position = base + offset;
    return 0;
}

int ZCALLBACK stream_close(voidpf, voidpf) { return 0; }
int ZCALLBACK stream_error(voidpf, voidpf) { return 0; }

// ---------------------------------------------------------------------------------------------

[[noreturn]] void fail(std::string_view package, const std::string &what) {
    std::fprintf(stderr, "\n== package check failed for memory file '%.*s': %s\n", static_cast<int>(package.size()),
                 package.data(), what.c_str());
    // libFuzzer leaves through _Exit after a crash, past the atexit handler.
    remove_scratch_folder();
    std::abort();
}

bool ends_with_ignore_case(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        unsigned char a = static_cast<unsigned char>(text[text.size() - suffix.size() + i]);
        unsigned char b = static_cast<unsigned char>(suffix[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char &c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Reads every entry; a CRC or size mismatch shows as a failed close of the entry.
std::map<std::string, std::string> read_entries(std::string_view name, std::string_view package) {
    MemoryStream stream;
    stream.data = reinterpret_cast<const unsigned char *>(package.data());
    stream.size = package.size();
    zlib_filefunc64_def functions{};
    functions.zopen64_file = stream_open;
    functions.zread_file = stream_read;
    functions.zwrite_file = stream_write;
    functions.ztell64_file = stream_tell;
    functions.zseek64_file = stream_seek;
    functions.zclose_file = stream_close;
    functions.zerror_file = stream_error;
    functions.opaque = &stream;

    unzFile archive = unzOpen2_64("package", &functions);
    if (!archive) fail(name, "not a zip archive (" + std::to_string(package.size()) + " bytes)");
    std::map<std::string, std::string> entries;
    std::string failure;
    for (int rc = unzGoToFirstFile(archive); rc == UNZ_OK && failure.empty(); rc = unzGoToNextFile(archive)) {
        unz_file_info64 info{};
        char name[65536];
        if (unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
            failure = "unreadable entry header";
            break;
        }
        std::string entry_name(name, std::min<std::size_t>(info.size_filename, sizeof name - 1));
        if (entries.count(entry_name)) {
            failure = "entry '" + entry_name + "' stored twice";
            break;
        }
        if (unzOpenCurrentFile(archive) != UNZ_OK) {
            failure = "entry '" + entry_name + "' does not open";
            break;
        }
        std::string contents;
        char buffer[65536];
        int got;
        while ((got = unzReadCurrentFile(archive, buffer, sizeof buffer)) > 0) contents.append(buffer, got);
        int closed = unzCloseCurrentFile(archive);
        if (got < 0) failure = "entry '" + entry_name + "' does not inflate (" + std::to_string(got) + ")";
        else if (closed != UNZ_OK) failure = "entry '" + entry_name + "' fails its CRC check";
        else if (contents.size() != info.uncompressed_size) failure = "entry '" + entry_name + "' has the wrong size";
        entries.emplace(std::move(entry_name), std::move(contents));
    }
    unzClose(archive);
    if (!failure.empty()) fail(name, failure);
    return entries;
}

[[noreturn]] void fail_parse(std::string_view package, const std::string &name, const xmlError *error) {
    std::string why = "part '" + name + "' is not well-formed XML";
    if (error && error->message) {
        why += " (line " + std::to_string(error->line) + ", column " + std::to_string(error->int2) + ": " +
               error->message;
        while (!why.empty() && why.back() == '\n') why.pop_back();
        why += ")";
    }
    fail(package, why);
}

constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE;

// Parses a part. With `keep_tree` the document is returned (the caller frees it); otherwise
// the part is only checked, through a parser that builds nothing: a sheet of a few hundred
// thousand cells would otherwise cost a tree of as many nodes on every run.
xmlDocPtr parse_part(std::string_view package, const std::string &name, const std::string &original, bool keep_tree) {
    const std::string &text = original;
    if (keep_tree) {
        xmlResetLastError();
        xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), name.c_str(), nullptr, kParseOptions);
        if (!doc) fail_parse(package, name, xmlGetLastError());
        return doc;
    }
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.serror = quiet_structured;
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&sax, nullptr, nullptr, 0, name.c_str());
    if (!context) fail(package, "no memory for an XML parser");
    xmlCtxtUseOptions(context, kParseOptions);
    xmlParseChunk(context, text.data(), static_cast<int>(text.size()), 1);
    const bool well_formed = context->wellFormed != 0;
    if (!well_formed) {
        xmlError error{};
        xmlCopyError(xmlCtxtGetLastError(context), &error);
        xmlFreeParserCtxt(context);
        fail_parse(package, name, &error);
    }
    xmlFreeParserCtxt(context);
    return nullptr;
}

std::string attribute(xmlNodePtr node, const char *name) {
    xmlChar *value = xmlGetProp(node, reinterpret_cast<const xmlChar *>(name));
    if (!value) return {};
    std::string out(reinterpret_cast<const char *>(value));
    xmlFree(value);
    return out;
}

bool named(xmlNodePtr node, const char *name) {
    return node->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char *>(node->name), name) == 0;
}

}  // namespace

void prepare_process() {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    // Every save of this thread lands in a memory file, even one whose options ask for disk.
    orv_zip_on_memory(0);
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, quiet_generic);
    xmlSetStructuredErrorFunc(nullptr, quiet_structured);
    xmlSetExternalEntityLoader(refuse_external);
    scratch_folder();
}

const std::string &scratch_folder() {
    std::string &path = scratch_path();
    if (!path.empty()) return path;
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tabsmith-fuzz-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) {
        std::perror("mkdtemp");
        std::abort();
    }
    path = std::filesystem::absolute(buffer.data()).string();
    std::atexit(remove_scratch_folder);
    // A sanitizer report ends the process without atexit handlers.
    __sanitizer_set_death_callback(remove_scratch_folder);
    return path;
}

void remove_scratch_file(const std::string &path) { std::remove(path.c_str()); }

std::string write_scratch_file(std::string_view name, const std::uint8_t *data, std::size_t size) {
    std::string path = scratch_folder() + "/" + std::string(name);
    std::FILE *file = std::fopen(path.c_str(), "wb");
    if (!file || (size > 0 && std::fwrite(data, 1, size, file) != size) || std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::abort();
    }
    return path;
}

void check_package(std::string_view name, std::string_view package) {
    if (package.size() < 22) fail(name, "too short for a zip archive");
    std::map<std::string, std::string> entries = read_entries(name, package);
    auto types = entries.find("[Content_Types].xml");
    if (types == entries.end()) fail(name, "no [Content_Types].xml");

    std::set<std::string> default_extensions, override_parts;
    for (const auto &[part, text] : entries) {
        if (!ends_with_ignore_case(part, ".xml") && !ends_with_ignore_case(part, ".rels")) continue;
        // Only the content types and the relationships are read further.
        if (part != "[Content_Types].xml" && !ends_with_ignore_case(part, ".rels")) {
            parse_part(name, part, text, false);
            continue;
        }
        xmlDocPtr doc = parse_part(name, part, text, true);
        xmlNodePtr root = xmlDocGetRootElement(doc);
        if (!root) fail(name, "part '" + part + "' has no root element");
        if (part == "[Content_Types].xml") {
            for (xmlNodePtr node = root->children; node; node = node->next) {
                if (named(node, "Default")) default_extensions.insert(lower(attribute(node, "Extension")));
                else if (named(node, "Override")) override_parts.insert(lower(attribute(node, "PartName")));
            }
        } else {
            std::set<std::string> ids;
            for (xmlNodePtr node = root->children; node; node = node->next) {
                if (!named(node, "Relationship")) continue;
                std::string id = attribute(node, "Id");
                if (id.empty() || !ids.insert(id).second)
                    fail(name, "part '" + part + "' has a missing or repeated relationship id '" + id + "'");
                if (attribute(node, "TargetMode") == "External") continue;
                std::string source;
                if (!relationships_source(part, source)) fail(name, "'" + part + "' is no relationship part");
                std::string target = resolve_part_target(source, attribute(node, "Target"));
                if (!entries.count(target))
                    fail(name, "part '" + part + "' relates '" + id + "' to the missing part '" + target + "'");
            }
        }
        xmlFreeDoc(doc);
    }
    for (const auto &entry : entries) {
        const std::string &part = entry.first;
        if (part == "[Content_Types].xml" || part.empty() || part.back() == '/') continue;
        if (override_parts.count(lower("/" + part))) continue;
        std::size_t dot = part.rfind('.');
        std::size_t slash = part.rfind('/');
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
            default_extensions.count(lower(part.substr(dot + 1))))
            continue;
        fail(name, "part '" + part + "' has no content type");
    }
}

void open_memory_book(XLS_BOOK &book, const char *charset) {
    const std::string options = std::string("WRITE_MEMORY=TRUE BOOK=fuzz.xlsx CHARSET=") + charset;
    if (TXLS_open_book(&book, options.c_str()) != 0 || TXLS_open_sheet(&book, "SHEET_NAME=Sheet1") != 0) {
        std::fprintf(stderr, "opening a book with \"%s\" failed: %d\n", options.c_str(), book.error_code);
        std::abort();
    }
}

void note_failure(XLS_BOOK &book, const char *call) {
    const char *message = TXLS_error_mesg(&book);
    static const bool verbose = std::getenv("TABSMITH_FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "%s: %d %s\n", call, book.error_code, message ? message : "");
}

void save_check_and_release(XLS_BOOK &book) {
    int saved = TXLS_close_book(&book, "SAVE");
    if (saved != 0) note_failure(book, "TXLS_close_book");
    TXLS_free_book(&book);
    if (saved == 0) {
        // A successful close keeps exactly the saved package (when it went to memory) and
        // releases every other memory file.
        for (const std::string &file : mlist()) {
            const void *bytes = nullptr;
            long size = 0;
            if (TXLS_memory_get(file.c_str(), &bytes, &size) != 0) fail(file, "listed but not readable");
            check_package(file, std::string_view(static_cast<const char *>(bytes), static_cast<std::size_t>(size)));
        }
    }
    // TXLS_memory_put(name, "", 0) would only empty the file; the table itself is dropped here
    // so that neither entries nor buffers carry over to the next input.
    mclose_all();
}

bool names_special_files(std::string_view text) {
    for (std::string_view folder : {"/dev/", "/proc/", "/sys/"})
        if (text.find(folder) != std::string_view::npos) return true;
    return false;
}

}  // namespace tabsmith::fuzz
