#include "render/scene_triangles.h"

#include "core/polygon_2d.h"
#include "document/document.h"

namespace korvan {

std::vector<SceneTriangle> triangulate_for_render(const Mesh& world,
                                                  const std::vector<bool>& hidden_layers) {
    std::vector<SceneTriangle> out;
    out.reserve(world.faces().size());
    std::vector<Vec3> ring;
    const auto faces = world.faces();
    for (FaceId f = 0; f < faces.size(); ++f) {
        const Face& face = faces[f];
        if (!face.alive || !face.visible) continue;
        if (face.layer_id < hidden_layers.size() && hidden_layers[face.layer_id]) continue;
        const std::vector<HalfEdgeId> corners = world.face_half_edges(f);
        if (corners.size() < 3) continue;
        ring.clear();
        for (HalfEdgeId h : corners)
            ring.push_back(world.vertices()[world.half_edges()[h].origin].position);
        const bool has_uvs = world.has_corner_uvs() && world.face_has_uvs(f);
        auto emit = [&](std::uint32_t i0, std::uint32_t i1, std::uint32_t i2) {
            SceneTriangle t;
            t.corners = {ring[i0], ring[i1], ring[i2]};
            t.face_normal = face.normal;
            t.material = face.material_id;
            t.face = f;
            t.has_uvs = has_uvs;
            if (has_uvs) {
                const std::uint32_t idx[3] = {i0, i1, i2};
                for (int k = 0; k < 3; ++k) {
                    const CornerUv uv = world.corner_uv(corners[idx[k]]);
                    t.uvs[static_cast<std::size_t>(k)] = {uv.u, uv.v};
                }
            }
            out.push_back(t);
        };
        if (ring.size() == 3) {
            emit(0, 1, 2);
            continue;
        }
        const std::vector<IndexTriangle> tris = triangulate_polygon_2d(ring);
        if (tris.empty()) {
            for (std::uint32_t i = 1; i + 1 < ring.size(); ++i) emit(0, i, i + 1);
        } else {
            for (const IndexTriangle& t : tris) emit(t[0], t[1], t[2]);
        }
    }
    return out;
}

RenderScene build_render_scene(const Mesh& world, const std::vector<bool>& hidden_layers) {
    RenderScene scene;
    scene.triangles = triangulate_for_render(world, hidden_layers);
    std::vector<TriangleCorners> corners;
    corners.reserve(scene.triangles.size());
    for (const SceneTriangle& t : scene.triangles) corners.push_back(t.corners);
    scene.bvh.build(corners);

    // Faces are flattened as islands, so each face brings its own sides: a side between two
    // faces is drawn twice, which the line drawer's blending makes invisible.
    const auto edges = world.edges();
    const auto faces = world.faces();
    for (const Edge& e : edges) {
        if (!e.alive || !e.visible || e.soft || e.half_edge >= world.half_edges().size()) continue;
        const HalfEdge& h = world.half_edges()[e.half_edge];
        if (h.face < faces.size() && faces[h.face].layer_id < hidden_layers.size() &&
            hidden_layers[faces[h.face].layer_id]) {
            continue;
        }
        const VertexId b = world.half_edge_end(e.half_edge);
        if (h.origin >= world.vertices().size() || b >= world.vertices().size()) continue;
        scene.hard_edges.push_back(
            {world.vertices()[h.origin].position, world.vertices()[b].position});
    }
    for (const Guide& g : world.guides()) {
        if (!g.infinite) {
            scene.guides.push_back({g.a, g.b});
            continue;
        }
        const Vec3 d = normalize(g.b - g.a);
        if (length_squared(d) == 0.0f) continue;
        scene.guides.push_back({g.a - d * kGuideReach, g.a + d * kGuideReach});
    }
    for (const Dimension& d : world.dimensions()) scene.dimensions.push_back({d.a, d.b});
    return scene;
}

RenderScene build_render_scene(const Document& doc) {
    std::vector<bool> hidden(doc.tags().size(), false);
    for (std::size_t i = 0; i < doc.tags().size(); ++i) hidden[i] = !doc.tags()[i].visible;
    return build_render_scene(doc.flatten_world(), hidden);
}

}  // namespace korvan
