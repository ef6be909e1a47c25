#include "settings/conversion_settings.h"

#include <cstring>

conversion_options options_from_settings(const settings_record& record) {
    conversion_options options;
    options.num_mipmaps = record.num_mipmaps;
    options.bpp = record.bpp;
    options.kgf_levels_read = record.mipmaps != 0 ? kgf_levels::from_file : kgf_levels::first_only;
    std::memcpy(options.suffix, record.suffix, sizeof options.suffix);
    options.suffix[sizeof options.suffix - 1] = '\0';
    // Only 1 turns an option on, as a check box shows a stored byte.
    if (record.dither == 1)
        options.quality = options.quality | kgf_quality::dither;
    if (record.srgb_mips == 1)
        options.quality = options.quality | kgf_quality::srgb_mips;
    if (record.alpha_mips == 1)
        options.quality = options.quality | kgf_quality::alpha_mips;
    return options;
}
