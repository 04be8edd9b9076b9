#pragma once

#include <cstdint>

// Report records of the whole-mesh cuts (Mesh::split_by_plane, slice_by_plane,
// cap_boundary_on_plane): the counts their verbs print.

namespace korvan {

struct PlaneSplitReport {
    bool ok = false;
    const char* message = "";  // static text; empty when ok
    std::uint64_t faces_split = 0;
    std::uint64_t faces_before = 0, faces_after = 0;
    std::uint64_t seam_vertices = 0;  // intersection vertices created
    std::uint64_t seam_shared = 0;    // lookups that found one already made
    std::uint64_t naked_after = 0;
};

struct PlaneCapReport {
    std::uint64_t loops_capped = 0;  // 0: nothing capped, the mesh is as it was
    std::uint64_t triangles = 0;
    bool reversed = false;  // the first winding failed the closed-and-positive test
    std::uint64_t naked_after = 0;
};

struct PlaneSliceReport {
    bool ok = false;
    const char* message = "";
    std::uint64_t faces_split = 0;
    std::uint64_t faces_removed = 0;
    std::uint64_t loops_capped = 0;
    std::uint64_t triangles = 0;
    bool cap_reversed = false;
    float volume_before = 0.0f, volume_after = 0.0f;
    std::uint64_t naked_after = 0;  // closed when 0
};

}  // namespace korvan
