#pragma once

#include <filesystem>
#include <string>

namespace korvan::cli {

// A value plus whether the user actually typed the option, for options whose handlers must
// tell "absent" from "given with the default value".
template <class T>
struct Given {
    T value{};
    bool given = false;
};

// One typed field per option name the common loop knows. Defaults are the values a verb
// sees when the option is absent.
struct Options {
    std::filesystem::path in;
    // The render verbs write into the directory "korvan_out" when --out is absent; every
    // other verb decides by the given flag.
    Given<std::filesystem::path> out{std::filesystem::path("korvan_out"), false};
    // The remaining fields come with the option table.
};

}  // namespace korvan::cli
