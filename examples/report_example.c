/* report_example.c - a small sales report built through the C API: sheets, values of every
 * kind, a variable, every cell read back with its kind, then the workbook saved. */
#include <stdio.h>
#include <string.h>

#include "tabsmith.h"

static int check(XLS_BOOK *book, int rc, const char *what) {
    if (rc != 0) fprintf(stderr, "%s failed: %d %s\n", what, rc, TXLS_error_mesg(book));
    return rc;
}

int main(void) {
    static XLS_BOOK book;
    static const char *sheets[] = {"Summary", "Detail"};
    static const char *cells[][2] = {
        {"A1", "Sales report"},    {"A2", "$SYSDATE"},     {"A3", "$REGION"},
        {"B1", "1,234,567"},       {"B2", "12.50"},        {"B3", "8.25%"},
        {"C1", "2024/04/01"},      {"C2", "2024-04-01 09:30"}, {"C3", "17:45:10"},
        {"D1", "=SUM(B1:B2)"},     {"D2", "'00123"},       {"D3", "\\$not a variable"},
    };
    char value[256], kind[256], name[64];
    int s, i;

    if (check(&book, TXLS_open_book(&book, "MODE=CREATE BOOK=example_report CHARSET=UTF8"), "open")) return 1;
    if (check(&book, TXLS_put_variable(&book, "REGION", "Kanto"), "variable")) return 1;
    for (s = 0; s < 2; ++s) {
        char options[80];
        snprintf(options, sizeof options, "SHEET_NAME=%s", sheets[s]);
        if (check(&book, TXLS_open_sheet(&book, options), "open_sheet")) return 1;
        for (i = 0; i < (int)(sizeof cells / sizeof cells[0]); ++i)
            if (check(&book, TXLS_put_cell(&book, cells[i][0], cells[i][1]), cells[i][0])) return 1;
        /* Wide enough for the title and the date-time, which a default column shows as ###. */
        if (check(&book, TXLS_put_values(&book, "A.WIDTH=14 B.WIDTH=12 C.WIDTH=18 D.WIDTH=16"), "widths")) return 1;
    }

    for (s = 0; s < TXLS_sheet_num(&book); ++s) {
        TXLS_open_sheet2(&book, s);
        TXLS_sheet_name(&book, s, name, sizeof name);
        printf("[%s] %d rows\n", name, TXLS_row_num(&book));
        for (i = 0; i < (int)(sizeof cells / sizeof cells[0]); ++i) {
            if (check(&book, TXLS_get_cell(&book, cells[i][0], value, sizeof value, kind, sizeof kind), "get")) return 1;
            printf("  %-3s %-22s -> %-20s %s\n", cells[i][0], cells[i][1], value, kind);
        }
    }
    if (check(&book, TXLS_close_book(&book, "SAVE"), "save")) return 1;
    printf("saved example_report.xlsx in the current directory\n");
    return 0;
}
