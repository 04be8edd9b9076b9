#pragma once

// The faced sides of a mesh's naked edges, shared by linking and stitching. Include only from
// .cpp files.

#include <vector>

#include "core/mesh.h"

namespace korvan {

struct NakedSide {
    HalfEdgeId half_edge = kInvalidId;
    VertexId start = kInvalidId;
    VertexId end = kInvalidId;  // origin of the side's next
    FaceId face = kInvalidId;
};

// In ascending edge order: for each naked edge with an alive face on exactly one side, that
// side, unless it or its next is dead or out of range, it starts and ends at the same vertex,
// or its edge id is out of range. Chunked over the edge table like the other scans.
std::vector<NakedSide> collect_naked_sides(const Mesh& mesh);

}  // namespace korvan
