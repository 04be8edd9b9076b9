#include "cli/version.h"

#include <oneapi/tbb/version.h>

#include <optional>

#include "cli/report.h"
#include "platform/assets_dir.h"
#include "platform/crypto.h"

namespace korvan::cli {

void append_version(std::string& out) {
    out.append("korvan_cli ").append(kProgramVersion).push_back('\n');
    out.append("revision  ").append(build_revision()).append(" (");
    out.append(build_revision_date()).append(")\n");
    // The run-time library can be newer than the headers the build saw; the user's problem
    // is with the one that is loaded.
    out.append("tbb       ").append(TBB_runtime_version()).push_back('\n');
    out.append("openssl   ").append(platform::crypto_library_version()).push_back('\n');
    out.append("stb_image ").append(stb_image_version()).push_back('\n');
    out.append("assets    ");
    if (const std::optional<std::filesystem::path> dir = platform::find_assets_dir()) {
        append_quoted_path(out, dir->lexically_normal());
    } else {
        out.append("none found (set KORVAN_ASSETS_DIR)");
    }
    out.push_back('\n');
}

}  // namespace korvan::cli
