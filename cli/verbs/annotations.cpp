#include "cli/verbs/annotations.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "core/mesh.h"
#include "document/commands/annotation_commands.h"
#include "document/commands/command_stack.h"
#include "document/commands/table_commands.h"
#include "document/dimension_layout.h"

namespace korvan::cli {
namespace {

void append_uint(std::string& out, std::uint64_t value) {
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, end);
}

void append_point(std::string& out, const Vec3& p) { append_vec3(out, p.x, p.y, p.z); }

double distance(const Vec3& a, const Vec3& b) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y, dz = double(b.z) - a.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

int refuse(std::string sentence, int code = kExitFailure) {
    sentence += '\n';
    write_err(sentence);
    return code;
}

// The two points every segment verb needs; prints the refusal when one is missing.
bool require_a_and_b(const VerbCall& call) {
    if (call.options.a.given && call.options.b.given) return true;
    refuse(std::string(call.verb) + " requires --a X,Y,Z and --b X,Y,Z");
    return false;
}

MeshLocator root_locator(Document& doc) { return MeshLocator::of_node(&doc.root()); }

}  // namespace

int run_curves(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const auto curves = doc->root().mesh.curves();
    std::uint64_t alive = 0;
    for (const Curve& c : curves) alive += c.alive ? 1 : 0;
    std::string out = "curves=";
    append_uint(out, alive);
    out += " slots=";
    append_uint(out, curves.size());
    out += '\n';
    for (std::size_t i = 0; i < curves.size(); ++i) {
        const Curve& c = curves[i];
        double length = 0.0;
        for (std::size_t k = 1; k < c.points.size(); ++k) {
            length += distance(c.points[k - 1], c.points[k]);
        }
        if (c.closed && c.points.size() >= 3) length += distance(c.points.back(), c.points[0]);
        out += '[';
        append_uint(out, i);
        out += c.alive ? "] alive " : "] dead ";
        out += c.closed ? "closed" : "open";
        out += "  points=";
        append_uint(out, c.points.size());
        out += "  len=";
        append_float(out, length);
        out += '\n';
    }
    write_out(out);
    return kExitOk;
}

int run_add_curve(const VerbCall& call) {
    if (call.options.path.empty()) {
        return refuse("add-curve requires --path \"X,Y,Z X,Y,Z ...\" (2 or more points)");
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    std::vector<Vec3> points;
    points.reserve(call.options.path.size());
    for (const Float3& p : call.options.path) points.push_back(to_vec3(p));
    const std::size_t index = doc->root().mesh.add_curve(std::move(points), call.options.closed);
    std::string out = "Added curve ";
    append_uint(out, index);
    return finish_edit(call, *doc, std::move(out));
}

int run_guides(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const auto guides = doc->root().mesh.guides();
    std::string out;
    for (std::size_t i = 0; i < guides.size(); ++i) {
        out += '[';
        append_uint(out, i);
        out += "] infinite=";
        out += guides[i].infinite ? '1' : '0';
        out += " a=";
        append_point(out, guides[i].a);
        out += " b=";
        append_point(out, guides[i].b);
        out += '\n';
    }
    write_out(out);
    return kExitOk;
}

int run_dims(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const auto dims = doc->root().mesh.dimensions();
    std::string out = "dims=";
    append_uint(out, dims.size());
    out += '\n';
    for (std::size_t i = 0; i < dims.size(); ++i) {
        const Dimension& d = dims[i];
        // value is what was measured when the dimension was made, len what it spans now.
        out += '[';
        append_uint(out, i);
        out += "] value=";
        append_float(out, d.value);
        out += "  len=";
        append_float(out, distance(d.a, d.b));
        out += " label=";
        append_quoted(out, d.label);
        out += " a=";
        append_point(out, d.a);
        out += " b=";
        append_point(out, d.b);
        out += '\n';
    }
    write_out(out);
    return kExitOk;
}

int run_add_guide(const VerbCall& call) {
    if (!require_a_and_b(call)) return kExitFailure;
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    AddGuideCommand command(*doc, root_locator(*doc),
                            Guide{to_vec3(call.options.a.value), to_vec3(call.options.b.value)});
    command.redo();
    std::string out = "Added guide ";
    append_uint(out, command.index());
    return finish_edit(call, *doc, std::move(out));
}

int run_add_dim(const VerbCall& call) {
    if (!require_a_and_b(call)) return kExitFailure;
    const Vec3 a = to_vec3(call.options.a.value), b = to_vec3(call.options.b.value);
    if (a == b)
        return refuse("add-dim: --a and --b are the same point; there is nothing to measure");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    Dimension dim;
    dim.a = a;
    dim.b = b;
    dim.value = static_cast<float>(distance(a, b));
    dim.label = dimension_label(dim.value);
    AddDimensionCommand command(*doc, root_locator(*doc), dim);
    command.redo();
    std::string out = "Added dimension ";
    append_uint(out, command.index());
    out += " (";
    append_float(out, dim.value);
    out += " m)";
    return finish_edit(call, *doc, std::move(out));
}

// Pushes the dimensions through a stack inside one group, so the whole set is one undo
// step; returns the stack's size (1 when anything was added).
std::size_t add_as_one_step(Document& doc, const char* label, const std::vector<Dimension>& dims) {
    CommandStack stack;
    {
        ScopedCommandGroup group(stack, label);
        for (const Dimension& dim : dims) {
            stack.push(std::make_unique<AddDimensionCommand>(doc, root_locator(doc), dim));
        }
    }
    return stack.size();
}

int run_dim_chain(const VerbCall& call) {
    if (!require_a_and_b(call)) return kExitFailure;
    const Vec3 a = to_vec3(call.options.a.value), b = to_vec3(call.options.b.value);
    if (a == b) return refuse("dim-chain: --a and --b are the same point; there is no ray to fire");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const ChainPlan plan = plan_chain_dimensions(doc->root().mesh, a, b, call.options.offset,
                                                 !call.options.no_overall);
    if (plan.crossings.empty()) {
        std::string err = "dim-chain: the ray from ";
        append_point(err, a);
        err += " to ";
        append_point(err, b);
        err += " crosses no face";
        return refuse(std::move(err), kExitNothingToDo);
    }
    if (plan.dimensions.empty()) {
        return refuse("dim-chain: the ray crosses only one face; there is no gap to dimension",
                      kExitNothingToDo);
    }
    const std::size_t stack_size = add_as_one_step(*doc, "Chain Dimensions", plan.dimensions);
    std::string out = "crossings=";
    append_uint(out, plan.crossings.size());
    out += " dims=";
    append_uint(out, plan.dimensions.size());
    out += " stack_size=";
    append_uint(out, stack_size);
    return finish_edit(call, *doc, std::move(out));
}

int run_dim_auto(const VerbCall& call) {
    const Vec3 axis =
        call.options.axis.given ? to_vec3(call.options.axis.value) : Vec3{1.0f, 0.0f, 0.0f};
    if (axis == Vec3{}) return refuse("dim-auto: --axis must not be the zero vector");
    if (!(call.options.pitch > 0.0f)) {
        return refuse("dim-auto: --pitch must be greater than 0 (rows would overlap)");
    }
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const AutoDimPlan plan =
        plan_auto_dimensions(doc->root().mesh, axis, call.options.offset, call.options.pitch);
    if (plan.faces == 0) return refuse("dim-auto: the model has no alive faces", kExitNothingToDo);
    if (plan.dimensions.empty()) {
        std::string err = "dim-auto: no alive face has any extent along the axis ";
        append_point(err, axis);
        return refuse(std::move(err), kExitNothingToDo);
    }
    const std::size_t stack_size = add_as_one_step(*doc, "Auto Dim", plan.dimensions);
    std::string out = "faces=";
    append_uint(out, plan.faces);
    out += " dims=";
    append_uint(out, plan.dimensions.size());
    out += " rows=";
    append_uint(out, plan.rows);
    out += " stack_size=";
    append_uint(out, stack_size);
    return finish_edit(call, *doc, std::move(out));
}

int run_dim_reanchor(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const ReanchorReport report = reanchor_dimensions(doc->root().mesh, call.options.fix);
    std::string out = "dims=";
    append_uint(out, report.dims);
    out += " associative=";
    append_uint(out, report.associative);
    out += " stale=";
    append_uint(out, report.stale);
    out += " dangling=";
    append_uint(out, report.dangling);
    out += " reanchored=";
    append_uint(out, report.reanchored);
    return finish_edit(call, *doc, std::move(out));
}

int run_clear_annotations(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    Mesh& mesh = doc->root().mesh;
    const std::size_t cleared = call.verb == "clear-guides" ? mesh.exchange_guides({}).size()
                                                            : mesh.exchange_dimensions({}).size();
    std::string out = "cleared=";
    append_uint(out, cleared);
    return finish_edit(call, *doc, std::move(out));
}

int run_labels(const VerbCall& call) {
    const Options& o = call.options;
    const std::string verb(call.verb);
    if (o.add && o.delete_) return refuse(verb + ": --add and --delete are mutually exclusive");
    if (o.add && o.label_text.empty()) {
        return refuse(verb + ": --add needs a non-empty --label-text (a label cannot be empty)");
    }
    if (o.delete_ && !o.index.given) return refuse(verb + ": --delete requires --index N");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;

    if (o.add) {
        TextLabel label;
        label.text = o.label_text;
        if (o.label_at.given) label.position = to_vec3(o.label_at.value);
        if (o.label_height.given) label.height = o.label_height.value;
        label.tag = o.label_tag;
        AddLabelCommand command(*doc, label);
        command.redo();
        if (command.is_noop()) return refuse(verb + ": " + command.refusal());
        std::string out = "added=1 label_index=";
        append_int(out, command.index());
        out += " text=";
        append_quoted(out, label.text);
        return finish_edit(call, *doc, std::move(out));
    }
    if (o.delete_) {
        const std::size_t count = doc->labels().size();
        if (o.index.value >= count) {
            std::string err = verb + ": there is no label at index ";
            append_uint(err, o.index.value);
            err += " (the model has ";
            append_uint(err, count);
            err += count == 1 ? " label)" : " labels)";
            return refuse(std::move(err));
        }
        const std::string text = doc->labels()[o.index.value].text;
        DeleteLabelCommand command(*doc, static_cast<std::int32_t>(o.index.value));
        command.redo();
        if (command.is_noop()) return refuse(verb + ": " + command.refusal());
        std::string out = "deleted=1 label_index=";
        append_uint(out, o.index.value);
        out += " text=";
        append_quoted(out, text);
        return finish_edit(call, *doc, std::move(out));
    }

    const auto& labels = doc->labels();
    std::string out = "Labels: ";
    append_uint(out, labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const TextLabel& l = labels[i];
        out += "\n[";
        append_uint(out, i);
        out += "] text=";
        append_quoted(out, l.text);
        out += " at=";
        append_point(out, l.position);
        out += " h=";
        append_float(out, l.height);
        out += " tag=";
        append_int(out, l.tag);
    }
    return finish_edit(call, *doc, std::move(out));
}

}  // namespace korvan::cli
