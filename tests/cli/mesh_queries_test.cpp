// Mesh query verbs through the built binary: exact reports, refusals and exit codes on small
// models written in process, whose face, vertex and edge ids the tests can work out.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

// nx by ny unit quads at z = 0, vertex (i, j) = j * (nx + 1) + i, face (i, j) = j * nx + i.
Mesh grid(int nx, int ny) {
    Mesh m;
    for (int j = 0; j <= ny; ++j)
        for (int i = 0; i <= nx; ++i) m.add_vertex({float(i), float(j), 0.0f});
    auto v = [nx](int i, int j) { return VertexId(j * (nx + 1) + i); };
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i) m.add_quad(v(i, j), v(i + 1, j), v(i + 1, j + 1), v(i, j + 1));
    m.link_shared_edges();
    return m;
}

void save(const std::filesystem::path& path, Mesh mesh) {
    Document doc;
    doc.root().mesh = std::move(mesh);
    write_model(path, doc);
}

std::string num(std::uint64_t n) { return std::to_string(n); }

std::string joined(const std::vector<std::uint32_t>& ids) {
    std::string s;
    for (const std::uint32_t id : ids) s += (s.empty() ? "" : ",") + num(id);
    return s;
}

// In `dir`:
//   grid.korv    3 x 2 quads; face 4 has material 2 and layer 1, face 5 is hidden
//   strip.korv   3 x 1 quads whose middle one is two triangles across a soft diagonal;
//                saved faces: 0 left quad, 1 right quad, 2 = (1,2,6), 3 = (1,6,5)
//   hard.korv    the same with a hard diagonal
//   islands.korv two unit squares side by side with separate corner vertices
//   box.korv     a closed unit box made by the binary itself
void write_fixtures(const std::filesystem::path& dir) {
    Mesh g = grid(3, 2);
    g.set_face_material(4, 2);
    g.set_face_layer(4, 1);
    g.hide_face(5);
    save(dir / "grid.korv", std::move(g));

    for (const bool soft : {true, false}) {
        Mesh s = grid(3, 1);
        s.erase_face(1);
        s.add_triangle(1, 2, 6);
        s.add_triangle(1, 6, 5);
        s.link_shared_edges();
        s.edge_mut(edge_between(s, 1, 6)).soft = soft;
        save(dir / (soft ? "strip.korv" : "hard.korv"), std::move(s));
    }

    Mesh islands;
    for (const float x : {0.0f, 1.0f}) {
        const VertexId a = islands.add_vertex({x, 0, 0}), b = islands.add_vertex({x + 1, 0, 0});
        const VertexId c = islands.add_vertex({x + 1, 1, 0}), d = islands.add_vertex({x, 1, 0});
        islands.add_quad(a, b, c, d);
    }
    save(dir / "islands.korv", std::move(islands));

    make_models(
        {
            {"new", "--out", "e.korv"},
            {"create-rect", "e.korv", "--width", "1", "--depth", "1", "--out", "r.korv"},
            {"face-pushpull", "r.korv", "--face", "0", "--distance", "1", "--out", "box.korv"},
        },
        dir);
}

// Written once for the whole suite: the fixtures are read, never changed.
const std::filesystem::path& dir() {
    static const std::filesystem::path made = [] {
        const auto d = fresh_temp_dir();
        write_fixtures(d);
        return d;
    }();
    return made;
}

TEST(MeshQueriesCli, SelectionsByStateAttributeBoxAreaAndDirection) {
    const std::string max_area = "3.40282e+38";
    expect_runs(
        dir(),
        {
            ok({"mesh-volume", "box.korv"}, "volume=1\n"),
            ok({"mesh-naked-edges", "grid.korv"}, "naked_edges=10\n"),
            ok({"faces-alive", "grid.korv"}, "count=6\nfaces=0,1,2,3,4,5\n"),
            ok({"faces-visible", "grid.korv"}, "count=5\nfaces=0,1,2,3,4\n"),
            ok({"faces-soft-hidden", "grid.korv"}, "count=1\nfaces=5\n"),
            ok({"faces-mat", "grid.korv", "--mat", "2"}, "count=1 mat=2 area=1\nfaces=4\n"),
            ok({"faces-layer", "grid.korv", "--layer", "1"}, "count=1 layer=1 area=1\nfaces=4\n"),
            refused({"faces-mat", "grid.korv"}, "faces-mat: --mat M is required\n"),
            ok({"faces-aabb", "grid.korv"}, "ok=1 count=6 min=0,0,0 max=3,2,0\n"),
            ok({"faces-aabb", "grid.korv", "--faces", "4,4,99"},
               "ok=1 count=1 min=1,1,0 max=2,2,0\n"),
            ok({"faces-aabb", "grid.korv", "--mat", "7"}, "ok=0 count=0\n"),
            refused({"faces-aabb", "grid.korv", "--faces", "1", "--mat", "2"},
                    "faces-aabb: --faces, --mat and --layer exclude each other\n"),
            ok({"faces-invert", "grid.korv", "--faces", "0,1,99"},
               "count=4 selected=2\nfaces=2,3,4,5\n"),
            ok({"faces-area", "grid.korv", "--faces", "0,0,1,99"}, "count=2 area=2\n"),
            ok({"faces-centroid", "grid.korv", "--faces", "0,1"}, "count=2 centroid=1,0.5,0\n"),
            ok({"faces-centroid", "grid.korv", "--faces", "99"}, "count=0 centroid=none\n"),
            ok({"faces-perimeter", "grid.korv", "--faces", "0,1,2,3,4,5"},
               "count=6 perimeter=10 linked=0\n"),
            refused({"faces-area", "grid.korv"}, "faces-area: --faces N0,N1,... is required\n"),
            ok({"faces-facing", "box.korv", "--vector", "0,0,2"}, "count=1 angle=5\nfaces=5\n"),
            ok({"faces-facing", "grid.korv", "--vector", "0,0.1,1", "--angle", "6"},
               "count=6 angle=6\nfaces=0,1,2,3,4,5\n"),
            ok({"faces-by-area", "box.korv", "--min", "1"},
               "count=6 min=1 max=" + max_area + "\nfaces=0,1,2,3,4,5\n"),
            // Centroids on the box's faces count as inside.
            ok({"faces-in-aabb", "grid.korv", "--min", "0,0,0", "--max", "1.5,1.5,0"},
               "count=4\nfaces=0,1,3,4\n"),
            refused({"faces-in-aabb", "grid.korv", "--min", "0,0,0"},
                    "faces-in-aabb: --min X,Y,Z and --max X,Y,Z are required\n"),
            // Queries never write, whatever --out says.
            ok({"faces-alive", "grid.korv", "--out", "x.korv"}, "count=6\nfaces=0,1,2,3,4,5\n"),
        });
}

TEST(MeshQueriesCli, FloodsNeighboursAndTheWeldBeforeGrowing) {
    expect_runs(dir(),
                {
                    ok({"faces-coplanar", "grid.korv", "--face", "0"},
                       "count=6 seed=0 linked=0\nfaces=0,1,2,3,4,5\n"),
                    ok({"faces-coplanar", "box.korv", "--face", "0", "--eps", "-1"},
                       "count=6 seed=0 linked=0\nfaces=0,1,2,3,4,5\n"),
                    refused({"faces-coplanar", "grid.korv", "--face", "99"},
                            "faces-coplanar: face 99 is invalid or dead\n"),
                    ok({"faces-adjacent", "grid.korv", "--face", "1"},
                       "count=3 seed=1 linked=0\nfaces=0,2,4\n"),
                    ok({"faces-connected", "grid.korv", "--face", "1"},
                       "count=6 seed=1 linked=0\nfaces=0,1,2,3,4,5\n"),
                    // Separate corners: no neighbour until the grow welds them and links the side.
                    ok({"faces-adjacent", "islands.korv", "--face", "0"},
                       "count=0 seed=0 linked=0\nfaces=\n"),
                    ok({"faces-grow", "islands.korv", "--faces", "0"},
                       "count=2 selected=1 welded=2 linked=1\nfaces=0,1\n"),
                    ok({"faces-grow", "grid.korv", "--faces", "0,99"},
                       "count=3 selected=1 welded=0 linked=0\nfaces=0,1,3\n"),
                    ok({"faces-shrink", "grid.korv", "--faces", "0,1,2,4"},
                       "count=1 selected=4 linked=0\nfaces=1\n"),
                });
}

TEST(MeshQueriesCli, EdgeLoopsRingsStripsAndVertexFans) {
    const Mesh g = load_model(dir() / "grid.korv").root().mesh;
    const Mesh s = load_model(dir() / "strip.korv").root().mesh;
    auto e = [](const Mesh& m, VertexId a, VertexId b) {
        const EdgeId id = edge_between(m, a, b);
        EXPECT_NE(id, kInvalidId) << a << "-" << b;
        return id;
    };
    const EdgeId mid = e(g, 5, 6);  // between faces 1 and 4
    auto sorted = [](std::vector<std::uint32_t> v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    const std::string loop = joined(sorted({e(g, 4, 5), mid, e(g, 6, 7)}));
    const std::string ring = joined(sorted({e(g, 1, 2), mid, e(g, 9, 10)}));
    const std::string fan_edges = joined(sorted({e(g, 1, 5), e(g, 4, 5), mid, e(g, 5, 9)}));
    // The reader joined the faces, retiring one edge of every shared pair; such an id still
    // names the side it had, now carried by the surviving edge.
    EdgeId retired = kInvalidId;
    for (EdgeId d = 0; d < g.edges().size() && retired == kInvalidId; ++d) {
        const HalfEdgeId h = g.edges()[d].half_edge;
        if (!g.edge_usable(d) && h < g.half_edges().size() && g.half_edges()[h].edge == mid) {
            retired = d;
        }
    }
    ASSERT_NE(retired, kInvalidId);
    const EdgeId left = e(s, 0, 4), diagonal = e(s, 1, 6);
    const std::string fan = joined(g.vertex_half_edges(5));

    expect_runs(
        dir(),
        {
            ok({"edge-loop", "grid.korv", "--edge", num(mid)},
               "linked=0 seed=" + num(mid) + " count=3\nedges=" + loop + "\n"),
            ok({"edge-loop", "grid.korv", "--edge", num(retired)},
               "linked=0 seed=" + num(mid) + " count=3\nedges=" + loop + "\n"),
            ok({"edge-ring", "grid.korv", "--edge", num(mid)},
               "linked=0 seed=" + num(mid) + " count=3\nedges=" + ring + "\n"),
            refused({"edge-loop", "grid.korv", "--edge", "100000"},
                    "edge-loop: edge 100000 is invalid or dead or has no alive face\n"),
            ok({"face-loop", "grid.korv", "--edge", num(mid)},
               "linked=0 edge=" + num(mid) + " face=1 count=2\nfaces=1,4\n"),
            refused({"face-loop", "grid.korv", "--edge", num(mid), "--face", "0"},
                    "face-loop: edge " + num(mid) + " is invalid or dead, or not on face 0\n"),
            // Two triangles across a soft edge count as one quad.
            ok({"quad-loop", "strip.korv", "--edge", num(left)},
               "linked=0 edge=" + num(left) + " face=0 count=4\nfaces=0,1,2,3\n"),
            refused({"quad-loop", "strip.korv", "--edge", num(diagonal), "--face", "2"},
                    "quad-loop: edge " + num(diagonal) +
                        " is invalid or dead, not on face 2, or its diagonal\n"),
            ok({"vertex-adjacency", "grid.korv", "--vertex", "5"},
               "vertex=5 valence=4 linked=0\nfaces=0,1,3,4\nedges=" + fan_edges +
                   "\nhalf_edges=" + fan + "\n"),
            refused({"vertex-adjacency", "grid.korv", "--vertex", "12"},
                    "vertex-adjacency: vertex 12 is invalid or dead\n"),
            ok({"quad-info", "grid.korv", "--face", "0"},
               "face=0 quad=1 kind=four-sided corners=0,1,5,4 diagonal=0,5 "
               "diagonal_length=1.41421 linked=0\n"),
            ok({"quad-info", "strip.korv", "--face", "2"},
               "face=2 quad=1 kind=triangle-pair partner=3 soft_edge=" + num(diagonal) +
                   " corners=1,2,6,5 diagonal=1,6 diagonal_length=1.41421 linked=0\n"),
            ok({"quad-info", "hard.korv", "--face", "2"}, "face=2 quad=0 sides=3 linked=0\n"),
            ok({"faces-boundary-edges", "grid.korv", "--faces", "0,1"},
               "count=6 perimeter=6 linked=0\nedges=" +
                   joined(sorted(
                       {e(g, 0, 1), e(g, 1, 2), e(g, 2, 6), e(g, 5, 6), e(g, 4, 5), e(g, 0, 4)})) +
                   "\n"),
        });
}

}  // namespace
}  // namespace korvan::test
