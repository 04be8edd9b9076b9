#pragma once

#include <filesystem>
#include <optional>

#include "cli/verb_table.h"
#include "document/document.h"

namespace korvan::cli {

// The document a verb works on: --in read through the native reader, or, without --in, the
// material library plus the shell townhouse. On a failed load prints "Failed to load " and
// the quoted path on standard error and returns nothing.
std::optional<Document> acquire_model(const VerbCall& call);

// Writes the whole document to `path`, creating its parent folders first. On failure prints
// "Failed to save: " and the quoted path and returns false; nothing partial is left behind.
bool save_document(const Document& doc, const std::filesystem::path& path);

// Where an edit's result goes: --out when given; for write-back verbs the --in file; for
// dry-run verbs nothing.
std::optional<std::filesystem::path> save_target(const VerbCall& call);

}  // namespace korvan::cli
