#pragma once

#include <cstddef>
#include <string>

#include "core/mesh_annotations.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"

// Edits of a mesh's construction entities. Each appends one entry; its undo removes exactly
// that entry again, so the rest of the list (and every index held elsewhere) is untouched.

namespace korvan {

class Document;

// Appends a guide line to the located mesh. "Tape".
class AddGuideCommand final : public Command {
  public:
    AddGuideCommand(Document& doc, MeshLocator target, Guide guide);

    std::string name() const override { return "Tape"; }
    void redo() override;
    void undo() override;
    // True when the last redo() could not find the mesh.
    bool is_noop() const override { return !found_; }

    // Index of the new guide; meaningful once redo() applied it.
    std::size_t index() const { return index_; }

  private:
    Document& doc_;
    MeshLocator target_;
    Guide guide_;
    std::size_t index_ = 0;
    bool found_ = false;
    bool applied_ = false;  // the entry is in the list
};

// Appends a dimension to the located mesh. "Measure".
class AddDimensionCommand final : public Command {
  public:
    AddDimensionCommand(Document& doc, MeshLocator target, Dimension dimension);

    std::string name() const override { return "Measure"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !found_; }

    std::size_t index() const { return index_; }
    const Dimension& dimension() const { return dimension_; }

  private:
    Document& doc_;
    MeshLocator target_;
    Dimension dimension_;
    std::size_t index_ = 0;
    bool found_ = false;
    bool applied_ = false;  // the entry is in the list
};

}  // namespace korvan
