#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "core/box.h"
#include "core/ids.h"
#include "core/vec3.h"

// Two-level bounding-volume hierarchy over a Mesh's alive vertices, edges and faces. The
// bottom level is one chunk per 1024-element block of each table, each with its own
// hierarchy; the top level is a hierarchy over the chunk boxes. Chunks are immutable and
// shared: a new index takes over every chunk of the previous one whose block, and the blocks
// it read to build it, kept their hashes, so a local edit rebuilds a few chunks and the top
// level only. Get one through Mesh::spatial_index; it stays valid (and unchanged) while the
// mesh goes on being edited.
//
// Queries return candidates by box; callers test the exact geometry themselves. Results are
// sorted ascending with each id once.

namespace korvan {

class Mesh;
struct MeshBlockHashes;

class MeshSpatialIndex {
public:
    // 32 bytes. A count of 0 marks an interior node whose children are the nodes at index and
    // index + 1; otherwise a leaf over `count` entries of the leaf list from `index`.
    struct Node {
        Vec3 min;
        Vec3 max;
        std::uint32_t index = 0;
        std::uint32_t count = 0;
    };
    static_assert(sizeof(Node) == 32);

    // Median-split hierarchy over a list of item boxes.
    struct Hierarchy {
        std::vector<Node> nodes;                // root first; empty over no items
        std::vector<std::uint32_t> leaf_items;  // item numbers, in leaf order

        // Splits at the median centre along the axis of widest centre spread, down to leaves
        // of at most four items.
        void build(std::span<const Aabb> boxes);
        // The root box; empty when there are no items.
        Aabb bounds() const;
    };

    struct VertexChunk {
        Aabb box;
        Hierarchy hierarchy;        // items index ids/positions
        std::vector<VertexId> ids;  // the block's alive vertices, ascending
        std::vector<Vec3> positions;
    };

    struct EdgeChunk {
        Aabb box;
        Hierarchy hierarchy;      // items index ids
        std::vector<EdgeId> ids;  // alive edges whose ends resolve, ascending
        std::vector<Vec3> ends;   // two per edge: its half-edge's origin, then the twin's
        // Blocks (id / 1024) of the vertices and half-edges the chunk was built from.
        std::vector<std::uint32_t> vertex_blocks;
        std::vector<std::uint32_t> half_edge_blocks;
    };

    struct FaceChunk {
        Aabb face_box;            // root box of the hierarchy
        Aabb wide_box;            // face_box grown by the side-listed faces' centres and rings
        Hierarchy hierarchy;      // items are face numbers within the chunk (rings of 3 or more)
        std::vector<FaceId> ids;  // alive faces with a whole ring, ascending
        // Face i's ring is ring_vertices/ring_positions [ring_offsets[i], ring_offsets[i + 1]).
        std::vector<std::uint32_t> ring_offsets;
        std::vector<VertexId> ring_vertices;
        std::vector<Vec3> ring_positions;
        std::vector<Vec3> centres;              // mean of the ring positions
        std::vector<Aabb> boxes;                // box of the ring positions
        std::vector<Vec3> normals;              // the faces' stored normals
        std::vector<std::uint8_t> has_plane;    // ring of 3 or more and a non-degenerate normal
        std::vector<std::uint32_t> side_faces;  // face numbers with rings of 1 or 2 vertices
        // Greatest distance of a ring vertex from its own face's plane (through the centre,
        // along the stored normal), over the faces with a plane.
        float plane_deviation = 0.0f;
        std::vector<std::uint32_t> vertex_blocks;
        std::vector<std::uint32_t> half_edge_blocks;
        // False when a corrupt ring was cut short at a length that depends on the table size;
        // such a chunk is never carried over.
        bool reusable = true;
    };

    // A hierarchy over chunk boxes; `chunks` maps its items back to chunk numbers. Chunks with
    // an empty box are left out.
    struct TopLevel {
        Hierarchy hierarchy;
        std::vector<std::uint32_t> chunks;
    };

    // Builds the index of `mesh` as described by `hashes` (which must be the mesh's current
    // hashes), taking over the chunks of `previous` (may be null) that are still valid.
    static std::shared_ptr<const MeshSpatialIndex> build(
        const Mesh& mesh, std::shared_ptr<const MeshBlockHashes> hashes,
        const MeshSpatialIndex* previous);

    // The mesh revision and the hashes the index was built from.
    std::uint64_t revision() const { return revision_; }
    const std::shared_ptr<const MeshBlockHashes>& block_hashes() const { return hashes_; }

    std::span<const std::shared_ptr<const VertexChunk>> vertex_chunks() const {
        return vertex_chunks_;
    }
    std::span<const std::shared_ptr<const EdgeChunk>> edge_chunks() const { return edge_chunks_; }
    std::span<const std::shared_ptr<const FaceChunk>> face_chunks() const { return face_chunks_; }
    const TopLevel& vertex_top() const { return vertex_top_; }
    const TopLevel& edge_top() const { return edge_top_; }
    const TopLevel& face_top() const { return face_top_; }
    const TopLevel& face_wide_top() const { return face_wide_top_; }
    // Greatest plane deviation over all face chunks; 0 when there are none.
    float plane_deviation() const { return plane_deviation_; }

    // Elements whose box overlaps the query box (closed on every side); nothing for an empty
    // box. A vertex's box is its position, an edge's the box of its ends, a face's the box of
    // its ring.
    std::vector<VertexId> vertices_in_box(const Aabb& box) const;
    std::vector<EdgeId> edges_in_box(const Aabb& box) const;
    std::vector<FaceId> faces_in_box(const Aabb& box) const;

    // Vertices and edges (as segments) within `distance` of the point; nothing for a negative
    // or NaN distance.
    std::vector<VertexId> vertices_near(const Vec3& point, float distance) const;
    std::vector<EdgeId> edges_near(const Vec3& point, float distance) const;
    // Candidate faces within `distance` of the point: the face's box is within that distance
    // and, for a face with a plane, so is its plane once widened by its chunk's plane
    // deviation. Every face whose ring polygon comes that close is among them.
    std::vector<FaceId> faces_near(const Vec3& point, float distance) const;
    // The closest vertex no further than max_distance; the lower id on a tie.
    std::optional<VertexId> nearest_vertex(const Vec3& point, float max_distance) const;

    // Faces whose ring uses any of the given alive vertices (found by position, then checked
    // by id). Dead, invalid and repeated vertex ids are ignored.
    std::vector<FaceId> faces_using_vertices(std::span<const VertexId> vertices) const;

private:
    std::shared_ptr<const MeshBlockHashes> hashes_;
    std::uint64_t revision_ = 0;
    std::vector<std::shared_ptr<const VertexChunk>> vertex_chunks_;
    std::vector<std::shared_ptr<const EdgeChunk>> edge_chunks_;
    std::vector<std::shared_ptr<const FaceChunk>> face_chunks_;
    TopLevel vertex_top_;
    TopLevel edge_top_;
    TopLevel face_top_;
    TopLevel face_wide_top_;
    bool has_side_faces_ = false;
    float plane_deviation_ = 0.0f;
};

}  // namespace korvan
