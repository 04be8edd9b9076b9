// Solid booleans, both engines, on the pair that stresses a BSP most: two closed lat-long spheres
// of radius 1, the second moved by (0.6, 0.0123, 0.0371) and turned 0.37 rad about z, at 1,024,
// 4,096, 20,164 and 200,000 triangles a side. Each run includes conversion both ways and the repair
// of the result. Medians come from the repetitions; the output polygon count is a counter.
//
// `boolean_bench --write-spheres DIR` writes the pairs as DIR/sphere_<n>_a.korv and _b.korv
// for timing the mesh-boolean verb in fresh processes.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "document/document.h"
#include "io/korv_writer.h"
#include "tests/support/solid_builders.h"
#include "tools/boolean_bsp.h"
#include "tools/boolean_exact.h"

namespace korvan {
namespace {

constexpr int kRepetitions = 3;

struct Size {
    int segments, rings;  // 2 * segments * (rings - 1) triangles
};
constexpr Size kSizes[] = {{32, 17}, {64, 33}, {142, 72}, {500, 201}};

Mesh sphere(const Size& s, bool moved) {
    return moved ? test::sphere_solid(s.segments, s.rings, 1.0f,
                                      test::turn_about_z(0.37f, {}, {0.6f, 0.0123f, 0.0371f}))
                 : test::sphere_solid(s.segments, s.rings, 1.0f);
}

void BM_BspUnion(benchmark::State& state) {
    const Size s = kSizes[state.range(0)];
    const Mesh a = sphere(s, false), b = sphere(s, true);
    CsgStats stats;
    for (auto _ : state) {
        Mesh u = csg_boolean(BooleanOp::kUnion, a, b, &stats);
        benchmark::DoNotOptimize(u);
    }
    state.counters["triangles_a_side"] = static_cast<double>(a.alive_face_count());
    state.counters["polygons_out"] = static_cast<double>(stats.polygons_out);
}
BENCHMARK(BM_BspUnion)
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

// The 200,000-triangle pair is left to the exact engine: the partition's chain-shaped trees
// make the BSP quadratic in the polygon count (time it through the verb on the written pair).
void BM_ExactUnion(benchmark::State& state) {
    const Size s = kSizes[state.range(0)];
    const Mesh a = sphere(s, false), b = sphere(s, true);
    std::uint64_t faces = 0;
    for (auto _ : state) {
        std::optional<Mesh> u = exact_boolean(BooleanOp::kUnion, a, b);
        faces = u ? u->alive_face_count() : 0;
        benchmark::DoNotOptimize(u);
    }
    state.counters["triangles_a_side"] = static_cast<double>(a.alive_face_count());
    state.counters["faces_out"] = static_cast<double>(faces);
}
BENCHMARK(BM_ExactUnion)
    ->DenseRange(0, 3)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();

int write_spheres(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    for (const Size& s : kSizes) {
        const std::string n = std::to_string(2 * s.segments * (s.rings - 1));
        for (const bool moved : {false, true}) {
            Document doc;
            doc.root().mesh = sphere(s, moved);
            const auto path = dir / ("sphere_" + n + (moved ? "_b" : "_a") + ".korv");
            if (!io::write_document(path, doc)) return 1;
        }
    }
    return 0;
}

}  // namespace
}  // namespace korvan

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-spheres") == 0) {
        return korvan::write_spheres(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
