#include <algorithm>
#include <utility>

#include "document/document.h"
#include "document/naming.h"
#include "document/tree_walk.h"

namespace korvan {
namespace {

bool tag_in_range(std::int32_t tag, std::size_t count) {
    return tag >= 0 && static_cast<std::size_t>(tag) < count;
}

}  // namespace

std::int32_t Document::find_tag(std::string_view name) const {
    for (std::size_t i = 0; i < tags_.size(); ++i) {
        if (tags_[i].name == name) return static_cast<std::int32_t>(i);
    }
    return -1;
}

std::int32_t Document::ensure_tag(std::string_view name) {
    if (name.empty()) return -1;
    const std::int32_t found = find_tag(name);
    if (found >= 0) return found;
    tags_.push_back(Tag{std::string(name), true});
    return static_cast<std::int32_t>(tags_.size() - 1);
}

bool Document::set_tag_visible(std::int32_t tag, bool visible) {
    if (!tag_in_range(tag, tags_.size())) return false;
    tags_[static_cast<std::size_t>(tag)].visible = visible;
    return true;
}

bool Document::rename_tag(std::int32_t tag, std::string name) {
    if (!tag_in_range(tag, tags_.size())) return false;
    tags_[static_cast<std::size_t>(tag)].name = std::move(name);
    return true;
}

std::int32_t Document::duplicate_tag(std::int32_t tag) {
    if (!tag_in_range(tag, tags_.size())) return -1;
    Tag copy = tags_[static_cast<std::size_t>(tag)];
    copy.name = copy_name(copy.name, " copy",
                          [&](const std::string& candidate) { return find_tag(candidate) >= 0; });
    tags_.push_back(std::move(copy));
    return static_cast<std::int32_t>(tags_.size() - 1);
}

std::uint64_t Document::count_nodes_with_tag(std::int32_t tag) const {
    std::uint64_t count = 0;
    walk_nodes<const SceneNode>(*root_, [&](const SceneNode& node, std::size_t) {
        count += node.tag == tag ? 1 : 0;
        return true;
    });
    return count;
}

TagDeletion Document::delete_tag(std::int32_t tag) {
    TagDeletion record;
    if (!tag_in_range(tag, tags_.size())) return record;
    record.ok = true;
    record.index = tag;
    record.tag = tags_[static_cast<std::size_t>(tag)];
    tags_.erase(tags_.begin() + tag);

    // References keep naming the same tag: the deleted one becomes "none", later ones move
    // down by one.
    auto remap = [tag](std::int32_t old) { return old == tag ? -1 : old > tag ? old - 1 : old; };
    walk_nodes(*root_, [&](SceneNode& node, std::size_t) {
        if (node.tag >= tag) {
            record.node_tags.emplace_back(&node, node.tag);
            node.tag = remap(node.tag);
        }
        Mesh& mesh = node.mesh;
        const auto layer = static_cast<std::uint32_t>(tag);
        bool changed = false;
        for (FaceId f = 0; f < mesh.faces().size(); ++f) {
            const Face& face = mesh.faces()[f];
            const std::uint32_t old = face.layer_id;
            if (!face.alive || old < layer || old == kInvalidLayer) continue;
            const std::uint32_t now = old == layer ? 0 : old - 1;
            if (now == old) continue;  // deleting tag 0 leaves its faces on layer 0
            record.face_layers.push_back({&mesh, f, old});
            mesh.face_mut(f).layer_id = now;
            changed = true;
        }
        if (changed) mesh.mark_changed(kFaceTableBit);
        return true;
    });
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        if (labels_[i].tag >= tag) {
            record.label_tags.emplace_back(i, labels_[i].tag);
            labels_[i].tag = remap(labels_[i].tag);
        }
    }
    return record;
}

bool Document::restore_tag(const TagDeletion& deletion) {
    if (!deletion.ok || deletion.index < 0 ||
        static_cast<std::size_t>(deletion.index) > tags_.size()) {
        return false;
    }
    tags_.insert(tags_.begin() + deletion.index, deletion.tag);
    for (const auto& [node, old_tag] : deletion.node_tags) node->tag = old_tag;
    for (const auto& [label, old_tag] : deletion.label_tags) {
        if (label < labels_.size()) labels_[label].tag = old_tag;
    }
    Mesh* last = nullptr;
    for (const FaceLayerChange& change : deletion.face_layers) {
        if (change.face >= change.mesh->faces().size()) continue;
        change.mesh->face_mut(change.face).layer_id = change.old_layer;
        if (change.mesh != last) change.mesh->mark_changed(kFaceTableBit);
        last = change.mesh;
    }
    return true;
}

}  // namespace korvan
