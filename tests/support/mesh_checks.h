#pragma once

#include <gtest/gtest.h>

#include "core/mesh.h"

// Header-only for the same reason as solid_checks.h: korvan_test_support does not link the
// kernel.

namespace korvan::test {

// Two meshes that went through different linkers must end with the same pairing: every
// half-edge's twin, edge and life, and every edge's representative, life and flags.
inline void expect_same_links(const Mesh& a, const Mesh& b) {
    ASSERT_EQ(a.half_edges().size(), b.half_edges().size());
    for (HalfEdgeId h = 0; h < a.half_edges().size(); ++h) {
        const HalfEdge &x = a.half_edges()[h], &y = b.half_edges()[h];
        ASSERT_TRUE(x.twin == y.twin && x.edge == y.edge && x.alive == y.alive)
            << "half-edge " << h << ": twin " << x.twin << " vs " << y.twin;
    }
    ASSERT_EQ(a.edges().size(), b.edges().size());
    for (EdgeId e = 0; e < a.edges().size(); ++e) {
        const Edge &x = a.edges()[e], &y = b.edges()[e];
        ASSERT_TRUE(x.half_edge == y.half_edge && x.alive == y.alive && x.soft == y.soft &&
                    x.seam == y.seam)
            << "edge " << e;
    }
}

}  // namespace korvan::test
