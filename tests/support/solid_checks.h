#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/mesh.h"

// Checks for generated solids. Header-only so that korvan_test_support need not link the
// kernel: each test program that includes it links korvan_core already.

namespace korvan::test {

// Signed volume of each connected piece of the alive faces (fan triangles from each ring's
// first vertex, in doubles), in order of the pieces' lowest face ids.
inline std::vector<double> piece_volumes(const Mesh& mesh) {
    std::vector<double> volumes;
    std::vector<std::uint8_t> seen(mesh.faces().size(), 0);
    const auto verts = mesh.vertices();
    for (const FaceId seed : mesh.alive_faces()) {
        if (seen[seed]) continue;
        double six_v = 0.0;
        for (const FaceId f : mesh.connected_faces(seed)) {
            seen[f] = 1;
            const std::vector<VertexId> ring = mesh.face_vertices(f);
            const Vec3 a = verts[ring[0]].position;
            for (std::size_t i = 1; i + 1 < ring.size(); ++i) {
                const Vec3 b = verts[ring[i]].position, c = verts[ring[i + 1]].position;
                six_v += double(a.x) * (double(b.y) * c.z - double(b.z) * c.y) -
                         double(a.y) * (double(b.x) * c.z - double(b.z) * c.x) +
                         double(a.z) * (double(b.x) * c.y - double(b.y) * c.x);
            }
        }
        volumes.push_back(six_v / 6.0);
    }
    return volumes;
}

// Every edge has a face on both sides, every ring side's twin runs the other way and comes
// back to it, and each connected piece encloses a positive volume.
inline void expect_closed_solids(const Mesh& mesh) {
    EXPECT_EQ(mesh.naked_edge_count(), 0u);
    const auto he = mesh.half_edges();
    std::uint64_t bad_twins = 0;
    for (const FaceId f : mesh.alive_faces()) {
        for (const HalfEdgeId h : mesh.face_half_edges(f)) {
            const HalfEdgeId t = he[h].twin;
            const bool ok = t < he.size() && he[t].twin == h &&
                            he[t].origin == mesh.half_edge_end(h) && mesh.face_usable(he[t].face) &&
                            he[t].edge == he[h].edge;
            if (!ok) ++bad_twins;
        }
    }
    EXPECT_EQ(bad_twins, 0u);
    const std::vector<double> volumes = piece_volumes(mesh);
    EXPECT_FALSE(volumes.empty());
    for (std::size_t i = 0; i < volumes.size(); ++i) {
        EXPECT_GT(volumes[i], 1e-9) << "piece " << i;
    }
}

}  // namespace korvan::test
