#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/verb_table.h"

// Per-verb help, typo hints and the option lists completion and the manual page use. All of
// it is read from the verb and option tables: a verb's options are the ones its synopsis
// names, so a new row is covered the moment it is added.

namespace korvan::cli {

struct OptionRow;

// One option a synopsis names, in order of first appearance.
struct SynopsisOption {
    std::string_view name;  // "--face"
    std::string_view
        placeholder;  // what follows it ("N", "union|subtract|intersect"); empty for a flag
};

std::vector<SynopsisOption> synopsis_options(std::string_view synopsis);

// The literal words of a placeholder such as "union|subtract|intersect"; empty when it
// stands for a value ("N", "dir|file.korv|file.obj", "X,Y,Z").
std::vector<std::string_view> placeholder_words(std::string_view placeholder);

// The words a verb accepts after `option`: the option table's enumeration, else the words
// its synopsis spells out. Empty for free values.
std::vector<std::string_view> option_words(const VerbSpec& verb, const SynopsisOption& option);

// Whether `option` consumes the next argument: its table row says so, or, for the verbs
// that read their own arguments, the synopsis shows a placeholder after it.
bool option_takes_value(const VerbSpec& verb, const SynopsisOption& option);

// Whether the value after `option` names a file, as the option table types it (or, for the
// verbs that read their own arguments, as the placeholder reads: FILE, DIR, *.korv...).
bool option_takes_path(const VerbSpec& verb, const SynopsisOption& option);

// Every verb name in usage order (dividers skipped).
std::vector<std::string_view> verb_names();

// The marks in words, one short phrase per mark ("requires --out", "read-only", ...).
std::vector<std::string> mark_phrases(const VerbSpec& verb);

// What `verb` reads for the option: its value in words ("a uint FaceId", "path", "flag")
// followed by the default the option record starts with, when it has one worth saying.
std::string option_description(const VerbSpec& verb, const SynopsisOption& option);

// The text of `korvan_cli help VERB`: usage line, what it does, marks, options.
void append_verb_help(std::string& out, const VerbSpec& verb);

// "korvan_cli: unknown verb 'x'" plus "; did you mean ...?" when some name is close.
std::string unknown_verb_line(std::string_view typed);

// "warning: unknown option --x ignored" plus " (did you mean --y?)" when one is close among
// the options `verb` reads.
std::string unknown_option_line(std::string_view verb, std::string_view typed);

}  // namespace korvan::cli
