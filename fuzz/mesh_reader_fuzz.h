#pragma once

#include <cstdlib>

#include "core/mesh.h"
#include "io/mesh_import.h"

// What every mesh reader promises besides "never crash, never leak": a failed read leaves a
// message, and a successful one a mesh with at least one alive face whose rings all close.
inline void check_mesh_read(bool ok, const korvan::Mesh& mesh) {
    if (!ok) {
        if (korvan::io::last_import_error().empty()) std::abort();
        return;
    }
    if (mesh.alive_face_count() == 0) std::abort();
    for (korvan::FaceId f = 0; f < mesh.faces().size(); ++f) {
        if (mesh.faces()[f].alive && mesh.face_vertices(f).size() < 3) std::abort();
    }
}
