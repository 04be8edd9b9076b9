// The centre of a circle from two of its chords.
//
// The two segments are read as chords of one circle, as a user traces two pieces of an
// imported arc: the centre lies on both perpendicular bisectors, so it is where the bisectors
// cross inside the plane that holds both segments. There is no centre when a segment has no
// length, when the segments are parallel (their bisectors never cross, or coincide), or when
// the second segment stands off the first one's plane. The segments are what the user drew:
// loose lines (edges with no face on either side) and finite guide segments, which is what an
// imported drawing's lines become; there must be exactly two. Face edges never count, since a
// face outline is not a tracing, and guide points (a guide with both ends at one place, as
// this tool adds) are not segments.
#include "tools/cleanup/circle_centre.h"

#include <cmath>

#include "core/dvec3.h"
#include "core/mesh.h"

namespace korvan {
namespace {

CircleCentreResult fail(CircleCentreStatus status, const char* message) {
    CircleCentreResult r;
    r.status = status;
    r.message = message;
    return r;
}

double norm(const DVec3& v) { return std::sqrt(dot(v, v)); }

bool face_side(const Mesh& mesh, HalfEdgeId h) {
    return mesh.half_edge_usable(h) && mesh.face_usable(mesh.half_edges()[h].face);
}

}  // namespace

CircleCentreResult circle_centre(const Vec3& a0, const Vec3& a1, const Vec3& b0, const Vec3& b1,
                                 float tolerance) {
    const DVec3 p0(a0), p1(a1), q0(b0), q1(b1);
    const DVec3 da = p1 - p0, db = q1 - q0;
    const double la = norm(da), lb = norm(db);
    if (la <= 1e-9 || lb <= 1e-9) {
        return fail(CircleCentreStatus::kDegenerate, "a segment has no length");
    }
    const DVec3 n = cross(da * (1.0 / la), db * (1.0 / lb));
    const double ln = norm(n);
    if (ln < 1e-6) return fail(CircleCentreStatus::kParallel, "the two segments are parallel");
    const DVec3 nn = n * (1.0 / ln);
    // Both ends of the second segment must lie in the plane through the first with normal nn.
    if (std::fabs(dot(q0 - p0, nn)) > tolerance || std::fabs(dot(q1 - p0, nn)) > tolerance) {
        return fail(CircleCentreStatus::kNotInOnePlane, "the two segments are not in one plane");
    }
    const DVec3 ma = (p0 + p1) * 0.5, mb = (q0 + q1) * 0.5;
    const DVec3 ua = cross(nn, da), ub = cross(nn, db);  // in-plane bisector directions
    // ma + s ua = mb + t ub, solved in the plane: s = ((mb - ma) x ub) . nn / (ua x ub) . nn.
    const double den = dot(cross(ua, ub), nn);
    const double s = dot(cross(mb - ma, ub), nn) / den;
    const DVec3 c = ma + ua * s;
    CircleCentreResult r;
    r.status = CircleCentreStatus::kOk;
    r.centre = c.to_vec3();
    r.radius = static_cast<float>(norm(p0 - c));
    return r;
}

std::vector<EdgeId> loose_lines(const Mesh& mesh) {
    std::vector<EdgeId> out;
    const std::size_t count = mesh.edges().size();
    for (EdgeId e = 0; e < count; ++e) {
        if (!mesh.edge_usable(e)) continue;
        const HalfEdgeId h = mesh.edges()[e].half_edge;
        if (!mesh.half_edge_usable(h)) continue;
        if (face_side(mesh, h) || face_side(mesh, mesh.half_edges()[h].twin)) continue;
        out.push_back(e);
    }
    return out;
}

std::vector<Segment> straight_segments(const Mesh& mesh) {
    std::vector<Segment> out;
    for (const EdgeId e : loose_lines(mesh)) {
        const auto v = mesh.edge_vertices(e);
        if (!mesh.vertex_usable(v[0]) || !mesh.vertex_usable(v[1])) continue;
        out.push_back({mesh.vertices()[v[0]].position, mesh.vertices()[v[1]].position});
    }
    for (const Guide& g : mesh.guides()) {
        if (!g.infinite && !(g.a == g.b)) out.push_back({g.a, g.b});
    }
    return out;
}

CircleCentreResult circle_centre_of_segments(const Mesh& mesh, float tolerance) {
    const std::vector<Segment> segments = straight_segments(mesh);
    if (segments.size() != 2) {
        return fail(CircleCentreStatus::kNotTwo, "there must be exactly two straight segments");
    }
    return circle_centre(segments[0].a, segments[0].b, segments[1].a, segments[1].b, tolerance);
}

}  // namespace korvan
