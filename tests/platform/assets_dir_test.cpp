#include "platform/assets_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <string>

#include "platform/exe_path.h"
#include "tests/support/cli_runner.h"

namespace korvan::platform {
namespace {

// Sets or clears KORVAN_ASSETS_DIR for one test and restores it afterwards.
class ScopedAssetsEnv {
public:
    explicit ScopedAssetsEnv(const std::string* value) {
        if (const char* old = getenv("KORVAN_ASSETS_DIR")) saved_ = old, had_ = true;
        if (value) setenv("KORVAN_ASSETS_DIR", value->c_str(), 1);
        else unsetenv("KORVAN_ASSETS_DIR");
    }
    ~ScopedAssetsEnv() {
        if (had_) setenv("KORVAN_ASSETS_DIR", saved_.c_str(), 1);
        else unsetenv("KORVAN_ASSETS_DIR");
    }

private:
    std::string saved_;
    bool had_ = false;
};

std::filesystem::path make_assets(const std::filesystem::path& root) {
    std::filesystem::create_directories(root / "components");
    std::ofstream(root / "components" / "index.json") << "{}";
    return root;
}

}  // namespace

TEST(AssetsDir, EnvironmentComesFirstWhenItHoldsTheCatalogue) {
    const auto dir = make_assets(test::fresh_temp_dir() / "mine");
    const std::string value = dir.string();
    ScopedAssetsEnv env(&value);
    EXPECT_EQ(assets_dir_candidates().front(), dir);
    EXPECT_EQ(find_assets_dir(), dir);
}

TEST(AssetsDir, EnvironmentWithoutCatalogueFallsThrough) {
    const auto empty = test::fresh_temp_dir();
    const std::string value = empty.string();
    ScopedAssetsEnv env(&value);
    auto found = find_assets_dir();
    ASSERT_TRUE(found.has_value()) << "the source tree's assets/ should qualify";
    EXPECT_NE(*found, empty);
}

TEST(AssetsDir, OverlongEnvironmentValueIsNotACandidate) {
    const std::string too_long(1040, 'a'), just_fits(1039, 'a');
    {
        ScopedAssetsEnv env(&too_long);
        EXPECT_NE(assets_dir_candidates().front(), std::filesystem::path(too_long));
    }
    {
        ScopedAssetsEnv env(&just_fits);
        EXPECT_EQ(assets_dir_candidates().front(), std::filesystem::path(just_fits));
    }
}

TEST(AssetsDir, SearchOrderBesideTheExecutableThenShareThenSourceTree) {
    ScopedAssetsEnv env(nullptr);
    const auto folder = executable_path().parent_path();
    const auto candidates = assets_dir_candidates();
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0], folder / "assets");
    EXPECT_EQ(candidates[1], folder / ".." / "share" / "korvan" / "assets");
    EXPECT_EQ(candidates[2].filename(), "assets");
}

TEST(ExePath, PointsAtThisTestProgram) {
    const auto exe = executable_path();
    ASSERT_FALSE(exe.empty());
    EXPECT_TRUE(exe.is_absolute());
    EXPECT_EQ(exe.filename(), "korvan_platform_tests");
}

}  // namespace korvan::platform
