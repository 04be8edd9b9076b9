#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/vec3.h"

// The named lighting set-ups a render can be asked for: where the sun stands in each.

namespace korvan {

inline constexpr std::uint32_t kPresetCount = 5;

// "exterior_sun", "overcast", "interior_warm", "dusk", "night"; "unknown" for any other index.
std::string_view preset_name(std::uint32_t preset);
// The index of a preset name, or nothing for a name outside the list.
std::optional<std::uint32_t> preset_index(std::string_view name);
// Unit direction towards the preset's sun; straight up for an unknown index.
Vec3 preset_sun_direction(std::uint32_t preset);

}  // namespace korvan
