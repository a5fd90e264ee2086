/* bench_read.c - W3 / W4: opens a workbook written by another program (W3: the peer's W1 .xlsx,
 * W4: the 65,000-row .xls) with MODE=READ and reads every cell of the first sheet through
 * TXLS_get_cells, one row of 10 at a time, then prints the data checksum (cents of the numeric
 * cells, count of the non-empty string cells), so that a reader that skips work cannot look fast.
 * With the label W3C it reads the same cells one at a time through TXLS_get_cell by their A1
 * names, as a caller that walks a sheet cell by cell does; the names are made with
 * TXLS_cell_name, as bench_write makes those it puts.
 *
 * When the engine cannot open the file for reading it prints
 *     W3: reader not available yet (rc=..., message)
 * and exits with status 3, which the driver takes as "no figure of ours".
 *
 * usage: bench_read PATH [LABEL] */
#include <iconv.h>
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

/* The engine's message for the terminal: a message that is not UTF-8 is taken as Shift-JIS
 * (what the book reports before it knows its character set) and converted. */
static const char *readable(const char *message, char *out, size_t size) {
    iconv_t cd;
    char *in = (char *)message, *to = out;
    size_t in_left = strlen(message), out_left = size - 1;
    const unsigned char *p = (const unsigned char *)message;
    int utf8 = 1;
    while (*p && utf8) {
        int more = *p < 0x80 ? 0 : (*p & 0xE0) == 0xC0 ? 1 : (*p & 0xF0) == 0xE0 ? 2 : (*p & 0xF8) == 0xF0 ? 3 : -1;
        if (more < 0) utf8 = 0;
        for (++p; utf8 && more > 0; --more, ++p)
            if ((*p & 0xC0) != 0x80) utf8 = 0;
    }
    if (utf8 || (cd = iconv_open("UTF-8", "CP932")) == (iconv_t)-1) return message;
    size_t rc = iconv(cd, &in, &in_left, &to, &out_left);
    iconv_close(cd);
    if (rc == (size_t)-1) return message;
    *to = '\0';
    return out;
}

/* A cell text that is a whole number in plain decimal form adds its cents; any other non-empty
 * text counts as a string. */
static void count_value(const char *text, long long *cents, long long *strings) {
    char *end;
    if (!*text) return;
    double number = strtod(text, &end);
    if (end != text && *end == '\0') *cents += llround(number * 100.0);
    else ++*strings;
}

/* Resident memory now, in bytes (0 when /proc cannot tell). */
static long long resident_bytes(void) {
    long long pages = 0, resident = 0;
    FILE *statm = fopen("/proc/self/statm", "r");
    if (!statm) return 0;
    if (fscanf(statm, "%lld %lld", &pages, &resident) != 2) resident = 0;
    fclose(statm);
    return resident * 4096;
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: bench_read PATH [LABEL]\n");
        return 2;
    }
    const char *path = argv[1];
    const char *label = argc > 2 ? argv[2] : "W3";
    static XLS_BOOK book;
    static char storage[COLUMNS][VALUE_SIZE];
    char *values[COLUMNS];
    char options[1024];
    long long cents = 0, strings = 0;
    int row, rows, c, rc;

    for (c = 0; c < COLUMNS; ++c) values[c] = storage[c];
    double t0 = now();
    long long before = resident_bytes();
    snprintf(options, sizeof options, "MODE=READ CHARSET=UTF8 BOOK=\"%s\"", path);
    rc = TXLS_open_book(&book, options);
    long long held = resident_bytes() - before;
    if (rc == 0) rc = TXLS_open_sheet2(&book, 0);
    if (rc != 0) {
        char message[4096];
        printf("%s: reader not available yet (rc=%d, %s)\n", label, rc,
               readable(TXLS_error_mesg(&book), message, sizeof message));
        TXLS_free_book(&book);
        return 3;
    }
    rows = TXLS_row_num(&book);
    int by_name = strcmp(label, "W3C") == 0;
    for (row = 0; row < rows && by_name; ++row)
        for (c = 0; c < COLUMNS; ++c) {
            char name[16], kind[16];
            TXLS_cell_name(row + 1, c + 1, name, sizeof name);
            rc = TXLS_get_cell(&book, name, values[0], VALUE_SIZE, kind, sizeof kind);
            if (rc != 0) {
                fprintf(stderr, "%s: get_cell %s: rc=%d %s\n", label, name, rc, TXLS_error_mesg(&book));
                return 1;
            }
            count_value(values[0], &cents, &strings);
        }
    for (row = 0; row < rows && !by_name; ++row) {
        rc = TXLS_get_cells(&book, 0, 0, row, 0, COLUMNS, values, VALUE_SIZE);
        if (rc != 0) {
            fprintf(stderr, "%s: get_cells row %d: rc=%d %s\n", label, row + 1, rc, TXLS_error_mesg(&book));
            return 1;
        }
        for (c = 0; c < COLUMNS; ++c) count_value(values[c], &cents, &strings);
    }
    /* The check of an updated copy (W6): the new cell must hold its value. */
    if (strcmp(label, "W6-check") == 0) {
        char updated[64] = "";
        TXLS_get_cell(&book, "L1", updated, sizeof updated, NULL, 0);
        if (strcmp(updated, "updated") != 0) {
            printf("%s: the value put is missing (L1=\"%s\") checksum MISMATCH\n", label, updated);
            return 1;
        }
    }
    TXLS_close_book(&book, "");
    double t1 = now();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    printf("tabsmith %s rows=%d wall=%.3fs peak_rss=%.1fMiB held_per_cell=%.1f cents=%lld strings=%lld %s\n", label,
           rows, t1 - t0, usage.ru_maxrss / 1024.0, rows > 0 ? (double)held / (rows * (double)COLUMNS) : 0.0, cents,
           strings, bench_checksum_verdict(rows, cents, strings));
    return 0;
}
