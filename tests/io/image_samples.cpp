#include "tests/io/image_samples.h"

#include <map>

namespace korvan::test {
namespace {

void be32(std::string& out, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>((v >> s) & 0xFF));
}
void be16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
    out.push_back(static_cast<char>(v & 0xFF));
}
void le16(std::string& out, std::uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

std::uint32_t crc32(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

void chunk(std::string& out, const char* tag, const std::string& body) {
    be32(out, static_cast<std::uint32_t>(body.size()));
    const std::string tagged = std::string(tag, 4) + body;
    out += tagged;
    be32(out, crc32(tagged));
}

// zlib stream of stored (uncompressed) deflate blocks.
std::string zlib_stored(const std::string& raw) {
    std::string out("\x78\x01", 2);
    std::size_t pos = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
        const bool last = pos + n == raw.size();
        out.push_back(last ? 1 : 0);
        le16(out, static_cast<std::uint32_t>(n));
        le16(out, static_cast<std::uint32_t>(~n & 0xFFFF));
        out.append(raw, pos, n);
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
    be32(out, (b << 16) | a);
    return out;
}

std::string ihdr(std::uint32_t w, std::uint32_t h, int depth, int colour_type) {
    std::string body;
    be32(body, w);
    be32(body, h);
    body.push_back(static_cast<char>(depth));
    body.push_back(static_cast<char>(colour_type));
    body.append(3, '\0');
    return body;
}

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

}  // namespace

std::string png_header_only(std::uint32_t width, std::uint32_t height) {
    std::string out(kPngSignature, 8);
    chunk(out, "IHDR", ihdr(width, height, 8, 2));
    return out;
}

std::string encode_png_file(const Image& image, PngKind kind, int bit_depth) {
    const int colour_type = kind == PngKind::kGrey        ? 0
                            : kind == PngKind::kGreyAlpha ? 4
                            : kind == PngKind::kPalette   ? 3
                            : kind == PngKind::kRgb       ? 2
                                                          : 6;
    std::map<std::uint32_t, std::uint8_t> palette_index;
    std::string plte, trns;
    std::string raw;
    auto sample = [&](std::uint8_t v) {
        if (bit_depth == 16) {
            be16(raw, v * 257u);  // the decoder keeps the high byte: v again
        } else {
            raw.push_back(static_cast<char>(v));
        }
    };
    for (std::int32_t y = 0; y < image.height; ++y) {
        raw.push_back('\0');
        for (std::int32_t x = 0; x < image.width; ++x) {
            const std::uint8_t* p = &image.rgba[image.pixel_offset(x, y)];
            switch (kind) {
                case PngKind::kGrey:
                    sample(p[0]);
                    break;
                case PngKind::kGreyAlpha:
                    sample(p[0]), sample(p[3]);
                    break;
                case PngKind::kRgb:
                    sample(p[0]), sample(p[1]), sample(p[2]);
                    break;
                case PngKind::kRgba:
                    sample(p[0]), sample(p[1]), sample(p[2]), sample(p[3]);
                    break;
                case PngKind::kPalette: {
                    const std::uint32_t key = (std::uint32_t(p[0]) << 24) |
                                              (std::uint32_t(p[1]) << 16) |
                                              (std::uint32_t(p[2]) << 8) | p[3];
                    auto [it, fresh] = palette_index.try_emplace(
                        key, static_cast<std::uint8_t>(palette_index.size()));
                    if (fresh) {
                        plte.append(reinterpret_cast<const char*>(p), 3);
                        trns.push_back(static_cast<char>(p[3]));
                    }
                    raw.push_back(static_cast<char>(it->second));
                    break;
                }
            }
        }
    }
    std::string out(kPngSignature, 8);
    chunk(out, "IHDR",
          ihdr(static_cast<std::uint32_t>(image.width), static_cast<std::uint32_t>(image.height),
               bit_depth, colour_type));
    if (kind == PngKind::kPalette) {
        chunk(out, "PLTE", plte);
        chunk(out, "tRNS", trns);
    }
    chunk(out, "IDAT", zlib_stored(raw));
    chunk(out, "IEND", "");
    return out;
}

namespace {

// Bits written most significant first, with the 0xFF byte stuffing of entropy-coded data.
struct BitWriter {
    std::string out;
    std::uint32_t acc = 0;
    int count = 0;
    void put(std::uint32_t bits, int n) {
        for (int i = n - 1; i >= 0; --i) {
            acc = (acc << 1) | ((bits >> i) & 1u);
            if (++count == 8) flush_byte();
        }
    }
    void flush_byte() {
        out.push_back(static_cast<char>(acc & 0xFF));
        if ((acc & 0xFF) == 0xFF) out.push_back('\0');
        acc = 0, count = 0;
    }
    void finish() {
        while (count != 0) put(1, 1);
    }
};

void marker(std::string& out, std::uint8_t m, const std::string& body) {
    out.push_back('\xFF');
    out.push_back(static_cast<char>(m));
    be16(out, static_cast<std::uint32_t>(body.size() + 2));
    out += body;
}

// DC table: categories 0..11, all coded in 4 bits (0000 .. 1011).
// AC table: one symbol, 0x00 (end of block), coded as the single bit 0.
std::string huffman_tables() {
    std::string dc;
    dc.push_back('\x00');
    for (int len = 1; len <= 16; ++len) dc.push_back(len == 4 ? 12 : 0);
    for (int s = 0; s < 12; ++s) dc.push_back(static_cast<char>(s));
    std::string ac;
    ac.push_back('\x10');
    for (int len = 1; len <= 16; ++len) ac.push_back(len == 1 ? 1 : 0);
    ac.push_back('\0');
    return dc + ac;
}

void put_dc(BitWriter& bits, int diff) {
    int category = 0;
    for (int m = diff < 0 ? -diff : diff; m != 0; m >>= 1) ++category;
    bits.put(static_cast<std::uint32_t>(category), 4);
    if (category == 0) return;
    const int value = diff < 0 ? diff + (1 << category) - 1 : diff;
    bits.put(static_cast<std::uint32_t>(value), category);
}

}  // namespace

std::string encode_flat_grey_jpeg(int blocks_x, int blocks_y,
                                  const std::vector<std::uint8_t>& levels, bool progressive) {
    std::string out("\xFF\xD8", 2);
    marker(out, 0xDB, std::string(1, '\0') + std::string(64, '\x01'));  // all steps 1
    std::string sof;
    sof.push_back(8);
    be16(sof, static_cast<std::uint32_t>(blocks_y * 8));
    be16(sof, static_cast<std::uint32_t>(blocks_x * 8));
    sof += std::string("\x01\x01\x11\x00", 4);
    marker(out, progressive ? 0xC2 : 0xC0, sof);
    marker(out, 0xC4, huffman_tables());
    auto scan = [&](int ss, int se, bool dc, bool ac) {
        std::string sos("\x01\x01\x00", 3);
        sos.push_back(static_cast<char>(ss));
        sos.push_back(static_cast<char>(se));
        sos.push_back('\0');
        marker(out, 0xDA, sos);
        BitWriter bits;
        int previous = 0;
        for (std::uint8_t level : levels) {
            // A flat block of level L has only its DC term: 8 (L - 128) at step 1.
            const int coefficient = 8 * (static_cast<int>(level) - 128);
            if (dc) put_dc(bits, coefficient - previous);
            previous = coefficient;
            if (ac) bits.put(0, 1);
        }
        bits.finish();
        out += bits.out;
    };
    if (progressive) {
        scan(0, 0, true, false);
        scan(1, 63, false, true);
    } else {
        scan(0, 63, true, true);
    }
    out += "\xFF\xD9";
    return out;
}

std::string encode_tga(const Image& image, bool rle) {
    std::string out;
    out.push_back('\0');                   // no id
    out.push_back('\0');                   // no colour map
    out.push_back(rle ? '\x0A' : '\x02');  // true colour, RLE or raw
    out.append(5, '\0');                   // colour map spec
    le16(out, 0), le16(out, 0);            // origin
    le16(out, static_cast<std::uint32_t>(image.width));
    le16(out, static_cast<std::uint32_t>(image.height));
    out.push_back(rle ? 32 : 24);
    out.push_back(rle ? '\x28' : '\x00');  // 8 alpha bits and top-down rows for RLE
    auto bgr = [&](std::int32_t x, std::int32_t y) {
        const std::uint8_t* p = &image.rgba[image.pixel_offset(x, y)];
        std::string px{static_cast<char>(p[2]), static_cast<char>(p[1]), static_cast<char>(p[0])};
        if (rle) px.push_back(static_cast<char>(p[3]));
        return px;
    };
    if (!rle) {
        for (std::int32_t y = image.height - 1; y >= 0; --y)
            for (std::int32_t x = 0; x < image.width; ++x) out += bgr(x, y);
        return out;
    }
    // Runs of equal pixels become run packets, everything else raw packets of one pixel,
    // never crossing a row.
    for (std::int32_t y = 0; y < image.height; ++y) {
        std::int32_t x = 0;
        while (x < image.width) {
            std::int32_t run = 1;
            while (x + run < image.width && run < 128 && bgr(x + run, y) == bgr(x, y)) ++run;
            out.push_back(static_cast<char>(run > 1 ? 0x80 | (run - 1) : 0));
            out += bgr(x, y);
            x += run;
        }
    }
    return out;
}

std::string encode_psd(const Image& image) {
    std::string out = "8BPS";
    be16(out, 1);
    out.append(6, '\0');
    be16(out, 4);  // channels
    be32(out, static_cast<std::uint32_t>(image.height));
    be32(out, static_cast<std::uint32_t>(image.width));
    be16(out, 8);
    be16(out, 3);  // RGB
    be32(out, 0), be32(out, 0), be32(out, 0);
    be16(out, 0);  // raw planes
    for (int c = 0; c < 4; ++c) {
        for (std::size_t i = static_cast<std::size_t>(c); i < image.rgba.size(); i += 4)
            out.push_back(static_cast<char>(image.rgba[i]));
    }
    return out;
}

Image sample_image(std::int32_t width, std::int32_t height, bool varied_alpha) {
    Image image = make_image(width, height, 0, 0, 0);
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* p = &image.rgba[image.pixel_offset(x, y)];
            p[0] = static_cast<std::uint8_t>(x * 37 + y * 3);
            p[1] = static_cast<std::uint8_t>(y * 29 + 7);
            p[2] = static_cast<std::uint8_t>((x ^ y) * 11);
            p[3] = varied_alpha ? static_cast<std::uint8_t>(255 - x * 13) : 255;
        }
    }
    return image;
}

}  // namespace korvan::test
