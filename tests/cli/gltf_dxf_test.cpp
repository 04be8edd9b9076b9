// export-gltf, export-dxf, import-gltf and import-dxf through the built binary.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

std::string stats_of(const std::filesystem::path& dir, const std::string& file) {
    const CliRun run = run_cli({"stats", "--in", file}, dir);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    return run.out;
}

}  // namespace

TEST(GltfDxfVerbs, SampleHouseRoundTripsThroughGltfAndGlb) {
    const auto dir = fresh_temp_dir();
    const std::string faces = stat_value(stats_of(dir, ""), "world_faces");
    struct Row {
        Args args;
        std::string out;
        std::string imported;
    };
    const Row rows[] = {
        {{"export-gltf", "--out", "h.gltf"},
         "Wrote \"h.gltf\" (+ .bin, Y-up, materials)\n  faces=",
         "h.gltf"},
        {{"export-gltf", "--out", "h.GLB"}, "Wrote \"h.GLB\" (Y-up, materials)\n  faces=", "h.GLB"},
        {{"export-gltf", "--out", "sub"},
         "Wrote \"sub/export.gltf\" (+ .bin, Y-up, materials)\n  faces=",
         "sub/export.gltf"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.imported);
        const CliRun run = run_cli(row.args, dir);
        EXPECT_EQ(run.exit_code, 0) << run.err;
        EXPECT_EQ(run.out, row.out + faces + "\n");
        const CliRun back = run_cli({"import-gltf", "--in", row.imported, "--out", "imp"}, dir);
        EXPECT_EQ(back.exit_code, 0) << back.err;
        EXPECT_TRUE(back.out.starts_with("Wrote glTF import (.korv")) << back.out;
        // The flattened house comes back as one welded, linked mesh with a framed scene.
        const std::string report = stats_of(dir, "imp/import.korv");
        EXPECT_EQ(stat_value(report, "scenes"), "1");
        EXPECT_NE(stat_value(report, "faces"), "0");
    }
}

TEST(GltfDxfVerbs, DxfExportAndImportReports) {
    const auto dir = make_models({{"new", "--out", "empty.korv"}});
    std::ofstream(dir / "open.dxf")
        << "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n90\n3\n70\n0\n"
           "10\n0\n20\n0\n10\n1\n20\n0\n10\n1\n20\n1\n0\nENDSEC\n0\nEOF\n";
    std::ofstream(dir / "bad.dxf") << "not a drawing\n";
    std::ofstream(dir / "plan.dwg") << "AC1032";
    const CliRun sample = run_cli({"export-dxf", "--out", "x.dxf"}, dir);
    EXPECT_EQ(sample.exit_code, 0) << sample.err;
    EXPECT_TRUE(sample.out.starts_with("Wrote \"x.dxf\"  edges=")) << sample.out;
    expect_runs(dir, {
                         refused({"export-dxf", "--in", "empty.korv", "--out", "e.dxf"},
                                 "No faces to export\n"),
                         refused({"export-gltf", "--in", "empty.korv", "--out", "e.glb"},
                                 "No faces to export\n"),
                         refused({"import-dxf", "--out", "o"}, "import-dxf: --in required\n"),
                         refused({"import-gltf", "--out", "o"}, "import-gltf: --in required\n"),
                         refused({"import-dxf", "--in", "bad.dxf", "--out", "o"},
                                 "Failed to import DXF \"bad.dxf\"\n"),
                         refused({"import-gltf", "--in", "bad.dxf", "--out", "o"},
                                 "Failed to import glTF \"bad.dxf\"\n"),
                         refused({"import-dwg", "--in", "plan.dwg", "--out", "o"},
                                 "import-dwg: not built yet (no DWG reader)\n"),
                     });
    const CliRun open = run_cli({"import-dwg", "--in", "open.dxf", "--out", "o"}, dir);
    EXPECT_EQ(open.exit_code, 0) << open.err;
    EXPECT_EQ(open.out,
              "Wrote DXF import (guides-only mesh) to \"o\"\n  faces=0 guides=2 curves=0\n"
              "  blocks=0 instances=0 definitions=0 splines=0\n");
    EXPECT_EQ(open.err, "");
    EXPECT_EQ(stat_value(stats_of(dir, "o/import.korv"), "guides"), "2");
    EXPECT_FALSE(std::filesystem::exists(dir / "o" / "import_beauty.bmp"));
}

}  // namespace korvan::test
