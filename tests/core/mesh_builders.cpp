#include "tests/core/mesh_builders.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <utility>
#include <vector>

namespace korvan::testing_support {

std::uint64_t link_by_vertex_pairs(Mesh& mesh) {
    std::map<std::pair<VertexId, VertexId>, std::vector<HalfEdgeId>> open;
    const auto he = mesh.half_edges();
    for (HalfEdgeId h = 0; h < he.size(); ++h) {
        if (!he[h].alive || !mesh.face_usable(he[h].face)) continue;
        const HalfEdgeId t = he[h].twin;
        if (t < he.size() && mesh.face_usable(he[t].face)) continue;
        open[{he[h].origin, mesh.half_edge_end(h)}].push_back(h);
    }
    std::uint64_t linked = 0;
    for (auto& [key, list] : open) {
        auto it = open.find({key.second, key.first});
        if (it == open.end()) continue;
        while (!list.empty() && !it->second.empty()) {
            if (mesh.link_half_edges(list.back(), it->second.back())) ++linked;
            list.pop_back();
            it->second.pop_back();
        }
    }
    return linked;
}

Mesh cube(const Vec3& corner, float size, bool inward) {
    Mesh mesh;
    for (int i = 0; i < 8; ++i) {
        mesh.add_vertex(corner +
                        Vec3{(i & 1) ? size : 0.0f, (i & 2) ? size : 0.0f, (i & 4) ? size : 0.0f});
    }
    // Counter-clockwise seen from outside.
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
