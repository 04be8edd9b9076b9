#include "cli/report.h"

#include <charconv>
#include <cstdio>

namespace korvan::cli {

void append_quoted(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size() + 2);
    out.push_back('"');
    for (char c : text) {
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
}

void append_int(std::string& out, std::int64_t value) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

void append_quoted_path(std::string& out, const std::filesystem::path& path) {
    // On POSIX the native bytes, which are UTF-8 here.
    append_quoted(out, path.string());
}

std::string quoted_path(const std::filesystem::path& path) {
    std::string out;
    append_quoted_path(out, path);
    return out;
}

void append_float(std::string& out, double value) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    (void)ec;  // 32 bytes hold any double in this format
    out.append(buf, end);
}

void append_vec3(std::string& out, double x, double y, double z) {
    out += '(';
    append_float(out, x);
    out += ',';
    append_float(out, y);
    out += ',';
    append_float(out, z);
    out += ')';
}

void write_out(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void write_err(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

}  // namespace korvan::cli
