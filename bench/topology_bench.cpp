// Welding a triangle soup and linking freshly created quads, at about a million faces each:
//   - weld_vertices on the soup of a closed 1000 x 500 torus cut into 1,000,000 triangles,
//     every corner its own vertex (3,000,000 vertices, each position six times);
//   - link_shared_edges on a 1000 x 1000 grid of unlinked quads (4,000,000 naked sides).
// Each iteration edits a fresh copy of a prototype built once; the copy is not timed. Wall
// time is the headline (the scans run on all cores), with the process's CPU time beside it.
// Medians come from the repetitions.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "core/mesh.h"

namespace korvan {
namespace {

constexpr int kRepetitions = 5;

const Mesh& torus_soup() {
    static const Mesh soup = [] {
        constexpr int kU = 1000, kV = 500;
        constexpr double kTwoPi = 6.283185307179586;
        Mesh m;
        m.reserve(std::size_t{6} * kU * kV, std::size_t{12} * kU * kV, std::size_t{6} * kU * kV,
                  std::size_t{2} * kU * kV);
        auto at = [&](int i, int j) {
            const double u = kTwoPi * (i % kU) / kU, v = kTwoPi * (j % kV) / kV;
            const double r = 3.0 + std::cos(v);
            return Vec3{static_cast<float>(r * std::cos(u)), static_cast<float>(r * std::sin(u)),
                        static_cast<float>(std::sin(v))};
        };
        for (int i = 0; i < kU; ++i) {
            for (int j = 0; j < kV; ++j) {
                const Vec3 a = at(i, j), b = at(i + 1, j), c = at(i + 1, j + 1), d = at(i, j + 1);
                m.add_triangle(m.add_vertex(a), m.add_vertex(b), m.add_vertex(c));
                m.add_triangle(m.add_vertex(a), m.add_vertex(c), m.add_vertex(d));
            }
        }
        return m;
    }();
    return soup;
}

const Mesh& fresh_grid() {
    static const Mesh grid = [] {
        constexpr int kSide = 1000;
        Mesh m;
        m.reserve(std::size_t{kSide + 1} * (kSide + 1), std::size_t{8} * kSide * kSide,
                  std::size_t{4} * kSide * kSide, std::size_t{kSide} * kSide);
        for (int j = 0; j <= kSide; ++j) {
            for (int i = 0; i <= kSide; ++i) {
                m.add_vertex({static_cast<float>(i), static_cast<float>(j), 0.0f});
            }
        }
        auto id = [](int i, int j) { return static_cast<VertexId>(j * (kSide + 1) + i); };
        for (int j = 0; j < kSide; ++j) {
            for (int i = 0; i < kSide; ++i) {
                m.add_quad(id(i, j), id(i + 1, j), id(i + 1, j + 1), id(i, j + 1));
            }
        }
        return m;
    }();
    return grid;
}

void BM_WeldTriangleSoup(benchmark::State& state) {
    const Mesh& prototype = torus_soup();
    std::uint64_t merged = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Mesh m = prototype;
        state.ResumeTiming();
        merged = m.weld_vertices();
        benchmark::DoNotOptimize(merged);
        state.PauseTiming();
        m = Mesh();  // freeing the copy is not the weld's cost
        state.ResumeTiming();
    }
    state.counters["retired"] = static_cast<double>(merged);
    state.SetItemsProcessed(state.iterations() *
                            static_cast<std::int64_t>(prototype.vertices().size()));
}
BENCHMARK(BM_WeldTriangleSoup)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(kRepetitions)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_LinkFreshGrid(benchmark::State& state) {
    const Mesh& prototype = fresh_grid();
    std::uint64_t links = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Mesh m = prototype;
        state.ResumeTiming();
        links = m.link_shared_edges();
        benchmark::DoNotOptimize(links);
        state.PauseTiming();
        m = Mesh();
        state.ResumeTiming();
    }
    state.counters["links"] = static_cast<double>(links);
    state.SetItemsProcessed(state.iterations() *
                            static_cast<std::int64_t>(prototype.faces().size()));
}
BENCHMARK(BM_LinkFreshGrid)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(kRepetitions)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

}  // namespace
}  // namespace korvan
