#include "cli/verbs/update_verbs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/report.h"
#include "korvan/update/keys.h"
#include "korvan/update/manifest.h"
#include "korvan/update/signature.h"
#include "platform/atomic_file.h"
#include "platform/crypto.h"
#include "platform/local_date.h"

namespace korvan::cli {
namespace {

namespace fs = std::filesystem;
using update::SecretText;

constexpr unsigned kPrivateKeyMode = 0600;
constexpr std::size_t kKeyPreviewDigits = 16;

struct StrictOption {
    std::string_view name;
    bool takes_value = true;
    bool required = false;
};

// What a strict parse found: each option's value (or "" for a given flag), unset when absent.
class StrictArgs {
  public:
    explicit StrictArgs(std::span<const StrictOption> options) : options_(options) {
        values_.resize(options.size());
    }
    const std::optional<std::string>& value(std::string_view name) const {
        return values_[index(name)];
    }
    bool has(std::string_view name) const { return value(name).has_value(); }
    std::size_t index(std::string_view name) const {
        const auto it = std::find_if(options_.begin(), options_.end(),
                                     [&](const StrictOption& o) { return o.name == name; });
        return static_cast<std::size_t>(it - options_.begin());
    }
    std::optional<std::string>& slot(std::size_t i) { return values_[i]; }

  private:
    std::span<const StrictOption> options_;
    std::vector<std::optional<std::string>> values_;
};

int fail(std::string_view verb, std::string_view what) {
    write_err(std::string(verb) + ": " + std::string(what) + "\n");
    return kExitFailure;
}

// Visits argv[2..] once; the first problem is reported in the verb's words.
bool parse_strict(int argc, char** argv, std::span<const StrictOption> options, StrictArgs& out) {
    const std::string_view verb = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const std::size_t at = out.index(arg);
        if (at == options.size()) {
            fail(verb,
                 "unknown argument " + std::string(arg) + " (see korvan_cli with no arguments)");
            return false;
        }
        const StrictOption& option = options[at];
        if (out.slot(at)) {
            fail(verb, std::string(arg) + " given twice");
            return false;
        }
        if (!option.takes_value) {
            out.slot(at) = std::string();
            continue;
        }
        if (i + 1 >= argc) {
            fail(verb, std::string(arg) + " needs a value");
            return false;
        }
        out.slot(at) = std::string(argv[++i]);
    }
    for (std::size_t i = 0; i < options.size(); ++i) {
        if (options[i].required && !out.slot(i)) {
            fail(verb, std::string(options[i].name) + " is required");
            return false;
        }
    }
    return true;
}

std::optional<std::string> read_whole_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return text;
}

bool same_file(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    const fs::path ca = fs::weakly_canonical(fs::absolute(a, ec), ec);
    const fs::path cb = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return ca == cb;
}

// The root of the git working tree holding `path`, or empty when there is none.
fs::path git_tree_of(const fs::path& path) {
    std::error_code ec;
    fs::path dir = fs::weakly_canonical(fs::absolute(path, ec), ec).parent_path();
    while (!dir.empty()) {
        if (fs::exists(fs::symlink_status(dir / ".git", ec))) return dir;
        if (dir == dir.root_path()) break;
        dir = dir.parent_path();
    }
    return {};
}

std::string_view file_name_of_url(std::string_view url) {
    url = url.substr(0, std::min(url.find('?'), url.find('#')));
    const std::size_t slash = url.rfind('/');
    return slash == std::string_view::npos ? url : url.substr(slash + 1);
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

void remove_quietly(const fs::path& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

}  // namespace

int run_update_keygen(int argc, char** argv) {
    constexpr std::string_view kVerb = "update-keygen";
    static constexpr StrictOption kOptions[] = {{"--private-out", true, true},
                                                {"--public-out", true, true}};
    StrictArgs args(kOptions);
    if (!parse_strict(argc, argv, kOptions, args)) return kExitFailure;
    const fs::path private_path = *args.value("--private-out");
    const fs::path public_path = *args.value("--public-out");
    if (same_file(private_path, public_path)) {
        return fail(kVerb, "--private-out and --public-out are the same file");
    }
    std::error_code ec;
    if (fs::exists(fs::symlink_status(private_path, ec))) {
        return fail(kVerb,
                    "refusing to overwrite the existing private key file " +
                        quoted_path(private_path) +
                        ". A lost or overwritten release key strands every installed copy: "
                        "they accept updates signed by that key only. Move it aside yourself if "
                        "you really mean to replace it.");
    }
    const std::optional<update::KeyPair> pair = update::generate_key_pair();
    if (!pair) {
        return fail(kVerb,
                    "key generation failed (libcrypto unavailable or returned a malformed "
                    "key); nothing written");
    }
    // Never replace: a key file that appeared since the check above is someone's key.
    const platform::WriteOptions secret{kPrivateKeyMode, true};
    if (!platform::write_file_atomic(private_path, pair->private_hex.text, secret)) {
        return fail(kVerb, "cannot write " + quoted_path(private_path) +
                               platform::write_error_suffix() + "; nothing written");
    }
    if (!platform::write_file_atomic(public_path, pair->public_hex)) {
        return fail(kVerb, "wrote the private key " + quoted_path(private_path) +
                               " but cannot write " + quoted_path(public_path) +
                               platform::write_error_suffix() +
                               "; the public key is: " + pair->public_hex);
    }
    write_out("public key: " + pair->public_hex + "\nwrote private key " +
              quoted_path(private_path) + "\nwrote public key  " + quoted_path(public_path) + "\n");
    std::string warnings;
    if (const fs::path tree = git_tree_of(private_path); !tree.empty()) {
        warnings += "WARNING: the private key is INSIDE the git working tree " + quoted_path(tree) +
                    " -- move it out now, before anything is committed.\n";
    }
    warnings += "WARNING: keep " + quoted_path(private_path) +
                " safe, backed up and OUT of the repository -- whoever holds it can ship code "
                "to every Korvan install, and losing it means no installed copy can be updated "
                "again.\n";
    write_err(warnings);
    return kExitOk;
}

int run_update_sign(int argc, char** argv) {
    constexpr std::string_view kVerb = "update-sign";
    static constexpr StrictOption kOptions[] = {
        {"--installer", true, true},   {"--version", true, true},
        {"--url", true, true},         {"--key", true, true},
        {"--out", true, true},         {"--notes", true, false},
        {"--notes-file", true, false}, {"--allow-insecure-url", false, false}};
    StrictArgs args(kOptions);
    if (!parse_strict(argc, argv, kOptions, args)) return kExitFailure;
    if (args.has("--notes") && args.has("--notes-file")) {
        return fail(kVerb, "give --notes or --notes-file, not both");
    }
    const std::string version = std::string(trimmed(*args.value("--version")));
    if (!update::parse_version(version)) {
        return fail(kVerb, "--version \"" + *args.value("--version") +
                               "\" is not a version the app can read (expected "
                               "major.minor.patch, e.g. 0.2.4)");
    }
    const std::string& url = *args.value("--url");
    const bool insecure_ok = args.has("--allow-insecure-url");
    if (!insecure_ok && !update::is_https_url(url)) {
        return fail(kVerb,
                    "--url must start with https:// (the app refuses anything else); "
                    "--allow-insecure-url is for local tests only");
    }
    const fs::path installer = *args.value("--installer");
    const fs::path key_path = *args.value("--key");
    std::error_code ec;
    if (!fs::is_regular_file(installer, ec)) {
        return fail(kVerb, "installer not found: " + quoted_path(installer));
    }
    std::optional<std::string> key_read = read_whole_file(key_path);
    if (!key_read) return fail(kVerb, "cannot read the key file " + quoted_path(key_path));
    const SecretText key(std::move(*key_read));
    const std::optional<std::string> public_hex = update::public_half(key.text);
    if (!public_hex) {
        return fail(kVerb, quoted_path(key_path) +
                               " is not a private key file (expected 192 hex characters, "
                               "X||Y||d, as update-keygen writes). Is it the PUBLIC key?");
    }
    std::string notes;
    if (args.has("--notes-file")) {
        const fs::path notes_path = *args.value("--notes-file");
        std::optional<std::string> text = read_whole_file(notes_path);
        if (!text) return fail(kVerb, "cannot read --notes-file " + quoted_path(notes_path));
        notes = std::move(*text);
    } else if (args.has("--notes")) {
        notes = *args.value("--notes");
    }

    std::string warnings;
    const std::string installer_name = installer.filename().string();
    std::string_view bare_version = version;
    if (bare_version.starts_with('v') || bare_version.starts_with('V'))
        bare_version.remove_prefix(1);
    if (installer_name.find(bare_version) == std::string::npos) {
        warnings += "WARNING: the installer file name " + installer_name +
                    " does not contain the version " + std::string(bare_version) + "\n";
    }
    if (const std::string_view tail = file_name_of_url(url); tail != installer_name) {
        warnings += "WARNING: the url ends in \"" + std::string(tail) +
                    "\" but the installer is \"" + installer_name +
                    "\" -- make sure the uploaded file is this one\n";
    }
    if (!warnings.empty()) write_err(warnings);

    const std::optional<platform::FileDigest> digest = platform::sha256_file(installer);
    if (!digest) return fail(kVerb, "cannot hash " + quoted_path(installer));
    if (digest->size == 0) {
        return fail(kVerb,
                    "cannot read the size of " + quoted_path(installer) + " (or it is empty)");
    }
    update::Manifest manifest;
    manifest.version = version;
    manifest.url = url;
    manifest.sha256 = update::to_hex(digest->digest);
    manifest.size = digest->size;
    manifest.notes = notes;
    manifest.published = platform::local_date_iso();
    const std::string bytes = update::write_manifest(manifest);
    const std::optional<std::string> signature = update::sign_manifest(bytes, key.text);
    if (!signature) {
        return fail(kVerb,
                    "signing failed (bad private key, or libcrypto unavailable); nothing "
                    "written");
    }

    const fs::path dir = *args.value("--out");
    const fs::path json_path = dir / "latest.json", sig_path = dir / "latest.json.sig";
    const bool made_dir = fs::create_directories(dir, ec);
    // A refusal leaves nothing behind, not even the folder this run made for the files.
    auto remove_written = [&] {
        remove_quietly(json_path);
        remove_quietly(sig_path);
        if (made_dir) remove_quietly(dir);
    };
    if (!platform::write_file_atomic(json_path, bytes)) {
        const std::string cause = platform::write_error_suffix();
        remove_written();
        return fail(kVerb, "cannot write " + quoted_path(json_path) + cause);
    }
    if (!platform::write_file_atomic(sig_path, *signature)) {
        const std::string cause = platform::write_error_suffix();
        remove_written();
        return fail(kVerb, "cannot write " + quoted_path(sig_path) + cause);
    }

    // Read back what an installed copy will download and run its own decision on it.
    std::string problem;
    const std::optional<std::string> json_back = read_whole_file(json_path);
    const std::optional<std::string> sig_back = read_whole_file(sig_path);
    if (!json_back || !sig_back) {
        problem = "cannot read the written files back";
    } else if (*json_back != bytes || *sig_back != *signature) {
        problem = "the files on disk differ from what was signed";
    } else {
        const update::Evaluation verdict =
            update::evaluate(*public_hex, *json_back, *sig_back, update::Version{}, insecure_ok);
        if (verdict.verdict != update::UpdateVerdict::kNewer) {
            problem = "evaluate() says " + std::string(update::verdict_name(verdict.verdict)) +
                      ": " + verdict.reason;
        } else if (!verdict.manifest || *verdict.manifest != manifest) {
            problem = "the manifest the app reads back does not match what was written";
        }
    }
    if (!problem.empty()) {
        remove_written();
        return fail(kVerb, "SELF-CHECK FAILED -- " + problem +
                               ". The app would refuse this release; latest.json and "
                               "latest.json.sig were removed. Do NOT publish.");
    }

    std::string report = "wrote " + quoted_path(json_path) + " and " + quoted_path(sig_path) + "\n";
    report += "version   " + manifest.version + "\n";
    report += "url       " + manifest.url + "\n";
    report += "sha256    " + manifest.sha256 + "\n";
    report += "size      ";
    append_int(report, static_cast<std::int64_t>(manifest.size));
    report += " bytes\n";
    report += "published " + manifest.published + "\n";
    report += "self-check: evaluate(running 0.0.0) = Newer, signature verified\n";
    report += "Upload the installer, latest.json and latest.json.sig unchanged (binary mode).\n";
    write_out(report);
    warnings.clear();
    if (*public_hex != update::kReleasePublicKeyHex) {
        warnings +=
            "WARNING: this key is NOT the release key baked into this build "
            "(kReleasePublicKeyHex). Copies built from this source will refuse this release as "
            "Invalid. Fine for a local test key, wrong for a real release.\n";
    }
    if (!update::is_https_url(url)) {
        warnings +=
            "WARNING: non-https url -- installed copies will refuse this manifest; it is for "
            "local tests (KORVAN_UPDATE_URL) only.\n";
    }
    if (!warnings.empty()) write_err(warnings);
    return kExitOk;
}

int run_update_verify(int argc, char** argv) {
    constexpr std::string_view kVerb = "update-verify";
    static constexpr StrictOption kOptions[] = {
        {"--manifest", true, true},    {"--sig", true, true},
        {"--public-key", true, false}, {"--public-key-file", true, false},
        {"--running", true, false},    {"--allow-insecure-url", false, false}};
    StrictArgs args(kOptions);
    if (!parse_strict(argc, argv, kOptions, args)) return kExitFailure;
    if (args.has("--public-key") && args.has("--public-key-file")) {
        return fail(kVerb, "give --public-key or --public-key-file, not both");
    }
    std::string key = std::string(update::kReleasePublicKeyHex);
    std::string source = "built-in kReleasePublicKeyHex";
    if (args.has("--public-key")) {
        key = *args.value("--public-key");
        source = "--public-key";
    } else if (args.has("--public-key-file")) {
        const fs::path path = *args.value("--public-key-file");
        std::optional<std::string> text = read_whole_file(path);
        if (!text) return fail(kVerb, "cannot read --public-key-file " + quoted_path(path));
        key = std::move(*text);
        source = "--public-key-file " + quoted_path(path);
    }
    const std::string running_text = args.value("--running").value_or("0.0.0");
    const std::optional<update::Version> running = update::parse_version(running_text);
    if (!running) {
        return fail(kVerb, "--running \"" + running_text + "\" is not a version (e.g. 0.2.3)");
    }
    const fs::path manifest_path = *args.value("--manifest"), sig_path = *args.value("--sig");
    const std::optional<std::string> manifest = read_whole_file(manifest_path);
    if (!manifest) return fail(kVerb, "cannot read " + quoted_path(manifest_path));
    const std::optional<std::string> signature = read_whole_file(sig_path);
    if (!signature) return fail(kVerb, "cannot read " + quoted_path(sig_path));

    const update::Evaluation result =
        update::evaluate(key, *manifest, *signature, *running, args.has("--allow-insecure-url"));
    std::string report = "verdict   " + std::string(update::verdict_name(result.verdict)) + "\n";
    report += "reason    " + result.reason + "\n";
    const std::string_view key_shown = trimmed(key);
    report += "key       " + source + " (" + std::string(key_shown.substr(0, kKeyPreviewDigits)) +
              "...)\n";
    report += "running   " + update::version_text(*running) + "\n";
    if (const auto& m = result.manifest) {
        report += "version   " + m->version + "\n";
        report += "url       " + m->url + "\n";
        report += "sha256    " + m->sha256 + "\n";
        report += "size      ";
        append_int(report, static_cast<std::int64_t>(m->size));
        report += " bytes\n";
        report += "published " + m->published + "\n";
        report += "notes     " + m->notes + "\n";
    }
    write_out(report);
    return result.verdict == update::UpdateVerdict::kInvalid ? kExitFailure : kExitOk;
}

}  // namespace korvan::cli
