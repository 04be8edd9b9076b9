#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

// The program's one raster type and the files it is read from and written to. Writers go
// through the atomic file writer, so a failed write leaves the old file (or none) behind;
// after a false result platform::write_error_suffix() names the cause when there is one.

namespace korvan {

// 8-bit RGBA, rows top first, pixels left to right. Alpha is carried for compositing;
// BMP and PPM do not store it.
struct Image {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> rgba;

    // Both sides at least 1 and pixels present: the only images writers accept.
    bool usable() const { return width >= 1 && height >= 1 && !rgba.empty(); }
    std::size_t pixel_offset(std::int32_t x, std::int32_t y) const {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                static_cast<std::size_t>(x)) *
               4;
    }
};

// A width x height image of one colour.
Image make_image(std::int32_t width, std::int32_t height, std::uint8_t r, std::uint8_t g,
                 std::uint8_t b, std::uint8_t a = 255);

// The images laid out in a grid of equal cells, each copied at its natural size into its
// cell's top-left corner over black (alpha 0). columns < 1 picks 2 for up to 4 images, 3 for
// up to 9, else ceil(sqrt(n)). Unusable entries keep a cell but leave it black. No usable
// image gives an empty (unusable) 1280 x 720 sheet.
Image make_contact_sheet(std::span<const Image> images, std::int32_t columns = 0);

}  // namespace korvan

namespace korvan::io {

// Sides a decoded image may have; anything larger is refused before decoding.
inline constexpr std::int32_t kMaxImageSide = 32768;

// The exact bytes of the files below; empty for an unusable image.
std::string encode_bmp(const Image& image);  // 24-bit, bottom-up rows padded to 4 bytes
std::string encode_ppm(const Image& image);  // binary P6
std::string encode_png(const Image& image);  // RGB, or RGBA when any pixel is not opaque

bool write_bmp(const std::filesystem::path& path, const Image& image);
bool write_ppm(const std::filesystem::path& path, const Image& image);
bool write_png(const std::filesystem::path& path, const Image& image);
// PNG when the path ends in ".png" (any case), else BMP.
bool write_image(const std::filesystem::path& path, const Image& image);
// True when the path ends in ".png", ignoring case.
bool is_png_path(const std::filesystem::path& path);

// make_contact_sheet, then write_bmp; false for an empty sheet.
bool write_contact_sheet_bmp(const std::filesystem::path& path, std::span<const Image> images,
                             std::int32_t columns = 0);

// Decodes a PNG, JPEG, BMP, TGA, PSD or binary PGM/PPM file into RGBA, top row first. False (and an empty
// image) for an empty path, an unreadable file, an unknown format, a side outside
// 1..kMaxImageSide or a decoding failure. Never throws.
bool load_image(const std::filesystem::path& path, Image& image);
// The same from bytes in memory.
bool decode_image(std::span<const std::uint8_t> bytes, Image& image);

// Width and height from the header alone, without decoding; false when no reader knows it.
bool probe_image_size(std::span<const std::uint8_t> bytes, std::int32_t& width,
                      std::int32_t& height);

}  // namespace korvan::io
