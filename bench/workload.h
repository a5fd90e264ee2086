/* workload.h - the deterministic benchmark data shared with the peer programs: cell (r, c)
 * of the 10-column grid, numbers in columns 0-4 and pooled strings in columns 5-9. */
#ifndef TABSMITH_BENCH_WORKLOAD_H
#define TABSMITH_BENCH_WORKLOAD_H

#include <stdint.h>
#include <stdio.h>

static inline uint32_t bench_mix32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

static const char *const bench_words[10] = {"alpha", "bravo",   "charlie", "delta", "echo",
                                            "foxtrot", "golf", "hotel",   "india", "juliet"};

/* Writes the cell's text into out; returns 1 for a number, 0 for a string. Numbers also give
 * their value in cents for the checksum. */
static inline int bench_cell(uint32_t row, int column, char *out, size_t size, long long *cents) {
    uint32_t v = bench_mix32(row * 10u + (uint32_t)column + 1u);
    if (column < 5) {
        if (v & 1u) {
            long long n = (long long)((v >> 1) % 1000000u);
            snprintf(out, size, "%lld", n);
            *cents = n * 100;
        } else {
            long long hundredths = (long long)((v >> 1) % 100000000u);
            snprintf(out, size, "%lld.%02lld", hundredths / 100, hundredths % 100);
            *cents = hundredths;
        }
        return 1;
    }
    unsigned i = (v >> 8) % 1000u;
    snprintf(out, size, "%s-%u", bench_words[i % 10], i);
    *cents = 0;
    return 0;
}

/* The checksum every program prints: cents = sum of round(value * 100) over the numeric cells,
 * strings = number of non-empty string cells. The known totals for the two sizes we measure. */
#define BENCH_ROWS_FULL 100000
#define BENCH_CENTS_FULL 24872325309101LL
#define BENCH_STRINGS_FULL 500000LL
#define BENCH_ROWS_XLS 65000
#define BENCH_CENTS_XLS 16159723974081LL
#define BENCH_STRINGS_XLS 325000LL

/* "checksum ok", "checksum MISMATCH", or a note that the row count has no known total. */
static inline const char *bench_checksum_verdict(long rows, long long cents, long long strings) {
    if (rows == BENCH_ROWS_FULL)
        return cents == BENCH_CENTS_FULL && strings == BENCH_STRINGS_FULL ? "checksum ok" : "checksum MISMATCH";
    if (rows == BENCH_ROWS_XLS)
        return cents == BENCH_CENTS_XLS && strings == BENCH_STRINGS_XLS ? "checksum ok" : "checksum MISMATCH";
    return "checksum not checked";
}

#endif
