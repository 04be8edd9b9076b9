#include "io/image.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/atomic_file.h"

namespace korvan {

Image make_image(std::int32_t width, std::int32_t height, std::uint8_t r, std::uint8_t g,
                 std::uint8_t b, std::uint8_t a) {
    Image image;
    if (width < 1 || height < 1) return image;
    image.width = width;
    image.height = height;
    image.rgba.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        image.rgba[i] = r, image.rgba[i + 1] = g, image.rgba[i + 2] = b, image.rgba[i + 3] = a;
    }
    return image;
}

namespace {

// The sheet a list without one usable image yields: its size fields are set, its pixels
// are not, so every writer refuses it.
constexpr std::int32_t kEmptySheetWidth = 1280;
constexpr std::int32_t kEmptySheetHeight = 720;

std::int32_t default_columns(std::size_t n) {
    if (n < 5) return 2;
    if (n <= 9) return 3;
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::ceil(std::sqrt(double(n)))));
}

}  // namespace

Image make_contact_sheet(std::span<const Image> images, std::int32_t columns) {
    std::int32_t cell_w = 0, cell_h = 0;
    for (const Image& image : images) {
        if (!image.usable()) continue;
        cell_w = std::max(cell_w, image.width);
        cell_h = std::max(cell_h, image.height);
    }
    Image sheet;
    if (cell_w == 0) {
        sheet.width = kEmptySheetWidth;
        sheet.height = kEmptySheetHeight;
        return sheet;
    }
    const std::size_t n = images.size();
    const std::int32_t cols = columns >= 1 ? columns : default_columns(n);
    const auto rows = static_cast<std::int32_t>((n + static_cast<std::size_t>(cols) - 1) /
                                                static_cast<std::size_t>(cols));
    sheet.width = cols * cell_w;
    sheet.height = rows * cell_h;
    sheet.rgba.assign(
        static_cast<std::size_t>(sheet.width) * static_cast<std::size_t>(sheet.height) * 4, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const Image& image = images[i];
        if (!image.usable()) continue;
        const auto col = static_cast<std::int32_t>(i % static_cast<std::size_t>(cols));
        const auto row = static_cast<std::int32_t>(i / static_cast<std::size_t>(cols));
        const std::size_t row_bytes = static_cast<std::size_t>(image.width) * 4;
        for (std::int32_t y = 0; y < image.height; ++y) {
            std::memcpy(&sheet.rgba[sheet.pixel_offset(col * cell_w, row * cell_h + y)],
                        &image.rgba[image.pixel_offset(0, y)], row_bytes);
        }
    }
    return sheet;
}

}  // namespace korvan

namespace korvan::io {
namespace {

void put_u16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void put_u32(std::string& out, std::uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

constexpr std::uint32_t kBmpHeaderSize = 54;
constexpr std::uint32_t kBmpInfoSize = 40;
constexpr std::uint32_t kPixelsPerMetre72Dpi = 2835;

// A pixel vector that disagrees with the sizes would be read out of bounds.
bool consistent(const Image& image) {
    return image.usable() && image.rgba.size() == static_cast<std::size_t>(image.width) *
                                                      static_cast<std::size_t>(image.height) * 4;
}

}  // namespace

std::string encode_bmp(const Image& image) {
    if (!consistent(image)) return {};
    const auto w = static_cast<std::uint32_t>(image.width);
    const auto h = static_cast<std::uint32_t>(image.height);
    const std::uint32_t row_size = (3 * w + 3) & ~3u;
    std::string out;
    out.reserve(kBmpHeaderSize + static_cast<std::size_t>(row_size) * h);
    out += "BM";
    put_u32(out, kBmpHeaderSize + row_size * h);
    put_u32(out, 0);
    put_u32(out, kBmpHeaderSize);
    put_u32(out, kBmpInfoSize);
    put_u32(out, w);
    put_u32(out, h);  // positive: rows stored bottom-up
    put_u16(out, 1);
    put_u16(out, 24);
    put_u32(out, 0);
    put_u32(out, row_size * h);
    put_u32(out, kPixelsPerMetre72Dpi);
    put_u32(out, kPixelsPerMetre72Dpi);
    put_u32(out, 0);
    put_u32(out, 0);
    std::string row(row_size, '\0');
    for (std::int32_t y = image.height - 1; y >= 0; --y) {
        const std::uint8_t* src = &image.rgba[image.pixel_offset(0, y)];
        for (std::uint32_t x = 0; x < w; ++x, src += 4) {
            row[3 * x] = static_cast<char>(src[2]);
            row[3 * x + 1] = static_cast<char>(src[1]);
            row[3 * x + 2] = static_cast<char>(src[0]);
        }
        out += row;
    }
    return out;
}

std::string encode_ppm(const Image& image) {
    if (!consistent(image)) return {};
    std::string out = "P6\n";
    char buf[16];
    auto [end_w, ec_w] = std::to_chars(buf, buf + sizeof buf, image.width);
    out.append(buf, end_w);
    out += ' ';
    auto [end_h, ec_h] = std::to_chars(buf, buf + sizeof buf, image.height);
    out.append(buf, end_h);
    out += "\n255\n";
    out.reserve(out.size() + image.rgba.size() / 4 * 3);
    for (std::size_t i = 0; i < image.rgba.size(); i += 4) {
        out.append(reinterpret_cast<const char*>(&image.rgba[i]), 3);
    }
    return out;
}

namespace {

bool write_encoded(const std::filesystem::path& path, const std::string& bytes) {
    return !bytes.empty() && platform::write_file_atomic(path, bytes);
}

}  // namespace

bool write_bmp(const std::filesystem::path& path, const Image& image) {
    return write_encoded(path, encode_bmp(image));
}

bool write_ppm(const std::filesystem::path& path, const Image& image) {
    return write_encoded(path, encode_ppm(image));
}

bool write_png(const std::filesystem::path& path, const Image& image) {
    return write_encoded(path, encode_png(image));
}

bool is_png_path(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return ext == ".png";
}

bool write_image(const std::filesystem::path& path, const Image& image) {
    return is_png_path(path) ? write_png(path, image) : write_bmp(path, image);
}

bool write_contact_sheet_bmp(const std::filesystem::path& path, std::span<const Image> images,
                             std::int32_t columns) {
    return write_bmp(path, make_contact_sheet(images, columns));
}

}  // namespace korvan::io
