#pragma once

#include <string>

namespace korvan::cli {

// Appends the manual page korvan_cli(1) in roff, generated from the verb and option tables:
// one entry per verb with its synopsis, what it does, its marks and its options.
void append_manual_page(std::string& out);

}  // namespace korvan::cli
