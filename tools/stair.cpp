#include "tools/stair.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

// The solver walks the riser counts that could put the riser inside its band (one either
// side of the plain quotients, so rounding never hides the edge of the band). For each count
// the Blondel band and the going band together give a window for the going; the going chosen
// is the one nearest the Blondel target inside that window, cut back to the run cap when
// there is one. Counts are compared by how far 2R + G misses the target, then by run.

namespace korvan {
namespace {

constexpr double kSlack = 1e-6;
constexpr std::int32_t kMostRisers = 4096;

void append_fixed(std::string& out, double value, int decimals) {
    char buf[64];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (ec == std::errc{}) out.append(buf, end);
}

std::string fixed(double value, int decimals = 3) {
    std::string s;
    append_fixed(s, value, decimals);
    return s;
}

bool has_landing(const StairSpec& spec) { return spec.shape != StairShape::kStraight; }

// Every reason the specification cannot be solved before any count is tried.
std::string spec_problems(const StairSpec& spec) {
    std::vector<std::string> reasons;
    if (!(spec.total_rise > 0.0f) || !std::isfinite(spec.total_rise)) {
        reasons.push_back("total_rise must be positive (got " + fixed(spec.total_rise) + " m)");
    }
    if (!(spec.width > 0.0f) || !std::isfinite(spec.width)) {
        reasons.push_back("width must be positive (got " + fixed(spec.width) + " m)");
    }
    const StairCode& c = spec.code;
    if (!(c.riser_min > 0.0f) || !(c.riser_min <= c.riser_max) || !(c.going_min <= c.going_max)) {
        reasons.push_back("StairCode bands are empty or inverted");
    }
    std::string out;
    for (const std::string& r : reasons) {
        if (!out.empty()) out += "; ";
        out += r;
    }
    return out;
}

}  // namespace

StairSolution solve_stair(const StairSpec& spec) {
    StairSolution sol;
    sol.total_rise = spec.total_rise;
    sol.message = spec_problems(spec);
    if (!sol.message.empty()) return sol;

    const StairCode& c = spec.code;
    const bool landing = has_landing(spec);
    const double rise = spec.total_rise;
    const std::int32_t least = landing ? 3 : 2;
    const double low_count = std::floor(rise / c.riser_max) - 1.0;
    const double high_count = std::ceil(rise / c.riser_min) + 1.0;
    const std::int32_t first =
        static_cast<std::int32_t>(std::max<double>(least, std::min<double>(low_count, kMostRisers)));
    const std::int32_t last = static_cast<std::int32_t>(std::min<double>(high_count, kMostRisers));

    bool riser_fits = false, cap_blocked = false, found = false;
    double shortest_run = 0.0;
    bool have_shortest = false;
    std::int32_t best_n = 0, best_q = 0;
    double best_r = 0.0, best_g = 0.0, best_dev = 0.0, best_run = 0.0;
    for (std::int32_t n = first; n <= last; ++n) {
        const double r = rise / n;
        if (r < c.riser_min - kSlack || r > c.riser_max + kSlack) continue;
        riser_fits = true;
        const std::int32_t q = landing ? n - 2 : n - 1;
        if (q < 1) continue;
        const double lo = std::max<double>(c.blondel_min - 2.0 * r, c.going_min);
        const double hi = std::min<double>(c.blondel_max - 2.0 * r, c.going_max);
        if (lo > hi + kSlack) continue;
        if (!have_shortest || q * lo < shortest_run) shortest_run = q * lo;
        have_shortest = true;
        double g = std::min(hi, std::max(lo, c.blondel_target - 2.0 * r));
        if (spec.run_cap > 0.0f) {
            const double most = spec.run_cap / q;
            if (lo - kSlack > most) {
                cap_blocked = true;
                continue;
            }
            g = std::max(lo, std::min(g, most));
        }
        const double dev = std::fabs(2.0 * r + g - c.blondel_target);
        const double run = q * g;
        const bool better = !found || dev < best_dev - kSlack ||
                            (std::fabs(dev - best_dev) <= kSlack && run < best_run);
        if (!better) continue;
        found = true;
        best_n = n, best_q = q, best_r = r, best_g = g, best_dev = dev, best_run = run;
    }

    if (!found) {
        if (cap_blocked) {
            sol.message = "run_length " + fixed(spec.run_cap) +
                          " m is too short: the shortest code-legal going run for a " +
                          fixed(rise) + " m rise is " + fixed(shortest_run) + " m";
        } else if (!riser_fits) {
            sol.message = "no riser count puts the riser in " + fixed(c.riser_min) + "-" +
                          fixed(c.riser_max) + " m: a " + fixed(rise) + " m rise needs " +
                          fixed(rise / c.riser_max, 2) + "-" + fixed(rise / c.riser_min, 2) +
                          " risers and there is no whole number of at least " +
                          fixed(least, 0) + " in that range";
        } else {
            sol.message = "no going satisfies Blondel " + fixed(c.blondel_min, 2) + "-" +
                          fixed(c.blondel_max, 2) + " m and the going band " +
                          fixed(c.going_min) + "-" + fixed(c.going_max) + " m at the same time";
        }
        return sol;
    }

    sol.ok = true;
    sol.risers = best_n;
    sol.treads = best_n - 1;
    sol.goings = best_q;
    sol.riser = static_cast<float>(best_r);
    sol.going = static_cast<float>(best_g);
    sol.blondel = static_cast<float>(2.0 * best_r + best_g);
    sol.run = static_cast<float>(best_run);
    if (landing) {
        std::int32_t k = spec.landing_after < 1 ? (best_n + 1) / 2 : spec.landing_after;
        sol.landing_after = std::clamp(k, 2, best_n - 1);
        sol.landing_depth = std::max(spec.width, spec.landing_depth);
    }
    return sol;
}

}  // namespace korvan
