// Writes the conformance suite: workbooks saved by the engine through its C API, and a
// manifest of what each cell must read back as in other spreadsheet programs.
//
// Usage: conformance_books OUTDIR   (writes OUTDIR/*.xlsx and OUTDIR/manifest.tsv)

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "model/address.h"
#include "model/book.h"
#include "model/style_registry.h"
#include "tabsmith.h"
#include "../common/tiny_jpeg.h"

namespace {

struct Expect {
    std::string book, sheet, cell, type, value;
};

std::vector<Expect> manifest;

struct Suite {
    const char *dir;
    bool failed = false;

    bool check(XLS_BOOK &book, int rc, const std::string &what) {
        if (rc == 0) return true;
        std::fprintf(stderr, "%s: %d %s\n", what.c_str(), rc, TXLS_error_mesg(&book));
        failed = true;
        return false;
    }
};

// A book opened in UTF-8 so that the values below are written as they read.
class Builder {
public:
    Builder(Suite &suite, std::string name) : suite_(suite), name_(std::move(name)) {
        std::string options = "MODE=CREATE CHARSET=UTF8 BOOK=\"" + std::string(suite.dir) + "/" + name_ + ".xlsx\"";
        suite_.check(book_, TXLS_open_book(&book_, options.c_str()), name_ + " open");
    }
    void sheet(const std::string &name) {
        sheet_ = name;
        suite_.check(book_, TXLS_open_sheet(&book_, ("SHEET_NAME=\"" + name + "\"").c_str()), name_ + " sheet " + name);
    }
    // type: s text, n number, d date/time (ISO value), f formula (text of the formula)
    void put(const std::string &cell, const std::string &value, const std::string &type, const std::string &expect) {
        if (suite_.check(book_, TXLS_put_cell(&book_, cell.c_str(), value.c_str()), name_ + " " + cell))
            manifest.push_back({name_ + ".xlsx", sheet_, cell, type, expect});
    }
    XLS_BOOK &record() { return book_; }
    void save() { suite_.check(book_, TXLS_close_book(&book_, "SAVE"), name_ + " save"); }

private:
    Suite &suite_;
    std::string name_, sheet_;
    XLS_BOOK book_{};
};

void values_book(Suite &suite) {
    Builder b(suite, "values");
    b.sheet("Numbers");
    b.put("A1", "12345", "n", "12345");
    b.put("A2", "-42", "n", "-42");
    b.put("A3", "1,234,567", "n", "1234567");
    b.put("A4", "12.5", "n", "12.5");
    b.put("A5", "-0.125", "n", "-0.125");
    b.put("A6", "3.14159265358979", "n", "3.14159265358979");
    b.put("A7", "25%", "n", "0.25");
    b.put("A8", "8.25%", "n", "0.0825");
    b.put("A9", "999999999999999", "n", "999999999999999");
    manifest.push_back({"values.xlsx", "Numbers", "A7", "style", "number_format=0%"});
    b.sheet("Dates");
    b.put("A1", "2024/04/01", "d", "2024-04-01T00:00:00");
    b.put("A2", "2024-2-9", "d", "2024-02-09T00:00:00");
    b.put("A3", "2024/04/01 09:30", "d", "2024-04-01T09:30:00");
    b.put("A4", "1900/03/01", "d", "1900-03-01T00:00:00");
    b.put("A5", "2024/02/30", "s", "2024/02/30");
    b.put("B1", "17:45", "t", "17:45:00");
    b.put("B2", "08:05:09", "t", "08:05:09");
    manifest.push_back({"values.xlsx", "Dates", "A1", "style", "is_date=True"});
    manifest.push_back({"values.xlsx", "Dates", "A3", "style", "number_format=m/d/yy h:mm"});
    b.save();
}

void texts_book(Suite &suite) {
    Builder b(suite, "texts");
    b.sheet("Texts");
    b.put("A1", "plain", "s", "plain");
    b.put("A2", "with  two spaces", "s", "with  two spaces");
    b.put("A3", " leading and trailing ", "s", " leading and trailing ");
    b.put("A4", "報告書：売上集計（第１四半期）", "s", "報告書：売上集計（第１四半期）");
    b.put("A5", "ｶﾀｶﾅ と ①②③", "s", "ｶﾀｶﾅ と ①②③");
    b.put("A6", "_x0041_", "s", "_x0041_");
    b.put("A7", "a < b & c > \"d\" 'e'", "s", "a < b & c > \"d\" 'e'");
    b.put("A8", "'00123", "s", "00123");
    b.put("A9", "12,34", "s", "12,34");
    b.put("A10", "\\$HOME", "s", "$HOME");
    b.put("A11", "line one\nline two", "s", "line one\nline two");
    std::string longer;
    for (int i = 0; i < 500; ++i) longer += "長い文章のテスト";
    b.put("A12", longer, "s", longer);
    b.put("A13", "tab\there", "s", "tab\there");
    b.put("A14", "bell\x07" "char", "s", "bell\x07" "char");
    b.sheet("日本語シート");
    b.put("B2", "シート名も日本語", "s", "シート名も日本語");
    b.save();
}

void formulas_book(Suite &suite) {
    Builder b(suite, "formulas");
    b.sheet("Calc");
    b.put("A1", "10", "n", "10");
    b.put("A2", "32", "n", "32");
    b.put("A3", "=SUM(A1:A2)", "f", "=SUM(A1:A2)");
    b.put("A4", "=A1*2+A2", "f", "=A1*2+A2");
    b.put("A5", "=IF(A1<A2,\"less\",\"more\")", "f", "=IF(A1<A2,\"less\",\"more\")");
    b.put("A6", "=A1&\" & \"&A2", "f", "=A1&\" & \"&A2");
    b.save();
}

void many_sheets_book(Suite &suite) {
    Builder b(suite, "many_sheets");
    for (int s = 1; s <= 12; ++s) {
        b.sheet("S" + std::to_string(s));
        for (int r = 1; r <= 20; ++r) {
            std::string cell = "C" + std::to_string(r);
            b.put(cell, std::to_string(s * 1000 + r), "n", std::to_string(s * 1000 + r));
        }
    }
    b.save();
}

// Cells styled through the registry (the statement language drives the same calls).
void styled_book(Suite &suite) {
    using namespace tabsmith;
    Builder b(suite, "styled");
    b.sheet("Styled");
    b.put("A1", "red bold", "s", "red bold");
    b.put("A2", "yellow fill", "s", "yellow fill");
    b.put("A3", "wrapped text that is long enough to wrap", "s", "wrapped text that is long enough to wrap");
    b.put("A4", "1234567.891", "n", "1234567.891");
    b.put("A5", "2024/12/31", "d", "2024-12-31T00:00:00");
    for (const char *cell : {"B2", "C3", "D4"}) b.put(cell, "1", "n", "1");
    Book &book = *static_cast<Book *>(b.record().work);
    auto cell_at = [&](const char *name) -> Cell & {
        int row = 0, column = 0;
        parse_cell_name(name, row, column);
        return book.sheets[0]->rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    };
    FontRecord font;
    font.style = kFontBold;
    font.colour = kStyleColourRgb;
    font.rgb = {255, 0, 0};
    bool ok = set_cell_font(book, cell_at("A1"), kFontMaskStyle | kFontMaskColour, font) == 0;
    FillRecord fill;
    fill.colour = kStyleColourRgb;
    fill.rgb = {255, 255, 0};
    ok = ok && set_cell_fill(book, cell_at("A2"), kFillMaskColour, fill) == 0;
    ok = ok && set_cell_text_flags(book, cell_at("A3"), kTextWrap) == 0;
    int format = 0;
    ok = ok && tsx_set_num_format(book, 107, format) == 0 && set_cell_number_format(book, cell_at("A4"), format) == 0;
    BorderRecord border;
    border.left = border.right = border.top = border.bottom = 1;
    ok = ok && set_range_border(book, 0, 1, 1, 3, 3, kBorderMaskLeft | kBorderMaskRight | kBorderMaskTop |
                                                     kBorderMaskBottom, border) == 0;
    if (!ok) suite.failed = true;
    manifest.push_back({"styled.xlsx", "Styled", "A1", "style", "font.b=True;font.color.rgb=FFFF0000"});
    manifest.push_back({"styled.xlsx", "Styled", "A2", "style", "fill.fill_type=solid;fill.fgColor.rgb=FFFFFF00"});
    manifest.push_back({"styled.xlsx", "Styled", "A3", "style", "alignment.wrap_text=True"});
    manifest.push_back({"styled.xlsx", "Styled", "A4", "style", "number_format=#,##0_ "});
    manifest.push_back({"styled.xlsx", "Styled", "C3", "style", "border.left.style=thin;border.bottom.style=thin"});
    manifest.push_back({"styled.xlsx", "Styled", "A5", "style", "is_date=True"});
    // Formatted, bordered or coloured, a number no ALIGN touched is aligned by the reader.
    for (const char *cell : {"A1", "A4", "C3"})
        manifest.push_back({"styled.xlsx", "Styled", cell, "style", "alignment.horizontal=None"});
    b.save();
}

// Formatting, sheet and book settings through the statement language.
void statements_book(Suite &suite) {
    Builder b(suite, "statements");
    b.sheet("Format");
    auto run = [&](const std::string &text) {
        suite.check(b.record(), TXLS_put_values(&b.record(), text.c_str()), "statements: " + text);
    };
    auto expect = [&](const std::string &sheet, const std::string &cell, const std::string &style) {
        manifest.push_back({"statements.xlsx", sheet, cell, "style", style});
    };
    run("A1=\"red bold\" A1.FONT.COLOR=RED A1.FONT.STYLE=bold A1.FONT.SIZE=14");
    expect("Format", "A1", "font.b=True;font.sz=14.0");
    run("A2=italic A2.FONT.STYLE=italic_underline A2.FONT.NAME=明朝");
    expect("Format", "A2", "font.i=True;font.u=single");
    run("A3=fill A3.FILL.COLOR=#FFFF00");
    expect("Format", "A3", "fill.fill_type=solid;fill.fgColor.rgb=FFFFFF00");
    run("A4=pattern A4.FILL.PATTERN.NAME=darkGrid A4.FILL.PATTERN.COLOR=BLUE");
    expect("Format", "A4", "fill.fill_type=darkGrid");
    run("A5=gradient A5.FILL.GRADATION.COLOR1=WHITE A5.FILL.GRADATION.COLOR2=BLUE A5.FILL.GRADATION.KIND=VERTICAL");
    expect("Format", "A5", "fill.type=linear");
    const char *lines[] = {"thin", "thick", "hair", "dashed", "dashDot", "dashDotDot", "dotted",
                           "medium", "mediumDashed", "mediumDashDot", "mediumDashDotDot", "slantDashDot", "double"};
    int row = 1;
    for (const char *line : lines) {
        std::string cell = "C" + std::to_string(row++ * 2);
        run(cell + "=1 " + cell + ".BORDER=" + line);
        expect("Format", cell, std::string("border.left.style=") + line + ";border.bottom.style=" + line);
    }
    run("E2:G4.BORDER=THIN E2:G4.BORDER.COLOR=RED");
    expect("Format", "F3", "border.top.style=thin;border.right.style=thin");
    run("A6=\"wrapped text in a narrow column\" A6.WRAP=TRUE A7=shrink A7.SHRINK=TRUE A8=center A8.ALIGN=CENTER_CENTER");
    expect("Format", "A6", "alignment.wrap_text=True");
    expect("Format", "A7", "alignment.shrink_to_fit=True");
    expect("Format", "A8", "alignment.horizontal=center;alignment.vertical=center");
    run("A15=left A15.ALIGN=BOTTOM_LEFT A15.FONT.COLOR=RED A16=1 A16.FONT.COLOR=RED");
    expect("Format", "A15", "alignment.horizontal=left;alignment.vertical=None");
    expect("Format", "A16", "alignment.horizontal=None");
    run("A9=merged A9:B10.MERGE=TRUE");
    manifest.push_back({"statements.xlsx", "Format", "A9:B10", "merged", "True"});
    run("A11=1234567.891 A11.FORMAT=カンマ小数点以下2 A12=0.125 A12.FORMAT=パーセント小数点以下1 A13=2024/05/06 A13.FORMAT=年月日");
    expect("Format", "A11", "number_format=#,##0.00_ ");
    expect("Format", "A12", "number_format=0.0%");
    expect("Format", "A13", "is_date=True");
    run("A14=00123 A14.FORMAT=文字列");
    expect("Format", "A14", "quotePrefix=True");
    run("H.WIDTH=30 12.HEIGHT=40 20.NEWPAGE=TRUE");
    manifest.push_back({"statements.xlsx", "Format", "H", "width", "30"});
    manifest.push_back({"statements.xlsx", "Format", "12", "height", "40"});
    manifest.push_back({"statements.xlsx", "Format", "", "row_breaks", "19"});
    // Every named number format ends in a number format the readers accept.
    const char *formats[] = {"赤マイナス", "日付", "日時", "時刻", "時分秒", "年月日", "西暦", "月日", "和暦", "円",
                             "赤円", "郵便番号", "正負記号", "漢数字", "大字", "全角", "全角桁区切り", "カンマ",
                             "パーセント", "小数点以下3", "カンマ小数点以下1", "文字列"};
    int format_row = 1;
    for (const char *format : formats) {
        std::string cell = "M" + std::to_string(format_row++);
        run(cell + "=1234.5 " + cell + ".FORMAT=" + format);
        expect("Format", cell, std::string(format) == "文字列" ? "quotePrefix=True" : "has_style=True");
    }
    run("J1=Name K1=Amount J2=a K2=1 J1:K2.FILTER=TRUE");
    manifest.push_back({"statements.xlsx", "Format", "", "auto_filter", "J1:K2"});

    b.sheet("Settings");
    run("A1=settings SHEET.ZOOM=150 SHEET.FROZEN_TOP=TRUE SHEET.HIDDEN_GRID=TRUE SHEET.TAB.COLOR=RED");
    run("SHEET.PASSWORD=secret PAPER.SIZE=A3 PAPER.ORIENTATION=LANDSCAPE PAPER.MARGIN.LEFT=2.54");
    run("SHEET.HEADER.CENTER=\"Monthly report\" SHEET.FOOTER.RIGHT=\"Page &P\" SHEET.PRINT_TITLE_ROW=1:2");
    manifest.push_back({"statements.xlsx", "Settings", "", "sheet",
                        "oddHeader.center.text=Monthly report;print_title_rows=$1:$2;sheet_view.zoomScale=150;freeze_panes=A2;sheet_view.showGridLines=False;"
                        "sheet_properties.tabColor.rgb=FFFF0000;protection.sheet=True;page_setup.paperSize=8;"
                        "page_setup.orientation=landscape;page_margins.left=1.0"});
    b.sheet("Hidden");
    run("A1=hidden SHEET.HIDDEN=TRUE");
    manifest.push_back({"statements.xlsx", "Hidden", "", "sheet", "sheet_state=hidden"});
    run("BOOK.TITLE=\"月次報告\" BOOK.CREATOR=Tanaka BOOK.COMPANY=\"Example Ltd\"");
    manifest.push_back({"statements.xlsx", "", "", "book", "properties.title=月次報告;properties.creator=Tanaka"});
    b.save();
}

// A thumbnail stored as the package's docProps/thumbnail.jpeg, byte for byte.
void thumbnail_book(Suite &suite) {
    const std::string picture = std::string(suite.dir) + "/thumb.jpg";
    std::ofstream(picture, std::ios::binary) << tabsmith::testing::kTinyJpeg;
    Builder b(suite, "thumbnail");
    b.sheet("Data");
    b.put("A1", "with a thumbnail", "s", "with a thumbnail");
    suite.check(b.record(), TXLS_put_values(&b.record(), ("BOOK.THUMBNAIL.PATH=\"" + picture + "\"").c_str()),
                "thumbnail path");
    manifest.push_back({"thumbnail.xlsx", "", "docProps/thumbnail.jpeg", "entry", "thumb.jpg"});
    b.save();
}

void default_sheets_book(Suite &suite) {
    // A book saved without any sheet gets three empty ones.
    Builder b(suite, "no_sheets");
    b.save();
}

void large_book(Suite &suite) {
    // Several megabytes of sheet text, so the worksheet is compressed in pieces that are joined;
    // a sample of cells is checked, and the whole entry's CRC by the archive test.
    Builder b(suite, "large");
    b.sheet("Data");
    constexpr int kRows = 30000;
    static const char *const kWords[] = {"alpha", "日本語の文字列", "a&b<c>", "  padded  "};
    for (int r = 1; r <= kRows; ++r) {
        for (int c = 0; c < 8; ++c) {
            std::string cell = std::string(1, static_cast<char>('A' + c)) + std::to_string(r);
            std::string value, expect, type = "n";
            if (c < 3) {
                value = expect = std::to_string(r * 7919LL % 1000003 * (c + 1));
            } else if (c < 5) {
                value = expect = std::to_string(r % 9973) + "." + std::to_string(10 + r % 90);
            } else {
                value = expect = std::string(kWords[(r + c) % 4]) + "-" + std::to_string(r);
                type = "s";
            }
            if ((r * 8 + c) % 53 == 0 || r == kRows) {
                b.put(cell, value, type, expect);
            } else {
                suite.check(b.record(), TXLS_put_cell(&b.record(), cell.c_str(), value.c_str()), "large " + cell);
            }
        }
    }
    b.save();
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    Suite suite{argv[1]};
    values_book(suite);
    texts_book(suite);
    formulas_book(suite);
    many_sheets_book(suite);
    styled_book(suite);
    statements_book(suite);
    default_sheets_book(suite);
    thumbnail_book(suite);
    large_book(suite);

    std::ofstream out(std::string(argv[1]) + "/manifest.tsv", std::ios::binary);
    for (const auto &e : manifest) {
        std::string value;
        for (char c : e.value) {
            if (c == '\\') value += "\\\\";
            else if (c == '\n') value += "\\n";
            else if (c == '\t') value += "\\t";
            else value += c;
        }
        out << e.book << '\t' << e.sheet << '\t' << e.cell << '\t' << e.type << '\t' << value << '\n';
    }
    return suite.failed ? 1 : 0;
}
