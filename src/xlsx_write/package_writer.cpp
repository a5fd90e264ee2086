// The create path of saving: parts in archive order, each deflated straight into the archive,
// and the atomic replacement of the target file (written under a temporary name, then renamed).

#include "xlsx_write/package_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "model/style_registry.h"
#include "support/deflate_pipeline.h"
#include "support/mfile.h"
#include "support/zip_archive.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/styles_part.h"
#include "xlsx_write/worksheet_part.h"

namespace tabsmith {
namespace {

constexpr std::size_t kDevModeSize = 1076;
constexpr std::size_t kDevModePublicSize = 220;
constexpr const char *kPrinterName = "Microsoft XPS Document Writer";

void put16(std::string &out, std::size_t at, unsigned value) {
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string &out, std::size_t at, unsigned value) {
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

int paper_code(int paper) {
    switch (paper) {
    case 0: return 49;
    case 1: return 51;
    case 2: return 66;
    case 3: return 8;
    case 5: return 11;
    case 11: return 58;
    case 12: return 60;
    case 13: return 62;
    case 14: return 12;
    case 15: return 13;
    default: return 9;
    }
}

std::string temporary_target(const std::string &target) {
    return target + ".tmp" + std::to_string(static_cast<long>(getpid()));
}

}  // namespace

std::string printer_settings_part(const Sheet &sheet) {
    std::string out(kDevModeSize, '\0');
    for (std::size_t i = 0; kPrinterName[i]; ++i) put16(out, i * 2, static_cast<unsigned char>(kPrinterName[i]));
    put16(out, 64, 0x0401);                                  // spec version
    put16(out, 66, 0x0401);                                  // driver version
    put16(out, 68, kDevModePublicSize);                      // size of the public part
    put16(out, 70, kDevModeSize - kDevModePublicSize);       // driver data after it
    put32(out, 72, 0x0001 | 0x0002 | 0x0010 | 0x0100 | 0x0400 | 0x2000);  // fields in use
    put16(out, 76, sheet.settings.page.landscape ? 2 : 1);   // orientation
    put16(out, 78, static_cast<unsigned>(paper_code(sheet.settings.page.paper)));
    put16(out, 84, 100);                                     // scale
    put16(out, 86, 1);                                       // copies
    put16(out, 90, 600);                                     // print quality
    put16(out, 92, 2);                                       // colour
    put16(out, 96, 600);                                     // y resolution
    return out;
}

namespace {

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
    const std::string stamp = package_time_stamp();
    auto put = [&](std::string name, std::string text) { return visitor.part(std::move(name), std::move(text)); };

    if (int rc = put(part_file_name(kPartContentTypes), content_types_part(book, inventory)); rc != 0) return rc;
    if (int rc = put(part_file_name(kPartPackageRels), package_rels_part(book)); rc != 0) return rc;
    if (int rc = put(part_file_name(kPartApp), app_part(book)); rc != 0) return rc;
    if (int rc = put(part_file_name(kPartCore), core_part(book, stamp)); rc != 0) return rc;
    if (book.settings.final)
        if (int rc = put(part_file_name(kPartCustom), custom_part()); rc != 0) return rc;
    if (int rc = put(part_file_name(kPartWorkbookRels), workbook_rels_part(book)); rc != 0) return rc;
    if (int rc = put(part_file_name(kPartTheme), theme_part()); rc != 0) return rc;
    if (int rc = put(part_file_name(kPartWorkbook), workbook_part(book)); rc != 0) return rc;
    if (int rc = put(part_file_name(kPartSharedStrings), shared_strings_part(book)); rc != 0) return rc;
    if (int rc = put(part_file_name(kPartStyles), write_styles_part(book)); rc != 0) return rc;
    for (int k = 1; k <= book.sheet_count(); ++k) {
        if (int rc = visitor.worksheet(part_file_name(kPartWorksheet, k), book, k - 1); rc != 0) return rc;
        if (int rc = put(part_file_name(kPartWorksheetRels, k), write_worksheet_rels(book, k - 1)); rc != 0)
            return rc;
    }
    // Drawings, charts, media, comments and tables take their places here as they arrive.
    for (int k = 1; k <= book.sheet_count(); ++k) {
        const Sheet &sheet = *book.sheets[static_cast<std::size_t>(k - 1)];
        if (int rc = put(part_file_name(kPartPrinterSettings, k), printer_settings_part(sheet)); rc != 0) return rc;
    }
    return 0;
}

class CollectParts : public PartVisitor {
public:
    explicit CollectParts(std::vector<std::pair<std::string, std::string>> &parts) : parts_(parts) {}
    int part(std::string name, std::string &&text) override {
        parts_.emplace_back(std::move(name), std::move(text));
        return 0;
    }
    int worksheet(std::string name, const Book &book, int sheet_index) override {
        std::string text;
        if (int rc = tsx_write_worksheet(book, sheet_index, text); rc != 0) return rc;
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
        if (int rc = zip_.begin_entry(name, text.size() >= kZip32Limit); rc != 0) return rc;
        DeflatePipeline pipeline(output(), text.size() > kDeflatePieceBytes ? 0 : 1);
        for (std::size_t at = 0; at < text.size(); at += kDeflatePieceBytes) {
            std::string piece = text.substr(at, kDeflatePieceBytes);
            if (int rc = pipeline.write(std::move(piece)); rc != 0) return rc;
        }
        std::string().swap(text);
        return finish(pipeline);
    }

    int worksheet(std::string name, const Book &book, int sheet_index) override {
        if (int rc = zip_.begin_entry(name, worksheet_part_bound(book, sheet_index) >= kZip32Limit); rc != 0)
            return rc;
        DeflatePipeline pipeline(output());
        pipeline_ = &pipeline;
        std::string rest;
        int rc = tsx_write_worksheet(book, sheet_index, rest, this, kDeflatePieceBytes);
        pipeline_ = nullptr;
        if (rc == 0) rc = pipeline.write(std::move(rest));
        return rc != 0 ? rc : finish(pipeline);
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
        if (int rc = pipeline.finish(); rc != 0) return rc;
        return zip_.end_entry(pipeline.input_size(), pipeline.crc32());
    }

    ZipPackageWriter &zip_;
    DeflatePipeline *pipeline_ = nullptr;
};

// Packs the book into the archive at `path` along the current routing flag.
int write_archive(const Book &book, const std::string &path) {
    ZipPackageWriter zip;
    if (int rc = zip.open(path); rc != 0) return rc;
    ArchiveParts parts(zip);
    if (int rc = visit_package_parts(book, parts); rc != 0) return rc;
    return zip.close();
}

}  // namespace

int build_package_parts(const Book &book, std::vector<std::pair<std::string, std::string>> &parts) {
    parts.clear();
    CollectParts collect(parts);
    return visit_package_parts(book, collect);
}

int tsx_create_excel2007(const Book &book) {
    const bool to_memory = book.write_memory || zip_route() == 0;
    // On disk the target is replaced only by a complete archive, written under another name.
    const std::string written = to_memory ? book.file_name : temporary_target(book.file_name);

    // However the writing ends (a result or memory running out), the routing flag comes back
    // and no half-written archive stays behind.
    struct Cleanup {
        const std::string &written;
        bool to_memory;
        int route = zip_route();
        bool complete = false;
        ~Cleanup() {
            set_zip_route(route);
            if (complete) return;
            if (to_memory) mrelease(written);   // finds the entry without asking for memory
            else std::remove(written.c_str());
        }
    } cleanup{written, to_memory};

    set_zip_route(to_memory ? 0 : 1);
    int rc = write_archive(book, written);
    if (rc == 0 && !to_memory && std::rename(written.c_str(), book.file_name.c_str()) != 0) rc = -103;
    cleanup.complete = rc == 0;
    return rc;
}

}  // namespace tabsmith
