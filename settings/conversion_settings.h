// The conversion options the stored settings give.
#pragma once

#include "convert/convert.h"
#include "settings/settings.h"

conversion_options options_from_settings(const settings_record& record);
