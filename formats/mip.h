// Box-filtered mip levels, each built from the first level directly.
#pragma once

#include "formats/image_buffer.h"
#include "formats/kgf_quality.h"

#include <cstdint>

// Writes level (2 or more) of a 16-bit chain at byte offset of data, from the
// first level. Returns the bytes written; 0 when the level has no pixel.
int32_t make_mip_level(image_buffer& image, int64_t offset, int level);

// Builds levels 2 to num_mipmaps of a 16-bit chain from its first level, each
// at the start the chain rule gives it, so that readers find every level
// where the rule places it whatever the sides.
void build_mip_chain(image_buffer& image);

// Makes destination the 16-bit chain of the given number of levels for the
// source's picture: its first level converted from the source, the lower
// levels built from it; with quality options as make_quality_chain does
// (formats/mip_quality.h). Returns no_memory when a block cannot be
// allocated; the caller says so.
kgf_status make_kgf_chain(image_buffer& destination, const image_buffer& source, int levels,
                          kgf_quality quality = kgf_quality::none);
