#pragma once

#include <filesystem>

namespace korvan::platform {

// Absolute path of the running executable; empty when the platform cannot tell.
std::filesystem::path executable_path();

}  // namespace korvan::platform
