// Property paths: ids for English and Japanese spellings, the target forms, the family rules
// for SHEET and BOOK, continuation errors with their messages, and the section limits.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "api/api.h"
#include "props/property_parser.h"
#include "support/fixtures.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;

namespace {

class Paths : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(add_sheet(book, "Sheet1"), 0);
        ASSERT_GE(add_sheet(book, "Sheet2"), 0);
        ASSERT_GE(add_sheet(book, "Q1.2024"), 0);
        book.charset = kUtf8;
    }
    int id_of(std::string_view name) {
        int id = -7;
        target = PropertyTarget{};
        int rc = tsx_parse_property(book, name, id, target);
        EXPECT_EQ(rc, 0) << name << ": " << book.err.message_utf8();
        return id;
    }
    // The parse result and the message of a failing name.
    std::pair<int, std::string> failure(std::string_view name) {
        int id = -7;
        int rc = tsx_parse_property(book, name, id, target);
        EXPECT_EQ(id, -1) << name;
        return {rc, rc ? book.err.message_utf8() : std::string()};
    }
    Book book;
    PropertyTarget target;
};

}  // namespace

TEST_F(Paths, PropertyTableIds) {
    const std::vector<std::pair<const char *, int>> table = {
        {"BOOK", 101}, {"BOOK.NAME", 101}, {"BOOK.COMPANY", 102}, {"BOOK.CREATOR", 103}, {"BOOK.MANAGER", 104},
        {"BOOK.TITLE", 105}, {"BOOK.SUBJECT", 106}, {"TEMPLATE", 109}, {"BOOK.WRITE_PASSWORD", 110},
        {"BOOK.RECALC", 111}, {"BOOK.BACKUP", 112}, {"BOOK.THUMBNAIL.PATH", 113}, {"BOOK.FINAL", 114},
        {"SHEET", 201}, {"SHEET.NAME", 201}, {"ZOOM", 202}, {"SHEET.ZOOM", 202}, {"SHEET.HIDDEN", 203},
        {"SHEET.PASSWORD", 204}, {"SHEET.PROTECT", 205}, {"SHEET.ORDER", 206}, {"SHEET.HIDDEN_GRID", 207},
        {"SHEET.HIDDEN_HEADER", 208}, {"SHEET.FROZEN_TOP", 209}, {"SHEET.FROZEN_LEFT", 210},
        {"SHEET.FROZEN_SPLIT", 211}, {"SHEET.BACKGROUND.PATH", 212}, {"SHEET.SCROLL_ROW", 213},
        {"3.HEIGHT", 221}, {"3.NEWPAGE", 222}, {"C.WIDTH", 223}, {"SHEET.TAB.COLOR", 231},
        {"A1.BORDER", 310}, {"A1.BORDER.LEFT", 311}, {"A1.BORDER.RIGHT", 312}, {"A1.BORDER.TOP", 313},
        {"A1.BORDER.BOTTOM", 314}, {"A1.BORDER.COLOR", 315}, {"A1.BORDER.DIAGONAL_UP", 316},
        {"A1.BORDER.DIAGONAL_DOWN", 317}, {"A1.FONT.NAME", 331}, {"A1.FONT.STYLE", 332}, {"A1.FONT.SIZE", 333},
        {"A1.FONT.COLOR", 334}, {"A1.FILL.COLOR", 341}, {"A1.FILL.PATTERN.NAME", 342},
        {"A1.FILL.PATTERN.COLOR", 343}, {"A1.FILL.GRADATION.COLOR1", 351}, {"A1.FILL.GRADATION.COLOR2", 352},
        {"A1.FILL.GRADATION.KIND", 353}, {"A1.FILL.GRADATION.VARIATION", 354}, {"A1.ALIGN", 401},
        {"A1.WRAP", 402}, {"A1.ROTATION", 403}, {"A1.SHRINK", 404}, {"A1:B2.MERGE", 405}, {"A1.FORMAT", 406},
        {"A1.COMMENT", 407}, {"A1.IMAGE", 501}, {"A1.IMAGE.PATH", 501}, {"A1.IMAGE.RATIO", 502},
        {"A1.IMAGE.OFFSET.X", 503}, {"A1.IMAGE.OFFSET.Y", 504}, {"A1.HYPERLINK", 511}, {"A1:C9.FILTER", 512},
        {"A1:E1.SPARKLINE", 521}, {"A1.SPARKLINE.TYPE", 522}, {"A1.SPARKLINE.DISPLAY", 523},
        {"A1.SPARKLINE.HIGH.COLOR", 524}, {"A1.SPARKLINE.LOW.COLOR", 525}, {"A1.SPARKLINE.START.COLOR", 526},
        {"A1.SPARKLINE.END.COLOR", 527}, {"A1.SPARKLINE.NEGATIVE.COLOR", 528}, {"A1.SPARKLINE.MARKER.COLOR", 529},
        {"A1:C5.TABLE_FORMAT", 531}, {"B1.TABLE_FORMAT.COLUMN_NAME", 532}, {"A1:C5.CHART", 601},
        {"CHART.SWITCH", 602}, {"CHART.TITLE", 603}, {"CHART.LEGEND.POSITION", 604},
        {"CHART.LEGEND.FONT.SIZE", 605}, {"CHART.SERIES_LINE", 606}, {"CHART.MAJOR_UNIT", 607},
        {"CHART.DATA_LABEL", 608}, {"CHART.MIN", 609}, {"CHART.MAX", 610}, {"CHART.GAP_WIDTH", 611},
        {"CHART.STYLE", 612}, {"CHART.TYPE", 613}, {"CHART.LOCATION", 614}, {"CHART.LEGEND", 615},
        {"CHART.BACK_COLOR", 616}, {"CHART.GRADATION.COLOR1", 617}, {"CHART.GRADATION.COLOR2", 618},
        {"CHART.3D_ROTATE_X", 619}, {"CHART.3D_ROTATE_Y", 620}, {"CHART.3D_DEPTH", 621},
        {"CHART.3D_PERSPECTIVE", 622}, {"CHART.AXIS_X.FONT.SIZE", 623}, {"CHART.AXIS_Y.FONT.SIZE", 624},
        {"CHART.TITLE.FONT.SIZE", 625}, {"CHART.RESET", 629},
        {"PAPER.SIZE", 711}, {"PAPER.ORIENTATION", 712}, {"PAPER.SCALE", 713}, {"PAPER.DPI", 714},
        {"PAPER.MARGIN.TOP", 715}, {"PAPER.MARGIN.BOTTOM", 716}, {"PAPER.MARGIN.LEFT", 717},
        {"PAPER.MARGIN.RIGHT", 718}, {"PAPER.MARGIN.HEADER", 719}, {"PAPER.MARGIN.FOOTER", 720},
        {"PRINT_PAGE_FIT.VERTICAL", 721}, {"PRINT_PAGE_FIT.HORIZONTAL", 722},
        {"SHEET.HEADER.LEFT", 801}, {"SHEET.HEADER.LEFT.FONT.NAME", 802}, {"SHEET.HEADER.LEFT.FONT.SIZE", 803},
        {"SHEET.HEADER.LEFT.FONT.STYLE", 804}, {"SHEET.HEADER.LEFT.FONT.COLOR", 805},
        {"SHEET.HEADER.RIGHT", 811}, {"SHEET.HEADER.CENTER.FONT.COLOR", 825}, {"SHEET.FOOTER.LEFT", 831},
        {"SHEET.FOOTER.RIGHT.FONT.SIZE", 843}, {"SHEET.FOOTER.CENTER", 851}, {"SHEET.FOOTER.CENTER.FONT.NAME", 852},
        {"SHEET.PRINT_TITLE_ROW", 860}, {"SHEET.PRINT_TITLE_COLUMN", 861}, {"C.AUTO_WIDTH", 1001},
        {"AUTO_WIDTH", 1001}, {"A1.CSV", 2002}, {"A1.TSV", 2003}, {"myvar", 2001},
        // No target: the same ids, the target stays empty.
        {"FONT.COLOR", 334}, {"BORDER", 310},
    };
    for (const auto &[name, id] : table) EXPECT_EQ(id_of(name), id) << name;
}

TEST_F(Paths, JapaneseAliasesMatchExactlyEnglishIgnoresCase) {
    EXPECT_EQ(id_of("A1.フォント.色"), 334);
    EXPECT_EQ(id_of("a1.font.color"), 334);
    EXPECT_EQ(id_of("a1.Font.色"), 334);
    EXPECT_EQ(id_of("A1.罫線.左"), 311);
    EXPECT_EQ(id_of("A1.罫線.左側"), 311);
    EXPECT_EQ(id_of("A1.塗りつぶし.グラデーション.色１"), 351);
    EXPECT_EQ(id_of("A1.塗りつぶし.グラデーション.色2"), 351 + 1);
    EXPECT_EQ(id_of("A1.塗りつぶし.パターン.名"), 342);
    EXPECT_EQ(id_of("A1.縦書き"), 403);
    EXPECT_EQ(id_of("A1.回転"), 403);
    EXPECT_EQ(id_of("ブック.書き込みパスワード"), 110);
    EXPECT_EQ(id_of("ブック.書込みパスワード"), 110);
    EXPECT_EQ(id_of("ブック.サムネイル.ファイル名"), 113);
    EXPECT_EQ(id_of("シート.ヘッダー.中央部.フォント.サイズ"), 823);
    EXPECT_EQ(id_of("シート.枠線非表示"), 207);
    EXPECT_EQ(id_of("用紙.拡大／縮小"), 713);
    EXPECT_EQ(id_of("用紙.余白.フッター"), 720);
    EXPECT_EQ(id_of("印刷ページ数合わせ.横"), 722);
    EXPECT_EQ(id_of("A1:C3.グラフ.行/列の切り替え"), 602);
    EXPECT_EQ(id_of("A1:C3.グラフ.X軸.フォント.サイズ"), 623);
    EXPECT_EQ(id_of("A1:C3.表書式.カラム名"), 532);
    EXPECT_EQ(id_of("A1.イメージ.オフセット.Ｙ"), 504);
    EXPECT_EQ(id_of("ズーム"), 202);
    EXPECT_EQ(id_of("テンプレート"), 109);
    // Aliases are not case-folded or trimmed, and near misses are no keywords.
    EXPECT_EQ(failure("A1.フォント.いろ"), std::make_pair(-3, std::string("TXLS-02200 サポート外のキーワードです(\"いろ\")。")));
    EXPECT_EQ(failure("A1.ＦＯＮＴ.COLOR").first, -3);
    EXPECT_EQ(failure("A1.FONT .COLOR").first, -3);
}

TEST_F(Paths, SheetAndBookFamilies) {
    EXPECT_EQ(id_of("SHEET.PAPER.SIZE"), 201);
    EXPECT_EQ(id_of("SHEET.FONT.COLOR"), 201);
    EXPECT_EQ(id_of("SHEET.HEADER"), 201);
    EXPECT_EQ(id_of("BOOK.VERSION"), 101);
    EXPECT_EQ(id_of("BOOK.COLOR"), 101);
    EXPECT_EQ(id_of("BOOK.SHEET.ZOOM"), 101);
    EXPECT_EQ(id_of("TEMPLATE.NAME"), 109);
    // Sheet-only keywords name nothing without SHEET.
    EXPECT_EQ(id_of("HIDDEN"), -1);
    EXPECT_EQ(id_of("X.HIDDEN"), -1);
    EXPECT_EQ(id_of("TAB.COLOR"), -1);
    EXPECT_EQ(id_of("HEADER.LEFT.FONT.NAME"), -1);
    EXPECT_EQ(id_of("DATASOURCE"), -1);
    EXPECT_EQ(id_of("A1.ROWNUM"), -1);
    EXPECT_EQ(id_of("DATE"), -1);
    EXPECT_EQ(id_of("HOSTNAME"), -1);
    EXPECT_EQ(id_of("A1.FONT.COLOR.X"), -1);
    // Vertical text needs a cell target; within a shape ROTATION is the shape's.
    EXPECT_EQ(id_of("ROTATION"), -1);
    EXPECT_EQ(id_of("3.ROTATION"), 403);
    EXPECT_EQ(id_of("A1.AUTOSHAPE.ROTATION"), 639);
}

TEST_F(Paths, AutoshapePathsStayInTheirRange) {
    const char *paths[] = {"AUTOSHAPE", "AUTOSHAPE.TYPE", "AUTOSHAPE.WIDTH", "AUTOSHAPE.HEIGHT",
                           "AUTOSHAPE.OFFSET.X", "AUTOSHAPE.END.OFFSET.Y", "AUTOSHAPE.ADJUST.X", "AUTOSHAPE.TEXT",
                           "AUTOSHAPE.FONT.COLOR", "AUTOSHAPE.ALIGN.TEXT", "AUTOSHAPE.STYLE", "AUTOSHAPE.EFFECT",
                           "AUTOSHAPE.VERSION", "AUTOSHAPE.ACCENT", "AUTOSHAPE.RESET", "AUTOSHAPE.FILL.KIND",
                           "AUTOSHAPE.FILL.TRANSPARENT", "AUTOSHAPE.FILL.GRADATION.DEGREE", "AUTOSHAPE.LINE",
                           "AUTOSHAPE.LINE.WIDTH", "AUTOSHAPE.ARROW.START.KIND", "AUTOSHAPE.ARROW.END.LENGTH",
                           "AUTOSHAPE.SHADOW", "AUTOSHAPE.SHADOW.BLUR", "AUTOSHAPE.SHADOW.DIST"};
    std::vector<int> seen;
    for (const char *path : paths) {
        int id = id_of(std::string("B2.") + path);
        EXPECT_GE(id, kPropAutoshapeFirst) << path;
        EXPECT_LE(id, kPropAutoshapeLast) << path;
        seen.push_back(id);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end());
    EXPECT_EQ(id_of("B2.オートシェイプ.枠線.色"), id_of("B2.AUTOSHAPE.LINE.COLOR"));
    EXPECT_EQ(id_of("B2.オートシェイプ.影.ぼかし"), id_of("B2.AUTOSHAPE.SHADOW.BLUR"));
}

TEST_F(Paths, TargetForms) {
    EXPECT_EQ(id_of("B7.FONT.SIZE"), 333);
    EXPECT_EQ(target.row, 6);
    EXPECT_EQ(target.column, 1);
    EXPECT_EQ(target.sheet, -1);
    EXPECT_EQ(target.area_count, 0);

    id_of("A1:C5.BORDER");
    ASSERT_EQ(target.area_count, 1);
    EXPECT_EQ(target.areas[0].row2, 4);
    EXPECT_EQ(target.areas[0].column2, 2);
    EXPECT_FALSE(target.row_range);

    id_of("A1:B2,D4,F6:G7.BORDER");
    ASSERT_EQ(target.area_count, 3);
    EXPECT_EQ(target.areas[1].row1, 3);
    EXPECT_EQ(target.areas[1].column2, 3);
    EXPECT_EQ(target.areas[2].column2, 6);

    id_of("B:D.WIDTH");
    ASSERT_EQ(target.area_count, 1);
    EXPECT_TRUE(target.column_range);
    EXPECT_EQ(target.areas[0].column1, 1);
    EXPECT_EQ(target.areas[0].column2, 3);

    EXPECT_EQ(id_of("3:7.HEIGHT"), 221);
    ASSERT_EQ(target.area_count, 1);
    EXPECT_TRUE(target.row_range);
    EXPECT_EQ(target.areas[0].row1, 2);
    EXPECT_EQ(target.areas[0].row2, 6);
    EXPECT_EQ(target.areas[0].column2, 0);

    EXPECT_EQ(id_of("3.HEIGHT"), 221);
    EXPECT_EQ(target.row, 2);
    EXPECT_EQ(target.column, -1);
    id_of("1,000.HEIGHT");
    EXPECT_EQ(target.row, 999);
    id_of("+12.HEIGHT");
    EXPECT_EQ(target.row, 11);

    EXPECT_EQ(id_of("C.WIDTH"), 223);
    EXPECT_EQ(target.column, 2);
    EXPECT_EQ(target.row, -1);
    id_of("AA.WIDTH");
    EXPECT_EQ(target.column, 26);
    id_of("xfd.WIDTH");
    EXPECT_EQ(target.column, 16383);
}

TEST_F(Paths, SheetPrefixesAndQuotedDots) {
    id_of("Sheet2!B3.FONT.SIZE");
    EXPECT_EQ(target.sheet, 1);
    EXPECT_EQ(target.row, 2);
    EXPECT_EQ(id_of("'Q1.2024'!A1.FONT.SIZE"), 333);
    EXPECT_EQ(target.sheet, 2);
    EXPECT_EQ(target.row, 0);
    EXPECT_EQ(id_of("\"Q1.2024\"!C2:D4.FONT.SIZE"), 333);
    EXPECT_EQ(target.sheet, 2);
    EXPECT_EQ(target.area_count, 1);
    // A prefix in front of a keyword only selects the sheet.
    EXPECT_EQ(id_of("Sheet2!SHEET.ZOOM"), 202);
    EXPECT_EQ(target.sheet, 1);
    EXPECT_EQ(target.row, -1);
    // A sheet that does not exist means the current sheet, as for cell values.
    EXPECT_EQ(id_of("Nowhere!A1.WRAP"), 402);
    EXPECT_EQ(target.sheet, -1);
    EXPECT_EQ(target.row, 0);
}

TEST_F(Paths, BadFirstSections) {
    EXPECT_EQ(failure("a$b.FONT.COLOR"),
              std::make_pair(-3, std::string("TXLS-02305 変数名の形式が不正です(\"a$b.FONT.COLOR\")。")));
    EXPECT_EQ(failure("x:1").first, -3);
    EXPECT_EQ(id_of("x:y"), -1);  // a column range alone
    EXPECT_EQ(failure("Sheet2!").first, -3);
    EXPECT_EQ(failure(".FONT.COLOR").first, -3);
    EXPECT_EQ(failure("").first, -3);
    // Rows and columns outside the sheet never reach the application step.
    EXPECT_EQ(failure("0.HEIGHT"), std::make_pair(-3, std::string("TXLS-02300 セル指定値が不正です(\"0\")。")));
    EXPECT_EQ(failure("-3.HEIGHT").first, -3);
    EXPECT_EQ(failure("99999999999999999999.HEIGHT").first, -3);
    EXPECT_EQ(failure("ZZZ.WIDTH").first, -3);
    book.max_rows = kXlsMaxRows;
    book.max_columns = kXlsMaxColumns;
    EXPECT_EQ(failure("65537.HEIGHT").first, -3);
    EXPECT_EQ(failure("IW.WIDTH").first, -3);
    EXPECT_EQ(id_of("IV.WIDTH"), 223);
    // A failed parse leaves no half-filled target behind.
    failure("Sheet2!A1.FONT");
    EXPECT_EQ(target.sheet, -1);
    EXPECT_EQ(target.row, -1);
}

TEST_F(Paths, ContinuationErrors) {
    const std::vector<std::pair<const char *, const char *>> cases = {
        {"A1.FONT", "TXLS-02403 フォント(FONT)の指定内容が不正です(\"属性\")。"},
        {"A1.FONT.WIDTH", "TXLS-02403 フォント(FONT)の指定内容が不正です(\"属性\")。"},
        {"A1.FILL", "TXLS-02406 塗りつぶし(FILL)の指定内容が不正です。"},
        {"A1.FILL.NAME", "TXLS-02406 塗りつぶし(FILL)の指定内容が不正です。"},
        {"A1.FILL.PATTERN", "TXLS-02407 パターン(PATTERN)の指定内容が不正です。"},
        {"A1.FILL.GRADATION.NAME", "TXLS-02409 グラデーション(GRADATION)の指定内容が不正です(\"\")。"},
        {"SHEET.TAB", "TXLS-02310 タブ(TAB)の指定内容が不正です。"},
        {"PAPER", "TXLS-02501 用紙(PAPER)の指定内容が不正です。"},
        {"PAPER.COLOR", "TXLS-02501 用紙(PAPER)の指定内容が不正です。"},
        {"PAPER.MARGIN", "TXLS-02500 余白(MARGIN)の指定内容が不正です。"},
        {"PRINT_PAGE_FIT",
         "TXLS-02507 印刷ページ数合わせ(PRINT_PAGE_FIT)の指定内容が不正です(\"PRINT_PAGE_FIT\")。"},
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
        {"XYZ1.FOO", "TXLS-02200 サポート外のキーワードです(\"FOO\")。"},
        {"SHEET.A1", "TXLS-02200 サポート外のキーワードです(\"A1\")。"},
        {"A1..COLOR", "TXLS-02200 サポート外のキーワードです(\"\")。"},
    };
    for (const auto &[name, message] : cases) EXPECT_EQ(failure(name), std::make_pair(-3, std::string(message))) << name;
    // The walk runs right to left: the last bad section is the one reported.
    EXPECT_EQ(failure("A1.FONT.BAR.FOO").second, "TXLS-02200 サポート外のキーワードです(\"FOO\")。");
}

TEST_F(Paths, SectionLimits) {
    EXPECT_EQ(id_of("A1.SHEET.HEADER.LEFT.FONT.NAME"), 802);
    EXPECT_EQ(failure("A1.SHEET.HEADER.LEFT.FONT.NAME.X"),
              std::make_pair(-3, std::string("TXLS-02211 ドット(.)で区切られたキーワードが多すぎます("
                                             "\"A1.SHEET.HEADER.LEFT.FONT.NAME.X\")。")));
    EXPECT_EQ(failure(std::string(5000, '.')).first, -3);
    EXPECT_EQ(id_of(std::string(256, 'v')), 2001);
    EXPECT_EQ(failure(std::string(257, 'v') + ".FONT.COLOR"),
              std::make_pair(-3, std::string("TXLS-03009 バッファサイズ(\"257\")オーバー(\"tsx_parse_property() "
                                             "section\")。")));
    // The limit counts bytes in the book's character set: 128 kanji are 256 Shift-JIS bytes.
    std::string kanji;
    for (int i = 0; i < 128; ++i) kanji += "漢";
    book.charset = kSjis;
    EXPECT_EQ(id_of(kanji), 2001);
    EXPECT_EQ(failure(kanji + "漢").second, "TXLS-03009 バッファサイズ(\"258\")オーバー(\"tsx_parse_property() section\")。");
    book.charset = kUtf8;
    EXPECT_EQ(failure(kanji).first, -3);
}

TEST_F(Paths, DisplayNames) {
    id_of("A1.COMMENT");
    EXPECT_EQ(property_display_name(407, target), "A1.COMMENT");
    id_of("B2:C3.CHART");
    EXPECT_EQ(property_display_name(601, target), "B2:C3.CHART");
    id_of("3:7.HEIGHT");
    EXPECT_EQ(property_display_name(221, target), "3:7.HEIGHT");
    id_of("A1,C3:D4.COMMENT");
    EXPECT_EQ(property_display_name(407, target), "A1,C3:D4.COMMENT");
    EXPECT_EQ(property_display_name(2002, PropertyTarget{}), "CSV");
    EXPECT_EQ(property_path(kPropSheetZoom), "ZOOM");
}

// TXLS_is_property over the API, with names in each character set.
class IsProperty : public BookTest {
protected:
    int id_of(const std::string &name) {
        int id = -7;
        EXPECT_EQ(TXLS_is_property(&book, name.c_str(), &id), 0) << name;
        return id;
    }
};

TEST_F(IsProperty, CellsVariablesAndErrors) {
    ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Sheet1"), 0);
    EXPECT_EQ(id_of("A1"), -1);
    EXPECT_EQ(id_of("B2:C3"), -1);
    EXPECT_EQ(id_of("total"), -1);  // a variable name is no property
    EXPECT_EQ(id_of("A1.FONT.COLOR"), 334);
    EXPECT_EQ(id_of("SHEET.ZOOM"), 202);
    int id = 5;
    EXPECT_EQ(TXLS_is_property(&book, "A1.FONT", &id), -3);
    EXPECT_EQ(id, -1);
    EXPECT_EQ(book.error_code, -3);
    EXPECT_EQ(message(), "TXLS-02403 フォント(FONT)の指定内容が不正です(\"属性\")。");
    EXPECT_EQ(TXLS_is_property(&book, "A1", nullptr), -3);
    EXPECT_EQ(TXLS_is_property(&book, nullptr, &id), -3);
    EXPECT_EQ(TXLS_is_property(nullptr, "A1", &id), -3);
    EXPECT_EQ(id, -1);
}

TEST_F(IsProperty, AliasesInEveryCharset) {
    for (const char *charset : {"SJIS", "EUC", "UTF8"}) {
        XLS_BOOK other{};
        ASSERT_EQ(TXLS_open_book(&other, (std::string("MODE=CREATE CHARSET=") + charset).c_str()), 0);
        const int code = std::string(charset) == "SJIS" ? kSjis : std::string(charset) == "EUC" ? kEuc : kUtf8;
        auto resolve = [&](const char *utf8) {
            int id = -7;
            EXPECT_EQ(TXLS_is_property(&other, from_utf8(utf8, code).c_str(), &id), 0) << charset << " " << utf8;
            return id;
        };
        EXPECT_EQ(resolve("A1.フォント.色"), 334) << charset;
        EXPECT_EQ(resolve("A1.縦書き"), 403) << charset;
        EXPECT_EQ(resolve("シート.ヘッダー.右.フォント.名"), 812) << charset;
        EXPECT_EQ(resolve("用紙.拡大／縮小"), 713) << charset;
        EXPECT_EQ(resolve("ブック.書き込みパスワード"), 110) << charset;
        EXPECT_EQ(resolve("A1.表書式"), 531) << charset;
        int id = 0;
        EXPECT_EQ(TXLS_is_property(&other, from_utf8("A1.フォント.いろ", code).c_str(), &id), -3);
        EXPECT_EQ(to_utf8(other.log.error_info, kSjis), "TXLS-02200 サポート外のキーワードです(\"いろ\")。") << charset;
        // Bytes that are no character of the set never crash the resolver.
        EXPECT_LE(TXLS_is_property(&other, "A1.\x81\xFF\xE3\x80.\x95", &id), 0);
        TXLS_free_book(&other);
    }
}
