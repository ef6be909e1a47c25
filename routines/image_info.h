// The image-information window's record of the highlighted file, kept for
// the whole run. The dialog program's readers set its mip levels while they
// read; the preview sets the rest.
#pragma once

#include "convert/describe.h"

extern image_info_record image_info;
