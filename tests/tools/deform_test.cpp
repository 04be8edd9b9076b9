// Global deformations: only positions change, amount 0 is the identity, and the bend, taper,
// clamping and radial cases land where the point map puts them.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "core/mesh.h"
#include "tests/core/mesh_builders.h"
#include "tools/deform.h"

namespace korvan {
namespace {

using testing_support::box;
using testing_support::bytes_of;
using testing_support::quad_grid;

constexpr float kHalfPi = 1.5707964f;

// A 10 x 2 grid of unit quads along x with its far half painted, hidden and soft-edged, so
// an attribute that a deformation disturbed would show.
Mesh dressed_strip() {
    Mesh m = quad_grid(10, 2);
    for (FaceId f = 0; f < m.faces().size(); f += 2) m.set_face_material(f, 3);
    m.hide_face(5);
    for (EdgeId e = 0; e < m.edges().size(); e += 3) {
        if (m.edge_usable(e)) m.edge_mut(e).soft = true;
    }
    return m;
}

// Vertex positions and life, without the records' padding bytes.
std::vector<std::pair<Vec3, bool>> vertex_state(const Mesh& m) {
    std::vector<std::pair<Vec3, bool>> out;
    for (const Vertex& v : m.vertices()) out.emplace_back(v.position, v.alive);
    return out;
}

DeformParams fitted(const Mesh& m, DeformKind kind, float amount) {
    DeformParams p;
    p.kind = kind;
    p.amount = amount;
    p.frame = *fit_deform_frame(m, {}, kind);
    return p;
}

TEST(Deform, OnlyPositionsChangeAndZeroIsTheIdentity) {
    const DeformKind kinds[] = {DeformKind::kBend,  DeformKind::kTaper,
                                DeformKind::kTwist, DeformKind::kShear,
                                DeformKind::kRadialTwist, DeformKind::kRadialBend};
    for (const DeformKind kind : kinds) {
        SCOPED_TRACE(deform_kind_name(kind));
        const Mesh original = dressed_strip();
        Mesh zero = original;
        EXPECT_EQ(deform_faces(zero, {}, fitted(zero, kind, 0.0f)), 0u);
        EXPECT_EQ(vertex_state(zero), vertex_state(original));

        Mesh m = original;
        EXPECT_GT(deform_faces(m, {}, fitted(m, kind, 0.7f)), 0u);
        EXPECT_NE(vertex_state(m), vertex_state(original));
        EXPECT_EQ(bytes_of(m.half_edges()), bytes_of(original.half_edges()));
        EXPECT_EQ(bytes_of(m.edges()), bytes_of(original.edges()));
        EXPECT_EQ(m.naked_edge_count(), original.naked_edge_count());
        ASSERT_EQ(m.faces().size(), original.faces().size());
        for (FaceId f = 0; f < m.faces().size(); ++f) {
            const Face &a = m.faces()[f], &b = original.faces()[f];
            EXPECT_TRUE(a.half_edge == b.half_edge && a.material_id == b.material_id &&
                        a.layer_id == b.layer_id && a.visible == b.visible && a.alive == b.alive &&
                        a.tag == b.tag)
                << "face " << f;
        }
    }
}

TEST(Deform, QuarterBendTurnsTheFarEndUp) {
    // 1 m along x, 0.1 deep, 0.2 high: axis x, up z, origin at the low end's centre line.
    Mesh beam = box({0, 0, 0}, {1, 0.1f, 0.2f});
    const DeformParams p = fitted(beam, DeformKind::kBend, kHalfPi);
    EXPECT_EQ(p.frame.extent, 1.0f);
    const Mesh before = beam;
    EXPECT_GE(deform_faces(beam, {}, p), 4u);
    // theta = pi/2 at the far end: t' = R - h, h' = R with R = L / theta.
    const float R = 1.0f / kHalfPi;
    for (VertexId v = 0; v < beam.vertices().size(); ++v) {
        const Vec3 was = before.vertices()[v].position, now = beam.vertices()[v].position;
        SCOPED_TRACE(v);
        if (was.x == 0.0f) {
            EXPECT_NEAR(length(now - was), 0.0f, 1e-6f);
            continue;
        }
        const float h = was.z - 0.1f;
        EXPECT_NEAR(now.x, R - h, 1e-5f);
        EXPECT_NEAR(now.y, was.y, 1e-6f);
        EXPECT_NEAR(now.z, 0.1f + R, 1e-5f);
    }
    // The far cap (+x, face 5) now faces up.
    EXPECT_NEAR(beam.face_normal(5).z, 1.0f, 1e-5f);
}

TEST(Deform, ClampingCarriesTheOverhangRigidly) {
    struct Row {
        bool clamp;
        bool rigid;
    };
    for (const Row row : {Row{true, true}, Row{false, false}}) {
        SCOPED_TRACE(row.clamp);
        Mesh strip = quad_grid(10, 2);
        DeformParams p = fitted(strip, DeformKind::kBend, 1.0f);
        p.frame.extent = 5.0f;  // vertices beyond x = 5 overhang
        p.clamp = row.clamp;
        deform_faces(strip, {}, p);
        // Along the neutral row (y = 1) from x = 5 to 10 the spacing stays 1 m and the
        // direction stays the end's when the overhang is rigid; without clamping it bends on.
        std::vector<Vec3> row_pts;
        for (VertexId v = 16; v <= 21; ++v) row_pts.push_back(strip.vertices()[v].position);
        bool straight = true;
        const Vec3 first = row_pts[1] - row_pts[0];
        for (std::size_t i = 1; i + 1 < row_pts.size(); ++i) {
            const Vec3 d = row_pts[i + 1] - row_pts[i];
            EXPECT_NEAR(length(d), 1.0f, row.rigid ? 1e-5f : 0.02f);
            if (length(d - first) > 1e-4f) straight = false;
        }
        EXPECT_EQ(straight, row.rigid);
    }
}

TEST(Deform, TaperRadialBendAndFittingEdges) {
    // Taper -1 collapses the far end onto the axis, +1 doubles it.
    for (const float amount : {-1.0f, 1.0f}) {
        Mesh beam = box({0, 0, 0}, {2, 0.2f, 0.4f});
        deform_faces(beam, {}, fitted(beam, DeformKind::kTaper, amount));
        const float g = 1.0f + amount;
        for (VertexId v = 0; v < 8; ++v) {
            const Vec3 p = beam.vertices()[v].position;
            if (p.x != 2.0f) continue;
            EXPECT_NEAR(std::fabs(p.y - 0.1f), 0.1f * g, 1e-6f);
            EXPECT_NEAR(std::fabs(p.z - 0.2f), 0.2f * g, 1e-6f);
        }
    }
    // A radial bend leaves a vertex on the axis where it is.
    Mesh cross = quad_grid(2, 2);
    const Vec3 centre = cross.vertices()[4].position;
    DeformParams p = fitted(cross, DeformKind::kRadialBend, 0.8f);
    p.frame.origin = centre;
    p.frame.axis = {0, 0, 1};
    p.frame.up = {1, 0, 0};
    EXPECT_EQ(deform_faces(cross, {}, p), 8u);
    EXPECT_EQ(cross.vertices()[4].position, centre);
    // A single point has no box to fit.
    Mesh dot;
    for (int i = 0; i < 3; ++i) dot.add_vertex({1, 1, 1});
    dot.add_triangle(0, 1, 2);
    EXPECT_FALSE(fit_deform_frame(dot, {}, DeformKind::kBend));
}

}  // namespace
}  // namespace korvan
