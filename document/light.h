#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/vec3.h"
#include "document/colour.h"

namespace korvan {

// Codes as stored in model files; other codes are kept as read and named "unknown".
enum class LightKind : std::int32_t { kSun = 0, kRect = 1, kPoint = 2, kSpot = 3 };

// "sun", "rect", "point", "spot", or "unknown".
std::string_view light_kind_name(LightKind kind);

// A rect light's position is its centre and its direction the way it emits, with up fixing
// the panel's roll; a sun's direction is the way its light travels.
struct Light {
    std::string name;
    LightKind kind = LightKind::kPoint;
    Vec3 position;
    Vec3 direction{0.0f, 0.0f, -1.0f};
    Vec3 up{0.0f, 1.0f, 0.0f};
    float width = 1.0f;   // metres, rect lights
    float height = 1.0f;  // metres, rect lights
    Rgb colour{1.0f, 1.0f, 1.0f};
    float intensity = 1.0f;  // dimensionless scale
    bool enabled = true;
    float cone_inner_deg = 30.0f;  // spot lights
    float cone_outer_deg = 45.0f;

    friend bool operator==(const Light&, const Light&) = default;
};

}  // namespace korvan
