#include "korvan/update/signature.h"

#include "korvan/update/keys.h"
#include "platform/crypto.h"

namespace korvan::update {

std::optional<std::string> sign_manifest(std::string_view manifest, std::string_view private_hex) {
    platform::P256PublicKey public_key{};
    platform::P256PrivateKey private_key;
    if (!parse_private_key(private_hex, public_key, private_key)) return std::nullopt;
    platform::P256Signature signature{};
    if (!platform::p256_sign(platform::sha256(manifest), public_key, private_key, signature)) {
        return std::nullopt;
    }
    return to_hex(signature);
}

bool verify_manifest(std::string_view manifest, std::string_view signature_hex,
                     std::string_view public_hex) {
    platform::P256Signature signature{};
    platform::P256PublicKey public_key{};
    return from_hex(signature_hex, signature) && from_hex(public_hex, public_key) &&
           platform::p256_verify(platform::sha256(manifest), signature, public_key);
}

}  // namespace korvan::update
