// Book, sheet and print statements: value rules and messages, where each setting is kept, and
// what a saved package carries of them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <fstream>
#include <string>

#include "api/book_init.h"
#include "api/api.h"
#include "props/sheet_properties.h"
#include "support/fixtures.h"
#include "xlsx_write/package_writer.h"

using namespace tabsmith;
using tabsmith::testing::BookTest;

namespace {

class SheetProps : public BookTest {
protected:
    void SetUp() override {
        ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8"), 0);
        ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Data"), 0);
    }
    Book &b() { return *book_of(&book); }
    SheetSettings &settings() { return b().current()->settings; }
    int apply(int id, std::string_view value, PropertyTarget target = {}) {
        return apply_sheet_property(b(), id, target, value);
    }
    std::string part(const std::string &name) {
        std::vector<std::pair<std::string, std::string>> parts;
        EXPECT_EQ(prepare_book_for_save(b()), 0);
        EXPECT_EQ(build_package_parts(b(), parts), 0);
        for (auto &[n, text] : parts)
            if (n == name) return text;
        return {};
    }
    std::string temp_file(const std::string &name, const std::string &bytes) {
        std::string path = ::testing::TempDir() + "sheet_props_" + std::to_string(::getpid()) + "_" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

}  // namespace

TEST_F(SheetProps, BookNameGetsItsExtension) {
    ASSERT_EQ(apply(kPropBookName, "report"), 0);
    EXPECT_EQ(b().file_name, "report.xlsx");
    ASSERT_EQ(apply(kPropBookName, "report.XLSX"), 0);
    EXPECT_EQ(b().file_name, "report.XLSX");
    ASSERT_EQ(apply(kPropBookName, "a.x"), 0);
    EXPECT_EQ(b().file_name, "a.x.xlsx");
    ASSERT_EQ(apply(kPropBookName, std::string(251, 'n')), 0);
    EXPECT_EQ(apply(kPropBookName, std::string(252, 'n')), -3);
    EXPECT_EQ(message(), "TXLS-00005 ファイル名が長すぎます。");
    EXPECT_EQ(b().file_name, std::string(251, 'n') + ".xlsx");
}

TEST_F(SheetProps, DocumentTextsAndTheirLimits) {
    ASSERT_EQ(apply(kPropBookCompany, std::string(150, 'c')), 0);
    EXPECT_EQ(b().company, std::string(150, 'c'));
    EXPECT_EQ(apply(kPropBookCompany, std::string(151, 'c')), -3);
    EXPECT_EQ(message(), "TXLS-02210 キーワードが長すぎます(\"" + std::string(151, 'c') + "\")。最大長は(150)バイトです。");
    EXPECT_EQ(b().company, std::string(150, 'c'));
    ASSERT_EQ(apply(kPropBookCreator, "山田"), 0);
    EXPECT_EQ(b().author, "山田");
    ASSERT_EQ(apply(kPropBookManager, "boss"), 0);
    EXPECT_EQ(b().settings.manager, "boss");
    ASSERT_EQ(apply(kPropBookTitle, std::string(300, 't')), 0);
    EXPECT_EQ(apply(kPropBookSubject, std::string(301, 's')), -3);
    EXPECT_NE(message().find("最大長は(300)バイトです。"), std::string::npos);
    EXPECT_EQ(apply(kPropBookWritePassword, std::string(17, 'p')), -3);
    EXPECT_NE(message().find("最大長は(16)バイトです。"), std::string::npos);
    ASSERT_EQ(apply(kPropBookWritePassword, std::string(16, 'p')), 0);
}

TEST_F(SheetProps, Switches) {
    ASSERT_EQ(apply(kPropBookRecalc, "false"), 0);
    EXPECT_FALSE(b().settings.recalc);
    ASSERT_EQ(apply(kPropBookBackup, "する"), 0);
    EXPECT_TRUE(b().settings.backup);
    ASSERT_EQ(apply(kPropBookFinal, "TRUE"), 0);
    EXPECT_TRUE(b().settings.final);
    ASSERT_EQ(apply(kPropSheetHidden, "TRUE"), 0);
    EXPECT_TRUE(settings().hidden);
    EXPECT_EQ(apply(kPropSheetHidden, "ON"), -3);
    EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"ON\")。");
    EXPECT_TRUE(settings().hidden);
    ASSERT_EQ(apply(kPropSheetHiddenGrid, "TRUE"), 0);
    EXPECT_FALSE(settings().grid_lines);
    ASSERT_EQ(apply(kPropSheetHiddenHeader, "しない"), 0);
    EXPECT_TRUE(settings().headings);
    ASSERT_EQ(apply(kPropSheetProtect, "TRUE"), 0);
    EXPECT_TRUE(settings().is_protected);

    ASSERT_EQ(apply(kPropSheetOrder, "DESC"), 0);
    EXPECT_TRUE(b().settings.descending_order);
    ASSERT_EQ(apply(kPropSheetOrder, "正"), 0);
    EXPECT_FALSE(b().settings.descending_order);
    EXPECT_EQ(apply(kPropSheetOrder, "UP"), -3);
    EXPECT_EQ(message(), "TXLS-02200 サポート外のキーワードです(\"UP\")。");
}

TEST_F(SheetProps, SheetNameSelectsOrAdds) {
    ASSERT_EQ(apply(kPropSheetName, "Summary"), 0);
    EXPECT_EQ(b().sheet_count(), 2);
    EXPECT_EQ(b().current_sheet, 1);
    ASSERT_EQ(apply(kPropSheetName, "Data"), 0);
    EXPECT_EQ(b().current_sheet, 0);
    EXPECT_EQ(apply(kPropSheetName, std::string(94, 's')), -3);
    EXPECT_EQ(message(), "TXLS-00005 ファイル名が長すぎます。");
    EXPECT_EQ(apply(kPropSheetName, "a/b"), -3);
    EXPECT_EQ(message(), "TXLS-02320 シート名が不正です(\"a/b\")。");
    EXPECT_EQ(apply(kPropSheetName, "summary"), -3);
    EXPECT_EQ(message(), "TXLS-02321 既に存在しているシート名です(\"summary\")。");
    // Over a workbook's 31 characters: cut as the sheet options cut, and found again so.
    std::string long_name(40, 'L');
    ASSERT_EQ(apply(kPropSheetName, long_name), 0);
    EXPECT_EQ(b().current()->name, std::string(29, 'L'));
    ASSERT_EQ(apply(kPropSheetName, long_name), 0);
    EXPECT_EQ(b().sheet_count(), 3);

    b().from_file = true;
    EXPECT_EQ(apply(kPropSheetName, "Missing"), -3);
    EXPECT_EQ(message(), "TXLS-03002 テンプレートシート(\"Missing\")が取得できません。");
    EXPECT_EQ(apply(kPropSheetName, "Summary"), 0);
}

TEST_F(SheetProps, ViewSettings) {
    ASSERT_EQ(apply(kPropSheetZoom, "150"), 0);
    EXPECT_EQ(settings().zoom, 150);
    EXPECT_EQ(apply(kPropSheetZoom, "big"), -3);
    ASSERT_EQ(apply(kPropSheetFrozenTop, "TRUE"), 0);
    EXPECT_EQ(settings().frozen, FrozenPane::kFirstRow);
    ASSERT_EQ(apply(kPropSheetFrozenLeft, "FALSE"), 0);
    EXPECT_EQ(settings().frozen, FrozenPane::kNone);
    EXPECT_EQ(apply(kPropSheetFrozenTop, "1"), -3);
    ASSERT_EQ(apply(kPropSheetFrozenSplit, "b3"), 0);
    EXPECT_EQ(settings().split_row, 2);
    EXPECT_EQ(settings().split_column, 1);
    EXPECT_EQ(apply(kPropSheetFrozenSplit, "3B"), -3);
    EXPECT_EQ(message(), "TXLS-02506 ウィンドウ枠固定(FROZEN_SPLIT)の指定内容が不正です(\"3B\")。");
    ASSERT_EQ(apply(kPropSheetScrollRow, "20"), 0);
    EXPECT_EQ(settings().top_row, 19);
    EXPECT_EQ(apply(kPropSheetScrollRow, "anything"), 0);

    ASSERT_EQ(apply(kPropSheetTabColor, "#00FF00"), 0);
    EXPECT_EQ(settings().tab_color.index, kColorRgb);
    EXPECT_EQ(settings().tab_color.green, 0xFF);
    EXPECT_EQ(settings().tab_color.red, 0);
    ASSERT_EQ(apply(kPropSheetTabColor, "BLACK"), 0);
    EXPECT_TRUE(settings().tab_color.set());  // black stays a colour
    EXPECT_EQ(apply(kPropSheetTabColor, "NONE"), -3);
    EXPECT_EQ(message(), "TXLS-02401 色(COLOR)の指定内容が不正です(\"NONE\")。");

    ASSERT_EQ(apply(kPropSheetPassword, "secret"), 0);
    EXPECT_TRUE(settings().is_protected);
    EXPECT_EQ(settings().password, "secret");
    EXPECT_EQ(apply(kPropSheetPassword, std::string(17, 'x')), -3);

    // A target only picks the sheet.
    ASSERT_EQ(apply(kPropSheetName, "Other"), 0);
    PropertyTarget first;
    first.sheet = 0;
    ASSERT_EQ(apply(kPropSheetZoom, "75", first), 0);
    EXPECT_EQ(b().sheets[0]->settings.zoom, 75);
    EXPECT_EQ(b().sheets[1]->settings.zoom, 100);
}

TEST_F(SheetProps, PaperAndMargins) {
    ASSERT_EQ(apply(kPropPaperSize, "b5"), 0);
    EXPECT_EQ(settings().page.paper, 15);
    ASSERT_EQ(apply(kPropPaperSize, "Letter"), 0);
    EXPECT_EQ(settings().page.paper, 4);
    ASSERT_EQ(apply(kPropPaperOrientation, "landscape"), 0);
    EXPECT_TRUE(settings().page.landscape);
    ASSERT_EQ(apply(kPropPaperOrientation, "X"), 0);
    EXPECT_FALSE(settings().page.landscape);
    ASSERT_EQ(apply(kPropPaperScale, "80.9"), 0);
    EXPECT_EQ(settings().page.scale, 80);
    EXPECT_EQ(apply(kPropPaperScale, "half"), -3);
    EXPECT_EQ(message(), "TXLS-02302 数値が不正です(\"half\")。");
    EXPECT_EQ(apply(kPropPaperScale, "5"), -3);
    ASSERT_EQ(apply(kPropPaperDpi, "300"), 0);
    EXPECT_EQ(settings().page.dpi, 300);
    ASSERT_EQ(apply(kPropMarginTop, "2.5"), 0);
    ASSERT_EQ(apply(kPropMarginFooter, "0.5"), 0);
    EXPECT_DOUBLE_EQ(settings().page.top, 2.5);
    EXPECT_DOUBLE_EQ(settings().page.footer, 0.5);
    EXPECT_EQ(apply(kPropMarginLeft, "-1"), -3);
    EXPECT_EQ(apply(kPropMarginLeft, "1cm"), -3);
    EXPECT_DOUBLE_EQ(settings().page.left, 1.778);

    EXPECT_EQ(apply(kPropPageFitHorizontal, "0"), -3);
    EXPECT_EQ(message(), "TXLS-02507 印刷ページ数合わせ(PRINT_PAGE_FIT)の指定内容が不正です(\"0\")。");
    EXPECT_FALSE(settings().page.fit_to_page);
    EXPECT_EQ(apply(kPropPageFitVertical, "1.5"), -3);
    ASSERT_EQ(apply(kPropPageFitHorizontal, "1"), 0);
    EXPECT_EQ(settings().page.fit_width, 1);
    EXPECT_TRUE(settings().page.fit_to_page);
}

TEST_F(SheetProps, HeadersFootersAndTheirFonts) {
    EXPECT_EQ(translate_field_codes("&[PAGE_NO]/&[PAGE_TOTAL]"), "&P/&N");
    EXPECT_EQ(translate_field_codes("&[パス]&[FILE_NAME] &[SHEET_NAME] &[DATE] &[TIME] &[OTHER]"),
              "&Z&F &A &D &T &[OTHER]");

    ASSERT_EQ(apply(kPropHeaderCenter, "&[PAGE_NO]/&[PAGE_TOTAL]"), 0);
    EXPECT_TRUE(settings().header[1].set);
    EXPECT_EQ(settings().header[1].text, "&P/&N");
    ASSERT_EQ(apply(kPropFooterRight, "right"), 0);
    EXPECT_EQ(settings().footer[2].text, "right");
    ASSERT_EQ(apply(kPropHeaderCenter + 2, "14"), 0);
    ASSERT_EQ(apply(kPropHeaderCenter + 4, "RED"), 0);
    ASSERT_GE(settings().header[1].font, 0);
    const FontRecord &font = b().styles.fonts()[static_cast<std::size_t>(settings().header[1].font)];
    EXPECT_EQ(font.size, 14);
    EXPECT_EQ(font.colour, 11u);
    EXPECT_EQ(apply(kPropFooterLeft + 3, "fancy"), -3);
    EXPECT_EQ(message(), "TXLS-02403 フォント(FONT)の指定内容が不正です(\"fancy\")。");
    EXPECT_EQ(apply(kPropFooterLeft + 4, "NONE"), -3);
    EXPECT_EQ(settings().footer[0].font, -1);
}

TEST_F(SheetProps, PrintTitles) {
    ASSERT_EQ(apply(kPropPrintTitleRow, "3:1"), 0);
    EXPECT_EQ(settings().title_row1, 1);
    EXPECT_EQ(settings().title_row2, 3);
    ASSERT_EQ(apply(kPropPrintTitleRow, "2"), 0);
    EXPECT_EQ(settings().title_row2, 2);
    for (std::string bad : {"0", "1:1048577", "a:b", "1:"}) {
        EXPECT_EQ(apply(kPropPrintTitleRow, bad), -3) << bad;
        EXPECT_EQ(message(), "TXLS-02504 印刷タイトル行(PRINT_TITLE_ROW)の指定内容が不正です(\"" + bad + "\")。");
    }
    ASSERT_EQ(apply(kPropPrintTitleColumn, "b"), 0);
    EXPECT_EQ(settings().title_column1, 2);
    ASSERT_EQ(apply(kPropPrintTitleColumn, "C:A"), 0);
    EXPECT_EQ(settings().title_column1, 1);
    EXPECT_EQ(settings().title_column2, 3);
    for (std::string bad : {"ABCD", "A1", "ZZZ", ""}) {
        EXPECT_EQ(apply(kPropPrintTitleColumn, bad), -3) << bad;
        EXPECT_EQ(message(), "TXLS-02505 印刷タイトル列(PRINT_TITLE_COLUMN)の指定内容が不正です(\"" + bad + "\")。");
    }
}

TEST_F(SheetProps, FilesTemplateAndBackground) {
    EXPECT_EQ(apply(kPropTemplate, "base.xlsx"), -1);
    EXPECT_EQ(message(), "TXLS-03600 内部処理エラー(\"TEMPLATE\")。");
    EXPECT_EQ(apply(kPropSheetBackgroundPath, "bg.png"), -1);
    EXPECT_EQ(message(), "TXLS-03600 内部処理エラー(\"SHEET.BACKGROUND.PATH\")。");
    EXPECT_EQ(apply(kPropSheetBackgroundPath, std::string(257, 'p')), -3);

    EXPECT_EQ(apply(kPropBookThumbnailPath, "/no/such/thumb.jpg"), -3);
    EXPECT_EQ(message(), "TXLS-03102 イメージファイルオープンエラー(\"/no/such/thumb.jpg\")。");
    std::string png = temp_file("t.png", "\x89PNG\r\n\x1a\n....");
    EXPECT_EQ(apply(kPropBookThumbnailPath, png), -3);
    EXPECT_EQ(message(), "TXLS-03190 イメージファイルがサポート外のファイル形式です(\"" + png + "\")。");
    std::string jpeg = temp_file("t.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF");
    ASSERT_EQ(apply(kPropBookThumbnailPath, jpeg), 0);
    EXPECT_EQ(b().settings.thumbnail_path, jpeg);
    EXPECT_EQ(apply(kPropBookThumbnailPath, std::string(257, 'p')), -3);
    EXPECT_EQ(message(), "TXLS-00005 ファイル名が長すぎます。");
    b().settings.thumbnail_path.clear();  // the writer's thumbnail part is not exercised here
    std::remove(png.c_str());
    std::remove(jpeg.c_str());
}

TEST_F(SheetProps, SavedPackageCarriesTheSettings) {
    ASSERT_EQ(apply(kPropBookCompany, "Acme & Co"), 0);
    ASSERT_EQ(apply(kPropBookTitle, "Quarterly"), 0);
    ASSERT_EQ(apply(kPropSheetTabColor, "#00FF00"), 0);
    ASSERT_EQ(apply(kPropSheetZoom, "150"), 0);
    ASSERT_EQ(apply(kPropSheetHiddenGrid, "TRUE"), 0);
    ASSERT_EQ(apply(kPropHeaderCenter, "&[PAGE_NO]/&[PAGE_TOTAL]"), 0);
    ASSERT_EQ(apply(kPropPaperOrientation, "横"), 0);
    ASSERT_EQ(apply(kPropPageFitHorizontal, "1"), 0);
    ASSERT_EQ(apply(kPropPrintTitleRow, "1:2"), 0);
    ASSERT_EQ(apply(kPropSheetProtect, "TRUE"), 0);

    std::string sheet = part("xl/worksheets/sheet1.xml");
    EXPECT_NE(sheet.find("<tabColor rgb=\"FF00FF00\"/>"), std::string::npos);
    EXPECT_NE(sheet.find("zoomScale=\"150\""), std::string::npos);
    EXPECT_NE(sheet.find("showGridLines=\"0\""), std::string::npos);
    EXPECT_NE(sheet.find("&amp;P/&amp;N"), std::string::npos);
    EXPECT_NE(sheet.find("orientation=\"landscape\""), std::string::npos);
    EXPECT_NE(sheet.find("fitToWidth=\"1\""), std::string::npos);
    EXPECT_NE(sheet.find("<sheetProtection"), std::string::npos);
    EXPECT_NE(part("xl/workbook.xml").find("Data!$1:$2"), std::string::npos);
    EXPECT_NE(part("docProps/app.xml").find("Acme &amp; Co"), std::string::npos);
    EXPECT_NE(part("docProps/core.xml").find("<dc:title>Quarterly</dc:title>"), std::string::npos);

    std::string path = ::testing::TempDir() + "sheet_props_" + std::to_string(::getpid()) + ".xlsx";
    b().file_name = path;
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0);
    EXPECT_EQ(std::system(("unzip -tq " + path + " >/dev/null").c_str()), 0);
    std::remove(path.c_str());
}
