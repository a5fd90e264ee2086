// The drawing and annotation parts against their golden texts (pictures, chart frames, shapes;
// comments, their VML boxes, tables, hyperlinks, relationships); units and part numbers as facts.

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "api/book_init.h"
#include "common/fixtures.h"
#include "common/golden.h"
#include "model/book.h"
#include "support/results.h"
#include "xlsx_write/annotation_parts.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/drawing_part.h"
#include "xlsx_write/object_parts.h"
#include "xlsx_write/package_writer.h"
#include "xlsx_write/worksheet_part.h"

using namespace tabsmith;
using tabsmith::testing::golden, tabsmith::testing::has;

namespace {

const std::string kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::shared_ptr<PictureData> picture(int type, int width, int height) {
    auto data = std::make_shared<PictureData>();
    data->type = type;
    data->width = width;
    data->height = height;
    data->bytes = "bytes";
    return data;
}

class DrawingPart : public tabsmith::testing::SheetTest {
protected:
    DrawingObject &place(int sheet, int row, int column, std::shared_ptr<const PictureData> data,
                         DrawingKind kind = DrawingKind::kPicture) {
        DrawingObject &object = store().drawings.emplace_back();
        object.kind = kind;
        object.sheet = sheet;
        object.row = row;
        object.column = column;
        object.picture = std::move(data);
        return object;
    }
    std::string drawing(int sheet) {
        std::string out;
        EXPECT_EQ(drawing_part(store(), sheet, plan_object_parts(store()), out), kOk);
        return out;
    }
    std::string sheet_rels(int sheet) { return write_worksheet_rels(store(), sheet, plan_object_parts(store())); }
    void statements(const std::string &text) { ASSERT_EQ(TXLS_put_values(&book, text.c_str()), 0) << text << ": " << message(); }
};

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

// A one-inch picture at ratio one is 915090 units; three anchors of one picture share one media
// part while each r:embed and click link has its relationship. Shapes: a plain rectangle at its
// cell, a line with arrows to its end point, a callout with every setting and text.
TEST_F(DrawingPart, PicturesChartAndShapesAreTheGoldenPart) {
    const auto logo = picture(203, 96, 96);
    place(0, 0, 0, logo).link = "https://example.com/?a=1&b=2";
    place(0, 2, 0, logo);
    place(0, 4, 0, logo).link = "#'Two'!B3";
    statements("B2=1 C2=2 B3=3 C3=4 B2:E6.CHART=LINE C2.AUTOSHAPE=RECT B3.AUTOSHAPE=LINE B3.AUTOSHAPE.END.OFFSET.X=-50 "
               "B3.AUTOSHAPE.END.OFFSET.Y=20 B3.AUTOSHAPE.ARROW.START=OVAL B3.AUTOSHAPE.ARROW.END=TRIANGLE "
               "B3.AUTOSHAPE.ARROW.END.WIDTH=LARGE B3.AUTOSHAPE.ARROW.END.LENGTH=SMALL B3.AUTOSHAPE.TEXT=ignored "
               "B3.AUTOSHAPE.FILL.COLOR=RED");
    store().shape_settings = {};   // settings carry over to the next shape
    statements("A1.AUTOSHAPE=CALLOUT_RECT A1.AUTOSHAPE.OFFSET.X=2 A1.AUTOSHAPE.OFFSET.Y=1.5 A1.AUTOSHAPE.WIDTH=100 "
               "A1.AUTOSHAPE.HEIGHT=50 A1.AUTOSHAPE.ROTATION=RIGHT90 A1.AUTOSHAPE.ROTATION=FLIP_H A1.AUTOSHAPE.ADJUST.X=-20 "
               "A1.AUTOSHAPE.ADJUST.Y=62.5 A1.AUTOSHAPE.FILL.COLOR=#FFCC00 A1.AUTOSHAPE.FILL.TRANSPARENT=25 "
               "A1.AUTOSHAPE.LINE=DASH A1.AUTOSHAPE.LINE.COLOR=NAVY A1.AUTOSHAPE.LINE.WIDTH=1.5 A1.AUTOSHAPE.SHADOW=OUTER "
               "A1.AUTOSHAPE.EFFECT=2 A1.AUTOSHAPE.STYLE=STANDARD_STYLE4 A1.AUTOSHAPE.ACCENT=2 A1.AUTOSHAPE.VERSION=2016 "
               "A1.AUTOSHAPE.TEXT=\"a<b & c\" A1.AUTOSHAPE.FONT.NAME=Arial A1.AUTOSHAPE.FONT.SIZE=14 "
               "A1.AUTOSHAPE.FONT.STYLE=BOLD_UNDERLINE A1.AUTOSHAPE.FONT.COLOR=RED A1.AUTOSHAPE.ALIGN=TOP_RIGHT "
               "A1.AUTOSHAPE.ALIGN.TEXT=ROTATE270");
    // Then one shape for each setting given before the shape is placed.
    for (const char *settings : {"FILL=NONE", "LINE=NONE", "SHADOW=NONE", "SHADOW=INNER SHADOW.COLOR=BLUE SHADOW.DEGREE=180",
                                 "FILL.GRADATION.COLOR1=RED FILL.GRADATION.DEGREE=45", "FILL.GRADATION.KIND=RECT FILL.GRADATION.VARIATION=4",
                                 "FILL=SINGLE_COLOR ACCENT=3", "LINE.TRANSPARENT=50", "LINE=SYSDOT", "LINE=LGDASHDOT", "VERSION=2013",
                                 "STYLE=STANDARD_STYLE6", "TYPE=ROUND_RECT ADJUST.X=10 ADJUST.Y=20", "TYPE=PENTAGON ADJUST.X=10",
                                 "ROTATION=LEFT90 ROTATION=FLIP_V", "TEXT=\"one\ntwo\n\""}) {
        store().shape_settings = {};
        std::string text = settings;
        for (std::size_t at = 0; at != std::string::npos; at = text.find(' ', at + 1)) text.insert(at ? at + 1 : 0, "E5.AUTOSHAPE.");
        statements(text + " F6.AUTOSHAPE=\"\"");
    }
    EXPECT_EQ(drawing(0), tabsmith::testing::golden("drawing.xml"));
    EXPECT_EQ(drawing_rels_part(store(), 0, plan_object_parts(store())), tabsmith::testing::golden("drawing_rels.xml"));
    EXPECT_EQ(plan_object_parts(store()).media.size(), 1u);
}

// Offsets and ratios truncate toward zero; past every coordinate they stop at the largest one.
TEST_F(DrawingPart, PictureUnits) {
    const struct {
        double offset_x, offset_y, ratio;
        int width, height;
        std::string column_offset, row_offset, x, y, cx, cy;
    } cases[] = {
        {1.0, 0.0, 1.0, 96, 96, "189750", "0", "27749", "0", "915090", "915090"},
        {0.0, 2.5, 0.5, 200, 100, "0", "474375", "0", "69373", "953219", "476609"},
        {-1.0, -0.5, 2.0, 1, 3, "-189750", "-94875", "-27749", "-13874", "19064", "57193"},
        {1e12, 0.0, 1e12, 96, 0, "2147483647", "0", "314051425", "0", "2147483647", "0"},
    };
    for (const auto &c : cases) {
        store().drawings.clear();
        DrawingObject &object = place(0, 0, 0, picture(202, c.width, c.height));
        object.offset_x = c.offset_x;
        object.offset_y = c.offset_y;
        object.ratio = c.ratio;
        const std::string text = drawing(0);
        EXPECT_TRUE(has(text, "<xdr:colOff>" + c.column_offset + "</xdr:colOff><xdr:row>0</xdr:row><xdr:rowOff>" + c.row_offset +
                                  "</xdr:rowOff></xdr:from><xdr:ext cx=\"" + c.cx + "\" cy=\"" + c.cy + "\"/>"));
        EXPECT_TRUE(has(text, "<a:off x=\"" + c.x + "\" y=\"" + c.y + "\"/><a:ext cx=\"0\" cy=\"0\"/>"));
    }
}

// Media in object order, drawings in sheet order; a background is a sheet relationship before
// the drawing's and no drawing of its own. A picture of a type the package cannot hold stops
// the drawing with the object's place in its message.
TEST_F(DrawingPart, PartNumbersBackgroundsAndUnknownTypes) {
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Two"), 0);
    place(1, 0, 0, picture(202, 10, 10));
    place(0, 0, 0, picture(204, 10, 10));
    place(1, 5, 0, picture(206, 10, 10));
    ObjectParts parts = plan_object_parts(store());
    ASSERT_EQ(parts.media.size(), 3u);
    EXPECT_EQ(media_part_name(parts.media[0]) + " " + media_part_name(parts.media[1]) + " " + media_part_name(parts.media[2]),
              "xl/media/image1.jpeg xl/media/image2.gif xl/media/image3.emf");
    EXPECT_EQ(parts.drawing_parts, 2);
    EXPECT_EQ(parts.sheets[0].drawing, 1);
    EXPECT_EQ(parts.sheets[1].drawing, 2);
    EXPECT_TRUE(has(drawing_rels_part(store(), 1, parts), "relationships\"><Relationship Id=\"rId1\" Type=\"" + kRelType +
                                                               "image\" Target=\"../media/image1.jpeg\"/><Relationship Id=\"rId2\" Type=\"" +
                                                               kRelType + "image\" Target=\"../media/image3.emf\"/></Relationships>"));
    const std::string printer = "<Relationship Id=\"rId1\" Type=\"" + kRelType + "printerSettings\" Target=\"../printerSettings/printerSettings2.bin\"/>";
    EXPECT_TRUE(has(sheet_rels(1), printer + "<Relationship Id=\"rId2\" Type=\"" + kRelType + "drawing\" Target=\"../drawings/drawing2.xml\"/>"));
    store().drawings.clear();
    place(1, 0, 0, picture(203, 4, 4), DrawingKind::kBackground);
    EXPECT_EQ(plan_object_parts(store()).drawing_parts, 0);
    EXPECT_EQ(plan_object_parts(store()).sheets[1].background_media, 1);
    const std::string background = "<Relationship Id=\"rId2\" Type=\"" + kRelType + "image\" Target=\"../media/image1.png\" />";
    EXPECT_TRUE(has(sheet_rels(1), printer + background + "</Relationships>"));
    std::string sheet;
    ASSERT_EQ(tsx_write_worksheet(store(), 1, sheet), kOk);
    EXPECT_TRUE(has(sheet, "<picture r:id=\"rId2\" /></worksheet>"));
    EXPECT_FALSE(has(sheet, "<drawing "));
    place(1, 0, 0, picture(203, 4, 4));
    EXPECT_TRUE(has(sheet_rels(1), background + "<Relationship Id=\"rId3\" Type=\"" + kRelType + "drawing\" Target=\"../drawings/drawing1.xml\"/>"));
    ASSERT_EQ(tsx_write_worksheet(store(), 1, sheet = ""), kOk);
    EXPECT_TRUE(has(sheet, "<drawing r:id=\"rId3\"/><picture r:id=\"rId2\" /></worksheet>"));
    place(1, 0, 0, picture(102, 1, 1));
    std::string out;
    EXPECT_EQ(drawing_part(store(), 1, plan_object_parts(store()), out), kFail);
    EXPECT_EQ(store().err.code(), kFail);
    EXPECT_TRUE(has(store().err.message_utf8(), "book->draw[2].image->type=102"));
    PackageInventory inventory;
    for (const char *extension : {"png", "jpeg", "gif", "bmp", "tiff", "emf", "wmf", "png"}) inventory.add_image_extension(extension);
    EXPECT_EQ(inventory.image_extensions,
              R"(<Default Extension="png" ContentType="image/png"/><Default Extension="jpeg" ContentType="image/jpeg"/>)"
              R"(<Default Extension="gif" ContentType="image/gif"/><Default Extension="bmp" ContentType="image/bmp"/>)"
              R"(<Default Extension="tiff" ContentType="image/tiff"/><Default Extension="emf" ContentType="image/x-emf"/>)"
              R"(<Default Extension="wmf" ContentType="image/x-wmf"/>)");
}

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
