#include "cli/verbs/interchange.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verbs/import_finish.h"
#include "cli/verbs/verb_support.h"
#include "io/collada.h"
#include "io/korv_reader.h"
#include "io/mesh_import.h"
#include "io/obj.h"
#include "io/ply.h"
#include "io/stl.h"
#include "platform/atomic_file.h"

namespace korvan::cli {
namespace {

std::string lower_extension(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// The format an exporter writes, told by the verb name.
struct ExportFormat {
    std::string_view label;      // "OBJ"
    std::string_view extension;  // ".obj"
    std::string_view file_name;  // "export.obj"
    bool (*write)(const std::filesystem::path&, const Mesh&);
};

bool write_obj(const std::filesystem::path& path, const Mesh& mesh) {
    return io::export_obj(path, mesh);
}

constexpr ExportFormat kExportFormats[] = {
    {"OBJ", ".obj", "export.obj", write_obj},
    {"STL", ".stl", "export.stl", io::export_stl},
    {"PLY", ".ply", "export.ply", io::export_ply},
};

const ExportFormat& export_format(std::string_view verb) {
    if (verb == "export-stl") return kExportFormats[1];
    if (verb == "export-ply") return kExportFormats[2];
    return kExportFormats[0];
}

// --out names the file when it carries the format's own extension (exactly, as typed), and
// otherwise a folder that receives the default file name. Creates the folder; nothing when
// that fails, with the cause in *cause.
std::optional<std::filesystem::path> output_file(const std::filesystem::path& out,
                                                 std::string_view extension,
                                                 std::string_view file_name, std::string& cause) {
    const bool is_file = out.extension().string() == extension;
    const std::filesystem::path dir = is_file ? out.parent_path() : out;
    const std::filesystem::path file = is_file ? out : out / file_name;
    std::error_code ec;
    if (!dir.empty()) std::filesystem::create_directories(dir, ec);
    if (ec) {
        cause = ": " + ec.message();
        return std::nullopt;
    }
    return file;
}

int export_failure(std::string_view label, const std::filesystem::path& path,
                   const std::string& cause) {
    write_err("Failed to export " + std::string(label) + ' ' + quoted_path(path) + cause + '\n');
    return kExitFailure;
}

enum class MeshFormat { kObj, kStl, kPly, kCollada, kSketchUp };

MeshFormat import_format(const VerbCall& call) {
    if (call.verb == "import-stl") return MeshFormat::kStl;
    if (call.verb == "import-ply") return MeshFormat::kPly;
    if (call.verb == "import-dae") return MeshFormat::kCollada;
    if (call.verb == "import-skp") return MeshFormat::kSketchUp;
    return lower_extension(call.options.in) == ".dae" ? MeshFormat::kCollada : MeshFormat::kObj;
}

}  // namespace

bool export_document_obj(const Document& doc, const std::filesystem::path& path,
                         std::uint64_t* faces) {
    const Mesh world = doc.flatten_world();
    if (faces != nullptr) *faces = world.alive_face_count();
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    return io::export_obj(path, world);
}

int run_export_mesh(const VerbCall& call) {
    const ExportFormat& format = export_format(call.verb);
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const Mesh world = doc->flatten_world();
    const std::uint64_t faces = world.alive_face_count();
    if (faces == 0) {
        write_err("No faces to export\n");
        return kExitFailure;
    }
    std::string cause;
    const std::optional<std::filesystem::path> file =
        output_file(call.options.out.value, format.extension, format.file_name, cause);
    if (!file) return export_failure(format.label, call.options.out.value, cause);
    if (!format.write(*file, world)) {
        return export_failure(format.label, *file, platform::write_error_suffix());
    }
    std::string line = "Wrote ";
    append_quoted_path(line, *file);
    line += "  faces=";
    append_int(line, static_cast<std::int64_t>(faces));
    write_out(line + '\n');
    return kExitOk;
}

int run_faces_export_obj(const VerbCall& call) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const Mesh& mesh = doc->root().mesh;
    const std::vector<FaceId> faces = distinct_alive_faces(mesh, call.options.faces);
    Mesh subset;
    const std::uint64_t copied = mesh.duplicate_faces(faces, subset);
    if (copied == 0) {
        write_err("Error: no alive faces to export (count=0)\n");
        return kExitFailure;
    }
    const std::filesystem::path& path = call.options.out.value;
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    if (ec || !io::export_obj(path, subset)) {
        write_err("Failed to write OBJ: " + quoted_path(path) +
                  (ec ? ": " + ec.message() : platform::write_error_suffix()) + '\n');
        return kExitFailure;
    }
    std::string line = "Exported ";
    append_int(line, static_cast<std::int64_t>(copied));
    line += " face(s) to ";
    append_quoted_path(line, path);
    write_out(line + '\n');
    return kExitOk;
}

int run_import_mesh(const VerbCall& call) {
    const std::filesystem::path& in = call.options.in;
    if (in.empty()) {
        write_err("--in required\n");
        return kExitFailure;
    }
    const MeshFormat format = import_format(call);
    if (format == MeshFormat::kSketchUp) {
        // No reader for that format is built in.
        write_err("Failed to read SketchUp " + quoted_path(in) + '\n');
        return kExitFailure;
    }
    Document doc = new_import_document();
    if (format == MeshFormat::kCollada) {
        if (!io::import_collada(in, doc)) {
            return report_import_failure(call, "COLLADA", io::last_import_error());
        }
        return finish_import(call, std::move(doc), "COLLADA");
    }
    Mesh mesh;
    bool ok = false;
    std::string_view label;
    switch (format) {
        case MeshFormat::kStl:
            ok = io::import_stl(in, mesh);
            label = "STL";
            break;
        case MeshFormat::kPly:
            ok = io::import_ply(in, mesh);
            label = "PLY";
            break;
        default:
            ok = io::import_obj(in, mesh, &doc.materials());
            label = "OBJ";
            break;
    }
    if (!ok) return report_import_failure(call, label, io::last_import_error());
    return finish_import(call, std::move(doc), std::move(mesh), label);
}

int run_import_korvan(const VerbCall& call) {
    const std::filesystem::path& in = call.options.in;
    if (in.empty()) {
        write_err("--in required\n");
        return kExitFailure;
    }
    Document doc;
    if (!io::load_document(in, doc)) {
        write_err("Failed to load " + quoted_path(in) + ": " + io::last_load_error() + '\n');
        return kExitFailure;
    }
    const Mesh& mesh = doc.root().mesh;
    std::string line = "Loaded ";
    append_quoted_path(line, in);
    line += " faces=";
    append_int(line, static_cast<std::int64_t>(mesh.alive_face_count()));
    line += " verts=";
    append_int(line, static_cast<std::int64_t>(mesh.alive_vertex_count()));
    line += " nodes=";
    append_int(line, static_cast<std::int64_t>(doc.root().children.size()));
    line += " materials=";
    append_int(line, static_cast<std::int64_t>(doc.materials().size()));
    line += " scenes=";
    append_int(line, static_cast<std::int64_t>(doc.scenes().size()));
    write_out(line + '\n');
    if (!call.options.out.given) return kExitOk;

    if (mesh.alive_face_count() == 0) {
        write_err("Loaded OK but no faces to export OBJ\n");
        return kExitFailure;
    }
    std::string cause;
    const std::optional<std::filesystem::path> file =
        output_file(call.options.out.value, ".obj", "import.obj", cause);
    if (!file) return export_failure("OBJ", call.options.out.value, cause);
    if (!io::export_obj(*file, mesh)) {
        return export_failure("OBJ", *file, platform::write_error_suffix());
    }
    write_out("Wrote " + quoted_path(*file) + '\n');
    return kExitOk;
}

}  // namespace korvan::cli
