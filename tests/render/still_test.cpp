#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "document/material_library.h"
#include "document/section_plane.h"
#include "render/still.h"
#include "tests/support/cli_runner.h"

namespace korvan {
namespace {

// A camera on the -y side looking along +y at the wall plane y = 0, level, 45 degrees.
Camera facing_wall() {
    Camera c;
    c.eye = {0.0f, -10.0f, 1.0f};
    c.target = {0.0f, 0.0f, 1.0f};
    c.up = {0.0f, 0.0f, 1.0f};
    return c;
}

// An upright rectangle in the plane y = `y`, x in [-w, w], z in [1 - w, 1 + w], facing -y
// (towards the camera) unless reversed.
void add_wall(Mesh& mesh, float y, float w, std::uint32_t material, bool reversed = false) {
    std::vector<VertexId> v = {mesh.add_vertex({-w, y, 1 - w}), mesh.add_vertex({w, y, 1 - w}),
                               mesh.add_vertex({w, y, 1 + w}), mesh.add_vertex({-w, y, 1 + w})};
    if (reversed) std::swap(v[1], v[3]);
    const std::optional<FaceId> f = mesh.add_ngon(v);
    ASSERT_TRUE(f.has_value());
    mesh.face_mut(*f).material_id = material;
}

MaterialLibrary test_materials() {
    std::vector<Material> m(4);
    m[1].albedo = {0.9f, 0.2f, 0.1f};  // wall
    m[1].roughness = 0.0f;
    m[2].albedo = {0.1f, 0.3f, 0.9f};  // glass
    m[2].opacity = 0.25f;
    m[2].roughness = 0.0f;
    m[3].roughness = 0.0f;
    return MaterialLibrary(std::move(m));
}

struct Fixture {
    MaterialLibrary materials = test_materials();
    RenderSettings settings;
    Fixture() {
        settings.camera = facing_wall();
        settings.materials = &materials;
        settings.beauty = true;
    }
    Image render(const Mesh& mesh, std::int32_t w = 64, std::int32_t h = 36) const {
        Image out;
        render_scene(settings, out, build_render_scene(mesh), w, h);
        return out;
    }
};

std::array<int, 4> pixel(const Image& image, std::int32_t x, std::int32_t y) {
    const std::uint8_t* p = &image.rgba[image.pixel_offset(x, y)];
    return {p[0], p[1], p[2], p[3]};
}

// The beauty colour of a face seen head-on (ndl = 1, roughness 0), display-encoded, 0..1.
float lit(float albedo) { return std::sqrt(std::min(albedo, 1.0f)); }

TEST(Still, EmptyFrameShowsSkyAndGroundWithTheDitherPattern) {
    RenderSettings settings;  // the default camera looks down from (10, -14, 8)
    Image image;
    const std::int32_t w = 96, h = 54;
    render_scene(settings, image, RenderScene{}, w, h);
    ASSERT_EQ(image.width, w);

    // The plain formulas, written out again.
    const Vec3 fwd = normalize(settings.camera.target - settings.camera.eye);
    const Vec3 right = normalize(cross(fwd, settings.camera.up));
    const Vec3 up = cross(right, fwd);
    const float tan_half = std::tan(45.0f * 3.1415927f / 360.0f);
    const float horizon = -fwd.z / (tan_half * up.z);
    const int bayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};
    int exact = 0, sky = 0, ground = 0;
    for (std::int32_t y = 0; y < h; ++y) {
        for (std::int32_t x = 0; x < w; ++x) {
            const float nx = 2.0f * (x + 0.5f) / w - 1.0f, ny = 1.0f - 2.0f * (y + 0.5f) / h;
            const Vec3 d = fwd + right * (nx * (float(w) / h) * tan_half) + up * (ny * tan_half);
            float rgb[3];
            if (d.z >= 0.0f) {
                const float t = std::clamp((1.1f - ny) / (1.1f - horizon), 0.0f, 1.0f);
                rgb[0] = 191.25f * t, rgb[1] = 154.0f + 75.25f * t, rgb[2] = 217.0f + 28.25f * t;
                ++sky;
            } else {
                rgb[0] = 191.0f, rgb[1] = 191.0f, rgb[2] = 198.0f;
                ++ground;
            }
            const float dither = (bayer[(y % 4) * 4 + x % 4] + 0.5f) * 0.0625f;
            const auto got = pixel(image, x, y);
            bool same = true;
            for (int c = 0; c < 3; ++c) {
                const int want = static_cast<int>(rgb[c] + dither);
                EXPECT_NEAR(got[static_cast<std::size_t>(c)], want, 1) << x << "," << y;
                same = same && got[static_cast<std::size_t>(c)] == want;
            }
            EXPECT_EQ(got[3], 255);
            exact += same ? 1 : 0;
        }
    }
    EXPECT_GT(sky, 0);
    EXPECT_GT(ground, 0);
    EXPECT_GE(exact, w * h * 99 / 100);  // only float ties at whole numbers may differ
}

TEST(Still, GlassPassesThreeQuartersAndStopsAfterFourLayers) {
    Fixture f;
    Mesh wall_only, glass, five_panes;
    add_wall(wall_only, 0.0f, 50.0f, 1);
    add_wall(glass, 0.0f, 50.0f, 1);
    add_wall(glass, -2.0f, 50.0f, 2);
    add_wall(five_panes, 0.0f, 50.0f, 1);
    for (int k = 1; k <= 5; ++k) add_wall(five_panes, -0.5f * static_cast<float>(k), 50.0f, 2);
    const auto centre = [](const Image& i) { return pixel(i, 32, 18); };

    const auto wall = centre(f.render(wall_only));
    const float wall_rgb[3] = {0.9f, 0.2f, 0.1f}, glass_rgb[3] = {0.1f, 0.3f, 0.9f};
    const auto mixed = centre(f.render(glass));
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        EXPECT_NEAR(wall[std::size_t(c)], 255.0f * lit(wall_rgb[c]), 1.0f);
        EXPECT_NEAR(mixed[std::size_t(c)],
                    255.0f * (0.25f * lit(glass_rgb[c]) + 0.75f * lit(wall_rgb[c])), 1.0f);
    }
    // After four panes 0.75^4 of the light is left, but the ray stops there: the background
    // shows through instead of the wall.
    const auto empty = centre(f.render(Mesh{}));
    const auto stacked = centre(f.render(five_panes));
    const float left = std::pow(0.75f, 4.0f);
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        const float panes = 0.25f * lit(glass_rgb[c]) * (1 + 0.75f + 0.5625f + 0.421875f);
        EXPECT_NEAR(stacked[std::size_t(c)], 255.0f * panes + left * empty[std::size_t(c)], 1.5f);
    }
}

TEST(Still, BackFacesLightLikeFrontFacesAndThreadsChangeNothing) {
    Fixture f;
    Mesh front, back;
    add_wall(front, 0.0f, 2.0f, 1);
    add_wall(back, 0.0f, 2.0f, 1, true);
    const Image reference = f.render(front);
    EXPECT_EQ(f.render(back).rgba, reference.rgba);
    for (std::int32_t threads : {1, 3, 7, 16}) {
        SCOPED_TRACE(threads);
        Fixture g;
        g.settings.threads = threads;
        EXPECT_EQ(g.render(front).rgba, reference.rgba);
    }
}

TEST(Still, ExposureScalesBytesAndVignetteDarkensOnlyTowardsTheCorners) {
    Fixture f;
    Mesh mesh;
    add_wall(mesh, 0.0f, 50.0f, 3);  // white: bright enough to saturate when doubled
    add_wall(mesh, -1.0f, 1.0f, 1);
    const std::int32_t w = 41, h = 31;
    const Image base = f.render(mesh, w, h);
    Fixture doubled = f;
    doubled.settings.exposure = 2.0f;
    const Image bright = doubled.render(mesh, w, h);
    bool saturated = false;
    for (std::size_t i = 0; i < base.rgba.size(); ++i) {
        const int want = i % 4 == 3 ? base.rgba[i] : std::min(2 * base.rgba[i], 255);
        ASSERT_EQ(bright.rgba[i], want) << i;
        saturated = saturated || (i % 4 != 3 && 2 * base.rgba[i] > 255);
    }
    EXPECT_TRUE(saturated);

    Fixture vignetted = f;
    vignetted.settings.vignette_strength = 0.35f;
    const Image dark = vignetted.render(mesh, w, h);
    EXPECT_EQ(pixel(dark, w / 2, h / 2), pixel(base, w / 2, h / 2));
    for (auto [x, y] :
         {std::pair{0, 0}, std::pair{w - 1, 0}, std::pair{0, h - 1}, std::pair{w - 1, h - 1}}) {
        const auto b = pixel(base, x, y), d = pixel(dark, x, y);
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_EQ(d[c], static_cast<int>(b[c] * 0.86f)) << x << "," << y;
    }
    // Without the beauty lighting the vignette pass does not run.
    Fixture plain = vignetted;
    plain.settings.beauty = false;
    Fixture plain_ref = f;
    plain_ref.settings.beauty = false;
    EXPECT_EQ(plain.render(mesh, w, h).rgba, plain_ref.render(mesh, w, h).rgba);
}

TEST(Still, SectionPlaneCutsAwayTheFrontHalfSpace) {
    Fixture f;
    Mesh both, back_only;
    add_wall(both, 0.0f, 3.0f, 1);
    add_wall(both, -2.0f, 1.0f, 3);
    add_wall(back_only, 0.0f, 3.0f, 1);
    SectionPlane cut;
    cut.point = {0.0f, -1.0f, 0.0f};
    cut.normal = {0.0f, -1.0f, 0.0f};  // away: everything nearer the camera than y = -1
    Fixture cutting = f;
    cutting.settings.active_section = &cut;
    EXPECT_NE(f.render(both).rgba, f.render(back_only).rgba);
    EXPECT_EQ(cutting.render(both).rgba, f.render(back_only).rgba);
}

TEST(Still, TexturesFollowStoredCornerUvsTopRowFirst) {
    // A 2 x 2 picture: red, green / blue, white.
    Image tex = make_image(2, 2, 0, 0, 0);
    const std::uint8_t texels[4][3] = {{200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {200, 200, 200}};
    for (std::size_t i = 0; i < 4; ++i)
        for (std::size_t c = 0; c < 3; ++c) tex.rgba[i * 4 + c] = texels[i][c];
    const std::filesystem::path path = test::fresh_temp_dir() / "tex.png";
    ASSERT_TRUE(io::write_png(path, tex));

    Fixture f;
    Material m;
    m.roughness = 0.0f;
    m.texture_path = path.string();
    const auto index = static_cast<std::uint32_t>(f.materials.add(m));
    Mesh mesh;
    add_wall(mesh, 0.0f, 2.0f, index);
    for (HalfEdgeId h : mesh.face_half_edges(0)) {
        const Vec3 p = mesh.vertices()[mesh.half_edges()[h].origin].position;
        ASSERT_TRUE(mesh.set_corner_uv(h, (p.x + 2.0f) / 4.0f, (3.0f - p.z) / 4.0f));
    }
    Camera close = facing_wall();
    close.eye.y = -2.0f / std::tan(22.5f * 3.1415927f / 180.0f);  // the wall just fills the height
    f.settings.camera = close;
    const std::int32_t side = 42;  // pixel centres 10 and 31 fall on texel centres
    const Image image = f.render(mesh, side, side);
    // Texel centres sample single texels (bilinear filtering elsewhere); the colour comes
    // back through the light and the display encoding.
    const std::pair<int, int> centres[4] = {{10, 10}, {31, 10}, {10, 31}, {31, 31}};
    for (std::size_t q = 0; q < 4; ++q) {
        SCOPED_TRACE(q);
        const auto got = pixel(image, centres[q].first, centres[q].second);
        for (std::size_t c = 0; c < 3; ++c) EXPECT_NEAR(got[c], texels[q][c], 3);
    }
}

TEST(Still, SupersamplingAveragesBlocksOfTheBigRender) {
    Image big = make_image(6, 3, 0, 0, 0);
    for (std::size_t i = 0; i < big.rgba.size(); ++i)
        big.rgba[i] = static_cast<std::uint8_t>(i * 7);
    const Image small = downsample_box(big, 3);
    ASSERT_EQ(small.width, 2);
    ASSERT_EQ(small.height, 1);
    for (std::int32_t x = 0; x < 2; ++x) {
        for (std::size_t c = 0; c < 4; ++c) {
            int sum = 0;
            for (std::int32_t dy = 0; dy < 3; ++dy)
                for (std::int32_t dx = 0; dx < 3; ++dx)
                    sum += big.rgba[big.pixel_offset(3 * x + dx, dy) + c];
            EXPECT_EQ(small.rgba[small.pixel_offset(x, 0) + c], sum / 9);
        }
    }
    Fixture f;
    Mesh mesh;
    add_wall(mesh, 0.0f, 1.0f, 1);
    Image ssaa;
    render_scene_ssaa(f.settings, ssaa, build_render_scene(mesh), 20, 12, 1);  // raised to 2
    Image twice;
    render_scene(f.settings, twice, build_render_scene(mesh), 40, 24, 2.0f);
    EXPECT_EQ(ssaa.rgba, downsample_box(twice, 2).rgba);
}

}  // namespace
}  // namespace korvan
