// Names inside a package: the entry names a package may hold, and the parts relationship
// targets lead to (and the targets a writer gives parts, which must lead back).

#include <gtest/gtest.h>

#include "support/package_path.h"

using namespace tabsmith;

TEST(PackagePath, EntryNames) {
    const std::pair<std::string, bool> cases[] = {
        {"xl/workbook.xml", true}, {"[Content_Types].xml", true}, {"xl/worksheets/_rels/sheet1.xml.rels", true},
        {"xl/media/", true}, {"a..b/..c/c..", true}, {"./x", true}, {"\xE3\x82\xB7\xE3\x83\xBC\xE3\x83\x88.xml", true},
        {"1:2.xml", true}, {"xl/C:/x", true}, {std::string(0xFFFF, 'n'), true}, {std::string(0x10000, 'n'), false},
        {"", false}, {"/xl/workbook.xml", false}, {"\\xl\\workbook.xml", false}, {"xl\\workbook.xml", false},
        {"C:", false}, {"c:/windows/x.xml", false}, {"Z:x", false}, {"..", false}, {"../x", false},
        {"xl/../../x", false}, {"xl/..", false}, {"xl/../", false}, {std::string("xl/a\0b.xml", 10), false},
        {"xl/a\nb.xml", false}, {"xl/a\tb.xml", false}, {"xl/\x1f", false}, {"xl/\x7f", false},
    };
    for (const auto &[name, safe] : cases) EXPECT_EQ(zip_entry_name_safe(name), safe) << '"' << name << '"';
}

TEST(PackagePath, RelationshipTargets) {
    const char *const wb = "xl/workbook.xml";
    const std::tuple<const char *, const char *, const char *> cases[] = {
        {wb, "worksheets/sheet1.xml", "xl/worksheets/sheet1.xml"}, {"", "xl/workbook.xml", "xl/workbook.xml"},
        {"workbook.xml", "sheet.xml", "sheet.xml"}, {wb, "/xl/calcChain.xml", "xl/calcChain.xml"},
        {wb, "\\xl\\styles.xml", "xl/styles.xml"}, {wb, "worksheets\\sheet1.xml", "xl/worksheets/sheet1.xml"},
        {wb, "../customXml/item1.xml", "customXml/item1.xml"},
        {"xl/worksheets/sheet1.xml", "./../drawings/./drawing1.xml", "xl/drawings/drawing1.xml"},
        {wb, "worksheets//sheet1.xml", "xl/worksheets/sheet1.xml"}, {wb, "a&b.xml", "xl/a&b.xml"},
        {wb, "sheet%201.xml", "xl/sheet 1.xml"}, {wb, "100%.xml", "xl/100%.xml"}, {wb, "a%2Fb.xml", "xl/a/b.xml"},
        {wb, "%2E%2E/x.xml", "x.xml"},
        // Nothing leads above the root, through a scheme, or to a name no package may hold.
        {wb, "../../x.xml", ""}, {wb, "..\\..\\x.xml", ""}, {"", "../x.xml", ""}, {wb, "/../x.xml", ""},
        {wb, "http://example.com/x.xml", ""}, {wb, "C:/x.xml", ""}, {wb, "a%00b.xml", ""}, {wb, "a\nb.xml", ""},
        {wb, "", ""}, {wb, "/", ""},
    };
    for (const auto &[source, target, part] : cases) EXPECT_EQ(resolve_part_target(source, target), part) << source << " -> " << target;
    // The targets a writer gives parts lead back to them.
    const std::tuple<const char *, const char *, const char *> given[] = {
        {wb, "xl/worksheets/sheet3.xml", "worksheets/sheet3.xml"}, {wb, "XL/sharedStrings.xml", "sharedStrings.xml"},
        {wb, "xlsx/sheet.xml", "/xlsx/sheet.xml"}, {wb, "xl/100%.xml", "100%25.xml"}, {"workbook.xml", "sheet.xml", "sheet.xml"},
        {"", "xl/workbook.xml", "xl/workbook.xml"},
    };
    for (const auto &[source, part, target] : given) {
        EXPECT_EQ(part_target(source, part), target) << part;
        EXPECT_TRUE(same_part_name(resolve_part_target(source, target), part)) << part;
    }
}

TEST(PackagePath, RelationshipPartNames) {
    const std::pair<const char *, const char *> cases[] = {
        {"xl/workbook.xml", "xl/_rels/workbook.xml.rels"}, {"xl/worksheets/sheet1.xml", "xl/worksheets/_rels/sheet1.xml.rels"},
        {"workbook.xml", "_rels/workbook.xml.rels"}, {"", "_rels/.rels"},
    };
    std::string source;
    for (auto [part, rels] : cases) {
        EXPECT_EQ(relationships_part_name(part), rels);
        EXPECT_TRUE(relationships_source(rels, source) && source == part) << rels;
    }
    for (const char *other : {"xl/workbook.xml", "xl/_rels/a/b.rels", "xl/x_rels/a.rels", "_rels/a.xml"})
        EXPECT_FALSE(relationships_source(other, source)) << other;
}
