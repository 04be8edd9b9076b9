#include "cli/dispatch.h"

#include <string>
#include <string_view>

#include "cli/exit_codes.h"
#include "cli/option_parse.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verb_table.h"

namespace korvan::cli {
namespace {

int print_usage() {
    std::string text;
    append_usage(text);
    write_out(text);
    return kExitFailure;
}

// The sentence for a precondition the verb's marks impose, or empty when all hold. They
// are checked before anything is loaded, so a refused run never touches a file.
std::string precondition_failure(const VerbSpec& verb, const Options& options) {
    std::string line;
    if ((verb.marks & kRequiresOut) && !options.out.given) {
        if (!verb.refusal.empty()) return std::string(verb.refusal);
        line.append(verb.name).append(" requires --out");
    } else if ((verb.marks & kReadOnly) && options.out.given) {
        if (!verb.refusal.empty()) return std::string(verb.refusal);
        line.append(verb.name).append(" is read-only and takes no --out");
    } else if ((verb.marks & kRequiresIn) && options.in.empty()) {
        return std::string(verb.refusal);
    }
    return line;
}

}  // namespace

int dispatch(int argc, char** argv) {
    if (argc < 2) return print_usage();
    const std::string_view name = argv[1];
    const VerbSpec* verb = find_verb(name);
    if (verb && (verb->marks & kOwnArgs)) return verb->run_argv(argc, argv);

    Options options;
    const bool bare_file = verb && (verb->marks & kBareFile);
    if (auto parsed = parse_options(argc, argv, name, bare_file, options); !parsed.ok) {
        write_err(parsed.message + '\n');
        return kExitFailure;
    }
    if (!verb) return print_usage();

    if (std::string refusal = precondition_failure(*verb, options); !refusal.empty()) {
        write_err(refusal + '\n');
        return kExitFailure;
    }
    return verb->run(VerbCall{name, options});
}

int run_not_built(const VerbCall& call) {
    write_err(std::string(call.verb) + ": not built yet\n");
    return kExitFailure;
}

int run_argv_not_built(int argc, char** argv) {
    (void)argc;
    write_err(std::string(argv[1]) + ": not built yet\n");
    return kExitFailure;
}

}  // namespace korvan::cli
