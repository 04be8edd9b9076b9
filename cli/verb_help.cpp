#include "cli/verb_help.h"

#include <algorithm>
#include <type_traits>
#include <variant>

#include "cli/option_table.h"
#include "cli/options.h"
#include "cli/report.h"
#include "cli/suggest.h"

namespace korvan::cli {
namespace {

// Placeholder columns wider than this push the description to the next line's position
// instead of widening every row.
constexpr std::size_t kOptionColumn = 30;

bool is_option_start(std::string_view text) {
    return text.size() > 2 && text.starts_with("--") && text[2] >= 'a' && text[2] <= 'z';
}

bool is_name_char(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; }

// A synopsis word without the brackets that group it: leading '[' and '(' always, trailing
// ']' and ')' only while they close nothing inside the word ("A[,B...]" keeps its own).
std::string_view strip_brackets(std::string_view word) {
    while (!word.empty() && (word.front() == '[' || word.front() == '(')) word.remove_prefix(1);
    auto count = [&](char c) { return std::count(word.begin(), word.end(), c); };
    while (!word.empty() && ((word.back() == ']' && count(']') > count('[')) ||
                             (word.back() == ')' && count(')') > count('(')))) {
        word.remove_suffix(1);
    }
    return word;
}

// The synopsis cut into blank-separated words, a double-quoted stretch counting as one.
std::vector<std::string_view> synopsis_words(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        std::size_t end = text.find(' ', i);
        if (text[i] == '"' || (text[i] == '[' && i + 1 < text.size() && text[i + 1] == '"')) {
            const std::size_t close = text.find('"', text.find('"', i) + 1);
            if (close != std::string_view::npos) end = text.find(' ', close);
        }
        if (end == std::string_view::npos) end = text.size();
        words.push_back(text.substr(i, end - i));
        i = end;
    }
    return words;
}

// A placeholder that is its own alternative list of options stops before the next option
// ("N|--grip-at" is the placeholder "N").
std::string_view placeholder_of(std::string_view word) {
    word = strip_brackets(word);
    if (word.empty() || word.front() == '-' || word == "|") return {};
    if (const std::size_t bar = word.find("|--"); bar != std::string_view::npos) {
        word = word.substr(0, bar);
    }
    if (word.size() >= 2 && word.front() == '"' && word.back() == '"') {
        word = word.substr(1, word.size() - 2);
    }
    return word;
}

const OptionRow* table_row(const VerbSpec& verb, std::string_view name) {
    if (verb.marks & kOwnArgs) return nullptr;  // its names are its own, whatever they spell
    return find_option(name);
}

// The default the option record starts with, when saying it helps: plain fields always
// (the verb sees exactly that value), given-flagged fields only when the record starts them
// at something other than zero or empty (otherwise the verb decides what absent means).
std::string default_text(const Slot& slot) {
    static const Options kDefaults;
    std::string out;
    std::visit(
        [&](const auto& member) {
            using M = std::remove_cvref_t<decltype(member)>;
            if constexpr (std::is_member_object_pointer_v<M>) {
                const auto& field = kDefaults.*member;
                using F = std::remove_cvref_t<decltype(field)>;
                auto show = [&](const auto& value, bool given_flagged) {
                    using V = std::remove_cvref_t<decltype(value)>;
                    if constexpr (std::is_same_v<V, bool>) {
                        // Flags and switches start off; that says nothing.
                    } else if constexpr (std::is_same_v<V, std::string>) {
                        if (!value.empty()) out = value;
                    } else if constexpr (std::is_same_v<V, std::filesystem::path>) {
                        if (!value.empty()) out = value.string();
                    } else if constexpr (std::is_floating_point_v<V> || std::is_integral_v<V>) {
                        if (given_flagged && value == V{}) return;
                        if constexpr (std::is_floating_point_v<V>) {
                            append_float(out, value);
                        } else {
                            append_int(out, static_cast<std::int64_t>(value));
                        }
                    } else if constexpr (std::is_same_v<V, Float3> || std::is_same_v<V, Float2>) {
                        if (given_flagged && value == V{}) return;
                        for (std::size_t i = 0; i < value.size(); ++i) {
                            if (i > 0) out += ',';
                            append_float(out, value[i]);
                        }
                    }
                    // Lists, sizes, regions and planes start empty: nothing to say.
                };
                if constexpr (requires { field.given; }) {
                    show(field.value, true);
                } else if constexpr (!std::is_enum_v<F>) {
                    show(field, false);
                }
            }
        },
        slot);
    return out;
}

std::string_view kind_words(ValueKind kind) {
    switch (kind) {
        case ValueKind::kNone:
            return "";
        case ValueKind::kFlag:
            return "flag";
        case ValueKind::kText:
            return "text";
        case ValueKind::kPath:
            return "path";
        default:
            return "value";
    }
}

}  // namespace

std::vector<SynopsisOption> synopsis_options(std::string_view synopsis) {
    std::vector<SynopsisOption> out;
    const std::vector<std::string_view> words = synopsis_words(synopsis);
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string_view word = strip_brackets(words[i]);
        // "--a|--b" and "N|--grip-at" hold option names between bars.
        while (!word.empty()) {
            const std::size_t bar = word.find('|');
            std::string_view part = word.substr(0, bar);
            const bool last = bar == std::string_view::npos;
            word = last ? std::string_view() : word.substr(bar + 1);
            if (!is_option_start(part)) continue;
            std::size_t n = 2;
            while (n < part.size() && is_name_char(part[n])) ++n;
            const std::string_view name = part.substr(0, n);
            const bool seen = std::any_of(out.begin(), out.end(),
                                          [&](const SynopsisOption& o) { return o.name == name; });
            if (seen) continue;
            std::string_view placeholder;
            if (last && n == part.size() && i + 1 < words.size()) {
                placeholder = placeholder_of(words[i + 1]);
            }
            out.push_back({name, placeholder});
        }
    }
    return out;
}

std::vector<std::string_view> placeholder_words(std::string_view placeholder) {
    std::vector<std::string_view> words;
    if (placeholder.find('|') == std::string_view::npos) return words;
    while (true) {
        const std::size_t bar = placeholder.find('|');
        const std::string_view word = placeholder.substr(0, bar);
        const bool literal = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
            return is_name_char(c) || c == '_';
        });
        if (!literal) return {};
        words.push_back(word);
        if (bar == std::string_view::npos) return words;
        placeholder.remove_prefix(bar + 1);
    }
}

std::vector<std::string_view> option_words(const VerbSpec& verb, const SynopsisOption& option) {
    if (const OptionRow* row = table_row(verb, option.name)) {
        const OptionReading reading = reading_for(*row, verb.name);
        if (reading.kind == ValueKind::kChoice) {
            const auto& words = std::get<ChoiceSlot>(*reading.slot).words;
            return {words.begin(), words.end()};
        }
        if (reading.kind == ValueKind::kSwitch) return {"0", "1", "on", "off"};
        if (reading.kind == ValueKind::kYesNo) return {"yes", "no"};
        if (reading.kind != ValueKind::kText) return {};
    }
    return placeholder_words(option.placeholder);
}

bool option_takes_value(const VerbSpec& verb, const SynopsisOption& option) {
    if (const OptionRow* row = table_row(verb, option.name)) {
        const ValueKind kind = reading_for(*row, verb.name).kind;
        return kind != ValueKind::kFlag && kind != ValueKind::kNone;
    }
    return !option.placeholder.empty();
}

bool option_takes_path(const VerbSpec& verb, const SynopsisOption& option) {
    if (const OptionRow* row = table_row(verb, option.name)) {
        return reading_for(*row, verb.name).kind == ValueKind::kPath;
    }
    const std::string_view p = option.placeholder;
    return p == "FILE" || p == "DIR" || p.ends_with("_FILE") || p.find(".korv") != p.npos;
}

std::vector<std::string_view> verb_names() {
    std::vector<std::string_view> names;
    for (const VerbSpec& v : verb_table()) {
        if (!v.name.empty()) names.push_back(v.name);
    }
    return names;
}

std::vector<std::string> mark_phrases(const VerbSpec& verb) {
    std::vector<std::string> out;
    const std::uint32_t m = verb.marks;
    if (m & kOwnArgs) out.push_back("reads its own arguments");
    if (m & kRequiresOut) out.push_back("requires --out");
    if (m & kReadOnly) out.push_back("read-only (refuses --out)");
    if (m & kRequiresIn) out.push_back("requires --in");
    if (m & kSampleModel) out.push_back("works on the sample house (shell-townhouse) without --in");
    if (m & kBareFile) out.push_back("takes a bare file.korv as --in");
    if (m & kDryRun) out.push_back("dry run without --out (nothing written)");
    if (m & kWriteBack) out.push_back("without --out the result overwrites --in");
    return out;
}

std::string option_description(const VerbSpec& verb, const SynopsisOption& option) {
    const OptionRow* row = table_row(verb, option.name);
    std::string out;
    if (!row) {
        out = option.placeholder.empty() ? "flag" : "";
    } else {
        const OptionReading reading = reading_for(*row, verb.name);
        constexpr std::string_view kMustBe = " must be ";
        if (const std::size_t at = reading.message.find(kMustBe); at != std::string_view::npos) {
            out = reading.message.substr(at + kMustBe.size());
        } else if (reading.kind == ValueKind::kText &&
                   !placeholder_words(option.placeholder).empty()) {
            out = "one of the words shown";
        } else {
            out = kind_words(reading.kind);
        }
        std::string fallback = default_text(*reading.slot);
        // Only the render verbs write into the record's "korvan_out" when --out is absent;
        // every other verb goes by whether --out was given, and the marks say what then.
        if (option.name == "--out" && !verb_in_scope(VerbScope::kRender, verb.name)) {
            fallback.clear();
        }
        if (!fallback.empty()) out.append(", default ").append(fallback);
    }
    auto add = [&](std::string_view note) {
        if (!out.empty()) out.append(", ");
        out.append(note);
    };
    if (option.name == "--out") {
        if (verb.marks & kRequiresOut) add("required");
        if (verb.marks & kDryRun) add("optional: without it a dry run");
        if (verb.marks & kWriteBack) add("optional: without it --in is overwritten");
    }
    if (option.name == "--in") {
        if (verb.marks & kRequiresIn) add("required");
        if (verb.marks & kSampleModel) add("without it the sample house");
    }
    return out;
}

void append_verb_help(std::string& out, const VerbSpec& verb) {
    out.append("usage: korvan_cli ").append(verb.name);
    if (!verb.synopsis.empty()) out.append(" ").append(verb.synopsis);
    out.append("\n\n");
    std::string_view help = verb.help;
    while (!help.empty()) {
        const std::size_t end = std::min(help.find('\n'), help.size());
        out.append("  ").append(help.substr(0, end)).push_back('\n');
        help.remove_prefix(std::min(end + 1, help.size()));
    }
    if (const std::vector<std::string> marks = mark_phrases(verb); !marks.empty()) {
        out.append("\n");
        for (const std::string& phrase : marks) out.append("  * ").append(phrase).push_back('\n');
    }
    const std::vector<SynopsisOption> options = synopsis_options(verb.synopsis);
    if (options.empty()) return;
    out.append("\noptions:\n");
    for (const SynopsisOption& o : options) {
        std::string lead = "  ";
        lead.append(o.name);
        if (!o.placeholder.empty()) lead.append(" ").append(o.placeholder);
        const std::string description = option_description(verb, o);
        out.append(lead);
        if (!description.empty()) {
            out.append(lead.size() < kOptionColumn ? kOptionColumn - lead.size() : 2, ' ');
            out.append(description);
        }
        out.push_back('\n');
    }
}

std::string unknown_verb_line(std::string_view typed) {
    std::vector<std::string_view> names = verb_names();
    names.insert(names.end(), {"help", "version", "completion"});  // the front end's own words
    std::string line = "korvan_cli: unknown verb '";
    line.append(typed).append("'");
    if (const auto near = suggest(typed, names); !near.empty()) {
        line.append("; did you mean ").append(or_list(near, "'")).append("?");
    }
    return line + '\n';
}

std::string unknown_option_line(std::string_view verb, std::string_view typed) {
    // The verb's own options are what the user had in mind; every other option it reads
    // is the fallback ("--fase" on face-pushpull is --face, not --fast).
    std::vector<std::string_view> own, names;
    if (const VerbSpec* spec = find_verb(verb)) {
        for (const SynopsisOption& o : synopsis_options(spec->synopsis)) own.push_back(o.name);
    }
    for (const OptionRow& row : option_table()) {
        if (reading_for(row, verb).kind != ValueKind::kNone) names.push_back(row.name);
    }
    std::vector<std::string_view> near = suggest(typed, own);
    if (near.empty()) near = suggest(typed, names);
    std::string line = "warning: unknown option ";
    line.append(typed).append(" ignored");
    if (!near.empty()) {
        line.append(" (did you mean ").append(or_list(near, "")).append("?)");
    }
    return line + '\n';
}

}  // namespace korvan::cli
