#include "formats/kaf.h"

#include "formats/kaf_layout.h"
#include "formats/kgf.h"
#include "formats/levels.h"
#include "formats/mip.h"
#include "formats/name_endings.h"
#include "formats/rle.h"
#include "formats/text_fit.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Pixels of a frame's chain: level k holds w * h / 4^k pixels.
int64_t chain_pixels(int levels, int width, int height) {
    return layout_chain_bytes(level_layout::frame_pixels, levels, width, height) / 2;
}

// Run bytes from runs on until the counts reach wanted pixels or the runs
// end at limit; at least one record when one is there. Returns -1 when a
// record is cut short by limit.
int64_t scan_runs(const std::vector<uint8_t>& data, int64_t runs, int64_t limit, int64_t wanted) {
    int64_t k = 0;
    int64_t sum = 0;
    if (runs >= limit)
        return 0;
    do {
        if (runs + k + run_bytes > limit)
            return -1;
        sum += run_pixels(data[static_cast<size_t>(runs + k)]);
        k += run_bytes;
    } while (sum < wanted && runs + k < limit);
    return k;
}

// Bytes of the header that the split file gets: prefix, name, mip count and
// the frame's other header bytes as stored, but for its sides: the sizes
// every reader of frames takes (the low bytes), so that the file describes
// the pixels its runs hold.
void append_split_header(std::vector<uint8_t>& out, const char* name, int mip_count,
                         const uint8_t* frame_header) {
    out.insert(out.end(), kgf_prefix, kgf_prefix + lead_bytes);
    out.insert(out.end(), name, name + std::strlen(name) + 1);
    out.push_back(static_cast<uint8_t>(mip_count));
    const size_t at = out.size();
    out.insert(out.end(), frame_header + 1, frame_header + kgf_fixed_header_bytes);
    out[at + 10] = 0; // the high bytes of width and height
    out[at + 12] = 0;
}

// The frame's header with the given mip count and its first runs as stored,
// up to the pixels of that many of its own levels.
void copy_frame(const std::vector<uint8_t>& data, const kaf_frame& frame, const char* name,
                int mip_count, std::vector<uint8_t>& out) {
    append_split_header(out, name, mip_count, data.data() + frame.header);
    const int64_t wanted =
        chain_pixels(std::min(mip_count, frame.mip_count), frame.width, frame.height);
    const int64_t length = std::max<int64_t>(scan_runs(data, frame.runs, frame.end, wanted), 0);
    out.insert(out.end(), data.begin() + frame.runs, data.begin() + frame.runs + length);
}

void report_unwritten(std::vector<int32_t>* unwritten, int32_t index) {
    if (unwritten != nullptr)
        unwritten->push_back(index);
}

} // namespace

// A frame name must be a bare file name: nothing that leads out of the
// folder, and nothing that would drive a terminal when it is printed.
int is_plain_frame_name(const char* name) {
    return is_plain_file_name(name) && !has_control_character(name) ? 1 : 0;
}

std::string frame_file_name(const std::string& name, const char* ending) {
    if (std::strcmp(ending, "kgf") == 0 && has_ending(name, "kgf"))
        return name;
    return with_ending(name, "kgf", ending);
}

std::string stored_frame_name(const kaf_animation& animation, const kaf_frame& frame) {
    const int64_t name = frame.start + lead_bytes;
    const int64_t size = static_cast<int64_t>(animation.frame_data.size());
    if (name < 0 || name > size)
        return std::string();
    const int64_t length = std::min(frame.name_length, size - name);
    return std::string(reinterpret_cast<const char*>(animation.frame_data.data() + name),
                       static_cast<size_t>(length));
}

kgf_failure check_frame_name(const kaf_animation& animation, const kaf_frame& frame,
                             const char* name) {
    if (frame.name_length >= kaf_name_bytes)
        return kgf_failure{kgf_status::frame_name_cut, stored_frame_name(animation, frame)};
    if (!is_plain_frame_name(name))
        return kgf_failure{kgf_status::bad_frame_name, name};
    return kgf_failure{};
}

int64_t kaf_chain_pixels(int levels, int width, int height) {
    return chain_pixels(levels, width, height);
}

int64_t kaf_frame_shortfall(const std::vector<uint8_t>& data, const kaf_frame& frame) {
    const int64_t total = chain_pixels(frame.mip_count, frame.width, frame.height);
    const int64_t end = std::min<int64_t>(frame.end, static_cast<int64_t>(data.size()));
    if (end - frame.runs < run_bytes)
        return std::max<int64_t>(total, 1);
    int64_t sum = 0;
    for (int64_t k = frame.runs; k + run_bytes <= end; k += run_bytes)
        sum += run_pixels(data[static_cast<size_t>(k)]);
    return std::max<int64_t>(total - sum, 0);
}

bool locate_kaf_frame(const std::vector<uint8_t>& data, int64_t start, kaf_frame& frame) {
    const int64_t size = static_cast<int64_t>(data.size());
    frame = kaf_frame{};
    frame.start = start;
    const int64_t name = start + lead_bytes;
    if (start < 0 || name >= size)
        return false;
    const void* nul = std::memchr(data.data() + name, 0, static_cast<size_t>(size - name));
    if (nul == nullptr)
        return false;
    frame.name_length = static_cast<const uint8_t*>(nul) - (data.data() + name);
    frame.header = name + frame.name_length + 1;
    if (frame.header + kgf_fixed_header_bytes > size)
        return false;
    const uint8_t* header = data.data() + frame.header;
    frame.has_header = true;
    frame.mip_count = header[0];
    frame.width = header[10];
    frame.height = header[12];
    frame.runs = frame.header + kgf_fixed_header_bytes;
    const int64_t total = chain_pixels(frame.mip_count, frame.width, frame.height);
    const int64_t run_length = scan_runs(data, frame.runs, size, total);
    if (run_length < 0)
        return false;
    frame.end = frame.runs + run_length;
    return true;
}

kgf_status decode_kaf(byte_reader& reader, kaf_animation& animation) {
    animation = kaf_animation{};
    uint8_t header[long_header_bytes] = {};
    const size_t got = read_bytes(reader, header, sizeof header);
    if (reader.failed)
        return kgf_status::io_error;
    const bool short_form = got > 0 && header[0] == short_form_marker;
    const size_t header_bytes = short_form ? short_header_bytes : long_header_bytes;
    const size_t count_at = short_form ? 2 : 0;
    if (got <= count_at)
        return kgf_status::missing_data;
    animation.frame_count = header[count_at];

    // The frame data follows the header; what the long form read beyond a
    // short header belongs to it.
    const size_t early = got > header_bytes ? got - header_bytes : 0;
    const int64_t rest =
        std::min<int64_t>(static_cast<int64_t>(early) + bytes_left(reader), largest_frame_data);
    if (try_allocate_block(animation.frame_data, rest) != kgf_status::ok)
        return kgf_status::no_memory;
    const size_t kept = std::min<size_t>(early, animation.frame_data.size());
    if (kept > 0)
        std::memcpy(animation.frame_data.data(), header + header_bytes, kept);
    const size_t more = animation.frame_data.size() > kept
                            ? read_bytes(reader, animation.frame_data.data() + kept,
                                         animation.frame_data.size() - kept)
                            : 0;
    if (reader.failed)
        return kgf_status::io_error;
    animation.frame_data.resize(kept + more);

    animation.frame_sizes.assign(static_cast<size_t>(animation.frame_count), 0);
    animation.frame_names.assign(static_cast<size_t>(animation.frame_count) * kaf_name_bytes, '\0');
    int64_t p = 0;
    size_t name_offset = 0;
    for (int32_t i = 0; i < animation.frame_count; ++i) {
        kaf_frame frame;
        const bool whole = locate_kaf_frame(animation.frame_data, p, frame);
        if (frame.has_header) {
            if (!animation.any_header)
                animation.first_frame = frame;
            else if (frame.width != animation.first_frame.width ||
                     frame.height != animation.first_frame.height)
                animation.sizes_differ = true;
            animation.any_header = true;
            animation.last_frame = frame;
        }
        // A frame cut short, in its record or in its runs, is not read at
        // all: a reader that completed it would show pixels nobody stored.
        if (!whole || kaf_frame_shortfall(animation.frame_data, frame) > 0) {
            if (frame.header == 0)
                return kgf_status::missing_data; // its name is not whole either
            animation.short_frame = stored_frame_name(animation, frame);
            return kgf_status::frame_missing_data;
        }
        // Longer names are cut to fit their slot, between characters; the
        // record keeps its length.
        const char* name =
            reinterpret_cast<const char*>(animation.frame_data.data() + frame.start + lead_bytes);
        const size_t name_kept = fitting_length(
            std::string_view(name, static_cast<size_t>(frame.name_length)), kaf_name_bytes - 1);
        std::memcpy(animation.frame_names.data() + name_offset, name, name_kept);
        animation.frame_names[name_offset + name_kept] = '\0';
        name_offset += name_kept + 1;
        animation.frame_sizes[static_cast<size_t>(i)] =
            static_cast<int32_t>(frame.end - frame.start);
        p = frame.end;
    }
    return kgf_status::ok;
}

kgf_status decode_kaf_frame(const std::vector<uint8_t>& data, const kaf_frame& frame,
                            int64_t runs_end, image_buffer& image, row_order rows) {
    init_image_buffer(image, 16);
    image.width = static_cast<int16_t>(frame.width);
    image.height = static_cast<int16_t>(frame.height);
    const int64_t bytes = 2 * static_cast<int64_t>(frame.width) * frame.height;
    const kgf_status allocated = try_allocate_block(image.data, bytes);
    if (allocated != kgf_status::ok)
        return allocated;
    const int64_t end =
        std::clamp<int64_t>(runs_end, frame.runs, static_cast<int64_t>(data.size()));
    const run_decoding result =
        decode_runs(data.data() + frame.runs, static_cast<size_t>(end - frame.runs),
                    image.data.data(), bytes, 0, bytes);
    if (rows == row_order::bottom_first)
        reverse_rows(image.data.data(), static_cast<size_t>(frame.width) * 2, frame.height);
    return result.complete ? kgf_status::ok : kgf_status::missing_data;
}

kgf_failure make_frame_kgf(const std::vector<uint8_t>& data, const kaf_frame& frame,
                           const char* name, int levels, kgf_quality quality,
                           std::vector<uint8_t>& out) {
    // A KGF holds its first level however few are asked: readers read it.
    levels = std::max(levels, 1);
    // A frame that declares no level holds no first level to write.
    if (frame.mip_count < 1 && frame.width > 0 && frame.height > 0)
        return kgf_failure{kgf_status::frame_missing_data, name};
    if (levels < 2 && quality == kgf_quality::none) {
        copy_frame(data, frame, name, levels, out);
        return kgf_failure{};
    }
    // The frame's first level with a chain of that many levels built from
    // it; a first level that is not whole is copied as one level instead.
    image_buffer first;
    const kgf_status decoded =
        decode_kaf_frame(data, frame, frame.end, first, row_order::top_first);
    if (decoded != kgf_status::ok) {
        if (decoded == kgf_status::no_memory)
            return kgf_failure{decoded}; // not a short frame
        copy_frame(data, frame, name, 1, out);
        return kgf_failure{};
    }
    image_buffer chain;
    init_image_buffer(chain, 16);
    if (make_kgf_chain(chain, first, levels, quality) != kgf_status::ok)
        return kgf_failure{kgf_status::no_memory};
    release_image_data(first);
    append_split_header(out, name, levels, data.data() + frame.header);
    encode_runs(out, chain.data.data(), mip_chain_bytes(chain),
                chain_level_ends(chain.num_mipmaps, chain.width, chain.height, chain.bpp));
    return kgf_failure{};
}

kgf_status decode_kaf_chain(const std::vector<uint8_t>& data, const kaf_frame& frame,
                            kgf_levels levels, image_buffer& image) {
    init_image_buffer(image, 16);
    const int count = levels == kgf_levels::from_file ? std::max(1, frame.mip_count) : 1;
    image.num_mipmaps = static_cast<int16_t>(count);
    image.width = static_cast<int16_t>(frame.width);
    image.height = static_cast<int16_t>(frame.height);
    std::vector<uint8_t> stored;
    const int64_t bytes =
        layout_chain_bytes(level_layout::frame_pixels, count, frame.width, frame.height);
    if (try_allocate_block(stored, bytes) != kgf_status::ok)
        return kgf_status::no_memory;
    const int64_t end =
        std::clamp<int64_t>(frame.end, frame.runs, static_cast<int64_t>(data.size()));
    const run_decoding result =
        decode_runs(data.data() + frame.runs, static_cast<size_t>(end - frame.runs), stored.data(),
                    bytes, 0, bytes);
    if (!result.complete)
        return kgf_status::missing_data;
    move_levels(stored.data(), stored.size(), level_layout::frame_pixels, level_layout::chain_bytes,
                count, frame.width, frame.height, image.data);
    return kgf_status::ok;
}

kgf_failure kaf_reading_failure(const kaf_animation& animation, kgf_status status,
                                const char* file) {
    return kgf_failure{status,
                       status == kgf_status::frame_missing_data ? animation.short_frame : file};
}

failure_list split_frames(const kaf_animation& animation, const char* folder, int levels,
                          kgf_quality quality, output_journal* journal,
                          std::vector<int32_t>* unwritten, const report_sink& sink,
                          output_guard* guard, long_name_answer long_names) {
    output_guard own_guard;
    if (guard == nullptr)
        guard = &own_guard;
    failure_list failures;
    for_each_kaf_frame(animation, [&](int32_t i, const kaf_frame& frame, const char* name) {
        const std::string file_name = frame_file_name(name, "kgf");
        const std::string path = std::string(folder) + file_name;
        kgf_failure failure = check_frame_name(animation, frame, name);
        // A name declined is told by the question and its answer.
        bool told = false;
        if (failure.status == kgf_status::ok && !kgf_name_accepted(file_name, long_names, sink)) {
            failure = kgf_failure{kgf_status::conversion_terminated};
            told = true;
        }
        if (failure.status == kgf_status::ok && path.size() + 1 > static_cast<size_t>(path_bytes))
            failure = kgf_failure{kgf_status::path_too_long, file_name};
        else if (failure.status == kgf_status::ok)
            failure = kgf_failure{claim_output(*guard, path), path};
        std::vector<uint8_t> bytes;
        if (failure.status == kgf_status::ok)
            failure = make_frame_kgf(animation.frame_data, frame, file_name.c_str(), levels,
                                     quality, bytes);
        if (failure.status == kgf_status::ok)
            failure =
                deliver_output(journal, folder, path, std::move(bytes), guard->inputs, failures);
        if (failure.status == kgf_status::ok)
            return;
        if (told)
            failures.add_told(failure.status);
        else
            failures.add(std::move(failure));
        report_unwritten(unwritten, i);
    });
    return failures;
}
