#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/image.h"

// Small image files built byte by byte, so the decoder is tested against files whose every
// field the test chose (and which no other encoder's habits shape).

namespace korvan::test {

enum class PngKind { kGrey, kGreyAlpha, kPalette, kRgb, kRgba };

// A PNG of `image` (stored deflate blocks, filter 0) in the given colour type and depth
// (8 or 16). Grey kinds take the red channel; the palette kind takes the colours of the
// image's pixels in first-seen order (at most 256) with their alphas in a tRNS chunk.
std::string encode_png_file(const Image& image, PngKind kind, int bit_depth = 8);

// A PNG header (signature and IHDR only) claiming the given size.
std::string png_header_only(std::uint32_t width, std::uint32_t height);

// A grey JPEG of 8 x 8 blocks, each of one flat level (levels[row * blocks_x + col]),
// baseline or progressive (a DC scan, then an AC scan of end-of-block codes).
std::string encode_flat_grey_jpeg(int blocks_x, int blocks_y,
                                  const std::vector<std::uint8_t>& levels, bool progressive);

// 24-bit bottom-up TGA, or 32-bit top-down run-length TGA.
std::string encode_tga(const Image& image, bool rle);

// Uncompressed RGBA PSD (four planes).
std::string encode_psd(const Image& image);

// A deterministic test picture: a pattern in every channel, alpha varying when asked.
Image sample_image(std::int32_t width, std::int32_t height, bool varied_alpha);

}  // namespace korvan::test
