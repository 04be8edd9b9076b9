#include "tools/nesting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace korvan {
namespace {

constexpr double kTol = 1e-6;

// Every placement lies inside the usable sheet and inside its strip, parts in a strip and
// strips on a sheet are at least a kerf apart (so nothing overlaps), and each sheet's areas
// add up to the usable sheet.
void expect_valid_layout(const NestResult& r, const SheetSpec& sheet) {
    ASSERT_TRUE(r.ok) << r.message;
    const double u = r.usable_width, v = r.usable_height;
    std::vector<std::vector<std::vector<const Placement*>>> by_strip(r.sheets.size());
    for (std::size_t s = 0; s < r.sheets.size(); ++s) by_strip[s].resize(r.sheets[s].strips.size());
    for (const Placement& p : r.placements) {
        ASSERT_LT(p.sheet, r.sheets.size());
        ASSERT_LT(p.strip, r.sheets[p.sheet].strips.size());
        const Strip& strip = r.sheets[p.sheet].strips[p.strip];
        EXPECT_GE(p.x, -kTol);
        EXPECT_LE(p.x + p.w, u + kTol);
        EXPECT_NEAR(p.y, strip.y, kTol);
        EXPECT_LE(p.h, strip.height + kTol);
        by_strip[p.sheet][p.strip].push_back(&p);
    }
    for (std::size_t s = 0; s < r.sheets.size(); ++s) {
        const SheetLayout& layout = r.sheets[s];
        double top = -sheet.kerf;
        for (std::size_t k = 0; k < layout.strips.size(); ++k) {
            const Strip& strip = layout.strips[k];
            EXPECT_GE(strip.y, top + sheet.kerf - kTol) << "strips closer than a kerf";
            top = strip.y + strip.height;
            auto& parts = by_strip[s][k];
            std::sort(parts.begin(), parts.end(),
                      [](const Placement* a, const Placement* b) { return a->x < b->x; });
            for (std::size_t i = 1; i < parts.size(); ++i)
                EXPECT_GE(parts[i]->x, parts[i - 1]->x + parts[i - 1]->w + sheet.kerf - kTol);
        }
        EXPECT_LE(top, v + kTol);
        const double accounted = layout.part_area + layout.headroom + layout.tail + layout.offcut +
                                 layout.sliver + layout.kerf_area;
        EXPECT_NEAR(accounted, u * v, 1e-9 * (1.0 + u * v));
    }
}

struct Box {
    double w, h;
};

// Berkey and Wang's finite first-fit, plainly: sort by height, then put each item into the
// first strip of the first bin that has room, else a new strip in that bin, else a new bin.
std::size_t first_fit_bins(std::vector<Box> items, double bw, double bh, bool rotate) {
    if (rotate) {
        for (Box& b : items)
            if (b.h > b.w) std::swap(b.w, b.h);
    }
    std::stable_sort(items.begin(), items.end(), [](const Box& a, const Box& b) {
        return a.h != b.h ? a.h > b.h : a.w > b.w;
    });
    struct Level {
        double height, used;
    };
    struct Bin {
        std::vector<Level> levels;
        double used = 0;
    };
    std::vector<Bin> bins;
    for (const Box& item : items) {
        std::vector<Box> ways{item};
        if (rotate) ways.push_back({item.h, item.w});
        bool done = false;
        for (Bin& bin : bins) {
            for (Level& level : bin.levels) {
                for (const Box& b : ways) {
                    if (!done && b.h <= level.height + kTol && level.used + b.w <= bw + kTol) {
                        level.used += b.w;
                        done = true;
                    }
                }
            }
            for (const Box& b : ways) {
                if (!done && bin.used + b.h <= bh + kTol) {
                    bin.levels.push_back({b.h, b.w});
                    bin.used += b.h;
                    done = true;
                }
            }
            if (done) break;
        }
        if (!done) bins.push_back({{{ways[0].h, ways[0].w}}, ways[0].h});
    }
    return bins.size();
}

struct Instance {
    std::string name;
    double bin_w = 0, bin_h = 0;
    std::vector<Box> items;
};

std::vector<Box> read_csv(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<Box> rows;
    std::string line;
    std::getline(in, line);  // ID,WIDTH,HEIGHT
    while (std::getline(in, line)) {
        const std::size_t a = line.find(','), b = line.find(',', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        rows.push_back({std::stod(line.substr(a + 1, b - a - 1)), std::stod(line.substr(b + 1))});
    }
    return rows;
}

std::filesystem::path classic_dir() {
    if (const char* env = std::getenv("KORVAN_SHARED_DATA")) return std::filesystem::path(env) / "2bp";
    return std::filesystem::path(KORVAN_SHARED_DATA_DIR) / "2bp";
}

std::vector<Instance> classic_instances() {
    std::vector<Instance> out;
    for (const char* family : {"berkey1987", "martello1998"}) {
        const std::filesystem::path dir = classic_dir() / family;
        std::error_code ec;
        if (!std::filesystem::is_directory(dir, ec)) continue;
        std::vector<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with("_items.csv")) files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const auto& items : files) {
            std::string bins = items.string();
            bins.replace(bins.size() - 9, 9, "bins.csv");
            const std::vector<Box> bin = read_csv(bins);
            if (bin.size() != 1) continue;
            out.push_back({items.filename().string(), bin[0].w, bin[0].h, read_csv(items)});
        }
    }
    return out;
}

// The instance in metres (one unit a centimetre) on a kerf-free, untrimmed sheet.
void as_cut_list(const Instance& inst, bool free, std::vector<PartRow>& rows, SheetSpec& sheet) {
    constexpr double kUnit = 0.01;
    sheet = SheetSpec{};
    sheet.width = inst.bin_w * kUnit;
    sheet.height = inst.bin_h * kUnit;
    sheet.kerf = 0.0;
    sheet.trim = 0.0;
    sheet.grained = !free;
    rows.clear();
    for (std::size_t i = 0; i < inst.items.size(); ++i) {
        PartRow row;
        row.name = "p";
        row.width = inst.items[i].w * kUnit;
        row.height = inst.items[i].h * kUnit;
        row.quantity = 1;
        row.grain = free ? 0 : 1;  // along the sheet's grain: one orientation
        rows.push_back(row);
    }
}

TEST(Nesting, ClassicInstancesMatchFiniteFirstFit) {
    const std::vector<Instance> instances = classic_instances();
    if (instances.empty()) GTEST_SKIP() << "no classic 2BP instances under " << classic_dir();
    EXPECT_EQ(instances.size(), 500u);
    std::size_t totals[2] = {0, 0};
    std::vector<PartRow> rows;
    SheetSpec sheet;
    for (const Instance& inst : instances) {
        for (const bool free : {false, true}) {
            SCOPED_TRACE(inst.name + (free ? " free" : " grain-locked"));
            as_cut_list(inst, free, rows, sheet);
            const NestResult r = nest_parts(rows, sheet);
            expect_valid_layout(r, sheet);
            EXPECT_EQ(r.counts.placed, inst.items.size());
            EXPECT_EQ(r.sheets.size(), first_fit_bins(inst.items, inst.bin_w, inst.bin_h, free));
            totals[free] += r.sheets.size();
        }
    }
    if (instances.size() == 500) {
        EXPECT_EQ(totals[0], 7545u);
        EXPECT_EQ(totals[1], 7357u);
    }
}

// The search returns valid layouts on no more sheets than first fit, with and without a
// kerf and trim, and says what it started from.
TEST(Nesting, OptimisedLayoutIsValidAndNeverWorse) {
    std::vector<Instance> instances = classic_instances();
    std::mt19937 rng(7);
    if (instances.empty()) {
        // Random lists stand in when the classic data is absent.
        for (int i = 0; i < 20; ++i) {
            Instance inst{"random", 100, 100, {}};
            std::uniform_int_distribution<int> side(1, 60);
            for (int k = 0; k < 40; ++k) inst.items.push_back({double(side(rng)), double(side(rng))});
            instances.push_back(inst);
        }
    }
    std::vector<PartRow> rows;
    SheetSpec sheet;
    std::size_t first = 0, searched = 0;
    for (std::size_t i = 0; i < instances.size(); i += 25) {
        for (const bool free : {false, true}) {
            for (const double kerf : {0.0, 0.004}) {
                SCOPED_TRACE(testing::Message() << instances[i].name << (free ? " free" : " locked")
                                                << " kerf " << kerf);
                as_cut_list(instances[i], free, rows, sheet);
                sheet.kerf = kerf;
                sheet.trim = kerf;
                const NestResult base = nest_parts(rows, sheet);
                const NestResult best = nest_parts_optimised(rows, sheet, 0.0);
                expect_valid_layout(best, sheet);
                EXPECT_EQ(best.counts.placed, base.counts.placed);
                EXPECT_EQ(best.optimised_from, base.sheets.size());
                EXPECT_LE(best.sheets.size(), base.sheets.size());
                first += base.sheets.size();
                searched += best.sheets.size();
            }
        }
    }
    EXPECT_LT(searched, first) << "the search never found a better layout";
}

TEST(Nesting, ExactSizeEdgeCases) {
    struct Case {
        const char* what;
        double kerf, part_w, part_h;
        double tail, offcut, sliver;
    };
    const Case cases[] = {
        {"exact fit, kerf", 0.0032, 2.44, 1.22, 0, 0, 0},
        {"exact fit, no kerf", 0.0, 2.44, 1.22, 0, 0, 0},
        // Leftovers narrower than the kerf are slivers, wider ones tails and offcuts.
        {"kerf-wide leftovers", 0.004, 2.438, 1.218, 0, 0, 0.002 * 1.218 + 0.002 * 2.44},
        {"no kerf, 1 mm leftovers", 0.0, 2.439, 1.219, 0.001 * 1.219, 0.001 * 2.44, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SheetSpec sheet;
        sheet.kerf = c.kerf;
        const NestResult r = nest_parts({{"p", c.part_w, c.part_h, 1, 0, 0, 0.018, ""}}, sheet);
        expect_valid_layout(r, sheet);
        ASSERT_EQ(r.sheets.size(), 1u);
        EXPECT_NEAR(r.sheets[0].tail, c.tail, 1e-7);
        EXPECT_NEAR(r.sheets[0].offcut, c.offcut, 1e-7);
        EXPECT_NEAR(r.sheets[0].sliver, c.sliver, 1e-7);
    }
}

TEST(Nesting, GrainDecidesOrientation) {
    const std::vector<PartRow> rows = {{"door", 0.6, 2.0, 2, 2, 0, 0.018, ""},
                                       {"shelf", 0.3, 0.8, 1, 0, 0, 0.018, ""}};
    SheetSpec sheet;
    NestResult r = nest_parts(rows, sheet);
    EXPECT_EQ(r.counts.grain_locked, 1u);
    for (const Placement& p : r.placements) {
        // Grain along the height goes along the sheet's grain: always rotated. The shelf
        // lies with its longer side along x.
        EXPECT_TRUE(p.rotated);
        EXPECT_GT(p.w, p.h);
    }
    sheet.grained = false;
    r = nest_parts(rows, sheet);
    EXPECT_EQ(r.counts.grain_ignored, 1u);
    EXPECT_EQ(r.counts.grain_locked, 0u);
}

TEST(Nesting, RefusalsOfTheWholeRun) {
    const std::vector<PartRow> one = {{"p", 0.5, 0.5, 1, 0, 0, 0.018, ""}};
    struct Case {
        const char* message;
        SheetSpec sheet;
        std::vector<PartRow> rows;
    };
    auto sheet_with = [](auto change) {
        SheetSpec s;
        change(s);
        return s;
    };
    const Case cases[] = {
        {"sheet width and height must be positive finite lengths",
         sheet_with([](SheetSpec& s) { s.width = 0; }), one},
        {"sheet thickness must be a positive finite length",
         sheet_with([](SheetSpec& s) { s.thickness = NAN; }), one},
        {"sheet edge trim must be a non-negative finite length",
         sheet_with([](SheetSpec& s) { s.trim = -0.01; }), one},
        {"saw kerf must be a non-negative finite length",
         sheet_with([](SheetSpec& s) { s.kerf = INFINITY; }), one},
        {"sheet finished_faces must be 0, 1 or 2",
         sheet_with([](SheetSpec& s) { s.finished_faces = 3; }), one},
        {"edge trim leaves no usable sheet", sheet_with([](SheetSpec& s) { s.trim = 0.61; }), one},
        {"usable sheet is smaller than the fit tolerance -- check the units",
         sheet_with([](SheetSpec& s) { s.trim = 0.6096; }), one},
        {"saw kerf is wider than the usable sheet",
         sheet_with([](SheetSpec& s) { s.kerf = 1.3; }), one},
        {"no parts", SheetSpec{}, {}},
        {"too many copies -- check the quantity column for a units mistake", SheetSpec{},
         {{"a", 0.1, 0.1, 2500, 0, 0, 0.018, ""}, {"b", 0.1, 0.1, 2501, 0, 0, 0.018, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const NestResult r = nest_parts(c.rows, c.sheet);
        EXPECT_FALSE(r.ok);
        EXPECT_STREQ(r.message, c.message);
    }
    // 5000 copies still nest.
    EXPECT_TRUE(nest_parts({{"a", 0.01, 0.01, 5000, 0, 0, 0.018, ""}}, SheetSpec{}).ok);
}

TEST(Nesting, BadRowsAreRefusedByNameAndTheRestNest) {
    SheetSpec sheet;
    sheet.material = "MDF";
    const std::vector<PartRow> rows = {
        {"ok", 0.5, 0.4, 2, 0, 1, 0.018, "MDF"},
        {"flat", 0.5, 0.0, 1, 0, 0, 0.018, "MDF"},
        {"minus", 0.5, 0.4, -1, 0, 0, 0.018, "MDF"},
        {"grain", 0.5, 0.4, 1, kUnknownGrain, 0, 0.018, "MDF"},
        {"back", 0.5, 0.4, 1, 0, 0, 0.005, "MDF"},
        {"oak", 0.5, 0.4, 1, 0, 0, 0.018, "oak"},
        {"faces", 0.5, 0.4, 1, 0, 3, 0.018, "MDF"},
        {"door", 0.5, 0.4, 1, 0, 2, 0.018, "MDF"},
        {"huge", 2.5, 0.4, 1, 1, 0, 0.018, "MDF"},
        {"none", 0.5, 0.4, 0, 0, 0, 0.018, "MDF"},
    };
    const NestResult r = nest_parts(rows, sheet);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.counts.placed, 2u);
    EXPECT_EQ(r.counts.zero_quantity, 1u);
    EXPECT_EQ(r.counts.faces_single, 1u);
    std::vector<std::uint32_t> refused;
    for (const RefusedRow& bad : r.refused) refused.push_back(bad.row);
    EXPECT_EQ(refused, (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(r.counts.refused, 8u);
}

TEST(Nesting, GroupsByMaterialAndThickness) {
    const CutListParse parse = parse_cut_list(
        "side,0.6,2.2,2,along_height,1;back,1.2,2.2,1,none,0,0.005; shelf , 0.6 , 0.4 , 3 ;"
        "top,0.6,0.4,1,,,0.018,MDF;bad,0.1,0.1,1,0,0,0",
        0.018, "MDF");
    ASSERT_TRUE(parse.ok);
    ASSERT_EQ(parse.rows.size(), 5u);
    EXPECT_EQ(parse.rows[0].grain, 2);
    EXPECT_EQ(parse.rows[2].name, "shelf");
    const BoardGroups g = group_parts_by_board(parse.rows);
    ASSERT_EQ(g.boards.size(), 3u);
    EXPECT_EQ(g.boards[0].key, "MDF 18.0 mm");
    EXPECT_EQ(g.boards[0].rows, (std::vector<std::uint32_t>{0, 2, 3}));
    EXPECT_EQ(g.boards[0].instances, 6u);
    EXPECT_EQ(g.boards[1].key, "MDF 5.0 mm");
    EXPECT_EQ(g.boards[2].key, "MDF ? mm");
    EXPECT_EQ(g.bad_thickness, 1u);
}

TEST(Nesting, MalformedCutListsNameTheRow) {
    const struct {
        const char* text;
        const char* bad;
    } cases[] = {
        {"a,1,1", "a,1,1"},
        {"a,1,1,1;b,1,x,1", "b,1,x,1"},
        {"a,1,1,1.5", "a,1,1,1.5"},
        {",1,1,1", ",1,1,1"},
        {"a,1,1,1,none,0,0.018,MDF,extra", "a,1,1,1,none,0,0.018,MDF,extra"},
        {" ; ;", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const CutListParse parse = parse_cut_list(c.text, 0.018, "");
        EXPECT_FALSE(parse.ok);
        EXPECT_TRUE(parse.rows.empty());
        EXPECT_EQ(parse.bad_row, c.bad);
    }
}

}  // namespace
}  // namespace korvan
