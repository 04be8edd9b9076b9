#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "document/document.h"
#include "document/transform.h"
#include "tests/document/document_builders.h"
#include "tests/support/near_checks.h"

namespace korvan {
namespace {

using doc_test::add_group;
using doc_test::cube;
using doc_test::face_bounds;
using test::expect_near;

TEST(NodeEdit, RotateTurnsAboutZThenYThenXBeforeTheTransform) {
    struct Row {
        Vec3 angles_deg;
        Vec3 point;
        Vec3 expected;  // before the node's translation by (10, 0, 0)
    };
    const Row rows[] = {
        {{0, 0, 90}, {1, 0, 0}, {0, 1, 0}},
        {{90, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {{0, 90, 0}, {1, 0, 0}, {0, 0, -1}},
        // z first: (1,0,0) -> (0,1,0), then x: -> (0,0,1). The other order gives (0,1,0).
        {{90, 0, 90}, {1, 0, 0}, {0, 0, 1}},
        // z first: (1,0,0) -> (0,1,0); y leaves it; x: -> (0,0,1).
        {{90, 90, 90}, {1, 0, 0}, {0, 0, 1}},
        // y turns (0,0,1) to (1,0,0); with z acting last it would end at (0,1,0).
        {{0, 90, 90}, {0, 0, 1}, {1, 0, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.angles_deg.x << "," << row.angles_deg.y << "," << row.angles_deg.z);
        Document doc;
        SceneNode* node = add_group(doc, &doc.root(), "N", {}, Mat4::translation({10, 0, 0}));
        ASSERT_TRUE(doc.rotate_node(node, row.angles_deg.x, row.angles_deg.y, row.angles_deg.z));
        expect_near(transform_point(node->transform, row.point), row.expected + Vec3{10, 0, 0});
    }
}

TEST(NodeEdit, TransformOperationsRefuseTheRootAndStrangers) {
    Document doc;
    SceneNode* node = add_group(doc, &doc.root(), "N");
    SceneNode stray;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (SceneNode* target : {&doc.root(), &stray, static_cast<SceneNode*>(nullptr)}) {
        EXPECT_FALSE(doc.rotate_node(target, 10, 0, 0));
        EXPECT_FALSE(doc.translate_node(target, {1, 0, 0}));
        EXPECT_FALSE(doc.set_node_translation(target, {1, 0, 0}));
        EXPECT_FALSE(doc.scale_node(target, 2.0f));
        EXPECT_FALSE(doc.mirror_node(target, {1, 0, 0}).ok);
    }
    for (float factor : {0.0f, -1.0f, nan, std::numeric_limits<float>::infinity()}) {
        SCOPED_TRACE(factor);
        EXPECT_FALSE(doc.scale_node(node, factor));
        EXPECT_FALSE(doc.set_node_scale(node, factor));
    }
    EXPECT_EQ(node->transform.m, Mat4{}.m);
    EXPECT_EQ(doc.root().transform.m, Mat4{}.m);
}

TEST(NodeEdit, RelativeAndAbsoluteMovesAndScales) {
    Document doc;
    SceneNode* node = add_group(doc, &doc.root(), "N", {}, Mat4::translation({1, 2, 3}));
    ASSERT_TRUE(doc.translate_node(node, {1, 1, 1}));
    expect_near(transform_point(node->transform, {}), {2, 3, 4});
    ASSERT_TRUE(doc.set_node_translation(node, {5, 0, 0}));
    expect_near(transform_point(node->transform, {}), {5, 0, 0});

    // Relative scale is about the node's own origin and compounds.
    ASSERT_TRUE(doc.scale_node(node, 2.0f));
    ASSERT_TRUE(doc.scale_node(node, 1.5f));
    expect_near(transform_point(node->transform, {1, 0, 0}), {8, 0, 0});
    // Absolute scale replaces it and keeps the rotation.
    ASSERT_TRUE(doc.rotate_node(node, 0, 0, 90));
    ASSERT_TRUE(doc.set_node_scale(node, 0.5f));
    expect_near(transform_point(node->transform, {1, 0, 0}), {5, 0.5f, 0});
    EXPECT_FALSE(doc.set_node_scale(add_group(doc, &doc.root(), "F", {}, uniform_scale(0)), 1));
}

TEST(NodeEdit, MirrorKeepsFacesOutwardAndTwiceRestores) {
    struct Row {
        const char* what;
        bool about_plane;
        Vec3 point, normal;
        float min_x, max_x;  // world x range of the mirrored cube
    };
    const Row rows[] = {
        // Local plane through the node's origin (x = 5 in the world).
        {"local", false, {}, {2, 0, 0}, 4, 5},
        {"parent plane", true, {0, 0, 0}, {-1, 0, 0}, -6, -5},
        {"tilted", true, {1, 1, 0}, {1, 1, 0}, -999, 999},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Document doc;
        SceneNode* node = add_group(doc, &doc.root(), "N", {}, Mat4::translation({5, 0, 0}));
        add_group(doc, node, "Box", cube());
        const Mat4 before = node->transform;
        const std::vector<VertexId> ring0 = node->children[0]->mesh.face_vertices(0);
        ASSERT_GT(doc.flatten_world().signed_volume(), 0.99f);

        auto mirror = [&] {
            return row.about_plane ? doc.mirror_node_about_plane(node, row.point, row.normal)
                                   : doc.mirror_node(node, row.normal);
        };
        const MirrorResult r = mirror();
        ASSERT_TRUE(r.ok);
        EXPECT_TRUE(r.flipped);
        EXPECT_EQ(r.faces_reversed, 6u);
        const Mesh world = doc.flatten_world();
        EXPECT_NEAR(world.signed_volume(), 1.0f, 1e-4f);
        if (row.min_x > -999) {
            EXPECT_NEAR(face_bounds(world).min.x, row.min_x, 1e-5);
            EXPECT_NEAR(face_bounds(world).max.x, row.max_x, 1e-5);
        }
        ASSERT_TRUE(mirror().ok);
        expect_near(node->transform, before);
        EXPECT_EQ(node->children[0]->mesh.face_vertices(0), ring0);
    }
}

TEST(NodeEdit, MirrorLeavesSharedDefinitionsAlone) {
    Document doc;
    doc.add_definition(ComponentDefinition{"box", "Box", "", cube()});
    SceneNode* inst = doc.create_instance(&doc.root(), "box", "I");
    const MirrorResult r = doc.mirror_node(inst, {0, 0, 1});
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(r.flipped);
    EXPECT_GT(doc.definition("box")->mesh.signed_volume(), 0.0f);
    EXPECT_FALSE(doc.mirror_node(inst, {0, 0, 1e-9f}).ok);
    EXPECT_FALSE(doc.mirror_node_about_plane(inst, {}, {}).ok);
}

TEST(Transform, AffineInverseUndoesTheTransform) {
    Document doc;
    SceneNode* node = add_group(doc, &doc.root(), "N", {}, Mat4::translation({3, -2, 7}));
    doc.rotate_node(node, 20, -35, 110);
    doc.scale_node(node, 2.5f);
    const auto inverse = affine_inverse(node->transform);
    ASSERT_TRUE(inverse.has_value());
    expect_near(compose(node->transform, *inverse), Mat4{});
    expect_near(compose(*inverse, node->transform), Mat4{});
    EXPECT_FALSE(affine_inverse(uniform_scale(0.0f)).has_value());
    EXPECT_LT(linear_determinant(reflection({}, {0, 1, 0})), 0.0);
}

}  // namespace
}  // namespace korvan
