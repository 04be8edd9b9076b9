// Native file speed: writing and reading an N x N quad grid (N = 1000 is a million faces)
// with a few materials and soft edges, in MB/s of file text. The read also reports its peak
// heap use above what was live before it ("peak_MB"), next to the file size and the loaded
// mesh ("budget_MB" = file + 1.2 x mesh).
//
// Heap use is counted by replacing the global operator new/delete in this program, which
// sees every allocation of the reader (its file buffer, mesh tables and scratch) whatever
// the allocator later does with freed pages.
//
// Each repetition gets fresh pages for its big tables, and where first touches are slow (a
// virtual machine) they dominate: a million-quad mesh is about 300 MB. Running with
// GLIBC_TUNABLES=glibc.malloc.mmap_max=0 keeps freed pages in the process, so repetitions
// after the first show the cost of formatting and parsing alone.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <string>

#include "core/mesh.h"
#include "document/document.h"
#include "io/korv_edge_link.h"
#include "io/korv_reader.h"
#include "io/korv_writer.h"

namespace {

std::atomic<std::int64_t> g_live_bytes{0};
std::atomic<std::int64_t> g_peak_bytes{0};
constexpr std::size_t kHeader = 16;  // keeps the default new alignment

void* counted_alloc(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + kHeader));
    if (!block) return nullptr;
    *reinterpret_cast<std::size_t*>(block) = size;
    const std::int64_t live = g_live_bytes += static_cast<std::int64_t>(size);
    std::int64_t peak = g_peak_bytes.load(std::memory_order_relaxed);
    while (live > peak && !g_peak_bytes.compare_exchange_weak(peak, live)) {
    }
    return block + kHeader;
}

void counted_free(void* p) {
    if (!p) return;
    unsigned char* block = static_cast<unsigned char*>(p) - kHeader;
    g_live_bytes -= static_cast<std::int64_t>(*reinterpret_cast<std::size_t*>(block));
    std::free(block);
}

// Starts a new peak at the current live size; returns that size.
std::int64_t reset_peak() {
    const std::int64_t live = g_live_bytes.load();
    g_peak_bytes = live;
    return live;
}

constexpr double kMB = 1024.0 * 1024.0;

// N x N quads, linked like a loaded model; materials change every 7 rows, and the bottom
// sides of every fourth row are soft.
korvan::Document make_grid(int n) {
    using namespace korvan;
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    Mesh& m = doc.root().mesh;
    const auto row = static_cast<VertexId>(n + 1);
    const auto count = static_cast<std::size_t>(n) * static_cast<std::size_t>(n);
    m.reserve(std::size_t{row} * row, 8 * count, 4 * count, count);
    for (VertexId j = 0; j < row; ++j) {
        for (VertexId i = 0; i < row; ++i) m.add_vertex({0.05f * i, 0.05f * j, 0.01f * (i % 3)});
    }
    for (VertexId j = 0; j + 1 < row; ++j) {
        for (VertexId i = 0; i + 1 < row; ++i) {
            const VertexId v = j * row + i;
            const FaceId f = *m.add_quad(v, v + 1, v + 1 + row, v + row);
            m.face_mut(f).material_id = (j / 7) % 4;
        }
    }
    io::VertexFans(m).link(m);
    for (FaceId f = 0; f < m.faces().size(); ++f) {
        if ((f / static_cast<FaceId>(n)) % 4 != 0) continue;
        const HalfEdgeId first = m.faces()[f].half_edge;
        m.edge_mut(m.half_edges()[first].edge).soft = true;
    }
    return doc;
}

const korvan::Document& grid(int n) {
    static std::map<int, std::unique_ptr<korvan::Document>> cache;
    auto& slot = cache[n];
    if (!slot) slot = std::make_unique<korvan::Document>(make_grid(n));
    return *slot;
}

std::filesystem::path bench_file(int n) {
    return std::filesystem::temp_directory_path() /
           ("korv_io_bench_" + std::to_string(n) + ".korv");
}

void BM_KorvWrite(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const korvan::Document& doc = grid(n);
    const std::filesystem::path path = bench_file(n);
    for (auto _ : state) {
        if (!korvan::io::write_document(path, doc)) state.SkipWithError("write failed");
    }
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    state.SetBytesProcessed(bytes * state.iterations());
    state.SetItemsProcessed(static_cast<std::int64_t>(n) * n * state.iterations());
    state.counters["file_MB"] = static_cast<double>(bytes) / kMB;
}

void BM_KorvFormat(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const korvan::Document& doc = grid(n);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = korvan::io::format_document(doc);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
}

void BM_KorvRead(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::filesystem::path path = bench_file(n);
    if (!korvan::io::write_document(path, grid(n))) state.SkipWithError("write failed");
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(path));
    double peak_mb = 0.0, mesh_mb = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<korvan::Document>();
        const std::int64_t before = reset_peak();
        state.ResumeTiming();
        const bool ok = korvan::io::load_document(path, *doc);
        state.PauseTiming();
        if (!ok) state.SkipWithError(korvan::io::last_load_error().c_str());
        peak_mb = static_cast<double>(g_peak_bytes.load() - before) / kMB;
        mesh_mb = static_cast<double>(doc->root().mesh.memory_bytes()) / kMB;
        doc.reset();
        state.ResumeTiming();
    }
    const double file_mb = static_cast<double>(bytes) / kMB;
    state.SetBytesProcessed(bytes * state.iterations());
    state.SetItemsProcessed(static_cast<std::int64_t>(n) * n * state.iterations());
    state.counters["file_MB"] = file_mb;
    state.counters["mesh_MB"] = mesh_mb;
    state.counters["peak_MB"] = peak_mb;
    state.counters["budget_MB"] = file_mb + 1.2 * mesh_mb;
}

BENCHMARK(BM_KorvWrite)
    ->Arg(100)
    ->Arg(1000)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KorvFormat)->Arg(1000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KorvRead)->Arg(100)->Arg(1000)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

void* operator new(std::size_t size) {
    if (void* p = counted_alloc(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted_alloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return counted_alloc(size);
}
void operator delete(void* p) noexcept { counted_free(p); }
void operator delete[](void* p) noexcept { counted_free(p); }
void operator delete(void* p, std::size_t) noexcept { counted_free(p); }
void operator delete[](void* p, std::size_t) noexcept { counted_free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { counted_free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { counted_free(p); }
