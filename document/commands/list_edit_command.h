#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/commands/command.h"
#include "document/light.h"
#include "document/material_library.h"
#include "document/scene.h"
#include "document/section_plane.h"
#include "document/tag.h"
#include "document/text_label.h"

namespace korvan {

class Document;

// Base of the edits of one of the document's small value lists (tags, scenes, sections,
// lights, labels, the material library). The undo state is the whole list before and after
// the edit: it costs little at these sizes and gives the list back exactly, unique names and
// positions included. The edit itself runs once; a later redo() puts the after-list back.
template <class List>
class ListEditCommand : public Command {
  public:
    std::string name() const override { return label_; }
    void redo() override;
    void undo() override;
    // True when the edit was refused or left the list as it was.
    bool is_noop() const override { return !changed_; }

    // The entry the edit made, changed or removed; -1 when it was refused.
    std::int32_t index() const { return index_; }
    // Static text naming why the edit was refused; empty otherwise.
    const char* refusal() const { return refusal_; }

  protected:
    ListEditCommand(Document& doc, std::string label) : doc_(doc), label_(std::move(label)) {}

    // Runs the edit; returns the index it touched, or -1 after calling refuse().
    virtual std::int32_t apply(Document& doc) = 0;
    virtual List& list(Document& doc) const = 0;
    std::int32_t refuse(const char* reason) {
        refusal_ = reason;
        return -1;
    }

  private:
    Document& doc_;
    std::string label_;
    List before_;
    List after_;
    std::int32_t index_ = -1;
    const char* refusal_ = "";
    bool has_after_ = false;
    bool applied_ = false;  // the after-list is in place
    bool changed_ = false;  // what the last redo() did
};

extern template class ListEditCommand<std::vector<Tag>>;
extern template class ListEditCommand<std::vector<Scene>>;
extern template class ListEditCommand<std::vector<SectionPlane>>;
extern template class ListEditCommand<std::vector<Light>>;
extern template class ListEditCommand<std::vector<TextLabel>>;
extern template class ListEditCommand<MaterialLibrary>;

}  // namespace korvan
