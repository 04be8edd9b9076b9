#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

#include "core/mat4.h"
#include "core/vec3.h"
#include "document/colour.h"
#include "io/image.h"
#include "render/scene_triangles.h"

// The beauty still: a per-pixel ray caster over the triangles of the whole scene graph with a
// stylised lighting model (wrapped diffuse light from a headlight or the sun, a metallic
// highlight, ground shadows, a sky gradient, up to four transparent layers per pixel), then
// the screen passes (depth haze, axes and overlay lines, exposure, vignette) and optional
// supersampling. Rows are rendered in bands on worker threads.

namespace korvan {

class Document;
class MaterialLibrary;
struct SectionPlane;

// Where the picture is taken from. Angles in degrees, lengths in metres.
struct Camera {
    Vec3 eye{10.0f, -14.0f, 8.0f};
    Vec3 target{0.0f, 0.0f, 2.5f};
    Vec3 up{0.0f, 0.0f, 1.0f};
    float fov_deg = 45.0f;  // vertical
    bool orthographic = false;
    float ortho_height = 20.0f;  // visible height when orthographic
};

struct RenderSettings {
    Camera camera;
    const MaterialLibrary* materials = nullptr;  // none: every face shades with the defaults
    // The lighting of beauty images (every written still sets it): brighter wrapped
    // diffuse light, roughness dimming and the vignette pass.
    bool beauty = false;
    float vignette_strength = 0.0f;  // 0..1
    float exposure = 1.0f;           // multiplies the final 8-bit colour
    bool show_guides = true;
    bool show_dimensions = true;
    bool show_edges = false;
    bool show_axes = false;
    Mat4 model_transform;  // where the axes overlay draws the model axes
    bool sun_light = false;
    Vec3 sun_direction{0.0f, 0.0f, 1.0f};  // towards the sun
    bool sun_shadows = false;              // needs sun_light
    bool back_face_tint = false;
    Rgb back_face_colour{0.40359864f, 0.51501733f, 0.60290658f};
    Rgb default_surface{1.0f, 1.0f, 1.0f};  // albedo of material 0
    float haze = 0.0f;                      // 0 = off
    std::int32_t section = -1;              // index of the cutting section plane, -1 none
    const SectionPlane* active_section = nullptr;
    bool unlit = false;  // flat albedo, no light
    std::int32_t stipple_cell_px = 3;
    bool transparent_background = false;  // rays that hit nothing get alpha 0
    // Worker threads; 0 = the hardware's count (4 when unknown), at most 16.
    std::int32_t threads = 0;
    // Called on the calling thread now and then while rows render (rows done, total rows),
    // and once at the end with done == total.
    std::function<void(std::int32_t, std::int32_t)> progress;
};

// Image size every still falls back to when asked for none.
inline constexpr std::int32_t kDefaultStillWidth = 800;
inline constexpr std::int32_t kDefaultStillHeight = 450;

// The camera that frames the model: looking down at the box of the root mesh's alive
// vertices and guide ends from the front left, or a fixed view of the origin when there is
// nothing.
Camera default_framing(const Document& doc);
// The camera of the document's first scene (perspective), else the default camera.
Camera first_scene_camera(const Document& doc);

// Renders the document at width x height (800 x 450 when either is not positive). Overlay
// lines are max(round(line_scale), 1) pixels wide.
void render_beauty(const RenderSettings& settings, Image& out, const Document& doc,
                   std::int32_t width, std::int32_t height, float line_scale = 1.0f);
// Renders at factor x the size (factor at least 2) and averages each factor x factor block.
void render_beauty_ssaa(const RenderSettings& settings, Image& out, const Document& doc,
                        std::int32_t width, std::int32_t height, std::int32_t factor);

// The same over a scene already built (several cameras over one model build it once).
// Textures of the materials are read on every call.
void render_scene(const RenderSettings& settings, Image& out, const RenderScene& scene,
                  std::int32_t width, std::int32_t height, float line_scale = 1.0f);
void render_scene_ssaa(const RenderSettings& settings, Image& out, const RenderScene& scene,
                       std::int32_t width, std::int32_t height, std::int32_t factor);

// Averages each factor x factor block of a render into one pixel (truncating).
Image downsample_box(const Image& big, std::int32_t factor);

// Renders the document's beauty image from `camera` at width x height with the beauty
// defaults and writes it (PNG when the path ends in .png, else BMP) through the atomic
// writer. False when the write fails (platform::write_error_suffix() has the cause).
bool write_beauty_image(const Document& doc, const Camera& camera,
                        const std::filesystem::path& path, std::int32_t width = kDefaultStillWidth,
                        std::int32_t height = kDefaultStillHeight);

}  // namespace korvan
