#include <vector>

#include "document/document.h"
#include "document/mesh_copy.h"
#include "document/transform.h"
#include "document/tree_walk.h"

namespace korvan {

namespace {

// Calls visit(mesh, world, material) for every mesh shown, in the order flatten_world appends
// them: depth first, children in order.
template <class Visit>
void walk_shown_meshes(const SceneNode& root, const std::vector<Tag>& tags, const Document& doc,
                       const Mesh* root_mesh, Visit&& visit) {
    struct Item {
        const SceneNode* node;
        Mat4 parent_world;
        std::int32_t inherited_material;
    };
    std::vector<Item> stack{{&root, Mat4{}, -1}};
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        const SceneNode& node = *item.node;
        // A hidden node or a node on a hidden tag takes its whole subtree with it, even
        // children on visible tags.
        if (!node.visible) continue;
        if (node.tag >= 0 && static_cast<std::size_t>(node.tag) < tags.size() &&
            !tags[static_cast<std::size_t>(node.tag)].visible) {
            continue;
        }
        const Mat4 world = compose(item.parent_world, node.transform);
        const std::int32_t material = node.material >= 0 ? node.material : item.inherited_material;

        const Mesh* mesh = &node.mesh;
        if (&node == &root && root_mesh != nullptr) {
            mesh = root_mesh;
        } else if (node.is_instance() && !node.definition_id.empty()) {
            if (const ComponentDefinition* def = doc.definition(node.definition_id)) {
                mesh = &def->mesh;
            }
        }
        visit(*mesh, world, material);

        for (std::size_t i = node.children.size(); i-- > 0;) {
            stack.push_back({node.children[i].get(), world, material});
        }
    }
}

}  // namespace

Mesh Document::flatten_world(const Mesh* root_mesh) const {
    Mesh out;
    walk_shown_meshes(*root_, tags_, *this, root_mesh,
                      [&](const Mesh& mesh, const Mat4& world, std::int32_t material) {
                          if (&mesh != &out && mesh_has_content(mesh))
                              append_transformed(out, mesh, world, material);
                      });
    return out;
}

std::uint64_t Document::count_world_faces(const Mesh* root_mesh) const {
    std::uint64_t faces = 0;
    walk_shown_meshes(*root_, tags_, *this, root_mesh,
                      [&](const Mesh& mesh, const Mat4&, std::int32_t) {
                          faces += count_appendable_faces(mesh);
                      });
    return faces;
}

std::uint64_t Document::count_faces_with_tag(std::int32_t tag) const {
    if (tag < 0) return 0;
    const auto layer = static_cast<std::uint32_t>(tag);
    std::uint64_t count = 0;
    walk_nodes<const SceneNode>(*root_, [&](const SceneNode& node, std::size_t) {
        for (const Face& f : node.mesh.faces()) count += f.alive && f.layer_id == layer ? 1 : 0;
        return true;
    });
    return count;
}

}  // namespace korvan
