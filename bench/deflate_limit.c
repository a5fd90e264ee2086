/* deflate_limit.c - the compressor's physical limit for a saved workbook: the time to deflate
 * its XML parts (read from files) in one piece on one core, with libdeflate and with zlib at
 * level 6. The write path is judged against the libdeflate figure. */
#include <libdeflate.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <zlib.h>

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
    size_t total = 0, capacity = 1 << 20;
    unsigned char *data = malloc(capacity);
    if (!data) return 1;
    for (int k = 1; k < argc; ++k) {
        FILE *f = fopen(argv[k], "rb");
        if (!f) {
            fprintf(stderr, "cannot read %s\n", argv[k]);
            return 1;
        }
        size_t got;
        for (;;) {
            if (total == capacity && !(data = realloc(data, capacity *= 2))) return 1;
            got = fread(data + total, 1, capacity - total, f);
            if (got == 0) break;
            total += got;
        }
        fclose(f);
    }
    struct libdeflate_compressor *c = libdeflate_alloc_compressor(6);
    size_t bound = libdeflate_deflate_compress_bound(c, total);
    unsigned char *out = malloc(bound + compressBound(total));
    if (!c || !out) return 1;
    double t0 = now();
    size_t packed = libdeflate_deflate_compress(c, data, total, out, bound);
    double t1 = now();
    z_stream z = {0};
    deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    z.next_in = data;
    z.avail_in = (uInt)total;
    z.next_out = out;
    z.avail_out = (uInt)(bound + compressBound(total));
    deflate(&z, Z_FINISH);
    double t2 = now();
    printf("deflate limit: xml=%zu bytes libdeflate-6 %.3fs (%zu bytes) zlib-6 %.3fs (%lu bytes)\n", total, t1 - t0,
           packed, t2 - t1, z.total_out);
    deflateEnd(&z);
    libdeflate_free_compressor(c);
    return 0;
}
