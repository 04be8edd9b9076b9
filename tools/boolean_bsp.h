#pragma once

#include <cstdint>

#include "core/mesh.h"
#include "tools/solid_boolean.h"

// Solid booleans by binary space partitioning of the operands' polygons. Both operands must
// be closed solids (what the result is for open ones is not defined). The result is made of
// triangles welded, split at T-junctions, linked and stitched; coplanar faces are not merged
// again.

namespace korvan {

// Counts from one run, for reports and benchmarks.
struct CsgStats {
    std::uint64_t polygons_in = 0;   // polygons built from both operands
    std::uint64_t polygons_out = 0;  // polygons the trees gave back before assembly
    std::uint64_t repair_rounds = 0;
};

Mesh csg_boolean(BooleanOp op, const Mesh& a, const Mesh& b, CsgStats* stats = nullptr);
// a = target, b = tool; subtract is a minus b.
Mesh csg_union(const Mesh& a, const Mesh& b);
Mesh csg_subtract(const Mesh& a, const Mesh& b);
Mesh csg_intersect(const Mesh& a, const Mesh& b);

// Splits every ring side at each vertex used by a face that lies on the side's interior
// within `tolerance` (at most `limit` splits), then drops what the splits fold flat: runs of
// a repeated vertex, and loops without area once a ring is cut at a vertex it visits twice.
// Rebuilds the topology when anything changed. Returns the number of splits plus the rings
// folded away.
std::uint64_t split_edges_at_vertices(Mesh& mesh, float tolerance, std::uint64_t limit);

}  // namespace korvan
