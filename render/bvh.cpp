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
constexpr std::uint32_t kMaxLeafSize = 8;
// Beyond this depth a node becomes a leaf whatever it holds, which bounds the traversal
// stack (degenerate inputs such as thousands of coincident triangles get here).
constexpr int kMaxDepth = 56;
// Cost of visiting a node relative to one triangle test.
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
            const int b = std::min(kBins - 1, static_cast<int>((axis_of(refs[i].centroid, axis) - lo) * scale));
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
            const float cost =
                kTraversalCost + (left.half_area() * static_cast<float>(left_count) +
                                  right_area[b] * static_cast<float>(right_count[b])) /
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
    return {origin, dir, {safe_inverse(dir.x), safe_inverse(dir.y), safe_inverse(dir.z)}};
}

void Bvh::build(std::span<const TriangleCorners> triangles) {
    nodes_.clear();
    tris_.clear();
    if (triangles.empty()) return;
    std::vector<Ref> refs(triangles.size());
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        Ref& r = refs[i];
        for (const Vec3& p : triangles[i]) r.box.grow(p);
        r.centroid = (r.box.min + r.box.max) * 0.5f;
        r.index = static_cast<std::uint32_t>(i);
    }
    nodes_.reserve(triangles.size() / 2 + 1);
    nodes_.push_back({});
    std::vector<Task> tasks{{0, 0, static_cast<std::uint32_t>(refs.size()), 0}};
    std::vector<Ref> scratch;
    while (!tasks.empty()) {
        const Task task = tasks.back();
        tasks.pop_back();
        Box bounds, centroids;
        for (std::uint32_t i = task.begin; i < task.end; ++i) {
            bounds.grow(refs[i].box);
            centroids.grow(refs[i].centroid);
        }
        Node& node = nodes_[task.node];
        node.min[0] = bounds.min.x, node.min[1] = bounds.min.y, node.min[2] = bounds.min.z;
        node.max[0] = bounds.max.x, node.max[1] = bounds.max.y, node.max[2] = bounds.max.z;
        const std::uint32_t n = task.end - task.begin;

        auto make_leaf = [&] {
            Node& leaf = nodes_[task.node];
            leaf.first = static_cast<std::uint32_t>(tris_.size());
            leaf.count = n;
            for (std::uint32_t i = task.begin; i < task.end; ++i) {
                const TriangleCorners& c = triangles[refs[i].index];
                tris_.push_back({c[0], c[1] - c[0], c[2] - c[0], refs[i].index});
            }
        };
        if (n <= 2 || task.depth >= kMaxDepth) {
            make_leaf();
            continue;
        }
        const Split split = best_split(refs, task.begin, task.end, centroids, bounds.half_area());
        std::uint32_t mid = task.begin;
        if (split.axis >= 0) {
            if (n <= kMaxLeafSize && split.cost >= static_cast<float>(n)) {
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
        const auto left = static_cast<std::uint32_t>(nodes_.size());
        nodes_[task.node].first = left;
        nodes_[task.node].count = 0;
        nodes_.push_back({});
        nodes_.push_back({});
        // The right child is pushed first so the left subtree is laid out next to its parent.
        tasks.push_back({left + 1, mid, task.end, task.depth + 1});
        tasks.push_back({left, task.begin, mid, task.depth + 1});
    }
}

std::size_t Bvh::all_hits(const Vec3& origin, const Vec3& dir, float t_min, float t_max,
                          std::span<RayHit> out) const {
    if (out.empty()) return 0;
    std::size_t stored = 0;
    // Keeps the `out.size()` nearest: once full, only hits nearer than the farthest kept
    // one are taken, and the search range shrinks to it.
    float limit = t_max;
    const RayPrep ray = prepare(origin, dir);
    std::uint32_t stack[kStackSize];
    int top = 0;
    stack[top++] = 0;
    while (top > 0) {
        const Node& node = nodes_[stack[--top]];
        if (enter_box(node, ray, t_min, limit) == kMissDistance) continue;
        if (node.count == 0) {
            if (top + 2 <= kStackSize) {
                stack[top++] = node.first + 1;
                stack[top++] = node.first;
            }
            continue;
        }
        for (std::uint32_t i = node.first, end = node.first + node.count; i < end; ++i) {
            float t, u, v;
            if (!intersect(tris_[i], ray, t_min, limit, t, u, v)) continue;
            const RayHit hit{tris_[i].index, t, u, v};
            auto before = [](const RayHit& a, const RayHit& b) {
                return a.t < b.t || (a.t == b.t && a.triangle < b.triangle);
            };
            if (stored < out.size()) {
                out[stored++] = hit;
                std::push_heap(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(stored), before);
            } else if (before(hit, out[0])) {
                std::pop_heap(out.begin(), out.end(), before);
                out[stored - 1] = hit;
                std::push_heap(out.begin(), out.end(), before);
            }
            if (stored == out.size()) limit = std::nextafter(out[0].t, 3.0e38f);
        }
    }
    std::sort_heap(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(stored),
                   [](const RayHit& a, const RayHit& b) {
                       return a.t < b.t || (a.t == b.t && a.triangle < b.triangle);
                   });
    return stored;
}

}  // namespace korvan
