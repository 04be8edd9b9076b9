#include "render/still.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "core/box.h"
#include "core/uv.h"
#include "document/document.h"
#include "document/material_library.h"
#include "document/section_plane.h"
#include "platform/assets_dir.h"
#include "render/still_frame.h"

namespace korvan {

using still_detail::Colour3;
using still_detail::Frame;
using still_detail::kFarDepth;

namespace still_detail {

Frame make_frame(const Camera& camera, std::int32_t width, std::int32_t height) {
    Frame f;
    f.width = width;
    f.height = height;
    f.eye = camera.eye;
    f.forward = normalize(camera.target - camera.eye);
    if (length_squared(f.forward) == 0.0f) f.forward = {0.0f, 1.0f, 0.0f};
    f.right = normalize(cross(f.forward, camera.up));
    if (length_squared(f.right) < 1e-12f) {
        // Looking along the up hint: any right angle to the view will do.
        f.right = normalize(
            cross(f.forward, std::fabs(f.forward.z) < 0.9f ? Vec3{0, 0, 1} : Vec3{0, 1, 0}));
    }
    f.up = cross(f.right, f.forward);
    f.aspect = static_cast<float>(width) / static_cast<float>(height);
    f.tan_half = std::tan(camera.fov_deg * 3.1415927f / 180.0f * 0.5f);
    f.ortho_half = camera.ortho_height * 0.5f;
    f.orthographic = camera.orthographic;
    const float denom = f.tan_half * f.up.z;
    if (std::fabs(denom) < 1e-6f) {
        f.horizon_ndc = f.forward.z > 0.0f ? -1e6f : 1e6f;
    } else {
        f.horizon_ndc = -f.forward.z / denom;
    }
    return f;
}

Vec3 Frame::ray_origin(std::int32_t x, std::int32_t y) const {
    if (!orthographic) return eye;
    return eye + right * (ndc_x(x) * aspect * ortho_half) + up * (ndc_y(y) * ortho_half);
}

Vec3 Frame::ray_direction(std::int32_t x, std::int32_t y) const {
    if (orthographic) return forward;
    return normalize(forward + right * (ndc_x(x) * aspect * tan_half) + up * (ndc_y(y) * tan_half));
}

bool Frame::project(const Vec3& p, float& sx, float& sy, float& depth) const {
    const Vec3 d = p - eye;
    depth = dot(d, forward);
    if (!(depth > 1e-4f)) return false;
    const float half = orthographic ? std::max(ortho_half, 1e-6f) : depth * tan_half;
    sx = (dot(d, right) / (half * aspect) + 1.0f) * 0.5f * static_cast<float>(width) - 0.5f;
    sy = (1.0f - dot(d, up) / half) * 0.5f * static_cast<float>(height) - 0.5f;
    return true;
}

namespace {
constexpr std::uint8_t kBayer4[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
}  // namespace

Colour3 background(const Frame& frame, std::int32_t x, std::int32_t y, float dir_z) {
    Colour3 c;
    if (dir_z >= 0.0f) {
        const float h = frame.horizon_ndc;
        float t = 1.0f;
        if (1.1f - h > 1e-6f) t = std::clamp((1.1f - frame.ndc_y(y)) / (1.1f - h), 0.0f, 1.0f);
        c = {191.25f * t, 154.0f + 75.25f * t, 217.0f + 28.25f * t};
    } else {
        c = {191.0f, 191.0f, 198.0f};
    }
    const float dither = (static_cast<float>(kBayer4[(y & 3) * 4 + (x & 3)]) + 0.5f) * 0.0625f;
    c.r += dither, c.g += dither, c.b += dither;
    return c;
}

}  // namespace still_detail

Camera default_framing(const Document& doc) {
    Aabb box;
    const Mesh& mesh = doc.root().mesh;
    for (const Vertex& v : mesh.vertices()) {
        if (v.alive) box.expand(v.position);
    }
    for (const Guide& g : mesh.guides()) {
        box.expand(g.a);
        box.expand(g.b);
    }
    Camera camera;
    camera.up = {0.0f, 0.0f, 1.0f};
    camera.fov_deg = 45.0f;
    camera.orthographic = false;
    camera.ortho_height = 20.0f;
    if (box.empty()) {
        camera.eye = {8.0f, -12.0f, 6.0f};
        camera.target = {0.0f, 0.0f, 0.0f};
        return camera;
    }
    const Vec3 c = box.center();
    const float r = length(box.max - box.min);
    camera.eye = {c.x + 0.9f * r, c.y - 1.4f * r, c.z + 1.1f * r};
    camera.target = c;
    return camera;
}

Camera first_scene_camera(const Document& doc) {
    Camera camera;
    if (doc.scenes().empty()) return camera;
    const Scene& s = doc.scenes().front();
    camera.eye = s.eye;
    camera.target = s.target;
    camera.up = s.up;
    camera.fov_deg = s.fov_deg;
    return camera;
}

namespace {

using namespace still_detail;

// Defaults of a face whose material is missing from the list.
constexpr float kDefaultRoughness = 0.6f;
constexpr std::int32_t kMaxLayers = 4;
constexpr float kMinTransmittance = 0.02f;
constexpr float kContinueOffset = 1e-4f;
constexpr float kShadowOffset = 0.001f;
constexpr float kFarDistance = 1e30f;
// A face at least this opaque casts a shadow.
constexpr float kOpaqueForShadows = 0.99f;

struct Shade {
    Rgb albedo{1.0f, 1.0f, 1.0f};
    float opacity = 1.0f;
    float roughness = kDefaultRoughness;
    float metallic = 0.0f;
};

float texel_linear(std::uint8_t byte) {
    const float v = static_cast<float>(byte) * (1.0f / 255.0f);
    return v * v;  // the inverse of the square-root display encoding
}

float wrap01(float v) { return v - std::floor(v); }

// Bilinear and tiling; v = 0 is the picture's top row.
Rgb sample_texture(const Image& tex, float u, float v) {
    const float fx = wrap01(u) * static_cast<float>(tex.width) - 0.5f;
    const float fy = wrap01(v) * static_cast<float>(tex.height) - 0.5f;
    const float x0f = std::floor(fx), y0f = std::floor(fy);
    const float ax = fx - x0f, ay = fy - y0f;
    auto wrap = [](std::int64_t i, std::int32_t n) {
        const std::int64_t m = i % n;
        return static_cast<std::int32_t>(m < 0 ? m + n : m);
    };
    const std::int32_t x0 = wrap(static_cast<std::int64_t>(x0f), tex.width);
    const std::int32_t y0 = wrap(static_cast<std::int64_t>(y0f), tex.height);
    const std::int32_t x1 = x0 + 1 == tex.width ? 0 : x0 + 1;
    const std::int32_t y1 = y0 + 1 == tex.height ? 0 : y0 + 1;
    float out[3];
    for (int c = 0; c < 3; ++c) {
        const float p00 = texel_linear(tex.rgba[tex.pixel_offset(x0, y0) + c]);
        const float p10 = texel_linear(tex.rgba[tex.pixel_offset(x1, y0) + c]);
        const float p01 = texel_linear(tex.rgba[tex.pixel_offset(x0, y1) + c]);
        const float p11 = texel_linear(tex.rgba[tex.pixel_offset(x1, y1) + c]);
        out[c] = (p00 * (1 - ax) + p10 * ax) * (1 - ay) + (p01 * (1 - ax) + p11 * ax) * ay;
    }
    return {out[0], out[1], out[2]};
}

// Texture paths are relative to the assets directory; a picture laid in by import-image
// keeps the path it was given, so an absolute or working-folder path is tried as well.
std::vector<Image> load_textures(const MaterialLibrary* materials,
                                 const std::vector<SceneTriangle>& triangles) {
    std::vector<Image> textures;
    if (materials == nullptr) return textures;
    textures.resize(materials->size());
    std::vector<bool> used(materials->size(), false);
    for (const SceneTriangle& t : triangles) {
        if (t.material < used.size()) used[t.material] = true;
    }
    std::optional<std::filesystem::path> assets;
    bool assets_looked = false;
    for (std::size_t i = 1; i < materials->size(); ++i) {
        const std::string& rel = (*materials)[i].texture_path;
        if (!used[i] || rel.empty()) continue;
        const std::filesystem::path path(rel);
        if (path.is_relative()) {
            if (!assets_looked) assets = platform::find_assets_dir(), assets_looked = true;
            if (assets && io::load_image(*assets / path, textures[i])) continue;
        }
        io::load_image(path, textures[i]);
    }
    return textures;
}

struct Shader {
    const RenderSettings& settings;
    const RenderScene& scene;
    const Frame& frame;
    const std::vector<Image>& textures;
    Vec3 light;  // unit, towards the light
    Vec3 sun;    // unit, towards the sun (shadow rays)
    bool has_cut = false;
    Vec3 cut_point, cut_normal;
    bool shadows = false;

    // Narrows [t_min, t_max] to the part of the ray on the kept side of the section plane;
    // false when nothing of the ray is kept.
    bool clip_to_section(const Vec3& o, const Vec3& d, float& t_min, float& t_max) const {
        if (!has_cut) return true;
        const float s0 = dot(o - cut_point, cut_normal) - 1e-4f;
        const float dn = dot(d, cut_normal);
        if (dn == 0.0f) return s0 <= 0.0f;
        const float t = -s0 / dn;
        if (dn > 0.0f)
            t_max = std::min(t_max, t);
        else
            t_min = std::max(t_min, t);
        return t_min < t_max;
    }

    const Material* material_of(std::uint32_t id) const {
        if (id == 0 || settings.materials == nullptr) return nullptr;
        return settings.materials->get(id);
    }

    bool blocks_light(std::uint32_t tri) const {
        const Material* m = material_of(scene.triangles[tri].material);
        const float opacity = m != nullptr ? m->opacity : 1.0f;
        return opacity >= kOpaqueForShadows && !scene.triangles[tri].ghost;
    }

    bool in_shadow(const Vec3& from) const {
        float t_min = 0.0f, t_max = kFarDistance;
        if (!clip_to_section(from, sun, t_min, t_max)) return false;
        return scene.bvh.any_hit_if(from, sun, t_min, t_max,
                                    [this](std::uint32_t tri, float) { return blocks_light(tri); });
    }

    Shade shade_of(const SceneTriangle& tri, const RayHit& hit, const Vec3& p) const {
        Shade s;
        const Material* m = material_of(tri.material);
        if (tri.material == 0) {
            s.albedo = settings.default_surface;
        } else if (m == nullptr) {
            s.albedo = settings.default_surface;
        } else {
            s.albedo = m->albedo;
            s.opacity = m->opacity;
            s.roughness = m->roughness;
            s.metallic = m->metallic;
            const bool textured = tri.material < textures.size() && textures[tri.material].usable();
            if (textured || m->uv.pattern != TexturePattern::kNone) {
                TexCoord uv;
                if (tri.has_uvs) {
                    const float w = 1.0f - hit.u - hit.v;
                    uv = {w * tri.uvs[0].u + hit.u * tri.uvs[1].u + hit.v * tri.uvs[2].u,
                          w * tri.uvs[0].v + hit.u * tri.uvs[1].v + hit.v * tri.uvs[2].v};
                } else {
                    const UvTransform transform{m->uv.tile_width, m->uv.tile_height, m->uv.offset_u,
                                                m->uv.offset_v, radians(m->uv.rotation_deg)};
                    uv = project_uv(p, tri.face_normal, transform);
                }
                if (textured) {
                    // The texture carries the surface's colour; the material's own colour is
                    // what remains when the texture is cleared.
                    s.albedo = sample_texture(textures[tri.material], uv.u, uv.v);
                } else {
                    s.albedo = apply_pattern(s.albedo, m->uv.pattern, uv);
                }
            }
        }
        if (tri.ghost) {
            s.albedo = {s.albedo.r * 0.3f + 0.434f, s.albedo.g * 0.3f + 0.455f,
                        s.albedo.b * 0.3f + 0.49f};
            s.opacity = std::min(s.opacity, 0.3f);
        }
        if (tri.kind == TriangleKind::kPale) {
            s.albedo = {s.albedo.r * 0.32f + 0.6324f, s.albedo.g * 0.32f + 0.6324f,
                        s.albedo.b * 0.32f + 0.6256f};
        }
        return s;
    }

    static Rgb apply_pattern(Rgb albedo, TexturePattern pattern, const TexCoord& uv) {
        float k = 1.0f;
        if (pattern == TexturePattern::kChecker) {
            const auto cell = static_cast<std::int64_t>(std::floor(uv.u)) +
                              static_cast<std::int64_t>(std::floor(uv.v));
            k = (cell & 1) != 0 ? 0.7f : 1.0f;
        } else if (pattern == TexturePattern::kBrick) {
            // Two courses per tile, every other course shifted by half a brick; thin joints.
            constexpr float kJoint = 0.04f;
            const float course = uv.v * 2.0f;
            const float row = std::floor(course);
            const float along = uv.u + (std::fmod(std::fabs(row), 2.0f) == 1.0f ? 0.5f : 0.0f);
            const bool joint = wrap01(course) < kJoint * 2.0f || wrap01(along) < kJoint;
            k = joint ? 0.55f : 1.0f;
        }
        return {albedo.r * k, albedo.g * k, albedo.b * k};
    }

    bool stipple(std::int32_t x, std::int32_t y) const {
        const std::int32_t k = std::max(settings.stipple_cell_px, 1);
        const std::int32_t cy = y / k, cx = x / k;
        return cy % 4 == 0 && (cx - ((cy & 4) != 0 ? 2 : 0)) % 4 == 0;
    }

    // Shades pixel (x, y): writes its RGBA bytes and its depth.
    void pixel(std::int32_t x, std::int32_t y, std::uint8_t* rgba, float& depth) const {
        Vec3 origin = frame.ray_origin(x, y);
        const Vec3 dir = frame.ray_direction(x, y);
        depth = kFarDepth;
        float cr = 0.0f, cg = 0.0f, cb = 0.0f, transmit = 1.0f;
        bool any = false;
        for (std::int32_t layer = 0; layer < kMaxLayers && transmit > kMinTransmittance; ++layer) {
            float t_min = 0.0f, t_max = kFarDistance;
            if (!clip_to_section(origin, dir, t_min, t_max)) break;
            const RayHit hit = scene.bvh.closest_hit(origin, dir, t_min, t_max);
            if (!hit.hit()) break;
            const SceneTriangle& tri = scene.triangles[hit.triangle];
            const Vec3 p = origin + dir * hit.t;
            if (!any) depth = dot(p - frame.eye, frame.forward);
            any = true;
            Shade s = shade_of(tri, hit, p);
            Vec3 n =
                normalize(cross(tri.corners[1] - tri.corners[0], tri.corners[2] - tri.corners[0]));
            if (dot(n, dir) > 0.0f) {
                // Seen from behind: lit like a front face.
                n = -n;
                if (settings.back_face_tint) s.albedo = settings.back_face_colour;
            }
            float ndl = std::max(dot(n, light), 0.0f);
            if (shadows && ndl > 0.0f && in_shadow(p + n * kShadowOffset)) ndl = 0.0f;
            float diffuse;
            if (settings.unlit) {
                diffuse = 1.0f;
            } else if (settings.beauty) {
                diffuse = 0.75f * ndl + 0.25f;
            } else if (settings.sun_light) {
                diffuse = 0.62f * ndl + 0.5f;
            } else {
                const float q = 0.8f * ndl + 0.4f;
                diffuse = q * q;
            }
            const float metal_dim = 1.0f - 0.4f * s.metallic;
            const float highlight = 0.5f * ndl * s.metallic;
            float c[3] = {diffuse * s.albedo.r * metal_dim + highlight,
                          diffuse * s.albedo.g * metal_dim + highlight,
                          diffuse * s.albedo.b * metal_dim + highlight};
            if (settings.beauty) {
                const float k = 1.0f - 0.15f * s.roughness;
                c[0] *= k, c[1] *= k, c[2] *= k;
            }
            for (float& v : c) v = std::sqrt(std::clamp(v, 0.0f, 1.0f));
            if ((tri.kind == TriangleKind::kStippleA || tri.kind == TriangleKind::kStippleB) &&
                stipple(x, y)) {
                c[0] = 0.0f, c[1] = 0.0f, c[2] = 1.0f;
                s.opacity = 1.0f;
            }
            cr += transmit * s.opacity * c[0];
            cg += transmit * s.opacity * c[1];
            cb += transmit * s.opacity * c[2];
            transmit *= 1.0f - s.opacity;
            origin = p + dir * kContinueOffset;
        }
        Colour3 bg{};
        if (!any || transmit > kMinTransmittance) {
            bg = background(frame, x, y, dir.z);
            if (shadows && dir.z < -1e-6f && frame.eye.z > 0.0f) {
                Vec3 ground = frame.ray_origin(x, y) + dir * (-frame.ray_origin(x, y).z / dir.z);
                ground.z = 0.001f;
                if (in_shadow(ground)) bg.r *= 0.7f, bg.g *= 0.7f, bg.b *= 0.7f;
            }
        }
        if (!any) {
            rgba[0] = static_cast<std::uint8_t>(std::min(bg.r, 255.0f));
            rgba[1] = static_cast<std::uint8_t>(std::min(bg.g, 255.0f));
            rgba[2] = static_cast<std::uint8_t>(std::min(bg.b, 255.0f));
            rgba[3] = settings.transparent_background ? 0 : 255;
            return;
        }
        if (transmit > kMinTransmittance) {
            cr += transmit * bg.r / 255.0f;
            cg += transmit * bg.g / 255.0f;
            cb += transmit * bg.b / 255.0f;
        }
        rgba[0] = static_cast<std::uint8_t>(std::min(cr, 1.0f) * 255.0f);
        rgba[1] = static_cast<std::uint8_t>(std::min(cg, 1.0f) * 255.0f);
        rgba[2] = static_cast<std::uint8_t>(std::min(cb, 1.0f) * 255.0f);
        rgba[3] = 255;
    }
};

std::int32_t worker_count(const RenderSettings& settings, std::int32_t rows) {
    constexpr std::int32_t kMaxWorkers = 16;
    std::int32_t n = settings.threads;
    if (n <= 0) {
        const unsigned hw = std::thread::hardware_concurrency();
        n = hw == 0 ? 4 : static_cast<std::int32_t>(std::min<unsigned>(hw, kMaxWorkers));
    }
    return std::clamp(n, 1, std::min(kMaxWorkers, rows));
}

}  // namespace

void render_scene(const RenderSettings& settings, Image& out, const RenderScene& scene,
                  std::int32_t width, std::int32_t height, float line_scale) {
    if (width < 1 || height < 1) width = kDefaultStillWidth, height = kDefaultStillHeight;
    const Frame frame = make_frame(settings.camera, width, height);
    const std::vector<Image> textures = load_textures(settings.materials, scene.triangles);

    Shader shader{settings, scene, frame, textures, {}, {}, false, {}, {}, false};
    shader.sun = normalize(settings.sun_direction);
    if (length_squared(shader.sun) == 0.0f) shader.sun = {0.0f, 0.0f, 1.0f};
    shader.light = settings.sun_light ? shader.sun : -frame.forward;
    shader.shadows = settings.sun_light && settings.sun_shadows;
    if (settings.active_section != nullptr &&
        length_squared(settings.active_section->normal) > 0.5f) {
        shader.has_cut = true;
        shader.cut_point = settings.active_section->point;
        shader.cut_normal = settings.active_section->normal;
    }

    out.width = width;
    out.height = height;
    out.rgba.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
    std::vector<float> depth(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                             kFarDepth);
    std::atomic<std::int32_t> rows_done{0};
    auto render_rows = [&](std::int32_t y0, std::int32_t y1) {
        for (std::int32_t y = y0; y < y1; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                const std::size_t i =
                    static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                    static_cast<std::size_t>(x);
                shader.pixel(x, y, &out.rgba[i * 4], depth[i]);
            }
            rows_done.fetch_add(1, std::memory_order_relaxed);
        }
    };

    const std::int32_t workers = worker_count(settings, height);
    if (workers == 1) {
        constexpr std::int32_t kRowsPerReport = 8;
        for (std::int32_t y = 0; y < height; y += kRowsPerReport) {
            render_rows(y, std::min(height, y + kRowsPerReport));
            if (settings.progress) settings.progress(std::min(height, y + kRowsPerReport), height);
        }
    } else {
        const std::int32_t band = (height + workers - 1) / workers;
        std::vector<std::thread> threads;
        threads.reserve(static_cast<std::size_t>(workers));
        for (std::int32_t y = 0; y < height; y += band) {
            threads.emplace_back(render_rows, y, std::min(height, y + band));
        }
        if (settings.progress) {
            constexpr auto kPoll = std::chrono::milliseconds(50);
            while (rows_done.load(std::memory_order_relaxed) < height) {
                std::this_thread::sleep_for(kPoll);
                settings.progress(rows_done.load(std::memory_order_relaxed), height);
            }
        }
        for (std::thread& t : threads) t.join();
    }

    apply_haze(out, depth, frame, settings.haze);
    if (settings.show_axes) draw_axes(out, depth, frame, settings, line_scale);
    draw_overlay_lines(out, depth, frame, settings, scene, line_scale);
    apply_exposure(out, settings.exposure);
    if (settings.beauty) apply_vignette(out, settings.vignette_strength);
}

Image downsample_box(const Image& big, std::int32_t factor) {
    Image out;
    if (!big.usable() || factor < 1) return out;
    out.width = big.width / factor;
    out.height = big.height / factor;
    if (out.width < 1 || out.height < 1) return Image{};
    out.rgba.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 4);
    const auto area = static_cast<std::uint32_t>(factor * factor);
    for (std::int32_t y = 0; y < out.height; ++y) {
        for (std::int32_t x = 0; x < out.width; ++x) {
            std::uint32_t sum[4] = {0, 0, 0, 0};
            for (std::int32_t dy = 0; dy < factor; ++dy) {
                const std::uint8_t* p = &big.rgba[big.pixel_offset(x * factor, y * factor + dy)];
                for (std::int32_t dx = 0; dx < factor; ++dx, p += 4) {
                    sum[0] += p[0], sum[1] += p[1], sum[2] += p[2], sum[3] += p[3];
                }
            }
            std::uint8_t* o = &out.rgba[out.pixel_offset(x, y)];
            for (int c = 0; c < 4; ++c) o[c] = static_cast<std::uint8_t>(sum[c] / area);
        }
    }
    return out;
}

void render_scene_ssaa(const RenderSettings& settings, Image& out, const RenderScene& scene,
                       std::int32_t width, std::int32_t height, std::int32_t factor) {
    if (width < 1 || height < 1) width = kDefaultStillWidth, height = kDefaultStillHeight;
    factor = std::max(factor, 2);
    Image big;
    render_scene(settings, big, scene, width * factor, height * factor, static_cast<float>(factor));
    out = downsample_box(big, factor);
}

void render_beauty(const RenderSettings& settings, Image& out, const Document& doc,
                   std::int32_t width, std::int32_t height, float line_scale) {
    render_scene(settings, out, build_render_scene(doc), width, height, line_scale);
}

void render_beauty_ssaa(const RenderSettings& settings, Image& out, const Document& doc,
                        std::int32_t width, std::int32_t height, std::int32_t factor) {
    render_scene_ssaa(settings, out, build_render_scene(doc), width, height, factor);
}

bool write_beauty_image(const Document& doc, const Camera& camera,
                        const std::filesystem::path& path, std::int32_t width,
                        std::int32_t height) {
    RenderSettings settings;
    settings.camera = camera;
    settings.materials = &doc.materials();
    settings.beauty = true;
    Image image;
    render_beauty(settings, image, doc, width, height);
    return io::write_image(path, image);
}

}  // namespace korvan
