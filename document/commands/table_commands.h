#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/commands/command.h"
#include "document/commands/list_edit_command.h"
#include "document/document.h"

// Commands over the document's tables: tags, scenes, section planes, lights and text labels.

namespace korvan {

// Removes a tag and renumbers every reference after it (nodes, labels, face layers); undo
// puts the tag and each changed reference back. "Delete Tag".
class DeleteTagCommand : public Command {
  public:
    DeleteTagCommand(Document& doc, std::int32_t tag) : doc_(doc), tag_(tag) {}

    std::string name() const override { return "Delete Tag"; }
    void redo() override;
    void undo() override;
    bool is_noop() const override { return !deletion_.ok; }

    // What the last redo() changed; ok is false when the index was out of range.
    const TagDeletion& deletion() const { return deletion_; }

  private:
    Document& doc_;
    std::int32_t tag_;
    TagDeletion deletion_;
    bool applied_ = false;
};

enum class TagEditKind : std::uint8_t { kAdd, kSetVisible, kRename, kDuplicate };

// kAdd finds or appends the tag `name` (an existing one is a no-op that still reports its
// index); the others work on `tag`.
struct TagEdit {
    TagEditKind kind = TagEditKind::kAdd;
    std::int32_t tag = -1;
    std::string name;
    bool visible = true;
};

// "Add Tag", "Hide Tag" / "Show Tag", "Rename Tag", "Duplicate Tag".
class EditTagCommand final : public ListEditCommand<std::vector<Tag>> {
  public:
    EditTagCommand(Document& doc, TagEdit edit);

  private:
    std::int32_t apply(Document& doc) override;
    std::vector<Tag>& list(Document& doc) const override { return doc.tags(); }

    TagEdit edit_;
};

enum class SceneEditKind : std::uint8_t { kAdd, kRename, kDelete, kDuplicate, kUpdate };

// kAdd names the scene `name` (or "Scene N"); kUpdate copies everything but the name from
// `source` into `scene`.
struct SceneEdit {
    SceneEditKind kind = SceneEditKind::kAdd;
    std::int32_t scene = -1;
    std::int32_t source = -1;
    std::string name;
};

// "Add Scene", "Rename Scene", "Delete Scene", "Duplicate Scene", "Update Scene".
class EditSceneCommand final : public ListEditCommand<std::vector<Scene>> {
  public:
    EditSceneCommand(Document& doc, SceneEdit edit);

  private:
    std::int32_t apply(Document& doc) override;
    std::vector<Scene>& list(Document& doc) const override { return doc.scenes(); }

    SceneEdit edit_;
};

enum class SectionEditKind : std::uint8_t { kAdd, kSetActive, kRename, kDelete, kUpdate };

struct SectionEdit {
    SectionEditKind kind = SectionEditKind::kAdd;
    std::int32_t section = -1;
    std::int32_t source = -1;
    std::string name;
    bool active = true;
};

// "Add Section", "Activate Section" / "Deactivate Section", "Rename Section",
// "Delete Section", "Update Section".
class EditSectionCommand final : public ListEditCommand<std::vector<SectionPlane>> {
  public:
    EditSectionCommand(Document& doc, SectionEdit edit);

  private:
    std::int32_t apply(Document& doc) override;
    std::vector<SectionPlane>& list(Document& doc) const override { return doc.sections(); }

    SectionEdit edit_;
};

enum class LightEditKind : std::uint8_t { kAdd, kSetEnabled, kDelete };

// kAdd appends `light` (named "Light N" when its name is empty).
struct LightEdit {
    LightEditKind kind = LightEditKind::kAdd;
    std::int32_t index = -1;
    Light light;
    bool enabled = true;
};

// "Add Light", "Enable Light" / "Disable Light", "Delete Light".
class EditLightCommand final : public ListEditCommand<std::vector<Light>> {
  public:
    EditLightCommand(Document& doc, LightEdit edit);

  private:
    std::int32_t apply(Document& doc) override;
    std::vector<Light>& list(Document& doc) const override { return doc.lights(); }

    LightEdit edit_;
};

// Appends a label; refuses empty text. index() is the new label's. "Add Label".
class AddLabelCommand final : public ListEditCommand<std::vector<TextLabel>> {
  public:
    AddLabelCommand(Document& doc, TextLabel label);

  private:
    std::int32_t apply(Document& doc) override;
    std::vector<TextLabel>& list(Document& doc) const override { return doc.labels(); }

    TextLabel label_;
};

// Removes the label at an index. "Delete Label".
class DeleteLabelCommand final : public ListEditCommand<std::vector<TextLabel>> {
  public:
    DeleteLabelCommand(Document& doc, std::int32_t label);

  private:
    std::int32_t apply(Document& doc) override;
    std::vector<TextLabel>& list(Document& doc) const override { return doc.labels(); }

    std::int32_t label_;
};

}  // namespace korvan
