#include "tools/corefine.h"

// The one translation unit that includes the corefinement library: its templates are heavy,
// so they are instantiated here once and nowhere else.
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_processing/corefinement.h>
#include <CGAL/Surface_mesh.h>
#include <CGAL/boost/graph/helpers.h>

#include <exception>

// Operands become surface meshes whose faces carry an origin tag; a corefinement visitor hands
// that tag on to every piece a cut makes and every face copied into the output. Predicates are
// exact; the points where the surfaces cross are constructed exactly and then rounded.

namespace korvan {
namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Point = Kernel::Point_3;
using Surface = CGAL::Surface_mesh<Point>;
using SurfaceFace = Surface::Face_index;
using SurfaceVertex = Surface::Vertex_index;
using OriginMap = Surface::Property_map<SurfaceFace, std::uint32_t>;
namespace PMP = CGAL::Polygon_mesh_processing;

bool to_surface(const TriangleSurface& in, Surface& out, OriginMap origin) {
    out.reserve(static_cast<Surface::size_type>(in.points.size()), 0,
                static_cast<Surface::size_type>(in.triangles.size()));
    for (const auto& p : in.points) out.add_vertex(Point(p[0], p[1], p[2]));
    for (std::size_t i = 0; i < in.triangles.size(); ++i) {
        const auto& t = in.triangles[i];
        const SurfaceFace f =
            out.add_face(SurfaceVertex(t[0]), SurfaceVertex(t[1]), SurfaceVertex(t[2]));
        if (f == Surface::null_face()) return false;  // not a two-manifold surface
        origin[f] = in.origins[i];
    }
    return out.number_of_faces() > 0 && CGAL::is_closed(out);
}

struct OriginVisitor : PMP::Corefinement::Default_visitor<Surface> {
    struct Maps {
        const Surface* meshes[3];
        OriginMap origins[3];
        std::uint32_t pending = 0;
    };
    Maps* maps;

    explicit OriginVisitor(Maps& m) : maps(&m) {}
    OriginMap& of(const Surface& tm) const {
        for (int i = 0; i < 2; ++i) {
            if (maps->meshes[i] == &tm) return maps->origins[i];
        }
        return maps->origins[2];
    }
    void before_subface_creations(SurfaceFace f_old, Surface& tm) { maps->pending = of(tm)[f_old]; }
    void after_subface_created(SurfaceFace f_new, Surface& tm) { of(tm)[f_new] = maps->pending; }
    void after_face_copy(SurfaceFace f_old, const Surface& tm_old, SurfaceFace f_new,
                         Surface& tm_new) {
        of(tm_new)[f_new] = of(tm_old)[f_old];
    }
};

void from_surface(const Surface& s, OriginMap origin, TriangleSurface& out) {
    out = {};
    std::vector<std::uint32_t> index(s.number_of_vertices() + s.number_of_removed_vertices(), 0);
    for (const SurfaceVertex v : s.vertices()) {
        const Point& p = s.point(v);
        index[v] = static_cast<std::uint32_t>(out.points.size());
        out.points.push_back(
            {CGAL::to_double(p.x()), CGAL::to_double(p.y()), CGAL::to_double(p.z())});
    }
    for (const SurfaceFace f : s.faces()) {
        std::array<std::uint32_t, 3> t{};
        int k = 0;
        for (const SurfaceVertex v : CGAL::vertices_around_face(s.halfedge(f), s)) {
            if (k < 3) t[k] = index[v];
            ++k;
        }
        if (k != 3) continue;
        out.triangles.push_back(t);
        out.origins.push_back(origin[f]);
    }
}

}  // namespace

bool corefine_surfaces(BooleanOp op, const TriangleSurface& a, const TriangleSurface& b,
                       TriangleSurface& out) {
    try {
        Surface sa, sb, result;
        OriginVisitor::Maps maps{};
        maps.meshes[0] = &sa;
        maps.meshes[1] = &sb;
        maps.meshes[2] = &result;
        maps.origins[0] = sa.add_property_map<SurfaceFace, std::uint32_t>("f:origin", 0).first;
        maps.origins[1] = sb.add_property_map<SurfaceFace, std::uint32_t>("f:origin", 0).first;
        maps.origins[2] = result.add_property_map<SurfaceFace, std::uint32_t>("f:origin", 0).first;
        if (!to_surface(a, sa, maps.origins[0]) || !to_surface(b, sb, maps.origins[1])) {
            return false;
        }
        OriginVisitor visitor(maps);
        const auto np = PMP::parameters::visitor(visitor);
        const auto none = PMP::parameters::default_values();
        bool ok = false;
        switch (op) {
            case BooleanOp::kUnion:
                ok = PMP::corefine_and_compute_union(sa, sb, result, np, none, none);
                break;
            case BooleanOp::kSubtract:
                ok = PMP::corefine_and_compute_difference(sa, sb, result, np, none, none);
                break;
            case BooleanOp::kIntersect:
                ok = PMP::corefine_and_compute_intersection(sa, sb, result, np, none, none);
                break;
        }
        if (!ok) return false;
        from_surface(result, maps.origins[2], out);
        return true;
    } catch (const std::exception&) {
        // The library reports inputs it cannot handle (self-intersections among them) by
        // throwing; the caller hears "no answer".
        return false;
    }
}

}  // namespace korvan
