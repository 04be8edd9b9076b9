#pragma once

#include <cstdint>

#include "core/vec3.h"

namespace korvan {

// Display unit for lengths; the codes are those stored in model files. Geometry is always
// metres: the unit only changes how lengths are shown.
enum class LengthUnit : std::int32_t {
    kMillimetre = 0,
    kCentimetre = 1,
    kMetre = 2,
    kInch = 3,
    kFoot = 4,
    kArchitectural = 5,  // feet and inches; counts in inches
};

// Units of the given kind in one metre; 1 for a code outside the list.
double units_per_metre(LengthUnit unit);

struct UnitsOptions {
    std::int32_t length_precision = -1;  // -1 = automatic, else 0..6 decimals
    bool length_snap_on = false;
    float length_snap = 0.01f;         // metres, > 0
    std::int32_t angle_precision = 1;  // 0..3 decimals
    bool angle_snap_on = true;
    float angle_snap_deg = 15.0f;  // > 0

    friend bool operator==(const UnitsOptions&, const UnitsOptions&) = default;
};

struct ShadowSettings {
    bool shadows_on = false;
    std::int32_t time_minutes = 810;  // after midnight
    std::int32_t day_of_year = 312;

    friend bool operator==(const ShadowSettings&, const ShadowSettings&) = default;
};

// The camera the model was saved with. flag and size belong to the desktop program's view
// and are kept as read.
struct SavedView {
    bool has_view = false;
    Vec3 eye{10.0f, -14.0f, 8.0f};
    Vec3 target{0.0f, 0.0f, 2.5f};
    Vec3 up{0.0f, 0.0f, 1.0f};
    float fov_deg = 45.0f;
    bool flag = false;
    float size = 20.0f;

    friend bool operator==(const SavedView&, const SavedView&) = default;
};

}  // namespace korvan
