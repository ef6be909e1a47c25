// The KAF writer: frames and an original animation from the input. What
// pack writes is refused with nothing written, or an animation whose every
// frame the walker finds and whose given frames show their pictures; and an
// original split and packed back unchanged gives its own bytes back.
//
// Input: one byte of options (bits 0-1 levels, 2-3 default levels, 4 long
// names, 5 an original, 6 the quality options), one byte of frame count (low three bits),
// then each frame as a byte of flags, a 16-bit length and its bytes; the
// rest is the original.
#include "formats/byte_reader.h"
#include "formats/bytes.h"
#include "formats/kaf_pack.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void fail(const char* what) {
    std::fprintf(stderr, "kgf fuzz: pack: %s\n", what);
    std::abort();
}

pack_options options_from(uint8_t bits) {
    static const int levels[] = {0, 1, 5, 255};
    pack_options options;
    options.levels = levels[bits & 3];
    options.default_levels = levels[(bits >> 2) & 3];
    options.quality = (bits & 64) != 0 ? kgf_quality::best : kgf_quality::none;
    return options;
}

// A frame's name: one of the original's, or one of a few of its own.
std::string name_from(uint8_t bits, const kaf_original* original) {
    static const char* const own[] = {"a.kgf", "A.KGF",   "b.kgf",
                                      "..",    "c/d.kgf", "frame-name-of-thirty-six-chars-.kgf",
                                      "",      "e.kgf"};
    if ((bits & 8) != 0 && original != nullptr && original->animation.frame_count > 0) {
        std::string name;
        const int32_t wanted = (bits >> 4) % original->animation.frame_count;
        for_each_kaf_frame(original->animation, [&](int32_t i, const kaf_frame&, const char* n) {
            if (i == wanted)
                name = n;
        });
        return name;
    }
    return own[(bits >> 4) & 7];
}

// Whether a decoded frame holds the given picture. A file with no alpha
// channel says nothing of transparency: a frame whose colours it matches is
// kept as stored, transparent pixels and all, so only colours are compared.
bool same_pixels(const image_buffer& decoded, const pack_frame& given) {
    if (decoded.data.size() > given.picture.data.size())
        return false;
    const uint8_t alpha_mask = given.carries_alpha ? 0xFF : 0x7F; // bit 15, high byte
    for (size_t i = 0; i < decoded.data.size(); ++i) {
        const uint8_t mask = (i & 1) != 0 ? alpha_mask : 0xFF;
        if ((decoded.data[i] & mask) != (given.picture.data[i] & mask))
            return false;
    }
    return true;
}

// True when a frame of that name in a written animation shows the picture.
bool frame_shows_picture(const kaf_animation& animation, const pack_frame& given) {
    bool shown = false;
    for_each_kaf_frame(animation, [&](int32_t, const kaf_frame& frame, const char* slot) {
        const char* stored =
            reinterpret_cast<const char*>(animation.frame_data.data() + frame.start + 3);
        // A frame of the original is found by its split file's name; a new
        // frame keeps the name it was given.
        const std::string whole(stored, static_cast<size_t>(frame.name_length));
        if (given.name != slot && given.name != whole && !names_same_frame(given.name, slot) &&
            !names_same_frame(given.name, whole))
            return;
        image_buffer picture;
        shown = shown || (decode_kaf_frame(animation.frame_data, frame, frame.end, picture,
                                           row_order::top_first) == kgf_status::ok &&
                          same_pixels(picture, given));
    });
    return shown;
}

void check_written(const std::vector<pack_frame>& frames, const pack_result& result,
                   const std::vector<uint8_t>& out) {
    kaf_original back;
    if (decode_kaf_original(out.data(), out.size(), back) != kgf_status::ok)
        fail("what pack wrote does not read back");
    if (back.animation.frame_count != result.summary.frames ||
        result.summary.frames != static_cast<int>(frames.size()) + result.summary.kept ||
        result.summary.encoded + result.summary.copied != static_cast<int>(frames.size()))
        fail("frames lost or counted twice");
    int64_t end = 0;
    for_each_kaf_frame(back.animation,
                       [&](int32_t, const kaf_frame& frame, const char*) { end = frame.end; });
    if (end != static_cast<int64_t>(back.animation.frame_data.size()))
        fail("the frames do not end where the animation ends");
    for (const pack_frame& frame : frames)
        if (!frame_shows_picture(back.animation, frame))
            fail("a given frame does not show its picture");
}

// Splits the original and packs its frames back like it: when every frame
// is one pack takes, the bytes must be the original's up to its last frame.
void check_round_trip(const uint8_t* data, size_t size, const kaf_original& original, int levels) {
    if (original.animation.frame_count < 1 || original.header.empty())
        return;
    // A last frame cut short by the end of the file is completed.
    bool cut_short = false;
    for_each_kaf_frame(original.animation, [&](int32_t, const kaf_frame& frame, const char*) {
        cut_short = kaf_frame_shortfall(original.animation.frame_data, frame) > 0;
    });
    if (cut_short)
        return;
    output_journal journal;
    if (split_frames(original.animation, "out/", levels, kgf_quality::none, &journal, nullptr, {})
            .status != kgf_status::ok)
        return;
    std::vector<pack_frame> frames;
    bool whole = true;
    size_t next = 0;
    for_each_kaf_frame(original.animation, [&](int32_t, const kaf_frame& frame, const char*) {
        const journal_entry& entry = journal.entries[next++];
        const uint8_t* header = original.animation.frame_data.data() + frame.header;
        image_buffer first;
        whole = whole && header[11] == 0 && header[13] == 0 &&
                decode_kaf_frame(original.animation.frame_data, frame, frame.end, first,
                                 row_order::top_first) == kgf_status::ok;
        // The frame comes back under its split file's name, as pack reads
        // a split folder.
        pack_frame given;
        given.name = entry.path.substr(entry.path.rfind('/') + 1);
        given.file = entry.path;
        byte_reader reader = memory_reader(entry.bytes.data(), entry.bytes.size());
        kgf_reading reading;
        whole = whole && decode_frame_picture(reader, frame_format::kgf, kgf_quality::none, given,
                                              reading) == kgf_status::ok;
        frames.push_back(std::move(given));
    });
    if (!whole)
        return;
    const pack_options options;
    std::vector<uint8_t> out;
    if (pack_kaf(frames, &original, options, out).status != kgf_status::ok)
        return;
    const size_t header_bytes = data[0] == 127 ? 7 : 17;
    int64_t end = 0;
    for_each_kaf_frame(original.animation,
                       [&](int32_t, const kaf_frame& frame, const char*) { end = frame.end; });
    const size_t stored = std::min(size, header_bytes + static_cast<size_t>(end));
    if (out.size() != stored || !std::equal(out.begin(), out.end(), data))
        fail("an unchanged split does not pack back to its original");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_setup();
    if (size < 2)
        return 0;
    const pack_options options = options_from(data[0]);
    const bool use_original = (data[0] & 32) != 0;
    const int count = data[1] & 7;
    size_t p = 2;
    struct frame_bytes {
        uint8_t flags;
        const uint8_t* bytes;
        size_t size;
    };
    std::vector<frame_bytes> pieces;
    for (int i = 0; i < count && p + 3 <= size; ++i) {
        const size_t length = std::min<size_t>(read_u16(data + p + 1), size - p - 3);
        pieces.push_back({data[p], data + p + 3, length});
        p += 3 + length;
    }
    kaf_original original;
    const bool has_original =
        use_original && decode_kaf_original(data + p, size - p, original) == kgf_status::ok;
    const kaf_original* like = has_original ? &original : nullptr;

    std::vector<pack_frame> frames;
    for (const frame_bytes& piece : pieces) {
        pack_frame frame;
        frame.name = name_from(piece.flags, like);
        frame.file = "frames/" + frame.name;
        const frame_format format = (piece.flags & 1) != 0 ? frame_format::tga : frame_format::kgf;
        byte_reader reader = memory_reader(piece.bytes, piece.size);
        kgf_reading reading;
        if (decode_frame_picture(reader, format, options.quality, frame, reading) != kgf_status::ok)
            return 0;
        frames.push_back(std::move(frame));
    }
    std::vector<uint8_t> out;
    const pack_result result = pack_kaf(frames, like, options, out);
    if (result.status != kgf_status::ok) {
        if (!out.empty())
            fail("a refusal wrote something");
    } else {
        check_written(frames, result, out);
    }
    if (has_original)
        check_round_trip(data + p, size - p, original, options.levels == 5 ? 5 : 1);
    return 0;
}
