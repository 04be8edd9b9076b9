#pragma once

#include <string>

#include "cli/options.h"

namespace korvan::cli {

struct OptionParseResult {
    bool ok = true;
    std::string message;  // the refused option's sentence, without the line feed; empty when ok
};

// The common option loop over argv[2..]: exact, case-sensitive names; a value option only
// when a value follows; the later value wins; unknown arguments are ignored, except that a
// non-empty one not starting with '-' becomes --in when `accepts_bare_file` and --in is
// still empty. Stops at the first refused value.
OptionParseResult parse_options(int argc, char** argv, bool accepts_bare_file, Options& options);

}  // namespace korvan::cli
