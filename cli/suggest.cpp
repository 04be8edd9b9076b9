#include "cli/suggest.h"

#include <algorithm>
#include <numeric>

namespace korvan::cli {
namespace {

constexpr std::size_t kMaxSuggestions = 3;

// How far a name may be from what was typed: one slip for short words, up to three for long
// ones, so "stat" finds "stats" without "still" and a long verb survives a double slip.
std::size_t max_distance(std::size_t typed_length) {
    if (typed_length <= 4) return 1;
    if (typed_length <= 8) return 2;
    return 3;
}

std::size_t shared_start(std::string_view a, std::string_view b) {
    const auto [ia, ib] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return static_cast<std::size_t>(ia - a.begin());
}

}  // namespace

std::size_t typo_distance(std::string_view a, std::string_view b) {
    // Three rolling rows of the optimal-string-alignment table: the swap looks two rows back.
    const std::size_t n = b.size();
    std::vector<std::size_t> before(n + 1), previous(n + 1), current(n + 1);
    std::iota(previous.begin(), previous.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        current[0] = i;
        for (std::size_t j = 1; j <= n; ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                current[j] = std::min(current[j], before[j - 2] + 1);
            }
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[n];
}

std::vector<std::string_view> suggest(std::string_view typed,
                                      std::span<const std::string_view> candidates) {
    struct Near {
        std::size_t distance, shared, order;
        std::string_view name;
    };
    std::vector<Near> near;
    const std::size_t limit = max_distance(typed.size());
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const std::string_view name = candidates[i];
        if (name.empty() || name == typed) continue;
        // Cheap bound first: the length difference alone already costs that many steps.
        const std::size_t gap =
            name.size() > typed.size() ? name.size() - typed.size() : typed.size() - name.size();
        if (gap > limit) continue;
        const std::size_t d = typo_distance(typed, name);
        if (d <= limit) near.push_back({d, shared_start(typed, name), i, name});
    }
    std::sort(near.begin(), near.end(), [](const Near& x, const Near& y) {
        if (x.distance != y.distance) return x.distance < y.distance;
        if (x.shared != y.shared) return x.shared > y.shared;
        return x.order < y.order;
    });
    std::vector<std::string_view> out;
    for (const Near& n : near) {
        // A farther name beside a closer one is noise: the closer one is what was meant.
        if (out.size() == kMaxSuggestions || n.distance > near.front().distance) break;
        if (std::find(out.begin(), out.end(), n.name) == out.end()) out.push_back(n.name);
    }
    return out;
}

std::string or_list(std::span<const std::string_view> words, std::string_view quote) {
    std::string out;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) out.append(i + 1 == words.size() ? " or " : ", ");
        out.append(quote).append(words[i]).append(quote);
    }
    return out;
}

}  // namespace korvan::cli
