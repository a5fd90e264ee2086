// The statement loop through TXLS_put_values: tokens and equals signs, cell values against
// properties, sheet prefixes, template-mode refusals, error codes and messages, and the help text.

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "api/api.h"
#include "cells/values.h"
#include "common/fixtures.h"
#include "props/statements.h"
#include "support/scanner.h"

using namespace tabsmith;
using tabsmith::testing::SheetTest;

namespace {

class Statements : public SheetTest {
protected:
    int put(const std::string &text) { return TXLS_put_values(&book, text.c_str()); }
    const Sheet &sheet(const char *name) { return *store().sheet(find_sheet(store(), name)); }
};

}  // namespace

TEST_F(Statements, CellValuesTheirSpacingAndQuotes) {
    for (const char *blank : {"", " \t\r\n "}) EXPECT_EQ(put(blank), 0);
    EXPECT_EQ(store().sheets[0]->rows_used, 0);
    EXPECT_EQ(put("A1 = 5 A2=6 A3 =7\r\nA4= 8;"), 0);
    // Quotes hold a value with blanks together and do not end up in the cell.
    EXPECT_EQ(put("B1=\"hello world\" B2=\"say \"\"hi\"\"\" B3=\"\""), 0);
    const std::pair<const char *, const char *> cells[] = {{"A1", "5"}, {"A2", "6"}, {"A3", "7"}, {"A4", "8"},
                                                           {"B1", "hello world"}, {"B2", "say \"hi\""}, {"B3", ""}};
    for (auto [cell, expected] : cells) EXPECT_EQ(value(cell), expected) << cell;
    EXPECT_EQ(book.error_code, 0);
    std::string thousands;
    for (int i = 0; i < 5000; ++i) thousands += "A" + std::to_string(i + 1) + "=" + std::to_string(i) + "\n";
    EXPECT_EQ(put(thousands), 0);
    EXPECT_EQ(value("A5000"), "4999");
}

TEST_F(Statements, RefusedStatementsAndTheirMessages) {
    const std::string keyword = "TXLS-02200 サポート外のキーワードです(\"";
    const std::string cell = "TXLS-02300 セル指定値が不正です(\"";
    struct Case { std::string text; int rc; std::string message; } cases[] = {
        {"A1=", -3, cell + "A1\")。"}, {"A1", -3, cell + "A1\")。"}, {"A1 == 5", -3, cell + "5\")。"},
        {"A1 5", -3, "TXLS-02303 引数列のイコール(=)部分が不正です(\"5\")。"},
        // An over-long value is a statement error rather than a cut value.
        {"A1=" + std::string(kScanMaxStatements + 1, 'v'), -3, cell + "A1\")。"},
        {"B2:C3=1", -3, "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"B2:C3\")。"},
        {"XYZ1.FOO=1", -3, keyword + "FOO\")。"}, {"DATASOURCE=1", -3, keyword + "DATASOURCE\")。"},
        {"3:7=1", -3, keyword + "3:7\")。"}, {"total=5", -3, keyword + "total\")。"},  // no variables here
        {"A1.FONT=1", -3, "TXLS-02403 フォント(FONT)の指定内容が不正です(\"属性\")。"},
        {"A1=" + std::string(kValueBufferBytes, 'v'), -909, "-"},
        // The loop does not stop silently: later statements would be lost without a word.
        {"A1=1 " + std::string(kScanMaxOptions + 1, 'n') + "=1 A2=2", -3,
         "TXLS-02210 キーワードが長すぎます(\"" + std::string(64, 'n') + "\")。最大長は(6000)バイトです。"},
        {std::string(kScanMaxOptions, 'n') + "=1", -3, "-"},
        // Drawing and sparkline statements refuse what they cannot place.
        {"A1.IMAGE=/no/such/picture.png", -3, "TXLS-03102 イメージファイルオープンエラー(\"/no/such/picture.png\")。"},
        {"A1:E1.SPARKLINE=F1", -3, "TXLS-02622 スパークライン(SPARKLINE)の指定内容が不正です(\"F1\")。"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(put(c.text), c.rc) << c.text.substr(0, 80);
        EXPECT_EQ(book.error_code, c.rc);
        if (c.message != "-") {
            EXPECT_EQ(message(), c.message) << c.text.substr(0, 80);
        }
    }
    EXPECT_EQ(value("A2"), "");
    EXPECT_TRUE(store().variables.empty());
    EXPECT_EQ(put("A1=" + std::string(kValueBufferBytes - 1, 'v')), 0);
    EXPECT_EQ(TXLS_put_values(nullptr, "A1=1"), -3);

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
    EXPECT_EQ(value("A1") + value("B1"), "12");
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

TEST_F(Statements, PropertiesAreAppliedAndSheetPrefixesSelectForOneStatement) {
    EXPECT_EQ(put("a1.font.color=red A1.フォント.色=赤 SHEET.ZOOM=150 3.HEIGHT=20 AA.WIDTH=12"), 0);
    EXPECT_EQ(sheet("Sheet1").settings.zoom, 150);
    ASSERT_TRUE(sheet("Sheet1").rows.at(2).attributes);
    EXPECT_EQ(sheet("Sheet1").rows.at(2).attributes->height, 2000);
    EXPECT_DOUBLE_EQ(sheet("Sheet1").columns.at(26).width, 12.625);
    EXPECT_EQ(put("SHEET.NAME=\"My Report\""), 0);  // one pair of quotes comes off a property value
    EXPECT_EQ(store().current()->name, "My Report");
    EXPECT_EQ(put("SHEET=Sheet1 A1.AUTOSHAPE=RECT B2.AUTOSHAPE.LINE.COLOR=RED"), 0);

    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Q1.2024"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet2"), 0);
    const int second = store().current_sheet;
    // A quoted sheet name with a dot in it is not split there, in either quote style.
    EXPECT_EQ(put("Sheet1!A1=5 A2=6 'Q1.2024'!A1.FONT.SIZE=14 \"Q1.2024\"!B1.FONT.SIZE=16 \"Q1.2024\"!C1=7"), 0);
    EXPECT_EQ(store().current_sheet, second);
    EXPECT_EQ(value("Sheet1!A1") + value("Sheet2!A2") + value("Sheet1!A2") + value("'Q1.2024'!C1"), "567");
    const Sheet &quarter = sheet("Q1.2024");
    EXPECT_NE(quarter.rows[0].cells[0].style, 0);
    EXPECT_NE(quarter.rows[0].cells[1].style, 0);
    // Sheet properties follow the prefix too, and the current sheet comes back, also after a failure.
    EXPECT_EQ(put("Sheet1!SHEET.ZOOM=80"), 0);
    EXPECT_EQ(sheet("Sheet1").settings.zoom, 80);
    EXPECT_EQ(sheet("Sheet2").settings.zoom, 100);
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
    EXPECT_EQ(put("SHEET=Sheet1 BOOK=out SHEET.SCROLL_ROW=3 3.HEIGHT=20 B5=1"), 0);  // values are no property
    EXPECT_EQ(store().file_name, "out.xlsx");
    // Accepted ids reach their own step (the files named here do not exist).
    for (const char *statement : {"A1.CSV=/nonexistent/x.csv", "A1.TSV=/nonexistent/x.tsv", "TEMPLATE=/nonexistent/t.xlsx"}) {
        EXPECT_NE(put(statement), 0) << statement;
        EXPECT_EQ(message().find("TXLS-02209"), std::string::npos) << statement;
    }
}

TEST(StatementCharsets, ShiftJisAndEucStatementTexts) {
    for (auto [charset, code] : {std::pair{"SJIS", kSjis}, {"EUC", kEuc}}) {
        XLS_BOOK other{};
        ASSERT_EQ(TXLS_open_book(&other, (std::string("MODE=CREATE CHARSET=") + charset).c_str()), 0);
        ASSERT_EQ(TXLS_open_sheet(&other, from_utf8("SHEET_NAME=売上", code).c_str()), 0);
        EXPECT_EQ(TXLS_put_values(&other, from_utf8("A1=表示 A1.フォント.色=赤 売上!B1.罫線.左=二重線", code).c_str()), 0)
            << charset << " " << to_utf8(other.log.error_info, kSjis);
        Book &inner = *book_of(&other);
        EXPECT_NE(inner.sheets[0]->rows[0].cells[0].style, 0) << charset;
        EXPECT_NE(inner.sheets[0]->rows[0].cells[1].style, 0) << charset;
        // Shift-JIS "表" ends in 0x5C and "ソ" in 0x5C: trail bytes are no separators.
        EXPECT_EQ(TXLS_put_values(&other, from_utf8("SHEET=\"ソ表\"", code).c_str()), 0) << charset;
        EXPECT_EQ(inner.current()->name, "ソ表") << charset;
        TXLS_free_book(&other);
    }
}

TEST_F(Statements, GarbageNeverCrashes) {
    std::mt19937 random(42);
    const std::string alphabet = std::string("A1:.=\"'! ;,$\t\n\x81\x95") + "\x5C\xE3\x80\xFF" + "BOOKSHEETFONT";
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (std::size_t i = 0, length = random() % 200; i < length; ++i) text += alphabet[random() % alphabet.size()];
        int rc = put(text);
        EXPECT_LE(rc, 0);
        EXPECT_EQ(book.error_code, rc);
    }
}

TEST(PropertyApi, SetPropertyDoesNothingAndHelpIsPrintedInShiftJis) {
    XLS_BOOK record{};
    EXPECT_EQ(TXLS_set_property(&record, "A1.FONT.COLOR", "RED"), 0);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(TXLS_help(), 0);
    const std::string printed = ::testing::internal::GetCapturedStdout();
    const std::string text = to_utf8(printed, kSjis), rule(76, '-');
    EXPECT_EQ(text.rfind("\nORV TABSMITH: Release 2.0.4.0\n\n" + rule + "\n■色\n", 0), 0u) << text.substr(0, 200);
    EXPECT_NE(printed, text);  // the Japanese parts arrive as Shift-JIS bytes
    // Sections in order, syntax lines padded to column 41, no line over 100 bytes.
    std::size_t at = 0;
    for (const char *title : {"■色", "■フォント", "■配置", "■書式", "■罫線", "■塗りつぶし", "■その他", "■ブック",
                              "■シート", "■印刷/表示", "■変数"}) {
        std::size_t found = text.find(std::string("\n") + title + "\n", at);
        EXPECT_NE(found, std::string::npos) << title;
        at = found == std::string::npos ? at : found;
    }
    EXPECT_NE(text.find("\n(*).FONT.NAME" + std::string(40 - 13, ' ') + "(*).フォント.名\n"), std::string::npos);
    EXPECT_NE(text.find("  黒   |灰  |銀    |"), std::string::npos);
    // Alignment, format, border and fill sections close with a blank line only.
    EXPECT_NE(text.find("\n\n■書式\n"), std::string::npos);
    EXPECT_EQ(text.find(rule + "\n■書式\n"), std::string::npos);
    for (std::size_t start = 0, end; start < printed.size(); start = end + 1) {
        end = printed.find('\n', start);
        EXPECT_LE(end - start, 100u) << printed.substr(start, end - start);
    }
}
