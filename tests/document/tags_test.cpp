#include <gtest/gtest.h>

#include <vector>

#include "document/document.h"
#include "tests/document/document_builders.h"

namespace korvan {
namespace {

using doc_test::add_group;
using doc_test::quad;

// One quad per layer 0..4, the last one erased.
Mesh layered_quads() {
    Mesh m;
    for (std::uint32_t layer = 0; layer < 5; ++layer) {
        Mesh q = quad({static_cast<float>(layer), 0, 0}, 1.0f, 0, layer);
        const VertexId base = static_cast<VertexId>(m.vertices().size());
        for (const Vertex& v : q.vertices()) m.add_vertex(v.position);
        const auto f = m.add_quad(base, base + 1, base + 2, base + 3);
        m.face_mut(*f).layer_id = layer;
    }
    m.erase_face(4);
    return m;
}

std::vector<std::uint32_t> layers_of(const Mesh& m) {
    std::vector<std::uint32_t> out;
    for (const Face& f : m.faces()) out.push_back(f.layer_id);
    return out;
}

TEST(Tags, DeletingATagRenumbersEveryReference) {
    Document doc;
    for (const char* name : {"A", "B", "C", "D"}) doc.ensure_tag(name);  // indices 1..4
    doc.root().mesh = layered_quads();
    SceneNode* g = add_group(doc, &doc.root(), "G", layered_quads());
    SceneNode* inner = add_group(doc, g, "Inner", layered_quads());
    SceneNode* other = add_group(doc, &doc.root(), "Other");
    g->tag = 2;
    inner->tag = 3;
    other->tag = 1;
    doc.add_definition(ComponentDefinition{"def", "Def", "", layered_quads()});
    for (std::int32_t tag : {2, 3, -1, 0}) doc.add_label(TextLabel{"t", {}, 0.2f, tag});
    const Document before = doc;

    const TagDeletion d = doc.delete_tag(2);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(doc.tags().size(), 4u);
    EXPECT_EQ(doc.tags()[2].name, "C");
    EXPECT_EQ(g->tag, -1);
    EXPECT_EQ(inner->tag, 2);
    EXPECT_EQ(other->tag, 1);
    std::vector<std::int32_t> label_tags;
    for (const TextLabel& l : doc.labels()) label_tags.push_back(l.tag);
    EXPECT_EQ(label_tags, (std::vector<std::int32_t>{-1, 2, -1, 0}));
    // Layer 2 goes to 0, 3 and 4 move down; the erased face keeps its number.
    const std::vector<std::uint32_t> expected{0, 1, 0, 2, 4};
    EXPECT_EQ(layers_of(doc.root().mesh), expected);
    EXPECT_EQ(layers_of(g->mesh), expected);
    EXPECT_EQ(layers_of(inner->mesh), expected);
    EXPECT_EQ(layers_of(doc.definitions()[0].mesh), layers_of(before.definitions()[0].mesh));

    ASSERT_TRUE(doc.restore_tag(d));
    EXPECT_EQ(doc.tags(), before.tags());
    EXPECT_EQ(doc.labels(), before.labels());
    EXPECT_EQ(g->tag, 2);
    EXPECT_EQ(inner->tag, 3);
    EXPECT_EQ(layers_of(g->mesh), layers_of(before.root().children[0]->mesh));
    EXPECT_EQ(layers_of(doc.root().mesh), layers_of(before.root().mesh));

    EXPECT_FALSE(doc.delete_tag(5).ok);
    EXPECT_FALSE(doc.delete_tag(-1).ok);
}

TEST(Tags, EnsureTagIsIdempotentAndTagUseIsCounted) {
    Document doc;
    EXPECT_EQ(doc.ensure_tag("Layer0"), 0);
    EXPECT_EQ(doc.ensure_tag("Walls"), 1);
    EXPECT_EQ(doc.ensure_tag("Walls"), 1);
    EXPECT_EQ(doc.ensure_tag("walls"), 2);
    EXPECT_EQ(doc.tags().size(), 3u);

    SceneNode* g = add_group(doc, &doc.root(), "G", layered_quads());
    EXPECT_TRUE(doc.set_node_tag(g, 1));
    EXPECT_FALSE(doc.set_node_tag(g, 3));
    EXPECT_FALSE(doc.set_node_tag(g, -2));
    EXPECT_EQ(g->tag, 1);
    EXPECT_EQ(doc.count_nodes_with_tag(1), 1u);
    EXPECT_TRUE(doc.set_node_tag(g, -1));
    EXPECT_EQ(doc.count_nodes_with_tag(1), 0u);
}

TEST(Tags, FaceCountsWalkNodeMeshesButNotDefinitions) {
    Document doc;
    doc.root().mesh = layered_quads();
    SceneNode* g = add_group(doc, &doc.root(), "G", layered_quads());
    add_group(doc, g, "Deep", layered_quads());
    doc.add_definition(ComponentDefinition{"def", "Def", "", layered_quads()});
    doc.create_instance(g, "def", "I");
    struct Row {
        std::int32_t tag;
        std::uint64_t faces;
    };
    for (const Row row : {Row{0, 3}, Row{3, 3}, Row{4, 0}, Row{7, 0}, Row{-1, 0}}) {
        SCOPED_TRACE(row.tag);
        EXPECT_EQ(doc.count_faces_with_tag(row.tag), row.faces);
    }
}

}  // namespace
}  // namespace korvan
