#include "io/json.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <limits>
#include <string>

namespace korvan::io {
namespace {

std::string nested_arrays(int depth, const std::string& inner = "") {
    return std::string(depth, '[') + inner + std::string(depth, ']');
}

// The compact text of what `text` parses to, or "FAIL: <error>".
std::string reparse(const std::string& text) {
    JsonValue value;
    std::string error;
    if (!parse_json(text, value, &error)) return "FAIL: " + error;
    return write_json(value);
}

TEST(JsonParse, AcceptsStandardJsonAndWritesItBackCompact) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"{}", "{}"},
        {"[]", "[]"},
        {"  12  ", "12"},
        {" \t\r\n[ 1 , 2 ]\n", "[1,2]"},
        {"-0", "-0"},
        {"1E+2", "100"},
        {"-123.0", "-123"},
        {"1.5", "1.5"},
        {"0.1", "0.10000000000000001"},
        {"1e20", "1e+20"},
        {"8999999999999999", "8999999999999999"},
        {"9007199254740993", "9007199254740992"},  // past 9e15: 17 digits, not %.0f
        {"1e400", "null"},                         // overflows to infinity
        {"-1e-400", "-0"},                         // underflows to zero
        {"0.000001e-400", "0"},
        {"\xEF\xBB\xBF[true,false,null]", "[true,false,null]"},
        {"{\"b\":1,\"a\":[],\"c\":{}}", "{\"a\":[],\"b\":1,\"c\":{}}"},
        {"{\"a\":1,\"a\":2}", "{\"a\":2}"},
        {"\"\\ud83d\\ude00\"", "\"\xF0\x9F\x98\x80\""},
        {"\"\\uD83D\"", "\"\xED\xA0\xBD\""},  // a lone high surrogate is kept
        {"\"\\ud83d\\u0041\"",
         "\"\xED\xA0\xBD"
         "A\""},  // not a pair: two code points
        {"\"\\uDE00\\uD83D\"", "\"\xED\xB8\x80\xED\xA0\xBD\""},
        {"\"\\u00e9\\u20AC\"", "\"\xC3\xA9\xE2\x82\xAC\""},
        {"\"\\u0000\"", "\"\\u0000\""},
        {"\"\\/\\\"\\\\\\b\\f\\n\\r\\t\"", "\"/\\\"\\\\\\b\\f\\n\\r\\t\""},
        {"\"\xC3\xA9\"", "\"\xC3\xA9\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(reparse(c.in), c.out);
    }
}

TEST(JsonParse, ReportsTheFirstErrorWithItsByteOffset) {
    struct Case {
        std::string in, error;
    };
    const Case cases[] = {
        {"", "at byte 0: unexpected end of input"},
        {"\xEF\xBB\xBF", "at byte 3: unexpected end of input"},
        {"   ", "at byte 3: unexpected end of input"},
        {"[1,]", "at byte 3: expected number"},
        {"[1,", "at byte 3: unexpected end of input"},
        {"01", "at byte 1: trailing characters after top-level value"},
        {"[01]", "at byte 2: expected ',' or ']'"},
        {"+1", "at byte 0: expected number"},
        {".5", "at byte 0: expected number"},
        {"-", "at byte 1: expected number"},
        {"-x", "at byte 1: expected number"},
        {"NaN", "at byte 0: expected number"},
        {"Infinity", "at byte 0: expected number"},
        {"0x10", "at byte 1: trailing characters after top-level value"},
        {"1.", "at byte 2: expected digit after '.'"},
        {"1.e5", "at byte 2: expected digit after '.'"},
        {"1e", "at byte 2: expected digit in exponent"},
        {"1e+", "at byte 3: expected digit in exponent"},
        {"tru", "at byte 0: expected 'true'"},
        {"falsy", "at byte 0: expected 'false'"},
        {"[nul]", "at byte 1: expected 'null'"},
        {"\"a\tb\"", "at byte 2: raw control character in string"},
        {"\"abc", "at byte 4: unterminated string"},
        {"\"\\", "at byte 2: unterminated escape"},
        {"\"\\u12", "at byte 5: truncated \\u escape"},
        {"\"\\u12G4\"", "at byte 5: bad hex digit in \\u escape"},
        {"\"\\ud83d\\uZZZZ\"", "at byte 9: bad hex digit in \\u escape"},
        {"\"\\x\"", "at byte 1: unknown escape"},
        {"\"\\U0041\"", "at byte 1: unknown escape"},
        {"[1 2]", "at byte 3: expected ',' or ']'"},
        {"[1", "at byte 2: unterminated array"},
        {"[", "at byte 1: unterminated array"},
        {"{", "at byte 1: unterminated object"},
        {"{1:2}", "at byte 1: expected member name"},
        {"{\"a\":1,}", "at byte 7: expected member name"},
        {"{\"a\" 1}", "at byte 5: expected ':' after member name"},
        {"{\"a\"", "at byte 4: unterminated object"},
        {"{\"a\":1 \"b\":2}", "at byte 7: expected ',' or '}'"},
        {"{\"a\":1", "at byte 6: unterminated object"},
        {"[1] x", "at byte 4: trailing characters after top-level value"},
        {"{} {}", "at byte 3: trailing characters after top-level value"},
        {"\xEF\xBB", "at byte 0: expected number"},  // half a byte order mark is not one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        JsonValue value = JsonValue::make_string("stale");
        std::string error;
        EXPECT_FALSE(parse_json(c.in, value, &error));
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(value.is_null()) << "the partial tree must be discarded";
    }
}

TEST(JsonParse, NestingStopsAfterSixtyFourContainers) {
    JsonValue value;
    std::string error;
    EXPECT_TRUE(parse_json(nested_arrays(64), value, &error)) << error;
    EXPECT_TRUE(parse_json(nested_arrays(64, "1"), value, &error)) << error;
    EXPECT_FALSE(parse_json(nested_arrays(65), value, &error));
    EXPECT_EQ(error, "at byte 64: nesting too deep");

    // Objects count the same way, mixed with arrays.
    std::string mixed;
    for (int i = 0; i < 32; ++i) mixed += "{\"a\":[";
    const std::string closing = [] {
        std::string s;
        for (int i = 0; i < 32; ++i) s += "]}";
        return s;
    }();
    EXPECT_TRUE(parse_json(mixed + closing, value, &error)) << error;
    EXPECT_FALSE(parse_json(mixed + "{}" + closing, value, &error));
    EXPECT_EQ(error, "at byte " + std::to_string(mixed.size()) + ": nesting too deep");

    // Far beyond the limit the reader still answers instead of exhausting the stack.
    EXPECT_FALSE(parse_json(std::string(100000, '['), value, &error));
    EXPECT_EQ(error, "at byte 64: nesting too deep");
}

TEST(JsonValueLookup, GettersFallBackOnMissingOrMistypedMembers) {
    JsonValue obj;
    ASSERT_TRUE(parse_json(
        R"({"n":2.5,"neg":-2.5,"s":"x","big":1e300,"inf":1e999,"t":true,"arr":[1]})", obj));
    EXPECT_EQ(obj.get_number("n", 7), 2.5);
    EXPECT_EQ(obj.get_number("s", 7), 7);
    EXPECT_EQ(obj.get_number("missing", 7), 7);
    EXPECT_EQ(obj.get_int("n", 0), 3);
    EXPECT_EQ(obj.get_int("neg", 0), -3);
    EXPECT_EQ(obj.get_int("big", 9), 9);
    EXPECT_EQ(obj.get_int("inf", 9), 9);
    EXPECT_EQ(obj.get_int("t", 9), 9);
    EXPECT_EQ(obj.get_string("s", "d"), "x");
    EXPECT_EQ(obj.get_string("n", "d"), "d");
    ASSERT_NE(obj.find("arr"), nullptr);
    EXPECT_EQ(obj.find("arr")->items().size(), 1u);
    EXPECT_EQ(obj.find("ar"), nullptr);
    EXPECT_EQ(obj.find("arr")->find("0"), nullptr);  // not an object
    EXPECT_EQ(JsonValue().get_string("s", "d"), "d");
}

TEST(JsonValueLookup, SetKeepsMembersSortedAndUnique) {
    JsonValue obj = JsonValue::make_object();
    obj.set("m", JsonValue::make_number(1));
    obj.set("a", JsonValue::make_number(2));
    obj.set("z", JsonValue::make_number(3));
    obj.set("m", JsonValue::make_string("again"));
    EXPECT_EQ(write_json(obj), R"({"a":2,"m":"again","z":3})");
    EXPECT_EQ(obj.get_string("m", ""), "again");

    JsonValue arr = JsonValue::make_array();
    arr.set("a", JsonValue());  // not an object: ignored
    arr.push_back(JsonValue::make_bool(false));
    EXPECT_EQ(write_json(arr), "[false]");
}

TEST(JsonWrite, IndentedFormPutsEachElementOnItsOwnLine) {
    JsonValue value;
    ASSERT_TRUE(parse_json(R"({"b":[1,{"c":null}],"a":"x","e":[],"o":{}})", value));
    EXPECT_EQ(write_json(value, 2),
              "{\n"
              "  \"a\": \"x\",\n"
              "  \"b\": [\n"
              "    1,\n"
              "    {\n"
              "      \"c\": null\n"
              "    }\n"
              "  ],\n"
              "  \"e\": [],\n"
              "  \"o\": {}\n"
              "}");
    EXPECT_EQ(write_json(value, 0), R"({"a":"x","b":[1,{"c":null}],"e":[],"o":{}})");
    EXPECT_EQ(write_json(JsonValue::make_array({JsonValue()}), 3), "[\n   null\n]");
}

TEST(JsonWrite, NumbersRoundTripExactly) {
    const double values[] = {0.1,  1.0 / 3,  1e-300, 5e-324,        DBL_MAX, -DBL_MAX,
                             9e15, 9e15 - 1, -9e15,  123456789.125, 2.5e-7,  1e16 + 2};
    for (double v : values) {
        SCOPED_TRACE(v);
        const std::string text = write_json(JsonValue::make_number(v));
        JsonValue back;
        ASSERT_TRUE(parse_json(text, back)) << text;
        const double read = back.as_number();
        EXPECT_EQ(std::memcmp(&v, &read, sizeof v), 0) << text;
    }
    EXPECT_EQ(write_json(JsonValue::make_number(9e15 - 1)), "8999999999999999");
    EXPECT_EQ(write_json(JsonValue::make_number(9e15)), "9000000000000000");  // %.17g
    EXPECT_EQ(write_json(JsonValue::make_number(-0.0)), "-0");
    EXPECT_EQ(write_json(JsonValue::make_number(std::numeric_limits<double>::quiet_NaN())), "null");
    EXPECT_EQ(write_json(JsonValue::make_number(-std::numeric_limits<double>::infinity())), "null");
}

TEST(JsonQuote, EscapesControlBytesOnly) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"", "\"\""},
        {std::string("\x01", 1), "\"\\u0001\""},
        {std::string("\0", 1), "\"\\u0000\""},
        {"\x1f\x7f", "\"\\u001f\x7f\""},
        {"a/b", "\"a/b\""},
        {"\"\\", "\"\\\"\\\\\""},
        {"\b\t\n\f\r", "\"\\b\\t\\n\\f\\r\""},
        {"\xC3\xA9\xF0\x9F\x98\x80", "\"\xC3\xA9\xF0\x9F\x98\x80\""},
        {"\xFF", "\"\xFF\""},  // not UTF-8, copied all the same
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.out);
        EXPECT_EQ(json_quote(c.in), c.out);
    }
}

}  // namespace
}  // namespace korvan::io
