#include "io/obj.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/mesh.h"
#include "document/material_library.h"
#include "io/mesh_import.h"

// OBJ reader. The file is scanned once, line by line, straight from the bytes read: `v`
// lines become vertices in file order (so position k is vertex id k-1), `vt` lines texture
// coordinates, `f` lines faces; everything else that real exporters write (comments, `vn`,
// `o`, `g`, `s`, `l`, `p`, free-form curve data) is skipped. Triangles and quads are added as
// they are; larger polygons are split into triangles by the kernel's triangulation.
// Afterwards the corners are welded and the shared sides linked, and the texture coordinates
// go onto the final half-edges.

namespace korvan::io {
namespace {

using detail::at_line;
using detail::fail_import;

bool is_blank(char c) { return c == ' ' || c == '\t'; }

const char* skip_blanks(const char* p, const char* end) {
    while (p < end && is_blank(*p)) ++p;
    return p;
}

// A float at p (after blanks; a leading '+' allowed as exporters write it); p moves past it.
bool parse_float(const char*& p, const char* end, float& out) {
    p = skip_blanks(p, end);
    if (p < end && *p == '+') ++p;
    const auto r = std::from_chars(p, end, out);
    if (r.ec != std::errc{}) return false;
    p = r.ptr;
    return true;
}

// The whole of [p, end) as a decimal integer.
bool parse_whole_int(const char* p, const char* end, std::int64_t& out) {
    if (p < end && *p == '+') ++p;
    if (p == end) return false;
    const auto r = std::from_chars(p, end, out);
    return r.ec == std::errc{} && r.ptr == end;
}

bool starts_with_word(const char* p, const char* end, std::string_view word) {
    const auto n = static_cast<std::ptrdiff_t>(word.size());
    return end - p > n && std::memcmp(p, word.data(), word.size()) == 0 && is_blank(p[n]);
}

// A backslash that ends a line joins the next one to it. Rare, so the text is only copied
// when it holds a backslash at all.
std::string join_continued_lines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                out += ' ';
                ++i;
                continue;
            }
            if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
                out += ' ';
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (is_blank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (is_blank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// What the reader takes from an MTL entry.
struct MtlEntry {
    Rgb kd{0.8f, 0.8f, 0.8f};
    float opacity = 1.0f;
    bool has_d = false;
    std::string texture;  // the map_Kd path, only when that file exists
};

// Parses an MTL file's entries into `entries` (later files and entries of the same name
// win). An unreadable file adds nothing: faces then keep the default material.
void read_mtl(const std::filesystem::path& file,
              std::unordered_map<std::string, MtlEntry>& entries) {
    std::string bytes;
    if (!detail::read_whole_file(file, bytes)) return;
    const std::filesystem::path dir = file.parent_path();
    MtlEntry* current = nullptr;
    std::string_view rest(bytes);
    while (!rest.empty()) {
        const std::size_t nl = rest.find('\n');
        std::string_view line = trim(rest.substr(0, nl));
        rest = nl == std::string_view::npos ? std::string_view{} : rest.substr(nl + 1);
        const char* p = line.data();
        const char* end = p + line.size();
        if (starts_with_word(p, end, "newmtl")) {
            const std::string name(trim(line.substr(6)));
            current = &(entries[name] = MtlEntry{});
        } else if (current == nullptr) {
            continue;
        } else if (starts_with_word(p, end, "Kd")) {
            p += 2;
            float c[3];
            int n = 0;
            while (n < 3 && parse_float(p, end, c[n])) ++n;
            if (n == 1) c[1] = c[2] = c[0];
            if (n == 1 || n == 3) current->kd = {c[0], c[1], c[2]};
        } else if (starts_with_word(p, end, "d")) {
            ++p;
            float d;
            if (parse_float(p, end, d) && std::isfinite(d)) {
                current->opacity = std::clamp(d, 0.0f, 1.0f);
                current->has_d = true;
            }
        } else if (starts_with_word(p, end, "Tr")) {
            p += 2;
            float tr;
            if (!current->has_d && parse_float(p, end, tr) && std::isfinite(tr)) {
                current->opacity = std::clamp(1.0f - tr, 0.0f, 1.0f);
            }
        } else if (starts_with_word(p, end, "map_Kd")) {
            // Options such as "-s 1 1 1" come first; the file name is the last word.
            std::string_view args = trim(line.substr(6));
            const std::size_t blank = args.find_last_of(" \t");
            const std::string_view name =
                blank == std::string_view::npos ? args : args.substr(blank + 1);
            std::error_code ec;
            const std::filesystem::path texture = dir / std::filesystem::path(std::string(name));
            if (!name.empty() && std::filesystem::is_regular_file(texture, ec)) {
                current->texture = texture.string();
            }
        }
    }
}

class ObjReader {
  public:
    ObjReader(Mesh& mesh, MaterialLibrary* materials, const std::filesystem::path& mtl_dir)
        : mesh_(mesh), materials_(materials), mtl_dir_(mtl_dir) {}

    bool read(std::string_view text) {
        std::string joined;
        if (text.find('\\') != std::string_view::npos) {
            joined = join_continued_lines(text);
            text = joined;
        }
        reserve_for(text);
        const char* p = text.data();
        const char* const end = p + text.size();
        std::uint64_t line = 0;
        while (p < end) {
            ++line;
            const char* eol = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (eol == nullptr) eol = end;
            const char* line_end = eol;
            if (line_end > p && line_end[-1] == '\r') --line_end;
            if (!read_line(p, line_end)) return fail_import(error_ + at_line(line));
            p = eol + 1;
        }
        if (!detail::weld_link_and_check(mesh_)) return false;
        store_uvs();
        return true;
    }

  private:
    bool read_line(const char* p, const char* end) {
        if (end - p < 2) return true;
        if (p[0] == 'v' && is_blank(p[1])) return read_vertex(p + 1, end);
        if (p[0] == 'v' && p[1] == 't' && end - p > 2 && is_blank(p[2])) {
            return read_texture_vertex(p + 2, end);
        }
        if (p[0] == 'f' && is_blank(p[1])) return read_face(p + 1, end);
        if (materials_ != nullptr) {
            if (starts_with_word(p, end, "usemtl")) {
                use_material(trim(std::string_view(p + 6, end - p - 6)));
            } else if (starts_with_word(p, end, "mtllib")) {
                load_library(trim(std::string_view(p + 6, end - p - 6)));
            }
        }
        return true;
    }

    bool read_vertex(const char* p, const char* end) {
        Vec3 v;
        if (!parse_float(p, end, v.x) || !parse_float(p, end, v.y) || !parse_float(p, end, v.z)) {
            error_ = "a vertex needs three numbers";
            return false;
        }
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) {
            error_ = "a vertex coordinate is not a finite number";
            return false;
        }
        mesh_.add_vertex(v);
        ++positions_;
        return true;
    }

    bool read_texture_vertex(const char* p, const char* end) {
        float u = 0.0f, v = 0.0f;
        if (!parse_float(p, end, u)) {
            error_ = "a texture vertex needs a number";
            return false;
        }
        if (!parse_float(p, end, v)) v = 0.0f;  // one-dimensional textures give u only
        uvs_.push_back(u);
        uvs_.push_back(v);
        return true;
    }

    bool read_face(const char* p, const char* end) {
        corners_.clear();
        corner_uvs_.clear();
        bool all_uvs = true;
        const auto uv_count = static_cast<std::int64_t>(uvs_.size() / 2);
        const auto position_count = static_cast<std::int64_t>(positions_);
        while (true) {
            p = skip_blanks(p, end);
            if (p == end) break;
            const char* token_end = p;
            while (token_end < end && !is_blank(*token_end)) ++token_end;
            const char* slash = static_cast<const char*>(std::memchr(p, '/', token_end - p));
            std::int64_t k = 0;
            if (!parse_whole_int(p, slash ? slash : token_end, k)) {
                error_ = "a face corner does not start with a vertex number";
                return false;
            }
            // Negative numbers count back from the last position read so far.
            const std::int64_t index = k > 0 ? k - 1 : position_count + k;
            std::int64_t uv = -1;
            if (slash != nullptr) {
                const char* t_end =
                    static_cast<const char*>(std::memchr(slash + 1, '/', token_end - slash - 1));
                std::int64_t t = 0;
                if (parse_whole_int(slash + 1, t_end ? t_end : token_end, t) && t != 0) {
                    const std::int64_t ti = t > 0 ? t - 1 : uv_count + t;
                    if (ti >= 0 && ti < uv_count) uv = ti;
                }
            }
            p = token_end;
            if (k == 0 || index < 0 || index >= position_count) continue;  // corner dropped
            corners_.push_back(static_cast<VertexId>(index));
            corner_uvs_.push_back(uv);
            all_uvs = all_uvs && uv >= 0;
        }
        const std::size_t n = corners_.size();
        if (n < 3) return true;
        if (n <= 4) {
            const std::optional<FaceId> face =
                n == 3 ? mesh_.add_triangle(corners_[0], corners_[1], corners_[2])
                       : mesh_.add_quad(corners_[0], corners_[1], corners_[2], corners_[3]);
            if (face) finish_face(*face, all_uvs, {0, 1, 2, 3}, n);
            return true;
        }
        ring_.clear();
        for (const VertexId v : corners_) ring_.push_back(mesh_.vertices()[v].position);
        for (const IndexTriangle& t : detail::triangulate_ring(ring_)) {
            const std::optional<FaceId> face =
                mesh_.add_triangle(corners_[t[0]], corners_[t[1]], corners_[t[2]]);
            if (face) finish_face(*face, all_uvs, {t[0], t[1], t[2], 0}, 3);
        }
        return true;
    }

    void finish_face(FaceId face, bool with_uvs, std::array<std::uint32_t, 4> pick,
                     std::size_t n) {
        if (material_ != 0) mesh_.set_face_material(face, material_);
        if (!with_uvs) return;
        uv_faces_.push_back(face);
        for (std::size_t i = 0; i < n; ++i) {
            const auto t = static_cast<std::size_t>(corner_uvs_[pick[i]]);
            uv_corners_.push_back(uvs_[2 * t]);
            uv_corners_.push_back(uvs_[2 * t + 1]);
        }
    }

    // The recorded coordinates go onto each face's ring, in ring order from its first
    // corner, once welding and linking have settled the half-edges.
    void store_uvs() {
        std::size_t next = 0;
        for (const FaceId face : uv_faces_) {
            for (const HalfEdgeId h : mesh_.face_half_edges(face)) {
                if (next + 2 > uv_corners_.size()) break;
                mesh_.set_corner_uv(h, uv_corners_[next], uv_corners_[next + 1]);
                next += 2;
            }
        }
    }

    void load_library(std::string_view names) {
        if (mtl_dir_.empty() || names.empty()) return;
        std::error_code ec;
        const std::filesystem::path whole = mtl_dir_ / std::filesystem::path(std::string(names));
        if (std::filesystem::is_regular_file(whole, ec)) {
            read_mtl(whole, library_);
            return;
        }
        // Several libraries may share one line.
        while (!names.empty()) {
            const std::size_t blank = names.find_first_of(" \t");
            read_mtl(mtl_dir_ / std::filesystem::path(std::string(names.substr(0, blank))),
                     library_);
            names = blank == std::string_view::npos ? std::string_view{}
                                                    : trim(names.substr(blank));
        }
    }

    // A name the libraries define becomes (once) a material of the document; any other name
    // leaves the faces on the default material.
    void use_material(std::string_view name) {
        const std::string key(name);
        if (auto it = used_.find(key); it != used_.end()) {
            material_ = it->second;
            return;
        }
        material_ = 0;
        const auto entry = library_.find(key);
        if (entry == library_.end()) return;
        Material m;
        m.id = key;
        m.name = key;
        m.albedo = entry->second.kd;
        m.opacity = entry->second.opacity;
        m.texture_path = entry->second.texture;
        const std::int32_t index = materials_->add(std::move(m));
        material_ = static_cast<std::uint32_t>(index);
        used_.emplace(key, material_);
    }

    // Sizes the tables from a quick count of the vertex and face lines.
    void reserve_for(std::string_view text) {
        std::size_t vertices = 0, faces = 0;
        const char* p = text.data();
        const char* const end = p + text.size();
        while (p + 1 < end) {
            if (p[1] == ' ' || p[1] == '\t') {
                vertices += p[0] == 'v';
                faces += p[0] == 'f';
            }
            const void* nl = std::memchr(p, '\n', end - p);
            if (nl == nullptr) break;
            p = static_cast<const char*>(nl) + 1;
        }
        mesh_.reserve(vertices, faces * 6, faces * 3, faces);
    }

    Mesh& mesh_;
    MaterialLibrary* materials_;
    std::filesystem::path mtl_dir_;
    std::uint64_t positions_ = 0;
    std::vector<float> uvs_;  // u, v pairs in file order
    std::uint32_t material_ = 0;
    std::unordered_map<std::string, MtlEntry> library_;
    std::unordered_map<std::string, std::uint32_t> used_;
    std::vector<FaceId> uv_faces_;
    std::vector<float> uv_corners_;  // u, v per corner of each uv face, in ring order
    std::vector<VertexId> corners_;
    std::vector<std::int64_t> corner_uvs_;
    std::vector<Vec3> ring_;
    std::string error_;
};

}  // namespace

bool parse_obj(std::string_view text, Mesh& mesh, MaterialLibrary* materials,
               const std::filesystem::path& mtl_dir) {
    detail::clear_import_error();
    mesh = Mesh();
    return ObjReader(mesh, materials, mtl_dir).read(text);
}

bool import_obj(const std::filesystem::path& path, Mesh& mesh, MaterialLibrary* materials) {
    detail::clear_import_error();
    mesh = Mesh();
    std::string bytes;
    if (!detail::read_whole_file(path, bytes)) return false;
    std::filesystem::path dir = path.parent_path();
    if (dir.empty()) dir = ".";
    return ObjReader(mesh, materials, dir).read(bytes);
}

}  // namespace korvan::io
