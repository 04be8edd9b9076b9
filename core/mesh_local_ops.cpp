#include "core/mesh_local_ops.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "core/mesh.h"

// Local topology operators. The ring-snapshot operators work on plain vertex rings (one per
// alive face, in face order) and hand the edited rings to Mesh::rebuild_from_rings, which
// relinks everything; corner texture coordinates travel with their ring entries. The
// in-place operators (dissolve, turn) rewire the half-edges of the two faces on the edge and
// leave every other record alone. Planes are least-squares fits: the eigenvector of the
// smallest eigenvalue of the ring's covariance, found by cyclic Jacobi rotations.

namespace korvan {
namespace {

constexpr int kJacobiSweeps = 32;
constexpr double kJacobiDone = 1e-18;
constexpr double kMinLargestEigen = 1e-20;
constexpr double kMinMiddleRatio = 1e-9;
constexpr double kMinNormalLength = 1e-12;

using Matrix3 = std::array<std::array<double, 3>, 3>;

// Eigenvalues (diagonal of a on return) and eigenvectors (columns of v) of a symmetric matrix.
void jacobi(Matrix3& a, Matrix3& v) {
    v = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    for (int sweep = 0; sweep < kJacobiSweeps; ++sweep) {
        const double off = std::fabs(a[0][1]) + std::fabs(a[0][2]) + std::fabs(a[1][2]);
        if (off < kJacobiDone) return;
        for (int p = 0; p < 2; ++p) {
            for (int q = p + 1; q < 3; ++q) {
                if (a[p][q] == 0.0) continue;
                const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
                const double t = (theta >= 0 ? 1.0 : -1.0) /
                                 (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
                for (int k = 0; k < 3; ++k) {
                    const double akp = a[k][p], akq = a[k][q];
                    a[k][p] = c * akp - s * akq;
                    a[k][q] = s * akp + c * akq;
                }
                for (int k = 0; k < 3; ++k) {
                    const double apk = a[p][k], aqk = a[q][k];
                    a[p][k] = c * apk - s * aqk;
                    a[q][k] = s * apk + c * aqk;
                }
                for (int k = 0; k < 3; ++k) {
                    const double vkp = v[k][p], vkq = v[k][q];
                    v[k][p] = c * vkp - s * vkq;
                    v[k][q] = s * vkp + c * vkq;
                }
            }
        }
    }
}

struct PlaneFit {
    bool ok = false;
    std::array<double, 3> mean{};
    std::array<double, 3> normal{};

    double distance(const Vec3& p) const {
        return (p.x - mean[0]) * normal[0] + (p.y - mean[1]) * normal[1] +
               (p.z - mean[2]) * normal[2];
    }
};

// No plane for fewer than three points or a collinear set.
PlaneFit fit_plane(std::span<const Vec3> pts) {
    PlaneFit fit;
    if (pts.size() < 3) return fit;
    for (const Vec3& p : pts) {
        fit.mean[0] += p.x, fit.mean[1] += p.y, fit.mean[2] += p.z;
    }
    for (double& m : fit.mean) m /= static_cast<double>(pts.size());
    Matrix3 cov{};
    for (const Vec3& p : pts) {
        const double d[3] = {p.x - fit.mean[0], p.y - fit.mean[1], p.z - fit.mean[2]};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) cov[i][j] += d[i] * d[j];
        }
    }
    Matrix3 vecs;
    jacobi(cov, vecs);
    std::array<int, 3> order{0, 1, 2};
    std::sort(order.begin(), order.end(), [&](int x, int y) { return cov[x][x] < cov[y][y]; });
    const double small = cov[order[0]][order[0]], middle = cov[order[1]][order[1]],
                 large = cov[order[2]][order[2]];
    if (!(large > kMinLargestEigen) || !(middle > kMinMiddleRatio * large)) return fit;
    (void)small;
    const int k = order[0];
    const double len = std::sqrt(vecs[0][k] * vecs[0][k] + vecs[1][k] * vecs[1][k] +
                                 vecs[2][k] * vecs[2][k]);
    if (!(len > kMinNormalLength)) return fit;
    fit.normal = {vecs[0][k] / len, vecs[1][k] / len, vecs[2][k] / len};
    fit.ok = true;
    return fit;
}

std::vector<Vec3> positions(const Mesh& mesh, std::span<const VertexId> ring) {
    std::vector<Vec3> out;
    out.reserve(ring.size());
    for (const VertexId v : ring) out.push_back(mesh.vertices()[v].position);
    return out;
}

// The snapshot with the face id of each entry; refused when a corner list does not match
// its ring.
struct Snapshot {
    RingSnapshot rings;
    std::vector<FaceId> ids;
    bool consistent = true;
};

Snapshot take_snapshot(const Mesh& mesh) {
    Snapshot s{mesh.snapshot_rings(), mesh.alive_faces(), true};
    if (s.ids.size() != s.rings.faces.size()) s.consistent = false;
    for (const RingFace& f : s.rings.faces) {
        if (!f.corners.empty() && f.corners.size() != f.ring.size()) s.consistent = false;
    }
    return s;
}

constexpr const char* kInconsistent = "ring snapshot is inconsistent";

// Replaces vertices through `map`, then drops consecutive repeats (last and first included)
// with their corners. Returns the number of distinct vertices left.
template <class Map>
std::size_t remap_ring(RingFace& f, Map&& map) {
    for (VertexId& v : f.ring) v = map(v);
    std::vector<VertexId> ring;
    std::vector<CornerUv> corners;
    const bool uvs = !f.corners.empty();
    for (std::size_t i = 0; i < f.ring.size(); ++i) {
        if (!ring.empty() && ring.back() == f.ring[i]) continue;
        ring.push_back(f.ring[i]);
        if (uvs) corners.push_back(f.corners[i]);
    }
    while (ring.size() > 1 && ring.back() == ring.front()) {
        ring.pop_back();
        if (uvs) corners.pop_back();
    }
    f.ring = std::move(ring);
    f.corners = std::move(corners);
    std::vector<VertexId> distinct = f.ring;
    std::sort(distinct.begin(), distinct.end());
    return static_cast<std::size_t>(std::unique(distinct.begin(), distinct.end()) - distinct.begin());
}

bool ring_has(const RingFace& f, VertexId v) {
    return std::find(f.ring.begin(), f.ring.end(), v) != f.ring.end();
}

SplitVertexResult refuse_split(const char* message) {
    SplitVertexResult r;
    r.message = message;
    return r;
}

SplitVertexResult split_impl(Mesh& mesh, VertexId vertex, const std::span<const FaceId>* group) {
    if (!mesh.vertex_usable(vertex)) return refuse_split("vertex is out of range or dead");
    Snapshot snap = take_snapshot(mesh);
    std::vector<std::size_t> fan;
    for (std::size_t i = 0; i < snap.rings.faces.size(); ++i) {
        if (ring_has(snap.rings.faces[i], vertex)) fan.push_back(i);
    }
    if (fan.empty()) return refuse_split("no alive face names this vertex");
    // Which fan entries get which copy (copy number per entry; -1 keeps the vertex).
    std::vector<int> copy_of(snap.rings.faces.size(), -1);
    int copies = 0;
    if (group != nullptr) {
        if (group->empty()) return refuse_split("the group is empty");
        std::set<std::size_t> chosen;
        for (const FaceId f : *group) {
            const auto it = std::lower_bound(snap.ids.begin(), snap.ids.end(), f);
            if (it == snap.ids.end() || *it != f) {
                return refuse_split("a face in the group does not touch this vertex");
            }
            const auto entry = static_cast<std::size_t>(it - snap.ids.begin());
            if (!ring_has(snap.rings.faces[entry], vertex)) {
                return refuse_split("a face in the group does not touch this vertex");
            }
            chosen.insert(entry);
        }
        if (chosen.size() == fan.size()) {
            return refuse_split("the group is the whole fan -- that is a rename, not a split");
        }
        for (const std::size_t entry : chosen) copy_of[entry] = 0;
        copies = 1;
    } else {
        for (std::size_t i = 1; i < fan.size(); ++i) copy_of[fan[i]] = copies++;
    }
    if (!snap.consistent) return refuse_split(kInconsistent);

    SplitVertexResult r;
    r.ok = true;
    const Vec3 at = mesh.vertices()[vertex].position;
    for (int i = 0; i < copies; ++i) r.copies.push_back(mesh.add_vertex(at));
    for (std::size_t i = 0; i < snap.rings.faces.size(); ++i) {
        if (copy_of[i] < 0) continue;
        const VertexId to = r.copies[static_cast<std::size_t>(copy_of[i])];
        for (VertexId& v : snap.rings.faces[i].ring) {
            if (v == vertex) v = to;
        }
        ++r.faces_rewritten;
    }
    if (copies > 0) mesh.rebuild_from_rings(snap.rings);
    return r;
}

std::set<VertexId> neighbours(const Mesh& mesh, VertexId v) {
    std::set<VertexId> out;
    for (EdgeId e = 0; e < mesh.edges().size(); ++e) {
        if (!mesh.edge_usable(e)) continue;
        const auto ends = mesh.edge_vertices(e);
        if (ends[0] == v && ends[1] != v) out.insert(ends[1]);
        if (ends[1] == v && ends[0] != v) out.insert(ends[0]);
    }
    return out;
}

bool on_boundary(const Mesh& mesh, VertexId v) {
    for (const EdgeId e : mesh.naked_edges()) {
        const auto ends = mesh.edge_vertices(e);
        if (ends[0] == v || ends[1] == v) return true;
    }
    return false;
}

// The two faces on both sides of an alive edge: its half-edge and the twin, each on an alive
// face, the faces different.
struct EdgeSides {
    HalfEdgeId h = kInvalidId, t = kInvalidId;
    FaceId fa = kInvalidId, fb = kInvalidId;
};

std::optional<EdgeSides> two_sides(const Mesh& mesh, EdgeId edge) {
    const auto he = mesh.half_edges();
    const HalfEdgeId h = mesh.edges()[edge].half_edge;
    if (!mesh.half_edge_usable(h)) return std::nullopt;
    const HalfEdgeId t = he[h].twin;
    if (!mesh.half_edge_usable(t)) return std::nullopt;
    const FaceId fa = he[h].face, fb = he[t].face;
    if (!mesh.face_usable(fa) || !mesh.face_usable(fb) || fa == fb) return std::nullopt;
    return EdgeSides{h, t, fa, fb};
}

}  // namespace

// ---- Splitting and welding vertices ---------------------------------------------------------

SplitVertexResult split_vertex(Mesh& mesh, VertexId vertex, std::span<const FaceId> group) {
    return split_impl(mesh, vertex, &group);
}

SplitVertexResult unweld_vertex(Mesh& mesh, VertexId vertex) {
    return split_impl(mesh, vertex, nullptr);
}

WeldSelectedResult weld_selected_vertices(Mesh& mesh, std::span<const VertexId> verts,
                                          float tolerance) {
    WeldSelectedResult r;
    std::vector<VertexId> listed;
    for (const VertexId v : verts) {
        if (mesh.vertex_usable(v)) listed.push_back(v);
    }
    std::sort(listed.begin(), listed.end());
    listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
    r.considered = listed.size();
    r.faces_before = r.faces_after = mesh.alive_face_count();

    const auto pos = mesh.vertices();
    const float tol_sq = tolerance * tolerance;
    std::map<VertexId, VertexId> into;  // merged vertex -> its cluster's first member
    std::vector<std::uint8_t> clustered(listed.size(), 0);
    for (std::size_t i = 0; i < listed.size(); ++i) {
        if (clustered[i]) continue;
        clustered[i] = 1;
        bool grew = false;
        for (std::size_t j = i + 1; j < listed.size(); ++j) {
            if (clustered[j]) continue;
            if (length_squared(pos[listed[j]].position - pos[listed[i]].position) > tol_sq) continue;
            clustered[j] = 1;
            into[listed[j]] = listed[i];
            grew = true;
        }
        if (grew) ++r.clusters;
    }
    r.merged = into.size();
    if (into.empty()) return r;
    Snapshot snap = take_snapshot(mesh);
    if (!snap.consistent) return WeldSelectedResult{r.considered, 0, 0, r.faces_before,
                                                    r.faces_before, 0};

    RingSnapshot kept;
    for (RingFace& f : snap.rings.faces) {
        const std::size_t distinct = remap_ring(f, [&](VertexId v) {
            const auto it = into.find(v);
            return it == into.end() ? v : it->second;
        });
        if (distinct < 3) {
            ++r.faces_dropped;
            continue;
        }
        kept.faces.push_back(std::move(f));
    }
    for (const auto& [v, first] : into) mesh.vertex_mut(v).alive = false;
    mesh.rebuild_from_rings(kept);
    r.faces_after = mesh.alive_face_count();
    return r;
}

// ---- Flattening faces -----------------------------------------------------------------------

MakePlanarResult make_planar(Mesh& mesh, std::span<const FaceId> faces) {
    MakePlanarResult r;
    std::vector<FaceId> listed;
    for (const FaceId f : faces) {
        if (mesh.face_usable(f)) listed.push_back(f);
    }
    std::sort(listed.begin(), listed.end());
    listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
    r.considered = listed.size();

    // Every plane from the positions before the call, so the order of `faces` does not matter.
    struct Target {
        double sum[3] = {0, 0, 0};
        std::uint32_t claims = 0;
    };
    std::map<VertexId, Target> targets;
    std::vector<std::pair<FaceId, PlaneFit>> planes;
    double worst = 0.0;
    for (const FaceId f : listed) {
        const std::vector<VertexId> ring = mesh.face_vertices(f);
        const std::vector<Vec3> pts = positions(mesh, ring);
        const PlaneFit fit = fit_plane(pts);
        if (!fit.ok) {
            ++r.degenerate;
            continue;
        }
        ++r.projected;
        planes.emplace_back(f, fit);
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const double d = fit.distance(pts[i]);
            worst = std::max(worst, std::fabs(d));
            Target& t = targets[ring[i]];
            t.sum[0] += pts[i].x - d * fit.normal[0];
            t.sum[1] += pts[i].y - d * fit.normal[1];
            t.sum[2] += pts[i].z - d * fit.normal[2];
            ++t.claims;
        }
    }
    r.worst_before = static_cast<float>(worst);
    std::vector<VertexId> moved;
    for (const auto& [v, t] : targets) {
        if (t.claims > 1) ++r.shared;
        const Vec3 to{static_cast<float>(t.sum[0] / t.claims), static_cast<float>(t.sum[1] / t.claims),
                      static_cast<float>(t.sum[2] / t.claims)};
        if (!(length(to - mesh.vertices()[v].position) > kMovedVertexThreshold)) continue;
        mesh.vertex_mut(v).position = to;
        moved.push_back(v);
    }
    r.moved = moved.size();
    if (!moved.empty()) {
        for (const FaceId f : mesh.faces_using_vertices(moved)) mesh.recompute_face_normal(f);
    }
    double after = 0.0;
    for (const auto& [f, before] : planes) {
        const std::vector<Vec3> pts = positions(mesh, mesh.face_vertices(f));
        const PlaneFit fit = fit_plane(pts);
        const PlaneFit& plane = fit.ok ? fit : before;
        for (const Vec3& p : pts) after = std::max(after, std::fabs(plane.distance(p)));
    }
    r.worst_after = static_cast<float>(after);
    return r;
}

// ---- Splitting, dissolving, collapsing and turning edges ------------------------------------

SplitEdgeWeldedResult split_edge_welded(Mesh& mesh, EdgeId edge, float t) {
    SplitEdgeWeldedResult r;
    auto refuse = [&](const char* message) {
        r.message = message;
        return r;
    };
    if (!mesh.edge_usable(edge)) return refuse("edge is out of range or dead");
    if (!(t > 0.0f && t < 1.0f)) return refuse("t must be in the open interval (0,1)");
    const auto he = mesh.half_edges();
    const HalfEdgeId h = mesh.edges()[edge].half_edge;
    const HalfEdgeId tw = mesh.half_edge_usable(h) ? he[h].twin : kInvalidId;
    if (!mesh.half_edge_usable(h) || !mesh.half_edge_usable(tw)) {
        return refuse("edge is out of range or dead");
    }
    const VertexId a = he[h].origin, b = he[tw].origin;
    if (!mesh.vertex_usable(a) || !mesh.vertex_usable(b) || a == b) {
        return refuse("the edge has zero length");
    }
    const Vec3 pa = mesh.vertices()[a].position, pb = mesh.vertices()[b].position;
    if (pa == pb) return refuse("the edge has zero length");
    if (!mesh.face_usable(he[h].face) && !mesh.face_usable(he[tw].face)) {
        return refuse("no alive face uses the edge");
    }
    Snapshot snap = take_snapshot(mesh);
    if (!snap.consistent) return refuse(kInconsistent);

    const VertexId mid = mesh.add_vertex(pa + (pb - pa) * t);
    for (RingFace& f : snap.rings.faces) {
        const std::size_t n = f.ring.size();
        for (std::size_t i = 0; i < n; ++i) {
            const VertexId x = f.ring[i], y = f.ring[(i + 1) % n];
            if (!((x == a && y == b) || (x == b && y == a))) continue;
            if (!f.corners.empty()) {
                const CornerUv &cx = f.corners[i], &cy = f.corners[(i + 1) % n];
                const float s = x == a ? t : 1.0f - t;
                const CornerUv c{cx.u + (cy.u - cx.u) * s, cx.v + (cy.v - cx.v) * s,
                                 cx.set && cy.set};
                f.corners.insert(f.corners.begin() + static_cast<std::ptrdiff_t>(i + 1), c);
            }
            f.ring.insert(f.ring.begin() + static_cast<std::ptrdiff_t>(i + 1), mid);
            ++r.faces_rewritten;
            break;
        }
    }
    mesh.rebuild_from_rings(snap.rings);
    r.ok = true;
    r.vertex = mid;
    return r;
}

const char* status_name(DissolveStatus status) {
    switch (status) {
        case DissolveStatus::kOk: return "ok";
        case DissolveStatus::kInvalidEdge: return "invalid-edge";
        case DissolveStatus::kNakedEdge: return "naked-edge";
        case DissolveStatus::kNotCoplanar: return "not-coplanar";
        case DissolveStatus::kSharedTwice: return "shared-twice";
        case DissolveStatus::kDegenerate: return "degenerate";
    }
    return "unknown";
}

DissolveEdgeResult dissolve_edge(Mesh& mesh, EdgeId edge, float tolerance) {
    DissolveEdgeResult r;
    if (!mesh.edge_usable(edge)) return r;
    const std::optional<EdgeSides> sides = two_sides(mesh, edge);
    if (!sides) {
        r.status = DissolveStatus::kNakedEdge;
        return r;
    }
    const auto [h, t, fa, fb] = *sides;
    std::vector<Vec3> pts = positions(mesh, mesh.face_vertices(fa));
    const std::vector<Vec3> more = positions(mesh, mesh.face_vertices(fb));
    pts.insert(pts.end(), more.begin(), more.end());
    const PlaneFit fit = fit_plane(pts);
    if (!fit.ok) {
        r.status = DissolveStatus::kDegenerate;
        return r;
    }
    double dev = 0.0;
    for (const Vec3& p : pts) dev = std::max(dev, std::fabs(fit.distance(p)));
    r.deviation = static_cast<float>(dev);
    if (dev > tolerance) {
        r.status = DissolveStatus::kNotCoplanar;
        return r;
    }
    const auto he = mesh.half_edges();
    std::uint64_t shared = 0;
    for (const HalfEdgeId k : mesh.face_half_edges(fa)) {
        const HalfEdgeId tw = he[k].twin;
        if (tw < he.size() && he[tw].face == fb) ++shared;
    }
    if (shared > 1) {
        r.status = DissolveStatus::kSharedTwice;
        return r;
    }
    const HalfEdgeId hn = he[h].next, hp = he[h].prev, tn = he[t].next, tp = he[t].prev;
    if (hn == t || tn == h || hn == hp || tn == tp) {
        r.status = DissolveStatus::kDegenerate;
        return r;
    }

    // The lower face keeps its id; the other face's half-edges join its ring in place of the
    // edge's two sides.
    const FaceId keep = std::min(fa, fb), drop = std::max(fa, fb);
    for (const HalfEdgeId k : mesh.face_half_edges(drop)) mesh.half_edge_mut(k).face = keep;
    mesh.half_edge_mut(hp).next = tn;
    mesh.half_edge_mut(tn).prev = hp;
    mesh.half_edge_mut(tp).next = hn;
    mesh.half_edge_mut(hn).prev = tp;
    for (const HalfEdgeId k : {h, t}) {
        HalfEdge& rec = mesh.half_edge_mut(k);
        rec.alive = false;
        rec.face = kInvalidId;
    }
    mesh.edge_mut(edge).alive = false;
    mesh.face_mut(keep).half_edge = hn;
    Face& gone = mesh.face_mut(drop);
    gone.alive = false;
    gone.half_edge = kInvalidId;
    mesh.recompute_face_normal(keep);
    mesh.mark_changed(kAllTableBits);
    r.status = DissolveStatus::kOk;
    r.kept = keep;
    r.removed = drop;
    r.sides = mesh.face_degree(keep);
    r.area = mesh.face_area(keep);
    return r;
}

const char* status_name(CollapseStatus status) {
    switch (status) {
        case CollapseStatus::kOk: return "ok";
        case CollapseStatus::kInvalidEdge: return "invalid-edge";
        case CollapseStatus::kNoFace: return "no-face";
        case CollapseStatus::kLinkCondition: return "link-condition";
        case CollapseStatus::kBoundaryPinch: return "boundary-pinch";
        case CollapseStatus::kTooFewVertices: return "too-few-vertices";
        case CollapseStatus::kDegenerate: return "degenerate";
    }
    return "unknown";
}

CollapseEdgeResult collapse_edge(Mesh& mesh, EdgeId edge, CollapseTarget target) {
    CollapseEdgeResult r;
    r.faces_before = r.faces_after = mesh.alive_face_count();
    if (!mesh.edge_usable(edge)) return r;
    const auto ends = mesh.edge_vertices(edge);
    const VertexId u = ends[0], v = ends[1];
    if (!mesh.vertex_usable(u) || !mesh.vertex_usable(v)) return r;
    if (u == v) {
        r.status = CollapseStatus::kDegenerate;
        return r;
    }
    const std::vector<FaceId> on_edge = mesh.edge_faces(edge);
    if (on_edge.empty()) {
        r.status = CollapseStatus::kNoFace;
        return r;
    }
    const std::set<VertexId> nu = neighbours(mesh, u), nv = neighbours(mesh, v);
    for (const VertexId w : nu) r.shared += nv.count(w);
    for (const FaceId f : on_edge) r.expected += mesh.face_degree(f) == 3 ? 1 : 0;
    if (r.shared != r.expected) {
        r.status = CollapseStatus::kLinkCondition;
        return r;
    }
    if (!mesh.is_naked_edge(edge) && on_boundary(mesh, u) && on_boundary(mesh, v)) {
        r.status = CollapseStatus::kBoundaryPinch;
        return r;
    }
    std::set<VertexId> piece;
    bool closed = true;
    for (const FaceId f : mesh.connected_faces(on_edge.front())) {
        for (const VertexId w : mesh.face_vertices(f)) piece.insert(w);
        for (const HalfEdgeId k : mesh.face_half_edges(f)) {
            if (mesh.is_naked_edge(mesh.half_edges()[k].edge)) closed = false;
        }
    }
    if (closed && piece.size() <= 4) {
        r.status = CollapseStatus::kTooFewVertices;
        return r;
    }
    Snapshot snap = take_snapshot(mesh);
    if (!snap.consistent) {
        r.status = CollapseStatus::kDegenerate;
        return r;
    }

    const VertexId keep = std::min(u, v), gone = std::max(u, v);
    const Vec3 pk = mesh.vertices()[keep].position, pg = mesh.vertices()[gone].position;
    RingSnapshot kept;
    for (RingFace& f : snap.rings.faces) {
        const std::size_t distinct =
            remap_ring(f, [&](VertexId w) { return w == gone ? keep : w; });
        if (distinct < 3) {
            ++r.faces_dropped;
            continue;
        }
        kept.faces.push_back(std::move(f));
    }
    mesh.vertex_mut(keep).position = target == CollapseTarget::kMidpoint ? (pk + pg) * 0.5f
                                     : target == CollapseTarget::kFirst  ? pk
                                                                         : pg;
    mesh.vertex_mut(gone).alive = false;
    mesh.rebuild_from_rings(kept);
    r.status = CollapseStatus::kOk;
    r.kept = keep;
    r.removed = gone;
    r.faces_after = mesh.alive_face_count();
    r.naked_after = mesh.naked_edge_count();
    return r;
}

const char* status_name(TurnStatus status) {
    switch (status) {
        case TurnStatus::kOk: return "ok";
        case TurnStatus::kInvalidEdge: return "invalid-edge";
        case TurnStatus::kNakedEdge: return "naked-edge";
        case TurnStatus::kNotTriangles: return "not-triangles";
        case TurnStatus::kNonPlanar: return "non-planar";
        case TurnStatus::kNonConvex: return "non-convex";
        case TurnStatus::kDuplicateEdge: return "duplicate-edge";
        case TurnStatus::kDegenerate: return "degenerate";
    }
    return "unknown";
}

TurnEdgeResult turn_edge(Mesh& mesh, EdgeId edge, float tolerance) {
    TurnEdgeResult r;
    if (!mesh.edge_usable(edge)) return r;
    const std::optional<EdgeSides> sides = two_sides(mesh, edge);
    if (!sides) {
        r.status = TurnStatus::kNakedEdge;
        return r;
    }
    const auto [h, t, fa, fb] = *sides;
    if (mesh.face_degree(fa) != 3 || mesh.face_degree(fb) != 3) {
        r.status = TurnStatus::kNotTriangles;
        return r;
    }
    const auto he = mesh.half_edges();
    const HalfEdgeId h1 = he[h].next, h2 = he[h1].next, t1 = he[t].next, t2 = he[t1].next;
    const VertexId a = he[h].origin, b = he[h1].origin, c = he[h2].origin, d = he[t2].origin;
    r.old_diagonal = {a, b};
    r.new_diagonal = {c, d};
    if (he[t].origin != b || he[t1].origin != a || a == b || c == d || c == a || c == b ||
        d == a || d == b) {
        r.status = TurnStatus::kDegenerate;
        return r;
    }
    const auto pos = mesh.vertices();
    const Vec3 pa = pos[a].position, pb = pos[b].position, pc = pos[c].position,
               pd = pos[d].position;
    const Vec3 quad[4] = {pa, pd, pb, pc};
    const PlaneFit fit = fit_plane(quad);
    if (!fit.ok) {
        r.status = TurnStatus::kDegenerate;
        return r;
    }
    double dev = 0.0;
    for (const Vec3& p : quad) dev = std::max(dev, std::fabs(fit.distance(p)));
    r.deviation = static_cast<float>(dev);
    if (dev > tolerance) {
        r.status = TurnStatus::kNonPlanar;
        return r;
    }
    // Convex when each diagonal separates the other's ends strictly.
    const Vec3 n{static_cast<float>(fit.normal[0]), static_cast<float>(fit.normal[1]),
                 static_cast<float>(fit.normal[2])};
    auto side = [&](const Vec3& p, const Vec3& q, const Vec3& x) {
        return dot(cross(q - p, x - p), n);
    };
    if (!(side(pc, pd, pa) * side(pc, pd, pb) < 0.0f) ||
        !(side(pa, pb, pc) * side(pa, pb, pd) < 0.0f)) {
        r.status = TurnStatus::kNonConvex;
        return r;
    }
    for (EdgeId e = 0; e < mesh.edges().size(); ++e) {
        if (e == edge || !mesh.edge_usable(e)) continue;
        const auto ends = mesh.edge_vertices(e);
        if ((ends[0] == c && ends[1] == d) || (ends[0] == d && ends[1] == c)) {
            r.status = TurnStatus::kDuplicateEdge;
            return r;
        }
    }
    r.area_before = mesh.face_area(fa) + mesh.face_area(fb);

    // fa becomes (c, a, d) over h2, t1, h; fb becomes (d, b, c) over t2, h1, t. Each corner
    // keeps the texture coordinates its vertex had in the face it came from.
    const bool uvs = mesh.has_corner_uvs();
    const CornerUv uv_d = uvs ? mesh.corner_uv(t2) : CornerUv{};
    const CornerUv uv_c = uvs ? mesh.corner_uv(h2) : CornerUv{};
    auto link = [&](HalfEdgeId x, HalfEdgeId y, HalfEdgeId z, FaceId f) {
        for (const auto& [k, nxt, prv] :
             {std::array<HalfEdgeId, 3>{x, y, z}, std::array<HalfEdgeId, 3>{y, z, x},
              std::array<HalfEdgeId, 3>{z, x, y}}) {
            HalfEdge& rec = mesh.half_edge_mut(k);
            rec.next = nxt;
            rec.prev = prv;
            rec.face = f;
        }
        mesh.face_mut(f).half_edge = x;
    };
    mesh.half_edge_mut(h).origin = d;
    mesh.half_edge_mut(t).origin = c;
    link(h, h2, t1, fa);
    link(t, t2, h1, fb);
    if (uvs) {
        if (uv_d.set) mesh.set_corner_uv(h, uv_d.u, uv_d.v);
        if (uv_c.set) mesh.set_corner_uv(t, uv_c.u, uv_c.v);
    }
    mesh.recompute_face_normal(fa);
    mesh.recompute_face_normal(fb);
    mesh.mark_changed(kAllTableBits);
    r.area_after = mesh.face_area(fa) + mesh.face_area(fb);
    r.status = TurnStatus::kOk;
    return r;
}

}  // namespace korvan
