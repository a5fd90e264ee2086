// Saving a book read from a package through the update path (every entry and unmodelled element
// of the original kept), and the splicing helpers it edits the package's parts with.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "api/book_init.h"
#include "cells/values.h"
#include "common/fixtures.h"
#include "common/package_builder.h"
#include "common/package_reader.h"
#include "model/book.h"
#include "model/style_registry.h"
#include "props/statements.h"
#include "readers/xlsx_reader.h"
#include "support/mfile.h"
#include "common/golden.h"
#include "xlsx_write/update_parts.h"
#include "xlsx_write/update_writer.h"
#include "xlsx_write/worksheet_part.h"
#include "xlsx_write/xml_splice.h"

// Records are written with designated initializers; the fields left out keep their defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace tabsmith {
namespace {

using testing::has;

std::string replaced(std::string text, const std::string &from, const std::string &to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

constexpr const char *kCalcChainOverride =
    R"(<Override PartName="/xl/calcChain.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml"/>)";
constexpr const char *kSharedStringsOverride = R"(<Override PartName="/xl/sharedStrings.xml" ContentType="application/)"
                                               R"(vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/>)";
constexpr const char *kStoredName = "customXml/item1.xml";
constexpr const char *kStoredText = "<root>an entry the engine knows nothing of, stored</root>";
// Elements the engine does not model, as a package could have them.
constexpr const char *kConditionalFormatting = R"(<conditionalFormatting sqref="B2:B9"><cfRule type="cellIs" priority="1" )"
                                               R"(operator="greaterThan"><formula>10</formula></cfRule></conditionalFormatting>)";
constexpr const char *kDataValidations = R"(<dataValidations count="1"><dataValidation type="whole" allowBlank="1" sqref="B2:B9">)"
                                         R"(<formula1>0</formula1><formula2>100</formula2></dataValidation></dataValidations>)";
constexpr const char *kExtLst = R"(<extLst><ext uri="{5AB0F1D1-0B0C-4E5C-9C5B-6C8A1D2E0F31}"><kept/></ext></extLst>)";
// Entries the create path writes that the update path never rewrites.
const std::vector<std::string> kUntouched = {
    "_rels/.rels", "docProps/app.xml", "docProps/core.xml", "xl/theme/theme1.xml", "xl/worksheets/_rels/sheet1.xml.rels",
    "xl/worksheets/_rels/sheet2.xml.rels", "xl/printerSettings/printerSettings1.bin", "xl/printerSettings/printerSettings2.bin",
    kStoredName};

class UpdateWriter : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(init_book(book, kFileTypeXlsx), 0); }
    void put(int sheet, int row, int column, const char *value) { ASSERT_EQ(put_cell_value(book, sheet, row, column, value), 0) << value; }
    Sheet &sheet(int index) { return *book.sheets[static_cast<std::size_t>(index)]; }

    // Saves a book by the create path, adds a calculation chain and an entry of no part the engine
    // knows to the package (and, without shared strings, takes the shared-strings part away), and
    // reads it back as the book to update.
    void read_back(bool with_strings = true) {
        Book made;
        ASSERT_EQ(init_book(made, kFileTypeXlsx), 0);
        add_sheet(made, "Data"), add_sheet(made, "Notes");
        for (auto [s, r, c, value] : {std::tuple{0, 0, 0, "Name"}, {0, 0, 1, "Amount"}, {0, 1, 0, "apples"}, {0, 1, 1, "12"}, {1, 0, 0, "memo"}})
            ASSERT_EQ(put_cell_value(made, s, r, c, with_strings ? value : r == 1 && c == 1 ? "12" : "1"), 0);
        original = dir / "original.xlsx";
        ASSERT_EQ(prepare_book_for_save(made), 0);
        ASSERT_EQ(tsx_create_excel2007(made, {false, original}), 0);
        testing::PackageParts parts;
        for (const testing::ReadEntry &item : testing::read_package_file(original).entries) {
            texts[item.name] = item.text;
            if (with_strings || item.name != "xl/sharedStrings.xml") parts.emplace_back(item.name, item.text);
        }
        for (auto &[name, text] : parts) {
            if (name == "[Content_Types].xml") text = replaced(with_strings ? text : replaced(text, kSharedStringsOverride, ""), "</Types>",
                                                               kCalcChainOverride + std::string("</Types>"));
            if (name == "xl/_rels/workbook.xml.rels")
                text = replaced(with_strings ? text : std::regex_replace(text, std::regex("<Relationship [^>]*sharedStrings.xml\"/>"), ""),
                                "</Relationships>", R"(<Relationship Id="rId99" Type="http://schemas.openxmlformats.org/officeDocument/)"
                                                    R"(2006/relationships/calcChain" Target="calcChain.xml"/></Relationships>)");
        }
        parts.emplace_back("xl/calcChain.xml", R"(<?xml version="1.0"?><calcChain xmlns="http://schemas.openxmlformats.org/spreadsheetml/)"
                                               R"(2006/main"><c r="A1" i="1"/></calcChain>)");
        parts.emplace_back(kStoredName, kStoredText);
        ASSERT_TRUE(testing::write_package(original, parts));
        ASSERT_EQ(read_xlsx_package(book, {original}), 0);
        ASSERT_EQ(book.source->calc_chain_path, "xl/calcChain.xml");
    }
    // Puts an unmodelled element into a sheet's source before the element named `before` (at
    // the end when empty), as a package would have had it.
    void add_element(int index, const std::string &name, const std::string &text, const std::string &before = "") {
        auto &elements = sheet(index).source->elements;
        auto at = std::find_if(elements.begin(), elements.end(), [&](const auto &e) { return e.name == before; });
        elements.insert(before.empty() ? elements.end() : at, {name, text});
    }
    // The parts the update writes anew, by name, after the save's preparation.
    std::map<std::string, std::string> updated() {
        EXPECT_EQ(prepare_book_for_save(book), 0);
        std::vector<std::pair<std::string, std::string>> parts;
        EXPECT_EQ(build_update_parts(book, parts, copied), 0);
        order.clear();
        std::map<std::string, std::string> by_name;
        for (auto &[name, text] : parts) order.push_back(name), by_name[name] = std::move(text);
        return by_name;
    }
    std::string workbook_of_plan() {
        UpdatePlan plan;
        std::string out;
        EXPECT_EQ(plan_update(book, plan), 0);
        EXPECT_EQ(updated_workbook_part(book, plan, out), 0);
        return out;
    }
    // Saves by the update path; the package must read back whole. (Other programs read what
    // the update path saves in the conformance books and the corpus round trip.)
    std::string save(const std::string &name) {
        EXPECT_EQ(prepare_book_for_save(book), 0);
        const std::string path = dir / name;
        EXPECT_EQ(tsx_update_excel2007(book, {false, path}), 0);
        EXPECT_EQ(testing::package_fault(path), "");
        return path;
    }

    testing::TempFolder dir;
    Book book;
    std::string original;
    std::map<std::string, std::string> texts;   // the original package's entries, inflated
    std::vector<std::string> copied, order;
};

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

}  // namespace

TEST_F(UpdateWriter, ANewCellJoinsTheRowsWhileUnmodelledElementsStayInSchemaOrder) {
    read_back();
    add_element(0, "conditionalFormatting", kConditionalFormatting, "pageMargins");
    add_element(0, "dataValidations", kDataValidations, "pageMargins");
    add_element(0, "extLst", kExtLst);
    put(0, 4, 2, "99");
    const std::string expected = testing::edited(texts["xl/worksheets/sheet1.xml"],
                                                 {{"A1:B2", "A1:C5"},
                                                  {"</sheetData>", R"(<row r="5" spans="1:3"><c r="C5"><v>99</v></c></row></sheetData>)"},
                                                  {"<pageMargins", kConditionalFormatting + std::string(kDataValidations) + "<pageMargins"},
                                                  {"</worksheet>", kExtLst + std::string("</worksheet>")}});
    EXPECT_EQ(updated()["xl/worksheets/sheet1.xml"], expected);
    const std::string path = save("cell.xlsx");
    EXPECT_EQ(testing::package_entry(path, "xl/worksheets/sheet1.xml"), expected);
    // The package's own row attributes are written back, on a row with nothing else too.
    (sheet(0).rows[1].attributes = std::make_unique<RowAttributes>())->extra = " outlineLevel=\"1\" x14ac:dyDescent=\"0.25\"";
    ASSERT_EQ(ensure_row(book, sheet(0), 6), 0);
    (sheet(0).rows[6].attributes = std::make_unique<RowAttributes>())->extra = " collapsed=\"1\"";
    const std::string data = updated()["xl/worksheets/sheet1.xml"];
    EXPECT_TRUE(has(data, R"(<dimension ref="A1:C7"/>)"));
    EXPECT_TRUE(has(data, R"(<row r="2" spans="1:2" outlineLevel="1" x14ac:dyDescent="0.25"><c r="A2")"));
    EXPECT_TRUE(has(data, R"(<row r="5" spans="1:3"><c r="C5"><v>99</v></c></row><row r="7" collapsed="1"></row></sheetData>)"));
}

// An unchanged sheet keeps the package's own spelling of its elements; a changed one has the
// changed element written where the schema puts it.
TEST_F(UpdateWriter, AChangedSettingRewritesItsElementAndAnUnchangedOneKeepsThePackageText) {
    const std::string own_views = R"(<sheetViews><sheetView zoomScaleNormal="100" workbookViewId="0"><selection activeCell="A1" )"
                                  R"(sqref="A1"/></sheetView></sheetViews>)";
    const struct {
        std::function<void(Sheet &)> change;
        std::string element, expected;   // the element in the package, and what the changed sheet gets instead
    } cases[] = {
        {[](Sheet &s) { s.settings.zoom = 150; }, "sheetViews",
         R"(<sheetViews><sheetView tabSelected="0" zoomScale="150" workbookViewId="0" showGridLines="1"><selection activeCell="A1" )"
         R"(sqref="A1" /></sheetView></sheetViews>)"},
        // Written without the printer settings relationship, which the engine cannot vouch for.
        {[](Sheet &s) { s.settings.page.landscape = true; }, "pageSetup",
         R"(<pageSetup paperSize="9" scale="100" orientation="landscape" verticalDpi="600"/>)"},
        {[](Sheet &s) { s.merges.push_back({3, 0, 3, 1}); }, "mergeCells", R"(<mergeCells count="1"><mergeCell ref="A4:B4"/></mergeCells>)"},
        {[](Sheet &s) { s.settings.default_row_height = 1800; }, "sheetFormatPr", R"(<sheetFormatPr defaultRowHeight="18.0"/>)"},
    };
    read_back();
    for (int k : {0, 1})
        for (auto &e : sheet(k).source->elements)
            if (e.name == "sheetViews") e.text = own_views;
    const SheetSettings settings = sheet(0).settings;
    const std::string notes = texts["xl/worksheets/sheet2.xml"];
    for (const auto &c : cases) {
        SCOPED_TRACE(c.element);
        sheet(0).settings = settings;
        sheet(0).merges.clear();
        c.change(sheet(0));
        auto parts = updated();
        const std::string &data = parts["xl/worksheets/sheet1.xml"];
        EXPECT_TRUE(has(data, c.expected));
        EXPECT_EQ(has(data, own_views), c.element != "sheetViews");
        EXPECT_EQ(parts["xl/worksheets/sheet2.xml"], replaced(notes, testing::slice(notes, "<sheetViews>", "<sheetFormatPr"), own_views));
        XmlElementPlace root;
        std::vector<XmlElementPlace> children;
        ASSERT_TRUE(find_root_element(data, root) && find_child_elements(data, root, children));
        std::string names;
        for (const XmlElementPlace &child : children) names += std::string(child.local) + " ";
        EXPECT_EQ(names, std::string("sheetPr dimension sheetViews sheetFormatPr sheetData ") +
                             (c.element == "mergeCells" ? "mergeCells " : "") + "pageMargins pageSetup ");
    }
}

// Added records follow the package's in their sections, with new counts; the package's highest
// number format id is followed, from 164 at the least, and a package without formats of its
// own gets the section where the schema puts it.
TEST_F(UpdateWriter, AddedStyleRecordsAreAppendedToTheirSectionsWithNewCounts) {
    read_back();
    const std::string styles = texts["xl/styles.xml"];
    Cell &b2 = sheet(0).rows[1].cells[1];
    ASSERT_EQ(set_cell_font(book, b2, kFontMaskStyle | kFontMaskColour,
                            FontRecord{.style = kFontBold, .colour = kStyleColourRgb, .rgb = {0xC0, 0x10, 0x20}}), 0);
    ASSERT_EQ(set_cell_fill(book, b2, kFillMaskPattern | kFillMaskColour, FillRecord{.pattern = kFillSolid, .colour = kStyleColourRgb,
                                                                                     .rgb = {0xFF, 0xEE, 0x00}}), 0);
    ASSERT_EQ(set_cell_border(book, b2, kBorderMaskBottom, BorderRecord{.bottom = 2}), 0);
    int format = 0;
    ASSERT_EQ(append_num_format(book, NumFormat{.kind = 109, .decimals = 3}, format), 0);
    ASSERT_EQ(set_cell_number_format(book, b2, static_cast<std::uint32_t>(format)), 0);
    const auto parts = updated();
    EXPECT_TRUE(has(styles, R"(<numFmt numFmtId="176" formatCode="yyyy/m/d;@"/></numFmts>)"));  // the package's highest id
    EXPECT_EQ(book.styles.num_formats().back().assigned_id, 177);
    // Each section is the package's records with the added ones after them, and its new count.
    const StyleBase &base = book.source->style_base;
    for (auto [section, added] : {std::pair{"numFmts", std::size_t{1}}, {"fonts", book.styles.fonts().size() - base.fonts},
                                  {"fills", book.styles.fills().size() - base.fills}, {"borders", book.styles.borders().size() - base.borders},
                                  {"cellXfs", book.styles.xfs().size() - base.xfs}}) {
        const std::string was = testing::slice(styles, "<" + std::string(section) + " ", "</" + std::string(section) + ">");
        const std::string is = testing::slice(parts.at("xl/styles.xml"), "<" + std::string(section) + " ", "</" + std::string(section) + ">");
        const std::string count = testing::slice(was, "count=\"", ">");
        const std::string kept = replaced(was, count, "count=\"" + std::to_string(std::stoul(count.substr(7)) + added) + "\"");
        EXPECT_EQ(is.substr(0, kept.size()), kept) << section;
        EXPECT_EQ(is.size() > kept.size(), added > 0) << section;
    }
    EXPECT_TRUE(has(parts.at("xl/styles.xml"), R"(<numFmt numFmtId="177" formatCode="0.000"/></numFmts>)"));
    EXPECT_TRUE(has(parts.at("xl/worksheets/sheet1.xml"), "<c r=\"B2\" s=\"" + std::to_string(b2.style) + "\">"));
    EXPECT_EQ(b2.style, book.styles.xfs().size());
    book.source->styles_xml = replaced(styles, testing::slice(styles, "<numFmts", "<fonts"), "");
    EXPECT_EQ(testing::slice(updated().at("xl/styles.xml"), "<numFmts", "<fonts"),
              R"(<numFmts count="1"><numFmt numFmtId="177" formatCode="0.000"/></numFmts>)");
    book.source->styles_xml = styles;
    save("styled.xlsx");
}

// The package's own attributes stay while the book leaves the visibility alone; one sheet
// stays visible, or the workbook is repaired on opening.
TEST_F(UpdateWriter, TheSheetListFollowsTheBook) {
    read_back();
    const std::string workbook = texts["xl/workbook.xml"];
    const std::string rel_namespace = " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    ASSERT_EQ(add_sheet(book, "R&D <2>"), 2);
    const std::string data = R"(<sheet name="Data" sheetId="1" r:id="rId1"/>)", notes = R"(<sheet name="Notes" sheetId="2" )";
    const std::string third = R"(<sheet name="R&amp;D &lt;2&gt;" sheetId="3" )", new_id = R"(r:id="rId100"/>)";
    const struct {
        std::function<void()> change;
        std::string sheets;
        bool undeclared = false;   // the package's root does not declare the relationship namespace
    } cases[] = {
        {[] {}, data + notes + R"(r:id="rId2"/>)" + third + new_id},
        {[&] { sheet(1).settings.hidden = true; }, data + notes + R"(state="hidden" r:id="rId2"/>)" + third + new_id},
        {[&] {
             sheet(1).source->sheet_element_extra = " state=\"veryHidden\"";
             sheet(1).settings.hidden = sheet(1).source->loaded->settings.hidden = true;
         },
         data + notes + R"(state="veryHidden" r:id="rId2"/>)" + third + new_id},
        {[&] {
             sheet(1).source->sheet_element_extra = " state=\"veryHidden\"";
             sheet(1).source->loaded->settings.hidden = true;
         },
         data + notes + R"(r:id="rId2"/>)" + third + new_id},
        {[&] { sheet(0).settings.hidden = sheet(1).settings.hidden = sheet(2).settings.hidden = true; },
         data + notes + R"(state="hidden" r:id="rId2"/>)" + third + R"(state="hidden" )" + new_id},
        {[] {}, data + notes + R"(r:id="rId2"/>)" + third + new_id, true},
    };
    for (const auto &c : cases) {
        for (int k = 0; k < 3; ++k) sheet(k).settings.hidden = false;
        sheet(1).source->sheet_element_extra.clear();
        sheet(1).source->loaded->settings.hidden = false;
        book.source->workbook_xml = c.undeclared ? replaced(workbook, rel_namespace, "") : workbook;
        c.change();
        EXPECT_TRUE(has(workbook_of_plan(), std::string("<sheets") + (c.undeclared ? rel_namespace : "") + ">" + c.sheets + "</sheets>"));
    }
}

// A plain new sheet, and a copy of Data as a template copy gets it: the template's XML without a
// part, here with references to objects of the template's own relationships, which it loses.
TEST_F(UpdateWriter, NewSheetsAndTemplateCopiesGetPartsOfTheirOwn) {
    read_back();
    add_element(0, "conditionalFormatting", kConditionalFormatting, "pageMargins");
    ASSERT_EQ(add_sheet(book, "Extra"), 2);
    put(2, 0, 0, "extra");
    ASSERT_EQ(add_sheet(book, "Data (2)"), 3);
    put(3, 0, 0, "copied");
    put(3, 1, 1, "7");
    auto copy = std::make_unique<SheetSource>();
    copy->root_start_tag = sheet(0).source->root_start_tag;
    copy->relationship_id = sheet(0).source->relationship_id;
    copy->elements = sheet(0).source->elements;
    copy->loaded = std::make_unique<Sheet>();
    copy->loaded->settings = sheet(3).settings = sheet(0).settings;
    sheet(3).source = std::move(copy);
    add_element(3, "hyperlinks", R"(<hyperlinks><hyperlink ref="A1" r:id="rId3"/><hyperlink ref="A2" location="Notes!A1"/></hyperlinks>)",
                "pageMargins");
    add_element(3, "drawing", "<drawing r:id=\"rId4\"/>");
    add_element(3, "legacyDrawing", "<legacyDrawing r:id=\"rId5\"/>");
    add_element(3, "tableParts", "<tableParts count=\"1\"><tablePart r:id=\"rId6\"/></tableParts>");
    auto parts = updated();
    EXPECT_EQ(std::vector<std::string>(order.end() - 2, order.end()),
              (std::vector<std::string>{"xl/worksheets/sheet3.xml", "xl/worksheets/sheet4.xml"}));
    EXPECT_TRUE(has(parts["xl/workbook.xml"], R"(<sheets><sheet name="Data" sheetId="1" r:id="rId1"/><sheet name="Notes" sheetId="2" )"
                                              R"x(r:id="rId2"/><sheet name="Extra" sheetId="3" r:id="rId100"/><sheet name="Data (2)" )x"
                                              R"(sheetId="4" r:id="rId101"/></sheets>)"));
    for (const char *n : {"3", "4"}) {
        EXPECT_TRUE(has(parts["xl/_rels/workbook.xml.rels"], std::string("<Relationship Id=\"rId10") + std::to_string(n[0] - '3') +
                                                                 "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                                                                 "relationships/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>"));
        EXPECT_TRUE(has(parts["[Content_Types].xml"], std::string("<Override PartName=\"/xl/worksheets/sheet") + n +
                                                          ".xml\" ContentType=\"application/vnd.openxmlformats-officedocument."
                                                          "spreadsheetml.worksheet+xml\"/>"));
    }
    const std::string &copied_sheet = parts["xl/worksheets/sheet4.xml"];
    for (const char *gone : {"<drawing", "<legacyDrawing", "<tableParts", "r:id", "codeName"}) EXPECT_FALSE(has(copied_sheet, gone));
    EXPECT_TRUE(has(copied_sheet, R"(<hyperlinks><hyperlink ref="A2" location="Notes!A1"/></hyperlinks>)"));
    EXPECT_TRUE(has(copied_sheet, kConditionalFormatting));
    EXPECT_TRUE(has(copied_sheet, R"(<pageSetup paperSize="9" scale="100" orientation="portrait" verticalDpi="600"/>)"));
    // A new sheet is written as the engine writes any sheet, without a printer settings part.
    EXPECT_TRUE(has(parts["xl/worksheets/sheet3.xml"], R"(<sheetPr codeName="Sheet3" /><dimension ref="A1:A1"/><sheetViews>)"));
    EXPECT_FALSE(has(parts["xl/worksheets/sheet3.xml"], "r:id"));
    save("sheets.xlsx");
}

// Several pieces of rows, each handed over while the next is written, make the text the writer
// makes whole.
TEST_F(UpdateWriter, AStreamedWorksheetIsTheTextTheWriterMakesWhole) {
    read_back();
    for (int row = 0; row < 30000; ++row)
        for (int column = 0; column < 4; ++column) put(1, row + 5, column, std::to_string(row * 4 + column).c_str());
    const std::string whole = updated().at("xl/worksheets/sheet2.xml");
    ASSERT_GT(whole.size(), 2u << 20);
    EXPECT_EQ(testing::package_entry(save("big.xlsx"), "xl/worksheets/sheet2.xml"), whole);
}

namespace {

constexpr int kStoredRows = 20000;

// A sheet as another program writes it (a cell's type before its reference, a line break after
// each row), large enough that its part deflates into dozens of blocks. Row 7 is missing, and
// none of these can be written back as stored: row 300 holds a formula, row 400 a shared string
// the table does not have, rows 500 and 600 text that is no well-formed XML (the reader takes
// it), and row 9000 comes twice. An element of no known kind follows row 12000.
std::string stored_rows_sheet() {
    std::string rows;
    for (int r = 1; r <= kStoredRows; ++r) {
        if (r == 7) continue;
        const std::string n = std::to_string(r);
        rows += "<row r=\"" + n + "\" spans=\"1:3\"><c t=\"n\" r=\"A" + n + "\"><v>" + std::to_string(r * 7919 % 100003) +
                "</v></c><c t=\"s\" r=\"B" + n + "\"><v>" + (r == 400 ? "99" : std::to_string(r % 3)) + "</v></c>";
        if (r == 300) rows += "<c r=\"C300\"><f>A300*2</f><v>1</v></c>";
        if (r == 500) rows += "<c t=\"inlineStr\" r=\"C500\"><is><t>a\x01b</t></is></c>";
        if (r == 600) rows += "<c t=\"inlineStr\" r=\"C600\"><is><t>x&bogus;y</t></is></c>";
        rows += "</row>\n";
        if (r == 9001) rows += "<row r=\"9000\"><c r=\"C9000\"><v>1</v></c></row>\n";
        if (r == 12000) rows += "<unknown/>";
    }
    return rows;
}

// Each row element of a worksheet's text by its number.
std::map<int, std::string> row_elements(const std::string &xml) {
    std::map<int, std::string> rows;
    static const std::regex row(R"re(<row r="(\d+)"[^>]*?(/>|>.*?</row>))re");
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), row); it != std::sregex_iterator(); ++it)
        rows[std::stoi((*it)[1])] = it->str();
    return rows;
}

// Every written cell's value text by (row, column).
std::map<std::pair<int, int>, std::string> cell_values(const Book &book) {
    std::map<std::pair<int, int>, std::string> values;
    const Sheet &sheet = *book.sheets[0];
    for (std::size_t r = 0; r < sheet.rows.size(); ++r)
        for (std::size_t c = 0; c < sheet.rows[r].cells.size(); ++c)
            if (const Cell &cell = sheet.rows[r].cells[c]; !cell.empty())
                values[{static_cast<int>(r), static_cast<int>(c)}] = cell_value_text(book, cell);
    return values;
}

}  // namespace

// Rows the book has not changed are written back as the package stored them, whether the part
// is compressed afresh piece by piece (blocks of the package copied) or made whole; every other
// row is written from the cells, and every value reads back as the book holds it.
TEST_F(UpdateWriter, UnchangedRowsAreWrittenAsStoredAndChangedOnesFromTheCells) {
    testing::WorkbookPackage package;
    package.sheets.push_back({"Data", testing::worksheet_xml(stored_rows_sheet())});
    package.shared_strings = std::string("<?xml version=\"1.0\"?><sst xmlns=\"") + testing::kMainNs +
                             "\" count=\"3\" uniqueCount=\"3\"><si><t>red</t></si><si><t>green</t></si><si><t>blue</t></si></sst>";
    original = dir / "stored.xlsx";
    ASSERT_TRUE(testing::write_package(original, package.parts()));
    const std::map<int, std::string> stored = row_elements(testing::package_entry(original, "xl/worksheets/sheet1.xml"));
    ASSERT_EQ(stored.size(), kStoredRows - 1u);

    struct Case {
        const char *name;
        std::function<void(Book &)> change;
        std::vector<int> rewritten;   // 1-based rows written from the cells, besides 300 and 400
        std::vector<int> gone;        // rows the save no longer has
    };
    const Case cases[] = {
        {"nothing", [](Book &) {}, {}, {}},
        {"first row", [](Book &b) { put_cell_value(b, 0, 0, 2, "x"); }, {1}, {}},
        {"a middle row", [](Book &b) { put_cell_value(b, 0, 9999, 0, "5"); }, {10000}, {}},
        {"the last row", [](Book &b) { put_cell_value(b, 0, kStoredRows - 1, 1, "last"); }, {kStoredRows}, {}},
        {"a row emptied", [](Book &b) { b.sheets[0]->rows[4999].cells.clear(), b.sheets[0]->rows[4999].used = 0; }, {}, {5000}},
        {"the missing row filled", [](Book &b) { put_cell_value(b, 0, 6, 0, "gap"); }, {7}, {}},
        {"a row height", [](Book &b) { run_statements(b, "6000.HEIGHT=30"); }, {6000}, {}},
        {"a merged area", [](Book &b) { b.sheets[0]->merges.push_back({7999, 0, 8000, 1}); }, {8000, 8001}, {}},
        {"a row past the end", [](Book &b) { put_cell_value(b, 0, kStoredRows + 5, 0, "end"); }, {kStoredRows + 6}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Book edited;
        ASSERT_EQ(init_book(edited, kFileTypeXlsx), 0);
        ASSERT_EQ(read_xlsx_package(edited, {.archive = original, .keep_stored_rows = true}), 0);
        edited.from_file = true;   // as opening a workbook leaves a book
        c.change(edited);
        ASSERT_EQ(prepare_book_for_save(edited), 0);
        std::vector<std::pair<std::string, std::string>> parts;
        ASSERT_EQ(build_update_parts(edited, parts, copied), 0);
        const auto whole = std::find_if(parts.begin(), parts.end(), [](const auto &p) { return p.first == "xl/worksheets/sheet1.xml"; });
        ASSERT_NE(whole, parts.end());
        const std::string path = dir / "saved.xlsx";
        ASSERT_EQ(tsx_update_excel2007(edited, {false, path}), 0);
        EXPECT_EQ(testing::package_fault(path), "");
        const std::string saved = testing::package_entry(path, "xl/worksheets/sheet1.xml");
        EXPECT_TRUE(saved == whole->second) << "the part compressed in pieces differs from the part made whole";

        const std::map<int, std::string> rows = row_elements(saved);
        std::vector<int> rewritten = c.rewritten;
        rewritten.insert(rewritten.end(), {300, 400, 500, 600, 9000});
        EXPECT_EQ(saved.find("<unknown"), std::string::npos);
        const std::string row_9000 = "<row r=\"9000\"";
        EXPECT_EQ(saved.find(row_9000), saved.rfind(row_9000)) << "row 9000 once";
        for (int r : rewritten) {
            ASSERT_TRUE(rows.count(r)) << r;
            EXPECT_NE(rows.at(r), stored.count(r) ? stored.at(r) : "") << r;
        }
        for (int r : c.gone) EXPECT_FALSE(rows.count(r)) << r;
        for (const auto &[r, text] : stored)
            if (std::find(rewritten.begin(), rewritten.end(), r) == rewritten.end() &&
                std::find(c.gone.begin(), c.gone.end(), r) == c.gone.end() && (!rows.count(r) || rows.at(r) != text))
                ADD_FAILURE() << "row " << r << " is not as stored";

        Book back;
        ASSERT_EQ(init_book(back, kFileTypeXlsx), 0);
        ASSERT_EQ(read_xlsx_package(back, {path}), 0);
        EXPECT_TRUE(cell_values(back) == cell_values(edited));
        std::remove(path.c_str());
    }
}

// The package's formats keep their ids and an added one follows them; the same package to disk
// or to memory. A book without a source, or with a workbook part that does not parse, is refused.
TEST_F(UpdateWriter, SavingABookWithASourceTakesTheUpdatePathToDiskOrMemory) {
    EXPECT_EQ(tsx_update_excel2007(book, {false, dir / "none.xlsx"}), -1);
    read_back();
    const std::vector<NumFormat> package_formats = book.styles.num_formats();
    int index = 0;
    ASSERT_EQ(append_num_format(book, NumFormat{.kind = 109, .decimals = 2}, index), 0);
    put(0, 5, 0, "after reading");
    const std::string path = dir / "saved.xlsx";
    ASSERT_EQ(save_book(book, {false, path}), 0);
    const testing::ReadPackage saved = testing::read_package_file(path);
    EXPECT_EQ(testing::package_fault(saved), "");
    EXPECT_FALSE(saved.find("xl/calcChain.xml"));
    EXPECT_TRUE(saved.find(kStoredName));
    for (std::size_t k = 0; k < package_formats.size(); ++k)
        EXPECT_EQ(book.styles.num_formats()[k].assigned_id, package_formats[k].assigned_id);
    EXPECT_EQ(book.styles.num_formats().back().assigned_id, 177);
    ASSERT_EQ(save_book(book, {true, "updated_in_memory.xlsx"}), 0);
    MFile *memory = mfind("updated_in_memory.xlsx");
    ASSERT_NE(memory, nullptr);
    const testing::ReadPackage from_memory = testing::read_package(std::string(mdata(memory)));
    mrelease("updated_in_memory.xlsx");
    EXPECT_EQ(testing::package_fault(from_memory), "");
    ASSERT_EQ(from_memory.entries.size(), saved.entries.size());
    for (std::size_t k = 0; k < saved.entries.size(); ++k)
        EXPECT_EQ(from_memory.entries[k].name + from_memory.entries[k].text, saved.entries[k].name + saved.entries[k].text);
    book.source->workbook_xml = "<workbook><sheets>";
    EXPECT_EQ(tsx_update_excel2007(book, {false, dir / "broken.xlsx"}), -1);
    EXPECT_FALSE(std::filesystem::exists(dir / "broken.xlsx"));
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

}  // namespace tabsmith
