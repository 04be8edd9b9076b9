#include "platform/exe_path.h"

#include <system_error>

namespace korvan::platform {

std::filesystem::path executable_path() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return path;
}

}  // namespace korvan::platform
