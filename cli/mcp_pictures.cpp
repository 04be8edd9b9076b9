#include "cli/mcp_pictures.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>
#include <tuple>

namespace korvan::cli {
namespace {

// Enough for the header of every format looked for.
constexpr std::size_t kHeaderBytes = 64 * 1024;
// A BMP of the largest accepted picture, with room for its header and row padding.
constexpr std::size_t kMaxPictureFileBytes =
    static_cast<std::size_t>(kMaxPicturePixels) * 4 + kHeaderBytes;

bool is_picture_name(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return ext == ".bmp" || ext == ".ppm" || ext == ".png";
}

// Up to `limit` bytes from the start of the file; false when it cannot be read.
bool read_prefix(const std::filesystem::path& path, std::size_t limit,
                 std::vector<std::uint8_t>& bytes, bool& whole) {
    bytes.clear();
    whole = false;
    // C stdio: a folder or a read error gives false rather than an exception.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::uint8_t buffer[1 << 16];
    while (bytes.size() < limit) {
        const std::size_t want = std::min(sizeof buffer, limit - bytes.size());
        const std::size_t n = std::fread(buffer, 1, want, file);
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (n < want) break;
    }
    whole = bytes.size() < limit || std::fgetc(file) == EOF;
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

void append_int(std::string& out, long long value) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

std::string too_large_note(std::string_view name, std::int32_t w, std::int32_t h) {
    std::string note = "Picture \"" + std::string(name) + "\" is ";
    append_int(note, w);
    note += " x ";
    append_int(note, h);
    note += " pixels, more than ";
    append_int(note, kMaxPictureSide);
    note += " a side or ";
    append_int(note, kMaxPicturePixels / (1024 * 1024));
    note += " megapixels; not shown.";
    return note;
}

bool within_bounds(std::int32_t w, std::int32_t h) {
    return w <= kMaxPictureSide && h <= kMaxPictureSide &&
           static_cast<std::int64_t>(w) * h <= kMaxPicturePixels;
}

// The size in the header: the decoder's own probe, or for a PNG too large for that probe to
// accept, the header chunk's two big-endian fields.
bool header_size(const std::vector<std::uint8_t>& bytes, std::int32_t& w, std::int32_t& h) {
    // Only the formats the program writes: a JPEG or anything else under a picture's name is
    // not handed to the other decoders.
    const bool known = bytes.size() >= 2 && ((bytes[0] == 'B' && bytes[1] == 'M') ||
                                             (bytes[0] == 'P' && bytes[1] == '6') ||
                                             (bytes[0] == 0x89 && bytes[1] == 'P'));
    if (!known) return false;
    if (io::probe_image_size(bytes, w, h)) return true;
    static constexpr std::uint8_t kPngStart[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n',
                                                 0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    if (bytes.size() < 24 ||
        !std::equal(std::begin(kPngStart), std::end(kPngStart), bytes.begin())) {
        return false;
    }
    const auto field = [&](std::size_t at) {
        const std::uint32_t v = static_cast<std::uint32_t>(bytes[at]) << 24 |
                                static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
                                static_cast<std::uint32_t>(bytes[at + 2]) << 8 | bytes[at + 3];
        return static_cast<std::int32_t>(std::min<std::uint32_t>(v, 0x7FFFFFFF));
    };
    w = field(16);
    h = field(20);
    return w >= 1 && h >= 1;
}

}  // namespace

std::vector<PictureFileStamp> snapshot_picture_files(const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    std::vector<PictureFileStamp> found;
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    std::size_t seen = 0;
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (++seen > kPictureScanEntries) break;
        const fs::directory_entry& entry = *it;
        std::error_code entry_ec;
        // Links are neither followed into nor reported: a picture is what the command wrote.
        if (entry.is_symlink(entry_ec)) {
            it.disable_recursion_pending();
            continue;
        }
        if (entry.is_directory(entry_ec)) {
            if (it.depth() + 1 >= kPictureScanDepth) it.disable_recursion_pending();
            continue;
        }
        if (!entry.is_regular_file(entry_ec) || !is_picture_name(entry.path())) continue;
        PictureFileStamp stamp;
        stamp.path = entry.path();
        stamp.size = entry.file_size(entry_ec);
        if (entry_ec) continue;
        stamp.written = entry.last_write_time(entry_ec);
        if (entry_ec) continue;
        found.push_back(std::move(stamp));
    }
    std::sort(found.begin(), found.end(),
              [](const PictureFileStamp& a, const PictureFileStamp& b) { return a.path < b.path; });
    return found;
}

std::vector<std::filesystem::path> written_picture_files(
    const std::vector<PictureFileStamp>& before, const std::vector<PictureFileStamp>& after) {
    std::vector<const PictureFileStamp*> written;
    for (const PictureFileStamp& now : after) {
        const auto old = std::lower_bound(
            before.begin(), before.end(), now.path,
            [](const PictureFileStamp& s, const std::filesystem::path& p) { return s.path < p; });
        const bool same = old != before.end() && old->path == now.path && old->size == now.size &&
                          old->written == now.written;
        if (!same) written.push_back(&now);
    }
    std::sort(written.begin(), written.end(),
              [](const PictureFileStamp* a, const PictureFileStamp* b) {
                  return std::tie(a->written, a->path) < std::tie(b->written, b->path);
              });
    std::vector<std::filesystem::path> paths;
    paths.reserve(written.size());
    for (const PictureFileStamp* s : written) paths.push_back(s->path);
    return paths;
}

Image scale_to_fit(const Image& image, std::int32_t long_side) {
    const std::int32_t longer = std::max(image.width, image.height);
    if (!image.usable() || long_side < 1 || longer <= long_side) return image;
    // Rounded to the nearest pixel, never below one.
    const auto scaled = [&](std::int32_t side) {
        const std::int64_t s = (static_cast<std::int64_t>(side) * long_side + longer / 2) / longer;
        return static_cast<std::int32_t>(std::max<std::int64_t>(1, s));
    };
    Image out;
    out.width = scaled(image.width);
    out.height = scaled(image.height);
    out.rgba.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height) * 4);
    // Each output pixel averages the whole block of source pixels it covers.
    const auto span_of = [](std::int32_t i, std::int32_t from, std::int32_t to, std::int32_t& lo,
                            std::int32_t& hi) {
        lo = static_cast<std::int32_t>(static_cast<std::int64_t>(i) * from / to);
        hi = static_cast<std::int32_t>(static_cast<std::int64_t>(i + 1) * from / to);
        hi = std::max(hi, lo + 1);
    };
    for (std::int32_t y = 0; y < out.height; ++y) {
        std::int32_t y0, y1;
        span_of(y, image.height, out.height, y0, y1);
        for (std::int32_t x = 0; x < out.width; ++x) {
            std::int32_t x0, x1;
            span_of(x, image.width, out.width, x0, x1);
            std::uint64_t sum[4] = {0, 0, 0, 0};
            for (std::int32_t sy = y0; sy < y1; ++sy) {
                for (std::int32_t sx = x0; sx < x1; ++sx) {
                    const std::size_t at = image.pixel_offset(sx, sy);
                    for (int c = 0; c < 4; ++c)
                        sum[c] += image.rgba[at + static_cast<std::size_t>(c)];
                }
            }
            const std::uint64_t count =
                static_cast<std::uint64_t>(y1 - y0) * static_cast<std::uint64_t>(x1 - x0);
            const std::size_t at = out.pixel_offset(x, y);
            for (int c = 0; c < 4; ++c) {
                out.rgba[at + static_cast<std::size_t>(c)] =
                    static_cast<std::uint8_t>((sum[c] + count / 2) / count);
            }
        }
    }
    return out;
}

bool picture_as_png(const std::filesystem::path& path, std::string_view name, std::string& png,
                    std::string& note) {
    png.clear();
    note.clear();
    const std::string unreadable =
        "Picture \"" + std::string(name) + "\" could not be read; not shown.";
    std::vector<std::uint8_t> bytes;
    bool whole = false;
    std::int32_t w = 0, h = 0;
    // The header alone decides whether the picture is small enough to decode at all.
    if (!read_prefix(path, kHeaderBytes, bytes, whole) || !header_size(bytes, w, h)) {
        note = unreadable;
        return false;
    }
    if (!within_bounds(w, h)) {
        note = too_large_note(name, w, h);
        return false;
    }
    if (!whole && !read_prefix(path, kMaxPictureFileBytes, bytes, whole)) {
        note = unreadable;
        return false;
    }
    // The file may have changed since its header was read: the bytes decoded are checked anew.
    if (!whole || !io::probe_image_size(bytes, w, h) || !within_bounds(w, h)) {
        note = whole ? too_large_note(name, w, h) : unreadable;
        return false;
    }
    Image image;
    if (!io::decode_image(bytes, image)) {
        note = unreadable;
        return false;
    }
    png = io::encode_png(scale_to_fit(image, kShownLongSide));
    if (png.empty()) note = unreadable;
    return !png.empty();
}

std::string base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t v =
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << 16 |
            static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 1])) << 8 |
            static_cast<std::uint8_t>(bytes[i + 2]);
        out += kDigits[v >> 18 & 63];
        out += kDigits[v >> 12 & 63];
        out += kDigits[v >> 6 & 63];
        out += kDigits[v & 63];
    }
    if (const std::size_t rest = bytes.size() - i; rest > 0) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << 16;
        if (rest == 2)
            v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 1])) << 8;
        out += kDigits[v >> 18 & 63];
        out += kDigits[v >> 12 & 63];
        out += rest == 2 ? kDigits[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace korvan::cli
