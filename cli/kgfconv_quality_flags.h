// The quality flags of the commands that make KGF chains: convert and pack.
#pragma once

#include "formats/kgf_quality.h"

namespace CLI {
class App;
class Option;
} // namespace CLI

struct quality_flags {
    CLI::Option* dither;
    CLI::Option* srgb_mips;
    CLI::Option* alpha_mips;
    CLI::Option* best;
};

// Adds --dither, --srgb-mips, --alpha-mips (each with its --no- form) and
// --best to the command.
quality_flags add_quality_flags(CLI::App& command);

// The choices given: 1 on, 0 off, left as they are (-1, the stored setting)
// when neither form was given.
void read_quality_flags(const quality_flags& flags, int& dither, int& srgb_mips, int& alpha_mips);

// The quality of the stored settings with the choices (1 on, 0 off, -1 as
// stored) applied.
kgf_quality chosen_quality(kgf_quality stored, int dither, int srgb_mips, int alpha_mips);
