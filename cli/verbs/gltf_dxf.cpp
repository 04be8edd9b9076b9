#include "cli/verbs/gltf_dxf.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "document/document.h"
#include "document/material_library.h"
#include "io/dxf_import.h"
#include "io/dxf_write.h"
#include "io/gltf.h"
#include "platform/atomic_file.h"
#include "render/still.h"

namespace korvan::cli {
namespace {

constexpr std::int32_t kImportBeautyWidth = 1280;
constexpr std::int32_t kImportBeautyHeight = 720;

bool has_extension(const std::filesystem::path& path, std::string_view ext) {
    std::string actual = path.extension().string();
    for (char& c : actual) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return actual == ext;
}

// --out is the file when it carries one of the format's extensions, else a directory that
// receives `default_name`. The folders on the way are created.
std::filesystem::path export_target(const VerbCall& call,
                                    std::initializer_list<std::string_view> exts,
                                    std::string_view default_name) {
    const std::filesystem::path& out = call.options.out.value;
    const bool is_file = std::any_of(exts.begin(), exts.end(),
                                     [&](std::string_view e) { return has_extension(out, e); });
    std::filesystem::path target = is_file ? out : out / default_name;
    std::error_code ec;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    return target;
}

// The flattened scene, or nothing after printing why (a failed load or an empty scene).
std::optional<Mesh> flattened_scene(const VerbCall& call, std::optional<Document>& doc) {
    doc = acquire_model(call);
    if (!doc) return std::nullopt;
    Mesh world = doc->flatten_world();
    if (world.alive_face_count() == 0) {
        write_err("No faces to export\n");
        return std::nullopt;
    }
    return world;
}

// The shared end of the import verbs that keep their own report: a model with the built-in
// materials around the imported geometry and one scene "Main" framing it, saved as
// dir/import.korv, and the beauty image beside it when the model has faces to show.
bool write_import(const VerbCall& call, Document& doc, bool wants_beauty) {
    const std::filesystem::path dir = call.options.out.value;
    const Camera camera = default_framing(doc);
    Scene scene;
    scene.name = "Main";
    scene.eye = camera.eye;
    scene.target = camera.target;
    scene.up = camera.up;
    scene.fov_deg = camera.fov_deg;
    doc.scenes().push_back(std::move(scene));
    if (!save_document(doc, dir / "import.korv")) return false;
    if (!wants_beauty) return true;
    const std::filesystem::path beauty = dir / "import_beauty.bmp";
    if (!write_beauty_image(doc, camera, beauty, kImportBeautyWidth, kImportBeautyHeight)) {
        write_err("Failed to write " + quoted_path(beauty) + platform::write_error_suffix() + '\n');
        return false;
    }
    return true;
}

Document fresh_document() {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    return doc;
}

}  // namespace

bool write_model_gltf(const Document& doc, const std::filesystem::path& path) {
    const Mesh world = doc.flatten_world();
    return has_extension(path, ".glb") ? io::export_glb(path, world, doc.materials())
                                       : io::export_gltf(path, world, doc.materials());
}

int run_export_gltf(const VerbCall& call) {
    std::optional<Document> doc;
    const std::optional<Mesh> world = flattened_scene(call, doc);
    if (!world) return kExitFailure;
    const std::filesystem::path target = export_target(call, {".gltf", ".glb"}, "export.gltf");
    const bool glb = has_extension(target, ".glb");
    const bool ok = glb ? io::export_glb(target, *world, doc->materials())
                        : io::export_gltf(target, *world, doc->materials());
    if (!ok) {
        write_err("Failed to export glTF " + quoted_path(target) + platform::write_error_suffix() +
                  '\n');
        return kExitFailure;
    }
    std::string out = "Wrote " + quoted_path(target);
    out += glb ? " (Y-up, materials)\n  faces=" : " (+ .bin, Y-up, materials)\n  faces=";
    append_int(out, static_cast<std::int64_t>(world->alive_face_count()));
    write_out(out + '\n');
    return kExitOk;
}

int run_export_dxf(const VerbCall& call) {
    std::optional<Document> doc;
    const std::optional<Mesh> world = flattened_scene(call, doc);
    if (!world) return kExitFailure;
    const std::filesystem::path target = export_target(call, {".dxf"}, "export.dxf");
    if (!io::export_dxf(target, *world)) {
        write_err("Failed to export DXF " + quoted_path(target) + platform::write_error_suffix() +
                  '\n');
        return kExitFailure;
    }
    std::uint64_t edges = 0;
    for (const Edge& e : world->edges()) edges += e.alive ? 1 : 0;
    std::string out = "Wrote " + quoted_path(target) + "  edges=";
    append_int(out, static_cast<std::int64_t>(edges));
    write_out(out + '\n');
    return kExitOk;
}

int run_import_gltf(const VerbCall& call) {
    const std::filesystem::path& in = call.options.in;
    if (in.empty()) {
        write_err(std::string(call.verb) + ": --in required\n");
        return kExitFailure;
    }
    Mesh mesh;
    if (!io::import_gltf(in, mesh)) {
        write_err("Failed to import glTF " + quoted_path(in) + '\n');
        return kExitFailure;
    }
    Document doc = fresh_document();
    doc.root().mesh = std::move(mesh);
    if (!write_import(call, doc, true)) return kExitFailure;
    std::string out =
        "Wrote glTF import (.korv + beauty) to " + quoted_path(call.options.out.value) + "\n  faces=";
    append_int(out, static_cast<std::int64_t>(doc.root().mesh.alive_face_count()));
    write_out(out + '\n');
    return kExitOk;
}

int run_import_dxf(const VerbCall& call) {
    const std::filesystem::path& in = call.options.in;
    if (in.empty()) {
        write_err(std::string(call.verb) + ": --in required\n");
        return kExitFailure;
    }
    if (has_extension(in, ".dwg")) {
        // DWG drawings convert through the same drawing model once their reader exists.
        write_err(std::string(call.verb) + ": not built yet (no DWG reader)\n");
        return kExitFailure;
    }
    Document doc = fresh_document();
    Mesh mesh;
    io::DxfImportReport report;
    if (!io::import_dxf(in, doc, mesh, report)) {
        write_err("Failed to import DXF " + quoted_path(in) + '\n');
        return kExitFailure;
    }
    doc.root().mesh = std::move(mesh);
    const bool faces = report.faces > 0;
    if (!write_import(call, doc, faces)) return kExitFailure;

    std::string out =
        faces ? "Wrote DXF import (.korv + beauty) to " : "Wrote DXF import (guides-only mesh) to ";
    out += quoted_path(call.options.out.value);
    auto key = [&](std::string_view name, std::uint64_t value) {
        out += name;
        append_int(out, static_cast<std::int64_t>(value));
    };
    key("\n  faces=", report.faces);
    key(" guides=", report.guides);
    key(" curves=", report.curves);
    key("\n  blocks=", report.blocks);
    key(" instances=", report.instances);
    key(" definitions=", report.definitions);
    key(" splines=", report.splines);
    if (report.refused_splines || report.refused_inserts) {
        key("\n  refused: splines=", report.refused_splines);
        key(" inserts=", report.refused_inserts);
    }
    for (const std::string& note : report.notes) out += "\n  note: " + note;
    write_out(out + '\n');
    return kExitOk;
}

}  // namespace korvan::cli
