#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "io/image.h"

// Pictures a command left in its working folder, found by comparing the folder before and
// after the run, and turned into small PNGs an AI client can look at.

namespace korvan::cli {

// Folders below the working folder that are searched, and entries looked at in all: a
// command writes its pictures next to its model or in a folder it names, never deep down.
inline constexpr int kPictureScanDepth = 3;
inline constexpr std::size_t kPictureScanEntries = 5000;
// Pictures returned with one result, and the longer side they are scaled down to.
inline constexpr std::size_t kMaxPicturesShown = 4;
inline constexpr std::int32_t kShownLongSide = 1024;
// A picture whose header says more than this is never decoded.
inline constexpr std::int32_t kMaxPictureSide = 8192;
inline constexpr std::int64_t kMaxPicturePixels = 64LL * 1024 * 1024;

struct PictureFileStamp {
    std::filesystem::path path;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type written;
};

// The BMP, PPM and PNG files (extension in any case) in `dir` and its subfolders, within the
// bounds above, sorted by path. Empty when the folder cannot be read.
std::vector<PictureFileStamp> snapshot_picture_files(const std::filesystem::path& dir);

// The files of `after` that are new or changed since `before`, in the order written
// (modification time, then path).
std::vector<std::filesystem::path> written_picture_files(
    const std::vector<PictureFileStamp>& before, const std::vector<PictureFileStamp>& after);

// The image scaled down with a box filter so that its longer side is at most `long_side`;
// a copy when it already fits.
Image scale_to_fit(const Image& image, std::int32_t long_side);

// The picture at `path` as PNG bytes scaled to kShownLongSide; false with a sentence naming
// it as `name` in `note` when it is too large or cannot be read.
bool picture_as_png(const std::filesystem::path& path, std::string_view name, std::string& png,
                    std::string& note);

std::string base64(std::string_view bytes);

}  // namespace korvan::cli
