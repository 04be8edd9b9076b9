#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "core/mesh.h"

// Meshes the core tests build on. Builders that link do it by vertex ids, pairing each naked
// side with the one running the other way between the same two vertices.

namespace korvan::testing_support {

// Links every naked faced half-edge to one running the opposite way between the same two
// vertices (Mesh::link_shared_edges). Returns the number of pairs.
std::uint64_t link_by_vertex_pairs(Mesh& mesh);

// A lone size-by-size quad in the z = 0 plane from the origin over vertices 0..3 in
// counter-clockwise order seen from +z, or their reverse; not linked.
Mesh square(float size = 1.0f, bool counter_clockwise = true);

// Axis-aligned cube of six quads with outward normals (inward when `inward`), linked.
Mesh cube(const Vec3& corner = {}, float size = 1.0f, bool inward = false);

// nx by ny unit quads in the z = 0 plane from the origin, counter-clockwise seen from +z.
Mesh quad_grid(int nx, int ny, bool link = true);

// Closed torus of nu by nv quads about the z axis, linked; winding outward unless `inward`.
Mesh torus(int nu, int nv, float major_radius, float minor_radius, bool inward = false);

// Closed prism over a regular n-gon of the given radius about the z axis, from z = 0 to
// height: n side quads and two n-gon caps, outward, linked.
Mesh cylinder(int segments, float radius, float height);

// Axis-aligned box of six quads with outward normals, with `missing` (0..5 as in cube())
// erased when it is 0 or more; linked.
Mesh box(const Vec3& min, const Vec3& max, int missing = -1);

// The faced side of a naked edge and the vertices it runs between.
struct NakedSide {
    HalfEdgeId h;
    FaceId face;
    VertexId start, end;
};

// The faced sides of the naked edges in edge order, as the linkers see them: sides of broken
// rings and sides that start and end on one vertex are left out.
std::vector<NakedSide> naked_sides(const Mesh& m);

// The raw bytes of an element table, for exact before-and-after comparisons.
template <class T>
std::vector<std::byte> bytes_of(std::span<const T> table) {
    std::vector<std::byte> out(table.size_bytes());
    if (!out.empty()) std::memcpy(out.data(), table.data(), out.size());
    return out;
}

// Field-by-field equality of every element table, reporting the first difference.
void expect_same_tables(const Mesh& a, const Mesh& b);

// Every alive face has a ring of at least 3 half-edges naming it, prev inverts next, no two
// consecutive origins are equal, and twins are mutual.
void expect_ring_invariants(const Mesh& mesh);

}  // namespace korvan::testing_support
