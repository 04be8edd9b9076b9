#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvan::cli {

// Edit distance counting an insertion, a deletion, a substitution or a swap of two
// neighbouring characters as one step (the typing slips people make).
std::size_t typo_distance(std::string_view a, std::string_view b);

// Up to three of `candidates` close enough to `typed` to be what was meant, all at the
// nearest distance found; ties keep the longer shared start, then the candidates' order.
// Empty names are skipped.
std::vector<std::string_view> suggest(std::string_view typed,
                                      std::span<const std::string_view> candidates);

// "'a'", "'a' or 'b'", "'a', 'b' or 'c'" with each word in `quote` (empty for none).
std::string or_list(std::span<const std::string_view> words, std::string_view quote);

}  // namespace korvan::cli
