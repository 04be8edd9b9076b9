#include "document/commands/definition_commands.h"

#include <utility>

namespace korvan {
namespace {

constexpr const char* kNoSuchDefinition = "no such definition";

}  // namespace

void DeleteDefinitionCommand::redo() {
    if (removed_) return;
    refusal_ = "";
    changed_ = false;
    if (doc_.find_definition(id_) < 0) {
        refusal_ = kNoSuchDefinition;
        return;
    }
    removed_ = doc_.delete_definition(id_);
    if (!removed_) {
        refusal_ = "the definition is in use";
        return;
    }
    changed_ = true;
}

void DeleteDefinitionCommand::undo() {
    if (!removed_) return;
    doc_.insert_definition(removed_->position, std::move(removed_->definition));
    removed_.reset();
}

std::string EditDefinitionCommand::name() const {
    switch (edit_.kind) {
        case DefinitionEditKind::kRename:
            return "Rename Definition";
        case DefinitionEditKind::kSetCategory:
            return "Set Category";
        case DefinitionEditKind::kDuplicate:
            return "Duplicate Definition";
    }
    return "Edit Definition";
}

void EditDefinitionCommand::redo() {
    if (applied_) return;
    if (held_) {
        // The same copy as the first time, so its id and name do not drift.
        doc_.insert_definition(held_->position, std::move(held_->definition));
        held_.reset();
        applied_ = changed_ = true;
        return;
    }
    refusal_ = "";
    changed_ = false;
    ComponentDefinition* def = doc_.definition(edit_.id);
    if (def == nullptr) {
        refusal_ = kNoSuchDefinition;
        return;
    }
    switch (edit_.kind) {
        case DefinitionEditKind::kRename:
            old_text_ = def->name;
            def->name = edit_.text;
            break;
        case DefinitionEditKind::kSetCategory:
            old_text_ = def->category;
            def->category = edit_.text;
            break;
        case DefinitionEditKind::kDuplicate: {
            const std::int32_t pos = doc_.duplicate_definition(edit_.id);
            if (pos < 0) {
                refusal_ = kNoSuchDefinition;
                return;
            }
            copy_id_ = doc_.definitions()[static_cast<std::size_t>(pos)].id;
            applied_ = changed_ = true;
            return;
        }
    }
    applied_ = changed_ = old_text_ != edit_.text;
}

void EditDefinitionCommand::undo() {
    if (!applied_) return;
    switch (edit_.kind) {
        case DefinitionEditKind::kRename:
            doc_.rename_definition(edit_.id, old_text_);
            break;
        case DefinitionEditKind::kSetCategory:
            doc_.set_definition_category(edit_.id, old_text_);
            break;
        case DefinitionEditKind::kDuplicate:
            held_ = doc_.delete_definition(copy_id_);
            break;
    }
    applied_ = false;
}

}  // namespace korvan
