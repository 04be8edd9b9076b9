#include "document/commands/placement_commands.h"

#include <utility>

#include "document/naming.h"

namespace korvan {

// ---- PlaceOpeningCommand -----------------------------------------------------------------

std::string PlaceOpeningCommand::name() const {
    switch (request_.kind) {
        case OpeningKind::kDoor:
            return "Place door";
        case OpeningKind::kWindow:
            return "Place window";
        case OpeningKind::kComponent:
            return "Place component";
    }
    return "Place component";
}

void PlaceOpeningCommand::redo() {
    if (applied_) return;
    if (placed_.node != nullptr) {
        // The same definition and node as the first time: later commands may name them.
        if (held_definition_) {
            doc_.insert_definition(held_definition_->position,
                                   std::move(held_definition_->definition));
            held_definition_.reset();
        }
        doc_.insert_node(placed_.parent, placed_.index, std::move(placed_.held));
        applied_ = changed_ = true;
        return;
    }
    result_ = place_opening(doc_, request_);
    changed_ = result_.ok;
    if (!result_.ok) return;
    placed_.node = result_.instance;
    placed_.parent = result_.parent;
    placed_.index = result_.child_index;
    applied_ = true;
}

void PlaceOpeningCommand::undo() {
    if (!applied_) return;
    DetachedNode d = doc_.delete_node(placed_.node);
    placed_.held = std::move(d.node);
    if (result_.created_definition) {
        held_definition_ = doc_.delete_definition(result_.definition_id);
    }
    applied_ = false;
}

// ---- ArrayInstancesCommand ---------------------------------------------------------------

ArrayInstancesCommand::ArrayInstancesCommand(Document& doc, std::string definition_id,
                                             std::uint32_t count, const Vec3& step,
                                             SceneNode* parent)
    : doc_(doc),
      definition_id_(std::move(definition_id)),
      count_(count),
      step_(step),
      parent_(parent) {}

std::vector<SceneNode*> ArrayInstancesCommand::instances() const {
    std::vector<SceneNode*> out;
    out.reserve(placed_.size());
    for (const PlacedNode& p : placed_) out.push_back(p.node);
    return out;
}

void ArrayInstancesCommand::redo() {
    if (applied_) return;
    if (!placed_.empty()) {
        for (PlacedNode& p : placed_) {
            doc_.insert_node(p.parent, p.index, std::move(p.held));
        }
        applied_ = changed_ = true;
        return;
    }
    refusal_ = "";
    changed_ = false;
    SceneNode* parent = parent_ != nullptr ? parent_ : &doc_.root();
    if (doc_.find_definition(definition_id_) < 0) {
        refusal_ = "definition not found";
        return;
    }
    if (count_ < 1) {
        refusal_ = "count must be at least 1";
        return;
    }
    if (!doc_.contains(parent) || !parent->is_group()) {
        refusal_ = "the parent is not a group";
        return;
    }
    placed_.reserve(count_);
    for (std::uint32_t i = 0; i < count_; ++i) {
        const float k = static_cast<float>(i);
        SceneNode* node = doc_.create_instance(parent, definition_id_,
                                               numbered_name("Array ", std::size_t{i} + 1),
                                               Mat4::translation(step_ * k));
        placed_.push_back({node, parent, parent->children.size() - 1, nullptr});
    }
    applied_ = changed_ = true;
}

void ArrayInstancesCommand::undo() {
    if (!applied_) return;
    // Last-first, so each node leaves from the position it was appended at.
    for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) {
        DetachedNode d = doc_.delete_node(it->node);
        it->held = std::move(d.node);
    }
    applied_ = false;
}

}  // namespace korvan
