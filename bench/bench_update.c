/* bench_update.c - W6: copies a workbook written by another program (the peer's W1 .xlsx), opens
 * the copy with MODE=UPDATE, puts one value into an empty cell (L1) and saves it. Only that is
 * done here, so that the process's figures are the update's; the driver checks the saved copy
 * afterwards with `bench_read COPY W6-check` (its data checksum and the new cell).
 *
 * usage: bench_update SOURCE COPY */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

#include "tabsmith.h"

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
    char options[1024];
    int rc;
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
    printf("tabsmith W6 wall=%.3fs peak_rss=%.1fMiB saved %s (checked by the driver)\n", t1 - t0,
           usage.ru_maxrss / 1024.0, argv[2]);
    return 0;
}
