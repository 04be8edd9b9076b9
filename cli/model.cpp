#include "cli/model.h"

#include <string>
#include <system_error>

#include "cli/options.h"
#include "cli/report.h"
#include "cli/samples/fallback_model.h"
#include "io/korv_reader.h"
#include "io/korv_writer.h"
#include "platform/atomic_file.h"

namespace korvan::cli {

std::optional<Document> acquire_model(const VerbCall& call) {
    Document doc;
    if (call.options.in.empty()) {
        install_fallback_model(doc);
        return doc;
    }
    if (!io::load_document(call.options.in, doc)) {
        write_err("Failed to load " + quoted_path(call.options.in) + '\n');
        return std::nullopt;
    }
    return doc;
}

bool save_document(const Document& doc, const std::filesystem::path& path) {
    std::error_code ec;
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) {
        write_err("Failed to save: " + quoted_path(path) + ": " + ec.message() + '\n');
        return false;
    }
    if (!io::write_document(path, doc)) {
        write_err("Failed to save: " + quoted_path(path) + platform::write_error_suffix() + '\n');
        return false;
    }
    return true;
}

std::optional<std::filesystem::path> save_target(const VerbCall& call) {
    const VerbSpec* verb = find_verb(call.verb);
    if (call.options.out.given) return call.options.out.value;
    if (verb && (verb->marks & kWriteBack) && !call.options.in.empty()) return call.options.in;
    return std::nullopt;
}

}  // namespace korvan::cli
