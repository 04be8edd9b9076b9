#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/ids.h"
#include "core/vec3.h"

// Global deformations of a face selection: bend, taper, twist, shear and their radial forms,
// each one point map applied to the selection's vertices in a frame fitted to it. Only
// positions change; counts, ids, links and attributes stay as they were.

namespace korvan {

class Mesh;

enum class DeformKind : std::uint32_t {
    kBend = 0,         // amount: radians of turn over the extent
    kTaper = 1,        // amount: scale change at the far end (0 none, -0.5 half, +1 double)
    kTwist = 2,        // amount: radians
    kShear = 3,        // amount: metres at the far end
    kRadialTwist = 4,  // amount: radians, driven by the distance from the axis
    kRadialBend = 5,   // amount: radians, driven by the distance from the axis
};

// "Bend", "Taper", ...; "Deform" for any value outside the enumeration.
const char* deform_kind_name(DeformKind kind);

// Where the map works: `origin` holds still, `axis` is the driving direction, `up` the
// direction a bend turns towards, `extent` the length over which the amount builds up.
struct DeformFrameRequest {
    Vec3 origin;
    Vec3 axis{1.0f, 0.0f, 0.0f};
    Vec3 up{0.0f, 0.0f, 1.0f};
    float extent = 1.0f;
};

// Orthonormal frame built from a request: axis a, up u, side s = a x u.
struct DeformFrame {
    Vec3 origin, axis, up, side;
    float extent = 0.0f;
    bool valid = false;
};

struct DeformParams {
    DeformKind kind = DeformKind::kBend;
    float amount = 0.0f;
    // Outside [0, extent] the geometry rides rigidly on the nearer end's transform.
    bool clamp = true;
    DeformFrameRequest frame;
};

// The frame of the selection's box: axis along the longest side (x before y before z on a
// tie), up along the longer of the other two, extent the longest side and origin the box
// centre moved to the box minimum along the axis. Radial kinds use half the second side as
// extent and the box centre as origin. No value when every side is at most 1e-6 or the
// extent comes out at 1e-6 or less. Every alive face when `faces` is empty.
std::optional<DeformFrameRequest> fit_deform_frame(const Mesh& mesh, std::span<const FaceId> faces,
                                                   DeformKind kind);

// Invalid for an extent that is not finite or not above 1e-9, or an axis that does not
// normalise; an up along the axis is replaced by world Z (or X when the axis is nearly Z).
DeformFrame build_deform_frame(const DeformFrameRequest& request);

// The image of p. p itself for an invalid frame or an amount below 1e-7 in size or not finite.
Vec3 deform_point(const DeformFrame& frame, DeformKind kind, float amount, bool clamp,
                  const Vec3& p);

// Maps the distinct vertices of the listed faces (every alive face when none are listed) and
// refreshes the normals of the faces using them. Returns how many vertices moved more than
// 1e-9 m; 0 for an empty selection, a zero amount or an invalid frame.
std::uint64_t deform_faces(Mesh& mesh, std::span<const FaceId> faces, const DeformParams& params);

}  // namespace korvan
