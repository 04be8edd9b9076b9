#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <vector>

#include "io/image.h"
#include "tests/io/image_samples.h"
#include "tests/support/cli_runner.h"

namespace korvan {
namespace {

using test::PngKind;

std::uint32_t le32_at(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

std::span<const std::uint8_t> bytes_of(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

Image decoded(const std::string& file) {
    Image image;
    EXPECT_TRUE(io::decode_image(bytes_of(file), image));
    return image;
}

// Decoding files the test wrote may also seed the decoder's fuzzer: set KORVAN_IMAGE_SEED_DIR.
void maybe_keep_seed(const std::string& name, const std::string& bytes) {
    if (const char* dir = std::getenv("KORVAN_IMAGE_SEED_DIR")) {
        std::ofstream(std::filesystem::path(dir) / name, std::ios::binary) << bytes;
    }
}

TEST(ImageBmp, HeaderPaddingAndBottomUpRowsForEveryWidthClass) {
    for (std::int32_t w : {1, 2, 3, 4, 5, 7}) {
        SCOPED_TRACE(w);
        const std::int32_t h = 3;
        const Image image = test::sample_image(w, h, true);
        const std::string b = io::encode_bmp(image);
        const std::uint32_t row = (3 * static_cast<std::uint32_t>(w) + 3) / 4 * 4;
        ASSERT_EQ(b.size(), 54 + row * h);
        EXPECT_EQ(b.substr(0, 2), "BM");
        EXPECT_EQ(le32_at(b, 2), b.size());
        EXPECT_EQ(le32_at(b, 10), 54u);
        EXPECT_EQ(le32_at(b, 14), 40u);
        EXPECT_EQ(le32_at(b, 18), static_cast<std::uint32_t>(w));
        EXPECT_EQ(le32_at(b, 22), static_cast<std::uint32_t>(h));
        EXPECT_EQ(le32_at(b, 26), 1u | (24u << 16));
        EXPECT_EQ(le32_at(b, 30), 0u);
        EXPECT_EQ(le32_at(b, 34), row * h);
        EXPECT_EQ(le32_at(b, 38), 2835u);
        EXPECT_EQ(le32_at(b, 42), 2835u);
        EXPECT_EQ(le32_at(b, 46), 0u);
        EXPECT_EQ(le32_at(b, 50), 0u);
        for (std::int32_t fy = 0; fy < h; ++fy) {
            const std::size_t start = 54 + static_cast<std::size_t>(fy) * row;
            for (std::int32_t x = 0; x < w; ++x) {
                const std::uint8_t* p = &image.rgba[image.pixel_offset(x, h - 1 - fy)];
                EXPECT_EQ(static_cast<unsigned char>(b[start + 3 * x]), p[2]);
                EXPECT_EQ(static_cast<unsigned char>(b[start + 3 * x + 1]), p[1]);
                EXPECT_EQ(static_cast<unsigned char>(b[start + 3 * x + 2]), p[0]);
            }
            for (std::size_t pad = start + 3 * static_cast<std::size_t>(w); pad < start + row;
                 ++pad)
                EXPECT_EQ(b[pad], '\0');
        }
        // And the decoder reads it back (alpha is not stored: opaque).
        Image back = decoded(b);
        Image opaque = image;
        for (std::size_t i = 3; i < opaque.rgba.size(); i += 4) opaque.rgba[i] = 255;
        EXPECT_EQ(back.rgba, opaque.rgba);
    }
}

TEST(ImagePpm, HeaderThenRgbTopRowFirst) {
    const Image image = test::sample_image(3, 2, true);
    const std::string p = io::encode_ppm(image);
    const std::string header = "P6\n3 2\n255\n";
    ASSERT_EQ(p.size(), header.size() + 18);
    EXPECT_EQ(p.substr(0, header.size()), header);
    for (std::size_t i = 0; i < 6; ++i) {
        for (std::size_t c = 0; c < 3; ++c)
            EXPECT_EQ(static_cast<unsigned char>(p[header.size() + 3 * i + c]),
                      image.rgba[4 * i + c]);
    }
    // The decoder reads the program's own PPMs back, opaque.
    const Image opaque = test::sample_image(5, 4, false);
    const std::string bytes = io::encode_ppm(opaque);
    Image back;
    ASSERT_TRUE(io::decode_image(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, back));
    EXPECT_EQ(back.width, 5);
    EXPECT_EQ(back.height, 4);
    EXPECT_EQ(back.rgba, opaque.rgba);
}

TEST(ImagePpm, ReadsCommentsAndSmallRangesRefusesTheRest) {
    const struct {
        std::string bytes;
        bool ok;
        std::uint8_t first;
    } cases[] = {
        {std::string("P6\n# by hand\n1 1 255\n\x07\0\0", 24), true, 7},
        {std::string("P6 1 1 15\t\x0f\0\0", 13), true, 255},
        {std::string("P6 1 1 15\n\x08\0\0", 13), true, 136},
        {std::string("P6 1 1 256\n\0\0\0\0\0\0", 17), false, 0},  // two-byte samples
        {std::string("P6 2 1 255\n\0\0\0\0\0", 16), false, 0},    // one byte short
        {std::string("P6 0 1 255\n", 11), false, 0},
        {std::string("P6 1 1 255", 10), false, 0},
        {std::string("P3 1 1 255\n0 0 0", 16), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        Image image;
        const bool ok = io::decode_image(
            {reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size()}, image);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(image.usable(), c.ok);
        if (ok) {
            EXPECT_EQ(image.rgba[0], c.first);
        }
    }
}

TEST(ImageWriters, RefuseUnusableImagesAndWriteNothing) {
    const std::filesystem::path dir = test::fresh_temp_dir();
    Image no_pixels;
    no_pixels.width = 4, no_pixels.height = 4;
    Image short_pixels = make_image(4, 4, 1, 2, 3);
    short_pixels.rgba.resize(10);
    for (const Image* image : {&no_pixels, &short_pixels}) {
        EXPECT_FALSE(io::write_bmp(dir / "a.bmp", *image));
        EXPECT_FALSE(io::write_ppm(dir / "a.ppm", *image));
        EXPECT_FALSE(io::write_png(dir / "a.png", *image));
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir));
    EXPECT_FALSE(io::write_bmp(dir / "missing" / "a.bmp", make_image(1, 1, 0, 0, 0)));
}

TEST(ImagePng, WrittenFilesReadBackIdentical) {
    const std::filesystem::path dir = test::fresh_temp_dir();
    for (bool alpha : {false, true}) {
        SCOPED_TRACE(alpha);
        const Image image = test::sample_image(17, 9, alpha);
        ASSERT_TRUE(io::write_image(dir / "x.PNG", image));
        Image back;
        ASSERT_TRUE(io::load_image(dir / "x.PNG", back));
        EXPECT_EQ(back.width, 17);
        EXPECT_EQ(back.height, 9);
        EXPECT_EQ(back.rgba, image.rgba);
    }
    // Any other ending gets a BMP.
    ASSERT_TRUE(io::write_image(dir / "x.png.bmp", test::sample_image(2, 2, false)));
    std::ifstream in(dir / "x.png.bmp", std::ios::binary);
    char magic[2] = {};
    in.read(magic, 2);
    EXPECT_EQ(std::string(magic, 2), "BM");
}

TEST(ImageDecode, EveryPngColourTypeAndDepthArrivesAsRgba) {
    const Image source = test::sample_image(5, 3, true);
    struct Row {
        PngKind kind;
        int depth;
        const char* name;
    };
    for (const Row& row :
         {Row{PngKind::kGrey, 8, "grey.png"}, Row{PngKind::kGrey, 16, "grey16.png"},
          Row{PngKind::kGreyAlpha, 8, "grey_alpha.png"}, Row{PngKind::kPalette, 8, "palette.png"},
          Row{PngKind::kRgb, 8, "rgb.png"}, Row{PngKind::kRgb, 16, "rgb16.png"},
          Row{PngKind::kRgba, 8, "rgba.png"}, Row{PngKind::kRgba, 16, "rgba16.png"}}) {
        SCOPED_TRACE(row.name);
        const std::string file = test::encode_png_file(source, row.kind, row.depth);
        maybe_keep_seed(row.name, file);
        const Image got = decoded(file);
        ASSERT_EQ(got.width, 5);
        ASSERT_EQ(got.height, 3);
        for (std::size_t i = 0; i < got.rgba.size(); i += 4) {
            const bool grey = row.kind == PngKind::kGrey || row.kind == PngKind::kGreyAlpha;
            const bool alpha = row.kind != PngKind::kGrey && row.kind != PngKind::kRgb;
            EXPECT_EQ(got.rgba[i], source.rgba[i]);
            EXPECT_EQ(got.rgba[i + 1], source.rgba[grey ? i : i + 1]);
            EXPECT_EQ(got.rgba[i + 2], source.rgba[grey ? i : i + 2]);
            EXPECT_EQ(got.rgba[i + 3], alpha ? source.rgba[i + 3] : 255);
        }
    }
}

TEST(ImageDecode, BaselineAndProgressiveJpegBlocksKeepTheirLevels) {
    const std::vector<std::uint8_t> levels = {0, 40, 128, 200, 255, 17};
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive);
        const std::string file = test::encode_flat_grey_jpeg(3, 2, levels, progressive);
        maybe_keep_seed(progressive ? "progressive.jpg" : "baseline.jpg", file);
        const Image got = decoded(file);
        ASSERT_EQ(got.width, 24);
        ASSERT_EQ(got.height, 16);
        for (std::int32_t y = 0; y < 16; ++y) {
            for (std::int32_t x = 0; x < 24; ++x) {
                const int want = levels[static_cast<std::size_t>((y / 8) * 3 + x / 8)];
                const std::uint8_t* p = &got.rgba[got.pixel_offset(x, y)];
                EXPECT_NEAR(p[0], want, 1) << x << "," << y;
                EXPECT_EQ(p[0], p[1]);
                EXPECT_EQ(p[0], p[2]);
                EXPECT_EQ(p[3], 255);
            }
        }
    }
}

TEST(ImageDecode, TgaRawAndRunLengthAndPsd) {
    Image image = test::sample_image(6, 4, true);
    // Runs for the RLE packets: the second row is one colour.
    for (std::int32_t x = 0; x < 6; ++x) {
        std::uint8_t* p = &image.rgba[image.pixel_offset(x, 1)];
        p[0] = 9, p[1] = 8, p[2] = 7, p[3] = 6;
    }
    Image opaque = image;
    for (std::size_t i = 3; i < opaque.rgba.size(); i += 4) opaque.rgba[i] = 255;
    const std::string raw_tga = test::encode_tga(image, false);
    const std::string rle_tga = test::encode_tga(image, true);
    // Layered-file pixels with partial alpha are stored over a white matte, which the decoder
    // takes out again; opaque pixels pass untouched.
    const std::string psd = test::encode_psd(opaque);
    maybe_keep_seed("raw.tga", raw_tga);
    maybe_keep_seed("rle.tga", rle_tga);
    maybe_keep_seed("rgba.psd", psd);
    EXPECT_EQ(decoded(raw_tga).rgba, opaque.rgba);
    EXPECT_EQ(decoded(rle_tga).rgba, image.rgba);
    EXPECT_EQ(decoded(psd).rgba, opaque.rgba);
    maybe_keep_seed("image.bmp", io::encode_bmp(image));
}

TEST(ImageDecode, SizeLimitsAndRefusals) {
    const Image one = test::sample_image(1, 1, false);
    EXPECT_EQ(decoded(test::encode_png_file(one, PngKind::kRgb)).rgba, one.rgba);
    // The limit is checked on the header, before any pixel is decoded.
    Image image;
    EXPECT_FALSE(io::decode_image(bytes_of(test::png_header_only(40000, 10)), image));
    EXPECT_FALSE(io::decode_image(bytes_of(test::png_header_only(32769, 1)), image));
    EXPECT_TRUE(image.rgba.empty());
    const Image widest = make_image(io::kMaxImageSide, 1, 3, 4, 5);
    EXPECT_EQ(decoded(test::encode_png_file(widest, PngKind::kRgb)).width, io::kMaxImageSide);

    // Every cut into the pixel data fails cleanly; a cut after it (the end marker lost)
    // may decode, but only to the whole picture.
    const Image source = test::sample_image(4, 4, true);
    const std::string png = test::encode_png_file(source, PngKind::kRgba);
    const std::size_t pixels_end = png.size() - 12;  // the IEND chunk is 12 bytes
    for (std::size_t n = 0; n < png.size(); ++n) {
        SCOPED_TRACE(n);
        const bool ok = io::decode_image(bytes_of(png.substr(0, n)), image);
        if (n < pixels_end) {
            EXPECT_FALSE(ok);
        }
        EXPECT_EQ(image.rgba.empty(), !ok);
        if (ok) {
            EXPECT_EQ(image.rgba, source.rgba);
        }
    }
    // Formats outside the five, and files that are not there.
    const std::filesystem::path dir = test::fresh_temp_dir();
    std::ofstream(dir / "x.gif", std::ios::binary) << "GIF89a\x01\x00\x01\x00\x00\x00\x00;";
    EXPECT_FALSE(io::load_image(dir / "x.gif", image));
    EXPECT_FALSE(io::load_image(dir / "absent.png", image));
    EXPECT_FALSE(io::load_image("", image));
    EXPECT_FALSE(io::load_image(dir, image));
}

TEST(ContactSheet, GridFollowsTheImageCount) {
    struct Row {
        std::size_t n;
        std::int32_t columns, rows;
    };
    for (const Row& row :
         {Row{1, 2, 1}, Row{4, 2, 2}, Row{5, 3, 2}, Row{9, 3, 3}, Row{10, 4, 3}, Row{17, 5, 4}}) {
        SCOPED_TRACE(row.n);
        std::vector<Image> images(row.n, make_image(3, 2, 200, 100, 50));
        const Image sheet = make_contact_sheet(images);
        EXPECT_EQ(sheet.width, row.columns * 3);
        EXPECT_EQ(sheet.height, row.rows * 2);
    }
}

TEST(ContactSheet, ImagesSitTopLeftInTheirCellsOverBlack) {
    std::vector<Image> images = {make_image(4, 3, 10, 20, 30), Image{},
                                 make_image(2, 2, 40, 50, 60)};
    const Image sheet = make_contact_sheet(images, 2);
    ASSERT_EQ(sheet.width, 8);
    ASSERT_EQ(sheet.height, 6);
    auto px = [&](std::int32_t x, std::int32_t y) {
        const std::uint8_t* p = &sheet.rgba[sheet.pixel_offset(x, y)];
        return std::vector<int>{p[0], p[1], p[2], p[3]};
    };
    EXPECT_EQ(px(3, 2), (std::vector<int>{10, 20, 30, 255}));
    EXPECT_EQ(px(5, 1), (std::vector<int>{0, 0, 0, 0}));       // the unusable entry's cell
    EXPECT_EQ(px(1, 4), (std::vector<int>{40, 50, 60, 255}));  // third image, second row
    EXPECT_EQ(px(2, 4), (std::vector<int>{0, 0, 0, 0}));       // beyond its natural size

    const Image empty = make_contact_sheet(std::vector<Image>{Image{}});
    EXPECT_EQ(empty.width, 1280);
    EXPECT_EQ(empty.height, 720);
    EXPECT_FALSE(io::write_contact_sheet_bmp(test::fresh_temp_dir() / "s.bmp", {}));
}

}  // namespace
}  // namespace korvan
