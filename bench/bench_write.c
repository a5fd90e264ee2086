/* bench_write.c - W1: 100,000 x 10 cells through TXLS_put_cell into one sheet, saved as .xlsx.
 * Prints wall time (put and save separately), peak RSS and the output size. */
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>

#include "tabsmith.h"
#include "workload.h"

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "bench_w1.xlsx";
    int rows = argc > 2 ? atoi(argv[2]) : 100000;
    static XLS_BOOK book;
    char options[512], cell[16], value[64];
    long long cents = 0, total_cents = 0, strings = 0;
    double t0 = now(), t1;
    int r, c;

    snprintf(options, sizeof options, "MODE=CREATE CHARSET=UTF8 BOOK=\"%s\"", path);
    if (TXLS_open_book(&book, options) != 0 || TXLS_open_sheet(&book, "SHEET_NAME=Sheet1") != 0) {
        fprintf(stderr, "open: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    for (r = 0; r < rows; ++r) {
        for (c = 0; c < 10; ++c) {
            int number = bench_cell((uint32_t)r, c, value, sizeof value, &cents);
            total_cents += cents;
            strings += !number;
            TXLS_cell_name(r + 1, c + 1, cell, sizeof cell);
            if (TXLS_put_cell(&book, cell, value) != 0) {
                fprintf(stderr, "put %s: %s\n", cell, TXLS_error_mesg(&book));
                return 1;
            }
        }
    }
    t1 = now();
    if (TXLS_close_book(&book, "SAVE") != 0) {
        fprintf(stderr, "save: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    double t2 = now();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    struct stat st;
    long long bytes = stat(path, &st) == 0 ? (long long)st.st_size : -1;
    printf("tabsmith W1 rows=%d put=%.3fs save=%.3fs wall=%.3fs peak_rss=%.1fMiB bytes=%lld cents=%lld strings=%lld\n",
           rows, t1 - t0, t2 - t1, t2 - t0, usage.ru_maxrss / 1024.0, bytes, total_cents, strings);
    return 0;
}
