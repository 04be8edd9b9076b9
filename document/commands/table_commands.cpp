#include "document/commands/table_commands.h"

#include <utility>

namespace korvan {
namespace {

std::string tag_label(const TagEdit& e) {
    switch (e.kind) {
        case TagEditKind::kAdd:
            return "Add Tag";
        case TagEditKind::kSetVisible:
            return e.visible ? "Show Tag" : "Hide Tag";
        case TagEditKind::kRename:
            return "Rename Tag";
        case TagEditKind::kDuplicate:
            return "Duplicate Tag";
    }
    return "Edit Tag";
}

std::string scene_label(SceneEditKind kind) {
    switch (kind) {
        case SceneEditKind::kAdd:
            return "Add Scene";
        case SceneEditKind::kRename:
            return "Rename Scene";
        case SceneEditKind::kDelete:
            return "Delete Scene";
        case SceneEditKind::kDuplicate:
            return "Duplicate Scene";
        case SceneEditKind::kUpdate:
            return "Update Scene";
    }
    return "Edit Scene";
}

std::string section_label(const SectionEdit& e) {
    switch (e.kind) {
        case SectionEditKind::kAdd:
            return "Add Section";
        case SectionEditKind::kSetActive:
            return e.active ? "Activate Section" : "Deactivate Section";
        case SectionEditKind::kRename:
            return "Rename Section";
        case SectionEditKind::kDelete:
            return "Delete Section";
        case SectionEditKind::kUpdate:
            return "Update Section";
    }
    return "Edit Section";
}

std::string light_label(const LightEdit& e) {
    switch (e.kind) {
        case LightEditKind::kAdd:
            return "Add Light";
        case LightEditKind::kSetEnabled:
            return e.enabled ? "Enable Light" : "Disable Light";
        case LightEditKind::kDelete:
            return "Delete Light";
    }
    return "Edit Light";
}

// The index of a successful in-place edit, or -1.
std::int32_t done(bool ok, std::int32_t index) { return ok ? index : -1; }

}  // namespace

// ---- Tags --------------------------------------------------------------------------------

void DeleteTagCommand::redo() {
    if (applied_) return;
    deletion_ = doc_.delete_tag(tag_);
    applied_ = deletion_.ok;
}

void DeleteTagCommand::undo() {
    if (!applied_) return;
    doc_.restore_tag(deletion_);
    applied_ = false;
}

EditTagCommand::EditTagCommand(Document& doc, TagEdit edit)
    : ListEditCommand(doc, tag_label(edit)), edit_(std::move(edit)) {}

std::int32_t EditTagCommand::apply(Document& doc) {
    std::int32_t out = -1;
    switch (edit_.kind) {
        case TagEditKind::kAdd:
            out = doc.ensure_tag(edit_.name);
            return out < 0 ? refuse("tag name is empty") : out;
        case TagEditKind::kSetVisible:
            out = done(doc.set_tag_visible(edit_.tag, edit_.visible), edit_.tag);
            break;
        case TagEditKind::kRename:
            out = done(doc.rename_tag(edit_.tag, edit_.name), edit_.tag);
            break;
        case TagEditKind::kDuplicate:
            out = doc.duplicate_tag(edit_.tag);
            break;
    }
    return out < 0 ? refuse("no such tag") : out;
}

// ---- Scenes, sections, lights ----------------------------------------------------------

EditSceneCommand::EditSceneCommand(Document& doc, SceneEdit edit)
    : ListEditCommand(doc, scene_label(edit.kind)), edit_(std::move(edit)) {}

std::int32_t EditSceneCommand::apply(Document& doc) {
    std::int32_t out = -1;
    switch (edit_.kind) {
        case SceneEditKind::kAdd:
            return doc.add_scene(edit_.name);
        case SceneEditKind::kRename:
            out = done(doc.rename_scene(edit_.scene, edit_.name), edit_.scene);
            break;
        case SceneEditKind::kDelete:
            out = done(doc.delete_scene(edit_.scene).has_value(), edit_.scene);
            break;
        case SceneEditKind::kDuplicate:
            out = doc.duplicate_scene(edit_.scene);
            break;
        case SceneEditKind::kUpdate:
            out = done(doc.update_scene(edit_.scene, edit_.source), edit_.scene);
            break;
    }
    return out < 0 ? refuse("no such scene") : out;
}

EditSectionCommand::EditSectionCommand(Document& doc, SectionEdit edit)
    : ListEditCommand(doc, section_label(edit)), edit_(std::move(edit)) {}

std::int32_t EditSectionCommand::apply(Document& doc) {
    std::int32_t out = -1;
    switch (edit_.kind) {
        case SectionEditKind::kAdd:
            return doc.add_section(edit_.name);
        case SectionEditKind::kSetActive:
            out = done(doc.set_section_active(edit_.section, edit_.active), edit_.section);
            break;
        case SectionEditKind::kRename:
            out = done(doc.rename_section(edit_.section, edit_.name), edit_.section);
            break;
        case SectionEditKind::kDelete:
            out = done(doc.delete_section(edit_.section).has_value(), edit_.section);
            break;
        case SectionEditKind::kUpdate:
            out = done(doc.update_section(edit_.section, edit_.source), edit_.section);
            break;
    }
    return out < 0 ? refuse("no such section") : out;
}

EditLightCommand::EditLightCommand(Document& doc, LightEdit edit)
    : ListEditCommand(doc, light_label(edit)), edit_(std::move(edit)) {}

std::int32_t EditLightCommand::apply(Document& doc) {
    std::int32_t out = -1;
    switch (edit_.kind) {
        case LightEditKind::kAdd:
            return doc.add_light(edit_.light);
        case LightEditKind::kSetEnabled:
            out = done(doc.set_light_enabled(edit_.index, edit_.enabled), edit_.index);
            break;
        case LightEditKind::kDelete:
            out = done(doc.delete_light(edit_.index).has_value(), edit_.index);
            break;
    }
    return out < 0 ? refuse("no such light") : out;
}

// ---- Labels ------------------------------------------------------------------------------

AddLabelCommand::AddLabelCommand(Document& doc, TextLabel label)
    : ListEditCommand(doc, "Add Label"), label_(std::move(label)) {}

std::int32_t AddLabelCommand::apply(Document& doc) {
    const std::int32_t out = doc.add_label(label_);
    return out < 0 ? refuse("label text is empty") : out;
}

DeleteLabelCommand::DeleteLabelCommand(Document& doc, std::int32_t label)
    : ListEditCommand(doc, "Delete Label"), label_(label) {}

std::int32_t DeleteLabelCommand::apply(Document& doc) {
    return doc.delete_label(label_) ? label_ : refuse("no such label");
}

}  // namespace korvan
