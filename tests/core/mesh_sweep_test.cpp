#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/mesh.h"
#include "core/mesh_sweep.h"
#include "tests/core/mesh_builders.h"
#include "tests/support/solid_checks.h"

namespace korvan {
namespace {

using testing_support::cube;
using testing_support::expect_ring_invariants;
using testing_support::expect_same_tables;

// A lone 1 x 1 square centred on the origin in z = 0, facing +z or, flipped, -z.
Mesh square(bool flipped = false) {
    Mesh mesh;
    std::vector<VertexId> ring;
    for (const Vec3 p :
         {Vec3{-0.5f, -0.5f, 0}, Vec3{0.5f, -0.5f, 0}, Vec3{0.5f, 0.5f, 0}, Vec3{-0.5f, 0.5f, 0}}) {
        ring.push_back(mesh.add_vertex(p));
    }
    if (flipped) std::reverse(ring.begin(), ring.end());
    mesh.add_ngon(ring);
    return mesh;
}

Mesh circle(int segments) {
    Mesh mesh;
    mesh.create_circle_xy({0, 0, 0}, 0.5f, segments);
    return mesh;
}

TEST(MeshSweep, LoneOutlineSweptAlongAnOpenPathIsAClosedSolid) {
    struct Case {
        const char* name;
        Mesh mesh;
        std::vector<Vec3> path;
        float volume;  // area x the length of the path through the ring's centre
        std::uint64_t faces;
    };
    const float circle_area = 24 * 0.5f * 0.25f * std::sin(6.2831853f / 24);
    Case cases[] = {
        {"straight up", square(), {{0, 0, 0}, {0, 0, 2}}, 2.0f, 6},
        {"square corner", square(), {{0, 0, 0}, {0, 0, 2}, {3, 0, 2}}, 5.0f, 10},
        {"face looking against the path",
         square(true),
         {{0, 0, 0}, {0, 0, 2}, {3, 0, 2}},
         5.0f,
         10},
        {"three turns in three planes",
         square(),
         {{0, 0, 0}, {0, 0, 2}, {2, 0, 3}, {2, 2, 3}, {2, 2, 5}},
         2.0f + std::sqrt(5.0f) + 2.0f + 2.0f,
         18},
        {"circle round a gentle bend",
         circle(24),
         {{0, 0, 0}, {0, 0, 1}, {0.2f, 0, 2}},
         circle_area * (1.0f + std::sqrt(1.04f)),
         2 + 24 * 2},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SweepReport r = sweep_face_along_path(c.mesh, 0, c.path);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.sections, c.path.size());
        EXPECT_EQ(c.mesh.alive_face_count(), c.faces);
        expect_ring_invariants(c.mesh);
        test::expect_closed_solids(c.mesh);
        EXPECT_NEAR(c.mesh.compute_volume(), c.volume, 1e-3f * c.volume);
    }
}

TEST(MeshSweep, RingKeepsItsShapeAndFacesAlongTheLastSegment) {
    Mesh mesh = square();
    const std::vector<Vec3> path{{0, 0, 0}, {0, 0, 2}, {3, 0, 2}};
    const SweepReport r = sweep_face_along_path(mesh, 0, path);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_NEAR(mesh.face_area(r.end_cap), 1.0f, 1e-5f);
    EXPECT_GT(dot(mesh.face_normal(r.end_cap), Vec3{1, 0, 0}), 0.9999f);
    for (const VertexId v : mesh.face_vertices(r.end_cap)) {
        EXPECT_NEAR(mesh.vertices()[v].position.x, 3.0f, 1e-5f);
    }
    // No twist: the rim edges that ran along y still run along y.
    const std::vector<VertexId> ring = mesh.face_vertices(r.end_cap);
    int along_y = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Vec3 d = mesh.vertices()[ring[(i + 1) % ring.size()]].position -
                       mesh.vertices()[ring[i]].position;
        if (std::fabs(std::fabs(d.y) - 1.0f) < 1e-5f) ++along_y;
    }
    EXPECT_EQ(along_y, 2);
}

TEST(MeshSweep, SoftensOnlyGentleTurns) {
    struct Case {
        const char* name;
        Mesh mesh;
        std::vector<Vec3> path;
        std::uint64_t soft;
    };
    Case cases[] = {
        {"square along a straight path", square(), {{0, 0, 0}, {0, 0, 1}}, 0},
        {"square round a right angle", square(), {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}}, 0},
        {"square round a 10 degree bend", square(), {{0, 0, 0}, {0, 0, 1}, {0.17633f, 0, 2}}, 4},
        {"24-gon along a straight path", circle(24), {{0, 0, 0}, {0, 0, 1}}, 24},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SweepReport r = sweep_face_along_path(c.mesh, 0, c.path);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.soft_edges, c.soft);
        EXPECT_EQ(c.mesh.soft_edge_count(), c.soft);
    }
}

TEST(MeshSweep, RefusalsLeaveTheMeshUntouched) {
    const float nan = std::nanf("");
    struct Case {
        const char* name;
        FaceId face;
        std::vector<Vec3> path;
    };
    const Case cases[] = {
        {"dead face", 7, {{0, 0, 0}, {0, 0, 1}}},
        {"one point", 0, {{0, 0, 0}}},
        {"repeated point", 0, {{0, 0, 0}, {0, 0, 0}}},
        {"not a number", 0, {{0, 0, 0}, {0, 0, nan}}},
        {"path in the face's plane", 0, {{0, 0, 0}, {1, 0, 0}}},
        {"path doubles back", 0, {{0, 0, 0}, {0, 0, 1}, {0, 0.01f, 0}}},
        {"closed loop", 0, {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {0, 0, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh mesh = square();
        const Mesh before = mesh;
        const SweepReport r = sweep_face_along_path(mesh, c.face, c.path);
        EXPECT_FALSE(r.ok);
        EXPECT_STRNE(r.message, "");
        expect_same_tables(mesh, before);
    }
}

TEST(MeshSweep, FaceOfASolidKeepsItsBase) {
    Mesh mesh = cube();
    const std::vector<Vec3> path{{0.5f, 0.5f, 1}, {0.5f, 0.5f, 2}};
    const SweepReport r = sweep_face_along_path(mesh, 1, path);  // the top, facing +z
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_GT(dot(mesh.face_normal(1), Vec3{0, 0, 1}), 0.999f);
    expect_ring_invariants(mesh);
}

}  // namespace
}  // namespace korvan
