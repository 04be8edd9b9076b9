#include "document/component_placer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <utility>

#include "core/dvec3.h"
#include "core/mat4.h"
#include "core/tolerances.h"
#include "document/document.h"
#include "document/slab_solid.h"
#include "document/tree_walk.h"

namespace korvan {
namespace {

// Fallback shapes, in the opening's local frame (y into the wall from its outer plane).
constexpr float kFrameFace = 0.06f;    // width of a frame member seen from outside
constexpr float kFrameFront = -0.02f;  // proud of the wall plane, so it shows on solid massing
constexpr float kFrameBack = 0.10f;
constexpr float kLeafFront = 0.01f;
constexpr float kLeafBack = 0.05f;
constexpr float kGlassFront = 0.03f;
constexpr float kGlassBack = 0.04f;
// Below this size a frame would swallow the opening, so the fallback is one block.
constexpr float kMinFramedSize = 3.0f * kFrameFace;
// A normal this close to vertical takes +y instead of +z as the opening's up.
constexpr double kVerticalNormalCos = 0.999;

struct KindTraits {
    std::string_view id;
    std::string_view label;  // instance name and the start of the definition's name
    std::string_view category;
    float width = 1.0f;
    float height = 1.0f;
};

KindTraits traits(OpeningKind kind) {
    switch (kind) {
        case OpeningKind::kDoor:
            return {kDefaultDoorId, "Door", "Doors", 0.9f, 2.1f};
        case OpeningKind::kWindow:
            return {kDefaultWindowId, "Window", "Windows", 1.2f, 1.4f};
        case OpeningKind::kComponent:
            break;
    }
    return {kDefaultComponentId, "Component", "Components", 1.0f, 1.0f};
}

bool finite(const Vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool usable_size(float s) { return std::isfinite(s) && s > kMinCreationSize; }

// Text fields of the model file cannot hold these, so an id with one would not come back.
bool usable_id(std::string_view id) {
    return !id.empty() && id.find_first_of("\t\n\r") == std::string_view::npos;
}

std::uint32_t material_or_default(const Document& doc, std::string_view id) {
    const std::int32_t index = doc.materials().find_by_id(id);
    return index < 0 ? 0u : static_cast<std::uint32_t>(index);
}

void append_metres(std::string& out, float value) {
    char buf[32];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    out.append(buf, end);
}

// "Door 0.9 x 2.1 m".
std::string fallback_name(std::string_view label, float width, float height) {
    std::string name(label);
    name += ' ';
    append_metres(name, width);
    name += " x ";
    append_metres(name, height);
    name += " m";
    return name;
}

Mesh fallback_mesh(const Document& doc, OpeningKind kind, float w, float h) {
    Mesh mesh;
    const float half = 0.5f * w;
    const bool framed = kind != OpeningKind::kComponent && w > kMinFramedSize && h > kMinFramedSize;
    if (!framed) {
        const std::uint32_t paint =
            kind == OpeningKind::kDoor     ? material_or_default(doc, "mat_wood_oak")
            : kind == OpeningKind::kWindow ? material_or_default(doc, "mat_metal_alu")
                                           : 0u;
        add_box_solid(mesh, {-half, kFrameFront, 0.0f}, {half, kFrameBack, h}, paint);
        return mesh;
    }
    const bool door = kind == OpeningKind::kDoor;
    const std::uint32_t frame_paint =
        material_or_default(doc, door ? "mat_steel_black" : "mat_metal_alu");
    SlabFrame frame;
    frame.origin = {-half, kFrameFront, 0.0f};
    frame.length = w;
    frame.height = h;
    frame.thickness = kFrameBack - kFrameFront;
    // A door's frame has no sill: its opening reaches the floor.
    const SlabHole light{kFrameFace, w - kFrameFace, door ? 0.0f : kFrameFace, h - kFrameFace};
    add_slab_solid(mesh, frame, std::span(&light, 1), {frame_paint, frame_paint, frame_paint});
    const float inner = half - kFrameFace;
    if (door) {
        add_box_solid(mesh, {-inner, kLeafFront, 0.0f}, {inner, kLeafBack, h - kFrameFace},
                      material_or_default(doc, "mat_wood_oak"));
    } else {
        add_box_solid(mesh, {-inner, kGlassFront, kFrameFace}, {inner, kGlassBack, h - kFrameFace},
                      material_or_default(doc, "mat_glass_clear"));
    }
    return mesh;
}

// Local x along the wall, y into it, z up, origin at `at`; the normal must have a direction.
Mat4 opening_transform(const Vec3& at, const Vec3& normal) {
    const DVec3 n(normal);
    const DVec3 out = n * (1.0 / std::sqrt(dot(n, n)));
    const DVec3 up = std::abs(out.z) > kVerticalNormalCos ? DVec3(0, 1, 0) : DVec3(0, 0, 1);
    DVec3 z = up - out * dot(up, out);
    z = z * (1.0 / std::sqrt(dot(z, z)));
    const DVec3 y = out * -1.0;
    const DVec3 x = cross(y, z);
    Mat4 t;
    const std::array<DVec3, 3> axes{x, y, z};
    for (std::size_t c = 0; c < 3; ++c) {
        t.m[c * 4 + 0] = static_cast<float>(axes[c].x);
        t.m[c * 4 + 1] = static_cast<float>(axes[c].y);
        t.m[c * 4 + 2] = static_cast<float>(axes[c].z);
    }
    t.m[12] = at.x, t.m[13] = at.y, t.m[14] = at.z;
    return t;
}

PlacementResult refuse(const char* message) {
    PlacementResult result;
    result.message = message;
    return result;
}

}  // namespace

std::uint64_t count_all_instances(const Document& doc) {
    std::uint64_t count = 0;
    walk_nodes(doc.root(), [&](const SceneNode& node, std::size_t) {
        if (node.is_instance()) ++count;
        return true;
    });
    return count;
}

PlacementRequest opening_request(OpeningKind kind) {
    const KindTraits t = traits(kind);
    PlacementRequest request;
    request.kind = kind;
    request.definition_id = std::string(t.id);
    request.width = t.width;
    request.height = t.height;
    return request;
}

PlacementResult place_opening(Document& doc, const PlacementRequest& request) {
    const KindTraits t = traits(request.kind);
    const std::string_view id =
        request.definition_id.empty() ? t.id : std::string_view(request.definition_id);
    if (!usable_id(id)) return refuse("definition id must not hold a tab or line break");
    if (!usable_size(request.width) || !usable_size(request.height)) {
        return refuse("width and height must be finite and greater than 1e-4");
    }
    if (!finite(request.at)) return refuse("position must be finite");
    if (!finite(request.normal) ||
        dot(DVec3(request.normal), DVec3(request.normal)) < kDegenerateNormalSq) {
        return refuse("normal must have a direction");
    }
    SceneNode* parent = request.parent ? request.parent : &doc.root();
    if (!parent->is_group() || !doc.contains(parent)) {
        return refuse("parent must be a group of the document");
    }
    if (request.tag < -1 || request.tag >= static_cast<std::int64_t>(doc.tags().size())) {
        return refuse("tag index out of range");
    }

    PlacementResult result;
    result.definition_id = std::string(id);
    result.definition_position = doc.find_definition(id);
    if (result.definition_position < 0) {
        ComponentDefinition definition;
        definition.id = result.definition_id;
        definition.name = fallback_name(t.label, request.width, request.height);
        definition.category = std::string(t.category);
        definition.mesh = fallback_mesh(doc, request.kind, request.width, request.height);
        result.definition_position = doc.add_definition(std::move(definition));
        if (result.definition_position < 0) return refuse("definition could not be added");
        result.created_definition = true;
    }

    std::string name = request.name.empty() ? std::string(t.label) : request.name;
    result.parent = parent;
    result.child_index = parent->children.size();
    result.instance = doc.create_instance(parent, result.definition_id, std::move(name),
                                          opening_transform(request.at, request.normal));
    result.instance->tag = request.tag;
    result.total_instances = count_all_instances(doc);
    result.ok = true;
    return result;
}

}  // namespace korvan
