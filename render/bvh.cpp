#include "render/bvh.h"

#include <cmath>
#include <limits>

// Top-down build with binned surface area heuristics: at each node the triangle centroids
// are sorted into kBins slabs along each axis, and the split between slabs with the lowest
// estimated cost (box area times triangle count on each side) wins, unless keeping the node
// as a leaf is cheaper. Children of a node are stored side by side, so a node needs one index.

namespace korvan {
namespace {

constexpr int kBins = 16;
constexpr std::uint32_t kMaxLeafSize = 4;
// Beyond this depth a node becomes a leaf whatever it holds, which bounds the traversal
// stack (degenerate inputs such as thousands of coincident triangles get here).
constexpr int kMaxDepth = 56;
// Cost of visiting a node relative to testing one packet of four triangles.
constexpr float kTraversalCost = 1.0f;

struct Box {
    Vec3 min{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
             std::numeric_limits<float>::max()};
    Vec3 max{-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
             -std::numeric_limits<float>::max()};

    void grow(const Vec3& p) {
        min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
        max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
    }
    void grow(const Box& b) {
        if (b.empty()) return;  // an empty bin's inverted corners would swallow everything
        grow(b.min);
        grow(b.max);
    }
    bool empty() const { return min.x > max.x; }
    float half_area() const {
        if (empty()) return 0.0f;
        const Vec3 d = max - min;
        return d.x * d.y + d.y * d.z + d.z * d.x;
    }
};

float axis_of(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// Leaves are tested four triangles at a time, so their cost counts packets of four.
float packets_for(std::uint32_t triangles) { return static_cast<float>((triangles + 3) / 4); }

struct Ref {
    Box box;
    Vec3 centroid;
    std::uint32_t index;
};

struct Task {
    std::uint32_t node;
    std::uint32_t begin, end;
    int depth;
};

// The split plane found for a node: refs whose centroid bin is below `bin` go left.
struct Split {
    int axis = -1;
    int bin = 0;
    float cost = std::numeric_limits<float>::max();
};

Split best_split(const std::vector<Ref>& refs, std::uint32_t begin, std::uint32_t end,
                 const Box& centroids, float parent_half_area) {
    Split best;
    for (int axis = 0; axis < 3; ++axis) {
        const float lo = axis_of(centroids.min, axis), hi = axis_of(centroids.max, axis);
        if (!(hi > lo)) continue;
        const float scale = kBins / (hi - lo);
        Box bins[kBins];
        std::uint32_t counts[kBins] = {};
        for (std::uint32_t i = begin; i < end; ++i) {
            const int b = std::min(
                kBins - 1, static_cast<int>((axis_of(refs[i].centroid, axis) - lo) * scale));
            bins[b].grow(refs[i].box);
            ++counts[b];
        }
        // Sweep from the right to get the right side's area and count for each split.
        float right_area[kBins];
        std::uint32_t right_count[kBins];
        Box acc;
        std::uint32_t count = 0;
        for (int b = kBins - 1; b > 0; --b) {
            acc.grow(bins[b]);
            count += counts[b];
            right_area[b] = acc.half_area();
            right_count[b] = count;
        }
        Box left;
        std::uint32_t left_count = 0;
        for (int b = 1; b < kBins; ++b) {
            left.grow(bins[b - 1]);
            left_count += counts[b - 1];
            if (left_count == 0 || right_count[b] == 0) continue;
            const float cost = kTraversalCost + (left.half_area() * packets_for(left_count) +
                                                 right_area[b] * packets_for(right_count[b])) /
                                                    std::max(parent_half_area, 1e-30f);
            if (cost < best.cost) best = {axis, b, cost};
        }
    }
    return best;
}

}  // namespace

Bvh::RayPrep Bvh::prepare(const Vec3& origin, const Vec3& dir) {
    // A zero component would give 0 x inf = NaN in the slab test; a tiny one gives huge
    // but ordered slab distances instead.
    auto safe_inverse = [](float d) {
        constexpr float kTiny = 1e-30f;
        if (std::fabs(d) < kTiny) d = std::signbit(d) ? -kTiny : kTiny;
        return 1.0f / d;
    };
    const Vec3 inv{safe_inverse(dir.x), safe_inverse(dir.y), safe_inverse(dir.z)};
    return {_mm_set1_ps(origin.x), _mm_set1_ps(origin.y), _mm_set1_ps(origin.z),
            _mm_set1_ps(inv.x),    _mm_set1_ps(inv.y),    _mm_set1_ps(inv.z),
            _mm_set1_ps(dir.x),    _mm_set1_ps(dir.y),    _mm_set1_ps(dir.z)};
}

void Bvh::build(std::span<const TriangleCorners> triangles) {
    nodes_.clear();
    packets_.clear();
    triangle_count_ = triangles.size();
    root_count_ = 0;
    if (triangles.empty()) return;
    std::vector<Ref> refs(triangles.size());
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        Ref& r = refs[i];
        for (const Vec3& p : triangles[i]) r.box.grow(p);
        r.centroid = (r.box.min + r.box.max) * 0.5f;
        r.index = static_cast<std::uint32_t>(i);
    }
    packets_.reserve(triangles.size() / 3 + 1);
    std::vector<BinaryNode> binary;
    binary.reserve(triangles.size() / 2 + 1);
    binary.push_back({});
    std::vector<Task> tasks{{0, 0, static_cast<std::uint32_t>(refs.size()), 0}};
    while (!tasks.empty()) {
        const Task task = tasks.back();
        tasks.pop_back();
        Box bounds, centroids;
        for (std::uint32_t i = task.begin; i < task.end; ++i) {
            bounds.grow(refs[i].box);
            centroids.grow(refs[i].centroid);
        }
        binary[task.node].box = {bounds.min, bounds.max};
        const std::uint32_t n = task.end - task.begin;

        auto make_leaf = [&] {
            BinaryNode& leaf = binary[task.node];
            leaf.first = static_cast<std::uint32_t>(packets_.size());
            leaf.count = (n + 3) / 4;
            for (std::uint32_t i = task.begin; i < task.end; i += 4) {
                TrianglePacket p{};
                for (std::uint32_t k = 0; k < 4; ++k) {
                    p.index[k] = kNoHit;
                    if (i + k >= task.end) continue;
                    const TriangleCorners& c = triangles[refs[i + k].index];
                    const Vec3 e1 = c[1] - c[0], e2 = c[2] - c[0];
                    p.v0x[k] = c[0].x, p.v0y[k] = c[0].y, p.v0z[k] = c[0].z;
                    p.e1x[k] = e1.x, p.e1y[k] = e1.y, p.e1z[k] = e1.z;
                    p.e2x[k] = e2.x, p.e2y[k] = e2.y, p.e2z[k] = e2.z;
                    p.index[k] = refs[i + k].index;
                }
                packets_.push_back(p);
            }
        };
        if (n <= 4 || task.depth >= kMaxDepth) {
            make_leaf();
            continue;
        }
        const Split split = best_split(refs, task.begin, task.end, centroids, bounds.half_area());
        std::uint32_t mid = task.begin;
        if (split.axis >= 0) {
            if (n <= kMaxLeafSize && split.cost >= packets_for(n)) {
                make_leaf();
                continue;
            }
            const float lo = axis_of(centroids.min, split.axis);
            const float scale = kBins / (axis_of(centroids.max, split.axis) - lo);
            auto goes_left = [&](const Ref& r) {
                return std::min(kBins - 1, static_cast<int>((axis_of(r.centroid, split.axis) - lo) *
                                                            scale)) < split.bin;
            };
            mid = static_cast<std::uint32_t>(
                std::partition(refs.begin() + task.begin, refs.begin() + task.end, goes_left) -
                refs.begin());
        }
        if (mid == task.begin || mid == task.end) {
            // All centroids coincide: nothing separates them spatially.
            if (n <= kMaxLeafSize) {
                make_leaf();
                continue;
            }
            mid = task.begin + n / 2;
        }
        const auto left = static_cast<std::uint32_t>(binary.size());
        binary[task.node].first = left;
        binary[task.node].count = 0;
        binary.push_back({});
        binary.push_back({});
        tasks.push_back({left + 1, mid, task.end, task.depth + 1});
        tasks.push_back({left, task.begin, mid, task.depth + 1});
    }
    if (binary[0].count != 0) {
        root_count_ = binary[0].count;  // one leaf: no node at all
        return;
    }
    collapse(binary);
}

// Each four-wide node takes a binary node's children and, while it has room, opens the
// largest interior one among them into its two children: big boxes are the ones most
// worth testing together.
void Bvh::collapse(const std::vector<BinaryNode>& binary) {
    nodes_.reserve(binary.size() / 3 + 1);
    nodes_.push_back({});
    struct Job {
        std::uint32_t binary_node, node4;
    };
    std::vector<Job> jobs{{0, 0}};
    while (!jobs.empty()) {
        const Job job = jobs.back();
        jobs.pop_back();
        std::uint32_t slots[4] = {binary[job.binary_node].first, binary[job.binary_node].first + 1,
                                  0, 0};
        int used = 2;
        while (used < 4) {
            int widest = -1;
            float widest_area = -1.0f;
            for (int i = 0; i < used; ++i) {
                const BinaryNode& b = binary[slots[i]];
                if (b.count == 0 && b.box.half_area() > widest_area) {
                    widest = i;
                    widest_area = b.box.half_area();
                }
            }
            if (widest < 0) break;
            const std::uint32_t opened = slots[widest];
            slots[widest] = binary[opened].first;
            slots[used++] = binary[opened].first + 1;
        }
        Node4 node{};
        for (int i = 0; i < 4; ++i) {
            const bool live = i < used;
            const BinaryNode* b = live ? &binary[slots[i]] : nullptr;
            node.min_x[i] = live ? b->box.min.x : 0.0f;
            node.min_y[i] = live ? b->box.min.y : 0.0f;
            node.min_z[i] = live ? b->box.min.z : 0.0f;
            node.max_x[i] = live ? b->box.max.x : 0.0f;
            node.max_y[i] = live ? b->box.max.y : 0.0f;
            node.max_z[i] = live ? b->box.max.z : 0.0f;
            node.count[i] = live ? b->count : 0;
            if (!live) {
                node.child[i] = kNoChild;
            } else if (b->count != 0) {
                node.child[i] = b->first;
            } else {
                node.child[i] = static_cast<std::uint32_t>(nodes_.size());
                nodes_.push_back({});
                jobs.push_back({slots[i], node.child[i]});
            }
        }
        nodes_[job.node4] = node;
    }
}

std::size_t Bvh::all_hits(const Vec3& origin, const Vec3& dir, float t_min, float t_max,
                          std::span<RayHit> out) const {
    if (out.empty() || triangle_count_ == 0) return 0;
    auto before = [](const RayHit& a, const RayHit& b) {
        return a.t < b.t || (a.t == b.t && a.triangle < b.triangle);
    };
    // Keeps the out.size() nearest in a heap whose top is the farthest kept; once full, the
    // search range shrinks to that hit.
    std::size_t stored = 0;
    const RayPrep ray = prepare(origin, dir);
    walk(ray, t_min, t_max, [&](std::uint32_t first, std::uint32_t count, float limit) {
        LaneHits lanes;
        for (std::uint32_t i = first, end = first + count; i < end; ++i) {
            intersect(packets_[i], ray, t_min, limit, lanes);
            for (int k = 0; k < 4; ++k) {
                if ((lanes.mask >> k & 1) == 0 || !(lanes.t[k] < limit)) continue;
                const RayHit hit{packets_[i].index[k], lanes.t[k], lanes.u[k], lanes.v[k]};
                if (stored < out.size()) {
                    out[stored++] = hit;
                    std::push_heap(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(stored),
                                   before);
                } else if (before(hit, out[0])) {
                    std::pop_heap(out.begin(), out.end(), before);
                    out[stored - 1] = hit;
                    std::push_heap(out.begin(), out.end(), before);
                }
                if (stored == out.size()) limit = std::nextafter(out[0].t, kMissDistance);
            }
        }
        return limit;
    });
    std::sort_heap(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(stored), before);
    return stored;
}

}  // namespace korvan
