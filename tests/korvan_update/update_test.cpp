// Versions, the manifest, signatures and the installed copy's decision, against the key
// formats and texts an installed copy relies on.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "korvan/update/keys.h"
#include "korvan/update/manifest.h"
#include "korvan/update/signature.h"

namespace korvan::update {
namespace {

constexpr std::string_view kDigest =
    "e34210a6de4f653edf588301431c3d69a633638cbf587345cc50a7fed9f38f4c";

// The order n of the P-256 group, big-endian.
constexpr std::array<std::uint8_t, 32> kOrder = {
    0xff, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff,
    0xbc, 0xe6, 0xfa, 0xad, 0xa7, 0x17, 0x9e, 0x84, 0xf3, 0xb9, 0xca, 0xc2, 0xfc, 0x63, 0x25, 0x51};

Manifest sample(std::string version = "1.2.0", std::string url = "https://example.com/k.exe") {
    return Manifest{std::move(version), std::move(url), std::string(kDigest), 15, "notes",
                    "2026-01-02"};
}

std::string manifest_text(std::string_view members) {
    return "{\"version\":\"1.2.0\",\"url\":\"https://e.com/x\",\"sha256\":\"" +
           std::string(kDigest) + "\"" + std::string(members) + "}";
}

// r || s with s replaced by n - s: the same signature's other, high form.
std::string high_s(std::string_view signature_hex) {
    std::array<std::uint8_t, 64> sig{};
    EXPECT_TRUE(from_hex(signature_hex, sig));
    int borrow = 0;
    for (int i = 31; i >= 0; --i) {
        const int d = kOrder[i] - sig[32 + i] - borrow;
        borrow = d < 0;
        sig[32 + i] = static_cast<std::uint8_t>(d + (borrow ? 256 : 0));
    }
    return to_hex(sig);
}

TEST(UpdateVersion, ParsesTwoOrThreePartsWithPrefixAndSuffix) {
    const struct {
        const char* text;
        std::optional<Version> expected;
    } cases[] = {
        {"1.2.3", Version{1, 2, 3}},
        {"v1.2", Version{1, 2, 0}},
        {" V0.2.4 \n", Version{0, 2, 4}},
        {"1.2.3-rc1", Version{1, 2, 3}},
        {"1.2+build.7", Version{1, 2, 0}},
        {"123456789.0.1", Version{123456789, 0, 1}},
        {"1", std::nullopt},
        {"1.", std::nullopt},
        {"1.2.", std::nullopt},
        {"1.2.3.4", std::nullopt},
        {"", std::nullopt},
        {"v", std::nullopt},
        {"1.x", std::nullopt},
        {"1234567890.0", std::nullopt},
        {"1.2 3", std::nullopt},
        {"-1.2", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(parse_version(c.text), c.expected);
    }
    EXPECT_LT(*parse_version("1.9.9"), *parse_version("1.10"));  // numbers, not text
    EXPECT_EQ(version_text(*parse_version("v2.0")), "2.0.0");
}

TEST(UpdateManifest, WritesTheExactPublishedLayoutAndReadsItBack) {
    const Manifest m = sample();
    const std::string text = write_manifest(m);
    EXPECT_EQ(text,
              "{\n  \"notes\": \"notes\",\n  \"published\": \"2026-01-02\",\n  \"sha256\": \"" +
                  std::string(kDigest) +
                  "\",\n  \"size\": 15,\n  \"url\": \"https://example.com/k.exe\",\n"
                  "  \"version\": \"1.2.0\"\n}\n");
    EXPECT_EQ(parse_manifest(text).manifest, m);
    Manifest big = m;
    big.size = std::uint64_t{1} << 53;
    EXPECT_EQ(parse_manifest(write_manifest(big)).manifest, big);
}

TEST(UpdateManifest, RefusesWithTheFirstProblem) {
    const std::string deep = std::string(65, '[') + std::string(65, ']');
    const struct {
        std::string text;
        const char* error;  // a prefix of the error
    } cases[] = {
        {"{", "latest.json is not valid JSON (at byte"},
        {"[]", "latest.json is not a JSON object"},
        {"{\"url\":\"https://e.com/x\"}", "\"version\" is missing or not a string"},
        {"{\"version\":1}", "\"version\" is missing or not a string"},
        {"{\"version\":\"1.2.3.4\"}", "\"version\" is not a version number: \"1.2.3.4\""},
        {"{\"version\":\"1.2\",\"url\":\"\"}", "\"url\" is missing or empty"},
        {"{\"version\":\"1.2\",\"url\":\"u\"}", "\"sha256\" is missing or not a string"},
        {"{\"version\":\"1.2\",\"url\":\"u\",\"sha256\":\"abc\"}",
         "\"sha256\" is not 64 hex characters"},
        {manifest_text(",\"size\":1.5"), "\"size\" is not a whole number of bytes"},
        {manifest_text(",\"size\":-1"), "\"size\" is not a whole number of bytes"},
        {manifest_text(",\"size\":\"15\""), "\"size\" is not a whole number of bytes"},
        {manifest_text(",\"size\":1e400"), "\"size\" is not a whole number of bytes"},
        {manifest_text(",\"size\":9007199254740994"), "\"size\" is not a whole number of bytes"},
        {manifest_text(",\"notes\":[[1]]"), "\"notes\" is not a string"},
        {manifest_text(",\"notes\":" + deep), "latest.json is not valid JSON (at byte"},
        {manifest_text(",\"published\":20260102"), "\"published\" is not a string"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 80));
        const ManifestParse parsed = parse_manifest(c.text);
        EXPECT_FALSE(parsed.manifest);
        EXPECT_EQ(parsed.error.rfind(c.error, 0), 0u) << parsed.error;
    }
    // Of two members with the same name the later counts; absent size is 0.
    const ManifestParse twice =
        parse_manifest(manifest_text(",\"version\":\"3.0\",\"notes\":\"a\",\"notes\":\"b\""));
    ASSERT_TRUE(twice.manifest) << twice.error;
    EXPECT_EQ(twice.manifest->version, "3.0");
    EXPECT_EQ(twice.manifest->notes, "b");
    EXPECT_EQ(twice.manifest->size, 0u);
}

TEST(UpdateSignature, RoundTripsAndRefusesEveryAlteration) {
    const std::optional<KeyPair> key = generate_key_pair();
    ASSERT_TRUE(key);
    EXPECT_EQ(key->private_hex.text.size(), kPrivateKeyHexDigits);
    EXPECT_EQ(public_half(key->private_hex.text), key->public_hex);
    const std::string text = write_manifest(sample());
    const std::optional<std::string> sig = sign_manifest(text, key->private_hex.text);
    ASSERT_TRUE(sig);
    EXPECT_EQ(sig->size(), kSignatureHexDigits);
    EXPECT_TRUE(verify_manifest(text, *sig, key->public_hex));
    // Surrounding whitespace and upper case are read the same way.
    std::string upper = *sig;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_TRUE(verify_manifest(text, " \t" + upper + "\r\n", "\n" + key->public_hex + " "));

    for (std::size_t i = 0; i < text.size(); ++i) {  // any one byte, whitespace included
        std::string tampered = text;
        tampered[i] ^= 0x20;
        EXPECT_FALSE(verify_manifest(tampered, *sig, key->public_hex)) << "byte " << i;
    }
    const std::string zero(kSignatureHexDigits, '0');
    const std::string order_as_r = to_hex(kOrder) + sig->substr(64);
    const struct {
        const char* what;
        std::string sig, key;
    } refused[] = {
        {"wrong key", *sig, generate_key_pair()->public_hex},
        {"truncated", sig->substr(0, 126), key->public_hex},
        {"one digit short", sig->substr(1), key->public_hex},
        {"zero", zero, key->public_hex},
        {"r = n", order_as_r, key->public_hex},
        {"not hex", "g" + sig->substr(1), key->public_hex},
        {"key off the curve", *sig,
         key->public_hex.substr(0, 127) + (key->public_hex.back() == '0' ? "1" : "0")},
        {"private key as public", *sig, key->private_hex.text},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.what);
        EXPECT_FALSE(verify_manifest(text, r.sig, r.key));
    }
    // The high form of s verifies: P-256 verification itself accepts both forms, and an
    // installed copy does exactly that (nothing about the manifest changes with it).
    EXPECT_TRUE(verify_manifest(text, high_s(*sig), key->public_hex));
    EXPECT_FALSE(sign_manifest(text, key->public_hex));  // a public key cannot sign
}

TEST(UpdateEvaluate, GivesEachVerdictForItsReason) {
    const std::optional<KeyPair> key = generate_key_pair();
    ASSERT_TRUE(key);
    auto run = [&](const std::string& text, std::string_view running, bool insecure = false,
                   std::string_view public_hex = {}) {
        const std::string sig = *sign_manifest(text, key->private_hex.text);
        return evaluate(public_hex.empty() ? key->public_hex : public_hex, text, sig,
                        *parse_version(running), insecure);
    };
    const std::string sig_reason =
        "the update announcement's signature does not match this build's release key";
    const struct {
        const char* what;
        Evaluation got;
        UpdateVerdict verdict;
        std::string reason;  // a prefix
    } cases[] = {
        {"newer", run(write_manifest(sample("1.2.0")), "1.1.9"), UpdateVerdict::kNewer, "1.2.0 is"},
        {"patch by number", run(write_manifest(sample("1.10")), "1.9.9"), UpdateVerdict::kNewer,
         ""},
        {"equal", run(write_manifest(sample("v1.2")), "1.2.0"), UpdateVerdict::kUpToDate, ""},
        {"older is no downgrade", run(write_manifest(sample("1.2.0")), "2.0"),
         UpdateVerdict::kUpToDate, ""},
        {"http", run(write_manifest(sample("1.2", "http://e.com/k.exe")), "0.0"),
         UpdateVerdict::kInvalid,
         "the update announcement points at a download that is not https://"},
        {"http allowed", run(write_manifest(sample("1.2", "http://e.com/k.exe")), "0.0", true),
         UpdateVerdict::kNewer, ""},
        {"scheme in capitals", run(write_manifest(sample("1.2", "HTTPS://E.COM/K.EXE")), "0.0"),
         UpdateVerdict::kNewer, ""},
        {"scheme only", run(write_manifest(sample("1.2", "https://")), "0.0"),
         UpdateVerdict::kInvalid, "the update announcement points at"},
        {"signed but unreadable", run("{\"version\":\"1.2\"}", "0.0"), UpdateVerdict::kInvalid,
         "the update announcement could not be read: \"url\" is missing or empty"},
        {"other key", run(write_manifest(sample()), "0.0", false, kReleasePublicKeyHex),
         UpdateVerdict::kInvalid, sig_reason},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.got.verdict, c.verdict);
        EXPECT_EQ(c.got.reason.rfind(c.reason, 0), 0u) << c.got.reason;
    }
    // The signature is checked before the manifest is read: a broken, unsigned text is a
    // signature mismatch, not a parse error.
    const std::string text = write_manifest(sample());
    const Evaluation tampered = evaluate(
        key->public_hex, text + " ", *sign_manifest(text, key->private_hex.text), Version{}, false);
    EXPECT_EQ(tampered.reason, sig_reason);
    EXPECT_FALSE(tampered.manifest);
}

}  // namespace
}  // namespace korvan::update
