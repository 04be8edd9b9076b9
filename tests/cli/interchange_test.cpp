// export-*, faces-export-obj and the import verbs through the built binary, with the
// `assimp` command line as an outside reader and writer where it is installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/mesh.h"
#include "document/document.h"
#include "document/material_library.h"
#include "tests/cli/cli_checks.h"
#include "tests/support/solid_checks.h"

namespace korvan::test {
namespace {

namespace fs = std::filesystem;

std::string num(std::uint64_t n) {
    char buf[24];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, n).ptr);
}

// The flattened sample house, as the exporters see it.
std::uint64_t sample_world_faces() {
    return std::stoull(stat_value(run_cli({"stats"}).out, "world_faces"));
}

// Imports `file` with the verb into a fresh folder and returns the model saved there as one
// mesh.
Mesh import_mesh(const std::string& verb, const fs::path& file) {
    const fs::path out = fresh_temp_dir() / "imported";
    const CliRun run = run_cli({verb, "--in", file.string(), "--out", out.string()});
    EXPECT_EQ(run.exit_code, 0) << verb << ' ' << file << ": " << run.err;
    EXPECT_EQ(run.out.rfind("Wrote ", 0), 0u) << run.out;
    EXPECT_EQ(run.err, "") << verb;
    if (run.exit_code != 0) return {};
    EXPECT_GT(fs::file_size(out / "import_beauty.bmp"), 1280u * 720u * 3u) << verb;
    const Document doc = load_model(out / "import.korv");
    EXPECT_EQ(doc.scenes().size(), 1u);
    if (doc.root().children.empty()) return doc.root().mesh;
    // Groups (COLLADA nodes): their meshes meet only once flattened into one.
    Mesh world = doc.flatten_world();
    world.weld_vertices();
    world.link_shared_edges();
    return world;
}

// A run that writes files of its own (which expect_runs would count as stray writes).
void expect_success(const fs::path& dir, const Args& args, const std::string& out) {
    const CliRun run = run_cli(args, dir);
    EXPECT_EQ(run.exit_code, 0) << args[0] << ": " << run.err;
    EXPECT_EQ(run.out, out) << args[0];
    EXPECT_EQ(run.err, "") << args[0];
}

fs::path write_doc(const fs::path& path, Mesh mesh) {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    doc.root().mesh = std::move(mesh);
    write_model(path, doc);
    return path;
}

TEST(Interchange, ExportsFollowTheOutRuleAndImportsRestoreTheModel) {
    const fs::path dir = fresh_temp_dir();
    const std::string faces = "  faces=" + num(sample_world_faces()) + "\n";
    expect_success(dir, {"export-obj", "--out", "house.obj"}, "Wrote \"house.obj\"" + faces);
    expect_success(dir, {"export-stl", "--out", "stl"}, "Wrote \"stl/export.stl\"" + faces);
    // The extension must match exactly; anything else names a folder.
    expect_success(dir, {"export-ply", "--out", "h.PLY"}, "Wrote \"h.PLY/export.ply\"" + faces);
    double volume = 0.0;
    const std::pair<const char*, const char*> imports[] = {
        {"import-obj", "house.obj"}, {"import-stl", "stl/export.stl"}, {"import-ply", "h.PLY/export.ply"}};
    for (const auto& [verb, file] : imports) {
        SCOPED_TRACE(verb);
        const Mesh mesh = import_mesh(verb, dir / file);
        ASSERT_GT(mesh.alive_face_count(), 0u);
        if (volume == 0.0) volume = mesh.compute_volume();
        EXPECT_NEAR(mesh.compute_volume(), volume, 1e-4 * volume);
    }

    // A closed box comes back closed with its volume through every format.
    const fs::path box = write_doc(dir / "box.korv", cube_mesh(2.0f));
    for (const char* ext : {"obj", "stl", "ply"}) {
        SCOPED_TRACE(ext);
        const fs::path file = dir / (std::string("box.") + ext);
        ASSERT_EQ(run_cli({std::string("export-") + ext, "--in", box.string(), "--out",
                           file.string()}).exit_code, 0);
        const Mesh mesh = import_mesh(std::string("import-") + ext, file);
        expect_closed_solids(mesh);
        EXPECT_NEAR(mesh.compute_volume(), 8.0, 1e-5);
    }
}

TEST(Interchange, SampleModelsAsObjComeBackWithTheirVolume) {
    for (const char* verb : {"shell-townhouse", "gen-villa"}) {
        SCOPED_TRACE(verb);
        const fs::path dir = fresh_temp_dir();
        const CliRun run = run_cli({verb, "--out", "m.obj", "--korvan"}, dir);
        ASSERT_EQ(run.exit_code, 0) << run.err;
        const Mesh world = load_model(dir / "m.korv").flatten_world();
        EXPECT_EQ(run.out, "Wrote \"m.obj\"  faces=" + num(world.alive_face_count()) +
                               "\nWrote Session \"m.korv\"\n");
        const Mesh back = import_mesh("import-obj", dir / "m.obj");
        EXPECT_EQ(back.naked_edge_count(), 0u);
        EXPECT_NEAR(back.compute_volume(), world.compute_volume(), 1e-4 * world.compute_volume());
    }
}

TEST(Interchange, FacesExportAndImportKorvan) {
    const fs::path dir = fresh_temp_dir();
    write_doc(dir / "box.korv", cube_mesh());
    write_doc(dir / "empty.korv", Mesh{});
    expect_runs(dir, {
        refused({"faces-export-obj", "box.korv", "--faces", "99", "--out", "none.obj"},
                "Error: no alive faces to export (count=0)\n"),
        ok({"import-korvan", "box.korv"},
           "Loaded \"box.korv\" faces=6 verts=8 nodes=0 materials=25 scenes=0\n"),
    });
    expect_success(dir, {"faces-export-obj", "box.korv", "--faces", "4,1,4,99", "--out", "two.obj"},
                   "Exported 2 face(s) to \"two.obj\"\n");
    expect_success(dir, {"import-korvan", "box.korv", "--out", "k"},
                   "Loaded \"box.korv\" faces=6 verts=8 nodes=0 materials=25 scenes=0\n"
                   "Wrote \"k/import.obj\"\n");
    const std::string two = read_file(dir / "two.obj");
    EXPECT_EQ(std::count(two.begin(), two.end(), 'f'), 2);
    const CliRun empty = run_cli({"import-korvan", "empty.korv", "--out", "e"}, dir);
    EXPECT_EQ(empty.exit_code, 1);
    EXPECT_EQ(empty.err, "Loaded OK but no faces to export OBJ\n");
    EXPECT_FALSE(fs::exists(dir / "e"));
}

TEST(Interchange, RefusalsWriteNothing) {
    const fs::path dir = fresh_temp_dir();
    write_doc(dir / "empty.korv", Mesh{});
    std::ofstream(dir / "cut.stl") << "solid x\n facet normal 0 0 1\n  outer loop\n   vertex 0 0 0\n";
    std::ofstream(dir / "bad.ply") << "ply\nformat binary_little_endian 1.0\nelement vertex 9\n"
                                      "property float x\nproperty float y\nproperty float z\n"
                                      "end_header\n\x01\x02";
    std::ofstream(dir / "m.skp") << "not a model";
    expect_runs(dir, {
        refused({"import-obj", "--out", "d"}, "--in required\n"),
        refused({"import-obj", "--in", "gone.obj", "--out", "d"},
                "Failed to import OBJ \"gone.obj\": the file cannot be opened\n"),
        refused({"import-stl", "--in", "cut.stl", "--out", "d"},
                "Failed to import STL \"cut.stl\": it holds no complete facet\n"),
        refused({"import-ply", "--in", "bad.ply", "--out", "d"},
                "Failed to import PLY \"bad.ply\": the file ends early or holds a bad number "
                "in element \"vertex\"\n"),
        refused({"import-skp", "--in", "m.skp", "--out", "d"},
                "Failed to read SketchUp \"m.skp\"\n"),
        refused({"stats", "--in", "m.skp"}, "Failed to read SketchUp \"m.skp\"\n"),
        refused({"export-obj", "--in", "empty.korv", "--out", "x.obj"}, "No faces to export\n"),
    });
    const CliRun dae = run_cli({"import-obj", "--in", "cut.DAE", "--out", "d"}, dir);
    EXPECT_EQ(dae.exit_code, 1);
    EXPECT_EQ(dae.err.rfind("Failed to import COLLADA \"cut.DAE\": ", 0), 0u) << dae.err;
    EXPECT_FALSE(fs::exists(dir / "d"));
}

// ---- Real peers ---------------------------------------------------------------------

bool have_assimp() { return std::system("assimp version > /dev/null 2>&1") == 0; }

// Runs a shell command and returns its standard output.
std::string shell(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
        pclose(pipe);
    }
    return out;
}

// A number from `assimp info`'s "Key:   value" lines; -1 when absent.
long long info_value(const std::string& info, const std::string& key) {
    const std::size_t at = info.find("\n" + key + ":");
    if (at == std::string::npos) return -1;
    return std::stoll(info.substr(at + key.size() + 2));
}

// A prism over a regular octagon missing one side (an open model), with corner UVs.
Mesh open_uv_prism() {
    Mesh m;
    std::vector<VertexId> bottom, top;
    for (int i = 0; i < 8; ++i) {
        const float a = 0.785398163f * float(i);
        bottom.push_back(m.add_vertex({std::cos(a), std::sin(a), 0.0f}));
        top.push_back(m.add_vertex({std::cos(a), std::sin(a), 1.5f}));
    }
    m.add_ngon(std::vector<VertexId>(bottom.rbegin(), bottom.rend()));
    m.add_ngon(top);
    for (int i = 0; i < 7; ++i) m.add_quad(bottom[i], bottom[i + 1], top[i + 1], top[i]);
    m.link_shared_edges();
    for (const FaceId f : m.alive_faces()) {
        float u = 0.0f;
        for (const HalfEdgeId h : m.face_half_edges(f)) m.set_corner_uv(h, u += 0.125f, 0.5f);
    }
    return m;
}

TEST(Interchange, AssimpReadsOurFilesWithOurCounts) {
    if (!have_assimp()) GTEST_SKIP() << "the assimp command line is not installed";
    const fs::path dir = fresh_temp_dir();
    const fs::path model = write_doc(dir / "prism.korv", open_uv_prism());
    for (const auto& [in, faces, verts] :
         {std::tuple<std::string, long long, long long>{"", -1, -1},
          {model.string(), 9, 16}}) {
        SCOPED_TRACE(in.empty() ? "sample house" : "open prism");
        for (const char* ext : {"obj", "ply"}) {
            const fs::path file = dir / (std::string(in.empty() ? "house." : "prism.") + ext);
            Args args = {std::string("export-") + ext, "--out", file.string()};
            if (!in.empty()) args.insert(args.end(), {"--in", in});
            ASSERT_EQ(run_cli(args).exit_code, 0);
            const std::string info = shell("assimp info '" + file.string() + "' -r -s 2>/dev/null");
            const long long ours = faces < 0 ? static_cast<long long>(sample_world_faces()) : faces;
            EXPECT_EQ(info_value(info, "Faces"), ours) << ext << '\n' << info;
            // PLY shares vertices as we do; OBJ comes back with one vertex per corner.
            if (std::string(ext) == "ply" && verts > 0) {
                EXPECT_EQ(info_value(info, "Vertices"), verts);
            }
        }
    }
}

TEST(Interchange, FilesAssimpWritesImportAsClosedSolids) {
    if (!have_assimp()) GTEST_SKIP() << "the assimp command line is not installed";
    const fs::path dir = fresh_temp_dir();
    const fs::path box = write_doc(dir / "box.korv", cube_mesh(3.0f));
    ASSERT_EQ(run_cli({"export-obj", "--in", box.string(), "--out", (dir / "box.obj").string()})
                  .exit_code, 0);
    // assimp's format ids: "stl" is ASCII, "stlb" binary, "ply" ASCII PLY.
    const std::pair<const char*, const char*> peers[] = {
        {"obj", "import-obj"}, {"stl", "import-stl"}, {"stlb", "import-stl"},
        {"ply", "import-ply"}, {"collada", "import-dae"}};
    for (const auto& [id, verb] : peers) {
        SCOPED_TRACE(id);
        const fs::path file = dir / (std::string("peer_") + id + "." +
                                     (std::string(id) == "collada" ? "dae"
                                      : std::string(id) == "stlb" ? "stl" : id));
        shell("assimp export '" + (dir / "box.obj").string() + "' '" + file.string() + "' -f" +
              id + " > /dev/null 2>&1");
        ASSERT_TRUE(fs::exists(file));
        const Mesh mesh = import_mesh(verb, file);
        expect_closed_solids(mesh);
        EXPECT_NEAR(mesh.compute_volume(), 27.0, 1e-4);
    }
}

}  // namespace
}  // namespace korvan::test
