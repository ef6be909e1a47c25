// The image-information window's record of the highlighted file, kept for
// the whole run: the record describe_image made of the file the preview
// read, or blank. The preview alone fills it, after each highlight change.
#pragma once

#include "convert/describe.h"

extern image_info_record image_info;
