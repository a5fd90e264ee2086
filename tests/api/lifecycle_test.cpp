// The life of a book around its save: where a saved book can be fetched under every memory
// switch, the descending sheet order across failed saves, error codes cleared by calls that do
// nothing, the sheet the first put adds, and the line a failing statement file reports.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "common/fixtures.h"
#include "support/mfile.h"
#include "support/zip_reader.h"

using tabsmith::testing::BookTest;
using tabsmith::testing::TempFolder;

namespace {

namespace fs = std::filesystem;

int entries(const std::string &folder) {
    return static_cast<int>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

std::string memory_file(const std::string &name) {
    const void *bytes = nullptr;
    long size = 0;
    if (TXLS_memory_get(name.c_str(), &bytes, &size) != 0) return {};
    return std::string(static_cast<const char *>(bytes), static_cast<std::size_t>(size));
}

// One part of a package, read with the engine's own reader from a memory file (on_disk 0) or
// a file; empty when any entry of the archive does not read whole (a bad CRC included).
std::string package_part(int on_disk, const std::string &archive, const std::string &part) {
    tabsmith::ZipPackageReader zip;
    if (zip.open(archive, on_disk == 0) != 0) return {};
    std::string text, wanted;
    for (int i = 0; i < static_cast<int>(zip.entries().size()); ++i) {
        if (zip.read(i, text, 1u << 30) != 0) return {};
        if (zip.entries()[static_cast<std::size_t>(i)].name == part) wanted = std::move(text);
    }
    return wanted;
}

std::vector<std::string> sheet_names(const std::string &workbook_part) {
    std::vector<std::string> names;
    static const std::regex sheet("<sheet name=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(workbook_part.begin(), workbook_part.end(), sheet); it != std::sregex_iterator();
         ++it)
        names.push_back((*it)[1]);
    return names;
}

class SavedBookLifecycle : public BookTest {
protected:
    void TearDown() override {
        orv_zip_on_memory(1);
        tabsmith::mclose_all();
        BookTest::TearDown();
    }
    std::string sheet_name(int index) {
        char out[64] = "";
        TXLS_sheet_name(&book, index, out, sizeof out);
        return out;
    }
    TempFolder dir;
};

}  // namespace

// WRITE_MEMORY x orv_zip_on_memory x the MEMORY close option: a save that returns 0 leaves the
// workbook where its caller fetches it, and only a disk save writes to the disk.
TEST_F(SavedBookLifecycle, EveryMemorySwitchLeavesTheSavedBookWhereItsCallerLooks) {
    const std::string name = dir / "book.xlsx";
    for (bool write_memory : {false, true}) {
        for (int route : {1, 0}) {
            for (bool memory_option : {false, true}) {
                SCOPED_TRACE(std::string("WRITE_MEMORY=") + (write_memory ? "TRUE" : "FALSE") +
                             " orv_zip_on_memory(" + std::to_string(route) + ") " +
                             (memory_option ? "MEMORY=other.xlsx" : "SAVE"));
                ASSERT_EQ(open(("MODE=CREATE BOOK=\"" + name + "\"" + (write_memory ? " WRITE_MEMORY=TRUE" : "")).c_str()), 0);
                ASSERT_EQ(TXLS_put_cell(&book, "A1", "switched"), 0);
                orv_zip_on_memory(route);
                const int rc = TXLS_close_book(&book, memory_option ? "SAVE MEMORY=\"other.xlsx\"" : "SAVE");
                orv_zip_on_memory(1);
                ASSERT_EQ(rc, 0) << message();
                EXPECT_EQ(book.work, nullptr);

                const bool to_disk = !memory_option && !write_memory && route != 0;
                const std::string fetched = memory_option ? "other.xlsx" : name;
                if (to_disk) {
                    EXPECT_EQ(entries(dir.path()), 1);
                    EXPECT_EQ(memory_file(name), "");
                    EXPECT_NE(package_part(1, name, "xl/sharedStrings.xml").find("switched"), std::string::npos);
                } else {
                    EXPECT_EQ(entries(dir.path()), 0);  // nothing on the disk
                    EXPECT_EQ(memory_file(fetched).rfind("PK\x03\x04", 0), 0u);
                    EXPECT_NE(package_part(0, fetched, "xl/sharedStrings.xml").find("switched"), std::string::npos);
                }
                fs::remove(name);
                tabsmith::mclose_all();
            }
        }
    }
}

// A, B, C saved with SHEET.ORDER=DESC come out C, B, A, also after saves that failed: a failed
// save puts the book's own order back.
TEST_F(SavedBookLifecycle, DescendingSheetOrderSurvivesFailedSaves) {
    for (int failures : {0, 1, 2}) {
        SCOPED_TRACE(std::to_string(failures) + " failed saves first");
        ASSERT_EQ(open(("MODE=CREATE BOOK=\"" + (dir / "desc.xlsx") + "\"").c_str()), 0);
        for (const char *sheet : {"A", "B", "C"}) {
            ASSERT_EQ(TXLS_open_sheet(&book, (std::string("SHEET_NAME=") + sheet).c_str()), 0);
            ASSERT_EQ(TXLS_put_cell(&book, "A1", sheet), 0);
        }
        ASSERT_EQ(TXLS_put_values(&book, "SHEET.ORDER=DESC"), 0) << message();
        const std::string file_name = store().file_name;
        store().file_name = dir / "missing/desc.xlsx";
        for (int k = 0; k < failures; ++k) {
            ASSERT_EQ(TXLS_close_book(&book, "SAVE"), -103);
            EXPECT_EQ(sheet_name(0) + sheet_name(1) + sheet_name(2), "ABC");
            EXPECT_EQ(value("A1"), "C");  // C is still the current sheet
        }
        store().file_name = file_name;
        ASSERT_EQ(TXLS_close_book(&book, "SAVE MEMORY=\"desc.xlsx\""), 0) << message();
        EXPECT_EQ(sheet_names(package_part(0, "desc.xlsx", "xl/workbook.xml")),
                  (std::vector<std::string>{"C", "B", "A"}));
        EXPECT_EQ(entries(dir.path()), 0);
        tabsmith::mclose_all();
    }
}

// Pictures and charts stay on their sheet when a descending order reverses the sheet table.
TEST_F(SavedBookLifecycle, DrawingObjectsMoveWithTheirSheetInDescendingOrder) {
    ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8 BOOK=drawn"), 0);
    for (const char *sheet : {"A", "B", "C"})
        ASSERT_EQ(TXLS_open_sheet(&book, (std::string("SHEET_NAME=") + sheet).c_str()), 0);
    ASSERT_EQ(TXLS_put_values(&book, "SHEET=A A1=x B1=1 A2=y B2=2 A1:B2.CHART=PIE SHEET.ORDER=DESC"), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE MEMORY=\"drawn.xlsx\""), 0) << message();
    EXPECT_EQ(sheet_names(package_part(0, "drawn.xlsx", "xl/workbook.xml")), (std::vector<std::string>{"C", "B", "A"}));
    EXPECT_EQ(package_part(0, "drawn.xlsx", "xl/worksheets/sheet1.xml").find("<drawing"), std::string::npos);
    EXPECT_NE(package_part(0, "drawn.xlsx", "xl/worksheets/sheet3.xml").find("<drawing"), std::string::npos);
    EXPECT_NE(package_part(0, "drawn.xlsx", "xl/charts/chart1.xml").find("<c:v>2</c:v>"), std::string::npos);
    tabsmith::mclose_all();
}

// Calls that accept anything and do nothing still start from a clean error code.
TEST_F(SavedBookLifecycle, NoOpCallsClearAnEarlierErrorCode) {
    struct Call {
        const char *name;
        std::function<int(XLS_BOOK &)> call;
    };
    const std::vector<Call> calls = {
        {"TXLS_set_property", [](XLS_BOOK &b) { return TXLS_set_property(&b, "ANY", "thing"); }},
        {"TXLS_set_property (NULLs)", [](XLS_BOOK &b) { return TXLS_set_property(&b, nullptr, nullptr); }},
        {"TXLS_open_datasource", [](XLS_BOOK &b) { return TXLS_open_datasource(&b, "x"); }},
        {"TXLS_paste_datasource", [](XLS_BOOK &b) { return TXLS_paste_datasource(&b, "x"); }},
        {"TXLS_close_datasource", [](XLS_BOOK &b) { return TXLS_close_datasource(&b); }},
        {"TXLS_version", [](XLS_BOOK &b) {
             char out[64];
             return TXLS_version(&b, out, sizeof out);
         }},
    };
    ASSERT_EQ(open("MODE=CREATE BOOK=never_saved"), 0);
    for (const Call &c : calls) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(TXLS_put_cell(&book, "not a cell", "x"), -3);
        ASSERT_EQ(TXLS_error_code(&book), -3);
        EXPECT_EQ(c.call(book), 0);
        EXPECT_EQ(TXLS_error_code(&book), 0);
    }
}

// The first value put into a book without sheets adds Sheet1 and makes it current, whichever
// way the value arrives.
TEST_F(SavedBookLifecycle, TheFirstPutIntoABookWithoutSheetsAddsSheet1) {
    const std::string csv = dir.write("first.csv", "from csv,2\n");
    struct Way {
        const char *name;
        std::function<int(XLS_BOOK &)> put;
        const char *a1;
    };
    const std::vector<Way> ways = {
        {"TXLS_put_cell", [](XLS_BOOK &b) { return TXLS_put_cell(&b, "A1", "from put"); }, "from put"},
        {"TXLS_put_values", [](XLS_BOOK &b) { return TXLS_put_values(&b, "A1=1"); }, "1"},
        {"CSV paste", [&](XLS_BOOK &b) { return TXLS_put_values(&b, ("A1.CSV=\"" + csv + "\"").c_str()); },
         "from csv"},
    };
    for (const Way &way : ways) {
        SCOPED_TRACE(way.name);
        ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8 BOOK=never_saved"), 0);
        ASSERT_EQ(TXLS_sheet_num(&book), 0);
        ASSERT_EQ(way.put(book), 0) << message();
        EXPECT_EQ(TXLS_sheet_num(&book), 1);
        EXPECT_EQ(sheet_name(0), "Sheet1");
        EXPECT_EQ(store().current_sheet, 0);
        EXPECT_EQ(value("A1"), way.a1);
        TXLS_free_book(&book);
    }
}

// The line of a failing statement file stays readable until the next call that succeeds.
TEST_F(SavedBookLifecycle, ErrorLineNamesTheFailingStatementUntilTheNextCall) {
    const std::string statements = dir.write("statements.txt", "A1=1\n\nA2=2\nNOPE.NOPE=3\nA4=4\n");
    ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8 BOOK=never_saved"), 0);
    EXPECT_EQ(TXLS_error_line(&book), 0);
    EXPECT_EQ(TXLS_read_file(&book, ("FILE=\"" + statements + "\" CHARSET=UTF8").c_str()), -1);
    EXPECT_EQ(TXLS_error_line(&book), 4);
    EXPECT_EQ(TXLS_error_line(&book), 4);  // reading it changes nothing
    EXPECT_EQ(TXLS_put_cell(&book, "B1", "next"), 0);
    EXPECT_EQ(TXLS_error_line(&book), 0);
    // A failure that is not inside a statement file has no line.
    EXPECT_EQ(TXLS_read_file(&book, ("FILE=\"" + statements + "\" CHARSET=UTF8").c_str()), -1);
    EXPECT_EQ(TXLS_error_line(&book), 4);
    EXPECT_EQ(TXLS_put_cell(&book, "not a cell", "x"), -3);
    EXPECT_EQ(TXLS_error_line(&book), 0);
    // The calls that do nothing still start afresh.
    EXPECT_EQ(TXLS_read_file(&book, ("FILE=\"" + statements + "\" CHARSET=UTF8").c_str()), -1);
    EXPECT_EQ(TXLS_set_property(&book, "A1", "1"), 0);
    EXPECT_EQ(TXLS_error_line(&book), 0);
}
