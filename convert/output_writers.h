// The writing drivers beneath convert_file, for a picture already read. Each
// output is claimed from the guard before it is written; the request's
// folder gains its separator as convert_file's does.
#pragma once

#include "convert/convert.h"
#include "formats/image_buffer.h"
#include "formats/output_guard.h"

#include <string>

// Writes the source as one KGF file named after name, its chain made as the
// options say. The result gets the name the batch shows afterwards, and the
// failure, if any (conversion_terminated, with nothing to show, for a long
// name not written). Releases both pixel blocks.
void write_kgf_output(const conversion_request& request, output_guard& guard,
                      const std::string& name, image_buffer& source, image_buffer& destination,
                      conversion_result& result);

// The same for a chain already made, which it releases.
void write_kgf_chain(const conversion_request& request, output_guard& guard,
                     const std::string& name, image_buffer& chain, conversion_result& result);

// Writes the source as one picture file of the request's output type (TGA
// or PNG), or one per level, at the depth the options give, each level of
// its own size read from where the chain rule places it. Levels of no pixel
// are not written: the sink is told once which, or, with first_left_out,
// the first of them is kept there (the least over calls) for the caller to
// tell. Releases both pixel blocks; each output file not written adds its
// failure.
void write_picture_outputs(const conversion_request& request, output_guard& guard,
                           const std::string& name, image_buffer& source, image_buffer& destination,
                           failure_list& failures, int* first_left_out = nullptr);

// The subject of the note on levels left out: "input: level 5" or "input:
// levels 2 to 5".
std::string levels_left_out(const std::string& input, int first, int last);

// The note that tells them, for a TGA or a PNG output.
kgf_status levels_note(file_type output);
