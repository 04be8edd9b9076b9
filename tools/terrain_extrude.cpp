// Terraces from contours. The level set holds the closed contours; the level at a plan point
// is that of the innermost (smallest) contour around it. Both the containing test and the
// search are indexed: each contour keeps its sides bucketed into horizontal bands, so a
// point-in-polygon test reads only the sides near the point's y, and a uniform grid over the
// contours' boxes lists, per cell, the contours that may contain a point there, smallest
// first, so the search stops at the first (and any equally small) hit.
#include "tools/terrain_extrude.h"

#include <algorithm>
#include <cmath>

#include "core/mesh.h"
#include "core/planar_ring.h"
#include "document/document.h"

namespace korvan {
namespace {

constexpr double kTieFraction = 1e-6;   // areas this close (of the larger) are one contour
constexpr double kLevelMerge = 1e-6;    // levels this close are one terrace level
constexpr std::size_t kMaxBands = 64;
constexpr std::size_t kMaxGridSide = 512;

struct LevelEntry {
    int contour = -1;
    std::vector<Point2> ring;
    double area = 0.0, elevation = 0.0;
    double minx = 0, miny = 0, maxx = 0, maxy = 0;
    // Sides bucketed by the horizontal band they pass through.
    std::vector<std::uint32_t> band_offsets, band_sides;

    void index() {
        const std::size_t n = ring.size();
        const std::size_t bands = std::clamp<std::size_t>(n / 4, 1, kMaxBands);
        band_offsets.assign(bands + 1, 0);
        auto band = [&](double y) {
            const double f = maxy > miny ? (y - miny) / (maxy - miny) : 0.0;
            return std::min(bands - 1, static_cast<std::size_t>(std::max(0.0, f * bands)));
        };
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<std::uint32_t> fill(band_offsets.begin(), band_offsets.end() - 1);
            for (std::size_t i = 0; i < n; ++i) {
                const Point2 &a = ring[i], &b = ring[(i + 1) % n];
                for (std::size_t k = band(std::min(a.y, b.y)); k <= band(std::max(a.y, b.y)); ++k) {
                    if (pass == 0) {
                        ++band_offsets[k + 1];
                    } else {
                        band_sides[fill[k]++] = static_cast<std::uint32_t>(i);
                    }
                }
            }
            if (pass == 0) {
                for (std::size_t k = 0; k < bands; ++k) band_offsets[k + 1] += band_offsets[k];
                band_sides.resize(band_offsets[bands]);
            }
        }
    }

    bool contains(const Point2& p) const {
        if (p.x < minx || p.x > maxx || p.y < miny || p.y > maxy) return false;
        const std::size_t bands = band_offsets.size() - 1;
        const double f = maxy > miny ? (p.y - miny) / (maxy - miny) : 0.0;
        const std::size_t k = std::min(bands - 1, static_cast<std::size_t>(std::max(0.0, f * bands)));
        const std::size_t n = ring.size();
        bool in = false;
        for (std::uint32_t x = band_offsets[k]; x < band_offsets[k + 1]; ++x) {
            const Point2 &a = ring[band_sides[x]], &b = ring[(band_sides[x] + 1) % n];
            if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
        }
        return in;
    }
};

struct LevelQuery {
    bool found = false;
    double level = 0.0;
    int contour = -1;
    bool ambiguous = false;
};

class LevelSet {
public:
    explicit LevelSet(std::vector<LevelEntry> entries) : entries_(std::move(entries)) {
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const LevelEntry& a, const LevelEntry& b) { return a.area < b.area; });
        if (entries_.empty()) return;
        minx_ = miny_ = HUGE_VAL;
        double maxx = -HUGE_VAL, maxy = -HUGE_VAL;
        for (const LevelEntry& e : entries_) {
            minx_ = std::min(minx_, e.minx), miny_ = std::min(miny_, e.miny);
            maxx = std::max(maxx, e.maxx), maxy = std::max(maxy, e.maxy);
        }
        side_ = std::clamp<std::size_t>(
            static_cast<std::size_t>(std::ceil(std::sqrt(4.0 * entries_.size()))), 1, kMaxGridSide);
        cw_ = std::max(maxx - minx_, 1e-9) / side_;
        ch_ = std::max(maxy - miny_, 1e-9) / side_;
        offsets_.assign(side_ * side_ + 1, 0);
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<std::uint32_t> fill(offsets_.begin(), offsets_.end() - 1);
            for (std::uint32_t k = 0; k < entries_.size(); ++k) {
                const LevelEntry& e = entries_[k];
                for (std::size_t cx = cell(e.minx, minx_, cw_); cx <= cell(e.maxx, minx_, cw_); ++cx) {
                    for (std::size_t cy = cell(e.miny, miny_, ch_); cy <= cell(e.maxy, miny_, ch_); ++cy) {
                        if (pass == 0) {
                            ++offsets_[cx * side_ + cy + 1];
                        } else {
                            lists_[fill[cx * side_ + cy]++] = k;
                        }
                    }
                }
            }
            if (pass == 0) {
                for (std::size_t c = 0; c < side_ * side_; ++c) offsets_[c + 1] += offsets_[c];
                lists_.resize(offsets_.back());
            }
        }
    }

    // The innermost closed contour around p; of two equally small ones the higher wins.
    LevelQuery query(const Point2& p) const {
        LevelQuery q;
        if (entries_.empty()) return q;
        const double fx = (p.x - minx_) / cw_, fy = (p.y - miny_) / ch_;
        if (!(fx >= 0.0 && fy >= 0.0 && fx <= double(side_) && fy <= double(side_))) return q;
        const std::size_t c = cell(p.x, minx_, cw_) * side_ + cell(p.y, miny_, ch_);
        double found_area = 0.0;
        for (std::uint32_t x = offsets_[c]; x < offsets_[c + 1]; ++x) {
            const LevelEntry& e = entries_[lists_[x]];
            if (q.found && e.area - found_area > kTieFraction * e.area) break;
            if (!e.contains(p)) continue;
            if (!q.found) {
                q.found = true;
                q.level = e.elevation;
                q.contour = e.contour;
                found_area = e.area;
            } else {
                q.ambiguous = true;
                if (e.elevation > q.level) {
                    q.level = e.elevation;
                    q.contour = e.contour;
                }
            }
        }
        return q;
    }

private:
    std::size_t cell(double v, double lo, double size) const {
        const double f = (v - lo) / size;
        return std::min(side_ - 1, static_cast<std::size_t>(std::max(0.0, f)));
    }

    std::vector<LevelEntry> entries_;
    double minx_ = 0, miny_ = 0, cw_ = 1, ch_ = 1;
    std::size_t side_ = 1;
    std::vector<std::uint32_t> offsets_, lists_;
};

// A point well inside the ring: the middle of the widest inside stretch of the horizontal
// line through the centroid. Nothing when that line finds no stretch.
bool interior_point(const std::vector<Point2>& ring, const Point2& centroid, Point2& out) {
    std::vector<double> xs;
    const std::size_t n = ring.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Point2 &a = ring[i], &b = ring[(i + 1) % n];
        if ((a.y > centroid.y) != (b.y > centroid.y))
            xs.push_back(a.x + (b.x - a.x) * (centroid.y - a.y) / (b.y - a.y));
    }
    std::sort(xs.begin(), xs.end());
    double best = 0.0;
    for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
        if (xs[k + 1] - xs[k] > best) {
            best = xs[k + 1] - xs[k];
            out = {0.5 * (xs[k] + xs[k + 1]), centroid.y};
        }
    }
    return best > 0.0;
}

}  // namespace

TerrainExtrudeResult extrude_up_to_contours(Mesh& mesh, std::span<const FaceId> faces,
                                            const TerrainExtrudeOptions& o) {
    TerrainExtrudeResult r;
    auto refuse = [&](const char* why) {
        r.ok = false;
        r.message = why;
        return r;
    };
    const std::span<const Curve> curves = mesh.curves();
    for (const Curve& c : curves) r.contours += c.alive ? 1 : 0;
    r.faces_in = faces.size();
    if (faces.empty()) return refuse("no faces given");
    if (r.contours == 0) return refuse("no contours given");
    if (!(o.sample_inset > 0.0f && o.sample_inset < 1.0f))
        return refuse("sample inset must be strictly between 0 and 1");
    if (!(o.minimum_rise > 0.0f) || !std::isfinite(o.minimum_rise))
        return refuse("minimum rise must be positive and finite");
    if (o.run_gate) {
        r.gate = check_contours(curves, o.check);
        r.gate_ran = true;
        if (!r.gate.ok) {
            r.gate_refused = true;
            return refuse(r.gate.message);
        }
    }
    std::vector<LevelEntry> entries;
    int number = 0;
    for (const Curve& c : curves) {
        if (!c.alive) continue;
        const int contour = number++;
        if (!c.closed) {
            ++r.open_contours_ignored;
            continue;
        }
        LevelEntry e;
        e.contour = contour;
        e.elevation = contour_elevation(c);
        e.minx = e.miny = HUGE_VAL;
        e.maxx = e.maxy = -HUGE_VAL;
        for (const Vec3& p : c.points) {
            e.ring.push_back({p.x, p.y});
            e.minx = std::min(e.minx, double(p.x)), e.maxx = std::max(e.maxx, double(p.x));
            e.miny = std::min(e.miny, double(p.y)), e.maxy = std::max(e.maxy, double(p.y));
        }
        if (e.ring.size() < 3) continue;
        e.area = 0.5 * std::abs(signed_area2(e.ring));
        e.index();
        entries.push_back(std::move(e));
    }
    if (entries.empty())
        return refuse("no closed contour -- an open contour encloses nothing and cannot set a level");
    const LevelSet levels(std::move(entries));

    std::vector<double> level_list;
    std::vector<Point2> plan, samples;
    for (const FaceId face : faces) {
        const std::vector<VertexId> ring = mesh.face_vertices(face);
        bool valid = mesh.face_usable(face) && ring.size() >= 3;
        double zmin = HUGE_VAL, zmax = -HUGE_VAL, zsum = 0.0;
        plan.clear();
        for (const VertexId v : ring) {
            if (v >= mesh.vertices().size()) {
                valid = false;
                break;
            }
            const Vec3& p = mesh.vertices()[v].position;
            if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
                valid = false;
                break;
            }
            zmin = std::min(zmin, double(p.z)), zmax = std::max(zmax, double(p.z));
            zsum += p.z;
            plan.push_back({p.x, p.y});
        }
        if (!valid) {
            ++r.invalid;
            continue;
        }
        if (zmax - zmin > o.horizontal_tolerance) {
            ++r.not_horizontal;
            continue;
        }
        const double area = mesh.face_area(face);
        if (area <= o.area_epsilon) {
            ++r.degenerate;
            continue;
        }
        Point2 centroid;
        for (const Point2& p : plan) centroid.x += p.x, centroid.y += p.y;
        centroid.x /= double(plan.size());
        centroid.y /= double(plan.size());
        samples.assign(1, centroid);
        for (const Point2& p : plan) {
            samples.push_back({centroid.x + o.sample_inset * (p.x - centroid.x),
                               centroid.y + o.sample_inset * (p.y - centroid.y)});
        }
        Point2 extra;
        if (interior_point(plan, centroid, extra)) samples.push_back(extra);
        std::uint64_t inside = 0, covered = 0;
        bool uncovered = false, ambiguous = false;
        double lo = HUGE_VAL, hi = -HUGE_VAL;
        for (const Point2& s : samples) {
            if (!point_in_ring(plan, s)) {
                ++r.samples_off_face;
                continue;
            }
            ++inside;
            const LevelQuery q = levels.query(s);
            if (!q.found) {
                uncovered = true;
                continue;
            }
            ++covered;
            lo = std::min(lo, q.level), hi = std::max(hi, q.level);
            ambiguous = ambiguous || q.ambiguous;
        }
        if (inside == 0) {
            ++r.off_face;
            continue;
        }
        if (covered == 0) {
            ++r.uncovered;
            continue;
        }
        const double rise = lo - zsum / double(ring.size());
        if (rise < -o.minimum_rise) {
            ++r.contour_below;
            continue;
        }
        if (std::abs(rise) <= o.minimum_rise) {
            ++r.already_at_level;
            continue;
        }
        const bool facing_down = signed_area2(plan) < 0.0;
        if (facing_down) mesh.reverse_face(face);
        const auto first_new = static_cast<FaceId>(mesh.faces().size());
        const std::optional<FaceId> cap = mesh.push_pull(face, static_cast<float>(rise));
        if (!cap) {
            if (facing_down) mesh.reverse_face(face);
            ++r.invalid;
            continue;
        }
        if (facing_down) ++r.rewound;
        // The base stays as the terrace's floor and faces down.
        if (mesh.recompute_face_normal(face).z > 0.0f) mesh.reverse_face(face);
        for (FaceId f = first_new; f < mesh.faces().size(); ++f) {
            if (o.override_material) mesh.set_face_material(f, o.material);
            if (o.override_layer) mesh.set_face_layer(f, o.layer);
        }
        if (ambiguous) ++r.ambiguous;
        if (uncovered || hi - lo > kLevelMerge) ++r.spanning;
        ++r.extruded;
        r.plateau_area += area;
        r.volume += area * rise;
        level_list.push_back(lo);
    }
    if (r.extruded == 0) return refuse("no face could be extruded");
    if (o.link_afterwards) r.linked = mesh.link_shared_edges();
    std::sort(level_list.begin(), level_list.end());
    std::vector<double> kept;
    for (const double l : level_list) {
        if (kept.empty() || l - kept.back() > kLevelMerge) kept.push_back(l);
    }
    r.levels = kept.size();
    r.lowest = kept.front();
    r.highest = kept.back();
    r.faces = mesh.alive_face_count();
    return r;
}

ExtrudeUpToContoursCommand::ExtrudeUpToContoursCommand(Document& doc, MeshLocator target,
                                                       std::vector<FaceId> faces,
                                                       TerrainExtrudeOptions options)
    : doc_(doc), target_(std::move(target)), faces_(std::move(faces)), options_(options) {}

void ExtrudeUpToContoursCommand::redo() {
    result_ = {};
    changed_ = false;
    Mesh* mesh = target_.resolve(doc_);
    if (mesh == nullptr) {
        result_.ok = false;
        result_.message = "the mesh is no longer in the document";
        return;
    }
    before_ = std::make_unique<Mesh>(*mesh);
    result_ = extrude_up_to_contours(*mesh, faces_, options_);
    changed_ = result_.ok;
    if (!changed_) before_.reset();
}

void ExtrudeUpToContoursCommand::undo() {
    Mesh* mesh = target_.resolve(doc_);
    if (changed_ && mesh != nullptr && before_) assign_mesh_marking_changes(*mesh, *before_);
    before_.reset();
    changed_ = false;
}

}  // namespace korvan
