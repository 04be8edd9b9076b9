#include <algorithm>
#include <utility>

#include "document/document.h"
#include "document/mesh_copy.h"
#include "document/naming.h"
#include "document/transform.h"
#include "document/tree_walk.h"

namespace korvan {

SceneNode* Document::duplicate_node(SceneNode* node) {
    SceneNode* parent = parent_of(node);
    if (parent == nullptr) return nullptr;
    auto copy = std::make_unique<SceneNode>(*node);
    copy->name = copy_name(node->name, " copy", [&](const std::string& candidate) {
        return find_node_by_name(candidate) != nullptr;
    });
    return &parent->add_child(std::move(copy));
}

DetachedNode Document::delete_node(SceneNode* node) {
    DetachedNode out;
    SceneNode* parent = parent_of(node);
    if (parent == nullptr) return out;
    auto& siblings = parent->children;
    const auto at = std::find_if(siblings.begin(), siblings.end(),
                                 [&](const auto& child) { return child.get() == node; });
    out.parent = parent;
    out.index = static_cast<std::size_t>(at - siblings.begin());
    out.node = std::move(*at);
    siblings.erase(at);
    return out;
}

ReparentResult Document::reparent_node(SceneNode* node, SceneNode* new_parent) {
    ReparentResult result;
    SceneNode* old_parent = parent_of(node);
    if (old_parent == nullptr || new_parent == nullptr || !new_parent->is_group()) return result;
    const std::vector<SceneNode*> path = path_to(*root_, new_parent);
    if (path.empty() || std::find(path.begin(), path.end(), node) != path.end()) return result;

    // Keep the world placement: local' = inverse(new parent world) x old parent world x local.
    const std::optional<Mat4> old_world = world_transform(old_parent);
    const std::optional<Mat4> new_world = world_transform(new_parent);
    if (!old_world || !new_world) return result;
    const std::optional<Mat4> to_new = affine_inverse(*new_world);
    if (!to_new) return result;

    auto& siblings = old_parent->children;
    const auto at = std::find_if(siblings.begin(), siblings.end(),
                                 [&](const auto& child) { return child.get() == node; });
    result.ok = true;
    result.old_parent = old_parent;
    result.old_index = static_cast<std::size_t>(at - siblings.begin());
    result.old_transform = node->transform;
    std::unique_ptr<SceneNode> owned = std::move(*at);
    siblings.erase(at);
    if (old_parent != new_parent) {
        owned->transform = compose(*to_new, compose(*old_world, owned->transform));
    }
    new_parent->add_child(std::move(owned));
    return result;
}

std::int32_t Document::make_instance_unique(SceneNode* node) {
    if (!contains(node) || !node->is_instance()) return -1;
    const std::int32_t pos = duplicate_definition(node->definition_id);
    if (pos < 0) return -1;
    node->definition_id = definitions_[static_cast<std::size_t>(pos)].id;
    return pos;
}

BakeResult Document::bake_node(SceneNode* node) {
    BakeResult result;
    SceneNode* parent = parent_of(node);
    if (parent == nullptr) return result;

    // Everything of the subtree is kept; what was not shown comes in soft-hidden, so the
    // model looks the same and nothing is lost.
    struct Item {
        const SceneNode* node;
        Mat4 to_parent;
        std::int32_t material;
        bool shown;
    };
    std::vector<Item> stack{{node, node->transform, node->material, true}};
    Mesh& target = parent->mesh;
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        const SceneNode& n = *item.node;
        const bool tag_hidden = n.tag >= 0 && static_cast<std::size_t>(n.tag) < tags_.size() &&
                                !tags_[static_cast<std::size_t>(n.tag)].visible;
        const bool shown = item.shown && n.visible && !tag_hidden;
        const Mesh* mesh = &n.mesh;
        if (n.is_instance() && !n.definition_id.empty()) {
            if (const ComponentDefinition* def = definition(n.definition_id)) mesh = &def->mesh;
        }
        const auto first = static_cast<FaceId>(target.faces().size());
        const std::uint64_t added =
            append_transformed(target, *mesh, item.to_parent, item.material);
        result.faces_added += added;
        if (!shown && added > 0) {
            for (FaceId f = first; f < target.faces().size(); ++f)
                target.face_mut(f).visible = false;
            target.mark_changed(kFaceTableBit);
        }
        for (std::size_t i = n.children.size(); i-- > 0;) {
            const SceneNode& child = *n.children[i];
            stack.push_back({&child, compose(item.to_parent, child.transform),
                             child.material >= 0 ? child.material : item.material, shown});
        }
    }
    result.removed = delete_node(node);
    result.ok = result.removed.ok();
    return result;
}

}  // namespace korvan
