// The block structure of a raw deflate stream: where its final block begins and where the stream
// ends, found by walking the blocks' codes without producing any output.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tabsmith {

struct DeflateBlocks {
    std::uint64_t final_header_bit = 0;   // bit offset of the final block's header
    std::uint64_t end_bit = 0;            // bit offset just past the final block's end code
};

// Walks the blocks of `stream` up to its final block. False when the bytes are not a complete,
// well-formed stream (a bad header or code, or the end reached inside a block).
bool find_deflate_blocks(const unsigned char *stream, std::size_t size, DeflateBlocks &blocks);

}  // namespace tabsmith
