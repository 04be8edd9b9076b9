#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace korvan::cli {

// `path` in double quotes, with every double quote and backslash inside escaped by a
// backslash; the bytes are the path's UTF-8 form.
std::string quoted_path(const std::filesystem::path& path);
void append_quoted_path(std::string& out, const std::filesystem::path& path);

// Appends text in double quotes with quotes and backslashes escaped, as paths are printed.
void append_quoted(std::string& out, std::string_view text);
// Appends a decimal integer.
void append_int(std::string& out, std::int64_t value);

// Appends a number the way reports print floats: six significant digits, exponent form
// when needed (the classic "%g").
void append_float(std::string& out, double value);
// Appends "(x,y,z)" with each component as append_float prints it.
void append_vec3(std::string& out, double x, double y, double z);

// Writes the text to standard output or standard error in one call.
void write_out(std::string_view text);
void write_err(std::string_view text);

}  // namespace korvan::cli
