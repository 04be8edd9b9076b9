#include "platform/assets_dir.h"

#include <system_error>

#include "platform/env.h"
#include "platform/exe_path.h"

namespace korvan::platform {
namespace {

// Longer values are refused: the desktop program reads the variable into a fixed buffer
// of this size, and both must agree on which directories count.
constexpr std::size_t kMaxAssetsEnvLength = 1040;

}  // namespace

std::vector<std::filesystem::path> assets_dir_candidates() {
    std::vector<std::filesystem::path> out;
    if (auto env = env_var("KORVAN_ASSETS_DIR");
        env && !env->empty() && env->size() < kMaxAssetsEnvLength) {
        out.emplace_back(*env);
    }
    if (auto exe = executable_path(); !exe.empty()) {
        const auto folder = exe.parent_path();
        out.push_back(folder / "assets");
        out.push_back(folder / ".." / "share" / "korvan" / "assets");
    }
    out.emplace_back(KORVAN_SOURCE_ASSETS_DIR);
    return out;
}

std::optional<std::filesystem::path> find_assets_dir() {
    for (const auto& dir : assets_dir_candidates()) {
        std::error_code ec;
        if (std::filesystem::is_regular_file(dir / "components" / "index.json", ec)) return dir;
    }
    return std::nullopt;
}

}  // namespace korvan::platform
