#include "io/collada.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <charconv>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/mat4.h"
#include "core/mesh.h"
#include "document/document.h"
#include "document/material_library.h"
#include "io/mesh_import.h"

// The only file that sees assimp. Assimp hands every model over Y-up (it turns Z-up
// COLLADA files itself and applies the file's unit size at the root); the root's transform
// and a quarter turn about X bring it back to metres with +Z up. The root's own meshes land
// in the root mesh with that transform applied, as the root of a model has no transform;
// every other node becomes a group with its own transform.

namespace korvan::io {
namespace {

// Column-major, translation in elements 12-14; assimp's matrices are row-major.
Mat4 to_mat4(const aiMatrix4x4& m) {
    Mat4 out;
    const float rows[4][4] = {{m.a1, m.a2, m.a3, m.a4},
                              {m.b1, m.b2, m.b3, m.b4},
                              {m.c1, m.c2, m.c3, m.c4},
                              {m.d1, m.d2, m.d3, m.d4}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) out.m[c * 4 + r] = rows[r][c];
    }
    return out;
}

// (x, y, z) Y-up to (x, -z, y) Z-up.
aiMatrix4x4 y_up_to_z_up() {
    return aiMatrix4x4(1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1);
}

class ColladaReader {
  public:
    explicit ColladaReader(Document& doc) : doc_(doc) {}

    bool read(const std::filesystem::path& path) {
        Assimp::Importer importer;
        // Points and lines carry no surface; dropping them keeps every face a polygon.
        importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE,
                                    aiPrimitiveType_POINT | aiPrimitiveType_LINE);
        const aiScene* scene = importer.ReadFile(path.string(), aiProcess_SortByPType);
        if (scene == nullptr || scene->mRootNode == nullptr) {
            std::string why = importer.GetErrorString();
            return detail::fail_import(why.empty() ? "assimp could not read it" : why);
        }
        scene_ = scene;
        add_materials();
        const aiMatrix4x4 root = y_up_to_z_up() * scene->mRootNode->mTransformation;
        add_meshes(*scene->mRootNode, root, doc_.root().mesh);
        faces_ += link(doc_.root().mesh);

        // Explicit stack: a hostile file may nest nodes deeper than the call stack allows.
        struct Pending {
            const aiNode* node;
            SceneNode* parent;
            aiMatrix4x4 prefix;  // applied before the node's own transform (root only)
        };
        std::vector<Pending> stack;
        for (unsigned i = scene->mRootNode->mNumChildren; i-- > 0;) {
            stack.push_back({scene->mRootNode->mChildren[i], &doc_.root(), root});
        }
        while (!stack.empty()) {
            const Pending p = stack.back();
            stack.pop_back();
            Mesh mesh;
            add_meshes(*p.node, aiMatrix4x4(), mesh);
            faces_ += link(mesh);
            const aiMatrix4x4 local = p.prefix * p.node->mTransformation;
            SceneNode* group = doc_.create_group(p.parent, p.node->mName.C_Str(),
                                                 std::move(mesh), to_mat4(local));
            for (unsigned i = p.node->mNumChildren; i-- > 0;) {
                stack.push_back({p.node->mChildren[i], group, aiMatrix4x4()});
            }
        }
        if (faces_ == 0) return detail::fail_import("it holds no face");
        return true;
    }

  private:
    void add_materials() {
        for (unsigned i = 0; i < scene_->mNumMaterials; ++i) {
            const aiMaterial* source = scene_->mMaterials[i];
            Material m;
            aiString name;
            if (source->Get(AI_MATKEY_NAME, name) == AI_SUCCESS) m.name = name.C_Str();
            if (m.name.empty()) {
                char buf[16];
                m.name = "Material ";
                m.name.append(buf, std::to_chars(buf, buf + sizeof buf, i + 1).ptr);
            }
            m.id = m.name;
            aiColor4D diffuse;
            if (source->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse) == AI_SUCCESS) {
                m.albedo = {diffuse.r, diffuse.g, diffuse.b};
            }
            float opacity = 1.0f;
            if (source->Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS && opacity >= 0.0f &&
                opacity <= 1.0f) {
                m.opacity = opacity;
            }
            const std::int32_t index = doc_.materials().add(std::move(m));
            material_index_.push_back(static_cast<std::uint32_t>(index));
        }
    }

    // Appends the node's meshes to `mesh`, positions through `transform`.
    void add_meshes(const aiNode& node, const aiMatrix4x4& transform, Mesh& mesh) {
        std::vector<VertexId> ring;
        for (unsigned k = 0; k < node.mNumMeshes; ++k) {
            if (node.mMeshes[k] >= scene_->mNumMeshes) continue;
            const aiMesh& source = *scene_->mMeshes[node.mMeshes[k]];
            const VertexId base = static_cast<VertexId>(mesh.vertices().size());
            for (unsigned v = 0; v < source.mNumVertices; ++v) {
                const aiVector3D p = transform * source.mVertices[v];
                mesh.add_vertex({p.x, p.y, p.z});
            }
            const std::uint32_t material = source.mMaterialIndex < material_index_.size()
                                               ? material_index_[source.mMaterialIndex]
                                               : 0;
            for (unsigned f = 0; f < source.mNumFaces; ++f) {
                const aiFace& face = source.mFaces[f];
                if (face.mNumIndices < 3) continue;
                ring.clear();
                bool valid = true;
                for (unsigned c = 0; c < face.mNumIndices; ++c) {
                    valid = valid && face.mIndices[c] < source.mNumVertices;
                    ring.push_back(base + face.mIndices[c]);
                }
                if (!valid) continue;
                if (const auto added = mesh.add_ngon(ring)) {
                    mesh.set_face_material(*added, material);
                }
            }
        }
    }

    static std::uint64_t link(Mesh& mesh) {
        if (mesh.faces().empty()) return 0;
        mesh.weld_vertices(kWeldTolerance);
        mesh.link_shared_edges();
        return mesh.alive_face_count();
    }

    Document& doc_;
    const aiScene* scene_ = nullptr;
    std::vector<std::uint32_t> material_index_;
    std::uint64_t faces_ = 0;
};

}  // namespace

bool import_collada(const std::filesystem::path& path, Document& doc) {
    detail::clear_import_error();
    return ColladaReader(doc).read(path);
}

}  // namespace korvan::io
