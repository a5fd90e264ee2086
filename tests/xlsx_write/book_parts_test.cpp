// Golden texts of the book-level parts: content types, relationships, document properties,
// workbook and shared strings, over books that take each branch.

#include <gtest/gtest.h>

#include "api/book_init.h"
#include "model/book.h"
#include "xlsx_write/book_parts.h"
#include "xlsx_write/package_writer.h"
#include "support/xml_escape.h"

using namespace tabsmith;

namespace {

const std::string kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
const std::string kRelsRoot = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";

void two_sheets(Book &book) {
    add_sheet(book, "Sales");
    add_sheet(book, "Costs");
}

}  // namespace

TEST(BookParts, ContentTypesListEverySheetAfterTheFixedEntries) {
    Book book;
    two_sheets(book);
    EXPECT_EQ(content_types_part(book, {}),
              kDecl +
                  "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                  "<Override PartName=\"/xl/theme/theme1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/>"
                  "<Override PartName=\"/xl/styles.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
                  "<Default Extension=\"bin\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.printerSettings\"/>"
                  "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                  "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                  "<Override PartName=\"/xl/workbook.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                  "<Override PartName=\"/docProps/app.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
                  "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                  "<Override PartName=\"/xl/worksheets/sheet2.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                  "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>"
                  "<Override PartName=\"/docProps/core.xml\" ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/></Types>");
}

TEST(BookParts, FinalAndThumbnailEntries) {
    Book book;
    two_sheets(book);
    book.settings.final = true;
    PackageInventory inventory;
    inventory.thumbnail = true;
    std::string types = content_types_part(book, inventory);
    EXPECT_NE(types.find("<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                         "<Default Extension=\"jpeg\" ContentType=\"image/jpeg\"/><Override PartName=\"/xl/theme"),
              std::string::npos);
    EXPECT_NE(types.find("+xml\"/><Override PartName=\"/docProps/custom.xml\" ContentType=\"application/vnd.openxmlformats-"
                         "officedocument.custom-properties+xml\"/><Override PartName=\"/xl/worksheets/sheet1.xml\""),
              std::string::npos);

    const std::string fixed =
        "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" Target=\"docProps/app.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" Target=\"xl/workbook.xml\"/>"
        "</Relationships>";
    const std::string custom = "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/custom-properties\" Target=\"docProps/custom.xml\"/>";
    const std::string thumb = "<Relationship Id=\"rId4\" Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/thumbnail\" Target=\"docProps/thumbnail.jpeg\"/>";
    EXPECT_EQ(package_rels_part(book), kDecl + kRelsRoot + "<Relationship Id=\"rId4\" " + custom + fixed);
    book.settings.thumbnail_path = "thumb.jpg";
    EXPECT_EQ(package_rels_part(book), kDecl + kRelsRoot + "<Relationship Id=\"rId5\" " + custom + thumb + fixed);
    book.settings.final = false;
    EXPECT_EQ(package_rels_part(book), kDecl + kRelsRoot + thumb + fixed);
    EXPECT_EQ(custom_part(),
              kDecl + "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/custom-properties\" "
                      "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\"><property "
                      "fmtid=\"{D5CDD505-2E9C-101B-9397-08002B2CF9AE}\" pid=\"2\" name=\"_MarkAsFinal\"><vt:bool>true"
                      "</vt:bool></property></Properties>");
}

TEST(BookParts, WorkbookRelationshipIdsFollowTheSheets) {
    Book book;
    two_sheets(book);
    EXPECT_EQ(workbook_rels_part(book),
              kDecl + kRelsRoot +
                  "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                  "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" Target=\"worksheets/sheet2.xml\"/>"
                  "<Relationship Id=\"rId5\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings\" Target=\"sharedStrings.xml\"/>"
                  "<Relationship Id=\"rId4\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" Target=\"styles.xml\"/>"
                  "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme\" Target=\"theme/theme1.xml\"/>"
                  "</Relationships>");
}

TEST(BookParts, AppListsSheetNumbersAndPrintTitles) {
    Book book;
    two_sheets(book);
    const std::string head =
        "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
        "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\"><Application>Microsoft "
        "Excel</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</ScaleCrop>";
    const std::string tail =
        "</vt:vector></TitlesOfParts><Company>MyCompany</Company><LinksUpToDate>false</LinksUpToDate><SharedDoc>false"
        "</SharedDoc><HyperlinksChanged>false</HyperlinksChanged><AppVersion>12.0000</AppVersion></Properties>";
    EXPECT_EQ(app_part(book),
              kDecl + head +
                  "<HeadingPairs><vt:vector size=\"2\" baseType=\"variant\"><vt:variant><vt:lpstr>ワークシート</vt:lpstr>"
                  "</vt:variant><vt:variant><vt:i4>2</vt:i4></vt:variant></vt:vector></HeadingPairs><TitlesOfParts>"
                  "<vt:vector size=\"2\" baseType=\"lpstr\"><vt:lpstr>Sheet1</vt:lpstr><vt:lpstr>Sheet2</vt:lpstr>" +
                  tail);
    book.sheets[1]->settings.title_row1 = 1;
    book.settings.manager = "Boss & Co";
    book.settings.app_version = 2010;
    std::string app = app_part(book);
    EXPECT_NE(app.find("<vt:vector size=\"4\" baseType=\"variant\"><vt:variant><vt:lpstr>ワークシート</vt:lpstr></vt:variant>"
                       "<vt:variant><vt:i4>2</vt:i4></vt:variant><vt:variant><vt:lpstr>名前付き一覧</vt:lpstr></vt:variant>"
                       "<vt:variant><vt:i4>1</vt:i4></vt:variant></vt:vector></HeadingPairs><TitlesOfParts><vt:vector "
                       "size=\"3\" baseType=\"lpstr\"><vt:lpstr>Sheet1</vt:lpstr><vt:lpstr>Sheet2</vt:lpstr><vt:lpstr>"
                       "Costs!Print_Titles</vt:lpstr></vt:vector></TitlesOfParts><Manager>Boss &amp; Co</Manager>"),
              std::string::npos);
    EXPECT_NE(app.find("<AppVersion>14.0000</AppVersion>"), std::string::npos);
}

TEST(BookParts, CoreCarriesTitlesCreatorAndStamps) {
    Book book;
    two_sheets(book);
    const std::string head =
        "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
        "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">";
    const std::string stamps =
        "<dcterms:created xsi:type=\"dcterms:W3CDTF\">2024-01-02T03:04:05Z</dcterms:created><dcterms:modified "
        "xsi:type=\"dcterms:W3CDTF\">2024-01-02T03:04:05Z</dcterms:modified></cp:coreProperties>";
    EXPECT_EQ(core_part(book, "2024-01-02T03:04:05Z"),
              kDecl + head + "<dc:creator>MyName</dc:creator><cp:lastModifiedBy>MyName</cp:lastModifiedBy>" + stamps);
    book.settings.title = "売上<報告>";
    book.settings.subject = "Q1";
    book.author = "山田";
    EXPECT_EQ(core_part(book, "2024-01-02T03:04:05Z"),
              kDecl + head + "<dc:title>売上&lt;報告&gt;</dc:title><dc:subject>Q1</dc:subject><dc:creator>山田</dc:creator>"
                             "<cp:lastModifiedBy>山田</cp:lastModifiedBy>" + stamps);
    std::string stamp = package_time_stamp();
    ASSERT_EQ(stamp.size(), 20u);
    EXPECT_EQ(stamp[4], '-');
    EXPECT_EQ(stamp[10], 'T');
    EXPECT_EQ(stamp.back(), 'Z');
}

TEST(BookParts, WorkbookWithHiddenSheetPasswordBackupAndPrintTitles) {
    Book book;
    two_sheets(book);
    const std::string head =
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><fileVersion appName=\"xl\" "
        "lastEdited=\"4\" lowestEdited=\"4\" rupBuild=\"4506\"/>";
    const std::string views =
        " defaultThemeVersion=\"124226\"/><bookViews><workbookView xWindow=\"120\" yWindow=\"120\" windowWidth=\"19110\" "
        "windowHeight=\"11025\"/></bookViews><sheets>";
    EXPECT_EQ(workbook_part(book),
              kDecl + head + "<workbookPr " + views +
                  "<sheet name=\"Sales\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Costs\" sheetId=\"2\" r:id=\"rId2\"/>"
                  "</sheets><calcPr calcId=\"145621\"/></workbook>");

    book.sheets[1]->settings.hidden = true;
    book.settings.write_password = "test";
    book.settings.backup = true;
    book.settings.recalc = false;
    book.sheets[0]->settings.title_row1 = 1;
    book.sheets[0]->settings.title_row2 = 2;
    book.sheets[1]->settings.title_column1 = 1;
    book.sheets[1]->settings.title_column2 = 3;
    book.sheets[1]->name = "My Costs";
    EXPECT_EQ(workbook_part(book),
              kDecl + head + "<fileSharing userName=\"MyName\" reservationPassword=\"CBEB\"/><workbookPr backupFile=\"1\"" +
                  views +
                  "<sheet name=\"Sales\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"My Costs\" sheetId=\"2\" r:id=\"rId2\" "
                  "state=\"hidden\"/></sheets><definedNames><definedName name=\"_xlnm.Print_Titles\" localSheetId=\"0\">"
                  "Sales!$1:$2</definedName><definedName name=\"_xlnm.Print_Titles\" localSheetId=\"1\">&apos;My Costs&apos;!"
                  "$A:$C</definedName></definedNames><calcPr calcId=\"114210\"/></workbook>");
}

TEST(BookParts, OneSheetStaysVisibleWhenAllAreHidden) {
    Book book;
    two_sheets(book);
    book.sheets[0]->settings.hidden = true;
    book.sheets[1]->settings.hidden = true;
    std::string workbook = workbook_part(book);
    EXPECT_NE(workbook.find("<sheet name=\"Sales\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Costs\" sheetId=\"2\" "
                            "r:id=\"rId2\" state=\"hidden\"/>"),
              std::string::npos);
}

TEST(BookParts, SharedStringsPreserveBlanksAndProtectEscapeLookalikes) {
    Book book;
    put_shared_string(book, "plain");
    put_shared_string(book, "two words");
    put_shared_string(book, "_x0041_");
    put_shared_string(book, "a<b&\"c\"");
    put_shared_string(book, "bell\x07");
    EXPECT_EQ(shared_strings_part(book),
              kDecl +
                  "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"0\" uniqueCount=\"5\">"  // no cell refers to them yet
                  "<si><t>plain</t><phoneticPr fontId=\"1\"/></si>"
                  "<si><t xml:space=\"preserve\">two words</t><phoneticPr fontId=\"1\"/></si>"
                  "<si><t>_x005F_x0041_</t><phoneticPr fontId=\"1\"/></si>"
                  "<si><t>a&lt;b&amp;&quot;c&quot;</t><phoneticPr fontId=\"1\"/></si>"
                  "<si><t>bell_x0007_</t><phoneticPr fontId=\"1\"/></si></sst>");
}

TEST(XmlEscape, ModesAndRoundTrips) {
    EXPECT_EQ(xml_escape("a\tb\r\nc", EscapeMode::kAttribute), "a&#x9;b&#xD;&#xA;c");
    EXPECT_EQ(xml_escape("a\tb\r\nc", EscapeMode::kText), "a&#x9;b\r\nc");
    EXPECT_EQ(xml_escape("'\"&<>", EscapeMode::kText), "&apos;&quot;&amp;&lt;&gt;");
    EXPECT_EQ(xml_escape("_x12G4_ _xABCD_", EscapeMode::kText), "_x12G4_ _x005F_xABCD_");
    EXPECT_EQ(xml_escape("\x01\x1F", EscapeMode::kText), "_x0001__x001F_");
    EXPECT_EQ(xml_escape("日本語", EscapeMode::kText), "日本語");
    for (std::string text : {"_x0041_", "a&b<c>\"d'", "tab\tcr\rlf\n", "\x02 control", "_x005F_x0041_", "&#x41;"}) {
        EXPECT_EQ(xml_unescape(xml_escape(text, EscapeMode::kAttribute)), text);
        EXPECT_EQ(xml_unescape(xml_escape(text, EscapeMode::kText)), text);
    }
    EXPECT_EQ(xml_unescape("&#x41;&#66;&unknown;&amp"), "AB&unknown;&amp");
    std::string in_place = "<";
    EXPECT_EQ(tsx_xml_escape(EscapeMode::kText, in_place), 0);
    EXPECT_EQ(in_place, "&lt;");
}

TEST(Package, PartsInArchiveOrderAndThreeSheetsForAnEmptyBook) {
    Book book;
    std::vector<std::pair<std::string, std::string>> parts;
    ASSERT_EQ(prepare_book_for_save(book), 0);
    ASSERT_EQ(build_package_parts(book, parts), 0);
    std::vector<std::string> names;
    for (const auto &part : parts) names.push_back(part.first);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "[Content_Types].xml", "_rels/.rels", "docProps/app.xml", "docProps/core.xml",
                         "xl/_rels/workbook.xml.rels", "xl/theme/theme1.xml", "xl/workbook.xml", "xl/sharedStrings.xml",
                         "xl/styles.xml", "xl/worksheets/sheet1.xml", "xl/worksheets/_rels/sheet1.xml.rels",
                         "xl/worksheets/sheet2.xml", "xl/worksheets/_rels/sheet2.xml.rels", "xl/worksheets/sheet3.xml",
                         "xl/worksheets/_rels/sheet3.xml.rels", "xl/printerSettings/printerSettings1.bin",
                         "xl/printerSettings/printerSettings2.bin", "xl/printerSettings/printerSettings3.bin"}));
    EXPECT_EQ(book.sheets[2]->name, "Sheet3");
    book.settings.final = true;
    ASSERT_EQ(prepare_book_for_save(book), 0);
    ASSERT_EQ(build_package_parts(book, parts), 0);
    EXPECT_EQ(parts[4].first, "docProps/custom.xml");
}

TEST(Package, PrinterSettingsCarryOrientationAndPaper) {
    Sheet sheet;
    std::string record = printer_settings_part(sheet);
    ASSERT_EQ(record.size(), 1076u);
    EXPECT_EQ(record.substr(0, 4), std::string("M\0i\0", 4));
    EXPECT_EQ(static_cast<unsigned char>(record[76]), 1);   // portrait
    EXPECT_EQ(static_cast<unsigned char>(record[78]), 9);   // A4
    sheet.settings.page.landscape = true;
    sheet.settings.page.paper = 3;
    record = printer_settings_part(sheet);
    EXPECT_EQ(static_cast<unsigned char>(record[76]), 2);
    EXPECT_EQ(static_cast<unsigned char>(record[78]), 8);   // A3
}

TEST(Package, ThemeIsAWellFormedFixedText) {
    const std::string &theme = theme_part();
    EXPECT_EQ(theme.rfind(kDecl, 0), 0u);
    EXPECT_NE(theme.find("name=\"Office Theme\""), std::string::npos);
    EXPECT_NE(theme.find("<a:font script=\"Jpan\" typeface=\"ＭＳ Ｐゴシック\"/>"), std::string::npos);
    EXPECT_EQ(theme.substr(theme.size() - 10), "</a:theme>");
}
