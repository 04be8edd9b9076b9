#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

#include "platform/atomic_file_testing.h"

namespace korvan::platform {
namespace {

using testing::WriteStep;

// Big enough that a large model needs few system calls, small enough that a failing disk is
// noticed early.
constexpr std::size_t kDefaultChunkBytes = std::size_t{8} << 20;
constexpr int kMaxLinkDepth = 40;

struct Fault {
    WriteStep step = WriteStep::kNone;
    int error_number = 0;
    int nth = 1;
};

thread_local std::string t_last_error;
thread_local Fault t_fault;
thread_local int t_write_count = 0;
std::size_t g_chunk_bytes = kDefaultChunkBytes;
void (*g_after_write)() = nullptr;

// True when the test seam asks this step to fail now; sets errno like the real call would.
bool injected(WriteStep step) {
    if (t_fault.step != step) return false;
    if (step == WriteStep::kWrite && ++t_write_count < t_fault.nth) return false;
    errno = t_fault.error_number;
    t_fault = {};
    return true;
}

void set_error_from_errno(int error_number) {
    t_last_error = std::generic_category().message(error_number);
}

// Follows a chain of symbolic links so the rename replaces the file the link points at,
// leaving the link itself in place. A dangling link resolves to where it points.
std::filesystem::path resolve_links(std::filesystem::path path) {
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) break;
        std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec) break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

// The permission bits a new file gets when created with 0666: read from the process status
// (no global umask flip), with the flip as a fallback where /proc is absent.
unsigned new_file_mode() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return 0666u & ~static_cast<unsigned>(std::strtoul(line.c_str() + 6, nullptr, 8));
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666u & ~static_cast<unsigned>(mask);
}

std::filesystem::path folder_of(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

bool sync_folder(const std::filesystem::path& folder) {
    if (injected(WriteStep::kDirFsync)) return false;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync folders
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

// Renames temp over target; with keep_existing only when target does not exist, decided by
// the kernel in the same step so no other writer can slip in between.
bool move_into_place(const std::filesystem::path& temp, const std::filesystem::path& target,
                     bool keep_existing) {
    if (!keep_existing) return ::rename(temp.c_str(), target.c_str()) == 0;
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the no-replace rename: a hard link fails the same way on an
    // existing target, then the temporary name goes.
    if (::link(temp.c_str(), target.c_str()) != 0) return false;
    ::unlink(temp.c_str());
    return true;
}

}  // namespace

const std::string& last_write_error() { return t_last_error; }

std::string write_error_suffix() {
    return t_last_error.empty() ? std::string() : ": " + t_last_error;
}

AtomicFile::~AtomicFile() { abort(); }

bool AtomicFile::open(const std::filesystem::path& path) { return open(path, WriteOptions{}); }

bool AtomicFile::open(const std::filesystem::path& path, const WriteOptions& options) {
    abort();
    t_last_error.clear();
    t_write_count = 0;
    failed_ = false;
    keep_existing_ = options.keep_existing;
    target_ = resolve_links(path);

    struct stat old {};
    if (options.mode) {
        mode_ = *options.mode & 07777;
    } else {
        mode_ = ::stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : new_file_mode();
    }

    std::string name =
        (folder_of(target_) / ("." + target_.filename().string() + ".XXXXXX")).string();
    if (injected(WriteStep::kOpen)) {
        set_error_from_errno(errno);
        return false;
    }
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) {
        set_error_from_errno(errno);
        return false;
    }
    temp_ = name;
    if (::fchmod(fd_, static_cast<mode_t>(mode_)) != 0) {
        set_error_from_errno(errno);
        abort();
        return false;
    }
    return true;
}

bool AtomicFile::write(std::string_view data) {
    if (fd_ < 0 || failed_) return false;
    while (!data.empty()) {
        const std::size_t piece = std::min(data.size(), g_chunk_bytes);
        ssize_t n = 0;
        if (injected(WriteStep::kWrite)) {
            n = -1;
        } else {
            n = ::write(fd_, data.data(), piece);
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            set_error_from_errno(errno);
            failed_ = true;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
        if (g_after_write) g_after_write();
    }
    return true;
}

bool AtomicFile::commit() {
    if (fd_ < 0 || failed_) {
        abort();
        return false;
    }
    if (injected(WriteStep::kFsync) || ::fsync(fd_) != 0) {
        set_error_from_errno(errno);
        abort();
        return false;
    }
    if (::close(fd_) != 0) {
        fd_ = -1;
        set_error_from_errno(errno);
        abort();
        return false;
    }
    fd_ = -1;
    if (injected(WriteStep::kRename) || !move_into_place(temp_, target_, keep_existing_)) {
        set_error_from_errno(errno);
        abort();
        return false;
    }
    temp_.clear();
    // The file is complete under its name; a folder that cannot be flushed only weakens the
    // promise across a power cut, so it is reported but the new file stays.
    if (!sync_folder(folder_of(target_))) {
        set_error_from_errno(errno);
        return false;
    }
    t_last_error.clear();
    return true;
}

void AtomicFile::abort() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool write_file_atomic(const std::filesystem::path& path, std::string_view data) {
    AtomicFile file;
    return file.open(path) && file.write(data) && file.commit();
}

bool write_file_atomic(const std::filesystem::path& path, std::string_view data,
                       const WriteOptions& options) {
    AtomicFile file;
    return file.open(path, options) && file.write(data) && file.commit();
}

namespace testing {

void inject_write_fault(WriteStep step, int error_number, int nth) {
    t_fault = Fault{step, error_number, nth};
    t_write_count = 0;
}

void clear_write_fault() { t_fault = {}; }

void set_write_chunk_bytes(std::size_t bytes) {
    g_chunk_bytes = bytes == 0 ? kDefaultChunkBytes : bytes;
}

void set_after_write_hook(void (*hook)()) { g_after_write = hook; }

}  // namespace testing
}  // namespace korvan::platform
