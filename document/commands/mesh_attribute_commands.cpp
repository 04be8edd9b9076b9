#include "document/commands/mesh_attribute_commands.h"

#include <utility>

#include "core/ids.h"

namespace korvan {

void MeshAttributeCommand::redo() {
    if (applied_) return;
    changed_ = false;
    Mesh* mesh = target_.resolve(doc_);
    if (mesh == nullptr) return;
    before_ = *mesh;
    changed_ = apply(doc_, *mesh);
    applied_ = changed_;
    if (changed_) return;
    // The layer setters grow the visibility list before they look for faces; an edit that
    // found nothing to change must still leave the mesh exactly as it was.
    if (!same_mesh_content(*mesh, before_)) assign_mesh_marking_changes(*mesh, before_);
    before_ = Mesh();
}

void MeshAttributeCommand::undo() {
    if (!applied_) return;
    applied_ = false;
    if (Mesh* mesh = target_.resolve(doc_)) assign_mesh_marking_changes(*mesh, before_);
}

// ---- Face attributes -----------------------------------------------------------------------

FaceAttributeCommand::FaceAttributeCommand(Document& doc, MeshLocator target,
                                           const FaceAttributeChange& change)
    : MeshAttributeCommand(doc, std::move(target)), change_(change) {}

std::string FaceAttributeCommand::name() const {
    switch (change_.kind) {
        case FaceAttributeEdit::kReplaceMaterial:
            return "Reassign Material";
        case FaceAttributeEdit::kReplaceLayer:
            return "Reassign Layer";
        case FaceAttributeEdit::kPaintLayer:
            return "Paint Layer";
        case FaceAttributeEdit::kAssignMaterialLayer:
            return "Assign Material Layer";
        case FaceAttributeEdit::kSetMaterialVisible:
            return change_.visible ? "Show Material" : "Hide Material";
        case FaceAttributeEdit::kSetLayerFacesVisible:
            return change_.visible ? "Show Layer Faces" : "Hide Layer Faces";
    }
    return "Edit Faces";
}

bool FaceAttributeCommand::apply(Document&, Mesh& mesh) {
    const FaceAttributeChange& c = change_;
    switch (c.kind) {
        case FaceAttributeEdit::kReplaceMaterial:
            faces_changed_ = mesh.replace_material_id(c.from, c.to);
            break;
        case FaceAttributeEdit::kReplaceLayer:
            faces_changed_ = mesh.replace_layer_id(c.from, c.to);
            break;
        case FaceAttributeEdit::kPaintLayer:
            faces_changed_ = mesh.set_layer_material(c.layer, c.material);
            break;
        case FaceAttributeEdit::kAssignMaterialLayer:
            faces_changed_ = mesh.set_material_layer(c.material, c.layer);
            break;
        case FaceAttributeEdit::kSetMaterialVisible:
            faces_changed_ = mesh.set_faces_visible_by_material(c.material, c.visible);
            break;
        case FaceAttributeEdit::kSetLayerFacesVisible:
            faces_changed_ = mesh.set_faces_visible_by_layer(c.layer, c.visible);
            break;
    }
    return faces_changed_ > 0;
}

// ---- Layer visibility ----------------------------------------------------------------------

bool SetLayerVisibleCommand::apply(Document&, Mesh& mesh) {
    if (layer_ == kInvalidLayer || mesh.layer_visible(layer_) == visible_) return false;
    mesh.set_layer_visible(layer_, visible_);
    return true;
}

}  // namespace korvan
