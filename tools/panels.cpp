#include "tools/panels.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/change_tracking.h"
#include "tools/panels_internal.h"

// Boards, the solid check and the re-ringing engine. A cut never edits a ring in place: it
// erases the faces it changes and adds their replacements as fresh islands over fresh
// corners, then welds those corners onto the board's (the board's corners are older, so
// they survive the weld) and links the sides that now run between the same corners. The
// erased faces' sides that nothing links again are retired, and so are corners no face uses.

namespace korvan {
namespace {

constexpr float kBoxTolerance = 1e-4f;
constexpr float kSideLookupTolerance = 1e-4f;
constexpr float kOutwardDot = 0.99f;

}  // namespace

const char* panel_side_name(PanelSide side) {
    static constexpr const char* kNames[] = {"length-min", "length-max",    "width-min",
                                             "width-max",  "thickness-min", "thickness-max"};
    return kNames[static_cast<int>(side) % 6];
}

const char* panel_axis_name(PanelAxis axis) {
    static constexpr const char* kNames[] = {"length", "width", "thickness"};
    return kNames[static_cast<int>(axis) % 3];
}

const char* panel_box_refusal(const PanelBox& box) {
    const float ext[3] = {box.length, box.width, box.thickness};
    bool ok = panel_detail::all_finite(box.origin.x, box.origin.y, box.origin.z);
    for (int i = 0; i < 3 && ok; ++i) {
        const Vec3& a = box.axes[i];
        ok = panel_detail::all_finite(a.x, a.y, a.z, ext[i]) && ext[i] > kBoxTolerance &&
             std::fabs(length(a) - 1.0f) <= kBoxTolerance;
    }
    ok = ok && std::fabs(dot(box.axes[0], box.axes[1])) <= kBoxTolerance &&
         std::fabs(dot(box.axes[0], box.axes[2])) <= kBoxTolerance &&
         std::fabs(dot(box.axes[1], box.axes[2])) <= kBoxTolerance &&
         dot(cross(box.axes[0], box.axes[1]), box.axes[2]) > 0.0f;
    return ok ? nullptr : "invalid panel box";
}

SolidCheck panel_solid_check(const Mesh& mesh) {
    SolidCheck c;
    c.faces = mesh.alive_face_count();
    c.vertices = mesh.alive_vertex_count();
    for (const Edge& e : mesh.edges()) c.edges += e.alive ? 1 : 0;
    c.euler = static_cast<std::int64_t>(c.faces) - static_cast<std::int64_t>(c.edges) +
              static_cast<std::int64_t>(c.vertices);
    c.open_edges = mesh.naked_edge_count();
    // Directed face sides per undirected corner pair: a closed manifold has exactly one each
    // way; the same way twice is a reversed neighbour, more than two sides is non-manifold.
    std::vector<std::pair<std::uint64_t, int>> sides;
    const auto verts = mesh.vertices();
    double six_v = 0.0;
    bool have_ref = false;
    Vec3 ref{};
    for (const FaceId f : mesh.alive_faces()) {
        const std::vector<VertexId> ring = mesh.face_vertices(f);
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const VertexId a = ring[i], b = ring[(i + 1) % ring.size()];
            const std::uint64_t lo = std::min(a, b), hi = std::max(a, b);
            sides.push_back({lo << 32 | hi, a < b ? 1 : -1});
        }
        if (ring.size() < 3) continue;
        if (!have_ref) {
            ref = verts[ring[0]].position;
            have_ref = true;
        }
        auto rel = [&](VertexId v) {
            const Vec3 p = verts[v].position;
            return std::array<double, 3>{double(p.x) - ref.x, double(p.y) - ref.y,
                                         double(p.z) - ref.z};
        };
        const auto a = rel(ring[0]);
        for (std::size_t i = 1; i + 1 < ring.size(); ++i) {
            const auto b = rel(ring[i]), d = rel(ring[i + 1]);
            six_v += a[0] * (b[1] * d[2] - b[2] * d[1]) - a[1] * (b[0] * d[2] - b[2] * d[0]) +
                     a[2] * (b[0] * d[1] - b[1] * d[0]);
        }
    }
    std::sort(sides.begin(), sides.end());
    for (std::size_t i = 0; i < sides.size();) {
        std::size_t j = i;
        int forward = 0, backward = 0;
        for (; j < sides.size() && sides[j].first == sides[i].first; ++j)
            (sides[j].second > 0 ? forward : backward) += 1;
        if (forward + backward > 2) ++c.nonmanifold;
        if (forward + backward == 2 && (forward == 2 || backward == 2)) ++c.reversed_pairs;
        i = j;
    }
    c.volume = six_v / 6.0;
    c.solid = c.faces > 0 && c.open_edges == 0 && c.nonmanifold == 0 && c.reversed_pairs == 0 &&
              c.volume > 0.0;
    return c;
}

namespace panel_detail {

Local on_plane(int axis, double c, int u_axis, double u, int v_axis, double v) {
    Local l;
    l.p[axis] = c;
    l.p[u_axis] = u;
    l.p[v_axis] = v;
    return l;
}

std::array<int, 2> other_axes(int axis) {
    return axis == 0 ? std::array<int, 2>{1, 2}
                     : (axis == 1 ? std::array<int, 2>{0, 2} : std::array<int, 2>{0, 1});
}

Frame::Frame(const PanelBox& box) {
    origin_ = {box.origin.x, box.origin.y, box.origin.z};
    for (int i = 0; i < 3; ++i) axes_[i] = {box.axes[i].x, box.axes[i].y, box.axes[i].z};
    ext_ = {box.length, box.width, box.thickness};
}

Vec3 Frame::world(const Local& l) const {
    double w[3];
    for (int k = 0; k < 3; ++k)
        w[k] = origin_[k] + l.p[0] * axes_[0][k] + l.p[1] * axes_[1][k] + l.p[2] * axes_[2][k];
    return {static_cast<float>(w[0]), static_cast<float>(w[1]), static_cast<float>(w[2])};
}

Vec3 Frame::direction(int axis, int sign) const {
    const auto& a = axes_[axis];
    return Vec3{static_cast<float>(a[0]), static_cast<float>(a[1]), static_cast<float>(a[2])} *
           static_cast<float>(sign);
}

std::array<Local, 4> Frame::side_corners(PanelSide side) const {
    const int a = side_axis(side);
    const double c = side_at_max(side) ? ext_[a] : 0.0;
    const auto [u, v] = other_axes(a);
    return {on_plane(a, c, u, 0, v, 0), on_plane(a, c, u, ext_[u], v, 0),
            on_plane(a, c, u, ext_[u], v, ext_[v]), on_plane(a, c, u, 0, v, ext_[v])};
}

FaceId find_side_face(const Mesh& mesh, const Frame& frame, PanelSide side) {
    std::array<Vec3, 4> corners;
    const std::array<Local, 4> local = frame.side_corners(side);
    for (int i = 0; i < 4; ++i) corners[i] = frame.world(local[i]);
    const Vec3 outward = frame.direction(side_axis(side), side_at_max(side) ? 1 : -1);
    const float tol_sq = kSideLookupTolerance * kSideLookupTolerance;
    const auto verts = mesh.vertices();
    for (const FaceId f : mesh.alive_faces()) {
        if (mesh.face_degree(f) != 4) continue;
        if (dot(mesh.face_normal(f), outward) < kOutwardDot) continue;
        const std::vector<VertexId> ring = mesh.face_vertices(f);
        std::array<bool, 4> hit{};
        bool all = true;
        for (const VertexId v : ring) {
            bool found = false;
            for (int i = 0; i < 4 && !found; ++i) {
                if (!hit[i] && length_squared(verts[v].position - corners[i]) <= tol_sq) {
                    hit[i] = true;
                    found = true;
                }
            }
            all = all && found;
        }
        if (all) return f;
    }
    return kInvalidId;
}

bool side_present(const Mesh& mesh, const Frame& frame, PanelSide side) {
    const int a = side_axis(side);
    const Vec3 outward = frame.direction(a, side_at_max(side) ? 1 : -1);
    const Vec3 on_side = frame.world(frame.side_corners(side)[0]);
    const auto verts = mesh.vertices();
    for (const FaceId f : mesh.alive_faces()) {
        if (dot(mesh.face_normal(f), outward) < kOutwardDot) continue;
        bool in_plane = true;
        for (const VertexId v : mesh.face_vertices(f))
            in_plane = in_plane &&
                       std::fabs(dot(verts[v].position - on_side, outward)) <= kSideLookupTolerance;
        if (in_plane) return true;
    }
    return false;
}

std::uint32_t exposed_material(const Mesh& mesh, FaceId cut_face, const PanelOptions& options) {
    if (options.cut_material >= 0) return static_cast<std::uint32_t>(options.cut_material);
    return mesh.face_usable(cut_face) ? mesh.faces()[cut_face].material_id : 0;
}

namespace {

// Naked sides on faces below `limit` that are still alive.
std::uint64_t naked_sides_below(const Mesh& mesh, FaceId limit) {
    const auto he = mesh.half_edges();
    std::uint64_t n = 0;
    for (HalfEdgeId h = 0; h < he.size(); ++h) {
        if (!he[h].alive || he[h].face >= limit || !mesh.face_usable(he[h].face)) continue;
        const HalfEdgeId t = he[h].twin;
        if (t >= he.size() || !he[t].alive || !mesh.face_usable(he[t].face)) ++n;
    }
    return n;
}

}  // namespace

const char* apply_recut(Mesh& mesh, const Frame& frame, const std::vector<FaceId>& erase,
                        const std::vector<NewFace>& faces, const PanelOptions& options,
                        MeshChangeCounts& counts, std::vector<FaceId>* added) {
    // Every ring is checked before anything changes.
    const double tol_sq = double(options.weld_tolerance) * options.weld_tolerance;
    std::vector<std::vector<Vec3>> rings(faces.size());
    for (std::size_t f = 0; f < faces.size(); ++f) {
        if (faces[f].ring.size() < 3) return "internal: a re-ringed face has fewer than three points";
        for (const Local& l : faces[f].ring) rings[f].push_back(frame.world(l));
        const std::vector<Vec3>& r = rings[f];
        for (std::size_t i = 0; i < r.size(); ++i) {
            for (std::size_t j = i + 1; j < r.size(); ++j) {
                const Vec3 d = r[i] - r[j];
                if (double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z < tol_sq)
                    return "joint feature is smaller than the weld tolerance";
            }
        }
    }
    const std::uint64_t vertices_before = mesh.alive_vertex_count();
    std::vector<VertexId> touched;
    for (const FaceId f : erase) {
        for (const VertexId v : mesh.face_vertices(f)) touched.push_back(v);
        if (mesh.erase_face(f)) ++counts.faces_erased;
    }
    const auto first_new = static_cast<FaceId>(mesh.faces().size());
    for (std::size_t f = 0; f < faces.size(); ++f) {
        std::vector<Vec3>& r = rings[f];
        // Newell normal in doubles decides the winding.
        double n[3] = {0, 0, 0};
        for (std::size_t i = 0; i < r.size(); ++i) {
            const Vec3 &p = r[i], &q = r[(i + 1) % r.size()];
            n[0] += (double(p.y) - q.y) * (double(p.z) + q.z);
            n[1] += (double(p.z) - q.z) * (double(p.x) + q.x);
            n[2] += (double(p.x) - q.x) * (double(p.y) + q.y);
        }
        Vec3 want = frame.direction(faces[f].axis, faces[f].sign);
        if (faces[f].toward_point) {
            Vec3 centroid{};
            for (const Vec3& p : r) centroid = centroid + p;
            want = frame.world(faces[f].toward) - centroid * (1.0f / static_cast<float>(r.size()));
        }
        std::vector<VertexId> ids;
        ids.reserve(r.size());
        const bool flip = n[0] * want.x + n[1] * want.y + n[2] * want.z < 0.0;
        if (flip) std::reverse(r.begin(), r.end());
        for (const Vec3& p : r) ids.push_back(mesh.add_vertex(p));
        const std::optional<FaceId> id = mesh.add_ngon(ids);
        if (!id) continue;
        mesh.set_face_material(*id, faces[f].material);
        ++counts.faces_added;
        if (added) added->push_back(*id);
    }
    mesh.weld_vertices(options.weld_tolerance);
    const std::uint64_t naked_before = naked_sides_below(mesh, first_new);
    counts.linked_pairs += mesh.link_shared_edges();
    counts.edge_records_rehomed += naked_before - naked_sides_below(mesh, first_new);

    // Edge records with no face on either side, then corners no face uses.
    const auto he = mesh.half_edges();
    std::vector<EdgeId> stray;
    for (EdgeId e = 0; e < mesh.edges().size(); ++e) {
        const Edge& edge = mesh.edges()[e];
        if (!edge.alive) continue;
        const HalfEdgeId h = edge.half_edge;
        const HalfEdgeId t = h < he.size() ? he[h].twin : kInvalidId;
        const bool faced = (h < he.size() && mesh.face_usable(he[h].face)) ||
                           (t < he.size() && mesh.face_usable(he[t].face));
        if (!faced) stray.push_back(e);
    }
    for (const EdgeId e : stray) {
        const HalfEdgeId h = mesh.edges()[e].half_edge;
        const HalfEdgeId t = h < he.size() ? he[h].twin : kInvalidId;
        mesh.edge_mut(e).alive = false;
        if (h < he.size()) mesh.half_edge_mut(h).alive = false;
        if (t < he.size()) mesh.half_edge_mut(t).alive = false;
    }
    counts.stray_edges_retired += stray.size();
    std::vector<std::uint8_t> used(mesh.vertices().size(), 0);
    for (const HalfEdge& h : mesh.half_edges()) {
        if (h.alive && mesh.face_usable(h.face) && h.origin < used.size()) used[h.origin] = 1;
    }
    for (const VertexId v : touched) {
        if (mesh.vertex_usable(v) && !used[v]) mesh.vertex_mut(v).alive = false;
    }
    mesh.mark_changed(kAllTableBits);
    const std::uint64_t vertices_after = mesh.alive_vertex_count();
    counts.vertices_added +=
        vertices_after > vertices_before ? vertices_after - vertices_before : 0;
    counts.half_edge_naked_edges = mesh.naked_edge_count();
    return nullptr;
}

}  // namespace panel_detail

PanelEmitResult emit_panel(Mesh& mesh, const PanelBox& box, const PanelOptions& options) {
    using namespace panel_detail;
    PanelEmitResult r;
    if (const char* reason = panel_box_refusal(box)) {
        r.message = reason;
        return r;
    }
    if (!all_finite(options.weld_tolerance) || options.weld_tolerance < 0.0f) {
        r.message = kNotFinite;
        return r;
    }
    const Frame frame(box);
    std::vector<NewFace> faces;
    for (int s = 0; s < 6; ++s) {
        const auto side = static_cast<PanelSide>(s);
        const std::array<Local, 4> c = frame.side_corners(side);
        NewFace face;
        face.ring.assign(c.begin(), c.end());
        face.axis = side_axis(side);
        face.sign = side_at_max(side) ? 1 : -1;
        faces.push_back(std::move(face));
    }
    MeshChangeCounts counts;
    std::vector<FaceId> added;
    if (const char* reason = apply_recut(mesh, frame, {}, faces, options, counts, &added)) {
        r.message = reason;
        return r;
    }
    for (std::size_t s = 0; s < 6 && s < added.size(); ++s) r.sides[s] = added[s];
    r.linked_pairs = counts.linked_pairs;
    r.solid = panel_solid_check(mesh);
    r.ok = true;
    return r;
}

}  // namespace korvan
