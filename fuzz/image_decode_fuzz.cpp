// libFuzzer harness for the image decoder. Besides "never crash, never leak", it checks the
// decoder's contract (a refusal leaves no pixels; a success has sides in 1..32768 and exactly
// width x height RGBA pixels) and that what decodes survives our own PNG and BMP writers.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "io/image.h"

namespace {

// Headers may claim up to 32768 x 32768 pixels (4 GiB of RGBA), which the decoder may
// rightly try to allocate; such inputs say little about parsing and would only slow the
// fuzzer down or hit its memory limit.
constexpr std::int64_t kMaxFuzzPixels = 1 << 20;
// Small enough to re-encode on every run.
constexpr std::int64_t kMaxRoundTripPixels = 1 << 16;

std::span<const std::uint8_t> bytes_of(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvan;
    const std::span<const std::uint8_t> bytes(data, size);
    std::int32_t w = 0, h = 0;
    if (io::probe_image_size(bytes, w, h) && std::int64_t(w) * h > kMaxFuzzPixels) return 0;
    Image image;
    if (!io::decode_image(bytes, image)) {
        if (!image.rgba.empty()) std::abort();
        return 0;
    }
    if (image.width < 1 || image.height < 1 || image.width > io::kMaxImageSide ||
        image.height > io::kMaxImageSide ||
        image.rgba.size() != std::size_t(image.width) * std::size_t(image.height) * 4) {
        std::abort();
    }
    if (std::int64_t(image.width) * image.height > kMaxRoundTripPixels) return 0;
    Image back;
    if (!io::decode_image(bytes_of(io::encode_png(image)), back) || back.rgba != image.rgba)
        std::abort();
    Image opaque = image;
    for (std::size_t i = 3; i < opaque.rgba.size(); i += 4) opaque.rgba[i] = 255;
    if (!io::decode_image(bytes_of(io::encode_bmp(image)), back) || back.rgba != opaque.rgba)
        std::abort();
    return 0;
}
