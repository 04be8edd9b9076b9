#pragma once

#include <cstdint>
#include <vector>

#include "core/vec3.h"
#include "io/image.h"
#include "render/still.h"

// What the still renderer's shading and its screen passes share: the camera frame of one
// image, its background, and the depth buffer. Private to render/.

namespace korvan::still_detail {

// Depth of a pixel whose ray hit nothing.
inline constexpr float kFarDepth = 1e30f;

struct Frame {
    std::int32_t width = 0, height = 0;
    Vec3 eye, forward, right, up;
    float aspect = 1.0f, tan_half = 0.0f, ortho_half = 10.0f;
    bool orthographic = false;
    float horizon_ndc = 0.0f;  // ndc y of the horizon, for the sky gradient

    float ndc_x(std::int32_t x) const {
        return 2.0f * (static_cast<float>(x) + 0.5f) / static_cast<float>(width) - 1.0f;
    }
    float ndc_y(std::int32_t y) const {
        return 1.0f - 2.0f * (static_cast<float>(y) + 0.5f) / static_cast<float>(height);
    }
    Vec3 ray_origin(std::int32_t x, std::int32_t y) const;
    Vec3 ray_direction(std::int32_t x, std::int32_t y) const;
    // Screen position (pixel centres at integers) and view depth of a world point; false
    // when the point is not in front of the camera.
    bool project(const Vec3& p, float& sx, float& sy, float& depth) const;
};

Frame make_frame(const Camera& camera, std::int32_t width, std::int32_t height);

struct Colour3 {
    float r = 0.0f, g = 0.0f, b = 0.0f;
};

// Sky above the horizon, ground below, with the ordered dither, in 0..255 units (before
// any ground shadow).
Colour3 background(const Frame& frame, std::int32_t x, std::int32_t y, float dir_z);

// The passes that run once every row is done, in their order.
void apply_haze(Image& image, const std::vector<float>& depth, const Frame& frame, float amount);
void draw_axes(Image& image, const std::vector<float>& depth, const Frame& frame,
               const RenderSettings& settings, float line_scale);
void draw_overlay_lines(Image& image, const std::vector<float>& depth, const Frame& frame,
                        const RenderSettings& settings, const RenderScene& scene, float line_scale);
void apply_exposure(Image& image, float exposure);
void apply_vignette(Image& image, float strength);

}  // namespace korvan::still_detail
