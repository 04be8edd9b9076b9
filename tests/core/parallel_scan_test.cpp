#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/background.h"
#include "core/mesh.h"
#include "core/parallel_scan.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using testing_support::bytes_of;

// 500 x 400 unlinked quads with some variety, so every scan has something to pick.
Mesh big_mesh() {
    Mesh m = testing_support::quad_grid(500, 400, false);
    for (VertexId v = 0; v < m.vertices().size(); v += 13) m.vertex_mut(v).position.z = 0.3f;
    for (FaceId f = 0; f < m.faces().size(); ++f) {
        m.recompute_face_normal(f);
        if (f % 5 == 0) m.face_mut(f).layer_id = 2;
        if (f % 3 == 0) m.face_mut(f).visible = false;
    }
    for (FaceId f = 0; f < m.faces().size(); f += 7) m.erase_face(f);
    return m;
}

TEST(ParallelScan, BackgroundJobRunsChunksInOrderOnItsThreadAndStopsWhenCancelled) {
    std::atomic<bool> cancel{false};
    background::JobScope job(cancel);
    const auto caller = std::this_thread::get_id();
    std::vector<std::size_t> ran;
    auto chunk = [&](std::size_t c) {
        EXPECT_EQ(std::this_thread::get_id(), caller);
        ran.push_back(c);
        if (c == 2) cancel = true;
        return static_cast<int>(c);
    };
    EXPECT_THROW(run_chunks<int>(6, true, chunk), background::Cancelled);
    EXPECT_EQ(ran, (std::vector<std::size_t>{0, 1, 2}));
    cancel = false;
    EXPECT_EQ(run_chunks<int>(2, true, [](std::size_t c) { return static_cast<int>(c) * 10; }),
              (std::vector<int>{0, 10}));
}

TEST(ParallelScan, ChunkBoundariesCoverTheRangeOnce) {
    for (const std::size_t n :
         {std::size_t{0}, std::size_t{65535}, std::size_t{65536}, std::size_t{16384 * 5 + 1}}) {
        SCOPED_TRACE(n);
        const auto parts =
            scan_chunks<std::vector<std::size_t>>(n, [](std::size_t b, std::size_t e) {
                return std::vector<std::size_t>{b, e};
            });
        std::size_t expect_begin = 0;
        for (const auto& p : parts) {
            EXPECT_EQ(p[0], expect_begin);
            expect_begin = p[1];
        }
        EXPECT_EQ(expect_begin, n);
        EXPECT_EQ(parts.size(), n <= kParallelScanThreshold ? 1u : (n + 16383) / 16384);
    }
}

TEST(ParallelScan, ParallelAndSequentialScansAgreeOnLargeMesh) {
    const Mesh m = big_mesh();
    ASSERT_EQ(m.faces().size(), 200000u);
    const std::vector<FaceId> all = m.alive_faces();
    const std::vector<FaceId> half(all.begin(), all.begin() + 90000);
    const Aabb region{{100, 50, -1}, {300, 250, 1}};
    auto run_all = [&] {
        struct Results {
            std::vector<FaceId> alive, visible, layer, in_box, facing, inverted;
            std::vector<EdgeId> naked;
            std::uint64_t naked_count, face_count;
            float volume, area;
        };
        return Results{m.alive_faces(),
                       m.visible_faces(),
                       m.faces_with_layer(2),
                       m.faces_within_aabb(region),
                       m.faces_facing({0, 0, 1}),
                       m.invert_face_selection(half),
                       m.naked_edges(),
                       m.naked_edge_count(),
                       m.alive_face_count(),
                       m.signed_volume(),
                       m.area_of_faces(m.alive_faces())};
    };
    const auto parallel = run_all();
    std::atomic<bool> never{false};
    background::JobScope job(never);
    const auto sequential = run_all();

    std::vector<FaceId> expected_alive;
    for (FaceId f = 0; f < 200000; ++f) {
        if (f % 7 != 0) expected_alive.push_back(f);
    }
    EXPECT_EQ(parallel.alive, expected_alive);
    EXPECT_EQ(parallel.alive, sequential.alive);
    EXPECT_EQ(parallel.visible, sequential.visible);
    EXPECT_EQ(parallel.layer, sequential.layer);
    EXPECT_EQ(parallel.in_box, sequential.in_box);
    EXPECT_EQ(parallel.facing, sequential.facing);
    EXPECT_EQ(parallel.inverted, sequential.inverted);
    EXPECT_EQ(parallel.naked, sequential.naked);
    EXPECT_EQ(parallel.naked_count, parallel.naked.size());
    EXPECT_EQ(parallel.naked_count, sequential.naked_count);
    EXPECT_EQ(parallel.face_count, expected_alive.size());
    // Sums are joined in chunk order, so they agree to the bit.
    EXPECT_EQ(parallel.volume, sequential.volume);
    EXPECT_EQ(parallel.area, sequential.area);
    EXPECT_FALSE(parallel.in_box.empty());
    EXPECT_FALSE(parallel.facing.empty());
    EXPECT_LT(parallel.facing.size(), parallel.alive.size());
}

TEST(ParallelScan, CancelledBackgroundScanThrowsAndLeavesMeshUnchanged) {
    const Mesh m = big_mesh();
    const auto faces_before = bytes_of(m.faces());
    const auto edges_before = bytes_of(m.edges());
    const auto revision = m.revision();
    std::atomic<bool> cancel{true};
    {
        background::JobScope job(cancel);
        EXPECT_THROW(m.naked_edge_count(), background::Cancelled);
        EXPECT_THROW(m.alive_faces(), background::Cancelled);
        EXPECT_THROW(m.signed_volume(), background::Cancelled);
        EXPECT_THROW(m.vertex_faces(0), background::Cancelled);
    }
    EXPECT_EQ(bytes_of(m.faces()), faces_before);
    EXPECT_EQ(bytes_of(m.edges()), edges_before);
    EXPECT_EQ(m.revision(), revision);
    // Outside the job nothing is cancelled.
    EXPECT_EQ(m.naked_edge_count(), m.naked_edges().size());
}

}  // namespace
}  // namespace korvan
