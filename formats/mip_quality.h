// The KGF chain under the quality options.
#pragma once

#include "formats/image_buffer.h"
#include "formats/kgf_quality.h"

// Makes destination the 16-bit chain of the given number of levels for the
// source's picture: every level averaged from the source's 8-bit first level
// (16-bit sources widened as readers widen them; in linear light with
// srgb_mips) and reduced to 5 bits by truncation or, with dither, an
// error-diffusion dither. A 16-bit first level comes out as stored, but for
// alpha_mips's filling of transparent colours. Returns no_memory when a
// block cannot be allocated; the caller says so.
kgf_status make_quality_chain(image_buffer& destination, const image_buffer& source, int levels,
                              kgf_quality quality);
