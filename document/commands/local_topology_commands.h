#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/ids.h"
#include "core/mesh_local_ops.h"
#include "document/commands/mesh_edit_commands.h"

// The local topology operators as undo steps. Each keeps the mesh before and after as whole
// copies (the ring-snapshot operators renumber every face and edge, so nothing smaller could
// give the ids back), and a refusal leaves the mesh untouched and the command a no-op. The
// operator's result record is kept for the caller to report.

namespace korvan {

// split_vertex with a group, unweld_vertex without. "Split Vertex" or "Unweld Vertex".
class SplitVertexCommand final : public MeshSnapshotCommand {
  public:
    SplitVertexCommand(Document& doc, MeshLocator target, VertexId vertex,
                       std::optional<std::vector<FaceId>> group)
        : MeshSnapshotCommand(doc, std::move(target)), vertex_(vertex), group_(std::move(group)) {}

    std::string name() const override { return group_ ? "Split Vertex" : "Unweld Vertex"; }
    const SplitVertexResult& result() const { return result_; }

  private:
    void apply(Mesh& mesh) override;

    VertexId vertex_;
    std::optional<std::vector<FaceId>> group_;
    SplitVertexResult result_;
};

// weld_selected_vertices. "Weld Vertices".
class WeldSelectedVerticesCommand final : public MeshSnapshotCommand {
  public:
    WeldSelectedVerticesCommand(Document& doc, MeshLocator target, std::vector<VertexId> verts,
                                float tolerance)
        : MeshSnapshotCommand(doc, std::move(target)),
          verts_(std::move(verts)),
          tolerance_(tolerance) {}

    std::string name() const override { return "Weld Vertices"; }
    const WeldSelectedResult& result() const { return result_; }

  private:
    void apply(Mesh& mesh) override { result_ = weld_selected_vertices(mesh, verts_, tolerance_); }

    std::vector<VertexId> verts_;
    float tolerance_;
    WeldSelectedResult result_;
};

// make_planar. "Make Planar".
class MakePlanarCommand final : public MeshSnapshotCommand {
  public:
    MakePlanarCommand(Document& doc, MeshLocator target, std::vector<FaceId> faces)
        : MeshSnapshotCommand(doc, std::move(target)), faces_(std::move(faces)) {}

    std::string name() const override { return "Make Planar"; }
    const MakePlanarResult& result() const { return result_; }

  private:
    void apply(Mesh& mesh) override { result_ = make_planar(mesh, faces_); }

    std::vector<FaceId> faces_;
    MakePlanarResult result_;
};

// split_edge_welded. "Split Edge".
class SplitEdgeWeldedCommand final : public MeshSnapshotCommand {
  public:
    SplitEdgeWeldedCommand(Document& doc, MeshLocator target, EdgeId edge, float t)
        : MeshSnapshotCommand(doc, std::move(target)), edge_(edge), t_(t) {}

    std::string name() const override { return "Split Edge"; }
    const SplitEdgeWeldedResult& result() const { return result_; }

  private:
    void apply(Mesh& mesh) override { result_ = split_edge_welded(mesh, edge_, t_); }

    EdgeId edge_;
    float t_;
    SplitEdgeWeldedResult result_;
};

// dissolve_edge. "Dissolve Edge".
class DissolveEdgeCommand final : public MeshSnapshotCommand {
  public:
    DissolveEdgeCommand(Document& doc, MeshLocator target, EdgeId edge, float tolerance)
        : MeshSnapshotCommand(doc, std::move(target)), edge_(edge), tolerance_(tolerance) {}

    std::string name() const override { return "Dissolve Edge"; }
    const DissolveEdgeResult& result() const { return result_; }

  private:
    void apply(Mesh& mesh) override { result_ = dissolve_edge(mesh, edge_, tolerance_); }

    EdgeId edge_;
    float tolerance_;
    DissolveEdgeResult result_;
};

// collapse_edge. "Collapse Edge".
class CollapseEdgeCommand final : public MeshSnapshotCommand {
  public:
    CollapseEdgeCommand(Document& doc, MeshLocator target, EdgeId edge, CollapseTarget where)
        : MeshSnapshotCommand(doc, std::move(target)), edge_(edge), where_(where) {}

    std::string name() const override { return "Collapse Edge"; }
    const CollapseEdgeResult& result() const { return result_; }

  private:
    void apply(Mesh& mesh) override { result_ = collapse_edge(mesh, edge_, where_); }

    EdgeId edge_;
    CollapseTarget where_;
    CollapseEdgeResult result_;
};

// turn_edge. "Turn Edge".
class TurnEdgeCommand final : public MeshSnapshotCommand {
  public:
    TurnEdgeCommand(Document& doc, MeshLocator target, EdgeId edge, float tolerance)
        : MeshSnapshotCommand(doc, std::move(target)), edge_(edge), tolerance_(tolerance) {}

    std::string name() const override { return "Turn Edge"; }
    const TurnEdgeResult& result() const { return result_; }

  private:
    void apply(Mesh& mesh) override { result_ = turn_edge(mesh, edge_, tolerance_); }

    EdgeId edge_;
    float tolerance_;
    TurnEdgeResult result_;
};

}  // namespace korvan
