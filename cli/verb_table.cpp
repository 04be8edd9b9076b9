#include "cli/verb_table.h"

#include <algorithm>
#include <iterator>

#include "cli/mcp.h"
#include "cli/verbs/annotations.h"
#include "cli/verbs/cleanup.h"
#include "cli/verbs/document_verbs.h"
#include "cli/verbs/edge_edits.h"
#include "cli/verbs/face_edits.h"
#include "cli/verbs/gltf_dxf.h"
#include "cli/verbs/interchange.h"
#include "cli/verbs/local_topology.h"
#include "cli/verbs/materials.h"
#include "cli/verbs/mesh_queries.h"
#include "cli/verbs/model_files.h"
#include "cli/verbs/modelling.h"
#include "cli/verbs/pictures.h"
#include "cli/verbs/plan_verbs.h"
#include "cli/verbs/roof_verbs.h"
#include "cli/verbs/sample_verbs.h"
#include "cli/verbs/shaping.h"
#include "cli/verbs/site_verbs.h"
#include "cli/verbs/solid_tools.h"
#include "cli/verbs/update_verbs.h"
#include "cli/verbs/woodwork.h"

namespace korvan::cli {
namespace {

// The two mark sets most model verbs share: a query works on the sample townhouse without
// --in and takes a bare file; an edit does the same and must have somewhere to save.
constexpr std::uint32_t kModelQuery = kSampleModel | kBareFile;
constexpr std::uint32_t kModelEdit = kRequiresOut | kSampleModel | kBareFile;

// Rows in usage order; the usage text, the preconditions and the bare-file rule all read
// them. A divider is a row with only help text. The help says what the verb does, the
// operation behind it and the refusals and exit codes that are its own (option, load and
// save failures are exit 1 for every verb).
constexpr VerbSpec kVerbs[] = {
    // Release tooling and the MCP server parse their own arguments.
    {"update-keygen", kOwnArgs, "--private-out FILE --public-out FILE",
     "make a release key pair (ECDSA P-256): the private half as 192 hex digits (X,Y,d), the\n"
     "public half as 128 hex digits (X,Y), which is also printed (generate_key_pair)\n"
     "never overwrites an existing private key file; refuses one file for both halves; exit 1",
     nullptr, run_update_keygen},
    {"update-sign", kOwnArgs | kRequiresOut,
     "--installer FILE --version V --url URL --key PRIVATE_FILE --out DIR "
     "[--notes TEXT | --notes-file FILE] [--allow-insecure-url]",
     "write latest.json and latest.json.sig for an installer into DIR (sign_manifest), then\n"
     "read both back and evaluate() them as an installed copy would; a failed self-check\n"
     "removes both files (\"Do NOT publish\"); every refusal exits 1 with nothing left behind",
     nullptr, run_update_sign},
    {"update-verify", kOwnArgs,
     "--manifest FILE --sig FILE [--public-key HEX | --public-key-file FILE] [--running V] "
     "[--allow-insecure-url]",
     "run an installed copy's decision (evaluate) on a manifest and its signature; the key\n"
     "defaults to the build's release key, --running to 0.0.0\n"
     "exit 0 for the verdicts Newer and UpToDate, 1 for Invalid",
     nullptr, run_update_verify},
    {"mcp", kOwnArgs, "",
     "Model Context Protocol server over standard input and output (JSON-RPC 2.0, one message\n"
     "per line): korvan_help returns this text, korvan_run runs one verb as a child process",
     nullptr, run_mcp},

    // A new model.
    {"new", kRequiresOut, "--out file.korv",
     "save an empty model with the built-in material library:\n"
     "\"Created an empty model, saved to \" and the path",
     run_new, nullptr, "new requires --out file.korv"},

    // Sample models and generators.
    {"townhouse", 0, "--out dir",
     "the fixed townhouse demo: townhouse.korv, .obj, .gltf, viewport and beauty images in dir",
     run_townhouse_demo},
    {"villa", 0, "--out dir",
     "the fixed villa demo: villa.korv, villa.gltf and one beauty image per scene in dir",
     run_villa_demo},
    {"shell-townhouse", 0, "--out dir|file.korv|file.obj [--korvan]",
     "the thin-wall shell townhouse (5 x 12 m, 2 storeys of 3.3 m, door and windows), the model\n"
     "every verb uses without --in (make_townhouse_document); dir: .korv + beauty BMP,\n"
     "file.korv: the native file, file.obj: an OBJ (--korvan writes the native file as well)",
     run_townhouse_generator},
    {"shell-villa", 0, "--out dir|file.korv|file.obj [--korvan]",
     "the thin-wall shell villa (12 x 16 m, 2 storeys of 3.5 m, 6 m wing; make_villa_document);\n"
     "the same --out rules as shell-townhouse",
     run_villa_generator},
    {"gen-townhouse", 0,
     "[--bwidth W] [--bdepth D] [--storeys N] [--storey-height H] [--no-door] [--no-windows] "
     "[--hollow] --out dir|file.korv|file.obj [--korvan]",
     "parametric townhouse (defaults 5 x 12 m, 2 storeys of 3.3 m) as solid storey massing,\n"
     "or a thin-wall shell with --hollow; the same --out rules as shell-townhouse",
     run_townhouse_generator},
    {"gen-villa", 0,
     "[--bwidth W] [--bdepth D] [--storeys N] [--storey-height H] [--wing-width W] [--pool] "
     "[--hollow] --out dir|file.korv|file.obj [--korvan]",
     "parametric villa (defaults 12 x 16 m, 2 storeys of 3.5 m, 6 m wing) as solid massing,\n"
     "or a thin-wall shell with --hollow; the same --out rules as shell-townhouse",
     run_villa_generator},
    {"openings-demo", 0, "--out dir",
     "demo: the townhouse with its door and window components placed by the opening tool",
     run_not_built},
    {"thinwall-demo", 0, "--out dir", "demo: a through-opening cut in a thick wall", run_not_built},
    {"batch-villa", 0, "--out dir",
     "demo: the villa's eight scenes rendered under the lighting presets", run_not_built},
    {"gen-stair", 0,
     "[--rise F] [--run F] [--width F] [--shape straight|l|u] [--landing-after N] "
     "[--landing-depth F] [--tread-thickness F] [--nosing F] [--open-risers] "
     "[--stringers sawtooth|housed|mixed|none] [--well-gap F] [--solve-only] "
     "[--out dir|file.korv|file.obj] [--korvan]",
     "stair generator: picks riser count, riser and going to the stair rules of TCVN 4451 and\n"
     "QCVN 04-1 (solve_stair; default rise 3.3 m), then builds the stair; --solve-only prints\n"
     "the solution and writes nothing; no code-legal stair: the reason on stderr, exit 2",
     run_gen_stair},
    {"gen-wall", 0,
     "--wall-path POINTS [--wall-closed] [--wall-height H] [--wall-thickness T] "
     "[--wall-style NAME] [--wall-justify left|center|right] [--wall-door DOOR] "
     "--out file.korv",
     "a chained wall run whose junctions clean into one solid; --wall-style names a preset\n"
     "of presets/wall_styles.json in the assets directory",
     run_not_built},
    {"list-profiles", 0, "[--profile-category trim|structural|rainwater]",
     "list the profile catalogue of the assets directory; \"no profiles found\" without one",
     run_not_built},
    {"sweep-profile", 0, "--profile ID --profile-path POINTS --out file.korv",
     "carry a catalogue profile along a plan polyline with mitred corners\n"
     "(SweepProfileCommand); an unknown id: \"sweep-profile: no profile ...\" (try list-profiles)",
     run_not_built},
    {"loft", kRequiresIn,
     "--in file.korv [--loft-samples N] [--loft-closed] [--no-cap] [--solve-only] "
     "[--out file.korv]",
     "skin the file's curves, in order, into one surface (LoftSectionsCommand); needs --in and\n"
     "at least 2 live curves; --solve-only reports the sections without building",
     run_not_built, nullptr, "loft: --in file.korv is required (its curves are the sections)"},
    {"flat-roof", kDryRun,
     "[--in file.korv] [--roof-plan \"X,Y X,Y ...\"] [--roof-base-z Z] [--roof-slab T] "
     "[--roof-overhang O] [--roof-parapet H] [--roof-parapet-thick T] [--roof-parapet-inset I] "
     "[--roof-fascia D] [--roof-fascia-thick T] [--out file.korv]",
     "slab, parapet and fascia as three closed solids over the footprint (BuildFlatRoofCommand,\n"
     "one undo step; default footprint the 5 x 12 townhouse); a dimension the plan cannot\n"
     "carry is refused: the reason on stderr, exit 2, nothing written; without --out a dry run",
     run_flat_roof},
    {"pitched-roof", kDryRun,
     "[--in file.korv] [--roof-plan \"X,Y X,Y ...\"] [--roof-base-z Z] [--roof-pitch DEG] "
     "[--roof-step S] [--roof-overhang O] [--roof-fascia D] [--out file.korv]",
     "a cheap hip roof from a stack of inward offsets of the eaves outline, ridge quantised to\n"
     "--roof-step (BuildPitchedRoofCommand); a refusal exits 2; without --out a dry run",
     run_pitched_roof},
    {"skeleton-roof", kDryRun,
     "[--in file.korv] [--roof-plan \"X,Y X,Y ...\"] [--roof-base-z Z] [--roof-pitch DEG] "
     "[--roof-overhang O] [--roof-fascia D] [--out file.korv]",
     "the exact hip roof: the footprint's straight skeleton lifted by the pitch, one planar\n"
     "facet per eaves edge (BuildSkeletonRoofCommand); a refusal exits 2; without --out a dry run",
     run_skeleton_roof},
    {"railing", kDryRun, "[--in file.korv] [--rail-path POINTS | --rail-stair] [--out file.korv]",
     "posts, infill and a swept handrail along --rail-path, or along the default stair\n"
     "(BuildRailingCommand); without --out a dry run",
     run_not_built},
    {"facade-screen", kDryRun | kBareFile,
     "[file.korv | --in file.korv] --face F [--screen-dir horizontal|vertical] [--out file.korv]",
     "a louvre screen hung in the plane of one wall face, blade and frame sizes by option\n"
     "(FacadeScreenCommand); without --out a dry run",
     run_not_built},
    {"window-joinery", kDryRun | kBareFile,
     "[file.korv | --in file.korv] --face F [--out file.korv]",
     "cut an opening in --face and fit a frame, mullion grid and glazing, one undo step;\n"
     "without --out a dry run",
     run_not_built},
    {"tile-face", kDryRun | kBareFile, "[file.korv | --in file.korv] --face F [--out file.korv]",
     "lay a tiling pattern (stack, running bond, herringbone, chevron, basketweave) over one\n"
     "face, trimmed to its boundary (TileFaceCommand); without --out a dry run",
     run_not_built},

    // Model files.
    {"load", kBareFile | kRequiresIn, "file.korv | --in file.korv",
     "load a native file and print the stats report", run_stats, nullptr,
     "--in or file.korv required"},
    {"stats", kModelQuery, "[file.korv | --in file.korv]",
     "three-line model report: counts (empty, doc_empty, faces ... defs_unused), bbox= with\n"
     "size, diagonal and volume, area= with averages; load_s= on stderr; reads .skp files too",
     run_stats},
    {"import-korvan", kBareFile, "file.korv | --in file.korv [--out dir|file.obj]",
     "load a native file and print its counts; with --out also export the root mesh as OBJ\n"
     "(dir/import.obj); \"Loaded OK but no faces to export OBJ\" when there is nothing to export",
     run_import_korvan},
    {"import-obj", kRequiresOut, "--in file.obj --out dir",
     "read OBJ (with MTL) into dir as import.korv plus a rendered beauty BMP (io::import_obj)",
     run_import_mesh},
    {"import-dae", kRequiresOut, "--in file.dae --out dir",
     "read COLLADA the same way as import-obj (one handler, told apart by the verb)",
     run_import_mesh},
    {"import-stl", kRequiresOut, "--in file.stl --out dir",
     "read binary or ASCII STL into dir as import.korv plus a beauty BMP (io::import_stl)",
     run_import_mesh},
    {"import-ply", kRequiresOut, "--in file.ply --out dir",
     "read ASCII PLY, n-gon faces and shared vertices kept, into dir as import.korv plus a\n"
     "beauty BMP (io::import_ply)",
     run_import_mesh},
    {"import-gltf", kRequiresOut, "--in file.gltf|file.glb --out dir",
     "read glTF or GLB into dir as import.korv plus a beauty BMP; every node's primitives\n"
     "are placed with their world matrix, then welded and linked",
     run_import_gltf},
    {"import-dxf", kRequiresOut, "--in file.dxf --out dir",
     "read DXF lines, arcs, polylines, blocks and splines into dir/import.korv; a beauty image\n"
     "only when faces were made, otherwise the linework becomes guides",
     run_import_dxf},
    {"import-dwg", kRequiresOut, "--in file.dwg --out dir",
     "read a DWG drawing the same way as import-dxf (one handler; .dwg picks the DWG reader)",
     run_import_dxf},
    {"import-skp", kRequiresOut, "--in file.skp --out dir",
     "read a SketchUp file into dir as a native file plus a textures folder; components stay\n"
     "shared definitions; prints counts, time and peak memory",
     run_import_mesh},
    {"export-obj", kRequiresOut | kSampleModel, "[--in file.korv] --out file.obj|dir",
     "flatten the scene graph (flatten_world) and write OBJ (io::export_obj); --out is the file\n"
     "when it ends in .obj, else a directory receiving export.obj\n"
     "\"No faces to export\" (exit 1) when the flattened mesh is empty",
     run_export_mesh},
    {"export-stl", kRequiresOut | kSampleModel, "[--in file.korv] --out file.stl|dir",
     "flatten the scene graph and write binary STL (io::export_stl), else dir/export.stl;\n"
     "\"No faces to export\" (exit 1) when the flattened mesh is empty",
     run_export_mesh},
    {"export-ply", kRequiresOut | kSampleModel, "[--in file.korv] --out file.ply|dir",
     "flatten the scene graph and write ASCII PLY (io::export_ply), else dir/export.ply;\n"
     "\"No faces to export\" (exit 1) when the flattened mesh is empty",
     run_export_mesh},
    {"export-gltf", kRequiresOut | kSampleModel, "[--in file.korv] --out file.gltf|file.glb|dir",
     "flatten the scene graph and write glTF (with a .bin beside it) or GLB, Y up, with\n"
     "materials, else dir/export.gltf; \"No faces to export\" (exit 1) when empty",
     run_export_gltf},
    {"export-dxf", kRequiresOut | kSampleModel, "[--in file.korv] --out file.dxf|dir",
     "flatten the scene graph and write its edges as DXF LINE entities, else dir/export.dxf;\n"
     "prints edges=N; \"No faces to export\" (exit 1) when empty",
     run_export_dxf},
    {"faces-export-obj", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... --out file.obj",
     "copy the listed faces into a new mesh (Mesh::duplicate_faces) and write it as OBJ;\n"
     "refuses (exit 1, nothing written) when no listed face is alive",
     run_faces_export_obj},

    // Rendering and drawings.
    {"still", kSampleModel,
     "[--in file.korv] [--out file.bmp] [--size WxH] [--edges] [--ssaa N] [--vignette] "
     "[--vignette-strength 0..1] [--exposure 0.05..8] [--no-dims]",
     "one shaded beauty image (render_beauty; 800x450 unless --size), camera of the first\n"
     "scene; --out defaults to the directory korvan_out; a path ending in .png gets a PNG\n"
     "\"No faces to render\" (exit 1, nothing written) for an empty root mesh",
     run_still},
    {"export-bmp", kSampleModel,
     "[--in file.korv] [--out file.bmp] [--size WxH] [--edges] [--ssaa N] [--vignette] "
     "[--vignette-strength 0..1] [--exposure 0.05..8] [--no-dims]",
     "the same as still", run_still},
    {"present", kSampleModel, "[--in file.korv] [--out dir] [--size WxH] [--fast]",
     "a beauty still per scene (800x450, 400x225 with --fast) composed into contact_sheet.bmp",
     run_present},
    {"presentation", kSampleModel, "[--in file.korv] [--out dir] [--size WxH] [--fast]",
     "the same as present", run_present},
    {"render", 0, "--input file.korv [--preset exterior_sun|overcast|interior_warm|dusk|night]",
     "render one still of --input under a lighting preset and write render.bmp", run_render},
    {"pathtrace", kSampleModel,
     "[--in file.korv] [--out dir] [--spp N] [--exposure 0.05..8] [--size WxH] [--fast] "
     "[--region x,y,w,h] [--preset exterior_sun|overcast|interior_warm|dusk|night] [--section] "
     "[--section-plane PX,PY,PZ;NX,NY,NZ]",
     "path-traced image of the flattened scene graph (960x540) as dir/pathtrace.bmp, with the\n"
     "traced counts; --fast: at most 4 samples per pixel, denoised, within 0.5 s",
     run_not_built},
    {"plan", kReadOnly | kSampleModel | kBareFile,
     "[file.korv | --in file.korv] [--plan-height Z] [--no-beyond] [--plan-above] [--no-hatch] "
     "[--dxf file.dxf] [--svg file.svg] [--svg-scale 1:N]",
     "2D plan cut at --plan-height (default 1.2 m) with cut, beyond and hidden lines and poche\n"
     "rings (build_plan); --dxf writes the drawing (io::export_plan_dxf), --svg a sheet at\n"
     "--svg-scale (default 1:100) with the poche filled\n"
     "exit 1 if the mesh hash changed while planning",
     run_plan, nullptr, "plan is read-only; use --dxf to write the drawing"},
    {"plan-draft", kReadOnly | kSampleModel | kBareFile,
     "[file.korv | --in file.korv] [--plan-height Z] [--plan-base-z Z] [--cursor X,Y] "
     "[--snap-radius M] [--no-beyond] [--no-hatch]",
     "a plan-mode click without a window: builds the plan (PlanCache), snaps --cursor\n"
     "(PlanSnapEngine) and reports what the click would pick on the storey's work plane\n"
     "exit 1 if the ray misses the work plane or the model changed",
     run_plan_draft, nullptr, "plan-draft is read-only; it resolves a cursor, it does not edit"},
    {"ortho-set", kReadOnly | kBareFile, "[file.korv | --in file.korv] [--name NODE]",
     "four elevations and a plan of a node, or of the loose geometry", run_ortho_set, nullptr,
     "ortho-set is read-only; four elevations and a plan are a drawing, not geometry "
     "(--dxf on `plan` is how a drawing gets written)"},

    // Queries of the root mesh; none writes.
    {"mesh-volume", kModelQuery, "[file.korv | --in file.korv]",
     "absolute volume of the root mesh (Mesh::compute_volume: divergence theorem over fans)",
     run_mesh_volume},
    {"mesh-naked-edges", kModelQuery, "[file.korv | --in file.korv]",
     "number of naked edges of the root mesh (Mesh::naked_edge_count)", run_mesh_naked_edges},
    {"mesh-check", kReadOnly | kModelQuery, "[file.korv | --in file.korv] [--ids]",
     "defects of every mesh, group and definition by class (inspect_document): degenerate,\n"
     "non-planar, duplicate and internal faces, stray and naked edges, non-manifold vertices,\n"
     "reversed faces; 12 ids per class unless --ids; a report, not a gate: exit 0",
     run_mesh_check},
    {"faces-alive", kModelQuery, "[file.korv | --in file.korv]",
     "count=N, then faces= every alive face (Mesh::alive_faces)", run_faces_by_state},
    {"faces-visible", kModelQuery, "[file.korv | --in file.korv]",
     "count=N, then faces= the alive visible faces (Mesh::visible_faces)", run_faces_by_state},
    {"faces-hidden", kModelQuery, "[file.korv | --in file.korv]",
     "count=N, then faces= the soft-hidden faces (Mesh::soft_hidden_faces)", run_faces_by_state},
    {"faces-soft-hidden", kModelQuery, "[file.korv | --in file.korv]", "the same as faces-hidden",
     run_faces_by_state},
    {"faces-mat", kModelQuery, "[file.korv | --in file.korv] --mat M",
     "faces painted with material M (Mesh::faces_with_material): count=N mat=M area=F, then\n"
     "faces=",
     run_faces_mat},
    {"faces-layer", kModelQuery, "[file.korv | --in file.korv] --layer L",
     "faces on layer L (Mesh::faces_with_layer): count=N layer=L area=F, then faces=",
     run_faces_layer},
    {"faces-aabb", kModelQuery,
     "[file.korv | --in file.korv] [--faces N0,N1,... | --mat M | --layer L]",
     "box of all alive faces or of one filter (Mesh::compute_aabb_of_faces; the filters\n"
     "exclude each other): \"ok=1 count=N min=X,Y,Z max=X,Y,Z\" or \"ok=0 count=N\"",
     run_faces_aabb},
    {"faces-coplanar", kModelQuery, "[file.korv | --in file.korv] --face F [--eps E]",
     "flood from --face across shared edges to faces within --eps of its normal\n"
     "(Mesh::coplanar_faces, default 0.999): count=N seed=S, then faces=",
     run_faces_coplanar},
    {"faces-connected", kModelQuery, "[file.korv | --in file.korv] --face F",
     "every face reachable from --face across shared edges (Mesh::connected_faces)",
     run_faces_neighbours},
    {"faces-adjacent", kModelQuery, "[file.korv | --in file.korv] --face F",
     "the direct neighbours of --face, ascending (Mesh::adjacent_faces)", run_faces_neighbours},
    {"faces-shrink", kModelQuery, "[file.korv | --in file.korv] --faces N0,N1,...",
     "erode the selection by one ring of neighbours (Mesh::shrink_faces)", run_faces_shrink},
    {"faces-grow", kModelQuery, "[file.korv | --in file.korv] --faces N0,N1,...",
     "dilate the selection by one ring of neighbours (Mesh::grow_faces); links shared edges\n"
     "first and prints linked=N",
     run_faces_grow},
    {"faces-invert", kModelQuery, "[file.korv | --in file.korv] --faces N0,N1,...",
     "every alive face not listed, ascending (Mesh::invert_face_selection)", run_faces_invert},
    {"faces-boundary-edges", kModelQuery, "[file.korv | --in file.korv] --faces N0,N1,...",
     "the outline edges of the patch (Mesh::boundary_edges_of_faces) and perimeter=F",
     run_faces_boundary_edges},
    {"edge-loop", kModelQuery, "[file.korv | --in file.korv] --edge E",
     "the edge loop through --edge (Mesh::edge_loop): linked=N seed=E count=N, then the edges",
     run_edge_loop},
    {"edge-ring", kModelQuery, "[file.korv | --in file.korv] --edge E",
     "the edge ring through --edge (Mesh::edge_ring): linked=N seed=E count=N, then the edges",
     run_edge_loop},
    {"face-loop", kModelQuery, "[file.korv | --in file.korv] --edge E [--face F]",
     "the strip of quads crossed by --edge (Mesh::face_loop); --face picks the side, by\n"
     "default the lower-id face",
     run_face_loop},
    {"quad-loop", kModelQuery, "[file.korv | --in file.korv] --edge E [--face F]",
     "the face loop through --edge kept to quads and soft-diagonal triangle pairs\n"
     "(quad_loop_faces)",
     run_face_loop},
    {"vertex-adjacency", kModelQuery, "[file.korv | --in file.korv] --vertex V",
     "faces, edges, valence and half-edges around --vertex (Mesh::vertex_faces, vertex_edges)",
     run_vertex_adjacency},
    {"quad-info", kModelQuery, "[file.korv | --in file.korv] --face F",
     "whether --face is a quad, four-sided or two triangles across one soft edge (quad_at),\n"
     "and its diagonal (quad_diagonal)",
     run_quad_info},
    {"faces-facing", kModelQuery, "[file.korv | --in file.korv] --vector X,Y,Z [--angle DEG]",
     "faces whose normal lies within --angle (default 5 degrees) of --vector\n"
     "(Mesh::faces_facing)",
     run_faces_facing},
    {"faces-area", kModelQuery, "[file.korv | --in file.korv] --faces N0,N1,...",
     "count=N area=F over the alive listed faces, duplicates once (Mesh::area_of_faces)",
     run_faces_sums},
    {"faces-centroid", kModelQuery, "[file.korv | --in file.korv] --faces N0,N1,...",
     "area-weighted centroid=X,Y,Z of the alive listed faces (Mesh::centroid_of_faces), or\n"
     "centroid=none",
     run_faces_sums},
    {"faces-perimeter", kModelQuery, "[file.korv | --in file.korv] --faces N0,N1,...",
     "perimeter= the length of the patch outline (Mesh::perimeter_of_faces)", run_faces_sums},
    {"faces-by-area", kModelQuery, "[file.korv | --in file.korv] [--min A] [--max B]",
     "alive faces with area in [--min, --max] (Mesh::faces_with_area_between)", run_faces_by_area},
    {"faces-in-aabb", kModelQuery, "[file.korv | --in file.korv] --min X,Y,Z --max X,Y,Z",
     "alive faces whose centroid lies in the box, inclusive (Mesh::faces_within_aabb)",
     run_faces_in_aabb},

    // Face and mesh edits of the root mesh: one sentence, then the save; a refusal gives
    // the reason, exit 1 and no file.
    {"face-pushpull", kModelEdit,
     "[file.korv | --in file.korv] --face F --distance D --out file.korv",
     "push or pull one face along its normal (Mesh::push_pull):\n"
     "\"Pushed/pulled face F -> new cap face C\"; refuses an invalid/dead face, <3 vertices or\n"
     "a degenerate normal (exit 1)",
     run_face_pushpull},
    {"face-extrude", kModelEdit,
     "[file.korv | --in file.korv] --face F --vector X,Y,Z --out file.korv",
     "extrude one face along --vector: side quads and a cap facing along it\n"
     "(Mesh::extrude_face_along_vector); refuses a dead face or a zero vector (exit 1)",
     run_face_extrude},
    {"faces-extrude", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... --vector X,Y,Z --out file.korv",
     "extrude each listed face along --vector (Mesh::extrude_face_along_vector)", run_face_extrude},
    {"face-inset", kModelEdit, "[file.korv | --in file.korv] --face F --distance D --out file.korv",
     "a new face inset by --distance (> 0 in, < 0 out; Mesh::inset_face); refuses 0 and an\n"
     "inset that collapses or turns inside out (exit 1)",
     run_face_inset},
    {"face-offset", kModelEdit,
     "[file.korv | --in file.korv] --face F --distance D --out file.korv",
     "destructive offset of the ring (Mesh::offset_face): the face becomes a frame of quads\n"
     "round the offset face; refuses an offset wider than the face (exit 1)",
     run_face_offset},
    {"face-split-plane", kModelEdit,
     "[file.korv | --in file.korv] --face F --point X,Y,Z --normal X,Y,Z --out file.korv",
     "split --face in two by a plane (Mesh::split_face_by_plane); refuses a plane that does\n"
     "not cross it (exit 1)",
     run_face_split_plane},
    {"face-split-edge", kModelEdit,
     "[file.korv | --in file.korv] --face F --a X,Y,Z --b X,Y,Z --out file.korv",
     "split --face along the segment a-b (Mesh::split_face_with_edge); both ends must lie in\n"
     "its plane (exit 1 otherwise)",
     run_face_split_edge},
    {"mesh-split-plane", kModelEdit,
     "[file.korv | --in file.korv] --point X,Y,Z --normal X,Y,Z --out file.korv",
     "cut every crossing face by a plane with shared seam vertices (Mesh::split_by_plane); a\n"
     "closed solid stays closed",
     run_mesh_split_plane},
    {"mesh-slice", kModelEdit,
     "[file.korv | --in file.korv] --point X,Y,Z --normal X,Y,Z [--keep pos|neg] [--no-cap] "
     "--out file.korv",
     "cut by a plane and keep one side, capped unless --no-cap (Mesh::slice_by_plane); refuses\n"
     "a plane that neither cuts nor discards anything (exit 1)",
     run_mesh_slice},
    {"mesh-slice-cap", kModelEdit,
     "[file.korv | --in file.korv] --point X,Y,Z --normal X,Y,Z --out file.korv",
     "cap the boundary loops lying in a plane (Mesh::cap_boundary_on_plane); accepted only\n"
     "when the mesh comes out closed",
     run_mesh_slice_cap},
    {"mesh-knife", kModelEdit,
     "[file.korv | --in file.korv] --path \"X,Y,Z X,Y,Z ...\" --out file.korv",
     "cut a polyline across the faces that contain it (Mesh::knife_path); refuses a path that\n"
     "cuts nothing (exit 1)",
     run_mesh_knife},
    {"face-sweep", kModelEdit,
     "[file.korv | --in file.korv] --face F --path \"X,Y,Z X,Y,Z ...\" --out file.korv",
     "sweep --face along --path with rotation-minimising frames and mitred corners\n"
     "(SweepAlongPathCommand)",
     run_face_sweep},
    {"cut-door", kModelEdit,
     "[file.korv | --in file.korv] --face F [--width W] [--height H] [--sill S] "
     "[--thickness T] --out file.korv",
     "door opening (default 0.9 x 2.1 m) through --face and its parallel far face, found\n"
     "automatically when --thickness <= 0 (CutOpeningCommand); refuses an opening that does\n"
     "not fit the face (exit 1)",
     run_cut_opening},
    {"cut-window", kModelEdit,
     "[file.korv | --in file.korv] --face F [--width W] [--height H] [--sill S] "
     "[--thickness T] --out file.korv",
     "window opening (default 1.2 x 1.4 m at sill 0.9) through --face and its far face\n"
     "(CutOpeningCommand); refuses an opening that does not fit the face (exit 1)",
     run_cut_opening},
    {"faces-erase", kModelEdit, "[file.korv | --in file.korv] --faces N0,N1,... --out file.korv",
     "erase the listed faces (EraseFacesCommand); dead or invalid ids are skipped",
     run_faces_erase},
    {"faces-hide", kModelEdit, "[file.korv | --in file.korv] --faces N0,N1,... --out file.korv",
     "soft-hide the listed faces (Mesh::hide_face); dead or invalid ids are skipped",
     run_faces_visibility},
    {"faces-show", kModelEdit, "[file.korv | --in file.korv] --faces N0,N1,... --out file.korv",
     "show the listed faces again (Mesh::show_face); dead or invalid ids are skipped",
     run_faces_visibility},
    {"faces-paint", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... --mat M --out file.korv",
     "give the listed faces material M (Mesh::set_face_material)", run_faces_paint},
    {"faces-set-layer", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... --layer L --out file.korv",
     "put the listed faces on layer L (Mesh::set_face_layer)", run_faces_set_layer},
    {"faces-reverse", kModelEdit, "[file.korv | --in file.korv] --faces N0,N1,... --out file.korv",
     "reverse the winding of each listed face (Mesh::reverse_faces)", run_faces_reverse},
    {"join-faces", kModelEdit,
     "[file.korv | --in file.korv] [--faces N0,N1,...] [--eps E] --out file.korv",
     "merge adjacent coplanar faces within --eps by softening their shared edges\n"
     "(Mesh::merge_coplanar_faces)",
     run_join_faces},
    {"faces-flatten", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... --point X,Y,Z --normal X,Y,Z "
     "--out file.korv",
     "project the selection's vertices onto a plane (Mesh::flatten_faces_to_plane)",
     run_faces_flatten},
    {"faces-mirror", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... --point X,Y,Z --normal X,Y,Z "
     "--out file.korv",
     "mirror the selection as new geometry with reversed winding (Mesh::mirror_faces)",
     run_faces_mirror},
    {"faces-scale", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... --pivot X,Y,Z --scale S "
     "--out file.korv",
     "scale the selection's vertices about --pivot (Mesh::scale_faces)", run_faces_scale},
    {"faces-scale-frame", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... --size X,Y,Z --out file.korv",
     "scale the selection to an absolute size along its principal axes\n"
     "(Mesh::scale_faces_in_frame)",
     run_faces_scale_frame},
    {"faces-translate", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... --translate X,Y,Z --out file.korv",
     "move the selection's vertices by --translate (Mesh::translate_faces)", run_faces_translate},
    {"faces-rotate", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... --pivot X,Y,Z --axis X,Y,Z --angle DEG "
     "--out file.korv",
     "rotate the selection's vertices about --pivot and --axis by --angle degrees\n"
     "(Mesh::rotate_faces)",
     run_faces_rotate},
    {"faces-array", kModelEdit,
     "[file.korv | --in file.korv] --face F --count K --step X,Y,Z --out file.korv",
     "K copies of --face, each --step further (ArrayCommand); K < 1:\n"
     "\"faces-array: --count must be a positive integer (K>=1)\"",
     run_faces_array},
    {"faces-duplicate", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... [--translate X,Y,Z] --out file.korv",
     "duplicate the listed faces in place, offset by --translate (Mesh::duplicate_faces);\n"
     "zero alive copies is an error (exit 1)",
     run_faces_duplicate},
    {"mesh-triangulate", kModelEdit, "[file.korv | --in file.korv] --face F|--all --out file.korv",
     "triangulate one face or every face of more than 3 sides (Mesh::triangulate_face,\n"
     "triangulate_all); exactly one of --face or --all",
     run_mesh_triangulate},
    {"add-ngon", kModelEdit,
     "[file.korv | --in file.korv] --points \"X,Y,Z;X,Y,Z;X,Y,Z[;...]\" --out file.korv",
     "one face from at least three points, each a new vertex (Mesh::add_ngon)", run_add_ngon},
    {"create-rect", kModelEdit,
     "[file.korv | --in file.korv] --at X,Y,Z --width W --depth D --out file.korv",
     "a rectangle facing +Z (create_rectangle);\n"
     "\"create-rect: degenerate size (width and depth must be > 1e-4)\"",
     run_create_rect},
    {"create-circle", kModelEdit,
     "[file.korv | --in file.korv] --at X,Y,Z --radius R [--segments N] --out file.korv",
     "a circle n-gon facing +Z (create_circle_xy, 24 segments by default); refuses a radius of\n"
     "1e-4 or less (exit 1)",
     run_create_circle},
    {"create-arc", kModelEdit,
     "[file.korv | --in file.korv] --at X,Y,Z --a X,Y,Z --angle DEG [--segments N] "
     "--out file.korv",
     "a pie arc about --at from the rim point --a through --angle degrees (create_arc_xy)",
     run_create_arc},
    {"create-line", kModelEdit,
     "[file.korv | --in file.korv] --a X,Y,Z --b X,Y,Z [--width W] --out file.korv",
     "a ribbon quad from a to b, --width wide (create_line_ribbon, default 0.01)", run_create_line},
    {"import-image", kModelEdit, "[file.korv | --in file.korv] --image IMAGE --out file.korv",
     "lay an image (PNG, JPEG, BMP, TGA, PSD) on the ground as one textured rectangle at z = 0",
     run_import_image},
    {"weld-vertices", kModelEdit, "[file.korv | --in file.korv] [--tolerance T] --out file.korv",
     "merge vertices closer than --tolerance (Mesh::weld_vertices, default 1e-4 m); the lower\n"
     "vertex id survives",
     run_weld_vertices},
    {"mesh-stitch-edges", kModelEdit,
     "[file.korv | --in file.korv] [--tolerance T] --out file.korv",
     "link coincident naked edges by position (Mesh::stitch_naked_edges)", run_mesh_stitch_edges},
    {"mesh-fill-holes", kModelEdit, "[file.korv | --in file.korv] --out file.korv",
     "cap every boundary loop with one face (Mesh::fill_holes)", run_mesh_fill_holes},
    {"mesh-union-pairs", kModelEdit, "[file.korv | --in file.korv] [--tolerance T] --out file.korv",
     "remove opposite-wound coincident face pairs (Mesh::remove_coincident_face_pairs), welding\n"
     "first and linking after",
     run_mesh_union_pairs},
    {"mesh-repair", kModelEdit, "[file.korv | --in file.korv] [--tolerance T] --out file.korv",
     "the repair pipeline weld -> stitch -> fill -> stitch (Mesh::repair_topology)",
     run_mesh_repair},
    {"mesh-boolean", kModelEdit,
     "[file.korv | --in file.korv] --op union|subtract|intersect --src other.korv "
     "[--engine bsp|exact] --out file.korv",
     "solid boolean of the root mesh with --src's (csg_union, csg_subtract, csg_intersect);\n"
     "--engine exact computes it by exact corefinement instead of the BSP (the default);\n"
     "both must be closed solids, else exit 2 naming the open one and its naked edges;\n"
     "an empty result is exit 2 with nothing written",
     run_mesh_boolean},
    {"mesh-merge", kModelEdit,
     "[file.korv | --in file.korv] --src other.korv [--translate X,Y,Z] --out file.korv",
     "append --src's root mesh, optionally moved (MergeMeshCommand, Mesh::merge_mesh)",
     run_mesh_merge},
    {"unhide-all", kModelEdit, "[file.korv | --in file.korv] --out file.korv",
     "show every soft-hidden face (UnhideAllCommand): \"Unhidden N face(s)\"; nothing hidden is\n"
     "not an error",
     run_unhide_all},
    {"make-group", kModelEdit,
     "[file.korv | --in file.korv] --faces N0,N1,... [--name NAME] --out file.korv",
     "move the alive listed faces into a new child group, default name \"Group\"\n"
     "(MakeGroupFromFacesCommand); zero moved faces is an error (exit 1)",
     run_make_group},
    {"mirror-node", kModelEdit,
     "[file.korv | --in file.korv] --name NODE --normal X,Y,Z [--point X,Y,Z] --out file.korv",
     "mirror a node about a plane, keeping its faces outward (mirror_node):\n"
     "\"mirrored=1 name=... flip=1|0\"",
     run_mirror_node},
    {"mirror-selection", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] [--name NODE[,NODE...]] [--faces N0,N1,...] "
     "--mirror point|line|plane --p1 X,Y,Z [--p2 X,Y,Z] [--p3 X,Y,Z] [--erase yes|no] "
     "--out file.korv",
     "mirror named nodes and faces at a point, a line or a plane (MirrorSelectionCommand);\n"
     "--erase yes drops the originals",
     run_mirror_selection},
    {"place-door", kModelEdit,
     "[file.korv | --in file.korv] [--width W] [--height H] [--at X,Y,Z] [--normal X,Y,Z] "
     "[--id DEF] --out file.korv",
     "place a door component, default id door_go_2canh_90 (PlaceOpeningCommand), making a\n"
     "fallback definition when the id is not registered: \"Placed door \"NAME\", N total "
     "instances\"",
     run_place_opening},
    {"place-window", kModelEdit,
     "[file.korv | --in file.korv] [--width W] [--height H] [--at X,Y,Z] [--normal X,Y,Z] "
     "[--id DEF] --out file.korv",
     "place a window component, default id window_nhom_120x140 (PlaceOpeningCommand), making\n"
     "a fallback definition when the id is not registered",
     run_place_opening},
    {"create-instance", kModelEdit,
     "[file.korv | --in file.korv] --def-id ID [--at X,Y,Z] [--name NAME] --out file.korv",
     "one instance of a registered definition, default name \"Instance\"\n"
     "(CreateInstanceCommand); an unregistered --def-id fails without writing (exit 1)",
     run_create_instance},
    {"instance-array", kModelEdit,
     "[file.korv | --in file.korv] --def-id ID --count N --step X,Y,Z --out file.korv",
     "instances \"Array 1\" ... \"Array N\" of a definition at --step x i\n"
     "(ArrayInstancesCommand); an unknown id fails and names defs, place-door and place-window",
     run_instance_array},

    // Edge, vertex and shape edits.
    {"soften", kModelQuery, "[file.korv | --in file.korv] [--angle DEG] [--out file.korv]",
     "soften edges whose faces meet within --angle (Mesh::soften_edges_by_angle, default 30\n"
     "degrees): soft_edges=N; writes only with --out",
     run_soften},
    {"harden", kModelQuery, "[file.korv | --in file.korv] [--out file.korv]",
     "clear every soft flag (Mesh::harden_all_edges): hardened=N; writes only with --out",
     run_harden},
    {"reverse-faces", kModelQuery, "[file.korv | --in file.korv] [--out file.korv]",
     "reverse every alive face (Mesh::reverse_all_faces): reversed=N; writes only with --out",
     run_reverse_faces},
    {"edge-split", kModelEdit, "[file.korv | --in file.korv] --edge E [--t T] --out file.korv",
     "split an edge at t (Mesh::split_edge, default 0.5); the faces on it are rebuilt as\n"
     "islands, so stitch afterwards (edge-split-welded keeps the seam)",
     run_edge_split},
    {"erase-edge", kModelEdit, "[file.korv | --in file.korv] --edge E --out file.korv",
     "erase an edge and the faces on both sides (EraseEdgeCommand): \"Erased edge E\";\n"
     "\"Failed to erase edge E (invalid/dead edge)\" (exit 1)",
     run_erase_edge},
    {"turn-edge", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --edge E [--tolerance T] --out file.korv",
     "flip the diagonal of two triangles (turn_edge, TurnEdgeCommand); prints linked=N;\n"
     "refuses invalid-edge, naked-edge, not-triangles, non-planar, non-convex, duplicate-edge",
     run_turn_edge},
    {"edge-collapse", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --edge E [--target midpoint|first|second] --out file.korv",
     "contract an edge under the link condition (collapse_edge, CollapseEdgeCommand); prints\n"
     "linked=N; refuses link-condition, boundary-pinch, too-few-vertices and the like",
     run_edge_collapse},
    {"edge-dissolve", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --edge E [--tolerance T] --out file.korv",
     "merge the two coplanar faces across an edge (dissolve_edge, DissolveEdgeCommand); prints\n"
     "linked=N; refuses naked-edge, not-coplanar, shared-twice",
     run_edge_dissolve},
    {"edge-split-welded", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --edge E [--t T] --out file.korv",
     "split an edge without opening a seam (split_edge_welded, SplitEdgeWeldedCommand); prints\n"
     "linked=N; refuses a dead or zero-length edge and t outside (0,1)",
     run_edge_split_welded},
    {"make-planar", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --faces N0,N1,... --out file.korv",
     "project each listed face onto its least-squares plane (make_planar, MakePlanarCommand);\n"
     "reports the worst deviation before and after",
     run_make_planar},
    {"weld-verts", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --verts N0,N1,... [--tolerance T] --out file.korv",
     "weld only the listed vertices within --tolerance (weld_selected_vertices); when no two\n"
     "were close: \"weld-verts merged nothing: ...\" (not weld-vertices, which welds them all)",
     run_weld_verts},
    {"split-vertex", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --vertex V [--faces N0,N1,...] --out file.korv",
     "pull a shared vertex apart (split_vertex, SplitVertexCommand): the listed faces get a\n"
     "copy, or without --faces every fan face after the first; refuses the whole fan",
     run_split_vertex},
    {"chamfer-edges", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --edge-ids N0,N1,... [--setback S] --out file.korv",
     "chamfer the listed edges in one pass (ChamferEdgesCommand, --setback default 0.02 m)",
     run_not_built},
    {"round-edges", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --edge-ids N0,N1,... [--round-segments N] --out file.korv",
     "round the listed edges in one pass (RoundEdgesCommand, --round-segments 1..64, default 8)",
     run_not_built},
    {"chamfer-check", kReadOnly | kBareFile,
     "[file.korv | --in file.korv] --edge-ids N0,N1,... [--setback S]",
     "what chamfer-edges would answer, without writing: exit 0 and status=kOk, or exit 1 and\n"
     "the status name",
     run_not_built, nullptr,
     "chamfer-check is read-only; it mutates nothing, so there is nothing to write. The "
     "mutating verb is chamfer-edges"},
    {"round-check", kReadOnly | kBareFile,
     "[file.korv | --in file.korv] --edge-ids N0,N1,... [--round-segments N]",
     "what round-edges would answer, without writing: exit 0 and status=kOk, or exit 1 and\n"
     "the status name",
     run_not_built, nullptr,
     "round-check is read-only; it mutates nothing, so there is nothing to write. The "
     "mutating verb is round-edges"},
    {"thicken", kRequiresOut,
     "[--in file.korv] [--faces N0,N1,...] --distance D [--both-sides] [--keep-source] "
     "[--no-miter] --out file.korv",
     "give the selected faces a thickness as one welded shell (ThickenFacesCommand)",
     run_not_built},
    {"deform", kRequiresOut,
     "[--in file.korv] --kind bend|taper|twist|shear|radial-twist|radial-bend --amount F "
     "[--faces N0,N1,...] [--deform-axis X,Y,Z] [--up X,Y,Z] [--origin X,Y,Z] [--extent F] "
     "[--no-clamp] --out file.korv",
     "bend, taper, twist, shear, radial-twist or radial-bend the selection in a frame fitted\n"
     "to it (deform_faces); \"deform requires --kind\", \"deform requires --amount\";\n"
     "\"deform: the selection has no bounding box to fit a frame to\" (exit 1)",
     run_deform},
    {"soft-move", kBareFile,
     "[file.korv | --in file.korv] --verts N0,N1,...|--faces N0,N1,... --soft-delta X,Y,Z "
     "[--soft-radius F] [--soft-curve linear|smooth|sharp|constant] [--soft-metric surface|space] "
     "[--soft-weld-tol F] [--soft-move-eps F] [--out file.korv]",
     "move handle vertices by --soft-delta and drag their neighbourhood, weighted by distance\n"
     "along the surface or in space (SoftMoveVerticesCommand); no handles or a refused field:\n"
     "exit 1; a zero delta is not a refusal; writes only with --out",
     run_soft_move},
    {"shape-bend", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --path \"X,Y,Z X,Y,Z ...\" --out file.korv",
     "bend the selection so a straight reference line follows the drawn --path\n"
     "(ShapeBendCommand); shape-bend-plan checks the curve first",
     run_not_built, nullptr,
     "shape-bend requires --out (use shape-bend-plan for the curve's own numbers without the "
     "file)"},
    {"shape-bend-plan", kReadOnly | kBareFile,
     "[file.korv | --in file.korv] --path \"X,Y,Z X,Y,Z ...\"",
     "validate the bend curve and print its numbers (min_curve_radius and the rest) without a\n"
     "selection",
     run_not_built, nullptr,
     "shape-bend-plan is read-only -- it is the GATE, the same way contour-check is terrain's. "
     "The mutating verb is shape-bend"},
    {"edge-grid-divide", kDryRun,
     "[--in file.korv] --edge-ids N0,N1,... --grid G [--max-pieces N] [--out file.korv]",
     "cut each listed edge into equal pieces no longer than --grid (EdgeGridDivideCommand);\n"
     "refuses past --max-pieces; without --out a dry run",
     run_not_built},

    // Materials and layers; --material is accepted for --mat.
    {"materials", kModelQuery,
     "[file.korv | --in file.korv] [--name NAME | --index N] [--add | --rename NEW | "
     "--albedo R,G,B | --roughness F | --metallic F | --opacity F | --duplicate] "
     "[--out file.korv]",
     "materials=N unused=N, then per material index, name, albedo, faces and area; one edit\n"
     "option at a time (added=1, renamed=1, albedo=, ...); edits reach the disk only with --out",
     run_materials},
    {"list-mats", kModelQuery,
     "[file.korv | --in file.korv] [--name NAME | --index N] [--add | --rename NEW | "
     "--albedo R,G,B | --roughness F | --metallic F | --opacity F | --duplicate] "
     "[--out file.korv]",
     "the same as materials", run_materials},
    {"mat-uv", kModelQuery,
     "[file.korv | --in file.korv] [--name NAME | --index N] [--uv-pattern none|checker|brick] "
     "[--uv-scale W,H] [--uv-offset U,V] [--uv-rotation DEG] [--out file.korv]",
     "list every material's UV transform, or set one (SetMaterialUvCommand): tile size in\n"
     "metres, offset in tiles; \"mat-uv mutation requires --name or --index\"; writes with --out",
     run_mat_uv},
    {"uv-bake", kModelQuery, "[file.korv | --in file.korv] [--face N] [--out file.korv]",
     "freeze the projected UVs into stored per-corner UVs of --face or every alive face\n"
     "(BakeProjectedUvCommand); \"uv-bake: nothing baked\"; writes with --out",
     run_uv_bake},
    {"reassign-mat", kModelQuery, "[file.korv | --in file.korv] --from A --to B [--out file.korv]",
     "replace material id A by B on every face (Mesh::replace_material_id):\n"
     "reassigned=N from=A to=B",
     run_reassign},
    {"reassign-layer", kModelQuery,
     "[file.korv | --in file.korv] --from A --to B [--out file.korv]",
     "replace layer id A by B on every face (Mesh::replace_layer_id): reassigned=N from=A to=B",
     run_reassign},
    {"paint-layer", kModelQuery, "[file.korv | --in file.korv] --layer L --mat M [--out file.korv]",
     "give every face of layer L material M (Mesh::set_layer_material): painted=N layer=L mat=M",
     run_paint_layer},
    {"assign-mat-layer", kModelQuery,
     "[file.korv | --in file.korv] --mat M --layer L [--out file.korv]",
     "put every face of material M on layer L (Mesh::set_material_layer):\n"
     "assigned=N mat=M layer=L",
     run_assign_mat_layer},
    {"hide-mat", kModelQuery, "[file.korv | --in file.korv] --mat M [--out file.korv]",
     "soft-hide the faces of material M (Mesh::set_faces_visible_by_material):\n"
     "changed=N mat=M visible=0",
     run_face_visibility},
    {"show-mat", kModelQuery, "[file.korv | --in file.korv] --mat M [--out file.korv]",
     "show the faces of material M again: changed=N mat=M visible=1", run_face_visibility},
    {"hide-layer-faces", kModelQuery, "[file.korv | --in file.korv] --layer L [--out file.korv]",
     "soft-hide the faces of layer L (Mesh::set_faces_visible_by_layer):\n"
     "changed=N layer=L visible=0",
     run_face_visibility},
    {"show-layer-faces", kModelQuery, "[file.korv | --in file.korv] --layer L [--out file.korv]",
     "show the faces of layer L again: changed=N layer=L visible=1", run_face_visibility},
    {"layers", kModelQuery, "[file.korv | --in file.korv] [--layer N --visible 0|1]",
     "per layer: id, on/off, face count, area; --layer with --visible (both required) sets\n"
     "that layer's visibility in memory (Mesh::set_layer_visible)",
     run_layers},
    {"list-layers", kModelQuery, "[file.korv | --in file.korv] [--layer N --visible 0|1]",
     "the same as layers", run_layers},

    // Annotations.
    {"curves", kBareFile, "[file.korv | --in file.korv]",
     "curves=N (alive) slots=N, then per slot alive|dead, closed|open, points= and len=",
     run_curves},
    {"list-curves", kBareFile, "[file.korv | --in file.korv]", "the same as curves", run_curves},
    {"add-curve", kRequiresOut | kBareFile,
     "[file.korv | --in file.korv] --path \"X,Y,Z X,Y,Z ...\" [--closed] --out file.korv",
     "add a polyline curve, a contour to the site verbs (Mesh::add_curve); prints its index",
     run_add_curve},
    {"guides", kModelQuery, "[file.korv | --in file.korv]",
     "per guide: index, infinite flag, a and b", run_guides},
    {"list-guides", kModelQuery, "[file.korv | --in file.korv]", "the same as guides",
     run_guides},
    {"dims", kModelQuery, "[file.korv | --in file.korv]",
     "dims=N, then per dimension: index, value in metres, len=, label and its two points",
     run_dims},
    {"list-dims", kModelQuery, "[file.korv | --in file.korv]", "the same as dims", run_dims},
    {"add-guide", kModelEdit, "[file.korv | --in file.korv] --a X,Y,Z --b X,Y,Z --out file.korv",
     "add a guide from a to b (AddGuideCommand, Mesh::add_guide): \"Added guide \" and its index",
     run_add_guide},
    {"add-dim", kModelEdit, "[file.korv | --in file.korv] --a X,Y,Z --b X,Y,Z --out file.korv",
     "add a dimension from a to b (AddDimensionCommand):\n"
     "\"Added dimension \" index \" (\" length \" m)\"",
     run_add_dim},
    {"dim-chain", kDryRun | kModelQuery,
     "[file.korv | --in file.korv] --a X,Y,Z --b X,Y,Z [--offset F] [--no-overall] "
     "[--out file.korv]",
     "fire a ray from a to b and dimension every gap between the faces it crosses, in one\n"
     "undo group \"Chain Dimensions\": crossings=N dims=N stack_size=1; exit 2 when nothing was\n"
     "crossed; refuses a and b at the same point",
     run_dim_chain},
    {"dim-auto", kDryRun | kModelQuery,
     "[file.korv | --in file.korv] [--axis X,Y,Z] [--offset F] [--pitch F] [--out file.korv]",
     "dimension every alive face along --axis (default 1,0,0) on non-overlapping rows, in one\n"
     "undo group \"Auto Dim\": faces=N dims=N rows=N stack_size=1; exit 2 with the reason when\n"
     "nothing has extent",
     run_dim_auto},
    {"dim-reanchor", kBareFile | kRequiresIn,
     "file.korv | --in file.korv [--fix] [--out file.korv]",
     "dims=N associative=N stale=N dangling=N reanchored=N; --fix re-derives the associative\n"
     "dimensions from the geometry they measure",
     run_dim_reanchor, nullptr, "dim-reanchor requires --in"},
    {"clear-guides", kModelQuery, "[file.korv | --in file.korv] [--out file.korv]",
     "remove every guide: cleared=N; --out saves", run_clear_annotations},
    {"clear-dims", kModelQuery, "[file.korv | --in file.korv] [--out file.korv]",
     "remove every dimension: cleared=N; --out saves", run_clear_annotations},
    {"clear-dimensions", kModelQuery, "[file.korv | --in file.korv] [--out file.korv]",
     "the same as clear-dims", run_clear_annotations},
    {"labels", kModelQuery,
     "[file.korv | --in file.korv] [--add --label-text STR [--label-at X,Y,Z] "
     "[--label-height M] [--label-tag N] | --delete --index N] [--out file.korv]",
     "list \"Labels: \" with index, text, position, h= and tag=; --add (AddLabelCommand)\n"
     "refuses empty text; --delete (DeleteLabelCommand); writes only with --out",
     run_labels},
    {"list-labels", kModelQuery,
     "[file.korv | --in file.korv] [--add --label-text STR [--label-at X,Y,Z] "
     "[--label-height M] [--label-tag N] | --delete --index N] [--out file.korv]",
     "the same as labels", run_labels},

    // Document and scene graph; the listing verbs edit in memory unless --out is given.
    {"clear-mesh", kWriteBack | kModelQuery, "[file.korv | --in file.korv] [--out file.korv]",
     "empty the root mesh: faces=0 empty=1; without --out the result overwrites --in",
     run_clear_mesh},
    {"clear-doc", kWriteBack | kModelQuery, "[file.korv | --in file.korv] [--out file.korv]",
     "empty the whole document: doc_empty=1 empty=1; without --out the result overwrites --in",
     run_clear_doc},
    {"clear-document", kWriteBack | kModelQuery, "[file.korv | --in file.korv] [--out file.korv]",
     "the same as clear-doc", run_clear_doc},
    {"explode", kWriteBack | kModelQuery,
     "[file.korv | --in file.korv] [--index N] [--out file.korv]",
     "bake the N-th explodable node (default 0) into the root mesh (ExplodeInstanceCommand):\n"
     "faces_added=N; \"explode: index I out of range (explodables=N)\"; without --out the\n"
     "result overwrites --in",
     run_explode},
    {"tags", kModelQuery,
     "[file.korv | --in file.korv] [--name NAME | --index N] [--add | --visible 0|1 | "
     "--rename NEW | --delete | --duplicate] [--out file.korv]",
     "per tag: index, name, on/off, nodes=N; --add is ensure_tag (idempotent); --delete\n"
     "(DeleteTagCommand) untags whatever carried the tag",
     run_tags},
    {"list-tags", kModelQuery,
     "[file.korv | --in file.korv] [--name NAME | --index N] [--add | --visible 0|1 | "
     "--rename NEW | --delete | --duplicate] [--out file.korv]",
     "the same as tags", run_tags},
    {"groups", kModelQuery,
     "[file.korv | --in file.korv] [--name NODE [--visible 0|1] [--rename NEW] "
     "[--tag INDEX|NAME] [--translate X,Y,Z | --position X,Y,Z | --scale F | --set-scale F | "
     "--rotate RX,RY,RZ] [--duplicate | --delete | --bake | --reparent PARENT]] "
     "[--out file.korv]",
     "the groups below the root: name, children, translation, scale, tag, visible; --name\n"
     "edits one; \"--translate, --position, --scale, --set-scale, and --rotate are mutually\n"
     "exclusive\"; --delete, --duplicate, --bake and --reparent each refuse other edits",
     run_groups},
    {"list-groups", kModelQuery,
     "[file.korv | --in file.korv] [--name NODE [--visible 0|1] [--rename NEW] "
     "[--tag INDEX|NAME] [--translate X,Y,Z | --position X,Y,Z | --scale F | --set-scale F | "
     "--rotate RX,RY,RZ] [--duplicate | --delete | --bake | --reparent PARENT]] "
     "[--out file.korv]",
     "the same as groups", run_groups},
    {"instances", kModelQuery,
     "[file.korv | --in file.korv] [--name NODE [--visible 0|1] [--rename NEW] "
     "[--tag INDEX|NAME] [--translate X,Y,Z | --position X,Y,Z | --scale F | --set-scale F | "
     "--rotate RX,RY,RZ] [--duplicate | --delete | --bake | --reparent PARENT | "
     "--make-unique]] [--out file.korv]",
     "the component instances at any depth: name, definition id, translation, scale, tag,\n"
     "visible; --name edits one as groups does; --make-unique gives it its own definition",
     run_groups},
    {"list-instances", kModelQuery,
     "[file.korv | --in file.korv] [--name NODE [--visible 0|1] [--rename NEW] "
     "[--tag INDEX|NAME] [--translate X,Y,Z | --position X,Y,Z | --scale F | --set-scale F | "
     "--rotate RX,RY,RZ] [--duplicate | --delete | --bake | --reparent PARENT | "
     "--make-unique]] [--out file.korv]",
     "the same as instances", run_groups},
    {"defs", kModelQuery,
     "[file.korv | --in file.korv] [--name ID [--rename NEW | --delete | --duplicate | "
     "--category CAT]] [--out file.korv]",
     "defs=N unused=N, then per definition: index, id, name, category, faces, instances=N;\n"
     "--delete refuses a definition still in use",
     run_defs},
    {"list-defs", kModelQuery,
     "[file.korv | --in file.korv] [--name ID [--rename NEW | --delete | --duplicate | "
     "--category CAT]] [--out file.korv]",
     "the same as defs", run_defs},
    {"scenes", kModelQuery,
     "[file.korv | --in file.korv] [--name NAME | --index N] [--add | --rename NEW | --delete | "
     "--duplicate | --update-from SRC] [--out file.korv]",
     "per scene: index, name, eye, target, up, fov and photo settings", run_scenes},
    {"list-scenes", kModelQuery,
     "[file.korv | --in file.korv] [--name NAME | --index N] [--add | --rename NEW | --delete | "
     "--duplicate | --update-from SRC] [--out file.korv]",
     "the same as scenes", run_scenes},
    {"sections", kModelQuery,
     "[file.korv | --in file.korv] [--name NAME | --index N] [--add | --active | --rename NEW | "
     "--delete | --update-from SRC] [--out file.korv]",
     "per section plane: index, name, point, normal, active", run_sections},
    {"list-sections", kModelQuery,
     "[file.korv | --in file.korv] [--name NAME | --index N] [--add | --active | --rename NEW | "
     "--delete | --update-from SRC] [--out file.korv]",
     "the same as sections", run_sections},
    {"lights", kDryRun | kModelQuery,
     "[file.korv | --in file.korv] [--add --light-kind sun|rect|point|spot [--light-pos X,Y,Z] "
     "[--light-dir X,Y,Z] [--light-up X,Y,Z] [--light-size WxH] [--light-colour R,G,B] "
     "[--light-intensity F] [--light-cone INNER,OUTER] [--enabled 0|1] | --delete --index N] "
     "[--out file.korv]",
     "per light: kind, pos, dir, size, colour, intensity, enabled; --add or --delete one;\n"
     "without --out nothing is written",
     run_lights},
    {"list-lights", kDryRun | kModelQuery,
     "[file.korv | --in file.korv] [--add --light-kind sun|rect|point|spot [--light-pos X,Y,Z] "
     "[--light-dir X,Y,Z] [--light-up X,Y,Z] [--light-size WxH] [--light-colour R,G,B] "
     "[--light-intensity F] [--light-cone INNER,OUTER] [--enabled 0|1] | --delete --index N] "
     "[--out file.korv]",
     "the same as lights", run_lights},
    {"find-nodes", kReadOnly | kModelQuery,
     "[file.korv | --in file.korv] --nodes TEXT [--node-match exact|contains|prefix|suffix] "
     "[--node-ci]",
     "every node whose name matches, depth-first (find_nodes); --node-ci folds ASCII case only",
     run_find_nodes},
    {"align-nodes", kDryRun | kModelQuery,
     "[file.korv | --in file.korv] --nodes TEXT [--node-match exact|contains|prefix|suffix] "
     "[--node-ci] --align-axis x|y|z --align-mode min|centre|max|distribute [--out file.korv]",
     "align or distribute the matched nodes' world boxes on one axis (AlignNodesCommand);\n"
     "all or nothing; without --out a dry run",
     run_align_nodes},
    {"batch-rename", kDryRun | kModelQuery,
     "[file.korv | --in file.korv] --nodes TEXT [--node-match exact|contains|prefix|suffix] "
     "[--node-ci] [--rename-find S --rename-replace R] [--rename-pattern P] [--rename-start N] "
     "[--rename-step N] [--rename-pad N] [--rename-strict] [--rename-dry-run] [--out file.korv]",
     "rename the matched nodes (BatchRenameCommand): find/replace first, then the pattern with\n"
     "{name}, {n} (counter) and {i} (position); --rename-strict refuses the whole batch on a\n"
     "name collision; --rename-dry-run only prints old -> new",
     run_batch_rename},
    {"isolate", kDryRun | kModelQuery,
     "[file.korv | --in file.korv] --nodes TEXT [--node-match exact|contains|prefix|suffix] "
     "[--node-ci] [--isolate-keep-loose] [--out file.korv]",
     "hide everything that is not kept, an ancestor of a kept node or under one\n"
     "(IsolateSelectionCommand); --isolate-keep-loose keeps the root's loose geometry",
     run_isolate},
    {"purge-report", kReadOnly | kModelQuery, "[file.korv | --in file.korv]",
     "what is unused (tags, definitions, materials) and what dropping it would free\n"
     "(build_purge_report); warns when faces carry material ids past the library",
     run_purge_report, nullptr,
     "purge-report is read-only; it is an INVENTORY, not a purge -- the verbs that remove "
     "things are the delete ones, and each refuses while anything still references what it "
     "was asked to drop"},

    // Woodworking: boards and joints (exit 2 on a refusal, nothing written), then nesting.
    {"panel-emit", kDryRun | kBareFile,
     "[file.korv | --in file.korv] [--panel-origin X,Y,Z] [--panel-length L] [--panel-width W] "
     "[--panel-thickness T] [--panel-weld-eps E] [--panel-cut-mat M] [--out file.korv]",
     "one rectangular board (default 0.6 x 0.4 x 0.018 m) as a closed welded solid\n"
     "(EmitPanelCommand); a refusal exits 2",
     run_panel_emit},
    {"panel-groove", kDryRun | kBareFile,
     "[file.korv | --in file.korv] [--panel-origin X,Y,Z] [--panel-length L] [--panel-width W] "
     "[--panel-thickness T] [--groove-purpose led-strip|sliding-door-track|flush-handle] "
     "[--groove-width W] [--groove-depth D] [--out file.korv]",
     "cut a groove along a board face (CutGrooveCommand); without --in a board is emitted at\n"
     "the --panel-* box first; a refusal exits 2 with the mesh as it was found",
     run_panel_groove},
    {"panel-rabbet", kDryRun | kBareFile,
     "[file.korv | --in file.korv] [--panel-origin X,Y,Z] [--panel-length L] [--panel-width W] "
     "[--panel-thickness T] [--out file.korv]",
     "cut an L-section rabbet along a board edge (CutRabbetCommand); a refusal exits 2",
     run_panel_rabbet},
    {"panel-rabbet-pair", kDryRun | kBareFile,
     "[file.korv | --in file.korv] [--panel-origin X,Y,Z] [--panel-length L] [--panel-width W] "
     "[--panel-thickness T] [--pair-a-female] [--out file.korv]",
     "two rabbets on two boards that lap (CutRabbetPairCommand): tongues, assembled thickness,\n"
     "proud or sunk; both boards are checked in full before either cut; a refusal exits 2",
     run_panel_rabbet_pair},
    {"panel-tenon", kDryRun | kBareFile,
     "[file.korv | --in file.korv] [--panel-origin X,Y,Z] [--panel-length L] [--panel-width W] "
     "[--panel-thickness T] [--tenon-at-min] [--out file.korv]",
     "raise a tenon on a board face, footprint centred unless offsets are given\n"
     "(CutTenonCommand); reports the cheek (glue) area; a refusal exits 2",
     run_panel_tenon},
    {"panel-mortise", kDryRun | kBareFile,
     "[file.korv | --in file.korv] [--panel-origin X,Y,Z] [--panel-length L] [--panel-width W] "
     "[--panel-thickness T] [--tenon-at-min] [--out file.korv]",
     "sink a mortise, the tenon with its length negated (CutTenonCommand); refuses one that\n"
     "reaches through the panel (exit 2)",
     run_panel_tenon},
    {"panel-dowels", kDryRun | kBareFile,
     "[file.korv | --in file.korv] [--panel-origin X,Y,Z] [--panel-length L] [--panel-width W] "
     "[--panel-thickness T] [--out file.korv]",
     "drill a row of dowel holes into a board side (DrillDowelsCommand; default 2 holes of\n"
     "8 mm at 32 mm pitch); a refusal exits 2",
     run_panel_dowels},
    {"nest-boards", kReadOnly,
     "--cut-list \"NAME,W,H,QTY[,GRAIN[,FACES[,THICKNESS[,MATERIAL]]]];...\" "
     "[--sheet-thickness T] [--sheet-material M]",
     "split a mixed cut list into one pile per board, material plus thickness\n"
     "(group_parts_by_board); a grouping refusal exits 2",
     run_nest_boards, nullptr,
     "nest-boards is read-only; nesting produces no geometry (nesting.hpp: \"NOTHING HERE "
     "TOUCHES A Mesh, and that is a decision rather than an omission\")"},
    {"nest-sheet", kReadOnly,
     "--cut-list \"NAME,W,H,QTY[,GRAIN[,FACES[,THICKNESS[,MATERIAL]]]];...\" [--sheet-width W] "
     "[--sheet-height H] [--sheet-thickness T] [--sheet-material M] [--sheet-trim T] "
     "[--sheet-kerf K] [--sheet-ungrained] [--sheet-faces N] [--optimise SECONDS] "
     "[--svg layout.svg]",
     "two-stage guillotine nesting onto sheets (nest_parts; default 2.44 x 1.22 m): strips,\n"
     "cut order and an account of every square metre; a bad row is refused by name, the rest\n"
     "still nest; a whole-run refusal exits 2. --optimise searches that long for a layout on\n"
     "fewer sheets (never worse; reports optimised_from=); --svg draws the cut diagram.\n"
     "Wardrobe: --sheet-material \"MDF melamine\" --sheet-trim 0.005 --cut-list\n"
     "\"side,0.58,2.2,2,along_height;top,1.2,0.58,2;shelf,1.164,0.409,3;door,0.597,2.19,2,\n"
     "along_height;plinth,1.164,0.1,2;back,2.2,1.2,1,none,0,0.005\" (4 sheets, 69.89%)",
     run_nest_sheet, nullptr,
     "nest-sheet is read-only; a sheet layout is a drawing, not geometry -- every placement "
     "below carries x,y,w,h, so a caller that wants a diagram already has the rectangles"},

    // Clean-up and modelling tools; exit 2 means there was nothing to do and nothing was
    // written.
    {"fixit", kRequiresOut, "[--in file.korv] [--name GROUP[,GROUP...]|purge] --out file.korv",
     "FixIt101Command: duplicate, missing and internal faces, coplanar and stray edges, split\n"
     "edges, curves and layers, in that order; --name limits it to those groups, --name purge\n"
     "also purges",
     run_not_built},
    {"cleanup3", kRequiresOut, "[--in file.korv] [--name MODE[,key=value...]] --out file.korv",
     "Cleanup3Command in one mode: full (default), hidden, stray, layer0, faces, materials and\n"
     "others",
     run_not_built},
    {"orix-purge", kRequiresOut, "[--in file.korv] --out file.korv",
     "drop unused definitions, tags (never the untagged one) and library materials\n"
     "(OrixPurgeUnusedCommand)",
     run_not_built},
    {"orix-rename", kRequiresOut, "[--in file.korv] --name lv0|abf|oc --out file.korv",
     "rename groups at every level by one of three rules (OrixRenameGroupsCommand); exit 2 if\n"
     "nothing changed",
     run_not_built},
    {"orix-delete-tagged", kRequiresOut, "[--in file.korv] --name TAG[,TAG...] --out file.korv",
     "delete everything on the named tags, then the tags (OrixDeleteTaggedCommand); exit 2 if\n"
     "nothing was on them",
     run_not_built},
    {"quick-tags", kRequiresOut, "[--in file.korv] --out file.korv",
     "add the fifteen standard tags, skipping those that exist (OrixQuickTagsCommand)",
     run_not_built},
    {"toggle-tags", kRequiresOut, "[--in file.korv] --out file.korv",
     "show every tag if any is hidden, else hide every tag (OrixToggleTagsCommand); exit 2 if\n"
     "the file has no tags",
     run_not_built},
    {"deep-unhide", kRequiresOut, "[--in file.korv] --out file.korv",
     "show every hidden face, edge, group and component at every depth\n"
     "(DeepUnhideAllCommand): \"deep-unhide: brought back N hidden thing(s)\"",
     run_not_built},
    {"orix-isolate", kRequiresOut, "[--in file.korv] --name NODE[,NODE...] --out file.korv",
     "hide everything at the root except the named nodes (HideOthersCommand)", run_not_built},
    {"explode-all", kRequiresOut, "[--in file.korv] --name NODE[,NODE...] --out file.korv",
     "explode everything inside the named nodes into raw geometry (ExplodeAllInsideCommand);\n"
     "exit 2 if nothing was inside",
     run_not_built},
    {"orix-explode", kRequiresOut, "[--in file.korv] --name NODE[,NODE...] --out file.korv",
     "explode named groups that hold groups, recursively, down to the leaf groups\n"
     "(OrixExplodeCommand)",
     run_not_built},
    {"remove-lines", kRequiresOut, "[--in file.korv] --name NODE[,NODE...] --out file.korv",
     "remove redundant lines inside the named nodes (RemoveRedundantLinesCommand); exit 2 if\n"
     "nothing was redundant",
     run_remove_lines},
    {"replace-component", kRequiresOut, "[--in file.korv] --name OLD,TARGET --out file.korv",
     "replace component OLD by an instance of TARGET's definition fitted to OLD's world box\n"
     "(ReplaceComponentCommand); exit 2 if either is not a component",
     run_not_built},
    {"replace-material", kRequiresOut, "[--in file.korv] --name FROM,TO --out file.korv",
     "every face and node painted FROM gets TO (ReplaceMaterialCommand; material ids, -1 the\n"
     "default); exit 2 if nothing used FROM",
     run_replace_material},
    {"clear-textures", kRequiresOut, "[--in file.korv] --out file.korv",
     "every library material loses its texture and keeps its colour (ClearTexturesCommand);\n"
     "exit 2 if none had one",
     run_clear_textures},
    {"find-name", 0, "[--in file.korv] --name TERM[;TERM...]",
     "list the groups and components whose name contains one of the terms, case ignored",
     run_find_name},
    {"find-centre", kRequiresOut,
     "[--in file.korv] [--name NODE[,NODE...]] [--faces N0,N1,...] --out file.korv",
     "add a guide point at the centre of each listed face or node's bounding box", run_find_centre},
    {"circle-centre", kRequiresOut, "[--in file.korv] --out file.korv",
     "add a guide point at the centre of the circle through two straight segments; exit 2 if\n"
     "there are not exactly two, or they are parallel or not in one plane",
     run_circle_centre},
    {"loose-to-groups", kRequiresOut, "[--in file.korv] --out file.korv",
     "make every loose island of faces and lines its own group (LooseToGroupsCommand); exit 2\n"
     "if nothing was loose",
     run_not_built},
    {"face-maker", kRequiresOut, "[--in file.korv] --out file.korv",
     "make every smallest closed planar ring of loose lines a face (FaceMakerCommand); exit 2\n"
     "if nothing was faced",
     run_not_built},
    {"quick-rotate", kRequiresOut,
     "[--in file.korv] --name NODE[,NODE...] [--angle DEG] [--align-axis x|y|z] [--copy] "
     "--out file.korv",
     "turn the named nodes about a world axis, 90 degrees about x by default\n"
     "(QuickRotateNodesCommand); --copy rotates a copy",
     run_not_built},
    {"push-face", kRequiresOut,
     "[--in file.korv] --faces N0,N1,... [--thickness T] --out file.korv",
     "make every listed face its own closed board: a group holding the face swept --thickness\n"
     "along its normal (PushFacesCommand)",
     run_not_built},
    {"reset-axis", kRequiresOut, "[--in file.korv] --name A[,B...] --out file.korv",
     "reset the named groups' axes, red along the horizontal edge nearest world +X, blue up,\n"
     "origin at the lowest corner, moving nothing (ResetGroupAxisCommand); exit 2 if every\n"
     "axis was already square",
     run_not_built, nullptr, "reset-axis requires --name A[,B...] and --out"},
    {"jpp", kOwnArgs,
     "--tool thicken|joint|round|vector|normal|extrude|follow --value TEXT [--in file.korv] "
     "[--out file.korv]",
     "joint push-pull (JppCommand); --value is a measurement (\"100\", \"100mm\", \"10cm\",\n"
     "\"1m\", ...; the last number wins)",
     nullptr, run_argv_not_built},
    {"tavikscale", kOwnArgs | kRequiresOut,
     "--tool scale|taper|shear|stretch --grip N|--grip-at X,Y,Z --value TEXT [--in file.korv] "
     "--out file.korv",
     "box scaling with one of the 26 grips or a grip point (TavikNodesCommand);\n"
     "\"tavikscale: --tool must be scale, taper, shear or stretch\"",
     nullptr, run_argv_not_built},
    {"shape-bender", kOwnArgs | kRequiresOut,
     "--line L --curve C [--toggle-line] [--toggle-curve] [--in file.korv] --out file.korv",
     "bend a node along a curve (ShapeBenderCommand); \"shape-bender: nothing to bend\"", nullptr,
     run_argv_not_built},
    {"truebend", kOwnArgs | kRequiresOut,
     "--name NODE --bend AMOUNT [--convex] [--segments N] [--no-segmented] [--no-soften] "
     "[--in file.korv] --out file.korv",
     "the node's bottom-front edge becomes an arc (TrueBendCommand; --bend in degrees or as a\n"
     "distance, 24 segments by default)",
     nullptr, run_argv_not_built,
     "truebend requires --name NODE --bend AMOUNT and --out (see usage)"},
    {"quadface", kOwnArgs,
     "--verb grow-selection|shrink-selection|select-ring|grow-ring|shrink-ring|select-loop|"
     "grow-loop|shrink-loop|region-to-loop|select-quads-from-edges|select-bounding-edges|"
     "deselect-triangulation|make-planar|count-polygons|quad [--in file.korv] [--out file.korv]",
     "quad selection and editing tools; make-planar (QftMakePlanarCommand) needs --out and\n"
     "exits 2 if nothing moved",
     nullptr, run_argv_not_built},

    // Site planning: contours are the root mesh's curves; every mutating verb here is a dry
    // run without --out, and a refusal is exit 2 with nothing written.
    {"", 0, "", "--- SITE PLAN (terrain from contours, drape, massing) ---------------------"},
    {"contour-check", kReadOnly | kBareFile, "[file.korv | --in file.korv]",
     "the contour gate (check_contours): can the alive curves stand for ground, one level per\n"
     "plan point? exit 0 \"usable as terrain: YES\"; exit 2 with the blamed pair, or when the\n"
     "model has no alive contour",
     run_contour_check, nullptr,
     "contour-check is read-only; it reports the contour set, it does not repair it (that is "
     "contour-join)"},
    {"contour-join", kDryRun,
     "[--in file.korv] [--contour-tol F] [--contour-elev-tol F] [--contour-spread F] "
     "[--out file.korv]",
     "join contour ends within --contour-tol (0.5 m) and --contour-elev-tol (0.01 m), close\n"
     "loops, drop repeated points, fix winding (JoinContourEndsCommand); exit 2 on a refusal\n"
     "or without contours",
     run_contour_join},
    {"terrain-extrude", kDryRun, "[--in file.korv] [--faces N0,N1,...] [--out file.korv]",
     "push flat site faces up to the level of the contour enclosing them\n"
     "(ExtrudeUpToContoursCommand; --faces defaults to every alive face); the contour gate\n"
     "runs first; exit 2 if the set cannot define a terrain or no face could be extruded",
     run_terrain_extrude},
    {"drape", kDryRun,
     "[--in file.korv] [--verts N0,N1,... | --faces N0,N1,...] [--src other.korv] [--magnet] "
     "[--out file.korv]",
     "project the selection down onto the other geometry or onto --src\n"
     "(DrapeVerticesCommand); --magnet for the magnet mode; exit 2 when nothing is selected",
     run_not_built},
    {"magnet", kDryRun,
     "[--in file.korv] [--verts N0,N1,... | --faces N0,N1,...] [--src other.korv] "
     "[--out file.korv]",
     "drape in the magnet mode", run_not_built},
    {"move-to-z", kDryRun,
     "[--in file.korv] [--verts N0,N1,... | --faces N0,N1,...] --to-z Z [--out file.korv]",
     "set the world z of the selection (MoveVerticesToLevelCommand, \"Move to Z\")", run_not_built},
    {"move-to-plane", kDryRun,
     "[--in file.korv] [--verts N0,N1,... | --faces N0,N1,...] --point X,Y,Z --normal X,Y,Z "
     "[--out file.korv]",
     "move the selection onto a plane along z, refusing a near-vertical plane, or along the\n"
     "normal (MoveVerticesToLevelCommand, \"Move to Plane\")",
     run_not_built},
    {"flatten-to-z", kDryRun, "[--in file.korv] [--out file.korv]",
     "flatten every group and instance of the document through its world transform\n"
     "(FlattenSelectionCommand)",
     run_not_built},
    {"crop-to-boundary", kDryRun, "[--in file.korv] [--decompose] [--out file.korv]",
     "trim to the vertical prism through a site boundary (CropToBoundaryCommand);\n"
     "--decompose for a concave boundary",
     run_not_built},
    {"massing-chain", kReadOnly | kBareFile, "[file.korv | --in file.korv]",
     "chain the linework into rings and report nodes, arcs and junctions", run_not_built},
    {"generate-buildings", kDryRun, "[--in file.korv] [--height H] [--base-z Z] [--out file.korv]",
     "chain the linework and build masses on the footprints, courtyards inside them\n"
     "(GenerateBuildingsCommand)",
     run_not_built},
    {"merge-buildings", kDryRun, "[--in file.korv] [--out file.korv]",
     "fuse abutting building masses into one solid (MergeSolidBuildingsCommand)", run_not_built},
    {"road-profile", kDryRun,
     "[--in file.korv] [--road-half-width W] [--road-drop D] [--road-slope S] "
     "[--road-sides both|left|right|none] [--out file.korv]",
     "carriageway and batters from a centreline (MakeRoadProfileCommand; half-width 3.5 m,\n"
     "drop 1 m by default)",
     run_not_built},
};

// Appends `help` after `lead`, each further line of it under a six-space "# ".
void append_help(std::string& out, std::string_view lead, std::string_view help) {
    out.append(lead);
    for (;;) {
        const std::size_t end = help.find('\n');
        out.append(help.substr(0, end)).push_back('\n');
        if (end == std::string_view::npos) return;
        help.remove_prefix(end + 1);
        out.append("      # ");
    }
}

}  // namespace

std::span<const VerbSpec> verb_table() { return kVerbs; }

const VerbSpec* find_verb(std::string_view name) {
    if (name.empty()) return nullptr;
    auto it = std::find_if(std::begin(kVerbs), std::end(kVerbs),
                           [&](const VerbSpec& v) { return v.name == name; });
    return it == std::end(kVerbs) ? nullptr : &*it;
}

void append_usage(std::string& out) {
    out += "Korvan CLI\n";
    for (const VerbSpec& v : kVerbs) {
        if (v.name.empty()) {
            append_help(out, "  # ", v.help);
            continue;
        }
        out.append("  korvan_cli ").append(v.name);
        if (!v.synopsis.empty()) out.append(" ").append(v.synopsis);
        if (v.help.empty()) {
            out += '\n';
        } else {
            append_help(out, "  # ", v.help);
        }
    }
}

}  // namespace korvan::cli
