// The block structure of a raw deflate stream: where its final block begins and where the stream
// ends, found by walking the blocks' codes without producing any output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tabsmith {

struct DeflateBlocks {
    std::uint64_t final_header_bit = 0;   // bit offset of the final block's header
    std::uint64_t end_bit = 0;            // bit offset just past the final block's end code
};

// Walks the blocks of `stream` up to its final block. False when the bytes are not a complete,
// well-formed stream (a bad header or code, or the end reached inside a block).
bool find_deflate_blocks(const unsigned char *stream, std::size_t size, DeflateBlocks &blocks);

// Where one block starts: its header's bit offset and the bytes the blocks before it produce.
struct DeflateBlockStart {
    std::uint64_t header_bit = 0;
    std::uint64_t plain_offset = 0;
    bool stored = false;   // a stored block's bytes sit on a byte boundary: they cannot be moved by bits
};

// A shortcut for a stream a compressor has just made (zero bits after its end, as compressors
// write them): when it is one dynamic block whose end code can be placed from the last byte
// alone, sets `blocks` without walking. False when it cannot tell; the stream is not checked.
bool find_single_block_end(const unsigned char *stream, std::size_t size, DeflateBlocks &blocks);

// find_deflate_blocks that also lists every block in stream order and counts the bytes the
// whole stream produces (`plain_size`). Costs a little more than the plain walk.
bool list_deflate_blocks(const unsigned char *stream, std::size_t size, std::vector<DeflateBlockStart> &starts,
                         DeflateBlocks &blocks, std::uint64_t &plain_size);

}  // namespace tabsmith
