#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/mesh.h"

namespace korvan {

// A component: one mesh shown by every instance whose definition_id equals `id`, so editing
// it changes every instance.
struct ComponentDefinition {
    std::string id;  // unique within a document
    std::string name;
    std::string category;
    Mesh mesh;
};

// 64-bit FNV-1a over the bytes of text.
std::uint64_t fnv1a_64(std::string_view text);

// Maps a definition id to its position in a document's definition list. Shared by the
// copies of a document (render and export workers look definitions up from several threads),
// so every call takes the index's own mutex. The index repairs itself: a hit is verified
// against the list it is asked about, and a miss is confirmed by a linear scan that rebuilds
// the index when it finds the id, so a stale index costs time, never a wrong answer.
class DefinitionIndex {
  public:
    DefinitionIndex() = default;
    DefinitionIndex(const DefinitionIndex&) = delete;
    DefinitionIndex& operator=(const DefinitionIndex&) = delete;

    // Position of the definition with exactly this id, or -1. An empty id is searched
    // linearly.
    std::int32_t find(std::span<const ComponentDefinition> definitions, std::string_view id) const;
    // Forgets everything and indexes the list as it is now.
    void rebuild(std::span<const ComponentDefinition> definitions);

  private:
    void rebuild_locked(std::span<const ComponentDefinition> definitions) const;

    mutable std::mutex mutex_;
    // (key, position) sorted by key then position; equal keys are hash collisions.
    mutable std::vector<std::pair<std::uint64_t, std::int32_t>> entries_;
};

// Position of the definition with exactly this id by a linear scan, or -1.
std::int32_t find_definition_linear(std::span<const ComponentDefinition> definitions,
                                    std::string_view id);

}  // namespace korvan
