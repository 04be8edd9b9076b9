#include "cli/samples/fallback_model.h"

#include <cassert>
#include <optional>
#include <utility>

#include "cli/samples/townhouse.h"
#include "document/document.h"
#include "document/material_library.h"

namespace korvan::cli {

void install_fallback_model(Document& doc) {
    std::optional<Document> model =
        make_townhouse_document(kShellTownhouse, MaterialLibrary(default_materials()), true);
    assert(model.has_value());  // the fixed parameters always pass
    doc = std::move(*model);
}

}  // namespace korvan::cli
