// Block hashes and the spatial index on a linked 1000 x 1000 quad grid (a million faces,
// eight million half-edges): the build from nothing, its two halves, and the refresh after
// one vertex moved, which should rebuild a handful of chunks and the top level only.

#include <benchmark/benchmark.h>

#include <memory>

#include "core/mesh.h"
#include "core/mesh_block_hashes.h"
#include "core/spatial_index.h"

namespace korvan {
namespace {

constexpr int kSide = 1000;
constexpr int kRepetitions = 5;

VertexId grid_vertex(int i, int j) { return static_cast<VertexId>(j * (kSide + 1) + i); }
FaceId grid_face(int i, int j) { return static_cast<FaceId>(j * kSide + i); }

// Face (i, j) owns half-edges 8f..8f+3 with sides +i, +j, -i, -j in ring order; linking by
// index arithmetic keeps the set-up short.
Mesh linked_grid() {
    Mesh m;
    const std::size_t faces = std::size_t{kSide} * kSide;
    m.reserve((kSide + 1) * (kSide + 1), 8 * faces, 4 * faces, faces);
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
    for (int j = 0; j < kSide; ++j) {
        for (int i = 0; i < kSide; ++i) {
            if (i + 1 < kSide)
                m.link_half_edges(8 * grid_face(i, j) + 1, 8 * grid_face(i + 1, j) + 3);
            if (j + 1 < kSide) m.link_half_edges(8 * grid_face(i, j) + 2, 8 * grid_face(i, j + 1));
        }
    }
    return m;
}

// Never asked for hashes or an index, so each copy starts from nothing.
const Mesh& base_grid() {
    static const Mesh grid = linked_grid();
    return grid;
}

// Mesh::spatial_index on a mesh that has neither hashes nor an index: the full build.
void BM_FullBuild(benchmark::State& state) {
    std::size_t chunks = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto m = std::make_unique<Mesh>(base_grid());
        state.ResumeTiming();
        const auto index = m->spatial_index();
        chunks = index->vertex_chunks().size() + index->edge_chunks().size() +
                 index->face_chunks().size();
        state.PauseTiming();
        m.reset();
        state.ResumeTiming();
    }
    state.counters["chunks"] = static_cast<double>(chunks);
    state.SetItemsProcessed(state.iterations() * base_grid().faces().size());
}

// The first half of the full build: every block of every table hashed.
void BM_HashesFromNothing(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto m = std::make_unique<Mesh>(base_grid());
        state.ResumeTiming();
        benchmark::DoNotOptimize(m->block_hashes());
        state.PauseTiming();
        m.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * base_grid().faces().size());
}

// The second half: every chunk and the top level, from hashes already taken.
void BM_IndexFromHashes(benchmark::State& state) {
    Mesh m = base_grid();
    const auto hashes = m.block_hashes();
    for (auto _ : state) {
        benchmark::DoNotOptimize(MeshSpatialIndex::build(m, hashes, nullptr));
    }
    state.SetItemsProcessed(state.iterations() * m.faces().size());
}

// One vertex in the middle of the grid lifted and lowered in turn, then the index refreshed.
void BM_RebuildAfterMovingOneVertex(benchmark::State& state) {
    Mesh m = base_grid();
    auto previous = m.spatial_index();
    const VertexId v = grid_vertex(kSide / 2, kSide / 2);
    float z = 0.0f;
    std::size_t rebuilt = 0;
    for (auto _ : state) {
        z = z == 0.0f ? 0.25f : 0.0f;
        m.vertex_mut(v).position.z = z;
        auto index = m.spatial_index();
        state.PauseTiming();
        rebuilt = 0;
        for (std::size_t c = 0; c < index->edge_chunks().size(); ++c) {
            rebuilt += index->edge_chunks()[c] != previous->edge_chunks()[c];
        }
        for (std::size_t c = 0; c < index->face_chunks().size(); ++c) {
            rebuilt += index->face_chunks()[c] != previous->face_chunks()[c];
        }
        for (std::size_t c = 0; c < index->vertex_chunks().size(); ++c) {
            rebuilt += index->vertex_chunks()[c] != previous->vertex_chunks()[c];
        }
        previous = std::move(index);
        state.ResumeTiming();
    }
    state.counters["chunks_rebuilt"] = static_cast<double>(rebuilt);
}

void repeated(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true)
        ->UseRealTime();
}

BENCHMARK(BM_FullBuild)->Apply(repeated);
BENCHMARK(BM_HashesFromNothing)->Apply(repeated);
BENCHMARK(BM_IndexFromHashes)->Apply(repeated);
BENCHMARK(BM_RebuildAfterMovingOneVertex)->Apply(repeated);

}  // namespace
}  // namespace korvan
