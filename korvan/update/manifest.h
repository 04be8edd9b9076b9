#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The update announcement latest.json, its version numbers, and the decision an installed
// copy makes from it and its signature.

namespace korvan::update {

struct Version {
    std::uint32_t major = 0, minor = 0, patch = 0;
    auto operator<=>(const Version&) const = default;
};

// "1.2", "v1.2.3", " 1.2.3-rc1 ", "1.2.3+build": major.minor[.patch], each 1 to 9 digits,
// an optional leading v or V, blanks around ignored, and after the last part only the end,
// or a "-" or "+" suffix that is ignored. A missing patch is 0.
std::optional<Version> parse_version(std::string_view text);

// "major.minor.patch".
std::string version_text(const Version& version);

struct Manifest {
    std::string version;  // as written; parses with parse_version
    std::string url;
    std::string sha256;  // 64 hex digits, the installer's digest
    std::uint64_t size = 0;
    std::string notes;
    std::string published;  // "YYYY-MM-DD"
    bool operator==(const Manifest&) const = default;
};

// The manifest's fields, or the first thing wrong with the text, in the installed copy's
// own words ("\"url\" is missing or empty", "latest.json is not a JSON object", ...).
struct ManifestParse {
    std::optional<Manifest> manifest;
    std::string error;
};
ManifestParse parse_manifest(std::string_view text);

// The text update-sign publishes: pretty JSON, two-space indent, members in name order,
// the size as a whole number, one line feed at the end.
std::string write_manifest(const Manifest& manifest);

enum class UpdateVerdict : std::uint8_t { kNewer, kUpToDate, kInvalid };

std::string_view verdict_name(UpdateVerdict verdict);  // "Newer", "UpToDate", "Invalid"

struct Evaluation {
    UpdateVerdict verdict = UpdateVerdict::kInvalid;
    std::string reason;
    std::optional<Manifest> manifest;  // set once the signature verified and the text parsed
};

// What an installed copy running `running` decides: the signature first (nothing in the
// manifest is trusted before it verifies), then the manifest, then an https download
// unless `allow_insecure_url`, then Newer only for a strictly greater version (never a
// downgrade).
Evaluation evaluate(std::string_view public_hex, std::string_view manifest_bytes,
                    std::string_view signature_text, const Version& running,
                    bool allow_insecure_url);

// Whether the url begins with "https://" in any letter case and has something after it.
bool is_https_url(std::string_view url);

}  // namespace korvan::update
