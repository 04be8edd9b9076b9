#include "cli/verbs/pictures.h"

#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/progress_line.h"
#include "cli/report.h"
#include "cli/verbs/verb_support.h"
#include "document/material_library.h"
#include "io/image.h"
#include "io/korv_reader.h"
#include "platform/atomic_file.h"
#include "render/lighting_presets.h"
#include "render/still.h"

// The picture verbs. Sentences ours to word:
//   present: "Presentation of N scene(s) at WxH in "DIR"", then per image
//            "  Wrote scene K "NAME" to "PATH"", then the contact-sheet line.
//   render:  "Wrote render (WxH, preset=NAME) to "PATH"" and "  faces=N".

namespace korvan::cli {
namespace {

// Presentations in a hurry.
constexpr std::int32_t kFastWidth = 400;
constexpr std::int32_t kFastHeight = 225;
constexpr float kDefaultVignette = 0.35f;

std::uint64_t alive_face_count(const Document& doc) {
    std::uint64_t n = 0;
    for (const Face& f : doc.root().mesh.faces()) n += f.alive ? 1 : 0;
    return n;
}

bool has_image_extension(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return ext == ".bmp" || ext == ".png";
}

// --out naming an image file is used as given; anything else is a folder that receives
// `file_name`. The folder (or the file's parent) is created. Nothing when creating fails,
// after printing "Failed to write " and the path.
std::optional<std::filesystem::path> image_target(const Options& o, std::string_view file_name) {
    const std::filesystem::path& out = o.out.value;
    const bool is_file = has_image_extension(out);
    const std::filesystem::path folder = is_file ? out.parent_path() : out;
    const std::filesystem::path target = is_file ? out : out / std::filesystem::path(file_name);
    std::error_code ec;
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (ec) {
        write_err("Failed to write " + quoted_path(target) + ": " + ec.message() + '\n');
        return std::nullopt;
    }
    return target;
}

void fail_write(const std::filesystem::path& path) {
    write_err("Failed to write " + quoted_path(path) + platform::write_error_suffix() + '\n');
}

void size_of(const Options& o, std::int32_t& w, std::int32_t& h) {
    w = kDefaultStillWidth, h = kDefaultStillHeight;
    if (o.size_px.given && o.size_px.value.width > 0 && o.size_px.value.height > 0) {
        w = o.size_px.value.width;
        h = o.size_px.value.height;
    }
}

RenderSettings beauty_settings(const Document& doc, const Camera& camera) {
    RenderSettings s;
    s.camera = camera;
    s.materials = &doc.materials();
    s.beauty = true;
    return s;
}

// Renders with a progress line labelled by the verb, through supersampling when asked.
Image render_with_progress(std::string_view verb, RenderSettings settings, const RenderScene& scene,
                           std::int32_t w, std::int32_t h, std::int32_t ssaa) {
    ProgressLine progress(verb, "rows");
    settings.progress = [&progress](std::int32_t done, std::int32_t total) {
        progress.update(done, total);
    };
    Image image;
    if (ssaa >= 2) {
        render_scene_ssaa(settings, image, scene, w, h, ssaa);
    } else {
        render_scene(settings, image, scene, w, h);
    }
    progress.finish();
    return image;
}

}  // namespace

bool write_model_beauty(std::string_view verb, const Document& doc,
                        const std::filesystem::path& path) {
    const Image image =
        render_with_progress(verb, beauty_settings(doc, first_scene_camera(doc)),
                             build_render_scene(doc), kDefaultStillWidth, kDefaultStillHeight, 1);
    if (!io::write_image(path, image)) {
        fail_write(path);
        return false;
    }
    return true;
}

int run_still(const VerbCall& call) {
    const Options& o = call.options;
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    const std::uint64_t faces = alive_face_count(*doc);
    if (faces == 0) {
        write_err("No faces to render\n");
        return kExitFailure;
    }
    RenderSettings settings = beauty_settings(*doc, first_scene_camera(*doc));
    settings.show_edges = o.edges;
    settings.show_dimensions = !o.no_dims;
    if (o.vignette_strength.given) {
        settings.vignette_strength = std::clamp(o.vignette_strength.value, 0.0f, 1.0f);
    } else if (o.vignette) {
        settings.vignette_strength = kDefaultVignette;
    }
    settings.exposure = std::clamp(o.exposure, 0.05f, 8.0f);
    std::int32_t w, h;
    size_of(o, w, h);
    const std::int32_t ssaa = o.ssaa;
    const std::optional<std::filesystem::path> target = image_target(o, "still_beauty.bmp");
    if (!target) return kExitFailure;

    const Image image =
        render_with_progress(call.verb, settings, build_render_scene(*doc), w, h, ssaa);
    if (!io::write_image(*target, image)) {
        fail_write(*target);
        return kExitFailure;
    }
    std::string line = "Wrote PBR beauty still (";
    append_int(line, w);
    line += 'x';
    append_int(line, h);
    if (ssaa >= 2) {
        line += ", ssaa=";
        append_int(line, ssaa);
    }
    line += ") to ";
    append_quoted_path(line, *target);
    line += "\n  faces=";
    append_int(line, static_cast<std::int64_t>(faces));
    line += '\n';
    write_out(line);
    return kExitOk;
}

int run_present(const VerbCall& call) {
    const Options& o = call.options;
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    std::int32_t w = o.fast ? kFastWidth : kDefaultStillWidth;
    std::int32_t h = o.fast ? kFastHeight : kDefaultStillHeight;
    if (o.size_px.given) size_of(o, w, h);
    const std::filesystem::path& dir = o.out.value;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) {
        write_err("Failed to write " + quoted_path(dir) + ": " + ec.message() + '\n');
        return kExitFailure;
    }

    // A model without scenes still gets its picture, from the framing camera.
    std::vector<std::pair<std::string, Camera>> shots;
    for (const Scene& s : doc->scenes()) {
        Camera c;
        c.eye = s.eye, c.target = s.target, c.up = s.up, c.fov_deg = s.fov_deg;
        shots.emplace_back(s.name, c);
    }
    if (shots.empty()) shots.emplace_back("(framed view)", default_framing(*doc));

    std::string report = "Presentation of ";
    append_int(report, static_cast<std::int64_t>(shots.size()));
    report += " scene(s) at ";
    append_int(report, w);
    report += 'x';
    append_int(report, h);
    report += " in ";
    append_quoted_path(report, dir);
    report += '\n';
    write_out(report);

    const RenderScene scene = build_render_scene(*doc);
    std::vector<Image> images;
    for (std::size_t i = 0; i < shots.size(); ++i) {
        std::string file = "scene_";
        append_int(file, static_cast<std::int64_t>(i + 1));
        file += ".bmp";
        const std::filesystem::path path = dir / file;
        images.push_back(render_with_progress(call.verb, beauty_settings(*doc, shots[i].second),
                                              scene, w, h, 1));
        if (!io::write_bmp(path, images.back())) {
            fail_write(path);
            return kExitFailure;
        }
        std::string line = "  Wrote scene ";
        append_int(line, static_cast<std::int64_t>(i + 1));
        line += ' ';
        append_quoted(line, shots[i].first);
        line += " to ";
        append_quoted_path(line, path);
        line += '\n';
        write_out(line);
    }
    const std::filesystem::path sheet = dir / "contact_sheet.bmp";
    if (io::write_contact_sheet_bmp(sheet, images)) {
        write_out("  Wrote contact sheet: " + quoted_path(sheet) + '\n');
        return kExitOk;
    }
    write_out("  Wrote contact sheet: (failed)\n");
    return kExitFailure;
}

int run_render(const VerbCall& call) {
    const Options& o = call.options;
    if (o.input.empty()) return refuse_missing(call, "--input file.korv");
    Document doc;
    if (!io::load_document(o.input, doc)) {
        write_err("Failed to load " + quoted_path(o.input) + '\n');
        return kExitFailure;
    }
    const std::uint32_t preset = preset_index(o.preset).value_or(0);
    RenderSettings settings = beauty_settings(doc, first_scene_camera(doc));
    settings.sun_light = true;
    settings.sun_direction = preset_sun_direction(preset);
    settings.sun_shadows = true;
    settings.exposure = std::clamp(o.exposure, 0.05f, 8.0f);
    std::int32_t w, h;
    size_of(o, w, h);
    const std::optional<std::filesystem::path> target = image_target(o, "render.bmp");
    if (!target) return kExitFailure;
    const Image image = render_with_progress(call.verb, settings, build_render_scene(doc), w, h, 1);
    if (!io::write_image(*target, image)) {
        fail_write(*target);
        return kExitFailure;
    }
    std::string line = "Wrote render (";
    append_int(line, w);
    line += 'x';
    append_int(line, h);
    line += ", preset=";
    line += preset_name(preset);
    line += ") to ";
    append_quoted_path(line, *target);
    line += "\n  faces=";
    append_int(line, static_cast<std::int64_t>(alive_face_count(doc)));
    line += '\n';
    write_out(line);
    return kExitOk;
}

int run_import_image(const VerbCall& call) {
    const Options& o = call.options;
    Image picture;
    if (!io::load_image(o.image, picture)) {
        return refuse(call,
                      "could not read " + quoted_path(o.image) + " (PNG, JPEG, BMP, TGA or PSD)");
    }
    constexpr float kPixelsPerMetre = 100.0f;
    constexpr float kMinSide = 1e-4f;
    const float width = o.image_width.given ? o.image_width.value
                                            : static_cast<float>(picture.width) / kPixelsPerMetre;
    const float height =
        static_cast<float>(picture.height) * width / static_cast<float>(picture.width);
    if (!(width > kMinSide) || !(height > kMinSide))
        return refuse(call, "--width must be positive");

    // Without --in the picture goes into a new model, which starts with the material library
    // as every new model does.
    Document doc;
    if (o.in.empty()) {
        doc.materials() = MaterialLibrary(default_materials());
    } else if (!io::load_document(o.in, doc)) {
        write_err("Failed to load " + quoted_path(o.in) + '\n');
        return kExitFailure;
    }
    Mesh& mesh = doc.root().mesh;
    const std::int32_t created = mesh.create_rectangle({0.0f, 0.0f, 0.0f}, width, height, 0.0f);
    if (created < 0) return refuse(call, "could not place the image plane");
    const auto face = static_cast<FaceId>(created);

    Material material;
    material.id = "mat_image_plane";
    material.name = "Anh nen";
    material.albedo = {1.0f, 1.0f, 1.0f};
    material.roughness = 1.0f;
    material.texture_path = o.image.string();
    const std::int32_t index = doc.materials().add(std::move(material));
    mesh.face_mut(face).material_id = static_cast<std::uint32_t>(index);

    // v runs from 0 at the picture's top row to 1 at its bottom row, so the picture stands
    // upright with +y up on the plan. Corners are matched by position, not ring order.
    bool uvs_ok = true;
    for (HalfEdgeId h : mesh.face_half_edges(face)) {
        const Vec3& p = mesh.vertices()[mesh.half_edges()[h].origin].position;
        uvs_ok = mesh.set_corner_uv(h, p.x / width, 1.0f - p.y / height) && uvs_ok;
    }
    if (!uvs_ok || !mesh.face_has_uvs(face)) {
        return refuse(call, "the rectangle would not take corner UVs");
    }
    if (!save_document(doc, o.out.value)) return kExitFailure;
    std::string line = "import-image ";
    append_int(line, picture.width);
    line += 'x';
    append_int(line, picture.height);
    line += " px as face ";
    append_int(line, face);
    line += ", ";
    append_float(line, width);
    line += " x ";
    append_float(line, height);
    line += " m, uvs=1, saved to ";
    append_quoted_path(line, o.out.value);
    line += '\n';
    write_out(line);
    return kExitOk;
}

}  // namespace korvan::cli
