#include "tools/boolean_bsp.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <span>
#include <utility>
#include <vector>

#include "core/dvec3.h"
#include "core/polygon_2d.h"
#include "core/proximity_grid.h"

// BSP solid booleans. Each operand's polygons are built into a tree whose node planes are the
// planes of the first polygon to reach them; a polygon is split by every node plane it
// crosses (vertices within 1e-5 of a plane count as on it). Clipping a tree to another removes
// the parts of its polygons inside the other solid; inverting turns a solid inside out. The
// three operations are sequences of these:
//   union:     clip A to B; clip B to A; invert B; clip B to A; invert B; build B into A
//   subtract:  invert A, then union's steps, then invert A
//   intersect: invert A; clip B to A; invert B; clip A to B; clip B to A; build B into A;
//              invert A
//
// Curved solids make a tree a chain as deep as the polygon count, so nothing recurses on the
// call stack: build, clip and collection run on explicit work stacks, invert is a loop over
// the node array. Each tree owns pooled storage (one array of points, one of polygons, one
// of nodes; polygon lists of a node are chains through the polygons), so a split costs no
// allocation. Clipping reads only the other tree's planes and children, so the two operands'
// clips run on two threads when neither depends on the other's result.

namespace korvan {
namespace {

constexpr float kPlaneEpsilon = 1e-5f;  // a vertex this close to a plane is on it
constexpr double kParallelEdge = 1e-20;
constexpr double kMinNormalLength = 1e-12;
constexpr float kRepairTolerance = 1e-4f;
constexpr int kRepairRounds = 8;
constexpr std::uint64_t kMaxSplitsPerPass = 100000;
constexpr double kFoldedArea = 1e-9;  // square metres: a loop this small is folded flat
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

enum : std::uint8_t { kCoplanar = 0, kFront = 1, kBack = 2, kSpanning = 3 };

struct CsgPlane {
    Vec3 normal{0.0f, 0.0f, 1.0f};
    float w = 0.0f;  // the plane is normal . p = w
    bool set = false;
};

// A polygon's points are points[first, first + count) of its tree.
struct CsgPolygon {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    CsgPlane plane;
    std::uint32_t tag = 0;       // the source face's material, carried through splits
    std::uint32_t next = kNone;  // next polygon of the same node list
};

struct CsgNode {
    CsgPlane plane;
    std::uint32_t front = kNone;
    std::uint32_t back = kNone;
};

// Kept apart from CsgNode: clipping one tree rewrites its lists while the other tree's clip
// reads its planes and children on another thread.
struct NodeList {
    std::uint32_t head = kNone;
    std::uint32_t tail = kNone;
};

using IdList = std::vector<std::uint32_t>;

// Spent id lists keep their capacity for the next split.
class ListPool {
  public:
    IdList take() {
        if (free_.empty()) return {};
        IdList list = std::move(free_.back());
        free_.pop_back();
        list.clear();
        return list;
    }
    void give(IdList&& list) { free_.push_back(std::move(list)); }

  private:
    std::vector<IdList> free_;
};

void append(IdList& to, const IdList& from) { to.insert(to.end(), from.begin(), from.end()); }

class CsgTree {
  public:
    CsgTree() : nodes_(1), lists_(1) {}

    // Every alive face with a plane becomes a polygon: a convex face whole, any other face as
    // its ear-clipped triangles (a concave piece would not split into simple pieces).
    IdList load(const Mesh& mesh) {
        IdList ids;
        const auto vs = mesh.vertices();
        std::vector<Vec3> ring;
        for (const FaceId f : mesh.alive_faces()) {
            ring.clear();
            for (const VertexId v : mesh.face_vertices(f)) {
                if (v < vs.size()) ring.push_back(vs[v].position);
            }
            if (ring.size() < 3) continue;
            DVec3 n;
            for (std::size_t i = 0; i < ring.size(); ++i) {
                const DVec3 p(ring[i]), q(ring[(i + 1) % ring.size()]);
                n.x += (p.y - q.y) * (p.z + q.z);
                n.y += (p.z - q.z) * (p.x + q.x);
                n.z += (p.x - q.x) * (p.y + q.y);
            }
            const double len = std::sqrt(dot(n, n));
            if (len < kMinNormalLength) continue;
            CsgPlane plane;
            plane.normal = (n * (1.0 / len)).to_vec3();
            plane.w = dot(plane.normal, ring[0]);
            plane.set = true;
            const std::uint32_t tag = mesh.faces()[f].material_id;
            if (convex(ring, n)) {
                ids.push_back(add_polygon(ring, plane, tag));
                continue;
            }
            Vec3 tri[3];
            for (const IndexTriangle& t : triangulate_polygon_2d(ring)) {
                for (int k = 0; k < 3; ++k) tri[k] = ring[t[k]];
                ids.push_back(add_polygon(tri, plane, tag));
            }
        }
        return ids;
    }

    std::uint32_t add_polygon(std::span<const Vec3> pts, const CsgPlane& plane, std::uint32_t tag) {
        CsgPolygon p;
        p.first = static_cast<std::uint32_t>(points_.size());
        p.count = static_cast<std::uint32_t>(pts.size());
        p.plane = plane;
        p.tag = tag;
        points_.insert(points_.end(), pts.begin(), pts.end());
        polygons_.push_back(p);
        return static_cast<std::uint32_t>(polygons_.size() - 1);
    }

    // Copies the listed polygons of another tree into this one's storage.
    IdList import(const CsgTree& other, const IdList& ids) {
        IdList out;
        out.reserve(ids.size());
        for (const std::uint32_t id : ids) {
            const CsgPolygon& p = other.polygons_[id];
            out.push_back(add_polygon(other.points(p), p.plane, p.tag));
        }
        return out;
    }

    // Adds the polygons to the tree from the root.
    void build(IdList polys) {
        if (polys.empty()) return;
        std::vector<std::pair<std::uint32_t, IdList>> stack;
        stack.emplace_back(0u, std::move(polys));
        IdList own;
        while (!stack.empty()) {
            auto [node, list] = std::move(stack.back());
            stack.pop_back();
            if (!nodes_[node].plane.set) nodes_[node].plane = polygons_[list.front()].plane;
            const CsgPlane plane = nodes_[node].plane;
            IdList front = pool_.take(), back = pool_.take();
            own.clear();
            for (const std::uint32_t id : list) split(id, plane, own, own, front, back);
            for (const std::uint32_t id : own) link(node, id);
            if (!front.empty()) {
                if (nodes_[node].front == kNone) {
                    const std::uint32_t child = new_node();
                    nodes_[node].front = child;
                }
                stack.emplace_back(nodes_[node].front, std::move(front));
            } else {
                pool_.give(std::move(front));
            }
            if (!back.empty()) {
                if (nodes_[node].back == kNone) {
                    const std::uint32_t child = new_node();
                    nodes_[node].back = child;
                }
                stack.emplace_back(nodes_[node].back, std::move(back));
            } else {
                pool_.give(std::move(back));
            }
            pool_.give(std::move(list));
        }
    }

    // Replaces every node's polygons by the parts of them outside `by`.
    void clip_to(const CsgTree& by) {
        IdList in, out;
        for (std::uint32_t n = 0; n < lists_.size(); ++n) {
            in.clear();
            for (std::uint32_t id = lists_[n].head; id != kNone; id = polygons_[id].next) {
                in.push_back(id);
            }
            if (in.empty()) continue;
            out.clear();
            clip_polygons(by, in, out);
            lists_[n] = NodeList{};
            for (const std::uint32_t id : out) link(n, id);
        }
    }

    // Turns the solid inside out: every polygon and plane flips, front and back swap.
    void invert() {
        for (std::uint32_t n = 0; n < nodes_.size(); ++n) {
            for (std::uint32_t id = lists_[n].head; id != kNone; id = polygons_[id].next) {
                CsgPolygon& p = polygons_[id];
                std::reverse(points_.begin() + p.first, points_.begin() + p.first + p.count);
                flip(p.plane);
            }
            CsgNode& node = nodes_[n];
            flip(node.plane);
            std::swap(node.front, node.back);
        }
    }

    // A node's polygons, then its front subtree's, then its back subtree's.
    IdList all_polygons() const {
        IdList out;
        std::vector<std::uint32_t> stack{0u};
        while (!stack.empty()) {
            const std::uint32_t n = stack.back();
            stack.pop_back();
            for (std::uint32_t id = lists_[n].head; id != kNone; id = polygons_[id].next) {
                out.push_back(id);
            }
            if (nodes_[n].back != kNone) stack.push_back(nodes_[n].back);
            if (nodes_[n].front != kNone) stack.push_back(nodes_[n].front);
        }
        return out;
    }

    std::span<const Vec3> points(const CsgPolygon& p) const {
        return {points_.data() + p.first, p.count};
    }
    const CsgPolygon& polygon(std::uint32_t id) const { return polygons_[id]; }

  private:
    static void flip(CsgPlane& plane) {
        plane.normal = -plane.normal;
        plane.w = -plane.w;
    }

    static bool convex(const std::vector<Vec3>& ring, const DVec3& n) {
        const std::size_t k = ring.size();
        for (std::size_t i = 0; i < k; ++i) {
            const DVec3 a(ring[i]), b(ring[(i + 1) % k]), c(ring[(i + 2) % k]);
            if (dot(cross(b - a, c - b), n) < 0.0) return false;
        }
        return true;
    }

    std::uint32_t new_node() {
        nodes_.emplace_back();
        lists_.emplace_back();
        return static_cast<std::uint32_t>(nodes_.size() - 1);
    }

    void link(std::uint32_t node, std::uint32_t id) {
        polygons_[id].next = kNone;
        NodeList& l = lists_[node];
        if (l.tail == kNone) {
            l.head = id;
        } else {
            polygons_[l.tail].next = id;
        }
        l.tail = id;
    }

    // Sorts one polygon into the four lists by the plane, splitting it when it spans.
    void split(std::uint32_t id, const CsgPlane& plane, IdList& coplanar_front,
               IdList& coplanar_back, IdList& front, IdList& back) {
        const CsgPolygon p = polygons_[id];
        const DVec3 n(plane.normal);
        const double w = plane.w;
        types_.resize(p.count);
        std::uint8_t type = 0;
        const Vec3* pts = points_.data() + p.first;
        for (std::uint32_t i = 0; i < p.count; ++i) {
            const float t = dot(plane.normal, pts[i]) - plane.w;
            const std::uint8_t c = t < -kPlaneEpsilon  ? kBack
                                   : t > kPlaneEpsilon ? kFront
                                                       : kCoplanar;
            types_[i] = c;
            type |= c;
        }
        switch (type) {
            case kCoplanar:
                (dot(plane.normal, p.plane.normal) > 0.0f ? coplanar_front : coplanar_back)
                    .push_back(id);
                return;
            case kFront:
                front.push_back(id);
                return;
            case kBack:
                back.push_back(id);
                return;
            default:
                break;
        }
        f_.clear();
        b_.clear();
        for (std::uint32_t i = 0; i < p.count; ++i) {
            const std::uint32_t j = (i + 1) % p.count;
            const std::uint8_t ti = types_[i], tj = types_[j];
            const Vec3 vi = points_[p.first + i], vj = points_[p.first + j];
            if (ti != kBack) f_.push_back(vi);
            if (ti != kFront) b_.push_back(vi);
            if ((ti | tj) != kSpanning) continue;
            const DVec3 pi(vi), pj(vj);
            const double d = dot(n, pj - pi);
            if (!(std::fabs(d) > kParallelEdge)) continue;
            const double t = (w - dot(n, pi)) / d;
            const Vec3 v = (pi + (pj - pi) * t).to_vec3();
            f_.push_back(v);
            b_.push_back(v);
        }
        if (f_.size() >= 3) front.push_back(add_polygon(f_, p.plane, p.tag));
        if (b_.size() >= 3) back.push_back(add_polygon(b_, p.plane, p.tag));
    }

    // The parts of `in` outside the solid of `by`, appended to `out` in front-then-back order.
    // `in` is consumed.
    void clip_polygons(const CsgTree& by, IdList& in, IdList& out) {
        if (!by.nodes_[0].plane.set) {
            append(out, in);
            return;
        }
        std::vector<std::pair<std::uint32_t, IdList>>& stack = clip_stack_;
        stack.clear();
        stack.emplace_back(0u, std::move(in));
        while (!stack.empty()) {
            auto [node, list] = std::move(stack.back());
            stack.pop_back();
            const CsgNode& nd = by.nodes_[node];
            if (!nd.plane.set) {
                append(out, list);
                pool_.give(std::move(list));
                continue;
            }
            IdList f = pool_.take(), b = pool_.take();
            for (const std::uint32_t id : list) split(id, nd.plane, f, b, f, b);
            pool_.give(std::move(list));
            // The back list is pushed first so the front subtree's output comes out first.
            if (nd.back != kNone && !b.empty()) {
                stack.emplace_back(nd.back, std::move(b));
            } else {
                pool_.give(std::move(b));  // behind every plane: inside, dropped
            }
            if (nd.front != kNone && !f.empty()) {
                stack.emplace_back(nd.front, std::move(f));
            } else {
                append(out, f);
                pool_.give(std::move(f));
            }
        }
    }

    std::vector<Vec3> points_;
    std::vector<CsgPolygon> polygons_;
    std::vector<CsgNode> nodes_;  // nodes_[0] is the root
    std::vector<NodeList> lists_;
    ListPool pool_;
    std::vector<std::uint8_t> types_;
    std::vector<Vec3> f_, b_;
    std::vector<std::pair<std::uint32_t, IdList>> clip_stack_;
};

// Runs both on two threads and waits for both.
template <class F, class G>
void both(F&& f, G&& g) {
    auto other = std::async(std::launch::async, std::forward<G>(g));
    f();
    other.get();
}

// ---- Result assembly ------------------------------------------------------------------

double ring_area(std::span<const Vertex> vs, const std::vector<VertexId>& ring) {
    DVec3 n;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const DVec3 p(vs[ring[i]].position), q(vs[ring[(i + 1) % ring.size()]].position);
        n.x += (p.y - q.y) * (p.z + q.z);
        n.y += (p.z - q.z) * (p.x + q.x);
        n.z += (p.x - q.x) * (p.y + q.y);
    }
    return 0.5 * std::sqrt(dot(n, n));
}

// Cuts a ring at every vertex it visits twice into simple loops; loops of fewer than three
// vertices or without area are what a split folded flat and are dropped. Returns whether the
// ring changed.
bool fold_away(std::span<const Vertex> vs, const RingFace& face, std::vector<RingFace>& out) {
    std::vector<VertexId> path;
    std::vector<std::vector<VertexId>> loops;
    for (const VertexId v : face.ring) {
        if (!path.empty() && path.back() == v) continue;
        const auto it = std::find(path.begin(), path.end(), v);
        if (it != path.end()) {
            loops.emplace_back(it, path.end());
            path.erase(it + 1, path.end());
        } else {
            path.push_back(v);
        }
    }
    while (path.size() > 1 && path.front() == path.back()) path.pop_back();
    loops.push_back(std::move(path));
    const bool changed = loops.size() != 1 || loops[0].size() != face.ring.size();
    bool dropped = false;
    for (std::vector<VertexId>& loop : loops) {
        if (loop.size() < 3 || ring_area(vs, loop) <= kFoldedArea) {
            dropped = true;
            continue;
        }
        RingFace piece = face;
        piece.ring = std::move(loop);
        if (changed) piece.corners.clear();
        out.push_back(std::move(piece));
    }
    return changed || dropped;
}

// The splits and folds of split_edges_at_vertices on a ring list; returns their number.
std::uint64_t split_rings(std::span<const Vertex> vs, RingSnapshot& snap, float tolerance,
                          std::uint64_t limit) {
    // Rings without area fold away below: their vertices and sides take no part in splits.
    // (Every other side is searched, even one already met by a reverse side: where three
    // faces meet along a line, the third needs the vertex in both.)
    std::vector<std::uint8_t> flat(snap.faces.size(), 0);
    for (std::size_t i = 0; i < snap.faces.size(); ++i) {
        const RingFace& f = snap.faces[i];
        bool valid = true;
        for (const VertexId v : f.ring) valid = valid && v < vs.size();
        flat[i] = valid && ring_area(vs, f.ring) <= kFoldedArea;
    }
    std::vector<std::uint8_t> used(vs.size(), 0);
    double total = 0.0;
    std::uint64_t sides = 0;
    for (std::size_t i = 0; i < snap.faces.size(); ++i) {
        const RingFace& f = snap.faces[i];
        for (std::size_t k = 0; k < f.ring.size() && !flat[i]; ++k) {
            const VertexId a = f.ring[k], b = f.ring[(k + 1) % f.ring.size()];
            if (a >= vs.size() || b >= vs.size()) continue;
            used[a] = 1;
            total += length(vs[b].position - vs[a].position);
            ++sides;
        }
    }
    // Sides are walked in pieces no longer than a cell, each searched round its middle.
    const double piece =
        std::max(sides ? total / static_cast<double>(sides) : 0.0, 100.0 * tolerance);
    ProximityGrid grid(0.5 * piece + tolerance, vs.size());
    for (VertexId v = 0; v < vs.size(); ++v) {
        if (used[v]) grid.insert(v, vs[v].position);
    }

    std::uint64_t splits = 0, folds = 0;
    std::vector<std::pair<double, VertexId>> hits;
    std::vector<VertexId> ring;
    std::vector<RingFace> out;
    out.reserve(snap.faces.size());
    const double tol = tolerance;
    for (std::size_t i = 0; i < snap.faces.size(); ++i) {
        RingFace& f = snap.faces[i];
        ring.clear();
        const std::size_t n = f.ring.size();
        bool split_here = false;
        for (std::size_t k = 0; k < n && !flat[i]; ++k) {
            const VertexId a = f.ring[k], b = f.ring[(k + 1) % n];
            ring.push_back(a);
            if (a >= vs.size() || b >= vs.size() || splits >= limit || sides == 0) continue;
            const DVec3 pa(vs[a].position), pb(vs[b].position);
            const DVec3 d = pb - pa;
            const double len2 = dot(d, d);
            if (!(len2 > 4.0 * tol * tol)) continue;
            const double len = std::sqrt(len2);
            const int pieces = static_cast<int>(std::min(1e6, std::ceil(len / piece)));
            hits.clear();
            for (int piece_i = 0; piece_i < pieces; ++piece_i) {
                const Vec3 mid = (pa + d * ((piece_i + 0.5) / pieces)).to_vec3();
                grid.for_each_cell(mid, [&](std::uint32_t& head) {
                    for (std::uint32_t v = head; v != ProximityGrid::kNone; v = grid.next(v)) {
                        if (v == a || v == b) continue;
                        const DVec3 p(vs[v].position);
                        const double t = dot(p - pa, d) / len2;
                        if (!(t > 0.0 && t < 1.0)) continue;
                        const DVec3 off = p - (pa + d * t);
                        if (dot(off, off) > tol * tol) continue;
                        const DVec3 da = p - pa, db = p - pb;
                        if (dot(da, da) <= tol * tol || dot(db, db) <= tol * tol) continue;
                        hits.emplace_back(t, v);
                    }
                });
            }
            if (hits.empty()) continue;
            std::sort(hits.begin(), hits.end());
            VertexId last = kInvalidId;
            for (const auto& [t, v] : hits) {
                // A vertex found from two pieces of the side has the same t both times.
                if (v == last || splits >= limit) continue;
                ring.push_back(v);
                last = v;
                ++splits;
                split_here = true;
            }
        }
        if (split_here) {
            f.ring = ring;
            f.corners.clear();
        }
        if (fold_away(vs, f, out)) ++folds;
    }
    if (splits + folds > 0) snap.faces = std::move(out);
    return splits + folds;
}

// Triangles of the polygons, welded, split at T-junctions, linked and stitched, then the
// repair rounds until nothing changes.
Mesh assemble(const CsgTree& tree, const IdList& ids, CsgStats* stats) {
    std::vector<Vec3> soup;
    RingSnapshot snap;
    for (const std::uint32_t id : ids) {
        const CsgPolygon& p = tree.polygon(id);
        if (p.count < 3) continue;
        const auto pts = tree.points(p);
        const VertexId base = static_cast<VertexId>(soup.size());
        soup.insert(soup.end(), pts.begin(), pts.end());
        for (std::uint32_t i = 2; i < p.count; ++i) {
            RingFace f;
            f.ring = {base, base + i - 1, base + i};
            f.material_id = p.tag;
            snap.faces.push_back(std::move(f));
        }
    }

    // Weld as Mesh::weld_vertices does (each point to the lowest earlier survivor within the
    // tolerance), keeping only survivors, so the mesh starts compact.
    const float tol_sq = kRepairTolerance * kRepairTolerance;
    ProximityGrid grid(static_cast<double>(kRepairTolerance) * 1.001, soup.size());
    std::vector<VertexId> target(soup.size(), kInvalidId);
    Mesh mesh;
    for (VertexId j = 0; j < soup.size(); ++j) {
        const Vec3 p = soup[j];
        VertexId best = ProximityGrid::kNone;
        grid.for_each_cell(p, [&](std::uint32_t& head) {
            for (std::uint32_t k = head; k != ProximityGrid::kNone && k < best; k = grid.next(k)) {
                if (length_squared(soup[k] - p) <= tol_sq) {
                    best = k;
                    break;
                }
            }
        });
        if (best != ProximityGrid::kNone) {
            target[j] = target[best];
        } else {
            grid.insert(j, p);
            target[j] = mesh.add_vertex(p);
        }
    }
    for (RingFace& f : snap.faces) {
        for (VertexId& v : f.ring) v = target[v];
    }
    split_rings(mesh.vertices(), snap, kRepairTolerance, kMaxSplitsPerPass);
    mesh.rebuild_from_rings(snap);
    mesh.stitch_naked_edges(kRepairTolerance);

    std::uint64_t rounds = 0;
    for (int round = 0; round < kRepairRounds; ++round) {
        ++rounds;
        const std::uint64_t welded = mesh.weld_vertices(kRepairTolerance);
        const std::uint64_t split =
            split_edges_at_vertices(mesh, kRepairTolerance, kMaxSplitsPerPass);
        mesh.link_shared_edges();
        const std::uint64_t stitched = mesh.stitch_naked_edges(kRepairTolerance);
        if (welded == 0 && split == 0 && stitched == 0) break;
    }
    if (stats) stats->repair_rounds = rounds;
    return mesh;
}

}  // namespace

std::uint64_t split_edges_at_vertices(Mesh& mesh, float tolerance, std::uint64_t limit) {
    RingSnapshot snap = mesh.snapshot_rings();
    const std::uint64_t changes = split_rings(mesh.vertices(), snap, tolerance, limit);
    if (changes > 0) mesh.rebuild_from_rings(snap);
    return changes;
}

Mesh csg_boolean(BooleanOp op, const Mesh& a_mesh, const Mesh& b_mesh, CsgStats* stats) {
    CsgTree a, b;
    std::uint64_t in_a = 0, in_b = 0;
    both(
        [&] {
            IdList ids = a.load(a_mesh);
            in_a = ids.size();
            a.build(std::move(ids));
        },
        [&] {
            IdList ids = b.load(b_mesh);
            in_b = ids.size();
            b.build(std::move(ids));
        });
    auto clip_both = [&] { both([&] { a.clip_to(b); }, [&] { b.clip_to(a); }); };
    switch (op) {
        case BooleanOp::kUnion:
            clip_both();
            b.invert();
            b.clip_to(a);
            b.invert();
            a.build(a.import(b, b.all_polygons()));
            break;
        case BooleanOp::kSubtract:
            a.invert();
            clip_both();
            b.invert();
            b.clip_to(a);
            b.invert();
            a.build(a.import(b, b.all_polygons()));
            a.invert();
            break;
        case BooleanOp::kIntersect:
            a.invert();
            b.clip_to(a);
            b.invert();
            clip_both();
            a.build(a.import(b, b.all_polygons()));
            a.invert();
            break;
    }
    const IdList result = a.all_polygons();
    if (stats) {
        stats->polygons_in = in_a + in_b;
        stats->polygons_out = result.size();
    }
    return assemble(a, result, stats);
}

Mesh csg_union(const Mesh& a, const Mesh& b) { return csg_boolean(BooleanOp::kUnion, a, b); }
Mesh csg_subtract(const Mesh& a, const Mesh& b) { return csg_boolean(BooleanOp::kSubtract, a, b); }
Mesh csg_intersect(const Mesh& a, const Mesh& b) {
    return csg_boolean(BooleanOp::kIntersect, a, b);
}

}  // namespace korvan
