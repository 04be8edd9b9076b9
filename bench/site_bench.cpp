// Site tools on synthetic terrain: hills of ten concentric contour rings of 500 points each
// (20 hills: 200 rings, 100,000 segments) over a linked grid of 1 m faces, 100 x 100 for
// 20 hills; the doubled site puts twice the hills beside them over twice the faces. Times
// should grow about linearly with the site. Medians come from the repetitions.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "core/mesh.h"
#include "tools/contour_check.h"
#include "tools/terrain_extrude.h"

namespace korvan {
namespace {

constexpr int kRepetitions = 5;
constexpr int kRingsPerHill = 10;
constexpr int kPointsPerRing = 500;
constexpr int kHillRows = 4;
constexpr float kHillPitch = 20.0f;  // metres between hill centres

// `columns` x 4 hills and a grid of (columns x 20) x 100 faces at z = 0.
Mesh site(int columns) {
    Mesh m;
    for (int hx = 0; hx < columns; ++hx) {
        for (int hy = 0; hy < kHillRows; ++hy) {
            const double cx = (hx + 0.5) * kHillPitch, cy = (hy + 0.5) * kHillPitch;
            for (int k = 0; k < kRingsPerHill; ++k) {
                const double r = 9.5 * (kRingsPerHill - k) / kRingsPerHill;
                std::vector<Vec3> pts;
                for (int i = 0; i < kPointsPerRing; ++i) {
                    const double a = 6.283185307179586 * i / kPointsPerRing;
                    const double wobble = 1.0 + 0.03 * std::sin(7.0 * a + hx + hy);
                    pts.push_back({static_cast<float>(cx + r * wobble * std::cos(a)),
                                   static_cast<float>(cy + r * wobble * std::sin(a)),
                                   static_cast<float>(1.0 + k)});
                }
                m.add_curve(std::move(pts), true);
            }
        }
    }
    const int nx = columns * 20, ny = 100;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) m.add_vertex({float(i), float(j), 0.0f});
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            const auto v = static_cast<VertexId>(j * (nx + 1) + i);
            m.add_quad(v, v + 1, v + nx + 2, v + nx + 1);
        }
    }
    m.link_shared_edges();
    return m;
}

void BM_ContourCheck(benchmark::State& state) {
    const Mesh m = site(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const ContourCheckResult r = check_contours(m.curves());
        if (!r.ok) state.SkipWithError(r.message);
        benchmark::DoNotOptimize(r.pair_tests);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * kHillRows * kRingsPerHill *
                            kPointsPerRing);
}
BENCHMARK(BM_ContourCheck)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

void BM_TerrainExtrude(benchmark::State& state) {
    const Mesh source = site(static_cast<int>(state.range(0)));
    const std::vector<FaceId> faces = source.alive_faces();
    for (auto _ : state) {
        state.PauseTiming();
        Mesh m = source;
        state.ResumeTiming();
        const TerrainExtrudeResult r = extrude_up_to_contours(m, faces);
        if (!r.ok) state.SkipWithError(r.message);
        benchmark::DoNotOptimize(r.volume);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(faces.size()));
}
BENCHMARK(BM_TerrainExtrude)->Arg(5)->Arg(10)->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace korvan
