#include "tools/panels.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "document/commands/undo_steps.h"
#include "document/document.h"
#include "tests/support/solid_checks.h"
#include "tools/panel_commands.h"

namespace korvan {
namespace {

constexpr double kBoardVolume = 0.6 * 0.4 * 0.018;

PanelBox board() { return PanelBox{}; }

std::string num(double v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, ec == std::errc{} ? end : buf);
}

// A board whose frame is turned 30 degrees about z and lifted off the origin.
PanelBox turned_board() {
    PanelBox box;
    const float c = std::cos(std::numbers::pi_v<float> / 6), s = std::sin(std::numbers::pi_v<float> / 6);
    box.origin = {1.5f, -0.25f, 0.75f};
    box.axes = {Vec3{c, s, 0}, Vec3{-s, c, 0}, Vec3{0, 0, 1}};
    return box;
}

Mesh emitted(const PanelBox& box) {
    Mesh mesh;
    EXPECT_TRUE(emit_panel(mesh, box, PanelOptions{}).ok);
    return mesh;
}

// The mesh is one or more closed solids, the check agrees, and the volume is as expected.
void expect_solid(const Mesh& mesh, const SolidCheck& check, double volume) {
    test::expect_closed_solids(mesh);
    EXPECT_TRUE(check.solid);
    EXPECT_EQ(check.open_edges, 0u);
    EXPECT_EQ(check.nonmanifold, 0u);
    EXPECT_EQ(check.reversed_pairs, 0u);
    EXPECT_NEAR(check.volume, volume, 1e-8);  // float corners a metre or two out
    double pieces = 0.0;
    for (const double v : test::piece_volumes(mesh)) pieces += v;
    EXPECT_NEAR(pieces, volume, 1e-8);
}

TEST(Panels, BareBoardIsAClosedBox) {
    for (const PanelBox& box : {board(), turned_board()}) {
        Mesh mesh;
        const PanelEmitResult r = emit_panel(mesh, box, PanelOptions{});
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.solid.faces, 6u);
        EXPECT_EQ(r.solid.vertices, 8u);
        EXPECT_EQ(r.solid.edges, 12u);
        EXPECT_EQ(r.solid.euler, 2);
        expect_solid(mesh, r.solid, kBoardVolume);
        for (int s = 0; s < 6; ++s) {
            const Vec3 n = mesh.face_normal(r.sides[s]);
            const Vec3 want = box.axes[s / 2] * ((s & 1) ? 1.0f : -1.0f);
            EXPECT_GT(dot(n, want), 0.999f) << panel_side_name(static_cast<PanelSide>(s));
        }
    }
}

TEST(Panels, InvalidBoxesAreRefusedUntouched) {
    PanelBox flat = board();
    flat.thickness = 0.0f;
    PanelBox skew = board();
    skew.axes[1] = normalize(Vec3{0.1f, 1, 0});
    PanelBox left = board();
    left.axes[2] = Vec3{0, 0, -1};
    PanelBox stretched = board();
    stretched.axes[0] = Vec3{1.01f, 0, 0};
    for (const PanelBox& box : {flat, skew, left, stretched}) {
        Mesh mesh;
        const PanelEmitResult r = emit_panel(mesh, box, PanelOptions{});
        EXPECT_FALSE(r.ok);
        EXPECT_STREQ(r.message, "invalid panel box");
        EXPECT_EQ(mesh.faces().size(), 0u);
    }
}

// One cut on a fresh board: the cut's reported volume change matches the prism it removes or
// adds, and the mesh stays a closed solid of that volume, on a plain and a turned frame.
struct CutCase {
    std::string what;
    std::function<PanelCutCommon(Mesh&, const PanelBox&, double&)> cut;  // sets the change
    std::uint64_t faces = 0;  // expected F, 0 when not pinned
};

std::vector<CutCase> cut_cases() {
    std::vector<CutCase> cases;
    for (int axis = 0; axis < 3; ++axis) {
        for (const bool at_max : {false, true}) {
            for (const float length : {0.01f, -0.005f}) {
                cases.push_back({std::string(length > 0 ? "tenon " : "mortise ") +
                                     panel_axis_name(static_cast<PanelAxis>(axis)) +
                                     (at_max ? " max" : " min"),
                                 [=](Mesh& m, const PanelBox& box, double& change) {
                                     TenonSpec spec;
                                     spec.axis = static_cast<PanelAxis>(axis);
                                     spec.at_max = at_max;
                                     spec.u_size = 0.006f;
                                     spec.v_size = 0.004f;
                                     spec.length = length;
                                     spec = centered_tenon(box, spec, true, true);
                                     change = 0.006 * 0.004 * length;
                                     return PanelCutCommon(cut_tenon(m, box, spec, {}));
                                 },
                                 14});
            }
        }
    }
    for (int side = 0; side < 6; ++side) {
        for (int edge = 0; edge < 6; ++edge) {
            if (side / 2 == edge / 2) continue;
            cases.push_back({std::string("rabbet ") + panel_side_name(PanelSide(side)) + " at " +
                                 panel_side_name(PanelSide(edge)),
                             [=](Mesh& m, const PanelBox& box, double& change) {
                                 const RabbetSpec spec{PanelSide(side), PanelSide(edge), 0.005f,
                                                       0.004f};
                                 const float ext[3] = {box.length, box.width, box.thickness};
                                 change = -0.005 * 0.004 * ext[3 - side / 2 - edge / 2];
                                 return PanelCutCommon(cut_rabbet(m, box, spec, {}));
                             },
                             8});
        }
    }
    struct Stops {
        float start, end;
    };
    for (const Stops stops : {Stops{0, 0}, Stops{0.1f, 0}, Stops{0, 0.05f}, Stops{0.1f, 0.05f}}) {
        for (const auto& [side, run] : {std::pair{PanelSide::kThicknessMax, PanelAxis::kLength},
                                        std::pair{PanelSide::kThicknessMin, PanelAxis::kWidth},
                                        std::pair{PanelSide::kWidthMax, PanelAxis::kLength}}) {
            const bool blind = stops.start > 0 && stops.end > 0;
            cases.push_back({std::string("groove ") + panel_side_name(side) + " stops " +
                                 num(stops.start) + "/" + num(stops.end),
                             [=](Mesh& m, const PanelBox& box, double& change) {
                                 GrooveSpec spec;
                                 spec.side = side;
                                 spec.run_axis = run;
                                 spec.offset = 0.005f;
                                 spec.width = 0.004f;
                                 spec.depth = 0.003f;
                                 spec.stop_start = stops.start;
                                 spec.stop_end = stops.end;
                                 const double len =
                                     (run == PanelAxis::kLength ? box.length : box.width) -
                                     stops.start - stops.end;
                                 change = -0.004 * 0.003 * len;
                                 return PanelCutCommon(cut_groove(m, box, spec, {}));
                             },
                             blind ? 14u : 10u});
        }
    }
    for (const PanelSide side : {PanelSide::kLengthMax, PanelSide::kThicknessMin}) {
        for (const int segments : {3, 12, 64}) {
            cases.push_back({std::string("dowels ") + panel_side_name(side) + " " +
                                 num(segments),
                             [=](Mesh& m, const PanelBox& box, double& change) {
                                 DowelRowSpec spec;
                                 spec.side = side;
                                 spec.row_axis = PanelAxis::kWidth;
                                 spec.count = 3;
                                 spec.segments = segments;
                                 spec.depth = side == PanelSide::kLengthMax ? 0.0115f : 0.01f;
                                 const double r = 0.004, n = segments;
                                 change = -3 * 0.5 * n * r * r *
                                          std::sin(2 * std::numbers::pi / n) * spec.depth;
                                 return PanelCutCommon(drill_dowels(m, box, spec, {}));
                             },
                             0});
        }
    }
    return cases;
}

TEST(Panels, EveryCutLeavesAClosedSolidOfTheRightVolume) {
    for (const CutCase& c : cut_cases()) {
        for (const PanelBox& box : {board(), turned_board()}) {
            SCOPED_TRACE(c.what + (box.origin.x != 0 ? " (turned frame)" : ""));
            Mesh mesh = emitted(box);
            double change = 0;
            const PanelCutCommon r = c.cut(mesh, box, change);
            ASSERT_TRUE(r.ok) << r.message;
            expect_solid(mesh, r.solid, kBoardVolume + change);
            EXPECT_EQ(r.solid.euler, 2);
            if (c.faces != 0) {
                EXPECT_EQ(r.solid.faces, c.faces);
            }
        }
    }
}

TEST(Panels, JointsFromTwoFacesAddUp) {
    Mesh mesh = emitted(board());
    TenonSpec tenon = centered_tenon(board(), TenonSpec{}, true, true);
    ASSERT_TRUE(cut_tenon(mesh, board(), tenon, {}).ok);
    TenonSpec mortise = tenon;
    mortise.at_max = false;
    mortise.length = -0.005f;
    ASSERT_TRUE(cut_tenon(mesh, board(), mortise, {}).ok);
    GrooveSpec groove;
    groove.side = PanelSide::kWidthMax;
    groove.offset = 0.006f;
    groove.width = 0.006f;
    groove.depth = 0.005f;
    // The groove's side and both ends are still plain after the tenon and the mortise.
    const GrooveResult r = cut_groove(mesh, board(), groove, {});
    ASSERT_TRUE(r.ok) << r.message;
    const double want = kBoardVolume + 0.03 * 0.012 * 0.012 - 0.03 * 0.012 * 0.005 -
                        0.006 * 0.005 * 0.6;
    expect_solid(mesh, r.solid, want);
    // The far side is not plain any more: a second cut into it is refused, mesh untouched.
    const std::uint64_t faces = mesh.alive_face_count();
    EXPECT_STREQ(cut_tenon(mesh, board(), mortise, {}).message,
                 "the side is not a plain rectangle of this panel");
    EXPECT_EQ(mesh.alive_face_count(), faces);
}

TEST(Panels, EdgeCaseCounts) {
    Mesh a = emitted(board()), b = emitted(board());
    TenonSpec spec = centered_tenon(board(), TenonSpec{}, true, true);
    const TenonResult tenon = cut_tenon(a, board(), spec, {});
    spec.length = -spec.length;
    const TenonResult mortise = cut_tenon(b, board(), spec, {});
    for (const TenonResult* r : {&tenon, &mortise}) {
        EXPECT_EQ(r->solid.faces, 14u);
        EXPECT_EQ(r->solid.vertices, 16u);
        EXPECT_EQ(r->solid.edges, 28u);
    }
    EXPECT_DOUBLE_EQ(tenon.volume_change, -mortise.volume_change);

    Mesh c = emitted(board());
    const DowelResult dowels = drill_dowels(c, board(), DowelRowSpec{}, {});
    EXPECT_EQ(dowels.mouth_faces, 30u);
    EXPECT_EQ(dowels.mouth_faces_expected, 30u);

    Mesh d = emitted(board());
    EXPECT_EQ(cut_rabbet(d, board(), RabbetSpec{}, {}).changes.stray_edges_retired, 5u);

    Mesh e = emitted(board()), f = emitted(board());
    GrooveSpec through;
    GrooveSpec one_stop;
    one_stop.stop_end = 0.1f;
    const GrooveResult g1 = cut_groove(e, board(), through, {});
    const GrooveResult g2 = cut_groove(f, board(), one_stop, {});
    EXPECT_EQ(g1.open_ends, 2u);
    EXPECT_TRUE(g1.through);
    EXPECT_EQ(g2.open_ends, 1u);
    EXPECT_FALSE(g2.through);
    EXPECT_EQ(g1.solid.faces, g2.solid.faces);
    EXPECT_EQ(g1.solid.vertices, g2.solid.vertices);
    EXPECT_EQ(g1.solid.edges, g2.solid.edges);
}

TEST(Panels, RefusalsLeaveTheMeshAsFound) {
    struct Case {
        const char* message;
        std::function<PanelCutCommon(Mesh&)> cut;
    };
    auto dowel = [](auto change) {
        return [=](Mesh& m) {
            DowelRowSpec s;
            change(s);
            return PanelCutCommon(drill_dowels(m, board(), s, {}));
        };
    };
    auto tenon = [](auto change) {
        return [=](Mesh& m) {
            TenonSpec s = centered_tenon(board(), TenonSpec{}, true, true);
            change(s);
            return PanelCutCommon(cut_tenon(m, board(), s, {}));
        };
    };
    auto groove = [](auto change) {
        return [=](Mesh& m) {
            GrooveSpec s;
            change(s);
            return PanelCutCommon(cut_groove(m, board(), s, {}));
        };
    };
    auto rabbet = [](auto change) {
        return [=](Mesh& m) {
            RabbetSpec s;
            change(s);
            return PanelCutCommon(cut_rabbet(m, board(), s, {}));
        };
    };
    const Case cases[] = {
        {"pitch is not larger than the diameter -- the holes would intersect",
         dowel([](DowelRowSpec& s) { s.pitch = s.diameter; })},
        {"bore segment count is capped at 256", dowel([](DowelRowSpec& s) { s.segments = 257; })},
        {"a hole falls outside the face or touches its edge",
         dowel([](DowelRowSpec& s) { s.row_offset = 0.004f; })},
        {"hole depth reaches through the panel -- a through hole is a torus, not this",
         dowel([](DowelRowSpec& s) {
             s.side = PanelSide::kThicknessMax;
             s.depth = 0.018f;
         })},
        {"the row must run in the plane of the face it is drilled into",
         dowel([](DowelRowSpec& s) { s.row_axis = PanelAxis::kLength; })},
        {"a spec value is not finite", dowel([](DowelRowSpec& s) { s.first = NAN; })},
        {"tenon footprint must be an island -- it touches or crosses the face edge",
         tenon([](TenonSpec& s) { s.u_offset = 0; })},
        {"tenon length must not be zero", tenon([](TenonSpec& s) { s.length = 0; })},
        {"mortise reaches through the panel", tenon([](TenonSpec& s) { s.length = -0.018f; })},
        {"joint feature is smaller than the weld tolerance",
         tenon([](TenonSpec& s) { s.length = 5e-6f; })},
        {"groove flush with an edge is a rabbet -- use cut_rabbet",
         groove([](GrooveSpec& s) { s.offset = 0; })},
        {"groove falls outside the face", groove([](GrooveSpec& s) { s.offset = 0.395f; })},
        {"groove stops leave no length to cut", groove([](GrooveSpec& s) {
             s.stop_start = 0.3f;
             s.stop_end = 0.3f;
         })},
        {"groove must run in the plane of the face it is cut into",
         groove([](GrooveSpec& s) { s.run_axis = PanelAxis::kThickness; })},
        {"rabbet edge must be perpendicular to the face it is sunk from",
         rabbet([](RabbetSpec& s) { s.edge = PanelSide::kThicknessMin; })},
        {"rabbet width reaches across the panel", rabbet([](RabbetSpec& s) { s.width = 0.6f; })},
        {"rabbet depth reaches through the panel", rabbet([](RabbetSpec& s) { s.depth = 0.018f; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Mesh mesh = emitted(board());
        const Mesh before = mesh;
        const PanelCutCommon r = c.cut(mesh);
        EXPECT_FALSE(r.ok);
        EXPECT_STREQ(r.message, c.message);
        EXPECT_TRUE(same_mesh_content(mesh, before));
    }
}

TEST(Panels, CommandsUndoExactlyAndRefusedPairsLeaveNothing) {
    Document doc;
    Mesh& mesh = doc.root().mesh;
    EmitPanelCommand emit(doc, MeshLocator::of_node(&doc.root()), board(), {});
    emit.redo();
    ASSERT_TRUE(emit.result().ok);
    EXPECT_EQ(emit.name(), "Panel");
    const Mesh board_only = mesh;

    PanelBox far = board();
    far.origin = {1, 0, 0};
    RabbetPairSpec spec;
    // B was never emitted: A is cut, then B refuses and the snapshot takes A's cut back.
    CutRabbetPairCommand pair(doc, MeshLocator::of_node(&doc.root()), board(), far, spec, {});
    pair.redo();
    EXPECT_FALSE(pair.result().ok);
    EXPECT_TRUE(pair.result().a_cut);
    EXPECT_TRUE(pair.restored());
    EXPECT_TRUE(pair.is_noop());
    EXPECT_TRUE(same_mesh_content(mesh, board_only));

    ASSERT_TRUE(emit_panel(mesh, far, {}).ok);
    const Mesh two_boards = mesh;
    CutRabbetPairCommand again(doc, MeshLocator::of_node(&doc.root()), board(), far, spec, {});
    again.redo();
    ASSERT_TRUE(again.result().ok) << again.result().message;
    EXPECT_NEAR(again.result().assembled_thickness, 0.018, 1e-7);
    EXPECT_NEAR(again.result().proud, 0.0, 1e-7);
    test::expect_closed_solids(mesh);
    again.undo();
    EXPECT_TRUE(same_mesh_content(mesh, two_boards));

    TenonSpec t = centered_tenon(board(), TenonSpec{}, true, true);
    t.length = -t.length;
    CutTenonCommand mortise(doc, MeshLocator::of_node(&doc.root()), board(), t, {});
    EXPECT_EQ(mortise.name(), "Mortise");
    mortise.redo();
    ASSERT_TRUE(mortise.result().ok);
    mortise.undo();
    EXPECT_TRUE(same_mesh_content(mesh, two_boards));
}

}  // namespace
}  // namespace korvan
