/* bench_csv.c - a 100,000-line CSV file (five mixed fields a line) pasted through one CSV
 * statement; prints lines per second. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "tabsmith.h"

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "bench_csv.csv";
    long lines = argc > 2 ? atol(argv[2]) : 100000;
    static XLS_BOOK book;
    char statement[600];
    long i;
    double t0, t1;
    FILE *out = fopen(path, "wb");
    if (!out) {
        perror(path);
        return 1;
    }
    for (i = 0; i < lines; ++i)
        fprintf(out, "%ld,item %ld,\"%ld.%02ld\",2024/%02ld/%02ld,\"note, with comma\"\r\n", i, i % 977,
                i * 3, i % 100, i % 12 + 1, i % 28 + 1);
    fclose(out);

    if (TXLS_open_book(&book, "MODE=CREATE CHARSET=UTF8") != 0 || TXLS_open_sheet(&book, "SHEET_NAME=Sheet1") != 0) {
        fprintf(stderr, "open: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    snprintf(statement, sizeof statement, "A1.CSV=\"%s\"", path);
    t0 = now();
    if (TXLS_put_values(&book, statement) != 0) {
        fprintf(stderr, "paste: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    t1 = now();
    printf("bench_csv: %ld lines in %.3f s, %.0f lines/s\n", lines, t1 - t0, lines / (t1 - t0));
    TXLS_free_book(&book);
    remove(path);
    return 0;
}
