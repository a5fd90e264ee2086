// Property paths: every path's id, Japanese aliases, the target forms, the family rules for
// SHEET and BOOK, continuation errors with their messages, section limits and the API call.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "api/api.h"
#include "common/fixtures.h"
#include "props/property_parser.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;

namespace {

class Paths : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : {"Sheet1", "Sheet2", "Q1.2024"}) ASSERT_GE(add_sheet(book, name), 0);
        book.charset = kUtf8;
    }
    int id_of(std::string_view name) {
        int id = -7;
        target = PropertyTarget{};
        EXPECT_EQ(tsx_parse_property(book, name, id, target), 0) << name << ": " << book.err.message_utf8();
        return id;
    }
    // The parse result and the message of a failing name.
    std::pair<int, std::string> failure(std::string_view name) {
        int id = -7;
        int rc = tsx_parse_property(book, name, id, target);
        EXPECT_EQ(id, -1) << name;
        return {rc, rc ? book.err.message_utf8() : std::string()};
    }
    // "sheet|row,column|areas" of the last target.
    std::string where() const {
        std::string s = std::to_string(target.sheet) + "|" + std::to_string(target.row) + "," +
                        std::to_string(target.column) + "|";
        for (int i = 0; i < target.area_count; ++i) {
            const TargetArea &a = target.areas[static_cast<std::size_t>(i)];
            s += (i ? " " : "") + std::to_string(a.row1) + "," + std::to_string(a.column1) + ":" +
                 std::to_string(a.row2) + "," + std::to_string(a.column2);
        }
        return s + (target.row_range ? " rows" : "") + (target.column_range ? " columns" : "");
    }
    Book book;
    PropertyTarget target;
};

}  // namespace

TEST_F(Paths, EveryPropertyPathResolvesToItsIdAndNamesItselfInMessages) {
    int paths = 0;
    for (int id = 100; id <= kPropTsv; ++id) {
        std::string path(property_path(id));
        if (path.empty()) continue;
        ++paths;
        EXPECT_EQ(id_of("B2." + path), id) << path;
        EXPECT_EQ(property_display_name(id, target), "B2." + path);
    }
    EXPECT_GT(paths, 150);
    const std::pair<std::string, int> more[] = {
        {"BOOK.NAME", kPropBookName}, {"SHEET.NAME", kPropSheetName}, {"SHEET.ZOOM", kPropSheetZoom},
        {"A1.IMAGE.PATH", kPropImageFirst}, {"C.AUTO_WIDTH", kPropAutoWidth}, {"myvar", kPropVariable},
        {"FONT.COLOR", kPropFontColor},  // no target: the same id
        // SHEET and BOOK families take any continuation they do not know as the name.
        {"SHEET.PAPER.SIZE", kPropSheetName}, {"SHEET.FONT.COLOR", kPropSheetName}, {"SHEET.HEADER", kPropSheetName},
        {"BOOK.VERSION", kPropBookName}, {"BOOK.SHEET.ZOOM", kPropBookName}, {"TEMPLATE.NAME", kPropTemplate},
        // Sheet-only keywords name nothing without SHEET; vertical text needs a cell target.
        {"HIDDEN", -1}, {"X.HIDDEN", -1}, {"TAB.COLOR", -1}, {"HEADER.LEFT.FONT.NAME", -1}, {"DATASOURCE", -1},
        {"A1.ROWNUM", -1}, {"DATE", -1}, {"HOSTNAME", -1}, {"A1.FONT.COLOR.X", -1}, {"ROTATION", -1},
        {"3.ROTATION", kPropRotation}, {"A1.AUTOSHAPE.ROTATION", 639}, {"x:y", -1},  // a column range alone
        {"A1.SHEET.HEADER.LEFT.FONT.NAME", kPropHeaderLeft + 1}, {std::string(256, 'v'), kPropVariable},
    };
    for (const auto &[name, id] : more) EXPECT_EQ(id_of(name), id) << name;
    // Shape paths stay in the shape range, each with its own id.
    std::vector<int> seen;
    for (const char *path : {"", ".TYPE", ".WIDTH", ".OFFSET.X", ".END.OFFSET.Y", ".ADJUST.X", ".TEXT", ".FONT.COLOR",
                             ".ALIGN.TEXT", ".STYLE", ".EFFECT", ".RESET", ".FILL.KIND", ".FILL.GRADATION.DEGREE",
                             ".LINE.WIDTH", ".ARROW.START.KIND", ".ARROW.END.LENGTH", ".SHADOW.BLUR", ".SHADOW.DIST"}) {
        int id = id_of(std::string("B2.AUTOSHAPE") + path);
        EXPECT_TRUE(id >= kPropAutoshapeFirst && id <= kPropAutoshapeLast) << path;
        EXPECT_EQ(std::count(seen.begin(), seen.end(), id), 0) << path;
        seen.push_back(id);
    }
}

TEST_F(Paths, JapaneseAliasesMatchExactlyEnglishIgnoresCase) {
    const std::pair<const char *, int> cases[] = {
        {"A1.フォント.色", 334}, {"a1.font.color", 334}, {"a1.Font.色", 334}, {"A1.罫線.左", 311}, {"A1.罫線.左側", 311},
        {"A1.塗りつぶし.グラデーション.色１", 351}, {"A1.塗りつぶし.グラデーション.色2", 352},
        {"A1.塗りつぶし.パターン.名", 342}, {"A1.縦書き", 403}, {"A1.回転", 403}, {"ブック.書き込みパスワード", 110},
        {"ブック.書込みパスワード", 110}, {"ブック.サムネイル.ファイル名", 113}, {"シート.ヘッダー.中央部.フォント.サイズ", 823},
        {"シート.枠線非表示", 207}, {"用紙.拡大／縮小", 713}, {"用紙.余白.フッター", 720}, {"印刷ページ数合わせ.横", 722},
        {"A1:C3.グラフ.行/列の切り替え", 602}, {"A1:C3.グラフ.X軸.フォント.サイズ", 623}, {"A1:C3.表書式.カラム名", 532},
        {"A1.イメージ.オフセット.Ｙ", 504}, {"ズーム", 202}, {"テンプレート", 109},
    };
    for (auto [name, id] : cases) EXPECT_EQ(id_of(name), id) << name;
    EXPECT_EQ(id_of("B2.オートシェイプ.枠線.色"), id_of("B2.AUTOSHAPE.LINE.COLOR"));
    EXPECT_EQ(id_of("B2.オートシェイプ.影.ぼかし"), id_of("B2.AUTOSHAPE.SHADOW.BLUR"));
    // Aliases are not case-folded or trimmed, and near misses are no keywords.
    EXPECT_EQ(failure("A1.フォント.いろ"), std::make_pair(-3, std::string("TXLS-02200 サポート外のキーワードです(\"いろ\")。")));
    EXPECT_EQ(failure("A1.ＦＯＮＴ.COLOR").first, -3);
    EXPECT_EQ(failure("A1.FONT .COLOR").first, -3);
}

TEST_F(Paths, TargetForms) {
    const std::pair<const char *, const char *> cases[] = {
        {"B7.FONT.SIZE", "-1|6,1|"},                 {"A1:C5.BORDER", "-1|-1,-1|0,0:4,2"},
        {"A1:B2,D4,F6:G7.BORDER", "-1|-1,-1|0,0:1,1 3,3:3,3 5,5:6,6"},
        {"B:D.WIDTH", "-1|-1,-1|0,1:0,3 columns"},   {"3:7.HEIGHT", "-1|-1,-1|2,0:6,0 rows"},
        {"3.HEIGHT", "-1|2,-1|"},                    {"1,000.HEIGHT", "-1|999,-1|"}, {"+12.HEIGHT", "-1|11,-1|"},
        {"C.WIDTH", "-1|-1,2|"},                     {"AA.WIDTH", "-1|-1,26|"},      {"xfd.WIDTH", "-1|-1,16383|"},
        {"Sheet2!B3.FONT.SIZE", "1|2,1|"},           {"'Q1.2024'!A1.FONT.SIZE", "2|0,0|"},
        {"\"Q1.2024\"!C2:D4.FONT.SIZE", "2|-1,-1|1,2:3,3"},
        {"Sheet2!SHEET.ZOOM", "1|-1,-1|"},           // a prefix in front of a keyword only selects the sheet
        {"Nowhere!A1.WRAP", "-1|0,0|"},              // no such sheet: the current one, as for cell values
    };
    for (auto [name, expected] : cases) {
        EXPECT_NE(id_of(name), -1) << name;
        EXPECT_EQ(where(), expected) << name;
    }
    const std::pair<int, const char *> names[] = {{407, "A1,C3:D4.COMMENT"}, {601, "B2:C3.CHART"}, {221, "3:7.HEIGHT"}};
    for (auto [id, name] : names) {
        id_of(name);
        EXPECT_EQ(property_display_name(id, target), name);
    }
    EXPECT_EQ(property_display_name(kPropCsv, PropertyTarget{}), "CSV");
}

TEST_F(Paths, RefusedNamesAndTheirMessages) {
    const std::string font = "TXLS-02403 フォント(FONT)の指定内容が不正です(\"属性\")。";
    const std::string fill = "TXLS-02406 塗りつぶし(FILL)の指定内容が不正です。";
    const std::string paper = "TXLS-02501 用紙(PAPER)の指定内容が不正です。";
    const std::string keyword = "TXLS-02200 サポート外のキーワードです(\"";
    const std::pair<std::string, std::string> cases[] = {
        {"A1.FONT", font}, {"A1.FONT.WIDTH", font}, {"A1.FILL", fill}, {"A1.FILL.NAME", fill},
        {"A1.FILL.PATTERN", "TXLS-02407 パターン(PATTERN)の指定内容が不正です。"},
        {"A1.FILL.GRADATION.NAME", "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"\")。"},
        {"SHEET.TAB", "TXLS-02310 タブ(TAB)の指定内容が不正です。"}, {"PAPER", paper}, {"PAPER.COLOR", paper},
        {"PAPER.MARGIN", "TXLS-02500 余白(MARGIN)の指定内容が不正です。"},
        {"PRINT_PAGE_FIT", "TXLS-02507 印刷ページ数合わせ(PRINT_PAGE_FIT)の指定内容が不正です(\"PRINT_PAGE_FIT\")。"},
        {"SHEET.BACKGROUND", "TXLS-02510 背景(BACKGROUND)の指定内容が不正です。"},
        {"BOOK.THUMBNAIL.NAME", "TXLS-02511 サムネイル(THUMBNAIL)の指定内容が不正です。"},
        {"A1.IMAGE.OFFSET", "TXLS-02402 オフセット(OFFSET)値の指定内容が不正です。"},
        {"A1.AUTOSHAPE.ADJUST.LEFT", "TXLS-02605 アジャスト(ADJUST)値の指定内容が不正です。"},
        {"A1.IMAGE.WIDTH", "TXLS-02420 イメージ(IMAGE)の指定内容が不正です。"},
        {"A1:B2.CHART.AXIS_X", "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"A1:B2.CHART.AXIS_X\")。"},
        {"A1:B2.CHART.NAME", "TXLS-02430 グラフ(GRAPH)の指定内容が不正です(\"A1:B2.CHART.NAME\")。"},
        {"A1.AUTOSHAPE.NAME", "TXLS-02600 オートシェイプ(AUTOSHAPE)の指定内容が不正です(\"A1.AUTOSHAPE.NAME\")。"},
        {"A1.LINE.COLOR", "TXLS-02601 (\"LINE\")の前にオートシェイプが指定されていません。"},
        {"A1.AUTOSHAPE.LINE.NAME", "TXLS-02602 オートシェイプ枠線(LINE)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.ARROW", "TXLS-02603 オートシェイプ矢印(ARROW)の指定内容が不正です。"},
        {"A1.AUTOSHAPE.SHADOW.NAME", "TXLS-02604 オートシェイプ影(SHADOW)の指定内容が不正です。"},
        {"XYZ1.FOO", keyword + "FOO\")。"}, {"SHEET.A1", keyword + "A1\")。"}, {"A1..COLOR", keyword + "\")。"},
        {"A1.FONT.BAR.FOO", keyword + "FOO\")。"},  // the walk runs right to left: the last bad section
        {"a$b.FONT.COLOR", "TXLS-02305 変数名の形式が不正です(\"a$b.FONT.COLOR\")。"},
        // Rows and columns outside the sheet never reach the application step.
        {"0.HEIGHT", "TXLS-02300 セル指定値が不正です(\"0\")。"},
        {"A1.SHEET.HEADER.LEFT.FONT.NAME.X",
         "TXLS-02211 ドット(.)で区切られたキーワードが多すぎます(\"A1.SHEET.HEADER.LEFT.FONT.NAME.X\")。"},
        {std::string(257, 'v') + ".FONT.COLOR",
         "TXLS-03009 バッファサイズ(\"257\")オーバー(\"tsx_parse_property() section\")。"},
        {"x:1", "-"}, {"Sheet2!", "-"}, {".FONT.COLOR", "-"}, {"", "-"}, {"-3.HEIGHT", "-"},
        {"99999999999999999999.HEIGHT", "-"}, {"ZZZ.WIDTH", "-"}, {std::string(5000, '.'), "-"},
    };
    for (const auto &[name, message] : cases) {
        auto [rc, text] = failure(name);
        EXPECT_EQ(rc, -3) << name;
        if (message != "-") {
            EXPECT_EQ(text, message) << name;
        }
    }
    // A failed parse leaves no half-filled target behind.
    failure("Sheet2!A1.FONT");
    EXPECT_EQ(where(), "-1|-1,-1|");
    book.max_rows = kXlsMaxRows;
    book.max_columns = kXlsMaxColumns;
    EXPECT_EQ(failure("65537.HEIGHT").first, -3);
    EXPECT_EQ(failure("IW.WIDTH").first, -3);
    EXPECT_EQ(id_of("IV.WIDTH"), kPropWidth);
    // The section limit counts bytes in the book's character set: 128 kanji are 256 Shift-JIS bytes.
    std::string kanji;
    for (int i = 0; i < 128; ++i) kanji += "漢";
    book.charset = kSjis;
    EXPECT_EQ(id_of(kanji), kPropVariable);
    EXPECT_EQ(failure(kanji + "漢").second, "TXLS-03009 バッファサイズ(\"258\")オーバー(\"tsx_parse_property() section\")。");
    book.charset = kUtf8;
    EXPECT_EQ(failure(kanji).first, -3);
}

class IsProperty : public BookTest {};

TEST_F(IsProperty, GivesTheIdInEveryCharacterSet) {
    for (auto [charset, set] : {std::pair{"SJIS", kSjis}, {"EUC", kEuc}, {"UTF8", kUtf8}}) {
        reopen(charset);
        const std::pair<const char *, int> cases[] = {
            {"A1", -1}, {"B2:C3", -1}, {"total", -1},  // a variable name is no property
            {"A1.FONT.COLOR", 334}, {"SHEET.ZOOM", 202}, {"A1.フォント.色", 334}, {"A1.縦書き", 403},
            {"シート.ヘッダー.右.フォント.名", 812}, {"用紙.拡大／縮小", 713}, {"ブック.書き込みパスワード", 110},
            {"A1.表書式", 531},
        };
        for (auto [name, expected] : cases) {
            int id = -7;
            EXPECT_EQ(TXLS_is_property(&book, from_utf8(name, set).c_str(), &id), 0) << charset << " " << name;
            EXPECT_EQ(id, expected) << charset << " " << name;
        }
        int id = 5;
        EXPECT_EQ(TXLS_is_property(&book, from_utf8("A1.フォント.いろ", set).c_str(), &id), -3);
        EXPECT_EQ(id, -1);
        EXPECT_EQ(book.error_code, -3);
        EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"いろ\")。") << charset;
        // Bytes that are no character of the set never crash the resolver.
        EXPECT_LE(TXLS_is_property(&book, "A1.\x81\xFF\xE3\x80.\x95", &id), 0);
    }
}
