#include "cli/mcp_server.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "cli/mcp_pictures.h"
#include "cli/version.h"
#include "io/json.h"

namespace korvan::cli {
namespace {

using io::JsonValue;

constexpr int kParseError = -32700;
constexpr int kMethodNotFound = -32601;
constexpr std::uint32_t kDefaultTimeoutMs = 300000;
constexpr double kTimeoutLimitMs = 4e9;  // beyond a 32-bit millisecond count
constexpr int kSignalExitBase = 128;     // how shells report a death by signal

constexpr std::string_view kDefaultProtocolVersion = "2025-06-18";

constexpr std::string_view kInstructions =
    "These tools drive korvan_cli, a headless 3D modeller for buildings, interiors and "
    "furniture: create, edit, inspect, import/export and render .korv models. Call korvan_help "
    "first for the command list. Start a drawing with korvan_run and the arguments \"new\", "
    "\"--out\", \"name.korv\", then keep passing --in name.korv --out name.korv with that file.";

// Written as text so the members keep the order a reader expects.
constexpr std::string_view kToolList =
    R"({"tools":[)"
    R"({"name":"korvan_help",)"
    R"("description":"Returns the full korvan_cli command reference: every subcommand with its )"
    R"(flags. Call this first to learn the exact flag names.",)"
    R"("inputSchema":{"type":"object","properties":{},"additionalProperties":false}},)"
    R"({"name":"korvan_run",)"
    R"("description":"Runs one korvan_cli command to draw, edit, inspect, import/export or )"
    R"(render a .korv model. Pass the command and each flag and value as separate strings. )"
    R"(Start a drawing with the arguments \"new\", \"--out\", \"room.korv\" and continue with )"
    R"(--in room.korv --out room.korv on each command. A command given no --in starts from the )"
    R"(demo townhouse. Pictures the command writes (BMP, PPM or PNG, up to four) come back as )"
    R"(images after the text, so running still --out view.png lets you look at the model.",)"
    R"("inputSchema":{"type":"object","properties":{)"
    R"("args":{"type":"array","items":{"type":"string"},"minItems":1,)"
    R"("description":"The argument vector after the program name, one flag or value per item, )"
    R"(e.g. [\"stats\", \"--in\", \"room.korv\"]."},)"
    R"("cwd":{"type":"string","description":"Directory that relative --in/--out paths resolve )"
    R"(against; default: the directory the server was started in."},)"
    R"("timeout_ms":{"type":"number","description":"Kill the command after this many )"
    R"(milliseconds; default 300000."}},)"
    R"("required":["args"],"additionalProperties":false}}]})";

void append_int(std::string& out, long long value) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

// The request id as it goes back: a number without decimals, a string quoted, else null.
std::string id_text(const JsonValue* id) {
    if (id && id->is_number() && std::isfinite(id->as_number())) {
        char buf[400];  // %.0f of the largest double has 309 digits
        const auto end =
            std::to_chars(buf, buf + sizeof buf, id->as_number(), std::chars_format::fixed, 0);
        return std::string(buf, end.ptr);
    }
    if (id && id->is_string()) return io::json_quote(id->as_string());
    return "null";
}

std::string result_response(std::string_view id, std::string_view result) {
    std::string out = R"({"jsonrpc":"2.0","id":)";
    out.append(id).append(R"(,"result":)").append(result).append("}");
    return out;
}

std::string error_response(std::string_view id, int code, std::string_view message) {
    std::string out = R"({"jsonrpc":"2.0","id":)";
    out.append(id).append(R"(,"error":{"code":)");
    append_int(out, code);
    out.append(R"(,"message":)");
    io::append_json_quoted(out, message);
    out.append("}}");
    return out;
}

std::string tool_result(std::string_view text, bool is_error,
                        const std::vector<std::string>& pictures) {
    std::string out = R"({"content":[{"type":"text","text":)";
    io::append_json_quoted(out, text);
    out.append("}");
    for (const std::string& data : pictures) {
        out.append(R"(,{"type":"image","data":")").append(data);
        out.append(R"(","mimeType":"image/png"})");
    }
    out.append(R"(],"isError":)").append(is_error ? "true" : "false").append("}");
    return out;
}

std::string initialize_result(const JsonValue* params) {
    const JsonValue* asked = params ? params->find("protocolVersion") : nullptr;
    const std::string_view version = asked && asked->is_string()
                                         ? std::string_view(asked->as_string())
                                         : kDefaultProtocolVersion;
    std::string out = R"({"protocolVersion":)";
    io::append_json_quoted(out, version);
    out.append(R"(,"capabilities":{"tools":{}},"serverInfo":{"name":"korvan","version":)");
    io::append_json_quoted(out, kProgramVersion);
    out.append("}");
    out.append(R"(,"instructions":)");
    io::append_json_quoted(out, kInstructions);
    out.append("}");
    return out;
}

// The sentence for a child that never ran, or empty when it started.
std::string start_failure(const platform::ChildRun& run) {
    switch (run.start) {
        case platform::ChildStart::kStarted:
            return {};
        case platform::ChildStart::kNoPipes:
            return "could not create pipes";
        case platform::ChildStart::kNoStart: {
            std::string text = "could not start korvan_cli (error ";
            append_int(text, run.start_error);
            return text + ")";
        }
    }
    return {};
}

std::string_view trim_line(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return line;
}

}  // namespace

McpServer::McpServer(std::filesystem::path start_dir, McpChildRunner runner)
    : start_dir_(std::move(start_dir)), runner_(std::move(runner)) {}

std::string McpServer::handle_line(std::string_view line) {
    line = trim_line(line);
    if (line.empty()) return {};

    JsonValue request;
    std::string error;
    if (!parse_json(line, request, &error)) {
        return error_response("null", kParseError, "Parse error: " + error);
    }
    if (!request.is_object()) {
        return error_response("null", kParseError, "Parse error: the message is not a JSON object");
    }
    const JsonValue* id = request.find("id");
    if (!id) return {};  // a notification is never answered, whatever its method

    const std::string id_json = id_text(id);
    const std::string_view method = request.get_string("method", "");
    const JsonValue* params = request.find("params");
    if (method == "initialize") return result_response(id_json, initialize_result(params));
    if (method == "tools/list") return result_response(id_json, kToolList);
    if (method == "ping") return result_response(id_json, "{}");
    if (method == "resources/list") return result_response(id_json, R"({"resources":[]})");
    if (method == "prompts/list") return result_response(id_json, R"({"prompts":[]})");
    if (method == "tools/call") {
        const std::string_view name = params ? params->get_string("name", "") : "";
        const JsonValue* arguments = params ? params->find("arguments") : nullptr;
        bool is_error = false;
        std::vector<std::string> pictures;
        const std::string text = call_tool(name, arguments, is_error, pictures);
        return result_response(id_json, tool_result(text, is_error, pictures));
    }
    return error_response(id_json, kMethodNotFound, "Method not found: " + std::string(method));
}

std::string McpServer::call_tool(std::string_view name, const JsonValue* arguments, bool& is_error,
                                 std::vector<std::string>& pictures) {
    if (name == "korvan_help") {
        // The program run with no arguments prints the usage generated from the verb table.
        const platform::ChildRun run = runner_({}, start_dir_, kDefaultTimeoutMs);
        std::string failure = start_failure(run);
        is_error = !failure.empty();
        if (is_error) return failure;
        return run.out.empty() ? run.err : run.out;
    }
    if (name == "korvan_run") return run_verb(arguments, is_error, pictures);
    is_error = true;
    return "Unknown tool: " + std::string(name);
}

std::string McpServer::run_verb(const JsonValue* arguments, bool& is_error,
                                std::vector<std::string>& pictures) {
    is_error = true;
    const JsonValue* list = arguments ? arguments->find("args") : nullptr;
    if (!list || !list->is_array() || list->items().empty()) {
        return "\"args\" must be a non-empty array of strings.";
    }
    std::vector<std::string> args;
    args.reserve(list->items().size());
    for (const JsonValue& item : list->items()) {
        if (!item.is_string()) return "Every item in \"args\" must be a string.";
        args.push_back(item.as_string());
    }
    // A nested server would read the child's empty input and stop: never what was meant.
    if (args.front() == "mcp") return "\"mcp\" starts a server; it is not a command to run.";

    const std::string_view cwd_given = arguments->get_string("cwd", "");
    const std::filesystem::path cwd =
        cwd_given.empty() ? start_dir_ : std::filesystem::path(cwd_given);
    std::uint32_t timeout_ms = kDefaultTimeoutMs;
    if (const JsonValue* t = arguments->find("timeout_ms"); t && t->is_number()) {
        const double wanted = t->as_number();
        if (wanted > 0 && wanted < kTimeoutLimitMs) timeout_ms = static_cast<std::uint32_t>(wanted);
    }

    // The folder is compared before and after, so only what this command wrote is shown.
    const std::vector<PictureFileStamp> before = snapshot_picture_files(cwd);
    const platform::ChildRun run = runner_(args, cwd, timeout_ms);
    if (std::string failure = start_failure(run); !failure.empty()) return failure;
    const std::vector<std::filesystem::path> written =
        written_picture_files(before, snapshot_picture_files(cwd));

    std::string text = "$ korvan_cli";
    for (const std::string& arg : args) text.append(" ").append(arg);
    text.append("\ncwd: ").append(cwd.string()).append("\n");
    if (run.timed_out) {
        text.append("TIMED OUT");
    } else {
        text.append("exit code: ");
        append_int(text, run.term_signal != 0 ? kSignalExitBase + run.term_signal : run.exit_code);
    }
    if (!run.out.empty()) text.append("\n--- stdout ---\n").append(run.out);
    if (!run.err.empty()) text.append("\n--- stderr ---\n").append(run.err);
    if (run.out_truncated || run.err_truncated) text.append("\n...[output truncated]");
    for (const std::filesystem::path& path : written) {
        if (pictures.size() == kMaxPicturesShown) break;
        std::string png, note;
        if (picture_as_png(path, path.lexically_relative(cwd).string(), png, note)) {
            pictures.push_back(base64(png));
        } else {
            text.append("\n").append(note);
        }
    }
    is_error = run.timed_out || run.term_signal != 0 || run.exit_code != 0;
    return text;
}

}  // namespace korvan::cli
