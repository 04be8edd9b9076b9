#include "document/definitions.h"

#include <algorithm>
#include <cstdint>

#include "document/document.h"
#include "document/naming.h"

namespace korvan {

std::uint64_t fnv1a_64(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::int32_t find_definition_linear(std::span<const ComponentDefinition> definitions,
                                    std::string_view id) {
    for (std::size_t i = 0; i < definitions.size(); ++i) {
        if (definitions[i].id == id) return static_cast<std::int32_t>(i);
    }
    return -1;
}

void DefinitionIndex::rebuild(std::span<const ComponentDefinition> definitions) {
    std::lock_guard lock(mutex_);
    rebuild_locked(definitions);
}

void DefinitionIndex::rebuild_locked(std::span<const ComponentDefinition> definitions) const {
    entries_.clear();
    entries_.reserve(definitions.size());
    for (std::size_t i = 0; i < definitions.size(); ++i) {
        entries_.emplace_back(fnv1a_64(definitions[i].id), static_cast<std::int32_t>(i));
    }
    std::sort(entries_.begin(), entries_.end());
}

std::int32_t DefinitionIndex::find(std::span<const ComponentDefinition> definitions,
                                   std::string_view id) const {
    if (id.empty()) return find_definition_linear(definitions, id);
    const std::uint64_t key = fnv1a_64(id);
    std::lock_guard lock(mutex_);
    auto lower = std::lower_bound(entries_.begin(), entries_.end(),
                                  std::pair<std::uint64_t, std::int32_t>{key, INT32_MIN});
    for (auto it = lower; it != entries_.end() && it->first == key; ++it) {
        const auto pos = static_cast<std::size_t>(it->second);
        if (pos < definitions.size() && definitions[pos].id == id) return it->second;
    }
    // A miss may come from a list that changed since the last build; confirm it.
    const std::int32_t found = find_definition_linear(definitions, id);
    if (found >= 0) rebuild_locked(definitions);
    return found;
}

// ---- Document: definitions ---------------------------------------------------------------

namespace {

void count_instances_in(const SceneNode& node, std::string_view id, std::uint64_t& count) {
    for (const auto& child : node.children) {
        if (child->is_instance() && child->definition_id == id) ++count;
        count_instances_in(*child, id, count);
    }
}

}  // namespace

std::int32_t Document::find_definition(std::string_view id) const {
    if (!index_) return find_definition_linear(definitions_, id);
    return index_->find(definitions_, id);
}

ComponentDefinition* Document::definition(std::string_view id) {
    const std::int32_t pos = find_definition(id);
    return pos < 0 ? nullptr : &definitions_[static_cast<std::size_t>(pos)];
}

const ComponentDefinition* Document::definition(std::string_view id) const {
    const std::int32_t pos = find_definition(id);
    return pos < 0 ? nullptr : &definitions_[static_cast<std::size_t>(pos)];
}

std::int32_t Document::add_definition(ComponentDefinition definition) {
    if (definition.id.empty() || find_definition(definition.id) >= 0) return -1;
    definitions_.push_back(std::move(definition));
    if (index_) index_->rebuild(definitions_);
    return static_cast<std::int32_t>(definitions_.size() - 1);
}

bool Document::insert_definition(std::size_t position, ComponentDefinition definition) {
    if (definition.id.empty() || find_definition(definition.id) >= 0) return false;
    position = std::min(position, definitions_.size());
    definitions_.insert(definitions_.begin() + static_cast<std::ptrdiff_t>(position),
                        std::move(definition));
    if (index_) index_->rebuild(definitions_);
    return true;
}

bool Document::rename_definition(std::string_view id, std::string name) {
    ComponentDefinition* def = definition(id);
    if (def == nullptr) return false;
    def->name = std::move(name);
    return true;
}

bool Document::set_definition_category(std::string_view id, std::string category) {
    ComponentDefinition* def = definition(id);
    if (def == nullptr) return false;
    def->category = std::move(category);
    return true;
}

std::int32_t Document::duplicate_definition(std::string_view id) {
    const ComponentDefinition* source = definition(id);
    if (source == nullptr) return -1;
    ComponentDefinition copy = *source;
    copy.id = copy_name(source->id, "_copy", [&](const std::string& candidate) {
        return find_definition(candidate) >= 0;
    });
    copy.name = copy_name(source->name, " copy", [&](const std::string& candidate) {
        return std::any_of(definitions_.begin(), definitions_.end(),
                           [&](const ComponentDefinition& d) { return d.name == candidate; });
    });
    return add_definition(std::move(copy));
}

std::optional<RemovedDefinition> Document::delete_definition(std::string_view id) {
    const std::int32_t pos = find_definition(id);
    if (pos < 0 || count_instances(id) > 0) return std::nullopt;
    const auto at = definitions_.begin() + pos;
    RemovedDefinition removed{static_cast<std::size_t>(pos), std::move(*at)};
    definitions_.erase(at);
    if (index_) index_->rebuild(definitions_);
    return removed;
}

std::uint64_t Document::count_instances(std::string_view id) const {
    std::uint64_t count = 0;
    if (root_->is_instance() && root_->definition_id == id) ++count;
    count_instances_in(*root_, id, count);
    return count;
}

}  // namespace korvan
