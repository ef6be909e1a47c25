#include "formats/kaf_pack.h"

#include "formats/bytes.h"
#include "formats/kaf_layout.h"
#include "formats/levels.h"
#include "formats/limits.h"
#include "formats/mip.h"
#include "formats/name_endings.h"
#include "formats/png.h"
#include "formats/rle.h"
#include "formats/tga_to_kgf.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names that one folder cannot hold both of where case does not count.
bool same_in_any_case(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

// A frame of the original, as the walker finds it.
struct original_frame {
    kaf_frame frame;
    std::string slot_name;  // as the splitter names its file: cut to 35 characters
    std::string whole_name; // as stored
    int given = -1;         // the given frame matched with it
};

std::vector<original_frame> original_frames(const kaf_original* original) {
    std::vector<original_frame> frames;
    if (original == nullptr)
        return frames;
    const kaf_animation& animation = original->animation;
    for_each_kaf_frame(animation, [&](int32_t, const kaf_frame& frame, const char* name) {
        original_frame entry;
        entry.frame = frame;
        entry.slot_name = name;
        entry.whole_name = stored_frame_name(animation, frame);
        frames.push_back(std::move(entry));
    });
    return frames;
}

// The header for count frames: the original's form and bytes where it has
// them, its count put in; the short form for 127, which the long form
// cannot count.
std::vector<uint8_t> animation_header(int count, const kaf_original* original) {
    std::vector<uint8_t> lent;
    if (original != nullptr)
        lent = original->header;
    const bool short_original = !lent.empty() && lent[0] == short_form_marker;
    const bool short_form = short_original || count == short_form_marker;
    lent.resize(long_header_bytes, 0);
    std::vector<uint8_t> header(
        lent.begin(), lent.begin() + static_cast<std::ptrdiff_t>(short_form ? short_header_bytes
                                                                            : long_header_bytes));
    if (short_form) {
        header[0] = short_form_marker;
        header[2] = static_cast<uint8_t>(count);
    } else {
        header[0] = static_cast<uint8_t>(count);
    }
    return header;
}

// Appends one frame record encoded from its first level: levels built as a
// KGF's are, laid out as a frame counts them (level k holds w * h / 4^k
// pixels, whole pixels only), so that every reader finds where the frame
// ends. False when the chain's block cannot be had.
bool append_encoded_frame(std::vector<uint8_t>& out, const uint8_t* lead, const std::string& name,
                          const image_buffer& picture, int levels, kgf_quality quality) {
    out.insert(out.end(), lead, lead + lead_bytes);
    out.insert(out.end(), name.begin(), name.end());
    out.push_back(0);
    out.push_back(static_cast<uint8_t>(levels));
    out.insert(out.end(), 9, uint8_t{0});
    append_u16(out, static_cast<uint16_t>(picture.width));
    append_u16(out, static_cast<uint16_t>(picture.height));
    append_u16(out, kgf_format_field);

    // The chain as a KGF of the picture holds it, then each level moved to
    // where a frame counts it: the two agree but for sides whose levels end
    // in half a pixel.
    image_buffer chain;
    init_image_buffer(chain, 16);
    if (make_kgf_chain(chain, picture, levels, quality) != kgf_status::ok)
        return false;
    std::vector<uint8_t> levels_data;
    move_levels(chain.data.data(), chain.data.size(), level_layout::chain_bytes,
                level_layout::frame_pixels, levels, picture.width, picture.height, levels_data);
    const std::vector<int64_t> ends =
        layout_level_ends(level_layout::frame_pixels, levels, picture.width, picture.height);
    // The first level is the picture as given, whatever a quality option
    // would make of a 16-bit one.
    std::copy(picture.data.begin(), picture.data.begin() + static_cast<std::ptrdiff_t>(ends[0]),
              levels_data.begin());
    encode_runs(out, levels_data.data(), static_cast<int64_t>(levels_data.size()), ends);
    return true;
}

// Appends a frame of the original as stored: the parse took only whole
// frames.
void append_stored_frame(std::vector<uint8_t>& out, const kaf_animation& animation,
                         const kaf_frame& frame) {
    const std::vector<uint8_t>& data = animation.frame_data;
    out.insert(out.end(), data.begin() + frame.start, data.begin() + frame.end);
}

// The frame's first level as stored, or an empty block when it is not whole.
image_buffer stored_first_level(const kaf_animation& animation, const kaf_frame& frame) {
    image_buffer stored;
    if (decode_kaf_frame(animation.frame_data, frame, frame.end, stored, row_order::top_first) !=
        kgf_status::ok)
        release_image_data(stored);
    return stored;
}

// The given frame's first level as the user gave it, before any quality
// option.
const image_buffer& as_given(const pack_frame& given) {
    return given.plain.data.empty() ? given.picture : given.plain;
}

// True when the frame's first level as stored is the picture the user gave:
// every pixel equal, the alpha bit only where the file can carry it.
bool frame_shows(const image_buffer& stored, const pack_frame& given) {
    const image_buffer& picture = as_given(given);
    if (stored.data.empty() || stored.width != picture.width || stored.height != picture.height ||
        stored.data.size() > picture.data.size())
        return false;
    const uint16_t compared = given.carries_alpha ? 0xFFFF : 0x7FFF;
    for (size_t i = 0; i + 1 < stored.data.size(); i += 2)
        if ((read_u16(stored.data.data() + i) & compared) !=
            (read_u16(picture.data.data() + i) & compared))
            return false;
    return true;
}

bool has_transparent_pixel(const image_buffer& stored) {
    for (size_t i = 0; i + 1 < stored.data.size(); i += 2)
        if ((read_u16(stored.data.data() + i) & 0x8000) == 0)
            return true;
    return false;
}

std::string size_text(int width, int height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

// A level count a frame's header can hold, at least one: a frame of none
// would still be read with one run.
int frame_levels(int levels) {
    return std::clamp(levels, 1, 255);
}

kgf_status check_frame(const pack_frame& frame) {
    if (!is_plain_frame_name(frame.name.c_str()) || frame.name.find('\0') != std::string::npos)
        return kgf_status::bad_frame_name;
    const image_buffer& picture = frame.picture;
    if (picture.bpp != 16 || picture.width < 1 || picture.height < 1 ||
        picture.width > largest_frame_side || picture.height > largest_frame_side ||
        picture.data.size() < static_cast<size_t>(picture.width) * picture.height * 2)
        return kgf_status::bad_frame_size;
    return kgf_status::ok;
}

// A refusal of the whole pack: the status, the frame's file it concerns,
// and the text for the status's "%s" when that is not the file alone.
struct refusal {
    kgf_status status = kgf_status::ok;
    std::string subject;
    std::string shown;
};

// One frame of the animation written: a given frame or a kept one of the
// original, by index.
struct order_entry {
    int given = -1;
    int kept = -1;
};

// What the phases hand on: the original's frames, the original frame each
// given frame matched (-1 for none), and the order of the frames written.
struct pack_plan {
    std::vector<original_frame> originals;
    std::vector<int> matched;
    std::vector<order_entry> order;
};

// Check and match: every given frame is sound and named once, and takes
// the first frame of the original of its name.
refusal check_and_match(const std::vector<pack_frame>& frames, const kaf_original* original,
                        pack_plan& plan) {
    if (frames.size() > static_cast<size_t>(largest_frame_count))
        return refusal{kgf_status::bad_frame_count, std::string(), std::string()};
    plan.originals = original_frames(original);
    plan.matched.assign(frames.size(), -1);
    for (size_t i = 0; i < frames.size(); ++i) {
        const kgf_status checked = check_frame(frames[i]);
        if (checked != kgf_status::ok)
            return refusal{checked, frames[i].file, std::string()};
        for (size_t j = 0; j < i; ++j)
            if (same_in_any_case(frames[j].name, frames[i].name))
                return refusal{kgf_status::frame_name_taken, frames[i].file, std::string()};
        for (size_t j = 0; j < plan.originals.size(); ++j) {
            original_frame& candidate = plan.originals[j];
            if (candidate.given < 0 && (names_same_frame(frames[i].name, candidate.slot_name) ||
                                        names_same_frame(frames[i].name, candidate.whole_name))) {
                candidate.given = static_cast<int>(i);
                plan.matched[i] = static_cast<int>(j);
                break;
            }
        }
        // A name that does not fit its 36-byte slot could not be split
        // again: the splitter refuses it.
        if (plan.matched[i] < 0 && frames[i].name.size() + 1 > static_cast<size_t>(kaf_name_bytes))
            return refusal{kgf_status::frame_name_too_long, frames[i].file, std::string()};
    }
    return refusal{};
}

// Order: the given frames as given, each frame of the original not given
// right after the frame that came before it in the original; a count the
// header can hold, and one box for every frame, since the game plays them
// all in the first's.
refusal order_frames(const std::vector<pack_frame>& frames, pack_plan& plan) {
    const std::vector<original_frame>& originals = plan.originals;
    std::vector<order_entry> leading;
    std::vector<std::vector<order_entry>> after(frames.size());
    std::vector<order_entry>* group = &leading;
    for (size_t j = 0; j < originals.size(); ++j) {
        if (originals[j].given >= 0) {
            group = &after[static_cast<size_t>(originals[j].given)];
            continue;
        }
        group->push_back(order_entry{-1, static_cast<int>(j)});
    }
    std::vector<order_entry>& order = plan.order;
    order = leading;
    for (size_t i = 0; i < frames.size(); ++i) {
        order.push_back(order_entry{static_cast<int>(i), -1});
        order.insert(order.end(), after[i].begin(), after[i].end());
    }
    const int count = static_cast<int>(order.size());
    if (count < 1 || count > largest_frame_count)
        return refusal{kgf_status::bad_frame_count, std::string(), std::string()};

    auto size_of = [&](const order_entry& e) {
        if (e.kept >= 0) {
            const kaf_frame& frame = originals[static_cast<size_t>(e.kept)].frame;
            return std::make_pair(frame.width, frame.height);
        }
        const image_buffer& picture = frames[static_cast<size_t>(e.given)].picture;
        return std::make_pair(int{picture.width}, int{picture.height});
    };
    bool original_mixes = false;
    for (const original_frame& frame : originals)
        original_mixes = original_mixes || frame.frame.width != originals[0].frame.width ||
                         frame.frame.height != originals[0].frame.height;
    if (original_mixes)
        return refusal{};
    const auto first = size_of(order[0]);
    for (const order_entry& e : order) {
        const auto size = size_of(e);
        if (size == first)
            continue;
        // A kept frame differs only from a first frame that was given.
        const order_entry& named = e.given >= 0 ? e : order[0];
        const auto named_size = size_of(named);
        const auto other = e.given >= 0 ? first : size;
        const std::string& file = frames[static_cast<size_t>(named.given)].file;
        return refusal{kgf_status::frame_size_differs, file,
                       file + ": " + size_text(named_size.first, named_size.second) + ", the " +
                           (e.given >= 0 ? "first frame " : "original's frames ") +
                           size_text(other.first, other.second)};
    }
    return refusal{};
}

// Write: the header, then each frame in order, copied as stored where the
// original has it unchanged and encoded from its picture where not.
refusal write_animation(const std::vector<pack_frame>& frames, const kaf_original* original,
                        const pack_options& options, const pack_plan& plan,
                        std::vector<uint8_t>& out, pack_result& result) {
    const std::vector<original_frame>& originals = plan.originals;
    out = animation_header(static_cast<int>(plan.order.size()), original);
    const int default_levels = frame_levels(options.default_levels);
    for (size_t p = 0; p < plan.order.size(); ++p) {
        const order_entry& e = plan.order[p];
        if (e.kept >= 0) {
            append_stored_frame(out, original->animation,
                                originals[static_cast<size_t>(e.kept)].frame);
            ++result.summary.kept;
            continue;
        }
        const pack_frame& given = frames[static_cast<size_t>(e.given)];
        const int j = plan.matched[static_cast<size_t>(e.given)];
        if (j >= 0) {
            const original_frame& like = originals[static_cast<size_t>(j)];
            const auto& data = original->animation.frame_data;
            // Unchanged is judged on what the user gave, before any quality
            // option rewrote it.
            const image_buffer stored = stored_first_level(original->animation, like.frame);
            if (frame_shows(stored, given)) {
                append_stored_frame(out, original->animation, like.frame);
                ++result.summary.copied;
                continue;
            }
            if (!given.carries_alpha && has_transparent_pixel(stored))
                result.made_opaque.push_back(given.file);
            const int levels = options.levels > 0         ? options.levels
                               : like.frame.mip_count > 0 ? like.frame.mip_count
                                                          : default_levels;
            if (!append_encoded_frame(out, data.data() + like.frame.start, like.whole_name,
                                      given.picture, frame_levels(levels), options.quality))
                return refusal{kgf_status::no_memory, given.file, std::string()};
        } else {
            // A new frame: lead bytes lent by the original's frame at its
            // place, or its last one; a KGF's where there is no original.
            const uint8_t* lead = kgf_prefix;
            if (!originals.empty()) {
                const size_t lender = std::min(p, originals.size() - 1);
                lead = original->animation.frame_data.data() + originals[lender].frame.start;
            }
            const int levels = options.levels > 0 ? options.levels : default_levels;
            if (!append_encoded_frame(out, lead, given.name, given.picture, frame_levels(levels),
                                      options.quality))
                return refusal{kgf_status::no_memory, given.file, std::string()};
            if (original != nullptr)
                result.summary.added.push_back(given.file);
        }
        ++result.summary.encoded;
    }
    result.summary.frames = static_cast<int>(plan.order.size());
    return refusal{};
}

} // namespace

std::string frame_name_of_file(const std::string& file_name, frame_format format) {
    if (format == frame_format::kgf)
        return file_name;
    return with_ending(file_name, format == frame_format::png ? "png" : "tga", "kgf");
}

bool names_same_frame(const std::string& name, const std::string& frame_name) {
    const std::string split = frame_file_name(frame_name, "kgf");
    if (name.size() != split.size())
        return false;
    const size_t stem = name.size() >= 3 ? name.size() - 3 : 0;
    return name.compare(0, stem, split, 0, stem) == 0 &&
           same_in_any_case(name.substr(stem), split.substr(stem));
}

kgf_status decode_frame_picture(byte_reader& reader, frame_format format, kgf_quality quality,
                                pack_frame& frame, kgf_reading& reading) {
    reading = kgf_reading{};
    image_buffer& picture = frame.picture;
    init_image_buffer(picture, 16);
    init_image_buffer(frame.plain, 16);
    frame.carries_alpha = true;
    if (format == frame_format::kgf)
        return decode_kgf(reader, picture, kgf_levels::first_only, row_order::top_first, reading);
    // Frames are small: the picture is held at its own depth, so that it
    // can be converted twice, under the quality options and without.
    image_buffer source;
    init_image_buffer(source, 32);
    if (format == frame_format::png) {
        const kgf_status status = decode_png(reader, source, row_order::top_first);
        if (status != kgf_status::ok)
            return status;
        if (source.width > largest_frame_side || source.height > largest_frame_side)
            return kgf_status::bad_frame_size;
    } else {
        tga_header header;
        kgf_status status = read_tga_header(reader, header);
        if (status != kgf_status::ok)
            return status;
        if (header.width < 1 || header.height < 1 || header.width > largest_frame_side ||
            header.height > largest_frame_side)
            return kgf_status::bad_frame_size;
        status = decode_tga_after_header(reader, header, source, row_order::top_first);
        if (status != kgf_status::ok)
            return status;
    }
    frame.carries_alpha = source.bpp == 32;
    if (make_kgf_chain(picture, source, 1, quality) != kgf_status::ok)
        return kgf_status::no_memory;
    if (quality == kgf_quality::none)
        return kgf_status::ok;
    if (make_kgf_chain(frame.plain, source, 1) != kgf_status::ok)
        return kgf_status::no_memory;
    if (frame.plain.data == picture.data)
        release_image_data(frame.plain);
    return kgf_status::ok;
}

kgf_status decode_kaf_original(const uint8_t* bytes, size_t size, kaf_original& original) {
    original = kaf_original{};
    byte_reader reader = memory_reader(bytes, size);
    const kgf_status status = decode_kaf(reader, original.animation);
    if (status != kgf_status::ok)
        return status;
    const size_t form =
        size > 0 && bytes[0] == short_form_marker ? short_header_bytes : long_header_bytes;
    original.header.assign(bytes, bytes + std::min(size, form));
    return kgf_status::ok;
}

pack_result pack_kaf(const std::vector<pack_frame>& frames, const kaf_original* original,
                     const pack_options& options, std::vector<uint8_t>& out) {
    pack_result result;
    out.clear();
    pack_plan plan;
    refusal refused = check_and_match(frames, original, plan);
    if (refused.status == kgf_status::ok)
        refused = order_frames(frames, plan);
    if (refused.status == kgf_status::ok)
        refused = write_animation(frames, original, options, plan, out, result);
    if (refused.status != kgf_status::ok) {
        // A refusal leaves nothing of a half-done pack behind.
        result = pack_result{};
        result.status = refused.status;
        result.subject = std::move(refused.subject);
        result.shown = std::move(refused.shown);
        out.clear();
    }
    return result;
}
