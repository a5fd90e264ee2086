// Statement files through TXLS_read_file: options, comment lines, character sets and byte order
// marks, failures and their codes, and the data-source calls that do nothing.

#include <gtest/gtest.h>

#include <string>

#include "common/fixtures.h"

using tabsmith::testing::SheetTest;
using tabsmith::testing::TempFolder;

namespace {

class StatementFile : public SheetTest {
protected:
    int read(const std::string &options) { return TXLS_read_file(&book, options.c_str()); }
    TempFolder dir;
};

}  // namespace

TEST_F(StatementFile, RunsEveryLineSkipsCommentsAndMayPasteDataSources) {
    std::string csv = dir.write("d.csv", "x,y\n");
    std::string path = dir.write("a.txt", "A1=1\r\n! A2=commented\nB1=\"two words\" C1=3\n\nA3.FONT.COLOR=RED\n"
                                          "B2.CSV=\"" + csv + "\"");
    ASSERT_EQ(read("FILE=\"" + path + "\" CHARSET=UTF8"), 0);
    EXPECT_EQ(value("A1") + "|" + value("A2") + "|" + value("B1") + "|" + value("C1"), "1||two words|3");
    EXPECT_EQ(value("B2") + value("C2"), "xy");
    EXPECT_EQ(TXLS_open_datasource(&book, "anything"), 0);
    EXPECT_EQ(TXLS_paste_datasource(&book, nullptr), 0);
    EXPECT_EQ(book.error_code, 0);
}

TEST_F(StatementFile, OptionErrorsMissingFilesAndFailingLines) {
    std::string failing = dir.write("fail.txt", "A1=1\nNOPE.NOPE=2\nA2=3\n");
    std::string too_long = dir.write("long.txt", "B1=1\nB2=\"" + std::string(20000, 'x') + "\"\nB3=3\n");
    struct Case { std::string options; int rc; const char *code; } cases[] = {
        {"CHARSET=UTF8", -3, nullptr}, {"", -3, nullptr}, {"FILE", -3, "TXLS-02303"}, {"FILE x", -3, "TXLS-02303"},
        {"FILE=", -3, nullptr}, {"COLOUR=RED", -3, "TXLS-02200"}, {"FILE=a CHARSET=LATIN1", -3, "TXLS-02200"},
        {"FILE=/" + std::string(300, 'p'), -3, "TXLS-00005"},
        {"FILE=/nonexistent/statements.txt", -101, "TXLS-03100"},
        {"FILE=" + failing, -1, "TXLS-02200"},  // a failing statement stops the reading
        {"FILE=" + too_long, -1, nullptr},      // over-long lines are refused whole
    };
    for (const Case &c : cases) {
        EXPECT_EQ(read(c.options), c.rc) << c.options;
        EXPECT_EQ(book.error_code, c.rc) << c.options;
        if (c.code) {
            EXPECT_NE(message().find(c.code), std::string::npos) << c.options << message();
        }
    }
    EXPECT_EQ(value("A1") + "|" + value("A2") + "|" + value("B1") + "|" + value("B2") + "|" + value("B3"), "1||1||");
}

TEST_F(StatementFile, CharacterSetsByteOrderMarksAndJapaneseKeywords) {
    std::string bom = dir.write("bom.txt", "\xEF\xBB\xBF" "A1=\xE6\x97\xA5\xE6\x9C\xAC\n");
    ASSERT_EQ(read("FILE=" + bom + " CHARSET=SJIS"), 0);  // the mark overrides the character set
    EXPECT_EQ(value("A1"), "日本");
    std::string utf16 = dir.write("utf16.txt", std::string("\xFF\xFE" "A\0" "2\0=\0\xE5\x65", 10));
    ASSERT_EQ(read("FILE=" + utf16), 0);
    EXPECT_EQ(value("A2"), "日");
    std::string sjis = dir.write("sjis.txt", tabsmith::testing::sjis("A3=日本\n"));
    for (const char *name : {"SJIS", "ShiftJIS", "Shift-JIS", "\"Shift JIS\""}) {
        ASSERT_EQ(read("FILE=" + sjis + " CHARSET=" + name), 0) << name;
        EXPECT_EQ(value("A3"), "日本");
    }
    ASSERT_EQ(read("ファイル=" + sjis), 0);  // Shift-JIS is the default
    std::string euc = dir.write("euc.txt", tabsmith::testing::euc("B1=語\n"));
    ASSERT_EQ(read("ファイル=" + euc + " 文字コード=EUC"), 0);
    EXPECT_EQ(value("B1"), "語");
    // A Shift-JIS book gets the file's text in its own character set.
    reopen("SJIS");
    ASSERT_EQ(read("FILE=" + dir.write("u8.txt", "A1=日本\n") + " CHARSET=UTF-8"), 0);
    EXPECT_EQ(tabsmith::to_utf8(value("A1"), tabsmith::kSjis), "日本");
}
