#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/mesh.h"
#include "io/korv_edge_link.h"
#include "io/korv_parse.h"

// Mesh blocks of the .korv reader. The FACES block re-creates each face with add_ngon, so
// face j of the file gets id j; when the block ends the faces are linked into one surface
// and the vertex fans are kept until the block's ENDM line, so the edge-flag lists that
// follow can find the edges between their vertex pairs.
//
// The linking goes through the vertex fans rather than Mesh::link_shared_edges, which pairs
// the same sides (a test holds the two to identical tables) but builds its side records
// afresh: for a million quads that is about 100 MB of scratch on top of the file text and
// the mesh, where the fans, needed anyway for the flags, cost a fifth of that.

namespace korvan::io::korv {
namespace {

constexpr std::string_view kNoVertices = "The file is damaged: a MESH block has no VERTICES line.";

class MeshReader {
  public:
    MeshReader(Parser& parser, Mesh& mesh) : p_(parser), mesh_(mesh) {}

    MeshEnd run() {
        std::string_view line;
        if (!p_.next_line(line)) return MeshEnd::kEndText;
        if (keyword_of(line) != "VERTICES") {
            p_.fail(kNoVertices);
            return MeshEnd::kFailed;
        }
        if (!read_vertices(line)) return MeshEnd::kFailed;
        while (p_.next_line(line)) {
            const std::string_view kw = keyword_of(line);
            if (kw.starts_with("ENDM")) return MeshEnd::kEndMesh;
            if (is_end_line(line)) return MeshEnd::kEndFile;
            if (!read_block(kw, line)) return MeshEnd::kFailed;
        }
        return MeshEnd::kEndText;
    }

  private:
    // Dispatches one sub-block; lines that start none are skipped.
    bool read_block(std::string_view kw, std::string_view line) {
        if (kw == "FACES") return read_faces(line);
        if (kw == "GUIDES") return read_counted(kw, line, &MeshReader::read_guide);
        if (kw == "CURVES") return read_counted(kw, line, &MeshReader::read_curve);
        if (kw == "NOTES") return read_counted(kw, line, &MeshReader::read_note);
        if (kw == "DIMENSIONS") return read_counted(kw, line, &MeshReader::read_dimension);
        if (kw == "FACE_UV") return read_counted(kw, line, &MeshReader::read_face_uv);
        if (kw == "FACE_EXTRAS") return read_counted(kw, line, &MeshReader::read_face_extras);
        if (kw == "SOFT_EDGES") return read_counted(kw, line, &MeshReader::read_soft_pair);
        if (kw == "HIDDEN_EDGES") return read_counted(kw, line, &MeshReader::read_hidden_pair);
        if (kw == "SEAM_EDGES") return read_counted(kw, line, &MeshReader::read_seam_pair);
        if (kw == "LAYER_VIS") {
            if (!parse_count(line, layer_lines_)) return p_.fail();
            return read_counted(kw, line, &MeshReader::read_layer);
        }
        return true;
    }

    // Checks the declared count, then hands each record line to read_record.
    bool read_counted(std::string_view kw, std::string_view header,
                      bool (MeshReader::*read_record)(std::string_view)) {
        std::uint64_t count = 0;
        if (!parse_count(header, count)) return p_.fail();
        if (!p_.check_count(kw, count)) return false;
        std::string_view line;
        for (std::uint64_t i = 0; i < count; ++i) {
            if (!p_.record_line(kw, line)) return false;
            if (!(this->*read_record)(line)) return p_.fail();
        }
        return true;
    }

    bool read_vertices(std::string_view header) {
        std::uint64_t count = 0;
        if (!parse_count(header, count)) return p_.fail();
        if (!p_.check_count("VERTICES", count)) return false;
        // A vertex line takes at least 8 bytes ("1 0 0 0" and its line feed).
        mesh_.reserve(std::min<std::uint64_t>(count, p_.bytes_left() / 8), 0, 0, 0);
        std::string_view line;
        for (std::uint64_t i = 0; i < count; ++i) {
            if (!p_.record_line("VERTICES", line)) return false;
            Fields f(line);
            bool alive = true;
            Vec3 pos;
            if (!f.read_bool(alive) || !f.read_vec(pos.x, pos.y, pos.z) || !f.done()) {
                return p_.fail();
            }
            const VertexId v = mesh_.add_vertex(pos);
            if (!alive) mesh_.vertex_mut(v).alive = false;
        }
        return true;
    }

    // Sum of the corner counts of the next `count` face lines, each capped by what its line
    // could hold (two bytes per corner), so a lying count cannot reserve more than the text
    // could describe.
    std::uint64_t corner_total(std::uint64_t count) const {
        std::string_view rest = p_.remaining();
        std::uint64_t total = 0;
        for (std::uint64_t i = 0; i < count && !rest.empty(); ++i) {
            const std::size_t nl = rest.find('\n');
            const std::string_view line = rest.substr(0, nl);
            std::uint64_t k = 0;
            Fields f(line);
            if (f.read(k)) total += std::min<std::uint64_t>(k, line.size() / 2);
            if (nl == std::string_view::npos) break;
            rest.remove_prefix(nl + 1);
        }
        return total;
    }

    bool read_faces(std::string_view header) {
        std::uint64_t count = 0;
        if (!parse_count(header, count)) return p_.fail();
        if (!p_.check_count("FACES", count)) return false;
        const std::uint64_t corners = corner_total(count);
        // A face line takes at least 14 bytes ("3 0 0 1 0 1 2" and its line feed).
        mesh_.reserve(0, 2 * corners, corners,
                      std::min<std::uint64_t>(count, p_.bytes_left() / 14));
        std::vector<VertexId> ring;
        std::string_view line;
        for (std::uint64_t i = 0; i < count; ++i) {
            if (!p_.record_line("FACES", line)) return false;
            Fields f(line);
            std::uint64_t k = 0;
            std::uint32_t material = 0, layer = 0;
            bool visible = true;
            if (!f.read(k) || !f.read(material) || !f.read(layer) || !f.read_bool(visible)) {
                return p_.fail();
            }
            // A layer beyond the file's size in bytes could not have its LAYER_VIS lines in
            // the file, and writing the model back would try to list them all.
            if (layer != kInvalidLayer && layer >= p_.total_bytes()) return p_.fail();
            ring.clear();
            for (std::uint64_t c = 0; c < k; ++c) {
                VertexId v = 0;
                if (!f.read(v)) return p_.fail();
                ring.push_back(v);
            }
            if (!f.done()) return p_.fail();
            const std::optional<FaceId> face = mesh_.add_ngon(ring);
            if (!face) return p_.fail();
            Face& rec = mesh_.face_mut(*face);
            rec.material_id = material;
            rec.layer_id = layer;
            rec.visible = visible;
        }
        mesh_.mark_changed(kFaceTableBit);
        fans_.emplace(mesh_);
        fans_->link(mesh_);
        return true;
    }

    bool read_guide(std::string_view line) {
        Fields f(line);
        std::uint32_t one = 0;
        Vec3 a, b;
        bool infinite = false;
        if (!f.read(one) || !f.read_vec(a.x, a.y, a.z) || !f.read_vec(b.x, b.y, b.z) ||
            !f.read_bool(infinite) || !f.done()) {
            return false;
        }
        mesh_.add_guide(a, b, infinite);
        return true;
    }

    bool read_curve(std::string_view line) {
        Fields f(line);
        Curve curve;
        std::uint64_t points = 0;
        if (!f.read_bool(curve.alive) || !f.read_bool(curve.closed) || !f.read(points)) {
            return false;
        }
        for (std::uint64_t i = 0; i < points; ++i) {
            Vec3 p;
            if (!f.read_vec(p.x, p.y, p.z)) return false;
            curve.points.push_back(p);
        }
        const std::string_view word = f.word();
        if (word == "arc") {
            curve.kind = CurveKind::kArc;
        } else if (word == "bound") {
            curve.kind = CurveKind::kBoundary;
        } else if (!word.empty()) {
            return false;
        }
        if (!f.done()) return false;
        mesh_.add_curve(std::move(curve));
        return true;
    }

    bool read_note(std::string_view line) {
        const std::size_t tab = line.find('\t');
        Fields f(line.substr(0, tab));
        Note note;
        if (!f.read_bool(note.alive) || !f.read_bool(note.flag) || !f.read(note.number_a) ||
            !f.read(note.number_b) || !f.read_vec(note.a.x, note.a.y, note.a.z) ||
            !f.read_vec(note.b.x, note.b.y, note.b.z) || !f.done()) {
            return false;
        }
        if (tab != std::string_view::npos) note.text = std::string(line.substr(tab + 1));
        mesh_.add_note(std::move(note));
        return true;
    }

    static bool read_anchor(Fields& f, DimensionAnchor& anchor) {
        return f.read(anchor.kind) && f.read(anchor.id) && f.read(anchor.param);
    }

    bool read_dimension(std::string_view line) {
        const std::size_t tab = line.find('\t');
        const std::string_view numbers = line.substr(0, tab);
        Fields f(numbers);
        Dimension d;
        if (!f.read_vec(d.a.x, d.a.y, d.a.z) || !f.read_vec(d.b.x, d.b.y, d.b.z) ||
            !f.read(d.value)) {
            return false;
        }
        // What follows is told apart by its length: nothing, the direction (3 numbers), the
        // associative tail (17) or both (20).
        std::size_t tokens = 0;
        {
            Fields count_only(f.rest());
            float ignored = 0.0f;
            while (count_only.read(ignored)) ++tokens;
            if (!count_only.done()) return false;
        }
        if (tokens == 17 || tokens == 20) {
            bool ok = f.read(d.tail_int_a);
            for (float& t : d.tail_numbers_a) ok = ok && f.read(t);
            ok = ok && f.read(d.tail_int_b);
            for (float& t : d.tail_numbers_b) ok = ok && f.read(t);
            ok = ok && read_anchor(f, d.anchor_a) && read_anchor(f, d.anchor_b);
            if (!ok) return false;
        } else if (tokens != 0 && tokens != 3) {
            return false;
        }
        if (tokens == 3 || tokens == 20) {
            if (!f.read_vec(d.direction.x, d.direction.y, d.direction.z)) return false;
        }
        if (!f.done()) return false;
        if (tab != std::string_view::npos) d.label = std::string(line.substr(tab + 1));
        mesh_.add_dimension(std::move(d));
        return true;
    }

    bool read_face_uv(std::string_view line) {
        Fields f(line);
        FaceId face = 0;
        std::uint64_t corners = 0;
        if (!f.read(face) || !f.read(corners) || !mesh_.face_usable(face)) return false;
        const std::vector<HalfEdgeId> ring = mesh_.face_half_edges(face);
        if (ring.size() != corners) return false;
        for (const HalfEdgeId h : ring) {
            float u = 0.0f, v = 0.0f;
            if (!f.read(u) || !f.read(v)) return false;
            mesh_.set_corner_uv(h, u, v);
        }
        return f.done();
    }

    bool read_face_extras(std::string_view line) {
        Fields f(line);
        FaceId face = 0;
        std::int32_t tag = -1;
        bool flag_1 = true, flag_2 = true;
        if (!f.read(face) || !f.read(tag) || !f.read_bool(flag_1) || !f.read_bool(flag_2) ||
            !f.done() || !mesh_.face_usable(face)) {
            return false;
        }
        Face& rec = mesh_.face_mut(face);
        rec.tag = tag;
        rec.extra_flag_1 = flag_1;
        rec.extra_flag_2 = flag_2;
        return true;
    }

    template <class Set>
    bool read_pair(std::string_view line, Set&& set) {
        Fields f(line);
        VertexId a = 0, b = 0;
        if (!f.read(a) || !f.read(b) || !f.done()) return false;
        // Without faces there are no edges to flag.
        if (fans_) fans_->for_edges_between(a, b, [&](EdgeId e) { set(mesh_.edge_mut(e)); });
        return true;
    }
    bool read_soft_pair(std::string_view line) {
        return read_pair(line, [](Edge& e) { e.soft = true; });
    }
    bool read_hidden_pair(std::string_view line) {
        return read_pair(line, [](Edge& e) { e.visible = false; });
    }
    bool read_seam_pair(std::string_view line) {
        return read_pair(line, [](Edge& e) { e.seam = true; });
    }

    bool read_layer(std::string_view line) {
        Fields f(line);
        std::uint32_t layer = 0;
        bool visible = true;
        // The block lists layers 0 .. count - 1; a layer outside that is not from a writer
        // and would make the visibility list as long as the number says.
        if (!f.read(layer) || !f.read_bool(visible) || !f.done() || layer >= layer_lines_) {
            return false;
        }
        mesh_.set_layer_visible(layer, visible);
        return true;
    }

    Parser& p_;
    Mesh& mesh_;
    std::optional<VertexFans> fans_;
    std::uint64_t layer_lines_ = 0;
};

}  // namespace

bool is_end_line(std::string_view line) {
    const std::string_view kw = keyword_of(line);
    return kw == "ENDKORVAN" || kw == "ENDNERVA";
}

MeshEnd read_mesh_block(Parser& parser, Mesh& mesh) { return MeshReader(parser, mesh).run(); }

}  // namespace korvan::io::korv
