/* peer_xlsxwriter.c - W1 written by the C peer library (default mode), for ratios measured in
 * the same run. With a third argument "W2" the same report look as bench_write's W2: every 10th
 * row (0-based multiples of 10) bold with a solid DDEBF7 fill and thin borders, and column B
 * as "#,##0.00" (the column's format and every cell of it).
 *
 * With "W7" the same cells as W1 in the library's constant_memory mode (each row goes to a
 * temporary file once the next begins; strings are written inline).
 *
 * usage: peer_xlsxwriter [PATH [ROWS [W1|W2|W7]]] */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
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

static lxw_format *band_format(lxw_workbook *workbook, const char *number_format) {
    lxw_format *format = workbook_add_format(workbook);
    format_set_bold(format);
    format_set_pattern(format, LXW_PATTERN_SOLID);
    format_set_bg_color(format, 0xDDEBF7);
    format_set_border(format, LXW_BORDER_THIN);
    if (number_format) format_set_num_format(format, number_format);
    return format;
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "peer_w1.xlsx";
    int rows = argc > 2 ? atoi(argv[2]) : BENCH_ROWS_FULL;
    int styled = argc > 3 && strcmp(argv[3], "W2") == 0;
    int constant_memory = argc > 3 && strcmp(argv[3], "W7") == 0;
    const char *label = styled ? "W2" : constant_memory ? "W7" : "W1";
    lxw_workbook_options options = {0};
    char value[64];
    long long cents = 0, total_cents = 0, strings = 0;
    double t0 = now();
    options.constant_memory = constant_memory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook *workbook = workbook_new_opt(path, &options);
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, NULL);
    lxw_format *band = NULL, *band_amount = NULL, *amount = NULL;
    if (styled) {
        band = band_format(workbook, NULL);
        band_amount = band_format(workbook, "#,##0.00");
        amount = workbook_add_format(workbook);
        format_set_num_format(amount, "#,##0.00");
        worksheet_set_column(sheet, 1, 1, LXW_DEF_COL_WIDTH, amount);
    }
    for (int r = 0; r < rows; ++r) {
        int in_band = styled && r % 10 == 0;
        for (int c = 0; c < 10; ++c) {
            lxw_format *format = NULL;
            if (styled) format = in_band ? (c == 1 ? band_amount : band) : (c == 1 ? amount : NULL);
            if (bench_cell((uint32_t)r, c, value, sizeof value, &cents)) {
                worksheet_write_number(sheet, r, c, atof(value), format);
                total_cents += cents;
            } else {
                worksheet_write_string(sheet, r, c, value, format);
                ++strings;
            }
        }
    }
    if (workbook_close(workbook) != LXW_NO_ERROR) return 1;
    double t1 = now();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    struct stat st;
    printf("libxlsxwriter %s rows=%d wall=%.3fs peak_rss=%.1fMiB bytes=%lld cents=%lld strings=%lld %s\n",
           label, rows, t1 - t0, usage.ru_maxrss / 1024.0,
           stat(path, &st) == 0 ? (long long)st.st_size : -1LL, total_cents, strings,
           bench_checksum_verdict(rows, total_cents, strings));
    return 0;
}
