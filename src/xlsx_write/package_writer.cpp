// The create path of saving: parts in archive order, each deflated straight into the archive,
// and the replacement of the target file by a complete archive only.

#include "xlsx_write/package_writer.h"

#include "model/style_registry.h"
#include "support/deflate_pipeline.h"
#include "support/files.h"
#include "support/mfile.h"
#include "support/results.h"
#include "support/zip_archive.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/styles_part.h"
#include "xlsx_write/worksheet_part.h"

namespace tabsmith {
namespace {

// Whatever the archive layer reports (an entry not opened or closed, the central directory
// not written), the archive could not be written: the save reports it as a write error. Memory
// running out stays what it is.
int archive_failure(int rc) { return rc == kOk || rc == kNoMemory ? rc : kWriteError; }

// Receives the parts of a package in archive order; a worksheet comes as its sheet so that a
// receiver can stream it.
class PartVisitor {
public:
    virtual ~PartVisitor() = default;
    virtual int part(std::string name, std::string &&text) = 0;
    virtual int worksheet(std::string name, const Book &book, int sheet_index) = 0;
};

// The one place that knows which parts a package has and in which order.
int visit_package_parts(const Book &book, PartVisitor &visitor) {
    PackageInventory inventory;
    inventory.thumbnail = !book.settings.thumbnail_path.empty();
    // The thumbnail is read before anything is written, so that a missing file fails the save
    // before it has cost a single part.
    std::string thumbnail;
    if (inventory.thumbnail)
        if (int rc = thumbnail_part(book, thumbnail); rc != kOk) return rc;
    const std::string stamp = package_time_stamp();
    auto put = [&](std::string name, std::string text) { return visitor.part(std::move(name), std::move(text)); };

    if (int rc = put(part_file_name(kPartContentTypes), content_types_part(book, inventory)); rc != kOk) return rc;
    if (int rc = put(part_file_name(kPartPackageRels), package_rels_part(book)); rc != kOk) return rc;
    if (int rc = put(part_file_name(kPartApp), app_part(book)); rc != kOk) return rc;
    if (int rc = put(part_file_name(kPartCore), core_part(book, stamp)); rc != kOk) return rc;
    if (book.settings.final)
        if (int rc = put(part_file_name(kPartCustom), custom_part()); rc != kOk) return rc;
    if (int rc = put(part_file_name(kPartWorkbookRels), workbook_rels_part(book)); rc != kOk) return rc;
    if (int rc = put(part_file_name(kPartTheme), theme_part()); rc != kOk) return rc;
    if (int rc = put(part_file_name(kPartWorkbook), workbook_part(book)); rc != kOk) return rc;
    if (int rc = put(part_file_name(kPartSharedStrings), shared_strings_part(book)); rc != kOk) return rc;
    if (int rc = put(part_file_name(kPartStyles), write_styles_part(book)); rc != kOk) return rc;
    for (int k = 1; k <= book.sheet_count(); ++k) {
        if (int rc = visitor.worksheet(part_file_name(kPartWorksheet, k), book, k - 1); rc != kOk) return rc;
        if (int rc = put(part_file_name(kPartWorksheetRels, k), write_worksheet_rels(book, k - 1)); rc != kOk)
            return rc;
    }
    // Drawings, charts, media, comments and tables take their places here as they arrive.
    for (int k = 1; k <= book.sheet_count(); ++k) {
        const Sheet &sheet = *book.sheets[static_cast<std::size_t>(k - 1)];
        if (int rc = put(part_file_name(kPartPrinterSettings, k), printer_settings_part(sheet)); rc != kOk) return rc;
    }
    if (inventory.thumbnail)
        if (int rc = put(part_file_name(kPartThumbnail), std::move(thumbnail)); rc != kOk) return rc;
    return kOk;
}

class CollectParts : public PartVisitor {
public:
    explicit CollectParts(std::vector<std::pair<std::string, std::string>> &parts) : parts_(parts) {}
    int part(std::string name, std::string &&text) override {
        parts_.emplace_back(std::move(name), std::move(text));
        return kOk;
    }
    int worksheet(std::string name, const Book &book, int sheet_index) override {
        std::string text;
        if (int rc = tsx_write_worksheet(book, sheet_index, text); rc != kOk) return rc;
        return part(std::move(name), std::move(text));
    }

private:
    std::vector<std::pair<std::string, std::string>> &parts_;
};

// Writes each part straight into the archive: a worksheet is deflated piece by piece while
// its rows are still being written, so neither its text nor its compressed form is ever held
// whole.
class ArchiveParts : public PartVisitor, private PartSink {
public:
    explicit ArchiveParts(ZipPackageWriter &zip) : zip_(zip) {}

    int part(std::string name, std::string &&text) override {
        if (int rc = zip_.begin_entry(name, text.size() >= kZip32Limit); rc != kOk) return archive_failure(rc);
        DeflatePipeline pipeline(output(), text.size() > kDeflatePieceBytes ? 0 : 1);
        for (std::size_t at = 0; at < text.size(); at += kDeflatePieceBytes) {
            std::string piece = text.substr(at, kDeflatePieceBytes);
            if (int rc = pipeline.write(std::move(piece)); rc != kOk) return rc;
        }
        std::string().swap(text);
        return finish(pipeline);
    }

    int worksheet(std::string name, const Book &book, int sheet_index) override {
        if (int rc = zip_.begin_entry(name, worksheet_part_bound(book, sheet_index) >= kZip32Limit); rc != kOk)
            return archive_failure(rc);
        DeflatePipeline pipeline(output());
        pipeline_ = &pipeline;
        std::string rest;
        int rc = tsx_write_worksheet(book, sheet_index, rest, this, kDeflatePieceBytes);
        pipeline_ = nullptr;
        if (rc == kOk) rc = pipeline.write(std::move(rest));
        return rc != kOk ? rc : finish(pipeline);
    }

private:
    static constexpr std::uint64_t kZip32Limit = 0xFFFFFFFFull;

    DeflatePipeline::Output output() {
        return [this](const unsigned char *data, std::size_t size) { return zip_.write_raw(data, size); };
    }
    int take(std::string &text) override {
        int rc = pipeline_->write(std::move(text));
        text = pipeline_->spare_piece();
        return rc;
    }
    int finish(DeflatePipeline &pipeline) {
        if (int rc = pipeline.finish(); rc != kOk) return rc;
        return archive_failure(zip_.end_entry(pipeline.input_size(), pipeline.crc32()));
    }

    ZipPackageWriter &zip_;
    DeflatePipeline *pipeline_ = nullptr;
};

// Packs the book into an archive the writer has opened (a memory file, or the temporary file
// of a disk save).
int write_archive(const Book &book, ZipPackageWriter &zip) {
    ArchiveParts parts(zip);
    if (int rc = visit_package_parts(book, parts); rc != kOk) return rc;
    return archive_failure(zip.close());
}

// A save into a memory file. However it ends (a result or memory running out), the routing
// flag comes back and no half-written memory file stays behind.
int write_memory_archive(const Book &book, const std::string &name) {
    struct Restore {
        const std::string &name;
        int route = zip_route();
        bool complete = false;
        ~Restore() {
            set_zip_route(route);
            if (!complete) mrelease(name);   // finds the entry without asking for memory
        }
    } restore{name};
    set_zip_route(0);
    ZipPackageWriter zip;
    int rc = zip.open(name);
    set_zip_route(restore.route);
    rc = rc != kOk ? archive_failure(rc) : write_archive(book, zip);
    restore.complete = rc == kOk;
    return rc;
}

// The target is only ever replaced by a complete archive, written under a name nobody else
// can have chosen; a failure anywhere, up to the rename, removes that file and keeps the old
// target.
int write_disk_archive(const Book &book, const std::string &path) {
    ReplacementFile file;
    if (file.create(path) != kOk) return kWriteError;
    int rc;
    {
        ZipPackageWriter zip;
        rc = zip.open_descriptor(file.descriptor());
        rc = rc != kOk ? archive_failure(rc) : write_archive(book, zip);
    }
    if (rc == kOk) rc = file.commit();
    return rc;
}

}  // namespace

int build_package_parts(const Book &book, std::vector<std::pair<std::string, std::string>> &parts) {
    parts.clear();
    CollectParts collect(parts);
    return visit_package_parts(book, collect);
}

int tsx_create_excel2007(const Book &book, const SaveTarget &target) {
    return target.to_memory ? write_memory_archive(book, target.name) : write_disk_archive(book, target.name);
}

}  // namespace tabsmith
