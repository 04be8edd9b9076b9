#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/ids.h"
#include "core/mesh_annotations.h"
#include "core/vec3.h"

// Where the automatic dimensioning tools put their dimensions, and how associative
// dimensions follow the faces they measure.
//
// Every dimension made here keeps the measured points in a and b, the measured length in
// value, and the offset from the measured points to the drawn dimension line in direction
// (perpendicular to a-b; its length is the offset). A chain dimension is associative: each
// end is anchored to the face the ray crossed there (anchor kind face, the face's id).

namespace korvan {

class Mesh;

// One place where a segment passes through faces. Faces met at the same point (a shared
// edge, coincident faces) make one crossing; `face` is the lowest of their ids.
struct RayCrossing {
    float t = 0.0f;  // along the segment, 0 at its start and 1 at its end
    Vec3 point;
    FaceId face = kInvalidId;
};

// The places where the segment from a to b passes through alive faces, in order from a.
// Candidates come from the mesh's spatial index (boxes overlapping the segment's box); a
// face counts when the segment meets its plane at a point inside its ring or on its
// outline. A segment lying in a face's plane does not cross it. Empty for a == b.
std::vector<RayCrossing> segment_face_crossings(Mesh& mesh, const Vec3& a, const Vec3& b);

// The label a dimension shows: the length with six significant digits and " m".
std::string dimension_label(float metres);

struct ChainPlan {
    std::vector<RayCrossing> crossings;
    std::vector<Dimension> dimensions;  // the gaps in ray order, then the overall one
};

// Dimensions every gap between consecutive crossings of the segment a-b, each anchored to
// the two faces at its ends, drawn `offset` to the side of the ray. The overall dimension,
// first crossing to last, is added one row further out when there are two gaps or more
// and `overall` is set (with a single gap it would repeat that gap).
ChainPlan plan_chain_dimensions(Mesh& mesh, const Vec3& a, const Vec3& b, float offset,
                                bool overall);

struct AutoDimPlan {
    std::uint64_t faces = 0;  // alive faces looked at
    std::uint32_t rows = 0;
    std::vector<Dimension> dimensions;
};

// One dimension per distinct extent of the alive faces along `axis` (faces whose extent is
// shorter than 1e-6 are left out; equal extents are dimensioned once), packed into rows in
// which no two dimensions overlap (touching ends are allowed). The rows run in front of the
// model, `offset` beyond its outline for the first and `pitch` further for each next one.
// No dimensions for a zero axis.
AutoDimPlan plan_auto_dimensions(const Mesh& mesh, const Vec3& axis, float offset, float pitch);

struct ReanchorReport {
    std::uint64_t dims = 0;
    std::uint64_t associative = 0;  // with at least one anchor
    std::uint64_t stale = 0;        // an anchored end left its face's plane, or the length changed
    std::uint64_t dangling = 0;     // an end anchored to a face that is gone or has no plane
    std::uint64_t reanchored = 0;   // stale dimensions re-derived (only with fix)
};

// Checks the mesh's associative dimensions against the faces they are anchored to. With
// `fix`, each stale one that is not dangling is re-derived: every face-anchored end moves
// along the dimension's own measuring line to where that line meets the face's plane now,
// and the value and label are measured again. A measuring line parallel to an anchor's
// plane cannot be re-derived and stays stale.
ReanchorReport reanchor_dimensions(Mesh& mesh, bool fix);

}  // namespace korvan
