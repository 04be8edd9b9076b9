#include "io/korv_writer.h"

#include <algorithm>
#include <fstream>
#include <string_view>
#include <system_error>

#include "core/mesh.h"
#include "document/document.h"
#include "document/mesh_copy.h"
#include "io/korv_mesh_writer.h"
#include "io/korv_text.h"

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
        out_ += '\n';
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
    void num(float v) { append_general(out_, v); }
    void sp() { out_ += ' '; }
    void tab() { out_ += '\t'; }
    void nl() { out_ += '\n'; }
    void flag(bool v) { out_ += v ? '1' : '0'; }
    void vec(const Vec3& v) { num(v.x), sp(), num(v.y), sp(), num(v.z); }
    void text(std::string_view s) { append_text_field(out_, s); }
    void header(std::string_view keyword, std::uint64_t count) {
        out_ += keyword;
        sp();
        append_uint(out_, count);
        nl();
    }

    void write_settings(const Document& doc) {
        const UnitsOptions& u = doc.units_options();
        if (!(u == UnitsOptions{})) {
            out_ += "UNITS_OPTIONS ";
            append_int(out_, u.length_precision), sp(), flag(u.length_snap_on), sp();
            num(u.length_snap), sp(), append_int(out_, u.angle_precision), sp();
            flag(u.angle_snap_on), sp(), num(u.angle_snap_deg), nl();
        }
        const ShadowSettings& s = doc.shadows();
        if (!(s == ShadowSettings{})) {
            out_ += "SHADOW_INFO ";
            flag(s.shadows_on), sp(), append_int(out_, s.time_minutes), sp();
            append_int(out_, s.day_of_year), nl();
        }
        const SavedView& v = doc.view();
        if (v.has_view) {
            out_ += "VIEW ";
            vec(v.eye), sp(), vec(v.target), sp(), vec(v.up), sp(), num(v.fov_deg), sp();
            flag(v.flag), sp(), num(v.size), nl();
        }
    }

    void write_materials(const MaterialLibrary& library) {
        const std::span<const Material> materials = library.materials();
        header("MATERIALS", materials.size());
        for (const Material& m : materials) {
            text(m.id), tab(), text(m.name), tab();
            num(m.albedo.r), sp(), num(m.albedo.g), sp(), num(m.albedo.b), sp();
            num(m.opacity), sp(), num(m.roughness), sp(), num(m.metallic);
            if (!m.texture_path.empty()) tab(), text(m.texture_path);
            nl();
        }
        const auto with_uv = std::count_if(materials.begin(), materials.end(),
                                           [](const Material& m) { return !m.uv.is_default(); });
        if (with_uv == 0) return;
        header("MATERIALUV", static_cast<std::uint64_t>(with_uv));
        for (std::size_t i = 0; i < materials.size(); ++i) {
            const MaterialUv& uv = materials[i].uv;
            if (uv.is_default()) continue;
            append_uint(out_, i), sp(), num(uv.tile_width), sp(), num(uv.tile_height), sp();
            num(uv.offset_u), sp(), num(uv.offset_v), sp(), num(uv.rotation_deg), sp();
            append_int(out_, static_cast<std::int32_t>(uv.pattern)), nl();
        }
    }

    void write_scenes(const std::vector<Scene>& scenes) {
        header("SCENES", scenes.size());
        for (const Scene& s : scenes) {
            text(s.name), tab(), vec(s.eye), sp(), vec(s.target), sp(), num(s.fov_deg), sp();
            vec(s.up);
            if (!s.photo.empty()) {
                tab();
                if (!s.photo_params.empty()) {
                    out_ += 'G';
                    for (const float p : s.photo_params) sp(), num(p);
                    tab();
                }
                text(s.photo);
            }
            nl();
        }
        const auto with_props = std::count_if(scenes.begin(), scenes.end(),
                                              [](const Scene& s) { return s.has_properties; });
        if (with_props == 0) return;
        header("SCENEPROPS", static_cast<std::uint64_t>(with_props));
        for (std::size_t i = 0; i < scenes.size(); ++i) {
            if (!scenes[i].has_properties) continue;
            const SceneProperties& p = scenes[i].properties;
            append_uint(out_, i), sp(), flag(p.flag_a), sp(), num(p.number_a), sp();
            append_uint(out_, p.count), sp(), num(p.number_b), sp(), flag(p.flag_b), sp();
            append_int(out_, p.int_a), sp(), flag(p.flag_c), sp(), append_int(out_, p.int_b);
            sp(), append_int(out_, p.int_c);
            for (const std::string& name : p.names) tab(), text(name);
            nl();
        }
    }

    void write_sections(const std::vector<SectionPlane>& sections) {
        header("SECTIONS", sections.size());
        for (const SectionPlane& s : sections) {
            text(s.name), tab(), vec(s.point), sp(), vec(s.normal), sp(), flag(s.active), nl();
        }
    }

    void write_lights(const std::vector<Light>& lights) {
        if (lights.empty()) return;
        header("LIGHTS", lights.size());
        for (const Light& l : lights) {
            text(l.name), tab(), out_ += light_kind_name(l.kind), sp();
            vec(l.position), sp(), vec(l.direction), sp(), vec(l.up), sp();
            num(l.width), sp(), num(l.height), sp();
            num(l.colour.r), sp(), num(l.colour.g), sp(), num(l.colour.b), sp();
            num(l.intensity), sp(), flag(l.enabled), sp();
            num(l.cone_inner_deg), sp(), num(l.cone_outer_deg), nl();
        }
    }

    void write_labels(const std::vector<TextLabel>& labels) {
        if (labels.empty()) return;
        header("LABELS", labels.size());
        for (const TextLabel& l : labels) {
            vec(l.position), sp(), num(l.height), sp(), append_int(out_, l.tag), tab();
            text(l.text), nl();
        }
    }

    void write_tags(const std::vector<Tag>& tags) {
        header("TAGS", tags.size());
        for (const Tag& t : tags) text(t.name), tab(), flag(t.visible), nl();
    }

    void write_definitions(const std::vector<ComponentDefinition>& definitions) {
        if (definitions.empty()) return;
        header("DEFINITIONS", definitions.size());
        for (const ComponentDefinition& d : definitions) {
            out_ += "DEF ";
            text(d.id), tab(), text(d.name), tab(), text(d.category), nl();
            append_mesh_block(out_, d.mesh);
            out_ += "ENDDEF\n";
        }
    }

    // The transform, then each field that differs from its default.
    void node_tail(const SceneNode& node) {
        for (std::size_t i = 0; i < node.transform.m.size(); ++i) {
            if (i > 0) sp();
            num(node.transform.m[i]);
        }
        if (node.tag >= 0) tab(), append_int(out_, node.tag);
        if (!node.visible) out_ += "\tv0";
        if (node.locked) out_ += "\tL1";
        if (node.material >= 0) out_ += "\tM:", append_int(out_, node.material);
        if (!node.casts_shadows) out_ += "\tSC0";
        if (!node.receives_shadows) out_ += "\tSR0";
        for (const NodeAttribute& a : node.attributes) {
            out_ += "\tA:";
            append_percent_encoded(out_, a.key);
            out_ += '=';
            append_percent_encoded(out_, a.value);
        }
    }

    void instance_fields(const SceneNode& node) {
        text(node.definition_id), tab(), text(node.name), tab(), node_tail(node);
    }

    void write_group(const SceneNode& group) {
        out_ += "GROUP\t";
        text(group.name), tab(), node_tail(group), nl();
        if (mesh_has_content(group.mesh)) append_mesh_block(out_, group.mesh);
        for (const auto& child : group.children) {
            if (child->is_instance()) {
                out_ += "INSTANCE\t";
                instance_fields(*child), nl();
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
                if (child->is_instance()) instance_fields(*child), nl();
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
    const std::string text = format_document(doc, root_mesh);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (out.fail()) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        return false;
    }
    return true;
}

}  // namespace korvan::io
