#pragma once

// Sorting of record lists built by the whole-table scans. Include only from .cpp files:
// <execution> pulls in TBB.

#include <algorithm>
#include <cstddef>
#include <execution>
#include <iterator>

#include "core/background.h"

namespace korvan {

// Lists of at least this many records are sorted on the parallel algorithms.
inline constexpr std::size_t kParallelSortThreshold = 65536;

// True when a list of `count` records should be sorted or grouped in parallel: large enough,
// and not on a background-job thread, which runs its work in order on itself.
inline bool sort_in_parallel(std::size_t count) {
    return count >= kParallelSortThreshold && !background::in_job();
}

// std::sort, on the parallel algorithms when sort_in_parallel says so. `less` must be a strict
// total order (break ties by id) so the result does not depend on the path taken.
template <class It, class Less>
void sort_records(It first, It last, Less less) {
    if (sort_in_parallel(static_cast<std::size_t>(std::distance(first, last)))) {
        std::sort(std::execution::par, first, last, less);
    } else {
        std::sort(first, last, less);
    }
}

}  // namespace korvan
