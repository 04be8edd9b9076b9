#include "document/commands/uv_commands.h"

#include <vector>

#include "core/tolerances.h"
#include "document/document.h"

namespace korvan {

UvTransform uv_transform_of(const MaterialUv& uv) {
    UvTransform t;
    t.tile_width = uv.tile_width;
    t.tile_height = uv.tile_height;
    t.offset_u = uv.offset_u;
    t.offset_v = uv.offset_v;
    t.rotation_rad = uv.rotation_deg * kDegToRad;
    return t;
}

bool BakeProjectedUvCommand::apply(Document& doc, Mesh& mesh) {
    counts_ = {};
    face_refused_ = false;
    std::vector<FaceId> faces;
    if (face_ == kInvalidId) {
        faces = mesh.alive_faces();
    } else if (mesh.face_usable(face_)) {
        faces.push_back(face_);
    } else {
        face_refused_ = true;
        return false;
    }

    const MaterialLibrary& library = doc.materials();
    std::vector<HalfEdgeId> ring;
    bool changed = false;  // a rebake writes the values already there
    for (const FaceId f : faces) {
        ring = mesh.face_half_edges(f);
        if (ring.size() < 3) continue;
        const Material* material = library.get(mesh.faces()[f].material_id);
        const UvTransform transform = material ? uv_transform_of(material->uv) : UvTransform{};
        const UvFrame frame = projection_frame(mesh.face_normal(f));
        std::uint64_t baked = 0;
        for (const HalfEdgeId h : ring) {
            const CornerUv old = mesh.corner_uv(h);
            const bool held = old.set;
            counts_.stored_before += held ? 1 : 0;
            const VertexId v = mesh.half_edges()[h].origin;
            if (!mesh.vertex_usable(v)) {
                counts_.stored_after += held ? 1 : 0;
                continue;
            }
            const TexCoord uv = project_uv(mesh.vertices()[v].position, frame, transform);
            if (!uv_usable(uv)) {
                counts_.stored_after += held ? 1 : 0;
                continue;
            }
            changed = changed || !held || old.u != uv.u || old.v != uv.v;
            mesh.set_corner_uv(h, uv.u, uv.v);
            ++baked;
            ++counts_.stored_after;
        }
        counts_.corners += baked;
        counts_.faces += baked > 0 ? 1 : 0;
    }
    return changed;
}

}  // namespace korvan
