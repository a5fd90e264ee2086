// Sparkline statements and the worksheet extension list they produce: the whole list for one
// group, the layouts of the sparklines, types, marked points, colours and the refusals.

#include <gtest/gtest.h>

#include <string>

#include "common/fixtures.h"
#include "common/golden.h"
#include "xlsx_write/sparkline_ext.h"
#include "xlsx_write/worksheet_part.h"

namespace tabsmith {
namespace {

using testing::has;

class Sparklines : public testing::SheetTest {
protected:
    std::string ext(int sheet = 0) {
        std::string out;
        write_sparkline_ext(store(), sheet, out);
        return out;
    }
    void statements(const std::string &text) { ASSERT_EQ(TXLS_put_values(&book, text.c_str()), 0) << text << ": " << message(); }
};

// The rows of the data become one group of sparklines down a column; the list ends the
// worksheet, and its formulas name the sheet as it is called when it is saved.
TEST_F(Sparklines, RowsOfTheDataBecomeOneGroupInAColumn) {
    statements("A1=1 A1:E5.SPARKLINE=F1:F5");
    std::string sparklines;
    for (const char *n : {"1", "2", "3", "4", "5"})
        sparklines += std::string("<x14:sparkline><xm:f>Sheet1!A") + n + ":E" + n + "</xm:f><xm:sqref>F" + n + "</xm:sqref></x14:sparkline>";
    EXPECT_EQ(ext(), R"(<extLst><ext uri="{05C60535-1F16-4fd2-B633-F4F36F0B64E0}" xmlns:x14="http://schemas.microsoft.com/office/)"
                     R"(spreadsheetml/2009/9/main"><x14:sparklineGroups xmlns:xm="http://schemas.microsoft.com/office/excel/2006/main">)"
                     R"(<x14:sparklineGroup displayEmptyCellsAs="gap"><x14:colorSeries rgb="FF000080" /><x14:colorNegative )"
                     R"(rgb="FF800000" /><x14:colorAxis rgb="FF000000" /><x14:colorMarkers rgb="FF800080" /><x14:colorFirst )"
                     R"(rgb="FF008000" /><x14:colorLast rgb="FF808000" /><x14:colorHigh rgb="FFFF0000" /><x14:colorLow )"
                     R"(rgb="FF0000FF" /><x14:sparklines>)" + sparklines +
                         "</x14:sparklines></x14:sparklineGroup></x14:sparklineGroups></ext></extLst>");
    std::string part;
    ASSERT_EQ(tsx_write_worksheet(store(), 0, part), 0);
    EXPECT_TRUE(has(part, "/><extLst><ext uri="));
    EXPECT_TRUE(part.ends_with("</extLst></worksheet>"));
    EXPECT_LT(part.find("<pageSetup"), part.find("<extLst>"));
    store().sheets[0]->name = "Other";
    EXPECT_TRUE(has(ext(), "<xm:f>Other!A1:E1</xm:f>"));
    ASSERT_EQ(TXLS_open_sheet(&book, "SHEET_NAME=Plain"), 0);
    EXPECT_EQ(ext(1), "");   // a sheet without sparklines has no list
    statements("A1:E5.SPARKLINE=A6:E6");   // columns become sparklines along a row
    for (const char *c : {"A", "B", "C", "D", "E"})
        EXPECT_TRUE(has(ext(1), std::string("<xm:f>Plain!") + c + "1:" + c + "5</xm:f><xm:sqref>" + c + "6</xm:sqref>"));
    EXPECT_EQ(store().sheets[1]->sparklines.size(), 1u);
}

TEST_F(Sparklines, SheetNamesAreQuotedWhereAFormulaNeedsIt) {
    for (auto [name, written] : {std::pair{"Data", "Data"}, {"My Data", "&apos;My Data&apos;"}, {"O'Brien", "&apos;O&apos;&apos;Brien&apos;"},
                                 {"データ", "データ"}, {"A1", "&apos;A1&apos;"}, {"2024", "&apos;2024&apos;"},
                                 {"R1C1", "&apos;R1C1&apos;"}, {"a&b", "&apos;a&amp;b&apos;"}}) {
        reopen("UTF8", "\"" + std::string(name) + "\"");
        statements("A1:E1.SPARKLINE=F1:F1");
        EXPECT_TRUE(has(ext(), "<xm:f>" + std::string(written) + "!A1:E1</xm:f>")) << name;
    }
}

// Types and marked points, in English or Japanese; later settings go to the sheet's last group.
TEST_F(Sparklines, TypesMarkedPointsAndColours) {
    const std::string gap = "displayEmptyCellsAs=\"gap\"";
    for (auto [more, attributes] : {
             std::pair<const char *, std::string>{"", gap}, {"A1.SPARKLINE.TYPE=BAR", "type=\"column\" " + gap},
             {"A1.SPARKLINE.TYPE=stack", "type=\"stacked\" " + gap + " negative=\"1\""},
             {"A1.SPARKLINE.TYPE=勝敗 A1.SPARKLINE.TYPE=折れ線", gap},
             {"A1.SPARKLINE.DISPLAY=HIGH A1.SPARKLINE.DISPLAY=LOW", gap + " high=\"1\" low=\"1\""},
             {"A1.SPARKLINE.DISPLAY=HIGH A1.SPARKLINE.DISPLAY=LOW A1.SPARKLINE.DISPLAY=NONE", gap},
             {"A1.SPARKLINE.DISPLAY=負 A1.SPARKLINE.DISPLAY=last A1.SPARKLINE.DISPLAY=始点 A1.SPARKLINE.DISPLAY=マーカー "
              "A1.SPARKLINE.DISPLAY=谷 A1.SPARKLINE.DISPLAY=山",
              gap + " markers=\"1\" high=\"1\" low=\"1\" first=\"1\" last=\"1\" negative=\"1\""}}) {
        reopen();
        statements("A1:E5.SPARKLINE=F1:F5 " + std::string(more));
        EXPECT_TRUE(has(ext(), "<x14:sparklineGroup " + attributes + ">")) << more;
    }
    reopen();
    statements("A1:E5.SPARKLINE=F1:F5 A7:E8.SPARKLINE=F7:F8 Z9.SPARKLINE.TYPE=BAR A1.SPARKLINE.HIGH.COLOR=#102030 "
               "A1.SPARKLINE.LOW.COLOR=abcdef A1.SPARKLINE.START.COLOR=#000001 A1.SPARKLINE.END.COLOR=#000002 "
               "A1.SPARKLINE.NEGATIVE.COLOR=#000003 A1.SPARKLINE.MARKER.COLOR=#000004");
    ASSERT_EQ(store().sheets[0]->sparklines.size(), 2u);
    EXPECT_EQ(store().sheets[0]->sparklines[0].kind, SparklineKind::kLine);
    EXPECT_EQ(store().sheets[0]->sparklines[1].kind, SparklineKind::kColumn);
    EXPECT_TRUE(has(ext(), R"(<x14:sparklineGroup type="column" displayEmptyCellsAs="gap"><x14:colorSeries rgb="FF000080" />)"
                           R"(<x14:colorNegative rgb="FF000003" /><x14:colorAxis rgb="FF000000" /><x14:colorMarkers rgb="FF000004" />)"
                           R"(<x14:colorFirst rgb="FF000001" /><x14:colorLast rgb="FF000002" /><x14:colorHigh rgb="FF102030" />)"
                           R"(<x14:colorLow rgb="FFABCDEF" />)"));
}

TEST_F(Sparklines, Refusals) {
    const std::string bad = "TXLS-02622 スパークライン(SPARKLINE)の指定内容が不正です(\"";
    const std::string first = "の前にスパークラインが指定されていません。";
    for (auto [statements, text] : {
             std::pair<const char *, std::string>{"A1:E5.SPARKLINE=F1:G5", bad + "F1:G5\")。"},
             {"A1:E5.SPARKLINE=F1", bad + "F1\")。"},
             {"A1:E5.SPARKLINE=nothing", bad + "nothing\")。"},
             {"A1.SPARKLINE=F1:F5", "TXLS-02101 セル範囲指定(RANGE)が必要です(\"SPARKLINE\")。"},
             {"A1.SPARKLINE.TYPE=BAR", "TXLS-02621 (\"スパークライン.種類\")" + first},
             {"A1.SPARKLINE.DISPLAY=HIGH", "TXLS-02621 (\"スパークライン.表示\")" + first},
             {"A1.SPARKLINE.MARKER.COLOR=RED", "TXLS-02621 (\"スパークライン.マーカー.色\")" + first},
             {"A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.TYPE=PIE", bad + "PIE\")。"},
             {"A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.DISPLAY=ALL", bad + "ALL\")。"},
             {"A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.LOW.COLOR=#12", "TXLS-02401 色(COLOR)の指定内容が不正です(\"#12\")。"}}) {
        reopen();
        EXPECT_EQ(TXLS_put_values(&book, statements), TXLS_ERR_ARGUMENT) << statements;
        EXPECT_TRUE(has(message(), text)) << statements;
    }
}

}  // namespace
}  // namespace tabsmith
