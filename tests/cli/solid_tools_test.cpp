// mesh-check and mesh-boolean through the built binary: the report and its id limit, the
// refusals before anything is combined, empty results, and saved results read back closed.
#include <gtest/gtest.h>

#include <string>

#include "cli/samples/fallback_model.h"
#include "document/document.h"
#include "tests/cli/cli_checks.h"
#include "tests/support/inspection_checks.h"
#include "tests/support/solid_builders.h"
#include "tools/inspect.h"

namespace korvan::test {
namespace {

Document model_of(Mesh mesh) {
    Document doc;
    doc.root().mesh = std::move(mesh);
    return doc;
}

// unit.korv [0,1]^3, far.korv a 1 x 2 x 1 box away from it, half.korv [0.5,1.5] x [0,1]^2,
// open.korv the unit box without its top, tris.korv five lone triangles.
std::filesystem::path fixtures() {
    const std::filesystem::path dir = fresh_temp_dir();
    write_model(dir / "unit.korv", model_of(box_solid({0, 0, 0}, {1, 1, 1})));
    write_model(dir / "far.korv", model_of(box_solid({3, 0, 0}, {4, 2, 1})));
    write_model(dir / "half.korv", model_of(box_solid({0.5f, 0, 0}, {1.5f, 1, 1})));
    Mesh open = box_solid({0, 0, 0}, {1, 1, 1});
    open.erase_face(1);
    write_model(dir / "open.korv", model_of(std::move(open)));
    Mesh tris;
    for (int i = 0; i < 5; ++i) {
        const float x = 2.0f * static_cast<float>(i);
        tris.add_triangle(tris.add_vertex({x, 0, 0}), tris.add_vertex({x + 1, 0, 0}),
                          tris.add_vertex({x, 1, 0}));
    }
    write_model(dir / "tris.korv", model_of(std::move(tris)));
    return dir;
}

const std::string kNeedsClosed =
    "mesh-boolean refused: a boolean needs two CLOSED solids, and \"inside\" is not a property "
    "an open surface has.\n";
const std::string kRunRepair =
    "  run mesh-repair on the open one first, or mesh-check to see what is open\n";
const std::string kEmpty =
    "mesh-boolean produced an EMPTY mesh. Both inputs were closed, so this is a real answer for "
    "a disjoint --op intersect or for subtracting a solid from itself -- but nothing will be "
    "written.\n";

TEST(SolidToolsCli, RefusalsWriteNothing) {
    const Args boolean = {"mesh-boolean", "--in", "unit.korv", "--out", "o.korv", "--src"};
    auto with = [&](Args tail) {
        Args a = boolean;
        a.insert(a.end(), tail.begin(), tail.end());
        return a;
    };
    expect_runs(
        fixtures(),
        {
            refused(with({"open.korv", "--op", "union"}),
                    kNeedsClosed + "  tool   (\"open.korv\") has 4 naked edge(s)\n" + kRunRepair,
                    2),
            refused({"mesh-boolean", "--in", "open.korv", "--src", "open.korv", "--op", "union",
                     "--out", "o.korv"},
                    kNeedsClosed + "  target (\"open.korv\") has 4 naked edge(s)\n" +
                        "  tool   (\"open.korv\") has 4 naked edge(s)\n" + kRunRepair,
                    2),
            refused(with({"open.korv", "--op", "union", "--engine", "exact"}),
                    kNeedsClosed + "  tool   (\"open.korv\") has 4 naked edge(s)\n" + kRunRepair,
                    2),
            refused(with({"unit.korv", "--op", "union", "--engine", "Exact"}),
                    "--engine must be bsp|exact\n"),
            refused(with({"unit.korv", "--op", "Union"}),
                    "mesh-boolean --op must be union, subtract or intersect (got "
                    "\"Union\")\n"),
            refused(with({"unit.korv", "--op", "subtract"}), kEmpty, 2),
            refused(with({"far.korv", "--op", "intersect"}), kEmpty, 2),
            refused(with({"missing.korv", "--op", "union"}),
                    "Failed to load --src \"missing.korv\"\n"),
            refused({"mesh-check", "unit.korv", "--out", "o.korv"},
                    "mesh-check is read-only and takes no --out\n"),
        });
}

TEST(SolidToolsCli, BooleanReportsVolumesAndSavesAClosedSolid) {
    const std::filesystem::path dir = fixtures();
    struct Row {
        const char* op;
        const char* src;
        std::string head;  // the volume line
        double volume;
    };
    const Row rows[] = {
        {"union", "far.korv", "mesh-boolean union: |a|=1 |b|=2 -> 3 (union <= |a| + |b|)\n", 3},
        {"subtract", "far.korv", "mesh-boolean subtract: |a|=1 |b|=2 -> 1 (subtract <= |a|)\n", 1},
        {"intersect", "half.korv",
         "mesh-boolean intersect: |a|=1 |b|=1 -> 0.5 (intersect <= min(|a|, |b|))\n", 0.5},
        {"union", "half.korv", "mesh-boolean union: |a|=1 |b|=1 -> 1.5 (union <= |a| + |b|)\n",
         1.5},
    };
    for (const Row& row : rows) {
        for (const bool exact : {false, true}) {
            SCOPED_TRACE(std::string(row.op) + " " + row.src + (exact ? " exact" : " bsp"));
            Args args = {"mesh-boolean", "unit.korv", "--src", row.src,
                         "--op",         row.op,      "--out", "o.korv"};
            if (exact) args.insert(args.end(), {"--engine", "exact"});
            const CliRun run = run_cli(args, dir);
            ASSERT_EQ(run.exit_code, 0) << run.err;
            EXPECT_EQ(run.err, "");
            // The report is the same for both engines, marked when the exact one made it.
            std::string head = row.head;
            if (exact) head.insert(head.size() - 1, " engine=exact");
            ASSERT_EQ(run.out.substr(0, head.size()), head);
            const Document saved = load_model(dir / "o.korv");
            const Mesh& m = saved.root().mesh;
            const std::string tail =
                ", holes 0, non-manifold vertices 0 (a boolean of two closed solids must come "
                "back closed; both should read 0), saved to \"o.korv\"\n";
            EXPECT_EQ(run.out.substr(head.size()),
                      "  faces " + std::to_string(m.alive_face_count()) + tail);
            EXPECT_NEAR(m.compute_volume(), row.volume, 1e-5);
            expect_inspected_closed(m);
        }
    }
}

TEST(SolidToolsCli, CheckPrintsOneBlockPerMeshAndHoldsBackLongIdLists) {
    const std::filesystem::path dir = fixtures();
    const std::string block =
        "  faces=5 edges=15 verts=15 volume=0\n"
        "  Degenerate faces      0\n"
        "  Non-planar faces      0\n"
        "  Duplicate faces       0\n"
        "  Internal faces        0\n"
        "  Stray edges           0\n"
        "  Naked edges           15  edge ";
    const std::string rest =
        "\n  Non-manifold vertices 0\n"
        "  Reversed faces        0\n"
        "  context: half-edge naked 15 (Mesh::naked_edge_count), redundant edge records 0, "
        "non-manifold edges 0, orientation conflicts 0, worst planarity 0 m\n"
        "  => 15 defect(s) in 1 class(es)\n\n"
        "TOTAL: 15 defect(s) over 1 mesh(es)\n";
    const Document doc = load_model(dir / "tris.korv");
    const std::string name = doc.root().name.empty() ? "<unnamed>" : doc.root().name;
    expect_runs(dir, {
                         ok({"mesh-check", "tris.korv"},
                            "mesh-check: tris.korv\n\n" + name + block +
                                "0,1,2,3,4,5,6,7,8,9,10,11,... (+3, --ids for all)" + rest),
                         ok({"mesh-check", "--in", "tris.korv", "--ids"},
                            "mesh-check: tris.korv\n\n" + name + block +
                                "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14" + rest),
                     });
}

TEST(SolidToolsCli, SampleHouseSolidsAreClean) {
    Document doc;
    cli::install_fallback_model(doc);
    const InspectionReport report = inspect_document(doc);
    ASSERT_FALSE(report.empty());
    std::size_t closed = 0;
    for (const auto& [name, r] : report) {
        SCOPED_TRACE(name);
        if (r.count(DefectClass::kNakedEdges) != 0) continue;  // a sheet, not a solid
        ++closed;
        EXPECT_TRUE(r.solid()) << inspection_verdict(r);
    }
    EXPECT_GT(closed, 0u);
    const CliRun run = run_cli({"mesh-check"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out.rfind("mesh-check: shell-townhouse (built-in)\n\n", 0), 0u);
}

}  // namespace
}  // namespace korvan::test
