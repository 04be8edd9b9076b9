#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/commands/command.h"
#include "document/document.h"

// Commands over the component definitions.

namespace korvan {

// Removes a definition that no instance shows; undo puts it back at its position.
// "Delete Definition".
class DeleteDefinitionCommand : public Command {
  public:
    DeleteDefinitionCommand(Document& doc, std::string id) : doc_(doc), id_(std::move(id)) {}

    std::string name() const override { return "Delete Definition"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    // Static text naming why the last redo() refused; empty otherwise.
    const char* refusal() const { return refusal_; }

  private:
    Document& doc_;
    std::string id_;
    std::optional<RemovedDefinition> removed_;
    const char* refusal_ = "";
    bool changed_ = false;
};

enum class DefinitionEditKind : std::uint8_t { kRename, kSetCategory, kDuplicate };

// kRename sets the display name to `text`, kSetCategory the category; kDuplicate appends a
// copy with id "<id>_copy" ("<id>_copy2", ...).
struct DefinitionEdit {
    DefinitionEditKind kind = DefinitionEditKind::kRename;
    std::string id;
    std::string text;
};

// "Rename Definition", "Set Category", "Duplicate Definition".
class EditDefinitionCommand : public Command {
  public:
    EditDefinitionCommand(Document& doc, DefinitionEdit edit) : doc_(doc), edit_(std::move(edit)) {}

    std::string name() const override;
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    const char* refusal() const { return refusal_; }
    // kDuplicate: the copy's id; empty otherwise.
    const std::string& copy_id() const { return copy_id_; }

  private:
    Document& doc_;
    DefinitionEdit edit_;
    std::string old_text_;
    std::string copy_id_;
    std::optional<RemovedDefinition> held_;  // the copy while undone
    const char* refusal_ = "";
    bool applied_ = false;
    bool changed_ = false;
};

}  // namespace korvan
