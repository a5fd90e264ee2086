// Names inside a package: the entry names a package may hold, and the parts relationship
// targets lead to (and the targets a writer gives parts, which must lead back).

#include <gtest/gtest.h>

#include <string>

#include "support/package_path.h"

namespace tabsmith {
namespace {

TEST(PackagePath, EntryNames) {
    struct Case {
        std::string name;
        bool safe;
    };
    const Case cases[] = {
        {"xl/workbook.xml", true},
        {"[Content_Types].xml", true},
        {"xl/worksheets/_rels/sheet1.xml.rels", true},
        {"xl/media/", true},
        {"a..b/..c/c..", true},
        {"./x", true},
        {"\xE3\x82\xB7\xE3\x83\xBC\xE3\x83\x88.xml", true},
        {"1:2.xml", true},
        {"xl/C:/x", true},
        {std::string(0xFFFF, 'n'), true},
        {std::string(0x10000, 'n'), false},
        {"", false},
        {"/xl/workbook.xml", false},
        {"\\xl\\workbook.xml", false},
        {"xl\\workbook.xml", false},
        {"C:", false},
        {"c:/windows/x.xml", false},
        {"Z:x", false},
        {"..", false},
        {"../x", false},
        {"xl/../../x", false},
        {"xl/..", false},
        {"xl/../", false},
        {std::string("xl/a\0b.xml", 10), false},
        {"xl/a\nb.xml", false},
        {"xl/a\tb.xml", false},
        {"xl/\x1f", false},
        {"xl/\x7f", false},
    };
    for (const Case &c : cases) EXPECT_EQ(zip_entry_name_safe(c.name), c.safe) << '"' << c.name << '"';
}

TEST(PackagePath, RelationshipTargets) {
    struct Case {
        const char *source, *target, *part;
    };
    const Case cases[] = {
        {"xl/workbook.xml", "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"", "xl/workbook.xml", "xl/workbook.xml"},
        {"workbook.xml", "sheet.xml", "sheet.xml"},
        {"xl/workbook.xml", "/xl/calcChain.xml", "xl/calcChain.xml"},
        {"xl/workbook.xml", "\\xl\\styles.xml", "xl/styles.xml"},
        {"xl/workbook.xml", "worksheets\\sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"xl/workbook.xml", "../customXml/item1.xml", "customXml/item1.xml"},
        {"xl/worksheets/sheet1.xml", "./../drawings/./drawing1.xml", "xl/drawings/drawing1.xml"},
        {"xl/workbook.xml", "worksheets//sheet1.xml", "xl/worksheets/sheet1.xml"},
        {"xl/workbook.xml", "a&b.xml", "xl/a&b.xml"},
        {"xl/workbook.xml", "sheet%201.xml", "xl/sheet 1.xml"},
        {"xl/workbook.xml", "100%.xml", "xl/100%.xml"},
        {"xl/workbook.xml", "a%2Fb.xml", "xl/a/b.xml"},
        {"xl/workbook.xml", "%2E%2E/x.xml", "x.xml"},
        // Nothing leads above the root, through a scheme, or to a name no package may hold.
        {"xl/workbook.xml", "../../x.xml", ""},
        {"xl/workbook.xml", "..\\..\\x.xml", ""},
        {"", "../x.xml", ""},
        {"xl/workbook.xml", "/../x.xml", ""},
        {"xl/workbook.xml", "http://example.com/x.xml", ""},
        {"xl/workbook.xml", "C:/x.xml", ""},
        {"xl/workbook.xml", "a%00b.xml", ""},
        {"xl/workbook.xml", "a\nb.xml", ""},
        {"xl/workbook.xml", "", ""},
        {"xl/workbook.xml", "/", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(resolve_part_target(c.source, c.target), c.part) << c.source << " -> " << c.target;
}

TEST(PackagePath, TargetsGivenToPartsLeadBack) {
    struct Case {
        const char *source, *part, *target;
    };
    const Case cases[] = {
        {"xl/workbook.xml", "xl/worksheets/sheet3.xml", "worksheets/sheet3.xml"},
        {"xl/workbook.xml", "XL/sharedStrings.xml", "sharedStrings.xml"},
        {"xl/workbook.xml", "xlsx/sheet.xml", "/xlsx/sheet.xml"},
        {"xl/workbook.xml", "xl/100%.xml", "100%25.xml"},
        {"workbook.xml", "sheet.xml", "sheet.xml"},
        {"", "xl/workbook.xml", "xl/workbook.xml"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(part_target(c.source, c.part), c.target) << c.part;
        EXPECT_TRUE(same_part_name(resolve_part_target(c.source, c.target), c.part)) << c.part;
    }
}

TEST(PackagePath, RelationshipPartNames) {
    struct Case {
        const char *part, *rels;
    };
    const Case cases[] = {
        {"xl/workbook.xml", "xl/_rels/workbook.xml.rels"},
        {"xl/worksheets/sheet1.xml", "xl/worksheets/_rels/sheet1.xml.rels"},
        {"workbook.xml", "_rels/workbook.xml.rels"},
        {"", "_rels/.rels"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(relationships_part_name(c.part), c.rels);
        std::string source = "?";
        EXPECT_TRUE(relationships_source(c.rels, source) && source == c.part) << c.rels;
    }
    std::string source;
    for (const char *other : {"xl/workbook.xml", "xl/_rels/a/b.rels", "xl/x_rels/a.rels", "_rels/a.xml"})
        EXPECT_FALSE(relationships_source(other, source)) << other;
}

}  // namespace
}  // namespace tabsmith
