#include "platform/args.h"

#include <clocale>

namespace korvan::platform {

void utf8_arguments(int& argc, char**& argv) {
    (void)argc;
    (void)argv;
    // Only the character-type category: number formatting must stay in the classic locale.
    if (!std::setlocale(LC_CTYPE, "C.UTF-8")) std::setlocale(LC_CTYPE, "");
}

}  // namespace korvan::platform
