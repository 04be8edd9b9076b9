#pragma once

#include <cstdint>

#include "core/ids.h"
#include "core/tolerances.h"

namespace korvan {

class Mesh;

struct RedundantLinesResult {
    std::uint64_t removed = 0;  // edges dissolved
    std::uint64_t kept = 0;  // left because their flat region runs round an opening, or refused
    std::uint64_t faces_before = 0;
    std::uint64_t faces_after = 0;
};

// Dissolves every redundant line of the mesh: an edge between two different alive faces that
// lie in one plane and share material, layer, visibility and face tag, inside a flat region
// that has no hole. Faces that survive keep their ids.
RedundantLinesResult remove_redundant_lines(Mesh& mesh, float tolerance = kWeldTolerance);

// True when the edge meets the local rules above (two like faces in one plane); the region
// rule is not checked. No edit.
bool is_redundant_line(const Mesh& mesh, EdgeId edge, float tolerance = kWeldTolerance);

}  // namespace korvan
