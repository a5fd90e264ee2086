/* bench_formula.c - F1: a sheet of N formula cells, each summing a 10-cell row of numbers,
 * saved as .xlsx with every formula computed. Prints save time for N = 10,000 and 100,000. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "tabsmith.h"

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static int run(const char *path, int rows) {
    static XLS_BOOK book;
    char options[512], cell[16], value[64];
    int r, c;

    snprintf(options, sizeof options, "MODE=CREATE CHARSET=UTF8 BOOK=\"%s\"", path);
    if (TXLS_open_book(&book, options) != 0 || TXLS_open_sheet(&book, "SHEET_NAME=Sheet1") != 0) {
        fprintf(stderr, "open: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    double t0 = now();
    for (r = 1; r <= rows; ++r) {
        for (c = 1; c <= 10; ++c) {
            TXLS_cell_name(r, c, cell, sizeof cell);
            snprintf(value, sizeof value, "%d.%02d", (r * 7 + c * 13) % 1000, (r + c) % 100);
            if (TXLS_put_cell(&book, cell, value) != 0) {
                fprintf(stderr, "put %s: %s\n", cell, TXLS_error_mesg(&book));
                return 1;
            }
        }
        snprintf(cell, sizeof cell, "K%d", r);
        snprintf(value, sizeof value, "=SUM(A%d:J%d)", r, r);
        if (TXLS_put_cell(&book, cell, value) != 0) {
            fprintf(stderr, "put %s: %s\n", cell, TXLS_error_mesg(&book));
            return 1;
        }
    }
    double t1 = now();
    if (TXLS_close_book(&book, "SAVE") != 0) {
        fprintf(stderr, "save: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    double t2 = now();
    printf("formulas=%d put=%.3fs save=%.3fs (%.2f us per formula cell saved)\n", rows, t1 - t0, t2 - t1,
           (t2 - t1) * 1e6 / rows);
    return 0;
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "bench_f1.xlsx";
    if (argc > 2) return run(path, atoi(argv[2]));
    return run(path, 10000) || run(path, 100000);
}
