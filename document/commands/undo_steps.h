#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/ids.h"
#include "core/mesh.h"
#include "document/commands/command.h"

// The undo state that commands share: locating a mesh again, whole-mesh snapshots, material
// and definition-name reassignments, and change journals attached around an edit.

namespace korvan {

class Document;
struct SceneNode;

// Finds a document's mesh again at undo time: a node's own mesh (a node keeps its address
// while the undo history holds it, even when it is out of the tree) or, when definition_id
// is set, that definition's mesh (definitions move within their list).
struct MeshLocator {
    SceneNode* node = nullptr;
    std::string definition_id;

    static MeshLocator of_node(SceneNode* node);
    static MeshLocator of_definition(std::string id);
    // Null when the node is no longer in the tree or the definition is gone.
    Mesh* resolve(Document& doc) const;
};

// Table sizes of a mesh; curve slots count erased curves too.
struct MeshTableSizes {
    std::uint32_t vertices = 0;
    std::uint32_t half_edges = 0;
    std::uint32_t edges = 0;
    std::uint32_t faces = 0;
    std::size_t curves = 0;

    static MeshTableSizes of(const Mesh& mesh);
    friend bool operator==(const MeshTableSizes&, const MeshTableSizes&) = default;
};

// True when every element record (as bytes), corner UV, layer bit, guide, curve, note and
// dimension of the two meshes is the same. Caches and change stamps are not compared.
bool same_mesh_content(const Mesh& a, const Mesh& b);

// Replaces target's content by source's and stamps every block that differs from what it
// replaced, so block hashes and the spatial index rebuild exactly those blocks; takes a new
// revision when anything differed. Attached journals and snapshots see the replacement.
void assign_mesh_marking_changes(Mesh& target, const Mesh& source);

// Attaches the journal to the mesh for the guard's lifetime: every block the edit in between
// writes is recorded, and Mesh::restore(journal) undoes the edit. Only the four element
// tables are covered, so an edit journaled this way must not touch corner UVs, layer bits or
// the annotation lists.
class ScopedMeshJournal {
  public:
    ScopedMeshJournal(Mesh& mesh, MeshJournal& journal) : mesh_(mesh), journal_(journal) {
        mesh_.attach(journal_);
    }
    ScopedMeshJournal(const ScopedMeshJournal&) = delete;
    ScopedMeshJournal& operator=(const ScopedMeshJournal&) = delete;
    ~ScopedMeshJournal() { mesh_.detach(journal_); }

  private:
    Mesh& mesh_;
    MeshJournal& journal_;
};

// A clean-up pass's edit of one mesh as two whole copies: redo() puts the after-copy in
// place, undo() the before-copy, each marking the blocks that changed. The caller builds the
// after-copy (typically by editing a copy of the mesh) and hands both over.
class MeshEditStep : public Command {
  public:
    MeshEditStep(Document& doc, MeshLocator target, std::string label, Mesh before, Mesh after);

    std::string name() const override { return label_; }
    void redo() override;
    void undo() override;
    // True when the copies do not differ or the mesh could not be found.
    bool is_noop() const override { return !changed_ || !found_; }

    const MeshTableSizes& sizes_after() const { return sizes_after_; }
    const MeshLocator& target() const { return target_; }

  private:
    Document& doc_;
    MeshLocator target_;
    std::string label_;
    Mesh before_;
    Mesh after_;
    MeshTableSizes sizes_after_;
    bool changed_ = false;
    bool found_ = true;
};

struct FaceRepaint {
    FaceId face = kInvalidId;
    std::uint32_t old_material = 0;
    std::uint32_t new_material = 0;
};

// Face material changes within one mesh.
struct MeshRepaint {
    MeshLocator mesh;
    std::vector<FaceRepaint> faces;
};

struct NodeRepaint {
    SceneNode* node = nullptr;
    std::int32_t old_material = -1;
    std::int32_t new_material = -1;
};

// Material reassignments of faces and node paints, old and new value of each. redo() writes
// the new values, undo() the old ones; faces out of range and nodes no longer in the tree are
// skipped.
class MaterialRepaintStep : public Command {
  public:
    MaterialRepaintStep(Document& doc, std::string label, std::vector<MeshRepaint> meshes,
                        std::vector<NodeRepaint> nodes);

    std::string name() const override { return label_; }
    void redo() override { apply(true); }
    void undo() override { apply(false); }
    // True when no entry changes a value.
    bool is_noop() const override { return noop_; }

  private:
    void apply(bool forward);

    Document& doc_;
    std::string label_;
    std::vector<MeshRepaint> meshes_;
    std::vector<NodeRepaint> nodes_;
    bool noop_ = true;
};

// One definition's display name before and after.
struct DefinitionRename {
    std::string id;
    std::string old_name;
    std::string new_name;
};

// Display-name changes of definitions made by a clean-up; definitions that are gone are
// skipped.
class RenameDefsStep : public Command {
  public:
    RenameDefsStep(Document& doc, std::vector<DefinitionRename> renames);

    std::string name() const override { return "Cleanup Model"; }
    void redo() override { apply(true); }
    void undo() override { apply(false); }
    bool is_noop() const override { return noop_; }

  private:
    void apply(bool forward);

    Document& doc_;
    std::vector<DefinitionRename> renames_;
    bool noop_ = true;
};

}  // namespace korvan
