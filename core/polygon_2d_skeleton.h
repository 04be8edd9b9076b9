#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/planar_ring.h"

// The straight skeleton of a simple plan polygon: the trace of its corners while every side
// moves inwards at unit speed. Lifted by the tangent of a pitch it is the exact hip roof;
// cut at a distance it is the true inward offset of a concave plan.

namespace korvan {

struct SkeletonOptions {
    double time_tolerance = 1e-6;    // events this close in time are resolved as one batch
    double merge_tolerance = 1e-5;   // wavefront points this close are one skeleton node
    std::uint64_t max_events = 100000;
};

struct SkeletonNode {
    Point2 position;
    double time = 0.0;  // the inset distance at which the wavefront passed here
};

// A skeleton segment between two nodes; the faces of the two polygon sides it separates.
struct SkeletonArc {
    std::uint32_t a = 0;
    std::uint32_t b = 0;
    std::uint32_t side_a = 0;
    std::uint32_t side_b = 0;
};

// The region one polygon side sweeps: its nodes counter-clockwise, starting with the side's
// own corners (nodes `side` and `side` + 1).
struct SkeletonFace {
    std::uint32_t side = 0;
    std::vector<std::uint32_t> nodes;
};

struct StraightSkeleton {
    bool ok = false;
    const char* error = "";  // static text; empty when ok
    std::vector<SkeletonNode> nodes;  // the polygon's corners first, in order, at time 0
    std::vector<SkeletonArc> arcs;
    std::vector<SkeletonFace> faces;  // one per polygon side, side i from corner i to i + 1
    std::uint64_t edge_events = 0;
    std::uint64_t split_events = 0;
    double max_time = 0.0;  // the inset at which the last of the wavefront vanished
};

// Skeleton of a simple counter-clockwise polygon without repeated consecutive corners;
// degenerate or self-intersecting input ends with a named error, never a loop.
StraightSkeleton straight_skeleton(std::span<const Point2> polygon,
                                   const SkeletonOptions& options = {});

}  // namespace korvan
