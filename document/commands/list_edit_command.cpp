#include "document/commands/list_edit_command.h"

#include "document/document.h"

namespace korvan {

template <class List>
void ListEditCommand<List>::redo() {
    if (applied_) return;
    List& current = list(doc_);
    if (has_after_) {
        current = after_;
        applied_ = changed_ = true;
        return;
    }
    before_ = current;
    refusal_ = "";
    changed_ = false;
    index_ = apply(doc_);
    if (index_ < 0 || current == before_) return;
    after_ = current;
    has_after_ = true;
    applied_ = changed_ = true;
}

template <class List>
void ListEditCommand<List>::undo() {
    if (!applied_) return;
    list(doc_) = before_;
    applied_ = false;
}

template class ListEditCommand<std::vector<Tag>>;
template class ListEditCommand<std::vector<Scene>>;
template class ListEditCommand<std::vector<SectionPlane>>;
template class ListEditCommand<std::vector<Light>>;
template class ListEditCommand<std::vector<TextLabel>>;
template class ListEditCommand<MaterialLibrary>;

}  // namespace korvan
