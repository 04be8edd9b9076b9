// Pictures a command writes come back from the MCP server: folder snapshots, scaling and
// the image items, with a fake runner that writes the files a real command would.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "cli/mcp_pictures.h"
#include "cli/mcp_server.h"
#include "io/json.h"
#include "tests/support/cli_runner.h"

namespace korvan::cli {
namespace {

namespace fs = std::filesystem;

// Every pixel different, so a wrong block or a swapped axis shows.
Image ramp(std::int32_t w, std::int32_t h) {
    Image image = make_image(w, h, 0, 0, 0);
    for (std::int32_t y = 0; y < h; ++y) {
        for (std::int32_t x = 0; x < w; ++x) {
            const std::size_t at = image.pixel_offset(x, y);
            image.rgba[at] = static_cast<std::uint8_t>(x * 7);
            image.rgba[at + 1] = static_cast<std::uint8_t>(y * 13);
            image.rgba[at + 2] = static_cast<std::uint8_t>((x + y) * 3);
        }
    }
    return image;
}

std::string unbase64(const std::string& text) {
    const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=') break;
        bits = bits << 6 | static_cast<std::uint32_t>(digits.find(c));
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>(bits >> count & 0xFF);
        }
    }
    return out;
}

TEST(McpPictures, Base64MatchesTheStandardVectors) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xff\xfe\0", 3), "//4A"},
    };
    for (const auto& [plain, coded] : cases) {
        SCOPED_TRACE(coded);
        EXPECT_EQ(base64(plain), coded);
        EXPECT_EQ(unbase64(coded), plain);
    }
}

TEST(McpPictures, ScalesTheLongerSideDownWithABoxFilter) {
    const struct {
        std::int32_t w, h, want_w, want_h;
    } sizes[] = {{2048, 1000, 1024, 500},
                 {999, 3000, 341, 1024},
                 {800, 450, 800, 450},
                 {5000, 1, 1024, 1},
                 {1024, 1024, 1024, 1024}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message() << s.w << "x" << s.h);
        const Image scaled = scale_to_fit(make_image(s.w, s.h, 10, 200, 30, 99), 1024);
        EXPECT_EQ(scaled.width, s.want_w);
        EXPECT_EQ(scaled.height, s.want_h);
        // An even colour stays that colour.
        EXPECT_EQ(scaled.rgba, make_image(s.want_w, s.want_h, 10, 200, 30, 99).rgba);
    }
    // Halving: each pixel is the rounded mean of its 2x2 block, computed plainly.
    const Image source = ramp(30, 20);
    const Image half = scale_to_fit(source, 15);
    ASSERT_EQ(half.width, 15);
    ASSERT_EQ(half.height, 10);
    for (std::int32_t y = 0; y < 10; ++y) {
        for (std::int32_t x = 0; x < 15; ++x) {
            for (std::size_t c = 0; c < 4; ++c) {
                int sum = 0;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        sum += source.rgba[source.pixel_offset(2 * x + dx, 2 * y + dy) + c];
                    }
                }
                ASSERT_EQ(half.rgba[half.pixel_offset(x, y) + c], (sum + 2) / 4) << x << "," << y;
            }
        }
    }
}

// A server whose fake command runs `write` in the call's folder.
struct PictureServer {
    fs::path dir = test::fresh_temp_dir();
    std::function<void(const fs::path&)> write;
    McpServer server{dir,
                     [this](const std::vector<std::string>&, const fs::path& cwd, std::uint32_t) {
                         if (write) write(cwd);
                         platform::ChildRun run;
                         run.exit_code = 0;
                         run.out = "Wrote\n";
                         return run;
                     }};

    // The text and the decoded PNG of every image item of one korvan_run call.
    std::string run(std::vector<Image>& images) {
        const std::string line = server.handle_line(
            R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"korvan_run",)"
            R"("arguments":{"args":["still"]}}})");
        io::JsonValue value;
        EXPECT_TRUE(io::parse_json(line, value, nullptr)) << line;
        const io::JsonValue* content = value.find("result")->find("content");
        images.clear();
        for (std::size_t i = 1; i < content->items().size(); ++i) {
            const io::JsonValue& item = content->items()[i];
            EXPECT_EQ(item.get_string("type", ""), "image");
            EXPECT_EQ(item.get_string("mimeType", ""), "image/png");
            const std::string png = unbase64(std::string(item.get_string("data", "")));
            EXPECT_TRUE(png.starts_with("\x89PNG"));
            Image image;
            EXPECT_TRUE(io::decode_image(
                {reinterpret_cast<const std::uint8_t*>(png.data()), png.size()}, image));
            images.push_back(image);
        }
        return std::string(content->items()[0].get_string("text", ""));
    }
};

// Written a second apart in the given order, whatever the clock's resolution.
void write_at(const fs::path& path, const std::string& bytes, int second) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    fs::last_write_time(path, fs::file_time_type::clock::now() + std::chrono::seconds(second));
}

TEST(McpPictures, NewAndChangedPicturesComeBackInTheOrderWritten) {
    PictureServer s;
    const Image wide = ramp(2000, 500), small = ramp(40, 30), tall = ramp(20, 1500);
    write_at(s.dir / "kept.png", io::encode_png(small), -100);
    write_at(s.dir / "changed.bmp", io::encode_bmp(small), -100);
    s.write = [&](const fs::path& cwd) {
        write_at(cwd / "sub" / "b.ppm", io::encode_ppm(tall), 3);
        write_at(cwd / "A.PNG", io::encode_png(wide), 1);
        write_at(cwd / "changed.bmp", io::encode_bmp(small), 2);
        write_at(cwd / "notes.txt", "not a picture", 4);
        write_at(cwd / "a" / "b" / "c" / "deep.png", io::encode_png(small), 5);
    };
    std::vector<Image> images;
    const std::string text = s.run(images);
    EXPECT_EQ(text, "$ korvan_cli still\ncwd: " + s.dir.string() +
                        "\nexit code: 0\n--- stdout ---\nWrote\n");
    ASSERT_EQ(images.size(), 3u);
    const Image want[] = {scale_to_fit(wide, 1024), small, scale_to_fit(tall, 1024)};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(images[i].width, want[i].width);
        EXPECT_EQ(images[i].height, want[i].height);
        EXPECT_EQ(images[i].rgba, want[i].rgba);
    }

    // Nothing written this time: the result is the text alone, as for any other command.
    s.write = nullptr;
    EXPECT_EQ(s.run(images), text);
    EXPECT_TRUE(images.empty());

    // Six pictures: the first four written.
    s.write = [&](const fs::path& cwd) {
        for (int i = 0; i < 6; ++i) {
            write_at(cwd / (std::string("p") + static_cast<char>('5' - i) + ".png"),
                     io::encode_png(make_image(i + 1, 1, 0, 0, 0)), 10 + i);
        }
    };
    s.run(images);
    ASSERT_EQ(images.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(images[i].width, static_cast<int>(i) + 1);
}

TEST(McpPictures, RefusesHugeOrBrokenPicturesWithANote) {
    PictureServer s;
    // A PNG signature and header chunk claiming 32768 x 32768: refused on the header alone.
    std::string huge("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x80\0\0\0\x80\0\x08\x02\0\0\0\0\0\0\0",
                     33);
    s.write = [&](const fs::path& cwd) {
        write_at(cwd / "huge.png", huge, 1);
        write_at(cwd / "broken.bmp", "BM not really", 2);
        write_at(cwd / "photo.png", std::string("\xff\xd8\xff\xe0\0\x10JFIF\0", 11), 2);
        write_at(cwd / "fine.png", io::encode_png(make_image(3, 2, 1, 2, 3)), 3);
    };
    std::vector<Image> images;
    const std::string text = s.run(images);
    EXPECT_TRUE(text.ends_with(
        "Wrote\n\nPicture \"huge.png\" is 32768 x 32768 pixels, more than 8192 a side or 64 "
        "megapixels; not shown.\nPicture \"broken.bmp\" could not be read; not shown.\n"
        "Picture \"photo.png\" could not be read; not shown."))
        << text;
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].width, 3);
}

}  // namespace
}  // namespace korvan::cli
