#include "tools/solid_boolean.h"

#include "tools/boolean_bsp.h"
#include "tools/boolean_exact.h"

namespace korvan {

const char* boolean_op_name(BooleanOp op) {
    switch (op) {
        case BooleanOp::kUnion:
            return "union";
        case BooleanOp::kSubtract:
            return "subtract";
        case BooleanOp::kIntersect:
            return "intersect";
    }
    return "union";
}

std::optional<BooleanOp> parse_boolean_op(std::string_view text) {
    for (const BooleanOp op : {BooleanOp::kUnion, BooleanOp::kSubtract, BooleanOp::kIntersect}) {
        if (text == boolean_op_name(op)) return op;
    }
    return std::nullopt;
}

const char* boolean_engine_name(BooleanEngine engine) {
    return engine == BooleanEngine::kExact ? "exact" : "bsp";
}

std::optional<Mesh> solid_boolean(BooleanEngine engine, BooleanOp op, const Mesh& target,
                                  const Mesh& tool) {
    if (engine == BooleanEngine::kExact) return exact_boolean(op, target, tool);
    return csg_boolean(op, target, tool);
}

std::string SolidBooleanCommand::name() const {
    switch (op_) {
        case BooleanOp::kUnion:
            return "Solid Union";
        case BooleanOp::kSubtract:
            return "Solid Subtract";
        case BooleanOp::kIntersect:
            return "Solid Intersect";
    }
    return "Solid Union";
}

void SolidBooleanCommand::apply(Mesh& mesh) {
    std::optional<Mesh> result = solid_boolean(engine_, op_, mesh, tool_);
    if (!result) {
        status_ = Status::kNoAnswer;
    } else if (result->alive_face_count() == 0) {
        status_ = Status::kEmpty;  // a real answer, but writing it would lose the target
    } else {
        status_ = Status::kApplied;
        mesh = std::move(*result);
    }
}

}  // namespace korvan
