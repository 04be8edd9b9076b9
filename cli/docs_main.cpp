// Build-time tool: writes the manual page and the shell completion scripts that
// `cmake --install` lays out, so the installed files always match the tables they came from.
#include <filesystem>
#include <string>
#include <string_view>

#include "cli/completion.h"
#include "cli/manual_page.h"
#include "cli/report.h"
#include "platform/atomic_file.h"

namespace {

bool write(const std::filesystem::path& path, const std::string& text) {
    if (korvan::platform::write_file_atomic(path, text)) return true;
    korvan::cli::write_err("korvan_docs: cannot write " + korvan::cli::quoted_path(path) +
                           korvan::platform::write_error_suffix() + "\n");
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        korvan::cli::write_err("usage: korvan_docs OUTPUT_DIR\n");
        return 1;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::string page, bash, zsh, fish;
    korvan::cli::append_manual_page(page);
    korvan::cli::append_completion_script(bash, "bash");
    korvan::cli::append_completion_script(zsh, "zsh");
    korvan::cli::append_completion_script(fish, "fish");
    const bool ok = write(dir / "korvan_cli.1", page) && write(dir / "korvan_cli.bash", bash) &&
                    write(dir / "_korvan_cli", zsh) && write(dir / "korvan_cli.fish", fish);
    return ok ? 0 : 1;
}
