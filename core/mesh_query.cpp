#include "core/mesh.h"

#include "core/dvec3.h"
#include "core/parallel_scan.h"
#include "core/plane.h"

#include <algorithm>
#include <cmath>

// Face queries and report counts. Whole-table scans go through scan_chunks, so tables past
// the parallel threshold are read in 16,384-element chunks whose results are joined in chunk
// order: lists come out ascending and sums are added in the same order every run.

namespace korvan {
namespace {

constexpr double kMinCentroidArea = 1e-8;

// Alive faces of the table that satisfy pred(face_id, record), ascending.
template <class Pred>
std::vector<FaceId> collect_faces(std::span<const Face> faces, Pred&& pred) {
    return concat_chunks(
        scan_chunks<std::vector<FaceId>>(faces.size(), [&](std::size_t begin, std::size_t end) {
            std::vector<FaceId> out;
            for (std::size_t f = begin; f < end; ++f) {
                if (faces[f].alive && pred(static_cast<FaceId>(f), faces[f])) {
                    out.push_back(static_cast<FaceId>(f));
                }
            }
            return out;
        }));
}

// Number of records in the table that satisfy pred.
template <class T, class Pred>
std::uint64_t count_records(std::span<const T> table, Pred&& pred) {
    const auto parts =
        scan_chunks<std::uint64_t>(table.size(), [&](std::size_t begin, std::size_t end) {
            std::uint64_t n = 0;
            for (std::size_t i = begin; i < end; ++i) n += pred(table[i]) ? 1 : 0;
            return n;
        });
    std::uint64_t total = 0;
    for (const std::uint64_t n : parts) total += n;
    return total;
}

double half_length(const std::array<double, 3>& n) {
    return 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

bool contains_sorted(const std::vector<FaceId>& sorted, FaceId f) {
    return std::binary_search(sorted.begin(), sorted.end(), f);
}

}  // namespace

void Mesh::sort_ids(std::vector<std::uint32_t>& ids) {
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
}

std::vector<FaceId> Mesh::distinct_alive(std::span<const FaceId> faces) const {
    std::vector<FaceId> out;
    out.reserve(faces.size());
    for (const FaceId f : faces) {
        if (face_usable(f)) out.push_back(f);
    }
    // Callers often pass an already ascending list (a query's result); skip the sort then.
    if (!std::is_sorted(out.begin(), out.end()) ||
        std::adjacent_find(out.begin(), out.end()) != out.end()) {
        sort_ids(out);
    }
    return out;
}

std::vector<FaceId> Mesh::alive_faces() const {
    return collect_faces(faces_.view(), [](FaceId, const Face&) { return true; });
}

std::vector<FaceId> Mesh::visible_faces() const {
    return collect_faces(faces_.view(), [](FaceId, const Face& f) { return f.visible; });
}

std::vector<FaceId> Mesh::soft_hidden_faces() const {
    return collect_faces(faces_.view(), [](FaceId, const Face& f) { return !f.visible; });
}

std::vector<FaceId> Mesh::faces_with_layer(std::uint32_t layer) const {
    return collect_faces(faces_.view(),
                         [layer](FaceId, const Face& f) { return f.layer_id == layer; });
}

std::vector<FaceId> Mesh::faces_with_material(std::uint32_t material) const {
    return collect_faces(faces_.view(),
                         [material](FaceId, const Face& f) { return f.material_id == material; });
}

float Mesh::face_area(FaceId face) const {
    if (!face_usable(face)) return 0.0f;
    return static_cast<float>(half_length(newell_vector(face)));
}

float Mesh::area_of_faces(std::span<const FaceId> faces) const {
    const std::vector<FaceId> ids = distinct_alive(faces);
    const auto parts = scan_chunks<double>(ids.size(), [&](std::size_t begin, std::size_t end) {
        double sum = 0.0;
        for (std::size_t i = begin; i < end; ++i) sum += half_length(newell_vector(ids[i]));
        return sum;
    });
    double total = 0.0;
    for (const double s : parts) total += s;
    return static_cast<float>(total);
}

Vec3 Mesh::face_centroid(FaceId face) const {
    if (!face_usable(face)) return {};
    const std::span<const HalfEdge> he = half_edges_.view();
    const std::span<const Vertex> vs = vertices_.view();
    DVec3 sum;
    std::uint64_t n = 0;
    const bool intact = walk_ring(face, [&](HalfEdgeId h) {
        const VertexId v = he[h].origin;
        if (v >= vs.size()) return;
        sum += DVec3(vs[v].position);
        ++n;
    });
    if (!intact || n == 0) return {};
    return (sum * (1.0 / static_cast<double>(n))).to_vec3();
}

std::optional<Vec3> Mesh::centroid_of_faces(std::span<const FaceId> faces) const {
    DVec3 weighted;
    double total = 0.0;
    for (const FaceId f : distinct_alive(faces)) {
        const double area = half_length(newell_vector(f));
        weighted += DVec3(face_centroid(f)) * area;
        total += area;
    }
    if (!(total >= kMinCentroidArea)) return std::nullopt;
    return (weighted * (1.0 / total)).to_vec3();
}

std::vector<EdgeId> Mesh::boundary_edges_of_faces(std::span<const FaceId> faces) const {
    const std::vector<FaceId> set = distinct_alive(faces);
    const std::span<const HalfEdge> he = half_edges_.view();
    std::vector<EdgeId> out;
    std::vector<EdgeId> ring_edges;
    for (const FaceId f : set) {
        ring_edges.clear();
        const bool intact = walk_ring(f, [&](HalfEdgeId h) {
            const EdgeId e = he[h].edge;
            if (!edge_usable(e)) return;
            const HalfEdgeId t = he[h].twin;
            const FaceId other = t < he.size() ? he[t].face : kInvalidId;
            // Interior when a different face of the set lies across.
            if (other != f && face_usable(other) && contains_sorted(set, other)) return;
            ring_edges.push_back(e);
        });
        if (intact) out.insert(out.end(), ring_edges.begin(), ring_edges.end());
    }
    sort_ids(out);
    return out;
}

float Mesh::perimeter_of_faces(std::span<const FaceId> faces) const {
    const std::span<const Vertex> vs = vertices_.view();
    double total = 0.0;
    for (const EdgeId e : boundary_edges_of_faces(faces)) {
        const auto [a, b] = edge_vertices(e);
        if (a >= vs.size() || b >= vs.size()) continue;
        const DVec3 d = DVec3(vs[a].position) - DVec3(vs[b].position);
        total += std::sqrt(dot(d, d));
    }
    return static_cast<float>(total);
}

std::vector<FaceId> Mesh::faces_within_aabb(const Aabb& box) const {
    if (box.empty()) return {};
    return collect_faces(faces_.view(),
                         [&](FaceId f, const Face&) { return box.contains(face_centroid(f)); });
}

std::vector<FaceId> Mesh::faces_with_area_between(float min_area, float max_area) const {
    const float lo = std::max(min_area, 0.0f);
    if (!(lo <= max_area)) return {};
    return collect_faces(faces_.view(), [&](FaceId f, const Face&) {
        const float area = face_area(f);
        return lo <= area && area <= max_area;
    });
}

std::vector<FaceId> Mesh::faces_facing(const Vec3& dir, float max_angle_deg) const {
    const DVec3 d(dir);
    const double len_sq = dot(d, d);
    if (!(len_sq >= kDegenerateDirectionSq)) return {};
    const Vec3 unit = (d * (1.0 / std::sqrt(len_sq))).to_vec3();
    const float min_dot = std::cos(radians(std::max(0.0f, max_angle_deg)));
    return collect_faces(faces_.view(), [&](FaceId, const Face& f) {
        if (static_cast<double>(length_squared(f.normal)) < kDegenerateNormalSq) return false;
        return dot(f.normal, unit) >= min_dot;
    });
}

std::vector<FaceId> Mesh::coplanar_faces(FaceId seed, float eps, bool same_plane) const {
    if (!face_usable(seed)) return {};
    const Vec3 n0 = faces_[seed].normal;
    std::optional<Plane> plane;
    if (same_plane) {
        const std::vector<VertexId> ring = face_vertices(seed);
        if (!ring.empty() && ring.front() < vertices_.size()) {
            plane = make_plane(vertices_[ring.front()].position, n0);
        }
        // A seed without a plane has no neighbour on it.
        if (!plane) return {seed};
    }
    const std::span<const HalfEdge> he = half_edges_.view();
    const std::span<const Vertex> vs = vertices_.view();
    return flood_fill_faces(seed, [&](FaceId g) {
        if (dot(faces_[g].normal, n0) < eps) return false;
        if (!plane) return true;
        bool on_plane = true;
        const bool intact = walk_ring(g, [&](HalfEdgeId h) {
            const VertexId v = he[h].origin;
            if (v >= vs.size() ||
                std::fabs(signed_distance(*plane, vs[v].position)) > kPointOnPlaneTolerance) {
                on_plane = false;
            }
        });
        return intact && on_plane;
    });
}

std::vector<FaceId> Mesh::connected_faces(FaceId seed) const {
    return flood_fill_faces(seed, [](FaceId) { return true; });
}

std::vector<FaceId> Mesh::adjacent_faces(FaceId seed) const {
    std::vector<FaceId> out;
    if (!face_usable(seed)) return out;
    const std::span<const HalfEdge> he = half_edges_.view();
    const bool intact = walk_ring(seed, [&](HalfEdgeId h) {
        const HalfEdgeId t = he[h].twin;
        if (t >= he.size()) return;
        const FaceId g = he[t].face;
        if (g != seed && face_usable(g)) out.push_back(g);
    });
    if (!intact) return {};
    sort_ids(out);
    return out;
}

std::vector<FaceId> Mesh::grow_faces(std::span<const FaceId> faces) const {
    std::vector<FaceId> out = distinct_alive(faces);
    const std::size_t n = out.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::vector<FaceId> around = adjacent_faces(out[i]);
        out.insert(out.end(), around.begin(), around.end());
    }
    sort_ids(out);
    return out;
}

std::vector<FaceId> Mesh::shrink_faces(std::span<const FaceId> faces) const {
    const std::vector<FaceId> set = distinct_alive(faces);
    std::vector<FaceId> out;
    for (const FaceId f : set) {
        const std::vector<FaceId> around = adjacent_faces(f);
        if (std::all_of(around.begin(), around.end(),
                        [&](FaceId g) { return contains_sorted(set, g); })) {
            out.push_back(f);
        }
    }
    return out;
}

std::vector<FaceId> Mesh::invert_face_selection(std::span<const FaceId> faces) const {
    std::vector<std::uint8_t> chosen(faces_.size(), 0);
    for (const FaceId f : faces) {
        if (f < chosen.size()) chosen[f] = 1;
    }
    return collect_faces(faces_.view(), [&](FaceId f, const Face&) { return !chosen[f]; });
}

std::optional<Aabb> Mesh::compute_aabb_of_faces(std::span<const FaceId> faces) const {
    const std::span<const HalfEdge> he = half_edges_.view();
    const std::span<const Vertex> vs = vertices_.view();
    Aabb box;
    for (const FaceId f : distinct_alive(faces)) {
        walk_ring(f, [&](HalfEdgeId h) {
            if (he[h].origin < vs.size()) box.expand(vs[he[h].origin].position);
        });
    }
    if (box.empty()) return std::nullopt;
    return box;
}

std::optional<Obb> Mesh::compute_obb_of_faces(std::span<const FaceId> faces) const {
    std::vector<VertexId> ids;
    for (const FaceId f : distinct_alive(faces)) {
        for (const VertexId v : face_vertices(f)) {
            if (v < vertices_.size()) ids.push_back(v);
        }
    }
    sort_ids(ids);
    std::vector<Vec3> points;
    points.reserve(ids.size());
    for (const VertexId v : ids) points.push_back(vertices_[v].position);
    return oriented_box_of_points(points);
}

float Mesh::signed_volume() const {
    const std::span<const Vertex> vs = vertices_.view();
    const std::span<const HalfEdge> he = half_edges_.view();
    const std::span<const Face> fs = faces_.view();

    // Taking the triple products about the box centre keeps them small, so a solid far from
    // the origin does not lose its volume to cancellation.
    const auto boxes = scan_chunks<Aabb>(vs.size(), [&](std::size_t begin, std::size_t end) {
        Aabb b;
        for (std::size_t v = begin; v < end; ++v) {
            if (vs[v].alive) b.expand(vs[v].position);
        }
        return b;
    });
    Aabb box;
    for (const Aabb& b : boxes) box.expand(b);
    if (box.empty()) return 0.0f;
    const DVec3 c = (DVec3(box.min) + DVec3(box.max)) * 0.5;

    const auto parts = scan_chunks<double>(fs.size(), [&](std::size_t begin, std::size_t end) {
        double sum = 0.0;
        for (std::size_t f = begin; f < end; ++f) {
            if (!fs[f].alive) continue;
            double face_sum = 0.0;
            DVec3 p0, prev;
            std::uint64_t k = 0;
            bool bad_vertex = false;
            const bool intact = walk_ring(static_cast<FaceId>(f), [&](HalfEdgeId h) {
                const VertexId v = he[h].origin;
                if (v >= vs.size()) bad_vertex = true;
                if (bad_vertex) return;
                const DVec3 p = DVec3(vs[v].position) - c;
                if (k == 0)
                    p0 = p;
                else if (k >= 2)
                    face_sum += dot(p0, cross(prev, p));
                prev = p;
                ++k;
            });
            if (intact && !bad_vertex && k >= 3) sum += face_sum;
        }
        return sum;
    });
    double total = 0.0;
    for (const double s : parts) total += s;
    return static_cast<float>(total / 6.0);
}

float Mesh::compute_volume() const { return std::fabs(signed_volume()); }

std::uint64_t Mesh::alive_face_count() const {
    return count_records(faces_.view(), [](const Face& f) { return f.alive; });
}

std::uint64_t Mesh::alive_vertex_count() const {
    return count_records(vertices_.view(), [](const Vertex& v) { return v.alive; });
}

std::uint64_t Mesh::soft_edge_count() const {
    return count_records(edges_.view(), [](const Edge& e) { return e.alive && e.soft; });
}

std::uint32_t Mesh::max_layer_id() const {
    const std::span<const Face> fs = faces_.view();
    const auto parts =
        scan_chunks<std::uint32_t>(fs.size(), [&](std::size_t begin, std::size_t end) {
            std::uint32_t top = 0;
            for (std::size_t f = begin; f < end; ++f) {
                if (fs[f].alive && fs[f].layer_id != kInvalidLayer) {
                    top = std::max(top, fs[f].layer_id);
                }
            }
            return top;
        });
    std::uint32_t top = 0;
    for (const std::uint32_t t : parts) top = std::max(top, t);
    return top;
}

}  // namespace korvan
