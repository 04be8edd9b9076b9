// Soft move with a 1 m radius on square quad grids of 5 cm cells, from 10,000 to 1,000,000
// faces: the drag reaches the same few thousand vertices on every grid, so its time should
// not grow with the grid. Each iteration applies the command and undoes it, so the mesh is
// the same every time; the spatial index is built once before timing, as a model that has
// been looked at once already has it. Medians come from the repetitions.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>

#include "core/mesh.h"
#include "core/spatial_index.h"
#include "document/document.h"
#include "tools/soft_move.h"

namespace korvan {
namespace {

constexpr float kCell = 0.05f;
constexpr int kRepetitions = 5;

Document make_grid(int n) {
    Document doc;
    Mesh& m = doc.root().mesh;
    const auto row = static_cast<VertexId>(n + 1);
    const auto count = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    m.reserve(std::size_t{row} * row, 8 * count, 4 * count, count);
    for (VertexId j = 0; j < row; ++j) {
        for (VertexId i = 0; i < row; ++i) m.add_vertex({kCell * i, kCell * j, 0.0f});
    }
    for (VertexId j = 0; j + 1 < row; ++j) {
        for (VertexId i = 0; i + 1 < row; ++i) {
            const VertexId v = j * row + i;
            m.add_quad(v, v + 1, v + 1 + row, v + row);
        }
    }
    m.link_shared_edges();
    m.spatial_index();
    return doc;
}

Document& grid(int n) {
    static std::map<int, std::unique_ptr<Document>> cache;
    auto& slot = cache[n];
    if (!slot) slot = std::make_unique<Document>(make_grid(n));
    return *slot;
}

void BM_SoftMove(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const bool surface = state.range(1) == 0;
    Document& doc = grid(n);
    const auto row = static_cast<VertexId>(n + 1);
    const VertexId centre = (row / 2) * row + row / 2;
    SoftMoveOptions options;
    options.radius = 1.0f;
    options.metric = surface ? SoftMoveMetric::kSurface : SoftMoveMetric::kSpace;
    std::uint64_t moved = 0;
    for (auto _ : state) {
        SoftMoveVerticesCommand move(doc, MeshLocator::of_node(&doc.root()), {centre},
                                     {0.0f, 0.0f, 0.3f}, options);
        move.redo();
        moved = move.moved();
        move.undo();
        benchmark::DoNotOptimize(moved);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * moved));
    state.counters["faces"] = static_cast<double>(n) * n;
    state.counters["moved"] = static_cast<double>(moved);
    state.SetLabel(surface ? "surface" : "space");
}
// The weighting alone on an unchanged mesh and a warm index.
void BM_SoftMoveField(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    Mesh& mesh = grid(n).root().mesh;
    const auto index = mesh.spatial_index();
    const auto row = static_cast<VertexId>(n + 1);
    const VertexId centre = (row / 2) * row + row / 2;
    SoftMoveOptions options;
    options.radius = 1.0f;
    std::size_t reached = 0;
    for (auto _ : state) {
        const SoftMoveField field = soft_move_field(mesh, index.get(), {&centre, 1}, options);
        reached = field.influenced.size();
        benchmark::DoNotOptimize(reached);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * reached));
    state.counters["faces"] = static_cast<double>(n) * n;
    state.counters["reached"] = static_cast<double>(reached);
}
BENCHMARK(BM_SoftMoveField)
    ->Arg(100)->Arg(316)->Arg(1000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

BENCHMARK(BM_SoftMove)
    ->ArgsProduct({{100, 316, 1000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace korvan
