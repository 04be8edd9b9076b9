#pragma once

#include <array>
#include <bit>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "core/box.h"
#include "core/change_tracking.h"
#include "core/element_table.h"
#include "core/ids.h"
#include "core/mat4.h"
#include "core/mesh_annotations.h"
#include "core/mesh_elements.h"
#include "core/modelling_reports.h"
#include "core/ring_snapshot.h"
#include "core/tolerances.h"
#include "core/vec3.h"

namespace korvan {

struct MeshBlockHashes;
class MeshSpatialIndex;

extern template class ElementTable<Vertex>;
extern template class ElementTable<HalfEdge>;
extern template class ElementTable<Edge>;
extern template class ElementTable<Face>;
extern template class TableJournal<Vertex>;
extern template class TableJournal<HalfEdge>;
extern template class TableJournal<Edge>;
extern template class TableJournal<Face>;
extern template class TableSnapshot<Vertex>;
extern template class TableSnapshot<HalfEdge>;
extern template class TableSnapshot<Edge>;
extern template class TableSnapshot<Face>;

// Default upper bound of faces_with_area_between: the float just below the largest finite one
// but two, so "no bound" survives a round trip through six-digit text.
inline constexpr float kMaxFaceArea = std::bit_cast<float>(0x7F7FFFFDu);

// One change journal per element table of a mesh; attach around an edit, restore to undo it.
struct MeshJournal {
    TableJournal<Vertex> vertices;
    TableJournal<HalfEdge> half_edges;
    TableJournal<Edge> edges;
    TableJournal<Face> faces;
};

// One copy-on-write snapshot per element table, for a reader on another thread.
struct MeshSnapshot {
    TableSnapshot<Vertex> vertices;
    TableSnapshot<HalfEdge> half_edges;
    TableSnapshot<Edge> edges;
    TableSnapshot<Face> faces;
};

// Counts of Mesh::repair_topology, in the order its steps run.
struct TopologyRepair {
    std::uint64_t welded = 0;
    std::uint64_t stitched = 0;  // both stitch passes together
    std::uint64_t filled = 0;
};

// Half-edge polygon mesh with soft deletion: elements are flagged dead, never removed, and
// ids are never reused. A face created by add_ngon is an island with its own phantom boundary
// until link_half_edges (or the linking and stitching built on it) pairs it with neighbours.
// Queries never throw for bad ids: they skip invalid and dead ids and return empty results.
// List results are sorted ascending with each id once, except ring walks (ring order).
class Mesh {
public:
    // ---- Element access (mesh.cpp) -----------------------------------------------------

    // Read-only views; callers test `id < size` and `alive` themselves.
    std::span<const Vertex> vertices() const { return vertices_.view(); }
    std::span<const HalfEdge> half_edges() const { return half_edges_.view(); }
    std::span<const Edge> edges() const { return edges_.view(); }
    std::span<const Face> faces() const { return faces_.view(); }

    // Valid (in range) and alive.
    bool vertex_usable(VertexId v) const { return v < vertices_.size() && vertices_[v].alive; }
    bool half_edge_usable(HalfEdgeId h) const {
        return h < half_edges_.size() && half_edges_[h].alive;
    }
    bool edge_usable(EdgeId e) const { return e < edges_.size() && edges_[e].alive; }
    bool face_usable(FaceId f) const { return f < faces_.size() && faces_[f].alive; }

    // Mutable element access for edits. The id must be valid. Each call stamps the element's
    // block and feeds the attached observers before the caller writes; an edit that changes
    // topology, layers or visibility must also call mark_changed.
    Vertex& vertex_mut(VertexId v) { return vertices_.write(v); }
    HalfEdge& half_edge_mut(HalfEdgeId h) { return half_edges_.write(h); }
    Edge& edge_mut(EdgeId e) { return edges_.write(e); }
    Face& face_mut(FaceId f) { return faces_.write(f); }

    // The tables themselves, for block stamps and sizes.
    const ElementTable<Vertex>& vertex_table() const { return vertices_; }
    const ElementTable<HalfEdge>& half_edge_table() const { return half_edges_; }
    const ElementTable<Edge>& edge_table() const { return edges_; }
    const ElementTable<Face>& face_table() const { return faces_; }

    // Ring origins in ring order from the face's first half-edge; empty for an invalid or
    // dead face or a corrupt ring (a walk longer than the half-edge count plus one).
    std::vector<VertexId> face_vertices(FaceId face) const;
    std::vector<HalfEdgeId> face_half_edges(FaceId face) const;
    // Number of ring half-edges; 0 where face_vertices would be empty.
    std::uint64_t face_degree(FaceId face) const;
    // The stored unit normal; zero for an invalid face.
    Vec3 face_normal(FaceId face) const;
    // Recomputes and stores the Newell normal of an alive face and returns it.
    Vec3 recompute_face_normal(FaceId face);
    // Origins of the edge's half-edge and of its twin; invalid ids when the edge is invalid
    // or a half-edge is out of range.
    std::array<VertexId, 2> edge_vertices(EdgeId edge) const;
    // Origin of the half-edge's next; invalid when out of range.
    VertexId half_edge_end(HalfEdgeId h) const;

    // ---- Change tracking (mesh.cpp) ----------------------------------------------------

    // Value of the process-wide revision counter at this mesh's last structural change.
    std::uint64_t revision() const { return revision_; }
    // Cache-invalidation bits (TableBit) set since the caches last cleared them.
    std::uint32_t dirty_bits() const { return dirty_bits_; }
    void clear_dirty_bits(std::uint32_t bits) { dirty_bits_ &= ~bits; }
    // Takes a new revision and sets the given table bits.
    void mark_changed(std::uint32_t bits);

    void attach(MeshJournal& journal);
    void detach(MeshJournal& journal);
    // Writes back every recorded block and truncates each table to its size at attach time,
    // then takes a new revision. Tables other than the four element tables are not covered.
    void restore(const MeshJournal& journal);
    void attach(MeshSnapshot& snapshot);
    void detach(MeshSnapshot& snapshot);

    void reserve(std::size_t vertices, std::size_t half_edges, std::size_t edges,
                 std::size_t faces);
    void shrink_to_fit();
    // Heap bytes held by the element tables, their stamps, corner UVs and layer bits (by
    // capacity), plus the annotation lists.
    std::size_t memory_bytes() const;

    // ---- Creation and deletion (mesh_edit.cpp) -----------------------------------------

    // Appends an alive vertex; never deduplicates.
    VertexId add_vertex(const Vec3& position);
    // New face over the ring; no value for fewer than 3 ids or two equal consecutive ids
    // (last and first included). Vertex ids are not checked otherwise: a ring naming a
    // missing vertex gets a zero normal and is skipped by geometric queries.
    std::optional<FaceId> add_ngon(std::span<const VertexId> verts);
    std::optional<FaceId> add_triangle(VertexId a, VertexId b, VertexId c);
    std::optional<FaceId> add_quad(VertexId a, VertexId b, VertexId c, VertexId d);
    // Retires an alive face; its ring half-edges forget it so neighbours border a real hole.
    // Half-edges, edges and vertices stay alive. False for an invalid or dead face.
    bool erase_face(FaceId face);
    // Retires the faces on both sides (appending them to retired_faces when given), then the
    // edge and both half-edges. False for an invalid or dead edge.
    bool erase_edge(EdgeId edge, std::vector<FaceId>* retired_faces = nullptr);
    // Makes the naked half-edges a and b (alive, on different alive faces, each twinned with
    // a faceless or dead-faced half-edge) twins of each other: their former twins die, b takes
    // a's edge (soft or seam when either was) and b's edge dies. Vertices are not checked;
    // callers pair half-edges that run between the same points in opposite directions.
    bool link_half_edges(HalfEdgeId a, HalfEdgeId b);

    // ---- Attributes (mesh_attributes.cpp) ----------------------------------------------

    // Single-face setters: no-ops that return false for an invalid or dead face.
    bool set_face_material(FaceId face, std::uint32_t material);
    // Also a no-op for kInvalidLayer; grows the layer-visibility list to cover the layer.
    bool set_face_layer(FaceId face, std::uint32_t layer);
    bool set_face_visible(FaceId face, bool visible);
    bool show_face(FaceId face) { return set_face_visible(face, true); }
    bool hide_face(FaceId face) { return set_face_visible(face, false); }
    bool set_face_extras(FaceId face, std::int32_t tag, bool extra_flag_1, bool extra_flag_2);
    // Whole-table setters over the alive faces; each returns the number of faces whose value
    // changed. Those that set a layer do nothing for kInvalidLayer.
    std::uint64_t set_faces_visible_by_layer(std::uint32_t layer, bool visible);
    std::uint64_t set_faces_visible_by_material(std::uint32_t material, bool visible);
    std::uint64_t set_material_layer(std::uint32_t material, std::uint32_t layer);
    std::uint64_t set_layer_material(std::uint32_t layer, std::uint32_t material);
    std::uint64_t replace_layer_id(std::uint32_t from, std::uint32_t to);
    std::uint64_t replace_material_id(std::uint32_t from, std::uint32_t to);
    // Clears soft on every alive edge; returns how many were soft.
    std::uint64_t harden_all_edges();
    // Softens the edges of every undirected vertex pair (linked or not) on which two different
    // faces meet with normals within the angle; returns the number of edges softened.
    std::uint64_t soften_edges_by_angle(float angle_deg = 30.0f);
    // Softens each edge between two alive faces (both in `faces` for the second form) whose
    // normals have a dot product of at least eps. Faces stay separate; they only look joined.
    std::uint64_t merge_coplanar_faces(float eps = kCoplanarNormalDot);
    std::uint64_t merge_coplanar_faces(std::span<const FaceId> faces,
                                       float eps = kCoplanarNormalDot);

    // ---- Joining and repair (mesh_link.cpp, mesh_repair.cpp) ---------------------------

    // Pairs the naked sides of different faces that run between the same two vertex ids in
    // opposite directions; returns the number of pairs. Corners that were created separately
    // must be welded first.
    std::uint64_t link_shared_edges();
    // Retires every alive vertex within the tolerance of a surviving lower-id vertex (the
    // lowest such one) and moves its half-edges there; not transitive, so a chain of close
    // vertices keeps every other one. Twins are not touched. Returns the vertices retired.
    std::uint64_t weld_vertices(float tolerance = kWeldTolerance);
    // Pairs naked sides whose ends lie within the tolerance of a later side's ends, reversed;
    // first match in edge order wins. Vertices are not merged. Returns the number of pairs.
    std::uint64_t stitch_naked_edges(float tolerance = kWeldTolerance);
    // Caps every boundary loop with one face (material 0, layer 0, visible) wound against the
    // rim, so a following stitch or link closes it. Returns the number of caps.
    std::uint64_t fill_holes();
    // weld, stitch, fill, stitch again: the first stitch joins what real neighbours can close
    // before anything is capped, the second pairs the caps with their rims.
    TopologyRepair repair_topology(float tolerance = kWeldTolerance);
    // Erases each pair of alive faces over the same vertex ids in opposite winding (which add
    // nothing to the volume); same-winding duplicates stay. Returns the faces erased.
    std::uint64_t remove_coincident_face_pairs();

    // ---- Splitting (mesh_split.cpp) ----------------------------------------------------

    // New vertex at a + t (b - a) on the edge; each face on it is rebuilt round the vertex as
    // a new island (its edges naked until stitched or linked) keeping its attributes and edge
    // flags; the edge itself is retired. No value unless 0 < t < 1 and the edge is alive with
    // two distinct ends and an alive face.
    std::optional<VertexId> split_edge(EdgeId edge, float t = 0.5f);
    // Cuts the face along the segment a-b (both within 1e-4 of its plane, more than 1e-5
    // apart). Each end snaps to the first vertex within 1e-4 or becomes a new one, inserted
    // into the nearest side when not on the ring. Returns the first of the two faces.
    std::optional<FaceId> split_face_with_edge(FaceId face, const Vec3& a, const Vec3& b);
    // Replaces a face of 4 or more sides by triangles over its own vertices (ear clipping,
    // else a fan), keeping its attributes. False for invalid, dead or triangular faces.
    bool triangulate_face(FaceId face);
    // Triangulates every alive face of more than 3 sides; returns how many.
    std::uint64_t triangulate_all();

    // ---- Orientation and copies (mesh_edit.cpp) ----------------------------------------

    // Swaps next and prev round the ring (origins, twins and edges stay), so the vertex cycle
    // reads backwards, and refreshes the normal. Its own inverse. False for an invalid or
    // dead face or a broken ring.
    bool reverse_face(FaceId face);
    // Number of successful reverse_face calls; a repeated id is reversed again.
    std::uint64_t reverse_faces(std::span<const FaceId> faces);
    std::uint64_t reverse_all_faces();
    // Copies the distinct alive faces into `subset` with their attributes, edge flags and
    // stored corner UVs; shared corners stay shared. `subset` may be this mesh. Returns the
    // faces copied.
    std::uint64_t duplicate_faces(std::span<const FaceId> faces, Mesh& subset) const;
    // Appends every alive face of `other` through the transform, as duplicate_faces does;
    // normals come from the copied rings. Safe when `other` is this mesh: only the faces that
    // existed before the call are copied. Returns the faces appended.
    std::uint64_t merge_mesh(const Mesh& other, const Mat4& transform);

    // ---- Moving a face selection (mesh_selection_moves.cpp; mirror_faces: mesh_edit.cpp) -

    // Each moves the distinct vertices of the alive faces once, refreshes the normals of every
    // face using them, and returns the number of vertices that moved more than 1e-6.
    std::uint64_t translate_faces(std::span<const FaceId> faces, const Vec3& delta);
    // Nothing moves for an axis shorter than 1e-6.
    std::uint64_t rotate_faces(std::span<const FaceId> faces, const Vec3& pivot,
                               const Vec3& axis, float angle_rad);
    std::uint64_t scale_faces(std::span<const FaceId> faces, const Vec3& pivot,
                              const Vec3& scale);
    // Projects onto the plane; nothing moves for a degenerate normal.
    std::uint64_t flatten_faces_to_plane(std::span<const FaceId> faces, const Vec3& point,
                                         const Vec3& normal);
    // Scales along the frame's axes about its centre so the frame's full extents become
    // `size`. An axis whose extent is below 1e-6 or whose size is negative or not a number
    // is left as it is; a size of 0 flattens.
    std::uint64_t scale_faces_in_frame(std::span<const FaceId> faces, const Obb& frame,
                                       const Vec3& size);
    // Reflected copies with reversed winding (so outward stays outward), appended to `dst`
    // (this mesh when null). Returns the faces made; 0 for a degenerate normal.
    std::uint64_t mirror_faces(std::span<const FaceId> faces, const Vec3& point,
                               const Vec3& normal, Mesh* dst = nullptr);
    // Alive faces whose ring uses any of the vertices, sorted. A small set is looked up
    // through the spatial index, a large one by scanning the faces.
    std::vector<FaceId> faces_using_vertices(std::span<const VertexId> vertices);

    // ---- Ring snapshot and rebuild (mesh_rebuild.cpp) ----------------------------------

    RingSnapshot snapshot_rings() const;
    // Replaces all topology by the snapshot's rings: empties the half-edge, edge and face
    // tables, re-creates the faces in order (rings of fewer than 3 vertices are skipped),
    // links them, and puts soft and seam flags back on vertex pairs that had them. Face,
    // edge and half-edge ids are all new; vertices are untouched; hidden edges come back
    // visible, tags and extra flags at their defaults. Returns the faces created.
    std::uint64_t rebuild_from_rings(const RingSnapshot& snapshot);

    // ---- Corner UVs, layers, annotations (mesh.cpp) ------------------------------------

    // Stores the corner's texture coordinates; false for an invalid half-edge. The table is
    // allocated by the first call, so meshes without UVs pay nothing.
    bool set_corner_uv(HalfEdgeId h, float u, float v);
    // The corner's coordinates; `set` is false when none were stored.
    CornerUv corner_uv(HalfEdgeId h) const;
    // True when every corner of the alive face's ring has stored coordinates.
    bool face_has_uvs(FaceId face) const;
    bool has_corner_uvs() const { return !corner_uvs_.empty(); }

    // Layer visibility bits; layers beyond the list are shown. set_layer_visible grows the
    // list (new entries shown) and ignores kInvalidLayer.
    void set_layer_visible(std::uint32_t layer, bool visible);
    bool layer_visible(std::uint32_t layer) const;
    // Grows the list to cover the layer; no-op for kInvalidLayer.
    void ensure_layer(std::uint32_t layer);
    std::span<const std::uint8_t> layer_visibility() const { return layer_visible_; }

    // Plain lists in creation order; the add_ functions return the new index.
    std::size_t add_guide(const Vec3& a, const Vec3& b, bool infinite = false);
    std::size_t add_curve(std::vector<Vec3> points, bool closed);
    std::size_t add_curve(Curve curve);
    // Clears the slot's alive flag; the slot stays. False for a bad or dead index.
    bool erase_curve(std::size_t index);
    std::size_t add_note(Note note);
    std::size_t add_dimension(Dimension dimension);
    std::span<const Guide> guides() const { return guides_; }
    std::span<const Curve> curves() const { return curves_; }
    std::span<const Note> notes() const { return notes_; }
    std::span<const Dimension> dimensions() const { return dimensions_; }
    // Mutable access to one entry; the index must be valid.
    Guide& guide_mut(std::size_t i) {
        assert(i < guides_.size());
        return guides_[i];
    }
    Curve& curve_mut(std::size_t i) {
        assert(i < curves_.size());
        return curves_[i];
    }
    Note& note_mut(std::size_t i) {
        assert(i < notes_.size());
        return notes_[i];
    }
    Dimension& dimension_mut(std::size_t i) {
        assert(i < dimensions_.size());
        return dimensions_[i];
    }
    // Put a whole list in place and get back the one it replaced: clearing a list, or undoing
    // an append, without copying the entries that stay.
    std::vector<Guide> exchange_guides(std::vector<Guide> guides) {
        return std::exchange(guides_, std::move(guides));
    }
    std::vector<Dimension> exchange_dimensions(std::vector<Dimension> dimensions) {
        return std::exchange(dimensions_, std::move(dimensions));
    }

    // ---- Face queries (mesh_query.cpp) -------------------------------------------------

    std::vector<FaceId> alive_faces() const;
    std::vector<FaceId> visible_faces() const;
    std::vector<FaceId> soft_hidden_faces() const;
    std::vector<FaceId> faces_with_layer(std::uint32_t layer) const;
    std::vector<FaceId> faces_with_material(std::uint32_t material) const;
    // Half the length of the ring's Newell vector; 0 for rings of fewer than 3 vertices.
    float face_area(FaceId face) const;
    // Sum over the distinct alive ids; 0 when none.
    float area_of_faces(std::span<const FaceId> faces) const;
    // Plain mean of the ring positions; zero when no ring vertex is valid.
    Vec3 face_centroid(FaceId face) const;
    // Area-weighted mean of the face centroids; no value when the total area is below 1e-8.
    std::optional<Vec3> centroid_of_faces(std::span<const FaceId> faces) const;
    // Total length of boundary_edges_of_faces.
    float perimeter_of_faces(std::span<const FaceId> faces) const;
    // Edges of the patch outline: those with exactly one adjacent face in the set.
    std::vector<EdgeId> boundary_edges_of_faces(std::span<const FaceId> faces) const;
    // Faces whose centroid lies in the box (inclusive); nothing for an empty box.
    std::vector<FaceId> faces_within_aabb(const Aabb& box) const;
    // min <= area <= max; a negative min counts as 0, min > max yields nothing.
    std::vector<FaceId> faces_with_area_between(float min_area,
                                                float max_area = kMaxFaceArea) const;
    // Faces whose unit normal is within the cone (angle clamped at 0) about dir; nothing for
    // a direction shorter than 1e-8; faces with degenerate normals are skipped.
    std::vector<FaceId> faces_facing(const Vec3& dir, float max_angle_deg = kFacingConeDeg) const;
    // Flood fill across twins to faces whose normal is within eps (dot) of the seed's; with
    // same_plane, every ring vertex must also be within 1e-4 of the seed's plane.
    std::vector<FaceId> coplanar_faces(FaceId seed, float eps = kCoplanarNormalDot,
                                       bool same_plane = false) const;
    std::vector<FaceId> connected_faces(FaceId seed) const;
    // Flood fill across twins from an alive seed into alive faces that accept(face) admits;
    // the seed is always included. Sorted ascending.
    template <class Accept>
    std::vector<FaceId> flood_fill_faces(FaceId seed, Accept&& accept) const;
    // Faces across the seed's ring twins, excluding the seed.
    std::vector<FaceId> adjacent_faces(FaceId seed) const;
    std::vector<FaceId> grow_faces(std::span<const FaceId> faces) const;
    std::vector<FaceId> shrink_faces(std::span<const FaceId> faces) const;
    std::vector<FaceId> invert_face_selection(std::span<const FaceId> faces) const;
    std::optional<Aabb> compute_aabb_of_faces(std::span<const FaceId> faces) const;
    std::optional<Obb> compute_obb_of_faces(std::span<const FaceId> faces) const;
    // Divergence-theorem volume of the alive faces (fan triangles from each ring's first
    // vertex), taken about the centre of the alive vertices' box so it does not depend on
    // where the solid sits. Positive for a closed solid with outward normals.
    float signed_volume() const;
    float compute_volume() const;

    // ---- Edges, vertices and loops (mesh_topology.cpp) ---------------------------------

    // Alive, both half-edges in range, and at least one side without an alive face.
    bool is_naked_edge(EdgeId edge) const;
    std::vector<EdgeId> naked_edges() const;
    std::uint64_t naked_edge_count() const;
    std::uint64_t open_edge_count() const { return naked_edge_count(); }
    // The faced half-edges of the naked edges chained end to start into closed cycles, each
    // as its vertex ids; open chains are dropped.
    std::vector<std::vector<VertexId>> boundary_loops() const;

    // Half-edges leaving v around the fan of the lowest-id alive half-edge that leaves v on
    // an alive face, walked both ways so a fan broken by a naked edge is still covered. Fan
    // order, from one end of an open fan.
    std::vector<HalfEdgeId> vertex_half_edges(VertexId v) const;
    std::vector<FaceId> vertex_faces(VertexId v) const;
    std::vector<EdgeId> vertex_edges(VertexId v) const;
    std::uint64_t vertex_valence(VertexId v) const;
    // The alive faces on the edge, lower id first.
    std::vector<FaceId> edge_faces(EdgeId edge) const;
    // Straight on through valence-4 vertices both ways until a pole or a boundary; needs an
    // alive face on the seed. Seed included.
    std::vector<EdgeId> edge_loop(EdgeId edge) const;
    // Across quads to the opposite edge, both ways. Seed included.
    std::vector<EdgeId> edge_ring(EdgeId edge) const;
    // The strip of quads the edge cuts across, from `face` (or, when invalid, the lower-id
    // alive face on the edge).
    std::vector<FaceId> face_loop(FaceId face, EdgeId edge) const;

    // ---- Report counts (mesh_query.cpp) ------------------------------------------------

    std::uint64_t alive_face_count() const;
    std::uint64_t alive_vertex_count() const;
    std::uint64_t soft_edge_count() const;
    // Largest layer id of an alive face, ignoring kInvalidLayer; 0 when none.
    std::uint32_t max_layer_id() const;

    // ---- Modelling (mesh_modelling.cpp, mesh_plane_cut.cpp, mesh_creators.cpp) ----------

    // Side walls and a cap from the face along its own normal; the face stays as the base
    // (reversed when it is a lone face pulled outwards). Returns the cap; nothing for a dead
    // face, fewer than 3 vertices or a degenerate normal. The new faces are unlinked.
    std::optional<FaceId> push_pull(FaceId face, float distance);
    // Side walls and a cap facing along the vector; the face stays as it is.
    std::optional<FaceId> extrude_face_along_vector(FaceId face, const Vec3& vector);
    // extrude_face_along_vector per entry (repeats extrude again); returns the faces created.
    std::uint64_t extrude_faces_along_vector(std::span<const FaceId> faces, const Vec3& vector);
    // Replaces the face by a frame of quads round the face offset inwards (distance > 0) or
    // outwards (< 0); returns that face. Refuses an offset the ring cannot take.
    std::optional<FaceId> offset_face(FaceId face, float distance);
    // A new coplanar face inset (distance > 0) or outset (< 0) from the untouched face;
    // nothing for 0 or an inset that collapses. Convex faces only.
    std::optional<FaceId> inset_face(FaceId face, float distance);
    // Replaces a face the plane crosses by its two halves, linked locally. False when the
    // plane does not cross it or the normal is degenerate.
    bool split_face_by_plane(FaceId face, const Vec3& point, const Vec3& normal);
    // Cuts every crossing face with shared seam vertices through a ring rebuild (face ids
    // are renumbered). A closed solid stays closed with its volume.
    PlaneSplitReport split_by_plane(const Vec3& point, const Vec3& normal);
    // Cuts, drops the faces on the other side and, with `cap`, closes the section.
    PlaneSliceReport slice_by_plane(const Vec3& point, const Vec3& normal, bool keep_positive,
                                    bool cap);
    // Closes the naked loops lying in the plane with triangles facing `outward` (the normal
    // when absent); kept only when the mesh comes out closed with a positive volume.
    PlaneCapReport cap_boundary_on_plane(const Vec3& point, const Vec3& normal,
                                         std::optional<Vec3> outward = std::nullopt);

    // Creators: fresh vertices, nothing welded; each returns the face id or -1.
    // Quad facing +Z from `at` (x, y) at height z; -1 unless width and depth exceed 1e-4.
    std::int32_t create_rectangle(const Vec3& at, float width, float depth, float z);
    // n-gon facing +Z with max(3, segments) sides; -1 unless radius exceeds 1e-4.
    std::int32_t create_circle_xy(const Vec3& at, float radius, int segments = 24);
    // Pie about `at` from the rim point `a` through sweep_rad (positive: counter-clockwise
    // seen from +Z), a circle for a full turn. Segments scale with the sweep unless
    // exact_segments asks for exactly `segments` (at least 2 either way).
    std::int32_t create_arc_xy(const Vec3& at, const Vec3& a, float sweep_rad, int segments = 24,
                               bool exact_segments = false);
    // Quad `width` wide centred on a-b, its sides horizontal where the segment allows.
    std::int32_t create_line_ribbon(const Vec3& a, const Vec3& b, float width = 0.01f);

    // ---- Derived data (mesh_block_hashes.cpp, spatial_index.cpp) -----------------------

    // Content hash of every 1024-element block of each table; only blocks stamped since the
    // last call are rehashed. The same object while nothing changed.
    std::shared_ptr<const MeshBlockHashes> block_hashes();
    // Bounding-volume hierarchy over the alive vertices, edges and faces; chunks whose blocks
    // kept their hashes are shared with the previous index. The same object while nothing
    // changed.
    std::shared_ptr<const MeshSpatialIndex> spatial_index();

private:
    // link_half_edges without its checks or revision, for callers that already paired a and
    // b as naked sides of different alive faces.
    void join_half_edges(HalfEdgeId a, HalfEdgeId b);
    // Moves the distinct vertices of the alive faces through move(position) and refreshes the
    // normals of the faces that use the moved ones; returns how many moved more than 1e-6.
    template <class Move>
    std::uint64_t move_selection(std::span<const FaceId> faces, Move&& move);

    // Calls visit(h) for each half-edge of the ring, in order, stopping at the start, an
    // invalid id or an id out of range. False when the walk exceeds the half-edge count plus
    // one: the ring is corrupt and whatever was visited must be discarded.
    template <class Visit>
    bool walk_ring(FaceId face, Visit&& visit) const;
    // Newell vector (not normalised) of an alive face's ring; zero when it has fewer than 3
    // vertices, a vertex out of range or a corrupt ring.
    std::array<double, 3> newell_vector(FaceId face) const;
    // Sorted distinct usable ids of `faces`.
    std::vector<FaceId> distinct_alive(std::span<const FaceId> faces) const;
    static void sort_ids(std::vector<std::uint32_t>& ids);

    ElementTable<Vertex> vertices_;
    ElementTable<HalfEdge> half_edges_;
    ElementTable<Edge> edges_;
    ElementTable<Face> faces_;
    std::vector<CornerUv> corner_uvs_;         // empty until the first corner UV is set
    std::vector<std::uint8_t> layer_visible_;  // 1 = shown
    std::vector<Guide> guides_;
    std::vector<Curve> curves_;
    std::vector<Note> notes_;
    std::vector<Dimension> dimensions_;
    std::uint64_t revision_ = 0;
    std::uint32_t dirty_bits_ = kAllTableBits;
    std::shared_ptr<const MeshBlockHashes> block_hashes_;
    std::shared_ptr<const MeshSpatialIndex> spatial_index_;
    std::uint32_t hashed_epoch_ = 0;  // edit epoch when block_hashes_ was taken
};

template <class Visit>
bool Mesh::walk_ring(FaceId face, Visit&& visit) const {
    const std::span<const HalfEdge> he = half_edges_.view();
    const HalfEdgeId start = faces_[face].half_edge;
    const std::size_t limit = he.size() + 1;
    std::size_t steps = 0;
    for (HalfEdgeId h = start; h < he.size();) {
        if (++steps > limit) return false;
        visit(h);
        h = he[h].next;
        if (h == start) break;
    }
    return true;
}

template <class Accept>
std::vector<FaceId> Mesh::flood_fill_faces(FaceId seed, Accept&& accept) const {
    if (!face_usable(seed)) return {};
    const std::span<const HalfEdge> he = half_edges_.view();
    std::vector<std::uint8_t> seen(faces_.size(), 0);
    std::vector<FaceId> stack{seed};
    std::vector<FaceId> found;
    std::vector<FaceId> across;
    seen[seed] = 1;
    while (!stack.empty()) {
        const FaceId f = stack.back();
        stack.pop_back();
        found.push_back(f);
        across.clear();
        const bool intact = walk_ring(f, [&](HalfEdgeId h) {
            const HalfEdgeId t = he[h].twin;
            if (t < he.size()) across.push_back(he[t].face);
        });
        if (!intact) continue;  // a corrupt ring has no usable sides
        for (const FaceId g : across) {
            if (!face_usable(g) || seen[g]) continue;
            seen[g] = 1;  // a refused face is not asked again
            if (accept(g)) stack.push_back(g);
        }
    }
    sort_ids(found);
    return found;
}

}  // namespace korvan
