#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/ids.h"
#include "core/mesh.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"
#include "tools/contour_check.h"

// Terraced ground from contours: each selected horizontal face is pushed straight up to the
// level of the innermost closed contour around it.

namespace korvan {

class Document;
class Mesh;

struct TerrainExtrudeOptions {
    float horizontal_tolerance = 0.001f;  // largest z range over a ring that still counts as flat
    float minimum_rise = 0.001f;          // rises at or below this leave a face already at level
    float area_epsilon = 1e-9f;
    float sample_inset = 0.9f;  // fraction of the way from the centroid to each corner
    bool run_gate = true;
    ContourCheckOptions check;
    bool link_afterwards = true;
    bool override_material = false;
    std::uint32_t material = 0;
    bool override_layer = false;
    std::uint32_t layer = 0;
};

struct TerrainExtrudeResult {
    bool ok = true;
    const char* message = "";
    ContourCheckResult gate;
    bool gate_ran = false;
    bool gate_refused = false;  // the message and blame are the gate's
    std::uint64_t contours = 0, faces_in = 0, extruded = 0;
    std::uint64_t invalid = 0, not_horizontal = 0, degenerate = 0, off_face = 0, uncovered = 0,
                  already_at_level = 0, contour_below = 0;
    std::uint64_t samples_off_face = 0, spanning = 0, ambiguous = 0, open_contours_ignored = 0,
                  rewound = 0, linked = 0;
    std::uint64_t levels = 0;
    double lowest = 0.0, highest = 0.0;
    double plateau_area = 0.0, volume = 0.0;
    std::uint64_t faces = 0;
};

// Runs the extrusion on the mesh, whose alive curves are the contours. A refusal leaves the
// mesh as it was; so does a run in which no face could be extruded.
TerrainExtrudeResult extrude_up_to_contours(Mesh& mesh, std::span<const FaceId> faces,
                                            const TerrainExtrudeOptions& options = {});

// extrude_up_to_contours on a document mesh. "Extrude Up to Contours". Undo puts back a copy
// of the mesh: the new walls may open layers, which a block journal does not cover.
class ExtrudeUpToContoursCommand : public Command {
  public:
    ExtrudeUpToContoursCommand(Document& doc, MeshLocator target, std::vector<FaceId> faces,
                               TerrainExtrudeOptions options = {});

    std::string name() const override { return "Extrude Up to Contours"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !changed_; }

    const TerrainExtrudeResult& result() const { return result_; }

  private:
    Document& doc_;
    MeshLocator target_;
    std::vector<FaceId> faces_;
    TerrainExtrudeOptions options_;
    TerrainExtrudeResult result_;
    std::unique_ptr<Mesh> before_;
    bool changed_ = false;
};

}  // namespace korvan
