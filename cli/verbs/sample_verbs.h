#pragma once

#include "cli/verb_table.h"

namespace korvan {
class Document;
}

namespace korvan::cli {

// Writes a generated model by the --out rules of the generator verbs (the model is named by
// the verb); prints what it wrote or why it failed and returns the exit code.
int write_sample(const VerbCall& call, const Document& doc);

// shell-townhouse and gen-townhouse: the townhouse by the verb's parameters, written by --out.
int run_townhouse_generator(const VerbCall& call);
// shell-villa and gen-villa.
int run_villa_generator(const VerbCall& call);
// townhouse: the fixed townhouse and its pictures in --out dir.
int run_townhouse_demo(const VerbCall& call);
// villa: the fixed villa and one picture per scene in --out dir.
int run_villa_demo(const VerbCall& call);
// place-door and place-window through PlaceOpeningCommand.
int run_place_opening(const VerbCall& call);
int run_create_instance(const VerbCall& call);
int run_instance_array(const VerbCall& call);

}  // namespace korvan::cli
