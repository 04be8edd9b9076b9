#pragma once

#include <cstdint>
#include <string>

#include "core/ids.h"
#include "core/uv.h"
#include "document/commands/mesh_attribute_commands.h"
#include "document/material_library.h"

namespace korvan {

// The projection parameters of a material's UV transform (the material keeps degrees).
UvTransform uv_transform_of(const MaterialUv& uv);

// What a bake did. Corners count the ring corners of the faces visited; a corner whose
// projected coordinates are not usable (non-finite or huge) is left as it was.
struct UvBakeCounts {
    std::uint64_t faces = 0;          // faces with at least one corner baked
    std::uint64_t corners = 0;        // corners baked
    std::uint64_t stored_before = 0;  // corners visited that held coordinates before
    std::uint64_t stored_after = 0;   // corners visited that hold coordinates after
};

// Freezes the projected texture coordinates of one face, or of every alive face when `face`
// is kInvalidId, into the mesh's corner UVs, through each face's material (a material id
// missing from the library projects with the default transform). Faces with fewer than three
// corners are skipped. Refuses a face that is not alive. "Bake Projected UV".
class BakeProjectedUvCommand final : public MeshAttributeCommand {
  public:
    BakeProjectedUvCommand(Document& doc, MeshLocator target, FaceId face = kInvalidId)
        : MeshAttributeCommand(doc, std::move(target)), face_(face) {}

    std::string name() const override { return "Bake Projected UV"; }
    const UvBakeCounts& counts() const { return counts_; }
    // True when the last redo() refused the face given.
    bool face_refused() const { return face_refused_; }

  private:
    bool apply(Document& doc, Mesh& mesh) override;

    FaceId face_;
    UvBakeCounts counts_;
    bool face_refused_ = false;
};

}  // namespace korvan
