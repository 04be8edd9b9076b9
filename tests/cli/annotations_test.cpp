// The annotation verbs through the built binary: curves, guides, dimensions (added, chained,
// automatic, re-anchored, cleared) and text labels.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "io/korv_writer.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

// A 2 m cube whose left and right faces (ids 4 and 5) carry dimensions: one up to date, one
// whose right end was left behind at x = 3 when the face moved to x = 2, one anchored to a
// face that is gone, and one plain (not associative).
void write_dimensioned_cube(const std::filesystem::path& path) {
    Document doc;
    Mesh& mesh = doc.root().mesh;
    mesh = cube_mesh(2.0f);
    auto anchored = [](Vec3 a, Vec3 b, float value, FaceId fa, FaceId fb) {
        Dimension d;
        d.a = a;
        d.b = b;
        d.value = value;
        d.anchor_a = {kDimensionAnchorFace, fa, 0.0f};
        d.anchor_b = {kDimensionAnchorFace, fb, 0.0f};
        d.label = "x";
        return d;
    };
    mesh.add_dimension(anchored({0, 1, 1}, {2, 1, 1}, 2.0f, 4, 5));
    mesh.add_dimension(anchored({0, 1, 0.5f}, {3, 1, 0.5f}, 3.0f, 4, 5));
    mesh.add_dimension(anchored({0, 1, 1.5f}, {2, 1, 1.5f}, 2.0f, 4, kInvalidId));
    Dimension plain;
    plain.b = {0, 0, 1};
    plain.value = 1.0f;
    mesh.add_dimension(plain);
    ASSERT_TRUE(io::write_document(path, doc));
}

}  // namespace

TEST(AnnotationsCli, AnEmptyModelListsNothing) {
    const auto dir = make_models({{"new", "--out", "a.korv"}});
    expect_runs(dir, {
                         ok({"curves", "a.korv"}, "curves=0 slots=0\n"),
                         ok({"list-curves", "a.korv"}, "curves=0 slots=0\n"),
                         ok({"guides", "a.korv"}, ""),
                         ok({"list-guides", "--in", "a.korv"}, ""),
                         ok({"dims", "a.korv"}, "dims=0\n"),
                         ok({"list-dims", "a.korv"}, "dims=0\n"),
                         ok({"labels", "a.korv"}, "Labels: 0\n"),
                         ok({"list-labels", "a.korv"}, "Labels: 0\n"),
                     });
}

TEST(AnnotationsCli, AddedEntriesAreListedFromTheSavedFile) {
    const auto dir = make_models({{"new", "--out", "a.korv"}});
    expect_runs(dir,
                {
                    ok({"add-guide", "a.korv", "--a", "0,0,0", "--b", "1,2,3", "--out", "b.korv"},
                       "Added guide 0, saved to \"b.korv\"\n"),
                    ok({"add-guide", "b.korv", "--a", "1,1,1", "--b", "1,1,1", "--out", "b.korv"},
                       "Added guide 1, saved to \"b.korv\"\n"),
                    ok({"guides", "b.korv"},
                       "[0] infinite=0 a=(0,0,0) b=(1,2,3)\n[1] infinite=0 a=(1,1,1) b=(1,1,1)\n"),
                    ok({"add-dim", "b.korv", "--a", "0,0,0", "--b", "3,4,0", "--out", "b.korv"},
                       "Added dimension 0 (5 m), saved to \"b.korv\"\n"),
                    ok({"dims", "b.korv"},
                       "dims=1\n[0] value=5  len=5 label=\"5 m\" a=(0,0,0) b=(3,4,0)\n"),
                    ok({"add-curve", "b.korv", "--path", "0,0,0 1,0,0 1,1,0", "--closed", "--out",
                        "b.korv"},
                       "Added curve 0, saved to \"b.korv\"\n"),
                    ok({"add-curve", "b.korv", "--path", "0,0,0;0,0,2.5", "--out", "b.korv"},
                       "Added curve 1, saved to \"b.korv\"\n"),
                    ok({"curves", "b.korv"},
                       "curves=2 slots=2\n[0] alive closed  points=3  len=3.41421\n"
                       "[1] alive open  points=2  len=2.5\n"),
                });
}

TEST(AnnotationsCli, ClearingEditsInMemoryUnlessOutIsGiven) {
    const auto dir = make_models({
        {"new", "--out", "a.korv"},
        {"add-guide", "a.korv", "--a", "0,0,0", "--b", "1,0,0", "--out", "g.korv"},
        {"add-dim", "g.korv", "--a", "0,0,0", "--b", "1,0,0", "--out", "g.korv"},
    });
    expect_runs(dir, {
                         ok({"clear-guides", "g.korv"}, "cleared=1\n"),
                         ok({"clear-dims", "g.korv"}, "cleared=1\n"),
                         ok({"clear-dimensions", "--in", "g.korv"}, "cleared=1\n"),
                         ok({"clear-dimensions", "g.korv", "--out", "h.korv"},
                            "cleared=1, saved to \"h.korv\"\n"),
                         ok({"dims", "h.korv"}, "dims=0\n"),
                         ok({"guides", "h.korv"}, "[0] infinite=0 a=(0,0,0) b=(1,0,0)\n"),
                         ok({"clear-guides", "h.korv", "--out", "h.korv"},
                            "cleared=1, saved to \"h.korv\"\n"),
                         ok({"clear-guides", "h.korv"}, "cleared=0\n"),
                     });
}

TEST(AnnotationsCli, RefusalsWriteNothing) {
    const auto dir = make_models({{"new", "--out", "a.korv"}});
    const std::string requires_ab = " requires --a X,Y,Z and --b X,Y,Z\n";
    expect_runs(
        dir,
        {
            refused({"add-guide", "a.korv", "--a", "0,0,0", "--out", "x.korv"},
                    "add-guide" + requires_ab),
            refused({"add-dim", "a.korv", "--b", "0,0,0", "--out", "x.korv"},
                    "add-dim" + requires_ab),
            refused({"dim-chain", "a.korv", "--out", "x.korv"}, "dim-chain" + requires_ab),
            refused({"add-dim", "a.korv", "--a", "1,1,1", "--b", "1,1,1", "--out", "x.korv"},
                    "add-dim: --a and --b are the same point; there is nothing to measure\n"),
            refused({"dim-chain", "--a", "1,2,3", "--b", "1,2,3", "--out", "x.korv"},
                    "dim-chain: --a and --b are the same point; there is no ray to fire\n"),
            refused({"dim-chain", "--a", "-1,-5,1", "--b", "6,-5,1", "--out", "x.korv"},
                    "dim-chain: the ray from (-1,-5,1) to (6,-5,1) crosses no face\n", 2),
            refused({"dim-chain", "--a", "-1,3,1", "--b", "0.05,3,1", "--out", "x.korv"},
                    "dim-chain: the ray crosses only one face; there is no gap to dimension\n", 2),
            refused({"dim-auto", "a.korv", "--out", "x.korv"},
                    "dim-auto: the model has no alive faces\n", 2),
            refused({"dim-auto", "--axis", "0,0,0", "--out", "x.korv"},
                    "dim-auto: --axis must not be the zero vector\n"),
            refused({"dim-auto", "--pitch", "0", "--out", "x.korv"},
                    "dim-auto: --pitch must be greater than 0 (rows would overlap)\n"),
            refused({"dim-reanchor", "--fix", "--out", "x.korv"}, "dim-reanchor requires --in\n"),
            refused({"add-curve", "a.korv", "--out", "x.korv"},
                    "add-curve requires --path \"X,Y,Z X,Y,Z ...\" (2 or more points)\n"),
            refused({"labels", "a.korv", "--add", "--delete", "--index", "0", "--out", "x.korv"},
                    "labels: --add and --delete are mutually exclusive\n"),
            refused(
                {"list-labels", "a.korv", "--add", "--label-text", "", "--out", "x.korv"},
                "list-labels: --add needs a non-empty --label-text (a label cannot be empty)\n"),
            refused({"labels", "a.korv", "--delete", "--out", "x.korv"},
                    "labels: --delete requires --index N\n"),
            refused({"labels", "a.korv", "--delete", "--index", "0", "--out", "x.korv"},
                    "labels: there is no label at index 0 (the model has 0 labels)\n"),
        });
}

TEST(AnnotationsCli, ChainAndAutoDimensionsAreOneUndoStepEach) {
    const auto dir = fresh_temp_dir();
    // Through both 0.15 m side walls of the townhouse at y = 3: four faces, three gaps and
    // the overall width one row further out.
    expect_runs(dir, {
                         ok({"dim-chain", "--a", "-1,3,1", "--b", "6,3,1"},
                            "crossings=4 dims=4 stack_size=1\n"),
                         ok({"dim-chain", "--a", "-1,3,1", "--b", "6,3,1", "--no-overall"},
                            "crossings=4 dims=3 stack_size=1\n"),
                         ok({"dim-chain", "--a", "-1,3,1", "--b", "6,3,1", "--out", "c.korv"},
                            "crossings=4 dims=4 stack_size=1, saved to \"c.korv\"\n"),
                         ok({"dims", "c.korv"},
                            "dims=4\n"
                            "[0] value=0.15  len=0.15 label=\"0.15 m\" a=(0,3,1) b=(0.15,3,1)\n"
                            "[1] value=4.7  len=4.7 label=\"4.7 m\" a=(0.15,3,1) b=(4.85,3,1)\n"
                            "[2] value=0.15  len=0.15 label=\"0.15 m\" a=(4.85,3,1) b=(5,3,1)\n"
                            "[3] value=5  len=5 label=\"5 m\" a=(0,3,1) b=(5,3,1)\n"),
                         ok({"dim-reanchor", "c.korv"},
                            "dims=4 associative=4 stale=0 dangling=0 reanchored=0\n"),
                         ok({"dim-auto", "--axis", "0,1,0", "--out", "d.korv"},
                            "faces=74 dims=6 rows=2 stack_size=1, saved to \"d.korv\"\n"),
                     });
    // Without --out a dry run leaves its input as it was and writes nothing new.
    expect_runs(dir, {
                         ok({"dim-chain", "c.korv", "--a", "-1,3,1", "--b", "6,3,1"},
                            "crossings=4 dims=4 stack_size=1\n"),
                         ok({"dim-auto", "c.korv"}, "faces=74 dims=12 rows=5 stack_size=1\n"),
                     });
}

TEST(AnnotationsCli, ReanchorReportsAndFixesStaleDimensions) {
    const auto dir = fresh_temp_dir();
    write_dimensioned_cube(dir / "cube.korv");
    expect_runs(
        dir,
        {
            ok({"dim-reanchor", "cube.korv"},
               "dims=4 associative=3 stale=1 dangling=1 reanchored=0\n"),
            ok({"dim-reanchor", "cube.korv", "--fix"},
               "dims=4 associative=3 stale=1 dangling=1 reanchored=1\n"),
            ok({"dim-reanchor", "cube.korv", "--fix", "--out", "fixed.korv"},
               "dims=4 associative=3 stale=1 dangling=1 reanchored=1, saved to \"fixed.korv\"\n"),
            ok({"dim-reanchor", "fixed.korv"},
               "dims=4 associative=3 stale=0 dangling=1 reanchored=0\n"),
            ok({"dims", "fixed.korv"},
               "dims=4\n"
               "[0] value=2  len=2 label=\"x\" a=(0,1,1) b=(2,1,1)\n"
               "[1] value=2  len=2 label=\"2 m\" a=(0,1,0.5) b=(2,1,0.5)\n"
               "[2] value=2  len=2 label=\"x\" a=(0,1,1.5) b=(2,1,1.5)\n"
               "[3] value=1  len=1 label=\"\" a=(0,0,0) b=(0,0,1)\n"),
        });
}

TEST(AnnotationsCli, LabelsAreAddedAndDeletedThroughTheirCommands) {
    const auto dir = make_models({{"new", "--out", "a.korv"}});
    expect_runs(
        dir,
        {
            ok({"labels", "a.korv", "--add", "--label-text", "Hall \"A\""},
               "added=1 label_index=0 text=\"Hall \\\"A\\\"\"\n"),
            ok({"labels", "a.korv", "--add", "--label-text", "Hall", "--label-at", "1,2,3",
                "--label-height", "0.5", "--label-tag", "0", "--out", "l.korv"},
               "added=1 label_index=0 text=\"Hall\", saved to \"l.korv\"\n"),
            ok({"labels", "l.korv", "--add", "--label-text", "Porch", "--out", "l.korv"},
               "added=1 label_index=1 text=\"Porch\", saved to \"l.korv\"\n"),
            ok({"list-labels", "l.korv"},
               "Labels: 2\n[0] text=\"Hall\" at=(1,2,3) h=0.5 tag=0\n"
               "[1] text=\"Porch\" at=(0,0,0) h=0.2 tag=-1\n"),
            ok({"labels", "l.korv", "--delete", "--index", "0", "--out", "l.korv"},
               "deleted=1 label_index=0 text=\"Hall\", saved to \"l.korv\"\n"),
            ok({"labels", "l.korv"}, "Labels: 1\n[0] text=\"Porch\" at=(0,0,0) h=0.2 tag=-1\n"),
            refused({"labels", "l.korv", "--delete", "--index", "1"},
                    "labels: there is no label at index 1 (the model has 1 label)\n"),
        });
}

}  // namespace korvan::test
