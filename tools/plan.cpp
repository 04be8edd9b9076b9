#include "tools/plan.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <numbers>
#include <tuple>
#include <unordered_map>

#include "io/dxf_write.h"
#include "io/svg.h"
#include "platform/atomic_file.h"

namespace korvan::plan {
namespace {

struct Segment {
    Point2 a, b;
    std::uint32_t face = kNoFace;
};

// Points within the tolerance of a node (per axis) share it; the nine cells around a point
// are searched row by row so the first node found is always the same one.
class NodeSet {
  public:
    explicit NodeSet(double tol) : tol_(tol) {}
    std::uint32_t snap(Point2 p) {
        const std::int64_t cx = std::llround(p.x / tol_), cy = std::llround(p.y / tol_);
        for (std::int64_t dy = -1; dy <= 1; ++dy) {
            for (std::int64_t dx = -1; dx <= 1; ++dx) {
                auto it = cells_.find(key(cx + dx, cy + dy));
                if (it == cells_.end()) continue;
                for (std::uint32_t n : it->second) {
                    if (std::fabs(double(nodes_[n].x) - p.x) <= tol_ &&
                        std::fabs(double(nodes_[n].y) - p.y) <= tol_)
                        return n;
                }
            }
        }
        const auto id = static_cast<std::uint32_t>(nodes_.size());
        nodes_.push_back(p);
        cells_[key(cx, cy)].push_back(id);
        return id;
    }
    Point2 at(std::uint32_t n) const { return nodes_[n]; }
    std::size_t size() const { return nodes_.size(); }

  private:
    static std::pair<std::int64_t, std::int64_t> key(std::int64_t x, std::int64_t y) {
        return {x, y};
    }
    double tol_;
    std::vector<Point2> nodes_;
    std::map<std::pair<std::int64_t, std::int64_t>, std::vector<std::uint32_t>> cells_;
};

Point2 flat(const Vec3& p) { return {p.x, p.y}; }

double dist2(Point2 a, Point2 b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    return dx * dx + dy * dy;
}

FaceClass classify(std::span<const double> d, double e) {
    bool above = false, below = false;
    for (double v : d) {
        above |= v > e;
        below |= v < -e;
    }
    if (above && below) return FaceClass::kCut;
    if (above) return FaceClass::kAbove;
    if (below) return FaceClass::kBeyond;
    return FaceClass::kInPlane;
}

void add_ring_lines(PlanResult& out, std::span<const Vec3> ring, LineKind kind,
                    std::uint32_t face, double tol) {
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point2 a = flat(ring[i]), b = flat(ring[(i + 1) % ring.size()]);
        if (dist2(a, b) > tol * tol) out.lines.push_back({a, b, kind, face});
    }
}

// The crossings of one cut face with the plane, paired along the cut direction.
void cut_face(std::span<const Vec3> ring, std::span<const double> d, const Vec3& n, double e,
              std::uint32_t face, std::vector<Segment>& segs) {
    const double hl = std::hypot(double(n.x), double(n.y));
    if (hl < 1e-6) return;
    const double tx = -n.y / hl, ty = n.x / hl;
    std::vector<Point2> xs;
    const std::size_t count = ring.size();
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t j = (i + 1) % count;
        if ((d[i] > e && d[j] < -e) || (d[i] < -e && d[j] > e)) {
            const double s = d[i] / (d[i] - d[j]);
            xs.push_back({static_cast<float>(ring[i].x + s * (double(ring[j].x) - ring[i].x)),
                          static_cast<float>(ring[i].y + s * (double(ring[j].y) - ring[i].y))});
        }
        if (std::fabs(d[i]) <= e) {
            int back = 0, fwd = 0;
            for (std::size_t k = 1; k <= count; ++k) {
                const double v = d[(i + count - k) % count];
                if (std::fabs(v) > e) {
                    back = v > 0 ? 1 : -1;
                    break;
                }
            }
            for (std::size_t k = 0; k < count; ++k) {
                const double v = d[(j + k) % count];
                if (std::fabs(v) > e) {
                    fwd = v > 0 ? 1 : -1;
                    break;
                }
            }
            if (back != 0 && fwd != 0 && back != fwd) xs.push_back(flat(ring[i]));
        }
    }
    auto along = [&](Point2 p) { return p.x * tx + p.y * ty; };
    std::stable_sort(xs.begin(), xs.end(),
                     [&](Point2 p, Point2 q) { return along(p) < along(q); });
    for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
        Point2 a = xs[k], b = xs[k + 1];
        if (a.x == b.x && a.y == b.y) continue;
        if ((double(b.x) - a.x) * tx + (double(b.y) - a.y) * ty < 0) std::swap(a, b);
        segs.push_back({a, b, face});
    }
}

// Abutting solids cut their touching faces into opposite collinear segments; those spans are
// inside the material and are taken out, leaving the uncovered parts of each segment.
std::vector<Segment> remove_buried(const std::vector<Segment>& segs, double tol,
                                   std::uint64_t& buried) {
    struct Info {
        double lo, hi;
        bool with_u;
        double ux, uy;
    };
    std::map<std::tuple<std::int64_t, std::int64_t, std::int64_t>, std::vector<std::size_t>>
        groups;
    std::vector<Info> info(segs.size());
    for (std::size_t i = 0; i < segs.size(); ++i) {
        const Segment& s = segs[i];
        const double dx = double(s.b.x) - s.a.x, dy = double(s.b.y) - s.a.y;
        const double len = std::hypot(dx, dy);
        if (len < 1e-9) continue;
        double ux = dx / len, uy = dy / len;
        double nx = -uy, ny = ux;
        const std::int64_t ry = std::llround(ny / 0.001), rx = std::llround(nx / 0.001);
        if (ry < 0 || (ry == 0 && rx < 0)) {
            ux = -ux, uy = -uy, nx = -nx, ny = -ny;
        }
        const double pa = s.a.x * ux + s.a.y * uy, pb = s.b.x * ux + s.b.y * uy;
        info[i] = {std::min(pa, pb), std::max(pa, pb), dx * ux + dy * uy >= 0, ux, uy};
        groups[{std::llround(nx / 0.001), std::llround(ny / 0.001),
                std::llround((nx * s.a.x + ny * s.a.y) / tol)}]
            .push_back(i);
    }
    std::vector<bool> retired(segs.size(), false);
    std::vector<Segment> pieces;
    for (const auto& [key, members] : groups) {
        for (std::size_t i : members) {
            std::vector<std::pair<double, double>> over;
            for (std::size_t k : members) {
                if (k == i || info[k].with_u == info[i].with_u) continue;
                const double lo = std::max(info[i].lo, info[k].lo);
                const double hi = std::min(info[i].hi, info[k].hi);
                if (hi - lo > tol) over.emplace_back(lo, hi);
            }
            if (over.empty()) continue;
            ++buried;
            retired[i] = true;
            std::sort(over.begin(), over.end());
            std::vector<std::pair<double, double>> merged{over.front()};
            for (std::size_t k = 1; k < over.size(); ++k) {
                if (over[k].first <= merged.back().second + tol)
                    merged.back().second = std::max(merged.back().second, over[k].second);
                else
                    merged.push_back(over[k]);
            }
            // Points on the segment's line at projection t along u.
            const Info& f = info[i];
            const Segment& s = segs[i];
            const double base = s.a.x * f.ux + s.a.y * f.uy;
            auto at = [&](double t) {
                return Point2{static_cast<float>(s.a.x + (t - base) * f.ux),
                              static_cast<float>(s.a.y + (t - base) * f.uy)};
            };
            auto emit = [&](double lo, double hi) {
                if (hi - lo <= tol) return;
                if (f.with_u)
                    pieces.push_back({at(lo), at(hi), s.face});
                else
                    pieces.push_back({at(hi), at(lo), s.face});
            };
            double cursor = f.lo;
            for (const auto& [lo, hi] : merged) {
                emit(cursor, lo);
                cursor = std::max(cursor, hi);
            }
            emit(cursor, f.hi);
        }
    }
    std::vector<Segment> out;
    for (std::size_t i = 0; i < segs.size(); ++i) {
        if (!retired[i]) out.push_back(segs[i]);
    }
    out.insert(out.end(), pieces.begin(), pieces.end());
    return out;
}

bool contains_even_odd(const std::vector<Point2>& ring, Point2 p) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const double yi = ring[i].y, yj = ring[j].y;
        if ((yi > p.y) == (yj > p.y)) continue;
        const double dy = yj - yi;
        if (std::fabs(dy) <= 1e-20) continue;
        const double x = ring[i].x + (p.y - yi) / dy * (double(ring[j].x) - ring[i].x);
        if (x > p.x) inside = !inside;
    }
    return inside;
}

void trace_rings(PlanResult& out, const std::vector<Segment>& segs, double tol) {
    NodeSet nodes(tol);
    struct Edge {
        std::uint32_t from, to;
    };
    std::vector<Edge> edges;
    for (const Segment& s : segs) {
        const std::uint32_t f = nodes.snap(s.a), t = nodes.snap(s.b);
        if (f != t) edges.push_back({f, t});
    }
    std::vector<std::vector<std::uint32_t>> outgoing(nodes.size());
    std::vector<std::uint32_t> degree(nodes.size(), 0);
    for (std::uint32_t i = 0; i < edges.size(); ++i) {
        outgoing[edges[i].from].push_back(i);
        ++degree[edges[i].from];
        ++degree[edges[i].to];
    }
    for (std::uint32_t d : degree) out.junction_nodes += d > 2 ? 1 : 0;

    std::vector<bool> used(edges.size(), false);
    const double two_pi = 2.0 * std::numbers::pi;
    for (std::uint32_t first = 0; first < edges.size(); ++first) {
        if (used[first]) continue;
        const std::uint32_t start = edges[first].from;
        std::vector<Point2> chain;
        std::uint32_t cur = first;
        while (true) {
            used[cur] = true;
            chain.push_back(nodes.at(edges[cur].from));
            const std::uint32_t at = edges[cur].to;
            if (at == start) {
                if (chain.size() >= 3) out.rings.push_back({std::move(chain), false, 0});
                break;
            }
            const Point2 node = nodes.at(at), prev = nodes.at(edges[cur].from);
            const double a_in = std::atan2(double(prev.y) - node.y, double(prev.x) - node.x);
            std::uint32_t best = kNoFace;
            double best_delta = 0.0;
            for (std::uint32_t cand : outgoing[at]) {
                if (used[cand]) continue;
                const Point2 to = nodes.at(edges[cand].to);
                const double a_out = std::atan2(double(to.y) - node.y, double(to.x) - node.x);
                double delta = a_in - a_out;
                while (delta <= 1e-6) delta += two_pi;
                while (delta > two_pi) delta -= two_pi;
                if (best == kNoFace || delta < best_delta) {
                    best = cand;
                    best_delta = delta;
                }
            }
            if (best == kNoFace || chain.size() > edges.size() + 1) {
                ++out.open_chains;
                break;
            }
            cur = best;
        }
    }

    std::vector<double> areas;
    for (const HatchRing& r : out.rings) areas.push_back(ring_signed_area(r.points));
    for (std::size_t i = 0; i < out.rings.size(); ++i) out.rings[i].is_hole = areas[i] < 0;
    for (std::size_t i = 0; i < out.rings.size(); ++i) {
        HatchRing& hole = out.rings[i];
        if (!hole.is_hole) continue;
        std::size_t parent = out.rings.size();
        for (std::size_t k = 0; k < out.rings.size(); ++k) {
            if (k == i || out.rings[k].is_hole) continue;
            if (!contains_even_odd(out.rings[k].points, hole.points.front())) continue;
            if (parent == out.rings.size() || std::fabs(areas[k]) < std::fabs(areas[parent]))
                parent = k;
        }
        if (parent == out.rings.size())
            hole.is_hole = false;
        else
            hole.parent = static_cast<std::uint32_t>(parent);
    }
}

void add_annotation_lines(PlanResult& out, const Mesh& mesh) {
    auto add = [&](const Vec3& a, const Vec3& b) {
        const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
        if (std::sqrt(dx * dx + dy * dy + dz * dz) > 1e-6)
            out.lines.push_back({flat(a), flat(b), LineKind::kBeyond, kNoFace});
    };
    for (const Curve& c : mesh.curves()) {
        if (!c.alive || c.points.size() < 2) continue;
        for (std::size_t i = 0; i + 1 < c.points.size(); ++i) add(c.points[i], c.points[i + 1]);
        if (c.closed) add(c.points.back(), c.points.front());
    }
    for (const Guide& g : mesh.guides()) {
        if (!g.infinite) add(g.a, g.b);
    }
}

}  // namespace

const char* line_kind_name(LineKind kind) {
    switch (kind) {
        case LineKind::kCut: return "cut";
        case LineKind::kBeyond: return "beyond";
        case LineKind::kHidden: return "hidden";
    }
    return "cut";
}

PlanResult build_plan(const Mesh& mesh, const PlanSettings& settings) {
    PlanResult out;
    out.height = settings.height;
    const double e = settings.plane_epsilon > 0 ? settings.plane_epsilon : 1e-6;
    const double tol = settings.merge_tolerance > 0 ? settings.merge_tolerance : 1e-4;
    const double h = settings.height;
    const auto faces = mesh.faces();
    const auto verts = mesh.vertices();
    std::vector<Segment> raw;
    std::vector<Vec3> ring;
    std::vector<double> d;
    for (FaceId f = 0; f < faces.size(); ++f) {
        const Face& face = faces[f];
        if (!face.alive || !face.visible) continue;
        const std::vector<VertexId> ids = mesh.face_vertices(f);
        if (ids.size() < 3) continue;
        ring.clear();
        d.clear();
        bool ok = true;
        for (VertexId v : ids) {
            if (v >= verts.size() || !verts[v].alive) {
                ok = false;
                break;
            }
            ring.push_back(verts[v].position);
            d.push_back(double(verts[v].position.z) - h);
        }
        if (!ok) continue;
        switch (classify(d, e)) {
            case FaceClass::kCut:
                ++out.faces_cut;
                cut_face(ring, d, face.normal, e, f, raw);
                break;
            case FaceClass::kBeyond:
                ++out.faces_beyond;
                if (settings.include_beyond) add_ring_lines(out, ring, LineKind::kBeyond, f, tol);
                break;
            case FaceClass::kInPlane:
                ++out.faces_in_plane;
                if (settings.include_beyond) add_ring_lines(out, ring, LineKind::kBeyond, f, tol);
                break;
            case FaceClass::kAbove:
                ++out.faces_above;
                if (settings.include_above) add_ring_lines(out, ring, LineKind::kHidden, f, tol);
                break;
        }
    }
    out.raw_cut_segments = raw.size();

    // A face that exists twice cuts the same segment twice, in the same direction.
    std::vector<Segment> unique;
    {
        NodeSet nodes(tol);
        std::map<std::pair<std::uint32_t, std::uint32_t>, bool> seen;
        for (const Segment& s : raw) {
            const auto key = std::make_pair(nodes.snap(s.a), nodes.snap(s.b));
            if (!seen.emplace(key, true).second) {
                ++out.duplicates_dropped;
                continue;
            }
            unique.push_back(s);
        }
    }
    const std::vector<Segment> cut = remove_buried(unique, tol, out.buried_overlaps);
    for (const Segment& s : cut) out.lines.push_back({s.a, s.b, LineKind::kCut, s.face});
    if (!settings.hatch) return out;
    trace_rings(out, cut, tol);
    add_annotation_lines(out, mesh);
    return out;
}

std::uint64_t line_count(const PlanResult& plan, LineKind kind) {
    return static_cast<std::uint64_t>(std::count_if(
        plan.lines.begin(), plan.lines.end(), [&](const PlanLine& l) { return l.kind == kind; }));
}

double ring_signed_area(const std::vector<Point2>& ring) {
    double twice = 0.0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point2 a = ring[i], b = ring[(i + 1) % ring.size()];
        twice += double(a.x) * b.y - double(b.x) * a.y;
    }
    return twice * 0.5;
}

double hatch_area(const PlanResult& plan) {
    double sum = 0.0;
    for (const HatchRing& r : plan.rings) sum += ring_signed_area(r.points);
    return sum;
}

std::uint64_t geometry_hash(const Mesh& mesh) {
    constexpr std::uint64_t kPrime = 0x100000001b3ull;
    std::uint64_t acc = 0;
    auto mix = [&](const Vec3& p) {
        const std::uint64_t x = std::bit_cast<std::uint32_t>(p.x);
        const std::uint64_t y = std::bit_cast<std::uint32_t>(p.y);
        const std::uint64_t z = std::bit_cast<std::uint32_t>(p.z);
        const std::uint64_t h = (((x ^ 0x14650fb0739d0383ull) * kPrime) ^ y) * kPrime;
        acc ^= (h ^ z) * kPrime;
    };
    std::uint64_t nv = 0, np = 0;
    for (const Vertex& v : mesh.vertices()) {
        if (!v.alive) continue;
        mix(v.position);
        ++nv;
    }
    for (const Curve& c : mesh.curves()) {
        if (!c.alive) continue;
        for (const Vec3& p : c.points) {
            mix(p);
            ++np;
        }
    }
    const std::uint64_t guides = mesh.guides().size();
    return (0x27d4eb2f165667c5ull * guides) ^ (mesh.alive_face_count() * 0xc2b2ae3d27d4eb4full) ^
           (nv * 0x9e3779b97f4a7c15ull) ^ (np * 0x165667b19e3779f9ull) ^ acc;
}

bool export_plan_dxf(const std::filesystem::path& path, std::span<const PlanLine> lines,
                     std::span<const TextLabel> labels) {
    // No layer table: the layers take their line weights from the drawing they land in.
    io::DxfWriter dxf;
    static constexpr const char* kLayers[] = {"KORVAN-CUT", "KORVAN-BEYOND", "KORVAN-HIDDEN"};
    for (LineKind kind : {LineKind::kCut, LineKind::kBeyond, LineKind::kHidden}) {
        for (const PlanLine& l : lines) {
            if (l.kind != kind) continue;
            dxf.line(kLayers[static_cast<int>(kind)], {l.a.x, l.a.y, 0.0f},
                     {l.b.x, l.b.y, 0.0f});
        }
    }
    for (const TextLabel& t : labels) {
        if (t.text.empty()) continue;
        dxf.text("KORVAN-TEXT", {t.position.x, t.position.y, 0.0f}, t.height, t.text);
    }
    return platform::write_file_atomic(path, dxf.finish());
}

}  // namespace korvan::plan
