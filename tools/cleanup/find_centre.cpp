// Centres for guide points.
//
// A face's centre is the centre of the axis-aligned box round its corners -- for a rectangle
// the crossing of its diagonals, which is where a user aims a fixing or a light -- not the
// area centroid, which drifts toward the heavier side of an irregular outline. A node's
// centre is the centre of its world box: every alive vertex of its own mesh and of the nodes
// below it, an instance counting its definition's vertices, each carried through the world
// transform of the node that holds it. Hidden geometry counts: the box is what the node
// occupies, not what is shown.
#include "tools/cleanup/find_centre.h"

#include "core/mat4.h"
#include "core/mesh.h"
#include "document/document.h"
#include "document/tree_walk.h"

namespace korvan {
namespace {

void expand_by_mesh(Aabb& box, const Mesh& mesh, const Mat4& world) {
    const std::size_t count = mesh.vertices().size();
    for (VertexId v = 0; v < count; ++v) {
        if (mesh.vertex_usable(v)) box.expand(transform_point(world, mesh.vertices()[v].position));
    }
}

}  // namespace

std::optional<Vec3> face_box_centre(const Mesh& mesh, FaceId face) {
    if (!mesh.face_usable(face)) return std::nullopt;
    Aabb box;
    for (const VertexId v : mesh.face_vertices(face)) {
        if (mesh.vertex_usable(v)) box.expand(mesh.vertices()[v].position);
    }
    if (box.empty()) return std::nullopt;
    return box.center();
}

Aabb node_world_box(const Document& doc, const SceneNode& node) {
    Aabb box;
    walk_nodes(node, [&](const SceneNode& n, std::size_t) {
        const std::optional<Mat4> world = doc.world_transform(&n);
        if (!world) return true;
        expand_by_mesh(box, n.mesh, *world);
        if (n.is_instance()) {
            if (const ComponentDefinition* d = doc.definition(n.definition_id)) {
                expand_by_mesh(box, d->mesh, *world);
            }
        }
        return true;
    });
    return box;
}

}  // namespace korvan
