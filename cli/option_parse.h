#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/options.h"

namespace korvan::cli {

struct OptionParseResult {
    bool ok = true;
    std::string message;  // the refused option's sentence, without the line feed; empty when ok
    // Arguments shaped like options ("--x", "-x") that name no option of the verb, in order.
    // They are ignored; the caller may warn about them.
    std::vector<std::string_view> unknown = {};
};

// The common option loop over argv[2..]: exact, case-sensitive names from the option table,
// read the way `verb` reads them; a value option only when a value follows, parsed at once;
// the later value wins; unknown arguments are ignored, except that a non-empty one not
// starting with '-' becomes --in when `accepts_bare_file` and --in is still empty. A value
// option given last is ignored like an unknown argument, unless its value has a shape
// (vector, list, size, plane), which stops the run with its "requires" sentence. Stops at
// the first refused value.
OptionParseResult parse_options(int argc, char** argv, std::string_view verb,
                                bool accepts_bare_file, Options& options);

}  // namespace korvan::cli
