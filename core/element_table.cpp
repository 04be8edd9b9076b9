#include "core/element_table.h"

#include "core/element_table_impl.h"
#include "core/mesh_elements.h"

namespace korvan {

template class ElementTable<Vertex>;
template class ElementTable<HalfEdge>;
template class ElementTable<Edge>;
template class ElementTable<Face>;
template class TableJournal<Vertex>;
template class TableJournal<HalfEdge>;
template class TableJournal<Edge>;
template class TableJournal<Face>;
template class TableSnapshot<Vertex>;
template class TableSnapshot<HalfEdge>;
template class TableSnapshot<Edge>;
template class TableSnapshot<Face>;

}  // namespace korvan
