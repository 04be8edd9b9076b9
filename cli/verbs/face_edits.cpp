// Sentences of these verbs. Each is one line; an edit that saves appends ", saved to " and
// the quoted path. N counts the distinct alive listed faces an edit reached, M the ids
// listed; the key=value tokens after a sentence are the numbers that prove it.
//   faces-erase       "Erased N of M listed face(s) faces_before=A faces_after=B"
//   faces-hide/-show  "Hid N of M listed face(s) hidden_before=A hidden_after=B" ("Showed")
//   faces-paint       "Painted N of M listed face(s) with material K faces_with_material=C"
//   faces-set-layer   "Moved N of M listed face(s) to layer L faces_on_layer=C"
//   faces-reverse     "Reversed N of M listed face(s) volume_before=V volume_after=W"
//   join-faces        "Softened N edge(s) between coplanar faces linked=L soft_before=A
//                      soft_after=B"
//   faces-flatten     "Flattened N of M listed face(s) onto the plane moved_vertices=V"
//   faces-mirror      "Mirrored N of M listed face(s) -> K new face(s) from face F"
//   faces-scale       "Scaled N of M listed face(s) by S about (x,y,z) moved_vertices=V"
//   faces-scale-frame "Scaled N of M listed face(s) from (a,b,c) to (x,y,z) moved_vertices=V"
//   faces-translate   "Moved N of M listed face(s) by (x,y,z) moved_vertices=V"
//   faces-rotate      "Rotated N of M listed face(s) by A degrees about (x,y,z) axis (x,y,z)
//                      moved_vertices=V"
//   faces-array       "Arrayed face F: K copies stepped by (x,y,z) -> new faces A..B"
//   faces-duplicate   "Duplicated N of M listed face(s) by (x,y,z) -> new faces A..B"
//   mesh-triangulate  "Triangulated face F -> K triangle(s)" or
//                     "Triangulated N face(s) faces_before=A faces_after=B"
//   weld-vertices     "Welded N vertex(es) tolerance=T vertices_before=A vertices_after=B"
//   mesh-stitch-edges "Stitched N edge pair(s) naked_before=A naked_after=B"
//   mesh-fill-holes   "Filled N hole(s) linked=L naked_before=A naked_after=B"
//   mesh-union-pairs  "Removed N coincident face(s) welded=W linked=L volume_before=V
//                      volume_after=W"
//   mesh-repair       "Repaired welded=W stitched=S filled=F naked_before=A naked_after=B"
//   mesh-merge        "Merged N face(s) from "src" faces_before=A faces_after=B"
//   unhide-all        "Unhidden N face(s)"
//   make-group        "Made group "NAME" from N face(s) (M input face(s))"
//   mirror-node       "mirrored=1 name=NAME flip=1|0"
//   mirror-selection  "Mirrored N node(s) and K new face(s) at a point|line|plane
//                      erased_faces=E"
// Refusals are "<verb>: <reason>" on standard error, exit 1, nothing written.
#include "cli/verbs/face_edits.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "core/box.h"
#include "core/mesh.h"
#include "core/tolerances.h"
#include "document/commands/mesh_edit_commands.h"
#include "document/commands/undo_steps.h"
#include "io/korv_reader.h"

namespace korvan::cli {
namespace {

void append_v(std::string& out, const Vec3& v) { append_vec3(out, v.x, v.y, v.z); }

// " key=value" with the value as a decimal integer.
void append_key(std::string& out, std::string_view key, std::uint64_t value) {
    out.append(" ").append(key).append("=");
    append_int(out, static_cast<std::int64_t>(value));
}

void append_key_float(std::string& out, std::string_view key, double value) {
    out.append(" ").append(key).append("=");
    append_float(out, value);
}

constexpr std::string_view kNoAliveFace = "no listed face is alive";

// "<past> N of M listed face(s)".
std::string listed(std::string_view past, std::size_t reached, std::size_t listed_count) {
    std::string s(past);
    s.append(" ");
    append_int(s, static_cast<std::int64_t>(reached));
    s.append(" of ");
    append_int(s, static_cast<std::int64_t>(listed_count));
    s.append(" listed face(s)");
    return s;
}

std::string id_range(std::uint64_t first, std::uint64_t count) {
    std::string s;
    append_int(s, static_cast<std::int64_t>(first));
    s.append("..");
    append_int(s, static_cast<std::int64_t>(first + count - 1));
    return s;
}

bool degenerate(const Vec3& v) {
    return !(static_cast<double>(length_squared(v)) > kDegenerateNormalSq);
}

// Runs move(mesh, alive faces) for the selection-move verbs, which all refuse an empty
// selection the same way and print the moved vertex count last.
template <class Move>
int move_selection(const VerbCall& call, std::string_view past, Move&& move) {
    const Options& o = call.options;
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::vector<FaceId> faces = distinct_alive_faces(mesh, o.faces);
        if (faces.empty()) {
            reason = kNoAliveFace;
            return false;
        }
        out = listed(past, faces.size(), o.faces.size());
        const std::uint64_t moved = move(mesh, faces, out);
        append_key(out, "moved_vertices", moved);
        return true;
    });
}

// Splits "a,b,c" at commas; empty pieces are dropped.
std::vector<std::string> split_names(std::string_view text) {
    std::vector<std::string> names;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view piece = text.substr(0, comma);
        if (!piece.empty()) names.emplace_back(piece);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return names;
}

int refuse_tolerance(const VerbCall& call) {
    return refuse(call, "--tolerance must not be negative");
}

}  // namespace

// ---- Per-face attributes -----------------------------------------------------------------

int run_faces_erase(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty()) return refuse(call, "--faces is required");
    return edit_document(call, [&](Document& doc, std::string& out, std::string& reason) {
        Mesh& mesh = doc.root().mesh;
        const std::uint64_t before = mesh.alive_face_count();
        EraseFacesCommand erase(doc, MeshLocator::of_node(&doc.root()), o.faces);
        erase.redo();
        if (erase.erased() == 0) {
            reason = kNoAliveFace;
            return false;
        }
        out = listed("Erased", erase.erased(), o.faces.size());
        append_key(out, "faces_before", before);
        append_key(out, "faces_after", mesh.alive_face_count());
        return true;
    });
}

int run_faces_visibility(const VerbCall& call) {
    const Options& o = call.options;
    const bool show = call.verb == "faces-show";
    if (o.faces.empty()) return refuse(call, "--faces is required");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::vector<FaceId> faces = distinct_alive_faces(mesh, o.faces);
        if (faces.empty()) {
            reason = kNoAliveFace;
            return false;
        }
        const std::size_t before = mesh.soft_hidden_faces().size();
        for (const FaceId f : faces) mesh.set_face_visible(f, show);
        out = listed(show ? "Showed" : "Hid", faces.size(), o.faces.size());
        append_key(out, "hidden_before", before);
        append_key(out, "hidden_after", mesh.soft_hidden_faces().size());
        return true;
    });
}

int run_faces_paint(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty() || !o.mat.given) return refuse(call, "--faces and --mat are required");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::vector<FaceId> faces = distinct_alive_faces(mesh, o.faces);
        if (faces.empty()) {
            reason = kNoAliveFace;
            return false;
        }
        for (const FaceId f : faces) mesh.set_face_material(f, o.mat.value);
        out = listed("Painted", faces.size(), o.faces.size());
        out.append(" with material ");
        append_int(out, o.mat.value);
        append_key(out, "faces_with_material", mesh.faces_with_material(o.mat.value).size());
        return true;
    });
}

int run_faces_set_layer(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty() || !o.layer.given) return refuse(call, "--faces and --layer are required");
    if (o.layer.value == kInvalidLayer) return refuse(call, "--layer names the invalid layer");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::vector<FaceId> faces = distinct_alive_faces(mesh, o.faces);
        if (faces.empty()) {
            reason = kNoAliveFace;
            return false;
        }
        for (const FaceId f : faces) mesh.set_face_layer(f, o.layer.value);
        out = listed("Moved", faces.size(), o.faces.size());
        out.append(" to layer ");
        append_int(out, o.layer.value);
        append_key(out, "faces_on_layer", mesh.faces_with_layer(o.layer.value).size());
        return true;
    });
}

int run_faces_reverse(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty()) return refuse(call, "--faces is required");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const float before = mesh.signed_volume();
        // Every listed id is one reversal, so an id listed twice ends as it was.
        const std::uint64_t reversed = mesh.reverse_faces(o.faces);
        if (reversed == 0) {
            reason = kNoAliveFace;
            return false;
        }
        out = listed("Reversed", reversed, o.faces.size());
        append_key_float(out, "volume_before", before);
        append_key_float(out, "volume_after", mesh.signed_volume());
        return true;
    });
}

int run_join_faces(const VerbCall& call) {
    const Options& o = call.options;
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        std::vector<FaceId> faces;
        if (!o.faces.empty()) {
            faces = distinct_alive_faces(mesh, o.faces);
            if (faces.empty()) {
                reason = kNoAliveFace;
                return false;
            }
        }
        // Only linked sides are shared edges; faces made separately meet nowhere until then.
        const std::uint64_t linked = mesh.link_shared_edges();
        const std::uint64_t soft_before = mesh.soft_edge_count();
        const std::uint64_t softened = o.faces.empty() ? mesh.merge_coplanar_faces(o.eps)
                                                       : mesh.merge_coplanar_faces(faces, o.eps);
        out = "Softened ";
        append_int(out, static_cast<std::int64_t>(softened));
        out.append(" edge(s) between coplanar faces");
        append_key(out, "linked", linked);
        append_key(out, "soft_before", soft_before);
        append_key(out, "soft_after", mesh.soft_edge_count());
        return true;
    });
}

// ---- Moving a selection ------------------------------------------------------------------

int run_faces_flatten(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty() || !o.point.given || !o.normal.given)
        return refuse(call, "--faces, --point and --normal are required");
    const Vec3 normal = to_vec3(o.normal.value);
    if (degenerate(normal)) return refuse(call, "the normal has no direction");
    return move_selection(call, "Flattened", [&](Mesh& mesh, const auto& faces, std::string& out) {
        out.append(" onto the plane");
        return mesh.flatten_faces_to_plane(faces, to_vec3(o.point.value), normal);
    });
}

int run_faces_mirror(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty() || !o.point.given || !o.normal.given)
        return refuse(call, "--faces, --point and --normal are required");
    const Vec3 normal = to_vec3(o.normal.value);
    if (degenerate(normal)) return refuse(call, "the normal has no direction");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::vector<FaceId> faces = distinct_alive_faces(mesh, o.faces);
        if (faces.empty()) {
            reason = kNoAliveFace;
            return false;
        }
        const std::size_t first = mesh.faces().size();
        const std::uint64_t made = mesh.mirror_faces(faces, to_vec3(o.point.value), normal);
        if (made == 0) {
            reason = "no face could be mirrored";
            return false;
        }
        out = listed("Mirrored", faces.size(), o.faces.size());
        out.append(" -> ");
        append_int(out, static_cast<std::int64_t>(made));
        out.append(" new face(s) from face ");
        append_int(out, static_cast<std::int64_t>(first));
        return true;
    });
}

int run_faces_scale(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty() || !o.pivot.given || !o.scale.given)
        return refuse(call, "--faces, --pivot and --scale are required");
    // A negative factor would turn the faces inside out; zero collapses them to the pivot.
    if (!(o.scale.value > 0.0f) || !std::isfinite(o.scale.value))
        return refuse(call, "--scale must be greater than 0");
    const float s = o.scale.value;
    const Vec3 pivot = to_vec3(o.pivot.value);
    return move_selection(call, "Scaled", [&](Mesh& mesh, const auto& faces, std::string& out) {
        out.append(" by ");
        append_float(out, s);
        out.append(" about ");
        append_v(out, pivot);
        return mesh.scale_faces(faces, pivot, Vec3{s, s, s});
    });
}

int run_faces_scale_frame(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty() || !o.size.given) return refuse(call, "--faces and --size are required");
    const Vec3 size = to_vec3(o.size.value);
    if (size.x < 0.0f || size.y < 0.0f || size.z < 0.0f)
        return refuse(call, "--size must not be negative");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::vector<FaceId> faces = distinct_alive_faces(mesh, o.faces);
        if (faces.empty()) {
            reason = kNoAliveFace;
            return false;
        }
        const std::optional<Obb> frame = mesh.compute_obb_of_faces(faces);
        if (!frame) {
            reason = "the listed faces have no frame (fewer than 3 distinct corners, or no spread)";
            return false;
        }
        out = listed("Scaled", faces.size(), o.faces.size());
        out.append(" from ");
        append_v(out, frame->half_extents * 2.0f);
        out.append(" to ");
        append_v(out, size);
        append_key(out, "moved_vertices", mesh.scale_faces_in_frame(faces, *frame, size));
        return true;
    });
}

int run_faces_translate(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty() || !o.translate.given)
        return refuse(call, "--faces and --translate are required");
    const Vec3 delta = to_vec3(o.translate.value);
    return move_selection(call, "Moved", [&](Mesh& mesh, const auto& faces, std::string& out) {
        out.append(" by ");
        append_v(out, delta);
        return mesh.translate_faces(faces, delta);
    });
}

int run_faces_rotate(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty() || !o.pivot.given || !o.axis.given || !o.angle.given)
        return refuse(call, "--faces, --pivot, --axis and --angle are required");
    const Vec3 axis = to_vec3(o.axis.value);
    if (degenerate(axis)) return refuse(call, "the axis has no direction");
    const Vec3 pivot = to_vec3(o.pivot.value);
    return move_selection(call, "Rotated", [&](Mesh& mesh, const auto& faces, std::string& out) {
        out.append(" by ");
        append_float(out, o.angle.value);
        out.append(" degrees about ");
        append_v(out, pivot);
        out.append(" axis ");
        append_v(out, axis);
        return mesh.rotate_faces(faces, pivot, axis, radians(o.angle.value));
    });
}

// ---- Copies and triangles ----------------------------------------------------------------

int run_faces_array(const VerbCall& call) {
    const Options& o = call.options;
    if (o.count < 1) return refuse(call, "--count must be a positive integer (K>=1)");
    if (!o.face.given || !o.step.given) return refuse(call, "--face and --step are required");
    const Vec3 step = to_vec3(o.step.value);
    return edit_document(call, [&](Document& doc, std::string& out, std::string& reason) {
        ArrayCommand array(doc, MeshLocator::of_node(&doc.root()), o.face.value, o.count, step);
        array.redo();
        if (array.copies() == 0) {
            reason = "face ";
            append_int(reason, o.face.value);
            reason.append(" is invalid or dead");
            return false;
        }
        out = "Arrayed face ";
        append_int(out, o.face.value);
        out.append(": ");
        append_int(out, o.count);
        out.append(" copies stepped by ");
        append_v(out, step);
        out.append(" -> new faces ").append(id_range(array.first_copy(), array.copies()));
        return true;
    });
}

int run_faces_duplicate(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty()) return refuse(call, "--faces is required");
    const Vec3 delta = o.translate.given ? to_vec3(o.translate.value) : Vec3{};
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::vector<FaceId> faces = distinct_alive_faces(mesh, o.faces);
        Mesh copies;
        mesh.duplicate_faces(faces, copies);
        const std::size_t first = mesh.faces().size();
        const std::uint64_t made = mesh.merge_mesh(copies, Mat4::translation(delta));
        if (made == 0) {
            reason = "no listed face is alive (zero copies made)";
            return false;
        }
        out = listed("Duplicated", faces.size(), o.faces.size());
        out.append(" by ");
        append_v(out, delta);
        out.append(" -> new faces ").append(id_range(first, made));
        return true;
    });
}

int run_mesh_triangulate(const VerbCall& call) {
    const Options& o = call.options;
    if (o.face.given == o.all) return refuse(call, "give exactly one of --face or --all");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::uint64_t before = mesh.alive_face_count();
        if (o.all) {
            const std::uint64_t done = mesh.triangulate_all();
            out = "Triangulated ";
            append_int(out, static_cast<std::int64_t>(done));
            out.append(" face(s)");
            append_key(out, "faces_before", before);
            append_key(out, "faces_after", mesh.alive_face_count());
            return true;
        }
        if (!mesh.triangulate_face(o.face.value)) {
            reason = "face ";
            append_int(reason, o.face.value);
            reason.append(
                " could not be triangulated (invalid/dead face or fewer than 4 vertices)");
            return false;
        }
        out = "Triangulated face ";
        append_int(out, o.face.value);
        out.append(" -> ");
        // One face gave way to its triangles.
        append_int(out, static_cast<std::int64_t>(mesh.alive_face_count() - before + 1));
        out.append(" triangle(s)");
        return true;
    });
}

// ---- Whole-mesh repair -------------------------------------------------------------------

int run_weld_vertices(const VerbCall& call) {
    const Options& o = call.options;
    if (o.tolerance < 0.0f) return refuse_tolerance(call);
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string&) {
        const std::uint64_t before = mesh.alive_vertex_count();
        const std::uint64_t welded = mesh.weld_vertices(o.tolerance);
        out = "Welded ";
        append_int(out, static_cast<std::int64_t>(welded));
        out.append(" vertex(es)");
        append_key_float(out, "tolerance", o.tolerance);
        append_key(out, "vertices_before", before);
        append_key(out, "vertices_after", mesh.alive_vertex_count());
        return true;
    });
}

int run_mesh_stitch_edges(const VerbCall& call) {
    const Options& o = call.options;
    if (o.tolerance < 0.0f) return refuse_tolerance(call);
    return edit_document(call, [&](Document& doc, std::string& out, std::string&) {
        const Mesh& mesh = doc.root().mesh;
        const std::uint64_t before = mesh.naked_edge_count();
        StitchNakedEdgesCommand stitch(doc, MeshLocator::of_node(&doc.root()), o.tolerance);
        stitch.redo();
        out = "Stitched ";
        append_int(out, static_cast<std::int64_t>(stitch.stitched()));
        out.append(" edge pair(s)");
        append_key(out, "naked_before", before);
        append_key(out, "naked_after", mesh.naked_edge_count());
        return true;
    });
}

int run_mesh_fill_holes(const VerbCall& call) {
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string&) {
        const std::uint64_t before = mesh.naked_edge_count();
        const std::uint64_t filled = mesh.fill_holes();
        // A cap shares its rim's vertices, so linking closes it where stitching is not needed.
        const std::uint64_t linked = mesh.link_shared_edges();
        out = "Filled ";
        append_int(out, static_cast<std::int64_t>(filled));
        out.append(" hole(s)");
        append_key(out, "linked", linked);
        append_key(out, "naked_before", before);
        append_key(out, "naked_after", mesh.naked_edge_count());
        return true;
    });
}

int run_mesh_union_pairs(const VerbCall& call) {
    const Options& o = call.options;
    if (o.tolerance < 0.0f) return refuse_tolerance(call);
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string&) {
        const float before = mesh.signed_volume();
        // Coincident faces only pair up once their corners are the same vertices.
        const std::uint64_t welded = mesh.weld_vertices(o.tolerance);
        const std::uint64_t removed = mesh.remove_coincident_face_pairs();
        const std::uint64_t linked = mesh.link_shared_edges();
        out = "Removed ";
        append_int(out, static_cast<std::int64_t>(removed));
        out.append(" coincident face(s)");
        append_key(out, "welded", welded);
        append_key(out, "linked", linked);
        append_key_float(out, "volume_before", before);
        append_key_float(out, "volume_after", mesh.signed_volume());
        return true;
    });
}

int run_mesh_repair(const VerbCall& call) {
    const Options& o = call.options;
    if (o.tolerance < 0.0f) return refuse_tolerance(call);
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string&) {
        const std::uint64_t before = mesh.naked_edge_count();
        const TopologyRepair r = mesh.repair_topology(o.tolerance);
        out = "Repaired";
        append_key(out, "welded", r.welded);
        append_key(out, "stitched", r.stitched);
        append_key(out, "filled", r.filled);
        append_key(out, "naked_before", before);
        append_key(out, "naked_after", mesh.naked_edge_count());
        return true;
    });
}

int run_mesh_merge(const VerbCall& call) {
    const Options& o = call.options;
    if (o.src.empty()) return refuse(call, "--src is required");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    Document source;
    if (!io::load_document(o.src, source)) {
        write_err("Failed to load " + quoted_path(o.src) + '\n');
        return kExitFailure;
    }
    const Mat4 move = Mat4::translation(o.translate.given ? to_vec3(o.translate.value) : Vec3{});
    const std::uint64_t before = doc->root().mesh.alive_face_count();
    MergeMeshCommand merge(*doc, MeshLocator::of_node(&doc->root()), std::move(source.root().mesh),
                           move);
    merge.redo();
    if (merge.merged() == 0) return refuse(call, "--src has no faces to merge");
    std::string out = "Merged ";
    append_int(out, static_cast<std::int64_t>(merge.merged()));
    out.append(" face(s) from ");
    append_quoted_path(out, o.src);
    append_key(out, "faces_before", before);
    append_key(out, "faces_after", doc->root().mesh.alive_face_count());
    return finish_edit(call, *doc, std::move(out));
}

int run_unhide_all(const VerbCall& call) {
    return edit_document(call, [&](Document& doc, std::string& out, std::string&) {
        UnhideAllCommand unhide(doc, MeshLocator::of_node(&doc.root()));
        unhide.redo();
        out = "Unhidden ";
        append_int(out, static_cast<std::int64_t>(unhide.unhidden()));
        out.append(" face(s)");
        return true;
    });
}

// ---- Groups and mirrors ------------------------------------------------------------------

int run_make_group(const VerbCall& call) {
    const Options& o = call.options;
    if (o.faces.empty()) return refuse(call, "--faces is required");
    const std::string name = o.name.given && !o.name.value.empty() ? o.name.value : "Group";
    return edit_document(call, [&](Document& doc, std::string& out, std::string& reason) {
        MakeGroupFromFacesCommand group(doc, &doc.root(), o.faces, name);
        group.redo();
        if (group.moved() == 0) {
            reason = kNoAliveFace;
            return false;
        }
        out = "Made group ";
        append_quoted(out, name);
        out.append(" from ");
        append_int(out, static_cast<std::int64_t>(group.moved()));
        out.append(" face(s) (");
        append_int(out, static_cast<std::int64_t>(o.faces.size()));
        out.append(" input face(s))");
        return true;
    });
}

int run_mirror_node(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.name.given || o.name.value.empty() || !o.normal.given)
        return refuse(call, "--name and --normal are required");
    return edit_document(call, [&](Document& doc, std::string& out, std::string& reason) {
        SceneNode* node = doc.find_node_by_name(o.name.value);
        if (node == nullptr) {
            reason = "no node named ";
            append_quoted(reason, o.name.value);
            return false;
        }
        const Vec3 normal = to_vec3(o.normal.value);
        const MirrorResult r =
            o.point.given ? doc.mirror_node_about_plane(node, to_vec3(o.point.value), normal)
                          : doc.mirror_node(node, normal);
        if (!r.ok) {
            reason = "cannot mirror ";
            append_quoted(reason, o.name.value);
            reason.append(" (the model's root, or a normal without direction)");
            return false;
        }
        out = "mirrored=1 name=" + o.name.value + (r.flipped ? " flip=1" : " flip=0");
        return true;
    });
}

int run_mirror_selection(const VerbCall& call) {
    const Options& o = call.options;
    static constexpr std::string_view kWords[] = {"point", "line", "plane"};
    static constexpr MirrorKind kKinds[] = {MirrorKind::kPoint, MirrorKind::kLine,
                                            MirrorKind::kPlane};
    if (!o.mirror.given) return refuse(call, "--mirror point|line|plane is required");
    const auto word = std::find(std::begin(kWords), std::end(kWords), o.mirror.value);
    if (word == std::end(kWords)) return refuse(call, "--mirror must be point, line or plane");
    const MirrorKind kind = kKinds[word - std::begin(kWords)];
    if (!o.p1.given) return refuse(call, "--p1 is required");
    if (kind != MirrorKind::kPoint && !o.p2.given) return refuse(call, "--p2 is required");
    if (kind == MirrorKind::kPlane && !o.p3.given) return refuse(call, "--p3 is required");
    const std::vector<std::string> names =
        o.name.given ? split_names(o.name.value) : std::vector<std::string>{};
    if (names.empty() && o.faces.empty()) return refuse(call, "give --name or --faces to mirror");
    return edit_document(call, [&](Document& doc, std::string& out, std::string& reason) {
        std::vector<SceneNode*> nodes;
        for (const std::string& n : names) {
            SceneNode* node = doc.find_node_by_name(n);
            if (node == nullptr) {
                reason = "no node named ";
                append_quoted(reason, n);
                return false;
            }
            nodes.push_back(node);
        }
        const bool erase = o.erase.given && o.erase.value;
        MirrorSelectionCommand mirror(doc, kind, to_vec3(o.p1.value), to_vec3(o.p2.value),
                                      to_vec3(o.p3.value), std::move(nodes), o.faces, erase);
        mirror.redo();
        if (*mirror.refusal() != '\0') {
            reason = mirror.refusal();
            return false;
        }
        out = "Mirrored ";
        append_int(out, static_cast<std::int64_t>(mirror.nodes_mirrored()));
        out.append(" node(s) and ");
        append_int(out, static_cast<std::int64_t>(mirror.faces_made()));
        out.append(" new face(s) at a ").append(*word);
        append_key(out, "erased_faces", mirror.faces_erased());
        return true;
    });
}

}  // namespace korvan::cli
