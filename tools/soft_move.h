#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/ids.h"
#include "core/mesh.h"
#include "core/vec3.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"

// Soft move: handle vertices move by a vector and drag their neighbourhood with them, each
// vertex weighted by its distance to the nearest handle. Measured along the mesh's edges
// (the default) a drag cannot dent through a thin wall into geometry that is near in space
// but far across the surface; measured in a straight line it can.

namespace korvan {

class Document;
class MeshSpatialIndex;

enum class SoftMoveCurve : std::uint8_t { kLinear = 0, kSmooth = 1, kSharp = 2, kConstant = 3 };
enum class SoftMoveMetric : std::uint8_t { kSurface = 0, kSpace = 1 };

struct SoftMoveOptions {
    float radius = 1.0f;  // metres
    SoftMoveCurve curve = SoftMoveCurve::kSmooth;
    SoftMoveMetric metric = SoftMoveMetric::kSurface;
    // Unreached vertices this close to a reached one are an unwelded seam the drag would open.
    float weld_tolerance = kWeldTolerance;
    float move_epsilon = 1e-9f;  // a vertex moved less than this does not count as moved
};

// Weight of a vertex at distance d inside radius r under the curve (t = 1 - d/r): linear t,
// smooth s^2 (3 - 2s) with s = t clamped to [0, 1], sharp t^2, constant 1.
float soft_move_weight(SoftMoveCurve curve, float distance, float radius);

struct SoftInfluence {
    VertexId vertex = kInvalidId;
    float distance = 0.0f;
    float weight = 0.0f;
};

struct SoftMoveField {
    bool ok = true;
    const char* message = "";  // static text; empty when ok
    std::vector<SoftInfluence> influenced;  // ascending by vertex id
    std::uint64_t handles = 0;              // alive handles with finite positions, each once
    // The part of the edge graph the surface search explored; 0 under the space metric.
    std::uint64_t graph_vertices = 0;
    std::uint64_t graph_edges = 0;
    // Inside the radius in a straight line but not across the surface.
    std::uint64_t space_only = 0;
    // Unreached vertices within the weld tolerance of one that was reached.
    std::uint64_t coincident_unreached = 0;
    float max_distance = 0.0f;  // over the influenced vertices
};

// Weights every vertex within the radius of the handles. `index` is the mesh's current
// spatial index: the surface metric walks the edges it finds there and refuses without it
// ("the surface metric needs a vertex graph"); the space metric scans every vertex without
// it. Other refusals: a radius or weld tolerance that is not finite and positive, a negative
// or non-finite move epsilon, no handle given, no alive handle. Work follows the vertices
// within the radius, not the size of the mesh.
SoftMoveField soft_move_field(const Mesh& mesh, const MeshSpatialIndex* index,
                              std::span<const VertexId> handles, const SoftMoveOptions& options);

// Moves every influenced vertex by weight x delta (SoftMoveVerticesCommand, "Soft Move").
// Only the vertex positions and the normals of the faces using them change, under a change
// journal, so undo writes back just those blocks. A refused field, a zero delta or a drag
// that moves nothing by more than the move epsilon is a no-op.
class SoftMoveVerticesCommand final : public Command {
  public:
    SoftMoveVerticesCommand(Document& doc, MeshLocator target, std::vector<VertexId> handles,
                            const Vec3& delta, const SoftMoveOptions& options);

    std::string name() const override { return "Soft Move"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !applied_; }

    const SoftMoveField& field() const { return field_; }
    std::uint64_t moved() const { return moved_; }
    float max_move() const { return max_move_; }
    float total_move() const { return total_move_; }
    // Largest handle distance among the vertices that moved.
    float farthest_moved() const { return farthest_moved_; }

  private:
    Document& doc_;
    MeshLocator target_;
    std::vector<VertexId> handles_;
    Vec3 delta_;
    SoftMoveOptions options_;
    std::unique_ptr<MeshJournal> journal_;
    SoftMoveField field_;
    std::uint64_t moved_ = 0;
    float max_move_ = 0.0f;
    float total_move_ = 0.0f;
    float farthest_moved_ = 0.0f;
    bool applied_ = false;
};

}  // namespace korvan
