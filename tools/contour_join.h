#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/mesh_annotations.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"

// Repairs what a digitiser leaves in a contour set: repeated points, open contours whose
// ends should meet, loops left open and inconsistent winding.

namespace korvan {

class Document;

struct ContourJoinOptions {
    float join_tolerance = 0.5f;        // plan distance two ends may be apart and still join
    float elevation_tolerance = 0.01f;  // z step a join may bridge
    float duplicate_distance = 1e-4f;   // 3D distance under which a point repeats its predecessor
    float spread_limit = 0.5f;          // how far from level one contour may be
    std::uint64_t pair_budget = 4000000;
};

struct ContourJoinResult {
    bool ok = true;
    const char* message = "";
    int blame_contour = -1;
    std::uint64_t contours = 0, open_contours = 0, ends = 0, joined = 0, loops_closed = 0;
    std::uint64_t left_open = 0, no_partner = 0, contested = 0, elevation_mismatch = 0,
                  degenerate_loop = 0;
    std::uint64_t ambiguous_ends = 0, duplicate_points_dropped = 0, rewound = 0;
    double worst_join_gap = 0.0, worst_join_elevation_step = 0.0;
    double worst_rejected_elevation_step = 0.0, worst_elevation_spread = 0.0;
    bool changed = false;
};

// The repaired curve table for `curves` (alive curves are the contours; consumed contours are
// erased in place) and the counters; on a refusal `repaired` is left empty.
ContourJoinResult join_contour_ends(std::span<const Curve> curves, const ContourJoinOptions& options,
                                    std::vector<Curve>& repaired);

// join_contour_ends on a document mesh's curve table. "Join Contours".
class JoinContourEndsCommand : public Command {
  public:
    JoinContourEndsCommand(Document& doc, MeshLocator target, ContourJoinOptions options);

    std::string name() const override { return "Join Contours"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !applied_; }

    const ContourJoinResult& result() const { return result_; }

  private:
    Document& doc_;
    MeshLocator target_;
    ContourJoinOptions options_;
    ContourJoinResult result_;
    std::vector<Curve> before_;
    bool applied_ = false;
};

}  // namespace korvan
