// Where the rows that TXLS_write_row took out of memory went: the book's private folder of
// temporary files, one file per sheet, and the row number and place of every record written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tabsmith {

// Records of consecutive rows, streamed one after the other. The records carry no row number:
// the calls' rows are kept as runs, and a report that streams its rows in order takes one run.
struct StreamedRun {
    std::int32_t first_row = 0;    // 0-based
    std::uint32_t count = 0;
};

// A sheet's file of streamed rows, open for as long as the sheet or the book lives. The records
// follow each other without gaps, in call order; each is found by reading those before it.
struct SheetRowFile {
    std::string path;
    std::FILE *file = nullptr;
    std::uint64_t size = 0;                 // bytes of every record: those in the file, then the pending ones
    std::uint64_t written = 0;              // bytes in the file
    std::string pending;                    // records not in the file yet (a write that failed leaves them here)
    std::vector<StreamedRun> runs;          // the records' rows, in call order
    std::size_t records = 0;
    // What the records hold, for the sheet's extent.
    int last_row = -1;                      // the highest row of a record
    int last_row_with_cells = -1;           // the highest row of a record with cell slots
    int most_slots = 0;                     // the slots of the widest record
    std::size_t slots = 0;                  // the slots of every record
    std::size_t string_cells = 0;           // shared-string cells among them

    SheetRowFile() = default;
    SheetRowFile(const SheetRowFile &) = delete;
    SheetRowFile &operator=(const SheetRowFile &) = delete;
    ~SheetRowFile();
};

// The book's streaming state: the private folder (made with mkdtemp, so that two books of the
// same name never share it) and the shared-strings file. Destroying it closes the files and
// removes the folder with everything in it.
struct StreamedRows {
    std::string folder;
    std::string strings_path;
    std::FILE *strings = nullptr;

    StreamedRows() = default;
    StreamedRows(const StreamedRows &) = delete;
    StreamedRows &operator=(const StreamedRows &) = delete;
    ~StreamedRows();
};

}  // namespace tabsmith
