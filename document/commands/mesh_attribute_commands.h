#pragma once

#include <cstdint>
#include <string>

#include "core/mesh.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"

// Edits of face attributes (material, layer, soft-hidden flag), layer visibility and corner
// UVs of one mesh of a document.

namespace korvan {

class Document;

// Base of the attribute edits. These edits can grow the layer-visibility list or allocate
// the corner-UV table, and the mesh has no way back to a shorter list or to "no table"; so
// redo() keeps a copy of the mesh from before the edit and undo() puts it back, restamping
// only the blocks that differ. A redo() after an undo() runs the edit again on that same
// state, which gives the same result because every edit here is deterministic.
class MeshAttributeCommand : public Command {
  public:
    void redo() override;
    void undo() override;
    // True when the last redo() changed nothing, refused, or could not find the mesh.
    bool is_noop() const override { return !changed_; }

  protected:
    MeshAttributeCommand(Document& doc, MeshLocator target)
        : doc_(doc), target_(std::move(target)) {}

    // Runs the edit; returns whether it changed anything. A refusal writes nothing.
    virtual bool apply(Document& doc, Mesh& mesh) = 0;

  private:
    Document& doc_;
    MeshLocator target_;
    Mesh before_;
    bool applied_ = false;  // the edited state is in place
    bool changed_ = false;
};

enum class FaceAttributeEdit : std::uint8_t {
    kReplaceMaterial,       // faces of material `from` get material `to`
    kReplaceLayer,          // faces of layer `from` go to layer `to`
    kPaintLayer,            // faces of `layer` get `material`
    kAssignMaterialLayer,   // faces of `material` go to `layer`
    kSetMaterialVisible,    // faces of `material` shown or soft-hidden
    kSetLayerFacesVisible,  // faces of `layer` shown or soft-hidden
};

struct FaceAttributeChange {
    FaceAttributeEdit kind = FaceAttributeEdit::kReplaceMaterial;
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    std::uint32_t material = 0;
    std::uint32_t layer = 0;
    bool visible = true;
};

// Rewrites one attribute on every alive face that matches. Refuses kInvalidLayer as the layer
// faces are to go to. "Reassign Material", "Reassign Layer", "Paint Layer", "Assign Material
// Layer", "Hide Material"/"Show Material", "Hide Layer Faces"/"Show Layer Faces".
class FaceAttributeCommand final : public MeshAttributeCommand {
  public:
    FaceAttributeCommand(Document& doc, MeshLocator target, const FaceAttributeChange& change);

    std::string name() const override;
    // Faces whose attribute the last redo() changed.
    std::uint64_t faces_changed() const { return faces_changed_; }

  private:
    bool apply(Document& doc, Mesh& mesh) override;

    FaceAttributeChange change_;
    std::uint64_t faces_changed_ = 0;
};

// Shows or hides a layer as a whole (the faces keep their own flags). Nothing changes when
// the layer already is in that state; kInvalidLayer is refused. "Show Layer"/"Hide Layer".
class SetLayerVisibleCommand final : public MeshAttributeCommand {
  public:
    SetLayerVisibleCommand(Document& doc, MeshLocator target, std::uint32_t layer, bool visible)
        : MeshAttributeCommand(doc, std::move(target)), layer_(layer), visible_(visible) {}

    std::string name() const override { return visible_ ? "Show Layer" : "Hide Layer"; }

  private:
    bool apply(Document& doc, Mesh& mesh) override;

    std::uint32_t layer_;
    bool visible_;
};

}  // namespace korvan
