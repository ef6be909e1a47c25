// Thumbnails for file managers: a texture's first level or an animation's
// first frame, reduced to fit a square with its aspect kept. The one
// routine behind kgfconv thumbnail and the Windows shell handler.
#pragma once

#include "convert/file_type.h"
#include "formats/byte_reader.h"
#include "formats/image_buffer.h"
#include "formats/status.h"

#include <cstddef>
#include <cstdint>

// The sizes a thumbnail may be asked for: file managers ask for 32 to 1024.
constexpr int smallest_thumbnail = 1;
constexpr int largest_thumbnail = 4096;
constexpr int default_thumbnail = 128;

// The type a file's first bytes give when its name does not tell: a KGF
// starts with its lead bytes, anything else is taken for an animation.
file_type thumbnail_type_from_content(const uint8_t* head, size_t size);

// The sides of a width x height picture fitted into a size x size square:
// unchanged when it already fits (never enlarged), else the longer side
// becomes size and the shorter one keeps the aspect, rounded, at least 1.
void fit_thumbnail(int width, int height, int size, int& fitted_width, int& fitted_height);

// Reduces a 32-bit picture (B, G, R, A, top row first) to fitted_width x
// fitted_height with a box filter: each output pixel is the mean of the
// source pixels whose columns x * w / fw .. (x + 1) * w / fw - 1 and rows
// likewise it covers. Colours are weighted by their alpha, so that a clear
// pixel's colour does not bleed into its neighbours; a box that is clear
// throughout keeps its plain mean colour. Means are rounded to nearest.
// no_memory when the output block cannot be had.
kgf_status box_reduce(const image_buffer& source, int fitted_width, int fitted_height,
                      image_buffer& out);

// Reads a KGF (its first level) or a KAF (its first frame) from the reader
// and makes its thumbnail of at most size x size: 32 bits (B, G, R, A), top
// row first, with the file's transparency. Reads and allocates no more than
// the readers do. ok, or the reader's failure; no_frames for an animation
// of no frame, unsupported_conversion for another type, bad_image_size for
// a picture of no pixel.
kgf_status make_thumbnail(byte_reader& reader, file_type type, int size, image_buffer& thumbnail);
