// The straight skeleton and the bisector offset, judged by what defines them: every point
// of a side's face is as far from that side's line as its inset time, the faces tile the
// polygon, and an offset keeps every side at the same distance.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/polygon_2d_offset.h"
#include "core/polygon_2d_skeleton.h"
#include "tests/support/plan_shapes.h"

namespace korvan {
namespace {

double line_distance(const Point2& p, const Point2& a, const Point2& b) {
    const Point2 n = inward_normal(a, b);
    return (p.x - a.x) * n.x + (p.y - a.y) * n.y;
}

void expect_true_skeleton(const std::vector<Point2>& ring) {
    const StraightSkeleton sk = straight_skeleton(ring);
    ASSERT_TRUE(sk.ok) << sk.error;
    ASSERT_EQ(sk.faces.size(), ring.size());
    double area = 0.0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const SkeletonFace& f = sk.faces[i];
        EXPECT_EQ(f.nodes[0], i);
        std::vector<Point2> pts;
        for (const std::uint32_t k : f.nodes) {
            const SkeletonNode& node = sk.nodes[k];
            pts.push_back(node.position);
            EXPECT_NEAR(line_distance(node.position, ring[i], ring[(i + 1) % ring.size()]),
                        node.time, 1e-5)  // nodes within the merge tolerance are one
                << "face " << i << " node " << k;
        }
        const double face_area = 0.5 * signed_area2(pts);
        EXPECT_GT(face_area, 0.0) << "face " << i;
        area += face_area;
    }
    EXPECT_NEAR(area, 0.5 * signed_area2(ring), 1e-7 * std::abs(signed_area2(ring)));
    EXPECT_EQ(sk.arcs.size(), sk.nodes.size() - 1) << "the skeleton of a simple polygon is a tree";
}

TEST(StraightSkeleton, WingPlansAndStarsMeetTheDistanceRule) {
    for (const test::NamedPlan& plan : test::wing_plans()) {
        SCOPED_TRACE(plan.name);
        expect_true_skeleton(plan.ring);
        if (plan.half_width > 0.0) {
            EXPECT_NEAR(straight_skeleton(plan.ring).max_time, plan.half_width, 1e-9);
        }
    }
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE("star seed " + std::to_string(seed));
        expect_true_skeleton(test::star_plan(10 + 7 * seed, 4.0, 10.0, seed));
    }
}

TEST(StraightSkeleton, CountsEdgeAndSplitEvents) {
    const StraightSkeleton square = straight_skeleton(test::wing_plans()[0].ring);
    EXPECT_EQ(square.split_events, 0u);
    EXPECT_EQ(square.nodes.size(), 6u);  // four corners and the two ends of the ridge
    const StraightSkeleton notched = straight_skeleton(test::wing_plans()[5].ring);
    EXPECT_GE(notched.split_events, 1u);
}

TEST(StraightSkeleton, NamesWhatItCannotResolve) {
    const std::vector<Point2> spike{{0, 0}, {4, 0}, {2, 0}, {2, 3}};
    EXPECT_STREQ(straight_skeleton(spike).error,
                 "a footprint vertex doubles back on itself and has no bisector");
    SkeletonOptions few;
    few.max_events = 2;
    const StraightSkeleton cut = straight_skeleton(test::star_plan(50, 4.0, 10.0, 3), few);
    EXPECT_FALSE(cut.ok);
    EXPECT_STREQ(cut.error, "ran past max_events without finishing (degenerate or self-intersecting)");
}

TEST(PolygonOffset, SidesMoveByTheDistanceAndOverreachFails) {
    const std::vector<Point2> rect{{0, 0}, {6, 0}, {6, 4}, {0, 4}};
    struct Row {
        double distance;
        bool ok;
        double area;
    };
    const Row rows[] = {{1.0, true, 4 * 2}, {-0.5, true, 7 * 5}, {1.999, true, 2.002 * 0.002},
                        {2.0, false, 0}, {2.5, false, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.distance);
        const PolygonOffset off = offset_polygon(rect, row.distance);
        ASSERT_EQ(off.ok, row.ok);
        if (row.ok) {
            EXPECT_NEAR(0.5 * signed_area2(off.points), row.area, 1e-9);
        }
    }
    // A sharp corner grown outwards is bevelled, never a long spike; every point stays at the
    // distance from the sides it belongs to.
    const std::vector<Point2> sliver{{0, 0}, {10, 0}, {0, 1}};
    const PolygonOffset grown = offset_polygon(sliver, -0.5);
    ASSERT_TRUE(grown.ok);
    EXPECT_EQ(grown.bevelled, 1u);
    ASSERT_EQ(grown.points.size(), 4u);
    for (std::size_t k = 0; k < grown.points.size(); ++k) {
        const std::uint32_t s = grown.source[k];
        const Point2 &a = sliver[s], &b = sliver[(s + 1) % 3];
        if (grown.source[(k + 1) % 4] != s) {
            EXPECT_NEAR(line_distance(grown.points[k], a, b), -0.5, 1e-9);
        }
    }
    // The notch of a concave plan closes under a large inset: that offset is refused.
    const std::vector<Point2> comb{{0, 0}, {10, 0}, {10, 6}, {6, 6}, {5, 1}, {4, 6}, {0, 6}};
    EXPECT_TRUE(offset_polygon(comb, 0.2).ok);
    EXPECT_FALSE(offset_polygon(comb, 1.5).ok);
}

}  // namespace
}  // namespace korvan
