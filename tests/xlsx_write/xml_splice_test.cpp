// The splicing helpers of the update path: element places in awkward markup, attribute edits,
// text edits, schema-ordered insertion, relationship ids and the part a relationship tag leads to.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xlsx_write/xml_splice.h"

namespace tabsmith {
namespace {

// The local names and texts of the root's children.
std::vector<std::string> child_texts(std::string_view xml) {
    XmlElementPlace root;
    std::vector<XmlElementPlace> children;
    if (!find_root_element(xml, root) || !find_child_elements(xml, root, children)) return {"<malformed>"};
    std::vector<std::string> out;
    for (const XmlElementPlace &child : children)
        out.push_back(std::string(child.local) + "=" + std::string(child.text(xml)));
    return out;
}

TEST(XmlSplice, ChildElementsThroughAwkwardMarkup) {
    struct Case {
        const char *xml;
        std::vector<std::string> children;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\"?>\r\n<a><b/><c x=\"1\">t</c></a>", {"b=<b/>", "c=<c x=\"1\">t</c>"}},
        // The same name nested, a '>' inside a value, a self-closing tag with blanks.
        {"<a><b><b>in</b></b><c v='1>2' /></a>", {"b=<b><b>in</b></b>", "c=<c v='1>2' />"}},
        // Comments, CDATA and processing instructions between and inside children; a doctype first.
        {"<!DOCTYPE a [<!ENTITY e \"x\">]><!-- <z/> --><a><!-- <y/> --><b><![CDATA[</b>]]></b><?pi <q/>?><c/></a>",
         {"b=<b><![CDATA[</b>]]></b>", "c=<c/>"}},
        // Prefixed names keep their prefix in the text and lose it in the local name.
        {"<x:a xmlns:x=\"u\"><x:sheets><x:sheet/></x:sheets></x:a>", {"sheets=<x:sheets><x:sheet/></x:sheets>"}},
        {"<a/>", {}},
        {"<a>text only</a>", {}},
        // Malformed: a child that never closes, mismatched end tags, no root at all.
        {"<a><b></a>", {"<malformed>"}},
        {"<a><b></c></a>", {"<malformed>"}},
        {"just text", {"<malformed>"}},
        {"<a><b x=\"unterminated></b></a>", {"<malformed>"}},
    };
    for (const Case &c : cases) EXPECT_EQ(child_texts(c.xml), c.children) << c.xml;
}

TEST(XmlSplice, AttributesOfOneTag) {
    struct Case {
        const char *tag, *name, *set_to;
        const char *found;          // nullptr: absent
        const char *with, *without;
    };
    const Case cases[] = {
        {"<calcPr calcId=\"145621\"/>", "fullCalcOnLoad", "1", nullptr,
         "<calcPr calcId=\"145621\" fullCalcOnLoad=\"1\"/>", "<calcPr calcId=\"145621\"/>"},
        {"<calcPr calcId=\"1\" fullCalcOnLoad=\"0\">", "fullCalcOnLoad", "1", "0",
         "<calcPr calcId=\"1\" fullCalcOnLoad=\"1\">", "<calcPr calcId=\"1\">"},
        {"<fonts count='3' x14ac:knownFonts=\"1\">", "count", "4", "3",
         "<fonts count=\"4\" x14ac:knownFonts=\"1\">", "<fonts x14ac:knownFonts=\"1\">"},
        {"<numFmts/>", "count", "2", nullptr, "<numFmts count=\"2\"/>", "<numFmts/>"},
        // Names compare as written: "id" is not "r:id", and a value holding a name is no attribute.
        {"<pageSetup\n  paperSize=\"9\" r:id=\"rId1\" note=\"id=2\"/>", "id", "x", nullptr,
         "<pageSetup\n  paperSize=\"9\" r:id=\"rId1\" note=\"id=2\" id=\"x\"/>",
         "<pageSetup\n  paperSize=\"9\" r:id=\"rId1\" note=\"id=2\"/>"},
        {"<pageSetup\n  paperSize=\"9\" r:id=\"rId1\" note=\"id=2\"/>", "r:id", "rId7", "rId1",
         "<pageSetup\n  paperSize=\"9\" r:id=\"rId7\" note=\"id=2\"/>", "<pageSetup\n  paperSize=\"9\" note=\"id=2\"/>"},
    };
    for (const Case &c : cases) {
        std::string_view value;
        const bool found = tag_attribute(c.tag, c.name, value);
        EXPECT_EQ(found, c.found != nullptr) << c.tag;
        if (c.found) {
            EXPECT_EQ(value, c.found) << c.tag;
        }
        EXPECT_EQ(tag_with_attribute(c.tag, c.name, c.set_to), c.with) << c.tag;
        EXPECT_EQ(tag_without_attribute(c.tag, c.name), c.without) << c.tag;
    }
}

TEST(XmlSplice, DeclaredPrefixes) {
    const std::string uri = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    struct Case {
        std::string tag;
        bool found;
        const char *prefix;
    };
    const Case cases[] = {
        {"<workbook xmlns=\"main\" xmlns:r=\"" + uri + "\">", true, "r"},
        {"<workbook xmlns:rel='" + uri + "' xmlns=\"main\">", true, "rel"},
        {"<workbook xmlns=\"" + uri + "\">", true, ""},
        {"<workbook xmlns=\"main\">", false, ""},
    };
    for (const Case &c : cases) {
        std::string prefix = "unchanged";
        EXPECT_EQ(declared_prefix(c.tag, uri, prefix), c.found) << c.tag;
        if (c.found) {
            EXPECT_EQ(prefix, c.prefix) << c.tag;
        }
    }
    EXPECT_EQ(qualified_name("r", "id"), "r:id");
    EXPECT_EQ(qualified_name("", "id"), "id");
}

TEST(XmlSplice, TextEditsApplyInPositionOrder) {
    struct Case {
        std::vector<TextEdit> edits;
        const char *result;
    };
    const Case cases[] = {
        {{}, "abcdef"},
        {{{6, 6, "!"}, {0, 0, ">"}}, ">abcdef!"},
        {{{2, 4, "XY"}, {0, 1, ""}}, "bXYef"},
        // Two insertions at one place keep the order they were given in.
        {{{3, 3, "1"}, {3, 3, "2"}, {1, 2, "-"}}, "a-c12def"},
        // An edit reaching past the end is cut at the end.
        {{{4, 99, "Z"}}, "abcdZ"},
    };
    for (const Case &c : cases) EXPECT_EQ(apply_text_edits("abcdef", c.edits), c.result);
}

TEST(XmlSplice, AppendingToAnElementOfEitherForm) {
    struct Case {
        const char *xml, *start_tag, *result;
    };
    const Case cases[] = {
        {"<s><fonts count=\"1\"><font/></fonts></s>", "<fonts count=\"2\">",
         "<s><fonts count=\"2\"><font/><font b=\"1\"/></fonts></s>"},
        {"<s><fonts count=\"0\"/></s>", "<fonts count=\"1\"/>", "<s><fonts count=\"1\"><font b=\"1\"/></fonts></s>"},
        {"<s><x:fonts count=\"0\" /></s>", "<x:fonts count=\"1\" />",
         "<s><x:fonts count=\"1\"><font b=\"1\"/></x:fonts></s>"},
        {"<s><fonts></fonts></s>", "<fonts count=\"1\">", "<s><fonts count=\"1\"><font b=\"1\"/></fonts></s>"},
    };
    for (const Case &c : cases) {
        XmlElementPlace root;
        std::vector<XmlElementPlace> children;
        ASSERT_TRUE(find_root_element(c.xml, root));
        ASSERT_TRUE(find_child_elements(c.xml, root, children));
        std::vector<TextEdit> edits;
        append_to_element(children.at(0), c.start_tag, "<font b=\"1\"/>", edits);
        EXPECT_EQ(apply_text_edits(c.xml, edits), c.result) << c.xml;
    }
}

TEST(XmlSplice, InsertionFollowsTheSchemaOrder) {
    constexpr std::string_view order[] = {"numFmts", "fonts", "fills", "borders", "cellXfs", "extLst"};
    struct Case {
        const char *xml, *name;
        const char *before;   // the text the insertion point is at
    };
    const Case cases[] = {
        {"<s><fonts/><fills/></s>", "numFmts", "<fonts/><fills/></s>"},
        {"<s><numFmts/><fills/></s>", "fonts", "<fills/></s>"},
        {"<s><fonts/><fills/></s>", "cellXfs", "</s>"},
        // A child the order does not know neither moves nor stops the search.
        {"<s><fonts/><mc:AlternateContent/><extLst/></s>", "cellXfs", "<extLst/></s>"},
    };
    for (const Case &c : cases) {
        XmlElementPlace root;
        std::vector<XmlElementPlace> children;
        ASSERT_TRUE(find_root_element(c.xml, root));
        ASSERT_TRUE(find_child_elements(c.xml, root, children));
        std::string_view xml = c.xml;
        EXPECT_EQ(xml.substr(ordered_insert_position(root, children, order, c.name)), c.before) << c.xml;
    }
}

TEST(XmlSplice, AttributeRemovedFromEveryTag) {
    EXPECT_EQ(without_attribute_everywhere(
                  "<customSheetViews><customSheetView guid=\"g\"><pageSetup r:id=\"rId2\"/></customSheetView>"
                  "<!-- r:id=\"kept\" --><customSheetView r:id=\"rId3\" x=\"1\"/></customSheetViews>",
                  "r:id"),
              "<customSheetViews><customSheetView guid=\"g\"><pageSetup/></customSheetView>"
              "<!-- r:id=\"kept\" --><customSheetView x=\"1\"/></customSheetViews>");
}

TEST(XmlSplice, HighestRelationshipNumber) {
    struct Case {
        const char *xml;
        int highest;
    };
    const Case cases[] = {
        {"<Relationships/>", 0},
        {"<Relationships><Relationship Id=\"rId3\" Target=\"a\"/><Relationship Id=\"rId12\"/>"
         "<Relationship Id=\"rId7\"/></Relationships>",
         12},
        // Ids of another form, and attributes merely ending in "Id", do not count.
        {"<Relationships><Relationship Id=\"R1a2b\"/><Relationship TargetId=\"rId40\" Id=\"rId2\"/>"
         "<Relationship Id=\"rId9x\"/></Relationships>",
         2},
    };
    for (const Case &c : cases) EXPECT_EQ(highest_relationship_number(c.xml), c.highest) << c.xml;
}

TEST(XmlSplice, RelationshipTagTargets) {
    struct Case {
        const char *tag, *part;
    };
    const Case cases[] = {
        {"<Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/>", "xl/worksheets/sheet1.xml"},
        {"<Relationship Target='a&amp;b&#x2E;xml'/>", "xl/a&b.xml"},
        {"<Relationship Target=\"../../x.xml\"/>", ""},
        {"<Relationship Target=\"http://example.com/\" TargetMode=\"External\"/>", ""},
        {"<Relationship Id=\"rId1\"/>", ""},
    };
    for (const Case &c : cases) EXPECT_EQ(relationship_tag_target(c.tag, "xl/workbook.xml"), c.part) << c.tag;
}

}  // namespace
}  // namespace tabsmith
