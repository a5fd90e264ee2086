// The splicing helpers of the update path: element places in awkward markup, attribute edits,
// text edits, schema-ordered insertion, relationship ids and the part a relationship tag leads to.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xlsx_write/xml_splice.h"

namespace tabsmith {
namespace {

using Strings = std::vector<std::string>;

// The local names and texts of the root's children.
Strings child_texts(std::string_view xml) {
    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!find_root_element(xml, root) || !find_child_elements(xml, root, children)) return {"<malformed>"};
    Strings out;
    for (const XmlElementPlace &child : children) out.push_back(std::string(child.local) + "=" + std::string(child.text(xml)));
    return out;
}

XmlElementPlace first_child(std::string_view xml, XmlElementPlace &root) {
    std::vector<XmlElementPlace> children;
    EXPECT_TRUE(find_root_element(xml, root) && find_child_elements(xml, root, children)) << xml;
    return children.empty() ? XmlElementPlace{} : children[0];
}

TEST(XmlSplice, ChildElementsThroughAwkwardMarkup) {
    for (const auto &[xml, children] : std::initializer_list<std::pair<const char *, Strings>>{
             {"<?xml version=\"1.0\"?>\r\n<a><b/><c x=\"1\">t</c></a>", {"b=<b/>", "c=<c x=\"1\">t</c>"}},
             // The same name nested, a '>' inside a value, a self-closing tag with blanks.
             {"<a><b><b>in</b></b><c v='1>2' /></a>", {"b=<b><b>in</b></b>", "c=<c v='1>2' />"}},
             // Comments, CDATA and processing instructions between and inside children; a doctype first.
             {"<!DOCTYPE a [<!ENTITY e \"x\">]><!-- <z/> --><a><!-- <y/> --><b><![CDATA[</b>]]></b><?pi <q/>?><c/></a>",
              {"b=<b><![CDATA[</b>]]></b>", "c=<c/>"}},
             // Prefixed names keep their prefix in the text and lose it in the local name.
             {"<x:a xmlns:x=\"u\"><x:sheets><x:sheet/></x:sheets></x:a>", {"sheets=<x:sheets><x:sheet/></x:sheets>"}},
             {"<a/>", {}}, {"<a>text only</a>", {}},
             // Malformed: a child that never closes, mismatched end tags, no root, an open value.
             {"<a><b></a>", {"<malformed>"}}, {"<a><b></c></a>", {"<malformed>"}}, {"just text", {"<malformed>"}},
             {"<a><b x=\"unterminated></b></a>", {"<malformed>"}}})
        EXPECT_EQ(child_texts(xml), children) << xml;
}

// Names compare as written: "id" is not "r:id", and a value holding a name is no attribute.
TEST(XmlSplice, AttributesOfOneTag) {
    const struct {
        const char *tag, *name, *set_to, *found, *with, *without;   // found: nullptr when absent
    } cases[] = {
        {"<calcPr calcId=\"145621\"/>", "fullCalcOnLoad", "1", nullptr, "<calcPr calcId=\"145621\" fullCalcOnLoad=\"1\"/>",
         "<calcPr calcId=\"145621\"/>"},
        {"<calcPr calcId=\"1\" fullCalcOnLoad=\"0\">", "fullCalcOnLoad", "1", "0", "<calcPr calcId=\"1\" fullCalcOnLoad=\"1\">",
         "<calcPr calcId=\"1\">"},
        {"<fonts count='3' x14ac:knownFonts=\"1\">", "count", "4", "3", "<fonts count=\"4\" x14ac:knownFonts=\"1\">",
         "<fonts x14ac:knownFonts=\"1\">"},
        {"<numFmts/>", "count", "2", nullptr, "<numFmts count=\"2\"/>", "<numFmts/>"},
        {"<pageSetup\n  paperSize=\"9\" r:id=\"rId1\" note=\"id=2\"/>", "id", "x", nullptr,
         "<pageSetup\n  paperSize=\"9\" r:id=\"rId1\" note=\"id=2\" id=\"x\"/>", "<pageSetup\n  paperSize=\"9\" r:id=\"rId1\" note=\"id=2\"/>"},
        {"<pageSetup\n  paperSize=\"9\" r:id=\"rId1\" note=\"id=2\"/>", "r:id", "rId7", "rId1",
         "<pageSetup\n  paperSize=\"9\" r:id=\"rId7\" note=\"id=2\"/>", "<pageSetup\n  paperSize=\"9\" note=\"id=2\"/>"},
    };
    for (const auto &c : cases) {
        std::string_view value = "(absent)";
        EXPECT_EQ(tag_attribute(c.tag, c.name, value), c.found != nullptr) << c.tag;
        EXPECT_EQ(value, c.found ? c.found : "(absent)") << c.tag;
        EXPECT_EQ(tag_with_attribute(c.tag, c.name, c.set_to), c.with) << c.tag;
        EXPECT_EQ(tag_without_attribute(c.tag, c.name), c.without) << c.tag;
    }
    const std::string uri = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    for (auto [tag, found, expected] : {std::tuple{"<workbook xmlns=\"main\" xmlns:r=\"" + uri + "\">", true, "r"},
                                        {"<workbook xmlns:rel='" + uri + "' xmlns=\"main\">", true, "rel"},
                                        {"<workbook xmlns=\"" + uri + "\">", true, ""}, {"<workbook xmlns=\"main\">", false, "unchanged"}}) {
        std::string prefix = "unchanged";
        EXPECT_EQ(declared_prefix(tag, uri, prefix), found) << tag;
        EXPECT_EQ(prefix, expected) << tag;
    }
    EXPECT_EQ(qualified_name("r", "id"), "r:id");
    EXPECT_EQ(qualified_name("", "id"), "id");
    EXPECT_EQ(without_attribute_everywhere("<customSheetViews><customSheetView guid=\"g\"><pageSetup r:id=\"rId2\"/></customSheetView>"
                                           "<!-- r:id=\"kept\" --><customSheetView r:id=\"rId3\" x=\"1\"/></customSheetViews>", "r:id"),
              "<customSheetViews><customSheetView guid=\"g\"><pageSetup/></customSheetView><!-- r:id=\"kept\" --><customSheetView x=\"1\"/>"
              "</customSheetViews>");
}

// Edits apply in position order; two insertions at one place keep the order they were given in;
// an edit reaching past the end is cut there.
TEST(XmlSplice, TextEditsAppendingAndSchemaOrderedInsertion) {
    for (const auto &[edits, result] : std::initializer_list<std::pair<std::vector<TextEdit>, const char *>>{
             {{}, "abcdef"}, {{{6, 6, "!"}, {0, 0, ">"}}, ">abcdef!"}, {{{2, 4, "XY"}, {0, 1, ""}}, "bXYef"},
             {{{3, 3, "1"}, {3, 3, "2"}, {1, 2, "-"}}, "a-c12def"}, {{{4, 99, "Z"}}, "abcdZ"}})
        EXPECT_EQ(apply_text_edits("abcdef", edits), result);
    for (auto [xml, start_tag, result] : {
             std::tuple{"<s><fonts count=\"1\"><font/></fonts></s>", "<fonts count=\"2\">", "<s><fonts count=\"2\"><font/><font b=\"1\"/></fonts></s>"},
             {"<s><fonts count=\"0\"/></s>", "<fonts count=\"1\"/>", "<s><fonts count=\"1\"><font b=\"1\"/></fonts></s>"},
             {"<s><x:fonts count=\"0\" /></s>", "<x:fonts count=\"1\" />", "<s><x:fonts count=\"1\"><font b=\"1\"/></x:fonts></s>"},
             {"<s><fonts></fonts></s>", "<fonts count=\"1\">", "<s><fonts count=\"1\"><font b=\"1\"/></fonts></s>"}}) {
        XmlElementPlace root;
        std::vector<TextEdit> edits;
        append_to_element(first_child(xml, root), start_tag, "<font b=\"1\"/>", edits);
        EXPECT_EQ(apply_text_edits(xml, edits), result) << xml;
    }
    // A child the order does not know neither moves nor stops the search.
    constexpr std::string_view order[] = {"numFmts", "fonts", "fills", "borders", "cellXfs", "extLst"};
    for (auto [xml, name, rest] : {std::tuple{"<s><fonts/><fills/></s>", "numFmts", "<fonts/><fills/></s>"},
                                   {"<s><numFmts/><fills/></s>", "fonts", "<fills/></s>"}, {"<s><fonts/><fills/></s>", "cellXfs", "</s>"},
                                   {"<s><fonts/><mc:AlternateContent/><extLst/></s>", "cellXfs", "<extLst/></s>"}}) {
        XmlElementPlace root;
        std::vector<XmlElementPlace> children;
        ASSERT_TRUE(find_root_element(xml, root) && find_child_elements(xml, root, children));
        EXPECT_EQ(std::string_view(xml).substr(ordered_insert_position(root, children, order, name)), rest) << xml;
    }
}

// Ids of another form, and attributes merely ending in "Id", do not count; targets resolve from
// the source part, and none leads out of the package or outside it.
TEST(XmlSplice, RelationshipNumbersAndTargets) {
    for (auto [xml, highest] : {std::pair{"<Relationships/>", 0},
                                {"<Relationships><Relationship Id=\"rId3\" Target=\"a\"/><Relationship Id=\"rId12\"/>"
                                 "<Relationship Id=\"rId7\"/></Relationships>", 12},
                                {"<Relationships><Relationship Id=\"R1a2b\"/><Relationship TargetId=\"rId40\" Id=\"rId2\"/>"
                                 "<Relationship Id=\"rId9x\"/></Relationships>", 2}})
        EXPECT_EQ(highest_relationship_number(xml), highest) << xml;
    for (auto [tag, part] : {std::pair{"<Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/>", "xl/worksheets/sheet1.xml"},
                             {"<Relationship Target='a&amp;b&#x2E;xml'/>", "xl/a&b.xml"}, {"<Relationship Target=\"../../x.xml\"/>", ""},
                             {"<Relationship Target=\"http://example.com/\" TargetMode=\"External\"/>", ""}, {"<Relationship Id=\"rId1\"/>", ""}})
        EXPECT_EQ(relationship_tag_target(tag, "xl/workbook.xml"), part) << tag;
}

}  // namespace
}  // namespace tabsmith
