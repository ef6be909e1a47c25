// Properties of the conversion graph as a whole, over memory: random sizes
// (1 x 1 to 128 x 128 and a few large), levels 1 and 5, every set of the
// quality options. Expectations come from the formats' rules written out
// here, never from the code under test.
#include "convert/convert.h"
#include "convert/describe.h"
#include "formats/kaf.h"
#include "formats/kaf_pack.h"
#include "formats/mip.h"
#include "formats/tga.h"
#include "support/core_support.h"
#include "support/sample_files.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

using bytes = std::vector<uint8_t>;
using outputs = std::map<std::string, bytes>;

// Runs a property over cases random inputs (more when RC_PARAMS asks): the
// suite stays a matter of seconds.
template <typename testable> void check_cases(int cases, testable property) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    rc::detail::TestMetadata metadata;
    metadata.id = std::string(info->test_suite_name()) + "/" + info->name();
    metadata.description = info->name();
    rc::detail::TestParams params = rc::detail::configuration().testParams;
    if (params.maxSuccess == rc::detail::TestParams().maxSuccess)
        params.maxSuccess = cases;
    const auto result = rc::detail::checkTestable(property, metadata, params);
    if (!result.template is<rc::detail::SuccessResult>()) {
        std::ostringstream text;
        rc::detail::printResultMessage(result, text);
        FAIL() << text.str();
    }
}

// --- Generators ---------------------------------------------------------

struct picture_spec {
    int width = 1, height = 1;
    int bpp = 32;         // 24 or 32
    unsigned seed = 0;    // the pixels' bytes
    int transparency = 0; // 0 none, 1 some pixels, 2 every pixel
};

rc::Gen<int> side(int largest) {
    return rc::gen::weightedOneOf<int>(
        {{12, rc::gen::resize(100, rc::gen::inRange(1, largest + 1))},
         {1, rc::gen::element(255, 256, 257, 300, 513).as("large side")}});
}

rc::Gen<picture_spec> pictures(int largest) {
    return rc::gen::build<picture_spec>(
        rc::gen::set(&picture_spec::width, side(largest)),
        rc::gen::set(&picture_spec::height, side(largest)),
        rc::gen::set(&picture_spec::bpp, rc::gen::element(24, 32)),
        rc::gen::set(&picture_spec::seed, rc::gen::arbitrary<unsigned>()),
        rc::gen::set(&picture_spec::transparency, rc::gen::resize(100, rc::gen::inRange(0, 3))));
}

rc::Gen<kgf_quality> qualities() {
    return rc::gen::map(rc::gen::resize(100, rc::gen::inRange(0, 8)),
                        [](int bits) { return static_cast<kgf_quality>(bits); });
}

rc::Gen<int> level_counts() {
    return rc::gen::element(1, 5);
}

// The picture's pixels, top row first: colours from the seed, alpha 0 or
// 255 (or any, for some) as the picture_spec asks.
image_buffer make_picture(const picture_spec& spec) {
    image_buffer image;
    init_image_buffer(image, static_cast<uint8_t>(spec.bpp));
    image.width = static_cast<int16_t>(spec.width);
    image.height = static_cast<int16_t>(spec.height);
    const size_t step = static_cast<size_t>(spec.bpp / 8);
    image.data.resize(static_cast<size_t>(spec.width) * spec.height * step);
    uint32_t state = spec.seed * 2654435761u + 1;
    for (size_t i = 0; i < image.data.size(); i += step) {
        for (size_t c = 0; c < step; ++c) {
            state = state * 1664525u + 1013904223u;
            image.data[i + c] = static_cast<uint8_t>(state >> 24);
        }
        if (step == 4)
            image.data[i + 3] = spec.transparency == 2                            ? 0
                                : spec.transparency == 1 && (state >> 8) % 3 == 0 ? 0
                                                                                  : 255;
    }
    return image;
}

// --- The formats' rules, written out ------------------------------------

uint16_t u16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// ARGB1555 of a 24- or 32-bit pixel: top five bits, any alpha but 0 opaque.
uint16_t to_16(const uint8_t* p, int bpp) {
    const bool opaque = bpp == 24 || p[3] != 0;
    return static_cast<uint16_t>((opaque ? 0x8000 : 0) | (p[2] >> 3) << 10 | (p[1] >> 3) << 5 |
                                 p[0] >> 3);
}

std::vector<uint16_t> first_level_16(const image_buffer& picture) {
    std::vector<uint16_t> out;
    const size_t step = picture.bpp / 8;
    for (size_t i = 0; i + step <= picture.data.size(); i += step)
        out.push_back(picture.bpp == 16 ? u16(&picture.data[i])
                                        : to_16(&picture.data[i], picture.bpp));
    return out;
}

// Level n of a w x h first level: each pixel the floor average of its
// 2^(n-1) square block, opaque when any pixel of the block is.
std::vector<uint16_t> box_level(const std::vector<uint16_t>& first, int w, int h, int n) {
    const int b = 1 << (n - 1);
    std::vector<uint16_t> out;
    for (int y = 0; y + b <= h; y += b)
        for (int x = 0; x + b <= w; x += b) {
            unsigned r = 0, g = 0, bl = 0, opaque = 0;
            for (int j = 0; j < b; ++j)
                for (int i = 0; i < b; ++i) {
                    const uint16_t v = first[static_cast<size_t>((y + j) * w + x + i)];
                    r += v >> 10 & 31, g += v >> 5 & 31, bl += v & 31, opaque |= v >> 15;
                }
            const unsigned area = static_cast<unsigned>(b * b);
            out.push_back(static_cast<uint16_t>(opaque << 15 | (r / area) << 10 | (g / area) << 5 |
                                                bl / area));
        }
    return out;
}

// A TGA file's pixels in 16 bits, top row first; its width and height.
std::vector<uint16_t> tga_pixels_16(const bytes& file, int& w, int& h, int& bpp) {
    w = u16(&file[12]), h = u16(&file[14]), bpp = file[16];
    std::vector<uint16_t> out;
    const size_t step = static_cast<size_t>(bpp / 8);
    for (int row = h - 1; row >= 0; --row)
        for (int x = 0; x < w; ++x)
            out.push_back(to_16(&file[18 + (static_cast<size_t>(row) * w + x) * step], bpp));
    return out;
}

// --- Running conversions over memory ------------------------------------

struct run {
    conversion_result result;
    outputs written;
    recording_sink recorded;
};

run convert(file_type from, file_type to, const char* input, const bytes& in,
            const conversion_options& options) {
    memory_conversion conversion(from, to, input, in);
    conversion.request.options = options;
    conversion.request.options.long_names = long_name_answer::write;
    const conversion_result result = conversion.run();
    return {result, conversion.outputs(), conversion.recorded};
}

conversion_options options_of(int levels, kgf_quality quality, int bpp, bool all_levels) {
    conversion_options options;
    options.num_mipmaps = static_cast<uint8_t>(levels);
    options.quality = quality;
    options.bpp = static_cast<uint8_t>(bpp);
    options.kgf_levels_read = all_levels ? kgf_levels::from_file : kgf_levels::first_only;
    return options;
}

// What describe (info) says of a file.
image_info_record described(const bytes& file, file_type type, kgf_status& status) {
    byte_reader reader = reader_of(file);
    file_description found;
    status = describe_image(reader, type, found);
    return found.info;
}

std::string size_text(int w, int h) {
    return std::to_string(w) + "x" + std::to_string(h);
}

// Checks the TGA files of one picture's levels against the box filter of
// its first level (exact without quality options; sizes always).
void check_level_files(const outputs& written, const std::string& base, int levels,
                       const std::vector<uint16_t>& first, int w, int h, bool exact) {
    int files = 0;
    for (int n = 1; n <= levels; ++n) {
        const int lw = w >> (n - 1), lh = h >> (n - 1);
        const std::string name = levels == 1 ? base + ".tga" : base + std::to_string(n) + ".tga";
        const auto found = written.find(name);
        RC_ASSERT((found != written.end()) == (lw * lh > 0));
        if (found == written.end())
            continue;
        ++files;
        int fw = 0, fh = 0, bpp = 0;
        const std::vector<uint16_t> pixels = tga_pixels_16(found->second, fw, fh, bpp);
        RC_ASSERT(size_text(fw, fh) == size_text(lw, lh));
        kgf_status status;
        const image_info_record info = described(found->second, file_type::tga, status);
        RC_ASSERT(status == kgf_status::ok);
        RC_ASSERT(std::string(info.resolution) == size_text(lw, lh).substr(0, 9));
        if (!exact && n > 1)
            continue;
        const std::vector<uint16_t> want = n == 1 ? first : box_level(first, w, h, n);
        const uint16_t kept = bpp == 32 ? 0xFFFF : 0x7FFF; // 24 bits carry no alpha
        for (size_t i = 0; i < want.size(); ++i)
            RC_ASSERT((pixels[i] & kept) == (want[i] & kept));
    }
    RC_ASSERT(static_cast<int>(written.size()) == files);
}

// --- Properties ----------------------------------------------------------

TEST(conversion_graph, tga_to_kgf_to_tga_gives_every_level_by_the_box_filter) {
    check_cases(100, [] {
        const picture_spec spec = *pictures(128);
        const int levels = *level_counts();
        const kgf_quality quality = *qualities();
        const int out_bpp = *rc::gen::element(24, 32);
        const image_buffer picture = make_picture(spec);
        const run kgf = convert(file_type::tga, file_type::kgf, "p.tga", tga_file_bytes(picture),
                                options_of(levels, quality, 32, true));
        RC_ASSERT(kgf.result.status == kgf_status::ok);
        RC_ASSERT(kgf.written.size() == 1u);
        const bytes& stored = kgf.written.at("p.kgf");
        kgf_status status;
        const image_info_record info = described(stored, file_type::kgf, status);
        RC_ASSERT(status == kgf_status::ok);
        RC_ASSERT(info.mip_levels == levels);
        RC_ASSERT(std::string(info.resolution) == size_text(spec.width, spec.height).substr(0, 9));

        const run tga = convert(file_type::kgf, file_type::tga, "p.kgf", stored,
                                options_of(1, kgf_quality::none, out_bpp, true));
        RC_ASSERT(tga.result.status == kgf_status::ok);
        // Without dither, the first level is the picture's pixels in 16
        // bits; alpha_mips may fill the colours of transparent ones.
        std::vector<uint16_t> first = first_level_16(picture);
        const bool exact = quality == kgf_quality::none;
        if (!exact) {
            int w, h, bpp;
            const std::vector<uint16_t> got =
                tga_pixels_16(tga.written.at(levels == 1 ? "p.tga" : "p1.tga"), w, h, bpp);
            for (size_t i = 0; i < first.size(); ++i) {
                RC_ASSERT((got[i] & 0x8000) == (bpp == 24 ? 0x8000 : first[i] & 0x8000));
                if ((static_cast<int>(quality) & 1) == 0 && (first[i] & 0x8000) != 0)
                    RC_ASSERT((got[i] & 0x7FFF) == (first[i] & 0x7FFF));
            }
            first = got; // the lower levels are the options' own
        }
        check_level_files(tga.written, "p", levels, first, spec.width, spec.height, exact);
        // Levels of no pixel are told once, as a note.
        const bool any_empty = levels == 5 && ((spec.width >> 4) == 0 || (spec.height >> 4) == 0);
        RC_ASSERT(tga.recorded.findings.size() == (any_empty ? 1u : 0u));
    });
}

TEST(conversion_graph, kgf_to_kgf_keeps_the_first_level) {
    check_cases(80, [] {
        const picture_spec spec = *pictures(128);
        const int from_levels = *level_counts(), to_levels = *level_counts();
        const kgf_quality quality = *qualities();
        const image_buffer picture = make_picture(spec);
        const run first = convert(file_type::tga, file_type::kgf, "p.tga", tga_file_bytes(picture),
                                  options_of(from_levels, kgf_quality::none, 32, true));
        const run again =
            convert(file_type::kgf, file_type::kgf, "p.kgf", first.written.at("p.kgf"),
                    options_of(to_levels, quality, 32, true));
        RC_ASSERT(again.result.status == kgf_status::ok);
        const run tga = convert(file_type::kgf, file_type::tga, "p.kgf", again.written.at("p.kgf"),
                                options_of(1, kgf_quality::none, 32, true));
        const std::vector<uint16_t> want = first_level_16(picture);
        int w, h, bpp;
        const std::vector<uint16_t> got =
            tga_pixels_16(tga.written.at(to_levels == 1 ? "p.tga" : "p1.tga"), w, h, bpp);
        // alpha_mips may only fill the colours of transparent pixels.
        for (size_t i = 0; i < want.size(); ++i)
            RC_ASSERT(bool((want[i] & 0x8000) == 0 ? (got[i] & 0x8000) == 0 : got[i] == want[i]));
        if (quality == kgf_quality::none)
            check_level_files(tga.written, "p", to_levels, want, spec.width, spec.height, true);
    });
}

// An animation of frames of one size, packed without an original.
struct animation_spec {
    std::vector<image_buffer> frames; // 16 bits
    bytes file;
};

animation_spec make_animation(int levels, kgf_quality quality) {
    animation_spec made;
    picture_spec spec = *pictures(128);
    spec.width = std::min(spec.width, largest_frame_side);
    spec.height = std::min(spec.height, largest_frame_side);
    const int count = *rc::gen::resize(100, rc::gen::inRange(1, 4));
    std::vector<pack_frame> frames;
    for (int i = 0; i < count; ++i) {
        spec.seed += 1;
        image_buffer picture = make_picture(spec), first;
        init_image_buffer(first, 16);
        make_kgf_chain(first, picture, 1);
        pack_frame frame;
        frame.name = std::string("f").append(std::to_string(i)).append(".kgf");
        frame.file = frame.name;
        frame.picture = first;
        made.frames.push_back(first);
        frames.push_back(std::move(frame));
    }
    pack_options options;
    options.levels = levels;
    options.quality = quality;
    RC_ASSERT(pack_kaf(frames, nullptr, options, made.file).status == kgf_status::ok);
    return made;
}

TEST(conversion_graph, kaf_to_kgf_and_tga_keep_every_frame) {
    check_cases(80, [] {
        const int levels = *level_counts(), split_levels = *level_counts();
        const animation_spec animation = make_animation(levels, kgf_quality::none);
        const image_buffer& one = animation.frames[0];
        kgf_status status;
        const image_info_record info = described(animation.file, file_type::kaf, status);
        RC_ASSERT(status == kgf_status::ok);
        RC_ASSERT(info.frames == animation.frames.size());
        RC_ASSERT(info.mip_levels == levels);
        RC_ASSERT(std::string(info.resolution) == size_text(one.width, one.height));

        const run kgf = convert(file_type::kaf, file_type::kgf, "a.kaf", animation.file,
                                options_of(split_levels, kgf_quality::none, 32, true));
        const run tga = convert(file_type::kaf, file_type::tga, "a.kaf", animation.file,
                                options_of(1, kgf_quality::none, *rc::gen::element(24, 32), true));
        RC_ASSERT(kgf.result.status == kgf_status::ok);
        RC_ASSERT(tga.result.status == kgf_status::ok);
        for (size_t i = 0; i < animation.frames.size(); ++i) {
            const std::string base = std::string("f").append(std::to_string(i));
            const std::vector<uint16_t> first = first_level_16(animation.frames[i]);
            // Each frame's KGF reads back at its levels; its TGA files are
            // its levels by the box filter.
            const run back =
                convert(file_type::kgf, file_type::tga, "f.kgf", kgf.written.at(base + ".kgf"),
                        options_of(1, kgf_quality::none, 32, true));
            RC_ASSERT(back.result.status == kgf_status::ok);
            int w, h, bpp;
            RC_ASSERT(tga_pixels_16(back.written.at(split_levels == 1 ? "f.tga" : "f1.tga"), w, h,
                                    bpp) == first);
            outputs mine;
            for (const auto& [name, file] : tga.written)
                if (name.rfind(base, 0) == 0)
                    mine[name] = file;
            check_level_files(mine, base, levels, first, one.width, one.height, true);
        }
    });
}

TEST(conversion_graph, an_unchanged_split_packs_back_byte_identical) {
    check_cases(80, [] {
        const int levels = *level_counts();
        const kgf_quality packed_with = *qualities(), packed_again = *qualities();
        const animation_spec animation = make_animation(levels, packed_with);
        kaf_original original;
        RC_ASSERT(decode_kaf_original(animation.file.data(), animation.file.size(), original) ==
                  kgf_status::ok);
        const bool as_tga = *rc::gen::arbitrary<bool>();
        const run split = convert(
            file_type::kaf, as_tga ? file_type::tga : file_type::kgf, "a.kaf", animation.file,
            options_of(1, kgf_quality::none, *rc::gen::element(24, 32), false));
        RC_ASSERT(split.result.status == kgf_status::ok);
        std::vector<pack_frame> frames;
        for (const auto& [name, file] : split.written) {
            pack_frame frame;
            frame.file = name;
            frame.name = frame_name_of_file(name, as_tga ? frame_format::tga : frame_format::kgf);
            byte_reader reader = reader_of(file);
            kgf_reading reading;
            RC_ASSERT(decode_frame_picture(reader, as_tga ? frame_format::tga : frame_format::kgf,
                                           packed_again, frame, reading) == kgf_status::ok);
            frames.push_back(std::move(frame));
        }
        pack_options options;
        options.quality = packed_again;
        bytes again;
        const pack_result result = pack_kaf(frames, &original, options, again);
        RC_ASSERT(result.status == kgf_status::ok);
        RC_ASSERT(result.made_opaque.empty());
        RC_ASSERT(again == animation.file);
    });
}

TEST(conversion_graph, a_cut_or_damaged_file_is_read_whole_or_refused_without_output) {
    check_cases(200, [] {
        const int levels = *level_counts();
        const int kind = *rc::gen::resize(100, rc::gen::inRange(0, 3));
        const image_buffer picture = make_picture(*pictures(40));
        bytes file;
        file_type type = file_type::tga;
        if (kind == 0) {
            file = tga_file_bytes(picture);
        } else if (kind == 1) {
            type = file_type::kgf;
            file = convert(file_type::tga, file_type::kgf, "p.tga", tga_file_bytes(picture),
                           options_of(levels, kgf_quality::none, 32, true))
                       .written.at("p.kgf");
        } else {
            type = file_type::kaf;
            file = make_animation(levels, kgf_quality::none).file;
        }
        const size_t at = *rc::gen::resize(100, rc::gen::inRange<size_t>(0, file.size()));
        if (*rc::gen::arbitrary<bool>())
            file.resize(at);
        else
            file[at] ^= *rc::gen::inRange<uint8_t>(1, 255);
        for (const file_type to : {file_type::tga, file_type::kgf}) {
            const char* name = kind == 0 ? "in.tga" : kind == 1 ? "in.kgf" : "in.kaf";
            const run done =
                convert(type, to, name, file, options_of(levels, kgf_quality::none, 32, true));
            if (done.result.status == kgf_status::ok)
                continue;
            // Refused: named, and nothing written. Only an animation read
            // whole may have some frames written beside a frame refused by
            // itself (its name, or no level to write).
            RC_ASSERT(!done.recorded.findings.empty());
            kaf_animation animation;
            byte_reader reader = reader_of(file);
            const bool whole =
                type == file_type::kaf && decode_kaf(reader, animation) == kgf_status::ok;
            const bool frame_name =
                whole && std::any_of(done.recorded.findings.begin(), done.recorded.findings.end(),
                                     [](const finding& f) {
                                         return f.status == kgf_status::bad_frame_name ||
                                                f.status == kgf_status::frame_name_cut ||
                                                f.status == kgf_status::same_output ||
                                                f.status == kgf_status::frame_missing_data;
                                     });
            for (const finding& found : done.recorded.findings)
                RC_LOG() << status_message(found.status, found.subject.c_str()) << "\n";
            RC_ASSERT(frame_name || done.written.empty());
        }
    });
}

} // namespace
