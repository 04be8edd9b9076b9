#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "core/mat4.h"
#include "core/mesh.h"
#include "core/vec3.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"
#include "document/document.h"

// Commands over the scene graph's nodes. Commands keep nodes by address: a node that an
// undo takes out of the tree is kept by the command that took it and put back by its redo,
// so every other command in the history that names it stays valid.

namespace korvan {

// Shared state of the node commands: the target, why the last redo() refused, and whether
// the edit is in place.
class NodeCommand : public Command {
  public:
    bool is_noop() const override { return !changed_; }
    // Static text naming why the last redo() refused; empty otherwise.
    const char* refusal() const { return refusal_; }

  protected:
    NodeCommand(Document& doc, SceneNode* node) : doc_(doc), node_(node) {}
    // Records a refusal of the first application.
    void refuse(const char* reason) {
        refusal_ = reason;
        changed_ = false;
    }

    Document& doc_;
    SceneNode* node_;
    const char* refusal_ = "";
    bool applied_ = false;  // the edit is in place
    bool changed_ = false;  // what the last redo() did
};

enum class NodeTransformKind : std::uint8_t {
    kTranslate,       // by `vector`, in the parent's space
    kSetTranslation,  // to `vector`
    kScale,           // uniform, by `factor`, about the node's origin
    kSetScale,        // every axis to length `factor`
    kRotate,          // `vector` holds rx, ry, rz in degrees
    kSet,             // to `matrix`
};

struct NodeTransformEdit {
    NodeTransformKind kind = NodeTransformKind::kSet;
    Vec3 vector;
    float factor = 1.0f;
    Mat4 matrix;
};

// Moves, scales, rotates or places a node (never the root). "Transform".
class SetNodeTransformCommand : public NodeCommand {
  public:
    SetNodeTransformCommand(Document& doc, SceneNode* node, NodeTransformEdit edit)
        : NodeCommand(doc, node), edit_(edit) {}

    std::string name() const override { return "Transform"; }
    void redo() override;
    void undo() override;

    const Mat4& old_transform() const { return before_; }
    const Mat4& new_transform() const { return after_; }

  private:
    NodeTransformEdit edit_;
    Mat4 before_;
    Mat4 after_;
    bool has_after_ = false;
};

// Puts a node on a tag, or untags it with -1. "Assign Tag" or "Untag".
class SetNodeTagCommand : public NodeCommand {
  public:
    SetNodeTagCommand(Document& doc, SceneNode* node, std::int32_t tag)
        : NodeCommand(doc, node), tag_(tag) {}

    std::string name() const override { return tag_ < 0 ? "Untag" : "Assign Tag"; }
    void redo() override;
    void undo() override;

  private:
    std::int32_t tag_;
    std::int32_t old_tag_ = -1;
};

// Paints a node with a material index (-1 = none); the library is not consulted. "Paint".
class SetNodeMaterialCommand : public NodeCommand {
  public:
    SetNodeMaterialCommand(Document& doc, SceneNode* node, std::int32_t material)
        : NodeCommand(doc, node), material_(material) {}

    std::string name() const override { return "Paint"; }
    void redo() override;
    void undo() override;

  private:
    std::int32_t material_;
    std::int32_t old_material_ = -1;
};

enum class NodeEditKind : std::uint8_t { kSetVisible, kRename, kMakeUnique };

struct NodeEdit {
    NodeEditKind kind = NodeEditKind::kSetVisible;
    bool visible = true;
    std::string name;
};

// Shows, hides or renames a node, or gives an instance its own copy of its definition.
// "Hide" / "Unhide", "Rename", "Make Unique".
class EditNodeCommand : public NodeCommand {
  public:
    EditNodeCommand(Document& doc, SceneNode* node, NodeEdit edit)
        : NodeCommand(doc, node), edit_(std::move(edit)) {}

    std::string name() const override;
    void redo() override;
    void undo() override;

    // kMakeUnique: the id of the new definition; empty otherwise.
    const std::string& new_definition_id() const { return new_id_; }

  private:
    NodeEdit edit_;
    bool old_visible_ = true;
    std::string old_name_;
    std::string old_id_;
    std::string new_id_;
    std::optional<RemovedDefinition> held_;  // the copy while undone
};

// Where a command put a node into the tree, and the node itself while an undo holds it.
struct PlacedNode {
    SceneNode* node = nullptr;
    SceneNode* parent = nullptr;
    std::size_t index = 0;
    std::unique_ptr<SceneNode> held;
};

// Takes a node and its subtree out of the tree (never the root). "Delete Node".
class DeleteNodeCommand : public NodeCommand {
  public:
    DeleteNodeCommand(Document& doc, SceneNode* node) : NodeCommand(doc, node) {}

    std::string name() const override { return "Delete Node"; }
    void redo() override;
    void undo() override;

  private:
    DetachedNode removed_;
};

// Appends a deep copy beside the node, named "<name> copy", "<name> copy2", ...
// "Duplicate Node".
class DuplicateNodeCommand : public NodeCommand {
  public:
    DuplicateNodeCommand(Document& doc, SceneNode* node) : NodeCommand(doc, node) {}

    std::string name() const override { return "Duplicate Node"; }
    void redo() override;
    void undo() override;

    // The copy; null until the first redo() succeeds.
    SceneNode* copy() const { return placed_.node; }

  private:
    PlacedNode placed_;
};

// Moves a node under another group, keeping its world placement. "Reparent Node".
class ReparentNodeCommand : public NodeCommand {
  public:
    ReparentNodeCommand(Document& doc, SceneNode* node, SceneNode* new_parent)
        : NodeCommand(doc, node), new_parent_(new_parent) {}

    std::string name() const override { return "Reparent Node"; }
    void redo() override;
    void undo() override;

  private:
    SceneNode* new_parent_;
    SceneNode* old_parent_ = nullptr;
    std::size_t old_index_ = 0;
    Mat4 old_transform_;
    Mat4 new_transform_;
    bool has_after_ = false;
};

// Appends a group holding `mesh` to the group `parent` ("Group" when name is empty).
// "Create Group".
class CreateGroupCommand : public NodeCommand {
  public:
    CreateGroupCommand(Document& doc, SceneNode* parent, std::string name, Mesh mesh = {},
                       const Mat4& transform = {});

    std::string name() const override { return "Create Group"; }
    void redo() override;
    void undo() override;

    SceneNode* group() const { return placed_.node; }

  private:
    std::string name_;
    Mesh mesh_;
    Mat4 transform_;
    PlacedNode placed_;
};

// Appends an instance of a registered definition to the group `parent` ("Instance" when
// name is empty); refuses an id the document does not hold. "Create Instance".
class CreateInstanceCommand : public NodeCommand {
  public:
    CreateInstanceCommand(Document& doc, SceneNode* parent, std::string definition_id,
                          std::string name, const Mat4& transform = {});

    std::string name() const override { return "Create Instance"; }
    void redo() override;
    void undo() override;

    SceneNode* instance() const { return placed_.node; }

  private:
    std::string definition_id_;
    std::string name_;
    Mat4 transform_;
    PlacedNode placed_;
};

// Replaces a node by its raw geometry in its parent's mesh (Document::bake_node). Undo gives
// the parent mesh back as it was and puts the node back. "Explode".
class ExplodeInstanceCommand : public NodeCommand {
  public:
    ExplodeInstanceCommand(Document& doc, SceneNode* node);

    std::string name() const override { return "Explode"; }
    void redo() override;
    void undo() override;

    std::uint64_t faces_added() const { return faces_added_; }

  private:
    std::unique_ptr<MeshEditStep> parent_mesh_;
    DetachedNode removed_;
    std::uint64_t faces_added_ = 0;
};

}  // namespace korvan
