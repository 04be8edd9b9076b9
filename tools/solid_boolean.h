#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/mesh.h"
#include "document/commands/mesh_edit_commands.h"

// The solid-boolean front shared by the verb and the desktop solid tools: the operation, the
// engine that computes it, and the undoable command.

namespace korvan {

enum class BooleanOp : std::uint8_t { kUnion = 0, kSubtract = 1, kIntersect = 2 };

// "union", "subtract", "intersect".
const char* boolean_op_name(BooleanOp op);
// Exact match of one of the three names; nothing otherwise ("Union" included).
std::optional<BooleanOp> parse_boolean_op(std::string_view text);

// The result of (target op tool) on two closed solids.
std::optional<Mesh> solid_boolean(BooleanOp op, const Mesh& target, const Mesh& tool);

// Replaces the located mesh by (mesh op tool). Refuses, leaving the mesh as it was, when
// there is no answer or the result has no face. "Solid Union", "Solid Subtract" or
// "Solid Intersect".
class SolidBooleanCommand : public MeshSnapshotCommand {
  public:
    SolidBooleanCommand(Document& doc, MeshLocator target, Mesh tool, BooleanOp op)
        : MeshSnapshotCommand(doc, std::move(target)), tool_(std::move(tool)), op_(op) {}

    enum class Status : std::uint8_t { kNotRun, kApplied, kEmpty, kNoAnswer };

    std::string name() const override;
    Status status() const { return status_; }

  private:
    void apply(Mesh& mesh) override;

    Mesh tool_;
    BooleanOp op_;
    Status status_ = Status::kNotRun;
};

}  // namespace korvan
