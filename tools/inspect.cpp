#include "tools/inspect.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <span>

#include "core/dvec3.h"
#include "core/mesh.h"
#include "document/document.h"

// Model inspection. Every test works on the alive faces in table order and on undirected
// vertex pairs (smaller id first, packed into 64 bits), so welded-but-unlinked geometry is
// judged by what it looks like. The pair maps are sorted vectors of (pair, face, direction)
// records: a run of equal pairs lists the faces on that edge.
//
// Faces drop out in stages: degenerate faces take part in nothing, duplicates only in the
// planarity test, and internal faces (buried walls whose every edge carries 3+ faces) leave
// before the edge map B that the naked, stray, non-manifold and orientation tests read.
//
// Solid contact: where two closed solids touch along an edge, the edge carries an even number
// of faces that pair up into wedges when sorted by angle round the edge; such an edge and its
// vertices are reported as contact, not as defects.

namespace korvan {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kContactAngleRun = 1e-4;  // radians: angles this close order by direction
constexpr double kContactMinLength = 1e-9;
constexpr double kUnitNormalMin = 1e-12;
constexpr double kPlanarNormalMinSq = 0.5;

std::uint64_t pair_key(VertexId a, VertexId b) {
    if (a > b) std::swap(a, b);
    return (static_cast<std::uint64_t>(a) << 32) | b;
}

// One use of an undirected pair by a face; forward when the ring runs from the smaller id.
struct PairUse {
    std::uint64_t key;
    std::uint32_t face;  // index into the alive-face list
    bool forward;
    bool operator<(const PairUse& o) const { return key != o.key ? key < o.key : face < o.face; }
};

// Rings of the alive faces, flat, with their geometry read once.
struct FaceRings {
    std::vector<FaceId> ids;
    std::vector<std::uint32_t> offset;  // ids.size() + 1 entries
    std::vector<VertexId> verts;

    std::span<const VertexId> ring(std::uint32_t i) const {
        return {verts.data() + offset[i], offset[i + 1] - offset[i]};
    }
};

FaceRings read_rings(const Mesh& mesh) {
    FaceRings r;
    const auto fs = mesh.faces();
    r.offset.push_back(0);
    for (FaceId f = 0; f < fs.size(); ++f) {
        if (!fs[f].alive) continue;
        const std::vector<VertexId> ring = mesh.face_vertices(f);
        r.ids.push_back(f);
        r.verts.insert(r.verts.end(), ring.begin(), ring.end());
        r.offset.push_back(static_cast<std::uint32_t>(r.verts.size()));
    }
    return r;
}

DVec3 position(std::span<const Vertex> vs, VertexId v) {
    return v < vs.size() ? DVec3(vs[v].position) : DVec3{};
}

DVec3 newell(std::span<const Vertex> vs, std::span<const VertexId> ring) {
    DVec3 n;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const DVec3 p = position(vs, ring[i]), q = position(vs, ring[(i + 1) % ring.size()]);
        n.x += (p.y - q.y) * (p.z + q.z);
        n.y += (p.z - q.z) * (p.x + q.x);
        n.z += (p.x - q.x) * (p.y + q.y);
    }
    return n;
}

DVec3 unit(const DVec3& v, double min_length) {
    const double len = std::sqrt(dot(v, v));
    return len < min_length ? DVec3{} : v * (1.0 / len);
}

// Rotated to its smallest id and read in the smaller of the two directions, so copies of one
// face match whatever their start and winding.
std::vector<VertexId> canonical_ring(std::span<const VertexId> ring) {
    const std::size_t n = ring.size();
    const std::size_t s = std::min_element(ring.begin(), ring.end()) - ring.begin();
    std::vector<VertexId> fwd(n), bwd(n);
    for (std::size_t i = 0; i < n; ++i) {
        fwd[i] = ring[(s + i) % n];
        bwd[i] = ring[(s + n - i) % n];
    }
    return std::min(fwd, bwd);
}

// The uses of a pair, as a run of a sorted PairUse list.
struct PairMap {
    std::vector<PairUse> uses;

    void add_faces(const FaceRings& rings, const std::vector<std::uint8_t>& take) {
        for (std::uint32_t i = 0; i < rings.ids.size(); ++i) {
            if (!take[i]) continue;
            const auto ring = rings.ring(i);
            for (std::size_t k = 0; k < ring.size(); ++k) {
                const VertexId a = ring[k], b = ring[(k + 1) % ring.size()];
                uses.push_back({pair_key(a, b), i, a < b});
            }
        }
        std::sort(uses.begin(), uses.end());
    }
    // [first, last) of the pair's run.
    std::pair<std::size_t, std::size_t> run(std::uint64_t key) const {
        const auto lo = std::lower_bound(uses.begin(), uses.end(), PairUse{key, 0, false});
        auto hi = lo;
        while (hi != uses.end() && hi->key == key) ++hi;
        return {static_cast<std::size_t>(lo - uses.begin()),
                static_cast<std::size_t>(hi - uses.begin())};
    }
    std::size_t count(std::uint64_t key) const {
        const auto [lo, hi] = run(key);
        return hi - lo;
    }
};

// The solid-contact test of one pair: its faces sorted by the angle at which they leave the
// edge must alternate in direction, and each backward face with the one after it is a wedge.
bool contact_wedges(std::span<const Vertex> vs, const FaceRings& rings,
                    std::span<const PairUse> uses,
                    std::vector<std::pair<std::uint32_t, std::uint32_t>>& wedges) {
    const std::size_t k = uses.size();
    if (k < 3 || k % 2 != 0) return false;
    const VertexId a = static_cast<VertexId>(uses[0].key >> 32);
    const VertexId b = static_cast<VertexId>(uses[0].key & 0xFFFFFFFFu);
    if (a >= vs.size() || b >= vs.size()) return false;
    const DVec3 pa(vs[a].position), pb(vs[b].position);
    const DVec3 d = unit(pb - pa, kContactMinLength);
    if (dot(d, d) == 0.0) return false;
    const DVec3 ref = std::fabs(d.x) < 0.9 ? DVec3{1, 0, 0} : DVec3{0, 1, 0};
    const DVec3 u = unit(ref - d * dot(ref, d), kContactMinLength);
    if (dot(u, u) == 0.0) return false;
    const DVec3 w = cross(d, u);

    struct Leaf {
        double angle;
        bool forward;
        std::uint32_t face;
    };
    std::vector<Leaf> leaves;
    for (const PairUse& use : uses) {
        const auto ring = rings.ring(use.face);
        bool forward = false, found = false;
        for (std::size_t i = 0; i < ring.size() && !found; ++i) {
            const VertexId p = ring[i], q = ring[(i + 1) % ring.size()];
            if (p == a && q == b) found = forward = true;
            if (p == b && q == a) found = true;
        }
        if (!found) return false;
        const DVec3 n = unit(newell(vs, ring), kUnitNormalMin);
        if (dot(n, n) == 0.0) return false;
        const DVec3 along = forward ? d : d * -1.0;
        DVec3 t = cross(n, along);
        t = unit(t - d * dot(t, d), kContactMinLength);
        if (dot(t, t) == 0.0) return false;
        double angle = std::atan2(dot(t, w), dot(t, u));
        if (angle < 0.0) angle += kTwoPi;
        leaves.push_back({angle, forward, use.face});
    }
    std::sort(leaves.begin(), leaves.end(),
              [](const Leaf& x, const Leaf& y) { return x.angle < y.angle; });
    // Within a run of nearly equal angles, backward faces first: the wedge of a backward face
    // is with the face after it.
    for (std::size_t s = 0; s < leaves.size();) {
        std::size_t e = s + 1;
        while (e < leaves.size() && leaves[e].angle - leaves[s].angle <= kContactAngleRun) ++e;
        std::stable_sort(leaves.begin() + s, leaves.begin() + e,
                         [](const Leaf& x, const Leaf& y) { return !x.forward && y.forward; });
        s = e;
    }
    for (std::size_t i = 0; i < k; ++i) {
        if (leaves[i].forward == leaves[(i + 1) % k].forward) return false;
    }
    std::size_t count = 0;
    for (std::size_t i = 0; i < k; ++i) {
        if (leaves[i].forward) continue;
        wedges.emplace_back(leaves[i].face, leaves[(i + 1) % k].face);
        ++count;
    }
    return count * 2 == k;
}

void append_count(std::string& out, std::uint64_t n) {
    char buf[24];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, end);
}

// Union-find over a small local set.
struct Unions {
    std::vector<std::uint32_t> parent;
    void reset(std::size_t n) {
        parent.resize(n);
        std::iota(parent.begin(), parent.end(), 0u);
    }
    std::uint32_t find(std::uint32_t x) {
        while (parent[x] != x) x = parent[x] = parent[parent[x]];
        return x;
    }
    void join(std::uint32_t x, std::uint32_t y) { parent[find(x)] = find(y); }
    bool single() {
        for (std::uint32_t i = 0; i < parent.size(); ++i) {
            if (find(i) != find(0)) return false;
        }
        return true;
    }
};

}  // namespace

const char* defect_label(DefectClass c) {
    switch (c) {
        case DefectClass::kDegenerateFaces:
            return "Degenerate faces";
        case DefectClass::kNonPlanarFaces:
            return "Non-planar faces";
        case DefectClass::kDuplicateFaces:
            return "Duplicate faces";
        case DefectClass::kInternalFaces:
            return "Internal faces";
        case DefectClass::kStrayEdges:
            return "Stray edges";
        case DefectClass::kNakedEdges:
            return "Naked edges";
        case DefectClass::kNonManifoldVertices:
            return "Non-manifold vertices";
        case DefectClass::kReversedFaces:
            return "Reversed faces";
    }
    return "Unknown";
}

const char* defect_id_kind(DefectClass c) {
    switch (c) {
        case DefectClass::kDegenerateFaces:
        case DefectClass::kNonPlanarFaces:
        case DefectClass::kDuplicateFaces:
        case DefectClass::kInternalFaces:
        case DefectClass::kReversedFaces:
            return "face";
        case DefectClass::kStrayEdges:
        case DefectClass::kNakedEdges:
            return "edge";
        case DefectClass::kNonManifoldVertices:
            return "vertex";
    }
    return "entity";
}

std::uint64_t MeshInspection::total() const {
    std::uint64_t n = 0;
    for (const auto& list : ids) n += list.size();
    return n;
}

MeshInspection inspect_mesh(const Mesh& mesh, const InspectionTolerances& tolerances) {
    MeshInspection r;
    auto list = [&r](DefectClass c) -> std::vector<std::uint32_t>& {
        return r.ids[static_cast<int>(c)];
    };
    const auto vs = mesh.vertices();
    r.faces = mesh.alive_face_count();
    r.verts = mesh.alive_vertex_count();
    r.half_edge_naked = mesh.naked_edge_count();
    r.volume = mesh.compute_volume();

    const FaceRings rings = read_rings(mesh);
    const std::uint32_t nf = static_cast<std::uint32_t>(rings.ids.size());

    // 1. Degenerate faces.
    std::vector<std::uint8_t> degenerate(nf, 0);
    std::vector<VertexId> scratch;
    for (std::uint32_t i = 0; i < nf; ++i) {
        const auto ring = rings.ring(i);
        scratch.assign(ring.begin(), ring.end());
        std::sort(scratch.begin(), scratch.end());
        const bool repeats = std::adjacent_find(scratch.begin(), scratch.end()) != scratch.end();
        if (ring.size() < 3 || repeats || mesh.face_area(rings.ids[i]) <= tolerances.area_epsilon) {
            degenerate[i] = 1;
            list(DefectClass::kDegenerateFaces).push_back(rings.ids[i]);
        }
    }

    // 2. Duplicate faces: runs of equal canonical rings, all but the first of each run.
    std::vector<std::uint8_t> eligible(nf, 0);
    {
        std::vector<std::vector<VertexId>> canon(nf);
        std::vector<std::uint32_t> order;
        for (std::uint32_t i = 0; i < nf; ++i) {
            if (degenerate[i]) continue;
            canon[i] = canonical_ring(rings.ring(i));
            order.push_back(i);
            eligible[i] = 1;
        }
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint32_t x, std::uint32_t y) { return canon[x] < canon[y]; });
        for (std::size_t k = 1; k < order.size(); ++k) {
            if (canon[order[k]] != canon[order[k - 1]]) continue;
            eligible[order[k]] = 0;
            list(DefectClass::kDuplicateFaces).push_back(rings.ids[order[k]]);
        }
        std::sort(list(DefectClass::kDuplicateFaces).begin(),
                  list(DefectClass::kDuplicateFaces).end());
    }

    // 3-4. Internal faces: every edge carries three or more faces in map A.
    {
        PairMap a;
        a.add_faces(rings, eligible);
        std::vector<std::uint8_t> internal(nf, 0);
        for (std::uint32_t i = 0; i < nf; ++i) {
            if (!eligible[i]) continue;
            const auto ring = rings.ring(i);
            bool all = true;
            for (std::size_t k = 0; k < ring.size() && all; ++k) {
                all = a.count(pair_key(ring[k], ring[(k + 1) % ring.size()])) >= 3;
            }
            if (all) {
                internal[i] = 1;
                list(DefectClass::kInternalFaces).push_back(rings.ids[i]);
            }
        }
        for (std::uint32_t i = 0; i < nf; ++i) {
            if (internal[i]) eligible[i] = 0;
        }
    }

    // 5-6. Map B and the edges of three or more faces.
    PairMap b;
    b.add_faces(rings, eligible);
    std::vector<std::uint64_t> contact_keys;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> wedges;  // face pairs, by contact
    std::vector<std::uint32_t> wedge_start;                       // per contact key
    for (std::size_t s = 0; s < b.uses.size();) {
        std::size_t e = s + 1;
        while (e < b.uses.size() && b.uses[e].key == b.uses[s].key) ++e;
        if (e - s >= 3) {
            const std::size_t before = wedges.size();
            if (contact_wedges(vs, rings, std::span(b.uses).subspan(s, e - s), wedges)) {
                ++r.contact_edges;
                contact_keys.push_back(b.uses[s].key);
                wedge_start.push_back(static_cast<std::uint32_t>(before));
            } else {
                wedges.resize(before);
                ++r.non_manifold_edges;
            }
        }
        s = e;
    }
    wedge_start.push_back(static_cast<std::uint32_t>(wedges.size()));

    // 7. Stray and naked edges, redundant records.
    {
        std::vector<std::uint64_t> keys;
        const auto es = mesh.edges();
        for (EdgeId e = 0; e < es.size(); ++e) {
            if (!es[e].alive) continue;
            ++r.edges;
            const auto [p, q] = mesh.edge_vertices(e);
            keys.push_back(pair_key(p, q));
            if (p == q) continue;
            const std::size_t uses = b.count(pair_key(p, q));
            if (uses == 0) list(DefectClass::kStrayEdges).push_back(e);
            if (uses == 1) list(DefectClass::kNakedEdges).push_back(e);
        }
        std::sort(keys.begin(), keys.end());
        r.redundant_edge_records =
            keys.size() -
            static_cast<std::uint64_t>(std::unique(keys.begin(), keys.end()) - keys.begin());
    }

    // 8. Non-manifold vertices: the faces round a vertex must make one fan when joined across
    // the vertex's two-face edges (and, for contacts, across each wedge).
    {
        struct Corner {
            VertexId v;
            std::uint32_t face;
            VertexId prev, next;
        };
        std::vector<Corner> corners;
        for (std::uint32_t i = 0; i < nf; ++i) {
            if (!eligible[i]) continue;
            const auto ring = rings.ring(i);
            const std::size_t n = ring.size();
            for (std::size_t k = 0; k < n; ++k) {
                corners.push_back({ring[k], i, ring[(k + n - 1) % n], ring[(k + 1) % n]});
            }
        }
        std::sort(corners.begin(), corners.end(), [](const Corner& x, const Corner& y) {
            return x.v != y.v ? x.v < y.v : x.face < y.face;
        });
        Unions unions;
        std::vector<std::pair<VertexId, std::uint32_t>> spokes;  // (other end, local face)
        for (std::size_t s = 0; s < corners.size();) {
            std::size_t e = s + 1;
            while (e < corners.size() && corners[e].v == corners[s].v) ++e;
            const VertexId v = corners[s].v;
            const std::size_t n = e - s;
            spokes.clear();
            for (std::size_t k = s; k < e; ++k) {
                spokes.emplace_back(corners[k].prev, static_cast<std::uint32_t>(k - s));
                spokes.emplace_back(corners[k].next, static_cast<std::uint32_t>(k - s));
            }
            std::sort(spokes.begin(), spokes.end());
            auto local_of = [&](std::uint32_t face) {
                for (std::size_t k = s; k < e; ++k) {
                    if (corners[k].face == face) return static_cast<std::uint32_t>(k - s);
                }
                return static_cast<std::uint32_t>(n);
            };
            auto umbrella = [&](bool contact_mode, bool& touches_contact) {
                unions.reset(n);
                for (std::size_t i = 0; i < spokes.size();) {
                    std::size_t j = i + 1;
                    while (j < spokes.size() && spokes[j].first == spokes[i].first) ++j;
                    const std::uint64_t key = pair_key(v, spokes[i].first);
                    // Each face on the edge is listed once per side it has there.
                    const std::size_t uses = b.count(key);
                    if (uses == 2 && j - i == 2) {
                        unions.join(spokes[i].second, spokes[i + 1].second);
                    } else if (uses >= 3) {
                        const auto it =
                            std::lower_bound(contact_keys.begin(), contact_keys.end(), key);
                        if (it != contact_keys.end() && *it == key) {
                            touches_contact = true;
                            if (contact_mode) {
                                // Each wedge is whole, and the solids meet along the edge:
                                // its faces count as one fan through the vertex.
                                const std::size_t c = it - contact_keys.begin();
                                std::uint32_t first = static_cast<std::uint32_t>(n);
                                for (std::uint32_t w = wedge_start[c]; w < wedge_start[c + 1];
                                     ++w) {
                                    const std::uint32_t x = local_of(wedges[w].first);
                                    const std::uint32_t y = local_of(wedges[w].second);
                                    if (x >= n || y >= n) continue;
                                    unions.join(x, y);
                                    if (first == n) first = x;
                                    unions.join(first, x);
                                }
                            }
                        }
                    }
                    i = j;
                }
                return unions.single();
            };
            bool touches_contact = false;
            if (!umbrella(false, touches_contact)) {
                bool again = false;
                if (touches_contact && umbrella(true, again)) {
                    r.contact_vertices.push_back(v);
                } else {
                    list(DefectClass::kNonManifoldVertices).push_back(v);
                }
            }
            s = e;
        }
    }

    // 9. Reversed faces: grow consistently wound shells across two-face edges; the side that
    // disagrees with the shell's outward volume (or, when open, the minority) is reversed.
    {
        struct Link {
            std::uint32_t other;
            bool same;  // same parity: the two faces run the edge in opposite directions
        };
        std::vector<std::uint32_t> start(nf + 1, 0);
        std::vector<Link> links;
        std::vector<std::pair<std::uint32_t, Link>> raw;
        for (std::size_t s = 0; s < b.uses.size();) {
            std::size_t e = s + 1;
            while (e < b.uses.size() && b.uses[e].key == b.uses[s].key) ++e;
            if (e - s == 2) {
                const PairUse &x = b.uses[s], &y = b.uses[s + 1];
                const bool same = x.forward != y.forward;
                raw.push_back({x.face, {y.face, same}});
                raw.push_back({y.face, {x.face, same}});
            }
            s = e;
        }
        for (const auto& [f, l] : raw) ++start[f + 1];
        for (std::uint32_t i = 0; i < nf; ++i) start[i + 1] += start[i];
        links.resize(raw.size());
        std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
        std::stable_sort(raw.begin(), raw.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        for (const auto& [f, l] : raw) links[fill[f]++] = l;

        Aabb box;
        for (const Vertex& v : vs) {
            if (v.alive) box.expand(v.position);
        }
        const DVec3 c = box.empty() ? DVec3{} : DVec3((box.min + box.max) * 0.5f);
        auto face_volume = [&](std::uint32_t i) {
            const auto ring = rings.ring(i);
            const DVec3 p0 = position(vs, ring[0]) - c;
            double sum = 0.0;
            for (std::size_t k = 2; k < ring.size(); ++k) {
                sum += dot(p0, cross(position(vs, ring[k - 1]) - c, position(vs, ring[k]) - c));
            }
            return sum / 6.0;
        };

        std::vector<std::int8_t> parity(nf, -1);
        std::vector<std::uint32_t> stack, shell;
        for (std::uint32_t seed = 0; seed < nf; ++seed) {
            if (!eligible[seed] || parity[seed] >= 0) continue;
            parity[seed] = 0;
            stack.assign(1, seed);
            shell.clear();
            while (!stack.empty()) {
                const std::uint32_t f = stack.back();
                stack.pop_back();
                shell.push_back(f);
                for (std::uint32_t k = start[f]; k < start[f + 1]; ++k) {
                    const Link& l = links[k];
                    const std::int8_t want =
                        static_cast<std::int8_t>(l.same ? parity[f] : 1 - parity[f]);
                    if (parity[l.other] < 0) {
                        parity[l.other] = want;
                        stack.push_back(l.other);
                    } else if (parity[l.other] != want) {
                        ++r.orientation_conflicts;
                    }
                }
            }
            bool closed = true;
            double volume = 0.0;
            std::size_t odd = 0;
            for (const std::uint32_t f : shell) {
                const auto ring = rings.ring(f);
                for (std::size_t k = 0; k < ring.size() && closed; ++k) {
                    closed = b.count(pair_key(ring[k], ring[(k + 1) % ring.size()])) == 2;
                }
                const double fv = face_volume(f);
                volume += parity[f] == 0 ? fv : -fv;
                odd += parity[f] == 1 ? 1 : 0;
            }
            std::int8_t reversed;
            if (closed) {
                reversed = volume > 0.0 ? 1 : 0;
            } else {
                reversed = odd > shell.size() - odd ? 0 : 1;
            }
            for (const std::uint32_t f : shell) {
                if (parity[f] == reversed)
                    list(DefectClass::kReversedFaces).push_back(rings.ids[f]);
            }
        }
        std::sort(list(DefectClass::kReversedFaces).begin(),
                  list(DefectClass::kReversedFaces).end());
    }

    // 10. Non-planar faces (duplicates and internal faces included).
    for (std::uint32_t i = 0; i < nf; ++i) {
        const auto ring = rings.ring(i);
        if (degenerate[i] || ring.size() < 4) continue;
        DVec3 centroid;
        for (const VertexId v : ring) centroid += position(vs, v);
        centroid = centroid * (1.0 / static_cast<double>(ring.size()));
        const DVec3 n = unit(newell(vs, ring), 0.0);
        if (!(dot(n, n) > kPlanarNormalMinSq)) continue;
        double worst = 0.0;
        for (const VertexId v : ring) {
            worst = std::max(worst, std::fabs(dot(position(vs, v) - centroid, n)));
        }
        r.worst_planarity = std::max(r.worst_planarity, static_cast<float>(worst));
        if (worst > tolerances.planarity)
            list(DefectClass::kNonPlanarFaces).push_back(rings.ids[i]);
    }
    return r;
}

InspectionReport inspect_document(const Document& doc, const InspectionTolerances& tolerances) {
    InspectionReport report;
    auto visit = [&](const Mesh& mesh, std::string name) {
        if (mesh.alive_face_count() == 0) return;
        report.emplace_back(std::move(name), inspect_mesh(mesh, tolerances));
    };
    auto own_name = [](const SceneNode& node) {
        return node.name.empty() ? std::string("<unnamed>") : node.name;
    };
    // Pre-order with an explicit stack: a deep file must not exhaust the call stack.
    std::vector<std::pair<const SceneNode*, std::string>> stack;
    stack.emplace_back(&doc.root(), own_name(doc.root()));
    while (!stack.empty()) {
        auto [node, name] = std::move(stack.back());
        stack.pop_back();
        // An instance shows its definition's mesh, inspected once with the definitions.
        if (!node->is_instance()) visit(node->mesh, name);
        for (std::size_t i = node->children.size(); i-- > 0;) {
            const SceneNode* child = node->children[i].get();
            if (child != nullptr) stack.emplace_back(child, name + "/" + own_name(*child));
        }
    }
    for (const ComponentDefinition& def : doc.definitions()) {
        visit(def.mesh, "definition:" + def.name);
    }
    return report;
}

std::uint64_t total_defects(const InspectionReport& report) {
    std::uint64_t n = 0;
    for (const auto& entry : report) n += entry.second.total();
    return n;
}

std::string inspection_verdict(const MeshInspection& inspection) {
    if (inspection.solid()) return "solid";
    std::uint64_t classes = 0;
    for (const auto& list : inspection.ids) classes += list.empty() ? 0 : 1;
    std::string out;
    append_count(out, inspection.total());
    out += " defect(s) in ";
    append_count(out, classes);
    out += " class(es)";
    return out;
}

SolidCheck check_solid(const Mesh& mesh) {
    const MeshInspection r = inspect_mesh(mesh);
    return {r.count(DefectClass::kNakedEdges), r.count(DefectClass::kNonManifoldVertices)};
}

}  // namespace korvan
