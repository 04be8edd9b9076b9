#include "cli/verbs/materials.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/document_verbs.h"
#include "cli/verbs/verb_support.h"
#include "core/mesh.h"
#include "document/commands/material_commands.h"
#include "document/commands/mesh_attribute_commands.h"
#include "document/commands/uv_commands.h"
#include "document/document.h"
#include "document/material_library.h"

// The materials and layers verbs. They edit the root mesh, the geometry the other mesh verbs
// edit, and the material library; every edit runs through the command the desktop program
// would push, on the document in memory, and reaches the disk only with --out (the
// ", saved to" sentence then ends the first line). Report wording:
//
//   materials: "materials=N unused=N", then per material
//              `  I "NAME" albedo=(R,G,B) faces=N area=F`; faces and area count the root
//              mesh, unused counts materials that no face of any mesh and no node paint names
//              (as stats does). With --name/--index alone only that material is listed. An
//              edit prints its line first, then the whole list:
//              `added=1 material_index=I name="NAME"`,
//              `renamed=1 material_index=I name="NEW" old="OLD"`,
//              `albedo=(R,G,B) material_index=I name="NAME"` (roughness=, metallic=,
//              opacity= alike), `duplicated=1 material_index=COPY name="COPY" source=I`.
//   mat-uv:    "materials=N", then per material
//              `  I "NAME"\tpattern=P\tuv_scale=W,H\tuv_offset=U,V\tuv_rotation=D`;
//              a change prints `uv_set=1 material_index=I name="NAME"` and the same fields.
//   uv-bake:   "uv-bake faces=N corners=N stored_before=N stored_after=N"; exit 2 with
//              "uv-bake: nothing baked".
//   face edits: "reassigned=N from=A to=B", "painted=N layer=L mat=M",
//              "assigned=N mat=M layer=L", "changed=N mat=M visible=0|1",
//              "changed=N layer=L visible=0|1"; N may be 0 (exit 0).
//   layers:    "layers=N", then per layer `  I on|off faces=N area=F` for layers 0 up to
//              the highest one the mesh knows (its visibility list or a face); a change
//              prints "layer=L visible=0|1 changed=0|1" first.
// Refusals are one sentence on standard error starting with the verb, exit 1.

namespace korvan::cli {
namespace {

void append_key(std::string& out, std::string_view key, std::int64_t value) {
    out.append(key).append("=");
    append_int(out, value);
}

void append_key_float(std::string& out, std::string_view key, double value) {
    out.append(key).append("=");
    append_float(out, value);
}

MeshLocator root_locator(Document& doc) { return MeshLocator::of_node(&doc.root()); }

std::string no_material_sentence(std::uint32_t index, std::size_t count) {
    std::string s = "no material ";
    append_int(s, index);
    s += " (materials=";
    append_int(s, static_cast<std::int64_t>(count));
    s += ')';
    return s;
}

// Faces can be moved to, and layers shown or hidden up to, this id. The mesh keeps one
// visibility entry per layer up to the highest and the file lists them all, so an id near
// kInvalidLayer would cost gigabytes; no model needs a million layers.
constexpr std::uint32_t kMaxLayerId = (1u << 20) - 1;

std::string layer_range_sentence(std::uint32_t layer) {
    std::string s = "layer ";
    append_int(s, layer);
    s += " is out of range (layer ids go up to ";
    append_int(s, kMaxLayerId);
    s += ')';
    return s;
}

// The material chosen by --index (first) or --name; `given` is false when neither was.
struct Selection {
    bool given = false;
    std::int32_t index = -1;  // -1 when the choice matched nothing
};

Selection select_material(const Options& o, const MaterialLibrary& lib) {
    if (o.index.given) {
        return {true, lib.valid(o.index.value) ? static_cast<std::int32_t>(o.index.value) : -1};
    }
    if (o.name.given) return {true, lib.find_by_name(o.name.value)};
    return {};
}

std::string unmatched_sentence(const Options& o, const MaterialLibrary& lib) {
    std::string s;
    if (o.index.given) {
        s = "no material at index ";
        append_int(s, o.index.value);
        s += " (materials=";
        append_int(s, static_cast<std::int64_t>(lib.size()));
        s += ')';
    } else {
        s = "no material named ";
        append_quoted(s, o.name.value);
    }
    return s;
}

// ---- materials -------------------------------------------------------------------------

struct MaterialUse {
    std::vector<std::uint64_t> faces;  // per material, alive faces of the root mesh
    std::vector<double> area;          // per material, their area
    std::vector<bool> used;            // named by any face of any mesh or by a node paint
};

void mark_faces(const Mesh& mesh, std::vector<bool>& used) {
    for (const Face& f : mesh.faces()) {
        if (f.alive && f.material_id < used.size()) used[f.material_id] = true;
    }
}

MaterialUse material_use(const Document& doc) {
    const std::size_t n = doc.materials().size();
    MaterialUse use{std::vector<std::uint64_t>(n, 0), std::vector<double>(n, 0.0),
                    std::vector<bool>(n, false)};
    const Mesh& root = doc.root().mesh;
    for (FaceId f = 0; f < root.faces().size(); ++f) {
        const Face& face = root.faces()[f];
        if (!face.alive || face.material_id >= n) continue;
        ++use.faces[face.material_id];
        use.area[face.material_id] += root.face_area(f);
    }
    // Explicit stack: a hostile file may nest nodes deeper than the call stack allows.
    std::vector<const SceneNode*> stack{&doc.root()};
    while (!stack.empty()) {
        const SceneNode* node = stack.back();
        stack.pop_back();
        mark_faces(node->mesh, use.used);
        if (node->material >= 0 && static_cast<std::size_t>(node->material) < n) {
            use.used[static_cast<std::size_t>(node->material)] = true;
        }
        for (const auto& child : node->children) stack.push_back(child.get());
    }
    for (const ComponentDefinition& def : doc.definitions()) mark_faces(def.mesh, use.used);
    return use;
}

void append_material_line(std::string& out, const Document& doc, const MaterialUse& use,
                          std::size_t i) {
    const Material& m = doc.materials()[i];
    out += "  ";
    append_int(out, static_cast<std::int64_t>(i));
    out += ' ';
    append_quoted(out, m.name);
    out += " albedo=";
    append_vec3(out, m.albedo.r, m.albedo.g, m.albedo.b);
    out += ' ';
    append_key(out, "faces", static_cast<std::int64_t>(use.faces[i]));
    out += ' ';
    append_key_float(out, "area", use.area[i]);
    out += '\n';
}

// The material list; only `only` when it is 0 or more.
void append_material_list(std::string& out, const Document& doc, std::int32_t only = -1) {
    const MaterialUse use = material_use(doc);
    std::int64_t unused = 0;
    for (const bool u : use.used) unused += u ? 0 : 1;
    append_key(out, "materials", static_cast<std::int64_t>(doc.materials().size()));
    out += ' ';
    append_key(out, "unused", unused);
    out += '\n';
    for (std::size_t i = 0; i < doc.materials().size(); ++i) {
        if (only < 0 || static_cast<std::size_t>(only) == i) {
            append_material_line(out, doc, use, i);
        }
    }
}

bool unit_interval(float v) { return v >= 0.0f && v <= 1.0f; }

std::string edit_line(std::string_view action, std::int32_t index, const Material& m) {
    std::string s(action);
    s += " material_index=";
    append_int(s, index);
    s += " name=";
    append_quoted(s, m.name);
    return s;
}

// A user-added material needs an ASCII key like the built-in ones: "mat_user_" and the first
// number from its index up that no material's id uses yet.
std::string new_material_id(const MaterialLibrary& lib) {
    for (std::size_t n = lib.size();; ++n) {
        std::string id = "mat_user_";
        append_int(id, static_cast<std::int64_t>(n));
        if (lib.find_by_id(id) < 0) return id;
    }
}

}  // namespace

int run_materials(const VerbCall& call) {
    const Options& o = call.options;
    int edits = 0;
    for (const bool e : {o.add, o.rename.given, o.albedo.given, o.roughness.given, o.metallic.given,
                         o.opacity.given, o.duplicate}) {
        edits += e ? 1 : 0;
    }
    if (edits > 1) {
        return refuse(call,
                      "--add, --rename, --albedo, --roughness, --metallic, --opacity and "
                      "--duplicate are mutually exclusive");
    }
    if (o.add && !o.name.given) return refuse(call, "--add needs --name NAME");
    if (o.albedo.given && !(unit_interval(o.albedo.value[0]) && unit_interval(o.albedo.value[1]) &&
                            unit_interval(o.albedo.value[2]))) {
        return refuse(call, "--albedo components must be in 0..1");
    }
    if (o.roughness.given && !unit_interval(o.roughness.value)) {
        return refuse(call, "--roughness must be in 0..1");
    }
    if (o.metallic.given && !unit_interval(o.metallic.value)) {
        return refuse(call, "--metallic must be in 0..1");
    }
    if (o.opacity.given && !unit_interval(o.opacity.value)) {
        return refuse(call, "--opacity must be in 0..1");
    }

    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    MaterialLibrary& lib = doc->materials();

    std::string report;
    if (o.add) {
        MaterialEdit edit;
        edit.kind = MaterialEditKind::kAdd;
        edit.material.id = new_material_id(lib);
        edit.material.name = o.name.value;
        EditMaterialCommand cmd(*doc, std::move(edit));
        cmd.redo();
        if (cmd.index() < 0) return refuse(call, cmd.refusal());
        report = edit_line("added=1", cmd.index(), lib[static_cast<std::size_t>(cmd.index())]);
        report += '\n';
        append_material_list(report, *doc);
        return finish_report(call, *doc, std::move(report));
    }

    const Selection sel = select_material(o, lib);
    if (sel.given && sel.index < 0) return refuse(call, unmatched_sentence(o, lib));
    if (edits == 0) {
        append_material_list(report, *doc, sel.index);
        return finish_report(call, *doc, std::move(report));
    }
    if (!sel.given) {
        return refuse(call, "this edit needs --name NAME or --index N to choose the material");
    }

    MaterialEdit edit;
    edit.index = sel.index;
    const std::string old_name = lib[static_cast<std::size_t>(sel.index)].name;
    std::string action;
    if (o.rename.given) {
        edit.kind = MaterialEditKind::kRename;
        edit.name = o.rename.value;
        action = "renamed=1";
    } else if (o.duplicate) {
        edit.kind = MaterialEditKind::kDuplicate;
        action = "duplicated=1";
    } else if (o.albedo.given) {
        edit.kind = MaterialEditKind::kSetAlbedo;
        edit.albedo = Rgb{o.albedo.value[0], o.albedo.value[1], o.albedo.value[2]};
        action = "albedo=";
        append_vec3(action, edit.albedo.r, edit.albedo.g, edit.albedo.b);
    } else {
        const bool rough = o.roughness.given, metal = o.metallic.given;
        edit.kind = rough   ? MaterialEditKind::kSetRoughness
                    : metal ? MaterialEditKind::kSetMetallic
                            : MaterialEditKind::kSetOpacity;
        edit.value = rough ? o.roughness.value : metal ? o.metallic.value : o.opacity.value;
        action = rough ? "roughness=" : metal ? "metallic=" : "opacity=";
        append_float(action, edit.value);
    }
    EditMaterialCommand cmd(*doc, std::move(edit));
    cmd.redo();
    if (cmd.index() < 0) return refuse(call, cmd.refusal());
    report = edit_line(action, cmd.index(), lib[static_cast<std::size_t>(cmd.index())]);
    if (o.rename.given) {
        report += " old=";
        append_quoted(report, old_name);
    } else if (o.duplicate) {
        report += ' ';
        append_key(report, "source", sel.index);
    }
    report += '\n';
    append_material_list(report, *doc);
    return finish_report(call, *doc, std::move(report));
}

// ---- mat-uv ----------------------------------------------------------------------------

namespace {

std::string_view pattern_word(TexturePattern p) {
    switch (p) {
        case TexturePattern::kChecker:
            return "checker";
        case TexturePattern::kBrick:
            return "brick";
        case TexturePattern::kNone:
            break;
    }
    return "none";  // unknown codes read from a file name themselves none
}

TexturePattern pattern_of(UvPattern p) {
    switch (p) {
        case UvPattern::kChecker:
            return TexturePattern::kChecker;
        case UvPattern::kBrick:
            return TexturePattern::kBrick;
        case UvPattern::kNone:
            break;
    }
    return TexturePattern::kNone;
}

void append_pair(std::string& out, float a, float b) {
    append_float(out, a);
    out += ',';
    append_float(out, b);
}

void append_uv_fields(std::string& out, const MaterialUv& uv) {
    out += "\tpattern=";
    out += pattern_word(uv.pattern);
    out += "\tuv_scale=";
    append_pair(out, uv.tile_width, uv.tile_height);
    out += "\tuv_offset=";
    append_pair(out, uv.offset_u, uv.offset_v);
    out += "\tuv_rotation=";
    append_float(out, uv.rotation_deg);
}

}  // namespace

int run_mat_uv(const VerbCall& call) {
    const Options& o = call.options;
    const bool mutation =
        o.uv_pattern.given || o.uv_scale.given || o.uv_offset.given || o.uv_rotation.given;
    if (mutation && !o.name.given && !o.index.given) {
        write_err("mat-uv mutation requires --name or --index\n");
        return kExitFailure;
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const MaterialLibrary& lib = doc->materials();

    std::string report;
    if (mutation) {
        const Selection sel = select_material(o, lib);
        if (sel.index < 0) return refuse(call, "no such material");
        MaterialUv uv = lib[static_cast<std::size_t>(sel.index)].uv;
        if (o.uv_pattern.given) uv.pattern = pattern_of(o.uv_pattern.value);
        if (o.uv_scale.given) {
            uv.tile_width = o.uv_scale.value[0];
            uv.tile_height = o.uv_scale.value[1];
        }
        if (o.uv_offset.given) {
            uv.offset_u = o.uv_offset.value[0];
            uv.offset_v = o.uv_offset.value[1];
        }
        if (o.uv_rotation.given) uv.rotation_deg = o.uv_rotation.value;
        SetMaterialUvCommand cmd(*doc, sel.index, uv);
        cmd.redo();
        if (cmd.index() < 0) return refuse(call, cmd.refusal());
        const Material& m = lib[static_cast<std::size_t>(sel.index)];
        report = edit_line("uv_set=1", sel.index, m);
        append_uv_fields(report, m.uv);
        report += '\n';
        return finish_report(call, *doc, std::move(report));
    }

    append_key(report, "materials", static_cast<std::int64_t>(lib.size()));
    report += '\n';
    for (std::size_t i = 0; i < lib.size(); ++i) {
        report += "  ";
        append_int(report, static_cast<std::int64_t>(i));
        report += ' ';
        append_quoted(report, lib[i].name);
        append_uv_fields(report, lib[i].uv);
        report += '\n';
    }
    return finish_report(call, *doc, std::move(report));
}

// ---- uv-bake ---------------------------------------------------------------------------

int run_uv_bake(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const FaceId face = call.options.face.given ? call.options.face.value : kInvalidId;
    if (call.options.face.given && !doc->root().mesh.face_usable(face)) {
        std::string s = "no such alive face ";
        append_int(s, face);
        return refuse(call, s);
    }
    BakeProjectedUvCommand cmd(*doc, root_locator(*doc), face);
    cmd.redo();
    const UvBakeCounts& n = cmd.counts();
    if (n.corners == 0) {
        write_err("uv-bake: nothing baked\n");
        return kExitNothingToDo;
    }
    std::string report = "uv-bake ";
    append_key(report, "faces", static_cast<std::int64_t>(n.faces));
    report += ' ';
    append_key(report, "corners", static_cast<std::int64_t>(n.corners));
    report += ' ';
    append_key(report, "stored_before", static_cast<std::int64_t>(n.stored_before));
    report += ' ';
    append_key(report, "stored_after", static_cast<std::int64_t>(n.stored_after));
    report += '\n';
    return finish_report(call, *doc, std::move(report));
}

// ---- Face attribute edits ----------------------------------------------------------------

namespace {

// Runs the edit on the root mesh and prints "<count_key>=N" and the fields.
int run_face_edit(const VerbCall& call, Document& doc, const FaceAttributeChange& change,
                  std::string_view count_key,
                  std::initializer_list<std::pair<std::string_view, std::int64_t>> fields) {
    FaceAttributeCommand cmd(doc, root_locator(doc), change);
    cmd.redo();
    std::string report;
    append_key(report, count_key, static_cast<std::int64_t>(cmd.faces_changed()));
    for (const auto& [key, value] : fields) {
        report += ' ';
        append_key(report, key, value);
    }
    report += '\n';
    return finish_report(call, doc, std::move(report));
}

}  // namespace

int run_reassign(const VerbCall& call) {
    const Options& o = call.options;
    const bool layers = call.verb == "reassign-layer";
    if (!o.from.given || !o.to.given) return refuse_missing(call, "--from A and --to B");
    if (layers && o.to.value > kMaxLayerId) return refuse(call, layer_range_sentence(o.to.value));
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    // A face may already name a material the library lacks (a damaged file), but no edit
    // should create one.
    if (!layers && !doc->materials().valid(o.to.value)) {
        return refuse(call, no_material_sentence(o.to.value, doc->materials().size()));
    }
    FaceAttributeChange change;
    change.kind = layers ? FaceAttributeEdit::kReplaceLayer : FaceAttributeEdit::kReplaceMaterial;
    change.from = o.from.value;
    change.to = o.to.value;
    return run_face_edit(call, *doc, change, "reassigned",
                         {{"from", o.from.value}, {"to", o.to.value}});
}

int run_paint_layer(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.layer.given || !o.mat.given) return refuse_missing(call, "--layer L and --mat M");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    if (!doc->materials().valid(o.mat.value)) {
        return refuse(call, no_material_sentence(o.mat.value, doc->materials().size()));
    }
    FaceAttributeChange change;
    change.kind = FaceAttributeEdit::kPaintLayer;
    change.layer = o.layer.value;
    change.material = o.mat.value;
    return run_face_edit(call, *doc, change, "painted",
                         {{"layer", o.layer.value}, {"mat", o.mat.value}});
}

int run_assign_mat_layer(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.mat.given || !o.layer.given) return refuse_missing(call, "--mat M and --layer L");
    if (o.layer.value > kMaxLayerId) return refuse(call, layer_range_sentence(o.layer.value));
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    FaceAttributeChange change;
    change.kind = FaceAttributeEdit::kAssignMaterialLayer;
    change.material = o.mat.value;
    change.layer = o.layer.value;
    return run_face_edit(call, *doc, change, "assigned",
                         {{"mat", o.mat.value}, {"layer", o.layer.value}});
}

int run_face_visibility(const VerbCall& call) {
    const Options& o = call.options;
    const bool by_material = call.verb == "hide-mat" || call.verb == "show-mat";
    const bool visible = call.verb == "show-mat" || call.verb == "show-layer-faces";
    if (by_material && !o.mat.given) return refuse_missing(call, "--mat M");
    if (!by_material && !o.layer.given) return refuse_missing(call, "--layer L");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    FaceAttributeChange change;
    change.kind = by_material ? FaceAttributeEdit::kSetMaterialVisible
                              : FaceAttributeEdit::kSetLayerFacesVisible;
    change.material = o.mat.value;
    change.layer = o.layer.value;
    change.visible = visible;
    if (by_material) {
        return run_face_edit(call, *doc, change, "changed",
                             {{"mat", o.mat.value}, {"visible", visible}});
    }
    return run_face_edit(call, *doc, change, "changed",
                         {{"layer", o.layer.value}, {"visible", visible}});
}

// ---- layers ------------------------------------------------------------------------------

int run_layers(const VerbCall& call) {
    const Options& o = call.options;
    if (o.layer.given != o.visible.given) {
        return refuse(call, "--layer and --visible go together (--layer N --visible 0|1)");
    }
    if (o.layer.given && o.layer.value > kMaxLayerId) {
        return refuse(call, layer_range_sentence(o.layer.value));
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    Mesh& mesh = doc->root().mesh;

    std::string report;
    if (o.layer.given) {
        SetLayerVisibleCommand cmd(*doc, root_locator(*doc), o.layer.value, o.visible.value);
        cmd.redo();
        append_key(report, "layer", o.layer.value);
        report += ' ';
        append_key(report, "visible", o.visible.value);
        report += ' ';
        append_key(report, "changed", !cmd.is_noop());
        report += '\n';
    }

    const std::size_t listed = mesh.layer_visibility().size();
    const std::uint64_t top =
        std::max<std::uint64_t>(listed == 0 ? 0 : listed - 1, mesh.max_layer_id());
    std::vector<std::uint64_t> faces(top + 1, 0);
    std::vector<double> area(top + 1, 0.0);
    for (FaceId f = 0; f < mesh.faces().size(); ++f) {
        const Face& face = mesh.faces()[f];
        if (!face.alive || face.layer_id > top) continue;
        ++faces[face.layer_id];
        area[face.layer_id] += mesh.face_area(f);
    }
    append_key(report, "layers", static_cast<std::int64_t>(top + 1));
    report += '\n';
    for (std::uint64_t layer = 0; layer <= top; ++layer) {
        report += "  ";
        append_int(report, static_cast<std::int64_t>(layer));
        report += mesh.layer_visible(static_cast<std::uint32_t>(layer)) ? " on " : " off ";
        append_key(report, "faces", static_cast<std::int64_t>(faces[layer]));
        report += ' ';
        append_key_float(report, "area", area[layer]);
        report += '\n';
    }
    return finish_report(call, *doc, std::move(report));
}

}  // namespace korvan::cli
