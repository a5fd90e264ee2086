// Sparkline statements and the worksheet extension list they produce: the whole list for one
// group, the layouts of the sparklines, types, marked points, colours and the refusals.

#include <gtest/gtest.h>

#include <string>

#include "common/fixtures.h"
#include "xlsx_write/sparkline_ext.h"
#include "xlsx_write/worksheet_part.h"

namespace tabsmith {
namespace {

using testing::SheetTest;

constexpr std::string_view kDefaultColours =
    "<x14:colorSeries rgb=\"FF000080\" /><x14:colorNegative rgb=\"FF800000\" /><x14:colorAxis rgb=\"FF000000\" />"
    "<x14:colorMarkers rgb=\"FF800080\" /><x14:colorFirst rgb=\"FF008000\" /><x14:colorLast rgb=\"FF808000\" />"
    "<x14:colorHigh rgb=\"FFFF0000\" /><x14:colorLow rgb=\"FF0000FF\" />";

std::string sparkline(const std::string &range, const std::string &cell, const std::string &sheet = "Sheet1") {
    return "<x14:sparkline><xm:f>" + sheet + "!" + range + "</xm:f><xm:sqref>" + cell + "</xm:sqref></x14:sparkline>";
}

class SparklineTest : public SheetTest {
protected:
    std::string ext(int sheet = 0) {
        std::string out;
        write_sparkline_ext(store(), sheet, out);
        return out;
    }
    // The attributes of the first group between "<x14:sparklineGroup " and ">".
    std::string group_attributes() {
        const std::string text = ext();
        const std::string open = "<x14:sparklineGroup ";
        std::size_t at = text.find(open);
        if (at == std::string::npos) return "(no group)";
        at += open.size();
        return text.substr(at, text.find('>', at) - at);
    }
};

TEST_F(SparklineTest, RowsOfTheDataBecomeOneGroupInAColumn) {
    ASSERT_EQ(TXLS_put_values(&book, "A1:E5.SPARKLINE=F1:F5"), 0);
    std::string sparklines;
    for (int r = 1; r <= 5; ++r) {
        const std::string n = std::to_string(r);
        sparklines += sparkline("A" + n + ":E" + n, "F" + n);
    }
    const std::string expected =
        "<extLst><ext uri=\"{05C60535-1F16-4fd2-B633-F4F36F0B64E0}\" "
        "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\">"
        "<x14:sparklineGroups xmlns:xm=\"http://schemas.microsoft.com/office/excel/2006/main\">"
        "<x14:sparklineGroup displayEmptyCellsAs=\"gap\">" +
        std::string(kDefaultColours) + "<x14:sparklines>" + sparklines +
        "</x14:sparklines></x14:sparklineGroup></x14:sparklineGroups></ext></extLst>";
    EXPECT_EQ(ext(), expected);
}

TEST_F(SparklineTest, ColumnsOfTheDataBecomeSparklinesInARow) {
    ASSERT_EQ(TXLS_put_values(&book, "A1:E5.SPARKLINE=A6:E6"), 0);
    const std::string text = ext();
    for (const char *c : {"A", "B", "C", "D", "E"})
        EXPECT_NE(text.find(sparkline(std::string(c) + "1:" + c + "5", std::string(c) + "6")), std::string::npos) << c;
    EXPECT_EQ(store().sheets[0]->sparklines.size(), 1u);
}

TEST_F(SparklineTest, ExtensionListEndsTheWorksheet) {
    ASSERT_EQ(TXLS_put_values(&book, "A1=1 A1:E1.SPARKLINE=F1:F1"), 0);
    std::string part;
    ASSERT_EQ(tsx_write_worksheet(store(), 0, part), 0);
    const std::size_t ext_at = part.find("<extLst>");
    ASSERT_NE(ext_at, std::string::npos);
    EXPECT_EQ(part.substr(part.find("</extLst>")), "</extLst></worksheet>");
    EXPECT_LT(part.find("<pageSetup"), ext_at);
    // The formulas name the sheet as it is called when it is saved.
    store().sheets[0]->name = "Other";
    EXPECT_NE(ext().find("Other!A1:E1"), std::string::npos);
    // A sheet without sparklines has no list.
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Plain"), 0);
    EXPECT_EQ(ext(1), "");
}

TEST_F(SparklineTest, SheetNamesAreQuotedWhereAFormulaNeedsIt) {
    struct Case {
        const char *name, *written;
    } cases[] = {
        {"Data", "Data"},
        {"My Data", "&apos;My Data&apos;"},
        {"O'Brien", "&apos;O&apos;&apos;Brien&apos;"},
        {"データ", "データ"},
        {"A1", "&apos;A1&apos;"},
        {"2024", "&apos;2024&apos;"},
        {"R1C1", "&apos;R1C1&apos;"},
        {"a&b", "&apos;a&amp;b&apos;"},
    };
    for (const Case &c : cases) {
        reopen("UTF8", "\"" + std::string(c.name) + "\"");
        ASSERT_EQ(TXLS_put_values(&book, "A1:E1.SPARKLINE=F1:F1"), 0) << c.name;
        EXPECT_NE(ext().find("<xm:f>" + std::string(c.written) + "!A1:E1</xm:f>"), std::string::npos) << c.name;
    }
}

TEST_F(SparklineTest, TypesAndDisplayWords) {
    struct Case {
        const char *statements, *attributes;
    } cases[] = {
        {"", "displayEmptyCellsAs=\"gap\""},
        {"A1.SPARKLINE.TYPE=BAR", "type=\"column\" displayEmptyCellsAs=\"gap\""},
        {"A1.SPARKLINE.TYPE=stack", "type=\"stacked\" displayEmptyCellsAs=\"gap\" negative=\"1\""},
        {"A1.SPARKLINE.TYPE=勝敗 A1.SPARKLINE.TYPE=折れ線", "displayEmptyCellsAs=\"gap\""},
        {"A1.SPARKLINE.DISPLAY=HIGH A1.SPARKLINE.DISPLAY=LOW", "displayEmptyCellsAs=\"gap\" high=\"1\" low=\"1\""},
        {"A1.SPARKLINE.DISPLAY=HIGH A1.SPARKLINE.DISPLAY=LOW A1.SPARKLINE.DISPLAY=NONE", "displayEmptyCellsAs=\"gap\""},
        {"A1.SPARKLINE.DISPLAY=負 A1.SPARKLINE.DISPLAY=last A1.SPARKLINE.DISPLAY=始点 A1.SPARKLINE.DISPLAY=マーカー "
         "A1.SPARKLINE.DISPLAY=谷 A1.SPARKLINE.DISPLAY=山",
         "displayEmptyCellsAs=\"gap\" markers=\"1\" high=\"1\" low=\"1\" first=\"1\" last=\"1\" negative=\"1\""},
    };
    for (const Case &c : cases) {
        reopen();
        ASSERT_EQ(TXLS_put_values(&book, ("A1:E5.SPARKLINE=F1:F5 " + std::string(c.statements)).c_str()), 0)
            << c.statements << ": " << message();
        EXPECT_EQ(group_attributes(), c.attributes) << c.statements;
    }
}

TEST_F(SparklineTest, ColoursSetTheirOwnElement) {
    ASSERT_EQ(TXLS_put_values(&book, "A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.HIGH.COLOR=#102030 "
                                     "A1.SPARKLINE.LOW.COLOR=abcdef A1.SPARKLINE.START.COLOR=#000001 "
                                     "A1.SPARKLINE.END.COLOR=#000002 A1.SPARKLINE.NEGATIVE.COLOR=#000003 "
                                     "A1.SPARKLINE.MARKER.COLOR=#000004"),
              0)
        << message();
    const std::string text = ext();
    for (const char *element : {"colorHigh rgb=\"FF102030\"", "colorLow rgb=\"FFABCDEF\"", "colorFirst rgb=\"FF000001\"",
                                "colorLast rgb=\"FF000002\"", "colorNegative rgb=\"FF000003\"",
                                "colorMarkers rgb=\"FF000004\"", "colorSeries rgb=\"FF000080\""})
        EXPECT_NE(text.find(element), std::string::npos) << element;
}

TEST_F(SparklineTest, SettingsGoToTheLastSparklineOfTheSheet) {
    ASSERT_EQ(TXLS_put_values(&book, "A1:E5.SPARKLINE=F1:F5 A7:E8.SPARKLINE=F7:F8 Z9.SPARKLINE.TYPE=BAR"), 0);
    const auto &lines = store().sheets[0]->sparklines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].kind, SparklineKind::kLine);
    EXPECT_EQ(lines[1].kind, SparklineKind::kColumn);
}

TEST_F(SparklineTest, Refusals) {
    struct Case {
        const char *statements;
        int code;
        const char *text;
    } cases[] = {
        {"A1:E5.SPARKLINE=F1:G5", TXLS_ERR_ARGUMENT, "TXLS-02622 スパークライン(SPARKLINE)の指定内容が不正です(\"F1:G5\")。"},
        {"A1:E5.SPARKLINE=F1", TXLS_ERR_ARGUMENT, "TXLS-02622 スパークライン(SPARKLINE)の指定内容が不正です(\"F1\")。"},
        {"A1:E5.SPARKLINE=nothing", TXLS_ERR_ARGUMENT, "TXLS-02622 スパークライン(SPARKLINE)の指定内容が不正です(\"nothing\")。"},
        {"A1.SPARKLINE=F1:F5", TXLS_ERR_ARGUMENT, "TXLS-02101 セル範囲指定(RANGE)が必要です(\"SPARKLINE\")。"},
        {"A1.SPARKLINE.TYPE=BAR", TXLS_ERR_ARGUMENT, "TXLS-02621 (\"スパークライン.種類\")の前にスパークラインが指定されていません。"},
        {"A1.SPARKLINE.DISPLAY=HIGH", TXLS_ERR_ARGUMENT, "TXLS-02621 (\"スパークライン.表示\")の前にスパークラインが指定されていません。"},
        {"A1.SPARKLINE.MARKER.COLOR=RED", TXLS_ERR_ARGUMENT, "TXLS-02621 (\"スパークライン.マーカー.色\")の前にスパークラインが指定されていません。"},
        {"A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.TYPE=PIE", TXLS_ERR_ARGUMENT, "TXLS-02622 スパークライン(SPARKLINE)の指定内容が不正です(\"PIE\")。"},
        {"A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.DISPLAY=ALL", TXLS_ERR_ARGUMENT, "TXLS-02622 スパークライン(SPARKLINE)の指定内容が不正です(\"ALL\")。"},
        {"A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.LOW.COLOR=#12", TXLS_ERR_ARGUMENT, "TXLS-02401 色(COLOR)の指定内容が不正です(\"#12\")。"},
    };
    for (const Case &c : cases) {
        reopen();
        EXPECT_EQ(TXLS_put_values(&book, c.statements), c.code) << c.statements;
        EXPECT_NE(message().find(c.text), std::string::npos) << c.statements << ": " << message();
    }
}

}  // namespace
}  // namespace tabsmith
