// Row streaming: which rows TXLS_write_row takes out of memory, the record it writes, the
// private folder of the temporary files, and a saved book that holds every streamed row.

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

class RowStreamTest : public BookTest {
protected:
    void open_streaming(int after, const std::string &name = "") {
        TXLS_free_book(&book);
        std::string options = "MODE=CREATE CHARSET=UTF8 STREAM_AFTER=" + std::to_string(after);
        if (!name.empty()) options += " BOOK=" + name;
        ASSERT_EQ(open(options.c_str()), 0) << message();
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet1"), 0);
    }
    const SheetRowFile *row_file() { return store().sheets[0]->row_file.get(); }
    TempFolder folder;
};

TEST_F(RowStreamTest, ThresholdZeroStreamsNothing) {
    open_streaming(0);
    ASSERT_EQ(TXLS_put_values(&book, "A1=kept"), 0);
    EXPECT_EQ(TXLS_write_row(&book, 1), 0);
    // Nothing happens before the row number is looked at.
    EXPECT_EQ(TXLS_write_row(&book, 1048577), 0);
    EXPECT_EQ(value("A1"), "kept");
    EXPECT_EQ(row_file(), nullptr);
    EXPECT_EQ(store().streamed, nullptr);
}

TEST_F(RowStreamTest, ThresholdMustBeARowCount) {
    for (const char *bad : {"STREAM_AFTER=abc", "STREAM_AFTER=-1", "STREAM_AFTER=1048577"}) {
        TXLS_free_book(&book);
        EXPECT_EQ(open(bad), TXLS_ERR_ARGUMENT) << bad;
        EXPECT_NE(message().find("TXLS-02200"), std::string::npos) << bad;
    }
}

TEST_F(RowStreamTest, RowsUpToTheThresholdStay) {
    open_streaming(5);
    for (int r = 1; r <= 6; ++r) ASSERT_EQ(TXLS_put_values(&book, ("A" + std::to_string(r) + "=" + std::to_string(r * 10)).c_str()), 0);
    for (int r = 1; r <= 6; ++r) EXPECT_EQ(TXLS_write_row(&book, r), 0) << r;
    for (int r = 1; r <= 5; ++r) EXPECT_EQ(value(("A" + std::to_string(r)).c_str()), std::to_string(r * 10));
    EXPECT_EQ(value("A6"), "");
    ASSERT_NE(row_file(), nullptr);
    EXPECT_EQ(std::filesystem::path(row_file()->path).filename(), "Sheet1.tmp");
    EXPECT_EQ(std::filesystem::path(row_file()->path).parent_path(), store().streamed->folder);
    ASSERT_EQ(row_file()->rows.size(), 1u);
    EXPECT_EQ(row_file()->rows[0].row, 5);
    EXPECT_TRUE(std::filesystem::exists(store().streamed->folder + "/SST.tmp"));
    // Streaming leaves formulas to be computed on opening.
    EXPECT_FALSE(store().settings.recalc);
}

TEST_F(RowStreamTest, RowNumbersOutsideTheSheet) {
    open_streaming(5);
    EXPECT_EQ(TXLS_write_row(&book, 1048577), TXLS_ERR_ARGUMENT);
    EXPECT_EQ(book.error_code, TXLS_ERR_ARGUMENT);
    EXPECT_EQ(TXLS_write_row(&book, 0), 0);   // not above the threshold
    EXPECT_EQ(TXLS_write_row(&book, 1048576), 0);   // an empty row: a record of no slots
    ASSERT_NE(row_file(), nullptr);
    std::fflush(row_file()->file);
    EXPECT_EQ(file_bytes(row_file()->path), std::string(4, '\0'));
}

TEST_F(RowStreamTest, RecordOfATextAndAnInteger) {
    open_streaming(5);
    ASSERT_EQ(TXLS_put_values(&book, "A6=ab B6=7"), 0);
    ASSERT_EQ(TXLS_write_row(&book, 6), 0);
    std::fflush(row_file()->file);
    const std::string bytes = file_bytes(row_file()->path);
    // count 2; text: kind 41, style 0, string 0, length 2, "ab"; integer: kind 11, 7, length 1, "7".
    const std::string expected = std::string("\x02\0\0\0", 4) +
                                 std::string("\x29\0\0\0" "\0\0\0\0" "\0\0\0\0" "\x02\0\0\0", 16) + "ab" +
                                 std::string("\x0b\0\0\0" "\x07\0\0\0" "\0\0\0\0" "\x01\0\0\0", 16) + "7";
    EXPECT_EQ(bytes, expected);
    std::vector<Cell> cells;
    ASSERT_EQ(decode_row_record(bytes, cells), bytes.size());
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0].kind, kCellString);
    EXPECT_EQ(cells[1].kind, kCellInteger);
    EXPECT_EQ(cells[1].integer(), 7);
    EXPECT_EQ(decode_row_record(bytes.substr(0, bytes.size() - 1), cells), 0u);
}

TEST_F(RowStreamTest, SavedBookHoldsEveryRow) {
    const std::string path = folder / "streamed.xlsx";
    open_streaming(2, path);
    ASSERT_EQ(TXLS_put_values(&book, "A1=head B1=2 C1=\"=B1*2\" A2=second"), 0);
    // Rows 3..40 streamed one by one as they are filled; row 20 is streamed before row 19 and
    // row 30 twice (the second time with a new cell on top).
    for (int r = 3; r <= 40; ++r) {
        const std::string n = std::to_string(r);
        ASSERT_EQ(TXLS_put_values(&book, ("A" + n + "=text" + n + " B" + n + "=" + n + " C" + n + "=2.5 D" + n +
                                          "=2024/01/15 E" + n + "=\"=B" + n + "*2\" B" + n + ".FONT.STYLE=BOLD")
                                             .c_str()),
                  0)
            << message();
        if (r == 19) continue;
        ASSERT_EQ(TXLS_write_row(&book, r), 0) << r;
        if (r == 20) ASSERT_EQ(TXLS_write_row(&book, 19), 0);
    }
    ASSERT_EQ(TXLS_put_values(&book, "F30=late"), 0);
    ASSERT_EQ(TXLS_write_row(&book, 30), 0);
    ASSERT_EQ(TXLS_put_values(&book, "G30=memory"), 0);
    const std::string streaming_folder = store().streamed->folder;
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    EXPECT_FALSE(std::filesystem::exists(streaming_folder));

    ASSERT_EQ(open(("MODE=READ CHARSET=UTF8 BOOK=" + path).c_str()), 0) << message();
    EXPECT_EQ(value("A1"), "head");
    EXPECT_EQ(value("A2"), "second");
    // Formulas come back without values: they are computed on opening.
    auto formula = [&](int row, int column) {
        const Cell *cell = find_cell(store(), 0, row, column);
        return cell && cell->formula() ? *cell->formula() + (cell->kind == kCellFormula ? "" : " (with a value)")
                                       : std::string("(none)");
    };
    EXPECT_EQ(formula(0, 2), "B1*2");
    for (int r = 3; r <= 40; ++r) {
        const std::string n = std::to_string(r);
        EXPECT_EQ(value(("A" + n).c_str()), "text" + n) << r;
        EXPECT_EQ(value(("B" + n).c_str()), n) << r;
        EXPECT_EQ(value(("C" + n).c_str()), "2.5") << r;
        EXPECT_EQ(kind(("D" + n).c_str()), "DATE") << r;
        EXPECT_EQ(formula(r - 1, 4), "B" + n + "*2") << r;
        const Cell *cell = find_cell(store(), 0, r - 1, 1);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(store().styles.fonts()[store().styles.xfs()[cell->style - 1u].font].style & kFontBold, kFontBold) << r;
    }
    EXPECT_EQ(value("F30"), "late");
    EXPECT_EQ(value("G30"), "memory");
}

TEST_F(RowStreamTest, FolderGoesWhenTheBookIsFreed) {
    open_streaming(1);
    ASSERT_EQ(TXLS_put_values(&book, "A2=x"), 0);
    ASSERT_EQ(TXLS_write_row(&book, 2), 0);
    const std::string streaming_folder = store().streamed->folder;
    EXPECT_TRUE(std::filesystem::is_directory(streaming_folder));
    TXLS_free_book(&book);
    EXPECT_FALSE(std::filesystem::exists(streaming_folder));
}

TEST_F(RowStreamTest, TwoBooksOfOneNameStreamApart) {
    std::filesystem::create_directories(folder / "one");
    std::filesystem::create_directories(folder / "two");
    XLS_BOOK second{};
    open_streaming(1, folder / "one/Report.xlsx");
    ASSERT_EQ(TXLS_open_book(&second, ("MODE=CREATE STREAM_AFTER=1 BOOK=" + folder / "two/Report.xlsx").c_str()), 0);
    ASSERT_EQ(TXLS_open_sheet(&second, "SHEET_NAME=Sheet1"), 0);
    for (int r = 2; r <= 20; ++r) {
        const std::string n = std::to_string(r);
        ASSERT_EQ(TXLS_put_values(&book, ("A" + n + "=one" + n).c_str()), 0);
        ASSERT_EQ(TXLS_put_values(&second, ("A" + n + "=two" + n).c_str()), 0);
        ASSERT_EQ(TXLS_write_row(&book, r), 0);
        ASSERT_EQ(TXLS_write_row(&second, r), 0);
    }
    const std::string first_folder = store().streamed->folder;
    const std::string second_folder = static_cast<Book *>(second.work)->streamed->folder;
    EXPECT_NE(first_folder, second_folder);
    EXPECT_EQ(std::filesystem::path(first_folder).filename().string().rfind("Report", 0), 0u);
    ASSERT_EQ(TXLS_close_book(&second, "SAVE"), 0);
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0);
    for (const char *which : {"one", "two"}) {
        ASSERT_EQ(open(("MODE=READ BOOK=" + folder / (std::string(which) + "/Report.xlsx")).c_str()), 0);
        for (int r = 2; r <= 20; ++r)
            EXPECT_EQ(value(("A" + std::to_string(r)).c_str()), which + std::to_string(r)) << which << r;
        TXLS_free_book(&book);
    }
}

}  // namespace
}  // namespace tabsmith
