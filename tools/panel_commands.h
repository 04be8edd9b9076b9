#pragma once

#include <optional>
#include <string>

#include "core/mesh.h"
#include "document/commands/command.h"
#include "document/commands/undo_steps.h"
#include "tools/panels.h"

// The undoable steps of the board and joint tools. Each snapshots the target mesh before it
// changes it: undo puts the snapshot back exactly, and a refusal inside redo() restores it
// too (the rabbet pair can refuse B after cutting A). The result of the last redo() is kept
// for the caller to report.

namespace korvan {

class Document;

// Shared snapshot handling; `Result` is the operation's result record.
template <class Result>
class PanelStep : public Command {
public:
    void undo() override;
    bool is_noop() const override { return !changed_; }
    const Result& result() const { return result_; }
    // True when the last redo() restored the snapshot after a partial cut.
    bool restored() const { return restored_; }

protected:
    PanelStep(Document& doc, MeshLocator target) : doc_(doc), target_(std::move(target)) {}
    // Runs op(mesh) -> Result on the target; keeps the change when result.ok.
    template <class Op>
    void run(Op&& op);

private:
    Document& doc_;
    MeshLocator target_;
    std::optional<Mesh> before_;
    Result result_;
    bool changed_ = false;
    bool restored_ = false;
};

class EmitPanelCommand : public PanelStep<PanelEmitResult> {
public:
    EmitPanelCommand(Document& doc, MeshLocator target, PanelBox box, PanelOptions options)
        : PanelStep(doc, std::move(target)), box_(box), options_(options) {}
    std::string name() const override { return "Panel"; }
    void redo() override;

private:
    PanelBox box_;
    PanelOptions options_;
};

class DrillDowelsCommand : public PanelStep<DowelResult> {
public:
    DrillDowelsCommand(Document& doc, MeshLocator target, PanelBox box, DowelRowSpec spec,
                       PanelOptions options)
        : PanelStep(doc, std::move(target)), box_(box), spec_(spec), options_(options) {}
    std::string name() const override { return "Drill Dowels"; }
    void redo() override;

private:
    PanelBox box_;
    DowelRowSpec spec_;
    PanelOptions options_;
};

// A mortise is a tenon with its length negated; the label follows the sign.
class CutTenonCommand : public PanelStep<TenonResult> {
public:
    CutTenonCommand(Document& doc, MeshLocator target, PanelBox box, TenonSpec spec,
                    PanelOptions options)
        : PanelStep(doc, std::move(target)), box_(box), spec_(spec), options_(options) {}
    std::string name() const override { return spec_.length < 0.0f ? "Mortise" : "Tenon"; }
    void redo() override;

private:
    PanelBox box_;
    TenonSpec spec_;
    PanelOptions options_;
};

class CutRabbetCommand : public PanelStep<RabbetResult> {
public:
    CutRabbetCommand(Document& doc, MeshLocator target, PanelBox box, RabbetSpec spec,
                     PanelOptions options)
        : PanelStep(doc, std::move(target)), box_(box), spec_(spec), options_(options) {}
    std::string name() const override { return "Rabbet"; }
    void redo() override;

private:
    PanelBox box_;
    RabbetSpec spec_;
    PanelOptions options_;
};

class CutRabbetPairCommand : public PanelStep<RabbetPairResult> {
public:
    CutRabbetPairCommand(Document& doc, MeshLocator target, PanelBox a, PanelBox b,
                         RabbetPairSpec spec, PanelOptions options)
        : PanelStep(doc, std::move(target)), a_(a), b_(b), spec_(spec), options_(options) {}
    std::string name() const override { return "Rabbet Pair"; }
    void redo() override;

private:
    PanelBox a_, b_;
    RabbetPairSpec spec_;
    PanelOptions options_;
};

class CutGrooveCommand : public PanelStep<GrooveResult> {
public:
    CutGrooveCommand(Document& doc, MeshLocator target, PanelBox box, GrooveSpec spec,
                     PanelOptions options)
        : PanelStep(doc, std::move(target)), box_(box), spec_(spec), options_(options) {}
    std::string name() const override { return "Groove"; }
    void redo() override;

private:
    PanelBox box_;
    GrooveSpec spec_;
    PanelOptions options_;
};

template <class Result>
template <class Op>
void PanelStep<Result>::run(Op&& op) {
    changed_ = false;
    restored_ = false;
    Mesh* mesh = target_.resolve(doc_);
    if (mesh == nullptr) {
        result_ = Result{};
        result_.message = "the target mesh is gone";
        return;
    }
    before_.emplace(*mesh);
    result_ = op(*mesh);
    if (result_.ok) {
        changed_ = true;
        return;
    }
    // A refusal normally leaves the mesh as it was; a partial cut does not.
    if (!same_mesh_content(*mesh, *before_)) {
        assign_mesh_marking_changes(*mesh, *before_);
        restored_ = true;
    }
    before_.reset();
}

template <class Result>
void PanelStep<Result>::undo() {
    if (!changed_ || !before_) return;
    if (Mesh* mesh = target_.resolve(doc_)) assign_mesh_marking_changes(*mesh, *before_);
}

}  // namespace korvan
