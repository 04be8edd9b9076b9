#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvan::platform {

// The value of an environment variable, or nothing when it is unset.
std::optional<std::string> env_var(std::string_view name);

}  // namespace korvan::platform
