#include "io/dxf_write.h"

#include <charconv>
#include <cstdint>

#include "core/mesh.h"
#include "platform/atomic_file.h"

namespace korvan::io {
namespace {

// Text as a drawing file carries it: ASCII, with every other character as \U+XXXX (UTF-16
// units), and line breaks turned into blanks because a value line ends at one.
std::string dxf_text(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    auto unit = [&](std::uint32_t u) {
        out += "\\U+";
        for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(u >> shift) & 0xF];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += c == '\n' || c == '\r' ? ' ' : static_cast<char>(c);
            ++i;
            continue;
        }
        // Decode one UTF-8 sequence; a malformed byte stands for itself (Latin-1).
        const int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        std::uint32_t cp = len == 1 ? c : c & (0x7F >> len);
        bool ok = len > 1 && i + len <= text.size();
        for (int k = 1; ok && k < len; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            ok = (b & 0xC0) == 0x80;
            cp = (cp << 6) | (b & 0x3F);
        }
        if (!ok) {
            unit(c);
            ++i;
            continue;
        }
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
        i += static_cast<std::size_t>(len);
    }
    return out;
}

}  // namespace

void DxfWriter::pair(int code, std::string_view value) {
    char buf[24];
    entities_.append(buf, std::to_chars(buf, buf + sizeof buf, code).ptr);
    entities_ += '\n';
    entities_ += value;
    entities_ += '\n';
}

void DxfWriter::pair_int(int code, long long value) {
    char buf[24];
    entities_.append(buf, std::to_chars(buf, buf + sizeof buf, code).ptr);
    entities_ += '\n';
    entities_.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
    entities_ += '\n';
}

void DxfWriter::pair(int code, double value) {
    char buf[32];
    entities_.append(buf, std::to_chars(buf, buf + sizeof buf, code).ptr);
    entities_ += '\n';
    // Six significant digits, as text streams print by default; never "-0".
    if (value == 0.0) value = 0.0;
    entities_.append(buf, std::to_chars(buf, buf + sizeof buf, static_cast<float>(value),
                                        std::chars_format::general, 6)
                              .ptr);
    entities_ += '\n';
}

void DxfWriter::begin(std::string_view kind, std::string_view layer) {
    pair(0, kind);
    pair(8, layer.empty() ? std::string_view("0") : layer);
    ++entities_count_;
}

void DxfWriter::add_layer(std::string_view name, int colour) {
    const std::string key = "\n" + std::string(name) + "\n";
    if (("\n" + declared_).find(key) != std::string::npos) return;
    declared_ += std::string(name) + "\n";
    // The record is built in the entity buffer's format and moved to the layer table.
    std::string saved;
    saved.swap(entities_);
    pair(0, "LAYER");
    pair(2, name);
    pair_int(70, 0);
    pair_int(62, colour);
    pair(6, "CONTINUOUS");
    layers_ += entities_;
    entities_.swap(saved);
    ++layer_count_;
}

void DxfWriter::line(std::string_view layer, const Vec3& a, const Vec3& b) {
    begin("LINE", layer);
    pair(10, a.x);
    pair(20, a.y);
    pair(30, a.z);
    pair(11, b.x);
    pair(21, b.y);
    pair(31, b.z);
}

void DxfWriter::polyline(std::string_view layer, std::span<const Vec3> points, bool closed) {
    if (points.size() < 2) return;
    // The classic POLYLINE with VERTEX records: every reader of an ENTITIES-only file knows
    // it, where the lighter LWPOLYLINE needs the newer file layout around it.
    begin("POLYLINE", layer);
    pair_int(66, 1);
    pair_int(70, closed ? 1 : 0);
    pair(10, 0.0);
    pair(20, 0.0);
    pair(30, points.front().z);
    for (const Vec3& p : points) {
        pair(0, "VERTEX");
        pair(8, layer.empty() ? std::string_view("0") : layer);
        pair(10, p.x);
        pair(20, p.y);
        pair(30, points.front().z);
    }
    pair(0, "SEQEND");
    pair(8, layer.empty() ? std::string_view("0") : layer);
}

void DxfWriter::text(std::string_view layer, const Vec3& at, float height, std::string_view text,
                     float rotation_deg) {
    begin("TEXT", layer);
    pair(10, at.x);
    pair(20, at.y);
    pair(30, at.z);
    pair(40, height);
    pair(1, dxf_text(text));
    if (rotation_deg != 0.0f) pair(50, rotation_deg);
}

std::string DxfWriter::finish() const {
    std::string out;
    out.reserve(layers_.size() + entities_.size() + 128);
    if (layer_count_) {
        char buf[24];
        out += "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n70\n";
        out.append(buf, std::to_chars(buf, buf + sizeof buf, layer_count_).ptr);
        out += '\n';
        out += layers_;
        out += "0\nENDTAB\n0\nENDSEC\n";
    }
    out += "0\nSECTION\n2\nENTITIES\n";
    out += entities_;
    out += "0\nENDSEC\n0\nEOF\n";
    return out;
}

bool export_dxf(const std::filesystem::path& path, const Mesh& mesh) {
    DxfWriter writer;
    const auto edges = mesh.edges();
    const auto vertices = mesh.vertices();
    for (EdgeId e = 0; e < edges.size(); ++e) {
        if (!edges[e].alive) continue;
        const auto ends = mesh.edge_vertices(e);
        if (!mesh.vertex_usable(ends[0]) || !mesh.vertex_usable(ends[1])) continue;
        writer.line("0", vertices[ends[0]].position, vertices[ends[1]].position);
    }
    return platform::write_file_atomic(path, writer.finish());
}

}  // namespace korvan::io
