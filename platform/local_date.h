#pragma once

#include <string>

namespace korvan::platform {

// Today's date in the local time zone as "YYYY-MM-DD".
std::string local_date_iso();

}  // namespace korvan::platform
