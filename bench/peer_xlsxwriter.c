/* peer_xlsxwriter.c - W1 written by the C peer library, for ratios measured in the same run. */
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <xlsxwriter.h>

#include "workload.h"

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "peer_w1.xlsx";
    int rows = argc > 2 ? atoi(argv[2]) : 100000;
    char value[64];
    long long cents = 0;
    double t0 = now();
    lxw_workbook *workbook = workbook_new(path);
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, NULL);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 10; ++c) {
            if (bench_cell((uint32_t)r, c, value, sizeof value, &cents))
                worksheet_write_number(sheet, r, c, atof(value), NULL);
            else
                worksheet_write_string(sheet, r, c, value, NULL);
        }
    }
    if (workbook_close(workbook) != LXW_NO_ERROR) return 1;
    double t1 = now();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    struct stat st;
    printf("libxlsxwriter W1 rows=%d wall=%.3fs peak_rss=%.1fMiB bytes=%lld\n", rows, t1 - t0,
           usage.ru_maxrss / 1024.0, stat(path, &st) == 0 ? (long long)st.st_size : -1LL);
    return 0;
}
