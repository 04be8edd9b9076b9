#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// Hashing and ECDSA over NIST P-256 with SHA-256, in the raw byte layouts the release files
// use: a public key is X || Y, a signature r || s, each number 32 bytes big-endian.

namespace korvan::platform {

using Sha256Digest = std::array<std::uint8_t, 32>;
using P256PublicKey = std::array<std::uint8_t, 64>;  // X || Y
using P256Signature = std::array<std::uint8_t, 64>;  // r || s

// Overwrites memory in a way the compiler may not drop as a dead store.
void secure_wipe(void* data, std::size_t size);

// Secret bytes that wipe themselves when they go out of scope.
template <std::size_t N>
struct SecretBytes {
    std::array<std::uint8_t, N> bytes{};
    SecretBytes() = default;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;
    ~SecretBytes() { secure_wipe(bytes.data(), bytes.size()); }
};
using P256PrivateKey = SecretBytes<32>;  // the scalar d

Sha256Digest sha256(std::string_view data);

// SHA-256 and byte count of a whole file, read in pieces; nothing when it cannot be read.
struct FileDigest {
    Sha256Digest digest{};
    std::uint64_t size = 0;
};
std::optional<FileDigest> sha256_file(const std::filesystem::path& path);

// A fresh key pair from the system's random source; false when the library fails.
bool p256_generate(P256PublicKey& public_key, P256PrivateKey& private_key);

// Signs a SHA-256 digest. The private scalar must be in range and belong to `public_key`;
// false otherwise, and then `signature` is left zero.
bool p256_sign(const Sha256Digest& digest, const P256PublicKey& public_key,
               const P256PrivateKey& private_key, P256Signature& signature);

// True when `signature` is a valid signature of `digest` under `public_key`. A point off
// the curve, r or s of zero or not below the group order all give false.
bool p256_verify(const Sha256Digest& digest, const P256Signature& signature,
                 const P256PublicKey& public_key);

// The crypto library's own name and version ("OpenSSL 3.0.x ...").
std::string crypto_library_version();

}  // namespace korvan::platform
