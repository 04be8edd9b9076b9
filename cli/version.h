#pragma once

#include <string>
#include <string_view>

namespace korvan::cli {

// The program's version: what --version prints and what the MCP server calls itself.
inline constexpr std::string_view kProgramVersion = "1.1.0";

// The git revision the build was made from ("-modified" when the tree had uncommitted
// changes) and that revision's commit date, "unknown" outside a git checkout.
std::string_view build_revision();
std::string_view build_revision_date();
// The stb_image release whose header the build compiled in.
std::string_view stb_image_version();

// The text of `korvan_cli --version`: version, revision, linked libraries and the assets
// directory the program would use.
void append_version(std::string& out);

}  // namespace korvan::cli
