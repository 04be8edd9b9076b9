// Sheet nesting and board cuts on generated inputs: cut lists of N random parts in the
// style of the classic bin-packing classes (a 1 m sheet, sides from 1 to 35 cm), laid out by
// first fit and by a short layout search; a board drilled with a row of dowels.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/mesh.h"
#include "tools/nesting.h"
#include "tools/panels.h"

namespace {

std::vector<korvan::PartRow> random_parts(std::int64_t n) {
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> side(1, 35);
    std::vector<korvan::PartRow> rows;
    for (std::int64_t i = 0; i < n; ++i) {
        korvan::PartRow row;
        row.name = "p";
        row.width = side(rng) * 0.01;
        row.height = side(rng) * 0.01;
        row.quantity = 1;
        rows.push_back(row);
    }
    return rows;
}

korvan::SheetSpec square_sheet(bool grained) {
    korvan::SheetSpec sheet;
    sheet.width = sheet.height = 1.0;
    sheet.kerf = 0.0;
    sheet.grained = grained;
    return sheet;
}

void BM_NestFirstFit(benchmark::State& state) {
    const auto rows = random_parts(state.range(0));
    const korvan::SheetSpec sheet = square_sheet(false);
    for (auto _ : state) benchmark::DoNotOptimize(korvan::nest_parts(rows, sheet));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NestFirstFit)->Range(20, 5000);

// One knapsack build (budget 0): the cost of a single search step.
void BM_NestSearchStep(benchmark::State& state) {
    const auto rows = random_parts(state.range(0));
    const korvan::SheetSpec sheet = square_sheet(false);
    for (auto _ : state) benchmark::DoNotOptimize(korvan::nest_parts_optimised(rows, sheet, 0.0));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_NestSearchStep)->Range(20, 500);

void BM_DrillDowels(benchmark::State& state) {
    korvan::DowelRowSpec row;
    row.side = korvan::PanelSide::kThicknessMax;
    row.count = static_cast<std::int32_t>(state.range(0));
    row.first = 0.01f;
    row.pitch = 0.38f / static_cast<float>(row.count);
    row.diameter = std::min(0.008f, row.pitch / 2);
    row.depth = 0.01f;
    for (auto _ : state) {
        korvan::Mesh mesh;
        korvan::emit_panel(mesh, korvan::PanelBox{}, {});
        benchmark::DoNotOptimize(korvan::drill_dowels(mesh, korvan::PanelBox{}, row, {}));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DrillDowels)->Range(1, 32);

}  // namespace
