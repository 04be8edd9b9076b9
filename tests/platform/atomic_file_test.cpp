// The atomic writer's promise: whatever fails, and whenever the process dies, the target holds
// either its old bytes or the new ones, whole, and no temporary is left beside it.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/atomic_file_testing.h"
#include "tests/support/cli_runner.h"

namespace korvan::platform {
namespace {

namespace fs = std::filesystem;
using testing::WriteStep;

std::string read_all(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every entry of the folder other than the ones named.
std::vector<std::string> others(const fs::path& folder, const std::vector<std::string>& known) {
    std::vector<std::string> extra;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end()) extra.push_back(name);
    }
    return extra;
}

unsigned mode_of(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0u;
}

struct ChunkGuard {
    explicit ChunkGuard(std::size_t bytes) { testing::set_write_chunk_bytes(bytes); }
    ~ChunkGuard() {
        testing::set_write_chunk_bytes(0);
        testing::clear_write_fault();
    }
};

TEST(AtomicFile, FailureAtEveryStepKeepsTheOldBytes) {
    ChunkGuard small(16);
    const std::string fresh(100, 'n');  // seven writes of 16 bytes
    struct Row {
        WriteStep step;
        int nth;
        int error_number;
        const char* cause;
    };
    const Row rows[] = {
        {WriteStep::kOpen, 1, EACCES, "Permission denied"},
        {WriteStep::kWrite, 1, ENOSPC, "No space left on device"},
        {WriteStep::kWrite, 4, EDQUOT, "Disk quota exceeded"},
        {WriteStep::kWrite, 7, EIO, "Input/output error"},
        {WriteStep::kFsync, 1, EIO, "Input/output error"},
        {WriteStep::kRename, 1, EROFS, "Read-only file system"},
    };
    for (const bool existed : {true, false}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::to_string(static_cast<int>(row.step)) + " nth " +
                         std::to_string(row.nth) + (existed ? " over a file" : " new file"));
            const fs::path dir = test::fresh_temp_dir();
            const fs::path target = dir / "model.korv";
            if (existed) put(target, "old model bytes");
            testing::inject_write_fault(row.step, row.error_number, row.nth);
            EXPECT_FALSE(write_file_atomic(target, fresh));
            EXPECT_EQ(last_write_error(), row.cause);
            EXPECT_EQ(write_error_suffix(), std::string(": ") + row.cause);
            if (existed) {
                EXPECT_EQ(read_all(target), "old model bytes");
                EXPECT_TRUE(others(dir, {"model.korv"}).empty());
            } else {
                EXPECT_TRUE(others(dir, {}).empty());
            }
        }
    }
}

TEST(AtomicFile, ReplacesWholeAndClearsTheError) {
    const fs::path dir = test::fresh_temp_dir();
    const fs::path target = dir / "a.txt";
    testing::inject_write_fault(WriteStep::kOpen, ENOSPC);
    EXPECT_FALSE(write_file_atomic(target, "x"));
    EXPECT_FALSE(last_write_error().empty());
    put(target, "a much longer old text than the new one");
    ASSERT_TRUE(write_file_atomic(target, "new"));
    EXPECT_EQ(read_all(target), "new");
    EXPECT_EQ(write_error_suffix(), "");
    EXPECT_TRUE(others(dir, {"a.txt"}).empty());
    // A folder that does not exist is the caller's to create; the cause says so.
    EXPECT_FALSE(write_file_atomic(dir / "missing" / "b.txt", "x"));
    EXPECT_EQ(last_write_error(), "No such file or directory");
}

TEST(AtomicFile, UncommittedFileLeavesNothing) {
    const fs::path dir = test::fresh_temp_dir();
    put(dir / "t", "old");
    {
        AtomicFile file;
        ASSERT_TRUE(file.open(dir / "t"));
        ASSERT_TRUE(file.write("half of a new"));
    }
    EXPECT_EQ(read_all(dir / "t"), "old");
    EXPECT_TRUE(others(dir, {"t"}).empty());
}

TEST(AtomicFile, SymbolicLinksAndPermissions) {
    const fs::path dir = test::fresh_temp_dir();
    fs::create_directory(dir / "real");
    put(dir / "real" / "m.korv", "old");
    ::chmod((dir / "real" / "m.korv").c_str(), 0640);
    fs::create_symlink("real/m.korv", dir / "link.korv");
    fs::create_symlink("link.korv", dir / "link2.korv");  // a chain of two

    ASSERT_TRUE(write_file_atomic(dir / "link2.korv", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.korv"));
    EXPECT_TRUE(fs::is_symlink(dir / "link2.korv"));
    EXPECT_EQ(read_all(dir / "real" / "m.korv"), "new");
    EXPECT_EQ(mode_of(dir / "real" / "m.korv"), 0640u);
    EXPECT_TRUE(others(dir / "real", {"m.korv"}).empty());

    const mode_t saved = ::umask(027);
    const bool wrote = write_file_atomic(dir / "fresh", "x");
    ::umask(saved);
    ASSERT_TRUE(wrote);
    EXPECT_EQ(mode_of(dir / "fresh"), 0640u);
}

// Key files: the mode asked for from the start, whatever the umask or the old file's mode,
// and a file that must never replace another leaves the existing one alone.
TEST(AtomicFile, ExplicitModeAndKeepExisting) {
    const fs::path dir = test::fresh_temp_dir();
    const WriteOptions secret{0600u, true};
    const mode_t saved = ::umask(0);
    const bool wrote = write_file_atomic(dir / "k.priv", "secret", secret);
    ::umask(saved);
    ASSERT_TRUE(wrote);
    EXPECT_EQ(mode_of(dir / "k.priv"), 0600u);

    EXPECT_FALSE(write_file_atomic(dir / "k.priv", "other", secret));
    EXPECT_EQ(last_write_error(), std::generic_category().message(EEXIST));
    EXPECT_EQ(read_all(dir / "k.priv"), "secret");
    EXPECT_TRUE(others(dir, {"k.priv"}).empty());

    put(dir / "open", "old");
    ::chmod((dir / "open").c_str(), 0644);
    ASSERT_TRUE(write_file_atomic(dir / "open", "new", WriteOptions{0600u, false}));
    EXPECT_EQ(read_all(dir / "open"), "new");
    EXPECT_EQ(mode_of(dir / "open"), 0600u);
}

// A writer killed between two of its writes must leave the old file untouched.
int g_hook_pipe = -1;
void stop_after_first_write() {
    const char byte = 1;
    if (::write(g_hook_pipe, &byte, 1) != 1) _exit(3);
    ::pause();
}

TEST(AtomicFile, KilledWriterLeavesTheOldFile) {
    const fs::path dir = test::fresh_temp_dir();
    const fs::path target = dir / "big.korv";
    const std::string old_bytes(1 << 16, 'o');
    put(target, old_bytes);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(fds[0]);
        g_hook_pipe = fds[1];
        testing::set_write_chunk_bytes(4096);
        testing::set_after_write_hook(stop_after_first_write);
        write_file_atomic(target, std::string(1 << 20, 'n'));
        _exit(0);
    }
    ::close(fds[1]);
    char byte = 0;
    ASSERT_EQ(::read(fds[0], &byte, 1), 1);  // the child has written its first piece
    ::close(fds[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(read_all(target), old_bytes);
}

TEST(AtomicFile, TwoWritersLeaveOneWholeVersion) {
    const fs::path dir = test::fresh_temp_dir();
    const fs::path target = dir / "shared.korv";
    constexpr std::size_t kSize = 4 << 20;
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = ::fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            testing::set_write_chunk_bytes(64 << 10);
            _exit(write_file_atomic(target, std::string(kSize, i == 0 ? 'a' : 'b')) ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string got = read_all(target);
    ASSERT_EQ(got.size(), kSize);
    EXPECT_TRUE(got == std::string(kSize, 'a') || got == std::string(kSize, 'b'));
    EXPECT_TRUE(others(dir, {"shared.korv"}).empty());
}

// A real full file system: a small tmpfs, which only root can mount.
TEST(AtomicFile, FullDiskKeepsTheModelEditedInPlace) {
    const fs::path dir = test::fresh_temp_dir();
    if (::geteuid() != 0 || ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    }
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{dir};

    const test::CliRun made = test::run_cli(
        {"faces-array", "--face", "0", "--count", "1", "--step", "0,0,1", "--out", "h.korv"}, dir);
    ASSERT_EQ(made.exit_code, 0) << made.err;
    const std::string before = read_all(dir / "h.korv");
    const test::CliRun grown =
        test::run_cli({"faces-array", "--in", "h.korv", "--face", "0", "--count", "5000", "--step",
                       "0,0,1", "--out", "h.korv"},
                      dir);
    EXPECT_EQ(grown.exit_code, 1);
    EXPECT_EQ(grown.err, "Failed to save: \"h.korv\": No space left on device\n");
    EXPECT_EQ(read_all(dir / "h.korv"), before);
    EXPECT_TRUE(others(dir, {"h.korv"}).empty());
}

}  // namespace
}  // namespace korvan::platform
