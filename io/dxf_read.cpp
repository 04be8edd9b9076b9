#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <span>

#include "io/dxf_drawing.h"

// DXF is a flat list of (group code, value) pairs, each on its own line. The reader first
// splits the text into pairs, then walks them: code 0 starts a record (SECTION, an entity,
// BLOCK, ...), and the codes up to the next 0 are its fields. Unknown records are skipped
// field by field, so a drawing full of entities this program does not read still imports.

namespace korvan::io {
namespace {

struct Pair {
    int code = 0;
    std::string_view value;
};

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// The pairs of the text; none when a code line is not an integer.
std::optional<std::vector<Pair>> split_pairs(std::string_view text) {
    std::vector<Pair> pairs;
    pairs.reserve(text.size() / 16);
    std::size_t at = 0;
    auto next_line = [&](std::string_view& line) {
        if (at >= text.size()) return false;
        const std::size_t end = text.find('\n', at);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        line = text.substr(at, stop - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        return true;
    };
    std::string_view code_line, value_line;
    while (next_line(code_line)) {
        code_line = trim(code_line);
        if (code_line.empty() && at >= text.size()) break;  // a final blank line
        int code = 0;
        auto [ptr, ec] =
            std::from_chars(code_line.data(), code_line.data() + code_line.size(), code);
        if (ec != std::errc{} || ptr != code_line.data() + code_line.size()) return std::nullopt;
        if (!next_line(value_line)) value_line = {};
        pairs.push_back({code, trim(value_line)});
        if (code == 0 && pairs.back().value == "EOF") break;
    }
    return pairs;
}

double to_double(std::string_view s) {
    double v = 0.0;
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || !std::isfinite(v)) return 0.0;
    return v;
}

std::int64_t to_int(std::string_view s) {
    std::int64_t v = 0;
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

// DXF names compare without regard to ASCII case.
bool same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

// Sets one coordinate of a point from codes base+0 (x), base+10 (y), base+20 (z).
bool point_field(const Pair& p, int base, DrawingPoint& point) {
    if (p.code == base)
        point[0] = to_double(p.value);
    else if (p.code == base + 10)
        point[1] = to_double(p.value);
    else if (p.code == base + 20)
        point[2] = to_double(p.value);
    else
        return false;
    return true;
}

class DxfParser {
  public:
    DxfParser(const std::vector<Pair>& pairs, Drawing& drawing)
        : pairs_(pairs), drawing_(drawing) {}

    void run() {
        std::string_view section;
        while (at_ < pairs_.size()) {
            const Pair& p = pairs_[at_];
            if (p.code != 0) {
                if (section == "HEADER") read_header_field(p);
                ++at_;
                continue;
            }
            if (p.value == "EOF") return;
            if (p.value == "SECTION") {
                ++at_;
                section = at_ < pairs_.size() && pairs_[at_].code == 2 ? pairs_[at_].value : "";
                if (at_ < pairs_.size() && pairs_[at_].code == 2) ++at_;
                continue;
            }
            if (p.value == "ENDSEC") {
                section = {};
                block_ = nullptr;
                ++at_;
                continue;
            }
            if (section == "BLOCKS" && p.value == "BLOCK") {
                read_block_start();
                continue;
            }
            if (section == "BLOCKS" && p.value == "ENDBLK") {
                block_ = nullptr;
                skip_record();
                continue;
            }
            if (section == "ENTITIES" || (section == "BLOCKS" && block_)) {
                read_entity();
                continue;
            }
            skip_record();
        }
    }

  private:
    void read_header_field(const Pair& p) {
        if (p.code == 9)
            header_var_ = p.value;
        else if (p.code == 70 && header_var_ == "$INSUNITS")
            drawing_.insunits = to_int(p.value);
    }

    // Moves past the current code-0 pair and its fields.
    void skip_record() {
        ++at_;
        while (at_ < pairs_.size() && pairs_[at_].code != 0) ++at_;
    }

    // The fields of the record at at_ (excluding its code-0 pair); moves past them.
    std::span<const Pair> take_record() {
        const std::size_t start = ++at_;
        while (at_ < pairs_.size() && pairs_[at_].code != 0) ++at_;
        return {pairs_.data() + start, at_ - start};
    }

    void read_block_start() {
        DrawingBlock block;
        for (const Pair& p : take_record()) {
            if (p.code == 2)
                block.name = std::string(p.value);
            else
                point_field(p, 10, block.base);
        }
        drawing_.blocks.push_back(std::move(block));
        block_ = &drawing_.blocks.back().entities;
    }

    DrawingEntities& target() { return block_ ? *block_ : drawing_.model; }

    static bool in_paper_space(std::span<const Pair> fields) {
        for (const Pair& p : fields) {
            if (p.code == 67) return to_int(p.value) == 1;
        }
        return false;
    }

    void read_entity() {
        const std::string_view kind = pairs_[at_].value;
        if (kind == "POLYLINE") {
            read_polyline();
            return;
        }
        const std::span<const Pair> fields = take_record();
        if (!block_ && in_paper_space(fields)) return;
        if (kind == "LINE")
            read_line(fields);
        else if (kind == "LWPOLYLINE")
            read_lwpolyline(fields);
        else if (kind == "ARC" || kind == "CIRCLE")
            read_arc(fields, kind == "CIRCLE");
        else if (kind == "ELLIPSE")
            read_ellipse(fields);
        else if (kind == "SPLINE")
            read_spline(fields);
        else if (kind == "INSERT")
            read_insert(fields);
        else if (kind == "3DFACE")
            read_3dface(fields);
    }

    void read_line(std::span<const Pair> fields) {
        DrawingPolyline line;
        line.points.assign(2, DrawingPoint{});
        for (const Pair& p : fields) {
            if (p.code == 5)
                line.handle = std::string(p.value);
            else if (!point_field(p, 10, line.points[0]))
                point_field(p, 11, line.points[1]);
        }
        target().polylines.push_back(std::move(line));
    }

    void read_lwpolyline(std::span<const Pair> fields) {
        DrawingPolyline poly;
        double elevation = 0.0;
        bool any_bulge = false;
        for (const Pair& p : fields) {
            switch (p.code) {
                case 5:
                    poly.handle = std::string(p.value);
                    break;
                case 10:
                    poly.points.push_back({to_double(p.value), 0.0, 0.0});
                    poly.bulges.push_back(0.0);
                    break;
                case 20:
                    if (!poly.points.empty()) poly.points.back()[1] = to_double(p.value);
                    break;
                case 38:
                    elevation = to_double(p.value);
                    break;
                case 42:
                    if (!poly.bulges.empty()) {
                        poly.bulges.back() = to_double(p.value);
                        any_bulge = true;
                    }
                    break;
                case 70:
                    poly.closed = (to_int(p.value) & 1) != 0;
                    break;
                default:
                    point_field(p, 210, poly.extrusion);
                    break;
            }
        }
        for (DrawingPoint& q : poly.points) q[2] = elevation;
        if (!any_bulge) poly.bulges.clear();
        target().polylines.push_back(std::move(poly));
    }

    // POLYLINE, then VERTEX records, then SEQEND. Polyface meshes (flag 64) carry their
    // vertices first and then face records naming them by 1-based index.
    void read_polyline() {
        const std::span<const Pair> head = take_record();
        const bool paper = !block_ && in_paper_space(head);
        DrawingPolyline poly;
        std::int64_t flags = 0;
        double elevation = 0.0;
        for (const Pair& p : head) {
            if (p.code == 5)
                poly.handle = std::string(p.value);
            else if (p.code == 70)
                flags = to_int(p.value);
            else if (p.code == 30)
                elevation = to_double(p.value);
            else
                point_field(p, 210, poly.extrusion);
        }
        const bool polyface = (flags & 64) != 0;
        const bool is_3d = (flags & (8 | 16 | 64)) != 0;
        poly.closed = (flags & 1) != 0;
        bool any_bulge = false;
        std::vector<DrawingPoint> mesh_points;
        std::vector<DrawingFace> faces;
        while (at_ < pairs_.size() && pairs_[at_].code == 0 && pairs_[at_].value == "VERTEX") {
            DrawingPoint q{0.0, 0.0, elevation};
            double bulge = 0.0;
            std::int64_t vflags = 0;
            std::array<std::int64_t, 4> refs{};
            for (const Pair& p : take_record()) {
                if (p.code == 42)
                    bulge = to_double(p.value);
                else if (p.code == 70)
                    vflags = to_int(p.value);
                else if (p.code >= 71 && p.code <= 74)
                    refs[static_cast<std::size_t>(p.code - 71)] = to_int(p.value);
                else
                    point_field(p, 10, q);
            }
            if (polyface) {
                if (vflags & 64) {
                    mesh_points.push_back(q);
                } else if (vflags & 128) {
                    DrawingFace face;
                    for (std::int64_t r : refs) {
                        // A negative index marks an invisible edge; the corner is the same.
                        const std::int64_t index = r < 0 ? -r : r;
                        if (index >= 1 && static_cast<std::size_t>(index) <= mesh_points.size()) {
                            face.points.push_back(mesh_points[static_cast<std::size_t>(index - 1)]);
                        }
                    }
                    faces.push_back(std::move(face));
                }
                continue;
            }
            if (vflags & 16) continue;  // spline frame control point, not on the curve
            if (!is_3d) q[2] = elevation;
            poly.points.push_back(q);
            poly.bulges.push_back(bulge);
            any_bulge = any_bulge || bulge != 0.0;
        }
        if (at_ < pairs_.size() && pairs_[at_].code == 0 && pairs_[at_].value == "SEQEND")
            skip_record();
        if (paper) return;
        if (polyface) {
            for (DrawingFace& f : faces) target().faces.push_back(std::move(f));
            return;
        }
        if (!any_bulge) poly.bulges.clear();
        if (is_3d) poly.extrusion = kWorldZ;
        target().polylines.push_back(std::move(poly));
    }

    void read_arc(std::span<const Pair> fields, bool circle) {
        DrawingArc arc;
        arc.is_circle = circle;
        for (const Pair& p : fields) {
            switch (p.code) {
                case 5:
                    arc.handle = std::string(p.value);
                    break;
                case 40:
                    arc.radius = to_double(p.value);
                    break;
                case 50:
                    arc.start_deg = to_double(p.value);
                    break;
                case 51:
                    arc.end_deg = to_double(p.value);
                    break;
                default:
                    if (!point_field(p, 10, arc.centre)) point_field(p, 210, arc.extrusion);
            }
        }
        if (circle) arc.start_deg = 0.0;
        target().arcs.push_back(std::move(arc));
    }

    void read_ellipse(std::span<const Pair> fields) {
        DrawingEllipse e;
        for (const Pair& p : fields) {
            switch (p.code) {
                case 5:
                    e.handle = std::string(p.value);
                    break;
                case 40:
                    e.ratio = to_double(p.value);
                    break;
                case 41:
                    e.start_param = to_double(p.value);
                    break;
                case 42:
                    e.end_param = to_double(p.value);
                    break;
                default:
                    if (!point_field(p, 10, e.centre) && !point_field(p, 11, e.major)) {
                        point_field(p, 210, e.extrusion);
                    }
            }
        }
        target().ellipses.push_back(std::move(e));
    }

    void read_spline(std::span<const Pair> fields) {
        DrawingSpline s;
        for (const Pair& p : fields) {
            switch (p.code) {
                case 5:
                    s.handle = std::string(p.value);
                    break;
                case 70:
                    s.flags = static_cast<std::uint32_t>(to_int(p.value));
                    break;
                case 71:
                    s.degree =
                        static_cast<int>(std::clamp<std::int64_t>(to_int(p.value), -1, 1000));
                    break;
                case 40:
                    s.knots.push_back(to_double(p.value));
                    break;
                case 41:
                    s.weights.push_back(to_double(p.value));
                    break;
                case 10:
                    s.control.push_back({to_double(p.value), 0.0, 0.0});
                    break;
                case 20:
                    if (!s.control.empty()) s.control.back()[1] = to_double(p.value);
                    break;
                case 30:
                    if (!s.control.empty()) s.control.back()[2] = to_double(p.value);
                    break;
                case 11:
                    s.fit.push_back({to_double(p.value), 0.0, 0.0});
                    break;
                case 21:
                    if (!s.fit.empty()) s.fit.back()[1] = to_double(p.value);
                    break;
                case 31:
                    if (!s.fit.empty()) s.fit.back()[2] = to_double(p.value);
                    break;
                default:
                    break;
            }
        }
        target().splines.push_back(std::move(s));
    }

    void read_insert(std::span<const Pair> fields) {
        DrawingInsert ins;
        for (const Pair& p : fields) {
            switch (p.code) {
                case 2:
                    ins.block = std::string(p.value);
                    break;
                case 5:
                    ins.handle = std::string(p.value);
                    break;
                case 41:
                    ins.scale[0] = to_double(p.value);
                    break;
                case 42:
                    ins.scale[1] = to_double(p.value);
                    break;
                case 43:
                    ins.scale[2] = to_double(p.value);
                    break;
                case 50:
                    ins.rotation_deg = to_double(p.value);
                    break;
                default:
                    if (!point_field(p, 10, ins.point)) point_field(p, 210, ins.extrusion);
            }
        }
        target().inserts.push_back(std::move(ins));
    }

    void read_3dface(std::span<const Pair> fields) {
        std::array<DrawingPoint, 4> corners{};
        for (const Pair& p : fields) {
            for (int c = 0; c < 4; ++c)
                point_field(p, 10 + c, corners[static_cast<std::size_t>(c)]);
        }
        DrawingFace face;
        // A triangle repeats its third corner as the fourth.
        for (const DrawingPoint& q : corners) {
            if (face.points.empty() || face.points.back() != q) face.points.push_back(q);
        }
        if (face.points.size() > 3 && face.points.back() == face.points.front())
            face.points.pop_back();
        target().faces.push_back(std::move(face));
    }

    const std::vector<Pair>& pairs_;
    Drawing& drawing_;
    std::size_t at_ = 0;
    std::string_view header_var_;
    DrawingEntities* block_ = nullptr;  // the open block's entities, null in model space
};

}  // namespace

bool parse_dxf(std::string_view text, Drawing& drawing) {
    const auto pairs = split_pairs(text);
    // An empty file is no drawing either.
    if (!pairs || pairs->empty()) return false;
    DxfParser(*pairs, drawing).run();
    return true;
}

bool same_drawing_name(std::string_view a, std::string_view b) { return same_name(a, b); }

}  // namespace korvan::io
