/* bench_update.c - W6: opens a workbook written by another program (the peer's W1 .xlsx) with
 * MODE=UPDATE, puts one value into an empty cell and saves it under a new name, then reads the
 * saved copy back and prints the data checksum of its first ten columns and checks the new
 * cell (in the twelfth), so that a save that loses cells cannot look fast. The timed part is open, put and save.
 *
 * usage: bench_update SOURCE COPY */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

#include "tabsmith.h"
#include "workload.h"

#define COLUMNS 10
#define VALUE_SIZE 512

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

static int copy_file(const char *from, const char *to) {
    FILE *in = fopen(from, "rb"), *out = in ? fopen(to, "wb") : NULL;
    char buffer[1 << 16];
    size_t n;
    int ok = in && out;
    while (ok && (n = fread(buffer, 1, sizeof buffer, in)) > 0) ok = fwrite(buffer, 1, n, out) == n;
    if (in) fclose(in);
    if (out && fclose(out) != 0) ok = 0;
    return ok ? 0 : -1;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: bench_update SOURCE COPY\n");
        return 2;
    }
    static XLS_BOOK book;
    static char storage[COLUMNS][VALUE_SIZE];
    char *values[COLUMNS];
    char options[1024];
    long long cents = 0, strings = 0;
    int row, rows, c, rc;
    for (c = 0; c < COLUMNS; ++c) values[c] = storage[c];
    if (copy_file(argv[1], argv[2]) != 0) {
        fprintf(stderr, "W6: cannot copy %s\n", argv[1]);
        return 1;
    }

    double t0 = now();
    snprintf(options, sizeof options, "CHARSET=UTF8 MODE=UPDATE BOOK=\"%s\"", argv[2]);
    rc = TXLS_open_book(&book, options);
    if (rc == 0) rc = TXLS_open_sheet2(&book, 0);
    if (rc == 0) rc = TXLS_put_cell(&book, "L1", "updated");
    if (rc == 0) rc = TXLS_close_book(&book, "SAVE");
    double t1 = now();
    if (rc != 0) {
        fprintf(stderr, "W6: rc=%d\n", rc);
        return 1;
    }
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);

    /* The saved copy, read back untimed. */
    snprintf(options, sizeof options, "CHARSET=UTF8 MODE=READ BOOK=\"%s\"", argv[2]);
    if (TXLS_open_book(&book, options) != 0 || TXLS_open_sheet2(&book, 0) != 0) {
        fprintf(stderr, "W6: the saved copy does not open\n");
        return 1;
    }
    rows = TXLS_row_num(&book);
    for (row = 0; row < rows; ++row) {
        TXLS_get_cells(&book, 0, 0, row, 0, COLUMNS, values, VALUE_SIZE);
        for (c = 0; c < COLUMNS; ++c) {
            char *end;
            if (!*values[c]) continue;
            double number = strtod(values[c], &end);
            if (end != values[c] && *end == '\0') cents += llround(number * 100.0);
            else ++strings;
        }
    }
    char updated[64] = "";
    TXLS_get_cell(&book, "L1", updated, sizeof updated, NULL, 0);
    TXLS_close_book(&book, "");
    if (strcmp(updated, "updated") != 0) {
        fprintf(stderr, "W6: the value put is not in the saved copy (%s)\n", updated);
        return 1;
    }
    printf("tabsmith W6 rows=%d wall=%.3fs peak_rss=%.1fMiB cents=%lld strings=%lld %s\n", rows, t1 - t0,
           usage.ru_maxrss / 1024.0, cents, strings, bench_checksum_verdict(rows, cents, strings));
    return 0;
}
