#include "document/commands/material_commands.h"

#include <utility>

#include "document/tree_walk.h"

namespace korvan {
namespace {

std::string material_label(MaterialEditKind kind) {
    switch (kind) {
        case MaterialEditKind::kAdd:
            return "Add Material";
        case MaterialEditKind::kDuplicate:
            return "Duplicate Material";
        case MaterialEditKind::kRename:
            return "Rename Material";
        case MaterialEditKind::kSetAlbedo:
            return "Set Colour";
        case MaterialEditKind::kSetRoughness:
            return "Set Roughness";
        case MaterialEditKind::kSetMetallic:
            return "Set Metallic";
        case MaterialEditKind::kSetOpacity:
            return "Set Opacity";
    }
    return "Edit Material";
}

constexpr const char* kNoSuchMaterial = "no such material";

// Renumbers the alive faces of one mesh for the deletion of `material`; returns how many
// changed. The caller journals the mesh around the call.
std::uint64_t remap_faces(Mesh& mesh, std::uint32_t material) {
    std::uint64_t changed = 0;
    const auto faces = mesh.faces();
    for (FaceId f = 0; f < faces.size(); ++f) {
        const std::uint32_t old = faces[f].material_id;
        if (!faces[f].alive || old < material) continue;
        const std::uint32_t now = old == material ? 0 : old - 1;
        if (now == old) continue;  // deleting material 0 leaves its faces on 0
        mesh.face_mut(f).material_id = now;
        ++changed;
    }
    if (changed > 0) mesh.mark_changed(kFaceTableBit);
    return changed;
}

}  // namespace

// ---- Library edits ---------------------------------------------------------------------

EditMaterialCommand::EditMaterialCommand(Document& doc, MaterialEdit edit)
    : ListEditCommand(doc, material_label(edit.kind)), edit_(std::move(edit)) {}

std::int32_t EditMaterialCommand::apply(Document& doc) {
    MaterialLibrary& lib = doc.materials();
    const std::int32_t i = edit_.index;
    bool ok = false;
    switch (edit_.kind) {
        case MaterialEditKind::kAdd:
            return lib.add(edit_.material);
        case MaterialEditKind::kDuplicate: {
            const std::int32_t copy = lib.duplicate(i);
            return copy < 0 ? refuse(kNoSuchMaterial) : copy;
        }
        case MaterialEditKind::kRename:
            ok = lib.rename(i, edit_.name);
            break;
        case MaterialEditKind::kSetAlbedo:
            ok = lib.set_albedo(i, edit_.albedo);
            break;
        case MaterialEditKind::kSetRoughness:
            ok = lib.set_roughness(i, edit_.value);
            break;
        case MaterialEditKind::kSetMetallic:
            ok = lib.set_metallic(i, edit_.value);
            break;
        case MaterialEditKind::kSetOpacity:
            ok = lib.set_opacity(i, edit_.value);
            break;
    }
    return ok ? i : refuse(kNoSuchMaterial);
}

SetMaterialUvCommand::SetMaterialUvCommand(Document& doc, std::int32_t material,
                                           const MaterialUv& uv)
    : ListEditCommand(doc, "Set Material UV"), material_(material), uv_(uv) {}

std::int32_t SetMaterialUvCommand::apply(Document& doc) {
    return doc.materials().set_uv(material_, uv_) ? material_ : refuse(kNoSuchMaterial);
}

// ---- Deletion ----------------------------------------------------------------------------

DeleteMaterialCommand::DeleteMaterialCommand(Document& doc, std::int32_t material)
    : doc_(doc), material_(material) {}

void DeleteMaterialCommand::redo() {
    if (applied_) return;
    refusal_ = "";
    changed_ = false;
    MaterialLibrary& lib = doc_.materials();
    if (!lib.valid(material_)) {
        refusal_ = kNoSuchMaterial;
        return;
    }
    removed_ = lib[static_cast<std::size_t>(material_)];
    lib.erase(material_);

    journals_.clear();
    node_paints_.clear();
    faces_remapped_ = 0;
    const auto removed_index = static_cast<std::uint32_t>(material_);
    auto remap_mesh = [&](Mesh& mesh, MeshLocator locator) {
        auto journal = std::make_unique<MeshJournal>();
        std::uint64_t changed = 0;
        {
            const ScopedMeshJournal guard(mesh, *journal);
            changed = remap_faces(mesh, removed_index);
        }
        if (changed == 0) return;
        faces_remapped_ += changed;
        journals_.push_back({std::move(locator), std::move(journal)});
    };
    walk_nodes(doc_.root(), [&](SceneNode& node, std::size_t) {
        if (node.material >= material_) {
            node_paints_.emplace_back(&node, node.material);
            node.material = node.material == material_ ? -1 : node.material - 1;
        }
        remap_mesh(node.mesh, MeshLocator::of_node(&node));
        return true;
    });
    for (ComponentDefinition& def : doc_.definitions()) {
        remap_mesh(def.mesh, MeshLocator::of_definition(def.id));
    }
    applied_ = changed_ = true;
}

void DeleteMaterialCommand::undo() {
    if (!applied_) return;
    for (auto it = journals_.rbegin(); it != journals_.rend(); ++it) {
        if (Mesh* mesh = it->mesh.resolve(doc_)) mesh->restore(*it->journal);
    }
    for (const auto& [node, old] : node_paints_) node->material = old;
    doc_.materials().insert(material_, removed_);
    applied_ = false;
}

}  // namespace korvan
