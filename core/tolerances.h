#pragma once

// The kernel's fixed tolerances. Lengths are metres of model space; squared values are
// compared against squared lengths so callers never take a square root to decide.

namespace korvan {

inline constexpr float kWeldTolerance = 1e-4f;
inline constexpr float kPointOnPlaneTolerance = 1e-4f;
inline constexpr float kCoplanarNormalDot = 0.999f;
// A face normal, rotation axis or extrusion vector shorter than this (squared) has no direction.
inline constexpr double kDegenerateNormalSq = 1e-12;
// Looser cut-off for directions the user types in (facing queries, plane normals).
inline constexpr double kDegenerateDirectionSq = 1e-16;
inline constexpr float kMinCreationSize = 1e-4f;
// Selection moves report only the vertices that moved further than this.
inline constexpr float kMovedVertexThreshold = 1e-6f;
inline constexpr float kFacingConeDeg = 5.0f;

// Push/pull softens the side-wall edge between two walls that turn by less than 20 degrees,
// or, on rings of at least kSmoothRingMinVertices, by less than kSmoothMaxTurnDeg when the mean
// of the kSmoothMeanWindow turns around it stays below kSmoothMeanTurnDeg: a pulled circle
// comes out smooth while a pulled box keeps its hard corners.
inline constexpr float kSmoothTurnCos = 0.9396926f;
inline constexpr float kSmoothMaxTurnDeg = 40.0f;
inline constexpr float kSmoothMeanTurnDeg = 20.0f;
inline constexpr int kSmoothMeanWindow = 5;
inline constexpr int kSmoothRingMinVertices = 12;

inline constexpr float kFullTurn = 6.2831855f;
inline constexpr float kDegToRad = 0.017453292f;
inline constexpr float kRadToDeg = 57.29578f;

}  // namespace korvan
