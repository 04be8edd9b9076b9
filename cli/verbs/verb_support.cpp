#include "cli/verbs/verb_support.h"

#include <algorithm>
#include <filesystem>

#include "cli/report.h"

namespace korvan::cli {

int refuse(const VerbCall& call, std::string_view reason, int code) {
    std::string err(call.verb);
    err.append(": ").append(reason).append("\n");
    write_err(err);
    return code;
}

int refuse_missing(const VerbCall& call, std::string_view what) {
    std::string err(call.verb);
    err.append(" requires ").append(what).append("\n");
    write_err(err);
    return kExitFailure;
}

int finish_edit(const VerbCall& call, const Document& doc, std::string sentence) {
    if (const std::optional<std::filesystem::path> target = save_target(call)) {
        if (!save_document(doc, *target)) return kExitFailure;
        sentence.append(", saved to ");
        append_quoted_path(sentence, *target);
    }
    sentence.append("\n");
    write_out(sentence);
    return kExitOk;
}

std::vector<FaceId> distinct_alive_faces(const Mesh& mesh, std::span<const std::uint32_t> faces) {
    std::vector<FaceId> out;
    for (const FaceId f : faces) {
        if (mesh.face_usable(f)) out.push_back(f);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

}  // namespace korvan::cli
