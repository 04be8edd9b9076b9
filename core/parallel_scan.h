#pragma once

// Chunked whole-table scans. Include only from .cpp files: <execution> pulls in TBB.

#include <algorithm>
#include <cstddef>
#include <execution>
#include <numeric>
#include <vector>

#include "core/background.h"

namespace korvan {

// Scans over more elements than this are split into chunks that run in parallel.
inline constexpr std::size_t kParallelScanThreshold = 65535;
inline constexpr std::size_t kScanChunkSize = 16384;

// Runs fn(chunk) for chunk in [0, chunk_count) and returns the results in chunk order. With
// `parallel` the chunks run on the standard parallel algorithms; on a background-job thread
// they always run in order on that thread, each after a cancellation check.
template <class R, class Fn>
std::vector<R> run_chunks(std::size_t chunk_count, bool parallel, Fn&& fn) {
    std::vector<R> out(chunk_count);
    if (background::in_job() || !parallel || chunk_count < 2) {
        for (std::size_t c = 0; c < chunk_count; ++c) {
            background::check_cancelled();
            out[c] = fn(c);
        }
        return out;
    }
    std::vector<std::size_t> chunks(chunk_count);
    std::iota(chunks.begin(), chunks.end(), std::size_t{0});
    std::for_each(std::execution::par, chunks.begin(), chunks.end(),
                  [&](std::size_t c) { out[c] = fn(c); });
    return out;
}

// Calls fn(begin, end) over [0, count): once for the whole range when count is at most
// kParallelScanThreshold, else per kScanChunkSize chunk in parallel. Results in chunk order,
// so joining them gives what one sequential pass would.
template <class R, class Fn>
std::vector<R> scan_chunks(std::size_t count, Fn&& fn) {
    if (count <= kParallelScanThreshold) {
        return run_chunks<R>(1, false, [&](std::size_t) { return fn(std::size_t{0}, count); });
    }
    const std::size_t chunk_count = (count + kScanChunkSize - 1) / kScanChunkSize;
    return run_chunks<R>(chunk_count, true, [&](std::size_t c) {
        return fn(c * kScanChunkSize, std::min(count, (c + 1) * kScanChunkSize));
    });
}

// Joins per-chunk id lists in chunk order.
template <class T>
std::vector<T> concat_chunks(std::vector<std::vector<T>>&& parts) {
    if (parts.size() == 1) return std::move(parts.front());
    std::size_t total = 0;
    for (const auto& p : parts) total += p.size();
    std::vector<T> out;
    out.reserve(total);
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

}  // namespace korvan
