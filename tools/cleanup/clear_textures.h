#pragma once

#include <cstdint>

#include "document/commands/list_edit_command.h"
#include "document/material_library.h"

namespace korvan {

class Document;

// Takes the texture off every library material that has one, keeping its colour.
// "ClearTexture"; a no-op when no material had a texture.
class ClearTexturesCommand final : public ListEditCommand<MaterialLibrary> {
  public:
    explicit ClearTexturesCommand(Document& doc);

    std::uint64_t images_cleared() const { return images_; }
    std::uint64_t patterns_cleared() const { return patterns_; }
    // Materials that lost an image, a pattern or both.
    std::uint64_t materials_cleared() const { return materials_; }

  private:
    std::int32_t apply(Document& doc) override;
    MaterialLibrary& list(Document& doc) const override;

    std::uint64_t images_ = 0;
    std::uint64_t patterns_ = 0;
    std::uint64_t materials_ = 0;
};

}  // namespace korvan
