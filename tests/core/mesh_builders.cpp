#include "tests/core/mesh_builders.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

namespace korvan::testing_support {

std::uint64_t link_by_vertex_pairs(Mesh& mesh) { return mesh.link_shared_edges(); }

std::vector<NakedSide> naked_sides(const Mesh& m) {
    std::vector<NakedSide> sides;
    const auto he = m.half_edges();
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (!m.is_naked_edge(e)) continue;
        const HalfEdgeId h = m.edges()[e].half_edge, t = he[h].twin;
        const bool hf = m.face_usable(he[h].face), tf = m.face_usable(he[t].face);
        if (hf == tf) continue;
        const HalfEdgeId s = hf ? h : t;
        const HalfEdgeId n = he[s].next;
        if (!m.half_edge_usable(s) || !m.half_edge_usable(n)) continue;
        if (he[s].origin == he[n].origin) continue;
        sides.push_back({s, he[s].face, he[s].origin, he[n].origin});
    }
    return sides;
}

Mesh square(float size, bool counter_clockwise) {
    Mesh m;
    for (const Vec3 p : {Vec3{0, 0, 0}, Vec3{size, 0, 0}, Vec3{size, size, 0}, Vec3{0, size, 0}}) {
        m.add_vertex(p);
    }
    if (counter_clockwise)
        m.add_quad(0, 1, 2, 3);
    else
        m.add_quad(3, 2, 1, 0);
    return m;
}

namespace {

// Six quads over the box's corners, counter-clockwise seen from outside unless `inward`, in
// the order -z, +z, -y, +y, -x, +x; linked.
Mesh closed_box(const Vec3& min, const Vec3& max, bool inward) {
    Mesh mesh;
    for (int i = 0; i < 8; ++i) {
        mesh.add_vertex(
            {(i & 1) ? max.x : min.x, (i & 2) ? max.y : min.y, (i & 4) ? max.z : min.z});
    }
    const std::array<std::array<VertexId, 4>, 6> quads = {
        {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}}};
    for (const auto& q : quads) {
        if (inward)
            mesh.add_quad(q[3], q[2], q[1], q[0]);
        else
            mesh.add_quad(q[0], q[1], q[2], q[3]);
    }
    link_by_vertex_pairs(mesh);
    return mesh;
}

}  // namespace

Mesh cube(const Vec3& corner, float size, bool inward) {
    return closed_box(corner, corner + Vec3{size, size, size}, inward);
}

Mesh box(const Vec3& min, const Vec3& max, int missing) {
    Mesh mesh = closed_box(min, max, false);
    if (missing >= 0) mesh.erase_face(static_cast<FaceId>(missing));
    return mesh;
}

Mesh cylinder(int segments, float radius, float height) {
    Mesh mesh;
    const double two_pi = 6.283185307179586;
    for (int k = 0; k < 2; ++k) {
        for (int i = 0; i < segments; ++i) {
            const double a = two_pi * i / segments;
            mesh.add_vertex({static_cast<float>(radius * std::cos(a)),
                             static_cast<float>(radius * std::sin(a)), k == 0 ? 0.0f : height});
        }
    }
    const auto n = static_cast<VertexId>(segments);
    std::vector<VertexId> bottom, top;
    for (VertexId i = 0; i < n; ++i) {
        const VertexId j = (i + 1) % n;
        mesh.add_quad(i, j, n + j, n + i);
        bottom.push_back(n - 1 - i);
        top.push_back(n + i);
    }
    mesh.add_ngon(bottom);
    mesh.add_ngon(top);
    mesh.link_shared_edges();
    return mesh;
}

Mesh quad_grid(int nx, int ny, bool link) {
    Mesh mesh;
    for (int j = 0; j <= ny; ++j) {
        for (int i = 0; i <= nx; ++i) {
            mesh.add_vertex({static_cast<float>(i), static_cast<float>(j), 0.0f});
        }
    }
    auto id = [nx](int i, int j) { return static_cast<VertexId>(j * (nx + 1) + i); };
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            mesh.add_quad(id(i, j), id(i + 1, j), id(i + 1, j + 1), id(i, j + 1));
        }
    }
    if (link) link_by_vertex_pairs(mesh);
    return mesh;
}

Mesh torus(int nu, int nv, float major_radius, float minor_radius, bool inward) {
    Mesh mesh;
    const double two_pi = 6.283185307179586;
    for (int i = 0; i < nu; ++i) {
        const double u = two_pi * i / nu;
        for (int j = 0; j < nv; ++j) {
            const double v = two_pi * j / nv;
            const double r = major_radius + minor_radius * std::cos(v);
            mesh.add_vertex({static_cast<float>(r * std::cos(u)),
                             static_cast<float>(r * std::sin(u)),
                             static_cast<float>(minor_radius * std::sin(v))});
        }
    }
    auto id = [&](int i, int j) { return static_cast<VertexId>((i % nu) * nv + (j % nv)); };
    for (int i = 0; i < nu; ++i) {
        for (int j = 0; j < nv; ++j) {
            const std::array<VertexId, 4> q{id(i, j), id(i + 1, j), id(i + 1, j + 1), id(i, j + 1)};
            if (inward)
                mesh.add_quad(q[3], q[2], q[1], q[0]);
            else
                mesh.add_quad(q[0], q[1], q[2], q[3]);
        }
    }
    link_by_vertex_pairs(mesh);
    return mesh;
}

void expect_same_tables(const Mesh& a, const Mesh& b) {
    ASSERT_EQ(a.vertices().size(), b.vertices().size());
    ASSERT_EQ(a.half_edges().size(), b.half_edges().size());
    ASSERT_EQ(a.edges().size(), b.edges().size());
    ASSERT_EQ(a.faces().size(), b.faces().size());
    for (VertexId v = 0; v < a.vertices().size(); ++v) {
        const Vertex &x = a.vertices()[v], &y = b.vertices()[v];
        ASSERT_TRUE(x.position == y.position && x.alive == y.alive) << "vertex " << v;
    }
    for (HalfEdgeId h = 0; h < a.half_edges().size(); ++h) {
        const HalfEdge &x = a.half_edges()[h], &y = b.half_edges()[h];
        ASSERT_TRUE(x.origin == y.origin && x.twin == y.twin && x.next == y.next &&
                    x.prev == y.prev && x.face == y.face && x.edge == y.edge && x.alive == y.alive)
            << "half-edge " << h << ": twin " << x.twin << " vs " << y.twin << ", origin "
            << x.origin << " vs " << y.origin;
    }
    for (EdgeId e = 0; e < a.edges().size(); ++e) {
        const Edge &x = a.edges()[e], &y = b.edges()[e];
        ASSERT_TRUE(x.half_edge == y.half_edge && x.soft == y.soft && x.visible == y.visible &&
                    x.alive == y.alive && x.seam == y.seam)
            << "edge " << e;
    }
    for (FaceId f = 0; f < a.faces().size(); ++f) {
        const Face &x = a.faces()[f], &y = b.faces()[f];
        ASSERT_TRUE(x.half_edge == y.half_edge && x.normal == y.normal && x.alive == y.alive)
            << "face " << f;
    }
}

void expect_ring_invariants(const Mesh& mesh) {
    const auto he = mesh.half_edges();
    for (FaceId f = 0; f < mesh.faces().size(); ++f) {
        if (!mesh.face_usable(f)) continue;
        const std::vector<HalfEdgeId> ring = mesh.face_half_edges(f);
        ASSERT_GE(ring.size(), 3u) << "face " << f;
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const HalfEdgeId h = ring[i], n = ring[(i + 1) % ring.size()];
            EXPECT_EQ(he[h].face, f) << "half-edge " << h;
            EXPECT_EQ(he[n].prev, h) << "half-edge " << n;
            EXPECT_NE(he[h].origin, he[n].origin) << "face " << f;
        }
    }
    for (HalfEdgeId h = 0; h < he.size(); ++h) {
        if (!he[h].alive || he[h].twin == kInvalidId) continue;
        ASSERT_LT(he[h].twin, he.size());
        EXPECT_EQ(he[he[h].twin].twin, h) << "half-edge " << h;
    }
}

}  // namespace korvan::testing_support
