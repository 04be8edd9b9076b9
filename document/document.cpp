#include "document/document.h"

#include <utility>

namespace korvan {
namespace {

std::unique_ptr<SceneNode> make_root() {
    auto root = std::make_unique<SceneNode>();
    root->name = "Model";
    root->kind = NodeKind::kGroup;
    return root;
}

}  // namespace

double units_per_metre(LengthUnit unit) {
    switch (unit) {
        case LengthUnit::kMillimetre:
            return 1000.0;
        case LengthUnit::kCentimetre:
            return 100.0;
        case LengthUnit::kMetre:
            return 1.0;
        case LengthUnit::kInch:
            return 39.37007874015748;
        case LengthUnit::kFoot:
            return 3.2808398950131235;
        case LengthUnit::kArchitectural:
            return 39.37007874015748;
    }
    return 1.0;
}

std::string_view light_kind_name(LightKind kind) {
    switch (kind) {
        case LightKind::kSun:
            return "sun";
        case LightKind::kRect:
            return "rect";
        case LightKind::kPoint:
            return "point";
        case LightKind::kSpot:
            return "spot";
    }
    return "unknown";
}

Document::Document()
    : root_(make_root()), index_(std::make_shared<DefinitionIndex>()), tags_{Tag{"Layer0", true}} {}

Document::Document(const Document& other)
    : root_(std::make_unique<SceneNode>(*other.root_)),
      definitions_(other.definitions_),
      index_(other.index_),
      tags_(other.tags_),
      scenes_(other.scenes_),
      sections_(other.sections_),
      lights_(other.lights_),
      labels_(other.labels_),
      length_unit_(other.length_unit_),
      units_options_(other.units_options_),
      shadows_(other.shadows_),
      view_(other.view_),
      materials_(other.materials_) {}

Document& Document::operator=(const Document& other) {
    if (this != &other) {
        Document copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Document::Document(Document&& other) noexcept = default;
Document& Document::operator=(Document&& other) noexcept = default;
Document::~Document() = default;

void Document::clear() { *this = Document(); }

}  // namespace korvan
