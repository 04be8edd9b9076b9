#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/crypto.h"

// Release keys as the key files hold them: the private file is 192 hexadecimal digits
// X || Y || d, the public key 128 digits X || Y (NIST P-256, numbers 32 bytes big-endian).

namespace korvan::update {

// The public half of the release key compiled into this build: the key installed copies
// trust and update-verify's default.
extern const std::string_view kReleasePublicKeyHex;

inline constexpr std::size_t kPrivateKeyHexDigits = 192;
inline constexpr std::size_t kPublicKeyHexDigits = 128;
inline constexpr std::size_t kSignatureHexDigits = 128;

// Text that may hold key material: wiped when it goes out of scope.
struct SecretText {
    std::string text;
    SecretText() = default;
    explicit SecretText(std::string t) : text(std::move(t)) {}
    SecretText(SecretText&&) = default;
    SecretText& operator=(SecretText&&) = default;
    SecretText(const SecretText&) = delete;
    SecretText& operator=(const SecretText&) = delete;
    ~SecretText() { platform::secure_wipe(text.data(), text.size()); }
};

// Lowercase hexadecimal of the bytes.
std::string to_hex(std::span<const std::uint8_t> bytes);

// Reads exactly out.size() bytes of hexadecimal (either case) from `text` after trimming
// blanks, tabs, line feeds and carriage returns around it; false for any other length or
// character.
bool from_hex(std::string_view text, std::span<std::uint8_t> out);

struct KeyPair {
    SecretText private_hex;  // 192 digits
    std::string public_hex;  // 128 digits
};

// A fresh key pair, checked: the private file's public half is the public key. Nothing when
// the crypto library fails or hands back a key that does not hold together.
std::optional<KeyPair> generate_key_pair();

// The key parts of a private key file's text; false when it is not 192 hex digits.
bool parse_private_key(std::string_view hex, platform::P256PublicKey& public_key,
                       platform::P256PrivateKey& private_key);

// The 128-digit public half of a private key file's text; nothing when it is not one.
std::optional<std::string> public_half(std::string_view private_hex);

}  // namespace korvan::update
