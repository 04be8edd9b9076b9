// The release tooling through the binary, with the openssl command as the independent
// peer: its keys sign for us, its signatures verify with us, ours verify with it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/cli_checks.h"

namespace korvan::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUrl = "https://example.com/dl/korvan-1.2.0.exe";

void write_text(const fs::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Every file below `dir` with its bytes, to show a refused run changed nothing.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) files[entry.path().string()] = read_file(entry.path());
    }
    return files;
}

// A key pair from update-keygen and an installer, in a fresh directory.
fs::path release_dir() {
    const fs::path dir = fresh_temp_dir();
    const CliRun keygen =
        run_cli({"update-keygen", "--private-out", "k.priv", "--public-out", "k.pub"}, dir);
    EXPECT_EQ(keygen.exit_code, 0) << keygen.err;
    write_text(dir / "korvan-1.2.0.exe", "installer bytes");
    return dir;
}

Args sign_args(std::string key = "k.priv") {
    return {"update-sign", "--installer", "korvan-1.2.0.exe",
            "--version",   "1.2.0",       "--url",
            kUrl,          "--key",       key,
            "--out",       "rel"};
}

Args verify_args(Args extra = {}) {
    Args args = {"update-verify", "--manifest", "rel/latest.json", "--sig", "rel/latest.json.sig"};
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

std::string bytes_from_hex(std::string_view hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
    }
    return out;
}

std::string hex_of(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

// X || Y as the DER SubjectPublicKeyInfo openssl reads (id-ecPublicKey, prime256v1).
std::string public_key_der(std::string_view public_hex) {
    return bytes_from_hex("3059301306072a8648ce3d020106082a8648ce3d030107034200") + '\x04' +
           bytes_from_hex(public_hex);
}

// One unsigned big-endian number as a DER INTEGER: leading zeros dropped, one added back
// when the top bit is set.
std::string der_integer(std::string number) {
    while (number.size() > 1 && number[0] == '\0' && !(number[1] & 0x80)) number.erase(0, 1);
    if (number[0] & 0x80) number.insert(0, 1, '\0');
    return std::string{'\x02', static_cast<char>(number.size())} + number;
}

std::string signature_der(std::string_view signature_hex) {
    const std::string r = bytes_from_hex(signature_hex.substr(0, 64));
    const std::string s = bytes_from_hex(signature_hex.substr(64));
    const std::string body = der_integer(r) + der_integer(s);
    return std::string{'\x30', static_cast<char>(body.size())} + body;
}

// openssl's DER signature as r || s, each padded to 32 bytes.
std::string signature_hex_from_der(std::string_view der) {
    std::string out;
    std::size_t at = 2;
    for (int part = 0; part < 2; ++part) {
        const std::size_t length = static_cast<unsigned char>(der[at + 1]);
        std::string number(der.substr(at + 2, length));
        while (number.size() > 32) number.erase(0, 1);
        out += hex_of(std::string(32 - number.size(), '\0') + number);
        at += 2 + length;
    }
    return out;
}

// The hex digits openssl's `ec -text` prints under `label` ("priv:", "pub:").
std::string text_block_hex(const std::string& text, const std::string& label) {
    std::size_t at = text.find(label + "\n");
    std::string out;
    for (at += label.size() + 1; at < text.size() && (text[at] == ' ' || text[at] == '\n');) {
        const std::size_t end = text.find('\n', at);
        for (std::size_t i = at; i < end; ++i) {
            if (std::isxdigit(static_cast<unsigned char>(text[i]))) out += text[i];
        }
        at = end + 1;
        if (at < text.size() && text[at] != ' ') break;
    }
    return out;
}

int shell(const std::string& command) { return std::system(command.c_str()); }

bool have_openssl() { return shell("command -v openssl >/dev/null 2>&1") == 0; }

TEST(UpdateVerbs, KeygenWritesAPrivateFileOnlyItsOwnerReadsAndNeverReplacesIt) {
    const fs::path dir = fresh_temp_dir();
    const CliRun run =
        run_cli({"update-keygen", "--private-out", "k.priv", "--public-out", "k.pub"}, dir);
    ASSERT_EQ(run.exit_code, 0);
    const std::string priv = read_file(dir / "k.priv"), pub = read_file(dir / "k.pub");
    EXPECT_EQ(priv.size(), 192u);
    EXPECT_EQ(pub, priv.substr(0, 128));
    EXPECT_EQ(run.out, "public key: " + pub +
                           "\nwrote private key \"k.priv\"\nwrote public key  \"k.pub\"\n");
    EXPECT_NE(run.err.find("WARNING: keep \"k.priv\" safe"), std::string::npos);
    EXPECT_EQ(fs::status(dir / "k.priv").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    const auto before = snapshot(dir);
    const CliRun again =
        run_cli({"update-keygen", "--private-out", "k.priv", "--public-out", "other.pub"}, dir);
    EXPECT_EQ(again.exit_code, 1);
    EXPECT_EQ(again.err.rfind("update-keygen: refusing to overwrite the existing private key "
                              "file \"k.priv\". A lost",
                              0),
              0u);
    const CliRun same =
        run_cli({"update-keygen", "--private-out", "n.key", "--public-out", "./n.key"}, dir);
    EXPECT_EQ(same.err, "update-keygen: --private-out and --public-out are the same file\n");
    EXPECT_EQ(snapshot(dir), before);
}

TEST(UpdateVerbs, StrictParsersStopBeforeTouchingAnything) {
    const fs::path dir = release_dir();
    const auto before = snapshot(dir);
    const struct {
        Args args;
        const char* err;
    } cases[] = {
        {{"update-keygen", "--private-out"}, "update-keygen: --private-out needs a value\n"},
        {{"update-keygen", "--private-out", "a", "--private-out", "b"},
         "update-keygen: --private-out given twice\n"},
        {{"update-keygen", "--public-out", "b"}, "update-keygen: --private-out is required\n"},
        {{"update-keygen", "-private-out", "a"},
         "update-keygen: unknown argument -private-out (see korvan_cli with no arguments)\n"},
        {{"update-verify", "--sig", "s", "--manifest", "m", "extra"},
         "update-verify: unknown argument extra (see korvan_cli with no arguments)\n"},
        {{"update-verify", "--manifest", "m", "--sig", "s", "--running", "1"},
         "update-verify: --running \"1\" is not a version (e.g. 0.2.3)\n"},
        {{"update-verify", "--manifest", "m", "--sig", "s", "--public-key", "a",
          "--public-key-file", "b"},
         "update-verify: give --public-key or --public-key-file, not both\n"},
        {{"update-sign", "--version", "1.2"}, "update-sign: --installer is required\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const CliRun run = run_cli(c.args, dir);
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.err);
    }
    EXPECT_EQ(snapshot(dir), before);
}

TEST(UpdateVerbs, SignRefusalsLeaveNothingBehind) {
    const fs::path dir = release_dir();
    write_text(dir / "empty-1.2.0.exe", "");
    auto with = [](Args args, std::size_t at, std::string value) {
        args[at] = std::move(value);
        return args;
    };
    const struct {
        Args args;
        std::string err;
    } cases[] = {
        {[] {
             Args a = sign_args();
             a.insert(a.end(), {"--notes", "a", "--notes-file", "n"});
             return a;
         }(),
         "update-sign: give --notes or --notes-file, not both\n"},
        {with(sign_args(), 4, "1.2.3.4"),
         "update-sign: --version \"1.2.3.4\" is not a version the app can read (expected "
         "major.minor.patch, e.g. 0.2.4)\n"},
        {with(sign_args(), 6, "http://example.com/korvan-1.2.0.exe"),
         "update-sign: --url must start with https:// (the app refuses anything else); "
         "--allow-insecure-url is for local tests only\n"},
        {with(sign_args(), 2, "missing.exe"),
         "update-sign: installer not found: \"missing.exe\"\n"},
        {sign_args("nokey"), "update-sign: cannot read the key file \"nokey\"\n"},
        {sign_args("k.pub"),
         "update-sign: \"k.pub\" is not a private key file (expected 192 hex characters, "
         "X||Y||d, as update-keygen writes). Is it the PUBLIC key?\n"},
        {with(sign_args(), 2, "empty-1.2.0.exe"),
         "WARNING: the url ends in \"korvan-1.2.0.exe\" but the installer is \"empty-1.2.0.exe\" "
         "-- make sure the uploaded file is this one\nupdate-sign: cannot read the size of "
         "\"empty-1.2.0.exe\" (or it is empty)\n"},
        // A release no installed copy would take: the self-check removes what it wrote.
        {with(with(sign_args(), 4, "0.0.0"), 2, "korvan-1.2.0.exe"),
         "WARNING: the installer file name korvan-1.2.0.exe does not contain the version "
         "0.0.0\nupdate-sign: SELF-CHECK FAILED -- evaluate() says UpToDate: the running 0.0.0 "
         "is not older than 0.0.0. The app would refuse this release; latest.json and "
         "latest.json.sig were removed. Do NOT publish.\n"},
    };
    const auto before = snapshot(dir);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err.substr(0, 60));
        const CliRun run = run_cli(c.args, dir);
        EXPECT_EQ(run.exit_code, 1);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(snapshot(dir), before);
        EXPECT_FALSE(fs::exists(dir / "rel"));
    }
}

TEST(UpdateVerbs, SignThenVerifyGivesEachVerdictAndCatchesTampering) {
    const fs::path dir = release_dir();
    const CliRun sign = run_cli(sign_args(), dir);
    ASSERT_EQ(sign.exit_code, 0) << sign.err;
    EXPECT_NE(sign.out.find("self-check: evaluate(running 0.0.0) = Newer, signature verified\n"),
              std::string::npos);
    EXPECT_NE(sign.err.find("WARNING: this key is NOT the release key"), std::string::npos);
    EXPECT_EQ(read_file(dir / "rel/latest.json.sig").size(), 128u);

    const std::string key = read_file(dir / "k.pub");
    const struct {
        Args extra;
        int exit_code;
        const char* verdict;
    } cases[] = {
        {{"--public-key-file", "k.pub"}, 0, "verdict   Newer\n"},
        {{"--public-key", key, "--running", "1.2"}, 0, "verdict   UpToDate\n"},
        {{"--public-key", key, "--running", "v1.3.0-beta"}, 0, "verdict   UpToDate\n"},
        {{}, 1, "verdict   Invalid\nreason    the update announcement's signature does not match"},
    };
    for (const auto& c : cases) {
        const CliRun run = run_cli(verify_args(c.extra), dir);
        EXPECT_EQ(run.exit_code, c.exit_code) << run.out;
        EXPECT_EQ(run.out.rfind(c.verdict, 0), 0u) << run.out;
    }
    const CliRun full = run_cli(verify_args({"--public-key-file", "k.pub"}), dir);
    EXPECT_NE(full.out.find("\nkey       --public-key-file \"k.pub\" (" + key.substr(0, 16) +
                            "...)\nrunning   0.0.0\nversion   1.2.0\nurl       " + kUrl),
              std::string::npos)
        << full.out;

    // One byte more, even a blank, and the announcement is someone else's.
    std::string manifest = read_file(dir / "rel/latest.json");
    write_text(dir / "rel/latest.json", manifest + " ");
    const CliRun tampered = run_cli(verify_args({"--public-key", key}), dir);
    EXPECT_EQ(tampered.exit_code, 1);
    EXPECT_EQ(tampered.out.rfind("verdict   Invalid\nreason    the update announcement's "
                                 "signature does not match this build's release key\n",
                                 0),
              0u);
}

TEST(UpdateVerbs, SignaturesAndKeysInteroperateWithOpenssl) {
    if (!have_openssl()) GTEST_SKIP() << "the openssl command is not installed";
    const fs::path dir = release_dir();
    ASSERT_EQ(run_cli(sign_args(), dir).exit_code, 0);
    const std::string q = "'" + dir.string() + "/";

    // Ours, checked by openssl.
    write_text(dir / "pub.der", public_key_der(read_file(dir / "k.pub")));
    write_text(dir / "sig.der", signature_der(read_file(dir / "rel/latest.json.sig")));
    EXPECT_EQ(shell("openssl dgst -sha256 -verify " + q + "pub.der' -keyform DER -signature " + q +
                    "sig.der' " + q + "rel/latest.json' >/dev/null"),
              0);

    // openssl's key pair in our key file format, signing with update-sign.
    ASSERT_EQ(shell("openssl ecparam -name prime256v1 -genkey -noout -out " + q +
                    "o.pem' && "
                    "openssl ec -in " +
                    q + "o.pem' -text -noout > " + q + "o.txt' 2>/dev/null"),
              0);
    const std::string text = read_file(dir / "o.txt");
    std::string d = text_block_hex(text, "priv:");
    const std::string point = text_block_hex(text, "pub:");
    ASSERT_EQ(point.size(), 130u);
    while (d.size() > 64) d.erase(0, 2);
    d.insert(0, 64 - d.size(), '0');
    write_text(dir / "o.priv", point.substr(2) + d);
    const CliRun sign =
        run_cli({"update-sign", "--installer", "korvan-1.2.0.exe", "--version", "1.2.0", "--url",
                 kUrl, "--key", "o.priv", "--out", "rel2", "--notes", "from openssl's key"},
                dir);
    ASSERT_EQ(sign.exit_code, 0) << sign.err;
    const CliRun verify = run_cli({"update-verify", "--manifest", "rel2/latest.json", "--sig",
                                   "rel2/latest.json.sig", "--public-key", point.substr(2)},
                                  dir);
    EXPECT_EQ(verify.exit_code, 0) << verify.out;

    // openssl's signature of our manifest, as r || s, checked by update-verify.
    ASSERT_EQ(shell("openssl dgst -sha256 -sign " + q + "o.pem' -out " + q + "o.sig.der' " + q +
                    "rel/latest.json'"),
              0);
    write_text(dir / "o.sig", signature_hex_from_der(read_file(dir / "o.sig.der")));
    const CliRun theirs = run_cli({"update-verify", "--manifest", "rel/latest.json", "--sig",
                                   "o.sig", "--public-key", point.substr(2)},
                                  dir);
    EXPECT_EQ(theirs.exit_code, 0) << theirs.out;
    EXPECT_EQ(theirs.out.rfind("verdict   Newer\n", 0), 0u);
}

}  // namespace
}  // namespace korvan::test
