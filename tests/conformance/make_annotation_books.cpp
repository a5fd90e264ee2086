// Writes the annotation conformance books: comments, table formats and hyperlinks saved through
// the C API, and a manifest of what other programs must find in them.
//
// Usage: annotation_books OUTDIR   (writes OUTDIR/*.xlsx and OUTDIR/manifest.tsv)
//
// Manifest lines, tab-separated, texts with \\, \t and \n escaped:
//   comment   BOOK SHEET CELL TEXT
//   table     BOOK SHEET RANGE STYLE NAME|NAME|...
//   link      BOOK SHEET CELL TARGET          (an external target as the relationship holds it)
//   location  BOOK SHEET CELL SHEET!CELL DISPLAY

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tabsmith.h"

namespace {

std::vector<std::vector<std::string>> manifest;
bool failed = false;

std::string escaped(const std::string &text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

class Builder {
public:
    Builder(const std::string &dir, std::string name) : name_(std::move(name)) {
        std::string options = "MODE=CREATE CHARSET=UTF8 BOOK=\"" + dir + "/" + name_ + ".xlsx\"";
        check(TXLS_open_book(&book_, options.c_str()), "open");
    }
    void sheet(const std::string &name, bool existing = false) {
        sheet_ = name;
        std::string options = (existing ? "MODE=UPDATE " : "") + std::string("SHEET_NAME=\"") + name + "\"";
        check(TXLS_open_sheet(&book_, options.c_str()), "sheet " + name);
    }
    void put(const std::string &cell, const std::string &value) {
        check(TXLS_put_cell(&book_, cell.c_str(), value.c_str()), "put " + cell);
    }
    void statements(const std::string &text) { check(TXLS_put_values(&book_, text.c_str()), text.substr(0, 60)); }
    // A comment through a statement; the text goes in quoted, its quotes doubled.
    // `cells`: those a range target stands for; none for a single cell.
    void comment(const std::string &target, const std::string &text, const std::vector<std::string> &cells = {}) {
        std::string quoted;
        for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        statements(target + ".COMMENT=\"" + quoted + "\"");
        for (const std::string &cell : cells.empty() ? std::vector<std::string>{target} : cells)
            manifest.push_back({"comment", name_, sheet_, cell, text});
    }
    void table(const std::string &range, const std::string &style_value, const std::string &style,
               const std::string &names) {
        statements(range + ".TABLE_FORMAT=" + style_value);
        manifest.push_back({"table", name_, sheet_, range, style, names});
    }
    void external(const std::string &cell, const std::string &target, const std::string &expected) {
        check(TXLS_external_hyperlink(&book_, cell.c_str(), target.c_str()), "link " + cell);
        manifest.push_back({"link", name_, sheet_, cell, expected});
    }
    void internal(const std::string &cell, const std::string &sheet, const std::string &target,
                  const std::string &display) {
        check(TXLS_sheet_hyperlink(&book_, cell.c_str(), sheet.c_str(), target.c_str()), "sheet link " + cell);
        manifest.push_back({"location", name_, sheet_, cell, sheet + "!" + target, display});
    }
    void in_value(const std::string &cell, const std::string &sheet, const std::string &target,
                  const std::string &display) {
        put(cell, "#" + sheet + "!" + target + "\"" + display + "\"");
        manifest.push_back({"location", name_, sheet_, cell, sheet + "!" + target, display});
    }
    void save() { check(TXLS_close_book(&book_, "SAVE"), "save"); }

private:
    void check(int rc, const std::string &what) {
        if (rc == 0) return;
        std::fprintf(stderr, "%s: %s: %d %s\n", name_.c_str(), what.c_str(), rc, TXLS_error_mesg(&book_));
        failed = true;
    }
    std::string name_, sheet_;
    XLS_BOOK book_{};
};

void comments_book(const std::string &dir) {
    Builder b(dir, "comments");
    b.sheet("多数");
    // More boxes than one block of 1024 shape ids holds at steps of 25.
    for (int row = 1; row <= 30; ++row)
        for (const char *column : {"A", "C"}) {
            std::string cell = column + std::to_string(row);
            b.put(cell, std::to_string(row));
            b.comment(cell, "確認してください " + cell);
        }
    b.sheet("Plain");
    b.put("A1", "no comments here");
    b.sheet("Texts");
    b.comment("B2", "first line\nsecond line");
    b.comment("D4", "R&D <costs> \"quoted\" 'single' & more");
    b.comment("AA100", "遠いセル — far away ✓");
    b.comment("E1:F2", "one text on four cells", {"E1", "F1", "E2", "F2"});
    b.save();
}

void tables_book(const std::string &dir) {
    Builder b(dir, "tables");
    b.sheet("Light");
    b.statements("A1=品名 B1=数量 C1=単価 A2=りんご B2=3 C2=120 A3=みかん B3=10 C3=40");
    b.table("A1:C3", "淡色9", "TableStyleLight9", "品名|数量|単価");
    b.statements("E1=Name F1=Name G1=name H1=\"\" E2=a F2=b G2=c H2=d");
    b.table("E1:H4", "Light21", "TableStyleLight21", "Name|Name2|name3|列4");
    b.sheet("Medium");
    b.statements("A1=2024 B1=2025 A2=1 B2=2");
    b.table("A1:B2", "中間2", "TableStyleMedium2", "2024|2025");
    b.statements("D1=Region E1=Sales D2=East E2=100 D3=West E3=200");
    b.table("D1:E3", "medium28", "TableStyleMedium28", "地域|Sales");
    b.statements("D1.TABLE_FORMAT.COLUMN_NAME=地域");
    b.sheet("Dark");
    b.statements("B2=\"A & B\" C2=\"<x>\" B3=1 C3=2");
    b.table("B2:C3", "濃色11", "TableStyleDark11", "A & B|<x>");
    b.statements("E5=x E6=y");
    b.table("E5:F6", "Dark1", "TableStyleDark1", "x|列2");
    b.save();
}

void links_book(const std::string &dir) {
    Builder b(dir, "links");
    b.sheet("Index");
    b.sheet("Sheet2");
    b.put("B3", "target");
    b.sheet("データ 2");
    b.put("A1", "data");
    b.sheet("Index", true);
    b.put("A1", "web");
    b.external("A1", "https://example.com/search?q=a&lang=\"ja\"", "https://example.com/search?q=a&lang=\"ja\"");
    b.put("A2", "mail");
    b.external("A2", "info@example.co.jp", "mailto:info@example.co.jp");
    b.put("A3", "to sheet 2");
    b.internal("A3", "Sheet2", "B3", "to sheet 2");
    b.put("A4", "to data");
    b.internal("A4", "データ 2", "A1", "to data");
    b.in_value("A5", "Sheet2", "B3", "Go");
    b.in_value("A6", "Sheet2", "C10", "ジャンプ");
    b.statements("A7=file A7.HYPERLINK=\"reports/april.xlsx\" A8=mail A8.ハイパーリンク=\"sales.team@example.com\"");
    manifest.push_back({"link", "links", "Index", "A7", "reports/april.xlsx"});
    manifest.push_back({"link", "links", "Index", "A8", "mailto:sales.team@example.com"});
    // Only starts with "#": plain text, no link.
    b.put("A9", "#1 seller");
    b.save();
}

void mixed_book(const std::string &dir) {
    Builder b(dir, "mixed");
    b.sheet("All");
    b.statements("A1=Item B1=Price A2=pen B2=100 A3=ink B3=250");
    b.table("A1:B3", "Medium9", "TableStyleMedium9", "Item|Price");
    b.comment("B2", "税込み");
    b.put("D1", "site");
    b.external("D1", "http://example.org/", "http://example.org/");
    b.in_value("D2", "Other", "A1", "other sheet");
    b.sheet("Other");
    b.put("A1", "x");
    b.comment("A1", "back");
    b.save();
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    comments_book(dir);
    tables_book(dir);
    links_book(dir);
    mixed_book(dir);
    std::ofstream out(dir + "/manifest.tsv", std::ios::binary);
    for (const auto &line : manifest) {
        for (std::size_t k = 0; k < line.size(); ++k) out << (k ? "\t" : "") << escaped(line[k]);
        out << "\n";
    }
    std::printf("4 books, %zu expectations\n", manifest.size());
    return failed ? 1 : 0;
}
