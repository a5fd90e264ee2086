// Statement files through TXLS_read_file: options, comment lines, character sets and byte order
// marks, failures and their codes, and the data-source calls that do nothing.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "support/fixtures.h"

using tabsmith::testing::BookTest;

namespace {

std::string write_file(const std::string &name, const std::string &bytes) {
    auto dir = std::filesystem::temp_directory_path() / ("tabsmith_stmt_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

class StatementFile : public BookTest {
protected:
    void SetUp() override { start("UTF8"); }
    void start(const char *charset) {
        ASSERT_EQ(open((std::string("MODE=CREATE CHARSET=") + charset).c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet1"), 0);
    }
    int read(const std::string &options) { return TXLS_read_file(&book, options.c_str()); }
};

}  // namespace

TEST_F(StatementFile, RunsEveryLineAndSkipsComments) {
    std::string path = write_file("a.txt", "A1=1\r\n! A2=commented\nB1=\"two words\" C1=3\n\nA3.FONT.COLOR=RED");
    ASSERT_EQ(read("FILE=\"" + path + "\" CHARSET=UTF8"), 0);
    EXPECT_EQ(value("A1"), "1");
    EXPECT_EQ(value("A2"), "");
    EXPECT_EQ(value("B1"), "two words");
    EXPECT_EQ(value("C1"), "3");
}

TEST_F(StatementFile, OptionErrors) {
    struct Case {
        std::string options;
        int rc;
        const char *message;
    } cases[] = {
        {"CHARSET=UTF8", -3, nullptr},
        {"", -3, nullptr},
        {"FILE", -3, "TXLS-02303"},
        {"FILE x", -3, "TXLS-02303"},
        {"FILE=", -3, nullptr},
        {"COLOUR=RED", -3, "TXLS-02200"},
        {"FILE=a CHARSET=LATIN1", -3, "TXLS-02200"},
        {"FILE=/" + std::string(300, 'p'), -3, "TXLS-00005"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(read(c.options), c.rc) << c.options;
        EXPECT_EQ(book.error_code, c.rc) << c.options;
        if (c.message) {
            EXPECT_NE(message().find(c.message), std::string::npos) << c.options << message();
        }
    }
    EXPECT_EQ(TXLS_read_file(&book, nullptr), -3);
    EXPECT_EQ(TXLS_read_file(nullptr, "FILE=x"), -3);
}

TEST_F(StatementFile, MissingFile) {
    EXPECT_EQ(read("FILE=/nonexistent/statements.txt"), -101);
    EXPECT_NE(message().find("TXLS-03100"), std::string::npos);
    EXPECT_EQ(book.error_code, -101);
}

TEST_F(StatementFile, ByteOrderMarkOverridesTheCharset) {
    std::string path = write_file("bom.txt", "\xEF\xBB\xBF" "A1=\xE6\x97\xA5\xE6\x9C\xAC\n");
    ASSERT_EQ(read("FILE=" + path + " CHARSET=SJIS"), 0);
    EXPECT_EQ(value("A1"), "日本");
    std::string utf16 = write_file("utf16.txt", std::string("\xFF\xFE" "A\0" "2\0=\0\xE5\x65", 10));
    ASSERT_EQ(read("FILE=" + utf16), 0);
    EXPECT_EQ(value("A2"), "日");
}

TEST_F(StatementFile, CharsetNamesAndJapaneseKeywords) {
    std::string sjis = write_file("sjis.txt", tabsmith::testing::sjis("A1=日本\n"));
    for (const char *name : {"SJIS", "ShiftJIS", "Shift-JIS", "\"Shift JIS\""}) {
        ASSERT_EQ(read("FILE=" + sjis + " CHARSET=" + name), 0) << name;
        EXPECT_EQ(value("A1"), "日本");
    }
    ASSERT_EQ(read("ファイル=" + sjis), 0);  // Shift-JIS is the default
    EXPECT_EQ(value("A1"), "日本");
    std::string euc = write_file("euc.txt", tabsmith::testing::euc("B1=語\n"));
    ASSERT_EQ(read("ファイル=" + euc + " 文字コード=EUC"), 0);
    EXPECT_EQ(value("B1"), "語");
}

TEST_F(StatementFile, AShiftJisBookGetsItsOwnCharacterSet) {
    TearDown();
    book = XLS_BOOK{};
    start("SJIS");
    std::string path = write_file("u8.txt", "A1=日本\n");
    ASSERT_EQ(read("FILE=" + path + " CHARSET=UTF-8"), 0);
    EXPECT_EQ(tabsmith::to_utf8(value("A1"), tabsmith::kSjis), "日本");
}

TEST_F(StatementFile, AFailingStatementStopsTheReading) {
    std::string path = write_file("fail.txt", "A1=1\nNOPE.NOPE=2\nA2=3\n");
    EXPECT_EQ(read("FILE=" + path), -1);
    EXPECT_EQ(book.error_code, -1);
    EXPECT_NE(message().find("TXLS-02200"), std::string::npos);
    EXPECT_EQ(value("A1"), "1");
    EXPECT_EQ(value("A2"), "");
}

TEST_F(StatementFile, OverLongLinesAreRefusedWhole) {
    std::string path = write_file("long.txt", "A1=1\nA2=\"" + std::string(20000, 'x') + "\"\nA3=3\n");
    EXPECT_EQ(read("FILE=" + path), -1);
    EXPECT_EQ(value("A1"), "1");
    EXPECT_EQ(value("A2"), "");
    EXPECT_EQ(value("A3"), "");
}

TEST_F(StatementFile, StatementsMayPasteDataSources) {
    std::string csv = write_file("d.csv", "x,y\n");
    std::string path = write_file("paste.txt", "B2.CSV=\"" + csv + "\"\n");
    ASSERT_EQ(read("FILE=" + path), 0);
    EXPECT_EQ(value("B2"), "x");
    EXPECT_EQ(value("C2"), "y");
}

TEST_F(StatementFile, DataSourceCallsDoNothing) {
    EXPECT_EQ(TXLS_open_datasource(&book, "anything"), 0);
    EXPECT_EQ(TXLS_paste_datasource(&book, nullptr), 0);
    EXPECT_EQ(TXLS_close_datasource(nullptr), 0);
    EXPECT_EQ(book.error_code, 0);
}
