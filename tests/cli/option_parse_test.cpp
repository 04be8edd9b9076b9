// The common option loop and the option table behind it.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "cli/option_parse.h"
#include "cli/option_table.h"

namespace korvan::cli {
namespace {

struct Parsed {
    OptionParseResult result;
    Options options;
    std::string unknown;  // result.unknown joined by blanks (the views die with the argv)
};

// Runs the loop over "korvan_cli <verb> <args...>".
Parsed parse(std::string_view verb, std::vector<std::string> args, bool bare_file = false) {
    std::vector<std::string> all{"korvan_cli", std::string(verb)};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : all) argv.push_back(s.data());
    argv.push_back(nullptr);
    Parsed p;
    p.result = parse_options(static_cast<int>(all.size()), argv.data(), verb, bare_file, p.options);
    for (std::string_view u : p.result.unknown)
        p.unknown.append(p.unknown.empty() ? "" : " ").append(u);
    p.result.unknown.clear();
    return p;
}

std::string refusal(std::string_view verb, std::vector<std::string> args) {
    const Parsed p = parse(verb, std::move(args));
    EXPECT_FALSE(p.result.ok);
    return p.result.message;
}

TEST(OptionParse, LaterValueWinsAndFlagsSet) {
    const Parsed p = parse("face-pushpull", {"--distance", "1", "--out", "a.korv", "--distance",
                                             "-0.5", "--out", "b.korv", "--all"});
    ASSERT_TRUE(p.result.ok);
    EXPECT_TRUE(p.options.distance.given);
    EXPECT_EQ(p.options.distance.value, -0.5f);  // a value may start with '-'
    EXPECT_TRUE(p.options.out.given);
    EXPECT_EQ(p.options.out.value, "b.korv");
    EXPECT_TRUE(p.options.all);
    EXPECT_FALSE(parse("face-pushpull", {}).options.out.given);
    EXPECT_EQ(parse("still", {}).options.out.value, "korvan_out");
}

TEST(OptionParse, ValueOptionTakesTheNextArgumentWhateverItLooksLike) {
    const Parsed p = parse("make-group", {"--name", "--all", "--ids", "x.korv"}, true);
    ASSERT_TRUE(p.result.ok);
    EXPECT_EQ(p.options.name.value, "--all");
    EXPECT_FALSE(p.options.all);
    EXPECT_TRUE(p.options.ids);  // a flag never swallows what follows
    EXPECT_EQ(p.options.in, "x.korv");
}

TEST(OptionParse, RefusedValueStopsBeforeLaterOptions) {
    const Parsed p = parse("face-pushpull", {"--face", "3x", "--distance", "2"});
    EXPECT_FALSE(p.result.ok);
    EXPECT_EQ(p.result.message, "--face must be a uint FaceId");
    EXPECT_FALSE(p.options.distance.given);
}

// Every sentence below is a user-facing message and must stay word for word.
TEST(OptionParse, RefusalsUseTheOptionsOwnSentence) {
    const struct {
        const char *verb, *option, *value, *message;
    } cases[] = {
        {"face-pushpull", "--face", "4294967296", "--face must be a uint FaceId"},
        {"reassign-mat", "--from", "x", "--from must be a uint index"},
        {"edge-loop", "--edge", "-1", "--edge must be a non-negative integer"},
        {"face-pushpull", "--distance", "1.5m", "--distance must be a float"},
        {"create-rect", "--width", "0", "--width must be a positive float"},
        {"edge-split", "--t", "0", "--t must be in the open interval (0,1)"},
        {"edge-split", "--t", "1", "--t must be in the open interval (0,1)"},
        {"faces-array", "--count", "1.5", "--count must be a positive integer (K>=1)"},
        {"create-circle", "--segments", "2", "--segments must be an integer >= 3"},
        {"gen-townhouse", "--storeys", "0", "--storeys must be a positive integer (N>=1)"},
        {"still", "--ssaa", "0", "--ssaa must be an integer N >= 1"},
        {"still", "--exposure", "9", "--exposure must be a float in 0.05..8"},
        {"still", "--vignette-strength", "2", "--vignette-strength must be a float in 0..1"},
        {"soften", "--angle", "x", "--angle must be a number (degrees)"},
        {"materials", "--roughness", "", "--roughness must be a number"},
        {"labels", "--label-tag", "-2", "--label-tag must be an integer >= -1 (-1 = untagged)"},
        {"face-extrude", "--vector", "1,2", "--vector must be X,Y,Z (comma-separated floats)"},
        {"face-extrude", "--vector", "1,2,3,4", "--vector must be X,Y,Z (comma-separated floats)"},
        {"face-extrude", "--vector", "1,,3", "--vector must be X,Y,Z (comma-separated floats)"},
        {"face-extrude", "--vector", "1, 2, 3", "--vector must be X,Y,Z (comma-separated floats)"},
        {"weld-verts", "--verts", "1,,2",
         "--verts must be a comma-separated list of uint VertexIds (N0,N1,...)"},
        {"mesh-knife", "--path", "0,0,0",
         "--path must be 2+ space- or semicolon-separated X,Y,Z points"},
        {"add-ngon", "--points", "0,0,0;1,0,0",
         "--points must be at least 3 semicolon-separated X,Y,Z triples (comma-separated floats)"},
        {"still", "--size", "800x0", "--size must be WxH with positive integers (e.g. 800x450)"},
        {"pathtrace", "--section-plane", "0,6,0",
         "--section-plane must be PX,PY,PZ;NX,NY,NZ (e.g. 0,6,0;0,-1,0)"},
        {"pathtrace", "--section-plane", "0,6,0;0,0,0", "--section-plane normal must not be zero"},
        {"mat-uv", "--uv-scale", "1", "--uv-scale must be W,H (tile size in metres, e.g. 0.2,0.1)"},
        {"mat-uv", "--uv-offset", "1", "--uv-offset must be U,V (in tiles, e.g. 0.5,0)"},
        {"contour-join", "--contour-tol", "0",
         "--contour-tol must be a positive number (metres: how far apart two contour ends may be "
         "and still be joined)"},
        {"contour-join", "--contour-elev-tol", "-1",
         "--contour-elev-tol must be a non-negative number (metres of z step a join may bridge)"},
        {"contour-join", "--contour-spread", "-1",
         "--contour-spread must be a non-negative number (metres: how non-level a single contour "
         "may be before it is refused)"},
        {"deform", "--kind", "Bend",
         "--kind must be bend|taper|twist|shear|radial-twist|radial-bend"},
        {"mesh-slice", "--keep", "both",
         "--keep must be pos or neg (the side of the plane the normal points to, or the other "
         "one)"},
        {"edge-collapse", "--target", "middle", "--target must be one of midpoint|first|second"},
        {"find-nodes", "--node-match", "regex",
         "--node-match must be exact, contains, prefix or suffix"},
        {"layers", "--visible", "yes", "--visible must be 0|1|on|off"},
        {"lights", "--light-kind", "area", "--light-kind must be sun|rect|point|spot"},
        {"mat-uv", "--uv-pattern", "stripes", "--uv-pattern must be none, checker or brick"},
        {"soft-move", "--soft-curve", "cubic",
         "--soft-curve must be linear, smooth, sharp or constant"},
        {"soft-move", "--soft-metric", "euclid", "--soft-metric must be surface or space"},
        {"road-profile", "--road-sides", "all", "--road-sides must be both, left, right or none"},
        {"facade-screen", "--screen-dir", "diagonal", "--screen-dir must be horizontal|vertical"},
        {"panel-groove", "--groove-purpose", "drawer",
         "--groove-purpose must be led-strip, sliding-door-track or flush-handle"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.verb) + " " + c.option + " " + c.value);
        EXPECT_EQ(refusal(c.verb, {c.option, c.value}), c.message);
    }
}

TEST(OptionParse, EveryEnumerationTakesItsWordsAndRefusesOthersWithItsSentence) {
    int choices = 0;
    for (const OptionRow& row : option_table()) {
        if (row.kind != ValueKind::kChoice) continue;
        ++choices;
        const std::string name(row.name);
        SCOPED_TRACE(name);
        for (std::string_view word : std::get<ChoiceSlot>(row.slot).words) {
            EXPECT_TRUE(parse("any", {name, std::string(word)}).result.ok) << word;
        }
        EXPECT_EQ(refusal("any", {name, "no-such-word"}), row.message);
    }
    EXPECT_GT(choices, 20);
}

TEST(OptionParse, EnumerationWordsLandOnTheirOwnEnumerators) {
    const Parsed p = parse(
        "any", {"--keep", "neg", "--kind", "radial-bend", "--soft-curve", "constant", "--stringers",
                "none", "--groove-purpose", "flush-handle", "--dowel-side", "thickness_max",
                "--groove-run", "thickness", "--visible", "off", "--erase", "yes"});
    ASSERT_TRUE(p.result.ok);
    EXPECT_EQ(p.options.keep, KeepSide::kNeg);
    EXPECT_TRUE(p.options.kind.given);
    EXPECT_EQ(p.options.kind.value, DeformKind::kRadialBend);
    EXPECT_EQ(p.options.soft_curve, SoftCurve::kConstant);
    EXPECT_EQ(p.options.stringers, Stringers::kNone);
    EXPECT_EQ(p.options.groove_purpose.value, GroovePurpose::kFlushHandle);
    EXPECT_EQ(p.options.dowel_side, PanelSide::kThicknessMax);
    EXPECT_EQ(p.options.groove_run, PanelAxis::kThickness);
    EXPECT_TRUE(p.options.visible.given);
    EXPECT_FALSE(p.options.visible.value);
    EXPECT_TRUE(p.options.erase.value);
}

TEST(OptionParse, SomeNamesReadDifferentlyPerVerb) {
    const Parsed still = parse("still", {"--size", "800x450"});
    ASSERT_TRUE(still.result.ok);
    EXPECT_EQ(still.options.size_px.value.width, 800);
    EXPECT_FALSE(still.options.size.given);
    EXPECT_EQ(refusal("pathtrace", {"--size", "1,2,3"}),
              "--size must be WxH with positive integers (e.g. 800x450)");

    const Parsed frame = parse("faces-scale-frame", {"--size", "1,2,3"});
    ASSERT_TRUE(frame.result.ok);
    EXPECT_EQ(frame.options.size.value, (Float3{1, 2, 3}));
    EXPECT_EQ(refusal("faces-scale-frame", {"--size", "800x450"}),
              "--size must be X,Y,Z (comma-separated floats)");

    EXPECT_EQ(parse("groups", {"--scale", "1,2,1"}).options.node_scale.value, (Float3{1, 2, 1}));
    EXPECT_EQ(parse("faces-scale", {"--scale", "2"}).options.scale.value, 2.0f);
    EXPECT_EQ(refusal("list-instances", {"--scale", "2"}),
              "--scale must be X,Y,Z (comma-separated floats)");

    const Parsed area = parse("faces-by-area", {"--min", "0.5", "--max", "2"});
    ASSERT_TRUE(area.result.ok);
    EXPECT_EQ(area.options.min_area.value, 0.5f);
    EXPECT_EQ(area.options.max_area.value, 2.0f);
    EXPECT_FALSE(area.options.min.given);
    EXPECT_TRUE(parse("faces-in-aabb", {"--min", "0,0,0"}).options.min.given);

    // --material is --mat only for the materials and layers verbs; elsewhere it is unknown.
    EXPECT_EQ(parse("paint-layer", {"--material", "3"}).options.mat.value, 3u);
    const Parsed paint = parse("faces-paint", {"--material", "3"}, true);
    ASSERT_TRUE(paint.result.ok);
    EXPECT_FALSE(paint.options.mat.given);
    EXPECT_EQ(paint.options.in, "3");
}

TEST(OptionParse, BareFileBecomesInOnlyForBareFileVerbsAndOnlyOnce) {
    // `unknown`: the arguments reported back as unknown options, blank-separated.
    const struct {
        std::vector<std::string> args;
        bool bare_file;
        const char* in;
        const char* unknown = "";
    } cases[] = {
        {{"house.korv"}, true, "house.korv"},
        {{"house.korv"}, false, ""},
        {{"--in", "a.korv", "b.korv"}, true, "a.korv"},
        {{"a.korv", "b.korv"}, true, "a.korv"},
        {{"a.korv", "--in", "b.korv"}, true, "b.korv"},            // --in itself still wins later
        {{"--bogus", "file.korv"}, true, "file.korv", "--bogus"},  // unknown option, then a word
        {{"--bogus", "file.korv"}, false, "", "--bogus"},
        {{"-x"}, true, "", "-x"},
        {{""}, true, ""},
        {{"--Face", "3"}, true, "3", "--Face"},                        // names are case-sensitive
        {{"--face=3"}, true, "", "--face=3"},                          // no --name=value form
        {{"--dist", "1"}, true, "1", "--dist"},                        // no abbreviations
        {{"--material", "2", "-1.5", "--"}, true, "2", "--material"},  // not a stats option
    };
    for (const auto& c : cases) {
        std::string trace;
        for (const std::string& a : c.args) trace += "[" + a + "]";
        SCOPED_TRACE(trace + (c.bare_file ? " bare" : ""));
        const Parsed p = parse("stats", c.args, c.bare_file);
        ASSERT_TRUE(p.result.ok);
        EXPECT_EQ(p.options.in, c.in);
        EXPECT_FALSE(p.options.face.given);
        EXPECT_EQ(p.unknown, c.unknown);
    }
}

TEST(OptionParse, ValueOptionGivenLastIsIgnoredUnlessItsValueHasAShape) {
    for (const char* scalar : {"--distance", "--face", "--name", "--in", "--kind", "--visible"}) {
        SCOPED_TRACE(scalar);
        const Parsed p = parse("stats", {"file.korv", scalar}, true);
        EXPECT_TRUE(p.result.ok);
        EXPECT_EQ(p.options.in, "file.korv");
    }
    const struct {
        const char* verb;
        const char* option;
        const char* message;
    } shaped[] = {
        {"face-extrude", "--vector", "--vector requires X,Y,Z (comma-separated floats)"},
        {"faces-erase", "--faces",
         "--faces requires a comma-separated list of uint FaceIds (N0,N1,...)"},
        {"weld-verts", "--verts",
         "--verts requires a comma-separated list of uint VertexIds (N0,N1,...)"},
        {"chamfer-edges", "--edge-ids",
         "--edge-ids requires a comma-separated list of uint EdgeIds (N0,N1,...)"},
        {"mesh-knife", "--path", "--path requires 2+ space- or semicolon-separated X,Y,Z points"},
        {"add-ngon", "--points",
         "--points requires at least 3 semicolon-separated X,Y,Z triples (comma-separated floats)"},
        {"flat-roof", "--roof-plan",
         "--roof-plan requires at least 3 space- or semicolon-separated X,Y points"},
        {"still", "--size", "--size requires WxH with positive integers (e.g. 800x450)"},
        {"pathtrace", "--region", "--region requires x,y,w,h (comma-separated integers)"},
        {"pathtrace", "--section-plane",
         "--section-plane requires PX,PY,PZ;NX,NY,NZ (e.g. 0,6,0;0,-1,0)"},
        {"mat-uv", "--uv-scale", "--uv-scale requires W,H (tile size in metres, e.g. 0.2,0.1)"},
    };
    for (const auto& c : shaped) {
        SCOPED_TRACE(c.option);
        EXPECT_EQ(refusal(c.verb, {"--all", c.option}), c.message);
    }
}

TEST(OptionTable, NamesAreUniqueAndMessagesNameTheirOption) {
    std::set<std::string_view> seen;
    for (const OptionRow& row : option_table()) {
        SCOPED_TRACE(std::string(row.name));
        EXPECT_TRUE(seen.insert(row.name).second) << "duplicate name";
        EXPECT_EQ(row.name.rfind("--", 0), 0u);
        for (char c : row.name.substr(2))
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-');
        const std::pair<ValueKind, std::string_view> readings[] = {
            {row.kind, row.message}, {row.scoped_kind, row.scoped_message}};
        for (const auto& [kind, message] : readings) {
            if (kind_can_refuse(kind)) {
                EXPECT_EQ(message.rfind(std::string(row.name) + " ", 0), 0u) << message;
            } else {
                EXPECT_TRUE(message.empty()) << message;
            }
            // The "requires" sentence is derived from the "must be" one.
            if (kind_has_shape(kind)) {
                EXPECT_NE(message.find(" must be "), std::string_view::npos);
            }
        }
    }
}

}  // namespace
}  // namespace korvan::cli
