#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "document/document.h"

// Stairs to a stair code: the solver picks the riser count, riser height and going that keep
// riser, going and the Blondel sum 2R + G inside their bands, preferring 2R + G nearest the
// target and then the shorter run; the generator builds the stair as a model. An unsolvable
// specification is refused with its reason; an out-of-code stair is never produced.

namespace korvan {

enum class StairShape : std::uint8_t { kStraight, kL, kU };  // l and u turn at a landing
enum class StairStringers : std::uint8_t { kSawtooth, kHoused, kMixed, kNone };

// The bands of the stair rules of TCVN 4451 and QCVN 04-1, in metres.
struct StairCode {
    float riser_min = 0.150f;
    float riser_max = 0.180f;
    float going_min = 0.250f;
    float going_max = 0.300f;
    float blondel_min = 0.60f;
    float blondel_max = 0.65f;
    float blondel_target = 0.63f;
};

struct StairSpec {
    float total_rise = 3.3f;  // floor to floor
    float run_cap = 0.0f;     // longest developed going run allowed; 0 = no cap
    float width = 0.9f;
    StairShape shape = StairShape::kStraight;
    std::int32_t landing_after = 0;  // riser the landing follows; below 1 = the middle one
    float landing_depth = 0.0f;      // 0 = the width
    float tread_thickness = 0.05f;
    float nosing = 0.025f;
    bool open_risers = false;
    // Mixed: sawtooth on the right of the climber, housed on the left.
    StairStringers stringers = StairStringers::kMixed;
    std::optional<float> well_gap;  // gap between the flights of a u stair; 0.1 m when absent
    StairCode code;
};

struct StairSolution {
    bool ok = false;
    std::string message;  // why there is no code-legal stair; empty when ok
    float total_rise = 0.0f;
    std::int32_t risers = 0;
    std::int32_t treads = 0;  // risers - 1
    // risers - 1 for a straight stair, risers - 2 with a landing (its riser has no tread).
    std::int32_t goings = 0;
    float riser = 0.0f;  // R = rise / risers
    float going = 0.0f;  // G
    float blondel = 0.0f;  // 2R + G
    float run = 0.0f;      // goings x G
    std::int32_t landing_after = 0;  // landing stairs only
    float landing_depth = 0.0f;
};

// The least riser count, then every count whose riser fits the band, going by going: the
// first admissible count is kept unless a later one brings 2R + G nearer the target by more
// than 1e-6, or as near with a shorter run. Refuses a rise or width that is not positive and
// empty or inverted bands (every such reason at once), then, when no count fits: a run cap
// that is too short, no riser count inside the riser band, or no going inside both the going
// band and the Blondel band.
StairSolution solve_stair(const StairSpec& spec);

// Plan extent of a generated stair: along the first flight and across it, stringers included.
struct StairFootprint {
    float length = 0.0f;
    float width = 0.0f;
};

// The stair as a model: treads with their nosings, risers unless open, landings, and side
// stringers, each a closed solid of its own in the root mesh. The first flight climbs along +y
// from the origin with its width along +x; an l stair turns right at its landing, a u stair
// comes back beside the first flight across the well gap.
class StairGenerator {
  public:
    // Why the spec's geometry options cannot be built ("" when they can): tread thickness,
    // nosing, landing depth and well gap against the solution's riser and going.
    static std::string geometry_problem(const StairSpec& spec, const StairSolution& solution);
    // Nothing for an unsolved solution or a geometry problem.
    static std::optional<Document> make_stair_document(const StairSpec& spec,
                                                       const StairSolution& solution);
    static StairFootprint footprint(const Document& stair);
};

}  // namespace korvan
