// Writes the format cross-check book: cells carrying every number-format kind over a spread of
// values, and a manifest of the text TXLS_get_format_cell gives for each of them.
//
// Usage: conformance_format_books OUTDIR   (writes OUTDIR/formats.xlsx and OUTDIR/formats.tsv)

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "model/address.h"
#include "model/book.h"
#include "model/style_registry.h"
#include "tabsmith.h"

using namespace tabsmith;

namespace {

// One column of a sheet: a number-format entry of `kind` (with `code` for the kinds whose
// code the styles writer takes from the entry), a built-in id, or no format at all.
struct Format {
    std::string label;
    int kind = 0;
    int decimals = 0;
    std::string code;
    int builtin = -1;
};

struct Value {
    std::string label, text;
    std::int64_t serial = -1;   // overrides the stored serial (days the input check refuses)
};

Format entry(int kind, int decimals = 0, std::string code = {}) {
    std::string label = std::to_string(kind) + (decimals ? "." + std::to_string(decimals) : "");
    return {label, kind, decimals, std::move(code), -1};
}
Format builtin(int id) { return {"id" + std::to_string(id), 0, 0, {}, id}; }
Format none() { return {"none", 0, 0, {}, -1}; }

const std::vector<Format> kNumberFormats = {
    none(), entry(100), entry(107), entry(107, 2), entry(108), entry(108, 2), entry(109, 2), entry(104),
    entry(201), entry(202), entry(203), entry(204), entry(205), entry(900, 0, ";;;"), builtin(3), builtin(5),
};
const std::vector<Format> kPercentFormats = {none(), entry(501), entry(501, 1), entry(501, 3), builtin(9), builtin(10)};
const std::vector<Format> kDateFormats = {
    none(), entry(301, 0, "yyyy/m"), entry(302), entry(303), entry(304, 0, "yyyy/m/d hh:mm AM/PM"),
    entry(305, 0, "m"), entry(306, 0, "m/d"), entry(307, 0, "m/d/yy"), entry(308, 0, "mm/dd/yy"),
    entry(309, 0, "d-mmm"), entry(310, 0, "d-mmm-yy"), entry(311, 0, "dd-mmm-yy"), entry(312, 0, "mmm-yy"),
    entry(313, 0, "mmmm-yy"), entry(314, 0, "mmmmm"), entry(315, 0, "mmmmm-yy"), entry(316, 0, "yyyymmdd"),
    entry(317, 0, "yyyymmddhhmmss"), entry(318, 0, "yyyy/m/d hh:mm:ss"), entry(319, 0, "d"),
    entry(330, 0, "m\"月\""), entry(331), entry(332, 0, "yyyy\"年\"m\"月\""), entry(333), entry(334), entry(335),
    entry(340, 0, "ddd"), entry(341, 0, "dddd"), entry(342, 0, "aaa"), entry(343, 0, "aaaa"), builtin(14),
    builtin(22),
};
const std::vector<Format> kTimeFormats = {
    none(), entry(303), entry(318, 0, "yyyy/m/d hh:mm:ss"), entry(401, 0, "hh:mm"), entry(402),
    entry(403, 0, "hh:mm AM/PM"), entry(404), entry(405, 0, "h\"時\"mm\"分\"ss\"秒\""),
    entry(406, 0, "h:mm:ss AM/PM"), entry(407, 0, "mm:ss"), builtin(18), builtin(19), builtin(20), builtin(21),
    builtin(32), builtin(33), builtin(45), builtin(46),
};

const std::vector<Value> kNumbers = {
    {"zero", "0"}, {"neg", "-1234567.25"}, {"thousand", "1000"}, {"yen", "5000"}, {"negyen", "-5000"},
    {"frac", "12.5"}, {"small", "0.125"}, {"large", "999999999999"}, {"neghalf", "-0.5"}, {"long", "1234.5678"},
    {"round", "2.999"},
};
const std::vector<Value> kPercents = {
    {"p8.25", "8.25%"}, {"p0", "0%"}, {"pneg", "-12.5%"}, {"p100", "100%"}, {"p0.1", "0.1%"}, {"p33", "33.333%"},
};
const std::vector<Value> kDates = {
    {"1900-01-01", "1900/01/01"}, {"1900-02-28", "1900/02/28"}, {"1900-02-29", "1900/03/01", 60},
    {"1900-03-01", "1900/03/01"}, {"1912-07-29", "1912/07/29"}, {"1912-07-30", "1912/07/30"},
    {"1926-12-24", "1926/12/24"}, {"1926-12-25", "1926/12/25"}, {"1989-01-07", "1989/01/07"},
    {"1989-01-08", "1989/01/08"}, {"1999-12-31", "1999/12/31"}, {"2000-01-01", "2000/01/01"},
    {"2019-04-30", "2019/04/30"}, {"2019-05-01", "2019/05/01"}, {"2024-01-01", "2024/01/01"},
    {"2024-02-29", "2024/02/29"}, {"9999-12-31", "9999/12/31"},
};
const std::vector<Value> kTimes = {
    {"t0", "0:00"}, {"t6:05:09", "6:05:09"}, {"t12", "12:00"}, {"t18", "18:00"}, {"t23:59:59", "23:59:59"},
    {"dt0", "2024/01/01 00:00"}, {"dt12", "2024/01/01 12:00"}, {"dt23:59:59", "2024/01/01 23:59:59"},
    {"dt1989", "1989/01/07 18:30"},
};

std::string column_letters(int column) {
    std::string name;
    for (++column; column > 0; column = (column - 1) / 26) name.insert(name.begin(), static_cast<char>('A' + (column - 1) % 26));
    return name;
}

bool failed = false;

bool check(XLS_BOOK &record, int rc, const std::string &what) {
    if (rc == 0) return true;
    std::fprintf(stderr, "%s: %d %s\n", what.c_str(), rc, TXLS_error_mesg(&record));
    failed = true;
    return false;
}

int apply(Book &book, Cell &cell, const Format &format) {
    if (format.builtin >= 0) {
        XfRecord xf = cell_xf(book, cell);
        xf.format = static_cast<std::uint32_t>(format.builtin);
        xf.format_mode = kFormatBuiltin;
        return set_cell_xf(book, cell, xf);
    }
    if (format.kind == 0) return 0;
    // One entry per (kind, decimals), as the decimal kinds of the statements keep them.
    const auto &formats = book.styles.num_formats();
    int index = 0;
    for (std::size_t i = 0; i < formats.size() && index == 0; ++i)
        if (formats[i].kind == format.kind && formats[i].decimals == format.decimals) index = static_cast<int>(i + 1);
    if (index == 0) {
        NumFormat record;
        record.kind = static_cast<std::uint16_t>(format.kind);
        record.decimals = static_cast<std::uint8_t>(format.decimals);
        record.code = format.code;
        if (int rc = append_num_format(book, record, index); rc != 0) return rc;
    }
    return set_cell_number_format(book, cell, static_cast<std::uint32_t>(index));
}

void fill_sheet(XLS_BOOK &record, std::ofstream &manifest, const std::string &sheet, const std::vector<Format> &formats,
                const std::vector<Value> &values) {
    if (!check(record, TXLS_open_sheet(&record, ("SHEET_NAME=\"" + sheet + "\"").c_str()), "sheet " + sheet)) return;
    Book &book = *static_cast<Book *>(record.work);
    for (std::size_t f = 0; f < formats.size(); ++f) {
        for (std::size_t v = 0; v < values.size(); ++v) {
            std::string name = column_letters(static_cast<int>(f)) + std::to_string(v + 1);
            if (!check(record, TXLS_put_cell(&record, name.c_str(), values[v].text.c_str()), sheet + "!" + name)) continue;
            CellRef ref;
            if (resolve_cell(book, name, ref) != 0) continue;
            Cell &cell = book.current()->rows[static_cast<std::size_t>(ref.row1)].cells[static_cast<std::size_t>(ref.column1)];
            if (values[v].serial >= 0) cell.set_integer(values[v].serial);
            if (!check(record, apply(book, cell, formats[f]), sheet + "!" + name + " format")) continue;
            char text[512] = "", kind[512] = "";
            if (!check(record, TXLS_get_format_cell(&record, name.c_str(), text, sizeof text, kind, sizeof kind),
                       sheet + "!" + name + " read"))
                continue;
            manifest << sheet << '\t' << name << '\t' << formats[f].label << '|' << values[v].label << '\t' << text
                     << '\n';
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    std::ofstream manifest(dir + "/formats.tsv");
    XLS_BOOK record{};
    std::string options = "MODE=CREATE CHARSET=UTF8 BOOK=\"" + dir + "/formats.xlsx\"";
    if (!check(record, TXLS_open_book(&record, options.c_str()), "open")) return 1;
    fill_sheet(record, manifest, "Numbers", kNumberFormats, kNumbers);
    fill_sheet(record, manifest, "Percents", kPercentFormats, kPercents);
    fill_sheet(record, manifest, "Dates", kDateFormats, kDates);
    fill_sheet(record, manifest, "Times", kTimeFormats, kTimes);
    check(record, TXLS_close_book(&record, "SAVE"), "save");
    TXLS_free_book(&record);
    return failed ? 1 : 0;
}
