// Writes books full of random texts through every path a caller's text takes into a saved
// package (cell values, sheet names, book properties, headers and footers, font names, the "!"
// lines of a pasted CSV file, statement files), in every character set, valid and invalid.
// The reader script loads each book that saved with 0 and counts the ones it rejects.
//
// Usage: text_books OUTDIR BOOKS SEED   (writes OUTDIR/text_<n>.xlsx and OUTDIR/saved.txt)

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "tabsmith.h"

namespace {

const char *const kCharsets[] = {"SJIS", "EUC", "UTF8"};

// Pieces random texts are made of: plain and Japanese text in each character set, characters
// XML 1.0 forbids or reserves, and byte sequences that are no valid text in any of them.
const char *const kPieces[] = {
    "abc", " ", "&", "<", ">", "'", "\\", "_x0041_", "_x", "%s", "%d", "\t", "\n", "\r", "\x01", "\x1f", "\x7f",
    // UTF-8: Japanese, the yen sign, U+FFFE, U+FFFF, U+FFFD, a supplementary character
    "\xe6\x97\xa5\xe6\x9c\xac", "\xc2\xa5", "\xef\xbf\xbe", "\xef\xbf\xbf", "\xef\xbf\xbd", "\xf0\x9f\x98\x80",
    // invalid UTF-8: stray bytes, an encoded surrogate, a cut-off sequence, an over-long form
    "\xff\xfe", "\xed\xa0\x80", "\xe3\x81", "\xc0\xaf", "\x80", "\xf8\x88\x80\x80\x80",
    // Shift-JIS: 日本 and a half-width katakana; a lone lead byte
    "\x93\xfa\x96\x7b", "\xb1", "\x82",
    // EUC-JP: 日本; a lone lead byte
    "\xc6\xfc\xcb\xdc", "\x8e",
};

std::string random_text(std::mt19937 &rng, int max_pieces) {
    std::uniform_int_distribution<int> count(1, max_pieces);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kPieces / sizeof kPieces[0] - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text;
    for (int n = count(rng); n > 0; --n) {
        if (byte(rng) < 16) text += static_cast<char>(byte(rng) | 1);  // any byte but NUL
        else text += kPieces[pick(rng)];
    }
    return text;
}

// A text for a quoted statement value: its double quotes would end the value early.
std::string quotable(std::string text) {
    for (char &c : text)
        if (c == '"') c = '\'';
    return text;
}

// A text for a cell value. A leading "=" would make it a formula, whose text is the formula
// path's business rather than this test's; the quote that marks a value as text keeps it a text
// with the same characters.
std::string cell_text(std::string text) {
    if (!text.empty() && text[0] == '=') text.insert(text.begin(), '\'');
    return text;
}

void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// One book; returns true when it saved with 0.
bool make_book(const std::string &dir, int number, std::mt19937 &rng) {
    const char *charset = kCharsets[number % 3];
    const std::string name = dir + "/text_" + std::to_string(number) + ".xlsx";
    XLS_BOOK book = {};
    std::string options = std::string("MODE=CREATE CHARSET=") + charset + " BOOK=\"" + name + "\"";
    if (TXLS_open_book(&book, options.c_str()) != 0) return false;

    for (int s = 0; s < 2; ++s) {
        std::string sheet = "SHEET_NAME=\"" + quotable(random_text(rng, 4)) + "\"";
        if (TXLS_open_sheet(&book, sheet.c_str()) != 0)
            TXLS_open_sheet(&book, s == 0 ? "SHEET_NAME=First" : "SHEET_NAME=Second");
        for (int row = 1; row <= 6; ++row) {
            std::string cell = "A" + std::to_string(row);
            TXLS_put_cell(&book, cell.c_str(), cell_text(random_text(rng, 8)).c_str());
        }
        const char *statements[] = {"BOOK.TITLE", "BOOK.SUBJECT", "BOOK.CREATOR", "BOOK.COMPANY",
                                    "SHEET.HEADER.CENTER", "SHEET.FOOTER.LEFT", "B1.FONT.NAME", "B2"};
        for (const char *target : statements) {
            std::string value = quotable(random_text(rng, 5));
            if (std::string(target) == "B2") value = cell_text(value);
            std::string statement = std::string(target) + "=\"" + value + "\"";
            TXLS_put_values(&book, statement.c_str());
        }
    }

    // A CSV file whose fields and "!" statement lines are random, pasted in the book's charset.
    const std::string csv = dir + "/text_" + std::to_string(number) + ".csv";
    std::string lines;
    for (int i = 0; i < 4; ++i) lines += quotable(random_text(rng, 4)) + "," + quotable(random_text(rng, 3)) + "\n";
    lines += "!C1.FONT.NAME=\"" + quotable(random_text(rng, 3)) + "\"\n";
    lines += "!SHEET.HEADER.RIGHT=\"" + quotable(random_text(rng, 3)) + "\"\n";
    write_file(csv, lines);
    TXLS_put_values(&book, ("D1.CSV=\"" + csv + "\"").c_str());

    // A statement file of random values.
    const std::string statements = dir + "/text_" + std::to_string(number) + ".txt";
    write_file(statements, "F1=\"" + cell_text(quotable(random_text(rng, 6))) + "\"\nF2.FONT.NAME=\"" +
                               quotable(random_text(rng, 3)) + "\"\nBOOK.MANAGER=\"" +
                               quotable(random_text(rng, 3)) + "\"\n");
    TXLS_read_file(&book, ("FILE=\"" + statements + "\" CHARSET=" + charset).c_str());

    std::remove(csv.c_str());
    std::remove(statements.c_str());
    int rc = TXLS_close_book(&book, "SAVE");
    if (rc != 0) TXLS_free_book(&book);
    return rc == 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTDIR BOOKS SEED\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const int books = std::atoi(argv[2]);
    std::mt19937 rng(static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)));
    std::ofstream saved(dir + "/saved.txt");
    int count = 0;
    for (int n = 0; n < books; ++n)
        if (make_book(dir, n, rng)) {
            saved << "text_" << n << ".xlsx\n";
            ++count;
        }
    std::printf("%d of %d books saved\n", count, books);
    return 0;
}
