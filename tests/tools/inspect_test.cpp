// The model inspection: each defect class found on a model built to have it and nowhere
// else, solid contacts told apart from non-manifold geometry, and the document walk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/document.h"
#include "tests/support/solid_builders.h"
#include "tools/inspect.h"

namespace korvan {
namespace {

using test::box_solid;

// The class counts in printing order.
std::vector<std::uint64_t> counts(const MeshInspection& r) {
    std::vector<std::uint64_t> out;
    for (int c = 0; c < kDefectClassCount; ++c) out.push_back(r.count(static_cast<DefectClass>(c)));
    return out;
}

// Two unit cubes over shared vertex ids, the second moved by whole cube widths; each keeps
// all six of its faces.
Mesh cube_pair(int dx, int dy, int dz) {
    Mesh m = box_solid({0, 0, 0}, {1, 1, 1});
    const Vec3 o{static_cast<float>(dx), static_cast<float>(dy), static_cast<float>(dz)};
    m.merge_mesh(box_solid(o, o + Vec3{1, 1, 1}), Mat4::identity());
    m.weld_vertices();
    m.link_shared_edges();
    return m;
}

TEST(Inspection, EachDefectClassIsFoundOnAModelBuiltToHaveIt) {
    struct Row {
        const char* name;
        Mesh mesh;
        std::vector<std::uint64_t> want;  // Degenerate ... Reversed
    };
    std::vector<Row> rows;
    rows.push_back({"closed box", box_solid({0, 0, 0}, {1, 2, 3}), {0, 0, 0, 0, 0, 0, 0, 0}});
    {
        Mesh m = box_solid({0, 0, 0}, {1, 1, 1});
        const VertexId a = m.add_vertex({0, 0, 5}), b = m.add_vertex({1, 0, 5}),
                       c = m.add_vertex({2, 0, 5});
        m.add_triangle(a, b, c);  // no area: its corners are in a line, its edges are stray
        rows.push_back({"degenerate", std::move(m), {1, 0, 0, 0, 3, 0, 0, 0}});
    }
    {
        Mesh m = box_solid({0, 0, 0}, {1, 1, 1});
        // A corner lifted within both side walls' planes twists only the top, 2e-4 m off.
        m.vertex_mut(6).position.z += 8e-4f;
        rows.push_back({"non-planar", std::move(m), {0, 1, 0, 0, 0, 0, 0, 0}});
    }
    {
        Mesh m = box_solid({0, 0, 0}, {1, 1, 1});
        const std::vector<VertexId> top = m.face_vertices(1);
        m.add_ngon(top);
        rows.push_back({"duplicate", std::move(m), {0, 0, 1, 0, 0, 0, 0, 0}});
    }
    // Glued face to face: the two copies of the shared wall are one duplicate, and the kept
    // copy, whose every edge now carries three faces, is buried.
    rows.push_back({"internal", cube_pair(1, 0, 0), {0, 0, 1, 1, 0, 0, 0, 0}});
    {
        Mesh m = box_solid({0, 0, 0}, {1, 1, 1});
        const VertexId a = m.add_vertex({3, 0, 0}), b = m.add_vertex({4, 0, 0}),
                       c = m.add_vertex({4, 1, 0});
        const auto f = m.add_triangle(a, b, c);
        m.erase_face(*f);  // three edges left without a face
        rows.push_back({"stray", std::move(m), {0, 0, 0, 0, 3, 0, 0, 0}});
    }
    {
        Mesh m = box_solid({0, 0, 0}, {1, 1, 1});
        m.erase_face(1);
        // Open: the reversed-face rule falls back to the majority, which a tie gives to
        // parity 0, so nothing is reversed.
        rows.push_back({"naked", std::move(m), {0, 0, 0, 0, 0, 4, 0, 0}});
    }
    // Two cubes meeting at one corner: the umbrella there is two separate fans.
    rows.push_back({"non-manifold vertex", cube_pair(1, 1, 1), {0, 0, 0, 0, 0, 0, 1, 0}});
    {
        Mesh m = box_solid({0, 0, 0}, {1, 1, 1});
        m.reverse_face(4);
        rows.push_back({"reversed", std::move(m), {0, 0, 0, 0, 0, 0, 0, 1}});
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const MeshInspection r = inspect_mesh(row.mesh);
        EXPECT_EQ(counts(r), row.want);
        EXPECT_EQ(r.orientation_conflicts, 0u);
    }
}

TEST(Inspection, NamesTheIdsThatCarryEachDefect) {
    Mesh m = box_solid({0, 0, 0}, {1, 1, 1});
    m.reverse_face(4);
    EXPECT_EQ(inspect_mesh(m).of(DefectClass::kReversedFaces), std::vector<std::uint32_t>{4});

    Mesh open = box_solid({0, 0, 0}, {1, 1, 1});
    open.erase_face(1);
    const MeshInspection r = inspect_mesh(open);
    for (const std::uint32_t e : r.of(DefectClass::kNakedEdges)) {
        EXPECT_TRUE(open.is_naked_edge(e)) << "edge " << e;
    }
    EXPECT_EQ(r.half_edge_naked, 4u);
}

TEST(Inspection, SolidsTouchingAlongAnEdgeAreContactNotDefects) {
    // Diagonal neighbours share one edge of four faces: two wedges, so a contact; its two
    // ends are contact vertices, not non-manifold ones.
    const MeshInspection r = inspect_mesh(cube_pair(1, 1, 0));
    EXPECT_TRUE(r.solid()) << inspection_verdict(r);
    EXPECT_EQ(r.contact_edges, 1u);
    EXPECT_EQ(r.contact_vertices.size(), 2u);
    EXPECT_EQ(r.non_manifold_edges, 0u);

    // Cubes meeting at one corner have no contact edge to excuse their shared vertex.
    const MeshInspection corner = inspect_mesh(cube_pair(1, 1, 1));
    EXPECT_EQ(corner.count(DefectClass::kNonManifoldVertices), 1u);
    EXPECT_EQ(corner.contact_edges, 0u);
}

TEST(Inspection, PlanarityIsMeasuredFromTheFittedPlane) {
    // One corner of a unit quad lifted by h twists it: each corner stands h / 4 off the plane
    // through the centroid with the Newell normal.
    for (const float lift : {2e-4f, 3.6e-4f, 8e-4f}) {
        SCOPED_TRACE(lift);
        Mesh m;
        const VertexId a = m.add_vertex({0, 0, 0}), b = m.add_vertex({1, 0, 0}),
                       c = m.add_vertex({1, 1, lift}), d = m.add_vertex({0, 1, 0});
        m.add_quad(a, b, c, d);
        const MeshInspection r = inspect_mesh(m);
        EXPECT_NEAR(r.worst_planarity, lift / 4, 1e-7);
        EXPECT_EQ(r.count(DefectClass::kNonPlanarFaces), lift / 4 > 1e-4f ? 1u : 0u);
    }
}

TEST(Inspection, WalksRootGroupsAndDefinitionsInOrder) {
    Document doc;
    doc.root().name = "";
    doc.root().mesh = box_solid({0, 0, 0}, {1, 1, 1});
    SceneNode* walls = doc.create_group(&doc.root(), "Walls", box_solid({0, 0, 0}, {2, 1, 1}));
    doc.create_group(walls, "", box_solid({0, 0, 0}, {1, 1, 3}));
    SceneNode* empty = doc.create_group(&doc.root(), "Empty");
    Mesh open = box_solid({0, 0, 0}, {1, 1, 1});
    open.erase_face(0);
    doc.create_group(empty, "Open", std::move(open));
    doc.add_definition(ComponentDefinition{"chair", "Chair", "", box_solid({0, 0, 0}, {1, 1, 1})});
    doc.create_instance(&doc.root(), "chair", "Chair 1");

    const InspectionReport report = inspect_document(doc);
    std::vector<std::string> names;
    for (const auto& entry : report) names.push_back(entry.first);
    EXPECT_EQ(names,
              (std::vector<std::string>{"<unnamed>", "<unnamed>/Walls", "<unnamed>/Walls/Group",
                                        "<unnamed>/Empty/Open", "definition:Chair"}));
    EXPECT_EQ(total_defects(report), 4u);
    EXPECT_EQ(inspection_verdict(report[3].second), "4 defect(s) in 1 class(es)");
    EXPECT_NEAR(report[2].second.volume, 3.0f, 1e-5);
}

}  // namespace
}  // namespace korvan
