#include "platform/env.h"

#include <cstdlib>

namespace korvan::platform {

std::optional<std::string> env_var(std::string_view name) {
    const std::string key(name);
    const char* value = std::getenv(key.c_str());
    if (!value) return std::nullopt;
    return std::string(value);
}

}  // namespace korvan::platform
