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
// Binary space partitioning (the default), or exact corefinement.
enum class BooleanEngine : std::uint8_t { kBsp = 0, kExact = 1 };

// "union", "subtract", "intersect".
const char* boolean_op_name(BooleanOp op);
// Exact match of one of the three names; nothing otherwise ("Union" included).
std::optional<BooleanOp> parse_boolean_op(std::string_view text);

// "bsp", "exact".
const char* boolean_engine_name(BooleanEngine engine);

// The result of (target op tool) on two closed solids with the chosen engine. The exact
// engine gives nothing for operands it cannot read as closed two-manifold surfaces, or for a
// result it cannot build as one.
std::optional<Mesh> solid_boolean(BooleanEngine engine, BooleanOp op, const Mesh& target,
                                  const Mesh& tool);

// Replaces the located mesh by (mesh op tool). Refuses, leaving the mesh as it was, when the
// engine gives no answer or the result has no face. "Solid Union", "Solid Subtract" or
// "Solid Intersect".
class SolidBooleanCommand : public MeshSnapshotCommand {
  public:
    SolidBooleanCommand(Document& doc, MeshLocator target, Mesh tool, BooleanOp op,
                        BooleanEngine engine = BooleanEngine::kBsp)
        : MeshSnapshotCommand(doc, std::move(target)),
          tool_(std::move(tool)),
          op_(op),
          engine_(engine) {}

    enum class Status : std::uint8_t { kNotRun, kApplied, kEmpty, kNoAnswer };

    std::string name() const override;
    Status status() const { return status_; }

  private:
    void apply(Mesh& mesh) override;

    Mesh tool_;
    BooleanOp op_;
    BooleanEngine engine_;
    Status status_ = Status::kNotRun;
};

}  // namespace korvan
