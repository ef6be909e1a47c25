// The game's animation file: a header and a series of KGF-like frames.
#pragma once

#include "formats/byte_reader.h"
#include "formats/image_buffer.h"
#include "formats/kgf.h"
#include "formats/kgf_quality.h"
#include "formats/limits.h"
#include "formats/output_file.h"
#include "formats/output_guard.h"
#include "formats/report.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Where one frame record lies in the frame data, and its header fields.
// Width, height and mip count are the unsigned low bytes, so that every
// reader of frames agrees on where a frame ends.
struct kaf_frame {
    int64_t start = 0;       // the lead bytes
    int64_t name_length = 0; // characters before the NUL
    int64_t header = 0;      // the 16 header bytes
    int64_t runs = 0;        // the first run record
    int64_t end = 0;         // one past the last run record of the frame
    bool has_header = false;
    int mip_count = 0;
    int width = 0;
    int height = 0;
};

// A parsed animation: the buffers the parser hands out, and the headers of
// the first and the last frame it read.
struct kaf_animation {
    std::vector<uint8_t> frame_data;
    std::vector<int32_t> frame_sizes;
    std::vector<char> frame_names;
    int32_t frame_count = 0;
    bool any_header = false;
    kaf_frame first_frame;
    kaf_frame last_frame;
    std::string short_frame; // the frame, by its stored name, that the file cuts short
    // A frame's width or height is not the first frame's.
    bool sizes_differ = false;
};

// The one frame walker: finds the frame record that starts at start. False
// when any part of it lies past the end of the data; the fields found so far
// are filled all the same.
bool locate_kaf_frame(const std::vector<uint8_t>& data, int64_t start, kaf_frame& frame);

// Pixels of a frame's chain of that many levels: level k holds
// w * h / 4^k of them, and the chain ends at the first level of none.
int64_t kaf_chain_pixels(int levels, int width, int height);

// Pixels a located frame's runs fall short of its chain: 0 for a whole
// frame; more only for the last frame of a file that ends early. A frame
// without a run at all is one short, as a walker takes the next bytes for
// its first run.
int64_t kaf_frame_shortfall(const std::vector<uint8_t>& data, const kaf_frame& frame);

// Calls visit(index, frame, name) for every frame of a parsed animation in
// stored order: the frame located in the data, and its name as the
// animation keeps it (cut to its 36-byte slot).
template <typename visitor> void for_each_kaf_frame(const kaf_animation& animation, visitor visit) {
    int64_t start = 0;
    size_t name_offset = 0;
    for (int32_t i = 0; i < animation.frame_count; ++i) {
        kaf_frame frame;
        locate_kaf_frame(animation.frame_data, start, frame); // the parse found it whole
        start = frame.start + animation.frame_sizes[static_cast<size_t>(i)];
        const char* name = animation.frame_names.data() + name_offset;
        name_offset += std::strlen(name) + 1;
        visit(i, frame, name);
    }
}

// Loads an animation and finds its frames; reports nothing. A frame that
// the file cuts short, inside its record or after a whole run record but
// before its runs reach its pixels, fails the whole animation: nothing is
// read of it. The status is frame_missing_data, with the frame's name in
// short_frame, when its name was read; missing_data otherwise.
kgf_status decode_kaf(byte_reader& reader, kaf_animation& animation);

// A decode_kaf status as the failure shown: a frame cut short under its
// name, anything else under the file's.
kgf_failure kaf_reading_failure(const kaf_animation& animation, kgf_status status,
                                const char* file);

// Decodes a whole frame's levels (as many as it declares, at least one; the
// first alone with kgf_levels::first_only) into a 16-bit chain laid out by
// the chain rule, each level moved from where the frame holds it. ok, or
// missing_data when its runs do not reach the levels' pixels.
kgf_status decode_kaf_chain(const std::vector<uint8_t>& data, const kaf_frame& frame,
                            kgf_levels levels, image_buffer& image);

// Decodes a frame's first level into image (16 bits, the frame's width and
// height), from its runs up to runs_end; excess pixels are dropped, the
// rows in the order asked for. missing_data when the runs end before the
// level is whole (the pixels decoded so far stay), no_memory when the
// level's block cannot be had (image empty).
kgf_status decode_kaf_frame(const std::vector<uint8_t>& data, const kaf_frame& frame,
                            int64_t runs_end, image_buffer& image, row_order rows);

// The KGF file of a frame as the splitter writes it, with the given level
// count: copied runs for one level without quality options, a rebuilt
// chain otherwise. Fails with no_memory when the chain's block cannot be
// had, or frame_missing_data about the name for a frame of pixels that
// declares no level (it holds no first level).
kgf_failure make_frame_kgf(const std::vector<uint8_t>& data, const kaf_frame& frame,
                           const char* name, int levels, kgf_quality quality,
                           std::vector<uint8_t>& out);

// 1 when a frame name is a bare file name that stays inside the folder it is
// joined to and holds no control character; frames with other names are
// refused by the splitter.
int is_plain_frame_name(const char* name);

// The file a split writes for the frame of this name, of the type whose
// ending is given ("kgf" or "tga"): a name ending in ".kgf" (any case) is
// kept for KGF output and takes ".tga" in its place for TGA output; any
// other name gets the ending added ("flame1.tga" gives "flame1.tga.kgf"), so
// that no frame replaces a file of another type and a pack finds it again.
std::string frame_file_name(const std::string& name, const char* ending);

// The frame's name as stored, whole, rather than cut to its slot.
std::string stored_frame_name(const kaf_animation& animation, const kaf_frame& frame);

// Whether a frame's name (as the animation keeps it) may name its outputs:
// ok, frame_name_cut when the stored name did not fit its slot (cut, it
// could name another frame's output), or bad_frame_name, the refusal about
// the frame's whole name.
kgf_failure check_frame_name(const kaf_animation& animation, const kaf_frame& frame,
                             const char* name);

// Writes each frame of a parsed animation as folder + its frame_file_name
// (a KGF file of the given level count, holding that name), now or into the
// journal. Every frame that is not written is counted in unwritten, and its
// failure, by name, comes back in order; so is a frame whose output the
// guard refuses (a file the run reads, or a name an earlier frame took).
// The status is ok when every frame was written, else the first frame's.
// A frame whose file's name the game cannot read (a stored name that
// reaches 36 characters with ".kgf" added) is written or not as long_names
// says, as any KGF of such a name: the sink hears the question.
failure_list split_frames(const kaf_animation& animation, const char* folder, int levels,
                          kgf_quality quality, output_journal* journal,
                          std::vector<int32_t>* unwritten, const report_sink& sink,
                          output_guard* guard = nullptr,
                          long_name_answer long_names = long_name_answer::write);
