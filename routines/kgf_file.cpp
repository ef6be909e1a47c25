#include "routines/kgf_file.h"

#include "formats/byte_reader.h"
#include "formats/kgf.h"
#include "formats/rle.h"
#include "routines/image_info.h"
#include "routines/messages.h"
#include "settings/settings.h"

#include <algorithm>
#include <vector>

int read_kgf(const char* path, image_buffer& image, int use_file_mipmaps, int for_display) {
    const kgf_levels levels = use_file_mipmaps != 0 && settings.mipmaps != 0
                                  ? kgf_levels::from_file
                                  : kgf_levels::first_only;
    const row_order rows = for_display != 0 ? row_order::bottom_first : row_order::top_first;
    kgf_reading reading;
    const kgf_status status = decode_file(path, [&](byte_reader& reader) {
        return decode_kgf(reader, image, levels, rows, reading);
    });
    if (status == kgf_status::cannot_open)
        return 0;
    if (reading.mip_count_read)
        image_info.mip_levels = reading.header.mip_count;
    report_kgf_reading(message_box_sink(), reading, status, path);
    return status == kgf_status::ok ? 1 : 0;
}

int64_t rle_decode(FILE* stream, image_buffer& image, int64_t expected_bytes, int for_display) {
    // Runs are taken from the stream a block at a time, as many as could
    // still be needed and no more.
    constexpr size_t runs_per_read = 4096;
    uint8_t buffer[runs_per_read * run_bytes];
    const int64_t held =
        std::min(std::max<int64_t>(expected_bytes, 0), static_cast<int64_t>(image.data.size()));
    int64_t p = 0;
    bool stopped_early = false;
    while (p < expected_bytes) {
        const int64_t most_needed = (expected_bytes - p + 1) / 2;
        const size_t wanted =
            static_cast<size_t>(std::min<int64_t>(most_needed, runs_per_read)) * run_bytes;
        const size_t got = std::fread(buffer, 1, wanted, stream);
        p = decode_runs(buffer, got, image.data.data(), held, p, expected_bytes).decoded;
        if (got == wanted || p >= expected_bytes)
            continue;
        if (std::feof(stream) || !std::ferror(stream)) {
            stopped_early = true;
            break;
        }
        return -1;
    }
    if (for_display != 0)
        keep_first_level_for_display(image, held, !stopped_early);
    return p;
}

int write_kgf(FILE* stream, const char* name, const image_buffer& image, int64_t total_bytes) {
    std::vector<uint8_t> bytes;
    if (!encode_kgf(bytes, name, image, total_bytes))
        return 0;
    return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() ? 1 : 0;
}

int rle_encode(FILE* stream, const image_buffer& image, int64_t total_bytes) {
    if (total_bytes > static_cast<int64_t>(image.data.size()))
        return 0;
    std::vector<uint8_t> runs;
    encode_runs(runs, image.data.data(), total_bytes,
                chain_level_ends(image.num_mipmaps, image.width, image.height, image.bpp));
    return runs.empty() || std::fwrite(runs.data(), 1, runs.size(), stream) == runs.size() ? 1 : 0;
}
