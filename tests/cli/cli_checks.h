#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/mesh.h"
#include "tests/support/cli_runner.h"

namespace korvan {
class Document;
}

namespace korvan::test {

using Args = std::vector<std::string>;
using DocCheck = std::function<void(const Document&)>;

// One run of the binary and all it must print. `stats` ("faces=6 vol=1", keys of the `stats`
// report) and `check` judge the file a successful run reports it saved.
struct CliCase {
    Args args;
    std::string out, err;
    int exit_code = 0;
    std::string stats = {};
    DocCheck check = {};
};

// A run that succeeds silently on standard error.
CliCase ok(Args args, std::string out, std::string stats = {}, DocCheck check = {});
// A run that prints nothing on standard output and stops with `exit_code`.
CliCase refused(Args args, std::string err, int exit_code = 1);

// Runs each case in `dir`, comparing stdout, stderr and exit code exactly. Only a successful
// run may touch the disk, and only the file it reports (", saved to \"FILE\"") or, for a case
// with `stats` or `check`, its --out; every other file below `dir` stays byte for byte the same.
void expect_runs(const std::filesystem::path& dir, const std::vector<CliCase>& cases);

// As expect_runs with "--out o.korv" appended to every case: a success prints its sentence
// followed by ", saved to \"o.korv\"" and leaves a readable o.korv behind.
void expect_saves(const std::filesystem::path& dir, const std::vector<CliCase>& cases);

// Runs every step, expecting success, in `dir` (a fresh directory when empty); returns the
// directory.
std::filesystem::path make_models(const std::vector<Args>& steps, std::filesystem::path dir = {});

// The value of `key=` in a report ("" when absent); a key matches only at a word start.
std::string stat_value(const std::string& report, const std::string& key);

std::string read_file(const std::filesystem::path& path);
Document load_model(const std::filesystem::path& path);
void write_model(const std::filesystem::path& path, const Document& doc);

// Definition ids of the root's instances, in child order.
std::vector<std::string> instance_definitions(const Document& doc);

// A closed axis-aligned cube from the origin to (size, size, size): faces bottom, top, -y,
// +y, -x, +x; vertex i sits at the corner whose x, y, z bits are those of i.
Mesh cube_mesh(float size = 1.0f);

// The usable edge joining a and b, or kInvalidId.
EdgeId edge_between(const Mesh& m, VertexId a, VertexId b);

}  // namespace korvan::test
