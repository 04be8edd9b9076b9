#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/ids.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"

// Edge edits of one mesh that the desktop program offers as single undo steps.

namespace korvan {

class Document;

// Erases an edge and the faces on both of its sides (Mesh::erase_edge). "Erase Edge".
// The edit only flips alive flags, so a change journal over the element tables is all the
// undo needs: it writes the recorded blocks back and leaves every id where it was.
class EraseEdgeCommand final : public Command {
  public:
    EraseEdgeCommand(Document& doc, MeshLocator target, EdgeId edge);

    std::string name() const override { return "Erase Edge"; }
    void redo() override;
    void undo() override;
    // True when the last redo() refused: the mesh is gone or the edge is invalid or dead.
    bool is_noop() const override { return !applied_; }

    // Faces the last redo() retired with the edge, in the order they went (0 to 2).
    const std::vector<FaceId>& retired_faces() const { return retired_faces_; }

  private:
    Document& doc_;
    MeshLocator target_;
    EdgeId edge_;
    std::unique_ptr<MeshJournal> journal_;
    std::vector<FaceId> retired_faces_;
    bool applied_ = false;
};

}  // namespace korvan
