#include "cli/completion.h"

#include <algorithm>
#include <map>
#include <vector>

#include "cli/verb_help.h"
#include "cli/verb_table.h"

namespace korvan::cli {
namespace {

// What to offer after an option that takes a value.
struct ValueAction {
    enum Kind : std::uint8_t { kNothing, kWords, kModelFiles, kAnyFiles } kind = kNothing;
    std::string words;  // blank-separated, for kWords

    bool operator<(const ValueAction& o) const {
        return kind != o.kind ? kind < o.kind : words < o.words;
    }
    bool operator==(const ValueAction& o) const { return kind == o.kind && words == o.words; }
};

struct VerbCompletion {
    std::string_view name;
    std::string options;  // blank-separated
    bool bare_file = false;
};

// For one option name, the verbs that read its value one way. The commonest way is said
// once for every verb; the others name their verbs.
struct OptionActions {
    std::map<ValueAction, std::vector<std::string_view>> verbs_by_action;
};

struct CompletionData {
    std::string verbs;  // blank-separated, usage order
    std::vector<VerbCompletion> per_verb;
    std::map<std::string_view, OptionActions> values;  // option name -> actions
};

std::string joined(const std::vector<std::string_view>& words) {
    std::string out;
    for (std::string_view w : words) {
        if (!out.empty()) out += ' ';
        out.append(w);
    }
    return out;
}

ValueAction action_for(const VerbSpec& verb, const SynopsisOption& option) {
    ValueAction action;
    if (const auto words = option_words(verb, option); !words.empty()) {
        action.kind = ValueAction::kWords;
        action.words = joined(words);
    } else if (option_takes_path(verb, option)) {
        const bool model = option.placeholder.find(".korv") != std::string_view::npos;
        action.kind = model ? ValueAction::kModelFiles : ValueAction::kAnyFiles;
    }
    return action;
}

CompletionData collect() {
    CompletionData data;
    data.verbs = joined(verb_names());
    for (const VerbSpec& verb : verb_table()) {
        if (verb.name.empty()) continue;
        VerbCompletion entry{verb.name, "--help", (verb.marks & kBareFile) != 0};
        for (const SynopsisOption& option : synopsis_options(verb.synopsis)) {
            entry.options.append(" ").append(option.name);
            if (!option_takes_value(verb, option)) continue;
            data.values[option.name].verbs_by_action[action_for(verb, option)].push_back(verb.name);
        }
        data.per_verb.push_back(std::move(entry));
    }
    return data;
}

// The action most verbs use comes last, as the catch-all; the rest list their verbs.
std::vector<std::pair<const ValueAction*, const std::vector<std::string_view>*>> ordered(
    const OptionActions& actions) {
    std::vector<std::pair<const ValueAction*, const std::vector<std::string_view>*>> out;
    for (const auto& [action, verbs] : actions.verbs_by_action) out.push_back({&action, &verbs});
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return a.second->size() < b.second->size();
    });
    return out;
}

// "--face" as a case pattern for the words "$verb $prev": "*' --face'" for every verb, or
// "'v1 --face'|'v2 --face'" for the listed ones.
std::string case_pattern(std::string_view option, const std::vector<std::string_view>* verbs) {
    std::string out;
    if (!verbs) return "*' " + std::string(option) + "'";
    for (std::string_view v : *verbs) {
        if (!out.empty()) out += '|';
        out.append("'").append(v).append(" ").append(option).append("'");
    }
    return out;
}

void append_bash(std::string& out, const CompletionData& data) {
    out.append(
        "# bash completion for korvan_cli, generated from its verb and option tables\n"
        "# (korvan_cli completion bash). Verbs, each verb's options, the words an option\n"
        "# accepts and .korv files where a model goes.\n\n"
        "_korvan_cli_files() {\n"
        "    compopt -o filenames 2>/dev/null\n"
        "    if [[ $1 == korv ]]; then\n"
        "        COMPREPLY=($(compgen -d -- \"$cur\") $(compgen -f -X '!*.korv' -- \"$cur\"))\n"
        "    else\n"
        "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
        "    fi\n"
        "}\n\n"
        "_korvan_cli() {\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
        "    local verbs='");
    out.append(data.verbs)
        .append(
            "'\n"
            "    COMPREPLY=()\n"
            "    if ((COMP_CWORD == 1)); then\n"
            "        COMPREPLY=($(compgen -W \"$verbs help version completion --help --version\" "
            "-- \"$cur\"))\n"
            "        return\n"
            "    fi\n"
            "    local verb=${COMP_WORDS[1]} options='' bare=0\n"
            "    case $verb in\n"
            "    help|--help|-h)\n"
            "        ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W \"$verbs\" -- \"$cur\"))\n"
            "        return ;;\n"
            "    completion)\n"
            "        ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W 'bash zsh fish' -- \"$cur\"))\n"
            "        return ;;\n");
    for (const VerbCompletion& v : data.per_verb) {
        out.append("    ").append(v.name).append(") options='").append(v.options).append("'");
        if (v.bare_file) out.append(" bare=1");
        out.append(" ;;\n");
    }
    out.append("    esac\n    case \"$verb $prev\" in\n");
    for (const auto& [option, actions] : data.values) {
        const auto list = ordered(actions);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const bool catch_all = i + 1 == list.size();
            const ValueAction& action = *list[i].first;
            out.append("    ").append(case_pattern(option, catch_all ? nullptr : list[i].second));
            switch (action.kind) {
                case ValueAction::kNothing:
                    out.append(") return ;;\n");
                    break;
                case ValueAction::kWords:
                    out.append(") COMPREPLY=($(compgen -W '").append(action.words);
                    out.append("' -- \"$cur\")); return ;;\n");
                    break;
                case ValueAction::kModelFiles:
                    out.append(") _korvan_cli_files korv; return ;;\n");
                    break;
                case ValueAction::kAnyFiles:
                    out.append(") _korvan_cli_files any; return ;;\n");
                    break;
            }
        }
    }
    out.append(
        "    esac\n"
        "    if [[ $cur != -* && $bare == 1 ]]; then\n"
        "        _korvan_cli_files korv\n"
        "    else\n"
        "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
        "    fi\n"
        "}\n"
        "complete -F _korvan_cli korvan_cli\n");
}

void append_zsh(std::string& out, const CompletionData& data) {
    out.append(
        "#compdef korvan_cli\n"
        "# zsh completion for korvan_cli, generated from its verb and option tables\n"
        "# (korvan_cli completion zsh).\n\n"
        "_korvan_cli() {\n"
        "    local -a verbs opts\n"
        "    verbs=(");
    out.append(data.verbs)
        .append(
            ")\n"
            "    local verb=${words[2]} prev=${words[CURRENT-1]} cur=${words[CURRENT]} bare=0\n"
            "    if ((CURRENT == 2)); then\n"
            "        compadd -- $verbs help version completion --help --version\n"
            "        return\n"
            "    fi\n"
            "    case $verb in\n"
            "    help|--help|-h)\n"
            "        ((CURRENT == 3)) && compadd -- $verbs\n"
            "        return ;;\n"
            "    completion)\n"
            "        ((CURRENT == 3)) && compadd bash zsh fish\n"
            "        return ;;\n");
    for (const VerbCompletion& v : data.per_verb) {
        out.append("    ").append(v.name).append(") opts=(").append(v.options).append(")");
        if (v.bare_file) out.append(" bare=1");
        out.append(" ;;\n");
    }
    out.append("    esac\n    case \"$verb $prev\" in\n");
    for (const auto& [option, actions] : data.values) {
        const auto list = ordered(actions);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const bool catch_all = i + 1 == list.size();
            const ValueAction& action = *list[i].first;
            out.append("    (").append(case_pattern(option, catch_all ? nullptr : list[i].second));
            switch (action.kind) {
                case ValueAction::kNothing:
                    out.append(") return ;;\n");
                    break;
                case ValueAction::kWords:
                    out.append(") compadd -- ").append(action.words).append("; return ;;\n");
                    break;
                case ValueAction::kModelFiles:
                    out.append(") _files -g '*.korv'; return ;;\n");
                    break;
                case ValueAction::kAnyFiles:
                    out.append(") _files; return ;;\n");
                    break;
            }
        }
    }
    out.append(
        "    esac\n"
        "    if [[ $cur != -* && $bare == 1 ]]; then\n"
        "        _files -g '*.korv'\n"
        "    else\n"
        "        compadd -- $opts\n"
        "    fi\n"
        "}\n\n"
        "if [[ ${zsh_eval_context[-1]} == loadautofunc ]]; then\n"
        "    _korvan_cli \"$@\"\n"
        "else\n"
        "    compdef _korvan_cli korvan_cli\n"
        "fi\n");
}

// Text inside fish single quotes: only the quote and the backslash need escaping.
void append_fish_quoted(std::string& out, std::string_view text) {
    out += '\'';
    for (char c : text) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    out += '\'';
}

void append_fish(std::string& out, const CompletionData& data) {
    out.append(
        "# fish completion for korvan_cli, generated from its verb and option tables\n"
        "# (korvan_cli completion fish).\n\n"
        "complete -c korvan_cli -f\n"
        "complete -c korvan_cli -n __fish_use_subcommand -a 'help version completion'\n"
        "complete -c korvan_cli -n __fish_use_subcommand -l help -l version\n"
        "complete -c korvan_cli -n '__fish_seen_subcommand_from help' -xa ");
    append_fish_quoted(out, data.verbs);
    out.append(
        "\ncomplete -c korvan_cli -n '__fish_seen_subcommand_from completion' "
        "-xa 'bash zsh fish'\n");
    for (const VerbSpec& verb : verb_table()) {
        if (verb.name.empty()) continue;
        const std::string_view help = verb.help.substr(0, verb.help.find('\n'));
        out.append("complete -c korvan_cli -n __fish_use_subcommand -a ").append(verb.name);
        out.append(" -d ");
        append_fish_quoted(out, help);
        out += '\n';
    }
    for (const VerbSpec& verb : verb_table()) {
        if (verb.name.empty()) continue;
        const std::string when = "'__fish_seen_subcommand_from " + std::string(verb.name) + "'";
        if (verb.marks & kBareFile) {
            out.append("complete -c korvan_cli -n ").append(when);
            out.append(" -a '(__fish_complete_suffix .korv)'\n");
        }
        for (const SynopsisOption& option : synopsis_options(verb.synopsis)) {
            out.append("complete -c korvan_cli -n ").append(when).append(" -l ");
            out.append(option.name.substr(2));
            if (option_takes_value(verb, option)) {
                const ValueAction action = action_for(verb, option);
                switch (action.kind) {
                    case ValueAction::kNothing:
                        out.append(" -x");
                        break;
                    case ValueAction::kWords:
                        out.append(" -xa ");
                        append_fish_quoted(out, action.words);
                        break;
                    case ValueAction::kModelFiles:
                        out.append(" -xa '(__fish_complete_suffix .korv)'");
                        break;
                    case ValueAction::kAnyFiles:
                        out.append(" -rF");
                        break;
                }
            }
            out += '\n';
        }
    }
}

}  // namespace

bool append_completion_script(std::string& out, std::string_view shell) {
    if (shell != "bash" && shell != "zsh" && shell != "fish") return false;
    const CompletionData data = collect();
    if (shell == "bash") append_bash(out, data);
    if (shell == "zsh") append_zsh(out, data);
    if (shell == "fish") append_fish(out, data);
    return true;
}

}  // namespace korvan::cli
