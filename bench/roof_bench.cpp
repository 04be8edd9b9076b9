// Roofs over large irregular concave footprints: the straight skeleton alone and the whole
// skeleton roof (eaves offset, skeleton, facets, linking) on star-shaped plans of 1,000 to
// 4,000 corners with radii between 60 and 100 m, so about half the corners are reflex.
// Medians come from the repetitions.

#include <benchmark/benchmark.h>

#include "core/mesh.h"
#include "core/polygon_2d_skeleton.h"
#include "tests/support/plan_shapes.h"
#include "tools/roofs/roofs.h"

namespace korvan {
namespace {

constexpr int kRepetitions = 5;

void BM_StraightSkeleton(benchmark::State& state) {
    const auto ring = test::star_plan(static_cast<std::uint32_t>(state.range(0)), 60.0, 100.0, 11);
    for (auto _ : state) {
        const StraightSkeleton sk = straight_skeleton(ring);
        if (!sk.ok) state.SkipWithError(sk.error);
        benchmark::DoNotOptimize(sk.nodes.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_StraightSkeleton)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

void BM_SkeletonRoof(benchmark::State& state) {
    const auto ring = test::star_plan(static_cast<std::uint32_t>(state.range(0)), 60.0, 100.0, 11);
    SkeletonRoofSpec spec;
    spec.overhang = 0.0;  // the notches of so ragged a plan fold under any overhang
    for (auto _ : state) {
        Mesh mesh;
        const SkeletonRoofReport r = build_skeleton_roof(mesh, ring, spec);
        if (!r.ok) state.SkipWithError(r.message);
        benchmark::DoNotOptimize(r.volume);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SkeletonRoof)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)
    ->Repetitions(kRepetitions)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace korvan
