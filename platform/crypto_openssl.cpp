#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/params.h>

#include <fstream>
#include <memory>
#include <vector>

#include "platform/crypto.h"

// The keys only ever pass through the provider interface (EVP_PKEY built from parameters),
// so nothing here uses the low-level EC_KEY calls that OpenSSL 3 deprecates.

namespace korvan::platform {
namespace {

constexpr const char* kCurve = "prime256v1";
constexpr std::size_t kCoordinateBytes = 32;
constexpr std::size_t kHashChunkBytes = std::size_t{1} << 20;
constexpr unsigned char kUncompressedPoint = 0x04;

struct Free {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(EVP_PKEY_CTX* p) const { EVP_PKEY_CTX_free(p); }
    void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
    void operator()(BIGNUM* p) const { BN_clear_free(p); }
    void operator()(OSSL_PARAM_BLD* p) const { OSSL_PARAM_BLD_free(p); }
    void operator()(OSSL_PARAM* p) const { OSSL_PARAM_free(p); }
    void operator()(ECDSA_SIG* p) const { ECDSA_SIG_free(p); }
};
template <class T>
using Owned = std::unique_ptr<T, Free>;

// 0x04 || X || Y, the encoding the provider takes a public point in.
std::array<unsigned char, 65> encoded_point(const P256PublicKey& key) {
    std::array<unsigned char, 65> out{};
    out[0] = kUncompressedPoint;
    std::copy(key.begin(), key.end(), out.begin() + 1);
    return out;
}

// A key from its parts; with `private_key` a key pair that must pass the full consistency
// check (scalar in range, public point equal to d*G), else a public key that must lie on
// the curve.
Owned<EVP_PKEY> import_key(const P256PublicKey& public_key, const P256PrivateKey* private_key) {
    Owned<OSSL_PARAM_BLD> build(OSSL_PARAM_BLD_new());
    if (!build) return nullptr;
    const auto point = encoded_point(public_key);
    Owned<BIGNUM> d;
    if (private_key) {
        d.reset(BN_secure_new());
        if (!d || !BN_bin2bn(private_key->bytes.data(), kCoordinateBytes, d.get())) return nullptr;
    }
    if (!OSSL_PARAM_BLD_push_utf8_string(build.get(), OSSL_PKEY_PARAM_GROUP_NAME, kCurve, 0) ||
        !OSSL_PARAM_BLD_push_octet_string(build.get(), OSSL_PKEY_PARAM_PUB_KEY, point.data(),
                                          point.size()) ||
        (d && !OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_PRIV_KEY, d.get()))) {
        return nullptr;
    }
    Owned<OSSL_PARAM> params(OSSL_PARAM_BLD_to_param(build.get()));
    Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) <= 0) return nullptr;
    EVP_PKEY* raw = nullptr;
    const int selection = private_key ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY;
    if (EVP_PKEY_fromdata(ctx.get(), &raw, selection, params.get()) <= 0) return nullptr;
    Owned<EVP_PKEY> key(raw);
    Owned<EVP_PKEY_CTX> check(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    if (!check) return nullptr;
    const bool ok = private_key ? EVP_PKEY_private_check(check.get()) == 1 &&
                                      EVP_PKEY_pairwise_check(check.get()) == 1
                                : EVP_PKEY_public_check(check.get()) == 1;
    return ok ? std::move(key) : nullptr;
}

bool export_number(const EVP_PKEY* key, const char* name, std::uint8_t* out) {
    BIGNUM* raw = nullptr;
    if (EVP_PKEY_get_bn_param(key, name, &raw) != 1) return false;
    Owned<BIGNUM> n(raw);
    return BN_bn2binpad(n.get(), out, kCoordinateBytes) == static_cast<int>(kCoordinateBytes);
}

}  // namespace

void secure_wipe(void* data, std::size_t size) { OPENSSL_cleanse(data, size); }

Sha256Digest sha256(std::string_view data) {
    Sha256Digest out{};
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), out.data(), &length, EVP_sha256(), nullptr);
    return out;
}

std::optional<FileDigest> sha256_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    Owned<EVP_MD_CTX> ctx(EVP_MD_CTX_new());
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
    FileDigest result;
    std::vector<char> buffer(kHashChunkBytes);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0) break;
        if (EVP_DigestUpdate(ctx.get(), buffer.data(), got) != 1) return std::nullopt;
        result.size += got;
    }
    if (in.bad()) return std::nullopt;
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(ctx.get(), result.digest.data(), &length) != 1) return std::nullopt;
    return result;
}

bool p256_generate(P256PublicKey& public_key, P256PrivateKey& private_key) {
    Owned<EVP_PKEY> key(EVP_EC_gen(kCurve));
    if (!key) return false;
    return export_number(key.get(), OSSL_PKEY_PARAM_EC_PUB_X, public_key.data()) &&
           export_number(key.get(), OSSL_PKEY_PARAM_EC_PUB_Y, public_key.data() + 32) &&
           export_number(key.get(), OSSL_PKEY_PARAM_PRIV_KEY, private_key.bytes.data());
}

bool p256_sign(const Sha256Digest& digest, const P256PublicKey& public_key,
               const P256PrivateKey& private_key, P256Signature& signature) {
    signature.fill(0);
    Owned<EVP_PKEY> key = import_key(public_key, &private_key);
    if (!key) return false;
    Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    std::size_t der_size = 0;
    if (!ctx || EVP_PKEY_sign_init(ctx.get()) != 1 ||
        EVP_PKEY_sign(ctx.get(), nullptr, &der_size, digest.data(), digest.size()) != 1) {
        return false;
    }
    std::vector<unsigned char> der(der_size);
    if (EVP_PKEY_sign(ctx.get(), der.data(), &der_size, digest.data(), digest.size()) != 1) {
        return false;
    }
    const unsigned char* cursor = der.data();
    Owned<ECDSA_SIG> sig(d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(der_size)));
    if (!sig) return false;
    const BIGNUM* r = ECDSA_SIG_get0_r(sig.get());
    const BIGNUM* s = ECDSA_SIG_get0_s(sig.get());
    return BN_bn2binpad(r, signature.data(), 32) == 32 &&
           BN_bn2binpad(s, signature.data() + 32, 32) == 32;
}

bool p256_verify(const Sha256Digest& digest, const P256Signature& signature,
                 const P256PublicKey& public_key) {
    Owned<EVP_PKEY> key = import_key(public_key, nullptr);
    if (!key) return false;
    Owned<ECDSA_SIG> sig(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(signature.data(), 32, nullptr);
    BIGNUM* s = BN_bin2bn(signature.data() + 32, 32, nullptr);
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return false;
    }
    unsigned char* der = nullptr;
    const int der_size = i2d_ECDSA_SIG(sig.get(), &der);
    if (der_size <= 0) return false;
    Owned<EVP_PKEY_CTX> ctx(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
    const bool ok = ctx && EVP_PKEY_verify_init(ctx.get()) == 1 &&
                    EVP_PKEY_verify(ctx.get(), der, static_cast<std::size_t>(der_size),
                                    digest.data(), digest.size()) == 1;
    OPENSSL_free(der);
    return ok;
}

std::string crypto_library_version() { return OpenSSL_version(OPENSSL_VERSION); }

}  // namespace korvan::platform
