#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "core/change_tracking.h"
#include "core/mesh.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using testing_support::bytes_of;

struct MeshBytes {
    std::vector<std::byte> vertices, half_edges, edges, faces;
    explicit MeshBytes(const Mesh& m)
        : vertices(bytes_of(m.vertices())),
          half_edges(bytes_of(m.half_edges())),
          edges(bytes_of(m.edges())),
          faces(bytes_of(m.faces())) {}
    bool operator==(const MeshBytes&) const = default;
};

// A grid big enough to span several 64-element blocks in every table.
Mesh sample() { return testing_support::quad_grid(12, 10); }

TEST(ChangeTracking, WritesStampTheirBlockWithTheCurrentEpoch) {
    Mesh m = sample();
    const std::uint32_t epoch = advance_edit_epoch();
    const auto& table = m.vertex_table();
    ASSERT_GE(table.block_count(), 2u);
    EXPECT_LT(table.latest_stamp(), epoch);
    const std::vector<std::uint32_t> before(table.block_stamps().begin(),
                                            table.block_stamps().end());
    m.vertex_mut(70).position.z = 1.0f;  // block 1
    EXPECT_EQ(table.block_stamps()[1], epoch);
    EXPECT_EQ(table.block_stamps()[0], before[0]);
    EXPECT_EQ(table.latest_stamp(), epoch);
    // Reads stamp nothing.
    const std::uint32_t later = advance_edit_epoch();
    (void)m.alive_faces();
    (void)m.vertices()[70];
    EXPECT_LT(table.latest_stamp(), later);
    m.add_vertex({});
    EXPECT_EQ(table.block_stamps().back(), later);
}

TEST(ChangeTracking, StructuralEditsTakeNewRevisionsAndQueriesDoNot) {
    Mesh m = sample();
    m.clear_dirty_bits(kAllTableBits);
    const auto r0 = m.revision();
    (void)m.naked_edge_count();
    EXPECT_EQ(m.revision(), r0);
    EXPECT_EQ(m.dirty_bits(), 0u);
    m.add_vertex({});
    const auto r1 = m.revision();
    EXPECT_GT(r1, r0);
    EXPECT_EQ(m.dirty_bits(), kVertexTableBit);
    m.erase_face(3);
    EXPECT_GT(m.revision(), r1);
    EXPECT_EQ(m.dirty_bits(), kVertexTableBit | kHalfEdgeTableBit | kFaceTableBit);
    // The counter is process-wide: another mesh's edit moves past this one's revision.
    Mesh other;
    other.add_vertex({});
    EXPECT_GT(other.revision(), m.revision());
}

TEST(ChangeTracking, JournalRestoresEveryTableByteForByte) {
    Mesh m = sample();
    m.erase_face(5);  // a dead face before the journal, kept dead after
    const MeshBytes before(m);
    const auto revision = m.revision();
    MeshJournal journal;
    m.attach(journal);
    m.vertex_mut(3).position = {9, 9, 9};
    m.vertex_mut(3).position = {8, 8, 8};  // second write to the same block: saved once
    m.face_mut(100).material_id = 7;
    m.erase_face(0);
    m.erase_edge(200);
    const VertexId v = m.add_vertex({5, 5, 5});
    m.add_triangle(0, 1, v);
    for (int i = 0; i < 100; ++i) m.add_quad(0, 1, 2, v);  // forces reallocation
    EXPECT_NE(MeshBytes(m), before);
    EXPECT_EQ(journal.vertices.entries().size(), 2u);  // block 0 and the partial last block
    m.detach(journal);
    m.vertex_mut(4).position.x = -1.0f;  // after detaching: not recorded, not restored
    m.vertex_mut(4).position.x = 4.0f;

    m.restore(journal);
    EXPECT_EQ(MeshBytes(m), before);
    EXPECT_GT(m.revision(), revision);
    Mesh reference = sample();
    reference.erase_face(5);
    EXPECT_EQ(m.naked_edge_count(), reference.naked_edge_count());
    testing_support::expect_ring_invariants(m);
}

TEST(ChangeTracking, JournalSurvivesClearAndRegrowth) {
    ElementTable<Edge> table;
    for (std::uint32_t i = 0; i < 150; ++i) table.append(Edge{i, i % 2 == 0, true, true, false});
    const auto before = bytes_of(table.view());
    TableJournal<Edge> journal;
    table.attach(journal);
    table.clear();
    for (std::uint32_t i = 0; i < 10; ++i) table.append(Edge{99, true, false, false, true});
    table.detach(journal);
    table.restore(journal);
    EXPECT_EQ(bytes_of(table.view()), before);
    EXPECT_EQ(table.block_count(), 3u);
}

TEST(ChangeTracking, SnapshotKeepsTheOldViewThroughEditsAndReallocation) {
    auto mesh = std::make_unique<Mesh>(sample());
    const std::vector<Vertex> original(mesh->vertices().begin(), mesh->vertices().end());
    MeshSnapshot snap;
    mesh->attach(snap);
    mesh->vertex_mut(0).position = {7, 7, 7};
    EXPECT_EQ(snap.vertices.block_state(0), TableSnapshot<Vertex>::kCopied);
    EXPECT_EQ(snap.vertices.block_state(1), TableSnapshot<Vertex>::kUntouched);
    for (int i = 0; i < 1000; ++i) mesh->add_vertex({1, 2, 3});  // reallocates
    mesh->vertex_mut(100).alive = false;
    EXPECT_EQ(snap.vertices.size(), original.size());
    for (VertexId v = 0; v < original.size(); ++v) {
        EXPECT_EQ(snap.vertices.element(v).position, original[v].position) << v;
        EXPECT_TRUE(snap.vertices.element(v).alive);
    }
    const HalfEdge h5 = mesh->half_edges()[5];
    mesh.reset();  // the mesh goes first; the snapshot still answers
    EXPECT_EQ(snap.half_edges.element(5).next, h5.next);
    EXPECT_FALSE(snap.faces.attached());
}

TEST(ChangeTracking, SnapshotReaderOnAnotherThreadSeesNoEdits) {
    Mesh m = testing_support::quad_grid(40, 40);
    const std::vector<Vertex> original(m.vertices().begin(), m.vertices().end());
    MeshSnapshot all;
    m.attach(all);
    std::atomic<bool> done{false};
    std::atomic<std::uint64_t> mismatches{0};
    std::thread reader([&] {
        // Read everything twice: once racing the writer, once after.
        for (int pass = 0; pass < 2; ++pass) {
            for (VertexId v = 0; v < original.size(); ++v) {
                const Vertex seen = all.vertices.element(v);
                if (!(seen.position == original[v].position) || !seen.alive) ++mismatches;
            }
            while (pass == 0 && !done.load()) std::this_thread::yield();
        }
    });
    for (VertexId v = 0; v < original.size(); ++v) m.vertex_mut(v).position.z += 1.0f;
    for (int i = 0; i < 5000; ++i) m.add_vertex({});
    done = true;
    reader.join();
    m.detach(all);
    EXPECT_EQ(mismatches.load(), 0u);
    EXPECT_FALSE(all.vertices.attached());
}

TEST(ChangeTracking, CopiesCarryContentsButNotObservers) {
    Mesh m = sample();
    MeshJournal journal;
    m.attach(journal);
    Mesh copy = m;
    copy.vertex_mut(0).position.x = 42.0f;
    EXPECT_TRUE(journal.vertices.entries().empty());
    EXPECT_EQ(copy.vertex_table().block_count(), m.vertex_table().block_count());
    Mesh moved = std::move(copy);
    EXPECT_EQ(moved.vertices()[0].position.x, 42.0f);
    m.detach(journal);
}

}  // namespace
}  // namespace korvan
