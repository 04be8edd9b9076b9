// Straight skeleton by wavefront propagation with an event queue.
//
// Every wavefront vertex moves at constant velocity v between the offset lines of its two
// sides (n_a . v = n_b . v = 1, so v = (n_a + n_b) / (1 + n_a . n_b)); it is never changed,
// only ended, so an event in the queue stays true while its vertices are alive. Two kinds
// of event are queued: an edge event when the side between two neighbours shrinks to
// nothing, and a split candidate for every reflex vertex against every polygon side whose
// offset line it will reach. A split candidate is checked when it comes due: the point must
// lie on a piece of that side still present in the vertex's own wavefront loop, otherwise
// the line was reached outside the side and the candidate is dropped. All events within the
// time tolerance of the earliest one form a batch; afterwards the new vertices are cleaned:
// neighbours that met merge (a vertex event shows up as a split at a piece's end followed by
// such a merge), a vertex whose sides run back along each other (a zero-width spike, as
// when the two long sides of a rectangle meet in the ridge) is zipped against the nearer
// neighbour, and a loop of two vertices is a ridge segment and ends. Arcs record the pair of
// sides they separate, so each side's face is chained from its arcs at the end.
#include "core/polygon_2d_skeleton.h"

#include <algorithm>
#include <cmath>
#include <queue>
#include <tuple>

namespace korvan {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr double kParallel = 1e-12;

double dot2(const Point2& a, const Point2& b) { return a.x * b.x + a.y * b.y; }
double cross2(const Point2& a, const Point2& b) { return a.x * b.y - a.y * b.x; }
Point2 sub(const Point2& a, const Point2& b) { return {a.x - b.x, a.y - b.y}; }
double dist2(const Point2& a, const Point2& b) {
    const double dx = a.x - b.x, dy = a.y - b.y;
    return dx * dx + dy * dy;
}

struct Side {
    Point2 start;
    Point2 dir;     // unit
    Point2 normal;  // unit, inward
};

struct WaveVertex {
    Point2 origin;
    double t0 = 0.0;
    Point2 velocity;
    std::uint32_t left = 0, right = 0;  // sides before and after the vertex
    std::uint32_t prev = kNone, next = kNone;
    std::uint32_t node = kNone;
    std::uint32_t loop = 0;
    bool alive = true;
    bool pending = true;  // created in the current batch; velocity not set yet
};

enum EventKind : std::uint32_t { kEdgeEvent = 0, kSplitEvent = 1 };

struct Event {
    double time = 0.0;
    std::uint32_t kind = kEdgeEvent;
    std::uint32_t vertex = 0;
    std::uint32_t other = 0;  // the neighbour (edge event) or the side hit (split)

    bool operator>(const Event& o) const {
        if (time != o.time) return time > o.time;
        if (kind != o.kind) return kind > o.kind;
        if (vertex != o.vertex) return vertex > o.vertex;
        return other > o.other;
    }
};

class Wavefront {
public:
    Wavefront(std::span<const Point2> polygon, const SkeletonOptions& options)
        : poly_(polygon), opt_(options), n_(static_cast<std::uint32_t>(polygon.size())) {}

    StraightSkeleton run();

private:
    Point2 at(const WaveVertex& v, double t) const {
        if (v.pending) return v.origin;
        const double dt = t - v.t0;
        return {v.origin.x + v.velocity.x * dt, v.origin.y + v.velocity.y * dt};
    }
    Point2 at(std::uint32_t v) const { return at(verts_[v], now_); }

    bool fail(const char* why) {
        if (out_.error[0] == '\0') out_.error = why;
        return false;
    }

    std::uint32_t node_at(const Point2& p);
    std::uint32_t new_vertex(const Point2& p, std::uint32_t node, std::uint32_t left,
                             std::uint32_t right, std::uint32_t prev, std::uint32_t next,
                             std::uint32_t loop);
    void end_vertex(std::uint32_t v, std::uint32_t node);
    void add_arc(std::uint32_t a, std::uint32_t b, std::uint32_t side_a, std::uint32_t side_b);
    bool start();
    bool edge_event(const Event& e);
    bool split_event(const Event& e);
    void relabel_split_loops(std::uint32_t a, std::uint32_t b);
    bool clean_batch();
    bool zip(std::uint32_t s);
    void merge(std::uint32_t p, std::uint32_t q);
    bool launch_pending();
    void queue_edge_event(std::uint32_t v);
    void queue_split_candidates(std::uint32_t v);
    void queue_next_candidate(std::uint32_t v);
    bool handle(const Event& e);
    bool assemble_faces();

    std::span<const Point2> poly_;
    SkeletonOptions opt_;
    std::uint32_t n_;
    std::vector<Side> sides_;
    std::vector<WaveVertex> verts_;
    std::vector<std::vector<std::uint32_t>> pieces_;  // per side: vertices whose right is it
    std::priority_queue<Event, std::vector<Event>, std::greater<Event>> queue_;
    // Per reflex vertex, its split candidates not yet queued (a min-heap): only the earliest
    // waits in the queue, so the queue stays as small as the wavefront.
    std::vector<std::vector<Event>> candidates_;
    std::vector<std::uint32_t> pending_;
    std::vector<std::uint32_t> batch_nodes_;
    double batch_nodes_time_ = -1.0;
    double now_ = 0.0;
    double time_bound_ = 0.0;
    std::uint64_t alive_ = 0;
    std::uint64_t processed_ = 0;
    std::uint32_t loops_ = 0;
    StraightSkeleton out_;
};

std::uint32_t Wavefront::node_at(const Point2& p) {
    if (std::abs(now_ - batch_nodes_time_) > opt_.time_tolerance) {
        batch_nodes_.clear();
        batch_nodes_time_ = now_;
    }
    const double tol2 = opt_.merge_tolerance * opt_.merge_tolerance;
    for (const std::uint32_t k : batch_nodes_) {
        if (dist2(out_.nodes[k].position, p) <= tol2) return k;
    }
    out_.nodes.push_back({p, now_});
    const auto k = static_cast<std::uint32_t>(out_.nodes.size() - 1);
    batch_nodes_.push_back(k);
    return k;
}

std::uint32_t Wavefront::new_vertex(const Point2& p, std::uint32_t node, std::uint32_t left,
                                    std::uint32_t right, std::uint32_t prev, std::uint32_t next,
                                    std::uint32_t loop) {
    WaveVertex v;
    v.origin = p;
    v.t0 = now_;
    v.left = left;
    v.right = right;
    v.prev = prev;
    v.next = next;
    v.node = node;
    v.loop = loop;
    verts_.push_back(v);
    const auto id = static_cast<std::uint32_t>(verts_.size() - 1);
    if (prev != kNone) verts_[prev].next = id;
    if (next != kNone) verts_[next].prev = id;
    pieces_[right].push_back(id);
    pending_.push_back(id);
    ++alive_;
    return id;
}

void Wavefront::add_arc(std::uint32_t a, std::uint32_t b, std::uint32_t side_a,
                        std::uint32_t side_b) {
    if (a == b || side_a == side_b) return;
    out_.arcs.push_back({std::min(a, b), std::max(a, b), std::min(side_a, side_b),
                         std::max(side_a, side_b)});
}

void Wavefront::end_vertex(std::uint32_t v, std::uint32_t node) {
    WaveVertex& w = verts_[v];
    if (!w.alive) return;
    w.alive = false;
    --alive_;
    if (v < candidates_.size()) std::vector<Event>().swap(candidates_[v]);
    add_arc(w.node, node, w.left, w.right);
}

bool Wavefront::start() {
    sides_.resize(n_);
    double minx = poly_[0].x, maxx = minx, miny = poly_[0].y, maxy = miny;
    for (std::uint32_t i = 0; i < n_; ++i) {
        const Point2& a = poly_[i];
        const Point2& b = poly_[(i + 1) % n_];
        const double len = std::sqrt(dist2(a, b));
        if (!(len > 0.0) || !std::isfinite(len)) return fail("a skeleton face boundary is open");
        sides_[i].start = a;
        sides_[i].dir = {(b.x - a.x) / len, (b.y - a.y) / len};
        sides_[i].normal = {-sides_[i].dir.y, sides_[i].dir.x};
        minx = std::min(minx, a.x), maxx = std::max(maxx, a.x);
        miny = std::min(miny, a.y), maxy = std::max(maxy, a.y);
        out_.nodes.push_back({a, 0.0});
    }
    // No point of the polygon is further than this from its bounding box's nearer sides.
    time_bound_ = 0.5 * std::min(maxx - minx, maxy - miny) + opt_.merge_tolerance;
    pieces_.resize(n_);
    verts_.reserve(4 * std::size_t{n_});
    for (std::uint32_t i = 0; i < n_; ++i) {
        const std::uint32_t left = (i + n_ - 1) % n_;
        if (1.0 + dot2(sides_[left].normal, sides_[i].normal) < kParallel)
            return fail("a footprint vertex doubles back on itself and has no bisector");
        new_vertex(poly_[i], i, left, i, kNone, kNone, 0);
    }
    for (std::uint32_t i = 0; i < n_; ++i) {
        verts_[i].prev = (i + n_ - 1) % n_;
        verts_[i].next = (i + 1) % n_;
    }
    loops_ = 1;
    return launch_pending();
}

void Wavefront::queue_edge_event(std::uint32_t v) {
    const WaveVertex& a = verts_[v];
    if (!a.alive || a.next == kNone) return;
    const WaveVertex& b = verts_[a.next];
    if (!b.alive || b.pending || a.next == v) return;
    const Point2& d = sides_[a.right].dir;
    const double rate = dot2(d, sub(b.velocity, a.velocity));
    if (!(rate < -kParallel)) return;
    const double length = dot2(d, sub(at(b, now_), at(a, now_)));
    const double t = now_ + std::max(0.0, length) / -rate;
    if (std::isfinite(t)) queue_.push({t, kEdgeEvent, v, a.next});
}

void Wavefront::queue_split_candidates(std::uint32_t v) {
    const WaveVertex& w = verts_[v];
    const Point2 p = at(w, now_);
    if (candidates_.size() <= v) candidates_.resize(verts_.size());
    std::vector<Event>& heap = candidates_[v];
    heap.clear();
    for (std::uint32_t e = 0; e < n_; ++e) {
        if (e == w.left || e == w.right) continue;
        const Side& s = sides_[e];
        const double ahead = dot2(s.normal, sub(p, s.start)) - now_;
        if (ahead < -opt_.merge_tolerance) continue;  // behind that side's wavefront line
        const double closing = 1.0 - dot2(s.normal, w.velocity);
        if (!(closing > kParallel)) continue;
        const double t = now_ + std::max(0.0, ahead) / closing;
        if (t <= time_bound_) heap.push_back({t, kSplitEvent, v, e});
    }
    std::make_heap(heap.begin(), heap.end(), std::greater<Event>());
    queue_next_candidate(v);
}

void Wavefront::queue_next_candidate(std::uint32_t v) {
    if (v >= candidates_.size()) return;
    std::vector<Event>& heap = candidates_[v];
    if (!verts_[v].alive || heap.empty()) {
        std::vector<Event>().swap(heap);
        return;
    }
    std::pop_heap(heap.begin(), heap.end(), std::greater<Event>());
    queue_.push(heap.back());
    heap.pop_back();
}

bool Wavefront::handle(const Event& e) {
    if (e.kind == kEdgeEvent) return edge_event(e);
    const bool done = split_event(e);
    if (!done) queue_next_candidate(e.vertex);
    return done;
}

bool Wavefront::launch_pending() {
    // Velocities first: an edge event needs both of its vertices moving.
    for (const std::uint32_t v : pending_) {
        WaveVertex& w = verts_[v];
        if (!w.alive) continue;
        const Point2& na = sides_[w.left].normal;
        const Point2& nb = sides_[w.right].normal;
        const double denom = 1.0 + dot2(na, nb);
        if (denom < kParallel) return fail("a wavefront loop is not a cycle (internal inconsistency)");
        w.velocity = {(na.x + nb.x) / denom, (na.y + nb.y) / denom};
        w.t0 = now_;
        w.pending = false;
    }
    for (const std::uint32_t v : pending_) {
        const WaveVertex& w = verts_[v];
        if (!w.alive) continue;
        queue_edge_event(v);
        queue_edge_event(w.prev);
        if (cross2(sides_[w.left].dir, sides_[w.right].dir) < -kParallel) queue_split_candidates(v);
    }
    pending_.clear();
    return true;
}

bool Wavefront::edge_event(const Event& e) {
    const std::uint32_t v = e.vertex, nb = e.other;
    if (!verts_[v].alive || !verts_[nb].alive || verts_[v].next != nb) return false;
    const Point2 pa = at(v), pb = at(nb);
    const std::uint32_t node = node_at({0.5 * (pa.x + pb.x), 0.5 * (pa.y + pb.y)});
    const WaveVertex a = verts_[v], b = verts_[nb];
    end_vertex(v, node);
    end_vertex(nb, node);
    ++out_.edge_events;
    if (a.prev == nb) return true;  // a loop of two ended in one point
    new_vertex(out_.nodes[node].position, node, a.left, b.right, a.prev, b.next, a.loop);
    return true;
}

void Wavefront::relabel_split_loops(std::uint32_t a, std::uint32_t b) {
    // Walk both new loops in step and relabel the shorter one, so splits cost O(n log n).
    std::uint32_t ca = verts_[a].next, cb = verts_[b].next;
    const std::uint64_t limit = verts_.size() + 1;
    for (std::uint64_t steps = 0; steps < limit; ++steps) {
        if (ca == a || cb == b) break;
        ca = verts_[ca].next;
        cb = verts_[cb].next;
    }
    const std::uint32_t start = (ca == a) ? a : b;
    const std::uint32_t label = loops_++;
    std::uint32_t c = start;
    for (std::uint64_t steps = 0; steps < limit; ++steps) {
        verts_[c].loop = label;
        c = verts_[c].next;
        if (c == start) break;
    }
}

bool Wavefront::split_event(const Event& e) {
    const std::uint32_t v = e.vertex, side = e.other;
    if (!verts_[v].alive) return false;
    const WaveVertex w = verts_[v];
    const Point2 x = at(v);
    const Point2& d = sides_[side].dir;
    const double tol = opt_.merge_tolerance;
    std::vector<std::uint32_t>& list = pieces_[side];
    std::uint32_t piece = kNone;
    for (std::size_t i = 0; i < list.size();) {
        const std::uint32_t a = list[i];
        if (!verts_[a].alive) {
            list[i] = list.back();
            list.pop_back();
            continue;
        }
        ++i;
        const std::uint32_t b = verts_[a].next;
        if (a == v || b == v || a == w.next || b == w.prev || verts_[a].loop != w.loop) continue;
        const Point2 pa = at(a), pb = at(b);
        const double length = dot2(d, sub(pb, pa));
        const double s = dot2(d, sub(x, pa));
        const double off = std::abs(cross2(d, sub(x, pa)));
        if (s >= -tol && s <= length + tol && off <= 10.0 * tol) {
            piece = a;
            break;
        }
    }
    if (piece == kNone) return false;
    const std::uint32_t b = verts_[piece].next;
    const std::uint32_t node = node_at(x);
    end_vertex(v, node);
    const Point2 p = out_.nodes[node].position;
    const std::uint32_t x1 = new_vertex(p, node, side, w.right, piece, w.next, w.loop);
    const std::uint32_t x2 = new_vertex(p, node, w.left, side, w.prev, b, w.loop);
    relabel_split_loops(x1, x2);
    ++out_.split_events;
    return true;
}

void Wavefront::merge(std::uint32_t p, std::uint32_t q) {
    const WaveVertex a = verts_[p], b = verts_[q];
    const std::uint32_t node = node_at(at(p));
    end_vertex(p, node);
    end_vertex(q, node);
    if (a.prev == q) return;  // both were the whole loop
    new_vertex(out_.nodes[node].position, node, a.left, b.right, a.prev, b.next, a.loop);
}

bool Wavefront::zip(std::uint32_t s) {
    const WaveVertex w = verts_[s];
    const std::uint32_t p = w.prev, q = w.next;
    const Point2 ps = at(s), pp = at(p), pq = at(q);
    const double dp = std::sqrt(dist2(pp, ps)), dq = std::sqrt(dist2(pq, ps));
    end_vertex(s, w.node);
    if (std::abs(dp - dq) <= opt_.merge_tolerance) {
        const WaveVertex a = verts_[p], b = verts_[q];
        const std::uint32_t node = node_at(pp);
        add_arc(w.node, node, w.left, w.right);
        end_vertex(p, node);
        end_vertex(q, node);
        if (a.prev == q) return true;
        new_vertex(out_.nodes[node].position, node, a.left, b.right, a.prev, b.next, a.loop);
    } else if (dq < dp) {
        const WaveVertex b = verts_[q];
        const std::uint32_t node = node_at(pq);
        add_arc(w.node, node, w.left, w.right);
        end_vertex(q, node);
        new_vertex(out_.nodes[node].position, node, w.left, b.right, p, b.next, w.loop);
    } else {
        const WaveVertex a = verts_[p];
        const std::uint32_t node = node_at(pp);
        add_arc(w.node, node, w.left, w.right);
        end_vertex(p, node);
        new_vertex(out_.nodes[node].position, node, a.left, w.right, a.prev, q, w.loop);
    }
    return true;
}

bool Wavefront::clean_batch() {
    const double tol2 = opt_.merge_tolerance * opt_.merge_tolerance;
    for (std::size_t i = 0; i < pending_.size(); ++i) {
        if (++processed_ > opt_.max_events)
            return fail("ran past max_events without finishing (degenerate or self-intersecting)");
        const std::uint32_t v = pending_[i];
        const WaveVertex& w = verts_[v];
        if (!w.alive) continue;
        const std::uint32_t p = w.prev, q = w.next;
        if (q == v) {
            end_vertex(v, w.node);
            continue;
        }
        if (p == q) {  // two vertices: the loop has no width left, a ridge segment
            const std::uint32_t node = node_at(at(q));
            end_vertex(q, node);
            end_vertex(v, w.node);
            add_arc(w.node, node, w.left, w.right);
            continue;
        }
        if (dist2(at(v), at(q)) <= tol2) {
            merge(v, q);
            continue;
        }
        if (dist2(at(p), at(v)) <= tol2) {
            merge(p, v);
            continue;
        }
        if (1.0 + dot2(sides_[w.left].normal, sides_[w.right].normal) < kParallel) zip(v);
    }
    return true;
}

bool Wavefront::assemble_faces() {
    std::sort(out_.arcs.begin(), out_.arcs.end(), [](const SkeletonArc& x, const SkeletonArc& y) {
        return std::tie(x.side_a, x.side_b, x.a, x.b) < std::tie(y.side_a, y.side_b, y.a, y.b);
    });
    out_.arcs.erase(std::unique(out_.arcs.begin(), out_.arcs.end(),
                                [](const SkeletonArc& x, const SkeletonArc& y) {
                                    return x.a == y.a && x.b == y.b && x.side_a == y.side_a &&
                                           x.side_b == y.side_b;
                                }),
                    out_.arcs.end());
    // Per side, the arcs bounding its face: counts, offsets, then the arc ids.
    std::vector<std::uint32_t> offsets(n_ + 1, 0);
    for (const SkeletonArc& a : out_.arcs) {
        ++offsets[a.side_a + 1];
        ++offsets[a.side_b + 1];
    }
    for (std::uint32_t i = 0; i < n_; ++i) offsets[i + 1] += offsets[i];
    std::vector<std::uint32_t> by_side(offsets[n_]);
    std::vector<std::uint32_t> fill(offsets.begin(), offsets.end() - 1);
    for (std::uint32_t k = 0; k < out_.arcs.size(); ++k) {
        by_side[fill[out_.arcs[k].side_a]++] = k;
        by_side[fill[out_.arcs[k].side_b]++] = k;
    }
    std::vector<std::uint8_t> used(out_.arcs.size(), 0);
    out_.faces.resize(n_);
    for (std::uint32_t i = 0; i < n_; ++i) {
        SkeletonFace& face = out_.faces[i];
        face.side = i;
        const std::uint32_t target = i, begin = offsets[i], end = offsets[i + 1];
        std::uint32_t cur = (i + 1) % n_;
        face.nodes = {i, cur};
        for (std::uint32_t steps = 0;; ++steps) {
            if (steps > end - begin) return fail("a skeleton face boundary is open");
            std::uint32_t found = kNone, count = 0;
            for (std::uint32_t k = begin; k < end; ++k) {
                const SkeletonArc& a = out_.arcs[by_side[k]];
                if (used[by_side[k]] & (a.side_a == i ? 1 : 2)) continue;
                if (a.a == cur || a.b == cur) {
                    if (found == kNone) found = by_side[k];
                    ++count;
                }
            }
            if (count == 0) return fail("a skeleton face boundary is open");
            if (count > 1) return fail("a skeleton face touches itself (unresolved degeneracy)");
            const SkeletonArc& a = out_.arcs[found];
            used[found] |= (a.side_a == i ? 1 : 2);
            cur = a.a == cur ? a.b : a.a;
            if (cur == target) break;
            face.nodes.push_back(cur);
        }
        for (std::uint32_t k = begin; k < end; ++k) {
            const SkeletonArc& a = out_.arcs[by_side[k]];
            if (!(used[by_side[k]] & (a.side_a == i ? 1 : 2)))
                return fail("a skeleton face boundary did not close over its own pieces");
        }
        if (face.nodes.size() < 3) return fail("a skeleton face came out with fewer than three sides");
    }
    return true;
}

StraightSkeleton Wavefront::run() {
    if (n_ < 3 || !start()) {
        if (out_.error[0] == '\0') out_.error = "a skeleton face came out with fewer than three sides";
        return out_;
    }
    const std::uint64_t growth_limit = (std::uint64_t{n_} * n_ + 64) * 64;
    while (alive_ > 0) {
        if (processed_ > opt_.max_events) {
            fail("ran past max_events without finishing (degenerate or self-intersecting)");
            return out_;
        }
        if (verts_.size() > growth_limit) {
            fail("the wavefront grew past any sane bound (degenerate or self-intersecting)");
            return out_;
        }
        bool any = false;
        while (!queue_.empty()) {
            const Event e = queue_.top();
            queue_.pop();
            const double t = std::max(now_, e.time);
            const double saved = now_;
            now_ = t;
            const bool done = handle(e);
            if (done) {
                any = true;
                ++processed_;
                break;
            }
            now_ = saved;
        }
        if (!any) {
            fail("the wavefront stalled with vertices still alive (unresolved degeneracy)");
            return out_;
        }
        while (!queue_.empty() && queue_.top().time <= now_ + opt_.time_tolerance) {
            const Event e = queue_.top();
            queue_.pop();
            // Each event at its own time keeps the nodes exact; the batch only decides what
            // is cleaned up together.
            const double saved = now_;
            now_ = std::max(now_, e.time);
            if (handle(e)) {
                ++processed_;
            } else {
                now_ = saved;
            }
        }
        if (!clean_batch() || !launch_pending()) return out_;
    }
    for (const SkeletonNode& node : out_.nodes) out_.max_time = std::max(out_.max_time, node.time);
    if (!assemble_faces()) return out_;
    out_.ok = true;
    return out_;
}

}  // namespace

StraightSkeleton straight_skeleton(std::span<const Point2> polygon, const SkeletonOptions& options) {
    Wavefront wavefront(polygon, options);
    return wavefront.run();
}

}  // namespace korvan
