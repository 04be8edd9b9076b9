#include "io/ply.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "core/mesh.h"
#include "io/mesh_import.h"
#include "io/mesh_text.h"
#include "platform/atomic_file.h"

// PLY reader. The header declares elements, each with a count and typed properties (scalars,
// or lists with their own count type); the body holds the elements in header order, as
// blank-separated text or packed binary. Every element is read through the same property
// walk, so unknown elements and properties (normals, colours, texture coordinates, edges,
// materials) are skipped whatever their place. Positions and face rings are collected first
// and turned into a mesh at the end, so a file listing its faces before its vertices works
// too.

namespace korvan::io {
namespace {

using detail::fail_import;

enum class Format { kAscii, kLittle, kBig };
enum class Type : std::uint8_t {
    kInt8, kUint8, kInt16, kUint16, kInt32, kUint32, kFloat32, kFloat64 };

std::optional<Type> type_named(std::string_view name) {
    struct Row {
        std::string_view name;
        Type type;
    };
    static constexpr Row kTypes[] = {
        {"char", Type::kInt8},     {"int8", Type::kInt8},       {"uchar", Type::kUint8},
        {"uint8", Type::kUint8},   {"short", Type::kInt16},     {"int16", Type::kInt16},
        {"ushort", Type::kUint16}, {"uint16", Type::kUint16},   {"int", Type::kInt32},
        {"int32", Type::kInt32},   {"uint", Type::kUint32},     {"uint32", Type::kUint32},
        {"float", Type::kFloat32}, {"float32", Type::kFloat32}, {"double", Type::kFloat64},
        {"float64", Type::kFloat64}};
    for (const Row& row : kTypes) {
        if (row.name == name) return row.type;
    }
    return std::nullopt;
}

std::size_t size_of(Type t) {
    switch (t) {
        case Type::kInt8:
        case Type::kUint8: return 1;
        case Type::kInt16:
        case Type::kUint16: return 2;
        case Type::kInt32:
        case Type::kUint32:
        case Type::kFloat32: return 4;
        case Type::kFloat64: return 8;
    }
    return 1;
}

struct Property {
    std::string name;
    Type type = Type::kFloat32;
    bool is_list = false;
    Type count_type = Type::kUint8;
};

struct Element {
    std::string name;
    std::uint64_t count = 0;
    std::vector<Property> properties;
};

// Splits a header line into blank-separated words.
std::vector<std::string_view> words_of(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

// Reads property values one at a time from the body, as text or binary.
class BodyReader {
  public:
    BodyReader(std::string_view body, Format format)
        : p_(body.data()), end_(body.data() + body.size()), format_(format) {}

    // Next value as a double; false when the body ends or a word is not a number.
    bool next(Type type, double& out) {
        if (format_ == Format::kAscii) return next_word(out);
        const std::size_t n = size_of(type);
        if (static_cast<std::size_t>(end_ - p_) < n) return false;
        unsigned char b[8];
        std::memcpy(b, p_, n);
        p_ += n;
        if (format_ == Format::kBig) std::reverse(b, b + n);
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < n; ++i) bits |= std::uint64_t{b[i]} << (8 * i);
        switch (type) {
            case Type::kInt8: out = static_cast<std::int8_t>(bits); break;
            case Type::kUint8: out = static_cast<std::uint8_t>(bits); break;
            case Type::kInt16: out = static_cast<std::int16_t>(bits); break;
            case Type::kUint16: out = static_cast<std::uint16_t>(bits); break;
            case Type::kInt32: out = static_cast<std::int32_t>(bits); break;
            case Type::kUint32: out = static_cast<std::uint32_t>(bits); break;
            case Type::kFloat32: out = std::bit_cast<float>(static_cast<std::uint32_t>(bits)); break;
            case Type::kFloat64: out = std::bit_cast<double>(bits); break;
        }
        return true;
    }

    // Bytes (binary) or characters (text) left: a bound on how many values can still come.
    std::size_t remaining() const { return static_cast<std::size_t>(end_ - p_); }

  private:
    bool next_word(double& out) {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n')) ++p_;
        if (p_ == end_) return false;
        const char* start = p_;
        if (*start == '+') ++start;
        const auto r = std::from_chars(start, end_, out);
        if (r.ec != std::errc{} && r.ec != std::errc::result_out_of_range) return false;
        p_ = r.ptr;
        // A word must end at a blank: "1x" is not a number.
        return p_ == end_ || *p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n';
    }

    const char* p_;
    const char* end_;
    Format format_;
};

class PlyReader {
  public:
    bool read(std::string_view bytes, Mesh& mesh) {
        if (!read_header(bytes)) return false;
        BodyReader body(bytes.substr(body_offset_), format_);
        for (const Element& e : elements_) {
            if (!read_element(body, e)) return false;
        }
        return build(mesh);
    }

  private:
    bool read_header(std::string_view bytes) {
        std::size_t pos = 0;
        bool first = true, have_format = false;
        while (true) {
            const std::size_t nl = bytes.find('\n', pos);
            if (nl == std::string_view::npos) {
                return fail_import(first ? "it does not start with \"ply\""
                                         : "the header has no end_header line");
            }
            std::string_view line = bytes.substr(pos, nl - pos);
            pos = nl + 1;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (first) {
                if (line != "ply") return fail_import("it does not start with \"ply\"");
                first = false;
                continue;
            }
            const std::vector<std::string_view> w = words_of(line);
            if (w.empty() || w[0] == "comment" || w[0] == "obj_info") continue;
            if (w[0] == "end_header") break;
            if (w[0] == "format") {
                if (w.size() < 2) return fail_import("the format line names no format");
                if (w[1] == "ascii") {
                    format_ = Format::kAscii;
                } else if (w[1] == "binary_little_endian") {
                    format_ = Format::kLittle;
                } else if (w[1] == "binary_big_endian") {
                    format_ = Format::kBig;
                } else {
                    return fail_import("its format is not ascii, binary_little_endian or "
                                       "binary_big_endian");
                }
                have_format = true;
            } else if (w[0] == "element") {
                Element e;
                if (w.size() < 3) return fail_import("an element line needs a name and a count");
                e.name = std::string(w[1]);
                const auto r = std::from_chars(w[2].data(), w[2].data() + w[2].size(), e.count);
                if (r.ec != std::errc{} || r.ptr != w[2].data() + w[2].size()) {
                    return fail_import("an element count is not a whole number");
                }
                elements_.push_back(std::move(e));
            } else if (w[0] == "property") {
                if (elements_.empty()) return fail_import("a property comes before any element");
                Property prop;
                if (w.size() >= 5 && w[1] == "list") {
                    const auto count_type = type_named(w[2]);
                    const auto item_type = type_named(w[3]);
                    if (!count_type || !item_type) {
                        return fail_import("a list property has an unknown type");
                    }
                    prop.is_list = true;
                    prop.count_type = *count_type;
                    prop.type = *item_type;
                    prop.name = std::string(w[4]);
                } else if (w.size() >= 3 && w[1] != "list") {
                    const auto type = type_named(w[1]);
                    if (!type) return fail_import("a property has an unknown type");
                    prop.type = *type;
                    prop.name = std::string(w[2]);
                } else {
                    return fail_import("a property line is incomplete");
                }
                elements_.back().properties.push_back(std::move(prop));
            } else {
                return fail_import("the header holds an unknown line");
            }
        }
        if (!have_format) return fail_import("the header has no format line");
        body_offset_ = pos;
        for (const Element& e : elements_) {
            if (e.name == "vertex") vertex_count_ = e.count;
        }
        index_limit_ = static_cast<double>(std::min<std::uint64_t>(vertex_count_, kInvalidId));
        return true;
    }

    bool read_element(BodyReader& body, const Element& e) {
        const bool vertex = e.name == "vertex";
        const bool face = e.name == "face";
        int axis[3] = {-1, -1, -1};
        int ring = -1;
        for (std::size_t i = 0; i < e.properties.size(); ++i) {
            const Property& p = e.properties[i];
            if (vertex && !p.is_list) {
                if (p.name == "x") axis[0] = static_cast<int>(i);
                if (p.name == "y") axis[1] = static_cast<int>(i);
                if (p.name == "z") axis[2] = static_cast<int>(i);
            }
            if (face && p.is_list && ring < 0 &&
                (p.name == "vertex_indices" || p.name == "vertex_index")) {
                ring = static_cast<int>(i);
            }
        }
        if (vertex && (axis[0] < 0 || axis[1] < 0 || axis[2] < 0)) {
            return fail_import("the vertex element has no x, y and z properties");
        }
        if (face && ring < 0) return fail_import("the face element has no vertex_indices list");
        // Never trust a count beyond what the remaining bytes could hold.
        if (vertex) positions_.reserve(std::min<std::uint64_t>(e.count, body.remaining() / 2 + 1));
        if (e.properties.empty()) return true;  // nothing to read, however many there are

        double value = 0.0;
        for (std::uint64_t n = 0; n < e.count; ++n) {
            Vec3 position;
            for (std::size_t i = 0; i < e.properties.size(); ++i) {
                const Property& p = e.properties[i];
                if (!p.is_list) {
                    if (!body.next(p.type, value)) return ended(e);
                    if (vertex) {
                        if (static_cast<int>(i) == axis[0]) position.x = static_cast<float>(value);
                        if (static_cast<int>(i) == axis[1]) position.y = static_cast<float>(value);
                        if (static_cast<int>(i) == axis[2]) position.z = static_cast<float>(value);
                    }
                    continue;
                }
                double count = 0.0;
                if (!body.next(p.count_type, count)) return ended(e);
                if (!(count >= 0.0) || count > static_cast<double>(body.remaining())) {
                    return fail_import("a list in element \"" + e.name + "\" has a bad length");
                }
                const auto items = static_cast<std::uint64_t>(count);
                const bool is_ring = face && static_cast<int>(i) == ring;
                if (is_ring) ring_start_.push_back(static_cast<std::uint32_t>(ring_items_.size()));
                bool valid = true;
                for (std::uint64_t k = 0; k < items; ++k) {
                    if (!body.next(p.type, value)) return ended(e);
                    if (!is_ring) continue;
                    // The ring stops at the first index outside the vertex list.
                    valid = valid && value >= 0.0 && value < index_limit_ &&
                            value == std::floor(value);
                    if (valid) ring_items_.push_back(static_cast<std::uint32_t>(value));
                }
                if (is_ring && items < 3) ring_items_.resize(ring_start_.back());
            }
            if (vertex) {
                if (!std::isfinite(position.x) || !std::isfinite(position.y) ||
                    !std::isfinite(position.z)) {
                    return fail_import("a vertex coordinate is not a finite number");
                }
                positions_.push_back(position);
            }
        }
        return true;
    }

    bool ended(const Element& e) {
        return fail_import("the file ends early or holds a bad number in element \"" + e.name +
                           "\"");
    }

    bool build(Mesh& mesh) {
        if (positions_.size() != vertex_count_) return fail_import("it has no vertex element");
        ring_start_.push_back(static_cast<std::uint32_t>(ring_items_.size()));
        const std::size_t faces = ring_start_.size() - 1;
        mesh.reserve(positions_.size(), ring_items_.size() * 2, ring_items_.size(), faces);
        for (const Vec3& p : positions_) mesh.add_vertex(p);
        for (std::size_t f = 0; f < faces; ++f) {
            const std::uint32_t* r = ring_items_.data() + ring_start_[f];
            const std::size_t n = ring_start_[f + 1] - ring_start_[f];
            if (n == 3) {
                mesh.add_triangle(r[0], r[1], r[2]);
            } else if (n == 4) {
                mesh.add_quad(r[0], r[1], r[2], r[3]);
            } else if (n > 4) {
                mesh.add_ngon(std::span<const VertexId>(r, n));
            }
        }
        return detail::weld_link_and_check(mesh);
    }

    Format format_ = Format::kAscii;
    std::vector<Element> elements_;
    std::size_t body_offset_ = 0;
    std::uint64_t vertex_count_ = 0;  // as the header declares
    double index_limit_ = 0.0;        // face indices must lie below this
    std::vector<Vec3> positions_;
    std::vector<std::uint32_t> ring_start_;  // per face, into ring_items_
    std::vector<std::uint32_t> ring_items_;
};

}  // namespace

std::string format_ply(const Mesh& mesh) {
    const std::span<const Vertex> vs = mesh.vertices();
    const std::span<const Face> fs = mesh.faces();
    const std::vector<std::uint32_t> number = detail::number_alive_vertices(mesh, 0);
    std::uint64_t vertex_count = 0, face_count = 0;
    for (const Vertex& v : vs) vertex_count += v.alive;
    for (const Face& f : fs) face_count += f.alive;

    std::string out;
    out.reserve(vs.size() * 30 + fs.size() * 24 + 256);
    out += "ply\nformat ascii 1.0\ncomment Korvan PLY export\nelement vertex ";
    detail::append_uint(out, vertex_count);
    out += "\nproperty float x\nproperty float y\nproperty float z\nelement face ";
    detail::append_uint(out, face_count);
    out += "\nproperty list uchar int vertex_indices\nend_header\n";
    for (const Vertex& v : vs) {
        if (!v.alive) continue;
        detail::append_number(out, v.position.x);
        out += ' ';
        detail::append_number(out, v.position.y);
        out += ' ';
        detail::append_number(out, v.position.z);
        out += '\n';
    }
    std::vector<std::uint32_t> ring;
    for (FaceId f = 0; f < fs.size(); ++f) {
        if (!fs[f].alive) continue;
        ring.clear();
        detail::for_each_ring_half_edge(mesh, f, [&](HalfEdgeId h) {
            const VertexId v = mesh.half_edges()[h].origin;
            ring.push_back(v < number.size() ? number[v] : 0);
        });
        detail::append_uint(out, ring.size());
        for (const std::uint32_t n : ring) {
            out += ' ';
            detail::append_uint(out, n);
        }
        out += '\n';
    }
    return out;
}

bool export_ply(const std::filesystem::path& path, const Mesh& mesh) {
    return platform::write_file_atomic(path, format_ply(mesh));
}

bool parse_ply(std::string_view bytes, Mesh& mesh) {
    detail::clear_import_error();
    mesh = Mesh();
    return PlyReader().read(bytes, mesh);
}

bool import_ply(const std::filesystem::path& path, Mesh& mesh) {
    detail::clear_import_error();
    mesh = Mesh();
    std::string bytes;
    if (!detail::read_whole_file(path, bytes)) return false;
    return parse_ply(bytes, mesh);
}

}  // namespace korvan::io
