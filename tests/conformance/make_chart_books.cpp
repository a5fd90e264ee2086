// Writes the chart conformance books: a chart of every type word, charts over texts and gaps,
// one placed beside its range, and a pair of one-sheet books, with and without a chart, whose
// printed pages are compared. A manifest names what each chart must be read back as.
//
// Usage: conformance_chart_books OUTDIR
//   OUTDIR/charts.xlsx, OUTDIR/printed_chart.xlsx, OUTDIR/printed_plain.xlsx, OUTDIR/charts.tsv
//   (manifest lines: sheet, chart index on the sheet, type word, reader class, anchor column,
//    anchor row, value references separated by spaces)

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tabsmith.h"

namespace {

struct Chart {
    std::string word;
    std::string reader_class;   // the class openpyxl reads the plot back as
    std::string range;          // source range, A1:... with headers in row 1 and column A
    int series_columns = 0;     // value series in columns B, C, ...
};

const std::vector<Chart> kCharts = {
    {"LINE", "LineChart", "A1:D7", 3},
    {"LINE_3D", "LineChart3D", "A1:D7", 3},
    {"BAR_VERITICAL", "BarChart", "A1:D7", 3},
    {"BAR_3D_VERITICAL", "BarChart3D", "A1:D7", 3},
    {"BAR_CYLINDER", "BarChart3D", "A1:D7", 3},
    {"BAR_CONE", "BarChart3D", "A1:D7", 3},
    {"BAR_PYRAMLID", "BarChart3D", "A1:D7", 3},
    {"BAR_HORIZONTAL", "BarChart", "A1:D7", 3},
    {"BAR_3D_HORIZONTAL", "BarChart3D", "A1:D7", 3},
    {"BAR_CYLINDER_HORIZONTAL", "BarChart3D", "A1:D7", 3},
    {"BAR_CONE_HORIZONTAL", "BarChart3D", "A1:D7", 3},
    {"BAR_PYRAMLID_HORIZONTAL", "BarChart3D", "A1:D7", 3},
    {"PIE", "PieChart", "A1:B7", 1},
    {"PIE_3D", "PieChart3D", "A1:B7", 1},
    {"AREA", "AreaChart", "A1:D7", 3},
    {"AREA_3D", "AreaChart3D", "A1:D7", 3},
    {"SCATTER", "ScatterChart", "A1:D7", 3},
    {"STOCK", "StockChart", "A1:D7", 3},
    {"CONTOUR", "SurfaceChart3D", "A1:D7", 3},
    {"DOUGHNUT", "DoughnutChart", "A1:D7", 3},
    {"RADAR", "RadarChart", "A1:D7", 3},
    // A stock chart over two series is drawn as lines.
    {"STOCK", "LineChart", "A1:C7", 2},
};

const char *const kData =
    "A1=Month B1=High C1=Low D1=Close A2=Jan B2=30 C2=10 D2=20 A3=Feb B3=35 C3=15 D3=25 A4=Mar B4=32 C4=12 "
    "D4=28 A5=Apr B5=40 C5=22 D5=30 A6=May B6=45 C6=25 D6=41 A7=Jun B7=38 C7=20 D7=22";
// Texts where numbers are expected, and empty cells.
const char *const kGapData =
    "A1=Month B1=North C1=South A2=Jan B2=10 C2=n/a A3=Feb C3=2.5 A4=Mar B4=15 C4=-4 A5=Apr B5=0.1 C5=3 A6=May "
    "B6=text C6=8 A7=Jun B7=12";

class Maker {
public:
    explicit Maker(std::string dir) : dir_(std::move(dir)), manifest_(dir_ + "/charts.tsv") {}

    bool ok() const { return ok_; }

    void check(XLS_BOOK &book, int rc, const std::string &what) {
        if (rc == 0) return;
        std::fprintf(stderr, "%s: %d %s\n", what.c_str(), rc, book.log.error_info);
        ok_ = false;
    }

    void charts_book() {
        XLS_BOOK book{};
        check(book, TXLS_open_book(&book, ("MODE=CREATE CHARSET=UTF8 BOOK=\"" + dir_ + "/charts.xlsx\"").c_str()), "open");
        // Every type word on one sheet, in a grid of LOCATION ranges of 7 columns by 15 rows.
        check(book, TXLS_open_sheet(&book, "SHEET_NAME=All"), "sheet All");
        check(book, TXLS_put_values(&book, kData), "data All");
        for (std::size_t k = 0; k < kCharts.size(); ++k) {
            const Chart &c = kCharts[k];
            const int row = 9 + static_cast<int>(k / 3) * 16, column = static_cast<int>(k % 3) * 8;
            const std::string location = cell(row, column) + ":" + cell(row + 14, column + 6);
            const std::string title = c.word + " " + std::to_string(k + 1);
            check(book, TXLS_put_values(&book, (c.range + ".CHART=\"" + c.word + " TITLE='" + title + "' LOCATION=" +
                                                location + "\"").c_str()),
                  "chart " + c.word);
            record("All", static_cast<int>(k), c.word, c.reader_class, column, row, refs("All", c.series_columns, 2, 7));
        }
        // Texts and gaps in the values; settings statements that the next charts copy.
        check(book, TXLS_open_sheet(&book, "SHEET_NAME=Gaps"), "sheet Gaps");
        check(book, TXLS_put_values(&book, kGapData), "data Gaps");
        check(book, TXLS_put_values(&book, "CHART.TITLE=Gaps CHART.DATA_LABEL=VALUE CHART.LEGEND.POSITION=BOTTOM "
                                            "CHART.BACK_COLOR=GRADATION CHART.MIN=-10 CHART.MAX=20 CHART.STYLE=20"),
              "settings");
        check(book, TXLS_put_values(&book, "A1:C7.CHART=\"LINE LOCATION=E2:L16\""), "gap line");
        record("Gaps", 0, "LINE", "LineChart", 4, 1, refs("Gaps", 2, 2, 7));
        check(book, TXLS_put_values(&book, "A1:C7.CHART=\"BAR_VERITICAL TYPE=2 LOCATION=E18:L32\""), "gap bar");
        record("Gaps", 1, "BAR_VERITICAL", "BarChart", 4, 17, refs("Gaps", 2, 2, 7));
        check(book, TXLS_put_values(&book, "CHART.RESET=TRUE"), "reset");
        // No LOCATION: beside the range, one column apart.
        check(book, TXLS_open_sheet(&book, "SHEET_NAME=Beside"), "sheet Beside");
        check(book, TXLS_put_values(&book, kData), "data Beside");
        check(book, TXLS_put_values(&book, "A1:D7.CHART=AREA"), "beside");
        record("Beside", 0, "AREA", "AreaChart", 5, 0, refs("Beside", 3, 2, 7));
        check(book, TXLS_close_book(&book, "SAVE"), "save charts");
    }

    // The same sheet printed with and without a chart.
    void printed_books() {
        for (bool with_chart : {true, false}) {
            XLS_BOOK book{};
            const std::string name = with_chart ? "printed_chart" : "printed_plain";
            check(book, TXLS_open_book(&book, ("MODE=CREATE CHARSET=UTF8 BOOK=\"" + dir_ + "/" + name + ".xlsx\"").c_str()),
                  "open " + name);
            check(book, TXLS_open_sheet(&book, "SHEET_NAME=Print"), "sheet " + name);
            check(book, TXLS_put_values(&book, kData), "data " + name);
            if (with_chart) check(book, TXLS_put_values(&book, "A1:D7.CHART=\"BAR_VERITICAL LOCATION=A9:H30\""), "chart");
            check(book, TXLS_close_book(&book, "SAVE"), "save " + name);
        }
    }

private:
    // 0-based; the grid stays within columns A..Z.
    static std::string cell(int row, int column) {
        return std::string(1, static_cast<char>('A' + column)) + std::to_string(row + 1);
    }

    // "'Sheet'!$B$2:$B$7 ..." for `count` value columns from B.
    static std::string refs(const std::string &sheet, int count, int first_row, int last_row) {
        std::string out;
        for (int k = 0; k < count; ++k) {
            const std::string letter(1, static_cast<char>('B' + k));
            if (!out.empty()) out += ' ';
            out += "'" + sheet + "'!$" + letter + "$" + std::to_string(first_row) + ":$" + letter + "$" +
                   std::to_string(last_row);
        }
        return out;
    }

    void record(const std::string &sheet, int index, const std::string &word, const std::string &reader_class,
                int column, int row, const std::string &references) {
        manifest_ << sheet << '\t' << index << '\t' << word << '\t' << reader_class << '\t' << column << '\t' << row
                  << '\t' << references << '\n';
    }

    std::string dir_;
    std::ofstream manifest_;
    bool ok_ = true;
};

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    Maker maker(argv[1]);
    maker.charts_book();
    maker.printed_books();
    return maker.ok() ? 0 : 1;
}
