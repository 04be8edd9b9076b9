#include "cli/dispatch.h"

#include <string>
#include <string_view>

#include "cli/completion.h"
#include "cli/exit_codes.h"
#include "cli/option_parse.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/verb_help.h"
#include "cli/verb_table.h"
#include "cli/version.h"

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

bool is_help_flag(std::string_view arg) { return arg == "--help" || arg == "-h"; }

int print_verb_help(const VerbSpec& verb) {
    std::string text;
    append_verb_help(text, verb);
    write_out(text);
    return kExitOk;
}

// `help [VERB]`: the reference, or one verb's page; a name that is no verb is a usage
// error with a hint.
int run_help(int argc, char** argv) {
    if (argc < 3) {
        std::string text;
        append_usage(text);
        write_out(text);
        return kExitOk;
    }
    if (const VerbSpec* verb = find_verb(argv[2])) return print_verb_help(*verb);
    write_err(unknown_verb_line(argv[2]));
    return kExitFailure;
}

int run_version() {
    std::string text;
    append_version(text);
    write_out(text);
    return kExitOk;
}

int run_completion(int argc, char** argv) {
    const std::string_view shell = argc > 2 ? argv[2] : "";
    std::string script;
    if (!append_completion_script(script, shell)) {
        write_err("korvan_cli: completion needs one of bash, zsh or fish\n");
        return kExitFailure;
    }
    write_out(script);
    return kExitOk;
}

// The front-end commands that are not verbs. They never shadow a verb of the same name, so
// a verb row may still claim one of them.
int run_front_end(std::string_view name, int argc, char** argv, bool& handled) {
    handled = true;
    if (name == "help" || is_help_flag(name)) return run_help(argc, argv);
    if (name == "version" || name == "--version") return run_version();
    if (name == "completion") return run_completion(argc, argv);
    handled = false;
    return kExitOk;
}

}  // namespace

int dispatch(int argc, char** argv) {
    if (argc < 2) return print_usage();
    const std::string_view name = argv[1];
    const VerbSpec* verb = find_verb(name);
    if (!verb) {
        bool handled = false;
        const int code = run_front_end(name, argc, argv, handled);
        if (handled) return code;
    }
    // --help (or -h) anywhere after the verb wins over every other rule of the verb.
    if (verb) {
        for (int i = 2; i < argc; ++i) {
            if (is_help_flag(argv[i])) return print_verb_help(*verb);
        }
    }
    if (verb && (verb->marks & kOwnArgs)) return verb->run_argv(argc, argv);

    Options options;
    const bool bare_file = verb && (verb->marks & kBareFile);
    const OptionParseResult parsed = parse_options(argc, argv, name, bare_file, options);
    if (!parsed.ok) {
        write_err(parsed.message + '\n');
        return kExitFailure;
    }
    if (!verb) {
        print_usage();
        write_err(unknown_verb_line(name));
        return kExitFailure;
    }
    for (std::string_view unknown : parsed.unknown) write_err(unknown_option_line(name, unknown));

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
