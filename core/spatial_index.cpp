#include "core/spatial_index.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>

#include "core/dvec3.h"
#include "core/mesh.h"
#include "core/mesh_block_hashes.h"
#include "core/parallel_scan.h"

// Spatial index. Every hierarchy, per chunk and at the top level, is built the same way:
// a node covers a range of an index list; ranges of more than four items are split at their
// middle along the axis of widest centre spread, after a selection (three-way quickselect on
// ranges above 32 items, insertion sort below) has put the smaller centres first. Median
// splits keep the trees balanced, so a chunk of 1024 items is about nine levels deep and the
// fixed traversal stack is never the limit in practice.
//
// A chunk is carried over to a new index when everything it read to build itself is
// unchanged: its own block, the half-edge blocks its rings or edge ends went through and the
// vertex blocks of the positions it copied, each compared by hash. Half-edges count because
// a ring can change (a split edge) while the face record and its vertices stay the same.

namespace korvan {
namespace {

using Node = MeshSpatialIndex::Node;
using Hierarchy = MeshSpatialIndex::Hierarchy;
using VertexChunk = MeshSpatialIndex::VertexChunk;
using EdgeChunk = MeshSpatialIndex::EdgeChunk;
using FaceChunk = MeshSpatialIndex::FaceChunk;
using TopLevel = MeshSpatialIndex::TopLevel;

constexpr std::uint32_t kLeafItems = 4;
constexpr std::uint32_t kInsertionSortItems = 32;
constexpr std::size_t kTraversalStack = 96;
constexpr float kFar = 1e30f;
// Chunk builds are a thousand elements each: two are already worth the thread pool.
constexpr std::size_t kParallelChunkBuilds = 2;
constexpr std::uint32_t kBlockShift = MeshBlockHashes::kBlockShift;
constexpr std::uint32_t kBlockSize = MeshBlockHashes::kBlockSize;

// Selects rather than fmin/fmax: a NaN coordinate is simply not taken in, and the selects
// compile to single min/max instructions.
inline void grow(Vec3& lo, Vec3& hi, const Vec3& bmin, const Vec3& bmax) {
    lo.x = bmin.x < lo.x ? bmin.x : lo.x;
    lo.y = bmin.y < lo.y ? bmin.y : lo.y;
    lo.z = bmin.z < lo.z ? bmin.z : lo.z;
    hi.x = bmax.x > hi.x ? bmax.x : hi.x;
    hi.y = bmax.y > hi.y ? bmax.y : hi.y;
    hi.z = bmax.z > hi.z ? bmax.z : hi.z;
}

Aabb point_box(const Vec3& p) { return Aabb{p, p}; }

Aabb segment_box(const Vec3& a, const Vec3& b) {
    return Aabb{{std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)},
                {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)}};
}

bool overlaps(const Vec3& lo, const Vec3& hi, const Aabb& q) {
    return lo.x <= q.max.x && q.min.x <= hi.x && lo.y <= q.max.y && q.min.y <= hi.y &&
           lo.z <= q.max.z && q.min.z <= hi.z;
}

double box_distance_sq(const Vec3& lo, const Vec3& hi, const Vec3& p) {
    auto gap = [](double l, double h, double q) { return q < l ? l - q : q > h ? q - h : 0.0; };
    const double dx = gap(lo.x, hi.x, p.x), dy = gap(lo.y, hi.y, p.y), dz = gap(lo.z, hi.z, p.z);
    return dx * dx + dy * dy + dz * dz;
}

double distance_sq(const Vec3& a, const Vec3& p) {
    const DVec3 d = DVec3(a) - DVec3(p);
    return dot(d, d);
}

double segment_distance_sq(const Vec3& a, const Vec3& b, const Vec3& p) {
    const DVec3 da(a), ab = DVec3(b) - da, ap = DVec3(p) - da;
    const double len_sq = dot(ab, ab);
    double t = len_sq > 0.0 ? dot(ap, ab) / len_sq : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const DVec3 d = ap - ab * t;
    return dot(d, d);
}

// Unit normal in doubles; the same rounding wherever a plane is measured or tested.
DVec3 unit_normal(const Vec3& n) {
    const DVec3 d(n);
    const double len = std::sqrt(dot(d, d));
    return len > 0.0 ? d * (1.0 / len) : DVec3{};
}

class HierarchyBuilder {
public:
    HierarchyBuilder(Hierarchy& out, std::span<const Aabb> boxes) : out_(out), boxes_(boxes) {
        centres_.resize(boxes.size());
        keys_.resize(boxes.size());
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            const Vec3 c = (boxes[i].min + boxes[i].max) * 0.5f;
            centres_[i] = c;
            keys_[i] = {c.x, c.y, c.z};
        }
    }

    void build_node(std::uint32_t node, std::uint32_t start, std::uint32_t end) {
        if (end - start <= kLeafItems) {
            Vec3 lo{kFar, kFar, kFar}, hi{-kFar, -kFar, -kFar};
            for (std::uint32_t i = start; i < end; ++i) {
                const Aabb& b = boxes_[out_.leaf_items[i]];
                grow(lo, hi, b.min, b.max);
            }
            out_.nodes[node] = Node{lo, hi, start, end - start};
            return;
        }
        Vec3 centre_lo{kFar, kFar, kFar}, centre_hi{-kFar, -kFar, -kFar};
        for (std::uint32_t i = start; i < end; ++i) {
            const Vec3& c = centres_[out_.leaf_items[i]];
            grow(centre_lo, centre_hi, c, c);
        }
        const Vec3 spread = centre_hi - centre_lo;
        const int axis = spread.x >= spread.y && spread.x >= spread.z ? 0
                         : spread.y >= spread.z                       ? 1
                                                                      : 2;
        const std::uint32_t middle = start + (end - start) / 2;
        select_middle(start, end, middle, axis);
        // Indices, not references: the pair may move the array.
        const auto first = static_cast<std::uint32_t>(out_.nodes.size());
        out_.nodes.emplace_back();
        out_.nodes.emplace_back();
        build_node(first, start, middle);
        build_node(first + 1, middle, end);
        // The union of the children is the union of the items, found without another pass.
        Vec3 lo = out_.nodes[first].min, hi = out_.nodes[first].max;
        grow(lo, hi, out_.nodes[first + 1].min, out_.nodes[first + 1].max);
        out_.nodes[node] = Node{lo, hi, first, 0};
    }

private:
    // Orders [start, end) so that no centre before `middle` is greater than one at or after
    // it. The three-way partition keeps runs of equal centres (a flat grid has thousands)
    // from degrading to quadratic time.
    void select_middle(std::uint32_t start, std::uint32_t end, std::uint32_t middle, int axis) {
        std::vector<std::uint32_t>& items = out_.leaf_items;
        auto key = [&](std::uint32_t item) { return keys_[item][axis]; };
        while (end - start > kInsertionSortItems) {
            const float a = key(items[start]), b = key(items[start + (end - start) / 2]),
                        c = key(items[end - 1]);
            const float pivot = std::max(std::min(a, b), std::min(std::max(a, b), c));
            std::uint32_t lt = start, i = start, gt = end;
            while (i < gt) {
                const float k = key(items[i]);
                if (k < pivot)
                    std::swap(items[lt++], items[i++]);
                else if (k > pivot)
                    std::swap(items[i], items[--gt]);
                else
                    ++i;
            }
            if (middle < lt)
                end = lt;
            else if (middle >= gt)
                start = gt;
            else
                return;
        }
        for (std::uint32_t i = start + 1; i < end; ++i) {
            const std::uint32_t item = items[i];
            const float k = key(item);
            std::uint32_t j = i;
            for (; j > start && key(items[j - 1]) > k; --j) items[j] = items[j - 1];
            items[j] = item;
        }
    }

    Hierarchy& out_;
    std::span<const Aabb> boxes_;
    std::vector<Vec3> centres_;
    std::vector<std::array<float, 3>> keys_;  // the centres again, indexable by axis
};

// Depth first from the root; enter(min, max) decides whether a node is worth opening and
// leaf(item) receives each item of an opened leaf. First children are visited first.
template <class Enter, class Leaf>
void traverse(const Hierarchy& h, Enter&& enter, Leaf&& leaf) {
    if (h.nodes.empty()) return;
    std::array<std::uint32_t, kTraversalStack> stack;
    std::size_t top = 0;
    stack[top++] = 0;
    while (top > 0) {
        const Node& n = h.nodes[stack[--top]];
        if (!enter(n.min, n.max)) continue;
        if (n.count != 0) {
            for (std::uint32_t k = n.index; k < n.index + n.count; ++k) leaf(h.leaf_items[k]);
            continue;
        }
        if (top + 2 > kTraversalStack) continue;
        stack[top++] = n.index + 1;
        stack[top++] = n.index;
    }
}

// Runs the same node test through the top level and into each chunk it reaches.
template <class Chunk, class Enter, class Leaf>
void traverse_chunks(const TopLevel& top, std::span<const std::shared_ptr<const Chunk>> chunks,
                     Enter&& enter, Leaf&& leaf) {
    traverse(top.hierarchy, enter, [&](std::uint32_t entry) {
        const Chunk& chunk = *chunks[top.chunks[entry]];
        traverse(chunk.hierarchy, enter, [&](std::uint32_t item) { leaf(chunk, item); });
    });
}

template <class T>
void sort_unique(std::vector<T>& ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

// Blocks of the ids a chunk read while building; an id out of range counts too, since the
// table growing over it would change what the chunk saw.
class BlockDeps {
public:
    void add(std::uint32_t id) {
        if (id == kInvalidId) return;
        const std::uint32_t block = id >> kBlockShift;
        if (blocks_.empty() || blocks_.back() != block) blocks_.push_back(block);
    }
    std::vector<std::uint32_t> take() {
        sort_unique(blocks_);
        return std::move(blocks_);
    }

private:
    std::vector<std::uint32_t> blocks_;
};

std::pair<std::uint32_t, std::uint32_t> block_range(std::size_t size, std::uint32_t block) {
    const std::uint32_t first = block << kBlockShift;
    const auto end =
        static_cast<std::uint32_t>(std::min<std::size_t>(size, first + std::size_t{kBlockSize}));
    return {first, end};
}

std::shared_ptr<const VertexChunk> build_vertex_chunk(std::span<const Vertex> vs,
                                                      std::uint32_t block) {
    auto chunk = std::make_shared<VertexChunk>();
    const auto [first, end] = block_range(vs.size(), block);
    std::vector<Aabb> boxes;
    boxes.reserve(end - first);
    chunk->ids.reserve(end - first);
    chunk->positions.reserve(end - first);
    for (VertexId v = first; v < end; ++v) {
        if (!vs[v].alive) continue;
        chunk->ids.push_back(v);
        chunk->positions.push_back(vs[v].position);
        boxes.push_back(point_box(vs[v].position));
    }
    chunk->hierarchy.build(boxes);
    chunk->box = chunk->hierarchy.bounds();
    return chunk;
}

std::shared_ptr<const EdgeChunk> build_edge_chunk(std::span<const Vertex> vs,
                                                  std::span<const HalfEdge> he,
                                                  std::span<const Edge> es, std::uint32_t block) {
    auto chunk = std::make_shared<EdgeChunk>();
    const auto [first, end] = block_range(es.size(), block);
    BlockDeps vertex_deps, half_edge_deps;
    std::vector<Aabb> boxes;
    boxes.reserve(end - first);
    chunk->ids.reserve(end - first);
    chunk->ends.reserve(2 * std::size_t{end - first});
    for (EdgeId e = first; e < end; ++e) {
        if (!es[e].alive) continue;
        const HalfEdgeId h = es[e].half_edge;
        half_edge_deps.add(h);
        if (h >= he.size()) continue;
        const HalfEdgeId t = he[h].twin;
        half_edge_deps.add(t);
        if (t >= he.size()) continue;
        const VertexId a = he[h].origin, b = he[t].origin;
        vertex_deps.add(a);
        vertex_deps.add(b);
        if (a >= vs.size() || b >= vs.size()) continue;
        chunk->ids.push_back(e);
        chunk->ends.push_back(vs[a].position);
        chunk->ends.push_back(vs[b].position);
        boxes.push_back(segment_box(vs[a].position, vs[b].position));
    }
    chunk->hierarchy.build(boxes);
    chunk->box = chunk->hierarchy.bounds();
    chunk->vertex_blocks = vertex_deps.take();
    chunk->half_edge_blocks = half_edge_deps.take();
    return chunk;
}

std::shared_ptr<const FaceChunk> build_face_chunk(std::span<const Vertex> vs,
                                                  std::span<const HalfEdge> he,
                                                  std::span<const Face> fs, std::uint32_t block) {
    auto chunk = std::make_shared<FaceChunk>();
    FaceChunk& c = *chunk;
    const auto [first, end] = block_range(fs.size(), block);
    BlockDeps vertex_deps, half_edge_deps;
    std::vector<VertexId> ring;
    std::vector<std::uint32_t> tree_faces;
    std::vector<Aabb> tree_boxes;
    double deviation = 0.0;
    // Sized for quads; larger rings grow the lists as usual.
    const std::size_t count = end - first, corners = 4 * count;
    c.ids.reserve(count);
    c.ring_offsets.reserve(count + 1);
    c.ring_vertices.reserve(corners);
    c.ring_positions.reserve(corners);
    c.centres.reserve(count);
    c.boxes.reserve(count);
    c.normals.reserve(count);
    c.has_plane.reserve(count);
    tree_faces.reserve(count);
    tree_boxes.reserve(count);
    c.ring_offsets.push_back(0);
    const std::size_t walk_limit = he.size() + 1;

    for (FaceId f = first; f < end; ++f) {
        if (!fs[f].alive) continue;
        // The ring walk of Mesh::face_vertices, noting every block it reads.
        ring.clear();
        bool whole = true;
        std::size_t steps = 0;
        const HalfEdgeId start = fs[f].half_edge;
        half_edge_deps.add(start);
        for (HalfEdgeId h = start; h < he.size();) {
            if (++steps > walk_limit) {
                c.reusable = false;
                whole = false;
                break;
            }
            const VertexId v = he[h].origin;
            vertex_deps.add(v);
            if (v >= vs.size()) {
                whole = false;  // a ring naming a missing vertex has no geometry
                break;
            }
            ring.push_back(v);
            h = he[h].next;
            half_edge_deps.add(h);
            if (h == start) break;
        }
        if (!whole || ring.empty()) continue;

        const auto number = static_cast<std::uint32_t>(c.ids.size());
        Aabb box;
        DVec3 sum;
        for (const VertexId v : ring) {
            const Vec3& p = vs[v].position;
            c.ring_vertices.push_back(v);
            c.ring_positions.push_back(p);
            box.expand(p);
            sum += DVec3(p);
        }
        const Vec3 centre = (sum * (1.0 / static_cast<double>(ring.size()))).to_vec3();
        const Vec3 normal = fs[f].normal;
        const bool plane =
            ring.size() >= 3 && dot(DVec3(normal), DVec3(normal)) >= kDegenerateNormalSq;
        if (plane) {
            const DVec3 n = unit_normal(normal), o(centre);
            for (const VertexId v : ring) {
                deviation = std::max(deviation, std::fabs(dot(n, DVec3(vs[v].position) - o)));
            }
        }
        c.ids.push_back(f);
        c.ring_offsets.push_back(static_cast<std::uint32_t>(c.ring_vertices.size()));
        c.centres.push_back(centre);
        c.boxes.push_back(box);
        c.normals.push_back(normal);
        c.has_plane.push_back(plane ? 1 : 0);
        if (ring.size() >= 3) {
            tree_faces.push_back(number);
            tree_boxes.push_back(box);
        } else {
            c.side_faces.push_back(number);
        }
    }

    c.hierarchy.build(tree_boxes);
    for (std::uint32_t& item : c.hierarchy.leaf_items) item = tree_faces[item];
    c.face_box = c.hierarchy.bounds();
    c.wide_box = c.face_box;
    for (const std::uint32_t s : c.side_faces) {
        c.wide_box.expand(c.boxes[s]);
        c.wide_box.expand(c.centres[s]);
    }
    // Rounded up, so a plane test widened by it never loses a face to rounding.
    float rounded = static_cast<float>(deviation);
    if (static_cast<double>(rounded) < deviation) {
        rounded = std::nextafter(rounded, std::numeric_limits<float>::infinity());
    }
    c.plane_deviation = rounded;
    c.vertex_blocks = vertex_deps.take();
    c.half_edge_blocks = half_edge_deps.take();
    return chunk;
}

template <class Chunk, class BoxOf>
void build_top(TopLevel& top, std::span<const std::shared_ptr<const Chunk>> chunks,
               BoxOf&& box_of) {
    std::vector<Aabb> boxes;
    top.chunks.clear();
    for (std::size_t c = 0; c < chunks.size(); ++c) {
        const Aabb box = box_of(*chunks[c]);
        if (box.empty()) continue;
        boxes.push_back(box);
        top.chunks.push_back(static_cast<std::uint32_t>(c));
    }
    top.hierarchy.build(boxes);
}

bool same_hash(const std::vector<std::uint64_t>& before, const std::vector<std::uint64_t>& now,
               std::uint32_t block) {
    return block < before.size() && block < now.size() && before[block] == now[block];
}

bool same_blocks(std::span<const std::uint32_t> blocks, const std::vector<std::uint64_t>& before,
                 const std::vector<std::uint64_t>& now) {
    return std::all_of(blocks.begin(), blocks.end(),
                       [&](std::uint32_t b) { return same_hash(before, now, b); });
}

// Fills `out` with one chunk per block: the previous chunk where keep(block) allows, a new
// one from make(block) otherwise, the new ones built in parallel.
template <class Chunk, class Keep, class Make>
void refresh_chunks(std::vector<std::shared_ptr<const Chunk>>& out,
                    std::span<const std::shared_ptr<const Chunk>> previous, std::size_t blocks,
                    Keep&& keep, Make&& make) {
    out.assign(blocks, nullptr);
    std::vector<std::uint32_t> todo;
    for (std::uint32_t b = 0; b < blocks; ++b) {
        if (b < previous.size() && previous[b] && keep(b, *previous[b]))
            out[b] = previous[b];
        else
            todo.push_back(b);
    }
    auto fresh =
        run_chunks<std::shared_ptr<const Chunk>>(todo.size(), todo.size() >= kParallelChunkBuilds,
                                                 [&](std::size_t i) { return make(todo[i]); });
    for (std::size_t i = 0; i < todo.size(); ++i) out[todo[i]] = std::move(fresh[i]);
}

std::size_t block_count(std::size_t size) { return (size + kBlockSize - 1) >> kBlockShift; }

}  // namespace

// ---- Hierarchy -------------------------------------------------------------------------

void MeshSpatialIndex::Hierarchy::build(std::span<const Aabb> boxes) {
    const auto n = static_cast<std::uint32_t>(boxes.size());
    nodes.clear();
    leaf_items.resize(n);
    std::iota(leaf_items.begin(), leaf_items.end(), 0u);
    if (n == 0) return;  // no root: a leaf needs a count, an empty root would read as interior
    nodes.reserve(2 * (std::size_t{n} / 2 + 2));
    nodes.emplace_back();
    HierarchyBuilder(*this, boxes).build_node(0, 0, n);
}

Aabb MeshSpatialIndex::Hierarchy::bounds() const {
    if (nodes.empty()) return Aabb{};
    const Aabb root{nodes[0].min, nodes[0].max};
    return root.empty() ? Aabb{} : root;
}

// ---- Building --------------------------------------------------------------------------

std::shared_ptr<const MeshSpatialIndex> MeshSpatialIndex::build(
    const Mesh& mesh, std::shared_ptr<const MeshBlockHashes> hashes,
    const MeshSpatialIndex* previous) {
    auto index = std::make_shared<MeshSpatialIndex>();
    const std::span<const Vertex> vs = mesh.vertices();
    const std::span<const HalfEdge> he = mesh.half_edges();
    const std::span<const Edge> es = mesh.edges();
    const std::span<const Face> fs = mesh.faces();

    // Without the hashes of the previous generation nothing can be shown unchanged.
    static const MeshBlockHashes kNoHashes;
    const MeshBlockHashes& now = hashes ? *hashes : kNoHashes;
    const bool reuse = previous && previous->hashes_ && hashes;
    const MeshBlockHashes& before = reuse ? *previous->hashes_ : kNoHashes;
    std::span<const std::shared_ptr<const VertexChunk>> old_vertex_chunks;
    std::span<const std::shared_ptr<const EdgeChunk>> old_edge_chunks;
    std::span<const std::shared_ptr<const FaceChunk>> old_face_chunks;
    if (reuse) {
        old_vertex_chunks = previous->vertex_chunks_;
        old_edge_chunks = previous->edge_chunks_;
        old_face_chunks = previous->face_chunks_;
    }

    refresh_chunks<VertexChunk>(
        index->vertex_chunks_, old_vertex_chunks, block_count(vs.size()),
        [&](std::uint32_t b, const VertexChunk&) {
            return same_hash(before.vertices, now.vertices, b);
        },
        [&](std::uint32_t b) { return build_vertex_chunk(vs, b); });
    refresh_chunks<EdgeChunk>(
        index->edge_chunks_, old_edge_chunks, block_count(es.size()),
        [&](std::uint32_t b, const EdgeChunk& old) {
            return same_hash(before.edges, now.edges, b) &&
                   same_blocks(old.half_edge_blocks, before.half_edges, now.half_edges) &&
                   same_blocks(old.vertex_blocks, before.vertices, now.vertices);
        },
        [&](std::uint32_t b) { return build_edge_chunk(vs, he, es, b); });
    refresh_chunks<FaceChunk>(
        index->face_chunks_, old_face_chunks, block_count(fs.size()),
        [&](std::uint32_t b, const FaceChunk& old) {
            return old.reusable && same_hash(before.faces, now.faces, b) &&
                   same_blocks(old.half_edge_blocks, before.half_edges, now.half_edges) &&
                   same_blocks(old.vertex_blocks, before.vertices, now.vertices);
        },
        [&](std::uint32_t b) { return build_face_chunk(vs, he, fs, b); });

    const auto vertex_chunks =
        std::span<const std::shared_ptr<const VertexChunk>>(index->vertex_chunks_);
    const auto edge_chunks = std::span<const std::shared_ptr<const EdgeChunk>>(index->edge_chunks_);
    const auto face_chunks = std::span<const std::shared_ptr<const FaceChunk>>(index->face_chunks_);
    build_top(index->vertex_top_, vertex_chunks, [](const VertexChunk& c) { return c.box; });
    build_top(index->edge_top_, edge_chunks, [](const EdgeChunk& c) { return c.box; });
    build_top(index->face_top_, face_chunks, [](const FaceChunk& c) { return c.face_box; });
    build_top(index->face_wide_top_, face_chunks, [](const FaceChunk& c) { return c.wide_box; });
    for (const auto& c : face_chunks) {
        index->plane_deviation_ = std::max(index->plane_deviation_, c->plane_deviation);
        if (!c->side_faces.empty()) index->has_side_faces_ = true;
    }
    index->hashes_ = std::move(hashes);
    index->revision_ = mesh.revision();
    return index;
}

std::shared_ptr<const MeshSpatialIndex> Mesh::spatial_index() {
    // The cached index must come from the cached hashes: a vertex moved in place takes no new
    // revision, and a refresh of the hashes alone would otherwise hide it.
    if (spatial_index_ && spatial_index_->revision() == revision_ &&
        spatial_index_->block_hashes() == block_hashes_ &&
        vertices_.latest_stamp() < hashed_epoch_ && half_edges_.latest_stamp() < hashed_epoch_ &&
        edges_.latest_stamp() < hashed_epoch_ && faces_.latest_stamp() < hashed_epoch_) {
        return spatial_index_;
    }
    std::shared_ptr<const MeshBlockHashes> hashes = block_hashes();
    spatial_index_ = MeshSpatialIndex::build(*this, std::move(hashes), spatial_index_.get());
    return spatial_index_;
}

// ---- Queries ---------------------------------------------------------------------------

std::vector<VertexId> MeshSpatialIndex::vertices_in_box(const Aabb& box) const {
    std::vector<VertexId> out;
    if (box.empty()) return out;
    auto enter = [&](const Vec3& lo, const Vec3& hi) { return overlaps(lo, hi, box); };
    traverse_chunks(vertex_top_, vertex_chunks(), enter,
                    [&](const VertexChunk& c, std::uint32_t i) {
                        if (box.contains(c.positions[i])) out.push_back(c.ids[i]);
                    });
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<EdgeId> MeshSpatialIndex::edges_in_box(const Aabb& box) const {
    std::vector<EdgeId> out;
    if (box.empty()) return out;
    auto enter = [&](const Vec3& lo, const Vec3& hi) { return overlaps(lo, hi, box); };
    traverse_chunks(edge_top_, edge_chunks(), enter, [&](const EdgeChunk& c, std::uint32_t i) {
        const Aabb b = segment_box(c.ends[2 * i], c.ends[2 * i + 1]);
        if (overlaps(b.min, b.max, box)) out.push_back(c.ids[i]);
    });
    std::sort(out.begin(), out.end());
    return out;
}

namespace {

// Faces in the chunk hierarchies through the face-box top level, then, when any chunk has
// them, the side-listed faces of the chunks whose wide box passes.
template <class Enter, class Visit>
void traverse_faces(const TopLevel& face_top, const TopLevel& wide_top, bool side_faces,
                    std::span<const std::shared_ptr<const FaceChunk>> chunks, Enter&& enter,
                    Visit&& visit) {
    traverse_chunks(face_top, chunks, enter, visit);
    if (!side_faces) return;
    traverse(wide_top.hierarchy, enter, [&](std::uint32_t entry) {
        const FaceChunk& c = *chunks[wide_top.chunks[entry]];
        for (const std::uint32_t s : c.side_faces) visit(c, s);
    });
}

bool bad_distance(const Vec3& point, float distance) {
    return !(distance >= 0.0f) || std::isnan(point.x) || std::isnan(point.y) || std::isnan(point.z);
}

}  // namespace

std::vector<FaceId> MeshSpatialIndex::faces_in_box(const Aabb& box) const {
    std::vector<FaceId> out;
    if (box.empty()) return out;
    auto enter = [&](const Vec3& lo, const Vec3& hi) { return overlaps(lo, hi, box); };
    traverse_faces(face_top_, face_wide_top_, has_side_faces_, face_chunks(), enter,
                   [&](const FaceChunk& c, std::uint32_t i) {
                       if (overlaps(c.boxes[i].min, c.boxes[i].max, box)) out.push_back(c.ids[i]);
                   });
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<VertexId> MeshSpatialIndex::vertices_near(const Vec3& point, float distance) const {
    std::vector<VertexId> out;
    if (bad_distance(point, distance)) return out;
    const double limit = static_cast<double>(distance) * distance;
    auto enter = [&](const Vec3& lo, const Vec3& hi) {
        return box_distance_sq(lo, hi, point) <= limit;
    };
    traverse_chunks(vertex_top_, vertex_chunks(), enter,
                    [&](const VertexChunk& c, std::uint32_t i) {
                        if (distance_sq(c.positions[i], point) <= limit) out.push_back(c.ids[i]);
                    });
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<EdgeId> MeshSpatialIndex::edges_near(const Vec3& point, float distance) const {
    std::vector<EdgeId> out;
    if (bad_distance(point, distance)) return out;
    const double limit = static_cast<double>(distance) * distance;
    auto enter = [&](const Vec3& lo, const Vec3& hi) {
        return box_distance_sq(lo, hi, point) <= limit;
    };
    traverse_chunks(edge_top_, edge_chunks(), enter, [&](const EdgeChunk& c, std::uint32_t i) {
        if (segment_distance_sq(c.ends[2 * i], c.ends[2 * i + 1], point) <= limit) {
            out.push_back(c.ids[i]);
        }
    });
    std::sort(out.begin(), out.end());
    return out;
}

std::vector<FaceId> MeshSpatialIndex::faces_near(const Vec3& point, float distance) const {
    std::vector<FaceId> out;
    if (bad_distance(point, distance)) return out;
    const double limit = static_cast<double>(distance) * distance;
    const DVec3 p(point);
    auto enter = [&](const Vec3& lo, const Vec3& hi) {
        return box_distance_sq(lo, hi, point) <= limit;
    };
    traverse_faces(face_top_, face_wide_top_, has_side_faces_, face_chunks(), enter,
                   [&](const FaceChunk& c, std::uint32_t i) {
                       if (box_distance_sq(c.boxes[i].min, c.boxes[i].max, point) > limit) return;
                       if (c.has_plane[i]) {
                           const double off =
                               dot(unit_normal(c.normals[i]), p - DVec3(c.centres[i]));
                           if (std::fabs(off) > static_cast<double>(distance) + c.plane_deviation) {
                               return;
                           }
                       }
                       out.push_back(c.ids[i]);
                   });
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<VertexId> MeshSpatialIndex::nearest_vertex(const Vec3& point,
                                                         float max_distance) const {
    if (bad_distance(point, max_distance)) return std::nullopt;
    double best_sq = static_cast<double>(max_distance) * max_distance;
    VertexId best = kInvalidId;
    // Nodes are tested when popped, so the radius shrinks as closer vertices turn up.
    auto enter = [&](const Vec3& lo, const Vec3& hi) {
        return box_distance_sq(lo, hi, point) <= best_sq;
    };
    traverse_chunks(vertex_top_, vertex_chunks(), enter,
                    [&](const VertexChunk& c, std::uint32_t i) {
                        const double d = distance_sq(c.positions[i], point);
                        if (d < best_sq || (d == best_sq && c.ids[i] < best)) {
                            best_sq = d;
                            best = c.ids[i];
                        }
                    });
    if (best == kInvalidId) return std::nullopt;
    return best;
}

std::vector<FaceId> MeshSpatialIndex::faces_using_vertices(
    std::span<const VertexId> vertices) const {
    std::vector<VertexId> wanted(vertices.begin(), vertices.end());
    sort_unique(wanted);
    std::vector<FaceId> out;
    for (const VertexId v : wanted) {
        const std::uint32_t block = v >> kBlockShift;
        if (v == kInvalidId || block >= vertex_chunks_.size()) continue;
        const VertexChunk& vc = *vertex_chunks_[block];
        const auto it = std::lower_bound(vc.ids.begin(), vc.ids.end(), v);
        if (it == vc.ids.end() || *it != v) continue;  // dead
        const Vec3 p = vc.positions[static_cast<std::size_t>(it - vc.ids.begin())];
        const Aabb at = point_box(p);
        auto enter = [&](const Vec3& lo, const Vec3& hi) { return overlaps(lo, hi, at); };
        traverse_faces(face_top_, face_wide_top_, has_side_faces_, face_chunks(), enter,
                       [&](const FaceChunk& c, std::uint32_t i) {
                           const auto ring = std::span(c.ring_vertices)
                                                 .subspan(c.ring_offsets[i], c.ring_offsets[i + 1] -
                                                                                 c.ring_offsets[i]);
                           if (std::find(ring.begin(), ring.end(), v) != ring.end()) {
                               out.push_back(c.ids[i]);
                           }
                       });
    }
    sort_unique(out);
    return out;
}

}  // namespace korvan
