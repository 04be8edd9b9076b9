#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Output files are written whole or not at all: the bytes go to a temporary file in the
// target's own folder (so the final rename never crosses file systems), which is flushed to
// disk and renamed over the target, and then the folder itself is flushed so the rename
// survives a power cut. On any failure the temporary file is removed and the target keeps
// its exact old bytes (or stays absent). A target that is a symbolic link is replaced
// through the link; the new file keeps the old one's permission bits (a new file gets
// 0666 & ~umask).

namespace korvan::platform {

// Writes data to path atomically. On failure returns false and sets last_write_error().
bool write_file_atomic(const std::filesystem::path& path, std::string_view data);

// For files that must not follow the usual rules: secrets get an explicit mode from the
// moment they exist (the temporary already has it), and a file that must never replace
// another fails with "File exists" at the final rename, with nothing changed.
struct WriteOptions {
    std::optional<unsigned> mode;  // permission bits, e.g. 0600; default: as described above
    bool keep_existing = false;    // refuse to replace an existing target
};
bool write_file_atomic(const std::filesystem::path& path, std::string_view data,
                       const WriteOptions& options);

// The cause of the calling thread's last failed write, as the system words it ("No space
// left on device", "Permission denied", ...); empty after a success.
const std::string& last_write_error();

// For writers that produce their output piece by piece (large exports): open, append, then
// commit. Destroying an uncommitted file removes the temporary and leaves the target alone.
class AtomicFile {
  public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary beside path. False (and last_write_error()) on failure.
    bool open(const std::filesystem::path& path);
    bool open(const std::filesystem::path& path, const WriteOptions& options);
    // Appends bytes; once a write has failed every later call returns false.
    bool write(std::string_view data);
    // Flushes, renames over the target and flushes the folder. Only the first call acts.
    bool commit();
    // Removes the temporary; the target is left as it was.
    void abort();
    bool is_open() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
    bool failed_ = false;
    unsigned mode_ = 0;
    bool keep_existing_ = false;
    std::filesystem::path target_;  // after following symbolic links
    std::filesystem::path temp_;
};

// "Failed to save: \"x\"" style sentences append this: ": " and the cause, or nothing when
// no cause is known.
std::string write_error_suffix();

}  // namespace korvan::platform
