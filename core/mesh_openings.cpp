#include "core/mesh_openings.h"

// Openings through a wall.
//
// The opening is a rectangle in the face's plane (width along the horizontal of the face,
// height up it). A half-edge face has one ring, so a face with a hole in it becomes two
// faces: two bridges join opposite corners of the hole to visible corners of the face's ring
// and split it into two simple polygons. When no pair of bridges gives two simple polygons
// (odd, non-convex faces), the face minus the hole is triangulated instead. The far face of
// the wall gets the same hole moved along the normal, and four jamb quads join the two rims;
// the pieces reuse the old rings' vertices, so after local linking the wall's other faces
// see the same edges as before and a closed wall stays closed.
//
// An opening standing on the face's border (a door whose sill is the wall's foot) cannot be a
// hole: the face's ring takes it as a notch, the far face the same, and the face that joins
// the two borders (the wall's underside) is split along the opening's sides with the strip
// between them dropped. Three jambs then close the tunnel.

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <vector>

#include "core/dvec3.h"
#include "core/mesh.h"
#include "core/mesh_local_link.h"
#include "core/planar_ring.h"
#include "core/polygon_2d.h"

namespace korvan {
namespace {

constexpr float kMinOpeningSize = kMinCreationSize;
constexpr double kBorderClearance = kWeldTolerance;  // a hole must stay this far from the rim
constexpr double kOnBorder = kWeldTolerance;         // an opening side this close is on it
constexpr float kThinWall = 1e-6f;                   // thickness at or below: search the far face
constexpr float kFarSlackRatio = 0.1f;               // a far face may sit this share of the
constexpr float kFarSlack = 0.05f;                   // thickness plus this off the given one

struct FaceShape {
    FaceId face = kInvalidId;
    std::vector<VertexId> ids;
    std::vector<Vec3> points;
    Vec3 normal;  // unit, from the ring
    Vec3 centroid;
};

std::optional<FaceShape> shape_of(const Mesh& mesh, FaceId face) {
    if (!mesh.face_usable(face)) return std::nullopt;
    FaceShape s;
    s.face = face;
    s.ids = mesh.face_vertices(face);
    if (s.ids.size() < 3) return std::nullopt;
    DVec3 sum;
    for (const VertexId v : s.ids) {
        if (!mesh.vertex_usable(v)) return std::nullopt;
        s.points.push_back(mesh.vertices()[v].position);
        sum += DVec3(s.points.back());
    }
    const Vec3 n = ring_normal_of(s.points);
    if (static_cast<double>(length_squared(n)) < kDegenerateNormalSq) return std::nullopt;
    s.normal = normalize(n);
    s.centroid = (sum * (1.0 / static_cast<double>(s.ids.size()))).to_vec3();
    return s;
}

std::vector<Point2> flatten(const PlaneFrame& frame, const std::vector<Vec3>& points) {
    std::vector<Point2> out;
    out.reserve(points.size());
    for (const Vec3& p : points) out.push_back(frame.to_2d(p));
    return out;
}

// Whether the segment a-b meets the box [lo, hi] (Liang-Barsky clipping).
bool segment_meets_box(const Point2& a, const Point2& b, const Point2& lo, const Point2& hi) {
    double t0 = 0.0, t1 = 1.0;
    const double d[2] = {b.x - a.x, b.y - a.y};
    const double p0[2] = {a.x, a.y}, min[2] = {lo.x, lo.y}, max[2] = {hi.x, hi.y};
    for (int k = 0; k < 2; ++k) {
        if (d[k] == 0.0) {
            if (p0[k] < min[k] || p0[k] > max[k]) return false;
            continue;
        }
        double ta = (min[k] - p0[k]) / d[k], tb = (max[k] - p0[k]) / d[k];
        if (ta > tb) std::swap(ta, tb);
        t0 = std::max(t0, ta);
        t1 = std::min(t1, tb);
        if (t0 > t1) return false;
    }
    return true;
}

// The rectangle (corners in the frame of the face) lies inside the ring, clear of its border.
bool hole_fits(const std::vector<Point2>& ring, const std::vector<Point2>& hole) {
    Point2 lo = hole[0], hi = hole[0];
    for (const Point2& p : hole) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
        if (!point_in_ring(ring, p)) return false;
    }
    lo = {lo.x - kBorderClearance, lo.y - kBorderClearance};
    hi = {hi.x + kBorderClearance, hi.y + kBorderClearance};
    for (std::size_t i = 0; i < ring.size(); ++i) {
        if (segment_meets_box(ring[i], ring[(i + 1) % ring.size()], lo, hi)) return false;
    }
    return true;
}

// A bridge from hole corner hi to ring corner oi that crosses neither ring nor hole and runs
// through the material between them.
bool clear_bridge(const std::vector<Point2>& outer, std::size_t oi, const std::vector<Point2>& hole,
                  std::size_t hi) {
    const Point2 a = hole[hi], b = outer[oi];
    const std::size_t n = outer.size(), m = hole.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        if (i == oi || j == oi) continue;
        if (segments_touch(a, b, outer[i], outer[j])) return false;
    }
    for (std::size_t i = 0; i < m; ++i) {
        const std::size_t j = (i + 1) % m;
        if (i == hi || j == hi) continue;
        if (segments_touch(a, b, hole[i], hole[j])) return false;
    }
    const Point2 mid{(a.x + b.x) * 0.5, (a.y + b.y) * 0.5};
    return point_in_ring(outer, mid) && !point_in_ring(hole, mid);
}

using Piece = std::vector<std::uint32_t>;  // indices into the ring's points, then the hole's

// Two simple pieces split along bridges from opposite hole corners, or nothing.
std::optional<std::vector<Piece>> bridged_pieces(const std::vector<Point2>& outer,
                                                 const std::vector<Point2>& hole) {
    const auto n = static_cast<std::uint32_t>(outer.size());
    const auto m = static_cast<std::uint32_t>(hole.size());
    auto by_distance = [&](std::uint32_t h) {
        std::vector<std::uint32_t> order(n);
        std::iota(order.begin(), order.end(), 0u);
        auto d2 = [&](std::uint32_t o) {
            const double dx = outer[o].x - hole[h].x, dy = outer[o].y - hole[h].y;
            return dx * dx + dy * dy;
        };
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return d2(a) < d2(b); });
        return order;
    };
    auto points_of = [&](const Piece& piece) {
        std::vector<Point2> pts;
        for (const std::uint32_t i : piece) pts.push_back(i < n ? outer[i] : hole[i - n]);
        return pts;
    };
    for (std::uint32_t ha = 0; ha < 2; ++ha) {
        const std::uint32_t hb = ha + 2;
        for (const std::uint32_t ra : by_distance(ha)) {
            if (!clear_bridge(outer, ra, hole, ha)) continue;
            for (const std::uint32_t rb : by_distance(hb)) {
                if (rb == ra || !clear_bridge(outer, rb, hole, hb)) continue;
                if (segments_touch(hole[ha], outer[ra], hole[hb], outer[rb])) continue;
                Piece first, second;
                for (std::uint32_t i = ra;; i = (i + 1) % n) {
                    first.push_back(i);
                    if (i == rb) break;
                }
                for (std::uint32_t i = hb;; i = (i + 1) % m) {
                    first.push_back(n + i);
                    if (i == ha) break;
                }
                for (std::uint32_t i = rb;; i = (i + 1) % n) {
                    second.push_back(i);
                    if (i == ra) break;
                }
                for (std::uint32_t i = ha;; i = (i + 1) % m) {
                    second.push_back(n + i);
                    if (i == hb) break;
                }
                const std::vector<Point2> p1 = points_of(first), p2 = points_of(second);
                if (ring_is_simple(p1) && ring_is_simple(p2) && signed_area2(p1) > 0.0 &&
                    signed_area2(p2) > 0.0) {
                    return std::vector<Piece>{first, second};
                }
            }
        }
    }
    return std::nullopt;
}

// Pieces covering the face minus the hole (wound against the ring in the face's plane).
std::vector<Piece> pieces_around(const FaceShape& face, const std::vector<Vec3>& hole) {
    const PlaneFrame frame = frame_about(face.centroid, face.normal);
    if (auto bridged = bridged_pieces(flatten(frame, face.points), flatten(frame, hole))) {
        return *bridged;
    }
    const std::vector<std::vector<Vec3>> holes{hole};
    std::vector<Piece> out;
    for (const IndexTriangle& t : triangulate_polygon_2d(face.points, holes)) {
        out.push_back({t[0], t[1], t[2]});
    }
    return out;
}

// The nearest alive face behind `front` facing the other way that the opening's centre
// projects onto; with a thickness, the one closest to that distance within the slack.
std::optional<FaceShape> find_far_face(const Mesh& mesh, const FaceShape& front, const Vec3& centre,
                                       float thickness, double& depth) {
    std::optional<FaceShape> best;
    double best_score = 0.0;
    const auto faces = mesh.faces();
    for (FaceId g = 0; g < faces.size(); ++g) {
        if (g == front.face || !faces[g].alive) continue;
        // The stored normal only screens; the ring's own normal decides.
        if (dot(faces[g].normal, front.normal) > 0.0f) continue;
        std::optional<FaceShape> far = shape_of(mesh, g);
        if (!far || dot(far->normal, front.normal) > -kCoplanarNormalDot) continue;
        const double d = dot(DVec3(centre) - DVec3(far->points[0]), DVec3(front.normal));
        if (!(d > kThinWall)) continue;
        double score = d;
        if (thickness > kThinWall) {
            score = std::fabs(d - thickness);
            if (score > kFarSlackRatio * thickness + kFarSlack) continue;
        }
        const PlaneFrame frame = frame_about(far->centroid, far->normal);
        const Vec3 behind = centre - front.normal * static_cast<float>(d);
        if (!point_in_ring(flatten(frame, far->points), frame.to_2d(behind))) continue;
        if (!best || score < best_score) {
            best = std::move(far);
            best_score = score;
            depth = d;
        }
    }
    return best;
}

// After the face on these half-edges was erased and its pieces linked: retires every side no
// alive face borders any more, so the naked-edge count shows only real boundaries.
void retire_orphaned_sides(Mesh& mesh, const std::vector<HalfEdgeId>& ring) {
    for (const HalfEdgeId h : ring) {
        const auto he = mesh.half_edges();
        if (!he[h].alive || mesh.face_usable(he[h].face)) continue;
        const HalfEdgeId t = he[h].twin;
        if (t < he.size() && he[t].alive && mesh.face_usable(he[t].face)) continue;
        mesh.half_edge_mut(h).alive = false;
        if (t < he.size()) mesh.half_edge_mut(t).alive = false;
        const EdgeId e = he[h].edge;
        if (e < mesh.edges().size()) mesh.edge_mut(e).alive = false;
    }
}

// Adds the face over the ring with the look (material, layer, visibility, extras) of another.
std::optional<FaceId> add_like(Mesh& mesh, const std::vector<VertexId>& ring, const Face& look) {
    const std::optional<FaceId> f = mesh.add_ngon(ring);
    if (!f) return std::nullopt;
    Face& nf = mesh.face_mut(*f);
    nf.material_id = look.material_id;
    nf.layer_id = look.layer_id;
    nf.visible = look.visible;
    nf.tag = look.tag;
    nf.extra_flag_1 = look.extra_flag_1;
    nf.extra_flag_2 = look.extra_flag_2;
    return f;
}

// Jambs take the wall face's material, layer and visibility, but not its tag or flags,
// which belong to that face alone.
Face jamb_look_of(const Face& wall) {
    Face look;
    look.material_id = wall.material_id;
    look.layer_id = wall.layer_id;
    look.visible = wall.visible;
    return look;
}

// Replaces the face by its pieces over its own vertices and the hole's; returns their ids.
std::vector<FaceId> rebuild_face(Mesh& mesh, const FaceShape& shape,
                                 const std::vector<Piece>& pieces,
                                 const std::vector<VertexId>& hole_ids) {
    const Face look = mesh.faces()[shape.face];
    std::vector<FaceId> made;
    const auto n = static_cast<std::uint32_t>(shape.ids.size());
    mesh.erase_face(shape.face);
    for (const Piece& piece : pieces) {
        std::vector<VertexId> ring;
        for (const std::uint32_t i : piece) ring.push_back(i < n ? shape.ids[i] : hole_ids[i - n]);
        if (const std::optional<FaceId> f = add_like(mesh, ring, look)) made.push_back(*f);
    }
    return made;
}

// The ring side (by its first corner) that holds p and then q strictly inside it, both within
// the border tolerance of it; nothing when no side does.
std::optional<std::size_t> side_holding(const std::vector<Point2>& ring, const Point2& p,
                                        const Point2& q) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point2& a = ring[i];
        const Point2& b = ring[(i + 1) % ring.size()];
        if (distance_to_segment(p, a, b) > kOnBorder || distance_to_segment(q, a, b) > kOnBorder) {
            continue;
        }
        const double dx = b.x - a.x, dy = b.y - a.y;
        const double len = std::sqrt(dx * dx + dy * dy);
        if (len <= 0.0) continue;
        const double tp = ((p.x - a.x) * dx + (p.y - a.y) * dy) / len;
        const double tq = ((q.x - a.x) * dx + (q.y - a.y) * dy) / len;
        if (tp > kBorderClearance && tq > tp && tq < len - kBorderClearance) return i;
    }
    return std::nullopt;
}

// An opening that stands on the border of the face (a door on the floor line): side `side`
// of the rectangle (corner side to side + 1, counter-clockwise about the face's normal) lies
// along ring side `ring_side`.
struct Notch {
    int side = 0;
    std::size_t ring_side = 0;
};

// The other face on a ring side: the alive face across its twin, or kInvalidId.
FaceId face_across(const Mesh& mesh, FaceId face, std::size_t ring_side) {
    const std::vector<HalfEdgeId> sides = mesh.face_half_edges(face);
    if (ring_side >= sides.size()) return kInvalidId;
    const auto he = mesh.half_edges();
    const HalfEdgeId t = he[sides[ring_side]].twin;
    if (t >= he.size() || !mesh.face_usable(he[t].face)) return kInvalidId;
    return he[t].face;
}

// Position in `ring` of vertex `from` followed by vertex `to`, or nothing.
std::optional<std::size_t> ring_step(const std::vector<VertexId>& ring, VertexId from,
                                     VertexId to) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
        if (ring[i] == from && ring[(i + 1) % ring.size()] == to) return i;
    }
    return std::nullopt;
}

// A ring of positions is a simple polygon in the plane across `normal`.
bool simple_about(const std::vector<Vec3>& ring, const Vec3& normal) {
    if (ring.size() < 3) return false;
    const PlaneFrame frame = frame_about(ring[0], normal);
    return ring_is_simple(flatten(frame, ring));
}

// An opening standing on the border of the face. The face's ring takes the opening as a notch;
// with a far face, that face takes the same notch, the face joining the two borders (the floor
// under a door) loses the strip between them and is left in two pieces, and three jambs line
// the sides and head. Without a far face the border must be open.
OpeningResult cut_notch(Mesh& mesh, const FaceShape& front, const std::optional<FaceShape>& far,
                        const std::vector<Vec3>& corners, const std::vector<Vec3>& far_corners,
                        const Notch& notch, double depth) {
    OpeningResult result;
    const int k = notch.side;
    auto at = [k](int i) { return static_cast<std::size_t>((k + i) % 4); };
    const std::size_t nf = front.ids.size(), i = notch.ring_side;
    const VertexId a = front.ids[i], b = front.ids[(i + 1) % nf];
    const FaceId floor = face_across(mesh, front.face, i);

    std::optional<std::size_t> j, ia, jd;
    std::vector<VertexId> floor_ring;
    if (!far) {
        if (floor != kInvalidId) {
            result.message = "the opening reaches the face's border where another face meets it";
            return result;
        }
    } else {
        const PlaneFrame far_frame = frame_about(far->centroid, far->normal);
        j = side_holding(flatten(far_frame, far->points), far_frame.to_2d(far_corners[at(1)]),
                         far_frame.to_2d(far_corners[at(0)]));
        if (!j) {
            result.message = "the opening does not reach the far face's border";
            return result;
        }
        const std::size_t ng = far->ids.size();
        const VertexId c = far->ids[*j], d = far->ids[(*j + 1) % ng];
        if (floor != kInvalidId && face_across(mesh, far->face, *j) == floor) {
            floor_ring = mesh.face_vertices(floor);
            ia = ring_step(floor_ring, b, a);
            jd = ring_step(floor_ring, d, c);
        }
        if (!ia || !jd) {
            result.message =
                "the border under the opening is not one face joining the wall's sides";
            return result;
        }
    }

    // The new rings as ring entries: an old vertex id, or one of the new corners (front
    // corners as kQ + i, far ones as kR + i) until the vertices exist.
    constexpr VertexId kQ = kInvalidId - 8, kR = kInvalidId - 4;
    std::vector<VertexId> front_ring;
    for (std::size_t t = 1; t <= nf; ++t) front_ring.push_back(front.ids[(i + t) % nf]);
    for (const int c : {0, 3, 2, 1}) front_ring.push_back(kQ + static_cast<VertexId>(at(c)));
    std::vector<VertexId> far_ring, piece_a, piece_b;
    if (far) {
        const std::size_t ng = far->ids.size();
        for (std::size_t t = 1; t <= ng; ++t) far_ring.push_back(far->ids[(*j + t) % ng]);
        for (const int c : {1, 2, 3, 0}) far_ring.push_back(kR + static_cast<VertexId>(at(c)));
        const std::size_t m = floor_ring.size();
        for (std::size_t t = (*ia + 1) % m;; t = (t + 1) % m) {
            piece_a.push_back(floor_ring[t]);
            if (t == *jd) break;
        }
        piece_a.push_back(kR + static_cast<VertexId>(at(0)));
        piece_a.push_back(kQ + static_cast<VertexId>(at(0)));
        for (std::size_t t = (*jd + 1) % m;; t = (t + 1) % m) {
            piece_b.push_back(floor_ring[t]);
            if (t == *ia) break;
        }
        piece_b.push_back(kQ + static_cast<VertexId>(at(1)));
        piece_b.push_back(kR + static_cast<VertexId>(at(1)));
    }
    auto position = [&](VertexId v) {
        if (v >= kQ && v < kR) return corners[v - kQ];
        if (v >= kR) return far_corners[v - kR];
        return mesh.vertices()[v].position;
    };
    auto positions = [&](const std::vector<VertexId>& ring) {
        std::vector<Vec3> out;
        for (const VertexId v : ring) out.push_back(position(v));
        return out;
    };
    bool simple = simple_about(positions(front_ring), front.normal);
    if (far) {
        const Vec3 floor_normal = normalize(ring_normal_of(positions(floor_ring)));
        simple = simple && simple_about(positions(far_ring), far->normal) &&
                 simple_about(positions(piece_a), floor_normal) &&
                 simple_about(positions(piece_b), floor_normal);
    }
    if (!simple) {
        result.message = "the face around the opening could not be divided";
        return result;
    }

    std::vector<HalfEdgeId> old_sides = mesh.face_half_edges(front.face);
    if (far) {
        for (const FaceId f : {far->face, floor}) {
            const std::vector<HalfEdgeId> more = mesh.face_half_edges(f);
            old_sides.insert(old_sides.end(), more.begin(), more.end());
        }
    }
    std::vector<VertexId> made_vertices;
    for (const Vec3& p : corners) made_vertices.push_back(mesh.add_vertex(p));
    if (far) {
        for (const Vec3& p : far_corners) made_vertices.push_back(mesh.add_vertex(p));
    }
    auto resolve = [&](std::vector<VertexId> ring) {
        for (VertexId& v : ring) {
            if (v >= kQ) v = made_vertices[v - kQ];
        }
        return ring;
    };
    const Face front_look = mesh.faces()[front.face];
    std::vector<FaceId> made;
    auto keep = [&](std::optional<FaceId> f) {
        if (f) made.push_back(*f);
    };
    mesh.erase_face(front.face);
    keep(add_like(mesh, resolve(front_ring), front_look));
    if (far) {
        const Face far_look = mesh.faces()[far->face], floor_look = mesh.faces()[floor];
        mesh.erase_face(far->face);
        mesh.erase_face(floor);
        keep(add_like(mesh, resolve(far_ring), far_look));
        keep(add_like(mesh, resolve(piece_a), floor_look));
        keep(add_like(mesh, resolve(piece_b), floor_look));
        const Face jamb_look = jamb_look_of(front_look);
        for (const int c : {1, 2, 3}) {
            const VertexId q0 = made_vertices[at(c)], q1 = made_vertices[at(c + 1)];
            const VertexId r0 = made_vertices[4 + at(c)], r1 = made_vertices[4 + at(c + 1)];
            keep(add_like(mesh, {q0, q1, r1, r0}, jamb_look));
        }
        result.far_face = far->face;
        result.depth = static_cast<float>(depth);
    }
    link_faces_locally(mesh, made);
    retire_orphaned_sides(mesh, old_sides);
    mesh.mark_changed(kAllTableBits);
    result.ok = true;
    result.faces_made = made.size();
    return result;
}

}  // namespace

OpeningResult cut_opening_through(Mesh& mesh, FaceId face, float width, float height, float sill,
                                  float thickness) {
    OpeningResult result;
    if (!(width > kMinOpeningSize) || !(height > kMinOpeningSize) || !std::isfinite(width) ||
        !std::isfinite(height) || !std::isfinite(sill) || !std::isfinite(thickness)) {
        result.message = "the opening's width and height must be finite and above 1e-4";
        return result;
    }
    const std::optional<FaceShape> front = shape_of(mesh, face);
    if (!front) {
        result.message = "invalid/dead face, <3 vertices, or degenerate normal";
        return result;
    }
    const Vec3 n = front->normal;
    Vec3 centre = front->centroid;
    centre.z = sill + height * 0.5f;
    centre = centre - n * dot(centre - front->centroid, n);

    const PlaneFrame frame = frame_about(centre, n);
    const double hw = width * 0.5, hh = height * 0.5;
    const std::vector<Vec3> corners{frame.to_3d({-hw, -hh}), frame.to_3d({hw, -hh}),
                                    frame.to_3d({hw, hh}), frame.to_3d({-hw, hh})};
    const PlaneFrame front_frame = frame_about(front->centroid, n);
    const std::vector<Point2> front_ring = flatten(front_frame, front->points);
    // Sides of the rectangle pulled in from side k, so that a rectangle standing on the
    // border can be tested for the clearance it needs everywhere else.
    auto pulled_in = [&](int k) {
        const double s = 3.0 * kBorderClearance;
        const double x0 = -hw + (k == 3 ? s : 0.0), x1 = hw - (k == 1 ? s : 0.0);
        const double y0 = -hh + (k == 0 ? s : 0.0), y1 = hh - (k == 2 ? s : 0.0);
        return std::vector<Vec3>{frame.to_3d({x0, y0}), frame.to_3d({x1, y0}),
                                 frame.to_3d({x1, y1}), frame.to_3d({x0, y1})};
    };
    std::optional<Notch> notch;
    if (!hole_fits(front_ring, flatten(front_frame, corners))) {
        const std::vector<Point2> rect = flatten(front_frame, corners);
        for (int k = 0; k < 4 && !notch; ++k) {
            const auto side = side_holding(front_ring, rect[k], rect[(k + 1) % 4]);
            if (side && hole_fits(front_ring, flatten(front_frame, pulled_in(k)))) {
                notch = Notch{k, *side};
            }
        }
        if (!notch) {
            result.message = "the opening does not fit inside the face";
            return result;
        }
    }

    double depth = 0.0;
    const std::optional<FaceShape> far = find_far_face(mesh, *front, centre, thickness, depth);
    if (!far && thickness > kThinWall) {
        result.message = "no face of the wall lies that far behind the face";
        return result;
    }
    std::vector<Vec3> far_corners;
    if (far) {
        for (const Vec3& q : corners) far_corners.push_back(q - n * static_cast<float>(depth));
        const PlaneFrame far_frame = frame_about(far->centroid, far->normal);
        std::vector<Vec3> tested = far_corners;
        if (notch) {
            tested.clear();
            for (const Vec3& q : pulled_in(notch->side)) {
                tested.push_back(q - n * static_cast<float>(depth));
            }
        }
        if (!hole_fits(flatten(far_frame, far->points), flatten(far_frame, tested))) {
            result.message = "the opening does not fit inside the far face";
            return result;
        }
    }
    if (notch) return cut_notch(mesh, *front, far, corners, far_corners, *notch, depth);

    // The front hole runs against the front ring; the far hole, seen from the far side, runs
    // the other way round the same corners.
    const std::vector<Vec3> front_hole{corners[3], corners[2], corners[1], corners[0]};
    const std::vector<Piece> front_pieces = pieces_around(*front, front_hole);
    std::vector<Piece> far_pieces;
    if (far) far_pieces = pieces_around(*far, far_corners);
    if (front_pieces.empty() || (far && far_pieces.empty())) {
        result.message = "the face around the opening could not be divided";
        return result;
    }

    const std::vector<HalfEdgeId> front_sides = mesh.face_half_edges(face);
    const std::vector<HalfEdgeId> far_sides =
        far ? mesh.face_half_edges(far->face) : std::vector<HalfEdgeId>{};
    std::vector<VertexId> q(4), r;
    for (int i = 0; i < 4; ++i) q[i] = mesh.add_vertex(corners[i]);
    if (far) {
        for (int i = 0; i < 4; ++i) r.push_back(mesh.add_vertex(far_corners[i]));
    }
    const Face jamb_look = jamb_look_of(mesh.faces()[face]);
    std::vector<FaceId> made = rebuild_face(mesh, *front, front_pieces, {q[3], q[2], q[1], q[0]});
    if (far) {
        const std::vector<FaceId> back = rebuild_face(mesh, *far, far_pieces, r);
        made.insert(made.end(), back.begin(), back.end());
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            if (const auto jamb = add_like(mesh, {q[i], q[j], r[j], r[i]}, jamb_look)) {
                made.push_back(*jamb);
            }
        }
        result.far_face = far->face;
        result.depth = static_cast<float>(depth);
    }
    link_faces_locally(mesh, made);
    retire_orphaned_sides(mesh, front_sides);
    retire_orphaned_sides(mesh, far_sides);
    mesh.mark_changed(kAllTableBits);
    result.ok = true;
    result.faces_made = made.size();
    return result;
}

bool cut_door_opening_through(Mesh& mesh, FaceId face, float width, float height, float sill,
                              float thickness) {
    return cut_opening_through(mesh, face, width, height, sill, thickness).ok;
}

bool cut_window_opening_through(Mesh& mesh, FaceId face, float width, float height, float sill,
                                float thickness) {
    return cut_opening_through(mesh, face, width, height, sill, thickness).ok;
}

}  // namespace korvan
