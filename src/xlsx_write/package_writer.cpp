// The create path of saving: parts in archive order, memory files, packing, and the atomic
// replacement of the target file (written under a temporary name, then renamed).

#include "xlsx_write/package_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "formula/recalc.h"
#include "props/auto_width.h"
#include "props/style_registry.h"
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

int write_memory_file(const std::string &name, const std::string &contents) {
    MFile *file = mopen(name, "wb");
    if (!file) return -101;
    if (!contents.empty() && mwrite(contents.data(), 1, contents.size(), file) != contents.size()) {
        mclose(file);
        return -2;
    }
    mclose(file);
    return 0;
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

int build_package_parts(Book &book, std::vector<std::pair<std::string, std::string>> &parts) {
    parts.clear();
    if (book.sheet_count() == 0) {
        for (int k = 1; k <= 3; ++k)
            if (add_sheet(book, "Sheet" + std::to_string(k)) < 0) return book.err.raise(-2, Msg::k00002);
    }
    if (book.settings.recalc)
        if (int rc = recalc_book(book); rc != 0) return rc;
    apply_auto_widths(book);
    if (compact_shared_strings(book) != 0) return book.err.raise(-2, Msg::k00002);
    PackageInventory inventory;
    inventory.thumbnail = !book.settings.thumbnail_path.empty();
    const std::string stamp = package_time_stamp();

    parts.emplace_back(part_file_name(kPartContentTypes), content_types_part(book, inventory));
    parts.emplace_back(part_file_name(kPartPackageRels), package_rels_part(book));
    parts.emplace_back(part_file_name(kPartApp), app_part(book));
    parts.emplace_back(part_file_name(kPartCore), core_part(book, stamp));
    if (book.settings.final) parts.emplace_back(part_file_name(kPartCustom), custom_part());
    parts.emplace_back(part_file_name(kPartWorkbookRels), workbook_rels_part(book));
    parts.emplace_back(part_file_name(kPartTheme), theme_part());
    parts.emplace_back(part_file_name(kPartWorkbook), workbook_part(book));
    parts.emplace_back(part_file_name(kPartSharedStrings), shared_strings_part(book));
    parts.emplace_back(part_file_name(kPartStyles), write_styles_part(book));
    for (int k = 1; k <= book.sheet_count(); ++k) {
        std::string sheet_text;
        if (int rc = tsx_write_worksheet(book, k - 1, sheet_text); rc != 0) return rc;
        parts.emplace_back(part_file_name(kPartWorksheet, k), std::move(sheet_text));
        parts.emplace_back(part_file_name(kPartWorksheetRels, k), write_worksheet_rels(book, k - 1));
    }
    // Drawings, charts, media, comments and tables take their places here as they arrive.
    for (int k = 1; k <= book.sheet_count(); ++k)
        parts.emplace_back(part_file_name(kPartPrinterSettings, k),
                           printer_settings_part(*book.sheets[static_cast<std::size_t>(k - 1)]));
    return 0;
}

int tsx_create_excel2007(Book &book) {
    std::vector<std::pair<std::string, std::string>> parts;
    if (int rc = build_package_parts(book, parts); rc != 0) return rc;

    std::vector<std::string> names;
    names.reserve(parts.size());
    for (auto &[name, contents] : parts) {
        if (int rc = write_memory_file(name, contents); rc != 0) return rc;
        names.push_back(name);
        std::string().swap(contents);  // the memory file holds it now
    }

    const bool to_memory = book.write_memory || zip_route() == 0;
    const int saved_route = zip_route();
    int rc = 0;
    if (to_memory) {
        set_zip_route(0);
        rc = zip_write_package(0, book.file_name, "", names);
        set_zip_route(saved_route);
    } else {
        // The target is replaced only by a complete archive.
        const std::string temporary = temporary_target(book.file_name);
        set_zip_route(1);
        rc = zip_write_package(0, temporary, "", names);
        set_zip_route(saved_route);
        if (rc == 0 && std::rename(temporary.c_str(), book.file_name.c_str()) != 0) rc = -103;
        if (rc != 0) std::remove(temporary.c_str());
    }
    for (const auto &name : names) mrelease(name);
    return rc;
}

}  // namespace tabsmith
