#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using testing_support::box;
using testing_support::cube;
using testing_support::expect_ring_invariants;
using testing_support::expect_same_tables;

// ---- Plain all-pairs definitions --------------------------------------------------------

std::uint64_t reference_weld(Mesh& m, float tolerance) {
    const float tol2 = tolerance * tolerance;
    std::vector<FaceId> touched;
    std::uint64_t merged = 0;
    for (VertexId i = 0; i < m.vertices().size(); ++i) {
        if (!m.vertices()[i].alive) continue;
        for (VertexId j = i + 1; j < m.vertices().size(); ++j) {
            if (!m.vertices()[j].alive) continue;
            const Vec3 a = m.vertices()[i].position, b = m.vertices()[j].position;
            const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
            if (!(dx * dx + dy * dy + dz * dz <= tol2)) continue;
            for (HalfEdgeId h = 0; h < m.half_edges().size(); ++h) {
                if (!m.half_edges()[h].alive || m.half_edges()[h].origin != j) continue;
                m.half_edge_mut(h).origin = i;
                touched.push_back(m.half_edges()[h].face);
            }
            m.vertex_mut(j).alive = false;
            ++merged;
        }
    }
    for (const FaceId f : touched) m.recompute_face_normal(f);
    return merged;
}

std::uint64_t reference_stitch(Mesh& m, float tolerance) {
    const std::vector<testing_support::NakedSide> records = testing_support::naked_sides(m);
    const auto at = [&](VertexId v) { return m.vertices()[v].position; };
    std::vector<bool> used(records.size(), false);
    std::uint64_t pairs = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (used[i]) continue;
        for (std::size_t j = i + 1; j < records.size(); ++j) {
            if (used[j] || records[j].face == records[i].face) continue;
            if (length(at(records[i].start) - at(records[j].end)) <= tolerance &&
                length(at(records[i].end) - at(records[j].start)) <= tolerance) {
                EXPECT_TRUE(m.link_half_edges(records[i].h, records[j].h));
                used[i] = used[j] = true;
                ++pairs;
                break;
            }
        }
    }
    return pairs;
}

// ---- Random inputs ----------------------------------------------------------------------

// Points built to sit on the tolerance: exact repeats, pairs a hair inside and outside it,
// chains of steps just under it, and a dense clump; in shuffled id order.
std::vector<Vec3> near_tolerance_cloud(std::mt19937& rng, float tol, std::size_t count) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_real_distribution<float> span(0.0f, 40.0f * tol);
    std::uniform_int_distribution<int> kind(0, 4);
    auto direction = [&] {
        Vec3 d{unit(rng), unit(rng), unit(rng)};
        return length(d) > 0.1f ? normalize(d) : Vec3{1, 0, 0};
    };
    std::vector<Vec3> pts;
    while (pts.size() < count) {
        const Vec3 p{span(rng), span(rng), span(rng)};
        switch (kind(rng)) {
            case 0:  // exact repeats
                pts.insert(pts.end(), 3, p);
                break;
            case 1: {  // just inside and just outside
                const Vec3 d = direction();
                pts.push_back(p);
                pts.push_back(p + d * (tol * 0.99999f));
                pts.push_back(p - d * (tol * 1.00001f));
                pts.push_back(p + d * tol);
                break;
            }
            case 2: {  // a chain of steps just under the tolerance
                const Vec3 d = direction();
                for (int k = 0; k < 8; ++k)
                    pts.push_back(p + d * (tol * 0.9f * static_cast<float>(k)));
                break;
            }
            case 3:  // a clump
                for (int k = 0; k < 6; ++k) {
                    pts.push_back(p + Vec3{unit(rng), unit(rng), unit(rng)} * (tol * 0.7f));
                }
                break;
            default:
                pts.push_back(p);
        }
    }
    pts.resize(count);
    std::shuffle(pts.begin(), pts.end(), rng);
    return pts;
}

// Triangles over the cloud, some vertices dead, to give the weld half-edges to move.
Mesh cloud_mesh(std::uint32_t seed, float tol, std::size_t count) {
    std::mt19937 rng(seed);
    Mesh m;
    for (const Vec3& p : near_tolerance_cloud(rng, tol, count)) m.add_vertex(p);
    std::uniform_int_distribution<VertexId> pick(0, static_cast<VertexId>(count - 1));
    for (std::size_t t = 0; t < count / 2; ++t) m.add_triangle(pick(rng), pick(rng), pick(rng));
    for (VertexId v = 0; v < count; v += 13) m.vertex_mut(v).alive = false;
    return m;
}

// Triangle soup over jittered copies of a few points: every corner its own vertex, many sides
// matching reversed sides of other triangles within (or just beyond) the tolerance.
Mesh jittered_soup(std::uint32_t seed, float tol) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> span(0.0f, 6.0f * tol);
    std::uniform_real_distribution<float> jitter(-0.45f * tol, 0.45f * tol);
    std::vector<Vec3> anchors(24);
    for (Vec3& a : anchors) a = {span(rng), span(rng), span(rng)};
    std::uniform_int_distribution<std::size_t> pick(0, anchors.size() - 1);
    Mesh m;
    for (int t = 0; t < 400; ++t) {
        VertexId ids[3];
        for (VertexId& id : ids) {
            const Vec3 a = anchors[pick(rng)];
            id = m.add_vertex(a + Vec3{jitter(rng), jitter(rng), jitter(rng)});
        }
        m.add_triangle(ids[0], ids[1], ids[2]);
    }
    for (FaceId f = 0; f < m.faces().size(); f += 11) m.erase_face(f);
    return m;
}

TEST(MeshRepair, WeldIsNotTransitiveAlongAChain) {
    Mesh m;
    const VertexId a = m.add_vertex({0, 0, 0});
    const VertexId b = m.add_vertex({0.9e-4f, 0, 0});
    const VertexId c = m.add_vertex({1.8e-4f, 0, 0});
    const VertexId d = m.add_vertex({0, 1, 0});
    m.add_triangle(a, c, d);
    m.add_triangle(b, c, d);
    EXPECT_EQ(m.weld_vertices(1e-4f), 1u);
    EXPECT_TRUE(m.vertex_usable(a));
    EXPECT_FALSE(m.vertex_usable(b));
    EXPECT_TRUE(m.vertex_usable(c));
    EXPECT_EQ(m.face_vertices(1), (std::vector<VertexId>{a, c, d}));
    EXPECT_EQ(m.weld_vertices(1e-4f), 0u);
}

TEST(MeshRepair, WeldMatchesTheAllPairsDefinition) {
    struct Case {
        float tolerance;
        std::size_t points;
    };
    // 0 merges exact repeats only; a huge tolerance takes the single-list path.
    const Case cases[] = {{1e-4f, 1500}, {3e-4f, 1200}, {0.0f, 800}, {1e-20f, 600}, {1e25f, 300}};
    for (const Case& c : cases) {
        for (std::uint32_t seed = 1; seed <= 6; ++seed) {
            SCOPED_TRACE("tolerance " + std::to_string(c.tolerance) + " seed " +
                         std::to_string(seed));
            const float cloud_tol =
                c.tolerance > 1e-3f || c.tolerance < 1e-8f ? 1e-4f : c.tolerance;
            Mesh fast = cloud_mesh(seed, cloud_tol, c.points);
            Mesh plain = cloud_mesh(seed, cloud_tol, c.points);
            const std::uint64_t want = reference_weld(plain, c.tolerance);
            EXPECT_GT(want, 0u);
            EXPECT_EQ(fast.weld_vertices(c.tolerance), want);
            expect_same_tables(fast, plain);
        }
    }
}

TEST(MeshRepair, WeldLeavesNonFinitePointsAlone) {
    Mesh m;
    const float inf = std::numeric_limits<float>::infinity();
    m.add_vertex({inf, 0, 0});
    m.add_vertex({inf, 0, 0});
    m.add_vertex({std::nanf(""), 0, 0});
    m.add_vertex({0, 0, 0});
    m.add_vertex({0, 0, 0});
    EXPECT_EQ(m.weld_vertices(), 1u);
    EXPECT_EQ(m.alive_vertex_count(), 4u);
    EXPECT_EQ(m.weld_vertices(std::nanf("")), 0u);
}

TEST(MeshRepair, StitchMatchesTheFirstMatchDefinition) {
    for (const float tol : {1e-4f, 2.5e-4f}) {
        for (std::uint32_t seed = 1; seed <= 12; ++seed) {
            SCOPED_TRACE("tolerance " + std::to_string(tol) + " seed " + std::to_string(seed));
            Mesh fast = jittered_soup(seed, 1e-4f);
            Mesh plain = jittered_soup(seed, 1e-4f);
            const std::uint64_t want = reference_stitch(plain, tol);
            EXPECT_GT(want, 0u);
            EXPECT_EQ(fast.stitch_naked_edges(tol), want);
            expect_same_tables(fast, plain);
        }
    }
}

TEST(MeshRepair, SplitCubeEdgeStitchesBackClosed) {
    Mesh m = cube();
    ASSERT_EQ(m.naked_edge_count(), 0u);
    const std::optional<VertexId> v =
        m.split_edge(m.half_edges()[m.faces()[0].half_edge].edge, 0.5f);
    ASSERT_TRUE(v);
    // The two rebuilt faces are islands of 5 sides each; the 6 sides of their neighbours that
    // bordered them are open too. The split edge itself is gone.
    EXPECT_EQ(m.naked_edge_count(), 16u);
    EXPECT_EQ(m.stitch_naked_edges(), 8u);
    EXPECT_EQ(m.naked_edge_count(), 0u);
    EXPECT_NEAR(m.compute_volume(), 1.0f, 1e-6f);
    EXPECT_EQ(m.alive_face_count(), 6u);
    expect_ring_invariants(m);
}

TEST(MeshRepair, FillHolesCapsTheOpenSideOfABox) {
    Mesh m = box({0, 0, 0}, {1, 1, 1}, 1);
    ASSERT_EQ(m.naked_edge_count(), 4u);
    EXPECT_EQ(m.fill_holes(), 1u);
    // The cap faces +z like the face it replaces.
    const FaceId cap = static_cast<FaceId>(m.faces().size() - 1);
    EXPECT_NEAR(m.face_normal(cap).z, 1.0f, 1e-6f);
    EXPECT_EQ(m.link_shared_edges(), 4u);
    EXPECT_EQ(m.naked_edge_count(), 0u);
    EXPECT_NEAR(m.signed_volume(), 1.0f, 1e-6f);
    EXPECT_EQ(m.fill_holes(), 0u);
    expect_ring_invariants(m);
}

TEST(MeshRepair, RepairTopologyClosesAnOpenCube) {
    Mesh m = box({0, 0, 0}, {1, 1, 1}, 3);
    const TopologyRepair r = m.repair_topology();
    EXPECT_EQ(r.welded, 0u);
    EXPECT_EQ(r.stitched, 4u);
    EXPECT_EQ(r.filled, 1u);
    EXPECT_EQ(m.naked_edge_count(), 0u);
    EXPECT_NEAR(m.signed_volume(), 1.0f, 1e-6f);
    expect_ring_invariants(m);
}

TEST(MeshRepair, CoincidentPairsOfGluedBoxesGoWithoutChangingTheVolume) {
    Mesh m = box({0, 0, 0}, {1, 1, 1});
    m.merge_mesh(box({1, 0, 0}, {2, 1, 1}), Mat4::identity());
    ASSERT_EQ(m.weld_vertices(), 4u);
    m.link_shared_edges();
    // The same-winding copy of a face stays: only opposite windings cancel.
    m.add_ngon(m.face_vertices(0));
    const float before = m.signed_volume();
    EXPECT_EQ(m.remove_coincident_face_pairs(), 2u);
    EXPECT_NEAR(m.signed_volume(), before, 1e-6f);
    EXPECT_FALSE(m.face_usable(5));   // +x of the first box
    EXPECT_FALSE(m.face_usable(10));  // -x of the second
    EXPECT_TRUE(m.face_usable(12));
    EXPECT_EQ(m.remove_coincident_face_pairs(), 0u);
}

}  // namespace
}  // namespace korvan
