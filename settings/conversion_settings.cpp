#include "settings/conversion_settings.h"

#include <cstring>

conversion_options options_from_settings(const settings_record& record) {
    conversion_options options;
    options.num_mipmaps = record.num_mipmaps;
    options.bpp = record.bpp;
    options.mipmaps = record.mipmaps;
    std::memcpy(options.suffix, record.suffix, sizeof options.suffix);
    options.suffix[sizeof options.suffix - 1] = '\0';
    return options;
}
