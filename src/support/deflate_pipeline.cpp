// Compression of archive entries: libdeflate squeezes each piece (about twice as fast as zlib at
// the same level), worker threads take pieces while the caller generates the next ones, and a
// walk over each piece's blocks finds where its last block starts so the pieces can be joined
// into one stream.

#include "support/deflate_pipeline.h"

#include <libdeflate.h>
#include <zlib.h>   // crc32_combine64

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "support/deflate_blocks.h"
#include "support/results.h"

namespace tabsmith {
namespace {

struct CompressorFree {
    void operator()(libdeflate_compressor *c) const { libdeflate_free_compressor(c); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, CompressorFree>;

// The calling thread keeps its compressor between the small entries it compresses itself; its
// tables are large to set up. One that could not be made is asked for again next time, or the
// thread could never save again. While workers compress a large entry it is let go, so that a
// streamed save does not hold a third compressor's 0.7 MB idle.
thread_local Compressor caller_compressor;

libdeflate_compressor *thread_compressor() {
    if (!caller_compressor) caller_compressor.reset(libdeflate_alloc_compressor(kDeflateLevel));
    return caller_compressor.get();
}

// libdeflate's CRC-32 uses the carry-less multiply instructions where the processor has them,
// several times faster than zlib's.
std::uint32_t crc_of(const std::string &data) { return libdeflate_crc32(0, data.data(), data.size()); }

// Compresses `input` into `output` (which takes the compressor's worst case meanwhile); a piece
// that is not the last is made joinable. 0, -1 on a compressor failure, kNoMemory without memory.
int compress_piece(libdeflate_compressor *compressor, const std::string &input, bool last, DeflateBytes &output) {
    if (!compressor) return kNoMemory;
    std::size_t bound = libdeflate_deflate_compress_bound(compressor, input.size());
    output.resize(bound);
    std::size_t size = libdeflate_deflate_compress(compressor, input.data(), input.size(), output.data(), bound);
    if (size == 0) return kFail;
    output.resize(size);
    return last ? 0 : make_compressed_stream_joinable(output);
}

// Appends an empty stored block (header bits 000, then LEN 0 and NLEN 0xFFFF on a byte
// boundary) to blocks that end at bit `end_bit` of `stream`, within its last byte, whose bits
// past the end are cleared. The three header bits fit into that byte's unused top when there is
// room. What follows then starts on a byte.
void append_empty_stored_block(DeflateBytes &stream, std::uint64_t end_bit) {
    const unsigned used = static_cast<unsigned>(end_bit % 8);   // bits of the last byte in use
    if (used != 0) stream.back() &= static_cast<unsigned char>((1u << used) - 1u);
    if (used == 0 || used > 5) stream.push_back(0);
    for (unsigned char byte : {0x00, 0x00, 0xFF, 0xFF}) stream.push_back(byte);
}

// Clears the final-block flag at `blocks` and appends an empty stored block after its end.
int join_after(DeflateBytes &stream, const DeflateBlocks &blocks) {
    if ((blocks.end_bit + 7) / 8 != stream.size()) return kFail;   // bytes after the final block
    stream[blocks.final_header_bit / 8] &= static_cast<unsigned char>(~(1u << (blocks.final_header_bit % 8)));
    append_empty_stored_block(stream, blocks.end_bit);
    return 0;
}

}  // namespace

int make_stream_joinable(DeflateBytes &stream) {
    DeflateBlocks blocks;
    if (stream.empty() || !find_deflate_blocks(stream.data(), stream.size(), blocks)) return kFail;
    return join_after(stream, blocks);
}

int make_compressed_stream_joinable(DeflateBytes &stream) {
    DeflateBlocks blocks;
    if (!find_single_block_end(stream.data(), stream.size(), blocks)) return make_stream_joinable(stream);
    return join_after(stream, blocks);
}

void append_joinable_blocks(const unsigned char *stream, std::uint64_t from_bit, std::uint64_t to_bit,
                            DeflateBytes &out) {
    const std::uint64_t bits = to_bit - from_bit;
    const std::size_t first = static_cast<std::size_t>(from_bit / 8), last = static_cast<std::size_t>((to_bit + 7) / 8);
    const unsigned shift = static_cast<unsigned>(from_bit % 8);
    const std::size_t bytes = static_cast<std::size_t>((bits + 7) / 8), base = out.size();
    out.resize(base + bytes);
    unsigned char *to = out.data() + base;
    std::size_t k = 0;
    // Eight bytes at a time while nine can be read, then byte by byte.
    if constexpr (std::endian::native == std::endian::little) {
        for (; shift != 0 && first + k + 9 <= last && k + 8 <= bytes; k += 8) {
            std::uint64_t word;
            std::memcpy(&word, stream + first + k, sizeof word);
            word = word >> shift | std::uint64_t{stream[first + k + 8]} << (64 - shift);
            std::memcpy(to + k, &word, sizeof word);
        }
    }
    if (shift == 0) {
        std::memcpy(to, stream + first, bytes);
        k = bytes;
    }
    for (; k < bytes; ++k) {
        unsigned value = stream[first + k] >> shift;
        if (shift != 0 && first + k + 1 < last) value |= static_cast<unsigned>(stream[first + k + 1]) << (8 - shift);
        to[k] = static_cast<unsigned char>(value);
    }
    append_empty_stored_block(out, std::uint64_t{base} * 8 + bits);
}

struct DeflatePipeline::Job {
    std::string input;
    bool last = false;
    DeflateBytes output;
    std::uint32_t crc = 0;
    std::uint64_t input_size = 0;
    int rc = 0;
    bool done = false;
};

struct DeflatePipeline::Shared {
    std::mutex mutex;
    std::condition_variable work_ready;
    std::condition_variable job_done;
    std::deque<std::shared_ptr<Job>> waiting;    // not yet taken by a worker
    std::deque<std::shared_ptr<Job>> in_order;   // every job not yet handed to the output
    std::vector<std::thread> threads;
    bool stopping = false;
    // Buffers of finished pieces kept for the next ones (a few, so memory stays bounded).
    static constexpr std::size_t kSpares = 4;
    std::vector<std::string> spare_inputs;
    std::vector<DeflateBytes> spare_outputs;

    // Room for the spares from the start: a worker keeps a buffer outside any handler, where
    // running out of memory would end the process.
    Shared() {
        spare_inputs.reserve(kSpares);
        spare_outputs.reserve(kSpares);
    }

    void run() {
        Compressor compressor{libdeflate_alloc_compressor(kDeflateLevel)};
        DeflateBytes scratch;
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(mutex);
                work_ready.wait(lock, [&] { return stopping || !waiting.empty(); });
                if (waiting.empty()) return;
                job = waiting.front();
                waiting.pop_front();
                if (!spare_outputs.empty()) {
                    job->output = std::move(spare_outputs.back());
                    spare_outputs.pop_back();
                }
            }
            int rc = 0;
            try {
                job->crc = crc_of(job->input);
                // Compressed into the worker's own buffer, so that a piece waiting its turn
                // holds only its compressed bytes, not the worst case.
                rc = compress_piece(compressor.get(), job->input, job->last, scratch);
                if (rc == 0) job->output.assign(scratch.begin(), scratch.end());
            } catch (const std::bad_alloc &) {
                rc = kNoMemory;
            }
            {
                std::lock_guard lock(mutex);
                job->rc = rc;
                job->done = true;
                job->input.clear();
                if (spare_inputs.size() < kSpares) spare_inputs.push_back(std::move(job->input));
                std::string().swap(job->input);
            }
            job_done.notify_all();
        }
    }
};

DeflatePipeline::DeflatePipeline(Output output, int workers) : output_(std::move(output)), workers_wanted_(workers) {
    if (workers_wanted_ <= 0) {
        unsigned cores = std::thread::hardware_concurrency();
        workers_wanted_ = static_cast<int>(std::clamp(cores, 1u, 2u));
    }
}

DeflatePipeline::~DeflatePipeline() {
    if (!shared_) return;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stopping = true;
        shared_->waiting.clear();
    }
    shared_->work_ready.notify_all();
    for (auto &thread : shared_->threads) thread.join();
}

void DeflatePipeline::start_workers() {
    caller_compressor.reset();
    shared_ = std::make_unique<Shared>();
    for (int k = 0; k < workers_wanted_; ++k) {
        try {
            shared_->threads.emplace_back([s = shared_.get()] { s->run(); });
        } catch (const std::system_error &) {
            break;   // no more threads to be had: work with those that started, or none
        }
    }
    if (shared_->threads.empty()) workers_wanted_ = 1;
}

int DeflatePipeline::write(std::string &&piece) {
    if (failure_) return failure_;
    if (piece.empty()) return 0;
    if (!held_.empty()) {
        if (int rc = submit(std::move(held_), false); rc != 0) return failure_ = rc;
    }
    held_ = std::move(piece);
    piece.clear();
    return 0;
}

int DeflatePipeline::write_deflated(DeflateBytes &&joinable, std::uint32_t crc, std::uint64_t plain_size) {
    if (failure_) return failure_;
    if (!held_.empty()) {
        if (int rc = submit(std::move(held_), false); rc != 0) return failure_ = rc;
        held_.clear();
    }
    auto job = std::make_shared<Job>();
    job->output = std::move(joinable);
    job->crc = crc;
    job->input_size = plain_size;
    job->done = true;
    if (!shared_) return failure_ = hand_over(*job);
    {
        std::lock_guard lock(shared_->mutex);
        shared_->in_order.push_back(std::move(job));
    }
    return failure_ = emit_ready(false);
}

int DeflatePipeline::finish() {
    if (failure_) return failure_;
    int rc = submit(std::move(held_), true);
    held_.clear();
    if (rc == 0) rc = emit_ready(true);
    return failure_ = rc;
}

std::string DeflatePipeline::spare_piece() {
    if (shared_) {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->spare_inputs.empty()) {
            std::string spare = std::move(shared_->spare_inputs.back());
            shared_->spare_inputs.pop_back();
            spare.clear();
            return spare;
        }
    }
    return {};
}

int DeflatePipeline::submit(std::string &&piece, bool last) {
    auto job = std::make_shared<Job>();
    job->input_size = piece.size();
    job->last = last;
    if (workers_wanted_ > 1 && !shared_ && !last) start_workers();
    if (workers_wanted_ <= 1 || !shared_) {
        // A single piece, or no threads: nothing to overlap with.
        job->crc = crc_of(piece);
        int rc = compress_piece(thread_compressor(), piece, last, job->output);
        if (rc != 0) return rc;
        if (shared_) {
            // Behind pieces still with the workers: it takes its turn in the output.
            {
                std::lock_guard lock(shared_->mutex);
                job->done = true;
                shared_->in_order.push_back(job);
            }
            return emit_ready(false);
        }
        return hand_over(*job);
    }
    job->input = std::move(piece);
    {
        std::lock_guard lock(shared_->mutex);
        shared_->waiting.push_back(job);
        shared_->in_order.push_back(job);
    }
    shared_->work_ready.notify_one();
    return emit_ready(false);
}

int DeflatePipeline::hand_over(const Job &job) {
    crc_ = static_cast<std::uint32_t>(crc32_combine64(crc_, job.crc, static_cast<z_off64_t>(job.input_size)));
    size_ += job.input_size;
    return output_(job.output.data(), job.output.size());
}

int DeflatePipeline::emit_ready(bool wait_all) {
    if (!shared_) return 0;
    // Pieces in flight beyond this wait for the output, which bounds the memory held.
    const std::size_t most_in_flight = static_cast<std::size_t>(workers_wanted_) + 1;
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(shared_->mutex);
            if (shared_->in_order.empty()) return 0;
            bool must_wait = wait_all || shared_->in_order.size() > most_in_flight;
            if (!shared_->in_order.front()->done) {
                if (!must_wait) return 0;
                shared_->job_done.wait(lock, [&] { return shared_->in_order.front()->done; });
            }
            job = shared_->in_order.front();
            shared_->in_order.pop_front();
        }
        if (job->rc != 0) return job->rc;
        if (int rc = hand_over(*job); rc != 0) return rc;
        std::lock_guard lock(shared_->mutex);
        if (shared_->spare_outputs.size() < Shared::kSpares) {
            job->output.clear();
            shared_->spare_outputs.push_back(std::move(job->output));
        }
    }
}

}  // namespace tabsmith
