#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/vec3.h"
#include "document/commands/command.h"
#include "document/commands/node_commands.h"
#include "document/component_placer.h"
#include "document/document.h"

// Commands that place component instances.

namespace korvan {

// Places a door, window or other component through place_opening, adding the fallback
// definition when the id is not registered; undo removes the instance and any definition it
// added. "Place door", "Place window" or "Place component".
class PlaceOpeningCommand : public Command {
  public:
    PlaceOpeningCommand(Document& doc, PlacementRequest request)
        : doc_(doc), request_(std::move(request)) {}

    std::string name() const override;
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    // The first application's result; message holds the refusal.
    const PlacementResult& result() const { return result_; }

  private:
    Document& doc_;
    PlacementRequest request_;
    PlacementResult result_;
    PlacedNode placed_;
    std::optional<RemovedDefinition> held_definition_;
    bool applied_ = false;
    bool changed_ = false;
};

// `count` instances of a registered definition named "Array 1" ... "Array N", instance i
// (from 0) translated by step x i, appended to `parent` (the root when null). Refuses an
// unknown id and a count below 1. "Array".
class ArrayInstancesCommand : public Command {
  public:
    ArrayInstancesCommand(Document& doc, std::string definition_id, std::uint32_t count,
                          const Vec3& step, SceneNode* parent = nullptr);

    std::string name() const override { return "Array"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    const char* refusal() const { return refusal_; }
    // The instances in creation order; empty until the first redo() succeeds.
    std::vector<SceneNode*> instances() const;

  private:
    Document& doc_;
    std::string definition_id_;
    std::uint32_t count_;
    Vec3 step_;
    SceneNode* parent_;
    std::vector<PlacedNode> placed_;
    const char* refusal_ = "";
    bool applied_ = false;
    bool changed_ = false;
};

}  // namespace korvan
