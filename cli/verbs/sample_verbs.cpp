#include "cli/verbs/sample_verbs.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/samples/townhouse.h"
#include "cli/samples/villa.h"
#include "cli/verbs/gltf_dxf.h"
#include "cli/verbs/interchange.h"
#include "cli/verbs/pictures.h"
#include "cli/verbs/verb_support.h"
#include "core/mat4.h"
#include "document/commands/node_commands.h"
#include "document/commands/placement_commands.h"
#include "document/component_placer.h"
#include "document/material_library.h"
#include "io/image.h"
#include "io/korv_writer.h"
#include "platform/atomic_file.h"
#include "render/still.h"

// The sample-model generators and the component placement verbs.
//
// The sentences these two verbs print, ours to word:
//   create-instance: Created instance "NAME" of "ID", N total instances, saved to "PATH"
//   instance-array:  Arrayed K instance(s) of "ID" at step (x,y,z), N total instances, saved to "PATH"

namespace korvan::cli {
namespace {

// An array of more instances than this is surely a typo, and would exhaust memory first.
constexpr std::int32_t kMaxArrayCount = 100000;

bool has_extension(const std::filesystem::path& path, std::string_view ext) {
    std::string actual = path.extension().string();
    if (actual.size() != ext.size()) return false;
    for (char& c : actual) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return actual == ext;
}

// Creates the output folder of a sample verb; false after printing why it could not be.
bool make_folder(const VerbCall& call, const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!ec) return true;
    write_err(std::string(call.verb) + ": could not create the folder " + quoted_path(dir) + ": " +
              ec.message() + '\n');
    return false;
}

bool write_session(const Document& doc, const std::filesystem::path& path) {
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) {
        write_err("Failed to write Session " + quoted_path(path) + ": " + ec.message() + '\n');
        return false;
    }
    if (!io::write_document(path, doc)) {
        write_err("Failed to write Session " + quoted_path(path) + platform::write_error_suffix() +
                  '\n');
        return false;
    }
    return true;
}

// The interchange copies of a demo; false after printing which one failed.
bool write_interchange_copy(const Document& doc, const std::filesystem::path& path) {
    const bool ok = has_extension(path, ".obj") ? export_document_obj(doc, path, nullptr)
                                                : write_model_gltf(doc, path);
    if (!ok) write_err("Failed to write " + quoted_path(path) + platform::write_error_suffix() + '\n');
    return ok;
}

// The flattened model as OBJ; with --korvan the native file goes beside it.
int write_sample_obj(const VerbCall& call, const Document& doc) {
    const std::filesystem::path& out = call.options.out.value;
    std::uint64_t faces = 0;
    if (!export_document_obj(doc, out, &faces)) {
        write_err("Failed to export OBJ " + quoted_path(out) + platform::write_error_suffix() +
                  '\n');
        return kExitFailure;
    }
    std::string line = "Wrote ";
    append_quoted_path(line, out);
    line += "  faces=";
    append_int(line, static_cast<std::int64_t>(faces));
    write_out(line + '\n');
    if (call.options.korvan) {
        std::filesystem::path korv = out;
        if (!write_session(doc, korv.replace_extension(".korv"))) return kExitFailure;
        write_out("Wrote Session " + quoted_path(korv) + '\n');
    }
    return kExitOk;
}

// The size options both generators share; the defaults differ per building.
template <class Params>
Params with_size_options(Params params, const Options& o) {
    if (o.bwidth.given) params.width = o.bwidth.value;
    if (o.bdepth.given) params.depth = o.bdepth.value;
    params.storeys = o.storeys;
    if (o.storey_height.given) params.storey_height = o.storey_height.value;
    params.hollow = o.hollow;
    return params;
}

TownhouseSpec townhouse_params(const VerbCall& call) {
    if (call.verb == "shell-townhouse") return kShellTownhouse;
    TownhouseSpec params = with_size_options(kGenTownhouse, call.options);
    params.door = !call.options.no_door;
    params.windows = !call.options.no_windows;
    return params;
}

VillaSpec villa_params(const VerbCall& call) {
    if (call.verb == "shell-villa") return kShellVilla;
    VillaSpec params = with_size_options(kGenVilla, call.options);
    params.wing_width = call.options.wing_width;
    params.pool = call.options.pool;
    return params;
}

std::string quoted(std::string_view text) {
    std::string out;
    append_quoted(out, text);
    return out;
}

std::string missing_definition(std::string_view id) {
    return "definition " + quoted(id) +
           " not found in document (use 'korvan_cli defs --in file.korv' to list available ids, "
           "or run place-door/place-window first to create a fallback definition)";
}

}  // namespace

// Writes a generated model by the --out rules shared by the four generator verbs: a .korv
// path gets the native file, any other path that is not an OBJ file is a folder receiving
// the native file and the beauty image; an .obj path gets the flattened model as OBJ.
int write_sample(const VerbCall& call, const Document& doc) {
    const std::filesystem::path& out = call.options.out.value;
    if (has_extension(out, ".obj")) return write_sample_obj(call, doc);
    if (has_extension(out, ".korv")) {
        if (!write_session(doc, out)) return kExitFailure;
        write_out("Wrote Session " + quoted_path(out) + '\n');
        return kExitOk;
    }
    std::string name(call.verb);
    for (char& c : name) c = c == '-' ? '_' : c;
    if (!make_folder(call, out)) return kExitFailure;
    if (!write_session(doc, out / (name + ".korv"))) return kExitFailure;
    if (!write_model_beauty(call.verb, doc, out / (name + "_beauty.bmp"))) return kExitFailure;
    write_out("Wrote " + name + " (.korv + beauty) to " + quoted_path(out) + '\n');
    return kExitOk;
}

int run_townhouse_generator(const VerbCall& call) {
    const TownhouseSpec params = townhouse_params(call);
    if (const char* problem = townhouse_spec_problem(params)) return refuse(call, problem);
    std::optional<Document> doc =
        make_townhouse_document(params, MaterialLibrary(default_materials()), true);
    if (!doc) return refuse(call, "the townhouse could not be built");
    return write_sample(call, *doc);
}

int run_villa_generator(const VerbCall& call) {
    const VillaSpec params = villa_params(call);
    if (const char* problem = villa_spec_problem(params)) return refuse(call, problem);
    std::optional<Document> doc =
        make_villa_document(params, MaterialLibrary(default_materials()), true);
    if (!doc) return refuse(call, "the villa could not be built");
    return write_sample(call, *doc);
}

int run_townhouse_demo(const VerbCall& call) {
    std::optional<Document> doc =
        make_townhouse_document(kGenTownhouse, MaterialLibrary(default_materials()), true);
    if (!doc) return refuse(call, "the townhouse could not be built");
    const std::filesystem::path& dir = call.options.out.value;
    if (!make_folder(call, dir)) return kExitFailure;
    if (!write_session(*doc, dir / "townhouse.korv")) return kExitFailure;
    if (!write_interchange_copy(*doc, dir / "townhouse.obj") ||
        !write_interchange_copy(*doc, dir / "townhouse.gltf")) {
        return kExitFailure;
    }

    // The viewport picture: the modelling view's headlight shading with the edges drawn.
    RenderSettings viewport;
    viewport.camera = first_scene_camera(*doc);
    viewport.materials = &doc->materials();
    viewport.show_edges = true;
    Image image;
    render_beauty(viewport, image, *doc, kDefaultStillWidth, kDefaultStillHeight);
    for (const char* file : {"townhouse_viewport.bmp", "townhouse_viewport.ppm"}) {
        const std::filesystem::path path = dir / file;
        const bool ok = has_extension(path, ".ppm") ? io::write_ppm(path, image)
                                                    : io::write_bmp(path, image);
        if (!ok) {
            write_err("Failed to write " + quoted_path(path) + platform::write_error_suffix() + '\n');
            return kExitFailure;
        }
    }
    if (!write_model_beauty(call.verb, *doc, dir / "townhouse_beauty.bmp")) return kExitFailure;
    write_out("Wrote townhouse demo to " + quoted_path(dir) + '\n');
    return kExitOk;
}

int run_villa_demo(const VerbCall& call) {
    std::optional<Document> doc =
        make_villa_document(kGenVilla, MaterialLibrary(default_materials()), true);
    if (!doc) return refuse(call, "the villa could not be built");
    const std::filesystem::path& dir = call.options.out.value;
    if (!make_folder(call, dir)) return kExitFailure;
    if (!write_session(*doc, dir / "villa.korv")) return kExitFailure;
    if (!write_interchange_copy(*doc, dir / "villa.gltf")) return kExitFailure;
    const RenderScene scene = build_render_scene(*doc);
    std::size_t n = 0;
    for (const Scene& s : doc->scenes()) {
        RenderSettings settings;
        settings.camera.eye = s.eye, settings.camera.target = s.target;
        settings.camera.up = s.up, settings.camera.fov_deg = s.fov_deg;
        settings.materials = &doc->materials();
        settings.beauty = true;
        Image image;
        render_scene(settings, image, scene, kDefaultStillWidth, kDefaultStillHeight);
        std::string file = "villa_scene_";
        append_int(file, static_cast<std::int64_t>(++n));
        file += ".bmp";
        if (!io::write_bmp(dir / file, image)) {
            write_err("Failed to write " + quoted_path(dir / file) + platform::write_error_suffix() +
                      '\n');
            return kExitFailure;
        }
    }
    std::string line = "Wrote villa demo (";
    append_int(line, static_cast<std::int64_t>(n));
    line += " scenes) to ";
    append_quoted_path(line, dir);
    line += '\n';
    write_out(line);
    return kExitOk;
}

int run_place_opening(const VerbCall& call) {
    const Options& o = call.options;
    const bool door = call.verb == "place-door";
    PlacementRequest request = opening_request(door ? OpeningKind::kDoor : OpeningKind::kWindow);
    if (!o.id.empty()) request.definition_id = o.id;
    if (o.width.given) request.width = o.width.value;
    if (o.height.given) request.height = o.height.value;
    if (o.at.given) request.at = to_vec3(o.at.value);
    if (o.normal.given) request.normal = to_vec3(o.normal.value);
    if (o.name.given) request.name = o.name.value;

    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    PlaceOpeningCommand command(*doc, std::move(request));
    command.redo();
    const PlacementResult& result = command.result();
    if (!result.ok) return refuse(call, result.message);

    std::string sentence = door ? "Placed door " : "Placed window ";
    append_quoted(sentence, result.instance->name);
    sentence += ", ";
    append_int(sentence, static_cast<std::int64_t>(result.total_instances));
    sentence += " total instances";
    return finish_edit(call, *doc, std::move(sentence));
}

int run_create_instance(const VerbCall& call) {
    const Options& o = call.options;
    if (o.def_id.empty()) return refuse(call, "--def-id ID is required");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    if (doc->find_definition(o.def_id) < 0) return refuse(call, missing_definition(o.def_id));

    const Mat4 transform = o.at.given ? Mat4::translation(to_vec3(o.at.value)) : Mat4::identity();
    CreateInstanceCommand command(*doc, &doc->root(), o.def_id,
                                  o.name.given ? o.name.value : std::string("Instance"), transform);
    command.redo();
    if (command.instance() == nullptr) return refuse(call, command.refusal());

    std::string sentence = "Created instance ";
    append_quoted(sentence, command.instance()->name);
    sentence += " of ";
    append_quoted(sentence, o.def_id);
    sentence += ", ";
    append_int(sentence, static_cast<std::int64_t>(count_all_instances(*doc)));
    sentence += " total instances";
    return finish_edit(call, *doc, std::move(sentence));
}

int run_instance_array(const VerbCall& call) {
    const Options& o = call.options;
    if (o.def_id.empty()) return refuse(call, "--def-id ID is required");
    if (o.count < 1) return refuse(call, "--count must be at least 1");
    if (o.count > kMaxArrayCount) return refuse(call, "--count must be at most 100000");
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    if (doc->find_definition(o.def_id) < 0) return refuse(call, missing_definition(o.def_id));

    const Vec3 step = o.step.given ? to_vec3(o.step.value) : Vec3{};
    ArrayInstancesCommand command(*doc, o.def_id, static_cast<std::uint32_t>(o.count), step);
    command.redo();
    if (*command.refusal() != '\0') return refuse(call, command.refusal());

    std::string sentence = "Arrayed ";
    append_int(sentence, static_cast<std::int64_t>(command.instances().size()));
    sentence += " instance(s) of ";
    append_quoted(sentence, o.def_id);
    sentence += " at step ";
    append_vec3(sentence, step.x, step.y, step.z);
    sentence += ", ";
    append_int(sentence, static_cast<std::int64_t>(count_all_instances(*doc)));
    sentence += " total instances";
    return finish_edit(call, *doc, std::move(sentence));
}

}  // namespace korvan::cli
