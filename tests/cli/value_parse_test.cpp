// The value rules one parser at a time: whole text or nothing, never clamped.
#include "cli/value_parse.h"

#include <gtest/gtest.h>

#include <string>

namespace korvan::cli {
namespace {

struct FloatCase {
    const char* text;
    bool ok;
    float value = 0.0f;
};

template <class Parse>
void expect_floats(Parse parse, std::initializer_list<FloatCase> cases) {
    for (const FloatCase& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.text + "\"");
        float out = -99.0f;
        EXPECT_EQ(parse(c.text, out), c.ok);
        EXPECT_EQ(out, c.ok ? c.value : -99.0f);  // a refusal leaves the target alone
    }
}

TEST(ValueParse, FloatReadsTheWholeTextOrNothing) {
    expect_floats(parse_float, {{"1.5", true, 1.5f},
                                {"-2", true, -2.0f},
                                {".5", true, 0.5f},
                                {"1e3", true, 1000.0f},
                                {"1.5m", false},
                                {" 1.5", false},
                                {"1.5 ", false},
                                {"", false},
                                {"+1", false},
                                {"1,5", false},
                                {"1e39", false},  // overflows a 32-bit float
                                {"inf", false},
                                {"nan", false},
                                {"0x10", false}});
}

TEST(ValueParse, BoundedFloatsRefuseOutsideTheirRange) {
    expect_floats(parse_positive_float, {{"0.001", true, 0.001f}, {"0", false}, {"-1", false}});
    expect_floats(parse_non_negative_float,
                  {{"0", true, 0.0f}, {"2", true, 2.0f}, {"-0.001", false}});
    expect_floats(parse_open_unit,
                  {{"0.5", true, 0.5f}, {"0", false}, {"1", false}, {"-0.5", false}});
    expect_floats(parse_exposure, {{"0.05", true, 0.05f},
                                   {"8", true, 8.0f},
                                   {"0.049", false},
                                   {"8.001", false},
                                   {"", false}});
    expect_floats(parse_unit_float,
                  {{"0", true, 0.0f}, {"1", true, 1.0f}, {"1.01", false}, {"-0.01", false}});
}

TEST(ValueParse, IndexIsAWholeUnsigned32BitDecimal) {
    const struct {
        const char* text;
        bool ok;
        std::uint32_t value;
    } cases[] = {{"0", true, 0},           {"4294967295", true, 4294967295u},
                 {"4294967296", false, 0}, {"3x", false, 0},
                 {"-1", false, 0},         {"+3", false, 0},
                 {" 3", false, 0},         {"", false, 0},
                 {"3.0", false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t out = 7;
        EXPECT_EQ(parse_index(c.text, out), c.ok);
        EXPECT_EQ(out, c.ok ? c.value : 7u);
    }
}

TEST(ValueParse, NonNegativeIntegerRefusesOnlySignAndGarbage) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {{"0", true},   {"-0", true},  {"4294967295", true}, {"4294967296", false},
                 {"-1", false}, {"1x", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::uint32_t out = 0;
        EXPECT_EQ(parse_non_negative_int(c.text, out), c.ok);
    }
}

TEST(ValueParse, IntegerKindsCheckTheirLowerAndUpperBounds) {
    using Parse = bool (*)(std::string_view, std::int32_t&);
    const struct {
        const char* what;
        Parse parse;
        const char* text;
        bool ok;
    } cases[] = {
        {"integer", parse_integer, "-7", true},
        {"integer", parse_integer, "2147483648", false},
        {"integer", parse_integer, "1.0", false},
        {"segments", parse_segments, "3", true},
        {"segments", parse_segments, "2", false},
        {"positive", parse_positive_int, "1", true},
        {"positive", parse_positive_int, "0", false},
        {"label tag", parse_label_tag, "-1", true},
        {"label tag", parse_label_tag, "-2", false},
        {"round segments", parse_round_segments, "64", true},
        {"round segments", parse_round_segments, "65", false},
        {"round segments", parse_round_segments, "0", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " " + c.text);
        std::int32_t out = 0;
        EXPECT_EQ(c.parse(c.text, out), c.ok);
    }
}

TEST(ValueParse, VectorNeedsExactlyThreeFilledPartsWithoutBlanks) {
    Float3 v{};
    EXPECT_TRUE(parse_vec3("1,-2.5,3e2", v));
    EXPECT_EQ(v, (Float3{1.0f, -2.5f, 300.0f}));
    for (const char* bad :
         {"1,2", "1,2,3,4", "1,,3", ",2,3", "1,2,", "1, 2, 3", "1,2,3 ", "", "1;2;3", "a,b,c"}) {
        SCOPED_TRACE(bad);
        Float3 out{9, 9, 9};
        EXPECT_FALSE(parse_vec3(bad, out));
        EXPECT_EQ(out, (Float3{9, 9, 9}));
    }
    Float2 w{};
    EXPECT_TRUE(parse_vec2("0.2,0.1", w));
    EXPECT_FALSE(parse_vec2("0.2,0.1,0", w));
    EXPECT_FALSE(parse_vec2("0.2", w));
}

TEST(ValueParse, IdListItemsAreNonEmptyUnsignedDecimals) {
    std::vector<std::uint32_t> ids;
    EXPECT_TRUE(parse_id_list("3,1,4294967295,3", ids));
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{3, 1, 4294967295u, 3}));
    for (const char* bad : {"", "1,", ",1", "1,,2", "1, 2", "4294967296", "-1", "1;2"}) {
        SCOPED_TRACE(bad);
        std::vector<std::uint32_t> out{42};
        EXPECT_FALSE(parse_id_list(bad, out));
        EXPECT_EQ(out, std::vector<std::uint32_t>{42});
    }
}

TEST(ValueParse, PointPathTakesBlanksOrSemicolonsBetweenPoints) {
    const struct {
        const char* text;
        std::size_t points;  // 0 = refused
    } cases[] = {
        {"0,0,0 1,0,0", 2}, {"0,0,0;1,0,0;1,1,0", 3}, {"0,0,0; 1,0,0", 2}, {" 0,0,0  1,0,0 ", 2},
        {"0,0,0", 0},       {"0,0,0 1,0", 0},         {"0,0 1,0", 0},      {"", 0},
        {"0,0,0,1,0,0", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<Float3> out;
        EXPECT_EQ(parse_point_path(c.text, out), c.points != 0);
        EXPECT_EQ(out.size(), c.points);
    }
}

TEST(ValueParse, PolygonNeedsThreeSemicolonSeparatedTriples) {
    const struct {
        const char* text;
        std::size_t points;
    } cases[] = {{"0,0,0;1,0,0;1,1,0", 3},  {"0,0,0;1,0,0;1,1,0;0,1,0", 4},
                 {"0,0,0;1,0,0", 0},        {"0,0,0 1,0,0 1,1,0", 0},
                 {"0,0,0; 1,0,0;1,1,0", 0}, {"0,0,0;1,0,0;1,1,0;", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<Float3> out;
        EXPECT_EQ(parse_polygon(c.text, out), c.points != 0);
        EXPECT_EQ(out.size(), c.points);
    }
}

TEST(ValueParse, PlanPathsAndOutlinesAreTwoDimensional) {
    std::vector<Float2> out;
    EXPECT_TRUE(parse_plan_path("0,0 4,0", out));
    EXPECT_EQ(out.size(), 2u);
    EXPECT_FALSE(parse_plan_path("0,0,0 4,0,0", out));
    EXPECT_TRUE(parse_plan_polygon("0,0 5,0 5,12 0,12", out));
    EXPECT_EQ(out.size(), 4u);
    EXPECT_FALSE(parse_plan_polygon("0,0 5,0", out));
}

TEST(ValueParse, PixelSizeIsTwoPositiveIntegersAroundALowerCaseX) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {{"800x450", true},    {"1x1", true},        {"0x450", false},
                 {"800x0", false},     {"800X450", false},   {"800x", false},
                 {"x450", false},      {"800x450x2", false}, {"-800x450", false},
                 {"800.5x450", false}, {"800 x 450", false}, {"", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        PixelSize out;
        EXPECT_EQ(parse_pixel_size(c.text, out), c.ok);
    }
    PixelSize size;
    ASSERT_TRUE(parse_pixel_size("800x450", size));
    EXPECT_EQ(size.width, 800);
    EXPECT_EQ(size.height, 450);

    Float2 light{};
    EXPECT_TRUE(parse_size_wxh("1.2x0.6", light));
    EXPECT_EQ(light, (Float2{1.2f, 0.6f}));
    EXPECT_FALSE(parse_size_wxh("1.2x0", light));
}

TEST(ValueParse, RegionIsFourIntegers) {
    Region r;
    ASSERT_TRUE(parse_region("-5,10,200,100", r));
    EXPECT_EQ(r.x, -5);
    EXPECT_EQ(r.h, 100);
    for (const char* bad : {"1,2,3", "1,2,3,4,5", "1,2,3.5,4", "1,2,,4"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parse_region(bad, r));
    }
}

TEST(ValueParse, SectionPlaneTellsMalformedFromZeroNormal) {
    const struct {
        const char* text;
        SectionPlaneParse result;
    } cases[] = {{"0,6,0;0,-1,0", SectionPlaneParse::kOk},
                 {"0,6,0;0,0,0", SectionPlaneParse::kZeroNormal},
                 {"0,6,0;-0,0,0", SectionPlaneParse::kZeroNormal},
                 {"0,6,0", SectionPlaneParse::kMalformed},
                 {"0,6,0;0,-1", SectionPlaneParse::kMalformed},
                 {"0,6,0;0,-1,0;1,1,1", SectionPlaneParse::kMalformed},
                 {"0,6,0 0,-1,0", SectionPlaneParse::kMalformed}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        SectionPlane plane;
        EXPECT_EQ(parse_section_plane(c.text, plane), c.result);
    }
    SectionPlane plane;
    ASSERT_EQ(parse_section_plane("1,2,3;0,0,-1", plane), SectionPlaneParse::kOk);
    EXPECT_EQ(plane.point, (Float3{1, 2, 3}));
    EXPECT_EQ(plane.normal, (Float3{0, 0, -1}));
}

TEST(ValueParse, ChoiceMatchesWholeWordsExactly) {
    constexpr std::string_view words[] = {"length-min", "length-max", "thickness-max"};
    std::size_t at = 99;
    EXPECT_TRUE(parse_choice("length-max", words, false, at));
    EXPECT_EQ(at, 1u);
    EXPECT_TRUE(parse_choice("thickness_max", words, true, at));
    EXPECT_EQ(at, 2u);
    for (const char* bad : {"thickness_max", "Length-max", "length", "length-max ", ""}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parse_choice(bad, words, false, at));
    }
    EXPECT_FALSE(parse_choice("length_max", std::span<const std::string_view>(words, 0), true, at));
}

TEST(ValueParse, SwitchesAcceptOnlyTheirWords) {
    const struct {
        const char* text;
        bool ok, value;
    } switches[] = {{"1", true, true},    {"on", true, true},   {"0", true, false},
                    {"off", true, false}, {"ON", false, false}, {"yes", false, false},
                    {"", false, false}};
    for (const auto& c : switches) {
        SCOPED_TRACE(c.text);
        bool out = false;
        EXPECT_EQ(parse_switch(c.text, out), c.ok);
        if (c.ok) {
            EXPECT_EQ(out, c.value);
        }
    }
    bool erase = false;
    EXPECT_TRUE(parse_yes_no("yes", erase));
    EXPECT_TRUE(erase);
    EXPECT_TRUE(parse_yes_no("no", erase));
    EXPECT_FALSE(erase);
    EXPECT_FALSE(parse_yes_no("1", erase));
}

}  // namespace
}  // namespace korvan::cli
