// Writes the picture conformance books from the sample pictures its checker made: every picture
// kind placed by statement, pictures on several sheets (one file on many cells), pictures handed
// over in memory with click links, and sheet backgrounds. A manifest lists what each sheet shows.
//
// Usage: conformance_picture_books PICTURES OUTDIR
//   PICTURES holds sample.bmp, .jpg, .png, .gif, .tif, .emf and .wmf; OUTDIR receives the books
//   and manifest.tsv: "book<TAB>sheet<TAB>cell<TAB>extension" per picture, and
//   "book<TAB>sheet<TAB>background<TAB>extension" per background.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tabsmith.h"

namespace {

std::string pictures, outdir;
std::ofstream manifest;
int failures = 0;

void check(int rc, XLS_BOOK &book, const std::string &what) {
    if (rc == 0) return;
    std::fprintf(stderr, "%s: %d %s\n", what.c_str(), rc, book.log.error_info);
    ++failures;
}

struct Book {
    XLS_BOOK record{};
    std::string name;
    explicit Book(const std::string &book_name) : name(book_name) {
        const std::string options = "MODE=CREATE CHARSET=UTF8 BOOK=" + outdir + "/" + name;
        check(TXLS_open_book(&record, options.c_str()), record, name + " open");
    }
    void sheet(const std::string &sheet_name) {
        check(TXLS_open_sheet(&record, ("SHEET_NAME=" + sheet_name).c_str()), record, name + " sheet " + sheet_name);
    }
    void put(const std::string &statements) {
        check(TXLS_put_values(&record, statements.c_str()), record, name + ": " + statements);
    }
    void picture(const std::string &sheet, const std::string &cell, const std::string &extension) {
        put(cell + ".IMAGE=\"" + pictures + "/sample." + extension + "\"");
        manifest << name << '\t' << sheet << '\t' << cell << '\t' << extension << '\n';
    }
    void background(const std::string &sheet, const std::string &extension) {
        put("SHEET.BACKGROUND.PATH=\"" + pictures + "/sample." + extension + "\"");
        manifest << name << '\t' << sheet << "\tbackground\t" << extension << '\n';
    }
    void save() {
        check(TXLS_close_book(&record, "SAVE"), record, name + " save");
        TXLS_free_book(&record);
    }
};

std::string file_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PICTURES OUTDIR\n", argv[0]);
        return 2;
    }
    pictures = argv[1];
    outdir = argv[2];
    manifest.open(outdir + "/manifest.tsv");

    {   // Every kind, with ratios and offsets.
        Book book("kinds.xlsx");
        book.sheet("Kinds");
        book.put("A1=\"Every picture kind\"");
        const char *kinds[] = {"bmp", "jpg", "png", "gif", "tif", "emf", "wmf"};
        int row = 2;
        for (const char *kind : kinds) {
            const std::string cell = "B" + std::to_string(row);
            book.put("A" + std::to_string(row) + "=" + kind);
            book.picture("Kinds", cell, kind);
            row += 8;
        }
        book.put("B2.IMAGE.RATIO=0.5 B10.IMAGE.OFFSET.X=1.5 B10.IMAGE.OFFSET.Y=0.5 B18.IMAGE.RATIO=2");
        book.save();
    }
    {   // Several sheets; one file on many cells is one media part.
        Book book("sheets.xlsx");
        book.sheet("First");
        book.put("A1=first");
        book.picture("First", "B2", "png");
        book.picture("First", "E2", "jpg");
        book.sheet("Second");
        book.put("A1=second");
        for (const char *cell : {"B3", "B12", "F3", "F12"}) book.picture("Second", cell, "png");
        book.picture("Second", "J3", "gif");
        book.sheet("Plain");
        book.put("A1=\"no pictures here\"");
        book.sheet("Third");
        book.put("Third!C5.IMAGE=\"" + pictures + "/sample.tif\"");
        manifest << "sheets.xlsx\tThird\tC5\ttif\n";
        book.save();
    }
    {   // Pictures from memory with click links, their sizes measured or given.
        Book book("links.xlsx");
        book.sheet("Links");
        book.sheet("Target");
        book.put("A1=\"link target\"");
        check(TXLS_open_sheet2(&book.record, 0), book.record, "links select");
        const std::string png = file_bytes(pictures + "/sample.png");
        const std::string jpeg = file_bytes(pictures + "/sample.jpg");
        struct Placed {
            const char *cell;
            int type;
            const std::string &bytes;
            int width, height;
            const char *link;
            const char *extension;
        } placed[] = {
            {"A1", 203, png, 0, 0, "https://example.com/report?id=1&view=full", "png"},
            {"D1", 202, jpeg, 0, 0, "#Target!A1", "jpg"},
            {"A10", 203, png, 120, 60, nullptr, "png"},
            {"D10", 202, jpeg, 0, 0, "", "jpg"},
        };
        for (const Placed &p : placed) {
            check(TXLS_put_image_memory(&book.record, p.cell, p.type, p.bytes.data(), static_cast<long>(p.bytes.size()),
                                        p.width, p.height, 1.0, 0.25, 0.25, p.link),
                  book.record, std::string("put_image_memory ") + p.cell);
            manifest << book.name << "\tLinks\t" << p.cell << '\t' << p.extension << '\n';
        }
        book.save();
    }
    {   // Backgrounds: alone, beside a picture, and one replacing another.
        Book book("backgrounds.xlsx");
        book.sheet("Alone");
        book.put("A1=alone");
        book.background("Alone", "png");
        book.sheet("Beside");
        book.put("A1=beside");
        book.background("Beside", "jpg");
        book.picture("Beside", "C3", "gif");
        book.sheet("Replaced");
        book.put("A1=replaced SHEET.BACKGROUND.PATH=\"" + pictures + "/sample.gif\"");
        book.background("Replaced", "tif");
        book.save();
    }
    manifest.close();
    if (failures) std::fprintf(stderr, "%d failures\n", failures);
    return failures ? 1 : 0;
}
