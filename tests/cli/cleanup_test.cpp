// The clean-up verbs end to end: what they change in the saved file, what they must leave
// alone, and that a run with nothing to do exits 2 and writes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli/samples/fallback_model.h"
#include "document/document.h"
#include "document/material_library.h"
#include "tests/cli/cli_checks.h"
#include "tests/support/solid_checks.h"
#include "tools/cleanup/remove_lines.h"
#include "tools/inspect.h"

namespace korvan {
namespace {

using test::Args;

// A cube with every face cut corner to corner: twelve triangles over six flat squares.
Mesh cut_cube(float size) {
    Mesh m = test::cube_mesh(size);
    for (FaceId f = 0; f < 6; ++f) {
        const std::vector<VertexId> ring = m.face_vertices(f);
        m.split_face_with_edge(f, m.vertices()[ring[0]].position, m.vertices()[ring[2]].position);
    }
    m.link_shared_edges();
    return m;
}

// Root holds "Slab" (which holds "Inner") and "Other", each a cut cube.
Document cut_cubes_model() {
    Document doc;
    auto add = [](SceneNode& parent, const char* name, float size) -> SceneNode& {
        auto node = std::make_unique<SceneNode>();
        node->name = name;
        node->mesh = cut_cube(size);
        return parent.add_child(std::move(node));
    };
    SceneNode& slab = add(doc.root(), "Slab", 1.0f);
    add(slab, "Inner", 2.0f);
    add(doc.root(), "Other", 3.0f);
    return doc;
}

const SceneNode* child(const SceneNode& parent, const std::string& name) {
    for (const auto& c : parent.children) {
        if (c->name == name) return c.get();
    }
    return nullptr;
}

TEST(RemoveLinesVerb, CleansTheNamedSubtreesOnly) {
    const std::filesystem::path dir = test::fresh_temp_dir();
    test::write_model(dir / "in.korv", cut_cubes_model());
    const test::CliRun run = test::run_cli(
        {"remove-lines", "--in", "in.korv", "--name", "Slab,Slab", "--out", "o.korv"}, dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(test::stat_value(run.out, "removed_lines"), "12");
    EXPECT_NE(run.out.find(" groups=2, saved to"), std::string::npos) << run.out;
    EXPECT_EQ(test::stat_value(run.out, "faces_before"), "24");
    EXPECT_EQ(test::stat_value(run.out, "faces_after"), "12");
    const Document out = test::load_model(dir / "o.korv");
    const SceneNode* slab = child(out.root(), "Slab");
    const SceneNode* other = child(out.root(), "Other");
    ASSERT_NE(slab, nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_EQ(slab->children.size(), 1u);
    struct Want {
        const Mesh* mesh;
        std::size_t faces;
        double volume;
    };
    for (const Want& w : {Want{&slab->mesh, 6, 1.0}, Want{&slab->children[0]->mesh, 6, 8.0},
                          Want{&other->mesh, 12, 27.0}}) {
        EXPECT_EQ(w.mesh->alive_faces().size(), w.faces);
        EXPECT_NEAR(test::piece_volumes(*w.mesh).at(0), w.volume, 1e-5);
        EXPECT_TRUE(check_solid(*w.mesh).closed());
    }

    // A second run finds nothing: exit 2 and no file; a missing name and no name refuse.
    test::expect_runs(dir, {
        test::refused({"remove-lines", "--in", "o.korv", "--name", "Slab", "--out", "p.korv"},
                      "remove-lines: nothing was redundant\n", 2),
        test::refused({"remove-lines", "--in", "in.korv", "--name", "Slab,Nope", "--out",
                       "p.korv"},
                      "remove-lines: no node named \"Nope\"\n"),
    });
    EXPECT_FALSE(std::filesystem::exists(dir / "p.korv"));
}

// The wall pieces round the openings lie in one plane but frame a hole: they must stay. The
// door and windows are instances, whose shared definitions the verb leaves alone.
TEST(RemoveLinesVerb, TheSampleTownhouseIsAlreadyClean) {
    Document doc;
    cli::install_fallback_model(doc);
    Mesh m = doc.root().mesh;
    const RedundantLinesResult r = remove_redundant_lines(m);
    EXPECT_EQ(r.removed, 0u);
    EXPECT_GT(r.kept, 0u);
    EXPECT_EQ(r.faces_after, r.faces_before);
    test::expect_runs(test::fresh_temp_dir(),
                      {test::refused({"remove-lines", "--name", "Door,Side window", "--out",
                                      "t.korv"},
                                     "remove-lines: nothing was redundant\n", 2)});
}

TEST(FindNameVerb, ListsMatchesOfAnyTermIgnoringCase) {
    const std::filesystem::path dir = test::fresh_temp_dir();
    test::write_model(dir / "in.korv", cut_cubes_model());
    const test::CliRun run = test::run_cli({"find-name", "--in", "in.korv", "--name", "SLAB;inn"}, dir);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out,
              "find-name: 2 of 3 node(s) match\n"
              "group \"Slab\" depth=1\n"
              "group \"Inner\" depth=2\n");
    const test::CliRun none = test::run_cli({"find-name", "--in", "in.korv", "--name", "zz"}, dir);
    EXPECT_EQ(none.exit_code, 2);
    EXPECT_EQ(none.out, "find-name: 0 of 3 node(s) match\n");
}

TEST(ClearTexturesVerb, TheSampleLosesItsTexturesOnceOnly) {
    const std::filesystem::path dir = test::fresh_temp_dir();
    const test::CliRun run = test::run_cli({"clear-textures", "--out", "t.korv"}, dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    Document sample;
    cli::install_fallback_model(sample);
    const Document out = test::load_model(dir / "t.korv");
    ASSERT_EQ(out.materials().size(), sample.materials().size());
    std::uint64_t textured = 0;
    for (std::size_t i = 0; i < out.materials().size(); ++i) {
        const Material& was = sample.materials()[i];
        const Material& now = out.materials()[i];
        textured += !was.texture_path.empty() || was.uv.pattern != TexturePattern::kNone ? 1 : 0;
        EXPECT_EQ(now.texture_path, "");
        EXPECT_EQ(now.uv.pattern, TexturePattern::kNone);
        EXPECT_EQ(now.albedo, was.albedo);
        EXPECT_EQ(now.name, was.name);
    }
    EXPECT_GT(textured, 0u);
    EXPECT_EQ(run.out.rfind("clear-textures: cleared the texture of ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("of " + std::to_string(textured) + " material(s)"), std::string::npos);
    EXPECT_EQ(out.root().mesh.alive_faces().size(), sample.root().mesh.alive_faces().size());
    test::expect_runs(dir, {test::refused({"clear-textures", "--in", "t.korv", "--out", "u.korv"},
                                          "clear-textures: no material had a texture\n", 2)});
    EXPECT_FALSE(std::filesystem::exists(dir / "u.korv"));
}

TEST(ReplaceMaterialVerb, RepaintsTheSampleAndRefusesWhatItCannotDo) {
    Document sample;
    cli::install_fallback_model(sample);
    std::vector<std::uint64_t> used(sample.materials().size(), 0);
    for (const FaceId f : sample.root().mesh.alive_faces()) {
        ++used[sample.root().mesh.faces()[f].material_id];
    }
    for (const ComponentDefinition& d : sample.definitions()) {
        for (const FaceId f : d.mesh.alive_faces()) ++used[d.mesh.faces()[f].material_id];
    }
    const auto most = std::max_element(used.begin() + 1, used.end());
    const auto unused = std::find(used.begin() + 1, used.end(), 0u);
    ASSERT_NE(unused, used.end());
    const std::string from = std::to_string(most - used.begin());
    const std::string idle = std::to_string(unused - used.begin());

    const std::filesystem::path dir = test::fresh_temp_dir();
    const test::CliRun run =
        test::run_cli({"replace-material", "--name", from + "," + idle, "--out", "r.korv"}, dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(test::stat_value(run.out, "faces"), std::to_string(*most));
    const Document out = test::load_model(dir / "r.korv");
    EXPECT_TRUE(out.root().mesh.faces_with_material(static_cast<std::uint32_t>(*most)).empty());
    EXPECT_EQ(out.root().mesh.alive_faces().size(), sample.root().mesh.alive_faces().size());

    test::expect_runs(dir, {
        test::refused({"replace-material", "--name", idle + ",1", "--out", "x.korv"},
                      "replace-material: nothing used material " + idle + "\n", 2),
        test::refused({"replace-material", "--name", "1,999", "--out", "x.korv"},
                      "replace-material: no material 999\n"),
        test::refused({"replace-material", "--name", "1,x", "--out", "x.korv"},
                      "replace-material: --name takes two material ids, -1 for the default\n"),
    });
    EXPECT_FALSE(std::filesystem::exists(dir / "x.korv"));
}

TEST(CircleCentreVerb, AddsOneGuidePointAtTheCentre) {
    const std::filesystem::path dir = test::fresh_temp_dir();
    Document doc;
    doc.root().mesh.add_guide({3, 0, 0}, {0, 3, 0});   // a chord of the circle of radius 3 about 0
    doc.root().mesh.add_guide({-3, 0, 0}, {0, -3, 0});  // parallel to the first
    test::write_model(dir / "parallel.korv", doc);
    doc.root().mesh.guide_mut(1) = Guide{{-3, 0, 0}, {0, 3, 0}};
    test::write_model(dir / "in.korv", doc);
    test::write_model(dir / "none.korv", Document{});
    const test::CliRun run =
        test::run_cli({"circle-centre", "--in", "in.korv", "--out", "o.korv"}, dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, "circle-centre: added a guide point at (0,0,0) radius=3 guide=2, saved to "
                       "\"o.korv\"\n");
    const Document out = test::load_model(dir / "o.korv");
    ASSERT_EQ(out.root().mesh.guides().size(), 3u);
    EXPECT_EQ(out.root().mesh.guides()[2].a, out.root().mesh.guides()[2].b);
    // The point is not a segment: a second run still sees the same two.
    EXPECT_EQ(test::run_cli({"circle-centre", "--in", "o.korv", "--out", "p.korv"}, dir).exit_code, 0);
    test::expect_runs(dir, {
        test::refused({"circle-centre", "--in", "parallel.korv", "--out", "x.korv"},
                      "circle-centre: the two segments are parallel\n", 2),
        test::refused({"circle-centre", "--in", "none.korv", "--out", "x.korv"},
                      "circle-centre: there must be exactly two straight segments\n", 2),
    });
}

TEST(FindCentreVerb, MarksFaceAndWorldBoxCentres) {
    const std::filesystem::path dir = test::fresh_temp_dir();
    Document doc = cut_cubes_model();
    doc.root().mesh = test::cube_mesh(1.0f);
    doc.root().children[0]->transform = Mat4::translation({10, 0, 0});  // "Slab"
    test::write_model(dir / "in.korv", doc);
    const test::CliRun run = test::run_cli(
        {"find-centre", "--name", "Slab", "--faces", "1,1,99", "--in", "in.korv", "--out", "o.korv"},
        dir);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    // The cube's top, then Slab (a unit cube holding a cube of 2) moved 10 along x.
    EXPECT_EQ(run.out, "find-centre: added 2 guide point(s) at (0.5,0.5,1) (11,1,1) faces=1 "
                       "nodes=1, saved to \"o.korv\"\n");
    const Document out = test::load_model(dir / "o.korv");
    ASSERT_EQ(out.root().mesh.guides().size(), 2u);
    EXPECT_EQ(out.root().mesh.guides()[1].a, (Vec3{11, 1, 1}));
    EXPECT_EQ(out.root().mesh.guides()[1].b, (Vec3{11, 1, 1}));
    test::expect_runs(dir, {
        test::refused({"find-centre", "--faces", "99", "--in", "in.korv", "--out", "x.korv"},
                      "find-centre: nothing listed has a centre\n", 2),
        test::refused({"find-centre", "--name", "Nope", "--in", "in.korv", "--out", "x.korv"},
                      "find-centre: no node named \"Nope\"\n"),
    });
}

}  // namespace
}  // namespace korvan
