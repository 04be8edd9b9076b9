// glTF speed against the native file on one mesh: a grid of 1000 x 500 quads split into a
// million triangles, linked like a loaded model. GLB export and import (the import welds and
// links, as the verb does) next to .korv save and load of the same document, so the ratio of
// the two formats can be read off one run.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "core/mesh.h"
#include "document/document.h"
#include "io/gltf.h"
#include "io/korv_edge_link.h"
#include "io/korv_reader.h"
#include "io/korv_writer.h"

namespace {

constexpr int kColumns = 1000;
constexpr int kRows = 500;

const korvan::Document& grid() {
    using namespace korvan;
    static std::unique_ptr<Document> doc;
    if (doc) return *doc;
    doc = std::make_unique<Document>();
    doc->materials() = MaterialLibrary(default_materials());
    Mesh& m = doc->root().mesh;
    const auto row = static_cast<VertexId>(kColumns + 1);
    const std::size_t triangles = 2ull * kColumns * kRows;
    m.reserve(std::size_t{row} * (kRows + 1), 3 * triangles * 2, 3 * triangles, triangles);
    for (VertexId j = 0; j <= kRows; ++j) {
        for (VertexId i = 0; i < row; ++i) m.add_vertex({0.05f * i, 0.05f * j, 0.01f * (i % 3)});
    }
    for (VertexId j = 0; j < kRows; ++j) {
        for (VertexId i = 0; i < kColumns; ++i) {
            const VertexId v = j * row + i;
            m.add_triangle(v, v + 1, v + 1 + row);
            m.add_triangle(v, v + 1 + row, v + row);
        }
    }
    io::VertexFans(m).link(m);
    return *doc;
}

std::filesystem::path bench_file(const char* ext) {
    return std::filesystem::temp_directory_path() / (std::string("gltf_io_bench") + ext);
}

void BM_GlbExport(benchmark::State& state) {
    const korvan::Document& doc = grid();
    const auto path = bench_file(".glb");
    for (auto _ : state) {
        if (!korvan::io::export_glb(path, doc.root().mesh, doc.materials())) {
            state.SkipWithError("export failed");
        }
    }
    state.SetItemsProcessed(2ll * kColumns * kRows * state.iterations());
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1048576.0;
}

void BM_GlbImport(benchmark::State& state) {
    const korvan::Document& doc = grid();
    const auto path = bench_file(".glb");
    if (!korvan::io::export_glb(path, doc.root().mesh, doc.materials())) {
        state.SkipWithError("export failed");
    }
    for (auto _ : state) {
        korvan::Mesh mesh;
        if (!korvan::io::import_gltf(path, mesh)) state.SkipWithError("import failed");
        state.PauseTiming();
        mesh = korvan::Mesh();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(2ll * kColumns * kRows * state.iterations());
}

void BM_KorvSave(benchmark::State& state) {
    const korvan::Document& doc = grid();
    const auto path = bench_file(".korv");
    for (auto _ : state) {
        if (!korvan::io::write_document(path, doc)) state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(2ll * kColumns * kRows * state.iterations());
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1048576.0;
}

void BM_KorvLoad(benchmark::State& state) {
    const auto path = bench_file(".korv");
    if (!korvan::io::write_document(path, grid())) state.SkipWithError("write failed");
    for (auto _ : state) {
        auto doc = std::make_unique<korvan::Document>();
        if (!korvan::io::load_document(path, *doc)) state.SkipWithError("load failed");
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(2ll * kColumns * kRows * state.iterations());
}

BENCHMARK(BM_GlbExport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GlbImport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KorvSave)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KorvLoad)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
