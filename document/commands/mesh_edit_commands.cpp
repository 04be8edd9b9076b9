#include "document/commands/mesh_edit_commands.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "core/tolerances.h"
#include "document/mesh_copy.h"
#include "document/transform.h"
#include "document/tree_walk.h"

namespace korvan {
namespace {

// The listed faces that are alive, each once, in ascending order.
std::vector<FaceId> distinct_alive(const Mesh& mesh, std::span<const FaceId> faces) {
    std::vector<FaceId> out;
    out.reserve(faces.size());
    for (const FaceId f : faces) {
        if (mesh.face_usable(f)) out.push_back(f);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

bool same_transform(const Mat4& a, const Mat4& b) { return a.m == b.m; }

// The transform with linear part L (row r, column c at l[r][c]) and translation t.
Mat4 affine(const double l[3][3], const Vec3& t) {
    Mat4 m;
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) m.m[c * 4 + r] = static_cast<float>(l[r][c]);
    }
    m.m[12] = t.x, m.m[13] = t.y, m.m[14] = t.z;
    return m;
}

}  // namespace

// ---- MeshSnapshotCommand ---------------------------------------------------------------

void MeshSnapshotCommand::redo() {
    Mesh* mesh = target_.resolve(doc_);
    if (mesh == nullptr) return;
    if (applied_once_) {
        if (changed_) assign_mesh_marking_changes(*mesh, after_);
        return;
    }
    applied_once_ = true;
    before_ = *mesh;
    apply(*mesh);
    changed_ = !same_mesh_content(before_, *mesh);
    if (changed_) {
        after_ = *mesh;
    } else {
        before_ = Mesh{};  // nothing to give back; keep no copy alive
    }
}

void MeshSnapshotCommand::undo() {
    Mesh* mesh = target_.resolve(doc_);
    if (mesh != nullptr && changed_) assign_mesh_marking_changes(*mesh, before_);
}

// ---- Mesh edits --------------------------------------------------------------------------

void EraseFacesCommand::apply(Mesh& mesh) {
    erased_ = 0;
    for (const FaceId f : faces_) erased_ += mesh.erase_face(f) ? 1 : 0;
}

void ArrayCommand::apply(Mesh& mesh) {
    if (count_ < 1) {
        refusal_ = "--count must be a positive integer (K>=1)";
        return;
    }
    if (!mesh.face_usable(face_)) {
        refusal_ = "the face is invalid or dead";
        return;
    }
    Mesh one;
    const FaceId source[] = {face_};
    mesh.duplicate_faces(source, one);
    first_copy_ = static_cast<FaceId>(mesh.faces().size());
    for (std::int32_t i = 1; i <= count_; ++i) {
        copies_ += mesh.merge_mesh(one, Mat4::translation(step_ * static_cast<float>(i)));
    }
}

void StitchNakedEdgesCommand::apply(Mesh& mesh) { stitched_ = mesh.stitch_naked_edges(tolerance_); }

void MergeMeshCommand::apply(Mesh& mesh) { merged_ = mesh.merge_mesh(source_, transform_); }

void UnhideAllCommand::apply(Mesh& mesh) {
    unhidden_ = 0;
    for (const FaceId f : mesh.soft_hidden_faces()) unhidden_ += mesh.show_face(f) ? 1 : 0;
}

// ---- NodeEditRecord ----------------------------------------------------------------------

void NodeEditRecord::begin(SceneNode* mesh_owner, const std::vector<SceneNode*>& edited_nodes) {
    mesh_owner_ = mesh_owner;
    before_ = mesh_owner->mesh;
    for (SceneNode* top : edited_nodes) {
        walk_nodes(*top, [&](SceneNode& n, std::size_t) {
            NodeState s;
            s.node = &n;
            s.before_transform = n.transform;
            s.before_mesh = n.mesh;
            nodes_.push_back(std::move(s));
            return true;
        });
    }
}

bool NodeEditRecord::finish() {
    after_ = mesh_owner_->mesh;
    bool changed = !created_.empty() || !same_mesh_content(before_, after_);
    for (NodeState& s : nodes_) {
        s.after_transform = s.node->transform;
        s.after_mesh = s.node->mesh;
        changed = changed || !same_transform(s.before_transform, s.after_transform) ||
                  !same_mesh_content(s.before_mesh, s.after_mesh);
    }
    return changed;
}

void NodeEditRecord::undo(Document& doc) {
    // Last-created first, so each node goes back to the index it was appended at.
    for (std::size_t i = created_.size(); i-- > 0;)
        detached_.push_back(doc.delete_node(created_[i]));
    for (std::size_t i = nodes_.size(); i-- > 0;) {
        NodeState& s = nodes_[i];
        s.node->transform = s.before_transform;
        assign_mesh_marking_changes(s.node->mesh, s.before_mesh);
    }
    assign_mesh_marking_changes(mesh_owner_->mesh, before_);
}

void NodeEditRecord::redo(Document& doc) {
    assign_mesh_marking_changes(mesh_owner_->mesh, after_);
    for (NodeState& s : nodes_) {
        s.node->transform = s.after_transform;
        assign_mesh_marking_changes(s.node->mesh, s.after_mesh);
    }
    for (std::size_t i = detached_.size(); i-- > 0;) {
        DetachedNode& d = detached_[i];
        if (d.ok()) doc.insert_node(d.parent, d.index, std::move(d.node));
    }
    detached_.clear();
}

// ---- MakeGroupFromFacesCommand -----------------------------------------------------------

void MakeGroupFromFacesCommand::redo() {
    if (applied_once_) {
        if (changed_) record_.redo(doc_);
        return;
    }
    applied_once_ = true;
    if (parent_ == nullptr || !parent_->is_group() || !doc_.contains(parent_)) return;
    const std::vector<FaceId> faces = distinct_alive(parent_->mesh, faces_);
    if (faces.empty()) return;
    record_.begin(parent_, {});
    Mesh moved;
    moved_ = parent_->mesh.duplicate_faces(faces, moved);
    // The copies share their corners but not their sides until linked.
    moved.link_shared_edges();
    for (const FaceId f : faces) parent_->mesh.erase_face(f);
    group_ = doc_.create_group(parent_, group_name_, std::move(moved));
    record_.created(group_);
    changed_ = record_.finish();
}

void MakeGroupFromFacesCommand::undo() {
    if (changed_) record_.undo(doc_);
}

// ---- MirrorSelectionCommand --------------------------------------------------------------

std::optional<Mat4> mirror_transform(MirrorKind kind, const Vec3& p1, const Vec3& p2,
                                     const Vec3& p3) {
    switch (kind) {
        case MirrorKind::kPoint: {
            const double l[3][3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
            return affine(l, p1 * 2.0f);
        }
        case MirrorKind::kLine: {
            const Vec3 d = p2 - p1;
            const double len2 = static_cast<double>(d.x) * d.x + static_cast<double>(d.y) * d.y +
                                static_cast<double>(d.z) * d.z;
            if (!(len2 > kDegenerateDirectionSq)) return std::nullopt;
            const double len = std::sqrt(len2);
            const double u[3] = {d.x / len, d.y / len, d.z / len};
            // A half turn about the line: the along-line part stays, the rest flips.
            double l[3][3];
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c) l[r][c] = 2.0 * u[r] * u[c] - (r == c ? 1.0 : 0.0);
            }
            const Vec3 lp{static_cast<float>(l[0][0] * p1.x + l[0][1] * p1.y + l[0][2] * p1.z),
                          static_cast<float>(l[1][0] * p1.x + l[1][1] * p1.y + l[1][2] * p1.z),
                          static_cast<float>(l[2][0] * p1.x + l[2][1] * p1.y + l[2][2] * p1.z)};
            return affine(l, p1 - lp);
        }
        case MirrorKind::kPlane: {
            const Vec3 n = cross(p2 - p1, p3 - p1);
            if (!(static_cast<double>(length_squared(n)) > kDegenerateNormalSq))
                return std::nullopt;
            return reflection(p1, normalize(n));
        }
    }
    return std::nullopt;
}

std::string MirrorSelectionCommand::name() const {
    switch (kind_) {
        case MirrorKind::kPoint:
            return "Mirror at Point";
        case MirrorKind::kLine:
            return "Mirror at Line";
        case MirrorKind::kPlane:
            break;
    }
    return "Mirror at Plane";
}

void MirrorSelectionCommand::redo() {
    if (applied_once_) {
        if (changed_) record_.redo(doc_);
        return;
    }
    applied_once_ = true;
    apply();
}

void MirrorSelectionCommand::undo() {
    if (changed_) record_.undo(doc_);
}

void MirrorSelectionCommand::apply() {
    const std::optional<Mat4> world = mirror_transform(kind_, p1_, p2_, p3_);
    if (!world) {
        refusal_ = "the mirror is degenerate (coincident points, or plane points on one line)";
        return;
    }
    // Every node is checked, and its parent's inverse found, before anything moves, so a
    // refusal leaves the whole selection as it was.
    std::vector<SceneNode*> nodes;
    std::vector<Mat4> locals;
    for (SceneNode* n : nodes_) {
        if (std::find(nodes.begin(), nodes.end(), n) != nodes.end()) continue;
        if (n == nullptr || n == &doc_.root() || !doc_.contains(n)) {
            refusal_ = "the root and nodes outside the model cannot be mirrored";
            return;
        }
        nodes.push_back(n);
    }
    for (SceneNode* n : nodes) {
        for (SceneNode* up = doc_.parent_of(n); up != nullptr; up = doc_.parent_of(up)) {
            if (std::find(nodes.begin(), nodes.end(), up) != nodes.end()) {
                refusal_ = "a listed node lies inside another listed node";
                return;
            }
        }
        const std::optional<Mat4> parent = doc_.world_transform(doc_.parent_of(n));
        const std::optional<Mat4> inverse = parent ? affine_inverse(*parent) : std::nullopt;
        if (!inverse) {
            refusal_ = "a listed node sits under a transform that cannot be inverted";
            return;
        }
        // The mirror in the parent's space, where the node's own transform lives.
        locals.push_back(compose(*inverse, compose(*world, *parent)));
    }
    Mesh& root = doc_.root().mesh;
    const std::vector<FaceId> faces = distinct_alive(root, faces_);
    if (nodes.empty() && faces.empty()) {
        refusal_ = "nothing to mirror (no node and no alive listed face)";
        return;
    }

    const bool flips = linear_determinant(*world) < 0.0;
    record_.begin(&doc_.root(), erase_ ? nodes : std::vector<SceneNode*>{});
    if (!faces.empty()) {
        if (kind_ == MirrorKind::kPlane) {
            faces_made_ = root.mirror_faces(faces, p1_, cross(p2_ - p1_, p3_ - p1_));
        } else {
            Mesh copies;
            root.duplicate_faces(faces, copies);
            if (flips) reverse_all_windings(copies);
            faces_made_ = root.merge_mesh(copies, *world);
        }
        if (erase_) {
            for (const FaceId f : faces) faces_erased_ += root.erase_face(f) ? 1 : 0;
        }
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        SceneNode* target = erase_ ? nodes[i] : doc_.duplicate_node(nodes[i]);
        if (target == nullptr) continue;
        if (!erase_) record_.created(target);
        target->transform = compose(locals[i], target->transform);
        if (flips) {
            walk_nodes(*target, [](SceneNode& n, std::size_t) {
                reverse_all_windings(n.mesh);
                return true;
            });
        }
        ++nodes_mirrored_;
    }
    changed_ = record_.finish();
}

}  // namespace korvan
