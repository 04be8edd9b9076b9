#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/vec3.h"

namespace korvan {

// Indices of one triangle into the points given to triangulate_polygon_2d.
using IndexTriangle = std::array<std::uint32_t, 3>;

// Triangles covering the planar polygon `outer` minus `holes`, wound like `outer`. Indices
// number the outer points 0..n-1 and then each hole's points in turn. A convex outer ring
// without holes is fanned from its first point; anything else is bridged and ear-clipped in
// the plane of the outer ring. Nothing for fewer than 3 outer points, a ring without area,
// or a polygon the clipper cannot finish (callers fall back to a fan). Collinear points never
// become zero-area triangles.
std::vector<IndexTriangle> triangulate_polygon_2d(std::span<const Vec3> outer,
                                                  std::span<const std::vector<Vec3>> holes = {});

}  // namespace korvan
