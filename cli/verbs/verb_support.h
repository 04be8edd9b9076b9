#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/model.h"
#include "cli/options.h"
#include "cli/verb_table.h"
#include "core/ids.h"
#include "core/vec3.h"
#include "document/document.h"

// What every edit and query handler does the same way: refuse in the verb's words, save where
// the verb saves, and read face lists the same way.

namespace korvan::cli {

// "<verb>: <reason>" on standard error; returns `code`. Nothing has been written.
int refuse(const VerbCall& call, std::string_view reason, int code = kExitFailure);

// "<verb> requires <what>" for a missing option (no colon after the verb); exit 1.
int refuse_missing(const VerbCall& call, std::string_view what);

// Saves where the verb saves (save_target), appending ", saved to " and the quoted path to
// the sentence, then prints it with a line feed. A failed save prints its own message.
int finish_edit(const VerbCall& call, const Document& doc, std::string sentence);

// Loads the model and runs edit(doc, sentence, reason): true saves and prints the sentence,
// false refuses with the reason and writes nothing.
template <class Edit>
int edit_document(const VerbCall& call, Edit&& edit) {
    std::optional<Document> doc = acquire_model(call);
    if (!doc) return kExitFailure;
    std::string sentence, reason;
    if (!edit(*doc, sentence, reason)) return refuse(call, reason);
    return finish_edit(call, *doc, std::move(sentence));
}

// edit_document on the root mesh: edit(mesh, sentence, reason).
template <class Edit>
int edit_root_mesh(const VerbCall& call, Edit&& edit) {
    return edit_document(call, [&](Document& doc, std::string& sentence, std::string& reason) {
        return edit(doc.root().mesh, sentence, reason);
    });
}

// The listed faces that are alive, each once, ascending.
std::vector<FaceId> distinct_alive_faces(const Mesh& mesh, std::span<const std::uint32_t> faces);

inline Vec3 to_vec3(const Float3& v) { return {v[0], v[1], v[2]}; }

}  // namespace korvan::cli
