#include <algorithm>
#include <utility>

#include "document/document.h"
#include "document/naming.h"

namespace korvan {
namespace {

template <class T>
bool in_range(std::int32_t index, const std::vector<T>& list) {
    return index >= 0 && static_cast<std::size_t>(index) < list.size();
}

template <class T>
bool name_taken(const std::vector<T>& list, const std::string& name) {
    return std::any_of(list.begin(), list.end(), [&](const T& e) { return e.name == name; });
}

// Given name, or prefix + (size + 1) when empty; made unique with "_2", "_3", ...
template <class T>
std::string new_entry_name(const std::vector<T>& list, std::string name, std::string_view prefix) {
    if (name.empty()) name = numbered_name(prefix, list.size() + 1);
    return unique_with_underscore(name, [&](const std::string& c) { return name_taken(list, c); });
}

template <class T>
std::optional<T> take(std::vector<T>& list, std::int32_t index) {
    if (!in_range(index, list)) return std::nullopt;
    T removed = std::move(list[static_cast<std::size_t>(index)]);
    list.erase(list.begin() + index);
    return removed;
}

template <class T>
std::int32_t append(std::vector<T>& list, T value) {
    list.push_back(std::move(value));
    return static_cast<std::int32_t>(list.size() - 1);
}

}  // namespace

// ---- Scenes ----------------------------------------------------------------------------

std::int32_t Document::add_scene(std::string name) {
    Scene scene;
    scene.name = new_entry_name(scenes_, std::move(name), "Scene ");
    scene.eye = view_.eye;
    scene.target = view_.target;
    scene.up = view_.up;
    scene.fov_deg = view_.fov_deg;
    return append(scenes_, std::move(scene));
}

bool Document::rename_scene(std::int32_t scene, std::string name) {
    if (!in_range(scene, scenes_)) return false;
    scenes_[static_cast<std::size_t>(scene)].name = std::move(name);
    return true;
}

std::optional<Scene> Document::delete_scene(std::int32_t scene) { return take(scenes_, scene); }

std::int32_t Document::duplicate_scene(std::int32_t scene) {
    if (!in_range(scene, scenes_)) return -1;
    Scene copy = scenes_[static_cast<std::size_t>(scene)];
    copy.name =
        copy_name(copy.name, " copy", [&](const std::string& c) { return name_taken(scenes_, c); });
    return append(scenes_, std::move(copy));
}

bool Document::update_scene(std::int32_t destination, std::int32_t source) {
    if (!in_range(destination, scenes_) || !in_range(source, scenes_)) return false;
    Scene& dst = scenes_[static_cast<std::size_t>(destination)];
    std::string name = std::move(dst.name);
    dst = scenes_[static_cast<std::size_t>(source)];
    dst.name = std::move(name);
    return true;
}

// ---- Section planes --------------------------------------------------------------------

std::int32_t Document::add_section(std::string name) {
    SectionPlane section;
    section.name = new_entry_name(sections_, std::move(name), "Section ");
    return append(sections_, std::move(section));
}

bool Document::set_section_active(std::int32_t section, bool active) {
    if (!in_range(section, sections_)) return false;
    sections_[static_cast<std::size_t>(section)].active = active;
    return true;
}

bool Document::rename_section(std::int32_t section, std::string name) {
    if (!in_range(section, sections_)) return false;
    sections_[static_cast<std::size_t>(section)].name = std::move(name);
    return true;
}

std::optional<SectionPlane> Document::delete_section(std::int32_t section) {
    return take(sections_, section);
}

bool Document::update_section(std::int32_t destination, std::int32_t source) {
    if (!in_range(destination, sections_) || !in_range(source, sections_)) return false;
    SectionPlane& dst = sections_[static_cast<std::size_t>(destination)];
    std::string name = std::move(dst.name);
    dst = sections_[static_cast<std::size_t>(source)];
    dst.name = std::move(name);
    return true;
}

// ---- Lights and labels -----------------------------------------------------------------

std::int32_t Document::add_light(Light light) {
    light.name = new_entry_name(lights_, std::move(light.name), "Light ");
    return append(lights_, std::move(light));
}

bool Document::set_light_enabled(std::int32_t light, bool enabled) {
    if (!in_range(light, lights_)) return false;
    lights_[static_cast<std::size_t>(light)].enabled = enabled;
    return true;
}

std::optional<Light> Document::delete_light(std::int32_t light) { return take(lights_, light); }

std::int32_t Document::add_label(TextLabel label) {
    if (label.text.empty()) return -1;
    return append(labels_, std::move(label));
}

std::optional<TextLabel> Document::delete_label(std::int32_t label) { return take(labels_, label); }

}  // namespace korvan
