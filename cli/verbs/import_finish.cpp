#include "cli/verbs/import_finish.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "cli/exit_codes.h"
#include "cli/options.h"
#include "cli/report.h"
#include "document/material_library.h"
#include "io/korv_writer.h"
#include "platform/atomic_file.h"
#include "render/still.h"

namespace korvan::cli {
namespace {

constexpr std::int32_t kBeautyWidth = 1280;
constexpr std::int32_t kBeautyHeight = 720;

// The default framing looks at the root mesh; a model of groups is framed by its flattened
// geometry instead.
Camera framing_camera(const Document& doc) {
    if (doc.root().children.empty()) return default_framing(doc);
    Document framed;
    framed.root().mesh = doc.flatten_world();
    return default_framing(framed);
}

std::uint64_t shown_faces(const Document& doc) {
    // A lone root mesh is what most readers produce; flattening it would only copy it.
    if (doc.root().children.empty()) return doc.root().mesh.alive_face_count();
    return doc.flatten_world().alive_face_count();
}

int write_failure(const std::filesystem::path& path, std::string cause) {
    write_err("Failed to write " + quoted_path(path) + cause + '\n');
    return kExitFailure;
}

}  // namespace

Document new_import_document() {
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    return doc;
}

int finish_import(const VerbCall& call, Document doc, std::string_view format) {
    const std::filesystem::path& dir = call.options.out.value;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return write_failure(dir, ": " + ec.message());

    const Camera camera = framing_camera(doc);
    Scene main_scene;
    main_scene.name = "Main";
    main_scene.eye = camera.eye;
    main_scene.target = camera.target;
    main_scene.up = camera.up;
    main_scene.fov_deg = camera.fov_deg;
    doc.scenes().push_back(std::move(main_scene));

    const std::filesystem::path korv = dir / "import.korv";
    if (!io::write_document(korv, doc)) return write_failure(korv, platform::write_error_suffix());
    const std::filesystem::path beauty = dir / "import_beauty.bmp";
    if (!write_beauty_image(doc, camera, beauty, kBeautyWidth, kBeautyHeight)) {
        return write_failure(beauty, platform::write_error_suffix());
    }

    std::string line = "Wrote ";
    line += format;
    line += " import (.korv + beauty) to ";
    append_quoted_path(line, dir);
    line += "  faces=";
    append_int(line, static_cast<std::int64_t>(shown_faces(doc)));
    write_out(line + '\n');
    return kExitOk;
}

int finish_import(const VerbCall& call, Document doc, Mesh mesh, std::string_view format) {
    doc.root().mesh = std::move(mesh);
    return finish_import(call, std::move(doc), format);
}

int report_import_failure(const VerbCall& call, std::string_view format, std::string_view cause) {
    std::string line = "Failed to import ";
    line += format;
    line += ' ';
    append_quoted_path(line, call.options.in);
    if (!cause.empty()) {
        line += ": ";
        line += cause;
    }
    write_err(line + '\n');
    return kExitFailure;
}

}  // namespace korvan::cli
