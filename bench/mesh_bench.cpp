// Whole-mesh scans and building on two meshes of about a million quads: an n x n grid (open,
// 4n naked edges) and an n x n torus (closed). Both are linked by index arithmetic so the
// scans see real shared edges. Medians come from the repetitions.

#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/background.h"
#include "core/mesh.h"

namespace korvan {
namespace {

constexpr int kSide = 1000;
constexpr int kRepetitions = 5;

enum class Shape { kGrid, kTorus };

VertexId grid_vertex(int i, int j) { return static_cast<VertexId>(j * (kSide + 1) + i); }
VertexId torus_vertex(int i, int j) {
    return static_cast<VertexId>((i % kSide) * kSide + (j % kSide));
}

// Vertices and quads only; faces are islands until link() runs.
Mesh build(Shape shape, bool reserve) {
    Mesh m;
    const std::size_t faces = std::size_t{kSide} * kSide;
    if (reserve) {
        const std::size_t verts = shape == Shape::kGrid ? (kSide + 1) * (kSide + 1) : faces;
        m.reserve(verts, 8 * faces, 4 * faces, faces);
    }
    if (shape == Shape::kGrid) {
        for (int j = 0; j <= kSide; ++j) {
            for (int i = 0; i <= kSide; ++i) {
                m.add_vertex({static_cast<float>(i), static_cast<float>(j), 0.0f});
            }
        }
        for (int j = 0; j < kSide; ++j) {
            for (int i = 0; i < kSide; ++i) {
                m.add_quad(grid_vertex(i, j), grid_vertex(i + 1, j), grid_vertex(i + 1, j + 1),
                           grid_vertex(i, j + 1));
            }
        }
    } else {
        constexpr double kTwoPi = 6.283185307179586;
        for (int i = 0; i < kSide; ++i) {
            for (int j = 0; j < kSide; ++j) {
                const double u = kTwoPi * i / kSide, v = kTwoPi * j / kSide;
                const double r = 3.0 + std::cos(v);
                m.add_vertex({static_cast<float>(r * std::cos(u)),
                              static_cast<float>(r * std::sin(u)),
                              static_cast<float>(std::sin(v))});
            }
        }
        for (int i = 0; i < kSide; ++i) {
            for (int j = 0; j < kSide; ++j) {
                m.add_quad(torus_vertex(i, j), torus_vertex(i + 1, j), torus_vertex(i + 1, j + 1),
                           torus_vertex(i, j + 1));
            }
        }
    }
    return m;
}

// Face (i, j) owns half-edges 8f..8f+3, sides in ring order: +i, +j, -i, -j. Its +i side
// (1) meets side 3 of the next face along i, its +j side (2) meets side 0 of the next along j.
void link(Mesh& m, Shape shape) {
    const bool wrap = shape == Shape::kTorus;
    auto face = [&](int i, int j) {
        return wrap ? static_cast<FaceId>((i % kSide) * kSide + (j % kSide))
                    : static_cast<FaceId>(j * kSide + i);
    };
    // Face ids run j fastest on the torus and i fastest on the grid; the rings are alike.
    const int limit = wrap ? kSide : kSide - 1;
    for (int a = 0; a < kSide; ++a) {
        for (int b = 0; b < kSide; ++b) {
            if (a < limit) m.link_half_edges(8 * face(a, b) + 1, 8 * face(a + 1, b) + 3);
            if (b < limit) m.link_half_edges(8 * face(a, b) + 2, 8 * face(a, b + 1) + 0);
        }
    }
}

const Mesh& cached(Shape shape) {
    static const Mesh grid = [] {
        Mesh m = build(Shape::kGrid, false);
        link(m, Shape::kGrid);
        return m;
    }();
    static const Mesh solid = [] {
        Mesh m = build(Shape::kTorus, false);
        link(m, Shape::kTorus);
        return m;
    }();
    return shape == Shape::kGrid ? grid : solid;
}

Shape shape_of(const benchmark::State& state) {
    return state.range(0) == 0 ? Shape::kGrid : Shape::kTorus;
}

void name_shape(benchmark::State& state) {
    std::string label = state.range(0) == 0 ? "grid" : "torus";
    if (state.range(1) != 0) label += " sequential";
    state.SetLabel(label);
}

// Scans run chunked on the parallel algorithms; with arg 1 = 1 they run as a background job
// does, in order on the calling thread, which shows what the parallel run gains.
class ScanMode {
public:
    explicit ScanMode(const benchmark::State& state) {
        if (state.range(1) != 0) job_.emplace(never_);
    }

private:
    std::atomic<bool> never_{false};
    std::optional<background::JobScope> job_;
};

// Arg 1: 0 lets the tables grow by themselves, 1 reserves them first as the file reader does.
void BM_BuildWithAddNgon(benchmark::State& state) {
    const Shape shape = shape_of(state);
    const bool reserve = state.range(1) != 0;
    for (auto _ : state) {
        Mesh m = build(shape, reserve);
        benchmark::DoNotOptimize(m.faces().data());
        state.PauseTiming();
        m = Mesh();
        state.ResumeTiming();
    }
    state.SetLabel(std::string(shape == Shape::kGrid ? "grid" : "torus") +
                   (reserve ? " reserved" : " grown"));
    state.SetItemsProcessed(state.iterations() * kSide * kSide);
}

void BM_AliveFaces(benchmark::State& state) {
    const ScanMode mode(state);
    const Mesh& m = cached(shape_of(state));
    for (auto _ : state) benchmark::DoNotOptimize(m.alive_faces());
    name_shape(state);
    state.SetItemsProcessed(state.iterations() * m.faces().size());
}

void BM_NakedEdgeCount(benchmark::State& state) {
    const ScanMode mode(state);
    const Mesh& m = cached(shape_of(state));
    std::uint64_t naked = 0;
    for (auto _ : state) benchmark::DoNotOptimize(naked = m.naked_edge_count());
    name_shape(state);
    state.counters["naked"] = static_cast<double>(naked);
    state.SetItemsProcessed(state.iterations() * m.edges().size());
}

void BM_SignedVolume(benchmark::State& state) {
    const ScanMode mode(state);
    const Mesh& m = cached(shape_of(state));
    float volume = 0.0f;
    for (auto _ : state) benchmark::DoNotOptimize(volume = m.signed_volume());
    name_shape(state);
    state.counters["volume"] = volume;
    state.SetItemsProcessed(state.iterations() * m.faces().size());
}

void BM_AreaOfFaces(benchmark::State& state) {
    const ScanMode mode(state);
    const Mesh& m = cached(shape_of(state));
    const std::vector<FaceId> all = m.alive_faces();
    for (auto _ : state) benchmark::DoNotOptimize(m.area_of_faces(all));
    name_shape(state);
    state.SetItemsProcessed(state.iterations() * all.size());
}

// Not a timing: heap bytes of the linked mesh divided by its faces, as the tables grow by
// themselves (arg 1 = 0) and when reserved up front as the file reader does (arg 1 = 1).
void BM_BytesPerLinkedFace(benchmark::State& state) {
    const Shape shape = shape_of(state);
    const bool reserve = state.range(1) != 0;
    double bytes_per_face = 0.0;
    for (auto _ : state) {
        Mesh m = build(shape, reserve);
        link(m, shape);
        bytes_per_face =
            static_cast<double>(m.memory_bytes()) / static_cast<double>(m.faces().size());
    }
    state.SetLabel(std::string(shape == Shape::kGrid ? "grid" : "torus") +
                   (reserve ? " reserved" : " grown"));
    state.counters["bytes_per_face"] = bytes_per_face;
}

void shapes(benchmark::internal::Benchmark* b) {
    b->Args({0, 0})
        ->Args({0, 1})
        ->Args({1, 0})
        ->Args({1, 1})
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true)
        ->UseRealTime();
}

BENCHMARK(BM_BuildWithAddNgon)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true)
    ->UseRealTime();
BENCHMARK(BM_AliveFaces)->Apply(shapes);
BENCHMARK(BM_NakedEdgeCount)->Apply(shapes);
BENCHMARK(BM_SignedVolume)->Apply(shapes);
BENCHMARK(BM_AreaOfFaces)->Apply(shapes);
BENCHMARK(BM_BytesPerLinkedFace)
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace korvan
