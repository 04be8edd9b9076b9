#include <algorithm>
#include <cstdio>
#include <vector>

#include "io/image.h"

// The decoders of stb_image, private to this file and limited to the five formats the
// program reads besides its own PPMs; every other reader of the library is compiled out.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_ONLY_PSD
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace korvan::io {
namespace {

// The library counts in int; anything larger cannot be an image we accept anyway.
constexpr std::size_t kMaxEncodedBytes = 0x7FFFFFFF;

// The library's JPEG Huffman-table builder trusts the code counts of a table: more than 256
// codes run past its fixed arrays. Every table of the file (they may come before any scan
// of a progressive file) is checked here first; a file with a bad one is refused whole.
bool jpeg_tables_sane(std::span<const std::uint8_t> b) {
    constexpr std::size_t kMaxCodes = 256;
    // The library skips fill bytes before the start marker as it does before any marker.
    std::size_t start = 0;
    while (start + 1 < b.size() && b[start] == 0xFF && b[start + 1] == 0xFF) ++start;
    if (b.size() < start + 2 || b[start] != 0xFF || b[start + 1] != 0xD8) return true;  // no JPEG
    std::size_t pos = start + 2;
    while (pos + 4 <= b.size()) {
        if (b[pos] != 0xFF) {
            ++pos;  // entropy-coded data or fill: look for the next marker
            continue;
        }
        const std::uint8_t m = b[pos + 1];
        if (m == 0xFF || m == 0x00 || (m >= 0xD0 && m <= 0xD8) || m == 0x01) {
            pos += m == 0xFF ? 1 : 2;
            continue;
        }
        if (m == 0xD9) return true;
        const std::size_t len = (std::size_t(b[pos + 2]) << 8) | b[pos + 3];
        if (len < 2) return false;
        const std::size_t end = std::min(b.size(), pos + 2 + len);
        if (m == 0xC4) {
            // The library reads a table's 17 header bytes whatever the segment length says,
            // so the tables must fill the segment exactly.
            std::size_t q = pos + 4;
            while (q < end) {
                if (q + 17 > end) return false;
                std::size_t n = 0;
                for (std::size_t i = 1; i <= 16; ++i) n += b[q + i];
                if (n > kMaxCodes) return false;
                q += 17 + n;
            }
            if (q != end) return false;
        }
        pos = end;
    }
    return true;
}

// The library copies the first image-data chunk into a buffer it has not allocated yet when
// that chunk is empty; such a file (legal, but never written by an encoder in practice) is
// refused rather than decoded.
bool png_first_data_chunk_filled(std::span<const std::uint8_t> b) {
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (b.size() < 8 || !std::equal(std::begin(kSignature), std::end(kSignature), b.begin())) {
        return true;  // not a PNG
    }
    std::size_t pos = 8;
    while (pos + 8 <= b.size()) {
        const std::size_t len = std::size_t(b[pos]) << 24 | std::size_t(b[pos + 1]) << 16 |
                                std::size_t(b[pos + 2]) << 8 | b[pos + 3];
        if (b[pos + 4] == 'I' && b[pos + 5] == 'D' && b[pos + 6] == 'A' && b[pos + 7] == 'T') {
            return len > 0;
        }
        pos += 12 + len;
    }
    return true;
}

// Binary PPM (P6) with samples of one byte, the form the program writes; the library's own
// reader is left out because it overruns its buffer on two-byte samples. Sets the header
// fields and the offset of the first sample; sides are reported as read, up to 2^24.
bool ppm_header(std::span<const std::uint8_t> b, std::int32_t& width, std::int32_t& height,
                std::int32_t& max_value, std::size_t& data) {
    constexpr std::int64_t kMaxField = 1 << 24;
    const auto space = [](std::uint8_t c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
    };
    if (b.size() < 2 || b[0] != 'P' || b[1] != '6') return false;
    std::size_t pos = 2;
    std::int64_t fields[3] = {0, 0, 0};
    for (std::int64_t& field : fields) {
        while (pos < b.size() && (space(b[pos]) || b[pos] == '#')) {
            if (b[pos] == '#') {
                while (pos < b.size() && b[pos] != '\n') ++pos;
            } else {
                ++pos;
            }
        }
        if (pos >= b.size() || b[pos] < '0' || b[pos] > '9') return false;
        while (pos < b.size() && b[pos] >= '0' && b[pos] <= '9') {
            field = field * 10 + (b[pos++] - '0');
            if (field > kMaxField) return false;
        }
    }
    // One white-space byte ends the header; the samples follow it.
    if (pos >= b.size() || !space(b[pos])) return false;
    if (fields[0] < 1 || fields[1] < 1 || fields[2] < 1 || fields[2] > 255) return false;
    width = static_cast<std::int32_t>(fields[0]);
    height = static_cast<std::int32_t>(fields[1]);
    max_value = static_cast<std::int32_t>(fields[2]);
    data = pos + 1;
    return true;
}

bool decode_ppm(std::span<const std::uint8_t> b, std::int32_t w, std::int32_t h,
                std::int32_t max_value, std::size_t data, Image& image) {
    const std::size_t pixels = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    if (b.size() - data < pixels * 3) return false;
    image.width = w;
    image.height = h;
    image.rgba.resize(pixels * 4);
    for (std::size_t i = 0; i < pixels; ++i) {
        for (std::size_t c = 0; c < 3; ++c) {
            const int v = std::min<int>(b[data + 3 * i + c], max_value);
            image.rgba[4 * i + c] =
                static_cast<std::uint8_t>((v * 255 + max_value / 2) / max_value);
        }
        image.rgba[4 * i + 3] = 255;
    }
    return true;
}

}  // namespace

bool probe_image_size(std::span<const std::uint8_t> bytes, std::int32_t& width,
                      std::int32_t& height) {
    width = height = 0;
    if (bytes.empty() || bytes.size() > kMaxEncodedBytes) return false;
    std::int32_t max_value = 0;
    std::size_t data = 0;
    if (ppm_header(bytes, width, height, max_value, data)) return true;
    if (!jpeg_tables_sane(bytes)) return false;
    int w = 0, h = 0, channels = 0;
    if (stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &w, &h, &channels) ==
        0) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

bool decode_image(std::span<const std::uint8_t> bytes, Image& image) {
    image = Image{};
    std::int32_t w = 0, h = 0;
    if (!probe_image_size(bytes, w, h)) return false;
    if (w < 1 || h < 1 || w > kMaxImageSide || h > kMaxImageSide) return false;
    std::int32_t max_value = 0;
    std::size_t data = 0;
    if (ppm_header(bytes, w, h, max_value, data)) {
        if (!decode_ppm(bytes, w, h, max_value, data, image)) image = Image{};
        return image.usable();
    }
    if (!png_first_data_chunk_filled(bytes)) return false;
    int dw = 0, dh = 0, channels = 0;
    stbi_uc* pixels =
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &dw, &dh, &channels, 4);
    if (pixels == nullptr) return false;
    // The header probe and the decoder read the same fields, but the pixel count is what
    // the copy trusts, so it is checked against the decoder's own answer.
    const std::size_t size = static_cast<std::size_t>(dw) * static_cast<std::size_t>(dh) * 4;
    const bool ok = dw == w && dh == h;
    if (ok) {
        image.width = dw;
        image.height = dh;
        image.rgba.assign(pixels, pixels + size);
    }
    stbi_image_free(pixels);
    return ok;
}

bool load_image(const std::filesystem::path& path, Image& image) {
    image = Image{};
    if (path.empty()) return false;
    // C stdio rather than a stream: a directory or a read error must give false, not an
    // exception from the stream buffer.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > kMaxEncodedBytes) break;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return false;
    return decode_image(bytes, image);
}

}  // namespace korvan::io
