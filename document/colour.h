#pragma once

namespace korvan {

// A linear colour, each channel nominally 0..1 (light colours may exceed 1).
struct Rgb {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

}  // namespace korvan
