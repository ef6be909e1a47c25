// The writing drivers beneath convert_file, for a picture already read. Each
// output is claimed from the guard before it is written; the request's
// folder gains its separator as convert_file's does.
#pragma once

#include "convert/convert.h"
#include "formats/image_buffer.h"
#include "formats/output_guard.h"

#include <string>

// Writes the source as one KGF file named after name, its chain made as the
// options say. shown_name gets the name the batch shows afterwards.
// Releases both pixel blocks; returns ok when the file was written, else
// its failure (conversion_terminated for a long name not written).
kgf_status write_kgf_output(const conversion_request& request, output_guard& guard,
                            const std::string& name, image_buffer& source,
                            image_buffer& destination, std::string& shown_name);

// The same for a chain already made, which it releases.
kgf_status write_kgf_chain(const conversion_request& request, output_guard& guard,
                           const std::string& name, image_buffer& chain, std::string& shown_name);

// Writes the source as one picture file of the request's output type (TGA
// or PNG), or one per level, at the depth the options give, each level of
// its own size read from where the chain rule places it. Levels of no pixel
// are not written: the sink is told once which, or, with first_left_out,
// the first of them is kept there (the least over calls) for the caller to
// tell. Releases both pixel blocks; returns ok when every output file was
// written, else the first failure.
kgf_status write_picture_outputs(const conversion_request& request, output_guard& guard,
                                 const std::string& name, image_buffer& source,
                                 image_buffer& destination, int* first_left_out = nullptr);

// The subject of the note on levels left out: "input: level 5" or "input:
// levels 2 to 5".
std::string levels_left_out(const std::string& input, int first, int last);

// The note that tells them, for a TGA or a PNG output.
kgf_status levels_note(file_type output);
