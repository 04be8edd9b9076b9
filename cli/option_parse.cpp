#include "cli/option_parse.h"

#include <string_view>

namespace korvan::cli {

OptionParseResult parse_options(int argc, char** argv, bool accepts_bare_file, Options& options) {
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--in" && i + 1 < argc) {
            options.in = argv[++i];
        } else if (arg == "--out" && i + 1 < argc) {
            options.out = {argv[++i], true};
        } else if (accepts_bare_file && !arg.empty() && arg[0] != '-' && options.in.empty()) {
            options.in = arg;
        }
    }
    return {};
}

}  // namespace korvan::cli
