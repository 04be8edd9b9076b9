#include "tools/contour_join.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "core/mesh.h"
#include "tools/contour_check.h"

namespace korvan {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

struct Chain {
    std::vector<Vec3> points;
    bool closed = false;
    bool alive = true;
    bool joined = false;  // produced by a join
    std::size_t slot = 0;   // curve-table index
    std::uint32_t head = kNone, tail = kNone;  // end ids at its first and last point
};

struct Candidate {
    double gap, step;
    std::uint32_t i, j;
};

double dist3(const Vec3& a, const Vec3& b) {
    return std::sqrt(double(a.x - b.x) * (a.x - b.x) + double(a.y - b.y) * (a.y - b.y) +
                     double(a.z - b.z) * (a.z - b.z));
}

Vec3 midpoint(const Vec3& a, const Vec3& b) {
    return {static_cast<float>(0.5 * (double(a.x) + b.x)), static_cast<float>(0.5 * (double(a.y) + b.y)),
            static_cast<float>(0.5 * (double(a.z) + b.z))};
}

double plan_area2(const std::vector<Vec3>& pts) {
    double sum = 0.0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const Vec3& a = pts[i];
        const Vec3& b = pts[(i + 1) % pts.size()];
        sum += double(a.x) * b.y - double(a.y) * b.x;
    }
    return sum;
}

void reverse_chain(Chain& c) {
    std::reverse(c.points.begin(), c.points.end());
    std::swap(c.head, c.tail);
}

enum EndState : std::uint8_t { kFree, kUsed, kDegenerate };

void swap_curves(Mesh& mesh, std::vector<Curve>& other) {
    for (std::size_t i = 0; i < other.size(); ++i) std::swap(mesh.curve_mut(i), other[i]);
}

}  // namespace

ContourJoinResult join_contour_ends(std::span<const Curve> curves, const ContourJoinOptions& o,
                                    std::vector<Curve>& repaired) {
    ContourJoinResult r;
    repaired.clear();
    auto refuse = [&](const char* why, int contour) {
        r.ok = false;
        r.message = why;
        r.blame_contour = contour;
        return r;
    };
    if (!(o.join_tolerance > 0.0f) || !std::isfinite(o.join_tolerance))
        return refuse("join tolerance must be positive and finite", -1);
    if (!(o.elevation_tolerance >= 0.0f) || !std::isfinite(o.elevation_tolerance))
        return refuse("elevation tolerance must be non-negative and finite", -1);

    std::vector<Chain> chains;
    for (std::size_t slot = 0; slot < curves.size(); ++slot) {
        const Curve& curve = curves[slot];
        if (!curve.alive) continue;
        const int number = static_cast<int>(chains.size());
        Chain c;
        c.closed = curve.closed;
        c.slot = slot;
        for (const Vec3& p : curve.points) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z))
                return refuse("contour has a non-finite coordinate", number);
            if (!c.points.empty() && dist3(c.points.back(), p) <= o.duplicate_distance) {
                ++r.duplicate_points_dropped;
                continue;
            }
            c.points.push_back(p);
        }
        while (c.closed && c.points.size() > 1 &&
               dist3(c.points.back(), c.points.front()) <= o.duplicate_distance) {
            c.points.pop_back();
            ++r.duplicate_points_dropped;
        }
        if (c.points.size() < 2) return refuse("contour has fewer than two distinct points", number);
        if (c.closed && c.points.size() < 3)
            return refuse("closed contour has fewer than three distinct points", number);
        Curve probe;
        probe.points = c.points;
        const double spread = contour_spread(probe, contour_elevation(probe));
        r.worst_elevation_spread = std::max(r.worst_elevation_spread, spread);
        if (spread > o.spread_limit)
            return refuse("contour is not level -- its elevation spread exceeds the limit", number);
        chains.push_back(std::move(c));
    }
    r.contours = chains.size();

    // Ends: each open contour's first and last point, in contour order.
    std::vector<std::uint32_t> end_chain;
    for (std::uint32_t k = 0; k < chains.size(); ++k) {
        if (chains[k].closed) continue;
        ++r.open_contours;
        chains[k].head = static_cast<std::uint32_t>(end_chain.size());
        end_chain.push_back(k);
        chains[k].tail = static_cast<std::uint32_t>(end_chain.size());
        end_chain.push_back(k);
    }
    const std::uint64_t e = end_chain.size();
    r.ends = e;
    if (e >= 2 && (e / 2) * (e - 1) > o.pair_budget)
        return refuse("too many open contour ends to pair within the budget", -1);
    auto end_point = [&](std::uint32_t end) {
        const Chain& c = chains[end_chain[end]];
        return c.head == end ? c.points.front() : c.points.back();
    };

    std::vector<Candidate> candidates;
    std::vector<std::uint32_t> candidate_count(e, 0);
    std::vector<std::uint8_t> elevation_rejected(e, 0);
    for (std::uint32_t i = 0; i < e; ++i) {
        const Vec3 a = end_point(i);
        for (std::uint32_t j = i + 1; j < e; ++j) {
            const Vec3 b = end_point(j);
            const double gap = std::hypot(double(a.x) - b.x, double(a.y) - b.y);
            if (gap > o.join_tolerance) continue;
            const double step = std::abs(double(a.z) - b.z);
            if (step > o.elevation_tolerance) {
                elevation_rejected[i] = elevation_rejected[j] = 1;
                r.worst_rejected_elevation_step = std::max(r.worst_rejected_elevation_step, step);
                continue;
            }
            candidates.push_back({gap, step, i, j});
            ++candidate_count[i];
            ++candidate_count[j];
        }
    }
    for (const std::uint32_t c : candidate_count) r.ambiguous_ends += c >= 2 ? 1 : 0;
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& x, const Candidate& y) {
        return std::tie(x.gap, x.step, x.i, x.j) < std::tie(y.gap, y.step, y.i, y.j);
    });

    std::vector<std::uint8_t> state(e, kFree);
    for (const Candidate& cand : candidates) {
        if (state[cand.i] == kUsed || state[cand.j] == kUsed) continue;
        const std::uint32_t ci = end_chain[cand.i], cj = end_chain[cand.j];
        if (ci == cj) {
            Chain& c = chains[ci];
            if (c.points.size() < 4) {
                state[cand.i] = state[cand.j] = kDegenerate;
                continue;
            }
            c.points.front() = midpoint(c.points.front(), c.points.back());
            c.points.pop_back();
            c.closed = true;
            c.head = c.tail = kNone;
            ++r.loops_closed;
        } else {
            Chain& a = chains[ci];
            Chain& b = chains[cj];
            if (a.head == cand.i) reverse_chain(a);
            if (b.tail == cand.j) reverse_chain(b);
            a.points.back() = midpoint(a.points.back(), b.points.front());
            a.points.insert(a.points.end(), b.points.begin() + 1, b.points.end());
            a.tail = b.tail;
            end_chain[b.tail] = ci;
            a.joined = true;
            b.alive = false;
            b.points.clear();
            ++r.joined;
        }
        state[cand.i] = state[cand.j] = kUsed;
        r.worst_join_gap = std::max(r.worst_join_gap, cand.gap);
        r.worst_join_elevation_step = std::max(r.worst_join_elevation_step, cand.step);
    }
    for (std::uint32_t k = 0; k < e; ++k) {
        if (state[k] == kUsed) continue;
        ++r.left_open;
        if (state[k] == kDegenerate) {
            ++r.degenerate_loop;
        } else if (candidate_count[k] > 0) {
            ++r.contested;
        } else if (elevation_rejected[k]) {
            ++r.elevation_mismatch;
        } else {
            ++r.no_partner;
        }
    }
    for (Chain& c : chains) {
        if (!c.alive) continue;
        bool flip = false;
        if (c.closed) {
            flip = plan_area2(c.points) < 0.0;
        } else if (c.joined) {
            const Vec3 &f = c.points.front(), &l = c.points.back();
            flip = std::tie(f.x, f.y, f.z) > std::tie(l.x, l.y, l.z);
        }
        if (flip) {
            std::reverse(c.points.begin(), c.points.end());
            ++r.rewound;
        }
    }
    r.changed = r.duplicate_points_dropped > 0 || r.joined > 0 || r.loops_closed > 0 || r.rewound > 0;
    if (!r.changed) return r;
    repaired.assign(curves.begin(), curves.end());
    for (const Chain& c : chains) {
        Curve& slot = repaired[c.slot];
        if (!c.alive) {
            slot.alive = false;
            continue;
        }
        slot.points = c.points;
        slot.closed = c.closed;
    }
    return r;
}

JoinContourEndsCommand::JoinContourEndsCommand(Document& doc, MeshLocator target,
                                               ContourJoinOptions options)
    : doc_(doc), target_(std::move(target)), options_(options) {}

void JoinContourEndsCommand::redo() {
    result_ = {};
    applied_ = false;
    Mesh* mesh = target_.resolve(doc_);
    if (mesh == nullptr) {
        result_.ok = false;
        result_.message = "the mesh is no longer in the document";
        return;
    }
    std::vector<Curve> repaired;
    result_ = join_contour_ends(mesh->curves(), options_, repaired);
    if (!result_.ok || !result_.changed) return;
    // A join erases consumed contours in place, so the table keeps its length and each slot
    // trades places with its repair; undo trades them back.
    before_ = std::move(repaired);
    swap_curves(*mesh, before_);
    applied_ = true;
}

void JoinContourEndsCommand::undo() {
    Mesh* mesh = target_.resolve(doc_);
    if (!applied_ || mesh == nullptr) return;
    swap_curves(*mesh, before_);
    before_.clear();
    applied_ = false;
}

}  // namespace korvan
