#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/box.h"
#include "core/mat4.h"
#include "core/mesh.h"
#include "document/commands/command.h"
#include "document/document.h"

// Commands over a selection of nodes: aligning, renaming in bulk and isolating. Each one
// validates the whole selection before it touches anything, so a refusal leaves every node
// as it was.

namespace korvan {

enum class NodeAlignMode : std::uint8_t { kMin, kCentre, kMax, kDistribute };

// Moves the nodes so that their world boxes line up on one axis (0 x, 1 y, 2 z): their
// minima, centres or maxima on the selection's box, or, for kDistribute, their centres
// evenly spaced between the lowest and the highest centre, which stay put. Refuses the
// whole selection when it has fewer than two nodes, holds the root, a node outside the
// tree, a node inside another selected node (it would move twice), a node with no
// geometry to measure, or a node under a parent that cannot be inverted.
// "Align x" ... or "Distribute x" ...
class AlignNodesCommand : public Command {
  public:
    AlignNodesCommand(Document& doc, std::vector<SceneNode*> nodes, int axis, NodeAlignMode mode)
        : doc_(doc), nodes_(std::move(nodes)), axis_(axis), mode_(mode) {}

    std::string name() const override;
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    const char* refusal() const { return refusal_; }
    // Nodes whose transform the edit changed.
    std::uint64_t moved() const { return moved_; }
    // The world coordinate the boxes were brought to (kDistribute: the first centre).
    double target() const { return target_; }

  private:
    Document& doc_;
    std::vector<SceneNode*> nodes_;
    int axis_;
    NodeAlignMode mode_;
    std::vector<std::pair<Mat4, Mat4>> transforms_;  // before, after; per node
    const char* refusal_ = "";
    std::uint64_t moved_ = 0;
    double target_ = 0.0;
    bool has_after_ = false;
    bool applied_ = false;
    bool changed_ = false;
};

// World box of the node's subtree geometry (hidden parts included; instances measure their
// definition's mesh). Empty when nothing in it has a vertex or the node is not in the tree.
Aabb node_world_box(const Document& doc, const SceneNode* node);

// How batch renaming forms the new names: every occurrence of `find` becomes `replace`
// (when has_find), then `pattern`, when not empty, is expanded in one pass with {name} (the
// name after the replacement), {n} (start + i * step, zero-padded to `pad` digits) and {i}
// (the 0-based position in the batch).
struct BatchRenameRule {
    bool has_find = false;
    std::string find;
    std::string replace;
    std::string pattern;
    std::int32_t start = 1;
    std::int32_t step = 1;
    std::int32_t pad = 0;
    bool strict = false;  // refuse the whole batch on a name collision
};

struct BatchRenamePlan {
    std::vector<std::string> old_names;
    std::vector<std::string> new_names;
    std::uint64_t changed = 0;  // nodes whose name differs
    // Changed names that another node of the tree would carry too after the renaming.
    std::uint64_t collisions = 0;
};

// The names the rule gives the nodes, in their order; changes nothing.
BatchRenamePlan plan_batch_rename(const Document& doc, const std::vector<SceneNode*>& nodes,
                                  const BatchRenameRule& rule);

// Renames the nodes as plan_batch_rename says; a strict rule refuses the whole batch when a
// new name collides. "Rename".
class BatchRenameCommand : public Command {
  public:
    BatchRenameCommand(Document& doc, std::vector<SceneNode*> nodes, BatchRenameRule rule)
        : doc_(doc), nodes_(std::move(nodes)), rule_(std::move(rule)) {}

    std::string name() const override { return "Rename"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    const char* refusal() const { return refusal_; }
    // The plan of the first redo().
    const BatchRenamePlan& plan() const { return plan_; }

  private:
    Document& doc_;
    std::vector<SceneNode*> nodes_;
    BatchRenameRule rule_;
    BatchRenamePlan plan_;
    const char* refusal_ = "";
    bool planned_ = false;
    bool applied_ = false;
    bool changed_ = false;
};

// Hides every node that is neither kept, nor under a kept node, nor an ancestor of one;
// without keep_loose the root's loose faces are hidden as well. Only hides: nodes already
// hidden stay hidden, and nothing hidden is shown. Refuses an empty selection and nodes
// outside the tree. "Isolate".
class IsolateSelectionCommand : public Command {
  public:
    IsolateSelectionCommand(Document& doc, std::vector<SceneNode*> keep, bool keep_loose)
        : doc_(doc), keep_(std::move(keep)), keep_loose_(keep_loose) {}

    std::string name() const override { return "Isolate"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    const char* refusal() const { return refusal_; }
    std::uint64_t hidden_nodes() const { return hidden_nodes_.size(); }
    std::uint64_t hidden_faces() const { return hidden_faces_.size(); }

  private:
    Document& doc_;
    std::vector<SceneNode*> keep_;
    bool keep_loose_;
    std::vector<SceneNode*> hidden_nodes_;
    std::vector<FaceId> hidden_faces_;  // of the root mesh
    const char* refusal_ = "";
    bool planned_ = false;
    bool applied_ = false;
    bool changed_ = false;
};

}  // namespace korvan
