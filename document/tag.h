#pragma once

#include <string>

namespace korvan {

// A tag (layer) of the document. Face layer ids and tag indices are one numbering; hiding a
// tag hides every node carrying it with the node's whole subtree.
struct Tag {
    std::string name;
    bool visible = true;

    friend bool operator==(const Tag&, const Tag&) = default;
};

}  // namespace korvan
