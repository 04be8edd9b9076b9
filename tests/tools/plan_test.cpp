#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "core/mat4.h"
#include "tests/support/solid_builders.h"
#include "tools/plan.h"
#include "tools/plan_draft.h"

namespace korvan::plan {
namespace {

using test::box_solid;
using test::solid_from_rings;

// A square tube standing on z = 0: a 4 x 4 block with a 2 x 2 hole through it.
Mesh box_with_hole() {
    std::vector<Vec3> p;
    const float outer[4][2] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}};
    const float inner[4][2] = {{1, 1}, {3, 1}, {3, 3}, {1, 3}};
    for (float z : {0.0f, 2.0f}) {
        for (const auto& q : outer) p.push_back({q[0], q[1], z});
        for (const auto& q : inner) p.push_back({q[0], q[1], z});
    }
    auto ob = [](std::uint32_t i) { return i % 4; };
    auto ib = [](std::uint32_t i) { return 4 + i % 4; };
    auto ot = [](std::uint32_t i) { return 8 + i % 4; };
    auto it = [](std::uint32_t i) { return 12 + i % 4; };
    std::vector<std::vector<std::uint32_t>> rings;
    for (std::uint32_t i = 0; i < 4; ++i) {
        rings.push_back({ob(i), ob(i + 1), ot(i + 1), ot(i)});
        rings.push_back({ib(i + 1), ib(i), it(i), it(i + 1)});
        rings.push_back({ob(i), ib(i), ib(i + 1), ob(i + 1)});
        rings.push_back({ot(i), ot(i + 1), it(i + 1), it(i)});
    }
    return solid_from_rings(p, rings, 0, {});
}

Mesh merged(Mesh a, const Mesh& b) {
    a.merge_mesh(b, Mat4::identity());
    return a;
}

PlanResult plan_at(const Mesh& m, float h) {
    PlanSettings s;
    s.height = h;
    return build_plan(m, s);
}

TEST(Plan, BoxesCutThroughTheMiddleGiveOneExactRingOfTheFootprint) {
    struct Case {
        const char* name;
        Mesh mesh;
        std::uint64_t cut, rings, buried, duplicates;
        double area;
    };
    const Case cases[] = {
        {"box", box_solid({0, 0, 0}, {3, 2, 2.5f}), 4, 1, 0, 0, 6.0},
        {"turned box", box_solid({0, 0, 0}, {3, 2, 2.5f}, 0, test::turn_about_z(0.7f)), 4, 1, 0,
         0, 6.0},
        // The shared wall is buried: one ring around both, six outer sides.
        {"abutting boxes",
         merged(box_solid({0, 0, 0}, {2, 2, 2}), box_solid({2, 0, 0}, {5, 2, 2})), 6, 1, 2, 0,
         10.0},
        {"face twice", merged(box_solid({0, 0, 0}, {2, 2, 2}), box_solid({0, 0, 0}, {2, 2, 2})),
         4, 1, 0, 4, 4.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint64_t hash = geometry_hash(c.mesh);
        const PlanResult r = plan_at(c.mesh, 1.0f);
        EXPECT_EQ(line_count(r, LineKind::kCut), c.cut);
        EXPECT_EQ(r.rings.size(), c.rings);
        EXPECT_EQ(r.buried_overlaps, c.buried);
        EXPECT_EQ(r.duplicates_dropped, c.duplicates);
        EXPECT_NEAR(hatch_area(r), c.area, 1e-4);
        EXPECT_EQ(r.junction_nodes, 0u);
        EXPECT_EQ(r.open_chains, 0u);
        EXPECT_EQ(geometry_hash(c.mesh), hash);
        // Cut lines keep the material on their left: the rings run counter-clockwise.
        for (const HatchRing& ring : r.rings) EXPECT_GT(ring_signed_area(ring.points), 0.0);
    }
}

TEST(Plan, BoxWithAHoleGivesAHoleRingInsideItsOuterRing) {
    const PlanResult r = plan_at(box_with_hole(), 1.0f);
    ASSERT_EQ(r.rings.size(), 2u);
    const std::size_t hole = r.rings[0].is_hole ? 0 : 1;
    EXPECT_TRUE(r.rings[hole].is_hole);
    EXPECT_FALSE(r.rings[1 - hole].is_hole);
    EXPECT_EQ(r.rings[hole].parent, 1 - hole);
    EXPECT_NEAR(ring_signed_area(r.rings[hole].points), -4.0, 1e-4);
    EXPECT_NEAR(hatch_area(r), 12.0, 1e-4);
    EXPECT_EQ(line_count(r, LineKind::kCut), 8u);
    // The bottom caps lie below: their outlines are beyond lines; the top ones are hidden.
    EXPECT_EQ(line_count(r, LineKind::kBeyond), 16u);
    EXPECT_EQ(line_count(r, LineKind::kHidden), 0u);
}

TEST(Plan, VerticesOnThePlaneCrossOnceOrNotAtAll) {
    struct Case {
        const char* name;
        std::vector<Vec3> points;
        std::uint64_t raw, cut, beyond, above;
    };
    const Case cases[] = {
        // A vertex on the plane between a lower and an upper neighbour is itself a crossing.
        {"through a vertex", {{0, 0, 0}, {1, 0, 1.2f}, {0, 0, 2}}, 1, 1, 0, 0},
        {"touching at a vertex", {{0, 0, 0}, {1, 0, 0}, {0.5f, 0, 1.2f}}, 0, 0, 1, 0},
        {"touching along an edge", {{0, 0, 1.2f}, {0, 0, 2}, {1, 0, 2}, {1, 0, 1.2f}}, 0, 0, 0,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh m;
        std::vector<VertexId> ids;
        for (const Vec3& p : c.points) ids.push_back(m.add_vertex(p));
        ASSERT_TRUE(m.add_ngon(ids));
        const PlanResult r = plan_at(m, 1.2f);
        EXPECT_EQ(r.raw_cut_segments, c.raw);
        EXPECT_EQ(r.faces_cut, c.cut);
        EXPECT_EQ(r.faces_beyond, c.beyond);
        EXPECT_EQ(r.faces_above, c.above);
    }
}

TEST(Plan, SettingsChooseTheLineClasses) {
    // Two storeys: the upper box is above a 1.2 m section.
    Mesh m = merged(box_solid({0, 0, 0}, {2, 2, 2.5f}), box_solid({0, 0, 3}, {2, 2, 5.5f}));
    m.add_curve({{0, 0, 0}, {5, 0, 0}, {5, 5, 0}}, true);
    m.add_guide({0, 0, 0}, {0, 7, 0});
    m.add_guide({0, 0, 0}, {7, 0, 0}, true);
    struct Case {
        const char* name;
        bool beyond, above, hatch;
        std::uint64_t beyond_lines, hidden_lines, rings;
    };
    // Hidden: the upper box's floor and roof and two level edges of each wall, and the lower
    // box's roof (vertical edges vanish in plan); beyond: the lower floor, and only when
    // hatching the closed curve's 3 sides and the finite guide.
    const Case cases[] = {{"defaults", true, false, true, 4 + 4, 0, 1},
                          {"above", true, true, true, 4 + 4, 4 + 4 + 8 + 4, 1},
                          {"no beyond", false, false, true, 4, 0, 1},
                          {"no hatch", true, false, false, 4, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PlanSettings s;
        s.include_beyond = c.beyond;
        s.include_above = c.above;
        s.hatch = c.hatch;
        const PlanResult r = build_plan(m, s);
        EXPECT_EQ(line_count(r, LineKind::kBeyond), c.beyond_lines);
        EXPECT_EQ(line_count(r, LineKind::kHidden), c.hidden_lines);
        EXPECT_EQ(r.rings.size(), c.rings);
        EXPECT_EQ(line_count(r, LineKind::kCut), 4u);
    }
}

TEST(Plan, GeometryHashIgnoresOrderAndSeesMoves) {
    const Mesh a = merged(box_solid({0, 0, 0}, {1, 1, 1}), box_solid({3, 0, 0}, {4, 1, 1}));
    const Mesh b = merged(box_solid({3, 0, 0}, {4, 1, 1}), box_solid({0, 0, 0}, {1, 1, 1}));
    EXPECT_EQ(geometry_hash(a), geometry_hash(b));
    Mesh moved = a;
    const FaceId first = 0;
    moved.translate_faces({&first, 1}, {0, 0, -0.5f});
    EXPECT_NE(geometry_hash(moved), geometry_hash(a));
}

std::string read_text(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

TEST(Plan, DxfHoldsEveryLineOnItsLayerAndTheLabels) {
    Mesh m = merged(box_solid({0, 0, 0}, {2, 2, 2.5f}), box_solid({0, 0, 3}, {2, 2, 5.5f}));
    PlanSettings s;
    s.include_above = true;
    const PlanResult r = build_plan(m, s);
    const std::vector<TextLabel> labels = {
        {"Living\nroom", {1, 1, 0}, 0.3f, -1}, {"", {0, 0, 0}, 0.2f, -1}};
    const auto path = std::filesystem::path(testing::TempDir()) /
                      ("plan_" + std::to_string(::getpid()) + ".dxf");
    ASSERT_TRUE(export_plan_dxf(path, r.lines, labels));
    const std::string dxf = read_text(path);
    std::filesystem::remove(path);
    EXPECT_EQ(dxf.rfind("0\nSECTION\n2\nENTITIES\n", 0), 0u);
    EXPECT_EQ(dxf.substr(dxf.size() - 15), "0\nENDSEC\n0\nEOF\n");
    EXPECT_EQ(occurrences(dxf, "LINE\n8\nKORVAN-CUT\n"), line_count(r, LineKind::kCut));
    EXPECT_EQ(occurrences(dxf, "LINE\n8\nKORVAN-BEYOND\n"), line_count(r, LineKind::kBeyond));
    EXPECT_EQ(occurrences(dxf, "LINE\n8\nKORVAN-HIDDEN\n"), line_count(r, LineKind::kHidden));
    // Cut first, then beyond, then hidden.
    EXPECT_LT(dxf.rfind("KORVAN-CUT"), dxf.find("KORVAN-BEYOND"));
    EXPECT_LT(dxf.rfind("KORVAN-BEYOND"), dxf.find("KORVAN-HIDDEN"));
    EXPECT_EQ(occurrences(dxf, "TEXT\n8\nKORVAN-TEXT\n"), 1u);
    EXPECT_NE(dxf.find("\n1\nLiving room\n"), std::string::npos);
    EXPECT_FALSE(export_plan_dxf(path / "no" / "such.dxf", r.lines, labels));
}

TEST(Plan, SvgDrawsEachClassInItsOwnPenAtTheScale) {
    const PlanResult r = plan_at(box_with_hole(), 1.0f);
    for (const double scale : {100.0, 50.0}) {
        SCOPED_TRACE(scale);
        const std::string svg = plan_svg(r, scale);
        // 4 m of drawing plus 10 mm margins each side.
        const std::string side = std::to_string(static_cast<int>(4000 / scale + 20)) + "mm";
        EXPECT_NE(svg.find("width=\"" + side + "\" height=\"" + side + "\""), std::string::npos);
        EXPECT_EQ(occurrences(svg, "stroke-width=\"0.5\""), line_count(r, LineKind::kCut));
        // One filled path for the outer ring, its hole inside it.
        EXPECT_EQ(occurrences(svg, "<path"), 1u);
        EXPECT_EQ(occurrences(svg, " Z"), 2u);
    }
}

}  // namespace
}  // namespace korvan::plan

namespace korvan::plan {
namespace {

PlanLine cut_line(float ax, float ay, float bx, float by) {
    return {{ax, ay}, {bx, by}, LineKind::kCut, 0};
}

TEST(PlanSnap, PrefersEndpointThenIntersectionThenMidpointThenTheLine) {
    struct Case {
        const char* name;
        Point2 cursor;
        SnapKind kind;
        Point2 at;
    };
    // A short line whose midpoint lies nearer than its ends, a long one, and a crossing.
    PlanSnapEngine engine;
    engine.rebuild({cut_line(0, 0, 0.4f, 0), cut_line(0, 2, 4, 2), cut_line(1, 1, 1, 4),
                    cut_line(9, 9, 9, 9)});
    EXPECT_EQ(engine.segment_count(), 3u);
    EXPECT_EQ(engine.point_sample_count(), 9u);
    EXPECT_EQ(engine.degenerate_lines(), 1u);
    const Case cases[] = {
        {"endpoint beats a nearer midpoint", {0.2f, 0.01f}, SnapKind::kEndpoint, {0, 0}},
        {"intersection", {1.05f, 2.05f}, SnapKind::kIntersection, {1, 2}},
        {"midpoint", {2.05f, 2.1f}, SnapKind::kMidpoint, {2, 2}},
        {"on the line", {3.0f, 2.1f}, SnapKind::kOnLine, {3, 2}},
        {"nothing near", {6, 6}, SnapKind::kNone, {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SnapCandidate s = engine.query(c.cursor, 0.25);
        EXPECT_EQ(s.kind, c.kind);
        if (c.kind == SnapKind::kNone) continue;
        EXPECT_NEAR(s.point.x, c.at.x, 1e-5);
        EXPECT_NEAR(s.point.y, c.at.y, 1e-5);
        EXPECT_LE(s.distance, 0.25);
        EXPECT_FALSE(s.held);
        EXPECT_FALSE(s.extended);
    }
}

TEST(PlanSnap, ACommittedSnapHoldsOnPastTheRadius) {
    PlanSnapEngine engine;
    engine.rebuild({cut_line(0, 0, 4, 0)});
    const SnapCandidate first = engine.query({0.1f, 0.1f}, 0.2);
    ASSERT_EQ(first.kind, SnapKind::kEndpoint);
    EXPECT_EQ(engine.query({0.3f, 0.0f}, 0.2).kind, SnapKind::kOnLine);
    engine.commit(first);
    const SnapCandidate held = engine.query({0.3f, 0.0f}, 0.2);
    EXPECT_EQ(held.kind, SnapKind::kEndpoint);
    EXPECT_TRUE(held.held);
}

TEST(PlanSnap, CacheRebuildsOnlyWhenTheGeometryChanges) {
    Mesh m = box_solid({0, 0, 0}, {2, 2, 2});
    PlanCache cache(PlanSettings{});
    cache.sync(m);
    cache.sync(m);
    EXPECT_EQ(cache.refreshes, 2u);
    EXPECT_EQ(cache.rebuilds, 1u);
    EXPECT_EQ(cache.snaps().lines().size(), cache.plan().lines.size());
    const FaceId top = 1;
    m.translate_faces({&top, 1}, {0, 0, 0.5f});
    cache.sync(m);
    EXPECT_EQ(cache.rebuilds, 2u);
}

TEST(PlanSnap, RadiusClampsAndTheWorkPlaneMeetsOnlyRaysThatCrossIt) {
    struct Case {
        double per_pixel, pixels, want;
        bool clamped;
    };
    for (const Case& c : {Case{2, 1, 0.5, true}, Case{0.0001, 1, 0.001, true},
                          Case{20.0 / 720.0, 12, 1.0 / 3.0, false}}) {
        SCOPED_TRACE(c.per_pixel);
        const SnapRadius r = plan_snap_radius(c.per_pixel, c.pixels);
        EXPECT_NEAR(r.metres, c.want, 1e-9);
        EXPECT_EQ(r.clamped, c.clamped);
    }
    PlanWorkPlane storey{3.3f, 1.2f};
    EXPECT_FLOAT_EQ(storey.section_height(), 4.5f);
    const auto hit = storey.hit({1, 2, 20}, {0, 0, -1});
    ASSERT_TRUE(hit);
    EXPECT_FLOAT_EQ(hit->z, 3.3f);
    EXPECT_FALSE(storey.hit({1, 2, 20}, {1, 0, 0}));
    // The box's roof is the first face straight down; beside it nothing.
    const Mesh box = box_solid({0, 0, 0}, {2, 2, 3});
    const auto pick = pick_straight_down(box, 1, 1);
    ASSERT_TRUE(pick);
    EXPECT_NEAR(pick->z, 3.0, 1e-6);
    EXPECT_FALSE(pick_straight_down(box, 5, 5));
}

TEST(OrthoSet, ElevationsSeeTheSidesTurnedTowardsThemAndThePlanCutsLow) {
    const Mesh box = box_solid({1, 2, 0.5f}, {4, 7, 1.5f});
    const OrthoSet set = build_ortho_set(box);
    ASSERT_FALSE(set.empty);
    struct Want {
        double width, area;
    };
    const Want want[4] = {{3, 3}, {5, 5}, {3, 3}, {5, 5}};  // front, right, back, left
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(set.elevations[k].name);
        EXPECT_EQ(set.elevations[k].faces, 1u);
        EXPECT_EQ(set.elevations[k].edges, 4u);
        EXPECT_NEAR(set.elevations[k].width, want[k].width, 1e-5);
        EXPECT_NEAR(set.elevations[k].height, 1.0, 1e-5);
        EXPECT_NEAR(set.elevations[k].area, want[k].area, 1e-5);
    }
    // A piece lower than 2.4 m is cut halfway up.
    EXPECT_FLOAT_EQ(set.plan.height, 1.0f);
    EXPECT_NEAR(hatch_area(set.plan), 15.0, 1e-4);
    EXPECT_TRUE(build_ortho_set(Mesh{}).empty);
}

}  // namespace
}  // namespace korvan::plan
