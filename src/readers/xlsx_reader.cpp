// The package reader: finds the workbook through the package relationships, binds each sheet
// to its worksheet part through the workbook's, reads the parts into the book and keeps the
// package for a save.

#include "readers/xlsx_reader.h"

#include <new>
#include <unordered_map>
#include <unordered_set>
#ifdef __GLIBC__
#include <malloc.h>   // malloc_trim
#endif

#include "readers/xlsx_parts.h"
#include "support/package_path.h"
#include "support/zip_reader.h"

namespace tabsmith {

namespace {

// No part of a real workbook comes near this; a forged size beyond it is refused.
constexpr std::uint64_t kMaxPartBytes = 2ULL << 30;

int read_part(ZipPackageReader &zip, std::string_view name, std::string &text, bool &found) {
    int index = zip.find(name);
    found = index >= 0;
    if (!found) return kOk;
    return zip.read(index, text, kMaxPartBytes);
}

// Why an entry could not be read, in words.
const char *entry_failure(int rc) {
    switch (rc) {
    case kLimit: return "展開後の大きさが上限を超えています";
    case kUnsupported: return "暗号化されているか、展開できない圧縮方式です";
    case kReadError: return "データが壊れています";
    default: return nullptr;
    }
}

// A part name as package part names compare: without regard to letter case.
std::string folded_name(std::string_view name) {
    std::string out(name);
    for (char &c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The workbook part named by the package relationships, else the usual name, and the extended
// properties part ("" when the package names none that it holds).
int find_workbook(ZipPackageReader &zip, std::string &path, std::string &app_path, PartFault &fault) {
    std::string text;
    bool found = false;
    if (int rc = read_part(zip, "_rels/.rels", text, found); rc != kOk) return rc;
    path.clear();
    if (found) {
        std::vector<Relationship> relationships;
        if (int rc = read_relationships(text, "", relationships, &fault); rc != kOk) return rc;
        for (const Relationship &relationship : relationships) {
            if (relationship.external || zip.find(relationship.target) < 0) continue;
            if (path.empty() && relationship_is(relationship, "officeDocument")) path = relationship.target;
            if (app_path.empty() && relationship_is(relationship, "extended-properties")) app_path = relationship.target;
        }
    }
    if (!path.empty()) return kOk;
    path = "xl/workbook.xml";
    return zip.find(path) >= 0 ? kOk : kUnsupported;
}

class PackageLoader {
public:
    PackageLoader(Book &book, const XlsxReadRequest &request) : book_(book), request_(request) {}
    int run();

private:
    int load_parts(const std::vector<WorkbookSheet> &listed);
    int keep_entries();
    // Notes what was wrong with `part` (an entry failure of `rc`, or a part's fault) and gives rc.
    int refuse(int rc, std::string_view part, const PartFault *fault = nullptr);
    int refuse(int rc, std::string_view part, const char *what);
    // Reads a part, noting an entry failure against its name.
    int read(std::string_view name, std::string &text, bool &found);

    Book &book_;
    const XlsxReadRequest &request_;
    ZipPackageReader zip_;
    std::unique_ptr<PackageSource> source_;
};

int PackageLoader::refuse(int rc, std::string_view part, const PartFault *fault) {
    if (!request_.fault || rc == kNoMemory) return rc;
    std::string &out = *request_.fault;
    out.assign(part);
    if (fault) {
        out.append("(").append(std::to_string(fault->offset + 1)).append("バイト目): ").append(fault->what);
    } else if (const char *what = entry_failure(rc)) {
        out.append(": ").append(what);
    }
    return rc;
}

int PackageLoader::refuse(int rc, std::string_view part, const char *what) {
    if (request_.fault && rc != kNoMemory) {
        request_.fault->assign(part);
        if (!part.empty()) request_.fault->append(": ");
        request_.fault->append(what);
    }
    return rc;
}

int PackageLoader::read(std::string_view name, std::string &text, bool &found) {
    const int rc = read_part(zip_, name, text, found);
    return rc == kOk ? rc : refuse(rc, name);
}

int PackageLoader::run() {
    if (int rc = zip_.open(request_.archive, request_.from_memory); rc != kOk) {
        if (rc == kLimit) return refuse(kOpenError, "", "エントリの数または名前の長さが上限を超えています");
        return rc == kNoMemory ? kNoMemory : kOpenError;
    }
    // Two entries of one name would let two readers see two different workbooks.
    std::unordered_set<std::string> names;
    for (const ZipEntryInfo &entry : zip_.entries()) {
        if (!zip_entry_name_safe(entry.name)) return refuse(kUnsupported, entry.name, "エントリ名が不正です");
        if (!names.insert(folded_name(entry.name)).second)
            return refuse(kFail, entry.name, "同じ名前のエントリが複数あります");
    }

    source_ = std::make_unique<PackageSource>();
    PartFault fault;
    fault.offset = std::string::npos;
    if (int rc = find_workbook(zip_, source_->workbook_path, source_->app_path, fault); rc != kOk)
        return rc == kUnsupported ? rc : refuse(rc, "_rels/.rels", fault.offset == std::string::npos ? nullptr : &fault);
    bool found = false;
    if (int rc = read(source_->workbook_path, source_->workbook_xml, found); rc != kOk) return rc;
    if (request_.keep_package && !source_->app_path.empty())
        if (int rc = read(source_->app_path, source_->app_xml, found); rc != kOk) return rc;
    std::vector<WorkbookSheet> listed;
    if (int rc = read_workbook_part(source_->workbook_xml, listed, source_->date1904, &fault); rc != kOk)
        return refuse(rc, source_->workbook_path, &fault);

    if (request_.list_only) {
        for (const WorkbookSheet &sheet : listed)
            if (add_sheet(book_, sheet.name) < 0) return kNoMemory;
        return kOk;
    }
    book_.date1904 = source_->date1904;
    if (int rc = load_parts(listed); rc != kOk) return rc;
    if (request_.keep_package) {
        if (int rc = keep_entries(); rc != kOk) return rc;
        book_.source = std::move(source_);
    }
    return kOk;
}

int PackageLoader::load_parts(const std::vector<WorkbookSheet> &listed) {
    source_->workbook_rels_path = relationships_part_name(source_->workbook_path);
    bool found = false;
    if (int rc = read(source_->workbook_rels_path, source_->workbook_rels_xml, found); rc != kOk) return rc;
    if (!found) source_->workbook_rels_path.clear();
    std::vector<Relationship> relationships;
    PartFault fault;
    if (int rc = read_relationships(source_->workbook_rels_xml, source_->workbook_path, relationships, &fault); rc != kOk)
        return refuse(rc, source_->workbook_rels_path, &fault);
    std::unordered_map<std::string, const Relationship *> by_id;
    for (const Relationship &relationship : relationships) {
        by_id.emplace(relationship.id, &relationship);
        if (relationship.external) continue;
        if (relationship_is(relationship, "styles")) source_->styles_path = relationship.target;
        else if (relationship_is(relationship, "sharedStrings")) source_->shared_strings_path = relationship.target;
        else if (relationship_is(relationship, "calcChain")) source_->calc_chain_path = relationship.target;
    }
    {
        std::string text;
        if (int rc = read("[Content_Types].xml", text, found); rc != kOk) return rc;
        source_->content_types_xml = std::move(text);
    }

    if (!source_->styles_path.empty()) {
        if (int rc = read(source_->styles_path, source_->styles_xml, found); rc != kOk) return rc;
        if (!found) source_->styles_path.clear();
        else if (int rc = read_styles_part(book_, source_->styles_xml, &fault); rc != kOk)
            return refuse(rc, source_->styles_path, &fault);
    }
    const StyleRegistry &styles = book_.styles;
    source_->style_base = StyleBase{styles.fonts().size(), styles.fills().size(), styles.borders().size(),
                                    styles.xfs().size(), styles.num_formats().size()};

    if (!source_->shared_strings_path.empty()) {
        std::string text;
        if (int rc = read(source_->shared_strings_path, text, found); rc != kOk) return rc;
        if (!found) {
            source_->shared_strings_path.clear();
        } else {
            std::string *items = request_.keep_package ? &source_->shared_strings_items : nullptr;
            std::string *root = request_.keep_package ? &source_->shared_strings_root_tag : nullptr;
            if (int rc = read_shared_strings_part(book_, text, items, root, &fault); rc != kOk)
                return refuse(rc, source_->shared_strings_path, &fault);
            source_->shared_strings_count = book_.shared_strings.size();
        }
    }

    ZipEntryStream stream;
    bool any_part = false;   // whether any listed sheet has a part of the package
    for (const WorkbookSheet &listed_sheet : listed) {
        const int position = static_cast<int>(source_->sheet_names.size());
        source_->sheet_names.push_back(listed_sheet.name);
        auto relationship = by_id.find(listed_sheet.relationship_id);
        any_part = any_part || (relationship != by_id.end() && !relationship->second->external);
        // Chart sheets, dialog sheets and macro sheets hold no cells.
        if (relationship == by_id.end() || relationship->second->external ||
            !relationship_is(*relationship->second, "worksheet")) {
            source_->other_sheets.push_back({book_.sheet_count(), listed_sheet.name, listed_sheet.relationship_id,
                                             listed_sheet.sheet_id, listed_sheet.extra_attributes, position});
            continue;
        }
        int index = add_sheet(book_, listed_sheet.name);
        if (index < 0) return kNoMemory;
        Sheet &sheet = *book_.sheets[static_cast<std::size_t>(index)];
        const int entry = zip_.find(relationship->second->target);
        std::unique_ptr<SheetSource> sheet_source;
        if (request_.keep_package) {
            sheet_source = std::make_unique<SheetSource>();
            sheet_source->part_path = relationship->second->target;
            sheet_source->relationship_id = listed_sheet.relationship_id;
            sheet_source->sheet_id = listed_sheet.sheet_id;
            sheet_source->sheet_element_extra = listed_sheet.extra_attributes;
            sheet_source->package_position = position;
        }
        // A sheet whose part is missing is an empty sheet. A part is read as it is inflated.
        if (entry >= 0) {
            const std::string &part = relationship->second->target;
            if (int rc = zip_.open_stream(entry, stream, kMaxPartBytes); rc != kOk) return refuse(rc, part);
            const bool stored_rows = sheet_source && request_.keep_stored_rows;
            if (stored_rows) stream.keep_deflated();
            fault = PartFault{std::string::npos, {}};
            if (int rc = read_worksheet_stream(book_, sheet, stream, sheet_source.get(), &fault, stored_rows); rc != kOk)
                return refuse(rc, part, fault.offset == std::string::npos ? nullptr : &fault);
            if (stored_rows) {
                sheet_source->stored_part = stream.take_deflated();
                sheet_source->stored_plain_size = stream.plain_size();
                sheet_source->stored_crc = stream.expected_crc();
            }
        }
        // Row places serve only with the bytes they point into.
        if (sheet_source && sheet_source->stored_part.empty()) std::vector<SheetSource::StoredRow>().swap(sheet_source->stored_rows);
        if (sheet_source) {
            sheet_source->loaded = std::make_unique<Sheet>();
            sheet_source->loaded->name = sheet.name;
            sheet_source->loaded->settings = sheet.settings;
            sheet_source->loaded->columns = sheet.columns;
            sheet_source->loaded->column_flags = sheet.column_flags;
            sheet_source->loaded->merges = sheet.merges;
            sheet.source = std::move(sheet_source);
        }
    }
    // A workbook without a sheet of its own is no workbook a save could write back.
    if (!any_part) return refuse(kFail, source_->workbook_path, "パッケージ内のシートがありません");
    book_.current_sheet = 0;
    return kOk;
}

int PackageLoader::keep_entries() {
    const auto &entries = zip_.entries();
    source_->entries.reserve(entries.size());
    auto worksheet_of_the_book = [&](std::string_view name) {
        for (const auto &sheet : book_.sheets)
            if (sheet->source && same_part_name(name, sheet->source->part_path)) return true;
        return false;
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ZipEntryInfo &info = entries[i];
        if (info.name.ends_with('/')) continue;   // folders are implied by the names
        PackageEntry entry;
        static_cast<ZipEntryInfo &>(entry) = info;
        entry.rewritten = worksheet_of_the_book(info.name);
        if (!entry.rewritten)
            if (int rc = zip_.read_raw(static_cast<int>(i), entry.raw); rc != kOk) return refuse(rc, info.name);
        source_->entries.push_back(std::move(entry));
    }
    return kOk;
}

}  // namespace

int read_xlsx_package(Book &book, const XlsxReadRequest &request) {
    int rc = kNoMemory;
    try {
        PackageLoader loader(book, request);
        rc = loader.run();
    } catch (const std::bad_alloc &) {
        rc = kNoMemory;
    }
#ifdef __GLIBC__
    // The inflated pieces and the parsers' scratch were freed in the parsing threads' own
    // arenas, where they would stay resident for as long as the book lives.
    malloc_trim(0);
#endif
    return rc;
}

}  // namespace tabsmith
