#include "io/korv_mesh_writer.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "core/mesh.h"
#include "core/parallel_scan.h"
#include "io/korv_text.h"

// Vertex and face lines are most of a large file. Each line is built in a stack buffer and
// appended once; tables of more than two chunks are formatted chunk by chunk in parallel,
// each chunk into its own string, and the strings are joined in chunk order, so the bytes
// are those of one sequential pass.

namespace korvan::io::korv {
namespace {

constexpr std::size_t kLineBuffer = 4096;
// Typical bytes of a vertex line and of a face line, for reserving chunk buffers.
constexpr std::size_t kVertexLineBytes = 32;
constexpr std::size_t kFaceLineBytes = 40;
// Chunks formatted at once before their texts join the file.
constexpr std::size_t kBatchChunks = 16;

// Buffer for one line; flushes itself into `out` when a number might not fit.
class LineWriter {
  public:
    explicit LineWriter(std::string& out) : out_(out), p_(buf_) {}
    ~LineWriter() { flush(); }
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    void number(float v, int precision = kKorvPrecision) {
        room();
        p_ = write_general(p_, v, precision);
    }
    void uint(std::uint64_t v) {
        room();
        p_ = write_uint(p_, v);
    }
    void sint(std::int64_t v) {
        room();
        p_ = write_int(p_, v);
    }
    void flag(bool v) { ch(v ? '1' : '0'); }
    void ch(char c) {
        room();
        *p_++ = c;
    }
    void vec(const Vec3& v) {
        number(v.x);
        ch(' ');
        number(v.y);
        ch(' ');
        number(v.z);
    }
    void text(std::string_view s) {
        flush();
        append_text_field(out_, s);
    }
    void flush() {
        out_.append(buf_, p_);
        p_ = buf_;
    }

  private:
    void room() {
        if (p_ + kMaxNumberChars > buf_ + kLineBuffer) flush();
    }

    std::string& out_;
    char buf_[kLineBuffer];
    char* p_;
};

// Formats [0, count) through fn(text, begin, end), which appends the lines of its range to
// text and returns what it counted; returns the counts in range order. A table of more than
// two chunks is formatted in parallel, a batch of chunks at a time into reused buffers, so
// the text is built once more only a batch at a time.
template <class R, class Fn>
std::vector<R> append_chunked(std::string& out, std::size_t count, std::size_t line_bytes,
                              Fn&& fn) {
    if (count <= 2 * kScanChunkSize) return {fn(out, std::size_t{0}, count)};
    const std::size_t chunks = (count + kScanChunkSize - 1) / kScanChunkSize;
    std::vector<R> results;
    results.reserve(chunks);
    std::vector<std::string> parts(std::min(chunks, kBatchChunks));
    for (std::size_t first = 0; first < chunks; first += parts.size()) {
        const std::size_t n = std::min(parts.size(), chunks - first);
        const std::vector<R> batch = run_chunks<R>(n, true, [&](std::size_t i) {
            std::string& part = parts[i];
            part.clear();
            part.reserve(kScanChunkSize * line_bytes);
            const std::size_t begin = (first + i) * kScanChunkSize;
            return fn(part, begin, std::min(count, begin + kScanChunkSize));
        });
        for (std::size_t i = 0; i < n; ++i) {
            out += parts[i];
            results.push_back(batch[i]);
        }
    }
    return results;
}

// The face's corners as written: the ring half-edges, minus any whose origin repeats the
// previous corner's (a weld can leave such a pair, and the reader could not re-create the
// ring). False when the face is dead, its ring is broken or fewer than 3 corners remain.
bool file_corners(const Mesh& mesh, FaceId face, std::vector<HalfEdgeId>& corners) {
    corners.clear();
    if (!mesh.face_usable(face)) return false;
    const std::span<const HalfEdge> he = mesh.half_edges();
    const HalfEdgeId start = mesh.faces()[face].half_edge;
    std::size_t steps = 0;
    for (HalfEdgeId h = start; h < he.size();) {
        if (++steps > he.size()) return false;
        if (corners.empty() || he[corners.back()].origin != he[h].origin) corners.push_back(h);
        h = he[h].next;
        if (h == start) break;
    }
    while (corners.size() > 1 && he[corners.back()].origin == he[corners.front()].origin) {
        corners.pop_back();
    }
    return corners.size() >= 3;
}

struct FaceChunk {
    std::uint64_t written = 0;
    std::uint32_t max_layer = 0;
};

// Sorts 64-bit keys by 16-bit digits, least significant first, skipping digits all keys
// share. The edge-flag lists of a big model hold millions of pairs; short lists are not
// worth the digit tables.
void sort_keys(std::vector<std::uint64_t>& keys) {
    constexpr std::size_t kRadixThreshold = 1 << 16;
    if (keys.size() < kRadixThreshold) {
        std::sort(keys.begin(), keys.end());
        return;
    }
    std::vector<std::uint64_t> tmp(keys.size());
    for (int shift = 0; shift < 64; shift += 16) {
        std::vector<std::size_t> counts(65537, 0);
        for (const std::uint64_t k : keys) ++counts[((k >> shift) & 0xFFFF) + 1];
        if (std::any_of(counts.begin() + 1, counts.end(),
                        [&](std::size_t c) { return c == keys.size(); })) {
            continue;
        }
        for (std::size_t d = 1; d < counts.size(); ++d) counts[d] += counts[d - 1];
        for (const std::uint64_t k : keys) tmp[counts[(k >> shift) & 0xFFFF]++] = k;
        keys.swap(tmp);
    }
}

// "KEYWORD n" and the (a, b) pairs, a < b, of the alive edges that `has` picks, sorted by
// b then a, each once; edges whose ends are equal or unknown are skipped.
template <class Has>
void append_edge_pairs(std::string& out, const Mesh& mesh, std::string_view keyword, Has&& has) {
    const std::span<const Edge> edges = mesh.edges();
    std::vector<std::uint64_t> keys;
    for (EdgeId e = 0; e < edges.size(); ++e) {
        if (!edges[e].alive || !has(edges[e])) continue;
        const auto [v0, v1] = mesh.edge_vertices(e);
        if (v0 == v1 || v0 == kInvalidId || v1 == kInvalidId) continue;
        const std::uint64_t a = std::min(v0, v1), b = std::max(v0, v1);
        keys.push_back(b << 32 | a);
    }
    if (keys.empty()) return;
    sort_keys(keys);
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    out += keyword;
    out += ' ';
    append_uint(out, keys.size());
    out += '\n';
    LineWriter line(out);
    for (const std::uint64_t k : keys) {
        line.uint(k & 0xFFFFFFFFu);
        line.ch(' ');
        line.uint(k >> 32);
        line.ch('\n');
    }
}

void append_header(std::string& out, std::string_view keyword, std::uint64_t count) {
    out += keyword;
    out += ' ';
    append_uint(out, count);
    out += '\n';
}

}  // namespace

std::size_t mesh_block_estimate(const Mesh& mesh) {
    return 36 * mesh.vertices().size() + 28 * mesh.faces().size() + 8 * mesh.edges().size() + 64;
}

void append_mesh_block(std::string& out, const Mesh& mesh) {
    out += "MESH\n";

    const std::span<const Vertex> vertices = mesh.vertices();
    append_header(out, "VERTICES", vertices.size());
    append_chunked<int>(out, vertices.size(), kVertexLineBytes,
                        [&](std::string& text, std::size_t begin, std::size_t end) {
                            LineWriter line(text);
                            for (std::size_t v = begin; v < end; ++v) {
                                line.flag(vertices[v].alive);
                                line.ch(' ');
                                line.vec(vertices[v].position);
                                line.ch('\n');
                            }
                            return 0;
                        });

    // The face count heads its block but is known only once the faces are formatted, so the
    // header goes in afterwards; `written` then gives the new face numbers.
    const std::span<const Face> faces = mesh.faces();
    const std::span<const HalfEdge> he = mesh.half_edges();
    std::vector<std::uint8_t> written(faces.size(), 0);
    const std::size_t faces_at = out.size();
    const std::vector<FaceChunk> totals = append_chunked<FaceChunk>(
        out, faces.size(), kFaceLineBytes,
        [&](std::string& text, std::size_t begin, std::size_t end) {
            FaceChunk total;
            std::vector<HalfEdgeId> corners;
            LineWriter line(text);
            for (std::size_t f = begin; f < end; ++f) {
                if (!file_corners(mesh, static_cast<FaceId>(f), corners)) continue;
                written[f] = 1;
                ++total.written;
                const Face& face = faces[f];
                if (face.layer_id != kInvalidLayer) {
                    total.max_layer = std::max(total.max_layer, face.layer_id);
                }
                line.uint(corners.size());
                line.ch(' ');
                line.uint(face.material_id);
                line.ch(' ');
                line.uint(face.layer_id);
                line.ch(' ');
                line.flag(face.visible);
                for (const HalfEdgeId h : corners) {
                    line.ch(' ');
                    line.uint(he[h].origin);
                }
                line.ch('\n');
            }
            return total;
        });
    {
        std::uint64_t count = 0;
        for (const FaceChunk& t : totals) count += t.written;
        std::string header;
        append_header(header, "FACES", count);
        out.insert(faces_at, header);
    }
    std::vector<FaceId> new_id(faces.size(), kInvalidId);
    {
        FaceId next = 0;
        for (std::size_t f = 0; f < faces.size(); ++f) {
            if (written[f]) new_id[f] = next++;
        }
    }

    if (!mesh.guides().empty()) {
        append_header(out, "GUIDES", mesh.guides().size());
        LineWriter line(out);
        for (const Guide& g : mesh.guides()) {
            line.ch('1');
            line.ch(' ');
            line.vec(g.a);
            line.ch(' ');
            line.vec(g.b);
            line.ch(' ');
            line.flag(g.infinite);
            line.ch('\n');
        }
    }

    if (!mesh.curves().empty()) {
        append_header(out, "CURVES", mesh.curves().size());
        LineWriter line(out);
        for (const Curve& c : mesh.curves()) {
            line.flag(c.alive);
            line.ch(' ');
            line.flag(c.closed);
            line.ch(' ');
            line.uint(c.points.size());
            for (const Vec3& p : c.points) {
                line.ch(' ');
                line.vec(p);
            }
            if (c.kind == CurveKind::kArc) line.text(" arc");
            if (c.kind == CurveKind::kBoundary) line.text(" bound");
            line.ch('\n');
        }
    }

    const auto notes = std::count_if(mesh.notes().begin(), mesh.notes().end(),
                                     [](const Note& n) { return n.alive && !n.text.empty(); });
    if (notes > 0) {
        append_header(out, "NOTES", static_cast<std::uint64_t>(notes));
        LineWriter line(out);
        for (const Note& n : mesh.notes()) {
            if (!n.alive || n.text.empty()) continue;
            line.ch('1');
            line.ch(' ');
            line.flag(n.flag);
            line.ch(' ');
            line.number(n.number_a);
            line.ch(' ');
            line.number(n.number_b);
            line.ch(' ');
            line.vec(n.a);
            line.ch(' ');
            line.vec(n.b);
            line.ch('\t');
            line.text(n.text);
            line.ch('\n');
        }
    }

    if (!mesh.dimensions().empty()) {
        append_header(out, "DIMENSIONS", mesh.dimensions().size());
        LineWriter line(out);
        auto anchor = [&](const DimensionAnchor& a) {
            std::uint32_t id = a.id;
            if (a.kind == kDimensionAnchorFace) id = id < new_id.size() ? new_id[id] : kInvalidId;
            line.ch(' ');
            line.sint(a.kind);
            line.ch(' ');
            line.uint(id);
            line.ch(' ');
            line.number(a.param);
        };
        for (const Dimension& d : mesh.dimensions()) {
            line.vec(d.a);
            line.ch(' ');
            line.vec(d.b);
            line.ch(' ');
            line.number(d.value);
            if (d.has_associative_tail()) {
                line.ch(' ');
                line.sint(d.tail_int_a);
                for (const float t : d.tail_numbers_a) {
                    line.ch(' ');
                    line.number(t);
                }
                line.ch(' ');
                line.sint(d.tail_int_b);
                for (const float t : d.tail_numbers_b) {
                    line.ch(' ');
                    line.number(t);
                }
                anchor(d.anchor_a);
                anchor(d.anchor_b);
            }
            if (d.direction != Vec3{}) {
                line.ch(' ');
                line.vec(d.direction);
            }
            line.ch('\t');
            line.text(d.label);
            line.ch('\n');
        }
    }

    if (mesh.has_corner_uvs()) {
        std::string records;
        std::uint64_t count = 0;
        {
            LineWriter line(records);
            std::vector<HalfEdgeId> corners;
            for (std::size_t f = 0; f < faces.size(); ++f) {
                if (!written[f] || !mesh.face_has_uvs(static_cast<FaceId>(f))) continue;
                file_corners(mesh, static_cast<FaceId>(f), corners);
                ++count;
                line.uint(new_id[f]);
                line.ch(' ');
                line.uint(corners.size());
                for (const HalfEdgeId h : corners) {
                    const CornerUv uv = mesh.corner_uv(h);
                    line.ch(' ');
                    line.number(uv.u, kKorvUvPrecision);
                    line.ch(' ');
                    line.number(uv.v, kKorvUvPrecision);
                }
                line.ch('\n');
            }
        }
        if (count > 0) {
            append_header(out, "FACE_UV", count);
            out += records;
        }
    }

    {
        std::string records;
        std::uint64_t count = 0;
        {
            LineWriter line(records);
            for (std::size_t f = 0; f < faces.size(); ++f) {
                const Face& face = faces[f];
                if (!written[f] || (face.tag == -1 && face.extra_flag_1 && face.extra_flag_2)) {
                    continue;
                }
                ++count;
                line.uint(new_id[f]);
                line.ch(' ');
                line.sint(face.tag);
                line.ch(' ');
                line.flag(face.extra_flag_1);
                line.ch(' ');
                line.flag(face.extra_flag_2);
                line.ch('\n');
            }
        }
        if (count > 0) {
            append_header(out, "FACE_EXTRAS", count);
            out += records;
        }
    }

    append_edge_pairs(out, mesh, "SOFT_EDGES", [](const Edge& e) { return e.soft; });
    append_edge_pairs(out, mesh, "HIDDEN_EDGES", [](const Edge& e) { return !e.visible; });
    append_edge_pairs(out, mesh, "SEAM_EDGES", [](const Edge& e) { return e.seam; });

    // Layers 0 .. L, L being the highest layer the mesh knows of: its visibility list or a
    // written face.
    std::uint64_t top = mesh.layer_visibility().empty() ? 0 : mesh.layer_visibility().size() - 1;
    for (const FaceChunk& t : totals) top = std::max<std::uint64_t>(top, t.max_layer);
    append_header(out, "LAYER_VIS", top + 1);
    {
        LineWriter line(out);
        for (std::uint64_t layer = 0; layer <= top; ++layer) {
            line.uint(layer);
            line.ch(' ');
            line.flag(mesh.layer_visible(static_cast<std::uint32_t>(layer)));
            line.ch('\n');
        }
    }
    out += "ENDMESH\n";
}

}  // namespace korvan::io::korv
