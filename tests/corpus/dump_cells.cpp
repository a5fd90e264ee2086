// Prints what the engine reads from a workbook as one JSON document, for the corpus checks:
// the sheet names and every non-empty cell with its kind and raw value (numbers and date
// serials as numbers of the file's own date system, texts, truth values, error texts).
#include <cmath>
#include <cstdio>
#include <string>

#include "format/serial.h"
#include "model/address.h"
#include "model/book.h"
#include "support/charset.h"
#include "tabsmith.h"

using namespace tabsmith;

namespace {

void json_string(std::string &out, std::string_view text) {
    out.push_back('"');
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out.append(escape);
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    out.push_back('"');
}

void json_number(std::string &out, double value) {
    if (!std::isfinite(value)) {
        out.append("null");
        return;
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    out.append(buffer);
}

bool date_kind(int kind) {
    return kind == kCellDate || kind == kCellDateTime || kind == kCellTimeHm || kind == kCellTimeHms;
}

// One cell as [ref, type, value]: type n, s, b, e, d (date serial) or f (formula, no value).
void cell_json(const Book &book, const Cell &cell, int row, int column, std::string &out) {
    std::string ref;
    cell_name(row, column, ref);
    out.append("[");
    json_string(out, ref);
    out.append(",");
    const CellExtra *extra = cell.extra_record();
    switch (cell.kind) {
    case kCellText: out.append("\"s\","); json_string(out, cell.text()); break;
    case kCellString: out.append("\"s\","); json_string(out, shared_string_text(book, cell)); break;
    case kCellInteger: out.append("\"n\","); json_number(out, static_cast<double>(cell.integer())); break;
    case kCellFloat:
    case kCellPercent: out.append("\"n\","); json_number(out, cell.number()); break;
    case kCellBoolean: out.append("\"b\","); out.append(cell.integer() ? "true" : "false"); break;
    case kCellError: out.append("\"e\","); json_string(out, cell.text()); break;
    case kCellFormula: out.append("\"f\",null"); break;
    case kCellFormulaValue: {
        char type = extra ? extra->value_type : 0;
        if (type == 'n') {
            out.append("\"n\",");
            json_number(out, cell.number());
        } else if (type == 'b') {
            out.append("\"b\",");
            out.append(cell.text() == "TRUE" ? "true" : "false");
        } else {
            out.append(type == 'e' ? "\"e\"," : "\"s\",");
            json_string(out, cell.text());
        }
        break;
    }
    default:
        if (date_kind(cell.kind)) {
            out.append("\"d\",");
            json_number(out, cell.number() - (book.date1904 ? static_cast<double>(kDate1904Offset) : 0.0));
        } else {
            out.append("\"?\",null");
        }
    }
    out.append("]");
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: dump_cells WORKBOOK [MODE]\n");
        return 2;
    }
    static XLS_BOOK record;
    // The character set comes first: it governs how the names after it are read.
    std::string options = std::string("CHARSET=UTF8 BOOK=\"") + argv[1] + "\" MODE=" + (argc > 2 ? argv[2] : "READ");
    int rc = TXLS_open_book(&record, options.c_str());
    std::string out;
    if (rc != 0) {
        out.append("{\"ok\":false,\"rc\":").append(std::to_string(rc)).append(",\"message\":");
        // After a failed open the book is gone and its log holds the message in Shift-JIS.
        json_string(out, to_utf8(record.log.error_info, kSjis));
        out.append("}\n");
        std::fputs(out.c_str(), stdout);
        TXLS_free_book(&record);
        return 0;
    }
    const Book &book = *static_cast<const Book *>(record.work);
    out.append("{\"ok\":true,\"sheets\":[");
    for (int s = 0; s < book.sheet_count(); ++s) {
        const Sheet &sheet = *book.sheet(s);
        if (s) out.append(",");
        out.append("{\"name\":");
        json_string(out, sheet.name);
        out.append(",\"cells\":[");
        bool first = true;
        for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
            const Row &row = sheet.rows[r];
            for (std::size_t c = 0; c < row.cells.size(); ++c) {
                const Cell &cell = row.cells[c];
                if (cell.empty()) continue;
                if (!first) out.append(",");
                first = false;
                cell_json(book, cell, static_cast<int>(r), static_cast<int>(c), out);
            }
        }
        out.append("]}");
    }
    out.append("]}\n");
    std::fputs(out.c_str(), stdout);
    TXLS_close_book(&record, "DESTROY");
    return 0;
}
