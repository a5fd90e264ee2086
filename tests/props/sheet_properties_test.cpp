// Book, sheet and print statements: value rules and their messages, and where each setting is
// kept. What a saved package makes of them is checked by the conformance books.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "api/api.h"
#include "common/fixtures.h"
#include "props/sheet_properties.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;

namespace {

class SheetProps : public BookTest {
protected:
    void SetUp() override { reopen("UTF8", "Data"); }
    Book &b() { return store(); }
    SheetSettings &settings() { return b().current()->settings; }
    int apply(int id, std::string_view value, PropertyTarget target = {}) {
        return apply_sheet_property(b(), id, target, value);
    }
    // Applies each statement in order: its code, then its message or what it kept.
    struct Step {
        int id;
        std::string value;
        int rc;
        std::string message;                  // of a failure; "-" = not checked
        std::function<bool()> kept;           // what it left behind; may be empty
    };
    void run(const std::vector<Step> &steps) {
        for (const Step &s : steps) {
            EXPECT_EQ(apply(s.id, s.value), s.rc) << s.id << " " << s.value;
            if (s.rc != 0 && s.message != "-") {
                EXPECT_EQ(message(), s.message) << s.id << " " << s.value;
            }
            if (s.kept) {
                EXPECT_TRUE(s.kept()) << s.id << " " << s.value;
            }
        }
    }
};

const std::string kKeyword = "TXLS-02200 サポート外のキーワードです(\"";

}  // namespace

TEST_F(SheetProps, BookSettings) {
    run({
        {kPropBookName, "report", 0, "", [&] { return b().file_name == "report.xlsx"; }},
        {kPropBookName, "report.XLSX", 0, "", [&] { return b().file_name == "report.XLSX"; }},
        {kPropBookName, "a.x", 0, "", [&] { return b().file_name == "a.x.xlsx"; }},
        {kPropBookName, std::string(251, 'n'), 0, "", {}},
        {kPropBookName, std::string(252, 'n'), -3, "TXLS-00005 ファイル名が長すぎます。",
         [&] { return b().file_name == std::string(251, 'n') + ".xlsx"; }},
        {kPropBookCompany, std::string(150, 'c'), 0, "", [&] { return b().company == std::string(150, 'c'); }},
        {kPropBookCompany, std::string(151, 'c'), -3,
         "TXLS-02210 キーワードが長すぎます(\"" + std::string(151, 'c') + "\")。最大長は(150)バイトです。",
         [&] { return b().company == std::string(150, 'c'); }},
        {kPropBookCreator, "山田", 0, "", [&] { return b().author == "山田"; }},
        {kPropBookManager, "boss", 0, "", [&] { return b().settings.manager == "boss"; }},
        {kPropBookTitle, std::string(300, 't'), 0, "", {}},
        {kPropBookSubject, std::string(301, 's'), -3,
         "TXLS-02210 キーワードが長すぎます(\"" + std::string(301, 's') + "\")。最大長は(300)バイトです。", {}},
        {kPropBookWritePassword, std::string(16, 'p'), 0, "", {}},
        {kPropBookWritePassword, std::string(17, 'p'), -3, "-", {}},
        {kPropBookRecalc, "false", 0, "", [&] { return !b().settings.recalc; }},
        {kPropBookBackup, "する", 0, "", [&] { return b().settings.backup; }},
        {kPropBookFinal, "TRUE", 0, "", [&] { return b().settings.final; }},
        {kPropSheetOrder, "DESC", 0, "", [&] { return b().settings.descending_order; }},
        {kPropSheetOrder, "正", 0, "", [&] { return !b().settings.descending_order; }},
        {kPropSheetOrder, "UP", -3, kKeyword + "UP\")。", {}},
        {kPropTemplate, "base.xlsx", -1, "TXLS-03600 内部処理エラー(\"TEMPLATE: the book has sheets already\")。", {}},
        {kPropSheetBackgroundPath, "/no/such/bg.png", -3, "TXLS-03102 イメージファイルオープンエラー(\"/no/such/bg.png\")。", {}},
        {kPropSheetBackgroundPath, std::string(257, 'p'), -3, "-", {}},
        {kPropBookThumbnailPath, std::string(257, 'p'), -3, "TXLS-00005 ファイル名が長すぎます。", {}},
        {kPropBookThumbnailPath, "/no/such/thumb.jpg", -3,
         "TXLS-03102 イメージファイルオープンエラー(\"/no/such/thumb.jpg\")。", {}},
    });
    tabsmith::testing::TempFolder folder;
    std::string png = folder.write("t.png", "\x89PNG\r\n\x1a\n....");
    EXPECT_EQ(apply(kPropBookThumbnailPath, png), -3);
    EXPECT_EQ(message(), "TXLS-03190 イメージファイルがサポート外のファイル形式です(\"" + png + "\")。");
    std::string jpeg = folder.write("t.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF");
    ASSERT_EQ(apply(kPropBookThumbnailPath, jpeg), 0);
    EXPECT_EQ(b().settings.thumbnail_path, jpeg);
}

TEST_F(SheetProps, SheetNamesAndViewSettings) {
    run({
        {kPropSheetName, "Summary", 0, "", [&] { return b().sheet_count() == 2 && b().current_sheet == 1; }},
        {kPropSheetName, "Data", 0, "", [&] { return b().current_sheet == 0; }},
        {kPropSheetName, std::string(94, 's'), -3, "TXLS-00005 ファイル名が長すぎます。", {}},
        {kPropSheetName, "a/b", -3, "TXLS-02320 シート名が不正です(\"a/b\")。", {}},
        {kPropSheetName, "summary", -3, "TXLS-02321 既に存在しているシート名です(\"summary\")。", {}},
        // Over a workbook's 31 characters: cut as the sheet options cut, and found again so.
        {kPropSheetName, std::string(40, 'L'), 0, "", [&] { return b().current()->name == std::string(29, 'L'); }},
        {kPropSheetName, std::string(40, 'L'), 0, "", [&] { return b().sheet_count() == 3; }},
        {kPropSheetName, "Data", 0, "", {}},
        {kPropSheetHidden, "TRUE", 0, "", [&] { return settings().hidden; }},
        {kPropSheetHidden, "ON", -3, kKeyword + "ON\")。", [&] { return settings().hidden; }},
        {kPropSheetHiddenGrid, "TRUE", 0, "", [&] { return !settings().grid_lines; }},
        {kPropSheetHiddenHeader, "しない", 0, "", [&] { return settings().headings; }},
        {kPropSheetProtect, "TRUE", 0, "", [&] { return settings().is_protected; }},
        {kPropSheetZoom, "150", 0, "", [&] { return settings().zoom == 150; }},
        {kPropSheetZoom, "big", -3, "-", {}},
        {kPropSheetFrozenTop, "TRUE", 0, "", [&] { return settings().frozen == FrozenPane::kFirstRow; }},
        {kPropSheetFrozenLeft, "FALSE", 0, "", [&] { return settings().frozen == FrozenPane::kNone; }},
        {kPropSheetFrozenTop, "1", -3, "-", {}},
        {kPropSheetFrozenSplit, "b3", 0, "", [&] { return settings().split_row == 2 && settings().split_column == 1; }},
        {kPropSheetFrozenSplit, "3B", -3, "TXLS-02506 ウィンドウ枠固定(FROZEN_SPLIT)の指定内容が不正です(\"3B\")。", {}},
        {kPropSheetScrollRow, "20", 0, "", [&] { return settings().top_row == 19; }},
        {kPropSheetScrollRow, "anything", 0, "", {}},
        {kPropSheetTabColor, "#00FF00", 0, "", [&] {
             const auto &c = settings().tab_color;
             return c.index == kColorRgb && c.green == 0xFF && c.red == 0;
         }},
        {kPropSheetTabColor, "BLACK", 0, "", [&] { return settings().tab_color.set(); }},  // black stays a colour
        {kPropSheetTabColor, "NONE", -3, "TXLS-02401 色(COLOR)の指定内容が不正です(\"NONE\")。", {}},
        {kPropSheetPassword, "secret", 0, "", [&] { return settings().is_protected && settings().password == "secret"; }},
        {kPropSheetPassword, std::string(17, 'x'), -3, "-", {}},
    });
    // A target only picks the sheet.
    PropertyTarget second;
    second.sheet = 1;
    ASSERT_EQ(apply(kPropSheetZoom, "75", second), 0);
    EXPECT_EQ(b().sheets[1]->settings.zoom, 75);
    EXPECT_EQ(b().sheets[0]->settings.zoom, 150);
    // Loaded books only select the sheets they have.
    b().from_file = true;
    EXPECT_EQ(apply(kPropSheetName, "Missing"), -3);
    EXPECT_EQ(message(), "TXLS-03002 テンプレートシート(\"Missing\")が取得できません。");
    EXPECT_EQ(apply(kPropSheetName, "Summary"), 0);
}

TEST_F(SheetProps, PaperMarginsHeadersAndPrintTitles) {
    const std::string fit = "TXLS-02507 印刷ページ数合わせ(PRINT_PAGE_FIT)の指定内容が不正です(\"";
    const std::string rows = "TXLS-02504 印刷タイトル行(PRINT_TITLE_ROW)の指定内容が不正です(\"";
    const std::string columns = "TXLS-02505 印刷タイトル列(PRINT_TITLE_COLUMN)の指定内容が不正です(\"";
    run({
        {kPropPaperSize, "b5", 0, "", [&] { return settings().page.paper == 15; }},
        {kPropPaperSize, "Letter", 0, "", [&] { return settings().page.paper == 4; }},
        {kPropPaperOrientation, "landscape", 0, "", [&] { return settings().page.landscape; }},
        {kPropPaperOrientation, "X", 0, "", [&] { return !settings().page.landscape; }},
        {kPropPaperScale, "80.9", 0, "", [&] { return settings().page.scale == 80; }},
        {kPropPaperScale, "half", -3, "TXLS-02302 数値が不正です(\"half\")。", {}},
        {kPropPaperScale, "5", -3, "-", {}},
        {kPropPaperDpi, "300", 0, "", [&] { return settings().page.dpi == 300; }},
        {kPropMarginTop, "2.5", 0, "", [&] { return settings().page.top == 2.5; }},
        {kPropMarginFooter, "0.5", 0, "", [&] { return settings().page.footer == 0.5; }},
        {kPropMarginLeft, "-1", -3, "-", {}},
        {kPropMarginLeft, "1cm", -3, "-", [&] { return settings().page.left == 1.778; }},
        {kPropPageFitHorizontal, "0", -3, fit + "0\")。", [&] { return !settings().page.fit_to_page; }},
        {kPropPageFitVertical, "1.5", -3, fit + "1.5\")。", {}},
        {kPropPageFitHorizontal, "1", 0, "", [&] { return settings().page.fit_width == 1 && settings().page.fit_to_page; }},
        {kPropHeaderCenter, "&[PAGE_NO]/&[PAGE_TOTAL]", 0, "",
         [&] { return settings().header[1].set && settings().header[1].text == "&P/&N"; }},
        {kPropFooterRight, "right", 0, "", [&] { return settings().footer[2].text == "right"; }},
        {kPropHeaderCenter + 2, "14", 0, "", {}},
        {kPropHeaderCenter + 4, "RED", 0, "", [&] {
             const FontRecord &font = b().styles.fonts()[static_cast<std::size_t>(settings().header[1].font)];
             return font.size == 14 && font.colour == 11u;
         }},
        {kPropFooterLeft + 3, "fancy", -3, "TXLS-02403 フォント(FONT)の指定内容が不正です(\"fancy\")。", {}},
        {kPropFooterLeft + 4, "NONE", -3, "-", [&] { return settings().footer[0].font == -1; }},
        {kPropPrintTitleRow, "3:1", 0, "", [&] { return settings().title_row1 == 1 && settings().title_row2 == 3; }},
        {kPropPrintTitleRow, "2", 0, "", [&] { return settings().title_row2 == 2; }},
        {kPropPrintTitleRow, "0", -3, rows + "0\")。", {}},
        {kPropPrintTitleRow, "1:1048577", -3, rows + "1:1048577\")。", {}},
        {kPropPrintTitleRow, "a:b", -3, rows + "a:b\")。", {}},
        {kPropPrintTitleRow, "1:", -3, rows + "1:\")。", {}},
        {kPropPrintTitleColumn, "b", 0, "", [&] { return settings().title_column1 == 2; }},
        {kPropPrintTitleColumn, "C:A", 0, "",
         [&] { return settings().title_column1 == 1 && settings().title_column2 == 3; }},
        {kPropPrintTitleColumn, "ABCD", -3, columns + "ABCD\")。", {}},
        {kPropPrintTitleColumn, "A1", -3, columns + "A1\")。", {}},
        {kPropPrintTitleColumn, "ZZZ", -3, columns + "ZZZ\")。", {}},
        {kPropPrintTitleColumn, "", -3, columns + "\")。", {}},
    });
    EXPECT_EQ(translate_field_codes("&[パス]&[FILE_NAME] &[SHEET_NAME] &[DATE] &[TIME] &[OTHER]"),
              "&Z&F &A &D &T &[OTHER]");
}
