// Pieces deflated apart and joined must inflate to exactly the input, with its CRC and size.

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "support/deflate_pipeline.h"

using namespace tabsmith;

namespace {

std::string inflate_raw(const DeflateBytes &stream, std::size_t expected) {
    std::string out(expected + 64, '\0');
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    z.next_in = const_cast<unsigned char *>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = reinterpret_cast<unsigned char *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&z, Z_FINISH);
    EXPECT_EQ(rc, Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "nothing may follow the final block";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

// Rows of cell markup with a sprinkling of random bytes: long matches, literals and, for the
// random stretches, stored blocks.
std::string sample(std::size_t bytes, unsigned seed, bool noisy) {
    std::mt19937 random(seed);
    std::string out;
    while (out.size() < bytes) {
        out += "<row r=\"" + std::to_string(random() % 100000) + "\"><c r=\"A1\" t=\"s\"><v>";
        out += std::to_string(random());
        out += "</v></c></row>";
        if (noisy && random() % 50 == 0)
            for (int k = 0; k < 3000; ++k) out += static_cast<char>(random());
    }
    out.resize(bytes);
    return out;
}

struct Deflated {
    DeflateBytes stream;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
};

Deflated deflate_in_pieces(const std::string &data, std::size_t piece, int workers) {
    Deflated run;
    DeflatePipeline pipeline(
        [&](const unsigned char *bytes, std::size_t n) {
            run.stream.insert(run.stream.end(), bytes, bytes + n);
            return 0;
        },
        workers);
    for (std::size_t at = 0; at < data.size(); at += piece) EXPECT_EQ(pipeline.write(data.substr(at, piece)), 0);
    EXPECT_EQ(pipeline.finish(), 0);
    run.crc = pipeline.crc32();
    run.size = pipeline.input_size();
    return run;
}

}  // namespace

TEST(DeflatePipeline, JoinedPiecesInflateToTheInput) {
    struct Case { std::size_t bytes, piece; bool noisy; int workers; };
    for (const Case &c : {Case{0, 100, false, 2}, Case{1, 100, false, 2}, Case{5000, 7, false, 2},
                          Case{3u << 20, 1u << 20, false, 2}, Case{3u << 20, 300000, true, 2},
                          Case{2u << 20, 65536, true, 1}, Case{1500000, 1499999, false, 0}}) {
        std::string data = sample(c.bytes, static_cast<unsigned>(c.bytes + c.piece), c.noisy);
        Deflated run = deflate_in_pieces(data, c.piece, c.workers);
        EXPECT_EQ(inflate_raw(run.stream, data.size()), data) << c.bytes << " in pieces of " << c.piece;
        EXPECT_EQ(run.size, data.size());
        EXPECT_EQ(run.crc, static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef *>(data.data()),
                                                             data.size())));
    }
}

TEST(DeflatePipeline, OutputFailureStopsEveryLaterCall) {
    int calls = 0;
    DeflatePipeline pipeline([&](const unsigned char *, std::size_t) { return ++calls == 2 ? -103 : 0; }, 2);
    std::string data = sample(6u << 20, 1, false);
    int rc = 0;
    for (std::size_t at = 0; at < data.size() && rc == 0; at += 1u << 20) rc = pipeline.write(data.substr(at, 1u << 20));
    if (rc == 0) rc = pipeline.finish();
    EXPECT_EQ(rc, -103);
    EXPECT_EQ(pipeline.write("more"), -103);
    EXPECT_EQ(pipeline.finish(), -103);
}

TEST(DeflatePipeline, JoiningRefusesWhatIsNotOneCompleteStream) {
    DeflateBytes empty;
    EXPECT_EQ(make_stream_joinable(empty), -1);
    DeflateBytes garbage(100, 0xFF);
    EXPECT_EQ(make_stream_joinable(garbage), -1);

    Deflated run = deflate_in_pieces(sample(200000, 3, false), 200000, 1);
    DeflateBytes truncated(run.stream.begin(), run.stream.end() - 10);
    EXPECT_EQ(make_stream_joinable(truncated), -1);
    DeflateBytes trailing = run.stream;
    trailing.push_back(0);
    EXPECT_EQ(make_stream_joinable(trailing), -1) << "bytes after the final block";
}
