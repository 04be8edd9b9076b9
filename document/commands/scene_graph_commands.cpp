#include "document/commands/scene_graph_commands.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <map>
#include <numeric>
#include <optional>
#include <unordered_set>

#include "document/transform.h"
#include "document/tree_walk.h"

namespace korvan {
namespace {

double axis_of(const Vec3& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

void expand_by_mesh(Aabb& box, const Mesh& mesh, const Mat4& world) {
    for (FaceId f = 0; f < mesh.faces().size(); ++f) {
        if (!mesh.faces()[f].alive) continue;
        for (VertexId v : mesh.face_vertices(f)) {
            box.expand(transform_point(world, mesh.vertices()[v].position));
        }
    }
    for (EdgeId e = 0; e < mesh.edges().size(); ++e) {
        if (!mesh.edges()[e].alive) continue;
        for (VertexId v : mesh.edge_vertices(e)) {
            if (mesh.vertex_usable(v))
                box.expand(transform_point(world, mesh.vertices()[v].position));
        }
    }
}

// Whether `node` lies strictly inside the subtree of `ancestor`.
bool is_below(const SceneNode& ancestor, const SceneNode* node) {
    bool found = false;
    for (const auto& child : ancestor.children) {
        walk_nodes(*child, [&](const SceneNode& n, std::size_t) {
            found = &n == node;
            return !found;
        });
        if (found) return true;
    }
    return false;
}

void append_counter(std::string& out, std::int64_t value, std::int32_t pad) {
    char buf[24];
    const bool negative = value < 0;
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, negative ? -value : value);
    (void)ec;
    if (negative) out += '-';
    const auto digits = static_cast<std::int32_t>(end - buf);
    if (pad > digits) out.append(static_cast<std::size_t>(pad - digits), '0');
    out.append(buf, end);
}

std::string replace_all(const std::string& text, const std::string& find,
                        const std::string& replace) {
    if (find.empty()) return text;
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(find, from)) != std::string::npos;
         from = at + find.size()) {
        out.append(text, from, at - from).append(replace);
    }
    return out.append(text, from, std::string::npos);
}

// One pass over the pattern: what a token expands to is never read again, so a name that
// itself contains "{i}" stays as it is.
std::string expand_pattern(const BatchRenameRule& rule, const std::string& name, std::size_t i) {
    std::string out;
    const std::string& p = rule.pattern;
    for (std::size_t at = 0; at < p.size();) {
        if (p.compare(at, 6, "{name}") == 0) {
            out += name;
            at += 6;
        } else if (p.compare(at, 3, "{n}") == 0) {
            append_counter(out, std::int64_t{rule.start} + static_cast<std::int64_t>(i) * rule.step,
                           rule.pad);
            at += 3;
        } else if (p.compare(at, 3, "{i}") == 0) {
            append_counter(out, static_cast<std::int64_t>(i), 0);
            at += 3;
        } else {
            out += p[at++];
        }
    }
    return out;
}

}  // namespace

Aabb node_world_box(const Document& doc, const SceneNode* node) {
    Aabb box;
    const std::optional<Mat4> start = doc.world_transform(node);
    if (!start) return box;
    // Each entry carries its node's world transform down to its children.
    std::vector<std::pair<const SceneNode*, Mat4>> stack{{node, *start}};
    while (!stack.empty()) {
        auto [n, world] = stack.back();
        stack.pop_back();
        const ComponentDefinition* def = n->is_instance() && !n->definition_id.empty()
                                             ? doc.definition(n->definition_id)
                                             : nullptr;
        expand_by_mesh(box, def != nullptr ? def->mesh : n->mesh, world);
        for (const auto& child : n->children) {
            stack.emplace_back(child.get(), compose(world, child->transform));
        }
    }
    return box;
}

// ---- Align ---------------------------------------------------------------------------------

std::string AlignNodesCommand::name() const {
    std::string label = mode_ == NodeAlignMode::kDistribute ? "Distribute " : "Align ";
    label += "xyz"[std::clamp(axis_, 0, 2)];
    return label;
}

void AlignNodesCommand::redo() {
    if (applied_) return;
    if (has_after_) {
        for (std::size_t i = 0; i < nodes_.size(); ++i)
            nodes_[i]->transform = transforms_[i].second;
        applied_ = changed_ = true;
        return;
    }
    changed_ = false;
    if (axis_ < 0 || axis_ > 2) return void(refusal_ = "the axis must be x, y or z");
    if (nodes_.size() < 2) return void(refusal_ = "aligning needs at least two nodes");
    // Everything is checked before the first node moves: all or nothing.
    std::vector<Aabb> boxes;
    std::vector<Mat4> parent_inverse;
    for (const SceneNode* n : nodes_) {
        if (!doc_.contains(n)) return void(refusal_ = "a node is not in the tree");
        if (n == &doc_.root()) return void(refusal_ = "the root node has no placement to move");
        for (const SceneNode* other : nodes_) {
            if (other == n) continue;
            if (is_below(*other, n)) {
                return void(refusal_ =
                                "a node lies inside another selected node and would move twice");
            }
        }
        boxes.push_back(node_world_box(doc_, n));
        if (boxes.back().empty()) return void(refusal_ = "a node has no geometry to align");
        const std::optional<Mat4> parent_world = doc_.world_transform(doc_.parent_of(n));
        const std::optional<Mat4> inverse = affine_inverse(parent_world.value_or(Mat4{}));
        if (!parent_world || !inverse) return void(refusal_ = "a node's parent cannot be inverted");
        parent_inverse.push_back(*inverse);
    }
    if (std::unordered_set<const SceneNode*>(nodes_.begin(), nodes_.end()).size() !=
        nodes_.size()) {
        return void(refusal_ = "a node is selected twice");
    }
    refusal_ = "";

    const std::size_t count = nodes_.size();
    std::vector<double> lo(count), hi(count), want(count);
    for (std::size_t i = 0; i < count; ++i) {
        lo[i] = axis_of(boxes[i].min, axis_);
        hi[i] = axis_of(boxes[i].max, axis_);
    }
    auto centre = [&](std::size_t i) { return (lo[i] + hi[i]) / 2; };
    std::vector<double> delta(count, 0.0);
    const double all_lo = *std::min_element(lo.begin(), lo.end());
    const double all_hi = *std::max_element(hi.begin(), hi.end());
    switch (mode_) {
        case NodeAlignMode::kMin:
            target_ = all_lo;
            for (std::size_t i = 0; i < count; ++i) delta[i] = target_ - lo[i];
            break;
        case NodeAlignMode::kMax:
            target_ = all_hi;
            for (std::size_t i = 0; i < count; ++i) delta[i] = target_ - hi[i];
            break;
        case NodeAlignMode::kCentre:
            target_ = (all_lo + all_hi) / 2;
            for (std::size_t i = 0; i < count; ++i) delta[i] = target_ - centre(i);
            break;
        case NodeAlignMode::kDistribute: {
            // Ordered by centre, ties by selection order, so the result does not depend on
            // how the sort breaks ties.
            std::vector<std::size_t> order(count);
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(),
                             [&](std::size_t a, std::size_t b) { return centre(a) < centre(b); });
            const double first = centre(order.front()), last = centre(order.back());
            target_ = first;
            for (std::size_t k = 1; k + 1 < count; ++k) {
                const double at = first + (last - first) * static_cast<double>(k) /
                                              static_cast<double>(count - 1);
                delta[order[k]] = at - centre(order[k]);
            }
            break;
        }
    }

    transforms_.clear();
    moved_ = 0;
    for (std::size_t i = 0; i < count; ++i) {
        SceneNode* n = nodes_[i];
        const Mat4 before = n->transform;
        Vec3 world_step{0.0f, 0.0f, 0.0f};
        (axis_ == 0   ? world_step.x
         : axis_ == 1 ? world_step.y
                      : world_step.z) = static_cast<float>(delta[i]);
        const Vec3 local = transform_direction(parent_inverse[i], world_step);
        Mat4 after = before;
        after.m[12] += local.x;
        after.m[13] += local.y;
        after.m[14] += local.z;
        transforms_.emplace_back(before, after);
        if (after.m != before.m) ++moved_;
    }
    for (std::size_t i = 0; i < count; ++i) nodes_[i]->transform = transforms_[i].second;
    has_after_ = applied_ = changed_ = moved_ > 0;
}

void AlignNodesCommand::undo() {
    if (!applied_) return;
    for (std::size_t i = 0; i < nodes_.size(); ++i) nodes_[i]->transform = transforms_[i].first;
    applied_ = false;
}

// ---- Batch rename --------------------------------------------------------------------------

BatchRenamePlan plan_batch_rename(const Document& doc, const std::vector<SceneNode*>& nodes,
                                  const BatchRenameRule& rule) {
    BatchRenamePlan plan;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const std::string& old_name = nodes[i]->name;
        std::string name =
            rule.has_find ? replace_all(old_name, rule.find, rule.replace) : old_name;
        if (!rule.pattern.empty()) name = expand_pattern(rule, name, i);
        plan.changed += name != old_name;
        plan.old_names.push_back(old_name);
        plan.new_names.push_back(std::move(name));
    }
    // Names after the renaming: the batch's new names plus every other node's own name.
    const std::unordered_set<const SceneNode*> batch(nodes.begin(), nodes.end());
    std::map<std::string, std::uint64_t, std::less<>> uses;
    walk_nodes(doc.root(), [&](const SceneNode& n, std::size_t) {
        if (batch.count(&n) == 0) ++uses[n.name];
        return true;
    });
    for (const std::string& name : plan.new_names) ++uses[name];
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        if (plan.new_names[i] != plan.old_names[i] && uses[plan.new_names[i]] > 1)
            ++plan.collisions;
    }
    return plan;
}

void BatchRenameCommand::redo() {
    if (applied_) return;
    if (!planned_) {
        changed_ = false;
        for (const SceneNode* n : nodes_) {
            if (!doc_.contains(n)) return void(refusal_ = "a node is not in the tree");
        }
        plan_ = plan_batch_rename(doc_, nodes_, rule_);
        if (rule_.strict && plan_.collisions > 0) {
            return void(refusal_ = "a new name collides with another node's name");
        }
        refusal_ = "";
        planned_ = true;
    }
    for (std::size_t i = 0; i < nodes_.size(); ++i) nodes_[i]->name = plan_.new_names[i];
    applied_ = changed_ = plan_.changed > 0;
}

void BatchRenameCommand::undo() {
    if (!applied_) return;
    for (std::size_t i = 0; i < nodes_.size(); ++i) nodes_[i]->name = plan_.old_names[i];
    applied_ = false;
}

// ---- Isolate -------------------------------------------------------------------------------

void IsolateSelectionCommand::redo() {
    if (applied_) return;
    if (planned_) {
        for (SceneNode* n : hidden_nodes_) n->visible = false;
        for (FaceId f : hidden_faces_) doc_.root().mesh.face_mut(f).visible = false;
        applied_ = changed_ = !hidden_nodes_.empty() || !hidden_faces_.empty();
        return;
    }
    changed_ = false;
    if (keep_.empty()) return void(refusal_ = "nothing is kept");
    for (const SceneNode* n : keep_) {
        if (!doc_.contains(n)) return void(refusal_ = "a node is not in the tree");
    }
    refusal_ = "";
    const std::unordered_set<const SceneNode*> kept(keep_.begin(), keep_.end());

    // Pre-order with the path from the root, so each node knows whether an ancestor is kept
    // or already hidden (its whole subtree is then left alone).
    struct Entry {
        SceneNode* node;
        std::size_t parent;     // position in `order`; the root's is itself
        bool covered = false;   // kept, or under a kept node
        bool has_kept = false;  // kept, or an ancestor of a kept node
    };
    std::vector<Entry> order;
    std::vector<std::size_t> path;
    walk_nodes(doc_.root(), [&](SceneNode& n, std::size_t depth) {
        path.resize(depth);
        const std::size_t parent = depth == 0 ? 0 : path.back();
        Entry e{&n, parent};
        e.covered = kept.count(&n) > 0 || (depth > 0 && order[parent].covered);
        e.has_kept = kept.count(&n) > 0;
        path.push_back(order.size());
        order.push_back(e);
        return true;
    });
    for (std::size_t i = order.size(); i-- > 1;) {
        if (order[i].has_kept) order[order[i].parent].has_kept = true;
    }
    std::vector<bool> dark(order.size(), false);  // hidden, or inside a hidden node
    for (std::size_t i = 1; i < order.size(); ++i) {
        const Entry& e = order[i];
        if (dark[e.parent]) {
            dark[i] = true;
            continue;
        }
        if (e.covered || e.has_kept) continue;
        dark[i] = true;
        if (e.node->visible) hidden_nodes_.push_back(e.node);
    }
    if (!keep_loose_ && !order.front().covered) {
        const Mesh& mesh = doc_.root().mesh;
        for (FaceId f = 0; f < mesh.faces().size(); ++f) {
            if (mesh.faces()[f].alive && mesh.faces()[f].visible) hidden_faces_.push_back(f);
        }
    }
    planned_ = true;
    for (SceneNode* n : hidden_nodes_) n->visible = false;
    for (FaceId f : hidden_faces_) doc_.root().mesh.face_mut(f).visible = false;
    applied_ = changed_ = !hidden_nodes_.empty() || !hidden_faces_.empty();
}

void IsolateSelectionCommand::undo() {
    if (!applied_) return;
    for (SceneNode* n : hidden_nodes_) n->visible = true;
    for (FaceId f : hidden_faces_) doc_.root().mesh.face_mut(f).visible = true;
    applied_ = false;
}

}  // namespace korvan
