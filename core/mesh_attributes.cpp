#include "core/mesh.h"

#include "core/parallel_scan.h"
#include "core/parallel_sort.h"

#include <algorithm>
#include <cmath>

// Per-face attributes and per-edge soft flags. Whole-table setters count only the faces whose
// value really changed and take a new revision only when something did, so a repeated call
// leaves derived data (block hashes, the spatial index) as it was.

namespace korvan {
namespace {

// Half-edges of the same undirected vertex pair, for grouping sides that meet whether or not
// they were ever linked.
struct PairSide {
    std::uint64_t key = 0;  // lower vertex id in the high word
    HalfEdgeId half_edge = kInvalidId;
};

std::uint64_t pair_key(VertexId a, VertexId b) {
    const VertexId lo = std::min(a, b), hi = std::max(a, b);
    return (std::uint64_t{lo} << 32) | hi;
}

}  // namespace

bool Mesh::set_face_material(FaceId face, std::uint32_t material) {
    if (!face_usable(face)) return false;
    if (faces_[face].material_id != material) {
        face_mut(face).material_id = material;
        mark_changed(kFaceTableBit);
    }
    return true;
}

bool Mesh::set_face_layer(FaceId face, std::uint32_t layer) {
    if (!face_usable(face) || layer == kInvalidLayer) return false;
    ensure_layer(layer);
    if (faces_[face].layer_id != layer) {
        face_mut(face).layer_id = layer;
        mark_changed(kFaceTableBit);
    }
    return true;
}

bool Mesh::set_face_visible(FaceId face, bool visible) {
    if (!face_usable(face)) return false;
    if (faces_[face].visible != visible) {
        face_mut(face).visible = visible;
        mark_changed(kFaceTableBit);
    }
    return true;
}

bool Mesh::set_face_extras(FaceId face, std::int32_t tag, bool extra_flag_1, bool extra_flag_2) {
    if (!face_usable(face)) return false;
    const Face& f = faces_[face];
    if (f.tag != tag || f.extra_flag_1 != extra_flag_1 || f.extra_flag_2 != extra_flag_2) {
        Face& w = face_mut(face);
        w.tag = tag;
        w.extra_flag_1 = extra_flag_1;
        w.extra_flag_2 = extra_flag_2;
        mark_changed(kFaceTableBit);
    }
    return true;
}

namespace {

// Calls apply(mutable record) on every alive face whose record needs(record) admits; returns
// how many. `needs` must refuse faces that already hold the new value.
template <class Needs, class Apply>
std::uint64_t update_faces(Mesh& mesh, Needs&& needs, Apply&& apply) {
    std::uint64_t changed = 0;
    const std::span<const Face> faces = mesh.faces();
    for (FaceId f = 0; f < faces.size(); ++f) {
        if (!faces[f].alive || !needs(faces[f])) continue;
        apply(mesh.face_mut(f));
        ++changed;
    }
    if (changed > 0) mesh.mark_changed(kFaceTableBit);
    return changed;
}

}  // namespace

std::uint64_t Mesh::set_faces_visible_by_layer(std::uint32_t layer, bool visible) {
    return update_faces(
        *this, [&](const Face& f) { return f.layer_id == layer && f.visible != visible; },
        [&](Face& f) { f.visible = visible; });
}

std::uint64_t Mesh::set_faces_visible_by_material(std::uint32_t material, bool visible) {
    return update_faces(
        *this, [&](const Face& f) { return f.material_id == material && f.visible != visible; },
        [&](Face& f) { f.visible = visible; });
}

std::uint64_t Mesh::set_material_layer(std::uint32_t material, std::uint32_t layer) {
    if (layer == kInvalidLayer) return 0;
    ensure_layer(layer);
    return update_faces(
        *this, [&](const Face& f) { return f.material_id == material && f.layer_id != layer; },
        [&](Face& f) { f.layer_id = layer; });
}

std::uint64_t Mesh::set_layer_material(std::uint32_t layer, std::uint32_t material) {
    return update_faces(
        *this, [&](const Face& f) { return f.layer_id == layer && f.material_id != material; },
        [&](Face& f) { f.material_id = material; });
}

std::uint64_t Mesh::replace_layer_id(std::uint32_t from, std::uint32_t to) {
    if (to == kInvalidLayer || from == to) return 0;
    ensure_layer(to);
    return update_faces(
        *this, [&](const Face& f) { return f.layer_id == from; },
        [&](Face& f) { f.layer_id = to; });
}

std::uint64_t Mesh::replace_material_id(std::uint32_t from, std::uint32_t to) {
    if (from == to) return 0;
    return update_faces(
        *this, [&](const Face& f) { return f.material_id == from; },
        [&](Face& f) { f.material_id = to; });
}

// ---- Soft edges --------------------------------------------------------------------------

std::uint64_t Mesh::harden_all_edges() {
    std::uint64_t n = 0;
    const std::span<const Edge> es = edges_.view();
    for (EdgeId e = 0; e < es.size(); ++e) {
        if (!es[e].alive || !es[e].soft) continue;
        edge_mut(e).soft = false;
        ++n;
    }
    if (n > 0) mark_changed(kEdgeTableBit);
    return n;
}

std::uint64_t Mesh::soften_edges_by_angle(float angle_deg) {
    const float threshold = std::cos(angle_deg * 3.1415927f / 180.0f);
    const std::span<const HalfEdge> he = half_edges_.view();

    // Sides on alive faces, keyed by their undirected vertex pair: coincident sides meet here
    // even when they were never linked.
    std::vector<PairSide> sides = concat_chunks(
        scan_chunks<std::vector<PairSide>>(he.size(), [&](std::size_t begin, std::size_t end) {
            std::vector<PairSide> out;
            for (std::size_t h = begin; h < end; ++h) {
                if (!he[h].alive || !face_usable(he[h].face)) continue;
                const VertexId b = half_edge_end(static_cast<HalfEdgeId>(h));
                if (b == kInvalidId) continue;
                out.push_back({pair_key(he[h].origin, b), static_cast<HalfEdgeId>(h)});
            }
            return out;
        }));
    auto by_key = [](const PairSide& a, const PairSide& b) {
        return a.key != b.key ? a.key < b.key : a.half_edge < b.half_edge;
    };
    sort_records(sides.begin(), sides.end(), by_key);

    std::uint64_t softened = 0;
    for (std::size_t begin = 0; begin < sides.size();) {
        std::size_t end = begin + 1;
        while (end < sides.size() && sides[end].key == sides[begin].key) ++end;
        bool smooth = false;
        for (std::size_t i = begin; i < end && !smooth; ++i) {
            const FaceId fi = he[sides[i].half_edge].face;
            for (std::size_t j = i + 1; j < end && !smooth; ++j) {
                const FaceId fj = he[sides[j].half_edge].face;
                smooth = fi != fj && dot(faces_[fi].normal, faces_[fj].normal) >= threshold;
            }
        }
        if (smooth) {
            for (std::size_t i = begin; i < end; ++i) {
                const EdgeId e = he[sides[i].half_edge].edge;
                if (!edge_usable(e) || edges_[e].soft) continue;
                edge_mut(e).soft = true;
                ++softened;
            }
        }
        begin = end;
    }
    if (softened > 0) mark_changed(kEdgeTableBit);
    return softened;
}

namespace {

// Softens edges between two alive faces that admit(face) accepts and whose normals agree
// within eps; returns how many it softened.
template <class Admit>
std::uint64_t soften_coplanar(Mesh& mesh, float eps, Admit&& admit) {
    std::uint64_t softened = 0;
    for (EdgeId e = 0; e < mesh.edges().size(); ++e) {
        const Edge& edge = mesh.edges()[e];
        if (!edge.alive || edge.soft) continue;
        const auto he = mesh.half_edges();
        const HalfEdgeId h = edge.half_edge;
        if (h >= he.size() || he[h].twin >= he.size()) continue;
        const FaceId a = he[h].face, b = he[he[h].twin].face;
        if (a == b || !mesh.face_usable(a) || !mesh.face_usable(b)) continue;
        if (!admit(a) || !admit(b)) continue;
        if (dot(mesh.faces()[a].normal, mesh.faces()[b].normal) < eps) continue;
        mesh.edge_mut(e).soft = true;
        ++softened;
    }
    if (softened > 0) mesh.mark_changed(kEdgeTableBit);
    return softened;
}

}  // namespace

std::uint64_t Mesh::merge_coplanar_faces(float eps) {
    return soften_coplanar(*this, eps, [](FaceId) { return true; });
}

std::uint64_t Mesh::merge_coplanar_faces(std::span<const FaceId> faces, float eps) {
    const std::vector<FaceId> chosen = distinct_alive(faces);
    if (chosen.empty()) return 0;
    return soften_coplanar(
        *this, eps, [&](FaceId f) { return std::binary_search(chosen.begin(), chosen.end(), f); });
}

}  // namespace korvan
