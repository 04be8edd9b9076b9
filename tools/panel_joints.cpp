#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/polygon_2d.h"
#include "tools/panels.h"
#include "tools/panels_internal.h"

// The joints. Each builds its new faces in panel-local coordinates from the board box alone
// (never from what an earlier cut left), after every check that depends only on the spec and
// the box; the faces it changes must still be the board's plain rectangles.

namespace korvan {
namespace {

using namespace panel_detail;

constexpr std::int32_t kMaxBoreSegments = 256;

// The side's plane coordinate, and +1 or -1 for the way into the board from it.
double plane_of(const Frame& frame, PanelSide side) {
    return side_at_max(side) ? frame.ext(side_axis(side)) : 0.0;
}
int inward(PanelSide side) { return side_at_max(side) ? -1 : 1; }
int outward(PanelSide side) { return side_at_max(side) ? 1 : -1; }
PanelSide opposite(PanelSide side) { return static_cast<PanelSide>(static_cast<int>(side) ^ 1); }

NewFace quad(int axis, double c, int u, int v, std::array<std::array<double, 2>, 4> uv, int sign,
             std::uint32_t material) {
    NewFace f;
    for (const auto& p : uv) f.ring.push_back(on_plane(axis, c, u, p[0], v, p[1]));
    f.axis = axis;
    f.sign = sign;
    f.material = material;
    return f;
}

NewFace polygon(int axis, double c, int u, int v, const std::vector<std::array<double, 2>>& uv,
                int sign, std::uint32_t material) {
    NewFace f;
    for (const auto& p : uv) f.ring.push_back(on_plane(axis, c, u, p[0], v, p[1]));
    f.axis = axis;
    f.sign = sign;
    f.material = material;
    return f;
}

// Four quads framing the rectangle [u0,u1] x [v0,v1] inside the face [0,eu] x [0,ev].
void frame_around(std::vector<NewFace>& out, int axis, double c, int u, int v, double eu,
                  double ev, double u0, double u1, double v0, double v1, int sign,
                  std::uint32_t material) {
    out.push_back(quad(axis, c, u, v, {{{0, 0}, {eu, 0}, {u1, v0}, {u0, v0}}}, sign, material));
    out.push_back(quad(axis, c, u, v, {{{eu, 0}, {eu, ev}, {u1, v1}, {u1, v0}}}, sign, material));
    out.push_back(quad(axis, c, u, v, {{{eu, ev}, {0, ev}, {u0, v1}, {u1, v1}}}, sign, material));
    out.push_back(quad(axis, c, u, v, {{{0, ev}, {0, 0}, {u0, v0}, {u0, v1}}}, sign, material));
}

template <class Result>
Result refuse(Result& r, const char* reason) {
    r.ok = false;
    r.message = reason;
    return r;
}

// The common tail of a cut: run the engine, then the solid check.
template <class Result>
void finish(Result& r, Mesh& mesh, const Frame& frame, const std::vector<FaceId>& erase,
            const std::vector<NewFace>& faces, const PanelOptions& options) {
    if (const char* reason = apply_recut(mesh, frame, erase, faces, options, r.changes)) {
        r.message = reason;
        return;
    }
    r.solid = panel_solid_check(mesh);
    r.ok = true;
}

const char* options_refusal(const PanelOptions& options) {
    return all_finite(options.weld_tolerance) && options.weld_tolerance >= 0.0f ? nullptr
                                                                                : kNotFinite;
}

const char* rabbet_spec_refusal(const PanelBox& box, const RabbetSpec& spec) {
    if (const char* reason = panel_box_refusal(box)) return reason;
    if (!all_finite(spec.width, spec.depth)) return kNotFinite;
    const int a = side_axis(spec.side), b = side_axis(spec.edge);
    if (a == b) return "rabbet edge must be perpendicular to the face it is sunk from";
    if (spec.width <= 0.0f) return "rabbet width must be positive";
    if (spec.depth <= 0.0f) return "rabbet depth must be positive";
    const Frame frame(box);
    if (spec.depth >= frame.ext(a)) return "rabbet depth reaches through the panel";
    if (spec.width >= frame.ext(b)) return "rabbet width reaches across the panel";
    return nullptr;
}

}  // namespace

TenonSpec centered_tenon(const PanelBox& box, TenonSpec spec, bool centre_u, bool centre_v) {
    const Frame frame(box);
    const auto [u, v] = other_axes(static_cast<int>(spec.axis) % 3);
    if (centre_u) spec.u_offset = static_cast<float>((frame.ext(u) - spec.u_size) / 2.0);
    if (centre_v) spec.v_offset = static_cast<float>((frame.ext(v) - spec.v_size) / 2.0);
    return spec;
}

TenonResult cut_tenon(Mesh& mesh, const PanelBox& box, const TenonSpec& spec,
                      const PanelOptions& options) {
    TenonResult r;
    if (const char* reason = panel_box_refusal(box)) return refuse(r, reason);
    if (!all_finite(spec.u_offset, spec.u_size, spec.v_offset, spec.v_size, spec.length) ||
        options_refusal(options))
        return refuse(r, kNotFinite);
    const Frame frame(box);
    const int a = static_cast<int>(spec.axis) % 3;
    const auto [u, v] = other_axes(a);
    const double eu = frame.ext(u), ev = frame.ext(v), ea = frame.ext(a);
    const double u0 = spec.u_offset, u1 = u0 + spec.u_size, v0 = spec.v_offset,
                 v1 = v0 + spec.v_size, len = spec.length;
    if (len == 0.0) return refuse(r, "tenon length must not be zero");
    if (spec.u_size <= 0.0f || spec.v_size <= 0.0f)
        return refuse(r, "tenon footprint must have positive sides");
    if (!(u0 > 0.0 && u1 < eu && v0 > 0.0 && v1 < ev))
        return refuse(r, "tenon footprint must be an island -- it touches or crosses the face edge");
    if (len < 0.0 && -len >= ea) return refuse(r, "mortise reaches through the panel");

    const PanelSide side = make_side(a, spec.at_max);
    const FaceId face = find_side_face(mesh, frame, side);
    if (face == kInvalidId) return refuse(r, "the side is not a plain rectangle of this panel");
    if (!side_present(mesh, frame, opposite(side))) return refuse(r, kFarSideMissing);
    const std::uint32_t own = mesh.faces()[face].material_id;
    const std::uint32_t cut = exposed_material(mesh, face, options);
    const int n = outward(side);
    const double c = plane_of(frame, side), end = c + n * len;

    std::vector<NewFace> faces;
    frame_around(faces, a, c, u, v, eu, ev, u0, u1, v0, v1, n, own);
    faces.push_back(quad(a, end, u, v, {{{u0, v0}, {u1, v0}, {u1, v1}, {u0, v1}}}, n, cut));
    // A tenon's cheeks face away from the footprint, a mortise's walls into it.
    const int away = len > 0.0 ? -1 : 1;
    faces.push_back(quad(v, v0, u, a, {{{u0, c}, {u1, c}, {u1, end}, {u0, end}}}, away, cut));
    faces.push_back(quad(v, v1, u, a, {{{u0, c}, {u1, c}, {u1, end}, {u0, end}}}, -away, cut));
    faces.push_back(quad(u, u0, v, a, {{{v0, c}, {v1, c}, {v1, end}, {v0, end}}}, away, cut));
    faces.push_back(quad(u, u1, v, a, {{{v0, c}, {v1, c}, {v1, end}, {v0, end}}}, -away, cut));
    finish(r, mesh, frame, {face}, faces, options);
    if (!r.ok) return r;
    r.projection = len;
    r.footprint_area = (u1 - u0) * (v1 - v0);
    r.cheek_area = 2.0 * ((u1 - u0) + (v1 - v0)) * std::fabs(len);
    r.volume_change = r.footprint_area * len;
    r.board_thickness = ea;
    r.remaining_thickness = len < 0.0 ? ea + len : ea;
    return r;
}

RabbetResult cut_rabbet(Mesh& mesh, const PanelBox& box, const RabbetSpec& spec,
                        const PanelOptions& options) {
    RabbetResult r;
    if (const char* reason = rabbet_spec_refusal(box, spec)) return refuse(r, reason);
    if (options_refusal(options)) return refuse(r, kNotFinite);
    const Frame frame(box);
    const int a = side_axis(spec.side), b = side_axis(spec.edge), c = 3 - a - b;
    const PanelSide ends[2] = {make_side(c, false), make_side(c, true)};
    const FaceId s_face = find_side_face(mesh, frame, spec.side);
    const FaceId e_face = find_side_face(mesh, frame, spec.edge);
    const FaceId c0 = find_side_face(mesh, frame, ends[0]);
    const FaceId c1 = find_side_face(mesh, frame, ends[1]);
    if (s_face == kInvalidId || e_face == kInvalidId || c0 == kInvalidId || c1 == kInvalidId)
        return refuse(r, "a side the rabbet touches is not a plain rectangle of this panel");
    if (!side_present(mesh, frame, opposite(spec.side))) return refuse(r, kFarSideMissing);

    const double sa = plane_of(frame, spec.side), eb = plane_of(frame, spec.edge);
    const double floor = sa + inward(spec.side) * double(spec.depth);
    const double shoulder = eb + inward(spec.edge) * double(spec.width);
    const double a_far = side_at_max(spec.side) ? 0.0 : frame.ext(a);
    const double b_far = side_at_max(spec.edge) ? 0.0 : frame.ext(b);
    const double ec = frame.ext(c);
    const std::uint32_t cut = exposed_material(mesh, s_face, options);
    auto material = [&](FaceId f) { return mesh.faces()[f].material_id; };

    std::vector<NewFace> faces;
    faces.push_back(quad(a, sa, b, c, {{{shoulder, 0}, {b_far, 0}, {b_far, ec}, {shoulder, ec}}},
                         outward(spec.side), material(s_face)));
    faces.push_back(quad(b, eb, a, c, {{{floor, 0}, {a_far, 0}, {a_far, ec}, {floor, ec}}},
                         outward(spec.edge), material(e_face)));
    const std::vector<std::array<double, 2>> ell = {{a_far, b_far}, {a_far, eb},    {floor, eb},
                                                    {floor, shoulder}, {sa, shoulder}, {sa, b_far}};
    faces.push_back(polygon(c, 0.0, a, b, ell, -1, material(c0)));
    faces.push_back(polygon(c, ec, a, b, ell, 1, material(c1)));
    faces.push_back(quad(b, shoulder, a, c, {{{floor, 0}, {sa, 0}, {sa, ec}, {floor, ec}}},
                         -inward(spec.edge), cut));
    faces.push_back(quad(a, floor, b, c, {{{eb, 0}, {shoulder, 0}, {shoulder, ec}, {eb, ec}}},
                         -inward(spec.side), cut));
    finish(r, mesh, frame, {s_face, e_face, c0, c1}, faces, options);
    if (!r.ok) return r;
    r.cut_length = ec;
    r.shoulder_area = double(spec.depth) * ec;
    r.removed_volume = double(spec.width) * spec.depth * ec;
    r.remaining_width = frame.ext(b) - spec.width;
    r.remaining_thickness = frame.ext(a) - spec.depth;
    r.board_thickness = frame.ext(a);
    return r;
}

RabbetPairResult cut_rabbet_pair(Mesh& mesh, const PanelBox& a, const PanelBox& b,
                                 const RabbetPairSpec& spec, const PanelOptions& options) {
    RabbetPairResult r;
    if (!all_finite(spec.lap, spec.a_depth, spec.b_depth, spec.clearance))
        return refuse(r, kNotFinite);
    if (spec.lap <= 0.0f) return refuse(r, "lap must be positive");
    if (spec.clearance < 0.0f) return refuse(r, "clearance must not be negative");
    if (spec.a_depth <= 0.0f || spec.b_depth <= 0.0f) return refuse(r, "lap depth must be positive");
    const bool same = a.length == b.length && a.width == b.width && a.thickness == b.thickness &&
                      a.origin.x == b.origin.x && a.origin.y == b.origin.y &&
                      a.origin.z == b.origin.z;
    if (same)
        return refuse(r, "both halves of the pair name one board -- cut_rabbet re-rings both end faces");
    const RabbetSpec ra{spec.a_side, spec.a_edge,
                        spec.lap + (spec.b_female ? 0.0f : spec.clearance), spec.a_depth};
    const RabbetSpec rb{spec.b_side, spec.b_edge,
                        spec.lap + (spec.b_female ? spec.clearance : 0.0f), spec.b_depth};
    const char* a_reason = rabbet_spec_refusal(a, ra);
    const char* b_reason = rabbet_spec_refusal(b, rb);
    r.a_ok = a_reason == nullptr;
    r.b_ok = b_reason == nullptr;
    if (a_reason) return refuse(r, a_reason);
    if (b_reason) return refuse(r, b_reason);

    r.a = cut_rabbet(mesh, a, ra, options);
    if (!r.a.ok) {
        r.a_ok = false;
        return refuse(r, r.a.message);
    }
    r.b = cut_rabbet(mesh, b, rb, options);
    if (!r.b.ok) {
        r.b_ok = false;
        r.a_cut = true;
        return refuse(r, r.b.message);
    }
    const double ta = Frame(a).ext(side_axis(spec.a_side));
    const double tb = Frame(b).ext(side_axis(spec.b_side));
    r.tongue_a = ta - spec.a_depth;
    r.tongue_b = tb - spec.b_depth;
    // The tongues stack where the boards lap; beyond the thicker board is proud, short of it
    // sunk.
    r.assembled_thickness = r.tongue_a + r.tongue_b;
    r.proud = r.assembled_thickness - std::max(ta, tb);
    r.end_slack = spec.clearance;
    r.changes = r.b.changes;
    r.changes.faces_erased += r.a.changes.faces_erased;
    r.changes.faces_added += r.a.changes.faces_added;
    r.changes.vertices_added += r.a.changes.vertices_added;
    r.changes.linked_pairs += r.a.changes.linked_pairs;
    r.changes.stray_edges_retired += r.a.changes.stray_edges_retired;
    r.changes.edge_records_rehomed += r.a.changes.edge_records_rehomed;
    r.solid = r.b.solid;
    r.ok = true;
    return r;
}

GrooveResult cut_groove(Mesh& mesh, const PanelBox& box, const GrooveSpec& spec,
                        const PanelOptions& options) {
    GrooveResult r;
    if (const char* reason = panel_box_refusal(box)) return refuse(r, reason);
    if (!all_finite(spec.offset, spec.width, spec.depth, spec.stop_start, spec.stop_end) ||
        options_refusal(options))
        return refuse(r, kNotFinite);
    const Frame frame(box);
    const int a = side_axis(spec.side), run = static_cast<int>(spec.run_axis) % 3;
    if (run == a) return refuse(r, "groove must run in the plane of the face it is cut into");
    const int q = 3 - a - run;
    const double er = frame.ext(run), eq = frame.ext(q), ea = frame.ext(a);
    if (spec.width <= 0.0f) return refuse(r, "groove width must be positive");
    if (spec.depth <= 0.0f) return refuse(r, "groove depth must be positive");
    if (spec.depth >= ea) return refuse(r, "groove depth reaches through the panel");
    const double q0 = spec.offset, q1 = q0 + double(spec.width);
    if (q0 < 0.0 || q1 > eq) return refuse(r, "groove falls outside the face");
    if (q0 <= options.weld_tolerance || q1 >= eq - options.weld_tolerance)
        return refuse(r, "groove flush with an edge is a rabbet -- use cut_rabbet");
    if (spec.stop_start < 0.0f || spec.stop_end < 0.0f)
        return refuse(r, "groove stop must not be negative");
    if (double(spec.stop_start) + spec.stop_end >= er)
        return refuse(r, "groove stops leave no length to cut");

    const FaceId face = find_side_face(mesh, frame, spec.side);
    if (face == kInvalidId) return refuse(r, "grooved side is not a plain rectangle of this panel");
    if (!side_present(mesh, frame, opposite(spec.side))) return refuse(r, kFarSideMissing);
    const bool open0 = spec.stop_start == 0.0f, open1 = spec.stop_end == 0.0f;
    std::vector<FaceId> erase{face};
    FaceId end_faces[2] = {kInvalidId, kInvalidId};
    for (int e = 0; e < 2; ++e) {
        if (!(e == 0 ? open0 : open1)) continue;
        end_faces[e] = find_side_face(mesh, frame, make_side(run, e == 1));
        if (end_faces[e] == kInvalidId)
            return refuse(r, "panel end the groove runs out of is not a plain rectangle");
        erase.push_back(end_faces[e]);
    }

    const double sa = plane_of(frame, spec.side);
    const double floor = sa + inward(spec.side) * double(spec.depth);
    const double a_far = side_at_max(spec.side) ? 0.0 : ea;
    const double r0 = spec.stop_start, r1 = er - spec.stop_end;
    const int n = outward(spec.side);
    const std::uint32_t own = mesh.faces()[face].material_id;
    const std::uint32_t cut = exposed_material(mesh, face, options);

    std::vector<NewFace> faces;
    if (open0 && open1) {
        faces.push_back(quad(a, sa, run, q, {{{0, 0}, {er, 0}, {er, q0}, {0, q0}}}, n, own));
        faces.push_back(quad(a, sa, run, q, {{{0, q1}, {er, q1}, {er, eq}, {0, eq}}}, n, own));
    } else if (open0 || open1) {
        // The side wraps round the slot, which opens at one end.
        std::vector<std::array<double, 2>> ring = {{0, 0}, {er, 0}};
        if (open1) ring.insert(ring.end(), {{er, q0}, {r0, q0}, {r0, q1}, {er, q1}});
        ring.insert(ring.end(), {{er, eq}, {0, eq}});
        if (open0) ring.insert(ring.end(), {{0, q1}, {r1, q1}, {r1, q0}, {0, q0}});
        faces.push_back(polygon(a, sa, run, q, ring, n, own));
    } else {
        frame_around(faces, a, sa, run, q, er, eq, r0, r1, q0, q1, n, own);
    }
    for (int e = 0; e < 2; ++e) {
        if (end_faces[e] == kInvalidId) continue;
        const std::vector<std::array<double, 2>> notched = {
            {0, a_far}, {eq, a_far}, {eq, sa}, {q1, sa}, {q1, floor}, {q0, floor}, {q0, sa}, {0, sa}};
        faces.push_back(polygon(run, e == 0 ? 0.0 : er, q, a, notched, e == 0 ? -1 : 1,
                                mesh.faces()[end_faces[e]].material_id));
    }
    faces.push_back(quad(q, q0, run, a, {{{r0, floor}, {r1, floor}, {r1, sa}, {r0, sa}}}, 1, cut));
    faces.push_back(quad(q, q1, run, a, {{{r0, floor}, {r1, floor}, {r1, sa}, {r0, sa}}}, -1, cut));
    faces.push_back(quad(a, floor, run, q, {{{r0, q0}, {r1, q0}, {r1, q1}, {r0, q1}}}, n, cut));
    if (!open0)
        faces.push_back(quad(run, r0, q, a, {{{q0, floor}, {q1, floor}, {q1, sa}, {q0, sa}}}, 1, cut));
    if (!open1)
        faces.push_back(quad(run, r1, q, a, {{{q0, floor}, {q1, floor}, {q1, sa}, {q0, sa}}}, -1, cut));
    finish(r, mesh, frame, erase, faces, options);
    if (!r.ok) return r;
    r.open_ends = (open0 ? 1u : 0u) + (open1 ? 1u : 0u);
    r.through = open0 && open1;
    r.cut_length = r1 - r0;
    r.floor_area = double(spec.width) * r.cut_length;
    r.removed_volume = r.floor_area * spec.depth;
    r.board_thickness = ea;
    r.remaining_thickness = ea - spec.depth;
    return r;
}

DowelResult drill_dowels(Mesh& mesh, const PanelBox& box, const DowelRowSpec& spec,
                         const PanelOptions& options) {
    DowelResult r;
    if (const char* reason = panel_box_refusal(box)) return refuse(r, reason);
    if (!all_finite(spec.row_offset, spec.first, spec.pitch, spec.diameter, spec.depth) ||
        options_refusal(options))
        return refuse(r, kNotFinite);
    const Frame frame(box);
    const int a = side_axis(spec.side), row = static_cast<int>(spec.row_axis) % 3;
    if (row == a) return refuse(r, "the row must run in the plane of the face it is drilled into");
    const int q = 3 - a - row;
    if (spec.count < 1) return refuse(r, "a row needs at least one hole");
    if (spec.diameter <= 0.0f) return refuse(r, "hole diameter must be positive");
    if (spec.depth <= 0.0f) return refuse(r, "hole depth must be positive");
    if (spec.segments < 3) return refuse(r, "a bore needs at least three segments");
    if (spec.segments > kMaxBoreSegments) return refuse(r, "bore segment count is capped at 256");
    if (spec.count > 1 && spec.pitch <= spec.diameter)
        return refuse(r, "pitch is not larger than the diameter -- the holes would intersect");
    const double radius = spec.diameter / 2.0, er = frame.ext(row), eq = frame.ext(q);
    for (std::int32_t i = 0; i < spec.count; ++i) {
        const double cr = spec.first + double(i) * spec.pitch;
        if (!(cr - radius > 0.0 && cr + radius < er && spec.row_offset - radius > 0.0 &&
              spec.row_offset + radius < eq))
            return refuse(r, "a hole falls outside the face or touches its edge");
    }
    if (spec.depth >= frame.ext(a))
        return refuse(r, "hole depth reaches through the panel -- a through hole is a torus, not this");
    const FaceId face = find_side_face(mesh, frame, spec.side);
    if (face == kInvalidId)
        return refuse(r, "the drilled side is not a plain rectangle of this panel");
    if (!side_present(mesh, frame, opposite(spec.side))) return refuse(r, kFarSideMissing);

    const double sa = plane_of(frame, spec.side);
    const double bottom = sa + inward(spec.side) * double(spec.depth);
    const int n = outward(spec.side);
    const std::uint32_t own = mesh.faces()[face].material_id;
    const std::uint32_t cut = exposed_material(mesh, face, options);
    const auto segments = static_cast<std::size_t>(spec.segments);

    // The mouth: the side with the bore polygons as holes, tiled in (row, q) coordinates.
    std::vector<Vec3> outer = {{0, 0, 0},
                               {float(er), 0, 0},
                               {float(er), float(eq), 0},
                               {0, float(eq), 0}};
    std::vector<std::vector<Vec3>> holes(static_cast<std::size_t>(spec.count));
    std::vector<std::array<double, 2>> all = {{0, 0}, {er, 0}, {er, eq}, {0, eq}};
    for (std::size_t h = 0; h < holes.size(); ++h) {
        const double cr = spec.first + double(h) * spec.pitch;
        for (std::size_t k = 0; k < segments; ++k) {
            const double t = 2.0 * std::numbers::pi * double(k) / double(segments);
            const double pr = cr + radius * std::cos(t), pq = spec.row_offset + radius * std::sin(t);
            holes[h].push_back({float(pr), float(pq), 0});
            all.push_back({pr, pq});
        }
    }
    const std::vector<IndexTriangle> tiles = triangulate_polygon_2d(outer, holes);
    if (tiles.empty()) return refuse(r, "the triangulator could not tile the drilled face");
    std::vector<NewFace> faces;
    for (const IndexTriangle& t : tiles) {
        if (t[0] >= all.size() || t[1] >= all.size() || t[2] >= all.size())
            return refuse(r, "internal: the triangulator returned a corner out of range");
        faces.push_back(polygon(a, sa, row, q, {all[t[0]], all[t[1]], all[t[2]]}, n, own));
    }
    for (std::size_t h = 0; h < holes.size(); ++h) {
        const double cr = spec.first + double(h) * spec.pitch;
        std::vector<std::array<double, 2>> rim;
        for (std::size_t k = 0; k < segments; ++k) {
            const auto& p = all[4 + h * segments + k];
            const auto& p2 = all[4 + h * segments + (k + 1) % segments];
            rim.push_back(p);
            NewFace wall;
            wall.ring = {on_plane(a, sa, row, p[0], q, p[1]), on_plane(a, sa, row, p2[0], q, p2[1]),
                         on_plane(a, bottom, row, p2[0], q, p2[1]),
                         on_plane(a, bottom, row, p[0], q, p[1])};
            wall.material = cut;
            wall.toward_point = true;
            wall.toward = on_plane(a, (sa + bottom) / 2.0, row, cr, q, spec.row_offset);
            faces.push_back(std::move(wall));
        }
        faces.push_back(polygon(a, bottom, row, q, rim, n, cut));
    }
    finish(r, mesh, frame, {face}, faces, options);
    if (!r.ok) return r;
    const double pi = std::numbers::pi;
    const double polygon_area =
        0.5 * double(segments) * radius * radius * std::sin(2.0 * pi / double(segments));
    r.holes = static_cast<std::uint32_t>(spec.count);
    r.row_length = double(spec.count - 1) * spec.pitch;
    r.removed_volume = double(spec.count) * polygon_area * spec.depth;
    r.mouth_faces = tiles.size();
    r.mouth_faces_expected = 2 + std::uint64_t(spec.count) * (segments + 2);
    r.chord_sagitta = radius * (1.0 - std::cos(pi / double(segments)));
    r.bore_area_ratio = polygon_area / (pi * radius * radius);
    return r;
}

}  // namespace korvan
