#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "core/mesh_loops.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using testing_support::quad_grid;
using testing_support::torus;

// The alive edge joining a and b, or kInvalidId.
EdgeId edge_between(const Mesh& m, VertexId a, VertexId b) {
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (!m.edge_usable(e)) continue;
        const auto [p, q] = m.edge_vertices(e);
        if ((p == a && q == b) || (p == b && q == a)) return e;
    }
    return kInvalidId;
}

// Replaces the quad (a, b, c, d) by the triangles (a, b, c) and (a, c, d), linked to their
// neighbours, with the diagonal a-c soft or hard. The triangles get the next two face ids.
void split_into_pair(Mesh& m, FaceId quad, bool soft) {
    const std::vector<VertexId> r = m.face_vertices(quad);
    ASSERT_EQ(r.size(), 4u);
    ASSERT_TRUE(m.erase_face(quad));
    ASSERT_TRUE(m.add_triangle(r[0], r[1], r[2]));
    ASSERT_TRUE(m.add_triangle(r[0], r[2], r[3]));
    m.link_shared_edges();
    const EdgeId diagonal = edge_between(m, r[0], r[2]);
    ASSERT_NE(diagonal, kInvalidId);
    m.edge_mut(diagonal).soft = soft;
}

// 3 x 1 unit quads (vertex (i, j) is j * 4 + i) with the middle one, (1, 2, 6, 5), split into
// faces 3 = (1, 2, 6) and 4 = (1, 6, 5) across the diagonal 1-6.
Mesh strip_with_pair(bool soft) {
    Mesh m = quad_grid(3, 1);
    split_into_pair(m, 1, soft);
    return m;
}

// Triangles (0,1,2), (1,3,2), (2,3,4) with soft edges 1-2 and 2-3: the middle one has two
// soft neighbours, so neither end has a partner that agrees.
Mesh soft_triangle_chain() {
    Mesh m;
    for (const Vec3 p :
         {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{1, 1, 0}, Vec3{0, 2, 0}}) {
        m.add_vertex(p);
    }
    m.add_triangle(0, 1, 2);
    m.add_triangle(1, 3, 2);
    m.add_triangle(2, 3, 4);
    m.link_shared_edges();
    m.edge_mut(edge_between(m, 1, 2)).soft = true;
    m.edge_mut(edge_between(m, 2, 3)).soft = true;
    return m;
}

TEST(MeshLoops, QuadAtTellsQuadsFromOtherFaces) {
    struct Row {
        std::string name;
        std::function<Mesh()> build;
        FaceId face;
        QuadKind kind;
        FaceId partner;
        std::array<VertexId, 4> corners;
    };
    const std::array<VertexId, 4> none{kInvalidId, kInvalidId, kInvalidId, kInvalidId};
    const Row rows[] = {
        {"four-sided",
         [] { return quad_grid(3, 1); },
         0,
         QuadKind::kFourSided,
         kInvalidId,
         {0, 1, 5, 4}},
        // Seen from either triangle the outline runs round without the diagonal.
        {"soft pair, first",
         [] { return strip_with_pair(true); },
         3,
         QuadKind::kTrianglePair,
         4,
         {2, 6, 5, 1}},
        {"soft pair, second",
         [] { return strip_with_pair(true); },
         4,
         QuadKind::kTrianglePair,
         3,
         {5, 1, 2, 6}},
        {"hard diagonal", [] { return strip_with_pair(false); }, 3, QuadKind::kNone, kInvalidId,
         none},
        {"partner with two soft edges", soft_triangle_chain, 0, QuadKind::kNone, kInvalidId, none},
        {"two soft edges", soft_triangle_chain, 1, QuadKind::kNone, kInvalidId, none},
        {"dead face",
         [] {
             Mesh m = quad_grid(3, 1);
             m.erase_face(0);
             return m;
         },
         0, QuadKind::kNone, kInvalidId, none},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Mesh m = row.build();
        const QuadCell cell = quad_at(m, row.face);
        EXPECT_EQ(cell.kind, row.kind);
        EXPECT_EQ(cell.partner, row.partner);
        if (row.kind == QuadKind::kNone) continue;
        // Corners may start anywhere round the outline; the cyclic order is what counts.
        std::array<VertexId, 4> got = cell.corners;
        const auto first = std::find(got.begin(), got.end(), row.corners[0]);
        ASSERT_NE(first, got.end());
        std::rotate(got.begin(), first, got.end());
        EXPECT_EQ(got, row.corners);
        // Each side starts at its corner and belongs to one of the cell's faces.
        for (std::size_t i = 0; i < 4; ++i) {
            const HalfEdge& h = m.half_edges()[cell.sides[i]];
            EXPECT_EQ(h.origin, cell.corners[i]);
            EXPECT_TRUE(h.face == cell.face || h.face == cell.partner);
            EXPECT_EQ(m.half_edge_end(cell.sides[i]), cell.corners[(i + 1) % 4]);
        }
    }
}

TEST(MeshLoops, QuadDiagonalIsTheShorterOneOrTheSoftEdge) {
    Mesh slanted;
    for (const Vec3 p : {Vec3{0, 0, 0}, Vec3{3, 0, 0}, Vec3{4, 1, 0}, Vec3{1, 1, 0}}) {
        slanted.add_vertex(p);
    }
    slanted.add_quad(0, 1, 2, 3);
    EXPECT_EQ(quad_diagonal(slanted, quad_at(slanted, 0)), (std::array<VertexId, 2>{1, 3}));

    const Mesh square = quad_grid(1, 1);
    EXPECT_EQ(quad_diagonal(square, quad_at(square, 0)), (std::array<VertexId, 2>{0, 3}));

    const Mesh pair = strip_with_pair(true);
    const QuadCell cell = quad_at(pair, 3);
    std::array<VertexId, 2> d = quad_diagonal(pair, cell);
    std::array<VertexId, 2> soft = pair.edge_vertices(cell.diagonal);
    std::sort(d.begin(), d.end());
    std::sort(soft.begin(), soft.end());
    EXPECT_EQ(d, (std::array<VertexId, 2>{1, 6}));
    EXPECT_EQ(soft, d);
    EXPECT_TRUE(pair.edges()[cell.diagonal].soft);

    const Mesh hard = strip_with_pair(false);
    EXPECT_EQ(quad_diagonal(hard, quad_at(hard, 3)),
              (std::array<VertexId, 2>{kInvalidId, kInvalidId}));
}

TEST(MeshLoops, QuadLoopCrossesTrianglePairsThatFaceLoopStopsAt) {
    const Mesh soft = strip_with_pair(true);
    const Mesh hard = strip_with_pair(false);
    const EdgeId left = edge_between(soft, 0, 4);
    const EdgeId right_of_pair = edge_between(soft, 2, 6);
    ASSERT_NE(left, kInvalidId);
    ASSERT_NE(right_of_pair, kInvalidId);
    struct Row {
        const char* name;
        const Mesh& mesh;
        FaceId face;
        EdgeId edge;
        std::vector<FaceId> want;
    };
    const std::vector<Row> rows = {
        {"from the end quad", soft, kInvalidId, left, {0, 2, 3, 4}},
        {"from inside the pair", soft, 3, right_of_pair, {0, 2, 3, 4}},
        {"hard diagonal stops the strip", hard, kInvalidId, edge_between(hard, 0, 4), {0}},
        {"the pair's own diagonal", soft, 3, edge_between(soft, 1, 6), {}},
        {"face not on the edge", soft, 2, left, {}},
        {"dead edge", soft, kInvalidId, kInvalidId, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(quad_loop_faces(row.mesh, row.face, row.edge), row.want);
    }
    // The plain strip walk sees two triangles, not a quad.
    EXPECT_EQ(soft.face_loop(kInvalidId, left), (std::vector<FaceId>{0}));
}

TEST(MeshLoops, QuadLoopGoesRoundATorusOnceAndMatchesFaceLoopOnQuads) {
    const Mesh m = torus(8, 6, 2.0f, 0.5f);
    for (const HalfEdgeId h : m.face_half_edges(0)) {
        const EdgeId e = m.half_edges()[h].edge;
        SCOPED_TRACE(e);
        const std::vector<FaceId> strip = quad_loop_faces(m, 0, e);
        EXPECT_TRUE(strip.size() == 8u || strip.size() == 6u) << strip.size();
        EXPECT_TRUE(std::adjacent_find(strip.begin(), strip.end()) == strip.end());
        EXPECT_EQ(strip, m.face_loop(0, e));
    }
}

}  // namespace
}  // namespace korvan
