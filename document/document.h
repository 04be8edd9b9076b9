#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/mat4.h"
#include "core/mesh.h"
#include "core/vec3.h"
#include "document/definitions.h"
#include "document/document_settings.h"
#include "document/light.h"
#include "document/material_library.h"
#include "document/scene.h"
#include "document/scene_node.h"
#include "document/section_plane.h"
#include "document/tag.h"
#include "document/text_label.h"

namespace korvan {

// How find_nodes compares a node's name with the query.
enum class NameMatch : std::uint8_t { kExact, kContains, kPrefix, kSuffix };

// A node taken out of the tree, with where it was, so that putting it back (insert_node)
// restores the tree exactly. node is null when the removal was refused.
struct DetachedNode {
    std::unique_ptr<SceneNode> node;
    SceneNode* parent = nullptr;
    std::size_t index = 0;  // position among the parent's children

    bool ok() const { return node != nullptr; }
};

// What reparent_node changed, for undo.
struct ReparentResult {
    bool ok = false;
    SceneNode* old_parent = nullptr;
    std::size_t old_index = 0;
    Mat4 old_transform;
};

// What bake_node did: the removed node (with its old place) and the faces it left in the
// parent's mesh. The parent mesh's previous state is the caller's to keep.
struct BakeResult {
    bool ok = false;
    std::uint64_t faces_added = 0;
    DetachedNode removed;
};

struct MirrorResult {
    bool ok = false;
    bool flipped = false;  // at least one face had its winding reversed
    std::uint64_t faces_reversed = 0;
};

struct RemovedDefinition {
    std::size_t position = 0;
    ComponentDefinition definition;
};

// A face whose layer a tag deletion moved.
struct FaceLayerChange {
    Mesh* mesh = nullptr;
    FaceId face = kInvalidId;
    std::uint32_t old_layer = 0;
};

// Everything delete_tag changed, so restore_tag can put it back.
struct TagDeletion {
    bool ok = false;
    std::int32_t index = -1;
    Tag tag;
    std::vector<std::pair<SceneNode*, std::int32_t>> node_tags;    // node, old tag
    std::vector<std::pair<std::size_t, std::int32_t>> label_tags;  // label index, old tag
    std::vector<FaceLayerChange> face_layers;
};

// One model: the scene graph (its root group "Model" holds the loose geometry), the
// component definitions, the material library and the document tables and settings.
// Operations never throw for a missing node, name or index: lookups return null or -1,
// mutators return false (or an empty result) and leave the document unchanged.
// Node operations take nodes of this document's tree; a null node or one that is not in
// the tree is refused.
class Document {
  public:
    // An empty model: root "Model", tag "Layer0", no materials, default settings.
    Document();
    // Copies everything, sharing the definition index with the source.
    Document(const Document& other);
    Document& operator=(const Document& other);
    // A moved-from document may only be assigned to or destroyed.
    Document(Document&& other) noexcept;
    Document& operator=(Document&& other) noexcept;
    ~Document();

    // Back to an empty model with a new definition index.
    void clear();

    // ---- Tables and settings (document.cpp) --------------------------------------------

    SceneNode& root() { return *root_; }
    const SceneNode& root() const { return *root_; }
    std::vector<ComponentDefinition>& definitions() { return definitions_; }
    const std::vector<ComponentDefinition>& definitions() const { return definitions_; }
    // Null only in a moved-from document.
    const std::shared_ptr<DefinitionIndex>& definition_index() const { return index_; }
    std::vector<Tag>& tags() { return tags_; }
    const std::vector<Tag>& tags() const { return tags_; }
    std::vector<Scene>& scenes() { return scenes_; }
    const std::vector<Scene>& scenes() const { return scenes_; }
    std::vector<SectionPlane>& sections() { return sections_; }
    const std::vector<SectionPlane>& sections() const { return sections_; }
    std::vector<Light>& lights() { return lights_; }
    const std::vector<Light>& lights() const { return lights_; }
    std::vector<TextLabel>& labels() { return labels_; }
    const std::vector<TextLabel>& labels() const { return labels_; }
    MaterialLibrary& materials() { return materials_; }
    const MaterialLibrary& materials() const { return materials_; }

    LengthUnit length_unit() const { return length_unit_; }
    void set_length_unit(LengthUnit unit) { length_unit_ = unit; }
    UnitsOptions& units_options() { return units_options_; }
    const UnitsOptions& units_options() const { return units_options_; }
    ShadowSettings& shadows() { return shadows_; }
    const ShadowSettings& shadows() const { return shadows_; }
    SavedView& view() { return view_; }
    const SavedView& view() const { return view_; }

    // ---- Finding nodes (scene_graph.cpp) ------------------------------------------------

    // Exact, case-sensitive; first match in depth-first pre-order from the root.
    SceneNode* find_node_by_name(std::string_view name);
    const SceneNode* find_node_by_name(std::string_view name) const;
    // Every node whose name matches, in depth-first pre-order. Case folding folds ASCII
    // letters only; every other byte (accented UTF-8 letters too) must match exactly.
    std::vector<SceneNode*> find_nodes(std::string_view query, NameMatch match,
                                       bool case_insensitive);
    std::vector<const SceneNode*> find_nodes(std::string_view query, NameMatch match,
                                             bool case_insensitive) const;
    bool contains(const SceneNode* node) const;
    // Null for the root and for nodes outside the tree.
    SceneNode* parent_of(const SceneNode* node);
    const SceneNode* parent_of(const SceneNode* node) const;
    // Product of the transforms from the root down to the node; none outside the tree.
    std::optional<Mat4> world_transform(const SceneNode* node) const;

    // ---- Creating nodes (scene_graph.cpp) -----------------------------------------------

    // Appends an instance child to the group `parent` ("Instance" when name is empty). The
    // definition is not checked: an unknown id shows nothing. Null when parent is not a
    // group of this tree.
    SceneNode* create_instance(SceneNode* parent, std::string definition_id, std::string name,
                               const Mat4& transform = {});
    // Appends a group child holding `mesh` ("Group" when name is empty).
    SceneNode* create_group(SceneNode* parent, std::string name, Mesh mesh = {},
                            const Mat4& transform = {});
    // Puts a detached node back as child `index` of parent (clamped to the child count).
    bool insert_node(SceneNode* parent, std::size_t index, std::unique_ptr<SceneNode> node);

    // ---- Node properties and transforms (node_edit.cpp) ---------------------------------

    bool set_node_visible(SceneNode* node, bool visible);
    bool rename_node(SceneNode* node, std::string name);
    // tag is -1 (untag) or an index into tags().
    bool set_node_tag(SceneNode* node, std::int32_t tag);
    // material is -1 (none) or any index; the library is not consulted.
    bool set_node_material(SceneNode* node, std::int32_t material);
    // The transform operations refuse the root: the model's loose geometry has no transform
    // of its own in the file. Translations are in the parent's space.
    bool translate_node(SceneNode* node, const Vec3& delta);
    bool set_node_translation(SceneNode* node, const Vec3& position);
    // Uniform scale about the node's origin; refuses a factor not greater than 0 or not
    // finite (a negative scale would be a point reflection: mirror_node is the mirror).
    bool scale_node(SceneNode* node, float factor);
    // Makes the scale along each of the node's axes exactly `factor`; refuses a factor not
    // greater than 0 and a transform with a collapsed axis.
    bool set_node_scale(SceneNode* node, float factor);
    // Angles in degrees; the transform T becomes T x Rx x Ry x Rz, so a point turns about
    // z first, then y, then x, in the node's own axes, before T applies.
    bool rotate_node(SceneNode* node, float rx_deg, float ry_deg, float rz_deg);
    bool set_node_transform(SceneNode* node, const Mat4& transform);
    // Reflects the node through the plane through its local origin with `normal` in its own
    // axes (mirror_node) or through the plane (point, normal) given in the parent's space,
    // and reverses the winding of every face of the own meshes of the subtree so that faces
    // keep facing outwards. Definition meshes are shared with other instances and are not
    // reversed. Refuses the root and a normal without direction. Applying it twice restores
    // the node.
    MirrorResult mirror_node(SceneNode* node, const Vec3& normal);
    MirrorResult mirror_node_about_plane(SceneNode* node, const Vec3& point, const Vec3& normal);

    // ---- Node structure (node_structure.cpp) --------------------------------------------

    // Appends a deep copy to the node's parent, named "<name> copy", "<name> copy2", ...
    // (unique among all nodes). Null for the root.
    SceneNode* duplicate_node(SceneNode* node);
    // Takes the node and its subtree out of the tree; refuses the root.
    DetachedNode delete_node(SceneNode* node);
    // Moves the node under new_parent (appended), keeping its world placement. Refuses the
    // root, a parent that is not a group, the node itself or one of its descendants, and a
    // new parent whose world transform cannot be inverted.
    ReparentResult reparent_node(SceneNode* node, SceneNode* new_parent);
    // Points the instance at a fresh copy of its definition (see duplicate_definition);
    // returns the new definition's position, or -1 for a non-instance or a missing
    // definition.
    std::int32_t make_instance_unique(SceneNode* node);
    // Replaces the node by its geometry in the parent's mesh: the subtree's meshes, hidden
    // parts included, through their transforms relative to the parent, with node materials
    // painted onto material-0 faces as flatten_world does. Refuses the root.
    BakeResult bake_node(SceneNode* node);

    // ---- World mesh and counts (flatten_world.cpp) --------------------------------------

    // One mesh in world coordinates of everything shown: hidden nodes and nodes on hidden
    // tags are dropped with their subtrees; node materials paint material-0 faces.
    // root_mesh, when given, stands in for the root node's own mesh.
    Mesh flatten_world(const Mesh* root_mesh = nullptr) const;
    // The number of faces flatten_world would give, counted without building it.
    std::uint64_t count_world_faces(const Mesh* root_mesh = nullptr) const;
    // Alive faces whose layer id equals tag, over the own meshes of every node (definition
    // meshes are not counted).
    std::uint64_t count_faces_with_tag(std::int32_t tag) const;

    // ---- Definitions (definitions.cpp) --------------------------------------------------

    // Position of the definition, or -1.
    std::int32_t find_definition(std::string_view id) const;
    ComponentDefinition* definition(std::string_view id);
    const ComponentDefinition* definition(std::string_view id) const;
    // Appends; refuses an empty id or one already taken. Returns the position or -1.
    std::int32_t add_definition(ComponentDefinition definition);
    // Puts back a removed definition at its position (clamped); refuses a taken id.
    bool insert_definition(std::size_t position, ComponentDefinition definition);
    // Sets the display name.
    bool rename_definition(std::string_view id, std::string name);
    bool set_definition_category(std::string_view id, std::string category);
    // Appends a copy with id "<id>_copy" ("<id>_copy2", ...) and name "<name> copy"
    // ("<name> copy2", ...); returns its position or -1.
    std::int32_t duplicate_definition(std::string_view id);
    // Refuses a missing definition and one that an instance anywhere still shows.
    std::optional<RemovedDefinition> delete_definition(std::string_view id);
    // Instances anywhere in the tree whose definition_id is id.
    std::uint64_t count_instances(std::string_view id) const;

    // ---- Tags (tags.cpp) ----------------------------------------------------------------

    // Index of the tag with this name, or of a new visible one; -1 for an empty name.
    std::int32_t ensure_tag(std::string_view name);
    std::int32_t find_tag(std::string_view name) const;
    bool set_tag_visible(std::int32_t tag, bool visible);
    bool rename_tag(std::int32_t tag, std::string name);
    // Appends a copy named "<name> copy" ("<name> copy2", ...); -1 for a bad index.
    std::int32_t duplicate_tag(std::int32_t tag);
    // Nodes anywhere in the tree carrying the tag.
    std::uint64_t count_nodes_with_tag(std::int32_t tag) const;
    // Removes the tag and renumbers every reference to the tags after it: nodes and labels
    // on it become untagged, faces of the nodes' meshes on it move to layer 0.
    TagDeletion delete_tag(std::int32_t tag);
    // Undoes a delete_tag whose record is given, if nothing else changed in between.
    bool restore_tag(const TagDeletion& deletion);

    // ---- Scenes, sections, lights, labels (document_tables.cpp) ------------------------

    // Appends a scene at the saved view's camera. An empty name becomes "Scene N" (N = the
    // new count); a taken name gets "_2", "_3", ... Returns the index.
    std::int32_t add_scene(std::string name);
    bool rename_scene(std::int32_t scene, std::string name);
    std::optional<Scene> delete_scene(std::int32_t scene);
    // Appends a copy named "<name> copy" ("<name> copy2", ...); -1 for a bad index.
    std::int32_t duplicate_scene(std::int32_t scene);
    // Copies everything but the name from source into destination.
    bool update_scene(std::int32_t destination, std::int32_t source);

    // Naming as add_scene, with "Section N".
    std::int32_t add_section(std::string name);
    bool set_section_active(std::int32_t section, bool active);
    bool rename_section(std::int32_t section, std::string name);
    std::optional<SectionPlane> delete_section(std::int32_t section);
    bool update_section(std::int32_t destination, std::int32_t source);

    // Naming as add_scene, with "Light N".
    std::int32_t add_light(Light light);
    bool set_light_enabled(std::int32_t light, bool enabled);
    std::optional<Light> delete_light(std::int32_t light);

    // Appends; -1 for empty text.
    std::int32_t add_label(TextLabel label);
    std::optional<TextLabel> delete_label(std::int32_t label);

  private:
    std::unique_ptr<SceneNode> root_;
    std::vector<ComponentDefinition> definitions_;
    std::shared_ptr<DefinitionIndex> index_;
    std::vector<Tag> tags_;
    std::vector<Scene> scenes_;
    std::vector<SectionPlane> sections_;
    std::vector<Light> lights_;
    std::vector<TextLabel> labels_;
    LengthUnit length_unit_ = LengthUnit::kMetre;
    UnitsOptions units_options_;
    ShadowSettings shadows_;
    SavedView view_;
    MaterialLibrary materials_;
};

}  // namespace korvan
