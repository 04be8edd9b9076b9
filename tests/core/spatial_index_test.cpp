#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "core/mesh_block_hashes.h"
#include "core/spatial_index.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using Index = MeshSpatialIndex;

// ---- Brute force -----------------------------------------------------------------------

bool boxes_touch(const Aabb& a, const Aabb& b) {
    return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y &&
           a.min.z <= b.max.z && b.min.z <= a.max.z;
}

Aabb box_of(const std::vector<Vec3>& points) {
    Aabb b;
    for (const Vec3& p : points) b.expand(p);
    return b;
}

double dist_sq(const Vec3& a, const Vec3& b) {
    const double dx = double(a.x) - b.x, dy = double(a.y) - b.y, dz = double(a.z) - b.z;
    return dx * dx + dy * dy + dz * dz;
}

// Closest point on a segment, by the clamped projection.
double segment_dist_sq(const Vec3& a, const Vec3& b, const Vec3& p) {
    const double ab[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
    const double ap[3] = {double(p.x) - a.x, double(p.y) - a.y, double(p.z) - a.z};
    const double len = ab[0] * ab[0] + ab[1] * ab[1] + ab[2] * ab[2];
    double t = len > 0 ? (ap[0] * ab[0] + ap[1] * ab[1] + ap[2] * ab[2]) / len : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    double d = 0;
    for (int k = 0; k < 3; ++k) d += (ap[k] - t * ab[k]) * (ap[k] - t * ab[k]);
    return d;
}

// Distance to a triangle from above: the exact distances to its sides and to a dense set of
// barycentric samples. A face this says is close really is.
double triangle_dist_sq(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& p) {
    double best =
        std::min({segment_dist_sq(a, b, p), segment_dist_sq(b, c, p), segment_dist_sq(c, a, p)});
    constexpr int kSteps = 24;
    for (int i = 0; i <= kSteps; ++i) {
        for (int j = 0; i + j <= kSteps; ++j) {
            const float u = float(i) / kSteps, v = float(j) / kSteps, w = 1.0f - u - v;
            best = std::min(best, dist_sq(a * w + b * u + c * v, p));
        }
    }
    return best;
}

std::vector<Vec3> ring_positions(const Mesh& m, FaceId f) {
    std::vector<Vec3> out;
    for (const VertexId v : m.face_vertices(f)) out.push_back(m.vertices()[v].position);
    return out;
}

bool edge_ends(const Mesh& m, EdgeId e, Vec3& a, Vec3& b) {
    if (!m.edge_usable(e)) return false;
    const auto [va, vb] = m.edge_vertices(e);
    if (va >= m.vertices().size() || vb >= m.vertices().size()) return false;
    a = m.vertices()[va].position;
    b = m.vertices()[vb].position;
    return true;
}

// The box of every element in id order; empty for those the index must leave out.
struct ElementBoxes {
    std::vector<Aabb> vertices, edges, faces;

    explicit ElementBoxes(const Mesh& m) {
        for (VertexId v = 0; v < m.vertices().size(); ++v) {
            vertices.push_back(m.vertex_usable(v) ? box_of({m.vertices()[v].position}) : Aabb{});
        }
        Vec3 a, b;
        for (EdgeId e = 0; e < m.edges().size(); ++e) {
            edges.push_back(edge_ends(m, e, a, b) ? box_of({a, b}) : Aabb{});
        }
        for (FaceId f = 0; f < m.faces().size(); ++f) faces.push_back(box_of(ring_positions(m, f)));
    }
};

std::vector<std::uint32_t> touching(const std::vector<Aabb>& boxes, const Aabb& q) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t i = 0; i < boxes.size(); ++i) {
        if (!boxes[i].empty() && boxes_touch(boxes[i], q)) out.push_back(i);
    }
    return out;
}

// ---- Meshes ----------------------------------------------------------------------------

// Small faces in clusters (vertices of one cluster share a neighbourhood), a few faces among
// the first clusters that span the whole cloud, a collinear (planeless) triangle, dead faces
// and dead vertices.
Mesh random_mesh(unsigned seed, int clusters) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> span(-50.0f, 50.0f), jitter(-1.0f, 1.0f);
    Mesh m;
    constexpr int kPerCluster = 12;
    for (int c = 0; c < clusters; ++c) {
        const Vec3 base{span(rng), span(rng), span(rng) * 0.2f};
        for (int k = 0; k < kPerCluster; ++k) {
            m.add_vertex(base + Vec3{jitter(rng), jitter(rng), jitter(rng) * 0.3f});
        }
    }
    const auto n = static_cast<VertexId>(m.vertices().size());
    std::uniform_int_distribution<int> pick(0, kPerCluster - 1), sides(3, 5), roll(0, 99);
    for (int c = 0; c < clusters; ++c) {
        for (int f = 0; f < 6; ++f) {
            std::vector<VertexId> ring;
            for (int s = sides(rng); s > 0; --s) {
                const VertexId v = static_cast<VertexId>(c * kPerCluster + pick(rng));
                if (std::find(ring.begin(), ring.end(), v) == ring.end()) ring.push_back(v);
            }
            if (c < 10 && roll(rng) < 20) {
                ring = {static_cast<VertexId>(rng() % n), static_cast<VertexId>(rng() % n),
                        static_cast<VertexId>(rng() % n)};
            }
            m.add_ngon(ring);
        }
    }
    // A flat triangle on a line: no plane.
    const VertexId a = m.add_vertex({1, 1, 1}), b = m.add_vertex({2, 2, 2}),
                   c = m.add_vertex({3, 3, 3});
    m.add_triangle(a, b, c);
    for (FaceId f = 0; f < m.faces().size(); f += 17) m.erase_face(f);
    for (VertexId v = 5; v < n; v += 101) m.vertex_mut(v).alive = false;
    testing_support::link_by_vertex_pairs(m);
    return m;
}

Aabb random_box(std::mt19937& rng) {
    std::uniform_real_distribution<float> at(-55.0f, 55.0f), size(0.0f, 20.0f);
    const Vec3 lo{at(rng), at(rng), at(rng) * 0.2f};
    return Aabb{lo, lo + Vec3{size(rng), size(rng), size(rng) * 0.3f}};
}

// ---- Tests -----------------------------------------------------------------------------

void check_hierarchy(const Index::Hierarchy& h, std::span<const Aabb> boxes) {
    const std::size_t n = boxes.size();
    if (n == 0) {
        EXPECT_TRUE(h.nodes.empty());
        return;
    }
    EXPECT_LE(h.nodes.size(), 2 * (n / 2 + 2));
    std::vector<int> seen(n, 0);
    // (node, start, end) over the leaf list: each node's range must be its items.
    struct Visit {
        std::uint32_t node, start, end;
    };
    std::vector<Visit> todo{{0, 0, static_cast<std::uint32_t>(n)}};
    while (!todo.empty()) {
        const Visit v = todo.back();
        todo.pop_back();
        const Index::Node& node = h.nodes[v.node];
        Aabb items;
        for (std::uint32_t i = v.start; i < v.end; ++i) items.expand(boxes[h.leaf_items[i]]);
        ASSERT_EQ(node.min, items.min) << "node " << v.node;
        ASSERT_EQ(node.max, items.max) << "node " << v.node;
        if (node.count != 0) {
            ASSERT_LE(node.count, 4u);
            ASSERT_EQ(node.index, v.start);
            ASSERT_EQ(node.count, v.end - v.start);
            for (std::uint32_t i = v.start; i < v.end; ++i) ++seen[h.leaf_items[i]];
            continue;
        }
        ASSERT_GT(v.end - v.start, 4u);
        const std::uint32_t middle = v.start + (v.end - v.start) / 2;
        // Split along the widest centre spread, smaller centres first.
        float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
        auto centre = [&](std::uint32_t i, int axis) {
            const Aabb& b = boxes[h.leaf_items[i]];
            const Vec3 c = (b.min + b.max) * 0.5f;
            return axis == 0 ? c.x : axis == 1 ? c.y : c.z;
        };
        for (std::uint32_t i = v.start; i < v.end; ++i) {
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], centre(i, a));
                hi[a] = std::max(hi[a], centre(i, a));
            }
        }
        const float sx = hi[0] - lo[0], sy = hi[1] - lo[1], sz = hi[2] - lo[2];
        const int axis = sx >= sy && sx >= sz ? 0 : sy >= sz ? 1 : 2;
        float left_max = -1e30f, right_min = 1e30f;
        for (std::uint32_t i = v.start; i < middle; ++i)
            left_max = std::max(left_max, centre(i, axis));
        for (std::uint32_t i = middle; i < v.end; ++i)
            right_min = std::min(right_min, centre(i, axis));
        ASSERT_LE(left_max, right_min) << "node " << v.node;
        todo.push_back({node.index, v.start, middle});
        todo.push_back({node.index + 1, middle, v.end});
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), static_cast<long>(n));
}

TEST(SpatialIndexHierarchy, MedianSplitsCoverEveryItemOnce) {
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> coarse(0, 3);  // many equal centres
    std::uniform_real_distribution<float> fine(-10.0f, 10.0f);
    for (const int n : {0, 1, 4, 5, 33, 100, 1024, 5000}) {
        for (const bool ties : {false, true}) {
            SCOPED_TRACE("n " + std::to_string(n) + (ties ? " with ties" : ""));
            std::vector<Aabb> boxes;
            for (int i = 0; i < n; ++i) {
                const Vec3 p = ties ? Vec3{float(coarse(rng)), float(coarse(rng)), 0.0f}
                                    : Vec3{fine(rng), fine(rng), fine(rng)};
                // With ties the spreads along x and y are equal too, which must pick x.
                const float dy = ties ? 0.5f : fine(rng) * 0.01f + 0.2f;
                boxes.push_back(Aabb{p, p + Vec3{0.5f, dy, 0.1f}});
            }
            Index::Hierarchy h;
            h.build(boxes);
            check_hierarchy(h, boxes);
        }
    }
}

TEST(SpatialIndex, EmptyMeshHasNoChunksAndFindsNothing) {
    Mesh m;
    const auto index = m.spatial_index();
    EXPECT_TRUE(index->vertex_chunks().empty());
    EXPECT_TRUE(index->edge_chunks().empty());
    EXPECT_TRUE(index->face_chunks().empty());
    const Aabb everything{{-1e30f, -1e30f, -1e30f}, {1e30f, 1e30f, 1e30f}};
    EXPECT_TRUE(index->vertices_in_box(everything).empty());
    EXPECT_TRUE(index->edges_in_box(everything).empty());
    EXPECT_TRUE(index->faces_in_box(everything).empty());
    EXPECT_TRUE(index->faces_near({}, 1e30f).empty());
    EXPECT_FALSE(index->nearest_vertex({}, 1e30f).has_value());
    EXPECT_EQ(index, m.spatial_index());
}

TEST(SpatialIndex, MovingOneVertexRebuildsOnlyTheChunksThatReadItsBlock) {
    // 10201 vertices, 40000 edges, 10000 faces: 10, 40 and 10 chunks.
    Mesh m = testing_support::quad_grid(100, 100);
    const auto before = m.spatial_index();
    EXPECT_EQ(before, m.spatial_index());
    const VertexId moved = 5000;  // vertex block 4
    const std::uint32_t block = moved / 1024;
    m.vertex_mut(moved).position.z = 3.0f;
    // A move in place takes no new revision; refreshing the hashes alone must not hide it.
    (void)m.block_hashes();
    const auto after = m.spatial_index();
    ASSERT_NE(after, before);
    ASSERT_EQ(after->vertex_chunks().size(), before->vertex_chunks().size());

    for (std::uint32_t c = 0; c < after->vertex_chunks().size(); ++c) {
        EXPECT_EQ(after->vertex_chunks()[c] == before->vertex_chunks()[c], c != block) << c;
    }
    // Which edge and face chunks read the moved vertex's block, worked out from the mesh.
    auto touches = [&](std::span<const VertexId> ids) {
        return std::any_of(ids.begin(), ids.end(), [&](VertexId v) { return v / 1024 == block; });
    };
    int rebuilt = 0;
    for (std::uint32_t c = 0; c < after->edge_chunks().size(); ++c) {
        bool reads = false;
        for (EdgeId e = c * 1024; e < std::min<std::size_t>(m.edges().size(), (c + 1) * 1024);
             ++e) {
            if (!m.edge_usable(e)) continue;
            const auto ends = m.edge_vertices(e);
            reads = reads || touches(ends);
        }
        EXPECT_EQ(after->edge_chunks()[c] != before->edge_chunks()[c], reads) << "edge chunk " << c;
        rebuilt += reads;
    }
    for (std::uint32_t c = 0; c < after->face_chunks().size(); ++c) {
        bool reads = false;
        for (FaceId f = c * 1024; f < std::min<std::size_t>(m.faces().size(), (c + 1) * 1024);
             ++f) {
            reads = reads || touches(m.face_vertices(f));
        }
        EXPECT_EQ(after->face_chunks()[c] != before->face_chunks()[c], reads) << "face chunk " << c;
        rebuilt += reads;
    }
    EXPECT_GT(rebuilt, 0);
    EXPECT_LT(rebuilt, 10);
    const Aabb at{{0, 0, 2.9f}, {100, 100, 3.1f}};
    EXPECT_EQ(after->vertices_in_box(at), std::vector<VertexId>{moved});
    EXPECT_EQ(after->faces_in_box(at), touching(ElementBoxes(m).faces, at));
    EXPECT_EQ(after->faces_in_box(at).size(), 4u);
}

TEST(SpatialIndex, RingRewiredBehindAnUnchangedFaceRecordIsRebuilt) {
    Mesh m = testing_support::quad_grid(4, 4, false);
    const auto before = m.spatial_index();
    // Cut corner 1 out of face 0's ring through its half-edges alone: the face record and
    // every vertex stay as they were.
    const HalfEdgeId h0 = m.faces()[0].half_edge;
    const HalfEdgeId h2 = m.half_edges()[m.half_edges()[h0].next].next;
    const VertexId cut = m.half_edges()[m.half_edges()[h0].next].origin;
    m.half_edge_mut(h0).next = h2;
    m.half_edge_mut(h2).prev = h0;
    const auto after = m.spatial_index();
    EXPECT_NE(after->face_chunks()[0], before->face_chunks()[0]);
    const std::array<VertexId, 1> corner{cut};
    EXPECT_EQ(after->faces_using_vertices(corner), std::vector<FaceId>{1});
    EXPECT_EQ(before->faces_using_vertices(corner), (std::vector<FaceId>{0, 1}));
}

TEST(SpatialIndex, BoxQueriesAgreeWithBruteForceThroughEdits) {
    for (const unsigned seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Mesh m = random_mesh(seed, 400);  // 4800 vertices, about 2400 faces: chunks in every table
        std::mt19937 rng(seed * 977);
        auto compare = [&](const char* stage) {
            SCOPED_TRACE(stage);
            const auto index = m.spatial_index();
            const ElementBoxes brute(m);
            for (int q = 0; q < 40; ++q) {
                const Aabb box = random_box(rng);
                ASSERT_EQ(index->vertices_in_box(box), touching(brute.vertices, box)) << q;
                ASSERT_EQ(index->edges_in_box(box), touching(brute.edges, box)) << q;
                ASSERT_EQ(index->faces_in_box(box), touching(brute.faces, box)) << q;
            }
            const Aabb all{{-1e9f, -1e9f, -1e9f}, {1e9f, 1e9f, 1e9f}};
            EXPECT_EQ(index->faces_in_box(all), touching(brute.faces, all));
            EXPECT_TRUE(index->faces_in_box(Aabb{}).empty());
        };
        compare("fresh");
        // Local edits near the start of the tables, so later chunks are carried over.
        const auto fresh = m.spatial_index();
        std::uniform_int_distribution<VertexId> early(0, 900);
        for (int k = 0; k < 3; ++k) m.vertex_mut(early(rng)).position.x += 7.0f;
        m.erase_face(40);
        m.add_triangle(early(rng), early(rng) + 1000, 2);
        compare("edited");
        const auto edited = m.spatial_index();
        auto shared = [](auto now, auto then) {
            int n = 0;
            for (std::size_t c = 0; c < std::min(now.size(), then.size()); ++c)
                n += now[c] == then[c];
            return n;
        };
        EXPECT_GT(shared(edited->face_chunks(), fresh->face_chunks()), 0);
        EXPECT_GT(shared(edited->edge_chunks(), fresh->edge_chunks()), 0);
        EXPECT_NE(edited->face_chunks().front(), fresh->face_chunks().front());
        // A ring of two: kept beside the hierarchy, still found.
        const HalfEdgeId h = m.faces()[10].half_edge;
        m.half_edge_mut(m.half_edges()[h].next).next = h;
        compare("two-vertex ring");
    }
}

TEST(SpatialIndex, NearPointQueriesAgreeWithBruteForce) {
    for (const unsigned seed : {5u, 6u, 7u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Mesh m = random_mesh(seed, 300);
        const auto index = m.spatial_index();
        const std::vector<Aabb> face_boxes = ElementBoxes(m).faces;
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> at(-50.0f, 50.0f), radius(0.0f, 4.0f);
        for (int q = 0; q < 60; ++q) {
            SCOPED_TRACE("query " + std::to_string(q));
            const Vec3 p{at(rng), at(rng), at(rng) * 0.2f};
            const float d = q == 0 ? 0.0f : radius(rng);
            const double d2 = double(d) * d;
            std::vector<VertexId> near_vertices;
            std::optional<VertexId> nearest;
            double nearest_d2 = 1e300;
            for (VertexId v = 0; v < m.vertices().size(); ++v) {
                if (!m.vertex_usable(v)) continue;
                const double dv = dist_sq(m.vertices()[v].position, p);
                if (dv <= d2) near_vertices.push_back(v);
                if (dv < nearest_d2 && dv <= 100.0) nearest_d2 = dv, nearest = v;
            }
            EXPECT_EQ(index->vertices_near(p, d), near_vertices);
            EXPECT_EQ(index->nearest_vertex(p, 10.0f), nearest);

            std::vector<EdgeId> near_edges;
            Vec3 a, b;
            for (EdgeId e = 0; e < m.edges().size(); ++e) {
                if (edge_ends(m, e, a, b) && segment_dist_sq(a, b, p) <= d2)
                    near_edges.push_back(e);
            }
            EXPECT_EQ(index->edges_near(p, d), near_edges);

            // Faces: every face that really comes that close is a candidate, and no face
            // whose box is further away.
            const std::vector<FaceId> candidates = index->faces_near(p, d);
            const std::set<FaceId> got(candidates.begin(), candidates.end());
            for (FaceId f = 0; f < m.faces().size(); ++f) {
                const Aabb box = face_boxes[f];
                const Aabb grown{box.min - Vec3{d, d, d}, box.max + Vec3{d, d, d}};
                if (box.empty() || !grown.contains(p)) {
                    EXPECT_FALSE(got.count(f)) << "face " << f;
                    continue;
                }
                const auto ring = ring_positions(m, f);
                double best = 1e300;
                for (std::size_t k = 2; k < ring.size(); ++k) {
                    best = std::min(best, triangle_dist_sq(ring[0], ring[k - 1], ring[k], p));
                }
                if (best <= d2 * 0.999) {
                    EXPECT_TRUE(got.count(f)) << "face " << f;
                }
            }
        }
        EXPECT_TRUE(index->vertices_near({0, 0, 0}, -1.0f).empty());
        EXPECT_TRUE(index->edges_near({NAN, 0, 0}, 1.0f).empty());
    }
}

TEST(SpatialIndex, FacesUsingVerticesAgreeWithBruteForce) {
    Mesh m = random_mesh(9, 200);
    const auto index = m.spatial_index();
    std::mt19937 rng(9);
    for (const int k : {0, 1, 3, 20}) {
        SCOPED_TRACE("vertices " + std::to_string(k));
        std::vector<VertexId> verts;
        for (int i = 0; i < k; ++i) verts.push_back(rng() % m.vertices().size());
        if (k > 1) verts.push_back(verts[0]);  // repeated
        verts.push_back(kInvalidId);
        std::vector<FaceId> expected;
        for (FaceId f = 0; f < m.faces().size(); ++f) {
            const auto ring = m.face_vertices(f);
            for (const VertexId v : verts) {
                if (m.vertex_usable(v) && std::count(ring.begin(), ring.end(), v)) {
                    expected.push_back(f);
                    break;
                }
            }
        }
        EXPECT_EQ(index->faces_using_vertices(verts), expected);
    }
}

TEST(SpatialIndex, PlaneDeviationOfAFoldedQuad) {
    Mesh m = testing_support::quad_grid(2, 1, false);
    EXPECT_EQ(m.spatial_index()->plane_deviation(), 0.0f);
    // Lift one corner of face 0 and refresh its normal: its corners sit off the mean plane.
    m.vertex_mut(0).position.z = 0.4f;
    m.recompute_face_normal(0);
    const auto index = m.spatial_index();
    const auto ring = ring_positions(m, 0);
    const Vec3 n = normalize(m.face_normal(0));
    Vec3 centre;
    for (const Vec3& p : ring) centre += p * 0.25f;
    float expected = 0.0f;
    for (const Vec3& p : ring) expected = std::max(expected, std::fabs(dot(n, p - centre)));
    EXPECT_NEAR(index->plane_deviation(), expected, 1e-6f);
    EXPECT_GT(index->plane_deviation(), 0.05f);
}

}  // namespace
}  // namespace korvan
