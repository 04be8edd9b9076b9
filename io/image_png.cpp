#include <algorithm>
#include <string>

#include "io/image.h"

// The PNG encoder of stb_image_write, private to this file.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>
#pragma GCC diagnostic pop

namespace korvan::io {
namespace {

void append_bytes(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<std::size_t>(size));
}

}  // namespace

std::string encode_png(const Image& image) {
    if (!image.usable() || image.rgba.size() != static_cast<std::size_t>(image.width) *
                                                    static_cast<std::size_t>(image.height) * 4) {
        return {};
    }
    // Opaque pictures (every render without a transparent background) drop the alpha
    // channel: a quarter smaller, and readers that ignore alpha show the same thing.
    bool opaque = true;
    for (std::size_t i = 3; i < image.rgba.size() && opaque; i += 4) opaque = image.rgba[i] == 255;
    std::string out;
    int ok = 0;
    if (opaque) {
        std::string rgb;
        rgb.resize(image.rgba.size() / 4 * 3);
        for (std::size_t i = 0, j = 0; i < image.rgba.size(); i += 4, j += 3) {
            rgb[j] = static_cast<char>(image.rgba[i]);
            rgb[j + 1] = static_cast<char>(image.rgba[i + 1]);
            rgb[j + 2] = static_cast<char>(image.rgba[i + 2]);
        }
        ok = stbi_write_png_to_func(append_bytes, &out, image.width, image.height, 3, rgb.data(),
                                    image.width * 3);
    } else {
        ok = stbi_write_png_to_func(append_bytes, &out, image.width, image.height, 4,
                                    image.rgba.data(), image.width * 4);
    }
    if (ok == 0) out.clear();
    return out;
}

}  // namespace korvan::io
