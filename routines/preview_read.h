// How the dialog program reads the highlighted file for its preview and
// for the image-information window.
#pragma once

#include "convert/describe.h"

// Reads a file of the given type with describe_image, as kgfconv info does:
// a TGA or PNG as stored (bottom row first), a KGF's first level for
// display, a KAF parsed into found.animation, and found.info, the record the
// image-information window shows. Failures and a KGF header's warnings are
// shown as the readers show them; a file that cannot be opened is passed
// over in silence. Returns 1 on success, 0 when the read failed.
int read_for_preview(const char* path, file_type type, file_description& found);
