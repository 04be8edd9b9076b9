#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/vec3.h"

namespace korvan {

class Document;
struct SceneNode;

// What is being placed; it picks the default id and size, the instance name and the shape of
// a fallback definition.
enum class OpeningKind : std::uint8_t { kDoor, kWindow, kComponent };

inline constexpr std::string_view kDefaultDoorId = "door_go_2canh_90";
inline constexpr std::string_view kDefaultWindowId = "window_nhom_120x140";
inline constexpr std::string_view kDefaultComponentId = "component";

// A door or window to place. The opening's local frame: x runs along the wall (to the right
// seen from outside), y points into the wall (against `normal`) and z up; `at` is the bottom
// centre of the opening on the wall's outer plane. A vertical normal gets +y as its up.
struct PlacementRequest {
    OpeningKind kind = OpeningKind::kDoor;
    std::string definition_id;  // empty: the kind's default id
    float width = 0.9f;         // metres; sizes only a fallback definition
    float height = 2.1f;
    Vec3 at;
    Vec3 normal{0.0f, -1.0f, 0.0f};  // the way the wall's outer face looks
    std::string name;                // instance name; empty: "Door", "Window" or "Component"
    std::int32_t tag = -1;           // tag of the new instance; -1 = untagged
    SceneNode* parent = nullptr;     // group to place under; null: the root
};

// The request with the kind's default id and size: a door of 0.9 x 2.1 m, a window of
// 1.2 x 1.4 m, a component of 1 x 1 m.
PlacementRequest opening_request(OpeningKind kind);

// What place_opening did, enough for a command to undo it: remove the instance (it is child
// child_index of parent) and then, when created_definition, the definition at
// definition_position.
struct PlacementResult {
    bool ok = false;
    const char* message = "";  // static text; empty when ok
    SceneNode* instance = nullptr;
    SceneNode* parent = nullptr;
    std::size_t child_index = 0;
    std::string definition_id;
    std::int32_t definition_position = -1;
    bool created_definition = false;    // the id was not registered and a fallback was added
    std::uint64_t total_instances = 0;  // component instances in the whole tree afterwards
};

// Places an instance of the requested definition, creating a fallback definition first when
// the id is not registered in the document: a closed frame with a leaf (door) or glazing
// (window), or a plain box (component), of the requested size, set 2 cm proud of the wall
// plane so that it shows on solid massing too. A registered definition is placed as it is.
// Refuses, changing nothing, a size that is not finite and above 1e-4 m, a non-finite `at`,
// a normal without direction, a parent that is not a group of the document, a bad tag and an
// unusable id (empty after defaulting, or holding a tab or line break).
PlacementResult place_opening(Document& doc, const PlacementRequest& request);

// Component instances anywhere in the document's tree.
std::uint64_t count_all_instances(const Document& doc);

}  // namespace korvan
