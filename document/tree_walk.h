#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "document/scene_node.h"

// Depth-first pre-order walks of a scene graph with an explicit stack, so a deeply nested
// file cannot exhaust the call stack. Node is SceneNode or const SceneNode.

namespace korvan {

// Calls visit(node, depth) for every node from root (depth 0) in pre-order. When visit
// returns false the walk stops.
template <class Node, class Visit>
void walk_nodes(Node& root, Visit&& visit) {
    std::vector<std::pair<Node*, std::size_t>> stack{{&root, 0}};
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        if (!visit(*node, depth)) return;
        for (std::size_t i = node->children.size(); i-- > 0;) {
            stack.emplace_back(node->children[i].get(), depth + 1);
        }
    }
}

// The nodes from root down to target, both included; empty when target is not in the tree.
template <class Node>
std::vector<Node*> path_to(Node& root, const SceneNode* target) {
    std::vector<Node*> path;
    bool found = false;
    walk_nodes(root, [&](Node& node, std::size_t depth) {
        path.resize(depth);
        path.push_back(&node);
        found = &node == target;
        return !found;
    });
    if (!found) path.clear();
    return path;
}

}  // namespace korvan
