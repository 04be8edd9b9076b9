#pragma once

#include <cstdint>
#include <string>

#include "core/vec3.h"

namespace korvan {

// A text placed in the model. Labels have no name: they are addressed by index.
struct TextLabel {
    std::string text;  // never empty in a document
    Vec3 position;
    float height = 0.2f;    // cap height, metres of model space
    std::int32_t tag = -1;  // -1 = untagged

    friend bool operator==(const TextLabel&, const TextLabel&) = default;
};

}  // namespace korvan
