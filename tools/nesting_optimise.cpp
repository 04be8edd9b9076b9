#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "tools/nesting.h"
#include "tools/nesting_internal.h"

// Layout search for fewer sheets, still two-stage guillotine (rip into strips, crosscut into
// parts), so every layout it returns can be cut on the same panel saw.
//
// Approach: build the layout in two phases, many times over within the time budget, and keep
// the one on the fewest sheets.
//   1. Strips. The tallest part left opens a strip at its own height; the rest of the strip
//      is then filled by a 0-1 knapsack over the parts that fit under that height (each in its
//      narrowest allowed orientation), maximising the part area. First fit fills a strip with
//      whatever comes next in height order; the knapsack picks the combination that leaves
//      the least tail, which is where first fit loses most of its sheets.
//   2. Sheets. The strips are one-dimensional items (height plus kerf) to pack into sheets
//      (usable height plus kerf): once by best-fit decreasing, once by filling each sheet
//      with the subset of strips that comes closest to its height (the same knapsack), and
//      the better of the two is kept.
// The first build runs the plain height order; later builds perturb the part order, the
// orientation that opens a strip and the knapsack values with a seeded generator, so one
// budget always gives one answer on one machine. The search stops early at the area bound
// (no layout can use fewer sheets than the part area over the usable sheet area).
// Knapsack widths are whole multiples of a quantum (at most kKnapsackUnits per strip),
// rounded up, so a chosen set always fits; the strip is checked again in metres all the same.

namespace korvan {
namespace {

using nesting_detail::kFitTolerance;
using Clock = std::chrono::steady_clock;

constexpr int kKnapsackUnits = 6000;
// At most this many candidates enter one knapsack (the tallest that fit), so a build stays
// near-linear in the part count and a cut list of thousands of copies still answers quickly.
constexpr std::size_t kMaxKnapsackItems = 128;
constexpr std::uint32_t kSeed = 20240611u;
constexpr int kRepairAttempts = 3;

struct Item {
    std::uint32_t inst = 0;
    Orientation o;
};

struct PlanStrip {
    double height = 0.0;
    std::vector<Item> items;
};

using SheetPlan = std::vector<PlanStrip>;  // strips bottom to top
using Plan = std::vector<SheetPlan>;

double plan_area(const SheetPlan& sheet) {
    double area = 0.0;
    for (const PlanStrip& strip : sheet)
        for (const Item& item : strip.items) area += item.o.w * item.o.h;
    return area;
}

// Fewer sheets first; on a tie, parts crowded onto fewer sheets (a larger sum of squared
// sheet areas), which leaves one sheet ever emptier until it can be given up.
double crowding(const Plan& plan) {
    double sum = 0.0;
    for (const SheetPlan& sheet : plan) {
        const double a = plan_area(sheet);
        sum += a * a;
    }
    return sum;
}

// 0-1 knapsack over integer weights; reuses its tables between calls.
class Knapsack {
public:
    // Indices of the chosen items, maximising the summed value within the capacity.
    const std::vector<std::uint32_t>& solve(const std::vector<int>& weight,
                                            const std::vector<double>& value, int capacity) {
        chosen_.clear();
        if (capacity <= 0 || weight.empty()) return chosen_;
        const std::size_t cols = static_cast<std::size_t>(capacity) + 1;
        best_.assign(cols, 0.0);
        take_.assign(weight.size() * cols, 0);
        for (std::size_t i = 0; i < weight.size(); ++i) {
            const int w = weight[i];
            if (w > capacity) continue;
            std::uint8_t* take = take_.data() + i * cols;
            for (int c = capacity; c >= w; --c) {
                const double with = best_[static_cast<std::size_t>(c - w)] + value[i];
                if (with > best_[static_cast<std::size_t>(c)]) {
                    best_[static_cast<std::size_t>(c)] = with;
                    take[c] = 1;
                }
            }
        }
        int c = capacity;
        for (std::size_t i = weight.size(); i-- > 0;) {
            if (take_[i * cols + static_cast<std::size_t>(c)]) {
                chosen_.push_back(static_cast<std::uint32_t>(i));
                c -= weight[i];
            }
        }
        return chosen_;
    }

private:
    std::vector<double> best_;
    std::vector<std::uint8_t> take_;
    std::vector<std::uint32_t> chosen_;
};

class LayoutSearch {
public:
    LayoutSearch(const std::vector<PartInstance>& instances, double u, double v, double kerf)
        : instances_(instances), u_(u), v_(v), kerf_(kerf) {
        width_quantum_ = (u_ + kerf_) / kKnapsackUnits;
        height_quantum_ = (v_ + kerf_) / kKnapsackUnits;
    }

    // One layout of the listed instances; `noise` 0 is the plain height order.
    Plan build(const std::vector<std::uint32_t>& subset, double noise) {
        std::vector<PlanStrip> strips;
        build_strips(subset, noise, strips);
        return pack_strips(std::move(strips));
    }

    double random() { return unit_(rng_); }

private:
    static int units(double length, double quantum) {
        return static_cast<int>(std::ceil(length / quantum - 1e-6));
    }

    double jitter(double noise) {
        return noise > 0.0 ? 1.0 + noise * (2.0 * unit_(rng_) - 1.0) : 1.0;
    }

    void build_strips(const std::vector<std::uint32_t>& subset, double noise,
                      std::vector<PlanStrip>& strips) {
        const std::size_t n = subset.size();
        order_ = subset;
        keys_.resize(instances_.size());
        for (const std::uint32_t i : subset) keys_[i] = instances_[i].candidates[0].h * jitter(noise);
        // Stable on the screened order, which is already by height then width.
        std::stable_sort(order_.begin(), order_.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return keys_[a] > keys_[b]; });
        used_.assign(instances_.size(), 0);
        std::size_t next = 0;
        const int capacity = units(u_ + kerf_, width_quantum_);
        for (;;) {
            while (next < n && used_[order_[next]]) ++next;
            if (next == n) break;
            const std::uint32_t first = order_[next];
            const PartInstance& lead = instances_[first];
            std::uint8_t c = 0;
            if (lead.candidate_count == 2 && noise > 0.0 && unit_(rng_) < 0.25) c = 1;
            PlanStrip strip;
            strip.height = lead.candidates[c].h;
            strip.items.push_back({first, lead.candidates[c]});
            used_[first] = 1;
            fill_strip(strip, capacity - units(lead.candidates[c].w + kerf_, width_quantum_),
                       noise);
            strips.push_back(std::move(strip));
        }
    }

    // Adds the best-filling set of unused parts that stand no taller than the strip.
    void fill_strip(PlanStrip& strip, int capacity, double noise) {
        pool_.clear();
        weights_.clear();
        values_.clear();
        for (const std::uint32_t i : order_) {
            if (pool_.size() == kMaxKnapsackItems) break;
            if (used_[i]) continue;
            const PartInstance& inst = instances_[i];
            int pick = -1;
            for (int c = 0; c < inst.candidate_count; ++c) {
                const Orientation& o = inst.candidates[c];
                if (o.h > strip.height + kFitTolerance) continue;
                if (pick < 0 || o.w < inst.candidates[pick].w) pick = c;
            }
            if (pick < 0) continue;
            const Orientation& o = inst.candidates[pick];
            const int w = units(o.w + kerf_, width_quantum_);
            if (w > capacity) continue;
            pool_.push_back({i, o});
            weights_.push_back(w);
            values_.push_back(o.w * o.h * jitter(noise * 0.5));
        }
        double right = strip.items.front().o.w;
        for (const std::uint32_t k : knapsack_.solve(weights_, values_, capacity)) {
            const Item& item = pool_[k];
            if (right + kerf_ + item.o.w > u_ + kFitTolerance) continue;  // rounding guard
            right += kerf_ + item.o.w;
            strip.items.push_back(item);
            used_[item.inst] = 1;
        }
    }

    Plan pack_strips(std::vector<PlanStrip> strips) {
        const std::size_t m = strips.size();
        std::vector<std::uint32_t> by_height(m);
        for (std::uint32_t i = 0; i < m; ++i) by_height[i] = i;
        std::stable_sort(by_height.begin(), by_height.end(), [&](std::uint32_t a, std::uint32_t b) {
            return strips[a].height > strips[b].height;
        });
        // Best-fit decreasing.
        std::vector<std::vector<std::uint32_t>> bfd;
        std::vector<double> room;
        for (const std::uint32_t s : by_height) {
            const double need = strips[s].height + kerf_;
            int best = -1;
            for (std::size_t b = 0; b < bfd.size(); ++b) {
                if (need <= room[b] + kFitTolerance && (best < 0 || room[b] < room[best]))
                    best = static_cast<int>(b);
            }
            if (best < 0) {
                bfd.emplace_back();
                room.push_back(v_ + kerf_);
                best = static_cast<int>(bfd.size() - 1);
            }
            bfd[best].push_back(s);
            room[best] -= need;
        }
        // Each sheet filled as closely as the strips allow, tallest strip first.
        std::vector<std::vector<std::uint32_t>> fill;
        std::vector<std::uint8_t> done(m, 0);
        const int capacity = units(v_ + kerf_, height_quantum_);
        std::vector<std::uint32_t> ids;
        for (std::size_t next = 0;;) {
            while (next < m && done[by_height[next]]) ++next;
            if (next == m) break;
            const std::uint32_t lead = by_height[next];
            done[lead] = 1;
            std::vector<std::uint32_t> sheet{lead};
            ids.clear();
            weights_.clear();
            values_.clear();
            for (const std::uint32_t s : by_height) {
                if (ids.size() == kMaxKnapsackItems) break;
                if (done[s]) continue;
                ids.push_back(s);
                weights_.push_back(units(strips[s].height + kerf_, height_quantum_));
                values_.push_back(strips[s].height);
            }
            double top = strips[lead].height;
            const int left = capacity - units(strips[lead].height + kerf_, height_quantum_);
            for (const std::uint32_t k : knapsack_.solve(weights_, values_, left)) {
                const double h = strips[ids[k]].height;
                if (top + kerf_ + h > v_ + kFitTolerance) continue;  // rounding guard
                top += kerf_ + h;
                sheet.push_back(ids[k]);
                done[ids[k]] = 1;
            }
            fill.push_back(std::move(sheet));
        }
        const auto& chosen = fill.size() < bfd.size() ? fill : bfd;
        Plan plan(chosen.size());
        for (std::size_t b = 0; b < chosen.size(); ++b)
            for (const std::uint32_t s : chosen[b]) plan[b].push_back(std::move(strips[s]));
        return plan;
    }

    const std::vector<PartInstance>& instances_;
    double u_, v_, kerf_;
    double width_quantum_ = 0.0, height_quantum_ = 0.0;
    std::mt19937 rng_{kSeed};
    std::uniform_real_distribution<double> unit_{0.0, 1.0};
    Knapsack knapsack_;
    std::vector<std::uint32_t> order_;
    std::vector<double> keys_;
    std::vector<std::uint8_t> used_;
    std::vector<Item> pool_;
    std::vector<int> weights_;
    std::vector<double> values_;
};

// The plan as sheets of strips (bottom to top in the plan's order) and placed parts.
void apply_plan(const Plan& plan, const std::vector<PartInstance>& instances, double kerf,
                NestResult& result) {
    result.sheets.assign(plan.size(), SheetLayout{});
    result.placements.clear();
    for (std::uint32_t s = 0; s < plan.size(); ++s) {
        SheetLayout& layout = result.sheets[s];
        for (const PlanStrip& src : plan[s]) {
            Strip strip;
            strip.y = layout.used_height;
            strip.height = src.height;
            for (const Item& item : src.items) {
                Placement p;
                p.row = instances[item.inst].row;
                p.copy = instances[item.inst].copy;
                p.sheet = s;
                p.strip = static_cast<std::uint32_t>(layout.strips.size());
                p.x = strip.cursor;
                p.y = strip.y;
                p.w = item.o.w;
                p.h = item.o.h;
                p.rotated = item.o.rotated;
                result.placements.push_back(p);
                strip.right_end = strip.cursor + item.o.w;
                strip.cursor = strip.right_end + kerf;
                ++strip.parts;
            }
            layout.strips.push_back(strip);
            layout.used_height += src.height + kerf;
        }
    }
}

// Destroy and repair: the emptiest sheet and a few others are emptied and their parts laid
// out again from scratch; the new sheets replace the old when they are fewer, or as many but
// more crowded.
bool improve(LayoutSearch& search, Plan& plan, std::mt19937& rng) {
    if (plan.size() < 2) return false;
    std::size_t emptiest = 0;
    for (std::size_t s = 1; s < plan.size(); ++s)
        if (plan_area(plan[s]) < plan_area(plan[emptiest])) emptiest = s;
    std::vector<std::size_t> picked{emptiest};
    const std::size_t extra = std::min<std::size_t>(plan.size() - 1, 1 + rng() % 3);
    while (picked.size() < extra + 1) {
        const std::size_t s = rng() % plan.size();
        if (std::find(picked.begin(), picked.end(), s) == picked.end()) picked.push_back(s);
    }
    std::vector<std::uint32_t> subset;
    Plan old;
    for (const std::size_t s : picked) {
        for (const PlanStrip& strip : plan[s])
            for (const Item& item : strip.items) subset.push_back(item.inst);
        old.push_back(plan[s]);
    }
    std::sort(subset.begin(), subset.end());  // the screened order
    Plan fresh = search.build(subset, 0.05 + 0.3 * search.random());
    for (int attempt = 1; attempt < kRepairAttempts; ++attempt) {
        Plan other = search.build(subset, 0.05 + 0.3 * search.random());
        if (other.size() < fresh.size() ||
            (other.size() == fresh.size() && crowding(other) > crowding(fresh)))
            fresh = std::move(other);
    }
    if (fresh.size() > old.size() ||
        (fresh.size() == old.size() && crowding(fresh) <= crowding(old) + 1e-12))
        return false;
    std::sort(picked.begin(), picked.end(), std::greater<>());
    for (const std::size_t s : picked) plan.erase(plan.begin() + static_cast<std::ptrdiff_t>(s));
    for (SheetPlan& sheet : fresh) plan.push_back(std::move(sheet));
    return true;
}

}  // namespace

NestResult nest_parts_optimised(const std::vector<PartRow>& rows, const SheetSpec& sheet,
                                double budget_seconds) {
    const Clock::time_point start = Clock::now();
    NestResult base = nest_parts(rows, sheet);
    if (!base.ok) return base;
    const auto first_fit = static_cast<std::uint32_t>(base.sheets.size());
    base.optimised_from = first_fit;
    if (first_fit <= 1) return base;

    NestResult scratch;
    const std::vector<PartInstance> instances = nesting_detail::screen(rows, sheet, scratch);
    const double u = base.usable_width, v = base.usable_height;
    const auto bound = static_cast<std::size_t>(
        std::max(1.0, std::ceil(base.part_area / (u * v) - 1e-9)));
    if (first_fit <= bound) return base;

    LayoutSearch search(instances, u, v, sheet.kerf);
    const auto deadline =
        start + std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double>(std::max(0.0, budget_seconds)));
    std::vector<std::uint32_t> all(instances.size());
    for (std::uint32_t i = 0; i < all.size(); ++i) all[i] = i;
    std::mt19937 rng(kSeed);
    constexpr double kNoise[] = {0.05, 0.15, 0.3};
    // A few whole builds pick a starting layout; destroy-and-repair rounds then work on it.
    constexpr std::uint64_t kRestarts = 8;
    Plan best = search.build(all, 0.0);
    for (std::uint64_t round = 1; best.size() > bound && Clock::now() < deadline; ++round) {
        if (round < kRestarts) {
            Plan plan = search.build(all, kNoise[round % 3]);
            if (plan.size() < best.size()) best = std::move(plan);
        } else {
            improve(search, best, rng);
        }
    }
    const std::size_t best_sheets = best.size();
    if (best_sheets >= first_fit) return base;
    apply_plan(best, instances, sheet.kerf, base);
    nesting_detail::account(base, sheet);
    return base;
}

}  // namespace korvan
