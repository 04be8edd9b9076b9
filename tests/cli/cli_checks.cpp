#include "tests/cli/cli_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <map>

#include "document/document.h"
#include "io/korv_reader.h"
#include "io/korv_writer.h"

namespace korvan::test {
namespace {

using Snapshot = std::map<std::string, std::string>;

// Every regular file below `dir` with its bytes, so a run can be shown to have written nothing.
Snapshot snapshot(const std::filesystem::path& dir) {
    Snapshot files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), dir).string()] = read_file(entry.path());
        }
    }
    return files;
}

void expect_saved_stats(const std::filesystem::path& dir, const std::string& file,
                        const std::string& want) {
    const CliRun stats = run_cli({"stats", file}, dir);
    ASSERT_EQ(stats.exit_code, 0) << stats.err;
    std::size_t at = 0;
    while (at < want.size()) {
        const std::size_t end = std::min(want.find(' ', at), want.size());
        const std::string pair = want.substr(at, end - at);
        const std::size_t eq = pair.find('=');
        EXPECT_EQ(stat_value(stats.out, pair.substr(0, eq)), pair.substr(eq + 1)) << pair;
        at = end + 1;
    }
}

// The file a successful run may write: the one its report says it saved, else the --out of a
// case that judges a saved file; "" when the run must leave the disk alone.
std::string saved_file(const CliCase& c) {
    if (c.exit_code != 0) return "";
    const std::string said = ", saved to \"";
    if (const std::size_t at = c.out.find(said); at != std::string::npos) {
        const std::size_t from = at + said.size();
        return c.out.substr(from, c.out.find('"', from) - from);
    }
    if (!c.check && c.stats.empty()) return "";
    const auto out_at = std::find(c.args.begin(), c.args.end(), "--out");
    return out_at == c.args.end() || out_at + 1 == c.args.end() ? "" : *(out_at + 1);
}

}  // namespace

CliCase ok(Args args, std::string out, std::string stats, DocCheck check) {
    return {std::move(args), std::move(out), {}, 0, std::move(stats), std::move(check)};
}

CliCase refused(Args args, std::string err, int exit_code) {
    return {std::move(args), {}, std::move(err), exit_code};
}

void expect_runs(const std::filesystem::path& dir, const std::vector<CliCase>& cases) {
    for (const CliCase& c : cases) {
        std::string line;
        for (const std::string& a : c.args) line += a + " ";
        SCOPED_TRACE(line);
        const Snapshot before = snapshot(dir);
        const CliRun run = run_cli(c.args, dir);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.exit_code, c.exit_code);
        const std::string file = saved_file(c);
        if (file.empty()) {
            EXPECT_EQ(snapshot(dir), before) << "a run that saved nothing touched the files";
            continue;
        }
        const std::string key = std::filesystem::relative(dir / file, dir).string();
        Snapshot after = snapshot(dir), others = before;
        after.erase(key);
        others.erase(key);
        EXPECT_EQ(after, others) << "saving " << file << " touched other files";
        if (!c.stats.empty()) expect_saved_stats(dir, file, c.stats);
        if (c.check) c.check(load_model(dir / file));
    }
}

void expect_saves(const std::filesystem::path& dir, const std::vector<CliCase>& cases) {
    for (CliCase c : cases) {
        std::filesystem::remove(dir / "o.korv");
        c.args.insert(c.args.end(), {"--out", "o.korv"});
        if (c.exit_code == 0) c.out += ", saved to \"o.korv\"\n";
        // Loading the saved file is itself a check, so every success gets one.
        if (c.exit_code == 0 && !c.check) c.check = [](const Document&) {};
        expect_runs(dir, {c});
    }
}

std::filesystem::path make_models(const std::vector<Args>& steps, std::filesystem::path dir) {
    if (dir.empty()) dir = fresh_temp_dir();
    for (const Args& step : steps) {
        const CliRun run = run_cli(step, dir);
        EXPECT_EQ(run.exit_code, 0) << step[0] << ": " << run.err;
    }
    return dir;
}

std::string stat_value(const std::string& report, const std::string& key) {
    const std::string probe = key + "=";
    for (std::size_t at = report.find(probe); at != std::string::npos;
         at = report.find(probe, at + 1)) {
        if (at != 0 && report[at - 1] != ' ' && report[at - 1] != '\n') continue;
        const std::size_t begin = at + probe.size();
        return report.substr(begin, report.find_first_of(" \n", begin) - begin);
    }
    return "";
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

Document load_model(const std::filesystem::path& path) {
    Document doc;
    EXPECT_TRUE(io::load_document(path, doc)) << path << ": " << io::last_load_error();
    return doc;
}

void write_model(const std::filesystem::path& path, const Document& doc) {
    EXPECT_TRUE(io::write_document(path, doc)) << path;
}

std::vector<std::string> instance_definitions(const Document& doc) {
    std::vector<std::string> ids;
    for (const auto& child : doc.root().children) {
        if (child->is_instance()) ids.push_back(child->definition_id);
    }
    return ids;
}

Mesh cube_mesh(float size) {
    Mesh m;
    std::array<VertexId, 8> v{};
    for (int i = 0; i < 8; ++i) {
        v[i] = m.add_vertex({(i & 1) ? size : 0.0f, (i & 2) ? size : 0.0f, (i & 4) ? size : 0.0f});
    }
    const int rings[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& r : rings) m.add_quad(v[r[0]], v[r[1]], v[r[2]], v[r[3]]);
    return m;
}

EdgeId edge_between(const Mesh& m, VertexId a, VertexId b) {
    for (EdgeId e = 0; e < m.edges().size(); ++e) {
        if (!m.edge_usable(e)) continue;
        const auto [p, q] = m.edge_vertices(e);
        if ((p == a && q == b) || (p == b && q == a)) return e;
    }
    return kInvalidId;
}

}  // namespace korvan::test
