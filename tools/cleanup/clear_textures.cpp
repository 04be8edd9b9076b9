// Clearing textures.
//
// A material's texture is its image (texture_path) and its procedural pattern: both are what
// a renderer draws instead of the flat colour. Clearing drops both and keeps everything else
// -- albedo, opacity, roughness, metallic, name, id and the UV tile size, so a texture put
// back later lands the same way. Faces, nodes and the order of the library are never touched,
// so every reference still names the same material.
#include "tools/cleanup/clear_textures.h"

#include "document/document.h"

namespace korvan {

ClearTexturesCommand::ClearTexturesCommand(Document& doc)
    : ListEditCommand<MaterialLibrary>(doc, "ClearTexture") {}

MaterialLibrary& ClearTexturesCommand::list(Document& doc) const { return doc.materials(); }

std::int32_t ClearTexturesCommand::apply(Document& doc) {
    images_ = patterns_ = materials_ = 0;
    MaterialLibrary& lib = doc.materials();
    std::int32_t first = -1;
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(lib.size()); ++i) {
        Material* m = lib.get_mut(i);
        const bool image = !m->texture_path.empty();
        const bool pattern = m->uv.pattern != TexturePattern::kNone;
        if (!image && !pattern) continue;
        m->texture_path.clear();
        m->uv.pattern = TexturePattern::kNone;
        images_ += image ? 1 : 0;
        patterns_ += pattern ? 1 : 0;
        ++materials_;
        if (first < 0) first = static_cast<std::int32_t>(i);
    }
    return first < 0 ? refuse("no material had a texture") : first;
}

}  // namespace korvan
