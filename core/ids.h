#pragma once

#include <cstdint>

namespace korvan {

// Indices into the four element tables of a Mesh. Ids are never reused while the mesh lives:
// a retired element keeps its slot with its alive flag cleared.
using VertexId = std::uint32_t;
using HalfEdgeId = std::uint32_t;
using EdgeId = std::uint32_t;
using FaceId = std::uint32_t;

inline constexpr std::uint32_t kInvalidId = 0xFFFFFFFFu;
inline constexpr std::uint32_t kInvalidLayer = 0xFFFFFFFFu;

}  // namespace korvan
