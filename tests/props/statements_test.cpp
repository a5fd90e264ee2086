// The statement loop through TXLS_put_values: tokens and equals signs, cell values against
// properties, sheet prefixes, template-mode refusals, error codes and messages, and the help text.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "api/api.h"
#include "cells/values.h"
#include "props/statements.h"
#include "support/fixtures.h"
#include "support/scanner.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;

namespace {

class Statements : public BookTest {
protected:
    void SetUp() override { start("UTF8"); }
    void start(const char *charset) {
        ASSERT_EQ(open((std::string("MODE=CREATE CHARSET=") + charset).c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet1"), 0);
    }
    Book &store() { return *book_of(&book); }
    int put(const std::string &text) { return TXLS_put_values(&book, text.c_str()); }
    const Sheet &sheet(const char *name) { return *store().sheet(find_sheet(store(), name)); }
    std::string value_in(const char *sheet_name, const char *cell) {
        return value((std::string(sheet_name) + "!" + cell).c_str());
    }
};

}  // namespace

TEST_F(Statements, EmptyTextsDoNothing) {
    EXPECT_EQ(TXLS_put_values(&book, nullptr), 0);
    EXPECT_EQ(put(""), 0);
    EXPECT_EQ(put(" \t\r\n "), 0);
    EXPECT_EQ(store().sheets[0]->rows_used, 0);
    EXPECT_EQ(TXLS_put_values(nullptr, "A1=1"), -3);
}

TEST_F(Statements, CellValuesAndTheirSpacing) {
    EXPECT_EQ(put("A1 = 5"), 0);
    EXPECT_EQ(value("A1"), "5");
    EXPECT_EQ(put("A2=6 A3 =7\r\nA4= 8;"), 0);
    EXPECT_EQ(value("A2"), "6");
    EXPECT_EQ(value("A3"), "7");
    EXPECT_EQ(value("A4"), "8");
    // Quotes hold a value with blanks together and do not end up in the cell.
    EXPECT_EQ(put("B1=\"hello world\" B2=\"say \"\"hi\"\"\" B3=\"\""), 0);
    EXPECT_EQ(value("B1"), "hello world");
    EXPECT_EQ(value("B2"), "say \"hi\"");
    EXPECT_EQ(value("B3"), "");
    EXPECT_EQ(book.error_code, 0);
}

TEST_F(Statements, MissingPartsOfAStatement) {
    EXPECT_EQ(put("A1="), -3);
    EXPECT_EQ(book.error_code, -3);
    EXPECT_EQ(message(), "TXLS-02300 セル指定値が不正です(\"A1\")。");
    EXPECT_EQ(put("A1"), -3);
    EXPECT_EQ(message(), "TXLS-02300 セル指定値が不正です(\"A1\")。");
    EXPECT_EQ(put("A1 5"), -3);
    EXPECT_EQ(message(), "TXLS-02303 引数列のイコール(=)部分が不正です(\"5\")。");
    EXPECT_EQ(put("A1 == 5"), -3);
    EXPECT_EQ(message(), "TXLS-02300 セル指定値が不正です(\"5\")。");
    // An over-long value is a statement error rather than a cut value.
    EXPECT_EQ(put("A1=" + std::string(kScanMaxStatements + 1, 'v')), -3);
    EXPECT_EQ(message(), "TXLS-02300 セル指定値が不正です(\"A1\")。");
}

TEST_F(Statements, NamesThatAreNoProperty) {
    EXPECT_EQ(put("B2:C3=1"), -3);
    EXPECT_EQ(message(), "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"B2:C3\")。");
    EXPECT_EQ(put("XYZ1.FOO=1"), -3);
    EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"FOO\")。");
    EXPECT_EQ(put("DATASOURCE=1"), -3);
    EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"DATASOURCE\")。");
    EXPECT_EQ(put("3:7=1"), -3);
    EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"3:7\")。");
    EXPECT_EQ(put("A1.FONT=1"), -3);
    EXPECT_EQ(message(), "TXLS-02403 フォント(FONT)の指定内容が不正です(\"属性\")。");
}

TEST_F(Statements, VariableStatementsAreRefused) {
    EXPECT_EQ(put("total=5"), -3);
    EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"total\")。");
    EXPECT_TRUE(store().variables.empty());

    // With the switch on they become variables; an over-long key is a fixed limit (-909).
    StatementOptions options;
    options.allow_variables = true;
    EXPECT_EQ(run_statements(store(), "total=\"12\"", options), 0);
    std::string stored;
    EXPECT_EQ(get_variable(store(), "total", stored), 0);
    EXPECT_EQ(stored, "12");
    EXPECT_EQ(run_statements(store(), std::string(kKeyBytes + 1, 'k') + "=1", options), -909);
}

TEST_F(Statements, ErrorsStopTheLoopEarlierStatementsStay) {
    EXPECT_EQ(put("A1=1 B1=2 C1 3 D1=4"), -3);
    EXPECT_EQ(message(), "TXLS-02303 引数列のイコール(=)部分が不正です(\"3\")。");
    EXPECT_EQ(value("A1"), "1");
    EXPECT_EQ(value("B1"), "2");
    EXPECT_EQ(store().sheets[0]->rows[0].used, 2);

    EXPECT_EQ(put("A2=1 A2.FONT.COLOR=RED A2.FONT.SIZE=x A3=9"), -3);
    EXPECT_EQ(value("A2"), "1");
    EXPECT_NE(store().sheets[0]->rows[1].cells[0].style, 0);
    EXPECT_EQ(store().sheets[0]->rows_used, 2);

    // A thousand statements after the failing one are not looked at.
    std::string many = "Z1=1 Z1 oops";
    for (int i = 0; i < 1000; ++i) many += " A" + std::to_string(i + 1) + "=x";
    EXPECT_EQ(put(many), -3);
    EXPECT_EQ(value("A5"), "");
}

TEST_F(Statements, PropertiesAreApplied) {
    EXPECT_EQ(put("a1.font.color=red A1.フォント.色=赤"), 0);
    EXPECT_EQ(put("SHEET.ZOOM=150"), 0);
    EXPECT_EQ(sheet("Sheet1").settings.zoom, 150);
    EXPECT_EQ(put("ZOOM=120"), 0);
    EXPECT_EQ(sheet("Sheet1").settings.zoom, 120);
    EXPECT_EQ(put("3.HEIGHT=20 C.WIDTH=12 AA.WIDTH=12"), 0);
    ASSERT_TRUE(sheet("Sheet1").rows.at(2).attributes);
    EXPECT_EQ(sheet("Sheet1").rows.at(2).attributes->height, 2000);
    EXPECT_DOUBLE_EQ(sheet("Sheet1").columns.at(2).width, 12.625);
    EXPECT_DOUBLE_EQ(sheet("Sheet1").columns.at(26).width, 12.625);
    // One pair of quotes comes off a property value.
    EXPECT_EQ(put("SHEET.NAME=\"My Report\""), 0);
    EXPECT_EQ(store().current()->name, "My Report");
    EXPECT_EQ(put("SHEET=Sheet1"), 0);
    EXPECT_EQ(store().current()->name, "Sheet1");
    EXPECT_EQ(put("A1.AUTOSHAPE=RECT B2.AUTOSHAPE.LINE.COLOR=RED"), 0);
}

TEST_F(Statements, LaterSubsystemsAnswerWithInternalError) {
    const std::pair<const char *, const char *> cases[] = {
        {"A1.COMMENT=hello", "A1.COMMENT"},
        {"B2:C3.CHART=LINE", "B2:C3.CHART"},
        {"A1.IMAGE=picture.png", "A1.IMAGE"},
        {"A1.HYPERLINK=http://example.com", "A1.HYPERLINK"},
        {"A1:E1.SPARKLINE=F1", "A1:E1.SPARKLINE"},
        {"A1:C4.TABLE_FORMAT=Light1", "A1:C4.TABLE_FORMAT"},
    };
    for (const auto &[statement, name] : cases) {
        EXPECT_EQ(put(statement), -1) << statement;
        EXPECT_EQ(book.error_code, -1);
        EXPECT_EQ(message(), std::string("TXLS-03600 内部処理エラー(\"") + name + "\")。");
    }
}

TEST_F(Statements, SheetPrefixSelectsForOneStatement) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Q1.2024"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet2"), 0);
    const int second = store().current_sheet;
    EXPECT_EQ(put("Sheet1!A1=5 A2=6"), 0);
    EXPECT_EQ(store().current_sheet, second);
    EXPECT_EQ(value_in("Sheet1", "A1"), "5");
    EXPECT_EQ(value_in("Sheet2", "A2"), "6");
    EXPECT_EQ(value_in("Sheet1", "A2"), "");

    // A quoted sheet name with a dot in it is not split there, in either quote style.
    EXPECT_EQ(put("'Q1.2024'!A1.FONT.SIZE=14 \"Q1.2024\"!B1.FONT.SIZE=16"), 0);
    EXPECT_EQ(store().current_sheet, second);
    const Sheet &quarter = sheet("Q1.2024");
    ASSERT_GE(quarter.rows.size(), 1u);
    ASSERT_GE(quarter.rows[0].cells.size(), 2u);
    EXPECT_NE(quarter.rows[0].cells[0].style, 0);
    EXPECT_NE(quarter.rows[0].cells[1].style, 0);
    EXPECT_EQ(put("\"Q1.2024\"!C1=7"), 0);
    EXPECT_EQ(value_in("Q1.2024", "C1"), "7");

    // Sheet properties follow the prefix too, and the current sheet comes back afterwards.
    EXPECT_EQ(put("Sheet1!SHEET.ZOOM=80"), 0);
    EXPECT_EQ(sheet("Sheet1").settings.zoom, 80);
    EXPECT_EQ(sheet("Sheet2").settings.zoom, 100);
    EXPECT_EQ(store().current_sheet, second);
    // Also after a failing statement.
    EXPECT_EQ(put("Sheet1!A1.FONT=1"), -3);
    EXPECT_EQ(store().current_sheet, second);
    // Selecting a sheet is what SHEET= is for: that choice stays.
    EXPECT_EQ(put("Sheet1!SHEET=Q1.2024"), 0);
    EXPECT_EQ(store().current()->name, "Q1.2024");
}

TEST_F(Statements, TemplateModeAcceptsOnlyItsIds) {
    store().from_file = true;
    EXPECT_EQ(put("A1.FONT.COLOR=RED"), -3);
    EXPECT_EQ(message(), "TXLS-02209 テンプレートモードではサポート外のキーワードです(\"A1.FONT.COLOR\")。");
    EXPECT_EQ(put("SHEET.ZOOM=90"), -3);
    EXPECT_EQ(put("SHEET=Sheet1 BOOK=out SHEET.SCROLL_ROW=3 3.HEIGHT=20"), 0);
    EXPECT_EQ(store().file_name, "out.xlsx");
    // Accepted ids reach their own step (data sources are still to come, templates need a file).
    for (const char *statement : {"A1.CSV=x.csv", "A1.TSV=x.tsv", "TEMPLATE=/nonexistent/t.xlsx"}) {
        EXPECT_NE(put(statement), 0) << statement;
        EXPECT_EQ(message().find("TXLS-02209"), std::string::npos) << statement;
    }
    // Cell values are no property and still go in.
    EXPECT_EQ(put("B5=1"), 0);
}

TEST_F(Statements, LimitsBecomeMinus909) {
    EXPECT_EQ(put("A1=" + std::string(kValueBufferBytes, 'v')), -909);
    EXPECT_EQ(book.error_code, -909);
    EXPECT_EQ(put("A1=" + std::string(kValueBufferBytes - 1, 'v')), 0);
}

TEST_F(Statements, OverLongNamesAreReported) {
    // The loop does not stop silently: later statements would be lost without a word.
    EXPECT_EQ(put("A1=1 " + std::string(kScanMaxOptions + 1, 'n') + "=1 A2=2"), -3);
    EXPECT_EQ(message(), "TXLS-02210 キーワードが長すぎます(\"" + std::string(64, 'n') + "\")。最大長は(6000)バイトです。");
    EXPECT_EQ(value("A1"), "1");
    EXPECT_EQ(value("A2"), "");
    EXPECT_EQ(put(std::string(kScanMaxOptions, 'n') + "=1"), -3);
    EXPECT_EQ(message().substr(0, 10), "TXLS-03009");
}

TEST_F(Statements, CharsetsOfTheStatementText) {
    for (const char *charset : {"SJIS", "EUC"}) {
        XLS_BOOK other{};
        ASSERT_EQ(TXLS_open_book(&other, (std::string("MODE=CREATE CHARSET=") + charset).c_str()), 0);
        const int code = std::string(charset) == "SJIS" ? kSjis : kEuc;
        ASSERT_EQ(TXLS_open_sheet(&other, from_utf8("SHEET_NAME=売上", code).c_str()), 0);
        EXPECT_EQ(TXLS_put_values(&other, from_utf8("A1=表示 A1.フォント.色=赤 売上!B1.罫線.左=二重線", code).c_str()), 0)
            << charset << " " << to_utf8(other.log.error_info, kSjis);
        Book &inner = *book_of(&other);
        EXPECT_NE(inner.sheets[0]->rows[0].cells[0].style, 0) << charset;
        EXPECT_NE(inner.sheets[0]->rows[0].cells[1].style, 0) << charset;
        // Shift-JIS "表" ends in 0x5C and "ソ" in 0x5C: trail bytes are no separators.
        EXPECT_EQ(TXLS_put_values(&other, from_utf8("SHEET=\"ソ表\"", code).c_str()), 0) << charset;
        EXPECT_EQ(inner.current()->name, "ソ表") << charset;
        EXPECT_EQ(TXLS_put_values(&other, from_utf8("A1.フォント.いろ=赤", code).c_str()), -3);
        EXPECT_EQ(to_utf8(other.log.error_info, kSjis), "TXLS-02200 サポート外のキーワードです(\"いろ\")。") << charset;
        TXLS_free_book(&other);
    }
}

TEST_F(Statements, GarbageNeverCrashes) {
    std::mt19937 random(42);
    const std::string alphabet = std::string("A1:.=\"'! ;,$\t\n\x81\x95") + "\x5C\xE3\x80\xFF" + "BOOKSHEETFONT";
    for (int round = 0; round < 300; ++round) {
        std::string text;
        std::size_t length = random() % 200;
        for (std::size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
        int rc = put(text);
        EXPECT_LE(rc, 0);
        if (rc == 0) {
            EXPECT_EQ(book.error_code, 0);
        }
    }
    std::string thousands;
    for (int i = 0; i < 5000; ++i) thousands += "A" + std::to_string(i + 1) + "=" + std::to_string(i) + "\n";
    EXPECT_EQ(put(thousands), 0);
    EXPECT_EQ(value("A5000"), "4999");
}

TEST(PropertyApi, SetPropertyDoesNothing) {
    EXPECT_EQ(TXLS_set_property(nullptr, nullptr, nullptr), 0);
    XLS_BOOK record{};
    EXPECT_EQ(TXLS_set_property(&record, "A1.FONT.COLOR", "RED"), 0);
}

TEST(PropertyApi, HelpTextIsPrintedInShiftJis) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(TXLS_help(), 0);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    const std::string text = to_utf8(printed, kSjis);
    const std::string rule(76, '-');
    EXPECT_EQ(text.rfind("\nORV TABSMITH: Release 2.0.4.0\n\n" + rule + "\n■色\n", 0), 0u) << text.substr(0, 200);
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 3), "\n \n");
    EXPECT_NE(printed, text);  // the Japanese parts arrive as Shift-JIS bytes
    // Sections in order, syntax lines padded to column 41.
    std::size_t at = 0;
    for (const char *title : {"■色", "■フォント", "■配置", "■書式", "■罫線", "■塗りつぶし", "■その他", "■ブック",
                              "■シート", "■印刷/表示", "■変数"}) {
        std::size_t found = text.find(std::string("\n") + title + "\n", at);
        EXPECT_NE(found, std::string::npos) << title;
        if (found != std::string::npos) at = found;
    }
    EXPECT_NE(text.find("\n(*).FONT.NAME" + std::string(40 - 13, ' ') + "(*).フォント.名\n"), std::string::npos);
    EXPECT_NE(text.find("\n  RGB16進値指定:#rrggbb\n\n" + rule + "\n■フォント\n"), std::string::npos);
    EXPECT_NE(text.find("\n■配置\n"), std::string::npos);
    // Alignment, format, border and fill sections close with a blank line only.
    EXPECT_NE(text.find("\n\n■書式\n"), std::string::npos);
    EXPECT_EQ(text.find(rule + "\n■書式\n"), std::string::npos);
    EXPECT_NE(text.find("  TRUE|FALSE\n  する|しない\n"), std::string::npos);
    EXPECT_NE(text.find("  BLACK|GRAY|SILVER|"), std::string::npos);
    EXPECT_NE(text.find("  黒   |灰  |銀    |"), std::string::npos);
    for (std::size_t start = 0; start < printed.size();) {
        std::size_t end = printed.find('\n', start);
        EXPECT_LE(end - start, 100u) << printed.substr(start, end - start);
        start = end + 1;
    }
}
