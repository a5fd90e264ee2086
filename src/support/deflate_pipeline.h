// Raw deflate of one archive entry in independent pieces on worker threads: the pieces are
// joined into one valid stream, handed back in order, with the CRC-32 and size of the whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace tabsmith {

// Input bytes a caller should gather before handing a piece over: large enough that the
// compression ratio barely suffers from the independent pieces (W1's sheet is 0.4% larger than
// with 1 MiB pieces), small enough to keep two cores busy on a worksheet of a megabyte and to
// keep little waiting for the compressors (6 MiB less peak memory for W1).
constexpr std::size_t kDeflatePieceBytes = 1u << 18;
// Compression level of every saved part.
constexpr int kDeflateLevel = 5;

// Bytes whose growth leaves the new room uninitialised: a compressor output buffer is sized to
// the worst case and then written, so zero-filling it first would only cost time.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    using std::allocator<T>::allocator;
    template <typename U>
    void construct(U *place) noexcept {
        ::new (static_cast<void *>(place)) U;
    }
    template <typename U, typename... Args>
    void construct(U *place, Args &&...args) {
        ::new (static_cast<void *>(place)) U(std::forward<Args>(args)...);
    }
};
using DeflateBytes = std::vector<unsigned char, UninitialisedAllocator<unsigned char>>;

// Turns a complete raw deflate stream into one that can be followed by another: clears the
// final-block flag and appends an empty stored block, so the stream ends on a byte boundary.
// Returns 0, kFail when `stream` is not one complete deflate stream, or kNoMemory when memory runs out.
int make_stream_joinable(DeflateBytes &stream);
// The same for a stream the compressor has just made: where its one block's end can be told from
// its last byte (find_single_block_end), nothing is walked. Returns as make_stream_joinable.
int make_compressed_stream_joinable(DeflateBytes &stream);

// Appends to `out` the blocks of a deflate stream that lie between two block headers' bit
// offsets, moved to start on a byte and followed by an empty stored block: bytes that join other
// joinable streams as make_stream_joinable's do. The blocks must not hold the final one, nor a
// stored one (its bytes sit on a byte boundary). `to_bit` must lie within the stream's bytes.
void append_joinable_blocks(const unsigned char *stream, std::uint64_t from_bit, std::uint64_t to_bit,
                            DeflateBytes &out);

class DeflatePipeline {
public:
    // Receives the compressed bytes in stream order, always on the thread that calls write()
    // and finish(); a non-zero result stops the pipeline and is returned by those calls.
    using Output = std::function<int(const unsigned char *data, std::size_t size)>;

    // `workers` 0 chooses from the machine (at most two); 1 compresses on the calling thread.
    explicit DeflatePipeline(Output output, int workers = 0);
    ~DeflatePipeline();
    DeflatePipeline(const DeflatePipeline &) = delete;
    DeflatePipeline &operator=(const DeflatePipeline &) = delete;

    // Takes the next piece of input (moved from; empty pieces are ignored). Returns 0, kNoMemory when
    // memory runs out, or the output's error.
    int write(std::string &&piece);
    // Takes, after what came before, blocks deflated already (append_joinable_blocks) that
    // inflate to `plain_size` bytes of CRC `crc`. Returns as write().
    int write_deflated(DeflateBytes &&joinable, std::uint32_t crc, std::uint64_t plain_size);
    // Ends the stream: everything is compressed and handed to the output. Returns as write().
    int finish();
    // An empty string with room left by a piece already compressed (or a new one): writers
    // fill it with the next piece, so a long part does not fault in fresh pages for each one.
    std::string spare_piece();

    std::uint32_t crc32() const { return crc_; }
    std::uint64_t input_size() const { return size_; }

private:
    struct Job;
    struct Shared;

    int submit(std::string &&piece, bool last);
    int emit_ready(bool wait_all);
    // Adds a compressed piece to the CRC and size and passes it to the output, in order.
    int hand_over(const Job &job);
    void start_workers();

    Output output_;
    int workers_wanted_;
    std::unique_ptr<Shared> shared_;
    std::string held_;                 // the newest piece: final or not is known only later
    std::uint32_t crc_ = 0;
    std::uint64_t size_ = 0;
    int failure_ = 0;
};

}  // namespace tabsmith
