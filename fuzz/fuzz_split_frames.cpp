// The KAF splitter: every frame either becomes a KGF file inside the output
// folder or is reported as not written, every file written reads back, and
// a frame whose first level is whole becomes a file with that level's
// pixels.
#include "formats/byte_reader.h"
#include "formats/kaf.h"
#include "formats/kgf.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

void fail(const char* what, int32_t frame) {
    std::fprintf(stderr, "kgf fuzz: frame %d: %s\n", static_cast<int>(frame), what);
    std::abort();
}

// With alpha_mips the colours of transparent pixels are filled in: only
// the alpha bits and the opaque pixels must stay.
bool same_pixels(const std::vector<uint8_t>& frame, const std::vector<uint8_t>& file,
                 kgf_quality quality) {
    if (!has_quality(quality, kgf_quality::alpha_mips))
        return std::equal(frame.begin(), frame.end(), file.begin());
    for (size_t i = 0; i + 1 < frame.size(); i += 2) {
        const bool opaque = (frame[i + 1] & 0x80) != 0;
        if ((frame[i + 1] & 0x80) != (file[i + 1] & 0x80) ||
            (opaque && (frame[i] != file[i] || frame[i + 1] != file[i + 1])))
            return false;
    }
    return true;
}

// Every split file reads back; one of a frame whose first level is whole
// holds that level's pixels (none asked, with no level).
void check_frame_file(const kaf_animation& animation, const kaf_frame& frame, int levels,
                      kgf_quality quality, const std::vector<uint8_t>& file, int32_t index) {
    byte_reader reader = memory_reader(file.data(), file.size());
    image_buffer image;
    init_image_buffer(image, 16);
    kgf_reading reading;
    if (decode_kgf(reader, image, kgf_levels::from_file, row_order::top_first, reading) !=
        kgf_status::ok)
        fail("the split file does not read back", index);
    image_buffer first;
    if (levels == 0 || decode_kaf_frame(animation.frame_data, frame, frame.end, first,
                                        row_order::top_first) != kgf_status::ok)
        return;
    if (image.width != first.width || image.height != first.height ||
        image.data.size() < first.data.size() || !same_pixels(first.data, image.data, quality))
        fail("the split file's first level differs from the frame's", index);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_setup();
    const kgf_quality quality = quality_from_trailer(data, size);
    if (size < 1)
        return 0;
    const int levels = options_from_byte(data[0], file_type::kaf).options.num_mipmaps;
    byte_reader reader = memory_reader(data + 1, size - 1);
    kaf_animation animation;
    if (decode_kaf(reader, animation) != kgf_status::ok)
        return 0;
    const std::string folder = "out/";
    output_journal journal;
    std::vector<int32_t> unwritten;
    const kgf_status split = split_frames(animation, folder.c_str(), levels, quality, &journal,
                                          &unwritten, report_sink{})
                                 .status;
    if ((split == kgf_status::ok) != unwritten.empty() ||
        journal.entries.size() + unwritten.size() != static_cast<size_t>(animation.frame_count))
        fail("frames lost between the written and the unwritten", animation.frame_count);

    size_t next = 0;
    std::set<std::string> paths;
    for_each_kaf_frame(animation, [&](int32_t i, const kaf_frame& frame, const char*) {
        if (std::find(unwritten.begin(), unwritten.end(), i) != unwritten.end())
            return;
        const journal_entry& entry = journal.entries[next++];
        if (!entry.is_output || entry.path.compare(0, folder.size(), folder) != 0 ||
            !is_plain_frame_name(entry.path.c_str() + folder.size()) ||
            entry.path.size() >= static_cast<size_t>(path_bytes))
            fail("written outside the output folder", i);
        if (!paths.insert(entry.path).second)
            fail("two frames written to one file", i);
        check_frame_file(animation, frame, levels, quality, entry.bytes, i);
    });
    return 0;
}
