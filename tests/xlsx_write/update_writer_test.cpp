// Saving a book read from a package: a book saved by the create path is given the source a
// reader fills from that package, changed, and saved again through the update path. The saved
// package must keep every entry and every unmodelled element of the original.

#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "api/book_init.h"
#include "cells/values.h"
#include "common/fixtures.h"
#include "model/book.h"
#include "model/style_registry.h"
#include "support/mfile.h"
#include "xlsx_write/styles_part.h"
#include "xlsx_write/update_parts.h"
#include "xlsx_write/update_writer.h"
#include "xlsx_write/worksheet_part.h"
#include "xlsx_write/xml_splice.h"

namespace tabsmith {
namespace {

using testing::TempFolder;

struct ArchiveEntry {
    PackageEntry entry;   // as stored
    std::string plain;    // the inflated contents
};

// Every entry of an archive on disk, in archive order, read with minizip.
std::vector<ArchiveEntry> read_archive(const std::string &path) {
    std::vector<ArchiveEntry> entries;
    unzFile archive = unzOpen64(path.c_str());
    EXPECT_NE(archive, nullptr) << path;
    if (!archive) return entries;
    auto read_current = [&](std::string &out) {
        char buffer[65536];
        for (int got; (got = unzReadCurrentFile(archive, buffer, sizeof buffer)) > 0;) out.append(buffer, got);
        unzCloseCurrentFile(archive);
    };
    for (int rc = unzGoToFirstFile(archive); rc == UNZ_OK; rc = unzGoToNextFile(archive)) {
        unz_file_info64 info{};
        char name[512] = "";
        unzGetCurrentFileInfo64(archive, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        ArchiveEntry item;
        item.entry.name = name;
        item.entry.method = static_cast<std::uint16_t>(info.compression_method);
        item.entry.crc32 = static_cast<std::uint32_t>(info.crc);
        item.entry.packed_size = info.compressed_size;
        item.entry.plain_size = info.uncompressed_size;
        item.entry.dos_time = static_cast<std::uint32_t>(info.dosDate);
        int method = 0, level = 0;
        if (unzOpenCurrentFile2(archive, &method, &level, 1) == UNZ_OK) read_current(item.entry.raw);
        if (unzOpenCurrentFile(archive) == UNZ_OK) read_current(item.plain);
        entries.push_back(std::move(item));
    }
    unzClose(archive);
    return entries;
}

std::map<std::string, std::string> plain_texts(const std::string &path) {
    std::map<std::string, std::string> texts;
    for (ArchiveEntry &item : read_archive(path)) texts[item.entry.name] = std::move(item.plain);
    return texts;
}

std::vector<std::string> entry_names(const std::string &path) {
    std::vector<std::string> names;
    for (const ArchiveEntry &item : read_archive(path)) names.push_back(item.entry.name);
    return names;
}

// Standard output of a shell command, and whether it ended with status 0.
std::pair<std::string, bool> run(const std::string &command) {
    std::string out;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {"", false};
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    return {out, ::pclose(pipe) == 0};
}

std::string unzip_entry(const std::string &archive, const std::string &name) {
    return run("unzip -p '" + archive + "' '" + name + "'").first;
}

bool archive_tests_clean(const std::string &archive) { return run("unzip -tq '" + archive + "' >/dev/null").second; }

// Runs a Python script under the interpreter that has openpyxl, with the workbook loaded as `wb`.
std::string openpyxl(const TempFolder &dir, const std::string &book, const std::string &script) {
    const std::string file = dir.write("check.py", "import sys, openpyxl\nwb = openpyxl.load_workbook(sys.argv[1])\n" + script);
    auto [out, ok] = run("/usr/bin/python3 -W ignore '" + file + "' '" + book + "' 2>&1");
    EXPECT_TRUE(ok) << out;
    return out;
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

std::string inserted_before(const std::string &text, const std::string &anchor, const std::string &addition) {
    return replaced(text, anchor, addition + anchor);
}

PackageEntry stored_entry(const std::string &name, const std::string &contents) {
    PackageEntry entry;
    entry.name = name;
    entry.method = 0;
    entry.crc32 = static_cast<std::uint32_t>(
        ::crc32(0, reinterpret_cast<const Bytef *>(contents.data()), static_cast<uInt>(contents.size())));
    entry.packed_size = entry.plain_size = contents.size();
    entry.raw = contents;
    return entry;
}

constexpr const char *kCalcChainText =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
    "<calcChain xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><c r=\"A1\" i=\"1\"/></calcChain>";
constexpr const char *kCalcChainOverride =
    "<Override PartName=\"/xl/calcChain.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml\"/>";
constexpr const char *kCalcChainRelationship =
    "<Relationship Id=\"rId99\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain\" "
    "Target=\"calcChain.xml\"/>";
constexpr const char *kSharedStringsOverride =
    "<Override PartName=\"/xl/sharedStrings.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>";
constexpr const char *kStoredName = "customXml/item1.xml";
constexpr const char *kStoredText = "<root>an entry the engine knows nothing of, stored</root>";

// Elements the engine does not model, as a package could have them.
constexpr const char *kConditionalFormatting =
    "<conditionalFormatting sqref=\"B2:B9\"><cfRule type=\"cellIs\" priority=\"1\" operator=\"greaterThan\">"
    "<formula>10</formula></cfRule></conditionalFormatting>";
constexpr const char *kDataValidations =
    "<dataValidations count=\"1\"><dataValidation type=\"whole\" allowBlank=\"1\" sqref=\"B2:B9\">"
    "<formula1>0</formula1><formula2>100</formula2></dataValidation></dataValidations>";
constexpr const char *kExtLst = "<extLst><ext uri=\"{5AB0F1D1-0B0C-4E5C-9C5B-6C8A1D2E0F31}\"><kept/></ext></extLst>";

// Entries the create path writes that the update path never rewrites.
const std::vector<std::string> kUntouched = {
    "_rels/.rels",  "docProps/app.xml", "docProps/core.xml", "xl/theme/theme1.xml", "xl/worksheets/_rels/sheet1.xml.rels",
    "xl/worksheets/_rels/sheet2.xml.rels", "xl/printerSettings/printerSettings1.bin",
    "xl/printerSettings/printerSettings2.bin", kStoredName};

// Every part the schemas cover validates (where the project's schema copies are at hand).
void expect_schema_valid(const std::string &book) {
    const std::string validator =
        (std::filesystem::path(__FILE__).parent_path() / "../../../shared/ooxml-schemas/validate.py").string();
    if (!std::filesystem::exists(validator)) return;
    auto [out, ok] = run("/usr/bin/python3 '" + validator + "' '" + book + "' 2>&1");
    EXPECT_TRUE(ok) << out;
}

class UpdateWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(init_book(book, kFileTypeXlsx), 0);
        ASSERT_EQ(add_sheet(book, "Data"), 0);
        ASSERT_EQ(add_sheet(book, "Notes"), 1);
    }

    void put(int sheet, int row, int column, const char *value) {
        ASSERT_EQ(put_cell_value(book, sheet, row, column, value), 0) << value;
    }
    Cell &cell(int sheet, int row, int column) {
        return book.sheets[static_cast<std::size_t>(sheet)]->rows[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
    }
    Sheet &sheet(int index) { return *book.sheets[static_cast<std::size_t>(index)]; }

    void fill_strings() {
        put(0, 0, 0, "Name");
        put(0, 0, 1, "Amount");
        put(0, 1, 0, "apples");
        put(0, 1, 1, "12");
        put(1, 0, 0, "memo");
    }
    void fill_numbers() {
        put(0, 0, 0, "1");
        put(0, 1, 1, "12");
        put(1, 0, 0, "3.5");
    }

    // Saves the book by the create path and gives it what a reader fills from that package, plus
    // a calculation chain and a stored entry of no part the engine knows. Without shared strings,
    // the package is made to have no shared-strings part at all.
    void read_back(bool with_strings = true) {
        with_strings ? fill_strings() : fill_numbers();
        ASSERT_EQ(prepare_book_for_save(book), 0);
        original = dir / "original.xlsx";
        ASSERT_EQ(tsx_create_excel2007(book, {false, original}), 0);
        auto source = std::make_unique<PackageSource>();
        for (ArchiveEntry &item : read_archive(original)) {
            texts[item.entry.name] = item.plain;
            source->entries.push_back(std::move(item.entry));
        }
        source->workbook_path = "xl/workbook.xml";
        source->workbook_xml = texts["xl/workbook.xml"];
        source->workbook_rels_path = "xl/_rels/workbook.xml.rels";
        source->workbook_rels_xml = inserted_before(texts["xl/_rels/workbook.xml.rels"], "</Relationships>",
                                                    kCalcChainRelationship);
        source->content_types_xml = inserted_before(texts["[Content_Types].xml"], "</Types>", kCalcChainOverride);
        source->styles_path = "xl/styles.xml";
        source->styles_xml = texts["xl/styles.xml"];
        source->calc_chain_path = "xl/calcChain.xml";
        source->entries.push_back(stored_entry("xl/calcChain.xml", kCalcChainText));
        source->entries.push_back(stored_entry(kStoredName, kStoredText));
        if (with_strings) {
            const std::string &sst = texts["xl/sharedStrings.xml"];
            const std::size_t items = sst.find("<si>");
            source->shared_strings_path = "xl/sharedStrings.xml";
            source->shared_strings_items = sst.substr(items, sst.rfind("</sst>") - items);
            source->shared_strings_count = book.shared_strings.entry_count();
        } else {
            std::erase_if(source->entries, [](const PackageEntry &e) { return e.name == "xl/sharedStrings.xml"; });
            source->content_types_xml = replaced(source->content_types_xml, kSharedStringsOverride, "");
            std::string &rels = source->workbook_rels_xml;
            const std::size_t target = rels.find("Target=\"sharedStrings.xml\"/>");
            const std::size_t begin = rels.rfind("<Relationship ", target);
            rels.erase(begin, target + std::string("Target=\"sharedStrings.xml\"/>").size() - begin);
        }
        const StyleRegistry &styles = book.styles;
        source->style_base = {styles.fonts().size(), styles.fills().size(), styles.borders().size(),
                              styles.xfs().size(), styles.num_formats().size()};
        book.source = std::move(source);
        for (int k = 0; k < book.sheet_count(); ++k) give_sheet_source(k);
    }

    void give_sheet_source(int index) {
        Sheet &s = sheet(index);
        auto source = std::make_unique<SheetSource>();
        source->part_path = "xl/worksheets/sheet" + std::to_string(index + 1) + ".xml";
        source->relationship_id = "rId" + std::to_string(index + 1);
        source->root_start_tag = std::string(kWorksheetStartTag);
        const std::string &text = texts[source->part_path];
        XmlElementPlace root;
        std::vector<XmlElementPlace> children;
        ASSERT_TRUE(find_root_element(text, root));
        ASSERT_TRUE(find_child_elements(text, root, children));
        for (const XmlElementPlace &child : children)
            if (child.local != "sheetData")
                source->elements.push_back({std::string(child.local), std::string(child.text(text))});
        source->loaded = std::make_unique<Sheet>();
        source->loaded->name = s.name;
        source->loaded->settings = s.settings;
        source->loaded->columns = s.columns;
        source->loaded->merges = s.merges;
        s.source = std::move(source);
    }

    // Puts an unmodelled element into a sheet's source before the element named `before`
    // (at the end when empty), as a package would have had it.
    void add_element(int index, const std::string &name, const std::string &text, const std::string &before = "") {
        auto &elements = sheet(index).source->elements;
        auto at = std::find_if(elements.begin(), elements.end(), [&](const auto &e) { return e.name == before; });
        elements.insert(before.empty() ? elements.end() : at, {name, text});
    }
    SheetSource::Element &element(int index, const std::string &name) {
        for (auto &e : sheet(index).source->elements)
            if (e.name == name) return e;
        ADD_FAILURE() << "no element " << name;
        static SheetSource::Element none;
        return none;
    }

    // The parts the update writes anew, by name, after the save's preparation.
    std::map<std::string, std::string> updated() {
        EXPECT_EQ(prepare_book_for_save(book), 0);
        std::vector<std::pair<std::string, std::string>> parts;
        EXPECT_EQ(build_update_parts(book, parts, copied), 0);
        order.clear();
        std::map<std::string, std::string> by_name;
        for (auto &[name, text] : parts) {
            order.push_back(name);
            by_name[name] = std::move(text);
        }
        return by_name;
    }

    std::string save(const std::string &name) {
        EXPECT_EQ(prepare_book_for_save(book), 0);
        const std::string path = dir / name;
        EXPECT_EQ(tsx_update_excel2007(book, {false, path}), 0);
        EXPECT_TRUE(archive_tests_clean(path));
        return path;
    }

    TempFolder dir;
    Book book;
    std::string original;
    std::map<std::string, std::string> texts;   // the original package's entries, inflated
    std::vector<std::string> copied, order;
};

TEST_F(UpdateWriterTest, AnUnchangedBookComesBackAsItWasWithoutItsCalculationChain) {
    read_back();
    const std::string path = save("same.xlsx");
    // Every entry in its place but the chain; the parts written anew are exactly what the create
    // path wrote (the chain's content type and relationship leave no trace either).
    std::vector<std::string> expected_names;
    for (const PackageEntry &entry : book.source->entries)
        if (entry.name != "xl/calcChain.xml") expected_names.push_back(entry.name);
    EXPECT_EQ(entry_names(path), expected_names);
    const auto saved = plain_texts(path);
    for (const auto &[name, text] : texts) {
        ASSERT_EQ(saved.count(name), 1u) << name;
        EXPECT_EQ(saved.at(name), text) << name;
    }
    EXPECT_EQ(saved.at(kStoredName), kStoredText);
    // The entries nobody rewrites, as unzip reads them from both archives; a deflated one keeps
    // its very bytes.
    for (const std::string &name : kUntouched) {
        if (name == kStoredName) continue;
        EXPECT_EQ(unzip_entry(path, name), unzip_entry(original, name)) << name;
    }
    std::map<std::string, PackageEntry> before, after;
    for (ArchiveEntry &item : read_archive(original)) before[item.entry.name] = std::move(item.entry);
    for (ArchiveEntry &item : read_archive(path)) after[item.entry.name] = std::move(item.entry);
    for (const std::string &name : kUntouched) {
        if (name == kStoredName) continue;
        EXPECT_EQ(after[name].raw, before[name].raw) << name;
        EXPECT_EQ(after[name].crc32, before[name].crc32) << name;
    }
    updated();
    EXPECT_EQ(copied, kUntouched);

    EXPECT_EQ(openpyxl(dir, path, "print(wb.sheetnames, wb['Data']['A2'].value, wb['Data']['B2'].value, wb['Notes']['A1'].value)"),
              "['Data', 'Notes'] apples 12 memo\n");
}

TEST_F(UpdateWriterTest, ANewCellJoinsTheRowsWhileUnmodelledElementsStayInSchemaOrder) {
    read_back();
    const std::string sheet1 = texts["xl/worksheets/sheet1.xml"];
    add_element(0, "conditionalFormatting", kConditionalFormatting, "pageMargins");
    add_element(0, "dataValidations", kDataValidations, "pageMargins");
    add_element(0, "extLst", kExtLst);
    put(0, 4, 2, "99");

    std::string expected = replaced(sheet1, "<dimension ref=\"A1:B2\"/>", "<dimension ref=\"A1:C5\"/>");
    expected = inserted_before(expected, "</sheetData>", "<row r=\"5\" spans=\"1:3\"><c r=\"C5\"><v>99</v></c></row>");
    expected = inserted_before(expected, "<pageMargins", std::string(kConditionalFormatting) + kDataValidations);
    expected = inserted_before(expected, "</worksheet>", kExtLst);
    EXPECT_EQ(updated()["xl/worksheets/sheet1.xml"], expected);

    const std::string path = save("cell.xlsx");
    EXPECT_EQ(unzip_entry(path, "xl/worksheets/sheet1.xml"), expected);
    expect_schema_valid(path);
    EXPECT_EQ(openpyxl(dir, path,
                       "ws = wb['Data']\nprint(ws['C5'].value, len(ws.conditional_formatting), "
                       "len(ws.data_validations.dataValidation))"),
              "99 1 1\n");
}

TEST_F(UpdateWriterTest, AChangedSettingRewritesItsElementAndAnUnchangedOneKeepsThePackageText) {
    // A package's own spelling of the defaults, which an unchanged sheet must keep.
    const std::string own_views =
        "<sheetViews><sheetView zoomScaleNormal=\"100\" workbookViewId=\"0\"><selection activeCell=\"A1\" "
        "sqref=\"A1\"/></sheetView></sheetViews>";
    struct Case {
        const char *name;
        std::function<void(Sheet &)> change;
        std::string element;     // the element's name in the package
        std::string expected;    // what the changed sheet gets instead of the package's text
    };
    const Case cases[] = {
        {"zoom", [](Sheet &s) { s.settings.zoom = 150; }, "sheetViews",
         "<sheetViews><sheetView tabSelected=\"0\" zoomScale=\"150\" workbookViewId=\"0\" showGridLines=\"1\">"
         "<selection activeCell=\"A1\" sqref=\"A1\" /></sheetView></sheetViews>"},
        // Written without the printer settings relationship, which the engine cannot vouch for.
        {"orientation", [](Sheet &s) { s.settings.page.landscape = true; }, "pageSetup",
         "<pageSetup paperSize=\"9\" scale=\"100\" orientation=\"landscape\" verticalDpi=\"600\"/>"},
        {"merge", [](Sheet &s) { s.merges.push_back({3, 0, 3, 1}); }, "mergeCells",
         "<mergeCells count=\"1\"><mergeCell ref=\"A4:B4\"/></mergeCells>"},
        {"row height", [](Sheet &s) { s.settings.default_row_height = 1800; }, "sheetFormatPr",
         "<sheetFormatPr defaultRowHeight=\"18.0\"/>"},
    };
    read_back();
    element(0, "sheetViews").text = own_views;
    element(1, "sheetViews").text = own_views;
    const SheetSettings settings = sheet(0).settings;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sheet(0).settings = settings;
        sheet(0).merges.clear();
        c.change(sheet(0));
        auto parts = updated();
        const std::string &data = parts["xl/worksheets/sheet1.xml"];
        EXPECT_NE(data.find(c.expected), std::string::npos) << data;
        const bool views_changed = c.element == "sheetViews";
        EXPECT_EQ(data.find(own_views) != std::string::npos, !views_changed) << data;
        // The other sheet is the original with the package's view text.
        const std::string notes = texts["xl/worksheets/sheet2.xml"];
        const std::size_t views = notes.find("<sheetViews>");
        EXPECT_EQ(parts["xl/worksheets/sheet2.xml"],
                  notes.substr(0, views) + own_views + notes.substr(notes.find("</sheetViews>") + 13));
        // The changed element stands where the schema puts it.
        XmlElementPlace root;
        std::vector<XmlElementPlace> children;
        ASSERT_TRUE(find_root_element(data, root));
        ASSERT_TRUE(find_child_elements(data, root, children));
        std::vector<std::string> names;
        for (const XmlElementPlace &child : children) names.emplace_back(child.local);
        std::vector<std::string> expected_names = {"sheetPr", "dimension", "sheetViews", "sheetFormatPr", "sheetData"};
        if (c.element == "mergeCells") expected_names.push_back("mergeCells");
        expected_names.insert(expected_names.end(), {"pageMargins", "pageSetup"});
        EXPECT_EQ(names, expected_names);
    }
}

TEST_F(UpdateWriterTest, AddedStyleRecordsAreAppendedToTheirSectionsWithNewCounts) {
    read_back();
    const std::string styles = texts["xl/styles.xml"];
    Cell &b2 = cell(0, 1, 1);
    FontRecord font;
    font.style = kFontBold;
    font.colour = kStyleColourRgb;
    font.rgb = {0xC0, 0x10, 0x20};
    ASSERT_EQ(set_cell_font(book, b2, kFontMaskStyle | kFontMaskColour, font), 0);
    FillRecord fill;
    fill.pattern = kFillSolid;
    fill.colour = kStyleColourRgb;
    fill.rgb = {0xFF, 0xEE, 0x00};
    ASSERT_EQ(set_cell_fill(book, b2, kFillMaskPattern | kFillMaskColour, fill), 0);
    BorderRecord border;
    border.bottom = 2;
    ASSERT_EQ(set_cell_border(book, b2, kBorderMaskBottom, border), 0);
    NumFormat decimals;
    decimals.kind = 109;
    decimals.decimals = 3;
    int format_index = 0;
    ASSERT_EQ(append_num_format(book, decimals, format_index), 0);
    ASSERT_EQ(set_cell_number_format(book, b2, static_cast<std::uint32_t>(format_index)), 0);

    const auto parts = updated();
    // The package's highest id is followed, from 164 at the least.
    std::uint32_t highest = 163;
    const std::regex id("numFmtId=\"(\\d+)\"");
    for (auto it = std::sregex_iterator(styles.begin(), styles.end(), id); it != std::sregex_iterator(); ++it)
        highest = std::max<std::uint32_t>(highest, static_cast<std::uint32_t>(std::stoul((*it)[1])));
    const std::uint32_t new_id = highest + 1;
    EXPECT_EQ(book.styles.num_formats().back().assigned_id, new_id);

    const StyleRegistry &registry = book.styles;
    const StyleBase &base = book.source->style_base;
    auto count_of = [&](const std::string &section) {
        std::smatch m;
        EXPECT_TRUE(std::regex_search(styles, m, std::regex("<" + section + " count=\"(\\d+)\"")));
        return std::stoul(m[1]);
    };
    std::string expected = styles;
    auto grow = [&](const std::string &section, std::size_t added, const std::string &records) {
        const std::size_t count = count_of(section);
        expected = replaced(expected, "<" + section + " count=\"" + std::to_string(count) + "\">",
                            "<" + section + " count=\"" + std::to_string(count + added) + "\">");
        expected = inserted_before(expected, "</" + section + ">", records);
    };
    std::string records;
    write_num_fmt_code(new_id, "0.000", records);
    grow("numFmts", 1, records);
    records.clear();
    write_font_record(registry.fonts().back(), records);
    grow("fonts", registry.fonts().size() - base.fonts, records);
    records.clear();
    write_fill_record(registry.fills().back(), records);
    grow("fills", registry.fills().size() - base.fills, records);
    records.clear();
    write_border_record(registry.borders().back(), records);
    grow("borders", registry.borders().size() - base.borders, records);
    records.clear();
    for (std::size_t k = base.xfs; k < registry.xfs().size(); ++k)
        write_xf_record(registry.xfs()[k], registry.num_formats(), base.num_formats, records);
    grow("cellXfs", registry.xfs().size() - base.xfs, records);
    EXPECT_EQ(parts.at("xl/styles.xml"), expected);
    EXPECT_NE(records.find("numFmtId=\"" + std::to_string(new_id) + "\" fontId=\"" +
                           std::to_string(registry.fonts().size() - 1) + "\""),
              std::string::npos);
    EXPECT_NE(parts.at("xl/worksheets/sheet1.xml").find("<c r=\"B2\" s=\"" + std::to_string(b2.style) + "\">"),
              std::string::npos);
    EXPECT_EQ(b2.style, registry.xfs().size());
    // A package without number formats of its own gets the section where the schema puts it.
    const std::size_t formats_begin = styles.find("<numFmts"), formats_end = styles.find("</numFmts>") + 10;
    book.source->styles_xml = styles.substr(0, formats_begin) + styles.substr(formats_end);
    std::string numbered;
    write_num_fmt_code(new_id, "0.000", numbered);   // still above the ids of the package's entries
    const std::string without = updated().at("xl/styles.xml");
    EXPECT_EQ(without.substr(formats_begin, without.find("<fonts") - formats_begin),
              "<numFmts count=\"1\">" + numbered + "</numFmts>");
    book.source->styles_xml = styles;

    const std::string path = save("styled.xlsx");
    expect_schema_valid(path);
    EXPECT_EQ(openpyxl(dir, path,
                       "c = wb['Data']['B2']\nprint(c.value, c.font.b, c.font.color.rgb, c.number_format, "
                       "c.fill.fgColor.rgb, c.border.bottom.style)"),
              "12 True FFC01020 0.000 FFffee00 hair\n");
}

TEST_F(UpdateWriterTest, NewStringsFollowThePackageItemsWithRecountedTotals) {
    read_back();
    put(0, 2, 0, "pears");
    put(1, 1, 0, "Name");   // already in the table: one more reference, no new entry
    put(1, 2, 0, "two  words");
    const std::string &items = book.source->shared_strings_items;
    ASSERT_EQ(book.shared_strings.entry_count(), book.source->shared_strings_count + 2);
    const std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        // Four string cells and entries of the package, three cells and two entries more.
        "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"7\" uniqueCount=\"6\">" +
        items +
        "<si><t>pears</t><phoneticPr fontId=\"1\"/></si><si><t xml:space=\"preserve\">two  words</t><phoneticPr "
        "fontId=\"1\"/></si></sst>";
    EXPECT_EQ(updated().at("xl/sharedStrings.xml"), expected);
    const std::string path = save("strings.xlsx");
    EXPECT_EQ(openpyxl(dir, path, "print(wb['Data']['A3'].value, wb['Notes']['A2'].value, wb['Notes']['A3'].value)"),
              "pears Name two  words\n");
}

TEST_F(UpdateWriterTest, ASharedStringsPartIsMadeWhenThePackageHadNone) {
    read_back(false);
    auto parts = updated();
    EXPECT_EQ(parts.count("xl/sharedStrings.xml"), 0u);   // still no strings: still no part
    put(1, 3, 1, "hello");
    parts = updated();
    ASSERT_EQ(parts.count("xl/sharedStrings.xml"), 1u);
    EXPECT_EQ(order.back(), "xl/sharedStrings.xml");
    EXPECT_NE(parts.at("xl/sharedStrings.xml").find("count=\"1\" uniqueCount=\"1\"><si><t>hello</t>"), std::string::npos);
    // The next id after the highest the package used (the dropped chain's included).
    const std::string rels = parts.at("xl/_rels/workbook.xml.rels");
    EXPECT_NE(rels.find("<Relationship Id=\"rId100\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                        "relationships/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"),
              std::string::npos)
        << rels;
    EXPECT_EQ(rels.find("calcChain"), std::string::npos);
    const std::string types = parts.at("[Content_Types].xml");
    EXPECT_NE(types.find(std::string(kSharedStringsOverride) + "</Types>"), std::string::npos) << types;
    EXPECT_EQ(types.find("calcChain"), std::string::npos);

    const std::string path = save("created_strings.xlsx");
    EXPECT_EQ(openpyxl(dir, path, "print(wb['Notes']['B4'].value, wb['Data']['B2'].value)"), "hello 12\n");
}

TEST_F(UpdateWriterTest, RecalculationOnOpeningIsAskedForWhereValuesMayBeStale) {
    read_back();
    const std::string workbook = texts["xl/workbook.xml"];
    const std::string without_calc = std::regex_replace(workbook, std::regex("<calcPr[^>]*/>"), "");
    ASSERT_NE(without_calc, workbook);
    const std::string calc_pr = workbook.substr(workbook.find("<calcPr"), workbook.find("/>", workbook.find("<calcPr")) + 2 - workbook.find("<calcPr"));
    const std::string ext = "<extLst><ext uri=\"{x}\"><kept/></ext></extLst>";
    struct Case {
        const char *name;
        bool recalc, flagged;
        std::string package, expected;
    };
    const Case cases[] = {
        {"computed", true, false, workbook, workbook},
        {"not computed", false, false, workbook, replaced(workbook, calc_pr, replaced(calc_pr, "/>", " fullCalcOnLoad=\"1\"/>"))},
        {"flagged by the reader", true, true, workbook,
         replaced(workbook, calc_pr, replaced(calc_pr, "/>", " fullCalcOnLoad=\"1\"/>"))},
        {"no calcPr", false, false, without_calc, replaced(without_calc, "</workbook>", "<calcPr fullCalcOnLoad=\"1\"/></workbook>")},
        {"no calcPr, an extension list", false, false, replaced(without_calc, "</workbook>", ext + "</workbook>"),
         replaced(without_calc, "</workbook>", "<calcPr fullCalcOnLoad=\"1\"/>" + ext + "</workbook>")},
    };
    for (const Case &c : cases) {
        book.settings.recalc = c.recalc;
        book.source->full_calc_on_load = c.flagged;
        book.source->workbook_xml = c.package;
        UpdatePlan plan;
        ASSERT_EQ(plan_update(book, plan), 0);
        std::string out;
        ASSERT_EQ(updated_workbook_part(book, plan, out), 0);
        EXPECT_EQ(out, c.expected) << c.name;
    }
}

TEST_F(UpdateWriterTest, TheSheetListFollowsTheBook) {
    read_back();
    const std::string workbook = texts["xl/workbook.xml"];
    const std::string rel_namespace = " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    ASSERT_EQ(add_sheet(book, "R&D <2>"), 2);
    struct Case {
        const char *name;
        std::function<void()> change;
        std::string sheets;
        bool undeclared = false;   // the package's root does not declare the relationship namespace
    };
    const Case cases[] = {
        {"as read", [] {},
         "<sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Notes\" sheetId=\"2\" r:id=\"rId2\"/>"
         "<sheet name=\"R&amp;D &lt;2&gt;\" sheetId=\"3\" r:id=\"rId100\"/>"},
        {"hidden now", [&] { sheet(1).settings.hidden = true; },
         "<sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Notes\" sheetId=\"2\" state=\"hidden\" "
         "r:id=\"rId2\"/><sheet name=\"R&amp;D &lt;2&gt;\" sheetId=\"3\" r:id=\"rId100\"/>"},
        // The package's own attributes stay while the book leaves the visibility alone.
        {"very hidden in the package",
         [&] {
             sheet(1).source->sheet_element_extra = " state=\"veryHidden\"";
             sheet(1).settings.hidden = sheet(1).source->loaded->settings.hidden = true;
         },
         "<sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Notes\" sheetId=\"2\" state=\"veryHidden\" "
         "r:id=\"rId2\"/><sheet name=\"R&amp;D &lt;2&gt;\" sheetId=\"3\" r:id=\"rId100\"/>"},
        {"shown again",
         [&] {
             sheet(1).source->sheet_element_extra = " state=\"veryHidden\"";
             sheet(1).source->loaded->settings.hidden = true;
         },
         "<sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Notes\" sheetId=\"2\" r:id=\"rId2\"/>"
         "<sheet name=\"R&amp;D &lt;2&gt;\" sheetId=\"3\" r:id=\"rId100\"/>"},
        // One sheet stays visible, or the workbook is repaired on opening.
        {"all hidden",
         [&] {
             for (int k = 0; k < 3; ++k) sheet(k).settings.hidden = true;
         },
         "<sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Notes\" sheetId=\"2\" state=\"hidden\" "
         "r:id=\"rId2\"/><sheet name=\"R&amp;D &lt;2&gt;\" sheetId=\"3\" state=\"hidden\" r:id=\"rId100\"/>"},
        {"namespace declared by the list", [] {},
         "<sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Notes\" sheetId=\"2\" r:id=\"rId2\"/>"
         "<sheet name=\"R&amp;D &lt;2&gt;\" sheetId=\"3\" r:id=\"rId100\"/>",
         true},
    };
    for (const Case &c : cases) {
        for (int k = 0; k < 3; ++k) sheet(k).settings.hidden = false;
        sheet(1).source->sheet_element_extra.clear();
        sheet(1).source->loaded->settings.hidden = false;
        book.source->workbook_xml = c.undeclared ? replaced(workbook, rel_namespace, "") : workbook;
        c.change();
        UpdatePlan plan;
        ASSERT_EQ(plan_update(book, plan), 0);
        std::string out;
        ASSERT_EQ(updated_workbook_part(book, plan, out), 0);
        const std::string sheets = std::string("<sheets") + (c.undeclared ? rel_namespace : "") + ">" + c.sheets + "</sheets>";
        EXPECT_NE(out.find(sheets), std::string::npos) << c.name << "\n" << out;
    }
}

TEST_F(UpdateWriterTest, RowAttributesOfThePackageAreWrittenBack) {
    read_back();
    Row &second = sheet(0).rows[1];
    second.attributes = std::make_unique<RowAttributes>();
    second.attributes->extra = " outlineLevel=\"1\" x14ac:dyDescent=\"0.25\"";
    // A row with nothing but such attributes is kept too.
    ASSERT_EQ(ensure_row(book, sheet(0), 6), 0);
    sheet(0).rows[6].attributes = std::make_unique<RowAttributes>();
    sheet(0).rows[6].attributes->extra = " collapsed=\"1\"";
    const std::string data = updated()["xl/worksheets/sheet1.xml"];
    EXPECT_NE(data.find("<row r=\"2\" spans=\"1:2\" outlineLevel=\"1\" x14ac:dyDescent=\"0.25\"><c r=\"A2\""),
              std::string::npos)
        << data;
    EXPECT_NE(data.find("<row r=\"7\" collapsed=\"1\"></row></sheetData>"), std::string::npos) << data;
    EXPECT_NE(data.find("<dimension ref=\"A1:B7\"/>"), std::string::npos);
}

TEST_F(UpdateWriterTest, NewSheetsAndTemplateCopiesGetPartsOfTheirOwn) {
    read_back();
    add_element(0, "conditionalFormatting", kConditionalFormatting, "pageMargins");
    // A plain new sheet, and a copy of Data as a template copy gets it: the template's XML
    // without a part, here with references to objects of the template's own relationships.
    ASSERT_EQ(add_sheet(book, "Extra"), 2);
    put(2, 0, 0, "extra");
    ASSERT_EQ(add_sheet(book, "Data (2)"), 3);
    put(3, 0, 0, "copied");
    put(3, 1, 1, "7");
    {
        const SheetSource &from = *sheet(0).source;
        auto copy = std::make_unique<SheetSource>();
        copy->root_start_tag = from.root_start_tag;
        copy->relationship_id = from.relationship_id;
        copy->elements = from.elements;
        copy->loaded = std::make_unique<Sheet>();
        copy->loaded->settings = sheet(0).settings;
        sheet(3).settings = sheet(0).settings;
        sheet(3).source = std::move(copy);
    }
    add_element(3, "hyperlinks",
                "<hyperlinks><hyperlink ref=\"A1\" r:id=\"rId3\"/><hyperlink ref=\"A2\" location=\"Notes!A1\"/></hyperlinks>",
                "pageMargins");
    add_element(3, "drawing", "<drawing r:id=\"rId4\"/>");
    add_element(3, "legacyDrawing", "<legacyDrawing r:id=\"rId5\"/>");
    add_element(3, "tableParts", "<tableParts count=\"1\"><tablePart r:id=\"rId6\"/></tableParts>");

    auto parts = updated();
    EXPECT_EQ(std::vector<std::string>(order.end() - 2, order.end()),
              (std::vector<std::string>{"xl/worksheets/sheet3.xml", "xl/worksheets/sheet4.xml"}));
    const std::string workbook = parts.at("xl/workbook.xml");
    EXPECT_NE(workbook.find("<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Notes\" sheetId=\"2\" "
                            "r:id=\"rId2\"/><sheet name=\"Extra\" sheetId=\"3\" r:id=\"rId100\"/><sheet name=\"Data (2)\" "
                            "sheetId=\"4\" r:id=\"rId101\"/></sheets>"),
              std::string::npos)
        << workbook;
    const std::string rels = parts.at("xl/_rels/workbook.xml.rels");
    for (const char *rel : {"<Relationship Id=\"rId100\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                            "relationships/worksheet\" Target=\"worksheets/sheet3.xml\"/>",
                            "<Relationship Id=\"rId101\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                            "relationships/worksheet\" Target=\"worksheets/sheet4.xml\"/>"})
        EXPECT_NE(rels.find(rel), std::string::npos) << rels;
    const std::string types = parts.at("[Content_Types].xml");
    for (const char *part : {"/xl/worksheets/sheet3.xml", "/xl/worksheets/sheet4.xml"})
        EXPECT_NE(types.find(std::string("<Override PartName=\"") + part +
                             "\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"),
                  std::string::npos);

    const std::string &copy = parts.at("xl/worksheets/sheet4.xml");
    for (const char *gone : {"<drawing", "<legacyDrawing", "<tableParts", "r:id", "codeName"})
        EXPECT_EQ(copy.find(gone), std::string::npos) << gone << " in " << copy;
    EXPECT_NE(copy.find("<hyperlinks><hyperlink ref=\"A2\" location=\"Notes!A1\"/></hyperlinks>"), std::string::npos);
    EXPECT_NE(copy.find(kConditionalFormatting), std::string::npos);
    EXPECT_NE(copy.find("<pageSetup paperSize=\"9\" scale=\"100\" orientation=\"portrait\" verticalDpi=\"600\"/>"),
              std::string::npos);
    // A new sheet is written as the engine writes any sheet, without a printer settings part.
    const std::string &extra = parts.at("xl/worksheets/sheet3.xml");
    EXPECT_NE(extra.find("<sheetPr codeName=\"Sheet3\" /><dimension ref=\"A1:A1\"/><sheetViews>"), std::string::npos);
    EXPECT_EQ(extra.find("r:id"), std::string::npos);

    const std::string path = save("sheets.xlsx");
    EXPECT_EQ(openpyxl(dir, path,
                       "print(wb.sheetnames, wb['Extra']['A1'].value, wb['Data (2)']['A1'].value, "
                       "wb['Data (2)']['B2'].value, wb['Data (2)']['A2'].hyperlink.location)"),
              "['Data', 'Notes', 'Extra', 'Data (2)'] extra copied 7 Notes!A1\n");
    expect_schema_valid(path);
}

TEST_F(UpdateWriterTest, AStreamedWorksheetIsTheTextTheWriterMakesWhole) {
    read_back();
    // Several pieces of rows, each handed over while the next is written.
    for (int row = 0; row < 30000; ++row)
        for (int column = 0; column < 4; ++column)
            put(1, row + 5, column, std::to_string(row * 4 + column).c_str());
    const auto parts = updated();
    ASSERT_GT(parts.at("xl/worksheets/sheet2.xml").size(), 2u << 20);
    const std::string path = save("big.xlsx");
    EXPECT_EQ(unzip_entry(path, "xl/worksheets/sheet2.xml"), parts.at("xl/worksheets/sheet2.xml"));
}

TEST_F(UpdateWriterTest, SavingABookWithASourceTakesTheUpdatePathToDiskOrMemory) {
    read_back();
    const std::vector<NumFormat> package_formats = book.styles.num_formats();
    NumFormat own;
    own.kind = 109;
    own.decimals = 2;
    int index = 0;
    ASSERT_EQ(append_num_format(book, own, index), 0);
    put(0, 5, 0, "after reading");

    const std::string path = dir / "saved.xlsx";
    ASSERT_EQ(save_book(book, {false, path}), 0);
    EXPECT_TRUE(archive_tests_clean(path));
    const auto names = entry_names(path);
    EXPECT_EQ(std::count(names.begin(), names.end(), "xl/calcChain.xml"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), kStoredName), 1);
    // The package's formats keep their ids; the added one follows them.
    const auto &formats = book.styles.num_formats();
    std::uint32_t highest = 0;
    for (std::size_t k = 0; k < package_formats.size(); ++k) {
        EXPECT_EQ(formats[k].assigned_id, package_formats[k].assigned_id);
        highest = std::max<std::uint32_t>(highest, formats[k].assigned_id);
    }
    EXPECT_EQ(formats.back().assigned_id, std::max<std::uint32_t>(164, highest + 1));

    ASSERT_EQ(save_book(book, {true, "updated_in_memory.xlsx"}), 0);
    MFile *memory = mfind("updated_in_memory.xlsx");
    ASSERT_NE(memory, nullptr);
    const std::string copy = dir.write("from_memory.xlsx", std::string(mdata(memory)));
    mrelease("updated_in_memory.xlsx");
    EXPECT_TRUE(archive_tests_clean(copy));
    EXPECT_EQ(plain_texts(copy), plain_texts(path));
}

TEST_F(UpdateWriterTest, ABookWithoutASourceOrWithAnUnreadableWorkbookIsRefused) {
    EXPECT_EQ(tsx_update_excel2007(book, {false, dir / "none.xlsx"}), -1);
    read_back();
    book.source->workbook_xml = "<workbook><sheets>";
    const std::string path = dir / "broken.xlsx";
    EXPECT_EQ(tsx_update_excel2007(book, {false, path}), -1);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace tabsmith
