#include <cstdio>
#include <vector>

#include "io/image.h"

// The decoders of stb_image, private to this file and limited to the five formats the
// program reads; every other reader of the library is compiled out.
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

}  // namespace

bool probe_image_size(std::span<const std::uint8_t> bytes, std::int32_t& width,
                      std::int32_t& height) {
    width = height = 0;
    if (bytes.empty() || bytes.size() > kMaxEncodedBytes) return false;
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
    int dw = 0, dh = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &dw,
                                            &dh, &channels, 4);
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
