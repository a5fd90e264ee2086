// Reading packages through TXLS_open_book: sheets bound through relationships, value kinds,
// styles and dates, the modes, and packages that must be refused with a coded error.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <zlib.h>

#include "common/fixtures.h"
#include "common/package_builder.h"
#include "support/zip_archive.h"

namespace tabsmith::testing {
namespace {

class ReaderTest : public BookTest {
protected:
    std::string save(const WorkbookPackage &package, const std::string &name = "book.xlsx") {
        std::string path = folder / name;
        EXPECT_TRUE(write_package(path, package.parts()));
        return path;
    }
    int open_path(const std::string &path, const std::string &mode = "READ") {
        return open(("CHARSET=UTF8 MODE=" + mode + " BOOK=\"" + path + "\"").c_str());
    }
    std::string sheet_name(int index) {
        char name[256] = "";
        TXLS_sheet_name(&book, index, name, sizeof name);
        return name;
    }
    TempFolder folder;
};

std::string cell(const std::string &ref, const std::string &inner, const std::string &attributes = "") {
    return "<c r=\"" + ref + "\"" + attributes + ">" + inner + "</c>";
}

TEST_F(ReaderTest, ElevenSheetsEachGetTheirOwnPart) {
    WorkbookPackage package;
    for (int k = 1; k <= 11; ++k)
        package.sheets.push_back({"S" + std::to_string(k),
                                  worksheet_xml("<row r=\"1\">" + cell("A1", "<v>" + std::to_string(k) + "</v>") + "</row>")});
    ASSERT_EQ(open_path(save(package)), 0) << message();
    ASSERT_EQ(TXLS_sheet_num(&book), 11);
    for (int k = 1; k <= 11; ++k) {
        ASSERT_EQ(TXLS_open_sheet2(&book, k - 1), 0);
        EXPECT_EQ(sheet_name(k - 1), "S" + std::to_string(k));
        EXPECT_EQ(value("A1"), std::to_string(k)) << "sheet " << k;
    }
}

TEST_F(ReaderTest, SheetsFollowTheirRelationshipsNotThePartNames) {
    // The workbook lists Second before First, and the relationships cross over.
    PackageParts parts = {
        {"[Content_Types].xml", "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {"_rels/.rels", std::string("<Relationships xmlns=\"") + kPackageRelNs + "\"><Relationship Id=\"r\" Type=\"" +
                            kRelNs + "/officeDocument\" Target=\"/book/main.xml\"/></Relationships>"},
        {"book/main.xml", std::string("<workbook xmlns=\"") + kMainNs + "\" xmlns:r=\"" + kRelNs +
                              "\"><sheets><sheet name=\"Second\" sheetId=\"2\" r:id=\"b\"/>"
                              "<sheet name=\"First\" sheetId=\"1\" r:id=\"a\"/></sheets></workbook>"},
        {"book/_rels/main.xml.rels", std::string("<Relationships xmlns=\"") + kPackageRelNs +
                                         "\"><Relationship Id=\"a\" Type=\"" + kRelNs +
                                         "/worksheet\" Target=\"/book/Sheet1.xml\"/><Relationship Id=\"b\" Type=\"" + kRelNs +
                                         "/worksheet\" Target=\"sheets/../Sheet2.xml\"/></Relationships>"},
        {"book/Sheet1.xml", worksheet_xml("<row r=\"1\">" + cell("A1", "<v>1</v>") + "</row>")},
        {"book/Sheet2.xml", worksheet_xml("<row r=\"1\">" + cell("A1", "<v>2</v>") + "</row>")},
    };
    std::string path = folder / "moved.xlsx";
    ASSERT_TRUE(write_package(path, parts));
    ASSERT_EQ(open_path(path), 0) << message();
    EXPECT_EQ(sheet_name(0), "Second");
    EXPECT_EQ(value("A1"), "2");
    ASSERT_EQ(TXLS_open_sheet2(&book, 1), 0);
    EXPECT_EQ(value("A1"), "1");
}

// Names a workbook may not carry are read as they are and repaired when the book is saved.
TEST_F(ReaderTest, SheetNamesNoWorkbookMayCarryAreRepairedOnSaving) {
    const std::string long_kanji = "日本語の売上集計表" "日本語の売上集計表" "日本語の売上集計表" "日本語の売上";   // 33
    const std::pair<std::string, std::string> names[] = {
        {"a/b:c", "a_b_c"},  {"", "Sheet3"},      {std::string(40, 'x'), std::string(31, 'x')},
        {"Dup", "Dup"},      {"dup", "dup (2)"},  {"'q'", "_q_"},
        {long_kanji, long_kanji.substr(0, 31 * 3)}, {"[*?]\\", "_____"}, {"fine", "fine"},
    };
    WorkbookPackage package;
    package.sheets.push_back({"first", worksheet_xml("")});
    for (const auto &[name, repaired] : names) package.sheets.push_back({name, worksheet_xml("")});
    const std::string source = save(package), copy = folder / "copy.xlsx";
    ASSERT_EQ(open_path(source), 0) << message();
    EXPECT_EQ(sheet_name(2), "");
    ASSERT_EQ(open(("CHARSET=UTF8 BOOK=\"" + copy + "\" TEMPLATE=\"" + source + "\"").c_str()), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    ASSERT_EQ(open_path(copy), 0) << message();
    for (std::size_t k = 0; k < std::size(names); ++k) EXPECT_EQ(sheet_name(static_cast<int>(k) + 1), names[k].second) << k;
}

TEST_F(ReaderTest, ValueKinds) {
    WorkbookPackage package;
    package.shared_strings = shared_strings_xml({"<t>zero</t>", "<r><t>rich </t></r><r><t>text</t></r><rPh><t>ヨミ</t></rPh>",
                                                 "<t>line_x000D_end</t>"});
    package.styles = styles_xml("", "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"49\"/>");
    package.sheets.push_back(
        {"Kinds", worksheet_xml("<row r=\"1\">" + cell("A1", "<v>12</v>") + cell("B1", "<v>12.5</v>") +
                                cell("C1", "<v>45000</v>", " s=\"1\"") + cell("D1", "<v>0</v>", " t=\"s\"") +
                                cell("E1", "<v>1</v>", " t=\"s\"") + cell("F1", "<v>3</v>", " t=\"s\"") +
                                cell("G1", "<v>1</v>", " t=\"b\"") + cell("H1", "<v>#DIV/0!</v>", " t=\"e\"") +
                                cell("I1", "<is><t>in &amp; line</t></is>", " t=\"inlineStr\"") +
                                cell("J1", "<v>2</v>", " t=\"s\"") + cell("K1", "<v>7</v>", " s=\"2\"") +
                                cell("L1", "<f>SUM(A1:B1)</f><v>24.5</v>") +
                                cell("M1", "<f>A1&amp;\"x\"</f><v>12x</v>", " t=\"str\"") + "</row>")});
    ASSERT_EQ(open_path(save(package)), 0) << message();
    EXPECT_EQ(get("A1"), (std::pair<std::string, std::string>{"12", "INTEGER"}));
    EXPECT_EQ(get("B1"), (std::pair<std::string, std::string>{"12.5", "FLOAT"}));
    EXPECT_EQ(get("C1"), (std::pair<std::string, std::string>{"2023/3/15", "DATE"}));
    EXPECT_EQ(value("D1"), "zero");
    EXPECT_EQ(value("E1"), "rich text") << "runs joined, readings left out";
    EXPECT_EQ(value("F1"), "") << "an index past the table names no string";
    EXPECT_EQ(get("G1"), (std::pair<std::string, std::string>{"TRUE", "BOOLEAN"}));
    EXPECT_EQ(get("H1"), (std::pair<std::string, std::string>{"#DIV/0!", "ERROR"}));
    EXPECT_EQ(value("I1"), "in & line");
    EXPECT_EQ(value("J1"), "line\rend");
    EXPECT_EQ(get("K1"), (std::pair<std::string, std::string>{"7", "INTEGER"})) << "text format @ is no time";
    EXPECT_EQ(get("L1"), (std::pair<std::string, std::string>{"24.5", "FORMULA:SUM(A1:B1)"}));
    EXPECT_EQ(get("M1"), (std::pair<std::string, std::string>{"12x", "FORMULA:A1&\"x\""}));
}

TEST_F(ReaderTest, DatesOfThe1904System) {
    WorkbookPackage package;
    package.workbook_pr = "<workbookPr date1904=\"1\"/>";
    package.styles = styles_xml("", "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/>");
    package.sheets.push_back({"D", worksheet_xml("<row r=\"1\">" + cell("A1", "<v>0</v>", " s=\"1\"") +
                                                  cell("B1", "<v>43466</v>", " s=\"1\"") + "</row>")});
    const std::string path = save(package);
    ASSERT_EQ(open_path(path, "UPDATE"), 0) << message();
    EXPECT_EQ(value("A1"), "1904/1/1");
    EXPECT_EQ(value("B1"), "2023/1/2");
    // A date put into the book is saved in the book's own system.
    ASSERT_EQ(TXLS_put_cell(&book, "C1", "2023/01/02"), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    ASSERT_EQ(open_path(path), 0) << message();
    EXPECT_EQ(value("C1"), "2023/1/2");
    const Cell *saved = find_cell(store(), 0, 0, 2);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->number(), 43466 + 1462) << "held in the 1900 system, read from 43466 in the file";
}

TEST_F(ReaderTest, CustomFormatsAndTheirLimit) {
    std::string formats = "<numFmts>";
    for (int k = 0; k < 501; ++k)
        formats += "<numFmt numFmtId=\"" + std::to_string(200 + k) + "\" formatCode=\"yyyy/mm/dd\"/>";
    formats += "</numFmts>";
    WorkbookPackage package;
    package.styles = styles_xml(formats, "<xf numFmtId=\"0\"/><xf numFmtId=\"200\"/><xf numFmtId=\"700\"/>");
    package.sheets.push_back({"F", worksheet_xml("<row r=\"1\">" + cell("A1", "<v>45000</v>", " s=\"1\"") +
                                                  cell("B1", "<v>45000</v>", " s=\"2\"") + "</row>")});
    ASSERT_EQ(open_path(save(package)), 0) << message();
    EXPECT_EQ(store().styles.num_formats().size(), 500u);
    EXPECT_EQ(kind("A1"), "DATE");
    EXPECT_EQ(kind("B1"), "INTEGER") << "the 501st format is dropped: its cells read as General";
}

TEST_F(ReaderTest, UnloadRendersThroughTheFilesFormats) {
    WorkbookPackage package;
    package.styles = styles_xml("<numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"#,##0\"/>"
                                "<numFmt numFmtId=\"165\" formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/></numFmts>",
                                "<xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/><xf numFmtId=\"3\"/>");
    package.sheets.push_back({"U", worksheet_xml("<row r=\"1\">" + cell("A1", "<v>1234567</v>", " s=\"1\"") +
                                                  cell("B1", "<v>45000</v>", " s=\"2\"") +
                                                  cell("C1", "<v>9876</v>", " s=\"3\"") + cell("D1", "<v>12.5</v>") + "</row>")});
    const std::string path = save(package);
    ASSERT_EQ(open_path(path, "UNLOAD"), 0) << message();
    EXPECT_EQ(value("A1"), "1,234,567");
    EXPECT_EQ(value("B1"), "2023年3月15日");
    EXPECT_EQ(value("C1"), "9,876");
    EXPECT_EQ(value("D1"), "12.5");
    ASSERT_EQ(open_path(path, "LOAD"), 0) << message();
    EXPECT_EQ(value("A1"), "1234567") << "LOAD hands out the values as stored";
}

TEST_F(ReaderTest, SheetDataWrittenSelfClosingKeepsWhatFollows) {
    WorkbookPackage package;
    package.sheets.push_back({"E", std::string("<worksheet xmlns=\"") + kMainNs +
                                       "\"><sheetData/><pageMargins left=\"1\" right=\"1\" top=\"1\" bottom=\"1\" "
                                       "header=\"0\" footer=\"0\"/></worksheet>"});
    ASSERT_EQ(open_path(save(package), "UPDATE"), 0) << message();
    const Sheet &sheet = *store().sheet(0);
    ASSERT_TRUE(sheet.source);
    ASSERT_EQ(sheet.source->elements.size(), 1u);
    EXPECT_EQ(sheet.source->elements[0].name, "pageMargins");
    EXPECT_EQ(TXLS_row_num(&book), 0);
}

TEST_F(ReaderTest, ModesAndTheirRules) {
    WorkbookPackage package;
    package.sheets.push_back({"One", worksheet_xml("<row r=\"2\">" + cell("B2", "<f>1+1</f><v>2</v>") + "</row>")});
    package.sheets.push_back({"Two", worksheet_xml("")});
    const std::string path = save(package);

    ASSERT_EQ(open_path(path, "LIST"), 0) << message();
    EXPECT_EQ(TXLS_sheet_num(&book), 2);
    EXPECT_EQ(sheet_name(1), "Two");

    ASSERT_EQ(open_path(path, "UPDATE"), 0) << message();
    EXPECT_EQ(TXLS_put_cell(&book, "B2", "5"), -3);
    EXPECT_NE(message().find("TXLS-03203"), std::string::npos) << message();
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=New"), -3);
    EXPECT_NE(message().find("TXLS-02209"), std::string::npos) << message();
    EXPECT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Copy TEMPLATE=One"), 0) << message();
    EXPECT_EQ(TXLS_sheet_num(&book), 3);
    EXPECT_EQ(kind("B2"), "FORMULA:1+1") << "the copy starts with the template sheet's cells";

    // The same package from a memory file.
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(TXLS_memory_put("inmemory.xlsx", bytes.data(), static_cast<long>(bytes.size())), 0);
    ASSERT_EQ(open("CHARSET=UTF8 MODE=READ READ_MEMORY=TRUE BOOK=inmemory.xlsx"), 0) << message();
    EXPECT_EQ(sheet_name(0), "One");
    EXPECT_EQ(value("B2"), "2");
}

// A template opened without a BOOK of its own must not be saved over itself.
TEST_F(ReaderTest, TemplateBooksAreSavedUnderTheirOwnName) {
    WorkbookPackage package;
    package.sheets.push_back({"One", worksheet_xml("")});
    const std::string path = save(package, "template.xlsx");
    const std::string cwd = std::filesystem::current_path().string();
    const struct {
        std::string extra;
        std::string file_name;
    } cases[] = {
        {"", cwd + "/Book1.xlsx"},
        {" BOOK=filled.xlsx", cwd + "/filled.xlsx"},
        {" BOOK=\"" + folder / "out.xlsx" + "\"", folder / "out.xlsx"},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(open(("CHARSET=UTF8 MODE=CREATE TEMPLATE=\"" + path + "\"" + c.extra).c_str()), 0) << message();
        EXPECT_EQ(store().file_name, c.file_name) << c.extra;
    }
    ASSERT_EQ(open_path(path, "UPDATE"), 0) << message();
    EXPECT_EQ(store().file_name, path) << "a book updated is saved over its file";
}

// A part large enough to be read in pieces by two parsers: rows the dimension does not cover,
// rows without numbers, a row number met twice far apart, inline strings and shared strings,
// and megabytes of blanks before, among and after the rows.
TEST_F(ReaderTest, LargePartsReadInPiecesAgree) {
    constexpr int kRows = 90000;
    std::string rows;
    rows.reserve(12 << 20);
    for (int r = 1; r <= kRows; ++r) {
        const std::string n = std::to_string(r);
        // Every seventh row leaves its number out: it follows the row before it.
        if (r == kRows / 2) rows.append(3 << 20, ' ');
        rows += r % 7 == 0 ? "<row>" : "<row r=\"" + n + "\">";
        rows += cell("A" + n, "<v>" + n + "</v>") + cell("B" + n, "<v>" + std::to_string(r % 3) + "</v>", " t=\"s\"") +
                cell("C" + n, "<is><t>line " + n + "</t></is>", " t=\"inlineStr\"") +
                cell("D" + n, "<v>" + n + ".5</v>") + "</row>";
    }
    // Row 5 again at the end: its later cells win, the others stay.
    rows += "<row r=\"5\">" + cell("E5", "<v>55</v>") + cell("A5", "<v>-5</v>") + "</row>";
    WorkbookPackage package;
    package.shared_strings = shared_strings_xml({"<t>zero</t>", "<t>one</t>", "<t>two</t>"});
    std::string part = worksheet_xml(rows);
    part.insert(part.find("<sheetData>"), "<dimension ref=\"A1:D1000\"/>" + std::string(2 << 20, '\n'));
    part.insert(part.find("<row"), std::string(2 << 20, ' '));
    part.insert(part.find("</worksheet>"), std::string(2 << 20, '\t'));
    package.sheets.push_back({"Big", std::move(part)});
    ASSERT_EQ(open_path(save(package)), 0) << message();
    EXPECT_EQ(TXLS_row_num(&book), kRows);
    for (int r : {1, 2, 6, 7, 8, 999, 1000, 1001, 50000, 89999, kRows}) {
        const std::string n = std::to_string(r);
        EXPECT_EQ(value(("A" + n).c_str()), n) << r;
        const char *const words[] = {"zero", "one", "two"};
        EXPECT_EQ(value(("B" + n).c_str()), words[r % 3]) << r;
        EXPECT_EQ(value(("C" + n).c_str()), "line " + n) << r;
        EXPECT_EQ(value(("D" + n).c_str()), n + ".5") << r;
    }
    EXPECT_EQ(value("A5"), "-5");
    EXPECT_EQ(value("E5"), "55");
    EXPECT_EQ(value("C5"), "line 5");
}

// A <dimension> is a claim that costs nothing to write: the row table grows with the rows present.
TEST_F(ReaderTest, AClaimedExtentSizesNoMoreRowsThanThePartHolds) {
    WorkbookPackage package;
    for (const char *name : {"One", "Two"})
        package.sheets.push_back({name, "<worksheet xmlns=\"" + std::string(kMainNs) +
                                            "\"><dimension ref=\"A1:XFD1048576\"/><sheetData><row r=\"1\">" +
                                            cell("A1", "<v>1</v>") + "</row></sheetData></worksheet>"});
    ASSERT_EQ(open_path(save(package)), 0) << message();
    for (const auto &sheet : store().sheets) EXPECT_LT(sheet->rows.size(), 1000u) << sheet->name;
    EXPECT_EQ(value("A1"), "1");
}

// A refused package gets a coded message that says which part, where and what was wrong.
TEST_F(ReaderTest, RefusedPackagesGetCodedErrors) {
    struct Case {
        const char *what;
        PackageParts parts;
        const char *raw;       // written as is instead of a package when set
        int rc;
        std::vector<std::string> said;   // all in the message
    };
    std::string open_tags, close_tags;
    for (int k = 0; k < 100; ++k) open_tags += "<x>", close_tags += "</x>";  // 101 with the root
    auto one_sheet = [](const std::string &xml) {
        WorkbookPackage package;
        package.sheets.push_back({"S", xml});
        return package.parts();
    };
    PackageParts doubled = one_sheet(worksheet_xml(""));
    doubled.push_back({"XL/Workbook.xml", "<workbook/>"});
    PackageParts external = one_sheet(worksheet_xml(""));
    for (auto &[name, text] : external)
        if (name == "xl/_rels/workbook.xml.rels") text.replace(text.find("Target="), 7, "TargetMode=\"External\" Target=");
    PackageParts doctype = one_sheet(worksheet_xml(""));
    for (auto &[name, text] : doctype)
        if (name == "xl/workbook.xml") text.insert(text.find("<workbook"), "<!DOCTYPE workbook [<!ENTITY x \"y\">]>");
    const std::string sheet = "xl/worksheets/sheet1.xml";
    const Case cases[] = {
        {"no workbook part", {{"[Content_Types].xml", "<Types/>"}, {"other.xml", "<a/>"}}, nullptr, -4, {"TXLS-00900"}},
        {"not a zip", {}, "this is no workbook package at all", -4, {"TXLS-00900"}},
        {"a zip without its directory", {}, "PK\x03\x04 and then nothing of a package", -101, {"TXLS-03101"}},
        {"nesting 101 deep", one_sheet(worksheet_xml("", open_tags + close_tags)), nullptr, -1,
         {"tsx_read_excel2007() rc=-9: " + sheet + "(", "要素の入れ子が深すぎます"}},
        {"an 81-byte tag name", one_sheet(worksheet_xml("", "<" + std::string(81, 'n') + "/>")), nullptr, -1,
         {"rc=-9: " + sheet + "(", "名前が長すぎます"}},
        {"mismatched tags", one_sheet("<worksheet><sheetData><row></sheetData></worksheet>"), nullptr, -1,
         {"rc=-1: " + sheet + "(", "要素が閉じないまま終わっています"}},
        {"a wrong end tag", one_sheet("<worksheet><sheetData/></sheet></worksheet>"), nullptr, -1,
         {"rc=-1: " + sheet + "(24バイト目): 終了タグが開始タグと対応していません"}},
        {"a bad cell reference", one_sheet(worksheet_xml("<row r=\"1\"><c r=\"A0\"/></row>")), nullptr, -1,
         {"rc=-1: " + sheet + "(", "セル参照が不正です(\"A0\")"}},
        {"a DOCTYPE", doctype, nullptr, -1, {"rc=-1: xl/workbook.xml(22バイト目): DOCTYPE宣言は受け付けません"}},
        {"two entries of one name", doubled, nullptr, -1, {"rc=-1: XL/Workbook.xml: 同じ名前のエントリが複数あります"}},
        {"only an external sheet", external, nullptr, -1, {"rc=-1: xl/workbook.xml: パッケージ内のシートがありません"}},
        {"an entry leaving the folder", {{"../evil.xml", "<a/>"}, {"xl/workbook.xml", "<workbook/>"}}, nullptr, -4,
         {"TXLS-00900", "../evil.xml: エントリ名が不正です"}},
    };
    for (const Case &c : cases) {
        std::string path = folder / "refused.xlsx";
        std::filesystem::remove(path);
        if (c.raw) folder.write("refused.xlsx", c.raw);
        else ASSERT_TRUE(write_package(path, c.parts)) << c.what;
        EXPECT_EQ(open_path(path), c.rc) << c.what;
        for (const std::string &said : c.said) EXPECT_NE(message().find(said), std::string::npos) << c.what << ": " << message();
        EXPECT_EQ(book.work, nullptr) << c.what;
    }
}

}  // namespace
}  // namespace tabsmith::testing

namespace tabsmith::testing {
namespace {

// Books read from a package and saved again: formulas computed or left to the reader, the
// template statement, and a save under the caller's name.
class ReadAndSaveTest : public ReaderTest {
protected:
    // The formula cell's value and kind after reopening the saved book.
    std::pair<std::string, std::string> reread(const std::string &path, const char *cell) {
        EXPECT_EQ(open_path(path), 0) << message();
        return get(cell);
    }
    std::string workbook_part(const std::string &path) {
        std::string command = "unzip -p '" + path + "' xl/workbook.xml";
        std::string out;
        if (FILE *pipe = popen(command.c_str(), "r")) {
            char buffer[4096];
            std::size_t n;
            while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
            pclose(pipe);
        }
        return out;
    }
};

// An entry the engine cannot inflate (deflate64) but need not read: the book opens, and a save
// copies the entry through as it was stored.
TEST_F(ReadAndSaveTest, AnEntryOfAnotherMethodIsCopiedThrough) {
    WorkbookPackage package;
    package.sheets.push_back({"S", worksheet_xml("<row r=\"1\">" + cell("A1", "<v>1</v>") + "</row>")});
    const std::string path = folder / "deflate64.xlsx";
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    {
        ZipPackageWriter zip;
        ASSERT_EQ(zip.open_descriptor(descriptor), 0);
        for (const auto &[name, text] : package.parts()) {
            ZipEntryInfo entry;
            entry.name = name;
            entry.method = 0;
            entry.crc32 = static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(text.data()), text.size()));
            entry.packed_size = entry.plain_size = text.size();
            ASSERT_EQ(zip.copy_entry(entry, text), 0);
        }
        ZipEntryInfo opaque;
        opaque.name = "xl/media/opaque.bin";
        opaque.method = 9;
        opaque.crc32 = 0x12345678;
        opaque.packed_size = 5;
        opaque.plain_size = 9;
        ASSERT_EQ(zip.copy_entry(opaque, "\x01\x02\x03\x04\x05"), 0);
        ASSERT_EQ(zip.close(), 0);
    }
    ::close(descriptor);
    ASSERT_EQ(open_path(path), 0) << message();
    ASSERT_EQ(open_path(path, "UPDATE"), 0) << message();
    ASSERT_EQ(TXLS_put_cell(&book, "B1", "2"), 0);
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    ZipPackageReader saved;
    ASSERT_EQ(saved.open(path, false), 0);
    const int index = saved.find("xl/media/opaque.bin");
    ASSERT_GE(index, 0);
    EXPECT_EQ(saved.entries()[static_cast<std::size_t>(index)].method, 9);
    std::string raw;
    EXPECT_EQ(saved.read_raw(index, raw), 0);
    EXPECT_EQ(raw, "\x01\x02\x03\x04\x05");
    EXPECT_EQ(reread(path, "B1").first, "2");
}

TEST_F(ReadAndSaveTest, NoStaleFormulaResultSurvivesASave) {
    WorkbookPackage package;
    package.sheets.push_back(
        {"S", worksheet_xml("<row r=\"1\">" + cell("A1", "<v>1</v>") + cell("B1", "<f>SUM(A1:A2)</f><v>3</v>") +
                            cell("C1", "<f>A1/3</f><v>0.33333333333333331</v>") +
                            cell("D1", "<f>_xlfn.NOSUCH(A1)</f><v>7</v>") + "</row><row r=\"2\">" +
                            cell("A2", "<v>2</v>") + "</row>")});
    const std::string path = save(package);

    // Saved untouched: every cached value stays as the package had it.
    ASSERT_EQ(open_path(path, "UPDATE"), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    EXPECT_EQ(reread(path, "C1").first, "0.3333333333333333");
    EXPECT_EQ(workbook_part(path).find("fullCalcOnLoad"), std::string::npos);

    // A value changed: what the engine computes is stored, what it cannot loses its old value
    // and the workbook asks to be computed on opening; a result that did not change keeps its
    // exact cached value.
    ASSERT_EQ(open_path(path, "UPDATE"), 0) << message();
    ASSERT_EQ(TXLS_put_cell(&book, "A2", "10"), 0) << message();
    ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
    EXPECT_EQ(reread(path, "B1"), (std::pair<std::string, std::string>{"11", "FORMULA:SUM(A1:A2)"}));
    EXPECT_EQ(value("C1"), "0.3333333333333333");
    EXPECT_EQ(get("D1"), (std::pair<std::string, std::string>{"", "FORMULA:_xlfn.NOSUCH(A1)"}));
    EXPECT_NE(workbook_part(path).find("fullCalcOnLoad=\"1\""), std::string::npos);
}

TEST_F(ReadAndSaveTest, TemplatesFillIntoANewBook) {
    WorkbookPackage package;
    package.styles = styles_xml("", "<xf numFmtId=\"0\"/><xf numFmtId=\"0\" fontId=\"0\"/>");
    package.sheets.push_back({"Form", worksheet_xml("<row r=\"1\">" + cell("A1", "<v>0</v>", " t=\"s\"") + "</row>",
                                                    "<pageMargins left=\"0.5\" right=\"0.5\" top=\"1\" bottom=\"1\" "
                                                    "header=\"0.3\" footer=\"0.3\"/>")});
    package.shared_strings = shared_strings_xml({"<t>Title</t>"});
    const std::string template_path = save(package, "form.xlsx");
    const std::string out = folder / "filled.xlsx";

    // The open option and the statement both start from the template; the template stays as it was.
    for (bool by_statement : {false, true}) {
        if (by_statement) {
            ASSERT_EQ(open(("CHARSET=UTF8 BOOK=\"" + out + "\"").c_str()), 0) << message();
            ASSERT_EQ(TXLS_put_values(&book, ("TEMPLATE=\"" + template_path + "\"").c_str()), 0) << message();
        } else {
            ASSERT_EQ(open(("CHARSET=UTF8 BOOK=\"" + out + "\" TEMPLATE=\"" + template_path + "\"").c_str()), 0)
                << message();
        }
        ASSERT_EQ(TXLS_put_cell(&book, "B2", "2024/04/30"), 0) << message();
        ASSERT_EQ(TXLS_put_cell(&book, "A3", "filled"), 0) << message();
        ASSERT_EQ(TXLS_close_book(&book, "SAVE"), 0) << message();
        ASSERT_EQ(open_path(out), 0) << message();
        EXPECT_EQ(value("A1"), "Title");
        EXPECT_EQ(get("B2"), (std::pair<std::string, std::string>{"2024/4/30", "DATE"})) << "shown as a date";
        EXPECT_EQ(value("A3"), "filled");
        ASSERT_EQ(open_path(template_path), 0) << message();
        EXPECT_EQ(value("A3"), "") << "the template itself is unchanged";
    }
}

}  // namespace
}  // namespace tabsmith::testing
