// TGA pictures read for KGF chains: the one choice of how a TGA's pixels
// are read on their way to KGF pixels, for TGA to KGF and for the frames
// of an animation alike.
#pragma once

#include "formats/byte_reader.h"
#include "formats/image_buffer.h"
#include "formats/kgf_quality.h"
#include "formats/status.h"
#include "formats/tga.h"

// After read_tga_header gave ok for header: reads the picture for a 16-bit
// chain of the given levels. Uncompressed 24- and 32-bit rows, when no
// quality option wants the picture at its own depth, go straight into
// chain's first level (direct is then true; the lower levels are left to
// build_mip_chain). Every other picture goes into source (32 bits at most,
// top row first) for make_kgf_chain. Reports nothing.
kgf_status decode_tga_for_kgf(byte_reader& reader, const tga_header& header, int levels,
                              kgf_quality quality, image_buffer& chain, image_buffer& source,
                              bool& direct);
