#include "platform/local_date.h"

#include <ctime>

namespace korvan::platform {

std::string local_date_iso() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) == nullptr) return "1970-01-01";
    char text[16];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return std::string(text, n);
}

}  // namespace korvan::platform
