#include "tools/contour_check.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace korvan {
namespace {

constexpr double kLevelSeparation = 1e-6;  // contours closer in elevation share a level
constexpr int kGridAttempts = 32;
constexpr std::uint64_t kEntriesPerSegment = 16;
constexpr std::uint64_t kEntrySlack = 256;

struct Segment {
    double ax, ay, bx, by;
    int contour;
};

enum class Contact { kNone, kCrossing, kTouch };

struct PairHit {
    Contact contact = Contact::kNone;
    double x = 0.0, y = 0.0;
};

double cross(double ox, double oy, double ax, double ay, double bx, double by) {
    return (ax - ox) * (by - oy) - (ay - oy) * (bx - ox);
}

double point_segment_distance(double px, double py, const Segment& s) {
    const double dx = s.bx - s.ax, dy = s.by - s.ay;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0.0 ? ((px - s.ax) * dx + (py - s.ay) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(s.ax + dx * t - px, s.ay + dy * t - py);
}

PairHit test_pair(const Segment& a, const Segment& b, double t, bool different_levels) {
    PairHit hit;
    if (std::max(a.ax, a.bx) + t < std::min(b.ax, b.bx) - t ||
        std::max(b.ax, b.bx) + t < std::min(a.ax, a.bx) - t ||
        std::max(a.ay, a.by) + t < std::min(b.ay, b.by) - t ||
        std::max(b.ay, b.by) + t < std::min(a.ay, a.by) - t) {
        return hit;
    }
    const double la = std::hypot(a.bx - a.ax, a.by - a.ay);
    const double lb = std::hypot(b.bx - b.ax, b.by - b.ay);
    if (!(la > 0.0) || !(lb > 0.0)) return hit;
    // Signed distances times length: b's ends against a's line, a's ends against b's line.
    const double d1 = cross(a.ax, a.ay, a.bx, a.by, b.ax, b.ay);
    const double d2 = cross(a.ax, a.ay, a.bx, a.by, b.bx, b.by);
    const double d3 = cross(b.ax, b.ay, b.bx, b.by, a.ax, a.ay);
    const double d4 = cross(b.ax, b.ay, b.bx, b.by, a.bx, a.by);
    const double ta = t * la, tb = t * lb;
    const bool b_apart = (d1 > ta && d2 < -ta) || (d1 < -ta && d2 > ta);
    const bool a_apart = (d3 > tb && d4 < -tb) || (d3 < -tb && d4 > tb);
    if (a_apart && b_apart) {
        const double s = d3 / (d3 - d4);
        hit.contact = Contact::kCrossing;
        hit.x = a.ax + (a.bx - a.ax) * s;
        hit.y = a.ay + (a.by - a.ay) * s;
        return hit;
    }
    if (!different_levels) return hit;
    const double ends[4][2] = {{b.ax, b.ay}, {b.bx, b.by}, {a.ax, a.ay}, {a.bx, a.by}};
    for (int k = 0; k < 4; ++k) {
        const Segment& other = k < 2 ? a : b;
        if (point_segment_distance(ends[k][0], ends[k][1], other) <= t) {
            hit.contact = Contact::kTouch;
            hit.x = ends[k][0];
            hit.y = ends[k][1];
            return hit;
        }
    }
    return hit;
}

bool finite_point(const Vec3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

}  // namespace

double contour_elevation(const Curve& curve) {
    if (curve.points.empty()) return 0.0;
    double sum = 0.0;
    for (const Vec3& p : curve.points) sum += p.z;
    return sum / static_cast<double>(curve.points.size());
}

double contour_spread(const Curve& curve, double elevation) {
    double worst = 0.0;
    for (const Vec3& p : curve.points) worst = std::max(worst, std::abs(p.z - elevation));
    return worst;
}

ContourCheckResult check_contours(std::span<const Curve> curves, const ContourCheckOptions& options) {
    ContourCheckResult r;
    const double tol = options.segment_tolerance;
    std::vector<Segment> segs;
    std::vector<double> elevations;
    int number = 0;
    for (const Curve& curve : curves) {
        if (!curve.alive) continue;
        const int c = number++;
        const double elevation = contour_elevation(curve);
        elevations.push_back(elevation);
        r.worst_spread = std::max(r.worst_spread, contour_spread(curve, elevation));
        (curve.closed ? r.closed : r.open) += 1;
        const std::size_t n = curve.points.size();
        const std::size_t count = curve.closed ? n : (n > 0 ? n - 1 : 0);
        for (std::size_t i = 0; i < count; ++i) {
            const Vec3& p = curve.points[i];
            const Vec3& q = curve.points[(i + 1) % n];
            if (!finite_point(p) || !finite_point(q)) {
                r.ok = false;
                r.message = "contour has a non-finite coordinate";
                r.blame_a = r.blame_b = c;
                r.elevation_a = r.elevation_b = elevation;
                return r;
            }
            if (std::hypot(double(q.x) - p.x, double(q.y) - p.y) <= tol) continue;
            segs.push_back({p.x, p.y, q.x, q.y, c});
        }
    }
    r.segments = segs.size();
    if (segs.size() < 2) return r;

    double minx = HUGE_VAL, miny = HUGE_VAL, maxx = -HUGE_VAL, maxy = -HUGE_VAL;
    for (const Segment& s : segs) {
        minx = std::min({minx, s.ax, s.bx}), maxx = std::max({maxx, s.ax, s.bx});
        miny = std::min({miny, s.ay, s.by}), maxy = std::max({maxy, s.ay, s.by});
    }
    const double w = maxx - minx, h = maxy - miny;
    const double n = static_cast<double>(segs.size());
    double size = std::sqrt(std::max(w, 1e-9) * std::max(h, 1e-9) / std::max(n / 2.0, 1.0));
    if (!(size > 0.0) || !std::isfinite(size)) size = std::max({w, h, 1e-9});
    size = std::max(size, std::max(w, h) * 1e-6);
    std::uint64_t cols = 1, rows = 1;
    auto cell_of = [&](double v, double lo) {
        return static_cast<std::uint64_t>(std::floor((v - lo) / size));
    };
    for (int attempt = 0; attempt < kGridAttempts; ++attempt) {
        cols = static_cast<std::uint64_t>(std::floor(w / size)) + 1;
        rows = static_cast<std::uint64_t>(std::floor(h / size)) + 1;
        if (cols * rows <= options.grid_cell_budget) {
            std::uint64_t entries = 0;
            for (const Segment& s : segs) {
                entries += (cell_of(std::max(s.ax, s.bx), minx) - cell_of(std::min(s.ax, s.bx), minx) + 1) *
                           (cell_of(std::max(s.ay, s.by), miny) - cell_of(std::min(s.ay, s.by), miny) + 1);
            }
            if (entries <= kEntriesPerSegment * (segs.size() + kEntrySlack)) break;
        }
        size *= 2.0;
    }
    cols = static_cast<std::uint64_t>(std::floor(w / size)) + 1;
    rows = static_cast<std::uint64_t>(std::floor(h / size)) + 1;
    // Each segment's first cell and its cell range, clamped to the grid.
    struct Span {
        std::uint64_t c0, c1, r0, r1;
    };
    std::vector<Span> spans(segs.size());
    for (std::size_t i = 0; i < segs.size(); ++i) {
        const Segment& s = segs[i];
        spans[i] = {std::min(cell_of(std::min(s.ax, s.bx), minx), cols - 1),
                    std::min(cell_of(std::max(s.ax, s.bx), minx), cols - 1),
                    std::min(cell_of(std::min(s.ay, s.by), miny), rows - 1),
                    std::min(cell_of(std::max(s.ay, s.by), miny), rows - 1)};
    }
    const std::uint64_t cells = cols * rows;
    std::vector<std::uint64_t> offsets(cells + 1, 0);
    for (const Span& sp : spans) {
        for (std::uint64_t c = sp.c0; c <= sp.c1; ++c)
            for (std::uint64_t k = sp.r0; k <= sp.r1; ++k) ++offsets[c * rows + k + 1];
    }
    for (std::uint64_t c = 0; c < cells; ++c) offsets[c + 1] += offsets[c];
    std::vector<std::uint32_t> entries(offsets[cells]);
    std::vector<std::uint64_t> fill(offsets.begin(), offsets.end() - 1);
    for (std::uint32_t i = 0; i < segs.size(); ++i) {
        const Span& sp = spans[i];
        for (std::uint64_t c = sp.c0; c <= sp.c1; ++c)
            for (std::uint64_t k = sp.r0; k <= sp.r1; ++k) entries[fill[c * rows + k]++] = i;
    }
    r.grid_cells = cells;
    r.grid_entries = entries.size();

    for (std::uint64_t cell = 0; cell < cells; ++cell) {
        const std::uint64_t col = cell / rows, row = cell % rows;
        for (std::uint64_t x = offsets[cell]; x < offsets[cell + 1]; ++x) {
            const std::uint32_t i = entries[x];
            for (std::uint64_t y = x + 1; y < offsets[cell + 1]; ++y) {
                const std::uint32_t j = entries[y];
                // Test each pair once: in the cell where both of their first cells meet.
                if (std::max(spans[i].c0, spans[j].c0) != col || std::max(spans[i].r0, spans[j].r0) != row)
                    continue;
                if (++r.pair_tests > options.pair_budget) {
                    r.ok = false;
                    r.message = "contour crossing check exceeded its pair budget";
                    return r;
                }
                const Segment &a = segs[i], &b = segs[j];
                const bool apart = a.contour != b.contour &&
                                   std::abs(elevations[a.contour] - elevations[b.contour]) > kLevelSeparation;
                const PairHit hit = test_pair(a, b, tol, apart);
                if (hit.contact == Contact::kNone) continue;
                r.ok = false;
                r.blame_a = a.contour;
                r.blame_b = b.contour;
                r.blame_x = hit.x;
                r.blame_y = hit.y;
                r.elevation_a = elevations[a.contour];
                r.elevation_b = elevations[b.contour];
                if (hit.contact == Contact::kTouch) {
                    r.touch = true;
                    r.message = "contours at different elevations meet -- two level sets of one surface "
                                "cannot share a point";
                } else {
                    r.crossing = true;
                    r.message = a.contour == b.contour ? "a contour crosses itself"
                                : apart ? "contours at different elevations cross -- no ground has two "
                                          "heights at one point"
                                        : "two contours at the same elevation cross -- a saddle; nudge one "
                                          "off the pass elevation";
                }
                return r;
            }
        }
    }
    return r;
}

}  // namespace korvan
