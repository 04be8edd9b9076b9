#include <exception>
#include <string>

#include "cli/dispatch.h"
#include "cli/exit_codes.h"
#include "cli/report.h"
#include "platform/args.h"

int main(int argc, char** argv) {
    korvan::platform::utf8_arguments(argc, argv);
    try {
        return korvan::cli::dispatch(argc, argv);
    } catch (const std::exception& e) {
        // Last resort: allocation or filesystem failures the handlers did not expect.
        korvan::cli::write_err(std::string("korvan_cli: ") + e.what() + '\n');
        return korvan::cli::kExitFailure;
    }
}
