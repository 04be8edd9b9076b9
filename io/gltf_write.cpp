#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>
#include <vector>

#include "core/mesh.h"
#include "core/polygon_2d.h"
#include "document/material_library.h"
#include "io/gltf.h"
#include "io/json.h"
#include "platform/atomic_file.h"

// The exporter gathers the mesh into one indexed triangle list: corners share an output
// vertex only when position and UV are bitwise equal, triangles are grouped by material in
// order of first appearance, and the buffer holds all positions, then all indices (group
// after group), then all UVs. The JSON is written by hand in a fixed layout so that two
// exports of the same model are byte for byte the same.

namespace korvan::io {
namespace {

constexpr std::uint32_t kArrayBufferTarget = 34962;
constexpr std::uint32_t kElementArrayTarget = 34963;
constexpr float kOpaqueAlpha = 0.999f;

struct Group {
    std::uint32_t material = 0;
    std::vector<std::uint32_t> indices;
};

struct TriangleList {
    std::vector<float> positions;  // Y up
    std::vector<float> uvs;        // only when the mesh stores corner UVs
    std::vector<Group> groups;
    std::uint64_t index_count = 0;
    std::array<float, 3> min{}, max{};
};

// Open-addressing table from the exact bits of (x, y, z, u, v) to the output vertex.
class VertexTable {
  public:
    std::uint32_t find_or_add(const std::array<std::uint32_t, 5>& key, TriangleList& out,
                              bool with_uv) {
        if ((count_ + 1) * 2 > slots_.size()) grow();
        std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash(key) & mask;; i = (i + 1) & mask) {
            const std::uint32_t slot = slots_[i];
            if (slot == kEmpty) {
                slots_[i] = static_cast<std::uint32_t>(keys_.size());
                keys_.push_back(key);
                ++count_;
                for (int k = 0; k < 3; ++k) out.positions.push_back(std::bit_cast<float>(key[k]));
                if (with_uv) {
                    out.uvs.push_back(std::bit_cast<float>(key[3]));
                    out.uvs.push_back(std::bit_cast<float>(key[4]));
                }
                return slots_[i];
            }
            if (keys_[slot] == key) return slot;
        }
    }

  private:
    static constexpr std::uint32_t kEmpty = std::numeric_limits<std::uint32_t>::max();

    static std::size_t hash(const std::array<std::uint32_t, 5>& key) {
        std::uint64_t h = 1469598103934665603ull;
        for (std::uint32_t k : key) h = (h ^ k) * 1099511628211ull;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
    void grow() {
        std::vector<std::uint32_t> next(std::max<std::size_t>(64, slots_.size() * 2), kEmpty);
        const std::size_t mask = next.size() - 1;
        for (std::uint32_t v = 0; v < keys_.size(); ++v) {
            std::size_t i = hash(keys_[v]) & mask;
            while (next[i] != kEmpty) i = (i + 1) & mask;
            next[i] = v;
        }
        slots_ = std::move(next);
    }

    std::vector<std::uint32_t> slots_;
    std::vector<std::array<std::uint32_t, 5>> keys_;
    std::size_t count_ = 0;
};

TriangleList gather_triangles(const Mesh& mesh) {
    TriangleList out;
    const bool with_uv = mesh.has_corner_uvs();
    const auto faces = mesh.faces();
    const auto half_edges = mesh.half_edges();
    const auto vertices = mesh.vertices();
    VertexTable table;
    std::vector<HalfEdgeId> ring;
    std::vector<Vec3> points;
    std::vector<std::uint32_t> corners;
    std::vector<IndexTriangle> triangles;

    for (FaceId f = 0; f < faces.size(); ++f) {
        if (!faces[f].alive) continue;
        ring.clear();
        points.clear();
        // A ring that does not close within the half-edge count is corrupt; it is skipped.
        HalfEdgeId h = faces[f].half_edge;
        bool broken = false;
        while (true) {
            if (h >= half_edges.size() || half_edges[h].origin >= vertices.size() ||
                ring.size() > half_edges.size()) {
                broken = true;
                break;
            }
            ring.push_back(h);
            points.push_back(vertices[half_edges[h].origin].position);
            h = half_edges[h].next;
            if (h == faces[f].half_edge) break;
        }
        if (broken || ring.size() < 3) continue;

        const bool face_uv = with_uv && mesh.face_has_uvs(f);
        corners.clear();
        for (HalfEdgeId r : ring) {
            const Vec3& p = vertices[half_edges[r].origin].position;
            // Y up: (x, y, z) -> (x, z, -y), a rotation, so handedness and winding stay.
            // 0 - y rather than -y keeps a zero positive.
            std::array<std::uint32_t, 5> key{std::bit_cast<std::uint32_t>(p.x),
                                             std::bit_cast<std::uint32_t>(p.z),
                                             std::bit_cast<std::uint32_t>(0.0f - p.y), 0u, 0u};
            if (face_uv) {
                const CornerUv uv = mesh.corner_uv(r);
                key[3] = std::bit_cast<std::uint32_t>(uv.u);
                key[4] = std::bit_cast<std::uint32_t>(uv.v);
            } else if (with_uv) {
                key[3] = key[4] = std::bit_cast<std::uint32_t>(0.0f);
            }
            corners.push_back(table.find_or_add(key, out, with_uv));
        }

        triangles.clear();
        if (ring.size() == 3) {
            triangles.push_back({0, 1, 2});
        } else {
            triangles = triangulate_polygon_2d(points);
            if (triangles.empty()) {
                for (std::uint32_t i = 1; i + 1 < ring.size(); ++i)
                    triangles.push_back({0, i, i + 1});
            }
        }

        const std::uint32_t material = faces[f].material_id;
        auto group = std::find_if(out.groups.begin(), out.groups.end(),
                                  [&](const Group& g) { return g.material == material; });
        if (group == out.groups.end()) {
            out.groups.push_back(Group{material, {}});
            group = out.groups.end() - 1;
        }
        for (const IndexTriangle& t : triangles) {
            for (std::uint32_t corner : t) group->indices.push_back(corners[corner]);
        }
        out.index_count += 3 * triangles.size();
    }

    const std::size_t vertex_count = out.positions.size() / 3;
    for (int axis = 0; axis < 3; ++axis) {
        out.min[axis] = vertex_count ? std::numeric_limits<float>::infinity() : 0.0f;
        out.max[axis] = vertex_count ? -std::numeric_limits<float>::infinity() : 0.0f;
    }
    for (std::size_t v = 0; v < vertex_count; ++v) {
        for (int axis = 0; axis < 3; ++axis) {
            const float c = out.positions[3 * v + axis];
            out.min[axis] = std::min(out.min[axis], c);
            out.max[axis] = std::max(out.max[axis], c);
        }
    }
    return out;
}

void append_uint(std::string& out, std::uint64_t value) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

// Six significant digits, as a text stream prints by default.
void append_number(std::string& out, float value) {
    char buf[32];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6).ptr);
}

// The shortest text that reads back as exactly this float (at most 9 significant digits), so
// the accessor bounds equal the values in the buffer.
void append_exact(std::string& out, float value) {
    char buf[32];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

void append_vec3_exact(std::string& out, const std::array<float, 3>& v) {
    for (int i = 0; i < 3; ++i) {
        if (i) out += ',';
        append_exact(out, v[i]);
    }
}

float unit_clamp(float v) { return std::clamp(v, 0.0f, 1.0f); }

void append_material(std::string& out, std::uint32_t material, const MaterialLibrary& materials) {
    std::string name = "material ";
    append_uint(name, material);
    std::array<float, 4> colour{0.8f, 0.8f, 0.8f, 1.0f};
    float metallic = 0.0f, roughness = 0.6f;
    if (const Material* m = materials.get(material)) {
        name = m->name.empty() ? m->id : m->name;
        // Factors outside 0..1 are invalid glTF; the library keeps its own values in range
        // anyway, so clamping only guards hand-edited files.
        colour = {unit_clamp(m->albedo.r), unit_clamp(m->albedo.g), unit_clamp(m->albedo.b),
                  unit_clamp(m->opacity)};
        metallic = unit_clamp(m->metallic);
        roughness = unit_clamp(m->roughness);
    }
    out += "{\"name\": ";
    append_json_quoted(out, name);
    out += ", \"doubleSided\": true, \"pbrMetallicRoughness\": {\"baseColorFactor\": [";
    for (int i = 0; i < 4; ++i) {
        if (i) out += ", ";
        append_number(out, colour[i]);
    }
    out += "], \"metallicFactor\": ";
    append_number(out, metallic);
    out += ", \"roughnessFactor\": ";
    append_number(out, roughness);
    out += '}';
    if (colour[3] < kOpaqueAlpha) out += ", \"alphaMode\": \"BLEND\"";
    out += '}';
}

std::string gltf_json(const TriangleList& list, const MaterialLibrary& materials,
                      std::string_view bin_name) {
    const std::uint64_t vertex_count = list.positions.size() / 3;
    const std::uint64_t position_bytes = 4 * list.positions.size();
    const std::uint64_t index_bytes = 4 * list.index_count;
    const std::uint64_t uv_bytes = 4 * list.uvs.size();
    const bool with_uv = !list.uvs.empty();
    const bool grouped = !list.groups.empty();
    const std::size_t index_accessors = std::max<std::size_t>(1, list.groups.size());

    std::string out;
    out += "{\n";
    out += "  \"asset\": {\"version\": \"2.0\", \"generator\": \"Korvan\"},\n";
    out += "  \"buffers\": [{\"byteLength\": ";
    append_uint(out, position_bytes + index_bytes + uv_bytes);
    if (!bin_name.empty()) {
        out += ", \"uri\": ";
        append_json_quoted(out, bin_name);
    }
    out += "}],\n";

    out += "  \"bufferViews\": [{\"buffer\": 0, \"byteOffset\": 0, \"byteLength\": ";
    append_uint(out, position_bytes);
    out += ", \"target\": ";
    append_uint(out, kArrayBufferTarget);
    out += "},\n                   {\"buffer\": 0, \"byteOffset\": ";
    append_uint(out, position_bytes);
    out += ", \"byteLength\": ";
    append_uint(out, index_bytes);
    out += ", \"target\": ";
    append_uint(out, kElementArrayTarget);
    out += '}';
    if (with_uv) {
        out += ",\n                   {\"buffer\": 0, \"byteOffset\": ";
        append_uint(out, position_bytes + index_bytes);
        out += ", \"byteLength\": ";
        append_uint(out, uv_bytes);
        out += ", \"target\": ";
        append_uint(out, kArrayBufferTarget);
        out += '}';
    }
    out += "],\n";

    out += "  \"accessors\": [{\"bufferView\": 0, \"componentType\": 5126, \"count\": ";
    append_uint(out, vertex_count);
    out += ", \"type\": \"VEC3\", \"max\": [";
    append_vec3_exact(out, list.max);
    out += "], \"min\": [";
    append_vec3_exact(out, list.min);
    out += "]},\n";
    std::uint64_t first_index = 0;
    for (std::size_t k = 0; k < index_accessors; ++k) {
        const std::uint64_t count = grouped ? list.groups[k].indices.size() : 0;
        if (k == 0) {
            out += "                 {\"bufferView\": 1, \"componentType\": 5125, \"count\": ";
        } else {
            out += ",\n                 {\"bufferView\": 1, \"byteOffset\": ";
            append_uint(out, 4 * first_index);
            out += ", \"componentType\": 5125, \"count\": ";
        }
        append_uint(out, count);
        out += ", \"type\": \"SCALAR\"}";
        first_index += count;
    }
    if (with_uv) {
        out += ",\n                 {\"bufferView\": 2, \"componentType\": 5126, \"count\": ";
        append_uint(out, list.uvs.size() / 2);
        out += ", \"type\": \"VEC2\"}";
    }
    out += "],\n";

    if (!grouped) {
        out += "  \"meshes\": [{\"primitives\": [{\"attributes\": {\"POSITION\": 0";
        if (with_uv) out += ", \"TEXCOORD_0\": 2";
        out += "}, \"indices\": 1, \"mode\": 4}]}],\n";
    } else {
        out += "  \"meshes\": [{\"primitives\": [";
        for (std::size_t k = 0; k < list.groups.size(); ++k) {
            if (k) out += ",\n                               ";
            out += "{\"attributes\": {\"POSITION\": 0";
            if (with_uv) {
                out += ", \"TEXCOORD_0\": ";
                append_uint(out, index_accessors + 1);
            }
            out += "}, \"indices\": ";
            append_uint(out, k + 1);
            out += ", \"material\": ";
            append_uint(out, k);
            out += ", \"mode\": 4}";
        }
        out += "]}],\n";
        out += "  \"materials\": [";
        for (std::size_t k = 0; k < list.groups.size(); ++k) {
            if (k) out += ",\n                ";
            append_material(out, list.groups[k].material, materials);
        }
        out += "],\n";
    }
    out += "  \"nodes\": [{\"mesh\": 0}],\n";
    out += "  \"scenes\": [{\"nodes\": [0]}],\n";
    out += "  \"scene\": 0\n";
    out += "}\n";
    return out;
}

template <class T>
void append_le(std::string& out, const std::vector<T>& values) {
    static_assert(sizeof(T) == 4);
    const std::size_t at = out.size();
    out.resize(at + 4 * values.size());
    if constexpr (std::endian::native == std::endian::little) {
        if (!values.empty()) std::memcpy(out.data() + at, values.data(), 4 * values.size());
    } else {
        for (std::size_t i = 0; i < values.size(); ++i) {
            const auto word = std::bit_cast<std::uint32_t>(values[i]);
            for (int b = 0; b < 4; ++b) out[at + 4 * i + b] = static_cast<char>(word >> (8 * b));
        }
    }
}

void append_u32(std::string& out, std::uint32_t word) {
    for (int b = 0; b < 4; ++b) out += static_cast<char>((word >> (8 * b)) & 0xFF);
}

}  // namespace

GltfPayload build_gltf(const Mesh& mesh, const MaterialLibrary& materials,
                       std::string_view bin_name) {
    TriangleList list = gather_triangles(mesh);
    GltfPayload payload;
    payload.triangles = list.index_count / 3;
    payload.json = gltf_json(list, materials, bin_name);
    payload.buffer.reserve(4 * (list.positions.size() + list.index_count + list.uvs.size()));
    append_le(payload.buffer, list.positions);
    for (const Group& g : list.groups) append_le(payload.buffer, g.indices);
    append_le(payload.buffer, list.uvs);
    return payload;
}

std::string glb_container(const GltfPayload& payload) {
    const std::size_t json_padded = (payload.json.size() + 3) / 4 * 4;
    const std::size_t bin_padded = (payload.buffer.size() + 3) / 4 * 4;
    const std::size_t total = 12 + 8 + json_padded + 8 + bin_padded;
    std::string out;
    out.reserve(total);
    out += "glTF";
    append_u32(out, 2);
    append_u32(out, static_cast<std::uint32_t>(total));
    append_u32(out, static_cast<std::uint32_t>(json_padded));
    out += "JSON";
    out += payload.json;
    out.append(json_padded - payload.json.size(), ' ');
    append_u32(out, static_cast<std::uint32_t>(bin_padded));
    out.append("BIN\0", 4);
    out += payload.buffer;
    out.append(bin_padded - payload.buffer.size(), '\0');
    return out;
}

bool export_gltf(const std::filesystem::path& path, const Mesh& mesh,
                 const MaterialLibrary& materials) {
    std::filesystem::path bin_path = path;
    bin_path.replace_extension(".bin");
    const GltfPayload payload = build_gltf(mesh, materials, bin_path.filename().string());
    return platform::write_file_atomic(bin_path, payload.buffer) &&
           platform::write_file_atomic(path, payload.json);
}

bool export_glb(const std::filesystem::path& path, const Mesh& mesh,
                const MaterialLibrary& materials) {
    const GltfPayload payload = build_gltf(mesh, materials, {});
    // The container's sizes are 32-bit; a model past 4 GiB cannot be a GLB.
    if (payload.json.size() + payload.buffer.size() + 40 >
        std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    return platform::write_file_atomic(path, glb_container(payload));
}

}  // namespace korvan::io
