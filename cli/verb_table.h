#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvan::cli {

struct Options;

// What a verb row promises about --in and --out. The dispatcher enforces O, R and the
// required input before the handler runs; the save helper reads D and W.
enum VerbMark : std::uint32_t {
    kRequiresOut = 1,    // O: stops with "<verb> requires --out" before loading
    kReadOnly = 2,       // R: refuses --out
    kSampleModel = 4,    // S: without --in it works on the built-in shell townhouse
    kBareFile = 8,       // F: a bare non-option argument becomes --in
    kDryRun = 16,        // D: --out optional; without it nothing is written
    kWriteBack = 32,     // W: without --out the result overwrites --in
    kOwnArgs = 64,       // parses argv itself, before the common option loop
    kRequiresIn = 128,   // needs --in; the row's refusal is the sentence printed without it
};

struct VerbCall {
    std::string_view verb;  // the name typed, so aliases sharing a handler can tell themselves apart
    const Options& options;
};

struct VerbSpec {
    std::string_view name;              // empty on a divider row
    std::uint32_t marks = 0;
    std::string_view synopsis;          // what follows "korvan_cli <name> "
    std::string_view help;              // usage comment; '\n' starts a continuation line
    int (*run)(const VerbCall&) = nullptr;
    int (*run_argv)(int, char**) = nullptr;  // only for kOwnArgs rows
    std::string_view refusal = {};      // replaces the standard O, R or required-input sentence
};

// Every row in usage order, dividers included.
std::span<const VerbSpec> verb_table();

// The row named exactly `name` (case-sensitive), or nullptr. Dividers are never found.
const VerbSpec* find_verb(std::string_view name);

// Appends the whole usage text ("Korvan CLI" and one entry per row).
void append_usage(std::string& out);

// Handlers of verbs whose operation has not landed yet: "<verb>: not built yet", exit 1.
int run_not_built(const VerbCall& call);
int run_argv_not_built(int argc, char** argv);

}  // namespace korvan::cli
