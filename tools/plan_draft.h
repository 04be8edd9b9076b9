#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "tools/plan.h"

// Drawing in a plan view: the cached plan of the storey, a snap engine over its lines and the
// storey's work plane that a click lands on, whatever geometry is in the way.

namespace korvan::plan {

// The storey a plan view shows: its floor level and the section's height above it.
struct PlanWorkPlane {
    float base_z = 0.0f;
    float cut_height = 1.2f;
    float section_height() const { return base_z + cut_height; }
    // Where a ray meets z = base_z; nothing when it runs parallel or the point is not finite.
    std::optional<Vec3> hit(const Vec3& origin, const Vec3& direction) const;
};

enum class SnapKind : std::uint8_t { kNone, kEndpoint, kIntersection, kMidpoint, kOnLine };
const char* snap_kind_name(SnapKind kind);
int snap_priority(SnapKind kind);

struct SnapCandidate {
    SnapKind kind = SnapKind::kNone;
    Point2 point;
    double distance = 0.0;
    double t = 0.0;  // along line_a
    bool held = false;
    bool extended = false;
    std::string label;
    std::uint32_t line_a = kNoFace, line_b = kNoFace;  // indices into the engine's lines
};

struct SnapSettings {
    bool endpoint = true, midpoint = true, intersection = true, on_line = true;
    bool holding = true;
    double extension = 0.0;      // how far past a line's end an intersection may lie
    double min_sine = 0.0349;    // lines closer to parallel do not intersect
    double hold_distance = 1e-4;  // <= 0 means 1e-4
};

class PlanSnapEngine {
  public:
    void rebuild(const std::vector<PlanLine>& lines);
    SnapCandidate query(Point2 cursor, double radius);
    // The snap a click committed; a later candidate of its kind near it holds on longer.
    void commit(const SnapCandidate& snap) { committed_ = snap; }

    SnapSettings settings;
    const std::vector<PlanLine>& lines() const { return lines_; }
    std::size_t segment_count() const { return segments_.size(); }
    std::size_t point_sample_count() const { return samples_.size(); }
    std::size_t degenerate_lines() const { return degenerate_; }
    std::uint64_t pairs_tested() const { return pairs_tested_; }

  private:
    struct Sample {
        Point2 p;
        SnapKind kind;
        double t;
        std::uint32_t line;
    };
    double radius_for(const SnapCandidate& c, double base) const;
    std::vector<PlanLine> lines_;
    std::vector<std::uint32_t> segments_;  // line indices of the lines long enough to snap to
    std::vector<Sample> samples_;
    std::size_t degenerate_ = 0;
    std::uint64_t pairs_tested_ = 0;
    SnapCandidate committed_;
};

// The plan of a view, rebuilt only when the mesh's geometry changed.
class PlanCache {
  public:
    explicit PlanCache(PlanSettings settings) : settings_(settings) {}
    void sync(const Mesh& mesh);
    const PlanResult& plan() const { return plan_; }
    PlanSnapEngine& snaps() { return snaps_; }
    std::uint64_t refreshes = 0, rebuilds = 0;

  private:
    PlanSettings settings_;
    PlanResult plan_;
    PlanSnapEngine snaps_;
    std::uint64_t hash_ = 0;
    bool valid_ = false;
};

// metres per pixel times pixels, clamped to [0.001, 0.5] metres of plan.
struct SnapRadius {
    double metres = 0.0;
    bool clamped = false;
};
SnapRadius plan_snap_radius(double metres_per_pixel, double pixels);

// The first face a ray straight down through (x, y) meets, from above the mesh.
struct DownPick {
    FaceId face = kInvalidId;
    double z = 0.0;
};
std::optional<DownPick> pick_straight_down(const Mesh& mesh, double x, double y);

}  // namespace korvan::plan

namespace korvan::plan {

// One orthographic elevation: the faces turned towards a viewer looking along `look`
// (horizontal), projected onto the vertical picture plane.
struct Elevation {
    const char* name = "";
    Vec3 look;
    std::uint64_t faces = 0;  // facing the viewer
    std::uint64_t edges = 0;  // sides of those faces, longer than 1e-4 in the picture
    double width = 0.0, height = 0.0;  // of the picture's box, metres
    double area = 0.0;                 // projected area of the facing faces, m2
};

// The drawing set of a piece of geometry: front (looking +y), right (-x), back (-y) and
// left (+x) elevations and the plan cut 1.2 m above its lowest point, or halfway up a piece
// lower than 2.4 m.
struct OrthoSet {
    bool empty = true;
    Vec3 lo, hi;
    Elevation elevations[4];
    PlanResult plan;
};
OrthoSet build_ortho_set(const Mesh& mesh);

}  // namespace korvan::plan
