#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cli/verb_table.h"

namespace korvan {
class Document;
}

namespace korvan::cli {

// Document tables (document_verbs.cpp).
int run_clear_mesh(const VerbCall& call);
// `clear-doc` and `clear-document`.
int run_clear_doc(const VerbCall& call);
int run_explode(const VerbCall& call);
// `tags` and `list-tags`.
int run_tags(const VerbCall& call);
// `defs` and `list-defs`.
int run_defs(const VerbCall& call);
// `scenes` and `list-scenes`.
int run_scenes(const VerbCall& call);
// `sections` and `list-sections`.
int run_sections(const VerbCall& call);
// `lights` and `list-lights`.
int run_lights(const VerbCall& call);
int run_purge_report(const VerbCall& call);

// Scene-graph nodes (node_verbs.cpp).
// `groups`, `list-groups`, `instances` and `list-instances`.
int run_groups(const VerbCall& call);
int run_find_nodes(const VerbCall& call);
int run_align_nodes(const VerbCall& call);
int run_batch_rename(const VerbCall& call);
int run_isolate(const VerbCall& call);

// Shared by the two files.
// Saves when the call names a file (--out, or --in for write-back verbs), then prints the
// report with ", saved to " and the path added to its first line. Returns the exit code:
// `ok_code` after a report, kExitFailure when the save failed (nothing printed then).
int finish_report(const VerbCall& call, const Document& doc, std::string report, int ok_code = 0);

}  // namespace korvan::cli
