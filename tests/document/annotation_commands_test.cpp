// Guide and dimension commands undone and redone byte for byte, and the dimension layouts
// behind dim-chain, dim-auto and dim-reanchor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/commands/annotation_commands.h"
#include "document/commands/command_stack.h"
#include "document/dimension_layout.h"
#include "document/document.h"
#include "tests/document/document_builders.h"
#include "tests/document/saved_bytes.h"

namespace korvan {
namespace {

using doc_test::cube;

// Appends each face of `from` with corners of its own, so nothing is shared or linked.
void append_loose_faces(Mesh& mesh, const Mesh& from) {
    for (FaceId f = 0; f < from.faces().size(); ++f) {
        std::vector<VertexId> ring;
        for (VertexId v : from.face_vertices(f)) {
            ring.push_back(mesh.add_vertex(from.vertices()[v].position));
        }
        mesh.add_quad(ring[0], ring[1], ring[2], ring[3]);
    }
}

// Two 2 m cubes on the x axis, 1 m apart: faces 0-5 are the first, 6-11 the second (left
// x=0 is face 4, right face 5).
Mesh two_cubes() {
    Mesh mesh = cube({0, 0, 0}, 2.0f);
    append_loose_faces(mesh, cube({3, 0, 0}, 2.0f));
    return mesh;
}

Document annotated_document() {
    Document doc;
    doc.root().mesh = two_cubes();
    doc.root().mesh.add_guide({0, 0, 0}, {5, 0, 0}, true);
    Dimension existing;
    existing.b = {0, 2, 0};
    existing.value = 2.0f;
    existing.label = "2 m";
    doc.root().mesh.add_dimension(existing);
    doc.add_label(TextLabel{"Hall", {1, 1, 0}, 0.3f, -1});
    EXPECT_NE(doc.create_group(&doc.root(), "Shed", cube({8, 0, 0}, 1.0f)), nullptr);
    return doc;
}

using test::saved_bytes;

Dimension anchored_dimension() {
    Dimension dim;
    dim.a = {2, 1, 1};
    dim.b = {3, 1, 1};
    dim.value = 1.0f;
    dim.direction = {0, -1, 0};
    dim.anchor_a = {kDimensionAnchorFace, 5, 0.0f};
    dim.anchor_b = {kDimensionAnchorFace, 10, 0.0f};
    dim.label = "1 m";
    return dim;
}

struct UndoCase {
    const char* what;
    const char* label;
    std::function<std::unique_ptr<Command>(Document&)> make;
};

}  // namespace

TEST(AnnotationCommands, UndoAndRedoGiveBackTheSavedFileExactly) {
    const std::vector<UndoCase> cases = {
        {"guide on the root", "Tape",
         [](Document& doc) -> std::unique_ptr<Command> {
             return std::make_unique<AddGuideCommand>(doc, MeshLocator::of_node(&doc.root()),
                                                      Guide{{1, 2, 3}, {4, 5, 6}, false});
         }},
        {"guide in a group", "Tape",
         [](Document& doc) -> std::unique_ptr<Command> {
             return std::make_unique<AddGuideCommand>(
                 doc, MeshLocator::of_node(doc.find_node_by_name("Shed")),
                 Guide{{8, 0, 0}, {9, 0, 0}, true});
         }},
        {"anchored dimension", "Measure",
         [](Document& doc) -> std::unique_ptr<Command> {
             return std::make_unique<AddDimensionCommand>(doc, MeshLocator::of_node(&doc.root()),
                                                          anchored_dimension());
         }},
        {"chain as one group", "Chain Dimensions",
         [](Document& doc) -> std::unique_ptr<Command> {
             auto group = std::make_unique<CompoundCommand>("Chain Dimensions");
             const ChainPlan plan =
                 plan_chain_dimensions(doc.root().mesh, {-1, 1, 1}, {6, 1, 1}, 1.0f, true);
             for (const Dimension& dim : plan.dimensions) {
                 group->add(std::make_unique<AddDimensionCommand>(
                     doc, MeshLocator::of_node(&doc.root()), dim));
             }
             return group;
         }},
    };
    for (const UndoCase& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc = annotated_document();
        const std::unique_ptr<Command> cmd = c.make(doc);
        test::expect_undo_round_trips(doc, *cmd, c.label);
    }
}

TEST(AnnotationCommands, AMeshThatIsGoneIsANoOp) {
    Document doc = annotated_document();
    SceneNode* shed = doc.find_node_by_name("Shed");
    const DetachedNode removed = doc.delete_node(shed);
    ASSERT_TRUE(removed.ok());
    AddGuideCommand add(doc, MeshLocator::of_node(shed), Guide{});
    add.redo();
    EXPECT_TRUE(add.is_noop());
    CommandStack stack;
    stack.push(std::make_unique<AddDimensionCommand>(doc, MeshLocator::of_node(shed),
                                                     anchored_dimension()));
    EXPECT_EQ(stack.size(), 0u);
}

TEST(AnnotationCommands, AChainPushedInAGroupIsOneUndoStep) {
    Document doc = annotated_document();
    const std::string before = saved_bytes(doc);
    CommandStack stack;
    const ChainPlan plan =
        plan_chain_dimensions(doc.root().mesh, {-1, 1, 1}, {6, 1, 1}, 1.0f, true);
    {
        ScopedCommandGroup group(stack, "Chain Dimensions");
        for (const Dimension& dim : plan.dimensions) {
            stack.push(
                std::make_unique<AddDimensionCommand>(doc, MeshLocator::of_node(&doc.root()), dim));
        }
    }
    ASSERT_EQ(stack.size(), 1u);
    EXPECT_EQ(doc.root().mesh.dimensions().size(), 1u + plan.dimensions.size());
    ASSERT_TRUE(stack.undo());
    EXPECT_EQ(saved_bytes(doc), before);
}

TEST(DimensionLayout, SegmentCrossingsMergeSharedEdgesAndSkipFacesAlongTheRay) {
    struct Row {
        const char* what;
        Vec3 a, b;
        std::vector<FaceId> faces;
        std::vector<float> xs;
    };
    const std::vector<Row> rows = {
        {"straight through", {-1, 1, 1}, {3, 1, 1}, {4, 5}, {0, 2}},
        {"backwards", {3, 1, 1}, {-1, 1, 1}, {5, 4}, {2, 0}},
        {"along the front face, through side outlines", {-1, 0, 1}, {3, 0, 1}, {4, 5}, {0, 2}},
        {"through two vertical edges", {-1, -1, 1}, {3, 3, 1}, {2, 3}, {0, 2}},
        {"ending on a face", {-1, 1, 1}, {0, 1, 1}, {4}, {0}},
        {"missing the cube", {-1, 5, 1}, {3, 5, 1}, {}, {}},
        {"a point, no ray", {1, 1, 1}, {1, 1, 1}, {}, {}},
    };
    Mesh mesh = cube({0, 0, 0}, 2.0f);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<RayCrossing> hits = segment_face_crossings(mesh, row.a, row.b);
        ASSERT_EQ(hits.size(), row.faces.size());
        for (std::size_t i = 0; i < hits.size(); ++i) {
            EXPECT_EQ(hits[i].face, row.faces[i]);
            EXPECT_NEAR(hits[i].point.x, row.xs[i], 1e-5);
        }
    }
}

TEST(DimensionLayout, ChainDimensionsEveryGapAndTheOverallOneRowOut) {
    Mesh mesh = two_cubes();
    const ChainPlan plan = plan_chain_dimensions(mesh, {-1, 1, 1}, {6, 1, 1}, 0.5f, true);
    ASSERT_EQ(plan.crossings.size(), 4u);
    ASSERT_EQ(plan.dimensions.size(), 4u);
    const float values[] = {2, 1, 2, 5};
    const FaceId anchors[][2] = {{4, 5}, {5, 10}, {10, 11}, {4, 11}};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const Dimension& d = plan.dimensions[i];
        EXPECT_NEAR(d.value, values[i], 1e-5);
        EXPECT_EQ(d.anchor_a, (DimensionAnchor{kDimensionAnchorFace, anchors[i][0], 0.0f}));
        EXPECT_EQ(d.anchor_b, (DimensionAnchor{kDimensionAnchorFace, anchors[i][1], 0.0f}));
        // Drawn to the side of the ray, the overall one twice as far.
        EXPECT_NEAR(dot(d.direction, d.b - d.a), 0.0f, 1e-5);
        EXPECT_NEAR(length(d.direction), i == 3 ? 1.0f : 0.5f, 1e-6);
    }
    EXPECT_EQ(plan_chain_dimensions(mesh, {-1, 1, 1}, {6, 1, 1}, 0.5f, false).dimensions.size(),
              3u);
    // One crossing leaves no gap.
    EXPECT_TRUE(plan_chain_dimensions(mesh, {-1, 1, 1}, {1, 1, 1}, 0.5f, true).dimensions.empty());
}

TEST(DimensionLayout, AutoDimensionRowsNeverOverlap) {
    Mesh mesh = two_cubes();
    // A third cube overlapping the first along x.
    append_loose_faces(mesh, cube({1, 4, 0}, 2.0f));
    const AutoDimPlan plan = plan_auto_dimensions(mesh, {2, 0, 0}, 1.0f, 0.5f);
    EXPECT_EQ(plan.faces, 18u);
    // Extents 0-2, 1-3 and 3-5, each once; 3-5 fits after 0-2.
    ASSERT_EQ(plan.dimensions.size(), 3u);
    EXPECT_EQ(plan.rows, 2u);
    for (std::size_t i = 0; i < plan.dimensions.size(); ++i) {
        for (std::size_t j = i + 1; j < plan.dimensions.size(); ++j) {
            const Dimension& p = plan.dimensions[i];
            const Dimension& q = plan.dimensions[j];
            if (length(p.direction - q.direction) > 1e-6f) continue;  // other rows
            EXPECT_TRUE(std::max(p.a.x, p.b.x) <= std::min(q.a.x, q.b.x) + 1e-5f ||
                        std::max(q.a.x, q.b.x) <= std::min(p.a.x, p.b.x) + 1e-5f)
                << i << " overlaps " << j;
        }
    }
    EXPECT_TRUE(plan_auto_dimensions(mesh, {0, 0, 0}, 1.0f, 0.5f).dimensions.empty());
}

TEST(DimensionLayout, ReanchorFollowsMovedFacesAndCountsDanglingOnes) {
    Mesh mesh = two_cubes();
    for (Dimension& dim :
         plan_chain_dimensions(mesh, {-1, 1, 1}, {6, 1, 1}, 1.0f, true).dimensions) {
        mesh.add_dimension(std::move(dim));
    }
    Dimension plain;
    plain.b = {1, 0, 0};
    plain.value = 7.0f;  // not associative: never judged
    mesh.add_dimension(plain);

    const std::vector<FaceId> second = {6, 7, 8, 9, 10, 11};
    mesh.translate_faces(second, {1, 0, 0});
    ReanchorReport report = reanchor_dimensions(mesh, false);
    EXPECT_EQ(report.dims, 5u);
    EXPECT_EQ(report.associative, 4u);
    EXPECT_EQ(report.stale, 3u);
    EXPECT_EQ(report.reanchored, 0u);

    report = reanchor_dimensions(mesh, true);
    EXPECT_EQ(report.reanchored, 3u);
    const float values[] = {2, 2, 2, 6};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(mesh.dimensions()[i].value, values[i], 1e-5) << i;
        EXPECT_NEAR(length(mesh.dimensions()[i].b - mesh.dimensions()[i].a), values[i], 1e-5);
    }
    EXPECT_EQ(mesh.dimensions()[3].label, "6 m");
    report = reanchor_dimensions(mesh, false);
    EXPECT_EQ(report.stale, 0u);

    mesh.erase_face(4);
    report = reanchor_dimensions(mesh, true);
    EXPECT_EQ(report.dangling, 2u);
    EXPECT_EQ(report.stale, 0u);
    EXPECT_EQ(report.reanchored, 0u);
}

}  // namespace korvan
