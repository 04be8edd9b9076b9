#pragma once

#include <memory>
#include <string>
#include <vector>

#include "document/commands/command.h"
#include "document/commands/undo_steps.h"
#include "tools/roofs/roofs.h"

// The roof generators as undoable steps on a document mesh. Each journals the mesh around
// its build, so undo takes back exactly what the roof added.

namespace korvan {

class Document;

// One roof build with its report; Build(mesh, footprint, spec) is the generator.
template <class Spec, class Report, Report (*Build)(Mesh&, std::span<const Point2>, const Spec&)>
class BuildRoofCommand : public Command {
  public:
    BuildRoofCommand(Document& doc, MeshLocator target, std::vector<Point2> footprint, Spec spec,
                     const char* label)
        : doc_(doc), target_(std::move(target)), footprint_(std::move(footprint)), spec_(spec),
          label_(label) {}

    std::string name() const override { return label_; }
    void redo() override {
        report_ = {};
        report_.message = "the mesh is no longer in the document";
        changed_ = false;
        Mesh* mesh = target_.resolve(doc_);
        if (mesh == nullptr) return;
        journal_ = std::make_unique<MeshJournal>();
        ScopedMeshJournal guard(*mesh, *journal_);
        report_ = Build(*mesh, footprint_, spec_);
        changed_ = report_.ok;
    }
    void undo() override {
        Mesh* mesh = target_.resolve(doc_);
        if (changed_ && mesh != nullptr && journal_) mesh->restore(*journal_);
    }
    bool is_noop() const override { return !changed_; }

    const Report& report() const { return report_; }

  private:
    Document& doc_;
    MeshLocator target_;
    std::vector<Point2> footprint_;
    Spec spec_;
    const char* label_;
    Report report_;
    std::unique_ptr<MeshJournal> journal_;
    bool changed_ = false;
};

// "Flat Roof": slab, parapet and fascia.
class BuildFlatRoofCommand
    : public BuildRoofCommand<FlatRoofSpec, FlatRoofReport, &build_flat_roof> {
  public:
    BuildFlatRoofCommand(Document& doc, MeshLocator target, std::vector<Point2> footprint,
                         FlatRoofSpec spec)
        : BuildRoofCommand(doc, std::move(target), std::move(footprint), spec, "Flat Roof") {}
};

// "Pitched Roof": the contour stack with its quantised ridge.
class BuildPitchedRoofCommand
    : public BuildRoofCommand<PitchedRoofSpec, PitchedRoofReport, &build_pitched_roof> {
  public:
    BuildPitchedRoofCommand(Document& doc, MeshLocator target, std::vector<Point2> footprint,
                            PitchedRoofSpec spec)
        : BuildRoofCommand(doc, std::move(target), std::move(footprint), spec, "Pitched Roof") {}
};

// "Skeleton Roof": the exact hip roof.
class BuildSkeletonRoofCommand
    : public BuildRoofCommand<SkeletonRoofSpec, SkeletonRoofReport, &build_skeleton_roof> {
  public:
    BuildSkeletonRoofCommand(Document& doc, MeshLocator target, std::vector<Point2> footprint,
                             SkeletonRoofSpec spec)
        : BuildRoofCommand(doc, std::move(target), std::move(footprint), spec, "Skeleton Roof") {}
};

}  // namespace korvan
