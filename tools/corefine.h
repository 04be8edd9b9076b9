#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/solid_boolean.h"

// The corefinement library behind the exact engine, reached through plain triangle lists so
// that its templates are compiled in one source file (boolean_exact.cpp) and nowhere else.

namespace korvan {

// Triangles over shared points; each triangle carries an origin tag handed on to every piece
// of it in the result.
struct TriangleSurface {
    std::vector<std::array<double, 3>> points;
    std::vector<std::array<std::uint32_t, 3>> triangles;
    std::vector<std::uint32_t> origins;  // one per triangle
};

// (a op b) by exact corefinement into `out`. False when an operand is not a closed
// two-manifold surface, or the result cannot be built as one; `out` is then unspecified.
bool corefine_surfaces(BooleanOp op, const TriangleSurface& a, const TriangleSurface& b,
                       TriangleSurface& out);

}  // namespace korvan
