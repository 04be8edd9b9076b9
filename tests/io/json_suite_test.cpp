// Runs the reader over the public JSON parsing test suite: every y_ file must parse,
// every n_ file must fail; i_ files may go either way and are only counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "io/json.h"

namespace korvan::io {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(JsonSuite, AcceptsEveryValidFileAndRefusesEveryInvalidOne) {
    const fs::path dir = fs::path(KORVAN_SHARED_DATA_DIR) / "jsontestsuite";
    if (!fs::is_directory(dir)) GTEST_SKIP() << "JSON test suite not found at " << dir;

    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == ".json") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no .json files in " << dir;

    int y_pass = 0, y_total = 0, n_pass = 0, n_total = 0, i_accepted = 0, i_total = 0;
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        const std::string text = read_file(path);
        JsonValue value;
        std::string error;
        const bool ok = parse_json(text, value, &error);
        if (name.rfind("y_", 0) == 0) {
            ++y_total;
            y_pass += ok;
            EXPECT_TRUE(ok) << name << ": " << error;
            if (ok) {
                // What the writer makes of it must read back to the same text.
                const std::string written = write_json(value);
                JsonValue again;
                ASSERT_TRUE(parse_json(written, again, &error)) << name << ": " << error;
                EXPECT_EQ(write_json(again), written) << name;
            }
        } else if (name.rfind("n_", 0) == 0) {
            ++n_total;
            n_pass += !ok;
            EXPECT_FALSE(ok) << name << " parsed";
            EXPECT_LE(error.size(), 127u) << name;
        } else if (name.rfind("i_", 0) == 0) {
            ++i_total;
            i_accepted += ok;
            std::cout << "  " << name << ": " << (ok ? "accepted" : "refused (" + error + ")")
                      << '\n';
        }
    }
    std::cout << "y_ parsed " << y_pass << "/" << y_total << ", n_ refused " << n_pass << "/"
              << n_total << ", i_ accepted " << i_accepted << "/" << i_total << '\n';
    EXPECT_GT(y_total, 0);
    EXPECT_GT(n_total, 0);
}

}  // namespace
}  // namespace korvan::io
