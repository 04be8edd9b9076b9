#include "tools/stair.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "core/box.h"
#include "core/mesh.h"
#include "document/material_library.h"
#include "document/slab_solid.h"

// Stair geometry. Each flight is laid out in its own coordinates: s along the climb from the
// face of its first riser, c across it from 0 to the width, z up; a flight's frame maps
// them to the model. Riser j's face stands at s = (j - 1) G and reaches up to the underside
// of tread j, whose top is j R above the flight's foot and which runs from s = (j - 1) G -
// nosing to j G; the flight's last riser rises to the landing or the upper floor. Stringers
// are side plates just outside the width: a housed one is a band parallel to the pitch line,
// a sawtooth one is notched under every tread. Every piece is a closed solid with its own
// vertices, so pieces that touch never share an edge.

namespace korvan {
namespace {

constexpr float kRiserBoard = 0.02f;        // riser board thickness
constexpr float kStringerThickness = 0.04f;
constexpr float kStringerDepth = 0.25f;     // below the pitch line
constexpr float kHousedRise = 0.05f;        // housed stringer's top above the nosings
constexpr float kDefaultWellGap = 0.1f;
constexpr float kMinPiece = 1e-3f;

// Material names of the default library; material 0 when a name is missing.
constexpr const char* kTreadMaterial = "Wood";
constexpr const char* kStringerMaterial = "Wood";

struct Flight {
    Vec3 origin;   // foot of the first riser's face at c = 0
    Vec3 along;    // unit, horizontal
    Vec3 across;   // unit, horizontal
    std::int32_t risers = 0;
};

Vec3 at(const Flight& f, float s, float c, float z) {
    return f.origin + f.along * s + f.across * c + Vec3{0.0f, 0.0f, z};
}

void add_box(Mesh& mesh, const Flight& f, float s0, float s1, float c0, float c1, float z0,
             float z1, std::uint32_t material) {
    Aabb b;
    b.expand(at(f, s0, c0, z0));
    b.expand(at(f, s1, c1, z1));
    add_box_solid(mesh, b.min, b.max, material);
}

// A closed prism over the (s, z) outline, from c0 to c1 across the flight, outward facing.
void add_prism(Mesh& mesh, const Flight& f, const std::vector<std::array<float, 2>>& outline,
               float c0, float c1, std::uint32_t material) {
    const std::size_t n = outline.size();
    if (n < 3) return;
    Mesh piece;
    std::vector<VertexId> a(n), b(n);
    for (std::size_t i = 0; i < n; ++i) {
        a[i] = piece.add_vertex(at(f, outline[i][0], c0, outline[i][1]));
        b[i] = piece.add_vertex(at(f, outline[i][0], c1, outline[i][1]));
    }
    std::vector<VertexId> cap_a(a.rbegin(), a.rend());
    piece.add_ngon(cap_a);
    piece.add_ngon(b);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t j = (i + 1) % n;
        piece.add_quad(a[i], a[j], b[j], b[i]);
    }
    if (piece.signed_volume() < 0.0f) piece.reverse_all_faces();
    for (const FaceId face : piece.alive_faces()) piece.set_face_material(face, material);
    mesh.merge_mesh(piece, Mat4{});
}

struct Look {
    std::uint32_t tread = 0;
    std::uint32_t stringer = 0;
};

// The stringer outlines of a flight of m risers with riser r and going g, foot at z = 0.
std::vector<std::array<float, 2>> housed_outline(std::int32_t m, float r, float g) {
    const float top_s = (m - 1) * g;
    const float slope = r / g;
    // The underside runs parallel to the pitch line, kStringerDepth below the first nosing's
    // line, and meets the floor at s_floor.
    const float s_floor = kStringerDepth / slope;
    const float back_z = (m - 1) * r - kStringerDepth;
    std::vector<std::array<float, 2>> out{{0.0f, 0.0f}, {0.0f, r + kHousedRise},
                                          {top_s, m * r + kHousedRise}};
    if (back_z > kMinPiece && s_floor < top_s) {
        out.push_back({top_s, back_z});
        out.push_back({s_floor, 0.0f});
    } else {
        out.push_back({top_s, 0.0f});
    }
    return out;
}

std::vector<std::array<float, 2>> sawtooth_outline(std::int32_t m, float r, float g, float t) {
    const float top_s = (m - 1) * g;
    const float slope = r / g;
    const float s_floor = kStringerDepth / slope;
    const float back_z = (m - 1) * r - kStringerDepth;
    std::vector<std::array<float, 2>> out{{0.0f, 0.0f}};
    // Up each riser line to the tread's underside, along it to the next riser line.
    for (std::int32_t j = 1; j < m; ++j) {
        out.push_back({(j - 1) * g, j * r - t});
        out.push_back({j * g, j * r - t});
    }
    out.push_back({top_s, m * r - t});
    if (back_z > kMinPiece && s_floor < top_s) {
        out.push_back({top_s, back_z});
        out.push_back({s_floor, 0.0f});
    } else {
        out.push_back({top_s, 0.0f});
    }
    return out;
}

void add_flight(Mesh& mesh, const Flight& f, const StairSpec& spec, const StairSolution& sol,
                const Look& look) {
    const float r = sol.riser, g = sol.going, t = spec.tread_thickness, w = spec.width;
    for (std::int32_t j = 1; j <= f.risers; ++j) {
        const float s = (j - 1) * g;
        if (!spec.open_risers) {
            add_box(mesh, f, s, s + kRiserBoard, 0.0f, w, (j - 1) * r, j * r - t, look.tread);
        }
        if (j < f.risers) add_box(mesh, f, s - spec.nosing, j * g, 0.0f, w, j * r - t, j * r, look.tread);
    }
    if (spec.stringers == StairStringers::kNone || f.risers < 2) return;
    // The climber's left is c < 0, the right c > w.
    const bool left_sawtooth = spec.stringers == StairStringers::kSawtooth;
    const bool right_sawtooth = spec.stringers != StairStringers::kHoused;
    const auto housed = housed_outline(f.risers, r, g);
    const auto sawtooth = sawtooth_outline(f.risers, r, g, t);
    add_prism(mesh, f, left_sawtooth ? sawtooth : housed, -kStringerThickness, 0.0f,
              look.stringer);
    add_prism(mesh, f, right_sawtooth ? sawtooth : housed, w, w + kStringerThickness,
              look.stringer);
}

std::uint32_t material_named(const MaterialLibrary& lib, const char* name) {
    const std::int32_t i = lib.find_by_name(name);
    return i < 0 ? 0u : static_cast<std::uint32_t>(i);
}

Flight lift(Flight f, float z) {
    f.origin.z += z;
    return f;
}

}  // namespace

std::string StairGenerator::geometry_problem(const StairSpec& spec, const StairSolution& sol) {
    std::string out;
    auto add = [&](const char* reason) {
        if (!out.empty()) out += "; ";
        out += reason;
    };
    if (!(spec.tread_thickness > kMinPiece) || !(spec.tread_thickness < sol.riser - kMinPiece)) {
        add("the tread thickness must be above 1 mm and below the riser height");
    }
    if (!(spec.nosing >= 0.0f) || !(spec.nosing < sol.going)) {
        add("the nosing must be at least 0 and shorter than the going");
    }
    if (!(spec.landing_depth >= 0.0f) || !std::isfinite(spec.landing_depth)) {
        add("the landing depth must be at least 0");
    }
    if (spec.well_gap && (!(*spec.well_gap >= 0.0f) || !std::isfinite(*spec.well_gap))) {
        add("the well gap must be at least 0");
    }
    return out;
}

std::optional<Document> StairGenerator::make_stair_document(const StairSpec& spec,
                                                            const StairSolution& sol) {
    if (!sol.ok || !geometry_problem(spec, sol).empty()) return std::nullopt;
    Document doc;
    doc.materials() = MaterialLibrary(default_materials());
    const Look look{material_named(doc.materials(), kTreadMaterial),
                    material_named(doc.materials(), kStringerMaterial)};
    Mesh& mesh = doc.root().mesh;
    const float w = spec.width, g = sol.going, r = sol.riser, t = spec.tread_thickness;

    Flight first{{0.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, sol.risers};
    if (spec.shape == StairShape::kStraight) {
        add_flight(mesh, first, spec, sol, look);
    } else {
        const std::int32_t k = sol.landing_after;
        first.risers = k;
        add_flight(mesh, first, spec, sol, look);
        const float landing_y = (k - 1) * g;  // face of the riser under the landing
        const float depth = sol.landing_depth;
        const float z = k * r;
        Flight second{};
        second.risers = sol.risers - k;
        float landing_width = w;
        if (spec.shape == StairShape::kL) {
            // Turns right: climbs along +x from the landing's side, on its far band.
            second.origin = {w, landing_y + depth - w, 0.0f};
            second.along = {1.0f, 0.0f, 0.0f};
            second.across = {0.0f, 1.0f, 0.0f};
        } else {
            const float gap = spec.well_gap.value_or(kDefaultWellGap);
            landing_width = 2.0f * w + gap;
            // Comes back along -y beside the first flight, across the well.
            second.origin = {landing_width, landing_y, 0.0f};
            second.along = {0.0f, -1.0f, 0.0f};
            second.across = {-1.0f, 0.0f, 0.0f};
        }
        add_box_solid(mesh, {0.0f, landing_y, z - t}, {landing_width, landing_y + depth, z},
                      look.tread);
        add_flight(mesh, lift(second, z), spec, sol, look);
    }
    mesh.link_shared_edges();
    return doc;
}

StairFootprint StairGenerator::footprint(const Document& stair) {
    const Mesh& mesh = stair.root().mesh;
    const std::optional<Aabb> box = mesh.compute_aabb_of_faces(mesh.alive_faces());
    if (!box) return {};
    return {box->max.y - box->min.y, box->max.x - box->min.x};
}

}  // namespace korvan
