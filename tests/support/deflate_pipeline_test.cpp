// Pieces deflated apart and joined must inflate to exactly the input, with its CRC and size; a
// failed output stops the pipeline. Also built alone under ThreadSanitizer (test_deflate_threads).

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "support/deflate_pipeline.h"

using namespace tabsmith;

namespace {

// Rows of cell markup with, when `noisy`, stretches of random bytes that deflate as stored blocks.
std::string sample(std::size_t bytes, unsigned seed, bool noisy) {
    std::mt19937 random(seed);
    std::string out;
    while (out.size() < bytes) {
        out += "<row r=\"" + std::to_string(random() % 100000) + "\"><c r=\"A1\" t=\"s\"><v>" + std::to_string(random()) + "</v></c></row>";
        for (int k = noisy && random() % 50 == 0 ? 3000 : 0; k > 0; --k) out += static_cast<char>(random());
    }
    out.resize(bytes);
    return out;
}

// The joined stream of `data` written in pieces of `piece` bytes, with the pipeline's CRC and size.
std::tuple<DeflateBytes, std::uint32_t, std::uint64_t> deflate_in_pieces(const std::string &data, std::size_t piece, int workers) {
    DeflateBytes stream;
    DeflatePipeline pipeline([&](const unsigned char *bytes, std::size_t n) { return stream.insert(stream.end(), bytes, bytes + n), 0; },
                             workers);
    for (std::size_t at = 0; at < data.size(); at += piece) EXPECT_EQ(pipeline.write(data.substr(at, piece)), 0);
    EXPECT_EQ(pipeline.write(""), 0);
    EXPECT_EQ(pipeline.finish(), 0);
    return {stream, pipeline.crc32(), pipeline.input_size()};
}

}  // namespace

TEST(DeflatePipeline, JoinedPiecesInflateToTheInput) {
    const std::tuple<std::size_t, std::size_t, bool, int> cases[] = {
        {0, 100, false, 2}, {1, 100, false, 2}, {5000, 7, false, 2}, {3u << 20, 1u << 20, false, 2},
        {3u << 20, 300000, true, 2}, {2u << 20, 65536, true, 1}, {1500000, 1499999, false, 0}};
    for (const auto &[bytes, piece, noisy, workers] : cases) {
        SCOPED_TRACE(std::to_string(bytes) + " in pieces of " + std::to_string(piece));
        const std::string data = sample(bytes, static_cast<unsigned>(bytes + piece), noisy);
        auto [stream, crc, size] = deflate_in_pieces(data, piece, workers);
        std::string out(data.size() + 64, '\0');
        z_stream z{};
        ASSERT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
        z.next_in = stream.data(), z.avail_in = static_cast<uInt>(stream.size());
        z.next_out = reinterpret_cast<unsigned char *>(out.data()), z.avail_out = static_cast<uInt>(out.size());
        EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
        EXPECT_EQ(z.avail_in, 0u) << "nothing may follow the final block";
        out.resize(z.total_out);
        inflateEnd(&z);
        EXPECT_TRUE(out == data);
        EXPECT_EQ(size, data.size());
        EXPECT_EQ(crc, static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef *>(data.data()), data.size())));
    }
}

TEST(DeflatePipeline, JoiningRefusesWhatIsNotOneCompleteStream) {
    DeflateBytes whole = std::get<0>(deflate_in_pieces(sample(200000, 3, false), 200000, 1));
    DeflateBytes trailing = whole, truncated(whole.begin(), whole.end() - 10), empty, garbage(100, 0xFF);
    trailing.push_back(0);  // bytes after the final block
    for (DeflateBytes *refused : {&empty, &garbage, &truncated, &trailing}) EXPECT_EQ(make_stream_joinable(*refused), -1);
    std::mt19937 random(5);   // a flipped bit anywhere ends the walk, whatever it decides
    for (int k = 0; k < 300; ++k) {
        DeflateBytes bent = whole;
        bent[random() % bent.size()] ^= static_cast<unsigned char>(1u << random() % 8);
        EXPECT_LE(make_stream_joinable(bent), 0);
    }
}
