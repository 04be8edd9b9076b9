#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/planar_ring.h"

// Building plans for the offset, skeleton and roof tests: the rectilinear shapes whose
// simultaneous events catch faults, and star-shaped irregular plans from a seed.

namespace korvan::test {

struct NamedPlan {
    std::string name;
    std::vector<Point2> ring;  // counter-clockwise
    double half_width = 0.0;   // the inscribed radius when every wing is equally wide; else 0
};

// Wings 4 m wide, so every hip roof over them peaks 2 m in from the eaves.
inline std::vector<NamedPlan> wing_plans() {
    return {
        {"rectangle", {{0, 0}, {12, 0}, {12, 4}, {0, 4}}, 2.0},
        {"L", {{0, 0}, {10, 0}, {10, 4}, {4, 4}, {4, 10}, {0, 10}}, 2.0},
        {"T", {{0, 0}, {12, 0}, {12, 4}, {8, 4}, {8, 10}, {4, 10}, {4, 4}, {0, 4}}, 2.0},
        {"U", {{0, 0}, {12, 0}, {12, 10}, {8, 10}, {8, 4}, {4, 4}, {4, 10}, {0, 10}}, 2.0},
        {"chevron", {{0, 0}, {6, 3}, {12, 0}, {12, 5}, {6, 8}, {0, 5}}, 0.0},
        {"notched", {{0, 0}, {10, 0}, {10, 6}, {6, 6}, {5, 3}, {4, 6}, {0, 6}}, 0.0},
        // Two reflex corners facing each other across a waist (an H on its side).
        {"waist", {{0, 0}, {4, 0}, {4, 2}, {6, 2}, {6, 0}, {10, 0}, {10, 6}, {6, 6}, {6, 4},
                   {4, 4}, {4, 6}, {0, 6}}, 0.0},
        // Two reflex corners facing each other off-centre.
        {"offset waist", {{0, 0}, {5, 0}, {5, 2.5}, {7, 2.5}, {7, 0}, {11, 0}, {11, 7}, {6, 7},
                          {6, 4}, {3, 4}, {3, 7}, {0, 7}}, 0.0},
    };
}

// A star-shaped plan of n corners about the origin with radii drawn from [r_min, r_max].
inline std::vector<Point2> star_plan(std::uint32_t n, double r_min, double r_max,
                                     std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> radius(r_min, r_max), jitter(-0.3, 0.3);
    std::vector<Point2> ring;
    const double step = 2.0 * 3.14159265358979323846 / n;
    for (std::uint32_t i = 0; i < n; ++i) {
        const double a = (i + 0.5 + jitter(rng)) * step;
        const double r = radius(rng);
        ring.push_back({r * std::cos(a), r * std::sin(a)});
    }
    return ring;
}

}  // namespace korvan::test
