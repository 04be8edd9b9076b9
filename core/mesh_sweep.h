#pragma once

#include <cstdint>
#include <span>

#include "core/ids.h"
#include "core/vec3.h"

namespace korvan {

class Mesh;

struct SweepReport {
    bool ok = false;
    const char* message = "";      // static text; empty when ok
    std::uint64_t sections = 0;    // rings along the path, the face's own included
    std::uint64_t faces_made = 0;  // side quads and the end cap
    FaceId end_cap = kInvalidId;
    std::uint64_t soft_edges = 0;
};

// Sweeps the face's ring along the polyline path. The ring is carried by rotation-minimising
// frames (each segment's frame is the previous one turned by the least rotation that takes
// the previous direction onto its own) and meets itself at every corner in the plane that
// halves the turn (a mitre). The face stays as the start cap, reversed when it is a lone face
// swept along its normal, so a lone closed outline swept along an open path gives a closed
// solid. Side edges where the ring or the path turns by less than 20 degrees are softened.
// Refuses a dead or degenerate face, fewer than 2 distinct path points, non-finite points, a
// first segment lying in the face's plane, a path that doubles back on itself, and a closed
// path (its end back on its start); the mesh is then unchanged.
SweepReport sweep_face_along_path(Mesh& mesh, FaceId face, std::span<const Vec3> path);

}  // namespace korvan
