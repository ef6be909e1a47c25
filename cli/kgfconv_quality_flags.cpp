#include "cli/kgfconv_quality_flags.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

quality_flags add_quality_flags(CLI::App& command) {
    quality_flags flags;
    // Each quality flag has its --no- form, for a setting stored as on.
    flags.dither = command.add_flag("--dither,!--no-dither")
                       ->description("Dither where 8-bit channels become KGF's 5 bits (error "
                                     "diffusion): no bands in smooth gradients (default: "
                                     "stored; off at first)");
    flags.srgb_mips =
        command.add_flag("--srgb-mips,!--no-srgb-mips")
            ->description(
                "Average the lower mip levels in linear light: fine patterns keep their brightness "
                "(default: stored; off at first)");
    flags.alpha_mips =
        command.add_flag("--alpha-mips,!--no-alpha-mips")
            ->description(
                "Lower mip levels keep the first level's share of opaque pixels, take colours from "
                "opaque pixels only, and transparent pixels take their nearest opaque colour: "
                "cut-outs neither thicken nor darken (default: stored; off at first)");
    flags.best = command.add_flag("--best")->description(
        "The three above: --dither --srgb-mips --alpha-mips");
    return flags;
}

// The last of a flag and its --no- form given counts; --best turns on
// whichever of the three is not turned off after it.
void read_quality_flags(const quality_flags& flags, int& dither, int& srgb_mips, int& alpha_mips) {
    const auto quality_flag = [&](CLI::Option* flag, int& value) {
        if (flags.best->count() > 0)
            value = 1;
        for (const std::string& given : flag->results())
            value = given == "-1" || given == "false" ? 0 : 1;
    };
    quality_flag(flags.dither, dither);
    quality_flag(flags.srgb_mips, srgb_mips);
    quality_flag(flags.alpha_mips, alpha_mips);
}

kgf_quality chosen_quality(kgf_quality stored, int dither, int srgb_mips, int alpha_mips) {
    kgf_quality result = stored;
    const auto choose = [&result](int given, kgf_quality flag) {
        if (given < 0)
            return;
        const auto bits = static_cast<uint8_t>(result);
        const auto mask = static_cast<uint8_t>(flag);
        result = static_cast<kgf_quality>(given != 0 ? bits | mask : bits & ~mask);
    };
    choose(dither, kgf_quality::dither);
    choose(srgb_mips, kgf_quality::srgb_mips);
    choose(alpha_mips, kgf_quality::alpha_mips);
    return result;
}
