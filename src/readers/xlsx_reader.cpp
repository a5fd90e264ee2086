// The package reader: finds the workbook through the package relationships, binds each sheet
// to its worksheet part through the workbook's, reads the parts into the book and keeps the
// package for a save.

#include "readers/xlsx_reader.h"

#include <new>
#include <unordered_map>

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

// The workbook part named by the package relationships, else the usual name.
int find_workbook(ZipPackageReader &zip, std::string &path) {
    std::string text;
    bool found = false;
    if (int rc = read_part(zip, "_rels/.rels", text, found); rc != kOk) return rc;
    if (found) {
        std::vector<Relationship> relationships;
        if (int rc = read_relationships(text, "", relationships); rc != kOk) return rc;
        for (const Relationship &relationship : relationships) {
            if (!relationship.external && relationship_is(relationship, "officeDocument") &&
                zip.find(relationship.target) >= 0) {
                path = relationship.target;
                return kOk;
            }
        }
    }
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

    Book &book_;
    const XlsxReadRequest &request_;
    ZipPackageReader zip_;
    std::unique_ptr<PackageSource> source_;
};

int PackageLoader::run() {
    if (int rc = zip_.open(request_.archive, request_.from_memory); rc != kOk)
        return rc == kNoMemory ? kNoMemory : kOpenError;
    for (const ZipEntryInfo &entry : zip_.entries())
        if (!zip_entry_name_safe(entry.name)) return kUnsupported;

    source_ = std::make_unique<PackageSource>();
    if (int rc = find_workbook(zip_, source_->workbook_path); rc != kOk) return rc;
    bool found = false;
    if (int rc = read_part(zip_, source_->workbook_path, source_->workbook_xml, found); rc != kOk) return rc;
    std::vector<WorkbookSheet> listed;
    if (int rc = read_workbook_part(source_->workbook_xml, listed, source_->date1904); rc != kOk) return rc;

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
    if (int rc = read_part(zip_, source_->workbook_rels_path, source_->workbook_rels_xml, found); rc != kOk) return rc;
    if (!found) source_->workbook_rels_path.clear();
    std::vector<Relationship> relationships;
    if (int rc = read_relationships(source_->workbook_rels_xml, source_->workbook_path, relationships); rc != kOk)
        return rc;
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
        if (int rc = read_part(zip_, "[Content_Types].xml", text, found); rc != kOk) return rc;
        source_->content_types_xml = std::move(text);
    }

    if (!source_->styles_path.empty()) {
        if (int rc = read_part(zip_, source_->styles_path, source_->styles_xml, found); rc != kOk) return rc;
        if (!found) source_->styles_path.clear();
        else if (int rc = read_styles_part(book_, source_->styles_xml); rc != kOk) return rc;
    }
    const StyleRegistry &styles = book_.styles;
    source_->style_base = StyleBase{styles.fonts().size(), styles.fills().size(), styles.borders().size(),
                                    styles.xfs().size(), styles.num_formats().size()};

    if (!source_->shared_strings_path.empty()) {
        std::string text;
        if (int rc = read_part(zip_, source_->shared_strings_path, text, found); rc != kOk) return rc;
        if (!found) {
            source_->shared_strings_path.clear();
        } else {
            std::string *items = request_.keep_package ? &source_->shared_strings_items : nullptr;
            std::string *root = request_.keep_package ? &source_->shared_strings_root_tag : nullptr;
            if (int rc = read_shared_strings_part(book_, text, items, root); rc != kOk) return rc;
            source_->shared_strings_count = book_.shared_strings.size();
        }
    }

    ZipEntryStream stream;
    for (const WorkbookSheet &listed_sheet : listed) {
        auto relationship = by_id.find(listed_sheet.relationship_id);
        // Chart sheets, dialog sheets and macro sheets hold no cells.
        if (relationship == by_id.end() || relationship->second->external ||
            !relationship_is(*relationship->second, "worksheet")) {
            source_->other_sheets.push_back({book_.sheet_count(), listed_sheet.name, listed_sheet.relationship_id,
                                             listed_sheet.sheet_id, listed_sheet.extra_attributes});
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
        }
        // A sheet whose part is missing is an empty sheet. A part is read as it is inflated.
        if (entry >= 0) {
            if (int rc = zip_.open_stream(entry, stream, kMaxPartBytes); rc != kOk) return rc;
            if (int rc = read_worksheet_stream(book_, sheet, stream, sheet_source.get()); rc != kOk) return rc;
        }
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
    book_.current_sheet = 0;
    return kOk;
}

int PackageLoader::keep_entries() {
    const auto &entries = zip_.entries();
    source_->entries.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const ZipEntryInfo &info = entries[i];
        if (info.name.ends_with('/')) continue;   // folders are implied by the names
        PackageEntry entry;
        static_cast<ZipEntryInfo &>(entry) = info;
        if (int rc = zip_.read_raw(static_cast<int>(i), entry.raw); rc != kOk) return rc;
        source_->entries.push_back(std::move(entry));
    }
    return kOk;
}

}  // namespace

int read_xlsx_package(Book &book, const XlsxReadRequest &request) {
    try {
        PackageLoader loader(book, request);
        return loader.run();
    } catch (const std::bad_alloc &) {
        return kNoMemory;
    }
}

}  // namespace tabsmith
