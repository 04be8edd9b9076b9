#pragma once

// Test seam of the atomic writer: makes one step fail as if the system had refused it, so
// tests can show that a failure at any point leaves the target untouched.

#include <cstddef>

namespace korvan::platform::testing {

enum class WriteStep { kNone, kOpen, kWrite, kFsync, kRename, kDirFsync };

// The next time step runs (for kWrite: the nth write of a file, counting from 1), it fails
// with error_number. Applies once, to the calling thread.
void inject_write_fault(WriteStep step, int error_number, int nth = 1);
void clear_write_fault();

// Size of the pieces the writer hands to write(2); tests shrink it to get several writes.
void set_write_chunk_bytes(std::size_t bytes);

// Called after every successful write(2) of the calling process (nullptr: none); lets a test
// stop a writer half-way through a file.
void set_after_write_hook(void (*hook)());

}  // namespace korvan::platform::testing
