#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "io/korv_text.h"

namespace korvan::io {
namespace {

std::string printf_g(float v, int precision) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", precision, static_cast<double>(v));
    return buf;
}

std::string general(float v, int precision) {
    std::string out;
    append_general(out, v, precision);
    return out;
}

TEST(KorvText, FormatsFloatsLikePrintfG) {
    struct Case {
        float value;
        const char* six;  // precision 6
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {0.3f, "0.3"},
        {12.0f, "12"},
        {1e-5f, "1e-05"},
        {1.5e6f, "1.5e+06"},
        {0.0f, "0"},
        {-0.0f, "-0"},
        {0.0001f, "0.0001"},
        {0.00009999999f, "0.0001"},  // rounds up into fixed notation
        {0.0000999f, "9.99e-05"},
        {999999.4f, "999999"},
        {999999.5f, "1e+06"},    // rounds up into exponent notation
        {12345.25f, "12345.2"},  // a tie goes to even
        {12345.75f, "12345.8"},
        {-2.5e-3f, "-0.0025"},
        {FLT_MAX, "3.40282e+38"},
        {std::numeric_limits<float>::denorm_min(), "1.4013e-45"},
        {std::numeric_limits<float>::infinity(), "inf"},
        {-std::numeric_limits<float>::infinity(), "-inf"},
        {nan, "nan"},
        {-nan, "-nan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.six);
        EXPECT_EQ(general(c.value, 6), c.six);
        for (int precision = 1; precision <= 9; ++precision) {
            EXPECT_EQ(general(c.value, precision), printf_g(c.value, precision)) << precision;
        }
    }
}

TEST(KorvText, MatchesPrintfOnRandomFloats) {
    const unsigned seed = 20240611;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> coordinate(-5000.0f, 5000.0f);
    for (int i = 0; i < 300000; ++i) {
        // Any bit pattern (inf and nan included), and values like model coordinates.
        const std::uint32_t bits = rng();
        float any = 0.0f;
        std::memcpy(&any, &bits, sizeof any);
        const float coord = coordinate(rng);
        const float rounded = std::round(coord * 100.0f) / 100.0f;
        for (const float v : {any, coord, rounded, coord * 1e-4f}) {
            for (const int precision : {kKorvPrecision, kKorvUvPrecision}) {
                ASSERT_EQ(general(v, precision), printf_g(v, precision))
                    << "seed " << seed << " value " << printf_g(v, 9);
            }
        }
    }
}

TEST(KorvText, TextFieldsLoseTheirLineAndFieldBreaks) {
    std::string out = "x";
    append_text_field(out, "a\tb\nc\rd e");
    EXPECT_EQ(out, "xa b c d e");
}

TEST(KorvText, PercentEncodesSeparatorsAndControls) {
    struct Case {
        std::string plain, encoded;
    };
    const Case cases[] = {
        {"a=b c%", "a%3Db%20c%25"},
        {"tab\tnl\ncr\r", "tab%09nl%0Acr%0D"},
        {std::string("\0\x1f\x7f", 3), "%00%1F%7F"},
        {"giá trị", "giá%20trị"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoded);
        std::string out;
        append_percent_encoded(out, c.plain);
        EXPECT_EQ(out, c.encoded);
        EXPECT_EQ(percent_decode(out), c.plain);
    }
    std::string every_byte;
    for (int b = 0; b < 256; ++b) every_byte += static_cast<char>(b);
    std::string encoded;
    append_percent_encoded(encoded, every_byte);
    EXPECT_EQ(percent_decode(encoded), every_byte);
    EXPECT_EQ(encoded.find_first_of(" \t\n="), std::string::npos);

    // A percent sign without two hex digits after it is kept as it is.
    EXPECT_EQ(percent_decode("100%"), "100%");
    EXPECT_EQ(percent_decode("%4"), "%4");
    EXPECT_EQ(percent_decode("%zz%3d"), "%zz=");
}

}  // namespace
}  // namespace korvan::io
