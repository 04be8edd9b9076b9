#include "document/commands/node_commands.h"

#include <utility>

namespace korvan {
namespace {

constexpr const char* kNoSuchNode = "no such node";
constexpr const char* kRootRefused = "the root node cannot take this edit";

bool same_transform(const Mat4& a, const Mat4& b) { return a.m == b.m; }

// Runs the edit through the document's own operation, which validates it.
bool apply_transform(Document& doc, SceneNode* node, const NodeTransformEdit& e) {
    switch (e.kind) {
        case NodeTransformKind::kTranslate:
            return doc.translate_node(node, e.vector);
        case NodeTransformKind::kSetTranslation:
            return doc.set_node_translation(node, e.vector);
        case NodeTransformKind::kScale:
            return doc.scale_node(node, e.factor);
        case NodeTransformKind::kSetScale:
            return doc.set_node_scale(node, e.factor);
        case NodeTransformKind::kRotate:
            return doc.rotate_node(node, e.vector.x, e.vector.y, e.vector.z);
        case NodeTransformKind::kSet:
            return doc.set_node_transform(node, e.matrix);
    }
    return false;
}

// Undo of a placement: the node leaves the tree and the record keeps it.
void take_out(Document& doc, PlacedNode& placed) {
    DetachedNode d = doc.delete_node(placed.node);
    if (!d.ok()) return;
    placed.parent = d.parent;
    placed.index = d.index;
    placed.held = std::move(d.node);
}

// Redo of a placement: the same node goes back where it was.
void put_back(Document& doc, PlacedNode& placed) {
    if (placed.held) doc.insert_node(placed.parent, placed.index, std::move(placed.held));
}

// Records a node that an operation has just appended to parent.
void record_append(PlacedNode& placed, SceneNode* node, SceneNode* parent) {
    placed.node = node;
    placed.parent = parent;
    placed.index = parent->children.size() - 1;
}

}  // namespace

// ---- Transform, tag, paint -------------------------------------------------------------

void SetNodeTransformCommand::redo() {
    if (applied_) return;
    if (has_after_) {
        node_->transform = after_;
        applied_ = changed_ = true;
        return;
    }
    refusal_ = "";
    if (!doc_.contains(node_)) return refuse(kNoSuchNode);
    if (node_ == &doc_.root()) return refuse(kRootRefused);
    before_ = node_->transform;
    if (!apply_transform(doc_, node_, edit_)) return refuse("the transform was refused");
    after_ = node_->transform;
    has_after_ = applied_ = changed_ = !same_transform(before_, after_);
}

void SetNodeTransformCommand::undo() {
    if (!applied_) return;
    node_->transform = before_;
    applied_ = false;
}

void SetNodeTagCommand::redo() {
    if (applied_) return;
    refusal_ = "";
    if (!doc_.contains(node_)) return refuse(kNoSuchNode);
    old_tag_ = node_->tag;
    if (!doc_.set_node_tag(node_, tag_)) return refuse("no such tag");
    applied_ = changed_ = old_tag_ != tag_;
}

void SetNodeTagCommand::undo() {
    if (!applied_) return;
    node_->tag = old_tag_;
    applied_ = false;
}

void SetNodeMaterialCommand::redo() {
    if (applied_) return;
    refusal_ = "";
    if (!doc_.contains(node_)) return refuse(kNoSuchNode);
    old_material_ = node_->material;
    if (!doc_.set_node_material(node_, material_)) return refuse("material must be -1 or more");
    applied_ = changed_ = old_material_ != material_;
}

void SetNodeMaterialCommand::undo() {
    if (!applied_) return;
    node_->material = old_material_;
    applied_ = false;
}

// ---- Visibility, name, unique definition -----------------------------------------------

std::string EditNodeCommand::name() const {
    switch (edit_.kind) {
        case NodeEditKind::kSetVisible:
            return edit_.visible ? "Unhide" : "Hide";
        case NodeEditKind::kRename:
            return "Rename";
        case NodeEditKind::kMakeUnique:
            return "Make Unique";
    }
    return "Edit Node";
}

void EditNodeCommand::redo() {
    if (applied_) return;
    refusal_ = "";
    if (!doc_.contains(node_)) return refuse(kNoSuchNode);
    switch (edit_.kind) {
        case NodeEditKind::kSetVisible:
            old_visible_ = node_->visible;
            node_->visible = edit_.visible;
            applied_ = changed_ = old_visible_ != edit_.visible;
            return;
        case NodeEditKind::kRename:
            old_name_ = node_->name;
            node_->name = edit_.name;
            applied_ = changed_ = old_name_ != edit_.name;
            return;
        case NodeEditKind::kMakeUnique:
            if (held_) {
                // The same copy as the first time, so names and ids do not drift.
                doc_.insert_definition(held_->position, std::move(held_->definition));
                held_.reset();
                node_->definition_id = new_id_;
            } else {
                old_id_ = node_->definition_id;
                if (doc_.make_instance_unique(node_) < 0) {
                    return refuse("not an instance of a definition in the document");
                }
                new_id_ = node_->definition_id;
            }
            applied_ = changed_ = true;
            return;
    }
}

void EditNodeCommand::undo() {
    if (!applied_) return;
    switch (edit_.kind) {
        case NodeEditKind::kSetVisible:
            node_->visible = old_visible_;
            break;
        case NodeEditKind::kRename:
            node_->name = old_name_;
            break;
        case NodeEditKind::kMakeUnique:
            node_->definition_id = old_id_;
            held_ = doc_.delete_definition(new_id_);
            break;
    }
    applied_ = false;
}

// ---- Structure -----------------------------------------------------------------------------

void DeleteNodeCommand::redo() {
    if (applied_) return;
    refusal_ = "";
    if (!doc_.contains(node_)) return refuse(kNoSuchNode);
    removed_ = doc_.delete_node(node_);
    if (!removed_.ok()) return refuse(kRootRefused);
    applied_ = changed_ = true;
}

void DeleteNodeCommand::undo() {
    if (!applied_) return;
    doc_.insert_node(removed_.parent, removed_.index, std::move(removed_.node));
    applied_ = false;
}

void DuplicateNodeCommand::redo() {
    if (applied_) return;
    if (placed_.node != nullptr) {
        put_back(doc_, placed_);
        applied_ = changed_ = true;
        return;
    }
    refusal_ = "";
    if (!doc_.contains(node_)) return refuse(kNoSuchNode);
    SceneNode* parent = doc_.parent_of(node_);
    SceneNode* copy = doc_.duplicate_node(node_);
    if (copy == nullptr) return refuse(kRootRefused);
    record_append(placed_, copy, parent);
    applied_ = changed_ = true;
}

void DuplicateNodeCommand::undo() {
    if (!applied_) return;
    take_out(doc_, placed_);
    applied_ = false;
}

void ReparentNodeCommand::redo() {
    if (applied_) return;
    if (has_after_) {
        DetachedNode d = doc_.delete_node(node_);
        d.node->transform = new_transform_;
        doc_.insert_node(new_parent_, new_parent_->children.size(), std::move(d.node));
        applied_ = changed_ = true;
        return;
    }
    refusal_ = "";
    if (!doc_.contains(node_) || !doc_.contains(new_parent_)) return refuse(kNoSuchNode);
    const ReparentResult r = doc_.reparent_node(node_, new_parent_);
    if (!r.ok) return refuse("the node cannot move under that parent");
    old_parent_ = r.old_parent;
    old_index_ = r.old_index;
    old_transform_ = r.old_transform;
    new_transform_ = node_->transform;
    has_after_ = true;
    applied_ = changed_ = true;
}

void ReparentNodeCommand::undo() {
    if (!applied_) return;
    DetachedNode d = doc_.delete_node(node_);
    if (d.ok()) {
        d.node->transform = old_transform_;
        doc_.insert_node(old_parent_, old_index_, std::move(d.node));
    }
    applied_ = false;
}

CreateGroupCommand::CreateGroupCommand(Document& doc, SceneNode* parent, std::string name,
                                       Mesh mesh, const Mat4& transform)
    : NodeCommand(doc, parent),
      name_(std::move(name)),
      mesh_(std::move(mesh)),
      transform_(transform) {}

void CreateGroupCommand::redo() {
    if (applied_) return;
    if (placed_.node != nullptr) {
        put_back(doc_, placed_);
        applied_ = changed_ = true;
        return;
    }
    refusal_ = "";
    // Checked here because create_group takes the mesh even when it refuses.
    if (!doc_.contains(node_) || !node_->is_group()) return refuse("the parent is not a group");
    SceneNode* group = doc_.create_group(node_, name_, std::move(mesh_), transform_);
    record_append(placed_, group, node_);
    applied_ = changed_ = true;
}

void CreateGroupCommand::undo() {
    if (!applied_) return;
    take_out(doc_, placed_);
    applied_ = false;
}

CreateInstanceCommand::CreateInstanceCommand(Document& doc, SceneNode* parent,
                                             std::string definition_id, std::string name,
                                             const Mat4& transform)
    : NodeCommand(doc, parent),
      definition_id_(std::move(definition_id)),
      name_(std::move(name)),
      transform_(transform) {}

void CreateInstanceCommand::redo() {
    if (applied_) return;
    if (placed_.node != nullptr) {
        put_back(doc_, placed_);
        applied_ = changed_ = true;
        return;
    }
    refusal_ = "";
    if (doc_.find_definition(definition_id_) < 0) return refuse("definition not found");
    SceneNode* instance = doc_.create_instance(node_, definition_id_, name_, transform_);
    if (instance == nullptr) return refuse("the parent is not a group");
    record_append(placed_, instance, node_);
    applied_ = changed_ = true;
}

void CreateInstanceCommand::undo() {
    if (!applied_) return;
    take_out(doc_, placed_);
    applied_ = false;
}

// ---- Explode -------------------------------------------------------------------------------

ExplodeInstanceCommand::ExplodeInstanceCommand(Document& doc, SceneNode* node)
    : NodeCommand(doc, node) {}

void ExplodeInstanceCommand::redo() {
    if (applied_) return;
    if (parent_mesh_) {
        removed_ = doc_.delete_node(node_);
        parent_mesh_->redo();
        applied_ = changed_ = true;
        return;
    }
    refusal_ = "";
    SceneNode* parent = doc_.parent_of(node_);
    if (parent == nullptr) return refuse(doc_.contains(node_) ? kRootRefused : kNoSuchNode);
    Mesh before = parent->mesh;
    BakeResult baked = doc_.bake_node(node_);
    if (!baked.ok) return refuse(kRootRefused);
    faces_added_ = baked.faces_added;
    removed_ = std::move(baked.removed);
    parent_mesh_ = std::make_unique<MeshEditStep>(doc_, MeshLocator::of_node(parent), "Explode",
                                                  std::move(before), parent->mesh);
    applied_ = changed_ = true;
}

void ExplodeInstanceCommand::undo() {
    if (!applied_) return;
    parent_mesh_->undo();
    doc_.insert_node(removed_.parent, removed_.index, std::move(removed_.node));
    applied_ = false;
}

}  // namespace korvan
