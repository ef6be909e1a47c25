#include "formats/kaf_pack.h"

#include "formats/bytes.h"
#include "formats/limits.h"
#include "formats/mip.h"
#include "formats/rle.h"
#include "formats/tga_to_kgf.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t short_form_marker = 127;
constexpr size_t short_header_bytes = 7;
constexpr size_t long_header_bytes = 17;
constexpr size_t lead_bytes = 3;

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
        entry.whole_name.assign(
            reinterpret_cast<const char*>(animation.frame_data.data() + frame.start + lead_bytes),
            static_cast<size_t>(frame.name_length));
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
    if (!make_kgf_chain(chain, picture, levels, quality))
        return false;
    std::vector<uint8_t> levels_data;
    std::vector<int64_t> ends;
    for (int k = 0; k < levels; ++k) {
        const int64_t pixels = kaf_chain_pixels(k + 1, picture.width, picture.height) -
                               kaf_chain_pixels(k, picture.width, picture.height);
        if (pixels <= 0)
            break;
        const int64_t from = mip_chain_bytes(k, picture.width, picture.height, 16);
        levels_data.insert(levels_data.end(), chain.data.begin() + from,
                           chain.data.begin() + from + 2 * pixels);
        ends.push_back(static_cast<int64_t>(levels_data.size()));
    }
    // The first level is the picture as given, whatever a quality option
    // would make of a 16-bit one.
    std::copy(picture.data.begin(), picture.data.begin() + static_cast<std::ptrdiff_t>(ends[0]),
              levels_data.begin());
    encode_runs(out, levels_data.data(), static_cast<int64_t>(levels_data.size()), ends);
    return true;
}

// Appends a frame of the original as stored. A last frame cut short by the
// end of its file is completed with transparent black runs, level by level,
// so that the frame after it is still found where it starts.
void append_stored_frame(std::vector<uint8_t>& out, const kaf_animation& animation,
                         const kaf_frame& frame) {
    const std::vector<uint8_t>& data = animation.frame_data;
    out.insert(out.end(), data.begin() + frame.start, data.begin() + frame.end);
    int64_t missing = kaf_frame_shortfall(data, frame);
    const int64_t total = kaf_chain_pixels(frame.mip_count, frame.width, frame.height);
    int64_t at = total - missing;
    for (int level = 1; missing > 0; ++level) {
        // A frame of no pixels takes one run all the same.
        const int64_t level_end =
            total > 0 ? kaf_chain_pixels(level, frame.width, frame.height) : at + 1;
        while (at < level_end && missing > 0) {
            const int64_t count = std::min<int64_t>(
                {level_end - at, missing, static_cast<int64_t>(longest_written_run)});
            out.push_back(static_cast<uint8_t>(count == 1 ? 0 : count));
            out.push_back(0);
            out.push_back(0);
            at += count;
            missing -= count;
        }
    }
}

// True when the frame's first level as stored is the picture.
bool frame_shows(const kaf_animation& animation, const kaf_frame& frame,
                 const image_buffer& picture) {
    if (frame.width != picture.width || frame.height != picture.height)
        return false;
    image_buffer stored;
    return decode_kaf_frame(animation.frame_data, frame, frame.end, stored, row_order::top_first) &&
           stored.data.size() <= picture.data.size() &&
           std::equal(stored.data.begin(), stored.data.end(), picture.data.begin());
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

} // namespace

std::string frame_name_of_file(const std::string& file_name, frame_format format) {
    if (format == frame_format::kgf || file_name.size() < 3)
        return file_name;
    return file_name.substr(0, file_name.size() - 3) + "kgf";
}

bool names_same_frame(const std::string& name, const std::string& frame_name) {
    if (name.size() != frame_name.size())
        return false;
    const size_t stem = name.size() >= 3 ? name.size() - 3 : 0;
    return name.compare(0, stem, frame_name, 0, stem) == 0 &&
           same_in_any_case(name.substr(stem), frame_name.substr(stem));
}

kgf_status decode_frame_picture(byte_reader& reader, frame_format format, kgf_quality quality,
                                image_buffer& picture, kgf_reading& reading) {
    reading = kgf_reading{};
    init_image_buffer(picture, 16);
    if (format == frame_format::kgf)
        return decode_kgf(reader, picture, kgf_levels::first_only, row_order::top_first, reading);
    tga_header header;
    kgf_status status = read_tga_header(reader, header);
    if (status != kgf_status::ok)
        return status;
    if (header.width < 1 || header.height < 1 || header.width > largest_frame_side ||
        header.height > largest_frame_side)
        return kgf_status::bad_frame_size;
    image_buffer source;
    bool direct = false;
    status = decode_tga_for_kgf(reader, header, 1, quality, picture, source, direct);
    if (status != kgf_status::ok || direct)
        return status;
    return make_kgf_chain(picture, source, 1, quality) ? kgf_status::ok : kgf_status::no_memory;
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
    auto refuse = [&](kgf_status status, const std::string& subject) {
        result.status = status;
        result.subject = subject;
        result.summary = pack_summary{};
        out.clear();
        return result;
    };

    if (frames.size() > static_cast<size_t>(largest_frame_count))
        return refuse(kgf_status::bad_frame_count, std::string());
    // Each given frame takes the first frame of the original of its name.
    std::vector<original_frame> originals = original_frames(original);
    std::vector<int> matched(frames.size(), -1);
    for (size_t i = 0; i < frames.size(); ++i) {
        const kgf_status checked = check_frame(frames[i]);
        if (checked != kgf_status::ok)
            return refuse(checked, frames[i].file);
        for (size_t j = 0; j < i; ++j)
            if (same_in_any_case(frames[j].name, frames[i].name))
                return refuse(kgf_status::frame_name_taken, frames[i].file);
        for (size_t j = 0; j < originals.size(); ++j) {
            original_frame& candidate = originals[j];
            if (candidate.given < 0 && (names_same_frame(frames[i].name, candidate.slot_name) ||
                                        names_same_frame(frames[i].name, candidate.whole_name))) {
                candidate.given = static_cast<int>(i);
                matched[i] = static_cast<int>(j);
                break;
            }
        }
        if (matched[i] < 0 && options.long_names == long_frame_names::refused &&
            frames[i].name.size() + 1 > static_cast<size_t>(game_name_bytes))
            return refuse(kgf_status::frame_name_too_long, frames[i].file);
    }

    // The order: the given frames as given, each frame of the original not
    // given right after the frame that came before it in the original.
    struct entry {
        int given = -1;
        int kept = -1;
    };
    std::vector<entry> leading;
    std::vector<std::vector<entry>> after(frames.size());
    std::vector<entry>* group = &leading;
    for (size_t j = 0; j < originals.size(); ++j) {
        if (originals[j].given >= 0) {
            group = &after[static_cast<size_t>(originals[j].given)];
            continue;
        }
        group->push_back(entry{-1, static_cast<int>(j)});
    }
    std::vector<entry> order = leading;
    for (size_t i = 0; i < frames.size(); ++i) {
        order.push_back(entry{static_cast<int>(i), -1});
        order.insert(order.end(), after[i].begin(), after[i].end());
    }
    const int count = static_cast<int>(order.size());
    if (count < 1 || count > largest_frame_count)
        return refuse(kgf_status::bad_frame_count, std::string());

    out = animation_header(count, original);
    const int default_levels = frame_levels(options.default_levels);
    for (size_t p = 0; p < order.size(); ++p) {
        const entry& e = order[p];
        if (e.kept >= 0) {
            append_stored_frame(out, original->animation,
                                originals[static_cast<size_t>(e.kept)].frame);
            ++result.summary.kept;
            continue;
        }
        const pack_frame& given = frames[static_cast<size_t>(e.given)];
        const int j = matched[static_cast<size_t>(e.given)];
        if (j >= 0) {
            const original_frame& like = originals[static_cast<size_t>(j)];
            const auto& data = original->animation.frame_data;
            if (frame_shows(original->animation, like.frame, given.picture)) {
                append_stored_frame(out, original->animation, like.frame);
                ++result.summary.copied;
                continue;
            }
            const int levels = options.levels > 0         ? options.levels
                               : like.frame.mip_count > 0 ? like.frame.mip_count
                                                          : default_levels;
            if (!append_encoded_frame(out, data.data() + like.frame.start, like.whole_name,
                                      given.picture, frame_levels(levels), options.quality))
                return refuse(kgf_status::no_memory, given.file);
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
                return refuse(kgf_status::no_memory, given.file);
        }
        ++result.summary.encoded;
    }
    result.summary.frames = count;
    return result;
}
