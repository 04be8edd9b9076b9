// Modelling operations at the sizes the tools meet: plane cuts of a closed torus of 200,000
// quads, and push/pull of every face of a 100 x 100 grid one after another (each pull makes
// new side walls, and each later pull's neighbour test must still find its neighbours through
// the spatial index rather than by scanning the grown mesh). Inputs are built once per run and
// copied outside the timed region. Medians come from the repetitions.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>

#include "core/mesh.h"

namespace korvan {
namespace {

constexpr int kRepetitions = 5;
constexpr int kTorusAround = 500;  // 500 x 400 quads = 200,000 faces
constexpr int kTorusTube = 400;
constexpr int kGridSide = 100;  // 10,000 faces

Mesh torus() {
    Mesh m;
    const std::size_t faces = std::size_t{kTorusAround} * kTorusTube;
    m.reserve(faces, 8 * faces, 4 * faces, faces);
    constexpr double kTwoPi = 6.283185307179586;
    auto vertex = [](int i, int j) {
        return static_cast<VertexId>((i % kTorusAround) * kTorusTube + (j % kTorusTube));
    };
    for (int i = 0; i < kTorusAround; ++i) {
        for (int j = 0; j < kTorusTube; ++j) {
            const double u = kTwoPi * i / kTorusAround, v = kTwoPi * j / kTorusTube;
            const double r = 3.0 + std::cos(v);
            m.add_vertex({static_cast<float>(r * std::cos(u)), static_cast<float>(r * std::sin(u)),
                          static_cast<float>(std::sin(v))});
        }
    }
    for (int i = 0; i < kTorusAround; ++i) {
        for (int j = 0; j < kTorusTube; ++j) {
            m.add_quad(vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1), vertex(i, j + 1));
        }
    }
    m.link_shared_edges();
    return m;
}

Mesh grid() {
    Mesh m;
    auto vertex = [](int i, int j) { return static_cast<VertexId>(j * (kGridSide + 1) + i); };
    for (int j = 0; j <= kGridSide; ++j) {
        for (int i = 0; i <= kGridSide; ++i) {
            m.add_vertex({static_cast<float>(i), static_cast<float>(j), 0.0f});
        }
    }
    for (int j = 0; j < kGridSide; ++j) {
        for (int i = 0; i < kGridSide; ++i) {
            m.add_quad(vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1), vertex(i, j + 1));
        }
    }
    m.link_shared_edges();
    return m;
}

const Mesh& shared_torus() {
    static const Mesh m = torus();
    return m;
}

// A plane across the tube on both sides of the hole, slightly off the vertex rings.
constexpr Vec3 kCutPoint{0.0123f, 0.0f, 0.0f};
constexpr Vec3 kCutNormal{1.0f, 0.0f, 0.0f};

void BM_SplitByPlane(benchmark::State& state) {
    const Mesh& source = shared_torus();
    std::uint64_t split = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Mesh m = source;
        state.ResumeTiming();
        split = m.split_by_plane(kCutPoint, kCutNormal).faces_split;
        benchmark::DoNotOptimize(split);
    }
    state.counters["faces_split"] = static_cast<double>(split);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(source.faces().size()));
}
BENCHMARK(BM_SplitByPlane)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

void BM_SliceByPlaneCapped(benchmark::State& state) {
    const Mesh& source = shared_torus();
    std::uint64_t naked = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Mesh m = source;
        state.ResumeTiming();
        naked = m.slice_by_plane(kCutPoint, kCutNormal, true, true).naked_after;
        benchmark::DoNotOptimize(naked);
    }
    state.counters["naked_after"] = static_cast<double>(naked);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(source.faces().size()));
}
BENCHMARK(BM_SliceByPlaneCapped)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

void BM_PushPullEveryGridFace(benchmark::State& state) {
    static const Mesh source = grid();
    const auto faces = static_cast<FaceId>(source.faces().size());
    std::uint64_t made = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Mesh m = source;
        state.ResumeTiming();
        made = 0;
        for (FaceId f = 0; f < faces; ++f) made += m.push_pull(f, 0.25f) ? 1 : 0;
        benchmark::DoNotOptimize(made);
    }
    state.counters["caps"] = static_cast<double>(made);
    state.SetItemsProcessed(state.iterations() * faces);
}
BENCHMARK(BM_PushPullEveryGridFace)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace korvan
