#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/vec3.h"

namespace korvan {

// Extra properties the desktop program attaches to a scene. Their meaning belongs to that
// program; they are kept as read, field for field.
struct SceneProperties {
    bool flag_a = false;
    float number_a = 0.0f;
    std::uint32_t count = 0;
    float number_b = 0.0f;
    bool flag_b = false;
    std::int32_t int_a = 0;
    bool flag_c = false;
    std::int32_t int_b = 0;
    std::int32_t int_c = 0;
    std::vector<std::string> names;

    friend bool operator==(const SceneProperties&, const SceneProperties&) = default;
};

// A saved camera with a name.
struct Scene {
    std::string name;
    Vec3 eye{10.0f, -14.0f, 8.0f};
    Vec3 target{0.0f, 0.0f, 2.5f};
    Vec3 up{0.0f, 0.0f, 1.0f};
    float fov_deg = 45.0f;
    std::string photo;                // photo reference; empty = none
    std::vector<float> photo_params;  // kept as read
    bool has_properties = false;
    SceneProperties properties;

    friend bool operator==(const Scene&, const Scene&) = default;
};

}  // namespace korvan
