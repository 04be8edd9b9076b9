#pragma once

#include <optional>

#include "core/mesh.h"
#include "tools/solid_boolean.h"

// Solid booleans by exact corefinement: the two surfaces are cut along their intersection
// with exact predicates (intersection points constructed exactly, then rounded), and the
// pieces on the right side of each are kept. The result is welded and linked; each face keeps
// the material of the operand face it came from, and the pieces of one input face come back
// as one n-gon where they form a single loop. Nothing when an operand is not a closed
// two-manifold surface of triangles after triangulation, or when the result cannot be built
// as one (two solids touching along an edge, for example).

namespace korvan {

std::optional<Mesh> exact_boolean(BooleanOp op, const Mesh& a, const Mesh& b);

}  // namespace korvan
