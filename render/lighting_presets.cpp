#include "render/lighting_presets.h"

#include <array>

namespace korvan {
namespace {

struct Preset {
    std::string_view name;
    Vec3 sun;  // towards the sun, before normalising
};

constexpr std::array<Preset, kPresetCount> kPresets{{
    {"exterior_sun", {0.35f, -0.25f, 0.9f}},
    {"overcast", {0.2f, -0.2f, 1.0f}},
    {"interior_warm", {0.1f, 0.2f, 0.9f}},
    {"dusk", {0.8f, -0.1f, 0.25f}},
    {"night", {0.2f, 0.1f, 1.0f}},
}};

}  // namespace

std::string_view preset_name(std::uint32_t preset) {
    return preset < kPresetCount ? kPresets[preset].name : std::string_view("unknown");
}

std::optional<std::uint32_t> preset_index(std::string_view name) {
    for (std::uint32_t i = 0; i < kPresetCount; ++i) {
        if (kPresets[i].name == name) return i;
    }
    return std::nullopt;
}

Vec3 preset_sun_direction(std::uint32_t preset) {
    return preset < kPresetCount ? normalize(kPresets[preset].sun) : Vec3{0.0f, 0.0f, 1.0f};
}

}  // namespace korvan
