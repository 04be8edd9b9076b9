#include "document/scene_node.h"

#include <utility>

namespace korvan {

SceneNode::SceneNode(const SceneNode& other)
    : name(other.name),
      kind(other.kind),
      transform(other.transform),
      mesh(other.mesh),
      definition_id(other.definition_id),
      tag(other.tag),
      visible(other.visible),
      locked(other.locked),
      material(other.material),
      attributes(other.attributes),
      casts_shadows(other.casts_shadows),
      receives_shadows(other.receives_shadows) {
    children.reserve(other.children.size());
    for (const auto& child : other.children) {
        children.push_back(std::make_unique<SceneNode>(*child));
    }
}

SceneNode& SceneNode::operator=(const SceneNode& other) {
    if (this != &other) {
        SceneNode copy(other);
        *this = std::move(copy);
    }
    return *this;
}

SceneNode& SceneNode::add_child(std::unique_ptr<SceneNode> child) {
    children.push_back(std::move(child));
    return *children.back();
}

}  // namespace korvan
