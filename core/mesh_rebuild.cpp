#include "core/mesh.h"

#include "core/parallel_sort.h"

#include <algorithm>

// Ring snapshot and rebuild: operations that cut many faces at once edit plain vertex rings
// and then replace the whole topology by them, instead of patching half-edges face by face.
// Soft and seam flags live on edges, which the rebuild renews, so they are carried across by
// vertex pair; a pair keeps a flag when any of its edges had it.

namespace korvan {
namespace {

constexpr std::uint8_t kSoftFlag = 1;
constexpr std::uint8_t kSeamFlag = 2;

struct PairFlags {
    std::uint64_t key = 0;  // lower vertex id in the high word
    std::uint8_t flags = 0;
};

std::uint64_t pair_key(VertexId a, VertexId b) {
    return (std::uint64_t{std::min(a, b)} << 32) | std::max(a, b);
}

}  // namespace

RingSnapshot Mesh::snapshot_rings() const {
    RingSnapshot snap;
    const std::span<const Face> fs = faces_.view();
    for (FaceId f = 0; f < fs.size(); ++f) {
        if (!fs[f].alive) continue;
        RingFace rf;
        rf.material_id = fs[f].material_id;
        rf.layer_id = fs[f].layer_id;
        rf.visible = fs[f].visible;
        const bool uvs = face_has_uvs(f);
        walk_ring(f, [&](HalfEdgeId h) {
            rf.ring.push_back(half_edges_[h].origin);
            if (uvs) rf.corners.push_back(corner_uv(h));
        });
        if (rf.ring.size() != rf.corners.size()) rf.corners.clear();
        snap.faces.push_back(std::move(rf));
    }
    return snap;
}

std::uint64_t Mesh::rebuild_from_rings(const RingSnapshot& snapshot) {
    std::vector<PairFlags> kept;
    const std::span<const Edge> es = edges_.view();
    for (EdgeId e = 0; e < es.size(); ++e) {
        if (!es[e].alive || (!es[e].soft && !es[e].seam)) continue;
        const auto ends = edge_vertices(e);
        if (ends[0] == kInvalidId || ends[1] == kInvalidId) continue;
        kept.push_back(
            {pair_key(ends[0], ends[1]), static_cast<std::uint8_t>((es[e].soft ? kSoftFlag : 0) |
                                                                   (es[e].seam ? kSeamFlag : 0))});
    }
    // Equal keys may come in any order: their flags are or-ed together.
    auto by_key = [](const PairFlags& a, const PairFlags& b) { return a.key < b.key; };
    sort_records(kept.begin(), kept.end(), by_key);

    mark_changed(kAllTableBits);
    half_edges_.clear();
    edges_.clear();
    faces_.clear();
    corner_uvs_.clear();

    std::uint64_t made = 0;
    for (const RingFace& rf : snapshot.faces) {
        if (rf.ring.size() < 3) continue;
        const std::optional<FaceId> f = add_ngon(rf.ring);
        if (!f) continue;
        ++made;
        Face& rec = face_mut(*f);
        rec.material_id = rf.material_id;
        rec.layer_id = rf.layer_id;
        rec.visible = rf.visible;
        ensure_layer(rf.layer_id);
        if (rf.corners.size() == rf.ring.size()) {
            const HalfEdgeId first = faces_[*f].half_edge;
            for (std::size_t i = 0; i < rf.corners.size(); ++i) {
                if (rf.corners[i].set) {
                    set_corner_uv(first + static_cast<HalfEdgeId>(i), rf.corners[i].u,
                                  rf.corners[i].v);
                }
            }
        }
    }
    link_shared_edges();

    if (!kept.empty()) {
        for (EdgeId e = 0; e < edges_.size(); ++e) {
            if (!edges_[e].alive) continue;
            const auto ends = edge_vertices(e);
            if (ends[0] == kInvalidId || ends[1] == kInvalidId) continue;
            const std::uint64_t key = pair_key(ends[0], ends[1]);
            std::uint8_t flags = 0;
            for (auto it = std::lower_bound(kept.begin(), kept.end(), PairFlags{key, 0}, by_key);
                 it != kept.end() && it->key == key; ++it) {
                flags |= it->flags;
            }
            if (flags == 0) continue;
            Edge& rec = edge_mut(e);
            rec.soft = (flags & kSoftFlag) != 0;
            rec.seam = (flags & kSeamFlag) != 0;
        }
    }
    mark_changed(kAllTableBits);
    return made;
}

}  // namespace korvan
