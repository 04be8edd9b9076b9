// The contour gate, the end joiner and the terraces: the cases that tell a ground surface
// from a tangle, the joins a digitiser needs, and terraces that are closed solids of the
// volume their rises promise.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/commands/undo_steps.h"
#include "document/document.h"
#include "tests/support/solid_checks.h"
#include "tools/contour_check.h"
#include "tools/contour_join.h"
#include "tools/terrain_extrude.h"

namespace korvan {
namespace {

Curve curve(std::vector<Vec3> points, bool closed) {
    Curve c;
    c.points = std::move(points);
    c.closed = closed;
    return c;
}

// A closed square contour of side s at the lower-left corner (x, y), counter-clockwise.
Curve square(float x, float y, float s, float z) {
    return curve({{x, y, z}, {x + s, y, z}, {x + s, y + s, z}, {x, y + s, z}}, true);
}

TEST(ContourCheck, TellsGroundFromTangles) {
    Curve dead = square(0, 0, 1, 9);
    dead.alive = false;
    struct Row {
        const char* name;
        std::vector<Curve> curves;
        const char* message;
        int blame_a, blame_b;
    };
    const Row rows[] = {
        {"parallel one metre apart", {curve({{0, 0, 1}, {10, 0, 1}}, false), curve({{0, 1, 2}, {10, 1, 2}}, false)}, "", -1, -1},
        {"meet at a point", {curve({{0, 0, 1}, {10, 0, 1}}, false), curve({{5, 0.00005f, 2}, {5, 3, 2}}, false)},
         "contours at different elevations meet -- two level sets of one surface cannot share a point", 0, 1},
        {"same level touching", {square(0, 0, 2, 1), square(2, 0, 2, 1)}, "", -1, -1},
        {"same level crossing", {square(0, 0, 2, 1), square(1, 1, 2, 1)},
         "two contours at the same elevation cross -- a saddle; nudge one off the pass elevation", 0, 1},
        {"different levels crossing", {dead, square(0, 0, 2, 1), square(1, 1, 2, 3)},
         "contours at different elevations cross -- no ground has two heights at one point", 0, 1},
        {"figure eight", {curve({{0, 0, 1}, {2, 2, 1}, {2, 0, 1}, {0, 2, 1}}, true)}, "a contour crosses itself", 0, 0},
        {"vertical step ignored", {curve({{0, 0, 1}, {5, 0, 1}, {5, 0.00001f, 3}, {9, 0, 3}}, false), square(0, 1, 2, 2)}, "", -1, -1},
        {"non-finite", {square(0, 5, 1, 1), curve({{0, 0, 1}, {NAN, 0, 1}}, false)}, "contour has a non-finite coordinate", 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ContourCheckResult r = check_contours(row.curves);
        EXPECT_STREQ(r.message, row.message);
        EXPECT_EQ(r.ok, row.message[0] == '\0');
        EXPECT_EQ(r.blame_a, row.blame_a);
        EXPECT_EQ(r.blame_b, row.blame_b);
    }
    const ContourCheckResult step = check_contours(rows[6].curves);
    EXPECT_EQ(step.segments, 2u + 4u);  // the vertical step is no segment
}

// Plainly: two segments of different contours at different levels meet when they come
// within the contact distance.
double segment_distance(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
    auto cross = [](double ox, double oy, double ax, double ay, double bx, double by) {
        return (ax - ox) * (by - oy) - (ay - oy) * (bx - ox);
    };
    const double d1 = cross(a.x, a.y, b.x, b.y, c.x, c.y), d2 = cross(a.x, a.y, b.x, b.y, d.x, d.y);
    const double d3 = cross(c.x, c.y, d.x, d.y, a.x, a.y), d4 = cross(c.x, c.y, d.x, d.y, b.x, b.y);
    if (d1 * d2 < 0 && d3 * d4 < 0) return 0.0;
    auto point = [](const Vec3& p, const Vec3& s, const Vec3& e) {
        const double dx = e.x - s.x, dy = e.y - s.y;
        const double t = std::clamp(((p.x - s.x) * dx + (p.y - s.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
        return std::hypot(s.x + dx * t - p.x, s.y + dy * t - p.y);
    };
    return std::min({point(a, c, d), point(b, c, d), point(c, a, b), point(d, a, b)});
}

TEST(ContourCheck, GridFindsWhatAllPairsFind) {
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> pos(0.0f, 60.0f), dir(-0.5f, 0.5f);
        std::vector<Curve> curves;
        for (int i = 0; i < 150; ++i) {
            const float x = pos(rng), y = pos(rng), z = static_cast<float>(i);
            curves.push_back(curve({{x, y, z}, {x + dir(rng), y + dir(rng), z}}, false));
        }
        bool reference_ok = true;
        for (std::size_t i = 0; i < curves.size() && reference_ok; ++i) {
            for (std::size_t j = i + 1; j < curves.size(); ++j) {
                const auto &p = curves[i].points, &q = curves[j].points;
                if (segment_distance(p[0], p[1], q[0], q[1]) <= 1e-4) reference_ok = false;
            }
        }
        const ContourCheckResult r = check_contours(curves);
        EXPECT_EQ(r.ok, reference_ok);
        EXPECT_LT(r.pair_tests, 150u * 149u / 2u / 4u) << "the grid should spare most pairs";
    }
}

TEST(ContourJoin, JoinsClosesAndExplainsWhatStaysOpen) {
    const ContourJoinOptions defaults;
    struct Row {
        const char* name;
        std::vector<Curve> curves;
        std::uint64_t joined, loops_closed, no_partner, contested, elevation_mismatch, degenerate_loop, ambiguous;
    };
    const std::vector<Row> rows = {
        {"gap 0.3", {curve({{0, 0, 1}, {5, 0, 1}}, false), curve({{5.3f, 0, 1}, {9, 0, 1}}, false)}, 1, 0, 2, 0, 0, 0, 0},
        {"gap 0.6", {curve({{0, 0, 1}, {5, 0, 1}}, false), curve({{5.6f, 0, 1}, {9, 0, 1}}, false)}, 0, 0, 4, 0, 0, 0, 0},
        {"z step", {curve({{0, 0, 1}, {5, 0, 1}}, false), curve({{5.3f, 0, 1.05f}, {9, 0, 1.05f}}, false)}, 0, 0, 2, 0, 2, 0, 0},
        {"three points", {curve({{0, 0, 1}, {4, 0, 1}, {0.2f, 0.1f, 1}}, false)}, 0, 0, 0, 0, 0, 2, 0},
        {"loop left open", {curve({{0, 0, 1}, {4, 0, 1}, {4, 4, 1}, {0, 4, 1}, {0, 0.2f, 1}}, false)}, 0, 1, 0, 0, 0, 0, 0},
        {"three ends", {curve({{0, 0, 1}, {5, 0, 1}}, false), curve({{5.1f, 0, 1}, {9, 0, 1}}, false),
                        curve({{5, 0.3f, 1}, {5, 9, 1}}, false)}, 1, 0, 3, 1, 0, 0, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<Curve> repaired;
        const ContourJoinResult r = join_contour_ends(row.curves, defaults, repaired);
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.joined, row.joined);
        EXPECT_EQ(r.loops_closed, row.loops_closed);
        EXPECT_EQ(r.no_partner, row.no_partner);
        EXPECT_EQ(r.contested, row.contested);
        EXPECT_EQ(r.elevation_mismatch, row.elevation_mismatch);
        EXPECT_EQ(r.degenerate_loop, row.degenerate_loop);
        EXPECT_EQ(r.ambiguous_ends, row.ambiguous);
        EXPECT_EQ(r.left_open, r.no_partner + r.contested + r.elevation_mismatch + r.degenerate_loop);
        if (!r.changed) {
            EXPECT_TRUE(repaired.empty());
            continue;
        }
        // A second pass over the repair has nothing left to do.
        std::vector<Curve> again;
        EXPECT_FALSE(join_contour_ends(repaired, defaults, again).changed);
        std::uint64_t alive = 0;
        for (const Curve& c : repaired) alive += c.alive ? 1 : 0;
        EXPECT_EQ(alive, row.curves.size() - r.joined);
    }
    std::vector<Curve> repaired;
    const ContourJoinResult z = join_contour_ends(rows[2].curves, defaults, repaired);
    EXPECT_NEAR(z.worst_rejected_elevation_step, 0.05, 1e-6);
    const ContourJoinResult loop = join_contour_ends(rows[4].curves, defaults, repaired);
    ASSERT_TRUE(loop.changed);
    EXPECT_TRUE(repaired[0].closed);
    EXPECT_EQ(repaired[0].points.size(), 4u);
}

TEST(ContourJoin, RefusesAndUndoes) {
    std::vector<Curve> out;
    ContourJoinOptions bad;
    bad.join_tolerance = 0;
    EXPECT_STREQ(join_contour_ends({}, bad, out).message, "join tolerance must be positive and finite");
    const std::vector<Curve> one_point{square(0, 0, 1, 1), curve({{0, 0, 1}, {0, 0, 1}}, false)};
    const ContourJoinResult r = join_contour_ends(one_point, {}, out);
    EXPECT_STREQ(r.message, "contour has fewer than two distinct points");
    EXPECT_EQ(r.blame_contour, 1);
    EXPECT_EQ(r.duplicate_points_dropped, 1u);
    EXPECT_STREQ(join_contour_ends(std::vector<Curve>{curve({{0, 0, 0}, {1, 0, 0}, {0, 0, 0}}, true)}, {}, out).message,
                 "closed contour has fewer than three distinct points");
    EXPECT_STREQ(join_contour_ends(std::vector<Curve>{curve({{0, 0, 0}, {1, 0, 2}}, false)}, {}, out).message,
                 "contour is not level -- its elevation spread exceeds the limit");

    Document doc;
    Mesh& mesh = doc.root().mesh;
    mesh.add_curve({{0, 0, 1}, {5, 0, 1}, {5, 0, 1}}, false);
    mesh.add_curve({{5.2f, 0, 1}, {9, 0, 1}}, false);
    mesh.add_curve(square(0, 0, 1, 1).points, true);
    const Mesh before = mesh;
    JoinContourEndsCommand join(doc, MeshLocator::of_node(&doc.root()), {});
    EXPECT_EQ(join.name(), "Join Contours");
    join.redo();
    ASSERT_TRUE(join.result().changed);
    EXPECT_FALSE(mesh.curves()[1].alive);
    join.undo();
    EXPECT_TRUE(same_mesh_content(mesh, before));
}

// A square face of side s at height z; clockwise when `down`.
FaceId add_square_face(Mesh& mesh, float x, float y, float s, float z, bool down = false) {
    std::vector<VertexId> v{mesh.add_vertex({x, y, z}), mesh.add_vertex({x + s, y, z}),
                            mesh.add_vertex({x + s, y + s, z}), mesh.add_vertex({x, y + s, z})};
    if (down) std::reverse(v.begin(), v.end());
    return *mesh.add_ngon(v);
}

TEST(TerrainExtrude, RaisesFacesToTheirContours) {
    struct Row {
        const char* name;
        float face_z;
        bool down;
        std::vector<Curve> contours;
        std::uint64_t extruded, already, below, rewound, spanning;
        double level;
    };
    const std::vector<Row> rows = {
        {"flat square", 0, false, {square(-1, -1, 4, 2)}, 1, 0, 0, 0, 0, 2},
        {"clockwise", 0, true, {square(-1, -1, 4, 2)}, 1, 0, 0, 1, 0, 2},
        {"nested", 0, false, {square(-5, -5, 12, 1), square(-1, -1, 4, 3)}, 1, 0, 0, 0, 0, 3},
        {"straddling", 0, false, {square(-5, -5, 12, 1), square(1, -1, 4, 3)}, 1, 0, 0, 0, 1, 1},
        {"at level", 2, false, {square(-1, -1, 4, 2)}, 0, 1, 0, 0, 0, 0},
        {"above", 3, false, {square(-1, -1, 4, 2)}, 0, 0, 1, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Mesh mesh;
        const FaceId face = add_square_face(mesh, 0, 0, 2, row.face_z, row.down);
        for (const Curve& c : row.contours) mesh.add_curve(c);
        const MeshTableSizes before = MeshTableSizes::of(mesh);
        const TerrainExtrudeResult r = extrude_up_to_contours(mesh, std::vector<FaceId>{face});
        EXPECT_EQ(r.extruded, row.extruded);
        EXPECT_EQ(r.already_at_level, row.already);
        EXPECT_EQ(r.contour_below, row.below);
        EXPECT_EQ(r.rewound, row.rewound);
        EXPECT_EQ(r.spanning, row.spanning);
        if (row.extruded == 0) {
            EXPECT_STREQ(r.message, "no face could be extruded");
            EXPECT_EQ(MeshTableSizes::of(mesh), before);
            continue;
        }
        ASSERT_TRUE(r.ok) << r.message;
        EXPECT_EQ(r.levels, 1u);
        EXPECT_DOUBLE_EQ(r.lowest, row.level);
        EXPECT_NEAR(r.volume, 4.0 * row.level, 1e-5);
        test::expect_closed_solids(mesh);
        EXPECT_NEAR(test::piece_volumes(mesh)[0], r.volume, 1e-4);
    }
}

TEST(TerrainExtrude, SkipsRefusesAndCountsEveryFace) {
    Mesh mesh;
    std::vector<FaceId> faces{add_square_face(mesh, 0, 0, 1, 0), add_square_face(mesh, 2, 0, 1, 0),
                              add_square_face(mesh, 20, 20, 1, 0), 999};
    const VertexId a = mesh.add_vertex({5, 0, 0}), b = mesh.add_vertex({6, 0, 0}),
                   c = mesh.add_vertex({6, 1, 0.5f});
    faces.push_back(*mesh.add_triangle(a, b, c));  // sloped
    mesh.add_curve(square(-1, -1, 8, 2).points, true);
    mesh.add_curve({{30, 30, 5}, {31, 30, 5}}, false);
    const TerrainExtrudeResult r = extrude_up_to_contours(mesh, faces);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.extruded, 2u);
    EXPECT_EQ(r.uncovered, 1u);
    EXPECT_EQ(r.invalid, 1u);
    EXPECT_EQ(r.not_horizontal, 1u);
    EXPECT_EQ(r.open_contours_ignored, 1u);
    EXPECT_EQ(r.extruded + r.invalid + r.not_horizontal + r.degenerate + r.off_face + r.uncovered +
                  r.already_at_level + r.contour_below,
              faces.size());
    // The two terraces are closed; only the sides of the two faces left alone stay open.
    EXPECT_EQ(mesh.naked_edge_count(), 4u + 3u);
    const std::vector<double> volumes = test::piece_volumes(mesh);
    EXPECT_NEAR(volumes[0], 2.0, 1e-5);
    EXPECT_NEAR(volumes[1], 2.0, 1e-5);

    Mesh open_only;
    const FaceId f = add_square_face(open_only, 0, 0, 1, 0);
    open_only.add_curve({{-1, -1, 2}, {3, -1, 2}}, false);
    EXPECT_STREQ(extrude_up_to_contours(open_only, std::vector<FaceId>{f}).message,
                 "no closed contour -- an open contour encloses nothing and cannot set a level");
    EXPECT_STREQ(extrude_up_to_contours(open_only, {}).message, "no faces given");

    // Two identical contours at different levels: the gate would refuse them, so without it
    // the higher one wins and the face is ambiguous.
    Mesh twin;
    const FaceId g = add_square_face(twin, 0, 0, 1, 0);
    twin.add_curve(square(-1, -1, 4, 2));
    twin.add_curve(square(-1, -1, 4, 3));
    EXPECT_FALSE(extrude_up_to_contours(twin, std::vector<FaceId>{g}).ok);
    TerrainExtrudeOptions no_gate;
    no_gate.run_gate = false;
    const TerrainExtrudeResult t = extrude_up_to_contours(twin, std::vector<FaceId>{g}, no_gate);
    ASSERT_TRUE(t.ok);
    EXPECT_EQ(t.ambiguous, 1u);
    EXPECT_DOUBLE_EQ(t.highest, 3.0);
}

TEST(TerrainExtrude, CommandUndoRestoresTheMesh) {
    Document doc;
    Mesh& mesh = doc.root().mesh;
    const FaceId f = add_square_face(mesh, 0, 0, 1, 0);
    mesh.add_curve(square(-1, -1, 4, 2));
    const Mesh before = mesh;
    ExtrudeUpToContoursCommand cmd(doc, MeshLocator::of_node(&doc.root()), {f});
    EXPECT_EQ(cmd.name(), "Extrude Up to Contours");
    cmd.redo();
    ASSERT_TRUE(cmd.result().ok);
    cmd.undo();
    EXPECT_TRUE(same_mesh_content(mesh, before));
}

}  // namespace
}  // namespace korvan
