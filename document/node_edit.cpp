#include <cmath>
#include <utility>

#include "core/tolerances.h"
#include "document/document.h"
#include "document/mesh_copy.h"
#include "document/transform.h"
#include "document/tree_walk.h"

namespace korvan {
namespace {

// A scale column shorter than this has lost its direction.
constexpr double kCollapsedAxisSq = 1e-12;

bool positive_finite(float v) { return std::isfinite(v) && v > 0.0f; }

// Unit normal, or none when it has no direction.
std::optional<Vec3> unit_direction(const Vec3& v) {
    const double sq = static_cast<double>(v.x) * v.x + static_cast<double>(v.y) * v.y +
                      static_cast<double>(v.z) * v.z;
    if (!std::isfinite(sq) || sq < kDegenerateDirectionSq) return std::nullopt;
    const double len = std::sqrt(sq);
    return Vec3{static_cast<float>(v.x / len), static_cast<float>(v.y / len),
                static_cast<float>(v.z / len)};
}

}  // namespace

bool Document::set_node_visible(SceneNode* node, bool visible) {
    if (!contains(node)) return false;
    node->visible = visible;
    return true;
}

bool Document::rename_node(SceneNode* node, std::string name) {
    if (!contains(node)) return false;
    node->name = std::move(name);
    return true;
}

bool Document::set_node_tag(SceneNode* node, std::int32_t tag) {
    if (!contains(node)) return false;
    if (tag < -1 || (tag >= 0 && static_cast<std::size_t>(tag) >= tags_.size())) return false;
    node->tag = tag;
    return true;
}

bool Document::set_node_material(SceneNode* node, std::int32_t material) {
    if (!contains(node) || material < -1) return false;
    node->material = material;
    return true;
}

bool Document::set_node_transform(SceneNode* node, const Mat4& transform) {
    if (node == root_.get() || !contains(node)) return false;
    node->transform = transform;
    return true;
}

bool Document::translate_node(SceneNode* node, const Vec3& delta) {
    if (node == root_.get() || !contains(node)) return false;
    node->transform.m[12] += delta.x;
    node->transform.m[13] += delta.y;
    node->transform.m[14] += delta.z;
    return true;
}

bool Document::set_node_translation(SceneNode* node, const Vec3& position) {
    if (node == root_.get() || !contains(node)) return false;
    node->transform.m[12] = position.x;
    node->transform.m[13] = position.y;
    node->transform.m[14] = position.z;
    return true;
}

bool Document::scale_node(SceneNode* node, float factor) {
    if (!positive_finite(factor) || node == root_.get() || !contains(node)) return false;
    node->transform = compose(node->transform, uniform_scale(factor));
    return true;
}

bool Document::set_node_scale(SceneNode* node, float factor) {
    if (!positive_finite(factor) || node == root_.get() || !contains(node)) return false;
    Mat4 t = node->transform;
    for (int col = 0; col < 3; ++col) {
        float* axis = &t.m[col * 4];
        const double sq = static_cast<double>(axis[0]) * axis[0] +
                          static_cast<double>(axis[1]) * axis[1] +
                          static_cast<double>(axis[2]) * axis[2];
        if (!std::isfinite(sq) || sq < kCollapsedAxisSq) return false;
        const double k = factor / std::sqrt(sq);
        for (int row = 0; row < 3; ++row) axis[row] = static_cast<float>(axis[row] * k);
    }
    node->transform = t;
    return true;
}

bool Document::rotate_node(SceneNode* node, float rx_deg, float ry_deg, float rz_deg) {
    if (node == root_.get() || !contains(node)) return false;
    const Mat4 r = compose(rotation_x(rx_deg * kDegToRad),
                           compose(rotation_y(ry_deg * kDegToRad), rotation_z(rz_deg * kDegToRad)));
    node->transform = compose(node->transform, r);
    return true;
}

namespace {

MirrorResult reverse_subtree(SceneNode& node) {
    MirrorResult result;
    result.ok = true;
    walk_nodes(node, [&](SceneNode& n, std::size_t) {
        result.faces_reversed += reverse_all_windings(n.mesh);
        return true;
    });
    result.flipped = result.faces_reversed > 0;
    return result;
}

}  // namespace

MirrorResult Document::mirror_node(SceneNode* node, const Vec3& normal) {
    const std::optional<Vec3> n = unit_direction(normal);
    if (!n || node == root_.get() || !contains(node)) return {};
    node->transform = compose(node->transform, reflection(Vec3{}, *n));
    return reverse_subtree(*node);
}

MirrorResult Document::mirror_node_about_plane(SceneNode* node, const Vec3& point,
                                               const Vec3& normal) {
    const std::optional<Vec3> n = unit_direction(normal);
    if (!n || node == root_.get() || !contains(node)) return {};
    node->transform = compose(reflection(point, *n), node->transform);
    return reverse_subtree(*node);
}

}  // namespace korvan
