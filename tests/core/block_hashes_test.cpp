#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "core/background.h"
#include "core/mesh.h"
#include "core/mesh_block_hashes.h"
#include "tests/core/mesh_builders.h"

namespace korvan {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Written from the description of the hash, word by word, without sharing code with it.
std::uint64_t reference_hash(const Bytes& b) {
    std::uint64_t h[4] = {0x9e3779b97f4a7c15ull, 0xc2b2ae3d27d4eb4full, 0x165667b19e3779f9ull,
                          0x27d4eb2f165667c5ull};
    const std::uint64_t mul[4] = {0xff51afd7ed558ccdull, 0xc4ceb9fe1a85ec53ull,
                                  0xff51afd7ed558ccdull, 0xc4ceb9fe1a85ec53ull};
    std::size_t i = 0;
    for (; i + 32 <= b.size(); i += 32) {
        for (int lane = 0; lane < 4; ++lane) {
            std::uint64_t w = 0;
            for (int k = 0; k < 8; ++k) w |= std::uint64_t{b[i + 8 * lane + k]} << (8 * k);
            h[lane] = (h[lane] ^ w) * mul[lane];
        }
    }
    for (; i < b.size(); ++i) h[0] = (h[0] ^ b[i]) * 0x100000001b3ull;
    std::uint64_t v =
        (b.size() * 0x9e3779b97f4a7c15ull) ^ (h[3] * 1313) ^ (h[2] * 131) ^ (h[1] * 31) ^ h[0];
    v = (v ^ (v >> 33)) * 0xff51afd7ed558ccdull;
    return v ^ (v >> 29);
}

std::uint64_t hash_of(const Bytes& b) {
    return block_hash(std::as_bytes(std::span<const std::uint8_t>(b)));
}

void put_u32(Bytes& out, std::uint32_t x) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(x >> (8 * k)));
}
void put_f32(Bytes& out, float x) { put_u32(out, std::bit_cast<std::uint32_t>(x)); }
void put_vec(Bytes& out, const Vec3& v) {
    put_f32(out, v.x);
    put_f32(out, v.y);
    put_f32(out, v.z);
}
void put_flags(Bytes& out, std::initializer_list<bool> flags, int padding) {
    for (const bool f : flags) out.push_back(f ? 1 : 0);
    for (int k = 0; k < padding; ++k) out.push_back(0);
}

// The record layouts written out field by field.
void put(Bytes& out, const Vertex& r) {
    put_vec(out, r.position);
    put_flags(out, {r.alive}, 3);
}
void put(Bytes& out, const HalfEdge& r) {
    for (const std::uint32_t x : {r.origin, r.twin, r.next, r.prev, r.face, r.edge}) {
        put_u32(out, x);
    }
    put_flags(out, {r.alive}, 3);
}
void put(Bytes& out, const Edge& r) {
    put_u32(out, r.half_edge);
    put_flags(out, {r.soft, r.visible, r.alive, r.seam}, 0);
}
void put(Bytes& out, const Face& r) {
    put_u32(out, r.half_edge);
    put_vec(out, r.normal);
    put_u32(out, r.material_id);
    put_u32(out, r.layer_id);
    put_flags(out, {r.visible, r.alive}, 2);
    put_u32(out, static_cast<std::uint32_t>(r.tag));
    put_flags(out, {r.extra_flag_1, r.extra_flag_2}, 2);
}

template <class T>
std::vector<std::uint64_t> expected_hashes(std::span<const T> table) {
    std::vector<std::uint64_t> out;
    for (std::size_t first = 0; first < table.size(); first += 1024) {
        Bytes bytes;
        for (std::size_t i = first; i < std::min(table.size(), first + 1024); ++i) {
            put(bytes, table[i]);
        }
        out.push_back(reference_hash(bytes));
    }
    return out;
}

void expect_current(const Mesh& m, const MeshBlockHashes& h) {
    EXPECT_EQ(h.vertices, expected_hashes(m.vertices()));
    EXPECT_EQ(h.half_edges, expected_hashes(m.half_edges()));
    EXPECT_EQ(h.edges, expected_hashes(m.edges()));
    EXPECT_EQ(h.faces, expected_hashes(m.faces()));
}

TEST(BlockHashes, MatchesAStraightforwardHashOfKnownBytes) {
    std::mt19937 rng(7);
    Bytes random(1000);
    for (auto& b : random) b = static_cast<std::uint8_t>(rng());
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty", {}},
        {"one byte", {0x5a}},
        {"a stripe short by one", Bytes(random.begin(), random.begin() + 31)},
        {"one stripe", Bytes(random.begin(), random.begin() + 32)},
        {"one stripe and a byte", Bytes(random.begin(), random.begin() + 33)},
        {"high bytes", Bytes(71, 0xff)},
        {"a thousand bytes", random},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(hash_of(bytes), reference_hash(bytes));
    }
    // Only the length tells runs of zeros apart.
    EXPECT_NE(hash_of(Bytes(32, 0)), hash_of(Bytes(64, 0)));
    Bytes flipped = random;
    flipped[500] ^= 1;
    EXPECT_NE(hash_of(flipped), hash_of(random));
}

TEST(BlockHashes, HashEveryRecordFieldOfEveryBlock) {
    // 1271 vertices, 1200 faces, 9600 half-edges: every table spans a short last block.
    Mesh m = testing_support::quad_grid(40, 30);
    m.face_mut(3).material_id = 7;
    m.face_mut(4).layer_id = kInvalidLayer;
    m.face_mut(5).tag = 12;
    m.face_mut(6).extra_flag_2 = false;
    m.face_mut(7).visible = false;
    m.erase_face(1100);
    m.edge_mut(9).soft = true;
    m.edge_mut(10).seam = true;
    m.edge_mut(1030).visible = false;
    m.vertex_mut(1270).alive = false;
    const auto h = m.block_hashes();
    ASSERT_EQ(h->vertices.size(), 2u);
    ASSERT_EQ(h->faces.size(), 2u);
    expect_current(m, *h);
    EXPECT_EQ(h->revision, m.revision());
}

TEST(BlockHashes, SameObjectUntilSomethingChanges) {
    struct Case {
        const char* name;
        std::function<void(Mesh&)> edit;
        bool new_object;
    };
    const std::vector<Case> cases = {
        {"nothing", [](Mesh&) {}, false},
        {"queries", [](Mesh& m) { (void)m.naked_edge_count(), (void)m.spatial_index(); }, false},
        {"vertex moved in place", [](Mesh& m) { m.vertex_mut(1100).position.z = 2.0f; }, true},
        {"same value written", [](Mesh& m) { m.vertex_mut(5).position = m.vertices()[5].position; },
         true},
        {"layer hidden", [](Mesh& m) { m.set_layer_visible(3, false); }, true},
        {"vertex added",
         [](Mesh& m) {
             m.add_vertex({1, 2, 3});
         },
         true},
        {"face erased", [](Mesh& m) { m.erase_face(2); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Mesh m = testing_support::quad_grid(40, 30);
        const auto before = m.block_hashes();
        c.edit(m);
        const auto after = m.block_hashes();
        EXPECT_EQ(after != before, c.new_object);
        expect_current(m, *after);
        EXPECT_EQ(after, m.block_hashes());
    }
}

TEST(BlockHashes, RefreshRehashesOnlyStampedBlocks) {
    Mesh m = testing_support::quad_grid(40, 30);
    const auto before = m.block_hashes();
    // Bypass the stamps in vertex block 0, then stamp a write in block 1: only block 1 may
    // be read again, so block 0 keeps its old hash even though its bytes changed.
    const_cast<Vertex&>(m.vertices()[3]).position.z = 5.0f;
    m.vertex_mut(1030).position.z = 5.0f;
    const auto after = m.block_hashes();
    const auto now = expected_hashes(m.vertices());
    EXPECT_EQ(after->vertices[0], before->vertices[0]);
    EXPECT_NE(after->vertices[0], now[0]);
    EXPECT_EQ(after->vertices[1], now[1]);
    EXPECT_NE(after->vertices[1], before->vertices[1]);
    EXPECT_EQ(after->faces, before->faces);
    EXPECT_EQ(after->half_edges, before->half_edges);
}

TEST(BlockHashes, ManyBlocksAndCancelledBackgroundRefresh) {
    // 70 vertex blocks: enough to go parallel.
    Mesh m;
    for (int i = 0; i < 70 * 1024 + 5; ++i) m.add_vertex({float(i), float(i % 7), 0.0f});
    const auto first = m.block_hashes();
    expect_current(m, *first);

    for (VertexId v = 0; v < m.vertices().size(); v += 1024) m.vertex_mut(v).position.y = -1.0f;
    std::atomic<bool> cancel{true};
    {
        background::JobScope job(cancel);
        EXPECT_THROW(m.block_hashes(), background::Cancelled);
    }
    // The cancelled refresh committed nothing, so every edited block is still found.
    const auto second = m.block_hashes();
    EXPECT_NE(second, first);
    expect_current(m, *second);

    m.vertex_mut(2000).position.y = -2.0f;
    cancel = false;
    background::JobScope job(cancel);
    const auto third = m.block_hashes();
    expect_current(m, *third);
}

TEST(BlockHashes, CopiesKeepTheirOwnHashes) {
    Mesh m = testing_support::quad_grid(40, 30);
    const auto original = m.block_hashes();
    Mesh copy = m;
    EXPECT_EQ(copy.block_hashes(), original);
    copy.vertex_mut(0).position.z = 1.0f;
    expect_current(copy, *copy.block_hashes());
    EXPECT_EQ(m.block_hashes(), original);
    expect_current(m, *original);
}

}  // namespace
}  // namespace korvan
