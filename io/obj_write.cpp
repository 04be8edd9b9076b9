#include "io/obj.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/mesh.h"
#include "document/material_library.h"
#include "io/mesh_text.h"
#include "platform/atomic_file.h"

namespace korvan::io {
namespace {

using detail::append_number;
using detail::append_uint;

// Base name after the last separator, cut before its first dot: "a/b.c.obj" -> "b".
std::string obj_stem(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string_view base = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return std::string(base.substr(0, base.find('.')));
}

std::string_view obj_dir(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? std::string_view{} : path.substr(0, slash + 1);
}

// One stable OBJ-safe name per material id for the whole export: blanks become "_", control
// bytes and "#" (which would start a comment) are dropped, a name already held by another id
// gets "_" and the id appended.
class MaterialNames {
  public:
    explicit MaterialNames(const MaterialLibrary& materials) : materials_(materials) {}

    const std::string& name(std::uint32_t id) {
        if (auto it = by_id_.find(id); it != by_id_.end()) return it->second;
        std::string safe;
        for (const char c : materials_[id].name) {
            const auto b = static_cast<unsigned char>(c);
            if (c == ' ' || c == '\t') {
                safe += '_';
            } else if (b >= 32 && b != 127 && c != '#') {
                safe += c;
            }
        }
        if (safe.empty()) {
            safe = "mat_";
            append_uint(safe, id);
        }
        if (std::find(taken_.begin(), taken_.end(), safe) != taken_.end()) {
            safe += '_';
            append_uint(safe, id);
        }
        taken_.push_back(safe);
        return by_id_.emplace(id, std::move(safe)).first->second;
    }

  private:
    const MaterialLibrary& materials_;
    std::unordered_map<std::uint32_t, std::string> by_id_;
    std::vector<std::string> taken_;
};

void append_mtl_entry(std::string& mtl, const std::string& name, const Material& m) {
    mtl += "newmtl ";
    mtl += name;
    mtl += "\nKd ";
    const float rgb[3] = {m.albedo.r, m.albedo.g, m.albedo.b};
    for (int i = 0; i < 3; ++i) {
        if (i) mtl += ' ';
        append_number(mtl, rgb[i]);
    }
    mtl += "\nKa ";
    for (int i = 0; i < 3; ++i) {
        if (i) mtl += ' ';
        append_number(mtl, rgb[i] * 0.2f);
    }
    mtl += "\nNs ";
    const float gloss = 1.0f - m.roughness;
    append_number(mtl, gloss * gloss * 1000.0f);
    mtl += "\nd ";
    append_number(mtl, m.opacity);
    mtl += '\n';
    if (!m.texture_path.empty()) {
        mtl += "map_Kd ";
        mtl += m.texture_path;
        mtl += '\n';
    }
    mtl += '\n';
}

}  // namespace

std::string format_obj(const Mesh& mesh, const MaterialLibrary* materials,
                       std::string_view mtl_name, std::string* mtl) {
    const bool with_materials = materials != nullptr && !materials->empty();
    const std::span<const Vertex> vs = mesh.vertices();
    const std::span<const Face> fs = mesh.faces();
    const std::vector<std::uint32_t> number = detail::number_alive_vertices(mesh, 1);

    std::string out;
    out.reserve(vs.size() * 32 + fs.size() * 24 + 64);
    out += "# Korvan OBJ export\n";
    if (with_materials && !mtl_name.empty()) {
        out += "mtllib ";
        out += mtl_name;
        out += '\n';
    }
    for (VertexId v = 0; v < vs.size(); ++v) {
        if (!vs[v].alive) continue;
        out += "v ";
        append_number(out, vs[v].position.x);
        out += ' ';
        append_number(out, vs[v].position.y);
        out += ' ';
        append_number(out, vs[v].position.z);
        out += '\n';
    }

    // Texture vertices: one per distinct (u, v) pair, bitwise equal, numbered in first use.
    // uv_first[f] indexes the face's run of numbers in uv_numbers (kInvalidId: no UVs).
    std::vector<std::uint32_t> uv_first;
    std::vector<std::uint32_t> uv_numbers;
    if (mesh.has_corner_uvs()) {
        uv_first.assign(fs.size(), kInvalidId);
        std::unordered_map<std::uint64_t, std::uint32_t> seen;
        std::string vt;
        for (FaceId f = 0; f < fs.size(); ++f) {
            if (!fs[f].alive || !mesh.face_has_uvs(f)) continue;
            uv_first[f] = static_cast<std::uint32_t>(uv_numbers.size());
            detail::for_each_ring_half_edge(mesh, f, [&](HalfEdgeId h) {
                const CornerUv uv = mesh.corner_uv(h);
                const std::uint64_t key =
                    (std::uint64_t{std::bit_cast<std::uint32_t>(uv.u)} << 32) |
                    std::bit_cast<std::uint32_t>(uv.v);
                auto [it, fresh] = seen.emplace(key, static_cast<std::uint32_t>(seen.size() + 1));
                if (fresh) {
                    vt += "vt ";
                    append_number(vt, uv.u, 9);
                    vt += ' ';
                    append_number(vt, uv.v, 9);
                    vt += '\n';
                }
                uv_numbers.push_back(it->second);
            });
        }
        out += vt;
    }

    // Material groups in order of each material's first face; faces in id order within.
    std::vector<std::uint32_t> group_order;
    std::unordered_map<std::uint32_t, std::uint32_t> group_of;
    std::vector<std::uint32_t> face_group(fs.size(), kInvalidId);
    for (FaceId f = 0; f < fs.size(); ++f) {
        if (!fs[f].alive) continue;
        auto [it, fresh] = group_of.emplace(fs[f].material_id,
                                            static_cast<std::uint32_t>(group_order.size()));
        if (fresh) group_order.push_back(fs[f].material_id);
        face_group[f] = it->second;
    }
    // Counting sort of the faces by group keeps id order inside each group.
    std::vector<std::uint32_t> start(group_order.size() + 1, 0);
    for (const std::uint32_t g : face_group) {
        if (g != kInvalidId) ++start[g + 1];
    }
    for (std::size_t g = 0; g < group_order.size(); ++g) start[g + 1] += start[g];
    std::vector<FaceId> ordered(start.back());
    {
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        for (FaceId f = 0; f < fs.size(); ++f) {
            if (face_group[f] != kInvalidId) ordered[fill[face_group[f]]++] = f;
        }
    }

    std::optional<MaterialNames> names;
    if (with_materials) names.emplace(*materials);
    std::vector<std::uint32_t> ring;
    for (std::size_t g = 0; g < group_order.size(); ++g) {
        const std::uint32_t material = group_order[g];
        if (with_materials && material < materials->size()) {
            out += "usemtl ";
            out += names->name(material);
            out += '\n';
        }
        for (std::uint32_t i = start[g]; i < start[g + 1]; ++i) {
            const FaceId f = ordered[i];
            ring.clear();
            detail::for_each_ring_half_edge(
                mesh, f, [&](HalfEdgeId h) { ring.push_back(mesh.half_edges()[h].origin); });
            // The face's UV run was taken over this same ring walk, one number per corner.
            const bool uvs = !uv_first.empty() && uv_first[f] != kInvalidId;
            out += 'f';
            for (std::size_t c = 0; c < ring.size(); ++c) {
                out += ' ';
                const VertexId v = ring[c];
                append_uint(out, v < number.size() ? number[v] : 0);
                if (uvs && uv_first[f] + c < uv_numbers.size()) {
                    out += '/';
                    append_uint(out, uv_numbers[uv_first[f] + c]);
                }
            }
            out += '\n';
        }
    }

    if (with_materials && mtl != nullptr) {
        mtl->clear();
        *mtl += "# Korvan material library\n";
        for (const std::uint32_t material : group_order) {
            if (material >= materials->size()) continue;
            append_mtl_entry(*mtl, names->name(material), (*materials)[material]);
        }
    }
    return out;
}

bool export_obj(const std::filesystem::path& path, const Mesh& mesh,
                const MaterialLibrary* materials) {
    const std::string text_path = path.string();
    const std::string stem = obj_stem(text_path);
    const bool with_materials = materials != nullptr && !materials->empty();
    std::string mtl;
    const std::string obj =
        format_obj(mesh, materials, with_materials ? stem + ".mtl" : std::string(), &mtl);
    if (!platform::write_file_atomic(path, obj)) return false;
    if (!with_materials) return true;
    return platform::write_file_atomic(std::string(obj_dir(text_path)) + stem + ".mtl", mtl);
}

}  // namespace korvan::io
