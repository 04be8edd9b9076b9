// Message handling with a fake child runner, then the real server fed a request file.
#include "cli/mcp_server.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "io/json.h"
#include "tests/support/cli_runner.h"

namespace korvan::cli {
namespace {

using io::JsonValue;

struct FakeChildren {
    platform::ChildRun answer;
    std::vector<std::vector<std::string>> args;
    std::vector<std::filesystem::path> cwds;
    std::vector<std::uint32_t> timeouts;

    McpServer server() {
        return McpServer("/start dir",
                         [this](const std::vector<std::string>& a, const std::filesystem::path& cwd,
                                std::uint32_t timeout_ms) {
                             args.push_back(a);
                             cwds.push_back(cwd);
                             timeouts.push_back(timeout_ms);
                             return answer;
                         });
    }
};

JsonValue parse(const std::string& line) {
    JsonValue value;
    std::string error;
    EXPECT_TRUE(parse_json(line, value, &error)) << error << " in " << line;
    return value;
}

std::string call(McpServer& server, const std::string& tool, const std::string& arguments) {
    return server.handle_line(
        R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":")" + tool +
        R"(","arguments":)" + arguments + "}}");
}

// The text and isError of a tools/call response.
std::pair<std::string, bool> tool_text(const std::string& response) {
    const JsonValue value = parse(response);
    const JsonValue* result = value.find("result");
    if (!result || !result->find("content") || result->find("content")->items().empty()) {
        ADD_FAILURE() << "not a tool result: " << response;
        return {};
    }
    const JsonValue* is_error = result->find("isError");
    return {std::string(result->find("content")->items()[0].get_string("text", "")),
            is_error && is_error->as_bool()};
}

TEST(McpServer, InitializeEchoesAStringProtocolVersion) {
    FakeChildren children;
    McpServer server = children.server();
    const std::string first = server.handle_line(
        R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2024-11-05"}})");
    EXPECT_EQ(
        first.rfind(
            R"({"jsonrpc":"2.0","id":1,"result":{"protocolVersion":"2024-11-05","capabilities":{"tools":{}},"serverInfo":{"name":"korvan","version":"1.1.0"},"instructions":")",
            0),
        0u)
        << first;

    const std::pair<const char*, const char*> cases[] = {
        {R"({"id":2,"method":"initialize"})", "2025-06-18"},
        {R"({"id":2,"method":"initialize","params":{"protocolVersion":5}})", "2025-06-18"},
        {R"({"id":2,"method":"initialize","params":[]})", "2025-06-18"},
        {R"({"id":2,"method":"initialize","params":{"protocolVersion":""}})", ""},
    };
    for (const auto& [request, version] : cases) {
        SCOPED_TRACE(request);
        const JsonValue result = *parse(server.handle_line(request)).find("result");
        EXPECT_EQ(result.get_string("protocolVersion", "?"), version);
        EXPECT_GT(result.get_string("instructions", "").size(), 200u);
    }
}

TEST(McpServer, IdsComeBackInKind) {
    FakeChildren children;
    McpServer server = children.server();
    const std::pair<const char*, const char*> cases[] = {
        {"7", "7"},
        {"\"a\"", "\"a\""},
        {"7.6", "8"},
        {"-3", "-3"},
        {"true", "null"},
        {"null", "null"},
        {"{\"x\":1}", "null"},
        {"1e999", "null"},
        {"\"q\\\"\"", "\"q\\\"\""},
    };
    for (const auto& [id, echoed] : cases) {
        SCOPED_TRACE(id);
        EXPECT_EQ(server.handle_line(std::string(R"({"method":"ping","id":)") + id + "}"),
                  std::string(R"({"jsonrpc":"2.0","id":)") + echoed + R"(,"result":{}})");
    }
}

TEST(McpServer, AnswersNothingToBlankLinesAndNotifications) {
    FakeChildren children;
    McpServer server = children.server();
    for (const char* line : {"", " \t\r", R"({"jsonrpc":"2.0","method":"no/such"})",
                             R"({"method":"tools/call","params":{"name":"korvan_help"}})"}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(server.handle_line(line), "");
    }
    EXPECT_TRUE(children.args.empty()) << "a notification must not run anything";
}

TEST(McpServer, ErrorsForBadLinesAndUnknownMethods) {
    FakeChildren children;
    McpServer server = children.server();
    const std::pair<const char*, const char*> cases[] = {
        {"[]",
         R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error: the message is not a JSON object"}})"},
        {"{",
         R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error: at byte 1: unterminated object"}})"},
        {"{\"id\":1} x",
         R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error: at byte 9: trailing characters after top-level value"}})"},
        {R"({"id":4,"method":"tools/lis"})",
         R"({"jsonrpc":"2.0","id":4,"error":{"code":-32601,"message":"Method not found: tools/lis"}})"},
        {R"({"id":4})",
         R"({"jsonrpc":"2.0","id":4,"error":{"code":-32601,"message":"Method not found: "}})"},
        {" {\"id\":5,\"method\":\"resources/list\"}\t\r",
         R"({"jsonrpc":"2.0","id":5,"result":{"resources":[]}})"},
        {R"({"id":6,"method":"prompts/list"})",
         R"({"jsonrpc":"2.0","id":6,"result":{"prompts":[]}})"},
    };
    for (const auto& [line, response] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(server.handle_line(line), response);
    }
}

TEST(McpServer, ListsBothToolsWithTheirSchemas) {
    FakeChildren children;
    McpServer server = children.server();
    const JsonValue response = parse(server.handle_line(R"({"id":1,"method":"tools/list"})"));
    const auto& tools = response.find("result")->find("tools")->items();
    ASSERT_EQ(tools.size(), 2u);
    EXPECT_EQ(tools[0].get_string("name", ""), "korvan_help");
    EXPECT_EQ(tools[1].get_string("name", ""), "korvan_run");
    const JsonValue& help = *tools[0].find("inputSchema");
    EXPECT_EQ(write_json(help),
              R"({"additionalProperties":false,"properties":{},"type":"object"})");
    const JsonValue& run = *tools[1].find("inputSchema");
    EXPECT_EQ(write_json(*run.find("required")), R"(["args"])");
    EXPECT_FALSE(run.find("additionalProperties")->as_bool());
    const JsonValue& props = *run.find("properties");
    EXPECT_EQ(props.find("args")->get_string("type", ""), "array");
    EXPECT_EQ(props.find("args")->get_int("minItems", 0), 1);
    EXPECT_EQ(props.find("args")->find("items")->get_string("type", ""), "string");
    EXPECT_EQ(props.find("cwd")->get_string("type", ""), "string");
    EXPECT_EQ(props.find("timeout_ms")->get_string("type", ""), "number");
}

TEST(McpServer, RefusesBadRunArgumentsWithoutRunningAnything) {
    FakeChildren children;
    McpServer server = children.server();
    const std::string not_array = "\"args\" must be a non-empty array of strings.";
    const std::string not_string = "Every item in \"args\" must be a string.";
    const std::pair<const char*, std::string> cases[] = {
        {"null", not_array},
        {"{}", not_array},
        {R"({"args":"stats"})", not_array},
        {R"({"args":[]})", not_array},
        {R"({"args":["stats",1]})", not_string},
        {R"({"args":[null]})", not_string},
        {R"({"args":["mcp"]})", "\"mcp\" starts a server; it is not a command to run."},
        {R"({"args":["mcp","--x"]})", "\"mcp\" starts a server; it is not a command to run."},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(arguments);
        EXPECT_EQ(tool_text(call(server, "korvan_run", arguments)), std::make_pair(message, true));
    }
    EXPECT_EQ(tool_text(call(server, "korvan_draw", "{}")),
              std::make_pair(std::string("Unknown tool: korvan_draw"), true));
    EXPECT_TRUE(children.args.empty());
}

TEST(McpServer, PassesArgumentsDirectoryAndTimeoutToTheChild) {
    FakeChildren children;
    McpServer server = children.server();
    struct Case {
        const char* extra;
        std::filesystem::path cwd;
        std::uint32_t timeout_ms;
    };
    const Case cases[] = {
        {"", "/start dir", 300000},
        {R"(,"cwd":"")", "/start dir", 300000},
        {R"(,"cwd":5)", "/start dir", 300000},
        {R"(,"cwd":"/other place")", "/other place", 300000},
        {R"(,"timeout_ms":1)", "/start dir", 1},
        {R"(,"timeout_ms":2.9)", "/start dir", 2},
        {R"(,"timeout_ms":3999999999.5)", "/start dir", 3999999999u},
        {R"(,"timeout_ms":4e9)", "/start dir", 300000},
        {R"(,"timeout_ms":0)", "/start dir", 300000},
        {R"(,"timeout_ms":-5)", "/start dir", 300000},
        {R"(,"timeout_ms":"100")", "/start dir", 300000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.extra);
        children.args.clear();
        call(server, "korvan_run",
             std::string(R"({"args":["stats","my model.korv","mcp"])") + c.extra + "}");
        ASSERT_EQ(children.args.size(), 1u);
        EXPECT_EQ(children.args[0], (std::vector<std::string>{"stats", "my model.korv", "mcp"}));
        EXPECT_EQ(children.cwds.back(), c.cwd);
        EXPECT_EQ(children.timeouts.back(), c.timeout_ms);
    }
}

platform::ChildRun ended(int exit_code, std::string out = {}, std::string err = {}) {
    platform::ChildRun run;
    run.exit_code = exit_code;
    run.out = std::move(out);
    run.err = std::move(err);
    return run;
}

platform::ChildRun changed(platform::ChildRun run, void (*change)(platform::ChildRun&)) {
    change(run);
    return run;
}

TEST(McpServer, RunResultTextShowsCommandOutcomeAndStreams) {
    using platform::ChildRun;
    const std::string head = "$ korvan_cli stats --in a.korv\ncwd: /start dir\n";
    struct Case {
        ChildRun run;
        std::string text;
        bool is_error;
    };
    const Case cases[] = {
        {ended(0), head + "exit code: 0", false},
        {ended(0, "ok\n"), head + "exit code: 0\n--- stdout ---\nok\n", false},
        {ended(1, "", "bad\n"), head + "exit code: 1\n--- stderr ---\nbad\n", true},
        {ended(2, "o", "e"), head + "exit code: 2\n--- stdout ---\no\n--- stderr ---\ne", true},
        {changed(ended(-1, "part"), [](ChildRun& r) { r.timed_out = true, r.term_signal = 9; }),
         head + "TIMED OUT\n--- stdout ---\npart", true},
        {changed(ended(-1), [](ChildRun& r) { r.term_signal = 11; }), head + "exit code: 139",
         true},
        {changed(ended(0, "x"), [](ChildRun& r) { r.out_truncated = true; }),
         head + "exit code: 0\n--- stdout ---\nx\n...[output truncated]", false},
        {changed(ended(0, "", "y"), [](ChildRun& r) { r.err_truncated = true; }),
         head + "exit code: 0\n--- stderr ---\ny\n...[output truncated]", false},
        {changed(ended(-1),
                 [](ChildRun& r) { r.start = platform::ChildStart::kNoStart, r.start_error = 2; }),
         "could not start korvan_cli (error 2)", true},
        {changed(ended(-1), [](ChildRun& r) { r.start = platform::ChildStart::kNoPipes; }),
         "could not create pipes", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        FakeChildren children;
        children.answer = c.run;
        McpServer server = children.server();
        EXPECT_EQ(tool_text(call(server, "korvan_run", R"({"args":["stats","--in","a.korv"]})")),
                  std::make_pair(c.text, c.is_error));
    }
}

TEST(McpServer, HelpRunsTheProgramWithNoArguments) {
    FakeChildren children;
    children.answer = ended(1, "Korvan CLI\n");
    McpServer server = children.server();
    EXPECT_EQ(tool_text(call(server, "korvan_help", R"({"args":["stats"]})")),
              std::make_pair(std::string("Korvan CLI\n"), false));
    ASSERT_EQ(children.args.size(), 1u);
    EXPECT_TRUE(children.args[0].empty());
    EXPECT_EQ(children.timeouts[0], 300000u);

    children.answer = ended(1, "", "only on stderr");
    EXPECT_EQ(tool_text(call(server, "korvan_help", "{}")).first, "only on stderr");
    children.answer.start = platform::ChildStart::kNoStart;
    children.answer.start_error = 13;
    EXPECT_EQ(tool_text(call(server, "korvan_help", "{}")),
              std::make_pair(std::string("could not start korvan_cli (error 13)"), true));
}

// The built server, its real children and a request file on standard input.
TEST(McpServerProcess, AnswersARequestStreamInOrder) {
    const auto dir = test::fresh_temp_dir();
    const int kPings = 1000;
    {
        std::ofstream requests(dir / "requests.jsonl", std::ios::binary);
        requests
            << R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{}})"
            << "\r\n"
            << R"({"jsonrpc":"2.0","method":"notifications/initialized"})"
            << "\n\n"
            << "not json\n"
            << R"({"jsonrpc":"2.0","id":"help","method":"tools/call","params":{"name":"korvan_help","arguments":{}}})"
            << "\n"
            << R"({"jsonrpc":"2.0","id":"run","method":"tools/call","params":{"name":"korvan_run","arguments":{"args":["face-pushpull","--face","3","--distance","1"],"cwd":"sub dir"}}})"
            << "\n";
        for (int i = 1; i <= kPings; ++i)
            requests << R"({"jsonrpc":"2.0","method":"ping","id":)" << i << "}\n";
        requests << R"({"jsonrpc":"2.0","id":"last","method":"ping"})";  // no final line feed
    }
    std::filesystem::create_directories(dir / "sub dir");
    const std::vector<std::string> args = {"-c", "exec \"$0\" mcp < requests.jsonl",
                                           test::cli_path().string()};
    const platform::ChildRun server = platform::run_child("/bin/sh", args, dir, 120000);
    ASSERT_EQ(server.start, platform::ChildStart::kStarted);
    EXPECT_EQ(server.exit_code, 0);
    EXPECT_EQ(server.err, "[korvan-mcp] ready; commands run in " +
                              std::filesystem::canonical(dir).string() + "\n");

    std::vector<std::string> lines;
    for (std::size_t start = 0, nl; (nl = server.out.find('\n', start)) != std::string::npos;
         start = nl + 1) {
        lines.push_back(server.out.substr(start, nl - start));
    }
    ASSERT_EQ(lines.size(), 4u + kPings + 1);
    EXPECT_EQ(parse(lines[0]).get_int("id", -1), 0);
    EXPECT_EQ(parse(lines[1]).find("error")->get_int("code", 0), -32700);
    EXPECT_EQ(tool_text(lines[2]), std::make_pair(test::run_cli({}).out, false));
    EXPECT_EQ(tool_text(lines[3]),
              std::make_pair(std::string("$ korvan_cli face-pushpull --face 3 --distance 1\n"
                                         "cwd: sub dir\nexit code: 1\n--- stderr ---\n"
                                         "face-pushpull requires --out\n"),
                             true));
    for (int i = 1; i <= kPings; ++i) {
        ASSERT_EQ(lines[3 + i],
                  R"({"jsonrpc":"2.0","id":)" + std::to_string(i) + R"(,"result":{}})");
    }
    EXPECT_EQ(parse(lines.back()).get_string("id", ""), "last");
}

}  // namespace
}  // namespace korvan::cli
