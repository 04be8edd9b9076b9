// Primitive creators. Every vertex is new and nothing is welded to what is already there, so
// a creator never changes an existing face; the caller links or welds when it wants to.

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "core/mesh.h"

namespace korvan {
namespace {

constexpr float kFullTurnSlack = 1e-4f;             // a sweep this close to a full turn is one
constexpr float kVerticalSideSq = 1e-12f * 1e-12f;  // no horizontal perpendicular below this
constexpr float kMinRibbonSideSq = 1e-8f * 1e-8f;
constexpr float kMinSegmentSq = 1e-4f * 1e-4f;  // shorter ribbons have no direction
constexpr int kMinArcSegments = 2;

std::int32_t as_result(std::optional<FaceId> face) {
    return face ? static_cast<std::int32_t>(*face) : -1;
}

}  // namespace

std::int32_t Mesh::create_rectangle(const Vec3& at, float width, float depth, float z) {
    if (!(width > kMinCreationSize) || !(depth > kMinCreationSize)) return -1;
    const VertexId a = add_vertex({at.x, at.y, z});
    const VertexId b = add_vertex({at.x + width, at.y, z});
    const VertexId c = add_vertex({at.x + width, at.y + depth, z});
    const VertexId d = add_vertex({at.x, at.y + depth, z});
    return as_result(add_quad(a, b, c, d));
}

std::int32_t Mesh::create_circle_xy(const Vec3& at, float radius, int segments) {
    if (!(radius > kMinCreationSize)) return -1;
    const int n = std::max(3, segments);
    std::vector<VertexId> ring;
    ring.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const float angle = static_cast<float>(i) / static_cast<float>(n) * kFullTurn;
        ring.push_back(
            add_vertex({at.x + radius * std::cos(angle), at.y + radius * std::sin(angle), at.z}));
    }
    return as_result(add_ngon(ring));
}

std::int32_t Mesh::create_arc_xy(const Vec3& at, const Vec3& a, float sweep_rad, int segments,
                                 bool exact_segments) {
    const float dx = a.x - at.x, dy = a.y - at.y;
    const float radius = std::sqrt(dx * dx + dy * dy);
    if (!(radius > kMinCreationSize) || !(std::fabs(sweep_rad) > kMinCreationSize)) return -1;
    const float sweep = std::clamp(sweep_rad, -kFullTurn, kFullTurn);
    const float start = std::atan2(dy, dx);
    int n = exact_segments ? segments
                           : static_cast<int>(std::ceil(std::fabs(sweep) / kFullTurn *
                                                        static_cast<float>(std::max(3, segments))));
    n = std::max(kMinArcSegments, n);
    auto rim = [&](int k) {
        const float angle = start + static_cast<float>(k) / static_cast<float>(n) * sweep;
        return Vec3{at.x + radius * std::cos(angle), at.y + radius * std::sin(angle), at.z};
    };
    std::vector<VertexId> ring;
    if (std::fabs(std::fabs(sweep) - kFullTurn) <= kFullTurnSlack) {
        for (int k = 0; k < n; ++k) ring.push_back(add_vertex(rim(k)));
    } else {
        ring.push_back(add_vertex(at));
        for (int k = 0; k <= n; ++k) ring.push_back(add_vertex(rim(k)));
    }
    return as_result(add_ngon(ring));
}

std::int32_t Mesh::create_line_ribbon(const Vec3& a, const Vec3& b, float width) {
    const Vec3 along = b - a;
    if (!(width > kMinCreationSize) || !(length_squared(along) > kMinSegmentSq)) return -1;
    const Vec3 dir = normalize(along);
    Vec3 side = cross(dir, Vec3{0, 0, 1});
    // A vertical segment has no horizontal perpendicular; take one across X instead.
    if (length_squared(side) < kVerticalSideSq) {
        side = cross(dir, Vec3{1, 0, 0});
    }
    if (length_squared(side) < kMinRibbonSideSq) return -1;
    side = normalize(side) * (width * 0.5f);
    const VertexId p = add_vertex(a + side);
    const VertexId q = add_vertex(b + side);
    const VertexId r = add_vertex(b - side);
    const VertexId s = add_vertex(a - side);
    return as_result(add_quad(p, q, r, s));
}

}  // namespace korvan
