#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/mat4.h"
#include "core/mesh.h"

namespace korvan {

// Codes as stored in model files; 1 is unused.
enum class NodeKind : std::int32_t { kGroup = 0, kInstance = 2 };

struct NodeAttribute {
    std::string key;
    std::string value;

    friend bool operator==(const NodeAttribute&, const NodeAttribute&) = default;
};

// One node of the scene graph. A group owns its geometry in `mesh`; an instance shows the
// mesh of the definition named by definition_id and ignores its own mesh while that
// definition exists. A node's world transform is its parent's times its own.
// Copying copies the whole subtree.
struct SceneNode {
    std::string name;
    NodeKind kind = NodeKind::kGroup;
    Mat4 transform;  // column-major, translation in m[12..14]
    Mesh mesh;
    std::string definition_id;  // empty for groups
    std::vector<std::unique_ptr<SceneNode>> children;
    std::int32_t tag = -1;  // index into the document's tags; -1 = untagged
    bool visible = true;
    bool locked = false;
    // Index into the material library painted onto the material-0 faces of the subtree;
    // -1 = none.
    std::int32_t material = -1;
    std::vector<NodeAttribute> attributes;  // in order; keys need not be unique
    bool casts_shadows = true;
    bool receives_shadows = true;

    SceneNode() = default;
    SceneNode(const SceneNode& other);
    SceneNode& operator=(const SceneNode& other);
    SceneNode(SceneNode&&) noexcept = default;
    SceneNode& operator=(SceneNode&&) noexcept = default;
    ~SceneNode() = default;

    bool is_group() const { return kind == NodeKind::kGroup; }
    bool is_instance() const { return kind == NodeKind::kInstance; }
    // Appends the child and returns it.
    SceneNode& add_child(std::unique_ptr<SceneNode> child);
};

}  // namespace korvan
