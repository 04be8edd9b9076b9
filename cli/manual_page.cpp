#include "cli/manual_page.h"

#include <string_view>
#include <vector>

#include "cli/verb_help.h"
#include "cli/verb_table.h"
#include "cli/version.h"

namespace korvan::cli {
namespace {

// Text for a roff line: backslashes and hyphens escaped (so options stay hyphens, not
// dashes), and a leading control character neutralised.
std::string roff(std::string_view text) {
    std::string out;
    if (!text.empty() && (text.front() == '.' || text.front() == '\'')) out = "\\&";
    for (char c : text) {
        if (c == '\\') {
            out.append("\\e");
        } else if (c == '-') {
            out.append("\\-");
        } else {
            out += c;
        }
    }
    return out;
}

void append_verb(std::string& out, const VerbSpec& verb) {
    out.append(".TP\n\\fB").append(roff(verb.name)).append("\\fR");
    if (!verb.synopsis.empty()) out.append(" ").append(roff(verb.synopsis));
    out += '\n';
    // The help's lines continue one another: roff fills them into one paragraph.
    std::string_view help = verb.help;
    while (!help.empty()) {
        const std::size_t end = std::min(help.find('\n'), help.size());
        out.append(roff(help.substr(0, end))).push_back('\n');
        help.remove_prefix(std::min(end + 1, help.size()));
    }
    if (const std::vector<std::string> marks = mark_phrases(verb); !marks.empty()) {
        out.append(".br\n\\fIMarks:\\fR ");
        for (std::size_t i = 0; i < marks.size(); ++i) {
            if (i > 0) out.append("; ");
            out.append(roff(marks[i]));
        }
        out += '\n';
    }
    const std::vector<SynopsisOption> options = synopsis_options(verb.synopsis);
    if (options.empty()) return;
    out.append(".RS\n.PD 0\n");
    for (const SynopsisOption& o : options) {
        out.append(".IP \"\\fB").append(roff(o.name)).append("\\fR");
        if (!o.placeholder.empty()) out.append(" \\fI").append(roff(o.placeholder)).append("\\fR");
        out.append("\" 4\n");
        const std::string description = option_description(verb, o);
        if (!description.empty()) out.append(roff(description)).push_back('\n');
    }
    out.append(".PD\n.RE\n");
}

}  // namespace

void append_manual_page(std::string& out) {
    out.append(".\\\" Generated from korvan_cli's verb and option tables; do not edit.\n");
    out.append(".TH KORVAN_CLI 1 \"").append(build_revision_date()).append("\" \"korvan_cli ");
    out.append(kProgramVersion).append("\" \"User Commands\"\n");
    out.append(
        ".SH NAME\n"
        "korvan_cli \\- headless modeller for buildings, interiors and furniture\n"
        ".SH SYNOPSIS\n"
        "\\fBkorvan_cli\\fR \\fIverb\\fR [\\fIoptions\\fR]\n"
        ".br\n"
        "\\fBkorvan_cli help\\fR [\\fIverb\\fR]\n"
        ".br\n"
        "\\fBkorvan_cli\\fR \\fIverb\\fR \\fB\\-\\-help\\fR\n"
        ".br\n"
        "\\fBkorvan_cli \\-\\-version\\fR\n"
        ".br\n"
        "\\fBkorvan_cli completion\\fR \\fBbash\\fR|\\fBzsh\\fR|\\fBfish\\fR\n"
        ".SH DESCRIPTION\n"
        "Each run performs one verb: it loads a \\fI.korv\\fR model (with \\fB\\-\\-in\\fR, or "
        "the built\\-in sample townhouse when the verb works without one), runs one query or "
        "edit, prints a report of key=value tokens on standard output and saves the result "
        "with \\fB\\-\\-out\\fR. Refusals and failures are one sentence on standard error.\n"
        ".PP\n"
        "Options are exact \\fB\\-\\-name\\fR words followed by their value; a later value "
        "wins. An unknown option is ignored with a warning on standard error.\n"
        ".SH VERBS\n");
    for (const VerbSpec& verb : verb_table()) {
        if (verb.name.empty()) {
            std::string_view title = verb.help;
            while (title.starts_with("-") || title.starts_with(" ")) title.remove_prefix(1);
            while (title.ends_with("-") || title.ends_with(" ")) title.remove_suffix(1);
            out.append(".SS \"").append(roff(title)).append("\"\n");
            continue;
        }
        append_verb(out, verb);
    }
    out.append(
        ".SH EXIT STATUS\n"
        ".TP\n0\nThe verb did what was asked.\n"
        ".TP\n1\nUsage error, unknown verb, refused option value, missing required option, "
        "load or save failure, or a refusal of an edit verb.\n"
        ".TP\n2\nThe verb ran but had nothing to do, or refused an input outside its "
        "domain.\n"
        ".SH ENVIRONMENT\n"
        ".TP\n.B KORVAN_ASSETS_DIR\n"
        "The assets directory (components, profiles, presets, textures) when the places "
        "searched by default do not hold it: \\fIassets\\fR beside the program, then "
        "\\fI../share/korvan/assets\\fR relative to the program's folder.\n"
        ".SH SEE ALSO\n"
        "\\fBkorvan_cli help\\fR \\fIverb\\fR for one verb's page.\n");
}

}  // namespace korvan::cli
