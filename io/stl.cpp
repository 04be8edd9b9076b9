#include "io/stl.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "core/mesh.h"
#include "io/mesh_import.h"
#include "io/mesh_text.h"
#include "platform/atomic_file.h"

namespace korvan::io {
namespace {

constexpr std::size_t kHeaderBytes = 80;
constexpr std::size_t kRecordBytes = 50;
constexpr char kHeaderText[] = "Korvan STL export";

void put_u32(char* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((v >> (8 * i)) & 0xFFu);
}

std::uint32_t get_u32(const char* in) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t{static_cast<unsigned char>(in[i])} << (8 * i);
    return v;
}

void put_vec(char* out, const Vec3& v) {
    put_u32(out, std::bit_cast<std::uint32_t>(v.x));
    put_u32(out + 4, std::bit_cast<std::uint32_t>(v.y));
    put_u32(out + 8, std::bit_cast<std::uint32_t>(v.z));
}

Vec3 get_vec(const char* in) {
    return {std::bit_cast<float>(get_u32(in)), std::bit_cast<float>(get_u32(in + 4)),
            std::bit_cast<float>(get_u32(in + 8))};
}

bool finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Corners that repeat a position bit for bit share one vertex from the start: STL repeats
// every corner once per facet round it (six times in a typical mesh), and the weld then
// meets each position once instead. Positions that differ at all stay apart for the weld
// to judge against its tolerance. Open addressing over the three coordinates' bits.
class SharedCorners {
  public:
    SharedCorners(Mesh& mesh, std::size_t facets) : mesh_(mesh) {
        std::size_t capacity = 1024;
        while (capacity < facets) capacity *= 2;  // about twice the vertices of a closed mesh
        slots_.assign(capacity, Slot{});
    }

    // The vertex at p, added on first sight.
    VertexId vertex(const Vec3& p) {
        const Slot key{std::bit_cast<std::uint32_t>(p.x), std::bit_cast<std::uint32_t>(p.y),
                       std::bit_cast<std::uint32_t>(p.z), kInvalidId};
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash(key) & mask;; i = (i + 1) & mask) {
            Slot& s = slots_[i];
            if (s.vertex == kInvalidId) {
                const VertexId v = mesh_.add_vertex(p);
                s = key;
                s.vertex = v;
                if (++used_ * 2 > slots_.size()) grow();
                return v;
            }
            if (s.x == key.x && s.y == key.y && s.z == key.z) return s.vertex;
        }
    }

  private:
    struct Slot {
        std::uint32_t x = 0, y = 0, z = 0;
        VertexId vertex = kInvalidId;
    };

    static std::size_t hash(const Slot& k) {
        std::uint64_t h = (std::uint64_t{k.x} | std::uint64_t{k.y} << 32) * 0x9E3779B97F4A7C15ull;
        h ^= std::uint64_t{k.z} * 0xC2B2AE3D27D4EB4Full;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }

    void grow() {
        std::vector<Slot> old(slots_.size() * 2, Slot{});
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (s.vertex == kInvalidId) continue;
            std::size_t i = hash(s) & mask;
            while (slots_[i].vertex != kInvalidId) i = (i + 1) & mask;
            slots_[i] = s;
        }
    }

    Mesh& mesh_;
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

// Adds a facet over shared corners; a facet that repeats a corner has no area and is
// dropped. False for a coordinate that is not a finite number, which no weld could place.
bool add_facet(Mesh& mesh, SharedCorners& corners, const Vec3& a, const Vec3& b, const Vec3& c) {
    if (!finite(a) || !finite(b) || !finite(c)) return false;
    const VertexId va = corners.vertex(a);
    const VertexId vb = corners.vertex(b);
    const VertexId vc = corners.vertex(c);
    mesh.add_triangle(va, vb, vc);
    return true;
}

bool read_binary(std::string_view bytes, Mesh& mesh) {
    const std::uint32_t count = get_u32(bytes.data() + kHeaderBytes);
    mesh.reserve(std::size_t{count} / 2 + 16, std::size_t{count} * 6, std::size_t{count} * 3,
                 count);
    SharedCorners corners(mesh, count);
    const char* record = bytes.data() + kHeaderBytes + 4;
    for (std::uint32_t i = 0; i < count; ++i, record += kRecordBytes) {
        // The stored normal is ignored: the winding says which way the facet faces, and
        // exporters that disagree with their own winding are common.
        if (!add_facet(mesh, corners, get_vec(record + 12), get_vec(record + 24),
                       get_vec(record + 36))) {
            return detail::fail_import("a triangle has a coordinate that is not a finite number");
        }
    }
    return true;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool starts_with(const char* p, const char* end, std::string_view word) {
    return static_cast<std::size_t>(end - p) >= word.size() &&
           std::memcmp(p, word.data(), word.size()) == 0;
}

bool read_ascii(std::string_view text, Mesh& mesh) {
    const char* p = text.data();
    const char* const end = p + text.size();
    SharedCorners shared(mesh, text.size() / 256);
    std::array<Vec3, 3> corners;
    int corner_count = 0;
    bool open = false;
    std::uint64_t line = 0;
    while (p < end) {
        ++line;
        const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (eol == nullptr) eol = end;
        while (p < eol && is_space(*p)) ++p;
        if (starts_with(p, eol, "facet")) {
            open = true;
            corner_count = 0;
        } else if (starts_with(p, eol, "vertex")) {
            const char* q = p + 6;
            Vec3 v;
            float* xyz[3] = {&v.x, &v.y, &v.z};
            bool ok = true;
            for (float* c : xyz) {
                while (q < eol && is_space(*q)) ++q;
                if (q < eol && *q == '+') ++q;
                const auto r = std::from_chars(q, eol, *c);
                ok = ok && r.ec == std::errc{};
                q = r.ptr;
            }
            // A facet with a corner that did not parse has a wrong corner count and is dropped.
            if (ok && corner_count < 3) corners[corner_count] = v;
            corner_count += 1 + (ok ? 0 : 3);
        } else if (starts_with(p, eol, "endfacet")) {
            if (open && corner_count == 3 && !add_facet(mesh, shared, corners[0], corners[1], corners[2])) {
                return detail::fail_import("a facet has a coordinate that is not a finite number" +
                                           detail::at_line(line));
            }
            open = false;
        }
        p = eol + 1;
    }
    return true;
}

}  // namespace

std::string format_stl(const Mesh& mesh) {
    const std::span<const Face> fs = mesh.faces();
    const std::span<const Vertex> vs = mesh.vertices();
    std::vector<Vec3> ring;
    std::string body;
    std::uint32_t count = 0;
    char record[kRecordBytes] = {};
    auto corner = [&](VertexId v) { return v < vs.size() ? vs[v].position : Vec3{}; };
    for (FaceId f = 0; f < fs.size(); ++f) {
        if (!fs[f].alive) continue;
        ring.clear();
        detail::for_each_ring_half_edge(mesh, f, [&](HalfEdgeId h) {
            ring.push_back(corner(mesh.half_edges()[h].origin));
        });
        for (const IndexTriangle& t : detail::triangulate_ring(ring)) {
            const Vec3 a = ring[t[0]], b = ring[t[1]], c = ring[t[2]];
            Vec3 n = cross(b - a, c - a);
            const float len = length(n);
            n = len < 1e-12f ? Vec3{} : normalize(n);
            put_vec(record, n);
            put_vec(record + 12, a);
            put_vec(record + 24, b);
            put_vec(record + 36, c);
            body.append(record, kRecordBytes);
            ++count;
        }
    }
    std::string out(kHeaderBytes + 4, '\0');
    std::memcpy(out.data(), kHeaderText, sizeof kHeaderText - 1);
    put_u32(out.data() + kHeaderBytes, count);
    out += body;
    return out;
}

bool export_stl(const std::filesystem::path& path, const Mesh& mesh) {
    return platform::write_file_atomic(path, format_stl(mesh));
}

bool parse_stl(std::string_view bytes, Mesh& mesh) {
    detail::clear_import_error();
    mesh = Mesh();
    const bool binary =
        bytes.size() >= kHeaderBytes + 4 &&
        (bytes.size() - kHeaderBytes - 4) % kRecordBytes == 0 &&
        (bytes.size() - kHeaderBytes - 4) / kRecordBytes == get_u32(bytes.data() + kHeaderBytes);
    if (!(binary ? read_binary(bytes, mesh) : read_ascii(bytes, mesh))) return false;
    if (!binary && mesh.alive_face_count() == 0) {
        const char* p = bytes.data();
        while (p < bytes.data() + bytes.size() && is_space(*p)) ++p;
        return detail::fail_import(starts_with(p, bytes.data() + bytes.size(), "solid")
                                       ? "it holds no complete facet"
                                       : "it is neither binary STL (its size does not match "
                                         "its triangle count) nor ASCII STL");
    }
    return detail::weld_link_and_check(mesh);
}

bool import_stl(const std::filesystem::path& path, Mesh& mesh) {
    detail::clear_import_error();
    mesh = Mesh();
    std::string bytes;
    if (!detail::read_whole_file(path, bytes)) return false;
    return parse_stl(bytes, mesh);
}

}  // namespace korvan::io
