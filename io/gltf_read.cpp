#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "core/mesh.h"
#include "io/gltf.h"
#include "io/json.h"

// The importer walks the scene's node tree from its roots, composing each node's local matrix
// (its "matrix", or translation x rotation x scale) onto its parent's, and appends every
// triangle of every primitive of every node that names a mesh. Accessors are read through
// their buffer views with bounds checked against the bytes actually present; a primitive
// whose data cannot be read is skipped, the rest of the file still counts.

namespace korvan::io {
namespace {

constexpr std::uint32_t kComponentFloat = 5126;
constexpr std::uint32_t kComponentUByte = 5121;
constexpr std::uint32_t kComponentUShort = 5123;
constexpr std::uint32_t kComponentUInt = 5125;
constexpr std::int64_t kModeTriangles = 4;
constexpr std::int64_t kModeStrip = 5;
constexpr std::int64_t kModeFan = 6;
constexpr std::uint32_t kGlbChunkJson = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t kGlbChunkBin = 0x004E4942;   // "BIN\0"
constexpr float kImportWeld = 1e-4f;

// Column-major 4x4 in doubles, so deep hierarchies do not lose precision step by step.
using Matrix = std::array<double, 16>;

constexpr Matrix kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) s += a[k * 4 + row] * b[col * 4 + k];
            r[col * 4 + row] = s;
        }
    }
    return r;
}

double determinant3(const Matrix& m) {
    return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
           m[8] * (m[1] * m[6] - m[5] * m[2]);
}

// A node index held by a JSON number; -1 for anything that is not a small whole number (a
// plain cast of a huge double would be undefined).
std::int64_t as_index(const JsonValue& v) {
    if (!v.is_number()) return -1;
    const double d = v.as_number();
    return d >= 0.0 && d < 4294967296.0 ? static_cast<std::int64_t>(d) : -1;
}

std::uint32_t read_u32(std::string_view bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int b = 3; b >= 0; --b) v = (v << 8) | static_cast<unsigned char>(bytes[at + b]);
    return v;
}

float read_f32(std::string_view bytes, std::size_t at) {
    return std::bit_cast<float>(read_u32(bytes, at));
}

int base64_value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+' || c == '-') return 62;
    if (c == '/' || c == '_') return 63;
    return -1;
}

// Decodes standard or URL-safe base64; padding and line breaks are ignored. None for any
// other character.
std::optional<std::string> decode_base64(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 4 * 3);
    std::uint32_t acc = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=' || c == '\n' || c == '\r') continue;
        const int v = base64_value(c);
        if (v < 0) return std::nullopt;
        acc = (acc << 6) | static_cast<std::uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return out;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// URIs of side files may escape blanks and other bytes as %XX.
std::string percent_decode(std::string_view uri) {
    std::string out;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size()) {
            const int hi = hex_value(uri[i + 1]), lo = hex_value(uri[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += uri[i];
    }
    return out;
}

bool read_whole_file(const std::filesystem::path& path, std::string& out) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(static_cast<std::size_t>(size), '\0');
    in.read(out.data(), static_cast<std::streamsize>(size));
    out.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

std::int64_t int_member(const JsonValue& v, std::string_view name, std::int64_t fallback) {
    const JsonValue* m = v.find(name);
    if (!m || !m->is_number()) return fallback;
    const double d = m->as_number();
    // Indices and sizes are whole numbers; anything else is treated as absent.
    if (!(d >= -9e15 && d <= 9e15) || d != std::floor(d)) return fallback;
    return static_cast<std::int64_t>(d);
}

const JsonValue* item(const JsonValue* array, std::int64_t index) {
    if (!array || !array->is_array() || index < 0 ||
        static_cast<std::uint64_t>(index) >= array->items().size()) {
        return nullptr;
    }
    return &array->items()[static_cast<std::size_t>(index)];
}

// A typed view of one accessor's elements.
struct AccessorView {
    std::string_view bytes;  // the whole buffer
    std::uint64_t offset = 0;
    std::uint64_t stride = 0;
    std::uint64_t count = 0;
    std::uint32_t component = 0;
    int components = 0;
};

class GltfReader {
  public:
    // glb_bin is the GLB's binary chunk, when there is one.
    GltfReader(const JsonValue& root, std::optional<std::string_view> glb_bin,
               std::filesystem::path base_dir, Mesh& mesh)
        : root_(root), glb_bin_(glb_bin), base_dir_(std::move(base_dir)), mesh_(mesh) {
        const JsonValue* buffers = root.find("buffers");
        const std::size_t n = buffers && buffers->is_array() ? buffers->items().size() : 0;
        buffers_.resize(n);
        buffer_tried_.assign(n, false);
    }

    void run() {
        const JsonValue* nodes = root_.find("nodes");
        if (!nodes || !nodes->is_array()) return;
        visited_.assign(nodes->items().size(), false);
        for (std::int64_t node : root_nodes(*nodes)) walk(node);
    }

  private:
    // The default scene's root nodes, else the first scene's; without scenes, every node that
    // is nobody's child.
    std::vector<std::int64_t> root_nodes(const JsonValue& nodes) const {
        std::vector<std::int64_t> roots;
        const JsonValue* scenes = root_.find("scenes");
        const JsonValue* scene = item(scenes, int_member(root_, "scene", 0));
        if (!scene) scene = item(scenes, 0);
        if (scene) {
            if (const JsonValue* list = scene->find("nodes"); list && list->is_array()) {
                for (const JsonValue& n : list->items()) {
                    roots.push_back(as_index(n));
                }
            }
            return roots;
        }
        std::vector<bool> is_child(nodes.items().size(), false);
        for (const JsonValue& node : nodes.items()) {
            const JsonValue* children = node.find("children");
            if (!children || !children->is_array()) continue;
            for (const JsonValue& c : children->items()) {
                const double d = c.is_number() ? c.as_number() : -1.0;
                if (d >= 0 && d < static_cast<double>(is_child.size())) {
                    is_child[static_cast<std::size_t>(d)] = true;
                }
            }
        }
        for (std::size_t i = 0; i < is_child.size(); ++i) {
            if (!is_child[i]) roots.push_back(static_cast<std::int64_t>(i));
        }
        return roots;
    }

    static Matrix local_matrix(const JsonValue& node) {
        if (const JsonValue* m = node.find("matrix");
            m && m->is_array() && m->items().size() == 16) {
            Matrix r{};
            for (int i = 0; i < 16; ++i) {
                const JsonValue& e = m->items()[static_cast<std::size_t>(i)];
                r[i] = e.is_number() ? e.as_number() : kIdentity[i];
            }
            return r;
        }
        auto numbers = [&](std::string_view name, std::array<double, 4> v, std::size_t n) {
            if (const JsonValue* a = node.find(name);
                a && a->is_array() && a->items().size() == n) {
                for (std::size_t i = 0; i < n; ++i) {
                    if (a->items()[i].is_number()) v[i] = a->items()[i].as_number();
                }
            }
            return v;
        };
        const auto t = numbers("translation", {0, 0, 0, 0}, 3);
        const auto q = numbers("rotation", {0, 0, 0, 1}, 4);
        const auto s = numbers("scale", {1, 1, 1, 0}, 3);
        const double x = q[0], y = q[1], z = q[2], w = q[3];
        // Rotation columns of the unit quaternion (x, y, z, w), each scaled by its axis' factor.
        Matrix r{1 - 2 * (y * y + z * z),
                 2 * (x * y + z * w),
                 2 * (x * z - y * w),
                 0,
                 2 * (x * y - z * w),
                 1 - 2 * (x * x + z * z),
                 2 * (y * z + x * w),
                 0,
                 2 * (x * z + y * w),
                 2 * (y * z - x * w),
                 1 - 2 * (x * x + y * y),
                 0,
                 t[0],
                 t[1],
                 t[2],
                 1};
        for (int col = 0; col < 3; ++col) {
            for (int row = 0; row < 3; ++row) r[col * 4 + row] *= s[col];
        }
        return r;
    }

    void walk(std::int64_t root) {
        // Explicit stack: a hostile file may nest nodes deeper than the call stack allows.
        // Each node is entered once, which also breaks any cycle of children.
        std::vector<std::pair<std::int64_t, Matrix>> stack{{root, kIdentity}};
        const JsonValue* nodes = root_.find("nodes");
        while (!stack.empty()) {
            auto [index, parent] = stack.back();
            stack.pop_back();
            const JsonValue* node = item(nodes, index);
            if (!node || visited_[static_cast<std::size_t>(index)]) continue;
            visited_[static_cast<std::size_t>(index)] = true;
            const Matrix world = multiply(parent, local_matrix(*node));
            if (const JsonValue* mesh = item(root_.find("meshes"), int_member(*node, "mesh", -1))) {
                if (const JsonValue* prims = mesh->find("primitives"); prims && prims->is_array()) {
                    for (const JsonValue& p : prims->items()) add_primitive(p, world);
                }
            }
            if (const JsonValue* children = node->find("children");
                children && children->is_array()) {
                for (auto it = children->items().rbegin(); it != children->items().rend(); ++it) {
                    stack.emplace_back(as_index(*it), world);
                }
            }
        }
    }

    // The bytes of buffer `index`, loaded on first use; null when it cannot be had.
    const std::string_view* buffer(std::int64_t index) {
        const JsonValue* b = item(root_.find("buffers"), index);
        if (!b) return nullptr;
        const auto i = static_cast<std::size_t>(index);
        if (!buffer_tried_[i]) {
            buffer_tried_[i] = true;
            const JsonValue* uri = b->find("uri");
            if (!uri) {
                // The GLB's binary chunk stands for the first buffer without a uri.
                if (index == 0) buffers_[i] = glb_bin_;
            } else if (uri->is_string()) {
                const std::string& text = uri->as_string();
                if (text.rfind("data:", 0) == 0) {
                    const std::size_t comma = text.find(',');
                    if (comma != std::string::npos) {
                        if (auto data = decode_base64(std::string_view(text).substr(comma + 1))) {
                            owned_.push_back(std::move(*data));
                            buffers_[i] = owned_.back();
                        }
                    }
                } else if (!base_dir_.empty()) {
                    std::string data;
                    if (read_whole_file(base_dir_ / std::filesystem::u8path(percent_decode(text)),
                                        data)) {
                        owned_.push_back(std::move(data));
                        buffers_[i] = owned_.back();
                    }
                }
            }
        }
        return buffers_[i] ? &*buffers_[i] : nullptr;
    }

    std::optional<AccessorView> accessor(std::int64_t index) {
        const JsonValue* a = item(root_.find("accessors"), index);
        if (!a) return std::nullopt;
        AccessorView view;
        view.component = static_cast<std::uint32_t>(int_member(*a, "componentType", 0));
        const std::string_view type = a->get_string("type", "");
        view.components = type == "SCALAR" ? 1
                          : type == "VEC2" ? 2
                          : type == "VEC3" ? 3
                          : type == "VEC4" ? 4
                                           : 0;
        const std::int64_t count = int_member(*a, "count", -1);
        const std::int64_t offset = int_member(*a, "byteOffset", 0);
        const JsonValue* bv = item(root_.find("bufferViews"), int_member(*a, "bufferView", -1));
        if (view.components == 0 || count < 0 || offset < 0 || !bv) return std::nullopt;
        std::uint64_t size = 0;
        switch (view.component) {
            case kComponentFloat:
            case kComponentUInt:
                size = 4;
                break;
            case kComponentUShort:
                size = 2;
                break;
            case kComponentUByte:
                size = 1;
                break;
            default:
                return std::nullopt;
        }
        const std::uint64_t element = size * static_cast<std::uint64_t>(view.components);
        const std::int64_t view_offset = int_member(*bv, "byteOffset", 0);
        const std::int64_t view_length = int_member(*bv, "byteLength", -1);
        const std::int64_t stride = int_member(*bv, "byteStride", 0);
        const std::string_view* bytes = buffer(int_member(*bv, "buffer", -1));
        if (!bytes || view_offset < 0 || view_length < 0 || stride < 0) return std::nullopt;
        view.stride = stride ? static_cast<std::uint64_t>(stride) : element;
        if (view.stride < element) return std::nullopt;
        const auto vo = static_cast<std::uint64_t>(view_offset);
        const auto vl = static_cast<std::uint64_t>(view_length);
        const auto ao = static_cast<std::uint64_t>(offset);
        view.count = static_cast<std::uint64_t>(count);
        if (vo > bytes->size() || vl > bytes->size() - vo) return std::nullopt;
        if (view.count > 0) {
            // The last element must end inside the view; the division keeps this free of
            // overflow for any count.
            if (ao > vl || element > vl - ao ||
                (view.count - 1) > (vl - ao - element) / view.stride) {
                return std::nullopt;
            }
        }
        view.bytes = *bytes;
        view.offset = vo + ao;
        return view;
    }

    static std::uint32_t index_at(const AccessorView& v, std::uint64_t i) {
        const std::uint64_t at = v.offset + i * v.stride;
        switch (v.component) {
            case kComponentUByte:
                return static_cast<unsigned char>(v.bytes[at]);
            case kComponentUShort:
                return static_cast<std::uint32_t>(static_cast<unsigned char>(v.bytes[at]) |
                                                  static_cast<unsigned char>(v.bytes[at + 1]) << 8);
            case kComponentUInt:
                return read_u32(v.bytes, at);
            default:
                return std::numeric_limits<std::uint32_t>::max();
        }
    }

    void add_primitive(const JsonValue& prim, const Matrix& world) {
        const std::int64_t mode = int_member(prim, "mode", kModeTriangles);
        if (mode != kModeTriangles && mode != kModeStrip && mode != kModeFan) return;
        const JsonValue* attributes = prim.find("attributes");
        if (!attributes) return;
        const auto positions = accessor(int_member(*attributes, "POSITION", -1));
        if (!positions || positions->component != kComponentFloat || positions->components != 3) {
            return;
        }
        std::optional<AccessorView> uvs;
        if (attributes->find("TEXCOORD_0")) {
            uvs = accessor(int_member(*attributes, "TEXCOORD_0", -1));
            // Normalized integer coordinates are not read: the primitive keeps its geometry.
            if (uvs && (uvs->component != kComponentFloat || uvs->components != 2)) uvs.reset();
        }
        std::vector<std::uint32_t> indices;
        if (prim.find("indices")) {
            const auto view = accessor(int_member(prim, "indices", -1));
            if (!view || view->components != 1 || view->component == kComponentFloat) return;
            indices.resize(view->count);
            for (std::uint64_t i = 0; i < view->count; ++i) indices[i] = index_at(*view, i);
        } else {
            indices.resize(positions->count);
            for (std::uint64_t i = 0; i < positions->count; ++i) {
                indices[i] = static_cast<std::uint32_t>(i);
            }
        }

        const std::uint64_t first = mesh_.vertices().size();
        const std::uint64_t vertex_count = positions->count;
        if (first + vertex_count >= kInvalidId) return;
        std::vector<Vec3> placed;
        placed.reserve(vertex_count);
        constexpr double kFloatMax = std::numeric_limits<float>::max();
        for (std::uint64_t i = 0; i < vertex_count; ++i) {
            const std::uint64_t at = positions->offset + i * positions->stride;
            const double x = read_f32(positions->bytes, at);
            const double y = read_f32(positions->bytes, at + 4);
            const double z = read_f32(positions->bytes, at + 8);
            const double wx = world[0] * x + world[4] * y + world[8] * z + world[12];
            const double wy = world[1] * x + world[5] * y + world[9] * z + world[13];
            const double wz = world[2] * x + world[6] * y + world[10] * z + world[14];
            // A point no float can hold means a broken file; the primitive is left out.
            if (!(std::abs(wx) <= kFloatMax && std::abs(wy) <= kFloatMax &&
                  std::abs(wz) <= kFloatMax)) {
                return;
            }
            // Back from Y up: (X, Y, Z) -> (X, -Z, Y); 0 - Z keeps a zero positive.
            placed.push_back(
                {static_cast<float>(wx), static_cast<float>(0.0 - wz), static_cast<float>(wy)});
        }
        for (const Vec3& p : placed) mesh_.add_vertex(p);
        const bool mirrored = determinant3(world) < 0.0;
        const bool uv_ok = uvs && uvs->count >= vertex_count;

        auto add = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
            if (a >= vertex_count || b >= vertex_count || c >= vertex_count) return;
            if (mirrored) std::swap(b, c);
            const auto face = mesh_.add_triangle(static_cast<VertexId>(first + a),
                                                 static_cast<VertexId>(first + b),
                                                 static_cast<VertexId>(first + c));
            if (!face || !uv_ok) return;
            for (HalfEdgeId h : mesh_.face_half_edges(*face)) {
                const std::uint64_t corner = mesh_.half_edges()[h].origin - first;
                const std::uint64_t at = uvs->offset + corner * uvs->stride;
                mesh_.set_corner_uv(h, read_f32(uvs->bytes, at), read_f32(uvs->bytes, at + 4));
            }
        };
        const std::size_t n = indices.size();
        if (mode == kModeTriangles) {
            for (std::size_t i = 0; i + 2 < n; i += 3)
                add(indices[i], indices[i + 1], indices[i + 2]);
        } else if (mode == kModeStrip) {
            for (std::size_t i = 2; i < n; ++i) {
                if (i % 2) {
                    add(indices[i - 1], indices[i - 2], indices[i]);
                } else {
                    add(indices[i - 2], indices[i - 1], indices[i]);
                }
            }
        } else {
            for (std::size_t i = 2; i < n; ++i) add(indices[0], indices[i - 1], indices[i]);
        }
    }

    const JsonValue& root_;
    std::optional<std::string_view> glb_bin_;
    std::filesystem::path base_dir_;
    Mesh& mesh_;
    std::vector<std::optional<std::string_view>> buffers_;
    std::vector<bool> buffer_tried_;
    std::vector<std::string> owned_;  // decoded data URIs and side files
    std::vector<bool> visited_;
};

}  // namespace

bool import_gltf_bytes(std::string_view bytes, const std::filesystem::path& base_dir, Mesh& mesh) {
    std::string_view json = bytes;
    std::optional<std::string_view> bin;
    if (bytes.size() >= 4 && bytes.substr(0, 4) == "glTF") {
        // Header: magic, version, total length; then chunks of (length, type, data).
        if (bytes.size() < 20 || read_u32(bytes, 4) != 2) return false;
        const std::uint64_t total = std::min<std::uint64_t>(read_u32(bytes, 8), bytes.size());
        std::uint64_t at = 12;
        bool first = true;
        json = {};
        while (at + 8 <= total) {
            const std::uint64_t length = read_u32(bytes, at);
            const std::uint32_t type = read_u32(bytes, at + 4);
            if (length > total - at - 8) return false;
            const std::string_view data = bytes.substr(at + 8, length);
            if (first && type != kGlbChunkJson) return false;
            if (first)
                json = data;
            else if (type == kGlbChunkBin && !bin)
                bin = data;
            first = false;
            at += 8 + (length + 3) / 4 * 4;
        }
        if (first) return false;
    }
    JsonValue root;
    if (!parse_json(json, root) || !root.is_object()) return false;
    GltfReader(root, bin, base_dir, mesh).run();
    mesh.weld_vertices(kImportWeld);
    mesh.link_shared_edges();
    return mesh.alive_face_count() > 0;
}

bool import_gltf(const std::filesystem::path& path, Mesh& mesh) {
    std::string bytes;
    if (!read_whole_file(path, bytes)) return false;
    std::filesystem::path dir = path.parent_path();
    if (dir.empty()) dir = ".";
    return import_gltf_bytes(bytes, dir, mesh);
}

}  // namespace korvan::io
