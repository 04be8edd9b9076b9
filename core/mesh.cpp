#include "core/mesh.h"

#include "core/dvec3.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace korvan {

// ---- Element access --------------------------------------------------------------------

std::vector<VertexId> Mesh::face_vertices(FaceId face) const {
    std::vector<VertexId> out;
    if (!face_usable(face)) return out;
    const std::span<const HalfEdge> he = half_edges_.view();
    if (!walk_ring(face, [&](HalfEdgeId h) { out.push_back(he[h].origin); })) out.clear();
    return out;
}

std::vector<HalfEdgeId> Mesh::face_half_edges(FaceId face) const {
    std::vector<HalfEdgeId> out;
    if (!face_usable(face)) return out;
    if (!walk_ring(face, [&](HalfEdgeId h) { out.push_back(h); })) out.clear();
    return out;
}

std::uint64_t Mesh::face_degree(FaceId face) const {
    if (!face_usable(face)) return 0;
    std::uint64_t n = 0;
    return walk_ring(face, [&](HalfEdgeId) { ++n; }) ? n : 0;
}

Vec3 Mesh::face_normal(FaceId face) const {
    return face < faces_.size() ? faces_[face].normal : Vec3{};
}

std::array<double, 3> Mesh::newell_vector(FaceId face) const {
    const std::span<const HalfEdge> he = half_edges_.view();
    const std::span<const Vertex> vs = vertices_.view();
    double nx = 0.0, ny = 0.0, nz = 0.0;
    bool bad_vertex = false;
    std::uint64_t count = 0;
    VertexId first = kInvalidId, prev = kInvalidId;
    // Term for the side from vertex i to vertex j (the next one round the ring).
    auto add_side = [&](VertexId i, VertexId j) {
        const Vec3& a = vs[i].position;
        const Vec3& b = vs[j].position;
        nx += (static_cast<double>(a.y) - b.y) * (static_cast<double>(a.z) + b.z);
        ny += (static_cast<double>(a.z) - b.z) * (static_cast<double>(a.x) + b.x);
        nz += (static_cast<double>(a.x) - b.x) * (static_cast<double>(a.y) + b.y);
    };
    const bool intact = walk_ring(face, [&](HalfEdgeId h) {
        const VertexId v = he[h].origin;
        ++count;
        if (v >= vs.size()) bad_vertex = true;
        if (bad_vertex) return;
        if (prev == kInvalidId)
            first = v;
        else
            add_side(prev, v);
        prev = v;
    });
    if (!intact || bad_vertex || count < 3) return {0.0, 0.0, 0.0};
    add_side(prev, first);
    return {nx, ny, nz};
}

Vec3 Mesh::recompute_face_normal(FaceId face) {
    if (!face_usable(face)) return {};
    const auto n = newell_vector(face);
    const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    const Vec3 unit = len > 0.0 ? DVec3(n[0] / len, n[1] / len, n[2] / len).to_vec3() : Vec3{};
    face_mut(face).normal = unit;
    return unit;
}

std::array<VertexId, 2> Mesh::edge_vertices(EdgeId edge) const {
    if (edge >= edges_.size()) return {kInvalidId, kInvalidId};
    const HalfEdgeId h = edges_[edge].half_edge;
    if (h >= half_edges_.size()) return {kInvalidId, kInvalidId};
    const HalfEdgeId t = half_edges_[h].twin;
    if (t >= half_edges_.size()) return {kInvalidId, kInvalidId};
    return {half_edges_[h].origin, half_edges_[t].origin};
}

VertexId Mesh::half_edge_end(HalfEdgeId h) const {
    if (h >= half_edges_.size()) return kInvalidId;
    const HalfEdgeId n = half_edges_[h].next;
    return n < half_edges_.size() ? half_edges_[n].origin : kInvalidId;
}

// ---- Change tracking -------------------------------------------------------------------

void Mesh::mark_changed(std::uint32_t bits) {
    revision_ = next_revision();
    dirty_bits_ |= bits;
}

void Mesh::attach(MeshJournal& journal) {
    vertices_.attach(journal.vertices);
    half_edges_.attach(journal.half_edges);
    edges_.attach(journal.edges);
    faces_.attach(journal.faces);
}

void Mesh::detach(MeshJournal& journal) {
    vertices_.detach(journal.vertices);
    half_edges_.detach(journal.half_edges);
    edges_.detach(journal.edges);
    faces_.detach(journal.faces);
}

void Mesh::restore(const MeshJournal& journal) {
    vertices_.restore(journal.vertices);
    half_edges_.restore(journal.half_edges);
    edges_.restore(journal.edges);
    faces_.restore(journal.faces);
    mark_changed(kAllTableBits);
}

void Mesh::attach(MeshSnapshot& snapshot) {
    vertices_.attach(snapshot.vertices);
    half_edges_.attach(snapshot.half_edges);
    edges_.attach(snapshot.edges);
    faces_.attach(snapshot.faces);
}

void Mesh::detach(MeshSnapshot& snapshot) {
    vertices_.detach(snapshot.vertices);
    half_edges_.detach(snapshot.half_edges);
    edges_.detach(snapshot.edges);
    faces_.detach(snapshot.faces);
}

void Mesh::reserve(std::size_t vertices, std::size_t half_edges, std::size_t edges,
                   std::size_t faces) {
    vertices_.reserve(vertices);
    half_edges_.reserve(half_edges);
    edges_.reserve(edges);
    faces_.reserve(faces);
}

void Mesh::shrink_to_fit() {
    vertices_.shrink_to_fit();
    half_edges_.shrink_to_fit();
    edges_.shrink_to_fit();
    faces_.shrink_to_fit();
    corner_uvs_.shrink_to_fit();
}

std::size_t Mesh::memory_bytes() const {
    std::size_t bytes = vertices_.memory_bytes() + half_edges_.memory_bytes() +
                        edges_.memory_bytes() + faces_.memory_bytes();
    bytes += corner_uvs_.capacity() * sizeof(CornerUv) + layer_visible_.capacity();
    bytes += guides_.capacity() * sizeof(Guide) + curves_.capacity() * sizeof(Curve) +
             notes_.capacity() * sizeof(Note) + dimensions_.capacity() * sizeof(Dimension);
    for (const Curve& c : curves_) bytes += c.points.capacity() * sizeof(Vec3);
    return bytes;
}

// ---- Corner UVs ------------------------------------------------------------------------

bool Mesh::set_corner_uv(HalfEdgeId h, float u, float v) {
    if (h >= half_edges_.size()) return false;
    if (corner_uvs_.size() < half_edges_.size()) corner_uvs_.resize(half_edges_.size());
    corner_uvs_[h] = CornerUv{u, v, true};
    return true;
}

CornerUv Mesh::corner_uv(HalfEdgeId h) const {
    return h < corner_uvs_.size() && h < half_edges_.size() ? corner_uvs_[h] : CornerUv{};
}

bool Mesh::face_has_uvs(FaceId face) const {
    if (corner_uvs_.empty() || !face_usable(face)) return false;
    bool all = true;
    std::uint64_t n = 0;
    const bool intact = walk_ring(face, [&](HalfEdgeId h) {
        ++n;
        if (h >= corner_uvs_.size() || !corner_uvs_[h].set) all = false;
    });
    return intact && n > 0 && all;
}

// ---- Layers ----------------------------------------------------------------------------

void Mesh::ensure_layer(std::uint32_t layer) {
    if (layer == kInvalidLayer) return;
    if (layer_visible_.size() <= layer) layer_visible_.resize(std::size_t{layer} + 1, 1);
}

void Mesh::set_layer_visible(std::uint32_t layer, bool visible) {
    if (layer == kInvalidLayer) return;
    ensure_layer(layer);
    layer_visible_[layer] = visible ? 1 : 0;
    mark_changed(kFaceTableBit);
}

bool Mesh::layer_visible(std::uint32_t layer) const {
    return layer >= layer_visible_.size() || layer_visible_[layer] != 0;
}

// ---- Annotations -----------------------------------------------------------------------

std::size_t Mesh::add_guide(const Vec3& a, const Vec3& b, bool infinite) {
    guides_.push_back(Guide{a, b, infinite});
    return guides_.size() - 1;
}

std::size_t Mesh::add_curve(std::vector<Vec3> points, bool closed) {
    Curve c;
    c.points = std::move(points);
    c.closed = closed;
    return add_curve(std::move(c));
}

std::size_t Mesh::add_curve(Curve curve) {
    curves_.push_back(std::move(curve));
    return curves_.size() - 1;
}

bool Mesh::erase_curve(std::size_t index) {
    if (index >= curves_.size() || !curves_[index].alive) return false;
    curves_[index].alive = false;
    return true;
}

std::size_t Mesh::add_note(Note note) {
    notes_.push_back(std::move(note));
    return notes_.size() - 1;
}

std::size_t Mesh::add_dimension(Dimension dimension) {
    dimensions_.push_back(std::move(dimension));
    return dimensions_.size() - 1;
}

}  // namespace korvan
