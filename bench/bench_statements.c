/* bench_statements.c - W5: statements through TXLS_put_values: values (A1=...) and formatting
 * (.FONT.COLOR, .BORDER), in batches of 1,000 statements per call. Prints statements per second
 * and the registry size the formatting produced, then saves. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

#include "tabsmith.h"
#include "workload.h"

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "bench_w5.xlsx";
    long total = argc > 2 ? atol(argv[2]) : 1000000;
    static const char *colours[] = {"RED", "BLUE", "GREEN", "BLACK"};
    static XLS_BOOK book;
    char options[512], cell[16], value[64];
    long long cents = 0;
    size_t capacity = 1 << 20;
    char *text = malloc(capacity);
    long done = 0;
    uint32_t row = 0;
    double t0, t1, t2;

    snprintf(options, sizeof options, "MODE=CREATE CHARSET=UTF8 BOOK=\"%s\"", path);
    if (!text || TXLS_open_book(&book, options) != 0 || TXLS_open_sheet(&book, "SHEET_NAME=Sheet1") != 0) {
        fprintf(stderr, "open: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    t0 = now();
    while (done < total) {
        size_t used = 0;
        int batch;
        for (batch = 0; batch < 1000 && done < total; ++batch, ++done) {
            int column = (int)(done % 10);
            if (column == 0 && done > 0) ++row;
            TXLS_cell_name((int)row + 1, column + 1, cell, sizeof cell);
            switch (done % 4) {
            case 0:
            case 1:
                bench_cell(row, column, value, sizeof value, &cents);
                used += (size_t)snprintf(text + used, capacity - used, "%s=\"%s\"\n", cell, value);
                break;
            case 2:
                used += (size_t)snprintf(text + used, capacity - used, "%s.FONT.COLOR=%s\n", cell,
                                         colours[(done / 4) % 4]);
                break;
            default:
                used += (size_t)snprintf(text + used, capacity - used, "%s.BORDER=THIN\n", cell);
                break;
            }
        }
        if (TXLS_put_values(&book, text) != 0) {
            fprintf(stderr, "put_values: %s\n", TXLS_error_mesg(&book));
            return 1;
        }
    }
    t1 = now();
    if (TXLS_close_book(&book, "SAVE") != 0) {
        fprintf(stderr, "save: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    t2 = now();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    double rate = total / (t1 - t0);
    printf("tabsmith W5 statements=%ld run=%.3fs (%.0f statements/s) save=%.3fs peak_rss=%.1fMiB target>=2000000/s %s\n",
           total, t1 - t0, rate, t2 - t1, usage.ru_maxrss / 1024.0, rate >= 2e6 ? "met" : "not met");
    free(text);
    return 0;
}
