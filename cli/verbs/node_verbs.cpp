#include <charconv>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/document_verbs.h"
#include "cli/verbs/verb_support.h"
#include "document/commands/node_commands.h"
#include "document/commands/scene_graph_commands.h"
#include "document/document.h"
#include "document/transform.h"
#include "document/tree_walk.h"

// The scene-graph verbs: listing and editing groups and instances by name, and the selection
// verbs that pick nodes with --nodes / --node-match / --node-ci (find_nodes).

namespace korvan::cli {
namespace {

// "<verb> refused: <reason>": the selection verbs refuse a whole batch.
int refused(const VerbCall& call, std::string_view reason) {
    std::string err(call.verb);
    err.append(" refused: ").append(reason).append("\n");
    write_err(err);
    return kExitFailure;
}

bool is_instances_verb(std::string_view verb) {
    return verb == "instances" || verb == "list-instances";
}

// The nodes a groups or instances verb lists: groups below the root, or instances at any
// depth, in depth-first pre-order.
std::vector<SceneNode*> listed_nodes(Document& doc, bool instances) {
    std::vector<SceneNode*> nodes;
    walk_nodes(doc.root(), [&](SceneNode& n, std::size_t depth) {
        if (depth > 0 && n.is_instance() == instances) nodes.push_back(&n);
        return true;
    });
    return nodes;
}

// Length of each of the node's axes: the scale a transform applies along them.
Vec3 axis_scales(const Mat4& t) {
    auto len = [&](int c) {
        const double x = t.m[4 * c], y = t.m[4 * c + 1], z = t.m[4 * c + 2];
        return static_cast<float>(std::sqrt(x * x + y * y + z * z));
    };
    return {len(0), len(1), len(2)};
}

void append_node_line(std::string& out, const Document& doc, const SceneNode& n, std::size_t i) {
    out += "  ";
    append_int(out, static_cast<std::int64_t>(i));
    out += ' ';
    append_quoted(out, n.name);
    if (n.is_instance()) {
        out += " def=";
        append_quoted(out, n.definition_id);
    } else {
        out += " children=";
        append_int(out, static_cast<std::int64_t>(n.children.size()));
    }
    out += " at=";
    append_vec3(out, n.transform.m[12], n.transform.m[13], n.transform.m[14]);
    const Vec3 s = axis_scales(n.transform);
    out += " scale=";
    append_vec3(out, s.x, s.y, s.z);
    out += " tag=";
    append_int(out, n.tag);
    if (n.tag >= 0 && static_cast<std::size_t>(n.tag) < doc.tags().size()) {
        out += ' ';
        append_quoted(out, doc.tags()[static_cast<std::size_t>(n.tag)].name);
    }
    out += " visible=";
    append_int(out, n.visible);
    out += '\n';
}

// --tag takes an index (-1 untags) or a tag's name; nullopt with the refusal printed.
std::optional<std::int32_t> resolve_tag(const VerbCall& call, const Document& doc,
                                        const std::string& text) {
    std::int32_t index = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, index);
    if (ec == std::errc{} && ptr == end) {
        if (index >= -1 && index < static_cast<std::int64_t>(doc.tags().size())) return index;
        std::string s = "no tag at index ";
        append_int(s, index);
        s += " (tags=";
        append_int(s, static_cast<std::int64_t>(doc.tags().size()));
        s += ')';
        refuse(call, s);
        return std::nullopt;
    }
    const std::int32_t found = doc.find_tag(text);
    if (found >= 0) return found;
    std::string s = "no tag named ";
    append_quoted(s, text);
    refuse(call, s);
    return std::nullopt;
}

std::optional<NodeTransformEdit> transform_edit(const Options& o, const Mat4& current,
                                                const char*& what) {
    NodeTransformEdit e;
    if (o.translate.given) {
        e.kind = NodeTransformKind::kTranslate;
        e.vector = to_vec3(o.translate.value);
        what = "translate";
    } else if (o.position.given) {
        e.kind = NodeTransformKind::kSetTranslation;
        e.vector = to_vec3(o.position.value);
        what = "position";
    } else if (o.node_scale.given) {
        const Float3& s = o.node_scale.value;
        what = "scale";
        if (s[0] == s[1] && s[1] == s[2]) {
            e.kind = NodeTransformKind::kScale;
            e.factor = s[0];
        } else {
            // A non-uniform factor scales along the node's own axes, about its origin.
            Mat4 stretch;
            stretch.m[0] = s[0], stretch.m[5] = s[1], stretch.m[10] = s[2];
            e.kind = NodeTransformKind::kSet;
            e.matrix = compose(current, stretch);
        }
    } else if (o.set_scale.given) {
        e.kind = NodeTransformKind::kSetScale;
        e.factor = o.set_scale.value;
        what = "set-scale";
    } else if (o.rotate.given) {
        e.kind = NodeTransformKind::kRotate;
        e.vector = to_vec3(o.rotate.value);
        what = "rotate";
    } else {
        return std::nullopt;
    }
    return e;
}

NameMatch name_match(NodeMatch m) { return static_cast<NameMatch>(static_cast<int>(m)); }

// The nodes --nodes selects, in depth-first pre-order.
std::vector<SceneNode*> selected_nodes(const VerbCall& call, Document& doc) {
    const Options& o = call.options;
    return doc.find_nodes(o.nodes, name_match(o.node_match), o.node_ci);
}

int nothing_matches(const VerbCall& call) {
    std::string s(call.verb);
    s += ": no node matches ";
    append_quoted(s, call.options.nodes);
    s += '\n';
    write_err(s);
    return kExitNothingToDo;
}

}  // namespace

// ---- Groups and instances ------------------------------------------------------------------

int run_groups(const VerbCall& call) {
    const Options& o = call.options;
    const bool instances = is_instances_verb(call.verb);
    const int transforms = int(o.translate.given) + int(o.position.given) +
                           int(o.node_scale.given) + int(o.set_scale.given) + int(o.rotate.given);
    const int simple = int(o.visible.given) + int(o.rename.given) + int(o.tag.given) +
                       int(transforms > 0) + int(o.make_unique);
    const bool structural[] = {o.delete_, o.duplicate, o.bake, o.reparent.given};
    const char* structural_names[] = {"--delete", "--duplicate", "--bake", "--reparent"};
    int structural_count = 0;
    for (bool b : structural) structural_count += b ? 1 : 0;

    if (transforms > 1) {
        return refuse(call,
                      "--translate, --position, --scale, --set-scale, and --rotate are "
                      "mutually exclusive");
    }
    for (int k = 0; k < 4; ++k) {
        if (structural[k] && (structural_count > 1 || simple > 0)) {
            std::string s = structural_names[k];
            s += " cannot be combined with any other edit";
            return refuse(call, s);
        }
    }
    if (o.make_unique && !instances) return refuse(call, "--make-unique applies to instances only");
    if (o.node_scale.given) {
        for (float f : o.node_scale.value) {
            if (!(f > 0.0f)) return refuse(call, "--scale factors must be greater than 0");
        }
    }
    if (o.set_scale.given && !(o.set_scale.value > 0.0f)) {
        return refuse(call, "--set-scale must be greater than 0");
    }
    const bool editing = simple + structural_count > 0;
    if (editing && !o.name.given) return refuse(call, "edits need --name NODE");

    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;

    std::string report;
    if (editing) {
        SceneNode* node = nullptr;
        for (SceneNode* n : listed_nodes(*doc, instances)) {
            if (n->name == o.name.value) {
                node = n;
                break;
            }
        }
        if (node == nullptr) {
            std::string s = instances ? "no instance named " : "no group named ";
            append_quoted(s, o.name.value);
            return refuse(call, s);
        }
        // Everything that can be refused is resolved before the first command runs, so a
        // refusal leaves the model as it was.
        std::optional<std::int32_t> tag;
        if (o.tag.given && !(tag = resolve_tag(call, *doc, o.tag.value))) return kExitFailure;
        SceneNode* new_parent = nullptr;
        if (o.reparent.given) {
            new_parent = o.reparent.value == doc->root().name
                             ? &doc->root()
                             : doc->find_node_by_name(o.reparent.value);
            if (new_parent == nullptr || !new_parent->is_group()) {
                std::string s = "no group named ";
                append_quoted(s, o.reparent.value);
                s += " to move under";
                return refuse(call, s);
            }
        }

        const std::string name = node->name;
        auto line = [&](std::string_view action) {
            report.append(action).append("=");
            append_quoted(report, name);
        };
        if (o.delete_) {
            DeleteNodeCommand cmd(*doc, node);
            cmd.redo();
            if (cmd.is_noop()) return refuse(call, cmd.refusal());
            line("deleted");
        } else if (o.duplicate) {
            DuplicateNodeCommand cmd(*doc, node);
            cmd.redo();
            if (cmd.is_noop()) return refuse(call, cmd.refusal());
            line("duplicated");
            report += " copy=";
            append_quoted(report, cmd.copy()->name);
        } else if (o.bake) {
            ExplodeInstanceCommand cmd(*doc, node);
            cmd.redo();
            if (cmd.is_noop()) return refuse(call, cmd.refusal());
            line("baked");
            report += " faces_added=";
            append_int(report, static_cast<std::int64_t>(cmd.faces_added()));
        } else if (new_parent != nullptr) {
            ReparentNodeCommand cmd(*doc, node, new_parent);
            cmd.redo();
            if (cmd.is_noop()) {
                std::string s;
                append_quoted(s, name);
                s += " cannot move under ";
                append_quoted(s, o.reparent.value);
                s += " (the root, the node itself or one of its own children)";
                return refuse(call, s);
            }
            line("reparented");
            report += " parent=";
            append_quoted(report, new_parent->name);
        } else {
            // The simple edits combine; each is its own command, as in the desktop program.
            std::vector<std::unique_ptr<NodeCommand>> cmds;
            std::string parts;
            if (o.make_unique) {
                cmds.push_back(std::make_unique<EditNodeCommand>(
                    *doc, node, NodeEdit{NodeEditKind::kMakeUnique, true, {}}));
            }
            if (o.visible.given) {
                cmds.push_back(std::make_unique<EditNodeCommand>(
                    *doc, node, NodeEdit{NodeEditKind::kSetVisible, o.visible.value, {}}));
            }
            if (tag) cmds.push_back(std::make_unique<SetNodeTagCommand>(*doc, node, *tag));
            const char* what = "";
            if (std::optional<NodeTransformEdit> e = transform_edit(o, node->transform, what)) {
                cmds.push_back(std::make_unique<SetNodeTransformCommand>(*doc, node, *e));
            }
            if (o.rename.given) {
                cmds.push_back(std::make_unique<EditNodeCommand>(
                    *doc, node, NodeEdit{NodeEditKind::kRename, true, o.rename.value}));
            }
            for (std::size_t i = 0; i < cmds.size(); ++i) {
                cmds[i]->redo();
                if (*cmds[i]->refusal() != '\0') {
                    // Put back what the earlier edits of this run changed.
                    for (std::size_t k = i; k-- > 0;) cmds[k]->undo();
                    return refuse(call, cmds[i]->refusal());
                }
            }
            line("edited");
            if (o.make_unique) {
                report += " definition=";
                append_quoted(report, node->definition_id);
            }
            if (o.visible.given) {
                report += " visible=";
                append_int(report, node->visible);
            }
            if (tag) {
                report += " tag=";
                append_int(report, node->tag);
            }
            if (transforms > 0) {
                report.append(" transform=").append(what).append(" at=");
                append_vec3(report, node->transform.m[12], node->transform.m[13],
                            node->transform.m[14]);
            }
            if (o.rename.given) {
                report += " name=";
                append_quoted(report, node->name);
            }
        }
        report += '\n';
    }

    const std::vector<SceneNode*> nodes = listed_nodes(*doc, instances);
    report += instances ? "instances=" : "groups=";
    append_int(report, static_cast<std::int64_t>(nodes.size()));
    report += '\n';
    for (std::size_t i = 0; i < nodes.size(); ++i) append_node_line(report, *doc, *nodes[i], i);
    return finish_report(call, *doc, std::move(report));
}

// ---- Selections ----------------------------------------------------------------------------

int run_find_nodes(const VerbCall& call) {
    if (call.options.nodes.empty()) return refuse_missing(call, "--nodes TEXT");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const std::vector<SceneNode*> found = selected_nodes(call, *doc);
    std::string out = "matches=";
    append_int(out, static_cast<std::int64_t>(found.size()));
    out += '\n';
    for (const SceneNode* n : found) {
        out += "  ";
        append_quoted(out, n->name);
        out += n->is_instance() ? " kind=instance" : " kind=group";
        const SceneNode* parent = doc->parent_of(n);
        out += " parent=";
        append_quoted(out, parent != nullptr ? parent->name : std::string());
        out += '\n';
    }
    write_out(out);
    return kExitOk;
}

int run_align_nodes(const VerbCall& call) {
    const Options& o = call.options;
    if (o.nodes.empty() || !o.align_mode.given) {
        return refuse_missing(call, "--nodes TEXT and --align-mode min|centre|max|distribute");
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    std::vector<SceneNode*> nodes = selected_nodes(call, *doc);
    if (nodes.empty()) return nothing_matches(call);
    const std::size_t matched = nodes.size();
    const int axis = static_cast<int>(o.align_axis);
    const auto mode = static_cast<NodeAlignMode>(static_cast<int>(o.align_mode.value));
    AlignNodesCommand cmd(*doc, std::move(nodes), axis, mode);
    cmd.redo();
    if (*cmd.refusal() != '\0') {
        return refused(call, std::string(cmd.refusal()) + "; nothing moved");
    }
    static constexpr const char* kModes[] = {"min", "centre", "max", "distribute"};
    std::string out = "matched=";
    append_int(out, static_cast<std::int64_t>(matched));
    out += " moved=";
    append_int(out, static_cast<std::int64_t>(cmd.moved()));
    out += " axis=";
    out += "xyz"[axis];
    out += " mode=";
    out += kModes[static_cast<int>(mode)];
    out += " target=";
    append_float(out, cmd.target());
    out += '\n';
    return finish_report(call, *doc, std::move(out), cmd.moved() > 0 ? kExitOk : kExitNothingToDo);
}

int run_batch_rename(const VerbCall& call) {
    const Options& o = call.options;
    if (o.nodes.empty()) return refuse_missing(call, "--nodes TEXT");
    const bool has_find = !o.rename_find.empty();
    if (has_find != o.rename_replace.given) {
        return refuse(call, "--rename-find and --rename-replace go together");
    }
    if (!has_find && o.rename_pattern.empty()) {
        return refuse_missing(call, "--rename-find S --rename-replace R, or --rename-pattern P");
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    std::vector<SceneNode*> nodes = selected_nodes(call, *doc);
    if (nodes.empty()) return nothing_matches(call);

    BatchRenameRule rule;
    rule.has_find = has_find;
    rule.find = o.rename_find;
    rule.replace = o.rename_replace.value;
    rule.pattern = o.rename_pattern;
    if (o.rename_start.given) rule.start = o.rename_start.value;
    if (o.rename_step.given) rule.step = o.rename_step.value;
    if (o.rename_pad.given) rule.pad = o.rename_pad.value;
    rule.strict = o.rename_strict;

    BatchRenamePlan plan = plan_batch_rename(*doc, nodes, rule);
    if (rule.strict && plan.collisions > 0 && !o.rename_dry_run) {
        std::string s;
        append_int(s, static_cast<std::int64_t>(plan.collisions));
        s += " new name(s) collide with other nodes' names (--rename-strict); nothing renamed";
        return refused(call, s);
    }
    if (!o.rename_dry_run) {
        BatchRenameCommand cmd(*doc, nodes, rule);
        cmd.redo();
        if (*cmd.refusal() != '\0') return refuse(call, cmd.refusal());
        plan = cmd.plan();
    }
    std::string out = "matched=";
    append_int(out, static_cast<std::int64_t>(nodes.size()));
    out += " renamed=";
    append_int(out, static_cast<std::int64_t>(plan.changed));
    out += " collisions=";
    append_int(out, static_cast<std::int64_t>(plan.collisions));
    if (o.rename_dry_run) out += " dry_run=1";
    out += '\n';
    for (std::size_t i = 0; i < plan.old_names.size(); ++i) {
        out += "  ";
        append_quoted(out, plan.old_names[i]);
        out += " -> ";
        append_quoted(out, plan.new_names[i]);
        out += '\n';
    }
    // A dry run only reports, even with --out.
    if (o.rename_dry_run) {
        write_out(out);
        return kExitOk;
    }
    return finish_report(call, *doc, std::move(out), plan.changed > 0 ? kExitOk : kExitNothingToDo);
}

int run_isolate(const VerbCall& call) {
    const Options& o = call.options;
    if (o.nodes.empty()) return refuse_missing(call, "--nodes TEXT");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    std::vector<SceneNode*> keep = selected_nodes(call, *doc);
    if (keep.empty()) return nothing_matches(call);
    const std::size_t kept = keep.size();
    IsolateSelectionCommand cmd(*doc, std::move(keep), o.isolate_keep_loose);
    cmd.redo();
    if (*cmd.refusal() != '\0') return refuse(call, cmd.refusal());
    std::string out = "kept=";
    append_int(out, static_cast<std::int64_t>(kept));
    out += " hidden_nodes=";
    append_int(out, static_cast<std::int64_t>(cmd.hidden_nodes()));
    out += " hidden_faces=";
    append_int(out, static_cast<std::int64_t>(cmd.hidden_faces()));
    out += '\n';
    return finish_report(call, *doc, std::move(out), cmd.is_noop() ? kExitNothingToDo : kExitOk);
}

}  // namespace korvan::cli
