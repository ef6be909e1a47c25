#include "speed_frame.h"

#include "speed_inputs.h"
#include "speed_stats.h"

#include "formats/image_buffer.h"
#include "formats/kaf.h"
#include "formats/kgf.h"
#include "formats/mip.h"

#include <cstring>
#include <ctime>
#include <vector>

namespace {

double now_microseconds() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// The photo's first level in ARGB1555, as a frame holds it.
image_buffer frame_picture(int side) {
    image_buffer picture;
    init_image_buffer(picture, 16);
    picture.width = static_cast<int16_t>(side);
    picture.height = static_cast<int16_t>(side);
    allocate_image_data(picture, mip_chain_bytes(picture));
    const photo source = make_photo(side, side, 4242);
    std::vector<uint8_t> row(4 * static_cast<size_t>(side));
    for (int y = 0; y < side; ++y) {
        photo_row(source, y, row.data());
        for (int x = 0; x < side; ++x) {
            const uint8_t* p = row.data() + 4 * x;
            const unsigned value = (p[3] >= 128 ? 0x8000u : 0u) | ((p[2] >> 3) << 10) |
                                   ((p[1] >> 3) << 5) | (p[0] >> 3);
            uint8_t* out = picture.data.data() + 2 * (static_cast<size_t>(y) * side + x);
            out[0] = static_cast<uint8_t>(value & 0xFF);
            out[1] = static_cast<uint8_t>(value >> 8);
        }
    }
    return picture;
}

} // namespace

frame_timing time_frame_decode(int side, int levels) {
    frame_timing timing;
    timing.side = side;
    timing.levels = levels;
    // A frame record is laid out as a KGF file: lead bytes, name, header, runs.
    const image_buffer first = frame_picture(side);
    image_buffer chain;
    init_image_buffer(chain, 16);
    std::vector<uint8_t> data;
    if (make_kgf_chain(chain, first, levels) != kgf_status::ok ||
        encode_kgf(data, "frame.kgf", chain, mip_chain_bytes(chain)) != kgf_status::ok) {
        timing.failure = "the frame could not be built";
        return timing;
    }

    kaf_frame frame;
    image_buffer decoded;
    const size_t level_bytes = 2 * static_cast<size_t>(side) * side;
    if (!locate_kaf_frame(data, 0, frame) ||
        decode_kaf_frame(data, frame, static_cast<int64_t>(data.size()), decoded,
                         row_order::top_first) != kgf_status::ok ||
        decoded.data.size() < level_bytes ||
        std::memcmp(decoded.data.data(), first.data.data(), level_bytes) != 0) {
        timing.failure = "the frame did not decode to its own pixels";
        return timing;
    }

    timing.batches = 15;
    timing.frames_per_batch = 1000;
    std::vector<double> per_frame;
    for (int batch = 0; batch < timing.batches; ++batch) {
        const double start = now_microseconds();
        for (int i = 0; i < timing.frames_per_batch; ++i) {
            locate_kaf_frame(data, 0, frame);
            decode_kaf_frame(data, frame, static_cast<int64_t>(data.size()), decoded,
                             row_order::bottom_first);
        }
        per_frame.push_back((now_microseconds() - start) / timing.frames_per_batch);
    }
    timing.microseconds = median(per_frame);
    timing.ok = true;
    return timing;
}
