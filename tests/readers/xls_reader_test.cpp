// Reading legacy .xls workbooks made record by record: value records and their forms, shared
// strings across continuations, formats and dates, limits, and files refused with a message.
#include <gtest/gtest.h>

#include <cstring>

#include "common/compound_builder.h"
#include "common/fixtures.h"

namespace tabsmith::testing {
namespace {

std::string le16(std::uint16_t v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string le32(std::uint32_t v) { return le16(v & 0xFFFF) + le16(v >> 16); }
std::string record(std::uint16_t id, const std::string &data) { return le16(id) + le16(std::uint16_t(data.size())) + data; }
std::string cell_head(int row, int column, int xf = 0) { return le16(row) + le16(column) + le16(xf); }
std::string f64(double value) {
    std::string out(8, '\0');
    std::memcpy(out.data(), &value, 8);
    return out;
}
// A compressed (8-bit) BIFF8 string with a 16-bit count.
std::string text16(const std::string &latin) { return le16(std::uint16_t(latin.size())) + '\0' + latin; }

// A workbook stream: globals (formats, XFs, shared strings and the given extra records), then
// one worksheet holding `cells`.
struct XlsBook {
    std::string globals;      // FORMAT, SST... records between the BOF and the sheet list
    std::string cells;        // the worksheet's cell records
    std::uint16_t version = 0x0600;
    std::uint16_t bof_id = 0x0809;
    std::string sheet_name = "Data";
    std::vector<std::uint16_t> xf_formats = {0, 14, 164, 0x31, 10};   // XF 0.. -> number-format id

    std::string stream() const {
        std::string head = record(bof_id, le16(version) + le16(0x0005) + std::string(12, '\0'));
        head += globals;
        for (std::uint16_t format : xf_formats)
            head += record(0x00E0, le16(0) + le16(format) + std::string(16, '\0'));
        // One worksheet: position, visible, worksheet, then its short name.
        auto list_record = [this](std::uint32_t at) {
            std::string name = char(sheet_name.size()) + std::string(1, '\0') + sheet_name;
            return record(0x0085, le32(at) + '\0' + '\0' + name);
        };
        std::string globals_end = record(0x000A, "");
        std::size_t sheet_at = head.size() + list_record(0).size() + globals_end.size();
        std::string list = list_record(std::uint32_t(sheet_at));
        std::string sheet = record(0x0809, le16(version) + le16(0x0010) + std::string(12, '\0')) + cells + record(0x000A, "");
        return head + list + globals_end + sheet;
    }
    std::string file() const {
        CompoundLayout layout;
        layout.entries.push_back({u"Workbook", stream()});
        return build_compound(layout).bytes;
    }
};

class XlsReaderTest : public BookTest {
protected:
    int open_xls(const std::string &bytes, const std::string &mode = "READ") {
        std::string path = folder.write("book.xls", bytes);
        return open(("CHARSET=UTF8 MODE=" + mode + " BOOK=\"" + path + "\"").c_str());
    }
    TempFolder folder;
};

// Each row's record makes the cell named (an empty record: a cell the row before made too).
TEST_F(XlsReaderTest, ValueRecordsAndTheirForms) {
    const struct {
        std::string record;
        const char *cell, *value, *kind, *why;
    } cells[] = {
        {record(0x0203, cell_head(0, 0) + f64(2.5)), "A1", "2.5", "FLOAT", "NUMBER"},
        {record(0x027E, cell_head(0, 1) + le32(12345u << 2 | 3)), "B1", "123.45", "FLOAT", "RK 12345 / 100"},
        {record(0x027E, cell_head(0, 2) + le32(static_cast<std::uint32_t>(-5) << 2 | 2)), "C1", "-5", "INTEGER", "RK"},
        {record(0x0203, cell_head(0, 3, 1) + f64(45000)), "D1", "2023/3/15", "DATE", "format 14"},
        {record(0x0203, cell_head(0, 4, 2) + f64(45000)), "E1", "2023/3/15", "DATE", "a FORMAT record's date code"},
        {record(0x0203, cell_head(0, 5, 3) + f64(7)), "F1", "7", "INTEGER", "format 49 is text, not time"},
        {record(0x00FD, cell_head(1, 0) + le32(0)), "A2", "alpha", "CHARACTER", "LABELSST"},
        {record(0x00FD, cell_head(1, 1) + le32(1)), "B2", "bravo\xC3\xA9", "CHARACTER", "split by a CONTINUE, then 16-bit"},
        {record(0x00FD, cell_head(1, 2) + le32(2)), "C2", "gamma", "CHARACTER", "after the CONTINUE"},
        {record(0x00BD, le16(2) + le16(0) + le16(0) + le32((7u << 2) | 2) + le16(0) + le32((8u << 2) | 2) + le16(1)), "A3", "7",
         "INTEGER", "MULRK"},
        {"", "B3", "8", "INTEGER", "MULRK"},
        {record(0x0205, cell_head(3, 0) + '\x01' + '\0'), "A4", "TRUE", "BOOLEAN", "BOOLERR"},
        {record(0x0205, cell_head(3, 1) + '\x07' + '\x01'), "B4", "#DIV/0!", "ERROR", "BOOLERR"},
        // A formula with a text result: the text comes in the STRING record after it.
        {record(0x0006, cell_head(4, 0) + std::string{'\0', '\0', '\0', '\0', '\0', '\0', '\xFF', '\xFF'} + std::string(6, '\0')) +
             record(0x0207, text16("result")),
         "A5", "result", "CHARACTER", "FORMULA and STRING"},
        {record(0x0006, cell_head(4, 1) + f64(42) + std::string(6, '\0')), "B5", "42", "INTEGER", "FORMULA"},
        {record(0x0204, cell_head(5, 0) + text16("label")), "A6", "label", "CHARACTER", "LABEL"},
    };
    XlsBook records;
    std::string sst = le32(3) + le32(3) + text16("alpha") + le16(6) + '\0' + "bra";
    std::string rest = std::string(1, '\x01') + std::string("v\0o\0\xE9\0", 6) + text16("gamma");
    records.globals = record(0x041E, le16(164) + text16("yyyy/mm/dd")) + record(0x00FC, sst) + record(0x003C, rest);
    for (const auto &c : cells) records.cells += c.record;
    ASSERT_EQ(open_xls(records.file()), 0) << message();
    for (const auto &c : cells) EXPECT_EQ(get(c.cell), (std::pair<std::string, std::string>{c.value, c.kind})) << c.cell << ": " << c.why;
    EXPECT_EQ(TXLS_row_num(&book), 6);
}

TEST_F(XlsReaderTest, RefusedFilesNameTheirReason) {
    XlsBook protected_book;
    protected_book.globals = record(0x002F, le16(0) + le16(1));
    XlsBook biff4_book;
    biff4_book.bof_id = 0x0409;
    biff4_book.version = 0x0000;
    XlsBook old_version;
    old_version.version = 0x0400;
    XlsBook past_table;
    past_table.globals = record(0x00FC, le32(1) + le32(1) + text16("one"));
    past_table.cells = record(0x00FD, cell_head(0, 0) + le32(1));
    XlsBook too_many_formats;
    for (int k = 0; k < 501; ++k)
        too_many_formats.globals += record(0x041E, le16(200 + k) + le16(3) + '\0' + "0.0");
    struct Case {
        const char *what;
        std::string bytes;
        int rc;
        const char *text;
    } cases[] = {
        {"FILEPASS", protected_book.file(), -910, "FILEPASS"},
        {"BIFF4 BOF", biff4_book.file(), -910, "古い形式(BIFF2-4)"},
        {"BOF version below BIFF5", old_version.file(), -910, "古い形式(BIFF2-4)"},
        {"shared string past the table", past_table.file(), -1, "BIFF_LABELSST sst"},
        {"the 501st FORMAT", too_many_formats.file(), -1, "TSX_MAX_NUMFORMAT"},
        {"truncated stream", XlsBook{}.file().substr(0, 1200), -1, "TXLS-03110"},
        {"byte order FF FE", XlsBook{}.file().replace(28, 2, "\xFF\xFE"), -1, "TXLS-03110"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(open_xls(c.bytes), c.rc) << c.what;
        EXPECT_NE(message().find(c.text), std::string::npos) << c.what << ": " << message();
        EXPECT_EQ(book.work, nullptr) << c.what;
    }
}

// One sheet in every mode and form: A1 is a date-time by its format, B1 a plain number.
TEST_F(XlsReaderTest, ModesAndForms) {
    XlsBook sheet;
    sheet.cells = record(0x0203, cell_head(0, 0, 1) + f64(45000.5)) + record(0x0203, cell_head(0, 1, 0) + f64(1234.5));
    const std::string bytes = sheet.file();
    ASSERT_EQ(TXLS_memory_put("book.xls", bytes.data(), static_cast<long>(bytes.size())), 0);
    CompoundLayout large_sectors;
    large_sectors.shift = 12;
    large_sectors.entries.push_back({u"Workbook", sheet.stream()});
    const std::string path = folder.write("book.xls", bytes), large = folder.write("large.xls", build_compound(large_sectors).bytes);
    const struct {
        std::string options;
        const char *cells;  // A1 and B1 as "value|kind value|kind"
    } modes[] = {
        {"MODE=UNLOAD BOOK=\"" + path + "\"", "2023/3/15|DATE_TIME 1234.5|FLOAT"},  // rendered through the cell's format
        {"MODE=READ READ_MEMORY=TRUE BOOK=book.xls", "2023/3/15 12:00|DATE_TIME 1234.5|FLOAT"},
        {"MODE=READ BOOK=\"" + large + "\"", "2023/3/15 12:00|DATE_TIME 1234.5|FLOAT"},  // 4096-byte sectors read the same
        {"MODE=LIST BOOK=\"" + path + "\"", "2023/3/15 12:00|DATE_TIME 1234.5|FLOAT"},
    };
    for (const auto &mode : modes) {
        ASSERT_EQ(open(("CHARSET=UTF8 " + mode.options).c_str()), 0) << mode.options << ": " << message();
        EXPECT_EQ(TXLS_sheet_num(&book), 1);
        EXPECT_EQ(value("A1") + "|" + kind("A1") + " " + value("B1") + "|" + kind("B1"), mode.cells) << mode.options;
    }
    ASSERT_EQ(open(("CHARSET=UTF8 MODE=UPDATE BOOK=\"" + path + "\"").c_str()), 0) << message();
    EXPECT_EQ(TXLS_close_book(&book, "SAVE"), -4);
    EXPECT_NE(message().find("read only"), std::string::npos) << message();
}

}  // namespace
}  // namespace tabsmith::testing
