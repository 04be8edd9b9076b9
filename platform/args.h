#pragma once

namespace korvan::platform {

// Makes argc/argv UTF-8 for the rest of the program. On POSIX the arguments already are
// the bytes the user typed, so this only sets the character-type locale; it stays one
// function so the entry reads the same on every platform.
void utf8_arguments(int& argc, char**& argv);

}  // namespace korvan::platform
