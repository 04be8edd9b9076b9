#include "document/slab_solid.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

#include "core/dvec3.h"
#include "core/tolerances.h"

// A slab with openings is built on the grid that every opening edge adds to the face: the
// distinct u and v values cut the face into cells, and a cell is solid unless an opening
// covers it. Vertices are grid nodes on the outer (k = 0) or inner (k = 1) face. The outer
// face becomes one rectangle per run of solid cells in each column; each side face covers a
// maximal straight run of the border between solid and empty cells. Every ring walks all the
// grid nodes along its sides, so two faces that meet along a line carry the same vertices
// there and each edge is met exactly once from each side: pairing ring half-edges by their
// end vertices then closes the solid without a T-junction.

namespace korvan {
namespace {

// Sorted grid values from 0 to size: 0 and size exactly, the others dropped when within
// the weld tolerance of the last value kept or of size.
std::vector<float> grid_values(std::vector<float> raw, float size) {
    std::sort(raw.begin(), raw.end());
    std::vector<float> values{0.0f};
    for (const float x : raw) {
        if (x - values.back() > kWeldTolerance && size - x > kWeldTolerance) values.push_back(x);
    }
    values.push_back(size);
    return values;
}

// Index of the grid value nearest x.
std::size_t nearest_index(const std::vector<float>& values, float x) {
    const auto it = std::lower_bound(values.begin(), values.end(), x);
    if (it == values.begin()) return 0;
    if (it == values.end()) return values.size() - 1;
    const auto hi = static_cast<std::size_t>(it - values.begin());
    return x - values[hi - 1] <= values[hi] - x ? hi - 1 : hi;
}

bool usable_size(float s) { return std::isfinite(s) && s > kWeldTolerance; }

// Pairs the ring half-edges of the given faces that run between the same two vertices in
// opposite directions. The faces must have been created by add_ngon and not linked yet.
// Mesh::link_shared_edges would also join naked sides the caller's mesh already had, so the
// pairing stays within the new solid.
void link_faces(Mesh& mesh, const std::vector<FaceId>& faces) {
    struct Side {
        VertexId from = kInvalidId;
        VertexId to = kInvalidId;
        HalfEdgeId half_edge = kInvalidId;
        bool operator<(const Side& o) const {
            return std::array{from, to, half_edge} < std::array{o.from, o.to, o.half_edge};
        }
    };
    std::vector<Side> sides;
    for (const FaceId f : faces) {
        for (const HalfEdgeId h : mesh.face_half_edges(f)) {
            sides.push_back({mesh.half_edges()[h].origin, mesh.half_edge_end(h), h});
        }
    }
    std::sort(sides.begin(), sides.end());
    for (const Side& s : sides) {
        if (s.from > s.to) continue;  // each pair is joined from its lower-to-higher side
        const auto it = std::lower_bound(sides.begin(), sides.end(), Side{s.to, s.from, 0});
        if (it != sides.end() && it->from == s.to && it->to == s.from) {
            mesh.link_half_edges(s.half_edge, it->half_edge);
        }
    }
}

class SlabBuilder {
  public:
    SlabBuilder(Mesh& mesh, const SlabFrame& frame, std::span<const SlabHole> holes)
        : mesh_(mesh), frame_(frame) {
        std::vector<SlabHole> clipped;
        std::vector<float> raw_u, raw_v;
        for (const SlabHole& h : holes) {
            const SlabHole c{std::max(h.u0, 0.0f), std::min(h.u1, frame.length),
                             std::max(h.v0, 0.0f), std::min(h.v1, frame.height)};
            const bool finite = std::isfinite(c.u0) && std::isfinite(c.u1) && std::isfinite(c.v0) &&
                                std::isfinite(c.v1);
            if (!finite || !(c.u1 - c.u0 > kWeldTolerance) || !(c.v1 - c.v0 > kWeldTolerance)) {
                continue;
            }
            clipped.push_back(c);
            raw_u.insert(raw_u.end(), {c.u0, c.u1});
            raw_v.insert(raw_v.end(), {c.v0, c.v1});
        }
        us_ = grid_values(std::move(raw_u), frame.length);
        vs_ = grid_values(std::move(raw_v), frame.height);
        cols_ = us_.size() - 1;
        rows_ = vs_.size() - 1;
        solid_.assign(cols_ * rows_, 1);
        for (const SlabHole& c : clipped) {
            const std::size_t i0 = nearest_index(us_, c.u0), i1 = nearest_index(us_, c.u1);
            const std::size_t j0 = nearest_index(vs_, c.v0), j1 = nearest_index(vs_, c.v1);
            for (std::size_t i = i0; i < i1; ++i) {
                for (std::size_t j = j0; j < j1; ++j) solid_[i * rows_ + j] = 0;
            }
        }
        vertex_ids_.assign((cols_ + 1) * (rows_ + 1) * 4, kInvalidId);
    }

    bool any_solid() const { return std::find(solid_.begin(), solid_.end(), 1) != solid_.end(); }

    std::uint64_t build(const SlabMaterials& materials) {
        add_face_rectangles(materials);
        add_row_sides(materials.sides);
        add_column_sides(materials.sides);
        link_faces(mesh_, faces_);
        return faces_.size();
    }

  private:
    struct Node {
        std::size_t i = 0, j = 0;
    };

    bool solid(std::size_t i, std::size_t j) const { return solid_[i * rows_ + j] != 0; }
    // Solid test that treats everything outside the face as empty.
    bool solid_at(std::ptrdiff_t i, std::ptrdiff_t j) const {
        if (i < 0 || j < 0 || static_cast<std::size_t>(i) >= cols_ ||
            static_cast<std::size_t>(j) >= rows_) {
            return false;
        }
        return solid(static_cast<std::size_t>(i), static_cast<std::size_t>(j));
    }

    // Where only two diagonal cells around a node are solid (openings meeting at a corner),
    // each of them gets its own copy of the node, so that no edge there has four faces.
    std::size_t copy_of(Node n, Node cell) const {
        const auto i = static_cast<std::ptrdiff_t>(n.i), j = static_cast<std::ptrdiff_t>(n.j);
        const bool ll = solid_at(i - 1, j - 1), lr = solid_at(i, j - 1);
        const bool ul = solid_at(i - 1, j), ur = solid_at(i, j);
        const bool pinch = (ll && ur && !lr && !ul) || (lr && ul && !ll && !ur);
        return pinch && cell.i == n.i ? 1 : 0;
    }

    // The vertex at grid node n on the outer (k = 0) or inner (k = 1) face, as seen from the
    // solid cell `cell` next to it.
    VertexId vertex(Node n, int k, Node cell) {
        const std::size_t slot = ((n.i * (rows_ + 1) + n.j) * 2 + copy_of(n, cell)) * 2;
        VertexId& id = vertex_ids_[slot + static_cast<std::size_t>(k)];
        if (id == kInvalidId) {
            const DVec3 u(frame_.u_axis), v(frame_.v_axis);
            const DVec3 into = cross(u, v) * -1.0;
            const double depth = k == 0 ? 0.0 : frame_.thickness;
            const DVec3 p = DVec3(frame_.origin) + u * us_[n.i] + v * vs_[n.j] + into * depth;
            id = mesh_.add_vertex(p.to_vec3());
        }
        return id;
    }

    void add_face(const std::vector<VertexId>& ring, std::uint32_t material) {
        if (const std::optional<FaceId> f = mesh_.add_ngon(ring)) {
            mesh_.face_mut(*f).material_id = material;
            faces_.push_back(*f);
        }
    }

    // Grid nodes from a to b inclusive along one grid line.
    static std::vector<Node> line_nodes(Node a, Node b) {
        std::vector<Node> nodes;
        const auto di = static_cast<std::ptrdiff_t>(b.i) - static_cast<std::ptrdiff_t>(a.i);
        const auto dj = static_cast<std::ptrdiff_t>(b.j) - static_cast<std::ptrdiff_t>(a.j);
        const std::ptrdiff_t steps = std::max(std::abs(di), std::abs(dj));
        const std::ptrdiff_t si = di > 0 ? 1 : (di < 0 ? -1 : 0);
        const std::ptrdiff_t sj = dj > 0 ? 1 : (dj < 0 ? -1 : 0);
        for (std::ptrdiff_t s = 0; s <= steps; ++s) {
            nodes.push_back({static_cast<std::size_t>(static_cast<std::ptrdiff_t>(a.i) + si * s),
                             static_cast<std::size_t>(static_cast<std::ptrdiff_t>(a.j) + sj * s)});
        }
        return nodes;
    }

    // One rectangle per run of solid cells in each column, on the outer face counter-
    // clockwise seen from outside and on the inner face the other way round.
    void add_face_rectangles(const SlabMaterials& materials) {
        std::vector<Node> outline;
        std::vector<VertexId> ring;
        for (std::size_t i = 0; i < cols_; ++i) {
            for (std::size_t j = 0; j < rows_;) {
                if (!solid(i, j)) {
                    ++j;
                    continue;
                }
                std::size_t end = j;
                while (end < rows_ && solid(i, end)) ++end;
                outline.clear();
                outline.push_back({i, j});
                for (const Node n : line_nodes({i + 1, j}, {i + 1, end})) outline.push_back(n);
                for (const Node n : line_nodes({i, end}, {i, j + 1})) outline.push_back(n);
                auto cell_of = [&](Node n) { return Node{i, std::min(n.j, end - 1)}; };
                ring.clear();
                for (const Node n : outline) ring.push_back(vertex(n, 0, cell_of(n)));
                add_face(ring, materials.outer);
                ring.clear();
                for (auto it = outline.rbegin(); it != outline.rend(); ++it) {
                    ring.push_back(vertex(*it, 1, cell_of(*it)));
                }
                add_face(ring, materials.inner);
                j = end;
            }
        }
    }

    // The side face over the border run from a to b, walked with the solid on its left in
    // face coordinates: its ring runs a to b on the inner face and back on the outer face,
    // which makes it look away from the solid. cell_of(node) names the solid cell beside it.
    template <class CellOf>
    void add_side(Node a, Node b, std::uint32_t material, CellOf&& cell_of) {
        const std::vector<Node> nodes = line_nodes(a, b);
        std::vector<VertexId> ring;
        ring.push_back(vertex(nodes.front(), 0, cell_of(nodes.front())));
        for (const Node n : nodes) ring.push_back(vertex(n, 1, cell_of(n)));
        for (std::size_t s = nodes.size(); s-- > 1;) {
            ring.push_back(vertex(nodes[s], 0, cell_of(nodes[s])));
        }
        add_face(ring, material);
    }

    // Border runs along the rows of grid lines: solid above and empty below run in +u,
    // solid below and empty above run in -u.
    void add_row_sides(std::uint32_t material) {
        for (std::size_t j = 0; j <= rows_; ++j) {
            const auto jj = static_cast<std::ptrdiff_t>(j);
            for (int below_solid = 0; below_solid < 2; ++below_solid) {
                for (std::size_t i = 0; i < cols_;) {
                    const auto ii = static_cast<std::ptrdiff_t>(i);
                    const bool above = solid_at(ii, jj), below = solid_at(ii, jj - 1);
                    const bool border = below_solid ? (below && !above) : (above && !below);
                    if (!border) {
                        ++i;
                        continue;
                    }
                    std::size_t end = i;
                    while (end < cols_) {
                        const auto ee = static_cast<std::ptrdiff_t>(end);
                        const bool a = solid_at(ee, jj), b = solid_at(ee, jj - 1);
                        if (below_solid ? !(b && !a) : !(a && !b)) break;
                        ++end;
                    }
                    const std::size_t row = below_solid ? j - 1 : j;
                    auto cell_of = [&](Node n) { return Node{std::clamp(n.i, i, end - 1), row}; };
                    if (below_solid) {
                        add_side({end, j}, {i, j}, material, cell_of);
                    } else {
                        add_side({i, j}, {end, j}, material, cell_of);
                    }
                    i = end;
                }
            }
        }
    }

    // Border runs along the columns: solid on the left (lower u) runs in +v, solid on the
    // right runs in -v.
    void add_column_sides(std::uint32_t material) {
        for (std::size_t i = 0; i <= cols_; ++i) {
            const auto ii = static_cast<std::ptrdiff_t>(i);
            for (int left_solid = 0; left_solid < 2; ++left_solid) {
                for (std::size_t j = 0; j < rows_;) {
                    const auto jj = static_cast<std::ptrdiff_t>(j);
                    const bool left = solid_at(ii - 1, jj), right = solid_at(ii, jj);
                    const bool border = left_solid ? (left && !right) : (right && !left);
                    if (!border) {
                        ++j;
                        continue;
                    }
                    std::size_t end = j;
                    while (end < rows_) {
                        const auto ee = static_cast<std::ptrdiff_t>(end);
                        const bool l = solid_at(ii - 1, ee), r = solid_at(ii, ee);
                        if (left_solid ? !(l && !r) : !(r && !l)) break;
                        ++end;
                    }
                    const std::size_t col = left_solid ? i - 1 : i;
                    auto cell_of = [&](Node n) { return Node{col, std::clamp(n.j, j, end - 1)}; };
                    if (left_solid) {
                        add_side({i, j}, {i, end}, material, cell_of);
                    } else {
                        add_side({i, end}, {i, j}, material, cell_of);
                    }
                    j = end;
                }
            }
        }
    }

    Mesh& mesh_;
    const SlabFrame& frame_;
    std::vector<float> us_, vs_;
    std::size_t cols_ = 0, rows_ = 0;
    std::vector<std::uint8_t> solid_;  // column-major: cell (i, j) at i * rows_ + j
    std::vector<VertexId> vertex_ids_;
    std::vector<FaceId> faces_;
};

}  // namespace

std::uint64_t add_slab_solid(Mesh& mesh, const SlabFrame& frame, std::span<const SlabHole> holes,
                             const SlabMaterials& materials) {
    const bool finite_origin = std::isfinite(frame.origin.x) && std::isfinite(frame.origin.y) &&
                               std::isfinite(frame.origin.z);
    if (!finite_origin || !usable_size(frame.length) || !usable_size(frame.height) ||
        !usable_size(frame.thickness)) {
        return 0;
    }
    SlabBuilder builder(mesh, frame, holes);
    if (!builder.any_solid()) return 0;
    return builder.build(materials);
}

std::uint64_t add_box_solid(Mesh& mesh, const Vec3& min, const Vec3& max, std::uint32_t material) {
    // The front face (y = min.y) looks along -y, which u = +x, v = +z give.
    SlabFrame frame;
    frame.origin = min;
    frame.length = max.x - min.x;
    frame.height = max.z - min.z;
    frame.thickness = max.y - min.y;
    return add_slab_solid(mesh, frame, {}, {material, material, material});
}

}  // namespace korvan
