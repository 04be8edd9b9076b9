#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "tests/core/mesh_builders.h"
#include "tests/support/mesh_checks.h"

namespace korvan {
namespace {

using testing_support::expect_ring_invariants;
using testing_support::quad_grid;

// Links exactly as the definition reads: faced sides of the naked edges in edge order, sorted
// by (start, end, record), each unused record pairing with the first unused reverse record of
// another face in sorted order.
std::uint64_t reference_link(Mesh& m) {
    using Record = testing_support::NakedSide;
    std::vector<Record> records = testing_support::naked_sides(m);
    std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        return std::pair(a.start, a.end) < std::pair(b.start, b.end);
    });
    std::map<std::pair<VertexId, VertexId>, std::vector<std::size_t>> by_key;
    for (std::size_t i = 0; i < records.size(); ++i) {
        by_key[{records[i].start, records[i].end}].push_back(i);
    }
    std::vector<bool> used(records.size(), false);
    std::uint64_t links = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (used[i]) continue;
        const auto it = by_key.find({records[i].end, records[i].start});
        if (it == by_key.end()) continue;
        for (const std::size_t j : it->second) {
            if (used[j] || records[j].face == records[i].face) continue;
            EXPECT_TRUE(m.link_half_edges(records[i].h, records[j].h));
            used[i] = used[j] = true;
            ++links;
            break;
        }
    }
    return links;
}

// Faces over a handful of vertices, so directed sides repeat across faces and within rings;
// some faces are erased to leave faceless sides behind.
Mesh random_tangle(std::uint32_t seed) {
    std::mt19937 rng(seed);
    Mesh m;
    constexpr VertexId kVertices = 9;
    for (VertexId v = 0; v < kVertices; ++v) {
        m.add_vertex({static_cast<float>(v % 3), static_cast<float>(v / 3), 0.0f});
    }
    std::uniform_int_distribution<VertexId> pick(0, kVertices - 1);
    std::uniform_int_distribution<int> size(3, 5);
    for (int f = 0; f < 80; ++f) {
        std::vector<VertexId> ring(static_cast<std::size_t>(size(rng)));
        for (VertexId& v : ring) v = pick(rng);
        m.add_ngon(ring);  // refused rings (consecutive repeats) are simply skipped
    }
    for (FaceId f = 0; f < m.faces().size(); f += 7) m.erase_face(f);
    for (EdgeId e = 0; e < m.edges().size(); e += 5) m.edge_mut(e).soft = true;
    for (EdgeId e = 1; e < m.edges().size(); e += 6) m.edge_mut(e).seam = true;
    return m;
}

TEST(MeshLink, TwoSquaresLinkOnlyOnceWelded) {
    Mesh m;
    for (const float x0 : {0.0f, 1.0f}) {
        m.add_vertex({x0, 0, 0});
        m.add_vertex({x0 + 1, 0, 0});
        m.add_vertex({x0 + 1, 1, 0});
        m.add_vertex({x0, 1, 0});
    }
    m.add_quad(0, 1, 2, 3);
    m.add_quad(4, 5, 6, 7);
    EXPECT_EQ(m.link_shared_edges(), 0u);
    EXPECT_EQ(m.weld_vertices(), 2u);
    EXPECT_EQ(m.link_shared_edges(), 1u);
    EXPECT_EQ(m.link_shared_edges(), 0u);
    EXPECT_EQ(m.naked_edge_count(), 6u);
    EXPECT_EQ(m.adjacent_faces(0), std::vector<FaceId>{1});
    expect_ring_invariants(m);
}

TEST(MeshLink, SidesOfOneFaceNeverPairWithEachOther) {
    // The ring runs 1 -> 2 and back 2 -> 1: a slit, not a shared edge.
    Mesh m;
    for (int i = 0; i < 4; ++i) m.add_vertex({static_cast<float>(i), static_cast<float>(i % 2), 0});
    const std::vector<VertexId> ring{0, 1, 2, 1, 3};
    ASSERT_TRUE(m.add_ngon(ring));
    EXPECT_EQ(m.link_shared_edges(), 0u);
}

TEST(MeshLink, LinkedEdgeKeepsSoftAndSeamOfEitherSide) {
    Mesh m = quad_grid(2, 1, false);
    const auto he = m.half_edges();
    for (HalfEdgeId h = 0; h < he.size(); ++h) {
        if (he[h].face == 0 && he[h].origin == 1) m.edge_mut(he[h].edge).soft = true;
        if (he[h].face == 1 && he[h].origin == 4) m.edge_mut(he[h].edge).seam = true;
    }
    ASSERT_EQ(m.link_shared_edges(), 1u);
    EXPECT_EQ(m.soft_edge_count(), 1u);
    std::uint64_t seams = 0;
    for (const Edge& e : m.edges()) seams += e.alive && e.seam ? 1 : 0;
    EXPECT_EQ(seams, 1u);
    expect_ring_invariants(m);
}

TEST(MeshLink, SortedAndGroupedLookupsMatchThePlainDefinition) {
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Mesh expected = random_tangle(seed);
        const std::uint64_t want = reference_link(expected);
        // Few vertices: grouped by vertex. Padded with unused vertices: the sorted lookup.
        Mesh grouped = random_tangle(seed);
        Mesh sorted = random_tangle(seed);
        for (int i = 0; i < 16 * 400; ++i) sorted.add_vertex({});
        EXPECT_EQ(grouped.link_shared_edges(), want);
        EXPECT_EQ(sorted.link_shared_edges(), want);
        test::expect_same_links(grouped, expected);
        test::expect_same_links(sorted, expected);
        expect_ring_invariants(grouped);
    }
}

TEST(MeshLink, LargeGridLinksTheSameOnBothParallelPaths) {
    // 140 x 140 fresh quads: 78,400 sides, past the parallel threshold for either lookup.
    constexpr int kSide = 140;
    Mesh expected = quad_grid(kSide, kSide, false);
    const std::uint64_t want = reference_link(expected);
    ASSERT_EQ(want, 2u * kSide * (kSide - 1));
    Mesh grouped = quad_grid(kSide, kSide, false);
    Mesh sorted = quad_grid(kSide, kSide, false);
    for (int i = 0; i < 16 * 4 * kSide * kSide; ++i) sorted.add_vertex({});
    EXPECT_EQ(grouped.link_shared_edges(), want);
    EXPECT_EQ(sorted.link_shared_edges(), want);
    test::expect_same_links(grouped, expected);
    test::expect_same_links(sorted, expected);
    EXPECT_EQ(grouped.naked_edge_count(), 4u * kSide);
}

}  // namespace
}  // namespace korvan
