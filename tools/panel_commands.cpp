#include "tools/panel_commands.h"

namespace korvan {

void EmitPanelCommand::redo() {
    run([&](Mesh& mesh) { return emit_panel(mesh, box_, options_); });
}

void DrillDowelsCommand::redo() {
    run([&](Mesh& mesh) { return drill_dowels(mesh, box_, spec_, options_); });
}

void CutTenonCommand::redo() {
    run([&](Mesh& mesh) { return cut_tenon(mesh, box_, spec_, options_); });
}

void CutRabbetCommand::redo() {
    run([&](Mesh& mesh) { return cut_rabbet(mesh, box_, spec_, options_); });
}

void CutRabbetPairCommand::redo() {
    run([&](Mesh& mesh) { return cut_rabbet_pair(mesh, a_, b_, spec_, options_); });
}

void CutGrooveCommand::redo() {
    run([&](Mesh& mesh) { return cut_groove(mesh, box_, spec_, options_); });
}

}  // namespace korvan
