// Copies a workbook, opens the copy in UPDATE mode, puts one value into an empty cell of each
// sheet (a row below its data) and saves it over the copy: the round trip the corpus checks look at. Prints one JSON
// line: {"ok":..,"rc":..,"stage":..,"message":..,"put":[[sheet, cell], ...]}.
#include <cstdio>
#include <filesystem>
#include <string>

#include "support/charset.h"
#include "tabsmith.h"

using namespace tabsmith;

namespace {

std::string json_text(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out.append(escape);
            continue;
        }
        out.push_back(static_cast<char>(c));
    }
    return out + "\"";
}

int report(XLS_BOOK &record, const char *stage, int rc, const std::string &put) {
    std::printf("{\"ok\":%s,\"rc\":%d,\"stage\":\"%s\",\"message\":%s,\"put\":[%s]}\n", rc == 0 ? "true" : "false", rc,
                stage, json_text(to_utf8(record.log.error_info, kSjis)).c_str(), put.c_str());
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: update_copy WORKBOOK COPY\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::copy_file(argv[1], argv[2], std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
        std::fprintf(stderr, "cannot copy: %s\n", ec.message().c_str());
        return 2;
    }
    static XLS_BOOK record;
    std::string options = std::string("CHARSET=UTF8 MODE=UPDATE BOOK=\"") + argv[2] + "\"";
    int rc = TXLS_open_book(&record, options.c_str());
    if (rc != 0) return report(record, "open", rc, "");
    std::string put;
    for (int s = 0; s < TXLS_sheet_num(&record); ++s) {
        char name[512] = "";
        TXLS_sheet_name(&record, s, name, sizeof name);
        TXLS_open_sheet2(&record, s);
        // Column A of the row below the last one in use: outside the sheet's merged areas.
        const int row = TXLS_row_num(&record) + 2;
        if (row > 1048576) continue;
        char cell[32];
        TXLS_cell_name(row, 1, cell, sizeof cell);
        rc = TXLS_put_cell(&record, cell, "roundtrip");
        if (rc != 0) return report(record, "put", rc, put);
        if (!put.empty()) put += ",";
        put += "[" + json_text(name) + "," + json_text(cell) + "]";
    }
    rc = TXLS_close_book(&record, "SAVE");
    if (rc != 0) {
        report(record, "save", rc, put);
        TXLS_free_book(&record);
        return 0;
    }
    return report(record, "saved", 0, put);
}
