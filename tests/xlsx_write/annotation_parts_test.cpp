// Golden texts of the annotation parts (comments, their VML boxes, tables), the hyperlinks
// element with its relationships, and the numbers a save gives them across sheets.

#include <gtest/gtest.h>

#include <map>

#include "model/book.h"
#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/object_parts.h"
#include "xlsx_write/package_writer.h"
#include "xlsx_write/worksheet_part.h"

using namespace tabsmith;

namespace {

const std::string kRelsHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
const std::string kRelType = "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string comment_element(const std::string &cell, const std::string &author, const std::string &text) {
    return "<comment ref=\"" + cell + "\" authorId=\"0\"><text><r><rPr><b/><sz val=\"14\"/><color indexed=\"81\"/>"
           "<rFont val=\"ＭＳ Ｐゴシック\"/><family val=\"3\"/><charset val=\"128\"/></rPr><t>" + author +
           ":</t></r><r><rPr><sz val=\"11\"/><color indexed=\"81\"/><rFont val=\"ＭＳ Ｐゴシック\"/><family val=\"3\"/>"
           "<charset val=\"128\"/></rPr><t xml:space=\"preserve\">\n" + text + "</t></r></text></comment>";
}

std::string note_shape(int id, int z, int row, int column) {
    return "<v:shape id=\"_x0000_s" + std::to_string(id) +
           "\" type=\"#_x0000_t202\" style=\"position:absolute;margin-left:173.25pt;margin-top:19.5pt;width:156pt;"
           "height:90.75pt;z-index:" + std::to_string(z) +
           ";visibility:hidden\" fillcolor=\"#ffffe1\" o:insetmode=\"auto\"><v:fill color2=\"#ffffe1\"/>"
           "<v:shadow on=\"t\" color=\"black\" obscured=\"t\"/><v:path o:connecttype=\"none\"/>"
           "<v:textbox style=\"mso-direction-alt:auto\"><div style=\"text-align:left\"></div></v:textbox>"
           "<x:ClientData ObjectType=\"Note\"><x:MoveWithCells/><x:SizeWithCells/>"
           "<x:Anchor>3, 15, 1, 8, 6, 7, 8, 3</x:Anchor><x:AutoFill>False</x:AutoFill><x:Row>" + std::to_string(row) +
           "</x:Row><x:Column>" + std::to_string(column) + "</x:Column></x:ClientData></v:shape>";
}

std::string vml(int number, const std::string &shapes) {
    return "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
           "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><o:shapelayout v:ext=\"edit\"><o:idmap v:ext=\"edit\" "
           "data=\"" + std::to_string(number) + "\"/></o:shapelayout><v:shapetype id=\"_x0000_t202\" "
           "coordsize=\"21600,21600\" o:spt=\"202\" path=\"m,l,21600r21600,l21600,xe\"><v:stroke joinstyle=\"miter\"/>"
           "<v:path gradientshapeok=\"t\" o:connecttype=\"rect\"/></v:shapetype>" + shapes + "</xml>";
}

Sheet &add(Book &book, const char *name) {
    const int index = add_sheet(book, name);
    return *book.sheets[static_cast<std::size_t>(index)];
}

void put_text(Book &book, Sheet &sheet, int row, int column, std::string_view text) {
    ASSERT_EQ(ensure_cell(book, sheet, row, column), 0);
    Cell &cell = sheet.rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    cell.kind = kCellString;
    cell.sst = static_cast<std::uint32_t>(put_shared_string(book, text));
    sheet.rows_used = std::max(sheet.rows_used, row + 1);
    Row &r = sheet.rows[static_cast<std::size_t>(row)];
    r.used = std::max<std::uint16_t>(r.used, static_cast<std::uint16_t>(column + 1));
}

std::map<std::string, std::string> saved_parts(const Book &book) {
    std::vector<std::pair<std::string, std::string>> list;
    EXPECT_EQ(build_package_parts(book, list), 0);
    return {list.begin(), list.end()};
}

}  // namespace

TEST(CommentsPart, EachCommentIsTheCreatorInBoldAndTheTextEscaped) {
    Book book;
    book.author = "R&D <team>";
    Sheet &sheet = add(book, "Sheet1");
    sheet.annotations.comments.push_back({1, 1, "check \"this\" & <that>\r\nline two"});
    sheet.annotations.comments.push_back({0, 27, "二つ目"});
    sheet.annotations.comments.back().colour_kind = kCommentColourKindRed;
    sheet.annotations.comments.back().points = 9;
    std::string red = comment_element("AB1", "R&amp;D &lt;team&gt;", "二つ目");
    red.replace(red.find("<sz val=\"11\"/><color indexed=\"81\"/>"), 35, "<sz val=\"9\"/><color indexed=\"10\"/>");
    EXPECT_EQ(comments_part(book, sheet),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?><comments "
              "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors><author>R&amp;D &lt;team&gt;"
              "</author></authors><commentList>" +
                  comment_element("B2", "R&amp;D &lt;team&gt;",
                                  "check &quot;this&quot; &amp; &lt;that&gt;\r\nline two") +
                  red + "</commentList></comments>");
}

TEST(VmlDrawingPart, OneHiddenNoteBoxPerCommentWithShapeIdsInStepsOf25) {
    Sheet sheet;
    sheet.annotations.comments = {{1, 1, "a"}, {1, 2, "b"}, {4, 0, "c"}};
    EXPECT_EQ(vml_drawing_part(sheet, 2, 1100),
              vml(2, note_shape(1100, 1, 1, 1) + note_shape(1125, 2, 1, 2) + note_shape(1150, 3, 4, 0)));
}

TEST(TablePart, RangeColumnsAndStyleOfEachFamily) {
    TableFormat table;
    table.row1 = 0, table.column1 = 0, table.row2 = 4, table.column2 = 2;
    table.column_names = {"Name", "列2", "A&B \"q\""};
    const std::string columns =
        "<tableColumns count=\"3\"><tableColumn id=\"1\" name=\"Name\" /><tableColumn id=\"2\" name=\"列2\" />"
        "<tableColumn id=\"3\" name=\"A&amp;B &quot;q&quot;\" /></tableColumns>";
    struct Case {
        TableStyleFamily family;
        int style;
        const char *name;
    } cases[] = {{TableStyleFamily::kLight, 21, "TableStyleLight21"},
                 {TableStyleFamily::kMedium, 9, "TableStyleMedium9"},
                 {TableStyleFamily::kDark, 1, "TableStyleDark1"}};
    for (const Case &c : cases) {
        table.family = c.family;
        table.style = c.style;
        EXPECT_EQ(table_part(table, 3),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?><table "
                  "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" id=\"3\" name=\"テーブル3\" "
                  "displayName=\"テーブル3\" ref=\"A1:C5\" totalsRowShown=\"0\"><autoFilter ref=\"A1:C5\" />" +
                      columns + "<tableStyleInfo name=\"" + c.name +
                      "\" showFirstColumn=\"0\" showLastColumn=\"0\" showRowStripes=\"1\" showColumnStripes=\"0\" "
                      "/></table>");
    }
}

TEST(Hyperlinks, ElementAndRelationshipsKeepTargetsWhole) {
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
    EXPECT_EQ(out,
              "<hyperlinks><hyperlink ref=\"B3\" r:id=\"rId1\"/>"
              "<hyperlink ref=\"A1\" location=\"'Tom&apos;&apos;s'!B3\" display=\"Go &lt;there&gt;\"/>"
              "<hyperlink ref=\"B4\" r:id=\"rId2\"/>"
              "<hyperlink ref=\"F6\" location=\"'Sheet2'!A10\" display=\"\"/></hyperlinks>");
    out.clear();
    write_hyperlink_relationships(sheet, 0, out);
    EXPECT_EQ(out, "<Relationship Id=\"rId1\" " + kRelType +
                       "hyperlink\" Target=\"http://example.com/?a=1&amp;b=&quot;2&quot;\" TargetMode=\"External\"/>"
                       "<Relationship Id=\"rId2\" " + kRelType +
                       "hyperlink\" Target=\"mailto:someone@example.com\" TargetMode=\"External\"/>");
    out.clear();
    write_hyperlinks(book, Sheet{}, 0, 0, out);
    EXPECT_EQ(out, "");
}

TEST(AnnotationNumbers, CommentsPerSheetTablesInMakingOrderAndTakenNumbersRespected) {
    Book book;
    Sheet &first = add(book, "First");
    add(book, "Plain");
    Sheet &third = add(book, "Third");
    first.annotations.comments = {{0, 0, "a"}, {0, 1, "b"}};
    third.annotations.comments = {{2, 2, "c"}};
    TableFormat made_second, made_first, made_third;
    made_first.order = 0;
    made_second.order = 1;
    made_third.order = 2;
    first.annotations.tables = {made_second};
    third.annotations.tables = {made_first, made_third};

    ObjectParts parts = plan_object_parts(book);
    EXPECT_EQ(parts.comment_parts, 2);
    EXPECT_EQ(parts.table_parts, 3);
    EXPECT_EQ(parts.sheets[0].comments, 1);
    EXPECT_EQ(parts.sheets[0].vml_drawing, 1);
    EXPECT_EQ(parts.sheets[0].first_comment_shape, 1025);
    EXPECT_EQ(parts.sheets[1].comments, 0);
    EXPECT_EQ(parts.sheets[2].comments, 2);
    EXPECT_EQ(parts.sheets[2].first_comment_shape, 1075);
    EXPECT_EQ(parts.sheets[0].tables, std::vector<int>({2}));
    EXPECT_EQ(parts.sheets[2].tables, std::vector<int>({1, 3}));

    TakenPartNumbers taken;
    taken.comments = 4;
    taken.vml_drawing = 6;
    taken.comment_shapes = 3;
    taken.table = 7;
    parts = plan_object_parts(book, taken);
    EXPECT_EQ(parts.sheets[0].comments, 5);
    EXPECT_EQ(parts.sheets[0].vml_drawing, 7);
    EXPECT_EQ(parts.sheets[0].first_comment_shape, 1100);
    EXPECT_EQ(parts.sheets[2].comments, 6);
    EXPECT_EQ(parts.sheets[2].vml_drawing, 8);
    EXPECT_EQ(parts.sheets[2].tables, std::vector<int>({8, 10}));
}

TEST(AnnotationNumbers, SavedBookListsEveryPartInRelationshipsWorksheetAndContentTypes) {
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

    std::map<std::string, std::string> parts = saved_parts(book);
    EXPECT_EQ(parts["xl/worksheets/_rels/sheet1.xml.rels"],
              kRelsHead + "<Relationship Id=\"rId1\" " + kRelType +
                  "hyperlink\" Target=\"http://a.example/\" TargetMode=\"External\"/>"
                  "<Relationship Id=\"rId2\" " + kRelType +
                  "printerSettings\" Target=\"../printerSettings/printerSettings1.bin\"/>"
                  "<Relationship Id=\"rId3\" " + kRelType + "comments\" Target=\"../comments1.xml\" />"
                  "<Relationship Id=\"rId4\" " + kRelType + "vmlDrawing\" Target=\"../drawings/vmlDrawing1.vml\"/>"
                  "<Relationship Id=\"rId5\" " + kRelType + "table\" Target=\"../tables/table1.xml\"/>"
                  "</Relationships>");
    const std::string &sheet1 = parts["xl/worksheets/sheet1.xml"];
    EXPECT_NE(sheet1.find("</sheetData><hyperlinks><hyperlink ref=\"A1\" r:id=\"rId1\"/><hyperlink ref=\"A2\" "
                          "location=\"'Second'!A1\" display=\"x\"/></hyperlinks><pageMargins "),
              std::string::npos);
    EXPECT_NE(sheet1.find("<legacyDrawing r:id=\"rId4\"/><tableParts count=\"1\"><tablePart r:id=\"rId5\" />"
                          "</tableParts></worksheet>"),
              std::string::npos);
    EXPECT_NE(parts["xl/worksheets/sheet2.xml"].find("<legacyDrawing r:id=\"rId3\"/></worksheet>"), std::string::npos);
    EXPECT_EQ(parts["xl/drawings/vmlDrawing2.vml"], vml(2, note_shape(1050, 1, 3, 3)));
    EXPECT_NE(parts["xl/comments2.xml"].find(comment_element("D4", "MyName", "second")), std::string::npos);
    EXPECT_EQ(parts.count("xl/tables/table1.xml"), 1u);
    const std::string &types = parts["[Content_Types].xml"];
    EXPECT_NE(types.find("<Override PartName=\"/xl/comments1.xml\" ContentType=\"application/vnd.openxmlformats-"
                         "officedocument.spreadsheetml.comments+xml\" /><Override PartName=\"/xl/comments2.xml\""),
              std::string::npos);
    EXPECT_NE(types.find("<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument."
                         "vmlDrawing\"/><Override PartName=\"/xl/tables/table1.xml\""),
              std::string::npos);
    EXPECT_EQ(types.find("table2.xml"), std::string::npos);
}
