// The annotation parts against their golden texts (comments, their VML boxes, tables, and the
// relationships of a sheet holding all of them), hyperlinks, and the part numbers of a save.

#include <gtest/gtest.h>

#include <map>

#include "model/book.h"
#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/book_parts.h"
#include "common/golden.h"
#include "xlsx_write/object_parts.h"
#include "xlsx_write/package_writer.h"
#include "xlsx_write/worksheet_part.h"

using namespace tabsmith;
using tabsmith::testing::golden;
using tabsmith::testing::has;

namespace {

Sheet &add(Book &book, const char *name) { return *book.sheets[static_cast<std::size_t>(add_sheet(book, name))]; }

void put_text(Book &book, Sheet &sheet, int row, int column, std::string_view text) {
    ASSERT_EQ(ensure_cell(book, sheet, row, column), 0);
    Cell &cell = sheet.rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    cell.kind = kCellString;
    cell.sst = static_cast<std::uint32_t>(put_shared_string(book, text));
    sheet.rows_used = std::max(sheet.rows_used, row + 1);
    Row &r = sheet.rows[static_cast<std::size_t>(row)];
    r.used = std::max<std::uint16_t>(r.used, static_cast<std::uint16_t>(column + 1));
}

}  // namespace

// Each comment is the creator in bold and the text escaped (a red one in its own size); each
// has a hidden note box, with shape ids in steps of 25; a table per style family.
TEST(AnnotationParts, CommentsNoteBoxesAndTablesAreTheGoldenParts) {
    Book book;
    book.author = "R&D <team>";
    Sheet &sheet = add(book, "Sheet1");
    sheet.annotations.comments.push_back({1, 1, "check \"this\" & <that>\r\nline two"});
    sheet.annotations.comments.push_back({0, 27, "二つ目"});
    sheet.annotations.comments.back().colour_kind = kCommentColourKindRed;
    sheet.annotations.comments.back().points = 9;
    EXPECT_EQ(comments_part(book, sheet), golden("comments.xml"));
    sheet.annotations.comments = {{1, 1, "a"}, {1, 2, "b"}, {4, 0, "c"}};
    EXPECT_EQ(vml_drawing_part(sheet, 2, 1100), golden("vmlDrawing.xml"));
    TableFormat table;
    table.row1 = 0, table.column1 = 0, table.row2 = 4, table.column2 = 2;
    table.column_names = {"Name", "列2", "A&B \"q\""};
    for (auto [family, style, name] : {std::tuple{TableStyleFamily::kLight, 21, "TableStyleLight21"},
                                       {TableStyleFamily::kMedium, 9, "TableStyleMedium9"},
                                       {TableStyleFamily::kDark, 1, "TableStyleDark1"}}) {
        table.family = family;
        table.style = style;
        EXPECT_EQ(table_part(table, 3), tabsmith::testing::edited(golden("table.xml"), {{"TableStyleLight21", name}}));
    }
}

TEST(AnnotationParts, HyperlinksKeepTargetsWhole) {
    Book book;
    Sheet &sheet = add(book, "Sheet1");
    put_text(book, sheet, 0, 0, "Go <there>");
    sheet.annotations.hyperlinks = {
        {HyperlinkKind::kExternal, 2, 1, "", 0, 0, "http://example.com/?a=1&b=\"2\""},
        {HyperlinkKind::kInValue, 0, 0, "Tom's", 3, 2, ""},
        {HyperlinkKind::kExternal, 3, 1, "", 0, 0, "mailto:someone@example.com"},
        {HyperlinkKind::kInBook, 5, 5, "Sheet2", 10, 1, ""},
    };
    std::string out;
    write_hyperlinks(book, sheet, 0, 0, out);
    EXPECT_EQ(out, R"(<hyperlinks><hyperlink ref="B3" r:id="rId1"/><hyperlink ref="A1" location="'Tom&apos;&apos;s'!B3" )"
                   R"(display="Go &lt;there&gt;"/><hyperlink ref="B4" r:id="rId2"/><hyperlink ref="F6" location="'Sheet2'!A10" )"
                   R"(display=""/></hyperlinks>)");
    write_hyperlink_relationships(sheet, 0, out = "");
    EXPECT_EQ(out, R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink" )"
                   R"(Target="http://example.com/?a=1&amp;b=&quot;2&quot;" TargetMode="External"/><Relationship Id="rId2" )"
                   R"(Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink" )"
                   R"(Target="mailto:someone@example.com" TargetMode="External"/>)");
    write_hyperlinks(book, Sheet{}, 0, 0, out = "");
    EXPECT_EQ(out, "");
}

// Comments parts per sheet, tables in the order they were made; part numbers a package already
// took are passed over.
TEST(AnnotationParts, PartNumbers) {
    Book book;
    Sheet &first = add(book, "First");
    add(book, "Plain");
    Sheet &third = add(book, "Third");
    first.annotations.comments = {{0, 0, "a"}, {0, 1, "b"}};
    third.annotations.comments = {{2, 2, "c"}};
    TableFormat made_first, made_second, made_third;
    made_first.order = 0, made_second.order = 1, made_third.order = 2;
    first.annotations.tables = {made_second};
    third.annotations.tables = {made_first, made_third};
    const auto numbers = [](const ObjectParts &parts, int sheet) {
        const SheetObjectParts &s = parts.sheets[static_cast<std::size_t>(sheet)];
        std::vector<int> out{s.comments, s.vml_drawing, s.first_comment_shape};
        out.insert(out.end(), s.tables.begin(), s.tables.end());
        return out;
    };
    ObjectParts parts = plan_object_parts(book);
    EXPECT_EQ(parts.comment_parts, 2);
    EXPECT_EQ(parts.table_parts, 3);
    EXPECT_EQ(numbers(parts, 0), (std::vector<int>{1, 1, 1025, 2}));
    EXPECT_EQ(numbers(parts, 1)[0], 0);
    EXPECT_EQ(numbers(parts, 2), (std::vector<int>{2, 2, 1075, 1, 3}));
    TakenPartNumbers taken;
    taken.comments = 4, taken.vml_drawing = 6, taken.comment_shapes = 3, taken.table = 7;
    parts = plan_object_parts(book, taken);
    EXPECT_EQ(numbers(parts, 0), (std::vector<int>{5, 7, 1100, 9}));
    EXPECT_EQ(numbers(parts, 2), (std::vector<int>{6, 8, 1150, 8, 10}));
}

// A saved book lists every annotation part in the sheet's relationships (the golden part),
// its worksheet and the content types.
TEST(AnnotationParts, SavedBookListsEveryPart) {
    Book book;
    Sheet &first = add(book, "First");
    Sheet &second = add(book, "Second");
    put_text(book, first, 0, 0, "Head");
    put_text(book, first, 1, 0, "x");
    first.annotations.hyperlinks = {{HyperlinkKind::kExternal, 0, 0, "", 0, 0, "http://a.example/"},
                                    {HyperlinkKind::kInBook, 1, 0, "Second", 1, 1, ""}};
    first.annotations.comments = {{0, 0, "note"}};
    TableFormat table;
    table.row2 = 1;
    table.column_names = {"Head"};
    first.annotations.tables = {table};
    second.annotations.comments = {{3, 3, "second"}};
    std::vector<std::pair<std::string, std::string>> list;
    ASSERT_EQ(build_package_parts(book, list), 0);
    std::map<std::string, std::string> parts(list.begin(), list.end());
    EXPECT_EQ(parts["xl/worksheets/_rels/sheet1.xml.rels"], golden("worksheet_rels.xml"));
    EXPECT_EQ(write_worksheet_rels(book, 0), golden("worksheet_rels.xml"));
    const std::string &sheet1 = parts["xl/worksheets/sheet1.xml"];
    EXPECT_TRUE(has(sheet1, R"(</sheetData><hyperlinks><hyperlink ref="A1" r:id="rId1"/><hyperlink ref="A2" location="'Second'!A1" )"
                            R"(display="x"/></hyperlinks><pageMargins )"));
    EXPECT_TRUE(has(sheet1, R"(<legacyDrawing r:id="rId4"/><tableParts count="1"><tablePart r:id="rId5" /></tableParts></worksheet>)"));
    EXPECT_TRUE(has(parts["xl/worksheets/sheet2.xml"], R"(<legacyDrawing r:id="rId3"/></worksheet>)"));
    EXPECT_TRUE(has(parts["xl/drawings/vmlDrawing2.vml"], R"(data="2"/>)"));
    EXPECT_TRUE(has(parts["xl/drawings/vmlDrawing2.vml"], R"(<v:shape id="_x0000_s1050" )"));
    EXPECT_TRUE(has(parts["xl/drawings/vmlDrawing2.vml"], R"(<x:Row>3</x:Row><x:Column>3</x:Column>)"));
    EXPECT_TRUE(has(parts["xl/comments2.xml"], R"(<comment ref="D4" authorId="0"><text><r><rPr><b/>)"));
    EXPECT_TRUE(has(parts["xl/comments2.xml"], R"(<t>MyName:</t>)"));
    EXPECT_EQ(parts.count("xl/tables/table1.xml"), 1u);
    const std::string &types = parts["[Content_Types].xml"];
    EXPECT_TRUE(has(types, R"(<Override PartName="/xl/comments1.xml" ContentType="application/vnd.openxmlformats-officedocument.)"
                           R"(spreadsheetml.comments+xml" /><Override PartName="/xl/comments2.xml")"));
    EXPECT_TRUE(has(types, R"(<Default Extension="vml" ContentType="application/vnd.openxmlformats-officedocument.vmlDrawing"/>)"
                           R"(<Override PartName="/xl/tables/table1.xml")"));
    EXPECT_FALSE(has(types, "table2.xml"));
}
