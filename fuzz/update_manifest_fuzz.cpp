// libFuzzer harness for what an installed copy reads from the network: the manifest, its
// version text and the signature and key texts. Besides "never crash, never leak", it checks
// that a manifest that parses is written back to a text that parses to the same fields, and
// that evaluate() never trusts a manifest whose signature did not verify.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "korvan/update/keys.h"
#include "korvan/update/manifest.h"
#include "korvan/update/signature.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korvan::update;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)parse_version(text);
    (void)public_half(text);
    const ManifestParse parsed = parse_manifest(text);
    if (parsed.manifest.has_value() == !parsed.error.empty()) std::abort();
    if (parsed.manifest) {
        const ManifestParse again = parse_manifest(write_manifest(*parsed.manifest));
        if (!again.manifest || *again.manifest != *parsed.manifest) std::abort();
    }
    // The first 128 bytes stand for a signature over the rest.
    const std::size_t split = size < kSignatureHexDigits ? size : kSignatureHexDigits;
    const Evaluation verdict =
        evaluate(kReleasePublicKeyHex, text.substr(split), text.substr(0, split), Version{}, false);
    if (verdict.verdict != UpdateVerdict::kInvalid || verdict.manifest) std::abort();
    return 0;
}
