#pragma once

namespace korvan::cli {

// The release tooling. Each reads its own arguments strictly: an option without its value,
// an option given twice, or anything unknown stops the run (exit 1) before any file is
// touched.
int run_update_keygen(int argc, char** argv);
int run_update_sign(int argc, char** argv);
int run_update_verify(int argc, char** argv);

}  // namespace korvan::cli
