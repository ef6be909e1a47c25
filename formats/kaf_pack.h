// Putting frames back into an animation: the KAF writer. Frames are KGF or
// TGA pictures; an original animation, when there is one, lends the bytes
// whose meaning is unknown and every frame that did not change.
#pragma once

#include "formats/byte_reader.h"
#include "formats/image_buffer.h"
#include "formats/kaf.h"
#include "formats/kgf.h"
#include "formats/kgf_quality.h"
#include "formats/status.h"

#include <cstdint>
#include <string>
#include <vector>

enum class frame_format : uint8_t { kgf, tga, png };

// One frame to pack: its name in the animation, the file it came from (for
// messages), and its first level in 16 bits, top row first: as encoded
// (picture, made under the quality options) and as the user gave it
// (plain, converted without them; empty when the same as picture).
struct pack_frame {
    std::string name;
    std::string file;
    image_buffer picture;
    image_buffer plain;
    bool carries_alpha = true; // false for a file with no alpha channel (24-bit TGA)
};

// An animation packed frames are matched with: its header bytes as stored
// (7 or 17, fewer when the file is that short) and its frames.
struct kaf_original {
    std::vector<uint8_t> header;
    kaf_animation animation;
};

struct pack_options {
    int levels = 0;                          // levels of each frame encoded; 0: as below
    int default_levels = 1;                  // for a frame that the original has no count for
    kgf_quality quality = kgf_quality::none; // how encoded frames' levels are made
};

// What a pack did: the frames written, and what became of each.
struct pack_summary {
    int frames = 0;  // in the animation written
    int encoded = 0; // given frames encoded from their pictures
    int copied = 0;  // given frames whose first level is the original's: copied as stored
    int kept = 0;    // frames of the original not given: kept as stored
    // The files of the given frames that the original does not have,
    // encoded as new frames: counted among the encoded.
    std::vector<std::string> added;
};

struct pack_result {
    kgf_status status = kgf_status::ok;
    std::string subject; // the frame's file a refusal concerns; empty for the whole
    std::string shown;   // the text that stands for the status's "%s", when not subject
    pack_summary summary;
    // Files of edited frames without alpha whose original frame had
    // transparent pixels: packed opaque, each worth a warning.
    std::vector<std::string> made_opaque;
};

// A frame's name in an animation: the file's bare name, a TGA or PNG file's
// with ".kgf" in place of its own ending (added when it has none), a KGF
// file's as it is.
std::string frame_name_of_file(const std::string& file_name, frame_format format);

// True when a frame of that name (frame_name_of_file) is the one a split
// of the frame called frame_name wrote: the same names once the split's
// ending is added, their last three characters compared in any case.
bool names_same_frame(const std::string& name, const std::string& frame_name);

// Reads a frame file into its 16-bit first level: a KGF's as stored, a TGA
// or PNG converted as TGA to KGF converts it under the quality options
// (picture) and without them (plain, kept only when it differs). A TGA that
// is no frame's size gives bad_frame_size before its pixels are read, a PNG
// once they are. Reports nothing but running out of memory; reading gets a
// KGF header's warnings.
kgf_status decode_frame_picture(byte_reader& reader, frame_format format, kgf_quality quality,
                                pack_frame& frame, kgf_reading& reading);

// Loads an animation to pack frames like, from its bytes.
kgf_status decode_kaf_original(const uint8_t* bytes, size_t size, kaf_original& original);

// Writes the animation of the frames into out. Without an original: the
// frames in the order given, the long header form (the short one for 127
// frames) with the bytes of unknown meaning zero, and each frame's lead
// bytes those of a KGF. With one, see pack_kaf's definition: frames matched
// by name, unchanged ones copied, the original's others kept in their
// place. Every frame is the first frame's size, unless the original's
// frames already differ in size. Refusals leave out empty and name the
// frame's file in subject.
pack_result pack_kaf(const std::vector<pack_frame>& frames, const kaf_original* original,
                     const pack_options& options, std::vector<uint8_t>& out);
