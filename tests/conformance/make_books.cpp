// The conformance books: runs the book scripts (books.txt and those the checker writes: statements,
// cells and calls, and the facts other spreadsheet programs must find) and the books made by code.
//
// Usage: conformance_books OUTDIR PICTURES SCRIPT...   (writes OUTDIR/*.xlsx and OUTDIR/facts.tsv,
//            "book<TAB>kind<TAB>sheet<TAB>fields...", texts with \\, \t and \n escaped)
//        conformance_books dump WORKBOOK | update WORKBOOK COPY   (the corpus checks' view, as JSON)
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "format/serial.h"
#include "model/address.h"
#include "model/book.h"
#include "model/shape.h"
#include "model/style_registry.h"
#include "support/charset.h"
#include "tabsmith.h"
#include "../common/tiny_jpeg.h"

using namespace tabsmith;

namespace {

std::string outdir, pictures;
std::ofstream facts;
int failures = 0;

std::string cell_at(int row, int column) {   // 0-based
    std::string name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
    return name + std::to_string(row + 1);
}

std::string replaced(std::string text, const std::string &from, const std::string &to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) text.replace(at, from.size(), to);
    return text;
}

// One book being written; a call that must succeed and fails fails the maker.
struct Out {
    XLS_BOOK rec{};
    std::string file, sheet_;
    Out(const std::string &name, const std::string &options) : file(name + ".xlsx") {
        ok(TXLS_open_book(&rec, (options + " BOOK=\"" + outdir + "/" + file + "\"").c_str()), "open");
    }
    bool ok(int rc, const std::string &what) {
        if (rc) std::fprintf(stderr, "%s %s: %d %s\n", file.c_str(), what.c_str(), rc, TXLS_error_mesg(&rec)), ++failures;
        return rc == 0;
    }
    void sheet(const std::string &name, const std::string &mode = "") {
        sheet_ = name;
        ok(TXLS_open_sheet(&rec, (mode + "SHEET_NAME=\"" + name + "\"").c_str()), "sheet " + name);
    }
    void run(const std::string &statements) { ok(TXLS_put_values(&rec, statements.c_str()), statements.substr(0, 80)); }
    bool put(const std::string &cell, const std::string &value) { return ok(TXLS_put_cell(&rec, cell.c_str(), value.c_str()), sheet_ + "!" + cell); }
    void fact(const std::vector<std::string> &fields) {
        facts << file << '\t' << fields[0] << '\t' << sheet_;
        for (std::size_t k = 1; k < fields.size(); ++k) {
            facts << '\t';
            for (char c : fields[k]) facts << (c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : std::string(1, c));
        }
        facts << '\n';
    }
    // type: s text, n number, d date-time (ISO), t time, f formula text; expect: what readers show
    void put(const std::string &cell, const std::string &value, const std::string &type, const std::string &expect) {
        if (put(cell, value)) fact({type, cell, expect});
    }
    Book &model() { return *static_cast<Book *>(rec.work); }
    Cell &cell(const std::string &name) {
        CellRef ref;
        ok(resolve_cell(model(), name, ref), name);
        return model().current()->rows[static_cast<std::size_t>(ref.row1)].cells[static_cast<std::size_t>(ref.column1)];
    }
    ~Out() {
        if (ok(TXLS_close_book(&rec, "SAVE"), "save")) fact({"saved"});
        TXLS_free_book(&rec);
    }
};

// Cells styled through the registry (the statement language drives the same calls).
void styled(Out &b) {
    Book &book = b.model();
    FontRecord font;
    FillRecord fill;
    BorderRecord border;
    font.style = kFontBold, font.colour = fill.colour = kStyleColourRgb, font.rgb = {255, 0, 0}, fill.rgb = {255, 255, 0};
    border.left = border.right = border.top = border.bottom = 1;
    int format = 0;
    b.ok(set_cell_font(book, b.cell("A1"), kFontMaskStyle | kFontMaskColour, font), "font");
    b.ok(set_cell_fill(book, b.cell("A2"), kFillMaskColour, fill), "fill");
    b.ok(set_cell_text_flags(book, b.cell("A3"), kTextWrap), "wrap");
    b.ok(tsx_set_num_format(book, 107, format) || set_cell_number_format(book, b.cell("A4"), format), "format");
    b.ok(set_range_border(book, 0, 1, 1, 3, 3, kBorderMaskLeft | kBorderMaskRight | kBorderMaskTop | kBorderMaskBottom, border), "border");
}

// Several megabytes of sheet text, so the worksheet is compressed in pieces that are joined; a
// sample of cells is checked, and the whole entry's CRC by the package check.
void large(Out &b) {
    static const char *const kWords[] = {"alpha", "日本語の文字列", "a&b<c>", "  padded  "};
    for (int r = 1; r <= 30000; ++r)
        for (int c = 0; c < 8; ++c) {
            std::string cell = cell_at(r - 1, c), value, type = "n";
            if (c < 3) value = std::to_string(r * 7919LL % 1000003 * (c + 1));
            else if (c < 5) value = std::to_string(r % 9973) + "." + std::to_string(10 + r % 90);
            else value = std::string(kWords[(r + c) % 4]) + "-" + std::to_string(r), type = "s";
            if ((r * 8 + c) % 53 == 0 || r == 30000) b.put(cell, value, type, value);
            else b.put(cell, value);
        }
}

// Rows 2..300 streamed out of memory as they are filled; row 1 and the formulas stay readable.
void streamed(Out &b) {
    for (int r = 2; r <= 300; ++r) {
        const std::string n = std::to_string(r);
        b.run("A" + n + "=row" + n + " B" + n + "=" + n + " C" + n + "=\"=B" + n + "*2\" D" + n + "=2024/01/15" + (r % 3 ? "" : " A" + n + ".FONT.STYLE=BOLD"));
        b.ok(TXLS_write_row(&b.rec, r), "write row");
        for (const auto &[kind, cell, value] : {std::array<std::string, 3>{"s", "A", "row" + n}, {"n", "B", n}, {"f", "C", "=B" + n + "*2"},
                                                {"d", "D", "2024-01-15T00:00:00"}, {"style", "A", r % 3 ? "font.b=False" : "font.b=True"}})
            b.fact({kind, cell + n, value});
    }
}

// Every shape kind of the engine's table, by its word and by its Japanese word, on a grid of
// cells: the shapes and lines each sheet holds, their presets in order and their texts.
void every_shape_kind(Out &b) {
    for (bool japanese : {false, true}) {
        std::string sheet = japanese ? "種類" : "Kinds", presets, texts;
        int next = 0, shapes = 0, lines = 0;
        b.sheet(sheet);
        for (const ShapeKind &kind : shape_kinds()) {
            const std::string word(japanese ? kind.japanese : kind.word), target = sheet + "!" + cell_at(next / 4 * 6 + 1, next % 4 * 3 + 1);
            if (word.empty()) continue;
            const std::string text = kind.connector ? "" : japanese ? word : "k" + word;
            std::string run = target + ".AUTOSHAPE=" + word;
            if (!japanese) run += kind.connector ? " " + target + ".AUTOSHAPE.END.OFFSET.X=80 " + target + ".AUTOSHAPE.END.OFFSET.Y=30"
                                                 : " " + target + ".AUTOSHAPE.WIDTH=80 " + target + ".AUTOSHAPE.HEIGHT=50";
            b.run(run + (text.empty() ? "" : " " + target + ".AUTOSHAPE.TEXT=\"" + text + "\""));
            ++next, ++(kind.connector ? lines : shapes);
            if (!kind.connector) texts += (texts.empty() ? "" : "|") + text;
            if (!kind.connector && !kind.preset.empty()) presets += (presets.empty() ? "" : ",") + std::string(kind.preset);
        }
        b.fact({"shapes", std::to_string(shapes), std::to_string(lines), presets, texts});
    }
}

// Number formats: a format per column ("none", built-in "idN", or an entry "kind[.decimals][:code]",
// one per kind and decimals as the statements keep them) over a value per row ("label=text" or
// "label=text=serial", the serial stored over what the input check refuses), each cell with the
// text TXLS_get_format_cell gives for it.
void shown(Out &b, const std::vector<std::string> &formats, const std::vector<std::string> &values) {
    for (std::size_t f = 1; f < formats.size(); ++f)
        for (std::size_t v = 1; v < values.size(); ++v) {
            const std::string name = cell_at(static_cast<int>(v - 1), static_cast<int>(f - 1)), &format = formats[f];
            const std::size_t eq = values[v].find('='), eq2 = values[v].find('=', eq + 1);
            if (!b.put(name, values[v].substr(eq + 1, eq2 - eq - 1))) continue;
            Cell &cell = b.cell(name);
            if (eq2 != std::string::npos) cell.set_integer(std::stoll(values[v].substr(eq2 + 1)));
            int rc = 0, index = 0;
            if (format.rfind("id", 0) == 0) {
                XfRecord xf = cell_xf(b.model(), cell);
                xf.format = static_cast<std::uint32_t>(std::stoi(format.substr(2)));
                xf.format_mode = kFormatBuiltin;
                rc = set_cell_xf(b.model(), cell, xf);
            } else if (format != "none") {
                NumFormat record;
                record.kind = static_cast<std::uint16_t>(std::stoi(format));
                const std::size_t dot = format.find('.'), colon = format.find(':');
                record.decimals = static_cast<std::uint8_t>(dot < colon ? std::stoi(format.substr(dot + 1)) : 0);
                record.code = colon == std::string::npos ? "" : format.substr(colon + 1);
                const auto &known = b.model().styles.num_formats();
                for (std::size_t i = 0; i < known.size() && index == 0; ++i)
                    if (known[i].kind == record.kind && known[i].decimals == record.decimals) index = static_cast<int>(i + 1);
                rc = index ? 0 : append_num_format(b.model(), record, index);
                rc = rc ? rc : set_cell_number_format(b.model(), cell, static_cast<std::uint32_t>(index));
            }
            char text[512] = "", kind[512] = "";
            if (b.ok(rc, name + " format") && b.ok(TXLS_get_format_cell(&b.rec, name.c_str(), text, sizeof text, kind, sizeof kind), name))
                b.fact({"shown", name, format.substr(0, format.find(':')) + "|" + values[v].substr(0, eq), text});
        }
}

// Random texts, valid and invalid, through every path a caller's text takes into a saved package
// (cell values, sheet names, book properties, headers and footers, font names, the "!" lines of a
// pasted CSV file, statement files) in every character set: a book that saves must load anywhere.
const char *const kPieces[] = {
    "abc", " ", "&", "<", ">", "'", "\\", "_x0041_", "_x", "%s", "%d", "\t", "\n", "\r", "\x01", "\x1f", "\x7f",
    // UTF-8: Japanese, the yen sign, U+FFFE, U+FFFF, U+FFFD, a supplementary character
    "\xe6\x97\xa5\xe6\x9c\xac", "\xc2\xa5", "\xef\xbf\xbe", "\xef\xbf\xbf", "\xef\xbf\xbd", "\xf0\x9f\x98\x80",
    // invalid UTF-8: stray bytes, an encoded surrogate, a cut-off sequence, an over-long form
    "\xff\xfe", "\xed\xa0\x80", "\xe3\x81", "\xc0\xaf", "\x80", "\xf8\x88\x80\x80\x80",
    // Shift-JIS: 日本 and a half-width katakana; a lone lead byte; EUC-JP: 日本; a lone lead byte
    "\x93\xfa\x96\x7b", "\xb1", "\x82", "\xc6\xfc\xcb\xdc", "\x8e",
};
std::mt19937 text_random(20261206);

// Double quotes would end a quoted statement value early (quoted); a leading "=" would make a
// cell value a formula, so the quote that marks a text goes first (cell).
std::string random_text(int max_pieces, bool quoted = true, bool cell = false) {
    std::uniform_int_distribution<int> count(1, max_pieces), byte(0, 255);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kPieces) - 1);
    std::string text;
    for (int n = count(text_random); n > 0; --n) text += byte(text_random) < 16 ? std::string(1, static_cast<char>(byte(text_random) | 1)) : kPieces[pick(text_random)];
    for (char &c : text)
        if (quoted && c == '"') c = '\'';
    if (cell && !text.empty() && text[0] == '=') text.insert(text.begin(), '\'');
    return text;
}

void random_texts() {
    for (int number = 0; number < 600; ++number) {
        const std::string charset = std::array<const char *, 3>{"SJIS", "EUC", "UTF8"}[number % 3], name = "text_" + std::to_string(number);
        const std::string base = outdir + "/" + name;
        XLS_BOOK book{};
        if (TXLS_open_book(&book, ("MODE=CREATE CHARSET=" + charset + " BOOK=\"" + base + ".xlsx\"").c_str()) != 0) continue;
        for (int s = 0; s < 2; ++s) {
            if (TXLS_open_sheet(&book, ("SHEET_NAME=\"" + random_text(4) + "\"").c_str()) != 0)
                TXLS_open_sheet(&book, s == 0 ? "SHEET_NAME=First" : "SHEET_NAME=Second");
            for (int row = 1; row <= 6; ++row) TXLS_put_cell(&book, ("A" + std::to_string(row)).c_str(), random_text(8, false, true).c_str());
            for (std::string target : {"BOOK.TITLE", "BOOK.SUBJECT", "BOOK.CREATOR", "BOOK.COMPANY", "SHEET.HEADER.CENTER",
                                       "SHEET.FOOTER.LEFT", "B1.FONT.NAME", "B2"})
                TXLS_put_values(&book, (target + "=\"" + random_text(5, true, target == "B2") + "\"").c_str());
        }
        // A CSV file whose fields and "!" statement lines are random, pasted in the book's charset.
        std::string lines;
        for (int i = 0; i < 4; ++i) lines += random_text(4) + "," + random_text(3) + "\n";
        lines += "!C1.FONT.NAME=\"" + random_text(3) + "\"\n";
        lines += "!SHEET.HEADER.RIGHT=\"" + random_text(3) + "\"\n";
        std::ofstream(base + ".csv", std::ios::binary) << lines;
        TXLS_put_values(&book, ("D1.CSV=\"" + base + ".csv\"").c_str());
        std::ofstream(base + ".txt", std::ios::binary) << "F1=\"" + random_text(6, true, true) + "\"\nF2.FONT.NAME=\"" +
                                                              random_text(3) + "\"\nBOOK.MANAGER=\"" + random_text(3) + "\"\n";
        TXLS_read_file(&book, ("FILE=\"" + base + ".txt\" CHARSET=" + charset).c_str());
        std::remove((base + ".csv").c_str());
        std::remove((base + ".txt").c_str());
        if (TXLS_close_book(&book, "SAVE") == 0) facts << name << ".xlsx\tsaved\t\n";
        TXLS_free_book(&book);
    }
}

// A script line is tab-separated fields with \\, \t, \n and \xHH escaped; @P stands for the
// pictures folder and @O for the output folder. Upper-case verbs act on the book; any other line
// is a fact about the current sheet (AT names another).
void run_script(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::unique_ptr<Out> b;
    std::vector<std::string> formats;
    const std::map<std::string, std::function<void(Out &)>> makers = {
        {"styled", styled}, {"large", large}, {"streamed", streamed}, {"shape_kinds", every_shape_kind}};
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f(1);
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\t') f.emplace_back();
            else if (line[i] != '\\' || i + 1 == line.size()) f.back() += line[i];
            else if (line[++i] == 'x') f.back() += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16)), i += 2;
            else f.back() += line[i] == 't' ? '\t' : line[i] == 'n' ? '\n' : line[i];
        }
        for (std::string &field : f) field = replaced(replaced(field, "@P", pictures), "@O", outdir);
        const std::size_t given = f.size();
        f.resize(std::max<std::size_t>(given, 8));
        const std::string &verb = f[0];
        if (verb.empty() || verb[0] == '#') continue;
        if (verb == "BOOK") b.reset(), b = std::make_unique<Out>(f[1], given > 2 ? f[2] : "MODE=CREATE CHARSET=UTF8");
        else if (verb == "SHEET") b->sheet(f[1], f[2]);
        else if (verb == "AT") b->sheet_ = f[1];
        else if (verb == "SELECT") b->ok(TXLS_open_sheet2(&b->rec, std::stoi(f[1])), line);
        else if (verb == "RUN") b->run(f[1]);
        else if (verb == "NEW") {   // statements whose objects join a template book as a new book's would
            b->model().from_file = false;
            b->run(f[1]);
            b->model().from_file = true;
        } else if (verb == "PUT" && given > 4) b->put(f[1], f[2], f[3], f[4]);
        else if (verb == "PUT") b->put(f[1], f[2]);
        else if (verb == "LINK") b->ok(TXLS_external_hyperlink(&b->rec, f[1].c_str(), f[2].c_str()), line);
        else if (verb == "SHEETLINK") b->ok(TXLS_sheet_hyperlink(&b->rec, f[1].c_str(), f[2].c_str(), f[3].c_str()), line);
        else if (verb == "IMAGE") {   // CELL FILE WIDTH HEIGHT RATIO OFFSET [LINK]: a picture from memory
            std::ifstream in(pictures + "/" + f[2], std::ios::binary);
            const std::string bytes(std::istreambuf_iterator<char>(in), {});
            b->ok(TXLS_put_image_memory(&b->rec, f[1].c_str(), f[2].find(".png") != std::string::npos ? 203 : 202, bytes.data(),
                                        static_cast<long>(bytes.size()), std::stoi(f[3]), std::stoi(f[4]), std::stod(f[5]),
                                        std::stod(f[6]), std::stod(f[6]), given > 7 ? f[7].c_str() : nullptr), line);
        } else if (verb == "FORMATS") formats.assign(f.begin(), f.begin() + static_cast<long>(given));
        else if (verb == "SHOWN") shown(*b, formats, {f.begin(), f.begin() + static_cast<long>(given)});
        else if (verb == "MAKE") makers.at(f[1])(*b);
        else f.resize(given), b->fact(f);
    }
}
// The corpus checks' view of a workbook: the sheet names and every non-empty cell as [ref, type,
// value], type n, s, b, e, d (a date serial of the file's own date system) or f (no value).
std::string json_text(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        char escape[8];
        std::snprintf(escape, sizeof escape, c < 0x20 ? "\\u%04x" : c == '"' || c == '\\' ? "\\%c" : "%c", c);
        out += escape;
    }
    return out + "\"";
}

std::string json_cell(const Book &book, const Cell &cell) {
    auto number = [](double v) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.17g", v);
        return std::isfinite(v) ? std::string(buffer) : std::string("null");
    };
    const char type = cell.kind == kCellFormulaValue && cell.extra_record() ? cell.extra_record()->value_type : 0;
    switch (cell.kind) {
    case kCellText: return "\"s\"," + json_text(cell.text());
    case kCellString: return "\"s\"," + json_text(shared_string_text(book, cell));
    case kCellInteger: return "\"n\"," + number(static_cast<double>(cell.integer()));
    case kCellFloat: case kCellPercent: return "\"n\"," + number(cell.number());
    case kCellBoolean: return std::string("\"b\",") + (cell.integer() ? "true" : "false");
    case kCellError: return "\"e\"," + json_text(cell.text());
    case kCellFormula: return "\"f\",null";
    case kCellFormulaValue:
        if (type == 'n') return "\"n\"," + number(cell.number());
        if (type == 'b') return std::string("\"b\",") + (cell.text() == "TRUE" ? "true" : "false");
        return (type == 'e' ? "\"e\"," : "\"s\",") + json_text(cell.text());
    case kCellDate: case kCellDateTime: case kCellTimeHm: case kCellTimeHms:
        return "\"d\"," + number(cell.number() - (book.date1904 ? static_cast<double>(kDate1904Offset) : 0.0));
    default: return "\"?\",null";
    }
}

// {"ok":..,"rc":..,"message":..} and the sheets read or, for an update, the cells put.
int corpus_tool(int argc, char **argv) {
    const bool update = std::string(argv[1]) == "update";
    if (argc != (update ? 4 : 3)) return std::fprintf(stderr, "usage: conformance_books dump BOOK | update BOOK COPY\n"), 2;
    std::error_code error;
    if (update && !std::filesystem::copy_file(argv[2], argv[3], std::filesystem::copy_options::overwrite_existing, error)) return 2;
    static XLS_BOOK rec;
    // The character set comes first: it governs how the names after it are read.
    int rc = TXLS_open_book(&rec, ("CHARSET=UTF8 BOOK=\"" + std::string(argv[update ? 3 : 2]) + "\" MODE=" + (update ? "UPDATE" : "READ")).c_str());
    std::string out;
    const Book *book = rc == 0 ? static_cast<const Book *>(rec.work) : nullptr;
    for (int s = 0; book && s < book->sheet_count(); ++s) {
        const Sheet &sheet = *book->sheet(s);
        std::string cells, ref;
        if (update) {   // column A of the row below the last one in use: outside the sheet's merged areas
            char name[32];
            TXLS_open_sheet2(&rec, s);
            if (TXLS_row_num(&rec) + 2 > 1048576) continue;
            TXLS_cell_name(TXLS_row_num(&rec) + 2, 1, name, sizeof name);
            if ((rc = TXLS_put_cell(&rec, name, "roundtrip")) != 0) break;
            out += std::string(out.empty() ? "" : ",") + "[" + json_text(sheet.name) + "," + json_text(name) + "]";
            continue;
        }
        for (std::size_t r = 0; r < sheet.rows.size(); ++r)
            for (std::size_t c = 0; c < sheet.rows[r].cells.size(); ++c)
                if (!sheet.rows[r].cells[c].empty() && (cell_name(static_cast<int>(r), static_cast<int>(c), ref), true))
                    cells += std::string(cells.empty() ? "" : ",") + "[" + json_text(ref) + "," + json_cell(*book, sheet.rows[r].cells[c]) + "]";
        out += std::string(s ? "," : "") + "{\"name\":" + json_text(sheet.name) + ",\"cells\":[" + cells + "]}";
    }
    if (rc == 0) rc = TXLS_close_book(&rec, update ? "SAVE" : "DESTROY");
    // After a failed open or save the book is gone and its log holds the message in Shift-JIS.
    std::printf("{\"ok\":%s,\"rc\":%d,\"message\":%s,\"%s\":[%s]}\n", rc ? "false" : "true", rc,
                json_text(to_utf8(rec.log.error_info, kSjis)).c_str(), update ? "put" : "sheets", out.c_str());
    if (rc) TXLS_free_book(&rec);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc > 1 && (std::string(argv[1]) == "dump" || std::string(argv[1]) == "update")) return corpus_tool(argc, argv);
    if (argc < 4) return std::fprintf(stderr, "usage: %s OUTDIR PICTURES SCRIPT...\n", argv[0]), 2;
    outdir = argv[1], pictures = argv[2];
    facts.open(outdir + "/facts.tsv", std::ios::binary);
    std::ofstream(outdir + "/thumb.jpg", std::ios::binary) << testing::kTinyJpeg;
    for (int k = 3; k < argc; ++k) run_script(argv[k]);
    random_texts();
    return failures ? 1 : 0;
}
