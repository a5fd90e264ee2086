// The create path of saving: parts in archive order, each deflated straight into the archive,
// and the replacement of the target file by a complete archive only.

#include "xlsx_write/package_writer.h"

#include "model/style_registry.h"
#include "support/results.h"
#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/chart_part.h"
#include "xlsx_write/drawing_part.h"
#include "xlsx_write/object_parts.h"
#include "xlsx_write/package_archive.h"
#include "xlsx_write/part_table.h"
#include "xlsx_write/styles_part.h"
#include "xlsx_write/worksheet_part.h"

namespace tabsmith {
namespace {

// Receives the parts of a package in archive order; a worksheet comes as its sheet so that a
// receiver can stream it.
class PartVisitor {
public:
    virtual ~PartVisitor() = default;
    virtual int part(std::string name, std::string &&text) = 0;
    virtual int worksheet(std::string name, const Book &book, int sheet_index) = 0;
    // A picture file's bytes, stored as they are; the receiver must not keep the view.
    virtual int media(std::string name, std::string_view bytes) = 0;
};

// Each sheet's comments part with the VML drawing of its boxes, then every table part.
template <typename Put>
int visit_annotation_parts(const Book &book, const ObjectParts &objects, Put &put) {
    for (int s = 0; s < book.sheet_count(); ++s) {
        const Sheet &sheet = *book.sheets[static_cast<std::size_t>(s)];
        const SheetObjectParts &parts = objects.sheets[static_cast<std::size_t>(s)];
        if (parts.comments == 0) continue;
        if (int rc = put(part_file_name(kPartComments, parts.comments), comments_part(book, sheet)); rc != kOk) return rc;
        if (int rc = put(part_file_name(kPartVmlDrawing, parts.vml_drawing),
                         vml_drawing_part(sheet, parts.vml_drawing, parts.first_comment_shape));
            rc != kOk)
            return rc;
    }
    for (int s = 0; s < book.sheet_count(); ++s) {
        const auto &tables = book.sheets[static_cast<std::size_t>(s)]->annotations.tables;
        const auto &numbers = objects.sheets[static_cast<std::size_t>(s)].tables;
        for (std::size_t k = 0; k < tables.size() && k < numbers.size(); ++k)
            if (int rc = put(part_file_name(kPartTable, numbers[k]), table_part(tables[k], numbers[k])); rc != kOk)
                return rc;
    }
    return kOk;
}

// The one place that knows which parts a package has and in which order.
int visit_package_parts(const Book &book, PartVisitor &visitor) {
    const ObjectParts objects = plan_object_parts(book);
    PackageInventory inventory;
    inventory.drawing_parts = objects.drawing_parts;
    inventory.chart_parts = objects.chart_parts;
    inventory.comment_parts = objects.comment_parts;
    inventory.table_parts = objects.table_parts;
    for (const MediaItem &item : objects.media) inventory.add_image_extension(picture_extension(item.picture->type));
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
        if (int rc = put(part_file_name(kPartWorksheetRels, k), write_worksheet_rels(book, k - 1, objects)); rc != kOk)
            return rc;
    }
    for (int k = 1; k <= book.sheet_count(); ++k) {
        const int number = objects.sheets[static_cast<std::size_t>(k - 1)].drawing;
        if (number == 0) continue;
        if (int rc = put(part_file_name(kPartDrawingRels, number), drawing_rels_part(book, k - 1, objects)); rc != kOk)
            return rc;
        std::string drawing;
        if (int rc = drawing_part(book, k - 1, objects, drawing); rc != kOk) return rc;
        if (int rc = put(part_file_name(kPartDrawing, number), std::move(drawing)); rc != kOk) return rc;
    }
    for (std::size_t k = 0; k < book.drawings.size(); ++k)
        if (int number = objects.chart_of_object[k]; number > 0)
            if (int rc = put(part_file_name(kPartChart, number), chart_part(book, book.drawings[k])); rc != kOk)
                return rc;
    if (int rc = visit_annotation_parts(book, objects, put); rc != kOk) return rc;
    for (int k = 1; k <= book.sheet_count(); ++k) {
        const Sheet &sheet = *book.sheets[static_cast<std::size_t>(k - 1)];
        if (int rc = put(part_file_name(kPartPrinterSettings, k), printer_settings_part(sheet)); rc != kOk) return rc;
    }
    for (const MediaItem &item : objects.media)
        if (int rc = visitor.media(media_part_name(item), item.picture->bytes); rc != kOk) return rc;
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
    int media(std::string name, std::string_view bytes) override { return part(std::move(name), std::string(bytes)); }

private:
    std::vector<std::pair<std::string, std::string>> &parts_;
};

// Writes each part straight into the archive: a worksheet is deflated piece by piece while
// its rows are still being written.
class ArchiveParts : public PartVisitor {
public:
    explicit ArchiveParts(ZipPackageWriter &zip) : zip_(zip) {}

    int part(std::string name, std::string &&text) override {
        return archive_text_entry(zip_, name, std::move(text));
    }

    int worksheet(std::string name, const Book &book, int sheet_index) override {
        return archive_streamed_entry(zip_, name, worksheet_part_bound(book, sheet_index),
                                      [&](std::string &out, PartSink *sink, std::size_t piece_bytes) {
                                          return tsx_write_worksheet(book, sheet_index, out, sink, piece_bytes);
                                      },
                                      worksheet_piece_bytes(book));
    }

    int media(std::string name, std::string_view bytes) override { return archive_bytes_entry(zip_, name, bytes); }

private:
    ZipPackageWriter &zip_;
};

}  // namespace

int build_package_parts(const Book &book, std::vector<std::pair<std::string, std::string>> &parts) {
    parts.clear();
    CollectParts collect(parts);
    return visit_package_parts(book, collect);
}

int tsx_create_excel2007(const Book &book, const SaveTarget &target) {
    return write_package_archive(target, [&](ZipPackageWriter &zip) {
        ArchiveParts parts(zip);
        return visit_package_parts(book, parts);
    });
}

}  // namespace tabsmith
