#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "document/commands/command.h"
#include "document/commands/list_edit_command.h"
#include "document/commands/undo_steps.h"
#include "document/document.h"

// Commands over the material library.

namespace korvan {

enum class MaterialEditKind : std::uint8_t {
    kAdd,
    kDuplicate,
    kRename,
    kSetAlbedo,
    kSetRoughness,
    kSetMetallic,
    kSetOpacity,
};

// kAdd appends `material`; the others work on the material at `index`, taking `name`,
// `albedo` or `value` as the kind needs.
struct MaterialEdit {
    MaterialEditKind kind = MaterialEditKind::kAdd;
    std::int32_t index = -1;
    Material material;
    std::string name;
    Rgb albedo;
    float value = 0.0f;
};

// "Add Material", "Duplicate Material", "Rename Material", "Set Colour", "Set Roughness",
// "Set Metallic", "Set Opacity".
class EditMaterialCommand final : public ListEditCommand<MaterialLibrary> {
  public:
    EditMaterialCommand(Document& doc, MaterialEdit edit);

  private:
    std::int32_t apply(Document& doc) override;
    MaterialLibrary& list(Document& doc) const override { return doc.materials(); }

    MaterialEdit edit_;
};

// Gives a material a new UV transform. "Set Material UV".
class SetMaterialUvCommand final : public ListEditCommand<MaterialLibrary> {
  public:
    SetMaterialUvCommand(Document& doc, std::int32_t material, const MaterialUv& uv);

  private:
    std::int32_t apply(Document& doc) override;
    MaterialLibrary& list(Document& doc) const override { return doc.materials(); }

    std::int32_t material_;
    MaterialUv uv_;
};

// Removes a material from the library and keeps every reference naming the same material:
// faces of every node and definition mesh that used it go to material 0 and those above it
// move down by one; node paints that used it become none (-1) and those above move down.
// Faces are remapped under change journals, so undo writes back exactly what was there.
// "Delete Material".
class DeleteMaterialCommand : public Command {
  public:
    DeleteMaterialCommand(Document& doc, std::int32_t material);

    std::string name() const override { return "Delete Material"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    // Static text naming why the deletion was refused; empty otherwise.
    const char* refusal() const { return refusal_; }
    // Faces and node paints the last redo() renumbered.
    std::uint64_t faces_remapped() const { return faces_remapped_; }
    std::uint64_t nodes_remapped() const { return node_paints_.size(); }

  private:
    struct JournaledMesh {
        MeshLocator mesh;
        std::unique_ptr<MeshJournal> journal;
    };

    Document& doc_;
    std::int32_t material_;
    Material removed_;
    std::vector<JournaledMesh> journals_;
    std::vector<std::pair<SceneNode*, std::int32_t>> node_paints_;  // node, old paint
    std::uint64_t faces_remapped_ = 0;
    const char* refusal_ = "";
    bool applied_ = false;
    bool changed_ = false;
};

}  // namespace korvan
