// Book, sheet and print statements and the annotations (comments, hyperlinks, table formats):
// value rules and their messages, and where each setting is kept.

#include <gtest/gtest.h>

#include <string>

#include "model/address.h"
#include "model/annotations.h"
#include "props/facts.h"
#include "props/sheet_properties.h"

using namespace tabsmith;
using namespace tabsmith::testing;

namespace {

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

const std::string kKeyword = "TXLS-02200 サポート外のキーワードです(\"", kLong = "TXLS-00005 ファイル名が長すぎます。";
const std::string kPictureRefused = "TXLS-03190 イメージファイルがサポート外のファイル形式です(\"";

}  // namespace

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
    });
    TempFolder folder;
    const std::string png = folder.write("t.png", "\x89PNG\r\n\x1a\n...."), jpeg = folder.write("t.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + "JFIF");
    run({{"BOOK.THUMBNAIL.PATH=" + png, -3, kPictureRefused + png + "\")。"}, {"BOOK.THUMBNAIL.PATH=" + jpeg, 0, "thumbnail=" + jpeg}});
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
    for (const PaperName &paper : paper_names()) {
        std::string lower(paper.name);
        for (char &c : lower) c = static_cast<char>(std::tolower(c));
        ASSERT_EQ(put("PAPER.SIZE=" + lower), 0);
        EXPECT_TRUE(holds("paper=" + word(paper.index))) << lower;
    }
    const std::string fit = "TXLS-02507 印刷ページ数合わせ(PRINT_PAGE_FIT)の指定内容が不正です(\"", number = "TXLS-02302 数値が不正です(\"";
    const std::string rows = "TXLS-02504 印刷タイトル行(PRINT_TITLE_ROW)の指定内容が不正です(\"";
    const std::string columns = "TXLS-02505 印刷タイトル列(PRINT_TITLE_COLUMN)の指定内容が不正です(\"";
    run({
        {"PAPER.SIZE=Letter", 0, "paper=4"}, {"PAPER.ORIENTATION=landscape", 0, "landscape=1"}, {"PAPER.ORIENTATION=X", 0, "landscape=0"},
        {"PAPER.SCALE=80.9", 0, "scale=80"}, {"PAPER.SCALE=half", -3, number + "half\")。"}, {"PAPER.SCALE=5", -3, number + "5\")。"},
        {"PAPER.DPI=300", 0, "dpi=300"}, {"PAPER.MARGIN.TOP=2.5", 0, "top=2.5"}, {"PAPER.MARGIN.FOOTER=0.5", 0, "footer=0.5"},
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
