// The flat roof: a slab over the footprint grown by the overhang, a parapet ring standing
// on it and a fascia band hung under its edge. Three closed solids that touch, as the roof
// is poured, so none of them has to be cut into another.
#include <cmath>

#include "core/mesh.h"
#include "tools/roofs/roof_solids.h"
#include "tools/roofs/roofs.h"

namespace korvan {
namespace {

constexpr double kMinDimension = 1e-6;  // thinner than this, a part is left out

double area_of(std::span<const Point2> ring) { return 0.5 * signed_area2(ring); }

}  // namespace

std::vector<Point2> default_roof_footprint() { return {{0, 0}, {5, 0}, {5, 12}, {0, 12}}; }

FlatRoofReport build_flat_roof(Mesh& mesh, std::span<const Point2> footprint,
                               const FlatRoofSpec& spec) {
    FlatRoofReport r;
    const Footprint fp = normalise_footprint(footprint);
    if (fp.message[0] != '\0') {
        r.message = fp.message;
        return r;
    }
    if (!std::isfinite(spec.base_z) || !std::isfinite(spec.slab) || !(spec.slab > kMinDimension)) {
        r.message = "slab thickness must be finite and positive";
        return r;
    }
    const double sizes[] = {spec.overhang, spec.parapet, spec.parapet_inset, spec.fascia,
                            spec.fascia_thickness, spec.parapet_thickness};
    for (const double s : sizes) {
        if (!(s >= 0.0) || !std::isfinite(s)) {
            r.message = "overhang, parapet and fascia dimensions must not be negative";
            return r;
        }
    }
    const bool parapet = spec.parapet > kMinDimension;
    const bool fascia = spec.fascia > kMinDimension;
    if (parapet && !(spec.parapet_thickness > kMinDimension)) {
        r.message = "a parapet needs a positive thickness";
        return r;
    }
    if (fascia && !(spec.fascia_thickness > kMinDimension)) {
        r.message = "a fascia needs a positive thickness";
        return r;
    }
    r.footprint = fp.area;
    std::vector<Point2> slab = fp.ring;
    if (spec.overhang > 0.0) {
        const PolygonOffset grown = offset_polygon(fp.ring, -spec.overhang);
        if (!grown.ok) {
            r.message = "the overhang folds the roof outline over itself";
            return r;
        }
        slab = grown.points;
        r.bevelled += grown.bevelled;
    }
    r.roofed = area_of(slab);
    const double top = spec.base_z + spec.slab;
    StagedSolids staged;
    staged.add_prism(slab, spec.base_z, top);
    r.slab = r.roofed * spec.slab;
    if (parapet) {
        std::vector<Point2> outer = slab;
        if (spec.parapet_inset > 0.0) {
            const PolygonOffset inset = offset_polygon(slab, spec.parapet_inset);
            if (!inset.ok) {
                r.message = "the parapet inset consumed the plan";
                return r;
            }
            outer = inset.points;
            r.bevelled += inset.bevelled;
        }
        const PolygonOffset inner = offset_polygon(outer, spec.parapet_thickness);
        if (!inner.ok) {
            r.message = "the parapet is thicker than the plan can carry";
            return r;
        }
        r.bevelled += inner.bevelled;
        staged.add_band(outer, inner, top, top + spec.parapet);
        r.parapet = (area_of(outer) - area_of(inner.points)) * spec.parapet;
    }
    if (fascia) {
        const PolygonOffset inner = offset_polygon(slab, spec.fascia_thickness);
        if (!inner.ok) {
            r.message = "the fascia is thicker than the plan can carry";
            return r;
        }
        r.bevelled += inner.bevelled;
        staged.add_band(slab, inner, spec.base_z - spec.fascia, spec.base_z);
        r.fascia = (area_of(slab) - area_of(inner.points)) * spec.fascia;
    }
    r.volume = r.slab + r.parapet + r.fascia;
    r.solids = staged.solids;
    r.faces_before = mesh.alive_face_count();
    staged.commit(mesh);
    r.faces_after = mesh.alive_face_count();
    r.ok = true;
    return r;
}

}  // namespace korvan
