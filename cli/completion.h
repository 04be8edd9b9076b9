#pragma once

#include <string>
#include <string_view>

namespace korvan::cli {

// Appends the completion script for `shell` ("bash", "zsh" or "fish"), generated from the
// verb and option tables: verbs, each verb's options, the words an option accepts and
// .korv file names where a model file goes. False for any other shell.
bool append_completion_script(std::string& out, std::string_view shell);

}  // namespace korvan::cli
