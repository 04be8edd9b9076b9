#pragma once

namespace korvan {
class Document;
}

namespace korvan::cli {

// Replaces doc by the model every verb works on when it is given no --in: the built-in
// material library and the shell townhouse (5 x 12 m, two storeys of 3.3 m) with its door
// and two windows placed as components on the tag "Openings".
void install_fallback_model(korvan::Document& doc);

}  // namespace korvan::cli
