#pragma once

#include <string>

#include "core/vec3.h"

namespace korvan {

// A cutting plane through the model; the normal points to the side that is cut away.
struct SectionPlane {
    std::string name;
    Vec3 point;
    Vec3 normal{0.0f, 0.0f, 1.0f};
    bool active = true;

    friend bool operator==(const SectionPlane&, const SectionPlane&) = default;
};

}  // namespace korvan
