#include "io/korv_text.h"

#include <bit>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstring>

// The writer spends most of its time formatting floats, and std::to_chars with a precision
// is slow (it goes through a general printf-style engine). Most model coordinates fall in
// the fixed-notation range of "%g", where the digits can be found with one exact multiply:
// a float has a 24-bit significand and 10^k = 5^k * 2^k with 5^12 < 2^28, so x * 10^k for
// k <= 12 needs at most 52 significant bits and is exact in a double. Rounding that product
// to an integer with the default (nearest, ties to even) mode is then exactly printf's
// rounding of the true binary value. Everything else (exponent notation, zero, inf, nan)
// goes to std::to_chars, which matches printf by definition.

namespace korvan::io {
namespace {

constexpr double kPow10[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12};
constexpr int kMaxFastPrecision = 9;  // keeps k <= precision + 3 <= 12

// Writes v in fixed "%g" form into buf and returns the end, or nullptr when v needs the
// exponent form or is not a finite non-zero value.
char* format_fixed(char* buf, float v, int precision) {
    const double x = std::fabs(static_cast<double>(v));
    if (!(x >= 1e-5) || !(x < 1e10)) return nullptr;  // zero, tiny, huge, inf or nan
    // Decimal exponent estimate from the binary one: the true exponent X is est or est + 1.
    const int binary_exp = static_cast<int>((std::bit_cast<std::uint32_t>(v) >> 23) & 0xFF) - 127;
    const int est = (binary_exp * 78913) >> 18;  // floor(binary_exp * log10(2))
    // x * 10^k holds `precision` digits before the point when the exponent is
    // precision - 1 - k; "%g" uses fixed notation for exponents -4 .. precision - 1.
    int k = precision - 1 - est;
    const double low = kPow10[precision - 1];
    const double high = low * 10.0;
    if (k < 0 || k > precision + 3) return nullptr;
    double scaled = x * kPow10[k];
    if (scaled >= high) {
        if (--k < 0) return nullptr;
        scaled = x * kPow10[k];
    }
    if (scaled < low) return nullptr;  // below 1e-4: exponent form
    // Adding and removing 2^52 rounds to an integer, ties to even, without a library call.
    constexpr double kRound = 4503599627370496.0;
    auto digits = static_cast<std::uint64_t>((scaled + kRound) - kRound);
    if (digits == static_cast<std::uint64_t>(high)) {
        // Rounding carried into a new digit: 999999.5 -> 1000000 means one exponent up.
        if (k == 0) return nullptr;
        digits /= 10;
        --k;
    }
    while (k > 0 && digits % 10 == 0) {
        digits /= 10;
        --k;
    }
    char* p = buf;
    if (std::signbit(v)) *p++ = '-';
    char tmp[24];
    const char* tmp_end = std::to_chars(tmp, tmp + sizeof tmp, digits).ptr;
    const int nd = static_cast<int>(tmp_end - tmp);
    if (nd <= k) {
        *p++ = '0';
        *p++ = '.';
        for (int i = nd; i < k; ++i) *p++ = '0';
        std::memcpy(p, tmp, nd);
        return p + nd;
    }
    std::memcpy(p, tmp, nd - k);
    p += nd - k;
    if (k == 0) return p;
    *p++ = '.';
    std::memcpy(p, tmp + (nd - k), k);
    return p + k;
}

}  // namespace

char* write_general(char* p, float v, int precision) {
    assert(precision >= 1 && precision <= kMaxFastPrecision);
    char* end = format_fixed(p, v, precision);
    if (end != nullptr) return end;
    return std::to_chars(p, p + kMaxNumberChars, v, std::chars_format::general, precision).ptr;
}

char* write_uint(char* p, std::uint64_t v) { return std::to_chars(p, p + kMaxNumberChars, v).ptr; }

char* write_int(char* p, std::int64_t v) { return std::to_chars(p, p + kMaxNumberChars, v).ptr; }

void append_general(std::string& out, float v, int precision) {
    char buf[kMaxNumberChars];
    out.append(buf, write_general(buf, v, precision));
}

void append_uint(std::string& out, std::uint64_t v) {
    char buf[kMaxNumberChars];
    out.append(buf, write_uint(buf, v));
}

void append_int(std::string& out, std::int64_t v) {
    char buf[kMaxNumberChars];
    out.append(buf, write_int(buf, v));
}

void append_text_field(std::string& out, std::string_view text) {
    const std::size_t start = out.size();
    out.append(text);
    for (std::size_t i = start; i < out.size(); ++i) {
        const char c = out[i];
        if (c == '\t' || c == '\n' || c == '\r') out[i] = ' ';
    }
}

void append_percent_encoded(std::string& out, std::string_view text) {
    constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 32 || byte == '%' || byte == '=' || byte == 127) {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 15]);
        } else {
            out.push_back(c);
        }
    }
}

std::string percent_decode(std::string_view text) {
    auto hex_value = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int hi = hex_value(text[i + 1]);
            const int lo = hex_value(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace korvan::io
