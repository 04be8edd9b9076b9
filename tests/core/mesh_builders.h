#pragma once

#include <cstdint>

#include "core/mesh.h"

// Meshes the core tests build on. Builders that link do it by vertex ids, pairing each naked
// side with the one running the other way between the same two vertices.

namespace korvan::testing_support {

// Links every naked faced half-edge to one running the opposite way between the same two
// vertices, first come first served in half-edge order. Returns the number of pairs.
std::uint64_t link_by_vertex_pairs(Mesh& mesh);

// Axis-aligned cube of six quads with outward normals (inward when `inward`), linked.
Mesh cube(const Vec3& corner = {}, float size = 1.0f, bool inward = false);

// nx by ny unit quads in the z = 0 plane from the origin, counter-clockwise seen from +z.
Mesh quad_grid(int nx, int ny, bool link = true);

// Closed torus of nu by nv quads about the z axis, linked; winding outward unless `inward`.
Mesh torus(int nu, int nv, float major_radius, float minor_radius, bool inward = false);

// Every alive face has a ring of at least 3 half-edges naming it, prev inverts next, no two
// consecutive origins are equal, and twins are mutual.
void expect_ring_invariants(const Mesh& mesh);

}  // namespace korvan::testing_support
