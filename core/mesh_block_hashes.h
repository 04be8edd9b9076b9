#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/mesh_elements.h"

// Content hashes of a Mesh's element tables, one per block of 1024 elements. A refresh
// rehashes only the blocks whose change stamps moved since the last one, so comparing two
// generations tells derived data (the spatial index) which blocks it must rebuild. Handed out
// by Mesh::block_hashes as an immutable shared snapshot.

namespace korvan {

struct MeshBlockHashes {
    static constexpr std::uint32_t kBlockShift = 10;
    static constexpr std::uint32_t kBlockSize = 1u << kBlockShift;

    // One hash per block of each table; the last block may be shorter.
    std::vector<std::uint64_t> vertices;
    std::vector<std::uint64_t> half_edges;
    std::vector<std::uint64_t> edges;
    std::vector<std::uint64_t> faces;
    // The mesh revision the hashes were taken at.
    std::uint64_t revision = 0;
};

// Bytes each record contributes: its fields in declaration order at their in-memory offsets,
// padding written as zero so equal records always hash alike.
inline constexpr std::size_t kVertexRecordBytes = 16;
inline constexpr std::size_t kHalfEdgeRecordBytes = 28;
inline constexpr std::size_t kEdgeRecordBytes = 8;
inline constexpr std::size_t kFaceRecordBytes = 36;

// The four-lane multiplicative hash of a byte range.
std::uint64_t block_hash(std::span<const std::byte> bytes);

// Hash of the given records laid out as above (one block or any other run of records).
std::uint64_t hash_records(std::span<const Vertex> records);
std::uint64_t hash_records(std::span<const HalfEdge> records);
std::uint64_t hash_records(std::span<const Edge> records);
std::uint64_t hash_records(std::span<const Face> records);

}  // namespace korvan
