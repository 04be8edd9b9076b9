#include "document/commands/edge_commands.h"

#include <utility>

#include "core/mesh.h"

namespace korvan {

EraseEdgeCommand::EraseEdgeCommand(Document& doc, MeshLocator target, EdgeId edge)
    : doc_(doc), target_(std::move(target)), edge_(edge) {}

void EraseEdgeCommand::redo() {
    if (applied_) return;
    retired_faces_.clear();
    Mesh* mesh = target_.resolve(doc_);
    // Checked before the journal is attached so a refusal leaves no recorded blocks behind.
    if (mesh == nullptr || !mesh->edge_usable(edge_)) return;
    // A fresh journal per application: what an undo writes back is the state just before it.
    journal_ = std::make_unique<MeshJournal>();
    {
        const ScopedMeshJournal guard(*mesh, *journal_);
        applied_ = mesh->erase_edge(edge_, &retired_faces_);
    }
}

void EraseEdgeCommand::undo() {
    if (!applied_) return;
    if (Mesh* mesh = target_.resolve(doc_)) mesh->restore(*journal_);
    applied_ = false;
}

}  // namespace korvan
