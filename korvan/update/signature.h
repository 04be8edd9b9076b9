#pragma once

#include <optional>
#include <string>
#include <string_view>

// ECDSA P-256 signatures over the SHA-256 of a manifest's exact bytes, written as 128
// hexadecimal digits r || s.

namespace korvan::update {

// The signature of `manifest` under the private key file's text; nothing for a text that
// is not a private key or a key whose halves do not belong together.
std::optional<std::string> sign_manifest(std::string_view manifest, std::string_view private_hex);

// True when the signature text decodes to 64 bytes, the key text to 64 bytes, and the
// signature verifies over the SHA-256 of `manifest`.
bool verify_manifest(std::string_view manifest, std::string_view signature_hex,
                     std::string_view public_hex);

}  // namespace korvan::update
