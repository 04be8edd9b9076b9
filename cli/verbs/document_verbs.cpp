#include "cli/verbs/document_verbs.h"

#include <charconv>
#include <optional>
#include <string>
#include <utility>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "document/commands/definition_commands.h"
#include "document/commands/node_commands.h"
#include "document/commands/table_commands.h"
#include "document/document.h"
#include "tools/purge_report.h"

// The document-table verbs: each lists its table, and with an edit option first runs the
// edit through the command the desktop program would push, on the document in memory. The
// file is written only with --out (or, for the write-back verbs, back to --in).

namespace korvan::cli {

int finish_report(const VerbCall& call, const Document& doc, std::string report, int ok_code) {
    // A run that found nothing to do writes nothing.
    const std::optional<std::filesystem::path> target =
        ok_code == kExitOk ? save_target(call) : std::nullopt;
    if (target) {
        if (!save_document(doc, *target)) return kExitFailure;
        const std::size_t first_end = report.find('\n');
        report.insert(first_end == std::string::npos ? report.size() : first_end,
                      ", saved to " + quoted_path(*target));
    }
    write_out(report);
    return ok_code;
}

namespace {

void append_key(std::string& out, std::string_view key, std::int64_t value) {
    out.append(key).append("=");
    append_int(out, value);
}

// How many of the flags are set, for the "mutually exclusive" refusals.
int count_set(std::initializer_list<bool> flags) {
    int n = 0;
    for (bool f : flags) n += f ? 1 : 0;
    return n;
}

std::uint64_t alive_faces(const Mesh& mesh) {
    std::uint64_t n = 0;
    for (const Face& f : mesh.faces()) n += f.alive ? 1 : 0;
    return n;
}

// The stats flags that prove a clear: empty counts the root mesh, doc_empty the whole tree.
bool mesh_empty(const Document& doc) { return alive_faces(doc.root().mesh) == 0; }
bool doc_empty(const Document& doc) {
    return mesh_empty(doc) && doc.root().children.empty() && doc.definitions().empty();
}

// A table index given by --index, or the entry named --name; nullopt with the refusal
// printed when neither finds one.
template <class Entry>
std::optional<std::int32_t> select_entry(const VerbCall& call, const std::vector<Entry>& list,
                                         std::string_view what) {
    const Options& o = call.options;
    if (o.index.given) {
        if (o.index.value < list.size()) return static_cast<std::int32_t>(o.index.value);
        std::string s = "no ";
        s.append(what).append(" at index ");
        append_int(s, o.index.value);
        s.append(" (").append(what).append("s=");
        append_int(s, static_cast<std::int64_t>(list.size()));
        s += ')';
        refuse(call, s);
        return std::nullopt;
    }
    if (o.name.given) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].name == o.name.value) return static_cast<std::int32_t>(i);
        }
        std::string s = "no ";
        s.append(what).append(" named ");
        append_quoted(s, o.name.value);
        refuse(call, s);
        return std::nullopt;
    }
    std::string s = "this edit needs --name NAME or --index N to choose the ";
    s.append(what);
    refuse(call, s);
    return std::nullopt;
}

// "added=1 <what>_index=N name=..." and its siblings.
std::string edit_line(std::string_view action, std::string_view what, std::int64_t index,
                      std::string_view name) {
    std::string s(action);
    s.append("=1 ").append(what).append("_index=");
    append_int(s, index);
    s.append(" name=");
    append_quoted(s, name);
    return s;
}

}  // namespace

// ---- Clearing and exploding --------------------------------------------------------------

int run_clear_mesh(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    doc->root().mesh = Mesh();
    std::string report;
    append_key(report, "faces", static_cast<std::int64_t>(alive_faces(doc->root().mesh)));
    report += ' ';
    append_key(report, "empty", mesh_empty(*doc));
    report += '\n';
    return finish_report(call, *doc, std::move(report));
}

int run_clear_doc(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    // The material library is the palette a model starts from, not content: a cleared file
    // keeps it, as a new one has it.
    MaterialLibrary materials = std::move(doc->materials());
    doc->clear();
    doc->materials() = std::move(materials);
    std::string report;
    append_key(report, "doc_empty", doc_empty(*doc));
    report += ' ';
    append_key(report, "empty", mesh_empty(*doc));
    report += '\n';
    return finish_report(call, *doc, std::move(report));
}

// The explodable nodes are the root's children: baking one leaves its geometry in the root
// mesh, where the mesh verbs reach it.
int run_explode(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const std::uint32_t index = call.options.index.given ? call.options.index.value : 0;
    const std::size_t explodables = doc->root().children.size();
    if (index >= explodables) {
        std::string err = "explode: index ";
        append_int(err, index);
        err += " out of range (explodables=";
        append_int(err, static_cast<std::int64_t>(explodables));
        err += ")\n";
        write_err(err);
        return kExitFailure;
    }
    ExplodeInstanceCommand cmd(*doc, doc->root().children[index].get());
    cmd.redo();
    if (cmd.is_noop()) return refuse(call, cmd.refusal());
    std::string report;
    append_key(report, "faces_added", static_cast<std::int64_t>(cmd.faces_added()));
    report += '\n';
    return finish_report(call, *doc, std::move(report));
}

// ---- Tags ----------------------------------------------------------------------------------

int run_tags(const VerbCall& call) {
    const Options& o = call.options;
    const bool add = o.add, rename = o.rename.given, del = o.delete_, dup = o.duplicate,
               visible = o.visible.given;
    if (count_set({add, rename, del, dup, visible}) > 1) {
        return refuse(call,
                      "--add, --visible, --rename, --delete and --duplicate are mutually "
                      "exclusive");
    }
    if (add && !o.name.given) return refuse(call, "--add needs --name NAME");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;

    std::string report;
    if (add) {
        const bool existed = doc->find_tag(o.name.value) >= 0;
        EditTagCommand cmd(*doc, TagEdit{TagEditKind::kAdd, -1, o.name.value, true});
        cmd.redo();
        if (cmd.index() < 0) return refuse(call, cmd.refusal());
        report = edit_line(existed ? "existed" : "added", "tag", cmd.index(), o.name.value);
        report += '\n';
    } else if (rename || del || dup || visible) {
        const std::optional<std::int32_t> tag = select_entry(call, doc->tags(), "tag");
        if (!tag) return kExitFailure;
        const std::string old_name = doc->tags()[static_cast<std::size_t>(*tag)].name;
        if (del) {
            DeleteTagCommand cmd(*doc, *tag);
            cmd.redo();
            if (cmd.is_noop()) return refuse(call, "the tag could not be deleted");
            const TagDeletion& d = cmd.deletion();
            report = edit_line("deleted", "tag", *tag, old_name);
            report += ' ';
            append_key(report, "nodes_untagged", static_cast<std::int64_t>(d.node_tags.size()));
            report += ' ';
            append_key(report, "labels_untagged", static_cast<std::int64_t>(d.label_tags.size()));
            report += ' ';
            append_key(report, "faces_relayered", static_cast<std::int64_t>(d.face_layers.size()));
        } else {
            TagEdit edit;
            edit.tag = *tag;
            if (rename) {
                edit.kind = TagEditKind::kRename;
                edit.name = o.rename.value;
            } else if (dup) {
                edit.kind = TagEditKind::kDuplicate;
            } else {
                edit.kind = TagEditKind::kSetVisible;
                edit.visible = o.visible.value;
            }
            EditTagCommand cmd(*doc, edit);
            cmd.redo();
            if (cmd.index() < 0) return refuse(call, cmd.refusal());
            const std::string& now = doc->tags()[static_cast<std::size_t>(cmd.index())].name;
            if (rename) {
                report = edit_line("renamed", "tag", cmd.index(), now);
                report += " old=";
                append_quoted(report, old_name);
            } else if (dup) {
                report = edit_line("duplicated", "tag", cmd.index(), now);
            } else {
                report = edit_line(o.visible.value ? "shown" : "hidden", "tag", cmd.index(), now);
            }
        }
        report += '\n';
    }

    append_key(report, "tags", static_cast<std::int64_t>(doc->tags().size()));
    report += '\n';
    for (std::size_t t = 0; t < doc->tags().size(); ++t) {
        report += "  ";
        append_int(report, static_cast<std::int64_t>(t));
        report += ' ';
        append_quoted(report, doc->tags()[t].name);
        report += doc->tags()[t].visible ? " on " : " off ";
        append_key(
            report, "nodes",
            static_cast<std::int64_t>(doc->count_nodes_with_tag(static_cast<std::int32_t>(t))));
        report += '\n';
    }
    return finish_report(call, *doc, std::move(report));
}

// ---- Definitions ---------------------------------------------------------------------------

int run_defs(const VerbCall& call) {
    const Options& o = call.options;
    const bool rename = o.rename.given, del = o.delete_, dup = o.duplicate,
               category = o.category.given;
    if (count_set({rename, del, dup, category}) > 1) {
        return refuse(call,
                      "--rename, --delete, --duplicate and --category are mutually exclusive");
    }
    const bool editing = rename || del || dup || category;
    if (editing && !o.name.given) return refuse(call, "this edit needs --name ID");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;

    std::string report;
    if (editing) {
        const std::string& id = o.name.value;
        if (doc->find_definition(id) < 0) {
            std::string s = "no definition with id ";
            append_quoted(s, id);
            return refuse(call, s);
        }
        if (del) {
            const std::uint64_t users = doc->count_instances(id);
            if (users > 0) {
                std::string s = "definition ";
                append_quoted(s, id);
                s += " is still shown by ";
                append_int(s, static_cast<std::int64_t>(users));
                s += " instance(s); nothing deleted";
                return refuse(call, s);
            }
            DeleteDefinitionCommand cmd(*doc, id);
            cmd.redo();
            if (cmd.is_noop()) return refuse(call, cmd.refusal());
            report = "deleted=1 id=";
            append_quoted(report, id);
        } else {
            DefinitionEdit edit{DefinitionEditKind::kRename, id, ""};
            if (rename) edit.text = o.rename.value;
            if (category) {
                edit.kind = DefinitionEditKind::kSetCategory;
                edit.text = o.category.value;
            }
            if (dup) edit.kind = DefinitionEditKind::kDuplicate;
            EditDefinitionCommand cmd(*doc, edit);
            cmd.redo();
            if (*cmd.refusal() != '\0') return refuse(call, cmd.refusal());
            if (dup) {
                report = "duplicated=1 id=";
                append_quoted(report, id);
                report += " copy=";
                append_quoted(report, cmd.copy_id());
            } else {
                report = rename ? "renamed=1 id=" : "categorised=1 id=";
                append_quoted(report, id);
                report += rename ? " name=" : " category=";
                append_quoted(report, edit.text);
            }
        }
        report += '\n';
    }

    std::uint64_t unused = 0;
    for (const ComponentDefinition& def : doc->definitions()) {
        unused += doc->count_instances(def.id) == 0 ? 1 : 0;
    }
    append_key(report, "defs", static_cast<std::int64_t>(doc->definitions().size()));
    report += ' ';
    append_key(report, "unused", static_cast<std::int64_t>(unused));
    report += '\n';
    for (std::size_t d = 0; d < doc->definitions().size(); ++d) {
        const ComponentDefinition& def = doc->definitions()[d];
        report += "  ";
        append_int(report, static_cast<std::int64_t>(d));
        report += " id=";
        append_quoted(report, def.id);
        report += " name=";
        append_quoted(report, def.name);
        report += " category=";
        append_quoted(report, def.category);
        report += ' ';
        append_key(report, "faces", static_cast<std::int64_t>(alive_faces(def.mesh)));
        report += ' ';
        append_key(report, "instances", static_cast<std::int64_t>(doc->count_instances(def.id)));
        report += '\n';
    }
    return finish_report(call, *doc, std::move(report));
}

// ---- Scenes and sections -------------------------------------------------------------------

int run_scenes(const VerbCall& call) {
    const Options& o = call.options;
    const bool add = o.add, rename = o.rename.given, del = o.delete_, dup = o.duplicate,
               update = o.update_from.given;
    if (count_set({add, rename, del, dup, update}) > 1) {
        return refuse(call,
                      "--add, --rename, --delete, --duplicate and --update-from are mutually "
                      "exclusive");
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;

    std::string report;
    if (add || rename || del || dup || update) {
        SceneEdit edit;
        std::string old_name;
        if (add) {
            edit.kind = SceneEditKind::kAdd;
            edit.name = o.name.given ? o.name.value : std::string();
        } else {
            const std::optional<std::int32_t> scene = select_entry(call, doc->scenes(), "scene");
            if (!scene) return kExitFailure;
            edit.scene = *scene;
            old_name = doc->scenes()[static_cast<std::size_t>(*scene)].name;
            edit.kind = rename ? SceneEditKind::kRename
                        : del  ? SceneEditKind::kDelete
                        : dup  ? SceneEditKind::kDuplicate
                               : SceneEditKind::kUpdate;
            edit.name = rename ? o.rename.value : std::string();
            if (update) {
                if (o.update_from.value >= doc->scenes().size()) {
                    std::string s = "--update-from ";
                    append_int(s, o.update_from.value);
                    s += " is not a scene (scenes=";
                    append_int(s, static_cast<std::int64_t>(doc->scenes().size()));
                    s += ')';
                    return refuse(call, s);
                }
                edit.source = static_cast<std::int32_t>(o.update_from.value);
            }
        }
        EditSceneCommand cmd(*doc, edit);
        cmd.redo();
        if (cmd.index() < 0) return refuse(call, cmd.refusal());
        const auto at = static_cast<std::size_t>(cmd.index());
        const char* action = add      ? "added"
                             : rename ? "renamed"
                             : del    ? "deleted"
                             : dup    ? "duplicated"
                                      : "updated";
        report = edit_line(action, "scene", cmd.index(), del ? old_name : doc->scenes()[at].name);
        if (update) {
            report += " from=";
            append_int(report, edit.source);
        }
        report += '\n';
    }

    append_key(report, "scenes", static_cast<std::int64_t>(doc->scenes().size()));
    report += '\n';
    for (std::size_t i = 0; i < doc->scenes().size(); ++i) {
        const Scene& s = doc->scenes()[i];
        report += "  ";
        append_int(report, static_cast<std::int64_t>(i));
        report += ' ';
        append_quoted(report, s.name);
        report += "  eye=";
        append_vec3(report, s.eye.x, s.eye.y, s.eye.z);
        report += "  target=";
        append_vec3(report, s.target.x, s.target.y, s.target.z);
        report += "  up=";
        append_vec3(report, s.up.x, s.up.y, s.up.z);
        report += "  fov=";
        append_float(report, s.fov_deg);
        report += "  photo=";
        append_quoted(report, s.photo);
        report += '\n';
    }
    return finish_report(call, *doc, std::move(report));
}

int run_sections(const VerbCall& call) {
    const Options& o = call.options;
    const bool add = o.add, active = o.active, rename = o.rename.given, del = o.delete_,
               update = o.update_from.given;
    if (count_set({add, active, rename, del, update}) > 1) {
        return refuse(call,
                      "--add, --active, --rename, --delete and --update-from are mutually "
                      "exclusive");
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;

    std::string report;
    if (add || active || rename || del || update) {
        SectionEdit edit;
        std::string old_name;
        if (add) {
            edit.kind = SectionEditKind::kAdd;
            edit.name = o.name.given ? o.name.value : std::string();
        } else {
            const std::optional<std::int32_t> section =
                select_entry(call, doc->sections(), "section");
            if (!section) return kExitFailure;
            edit.section = *section;
            old_name = doc->sections()[static_cast<std::size_t>(*section)].name;
            edit.kind = active   ? SectionEditKind::kSetActive
                        : rename ? SectionEditKind::kRename
                        : del    ? SectionEditKind::kDelete
                                 : SectionEditKind::kUpdate;
            edit.active = true;
            edit.name = rename ? o.rename.value : std::string();
            if (update) {
                if (o.update_from.value >= doc->sections().size()) {
                    std::string s = "--update-from ";
                    append_int(s, o.update_from.value);
                    s += " is not a section (sections=";
                    append_int(s, static_cast<std::int64_t>(doc->sections().size()));
                    s += ')';
                    return refuse(call, s);
                }
                edit.source = static_cast<std::int32_t>(o.update_from.value);
            }
        }
        EditSectionCommand cmd(*doc, edit);
        cmd.redo();
        if (cmd.index() < 0) return refuse(call, cmd.refusal());
        const auto at = static_cast<std::size_t>(cmd.index());
        const char* action = add      ? "added"
                             : active ? "activated"
                             : rename ? "renamed"
                             : del    ? "deleted"
                                      : "updated";
        report =
            edit_line(action, "section", cmd.index(), del ? old_name : doc->sections()[at].name);
        if (update) {
            report += " from=";
            append_int(report, edit.source);
        }
        report += '\n';
    }

    append_key(report, "sections", static_cast<std::int64_t>(doc->sections().size()));
    report += '\n';
    for (std::size_t i = 0; i < doc->sections().size(); ++i) {
        const korvan::SectionPlane& s = doc->sections()[i];
        report += "  ";
        append_int(report, static_cast<std::int64_t>(i));
        report += ' ';
        append_quoted(report, s.name);
        report += "  point=";
        append_vec3(report, s.point.x, s.point.y, s.point.z);
        report += "  normal=";
        append_vec3(report, s.normal.x, s.normal.y, s.normal.z);
        report += "  active=";
        append_int(report, s.active);
        report += '\n';
    }
    return finish_report(call, *doc, std::move(report));
}

// ---- Lights --------------------------------------------------------------------------------

int run_lights(const VerbCall& call) {
    const Options& o = call.options;
    const bool toggle = !o.add && !o.delete_ && o.enabled.given;
    if (o.add && o.delete_) return refuse(call, "--add and --delete are mutually exclusive");
    if (o.add && !o.light_kind.given) {
        return refuse(call, "--add needs --light-kind sun|rect|point|spot");
    }
    if ((o.delete_ || toggle) && !o.index.given) {
        return refuse(
            call, o.delete_ ? "--delete needs --index N" : "--enabled needs --index N or --add");
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;

    std::string report;
    if (o.add || o.delete_ || toggle) {
        LightEdit edit;
        std::string old_name;
        if (o.add) {
            edit.kind = LightEditKind::kAdd;
            Light& l = edit.light;
            l.name = o.name.given ? o.name.value : std::string();
            l.kind = static_cast<korvan::LightKind>(static_cast<std::int32_t>(o.light_kind.value));
            auto vec = [](const Float3& v) { return Vec3{v[0], v[1], v[2]}; };
            if (o.light_pos.given) l.position = vec(o.light_pos.value);
            if (o.light_dir.given) l.direction = vec(o.light_dir.value);
            if (o.light_up.given) l.up = vec(o.light_up.value);
            if (o.light_size.given) {
                l.width = o.light_size.value[0];
                l.height = o.light_size.value[1];
            }
            if (o.light_colour.given) {
                l.colour = {o.light_colour.value[0], o.light_colour.value[1],
                            o.light_colour.value[2]};
            }
            if (o.light_intensity.given) l.intensity = o.light_intensity.value;
            if (o.light_cone.given) {
                l.cone_inner_deg = o.light_cone.value[0];
                l.cone_outer_deg = o.light_cone.value[1];
            }
            if (o.enabled.given) l.enabled = o.enabled.value;
        } else {
            if (o.index.value >= doc->lights().size()) {
                std::string s = "no light at index ";
                append_int(s, o.index.value);
                s += " (lights=";
                append_int(s, static_cast<std::int64_t>(doc->lights().size()));
                s += ')';
                return refuse(call, s);
            }
            edit.index = static_cast<std::int32_t>(o.index.value);
            old_name = doc->lights()[o.index.value].name;
            edit.kind = o.delete_ ? LightEditKind::kDelete : LightEditKind::kSetEnabled;
            edit.enabled = o.enabled.value;
        }
        EditLightCommand cmd(*doc, edit);
        cmd.redo();
        if (cmd.index() < 0) return refuse(call, cmd.refusal());
        const char* action = o.add             ? "added"
                             : o.delete_       ? "deleted"
                             : o.enabled.value ? "enabled"
                                               : "disabled";
        report = edit_line(
            action, "light", cmd.index(),
            o.delete_ ? old_name : doc->lights()[static_cast<std::size_t>(cmd.index())].name);
        report += '\n';
    }

    append_key(report, "lights", static_cast<std::int64_t>(doc->lights().size()));
    report += '\n';
    for (std::size_t i = 0; i < doc->lights().size(); ++i) {
        const Light& l = doc->lights()[i];
        report += "  ";
        append_int(report, static_cast<std::int64_t>(i));
        report += ' ';
        append_quoted(report, l.name);
        report += "  kind=";
        report += light_kind_name(l.kind);
        report += "  pos=";
        append_vec3(report, l.position.x, l.position.y, l.position.z);
        report += "  dir=";
        append_vec3(report, l.direction.x, l.direction.y, l.direction.z);
        report += "  size=";
        append_float(report, l.width);
        report += 'x';
        append_float(report, l.height);
        report += "  colour=";
        append_vec3(report, l.colour.r, l.colour.g, l.colour.b);
        report += "  intensity=";
        append_float(report, l.intensity);
        report += "  enabled=";
        append_int(report, l.enabled);
        report += '\n';
    }
    return finish_report(call, *doc, std::move(report));
}

// ---- Purge report --------------------------------------------------------------------------

int run_purge_report(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    // A model without a library has nothing to say about materials.
    const MaterialLibrary* library = doc->materials().size() > 0 ? &doc->materials() : nullptr;
    const PurgeReport r = build_purge_report(*doc, library);

    std::string out = "purge-report meshes_scanned=";
    append_int(out, static_cast<std::int64_t>(r.meshes_scanned));
    out +=
        " (the root mesh, every node mesh visible or not, and every definition mesh -- a "
        "material used only inside a ComponentDefinition IS used)\n";
    auto ratio = [&](const char* key, std::uint64_t unused, std::uint64_t total) {
        out += key;
        append_int(out, static_cast<std::int64_t>(unused));
        out += '/';
        append_int(out, static_cast<std::int64_t>(total));
    };
    ratio("  tags=", r.tags_unused, r.tags_total);
    ratio(" definitions=", r.definitions_unused, r.definitions_total);
    ratio(" materials=", r.materials_unused, r.materials_total);
    if (!r.materials_examined) out += " (materials NOT examined)";
    out += "\n  would free: definition_faces=";
    append_int(out, static_cast<std::int64_t>(r.free_faces));
    out += " definition_vertices=";
    append_int(out, static_cast<std::int64_t>(r.free_vertices));
    out += "  empty_nodes=";
    append_int(out, static_cast<std::int64_t>(r.empty_nodes));
    out += " (an empty group is not \"unused\" -- it can be a deliberate folder)\n";
    for (const PurgeEntry& e : r.entries) {
        out += "  unused ";
        out += purge_kind_name(e.kind);
        out += ' ';
        append_int(out, e.index);
        out += " \"";
        out += e.name;
        out += '"';
        if (!e.id.empty()) out.append(" id=").append(e.id);
        out += " faces=";
        append_int(out, static_cast<std::int64_t>(e.faces));
        out += " vertices=";
        append_int(out, static_cast<std::int64_t>(e.vertices));
        out += '\n';
    }
    // No node carries these tags, yet deleting one would still strip it from labels.
    for (const PurgeEntry& e : r.entries) {
        if (e.kind != PurgeKind::kTag || e.labels == 0) continue;
        out += "  WARNING: tag ";
        append_int(out, e.index);
        out += " \"";
        out += e.name;
        out += "\" is listed as unused but ";
        append_int(out, static_cast<std::int64_t>(e.labels));
        out += " label(s) still carry it; deleting it leaves them untagged\n";
    }
    if (r.faces_out_of_range > 0) {
        out += "  WARNING: ";
        append_int(out, static_cast<std::int64_t>(r.faces_out_of_range));
        out +=
            " alive face(s) carry a material id at or past the library's size. The library "
            "and the geometry do not belong to each other, so materials_unused is "
            "meaningless on this model\n";
    }
    if (r.entries.empty()) out += "  nothing is unused\n";
    write_out(out);
    return kExitOk;
}

}  // namespace korvan::cli
