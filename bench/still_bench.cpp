// The still renderer on a closed bumpy sphere of 100,000 triangles, 800 x 450, at the default
// framing (the sphere small in the frame, most rays miss) and at a close view (most rays hit):
//   BM_RayPhase      the nearest-hit query for every camera ray, our hierarchy, N threads;
//   BM_EmbreeRays    the same rays and triangles through Embree's single-ray queries, for
//                    comparison only (Embree is never linked into the program);
//   BM_RenderScene   the whole render (rays, shading, passes) on a built scene;
//   BM_BuildScene    flattening, triangulation and the hierarchy build.
// Set KORVAN_BENCH_SPHERE=dir to also write the sphere with each view as its first scene
// (sphere_framing.korv, sphere_close.korv), so the `still` verb can be timed on it.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>
#include <vector>

#include "document/document.h"
#include "io/korv_writer.h"
#include "render/scene_triangles.h"
#include "render/still.h"
#include "render/still_frame.h"

#ifdef KORVAN_HAVE_EMBREE
#include <embree3/rtcore.h>
#endif

namespace korvan {
namespace {

constexpr int kSlices = 250, kStacks = 202;  // 2 x 250 pole fans + 2 x 250 x 199 = 100,000
constexpr std::int32_t kWidth = 800, kHeight = 450;

Vec3 sphere_point(int stack, int slice) {
    const float theta = 3.14159265f * static_cast<float>(stack) / (kStacks - 1);
    const float phi = 2.0f * 3.14159265f * static_cast<float>(slice % kSlices) / kSlices;
    const float r = 1.0f + 0.06f * std::sin(9.0f * theta) * std::sin(7.0f * phi);
    return {r * std::sin(theta) * std::cos(phi), r * std::sin(theta) * std::sin(phi),
            r * std::cos(theta)};
}

// A UV sphere whose poles are fans of triangles; every quad band split in two.
Document bumpy_sphere() {
    Document doc;
    Mesh& mesh = doc.root().mesh;
    std::vector<VertexId> ids;
    const VertexId top = mesh.add_vertex(sphere_point(0, 0));
    const VertexId bottom = mesh.add_vertex(sphere_point(kStacks - 1, 0));
    for (int st = 1; st < kStacks - 1; ++st)
        for (int sl = 0; sl < kSlices; ++sl) ids.push_back(mesh.add_vertex(sphere_point(st, sl)));
    auto at = [&](int st, int sl) {
        return ids[static_cast<std::size_t>((st - 1) * kSlices + sl % kSlices)];
    };
    auto tri = [&](VertexId a, VertexId b, VertexId c) {
        const VertexId v[3] = {a, b, c};
        mesh.add_ngon(v);
    };
    for (int sl = 0; sl < kSlices; ++sl) {
        tri(top, at(1, sl), at(1, sl + 1));
        tri(bottom, at(kStacks - 2, sl + 1), at(kStacks - 2, sl));
    }
    for (int st = 1; st < kStacks - 2; ++st) {
        for (int sl = 0; sl < kSlices; ++sl) {
            tri(at(st, sl), at(st + 1, sl), at(st + 1, sl + 1));
            tri(at(st, sl), at(st + 1, sl + 1), at(st, sl + 1));
        }
    }
    return doc;
}

struct Fixture {
    Document doc = bumpy_sphere();
    RenderScene scene = build_render_scene(doc);
    Camera framing = default_framing(doc);
    Camera close;
    void write_views(const std::filesystem::path& dir) const;
    Fixture() {
        close.eye = {0.0f, -1.8f, 0.2f};
        close.target = {0.0f, 0.0f, 0.0f};
        if (const char* dir = std::getenv("KORVAN_BENCH_SPHERE")) write_views(dir);
    }
};

// The sphere with its first scene looking through each camera, for timing the verb.
void Fixture::write_views(const std::filesystem::path& dir) const {
    for (const auto& [name, camera] :
         {std::pair{"sphere_framing.korv", framing}, std::pair{"sphere_close.korv", close}}) {
        Document copy = doc;
        Scene view;
        view.name = "view";
        view.eye = camera.eye, view.target = camera.target, view.up = camera.up;
        view.fov_deg = camera.fov_deg;
        copy.scenes().push_back(view);
        io::write_document(dir / name, copy);
    }
}

const Fixture& fixture() {
    static const Fixture f;
    return f;
}

const Camera& camera_of(std::int64_t view) {
    return view == 0 ? fixture().framing : fixture().close;
}

struct Rays {
    std::vector<Vec3> origin, dir;
};

Rays camera_rays(const Camera& camera) {
    const still_detail::Frame frame = still_detail::make_frame(camera, kWidth, kHeight);
    Rays rays;
    for (std::int32_t y = 0; y < kHeight; ++y) {
        for (std::int32_t x = 0; x < kWidth; ++x) {
            rays.origin.push_back(frame.ray_origin(x, y));
            rays.dir.push_back(frame.ray_direction(x, y));
        }
    }
    return rays;
}

// Runs trace(first, last) over the rays cut into one band per thread; returns the hits.
template <class Trace>
std::size_t in_bands(std::size_t n, int threads, Trace trace) {
    std::atomic<std::size_t> hits{0};
    std::vector<std::thread> pool;
    const std::size_t band = (n + threads - 1) / threads;
    for (int t = 0; t < threads; ++t) {
        const std::size_t a = std::min(n, band * t), b = std::min(n, a + band);
        pool.emplace_back([&, a, b] { hits += trace(a, b); });
    }
    for (std::thread& t : pool) t.join();
    return hits;
}

void BM_RayPhase(benchmark::State& state) {
    const Rays rays = camera_rays(camera_of(state.range(0)));
    const Bvh& bvh = fixture().scene.bvh;
    const int threads = static_cast<int>(state.range(1));
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = in_bands(rays.dir.size(), threads, [&](std::size_t a, std::size_t b) {
            std::size_t h = 0;
            for (std::size_t i = a; i < b; ++i)
                h += bvh.closest_hit(rays.origin[i], rays.dir[i], 0.0f, 1e30f).hit();
            return h;
        });
    }
    state.counters["hit_share"] = static_cast<double>(hits) / static_cast<double>(rays.dir.size());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rays.dir.size()));
}
BENCHMARK(BM_RayPhase)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->ArgNames({"close", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

#ifdef KORVAN_HAVE_EMBREE
void BM_EmbreeRays(benchmark::State& state) {
    const Rays rays = camera_rays(camera_of(state.range(0)));
    const int threads = static_cast<int>(state.range(1));
    RTCDevice device = rtcNewDevice("threads=1");
    RTCScene scene = rtcNewScene(device);
    RTCGeometry geom = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
    const auto& tris = fixture().scene.triangles;
    auto* v = static_cast<float*>(rtcSetNewGeometryBuffer(
        geom, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3, 3 * sizeof(float), 3 * tris.size()));
    auto* idx = static_cast<unsigned*>(rtcSetNewGeometryBuffer(
        geom, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3, 3 * sizeof(unsigned), tris.size()));
    for (std::size_t i = 0; i < tris.size(); ++i) {
        for (std::size_t k = 0; k < 3; ++k) {
            v[9 * i + 3 * k] = tris[i].corners[k].x;
            v[9 * i + 3 * k + 1] = tris[i].corners[k].y;
            v[9 * i + 3 * k + 2] = tris[i].corners[k].z;
            idx[3 * i + k] = static_cast<unsigned>(3 * i + k);
        }
    }
    rtcCommitGeometry(geom);
    rtcAttachGeometry(scene, geom);
    rtcReleaseGeometry(geom);
    rtcCommitScene(scene);
    std::size_t hits = 0;
    for (auto _ : state) {
        hits = in_bands(rays.dir.size(), threads, [&](std::size_t a, std::size_t b) {
            RTCIntersectContext context;
            rtcInitIntersectContext(&context);
            std::size_t h = 0;
            for (std::size_t i = a; i < b; ++i) {
                RTCRayHit rh{};
                rh.ray.org_x = rays.origin[i].x, rh.ray.org_y = rays.origin[i].y,
                rh.ray.org_z = rays.origin[i].z;
                rh.ray.dir_x = rays.dir[i].x, rh.ray.dir_y = rays.dir[i].y,
                rh.ray.dir_z = rays.dir[i].z;
                rh.ray.tnear = 0.0f;
                rh.ray.tfar = 1e30f;
                rh.ray.mask = 0xFFFFFFFFu;
                rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
                rtcIntersect1(scene, &context, &rh);
                h += rh.hit.geomID != RTC_INVALID_GEOMETRY_ID;
            }
            return h;
        });
    }
    state.counters["hit_share"] = static_cast<double>(hits) / static_cast<double>(rays.dir.size());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rays.dir.size()));
    rtcReleaseScene(scene);
    rtcReleaseDevice(device);
}
BENCHMARK(BM_EmbreeRays)
    ->ArgsProduct({{0, 1}, {1, 2}})
    ->ArgNames({"close", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
#endif

void BM_RenderScene(benchmark::State& state) {
    RenderSettings settings;
    settings.camera = camera_of(state.range(0));
    settings.beauty = true;
    settings.threads = 2;
    Image image;
    for (auto _ : state) render_scene(settings, image, fixture().scene, kWidth, kHeight);
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_RenderScene)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("close")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_BuildScene(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(build_render_scene(fixture().doc));
    state.SetItemsProcessed(state.iterations() *
                            static_cast<std::int64_t>(fixture().scene.triangles.size()));
}
BENCHMARK(BM_BuildScene)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvan
