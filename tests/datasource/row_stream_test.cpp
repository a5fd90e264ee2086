// Row streaming: which rows TXLS_write_row takes out of memory, the record it writes, the
// private folder of the temporary files, and saved books that hold every streamed row.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "common/fixtures.h"
#include "datasource/row_stream.h"

namespace tabsmith {
namespace {

using testing::BookTest;
using testing::TempFolder;

std::string file_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class RowStream : public BookTest {
protected:
    void open_streaming(int after, const std::string &name = "") {
        TXLS_free_book(&book);
        ASSERT_EQ(open(("MODE=CREATE CHARSET=UTF8 STREAM_AFTER=" + std::to_string(after) + (name.empty() ? "" : " BOOK=" + name)).c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet1"), 0);
    }
    const SheetRowFile *row_file() { return store().sheets[0]->row_file.get(); }
    // Each row's "A<n>" value, "" for a row taken out of memory.
    std::string column_a(int rows) {
        std::string out;
        for (int r = 1; r <= rows; ++r) out += value(("A" + std::to_string(r)).c_str()) + ",";
        return out;
    }
    TempFolder folder;
};

}  // namespace

TEST_F(RowStream, WhichRowsLeaveMemory) {
    const struct { int after; std::vector<int> written; int rc; const char *kept; std::vector<int> streamed; } cases[] = {
        {0, {1, 2, 1048577}, 0, "10,20,30,40,50,60,", {}},     // no threshold: nothing streams, the row number is not looked at
        {5, {1, 2, 3, 4, 5, 6}, 0, "10,20,30,40,50,,", {5}},  // rows up to the threshold stay
        {5, {0, 1048576}, 0, "10,20,30,40,50,60,", {1048575}},  // row 0 is not above the threshold; an empty row is a record of no slots
        {5, {1048577}, TXLS_ERR_ARGUMENT, "10,20,30,40,50,60,", {}},
    };
    for (const auto &c : cases) {
        open_streaming(c.after);
        for (int r = 1; r <= 6; ++r) ASSERT_EQ(TXLS_put_values(&book, ("A" + std::to_string(r) + "=" + std::to_string(r * 10)).c_str()), 0);
        int rc = 0;
        for (int row : c.written) rc = rc ? rc : TXLS_write_row(&book, row);
        EXPECT_EQ(std::pair(rc, book.error_code), std::pair(c.rc, c.rc)) << c.after;
        EXPECT_EQ(column_a(6), c.kept) << c.after;
        std::vector<int> streamed;
        if (row_file()) for (const auto &record : row_file()->rows) streamed.push_back(record.row);
        EXPECT_EQ(streamed, c.streamed) << c.after;
        EXPECT_EQ(store().streamed != nullptr, !c.streamed.empty());
    }
    open_streaming(5);
    ASSERT_EQ(TXLS_write_row(&book, 1048576), 0);
    std::fflush(row_file()->file);
    EXPECT_EQ(file_bytes(row_file()->path), std::string(4, '\0'));
    EXPECT_EQ(std::filesystem::path(row_file()->path).filename(), "Sheet1.tmp");
    EXPECT_EQ(std::filesystem::path(row_file()->path).parent_path(), store().streamed->folder);
    EXPECT_TRUE(std::filesystem::exists(store().streamed->folder + "/SST.tmp"));
    EXPECT_FALSE(store().settings.recalc);  // streaming leaves formulas to be computed on opening
    for (const char *bad : {"STREAM_AFTER=abc", "STREAM_AFTER=-1", "STREAM_AFTER=1048577"}) {  // the threshold must be a row count
        TXLS_free_book(&book);
        EXPECT_EQ(open(bad), TXLS_ERR_ARGUMENT) << bad;
        EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"" + std::string(bad + 13) + "\")。") << bad;
    }
}

TEST_F(RowStream, RecordOfATextAndAnInteger) {
    open_streaming(5);
    ASSERT_EQ(TXLS_put_values(&book, "A6=ab B6=7"), 0);
    ASSERT_EQ(TXLS_write_row(&book, 6), 0);
    std::fflush(row_file()->file);
    const std::string bytes = file_bytes(row_file()->path);
    // count 2; text: kind 41, style 0, string 0, length 2, "ab"; integer: kind 11, 7, length 1, "7".
    EXPECT_EQ(bytes, std::string("\x02\0\0\0", 4) + std::string("\x29\0\0\0" "\0\0\0\0" "\0\0\0\0" "\x02\0\0\0", 16) + "ab" +
                         std::string("\x0b\0\0\0" "\x07\0\0\0" "\0\0\0\0" "\x01\0\0\0", 16) + "7");
    std::vector<Cell> cells;
    ASSERT_EQ(decode_row_record(bytes, cells), bytes.size());
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(std::vector<std::int64_t>({cells[0].kind, cells[1].kind, cells[1].integer()}), std::vector<std::int64_t>({kCellString, kCellInteger, 7}));
    EXPECT_EQ(decode_row_record(bytes.substr(0, bytes.size() - 1), cells), 0u);
}

TEST_F(RowStream, SavedBookHoldsEveryRowAndTheFolderGoes) {
    const std::string path = folder / "streamed.xlsx";
    open_streaming(2, path);
    ASSERT_EQ(TXLS_put_values(&book, "A1=head B1=2 C1=\"=B1*2\" A2=second"), 0);
    // Rows 3..40 streamed one by one as they are filled; row 20 is streamed before row 19 and
    // row 30 twice (the second time with a new cell on top).
    for (int r = 3; r <= 40; ++r) {
        const std::string n = std::to_string(r);
        ASSERT_EQ(TXLS_put_values(&book, ("A" + n + "=text" + n + " B" + n + "=" + n + " C" + n + "=2.5 D" + n + "=2024/01/15 E" + n + "=\"=B" + n +
                                          "*2\" B" + n + ".FONT.STYLE=BOLD").c_str()), 0) << message();
        if (r != 19) { ASSERT_EQ(TXLS_write_row(&book, r), 0) << r; }
        if (r == 20) { ASSERT_EQ(TXLS_write_row(&book, 19), 0); }
    }
    ASSERT_EQ(TXLS_put_values(&book, "F30=late"), 0);
    ASSERT_EQ(TXLS_write_row(&book, 30), 0);
    ASSERT_EQ(TXLS_put_values(&book, "G30=memory"), 0);
    const std::string streaming_folder = store().streamed->folder;
    EXPECT_TRUE(std::filesystem::is_directory(streaming_folder));
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    EXPECT_FALSE(std::filesystem::exists(streaming_folder));
    ASSERT_EQ(open(("MODE=READ CHARSET=UTF8 BOOK=" + path).c_str()), 0) << message();
    // Formulas come back without values: they are computed on opening.
    auto formula = [&](int row, int column) {
        const Cell *cell = find_cell(store(), 0, row, column);
        return cell && cell->formula() ? *cell->formula() + (cell->kind == kCellFormula ? "" : " (with a value)") : std::string("(none)");
    };
    EXPECT_EQ(value("A1") + "|" + value("A2") + "|" + formula(0, 2) + "|" + value("F30") + "|" + value("G30"), "head|second|B1*2|late|memory");
    for (int r = 3; r <= 40; ++r) {
        const std::string n = std::to_string(r);
        EXPECT_EQ(value(("A" + n).c_str()) + "|" + value(("B" + n).c_str()) + "|" + value(("C" + n).c_str()) + "|" + kind(("D" + n).c_str()) + "|" +
                      formula(r - 1, 4), "text" + n + "|" + n + "|2.5|DATE|B" + n + "*2");
        const Cell *cell = find_cell(store(), 0, r - 1, 1);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(store().styles.fonts()[store().styles.xfs()[cell->style - 1u].font].style & kFontBold, kFontBold) << r;
    }
    // A book freed without saving takes its folder too.
    open_streaming(1);
    ASSERT_EQ(TXLS_put_values(&book, "A2=x"), 0);
    ASSERT_EQ(TXLS_write_row(&book, 2), 0);
    const std::string freed = store().streamed->folder;
    TXLS_free_book(&book);
    EXPECT_FALSE(std::filesystem::exists(freed));
}

TEST_F(RowStream, TwoBooksOfOneNameStreamApart) {
    XLS_BOOK second{};
    for (const char *which : {"one", "two"}) std::filesystem::create_directories(folder / which);
    open_streaming(1, folder / "one/Report.xlsx");
    ASSERT_EQ(TXLS_open_book(&second, ("MODE=CREATE STREAM_AFTER=1 BOOK=" + folder / "two/Report.xlsx").c_str()), 0);
    ASSERT_EQ(TXLS_open_sheet(&second, "SHEET_NAME=Sheet1"), 0);
    for (int r = 2; r <= 20; ++r)
        for (auto [which, handle] : {std::pair{"one", &book}, {"two", &second}}) {
            ASSERT_EQ(TXLS_put_values(handle, ("A" + std::to_string(r) + "=" + which + std::to_string(r)).c_str()), 0);
            ASSERT_EQ(TXLS_write_row(handle, r), 0);
        }
    const std::string first_folder = store().streamed->folder;
    EXPECT_NE(first_folder, static_cast<Book *>(second.work)->streamed->folder);
    EXPECT_EQ(std::filesystem::path(first_folder).filename().string().rfind("Report", 0), 0u);
    ASSERT_EQ(TXLS_close_book(&second, "SAVE") + TXLS_close_book(&book, "SAVE"), 0);
    for (const char *which : {"one", "two"}) {
        ASSERT_EQ(open(("MODE=READ BOOK=" + folder / (std::string(which) + "/Report.xlsx")).c_str()), 0);
        for (int r = 2; r <= 20; ++r) EXPECT_EQ(value(("A" + std::to_string(r)).c_str()), which + std::to_string(r)) << which << r;
        TXLS_free_book(&book);
    }
}

}  // namespace tabsmith
