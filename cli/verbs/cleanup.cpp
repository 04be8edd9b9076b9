// Clean-up verb handlers. The rules of each clean-up live with its tool in tools/cleanup/;
// here the named nodes are found, each touched mesh becomes one step of a single undoable
// command, and the counts are printed.
//
// remove-lines works on the meshes of the named groups and of every group below them, each
// mesh once however many names reach it. Instances are left alone: their geometry belongs to
// a definition that other instances share, so cleaning it from one place would change them
// all.
#include "cli/verbs/cleanup.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "document/commands/annotation_commands.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"
#include "document/tree_walk.h"
#include "tools/cleanup/circle_centre.h"
#include "tools/cleanup/clear_textures.h"
#include "tools/cleanup/find_centre.h"
#include "tools/cleanup/remove_lines.h"
#include "tools/cleanup/replace_material.h"

namespace korvan::cli {
namespace {

// Splits text at `separator`; empty pieces are dropped.
std::vector<std::string> split_at(std::string_view text, char separator) {
    std::vector<std::string> pieces;
    while (!text.empty()) {
        const std::size_t cut = text.find(separator);
        const std::string_view piece = text.substr(0, cut);
        if (!piece.empty()) pieces.emplace_back(piece);
        if (cut == std::string_view::npos) break;
        text.remove_prefix(cut + 1);
    }
    return pieces;
}

void append_key(std::string& out, std::string_view key, std::uint64_t value) {
    out.append(" ").append(key).append("=");
    append_int(out, static_cast<std::int64_t>(value));
}

// The named nodes, in the order given; the first name not found is left in `missing`.
std::vector<SceneNode*> named_nodes(Document& doc, const std::vector<std::string>& names,
                                    std::string& missing) {
    std::vector<SceneNode*> nodes;
    for (const std::string& n : names) {
        SceneNode* node = doc.find_node_by_name(n);
        if (node == nullptr) {
            missing = n;
            return {};
        }
        nodes.push_back(node);
    }
    return nodes;
}

// Groups in the subtrees of `tops`, each once, in walk order.
std::vector<SceneNode*> groups_below(const std::vector<SceneNode*>& tops) {
    std::vector<SceneNode*> groups;
    for (SceneNode* top : tops) {
        walk_nodes(*top, [&](SceneNode& n, std::size_t) {
            if (n.is_group() && std::find(groups.begin(), groups.end(), &n) == groups.end()) {
                groups.push_back(&n);
            }
            return true;
        });
    }
    return groups;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

int run_remove_lines(const VerbCall& call) {
    const Options& o = call.options;
    const std::vector<std::string> names =
        o.name.given ? split_at(o.name.value, ',') : std::vector<std::string>{};
    if (names.empty()) return refuse_missing(call, "--name NODE[,NODE...]");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    std::string missing;
    const std::vector<SceneNode*> tops = named_nodes(*doc, names, missing);
    if (tops.empty()) {
        std::string reason = "no node named ";
        append_quoted(reason, missing);
        return refuse(call, reason);
    }
    static constexpr const char* kLabel = "Delete Coplanar Edges Loose";
    CompoundCommand command(kLabel);
    RedundantLinesResult total;
    std::uint64_t meshes = 0;
    const std::vector<SceneNode*> groups = groups_below(tops);
    for (SceneNode* g : groups) {
        Mesh after = g->mesh;
        const RedundantLinesResult r = remove_redundant_lines(after);
        total.kept += r.kept;
        total.faces_before += r.faces_before;
        if (r.removed == 0) {
            total.faces_after += r.faces_before;
            continue;
        }
        total.removed += r.removed;
        total.faces_after += r.faces_after;
        ++meshes;
        command.add(std::make_unique<MeshEditStep>(*doc, MeshLocator::of_node(g), kLabel,
                                                   g->mesh, std::move(after)));
    }
    if (total.removed == 0) return refuse(call, "nothing was redundant", kExitNothingToDo);
    command.redo();
    std::string out = "remove-lines: removed ";
    append_int(out, static_cast<std::int64_t>(total.removed));
    out.append(" redundant line(s) in ");
    append_int(out, static_cast<std::int64_t>(meshes));
    out.append(" mesh(es)");
    append_key(out, "removed_lines", total.removed);
    append_key(out, "kept_lines", total.kept);
    append_key(out, "faces_before", total.faces_before);
    append_key(out, "faces_after", total.faces_after);
    append_key(out, "groups", groups.size());
    return finish_edit(call, *doc, std::move(out));
}

int run_clear_textures(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    ClearTexturesCommand command(*doc);
    command.redo();
    if (command.is_noop()) return refuse(call, command.refusal(), kExitNothingToDo);
    std::string out = "clear-textures: cleared the texture of ";
    append_int(out, static_cast<std::int64_t>(command.materials_cleared()));
    out.append(" material(s)");
    append_key(out, "images", command.images_cleared());
    append_key(out, "patterns", command.patterns_cleared());
    append_key(out, "materials", doc->materials().size());
    return finish_edit(call, *doc, std::move(out));
}

int run_replace_material(const VerbCall& call) {
    const Options& o = call.options;
    const std::vector<std::string> ids =
        o.name.given ? split_at(o.name.value, ',') : std::vector<std::string>{};
    if (ids.size() != 2) return refuse_missing(call, "--name FROM,TO");
    std::int32_t id[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        const std::string& t = ids[static_cast<std::size_t>(i)];
        const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), id[i]);
        if (ec != std::errc() || end != t.data() + t.size() || id[i] < -1) {
            return refuse(call, "--name takes two material ids, -1 for the default");
        }
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    for (const std::int32_t m : id) {
        if (m >= 0 && !doc->materials().valid(m)) {
            std::string reason = "no material ";
            append_int(reason, m);
            return refuse(call, reason);
        }
    }
    MaterialReplacement counts;
    std::unique_ptr<Command> command = make_replace_material(*doc, id[0], id[1], counts);
    if (!command) {
        std::string reason = "nothing used material ";
        append_int(reason, id[0]);
        return refuse(call, reason, kExitNothingToDo);
    }
    command->redo();
    std::string out = "replace-material: repainted ";
    append_int(out, static_cast<std::int64_t>(counts.faces));
    out.append(" face(s) and ");
    append_int(out, static_cast<std::int64_t>(counts.nodes));
    out.append(" node(s)");
    append_key(out, "faces", counts.faces);
    append_key(out, "nodes", counts.nodes);
    append_key(out, "meshes", counts.meshes);
    return finish_edit(call, *doc, std::move(out));
}

int run_circle_centre(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const CircleCentreResult r = circle_centre_of_segments(doc->root().mesh);
    if (r.status != CircleCentreStatus::kOk) return refuse(call, r.message, kExitNothingToDo);
    // A guide point is a guide with both ends at the one place.
    AddGuideCommand command(*doc, MeshLocator::of_node(&doc->root()), Guide{r.centre, r.centre});
    command.redo();
    std::string out = "circle-centre: added a guide point at ";
    append_vec3(out, r.centre.x, r.centre.y, r.centre.z);
    out.append(" radius=");
    append_float(out, r.radius);
    append_key(out, "guide", command.index());
    return finish_edit(call, *doc, std::move(out));
}

int run_find_centre(const VerbCall& call) {
    const Options& o = call.options;
    const std::vector<std::string> names =
        o.name.given ? split_at(o.name.value, ',') : std::vector<std::string>{};
    if (names.empty() && o.faces.empty()) return refuse_missing(call, "--name or --faces");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    std::string missing;
    const std::vector<SceneNode*> nodes = named_nodes(*doc, names, missing);
    if (!names.empty() && nodes.empty()) {
        std::string reason = "no node named ";
        append_quoted(reason, missing);
        return refuse(call, reason);
    }
    // Faces first, in the order listed (each once), then the nodes in the order named.
    std::vector<Vec3> centres;
    const Mesh& root_mesh = doc->root().mesh;
    std::uint64_t faces = 0, nodes_marked = 0;
    for (const FaceId f : distinct_alive_faces(root_mesh, o.faces)) {
        if (const std::optional<Vec3> c = face_box_centre(root_mesh, f)) {
            centres.push_back(*c);
            ++faces;
        }
    }
    for (const SceneNode* n : nodes) {
        const Aabb box = node_world_box(*doc, *n);
        if (box.empty()) continue;
        centres.push_back(box.center());
        ++nodes_marked;
    }
    if (centres.empty()) return refuse(call, "nothing listed has a centre", kExitNothingToDo);
    CompoundCommand command("Find Centre");
    for (const Vec3& c : centres) {
        command.add(std::make_unique<AddGuideCommand>(*doc, MeshLocator::of_node(&doc->root()),
                                                      Guide{c, c}));
    }
    command.redo();
    std::string out = "find-centre: added ";
    append_int(out, static_cast<std::int64_t>(centres.size()));
    out.append(" guide point(s) at");
    for (const Vec3& c : centres) {
        out.append(" ");
        append_vec3(out, c.x, c.y, c.z);
    }
    append_key(out, "faces", faces);
    append_key(out, "nodes", nodes_marked);
    return finish_edit(call, *doc, std::move(out));
}

int run_find_name(const VerbCall& call) {
    const Options& o = call.options;
    std::vector<std::string> terms =
        o.name.given ? split_at(o.name.value, ';') : std::vector<std::string>{};
    if (terms.empty()) return refuse_missing(call, "--name TERM[;TERM...]");
    for (std::string& t : terms) t = lower(t);
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    std::string out;
    std::uint64_t searched = 0, found = 0;
    const Document& d = *doc;
    walk_nodes(d.root(), [&](const SceneNode& n, std::size_t depth) {
        if (depth == 0) return true;  // the root is the model itself, not a group
        ++searched;
        const std::string name = lower(n.name);
        const auto hit = std::find_if(terms.begin(), terms.end(), [&](const std::string& t) {
            return name.find(t) != std::string::npos;
        });
        if (hit == terms.end()) return true;
        ++found;
        out.append(n.is_instance() ? "component " : "group ");
        append_quoted(out, n.name);
        out.append(" depth=");
        append_int(out, static_cast<std::int64_t>(depth));
        if (n.is_instance()) {
            out.append(" definition=");
            append_quoted(out, n.definition_id);
        }
        out.append("\n");
        return true;
    });
    std::string head = "find-name: ";
    append_int(head, static_cast<std::int64_t>(found));
    head.append(" of ");
    append_int(head, static_cast<std::int64_t>(searched));
    head.append(" node(s) match\n");
    write_out(head + out);
    return found == 0 ? kExitNothingToDo : kExitOk;
}

}  // namespace korvan::cli
