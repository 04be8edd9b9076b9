#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace korvan::platform {

// The first directory holding a regular file components/index.json, searched in order:
// $KORVAN_ASSETS_DIR (only when set and shorter than 1040 characters), "assets" beside the
// executable, "../share/korvan/assets" from the executable's folder, then the source tree's
// assets fixed at build time. Nothing when none qualifies.
std::optional<std::filesystem::path> find_assets_dir();

// The candidates find_assets_dir tries, in order; exposed so the order can be tested.
std::vector<std::filesystem::path> assets_dir_candidates();

}  // namespace korvan::platform
