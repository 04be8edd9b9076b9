// OBJ, PLY and STL speed on a height field of a million triangles: 1000 x 500 quads, each
// split in two, over 501,501 vertices. The files are made once per process in the form other
// tools write them (OBJ and ASCII PLY with "%.6f" coordinates, binary STL), in a folder of
// the system's temporary directory that the process removes at exit.
//
// An import is timed whole (read, weld, link) and its weld plus link apart on the same soup
// of faces the reader builds, so the read alone is the difference; the native save of the
// imported model and the exports of the grid are timed on their own. Run each benchmark in
// a fresh process (--benchmark_filter) and take the median over several processes: the
// first touches of a few hundred megabytes of new pages dominate a warm repeat.

#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "core/mesh.h"
#include "document/document.h"
#include "io/korv_writer.h"
#include "io/mesh_import.h"
#include "io/obj.h"
#include "io/ply.h"
#include "io/stl.h"
#include "platform/atomic_file.h"

namespace {

namespace fs = std::filesystem;
using korvan::Mesh;
using korvan::Vec3;
using korvan::VertexId;

constexpr int kQuadsX = 1000;
constexpr int kQuadsY = 500;

Vec3 grid_point(int i, int j) {
    const float x = 0.05f * float(i), y = 0.05f * float(j);
    return {x, y, 0.7f * std::sin(0.37f * x) * std::cos(0.23f * y)};
}

VertexId grid_vertex(int i, int j) { return VertexId(j * (kQuadsX + 1) + i); }

// Calls tri(a, b, c) for both triangles of every quad, wound upwards.
template <class Triangle>
void for_each_triangle(Triangle&& tri) {
    for (int j = 0; j < kQuadsY; ++j) {
        for (int i = 0; i < kQuadsX; ++i) {
            tri(grid_vertex(i, j), grid_vertex(i + 1, j), grid_vertex(i + 1, j + 1));
            tri(grid_vertex(i, j), grid_vertex(i + 1, j + 1), grid_vertex(i, j + 1));
        }
    }
}

void append_fixed(std::string& out, float v) {
    char buf[32];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6).ptr);
}

void append_int(std::string& out, std::uint64_t v) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

Mesh grid_mesh() {
    Mesh m;
    for (int j = 0; j <= kQuadsY; ++j) {
        for (int i = 0; i <= kQuadsX; ++i) m.add_vertex(grid_point(i, j));
    }
    for_each_triangle([&](VertexId a, VertexId b, VertexId c) { m.add_triangle(a, b, c); });
    m.link_shared_edges();
    return m;
}

std::string grid_obj() {
    std::string out = "# height field\n";
    for (int j = 0; j <= kQuadsY; ++j) {
        for (int i = 0; i <= kQuadsX; ++i) {
            const Vec3 p = grid_point(i, j);
            out += "v ";
            append_fixed(out, p.x);
            out += ' ';
            append_fixed(out, p.y);
            out += ' ';
            append_fixed(out, p.z);
            out += '\n';
        }
    }
    for_each_triangle([&](VertexId a, VertexId b, VertexId c) {
        out += "f ";
        append_int(out, a + 1);
        out += ' ';
        append_int(out, b + 1);
        out += ' ';
        append_int(out, c + 1);
        out += '\n';
    });
    return out;
}

std::string grid_ply() {
    std::string out =
        "ply\nformat ascii 1.0\nelement vertex 501501\nproperty float x\nproperty float y\n"
        "property float z\nelement face 1000000\nproperty list uchar int vertex_indices\n"
        "end_header\n";
    for (int j = 0; j <= kQuadsY; ++j) {
        for (int i = 0; i <= kQuadsX; ++i) {
            const Vec3 p = grid_point(i, j);
            append_fixed(out, p.x);
            out += ' ';
            append_fixed(out, p.y);
            out += ' ';
            append_fixed(out, p.z);
            out += '\n';
        }
    }
    for_each_triangle([&](VertexId a, VertexId b, VertexId c) {
        out += "3 ";
        append_int(out, a);
        out += ' ';
        append_int(out, b);
        out += ' ';
        append_int(out, c);
        out += '\n';
    });
    return out;
}

// The three input files, written on first use.
struct Inputs {
    fs::path dir, obj, ply, stl;
    Inputs() {
        std::string name = "korvan_mesh_bench_";
        append_int(name, static_cast<std::uint64_t>(::getpid()));
        dir = fs::temp_directory_path() / name;
        fs::create_directories(dir);
        obj = dir / "grid.obj";
        ply = dir / "grid.ply";
        stl = dir / "grid.stl";
        korvan::platform::write_file_atomic(obj, grid_obj());
        korvan::platform::write_file_atomic(ply, grid_ply());
        korvan::io::export_stl(stl, grid_mesh());
    }
    ~Inputs() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

const Inputs& inputs() {
    static const Inputs files;
    return files;
}

double file_mb(const fs::path& path) { return double(fs::file_size(path)) / (1024.0 * 1024.0); }

template <bool (*Import)(const fs::path&, Mesh&)>
void BM_Import(benchmark::State& state, const fs::path& path) {
    for (auto _ : state) {
        Mesh mesh;
        if (!Import(path, mesh)) state.SkipWithError(korvan::io::last_import_error().c_str());
        benchmark::DoNotOptimize(mesh);
        state.PauseTiming();
        mesh = Mesh();  // freeing the tables is not part of the import
        state.ResumeTiming();
    }
    state.SetItemsProcessed(1000000 * state.iterations());
    state.counters["file_MB"] = file_mb(path);
}

bool import_obj_plain(const fs::path& path, Mesh& mesh) {
    return korvan::io::import_obj(path, mesh, nullptr);
}

void BM_ImportObj(benchmark::State& state) {
    BM_Import<import_obj_plain>(state, inputs().obj);
}
void BM_ImportPly(benchmark::State& state) { BM_Import<korvan::io::import_ply>(state, inputs().ply); }
void BM_ImportStl(benchmark::State& state) { BM_Import<korvan::io::import_stl>(state, inputs().stl); }

// The weld and link of the soup a reader builds: shared corners for OBJ and PLY (range 0),
// three fresh corners per triangle for STL (range 1).
void BM_WeldLink(benchmark::State& state) {
    const bool soup = state.range(0) == 1;
    for (auto _ : state) {
        state.PauseTiming();
        Mesh m;
        if (soup) {
            for_each_triangle([&](VertexId a, VertexId b, VertexId c) {
                const VertexId base = VertexId(m.vertices().size());
                for (const VertexId v : {a, b, c}) {
                    m.add_vertex(grid_point(int(v % (kQuadsX + 1)), int(v / (kQuadsX + 1))));
                }
                m.add_triangle(base, base + 1, base + 2);
            });
        } else {
            for (int j = 0; j <= kQuadsY; ++j) {
                for (int i = 0; i <= kQuadsX; ++i) m.add_vertex(grid_point(i, j));
            }
            for_each_triangle([&](VertexId a, VertexId b, VertexId c) { m.add_triangle(a, b, c); });
        }
        state.ResumeTiming();
        korvan::io::detail::weld_link_and_check(m);
        benchmark::DoNotOptimize(m);
        state.PauseTiming();
        m = Mesh();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(1000000 * state.iterations());
}

void BM_SaveKorv(benchmark::State& state) {
    korvan::Document doc;
    korvan::io::import_obj(inputs().obj, doc.root().mesh, nullptr);
    const fs::path out = inputs().dir / "import.korv";
    for (auto _ : state) {
        if (!korvan::io::write_document(out, doc)) state.SkipWithError("save failed");
    }
    state.counters["file_MB"] = file_mb(out);
}

template <bool (*Export)(const fs::path&, const Mesh&)>
void BM_Export(benchmark::State& state, const char* name) {
    const Mesh mesh = grid_mesh();
    const fs::path out = inputs().dir / name;
    for (auto _ : state) {
        if (!Export(out, mesh)) state.SkipWithError("export failed");
    }
    state.SetItemsProcessed(1000000 * state.iterations());
    state.counters["file_MB"] = file_mb(out);
}

bool export_obj_plain(const fs::path& path, const Mesh& mesh) {
    return korvan::io::export_obj(path, mesh);
}

void BM_ExportObj(benchmark::State& state) { BM_Export<export_obj_plain>(state, "out.obj"); }
void BM_ExportPly(benchmark::State& state) { BM_Export<korvan::io::export_ply>(state, "out.ply"); }
void BM_ExportStl(benchmark::State& state) { BM_Export<korvan::io::export_stl>(state, "out.stl"); }

}  // namespace

BENCHMARK(BM_ImportObj)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ImportPly)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ImportStl)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WeldLink)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SaveKorv)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ExportObj)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ExportPly)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ExportStl)->Unit(benchmark::kMillisecond)->Iterations(1);
