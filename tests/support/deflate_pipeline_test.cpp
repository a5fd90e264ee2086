// Pieces deflated apart and joined must inflate to exactly the input, with its CRC and size; a
// failed output stops the pipeline. Also built alone under ThreadSanitizer (test_deflate_threads).

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <random>

#include "support/deflate_blocks.h"
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

// The stream inflated by zlib, which must find it one complete stream with nothing after it.
std::string inflated(const DeflateBytes &stream, std::size_t expected) {
    std::string out(expected + 64, '\0');
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    z.next_in = const_cast<Bytef *>(stream.data()), z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = reinterpret_cast<unsigned char *>(out.data()), z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(z.avail_in, 0u) << "nothing may follow the final block";
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

std::uint32_t crc_of(const std::string &data) {
    return static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef *>(data.data()), data.size()));
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
        EXPECT_TRUE(inflated(stream, data.size()) == data);
        EXPECT_EQ(size, data.size());
        EXPECT_EQ(crc, crc_of(data));
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

namespace {

// A raw deflate stream of `data` made by zlib: `level` and `strategy` as zlib takes them, with a
// flush every `flush_every` bytes (stored empty blocks between the coded ones) when not 0.
DeflateBytes zlib_stream(const std::string &data, int level, int strategy, std::size_t flush_every) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, strategy), Z_OK);
    DeflateBytes out(deflateBound(&z, data.size()) + 1024 + data.size() / 1000);
    z.next_out = out.data(), z.avail_out = static_cast<uInt>(out.size());
    std::size_t at = 0;
    do {
        const std::size_t n = flush_every ? std::min(flush_every, data.size() - at) : data.size() - at;
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data() + at)), z.avail_in = static_cast<uInt>(n);
        at += n;
        EXPECT_NE(deflate(&z, at == data.size() ? Z_FINISH : Z_SYNC_FLUSH), Z_STREAM_ERROR);
    } while (at < data.size());
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// The blocks as zlib's inflater meets them: each header's bit offset and the bytes before it.
std::vector<std::pair<std::uint64_t, std::uint64_t>> zlib_blocks(const DeflateBytes &stream, std::size_t plain) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> found{{0, 0}};
    std::string out(plain + 16, '\0');
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, -MAX_WBITS), Z_OK);
    z.next_in = const_cast<Bytef *>(stream.data()), z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data()), z.avail_out = static_cast<uInt>(out.size());
    for (int rc = Z_OK; rc == Z_OK;) {
        rc = inflate(&z, Z_BLOCK);
        // At a block's end (bit 7) and not after the last (bit 6): the next header follows.
        if (rc == Z_OK && (z.data_type & 128) && !(z.data_type & 64))
            found.emplace_back(z.total_in * 8 - (z.data_type & 7), z.total_out);
    }
    inflateEnd(&z);
    // Z_BLOCK also stops after a header: keep one entry per place.
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

}  // namespace

TEST(DeflateBlocks, TheListAgreesWithZlibsInflater) {
    const std::tuple<std::size_t, unsigned, bool, int, int, std::size_t> cases[] = {
        {300000, 1, false, 6, Z_DEFAULT_STRATEGY, 0}, {300000, 2, true, 6, Z_DEFAULT_STRATEGY, 0},
        {200000, 3, false, 6, Z_FIXED, 0},            {200000, 4, true, 1, Z_DEFAULT_STRATEGY, 70000},
        {100000, 5, true, 0, Z_DEFAULT_STRATEGY, 0},  {50000, 6, false, 9, Z_HUFFMAN_ONLY, 9999}};
    for (const auto &[bytes, seed, noisy, level, strategy, flush_every] : cases) {
        SCOPED_TRACE("level " + std::to_string(level) + " strategy " + std::to_string(strategy));
        const std::string data = sample(bytes, seed, noisy);
        const DeflateBytes stream = zlib_stream(data, level, strategy, flush_every);
        std::vector<DeflateBlockStart> starts;
        DeflateBlocks ends;
        std::uint64_t plain = 0;
        ASSERT_TRUE(list_deflate_blocks(stream.data(), stream.size(), starts, ends, plain));
        EXPECT_EQ(plain, data.size());
        std::vector<std::pair<std::uint64_t, std::uint64_t>> listed;
        for (const DeflateBlockStart &start : starts) listed.emplace_back(start.header_bit, start.plain_offset);
        EXPECT_EQ(listed, zlib_blocks(stream, data.size()));
        EXPECT_EQ(ends.final_header_bit, starts.back().header_bit);
        EXPECT_EQ((ends.end_bit + 7) / 8, stream.size());
    }
}

// Blocks of a stream copied bit for bit between text deflated afresh make one stream of the
// same text: the copies start a window's length after the text they follow begins.
TEST(DeflateBlocks, CopiedBlocksJoinFreshlyDeflatedText) {
    for (int workers : {1, 2}) {
        const std::string data = sample(1500000, 11, true);
        const DeflateBytes stream = zlib_stream(data, 6, Z_DEFAULT_STRATEGY, 0);
        std::vector<DeflateBlockStart> starts;
        DeflateBlocks ends;
        std::uint64_t plain = 0;
        ASSERT_TRUE(list_deflate_blocks(stream.data(), stream.size(), starts, ends, plain));
        ASSERT_GT(starts.size(), 12u);
        DeflateBytes joined;
        DeflatePipeline pipeline([&](const unsigned char *bytes, std::size_t n) { return joined.insert(joined.end(), bytes, bytes + n), 0; },
                                 workers);
        // Text up to block 2, blocks 2-5 copied, text up to block 8, blocks 8-11 in two chunks, text to the end.
        std::uint64_t at = 0;
        auto text_to = [&](std::uint64_t end) {
            EXPECT_EQ(pipeline.write(data.substr(at, end - at)), 0);
            at = end;
        };
        auto copy = [&](std::size_t from, std::size_t to) {
            ASSERT_EQ(at, starts[from].plain_offset);
            DeflateBytes chunk;
            append_joinable_blocks(stream.data(), starts[from].header_bit, starts[to].header_bit, chunk);
            const std::uint64_t end = starts[to].plain_offset;
            const std::uint32_t crc = crc_of(data.substr(at, end - at));
            EXPECT_EQ(pipeline.write_deflated(std::move(chunk), crc, end - at), 0);
            at = end;
        };
        ASSERT_GE(starts[2].plain_offset, 32768u);
        text_to(starts[2].plain_offset), copy(2, 5), text_to(starts[8].plain_offset), copy(8, 10), copy(10, 11);
        text_to(data.size());
        ASSERT_EQ(pipeline.finish(), 0);
        EXPECT_TRUE(inflated(joined, data.size()) == data);
        EXPECT_EQ(pipeline.crc32(), crc_of(data));
        EXPECT_EQ(pipeline.input_size(), data.size());
    }
}

// The shortcut for a compressor's own output answers as the walk does whenever it answers, and
// for pieces of worksheet text it nearly always answers.
TEST(DeflateBlocks, TheOneBlockShortcutAgreesWithTheWalk) {
    int answered = 0, asked = 0;
    for (int level : {1, 5, 6, 9}) {
        libdeflate_compressor *compressor = libdeflate_alloc_compressor(level);
        ASSERT_NE(compressor, nullptr);
        for (unsigned seed = 1; seed <= 60; ++seed) {
            const std::string data = sample(1000 + seed * 4500, seed, seed % 4 == 0);
            DeflateBytes stream(libdeflate_deflate_compress_bound(compressor, data.size()));
            stream.resize(libdeflate_deflate_compress(compressor, data.data(), data.size(), stream.data(), stream.size()));
            DeflateBlocks walked, quick;
            ASSERT_TRUE(find_deflate_blocks(stream.data(), stream.size(), walked));
            ++asked;
            if (!find_single_block_end(stream.data(), stream.size(), quick)) continue;
            ++answered;
            EXPECT_EQ(quick.final_header_bit, walked.final_header_bit) << level << " " << seed;
            EXPECT_EQ(quick.end_bit, walked.end_bit) << level << " " << seed;
        }
        libdeflate_free_compressor(compressor);
    }
    EXPECT_GT(answered, asked / 2);
}
