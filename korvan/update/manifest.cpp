#include "korvan/update/manifest.h"

#include <array>
#include <charconv>
#include <cmath>
#include <vector>

#include "io/json.h"
#include "korvan/update/keys.h"
#include "korvan/update/signature.h"

namespace korvan::update {
namespace {

constexpr std::size_t kMaxVersionDigits = 9;
constexpr double kMaxSize = 9007199254740992.0;  // 2^53: every whole number below is exact
constexpr std::size_t kDigestHexDigits = 64;

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads 1 to 9 digits at the front of `text` into `out`, consuming them.
bool take_number(std::string_view& text, std::uint32_t& out) {
    std::size_t n = 0;
    while (n < text.size() && is_digit(text[n])) ++n;
    if (n == 0 || n > kMaxVersionDigits) return false;
    std::from_chars(text.data(), text.data() + n, out);
    text.remove_prefix(n);
    return true;
}

bool is_hex_text(std::string_view text, std::size_t digits) {
    if (text.size() != digits) return false;
    for (char c : text) {
        const bool hex = is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) return false;
    }
    return true;
}

void append_uint(std::string& out, std::uint64_t value) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, value).ptr);
}

}  // namespace

std::optional<Version> parse_version(std::string_view text) {
    while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
    if (!text.empty() && (text.front() == 'v' || text.front() == 'V')) text.remove_prefix(1);
    Version v;
    if (!take_number(text, v.major) || !text.starts_with('.')) return std::nullopt;
    text.remove_prefix(1);
    if (!take_number(text, v.minor)) return std::nullopt;
    if (text.starts_with('.')) {
        text.remove_prefix(1);
        if (!take_number(text, v.patch)) return std::nullopt;
    }
    if (!text.empty() && text.front() != '-' && text.front() != '+') return std::nullopt;
    return v;
}

std::string version_text(const Version& version) {
    std::string out;
    append_uint(out, version.major);
    out += '.';
    append_uint(out, version.minor);
    out += '.';
    append_uint(out, version.patch);
    return out;
}

ManifestParse parse_manifest(std::string_view text) {
    ManifestParse result;
    io::JsonValue root;
    std::string json_error;
    if (!io::parse_json(text, root, &json_error)) {
        result.error = "latest.json is not valid JSON (" + json_error + ")";
        return result;
    }
    if (!root.is_object()) {
        result.error = "latest.json is not a JSON object";
        return result;
    }
    Manifest m;
    const io::JsonValue* field = root.find("version");
    if (!field || !field->is_string()) {
        result.error = "\"version\" is missing or not a string";
        return result;
    }
    if (!parse_version(field->as_string())) {
        result.error = "\"version\" is not a version number: \"" + field->as_string() + "\"";
        return result;
    }
    m.version = field->as_string();
    field = root.find("url");
    if (!field || !field->is_string() || field->as_string().empty()) {
        result.error = "\"url\" is missing or empty";
        return result;
    }
    m.url = field->as_string();
    field = root.find("sha256");
    if (!field || !field->is_string()) {
        result.error = "\"sha256\" is missing or not a string";
        return result;
    }
    if (!is_hex_text(field->as_string(), kDigestHexDigits)) {
        result.error = "\"sha256\" is not 64 hex characters";
        return result;
    }
    m.sha256 = field->as_string();
    if ((field = root.find("size"))) {
        const double size = field->as_number();
        if (!field->is_number() || !std::isfinite(size) || size < 0 || size > kMaxSize ||
            std::floor(size) != size) {
            result.error = "\"size\" is not a whole number of bytes";
            return result;
        }
        m.size = static_cast<std::uint64_t>(size);
    }
    if ((field = root.find("notes"))) {
        if (!field->is_string()) {
            result.error = "\"notes\" is not a string";
            return result;
        }
        m.notes = field->as_string();
    }
    if ((field = root.find("published"))) {
        if (!field->is_string()) {
            result.error = "\"published\" is not a string";
            return result;
        }
        m.published = field->as_string();
    }
    result.manifest = std::move(m);
    return result;
}

std::string write_manifest(const Manifest& manifest) {
    std::vector<io::JsonMember> members;
    members.push_back({"notes", io::JsonValue::make_string(manifest.notes)});
    members.push_back({"published", io::JsonValue::make_string(manifest.published)});
    members.push_back({"sha256", io::JsonValue::make_string(manifest.sha256)});
    members.push_back({"size", io::JsonValue::make_number(static_cast<double>(manifest.size))});
    members.push_back({"url", io::JsonValue::make_string(manifest.url)});
    members.push_back({"version", io::JsonValue::make_string(manifest.version)});
    return io::write_json(io::JsonValue::make_object(std::move(members)), 2) + "\n";
}

std::string_view verdict_name(UpdateVerdict verdict) {
    switch (verdict) {
        case UpdateVerdict::kNewer:
            return "Newer";
        case UpdateVerdict::kUpToDate:
            return "UpToDate";
        case UpdateVerdict::kInvalid:
            return "Invalid";
    }
    return "Invalid";
}

bool is_https_url(std::string_view url) {
    constexpr std::string_view kScheme = "https://";
    if (url.size() <= kScheme.size()) return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        const char c =
            url[i] >= 'A' && url[i] <= 'Z' ? static_cast<char>(url[i] - 'A' + 'a') : url[i];
        if (c != kScheme[i]) return false;
    }
    return true;
}

Evaluation evaluate(std::string_view public_hex, std::string_view manifest_bytes,
                    std::string_view signature_text, const Version& running,
                    bool allow_insecure_url) {
    Evaluation result;
    if (!verify_manifest(manifest_bytes, signature_text, public_hex)) {
        result.reason =
            "the update announcement's signature does not match this build's "
            "release key";
        return result;
    }
    ManifestParse parsed = parse_manifest(manifest_bytes);
    if (!parsed.manifest) {
        result.reason = "the update announcement could not be read: " + parsed.error;
        return result;
    }
    result.manifest = std::move(parsed.manifest);
    if (!allow_insecure_url && !is_https_url(result.manifest->url)) {
        result.reason = "the update announcement points at a download that is not https://";
        return result;
    }
    const Version offered = *parse_version(result.manifest->version);
    if (offered > running) {
        result.verdict = UpdateVerdict::kNewer;
        result.reason =
            version_text(offered) + " is newer than the running " + version_text(running);
    } else {
        result.verdict = UpdateVerdict::kUpToDate;
        result.reason =
            "the running " + version_text(running) + " is not older than " + version_text(offered);
    }
    return result;
}

}  // namespace korvan::update
