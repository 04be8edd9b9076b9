#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/mesh_openings.h"
#include "core/mesh_sweep.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"

// Commands of the modelling tools that cut into or grow from a face. Each journals the mesh
// around its kernel call, so undo writes back exactly the blocks the edit touched.

namespace korvan {

class Document;

enum class OpeningKind { kDoor, kWindow };

struct OpeningRequest {
    OpeningKind kind = OpeningKind::kDoor;
    FaceId face = kInvalidId;
    float width = kDoorWidth;
    float height = kDoorHeight;
    float sill = kDoorSill;
    float thickness = 0.0f;  // <= 0: find the wall's far face
};

// The request for `kind` with that kind's default size.
OpeningRequest default_opening(OpeningKind kind, FaceId face);

// cut_opening_through on the target mesh. "Door Opening Through" or "Window Opening Through".
class CutOpeningCommand : public Command {
  public:
    CutOpeningCommand(Document& doc, MeshLocator target, OpeningRequest request);

    std::string name() const override;
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    // The last application's result; message holds the refusal.
    const OpeningResult& result() const { return result_; }

  private:
    Document& doc_;
    MeshLocator target_;
    OpeningRequest request_;
    OpeningResult result_;
    std::unique_ptr<MeshJournal> journal_;
    bool changed_ = false;
};

// sweep_face_along_path on the target mesh. "Follow Me".
class SweepAlongPathCommand : public Command {
  public:
    SweepAlongPathCommand(Document& doc, MeshLocator target, FaceId face, std::vector<Vec3> path);

    std::string name() const override { return "Follow Me"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    const SweepReport& result() const { return result_; }

  private:
    Document& doc_;
    MeshLocator target_;
    FaceId face_;
    std::vector<Vec3> path_;
    SweepReport result_;
    std::unique_ptr<MeshJournal> journal_;
    bool changed_ = false;
};

}  // namespace korvan
