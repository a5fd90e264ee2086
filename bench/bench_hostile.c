/* bench_hostile.c - small files that once cost minutes or gigabytes, opened the way a caller
 * would: read every sheet, update one cell and save, or fill a template with many sheet copies.
 * Prints one line with the wall time and peak RSS; hostile.sh makes the inputs.
 *
 * usage: bench_hostile read BOOK.xlsx
 *        bench_hostile update BOOK.xlsx          (saved over the file)
 *        bench_hostile copies TEMPLATE.xlsx N OUT.xlsx */
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

static int fail(XLS_BOOK *book, const char *step) {
    fprintf(stderr, "%s: rc=%d %s\n", step, TXLS_error_code(book), TXLS_error_mesg(book));
    TXLS_free_book(book);
    return 1;
}

int main(int argc, char **argv) {
    static XLS_BOOK book;
    char options[4096];
    if (argc < 3) {
        fprintf(stderr, "usage: bench_hostile read|update BOOK.xlsx | copies TEMPLATE.xlsx N OUT.xlsx\n");
        return 2;
    }
    const char *mode = argv[1];
    double start = now();
    if (!strcmp(mode, "read") || !strcmp(mode, "update")) {
        snprintf(options, sizeof options, "CHARSET=UTF8 MODE=%s BOOK=\"%s\"", !strcmp(mode, "read") ? "READ" : "UPDATE",
                 argv[2]);
        if (TXLS_open_book(&book, options) != 0) return fail(&book, "open");
        if (!strcmp(mode, "update")) {
            if (TXLS_open_sheet2(&book, 0) != 0 || TXLS_put_cell(&book, "A1", "updated") != 0) return fail(&book, "put");
            if (TXLS_close_book(&book, "SAVE") != 0) return fail(&book, "save");
        } else {
            TXLS_free_book(&book);
        }
    } else if (!strcmp(mode, "copies") && argc >= 5) {
        int copies = atoi(argv[3]);
        snprintf(options, sizeof options, "CHARSET=UTF8 BOOK=\"%s\" TEMPLATE=\"%s\"", argv[4], argv[2]);
        if (TXLS_open_book(&book, options) != 0) return fail(&book, "open");
        for (int k = 1; k <= copies; ++k) {
            snprintf(options, sizeof options, "SHEET_NAME=%dk TEMPLATE=Sheet1", k);
            if (TXLS_open_sheet(&book, options) != 0) return fail(&book, "copy");
        }
        if (TXLS_close_book(&book, "SAVE") != 0) return fail(&book, "save");
    } else {
        fprintf(stderr, "bench_hostile: unknown mode %s\n", mode);
        return 2;
    }
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    printf("%s wall=%.3fs peak_rss=%.1fMiB\n", mode, now() - start, usage.ru_maxrss / 1024.0);
    return 0;
}
