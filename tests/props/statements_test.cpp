// Statements: every property path and alias, target forms, refusals and their messages, template
// mode, character sets, the help, and the book, sheet, print and annotation settings they make.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/api.h"
#include "cells/values.h"
#include "model/address.h"
#include "model/annotations.h"
#include "props/facts.h"
#include "props/property_parser.h"
#include "props/sheet_properties.h"
#include "props/statements.h"
#include "support/scanner.h"

using namespace tabsmith;
using namespace tabsmith::testing;

namespace {

class Paths : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : {"Sheet1", "Sheet2", "Q1.2024"}) ASSERT_GE(add_sheet(book, name), 0);
        book.charset = kUtf8;
    }
    // "id sheet|row,column|areas" of a name, or the message of a refusal (code -3, no id).
    std::string parse(std::string_view name) {
        int id = -7;
        target = PropertyTarget{};
        if (int rc = tsx_parse_property(book, name, id, target)) return rc == -3 && id == -1 ? book.err.message_utf8() : "rc=" + std::to_string(rc);
        std::string s = std::to_string(id) + " " + std::to_string(target.sheet) + "|" + std::to_string(target.row) + "," + std::to_string(target.column) + "|";
        for (int i = 0; i < target.area_count; ++i) {
            const TargetArea &a = target.areas[static_cast<std::size_t>(i)];
            s += (i ? " " : "") + std::to_string(a.row1) + "," + std::to_string(a.column1) + ":" + std::to_string(a.row2) + "," + std::to_string(a.column2);
        }
        return s + (target.row_range ? " rows" : "") + (target.column_range ? " columns" : "");
    }
    // Each name must give what its row says, in full or up to a blank.
    void expect(const std::vector<std::pair<std::string, std::string>> &rows) {
        for (const auto &[name, expected] : rows) EXPECT_EQ((parse(name) + " ").substr(0, expected.size() + 1), expected + " ") << name.substr(0, 80);
    }
    Book book;
    PropertyTarget target;
};

class Statements : public StatementTable {
protected:
    std::string fact(const std::string &key) override { return word(value(key.c_str())); }  // a cell's value
    const Sheet &sheet(const char *name) { return *store().sheet(find_sheet(store(), name)); }
};

const std::string kKeyword = "TXLS-02200 サポート外のキーワードです(\"", kCell = "TXLS-02300 セル指定値が不正です(\"";

// The book's settings and the current sheet's, and the first sheet's annotations.
class SheetProps : public StatementTable {
protected:
    SheetProps() { sheet_name = "Data"; }
    SheetAnnotations &notes(int sheet = 0) { return store().sheets[static_cast<std::size_t>(sheet)]->annotations; }
    static std::string name_of(int row, int column) {
        std::string name;
        cell_name(row, column, name);
        return name;
    }
    std::string fact(const std::string &key) override {
        Book &b = store();
        const SheetSettings &s = b.current()->settings;
        const PageSetup &p = s.page;
        auto section = [&](const HeaderFooterSection &h) {
            const FontRecord &font = b.styles.fonts()[static_cast<std::size_t>(std::max(h.font, 0))];
            return (h.set ? h.text : "(unset)") + " " + (h.font < 0 ? "default" : word(font.size) + "/" + word(font.colour));
        };
        std::string more;
        for (int k = 0; k < 3; ++k)
            for (auto [what, list] : {std::pair{"header", s.header}, {"footer", s.footer}}) more += std::string(what) + "." + "lcr"[k] + "=" + word(section(list[k])) + " ";
        std::vector<std::string> comments, links;
        for (const CellComment &c : notes().comments) comments.push_back(name_of(c.row, c.column) + "=" + c.text);
        for (const Hyperlink &h : notes().hyperlinks)
            links.push_back(word(h.kind) + ":" + name_of(h.row, h.column) + ">" + h.target + h.target_sheet + "!" + word(h.target_row) + "," + word(h.target_column));
        const TableFormat table = notes().tables.empty() ? TableFormat{} : notes().tables.back();
        return value_of(
            describe("file", b.file_name, "company", b.company, "author", b.author, "manager", b.settings.manager, "recalc", b.settings.recalc,
                     "backup", b.settings.backup, "final", b.settings.final, "desc", b.settings.descending_order, "thumbnail", b.settings.thumbnail_path,
                     "sheets", b.sheet_count(), "current", b.current_sheet, "name", b.current()->name, "hidden", s.hidden, "grid", s.grid_lines,
                     "headings", s.headings, "protected", s.is_protected, "password", s.password, "zoom", s.zoom, "frozen", s.frozen, "split",
                     std::vector{s.split_row, s.split_column}, "top_row", s.top_row, "tab",
                     word(static_cast<int>(s.tab_color.index)) + ":" + word(Rgb{s.tab_color.red, s.tab_color.green, s.tab_color.blue}), "paper", p.paper,
                     "landscape", p.landscape, "scale", p.scale, "dpi", p.dpi, "top", p.top, "left", p.left, "footer", p.footer, "fit",
                     std::vector{int(p.fit_to_page), p.fit_width, p.fit_height}, "title_rows", std::vector{s.title_row1, s.title_row2}, "title_columns",
                     std::vector{s.title_column1, s.title_column2}, "comments", comments, "links", links, "tables", notes().tables.size(), "table.names",
                     table.column_names, "table.style", word(table.family) + ":" + word(table.style), "table.end", name_of(table.row2, table.column2),
                     "table.order", table.order) + more,
            key);
    }
};
using Annotations = SheetProps;

const std::string kLong = "TXLS-00005 ファイル名が長すぎます。";
const std::string kPictureRefused = "TXLS-03190 イメージファイルがサポート外のファイル形式です(\"";

}  // namespace

TEST_F(Paths, EveryPathAndAliasNamesItsIdAndEnglishIgnoresCase) {
    int paths = 0, aliases = 0;
    for (int id = 100; id <= kPropTsv; ++id) {
        const std::string path(property_path(id));
        if (path.empty()) continue;
        ++paths;
        expect({{"B2." + path, std::to_string(id)}});
        EXPECT_EQ(property_display_name(id, target), "B2." + path);
        // Each section, replaced in turn by each alias of its keyword, names the same id.
        for (std::size_t start = 0, end = 0; start <= path.size(); start = end + 1) {
            end = std::min(path.find('.', start), path.size());
            for (const Keyword &keyword : property_keywords())
                for (std::string_view alias : keyword.aliases) {
                    if (alias.empty() || keyword.english != path.substr(start, end - start)) continue;
                    ++aliases;
                    expect({{"B2." + path.substr(0, start) + std::string(alias) + path.substr(end), std::to_string(id)}});
                }
        }
    }
    EXPECT_GT(paths, 150);
    EXPECT_GT(aliases, 300);
    expect({{"FONT.COLOR", "334 -1|-1,-1|"}, {"a1.Font.色", "334"}, {"myvar", "2001"}, {std::string(256, 'v'), "2001"},
            // SHEET and BOOK families take any continuation they do not know as the name.
            {"SHEET.PAPER.SIZE", "201"}, {"SHEET.FONT.COLOR", "201"}, {"BOOK.SHEET.ZOOM", "101"}, {"TEMPLATE.NAME", "109"},
            // Sheet-only keywords name nothing without SHEET; vertical text needs a cell target; a column range alone names nothing.
            {"HIDDEN", "-1"}, {"X.HIDDEN", "-1"}, {"TAB.COLOR", "-1"}, {"HEADER.LEFT.FONT.NAME", "-1"}, {"DATASOURCE", "-1"}, {"A1.ROWNUM", "-1"},
            {"DATE", "-1"}, {"A1.FONT.COLOR.X", "-1"}, {"ROTATION", "-1"}, {"3.ROTATION", "403"}, {"x:y", "-1"}, {"A1.SHEET.HEADER.LEFT.FONT.NAME", "802"},
            // Aliases are not case-folded or trimmed, and near misses are no keywords.
            {"A1.フォント.いろ", kKeyword + "いろ\")。"}, {"A1.ＦＯＮＴ.COLOR", kKeyword + "ＦＯＮＴ\")。"}, {"A1.FONT .COLOR", kKeyword + "FONT \")。"}});
}

TEST_F(Paths, TargetForms) {
    const std::vector<std::pair<std::string, std::string>> forms = {{"B7.FONT.SIZE", "333 -1|6,1|"}, {"A1:C5.BORDER", "310 -1|-1,-1|0,0:4,2"}, {"A1:B2,D4,F6:G7.BORDER", "310 -1|-1,-1|0,0:1,1 3,3:3,3 5,5:6,6"},
            {"B:D.WIDTH", "223 -1|-1,-1|0,1:0,3 columns"}, {"3:7.HEIGHT", "221 -1|-1,-1|2,0:6,0 rows"}, {"3.HEIGHT", "221 -1|2,-1|"},
            {"1,000.HEIGHT", "221 -1|999,-1|"}, {"+12.HEIGHT", "221 -1|11,-1|"}, {"C.WIDTH", "223 -1|-1,2|"}, {"AA.WIDTH", "223 -1|-1,26|"},
            {"xfd.WIDTH", "223 -1|-1,16383|"}, {"Sheet2!B3.FONT.SIZE", "333 1|2,1|"}, {"'Q1.2024'!A1.FONT.SIZE", "333 2|0,0|"},
            {"\"Q1.2024\"!C2:D4.FONT.SIZE", "333 2|-1,-1|1,2:3,3"},
            {"Sheet2!SHEET.ZOOM", "202 1|-1,-1|"},  // a prefix in front of a keyword only selects the sheet
            {"Nowhere!A1.WRAP", "402 -1|0,0|"},    // no such sheet: the current one, as for cell values
            {"0.FONT.SIZE", kCell + "0\")。"}, {"myvar.FONT.SIZE", "2001"}};
    // Read a second time, the keywords after each target come from what the first reading kept.
    expect(forms);
    expect(forms);
    for (auto [id, name] : {std::pair{407, "A1,C3:D4.COMMENT"}, {601, "B2:C3.CHART"}, {221, "3:7.HEIGHT"}}) {
        parse(name);
        EXPECT_EQ(property_display_name(id, target), name);
    }
    EXPECT_EQ(property_display_name(kPropCsv, PropertyTarget{}), "CSV");
}

TEST_F(Paths, RefusedNamesAndTheirMessages) {
    const std::string font = "TXLS-02403 フォント(FONT)の指定内容が不正です(\"属性\")。", graph = "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"";
    const std::string section = "TXLS-03009 バッファサイズ(\"", section_end = "\")オーバー(\"tsx_parse_property() section\")。";
    std::string kanji;  // the section limit counts bytes in the book's character set: 128 kanji are 256 Shift-JIS bytes
    for (int i = 0; i < 128; ++i) kanji += "漢";
    expect({{"A1.FONT", font}, {"A1.FONT.WIDTH", font}, {"A1.FILL", "TXLS-02406 塗りつぶし(FILL)の指定内容が不正です。"}, {"PAPER", "TXLS-02501 用紙(PAPER)の指定内容が不正です。"},
            {"A1.FILL.PATTERN", "TXLS-02407 パターン(PATTERN)の指定内容が不正です。"}, {"A1.FILL.GRADATION.NAME", "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"\")。"},
            {"SHEET.TAB", "TXLS-02310 タブ(TAB)の指定内容が不正です。"}, {"PAPER.MARGIN", "TXLS-02500 余白(MARGIN)の指定内容が不正です。"},
            {"PRINT_PAGE_FIT", "TXLS-02507 印刷ページ数合わせ(PRINT_PAGE_FIT)の指定内容が不正です(\"PRINT_PAGE_FIT\")。"}, {"SHEET.BACKGROUND", "TXLS-02510 背景(BACKGROUND)の指定内容が不正です。"},
            {"BOOK.THUMBNAIL.NAME", "TXLS-02511 サムネイル(THUMBNAIL)の指定内容が不正です。"}, {"A1.IMAGE.OFFSET", "TXLS-02402 オフセット(OFFSET)値の指定内容が不正です。"},
            {"A1.IMAGE.WIDTH", "TXLS-02420 イメージ(IMAGE)の指定内容が不正です。"}, {"A1.AUTOSHAPE.ADJUST.LEFT", "TXLS-02605 アジャスト(ADJUST)値の指定内容が不正です。"},
            {"A1:B2.CHART.AXIS_X", graph + "A1:B2.CHART.AXIS_X\")。"}, {"A1:B2.CHART.NAME", graph + "A1:B2.CHART.NAME\")。"},
            {"A1.AUTOSHAPE.NAME", "TXLS-02600 オートシェイプ(AUTOSHAPE)の指定内容が不正です(\"A1.AUTOSHAPE.NAME\")。"},
            {"A1.LINE.COLOR", "TXLS-02601 (\"LINE\")の前にオートシェイプが指定されていません。"}, {"A1.AUTOSHAPE.LINE.NAME", "TXLS-02602 オートシェイプ枠線(LINE)の指定内容が不正です。"},
            {"A1.AUTOSHAPE.ARROW", "TXLS-02603 オートシェイプ矢印(ARROW)の指定内容が不正です。"}, {"A1.AUTOSHAPE.SHADOW.NAME", "TXLS-02604 オートシェイプ影(SHADOW)の指定内容が不正です。"},
            {"XYZ1.FOO", kKeyword + "FOO\")。"}, {"SHEET.A1", kKeyword + "A1\")。"}, {"A1..COLOR", kKeyword + "\")。"},
            {"A1.FONT.BAR.FOO", kKeyword + "FOO\")。"},  // the walk runs right to left: the last bad section
            {"a$b.FONT.COLOR", "TXLS-02305 変数名の形式が不正です(\"a$b.FONT.COLOR\")。"}, {"'Open!A1.WRAP", "TXLS-02305 変数名の形式が不正です(\"'Open!A1.WRAP\")。"}, {"0.HEIGHT", kCell + "0\")。"},  // never reaching the application step
            {"A1.SHEET.HEADER.LEFT.FONT.NAME.X", "TXLS-02211 ドット(.)で区切られたキーワードが多すぎます(\"A1.SHEET.HEADER.LEFT.FONT.NAME.X\")。"},
            {std::string(257, 'v') + ".FONT.COLOR", section + "257" + section_end}, {kanji, section + "384" + section_end}});
    for (const std::string &name : std::vector<std::string>{"x:1", "Sheet2!", ".FONT.COLOR", "", "-3.HEIGHT", "99999999999999999999.HEIGHT", "ZZZ.WIDTH", std::string(5000, '.')})
        EXPECT_EQ(parse(name).substr(0, 5), "TXLS-") << name.substr(0, 20);
    parse("Sheet2!A1.FONT");  // a failed parse leaves no half-filled target behind
    EXPECT_EQ(std::vector({target.sheet, target.row, target.column, target.area_count}), std::vector({-1, -1, -1, 0}));
    book.max_rows = kXlsMaxRows;
    book.max_columns = kXlsMaxColumns;
    book.charset = kSjis;
    expect({{"65537.HEIGHT", kCell + "65537\")。"}, {"IW.WIDTH", kCell + "IW\")。"}, {"IV.WIDTH", "223"}, {kanji, "2001"}, {kanji + "漢", section + "258" + section_end}});
}

TEST_F(Statements, IsPropertyGivesTheIdInEveryCharacterSet) {
    for (auto [charset, set] : {std::pair{"SJIS", kSjis}, {"EUC", kEuc}, {"UTF8", kUtf8}}) {
        reopen(charset);
        int id = -7;  // a cell, a range or a variable name is no property
        for (auto [name, expected] : {std::pair{"A1", -1}, {"B2:C3", -1}, {"total", -1}, {"A1.FONT.COLOR", 334}, {"A1.フォント.色", 334}, {"用紙.拡大／縮小", 713}}) {
            EXPECT_EQ(TXLS_is_property(&book, from_utf8(name, set).c_str(), &id), 0) << charset << " " << name;
            EXPECT_EQ(id, expected) << charset << " " << name;
        }
        EXPECT_EQ(TXLS_is_property(&book, from_utf8("A1.フォント.いろ", set).c_str(), &id), -3);
        EXPECT_EQ(message(), kKeyword + "いろ\")。") << charset;
        EXPECT_EQ(std::vector({id, book.error_code, TXLS_is_property(&book, "A1.\x81\xFF\xE3\x80.\x95", &id)}), std::vector({-1, -3, -3}));  // bytes of no character
    }
}

TEST_F(Statements, CellValuesSpacingQuotesAndRefusals) {
    std::string thousands;
    for (int i = 0; i < 5000; ++i) thousands += "A" + std::to_string(i + 1) + "=" + std::to_string(i) + "\n";
    run({{"", 0, ""}, {" \t\r\n ", 0, ""}, {"C1 = 5 C2=6 C3 =7\r\nC4= 8;", 0, "C1=5 C2=6 C3=7 C4=8"},
         {"B1=\"hello world\" B2=\"say \"\"hi\"\"\" B3=\"\"", 0, "B1=hello_world B2=say_\"hi\" B3="},  // quotes hold blanks together, and go
         {thousands, 0, "A5000=4999"}, {"A1=" + std::string(kValueBufferBytes - 1, 'v'), 0, ""},
         {"A1=", -3, kCell + "A1\")。"}, {"A1", -3, kCell + "A1\")。"}, {"A1 == 5", -3, kCell + "5\")。"}, {"A1 5", -3, "TXLS-02303 引数列のイコール(=)部分が不正です(\"5\")。"},
         {"A1=" + std::string(kScanMaxStatements + 1, 'v'), -3, kCell + "A1\")。"},  // an over-long value is no cut value
         {"B2:C3=1", -3, "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"B2:C3\")。"}, {"XYZ1.FOO=1", -3, kKeyword + "FOO\")。"},
         {"DATASOURCE=1", -3, kKeyword + "DATASOURCE\")。"}, {"3:7=1", -3, kKeyword + "3:7\")。"}, {"total=5", -3, kKeyword + "total\")。"},  // no variables here
         {"A1.FONT=1", -3, "TXLS-02403 フォント(FONT)の指定内容が不正です(\"属性\")。"}, {"A($NOPE)=1", -3, "TXLS-03001 変数の値が取得できません(\"$NOPE\")。"},
         // A quoted sheet prefix, in either quote style, is read on past its closing quote.
         {"'Sheet1'!E1=5 \"Sheet1\"!E2=6 'Sheet1'!E3.FONT.SIZE=14", 0, "E1=5 E2=6"}, {"'Sheet1'!E1", -3, kCell + "'Sheet1'!E1\")。"},
         {"A1=" + std::string(kValueBufferBytes, 'v'), -909, "TXLS-03009 バッファサイズ(\"98301\")オーバー(\"XLS_CELL_LEN\")。"},
         // The loop does not stop silently: later statements would be lost without a word.
         {"A1=1 " + std::string(kScanMaxOptions + 1, 'n') + "=1 K2=2", -3, "TXLS-02210 キーワードが長すぎます(\"" + std::string(64, 'n') + "\")。最大長は(6000)バイトです。|K2="},
         {std::string(kScanMaxOptions, 'n') + "=1", -3, "TXLS-03009 バッファサイズ(\"6000\")オーバー(\"tsx_parse_property() section\")。"},
         {"A1.IMAGE=/no/such/picture.png", -3, "TXLS-03102 イメージファイルオープンエラー(\"/no/such/picture.png\")。"},
         {"A1:E1.SPARKLINE=F1", -3, "TXLS-02622 スパークライン(SPARKLINE)の指定内容が不正です(\"F1\")。"},
         // Errors stop the loop; earlier statements stay, a thousand later ones are not looked at.
         {"D1=1 E1=2 F1 3 G1=4", -3, "TXLS-02303 引数列のイコール(=)部分が不正です(\"3\")。|D1=1 E1=2 G1="},
         {"D2=1 D2.FONT.COLOR=RED D2.FONT.SIZE=x D3=9", -3, "TXLS-02403 フォント(FONT)の指定内容が不正です(\"x\")。|D2=1 D3="}});
    EXPECT_NE(store().sheets[0]->rows[1].cells[3].style, 0);
    std::string many = "Z1=1 Z1 oops";
    for (int i = 0; i < 1000; ++i) many += " H" + std::to_string(i + 1) + "=x";
    EXPECT_EQ(put(many), -3);
    EXPECT_EQ(value("H5"), "");
    EXPECT_TRUE(store().variables.empty());
    EXPECT_EQ(TXLS_put_values(nullptr, "A1=1"), -3);
    StatementOptions options;  // with the switch on they become variables; an over-long key is a fixed limit (-909)
    options.allow_variables = true;
    std::string stored;
    EXPECT_EQ(run_statements(store(), "total=\"12\"", options), 0);
    EXPECT_EQ(get_variable(store(), "total", stored), 0);
    EXPECT_EQ(stored, "12");
    EXPECT_EQ(run_statements(store(), std::string(kKeyBytes + 1, 'k') + "=1", options), -909);
}

TEST_F(Statements, TemplateModeAcceptsOnlyItsIdsAndOtherCharacterSets) {
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
    for (auto [charset, code] : {std::pair{"SJIS", kSjis}, {"EUC", kEuc}}) {
        reopen(charset, from_utf8("売上", code));
        EXPECT_EQ(put(from_utf8("A1=表示 A1.フォント.色=赤 売上!B1.罫線.左=二重線", code)), 0) << charset << " " << message();
        EXPECT_NE(store().sheets[0]->rows[0].cells[0].style * store().sheets[0]->rows[0].cells[1].style, 0) << charset;
        // Shift-JIS "表" ends in 0x5C and "ソ" in 0x5C: trail bytes are no separators.
        EXPECT_EQ(put(from_utf8("SHEET=\"ソ表\"", code)), 0) << charset;
        EXPECT_EQ(store().current()->name, "ソ表") << charset;
    }
}

TEST_F(SheetProps, BookSettings) {
    const std::string too_long = "TXLS-02210 キーワードが長すぎます(\"";
    run({
        {"BOOK.NAME=report", 0, "file=report.xlsx"}, {"BOOK.NAME=report.XLSX", 0, "file=report.XLSX"}, {"BOOK.NAME=a.x", 0, "file=a.x.xlsx"},
        {"BOOK.NAME=" + std::string(251, 'n'), 0, ""},
        {"BOOK.NAME=" + std::string(252, 'n'), -3, kLong + "|file=" + std::string(251, 'n') + ".xlsx"},
        {"BOOK.COMPANY=" + std::string(150, 'c'), 0, "company=" + std::string(150, 'c')},
        {"BOOK.COMPANY=" + std::string(151, 'c'), -3, too_long + std::string(151, 'c') + "\")。最大長は(150)バイトです。|company=" + std::string(150, 'c')},
        {"BOOK.CREATOR=山田", 0, "author=山田"}, {"BOOK.MANAGER=boss", 0, "manager=boss"}, {"BOOK.TITLE=" + std::string(300, 't'), 0, ""},
        {"BOOK.SUBJECT=" + std::string(301, 's'), -3, too_long + std::string(301, 's') + "\")。最大長は(300)バイトです。"},
        {"BOOK.WRITE_PASSWORD=" + std::string(16, 'p'), 0, ""}, {"BOOK.WRITE_PASSWORD=" + std::string(17, 'p'), -3, too_long + std::string(17, 'p') + "\")。最大長は(16)バイトです。"},
        {"BOOK.RECALC=false", 0, "recalc=0"}, {"BOOK.BACKUP=する", 0, "backup=1"}, {"BOOK.FINAL=TRUE", 0, "final=1"},
        {"SHEET.ORDER=DESC", 0, "desc=1"}, {"SHEET.ORDER=正", 0, "desc=0"}, {"SHEET.ORDER=UP", -3, kKeyword + "UP\")。"},
        {"TEMPLATE=base.xlsx", -1, "TXLS-03600 内部処理エラー(\"TEMPLATE: the book has sheets already\")。"},
        {"SHEET.BACKGROUND.PATH=/no/such/bg.png", -3, "TXLS-03102 イメージファイルオープンエラー(\"/no/such/bg.png\")。"},
        {"SHEET.BACKGROUND.PATH=" + std::string(257, 'p'), -3, kLong}, {"BOOK.THUMBNAIL.PATH=" + std::string(257, 'p'), -3, kLong},
        {"BOOK.THUMBNAIL.PATH=/no/such/thumb.jpg", -3, "TXLS-03102 イメージファイルオープンエラー(\"/no/such/thumb.jpg\")。"},
        {"BOOK.THUMBNAIL.PATH=/", -3, "TXLS-03102 イメージファイルオープンエラー(\"/\")。"},
    });
    TempFolder folder;
    const std::string png = folder.write("t.png", "\x89PNG\r\n\x1a\n...."), jpeg = folder.write("t.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF");
    const std::string cut = folder.write("cut.jpg", "\xFF\xD8");
    run({{"BOOK.THUMBNAIL.PATH=" + png, -3, kPictureRefused + png + "\")。"}, {"BOOK.THUMBNAIL.PATH=" + jpeg, 0, "thumbnail=" + jpeg},
         {"BOOK.THUMBNAIL.PATH=" + cut, -3, kPictureRefused + cut + "\")。"}});
}

TEST_F(SheetProps, SheetNamesAndViewSettings) {
    run({
        {"SHEET.NAME=Summary", 0, "sheets=2 current=1"}, {"SHEET.NAME=Data", 0, "current=0"}, {"SHEET.NAME=" + std::string(94, 's'), -3, kLong},
        {"SHEET.NAME=a/b", -3, "TXLS-02320 シート名が不正です(\"a/b\")。"}, {"SHEET.NAME=summary", -3, "TXLS-02321 既に存在しているシート名です(\"summary\")。"},
        // Over a workbook's 31 characters: cut as the sheet options cut, and found again so.
        {"SHEET.NAME=" + std::string(40, 'L'), 0, "name=" + std::string(29, 'L')}, {"SHEET.NAME=" + std::string(40, 'L'), 0, "sheets=3"},
        {"SHEET.NAME=Data SHEET.HIDDEN=TRUE", 0, "hidden=1"}, {"SHEET.HIDDEN=ON", -3, kKeyword + "ON\")。|hidden=1"},
        {"SHEET.HIDDEN_GRID=TRUE", 0, "grid=0"}, {"SHEET.HIDDEN_HEADER=しない", 0, "headings=1"}, {"SHEET.PROTECT=TRUE", 0, "protected=1"},
        {"SHEET.ZOOM=150", 0, "zoom=150"}, {"SHEET.ZOOM=big", -3, "TXLS-02302 数値が不正です(\"big\")。"},
        {"SHEET.FROZEN_TOP=TRUE", 0, "frozen=1"}, {"SHEET.FROZEN_LEFT=FALSE", 0, "frozen=0"}, {"SHEET.FROZEN_TOP=1", -3, kKeyword + "1\")。"},
        {"SHEET.FROZEN_SPLIT=b3", 0, "split=2,1"}, {"SHEET.FROZEN_SPLIT=3B", -3, "TXLS-02506 ウィンドウ枠固定(FROZEN_SPLIT)の指定内容が不正です(\"3B\")。"},
        {"SHEET.SCROLL_ROW=20", 0, "top_row=19"}, {"SHEET.SCROLL_ROW=anything", 0, ""}, {"SHEET.TAB.COLOR=#00FF00", 0, "tab=-1:00FF00"},
        {"SHEET.TAB.COLOR=BLACK", 0, "tab=-1:000000"},  // black stays a colour
        {"SHEET.TAB.COLOR=NONE", -3, "TXLS-02401 色(COLOR)の指定内容が不正です(\"NONE\")。"},
        {"SHEET.PASSWORD=secret", 0, "protected=1 password=secret"},
        {"SHEET.PASSWORD=" + std::string(17, 'x'), -3, "TXLS-02210 キーワードが長すぎます(\"" + std::string(17, 'x') + "\")。最大長は(16)バイトです。"},
        {"Summary!SHEET.ZOOM=75", 0, "zoom=150"},  // a target only picks the sheet
    });
    EXPECT_EQ(store().sheets[1]->settings.zoom, 75);
    store().from_file = true;  // loaded books only select the sheets they have
    run({{"SHEET.NAME=Missing", -3, "TXLS-03002 テンプレートシート(\"Missing\")が取得できません。"}, {"SHEET.NAME=Summary", 0, "current=1"}});
}

TEST_F(SheetProps, PaperMarginsHeadersAndPrintTitles) {
    const std::string fit = "TXLS-02507 印刷ページ数合わせ(PRINT_PAGE_FIT)の指定内容が不正です(\"", number = "TXLS-02302 数値が不正です(\"";
    const std::string rows = "TXLS-02504 印刷タイトル行(PRINT_TITLE_ROW)の指定内容が不正です(\"";
    const std::string columns = "TXLS-02505 印刷タイトル列(PRINT_TITLE_COLUMN)の指定内容が不正です(\"";
    run({
        {"PAPER.SIZE=Letter", 0, "paper=4"}, {"PAPER.SIZE=a3", 0, "paper=3"}, {"PAPER.ORIENTATION=landscape", 0, "landscape=1"}, {"PAPER.ORIENTATION=X", 0, "landscape=0"},
        {"PAPER.SCALE=80.9", 0, "scale=80"}, {"PAPER.SCALE=half", -3, number + "half\")。"}, {"PAPER.SCALE=5", -3, number + "5\")。"},
        {"PAPER.DPI=300", 0, "dpi=300"}, {"PAPER.MARGIN.BOTTOM=1 PAPER.MARGIN.RIGHT=1 PAPER.MARGIN.HEADER=1", 0, ""}, {"PAPER.MARGIN.TOP=2.5", 0, "top=2.5"}, {"PAPER.MARGIN.FOOTER=0.5", 0, "footer=0.5"},
        {"PAPER.MARGIN.LEFT=-1", -3, number + "-1\")。"}, {"PAPER.MARGIN.LEFT=1cm", -3, number + "1cm\")。|left=1.778"},
        {"PRINT_PAGE_FIT.HORIZONTAL=0", -3, fit + "0\")。|fit=0,0,0"}, {"PRINT_PAGE_FIT.VERTICAL=1.5", -3, fit + "1.5\")。"},
        {"PRINT_PAGE_FIT.HORIZONTAL=1", 0, "fit=1,1,0"},
        {"SHEET.HEADER.CENTER=&[PAGE_NO]/&[PAGE_TOTAL]", 0, "header.c=&P/&N_default"}, {"SHEET.FOOTER.RIGHT=right", 0, "footer.r=right_default"},
        {"SHEET.HEADER.CENTER.FONT.SIZE=14 SHEET.HEADER.CENTER.FONT.COLOR=RED", 0, "header.c=&P/&N_14/11"},
        {"SHEET.FOOTER.LEFT.FONT.STYLE=fancy", -3, "TXLS-02403 フォント(FONT)の指定内容が不正です(\"fancy\")。"},
        {"SHEET.FOOTER.LEFT.FONT.COLOR=NONE", -3, "TXLS-02401 色(COLOR)の指定内容が不正です(\"NONE\")。|footer.l=(unset)_default"},
        {"SHEET.PRINT_TITLE_ROW=3:1", 0, "title_rows=1,3"}, {"SHEET.PRINT_TITLE_ROW=2", 0, "title_rows=2,2"},
        {"SHEET.PRINT_TITLE_ROW=0", -3, rows + "0\")。"}, {"SHEET.PRINT_TITLE_ROW=1:1048577", -3, rows + "1:1048577\")。"},
        {"SHEET.PRINT_TITLE_ROW=a:b", -3, rows + "a:b\")。"}, {"SHEET.PRINT_TITLE_ROW=1:", -3, rows + "1:\")。"},
        {"SHEET.PRINT_TITLE_COLUMN=b", 0, "title_columns=2,2"}, {"SHEET.PRINT_TITLE_COLUMN=C:A", 0, "title_columns=1,3"},
        {"SHEET.PRINT_TITLE_COLUMN=ABCD", -3, columns + "ABCD\")。"}, {"SHEET.PRINT_TITLE_COLUMN=A1", -3, columns + "A1\")。"},
        {"SHEET.PRINT_TITLE_COLUMN=ZZZ", -3, columns + "ZZZ\")。"}, {"SHEET.PRINT_TITLE_COLUMN=\"\"", -3, columns + "\")。"},
    });
    EXPECT_EQ(translate_field_codes("&[パス]&[FILE_NAME] &[SHEET_NAME] &[DATE] &[TIME] &[OTHER]"), "&Z&F &A &D &T &[OTHER]");
}

TEST_F(Annotations, CommentsAndHyperlinks) {
    run({
        {"B2:C3.COMMENT=\"see the total\"", 0, "comments=B2=see_the_total,C2=see_the_total,B3=see_the_total,C3=see_the_total"},
        // A cell carries one comment: the later text replaces the earlier where it stands.
        {"C2.コメント=新しい A9.COMMENT=x", 0, "comments=B2=see_the_total,C2=新しい,B3=see_the_total,C3=see_the_total,A9=x"},
        // External links, "mailto:" only where a dot follows the at-sign; a cell keeps one link.
        {"B2.HYPERLINK=\"someone@example.com\"", 0, "links=1:B2>mailto:someone@example.com!0,0"}, {"B2.HYPERLINK=a@b", 0, "links=1:B2>a@b!0,0"},
        {"B2.HYPERLINK=first.last@host", 0, "links=1:B2>first.last@host!0,0"},
        {"B2.HYPERLINK=\"http://example.com/?a=1&b=2\"", 0, "links=1:B2>http://example.com/?a=1&b=2!0,0"},
        {"B2.HYPERLINK=\"C:\\reports\\april.xlsx\"", 0, "links=1:B2>C:\\reports\\april.xlsx!0,0"},
        {"SHEET=Other Other!E5.COMMENT=there", 0, ""},
    });
    for (const CellComment &c : notes().comments) EXPECT_EQ(std::pair(c.points, c.colour_kind), std::pair(11, 0));
    EXPECT_EQ(notes(1).comments.size(), 1u);
    EXPECT_EQ(external_hyperlink_target("x@y.z"), "mailto:x@y.z");
    ASSERT_EQ(put("Data!A1=text Data!A1.HYPERLINK=http://a.example/"), 0);
    EXPECT_EQ(store().sheets[0]->rows[0].cells[0].style, kXfHyperlink);  // the linked cell shows the link format of a new book
    EXPECT_EQ(notes().hyperlinks.size(), 2u);
}

TEST_F(Annotations, TablesTakeTheirColumnNamesFromTheFirstRow) {
    run({
        {"A1=Name C1=Amount A2=x B2=1 C2=2 A1:C5.TABLE_FORMAT=Medium9", 0, "table.names=Name,列2,Amount table.style=2:9 table.end=C5"},
        // "name2" and "Name2" are one name to a spreadsheet program; numbers become header texts.
        {"A11=Name B11=name C11=Name2 D11=Name E11=2024 A11:E13.TABLE_FORMAT=light1", 0, "table.names=Name,name3,Name2,Name4,2024"},
        // A new column name wins; a column it now repeats gets the number instead.
        {"D11.TABLE_FORMAT.COLUMN_NAME=Name", 0, "table.names=Name4,name3,Name2,Name,2024"},
    });
    EXPECT_EQ(value("B1") + " " + value("B11") + " " + value("D11") + " " + value("A11") + " " + kind("E11"), "列2 name3 Name Name4 CHARACTER");
    int row = 21;
    for (auto [name, facts] : {std::pair{"Light1", "1:1"}, {"淡色21", "1:21"}, {"MEDIUM28", "2:28"}, {"中間2", "2:2"}, {"dark11", "3:11"}, {"濃色3", "3:3"}}) {
        run({{"A" + std::to_string(row) + ":B" + std::to_string(row + 1) + ".TABLE_FORMAT=" + name, 0,
              std::string("table.style=") + facts + " table.order=" + std::to_string(notes().tables.size())}});
        row += 3;
    }
    for (std::string bad : {"Light22", "Medium0", "Dark12", "Light01", "淡色", "Pastel1", "ＬＩＧＨＴ1"}) run({{"A40:B41.TABLE_FORMAT=" + bad, -3, kKeyword + bad + "\")。"}});
}

TEST_F(Annotations, RefusedStatementsLeaveTheBookAsItWas) {
    const std::string overlap = "TXLS-02632 表書式(TABLE_FORMAT)は既に定義したセル範囲に対して定義できません。";
    ASSERT_EQ(put("B2:D5.TABLE_FORMAT=Light1"), 0);
    run({
        {"D5:F8.TABLE_FORMAT=Light1", -3, overlap}, {"A1:B2.TABLE_FORMAT=Light1", -3, overlap}, {"A1:E9.TABLE_FORMAT=Light1", -3, overlap},
        {"A3:F3.TABLE_FORMAT=Light1", -3, "TXLS-02301 セル範囲指定値が不正です(\"A3:F3.TABLE_FORMAT\")。"},
        {"H1.TABLE_FORMAT=Light1", -3, "TXLS-02101 セル範囲指定(RANGE)が必要です(\"表書式(TABLE_FORMAT)\")。"},
        {"B2:C3.HYPERLINK=http://x.example/", -3, "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"ハイパーリンク(HYPERLINK)\")。"},
        {"H1=\"=1+2\" H1:I3.TABLE_FORMAT=Dark1", -3, "TXLS-02633 表書式(TABLE_FORMAT)の一行目に計算式が含まれています。"},
        {"Z1.TABLE_FORMAT.COLUMN_NAME=x", -3, "TXLS-02631 (\"表書式(TABLE_FORMAT).列名(COLUMN_NAME)\")の前に表書式(TABLE_FORMAT)が指定されていません。"},
        {"A1:XFD1048576.COMMENT=x", -3, "TXLS-03008 (\"コメント(COMMENT)\")の数が制限(\"65536\")を超えました。"},
        {"3:4.COMMENT=x", -3, "TXLS-02300 セル指定値が不正です(\"3:4.COMMENT\")。|tables=1 comments= links="},
        {"B:C.COMMENT=x", -3, kCell + "B:C.COMMENT\")。"}, {"C.COMMENT=x", -3, kCell + "C.COMMENT\")。"},
        {"3.HYPERLINK=x", -3, kCell + "3.HYPERLINK\")。"}, {"B2.HYPERLINK=\"\"", 0, "links="},
        {"A1:B2.TABLE_FORMAT.COLUMN_NAME=x", -3, "TXLS-02100 セル範囲指定(RANGE)は使用できません(\"表書式(TABLE_FORMAT).列名(COLUMN_NAME)\")。"},
        {"3.TABLE_FORMAT.COLUMN_NAME=x", -3, kCell + "3.TABLE_FORMAT.COLUMN_NAME\")。"},
        // Without any table on the sheet the column name has nothing to name.
        {"SHEET=Empty A1.TABLE_FORMAT.COLUMN_NAME=x", -3, "TXLS-02631 (\"表書式(TABLE_FORMAT).列名(COLUMN_NAME)\")の前に表書式(TABLE_FORMAT)が指定されていません。"},
    });
}

TEST_F(Annotations, ValueWrittenAsALinkShowsItsTextAndLinksTheCell) {
    ASSERT_EQ(TXLS_put_cell(&book, "A1", "#Sheet2!B3\"Go\""), 0);
    // The same form through a statement (quoted, with its quotes doubled), with a quoted sheet
    // name and a text holding quotes.
    ASSERT_EQ(put("B1=\"#'Q1 ''24'!$C$7\"\"say \"\"hi\"\"\"\"\""), 0);
    EXPECT_EQ(value("A1") + "|" + value("B1"), "Go|say \"hi\"");
    EXPECT_TRUE(holds("links=-1:A1>Sheet2!3,2,-1:B1>Q1_'24!7,3"));
    for (const char *plain : {"#1 seller", "#tag\"quoted\"", "#note!", "#a\"b!c\""}) {  // values that only start with "#" stay text
        ASSERT_EQ(TXLS_put_cell(&book, "C1", plain), 0) << plain;
        EXPECT_EQ(value("C1"), plain);
    }
    // A target that is no cell name is refused and the cell keeps its value.
    EXPECT_EQ(TXLS_put_cell(&book, "C1", "#Sheet2!Nowhere\"Go\""), -1);
    EXPECT_EQ(message(), "TXLS-02300 セル指定値が不正です(\"Nowhere\")。");
    EXPECT_EQ(value("C1"), "#a\"b!c\"");
    EXPECT_EQ(TXLS_put_cell(&book, "C1", ("#" + std::string(94, 's') + "!A1\"Go\"").c_str()), -909);
    EXPECT_EQ(message(), "TXLS-03009 バッファサイズ(\"94\")オーバー(\"tsx_check_hyperlink() XLS_SHEET_LEN\")。");
    EXPECT_EQ(TXLS_put_cell(&book, "C1", ("#S!" + std::string(33, 'A') + "1\"Go\"").c_str()), -909);
    EXPECT_NE(message().find("tsx_check_hyperlink() CELL_NAME_LEN"), std::string::npos);
    EXPECT_EQ(notes().hyperlinks.size(), 2u);
}
