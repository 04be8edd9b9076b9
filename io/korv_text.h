#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Text pieces of the .korv format shared by its writer and reader: number formatting, text
// fields and the percent encoding of node attributes.

namespace korvan::io {

// Significant digits of floating-point values in the file; texture coordinates carry more
// so baked UVs survive a save exactly.
inline constexpr int kKorvPrecision = 6;
inline constexpr int kKorvUvPrecision = 9;

// Room a caller leaves for one number written by the write_ functions below.
inline constexpr std::size_t kMaxNumberChars = 32;

// Writes v exactly as printf("%.*g", precision, v) writes it in the C locale ("0.3", "12",
// "1e-05", "1.5e+06", "-0", "inf", "-nan") and returns the end. precision is 1..9.
char* write_general(char* p, float v, int precision = kKorvPrecision);
char* write_uint(char* p, std::uint64_t v);
char* write_int(char* p, std::int64_t v);

// Appends v exactly as printf("%.*g", precision, v) writes it in the C locale ("0.3", "12",
// "1e-05", "1.5e+06", "-0", "inf", "-nan"). precision is 1..9.
void append_general(std::string& out, float v, int precision = kKorvPrecision);

void append_uint(std::string& out, std::uint64_t v);
void append_int(std::string& out, std::int64_t v);

// Appends text with every tab, line feed and carriage return turned into a space, so the
// field can neither split a line nor its tab-separated fields.
void append_text_field(std::string& out, std::string_view text);

// Appends text with every byte up to 32, '%', '=' and 127 written as '%' and two upper-case
// hex digits; other bytes (UTF-8 included) are copied.
void append_percent_encoded(std::string& out, std::string_view text);
// Reverses append_percent_encoded. A '%' not followed by two hex digits is kept as it is.
std::string percent_decode(std::string_view text);

}  // namespace korvan::io
