// Writes books whose objects are added to a workbook read from a file: a form with a picture,
// a chart, comments, a table, links and sparklines is saved, then filled as a template while
// pictures and links are added through the calls a template book takes, and the other object
// kinds through the statements of a new book (the engine's own records, as a template book
// would hold them if its statements allowed them).
//
// Usage: conformance_template_object_books PICTURE OUTDIR
//   PICTURE is a PNG file; OUTDIR receives form.xlsx (the template) and filled.xlsx.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "model/book.h"
#include "tabsmith.h"

namespace {

int failures = 0;

void check(int rc, XLS_BOOK &book, const std::string &what) {
    if (rc == 0) return;
    std::fprintf(stderr, "%s: %d %s\n", what.c_str(), rc, book.log.error_info);
    ++failures;
}

std::string file_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PICTURE OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string picture = argv[1], outdir = argv[2];
    const std::string png = file_bytes(picture);

    {   // The form: every object kind on its first sheet, nothing on the second.
        XLS_BOOK book{};
        check(TXLS_open_book(&book, ("MODE=CREATE CHARSET=UTF8 BOOK=" + outdir + "/form.xlsx").c_str()), book, "form");
        check(TXLS_open_sheet(&book, "SHEET_NAME=Form"), book, "Form");
        check(TXLS_put_values(&book,
                              ("A1=\"Monthly form\" B2.IMAGE=\"" + picture + "\" "
                               "A4=Month B4=Sales A5=Jan B5=10 A6=Feb B6=14 A7=Mar B7=9 A4:B7.CHART=BAR_VERITICAL "
                               "C3.COMMENT=\"見本のコメント\" D1.HYPERLINK=\"https://example.com/form?a=1&b=2\" "
                               "F1=Name G1=Amount F2=a G2=1 F3=b G3=2 F1:G3.TABLE_FORMAT=Medium2 "
                               "B5:B7.SPARKLINE=C5:C7").c_str()),
              book, "form statements");
        check(TXLS_open_sheet(&book, "SHEET_NAME=Other"), book, "Other");
        check(TXLS_put_values(&book, "A1=other"), book, "other statements");
        check(TXLS_close_book(&book, "SAVE"), book, "form save");
        TXLS_free_book(&book);
    }
    {   // Filled: the template's objects stay; new ones join them on both sheets.
        XLS_BOOK book{};
        check(TXLS_open_book(&book, ("MODE=CREATE CHARSET=UTF8 TEMPLATE=" + outdir + "/form.xlsx BOOK=" + outdir +
                                     "/filled.xlsx").c_str()),
              book, "filled");
        check(TXLS_put_values(&book, "SHEET=Form B6=20 E11=\"Write to us\" E12=\"To Other\""), book, "filled values");
        check(TXLS_put_image_memory(&book, "E10", 203, png.data(), static_cast<long>(png.size()), 0, 0, 1.0, 0, 0,
                                    "https://example.com/logo?x=1&y=2"),
              book, "picture on Form");
        check(TXLS_external_hyperlink(&book, "E11", "sales@example.com"), book, "mail link on Form");
        check(TXLS_sheet_hyperlink(&book, "E12", "Other", "A1"), book, "sheet link on Form");
        check(TXLS_put_values(&book, "E13=\"#Other!A1\"\"Go\"\"\""), book, "in-value link on Form");
        // The other kinds, as the engine's records of a template book.
        auto &store = *static_cast<tabsmith::Book *>(book.work);
        store.from_file = false;
        check(TXLS_put_values(&book,
                              "C4.COMMENT=\"追加のコメント\" I1=Code J1=Qty I2=x J2=3 I3=y J3=4 I1:J3.TABLE_FORMAT=Light9 "
                              "B5:B7.SPARKLINE=D5:D7 A4:B7.CHART=LINE A20=1 A21=2"),
              book, "more objects on Form");
        store.from_file = true;
        check(TXLS_put_values(&book, "SHEET=Other"), book, "select Other");
        check(TXLS_put_image_memory(&book, "B2", 203, png.data(), static_cast<long>(png.size()), 0, 0, 1.0, 0, 0,
                                    nullptr),
              book, "picture on Other");
        check(TXLS_put_image_memory(&book, "B12", 203, png.data(), static_cast<long>(png.size()), 0, 0, 0.5, 0, 0,
                                    "#Form!A1"),
              book, "linked picture on Other");
        store.from_file = false;
        check(TXLS_put_values(&book, "B3.COMMENT=\"new sheet comment\" A3=1 A4=2 A3:A4.SPARKLINE=B3:B4"), book,
              "objects on Other");
        store.from_file = true;
        check(TXLS_close_book(&book, "SAVE"), book, "filled save");
        TXLS_free_book(&book);
    }
    std::printf("%d failures\n", failures);
    return failures == 0 ? 0 : 1;
}
