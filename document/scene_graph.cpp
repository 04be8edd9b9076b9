#include <algorithm>
#include <utility>

#include "document/document.h"
#include "document/transform.h"
#include "document/tree_walk.h"

namespace korvan {
namespace {

char fold_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_bytes(std::string_view a, std::string_view b, bool case_insensitive) {
    if (a.size() != b.size()) return false;
    if (!case_insensitive) return a == b;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold_ascii(a[i]) != fold_ascii(b[i])) return false;
    }
    return true;
}

bool name_matches(std::string_view name, std::string_view query, NameMatch match,
                  bool case_insensitive) {
    switch (match) {
        case NameMatch::kExact:
            return same_bytes(name, query, case_insensitive);
        case NameMatch::kPrefix:
            return name.size() >= query.size() &&
                   same_bytes(name.substr(0, query.size()), query, case_insensitive);
        case NameMatch::kSuffix:
            return name.size() >= query.size() &&
                   same_bytes(name.substr(name.size() - query.size()), query, case_insensitive);
        case NameMatch::kContains:
            if (query.size() > name.size()) return false;
            for (std::size_t at = 0; at + query.size() <= name.size(); ++at) {
                if (same_bytes(name.substr(at, query.size()), query, case_insensitive)) {
                    return true;
                }
            }
            return false;
    }
    return false;
}

template <class Node>
Node* find_by_name(Node& root, std::string_view name) {
    Node* found = nullptr;
    walk_nodes(root, [&](Node& node, std::size_t) {
        if (node.name == name) found = &node;
        return found == nullptr;
    });
    return found;
}

template <class Node>
std::vector<Node*> find_matching(Node& root, std::string_view query, NameMatch match,
                                 bool case_insensitive) {
    std::vector<Node*> out;
    walk_nodes(root, [&](Node& node, std::size_t) {
        if (name_matches(node.name, query, match, case_insensitive)) out.push_back(&node);
        return true;
    });
    return out;
}

}  // namespace

SceneNode* Document::find_node_by_name(std::string_view name) { return find_by_name(*root_, name); }

const SceneNode* Document::find_node_by_name(std::string_view name) const {
    return find_by_name<const SceneNode>(*root_, name);
}

std::vector<SceneNode*> Document::find_nodes(std::string_view query, NameMatch match,
                                             bool case_insensitive) {
    return find_matching(*root_, query, match, case_insensitive);
}

std::vector<const SceneNode*> Document::find_nodes(std::string_view query, NameMatch match,
                                                   bool case_insensitive) const {
    return find_matching<const SceneNode>(*root_, query, match, case_insensitive);
}

bool Document::contains(const SceneNode* node) const {
    if (node == nullptr) return false;
    bool found = false;
    walk_nodes<const SceneNode>(*root_, [&](const SceneNode& n, std::size_t) {
        found = &n == node;
        return !found;
    });
    return found;
}

SceneNode* Document::parent_of(const SceneNode* node) {
    const std::vector<SceneNode*> path = path_to(*root_, node);
    return path.size() >= 2 ? path[path.size() - 2] : nullptr;
}

const SceneNode* Document::parent_of(const SceneNode* node) const {
    const std::vector<const SceneNode*> path = path_to<const SceneNode>(*root_, node);
    return path.size() >= 2 ? path[path.size() - 2] : nullptr;
}

std::optional<Mat4> Document::world_transform(const SceneNode* node) const {
    const std::vector<const SceneNode*> path = path_to<const SceneNode>(*root_, node);
    if (path.empty()) return std::nullopt;
    Mat4 world = path.front()->transform;
    for (std::size_t i = 1; i < path.size(); ++i) world = compose(world, path[i]->transform);
    return world;
}

SceneNode* Document::create_instance(SceneNode* parent, std::string definition_id, std::string name,
                                     const Mat4& transform) {
    if (parent == nullptr || !parent->is_group() || !contains(parent)) return nullptr;
    auto node = std::make_unique<SceneNode>();
    node->name = name.empty() ? std::string("Instance") : std::move(name);
    node->kind = NodeKind::kInstance;
    node->definition_id = std::move(definition_id);
    node->transform = transform;
    return &parent->add_child(std::move(node));
}

SceneNode* Document::create_group(SceneNode* parent, std::string name, Mesh mesh,
                                  const Mat4& transform) {
    if (parent == nullptr || !parent->is_group() || !contains(parent)) return nullptr;
    auto node = std::make_unique<SceneNode>();
    node->name = name.empty() ? std::string("Group") : std::move(name);
    node->kind = NodeKind::kGroup;
    node->mesh = std::move(mesh);
    node->transform = transform;
    return &parent->add_child(std::move(node));
}

bool Document::insert_node(SceneNode* parent, std::size_t index, std::unique_ptr<SceneNode> node) {
    if (node == nullptr || parent == nullptr || !parent->is_group() || !contains(parent)) {
        return false;
    }
    index = std::min(index, parent->children.size());
    parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(index),
                            std::move(node));
    return true;
}

}  // namespace korvan
