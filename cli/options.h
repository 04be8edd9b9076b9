#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace korvan::cli {

// A value plus whether the user actually typed the option, for options whose handlers must
// tell "absent" from "given with the default value", or whose default differs per verb.
template <class T>
struct Given {
    T value{};
    bool given = false;
};

// Command-line points and vectors. Plain float triples keep this header free of the kernel;
// handlers turn them into kernel vectors where they call the kernel.
using Float3 = std::array<float, 3>;
using Float2 = std::array<float, 2>;

struct PixelSize {
    std::int32_t width = 0, height = 0;  // both > 0 once parsed
};

// A rectangle of the image in pixels; the renderer clamps it to the frame.
struct Region {
    std::int32_t x = 0, y = 0, w = 0, h = 0;
};

struct SectionPlane {
    Float3 point{};
    Float3 normal{};  // never all zero once parsed
};

// The enumerations keep the order of their words on the command line.
enum class DeformKind : std::uint8_t { kBend, kTaper, kTwist, kShear, kRadialTwist, kRadialBend };
enum class KeepSide : std::uint8_t { kPos, kNeg };
enum class TargetPoint : std::uint8_t { kMidpoint, kFirst, kSecond };
enum class NodeMatch : std::uint8_t { kExact, kContains, kPrefix, kSuffix };
enum class LightKind : std::uint8_t { kSun, kRect, kPoint, kSpot };
enum class UvPattern : std::uint8_t { kNone, kChecker, kBrick };
enum class SoftCurve : std::uint8_t { kLinear, kSmooth, kSharp, kConstant };
enum class SoftMetric : std::uint8_t { kSurface, kSpace };
enum class RoadSides : std::uint8_t { kBoth, kLeft, kRight, kNone };
enum class ScreenDir : std::uint8_t { kHorizontal, kVertical };
enum class BooleanEngineChoice : std::uint8_t { kBsp, kExact };
enum class StairShape : std::uint8_t { kStraight, kL, kU };
enum class Stringers : std::uint8_t { kSawtooth, kHoused, kMixed, kNone };
enum class ProfileCategory : std::uint8_t { kTrim, kStructural, kRainwater };
enum class WallJustify : std::uint8_t { kLeft, kCenter, kRight };
enum class AlignAxis : std::uint8_t { kX, kY, kZ };
enum class AlignMode : std::uint8_t { kMin, kCentre, kMax, kDistribute };
enum class GroovePurpose : std::uint8_t { kLedStrip, kSlidingDoorTrack, kFlushHandle };
enum class PanelAxis : std::uint8_t { kLength, kWidth, kThickness };
enum class PanelSide : std::uint8_t {
    kLengthMin,
    kLengthMax,
    kWidthMin,
    kWidthMax,
    kThicknessMin,
    kThicknessMax,
};

// One typed field per option name the common loop knows (the field is the option's name in
// snake_case). Defaults are the values a verb sees when the option is absent. Empty strings,
// paths and lists mean "absent" where the option cannot be given empty.
struct Options {
    // Files.
    std::filesystem::path in;
    // The render verbs write into the directory "korvan_out" when --out is absent; every
    // other verb decides by the given flag.
    Given<std::filesystem::path> out{std::filesystem::path("korvan_out"), false};
    std::filesystem::path src;
    std::filesystem::path input;
    std::filesystem::path image;
    std::filesystem::path dxf;

    // Element ids and table indices.
    Given<std::uint32_t> face;
    std::vector<std::uint32_t> faces;
    std::vector<std::uint32_t> verts;
    std::vector<std::uint32_t> edge_ids;
    Given<std::uint32_t> edge;
    Given<std::uint32_t> vertex;
    Given<std::uint32_t> index;
    Given<std::uint32_t> update_from;
    Given<std::uint32_t> from;
    Given<std::uint32_t> to;
    Given<std::uint32_t> layer;
    Given<std::uint32_t> mat;  // also set by --material for the materials and layers verbs

    // Mesh edits and queries.
    Given<float> distance;
    Given<float> amount;
    Given<float> extent;
    Given<float> sill;
    Given<float> thickness;
    float eps = 0.999f;
    float tolerance = 1e-4f;
    Given<float> width;
    Given<float> depth;
    Given<float> radius;
    Given<float> height;
    float t = 0.5f;
    std::int32_t count = 1;
    std::int32_t segments = 24;
    Given<float> angle;  // degrees
    Given<float> scale;  // uniform factor (faces-scale)
    Given<Float3> vector;
    Given<Float3> point;
    Given<Float3> normal;
    Given<Float3> pivot;
    Given<Float3> origin;
    Given<Float3> up;
    Given<Float3> min;  // box corner; faces-by-area reads min_area instead
    Given<Float3> max;
    Given<float> min_area;  // --min of faces-by-area
    Given<float> max_area;  // --max of faces-by-area
    Given<Float3> size;     // absolute size of faces-scale-frame; the render verbs read size_px
    Given<PixelSize> size_px;
    Given<Float3> step;
    Given<Float3> translate;
    Given<Float3> outward;
    Given<Float3> a;
    Given<Float3> b;
    Given<Float3> at;
    Given<Float3> axis;
    Given<Float3> deform_axis;
    Given<DeformKind> kind;
    KeepSide keep = KeepSide::kPos;
    TargetPoint target = TargetPoint::kMidpoint;
    std::vector<Float3> path;
    std::vector<Float3> points;
    float setback = 0.02f;
    std::int32_t round_segments = 8;
    Given<float> grid;
    Given<std::int32_t> max_pieces;
    Given<std::string> mirror;
    Given<Float3> p1;
    Given<Float3> p2;
    Given<Float3> p3;
    Given<bool> erase;
    bool all = false;
    bool closed = false;
    bool copy = false;
    bool ids = false;
    bool no_cap = false;
    bool no_clamp = false;
    bool both_sides = false;
    bool keep_source = false;
    bool no_miter = false;

    // Scene graph, tags, materials and annotations.
    Given<std::string> name;
    Given<std::string> rename;
    Given<std::string> tag;
    Given<std::string> reparent;
    Given<std::string> category;
    std::string id;
    std::string def_id;
    Given<Float3> rotate;  // degrees about X, Y, Z
    Given<Float3> position;
    Given<Float3> node_scale;  // --scale of the groups and instances verbs
    Given<float> set_scale;
    Given<bool> visible;
    bool add = false;
    bool delete_ = false;  // --delete
    bool duplicate = false;
    bool active = false;
    bool bake = false;
    bool make_unique = false;
    Given<Float3> albedo;
    Given<float> roughness;
    Given<float> metallic;
    Given<float> opacity;
    Given<UvPattern> uv_pattern;
    Given<Float2> uv_scale;    // tile size in metres
    Given<Float2> uv_offset;   // in tiles
    Given<float> uv_rotation;  // degrees
    std::string label_text;
    Given<Float3> label_at;
    Given<float> label_height;
    std::int32_t label_tag = -1;  // -1 = untagged
    float offset = 1.0f;
    float pitch = 0.6f;
    bool no_overall = false;
    bool fix = false;
    Given<LightKind> light_kind;
    Given<Float3> light_pos;
    Given<Float3> light_dir;
    Given<Float3> light_up;
    Given<Float2> light_size;  // metres, WxH
    Given<Float3> light_colour;
    Given<float> light_intensity;
    Given<Float2> light_cone;  // inner, outer (degrees)
    Given<bool> enabled;
    std::string nodes;
    NodeMatch node_match = NodeMatch::kExact;
    bool node_ci = false;
    AlignAxis align_axis = AlignAxis::kX;
    Given<AlignMode> align_mode;
    std::string rename_find;
    Given<std::string> rename_replace;  // may be given empty to delete the found text
    std::string rename_pattern;
    Given<std::int32_t> rename_start;
    Given<std::int32_t> rename_step;
    Given<std::int32_t> rename_pad;
    bool rename_strict = false;
    bool rename_dry_run = false;
    bool isolate_keep_loose = false;

    // Rendering and drawings.
    std::string preset = "exterior_sun";
    bool edges = false;
    bool no_dims = false;
    std::int32_t ssaa = 1;
    bool vignette = false;
    Given<float> vignette_strength;
    float exposure = 1.0f;
    bool fast = false;
    std::int32_t spp = 0;  // 0: the renderer's own count
    Given<Region> region;
    bool section = false;
    Given<SectionPlane> section_plane;
    float plan_height = 1.2f;
    Given<float> plan_base_z;
    bool plan_above = false;
    bool no_beyond = false;
    bool no_hatch = false;
    Given<Float2> cursor;
    Given<float> snap_radius;
    std::string svg_scale;  // "1:N" for the plan's SVG sheet

    // Generators and sample models.
    bool korvan = false;
    Given<float> bwidth;
    Given<float> bdepth;
    std::int32_t storeys = 2;
    Given<float> storey_height;
    float wing_width = 6.0f;
    bool no_door = false;
    bool no_windows = false;
    bool hollow = false;
    bool pool = false;
    float rise = 3.3f;
    float run = 0.0f;  // 0 = no cap on the going run
    StairShape shape = StairShape::kStraight;
    std::int32_t landing_after = 0;  // 0 = automatic
    float landing_depth = 0.0f;      // 0 = the stair width
    float tread_thickness = 0.05f;
    float nosing = 0.025f;
    bool open_risers = false;
    Stringers stringers = Stringers::kMixed;
    Given<float> well_gap;
    bool solve_only = false;
    Given<ProfileCategory> profile_category;
    std::string profile;
    std::vector<Float2> profile_path;
    Given<std::int32_t> loft_samples;
    bool loft_closed = false;
    std::vector<Float2> wall_path;
    bool wall_closed = false;
    Given<float> wall_height;
    Given<float> wall_thickness;
    std::string wall_style;
    WallJustify wall_justify = WallJustify::kCenter;
    std::string wall_door;
    std::vector<Float2> roof_plan;
    float roof_base_z = 0.0f;
    float roof_slab = 0.12f;
    Given<float> roof_overhang;  // 0.3 flat, 0.6 pitched and skeleton
    float roof_parapet = 0.9f;
    float roof_parapet_thick = 0.11f;
    float roof_parapet_inset = 0.0f;
    Given<float> roof_fascia;  // 0 flat, 0.15 pitched and skeleton
    float roof_fascia_thick = 0.05f;
    float roof_pitch = 30.0f;  // degrees
    float roof_step = 0.25f;
    std::vector<Float3> rail_path;
    bool rail_stair = false;
    ScreenDir screen_dir = ScreenDir::kHorizontal;
    std::string op;  // mesh-boolean checks the word itself
    BooleanEngineChoice engine = BooleanEngineChoice::kBsp;
    Given<float> image_width;

    // Site planning.
    float contour_tol = 0.5f;
    float contour_elev_tol = 0.01f;
    float contour_spread = 0.5f;
    bool magnet = false;
    Given<float> to_z;
    bool decompose = false;
    float base_z = 0.0f;
    float road_half_width = 3.5f;
    float road_drop = 1.0f;
    Given<float> road_slope;
    RoadSides road_sides = RoadSides::kBoth;

    // Shaping.
    Given<Float3> soft_delta;
    float soft_radius = 1.0f;
    SoftCurve soft_curve = SoftCurve::kSmooth;
    SoftMetric soft_metric = SoftMetric::kSurface;
    float soft_weld_tol = 1e-4f;
    float soft_move_eps = 1e-9f;

    // Woodworking: the board box, then one block per joint.
    Float3 panel_origin{};
    float panel_length = 0.6f;
    float panel_width = 0.4f;
    float panel_thickness = 0.018f;
    float panel_weld_eps = 1e-5f;
    Given<std::uint32_t> panel_cut_mat;
    Given<Float3> panel_b_origin;  // default: alongside board A
    Given<float> panel_b_length;   // defaults: board A's extents
    Given<float> panel_b_width;
    Given<float> panel_b_thickness;
    PanelSide dowel_side = PanelSide::kLengthMax;
    PanelAxis dowel_row = PanelAxis::kWidth;
    float dowel_row_offset = 0.009f;
    float dowel_first = 0.05f;
    float dowel_pitch = 0.032f;
    std::int32_t dowel_count = 2;
    float dowel_diameter = 0.008f;
    float dowel_depth = 0.0115f;
    std::int32_t dowel_segments = 12;
    PanelAxis tenon_axis = PanelAxis::kThickness;
    bool tenon_at_min = false;
    Given<float> tenon_u_offset;  // absent: the footprint is centred
    float tenon_u_size = 0.03f;
    Given<float> tenon_v_offset;
    float tenon_v_size = 0.012f;
    float tenon_length = 0.012f;
    PanelSide rabbet_side = PanelSide::kThicknessMax;
    PanelSide rabbet_edge = PanelSide::kLengthMax;
    float rabbet_width = 0.012f;
    float rabbet_depth = 0.009f;
    PanelSide pair_a_side = PanelSide::kThicknessMax;
    PanelSide pair_a_edge = PanelSide::kLengthMax;
    PanelSide pair_b_side = PanelSide::kThicknessMin;
    PanelSide pair_b_edge = PanelSide::kLengthMin;
    float pair_lap = 0.012f;
    float pair_a_depth = 0.009f;
    float pair_b_depth = 0.009f;
    float pair_clearance = 0.0002f;
    bool pair_a_female = false;
    PanelSide groove_side = PanelSide::kThicknessMax;
    PanelAxis groove_run = PanelAxis::kLength;
    float groove_offset = 0.032f;
    // An explicit width or depth wins over the purpose's, whatever the option order.
    Given<float> groove_width;
    Given<float> groove_depth;
    Given<GroovePurpose> groove_purpose;
    float groove_stop_start = 0.0f;
    float groove_stop_end = 0.0f;
    std::string cut_list;
    float sheet_width = 2.44f;
    float sheet_height = 1.22f;
    float sheet_thickness = 0.018f;
    std::string sheet_material;
    float sheet_trim = 0.0f;
    float sheet_kerf = 0.0032f;
    bool sheet_ungrained = false;
    std::int32_t sheet_faces = 1;
    Given<float> optimise;  // seconds of layout search; absent: the first-fit layout
    std::filesystem::path svg;
};

}  // namespace korvan::cli
