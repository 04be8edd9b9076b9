#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/panels.h"

// The re-ringing engine shared by the board and its joints: panel-local points, the lookup
// of a side as a plain rectangle of the board, and the one routine that swaps faces.

namespace korvan::panel_detail {

struct Local {
    double p[3] = {0, 0, 0};
};

// Local point on the plane `axis` = c, with the other two coordinates given by axis index.
Local on_plane(int axis, double c, int u_axis, double u, int v_axis, double v);

class Frame {
public:
    explicit Frame(const PanelBox& box);
    Vec3 world(const Local& l) const;
    double ext(int axis) const { return ext_[axis]; }
    // Unit world direction of +axis (sign +1) or -axis (sign -1).
    Vec3 direction(int axis, int sign) const;
    // The side's four corners (any order round the rectangle).
    std::array<Local, 4> side_corners(PanelSide side) const;

private:
    std::array<double, 3> origin_{};
    std::array<std::array<double, 3>, 3> axes_{};
    std::array<double, 3> ext_{};
};

inline int side_axis(PanelSide side) { return static_cast<int>(side) / 2; }
inline bool side_at_max(PanelSide side) { return (static_cast<int>(side) & 1) != 0; }
inline PanelSide make_side(int axis, bool at_max) {
    return static_cast<PanelSide>(axis * 2 + (at_max ? 1 : 0));
}
// The other two axes in increasing order.
std::array<int, 2> other_axes(int axis);

// The alive face whose ring is exactly the side's four corners, facing out; kInvalidId when
// the side is not a plain rectangle of this board.
FaceId find_side_face(const Mesh& mesh, const Frame& frame, PanelSide side);

struct NewFace {
    std::vector<Local> ring;  // any winding; the engine winds it to face `axis` * `sign`
    int axis = 0;
    int sign = 1;
    std::uint32_t material = 0;
    // For a face that faces no axis (a bore wall): wound to face from its centroid toward
    // this point instead.
    bool toward_point = false;
    Local toward;
};

// Checks every ring (three points at least, no two closer than the weld tolerance), then
// erases the faces, adds the new ones outward-wound, welds the new corners, links shared
// edges and retires the edge records and corners no face uses any more. Returns the refusal
// (nothing changed) or nullptr. New face ids go to `added` when given.
const char* apply_recut(Mesh& mesh, const Frame& frame, const std::vector<FaceId>& erase,
                        const std::vector<NewFace>& faces, const PanelOptions& options,
                        MeshChangeCounts& counts, std::vector<FaceId>* added = nullptr);

// A face of the mesh in the side's plane, facing out: the side is there, plain or not.
bool side_present(const Mesh& mesh, const Frame& frame, PanelSide side);

// The material a cut's exposed surfaces get: the option's, else the cut face's own.
std::uint32_t exposed_material(const Mesh& mesh, FaceId cut_face, const PanelOptions& options);

// All spec values finite.
template <class... T>
bool all_finite(T... values) {
    return (std::isfinite(static_cast<double>(values)) && ...);
}

inline constexpr const char* kNotFinite = "a spec value is not finite";
inline constexpr const char* kFarSideMissing =
    "the panel is not as deep as the box says -- its far side is not in the mesh";

}  // namespace korvan::panel_detail
