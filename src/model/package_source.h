// What a book read from an existing package keeps so that a save can write that package back:
// every archive entry as stored (the book's own worksheets, written anew, kept with their sheets),
// the parts the save splices into, and each sheet's own XML around its cells.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/zip_reader.h"

namespace tabsmith {

struct Sheet;

// One archive entry exactly as the package stored it (its directory record and its stored,
// compressed bytes); a save copies it unchanged unless it is one of the parts the save rewrites.
struct PackageEntry : ZipEntryInfo {
    std::string raw;
    // A worksheet of the book: every save writes it anew and every view reads the cells; its
    // stored bytes stay with its sheet (SheetSource::stored_part) and `raw` is empty.
    bool rewritten = false;
};

// How many records of each style table came from the package; records past these counts were
// added by the engine and are spliced into the styles part at save.
struct StyleBase {
    std::size_t fonts = 0, fills = 0, borders = 0, xfs = 0, num_formats = 0;
};

struct PackageSource {
    std::vector<PackageEntry> entries;   // archive order
    std::string workbook_path;           // e.g. "xl/workbook.xml", found through _rels/.rels
    std::string workbook_xml;            // rewritten at save: sheets, calculation settings
    std::string workbook_rels_path;      // "" when the workbook has no relationship part
    std::string workbook_rels_xml;
    std::string content_types_xml;
    std::string app_path;                // the extended properties part (sheet titles); "" when none
    std::string app_xml;
    std::string styles_path;             // "" when the package has no styles part
    std::string styles_xml;
    std::string shared_strings_path;     // "" when the package has no shared strings
    std::string shared_strings_items;    // the package's <si> elements as written
    std::string shared_strings_root_tag; // the package's <sst ...> start tag (its namespaces)
    std::size_t shared_strings_count = 0;  // strings of the table that came from the package
    std::string calc_chain_path;         // dropped at save: it lists the formulas of the old cells
    StyleBase style_base;
    // Sheets of the workbook that hold no cells (chart, dialog and macro sheets): they stay in
    // the workbook's sheet list, before the book's sheet `position` (or last).
    struct OtherSheet {
        int position = 0;
        std::string name;
        std::string relationship_id;
        int sheet_id = 0;
        std::string extra_attributes;
        int package_position = 0;        // its place in the package's sheet list
    };
    std::vector<OtherSheet> other_sheets;
    std::vector<std::string> sheet_names;  // the package's sheet list, every kind, in its order
    bool date1904 = false;
    // Set by the save when a formula is left without a value: readers are asked to compute.
    bool full_calc_on_load = false;
};

// One sheet's XML around its cells, as the package had it. The save writes new cell data and
// the settings the engine changed, and everything else from here.
struct SheetSource {
    std::string part_path;               // "xl/worksheets/sheet1.xml"
    std::string relationship_id;         // the workbook's r:id of the sheet
    // The sheet's place in the package's sheet list, kept by copies: names local to a sheet
    // and the sheet titles follow it. -1 for none.
    int package_position = -1;
    int sheet_id = 0;                    // the workbook's sheetId of the sheet (0: none read)
    std::string sheet_element_extra;     // attributes of the workbook's <sheet> other than name, sheetId, r:id
    std::string root_start_tag;          // "<worksheet ...>" with its namespace declarations
    // Top-level elements other than sheetData, in document order: local name and whole text.
    struct Element {
        std::string name;
        std::string text;
    };
    std::vector<Element> elements;
    // The sheet's settings as read (no rows): a setting part is written anew only when the
    // engine's text for it differs from the text for these.
    std::unique_ptr<Sheet> loaded;

    // The part as the archive stored it, so that a save can write a row the book has not
    // changed as the package had it, and reuse the deflated blocks of a long run of such rows
    // instead of compressing it again. Empty when the part was not kept (a book opened to be
    // read, a part stored uncompressed or read from a text).
    std::string stored_part;               // the deflated bytes
    std::uint64_t stored_plain_size = 0;   // the bytes they inflate to
    std::uint32_t stored_crc = 0;          // and those bytes' CRC-32
    // Each row element of sheetData in part order: where it lies in the plain text and the
    // digest (row_digest) of the row as read.
    struct StoredRow {
        std::uint64_t begin = 0;   // the '<' of its start tag
        std::uint32_t length = 0;  // up to the end of its end tag
        std::int32_t row = -1;     // 0-based; -1 for an element never written back as stored
        std::uint64_t digest = 0;
    };
    std::vector<StoredRow> stored_rows;
};

}  // namespace tabsmith
