#include "korvan/update/keys.h"

#include <algorithm>

namespace korvan::update {
namespace {

constexpr std::string_view kDigits = "0123456789abcdef";

constexpr bool is_hex_key(std::string_view text) {
    return text.size() == kPublicKeyHexDigits && std::all_of(text.begin(), text.end(), [](char c) {
               return kDigits.find(c) != std::string_view::npos;
           });
}

int digit_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

constexpr std::string_view kCompiledReleaseKey = KORVAN_RELEASE_PUBLIC_KEY;
static_assert(is_hex_key(kCompiledReleaseKey),
              "KORVAN_RELEASE_PUBLIC_KEY must be 128 lowercase hex digits (X||Y)");
const std::string_view kReleasePublicKeyHex = kCompiledReleaseKey;

std::string to_hex(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0f];
    }
    return out;
}

bool from_hex(std::string_view text, std::span<std::uint8_t> out) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    if (text.size() != out.size() * 2) return false;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int hi = digit_value(text[2 * i]), lo = digit_value(text[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            platform::secure_wipe(out.data(), out.size());
            return false;
        }
        out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return true;
}

bool parse_private_key(std::string_view hex, platform::P256PublicKey& public_key,
                       platform::P256PrivateKey& private_key) {
    platform::SecretBytes<96> all;
    if (!from_hex(hex, all.bytes)) return false;
    std::copy_n(all.bytes.begin(), 64, public_key.begin());
    std::copy_n(all.bytes.begin() + 64, 32, private_key.bytes.begin());
    return true;
}

std::optional<std::string> public_half(std::string_view private_hex) {
    platform::P256PublicKey public_key{};
    platform::P256PrivateKey private_key;
    if (!parse_private_key(private_hex, public_key, private_key)) return std::nullopt;
    return to_hex(public_key);
}

std::optional<KeyPair> generate_key_pair() {
    platform::P256PublicKey public_key{};
    platform::P256PrivateKey private_key;
    if (!platform::p256_generate(public_key, private_key)) return std::nullopt;
    KeyPair pair;
    pair.private_hex.text.reserve(kPrivateKeyHexDigits);
    pair.private_hex.text = to_hex(public_key);
    SecretText scalar(to_hex(private_key.bytes));
    pair.private_hex.text += scalar.text;
    pair.public_hex = to_hex(public_key);
    // A key that cannot sign what its public half verifies would strand every installed
    // copy, so the pair proves itself before anyone writes it down.
    const platform::Sha256Digest probe = platform::sha256("korvan key check");
    platform::P256Signature signature{};
    if (pair.private_hex.text.size() != kPrivateKeyHexDigits ||
        !platform::p256_sign(probe, public_key, private_key, signature) ||
        !platform::p256_verify(probe, signature, public_key)) {
        return std::nullopt;
    }
    return pair;
}

}  // namespace korvan::update
