// The stair solver against its bands and a plain search over riser counts, its refusals, and
// the generated model: closed solids whose treads sit at the solver's rise and going.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

#include "core/mesh.h"
#include "tests/support/solid_checks.h"
#include "tools/stair.h"

namespace korvan {
namespace {

constexpr double kSlack = 1e-5;

// The best deviation from the Blondel target that any riser count can reach, by trying
// every count from 1 to 200 with the going nearest the target inside both bands.
double best_deviation(const StairSpec& spec) {
    const StairCode& c = spec.code;
    const bool landing = spec.shape != StairShape::kStraight;
    double best = 1e9;
    for (int n = landing ? 3 : 2; n <= 200; ++n) {
        const double r = double(spec.total_rise) / n;
        const int q = landing ? n - 2 : n - 1;
        if (r < c.riser_min - 1e-6 || r > c.riser_max + 1e-6 || q < 1) continue;
        const double lo = std::max(c.blondel_min - 2 * r, double(c.going_min));
        double hi = std::min(c.blondel_max - 2 * r, double(c.going_max));
        if (spec.run_cap > 0) hi = std::min(hi, double(spec.run_cap) / q);
        if (lo > hi + 1e-6) continue;
        const double g = std::clamp(c.blondel_target - 2 * r, lo, std::max(lo, hi));
        best = std::min(best, std::fabs(2 * r + g - c.blondel_target));
    }
    return best;
}

TEST(StairSolver, EverySolvedStairIsInsideEveryBandAndAsNearTheTargetAsAnyCount) {
    int solved = 0, refused = 0;
    for (const StairShape shape : {StairShape::kStraight, StairShape::kL}) {
        for (const float cap : {0.0f, 3.0f, 5.0f}) {
            for (float rise = 0.1f; rise < 6.0f; rise += 0.0731f) {
                StairSpec spec;
                spec.total_rise = rise;
                spec.run_cap = cap;
                spec.shape = shape;
                const StairSolution s = solve_stair(spec);
                SCOPED_TRACE(testing::Message() << "rise " << rise << " cap " << cap);
                const double reference = best_deviation(spec);
                if (!s.ok) {
                    ++refused;
                    EXPECT_FALSE(s.message.empty());
                    EXPECT_EQ(reference, 1e9);
                    continue;
                }
                ++solved;
                const StairCode& c = spec.code;
                EXPECT_NEAR(double(s.riser) * s.risers, rise, 1e-4);
                EXPECT_GE(s.riser, c.riser_min - kSlack);
                EXPECT_LE(s.riser, c.riser_max + kSlack);
                EXPECT_GE(s.going, c.going_min - kSlack);
                EXPECT_LE(s.going, c.going_max + kSlack);
                EXPECT_GE(s.blondel, c.blondel_min - kSlack);
                EXPECT_LE(s.blondel, c.blondel_max + kSlack);
                EXPECT_EQ(s.goings, s.risers - (shape == StairShape::kStraight ? 1 : 2));
                EXPECT_NEAR(s.run, s.goings * s.going, 1e-4);
                if (cap > 0) {
                    EXPECT_LE(s.run, cap + kSlack);
                }
                EXPECT_NEAR(std::fabs(s.blondel - c.blondel_target), reference, 1e-5);
            }
        }
    }
    EXPECT_GT(solved, 100);
    EXPECT_GT(refused, 5);
}

TEST(StairSolver, DefaultRiseAndTheRefusals) {
    const StairSolution d = solve_stair({});
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.risers, 19);
    EXPECT_EQ(d.goings, 18);
    EXPECT_NEAR(d.riser, 0.1737f, 1e-4f);
    EXPECT_NEAR(d.going, 0.2826f, 1e-4f);
    EXPECT_NEAR(d.blondel, 0.63f, 1e-5f);
    EXPECT_NEAR(d.run, 5.087f, 1e-3f);

    struct Row {
        float rise, width, cap;
        std::string message;
    };
    const Row rows[] = {
        {3.3f, 0.9f, 4.0f,
         "run_length 4.000 m is too short: the shortest code-legal going run for a 3.300 m rise "
         "is 4.547 m"},
        {0.1f, 0.9f, 0.0f,
         "no riser count puts the riser in 0.150-0.180 m: a 0.100 m rise needs 0.56-0.67 risers "
         "and there is no whole number of at least 2 in that range"},
        {0.0f, 0.9f, 0.0f, "total_rise must be positive (got 0.000 m)"},
        {-1.0f, 0.0f, 0.0f,
         "total_rise must be positive (got -1.000 m); width must be positive (got 0.000 m)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        StairSpec spec;
        spec.total_rise = row.rise;
        spec.width = row.width;
        spec.run_cap = row.cap;
        const StairSolution s = solve_stair(spec);
        EXPECT_FALSE(s.ok);
        EXPECT_EQ(s.message, row.message);
    }
    StairSpec narrow;
    narrow.code.going_min = 0.36f;
    narrow.code.going_max = 0.40f;
    EXPECT_EQ(solve_stair(narrow).message,
              "no going satisfies Blondel 0.60-0.65 m and the going band 0.360-0.400 m at the same "
              "time");
}

TEST(StairSolver, LandingStaysBetweenTheSecondAndTheLastButOneRiser) {
    for (const int asked : {-3, 0, 1, 2, 9, 18, 19, 40}) {
        SCOPED_TRACE(asked);
        StairSpec spec;
        spec.shape = StairShape::kU;
        spec.landing_after = asked;
        const StairSolution s = solve_stair(spec);
        ASSERT_TRUE(s.ok);
        EXPECT_GE(s.landing_after, 2);
        EXPECT_LE(s.landing_after, s.risers - 1);
        if (asked >= 2 && asked <= s.risers - 1) {
            EXPECT_EQ(s.landing_after, asked);
        }
        EXPECT_EQ(s.landing_depth, spec.width);
    }
}

TEST(StairGenerator, ClosedSolidsWithTreadsAtTheSolvedRiseAndGoing) {
    struct Row {
        StairShape shape;
        bool open;
        StairStringers stringers;
        float rise;
    };
    const Row rows[] = {
        {StairShape::kStraight, false, StairStringers::kMixed, 3.3f},
        {StairShape::kStraight, true, StairStringers::kSawtooth, 0.35f},
        {StairShape::kL, false, StairStringers::kHoused, 2.8f},
        {StairShape::kU, true, StairStringers::kNone, 3.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.shape) * 10 + static_cast<int>(row.stringers));
        StairSpec spec;
        spec.shape = row.shape;
        spec.open_risers = row.open;
        spec.stringers = row.stringers;
        spec.total_rise = row.rise;
        const StairSolution s = solve_stair(spec);
        ASSERT_TRUE(s.ok);
        const auto doc = StairGenerator::make_stair_document(spec, s);
        ASSERT_TRUE(doc);
        const Mesh& m = doc->root().mesh;
        test::expect_closed_solids(m);
        // The upward faces of the treads and the landing: one at each riser's height but the
        // last (the upper floor), and for a straight flight ending j goings along.
        std::set<int> steps;
        for (const FaceId f : m.alive_faces()) {
            if (m.face_normal(f).z < 0.99f) continue;
            const Vec3 c = m.face_centroid(f);
            const double j = c.z / s.riser;
            const int k = static_cast<int>(std::lround(j));
            if (std::fabs(j - k) > 1e-4 || k < 1) continue;  // stringer tops sit between
            steps.insert(k);
            if (row.shape != StairShape::kStraight) continue;
            float far = -1e9f;
            for (const VertexId v : m.face_vertices(f)) far = std::max(far, m.vertices()[v].position.y);
            EXPECT_NEAR(far, k * s.going, 1e-4f) << "tread " << k;
        }
        EXPECT_EQ(steps.size(), static_cast<std::size_t>(s.risers - 1));
        EXPECT_EQ(*steps.rbegin(), s.risers - 1);
    }
}

}  // namespace
}  // namespace korvan
