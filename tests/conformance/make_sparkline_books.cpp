// Writes the sparkline conformance books: sparklines of every type, every marked point and
// explicit colours on sheets whose names need quotes or are Japanese, and a book whose rows
// were streamed out of memory while it was filled.
//
// Usage: conformance_sparkline_books OUTDIR   (writes OUTDIR/sparklines.xlsx, OUTDIR/streamed.xlsx)

#include <cstdio>
#include <string>

#include "tabsmith.h"

namespace {

int fail(XLS_BOOK &book, const char *what) {
    std::fprintf(stderr, "%s: %d %s\n", what, TXLS_error_code(&book), book.log.error_info);
    return 1;
}

// A 5 x 5 block of values with negatives at `row`, `column` (1-based), for the data ranges.
std::string data_block(int row, int column) {
    std::string statements;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < 5; ++c) {
            char cell[16];
            TXLS_cell_name(row + r, column + c, cell, sizeof cell);
            statements += std::string(cell) + "=" + std::to_string((r * 7 + c * 3) % 11 - 4) + " ";
        }
    return statements;
}

int sparkline_book(const std::string &outdir) {
    XLS_BOOK book{};
    if (TXLS_open_book(&book, ("CHARSET=UTF8 BOOK=" + outdir + "/sparklines.xlsx").c_str()) != 0)
        return fail(book, "open");
    struct Sheet {
        const char *name, *statements;
    } sheets[] = {
        {"Lines", "A1:E5.SPARKLINE=F1:F5 "
                  "A1.SPARKLINE.DISPLAY=HIGH A1.SPARKLINE.DISPLAY=LOW A1.SPARKLINE.DISPLAY=FIRST "
                  "A1.SPARKLINE.DISPLAY=LAST A1.SPARKLINE.DISPLAY=NEGATIVE A1.SPARKLINE.DISPLAY=MARKER "
                  "A1.SPARKLINE.HIGH.COLOR=#FF8800 A1.SPARKLINE.LOW.COLOR=BLUE A1.SPARKLINE.START.COLOR=#00AA00 "
                  "A1.SPARKLINE.END.COLOR=#AA00AA A1.SPARKLINE.NEGATIVE.COLOR=RED A1.SPARKLINE.MARKER.COLOR=#123456 "
                  "A1:E5.SPARKLINE=A7:E7"},
        {"My Data", "A1:E5.SPARKLINE=G1:G5 A1.SPARKLINE.TYPE=BAR A1.SPARKLINE.DISPLAY=HIGH "
                    "A1:E5.SPARKLINE=A8:E8 A1.SPARKLINE.TYPE=STACK"},
        {"データ", "A1:E5.SPARKLINE=F1:F5 A1.SPARKLINE.TYPE=勝敗 A1.SPARKLINE.DISPLAY=マーカー "
                   "A1.SPARKLINE.DISPLAY=なし A1:E5.SPARKLINE=A6:E6 A1.SPARKLINE.TYPE=縦棒"},
    };
    for (const Sheet &sheet : sheets) {
        if (TXLS_open_sheet(&book, ("SHEET_NAME=\"" + std::string(sheet.name) + "\"").c_str()) != 0)
            return fail(book, sheet.name);
        if (TXLS_put_values(&book, (data_block(1, 1) + sheet.statements).c_str()) != 0) return fail(book, sheet.name);
    }
    if (TXLS_close_book(&book, "SAVE") != 0) return fail(book, "save sparklines");
    return 0;
}

// Rows 2..300 streamed as they are filled; row 1 and the formulas stay readable.
int streamed_book(const std::string &outdir) {
    XLS_BOOK book{};
    if (TXLS_open_book(&book, ("CHARSET=UTF8 STREAM_AFTER=1 BOOK=" + outdir + "/streamed.xlsx").c_str()) != 0)
        return fail(book, "open streamed");
    if (TXLS_open_sheet(&book, "SHEET_NAME=Rows") != 0) return fail(book, "sheet");
    if (TXLS_put_values(&book, "A1=name B1=number C1=double D1=date") != 0) return fail(book, "head");
    for (int r = 2; r <= 300; ++r) {
        const std::string n = std::to_string(r);
        std::string statements = "A" + n + "=row" + n + " B" + n + "=" + n + " C" + n + "=\"=B" + n + "*2\" D" + n +
                                 "=2024/01/15";
        if (r % 3 == 0) statements += " A" + n + ".FONT.STYLE=BOLD";
        if (TXLS_put_values(&book, statements.c_str()) != 0) return fail(book, "row");
        if (TXLS_write_row(&book, r) != 0) return fail(book, "write row");
    }
    if (TXLS_close_book(&book, "SAVE") != 0) return fail(book, "save streamed");
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string outdir = argv[1];
    if (int rc = sparkline_book(outdir); rc != 0) return rc;
    return streamed_book(outdir);
}
