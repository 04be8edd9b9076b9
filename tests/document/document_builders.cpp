#include "tests/document/document_builders.h"

#include <gtest/gtest.h>

#include <array>

namespace korvan::doc_test {

Mesh cube(const Vec3& corner, float size, std::uint32_t material) {
    Mesh m;
    std::array<VertexId, 8> v{};
    for (int i = 0; i < 8; ++i) {
        v[i] = m.add_vertex({corner.x + ((i & 1) ? size : 0.0f), corner.y + ((i & 2) ? size : 0.0f),
                             corner.z + ((i & 4) ? size : 0.0f)});
    }
    // Counter-clockwise seen from outside.
    const int rings[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& r : rings) {
        const auto f = m.add_quad(v[r[0]], v[r[1]], v[r[2]], v[r[3]]);
        if (f) m.face_mut(*f).material_id = material;
    }
    return m;
}

Mesh quad(const Vec3& corner, float size, std::uint32_t material, std::uint32_t layer) {
    Mesh m;
    const VertexId a = m.add_vertex(corner);
    const VertexId b = m.add_vertex(corner + Vec3{size, 0, 0});
    const VertexId c = m.add_vertex(corner + Vec3{size, size, 0});
    const VertexId d = m.add_vertex(corner + Vec3{0, size, 0});
    const auto f = m.add_quad(a, b, c, d);
    if (f) {
        m.face_mut(*f).material_id = material;
        m.face_mut(*f).layer_id = layer;
    }
    return m;
}

SceneNode* add_group(Document& doc, SceneNode* parent, const char* name, Mesh mesh,
                     const Mat4& transform) {
    SceneNode* node = doc.create_group(parent, name, std::move(mesh), transform);
    EXPECT_NE(node, nullptr) << name;
    return node;
}

Aabb face_bounds(const Mesh& mesh) {
    Aabb box;
    for (const FaceId f : mesh.alive_faces()) {
        for (const VertexId v : mesh.face_vertices(f)) box.expand(mesh.vertices()[v].position);
    }
    return box;
}

}  // namespace korvan::doc_test
