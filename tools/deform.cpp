#include "tools/deform.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/box.h"
#include "core/mesh.h"

// Global deformations after Barr (1984): each point is expressed in the frame (t along the
// axis, h along up, w along the side), mapped by the kind's formula with the amount growing
// linearly along t from 0 at the origin to the full amount at the extent, and expressed back
// in world coordinates. Everything is single precision, sine and cosine included, so the
// same input moves to the same bits on every run.

namespace korvan {
namespace {

constexpr float kMinSide = 1e-6f;
constexpr float kMinExtent = 1e-9f;
constexpr float kMinAmount = 1e-7f;
constexpr float kMinRadius = 1e-9f;
constexpr double kMovedSq = 1e-18;  // (1e-9 m)^2

bool radial(DeformKind kind) {
    return kind == DeformKind::kRadialTwist || kind == DeformKind::kRadialBend;
}

Vec3 world_axis(int i) {
    return i == 0 ? Vec3{1, 0, 0} : i == 1 ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
}

float component(const Vec3& v, int i) { return i == 0 ? v.x : i == 1 ? v.y : v.z; }

std::vector<FaceId> selection(const Mesh& mesh, std::span<const FaceId> faces) {
    if (faces.empty()) return mesh.alive_faces();
    std::vector<FaceId> out;
    for (const FaceId f : faces) {
        if (mesh.face_usable(f)) out.push_back(f);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

// The distinct usable vertices of the faces, ascending.
std::vector<VertexId> selection_vertices(const Mesh& mesh, std::span<const FaceId> faces) {
    std::vector<VertexId> out;
    for (const FaceId f : faces) {
        for (const VertexId v : mesh.face_vertices(f)) {
            if (mesh.vertex_usable(v)) out.push_back(v);
        }
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace

const char* deform_kind_name(DeformKind kind) {
    switch (kind) {
        case DeformKind::kBend: return "Bend";
        case DeformKind::kTaper: return "Taper";
        case DeformKind::kTwist: return "Twist";
        case DeformKind::kShear: return "Shear";
        case DeformKind::kRadialTwist: return "Radial Twist";
        case DeformKind::kRadialBend: return "Radial Bend";
    }
    return "Deform";
}

std::optional<DeformFrameRequest> fit_deform_frame(const Mesh& mesh, std::span<const FaceId> faces,
                                                   DeformKind kind) {
    const std::vector<FaceId> chosen = selection(mesh, faces);
    Aabb box;
    const auto verts = mesh.vertices();
    for (const VertexId v : selection_vertices(mesh, chosen)) box.expand(verts[v].position);
    if (box.empty()) return std::nullopt;
    const Vec3 size = box.max - box.min;
    const float sides[3] = {size.x, size.y, size.z};
    if (sides[0] <= kMinSide && sides[1] <= kMinSide && sides[2] <= kMinSide) return std::nullopt;

    int axis = 0;
    for (int i = 1; i < 3; ++i) {
        if (sides[i] > sides[axis]) axis = i;
    }
    const int a = (axis + 1) % 3, b = (axis + 2) % 3;
    const int lo = std::min(a, b), hi = std::max(a, b);
    const int up = sides[hi] > sides[lo] ? hi : lo;

    DeformFrameRequest req;
    req.axis = world_axis(axis);
    req.up = world_axis(up);
    req.extent = sides[axis];
    req.origin = box.center();
    if (radial(kind)) {
        const float second = sides[up];
        const float half = 0.5f * (second > 0.0f ? second : sides[axis]);
        if (half > kMinSide) req.extent = half;
    } else {
        const float low = component(box.min, axis);
        if (axis == 0) req.origin.x = low;
        else if (axis == 1) req.origin.y = low;
        else req.origin.z = low;
    }
    if (!(req.extent > kMinSide)) return std::nullopt;
    return req;
}

DeformFrame build_deform_frame(const DeformFrameRequest& request) {
    DeformFrame f;
    f.origin = request.origin;
    f.extent = request.extent;
    if (!std::isfinite(request.extent) || !(request.extent > kMinExtent)) return f;
    f.axis = normalize(request.axis);
    if (!(length_squared(f.axis) >= 0.5f)) return f;
    Vec3 up = request.up - f.axis * dot(request.up, f.axis);
    if (!(length_squared(up) >= 1e-12f)) {
        const Vec3 fallback = std::fabs(f.axis.z) < 0.9f ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
        up = fallback - f.axis * dot(fallback, f.axis);
        if (!(length_squared(up) >= 1e-12f)) return f;
    }
    f.up = normalize(up);
    f.side = cross(f.axis, f.up);
    f.valid = true;
    return f;
}

Vec3 deform_point(const DeformFrame& frame, DeformKind kind, float amount, bool clamp,
                  const Vec3& p) {
    if (!frame.valid || !std::isfinite(amount) || std::fabs(amount) < kMinAmount) return p;
    const Vec3 d = p - frame.origin;
    float t = dot(d, frame.axis), h = dot(d, frame.up), w = dot(d, frame.side);
    Vec3 A = frame.axis, U = frame.up, S = frame.side;
    float drive = t;
    if (radial(kind)) {
        const float r = std::sqrt(h * h + w * w);
        if (kind == DeformKind::kRadialTwist) {
            drive = r;
        } else {
            if (r < kMinRadius) return p;
            A = (h * frame.up + w * frame.side) * (1.0f / r);
            U = frame.axis;
            S = cross(A, frame.axis);
            h = t;
            t = r;
            w = 0.0f;
            drive = t;
        }
    }
    const float L = frame.extent;
    const float tc = clamp ? std::min(std::max(drive, 0.0f), L) : drive;
    const float e = drive - tc;
    const float frac = tc / L;
    float t2 = t, h2 = h, w2 = w;
    switch (kind) {
        case DeformKind::kBend:
        case DeformKind::kRadialBend: {
            const float theta = amount * frac, R = L / amount;
            const float c = std::cos(theta), s = std::sin(theta);
            t2 = R * s + e * c - h * s;
            h2 = R * (1.0f - c) + e * s + h * c;
            break;
        }
        case DeformKind::kTaper: {
            const float g = 1.0f + amount * frac;
            h2 = g * h;
            w2 = g * w;
            break;
        }
        case DeformKind::kTwist:
        case DeformKind::kRadialTwist: {
            const float phi = amount * frac;
            const float c = std::cos(phi), s = std::sin(phi);
            h2 = h * c - w * s;
            w2 = w * c + h * s;
            break;
        }
        case DeformKind::kShear: h2 = h + amount * frac; break;
    }
    return frame.origin + t2 * A + h2 * U + w2 * S;
}

std::uint64_t deform_faces(Mesh& mesh, std::span<const FaceId> faces, const DeformParams& params) {
    const std::vector<FaceId> chosen = selection(mesh, faces);
    const DeformFrame frame = build_deform_frame(params.frame);
    if (chosen.empty() || !frame.valid || !std::isfinite(params.amount) ||
        std::fabs(params.amount) < kMinAmount) {
        return 0;
    }
    std::vector<VertexId> moved;
    for (const VertexId v : selection_vertices(mesh, chosen)) {
        const Vec3 p = mesh.vertices()[v].position;
        const Vec3 q = deform_point(frame, params.kind, params.amount, params.clamp, p);
        const double dx = double(q.x) - p.x, dy = double(q.y) - p.y, dz = double(q.z) - p.z;
        if (dx * dx + dy * dy + dz * dz <= kMovedSq) continue;
        mesh.vertex_mut(v).position = q;
        moved.push_back(v);
    }
    if (!moved.empty()) {
        for (const FaceId f : mesh.faces_using_vertices(moved)) mesh.recompute_face_normal(f);
    }
    return moved.size();
}

}  // namespace korvan
