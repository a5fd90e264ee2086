// Where the rows that TXLS_write_row took out of memory went: the book's private folder of
// temporary files, one file per sheet, and the row number and place of every record written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tabsmith {

// One record of a sheet's file. The records carry no row number: the call's row is kept here.
struct StreamedRowEntry {
    std::int32_t row = 0;          // 0-based
    std::uint16_t slots = 0;       // cell slots the record holds
    std::uint64_t offset = 0;      // where the record starts in the sheet's file
};

// A sheet's file of streamed rows, open for as long as the sheet or the book lives.
struct SheetRowFile {
    std::string path;
    std::FILE *file = nullptr;
    std::uint64_t size = 0;                 // bytes written so far
    std::vector<StreamedRowEntry> rows;     // in call order
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
