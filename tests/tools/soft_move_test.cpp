// Soft move: the falloff curves, surface against space distance through a thin gap, the
// unwelded-seam warning, the zero delta, undo, and the edge search against a plain Dijkstra
// over every edge.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <queue>
#include <utility>
#include <vector>

#include "core/edge_distance.h"
#include "core/mat4.h"
#include "core/mesh.h"
#include "core/spatial_index.h"
#include "document/document.h"
#include "tests/core/mesh_builders.h"
#include "tests/document/saved_bytes.h"
#include "tools/soft_move.h"

namespace korvan {
namespace {

using testing_support::bytes_of;
using testing_support::quad_grid;
using testing_support::torus;

SoftMoveField field_of(Mesh& m, std::vector<VertexId> handles, const SoftMoveOptions& o) {
    const auto index = m.spatial_index();
    return soft_move_field(m, index.get(), handles, o);
}

float weight_of(const SoftMoveField& f, VertexId v) {
    for (const SoftInfluence& s : f.influenced) {
        if (s.vertex == v) return s.weight;
    }
    return 0.0f;
}

TEST(SoftMove, CurvesWeighTheHandleFullyAndHalfTheRadiusByTheirRule) {
    struct Row {
        SoftMoveCurve curve;
        float at_half;
        float at_three_quarters;
    };
    const Row rows[] = {{SoftMoveCurve::kLinear, 0.5f, 0.25f},
                        {SoftMoveCurve::kSmooth, 0.5f, 0.15625f},
                        {SoftMoveCurve::kSharp, 0.25f, 0.0625f},
                        {SoftMoveCurve::kConstant, 1.0f, 1.0f}};
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.curve));
        Mesh strip = quad_grid(10, 1);  // bottom row: vertex i at x = i
        SoftMoveOptions o;
        o.radius = 4.0f;
        o.curve = row.curve;
        const SoftMoveField f = field_of(strip, {0}, o);
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(weight_of(f, 0), 1.0f);
        EXPECT_NEAR(weight_of(f, 2), row.at_half, 1e-6f);
        EXPECT_NEAR(weight_of(f, 3), row.at_three_quarters, 1e-6f);
        EXPECT_EQ(weight_of(f, 4), 0.0f);  // at the radius: outside
    }
}

// Two 4 x 4 grids of unit quads, 5 cm apart and unconnected: a thin wall seen from inside.
Document thin_wall() {
    Document doc;
    Mesh& m = doc.root().mesh;
    m = quad_grid(4, 4);
    const Mat4 up = Mat4::translation({0.0f, 0.0f, 0.05f});
    m.merge_mesh(quad_grid(4, 4), up);
    m.link_shared_edges();
    return doc;
}

TEST(SoftMove, SurfaceMetricDoesNotDentThroughAThinWall) {
    for (const SoftMoveMetric metric : {SoftMoveMetric::kSurface, SoftMoveMetric::kSpace}) {
        SCOPED_TRACE(static_cast<int>(metric));
        Document doc = thin_wall();
        Mesh& m = doc.root().mesh;
        const Mesh before = m;
        const VertexId handle = 25 + 12;  // centre of the upper grid
        SoftMoveOptions o;
        o.radius = 1.5f;
        o.metric = metric;
        SoftMoveVerticesCommand move(doc, MeshLocator::of_node(&doc.root()), {handle},
                                     {0, 0, 0.3f}, o);
        move.redo();
        ASSERT_TRUE(move.field().ok);
        // Lower-grid vertices within the radius in a straight line, by plain scanning, and
        // upper-grid ones that are as near in space but farther along the grid's edges.
        std::uint64_t near_below = 0, moved_below = 0, around_the_grid = 0;
        const Vec3 h = before.vertices()[handle].position;
        for (VertexId v = 0; v < 50; ++v) {
            const Vec3 p = before.vertices()[v].position;
            const bool near = length(p - h) < o.radius;
            if (v >= 25) {
                const float along = std::fabs(p.x - h.x) + std::fabs(p.y - h.y);
                if (near && along >= o.radius) ++around_the_grid;
                continue;
            }
            if (near) ++near_below;
            if (!(m.vertices()[v].position == before.vertices()[v].position)) ++moved_below;
        }
        ASSERT_GT(near_below, 0u);
        const bool surface = metric == SoftMoveMetric::kSurface;
        EXPECT_EQ(moved_below, surface ? 0u : near_below);
        EXPECT_EQ(move.field().space_only, surface ? near_below + around_the_grid : 0u);
        EXPECT_EQ(m.alive_face_count(), before.alive_face_count());
        EXPECT_EQ(bytes_of(m.half_edges()), bytes_of(before.half_edges()));
        EXPECT_EQ(m.naked_edge_count(), before.naked_edge_count());
    }
}

TEST(SoftMove, UnweldedSeamIsCountedAndOpens) {
    // Two unit squares side by side with their own corners: (1,0) and (1,1) exist twice.
    Document doc;
    Mesh& m = doc.root().mesh;
    for (const Vec3 p : {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{1, 1, 0}, Vec3{0, 1, 0}, Vec3{1, 0, 0},
                         Vec3{2, 0, 0}, Vec3{2, 1, 0}, Vec3{1, 1, 0}}) {
        m.add_vertex(p);
    }
    m.add_quad(0, 1, 2, 3);
    m.add_quad(4, 5, 6, 7);
    SoftMoveOptions o;
    o.radius = 1.2f;
    SoftMoveVerticesCommand move(doc, MeshLocator::of_node(&doc.root()), {0}, {0, 0, 1}, o);
    move.redo();
    EXPECT_EQ(move.field().coincident_unreached, 1u);
    EXPECT_NE(m.vertices()[1].position.z, 0.0f);
    EXPECT_EQ(m.vertices()[4].position.z, 0.0f);
}

TEST(SoftMove, ZeroDeltaAndRefusalsChangeNothing) {
    struct Row {
        const char* name;
        std::vector<VertexId> handles;
        Vec3 delta;
        float radius;
        const char* message;
    };
    const Row rows[] = {
        {"zero delta", {0}, {0, 0, 0}, 1.0f, ""},
        {"no handle", {}, {0, 0, 1}, 1.0f, "no handle vertex given"},
        {"dead handle", {999}, {0, 0, 1}, 1.0f, "no alive handle vertex"},
        {"bad radius", {0}, {0, 0, 1}, 0.0f, "radius must be finite and positive"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Document doc = thin_wall();
        const std::string before = test::saved_bytes(doc);
        SoftMoveOptions o;
        o.radius = row.radius;
        SoftMoveVerticesCommand move(doc, MeshLocator::of_node(&doc.root()), row.handles,
                                     row.delta, o);
        move.redo();
        EXPECT_TRUE(move.is_noop());
        EXPECT_STREQ(move.field().message, row.message);
        EXPECT_EQ(move.moved(), 0u);
        EXPECT_TRUE(test::same_file(test::saved_bytes(doc), before));
    }
}

TEST(SoftMove, UndoAndRedoRestoreTheFileExactly) {
    Document doc = thin_wall();
    SoftMoveOptions o;
    o.radius = 2.0f;
    o.curve = SoftMoveCurve::kSharp;
    SoftMoveVerticesCommand move(doc, MeshLocator::of_node(&doc.root()), {37, 38}, {0.1f, 0, 0.2f},
                                 o);
    test::expect_undo_round_trips(doc, move, "Soft Move");
}

// Every vertex's distance along the edges by a plain Dijkstra over an adjacency list of the
// whole mesh, infinity where unreachable.
std::vector<float> plain_distances(const Mesh& m, VertexId source) {
    const auto verts = m.vertices();
    std::vector<std::vector<std::pair<VertexId, float>>> adj(verts.size());
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (!m.edge_usable(e)) continue;
        const auto ends = m.edge_vertices(e);
        const float w = length(verts[ends[0]].position - verts[ends[1]].position);
        adj[ends[0]].push_back({ends[1], w});
        adj[ends[1]].push_back({ends[0], w});
    }
    std::vector<float> dist(verts.size(), std::numeric_limits<float>::infinity());
    using Item = std::pair<float, VertexId>;
    std::priority_queue<Item, std::vector<Item>, std::greater<>> q;
    dist[source] = 0.0f;
    q.push({0.0f, source});
    while (!q.empty()) {
        const auto [d, v] = q.top();
        q.pop();
        if (d != dist[v]) continue;
        for (const auto& [u, w] : adj[v]) {
            if (d + w < dist[u]) {
                dist[u] = d + w;
                q.push({dist[u], u});
            }
        }
    }
    return dist;
}

TEST(EdgeDistances, MatchAPlainDijkstraAndStayInsideTheRadius) {
    Mesh ring = torus(40, 12, 3.0f, 1.0f);
    const auto index = ring.spatial_index();
    const float radius = 2.5f;
    for (const VertexId source : {VertexId{0}, VertexId{123}, VertexId{317}}) {
        SCOPED_TRACE(source);
        const std::vector<float> want = plain_distances(ring, source);
        const EdgeDistances got = edge_distances_within(ring, *index, {&source, 1}, radius);
        std::uint64_t inside = 0;
        for (const float d : want) inside += d < radius ? 1 : 0;
        ASSERT_EQ(got.reached.size(), inside);
        for (const EdgeReach& r : got.reached) EXPECT_NEAR(r.distance, want[r.vertex], 1e-5f);
        // Only the vertices within reach had their edges looked up.
        EXPECT_EQ(got.settled, inside);
        EXPECT_LT(inside, ring.vertices().size() / 4);
    }
}

}  // namespace
}  // namespace korvan
