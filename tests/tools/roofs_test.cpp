// The roof generators: closed solids of the reported volume over every plan shape, facets at
// the pitch, ridges where the plan's width puts them, and refusals that leave the mesh alone.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "core/dvec3.h"
#include "core/mesh.h"
#include "document/commands/undo_steps.h"
#include "document/document.h"
#include "tests/support/plan_shapes.h"
#include "tests/support/solid_checks.h"
#include "tools/roofs/roof_commands.h"
#include "tools/roofs/roofs.h"

namespace korvan {
namespace {

constexpr double kPitch = 0.5235987755982988;  // 30 degrees

double total_volume(const Mesh& mesh) {
    const std::vector<double> v = test::piece_volumes(mesh);
    return std::accumulate(v.begin(), v.end(), 0.0);
}

// Largest angle error of the sloped faces against the pitch, from the stored positions.
double worst_slope_error(const Mesh& mesh, double pitch) {
    double worst = 0.0;
    for (const FaceId f : mesh.alive_faces()) {
        DVec3 n;
        const std::vector<VertexId> ring = mesh.face_vertices(f);
        for (std::size_t i = 0; i < ring.size(); ++i) {
            n += cross(DVec3(mesh.vertices()[ring[i]].position),
                       DVec3(mesh.vertices()[ring[(i + 1) % ring.size()]].position));
        }
        const double len = std::sqrt(dot(n, n));
        const double cz = n.z / len;
        if (cz < 1e-3 || cz > 1.0 - 1e-9) continue;  // walls, soffit and flat caps
        worst = std::max(worst, std::abs(std::acos(cz) - pitch));
    }
    return worst;
}

std::vector<Point2> reversed(std::vector<Point2> ring) {
    std::reverse(ring.begin(), ring.end());
    return ring;
}

TEST(Roofs, EveryGeneratorBuildsClosedSolidsOverEveryPlan) {
    std::vector<test::NamedPlan> plans = test::wing_plans();
    plans.push_back({"star", test::star_plan(40, 8.0, 10.0, 7), 0.0});
    for (const test::NamedPlan& plan : plans) {
        SCOPED_TRACE(plan.name);
        {
            Mesh mesh;
            const FlatRoofReport r = build_flat_roof(mesh, plan.ring, {});
            ASSERT_TRUE(r.ok) << r.message;
            test::expect_closed_solids(mesh);
            EXPECT_EQ(test::piece_volumes(mesh).size(), r.solids);
            EXPECT_NEAR(total_volume(mesh), r.volume, 1e-4 * r.volume);
        }
        {
            Mesh mesh;
            const SkeletonRoofReport r = build_skeleton_roof(mesh, plan.ring, {});
            ASSERT_TRUE(r.ok) << r.message;
            test::expect_closed_solids(mesh);
            EXPECT_NEAR(total_volume(mesh), r.volume, 1e-4 * r.volume);
            EXPECT_EQ(r.facets, plan.ring.size());
            EXPECT_LT(worst_slope_error(mesh, kPitch), 1e-6);
            EXPECT_LT(r.planarity, 1e-5);
            if (plan.half_width > 0.0) {
                EXPECT_NEAR(r.apex_height, (plan.half_width + 0.6) * std::tan(kPitch), 1e-9);
            }
        }
        for (const double step : {0.25, 0.7}) {
            SCOPED_TRACE(step);
            Mesh mesh;
            PitchedRoofSpec spec;
            spec.step = step;
            const PitchedRoofReport r = build_pitched_roof(mesh, plan.ring, spec);
            ASSERT_TRUE(r.ok) << r.message;
            test::expect_closed_solids(mesh);
            EXPECT_NEAR(total_volume(mesh), r.volume, 1e-4 * r.volume);
            // Bands a step deep carry the float rounding of their corners into the angle.
            EXPECT_LT(worst_slope_error(mesh, kPitch), 1e-5);
            EXPECT_GE(r.ridge_deviation, 0.0);
            EXPECT_LT(r.ridge_deviation, step * std::tan(kPitch) + 1e-9);
        }
    }
}

TEST(Roofs, PitchedRidgeIsQuantisedToTheStep) {
    // Wings 5.8 m wide under a 0.6 m overhang peak 3.5 m in from the eaves.
    const std::vector<Point2> ell{{0, 0}, {12, 0}, {12, 5.8}, {5.8, 5.8}, {5.8, 12}, {0, 12}};
    Mesh exact;
    const SkeletonRoofReport sk = build_skeleton_roof(exact, ell, {});
    ASSERT_TRUE(sk.ok);
    EXPECT_NEAR(sk.apex_inset, 3.5, 1e-9);
    EXPECT_EQ(sk.ridge_deviation, 0.0);
    struct Row {
        double step, deviation;
        std::uint32_t contours;
    };
    for (const Row row : {Row{1.0, 0.5 * std::tan(kPitch), 4}, Row{0.1, 0.1 * std::tan(kPitch), 35}}) {
        SCOPED_TRACE(row.step);
        Mesh mesh;
        PitchedRoofSpec spec;
        spec.step = row.step;
        const PitchedRoofReport r = build_pitched_roof(mesh, ell, spec);
        ASSERT_TRUE(r.ok);
        EXPECT_NEAR(r.ridge_deviation, row.deviation, 1e-9);
        EXPECT_EQ(r.contours, row.contours);
        EXPECT_GT(r.faces_after - r.faces_before, sk.faces_after - sk.faces_before);
        EXPECT_LT(r.volume, sk.volume);
    }
}

TEST(Roofs, ClockwisePlanGivesTheSameRoof) {
    for (const test::NamedPlan& plan : test::wing_plans()) {
        SCOPED_TRACE(plan.name);
        Mesh a, b;
        const SkeletonRoofReport ra = build_skeleton_roof(a, plan.ring, {});
        const SkeletonRoofReport rb = build_skeleton_roof(b, reversed(plan.ring), {});
        ASSERT_TRUE(ra.ok && rb.ok);
        EXPECT_NEAR(ra.volume, rb.volume, 1e-9 * ra.volume);
        EXPECT_EQ(ra.faces_after, rb.faces_after);
        EXPECT_EQ(ra.nodes, rb.nodes);
    }
}

TEST(Roofs, RefusalsNameTheReasonAndLeaveTheMeshAlone) {
    const std::vector<Point2> house = default_roof_footprint();
    const std::vector<Point2> bad_points[] = {{{0, 0}, {1, 0}, {NAN, 1}},
                                              {{0, 0}, {1, 0}, {1, 0}, {0, 0}},
                                              {{0, 0}, {1, 1}, {2, 2}},
                                              {{0, 0}, {4, 0}, {2, 0}, {2, 3}},
                                              {{0, 0}, {4, 3}, {4, 0}, {0, 4}}};
    const char* bad_messages[] = {"footprint has a non-finite point",
                                  "a footprint needs three distinct points", "footprint has zero area",
                                  "a footprint vertex doubles back on itself and has no bisector",
                                  "the footprint crosses itself"};
    Mesh mesh;
    build_flat_roof(mesh, house, {});
    const MeshTableSizes before = MeshTableSizes::of(mesh);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(bad_messages[i]);
        EXPECT_STREQ(build_flat_roof(mesh, bad_points[i], {}).message, bad_messages[i]);
        EXPECT_STREQ(build_skeleton_roof(mesh, bad_points[i], {}).message, bad_messages[i]);
    }
    struct FlatRow {
        FlatRoofSpec spec;
        const char* message;
    };
    auto flat = [](auto edit) {
        FlatRoofSpec s;
        edit(s);
        return s;
    };
    const FlatRow flat_rows[] = {
        {flat([](FlatRoofSpec& s) { s.slab = 0; }), "slab thickness must be finite and positive"},
        {flat([](FlatRoofSpec& s) { s.overhang = -0.1; }),
         "overhang, parapet and fascia dimensions must not be negative"},
        {flat([](FlatRoofSpec& s) { s.parapet_thickness = 0; }), "a parapet needs a positive thickness"},
        {flat([](FlatRoofSpec& s) { s.fascia = 0.2, s.fascia_thickness = 0; }),
         "a fascia needs a positive thickness"},
        {flat([](FlatRoofSpec& s) { s.overhang = 0, s.parapet_thickness = 2.6; }),
         "the parapet is thicker than the plan can carry"},
        {flat([](FlatRoofSpec& s) { s.parapet_inset = 2.9; }), "the parapet inset consumed the plan"},
        {flat([](FlatRoofSpec& s) { s.fascia = 0.2, s.fascia_thickness = 3; }),
         "the fascia is thicker than the plan can carry"},
    };
    for (const FlatRow& row : flat_rows) {
        SCOPED_TRACE(row.message);
        EXPECT_STREQ(build_flat_roof(mesh, house, row.spec).message, row.message);
    }
    for (const double pitch_deg : {0.0, 85.0, 90.0, -10.0}) {
        SCOPED_TRACE(pitch_deg);
        SkeletonRoofSpec s;
        s.pitch_rad = pitch_deg * 3.14159265358979323846 / 180.0;
        PitchedRoofSpec p;
        p.pitch_rad = s.pitch_rad;
        EXPECT_STREQ(build_skeleton_roof(mesh, house, s).message, "pitch must be between 0 and 85 degrees");
        EXPECT_STREQ(build_pitched_roof(mesh, house, p).message, "pitch must be between 0 and 85 degrees");
    }
    PitchedRoofSpec p;
    p.step = 0;
    EXPECT_STREQ(build_pitched_roof(mesh, house, p).message, "step must be finite and positive");
    p.step = 4;
    EXPECT_STREQ(build_pitched_roof(mesh, house, p).message,
                 "the first inward step consumed the plan (is it thinner than 2 * step?)");
    p = {};
    p.max_contours = 1;
    EXPECT_STREQ(build_pitched_roof(mesh, house, p).message, "max_contours must be at least 2");
    SkeletonRoofSpec s;
    s.fascia = -1;
    EXPECT_STREQ(build_skeleton_roof(mesh, house, s).message,
                 "overhang and fascia depth must not be negative");
    s = {};
    s.base_z = INFINITY;
    EXPECT_STREQ(build_skeleton_roof(mesh, house, s).message, "base_z must be finite");
    EXPECT_EQ(MeshTableSizes::of(mesh), before);
}

TEST(Roofs, CommandUndoRestoresTheMesh) {
    Document doc;
    build_flat_roof(doc.root().mesh, default_roof_footprint(), {});
    const Mesh before = doc.root().mesh;
    BuildSkeletonRoofCommand cmd(doc, MeshLocator::of_node(&doc.root()), test::wing_plans()[1].ring, {});
    EXPECT_EQ(cmd.name(), "Skeleton Roof");
    cmd.redo();
    ASSERT_TRUE(cmd.report().ok);
    EXPECT_FALSE(cmd.is_noop());
    cmd.undo();
    EXPECT_TRUE(same_mesh_content(doc.root().mesh, before));
    cmd.redo();
    EXPECT_EQ(doc.root().mesh.alive_face_count(), cmd.report().faces_after);
}

}  // namespace
}  // namespace korvan
