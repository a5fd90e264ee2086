// The update path of saving: which entries of the package are written anew, copied or dropped,
// and in which order, over the archive route the create path uses as well.

#include "xlsx_write/update_writer.h"

#include "support/package_path.h"
#include "support/results.h"
#include "xlsx_write/package_archive.h"
#include "xlsx_write/update_names.h"
#include "xlsx_write/update_objects.h"
#include "xlsx_write/update_parts.h"
#include "xlsx_write/xml_splice.h"

namespace tabsmith {
namespace {

constexpr std::string_view kContentTypesPart = "[Content_Types].xml";

// Receives the entries of the saved package in archive order.
class EntryVisitor {
public:
    virtual ~EntryVisitor() = default;
    virtual int part(const std::string &name, std::string &&text) = 0;
    virtual int worksheet(const std::string &name, const Book &book, int sheet_index, const UpdatePlan &plan) = 0;
    virtual int copy(const PackageEntry &entry) = 0;
    // A picture file's bytes, stored as they are; the receiver must not keep the view.
    virtual int media(const std::string &name, std::string_view bytes) = 0;
};

// A part this save writes anew in place of the package's entry of that name (or after the
// package's entries, when the package has none).
struct RewrittenPart {
    std::string name;
    std::string text;
    bool written = false;
    const PictureData *picture = nullptr;   // a media part: the picture's bytes, not `text`
};

int emit(EntryVisitor &visitor, const std::string &name, RewrittenPart &part) {
    if (part.picture) return visitor.media(name, part.picture->bytes);
    return visitor.part(name, std::move(part.text));
}

int visit_package_entries(const Book &book, EntryVisitor &visitor) {
    if (!book.source) return kFail;
    const PackageSource &source = *book.source;
    UpdatePlan plan;
    if (int rc = plan_update(book, plan); rc != kOk) return rc;
    ObjectUpdate objects;
    if (int rc = plan_object_update(book, plan, objects); rc != kOk) return rc;
    for (std::size_t k = 0; k < plan.sheets.size() && k < objects.sheets.size(); ++k)
        plan.sheets[k].object_elements = std::move(objects.sheets[k].elements);
    plan.added_overrides = std::move(objects.overrides);
    plan.added_defaults = std::move(objects.defaults);

    // Every text is made before the first entry is written: a package text that cannot be
    // parsed fails the save before a single entry has been compressed.
    std::vector<RewrittenPart> parts(4);
    parts[0].name = kContentTypesPart;
    parts[1].name = source.workbook_path;
    parts[2].name = plan.workbook_rels_path;
    parts[3].name = plan.styles_path;
    if (int rc = updated_content_types(book, plan, parts[0].text); rc != kOk) return rc;
    if (int rc = updated_workbook_part(book, plan, parts[1].text); rc != kOk) return rc;
    if (int rc = updated_workbook_rels(book, plan, parts[2].text); rc != kOk) return rc;
    if (int rc = updated_styles_part(book, plan, parts[3].text); rc != kOk) return rc;
    if (!plan.shared_strings_path.empty()) parts.push_back({plan.shared_strings_path, updated_shared_strings(book)});
    // The sheet titles change only with the sheet list: an unchanged list keeps the part as stored.
    if (std::string app = updated_app_part(source.app_xml, saved_sheet_list(book), source.sheet_names); app != source.app_xml)
        parts.push_back({source.app_path, std::move(app)});
    for (ObjectPartText &part : objects.written)
        parts.push_back({std::move(part.name), std::move(part.text), false, part.picture});
    std::vector<bool> sheet_written(plan.sheets.size(), false);

    for (const PackageEntry &entry : source.entries) {
        // The chain lists the formula cells of the package as it was; a stale chain makes
        // spreadsheet programs repair the file, and they build a new one from the cells.
        if (!plan.calc_chain_path.empty() && same_part_name(entry.name, plan.calc_chain_path)) continue;
        bool handled = false;
        for (RewrittenPart &part : parts) {
            if (!same_part_name(entry.name, part.name)) continue;
            handled = true;
            if (part.written) break;   // an archive holding a name twice keeps one
            part.written = true;
            if (int rc = emit(visitor, entry.name, part); rc != kOk) return rc;
            break;
        }
        for (std::size_t k = 0; !handled && k < plan.sheets.size(); ++k) {
            if (plan.sheets[k].new_part || !same_part_name(entry.name, plan.sheets[k].part_path)) continue;
            handled = true;
            if (sheet_written[k]) break;
            sheet_written[k] = true;
            if (int rc = visitor.worksheet(entry.name, book, static_cast<int>(k), plan); rc != kOk) return rc;
        }
        // A worksheet's stored bytes were not kept: every sheet of the book claims its own part
        // above, so none is left here; were one left, it would not be copied without its bytes.
        if (!handled && !entry.rewritten)
            if (int rc = visitor.copy(entry); rc != kOk) return rc;
    }
    // What the package did not have: new sheets, then any new book-level part.
    for (std::size_t k = 0; k < plan.sheets.size(); ++k)
        if (!sheet_written[k])
            if (int rc = visitor.worksheet(plan.sheets[k].part_path, book, static_cast<int>(k), plan); rc != kOk)
                return rc;
    for (RewrittenPart &part : parts)
        if (!part.written)
            if (int rc = emit(visitor, part.name, part); rc != kOk) return rc;
    return kOk;
}

class CollectEntries : public EntryVisitor {
public:
    CollectEntries(std::vector<std::pair<std::string, std::string>> &parts, std::vector<std::string> &copied)
        : parts_(parts), copied_(copied) {}
    int part(const std::string &name, std::string &&text) override {
        parts_.emplace_back(name, std::move(text));
        return kOk;
    }
    int worksheet(const std::string &name, const Book &book, int sheet_index, const UpdatePlan &plan) override {
        std::string text;
        if (int rc = write_updated_worksheet(book, sheet_index, plan, text); rc != kOk) return rc;
        return part(name, std::move(text));
    }
    int copy(const PackageEntry &entry) override {
        copied_.push_back(entry.name);
        return kOk;
    }
    int media(const std::string &name, std::string_view bytes) override { return part(name, std::string(bytes)); }

private:
    std::vector<std::pair<std::string, std::string>> &parts_;
    std::vector<std::string> &copied_;
};

class ArchiveEntries : public EntryVisitor {
public:
    explicit ArchiveEntries(ZipPackageWriter &zip) : zip_(zip) {}
    int part(const std::string &name, std::string &&text) override {
        return archive_text_entry(zip_, name, std::move(text));
    }
    int worksheet(const std::string &name, const Book &book, int sheet_index, const UpdatePlan &plan) override {
        return archive_streamed_entry(zip_, name, updated_worksheet_bound(book, sheet_index),
                                      [&](std::string &out, PartSink *sink, std::size_t piece_bytes) {
                                          return write_updated_worksheet(book, sheet_index, plan, out, sink,
                                                                         piece_bytes);
                                      },
                                      worksheet_piece_bytes(book));
    }
    int copy(const PackageEntry &entry) override { return archive_copied_entry(zip_, entry); }
    int media(const std::string &name, std::string_view bytes) override {
        return archive_bytes_entry(zip_, name, bytes);
    }

private:
    ZipPackageWriter &zip_;
};

}  // namespace

int tsx_update_excel2007(const Book &book, const SaveTarget &target) {
    if (!book.source) return kFail;
    return write_package_archive(target, [&](ZipPackageWriter &zip) {
        ArchiveEntries entries(zip);
        return visit_package_entries(book, entries);
    });
}

int build_update_parts(const Book &book, std::vector<std::pair<std::string, std::string>> &parts,
                       std::vector<std::string> &copied) {
    parts.clear();
    copied.clear();
    CollectEntries collect(parts, copied);
    return visit_package_entries(book, collect);
}

}  // namespace tabsmith
