// The HTML view: hostile text through every way text reaches the page stays text, and the
// page's structure follows the sheet (spans, hidden rows and columns, one class per format,
// links inside the book, values through their formats), with coded errors for bad options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/fixtures.h"
#include "tabsmith.h"

namespace tabsmith::testing {
namespace {

std::size_t count(const std::string &text, const std::string &what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class HtmlView : public SheetTest {
protected:
    std::string page(const std::string &options = "") {
        const std::string name = "html_view_test.html";
        EXPECT_EQ(TXLS_save_html(&book, ("MEMORY=" + name + " " + options).c_str()), 0) << TXLS_error_mesg(&book);
        const void *bytes = nullptr;
        long size = 0;
        if (TXLS_memory_get(name.c_str(), &bytes, &size) != 0) return {};
        std::string text(static_cast<const char *>(bytes), static_cast<std::size_t>(size));
        TXLS_memory_put(name.c_str(), "", 0);
        return text;
    }
};

// Each way a text reaches the page, with text that would be markup, CSS or script: none of it
// may become an element, an attribute, a rule or a link.
TEST_F(HtmlView, HostileTextStaysText) {
    struct Case {
        const char *what;
        std::string statements, value;   // the value goes into A1 through TXLS_put_cell
        std::string expected;            // what the page must hold instead
        std::size_t links;
    };
    // Statement values cannot hold a double quote; the cell value carries one.
    const std::string markup = "</td><script>alert(1)</script><img src=x onerror=alert(2)>'";
    const std::string escaped = "&lt;/td&gt;&lt;script&gt;alert(1)&lt;/script&gt;&lt;img src=x onerror=alert(2)&gt;&#39;";
    const std::vector<Case> cases = {
        {"cell value", "", "\"><img src=x onerror=alert(1)>" + markup, "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;" + escaped, 0},
        {"comment", "A1.COMMENT=\"" + markup + "\"", "x", "title=\"" + escaped + "\"", 0},
        {"sheet name", "SHEET=\"<script>x'<img onerror=y>\" A1=x", "", "&lt;script&gt;x&#39;&lt;img onerror=y&gt;", 0},
        {"font name", "A1.FONT.NAME=\"x}</style><script>alert(1)</script>;{\"", "x",
         "x\\7d \\3c \\2f style\\3e \\3c script\\3e alert\\28 1\\29 \\3c \\2f script\\3e \\3b \\7b ", 0},
        {"javascript link", "A1.HYPERLINK=\"javascript:alert(1)\"", "go", ">go</td>", 0},
        {"data link", "A1.HYPERLINK=\"data:text/html,<script>x</script>\"", "go", ">go</td>", 0},
        {"link with markup", "A1.HYPERLINK=\"https://e.example/a'b<c>\"", "go", "href=\"https://e.example/a&#39;b&lt;c&gt;\"", 1},
        {"invalid UTF-8 and controls", "", "a\x01\xff\xfe" "b", ">a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b</td>", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        reopen();
        if (!c.value.empty()) {
            ASSERT_EQ(TXLS_put_cell(&book, "A1", c.value.c_str()), 0) << TXLS_error_mesg(&book);
        }
        if (!c.statements.empty()) {
            ASSERT_EQ(TXLS_put_values(&book, c.statements.c_str()), 0) << TXLS_error_mesg(&book);
        }
        const std::string html = page();
        EXPECT_NE(html.find(c.expected), std::string::npos) << html;
        EXPECT_EQ(count(html, "<script"), 0u);
        EXPECT_EQ(count(html, "<img"), 0u);
        EXPECT_EQ(count(html, "</style>"), 1u);
        EXPECT_EQ(count(html, "href=\"http"), c.links);
        EXPECT_EQ(count(html, "href=\"javascript") + count(html, "href=\"data"), 0u);
    }
}

// The layout the page takes from the sheet.
TEST_F(HtmlView, StructureFollowsTheSheet) {
    for (const char *s : {"A1=Title", "A1:C2.MERGE=TRUE", "A1.FONT.STYLE=bold", "D1=7", "D1.FONT.STYLE=bold", "A3=kept",
                          "B3=\"hidden column\"", "A4=\"hidden row\"", "A5=\"2024/04/01\"", "C5=\"12.5%\"",
                          "D5=1234567", "D5.FORMAT=円", "A.WIDTH=20", "C.WIDTH=5", "E200:E203.MERGE=TRUE"})
        ASSERT_EQ(TXLS_put_values(&book, s), 0) << s << TXLS_error_mesg(&book);
    for (int r = 10; r < 1010; ++r) {
        const std::string row = std::to_string(r);
        ASSERT_EQ(TXLS_put_values(&book, ("D" + row + "=v" + row + " D" + row + ".FILL.COLOR=YELLOW").c_str()), 0);
    }
    Sheet &sheet = *store().sheets[0];
    sheet.rows[3].hidden_flag = kFlagYes;
    sheet.columns[1].width = -1.0;
    const std::string html = page();

    struct Fact {
        const char *what;
        std::string text;
        std::size_t times;
    };
    const std::vector<Fact> facts = {
        {"the merged title spans the shown rows and columns", "rowspan=\"2\" colspan=\"2\">Title</td>", 1},
        {"hidden row and column left out", "hidden ", 0},
        {"blocks of 200 shown rows, the first to the merged area's end", "<div class=\"rows\"", 6},
        {"no block ends inside a merged area", "v203</td></tr>\n</tbody>", 1},
        {"each block's shown columns, widths in pixels", "<col style=\"width:", 4 * 6},
        {"a wide and a narrow column", "<col style=\"width:144px\"><col style=\"width:39px\">", 6},
        {"cells under the merged area left out", "<tr></tr>", 5},
        {"one rule per format in use", ".sheet td.x", 5},
        {"one bold rule for both bold cells", "font-weight:bold", 1},
        {"one fill rule for a thousand cells", "background-color:#ffff00", 1},
        {"a thousand cells share the fill's class", "class=\"x10\">v", 1000},
        {"a date through its format", ">2024/4/1</td>", 1},
        {"a yen amount through its format", ">¥1,234,567</td>", 1},
        {"a percentage through its format", ">12%</td>", 1},
        {"numbers left to the reader aligned right", " n\">", 2},
    };
    for (const Fact &fact : facts) EXPECT_EQ(count(html, fact.text), fact.times) << fact.what << "\n" << html.substr(0, 3000);
    EXPECT_EQ(count(html, "<tr"), 1009u - 1u);
}

// Rows handed out of memory come back in their places, with what the row holds now on top.
TEST_F(HtmlView, StreamedRowsInTheirPlaces) {
    TXLS_free_book(&book);
    ASSERT_EQ(open("MODE=CREATE CHARSET=UTF8 STREAM_AFTER=1"), 0);
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=S"), 0);
    for (int r = 1; r <= 4; ++r) {
        const std::string row = std::to_string(r);
        ASSERT_EQ(TXLS_put_values(&book, ("A" + row + "=r" + row + " B" + row + "=" + row + "0").c_str()), 0);
        if (r > 1 && r != 3) {   // rows 2 and 4 streamed, row 3 kept between them
            ASSERT_EQ(TXLS_write_row(&book, r), 0) << TXLS_error_mesg(&book);
        }
    }
    ASSERT_EQ(TXLS_put_cell(&book, "C2", "late"), 0);
    EXPECT_NE(page().find("<tr><td>r1</td><td class=\"n\">10</td></tr>\n<tr><td>r2</td><td class=\"n\">20</td><td>late</td></tr>\n"
                          "<tr><td>r3</td><td class=\"n\">30</td></tr>\n<tr><td>r4</td>"),
              std::string::npos) << page();
}

// A merged area over the whole sheet and a comment on its last cell do not make a page of a
// million rows.
TEST_F(HtmlView, FarAwayAreasStayBounded) {
    ASSERT_EQ(TXLS_put_values(&book, "A1=x A1.COMMENT=near XFD1048576.COMMENT=far"), 0) << TXLS_error_mesg(&book);
    store().sheets[0]->merges.push_back({0, 0, kXlsxMaxRows - 1, kXlsxMaxColumns - 1});
    const std::string html = page();
    EXPECT_LT(html.size(), 64u * 1024u);
    EXPECT_NE(html.find("<td rowspan=\"102\" colspan=\"28\" title=\"near\">x</td>"), std::string::npos) << html;
}

// Sheets as tabs, one sheet on its own, links inside the book, and the errors of bad options.
TEST_F(HtmlView, SheetsLinksAndOptions) {
    ASSERT_EQ(TXLS_put_values(&book, "A1=go SHEET=Second B3=there SHEET=Hidden A1=secret SHEET.HIDDEN=TRUE"), 0)
        << TXLS_error_mesg(&book);
    ASSERT_EQ(TXLS_sheet_hyperlink(&book, "Sheet1!A1", "Second", "B3"), 0) << TXLS_error_mesg(&book);
    const std::string all = page();
    EXPECT_NE(all.find("<a href=\"#p0\">Sheet1</a><a href=\"#p1\">Second</a></nav>"), std::string::npos) << all;
    EXPECT_NE(all.find("<a href=\"#p1-B3\">go</a>"), std::string::npos);
    EXPECT_NE(all.find("<td id=\"p1-B3\">there</td>"), std::string::npos);
    EXPECT_EQ(all.find("secret"), std::string::npos);

    const std::string one = page("SHEET=Sheet1");
    EXPECT_EQ(one.find("<nav"), std::string::npos);
    EXPECT_NE(one.find(">go</td>"), std::string::npos) << "a link to a sheet not on the page stays text";
    EXPECT_NE(page("SHEET=Hidden").find("secret"), std::string::npos);

    TempFolder dir;
    struct Bad {
        std::string options;
        int code;
        const char *message;
    };
    const std::vector<Bad> bad = {
        {"SHEET=Sheet1", TXLS_ERR_ARGUMENT, "TXLS-02440"},
        {"FILE=a.html MEMORY=b.html", TXLS_ERR_ARGUMENT, "TXLS-02440"},
        {"FILE=a.html COLOUR=red", TXLS_ERR_ARGUMENT, "TXLS-02200"},
        {"MEMORY=b.html SHEET=Nowhere", TXLS_ERR_NO_SHEET, "TXLS-02320"},
        {"FILE=\"" + dir.path() + "/missing/a.html\"", TXLS_ERR_OPEN, "TXLS-03100"},
    };
    for (const Bad &b : bad) {
        EXPECT_EQ(TXLS_save_html(&book, b.options.c_str()), b.code) << b.options;
        EXPECT_NE(message().find(b.message), std::string::npos) << b.options << ": " << message();
    }
    EXPECT_EQ(TXLS_save_html(&book, nullptr), TXLS_ERR_ARGUMENT);
    EXPECT_EQ(TXLS_save_html(nullptr, "MEMORY=x"), TXLS_ERR_ARGUMENT);

    const std::string file = dir / "view.html";
    ASSERT_EQ(TXLS_save_html(&book, ("FILE=\"" + file + "\"").c_str()), 0) << TXLS_error_mesg(&book);
    std::ifstream written(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), all);
}

}  // namespace
}  // namespace tabsmith::testing
