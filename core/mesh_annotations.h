#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/ids.h"
#include "core/vec3.h"

// Construction entities a Mesh carries beside its geometry. They hold every field the native
// file stores; fields whose meaning belongs to the desktop program are kept verbatim so a
// file read and written again is unchanged.

namespace korvan {

// A construction line from a to b; infinite lines extend past both ends.
struct Guide {
    Vec3 a;
    Vec3 b;
    bool infinite = false;
};

enum class CurveKind : std::uint8_t { kPolyline, kArc, kBoundary };

// A polyline that sweeps follow (and contour tools treat as a contour). Erased curves keep
// their slot so curve indices held elsewhere stay valid.
struct Curve {
    std::vector<Vec3> points;
    bool alive = true;
    bool closed = false;
    CurveKind kind = CurveKind::kPolyline;
};

struct Note {
    bool alive = true;
    bool flag = false;      // verbatim
    float number_a = 0.0f;  // verbatim
    float number_b = 0.0f;  // verbatim
    Vec3 a;
    Vec3 b;
    std::string text;
};

inline constexpr std::int32_t kDimensionAnchorNone = 0;
inline constexpr std::int32_t kDimensionAnchorFace = 3;

// What a dimension end is attached to; a face anchor names a FaceId.
struct DimensionAnchor {
    std::int32_t kind = kDimensionAnchorNone;
    std::uint32_t id = kInvalidId;
    float param = 0.0f;  // verbatim

    friend bool operator==(const DimensionAnchor&, const DimensionAnchor&) = default;
};

// A measured distance from a to b with its label. The associative tail (tail_* and the two
// anchors) belongs to the desktop program and is kept verbatim; it is "absent" when every
// field holds its default.
struct Dimension {
    Vec3 a;
    Vec3 b;
    float value = 0.0f;  // length in metres when the dimension was made
    std::int32_t tail_int_a = 0;
    std::array<float, 3> tail_numbers_a{};
    std::int32_t tail_int_b = 0;
    std::array<float, 6> tail_numbers_b{};
    DimensionAnchor anchor_a;
    DimensionAnchor anchor_b;
    Vec3 direction;  // zero when none
    std::string label;

    bool has_associative_tail() const {
        const DimensionAnchor none;
        return tail_int_a != 0 || tail_numbers_a != std::array<float, 3>{} || tail_int_b != 0 ||
               tail_numbers_b != std::array<float, 6>{} || anchor_a != none || anchor_b != none;
    }
};

}  // namespace korvan
