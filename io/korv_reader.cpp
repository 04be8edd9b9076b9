#include "io/korv_reader.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "core/mesh.h"
#include "document/document.h"
#include "io/korv_parse.h"
#include "io/korv_text.h"
#include "platform/huge_pages.h"

// Top level of the .korv reader: the document blocks, in any order, until the end line.
// Every counted block checks its declared count against the bytes left before reading a
// record, and a record that cannot be read fails the load (a file from the writer always
// reads back exactly; anything else is not worth guessing at).

namespace korvan::io {
namespace {

thread_local std::string t_last_load_error;

constexpr std::string_view kCannotOpen =
    "The file could not be opened (it may have been moved, or be in use).";
constexpr std::string_view kEmpty = "The file is empty (0 bytes).";
constexpr std::string_view kNotKorvan =
    "This is not a Korvan model: the file does not start with the KORVAN header.";
constexpr std::string_view kNoEndLine =
    "The file is truncated: it stops before its ENDKORVAN line. It was probably cut off "
    "while it was being copied or saved.";
constexpr std::string_view kUnreadable =
    "The file holds no geometry, materials or components Korvan can read.";

// Deeper nesting is refused: the rest of the program walks the scene graph recursively,
// and no model is built that deep.
constexpr std::size_t kMaxGroupDepth = 1000;

constexpr std::string_view kUnitWords[] = {"mm", "cm", "m", "in", "ft", "arch"};

using korv::Fields;
using korv::keyword_of;
using korv::MeshEnd;
using korv::Parser;
using korv::TabFields;

// Removes the CR of every CR LF pair in place; a lone CR stays.
// Drops the CR of every CR LF in place; returns the new length.
std::size_t strip_crlf(char* text, std::size_t size) {
    const std::string_view view(text, size);
    std::size_t out = view.find("\r\n");
    if (out == std::string_view::npos) return size;
    for (std::size_t in = out; in < size; ++in) {
        if (text[in] == '\r' && in + 1 < size && text[in + 1] == '\n') continue;
        text[out++] = text[in];
    }
    return out;
}

// The file's bytes, in memory that big tables share: a large model's text is tens of
// megabytes, and on huge pages it costs a handful of page faults instead of thousands.
class FileBuffer {
  public:
    explicit FileBuffer(std::size_t size) : size_(size), data_(allocator().allocate(size + 1)) {}
    ~FileBuffer() { allocator().deallocate(data_, size_ + 1); }
    FileBuffer(const FileBuffer&) = delete;
    FileBuffer& operator=(const FileBuffer&) = delete;
    char* data() { return data_; }

  private:
    static platform::BigAllocator<char> allocator() { return {}; }
    std::size_t size_;
    char* data_;
};

class DocumentReader {
  public:
    DocumentReader(Parser& parser, Document& doc, Mesh& root_mesh)
        : p_(parser), doc_(doc), root_mesh_(root_mesh) {}

    // Everything after the header line.
    bool run() {
        std::string_view line;
        while (!stopped_ && p_.next_line(line)) {
            if (korv::is_end_line(line)) return true;
            if (!read_block(keyword_of(line), line)) return false;
        }
        return stopped_ || p_.fail(kNoEndLine);
    }

  private:
    bool read_block(std::string_view kw, std::string_view line) {
        if (kw == "LENGTH_UNIT") return read_length_unit(line.substr(kw.size()));
        if (kw == "UNITS_OPTIONS") return read_units_options(line.substr(kw.size()));
        if (kw == "SHADOW_INFO") return read_shadows(line.substr(kw.size()));
        if (kw == "VIEW") return read_view(line.substr(kw.size()));
        if (kw == "MATERIALS") {
            doc_.materials().clear();
            return read_counted(kw, line, &DocumentReader::read_material);
        }
        if (kw == "MATERIALUV") return read_counted(kw, line, &DocumentReader::read_material_uv);
        if (kw == "SCENES") {
            doc_.scenes().clear();
            return read_counted(kw, line, &DocumentReader::read_scene);
        }
        if (kw == "SCENEPROPS") return read_counted(kw, line, &DocumentReader::read_scene_props);
        if (kw == "SECTIONS") {
            doc_.sections().clear();
            return read_counted(kw, line, &DocumentReader::read_section);
        }
        if (kw == "LIGHTS") {
            doc_.lights().clear();
            return read_counted(kw, line, &DocumentReader::read_light);
        }
        if (kw == "LABELS") {
            doc_.labels().clear();
            return read_counted(kw, line, &DocumentReader::read_label);
        }
        if (kw == "TAGS") {
            doc_.tags().clear();
            return read_counted(kw, line, &DocumentReader::read_tag);
        }
        if (kw == "DEFINITIONS") return read_definitions(line);
        if (kw == "INSTANCES") return read_counted(kw, line, &DocumentReader::read_root_instance);
        if (kw == "GROUPS") return read_groups(line);
        if (kw == "MESH") return read_root_mesh();
        return true;  // a block of a later version
    }

    bool read_counted(std::string_view kw, std::string_view header,
                      bool (DocumentReader::*read_record)(std::string_view)) {
        std::uint64_t count = 0;
        if (!korv::parse_count(header, count)) return p_.fail();
        if (!p_.check_count(kw, count)) return false;
        std::string_view line;
        for (std::uint64_t i = 0; i < count; ++i) {
            if (!p_.record_line(kw, line)) return false;
            if (!(this->*read_record)(line)) return p_.fail();
        }
        return true;
    }

    // ---- Settings ------------------------------------------------------------------------

    bool read_length_unit(std::string_view rest) {
        const std::string_view word = Fields(rest).word();
        LengthUnit unit = LengthUnit::kMetre;
        for (std::size_t i = 0; i < std::size(kUnitWords); ++i) {
            if (word == kUnitWords[i]) unit = static_cast<LengthUnit>(i);
        }
        doc_.set_length_unit(unit);
        return true;
    }

    bool read_units_options(std::string_view rest) {
        Fields f(rest);
        UnitsOptions o;
        if (!f.read(o.length_precision) || !f.read_bool(o.length_snap_on) ||
            !f.read(o.length_snap) || !f.read(o.angle_precision) || !f.read_bool(o.angle_snap_on) ||
            !f.read(o.angle_snap_deg) || !f.done()) {
            return p_.fail();
        }
        o.length_precision = o.length_precision < 0 ? -1 : std::min(o.length_precision, 6);
        if (!(o.length_snap > 0.0f)) o.length_snap = 0.01f;
        o.angle_precision = std::clamp(o.angle_precision, 0, 3);
        if (!(o.angle_snap_deg > 0.0f)) o.angle_snap_deg = 15.0f;
        doc_.units_options() = o;
        return true;
    }

    bool read_shadows(std::string_view rest) {
        Fields f(rest);
        ShadowSettings s;
        if (!f.read_bool(s.shadows_on) || !f.read(s.time_minutes) || !f.read(s.day_of_year) ||
            !f.done()) {
            return p_.fail();
        }
        doc_.shadows() = s;
        return true;
    }

    // Values missing at the end of the line keep their defaults.
    bool read_view(std::string_view rest) {
        Fields f(rest);
        SavedView v;
        v.has_view = true;
        float* numbers[] = {&v.eye.x,    &v.eye.y, &v.eye.z, &v.target.x, &v.target.y,
                            &v.target.z, &v.up.x,  &v.up.y,  &v.up.z,     &v.fov_deg};
        bool complete = true;
        for (float* n : numbers) {
            if (f.done()) {
                complete = false;
                break;
            }
            if (!f.read(*n)) return p_.fail();
        }
        if (complete && !f.done() && !f.read_bool(v.flag)) return p_.fail();
        if (complete && !f.done() && !f.read(v.size)) return p_.fail();
        if (!f.done()) return p_.fail();
        doc_.view() = v;
        return true;
    }

    // ---- Tables --------------------------------------------------------------------------

    bool read_material(std::string_view line) {
        TabFields t(line);
        std::string_view id, name, numbers, texture;
        if (!t.next(id) || !t.next(name) || !t.next(numbers)) return false;
        if (t.next(texture) && t.has_more()) return false;
        Material m;
        m.id = id;
        m.name = name;
        m.texture_path = texture;
        Fields f(numbers);
        if (!f.read(m.albedo.r) || !f.read(m.albedo.g) || !f.read(m.albedo.b) ||
            !f.read(m.opacity) || !f.read(m.roughness) || !f.read(m.metallic) || !f.done()) {
            return false;
        }
        doc_.materials().add(std::move(m));
        return true;
    }

    bool read_material_uv(std::string_view line) {
        Fields f(line);
        std::uint32_t index = 0;
        std::int32_t pattern = 0;
        MaterialUv uv;
        if (!f.read(index) || !f.read(uv.tile_width) || !f.read(uv.tile_height) ||
            !f.read(uv.offset_u) || !f.read(uv.offset_v) || !f.read(uv.rotation_deg) ||
            !f.read(pattern) || !f.done()) {
            return false;
        }
        uv.pattern = static_cast<TexturePattern>(pattern);
        return doc_.materials().set_uv(index, uv);
    }

    bool read_scene(std::string_view line) {
        TabFields t(line);
        std::string_view name, numbers, first, second;
        if (!t.next(name) || !t.next(numbers)) return false;
        Scene s;
        s.name = name;
        Fields f(numbers);
        if (!f.read_vec(s.eye.x, s.eye.y, s.eye.z) ||
            !f.read_vec(s.target.x, s.target.y, s.target.z) || !f.read(s.fov_deg) ||
            !f.read_vec(s.up.x, s.up.y, s.up.z) || !f.done()) {
            return false;
        }
        // The tail is the photo reference, or the photo parameters ("G p1 p2 ...") and then
        // the reference.
        if (t.next(first)) {
            if (t.next(second)) {
                if (t.has_more() || !first.starts_with('G')) return false;
                Fields params(first.substr(1));
                float p = 0.0f;
                while (params.read(p)) s.photo_params.push_back(p);
                if (!params.done()) return false;
                s.photo = second;
            } else {
                s.photo = first;
            }
        }
        doc_.scenes().push_back(std::move(s));
        return true;
    }

    bool read_scene_props(std::string_view line) {
        TabFields t(line);
        std::string_view numbers, name;
        if (!t.next(numbers)) return false;
        Fields f(numbers);
        std::uint32_t index = 0;
        SceneProperties p;
        if (!f.read(index) || !f.read_bool(p.flag_a) || !f.read(p.number_a) || !f.read(p.count) ||
            !f.read(p.number_b) || !f.read_bool(p.flag_b) || !f.read(p.int_a) ||
            !f.read_bool(p.flag_c) || !f.read(p.int_b) || !f.read(p.int_c) || !f.done() ||
            index >= doc_.scenes().size()) {
            return false;
        }
        while (t.next(name)) p.names.emplace_back(name);
        Scene& scene = doc_.scenes()[index];
        scene.has_properties = true;
        scene.properties = std::move(p);
        return true;
    }

    bool read_section(std::string_view line) {
        TabFields t(line);
        std::string_view name, numbers;
        if (!t.next(name) || !t.next(numbers) || t.has_more()) return false;
        SectionPlane s;
        s.name = name;
        Fields f(numbers);
        if (!f.read_vec(s.point.x, s.point.y, s.point.z) ||
            !f.read_vec(s.normal.x, s.normal.y, s.normal.z) || !f.read_bool(s.active) ||
            !f.done()) {
            return false;
        }
        doc_.sections().push_back(std::move(s));
        return true;
    }

    bool read_light(std::string_view line) {
        TabFields t(line);
        std::string_view name, numbers;
        if (!t.next(name) || !t.next(numbers) || t.has_more()) return false;
        Light l;
        l.name = name;
        Fields f(numbers);
        const std::string_view kind = f.word();
        l.kind = static_cast<LightKind>(-1);  // "unknown" and unknown words
        for (const LightKind k :
             {LightKind::kSun, LightKind::kRect, LightKind::kPoint, LightKind::kSpot}) {
            if (kind == light_kind_name(k)) l.kind = k;
        }
        if (!f.read_vec(l.position.x, l.position.y, l.position.z) ||
            !f.read_vec(l.direction.x, l.direction.y, l.direction.z) ||
            !f.read_vec(l.up.x, l.up.y, l.up.z) || !f.read(l.width) || !f.read(l.height) ||
            !f.read(l.colour.r) || !f.read(l.colour.g) || !f.read(l.colour.b) ||
            !f.read(l.intensity) || !f.read_bool(l.enabled) || !f.read(l.cone_inner_deg) ||
            !f.read(l.cone_outer_deg) || !f.done()) {
            return false;
        }
        doc_.lights().push_back(std::move(l));
        return true;
    }

    bool read_label(std::string_view line) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) return false;
        TextLabel label;
        Fields f(line.substr(0, tab));
        if (!f.read_vec(label.position.x, label.position.y, label.position.z) ||
            !f.read(label.height) || !f.read(label.tag) || !f.done()) {
            return false;
        }
        label.text = line.substr(tab + 1);
        doc_.labels().push_back(std::move(label));
        return true;
    }

    bool read_tag(std::string_view line) {
        TabFields t(line);
        std::string_view name, numbers;
        if (!t.next(name) || !t.next(numbers) || t.has_more()) return false;
        Tag tag;
        tag.name = name;
        Fields f(numbers);
        if (!f.read_bool(tag.visible) || !f.done()) return false;
        doc_.tags().push_back(std::move(tag));
        return true;
    }

    // ---- Definitions and nodes -----------------------------------------------------------

    bool read_definitions(std::string_view header) {
        constexpr std::string_view kw = "DEFINITIONS";
        std::uint64_t count = 0;
        if (!korv::parse_count(header, count)) return p_.fail();
        if (!p_.check_count(kw, count)) return false;
        std::vector<ComponentDefinition>& defs = doc_.definitions();
        defs.clear();
        std::string_view line;
        for (std::uint64_t i = 0; i < count; ++i) {
            if (!p_.record_line(kw, line)) return false;
            if (keyword_of(line) != "DEF") return p_.fail();
            TabFields t(line.substr(std::min<std::size_t>(4, line.size())));
            std::string_view id, name, category;
            if (!t.next(id) || !t.next(name) || !t.next(category) || t.has_more()) {
                return p_.fail();
            }
            ComponentDefinition& def = defs.emplace_back();
            def.id = id;
            def.name = name;
            def.category = category;
            for (;;) {
                if (!p_.record_line(kw, line)) return false;
                const std::string_view inner = keyword_of(line);
                if (inner == "ENDDEF") break;
                if (inner != "MESH") return p_.fail();
                def.mesh = Mesh();
                if (!read_inner_mesh(kw, def.mesh)) return false;
            }
        }
        // Ids are unique and non-empty in a document; the index is built once at the end.
        std::vector<std::string_view> ids;
        ids.reserve(defs.size());
        for (const ComponentDefinition& d : defs) {
            if (d.id.empty()) return p_.fail();
            ids.push_back(d.id);
        }
        std::sort(ids.begin(), ids.end());
        if (std::adjacent_find(ids.begin(), ids.end()) != ids.end()) return p_.fail();
        doc_.definition_index()->rebuild(defs);
        return true;
    }

    // A mesh block inside a counted block: ending the text there truncates that block, and
    // the end line may not close it.
    bool read_inner_mesh(std::string_view kw, Mesh& mesh) {
        switch (korv::read_mesh_block(p_, mesh)) {
            case MeshEnd::kEndMesh:
                return true;
            case MeshEnd::kEndText:
                return p_.truncated_inside(kw);
            case MeshEnd::kEndFile:
            case MeshEnd::kFailed:
                break;
        }
        return p_.fail();
    }

    bool read_root_mesh() {
        root_mesh_ = Mesh();
        switch (korv::read_mesh_block(p_, root_mesh_)) {
            case MeshEnd::kEndMesh:
                return true;
            case MeshEnd::kEndFile:
                stopped_ = true;
                return true;
            case MeshEnd::kEndText:
                return p_.fail(kNoEndLine);
            case MeshEnd::kFailed:
                break;
        }
        return p_.fail();
    }

    // The tab fields after a node's name: the transform, then the optional markers.
    static bool read_node_tail(TabFields& t, SceneNode& node) {
        std::string_view field;
        if (!t.next(field)) return false;
        Fields f(field);
        for (float& m : node.transform.m) {
            if (!f.read(m)) return false;
        }
        if (!f.done()) return false;
        while (t.next(field)) {
            if (field == "v0") {
                node.visible = false;
            } else if (field == "L1") {
                node.locked = true;
            } else if (field == "SC0") {
                node.casts_shadows = false;
            } else if (field == "SR0") {
                node.receives_shadows = false;
            } else if (field.starts_with("M:")) {
                Fields m(field.substr(2));
                if (!m.read(node.material) || !m.done()) return false;
            } else if (field.starts_with("A:")) {
                const std::string_view pair = field.substr(2);
                const std::size_t eq = pair.find('=');
                if (eq == std::string_view::npos) return false;
                node.attributes.push_back(
                    {percent_decode(pair.substr(0, eq)), percent_decode(pair.substr(eq + 1))});
            } else {
                Fields tag(field);
                if (!tag.read(node.tag) || !tag.done()) return false;
            }
        }
        return true;
    }

    // definition id, name, tail
    static std::unique_ptr<SceneNode> parse_instance(TabFields& t) {
        std::string_view definition, name;
        if (!t.next(definition) || !t.next(name)) return nullptr;
        auto node = std::make_unique<SceneNode>();
        node->kind = NodeKind::kInstance;
        node->definition_id = definition;
        node->name = name;
        if (!read_node_tail(t, *node)) return nullptr;
        return node;
    }

    // "GROUP", name, tail
    static std::unique_ptr<SceneNode> parse_group(std::string_view line) {
        TabFields t(line);
        std::string_view keyword, name;
        if (!t.next(keyword) || keyword != "GROUP" || !t.next(name)) return nullptr;
        auto node = std::make_unique<SceneNode>();
        node->kind = NodeKind::kGroup;
        node->name = name;
        if (!read_node_tail(t, *node)) return nullptr;
        return node;
    }

    bool read_root_instance(std::string_view line) {
        TabFields t(line);
        std::unique_ptr<SceneNode> node = parse_instance(t);
        if (!node) return false;
        doc_.root().add_child(std::move(node));
        return true;
    }

    // Group blocks nest; an explicit stack keeps a deeply nested file from exhausting the
    // call stack.
    bool read_groups(std::string_view header) {
        constexpr std::string_view kw = "GROUPS";
        std::uint64_t count = 0;
        if (!korv::parse_count(header, count)) return p_.fail();
        if (!p_.check_count(kw, count)) return false;
        std::vector<SceneNode*> open;
        std::string_view line;
        for (std::uint64_t i = 0; i < count; ++i) {
            if (!p_.record_line(kw, line)) return false;
            std::unique_ptr<SceneNode> group = parse_group(line);
            if (!group) return p_.fail();
            open.push_back(&doc_.root().add_child(std::move(group)));
            while (!open.empty()) {
                if (!p_.record_line(kw, line)) return false;
                const std::string_view inner = keyword_of(line);
                if (inner == "ENDGROUP") {
                    open.pop_back();
                } else if (inner == "GROUP") {
                    group = parse_group(line);
                    if (!group || open.size() >= kMaxGroupDepth) return p_.fail();
                    open.push_back(&open.back()->add_child(std::move(group)));
                } else if (inner == "INSTANCE") {
                    TabFields t(line);
                    std::string_view word;
                    std::unique_ptr<SceneNode> node;
                    if (t.next(word) && word == "INSTANCE") node = parse_instance(t);
                    if (!node) return p_.fail();
                    open.back()->add_child(std::move(node));
                } else if (inner == "MESH") {
                    open.back()->mesh = Mesh();
                    if (!read_inner_mesh(kw, open.back()->mesh)) return false;
                } else if (korv::is_end_line(line)) {
                    return p_.fail();
                }
            }
        }
        return true;
    }

    Parser& p_;
    Document& doc_;
    Mesh& root_mesh_;
    bool stopped_ = false;  // the root mesh block was closed by the end line
};

// A fresh document with empty tables and a fresh root mesh.
void reset_targets(Document& doc, KorvFileInfo& info, Mesh& root_mesh) {
    doc.clear();
    doc.tags().clear();
    doc.materials().clear();
    root_mesh = Mesh();
    info = KorvFileInfo{};
}

bool parse_text(char* data, std::size_t size, Document& doc, KorvFileInfo& info,
                Mesh& root_mesh) {
    reset_targets(doc, info, root_mesh);
    if (size == 0) {
        t_last_load_error = kEmpty;
        return false;
    }
    t_last_load_error.clear();
    size = strip_crlf(data, size);
    info.bytes = size;
    Parser parser(std::string_view(data, size));
    auto finish = [&](bool ok) {
        if (!ok) t_last_load_error = parser.has_message() ? parser.message() : kUnreadable;
        return ok;
    };
    std::string_view header;
    parser.next_line(header);
    if (!header.starts_with("KORVAN") && !header.starts_with("NERVA")) {
        return finish(parser.fail(kNotKorvan));
    }
    info.header = header;
    info.earlier_generation = header.starts_with("NERVA");
    DocumentReader reader(parser, doc, root_mesh);
    return finish(reader.run());
}

}  // namespace

bool load_document(const std::filesystem::path& path, Document& doc, KorvFileInfo& info,
                   Mesh& root_mesh) {
    // The size comes from the directory entry, so a directory or device is refused before
    // anything is allocated for it.
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    std::ifstream in;
    if (!ec) in.open(path, std::ios::binary);
    if (ec || !in) {
        reset_targets(doc, info, root_mesh);
        t_last_load_error = kCannotOpen;
        return false;
    }
    FileBuffer text(static_cast<std::size_t>(size));
    in.read(text.data(), static_cast<std::streamsize>(size));
    const auto got = static_cast<std::size_t>(in.gcount());
    in.close();
    return parse_text(text.data(), got, doc, info, root_mesh);
}

bool load_document(const std::filesystem::path& path, Document& doc, KorvFileInfo& info,
                   Mesh& root_mesh, std::string& error) {
    const bool ok = load_document(path, doc, info, root_mesh);
    error = ok ? std::string() : t_last_load_error;
    return ok;
}

bool load_document(const std::filesystem::path& path, Document& doc) {
    KorvFileInfo info;
    Mesh root;
    const bool ok = load_document(path, doc, info, root);
    doc.root().mesh = std::move(root);
    return ok;
}

bool parse_document(std::string text, Document& doc, KorvFileInfo& info, Mesh& root_mesh) {
    return parse_text(text.data(), text.size(), doc, info, root_mesh);
}

bool parse_document(std::string text, Document& doc) {
    KorvFileInfo info;
    Mesh root;
    const bool ok = parse_text(text.data(), text.size(), doc, info, root);
    doc.root().mesh = std::move(root);
    return ok;
}

const std::string& last_load_error() { return t_last_load_error; }

namespace korv {

bool Parser::check_count(std::string_view keyword, std::uint64_t count) {
    if (count <= bytes_left()) return true;
    std::string message = "The file is damaged: its ";
    message += keyword;
    message += " block declares ";
    append_uint(message, count);
    message += " entries, but only ";
    append_uint(message, bytes_left());
    message += " bytes of the file follow.";
    return fail(message);
}

bool Parser::fail(std::string_view message) {
    if (message_.empty()) message_ = message;
    return false;
}

bool Parser::truncated_inside(std::string_view keyword) {
    std::string message = "The file is truncated: it ends inside the ";
    message += keyword;
    message += " block. It was probably cut off while it was being copied or saved.";
    return fail(message);
}

}  // namespace korv
}  // namespace korvan::io
