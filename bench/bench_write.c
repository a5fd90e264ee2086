/* bench_write.c - W1: 100,000 x 10 cells through TXLS_put_cell into one sheet, saved as .xlsx.
 * With "W7" the same cells, each row handed out of memory through TXLS_write_row as soon as it
 * is filled (open option STREAM_AFTER=1: only row 1 stays).
 * With a third argument "W2" also the report look: every 10th row (0-based multiples of 10,
 * i.e. rows 1, 11, 21, ...) bold with a solid DDEBF7 fill and thin borders, and column B with
 * thousands separators and 2 decimals, all through TXLS_put_values statements.
 *
 * Prints wall time (put and save separately), peak RSS, the output size, the memory the stored
 * cells take (bytes_per_cell: peak RSS after the last put minus RSS after opening the book and
 * sheet, over the cell count) and the data checksum.
 *
 * With "HTML" W1's book is also written as the HTML view (PATH.html) before it is saved, and
 * both times are printed.
 *
 * usage: bench_write [PATH [ROWS [W1|W2|W7|HTML]]] */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
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

/* A "VmRSS:" / "VmHWM:" figure of /proc/self/status in KiB, -1 when not readable. */
static long status_kib(const char *key) {
    char line[256];
    long kib = -1;
    size_t length = strlen(key);
    FILE *in = fopen("/proc/self/status", "r");
    if (!in) return -1;
    while (fgets(line, sizeof line, in)) {
        if (strncmp(line, key, length) == 0) {
            kib = strtol(line + length, NULL, 10);
            break;
        }
    }
    fclose(in);
    return kib;
}

/* The report look of W2 for one row (1-based). */
static int style_row(XLS_BOOK *book, int row) {
    char text[256];
    snprintf(text, sizeof text,
             "A%d:J%d.FONT.STYLE=bold A%d:J%d.FILL.COLOR=#DDEBF7 A%d:J%d.BORDER=thin", row, row, row, row, row,
             row);
    if (TXLS_put_values(book, text) != 0) {
        fprintf(stderr, "style row %d: rc=%d %s\n", row, TXLS_error_code(book), TXLS_error_mesg(book));
        return 1;
    }
    return 0;
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "bench_w1.xlsx";
    int rows = argc > 2 ? atoi(argv[2]) : BENCH_ROWS_FULL;
    int styled = argc > 3 && strcmp(argv[3], "W2") == 0;
    int streamed = argc > 3 && strcmp(argv[3], "W7") == 0;
    int html = argc > 3 && strcmp(argv[3], "HTML") == 0;
    double html_seconds = 0;
    const char *label = styled ? "W2" : streamed ? "W7" : "W1";
    static XLS_BOOK book;
    char options[512], cell[16], value[64];
    long long cents = 0, total_cents = 0, strings = 0;
    double t0 = now(), t1;
    long base_kib, peak_kib;
    int r, c;

    snprintf(options, sizeof options, "MODE=CREATE CHARSET=UTF8 %sBOOK=\"%s\"", streamed ? "STREAM_AFTER=1 " : "",
             path);
    if (TXLS_open_book(&book, options) != 0 || TXLS_open_sheet(&book, "SHEET_NAME=Sheet1") != 0) {
        fprintf(stderr, "open: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    base_kib = status_kib("VmRSS:");
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
        if (styled && r % 10 == 0 && style_row(&book, r + 1) != 0) return 1;
        if (streamed && TXLS_write_row(&book, r + 1) != 0) {
            fprintf(stderr, "write row %d: %s\n", r + 1, TXLS_error_mesg(&book));
            return 1;
        }
    }
    /* Comma style with 2 decimals ("#,##0.00") on the whole of column B. */
    if (styled && TXLS_put_values(&book, "B:B.FORMAT=カンマ小数点以下2") != 0) {
        fprintf(stderr, "column B format: rc=%d %s\n", TXLS_error_code(&book), TXLS_error_mesg(&book));
        return 1;
    }
    t1 = now();
    peak_kib = status_kib("VmHWM:");
    if (html) {
        snprintf(options, sizeof options, "FILE=\"%s.html\"", path);
        if (TXLS_save_html(&book, options) != 0) {
            fprintf(stderr, "html: %s\n", TXLS_error_mesg(&book));
            return 1;
        }
        html_seconds = now() - t1;
        t1 = now();
    }
    if (TXLS_close_book(&book, "SAVE") != 0) {
        fprintf(stderr, "save: %s\n", TXLS_error_mesg(&book));
        return 1;
    }
    double t2 = now();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    struct stat st;
    long long bytes = stat(path, &st) == 0 ? (long long)st.st_size : -1;
    double per_cell = rows > 0 && base_kib >= 0 && peak_kib >= 0 ? (peak_kib - base_kib) * 1024.0 / (rows * 10.0) : -1;
    printf("tabsmith %s rows=%d put=%.3fs save=%.3fs wall=%.3fs peak_rss=%.1fMiB bytes=%lld bytes_per_cell=%.1f "
           "cents=%lld strings=%lld %s\n",
           label, rows, t1 - t0, t2 - t1, t2 - t0, usage.ru_maxrss / 1024.0, bytes, per_cell,
           total_cents, strings, bench_checksum_verdict(rows, total_cents, strings));
    if (html) printf("tabsmith W1 HTML view html=%.3fs save=%.3fs html/save=%.2f\n", html_seconds, t2 - t1,
                     html_seconds / (t2 - t1));
    return 0;
}
