#include <algorithm>
#include <cmath>

#include "render/still_frame.h"

// The screen passes of the still renderer. They run on the calling thread once every band
// is done, reading the depth buffer the bands filled.

namespace korvan::still_detail {
namespace {

constexpr float kNearDepth = 1e-3f;

std::uint8_t clamp_byte(float v) { return static_cast<std::uint8_t>(std::clamp(v, 0.0f, 255.0f)); }

struct LineStyle {
    Colour3 colour;  // 0..255
    float opacity = 1.0f;
    float width_px = 1.0f;
    float dash_period_px = 0.0f;  // 0 = solid; else the first quarter of each period is drawn
};

// Draws the world segment a-b over the image: clipped to the near plane, projected, and
// blended pixel by pixel with the weight (1 - r)^2 x opacity, r being the pixel's distance
// from the line's centre relative to its reach (half the width plus half a pixel of
// anti-aliasing). A pixel is covered only where the line is not behind the surface stored
// in the depth buffer (with a tolerance that grows with depth, so lines on faces show).
void draw_segment(Image& image, const std::vector<float>& depth, const Frame& frame, Vec3 a, Vec3 b,
                  const LineStyle& style) {
    float da = dot(a - frame.eye, frame.forward), db = dot(b - frame.eye, frame.forward);
    if (da < kNearDepth && db < kNearDepth) return;
    if (da < kNearDepth || db < kNearDepth) {
        const float t = (kNearDepth - da) / (db - da);
        const Vec3 cut = a + (b - a) * t;
        (da < kNearDepth ? a : b) = cut;
    }
    float ax, ay, bx, by;
    if (!frame.project(a, ax, ay, da) || !frame.project(b, bx, by, db)) return;
    const float reach = 0.5f * style.width_px + 0.5f;
    // Clip the screen segment to the image (grown by the reach), Liang-Barsky style, keeping
    // the parameter range so depth can still be interpolated along the original segment.
    float s0 = 0.0f, s1 = 1.0f;
    const float dx = bx - ax, dy = by - ay;
    const float lo_x = -reach - 1.0f, hi_x = static_cast<float>(image.width) + reach;
    const float lo_y = -reach - 1.0f, hi_y = static_cast<float>(image.height) + reach;
    auto clip = [&](float p, float q) {
        if (p == 0.0f) return q >= 0.0f;
        const float r = q / p;
        if (p < 0.0f)
            s0 = std::max(s0, r);
        else
            s1 = std::min(s1, r);
        return s0 <= s1;
    };
    if (!clip(-dx, ax - lo_x) || !clip(dx, hi_x - ax) || !clip(-dy, ay - lo_y) ||
        !clip(dy, hi_y - ay)) {
        return;
    }
    const float len2 = dx * dx + dy * dy;
    const float len = std::sqrt(len2);
    // Depth is not linear on screen under perspective; its inverse is.
    auto depth_at = [&](float s) {
        if (frame.orthographic) return da + (db - da) * s;
        return 1.0f / (1.0f / da + (1.0f / db - 1.0f / da) * s);
    };
    const float cx0 = ax + dx * s0, cy0 = ay + dy * s0, cx1 = ax + dx * s1, cy1 = ay + dy * s1;
    const auto x_begin =
        static_cast<std::int32_t>(std::max(0.0f, std::floor(std::min(cx0, cx1) - reach)));
    const auto x_end = static_cast<std::int32_t>(
        std::min(static_cast<float>(image.width - 1), std::ceil(std::max(cx0, cx1) + reach)));
    const auto y_begin =
        static_cast<std::int32_t>(std::max(0.0f, std::floor(std::min(cy0, cy1) - reach)));
    const auto y_end = static_cast<std::int32_t>(
        std::min(static_cast<float>(image.height - 1), std::ceil(std::max(cy0, cy1) + reach)));
    for (std::int32_t y = y_begin; y <= y_end; ++y) {
        for (std::int32_t x = x_begin; x <= x_end; ++x) {
            const float px = static_cast<float>(x) - ax, py = static_cast<float>(y) - ay;
            float s = len2 > 0.0f ? (px * dx + py * dy) / len2 : 0.0f;
            s = std::clamp(s, s0, s1);
            const float ex = px - dx * s, ey = py - dy * s;
            const float r = std::sqrt(ex * ex + ey * ey) / reach;
            if (r >= 1.0f) continue;
            if (style.dash_period_px > 0.0f) {
                const float along = std::fmod(s * len, style.dash_period_px);
                if (along > 0.25f * style.dash_period_px) continue;
            }
            const std::size_t i =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                static_cast<std::size_t>(x);
            const float d = depth_at(s);
            if (d > depth[i] + 0.003f * d + 0.02f) continue;
            const float w = (1.0f - r) * (1.0f - r) * style.opacity;
            std::uint8_t* p = &image.rgba[i * 4];
            p[0] = clamp_byte(static_cast<float>(p[0]) * (1.0f - w) + style.colour.r * w);
            p[1] = clamp_byte(static_cast<float>(p[1]) * (1.0f - w) + style.colour.g * w);
            p[2] = clamp_byte(static_cast<float>(p[2]) * (1.0f - w) + style.colour.b * w);
        }
    }
}

// The overlay line colour (0.62, 0.63, 0.66) in bytes.
constexpr Colour3 kLineColour{0.62f * 255.0f, 0.63f * 255.0f, 0.66f * 255.0f};

}  // namespace

void apply_haze(Image& image, const std::vector<float>& depth, const Frame& frame, float amount) {
    if (!(amount > 0.0f)) return;
    float dmax = 0.0f;
    for (float d : depth) {
        if (d < 1e29f) dmax = std::max(dmax, d);
    }
    if (dmax <= 1e-4f) return;
    const float s = std::clamp(amount, 0.0f, 1.0f);
    for (std::int32_t y = 0; y < image.height; ++y) {
        for (std::int32_t x = 0; x < image.width; ++x) {
            const std::size_t i =
                static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                static_cast<std::size_t>(x);
            const float d = depth[i];
            if (!(d < 1e29f)) continue;
            const float k = std::clamp(d / dmax, 0.0f, 1.0f);
            const float f = s * k * k;
            const Colour3 bg = background(frame, x, y, frame.ray_direction(x, y).z);
            std::uint8_t* p = &image.rgba[i * 4];
            p[0] = clamp_byte(static_cast<float>(p[0]) * (1.0f - f) + f * bg.r);
            p[1] = clamp_byte(static_cast<float>(p[1]) * (1.0f - f) + f * bg.g);
            p[2] = clamp_byte(static_cast<float>(p[2]) * (1.0f - f) + f * bg.b);
        }
    }
}

void draw_axes(Image& image, const std::vector<float>& depth, const Frame& frame,
               const RenderSettings& settings, float line_scale) {
    const Camera& cam = settings.camera;
    const float reach = std::max(6.0f * length(cam.eye - cam.target), 4.0f);
    const auto& m = settings.model_transform.m;
    const Vec3 origin{m[12], m[13], m[14]};
    const Vec3 columns[3] = {{m[0], m[1], m[2]}, {m[4], m[5], m[6]}, {m[8], m[9], m[10]}};
    const Colour3 colours[3] = {
        {0.86f * 255.0f, 0.0f, 0.0f}, {0.0f, 0.62f * 255.0f, 0.0f}, {0.0f, 0.0f, 0.9f * 255.0f}};
    const Vec3 view = cam.target - cam.eye;
    for (int axis = 0; axis < 3; ++axis) {
        const Vec3 d = normalize(columns[axis]);
        if (cam.orthographic && length(columns[axis]) > 1e-9f && length(view) > 1e-9f &&
            std::fabs(dot(d, normalize(view))) > 0.9994f) {
            continue;  // end-on in a parallel view the axis would be a dot
        }
        LineStyle solid{colours[axis], 1.0f, 0.75f * line_scale, 0.0f};
        draw_segment(image, depth, frame, origin, origin + d * reach, solid);
        LineStyle dashed{colours[axis], 0.9f, 0.75f * line_scale, 4.0f * line_scale};
        draw_segment(image, depth, frame, origin, origin - d * reach, dashed);
    }
}

void draw_overlay_lines(Image& image, const std::vector<float>& depth, const Frame& frame,
                        const RenderSettings& settings, const RenderScene& scene,
                        float line_scale) {
    const float width = std::max(std::round(line_scale), 1.0f);
    const LineStyle style{kLineColour, 1.0f, width, 0.0f};
    if (settings.show_edges) {
        for (const SceneSegment& s : scene.hard_edges)
            draw_segment(image, depth, frame, s.a, s.b, style);
    }
    if (settings.show_guides) {
        for (const SceneSegment& s : scene.guides)
            draw_segment(image, depth, frame, s.a, s.b, style);
    }
    if (settings.show_dimensions) {
        for (const SceneSegment& s : scene.dimensions) {
            draw_segment(image, depth, frame, s.a, s.b, style);
            // End ticks across the line, as long as a few percent of it, facing the viewer.
            const float len = length(s.b - s.a);
            const Vec3 across = normalize(cross(s.b - s.a, frame.forward));
            if (len <= 0.0f || length_squared(across) == 0.0f) continue;
            const Vec3 tick = across * std::clamp(0.04f * len, 0.05f, 0.3f);
            draw_segment(image, depth, frame, s.a - tick, s.a + tick, style);
            draw_segment(image, depth, frame, s.b - tick, s.b + tick, style);
        }
    }
}

void apply_exposure(Image& image, float exposure) {
    if (exposure == 1.0f) return;
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        for (std::size_t c = 0; c < 3; ++c) {
            image.rgba[i + c] = clamp_byte(static_cast<float>(image.rgba[i + c]) * exposure);
        }
    }
}

void apply_vignette(Image& image, float strength) {
    if (!(strength > 0.0f)) return;
    const float s = std::clamp(strength, 0.0f, 1.0f) * 0.4f;
    const float cx = static_cast<float>(image.width - 1) * 0.5f;
    const float cy = static_cast<float>(image.height - 1) * 0.5f;
    const float norm = cx * cx + cy * cy;
    if (norm < 1e-6f) return;
    for (std::int32_t y = 0; y < image.height; ++y) {
        for (std::int32_t x = 0; x < image.width; ++x) {
            const float fx = static_cast<float>(x) - cx, fy = static_cast<float>(y) - cy;
            const float r2 = (fx * fx + fy * fy) / norm;
            const float k = 1.0f - s * r2 * r2;
            std::uint8_t* p = &image.rgba[image.pixel_offset(x, y)];
            for (int c = 0; c < 3; ++c) p[c] = clamp_byte(static_cast<float>(p[c]) * k);
        }
    }
}

}  // namespace korvan::still_detail
