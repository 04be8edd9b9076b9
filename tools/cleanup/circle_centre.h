#pragma once

#include <cstdint>
#include <vector>

#include "core/ids.h"
#include "core/vec3.h"

namespace korvan {

class Mesh;

enum class CircleCentreStatus : std::uint8_t { kOk, kNotTwo, kDegenerate, kParallel, kNotInOnePlane };

struct CircleCentreResult {
    CircleCentreStatus status = CircleCentreStatus::kNotTwo;
    const char* message = "";  // why there is no centre; empty when ok
    Vec3 centre;
    float radius = 0.0f;  // from the centre to the first segment's ends
};

// The centre of the circle on which both segments are chords: where their perpendicular
// bisectors cross in the segments' common plane. `tolerance` is how far the second segment
// may stand off the first one's plane, in metres.
CircleCentreResult circle_centre(const Vec3& a0, const Vec3& a1, const Vec3& b0, const Vec3& b1,
                                 float tolerance = 1e-4f);

// The loose lines of the mesh (alive edges with no alive face on either side), ascending.
std::vector<EdgeId> loose_lines(const Mesh& mesh);

struct Segment {
    Vec3 a, b;
};

// The straight segments a user has drawn in the mesh: its loose lines, then its finite guide
// segments of non-zero length (guide points and infinite guides are not segments).
std::vector<Segment> straight_segments(const Mesh& mesh);

// circle_centre over the mesh's straight segments, which must be exactly two.
CircleCentreResult circle_centre_of_segments(const Mesh& mesh, float tolerance = 1e-4f);

}  // namespace korvan
