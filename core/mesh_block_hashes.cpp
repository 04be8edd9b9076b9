#include "core/mesh_block_hashes.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "core/mesh.h"
#include "core/parallel_scan.h"

// Block hashes. Each record is serialised field by field at its in-memory offset with the
// padding zeroed, so the bytes hashed never depend on what the allocator left in the gaps.
// The hash runs four independent 64-bit multiply lanes over 32-byte stripes (fast enough to
// rehash a few hundred megabytes of tables per second per core), folds the tail bytes into
// lane 0 and mixes the lanes with the length.

namespace korvan {
namespace {

constexpr std::uint64_t kLane0Seed = 0x9e3779b97f4a7c15ull;
constexpr std::uint64_t kLane1Seed = 0xc2b2ae3d27d4eb4full;
constexpr std::uint64_t kLane2Seed = 0x165667b19e3779f9ull;
constexpr std::uint64_t kLane3Seed = 0x27d4eb2f165667c5ull;
constexpr std::uint64_t kMixA = 0xff51afd7ed558ccdull;
constexpr std::uint64_t kMixB = 0xc4ceb9fe1a85ec53ull;
constexpr std::uint64_t kTailPrime = 0x100000001b3ull;
constexpr std::size_t kStripeBytes = 32;

// Rehashing fewer blocks than this is not worth waking the thread pool.
constexpr std::size_t kParallelHashBlocks = 64;

constexpr std::uint32_t kStampBlocksPerHashBlock =
    MeshBlockHashes::kBlockSize / ElementTable<Vertex>::kBlockSize;
static_assert(kStampBlocksPerHashBlock * ElementTable<Vertex>::kBlockSize ==
              MeshBlockHashes::kBlockSize);

std::uint64_t load_le64(const std::byte* p) {
    std::uint64_t w;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&w, p, sizeof w);
    } else {
        w = 0;
        for (int i = 7; i >= 0; --i) w = (w << 8) | std::to_integer<std::uint64_t>(p[i]);
    }
    return w;
}

template <class Field>
void put(std::byte* out, std::size_t offset, const Field& field) {
    std::memcpy(out + offset, &field, sizeof field);
}

void put_flag(std::byte* out, std::size_t offset, bool flag) {
    out[offset] = flag ? std::byte{1} : std::byte{0};
}

// Each writer fills exactly its record's bytes; the buffer arrives zeroed, so the padding
// stays zero.
void serialise(const Vertex& r, std::byte* out) {
    put(out, offsetof(Vertex, position), r.position);
    put_flag(out, offsetof(Vertex, alive), r.alive);
}

void serialise(const HalfEdge& r, std::byte* out) {
    put(out, offsetof(HalfEdge, origin), r.origin);
    put(out, offsetof(HalfEdge, twin), r.twin);
    put(out, offsetof(HalfEdge, next), r.next);
    put(out, offsetof(HalfEdge, prev), r.prev);
    put(out, offsetof(HalfEdge, face), r.face);
    put(out, offsetof(HalfEdge, edge), r.edge);
    put_flag(out, offsetof(HalfEdge, alive), r.alive);
}

void serialise(const Edge& r, std::byte* out) {
    put(out, offsetof(Edge, half_edge), r.half_edge);
    put_flag(out, offsetof(Edge, soft), r.soft);
    put_flag(out, offsetof(Edge, visible), r.visible);
    put_flag(out, offsetof(Edge, alive), r.alive);
    put_flag(out, offsetof(Edge, seam), r.seam);
}

void serialise(const Face& r, std::byte* out) {
    put(out, offsetof(Face, half_edge), r.half_edge);
    put(out, offsetof(Face, normal), r.normal);
    put(out, offsetof(Face, material_id), r.material_id);
    put(out, offsetof(Face, layer_id), r.layer_id);
    put_flag(out, offsetof(Face, visible), r.visible);
    put_flag(out, offsetof(Face, alive), r.alive);
    put(out, offsetof(Face, tag), r.tag);
    put_flag(out, offsetof(Face, extra_flag_1), r.extra_flag_1);
    put_flag(out, offsetof(Face, extra_flag_2), r.extra_flag_2);
}

static_assert(sizeof(Vertex) == kVertexRecordBytes && sizeof(HalfEdge) == kHalfEdgeRecordBytes &&
              sizeof(Edge) == kEdgeRecordBytes && sizeof(Face) == kFaceRecordBytes);

template <class T>
std::uint64_t hash_serialised(std::span<const T> records) {
    std::vector<std::byte> bytes(records.size() * sizeof(T), std::byte{0});
    for (std::size_t i = 0; i < records.size(); ++i) serialise(records[i], &bytes[i * sizeof(T)]);
    return block_hash(bytes);
}

// Brings `hashes` up to date with the table: blocks holding a stamp at or after hashed_epoch,
// and blocks the previous list did not have, are rehashed; the others keep their hash.
template <class T>
void refresh_table(const ElementTable<T>& table, std::vector<std::uint64_t>& hashes,
                   bool from_scratch, std::uint32_t hashed_epoch) {
    const std::span<const T> records = table.view();
    const std::span<const std::uint32_t> stamps = table.block_stamps();
    const std::size_t size = records.size();
    const std::size_t blocks =
        (size + MeshBlockHashes::kBlockSize - 1) >> MeshBlockHashes::kBlockShift;
    const std::size_t kept = from_scratch ? 0 : std::min(hashes.size(), blocks);
    hashes.resize(blocks);

    std::vector<std::uint32_t> todo;
    for (std::size_t b = 0; b < blocks; ++b) {
        bool stamped = b >= kept;
        const std::size_t first = b * kStampBlocksPerHashBlock;
        const std::size_t last = std::min(first + kStampBlocksPerHashBlock, stamps.size());
        for (std::size_t s = first; s < last && !stamped; ++s) stamped = stamps[s] >= hashed_epoch;
        if (stamped) todo.push_back(static_cast<std::uint32_t>(b));
    }
    const std::vector<std::uint64_t> fresh = run_chunks<std::uint64_t>(
        todo.size(), todo.size() >= kParallelHashBlocks, [&](std::size_t i) {
            const std::size_t first = std::size_t{todo[i]} << MeshBlockHashes::kBlockShift;
            const std::size_t count =
                std::min<std::size_t>(MeshBlockHashes::kBlockSize, size - first);
            return hash_records(records.subspan(first, count));
        });
    for (std::size_t i = 0; i < todo.size(); ++i) hashes[todo[i]] = fresh[i];
}

}  // namespace

std::uint64_t block_hash(std::span<const std::byte> bytes) {
    std::uint64_t h0 = kLane0Seed, h1 = kLane1Seed, h2 = kLane2Seed, h3 = kLane3Seed;
    const std::size_t length = bytes.size();
    const std::byte* p = bytes.data();
    const std::size_t stripes = length / kStripeBytes;
    for (std::size_t s = 0; s < stripes; ++s, p += kStripeBytes) {
        h0 = (h0 ^ load_le64(p)) * kMixA;
        h1 = (h1 ^ load_le64(p + 8)) * kMixB;
        h2 = (h2 ^ load_le64(p + 16)) * kMixA;
        h3 = (h3 ^ load_le64(p + 24)) * kMixB;
    }
    for (const std::byte* end = bytes.data() + length; p < end; ++p) {
        h0 = (h0 ^ std::to_integer<std::uint64_t>(*p)) * kTailPrime;
    }
    std::uint64_t v =
        (std::uint64_t{length} * kLane0Seed) ^ (h3 * 1313u) ^ (h2 * 131u) ^ (h1 * 31u) ^ h0;
    v = (v ^ (v >> 33)) * kMixA;
    return v ^ (v >> 29);
}

std::uint64_t hash_records(std::span<const Vertex> records) { return hash_serialised(records); }
std::uint64_t hash_records(std::span<const HalfEdge> records) { return hash_serialised(records); }
std::uint64_t hash_records(std::span<const Edge> records) { return hash_serialised(records); }
std::uint64_t hash_records(std::span<const Face> records) { return hash_serialised(records); }

std::shared_ptr<const MeshBlockHashes> Mesh::block_hashes() {
    const bool cached = block_hashes_ != nullptr;
    const std::uint32_t since = hashed_epoch_;
    // A table needs a refresh when it was written since the last hashing (its latest stamp is
    // not older than that epoch) or an operation flagged it.
    auto stale = [&](const auto& table, std::uint32_t bit) {
        return !cached || (dirty_bits_ & bit) != 0 || table.latest_stamp() >= since;
    };
    const bool vertices_stale = stale(vertices_, kVertexTableBit);
    const bool half_edges_stale = stale(half_edges_, kHalfEdgeTableBit);
    const bool edges_stale = stale(edges_, kEdgeTableBit);
    const bool faces_stale = stale(faces_, kFaceTableBit);
    if (cached && block_hashes_->revision == revision_ && !vertices_stale && !half_edges_stale &&
        !edges_stale && !faces_stale) {
        return block_hashes_;
    }

    // Writes from here on carry the new epoch (or a later one), so the next refresh finds
    // exactly the blocks written after this one.
    const std::uint32_t epoch = advance_edit_epoch();
    auto next = cached ? std::make_shared<MeshBlockHashes>(*block_hashes_)
                       : std::make_shared<MeshBlockHashes>();
    if (vertices_stale) refresh_table(vertices_, next->vertices, !cached, since);
    if (half_edges_stale) refresh_table(half_edges_, next->half_edges, !cached, since);
    if (edges_stale) refresh_table(edges_, next->edges, !cached, since);
    if (faces_stale) refresh_table(faces_, next->faces, !cached, since);
    next->revision = revision_;

    // Committed only now: a cancelled refresh leaves the previous hashes in place.
    block_hashes_ = std::move(next);
    hashed_epoch_ = epoch;
    dirty_bits_ = 0;
    return block_hashes_;
}

}  // namespace korvan
