#include "io/korv_writer.h"

#include "platform/atomic_file.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "core/mesh.h"
#include "document/document.h"
#include "document/mesh_copy.h"
#include "io/korv_mesh_writer.h"
#include "io/korv_text.h"
#include "platform/atomic_file.h"

// Document level of the .korv writer. Optional blocks appear only when they hold something
// other than defaults, so a simple model's file stays as it was before those blocks existed.

namespace korvan::io {
namespace {

using korv::append_mesh_block;

constexpr std::string_view kUnitWords[] = {"mm", "cm", "m", "in", "ft", "arch"};
constexpr std::size_t kMinReserve = 65536;

class DocumentWriter {
  public:
    explicit DocumentWriter(std::string& out) : out_(out) {}

    void write(const Document& doc, const Mesh& root_mesh) {
        out_ += "KORVAN 0.1\n";
        const auto unit = static_cast<std::size_t>(doc.length_unit());
        out_ += "LENGTH_UNIT ";
        out_ += unit < std::size(kUnitWords) ? kUnitWords[unit] : "m";
        end_line();
        write_settings(doc);
        write_materials(doc.materials());
        write_scenes(doc.scenes());
        write_sections(doc.sections());
        write_lights(doc.lights());
        write_labels(doc.labels());
        write_tags(doc.tags());
        write_definitions(doc.definitions());
        write_root_children(doc.root());
        append_mesh_block(out_, root_mesh);
        out_ += "ENDKORVAN\n";
    }

  private:
    // One number field each: floats at six significant digits, booleans as 0 or 1.
    void put(float v) { append_general(out_, v); }
    void put(bool v) { out_ += v ? '1' : '0'; }
    void put(std::int32_t v) { append_int(out_, v); }
    void put(std::uint32_t v) { append_uint(out_, v); }
    void put(std::uint64_t v) { append_uint(out_, v); }
    void put(const Vec3& v) { numbers(v.x, v.y, v.z); }
    // The values as space-separated number fields.
    template <class... T>
    void numbers(const T&... values) {
        bool first = true;
        auto one = [&](const auto& v) {
            if (!first) out_ += ' ';
            first = false;
            put(v);
        };
        (one(values), ...);
    }
    // A text field; tabs and line breaks inside it become spaces.
    void text(std::string_view s) { append_text_field(out_, s); }
    void tab() { out_ += '\t'; }
    void end_line() { out_ += '\n'; }
    void header(std::string_view keyword, std::uint64_t count) {
        out_ += keyword;
        out_ += ' ';
        put(count);
        end_line();
    }

    void write_settings(const Document& doc) {
        const UnitsOptions& u = doc.units_options();
        if (!(u == UnitsOptions{})) {
            out_ += "UNITS_OPTIONS ";
            numbers(u.length_precision, u.length_snap_on, u.length_snap, u.angle_precision,
                    u.angle_snap_on, u.angle_snap_deg);
            end_line();
        }
        const ShadowSettings& s = doc.shadows();
        if (!(s == ShadowSettings{})) {
            out_ += "SHADOW_INFO ";
            numbers(s.shadows_on, s.time_minutes, s.day_of_year);
            end_line();
        }
        const SavedView& v = doc.view();
        if (v.has_view) {
            out_ += "VIEW ";
            numbers(v.eye, v.target, v.up, v.fov_deg, v.flag, v.size);
            end_line();
        }
    }

    void write_materials(const MaterialLibrary& library) {
        const std::span<const Material> materials = library.materials();
        header("MATERIALS", materials.size());
        for (const Material& m : materials) {
            text(m.id);
            tab();
            text(m.name);
            tab();
            numbers(m.albedo.r, m.albedo.g, m.albedo.b, m.opacity, m.roughness, m.metallic);
            if (!m.texture_path.empty()) {
                tab();
                text(m.texture_path);
            }
            end_line();
        }
        const auto with_uv = std::count_if(materials.begin(), materials.end(),
                                           [](const Material& m) { return !m.uv.is_default(); });
        if (with_uv == 0) return;
        header("MATERIALUV", static_cast<std::uint64_t>(with_uv));
        for (std::size_t i = 0; i < materials.size(); ++i) {
            const MaterialUv& uv = materials[i].uv;
            if (uv.is_default()) continue;
            numbers(std::uint64_t{i}, uv.tile_width, uv.tile_height, uv.offset_u, uv.offset_v,
                    uv.rotation_deg, static_cast<std::int32_t>(uv.pattern));
            end_line();
        }
    }

    void write_scenes(const std::vector<Scene>& scenes) {
        header("SCENES", scenes.size());
        for (const Scene& s : scenes) {
            text(s.name);
            tab();
            numbers(s.eye, s.target, s.fov_deg, s.up);  // the field of view before up
            if (!s.photo.empty()) {
                tab();
                if (!s.photo_params.empty()) {
                    out_ += 'G';
                    for (const float p : s.photo_params) {
                        out_ += ' ';
                        put(p);
                    }
                    tab();
                }
                text(s.photo);
            }
            end_line();
        }
        const auto with_props = std::count_if(scenes.begin(), scenes.end(),
                                              [](const Scene& s) { return s.has_properties; });
        if (with_props == 0) return;
        header("SCENEPROPS", static_cast<std::uint64_t>(with_props));
        for (std::size_t i = 0; i < scenes.size(); ++i) {
            if (!scenes[i].has_properties) continue;
            const SceneProperties& p = scenes[i].properties;
            numbers(std::uint64_t{i}, p.flag_a, p.number_a, p.count, p.number_b, p.flag_b, p.int_a,
                    p.flag_c, p.int_b, p.int_c);
            for (const std::string& name : p.names) {
                tab();
                text(name);
            }
            end_line();
        }
    }

    void write_sections(const std::vector<SectionPlane>& sections) {
        header("SECTIONS", sections.size());
        for (const SectionPlane& s : sections) {
            text(s.name);
            tab();
            numbers(s.point, s.normal, s.active);
            end_line();
        }
    }

    void write_lights(const std::vector<Light>& lights) {
        if (lights.empty()) return;
        header("LIGHTS", lights.size());
        for (const Light& l : lights) {
            text(l.name);
            tab();
            out_ += light_kind_name(l.kind);
            out_ += ' ';
            numbers(l.position, l.direction, l.up, l.width, l.height, l.colour.r, l.colour.g,
                    l.colour.b, l.intensity, l.enabled, l.cone_inner_deg, l.cone_outer_deg);
            end_line();
        }
    }

    void write_labels(const std::vector<TextLabel>& labels) {
        if (labels.empty()) return;
        header("LABELS", labels.size());
        for (const TextLabel& l : labels) {
            numbers(l.position, l.height, l.tag);
            tab();
            text(l.text);
            end_line();
        }
    }

    void write_tags(const std::vector<Tag>& tags) {
        header("TAGS", tags.size());
        for (const Tag& t : tags) {
            text(t.name);
            tab();
            put(t.visible);
            end_line();
        }
    }

    void write_definitions(const std::vector<ComponentDefinition>& definitions) {
        if (definitions.empty()) return;
        header("DEFINITIONS", definitions.size());
        for (const ComponentDefinition& d : definitions) {
            out_ += "DEF ";
            text(d.id);
            tab();
            text(d.name);
            tab();
            text(d.category);
            end_line();
            append_mesh_block(out_, d.mesh);
            out_ += "ENDDEF\n";
        }
    }

    // The transform, then each field that differs from its default.
    void node_tail(const SceneNode& node) {
        for (std::size_t i = 0; i < node.transform.m.size(); ++i) {
            if (i > 0) out_ += ' ';
            put(node.transform.m[i]);
        }
        if (node.tag >= 0) {
            tab();
            put(node.tag);
        }
        if (!node.visible) out_ += "\tv0";
        if (node.locked) out_ += "\tL1";
        if (node.material >= 0) {
            out_ += "\tM:";
            put(node.material);
        }
        if (!node.casts_shadows) out_ += "\tSC0";
        if (!node.receives_shadows) out_ += "\tSR0";
        for (const NodeAttribute& a : node.attributes) {
            out_ += "\tA:";
            append_percent_encoded(out_, a.key);
            out_ += '=';
            append_percent_encoded(out_, a.value);
        }
    }

    // definition id, name, tail
    void instance_line(const SceneNode& node) {
        text(node.definition_id);
        tab();
        text(node.name);
        tab();
        node_tail(node);
        end_line();
    }

    void write_group(const SceneNode& group) {
        out_ += "GROUP\t";
        text(group.name);
        tab();
        node_tail(group);
        end_line();
        if (mesh_has_content(group.mesh)) append_mesh_block(out_, group.mesh);
        for (const auto& child : group.children) {
            if (child->is_instance()) {
                out_ += "INSTANCE\t";
                instance_line(*child);
            } else {
                write_group(*child);
            }
        }
        out_ += "ENDGROUP\n";
    }

    void write_root_children(const SceneNode& root) {
        const auto instances = std::count_if(root.children.begin(), root.children.end(),
                                             [](const auto& c) { return c->is_instance(); });
        const auto groups = static_cast<std::ptrdiff_t>(root.children.size()) - instances;
        if (instances > 0) {
            header("INSTANCES", static_cast<std::uint64_t>(instances));
            for (const auto& child : root.children) {
                if (child->is_instance()) instance_line(*child);
            }
        }
        if (groups > 0) {
            header("GROUPS", static_cast<std::uint64_t>(groups));
            for (const auto& child : root.children) {
                if (!child->is_instance()) write_group(*child);
            }
        }
    }

    std::string& out_;
};

std::size_t tree_estimate(const SceneNode& node) {
    std::size_t bytes = korv::mesh_block_estimate(node.mesh) + 256;
    for (const auto& child : node.children) bytes += tree_estimate(*child);
    return bytes;
}

}  // namespace

std::string format_document(const Document& doc, const Mesh* root_mesh) {
    const Mesh& root = root_mesh ? *root_mesh : doc.root().mesh;
    std::size_t estimate = korv::mesh_block_estimate(root) + tree_estimate(doc.root());
    for (const ComponentDefinition& d : doc.definitions()) {
        estimate += korv::mesh_block_estimate(d.mesh);
    }
    std::string out;
    out.reserve(std::max(kMinReserve, estimate));
    DocumentWriter(out).write(doc, root);
    return out;
}

bool write_document(const std::filesystem::path& path, const Document& doc, const Mesh* root_mesh) {
    return platform::write_file_atomic(path, format_document(doc, root_mesh));
}

}  // namespace korvan::io
