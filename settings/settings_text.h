// The settings file's text where no registry keeps the settings, read and
// written in memory: the file itself is touched in one place only.
#pragma once

#include "settings/settings.h"

#include <string>
#include <string_view>

// Takes each "name=value" line that names one of the values inside its
// group into record; everything else is skipped, and a value that does not
// fit its field leaves the field as it was.
void parse_settings_text(std::string_view text, settings_record& record);

// The file's text for every field of record. A text holding a line break is
// left out, so that its field reads back as the default, and so is a folder
// still at its default, so that it goes on following the current folder.
std::string format_settings_text(const settings_record& record);
