#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/ids.h"
#include "core/mat4.h"
#include "core/mesh.h"
#include "core/vec3.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"
#include "document/document.h"

// Face and mesh edits of one document mesh, and the two edits that also move faces into or
// mirror nodes of the scene graph. Each keeps whole copies of the meshes it touched, so undo
// gives back the state before redo() exactly, table sizes included.

namespace korvan {

// Runs an edit on the located mesh once, then replays the copies: the first redo() copies
// the mesh, lets apply() edit it in place and keeps the result; later redo() and undo()
// assign the after or before copy. A mesh that cannot be found, or an edit that changed
// nothing, makes the command a no-op.
class MeshSnapshotCommand : public Command {
  public:
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

  protected:
    MeshSnapshotCommand(Document& doc, MeshLocator target)
        : doc_(doc), target_(std::move(target)) {}
    // Edits the mesh; a refusal must leave it as it was.
    virtual void apply(Mesh& mesh) = 0;

  private:
    Document& doc_;
    MeshLocator target_;
    Mesh before_;
    Mesh after_;
    bool applied_once_ = false;
    bool changed_ = false;
};

// Erases the listed faces; invalid, dead and repeated ids are skipped. "Erase Faces".
class EraseFacesCommand : public MeshSnapshotCommand {
  public:
    EraseFacesCommand(Document& doc, MeshLocator target, std::vector<FaceId> faces)
        : MeshSnapshotCommand(doc, std::move(target)), faces_(std::move(faces)) {}

    std::string name() const override { return "Erase Faces"; }
    std::uint64_t erased() const { return erased_; }

  private:
    void apply(Mesh& mesh) override;

    std::vector<FaceId> faces_;
    std::uint64_t erased_ = 0;
};

// `count` copies of one face, copy i moved by step * i. Refuses a count below 1 and an
// invalid or dead face. "Array".
class ArrayCommand : public MeshSnapshotCommand {
  public:
    ArrayCommand(Document& doc, MeshLocator target, FaceId face, std::int32_t count,
                 const Vec3& step)
        : MeshSnapshotCommand(doc, std::move(target)), face_(face), count_(count), step_(step) {}

    std::string name() const override { return "Array"; }
    const char* refusal() const { return refusal_; }
    // The id of the first copy; the copies' ids follow one another.
    FaceId first_copy() const { return first_copy_; }
    std::uint64_t copies() const { return copies_; }

  private:
    void apply(Mesh& mesh) override;

    FaceId face_;
    std::int32_t count_;
    Vec3 step_;
    const char* refusal_ = "";
    FaceId first_copy_ = kInvalidId;
    std::uint64_t copies_ = 0;
};

// Links coincident naked edges by position (Mesh::stitch_naked_edges). "Stitch Naked Edges".
class StitchNakedEdgesCommand : public MeshSnapshotCommand {
  public:
    StitchNakedEdgesCommand(Document& doc, MeshLocator target, float tolerance)
        : MeshSnapshotCommand(doc, std::move(target)), tolerance_(tolerance) {}

    std::string name() const override { return "Stitch Naked Edges"; }
    std::uint64_t stitched() const { return stitched_; }

  private:
    void apply(Mesh& mesh) override;

    float tolerance_;
    std::uint64_t stitched_ = 0;
};

// Appends a copy of `source`'s alive faces through `transform` (Mesh::merge_mesh).
// "Merge Mesh".
class MergeMeshCommand : public MeshSnapshotCommand {
  public:
    MergeMeshCommand(Document& doc, MeshLocator target, Mesh source, const Mat4& transform)
        : MeshSnapshotCommand(doc, std::move(target)),
          source_(std::move(source)),
          transform_(transform) {}

    std::string name() const override { return "Merge Mesh"; }
    std::uint64_t merged() const { return merged_; }

  private:
    void apply(Mesh& mesh) override;

    Mesh source_;
    Mat4 transform_;
    std::uint64_t merged_ = 0;
};

// Shows every soft-hidden alive face. "Unhide All".
class UnhideAllCommand : public MeshSnapshotCommand {
  public:
    UnhideAllCommand(Document& doc, MeshLocator target)
        : MeshSnapshotCommand(doc, std::move(target)) {}

    std::string name() const override { return "Unhide All"; }
    std::uint64_t unhidden() const { return unhidden_; }

  private:
    void apply(Mesh& mesh) override;

    std::uint64_t unhidden_ = 0;
};

// The undo record of an edit that changes a group's mesh and adds or changes nodes: the
// mesh copies, the nodes it created (taken out on undo, put back on redo) and, for nodes it
// edited, each subtree node's transform and mesh before and after.
class NodeEditRecord {
  public:
    // Call before the edit touches anything.
    void begin(SceneNode* mesh_owner, const std::vector<SceneNode*>& edited_nodes);
    void created(SceneNode* node) { created_.push_back(node); }
    // Call after the edit; true when anything differs.
    bool finish();
    void undo(Document& doc);
    void redo(Document& doc);

  private:
    struct NodeState {
        SceneNode* node = nullptr;
        Mat4 before_transform, after_transform;
        Mesh before_mesh, after_mesh;
    };
    SceneNode* mesh_owner_ = nullptr;
    Mesh before_;
    Mesh after_;
    std::vector<NodeState> nodes_;
    std::vector<SceneNode*> created_;
    std::vector<DetachedNode> detached_;  // the created nodes while undone
};

// Moves the distinct alive listed faces of the group's mesh into a new child group with
// that name ("Group" when empty); the group has no transform, so the faces stay where they
// were. Refuses a list with no alive face and a parent that is not a group of the tree.
// "Make Group".
class MakeGroupFromFacesCommand : public Command {
  public:
    MakeGroupFromFacesCommand(Document& doc, SceneNode* parent, std::vector<FaceId> faces,
                              std::string group_name)
        : doc_(doc),
          parent_(parent),
          faces_(std::move(faces)),
          group_name_(std::move(group_name)) {}

    std::string name() const override { return "Make Group"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    std::uint64_t moved() const { return moved_; }
    // The new group; null after a refusal.
    SceneNode* group() const { return group_; }

  private:
    Document& doc_;
    SceneNode* parent_;
    std::vector<FaceId> faces_;
    std::string group_name_;
    NodeEditRecord record_;
    SceneNode* group_ = nullptr;
    std::uint64_t moved_ = 0;
    bool applied_once_ = false;
    bool changed_ = false;
};

enum class MirrorKind : std::uint8_t { kPoint, kLine, kPlane };

// The world transform of a mirror at the point p1, the line through p1 and p2 (a half turn
// about it) or the plane through p1, p2 and p3. None for coincident points or collinear
// plane points.
std::optional<Mat4> mirror_transform(MirrorKind kind, const Vec3& p1, const Vec3& p2,
                                     const Vec3& p3);

// Mirrors named nodes and root faces. Without erase the mirrored nodes are copies (appended
// beside the originals) and the mirrored faces new faces; with erase the nodes themselves
// move and the original faces are erased. Faces keep facing outwards: point and plane
// mirrors reverse the winding, as mirror_faces and mirror_node do. Refuses a degenerate
// mirror, the root node, nodes outside the tree, a node inside another listed node, and a
// selection with neither a node nor an alive face. "Mirror at Point", "Mirror at Line" or
// "Mirror at Plane".
class MirrorSelectionCommand : public Command {
  public:
    MirrorSelectionCommand(Document& doc, MirrorKind kind, const Vec3& p1, const Vec3& p2,
                           const Vec3& p3, std::vector<SceneNode*> nodes, std::vector<FaceId> faces,
                           bool erase)
        : doc_(doc),
          kind_(kind),
          p1_(p1),
          p2_(p2),
          p3_(p3),
          nodes_(std::move(nodes)),
          faces_(std::move(faces)),
          erase_(erase) {}

    std::string name() const override;
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    const char* refusal() const { return refusal_; }
    std::uint64_t nodes_mirrored() const { return nodes_mirrored_; }
    std::uint64_t faces_made() const { return faces_made_; }
    std::uint64_t faces_erased() const { return faces_erased_; }

  private:
    void apply();

    Document& doc_;
    MirrorKind kind_;
    Vec3 p1_, p2_, p3_;
    std::vector<SceneNode*> nodes_;
    std::vector<FaceId> faces_;
    bool erase_;
    NodeEditRecord record_;
    const char* refusal_ = "";
    std::uint64_t nodes_mirrored_ = 0;
    std::uint64_t faces_made_ = 0;
    std::uint64_t faces_erased_ = 0;
    bool applied_once_ = false;
    bool changed_ = false;
};

}  // namespace korvan
