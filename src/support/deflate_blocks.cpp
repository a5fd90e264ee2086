// Walks a raw deflate stream's blocks: each header is read, each coded block's symbols decoded
// (lengths and distances only skipped, nothing copied), stored blocks stepped over.

#include "support/deflate_blocks.h"

#include <array>
#include <bit>
#include <cstring>
#include <type_traits>

namespace tabsmith {
namespace {

// Bits in stream order (least significant first), up to 64 buffered.
class BitReader {
public:
    BitReader(const unsigned char *data, std::size_t size) : start_(data), next_(data), end_(data + size) {}

    std::uint32_t peek(unsigned n) {
        if (count_ < n) refill();
        return static_cast<std::uint32_t>(buffer_ & ((std::uint64_t{1} << n) - 1));
    }
    void consume(unsigned n) {
        buffer_ >>= n;
        count_ -= n;
    }
    std::uint32_t read(unsigned n) {
        if (n == 0) return 0;
        std::uint32_t value = peek(n);
        consume(n);
        return value;
    }
    void align_to_byte() { consume(count_ % 8); }
    // Bits taken so far; past the real end, zero bytes were supplied.
    std::uint64_t position() const { return (static_cast<std::uint64_t>(next_ - start_) + zeros_) * 8 - count_; }
    bool past_end() const { return position() > static_cast<std::uint64_t>(end_ - start_) * 8; }
    // Moves to a byte offset (after a stored block); false past the end.
    bool seek_byte(std::uint64_t offset) {
        if (offset > static_cast<std::uint64_t>(end_ - start_)) return false;
        next_ = start_ + offset;
        buffer_ = 0;
        count_ = 0;
        zeros_ = 0;
        return true;
    }
    // More than a buffer's worth of zeros supplied: the stream ended inside a block.
    bool ran_out() const { return zeros_ > 8; }

    // At least 56 bits buffered from real bytes, with one unaligned load; false (nothing
    // changes) near the end of the stream, where the careful path takes over.
    bool refill_fast() {
        if constexpr (std::endian::native == std::endian::little) {
            if (end_ - next_ >= 8) {
                std::uint64_t word;
                std::memcpy(&word, next_, sizeof word);
                buffer_ |= word << count_;
                next_ += (63 - count_) >> 3;
                count_ |= 56;
                return true;
            }
        }
        return false;
    }
    std::uint64_t bits() const { return buffer_; }

private:
    void refill() {
        if (refill_fast()) return;
        while (count_ <= 56) {
            std::uint64_t byte = 0;
            if (next_ < end_) byte = *next_++;
            else ++zeros_;
            buffer_ |= byte << count_;
            count_ += 8;
        }
    }

    const unsigned char *start_, *next_, *end_;
    std::uint64_t buffer_ = 0;
    unsigned count_ = 0;
    std::uint64_t zeros_ = 0;
};

constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kFastBits = 10;

// A canonical prefix code: codes up to kFastBits long are found in one table look-up, longer
// ones one bit at a time.
struct PrefixCode {
    std::array<std::uint16_t, kMaxCodeBits + 1> count{};
    std::array<std::uint16_t, 288> symbols{};
    std::array<std::uint16_t, 1u << kFastBits> fast{};   // (length << 9) | symbol; 0 = a longer code

    bool build(const std::uint8_t *lengths, unsigned n) {
        count.fill(0);
        for (unsigned i = 0; i < n; ++i) ++count[lengths[i]];
        count[0] = 0;
        int left = 1;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            left = (left << 1) - count[len];
            if (left < 0) return false;   // more codes than the lengths allow
        }
        std::array<std::uint16_t, kMaxCodeBits + 2> offset{};
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) offset[len + 1] = static_cast<std::uint16_t>(offset[len] + count[len]);
        for (unsigned i = 0; i < n; ++i)
            if (lengths[i] != 0) symbols[offset[lengths[i]]++] = static_cast<std::uint16_t>(i);
        fast.fill(0);
        unsigned code = 0, index = 0;
        for (unsigned len = 1; len <= kFastBits; ++len, code <<= 1) {
            for (unsigned k = 0; k < count[len]; ++k, ++code, ++index) {
                unsigned reversed = 0;
                for (unsigned b = 0; b < len; ++b) reversed |= ((code >> b) & 1u) << (len - 1 - b);
                for (unsigned slot = reversed; slot < fast.size(); slot += 1u << len)
                    fast[slot] = static_cast<std::uint16_t>(len << 9 | symbols[index]);
            }
        }
        return true;
    }

    // The next symbol, or -1 for bits that are no code.
    int decode(BitReader &in) const {
        const std::uint32_t bits = in.peek(kMaxCodeBits);
        if (std::uint16_t entry = fast[bits & ((1u << kFastBits) - 1)]; entry != 0) {
            in.consume(entry >> 9);
            return entry & 511;
        }
        int code = 0, first = 0, index = 0;
        for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
            code |= static_cast<int>((bits >> (len - 1)) & 1u);
            const int n = count[len];
            if (code - n < first) {
                in.consume(len);
                return symbols[static_cast<std::size_t>(index + code - first)];
            }
            index += n;
            first = (first + n) << 1;
            code <<= 1;
        }
        return -1;
    }
};

constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                         31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

struct FixedCodes {
    PrefixCode literals, distances;
    FixedCodes() {
        std::uint8_t lengths[288];
        std::memset(lengths, 8, 144);
        std::memset(lengths + 144, 9, 112);
        std::memset(lengths + 256, 7, 24);
        std::memset(lengths + 280, 8, 8);
        literals.build(lengths, 288);
        std::memset(lengths, 5, 30);
        distances.build(lengths, 30);
    }
};

// Reads a dynamic block's code lengths and builds its two codes.
bool read_dynamic_codes(BitReader &in, PrefixCode &literals, PrefixCode &distances) {
    static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const unsigned literal_count = in.read(5) + 257, distance_count = in.read(5) + 1, length_count = in.read(4) + 4;
    if (literal_count > 286 || distance_count > 30) return false;
    std::uint8_t lengths[286 + 30] = {};
    for (unsigned i = 0; i < length_count; ++i) lengths[kOrder[i]] = static_cast<std::uint8_t>(in.read(3));
    PrefixCode length_code;
    if (!length_code.build(lengths, 19)) return false;
    std::memset(lengths, 0, 19);
    const unsigned total = literal_count + distance_count;
    for (unsigned i = 0; i < total;) {
        const int symbol = length_code.decode(in);
        if (symbol < 0 || in.ran_out()) return false;
        if (symbol < 16) {
            lengths[i++] = static_cast<std::uint8_t>(symbol);
            continue;
        }
        std::uint8_t repeated = 0;
        unsigned times = 0;
        if (symbol == 16) {
            if (i == 0) return false;
            repeated = lengths[i - 1];
            times = 3 + in.read(2);
        } else if (symbol == 17) {
            times = 3 + in.read(3);
        } else {
            times = 11 + in.read(7);
        }
        if (i + times > total) return false;
        while (times-- > 0) lengths[i++] = repeated;
    }
    if (lengths[256] == 0) return false;   // a block needs its end code
    return literals.build(lengths, literal_count) && distances.build(lengths + literal_count, distance_count);
}

// One look-up per symbol for the walk: a literal's entry is its code length, a length's entry
// its code length plus its extra bits (marked kMatch), a distance's its code length plus its
// extra bits. Everything else (the end code, codes longer than the table, bad symbols) is kRare
// and goes through the careful decoder.
constexpr std::uint16_t kMatch = 0x40;
constexpr std::uint16_t kRare = 0x80;
constexpr std::uint16_t kStepBits = 0x3F;

struct SkipTables {
    std::array<std::uint16_t, 1u << kFastBits> literals{}, distances{};

    SkipTables(const PrefixCode &literal_code, const PrefixCode &distance_code) {
        for (std::size_t i = 0; i < literals.size(); ++i) {
            const std::uint16_t entry = literal_code.fast[i];
            const unsigned length = entry >> 9, symbol = entry & 511;
            if (entry == 0 || symbol == 256 || symbol >= 257 + 29) literals[i] = kRare;
            else if (symbol < 256) literals[i] = static_cast<std::uint16_t>(length);
            else literals[i] = static_cast<std::uint16_t>(kMatch | (length + kLengthExtra[symbol - 257]));
        }
        for (std::size_t i = 0; i < distances.size(); ++i) {
            const std::uint16_t entry = distance_code.fast[i];
            const unsigned length = entry >> 9, symbol = entry & 511;
            distances[i] = entry == 0 || symbol >= 30 ? kRare : static_cast<std::uint16_t>(length + kDistanceExtra[symbol]);
        }
    }
};

// The same look-up for a walk that also counts the bytes the block produces: a length's entry
// adds its code length (bits 8-11), its extra bits' count (bits 12-14) and its base (from bit 16).
struct CountTables {
    std::array<std::uint32_t, 1u << kFastBits> literals{};
    std::array<std::uint16_t, 1u << kFastBits> distances{};

    CountTables(const PrefixCode &literal_code, const PrefixCode &distance_code) {
        const SkipTables skip(literal_code, distance_code);
        distances = skip.distances;
        for (std::size_t i = 0; i < literals.size(); ++i) {
            const std::uint16_t entry = literal_code.fast[i];
            const unsigned length = entry >> 9, symbol = entry & 511;
            literals[i] = skip.literals[i];
            if ((skip.literals[i] & (kRare | kMatch)) == kMatch)
                literals[i] |= length << 8 | std::uint32_t{kLengthExtra[symbol - 257]} << 12 |
                               std::uint32_t{kLengthBase[symbol - 257]} << 16;
        }
    }
};

// `produced`, where given, counts the bytes of the symbol's output.
bool skip_one_symbol(BitReader &in, const PrefixCode &literals, const PrefixCode &distances, bool &end,
                     std::uint64_t *produced = nullptr);

// Decodes symbols up to the block's end code. False on a bad code or when the stream runs out.
// Away from the stream's end a symbol (with its distance) costs one table look-up each and no
// branch on its kind; the careful decoder takes the rare symbols and the last bytes. With
// `Tables` = CountTables the bytes the symbols stand for are added to `*produced`.
template <typename Tables>
bool walk_coded_block(BitReader &in, const PrefixCode &literals, const PrefixCode &distances,
                      std::uint64_t *produced) {
    constexpr bool kCounting = std::is_same_v<Tables, CountTables>;
    const Tables tables(literals, distances);
    constexpr std::uint64_t kMask = (1u << kFastBits) - 1;
    for (;;) {
        if (in.refill_fast()) {
            const std::uint64_t bits = in.bits();
            const std::uint32_t step = tables.literals[bits & kMask];
            const unsigned first = step & kStepBits;
            const std::uint16_t distance = tables.distances[(bits >> first) & kMask];
            const bool match = (step & kMatch) != 0;
            if (((step | (match ? distance : 0)) & kRare) == 0) {
                if constexpr (kCounting) {
                    const unsigned code_bits = (step >> 8) & 0xF, extra = (step >> 12) & 0x7;
                    *produced += match ? (step >> 16) + ((bits >> code_bits) & ((1u << extra) - 1)) : 1;
                }
                // At most 15 + 5 bits of length and 15 + 13 of distance: within the 56 buffered.
                in.consume(first + (match ? (distance & kStepBits) : 0));
                continue;
            }
        }
        bool end = false;
        if (!skip_one_symbol(in, literals, distances, end, produced)) return false;
        if (end) return !in.past_end();
    }
}

// The careful decoder: one symbol (with its distance), every code length, the stream's end checked.
bool skip_one_symbol(BitReader &in, const PrefixCode &literals, const PrefixCode &distances, bool &end,
                     std::uint64_t *produced) {
    int symbol = literals.decode(in);
    if (symbol < 0 || in.ran_out()) return false;
    if (symbol < 256) {
        if (produced) ++*produced;
        return true;
    }
    if (symbol == 256) {
        end = true;
        return true;
    }
    symbol -= 257;
    if (symbol >= 29) return false;
    const std::uint32_t length = kLengthBase[symbol] + in.read(kLengthExtra[symbol]);
    const int distance = distances.decode(in);
    if (distance < 0 || distance >= 30) return false;
    in.read(kDistanceExtra[distance]);
    if (produced) *produced += length;
    return !in.ran_out();
}

// Walks the blocks up to the final one; `visit(header_bit, stored)` is told of each block before
// it is walked, and with `produced` the walk counts the bytes the blocks produce.
template <typename Visit>
bool walk_blocks(const unsigned char *stream, std::size_t size, DeflateBlocks &blocks, std::uint64_t *produced,
                 Visit visit) {
    static const FixedCodes fixed;
    BitReader in(stream, size);
    PrefixCode literals, distances;
    for (;;) {
        const std::uint64_t header = in.position();
        const bool final = in.read(1) != 0;
        const std::uint32_t type = in.read(2);
        visit(header, type == 0);
        bool walked = false;
        switch (type) {
        case 0: {
            in.align_to_byte();
            const std::uint32_t length = in.read(16), complement = in.read(16);
            if (in.past_end() || length != (~complement & 0xFFFFu)) return false;
            if (!in.seek_byte(in.position() / 8 + length)) return false;
            if (produced) *produced += length;
            walked = true;
            break;
        }
        case 1:
        case 2: {
            const PrefixCode *lit = &fixed.literals, *dist = &fixed.distances;
            if (type == 2) {
                if (!read_dynamic_codes(in, literals, distances)) return false;
                lit = &literals;
                dist = &distances;
            }
            walked = produced ? walk_coded_block<CountTables>(in, *lit, *dist, produced)
                              : walk_coded_block<SkipTables>(in, *lit, *dist, nullptr);
            break;
        }
        default: break;
        }
        if (!walked || in.past_end()) return false;
        if (final) {
            blocks.final_header_bit = header;
            blocks.end_bit = in.position();
            return true;
        }
    }
}

}  // namespace

bool find_single_block_end(const unsigned char *stream, std::size_t size, DeflateBlocks &blocks) {
    // A dynamic block that is the final one (the first header bit set).
    if (size < 2 || (stream[0] & 1u) == 0 || ((stream[0] >> 1) & 3u) != 2) return false;
    BitReader in(stream, size);
    in.read(3);
    PrefixCode literals, distances;
    if (!read_dynamic_codes(in, literals, distances) || in.past_end()) return false;
    const std::uint64_t codes_end = in.position();
    // The end code: canonical codes of one length follow each other in symbol order.
    unsigned length = 0, code = 0;
    for (unsigned len = 1, next = 0, first = 0; len <= kMaxCodeBits && length == 0; ++len) {
        next = (next + literals.count[len - 1]) << 1;
        for (unsigned k = 0; k < literals.count[len]; ++k)
            if (literals.symbols[first + k] == 256) length = len, code = next + k;
        first += literals.count[len];
    }
    if (length == 0) return false;
    auto bit = [&](std::uint64_t at) { return (stream[at / 8] >> (at % 8)) & 1u; };
    // The end lies in the last byte, followed by zero bits only; where the end code's bits end
    // there is the end, when exactly one place fits.
    const std::uint64_t total = static_cast<std::uint64_t>(size) * 8;
    std::uint64_t end = 0;
    int fits = 0;
    for (unsigned padding = 0; padding < 8; ++padding) {
        const std::uint64_t at = total - padding;
        if (padding > 0 && bit(at) != 0) break;
        if (at < codes_end + length) break;
        bool same = true;
        for (unsigned k = 0; k < length && same; ++k) same = bit(at - length + k) == ((code >> (length - 1 - k)) & 1u);
        if (same) ++fits, end = at;
    }
    if (fits != 1) return false;
    blocks.final_header_bit = 0;
    blocks.end_bit = end;
    return true;
}

bool find_deflate_blocks(const unsigned char *stream, std::size_t size, DeflateBlocks &blocks) {
    return walk_blocks(stream, size, blocks, nullptr, [](std::uint64_t, bool) {});
}

bool list_deflate_blocks(const unsigned char *stream, std::size_t size, std::vector<DeflateBlockStart> &starts,
                         DeflateBlocks &blocks, std::uint64_t &plain_size) {
    starts.clear();
    std::uint64_t produced = 0;
    const bool whole = walk_blocks(stream, size, blocks, &produced, [&](std::uint64_t header, bool stored) {
        starts.push_back({header, produced, stored});
    });
    plain_size = produced;
    return whole;
}

}  // namespace tabsmith
