#include "tests/io/korv_test_models.h"

#include <array>
#include <memory>
#include <utility>
#include <vector>

#include "io/korv_edge_link.h"

namespace korvan::test {
namespace {

// The edge of the face's side that starts at ring corner `corner`.
EdgeId side_edge(const Mesh& mesh, FaceId face, std::size_t corner) {
    return mesh.half_edges()[mesh.face_half_edges(face)[corner]].edge;
}

Mesh quad_mesh() {
    Mesh m;
    for (const Vec3& p : {Vec3{0, 0, 0}, Vec3{0.9f, 0, 0}, Vec3{0.9f, 0, 2.1f}, Vec3{0, 0, 2.1f}}) {
        m.add_vertex(p);
    }
    m.add_quad(0, 1, 2, 3);
    m.add_guide({0, 0, 0}, {0, 0, 2.1f});
    return m;
}

}  // namespace

Mesh korv_cube(const Vec3& corner, float size) {
    Mesh m;
    for (int i = 0; i < 8; ++i) {
        m.add_vertex(corner +
                     Vec3{(i & 1) ? size : 0.0f, (i & 2) ? size : 0.0f, (i & 4) ? size : 0.0f});
    }
    const std::array<std::array<VertexId, 4>, 6> quads = {
        {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}}};
    for (const auto& q : quads) m.add_quad(q[0], q[1], q[2], q[3]);
    return m;
}

Mesh korv_grid(int nx, int ny, float step) {
    Mesh m;
    const auto row = static_cast<VertexId>(nx + 1);
    m.reserve(std::size_t(nx + 1) * (ny + 1), std::size_t(8) * nx * ny, std::size_t(4) * nx * ny,
              std::size_t(nx) * ny);
    for (int j = 0; j <= ny; ++j) {
        for (int i = 0; i <= nx; ++i) m.add_vertex({i * step, j * step, 0.0f});
    }
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            const VertexId v = static_cast<VertexId>(j) * row + static_cast<VertexId>(i);
            const FaceId f = *m.add_quad(v, v + 1, v + 1 + row, v + row);
            m.face_mut(f).material_id = static_cast<std::uint32_t>((j / 7) % 4);
        }
    }
    io::VertexFans(m).link(m);
    for (FaceId f = 0; f < m.faces().size(); ++f) {
        if ((f / static_cast<FaceId>(nx)) % 4 == 0) m.edge_mut(side_edge(m, f, 0)).soft = true;
    }
    return m;
}

Document korv_rich_document() {
    Document doc;
    doc.set_length_unit(LengthUnit::kFoot);
    doc.units_options() = UnitsOptions{3, true, 0.005f, 2, false, 7.5f};
    doc.shadows() = ShadowSettings{true, 600, 180};
    doc.view() = SavedView{true, {1, 2, 3}, {4, 5, 6}, {0, 0.5f, 1}, 35.0f, true, 12.5f};

    doc.materials() = MaterialLibrary(default_materials());
    Material custom;
    custom.id = "mat_custom";
    custom.name = "Name\twith tab";
    custom.albedo = {0.1f, 0.2f, 0.3f};
    custom.opacity = 0.5f;
    custom.uv = MaterialUv{2.0f, 0.5f, 0.25f, 0.0f, 45.0f, TexturePattern::kChecker};
    doc.materials().add(custom);

    Scene front;
    front.name = "Front";
    front.photo = "photos/front.jpg";
    front.photo_params = {1.5f, 2.0f, 0.25f};
    Scene back;
    back.name = "Back";
    back.eye = {-3, 4, 1.7f};
    back.photo = "back.png";
    Scene top;
    top.name = "Top";
    top.fov_deg = 60.0f;
    top.has_properties = true;
    top.properties =
        SceneProperties{true, 2.5f, 7, -1.0f, false, -3, true, 4, 5, {"Layer0", "", "Tầng 2"}};
    doc.scenes() = {front, back, top};

    doc.sections() = {SectionPlane{"Cut A", {0, 0, 1.2f}, {0, 0, -1}, true},
                      SectionPlane{"Cut B", {2, 0, 0}, {1, 0, 0}, false}};

    for (const LightKind kind : {LightKind::kSun, LightKind::kRect, LightKind::kPoint,
                                 LightKind::kSpot, static_cast<LightKind>(-1)}) {
        Light l;
        l.name = "Light " + std::to_string(doc.lights().size() + 1);
        l.kind = kind;
        l.position = {1, 2, 3};
        l.colour = {1.0f, 0.9f, 0.8f};
        l.intensity = 2.5f;
        l.enabled = kind != LightKind::kPoint;
        doc.lights().push_back(l);
    }
    doc.labels() = {TextLabel{"Lối vào", {1, 2, 3}, 0.3f, -1},
                    TextLabel{"Kho", {0, 0, 0}, 0.2f, 1}};
    doc.tags().push_back(Tag{"Openings", false});

    ComponentDefinition door{"door", "Cửa đi", "Doors", quad_mesh()};
    doc.add_definition(std::move(door));
    ComponentDefinition window{"win dow", "Window", "", Mesh()};
    window.mesh.add_vertex({0, 0, 0});
    window.mesh.add_vertex({1, 0, 0});
    window.mesh.add_vertex({0, 0, 1});
    window.mesh.add_triangle(0, 1, 2);
    doc.add_definition(std::move(window));

    SceneNode& root = doc.root();
    SceneNode* a = doc.create_instance(&root, "door", "Door A", Mat4::translation({1, 2, 0}));
    a->tag = 1;
    a->visible = false;
    a->locked = true;
    a->material = 3;
    a->casts_shadows = false;
    a->receives_shadows = false;
    a->attributes = {{"a=b", "c%d e"}, {"tên", "giá trị=1"}, {"k\tx", ""}};
    doc.create_instance(&root, "win dow", "Window", Mat4{});

    SceneNode* wing = doc.create_group(&root, "Wing", korv_cube({3, 0, 0}));
    wing->tag = 0;
    SceneNode* floor = doc.create_group(wing, "Floor");
    SceneNode* room = doc.create_group(floor, "Room");
    room->attributes = {{"use", "kitchen"}};
    doc.create_instance(room, "door", "Door B", Mat4::translation({0.5f, 0, 0}));
    doc.create_group(&root, "Empty group");

    // Root mesh: a cube, an extra triangle, a dead vertex and a dead face.
    Mesh& m = root.mesh;
    m = korv_cube();
    const VertexId extra = m.add_vertex({0.5f, -1, 0});
    m.vertex_mut(m.add_vertex({9, 9, 9})).alive = false;
    const FaceId tri = *m.add_triangle(0, extra, 1);
    m.erase_face(1);
    for (const FaceId f : {FaceId{0}, tri}) {
        const std::vector<HalfEdgeId> ring = m.face_half_edges(f);
        for (std::size_t c = 0; c < ring.size(); ++c) {
            m.set_corner_uv(ring[c], 0.1f * static_cast<float>(c), 1.0f / 3.0f);
        }
    }
    m.face_mut(2).tag = 4;
    m.face_mut(3).extra_flag_1 = false;
    m.face_mut(4).layer_id = 2;
    m.face_mut(5).visible = false;
    m.set_layer_visible(1, false);
    m.edge_mut(side_edge(m, 0, 0)).soft = true;
    m.edge_mut(side_edge(m, 2, 1)).visible = false;
    m.edge_mut(side_edge(m, 3, 2)).seam = true;
    m.add_guide({0, 0, 0}, {1, 1, 1}, false);
    m.add_guide({0, 0, 0}, {0, 0, 1}, true);
    m.add_curve({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, false);
    Curve arc;
    arc.points = {{0, 0, 0}, {0.5f, 0.5f, 0}, {1, 0, 0}};
    arc.closed = true;
    arc.kind = CurveKind::kArc;
    m.add_curve(arc);
    Curve bound;
    bound.points = {{2, 2, 0}, {3, 2, 0}, {3, 3, 0}};
    bound.kind = CurveKind::kBoundary;
    m.add_curve(bound);
    m.erase_curve(m.add_curve({{5, 5, 5}}, false));
    m.add_note(Note{true, true, 1.5f, -2.0f, {0, 0, 1}, {1, 0, 1}, "Ghi chú: cửa"});
    m.add_note(Note{true, false, 0, 0, {}, {}, ""});
    m.add_note(Note{false, false, 0, 0, {}, {}, "gone"});
    Dimension plain;
    plain.b = {1, 0, 0};
    plain.value = 1.0f;
    plain.label = "1 m";
    m.add_dimension(plain);
    Dimension directed = plain;
    directed.direction = {0, 1, 0};
    directed.label = "";
    m.add_dimension(directed);
    Dimension anchored = plain;
    anchored.tail_int_a = 2;
    anchored.tail_numbers_b[5] = 0.75f;
    anchored.anchor_a = DimensionAnchor{kDimensionAnchorFace, 1, 0.5f};  // the dead face
    anchored.anchor_b = DimensionAnchor{kDimensionAnchorFace, tri, 0.25f};
    anchored.direction = {0, 0, 1};
    m.add_dimension(anchored);
    Dimension other = plain;
    other.anchor_a = DimensionAnchor{1, 7, 0.0f};
    m.add_dimension(other);
    return doc;
}

std::string korv_square_text() {
    return "KORVAN 0.1\n"
           "LENGTH_UNIT m\n"
           "MATERIALS 0\n"
           "SCENES 0\n"
           "SECTIONS 0\n"
           "TAGS 1\n"
           "Layer0\t1\n"
           "MESH\n"
           "VERTICES 4\n"
           "1 0 0 0\n"
           "1 1 0 0\n"
           "1 1 1 0\n"
           "1 0 1 0\n"
           "FACES 2\n"
           "3 0 0 1 0 1 2\n"
           "3 0 0 1 0 2 3\n"
           "SOFT_EDGES 1\n"
           "0 2\n"
           "LAYER_VIS 1\n"
           "0 1\n"
           "ENDMESH\n"
           "ENDKORVAN\n";
}

}  // namespace korvan::test
