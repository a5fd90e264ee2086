// The compression pipeline's worker threads with each allocation failing in turn: a failure on
// any thread ends write() or finish() with -2 (or std::bad_alloc, which the API maps), the
// threads are joined, and a run that goes through gives the same stream as one never failed.

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <thread>
#include <vector>

#include "alloc/fail_allocator.h"
#include "support/deflate_pipeline.h"

namespace {

namespace fa = tabsmith::testing::fail_alloc;
using tabsmith::DeflatePipeline;

struct Compressed {
    int rc = 0;
    bool threw = false;
    std::string stream;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
};

std::vector<std::string> pieces() {
    std::vector<std::string> out;
    for (int k = 0; k < 4; ++k) {
        std::string piece;
        for (int row = 0; piece.size() < 48 * 1024; ++row)
            piece += "<row r=\"" + std::to_string(k * 10000 + row) + "\"><c t=\"s\"><v>" +
                     std::to_string(row * 7 % 13) + "</v></c></row>";
        out.push_back(std::move(piece));
    }
    return out;
}

// Compresses the pieces on two workers with the `nth` allocation failing (0: none); on a thread
// of its own, so that the calling thread's compressor is made afresh each time.
Compressed compress(long nth, unsigned sources, bool repeat) {
    Compressed result;
    std::thread([&] {
        std::vector<std::string> input = pieces();
        result.stream.reserve(1 << 20);  // the output below must not ask for memory
        fa::arm(nth, sources, repeat);
        fa::resume();
        try {
            DeflatePipeline pipeline(
                [&](const unsigned char *data, std::size_t size) {
                    result.stream.append(reinterpret_cast<const char *>(data), size);
                    return 0;
                },
                2);
            for (std::string &piece : input)
                if ((result.rc = pipeline.write(std::move(piece))) != 0) break;
            if (result.rc == 0) result.rc = pipeline.finish();
            result.crc = pipeline.crc32();
            result.size = pipeline.input_size();
        } catch (const std::bad_alloc &) {
            result.threw = true;
        }
        fa::suspend();
        fa::disarm();
    }).join();
    return result;
}

// The address sanitizer reads a new thread's attributes with the C library's allocator and stops
// when that fails, so under it only operator new is failed here.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TABSMITH_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(TABSMITH_UNDER_ASAN)
constexpr unsigned kSources = fa::kNew;
#else
constexpr unsigned kSources = fa::kAny;
#endif

TEST(OutOfMemory, DeflatePipelineWorkers) {
    const Compressed reference = compress(0, kSources, false);
    ASSERT_EQ(reference.rc, 0);
    for (bool repeat : {false, true}) {
        long nth = 1;
        for (; nth < 100000; ++nth) {
            const Compressed run = compress(nth, kSources, repeat);
            EXPECT_TRUE(run.threw || run.rc == 0 || run.rc == -2) << "n=" << nth << " rc=" << run.rc;
            if (!run.threw && run.rc == 0) {
                EXPECT_EQ(run.stream, reference.stream) << "n=" << nth;
                EXPECT_EQ(run.crc, reference.crc) << "n=" << nth;
                EXPECT_EQ(run.size, reference.size) << "n=" << nth;
            }
            if (fa::failures() == 0) break;
        }
        std::cout << "[ figures  ] DeflatePipeline/" << (repeat ? "FromThenOn" : "Once") << ": " << nth - 1
                  << " allocation points driven\n";
    }
}

}  // namespace
