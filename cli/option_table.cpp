#include "cli/option_table.h"

#include <algorithm>
#include <type_traits>

namespace korvan::cli {
namespace {

template <class T>
struct IsGiven : std::false_type {};
template <class T>
struct IsGiven<Given<T>> : std::true_type {};

// Stores the position of the chosen word as the field's enum (through Given when it has one).
template <auto Member>
void store_choice(Options& options, std::size_t index) {
    auto& field = options.*Member;
    using Field = std::remove_cvref_t<decltype(field)>;
    if constexpr (IsGiven<Field>::value) {
        field = {static_cast<decltype(field.value)>(index), true};
    } else {
        field = static_cast<Field>(index);
    }
}

template <auto Member>
constexpr ChoiceSlot choice(std::span<const std::string_view> words, bool underscores = false) {
    return {words, &store_choice<Member>, underscores};
}

// Word lists, in the order of the enumerators they become.
constexpr std::string_view kDeformKinds[] = {"bend",  "taper",        "twist",
                                             "shear", "radial-twist", "radial-bend"};
constexpr std::string_view kKeepSides[] = {"pos", "neg"};
constexpr std::string_view kTargets[] = {"midpoint", "first", "second"};
constexpr std::string_view kNodeMatches[] = {"exact", "contains", "prefix", "suffix"};
constexpr std::string_view kLightKinds[] = {"sun", "rect", "point", "spot"};
constexpr std::string_view kUvPatterns[] = {"none", "checker", "brick"};
constexpr std::string_view kSoftCurves[] = {"linear", "smooth", "sharp", "constant"};
constexpr std::string_view kSoftMetrics[] = {"surface", "space"};
constexpr std::string_view kRoadSides[] = {"both", "left", "right", "none"};
constexpr std::string_view kScreenDirs[] = {"horizontal", "vertical"};
constexpr std::string_view kBooleanEngines[] = {"bsp", "exact"};
constexpr std::string_view kStairShapes[] = {"straight", "l", "u"};
constexpr std::string_view kStringers[] = {"sawtooth", "housed", "mixed", "none"};
constexpr std::string_view kProfileCategories[] = {"trim", "structural", "rainwater"};
constexpr std::string_view kWallJustify[] = {"left", "center", "right"};
constexpr std::string_view kAlignAxes[] = {"x", "y", "z"};
constexpr std::string_view kAlignModes[] = {"min", "centre", "max", "distribute"};
constexpr std::string_view kGroovePurposes[] = {"led-strip", "sliding-door-track", "flush-handle"};
constexpr std::string_view kPanelAxes[] = {"length", "width", "thickness"};
constexpr std::string_view kPanelSides[] = {"length-min", "length-max",    "width-min",
                                            "width-max",  "thickness-min", "thickness-max"};

constexpr std::string_view kRenderVerbs[] = {"still",        "export-bmp", "present",
                                             "presentation", "render",     "pathtrace"};
constexpr std::string_view kNodeTransformVerbs[] = {"groups", "list-groups", "instances",
                                                    "list-instances"};
constexpr std::string_view kAreaQueryVerbs[] = {"faces-by-area"};
constexpr std::string_view kMaterialVerbs[] = {
    "materials",        "list-mats",        "mat-uv",           "uv-bake",    "reassign-mat",
    "reassign-layer",   "paint-layer",      "assign-mat-layer", "hide-mat",   "show-mat",
    "hide-layer-faces", "show-layer-faces", "layers",           "list-layers"};

using K = ValueKind;
using O = Options;

// Matching order: the names most verbs use first. The order never changes a result because
// names are unique and compared exactly.
constexpr OptionRow kOptions[] = {
    // Files.
    {"--in", K::kPath, "", &O::in},
    {"--out", K::kPath, "", &O::out},
    {"--src", K::kPath, "", &O::src},
    {"--input", K::kPath, "", &O::input},
    {"--image", K::kPath, "", &O::image},
    {"--dxf", K::kPath, "", &O::dxf},

    // Element ids and table indices.
    {"--face", K::kIndex, "--face must be a uint FaceId", &O::face},
    {"--faces", K::kIdList, "--faces must be a comma-separated list of uint FaceIds (N0,N1,...)",
     &O::faces},
    {"--verts", K::kIdList, "--verts must be a comma-separated list of uint VertexIds (N0,N1,...)",
     &O::verts},
    {"--edge-ids", K::kIdList,
     "--edge-ids must be a comma-separated list of uint EdgeIds (N0,N1,...)", &O::edge_ids},
    {"--edge", K::kNonNegativeInt, "--edge must be a non-negative integer", &O::edge},
    {"--vertex", K::kNonNegativeInt, "--vertex must be a non-negative integer", &O::vertex},
    {"--index", K::kNonNegativeInt, "--index must be a non-negative integer", &O::index},
    {"--update-from", K::kNonNegativeInt, "--update-from must be a non-negative integer",
     &O::update_from},
    {"--from", K::kIndex, "--from must be a uint index", &O::from},
    {"--to", K::kIndex, "--to must be a uint index", &O::to},
    {"--layer", K::kIndex, "--layer must be a uint index", &O::layer},
    {"--mat", K::kIndex, "--mat must be a uint index", &O::mat},
    {"--material", K::kNone, "", Slot{}, VerbScope::kMaterials, K::kIndex,
     "--material must be a uint index", &O::mat},

    // Mesh edits and queries.
    {"--distance", K::kFloat, "--distance must be a float", &O::distance},
    {"--amount", K::kFloat, "--amount must be a float", &O::amount},
    {"--extent", K::kFloat, "--extent must be a float", &O::extent},
    {"--sill", K::kFloat, "--sill must be a float", &O::sill},
    {"--thickness", K::kFloat, "--thickness must be a float", &O::thickness},
    {"--eps", K::kFloat, "--eps must be a float", &O::eps},
    {"--tolerance", K::kFloat, "--tolerance must be a float", &O::tolerance},
    {"--width", K::kPositiveFloat, "--width must be a positive float", &O::width},
    {"--depth", K::kPositiveFloat, "--depth must be a positive float", &O::depth},
    {"--radius", K::kPositiveFloat, "--radius must be a positive float", &O::radius},
    {"--height", K::kPositiveFloat, "--height must be a positive float", &O::height},
    {"--t", K::kOpenUnit, "--t must be in the open interval (0,1)", &O::t},
    {"--count", K::kInteger, "--count must be a positive integer (K>=1)", &O::count},
    {"--segments", K::kSegments, "--segments must be an integer >= 3", &O::segments},
    {"--angle", K::kFloat, "--angle must be a number (degrees)", &O::angle},
    {"--scale", K::kFloat, "--scale must be a number", &O::scale, VerbScope::kNodeTransform,
     K::kVec3, "--scale must be X,Y,Z (comma-separated floats)", &O::node_scale},
    {"--vector", K::kVec3, "--vector must be X,Y,Z (comma-separated floats)", &O::vector},
    {"--point", K::kVec3, "--point must be X,Y,Z (comma-separated floats)", &O::point},
    {"--normal", K::kVec3, "--normal must be X,Y,Z (comma-separated floats)", &O::normal},
    {"--pivot", K::kVec3, "--pivot must be X,Y,Z (comma-separated floats)", &O::pivot},
    {"--origin", K::kVec3, "--origin must be X,Y,Z (comma-separated floats)", &O::origin},
    {"--up", K::kVec3, "--up must be X,Y,Z (comma-separated floats)", &O::up},
    {"--min", K::kVec3, "--min must be X,Y,Z (comma-separated floats)", &O::min,
     VerbScope::kAreaQuery, K::kFloat, "--min must be a float", &O::min_area},
    {"--max", K::kVec3, "--max must be X,Y,Z (comma-separated floats)", &O::max,
     VerbScope::kAreaQuery, K::kFloat, "--max must be a float", &O::max_area},
    {"--size", K::kVec3, "--size must be X,Y,Z (comma-separated floats)", &O::size,
     VerbScope::kRender, K::kPixelSize, "--size must be WxH with positive integers (e.g. 800x450)",
     &O::size_px},
    {"--step", K::kVec3, "--step must be X,Y,Z (comma-separated floats)", &O::step},
    {"--translate", K::kVec3, "--translate must be X,Y,Z (comma-separated floats)", &O::translate},
    {"--outward", K::kVec3, "--outward must be X,Y,Z (comma-separated floats)", &O::outward},
    {"--a", K::kVec3, "--a must be X,Y,Z (comma-separated floats)", &O::a},
    {"--b", K::kVec3, "--b must be X,Y,Z (comma-separated floats)", &O::b},
    {"--at", K::kVec3, "--at must be X,Y,Z (comma-separated floats)", &O::at},
    {"--axis", K::kVec3, "--axis must be X,Y,Z (comma-separated floats)", &O::axis},
    {"--deform-axis", K::kVec3, "--deform-axis must be X,Y,Z (comma-separated floats)",
     &O::deform_axis},
    {"--kind", K::kChoice, "--kind must be bend|taper|twist|shear|radial-twist|radial-bend",
     choice<&O::kind>(kDeformKinds)},
    {"--keep", K::kChoice,
     "--keep must be pos or neg (the side of the plane the normal points to, or the other one)",
     choice<&O::keep>(kKeepSides)},
    {"--target", K::kChoice, "--target must be one of midpoint|first|second",
     choice<&O::target>(kTargets)},
    {"--path", K::kPointPath, "--path must be 2+ space- or semicolon-separated X,Y,Z points",
     &O::path},
    {"--points", K::kPolygon,
     "--points must be at least 3 semicolon-separated X,Y,Z triples (comma-separated floats)",
     &O::points},
    {"--setback", K::kFloat, "--setback must be a float", &O::setback},
    {"--round-segments", K::kRoundSegments, "--round-segments must be an integer in 1..64",
     &O::round_segments},
    {"--grid", K::kFloat, "--grid must be a float", &O::grid},
    {"--max-pieces", K::kInteger, "--max-pieces must be an integer", &O::max_pieces},
    {"--mirror", K::kText, "", &O::mirror},
    {"--p1", K::kVec3, "--p1 must be X,Y,Z (comma-separated floats)", &O::p1},
    {"--p2", K::kVec3, "--p2 must be X,Y,Z (comma-separated floats)", &O::p2},
    {"--p3", K::kVec3, "--p3 must be X,Y,Z (comma-separated floats)", &O::p3},
    {"--erase", K::kYesNo, "--erase must be yes or no", &O::erase},
    {"--all", K::kFlag, "", &O::all},
    {"--closed", K::kFlag, "", &O::closed},
    {"--copy", K::kFlag, "", &O::copy},
    {"--ids", K::kFlag, "", &O::ids},
    {"--no-cap", K::kFlag, "", &O::no_cap},
    {"--no-clamp", K::kFlag, "", &O::no_clamp},
    {"--both-sides", K::kFlag, "", &O::both_sides},
    {"--keep-source", K::kFlag, "", &O::keep_source},
    {"--no-miter", K::kFlag, "", &O::no_miter},

    // Scene graph, tags, materials and annotations.
    {"--name", K::kText, "", &O::name},
    {"--rename", K::kText, "", &O::rename},
    {"--tag", K::kText, "", &O::tag},
    {"--reparent", K::kText, "", &O::reparent},
    {"--category", K::kText, "", &O::category},
    {"--id", K::kText, "", &O::id},
    {"--def-id", K::kText, "", &O::def_id},
    {"--rotate", K::kVec3, "--rotate must be X,Y,Z (comma-separated floats)", &O::rotate},
    {"--position", K::kVec3, "--position must be X,Y,Z (comma-separated floats)", &O::position},
    {"--set-scale", K::kFloat, "--set-scale must be a number", &O::set_scale},
    {"--visible", K::kSwitch, "--visible must be 0|1|on|off", &O::visible},
    {"--add", K::kFlag, "", &O::add},
    {"--delete", K::kFlag, "", &O::delete_},
    {"--duplicate", K::kFlag, "", &O::duplicate},
    {"--active", K::kFlag, "", &O::active},
    {"--bake", K::kFlag, "", &O::bake},
    {"--make-unique", K::kFlag, "", &O::make_unique},
    {"--albedo", K::kVec3, "--albedo must be R,G,B (comma-separated floats)", &O::albedo},
    {"--roughness", K::kFloat, "--roughness must be a number", &O::roughness},
    {"--metallic", K::kFloat, "--metallic must be a number", &O::metallic},
    {"--opacity", K::kFloat, "--opacity must be a number", &O::opacity},
    {"--uv-pattern", K::kChoice, "--uv-pattern must be none, checker or brick",
     choice<&O::uv_pattern>(kUvPatterns)},
    {"--uv-scale", K::kVec2, "--uv-scale must be W,H (tile size in metres, e.g. 0.2,0.1)",
     &O::uv_scale},
    {"--uv-offset", K::kVec2, "--uv-offset must be U,V (in tiles, e.g. 0.5,0)", &O::uv_offset},
    {"--uv-rotation", K::kFloat, "--uv-rotation must be a number (degrees)", &O::uv_rotation},
    {"--label-text", K::kText, "", &O::label_text},
    {"--label-at", K::kVec3, "--label-at must be X,Y,Z (comma-separated floats)", &O::label_at},
    {"--label-height", K::kPositiveFloat, "--label-height must be a positive float",
     &O::label_height},
    {"--label-tag", K::kLabelTag, "--label-tag must be an integer >= -1 (-1 = untagged)",
     &O::label_tag},
    {"--offset", K::kFloat, "--offset must be a number", &O::offset},
    {"--pitch", K::kFloat, "--pitch must be a number", &O::pitch},
    {"--no-overall", K::kFlag, "", &O::no_overall},
    {"--fix", K::kFlag, "", &O::fix},
    {"--light-kind", K::kChoice, "--light-kind must be sun|rect|point|spot",
     choice<&O::light_kind>(kLightKinds)},
    {"--light-pos", K::kVec3, "--light-pos must be X,Y,Z (comma-separated floats)", &O::light_pos},
    {"--light-dir", K::kVec3, "--light-dir must be X,Y,Z (comma-separated floats)", &O::light_dir},
    {"--light-up", K::kVec3, "--light-up must be X,Y,Z (comma-separated floats)", &O::light_up},
    {"--light-size", K::kSizeWxH, "--light-size must be WxH with positive numbers (e.g. 1.2x0.6)",
     &O::light_size},
    {"--light-colour", K::kVec3, "--light-colour must be R,G,B (comma-separated floats)",
     &O::light_colour},
    {"--light-intensity", K::kFloat, "--light-intensity must be a float", &O::light_intensity},
    {"--light-cone", K::kVec2, "--light-cone must be INNER,OUTER (comma-separated degrees)",
     &O::light_cone},
    {"--enabled", K::kSwitch, "--enabled must be 0|1|on|off", &O::enabled},
    {"--nodes", K::kText, "", &O::nodes},
    {"--node-match", K::kChoice, "--node-match must be exact, contains, prefix or suffix",
     choice<&O::node_match>(kNodeMatches)},
    {"--node-ci", K::kFlag, "", &O::node_ci},
    {"--align-axis", K::kChoice, "--align-axis must be x, y or z",
     choice<&O::align_axis>(kAlignAxes)},
    {"--align-mode", K::kChoice, "--align-mode must be min, centre, max or distribute",
     choice<&O::align_mode>(kAlignModes)},
    {"--rename-find", K::kText, "", &O::rename_find},
    {"--rename-replace", K::kText, "", &O::rename_replace},
    {"--rename-pattern", K::kText, "", &O::rename_pattern},
    {"--rename-start", K::kInteger, "--rename-start must be an integer", &O::rename_start},
    {"--rename-step", K::kInteger, "--rename-step must be an integer", &O::rename_step},
    {"--rename-pad", K::kInteger, "--rename-pad must be an integer", &O::rename_pad},
    {"--rename-strict", K::kFlag, "", &O::rename_strict},
    {"--rename-dry-run", K::kFlag, "", &O::rename_dry_run},
    {"--isolate-keep-loose", K::kFlag, "", &O::isolate_keep_loose},

    // Rendering and drawings.
    {"--preset", K::kText, "", &O::preset},
    {"--edges", K::kFlag, "", &O::edges},
    {"--no-dims", K::kFlag, "", &O::no_dims},
    {"--ssaa", K::kPositiveInt, "--ssaa must be an integer N >= 1", &O::ssaa},
    {"--vignette", K::kFlag, "", &O::vignette},
    {"--vignette-strength", K::kUnitFloat, "--vignette-strength must be a float in 0..1",
     &O::vignette_strength},
    {"--exposure", K::kExposure, "--exposure must be a float in 0.05..8", &O::exposure},
    {"--fast", K::kFlag, "", &O::fast},
    {"--spp", K::kInteger, "--spp must be an integer", &O::spp},
    {"--region", K::kRegion, "--region must be x,y,w,h (comma-separated integers)", &O::region},
    {"--section", K::kFlag, "", &O::section},
    {"--section-plane", K::kSectionPlane,
     "--section-plane must be PX,PY,PZ;NX,NY,NZ (e.g. 0,6,0;0,-1,0)", &O::section_plane},
    {"--plan-height", K::kFloat, "--plan-height must be a float", &O::plan_height},
    {"--plan-base-z", K::kFloat, "--plan-base-z must be a float", &O::plan_base_z},
    {"--plan-above", K::kFlag, "", &O::plan_above},
    {"--no-beyond", K::kFlag, "", &O::no_beyond},
    {"--no-hatch", K::kFlag, "", &O::no_hatch},
    {"--cursor", K::kVec2, "--cursor must be X,Y (comma-separated floats)", &O::cursor},
    {"--snap-radius", K::kFloat, "--snap-radius must be a float", &O::snap_radius},
    {"--svg-scale", K::kText, "", &O::svg_scale},

    // Generators and sample models.
    {"--korvan", K::kFlag, "", &O::korvan},
    {"--bwidth", K::kPositiveFloat, "--bwidth must be a positive float", &O::bwidth},
    {"--bdepth", K::kPositiveFloat, "--bdepth must be a positive float", &O::bdepth},
    {"--storeys", K::kPositiveInt, "--storeys must be a positive integer (N>=1)", &O::storeys},
    {"--storey-height", K::kPositiveFloat, "--storey-height must be a positive float",
     &O::storey_height},
    {"--wing-width", K::kPositiveFloat, "--wing-width must be a positive float", &O::wing_width},
    {"--no-door", K::kFlag, "", &O::no_door},
    {"--no-windows", K::kFlag, "", &O::no_windows},
    {"--hollow", K::kFlag, "", &O::hollow},
    {"--pool", K::kFlag, "", &O::pool},
    {"--rise", K::kFloat, "--rise must be a float", &O::rise},
    {"--run", K::kFloat, "--run must be a float", &O::run},
    {"--shape", K::kChoice, "--shape must be straight, l or u", choice<&O::shape>(kStairShapes)},
    {"--landing-after", K::kInteger, "--landing-after must be an integer", &O::landing_after},
    {"--landing-depth", K::kFloat, "--landing-depth must be a float", &O::landing_depth},
    {"--tread-thickness", K::kFloat, "--tread-thickness must be a float", &O::tread_thickness},
    {"--nosing", K::kFloat, "--nosing must be a float", &O::nosing},
    {"--open-risers", K::kFlag, "", &O::open_risers},
    {"--stringers", K::kChoice, "--stringers must be sawtooth, housed, mixed or none",
     choice<&O::stringers>(kStringers)},
    {"--well-gap", K::kFloat, "--well-gap must be a float", &O::well_gap},
    {"--solve-only", K::kFlag, "", &O::solve_only},
    {"--profile-category", K::kChoice, "--profile-category must be trim, structural or rainwater",
     choice<&O::profile_category>(kProfileCategories)},
    {"--profile", K::kText, "", &O::profile},
    {"--profile-path", K::kPlanPath,
     "--profile-path must be 2+ space- or semicolon-separated X,Y points", &O::profile_path},
    {"--loft-samples", K::kInteger, "--loft-samples must be an integer", &O::loft_samples},
    {"--loft-closed", K::kFlag, "", &O::loft_closed},
    {"--wall-path", K::kPlanPath, "--wall-path must be 2+ space- or semicolon-separated X,Y points",
     &O::wall_path},
    {"--wall-closed", K::kFlag, "", &O::wall_closed},
    {"--wall-height", K::kPositiveFloat, "--wall-height must be a positive float", &O::wall_height},
    {"--wall-thickness", K::kPositiveFloat, "--wall-thickness must be a positive float",
     &O::wall_thickness},
    {"--wall-style", K::kText, "", &O::wall_style},
    {"--wall-justify", K::kChoice, "--wall-justify must be left, center or right",
     choice<&O::wall_justify>(kWallJustify)},
    {"--wall-door", K::kText, "", &O::wall_door},
    {"--roof-plan", K::kPlanPolygon,
     "--roof-plan must be at least 3 space- or semicolon-separated X,Y points", &O::roof_plan},
    {"--roof-base-z", K::kFloat, "--roof-base-z must be a float", &O::roof_base_z},
    {"--roof-slab", K::kFloat, "--roof-slab must be a float", &O::roof_slab},
    {"--roof-overhang", K::kFloat, "--roof-overhang must be a float", &O::roof_overhang},
    {"--roof-parapet", K::kFloat, "--roof-parapet must be a float", &O::roof_parapet},
    {"--roof-parapet-thick", K::kFloat, "--roof-parapet-thick must be a float",
     &O::roof_parapet_thick},
    {"--roof-parapet-inset", K::kFloat, "--roof-parapet-inset must be a float",
     &O::roof_parapet_inset},
    {"--roof-fascia", K::kFloat, "--roof-fascia must be a float", &O::roof_fascia},
    {"--roof-fascia-thick", K::kFloat, "--roof-fascia-thick must be a float",
     &O::roof_fascia_thick},
    {"--roof-pitch", K::kFloat, "--roof-pitch must be a number (degrees)", &O::roof_pitch},
    {"--roof-step", K::kFloat, "--roof-step must be a float", &O::roof_step},
    {"--rail-path", K::kPointPath,
     "--rail-path must be 2+ space- or semicolon-separated X,Y,Z points", &O::rail_path},
    {"--rail-stair", K::kFlag, "", &O::rail_stair},
    {"--screen-dir", K::kChoice, "--screen-dir must be horizontal|vertical",
     choice<&O::screen_dir>(kScreenDirs)},
    {"--op", K::kText, "", &O::op},
    {"--engine", K::kChoice, "--engine must be bsp|exact", choice<&O::engine>(kBooleanEngines)},
    {"--image-width", K::kFloat, "--image-width must be a float", &O::image_width},

    // Site planning.
    {"--contour-tol", K::kPositiveFloat,
     "--contour-tol must be a positive number (metres: how far apart two contour ends may be "
     "and still be joined)",
     &O::contour_tol},
    {"--contour-elev-tol", K::kNonNegativeFloat,
     "--contour-elev-tol must be a non-negative number (metres of z step a join may bridge)",
     &O::contour_elev_tol},
    {"--contour-spread", K::kNonNegativeFloat,
     "--contour-spread must be a non-negative number (metres: how non-level a single contour "
     "may be before it is refused)",
     &O::contour_spread},
    {"--magnet", K::kFlag, "", &O::magnet},
    {"--to-z", K::kFloat, "--to-z must be a float", &O::to_z},
    {"--decompose", K::kFlag, "", &O::decompose},
    {"--base-z", K::kFloat, "--base-z must be a float", &O::base_z},
    {"--road-half-width", K::kFloat, "--road-half-width must be a float", &O::road_half_width},
    {"--road-drop", K::kFloat, "--road-drop must be a float", &O::road_drop},
    {"--road-slope", K::kFloat, "--road-slope must be a float", &O::road_slope},
    {"--road-sides", K::kChoice, "--road-sides must be both, left, right or none",
     choice<&O::road_sides>(kRoadSides)},

    // Shaping.
    {"--soft-delta", K::kVec3, "--soft-delta must be X,Y,Z (comma-separated floats)",
     &O::soft_delta},
    {"--soft-radius", K::kFloat, "--soft-radius must be a float", &O::soft_radius},
    {"--soft-curve", K::kChoice, "--soft-curve must be linear, smooth, sharp or constant",
     choice<&O::soft_curve>(kSoftCurves)},
    {"--soft-metric", K::kChoice, "--soft-metric must be surface or space",
     choice<&O::soft_metric>(kSoftMetrics)},
    {"--soft-weld-tol", K::kFloat, "--soft-weld-tol must be a float", &O::soft_weld_tol},
    {"--soft-move-eps", K::kFloat, "--soft-move-eps must be a float", &O::soft_move_eps},

    // Woodworking. The joint values are floats, not positive floats: the joint operations
    // refuse bad sizes with their own reasons.
    {"--panel-origin", K::kVec3, "--panel-origin must be X,Y,Z (comma-separated floats)",
     &O::panel_origin},
    {"--panel-length", K::kFloat, "--panel-length must be a float", &O::panel_length},
    {"--panel-width", K::kFloat, "--panel-width must be a float", &O::panel_width},
    {"--panel-thickness", K::kFloat, "--panel-thickness must be a float", &O::panel_thickness},
    {"--panel-weld-eps", K::kFloat, "--panel-weld-eps must be a float", &O::panel_weld_eps},
    {"--panel-cut-mat", K::kIndex, "--panel-cut-mat must be a uint index", &O::panel_cut_mat},
    {"--panel-b-origin", K::kVec3, "--panel-b-origin must be X,Y,Z (comma-separated floats)",
     &O::panel_b_origin},
    {"--panel-b-length", K::kFloat, "--panel-b-length must be a float", &O::panel_b_length},
    {"--panel-b-width", K::kFloat, "--panel-b-width must be a float", &O::panel_b_width},
    {"--panel-b-thickness", K::kFloat, "--panel-b-thickness must be a float",
     &O::panel_b_thickness},
    {"--dowel-side", K::kChoice,
     "--dowel-side must be length-min, length-max, width-min, width-max, thickness-min or "
     "thickness-max",
     choice<&O::dowel_side>(kPanelSides, true)},
    {"--dowel-row", K::kChoice, "--dowel-row must be length, width or thickness",
     choice<&O::dowel_row>(kPanelAxes, true)},
    {"--dowel-row-offset", K::kFloat, "--dowel-row-offset must be a float", &O::dowel_row_offset},
    {"--dowel-first", K::kFloat, "--dowel-first must be a float", &O::dowel_first},
    {"--dowel-pitch", K::kFloat, "--dowel-pitch must be a float", &O::dowel_pitch},
    {"--dowel-count", K::kInteger, "--dowel-count must be an integer", &O::dowel_count},
    {"--dowel-diameter", K::kFloat, "--dowel-diameter must be a float", &O::dowel_diameter},
    {"--dowel-depth", K::kFloat, "--dowel-depth must be a float", &O::dowel_depth},
    {"--dowel-segments", K::kInteger, "--dowel-segments must be an integer", &O::dowel_segments},
    {"--tenon-axis", K::kChoice, "--tenon-axis must be length, width or thickness",
     choice<&O::tenon_axis>(kPanelAxes, true)},
    {"--tenon-at-min", K::kFlag, "", &O::tenon_at_min},
    {"--tenon-u-offset", K::kFloat, "--tenon-u-offset must be a float", &O::tenon_u_offset},
    {"--tenon-u-size", K::kFloat, "--tenon-u-size must be a float", &O::tenon_u_size},
    {"--tenon-v-offset", K::kFloat, "--tenon-v-offset must be a float", &O::tenon_v_offset},
    {"--tenon-v-size", K::kFloat, "--tenon-v-size must be a float", &O::tenon_v_size},
    {"--tenon-length", K::kFloat, "--tenon-length must be a float", &O::tenon_length},
    {"--rabbet-side", K::kChoice,
     "--rabbet-side must be length-min, length-max, width-min, width-max, thickness-min or "
     "thickness-max",
     choice<&O::rabbet_side>(kPanelSides, true)},
    {"--rabbet-edge", K::kChoice,
     "--rabbet-edge must be length-min, length-max, width-min, width-max, thickness-min or "
     "thickness-max",
     choice<&O::rabbet_edge>(kPanelSides, true)},
    {"--rabbet-width", K::kFloat, "--rabbet-width must be a float", &O::rabbet_width},
    {"--rabbet-depth", K::kFloat, "--rabbet-depth must be a float", &O::rabbet_depth},
    {"--pair-a-side", K::kChoice,
     "--pair-a-side must be length-min, length-max, width-min, width-max, thickness-min or "
     "thickness-max",
     choice<&O::pair_a_side>(kPanelSides, true)},
    {"--pair-a-edge", K::kChoice,
     "--pair-a-edge must be length-min, length-max, width-min, width-max, thickness-min or "
     "thickness-max",
     choice<&O::pair_a_edge>(kPanelSides, true)},
    {"--pair-b-side", K::kChoice,
     "--pair-b-side must be length-min, length-max, width-min, width-max, thickness-min or "
     "thickness-max",
     choice<&O::pair_b_side>(kPanelSides, true)},
    {"--pair-b-edge", K::kChoice,
     "--pair-b-edge must be length-min, length-max, width-min, width-max, thickness-min or "
     "thickness-max",
     choice<&O::pair_b_edge>(kPanelSides, true)},
    {"--pair-lap", K::kFloat, "--pair-lap must be a float", &O::pair_lap},
    {"--pair-a-depth", K::kFloat, "--pair-a-depth must be a float", &O::pair_a_depth},
    {"--pair-b-depth", K::kFloat, "--pair-b-depth must be a float", &O::pair_b_depth},
    {"--pair-clearance", K::kFloat, "--pair-clearance must be a float", &O::pair_clearance},
    {"--pair-a-female", K::kFlag, "", &O::pair_a_female},
    {"--groove-side", K::kChoice,
     "--groove-side must be length-min, length-max, width-min, width-max, thickness-min or "
     "thickness-max",
     choice<&O::groove_side>(kPanelSides, true)},
    {"--groove-run", K::kChoice, "--groove-run must be length, width or thickness",
     choice<&O::groove_run>(kPanelAxes, true)},
    {"--groove-offset", K::kFloat, "--groove-offset must be a float", &O::groove_offset},
    {"--groove-width", K::kFloat, "--groove-width must be a float", &O::groove_width},
    {"--groove-depth", K::kFloat, "--groove-depth must be a float", &O::groove_depth},
    {"--groove-purpose", K::kChoice,
     "--groove-purpose must be led-strip, sliding-door-track or flush-handle",
     choice<&O::groove_purpose>(kGroovePurposes)},
    {"--groove-stop-start", K::kFloat, "--groove-stop-start must be a float",
     &O::groove_stop_start},
    {"--groove-stop-end", K::kFloat, "--groove-stop-end must be a float", &O::groove_stop_end},
    {"--cut-list", K::kText, "", &O::cut_list},
    // The sheet values are plain numbers here: the nesting refuses a bad sheet as a whole run,
    // in its own words, with the refusal exit code.
    {"--sheet-width", K::kFloat, "--sheet-width must be a float", &O::sheet_width},
    {"--sheet-height", K::kFloat, "--sheet-height must be a float", &O::sheet_height},
    {"--sheet-thickness", K::kFloat, "--sheet-thickness must be a float", &O::sheet_thickness},
    {"--sheet-material", K::kText, "", &O::sheet_material},
    {"--sheet-trim", K::kFloat, "--sheet-trim must be a float", &O::sheet_trim},
    {"--sheet-kerf", K::kFloat, "--sheet-kerf must be a float", &O::sheet_kerf},
    {"--sheet-ungrained", K::kFlag, "", &O::sheet_ungrained},
    {"--sheet-faces", K::kInteger, "--sheet-faces must be an integer", &O::sheet_faces},
    {"--optimise", K::kNonNegativeFloat, "--optimise must be a non-negative number (seconds)",
     &O::optimise},
    {"--svg", K::kPath, "", &O::svg},
};

template <class T>
constexpr bool holds(const Slot& slot) {
    return std::holds_alternative<T Options::*>(slot) ||
           std::holds_alternative<Given<T> Options::*>(slot);
}

// Whether the slot's field type is what the kind's parser produces.
constexpr bool slot_fits(ValueKind kind, const Slot& slot) {
    switch (kind) {
        case K::kNone:
            return std::holds_alternative<std::monostate>(slot);
        case K::kFlag:
            return std::holds_alternative<bool Options::*>(slot);
        case K::kSwitch:
        case K::kYesNo:
            return holds<bool>(slot);
        case K::kText:
            return holds<std::string>(slot);
        case K::kPath:
            return holds<std::filesystem::path>(slot);
        case K::kFloat:
        case K::kPositiveFloat:
        case K::kNonNegativeFloat:
        case K::kOpenUnit:
        case K::kExposure:
        case K::kUnitFloat:
            return holds<float>(slot);
        case K::kIndex:
        case K::kNonNegativeInt:
            return std::holds_alternative<Given<std::uint32_t> Options::*>(slot);
        case K::kInteger:
        case K::kSegments:
        case K::kPositiveInt:
        case K::kLabelTag:
        case K::kRoundSegments:
            return holds<std::int32_t>(slot);
        case K::kVec3:
            return holds<Float3>(slot);
        case K::kVec2:
        case K::kSizeWxH:
            return std::holds_alternative<Given<Float2> Options::*>(slot);
        case K::kIdList:
            return std::holds_alternative<std::vector<std::uint32_t> Options::*>(slot);
        case K::kPointPath:
        case K::kPolygon:
            return std::holds_alternative<std::vector<Float3> Options::*>(slot);
        case K::kPlanPath:
        case K::kPlanPolygon:
            return std::holds_alternative<std::vector<Float2> Options::*>(slot);
        case K::kPixelSize:
            return std::holds_alternative<Given<PixelSize> Options::*>(slot);
        case K::kRegion:
            return std::holds_alternative<Given<Region> Options::*>(slot);
        case K::kSectionPlane:
            return std::holds_alternative<Given<SectionPlane> Options::*>(slot);
        case K::kChoice:
            return std::holds_alternative<ChoiceSlot>(slot);
    }
    return false;
}

constexpr bool rows_are_typed() {
    for (const OptionRow& row : kOptions) {
        if (!slot_fits(row.kind, row.slot) || !slot_fits(row.scoped_kind, row.scoped_slot)) {
            return false;
        }
        if ((row.scope == VerbScope::kAll) != (row.scoped_kind == K::kNone)) return false;
    }
    return true;
}
static_assert(rows_are_typed(), "an option row's kind does not match its field's type");

}  // namespace

std::span<const OptionRow> option_table() { return kOptions; }

const OptionRow* find_option(std::string_view name) {
    for (const OptionRow& row : kOptions) {
        if (row.name == name) return &row;
    }
    return nullptr;
}

bool verb_in_scope(VerbScope scope, std::string_view verb) {
    std::span<const std::string_view> verbs;
    switch (scope) {
        case VerbScope::kAll:
            return true;
        case VerbScope::kRender:
            verbs = kRenderVerbs;
            break;
        case VerbScope::kNodeTransform:
            verbs = kNodeTransformVerbs;
            break;
        case VerbScope::kAreaQuery:
            verbs = kAreaQueryVerbs;
            break;
        case VerbScope::kMaterials:
            verbs = kMaterialVerbs;
            break;
    }
    return std::find(verbs.begin(), verbs.end(), verb) != verbs.end();
}

OptionReading reading_for(const OptionRow& row, std::string_view verb) {
    if (row.scope != VerbScope::kAll && verb_in_scope(row.scope, verb)) {
        return {row.scoped_kind, row.scoped_message, &row.scoped_slot};
    }
    return {row.kind, row.message, &row.slot};
}

}  // namespace korvan::cli
