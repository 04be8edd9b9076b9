#include "io/dxf_import.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <span>
#include <unordered_map>

#include "core/mat4.h"
#include "core/mesh.h"
#include "document/document.h"

// Turning a drawing into a model. Every piece of linework becomes a list of world points in
// metres: 2D entities are tessellated in their object coordinate system (arcs and bulged
// polyline segments at 24 segments per full turn, ellipses at 48, splines by de Boor's
// algorithm on the rational B-spline) and carried into the world by the entity's extrusion
// through the arbitrary-axis rule. The lists become guide segments; closed planar ones also
// become faces. Blocks become shared definitions, converted once relative to their base
// point; each INSERT, nested ones expanded depth first, becomes an instance whose transform
// scales, rotates about the insert's Z, moves to the insertion point and then applies the
// extrusion.

namespace korvan::io {
namespace {

using P = DrawingPoint;

constexpr double kDegToRad = 0.017453292;  // the factor drawings are read with
constexpr double kTwoPi = 6.283185307179586;
constexpr double kArcSegmentsPerTurn = 24.0;
constexpr double kEllipseSegmentsPerTurn = 48.0;
constexpr double kMinRadius = 1e-6;
constexpr double kPlanarTolerance = 0.001;  // metres
constexpr double kMergeDistanceSq = 1e-14;  // consecutive outline points (1e-7 m apart)
constexpr int kMaxNesting = 16;
constexpr double kMaxTransformEntry = 1e30;  // well inside float range after products
constexpr std::uint64_t kMaxInstances = 1'000'000;
constexpr int kMaxSplineDegree = 32;
constexpr std::size_t kSplineSamplesPerSpan = 8;
constexpr std::size_t kMaxSplineSamples = 4096;
constexpr float kFaceWeld = 1e-4f;
constexpr float kCoplanarDot = 0.999f;

P add(const P& a, const P& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
P sub(const P& a, const P& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
P scale(const P& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
double dotp(const P& a, const P& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
P crossp(const P& a, const P& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double length(const P& a) { return std::sqrt(dotp(a, a)); }
// A float can hold each coordinate (a plain cast of a larger double would be undefined).
bool finite(const P& a) {
    constexpr double kMax = std::numeric_limits<float>::max();
    return std::abs(a[0]) <= kMax && std::abs(a[1]) <= kMax && std::abs(a[2]) <= kMax;
}

// Column-major affine transform in doubles.
using Affine = std::array<double, 16>;
constexpr Affine kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Affine compose(const Affine& a, const Affine& b) {
    Affine r{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) s += a[k * 4 + row] * b[col * 4 + k];
            r[col * 4 + row] = s;
        }
    }
    return r;
}

Affine translation(const P& t) {
    Affine m = kIdentity;
    m[12] = t[0], m[13] = t[1], m[14] = t[2];
    return m;
}

P apply(const Affine& m, const P& p) {
    return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12],
            m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
            m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
}

// The arbitrary-axis rule: the object coordinate system of an extrusion direction N has N as
// its Z, and its X is Wy x N when N is within 1/64 of the world Z axis, else Wz x N.
Affine ocs_matrix(const P& extrusion) {
    const double len = length(extrusion);
    if (!(len > 1e-12) || !std::isfinite(len)) return kIdentity;
    const P n = scale(extrusion, 1.0 / len);
    if (n[0] == 0.0 && n[1] == 0.0 && n[2] == 1.0) return kIdentity;
    constexpr double kLimit = 1.0 / 64.0;
    P ax = (std::abs(n[0]) < kLimit && std::abs(n[1]) < kLimit) ? crossp({0, 1, 0}, n)
                                                                : crossp({0, 0, 1}, n);
    ax = scale(ax, 1.0 / length(ax));
    const P ay = crossp(n, ax);
    return {ax[0], ax[1], ax[2], 0, ay[0], ay[1], ay[2], 0, n[0], n[1], n[2], 0, 0, 0, 0, 1};
}

void append_int(std::string& out, std::int64_t v) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string in_quotes(std::string_view name) {
    std::string s = "\"";
    s += name;
    s += '"';
    return s;
}

// Segment count for a sweep: max(2, ceil(|sweep| / 2 pi x per_turn - 0.0001)).
std::size_t segments_for(double sweep, double per_turn) {
    const double n = std::ceil(std::abs(sweep) / kTwoPi * per_turn - 0.0001);
    return static_cast<std::size_t>(std::max(2.0, std::min(n, per_turn)));
}

// Points of a circular arc in its plane (z = elevation); with include_end the end point too.
void arc_points(double cx, double cy, double z, double r, double start, double sweep,
                bool include_end, std::vector<P>& out) {
    const std::size_t n = segments_for(sweep, kArcSegmentsPerTurn);
    for (std::size_t i = 0; i < n; ++i) {
        const double a = start + sweep * static_cast<double>(i) / static_cast<double>(n);
        out.push_back({cx + r * std::cos(a), cy + r * std::sin(a), z});
    }
    if (include_end)
        out.push_back({cx + r * std::cos(start + sweep), cy + r * std::sin(start + sweep), z});
}

// The points of a polyline with bulged segments replaced by arcs, still in object
// coordinates. A bulge b between p and q sweeps 4 atan(b) (positive turning left) on the
// circle through both.
std::vector<P> bulged_points(const DrawingPolyline& poly) {
    if (poly.bulges.size() != poly.points.size()) return poly.points;
    std::vector<P> out;
    const std::size_t n = poly.points.size();
    for (std::size_t i = 0; i < n; ++i) {
        const P& p = poly.points[i];
        const bool last = i + 1 == n;
        const double b = poly.bulges[i];
        if (last && !poly.closed) {
            out.push_back(p);
            break;
        }
        const P& q = poly.points[last ? 0 : i + 1];
        const double dx = q[0] - p[0], dy = q[1] - p[1];
        const double chord = std::hypot(dx, dy);
        if (b == 0.0 || !std::isfinite(b) || chord < 1e-12) {
            out.push_back(p);
            continue;
        }
        const double sweep = 4.0 * std::atan(b);
        const double r = chord * (1.0 + b * b) / (4.0 * std::abs(b));
        // Centre: from the chord's midpoint along its left normal by (1 - b^2) / (4 b) chords.
        const double k = (1.0 - b * b) / (4.0 * b);
        const double cx = (p[0] + q[0]) / 2 - dy * k, cy = (p[1] + q[1]) / 2 + dx * k;
        const double start = std::atan2(p[1] - cy, p[0] - cx);
        arc_points(cx, cy, p[2], r, start, sweep, false, out);
    }
    return out;
}

// de Boor's algorithm on homogeneous points (x w, y w, z w, w) at parameter t in span k.
std::optional<P> de_boor(const DrawingSpline& s, const std::vector<double>& knots,
                         const std::vector<double>& weights, std::size_t k, double t) {
    const auto p = static_cast<std::size_t>(s.degree);
    std::vector<std::array<double, 4>> d(p + 1);
    for (std::size_t j = 0; j <= p; ++j) {
        const P& c = s.control[j + k - p];
        const double w = weights[j + k - p];
        d[j] = {c[0] * w, c[1] * w, c[2] * w, w};
    }
    for (std::size_t r = 1; r <= p; ++r) {
        for (std::size_t j = p; j >= r; --j) {
            const double lo = knots[j + k - p], hi = knots[j + 1 + k - r];
            const double alpha = hi - lo != 0.0 ? (t - lo) / (hi - lo) : 0.0;
            for (int c = 0; c < 4; ++c) d[j][c] = (1.0 - alpha) * d[j - 1][c] + alpha * d[j][c];
        }
    }
    const double w = d[p][3];
    if (!(std::abs(w) > 1e-12)) return std::nullopt;
    const P out{d[p][0] / w, d[p][1] / w, d[p][2] / w};
    if (!finite(out)) return std::nullopt;
    return out;
}

// The blocks that hold model and paper space in newer files: containers, not blocks anyone
// drew.
bool is_layout_block(std::string_view name) {
    for (std::string_view layout :
         {"*MODEL_SPACE", "*PAPER_SPACE", "$MODEL_SPACE", "$PAPER_SPACE"}) {
        if (name.size() >= layout.size() &&
            same_drawing_name(name.substr(0, layout.size()), layout)) {
            return true;
        }
    }
    return false;
}

class Converter {
  public:
    Converter(const Drawing& drawing, std::string_view label, Document& doc, Mesh& mesh,
              DxfImportReport& report)
        : drawing_(drawing), label_(label), doc_(doc), mesh_(mesh), report_(report) {}

    void run() {
        unit_ = insunits_to_metres(drawing_.insunits);
        if (unit_ == 0.0) {
            std::string note = label_ + " $INSUNITS ";
            append_int(note, drawing_.insunits);
            note += " is a unit this importer does not convert; the drawing was read as metres.";
            report_.notes.push_back(std::move(note));
            unit_ = 1.0;
        }
        index_blocks();
        convert_entities(drawing_.model, mesh_, {0, 0, 0}, label_ + ":");
        finish_faces(mesh_);
        std::vector<std::size_t> path;
        for (const DrawingInsert& ins : drawing_.model.inserts) {
            expand(ins, kIdentity, path, 1, std::nullopt);
        }
        count();
    }

  private:
    static std::string name_key(std::string_view name) {
        std::string key(name);
        for (char& c : key) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        return key;
    }

    void index_blocks() {
        for (std::size_t i = 0; i < drawing_.blocks.size(); ++i) {
            const std::string& name = drawing_.blocks[i].name;
            if (!blocks_.emplace(name_key(name), i).second) {
                report_.notes.push_back(label_ + " defines block " + in_quotes(name) +
                                        " twice; the second definition was ignored.");
                continue;
            }
            report_.blocks += is_layout_block(name) ? 0 : 1;
        }
        definition_of_.assign(drawing_.blocks.size(), -1);
    }

    // The first block of that name (names compare without ASCII case).
    std::optional<std::size_t> find_block(std::string_view name) const {
        const auto it = blocks_.find(name_key(name));
        if (it == blocks_.end()) return std::nullopt;
        return it->second;
    }

    std::string block_label(std::size_t block) const {
        return label_ + " block " + in_quotes(drawing_.blocks[block].name) + ":";
    }

    // World points in metres of object-coordinate points under an extrusion.
    std::vector<P> to_world(std::span<const P> points, const P& extrusion, const P& base) const {
        const Affine ocs = ocs_matrix(extrusion);
        std::vector<P> out;
        out.reserve(points.size());
        for (const P& q : points) out.push_back(scale(sub(apply(ocs, q), base), unit_));
        return out;
    }

    void convert_entities(const DrawingEntities& e, Mesh& mesh, const P& base,
                          const std::string& label) {
        for (const DrawingPolyline& poly : e.polylines) {
            add_linework(mesh, to_world(bulged_points(poly), poly.extrusion, base), poly.closed,
                         std::nullopt);
        }
        for (const DrawingArc& arc : e.arcs) {
            if (!(arc.radius > kMinRadius) || !std::isfinite(arc.radius)) continue;
            const double start = std::fmod(arc.start_deg, 360.0) * kDegToRad;
            double sweep = kTwoPi;
            if (!arc.is_circle) {
                double deg = std::fmod(arc.end_deg - arc.start_deg, 360.0);
                if (deg <= 0.0) deg += 360.0;
                sweep = deg * kDegToRad;
            }
            std::vector<P> pts;
            arc_points(arc.centre[0], arc.centre[1], arc.centre[2], arc.radius, start, sweep,
                       !arc.is_circle, pts);
            add_linework(mesh, to_world(pts, arc.extrusion, base), arc.is_circle, CurveKind::kArc);
        }
        for (const DrawingEllipse& el : e.ellipses) add_ellipse(mesh, el, base);
        for (const DrawingSpline& s : e.splines) add_spline(mesh, s, base, label);
        for (const DrawingFace& f : e.faces) {
            add_linework(mesh, to_world(f.points, kWorldZ, base), true, std::nullopt);
        }
    }

    void add_ellipse(Mesh& mesh, const DrawingEllipse& el, const P& base) {
        const double major_len = length(el.major);
        const P n = el.extrusion;
        P minor_dir = crossp(n, el.major);
        const double minor_len = length(minor_dir);
        if (!(major_len > 1e-12) || !(minor_len > 1e-12) || !(el.ratio > 0.0) || el.ratio > 1.0 ||
            !std::isfinite(major_len) || !std::isfinite(minor_len)) {
            report_.notes.push_back(label_ +
                                    " ELLIPSE is degenerate (zero axis or a ratio outside 0..1); "
                                    "skipped.");
            return;
        }
        minor_dir = scale(minor_dir, major_len * el.ratio / minor_len);
        double sweep = el.end_param - el.start_param;
        if (!std::isfinite(sweep)) return;
        sweep = std::fmod(sweep, kTwoPi);
        if (sweep <= 1e-9) sweep += kTwoPi;
        const bool full = std::abs(sweep - kTwoPi) < 1e-6;
        const std::size_t segs = segments_for(sweep, kEllipseSegmentsPerTurn);
        std::vector<P> pts;
        const std::size_t count = full ? segs : segs + 1;
        for (std::size_t i = 0; i < count; ++i) {
            const double t =
                el.start_param + sweep * static_cast<double>(i) / static_cast<double>(segs);
            pts.push_back(
                add(el.centre, add(scale(el.major, std::cos(t)), scale(minor_dir, std::sin(t)))));
        }
        add_linework(mesh, to_world(pts, kWorldZ, base), full, CurveKind::kArc);
    }

    void refuse_spline(std::string note) {
        report_.notes.push_back(std::move(note));
        ++report_.refused_splines;
    }

    void add_spline(Mesh& mesh, const DrawingSpline& s, const P& base, const std::string& label) {
        const bool closed = (s.flags & 1) != 0;
        // "DXF (handle 2F):" or "DXF block \"B\" (handle 2F):", so the user can find it.
        const std::string entity =
            s.handle.empty() ? label
                             : label.substr(0, label.size() - 1) + " (handle " + s.handle + "):";
        if (s.control.empty()) {
            if (s.fit.size() < 2) {
                refuse_spline(
                    entity +
                    " SPLINE has no control points and fewer than two fit points; skipped.");
                return;
            }
            report_.notes.push_back(
                entity +
                " SPLINE had fit points but no control points; imported as a "
                "polyline through the fit points (the curvature between them is "
                "not reconstructed).");
            ++report_.splines;
            add_linework(mesh, to_world(s.fit, kWorldZ, base), closed, CurveKind::kPolyline);
            return;
        }
        const std::size_t n = s.control.size();
        if (s.degree >= 0 && n < static_cast<std::size_t>(s.degree) + 1) {
            std::string note = entity + " SPLINE declares degree ";
            append_int(note, s.degree);
            note += " but carries only ";
            append_int(note, static_cast<std::int64_t>(n));
            note += " control points (needs ";
            append_int(note, s.degree + 1);
            note += "); skipped.";
            refuse_spline(std::move(note));
            return;
        }
        constexpr std::string_view kCannotEvaluate =
            " SPLINE could not be evaluated (control points or knots are degenerate); skipped.";
        if (s.degree < 1 || s.degree > kMaxSplineDegree) {
            refuse_spline(entity + std::string(kCannotEvaluate));
            return;
        }
        const auto p = static_cast<std::size_t>(s.degree);
        std::vector<double> knots = s.knots;
        if (knots.size() != n + p + 1) {
            std::string note = entity + " SPLINE carries ";
            append_int(note, static_cast<std::int64_t>(knots.size()));
            note += " knots but needs ";
            append_int(note, static_cast<std::int64_t>(n + p + 1));
            note += "; a clamped uniform knot vector was used instead.";
            report_.notes.push_back(std::move(note));
            knots.assign(p + 1, 0.0);
            for (std::size_t i = 1; i < n - p; ++i) {
                knots.push_back(static_cast<double>(i) / static_cast<double>(n - p));
            }
            knots.insert(knots.end(), p + 1, 1.0);
        }
        const double t0 = knots[p], t1 = knots[n];
        if (!(t1 > t0)) {
            refuse_spline(entity +
                          " SPLINE has a degenerate knot vector (no parameter range); skipped.");
            return;
        }
        std::vector<double> weights = s.weights;
        if (weights.size() != n) weights.assign(n, 1.0);
        const std::size_t samples =
            std::clamp<std::size_t>(kSplineSamplesPerSpan * (n - p), 16, kMaxSplineSamples);
        std::vector<P> pts;
        pts.reserve(samples + 1);
        for (std::size_t i = 0; i <= samples; ++i) {
            const double t = i == samples ? t1
                                          : t0 + (t1 - t0) * static_cast<double>(i) /
                                                     static_cast<double>(samples);
            // The span k with knots[k] <= t < knots[k + 1]; the end belongs to the last span.
            std::size_t k = p;
            while (k + 1 < n && knots[k + 1] <= t) ++k;
            const auto q = de_boor(s, knots, weights, k, t);
            if (!q) {
                refuse_spline(entity + std::string(kCannotEvaluate));
                return;
            }
            pts.push_back(*q);
        }
        ++report_.splines;
        add_linework(mesh, to_world(pts, kWorldZ, base), closed, CurveKind::kPolyline);
    }

    // Guides along the points (the closing segment too), a curve when `curve` says which
    // kind, and a face when the outline is closed and planar.
    void add_linework(Mesh& mesh, std::vector<P> pts, bool closed, std::optional<CurveKind> curve) {
        pts.erase(std::remove_if(pts.begin(), pts.end(), [](const P& q) { return !finite(q); }),
                  pts.end());
        if (pts.size() < 2) return;
        auto to_vec = [](const P& q) {
            return Vec3{static_cast<float>(q[0]), static_cast<float>(q[1]),
                        static_cast<float>(q[2])};
        };
        for (std::size_t i = 0; i + 1 < pts.size(); ++i)
            mesh.add_guide(to_vec(pts[i]), to_vec(pts[i + 1]));
        if (closed && pts.size() > 2) mesh.add_guide(to_vec(pts.back()), to_vec(pts.front()));
        if (curve) {
            std::vector<Vec3> cp;
            cp.reserve(pts.size());
            for (const P& q : pts) cp.push_back(to_vec(q));
            Curve c;
            c.points = std::move(cp);
            c.closed = closed;
            c.kind = *curve;
            mesh.add_curve(std::move(c));
        }
        if (closed) add_outline_face(mesh, pts);
    }

    static void add_outline_face(Mesh& mesh, const std::vector<P>& pts) {
        std::vector<P> ring;
        for (const P& q : pts) {
            if (!ring.empty()) {
                const P d = sub(q, ring.back());
                if (dotp(d, d) < kMergeDistanceSq) continue;
            }
            ring.push_back(q);
        }
        while (ring.size() > 1) {
            const P d = sub(ring.back(), ring.front());
            if (dotp(d, d) >= kMergeDistanceSq) break;
            ring.pop_back();
        }
        if (ring.size() < 3) return;
        // Newell normal and the plane through the centroid.
        P normal{0, 0, 0}, centre{0, 0, 0};
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const P& a = ring[i];
            const P& b = ring[(i + 1) % ring.size()];
            normal[0] += (a[1] - b[1]) * (a[2] + b[2]);
            normal[1] += (a[2] - b[2]) * (a[0] + b[0]);
            normal[2] += (a[0] - b[0]) * (a[1] + b[1]);
            centre = add(centre, a);
        }
        const double len = length(normal);
        if (!(len > 1e-12)) return;
        normal = scale(normal, 1.0 / len);
        centre = scale(centre, 1.0 / static_cast<double>(ring.size()));
        for (const P& q : ring) {
            if (std::abs(dotp(sub(q, centre), normal)) > kPlanarTolerance) return;
        }
        // Drawings are looked at from above: an outline drawn clockwise still makes a face
        // that faces up.
        if (normal[2] < 0.0) std::reverse(ring.begin(), ring.end());
        std::vector<VertexId> ids;
        ids.reserve(ring.size());
        for (const P& q : ring) {
            ids.push_back(mesh.add_vertex(
                {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2])}));
        }
        mesh.add_ngon(ids);
    }

    static void finish_faces(Mesh& mesh) {
        if (mesh.alive_face_count() == 0) return;
        mesh.weld_vertices(kFaceWeld);
        mesh.link_shared_edges();
        mesh.merge_coplanar_faces(kCoplanarDot);
    }

    // The definition of the block, made on its first use.
    const std::string& definition_for(std::size_t block) {
        if (definition_of_[block] < 0) {
            const DrawingBlock& b = drawing_.blocks[block];
            ComponentDefinition def;
            def.name = b.name;
            def.id = b.name.empty() ? "block" : b.name;
            // A document may already hold definitions; block ids stay unique.
            for (int suffix = 2; doc_.find_definition(def.id) >= 0; ++suffix) {
                def.id = (b.name.empty() ? "block" : b.name) + "_";
                append_int(def.id, suffix);
            }
            convert_entities(b.entities, def.mesh, b.base, block_label(block));
            finish_faces(def.mesh);
            const std::string id = def.id;
            doc_.add_definition(std::move(def));
            definition_of_[block] = doc_.find_definition(id);
            ++report_.definitions;
        }
        return doc_.definitions()[static_cast<std::size_t>(definition_of_[block])].id;
    }

    void refuse_insert(std::string note) {
        report_.notes.push_back(std::move(note));
        ++report_.refused_inserts;
    }

    // Places one INSERT met in `container` (null in model space) under `parent`, the world
    // transform of the container's own origin, then its block's nested inserts.
    void expand(const DrawingInsert& ins, const Affine& parent, std::vector<std::size_t>& path,
                int depth, const std::optional<std::size_t>& container) {
        const std::string where = container ? block_label(*container) : label_ + ":";
        const auto block = find_block(ins.block);
        if (!block) {
            refuse_insert(where +
                          (container ? " inserts unknown block " : " INSERT names unknown block ") +
                          in_quotes(ins.block) + ".");
            return;
        }
        if (std::find(path.begin(), path.end(), *block) != path.end()) {
            refuse_insert(
                where + " block " + in_quotes(ins.block) +
                " is inserted inside itself (block reference cycle); that INSERT was dropped.");
            return;
        }
        if (depth > kMaxNesting) {
            std::string note = where + " " + in_quotes(ins.block) + " nests deeper than ";
            append_int(note, kMaxNesting);
            note += " levels; the nested INSERT was dropped.";
            refuse_insert(std::move(note));
            return;
        }
        if (report_.instances >= kMaxInstances) {
            if (!instance_cap_noted_) {
                std::string note = label_ + " expands to more than ";
                append_int(note, static_cast<std::int64_t>(kMaxInstances));
                note += " block instances; the further INSERTs were dropped.";
                report_.notes.push_back(std::move(note));
                instance_cap_noted_ = true;
            }
            ++report_.refused_inserts;
            return;
        }
        const std::string id = definition_for(*block);
        const double angle = std::fmod(ins.rotation_deg, 360.0) * kDegToRad;
        const double c = std::cos(angle), s = std::sin(angle);
        const P& k = ins.scale;
        const P at = scale(ins.point, unit_);
        // T(point) x Rz(angle) x S(scale), in the insert's object coordinates.
        const Affine local{c * k[0], s * k[0], 0,    0, -s * k[1], c * k[1], 0,     0,
                           0,        0,        k[2], 0, at[0],     at[1],    at[2], 1};
        const Affine world = compose(parent, compose(ocs_matrix(ins.extrusion), local));
        if (!std::all_of(world.begin(), world.end(),
                         [](double v) { return std::abs(v) <= kMaxTransformEntry; })) {
            refuse_insert(where + " the INSERT of " + in_quotes(ins.block) +
                          " has a transform out of range; that INSERT was dropped.");
            return;
        }
        Mat4 m;
        for (int i = 0; i < 16; ++i)
            m.m[static_cast<std::size_t>(i)] =
                static_cast<float>(world[static_cast<std::size_t>(i)]);
        doc_.create_instance(&doc_.root(), id, drawing_.blocks[*block].name, m);
        ++report_.instances;
        instance_definitions_.push_back(definition_of_[*block]);

        // The block's geometry sits relative to its base point; so do its nested inserts.
        const Affine inner =
            compose(world, translation(scale(drawing_.blocks[*block].base, -unit_)));
        path.push_back(*block);
        for (const DrawingInsert& nested : drawing_.blocks[*block].entities.inserts) {
            expand(nested, inner, path, depth + 1, *block);
        }
        path.pop_back();
    }

    void count() {
        report_.faces = mesh_.alive_face_count();
        report_.guides = mesh_.guides().size();
        report_.curves = mesh_.curves().size();
        for (std::int32_t d : instance_definitions_) {
            report_.faces +=
                doc_.definitions()[static_cast<std::size_t>(d)].mesh.alive_face_count();
        }
        for (std::int32_t d : definition_of_) {
            if (d < 0) continue;
            const Mesh& m = doc_.definitions()[static_cast<std::size_t>(d)].mesh;
            report_.guides += m.guides().size();
            report_.curves += m.curves().size();
        }
    }

    const Drawing& drawing_;
    std::string label_;
    Document& doc_;
    Mesh& mesh_;
    DxfImportReport& report_;
    double unit_ = 1.0;
    std::unordered_map<std::string, std::size_t> blocks_;  // upper-case name -> first block
    std::vector<std::int32_t> definition_of_;  // per drawing block: definition position or -1
    std::vector<std::int32_t> instance_definitions_;
    bool instance_cap_noted_ = false;
};

}  // namespace

double insunits_to_metres(std::int64_t code) {
    switch (code) {
        case -1:
        case 0:
        case 6:
            return 1.0;
        case 1:
            return 0.0254;
        case 2:
            return 0.3048;
        case 3:
            return 1609.344;
        case 4:
            return 0.001;
        case 5:
            return 0.01;
        case 7:
            return 1000.0;
        case 10:
            return 0.9144;
        case 14:
            return 0.1;
        case 15:
            return 10.0;
        case 16:
            return 100.0;
        default:
            return 0.0;
    }
}

void convert_drawing(const Drawing& drawing, std::string_view label, Document& doc, Mesh& mesh,
                     DxfImportReport& report) {
    Converter(drawing, label, doc, mesh, report).run();
}

bool import_dxf(const std::filesystem::path& path, Document& doc, Mesh& mesh,
                DxfImportReport& report) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<std::size_t>(in.gcount()));
    Drawing drawing;
    if (!parse_dxf(text, drawing)) return false;
    convert_drawing(drawing, "DXF", doc, mesh, report);
    return true;
}

}  // namespace korvan::io
