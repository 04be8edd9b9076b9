#pragma once

namespace korvan::cli {

// Everything between the UTF-8 argument vector and a verb's handler: early verbs with
// their own parsers, the option loop, verb lookup, the preconditions. Returns the exit code.
int dispatch(int argc, char** argv);

}  // namespace korvan::cli
