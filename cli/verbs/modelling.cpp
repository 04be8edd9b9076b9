#include "cli/verbs/modelling.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "core/mesh.h"
#include "core/mesh_knife.h"
#include "core/tolerances.h"
#include "document/commands/modelling_commands.h"

namespace korvan::cli {
namespace {

void append_count(std::string& out, std::uint64_t value) {
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, end);
}

void append_key(std::string& out, const char* key, std::uint64_t value) {
    out.append(key).append("=");
    append_count(out, value);
}

void append_key(std::string& out, const char* key, double value) {
    out.append(key).append("=");
    append_float(out, value);
}

void append_v(std::string& out, const Vec3& v) { append_vec3(out, v.x, v.y, v.z); }

std::string face_text(std::uint32_t face) {
    std::string s;
    append_count(s, face);
    return s;
}

// Plane verbs need both halves of the plane.
bool has_plane(const VerbCall& call) {
    return call.options.point.given && call.options.normal.given;
}

}  // namespace

int run_face_pushpull(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.face.given || !o.distance.given)
        return refuse(call, "--face and --distance are required");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const auto cap = mesh.push_pull(o.face.value, o.distance.value);
        if (!cap) {
            reason = "face " + face_text(o.face.value) +
                     " could not be pushed/pulled (invalid/dead face, <3 vertices, or degenerate "
                     "normal)";
            return false;
        }
        out =
            "Pushed/pulled face " + face_text(o.face.value) + " -> new cap face " + face_text(*cap);
        return true;
    });
}

int run_face_extrude(const VerbCall& call) {
    const Options& o = call.options;
    const bool many = call.verb == "faces-extrude";
    if (!o.vector.given || (many ? o.faces.empty() : !o.face.given)) {
        return refuse(
            call, many ? "--faces and --vector are required" : "--face and --vector are required");
    }
    const Vec3 v = to_vec3(o.vector.value);
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        if (many) {
            const std::uint64_t made = mesh.extrude_faces_along_vector(o.faces, v);
            if (made == 0) {
                reason =
                    "no listed face could be extruded (invalid/dead faces, <3 vertices, or a "
                    "zero vector)";
                return false;
            }
            out = "Extruded ";
            append_count(out, o.faces.size());
            out.append(" listed face(s) along ");
            append_v(out, v);
            out.append(" -> ");
            append_count(out, made);
            out.append(" new face(s)");
            return true;
        }
        const auto cap = mesh.extrude_face_along_vector(o.face.value, v);
        if (!cap) {
            reason = "face " + face_text(o.face.value) +
                     " could not be extruded (invalid/dead face, <3 vertices, or a zero vector)";
            return false;
        }
        out = "Extruded face " + face_text(o.face.value) + " along ";
        append_v(out, v);
        out.append(" -> new cap face " + face_text(*cap));
        return true;
    });
}

int run_face_inset(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.face.given || !o.distance.given)
        return refuse(call, "--face and --distance are required");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const float before = mesh.face_area(o.face.value);
        const auto made = mesh.inset_face(o.face.value, o.distance.value);
        if (!made) {
            reason = "face " + face_text(o.face.value) +
                     " could not be inset (invalid/dead face, zero distance, degenerate ring, or "
                     "the inset collapses or turns inside out)";
            return false;
        }
        out = "Inset face " + face_text(o.face.value) + " -> new face " + face_text(*made) + " ";
        append_key(out, "area_before", before);
        out.append(" ");
        append_key(out, "area_after", mesh.face_area(*made));
        return true;
    });
}

int run_face_offset(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.face.given || !o.distance.given)
        return refuse(call, "--face and --distance are required");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const float before = mesh.face_area(o.face.value);
        const std::size_t faces = mesh.faces().size();
        const auto made = mesh.offset_face(o.face.value, o.distance.value);
        if (!made) {
            reason = "face " + face_text(o.face.value) +
                     " could not be offset (invalid/dead face, <3 vertices, or an offset wider "
                     "than the face)";
            return false;
        }
        out = "Offset face " + face_text(o.face.value) + " -> new face " + face_text(*made) + " ";
        append_key(out, "frame_faces", static_cast<std::uint64_t>(mesh.faces().size() - faces - 1));
        out.append(" ");
        append_key(out, "area_before", before);
        out.append(" ");
        append_key(out, "area_after", mesh.face_area(*made));
        return true;
    });
}

int run_face_split_plane(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.face.given || !has_plane(call)) {
        return refuse(call, "--face, --point and --normal are required");
    }
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::size_t first_new = mesh.faces().size();
        if (!mesh.split_face_by_plane(o.face.value, to_vec3(o.point.value),
                                      to_vec3(o.normal.value))) {
            reason = "the plane does not cross face " + face_text(o.face.value) +
                     " (or the face is invalid/dead, or the normal is degenerate)";
            return false;
        }
        out = "Split face " + face_text(o.face.value) + " by the plane -> faces " +
              face_text(static_cast<std::uint32_t>(first_new)) + " and " +
              face_text(static_cast<std::uint32_t>(first_new + 1));
        return true;
    });
}

int run_face_split_edge(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.face.given || !o.a.given || !o.b.given) {
        return refuse(call, "--face, --a and --b are required");
    }
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const auto made =
            mesh.split_face_with_edge(o.face.value, to_vec3(o.a.value), to_vec3(o.b.value));
        if (!made) {
            reason = "face " + face_text(o.face.value) +
                     " could not be split (invalid/dead face, an end off its plane, or ends "
                     "closer than 1e-5)";
            return false;
        }
        out = "Split face " + face_text(o.face.value) + " along the segment -> new face " +
              face_text(*made);
        return true;
    });
}

int run_mesh_split_plane(const VerbCall& call) {
    const Options& o = call.options;
    if (!has_plane(call)) return refuse(call, "--point and --normal are required");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const float volume_before = mesh.compute_volume();
        const std::uint64_t naked_before = mesh.naked_edge_count();
        const PlaneSplitReport r =
            mesh.split_by_plane(to_vec3(o.point.value), to_vec3(o.normal.value));
        if (!r.ok) {
            reason = std::string("nothing split (") + r.message + ")";
            return false;
        }
        out = "Split ";
        append_count(out, r.faces_split);
        out.append(" face(s) by the plane: ");
        append_key(out, "faces_before", r.faces_before);
        append_key(out.append(" "), "faces_after", r.faces_after);
        append_key(out.append(" "), "seam_vertices", r.seam_vertices);
        append_key(out.append(" "), "seam_shared", r.seam_shared);
        append_key(out.append(" "), "volume_before", volume_before);
        append_key(out.append(" "), "volume_after", mesh.compute_volume());
        append_key(out.append(" "), "naked_before", naked_before);
        append_key(out.append(" "), "naked_after", r.naked_after);
        return true;
    });
}

int run_mesh_slice(const VerbCall& call) {
    const Options& o = call.options;
    if (!has_plane(call)) return refuse(call, "--point and --normal are required");
    const bool keep_positive = o.keep == KeepSide::kPos;
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const PlaneSliceReport r = mesh.slice_by_plane(
            to_vec3(o.point.value), to_vec3(o.normal.value), keep_positive, !o.no_cap);
        if (!r.ok) {
            reason = std::string("nothing sliced (") + r.message + ")";
            return false;
        }
        out = keep_positive ? "Sliced by the plane keeping pos: "
                            : "Sliced by the plane keeping neg: ";
        append_key(out, "faces_split", r.faces_split);
        append_key(out.append(" "), "faces_removed", r.faces_removed);
        append_key(out.append(" "), "loops_capped", r.loops_capped);
        append_key(out.append(" "), "triangles", r.triangles);
        append_key(out.append(" "), "volume_before", static_cast<double>(r.volume_before));
        append_key(out.append(" "), "volume_after", static_cast<double>(r.volume_after));
        if (r.naked_after == 0) {
            out.append(" closed=1");
        } else {
            out.append(" closed=0 ");
            append_key(out, "naked", r.naked_after);
        }
        return true;
    });
}

int run_mesh_slice_cap(const VerbCall& call) {
    const Options& o = call.options;
    if (!has_plane(call)) return refuse(call, "--point and --normal are required");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::uint64_t naked_before = mesh.naked_edge_count();
        std::optional<Vec3> outward;
        if (o.outward.given) outward = to_vec3(o.outward.value);
        const PlaneCapReport r =
            mesh.cap_boundary_on_plane(to_vec3(o.point.value), to_vec3(o.normal.value), outward);
        if (r.loops_capped == 0) {
            reason =
                "nothing capped (no boundary loop lies in the plane, or the cap would not close "
                "the mesh)";
            return false;
        }
        out = "Capped ";
        append_count(out, r.loops_capped);
        out.append(" loop(s) with ");
        append_count(out, r.triangles);
        out.append(" triangle(s): ");
        append_key(out, "reversed", static_cast<std::uint64_t>(r.reversed ? 1 : 0));
        append_key(out.append(" "), "naked_before", naked_before);
        append_key(out.append(" "), "naked_after", r.naked_after);
        append_key(out.append(" "), "volume", static_cast<double>(mesh.compute_volume()));
        return true;
    });
}

int run_mesh_knife(const VerbCall& call) {
    const Options& o = call.options;
    if (o.path.empty()) return refuse(call, "--path is required");
    std::vector<Vec3> path;
    for (const Float3& p : o.path) path.push_back(to_vec3(p));
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        const std::uint64_t faces_before = mesh.alive_face_count();
        const std::uint64_t naked_before = mesh.naked_edge_count();
        const KnifeReport r = knife_path(mesh, path);
        if (!r.ok) {
            reason = std::string("nothing cut (") + r.message + ")";
            return false;
        }
        out = "Knife cut ";
        append_count(out, r.faces_cut);
        out.append(" face(s) along ");
        append_count(out, path.size());
        out.append(" path point(s): ");
        append_key(out, "t_vertices", r.t_vertices);
        append_key(out.append(" "), "reused", r.reused);
        append_key(out.append(" "), "faces_before", faces_before);
        append_key(out.append(" "), "faces_after", mesh.alive_face_count());
        append_key(out.append(" "), "naked_before", naked_before);
        append_key(out.append(" "), "naked_after", mesh.naked_edge_count());
        return true;
    });
}

int run_face_sweep(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.face.given || o.path.empty()) return refuse(call, "--face and --path are required");
    std::vector<Vec3> path;
    for (const Float3& p : o.path) path.push_back(to_vec3(p));
    return edit_document(call, [&](Document& doc, std::string& out, std::string& reason) {
        SweepAlongPathCommand sweep(doc, MeshLocator::of_node(&doc.root()), o.face.value, path);
        sweep.redo();
        const SweepReport& r = sweep.result();
        if (!r.ok) {
            reason = "face " + face_text(o.face.value) + " could not be swept (" + r.message + ")";
            return false;
        }
        const Mesh& mesh = doc.root().mesh;
        out = "Swept face " + face_text(o.face.value) + " along ";
        append_count(out, path.size());
        out.append(" path point(s) -> end cap face ");
        append_count(out, r.end_cap);
        out.append(" ");
        append_key(out, "sections", r.sections);
        append_key(out.append(" "), "new_faces", r.faces_made);
        append_key(out.append(" "), "soft_edges", r.soft_edges);
        append_key(out.append(" "), "volume", static_cast<double>(mesh.compute_volume()));
        append_key(out.append(" "), "naked_after", mesh.naked_edge_count());
        return true;
    });
}

int run_cut_opening(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.face.given) return refuse(call, "--face is required");
    const bool door = call.verb == "cut-door";
    OpeningRequest request =
        default_opening(door ? OpeningKind::kDoor : OpeningKind::kWindow, o.face.value);
    if (o.width.given) request.width = o.width.value;
    if (o.height.given) request.height = o.height.value;
    if (o.sill.given) request.sill = o.sill.value;
    if (o.thickness.given) request.thickness = o.thickness.value;
    return edit_document(call, [&](Document& doc, std::string& out, std::string& reason) {
        const Mesh& mesh = doc.root().mesh;
        const float volume_before = mesh.compute_volume();
        CutOpeningCommand cut(doc, MeshLocator::of_node(&doc.root()), request);
        cut.redo();
        const OpeningResult& r = cut.result();
        if (!r.ok) {
            reason = "face " + face_text(o.face.value) + " could not be opened (" + r.message + ")";
            return false;
        }
        out = door ? "Cut door opening " : "Cut window opening ";
        append_float(out, request.width);
        out.append(" x ");
        append_float(out, request.height);
        out.append(" at sill ");
        append_float(out, request.sill);
        if (r.far_face != kInvalidId) {
            out.append(" through face " + face_text(o.face.value) + " and far face " +
                       face_text(r.far_face) + ": ");
            append_key(out, "depth", static_cast<double>(r.depth));
            out.append(" ");
        } else {
            out.append(" in face " + face_text(o.face.value) + " (no far face): ");
        }
        append_key(out, "new_faces", r.faces_made);
        append_key(out.append(" "), "volume_before", static_cast<double>(volume_before));
        append_key(out.append(" "), "volume_after", static_cast<double>(mesh.compute_volume()));
        append_key(out.append(" "), "naked_after", mesh.naked_edge_count());
        return true;
    });
}

int run_add_ngon(const VerbCall& call) {
    const Options& o = call.options;
    if (o.points.size() < 3) return refuse(call, "--points needs at least three X,Y,Z points");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        std::vector<VertexId> ring;
        for (const Float3& p : o.points) ring.push_back(mesh.add_vertex(to_vec3(p)));
        const auto face = mesh.add_ngon(ring);
        if (!face) {
            reason = "the points do not make a face";
            return false;
        }
        out = "Added face " + face_text(*face) + " with ";
        append_count(out, ring.size());
        out.append(" vertices ");
        append_key(out, "area", static_cast<double>(mesh.face_area(*face)));
        return true;
    });
}

namespace {

// The creators' common sentence: "Created <what> face F area=A".
bool created(Mesh& mesh, std::int32_t face, const char* what, std::string& out) {
    if (face < 0) return false;
    out = std::string("Created ") + what + " face " + face_text(static_cast<std::uint32_t>(face)) +
          " ";
    append_key(out, "area", static_cast<double>(mesh.face_area(static_cast<FaceId>(face))));
    return true;
}

}  // namespace

int run_create_rect(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.width.given || !o.depth.given) return refuse(call, "--width and --depth are required");
    const Vec3 at = to_vec3(o.at.value);
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        reason = "degenerate size (width and depth must be > 1e-4)";
        return created(mesh, mesh.create_rectangle(at, o.width.value, o.depth.value, at.z),
                       "rectangle", out);
    });
}

int run_create_circle(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.radius.given) return refuse(call, "--radius is required");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        reason = "degenerate radius (must be > 1e-4)";
        const std::int32_t face =
            mesh.create_circle_xy(to_vec3(o.at.value), o.radius.value, o.segments);
        if (!created(mesh, face, "circle", out)) return false;
        out.append(" ");
        append_key(out, "segments", mesh.face_degree(static_cast<FaceId>(face)));
        return true;
    });
}

int run_create_arc(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.a.given || !o.angle.given) return refuse(call, "--a and --angle are required");
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        reason = "degenerate arc (radius and sweep must be > 1e-4)";
        const std::int32_t face = mesh.create_arc_xy(to_vec3(o.at.value), to_vec3(o.a.value),
                                                     radians(o.angle.value), o.segments);
        if (!created(mesh, face, "arc", out)) return false;
        out.append(" ");
        append_key(out, "vertices", mesh.face_degree(static_cast<FaceId>(face)));
        return true;
    });
}

int run_create_line(const VerbCall& call) {
    const Options& o = call.options;
    if (!o.a.given || !o.b.given) return refuse(call, "--a and --b are required");
    const float width = o.width.given ? o.width.value : 0.01f;
    return edit_root_mesh(call, [&](Mesh& mesh, std::string& out, std::string& reason) {
        reason = "degenerate line (width and length must be > 1e-4)";
        return created(mesh, mesh.create_line_ribbon(to_vec3(o.a.value), to_vec3(o.b.value), width),
                       "line", out);
    });
}

}  // namespace korvan::cli
