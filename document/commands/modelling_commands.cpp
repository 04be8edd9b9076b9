#include "document/commands/modelling_commands.h"

#include <utility>

#include "core/mesh.h"
#include "document/document.h"

namespace korvan {
namespace {

// Runs edit(mesh) with a fresh journal attached; the journal is what undo restores.
template <class Edit>
bool journaled(Document& doc, const MeshLocator& target, std::unique_ptr<MeshJournal>& journal,
               Edit&& edit) {
    Mesh* mesh = target.resolve(doc);
    if (mesh == nullptr) return false;
    journal = std::make_unique<MeshJournal>();
    ScopedMeshJournal guard(*mesh, *journal);
    return edit(*mesh);
}

void restore(Document& doc, const MeshLocator& target,
             const std::unique_ptr<MeshJournal>& journal) {
    Mesh* mesh = target.resolve(doc);
    if (mesh != nullptr && journal) mesh->restore(*journal);
}

}  // namespace

OpeningRequest default_opening(OpeningKind kind, FaceId face) {
    OpeningRequest r;
    r.kind = kind;
    r.face = face;
    if (kind == OpeningKind::kWindow) {
        r.width = kWindowWidth;
        r.height = kWindowHeight;
        r.sill = kWindowSill;
    }
    return r;
}

CutOpeningCommand::CutOpeningCommand(Document& doc, MeshLocator target, OpeningRequest request)
    : doc_(doc), target_(std::move(target)), request_(request) {}

std::string CutOpeningCommand::name() const {
    return request_.kind == OpeningKind::kDoor ? "Door Opening Through" : "Window Opening Through";
}

void CutOpeningCommand::redo() {
    result_ = {};
    result_.message = "the mesh is no longer in the document";
    changed_ = journaled(doc_, target_, journal_, [&](Mesh& mesh) {
        result_ = cut_opening_through(mesh, request_.face, request_.width, request_.height,
                                      request_.sill, request_.thickness);
        return result_.ok;
    });
}

void CutOpeningCommand::undo() {
    if (changed_) restore(doc_, target_, journal_);
}

SweepAlongPathCommand::SweepAlongPathCommand(Document& doc, MeshLocator target, FaceId face,
                                             std::vector<Vec3> path)
    : doc_(doc), target_(std::move(target)), face_(face), path_(std::move(path)) {}

void SweepAlongPathCommand::redo() {
    result_ = {};
    result_.message = "the mesh is no longer in the document";
    changed_ = journaled(doc_, target_, journal_, [&](Mesh& mesh) {
        result_ = sweep_face_along_path(mesh, face_, path_);
        return result_.ok;
    });
}

void SweepAlongPathCommand::undo() {
    if (changed_) restore(doc_, target_, journal_);
}

}  // namespace korvan
