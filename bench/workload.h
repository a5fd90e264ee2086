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

#endif
